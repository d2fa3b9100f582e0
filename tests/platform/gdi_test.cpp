// The GDI stand-in: bitmap sections, GetDIBits conversions, selection rules, palettes, and how
// every call treats handles it does not know.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"

namespace {

struct ObjectDeleter {
    void operator()(GdiObject* obj) const { DeleteObject(obj); }
};
struct DcDeleter {
    void operator()(GdiDC* dc) const { DeleteDC(dc); }
};
using Bitmap = std::unique_ptr<GdiBitmap, ObjectDeleter>;
using Palette = std::unique_ptr<GdiPalette, ObjectDeleter>;
using DC = std::unique_ptr<GdiDC, DcDeleter>;

// A header followed by a full colour table, as callers lay it out.
struct Info {
    BITMAPINFOHEADER header{};
    std::array<RGBQUAD, 256> colours{};
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

Info MakeInfo(int bpp, LONG width, LONG height) {
    return {{sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0}, {}};
}

Bitmap MakeSection(Info info, BYTE** bits = nullptr) {
    void* pixels = &info; // must come back null on failure
    Bitmap bitmap(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &pixels, nullptr, 0));
    EXPECT_EQ(bitmap == nullptr, pixels == nullptr);
    if (bits) *bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

int Get(HBITMAP bitmap, UINT start, UINT lines, void* bits, Info& info) {
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, start, lines, bits, info.get(), DIB_RGB_COLORS);
    DeleteDC(dc);
    return rows;
}

std::tuple<int, int, int> Rgb(const RGBQUAD& c) {
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}
std::tuple<int, int, int> Rgb(const PALETTEENTRY& e) {
    return {e.peRed, e.peGreen, e.peBlue};
}

constexpr RGBQUAD kBlack{0, 0, 0, 0}, kWhite{255, 255, 255, 0}, kRed{0, 0, 255, 0}, kBlue{255, 0, 0, 0};

// ---- bitmap sections ----

// (bits per pixel, width, stride worked out by hand) x height
class SectionGeometry : public testing::TestWithParam<std::tuple<std::tuple<int, LONG, int>, LONG>> {};

TEST_P(SectionGeometry, StrideZeroFillAndGetObject) {
    const auto [format, height] = GetParam();
    const auto [bpp, width, stride] = format;
    BYTE* bits = nullptr;
    const Bitmap bitmap = MakeSection(MakeInfo(bpp, width, height), &bits);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(std::vector<BYTE>(bits, bits + stride * 3), std::vector<BYTE>(stride * 3u, 0));
    BITMAP record{};
    EXPECT_EQ(GetObjectA(bitmap.get(), sizeof(record) - 1, &record), 0);
    EXPECT_EQ(GetObjectA(bitmap.get(), 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    ASSERT_EQ(GetObjectA(bitmap.get(), sizeof(record), &record), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(
        std::make_tuple(record.bmType, record.bmWidth, record.bmHeight, record.bmWidthBytes, record.bmPlanes,
                        record.bmBitsPixel, record.bmBits),
        std::make_tuple(0, width, 3, stride, WORD{1}, static_cast<WORD>(bpp), static_cast<void*>(bits)));
}

INSTANTIATE_TEST_SUITE_P(
    AllDepths, SectionGeometry,
    testing::Combine(testing::Values(std::make_tuple(1, 33, 8), std::make_tuple(4, 5, 4),
                                     std::make_tuple(4, 33, 20), std::make_tuple(8, 33, 36),
                                     std::make_tuple(24, 5, 16), std::make_tuple(32, 33, 132)),
                     testing::Values(3, -3)));

TEST(Section, RefusesUnsupportedHeaders) {
    // biSize, width, height, planes, bits per pixel, compression: one of them wrong in each
    const BITMAPINFOHEADER bad[] = {
        {39, 4, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0},        {40, 4, 4, 2, 8, BI_RGB, 0, 0, 0, 0, 0},
        {40, 4, 4, 1, 16, BI_RGB, 0, 0, 0, 0, 0},       {40, 4, 4, 1, 0, BI_RGB, 0, 0, 0, 0, 0},
        {40, 4, 4, 1, 8, BI_RLE8, 0, 0, 0, 0, 0},       {40, 0, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0},
        {40, -4, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0},       {40, 4, 0, 1, 8, BI_RGB, 0, 0, 0, 0, 0},
        {40, 4, INT32_MIN, 1, 8, BI_RGB, 0, 0, 0, 0, 0}};
    for (const BITMAPINFOHEADER& header : bad)
        EXPECT_EQ(MakeSection({header, {}}), nullptr) << &header - bad;
    Info info = MakeInfo(8, 4, 4);
    EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_PAL_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST(Section, ReadsColourTableAfterBiSizeHonouringClrUsed) {
    struct {
        BITMAPINFOHEADER header;
        DWORD extra; // a 44-byte header: the table starts after it
        RGBQUAD colours[3];
    } record{MakeInfo(8, 1, 1).header, 0xFFFFFFFF, {kRed, kBlue, kWhite}};
    record.header.biSize = 44;
    record.header.biClrUsed = 2; // the third entry is not part of the table
    const Bitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&record), DIB_RGB_COLORS,
                                         nullptr, nullptr, 0));
    DibView view;
    ASSERT_TRUE(GetDibView(bitmap.get(), view));
    EXPECT_EQ(std::make_tuple(Rgb(view.colours[0]), Rgb(view.colours[1]), Rgb(view.colours[2])),
              std::make_tuple(Rgb(kRed), Rgb(kBlue), Rgb(kBlack)));
}

TEST(Section, PixelDataAboveOneGiBIsRefused) {
    // 65536 bytes x 65537 rows: 4 GiB + 64 KiB, which a 32-bit product would take for 64 KiB.
    EXPECT_EQ(MakeSection(MakeInfo(32, 16384, 65537)), nullptr);
    EXPECT_EQ(MakeSection(MakeInfo(32, 16384, 16385)), nullptr);
    EXPECT_EQ(MakeSection(MakeInfo(32, INT32_MAX, -INT32_MAX)), nullptr);
}

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4096;
}

TEST(Section, FullSizeSectionIsNotResident) {
    const long before = ResidentBytes();
    const Bitmap bitmap = MakeSection(MakeInfo(32, 16384, 16384)); // exactly 1 GiB
    ASSERT_NE(bitmap, nullptr);
    EXPECT_LT(ResidentBytes() - before, 64L << 20) << "a fresh section should not be touched";
    EXPECT_EQ(MakeSection(MakeInfo(32, 16384, 16385)), nullptr);
}

// ---- GetDIBits ----

TEST(GetDIBits, HeaderQueryFillsSizeAndLeavesTheRest) {
    const Bitmap bitmap = MakeSection(MakeInfo(4, 5, -7));
    Info query{};
    query.header.biSize = sizeof(BITMAPINFOHEADER);
    query.header.biClrUsed = 77;
    ASSERT_NE(Get(bitmap.get(), 0, 7, nullptr, query), 0);
    const BITMAPINFOHEADER& h = query.header;
    EXPECT_EQ(std::make_tuple(h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, h.biSizeImage, h.biClrUsed),
              std::make_tuple(5, 7, WORD{1}, WORD{4}, 4u * 7, 77u));
    query.header.biBitCount = 24; // a depth asked for is kept and sized
    ASSERT_NE(Get(bitmap.get(), 0, 7, nullptr, query), 0);
    EXPECT_EQ(std::make_tuple(h.biBitCount, h.biSizeImage), std::make_tuple(WORD{24}, 16u * 7));
    // Reading needs a device context, a supported depth, the bitmap's width and colours given as RGB.
    std::array<BYTE, 64> out{};
    for (Info dest : {MakeInfo(16, 5, 7), MakeInfo(8, 4, 7)})
        EXPECT_EQ(Get(bitmap.get(), 0, 7, out.data(), dest), 0);
    EXPECT_EQ(GetDIBits(nullptr, bitmap.get(), 0, 7, out.data(), query.get(), DIB_PAL_COLORS), 0);
    EXPECT_EQ(GetDIBits(nullptr, bitmap.get(), 0, 7, nullptr, query.get(), DIB_RGB_COLORS), 0);
}

// A 1 x 4 8-bit bitmap whose rows, top to bottom, hold 10, 11, 12, 13; both row orders each side.
class ScanOrder : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(ScanOrder, CountsScanLinesFromTheDestinationsFirstRow) {
    const auto [sourceTopDown, destTopDown] = GetParam();
    BYTE* bits = nullptr;
    const Bitmap bitmap = MakeSection(MakeInfo(8, 1, sourceTopDown ? -4 : 4), &bits);
    for (int row = 0; row < 4; ++row)
        bits[(sourceTopDown ? row : 3 - row) * 4] = static_cast<BYTE>(10 + row);
    Info dest = MakeInfo(8, 1, destTopDown ? -4 : 4);
    std::array<BYTE, 16> out{};
    // Bottom-up: scan 1 is the second row from the bottom; top-down: the second from the top.
    ASSERT_EQ(Get(bitmap.get(), 1, 2, out.data(), dest), 2);
    EXPECT_EQ(std::make_tuple(out[0], out[4], out[8]),
              destTopDown ? std::make_tuple(11, 12, 0) : std::make_tuple(12, 11, 0));
    EXPECT_EQ(Get(bitmap.get(), 3, 10, out.data(), dest), 1);
    EXPECT_EQ(out[0], destTopDown ? 13 : 10);
    EXPECT_EQ(Get(bitmap.get(), 4, 1, out.data(), dest) + Get(bitmap.get(), 9, 1, out.data(), dest), 0);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ScanOrder, testing::Combine(testing::Bool(), testing::Bool()));

// One row of three pixels read back in another depth. Indexed sources have the table black, white,
// red, blue and the pixels [1, 2, 3] (1 bpp: [1, 0, 1]); true-colour ones hold white, red, blue
// (32 bpp with a fourth byte that must not survive). Expected rows include zeroed padding.
// A same-depth copy keeps the bitmap's own table; other depths get the standard ones.
using Conversion = std::tuple<int, int, std::vector<BYTE>>;

class Convert : public testing::TestWithParam<Conversion> {};

TEST_P(Convert, KnownPixels) {
    const auto& [srcBpp, dstBpp, expected] = GetParam();
    const std::map<int, std::vector<BYTE>> sources = {
        {1, {0xA7}}, // bits past the third pixel are not pixels
        {4, {0x12, 0x30}},
        {8, {1, 2, 3}},
        {24, {255, 255, 255, 0, 0, 255, 255, 0, 0}},
        {32, {255, 255, 255, 0x77, 0, 0, 255, 0x77, 255, 0, 0, 0x77}}};
    const std::vector<BYTE>& source = sources.at(srcBpp);
    Info info = MakeInfo(srcBpp, 3, 1);
    info.colours = {kBlack, kWhite, kRed, kBlue};
    BYTE* bits = nullptr;
    const Bitmap bitmap = MakeSection(info, &bits);
    std::copy(source.begin(), source.end(), bits);
    Info dest = MakeInfo(dstBpp, 3, 1);
    std::vector<BYTE> out(expected.size(), 0xCD);
    ASSERT_EQ(Get(bitmap.get(), 0, 1, out.data(), dest), 1);
    EXPECT_EQ(out, expected);
    // The first pixel is white; an indexed result's table must say so.
    if (dstBpp <= 8) {
        EXPECT_EQ(Rgb(dest.colours[out[0] >> (8 - dstBpp)]), Rgb(kWhite));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Convert,
                         testing::Values(
                             // 256 colours: white is entry 255, red 249, blue 252 (static colours).
                             Conversion{1, 8, {255, 0, 255, 0}}, Conversion{4, 8, {255, 249, 252, 0}},
                             Conversion{24, 8, {255, 249, 252, 0}}, Conversion{32, 8, {255, 249, 252, 0}},
                             // VGA colours: white 15, red 9, blue 12. Black and white: red and blue are dark.
                             Conversion{1, 4, {0xF0, 0xF0, 0, 0}}, Conversion{8, 4, {0xF9, 0xC0, 0, 0}},
                             Conversion{32, 4, {0xF9, 0xC0, 0, 0}}, Conversion{4, 1, {0x80, 0, 0, 0}},
                             Conversion{24, 1, {0x80, 0, 0, 0}},
                             // Expansion through the table, and between true-colour depths.
                             Conversion{1, 24, {255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0}},
                             Conversion{4, 24, {255, 255, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0}},
                             Conversion{8, 32, {255, 255, 255, 0, 0, 0, 255, 0, 255, 0, 0, 0}},
                             Conversion{24, 32, {255, 255, 255, 0, 0, 0, 255, 0, 255, 0, 0, 0}},
                             Conversion{32, 24, {255, 255, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0}},
                             // Same depth: as they are.
                             Conversion{1, 1, {0xA0, 0, 0, 0}}, Conversion{4, 4, {0x12, 0x30, 0, 0}},
                             Conversion{8, 8, {1, 2, 3, 0}}));

TEST(GetDIBits, TrueColourTo256ColoursMatchesTheNearestEntryAtFiveBitsPerChannel) {
    // Many distinct colours, so remembered matches must never be confused with one another.
    BYTE* bits = nullptr;
    const Bitmap bitmap = MakeSection(MakeInfo(24, 64, -64), &bits);
    std::mt19937 random(7);
    for (int i = 0; i < 64 * 64 * 3; ++i)
        bits[i] = static_cast<BYTE>(random());
    std::vector<BYTE> out(64 * 64);
    Info dest = MakeInfo(8, 64, -64);
    ASSERT_EQ(Get(bitmap.get(), 0, 64, out.data(), dest), 64);
    const auto distance = [&](int entry, const BYTE* pixel) {
        int sum = 0;
        for (const auto& [value, channel] : {std::pair{pixel[0], dest.colours[entry].rgbBlue},
                                             std::pair{pixel[1], dest.colours[entry].rgbGreen},
                                             std::pair{pixel[2], dest.colours[entry].rgbRed}})
            sum += ((value & ~7) + 4 - channel) * ((value & ~7) + 4 - channel);
        return sum;
    };
    for (std::size_t i = 0; i < out.size(); ++i) {
        int best = 0; // the first of the nearest
        for (int e = 1; e < 256; ++e)
            if (distance(e, bits + i * 3) < distance(best, bits + i * 3)) best = e;
        ASSERT_EQ(out[i], best) << i;
    }
}

TEST(GetDIBits, StandardColourTables) {
    // Header queries at another depth fill the table as reads do: the VGA colours with gray before
    // silver, and the static colours around a 3-3-2 cube.
    const Bitmap bitmap = MakeSection(MakeInfo(24, 2, 2));
    const struct {
        int bpp, entry;
        std::tuple<int, int, int> rgb;
    } entries[] = {{1, 1, {255, 255, 255}},  {4, 7, {128, 128, 128}},   {4, 8, {192, 192, 192}},
                   {4, 9, {255, 0, 0}},      {8, 9, {166, 202, 240}},   {8, 10, {64, 32, 0}},
                   {8, 200, {0, 32, 192}},   {8, 245, {160, 192, 192}}, {8, 246, {255, 251, 240}},
                   {8, 255, {255, 255, 255}}};
    for (const auto& e : entries) {
        Info query = MakeInfo(e.bpp, 2, 2);
        ASSERT_NE(Get(bitmap.get(), 0, 2, nullptr, query), 0);
        EXPECT_EQ(Rgb(query.colours[e.entry]), e.rgb) << e.bpp << " bits, entry " << e.entry;
    }
}

TEST(StretchDIBits, SourceRowsCountUpFromTheBottomInBothRowOrders) {
    // A 1 x 4 image whose rows, bottom to top, are red, green, blue, white; the bottom two rows
    // drawn unscaled onto two rows.
    for (const bool topDown : {false, true}) {
        Info source = MakeInfo(8, 1, topDown ? -4 : 4);
        source.colours[0] = kRed;
        source.colours[1] = RGBQUAD{0, 255, 0, 0};
        source.colours[2] = kBlue;
        source.colours[3] = kWhite;
        std::array<BYTE, 16> rows{};
        for (int up = 0; up < 4; ++up)
            rows[(topDown ? 3 - up : up) * 4] = static_cast<BYTE>(up);
        BYTE* bits = nullptr;
        const Bitmap target = MakeSection(MakeInfo(32, 1, -2), &bits);
        const DC dc(CreateCompatibleDC(nullptr));
        const HGDIOBJ old = SelectObject(dc.get(), target.get());
        EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 1, 2, 0, 0, 1, 2, rows.data(), source.get(), DIB_RGB_COLORS,
                                SRCCOPY),
                  4)
            << "the image's scan lines";
        SelectObject(dc.get(), old);
        EXPECT_EQ(std::make_tuple(bits[0], bits[1], bits[2], bits[4], bits[5], bits[6]),
                  std::make_tuple(0, 255, 0, 0, 0, 255))
            << "green above red, top-down " << topDown;
    }
}

