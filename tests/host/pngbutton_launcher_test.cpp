// The launcher's hidden PNG button: present in the window, but it neither paints nor takes input.
#include <gtest/gtest.h>

#include <QApplication>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "host_support.h"
#include "launcher/Unit4.h"
#include "platform/draw.h"

namespace {

constexpr int kLeft = 8, kTop = 56, kSize = 23;

class LauncherPngButton : public ::testing::Test {
protected:
    void SetUp() override {
        FApplication = std::make_unique<TApplication>();
        Application = FApplication.get();
        FApplication->CreateForm(Form4);
        Form4->Show();
        QApplication::processEvents();
        ASSERT_NE(Form4->PNGButton1, nullptr);
    }
    void TearDown() override {
        Application = nullptr;
        FApplication.reset();
        Form4 = nullptr;
        QApplication::processEvents();
    }

    // The background picture's pixel as 0xRRGGBB (a bottom-up 24-bit BMP of 255 x 210).
    std::uint32_t Background(int x, int y) const {
        const std::uint8_t* p = FBitmap.data() + 54 + (209 - y) * 768 + x * 3;
        return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    std::uint32_t Shown(int x, int y) const { return Form4->BufferBits()[y * 255 + x] & 0xFFFFFF; }
    // Pixels of the button's rectangle and a margin around it that differ from the background.
    int Changed() const {
        int n = 0;
        for (int y = kTop - 2; y < kTop + kSize + 2; ++y)
            for (int x = kLeft - 2; x < kLeft + kSize + 2; ++x)
                if (Shown(x, y) != Background(x, y)) ++n;
        return n;
    }

private:
    std::unique_ptr<TApplication> FApplication;
    std::vector<std::uint8_t> FBitmap = [] {
        std::ifstream in(VORLANTH_ASSETS_DIR "/background.bmp", std::ios::binary);
        return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    }();
};

TEST_F(LauncherPngButton, IsAHidden23By23DefaultButton) {
    const TPNGButton& b = *Form4->PNGButton1;
    EXPECT_EQ(b.BoundsRect(), Rect(kLeft, kTop, kLeft + kSize, kTop + kSize));
    EXPECT_FALSE(b.Visible());
    EXPECT_TRUE(b.Enabled());
    EXPECT_EQ(b.ButtonLayout(), pbsImageAbove);
    EXPECT_EQ(b.ButtonStyle(), pbsDefault);
    EXPECT_EQ(b.Mode(), pbmIdle);
    EXPECT_TRUE(b.Caption().empty());
    EXPECT_TRUE(b.ImageNormal().IsEmpty());
}

TEST_F(LauncherPngButton, PaintsNothingAndTakesNoInput) {
    TPNGButton& b = *Form4->PNGButton1;
    std::vector<std::string> events;
    b.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { events.push_back("down"); };
    b.OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
    b.OnMouseMove = [&](TComponent*, TShiftState, int, int) { events.push_back("move"); };
    b.OnClick = [&](TComponent*) { events.push_back("click"); };
    EXPECT_EQ(Changed(), 0);

    const struct {
        int x, y;
    } points[] = {{kLeft, kTop}, {kLeft + 11, kTop + 11}, {kLeft + kSize - 1, kTop + kSize - 1}};
    for (const auto& p : points) {
        for (const TMouseButton button : {mbLeft, mbRight}) {
            Form4->MouseMove(0, p.x, p.y);
            Form4->MouseDown(button, button == mbLeft ? ssLeft : ssRight, p.x, p.y);
            EXPECT_EQ(Form4->CaptureControl(), nullptr);
            Form4->MouseUp(button, 0, p.x, p.y);
            Form4->MouseDoubleClick(button, 0, p.x, p.y);
            Form4->MouseUp(button, 0, p.x, p.y);
        }
    }
    Form4->MouseExit();
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(b.Hovered());
    EXPECT_EQ(b.Mode(), pbmIdle);
    EXPECT_EQ(Changed(), 0);
}

// The checks above can fail: shown, the same button paints its face there.
TEST_F(LauncherPngButton, ShownItWouldPaintItsFace) {
    Form4->PNGButton1->SetVisible(true);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(Shown(kLeft, kTop), ((light & 0xFF) << 16) | (light & 0xFF00) | ((light >> 16) & 0xFF));
    EXPECT_GT(Changed(), 400);
    Form4->PNGButton1->SetVisible(false);
    EXPECT_EQ(Changed(), 0);
}

} // namespace
