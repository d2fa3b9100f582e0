// Private to the platform's GDI stand-in: standard colour tables, colour matching and the row
// conversion behind GetDIBits. Not for code above the platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/draw.h"
#include "platform/lines.h"
#include "platform/text.h"
#include "platform/wintypes.h"

namespace text_internal {
class RealizedFont;
}

namespace gdi_internal {

// Windows' twenty static colours, in system palette order: the first ten are entries 0-9 of the
// system palette, the last ten entries 246-255. This is also the stock (default) palette.
extern const std::array<PALETTEENTRY, 20> kStaticColours;
// The colours GetDIBits writes for 1 and 4 bits per pixel: black/white and the 16 VGA colours.
extern const std::array<RGBQUAD, 2> kMonochromeColours;
extern const std::array<RGBQUAD, 16> kVgaColours;
// The 256-entry halftone palette (its layout is described where it is built).
const std::array<PALETTEENTRY, 256>& HalftoneColours();

constexpr bool IsSupportedBitCount(int bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
           bitsPerPixel == 32;
}

// Bytes per row of a DIB: the row's bits rounded up to whole 32-bit words. 64-bit so that any
// LONG width times 32 bits cannot overflow.
constexpr std::uint64_t DibStride(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
}

inline int Red(const RGBQUAD& c) {
    return c.rgbRed;
}
inline int Green(const RGBQUAD& c) {
    return c.rgbGreen;
}
inline int Blue(const RGBQUAD& c) {
    return c.rgbBlue;
}
inline int Red(const PALETTEENTRY& c) {
    return c.peRed;
}
inline int Green(const PALETTEENTRY& c) {
    return c.peGreen;
}
inline int Blue(const PALETTEENTRY& c) {
    return c.peBlue;
}

// Index of the entry closest to (r, g, b) by squared RGB distance, the first one on ties.
// count must be at least 1.
template <class Entry>
std::size_t NearestEntry(const Entry* entries, std::size_t count, int r, int g, int b) {
    std::size_t best = 0;
    int bestDistance = 3 * 256 * 256;
    for (std::size_t i = 0; i < count; ++i) {
        const int dr = Red(entries[i]) - r;
        const int dg = Green(entries[i]) - g;
        const int db = Blue(entries[i]) - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// Converts rows of one DIB format into another (1, 4, 8, 24 or 32 bits per pixel, both ways).
// Everything that depends on the pair of formats (the routine, index maps, the destination colour
// table, the nearest-colour cache) is settled once here so the per-row work is a tight loop.
class RowConverter {
public:
    // srcColours holds the source's 256-entry colour table (read for srcBitsPerPixel <= 8).
    RowConverter(int srcBitsPerPixel, const RGBQUAD* srcColours, int dstBitsPerPixel, int width);

    // Colour table of the destination, 1 << dstBitsPerPixel entries (for <= 8 bits per pixel):
    // the source's own table when the depth is the same, otherwise the standard one for the depth.
    const RGBQUAD* DestinationColours() const { return dstColours_.data(); }
    // Fills one whole destination row, padding included (zeroed).
    void Convert(const BYTE* src, BYTE* dst);

private:
    using Routine = void (*)(RowConverter&, const BYTE*, BYTE*);
    // The destination index for a colour: by luminance for 1 bit per pixel, otherwise the nearest
    // entry of the destination table.
    BYTE Match(int r, int g, int b);

    template <int SrcBits, int DstBits>
    static void IndexToIndex(RowConverter& self, const BYTE* src, BYTE* dst);
    template <int SrcBits, int DstBytes>
    static void IndexToTrue(RowConverter& self, const BYTE* src, BYTE* dst);
    template <int SrcBytes, int DstBytes>
    static void TrueToTrue(RowConverter& self, const BYTE* src, BYTE* dst);
    template <int SrcBytes, int DstBits>
    static void TrueToIndex(RowConverter& self, const BYTE* src, BYTE* dst);
    static void SameFormat(RowConverter& self, const BYTE* src, BYTE* dst);
    static Routine Pick(int srcBitsPerPixel, int dstBitsPerPixel);

    struct CacheSlot {
        std::uint32_t key = 0; // colour | kCacheFilled, 0 when empty
        BYTE index = 0;
    };

    Routine routine_;
    std::size_t width_;
    std::size_t rowBytes_;  // bytes of the source row that hold pixels (same-format copy)
    std::size_t dstStride_; // whole destination row, padding included
    int dstColourCount_ = 0;
    std::array<RGBQUAD, 256> srcColours_{};
    std::array<RGBQUAD, 256> dstColours_{};
    std::array<BYTE, 256> indexMap_{}; // source index to destination index
    std::vector<CacheSlot> cache_;     // nearest-colour memo for true colour to 4 or 8 bits
};

// The object model shared by the GDI and drawing stand-ins. Every live object sits in one
// registry, which owns it; a handle is only used after it has been found there.

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};

struct MemoryDC;

// A bitmap: a bitmap section, a device-dependent bitmap made by the drawing calls, or the 1 x 1
// monochrome bitmap a memory DC starts with. Pixels of every kind share one layout.
struct DibSection final : GdiBitmap {
    int width = 0;
    int height = 0; // always positive; topDown tells the row order
    int bitsPerPixel = 0;
    int stride = 0;
    bool topDown = false;
    // Device-dependent (compatible or CreateBitmap): GetObjectA reports no bits address and
    // word-aligned rows for it, as for such bitmaps on Windows.
    bool device = false;
    std::unique_ptr<BYTE, FreeDeleter> pixels;
    std::array<RGBQUAD, 256> colours{}; // for <= 8 bits per pixel; entries not given stay zero
    const MemoryDC* selectedInto = nullptr;
    const MemoryDC* owner = nullptr; // a DC's default bitmap: not deletable, dies with the DC
};

struct Palette final : GdiPalette {
    std::vector<PALETTEENTRY> entries;
    int selections = 0; // device contexts that hold it; deletable only at 0
    bool stock = false;
};

// A solid brush; a hollow one (the null stock brush) paints nothing.
struct Brush final : GdiBrush {
    COLORREF colour = 0;
    bool hollow = false;
    bool stock = false;
    int selections = 0; // device contexts that hold it; deletable only at 0
};

// A logical font; the glyphs behind it are found on first use and belong to the font cache.
struct Font final : GdiFont {
    LOGFONTA description{};
    text_internal::RealizedFont* realized = nullptr;
    bool stock = false;
    int selections = 0; // device contexts that hold it; deletable only at 0
};

struct Pen final : GdiPen {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
    bool stock = false;
    int selections = 0; // device contexts that hold it; deletable only at 0
};

struct MemoryDC final : GdiDC {
    DibSection* defaultBitmap = nullptr;
    DibSection* bitmap = nullptr;
    Palette* palette = nullptr;
    Brush* brush = nullptr; // the white stock brush at first
    COLORREF background = RGB(255, 255, 255);
    COLORREF text = RGB(0, 0, 0);
    int stretchMode = BLACKONWHITE;
    POINT origin{0, 0}; // viewport origin: device = logical + origin
    bool clipped = false;
    RECT clip{0, 0, 0, 0}; // device coordinates, meaningful when clipped
    Font* font = nullptr;  // the stock font at first
    Pen* pen = nullptr;    // the black stock pen at first
    int backgroundMode = OPAQUE;
    POINT position{0, 0}; // current position of MoveToEx and LineTo, logical
};

// All live objects, keyed by handle. One mutex guards it so the calls are safe from any thread.
struct Registry {
    Registry();

    DibSection* FindBitmap(const void* handle) const { return Find(bitmaps, handle); }
    Palette* FindPalette(const void* handle) const { return Find(palettes, handle); }
    Brush* FindBrush(const void* handle) const { return Find(brushes, handle); }
    MemoryDC* FindDC(const void* handle) const { return Find(dcs, handle); }
    Font* FindFont(const void* handle) const { return Find(fonts, handle); }
    Pen* FindPen(const void* handle) const { return Find(pens, handle); }

    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<DibSection>> bitmaps;
    std::unordered_map<const void*, std::unique_ptr<Palette>> palettes;
    std::unordered_map<const void*, std::unique_ptr<Brush>> brushes;
    std::unordered_map<const void*, std::unique_ptr<MemoryDC>> dcs;
    std::unordered_map<const void*, std::unique_ptr<Font>> fonts;
    std::unordered_map<const void*, std::unique_ptr<Pen>> pens;
    Palette* stockPalette = nullptr;
    std::array<Brush*, 6> stockBrushes{}; // indexed by WHITE_BRUSH .. NULL_BRUSH
    std::array<Pen*, 3> stockPens{};      // indexed by WHITE_PEN - WHITE_PEN .. NULL_PEN - WHITE_PEN
    Font* stockFont = nullptr;
    std::array<GdiObject*, DEFAULT_GUI_FONT + 1> stockObjects{}; // GetStockObject's table; gaps null

private:
    template <class Map>
    static typename Map::mapped_type::pointer Find(const Map& map, const void* handle) {
        const auto it = map.find(handle);
        return it == map.end() ? nullptr : it->second.get();
    }
};

Registry& Objects();

// Zero-filled pixel storage for a validated format (a negative height means top-down rows); null
// when it would exceed limit bytes or memory runs out.
std::unique_ptr<DibSection> MakeDib(int bitsPerPixel, LONG width, LONG height, std::size_t limit);

} // namespace gdi_internal
