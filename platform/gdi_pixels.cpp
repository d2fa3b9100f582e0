// Pixel work of the GDI stand-in: the standard colour tables and the row conversion that GetDIBits
// uses to hand a bitmap's pixels out in another format.
#include <algorithm>
#include <cstring>

#include "platform/gdi_internal.h"

namespace gdi_internal {

const std::array<PALETTEENTRY, 20> kStaticColours = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

// RGBQUAD order is blue, green, red.
const std::array<RGBQUAD, 2> kMonochromeColours = {{{0, 0, 0, 0}, {255, 255, 255, 0}}};
const std::array<RGBQUAD, 16> kVgaColours = {{
    {0, 0, 0, 0},
    {0, 0, 128, 0},
    {0, 128, 0, 0},
    {0, 128, 128, 0},
    {128, 0, 0, 0},
    {128, 0, 128, 0},
    {128, 128, 0, 0},
    {192, 192, 192, 0},
    {128, 128, 128, 0},
    {0, 0, 255, 0},
    {0, 255, 0, 0},
    {0, 255, 255, 0},
    {255, 0, 0, 0},
    {255, 0, 255, 0},
    {255, 255, 0, 0},
    {255, 255, 255, 0},
}};

// Halftone palette layout:
//   0-9      the first ten static colours
//   10-225   the 6 x 6 x 6 colour cube, levels 0, 51, 102, 153, 204, 255 per channel;
//            index 10 + 36 * red level + 6 * green level + blue level
//   226-245  a ramp of 20 grays, 255 * (k + 1) / 21 rounded for k = 0..19 (12, 24, ..., 243),
//            filling the steps between the cube's own grays
//   246-255  the last ten static colours
const std::array<PALETTEENTRY, 256>& HalftoneColours() {
    static const std::array<PALETTEENTRY, 256> colours = [] {
        std::array<PALETTEENTRY, 256> table{};
        std::copy_n(kStaticColours.begin(), 10, table.begin());
        std::size_t next = 10;
        for (int r = 0; r < 6; ++r) {
            for (int g = 0; g < 6; ++g) {
                for (int b = 0; b < 6; ++b) {
                    table[next++] = {static_cast<BYTE>(51 * r), static_cast<BYTE>(51 * g),
                                     static_cast<BYTE>(51 * b), 0};
                }
            }
        }
        for (int k = 0; k < 20; ++k) {
            const auto level = static_cast<BYTE>((255 * (k + 1) + 10) / 21);
            table[next++] = {level, level, level, 0};
        }
        std::copy_n(kStaticColours.begin() + 10, 10, table.begin() + 246);
        return table;
    }();
    return colours;
}

namespace {

// Cache of 4096 slots: enough for the colour variety of typical artwork while staying small.
constexpr int kCacheBits = 12;
constexpr std::uint32_t kCacheFilled = 0x1000000;

template <int Bits>
BYTE ReadIndex(const BYTE* row, std::size_t x) {
    if constexpr (Bits == 8) {
        return row[x];
    } else if constexpr (Bits == 4) {
        return static_cast<BYTE>((x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
    } else {
        return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
}

// The row must be zeroed first: packed indices are or-ed in.
template <int Bits>
void WriteIndex(BYTE* row, std::size_t x, BYTE index) {
    if constexpr (Bits == 8) {
        row[x] = index;
    } else if constexpr (Bits == 4) {
        row[x >> 1] = static_cast<BYTE>(row[x >> 1] | ((x & 1) != 0 ? index : index << 4));
    } else {
        row[x >> 3] = static_cast<BYTE>(row[x >> 3] | (index << (7 - (x & 7))));
    }
}

// Rec. 601 luminance at or above half intensity counts as white.
BYTE Luminance(int r, int g, int b) {
    return 299 * r + 587 * g + 114 * b >= 128000 ? 1 : 0;
}

} // namespace

RowConverter::RowConverter(int srcBitsPerPixel, const RGBQUAD* srcColours, int dstBitsPerPixel, int width)
    : routine_(Pick(srcBitsPerPixel, dstBitsPerPixel)), width_(static_cast<std::size_t>(width)),
      rowBytes_((static_cast<std::size_t>(srcBitsPerPixel) * width_ + 7) / 8),
      dstStride_(static_cast<std::size_t>(DibStride(dstBitsPerPixel, width))) {
    if (srcBitsPerPixel <= 8) std::copy_n(srcColours, srcColours_.size(), srcColours_.begin());
    if (dstBitsPerPixel > 8) return;

    dstColourCount_ = 1 << dstBitsPerPixel;
    if (srcBitsPerPixel == dstBitsPerPixel) {
        dstColours_ = srcColours_;
        return;
    }
    if (dstBitsPerPixel == 1) {
        std::copy(kMonochromeColours.begin(), kMonochromeColours.end(), dstColours_.begin());
    } else if (dstBitsPerPixel == 4) {
        std::copy(kVgaColours.begin(), kVgaColours.end(), dstColours_.begin());
    } else {
        const auto& halftone = HalftoneColours();
        for (std::size_t i = 0; i < halftone.size(); ++i) {
            dstColours_[i] = {halftone[i].peBlue, halftone[i].peGreen, halftone[i].peRed, 0};
        }
    }
    if (srcBitsPerPixel <= 8) {
        const int srcCount = 1 << srcBitsPerPixel;
        for (int i = 0; i < srcCount; ++i) {
            const RGBQUAD& c = srcColours_[static_cast<std::size_t>(i)];
            indexMap_[static_cast<std::size_t>(i)] = Match(c.rgbRed, c.rgbGreen, c.rgbBlue);
        }
    } else if (dstBitsPerPixel > 1) {
        cache_.resize(std::size_t{1} << kCacheBits);
    }
}

void RowConverter::Convert(const BYTE* src, BYTE* dst) {
    std::memset(dst, 0, dstStride_);
    routine_(*this, src, dst);
}

BYTE RowConverter::Match(int r, int g, int b) {
    if (dstColourCount_ == 2) return Luminance(r, g, b);
    const auto colour = static_cast<std::uint32_t>(r << 16 | g << 8 | b);
    if (cache_.empty()) {
        return static_cast<BYTE>(
            NearestEntry(dstColours_.data(), static_cast<std::size_t>(dstColourCount_), r, g, b));
    }
    CacheSlot& slot = cache_[(colour * 2654435761u) >> (32 - kCacheBits)];
    if (slot.key != (colour | kCacheFilled)) {
        slot.key = colour | kCacheFilled;
        slot.index = static_cast<BYTE>(
            NearestEntry(dstColours_.data(), static_cast<std::size_t>(dstColourCount_), r, g, b));
    }
    return slot.index;
}

template <int SrcBits, int DstBits>
void RowConverter::IndexToIndex(RowConverter& self, const BYTE* src, BYTE* dst) {
    for (std::size_t x = 0; x < self.width_; ++x) {
        WriteIndex<DstBits>(dst, x, self.indexMap_[ReadIndex<SrcBits>(src, x)]);
    }
}

template <int SrcBits, int DstBytes>
void RowConverter::IndexToTrue(RowConverter& self, const BYTE* src, BYTE* dst) {
    for (std::size_t x = 0; x < self.width_; ++x) {
        const RGBQUAD& c = self.srcColours_[ReadIndex<SrcBits>(src, x)];
        BYTE* out = dst + x * DstBytes;
        out[0] = c.rgbBlue;
        out[1] = c.rgbGreen;
        out[2] = c.rgbRed; // a 32-bit pixel's fourth byte stays 0 from the row clear
    }
}

template <int SrcBytes, int DstBytes>
void RowConverter::TrueToTrue(RowConverter& self, const BYTE* src, BYTE* dst) {
    for (std::size_t x = 0; x < self.width_; ++x) {
        std::memcpy(dst + x * DstBytes, src + x * SrcBytes, 3);
    }
}

template <int SrcBytes, int DstBits>
void RowConverter::TrueToIndex(RowConverter& self, const BYTE* src, BYTE* dst) {
    for (std::size_t x = 0; x < self.width_; ++x) {
        const BYTE* in = src + x * SrcBytes;
        BYTE index = 0;
        if constexpr (DstBits == 1) {
            index = Luminance(in[2], in[1], in[0]);
        } else {
            index = self.Match(in[2], in[1], in[0]);
        }
        WriteIndex<DstBits>(dst, x, index);
    }
}

void RowConverter::SameFormat(RowConverter& self, const BYTE* src, BYTE* dst) {
    std::memcpy(dst, src, self.rowBytes_);
}

RowConverter::Routine RowConverter::Pick(int srcBitsPerPixel, int dstBitsPerPixel) {
    if (srcBitsPerPixel == dstBitsPerPixel) return &SameFormat;
    // Keyed by source depth * 100 + destination depth (depths 1, 4, 8, 24, 32).
    switch (srcBitsPerPixel * 100 + dstBitsPerPixel) {
    case 104: return &IndexToIndex<1, 4>;
    case 108: return &IndexToIndex<1, 8>;
    case 401: return &IndexToIndex<4, 1>;
    case 408: return &IndexToIndex<4, 8>;
    case 801: return &IndexToIndex<8, 1>;
    case 804: return &IndexToIndex<8, 4>;
    case 124: return &IndexToTrue<1, 3>;
    case 132: return &IndexToTrue<1, 4>;
    case 424: return &IndexToTrue<4, 3>;
    case 432: return &IndexToTrue<4, 4>;
    case 824: return &IndexToTrue<8, 3>;
    case 832: return &IndexToTrue<8, 4>;
    case 2432: return &TrueToTrue<3, 4>;
    case 3224: return &TrueToTrue<4, 3>;
    case 2401: return &TrueToIndex<3, 1>;
    case 2404: return &TrueToIndex<3, 4>;
    case 2408: return &TrueToIndex<3, 8>;
    case 3201: return &TrueToIndex<4, 1>;
    case 3204: return &TrueToIndex<4, 4>;
    case 3208: return &TrueToIndex<4, 8>;
    default: return &SameFormat; // unreachable: both depths are checked by the caller
    }
}

} // namespace gdi_internal
