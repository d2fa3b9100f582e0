// The line cases of the drawing differential: MoveToEx and LineTo in every octant, steep and
// shallow, on exact ties, clipped, with thin, wide and null pens, on 32-bit and 8-bit sections.
#include <cstring>
#include <string>

#include "gdidiff.h"

namespace gdidiff {

namespace {

constexpr int kSize = 24, kCentre = 12;

// Line ends relative to the centre: the eight octants steep and shallow, exact ties (one axis
// twice or an odd fraction of the other), diagonals and the axes.
struct Offset {
    int dx, dy;
};
constexpr Offset kOffsets[] = {
    {9, 3},  {9, -3}, {-9, 3}, {-9, -3}, {3, 9},  {3, -9}, {-3, 9}, {-3, -9}, {8, 4},  {-8, -4},
    {4, -8}, {-4, 8}, {10, 5}, {-5, 10}, {6, 6},  {-6, 6}, {10, 1}, {1, -10}, {10, 0}, {0, -10},
    {7, 2},  {-2, 7}, {9, 6},  {-9, -6}, {11, 4}, {3, -7}, {-8, 4}, {8, -4},  {4, 8},  {-4, -8},
};

std::string OffsetName(const Offset& o) {
    return std::to_string(o.dx) + "," + std::to_string(o.dy);
}

// Draws the lines with a pen on a cleared section and records the pixels and the position after.
void Record(TCaseLog& log, const std::string& name, TSurface& surface, HPEN pen, int x0, int y0, int x1,
            int y1) {
    std::memset(surface.bits, 0, surface.Bytes());
    HGDIOBJ old = SelectObject(surface.dc, pen);
    MoveToEx(surface.dc, x0, y0, nullptr);
    const BOOL drawn = LineTo(surface.dc, x1, y1);
    POINT at{};
    MoveToEx(surface.dc, 0, 0, &at);
    SelectObject(surface.dc, old);
    log.Begin(name);
    log.Add(std::uint64_t(drawn));
    log.Add(std::uint64_t(at.x) ^ (std::uint64_t(at.y) << 32));
    log.Add(surface.bits, surface.Bytes());
    log.End();
}

} // namespace

void LineCases(TCaseLog& log) {
    for (const int bpp : {32, 8}) {
        TSurface surface(bpp, kSize, kSize, false);
        const std::string depth = "line/" + std::to_string(bpp) + "/";
        HPEN thin = CreatePen(PS_SOLID, 1, RGB(200, 30, 60));
        HPEN wide = CreatePen(PS_SOLID, 3, RGB(20, 230, 60));
        for (const Offset& o : kOffsets)
            Record(log, depth + "w1/" + OffsetName(o), surface, thin, kCentre, kCentre, kCentre + o.dx,
                   kCentre + o.dy);
        // Wide pens on a few directions only.
        for (const Offset& o :
             {kOffsets[0], kOffsets[4], kOffsets[8], kOffsets[14], kOffsets[18], kOffsets[19]})
            Record(log, depth + "w3/" + OffsetName(o), surface, wide, kCentre, kCentre, kCentre + o.dx,
                   kCentre + o.dy);
        // Lines that leave the section on one side or both, and a point-long line.
        Record(log, depth + "w1/clipped/through", surface, thin, -5, -3, 30, 20);
        Record(log, depth + "w1/clipped/steep", surface, thin, 30, -7, 2, 40);
        Record(log, depth + "w1/clipped/outside", surface, thin, -5, 30, 40, 28);
        Record(log, depth + "w1/empty", surface, thin, 5, 5, 5, 5);
        Record(log, depth + "w3/clipped/through", surface, wide, -5, -3, 30, 20);
        // A clip rectangle and a viewport origin.
        IntersectClipRect(surface.dc, 4, 5, 18, 17);
        Record(log, depth + "w1/cliprect/through", surface, thin, 0, 2, 23, 21);
        Record(log, depth + "w1/cliprect/steep", surface, thin, 20, 0, 7, 23);
        Record(log, depth + "w3/cliprect/through", surface, wide, 0, 2, 23, 21);
        SelectClipRgn(surface.dc, nullptr);
        SetViewportOrgEx(surface.dc, 3, -2, nullptr);
        Record(log, depth + "w1/origin", surface, thin, 2, 4, 15, 11);
        SetViewportOrgEx(surface.dc, 0, 0, nullptr);
        Record(log, depth + "null", surface, static_cast<HPEN>(GetStockObject(NULL_PEN)), 2, 2, 20, 9);
        DeleteObject(thin);
        DeleteObject(wide);
    }
}

} // namespace gdidiff
