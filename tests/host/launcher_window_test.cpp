// The launcher window on Qt's offscreen platform: geometry, pictures, buttons, keyboard and the
// requests each button makes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "host_support.h"
#include "launcher/Unit4.h"
#include "launcher/launch.h"
#include "png/pngobject.h"
#include "toolkit/host/qtform.h"

namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LauncherWindow : public ::testing::Test {
protected:
    void SetUp() override {
        FApplication = std::make_unique<TApplication>();
        Application = FApplication.get();
        FApplication->OnException = [this](const std::exception& e) { Errors.push_back(e.what()); };
        SetShellOpen([this](const TLaunchRequest& r) { Requests.push_back(r); });
        FApplication->CreateForm(Form4);
        Form4->Show();
        QApplication::processEvents();
        Peer = dynamic_cast<TQtFormPeer*>(Form4->Peer());
        ASSERT_NE(Peer, nullptr);
    }
    void TearDown() override {
        SetShellOpen({});
        Application = nullptr;
        FApplication.reset();
        Form4 = nullptr;
        QApplication::processEvents();
    }

    QPushButton* Widget(TButton* button) const { return Peer->ButtonWidget(*button); }
    QWidget* Focus() const { return Peer->Widget()->focusWidget(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Focus(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }

    TQtFormPeer* Peer = nullptr;
    std::vector<TLaunchRequest> Requests;
    std::vector<std::string> Errors;

private:
    std::unique_ptr<TApplication> FApplication;
};

TEST_F(LauncherWindow, IsFramelessOfItsClientSizeAndCentredByTheIntegerRule) {
    const QWidget* window = Peer->Widget();
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->size(), QSize(255, 210));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(),
              QPoint(screen.left() + (screen.width() - 255) / 2, screen.top() + (screen.height() - 210) / 2));
    EXPECT_EQ(window->windowTitle().toStdString(), "Vorlanth");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(LauncherWindow, ClientAreaIsTheBackgroundWithTheCreditLineInBlack) {
    EXPECT_EQ(Form4->Image2->Left(), 19);
    EXPECT_EQ(Form4->Image2->Top(), 190);
    EXPECT_EQ(Form4->Image2->Width(), 216);
    EXPECT_EQ(Form4->Image2->Height(), 12);

    const auto bmp = ReadFile(VORLANTH_ASSETS_DIR "/background.bmp");
    ASSERT_EQ(bmp.size(), 161334u);
    TPNGObject credit;
    credit.LoadFromFile(VORLANTH_ASSETS_DIR "/credit.png");

    // What the screen shows: the presented window, buttons included.
    const QImage shown = Peer->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int black = 0;
    for (int y = 0; y < 210; ++y) {
        for (int x = 0; x < 255; ++x) {
            const std::uint8_t* p = bmp.data() + 54 + (209 - y) * 768 + x * 3;
            std::uint32_t expected = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
            const int cx = x - 19;
            const int cy = y - 190;
            if (cx >= 0 && cx < 216 && cy >= 0 && cy < 12 && credit.AlphaRow(cy)[cx] == 255) {
                expected = 0;
                ++black;
            }
            const std::uint32_t buffered = Form4->BufferBits()[y * 255 + x] & 0xFFFFFF;
            ASSERT_EQ(buffered, expected) << x << "," << y;
            const bool underButton = x >= 40 && x < 217 && y >= 80 && y < 169;
            if (!underButton) {
                ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF, expected) << x << "," << y;
            }
        }
    }
    EXPECT_GT(black, 100);
}

TEST_F(LauncherWindow, ButtonsStandAtTheirRectanglesWithTheirCaptions) {
    const struct {
        TButton* button;
        QRect rect;
        const char* caption;
    } cases[] = {
        {Form4->Button1, QRect(40, 80, 177, 25), "Start Game"},
        {Form4->Button2, QRect(40, 104, 177, 17), "Setup"},
        {Form4->Button3, QRect(40, 144, 177, 25), "Exit"},
        {Form4->Button4, QRect(40, 120, 177, 17), "Apply DivX Fix.reg"},
    };
    for (const auto& c : cases) {
        const QPushButton* w = Widget(c.button);
        ASSERT_NE(w, nullptr) << c.caption;
        EXPECT_EQ(w->geometry(), c.rect) << c.caption;
        EXPECT_EQ(w->text().toStdString(), c.caption);
        EXPECT_TRUE(w->isVisible()) << c.caption;
        EXPECT_EQ(w->font().pixelSize(), 11) << c.caption;
        EXPECT_FALSE(w->isDefault()) << c.caption;
    }
}

TEST_F(LauncherWindow, FocusStartsOnStartGameAndTabFollowsTheTabOrder) {
    EXPECT_EQ(Focus(), Widget(Form4->Button1));
    const std::vector<TButton*> forward = {Form4->Button2, Form4->Button3, Form4->Button4, Form4->Button1};
    for (TButton* next : forward) {
        Key(Qt::Key_Tab);
        EXPECT_EQ(Focus(), Widget(next)) << next->Caption();
    }
    const std::vector<TButton*> backward = {Form4->Button4, Form4->Button3, Form4->Button2, Form4->Button1};
    for (TButton* next : backward) {
        Key(Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(Focus(), Widget(next)) << next->Caption();
    }
    EXPECT_TRUE(Requests.empty());
}

TEST_F(LauncherWindow, EnterRightAfterStartRunsStartGameAndEnds) {
    Key(Qt::Key_Return);
    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Requests[0], StartGameRequest(Form4->Handle(), OwnDirectory()));
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(Peer->Widget()->isVisible());
}

TEST_F(LauncherWindow, EnterOnTheKeypadPressesTheFocusedButtonAndEscapePressesNone) {
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Requests.empty());
    EXPECT_FALSE(Application->Terminated());
    Key(Qt::Key_Tab); // Setup
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Requests[0], SetupRequest(Form4->Handle(), OwnDirectory()));
    EXPECT_FALSE(Application->Terminated());
}

TEST_F(LauncherWindow, EachClickMakesItsRequest) {
    const std::string own = OwnDirectory();
    HWND owner = Form4->Handle();
    ASSERT_NE(owner, nullptr);
    QTest::mouseClick(Widget(Form4->Button2), Qt::LeftButton);
    QTest::mouseClick(Widget(Form4->Button2), Qt::LeftButton);
    QTest::mouseClick(Widget(Form4->Button4), Qt::LeftButton);
    EXPECT_FALSE(Application->Terminated());
    const std::vector<TLaunchRequest> expected = {SetupRequest(owner, own), SetupRequest(owner, own),
                                                  FixFileRequest(owner, own)};
    EXPECT_EQ(Requests, expected);
    QTest::mouseClick(Widget(Form4->Button3), Qt::LeftButton);
    EXPECT_EQ(Requests.size(), 3u);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(Errors.empty());
}

} // namespace
