// The drawing stand-in: raster operations, colour and monochrome conversion, the stretch mapping,
// clipping and viewport origin, device-dependent bitmaps, brushes, and the clipboard store.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <memory>
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
using Object = std::unique_ptr<GdiObject, ObjectDeleter>;
using DC = std::unique_ptr<GdiDC, DcDeleter>;

constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255), kBlack = 0;
constexpr COLORREF kGreen = RGB(0, 255, 0), kGray = RGB(128, 128, 128);

// A colour table holding every colour the tests draw with, so any depth shows them exactly.
constexpr std::array<COLORREF, 6> kTable = {kBlack, kWhite, kRed, kBlue, kGreen, kGray};

// A top-down bitmap section of any depth; 1-bit ones get black and white, others kTable (in
// reverse order when asked, so that indices differ between two sections).
HBITMAP Section(int bpp, int width, int height, bool reversed = false) {
    struct {
        BITMAPINFOHEADER header;
        std::array<RGBQUAD, 256> colours;
    } info{{sizeof(BITMAPINFOHEADER), width, -height, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0}, {}};
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        const COLORREF c =
            bpp == 1 ? (i == 0 ? kBlack : kWhite) : kTable[reversed ? kTable.size() - 1 - i : i];
        info.colours[i] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
    }
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr,
                            0);
}

// A memory context with its own bitmap (deleted after the context, which releases it).
struct Surface {
    explicit Surface(HBITMAP b) : bitmap(b), dc(CreateCompatibleDC(nullptr)) { SelectObject(dc.get(), b); }
    Surface(int bpp, int width, int height) : Surface(Section(bpp, width, height)) {}
    HDC get() const { return dc.get(); }
    void Row(int y, const std::vector<COLORREF>& colours) const {
        for (std::size_t x = 0; x < colours.size(); ++x)
            SetPixel(get(), static_cast<int>(x), y, colours[x]);
    }
    std::vector<COLORREF> Row(int y, int width) const {
        std::vector<COLORREF> out;
        for (int x = 0; x < width; ++x)
            out.push_back(GetPixel(get(), x, y));
        return out;
    }
    Object bitmap;
    DC dc;
};

// ---- the stretch mapping ----

TEST(StretchSourceIndex, MapsEveryDestinationIndex) {
    struct Case {
        int s, d;
        bool rows;
        std::vector<int> expected;
    } const cases[] = {
        {5, 5, false, {0, 1, 2, 3, 4}},
        {5, 5, true, {0, 1, 2, 3, 4}},
        {2, 4, false, {0, 0, 1, 1}},
        {4, 2, false, {1, 3}},
        {4, 2, true, {0, 2}},
        {3, 7, false, {0, 0, 1, 1, 1, 2, 2}},
        {3, 7, true, {0, 0, 1, 1, 1, 2, 2}},
        {7, 3, false, {1, 4, 6}},
        {7, 3, true, {0, 2, 5}},
        {1, 3, false, {0, 0, 0}},
        {3, 1, false, {2}},
        {3, 1, true, {0}},
    };
    for (const Case& c : cases) {
        std::vector<int> got;
        for (int d = 0; d < c.d; ++d)
            got.push_back(StretchSourceIndex(d, c.s, c.d, c.rows));
        EXPECT_EQ(got, c.expected) << c.s << " -> " << c.d << (c.rows ? " rows" : " columns");
    }
    EXPECT_EQ(StretchSourceIndex(INT_MAX - 1, INT_MAX, INT_MAX, false), INT_MAX - 1) << "no overflow";
    EXPECT_EQ(StretchSourceIndex(3, 4, 3, false), -1);
    EXPECT_EQ(StretchSourceIndex(0, 0, 3, false), -1);
}

