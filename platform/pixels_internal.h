// Private to the platform: the pixel engine shared by block transfers (draw_pixels.cpp) and DIB
// conversion (GetDIBits): pixel values of every depth, colour matching and its cache, bitmap-header
// checks and row sizes. Not for code above the platform.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/wintypes.h"

namespace pixels {

constexpr bool IsSupportedBitCount(int bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
           bitsPerPixel == 32;
}

// Bytes per row of a DIB: the row's bits rounded up to whole 32-bit words. 64-bit so that any
// LONG width times 32 bits cannot overflow.
constexpr std::uint64_t DibStride(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
}
// Bytes per row as callers of device-dependent bitmaps see them: rounded up to 16-bit words.
constexpr std::uint64_t WordStride(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 15) / 16 * 2;
}
// Bytes of a row that hold pixels, without padding.
constexpr std::uint64_t RowBytes(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 7) / 8;
}

// Callers may pass a bare BITMAPINFOHEADER as a BITMAPINFO; copying the header as bytes reads it
// without assuming which record really lies behind the pointer.
BITMAPINFOHEADER ReadHeader(const BITMAPINFO* info);
// Reads info's header and checks that it describes uncompressed rows of a supported depth and of
// a size that is not zero; false otherwise.
bool ReadDibHeader(const BITMAPINFO* info, BITMAPINFOHEADER& header);
// Copies the colour table after info's header (biClrUsed entries, all when 0) into colours. The
// table starts biSize bytes into the caller's record, which is usually larger than BITMAPINFO, so
// it is read as bytes rather than through bmiColors[].
void ReadColourTable(const BITMAPINFO* info, const BITMAPINFOHEADER& header, RGBQUAD* colours);

// Pixels addressed from the top row of the picture, whatever their order in memory.
struct Plane {
    BYTE* top = nullptr;     // the top row
    std::ptrdiff_t step = 0; // bytes from a row to the one below it (negative for bottom-up rows)
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;             // 1, 4, 8, 24 or 32
    const RGBQUAD* colours = nullptr; // 1 << bitsPerPixel entries for <= 8 bits per pixel
};

// The plane of rows rows of stride bytes from base, stored top-down or bottom-up.
Plane RowsAt(BYTE* base, std::ptrdiff_t stride, int width, int rows, bool topDown, int bitsPerPixel,
             const RGBQUAD* colours);

// Red, green and blue of a table entry.
inline std::array<int, 3> Rgb(const RGBQUAD& c) {
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}
inline std::array<int, 3> Rgb(const PALETTEENTRY& c) {
    return {c.peRed, c.peGreen, c.peBlue};
}

