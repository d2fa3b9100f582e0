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
// over width 32-bit target pixels, pixel x from source column x. Fourth bytes are kept.
using TColourBlend = void (*)(std::uint8_t* target, const std::uint8_t* pixels, const std::uint8_t* alpha,
                              std::int32_t width);

// Blends width 32-bit source pixels (blue, green, red, alpha) over width 32-bit target pixels.
// Fourth bytes of the target are kept.
using TQuadBlend = void (*)(std::uint8_t* target, const std::uint8_t* quads, std::int32_t width);

// The routines for a level no higher than SupportedSimdLevel() (the build's best at or below it).
TColourBlend ColourBlendFor(TSimdLevel level);
TQuadBlend QuadBlendFor(TSimdLevel level);

// Scaled rows: a source row of width pixels as 32-bit pixels (blue, green, red, alpha), then pixel
// x of quads from pixel columns[x] of such a row, so that a row the row map repeats is made once
// and blended by QuadBlendFor.
using TQuadExpand = void (*)(std::uint8_t* quads, const std::uint8_t* pixels, const std::uint8_t* alpha,
                             std::int32_t width);
TQuadExpand QuadExpandFor(TSimdLevel level);
using TQuadGather = void (*)(std::uint8_t* quads, const std::uint8_t* source, const std::int32_t* columns,
                             std::int32_t width);
TQuadGather QuadGatherFor(TSimdLevel level);
