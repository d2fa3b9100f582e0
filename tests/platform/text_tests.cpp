// The text stand-in: font objects, metrics and extents, and text output with its clipping,
// background modes and colour blending.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/text.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

LOGFONTA Describe(LONG height, LONG weight = FW_NORMAL, const char* face = "Tahoma") {
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return font;
}

// A memory context with a top-down section of 24 or 32 bits, a font of its own and TRANSPARENT or
// OPAQUE text; everything is released on destruction.
class Surface {
public:
    Surface(int width, int height, int bpp = 32, const LOGFONTA& font = Describe(-11))
        : Width(width), Height(height), bpp_(bpp) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER header{40, width, -height, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        section_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
        bits_ = static_cast<BYTE*>(bits);
        oldBitmap_ = SelectObject(dc_, section_);
        font_ = CreateFontIndirectA(&font);
        oldFont_ = SelectObject(dc_, font_);
        Fill(kWhite);
    }
    ~Surface() {
        SelectObject(dc_, oldFont_);
        SelectObject(dc_, oldBitmap_);
        DeleteObject(font_);
        DeleteObject(section_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    int Stride() const { return (Width * bpp_ / 8 + 3) / 4 * 4; }
    COLORREF At(int x, int y) const {
        const BYTE* p =
            bits_ + static_cast<std::size_t>(y) * Stride() + static_cast<std::size_t>(x) * (bpp_ / 8);
        return RGB(p[2], p[1], p[0]);
    }
    void Set(int x, int y, COLORREF c) {
        BYTE* p = bits_ + static_cast<std::size_t>(y) * Stride() + static_cast<std::size_t>(x) * (bpp_ / 8);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
    }
    void Fill(COLORREF c) {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                Set(x, y, c);
    }
    // A checkerboard of two colours, so that untouched pixels can be told apart.
    void Pattern() {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                Set(x, y, (x + y) % 2 ? RGB(10, 200, 30) : RGB(200, 30, 170));
    }
    static COLORREF PatternAt(int x, int y) { return (x + y) % 2 ? RGB(10, 200, 30) : RGB(200, 30, 170); }
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> out;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                out.push_back(At(x, y));
        return out;
    }
    SIZE Extent(const std::string& text) const {
        SIZE size{-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size));
        return size;
    }
    TEXTMETRICA Metrics() const {
        TEXTMETRICA metrics{};
        EXPECT_TRUE(GetTextMetricsA(dc_, &metrics));
        return metrics;
    }
    BOOL Out(int x, int y, const std::string& text, UINT options = 0, const RECT* rect = nullptr) const {
        return ExtTextOutA(dc_, x, y, options, rect, text.data(), static_cast<UINT>(text.size()), nullptr);
    }

    const int Width, Height;

private:
    int bpp_;
    HDC dc_ = nullptr;
    HBITMAP section_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    BYTE* bits_ = nullptr;
};

// The box around the pixels that differ from colour; empty (right <= left) when none do.
RECT InkBox(const Surface& s, COLORREF background) {
    RECT box{s.Width, s.Height, 0, 0};
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x)
            if (s.At(x, y) != background) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

bool WineTahoma(bool bold) {
    const char* name = bold ? "tahomabd.ttf" : "tahoma.ttf";
    for (const char* folder : {"/usr/share/fonts/truetype/wine/", "/usr/share/wine/fonts/"})
        if (std::filesystem::exists(std::string(folder) + name)) return true;
    return false;
}

TEST(Text, ExtentsAreZeroForNoTextAndGrowWithIt) {
    Surface s(10, 10);
    EXPECT_EQ(s.Extent("").cx, 0);
    EXPECT_EQ(s.Extent("").cy, 0);
    const TEXTMETRICA m = s.Metrics();
    const char* growing[] = {"i", "iW", "iWW", "iWW m", "iWW mx"};
    LONG previous = 0;
    for (const char* text : growing) {
        const SIZE size = s.Extent(text);
        EXPECT_GT(size.cx, previous) << text;
        EXPECT_EQ(size.cy, m.tmHeight) << text;
        previous = size.cx;
    }
    // Whole-pixel advances: a string is as wide as its parts.
    EXPECT_EQ(s.Extent("Hello").cx, s.Extent("He").cx + s.Extent("llo").cx);
    EXPECT_GT(s.Extent("W").cx, s.Extent("i").cx);

    SIZE size{};
    EXPECT_FALSE(GetTextExtentPoint32A(s.dc(), "a", -1, &size));
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "a", 1, &size));
    EXPECT_FALSE(GetTextExtentPoint32A(s.dc(), nullptr, 1, &size));
}