// ---- device contexts and selection ----

TEST(Selection, SelectedBitmapIsDeletableOnlyOnceReleased) {
    Bitmap bitmap = MakeSection(MakeInfo(24, 2, 2)); // outlives the contexts below
    DC first(CreateCompatibleDC(nullptr));
    DC second(CreateCompatibleDC(first.get()));
    DibView view; // a new context holds a 1 x 1 monochrome bitmap
    ASSERT_TRUE(GetSelectedDib(first.get(), view));
    EXPECT_EQ(std::make_tuple(view.width, view.height, view.bitsPerPixel, Rgb(view.colours[1])),
              std::make_tuple(1, 1, 1, Rgb(kWhite)));
    const HGDIOBJ original = SelectObject(first.get(), bitmap.get());
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(first.get(), bitmap.get()), bitmap.get()) << "already there";
    EXPECT_EQ(SelectObject(second.get(), bitmap.get()), nullptr) << "already in another context";
    EXPECT_EQ(DeleteObject(bitmap.get()), FALSE);
    EXPECT_EQ(DeleteObject(original), FALSE) << "a context's own bitmap";
    EXPECT_EQ(SelectObject(second.get(), original), nullptr);
    EXPECT_EQ(SelectObject(first.get(), original), bitmap.get());
    ASSERT_NE(SelectObject(second.get(), bitmap.get()), nullptr);
    EXPECT_EQ(DeleteDC(first.release()), TRUE);
    EXPECT_EQ(GetObjectA(original, 0, nullptr), 0) << "went with its context";
    EXPECT_EQ(DeleteDC(second.release()), TRUE);
    EXPECT_EQ(DeleteObject(bitmap.release()), TRUE);
}

