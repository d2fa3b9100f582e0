// Private to the drawing stand-in: the raster operations behind every block transfer, stretch and
// fill, on top of the shared pixel engine (pixels_internal.h). Not for code above the platform.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/draw.h"
#include "platform/gdi_internal.h"
#include "platform/pixels_internal.h"

namespace draw_internal {

using gdi_internal::PlaneOf;
using pixels::Plane;
using pixels::ReadColour;
using pixels::WriteColour;

// A rectangle in device coordinates, right and bottom exclusive; 64-bit so that sums of any LONG
// coordinates and extents cannot overflow.
struct Area {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
};

// Runs f on the object registry under its lock.
template <class F>
auto Locked(F&& f) {
    gdi_internal::Registry& objects = gdi_internal::Objects();
    const std::lock_guard lock(objects.mutex);
    return f(objects);
}

// The part of a context's bitmap that drawing may touch, in device coordinates.
inline Area Visible(const gdi_internal::MemoryDC& dc) {
    Area area{0, 0, dc.bitmap->width, dc.bitmap->height};
    if (dc.clipped) {
        area.left = std::max<std::int64_t>(area.left, dc.clip.left);
        area.top = std::max<std::int64_t>(area.top, dc.clip.top);
        area.right = std::min<std::int64_t>(area.right, dc.clip.right);
        area.bottom = std::min<std::int64_t>(area.bottom, dc.clip.bottom);
    }
    return area;
}

// One transfer onto dst: the destination rectangle (x, y, width, height) takes the source
// rectangle (sx, sy, sw, sh) scaled by StretchSourceIndex, all in device coordinates. A negative
// extent counts from origin backwards, so a sign that differs between the two sides mirrors that
// axis; it covers origin + extent + 1 .. origin when the transfer mirrors or scales either axis,
// else origin + extent .. origin - 1. Shrinking in BLACKONWHITE or WHITEONBLACK mode
// combines the source pixels of each destination pixel (AND or OR of their values in the source's
// format) instead of dropping all but one.
struct Job {
    Plane dst;
    Area visible; // the destination bitmap, intersected with the clip rectangle
    std::int64_t x = 0, y = 0, width = 0, height = 0;
    const Plane* src = nullptr; // null for operations that do not read a source
    std::int64_t sx = 0, sy = 0, sw = 0, sh = 0;
    DWORD rop = SRCCOPY;
    // Monochrome device bitmaps on either side (MonochromeDevice): such a source becomes the
    // destination's text (0) and background (1) colours, other sources reach such a destination as
    // 1 where they equal srcBackground, and between two of them bits are copied. Other 1-bit
    // bitmaps are ordinary indices into their colour tables.
    bool srcMonochrome = false;
    bool dstMonochrome = false;
    COLORREF srcBackground = 0;
    COLORREF dstBackground = 0;
    COLORREF dstText = 0;
    int stretchMode = COLORONCOLOR;
    const gdi_internal::Brush* brush = nullptr; // for PATCOPY
    // A brush reaching a 1-bit bitmap: the entry equal to its colour, else the entry that
    // dstBackground maps to when the colour is the background colour, the other entry when not.
    // Without it, the nearest entry.
    bool brushRule = false;
};

// A bitmap that the monochrome rules of transfers apply to: a 1-bit device-dependent bitmap,
// including the one a new memory context holds.
inline bool MonochromeDevice(const gdi_internal::DibSection& dib) {
    return dib.bitsPerPixel == 1 && (dib.device || dib.owner != nullptr);
}

// false for an unsupported raster operation or a missing source; true otherwise, also when
// nothing is visible. Memory for the transfer's own bookkeeping may run out: false as well.
bool Run(const Job& job);

// The source index of destination index d (both from the run's origin) when s source pixels
// stretch onto dCount destination pixels; the one mapping of every stretch.
std::int64_t SourceIndex(std::int64_t d, std::int64_t s, std::int64_t dCount, bool rows);

} // namespace draw_internal
