// Row packers: make one PNG scanline (without its filter byte) from a row of the image memory.
// One routine per image format, chosen once per save; sequential scanlines take every column,
// Adam7 scanlines every step-th column from start.
#pragma once

#include <cstdint>

struct TRowPackArgs {
    const std::uint8_t* Gamma; // EncodeGamma
    std::int32_t RowLength;    // bytes of the scanline
};

// Packs count pixels, from columns start, start + step, ... of the pixel, low-byte and alpha rows
// (low and alpha may be null when the format has no such plane), into dst.
using TRowPackRoutine = void (*)(const TRowPackArgs& args, const std::uint8_t* pixels,
                                 const std::uint8_t* low, const std::uint8_t* alpha, std::uint8_t* dst,
                                 std::int32_t start, std::int32_t step, std::int32_t count);

struct TRowPack {
    TRowPackRoutine Sequential = nullptr; // called with start 0 and step 1
    TRowPackRoutine Interlaced = nullptr;
    // Sequential scanlines already through the Sub filter, where a routine fuses the two; else null.
    TRowPackRoutine SequentialSub = nullptr;
};

// The packers for a colour type and bit depth (bit depth 2 is held and written as 4); both null for
// a pair the format does not allow. An identity gamma table (256 entries) skips the lookup. The
// routines may use vector instructions up to ActiveSimdLevel().
TRowPack SelectRowPack(std::uint8_t colorType, std::uint8_t bitDepth, const std::uint8_t* gamma);
