// Stand-in for the Windows graphics device interface: memory device contexts, bitmap sections and
// logical palettes. Every live object sits in one registry, which owns it; a handle is only used
// after it has been found there, so stale or foreign handles fail instead of being dereferenced.
#include "platform/gdi.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/faults.h"
#include "platform/gdi_internal.h"

GdiObject::~GdiObject() = default;
GdiDC::~GdiDC() = default;

namespace {

using pixels::DibStride;
using pixels::IsSupportedBitCount;
using pixels::ReadHeader;

using gdi_internal::DibSection;
using gdi_internal::Font;
using gdi_internal::MakeDib;
using gdi_internal::MemoryDC;
using gdi_internal::Objects;
using gdi_internal::Palette;
using gdi_internal::Pen;
using gdi_internal::Registry;

// The registry held under its lock to the end of the caller's scope.
struct LockedRegistry {
    Registry& objects;
    std::lock_guard<std::mutex> lock;
};
LockedRegistry LockedObjects() {
    Registry& objects = Objects();
    return {objects, std::lock_guard<std::mutex>(objects.mutex)};
}

void FillView(const DibSection& dib, DibView& view) {
    view.width = dib.width;
    view.height = dib.height;
    view.bitsPerPixel = dib.bitsPerPixel;
    view.stride = dib.stride;
    view.topDown = dib.topDown;
    view.bits = dib.pixels.get();
    view.colours = dib.bitsPerPixel <= 8 ? dib.colours.data() : nullptr;
}

HPALETTE AddPalette(Registry& objects, std::vector<PALETTEENTRY> entries) {
    auto palette = std::make_unique<Palette>();
    palette->entries = std::move(entries);
    return gdi_internal::Adopt(objects.palettes, std::move(palette));
}

} // namespace

namespace gdi_internal {

Registry::Registry() {
    auto stock = std::make_unique<Palette>();
    stock->entries.assign(kStaticColours.begin(), kStaticColours.end());
    stock->stock = true;
    stockPalette = stock.get();
    palettes.emplace(stockPalette, std::move(stock));
    // The stock brushes: white, light gray, gray, dark gray, black, and the hollow one.
    constexpr std::array<COLORREF, 6> kStockColours = {RGB(255, 255, 255), RGB(192, 192, 192),
                                                       RGB(128, 128, 128), RGB(64, 64, 64),
                                                       RGB(0, 0, 0),       RGB(0, 0, 0)};
    for (std::size_t i = 0; i < kStockColours.size(); ++i) {
        auto brush = std::make_unique<Brush>();
        brush->colour = kStockColours[i];
        brush->hollow = i == NULL_BRUSH;
        brush->stock = true;
        stockBrushes[i] = Adopt(brushes, std::move(brush));
        stockObjects[i] = stockBrushes[i];
    }
    // The stock pens: white, black, and the null one.
    constexpr std::array<COLORREF, 3> kPenColours = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0)};
    for (std::size_t i = 0; i < kPenColours.size(); ++i) {
        auto pen = std::make_unique<Pen>();
        pen->colour = kPenColours[i];
        pen->style = i + WHITE_PEN == NULL_PEN ? PS_NULL : PS_SOLID;
        pen->stock = true;
        stockPens[i] = Adopt(pens, std::move(pen));
        stockObjects[i + WHITE_PEN] = stockPens[i];
    }
    // The default GUI font, selected into every new context.
    auto font = std::make_unique<Font>();
    font->description.lfHeight = -11;
    font->description.lfWeight = FW_NORMAL;
    font->description.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(font->description.lfFaceName, "Tahoma", sizeof("Tahoma"));
    font->stock = true;
    stockFont = font.get();
    stockObjects[DEFAULT_GUI_FONT] = font.get();
    fonts.emplace(font.get(), std::move(font));
    stockObjects[DEFAULT_PALETTE] = stockPalette;
}

Registry& Objects() {
    static Registry registry;
    return registry;
}

