// The launcher's launch logic: its own folder, the three requests, the hand-over to the shell, and
// the real shell starting a script.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launch.h"
#include "platform/shell.h"
#include "platform/winpath.h"
#include "support/recorder.h"

namespace fs = std::filesystem;

// Failures show the six values; found by argument lookup, hence outside the anonymous namespace.
static void PrintTo(const TLaunchRequest& r, std::ostream* out) {
    *out << "{" << static_cast<const void*>(r.Owner) << ", " << r.Verb << ", " << r.File << ", "
         << (r.Parameters ? "\"" + *r.Parameters + "\"" : "null") << ", " << r.Directory << ", "
         << r.ShowCommand << "}";
}

namespace {

using namespace testsupport;

HWND FakeWindow() {
    static int window;
    return reinterpret_cast<HWND>(&window);
}

// ---- Own directory ----------------------------------------------------------------------------

TEST(OwnDirectory, CutsAfterTheLastSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Games\\X\\launcher.exe", "C:\\Games\\X\\"},
        {"D:\\launcher.exe", "D:\\"},
        {"C:\\My Games\\X\\launcher.exe", "C:\\My Games\\X\\"},
        {"C:launcher.exe", "C:"}, // a drive letter's colon counts as a separator
        {"a\\b:c", "a\\b:"},      // whichever of the two comes last
        {"C:\\Games\\", "C:\\Games\\"},
        {"launcher.exe", ""},
        {"", ""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(OwnDirectoryOf(path), expected) << path;
}

TEST(OwnDirectory, IsTheRunningProgramsFolder) {
    const std::string own = OwnDirectory();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '\\');
    EXPECT_EQ(FromWindowsPath(own), fs::canonical("/proc/self/exe").parent_path().string());
}

// ---- Requests ---------------------------------------------------------------------------------

TEST(Requests, ValuesForTwoFolders) {
    struct Case {
        std::string own;
        TLaunchRequest start, setup, fix;
    };
    const HWND window = FakeWindow();
    const Case cases[] = {
        {"C:\\Games\\Vorlanth\\",
         {window, "open", "C:\\Games\\Vorlanth\\data\\Vorlanth.exe", std::nullopt,
          "C:\\Games\\Vorlanth\\data\\", 1},
         {window, "open", "C:\\Games\\Vorlanth\\data\\Vorlanth.exe", "--setup", "C:\\Games\\Vorlanth\\data\\",
          1},
         {window, "open", "C:\\Games\\Vorlanth\\DivX Fix.reg", std::nullopt, "C:\\Games\\Vorlanth\\", 1}},
        // Plain concatenation: no separator is added to a folder that lacks one.
        {"Z:\\home\\ann\\My Games",
         {window, "open", "Z:\\home\\ann\\My Gamesdata\\Vorlanth.exe", std::nullopt,
          "Z:\\home\\ann\\My Gamesdata\\", 1},
         {window, "open", "Z:\\home\\ann\\My Gamesdata\\Vorlanth.exe", "--setup",
          "Z:\\home\\ann\\My Gamesdata\\", 1},
         {window, "open", "Z:\\home\\ann\\My GamesDivX Fix.reg", std::nullopt, "Z:\\home\\ann\\My Games", 1}},
    };
    for (const Case& c : cases) {
        const std::pair<TLaunchRequest, TLaunchRequest> pairs[] = {
            {StartGameRequest(window, c.own), c.start},
            {SetupRequest(window, c.own), c.setup},
            {FixFileRequest(window, c.own), c.fix},
        };
        for (const auto& [got, expected] : pairs)
            EXPECT_EQ(got, expected) << c.own;
    }
}

TEST(Requests, EqualityTellsNoParametersFromEmptyOnes) {
    TLaunchRequest none = StartGameRequest(nullptr, "C:\\");
    TLaunchRequest empty = none;
    empty.Parameters = "";
    EXPECT_FALSE(none == empty);
    TLaunchRequest otherOwner = none;
    otherOwner.Owner = FakeWindow();
    EXPECT_FALSE(none == otherOwner);
    EXPECT_TRUE(none == StartGameRequest(nullptr, "C:\\"));
}

// ---- Hand-over --------------------------------------------------------------------------------

class Submitting : public testing::Test {
protected:
    void TearDown() override { SetShellOpen({}); }
    std::vector<TLaunchRequest> submitted;
    TShellOpen Recorder() {
        return [this](const TLaunchRequest& request) { submitted.push_back(request); };
    }
};

TEST_F(Submitting, EachCallIsOneRequest) {
    SetShellOpen(Recorder());
    const TLaunchRequest setup = SetupRequest(FakeWindow(), "C:\\Games\\Vorlanth\\");
    for (int i = 0; i < 3; ++i)
        SubmitLaunchRequest(setup);
    ASSERT_EQ(submitted.size(), 3u);
    for (const TLaunchRequest& request : submitted)
        EXPECT_TRUE(request == setup);
}

TEST_F(Submitting, AnEmptyShellRestoresTheRealOne) {
    TempFolder game;
    const fs::path record = game.Path() / "game.record";
    WriteFile(game.Path() / "data" / "Vorlanth.exe", RecorderScript(record), true);

    SetShellOpen(Recorder());
    SetShellOpen({});
    SubmitLaunchRequest(SetupRequest(nullptr, ToWindowsPath(game.Path().string()) + "\\"));
    EXPECT_TRUE(submitted.empty());
    const auto got = AwaitRecord(record);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->arguments, std::vector<std::string>{"--setup"});
    EXPECT_EQ(got->directory, (game.Path() / "data").string());
}

} // namespace
