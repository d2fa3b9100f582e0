// Helpers shared by the row stores (reading) and the row packers (writing).
#pragma once

#include <cstdint>

namespace pngrow {

// Whether a 256-entry gamma table maps every value to itself.
inline bool IsIdentity(const std::uint8_t* table) {
    for (int i = 0; i < 256; ++i)
        if (table[i] != i) return false;
    return true;
}

// Gamma through the table, or the identity without a lookup.
template <bool UseTable>
inline std::uint8_t G(const std::uint8_t* table, std::uint8_t v) {
    if constexpr (UseTable)
        return table[v];
    else
        return v;
}

// The image column of the k-th pixel of a row: interlaced rows come with any start and step;
// sequential rows use start 0 and step 1, which the compiler folds into a plain loop in the Step1
// instances.
template <bool Step1>
inline std::int32_t Column(std::int32_t start, std::int32_t step, std::int32_t k) {
    if constexpr (Step1)
        return k;
    else
        return start + k * step;
}

} // namespace pngrow
