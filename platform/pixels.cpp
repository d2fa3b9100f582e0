// The shared pixel engine: header checks, colour matching and its cache, single pixels, and the
// row conversion behind GetDIBits. Everything that depends on the formats is settled before the
// loops: a templated routine per pair of depths, picked from a table, runs them.
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/pixels_internal.h"

namespace pixels {
namespace {

// A packed true-colour value as a colour.
COLORREF Unpack(std::uint32_t v) {
    return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
}

} // namespace

BITMAPINFOHEADER ReadHeader(const BITMAPINFO* info) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof(header));
    return header;
}

bool ReadDibHeader(const BITMAPINFO* info, BITMAPINFOHEADER& header) {
    header = ReadHeader(info);
    return header.biSize >= sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 &&
           IsSupportedBitCount(header.biBitCount) && header.biCompression == BI_RGB && header.biWidth > 0 &&
           header.biHeight != 0 && header.biHeight != std::numeric_limits<LONG>::min();
}

void ReadColourTable(const BITMAPINFO* info, const BITMAPINFOHEADER& header, RGBQUAD* colours) {
    const DWORD full = DWORD{1} << header.biBitCount;
    const DWORD count = header.biClrUsed != 0 ? std::min(header.biClrUsed, full) : full;
    std::memcpy(colours, reinterpret_cast<const BYTE*>(info) + header.biSize, count * sizeof(RGBQUAD));
}

Plane RowsAt(BYTE* base, std::ptrdiff_t stride, int width, int rows, bool topDown, int bitsPerPixel,
             const RGBQUAD* colours) {
    Plane plane;
    plane.top = base + (topDown ? 0 : stride * (rows - 1));
    plane.step = topDown ? stride : -stride;
    plane.width = width;
    plane.height = rows;
    plane.bitsPerPixel = bitsPerPixel;
    plane.colours = colours;
    return plane;
}

std::uint32_t ToFormat(const Plane& plane, COLORREF c) {
    if (plane.bitsPerPixel > 8) return Pack(c);
    return static_cast<std::uint32_t>(NearestEntry(plane.colours, std::size_t{1} << plane.bitsPerPixel,
                                                   GetRValue(c), GetGValue(c), GetBValue(c)));
}

COLORREF ReadColour(const Plane& plane, int x, int y) {
    const BYTE* row = plane.top + static_cast<std::ptrdiff_t>(y) * plane.step;
    const auto ux = static_cast<std::size_t>(x);
    switch (plane.bitsPerPixel) {
    case 1: return ColourOf(plane.colours[Load<1>(row, ux)]);
    case 4: return ColourOf(plane.colours[Load<4>(row, ux)]);
    case 8: return ColourOf(plane.colours[Load<8>(row, ux)]);
    case 24: return Unpack(Load<24>(row, ux));
    default: return Unpack(Load<32>(row, ux));
    }
}

COLORREF WriteColour(const Plane& plane, int x, int y, COLORREF colour) {
    BYTE* row = plane.top + static_cast<std::ptrdiff_t>(y) * plane.step;
    const auto ux = static_cast<std::size_t>(x);
    const std::uint32_t v = ToFormat(plane, colour);
    switch (plane.bitsPerPixel) {
    case 1: Store<1>(row, ux, v); break;
    case 4: Store<4>(row, ux, v); break;
    case 8: Store<8>(row, ux, v); break;
    case 24: Store<24>(row, ux, v); break;
    default: Store<32>(row, ux, v); break;
    }
    return ReadColour(plane, x, y);
}

ColourCache::ColourCache(Rule rule, const RGBQUAD* colours, std::size_t count, std::uint32_t background)
    : rule_(rule), colours_(colours), count_(count), background_(background),
      slots_(std::size_t{1} << kBits) {}

std::uint32_t ColourCache::Nearest(std::uint32_t packed) const {
    return static_cast<std::uint32_t>(NearestEntry(colours_, count_, static_cast<BYTE>(packed >> 16),
                                                   static_cast<BYTE>(packed >> 8),
                                                   static_cast<BYTE>(packed)));
}