TEST(Text, HeightsFollowTheSignOfLfHeight) {
    const struct {
        LONG lfHeight;
        LONG cell; // expected tmHeight, 0 when it depends on the font
        LONG em;   // expected tmHeight - tmInternalLeading, 0 when it depends on the font
    } cases[] = {{-11, 0, 11}, {-13, 0, 13}, {-24, 0, 24}, {13, 13, 0}, {20, 20, 0}, {0, 16, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lfHeight);
        Surface s(4, 4, 32, Describe(c.lfHeight));
        const TEXTMETRICA m = s.Metrics();
        EXPECT_EQ(m.tmAscent + m.tmDescent, m.tmHeight);
        if (c.cell != 0) {
            EXPECT_EQ(m.tmHeight, c.cell);
        }
        if (c.em != 0) {
            EXPECT_EQ(m.tmHeight - m.tmInternalLeading, c.em);
        }
        EXPECT_GE(m.tmInternalLeading, 0);
        EXPECT_GT(m.tmAveCharWidth, 0);
        EXPECT_GE(m.tmMaxCharWidth, m.tmAveCharWidth);
    }
}

TEST(Text, TahomaComesFromTheWineFonts) {
    if (!WineTahoma(false) || !WineTahoma(true)) GTEST_SKIP() << "fonts-wine is not installed";
    const std::string regular = FontFileFor("Tahoma", false, false);
    const std::string bold = FontFileFor("tahoma", true, false);
    EXPECT_EQ(std::filesystem::path(regular).filename(), "tahoma.ttf");
    EXPECT_EQ(std::filesystem::path(bold).filename(), "tahomabd.ttf");
    EXPECT_TRUE(std::filesystem::exists(regular));
    EXPECT_EQ(FontFileFor("", false, false), regular); // no name: the default face
    // Tahoma at 8 points: the cell Windows gives it, 13 pixels with 11 above the baseline.
    Surface s(4, 4, 32, Describe(-11));
    const TEXTMETRICA m = s.Metrics();
    EXPECT_EQ(m.tmHeight, 13);
    EXPECT_EQ(m.tmAscent, 11);
    EXPECT_EQ(m.tmInternalLeading, 2);
}

TEST(Text, OtherFacesResolveToSomeInstalledFile) {
    for (const char* face : {"DejaVu Sans", "No Such Face At All"}) {
        const std::string file = FontFileFor(face, false, false);
        ASSERT_FALSE(file.empty()) << face;
        EXPECT_TRUE(std::filesystem::exists(file)) << face;
        Surface s(40, 20, 32, Describe(-12, FW_NORMAL, face));
        EXPECT_GT(s.Extent("Ab").cx, 0) << face;
    }
}

