// The real launcher on a virtual X display (Xvfb): a screenshot shows the window centred on the
// screen with its title picture and its credit line.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "png/pngobject.h"

namespace {

// Starts a program with DISPLAY set; returns its process id.
pid_t Start(const std::vector<std::string>& args, const std::string& display) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int Finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

TEST(LauncherScreenshot, ShowsTheWindowCentredWithItsPictures) {
    const char* xvfb = "/usr/bin/Xvfb";
    if (access(xvfb, X_OK) != 0) {
        if (std::getenv("CI") != nullptr) FAIL() << "Xvfb is not installed";
        GTEST_SKIP() << "Xvfb is not installed";
    }
    int number = 150;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
           std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
        ++number;
    const std::string display = ":" + std::to_string(number);
    const pid_t server = Start({xvfb, display, "-screen", "0", "800x600x24", "-nolisten", "tcp"}, display);
    for (int i = 0; i < 100 && !std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const pid_t launcher = Start({LAUNCHER_PATH}, display);
    const std::string shot = ::testing::TempDir() + "launcher-screenshot.png";
    const int shotResult = Finish(Start({SCREENSHOT_PATH, shot, "Vorlanth", "20"}, display));
    Stop(launcher);
    Stop(server);
    ASSERT_EQ(shotResult, 0);

    TPNGObject screen;
    screen.LoadFromFile(shot);
    ASSERT_EQ(screen.PixelWidth(), 800);
    ASSERT_EQ(screen.PixelHeight(), 600);
    std::ifstream in(VORLANTH_ASSETS_DIR "/background.bmp", std::ios::binary);
    const std::vector<std::uint8_t> bmp{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(bmp.size(), 161334u);
    TPNGObject credit;
    credit.LoadFromFile(VORLANTH_ASSETS_DIR "/credit.png");

    // The window's top-left corner by the centring rule, on an 800 x 600 screen.
    const int left = (800 - 255) / 2;
    const int top = (600 - 210) / 2;
    int background = 0;
    int black = 0;
    int checked = 0;
    for (int y = 0; y < 210; ++y)
        for (int x = 0; x < 255; ++x) {
            if (x >= 40 && x < 217 && y >= 80 && y < 169) continue; // the buttons
            const std::uint8_t* p = bmp.data() + 54 + (209 - y) * 768 + x * 3;
            const COLORREF expected = RGB(p[2], p[1], p[0]);
            const bool ink =
                x >= 19 && x < 235 && y >= 190 && y < 202 && credit.AlphaRow(y - 190)[x - 19] == 255;
            const COLORREF seen = screen.PixelAt(left + x, top + y);
            ++checked;
            if (ink && seen == 0) ++black;
            if (!ink && seen == expected) ++background;
        }
    EXPECT_EQ(background + black, checked);
    EXPECT_GT(black, 100);
    // Outside the window the screen is the server's plain black.
    EXPECT_EQ(screen.PixelAt(left - 1, top + 100), 0u);
    EXPECT_EQ(screen.PixelAt(left + 255, top + 100), 0u);
}

} // namespace
