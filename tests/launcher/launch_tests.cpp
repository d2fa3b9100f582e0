// The launcher's launch logic: its own folder, the three requests, the hand-over to the shell, and
// end to end a copied launcher starting the game, its setup and the registry fix from its folder.
#include <gtest/gtest.h>

#include <spawn.h>
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

extern char** environ;

namespace fs = std::filesystem;

// Failures show the six values; found by argument lookup, hence outside the anonymous namespace.
static void PrintTo(const TLaunchRequest& r, std::ostream* out) {
    *out << "{" << static_cast<const void*>(r.Owner) << ", " << r.Verb << ", " << r.File << ", "
         << (r.Parameters ? "\"" + *r.Parameters + "\"" : "null") << ", " << r.Directory << ", "
         << r.ShowCommand << "}";
}

namespace {

// A folder under the temp directory, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("vorlanth launch " + std::to_string(::getpid()) + " " + std::to_string(counter++));
        fs::create_directories(path_);
        path_ = fs::canonical(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& content, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

// A script recording its argument count, arguments and working directory, renamed into place
// when complete.
std::string RecorderScript(const fs::path& record) {
    const std::string out = "'" + record.string() + "'";
    return "#!/bin/sh\n"
           "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > " +
           out + ".part && mv " + out + ".part " + out + "\n";
}

struct Record {
    std::vector<std::string> arguments;
    std::string directory;
};

// Polls for a recorder's file for at most ten seconds.
std::optional<Record> AwaitRecord(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(file);
    Record record;
    std::string line;
    std::getline(in, line);
    const int count = std::stoi(line);
    for (int i = 0; i < count && std::getline(in, line); ++i)
        record.arguments.push_back(line);
    std::getline(in, record.directory);
    return record;
}

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

// ---- End to end -------------------------------------------------------------------------------

// <tmp>/My Games/Vorlanth Test/ with the probe launcher, data/Vorlanth.exe and "DivX Fix.reg",
// and a fake wine in a folder of its own.
class GameFolder : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::path(temp_.Path()) / "My Games" / "Vorlanth Test";
        fs::create_directories(folder / "data");
        WriteFile(folder / "DivX Fix.reg", "REGEDIT4\n", false);
        fs::copy_file(LAUNCH_PROBE_PATH, folder / "launch_probe");
        fs::permissions(folder / "launch_probe", fs::perms::owner_all);
        WriteFile(temp_.Path() / "fake bin" / "wine", RecorderScript(WineRecord()), true);
        if (const char* path = std::getenv("PATH")) oldPath_ = path;
    }
    void TearDown() override {
        if (oldPath_) {
            ::setenv("PATH", oldPath_->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
    }
    void PutWineFirstOnPath() {
        const std::string path =
            (temp_.Path() / "fake bin").string() + ":" + oldPath_.value_or("/usr/bin:/bin");
        ::setenv("PATH", path.c_str(), 1);
    }
    fs::path GameRecord() const { return temp_.Path() / "game.record"; }
    fs::path WineRecord() const { return temp_.Path() / "wine.record"; }

    // Runs the copied launcher from somewhere else, so only its own location can lead it home.
    int RunProbe(const char* which) {
        const std::string program = (folder / "launch_probe").string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(which), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, "/");
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return -1;
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path folder;

private:
    TempFolder temp_;
    std::optional<std::string> oldPath_;
};

TEST_F(GameFolder, NativeGameStartsInItsDataFolder) {
    WriteFile(folder / "data" / "Vorlanth.exe", RecorderScript(GameRecord()), true);
    const std::pair<const char*, std::vector<std::string>> cases[] = {{"start", {}}, {"setup", {"--setup"}}};
    for (const auto& [which, arguments] : cases) {
        fs::remove(GameRecord());
        ASSERT_EQ(RunProbe(which), 0) << which;
        const auto got = AwaitRecord(GameRecord());
        ASSERT_TRUE(got.has_value()) << which;
        EXPECT_EQ(got->arguments, arguments) << which;
        EXPECT_EQ(got->directory, (folder / "data").string()) << which;
    }
}

TEST_F(GameFolder, WindowsGameAndFixGoThroughWine) {
    WriteFile(folder / "data" / "Vorlanth.exe", std::string("MZ\x90\0\x03\0", 6), false);
    PutWineFirstOnPath();
    const std::string game = (folder / "data" / "Vorlanth.exe").string();
    const std::string fix = (folder / "DivX Fix.reg").string();
    struct Case {
        const char* which;
        std::vector<std::string> arguments;
        fs::path directory;
    };
    const Case cases[] = {
        {"start", {game}, folder / "data"},
        {"setup", {game, "--setup"}, folder / "data"},
        {"fix", {"regedit", fix}, folder},
    };
    for (const Case& c : cases) {
        fs::remove(WineRecord());
        ASSERT_EQ(RunProbe(c.which), 0) << c.which;
        const auto got = AwaitRecord(WineRecord());
        ASSERT_TRUE(got.has_value()) << c.which;
        EXPECT_EQ(got->arguments, c.arguments) << c.which;
        EXPECT_EQ(got->directory, c.directory.string()) << c.which;
    }
}

} // namespace
