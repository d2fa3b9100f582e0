// The palette cases of the drawing differential: logical palettes, nearest entries, palettes on
// memory contexts and the colour tables of sections.
#include <cstring>
#include <string>
#include <vector>

#include "gdidiff.h"

namespace gdidiff {

namespace {

HPALETTE MakePalette(int count) {
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i) {
        const RGBQUAD c = TableColour(8, i);
        PALETTEENTRY e{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
        std::memcpy(buffer.data() + offsetof(LOGPALETTE, palPalEntry) + i * sizeof(PALETTEENTRY), &e,
                    sizeof(e));
    }
    return CreatePalette(palette);
}

// Every entry of a palette, after its count.
void AddEntries(TCaseLog& log, HPALETTE palette) {
    const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
    log.Add(std::uint64_t(count));
    std::vector<PALETTEENTRY> entries(count > 0 && count <= 1024 ? count : 1);
    const UINT copied = GetPaletteEntries(palette, 0, count, entries.data());
    log.Add(std::uint64_t(copied));
    log.Add(entries.data(), copied * sizeof(PALETTEENTRY));
}

// Exact entries, near misses, midpoints between entries, grays and the corners of the cube.
constexpr COLORREF kProbes[] = {
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(128, 128, 128), RGB(127, 127, 127),
    RGB(192, 192, 192), RGB(200, 101, 13),  RGB(201, 100, 14),  RGB(229, 252, 80),
    RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(0, 0, 255),     RGB(26, 26, 26),
    RGB(25, 76, 127),   RGB(240, 240, 240), RGB(60, 200, 150),  RGB(166, 202, 240)};

void NearestCases(TCaseLog& log) {
    struct Named {
        const char* name;
        HPALETTE palette;
    };
    HPALETTE created = MakePalette(16);
    HPALETTE halftone = CreateHalftonePalette(nullptr);
    const Named palettes[] = {{"created16", created},
                              {"halftone", halftone},
                              {"stock", static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))}};
    for (const Named& p : palettes) {
        int i = 0;
        for (const COLORREF colour : kProbes) {
            log.Begin(std::string("palette/nearest/") + p.name + "/" + std::to_string(i++));
            log.Add(std::uint64_t(GetNearestPaletteIndex(p.palette, colour)));
            log.End();
        }
    }
    log.Begin("palette/halftone/entries");
    AddEntries(log, halftone);
    log.End();
    log.Begin("palette/stock/entries");
    AddEntries(log, palettes[2].palette);
    log.End();
    DeleteObject(created);
    DeleteObject(halftone);
}

// Reading, writing and resizing, each step recorded with what it returned and the entries after it.
void EntryCases(TCaseLog& log) {
    struct Step {
        const char* name;
        int kind; // 0 get, 1 set, 2 resize
        UINT start, count;
    };
    const Step steps[] = {
        {"get/inside", 0, 2, 5},        {"get/past-end", 0, 12, 10}, {"get/start-at-end", 0, 16, 1},
        {"get/zero", 0, 0, 0},          {"set/inside", 1, 3, 4},     {"set/past-end", 1, 14, 5},
        {"set/start-at-end", 1, 16, 2}, {"resize/grow", 2, 20, 0},   {"resize/shrink", 2, 6, 0},
        {"resize/same", 2, 6, 0},
    };
    HPALETTE palette = MakePalette(16);
    PALETTEENTRY fresh[8];
    for (int i = 0; i < 8; ++i)
        fresh[i] = {BYTE(10 * i), BYTE(200 - i), BYTE(3 * i), 0};
    for (const Step& s : steps) {
        PALETTEENTRY got[16];
        std::memset(got, 0xCD, sizeof(got));
        std::uint64_t ret = 0;
        if (s.kind == 0)
            ret = GetPaletteEntries(palette, s.start, s.count, got);
        else if (s.kind == 1)
            ret = SetPaletteEntries(palette, s.start, s.count, fresh);
        else
            ret = ResizePalette(palette, s.start);
        log.Begin(std::string("palette/entries/") + s.name);
        log.Add(ret);
        if (s.kind == 0) log.Add(got, sizeof(got));
        AddEntries(log, palette);
        log.End();
    }
    DeleteObject(palette);
    // The stock palette cannot be changed.
    const PALETTEENTRY red{255, 0, 0, 0};
    HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    log.Begin("palette/entries/stock-set");
    log.Add(std::uint64_t(SetPaletteEntries(stock, 0, 1, &red)));
    AddEntries(log, stock);
    log.End();
}

