// The PNG format's fixed facts in one place: the colour types and what each holds, the bit depths
// each allows, and the format's limits. Code that needs to know whether a colour type carries alpha
// or a palette, or how many channels it has, asks the descriptor here instead of a switch of its own.
#pragma once

#include <bit>
#include <cstdint>

enum TPngColorType : std::uint8_t {
    pctGray = 0,
    pctRGB = 2,
    pctPalette = 3,
    pctGrayAlpha = 4,
    pctRGBAlpha = 6,
};

struct TColorTypeInfo {
    std::uint8_t Channels;  // samples per pixel in a PNG row
    bool HasAlpha;          // an alpha sample per pixel (the image memory keeps an alpha plane)
    bool HasPalette;        // pixels are palette indices
    bool IndexedRows;       // the image memory rows hold colour-table indices (gray, palette, gray+alpha)
    std::uint8_t DepthMask; // bit n set when bit depth 2^n is allowed (1, 2, 4, 8, 16)
};

namespace pngformat {
inline constexpr TColorTypeInfo Unknown{0, false, false, false, 0};
inline constexpr TColorTypeInfo Table[7] = {
    {1, false, false, true, 0b11111},  // gray: 1, 2, 4, 8, 16
    Unknown,                           // 1 is not a colour type
    {3, false, false, false, 0b11000}, // RGB: 8, 16
    {1, false, true, true, 0b01111},   // palette: 1, 2, 4, 8
    {2, true, false, true, 0b11000},   // gray with alpha: 8, 16
    Unknown,                           // 5 is not a colour type
    {4, true, false, false, 0b11000},  // RGB with alpha: 8, 16
};
} // namespace pngformat

// The descriptor of a colour type; unknown types get one with no channels and no allowed depth.
constexpr const TColorTypeInfo& ColorTypeInfo(std::uint8_t colorType) {
    return colorType < 7 ? pngformat::Table[colorType] : pngformat::Unknown;
}

constexpr bool IsKnownColorType(std::uint8_t colorType) {
    return ColorTypeInfo(colorType).Channels != 0;
}
constexpr bool HasAlphaChannel(std::uint8_t colorType) {
    return ColorTypeInfo(colorType).HasAlpha;
}
// Gray and palette images: the image memory holds a palette object and a colour table of its own.
constexpr bool HasPaletteObject(std::uint8_t colorType) {
    return colorType == pctGray || colorType == pctPalette;
}

// Whether the format allows the bit depth for the colour type: a power of two whose bit is set in
// the type's mask.
constexpr bool IsAllowedDepth(std::uint8_t colorType, std::uint8_t bitDepth) {
    return std::has_single_bit(bitDepth) &&
           ((ColorTypeInfo(colorType).DepthMask >> std::countr_zero(bitDepth)) & 1) != 0;
}

// Bits one pixel takes in a PNG row; 0 for a pair the format does not allow.
constexpr int PngBitsPerPixel(std::uint8_t colorType, std::uint8_t bitDepth) {
    return IsAllowedDepth(colorType, bitDepth) ? ColorTypeInfo(colorType).Channels * bitDepth : 0;
}

// Bits per pixel of the image memory's pixel rows: colour-table indices of 1, 4 or 8 bits for gray,
// palette and gray with alpha (2-bit samples are held as 4, 16-bit ones keep their high byte), and
// 24-bit blue-green-red for the colour types; 0 for a pair the format does not allow.
constexpr int MemoryBitsPerPixel(std::uint8_t colorType, std::uint8_t bitDepth) {
    if (!IsAllowedDepth(colorType, bitDepth)) return 0;
    if (!ColorTypeInfo(colorType).IndexedRows) return 24;
    return bitDepth == 1 ? 1 : bitDepth <= 4 ? 4 : 8;
}

// The format's limits.
inline constexpr std::uint32_t PngMaxChunkLength = 0x7FFFFFFFu; // a chunk length is 31 bits
inline constexpr std::uint32_t PngMaxDimension = 65535;         // the largest width or height read
inline constexpr std::int32_t PngMinIdatLimit = 65535;          // fewest data bytes per written IDAT
inline constexpr int PngAdam7Passes = 7;

// Interlace methods of the header.
inline constexpr std::uint8_t PngInterlaceNone = 0;
inline constexpr std::uint8_t PngInterlaceAdam7 = 1;
