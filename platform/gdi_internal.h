// Private to the platform's GDI stand-in: standard colour tables and the object model shared by the
// GDI and drawing stand-ins. Not for code above the platform.
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
#include "platform/largemem.h"
#include "platform/lines.h"
#include "platform/pixels_internal.h"
#include "platform/text.h"
#include "platform/wintypes.h"

namespace text_internal {
class RealizedFont;
}

namespace gdi_internal {

// Windows' twenty static colours, in system palette order: the first ten are entries 0-9 of the
// system palette, the last ten entries 246-255. This is also the stock (default) palette.
extern const std::array<PALETTEENTRY, 20> kStaticColours;
// The 256-entry halftone palette (its layout is described where it is built).
const std::array<PALETTEENTRY, 256>& HalftoneColours();

// The destination colour table GetDIBits writes for a depth of 1, 4 or 8 bits per pixel (two,
// sixteen or 256 entries): black and white, the VGA colours, or the static colours around a 3-3-2
// colour cube (not the halftone palette).
void StandardColours(int bitsPerPixel, RGBQUAD* colours);

// The object model shared by the GDI and drawing stand-ins. Every live object sits in one
// registry, which owns it; a handle is only used after it has been found there.

struct FreeDeleter {
    void operator()(void* p) const noexcept { largemem::Free(p); }
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

// Hands a new object to one of the registry's maps (the caller holds the lock) and returns its
// handle. Memory for the entry may run out: std::bad_alloc, and the object is freed.
template <class T>
T* Adopt(std::unordered_map<const void*, std::unique_ptr<T>>& map, std::unique_ptr<T> object) {
    T* handle = object.get();
    map.emplace(handle, std::move(object));
    return handle;
}

// A bitmap's pixels as a plane.
pixels::Plane PlaneOf(const DibSection& dib);

// The most pixel data one bitmap of the stand-in holds: a guard against sizes no test needs, not a
// setting (the library keeps a limit of its own).
constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 30;

// Zero-filled pixel storage for a validated format (a negative height means top-down rows); null
// when it would exceed limit bytes or memory runs out.
std::unique_ptr<DibSection> MakeDib(int bitsPerPixel, LONG width, LONG height, std::size_t limit);

} // namespace gdi_internal
