// Stand-in for the Windows pen, line and edge calls. Straight runs (horizontal and vertical lines,
// every edge) go through the pixel engine as filled rectangles, so they work on every format; other
// lines are walked point by point, only over the stretch that can reach the visible area.
#include "platform/lines.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>

#include "platform/draw_internal.h"
#include "platform/faults.h"
#include "platform/gdi_internal.h"
#include "platform/syscolors.h"

namespace {

using draw_internal::Area;
using draw_internal::Locked;
using draw_internal::Plane;
using draw_internal::Visible;
using gdi_internal::MemoryDC;
using gdi_internal::Objects;
using gdi_internal::Pen;
using gdi_internal::Registry;

// Paints a device rectangle in one colour; empty rectangles paint nothing.
void Paint(const MemoryDC& dc, const Area& visible, std::int64_t x, std::int64_t y, std::int64_t width,
           std::int64_t height, COLORREF colour) {
    if (width <= 0 || height <= 0) return;
    gdi_internal::Brush brush;
    brush.colour = colour;
    draw_internal::Job job;
    job.dst = draw_internal::PlaneOf(*dc.bitmap);
    job.visible = visible;
    job.x = x;
    job.y = y;
    job.width = width;
    job.height = height;
    job.rop = PATCOPY;
    job.brush = &brush;
    draw_internal::Run(job);
}

// The steps k in [0, count) at which a coordinate start + step * k lies in [low, high).
void StepRange(std::int64_t start, int step, std::int64_t low, std::int64_t high, std::int64_t count,
               std::int64_t& first, std::int64_t& last) {
    if (step > 0) {
        first = low - start;
        last = high - start; // exclusive
    } else {
        first = start - high + 1;
        last = start - low + 1;
    }
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, count);
}

// A line from (x0, y0) towards (x1, y1), device coordinates, without its end point.
void DrawLine(const MemoryDC& dc, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              const Pen& pen) {
    const Area visible = Visible(dc);
    if (visible.left >= visible.right || visible.top >= visible.bottom) return;
    const std::int64_t width = pen.width;
    const std::int64_t half = (width - 1) / 2; // a wide pen's square reaches this far up and left
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    if (dx == 0 && dy == 0) return;
    if (dy == 0) {
        const std::int64_t left = dx > 0 ? x0 : x1 + 1;
        Paint(dc, visible, left - half, y0 - half, std::abs(dx) + width - 1, width, pen.colour);
        return;
    }
    if (dx == 0) {
        const std::int64_t top = dy > 0 ? y0 : y1 + 1;
        Paint(dc, visible, x0 - half, top - half, width, std::abs(dy) + width - 1, pen.colour);
        return;
    }
    // Bresenham's walk along the major axis: at step k the minor axis has moved
    // round(k * minor / major), a half rounding towards the smaller coordinate (up or left).
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const std::int64_t major = xMajor ? std::abs(dx) : std::abs(dy);
    const std::int64_t minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorStep = (xMajor ? dy : dx) > 0 ? 1 : -1;
    const std::int64_t majorStart = xMajor ? x0 : y0;
    const std::int64_t minorStart = xMajor ? y0 : x0;
    std::int64_t first = 0, last = 0;
    if (xMajor)
        StepRange(majorStart, majorStep, visible.left - width, visible.right + width, major, first, last);
    else
        StepRange(majorStart, majorStep, visible.top - width, visible.bottom + width, major, first, last);
    if (first >= last) return;

    const Plane plane = draw_internal::PlaneOf(*dc.bitmap);
    const std::int64_t tie = minorStep > 0 ? 1 : 0; // a half step stays put when moving down or right
    std::int64_t numerator = 2 * first * minor + major - tie;
    std::int64_t offset = numerator / (2 * major);
    std::int64_t remainder = numerator % (2 * major);
    for (std::int64_t k = first; k < last; ++k) {
        const std::int64_t a = majorStart + majorStep * k;
        const std::int64_t b = minorStart + minorStep * offset;
        const std::int64_t x = xMajor ? a : b;
        const std::int64_t y = xMajor ? b : a;
        if (width == 1) {
            if (x >= visible.left && x < visible.right && y >= visible.top && y < visible.bottom)
                draw_internal::WriteColour(plane, static_cast<int>(x), static_cast<int>(y), pen.colour);
        } else {
            Paint(dc, visible, x - half, y - half, width, width, pen.colour);
        }
        remainder += 2 * minor;
        if (remainder >= 2 * major) {
            remainder -= 2 * major;
            ++offset;
        }
    }
}