// SelectPalette and RealizePalette on memory contexts, bare and holding sections.
void RealizeCases(TCaseLog& log) {
    HPALETTE created = MakePalette(16);
    HPALETTE halftone = CreateHalftonePalette(nullptr);
    HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    struct Named {
        const char* name;
        HPALETTE palette;
    };
    const Named palettes[] = {{"created16", created}, {"halftone", halftone}, {"stock", stock}};
    for (const int bpp : {0, 8, 32}) {
        for (const Named& p : palettes) {
            for (const BOOL background : {FALSE, TRUE}) {
                TSurface surface(bpp == 0 ? 32 : bpp, 4, 4, false);
                HDC dc = surface.dc;
                HDC bare = bpp == 0 ? CreateCompatibleDC(nullptr) : nullptr;
                if (bare) dc = bare;
                HPALETTE previous = SelectPalette(dc, p.palette, background);
                const UINT realized = RealizePalette(dc);
                const UINT again = RealizePalette(dc);
                HPALETTE back = SelectPalette(dc, previous, FALSE);
                log.Begin(std::string("palette/realize/") + (bpp == 0 ? "bare" : std::to_string(bpp)) + "/" +
                          p.name + (background ? "/background" : "/foreground"));
                log.Add(std::uint64_t(previous == stock));
                log.Add(std::uint64_t(realized));
                log.Add(std::uint64_t(again));
                log.Add(std::uint64_t(back == p.palette));
                log.End();
                if (bare) DeleteDC(bare);
            }
        }
    }
    DeleteObject(created);
    DeleteObject(halftone);
}

// SetDIBColorTable: what it returns, and how the new table shows in the pixels read and written.
void ColourTableCases(TCaseLog& log) {
    struct Call {
        int bpp;
        UINT start, count;
    };
    const Call calls[] = {{1, 0, 2},    {1, 1, 4}, {4, 12, 8},  {4, 16, 1}, {8, 3, 4},
                          {8, 250, 10}, {8, 0, 0}, {8, 256, 1}, {24, 0, 4}, {32, 0, 4}};
    RGBQUAD fresh[10];
    for (int i = 0; i < 10; ++i)
        fresh[i] = RGBQUAD{BYTE(1 + i), BYTE(2 + 3 * i), BYTE(250 - i), 0};
    for (const Call& c : calls) {
        TSurface surface(c.bpp, 8, 2, false);
        surface.Pattern(c.start + 3);
        const UINT set = SetDIBColorTable(surface.dc, c.start, c.count, fresh);
        log.Begin("palette/setdibcolortable/" + std::to_string(c.bpp) + "/" + std::to_string(c.start) + "+" +
                  std::to_string(c.count));
        log.Add(std::uint64_t(set));
        for (int x = 0; x < 8; ++x)
            log.Add(std::uint64_t(GetPixel(surface.dc, x, 0)));
        // The new entries are matched exactly when drawing.
        for (int i = 0; i < 8; ++i)
            SetPixel(surface.dc, i, 1, RGB(fresh[i].rgbRed, fresh[i].rgbGreen, fresh[i].rgbBlue));
        log.Add(surface.bits, surface.Bytes());
        log.End();
    }
}

} // namespace

void PaletteCases(TCaseLog& log) {
    NearestCases(log);
    EntryCases(log);
    RealizeCases(log);
    ColourTableCases(log);
}

} // namespace gdidiff