TEST(Text, InkStaysInsideTheCell) {
    const struct {
        const char* text;
        int x, y;
        POINT origin;
    } cases[] = {
        {"Hg", 5, 7, {0, 0}}, {"Wjy(", 1, 0, {0, 0}}, {"Q_p", 3, 2, {4, 5}}, {"\xC4\x80\xE7", 2, 2, {0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Surface s(60, 40);
        SetBkMode(s.dc(), TRANSPARENT);
        SetViewportOrgEx(s.dc(), c.origin.x, c.origin.y, nullptr);
        const SIZE size = s.Extent(c.text);
        ASSERT_TRUE(s.Out(c.x, c.y, c.text));
        const RECT ink = InkBox(s, kWhite);
        ASSERT_LT(ink.left, ink.right) << "nothing drawn";
        EXPECT_GE(ink.left, c.x + c.origin.x);
        EXPECT_GE(ink.top, c.y + c.origin.y);
        EXPECT_LE(ink.right, c.x + c.origin.x + size.cx);
        EXPECT_LE(ink.bottom, c.y + c.origin.y + size.cy);
    }
}

TEST(Text, CoverageBlendsTheTextColourOverThePixels) {
    const COLORREF background = RGB(100, 150, 200), colour = RGB(10, 250, 60);
    for (int bpp : {24, 32}) {
        SCOPED_TRACE(bpp);
        Surface s(60, 40, bpp, Describe(-30));
        s.Fill(background);
        SetBkMode(s.dc(), TRANSPARENT);
        SetTextColor(s.dc(), colour);
        ASSERT_TRUE(s.Out(2, 2, "Ag@"));
        int full = 0, partial = 0;
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x) {
                const COLORREF p = s.At(x, y);
                if (p == colour) ++full;
                if (p == background || p == colour) continue;
                ++partial;
                // Some one coverage must give all three channels.
                bool found = false;
                for (int a = 1; a < 255 && !found; ++a) {
                    auto mix = [a](int d, int c) { return (d * (255 - a) + c * a + 127) / 255; };
                    found = mix(GetRValue(background), GetRValue(colour)) == GetRValue(p) &&
                            mix(GetGValue(background), GetGValue(colour)) == GetGValue(p) &&
                            mix(GetBValue(background), GetBValue(colour)) == GetBValue(p);
                }
                EXPECT_TRUE(found) << x << "," << y << " " << std::hex << p;
            }
        EXPECT_GT(full, 20);
        EXPECT_GT(partial, 20); // anti-aliased edges
    }
}

TEST(Text, TwentyFourAndThirtyTwoBitsAndRepeatedDrawsAgree) {
    Surface a(50, 20, 32), b(50, 20, 32), c(50, 20, 24);
    for (Surface* s : {&a, &b, &c})
        ASSERT_TRUE(s->Out(1, 1, "Draw me 1234"));
    EXPECT_EQ(a.Pixels(), b.Pixels());
    EXPECT_EQ(a.Pixels(), c.Pixels());
    ASSERT_TRUE(b.Out(1, 1, "Draw me 1234")); // opaque: the cell is filled again first
    EXPECT_EQ(a.Pixels(), b.Pixels());
}

TEST(Text, BackgroundModes) {
    Surface white(40, 20);
    SetBkMode(white.dc(), TRANSPARENT);
    ASSERT_TRUE(white.Out(3, 2, "Tg"));
    const SIZE size = white.Extent("Tg");

    EXPECT_EQ(GetBkMode(white.dc()), TRANSPARENT);
    Surface s(40, 20);
    EXPECT_EQ(GetBkMode(s.dc()), OPAQUE); // the default
    EXPECT_EQ(SetBkMode(s.dc(), 7), 0);
    for (int mode : {TRANSPARENT, OPAQUE}) {
        SCOPED_TRACE(mode);
        s.Pattern();
        SetBkMode(s.dc(), mode);
        SetBkColor(s.dc(), RGB(0, 0, 255));
        ASSERT_TRUE(s.Out(3, 2, "Tg"));
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x) {
                if (white.At(x, y) != kWhite) continue; // ink here
                const bool inCell = x >= 3 && x < 3 + size.cx && y >= 2 && y < 2 + size.cy;
                const COLORREF expected =
                    mode == OPAQUE && inCell ? RGB(0, 0, 255) : Surface::PatternAt(x, y);
                ASSERT_EQ(s.At(x, y), expected) << x << "," << y;
            }
    }
}

TEST(Text, ClippingCutsTheText) {
    Surface whole(60, 24);
    SetBkMode(whole.dc(), TRANSPARENT);
    ASSERT_TRUE(whole.Out(2, 4, "Clip me"));
    const RECT cut{10, 0, 30, 12};
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how == 0 ? "ETO_CLIPPED" : "context clip");
        Surface s(60, 24);
        SetBkMode(s.dc(), TRANSPARENT);
        if (how == 0) {
            ASSERT_TRUE(s.Out(2, 4, "Clip me", ETO_CLIPPED, &cut));
        } else {
            IntersectClipRect(s.dc(), cut.left, cut.top, cut.right, cut.bottom);
            ASSERT_TRUE(s.Out(2, 4, "Clip me"));
        }
        int inked = 0;
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x) {
                const bool inside = x >= cut.left && x < cut.right && y >= cut.top && y < cut.bottom;
                ASSERT_EQ(s.At(x, y), inside ? whole.At(x, y) : kWhite) << x << "," << y;
                inked += s.At(x, y) != kWhite;
            }
        EXPECT_GT(inked, 0);
    }
}

