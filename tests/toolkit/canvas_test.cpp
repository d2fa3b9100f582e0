// TCanvas over a bitmap's context, colours, and drawing graphics onto canvases.
#include <gtest/gtest.h>

#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "support/objects.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

// Records where it is asked to draw.
class TProbe : public TGraphic {
public:
    bool IsEmpty() const override { return false; }
    std::int32_t PixelWidth() const override { return 4; }
    std::int32_t PixelHeight() const override { return 5; }
    void SetPixelWidth(std::int32_t) override {}
    void SetPixelHeight(std::int32_t) override {}
    void DrawOn(TCanvas& canvas, const TRect& rect) override {
        Canvas = &canvas;
        Drawn = rect;
    }
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    TCanvas* Canvas = nullptr;
    TRect Drawn;
};

TEST(Canvas, DrawAndStretchDrawHandTheGraphicItsRectangle) {
    TCanvas canvas;
    TProbe probe;
    canvas.Draw(2, 3, probe);
    EXPECT_EQ(probe.Canvas, &canvas);
    EXPECT_EQ(probe.Drawn, Rect(2, 3, 6, 8));
    canvas.Draw(-1, -7, probe);
    EXPECT_EQ(probe.Drawn, Rect(-1, -7, 3, -2));
    canvas.StretchDraw(Rect(1, 2, 30, 9), probe);
    EXPECT_EQ(probe.Drawn, Rect(1, 2, 30, 9));
}

TEST(Canvas, GraphicsRefuseClipboardFormatsByDefault) {
    TProbe probe;
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    EXPECT_THROW(probe.SaveToClipboardFormat(format, data, palette), EInvalidGraphic);
    try {
        probe.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unsupported clipboard format");
    }
}

TEST(Canvas, ColorToRGBResolvesSystemColours) {
    const struct {
        TColor colour;
        std::uint32_t rgb;
    } cases[] = {
        {clRed, 0x0000FF},
        {0x12345678, 0x345678},
        {clDefault, 0},
        {clBtnFace, GetSysColor(COLOR_BTNFACE)},
        {clWindowText, GetSysColor(COLOR_WINDOWTEXT)},
        {static_cast<TColor>(0x80000105), GetSysColor(COLOR_WINDOW)}, // only the low byte indexes
    };
    for (const auto& c : cases)
        EXPECT_EQ(ColorToRGB(c.colour), c.rgb) << std::hex << c.colour;
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOWTEXT));
}

// The canvas's pixels as rows of characters: '.' for white, the key's letter for its colour.
std::vector<std::string> Picture(TCanvas& canvas, int width, int height,
                                 const std::vector<std::pair<char, TColor>>& key) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const TColor p = canvas.Pixel(x, y);
            char c = p == clWhite ? '.' : '?';
            for (const auto& [letter, colour] : key)
                if (p == static_cast<TColor>(ColorToRGB(colour))) c = letter;
            row += c;
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kGreen = 0x00FF00;

TEST(Canvas, FillFrameAndPixelsOnABitmap) {
    const std::size_t objects = GdiObjectCount();
    {
        TBitmap bitmap;
        bitmap.SetSize(5, 4);
        TCanvas& canvas = bitmap.Canvas();
        const std::vector<std::pair<char, TColor>> key{{'r', clRed}, {'b', kBlue}, {'f', clBtnFace}};
        canvas.Brush().Color = clRed;
        canvas.FillRect(Rect(1, 1, 4, 3));
        EXPECT_EQ(Picture(canvas, 5, 4, key), (Rows{".....", ".rrr.", ".rrr.", "....."}));
        canvas.Brush().Color = kBlue;
        canvas.FrameRect(Rect(0, 0, 5, 4));
        EXPECT_EQ(Picture(canvas, 5, 4, key), (Rows{"bbbbb", "brrrb", "brrrb", "bbbbb"}));
        canvas.SetPixel(2, 1, clBtnFace);
        EXPECT_EQ(canvas.Pixel(2, 1), static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
        EXPECT_EQ(canvas.Pixel(5, 0), static_cast<TColor>(CLR_INVALID));
        EXPECT_EQ(canvas.Brush().Color, kBlue);
    }
    EXPECT_OBJECT_COUNT(objects); // brushes, bitmap, context and all
}

TEST(Canvas, BitmapsDrawOpaqueStretchedAndTransparent) {
    const std::size_t objects = GdiObjectCount();
    {
        TBitmap source; // r b / g r, bottom-left green
        source.SetSize(2, 2);
        TCanvas& s = source.Canvas();
        s.SetPixel(0, 0, clRed);
        s.SetPixel(1, 0, kBlue);
        s.SetPixel(0, 1, kGreen);
        s.SetPixel(1, 1, clRed);
        const std::vector<std::pair<char, TColor>> key{{'r', clRed}, {'b', kBlue}, {'g', kGreen}};
        struct Case {
            const char* name;
            bool transparent;
            TColor transparentColour;
            TRect rect;
            Rows expected;
        };
        const Case cases[] = {
            {"at its size", false, clDefault, Rect(1, 1, 3, 3), {"....", ".rb.", ".gr.", "...."}},
            {"stretched", false, clDefault, Rect(0, 0, 4, 4), {"rrbb", "rrbb", "ggrr", "ggrr"}},
            {"bottom-left colour left out",
             true,
             clDefault,
             Rect(0, 0, 4, 4),
             {"rrbb", "rrbb", "..rr", "..rr"}},
            {"chosen colour left out", true, clRed, Rect(1, 1, 3, 3), {"....", "..b.", ".g..", "...."}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            source.SetTransparent(c.transparent);
            source.SetTransparentColor(c.transparentColour);
            TBitmap target;
            target.SetSize(4, 4);
            target.Canvas().StretchDraw(c.rect, source);
            EXPECT_EQ(Picture(target.Canvas(), 4, 4, key), c.expected);
        }
        TBitmap target;
        target.SetSize(4, 4);
        source.SetTransparent(false);
        target.Canvas().Draw(2, 0, source);
        EXPECT_EQ(Picture(target.Canvas(), 4, 4, key), (Rows{"..rb", "..gr", "....", "...."}));
    }
    EXPECT_OBJECT_COUNT(objects);
}

} // namespace
