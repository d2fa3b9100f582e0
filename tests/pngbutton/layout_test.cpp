// Where the image and the caption land, read from the painted pixels: centring with halvings that
// round toward zero, the 4-pixel gap under the image, both layouts, and the shift while pressed.
#include <gtest/gtest.h>

#include "button_support.h"
#include "support/surface.h"

namespace {

using namespace buttontest;

// Every image pixel tells its own coordinates, so a clipped image still shows where it starts.
std::uint32_t Coded(int x, int y) {
    return (static_cast<std::uint32_t>(10 + 7 * x) << 16) | (static_cast<std::uint32_t>(10 + 7 * y) << 8) |
           0x80;
}

struct TCaptionInk {
    TSize extent;
    // Reference rendering on the face colour at (0, 0).
    std::unique_ptr<pngtest::Surface> surface;
};

TCaptionInk ReferenceCaption(const TFont& font, const std::string& text) {
    TCaptionInk ink;
    ink.surface = std::make_unique<pngtest::Surface>(120, 40);
    ink.surface->Fill(Sys(COLOR_BTNFACE));
    TCanvas& canvas = ink.surface->canvas;
    canvas.Font().Assign(font);
    canvas.Brush().Style = bsClear;
    ink.extent = canvas.TextExtent(text);
    canvas.TextOut(0, 0, text);
    return ink;
}

TEST(PngButtonLayout, ImageAndCaptionPositions) {
    const struct {
        const char* name;
        int width, height;
        int imageWidth, imageHeight; // 0: no image
        const char* caption;
        TPNGButtonLayout layout;
        bool pressed;
        int imageLeft;
        // For a caption 13 pixels high (Tahoma on Windows, and its stand-in here) and 12 (Wine's
        // Tahoma): the vertical places follow the font.
        int imageTop[2], captionTop[2];
    } cases[] = {
        // The 4-pixel gap counts even without an image: (23 - 4 - 13) / 2 = 3, caption at 3 + 4.
        {"caption only", 23, 23, 0, 0, "Go", pbsImageAbove, false, 0, {0, 0}, {7, 7}},
        // (23 - 26) / 2 is -1, not -2; (23 - 10) / 2 = 6.
        {"wider image", 23, 23, 26, 10, "", pbsImageAbove, false, -1, {6, 6}, {0, 0}},
        // (23 - 30) / 2 is -3, not -4.
        {"taller image", 23, 23, 10, 30, "", pbsImageAbove, false, 6, {-3, -3}, {0, 0}},
        // (40 - 20 - 13) / 2 = 3: caption at 3, the image right under it at 16; (40 - 20 - 12) / 2 = 4.
        {"image below", 40, 40, 16, 16, "Go", pbsImageBellow, false, 12, {16, 16}, {3, 4}},
        {"image above", 40, 40, 16, 16, "Go", pbsImageAbove, false, 12, {3, 4}, {23, 24}},
        {"image above, pressed", 40, 40, 16, 16, "Go", pbsImageAbove, true, 14, {5, 6}, {25, 26}},
        {"image below, pressed", 40, 40, 16, 16, "Go", pbsImageBellow, true, 14, {18, 18}, {5, 6}},
        {"odd sizes", 31, 41, 9, 7, "Go", pbsImageAbove, false, 11, {8, 9}, {19, 20}},
    };
    TButtonForm probe(23, 23);
    const int captionHeight = ReferenceCaption(probe.button->Font(), "Go").extent.cy;
    ASSERT_TRUE(captionHeight == 13 || captionHeight == 12) << captionHeight;
    const int font = 13 - captionHeight;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TButtonForm f(c.width, c.height);
        TPNGButton& b = *f.button;
        b.SetButtonLayout(c.layout);
        b.SetCaption(c.caption);
        if (c.imageWidth > 0) b.SetImageNormal(*Image(RgbPng(c.imageWidth, c.imageHeight, Coded)));
        if (c.pressed) {
            f.Move(c.width / 2, 1);
            f.Down(mbLeft, c.width / 2, 1);
            ASSERT_EQ(b.Mode(), pbmPressed);
        }

        if (c.imageWidth > 0) {
            // The first visible pixel of the image is the one its position says it is.
            const int x = std::max(c.imageLeft, 0);
            const int y = std::max(c.imageTop[font], 0);
            EXPECT_EQ(f.At(x, y), Coded(x - c.imageLeft, y - c.imageTop[font]));
            const int right = c.imageLeft + c.imageWidth - 1;
            const int bottom = c.imageTop[font] + c.imageHeight - 1;
            if (right < c.width) {
                EXPECT_EQ(f.At(right, y), Coded(c.imageWidth - 1, y - c.imageTop[font]));
            }
            if (bottom < c.height) {
                EXPECT_EQ(f.At(x, bottom), Coded(x - c.imageLeft, c.imageHeight - 1));
            }
            // Nothing of the image outside it.
            if (c.imageLeft > 0) {
                EXPECT_NE(f.At(c.imageLeft - 1, y) & 0xFF, 0x80u);
            }
            if (c.imageTop[font] > 0) {
                EXPECT_NE(f.At(x, c.imageTop[font] - 1) & 0xFF, 0x80u);
            }
        }

        if (*c.caption != 0) {
            const TCaptionInk ink = ReferenceCaption(b.Font(), c.caption);
            ASSERT_EQ(ink.extent.cy, captionHeight);
            const int left = (c.width - ink.extent.cx) / 2 + (c.pressed ? 2 : 0);
            int inked = 0;
            for (int y = 0; y < ink.extent.cy; ++y)
                for (int x = 0; x < ink.extent.cx; ++x) {
                    const std::uint32_t want = ink.surface->At(x, y);
                    if (want == Sys(COLOR_BTNFACE)) continue;
                    ++inked;
                    ASSERT_EQ(f.At(left + x, c.captionTop[font] + y), want) << x << "," << y;
                }
            EXPECT_GT(inked, 10);
        }
    }
}

// A caption wider than the button is cut at the button's edge, or inside a flat button's frame.
TEST(PngButtonLayout, CaptionIsClippedToTheButtonOrInsideTheFlatFrame) {
    const std::string wide = "WWWWWWWWWW";
    auto inkInColumn = [](const TButtonForm& f, int x, std::uint32_t background) {
        int n = 0;
        for (int y = 0; y < 23; ++y)
            if (f.At(x, y) != background) ++n;
        return n;
    };
    {
        TButtonForm f;
        f.button->SetButtonStyle(pbsFlat);
        f.button->SetCaption(wide);
        EXPECT_GT(inkInColumn(f, 0, kBackground), 0);
        EXPECT_GT(inkInColumn(f, 22, kBackground), 0);
        // Left and right of the button the form shows unchanged.
        for (int x = -TButtonForm::kLeft; x < 23 + TButtonForm::kLeft; ++x)
            if (x < 0 || x >= 23) {
                EXPECT_EQ(f.At(x, 12), kBackground) << x;
            }
    }
    {
        TButtonForm f;
        f.button->SetButtonStyle(pbsFlat);
        f.button->SetCaption(wide);
        f.Move(5, 5); // hovered: a raised frame, and the caption inside it
        for (int y = 0; y < 22; ++y) {
            EXPECT_EQ(f.At(0, y), Sys(COLOR_BTNHIGHLIGHT)) << y;
            EXPECT_EQ(f.At(22, y), Sys(COLOR_BTNSHADOW)) << y;
        }
        EXPECT_GT(inkInColumn(f, 1, kBackground), 0);
    }
}

} // namespace
