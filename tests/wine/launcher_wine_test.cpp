// The launcher as a Windows program on a virtual display under Wine (tests/wine/run-on-xvfb.sh),
// copied into a game folder whose path has a space and a non-ASCII letter and started from elsewhere:
// it looks as the Linux launcher does, and its buttons and keys do what they do there. The game is a
// recorder that notes its working folder and arguments.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "png/pngobject.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

// Wine's drive Z: is the Unix root.
fs::path FromUnix(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return fs::path("Z:" + path);
}

// Polls until the probe answers or the time is up; the last answer.
template <class Probe>
auto Await(Probe probe, int ms = 15000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (auto got = probe();; got = probe()) {
        if (got || Clock::now() > end) return got;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The screen's pixels as colour references, read through the screen's device context.
struct TScreen {
    int Width = GetSystemMetrics(SM_CXSCREEN), Height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::uint32_t> Pixels = std::vector<std::uint32_t>(std::size_t(Width) * Height);
    TScreen() {
        const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, Width, Height);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, Width, Height, screen, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        GetDIBits(memory, bitmap, 0, Height, Pixels.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(POINT p) const {
        const std::uint32_t v = Pixels[std::size_t(p.y) * Width + p.x];
        return RGB((v >> 16) & 255, (v >> 8) & 255, v & 255);
    }
};

// What the Linux launcher shows outside its buttons: the background picture with the credit line's
// ink in black at (19, 190).
struct TExpected {
    std::vector<std::uint8_t> Bmp;
    TPNGObject Credit;
    TExpected() {
        std::ifstream in(FromUnix(VORLANTH_ASSETS_DIR "/background.bmp"), std::ios::binary);
        Bmp.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        Credit.LoadFromFile(FromUnix(VORLANTH_ASSETS_DIR "/credit.png").string());
    }
    bool Ink(int x, int y) const {
        return x >= 19 && x < 235 && y >= 190 && y < 202 && Credit.AlphaRow(y - 190)[x - 19] == 255;
    }
    COLORREF At(int x, int y) const {
        const std::uint8_t* p = Bmp.data() + 54 + (209 - y) * 768 + x * 3;
        return Ink(x, y) ? 0 : RGB(p[2], p[1], p[0]);
    }
};

class WineLauncher : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        Root = fs::temp_directory_path() / L"Vorlanth Spiel \u00f6";
        Game = Root / L"Game folder";
        fs::remove_all(Root);
        fs::create_directories(Game / "data");
        fs::copy_file(FromUnix(LAUNCHER_EXE), Game / "vorlanth.exe");
        fs::copy_file(FromUnix(RECORDER_EXE), Game / "data" / "Vorlanth.exe");
        std::ofstream(Game / "DivX Fix.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlanth Test]\r\n\"DivX\"=\"fixed\"\r\n";
        SetEnvironmentVariableW(L"VORLANTH_RECORD", (Root / "record.txt").c_str());
    }
    static void TearDownTestSuite() { fs::remove_all(Root); }
    void SetUp() override {
        if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no display for Wine";
    }
    void TearDown() override { Stop(); }

    // Starts the launcher from the folder above the game's, so that only its own location leads it
    // there, and waits until its window shows the credit line.
    void Start() {
        Stop();
        fs::remove(Root / "record.txt");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + (Game / "vorlanth.exe").wstring() + L"\"";
        const auto started = Clock::now();
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Root.c_str(),
                                   &startup, &Process));
        Form = Await([] {
            const HWND form = FindWindowA("VorlanthForm", nullptr);
            return form != nullptr && IsWindowVisible(form) ? form : nullptr;
        });
        ASSERT_NE(Form, nullptr) << "no launcher window";
        EnumChildWindows(
            Form,
            [](HWND child, LPARAM buttons) {
                char text[64] = {};
                GetWindowTextA(child, text, sizeof text);
                (*reinterpret_cast<std::map<std::string, HWND>*>(buttons))[text] = child;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&Buttons));
        ASSERT_EQ(Buttons.size(), 4u);
        ASSERT_TRUE(Await([this] { return Differing(19, 190, 235, 202) == 0; })) << "no credit line";
        FirstPaint = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    }
    void Stop() {
        if (Process.hProcess == nullptr) return;
        if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(Process.hProcess, 99);
        WaitForSingleObject(Process.hProcess, 5000);
        CloseHandle(Process.hThread);
        CloseHandle(Process.hProcess);
        Process = {};
        Buttons.clear();
    }

    POINT Screen(int x, int y) const {
        POINT p{x, y};
        ClientToScreen(Form, &p);
        return p;
    }
    // How many pixels of a client area, leaving out the buttons, differ from the Linux launcher's.
    int Differing(int left, int top, int right, int bottom) const {
        const TScreen screen;
        int differing = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (!(x >= 40 && x < 217 && y >= 80 && y < 169))
                    differing += screen.At(Screen(x, y)) != Expected.At(x, y);
        return differing;
    }

    void Input(std::vector<INPUT> inputs) const {
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    void ClickAt(POINT p) const {
        std::vector<INPUT> inputs(3, INPUT{INPUT_MOUSE, {}});
        const DWORD flags[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
        for (int i = 0; i < 3; ++i)
            inputs[i].mi = {p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1),
                            p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1),
                            0,
                            flags[i] | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE,
                            0,
                            0};
        Input(inputs);
    }
    void Click(const char* caption) const {
        RECT r{};
        GetWindowRect(Buttons.at(caption), &r);
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    void Key(WORD key) const {
        std::vector<INPUT> inputs(2, INPUT{INPUT_KEYBOARD, {}});
        inputs[0].ki = {key, 0, 0, 0, 0};
        inputs[1].ki = {key, 0, KEYEVENTF_KEYUP, 0, 0};
        Input(inputs);
    }
    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(Form, nullptr), &info);
        return info.hwndFocus;
    }
    // The launcher's exit code once it has ended, or STILL_ACTIVE.
    DWORD ExitCode(int ms) const {
        WaitForSingleObject(Process.hProcess, ms);
        DWORD code = 0;
        GetExitCodeProcess(Process.hProcess, &code);
        return code;
    }
    // The game's record: its working folder, then its arguments.
    static std::optional<Lines> GameRecord(int ms) {
        return Await(
            []() -> std::optional<Lines> {
                std::ifstream in(Root / "record.txt");
                Lines lines;
                for (std::string line; in && std::getline(in, line);)
                    lines.push_back(line);
                return in.eof() ? std::optional(lines) : std::nullopt;
            },
            ms);
    }

    static inline fs::path Root, Game;
    PROCESS_INFORMATION Process{};
    HWND Form = nullptr;
    std::map<std::string, HWND> Buttons;
    std::chrono::milliseconds FirstPaint{};
    TExpected Expected;
};

