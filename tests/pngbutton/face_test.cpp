// The faces, pixel by pixel: the three-dimensional face raised and sunken, the flat face's frames
// in each state, and the disabled looks.
#include <gtest/gtest.h>

#include "button_support.h"

namespace {

using namespace buttontest;

enum TLook { Raised, Sunken, NoFrame, RaisedFrame, SunkenFrame };

// What the look puts at (x, y) of a w x h button with nothing on its face.
std::uint32_t Expected(TLook look, int x, int y, int w, int h) {
    const bool right = x == w - 1, bottom = y == h - 1;
    switch (look) {
    case Raised:
        if (right || bottom) return Sys(COLOR_3DDKSHADOW);
        if (x == 0 || y == 0) return Sys(COLOR_BTNHIGHLIGHT);
        if (x == w - 2 || y == h - 2) return Sys(COLOR_BTNSHADOW);
        return Sys(COLOR_BTNFACE);
    case Sunken:
        if (right || bottom) return Sys(COLOR_BTNHIGHLIGHT);
        if (x == 0 || y == 0) return Sys(COLOR_3DDKSHADOW);
        if (x == 1 || y == 1) return Sys(COLOR_BTNSHADOW);
        return Sys(COLOR_BTNFACE);
    case NoFrame: return kBackground;
    case RaisedFrame:
        if (right || bottom) return Sys(COLOR_BTNSHADOW);
        if (x == 0 || y == 0) return Sys(COLOR_BTNHIGHLIGHT);
        return kBackground;
    case SunkenFrame:
        if (right || bottom) return Sys(COLOR_BTNHIGHLIGHT);
        if (x == 0 || y == 0) return Sys(COLOR_BTNSHADOW);
        return kBackground;
    }
    return 0;
}

void ExpectLook(const TButtonForm& f, TLook look) {
    const int w = f.button->Width(), h = f.button->Height();
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (f.At(x, y) != Expected(look, x, y, w, h) && ++wrong <= 5)
                ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << f.At(x, y) << " instead of "
                              << Expected(look, x, y, w, h);
    EXPECT_EQ(wrong, 0);
}

// Brings a fresh button into a state through the form's mouse routing.
enum TState { Idle, Hovered, Pressed, PressedDraggedOut, Disabled, DisabledHovered };

void Enter(TButtonForm& f, TState state) {
    const int w = f.button->Width();
    switch (state) {
    case Idle: break;
    case Hovered: f.Move(3, 3); break;
    case Pressed:
        f.Move(3, 3);
        f.Down(mbLeft, 3, 3);
        break;
    case PressedDraggedOut:
        f.Move(3, 3);
        f.Down(mbLeft, 3, 3);
        f.Move(w + 5, 3, ssLeft);
        break;
    case Disabled: f.button->SetEnabled(false); break;
    case DisabledHovered:
        f.button->SetEnabled(false);
        f.Move(3, 3);
        break;
    }
}

TEST(PngButtonFace, EachStyleInEachState) {
    const struct {
        TPNGButtonStyle style;
        TState state;
        TLook look;
    } cases[] = {
        {pbsDefault, Idle, Raised},      {pbsDefault, Hovered, Raised},
        {pbsDefault, Pressed, Sunken},   {pbsDefault, PressedDraggedOut, Raised},
        {pbsDefault, Disabled, Raised},  {pbsDefault, DisabledHovered, Raised},
        {pbsFlat, Idle, NoFrame},        {pbsFlat, Hovered, RaisedFrame},
        {pbsFlat, Pressed, SunkenFrame}, {pbsFlat, PressedDraggedOut, RaisedFrame},
        {pbsFlat, Disabled, NoFrame},    {pbsFlat, DisabledHovered, NoFrame},
    };
    // Square and oblong, so a swapped width and height shows.
    for (const auto& [w, h] : {std::pair{23, 23}, std::pair{37, 19}}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "style " << int(c.style) << " state " << c.state << " size " << w << "x" << h);
            TButtonForm f(w, h);
            f.button->SetButtonStyle(c.style);
            Enter(f, c.state);
            ExpectLook(f, c.look);
        }
    }
}

TEST(PngButtonFace, NewButtonIsThe23By23RaisedFaceAlone) {
    TButtonForm f;
    f.button->SetBounds(TButtonForm::kLeft, TButtonForm::kTop, 23, 23);
    TPNGButton fresh;
    EXPECT_EQ(fresh.Width(), 23);
    EXPECT_EQ(fresh.Height(), 23);
    EXPECT_EQ(fresh.ButtonStyle(), pbsDefault);
    EXPECT_EQ(fresh.ButtonLayout(), pbsImageAbove);
    EXPECT_EQ(fresh.Mode(), pbmIdle);
    EXPECT_FALSE(fresh.Hovered());
    EXPECT_TRUE(fresh.Caption().empty());
    EXPECT_TRUE(fresh.ImageNormal().IsEmpty() && fresh.ImageDown().IsEmpty() && fresh.ImageOver().IsEmpty());
    EXPECT_NE(fresh.ControlStyle() & csCaptureMouse, 0u);
    ExpectLook(f, Raised);
    // Around it the form is untouched.
    for (int x = -TButtonForm::kLeft; x < 23 + TButtonForm::kLeft; ++x) {
        EXPECT_EQ(f.At(x, -1), kBackground);
        EXPECT_EQ(f.At(x, 23), kBackground);
    }
}

// A flat button covers nothing: what lies beneath shows around its image.
TEST(PngButtonFace, FlatButtonLetsTheFormShowAroundItsImage) {
    TButtonForm f;
    f.button->SetButtonStyle(pbsFlat);
    f.button->SetImageNormal(*Solid(5, 5, 0x2040C0));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 23; ++x) {
            const bool inImage = x >= 9 && x < 14 && y >= 9 && y < 14;
            ASSERT_EQ(f.At(x, y), inImage ? 0x2040C0u : kBackground) << x << "," << y;
        }
}

// Disabled captions are grey; enabled ones are in the font's colour.
TEST(PngButtonFace, DisabledCaptionIsGreyText) {
    for (const bool enabled : {true, false}) {
        TButtonForm f(60, 23);
        f.button->SetCaption("Grey");
        f.button->SetEnabled(enabled);
        // Full-coverage glyph pixels take the text colour exactly; none is darker than it.
        bool seen = false;
        int darkest = 255;
        for (int y = 2; y < 21; ++y)
            for (int x = 2; x < 58; ++x) {
                const std::uint32_t p = f.At(x, y);
                darkest = std::min(darkest, int(p & 0xFF));
                if (p == (enabled ? 0x000000u : Sys(COLOR_GRAYTEXT))) seen = true;
            }
        EXPECT_TRUE(seen) << enabled;
        EXPECT_EQ(darkest, enabled ? 0 : int(Sys(COLOR_GRAYTEXT) & 0xFF)) << enabled;
    }
}

} // namespace
