// The launcher as a Windows program on a virtual display under Wine (tests/wine/run-on-xvfb.sh):
// copied into a game folder whose path has a space and a non-ASCII letter and started from elsewhere,
// it looks as it does on Linux, and its buttons and keys do what they do there. The game is a
// recorder that notes its working folder and arguments.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "png/pngobject.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Wine's drive Z: is the Unix root.
fs::path FromUnix(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return fs::path("Z:" + path);
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls until the answer is there or the time is up.
template <class T>
T Await(const std::function<T()>& probe, int ms = 15000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        T got = probe();
        if (got || Clock::now() > end) return got;
        Pause(50);
    }
}

// The whole screen as 0x00RRGGBB values.
struct TScreen {
    int Width = GetSystemMetrics(SM_CXSCREEN), Height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::uint32_t> Pixels;
    TScreen() {
        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, Width, Height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        Pixels.assign(first, first + std::size_t(Width) * Height);
        SelectObject(memory, old);
        DeleteObject(section);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const {
        const std::uint32_t p = Pixels[std::size_t(y) * Width + x];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
};

// What the launcher shows outside its buttons: the background picture with the credit line's ink
// in black, as the Linux launcher's tests see it.
struct TExpected {
    std::vector<std::uint8_t> Bmp;
    TPNGObject Credit;
    TExpected() {
        std::ifstream in(FromUnix(VORLANTH_ASSETS_DIR "/background.bmp"), std::ios::binary);
        Bmp.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        Credit.LoadFromFile(FromUnix(VORLANTH_ASSETS_DIR "/credit.png").string());
    }
    bool Ink(int x, int y) const {
        return x >= 19 && x < 19 + Credit.PixelWidth() && y >= 190 && y < 190 + Credit.PixelHeight() &&
               Credit.AlphaRow(y - 190)[x - 19] == 255;
    }
    COLORREF At(int x, int y) const {
        if (Ink(x, y)) return 0;
        const std::uint8_t* p = Bmp.data() + 54 + (209 - y) * 768 + x * 3;
        return RGB(p[2], p[1], p[0]);
    }
};

bool InButtons(int x, int y) {
    return x >= 40 && x < 217 && y >= 80 && y < 169;
}

class WineLauncher : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0) return;
        Root = fs::temp_directory_path() / L"Vorlanth Spiel \u00f6";
        Game = Root / L"Game folder";
        fs::remove_all(Root);
        fs::create_directories(Game / "data");
        fs::copy_file(FromUnix(LAUNCHER_EXE), Game / "vorlanth.exe");
        fs::copy_file(FromUnix(RECORDER_EXE), Game / "data" / "Vorlanth.exe");
        std::ofstream(Game / "DivX Fix.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlanth Test]\r\n\"DivX\"=\"fixed\"\r\n";
        SetEnvironmentVariableW(L"VORLANTH_RECORD", Record().c_str());
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    static fs::path Record() { return Root / "record.txt"; }

    void SetUp() override {
        if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no display for Wine";
    }
    void TearDown() override { Stop(); }

    // Starts the launcher and waits until it has painted its window.
    void Start() {
        Stop();
        fs::remove(Record());
        // Started from the folder above, so that only its own location leads it to the game.
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + (Game / "vorlanth.exe").wstring() + L"\"";
        Started = Clock::now();
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Root.c_str(),
                                   &startup, &Process));
        Form = Await<HWND>([this] { return FormOf(Process.dwProcessId); });
        ASSERT_NE(Form, nullptr) << "no launcher window";
        EnumChildWindows(
            Form,
            [](HWND child, LPARAM self) {
                char text[64] = {};
                GetWindowTextA(child, text, sizeof text);
                reinterpret_cast<WineLauncher*>(self)->Buttons[text] = child;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(this));
        ASSERT_EQ(Buttons.size(), 4u);
        ASSERT_TRUE(Await<bool>([this] { return Painted(); })) << "the window shows no credit line";
        FirstPaint = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Started);
    }
    void Stop() {
        if (Process.hProcess == nullptr) return;
        if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(Process.hProcess, 99);
        WaitForSingleObject(Process.hProcess, 5000);
        CloseHandle(Process.hThread);
        CloseHandle(Process.hProcess);
        Process = {};
        Form = nullptr;
        Buttons.clear();
    }

    static HWND FormOf(DWORD process) {
        std::pair<DWORD, HWND> search{process, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto& [id, found] = *reinterpret_cast<std::pair<DWORD, HWND>*>(data);
                char name[32] = {};
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                GetClassNameA(window, name, sizeof name);
                if (owner == id && IsWindowVisible(window) && std::string(name) == "VorlanthForm")
                    found = window;
                return found == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.second;
    }

    POINT ClientOrigin() const {
        POINT origin{0, 0};
        ClientToScreen(Form, &origin);
        return origin;
    }
    // The launcher has painted when its credit line shows.
    bool Painted() const {
        const POINT o = ClientOrigin();
        const TScreen screen;
        int ink = 0;
        for (int y = 190; y < 202; ++y)
            for (int x = 19; x < 235; ++x)
                ink += Expected.Ink(x, y) && screen.At(o.x + x, o.y + y) == 0;
        return ink > 100;
    }

    void Input(std::vector<INPUT> inputs) const {
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        Pause(200);
    }
    void ClickAt(POINT p) const {
        const auto mouse = [&](DWORD flags) {
            INPUT in{};
            in.type = INPUT_MOUSE;
            in.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
            in.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
            in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
            return in;
        };
        Input({mouse(0), mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP)});
    }
    void Click(const char* caption) const {
        RECT r{};
        GetWindowRect(Buttons.at(caption), &r);
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    void Key(WORD key) const {
        INPUT down{}, up{};
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        Input({down, up});
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
    static std::optional<std::vector<std::string>> GameRecord(int ms) {
        return Await<std::optional<std::vector<std::string>>>(
            []() -> std::optional<std::vector<std::string>> {
                std::ifstream in(Record());
                if (!in) return std::nullopt;
                std::vector<std::string> lines;
                for (std::string line; std::getline(in, line);)
                    lines.push_back(line);
                return lines;
            },
            ms);
    }

    static inline fs::path Root, Game;
    PROCESS_INFORMATION Process{};
    Clock::time_point Started;
    std::chrono::milliseconds FirstPaint{};
    HWND Form = nullptr;
    std::map<std::string, HWND> Buttons;
    TExpected Expected;
};

TEST_F(WineLauncher, LooksAsOnLinux) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // A figure for the record, not a limit: the time from the process start to the painted window.
    RecordProperty("first_paint_ms", std::to_string(FirstPaint.count()));

    RECT client{};
    GetClientRect(Form, &client);
    EXPECT_EQ(client.right, 255);
    EXPECT_EQ(client.bottom, 210);
    const POINT o = ClientOrigin();
    EXPECT_EQ(o.x, (GetSystemMetrics(SM_CXSCREEN) - 255) / 2);
    EXPECT_EQ(o.y, (GetSystemMetrics(SM_CYSCREEN) - 210) / 2);
    char title[32] = {};
    GetWindowTextA(Form, title, sizeof title);
    EXPECT_STREQ(title, "Vorlanth");

    const TScreen screen;
    int differing = 0;
    for (int y = 0; y < 210; ++y)
        for (int x = 0; x < 255; ++x)
            if (!InButtons(x, y) && screen.At(o.x + x, o.y + y) != Expected.At(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << "pixels outside the buttons differ from the Linux launcher's";

    // Each button where the description puts it, showing its caption: dark text inside its frame.
    const std::map<std::string, RECT> places = {{"Start Game", {40, 80, 217, 105}},
                                                {"Setup", {40, 104, 217, 121}},
                                                {"Apply DivX Fix.reg", {40, 120, 217, 137}},
                                                {"Exit", {40, 144, 217, 169}}};
    for (const auto& [caption, place] : places) {
        RECT r{};
        GetWindowRect(Buttons.at(caption), &r);
        EXPECT_EQ(r.left - o.x, place.left) << caption;
        EXPECT_EQ(r.top - o.y, place.top) << caption;
        EXPECT_EQ(r.right - o.x, place.right) << caption;
        EXPECT_EQ(r.bottom - o.y, place.bottom) << caption;
        int text = 0;
        for (int y = r.top + 3; y < r.bottom - 3; ++y)
            for (int x = r.left + 3; x < r.right - 3; ++x)
                text += GetRValue(screen.At(x, y)) + GetGValue(screen.At(x, y)) + GetBValue(screen.At(x, y)) <
                        200;
        EXPECT_GT(text, 5) << caption << " shows no caption";
    }
    Click("Exit");
    EXPECT_EQ(ExitCode(10000), 0u);
}

TEST_F(WineLauncher, ButtonsStartTheGameItsSetupOrEnd) {
    struct Case {
        const char* name;
        std::function<void(WineLauncher&)> press;
        std::optional<std::vector<std::string>> arguments; // none: the game must not start
        bool ends;
    };
    const Case cases[] = {
        {"Start Game by mouse", [](WineLauncher& t) { t.Click("Start Game"); }, std::vector<std::string>{},
         true},
        {"Start Game by Enter", [](WineLauncher& t) { t.Key(VK_RETURN); }, std::vector<std::string>{}, true},
        {"Setup", [](WineLauncher& t) { t.Click("Setup"); }, std::vector<std::string>{"--setup"}, false},
        {"Exit", [](WineLauncher& t) { t.Click("Exit"); }, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start());
        c.press(*this);
        const auto record = GameRecord(c.arguments ? 15000 : 1000);
        ASSERT_EQ(record.has_value(), c.arguments.has_value());
        if (record) {
            ASSERT_FALSE(record->empty());
            EXPECT_TRUE(fs::equivalent(fs::u8path(record->front()), Game / "data")) << record->front();
            EXPECT_EQ(std::vector<std::string>(record->begin() + 1, record->end()), *c.arguments);
        }
        if (c.ends) {
            EXPECT_EQ(ExitCode(10000), 0u);
        } else {
            EXPECT_EQ(ExitCode(500), STILL_ACTIVE);
            Click("Exit");
            EXPECT_EQ(ExitCode(10000), 0u);
        }
    }
}

TEST_F(WineLauncher, FixFileGoesIntoTheRegistry) {
    const auto query = [] {
        FILE* pipe = _popen("reg query \"HKCU\\Software\\Vorlanth Test\" /v DivX 2>nul", "r");
        std::string out;
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe))
            out += chunk;
        return std::pair<int, std::string>(_pclose(pipe), out);
    };
    std::system("reg delete \"HKCU\\Software\\Vorlanth Test\" /f >nul 2>nul");
    ASSERT_NE(query().first, 0) << "the test key was there before the fix";
    ASSERT_NO_FATAL_FAILURE(Start());
    Click("Apply DivX Fix.reg");
    const bool imported = Await<bool>([&] { return query().first == 0; });
    ASSERT_TRUE(imported);
    EXPECT_NE(query().second.find("fixed"), std::string::npos) << query().second;
    EXPECT_EQ(ExitCode(0), STILL_ACTIVE);
    Click("Exit");
    EXPECT_EQ(ExitCode(10000), 0u);
    std::system("reg delete \"HKCU\\Software\\Vorlanth Test\" /f >nul 2>nul");
}