TEST_F(WineLauncher, LooksAsOnLinux) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // A figure for the record, not a limit: from the process start to the painted window.
    RecordProperty("first_paint_ms", std::to_string(FirstPaint.count()));
    RECT client{};
    GetClientRect(Form, &client);
    EXPECT_EQ(client.right, 255);
    EXPECT_EQ(client.bottom, 210);
    EXPECT_EQ(Screen(0, 0).x, (GetSystemMetrics(SM_CXSCREEN) - 255) / 2);
    EXPECT_EQ(Screen(0, 0).y, (GetSystemMetrics(SM_CYSCREEN) - 210) / 2);
    EXPECT_EQ(Differing(0, 0, 255, 210), 0);

    // Each button where the description puts it, showing its caption: dark text inside its frame.
    const TScreen screen;
    for (const auto& [caption, top, bottom] :
         {std::tuple{"Start Game", 80, 105}, std::tuple{"Setup", 104, 121},
          std::tuple{"Apply DivX Fix.reg", 120, 137}, std::tuple{"Exit", 144, 169}}) {
        RECT r{};
        GetWindowRect(Buttons.at(caption), &r);
        EXPECT_EQ(r.left, Screen(40, 0).x) << caption;
        EXPECT_EQ(r.right, Screen(217, 0).x) << caption;
        EXPECT_EQ(r.top, Screen(0, top).y) << caption;
        EXPECT_EQ(r.bottom, Screen(0, bottom).y) << caption;
        int text = 0;
        for (int y = r.top + 3; y < r.bottom - 3; ++y)
            for (int x = r.left + 3; x < r.right - 3; ++x) {
                const COLORREF c = screen.At({x, y});
                text += GetRValue(c) + GetGValue(c) + GetBValue(c) < 200;
            }
        EXPECT_GT(text, 5) << caption << " shows no caption";
    }
}