TEST(StretchBlt, ShrinksAndMirrorsByTheMapping) {
    const Surface src(32, 7, 7);
    const std::vector<COLORREF> row = {RGB(0, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0),
                                       RGB(4, 0, 0), RGB(5, 0, 0), RGB(6, 0, 0)};
    for (int y = 0; y < 7; ++y)
        src.Row(y, row);
    for (int y = 0; y < 7; ++y)
        SetPixel(src.get(), 0, y, RGB(0, static_cast<BYTE>(y), 0)); // rows in green
    const COLORREF u = kBlue;                                       // untouched
    struct Case {
        int x, w, sx, sw;
        std::vector<COLORREF> expected;
    } const cases[] = {
        {0, 3, 0, 7, {RGB(1, 0, 0), RGB(4, 0, 0), RGB(6, 0, 0), u}}, // the last of each group
        {1, 3, 1, 3, {u, RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0)}},
        {3, -3, 1, 3, {u, RGB(3, 0, 0), RGB(2, 0, 0), RGB(1, 0, 0)}}, // mirrored: covers 3 back to 1
        {1, 3, 3, -3, {u, RGB(3, 0, 0), RGB(2, 0, 0), RGB(1, 0, 0)}},
        {4, -3, 4, -3, {u, RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0)}}, // plain copy: corners swapped
        {3, -3, 6, -6, {u, RGB(1, 0, 0), RGB(3, 0, 0), RGB(5, 0, 0)}}, // scaled: back from 3 and 6
        {0, 4, 5, 4, {RGB(5, 0, 0), RGB(6, 0, 0), u, u}},              // source runs out
        {0, 4, 1, 2, {RGB(1, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0), RGB(2, 0, 0)}},
    };
    for (const Case& c : cases) {
        const Surface dst(32, 4, 1);
        SetStretchBltMode(dst.get(), COLORONCOLOR);
        dst.Row(0, {u, u, u, u});
        ASSERT_TRUE(StretchBlt(dst.get(), c.x, 0, c.w, 1, src.get(), c.sx, 3, c.sw, 1, SRCCOPY));
        EXPECT_EQ(dst.Row(0, 4), c.expected) << c.x << "," << c.w << " from " << c.sx << "," << c.sw;
    }
    const Surface column(32, 1, 3); // rows shrink to the first of each group
    SetStretchBltMode(column.get(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(column.get(), 0, 0, 1, 3, src.get(), 0, 0, 1, 7, SRCCOPY));
    EXPECT_EQ((std::vector{GetPixel(column.get(), 0, 0), GetPixel(column.get(), 0, 1),
                           GetPixel(column.get(), 0, 2)}),
              (std::vector{RGB(0, 0, 0), RGB(0, 2, 0), RGB(0, 5, 0)}));
    for (int y = 0; y < 3; ++y)
        SetPixel(column.get(), 0, y, kWhite); // the source runs out below
    ASSERT_TRUE(StretchBlt(column.get(), 0, 0, 1, 3, src.get(), 0, 5, 1, 3, SRCCOPY));
    EXPECT_EQ((std::vector{GetPixel(column.get(), 0, 0), GetPixel(column.get(), 0, 1),
                           GetPixel(column.get(), 0, 2)}),
              (std::vector{RGB(0, 5, 0), RGB(0, 6, 0), kWhite}));

    // The combining modes: each destination pixel ANDs or ORs its group, columns 0-1, 2-4, 5-6
    // (up to the column COLORONCOLOR shows), rows 0-1 (green 0 and 1 in column 0).
    const struct {
        int mode;
        std::vector<COLORREF> expected;
    } modes[] = {
        {BLACKONWHITE, {RGB(0, 0, 0), RGB(0, 0, 0), RGB(4, 0, 0)}},
        {WHITEONBLACK, {RGB(1, 1, 0), RGB(7, 0, 0), RGB(7, 0, 0)}},
    };
    for (const auto& m : modes) {
        const Surface dst(32, 3, 1);
        SetStretchBltMode(dst.get(), m.mode);
        ASSERT_TRUE(StretchBlt(dst.get(), 0, 0, 3, 1, src.get(), 0, 0, 7, 2, SRCCOPY));
        EXPECT_EQ(dst.Row(0, 3), m.expected) << m.mode;
    }
}

// ---- raster operations ----

