// Fonts, text, pens and lines on a canvas.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/text.h"
#include "support/objects.h"
#include "support/surface.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/font.h"

namespace {

using pngtest::Surface;

constexpr std::uint32_t kWhite = 0xFFFFFF;

// 0xRRGGBB of a TColor.
std::uint32_t Rgb(TColor colour) {
    const std::uint32_t c = ColorToRGB(colour);
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

TEST(Font, DefaultsSizeAndStyles) {
    TFont font;
    EXPECT_EQ(font.Name, "Tahoma");
    EXPECT_EQ(font.Height, -11);
    EXPECT_EQ(font.Color, clWindowText);
    EXPECT_TRUE(font.Style.Empty());
    EXPECT_EQ(font.Charset, DEFAULT_CHARSET);
    EXPECT_EQ(font.Size(), 8); // 11 pixels at 96 per inch
    const struct {
        std::int32_t points, height;
    } sizes[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {24, -32}};
    for (const auto& s : sizes) {
        font.SetSize(s.points);
        EXPECT_EQ(font.Height, s.height) << s.points;
        EXPECT_EQ(font.Size(), s.points);
    }

    TFontStyles styles{fsBold, fsUnderline};
    EXPECT_TRUE(styles.Contains(fsBold));
    EXPECT_TRUE(styles.Contains(fsUnderline));
    EXPECT_FALSE(styles.Contains(fsItalic));
    styles.Exclude(fsBold).Include(fsStrikeOut);
    EXPECT_EQ(styles, (TFontStyles{fsStrikeOut, fsUnderline}));
    EXPECT_FALSE(styles.Empty());
}

TEST(Font, HandleFollowsTheProperties) {
    const std::size_t objects = GdiObjectCount();
    {
        TFont font;
        HFONT first = font.Handle();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(font.Handle(), first); // unchanged: the same font
        font.Color = clRed;
        EXPECT_EQ(font.Handle(), first); // the colour is not part of it
        font.Height = -20;
        font.Style.Include(fsBold);
        font.Name = "DejaVu Sans";
        HFONT second = font.Handle();
        ASSERT_NE(second, nullptr);
        EXPECT_OBJECT_COUNT(objects + 1); // the first one is gone
        LOGFONTA description{};
        ASSERT_EQ(GetObjectA(second, sizeof(description), &description),
                  static_cast<int>(sizeof(description)));
        EXPECT_EQ(description.lfHeight, -20);
        EXPECT_EQ(description.lfWeight, FW_BOLD);
        EXPECT_STREQ(description.lfFaceName, "DejaVu Sans");

        TFont copy;
        copy.Assign(font);
        EXPECT_EQ(copy.Name, font.Name);
        EXPECT_EQ(copy.Height, -20);
        EXPECT_EQ(copy.Color, clRed);
        EXPECT_EQ(copy.Style, font.Style);
    }
    EXPECT_OBJECT_COUNT(objects);
}

TEST(CanvasText, ExtentsFollowTheFont) {
    Surface s(10, 10);
    TCanvas& canvas = s.canvas;
    EXPECT_EQ(canvas.TextWidth(""), 0);
    EXPECT_EQ(canvas.TextHeight(""), 0);
    const std::int32_t small = canvas.TextWidth("Sample text");
    EXPECT_GT(small, canvas.TextWidth("Sample"));
    const HGDIOBJ old = SelectObject(canvas.Handle(), canvas.Font().Handle());
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(canvas.Handle(), &metrics));
    SelectObject(canvas.Handle(), old);
    EXPECT_EQ(canvas.TextHeight("Sample"), metrics.tmHeight);
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 11);
    canvas.Font().Height = -22;
    EXPECT_GT(canvas.TextWidth("Sample text"), small * 3 / 2);
    EXPECT_EQ(canvas.TextExtent("x").cy, canvas.TextHeight("x"));
    TCanvas detached;
    EXPECT_EQ(detached.TextWidth("abc"), 0);
}

