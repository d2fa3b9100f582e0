// Forms without a screen: painting into the back buffer in control order and clip, immediate
// repaints, and the routing of mouse input to window-less controls.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "toolkit/controls/extctrls.h"
#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"
#include "toolkit/core/bitmap.h"

namespace {

std::uint32_t BufferAt(const TForm& form, int x, int y) {
    return form.BufferBits()[y * form.ClientWidth() + x] & 0xFFFFFF; // 0xRRGGBB
}

// A control that fills more than its own rectangle with one colour and records what reaches it.
class TProbe : public TGraphicControl {
public:
    explicit TProbe(std::uint32_t rgb, TControlStyle style = csCaptureMouse | csClickEvents | csDoubleClicks)
        : FRgb(rgb) {
        SetControlStyle(style);
    }
    void Paint() override {
        ++Paints;
        TCanvas& c = Canvas();
        // BGR colour reference from 0xRRGGBB.
        c.Brush().Color =
            static_cast<TColor>(((FRgb & 0xFF) << 16) | (FRgb & 0xFF00) | ((FRgb >> 16) & 0xFF));
        c.FillRect(Rect(-50, -50, Width() + 50, Height() + 50));
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        Log.push_back("down" + std::to_string(b) + "@" + std::to_string(x) + "," + std::to_string(y) +
                      ((s & ssDouble) ? "d" : ""));
    }
    void MouseMove(TShiftState, int x, int y) override {
        Log.push_back("move@" + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseUp(TMouseButton b, TShiftState, int x, int y) override {
        Log.push_back("up" + std::to_string(b) + "@" + std::to_string(x) + "," + std::to_string(y));
    }
    void Click() override { Log.push_back("click"); }
    void DblClick() override { Log.push_back("dblclick"); }
    void MouseEnter() override { Log.push_back("enter"); }
    void MouseLeave() override { Log.push_back("leave"); }
    void EnabledChanged() override { Log.push_back(Enabled() ? "enabled" : "disabled"); }

    std::vector<std::string> Log;
    int Paints = 0;

private:
    std::uint32_t FRgb;
};

struct TFormFixture : ::testing::Test {
    TFormFixture() {
        form.SetColor(0x00FF00); // green as a colour reference (0x00BBGGRR)
        form.SetBounds(0, 0, 60, 40);
        auto a = std::make_unique<TProbe>(0xFF0000);
        auto b = std::make_unique<TProbe>(0x0000FF);
        lower = a.get();
        upper = b.get();
        lower->SetBounds(10, 10, 20, 20);
        upper->SetBounds(20, 15, 20, 10);
        form.AddControl(std::move(a));
        form.AddControl(std::move(b));
        form.Show();
        lower->Log.clear();
        upper->Log.clear();
    }
    TForm form;
    TProbe* lower = nullptr;
    TProbe* upper = nullptr;
};

TEST_F(TFormFixture, PaintsBackgroundThenControlsInOrderEachClippedToItsRectangle) {
    const struct {
        int x, y;
        std::uint32_t rgb;
    } cases[] = {
        {0, 0, 0x00FF00},   {9, 10, 0x00FF00},  {10, 10, 0xFF0000}, {29, 29, 0xFF0000}, {30, 29, 0x00FF00},
        {19, 15, 0xFF0000}, {20, 15, 0x0000FF}, {39, 24, 0x0000FF}, {40, 24, 0x00FF00}, {25, 25, 0xFF0000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BufferAt(form, c.x, c.y), c.rgb) << c.x << "," << c.y;
}

TEST_F(TFormFixture, InvisibleControlsNeitherPaintNorTakeInput) {
    upper->SetVisible(false);
    EXPECT_EQ(BufferAt(form, 35, 20), 0x00FF00u);
    EXPECT_EQ(BufferAt(form, 25, 20), 0xFF0000u);
    form.MouseDown(mbLeft, ssLeft, 35, 20);
    form.MouseUp(mbLeft, 0, 35, 20);
    EXPECT_TRUE(upper->Log.empty());
}

TEST_F(TFormFixture, InvalidateRepaintsBeneathAndAboveBeforeReturning) {
    const int lowerBefore = lower->Paints;
    const int upperBefore = upper->Paints;
    lower->Invalidate();
    EXPECT_EQ(lower->Paints, lowerBefore + 1);
    EXPECT_EQ(upper->Paints, upperBefore + 1); // overlaps the lower one
    // Moving a control repaints where it was and where it is now.
    upper->SetLeft(41);
    EXPECT_EQ(BufferAt(form, 35, 20), 0x00FF00u);
    EXPECT_EQ(BufferAt(form, 45, 20), 0x0000FFu);
}

TEST_F(TFormFixture, MouseRoutingTable) {
    struct Step {
        char kind; // d down, m move, u up, x leaves the window
        TMouseButton button;
        int x, y;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> upperLog;
        std::vector<std::string> lowerLog;
    };
    const std::vector<Case> cases = {
        {"click inside",
         {{'m', mbLeft, 25, 20}, {'d', mbLeft, 25, 20}, {'u', mbLeft, 26, 21}},
         {"enter", "move@5,5", "down0@5,5", "click", "up0@6,6"},
         {}},
        {"released outside: captured, no click",
         {{'d', mbLeft, 25, 20}, {'m', mbLeft, 50, 35}, {'u', mbLeft, 50, 35}},
         {"enter", "down0@5,5", "leave", "move@30,20", "up0@30,20"},
         {}},
        {"released at x = Width is outside",
         {{'d', mbLeft, 25, 20}, {'u', mbLeft, 40, 20}},
         {"enter", "down0@5,5", "up0@20,5", "leave"},
         {}},
        {"right button: no capture, no click",
         {{'d', mbRight, 25, 20}, {'u', mbRight, 25, 20}},
         {"enter", "down1@5,5", "up1@5,5"},
         {}},
        {"enter and leave across controls",
         {{'m', mbLeft, 15, 15}, {'m', mbLeft, 25, 20}, {'m', mbLeft, 5, 5}},
         {"enter", "move@5,5", "leave"},
         {"enter", "move@5,5", "leave"}},
        {"leaving the window",
         {{'m', mbLeft, 15, 15}, {'x', mbLeft, 0, 0}},
         {},
         {"enter", "move@5,5", "leave"}},
        {"right release while left held keeps the left click",
         {{'d', mbLeft, 25, 20}, {'d', mbRight, 25, 20}, {'u', mbRight, 25, 20}, {'u', mbLeft, 25, 20}},
         {"enter", "down0@5,5", "down1@5,5", "up1@5,5", "click", "up0@5,5"},
         {}},
    };
    for (const auto& c : cases) {
        TForm f;
        f.SetBounds(0, 0, 60, 40);
        auto a = std::make_unique<TProbe>(1);
        auto b = std::make_unique<TProbe>(2);
        TProbe* lo = a.get();
        TProbe* up = b.get();
        lo->SetBounds(10, 10, 20, 20);
        up->SetBounds(20, 15, 20, 10);
        f.AddControl(std::move(a));
        f.AddControl(std::move(b));
        for (const auto& s : c.steps) {
            if (s.kind == 'd') f.MouseDown(s.button, 0, s.x, s.y);
            if (s.kind == 'm') f.MouseMove(0, s.x, s.y);
            if (s.kind == 'u') f.MouseUp(s.button, 0, s.x, s.y);
            if (s.kind == 'x') f.MouseExit();
        }
        EXPECT_EQ(up->Log, c.upperLog) << c.name;
        EXPECT_EQ(lo->Log, c.lowerLog) << c.name;
    }
}

TEST_F(TFormFixture, DoubleClickRaisesDblClickAndNoSecondClick) {
    form.MouseDown(mbLeft, 0, 25, 20);
    form.MouseUp(mbLeft, 0, 25, 20);
    form.MouseDoubleClick(mbLeft, 0, 25, 20);
    form.MouseUp(mbLeft, 0, 25, 20);
    const std::vector<std::string> expected = {"enter",    "down0@5,5",  "click",  "up0@5,5",
                                               "dblclick", "down0@5,5d", "up0@5,5"};
    EXPECT_EQ(upper->Log, expected);
}

TEST_F(TFormFixture, DisabledControlGetsNoButtonsButStillEnterAndLeave) {
    upper->SetEnabled(false);
    upper->Log.clear();
    form.MouseMove(0, 35, 20);
    form.MouseDown(mbLeft, 0, 35, 20);
    form.MouseUp(mbLeft, 0, 35, 20);
    form.MouseMove(0, 55, 5);
    const std::vector<std::string> expected = {"enter", "leave"};
    EXPECT_EQ(upper->Log, expected);
    // Over the overlap the enabled control beneath takes the press.
    form.MouseDown(mbLeft, 0, 25, 20);
    ASSERT_FALSE(lower->Log.empty());
    EXPECT_EQ(lower->Log.back(), "down0@15,10");
}

TEST(Image, DrawsAtNaturalSizeNeverStretchedAndAutoSizes) {
    TForm form;
    form.SetColor(0xFFFFFF);
    form.SetBounds(0, 0, 40, 30);
    auto image = std::make_unique<TImage>();
    TImage* img = image.get();
    img->SetBounds(5, 5, 30, 20);
    form.AddControl(std::move(image));
    form.Show();

    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(4, 3);
    bitmap->Canvas().Brush().Color = 0x0000FF; // red
    bitmap->Canvas().FillRect(Rect(0, 0, 4, 3));
    img->Picture().SetGraphic(std::move(bitmap));
    EXPECT_EQ(BufferAt(form, 5, 5), 0xFF0000u);
    EXPECT_EQ(BufferAt(form, 8, 7), 0xFF0000u);
    EXPECT_EQ(BufferAt(form, 9, 7), 0xFFFFFFu);
    EXPECT_EQ(BufferAt(form, 8, 8), 0xFFFFFFu);
    EXPECT_EQ(img->Width(), 30);

    img->SetTransparent(true);
    EXPECT_TRUE(img->Picture().Graphic()->Transparent());
    img->SetAutoSize(true);
    EXPECT_EQ(img->BoundsRect(), Rect(5, 5, 9, 8));
    // An empty picture leaves the size alone.
    img->Picture().SetGraphic(nullptr);
    EXPECT_EQ(img->BoundsRect(), Rect(5, 5, 9, 8));
    EXPECT_EQ(BufferAt(form, 5, 5), 0xFFFFFFu);
}

TEST(Form, TabOrderSkipsHiddenDisabledAndNonStops) {
    TForm form;
    std::vector<TButton*> buttons;
    for (int order : {2, 0, 3, 1}) {
        auto b = std::make_unique<TButton>();
        b->SetTabOrder(order);
        buttons.push_back(b.get());
        form.AddControl(std::move(b));
    }
    auto order = form.TabOrderedControls();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], buttons[1]);
    EXPECT_EQ(order[1], buttons[3]);
    EXPECT_EQ(order[2], buttons[0]);
    EXPECT_EQ(order[3], buttons[2]);
    buttons[3]->SetVisible(false);
    buttons[0]->SetEnabled(false);
    buttons[2]->SetTabStop(false);
    order = form.TabOrderedControls();
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0], buttons[1]);
}

TEST(Application, TitleIsFileNameWithoutExtensionLowerCasedAfterFirst) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"C:\\Games\\Vorlanth\\LAUNCHER.EXE", "Launcher"},
        {"Z:\\opt\\vorlanth\\vorlanth", "vorlanth"},
        {"D:Start.Game.exe", "Start.game"},
        {"/usr/bin/VorLanth", "Vorlanth"},
        {"x.exe", "x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ApplicationTitleFromPath(c.path), c.title) << c.path;
}

TEST(Application, IconIsTheIconFileTheProgramWasBuiltWith) {
    // This program links the launcher's icon as "MAINICON": directory and images, put back together.
    std::ifstream in(VORLANTH_ASSETS_DIR "/vorlanth.ico", std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    ASSERT_GT(file.size(), 22u);
    TApplication application;
    application.Initialize();
    EXPECT_EQ(application.Icon(), file);
}

} // namespace
