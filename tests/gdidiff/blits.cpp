// The blit cases of the drawing differential: every pair of formats through every raster operation,
// monochrome pairs with the contexts' own background and text colours as well as the defaults, and
// a plain read of each format to 32 bits (the reading every device bitmap's case relies on).
#include "gdidiff.h"

namespace gdidiff {

namespace {

constexpr int kWidth = 13, kHeight = 5;
constexpr COLORREF kDstBackground = RGB(0xC0, 0x40, 0x20), kDstText = RGB(0x10, 0xA0, 0xE0);
constexpr COLORREF kPlanted = RGB(0x30, 0x60, 0x90);
constexpr COLORREF kBrush = RGB(0x50, 0xB0, 0x70);

// A background colour that the source holds: black for one bit, a table entry for 4 and 8 bits,
// else a colour planted at a few pixels.
COLORREF SourceBackground(TBitmap& src) {
    const int bpp = src.format.bitsPerPixel;
    if (bpp == 1) return RGB(0, 0, 0);
    if (bpp == 4 || bpp == 8) {
        const RGBQUAD q = TableColour(bpp, 5);
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    for (int i = 0; i < kWidth * kHeight; i += 4)
        SetPixel(src.dc, i % kWidth, i / kWidth, kPlanted);
    return kPlanted;
}

// One case: a 9 x 3 transfer into the middle of the destination, from (3, 2) of the source.
void Blit(TCaseLog& log, const TFormat& from, const TFormat& to, const TRop& rop, bool colours) {
    TBitmap src(from, kWidth, kHeight), dst(to, kWidth, kHeight);
    src.Pattern(7);
    dst.Pattern(11);
    std::string name = std::string("blit/") + from.name + "to" + to.name + "/" + rop.name;
    if (colours) {
        const COLORREF background = SourceBackground(src);
        SetBkColor(src.dc, background);
        SetTextColor(src.dc, RGB(0xFF, 0xFF, 0x00));
        SetBkColor(dst.dc, kDstBackground);
        SetTextColor(dst.dc, kDstText);
        name += "/bk" + Hex(background);
    }
    const BOOL done = BitBlt(dst.dc, 2, 1, 9, 3, src.dc, 3, 2, rop.code);
    log.Begin(name);
    log.Add(static_cast<std::uint64_t>(done != 0));
    dst.Add(log);
    log.End();
}

// One raster operation that reads no source, with a solid brush selected.
void Paint(TCaseLog& log, const TFormat& to, const TRop& rop) {
    TBitmap dst(to, kWidth, kHeight);
    dst.Pattern(11);
    SetBkColor(dst.dc, kDstBackground);
    SetTextColor(dst.dc, kDstText);
    HBRUSH brush = CreateSolidBrush(kBrush);
    HGDIOBJ old = SelectObject(dst.dc, brush);
    const BOOL done = PatBlt(dst.dc, 2, 1, 9, 3, rop.code);
    SelectObject(dst.dc, old);
    DeleteObject(brush);
    log.Begin(std::string("blit/to") + to.name + "/" + rop.name);
    log.Add(static_cast<std::uint64_t>(done != 0));
    dst.Add(log);
    log.End();
}

} // namespace

void BlitCases(TCaseLog& log) {
    for (const TFormat& f : kFormats) {
        TBitmap b(f, kWidth, kHeight);
        b.Pattern(3);
        const std::string pixels = b.Read32();
        log.Record(std::string("blit/read/") + f.name, pixels.data(), pixels.size());
    }
    for (const TFormat& from : kFormats) {
        for (const TFormat& to : kFormats) {
            const bool mono = from.bitsPerPixel == 1 || to.bitsPerPixel == 1;
            for (std::size_t r = 0; r < kSourceRops; ++r) {
                if (mono && r == 0) Blit(log, from, to, kRops[r], false);
                Blit(log, from, to, kRops[r], mono);
            }
        }
    }
    for (const TFormat& to : kFormats)
        for (std::size_t r = kSourceRops; r < kRops.size(); ++r)
            Paint(log, to, kRops[r]);
}

} // namespace gdidiff
