// Hover and press through simulated mouse input, as the form routes it: what the button shows
// after every step (each change is painted before the input returns) and which events it raises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "button_support.h"

namespace {

using namespace buttontest;

constexpr std::uint32_t kNormal = 0xC02020, kOver = 0x2020C0, kDown = 0x20A020;

// A flat button whose look tells its state: the frame ('n'one, 'r'aised, 's'unken) and the image at
// its centre ('N'ormal, 'O'ver, 'D'own, 'F'aded, '?').
struct TStateForm : TButtonForm {
    TStateForm() {
        button->SetButtonStyle(pbsFlat);
        button->SetImageNormal(*Solid(9, 9, kNormal));
        button->SetImageOver(*Solid(9, 9, kOver));
        button->SetImageDown(*Solid(9, 9, kDown));
        button->OnMouseDown = [this](TComponent*, TMouseButton b, TShiftState, int, int) {
            Events.push_back("down" + std::to_string(b));
        };
        button->OnMouseUp = [this](TComponent*, TMouseButton b, TShiftState, int, int) {
            Events.push_back("up" + std::to_string(b));
        };
        // The look at the moment the handler runs.
        button->OnClick = [this](TComponent*) { Events.push_back("click:" + Look().substr(0, 1)); };
        button->OnDblClick = [this](TComponent*) { Events.push_back("dbl"); };
    }

    std::string Look() const {
        std::string look;
        const std::uint32_t corner = At(0, 0);
        look += corner == kBackground               ? 'n'
                : corner == Sys(COLOR_BTNHIGHLIGHT) ? 'r'
                : corner == Sys(COLOR_BTNSHADOW)    ? 's'
                                                    : '?';
        const std::uint32_t centre = At(11, 11);
        look += centre == kNormal       ? 'N'
                : centre == kOver       ? 'O'
                : centre == kDown       ? 'D'
                : centre != kBackground ? 'F'
                                        : '?';
        return look;
    }