TEST(Selection, PaletteIsInUseUntilReleased) {
    DC first(CreateCompatibleDC(nullptr));
    const DC second(CreateCompatibleDC(nullptr));
    Palette palette(CreateHalftonePalette(nullptr));
    EXPECT_EQ(SelectObject(first.get(), palette.get()), nullptr) << "palettes need SelectPalette";
    EXPECT_EQ(RealizePalette(first.get()), 0u) << "no system palette behind a memory context";
    ASSERT_EQ(SelectPalette(first.get(), palette.get(), FALSE), GetStockPalette());
    ASSERT_EQ(SelectPalette(second.get(), palette.get(), TRUE), GetStockPalette());
    EXPECT_EQ(RealizePalette(first.get()), 0u);
    EXPECT_EQ(SelectPalette(second.get(), GetStockPalette(), FALSE), palette.get());
    EXPECT_EQ(DeleteObject(palette.get()), FALSE) << "still in the first context";
    EXPECT_EQ(DeleteDC(first.release()), TRUE);
    EXPECT_EQ(DeleteObject(palette.release()), TRUE);
    EXPECT_EQ(DeleteObject(GetStockPalette()), FALSE);
}

struct ForeignDC final : GdiDC {};
struct ForeignBitmap final : GdiBitmap {};
struct ForeignPalette final : GdiPalette {};

