// MulDiv: 64-bit intermediate product, rounding to nearest with halves away from zero.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "platform/kernel.h"

namespace {

class MulDivTable : public testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(MulDivTable, Result) {
    const auto [a, b, c, expected] = GetParam();
    EXPECT_EQ(MulDiv(a, b, c), expected) << a << " * " << b << " / " << c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MulDivTable,
    testing::Values(
        // Halves go away from zero whatever the signs; other remainders round to the nearest.
        std::make_tuple(1, 255, 2, 128), std::make_tuple(-1, 255, 2, -128), std::make_tuple(5, 1, 2, 3),
        std::make_tuple(-5, 1, 2, -3), std::make_tuple(5, -1, 2, -3), std::make_tuple(5, 1, -2, -3),
        std::make_tuple(-5, -1, -2, -3), std::make_tuple(-5, 1, -2, 3), std::make_tuple(7, 1, 3, 2),
        std::make_tuple(8, 1, 3, 3), std::make_tuple(-7, 1, 3, -2), std::make_tuple(-8, 1, 3, -3),
        std::make_tuple(6, 4, 3, 8), std::make_tuple(0, 99, 7, 0),
        // The product needs 64 bits while the quotient fits.
        std::make_tuple(INT_MAX, INT_MAX, INT_MAX, INT_MAX),
        std::make_tuple(INT_MIN, INT_MIN, INT_MIN, INT_MIN), std::make_tuple(65536, 65536, 65536, 65536),
        std::make_tuple(INT_MAX, 2, 4, 1073741824), std::make_tuple(INT_MIN, 1, 1, INT_MIN),
        // A quotient beyond 32 bits, or no divisor: -1.
        std::make_tuple(100000, 100000, 3, -1), std::make_tuple(INT_MAX, 3, 2, -1),
        std::make_tuple(INT_MIN, 1, -1, -1), std::make_tuple(1, 1, 0, -1), std::make_tuple(0, 0, 0, -1)));

} // namespace