std::size_t DepthIndex(int bitsPerPixel) {
    return static_cast<std::size_t>(std::find(kDepths.begin(), kDepths.end(), bitsPerPixel) -
                                    kDepths.begin());
}

template <int SrcBits, int DstBits>
void RowConverter::Row(const RowConverter& self, const BYTE* src, BYTE* dst) {
    // Copies, so that the stores into dst, which could alias anything, force no reloads.
    const ValueMap map = self.map_;
    const std::size_t width = self.width_;
    const auto value = [&](std::size_t x) {
        const std::uint32_t v = Load<SrcBits>(src, x);
        if constexpr (SrcBits > 8 && DstBits == 8) {
            // True colour reaches 256 entries at five bits per channel, the middle of each step.
            return map.cache->Lookup((v & 0xF8F8F8u) | 0x040404u);
        } else {
            return MapValue<SrcBits, DstBits>(map, v);
        }
    };
    if constexpr (DstBits < 8) {
        // Packed pixels are gathered into whole bytes; the last one may be partial.
        constexpr std::size_t kPerByte = 8 / DstBits;
        const auto gather = [&](std::size_t x, std::size_t count) {
            std::uint32_t byte = 0;
            for (std::size_t k = 0; k < count; ++k)
                byte |= value(x + k) << (8 - DstBits * (k + 1));
            dst[x / kPerByte] = static_cast<BYTE>(byte);
        };
        std::size_t x = 0;
        for (; x + kPerByte <= width; x += kPerByte)
            gather(x, kPerByte);
        if (x < width) gather(x, width - x);
    } else if constexpr (SrcBits > 8 &&
                         DstBits > 8) { // true colour to true colour: blue, green, red as they are
        for (std::size_t x = 0; x < width; ++x)
            std::memcpy(dst + x * (DstBits / 8), src + x * (SrcBits / 8), 3);
    } else {
        for (std::size_t x = 0; x < width; ++x)
            Store<DstBits>(dst, x, value(x));
    }
}

void RowConverter::SameFormat(const RowConverter& self, const BYTE* src, BYTE* dst) {
    std::memcpy(dst, src, self.rowBytes_);
}

RowConverter::RowConverter(int srcBitsPerPixel, const RGBQUAD* srcColours, int dstBitsPerPixel,
                           const RGBQUAD* dstColours, int width)
    : routine_(&SameFormat), width_(static_cast<std::size_t>(width)),
      rowBytes_(static_cast<std::size_t>(RowBytes(srcBitsPerPixel, width))),
      dstStride_(static_cast<std::size_t>(DibStride(dstBitsPerPixel, width))) {
    if (srcBitsPerPixel == dstBitsPerPixel) return;
    // Routines by (source depth, destination depth).
    static constexpr auto kRows = []<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<Routine, sizeof...(I)>{&Row<kDepths[I / 5], kDepths[I % 5]>...};
    }
    (std::make_index_sequence<5 * 5>{});
    routine_ = kRows[DepthIndex(srcBitsPerPixel) * 5 + DepthIndex(dstBitsPerPixel)];

    const std::size_t dstCount = std::size_t{1} << dstBitsPerPixel;
    if (srcBitsPerPixel <= 8) {
        for (std::size_t i = 0; i < (std::size_t{1} << srcBitsPerPixel); ++i) {
            const RGBQUAD& c = srcColours[i];
            if (dstBitsPerPixel > 8) {
                table_[i] = Pack(ColourOf(c));
            } else {
                table_[i] = static_cast<std::uint32_t>(
                    NearestEntry(dstColours, dstCount, c.rgbRed, c.rgbGreen, c.rgbBlue));
            }
        }
        map_.table = table_.data();
    } else if (dstBitsPerPixel <= 8) {
        map_.cache = &cache_.emplace(ColourCache::Rule::Nearest, dstColours, dstCount, 0);
    }
}

void RowConverter::Convert(const BYTE* src, BYTE* dst) {
    std::memset(dst, 0, dstStride_);
    routine_(*this, src, dst);
}

} // namespace pixels
