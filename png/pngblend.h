// The colour blend of the alpha path, one routine per vector level: the draw picks one per draw,
// tests hold each against the plain one.
#pragma once

#include <cstdint>

#include "png/pngsimd.h"

// The blend of one channel: exact at both ends (a = 0 keeps D, a = 255 gives S).
inline std::uint8_t BlendChannel(unsigned s, unsigned d, unsigned a) {
    return static_cast<std::uint8_t>((s * a + d * (255 - a) + 255) >> 8);
}

// Blends a row of colour with alpha (blue, green, red bytes and one alpha byte per source column)
// over width 32-bit target pixels, pixel x from source column columns[x]. Fourth bytes are kept.
using TColourBlend = void (*)(std::uint8_t* target, const std::uint8_t* pixels, const std::uint8_t* alpha,
                              const std::int32_t* columns, std::int32_t width);

// The routine for a level no higher than SupportedSimdLevel() (the build's best at or below it),
// for unscaled rows, whose column map must be the identity, or for scaled ones.
TColourBlend ColourBlendFor(TSimdLevel level, bool scaled);
