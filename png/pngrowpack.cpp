#include "png/pngrowpack.h"

#include <cstring>

#include "png/pngformat.h"
#include "png/pngrowcommon.h"

namespace {

using u8 = std::uint8_t;

using pngrow::Column;
using pngrow::G;

// Gray samples or palette indices of 1, 4 or 8 bits, as packed in the pixel row.
template <int Depth, bool Step1>
void PackIndices(const TRowPackArgs& args, const u8* pixels, const u8*, const u8*, u8* dst,
                 std::int32_t start, std::int32_t step, std::int32_t count) {
    if constexpr (Step1) {
        std::memcpy(dst, pixels, static_cast<std::size_t>(args.RowLength));
    } else {
        std::memset(dst, 0, static_cast<std::size_t>(args.RowLength));
        constexpr int mask = (1 << Depth) - 1;
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int32_t sbit = (start + k * step) * Depth;
            const int v = (pixels[sbit >> 3] >> (8 - Depth - (sbit & 7))) & mask;
            const std::int32_t dbit = k * Depth;
            dst[dbit >> 3] = static_cast<u8>(dst[dbit >> 3] | (v << (8 - Depth - (dbit & 7))));
        }
    }
}

// 16-bit gray: the high byte from the pixel row, the low byte from the low-byte plane.
template <bool Step1>
void PackGray16(const TRowPackArgs&, const u8* pixels, const u8* low, const u8*, u8* dst, std::int32_t start,
                std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        dst[2 * k] = pixels[c];
        dst[2 * k + 1] = low[c];
    }
}

// Gray with alpha: the gray byte (and its low byte), then the alpha byte (twice for 16 bits, so
// 0 and 255 stay fully transparent and fully opaque).
template <int Depth, bool Step1>
void PackGrayAlpha(const TRowPackArgs&, const u8* pixels, const u8* low, const u8* alpha, u8* dst,
                   std::int32_t start, std::int32_t step, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        if constexpr (Depth == 8) {
            dst[2 * k] = pixels[c];
            dst[2 * k + 1] = alpha[c];
        } else {
            dst[4 * k] = pixels[c];
            dst[4 * k + 1] = low[c];
            dst[4 * k + 2] = alpha[c];
            dst[4 * k + 3] = alpha[c];
        }
    }
}

// Colour, with (Channels 4) or without (3) alpha: red, green, blue through the gamma table from the
// stored blue, green, red; 16-bit samples take their low bytes from the low-byte plane.
template <int Channels, int Depth, bool UseTable, bool Step1>
void PackColour(const TRowPackArgs& args, const u8* pixels, const u8* low, const u8* alpha, u8* dst,
                std::int32_t start, std::int32_t step, std::int32_t count) {
    const u8* g = args.Gamma;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t c = Column<Step1>(start, step, k);
        const u8* s = pixels + 3 * c;
        if constexpr (Depth == 8) {
            u8* d = dst + Channels * k;
            d[0] = G<UseTable>(g, s[2]);
            d[1] = G<UseTable>(g, s[1]);
            d[2] = G<UseTable>(g, s[0]);
            if constexpr (Channels == 4) d[3] = alpha[c];
        } else {
            const u8* l = low + 3 * c;
            u8* d = dst + 2 * Channels * k;
            d[0] = G<UseTable>(g, s[2]);
            d[1] = G<UseTable>(g, l[2]);
            d[2] = G<UseTable>(g, s[1]);
            d[3] = G<UseTable>(g, l[1]);
            d[4] = G<UseTable>(g, s[0]);
            d[5] = G<UseTable>(g, l[0]);
            if constexpr (Channels == 4) d[6] = d[7] = alpha[c];
        }
    }
}

template <int Channels, int Depth, bool UseTable>
constexpr TRowPack ColourPack() {
    return {&PackColour<Channels, Depth, UseTable, true>, &PackColour<Channels, Depth, UseTable, false>};
}

template <int Channels, int Depth>
TRowPack ColourPackFor(bool table) {
    return table ? ColourPack<Channels, Depth, true>() : ColourPack<Channels, Depth, false>();
}

} // namespace

TRowPack SelectRowPack(std::uint8_t colorType, std::uint8_t bitDepth, const std::uint8_t* gamma) {
    if (!IsAllowedDepth(colorType, bitDepth)) return {};
    const TColorTypeInfo& info = ColorTypeInfo(colorType);
    const bool wide = bitDepth == 16;
    if (!info.IndexedRows) { // colour, with or without alpha
        const bool table = !pngrow::IsIdentity(gamma);
        if (info.HasAlpha) return wide ? ColourPackFor<4, 16>(table) : ColourPackFor<4, 8>(table);
        return wide ? ColourPackFor<3, 16>(table) : ColourPackFor<3, 8>(table);
    }
    if (info.HasAlpha)
        return wide ? TRowPack{&PackGrayAlpha<16, true>, &PackGrayAlpha<16, false>}
                    : TRowPack{&PackGrayAlpha<8, true>, &PackGrayAlpha<8, false>};
    switch (bitDepth) { // gray or palette indices
    case 1: return {&PackIndices<1, true>, &PackIndices<1, false>};
    case 2: // held as 4-bit rows
    case 4: return {&PackIndices<4, true>, &PackIndices<4, false>};
    case 8: return {&PackIndices<8, true>, &PackIndices<8, false>};
    default: return {&PackGray16<true>, &PackGray16<false>}; // 16 bits, gray only
    }
}