TEST_F(WineLauncher, TabWalksTheButtonsAndEscapeAndTheHiddenButtonDoNothing) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Focus(), Buttons.at("Start Game"));
    for (const char* next : {"Setup", "Exit", "Apply DivX Fix.reg", "Start Game"}) {
        Key(VK_TAB);
        const HWND want = Buttons.at(next);
        EXPECT_EQ(Await<HWND>([&] { return Focus() == want ? want : nullptr; }, 3000), want)
            << "Tab to " << next;
    }
    Key(VK_ESCAPE);
    // The hidden picture button at (8, 56), 23 pixels square, takes no click.
    const POINT o = ClientOrigin();
    ClickAt({o.x + 19, o.y + 67});
    EXPECT_EQ(ExitCode(500), STILL_ACTIVE);
    EXPECT_FALSE(GameRecord(0).has_value());
    EXPECT_EQ(Focus(), Buttons.at("Start Game"));
    const TScreen screen;
    int differing = 0;
    for (int y = 56; y < 79; ++y)
        for (int x = 8; x < 31; ++x)
            differing += screen.At(o.x + x, o.y + y) != Expected.At(x, y);
    EXPECT_EQ(differing, 0) << "the hidden picture button shows";
    // Tab to Exit and Enter there ends the launcher.
    Key(VK_TAB);
    Key(VK_TAB);
    Key(VK_RETURN);
    EXPECT_EQ(ExitCode(10000), 0u);
}

} // namespace