std::unique_ptr<DibSection> MakeDib(int bitsPerPixel, LONG width, LONG height, std::size_t limit) {
    const std::uint64_t stride = DibStride(bitsPerPixel, width);
    const std::uint64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (stride > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) return nullptr;
    // stride * rows <= limit, tested without forming a product that could overflow.
    if (stride > limit / rows) return nullptr;
    // Fresh zero-filled pages stay untouched, so an unused large section costs no resident memory.
    std::unique_ptr<BYTE, FreeDeleter> pixels(static_cast<BYTE*>(largemem::Allocate(stride * rows)));
    if (!pixels) return nullptr;
    auto dib = std::make_unique<DibSection>();
    dib->width = width;
    dib->height = static_cast<int>(rows);
    dib->bitsPerPixel = bitsPerPixel;
    dib->stride = static_cast<int>(stride);
    dib->topDown = height < 0;
    dib->pixels = std::move(pixels);
    return dib;
}

pixels::Plane PlaneOf(const DibSection& dib) {
    return pixels::RowsAt(dib.pixels.get(), dib.stride, dib.width, dib.height, dib.topDown, dib.bitsPerPixel,
                          dib.colours.data());
}

} // namespace gdi_internal

HDC CreateCompatibleDC(HDC) {
    // The reference context does not matter: every memory context here is device-independent,
    // and it may come from another stand-in, so it is neither checked nor used.
    if (faults::ShouldFail()) return nullptr;
    Registry& objects = Objects();
    try {
        auto dib = MakeDib(1, 1, 1, std::numeric_limits<std::size_t>::max()); // not a section: no limit
        if (!dib) return nullptr;
        gdi_internal::StandardColours(1, dib->colours.data());
        auto dc = std::make_unique<MemoryDC>();
        MemoryDC* handle = dc.get();
        DibSection* defaultBitmap = dib.get();
        defaultBitmap->owner = handle;
        defaultBitmap->selectedInto = handle;
        dc->defaultBitmap = defaultBitmap;
        dc->bitmap = defaultBitmap;

        const std::lock_guard lock(objects.mutex);
        dc->palette = objects.stockPalette;
        dc->brush = objects.stockBrushes[WHITE_BRUSH];
        dc->font = objects.stockFont;
        dc->pen = objects.stockPens[BLACK_PEN - WHITE_PEN];
        objects.bitmaps.emplace(defaultBitmap, std::move(dib));
        try {
            objects.dcs.emplace(handle, std::move(dc));
        } catch (const std::bad_alloc&) {
            objects.bitmaps.erase(defaultBitmap); // keep the registry free of half-made contexts
            return nullptr;
        }
        ++objects.stockPalette->selections;
        ++handle->brush->selections;
        ++handle->font->selections;
        ++handle->pen->selections;
        return handle;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL DeleteDC(HDC hdc) {
    auto&& [objects, lock] = LockedObjects();
    MemoryDC* dc = objects.FindDC(hdc);
    if (!dc) return FALSE;
    // What the DC held becomes free again; only its own default bitmap goes with it.
    dc->bitmap->selectedInto = nullptr;
    --dc->palette->selections;
    --dc->brush->selections;
    --dc->font->selections;
    --dc->pen->selections;
    objects.bitmaps.erase(dc->defaultBitmap);
    objects.dcs.erase(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    auto&& [objects, lock] = LockedObjects();
    MemoryDC* dc = objects.FindDC(hdc);
    if (!dc) return nullptr;
    // A brush, font or pen takes the place of the one of its kind, which is released.
    const auto swap = [](auto* object, auto*& slot) -> HGDIOBJ {
        auto* previous = std::exchange(slot, object);
        --previous->selections;
        ++object->selections;
        return previous;
    };
    if (gdi_internal::Brush* brush = objects.FindBrush(obj)) return swap(brush, dc->brush);
    if (Font* font = objects.FindFont(obj)) return swap(font, dc->font);
    if (Pen* pen = objects.FindPen(obj)) return swap(pen, dc->pen);
    DibSection* bitmap = objects.FindBitmap(obj);
    // Palettes go through SelectPalette, as on Windows; other handles are unknown.
    if (!bitmap) return nullptr;
    if (bitmap->selectedInto == dc) return bitmap;
    if (bitmap->selectedInto || (bitmap->owner && bitmap->owner != dc)) return nullptr;
    DibSection* previous = dc->bitmap;
    previous->selectedInto = nullptr;
    bitmap->selectedInto = dc;
    dc->bitmap = bitmap;
    return previous;
}

BOOL DeleteObject(HGDIOBJ obj) {
    auto&& [objects, lock] = LockedObjects();
    if (const DibSection* bitmap = objects.FindBitmap(obj)) {
        if (bitmap->selectedInto || bitmap->owner) return FALSE;
        objects.bitmaps.erase(obj);
        return TRUE;
    }
    // The other kinds: stock objects and objects still selected somewhere stay.
    BOOL deleted = FALSE;
    const auto erase = [obj, &deleted](auto& map) {
        const auto it = map.find(obj);
        if (it == map.end()) return false;
        deleted = it->second->stock || it->second->selections > 0 ? FALSE : TRUE;
        if (deleted) map.erase(it);
        return true;
    };
    erase(objects.palettes) || erase(objects.brushes) || erase(objects.fonts) || erase(objects.pens);
    return deleted;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
    // The DC would only matter for DIB_PAL_COLORS, which is not supported; file-mapping sections
    // are not supported either.
    if (bits) *bits = nullptr;
    if (faults::ShouldFail()) return nullptr;
    BITMAPINFOHEADER header;
    if (!info || usage != DIB_RGB_COLORS || section || !pixels::ReadDibHeader(info, header)) return nullptr;
    try {
        auto dib = MakeDib(header.biBitCount, header.biWidth, header.biHeight, gdi_internal::kMaxBitmapBytes);
        if (!dib) return nullptr;
        if (header.biBitCount <= 8) pixels::ReadColourTable(info, header, dib->colours.data());
        auto&& [objects, lock] = LockedObjects();
        DibSection* handle = gdi_internal::Adopt(objects.bitmaps, std::move(dib));
        if (bits) *bits = handle->pixels.get();
        return handle;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    // The DC is not consulted beyond being required, as Windows refuses a null one: the bitmap
    // carries its own format, and Windows does not require the bitmap to be selected into it.
    if (!hdc || !info || usage != DIB_RGB_COLORS) return 0;
    auto&& [objects, lock] = LockedObjects();
    const DibSection* dib = objects.FindBitmap(bitmap);
    if (!dib) return 0;
    BITMAPINFOHEADER header = ReadHeader(info);
    if (header.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    // The colour table for a depth of 8 bits or fewer: the bitmap's own at its own depth, the
    // standard one at another.
    std::array<RGBQUAD, 256> dstColours = dib->colours;
    const auto writeColours = [&](int bitsPerPixel) {
        if (bitsPerPixel > 8) return;
        if (bitsPerPixel != dib->bitsPerPixel) gdi_internal::StandardColours(bitsPerPixel, dstColours.data());
        std::memcpy(reinterpret_cast<BYTE*>(info) + header.biSize, dstColours.data(),
                    (std::size_t{1} << bitsPerPixel) * sizeof(RGBQUAD));
    };

    if (!bits) {
        // Describe the bitmap in the caller's depth, or its own when none is asked for.
        const bool asked = header.biBitCount != 0;
        const int bitsPerPixel = asked ? header.biBitCount : dib->bitsPerPixel;
        if (!IsSupportedBitCount(bitsPerPixel)) return 0;
        const std::uint64_t size =
            DibStride(bitsPerPixel, dib->width) * static_cast<std::uint64_t>(dib->height);
        if (size > std::numeric_limits<DWORD>::max()) return 0;
        header.biWidth = dib->width;
        header.biHeight = dib->height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bitsPerPixel);
        header.biSizeImage = static_cast<DWORD>(size);
        std::memcpy(info, &header, sizeof(header));
        if (asked) writeColours(bitsPerPixel); // a depth asked for gets its colour table too
        return dib->height;
    }

    const int dstBitsPerPixel = header.biBitCount;
    if (!IsSupportedBitCount(dstBitsPerPixel) || header.biCompression != BI_RGB ||
        header.biWidth != dib->width) {
        return 0;
    }
    const auto height = static_cast<UINT>(dib->height);
    if (start >= height || lines == 0) return 0;
    const UINT count = std::min(lines, height - start);
    const auto dstStride = static_cast<std::size_t>(DibStride(dstBitsPerPixel, dib->width));
    const bool dstTopDown = header.biHeight < 0;
    writeColours(dstBitsPerPixel);
    try {
        pixels::RowConverter converter(dib->bitsPerPixel, dib->colours.data(), dstBitsPerPixel,
                                       dstColours.data(), dib->width);
        const pixels::Plane plane = gdi_internal::PlaneOf(*dib);
        auto* out = static_cast<BYTE*>(bits);
        for (UINT i = 0; i < count; ++i) {
            // Scan line 0 is the bottom row for a bottom-up destination, the top row otherwise.
            const UINT scan = start + i;
            const auto row = static_cast<std::ptrdiff_t>(dstTopDown ? scan : height - 1 - scan);
            converter.Convert(plane.top + row * plane.step, out + i * dstStride);
            // A monochrome row copied as it is keeps no stray bits past its last pixel.
            if (dstBitsPerPixel == 1 && dib->bitsPerPixel == 1 && dib->width % 8 != 0)
                out[i * dstStride + dib->width / 8] &= static_cast<BYTE>(0xFF00u >> (dib->width % 8));
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return static_cast<int>(count);
}

int GetObjectA(HGDIOBJ obj, int size, void* buffer) {
    auto&& [objects, lock] = LockedObjects();
    if (const DibSection* dib = objects.FindBitmap(obj)) {
        constexpr int needed = sizeof(BITMAP);
        if (!buffer) return needed;
        if (size < needed) return 0;
        if (!dib->device && !dib->owner && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION section{};
            section.dsBm = BITMAP{0,
                                  dib->width,
                                  dib->height,
                                  dib->stride,
                                  1,
                                  static_cast<WORD>(dib->bitsPerPixel),
                                  dib->pixels.get()};
            section.dsBmih =
                BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER),
                                 dib->width,
                                 dib->height, // positive for top-down sections too
                                 1,
                                 static_cast<WORD>(dib->bitsPerPixel),
                                 BI_RGB,
                                 static_cast<DWORD>(dib->stride) * static_cast<DWORD>(dib->height),
                                 0,
                                 0,
                                 dib->bitsPerPixel <= 8 ? DWORD{1} << dib->bitsPerPixel : 0,
                                 0};
            std::memcpy(buffer, &section, sizeof(section));
            return sizeof(section);
        }
        BITMAP record{};
        record.bmType = 0;
        record.bmWidth = dib->width;
        record.bmHeight = dib->height;
        // A device-dependent bitmap reports word-aligned rows and keeps its bits to itself.
        record.bmWidthBytes =
            dib->device ? static_cast<LONG>(pixels::WordStride(dib->bitsPerPixel, dib->width)) : dib->stride;
        record.bmPlanes = 1;
        record.bmBitsPixel = static_cast<WORD>(dib->bitsPerPixel);
        record.bmBits = dib->device ? nullptr : dib->pixels.get();
        std::memcpy(buffer, &record, sizeof(record)); // the buffer need not be aligned
        return needed;
    }
    if (const Palette* palette = objects.FindPalette(obj)) {
        constexpr int needed = sizeof(WORD);
        if (!buffer) return needed;
        if (size < needed) return 0;
        const auto count = static_cast<WORD>(palette->entries.size());
        std::memcpy(buffer, &count, sizeof(count));
        return needed;
    }
    if (const Font* font = objects.FindFont(obj)) {
        constexpr int needed = sizeof(LOGFONTA);
        if (!buffer) return needed;
        if (size < needed) return 0;
        std::memcpy(buffer, &font->description, sizeof(LOGFONTA));
        return needed;
    }
    if (const Pen* pen = objects.FindPen(obj)) {
        constexpr int needed = sizeof(LOGPEN);
        if (!buffer) return needed;
        if (size < needed) return 0;
        const LOGPEN record{static_cast<UINT>(pen->style), POINT{pen->width, 0}, pen->colour};
        std::memcpy(buffer, &record, sizeof(record));
        return needed;
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    auto&& [objects, lock] = LockedObjects();
    const MemoryDC* dc = objects.FindDC(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_PAL: return dc->palette;
    case OBJ_FONT: return dc->font;
    case OBJ_BITMAP: return dc->bitmap;
    default: return nullptr;
    }
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (faults::ShouldFail() || !palette) return nullptr;
    WORD version = 0;
    WORD count = 0;
    std::memcpy(&version, reinterpret_cast<const BYTE*>(palette) + offsetof(LOGPALETTE, palVersion),
                sizeof(version));
    std::memcpy(&count, reinterpret_cast<const BYTE*>(palette) + offsetof(LOGPALETTE, palNumEntries),
                sizeof(count));
    if (version != 0x300 || count < 1 || count > 256) return nullptr;
    try {
        // The entries run past the declared one-element array: read them as bytes.
        std::vector<PALETTEENTRY> entries(count);
        std::memcpy(entries.data(),
                    reinterpret_cast<const BYTE*>(palette) + offsetof(LOGPALETTE, palPalEntry),
                    count * sizeof(PALETTEENTRY));
        auto&& [objects, lock] = LockedObjects();
        return AddPalette(objects, std::move(entries));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HPALETTE CreateHalftonePalette(HDC) {
    if (faults::ShouldFail()) return nullptr;
    try {
        const auto& halftone = gdi_internal::HalftoneColours();
        std::vector<PALETTEENTRY> entries(halftone.begin(), halftone.end());
        auto&& [objects, lock] = LockedObjects();
        return AddPalette(objects, std::move(entries));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL ResizePalette(HPALETTE palette, UINT entries) {
    if (entries < 1 || entries > 1024) return FALSE;
    auto&& [objects, lock] = LockedObjects();
    Palette* found = objects.FindPalette(palette);
    if (!found || found->stock) return FALSE;
    try {
        found->entries.resize(entries, PALETTEENTRY{0, 0, 0, 0});
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    auto&& [objects, lock] = LockedObjects();
    const Palette* found = objects.FindPalette(palette);
    if (!found) return 0;
    const auto size = static_cast<UINT>(found->entries.size());
    if (!entries || count == 0) return size;
    if (start >= size) return 0;
    const UINT copied = std::min(count, size - start);
    std::copy_n(found->entries.begin() + start, copied, entries);
    return copied;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
    if (!entries) return 0;
    auto&& [objects, lock] = LockedObjects();
    Palette* found = objects.FindPalette(palette);
    if (!found || found->stock) return 0;
    const auto size = static_cast<UINT>(found->entries.size());
    if (start >= size) return 0;
    const UINT copied = std::min(count, size - start);
    std::copy_n(entries, copied, found->entries.begin() + start);
    return copied;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) {
    auto&& [objects, lock] = LockedObjects();
    const Palette* found = objects.FindPalette(palette);
    if (!found) return CLR_INVALID;
    return static_cast<UINT>(pixels::NearestEntry(found->entries.data(), found->entries.size(),
                                                  GetRValue(colour), GetGValue(colour), GetBValue(colour)));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL) {
    // A memory DC has no foreground or background role, so the flag changes nothing.
    auto&& [objects, lock] = LockedObjects();
    MemoryDC* dc = objects.FindDC(hdc);
    Palette* found = objects.FindPalette(palette);
    if (!dc || !found) return nullptr;
    Palette* previous = dc->palette;
    --previous->selections;
    ++found->selections;
    dc->palette = found;
    return previous;
}

UINT RealizePalette(HDC hdc) {
    // Every context here is a memory one on a true-colour device: nothing reaches a system palette.
    auto&& [objects, lock] = LockedObjects();
    return objects.FindDC(hdc) ? 0 : GDI_ERROR;
}

HPALETTE GetStockPalette() {
    auto&& [objects, lock] = LockedObjects();
    return objects.stockPalette;
}

bool GetSelectedDib(HDC hdc, DibView& view) {
    auto&& [objects, lock] = LockedObjects();
    const MemoryDC* dc = objects.FindDC(hdc);
    if (!dc) return false;
    FillView(*dc->bitmap, view);
    return true;
}

bool GetDibView(HBITMAP bitmap, DibView& view) {
    auto&& [objects, lock] = LockedObjects();
    const DibSection* dib = objects.FindBitmap(bitmap);
    if (!dib) return false;
    FillView(*dib, view);
    return true;
}

std::size_t GdiObjectCount() {
    auto&& [objects, lock] = LockedObjects();
    return objects.bitmaps.size() + objects.palettes.size() - 1 + objects.dcs.size() +
           objects.brushes.size() - objects.stockBrushes.size() + objects.fonts.size() - 1 +
           objects.pens.size() - objects.stockPens.size();
}