TEST(Text, OpaqueRectangleIsFilledEvenWithoutText) {
    Surface s(20, 12);
    SetBkMode(s.dc(), TRANSPARENT);
    SetBkColor(s.dc(), RGB(1, 2, 3));
    SetViewportOrgEx(s.dc(), 2, 1, nullptr);
    const RECT r{1, 1, 5, 4}; // device 3..6 x 2..4
    ASSERT_TRUE(ExtTextOutA(s.dc(), 0, 0, ETO_OPAQUE, &r, "", 0, nullptr));
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x)
            EXPECT_EQ(s.At(x, y), x >= 3 && x < 7 && y >= 2 && y < 5 ? RGB(1, 2, 3) : kWhite)
                << x << "," << y;
}

TEST(Text, AdvancesGivenPerCharacterPlaceTheGlyphs) {
    Surface plain(80, 20), spaced(80, 20);
    const INT dx[] = {30, 30};
    ASSERT_TRUE(plain.Out(0, 0, "l"));
    ASSERT_TRUE(ExtTextOutA(spaced.dc(), 0, 0, 0, nullptr, "ll", 2, dx));
    const RECT one = InkBox(plain, kWhite);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(spaced.At(x + 30, y), plain.At(x, y)) << x << "," << y;
    EXPECT_LT(one.right, 30);
}

TEST(Text, BoldIsWiderAndUnderlineRunsUnderTheWholeText) {
    Surface normal(80, 20, 32, Describe(-11)), bold(80, 20, 32, Describe(-11, FW_BOLD));
    EXPECT_GT(bold.Extent("Hello world").cx, normal.Extent("Hello world").cx);

    LOGFONTA underlined = Describe(-11);
    underlined.lfUnderline = 1;
    Surface plain(40, 20), lined(40, 20, 32, underlined);
    SetBkMode(plain.dc(), TRANSPARENT);
    SetBkMode(lined.dc(), TRANSPARENT);
    ASSERT_TRUE(plain.Out(0, 0, "ii"));
    ASSERT_TRUE(lined.Out(0, 0, "ii"));
    const TEXTMETRICA m = lined.Metrics();
    const LONG width = lined.Extent("ii").cx;
    bool found = false;
    for (int y = m.tmAscent; y < m.tmHeight && !found; ++y) {
        bool full = true;
        for (int x = 0; x < width; ++x)
            full = full && lined.At(x, y) == 0 && plain.At(x, y) == kWhite;
        found = full;
    }
    EXPECT_TRUE(found) << "no line below the baseline";
}

TEST(Text, OnlyTrueColourSurfacesTakeText) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(ExtTextOutA(dc, 0, 0, 0, nullptr, "a", 1, nullptr)); // its 1-bit default bitmap
    EXPECT_FALSE(ExtTextOutA(nullptr, 0, 0, 0, nullptr, "a", 1, nullptr));
    DeleteDC(dc);
}

TEST(Text, FontsAreObjectsLikeTheOthers) {
    const std::size_t start = GdiObjectCount();
    HDC dc = CreateCompatibleDC(nullptr);
    const LOGFONTA description = Describe(-17, FW_BOLD, "Some Face");
    HFONT font = CreateFontIndirectA(&description);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(GdiObjectCount(), start + 3); // context, its bitmap, the font
    LOGFONTA back{};
    EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
    EXPECT_EQ(GetObjectA(font, sizeof(back), &back), static_cast<int>(sizeof(LOGFONTA)));
    EXPECT_EQ(back.lfHeight, -17);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_STREQ(back.lfFaceName, "Some Face");

    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(dc, font), stock); // every new context starts with it
    EXPECT_FALSE(DeleteObject(font));         // selected
    EXPECT_EQ(SelectObject(dc, stock), font);
    EXPECT_FALSE(DeleteObject(stock));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    DeleteDC(dc);
    EXPECT_EQ(GdiObjectCount(), start);
}

} // namespace
