// Stand-in for the Windows kernel calls the program uses.
#include "platform/kernel.h"

#include <cstdint>
#include <limits>

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    // |a * b| <= 2^62 fits in 64 bits, and so does every step below.
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t quotient = product / c;
    const std::int64_t remainder = product % c;
    // Truncation went toward zero; step one further away when the dropped part is half or more.
    const std::int64_t twiceRemainder = 2 * (remainder < 0 ? -remainder : remainder);
    const std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
    if (twiceRemainder >= divisor) quotient += (product < 0) != (c < 0) ? -1 : 1;
    if (quotient < std::numeric_limits<int>::min() || quotient > std::numeric_limits<int>::max()) return -1;
    return static_cast<int>(quotient);
}