struct Border {
    int topLeft = -1; // system colour indices; -1 for no border
    int bottomRight = -1;
};

} // namespace

HPEN CreatePen(int style, int width, COLORREF colour) {
    if (faults::ShouldFail() || style < PS_SOLID || style > 6) return nullptr; // up to PS_INSIDEFRAME
    try {
        auto pen = std::make_unique<Pen>();
        pen->style = style;
        pen->width = std::max(width, 1);
        pen->colour = colour;
        return Locked([&](Registry& objects) { return gdi_internal::Adopt(objects.pens, std::move(pen)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return FALSE;
        if (previous) *previous = dc->position;
        dc->position = {x, y};
        return TRUE;
    });
}

BOOL LineTo(HDC hdc, int x, int y) {
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return FALSE;
        const POINT from = dc->position;
        dc->position = {x, y};
        if (dc->pen->style == PS_NULL) return TRUE;
        DrawLine(*dc, std::int64_t{from.x} + dc->origin.x, std::int64_t{from.y} + dc->origin.y,
                 std::int64_t{x} + dc->origin.x, std::int64_t{y} + dc->origin.y, *dc->pen);
        return TRUE;
    });
}

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
    if (!rect) return FALSE;
    Border borders[2]; // outer, then inner
    if (edge & BDR_RAISEDOUTER)
        borders[0] = {COLOR_3DLIGHT, COLOR_3DDKSHADOW};
    else if (edge & BDR_SUNKENOUTER)
        borders[0] = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    if (edge & BDR_RAISEDINNER)
        borders[1] = {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
    else if (edge & BDR_SUNKENINNER)
        borders[1] = {COLOR_3DDKSHADOW, COLOR_3DLIGHT};
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        if (!dc) return FALSE;
        const Area visible = Visible(*dc);
        std::int64_t left = std::int64_t{rect->left} + dc->origin.x;
        std::int64_t top = std::int64_t{rect->top} + dc->origin.y;
        std::int64_t right = std::int64_t{rect->right} + dc->origin.x;
        std::int64_t bottom = std::int64_t{rect->bottom} + dc->origin.y;
        for (const Border& border : borders) {
            if (border.topLeft < 0) continue;
            const COLORREF light = GetSysColor(border.topLeft);
            const COLORREF dark = GetSysColor(border.bottomRight);
            // Top and left first, so that bottom and right take the corners they share.
            if (flags & BF_TOP) Paint(*dc, visible, left, top, right - left, 1, light);
            if (flags & BF_LEFT) Paint(*dc, visible, left, top, 1, bottom - top, light);
            if (flags & BF_BOTTOM) Paint(*dc, visible, left, bottom - 1, right - left, 1, dark);
            if (flags & BF_RIGHT) Paint(*dc, visible, right - 1, top, 1, bottom - top, dark);
            if (flags & BF_LEFT) ++left;
            if (flags & BF_TOP) ++top;
            if (flags & BF_RIGHT) --right;
            if (flags & BF_BOTTOM) --bottom;
        }
        if (flags & BF_MIDDLE)
            Paint(*dc, visible, left, top, right - left, bottom - top, GetSysColor(COLOR_BTNFACE));
        if (flags & BF_ADJUST) {
            rect->left = static_cast<LONG>(left - dc->origin.x);
            rect->top = static_cast<LONG>(top - dc->origin.y);
            rect->right = static_cast<LONG>(right - dc->origin.x);
            rect->bottom = static_cast<LONG>(bottom - dc->origin.y);
        }
        return TRUE;
    });
}