// Index of the entry closest to (r, g, b) by squared RGB distance, the first one on ties.
// count must be at least 1.
template <class Entry>
std::size_t NearestEntry(const Entry* entries, std::size_t count, int r, int g, int b) {
    std::size_t best = 0;
    int bestDistance = 3 * 256 * 256;
    for (std::size_t i = 0; i < count; ++i) {
        const auto [er, eg, eb] = Rgb(entries[i]);
        const int dr = er - r;
        const int dg = eg - g;
        const int db = eb - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// Pixel values in a format's own terms: the index for 8 bits or fewer, otherwise blue | green << 8
// | red << 16 as the bytes lie in memory.
inline std::uint32_t Pack(COLORREF c) {
    return static_cast<std::uint32_t>(GetBValue(c)) | static_cast<std::uint32_t>(GetGValue(c)) << 8 |
           static_cast<std::uint32_t>(GetRValue(c)) << 16;
}
inline COLORREF ColourOf(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// A colour in a plane's format: itself for true colour, else the nearest table entry.
std::uint32_t ToFormat(const Plane& plane, COLORREF c);

// Block transfers match true colours to an 8-bit table at 5 bits per channel: each channel is
// taken as the middle of its 8-value step ((c & ~7) + 4) before the nearest entry is found, as
// Windows does to keep a lookup cache (entries lying close together then resolve alike).
inline std::uint32_t Round5(std::uint32_t packed) {
    return (packed & 0xF8F8F8u) | 0x040404u;
}

// 32-bit pixels are moved as whole words: the byte order in memory is the value's own on the
// little-endian machines this runs on.
static_assert(std::endian::native == std::endian::little);

template <int Bits>
std::uint32_t Load(const BYTE* row, std::size_t x) {
    if constexpr (Bits == 32) {
        std::uint32_t v = 0;
        std::memcpy(&v, row + x * 4, 4);
        return v & 0xFFFFFFu;
    } else if constexpr (Bits == 24) {
        const BYTE* p = row + x * 3;
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16;
    } else if constexpr (Bits == 8) {
        return row[x];
    } else if constexpr (Bits == 4) {
        return (x & 1) != 0 ? row[x >> 1] & 0x0Fu : static_cast<std::uint32_t>(row[x >> 1] >> 4);
    } else {
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    }
}

// A 32-bit pixel's fourth byte is written as 0.
template <int Bits>
void Store(BYTE* row, std::size_t x, std::uint32_t v) {
    if constexpr (Bits == 32) {
        const std::uint32_t word = v & 0xFFFFFFu;
        std::memcpy(row + x * 4, &word, 4);
    } else if constexpr (Bits == 24) {
        BYTE* p = row + x * 3;
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        p[2] = static_cast<BYTE>(v >> 16);
    } else if constexpr (Bits == 8) {
        row[x] = static_cast<BYTE>(v);
    } else if constexpr (Bits == 4) {
        BYTE& b = row[x >> 1];
        b = static_cast<BYTE>((x & 1) != 0 ? (b & 0xF0) | v : (b & 0x0F) | (v << 4));
    } else {
        BYTE& b = row[x >> 3];
        const unsigned shift = 7 - (x & 7);
        b = static_cast<BYTE>((b & ~(1u << shift)) | (v << shift));
    }
}

// The colour of the pixel at (x, y) of a plane, and the colour actually stored when setting one
// (the nearest table entry for 8 bits per pixel or fewer). Coordinates must be inside the plane.
COLORREF ReadColour(const Plane& plane, int x, int y);
COLORREF WriteColour(const Plane& plane, int x, int y, COLORREF colour);

// Memo of the indexed value of true colours (packed) reaching an indexed format: 4096 slots, enough
// for the colour variety of typical artwork while staying small.
class ColourCache {
public:
    enum class Rule {
        Nearest,    // the nearest of the table's entries
        Rounded,    // the nearest entry to the colour at 5 bits per channel (RoundedEntry)
        Background, // 1 where the colour equals the background, else 0 (monochrome transfers)
    };
    // colours and count are read for Nearest, background for Background.
    ColourCache(Rule rule, const RGBQUAD* colours, std::size_t count, std::uint32_t background);

    std::uint32_t Lookup(std::uint32_t packed) {
        Slot& slot = slots_[(packed * 2654435761u) >> (32 - kBits)];
        if (slot.key != (packed | kFilled)) {
            slot.key = packed | kFilled;
            slot.value = rule_ == Rule::Background ? (packed == background_ ? 1u : 0u)
                         : rule_ == Rule::Rounded  ? Nearest(Round5(packed))
                                                   : Nearest(packed);
        }
        return slot.value;
    }

private:
    static constexpr int kBits = 12;
    static constexpr std::uint32_t kFilled = 0x1000000;
    struct Slot {
        std::uint32_t key = 0; // colour | kFilled, 0 when empty
        std::uint32_t value = 0;
    };
    std::uint32_t Nearest(std::uint32_t packed) const;

    Rule rule_;
    const RGBQUAD* colours_;
    std::size_t count_;
    std::uint32_t background_;
    std::vector<Slot> slots_;
};

// How a source pixel value becomes a destination one, settled once per transfer: indexed sources
// through a table, true colour onto indexed formats through a cache, true colour onto true colour
// as it is.
struct ValueMap {
    const std::uint32_t* table = nullptr;
    ColourCache* cache = nullptr;
};

template <int SrcBits, int DstBits>
inline std::uint32_t MapValue(const ValueMap& map, std::uint32_t v) {
    if constexpr (SrcBits <= 8) {
        return map.table[v];
    } else if constexpr (DstBits > 8) {
        return v;
    } else {
        return map.cache->Lookup(v);
    }
}

// The supported depths in routine-table order.
constexpr std::array<int, 5> kDepths = {1, 4, 8, 24, 32};
std::size_t DepthIndex(int bitsPerPixel);

// Converts whole rows of one DIB format into another (1, 4, 8, 24 or 32 bits per pixel, both ways),
// with a routine chosen once per pair of formats. Indexed destinations take the nearest entry of
// their table; true colour reaching 8 bits is matched at five bits per channel.
class RowConverter {
public:
    // srcColours: the source's 256-entry table (read for <= 8 bits per pixel); dstColours: the
    // destination's 1 << dstBitsPerPixel entries (read for <= 8 bits per pixel). Both must outlive
    // the converter.
    RowConverter(int srcBitsPerPixel, const RGBQUAD* srcColours, int dstBitsPerPixel,
                 const RGBQUAD* dstColours, int width);
    RowConverter(const RowConverter&) = delete;
    RowConverter& operator=(const RowConverter&) = delete;

    // Fills one whole destination row, padding included (zeroed). The same format is copied as it
    // is, unused bits and bytes included.
    void Convert(const BYTE* src, BYTE* dst);

private:
    using Routine = void (*)(const RowConverter&, const BYTE*, BYTE*);
    template <int SrcBits, int DstBits>
    static void Row(const RowConverter& self, const BYTE* src, BYTE* dst);
    static void SameFormat(const RowConverter& self, const BYTE* src, BYTE* dst);

    Routine routine_;
    std::size_t width_;
    std::size_t rowBytes_;  // bytes of the source row that hold pixels (same-format copy)
    std::size_t dstStride_; // whole destination row, padding included
    std::array<std::uint32_t, 256> table_{};
    std::optional<ColourCache> cache_;
    ValueMap map_;
};

} // namespace pixels