TEST(BitBlt, RasterOperationsOnKnownPixels) {
    const COLORREF s = RGB(0x12, 0x34, 0x56), d = RGB(0xF0, 0x0F, 0x5A);
    // The fourth byte takes part too: the destination's 0x77 with the source's and brush's 0.
    const struct {
        DWORD rop;
        COLORREF expected;
        BYTE fourth;
    } cases[] = {
        {SRCCOPY, s, 0},
        {SRCPAINT, RGB(0xF2, 0x3F, 0x5E), 0x77},
        {SRCAND, RGB(0x10, 0x04, 0x52), 0},
        {SRCINVERT, RGB(0xE2, 0x3B, 0x0C), 0x77},
        {SRCERASE, RGB(0x02, 0x30, 0x04), 0},
        {NOTSRCCOPY, RGB(0xED, 0xCB, 0xA9), 0xFF},
        {NOTSRCERASE, RGB(0x0D, 0xC0, 0xA1), 0x88},
        {MERGEPAINT, RGB(0xFD, 0xCF, 0xFB), 0xFF},
        {DSTINVERT, RGB(0x0F, 0xF0, 0xA5), 0x88},
        {PATCOPY, RGB(1, 2, 3), 0},
        {BLACKNESS, 0, 0},
        {WHITENESS, kWhite, 0xFF},
    };
    const Surface src(CreateCompatibleBitmap(nullptr, 2, 1));
    src.Row(0, {s, s});
    const Object brush(CreateSolidBrush(RGB(1, 2, 3)));
    for (const auto& c : cases) {
        const Surface dst(32, 2, 1);
        DibView view;
        ASSERT_TRUE(GetSelectedDib(dst.get(), view));
        BYTE* bits = view.bits;
        dst.Row(0, {d, d});
        bits[3] = bits[7] = 0x77;
        SelectObject(dst.get(), brush.get());
        ASSERT_TRUE(BitBlt(dst.get(), 1, 0, 1, 1, src.get(), 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(dst.Row(0, 2), (std::vector{d, c.expected})) << std::hex << c.rop;
        EXPECT_EQ(bits[7], c.fourth) << std::hex << c.rop;
        EXPECT_EQ(bits[3], 0x77) << "outside the rectangle";
    }
    const Surface dst(32, 1, 1);
    EXPECT_FALSE(BitBlt(dst.get(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY)) << "no source";
    EXPECT_FALSE(BitBlt(dst.get(), 0, 0, 1, 1, src.get(), 0, 0, 0x00AA0029)) << "unsupported";
    EXPECT_TRUE(PatBlt(dst.get(), 0, 0, 1, 1, WHITENESS));
    EXPECT_FALSE(PatBlt(dst.get(), 0, 0, 1, 1, SRCCOPY));
}

// The index stored at x of row 0 of a context's bitmap.
int IndexAt(HDC dc, int x) {
    DibView view;
    EXPECT_TRUE(GetSelectedDib(dc, view));
    const BYTE* row = view.bits + (view.topDown ? 0 : (view.height - 1) * view.stride);
    const int bit = x * view.bitsPerPixel;
    return (row[bit / 8] >> (8 - view.bitsPerPixel - bit % 8)) & ((1 << view.bitsPerPixel) - 1);
}

TEST(BitBlt, IndexedDestinationsOperateOnIndices) {
    // kTable indices: black 0, white 1, red 2, blue 3, green 4, gray 5.
    const struct {
        int bpp;
        DWORD rop;
        COLORREF dst, src;
        int expected;
    } cases[] = {
        {4, SRCPAINT, kWhite, kRed, 3},    {4, DSTINVERT, kRed, kRed, 13},
        {8, SRCINVERT, kGray, kGreen, 1},  {8, SRCAND, kGray, kBlue, 1},
        {8, NOTSRCCOPY, kRed, kBlue, 252}, {4, MERGEPAINT, kBlack, kRed, 13},
        {1, SRCERASE, kBlack, kWhite, 1},  {1, NOTSRCERASE, kBlack, kBlack, 1},
        {1, DSTINVERT, kWhite, kWhite, 0},
    };
    for (const auto& c : cases) {
        const Surface src(c.bpp, 1, 1), dst(c.bpp, 11, 1);
        SetPixel(src.get(), 0, 0, c.src);
        dst.Row(0, std::vector<COLORREF>(11, c.dst));
        for (const int x : {4, 9}) { // high and low halves of a byte
            ASSERT_TRUE(BitBlt(dst.get(), x, 0, 1, 1, src.get(), 0, 0, c.rop));
            EXPECT_EQ(IndexAt(dst.get(), x), c.expected) << c.bpp << " bpp, rop " << std::hex << c.rop;
            EXPECT_EQ(GetPixel(dst.get(), x + 1, 0), c.dst) << "neighbour";
        }
    }
}

TEST(BitBlt, EveryColourFormatPairStretches) {
    // A row of four table colours doubled in width and halved in height, and copied unscaled,
    // between every pair of depths of 4 bits or more (the source's colour table in another order).
    const std::vector<COLORREF> row = {kRed, kGray, kBlue, kGreen};
    const std::vector<COLORREF> doubled = {kRed, kRed, kGray, kGray, kBlue, kBlue, kGreen, kGreen};
    for (const int from : {4, 8, 24, 32}) {
        for (const int to : {4, 8, 24, 32}) {
            const Surface src(Section(from, 4, 2, true)), dst(to, 9, 2);
            SetStretchBltMode(dst.get(), COLORONCOLOR);
            src.Row(0, row);
            src.Row(1, {kWhite, kWhite, kWhite, kWhite});
            ASSERT_TRUE(StretchBlt(dst.get(), 0, 0, 8, 1, src.get(), 0, 0, 4, 2, SRCCOPY));
            std::vector<COLORREF> expected = doubled;
            expected.push_back(kBlack);
            EXPECT_EQ(dst.Row(0, 9), expected) << from << " -> " << to;
            ASSERT_TRUE(BitBlt(dst.get(), 1, 1, 4, 1, src.get(), 0, 0, SRCCOPY));
            EXPECT_EQ(dst.Row(1, 6), (std::vector{kBlack, kRed, kGray, kBlue, kGreen, kBlack}))
                << from << " -> " << to;
        }
    }
}

TEST(BitBlt, MonochromeConversionsUseContextColours) {
    // Depth 0 stands for a monochrome device bitmap, 1 for a 1-bit section (black, white table).
    const COLORREF bk = RGB(10, 20, 30), text = RGB(200, 100, 0);
    struct Case {
        int from, to;
        COLORREF srcBk, dstBk, dstText;
        std::vector<COLORREF> source, expected;
    } const cases[] = {
        // colour to monochrome: the source context's background colour becomes 1 (white)
        {32, 0, bk, kRed, kRed, {bk, RGB(10, 20, 31), kWhite}, {kWhite, kBlack, kBlack}},
        {24, 0, bk, kRed, kRed, {kBlack, bk, bk}, {kBlack, kWhite, kWhite}},
        {8, 0, kGray, kRed, kRed, {kGray, kWhite, kBlack}, {kWhite, kBlack, kBlack}},
        {8, 0, RGB(130, 130, 130), kRed, kRed, {kGray, kWhite, kBlack}, {kWhite, kBlack, kBlack}}, // nearest
        {1, 0, kBlack, kRed, kRed, {kBlack, kWhite, kBlack}, {kWhite, kBlack, kWhite}},
        // monochrome to colour: 1 becomes the destination's background, 0 its text colour
        {0, 32, kRed, bk, text, {kWhite, kBlack, kWhite}, {bk, text, bk}},
        {0, 24, kRed, bk, text, {kBlack, kWhite, kBlack}, {text, bk, text}},
        {0, 8, kRed, RGB(120, 120, 120), RGB(250, 10, 10), {kWhite, kBlack, kBlack}, {kGray, kRed, kRed}},
        {0, 1, kRed, RGB(250, 250, 250), kBlack, {kWhite, kBlack, kWhite}, {kWhite, kBlack, kWhite}},
        {0, 0, kRed, kRed, kWhite, {kWhite, kBlack, kWhite}, {kWhite, kBlack, kWhite}}, // bits as they are
        // 1-bit sections are indexed bitmaps: their colour table, the nearest entry
        {1, 32, kRed, bk, text, {kWhite, kBlack, kWhite}, {kWhite, kBlack, kWhite}},
        {32, 1, bk, kRed, kRed, {bk, RGB(200, 200, 200), kWhite}, {kBlack, kWhite, kWhite}},
    };
    const auto make = [](int depth, int width) {
        return depth == 0 ? Surface(CreateBitmap(width, 1, 1, 1, nullptr)) : Surface(depth, width, 1);
    };
    for (const Case& c : cases) {
        const Surface src = make(c.from, 10), dst = make(c.to, 12);
        SetBkColor(src.get(), c.srcBk);
        SetBkColor(dst.get(), c.dstBk);
        SetTextColor(dst.get(), c.dstText);
        std::vector<COLORREF> wide(10, kBlack);
        std::copy(c.source.begin(), c.source.end(), wide.begin() + 7); // bits 7..9 straddle a byte
        src.Row(0, wide);
        ASSERT_TRUE(BitBlt(dst.get(), 8, 0, 3, 1, src.get(), 7, 0, SRCCOPY));
        const std::vector<COLORREF> got = dst.Row(0, 12);
        EXPECT_EQ(std::vector(got.begin() + 8, got.begin() + 11), c.expected) << c.from << " -> " << c.to;
        EXPECT_EQ(got[11], kBlack) << "beyond the rectangle";
    }
}

// ---- coordinates ----

TEST(BitBlt, ViewportOriginAndClipRectangle) {
    const Surface dst(32, 8, 6);
    POINT previous{-1, -1};
    ASSERT_TRUE(SetViewportOrgEx(dst.get(), 2, 3, &previous));
    EXPECT_EQ(std::make_pair(previous.x, previous.y), std::make_pair(0, 0));
    EXPECT_EQ(IntersectClipRect(dst.get(), 0, 0, 4, 2), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(dst.get(), -5, -5, 3, 9), SIMPLEREGION); // narrows to 3 x 2
    RECT box{};
    EXPECT_EQ(GetClipBox(dst.get(), &box), SIMPLEREGION);
    EXPECT_EQ(std::vector({box.left, box.top, box.right, box.bottom}), std::vector<LONG>({0, 0, 3, 2}));
    ASSERT_TRUE(PatBlt(dst.get(), -10, -10, 100, 100, WHITENESS));
    EXPECT_EQ(GetPixel(dst.get(), 3, 0), CLR_INVALID) << "outside the clip";
    EXPECT_EQ(GetPixel(dst.get(), 2, 1), kWhite);
    ASSERT_TRUE(SetViewportOrgEx(dst.get(), 0, 0, nullptr)); // the clip stays where it was
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(GetPixel(dst.get(), x, y) == kWhite, x >= 2 && x < 5 && y >= 3 && y < 5)
                << x << "," << y;
        }
    }
    EXPECT_EQ(SelectClipRgn(dst.get(), nullptr), SIMPLEREGION);
    ASSERT_TRUE(SetViewportOrgEx(dst.get(), 2, 3, nullptr));
    EXPECT_EQ(GetClipBox(dst.get(), &box), SIMPLEREGION);
    EXPECT_EQ(std::vector({box.left, box.top, box.right, box.bottom}), std::vector<LONG>({-2, -3, 6, 3}));
    EXPECT_EQ(IntersectClipRect(dst.get(), 10, 0, 12, 1), NULLREGION);
    EXPECT_EQ(GetClipBox(dst.get(), &box), NULLREGION);

    // The source origin applies to the source: logical (0, 0) of src is its device (1, 0).
    const Surface src(32, 3, 1), out(32, 3, 1);
    src.Row(0, {kRed, kGreen, kBlue});
    SetViewportOrgEx(src.get(), 1, 0, nullptr);
    SetViewportOrgEx(out.get(), -1, 0, nullptr);
    ASSERT_TRUE(BitBlt(out.get(), 1, 0, 3, 1, src.get(), 0, 0, SRCCOPY));
    SetViewportOrgEx(out.get(), 0, 0, nullptr);
    EXPECT_EQ(out.Row(0, 3), (std::vector{kGreen, kBlue, kBlack})) << "past the source: unchanged";
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
    const Surface s(32, 4, 3);
    s.Row(0, {kRed, kGreen, kBlue, kGray});
    s.Row(1, {kWhite, kWhite, kWhite, kWhite});
    ASSERT_TRUE(BitBlt(s.get(), 0, 1, 4, 2, s.get(), 0, 0, SRCCOPY)); // down by one row
    EXPECT_EQ(s.Row(2, 4), (std::vector{kWhite, kWhite, kWhite, kWhite}));
    ASSERT_TRUE(BitBlt(s.get(), 1, 0, 3, 1, s.get(), 0, 0, NOTSRCCOPY)); // right by one pixel
    EXPECT_EQ(s.Row(0, 4), (std::vector{kRed, kRed ^ kWhite, kGreen ^ kWhite, kBlue ^ kWhite}));
}

// ---- bitmaps ----

TEST(StretchDIBits, EveryDepthAndOrientation) {
    // 3 x 2 picture: top row red, green, blue; bottom row white, gray, black. Encoded by hand
    // per depth with kTable (index 0 black, 1 white, 2 red, 3 blue, 4 green, 5 gray).
    struct Case {
        int bpp;
        std::vector<BYTE> top, bottom; // each padded to 4 bytes
    } const cases[] = {
        {1, {0x00, 0, 0, 0}, {0x80, 0, 0, 0}}, // 1 bit: white, black, black vs the 1-bit table
        {4, {0x24, 0x30, 0, 0}, {0x15, 0x00, 0, 0}},
        {8, {2, 4, 3, 0}, {1, 5, 0, 0}},
        {24, {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}, {255, 255, 255, 128, 128, 128, 0, 0, 0, 0, 0, 0}},
        {32, {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}, {255, 255, 255, 0, 128, 128, 128, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const std::vector<COLORREF> top =
            c.bpp == 1 ? std::vector{kBlack, kBlack, kBlack} : std::vector{kRed, kGreen, kBlue};
        const std::vector<COLORREF> bottom =
            c.bpp == 1 ? std::vector{kWhite, kBlack, kBlack} : std::vector{kWhite, kGray, kBlack};
        for (const bool topDown : {false, true}) {
            struct {
                BITMAPINFOHEADER header;
                std::array<RGBQUAD, 256> colours;
            } info{{sizeof(BITMAPINFOHEADER), 3, topDown ? -2 : 2, 1, static_cast<WORD>(c.bpp), BI_RGB, 0, 0,
                    0, 0, 0},
                   {}};
            for (std::size_t i = 0; i < kTable.size(); ++i) {
                info.colours[i] = {GetBValue(kTable[i]), GetGValue(kTable[i]), GetRValue(kTable[i]), 0};
            }
            std::vector<BYTE> bits = topDown ? c.top : c.bottom;
            const std::vector<BYTE>& second = topDown ? c.bottom : c.top;
            bits.insert(bits.end(), second.begin(), second.end());
            const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);

            const Surface dst(32, 3, 2);
            EXPECT_EQ(
                StretchDIBits(dst.get(), 0, 0, 3, 2, 0, 0, 3, 2, bits.data(), bmi, DIB_RGB_COLORS, SRCCOPY),
                2);
            EXPECT_EQ(dst.Row(0, 3), top) << c.bpp << (topDown ? " top-down" : " bottom-up");
            EXPECT_EQ(dst.Row(1, 3), bottom) << c.bpp << (topDown ? " top-down" : " bottom-up");

            const Surface made(
                CreateDIBitmap(nullptr, &info.header, CBM_INIT, bits.data(), bmi, DIB_RGB_COLORS));
            BITMAP record{};
            ASSERT_EQ(GetObjectA(made.bitmap.get(), sizeof(record), &record),
                      static_cast<int>(sizeof(record)));
            EXPECT_EQ(std::make_tuple(record.bmWidth, record.bmHeight, record.bmBitsPixel, record.bmBits),
                      std::make_tuple(3, 2, WORD{32}, static_cast<void*>(nullptr)));
            EXPECT_EQ(made.Row(0, 3), top) << c.bpp << (topDown ? " top-down" : " bottom-up");
            EXPECT_EQ(made.Row(1, 3), bottom) << c.bpp << (topDown ? " top-down" : " bottom-up");
        }
    }
}

TEST(StretchDIBits, ScalesAndMirrors) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD pad;
    } info{{sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const std::array<BYTE, 16> bits = {0,   0, 255, 0, 0, 255, 0, 0,
                                       255, 0, 0,   0, 0, 0,   0, 0}; // red green / blue black
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);
    const Surface dst(32, 4, 4);
    ASSERT_EQ(StretchDIBits(dst.get(), 0, 3, 4, -4, 0, 0, 2, 2, bits.data(), bmi, DIB_RGB_COLORS, SRCCOPY),
              2);
    EXPECT_EQ(dst.Row(0, 4), (std::vector{kBlue, kBlue, kBlack, kBlack})) << "upside down";
    EXPECT_EQ(dst.Row(3, 4), (std::vector{kRed, kRed, kGreen, kGreen}));
    EXPECT_EQ(StretchDIBits(dst.get(), 0, 0, 1, 1, 0, 0, 2, 2, bits.data(), bmi, DIB_PAL_COLORS, SRCCOPY), 0);
    info.header.biBitCount = 16;
    EXPECT_EQ(StretchDIBits(dst.get(), 0, 0, 1, 1, 0, 0, 2, 2, bits.data(), bmi, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(Bitmaps, DeviceBitmapsFormatsAndLimits) {
    const std::size_t start = GdiObjectCount();
    const struct {
        Object bitmap;
        int bpp, width, height, widthBytes;
    } cases[] = {
        {Object(CreateCompatibleBitmap(nullptr, 5, 3)), 32, 5, 3, 20},
        {Object(CreateCompatibleBitmap(nullptr, 0, 3)), 1, 1, 1, 2},
        {Object(CreateBitmap(17, 2, 1, 1, nullptr)), 1, 17, 2, 4},
        {Object(CreateBitmap(3, 2, 1, 32, nullptr)), 32, 3, 2, 12},
    };
    for (const auto& c : cases) {
        BITMAP record{};
        ASSERT_EQ(GetObjectA(c.bitmap.get(), sizeof(record), &record), static_cast<int>(sizeof(record)));
        EXPECT_EQ(std::make_tuple(record.bmBitsPixel, record.bmWidth, record.bmHeight, record.bmWidthBytes),
                  std::make_tuple(static_cast<WORD>(c.bpp), c.width, c.height, c.widthBytes));
        DibView view;
        ASSERT_TRUE(GetDibView(static_cast<HBITMAP>(c.bitmap.get()), view));
        EXPECT_EQ(std::vector<BYTE>(view.bits, view.bits + view.stride * view.height),
                  std::vector<BYTE>(static_cast<std::size_t>(view.stride * view.height), 0))
            << "new bitmaps are black / 0";
    }
    EXPECT_EQ(GdiObjectCount(), start + 4);
    EXPECT_EQ(CreateBitmap(2, 2, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, -1, 2), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, INT_MAX, INT_MAX), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 16384, 16385), nullptr); // 1 GiB + 64 KiB

    // Monochrome bits come in word-aligned rows: 0xA0 = white, black, white.
    const std::array<BYTE, 4> mono = {0xA0, 0xFF, 0x40, 0xFF};
    const Surface m(CreateBitmap(3, 2, 1, 1, mono.data()));
    EXPECT_EQ(m.Row(0, 3), (std::vector{kWhite, kBlack, kWhite}));
    EXPECT_EQ(m.Row(1, 3), (std::vector{kBlack, kWhite, kBlack}));
}

TEST(Bitmaps, CopyImageDuplicatesAsCompatible) {
    const std::size_t start = GdiObjectCount();
    for (const int bpp : {1, 4, 24}) {
        const Surface src(bpp, 3, 2);
        const std::vector<COLORREF> row =
            bpp == 1 ? std::vector{kWhite, kBlack, kWhite} : std::vector{kRed, kGray, kBlue};
        src.Row(0, row);
        src.Row(1, {row[2], row[1], row[0]});
        const Surface copy(
            static_cast<HBITMAP>(CopyImage(src.bitmap.get(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
        BITMAP record{};
        ASSERT_NE(GetObjectA(copy.bitmap.get(), sizeof(record), &record), 0) << bpp;
        EXPECT_EQ(std::make_tuple(record.bmWidth, record.bmHeight, record.bmBitsPixel),
                  std::make_tuple(3, 2, WORD{32}));
        EXPECT_EQ(copy.Row(0, 3), row) << bpp;
        EXPECT_EQ(copy.Row(1, 3), (std::vector{row[2], row[1], row[0]})) << bpp;
        const Surface wide(static_cast<HBITMAP>(CopyImage(src.bitmap.get(), IMAGE_BITMAP, 6, 1, 0)));
        EXPECT_EQ(wide.Row(0, 6), (std::vector{row[0], row[0], row[1], row[1], row[2], row[2]})) << bpp;
    }
    EXPECT_EQ(CopyImage(nullptr, IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(GdiObjectCount(), start);
}

// ---- brushes and context state ----

TEST(Brushes, FillFrameAndStockRules) {
    const std::size_t start = GdiObjectCount();
    const Surface s(32, 5, 4);
    EXPECT_EQ(GetBkColor(s.get()), kWhite);
    EXPECT_EQ(GetTextColor(s.get()), kBlack);
    EXPECT_EQ(SetStretchBltMode(s.get(), HALFTONE), BLACKONWHITE);
    EXPECT_EQ(GetStretchBltMode(s.get()), HALFTONE);
    EXPECT_EQ(SetBkColor(nullptr, kRed), CLR_INVALID);

    const Object red(CreateSolidBrush(kRed));
    const RECT frame{1, 0, 4, 4};
    ASSERT_TRUE(FrameRect(s.get(), &frame, static_cast<HBRUSH>(red.get())));
    const RECT inner{2, 1, 3, 3};
    ASSERT_TRUE(FillRect(s.get(), &inner, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
    const RECT all{0, 0, 5, 4};
    ASSERT_TRUE(FillRect(s.get(), &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
    const COLORREF h = RGB(0, 120, 215);
    EXPECT_EQ(s.Row(0, 5), (std::vector{kBlack, kRed, kRed, kRed, kBlack}));
    EXPECT_EQ(s.Row(1, 5), (std::vector{kBlack, kRed, h, kRed, kBlack}));
    EXPECT_EQ(s.Row(2, 5), (std::vector{kBlack, kRed, h, kRed, kBlack}));
    EXPECT_EQ(s.Row(3, 5), (std::vector{kBlack, kRed, kRed, kRed, kBlack}));

    const HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_EQ(SelectObject(s.get(), red.get()), white) << "the white stock brush at first";
    EXPECT_FALSE(DeleteObject(red.get())) << "selected";
    ASSERT_TRUE(PatBlt(s.get(), 0, 3, 1, 1, PATCOPY));
    EXPECT_EQ(GetPixel(s.get(), 0, 3), kRed);
    EXPECT_EQ(SelectObject(s.get(), white), red.get());
    for (int stock = WHITE_BRUSH; stock <= NULL_BRUSH; ++stock)
        EXPECT_FALSE(DeleteObject(GetStockObject(stock)));
    EXPECT_EQ(GetStockObject(9), nullptr); // a gap between the stock pens and fonts
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(GRAY_BRUSH), GetStockObject(GRAY_BRUSH));

    EXPECT_EQ(SetPixel(s.get(), 5, 0, kRed), CLR_INVALID);
    EXPECT_EQ(GetPixel(s.get(), -1, 0), CLR_INVALID);
    EXPECT_EQ(GdiObjectCount(), start + 4); // context, its own bitmap, the section, the brush
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(DeleteObject(CreateSolidBrush(kBlue)));
    EXPECT_EQ(GdiObjectCount(), start + 4);
}

TEST(SysColours, WindowsDefaults) {
    EXPECT_EQ((std::vector<DWORD>{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW),
                                  GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_3DDKSHADOW),
                                  GetSysColor(COLOR_GRAYTEXT), GetSysColor(-1)}),
              (std::vector<DWORD>{0xF0F0F0, 0xFFFFFF, 0xD77800, 0x696969, 0x6D6D6D, 0}));
}

// ---- the clipboard ----

TEST(Clipboard, OwnsWhatIsSet) {
    const std::size_t start = GdiObjectCount();
    const Object refused(CreateCompatibleBitmap(nullptr, 1, 1));
    EXPECT_EQ(SetClipboardData(CF_BITMAP, refused.get()), nullptr) << "not open";
    ASSERT_TRUE(OpenClipboard(nullptr));
    int owner = 0;
    EXPECT_FALSE(OpenClipboard(&owner)) << "held by another owner";
    ASSERT_TRUE(EmptyClipboard());

    HBITMAP first = CreateCompatibleBitmap(nullptr, 2, 2);
    const HPALETTE palette = CreateHalftonePalette(nullptr);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, first), first);
    EXPECT_EQ(SetClipboardData(CF_PALETTE, palette), palette);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, palette), nullptr) << "not a bitmap";
    EXPECT_EQ(GetClipboardData(CF_BITMAP), first);
    EXPECT_EQ(GetClipboardData(CF_BITMAP), first) << "getting keeps it in the store";
    const HBITMAP second = CreateCompatibleBitmap(nullptr, 3, 3);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, second), second);
    EXPECT_EQ(GetObjectA(first, 0, nullptr), 0) << "replaced: deleted";
    EXPECT_EQ(GdiObjectCount(), start + 3);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_PALETTE));
    EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr) << "closed";

    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(CloseClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(GdiObjectCount(), start + 1);
    EXPECT_FALSE(EmptyClipboard()) << "closed";
}

} // namespace