    std::vector<std::string> Events;
};

struct TStep {
    char kind; // m move, d down, u up, 2 double click, x pointer leaves the window, e/E disable/enable
    TMouseButton button;
    int x, y;
    const char* look; // after the step
};

TEST(PngButtonStates, MouseInputThroughTheForm) {
    const int out = 30; // right of the 23-wide button, still on the form
    const struct {
        const char* name;
        std::vector<TStep> steps;
        std::vector<std::string> events;
    } cases[] = {
        {"click",
         {{'m', mbLeft, 3, 3, "rO"}, {'d', mbLeft, 3, 3, "sD"}, {'u', mbLeft, 3, 3, "rO"}},
         {"down0", "click:r", "up0"}},
        {"drag out and release outside",
         {{'m', mbLeft, 3, 3, "rO"},
          {'d', mbLeft, 3, 3, "sD"},
          {'m', mbLeft, out, 3, "rN"},
          {'m', mbLeft, 5, 5, "sD"},
          {'m', mbLeft, out, 3, "rN"},
          {'u', mbLeft, out, 3, "nN"}},
         {"down0", "up0"}},
        {"drag out and back in, release over the button",
         {{'m', mbLeft, 3, 3, "rO"},
          {'d', mbLeft, 3, 3, "sD"},
          {'m', mbLeft, -5, -5, "rN"},
          {'m', mbLeft, 20, 20, "sD"},
          {'u', mbLeft, 20, 20, "rO"}},
         {"down0", "click:r", "up0"}},
        {"right button never presses",
         {{'m', mbLeft, 3, 3, "rO"}, {'d', mbRight, 3, 3, "rO"}, {'u', mbRight, 3, 3, "rO"}},
         {"down1", "up1"}},
        {"middle button never presses",
         {{'m', mbLeft, 3, 3, "rO"}, {'d', mbMiddle, 3, 3, "rO"}, {'u', mbMiddle, 3, 3, "rO"}},
         {"down2", "up2"}},
        {"right release while the left is held",
         {{'m', mbLeft, 3, 3, "rO"},
          {'d', mbLeft, 3, 3, "sD"},
          {'d', mbRight, 3, 3, "sD"},
          {'u', mbRight, 3, 3, "rO"},
          {'u', mbLeft, 3, 3, "rO"}},
         {"down0", "down1", "up1", "click:r", "up0"}},
        {"disabled takes no input",
         {{'e', mbLeft, 0, 0, "nF"},
          {'m', mbLeft, 3, 3, "nF"},
          {'d', mbLeft, 3, 3, "nF"},
          {'u', mbLeft, 3, 3, "nF"},
          {'d', mbRight, 3, 3, "nF"},
          {'u', mbRight, 3, 3, "nF"},
          {'E', mbLeft, 0, 0, "rO"}},
         {}},
        {"disabled while hovered, enabled elsewhere",
         {{'m', mbLeft, 3, 3, "rO"},
          {'e', mbLeft, 0, 0, "nF"},
          {'m', mbLeft, out, 3, "nF"},
          {'E', mbLeft, 0, 0, "nN"}},
         {}},
        {"pointer leaves the window", {{'m', mbLeft, 3, 3, "rO"}, {'x', mbLeft, 0, 0, "nN"}}, {}},
        {"double click",
         {{'m', mbLeft, 3, 3, "rO"},
          {'d', mbLeft, 3, 3, "sD"},
          {'u', mbLeft, 3, 3, "rO"},
          {'2', mbLeft, 3, 3, "sD"},
          {'u', mbLeft, 3, 3, "rO"}},
         {"down0", "click:r", "up0", "dbl", "down0", "up0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStateForm f;
        ASSERT_EQ(f.Look(), "nN");
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const TStep& s = c.steps[i];
            switch (s.kind) {
            case 'm': f.Move(s.x, s.y, f.form.CaptureControl() != nullptr ? ssLeft : 0); break;
            case 'd': f.Down(s.button, s.x, s.y); break;
            case 'u': f.Up(s.button, s.x, s.y); break;
            case '2':
                f.form.MouseDoubleClick(s.button, ssLeft, s.x + TButtonForm::kLeft, s.y + TButtonForm::kTop);
                break;
            case 'x': f.form.MouseExit(); break;
            case 'e': f.button->SetEnabled(false); break;
            case 'E': f.button->SetEnabled(true); break;
            }
            EXPECT_EQ(f.Look(), s.look) << "after step " << i;
        }
        EXPECT_EQ(f.Events, c.events);
    }
}

// A move sets the hover only when it lies inside: moves reported while the mouse is captured can
// lie at x = Width or y = Height. A pressed button is not hovered by moves; only entering does it.
TEST(PngButtonStates, MovesSetTheHoverOnlyInside) {
    const struct {
        int x, y;
        bool hovered;
    } cases[] = {
        {0, 0, true},   {22, 22, true}, {23, 5, false},  {5, 23, false},
        {-1, 5, false}, {5, -1, false}, {23, 23, false},
    };
    for (const auto& c : cases) {
        TButtonForm f;
        int moves = 0;
        f.button->OnMouseMove = [&moves](TComponent*, TShiftState, int, int) { ++moves; };
        f.button->MouseMove(0, c.x, c.y);
        EXPECT_EQ(f.button->Hovered(), c.hovered) << c.x << "," << c.y;
        EXPECT_EQ(moves, 1) << "the event is raised either way";
    }
    TButtonForm f;
    f.button->SetButtonMode(pbmPressed);
    f.button->MouseMove(0, 5, 5);
    EXPECT_FALSE(f.button->Hovered());
    f.button->MouseEnter();
    EXPECT_TRUE(f.button->Hovered());
}

// Every setter repaints before it returns, also when the value did not change.
TEST(PngButtonStates, SettersRepaintAtOnce) {
    TButtonForm f;
    const int w = 23;
    f.button->SetButtonStyle(pbsFlat);
    EXPECT_EQ(f.At(0, 0), kBackground);
    f.button->SetButtonMode(pbmPressed);
    EXPECT_EQ(f.At(0, 0), Sys(COLOR_BTNHIGHLIGHT)) << "pressed, pointer elsewhere: raised frame";
    f.button->MouseEnter();
    EXPECT_EQ(f.At(0, 0), Sys(COLOR_BTNSHADOW));
    f.button->SetButtonStyle(pbsDefault);
    EXPECT_EQ(f.At(0, 0), Sys(COLOR_3DDKSHADOW));
    f.button->SetButtonMode(pbmIdle);
    EXPECT_EQ(f.At(0, 0), Sys(COLOR_BTNHIGHLIGHT));
    f.button->SetImageNormal(*Solid(w, 23, 0x123456));
    EXPECT_EQ(f.At(11, 11), 0x123456u);
    // A 23-high image with a caption starts at (23 - 27 - 13) / 2 = -8 above it, or at -8 + 13 = 5
    // below it (-8 and 4 for the 12-pixel caption of Wine's Tahoma).
    f.button->SetCaption("x");
    EXPECT_EQ(f.At(11, 14), 0x123456u);
    EXPECT_NE(f.At(11, 20), 0x123456u);
    f.button->SetButtonLayout(pbsImageBellow);
    EXPECT_EQ(f.At(11, 20), 0x123456u);
    EXPECT_NE(f.At(11, 3), 0x123456u);
}

} // namespace