class UnknownHandles : public testing::TestWithParam<bool> {};

TEST_P(UnknownHandles, EveryCallFails) {
    // Objects this platform never made, or ones it made and deleted. The live ones come first so
    // that they cannot reuse a deleted object's address.
    const DC live(CreateCompatibleDC(nullptr));
    const Bitmap liveBitmap = MakeSection(MakeInfo(8, 1, 1));
    ForeignDC foreignDC;
    ForeignBitmap foreignBitmap;
    ForeignPalette foreignPalette;
    HDC dc = &foreignDC;
    HBITMAP bitmap = &foreignBitmap;
    HPALETTE palette = &foreignPalette;
    if (GetParam()) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = MakeSection(MakeInfo(8, 1, 1)).release();
        palette = CreateHalftonePalette(nullptr);
        ASSERT_TRUE(DeleteDC(dc) && DeleteObject(bitmap) && DeleteObject(palette));
    }
    DibView view;
    Info info = MakeInfo(8, 1, 1);
    PALETTEENTRY entry{};
    EXPECT_FALSE(SelectObject(dc, liveBitmap.get()) || SelectObject(live.get(), bitmap));
    EXPECT_FALSE(SelectPalette(dc, GetStockPalette(), FALSE) || SelectPalette(live.get(), palette, FALSE));
    EXPECT_EQ(RealizePalette(dc), GDI_ERROR);
    EXPECT_FALSE(GetSelectedDib(dc, view) || GetDibView(bitmap, view));
    EXPECT_FALSE(DeleteObject(bitmap) || DeleteObject(palette) || DeleteObject(nullptr) || DeleteDC(dc) ||
                 DeleteDC(nullptr) || ResizePalette(palette, 4));
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr) + GetObjectA(palette, 0, nullptr) +
                  GetDIBits(live.get(), bitmap, 0, 1, nullptr, info.get(), DIB_RGB_COLORS),
              0);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 1, &entry) + SetPaletteEntries(palette, 0, 1, &entry), 0u);
    EXPECT_EQ(GetNearestPaletteIndex(palette, RGB(1, 2, 3)), CLR_INVALID);
}

