// The fill cases of the drawing differential: solid brushes through FillRect and PatBlt, and
// SetPixel with GetPixel, on every format.
#include "gdidiff.h"

namespace gdidiff {

namespace {

constexpr int kWidth = 11, kHeight = 4;
// The contexts' background colour, also one of the brushes: one-bit formats may match on it.
constexpr COLORREF kBackground = RGB(0x80, 0x20, 0xC0);

COLORREF Entry(int bpp, int i) {
    const RGBQUAD q = TableColour(bpp, i);
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// Black, white, an entry of the 8-bit table, near white, the background, a colour of no table.
const COLORREF kColours[] = {RGB(0, 0, 0), RGB(255, 255, 255),    Entry(8, 5),          RGB(250, 250, 250),
                             kBackground,  RGB(0x33, 0x99, 0x66), RGB(0x7F, 0x7F, 0x7F)};

} // namespace

void FillCases(TCaseLog& log) {
    for (const TFormat& f : kFormats) {
        for (const COLORREF colour : kColours) {
            for (const bool patBlt : {false, true}) {
                TBitmap b(f, kWidth, kHeight);
                b.Pattern(13);
                SetBkColor(b.dc, kBackground);
                SetTextColor(b.dc, RGB(0x10, 0x20, 0x30));
                HBRUSH brush = CreateSolidBrush(colour);
                int done = 0;
                if (patBlt) {
                    HGDIOBJ old = SelectObject(b.dc, brush);
                    done = PatBlt(b.dc, 1, 1, 9, 2, PATCOPY);
                    SelectObject(b.dc, old);
                } else {
                    const RECT rect{1, 1, 10, 3};
                    done = FillRect(b.dc, &rect, brush);
                }
                DeleteObject(brush);
                log.Begin(std::string("fill/") + f.name + "/" + (patBlt ? "PatBlt/" : "FillRect/") +
                          Hex(colour));
                log.Add(static_cast<std::uint64_t>(done != 0));
                b.Add(log);
                log.End();
            }
        }
        for (const COLORREF colour : kColours) {
            TBitmap b(f, kWidth, kHeight);
            b.Pattern(17);
            SetBkColor(b.dc, kBackground);
            log.Begin(std::string("fill/") + f.name + "/SetPixel/" + Hex(colour));
            log.Add(static_cast<std::uint64_t>(SetPixel(b.dc, 3, 2, colour)));
            log.Add(static_cast<std::uint64_t>(GetPixel(b.dc, 3, 2)));
            log.Add(static_cast<std::uint64_t>(GetPixel(b.dc, 4, 2)));
            b.Add(log);
            log.End();
        }
    }
}

} // namespace gdidiff