TEST_F(WineLauncher, ButtonsStartTheGameItsSetupTheFixOrEnd) {
    const auto fixed = [] {
        return std::system("reg query \"HKCU\\Software\\Vorlanth Test\" /v DivX >nul 2>nul") == 0;
    };
    std::system("reg delete \"HKCU\\Software\\Vorlanth Test\" /f >nul 2>nul");
    ASSERT_FALSE(fixed());
    const struct {
        const char* name;
        std::function<void(WineLauncher&)> press;
        std::optional<Lines> arguments; // none: the game must not start
        bool ends;
    } cases[] = {
        {"Start Game by mouse", [](WineLauncher& t) { t.Click("Start Game"); }, Lines{}, true},
        {"Start Game by Enter", [](WineLauncher& t) { t.Key(VK_RETURN); }, Lines{}, true},
        {"Setup", [](WineLauncher& t) { t.Click("Setup"); }, Lines{"--setup"}, false},
        {"Apply DivX Fix.reg", [](WineLauncher& t) { t.Click("Apply DivX Fix.reg"); }, std::nullopt, false},
        {"Exit", [](WineLauncher& t) { t.Click("Exit"); }, std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start());
        c.press(*this);
        const auto record = GameRecord(c.arguments ? 15000 : 1000);
        ASSERT_EQ(record.has_value(), c.arguments.has_value());
        if (record) {
            ASSERT_FALSE(record->empty());
            EXPECT_TRUE(fs::equivalent(fs::u8path(record->front()), Game / "data")) << record->front();
            EXPECT_EQ(Lines(record->begin() + 1, record->end()), *c.arguments);
        }
        if (!c.ends) {
            EXPECT_EQ(ExitCode(500), STILL_ACTIVE);
            Click("Exit");
        }
        EXPECT_EQ(ExitCode(10000), 0u);
    }
    // The fix file went into Wine's registry.
    EXPECT_TRUE(Await(fixed));
    std::system("reg delete \"HKCU\\Software\\Vorlanth Test\" /f >nul 2>nul");
}

TEST_F(WineLauncher, TabWalksTheButtonsAndEscapeAndTheHiddenButtonDoNothing) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Focus(), Buttons.at("Start Game"));
    for (const char* next : {"Setup", "Exit", "Apply DivX Fix.reg", "Start Game"}) {
        Key(VK_TAB);
        const HWND want = Buttons.at(next);
        EXPECT_EQ(Await([&] { return Focus() == want ? want : nullptr; }, 3000), want) << "Tab to " << next;
    }
    Key(VK_ESCAPE);
    ClickAt(Screen(19, 67)); // the hidden picture button at (8, 56), 23 pixels square
    EXPECT_EQ(ExitCode(500), STILL_ACTIVE);
    EXPECT_FALSE(GameRecord(0).has_value());
    EXPECT_EQ(Focus(), Buttons.at("Start Game"));
    EXPECT_EQ(Differing(8, 56, 31, 79), 0) << "the hidden picture button shows";
    Key(VK_TAB);
    Key(VK_TAB);
    Key(VK_RETURN); // on Exit
    EXPECT_EQ(ExitCode(10000), 0u);
}

} // namespace