TEST(CanvasText, TextOutPaintsOnTheBrushOrLeavesTheBackground) {
    const std::size_t objects = GdiObjectCount();
    for (TBrushStyle style : {bsSolid, bsClear}) {
        SCOPED_TRACE(style == bsSolid ? "solid" : "clear");
        Surface s(50, 20);
        s.Fill(0x336699);
        TCanvas& canvas = s.canvas;
        canvas.Font().Color = clRed;
        canvas.Brush().Color = 0x00FF00; // green
        canvas.Brush().Style = style;
        const COLORREF textBefore = GetTextColor(canvas.Handle());
        const int modeBefore = GetBkMode(canvas.Handle());
        const TSize size = canvas.TextExtent("Hi");
        canvas.TextOut(4, 3, "Hi");
        int red = 0;
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x) {
                const bool inCell = x >= 4 && x < 4 + size.cx && y >= 3 && y < 3 + size.cy;
                const std::uint32_t p = s.At(x, y);
                red += p == Rgb(clRed);
                if (!inCell) {
                    EXPECT_EQ(p, 0x336699u) << x << "," << y;
                }
            }
        EXPECT_GT(red, 5);
        // The corner of the cell holds no ink: the brush colour, or what was there.
        EXPECT_EQ(s.At(4, 3), style == bsSolid ? Rgb(0x00FF00) : 0x336699u);
        // The context's own state comes back.
        EXPECT_EQ(GetTextColor(canvas.Handle()), textBefore);
        EXPECT_EQ(GetBkMode(canvas.Handle()), modeBefore);
    }
    EXPECT_OBJECT_COUNT(objects);
}

TEST(CanvasText, TextRectClipsAndFillsWithASolidBrush) {
    Surface whole(60, 20), cut(60, 20);
    whole.Fill(kWhite);
    whole.canvas.TextOut(2, 2, "Clipped");
    cut.canvas.Brush().Color = clWhite;
    cut.Fill(0x123456);
    const TRect rect = Rect(10, 0, 30, 20);
    cut.canvas.TextRect(rect, 2, 2, "Clipped");
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool inside = x >= rect.Left && x < rect.Right;
            ASSERT_EQ(cut.At(x, y), inside ? whole.At(x, y) : 0x123456u) << x << "," << y;
        }
}

TEST(CanvasLines, PenColourWidthAndStyle) {
    const std::size_t objects = GdiObjectCount();
    {
        Surface s(8, 8);
        s.Fill(kWhite);
        TCanvas& canvas = s.canvas;
        canvas.Pen().Color = clRed;
        canvas.MoveTo(1, 1);
        canvas.LineTo(6, 1);
        canvas.Pen().Color = 0xFF0000; // blue
        canvas.Pen().Width = 3;
        canvas.MoveTo(2, 4);
        canvas.LineTo(5, 4);
        canvas.Pen().Style = psClear;
        canvas.MoveTo(0, 7);
        canvas.LineTo(7, 7);
        std::vector<std::string> rows;
        for (int y = 0; y < 8; ++y) {
            std::string row;
            for (int x = 0; x < 8; ++x)
                row += s.At(x, y) == kWhite      ? '.'
                       : s.At(x, y) == 0xFF0000u ? 'r'
                       : s.At(x, y) == 0x0000FFu ? 'b'
                                                 : '?';
            rows.push_back(row);
        }
        // The ends of a wide line are the platform's (Windows rounds them): only the three rows
        // across the whole run from x = 2 to 5, and nothing beyond one pixel past it, are certain.
        for (std::size_t y : {0, 1, 2, 6, 7})
            EXPECT_EQ(rows[y], y == 1 ? ".rrrrr.." : "........") << y;
        for (std::size_t y : {3, 4, 5})
            EXPECT_TRUE(rows[y].find_first_not_of(".b") == std::string::npos &&
                        rows[y].substr(2, 4) == "bbbb" && rows[y][0] == '.' && rows[y][7] == '.')
                << y << ": " << rows[y];
    }
    EXPECT_OBJECT_COUNT(objects);
}

TEST(CanvasLines, ClearBrushFillsNothing) {
    Surface s(4, 4);
    s.Fill(kWhite);
    s.canvas.Brush().Color = clRed;
    s.canvas.Brush().Style = bsClear;
    s.canvas.FillRect(Rect(0, 0, 4, 4));
    s.canvas.FrameRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(s.At(0, 0), kWhite);
    EXPECT_EQ(s.At(2, 2), kWhite);
    s.canvas.Brush().Style = bsSolid;
    s.canvas.FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(s.At(2, 2), 0xFF0000u);
}

} // namespace
