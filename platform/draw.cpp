// Stand-in for the Windows drawing calls: device-dependent bitmaps, the per-context drawing state,
// block transfers, brushes, the viewport origin and clip rectangle. Pixel work is left to the raster
// operations in draw_pixels.cpp; this file finds the objects in the registry, turns logical
// coordinates into device ones and describes the job.
#include "platform/draw.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "platform/draw_internal.h"
#include "platform/faults.h"
#include "platform/gdi_internal.h"

namespace {

using draw_internal::Area;
using draw_internal::Job;
using draw_internal::Locked;
using draw_internal::Plane;
using draw_internal::PlaneOf;
using draw_internal::Visible;
using gdi_internal::Adopt;
using gdi_internal::Brush;
using gdi_internal::DibSection;
using gdi_internal::MemoryDC;
using gdi_internal::Objects;
using gdi_internal::Registry;

// A device-dependent bitmap: top-down rows, monochrome ones with the black and white table.
// Zero-sized requests give a 1 x 1 monochrome bitmap, as on Windows.
std::unique_ptr<DibSection> MakeDevice(int bitsPerPixel, int width, int height) {
    if (width < 0 || height < 0) return nullptr;
    if (width == 0 || height == 0) {
        bitsPerPixel = 1;
        width = height = 1;
    }
    auto dib = gdi_internal::MakeDib(bitsPerPixel, width, -height, gdi_internal::kMaxBitmapBytes);
    if (!dib) return nullptr;
    dib->device = true;
    if (bitsPerPixel == 1) gdi_internal::StandardColours(1, dib->colours.data());
    return dib;
}

Area Whole(const Plane& plane) {
    return {0, 0, plane.width, plane.height};
}

bool Empty(const Area& area) {
    return area.left >= area.right || area.top >= area.bottom;
}

// A job onto a context's bitmap with its colours and brush; x and y still to be filled in.
Job JobFor(const MemoryDC& dc) {
    Job job;
    job.dst = PlaneOf(*dc.bitmap);
    job.visible = Visible(dc);
    job.dstBackground = dc.background;
    job.dstText = dc.text;
    job.brush = dc.brush;
    return job;
}

// The rows of a device-independent bitmap as a plane. The engine only reads a source, so the
// caller's constant bits are safe behind the plane's mutable pointer.
bool DibPlane(const BITMAPINFO* info, const void* bits, std::array<RGBQUAD, 256>& colours, Plane& plane) {
    BITMAPINFOHEADER header;
    if (!info || !bits || !pixels::ReadDibHeader(info, header)) return false;
    const std::uint64_t stride = pixels::DibStride(header.biBitCount, header.biWidth);
    const std::uint64_t rows = header.biHeight < 0 ? -std::int64_t{header.biHeight} : header.biHeight;
    if (stride > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / rows) return false;
    if (header.biBitCount <= 8) pixels::ReadColourTable(info, header, colours.data());
    plane = pixels::RowsAt(const_cast<BYTE*>(static_cast<const BYTE*>(bits)),
                           static_cast<std::ptrdiff_t>(stride), header.biWidth, static_cast<int>(rows),
                           header.biHeight < 0, header.biBitCount, colours.data());
    return true;
}

LONG ClampToLong(std::int64_t v) {
    return static_cast<LONG>(
        std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// Paints a device rectangle with a raster operation that reads no source.
bool PaintArea(const MemoryDC& dc, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
               DWORD rop, const Brush* brush) {
    Job job = JobFor(dc);
    job.x = x;
    job.y = y;
    job.width = width;
    job.height = height;
    job.rop = rop;
    job.brush = brush;
    job.brushRule = true;
    return draw_internal::Run(job);
}

// The brush FillRect and FrameRect paint with: a registered brush, or a system colour passed as
// its index plus one in place of a brush handle, as Windows allows.
bool ResolveBrush(const Registry& objects, HBRUSH handle, Brush& out) {
    if (const Brush* brush = objects.FindBrush(handle)) {
        out.colour = brush->colour;
        out.hollow = brush->hollow;
        return true;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value >= 1 && value <= 31) {
        out.colour = GetSysColor(static_cast<int>(value - 1));
        out.hollow = false;
        return true;
    }
    return false;
}

} // namespace

// Bitmaps.

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    // Every context here shares the screen's 32-bit format, so the reference context is not used.
    if (faults::ShouldFail()) return nullptr;
    try {
        auto dib = MakeDevice(32, width, height);
        if (!dib) return nullptr;
        return Locked([&](Registry& objects) { return Adopt(objects.bitmaps, std::move(dib)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (faults::ShouldFail() || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32)) return nullptr;
    try {
        auto dib = MakeDevice(static_cast<int>(bitsPerPixel), width, height);
        if (!dib) return nullptr;
        if (bits && dib->width == width && dib->height == height) {
            // The caller's rows are word-aligned; ours are padded to 32 bits.
            const auto used =
                static_cast<std::size_t>(pixels::RowBytes(static_cast<int>(bitsPerPixel), width));
            const auto given =
                static_cast<std::size_t>(pixels::WordStride(static_cast<int>(bitsPerPixel), width));
            const auto* in = static_cast<const BYTE*>(bits);
            for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
                std::memcpy(dib->pixels.get() + row * static_cast<std::size_t>(dib->stride), in + row * given,
                            used);
            }
        }
        return Locked([&](Registry& objects) { return Adopt(objects.bitmaps, std::move(dib)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HBITMAP CreateDIBitmap(HDC, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
    if (faults::ShouldFail() || !header) return nullptr;
    BITMAPINFOHEADER size;
    std::memcpy(&size, header, sizeof(size));
    if (size.biWidth <= 0 || size.biHeight == 0 || size.biHeight == std::numeric_limits<LONG>::min()) {
        return nullptr;
    }
    try {
        auto dib = MakeDevice(32, size.biWidth, size.biHeight < 0 ? -size.biHeight : size.biHeight);
        if (!dib) return nullptr;
        if ((init & CBM_INIT) != 0 && bits) {
            std::array<RGBQUAD, 256> colours{};
            Plane src;
            if (usage != DIB_RGB_COLORS || !DibPlane(info, bits, colours, src)) return nullptr;
            Job job;
            job.dst = PlaneOf(*dib);
            job.visible = Whole(job.dst);
            job.width = job.sw = src.width;
            job.height = job.sh = src.height;
            job.src = &src;
            if (!draw_internal::Run(job)) return nullptr;
        }
        return Locked([&](Registry& objects) { return Adopt(objects.bitmaps, std::move(dib)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HANDLE CopyImage(HANDLE image, UINT type, int cx, int cy, UINT) {
    // Flags change nothing here: every copy is a new 32-bit compatible bitmap, monochrome sources
    // included (their pixels become black and white by their colour table).
    if (faults::ShouldFail() || type != IMAGE_BITMAP || cx < 0 || cy < 0) return nullptr;
    try {
        return Locked([&](Registry& objects) -> HANDLE {
            const DibSection* source = objects.FindBitmap(image);
            if (!source) return nullptr;
            const int width = cx != 0 ? cx : source->width;
            const int height = cy != 0 ? cy : source->height;
            auto dib = MakeDevice(32, width, height);
            if (!dib) return nullptr;
            const Plane src = PlaneOf(*source);
            Job job;
            job.dst = PlaneOf(*dib);
            job.visible = Whole(job.dst);
            job.width = width;
            job.height = height;
            job.src = &src;
            job.sw = src.width;
            job.sh = src.height;
            if (!draw_internal::Run(job)) return nullptr;
            return Adopt(objects.bitmaps, std::move(dib));
        });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Colours and modes of a device context.

namespace {

// Replaces one field of a context's state and returns the old value (fail for unknown contexts).
template <class T>
T Exchange(HDC hdc, T MemoryDC::*field, T value, T fail) {
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        return dc ? std::exchange(dc->*field, value) : fail;
    });
}

template <class T>
T Read(HDC hdc, T MemoryDC::*field, T fail) {
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        return dc ? dc->*field : fail;
    });
}

} // namespace

COLORREF SetBkColor(HDC hdc, COLORREF colour) {
    return Exchange(hdc, &MemoryDC::background, colour, CLR_INVALID);
}
COLORREF GetBkColor(HDC hdc) {
    return Read(hdc, &MemoryDC::background, CLR_INVALID);
}
COLORREF SetTextColor(HDC hdc, COLORREF colour) {
    return Exchange(hdc, &MemoryDC::text, colour, CLR_INVALID);
}
COLORREF GetTextColor(HDC hdc) {
    return Read(hdc, &MemoryDC::text, CLR_INVALID);
}
int SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return Exchange(hdc, &MemoryDC::stretchMode, mode, 0);
}
int GetStretchBltMode(HDC hdc) {
    return Read(hdc, &MemoryDC::stretchMode, 0);
}

// Block transfers.

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
    return StretchBlt(dst, x, y, width, height, src, sx, sy, width, height, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
    return Locked([&](Registry& objects) {
        const MemoryDC* target = objects.FindDC(dst);
        if (!target) return FALSE;
        Job job = JobFor(*target);
        job.x = std::int64_t{x} + target->origin.x;
        job.y = std::int64_t{y} + target->origin.y;
        job.width = width;
        job.height = height;
        job.rop = rop;
        job.brushRule = true;
        job.dstMonochrome = draw_internal::MonochromeDevice(*target->bitmap);
        job.stretchMode = target->stretchMode;
        Plane plane;
        // An unknown source only matters to operations that read one; those then fail.
        if (const MemoryDC* source = src ? objects.FindDC(src) : nullptr) {
            plane = PlaneOf(*source->bitmap);
            job.src = &plane;
            job.sx = std::int64_t{sx} + source->origin.x;
            job.sy = std::int64_t{sy} + source->origin.y;
            job.sw = sw;
            job.sh = sh;
            job.srcBackground = source->background;
            job.srcMonochrome = draw_internal::MonochromeDevice(*source->bitmap);
        }
        return draw_internal::Run(job) ? TRUE : FALSE;
    });
}

int StretchDIBits(HDC dst, int x, int y, int width, int height, int sx, int sy, int sw, int sh,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (usage != DIB_RGB_COLORS) return 0;
    std::array<RGBQUAD, 256> colours{};
    Plane plane;
    if (!DibPlane(info, bits, colours, plane)) return 0;
    return Locked([&](Registry& objects) {
        const MemoryDC* target = objects.FindDC(dst);
        if (!target) return 0;
        Job job = JobFor(*target);
        job.x = std::int64_t{x} + target->origin.x;
        job.y = std::int64_t{y} + target->origin.y;
        job.width = width;
        job.height = height;
        job.src = &plane;
        // The source rectangle counts rows up from the bottom row of the image, whatever the row
        // order; the job counts them down from the top.
        job.sx = sx;
        job.sy = std::int64_t{plane.height} - sy - sh;
        job.sw = sw;
        job.sh = sh;
        job.rop = rop;
        if (!draw_internal::Run(job)) return 0;
        return plane.height; // the image's scan lines, however many the source rectangle takes
    });
}

int StretchSourceIndex(int d, int s, int dCount, bool rows) {
    if (s <= 0 || dCount <= 0 || d < 0 || d >= dCount) return -1;
    return static_cast<int>(draw_internal::SourceIndex(d, s, dCount, rows));
}

// Brushes and rectangles.

HBRUSH CreateSolidBrush(COLORREF colour) {
    if (faults::ShouldFail()) return nullptr;
    try {
        auto brush = std::make_unique<Brush>();
        brush->colour = colour;
        return Locked([&](Registry& objects) { return Adopt(objects.brushes, std::move(brush)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HGDIOBJ GetStockObject(int object) {
    return Locked([&](Registry& objects) -> HGDIOBJ {
        if (object < 0 || static_cast<std::size_t>(object) >= objects.stockObjects.size()) return nullptr;
        return objects.stockObjects[static_cast<std::size_t>(object)];
    });
}

namespace {

// FillRect and FrameRect: the whole rectangle, or the one-pixel border inside it (top and bottom
// rows, left and right columns).
int PaintRect(HDC hdc, const RECT* rect, HBRUSH brush, bool border) {
    if (!rect) return 0;
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        Brush paint;
        if (!dc || !ResolveBrush(objects, brush, paint)) return 0;
        if (rect->right <= rect->left || rect->bottom <= rect->top) return 1; // nothing to paint
        const std::int64_t left = std::int64_t{rect->left} + dc->origin.x;
        const std::int64_t top = std::int64_t{rect->top} + dc->origin.y;
        const std::int64_t width = std::int64_t{rect->right} - rect->left;
        const std::int64_t height = std::int64_t{rect->bottom} - rect->top;
        if (!border) return PaintArea(*dc, left, top, width, height, PATCOPY, &paint) ? 1 : 0;
        PaintArea(*dc, left, top, width, 1, PATCOPY, &paint);
        PaintArea(*dc, left, top + height - 1, width, 1, PATCOPY, &paint);
        PaintArea(*dc, left, top, 1, height, PATCOPY, &paint);
        PaintArea(*dc, left + width - 1, top, 1, height, PATCOPY, &paint);
        return 1;
    });
}

} // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    return PaintRect(hdc, rect, brush, false);
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    return PaintRect(hdc, rect, brush, true);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    if (rop != PATCOPY && rop != BLACKNESS && rop != WHITENESS && rop != DSTINVERT) return FALSE;
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return FALSE;
        return PaintArea(*dc, std::int64_t{x} + dc->origin.x, std::int64_t{y} + dc->origin.y, width, height,
                         rop, dc->brush)
                   ? TRUE
                   : FALSE;
    });
}

namespace {

// The device pixel of a logical point when drawing may touch it.
const MemoryDC* VisiblePixel(const Registry& objects, HDC hdc, int x, int y, std::int64_t& dx,
                             std::int64_t& dy) {
    const MemoryDC* dc = objects.FindDC(hdc);
    if (!dc) return nullptr;
    dx = std::int64_t{x} + dc->origin.x;
    dy = std::int64_t{y} + dc->origin.y;
    const Area area = Visible(*dc);
    return dx >= area.left && dx < area.right && dy >= area.top && dy < area.bottom ? dc : nullptr;
}

} // namespace

COLORREF GetPixel(HDC hdc, int x, int y) {
    return Locked([&](Registry& objects) {
        std::int64_t dx = 0, dy = 0;
        const MemoryDC* dc = VisiblePixel(objects, hdc, x, y, dx, dy);
        if (!dc) return CLR_INVALID;
        return draw_internal::ReadColour(PlaneOf(*dc->bitmap), static_cast<int>(dx), static_cast<int>(dy));
    });
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour) {
    return Locked([&](Registry& objects) {
        std::int64_t dx = 0, dy = 0;
        const MemoryDC* dc = VisiblePixel(objects, hdc, x, y, dx, dy);
        if (!dc) return CLR_INVALID;
        return draw_internal::WriteColour(PlaneOf(*dc->bitmap), static_cast<int>(dx), static_cast<int>(dy),
                                          colour);
    });
}

// Viewport origin and clip rectangle. The clip is kept in device coordinates, as on Windows, so
// moving the origin afterwards does not move it.

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return FALSE;
        if (previous) *previous = dc->origin;
        dc->origin = {x, y};
        return TRUE;
    });
}

BOOL GetViewportOrgEx(HDC hdc, POINT* origin) {
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        if (!dc || !origin) return FALSE;
        *origin = dc->origin;
        return TRUE;
    });
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return ERROR_REGION;
        RECT rect{ClampToLong(std::int64_t{left} + dc->origin.x),
                  ClampToLong(std::int64_t{top} + dc->origin.y),
                  ClampToLong(std::int64_t{right} + dc->origin.x),
                  ClampToLong(std::int64_t{bottom} + dc->origin.y)};
        if (dc->clipped) {
            rect.left = std::max(rect.left, dc->clip.left);
            rect.top = std::max(rect.top, dc->clip.top);
            rect.right = std::min(rect.right, dc->clip.right);
            rect.bottom = std::min(rect.bottom, dc->clip.bottom);
        }
        dc->clip = rect;
        dc->clipped = true;
        return Empty(Visible(*dc)) ? NULLREGION : SIMPLEREGION;
    });
}

int SelectClipRgn(HDC hdc, void* region) {
    // There are no region objects here: only removing the clip is possible.
    if (region) return ERROR_REGION;
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return ERROR_REGION;
        dc->clipped = false;
        return SIMPLEREGION;
    });
}

int GetClipBox(HDC hdc, RECT* rect) {
    if (!rect) return ERROR_REGION;
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return ERROR_REGION;
        const Area area = Visible(*dc);
        if (Empty(area)) {
            *rect = {0, 0, 0, 0};
            return NULLREGION;
        }
        *rect = {ClampToLong(area.left - dc->origin.x), ClampToLong(area.top - dc->origin.y),
                 ClampToLong(area.right - dc->origin.x), ClampToLong(area.bottom - dc->origin.y)};
        return SIMPLEREGION;
    });
}