INSTANTIATE_TEST_SUITE_P(ForeignOrDeleted, UnknownHandles, testing::Bool());

// ---- palettes ----

// A header and its entries laid out the way callers build them.
struct LogPalette {
    WORD version = 0x300;
    WORD count = 0;
    std::array<PALETTEENTRY, 256> entries{};
    const LOGPALETTE* get() const { return reinterpret_cast<const LOGPALETTE*>(this); }
};

TEST(Palette, CreateGetSetResize) {
    for (const LogPalette& bad : {LogPalette{0x300, 0}, LogPalette{0x300, 257}, LogPalette{0x200, 3}}) {
        EXPECT_EQ(CreatePalette(bad.get()), nullptr) << bad.version << " " << bad.count;
    }
    const LogPalette record{0x300, 3, {{{10, 0, 0, 0}, {20, 0, 0, 0}, {30, 0, 0, 0}, {40, 0, 0, 0}}}};
    const Palette palette(CreatePalette(record.get()));
    WORD count = 0;
    EXPECT_EQ(GetObjectA(palette.get(), sizeof(count), &count), 2);
    EXPECT_EQ(count, 3);
    // start, count asked -> count copied, red of the first copied
    const std::tuple<UINT, UINT, UINT, int> reads[] = {
        {0, 9, 3, 10}, {1, 5, 2, 20}, {2, 1, 1, 30}, {3, 1, 0, 0}, {1, 0, 3, 0} /* count 0: the size */};
    for (const auto& [start, wanted, copied, red] : reads) {
        std::array<PALETTEENTRY, 9> out{};
        EXPECT_EQ(GetPaletteEntries(palette.get(), start, wanted, out.data()), copied) << start;
        EXPECT_EQ(std::make_tuple(out[0].peRed, out[copied].peRed), std::make_tuple(red, 0)) << start;
    }
    EXPECT_EQ(SetPaletteEntries(palette.get(), 2, 2, record.entries.data()), 1u);
    ASSERT_EQ(ResizePalette(palette.get(), 5), TRUE);
    std::array<PALETTEENTRY, 5> out;
    out.fill({9, 9, 9, 9});
    ASSERT_EQ(GetPaletteEntries(palette.get(), 0, 5, out.data()), 5u);
    EXPECT_EQ(std::make_tuple(out[1].peRed, out[2].peRed, out[4].peRed, out[4].peFlags),
              std::make_tuple(20, 10, 0, 0));
    EXPECT_TRUE(ResizePalette(palette.get(), 1) && ResizePalette(palette.get(), 1024));
    EXPECT_FALSE(ResizePalette(palette.get(), 0) || ResizePalette(palette.get(), 1025));
    EXPECT_EQ(GetPaletteEntries(palette.get(), 0, 0, nullptr), 1024u);
    EXPECT_FALSE(SetPaletteEntries(GetStockPalette(), 0, 1, out.data()) ||
                 ResizePalette(GetStockPalette(), 30));
}

