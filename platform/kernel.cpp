// Stand-in for the Windows kernel calls the program uses.
#include "platform/kernel.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "platform/winpath.h"

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

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    if (module != nullptr || buffer == nullptr || size == 0) return 0;
    // readlink does not say how long the link is; grow until the answer fits with room to spare.
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0) return 0;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    const std::string path = ToWindowsPath(target);
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    return size;
}