TEST(Palette, NearestIndexPrefersTheFirstOnTies) {
    const LogPalette record{
        0x300, 5, {{{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {200, 0, 0, 0}, {255, 255, 255, 0}}}};
    const Palette palette(CreatePalette(record.get()));
    const std::pair<COLORREF, UINT> cases[] = {{RGB(0, 0, 0), 0},
                                               {RGB(190, 10, 0), 1},
                                               {RGB(10, 180, 20), 2},
                                               {RGB(250, 250, 240), 4},
                                               {RGB(100, 100, 100), 0}};
    for (const auto& [colour, index] : cases) {
        EXPECT_EQ(GetNearestPaletteIndex(palette.get(), colour), index) << std::hex << colour;
    }
}

TEST(Palette, HalftoneLayout) {
    const Palette palette(CreateHalftonePalette(nullptr));
    std::array<PALETTEENTRY, 256> entries{};
    ASSERT_EQ(GetPaletteEntries(palette.get(), 0, 256, entries.data()), 256u);
    EXPECT_EQ(std::make_tuple(Rgb(entries[9]), Rgb(entries[246])),
              std::make_tuple(std::make_tuple(166, 202, 240), std::make_tuple(255, 251, 240)));
    std::set<std::tuple<int, int, int>> colours;
    for (const PALETTEENTRY& e : entries)
        colours.insert(Rgb(e));
    for (int cube = 0; cube < 216; ++cube) {
        EXPECT_EQ(colours.count({cube / 36 * 51, cube / 6 % 6 * 51, cube % 6 * 51}), 1u) << cube;
    }
    // The gray ramp fills the cube's gaps: every gray level is within 7 of the entry it maps to.
    for (int level = 0; level < 256; ++level) {
        const UINT nearest = GetNearestPaletteIndex(palette.get(), RGB(level, level, level));
        EXPECT_LE(std::abs(entries[nearest].peRed - level), 7) << level;
    }
}

} // namespace
