// Windows-form paths, the shell's open request and the module path. The open request is tested by
// really starting small scripts in temporary folders with spaces in their names; a fake `wine` and
// `xdg-open` first on PATH record what they were given.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/shell.h"
#include "platform/winpath.h"
#include "support/recorder.h"

namespace fs = std::filesystem;

namespace {

using namespace testsupport;

std::string OriginalPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "/usr/bin:/bin";
}

std::intptr_t Code(HINSTANCE result) {
    return reinterpret_cast<std::intptr_t>(result);
}

std::string Windows(const fs::path& path) {
    return ToWindowsPath(path.string());
}

// ---- Paths ------------------------------------------------------------------------------------

TEST(WindowsPath, FromUnix) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/ann/game/launcher", "Z:\\home\\ann\\game\\launcher"},
        {"/", "Z:\\"},
        {"/My Games/x y.exe", "Z:\\My Games\\x y.exe"},
        {"data/Vorlanth.exe", "data\\Vorlanth.exe"},
    };
    for (const auto& [unixPath, windowsPath] : cases)
        EXPECT_EQ(ToWindowsPath(unixPath), windowsPath) << unixPath;
}

TEST(WindowsPath, ToUnixWithoutTheDisk) {
    // Folders that do not exist, so only the mapping and the dots are at work.
    const std::pair<const char*, const char*> cases[] = {
        {"Z:\\no-such-vorlanth\\a\\b", "/no-such-vorlanth/a/b"},
        {"z:/no-such-vorlanth/a", "/no-such-vorlanth/a"},
        {"Z:\\", "/"},
        {"Z:", "/"},
        {"Z:\\no-such-vorlanth\\data\\", "/no-such-vorlanth/data"},
        {"Z:\\no-such-vorlanth\\\\a\\.\\b\\..\\c", "/no-such-vorlanth/a/c"},
        {"Z:\\..\\no-such-vorlanth", "/no-such-vorlanth"},
        {"\\no-such-vorlanth\\x", "/no-such-vorlanth/x"},
        {"no-such-vorlanth\\x", "no-such-vorlanth/x"},
    };
    for (const auto& [windowsPath, unixPath] : cases) {
        const auto mapped = FromWindowsPath(windowsPath);
        ASSERT_TRUE(mapped.has_value()) << windowsPath;
        EXPECT_EQ(*mapped, unixPath) << windowsPath;
    }
}

TEST(WindowsPath, PathsWithoutAPlace) {
    TempFolder prefix; // a Wine prefix without drives
    ScopedEnvironment wine("WINEPREFIX", prefix.Path().string());
    for (const char* path : {"", "Z:relative", "\\\\server\\share\\x", "C:\\Windows", "Q:\\x"})
        EXPECT_FALSE(FromWindowsPath(path).has_value()) << path;
}

TEST(WindowsPath, ResolvesCaseInsensitively) {
    TempFolder temp;
    const fs::path game = temp.Path() / "Game Folder" / "Data";
    WriteFile(game / "Vorlanth.EXE", "MZ", false);
    fs::create_directories(temp.Path() / "Twin");
    fs::create_directories(temp.Path() / "twin");
    const std::string root = Windows(temp.Path());

    const std::pair<std::string, fs::path> cases[] = {
        {root + "\\GAME folder\\data\\vorlanth.exe", game / "Vorlanth.EXE"},
        {root + "\\game folder\\DATA\\", game},
        // Names found neither way are kept as written, the folders before them still resolved.
        {root + "\\game folder\\data\\Missing.TXT", game / "Missing.TXT"},
        {root + "\\game folder\\nowhere\\x", temp.Path() / "Game Folder" / "nowhere" / "x"},
        // The exact name wins; otherwise the first of several matches in byte order.
        {root + "\\twin", temp.Path() / "twin"},
        {root + "\\Twin", temp.Path() / "Twin"},
        {root + "\\TWIN", temp.Path() / "Twin"},
    };
    for (const auto& [windowsPath, unixPath] : cases) {
        const auto mapped = FromWindowsPath(windowsPath);
        ASSERT_TRUE(mapped.has_value()) << windowsPath;
        EXPECT_EQ(*mapped, unixPath.string()) << windowsPath;
    }
    EXPECT_EQ(FromWindowsPath(Windows(game / "Vorlanth.EXE")), (game / "Vorlanth.EXE").string());
}

TEST(WindowsPath, OtherDrivesThroughTheWinePrefix) {
    TempFolder prefix;
    fs::create_directories(prefix.Path() / "drive_c" / "Program Files" / "Vorlanth");
    fs::create_directories(prefix.Path() / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix.Path() / "dosdevices" / "c:");
    ScopedEnvironment wine("WINEPREFIX", prefix.Path().string());

    const std::string drive = (prefix.Path() / "dosdevices" / "c:").string();
    EXPECT_EQ(FromWindowsPath("C:\\program files\\VORLANTH\\game.exe"),
              drive + "/Program Files/Vorlanth/game.exe");
    EXPECT_EQ(FromWindowsPath("c:\\"), drive);
    EXPECT_FALSE(FromWindowsPath("D:\\Program Files").has_value());
}

// ---- Command lines ----------------------------------------------------------------------------

TEST(CommandLine, SplitsTheWindowsWay) {
    using Arguments = std::vector<std::string>;
    const std::pair<const char*, Arguments> cases[] = {
        {"--setup", {"--setup"}},
        {"  a  b\tc  ", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"x \"\" y", {"x", "", "y"}},
        {"C:\\Games\\x\\", {"C:\\Games\\x\\"}}, // backslashes without a quote are literal
        {"a\\\"b", {"a\"b"}},                   // an odd one escapes the quote
        {"a\\\\\"b c\"", {"a\\b c"}},           // pairs halve and the quote still groups
        {"a\\\\\\\"b", {"a\\\"b"}},             // three: one backslash and a literal quote
        {"\"C:\\My Games\\\\\" next", {"C:\\My Games\\", "next"}},
        {"\"a\"\"b\" c", {"a\"b", "c"}}, // "" inside quotes is a quote
        {"\"open ended", {"open ended"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(SplitCommandLine(line), expected) << line;
    EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

// ---- The open request -------------------------------------------------------------------------

class ShellOpen : public testing::Test {
protected:
    ShellOpen() {
        WriteFile(Root() / "fake bin" / "wine", RecorderScript(WineRecord()), true);
        WriteFile(Root() / "fake bin" / "xdg-open", RecorderScript(OpenerRecord()), true);
    }
    fs::path Root() const { return temp_.Path(); }
    fs::path WineRecord() const { return Root() / "wine.record"; }
    fs::path OpenerRecord() const { return Root() / "xdg-open.record"; }

private:
    TempFolder temp_;
    ScopedEnvironment path_{"PATH", (Root() / "fake bin").string() + ":" + OriginalPath()};
};

TEST_F(ShellOpen, StartsANativeScriptDetachedInTheDirectory) {
    const fs::path record = Root() / "script.record";
    WriteFile(Root() / "Game Files" / "Run Me.sh", RecorderScript(record), true);
    fs::create_directories(Root() / "Work Dir");
    // A descriptor of ours without close-on-exec, which the target must not get.
    const int stray = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(stray, 0);
    ASSERT_EQ(::dup2(stray, 57), 57);
    ::close(stray);

    const HINSTANCE result = ShellExecuteA(
        nullptr, "OPEN", (Windows(Root()) + "\\game files\\RUN ME.SH").c_str(),
        "first \"second arg\" th\\\"ird \"\"", (Windows(Root()) + "\\WORK DIR").c_str(), SW_SHOWNORMAL);
    ::close(57);
    EXPECT_GT(Code(result), 32);
    // The target is not our child: nothing is left to reap, neither now nor later.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    const auto got = AwaitRecord(record);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->arguments, (std::vector<std::string>{"first", "second arg", "th\"ird", ""}));
    EXPECT_EQ(got->directory, (Root() / "Work Dir").string());
    EXPECT_EQ(got->input, "/dev/null");
    EXPECT_EQ(got->descriptor57, "clean");
}

TEST_F(ShellOpen, NoParametersMeansNoArguments) {
    const fs::path script = Root() / "Game Files" / "run.sh";
    struct Case {
        const char* parameters;
        bool relativeFile;
        bool withDirectory;
    };
    // A relative file is found in the directory given; without one, the current directory is used.
    const Case cases[] = {{nullptr, false, false}, {"", true, true}, {"   ", false, true}};
    for (const Case& c : cases) {
        const fs::path record = Root() / "run.record";
        fs::remove(record);
        WriteFile(script, RecorderScript(record), true);
        const std::string file = c.relativeFile ? "RUN.sh" : Windows(script);
        const std::string directory = Windows(script.parent_path());
        EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, file.c_str(), c.parameters,
                                     c.withDirectory ? directory.c_str() : nullptr, SW_SHOW)),
                  32);
        const auto got = AwaitRecord(record);
        ASSERT_TRUE(got.has_value()) << (c.parameters ? c.parameters : "(null)");
        EXPECT_TRUE(got->arguments.empty());
        EXPECT_EQ(got->directory, c.withDirectory ? script.parent_path().string()
                                                  : fs::canonical(fs::current_path()).string());
    }
}

TEST_F(ShellOpen, HandsWindowsFilesToWineAndDocumentsToTheDesktop) {
    struct Case {
        const char* name;
        std::string content;
        const char* parameters;
        bool toWine;
        std::vector<std::string> leading; // arguments before the file
        std::vector<std::string> trailing;
    };
    const Case cases[] = {
        {"Game.EXE", "MZ\x90", "-a \"b c\"", true, {}, {"-a", "b c"}},
        {"tool.com", "\xe9\x10", nullptr, true, {}, {}},
        {"game.bin", "MZ\x90\x00", "--setup", true, {}, {"--setup"}},
        {"DivX Fix.reg", "REGEDIT4\n", "ignored", true, {"regedit"}, {}},
        {"read me.txt", "hello", "ignored", false, {}, {}},
    };
    const fs::path directory = Root() / "Game Dir";
    for (const Case& c : cases) {
        fs::remove(WineRecord());
        fs::remove(OpenerRecord());
        const fs::path file = directory / c.name;
        WriteFile(file, c.content, false);
        EXPECT_GT(Code(ShellExecuteA(nullptr, "open", Windows(file).c_str(), c.parameters,
                                     Windows(directory).c_str(), SW_SHOWNORMAL)),
                  32)
            << c.name;
        const auto got = AwaitRecord(c.toWine ? WineRecord() : OpenerRecord());
        ASSERT_TRUE(got.has_value()) << c.name;
        std::vector<std::string> expected = c.leading;
        expected.push_back(file.string());
        expected.insert(expected.end(), c.trailing.begin(), c.trailing.end());
        EXPECT_EQ(got->arguments, expected) << c.name;
        EXPECT_EQ(got->directory, directory.string()) << c.name;
    }
}

TEST_F(ShellOpen, Failures) {
    WriteFile(Root() / "ok.sh", "#!/bin/sh\n", true);
    WriteFile(Root() / "lost.sh", "#!/no/such/vorlanth/interpreter\n", true);
    WriteFile(Root() / "locked", std::string("\x7f") + "ELF\x02\x01\x01", false);
    for (const char* name : {"game.exe", "fix.reg", "notes.txt"})
        WriteFile(Root() / name, "MZ", false);
    const std::string root = Windows(Root());
    struct Case {
        const char* verb;
        std::string file;
        std::optional<std::string> directory;
        int expected;
    };
    const Case cases[] = {
        {"print", root + "\\ok.sh", root, SE_ERR_NOASSOC},
        {"edit", root + "\\ok.sh", std::nullopt, SE_ERR_NOASSOC},
        {"open", root + "\\missing.sh", root, ERROR_FILE_NOT_FOUND},
        {"open", "missing.sh", root, ERROR_FILE_NOT_FOUND},
        {"open", "", root, ERROR_FILE_NOT_FOUND},
        {"open", root + "\\ok.sh", root + "\\no such folder", ERROR_PATH_NOT_FOUND},
        {"open", root + "\\ok.sh", root + "\\ok.sh", ERROR_PATH_NOT_FOUND}, // a file is no directory
        {"open", root + "\\ok.sh", "Q:\\", ERROR_PATH_NOT_FOUND},
        // The exec itself fails only in the started process; the error still comes back.
        {"open", root + "\\lost.sh", root, ERROR_FILE_NOT_FOUND},
        {"open", root + "\\locked", root, SE_ERR_ACCESSDENIED},
        // Neither Wine nor a desktop on PATH: nothing is associated.
        {"open", root + "\\game.exe", root, SE_ERR_NOASSOC},
        {"open", root + "\\fix.reg", root, SE_ERR_NOASSOC},
        {"open", root + "\\notes.txt", root, SE_ERR_NOASSOC},
    };
    ScopedEnvironment noDrives("WINEPREFIX", Root().string());
    ScopedEnvironment noPrograms("PATH", (Root() / "empty bin").string());
    for (const Case& c : cases) {
        EXPECT_EQ(Code(ShellExecuteA(nullptr, c.verb, c.file.c_str(), nullptr,
                                     c.directory ? c.directory->c_str() : nullptr, SW_SHOWNORMAL)),
                  c.expected)
            << c.verb << " " << c.file << " in " << c.directory.value_or("(null)");
    }
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, SW_SHOWNORMAL)),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(ShellOpen, ReturnsWhileTheTargetStillRuns) {
    const fs::path pidFile = Root() / "sleeper.pid";
    WriteFile(Root() / "sleeper.sh",
              "#!/bin/sh\necho $$ > '" + pidFile.string() + ".part' && mv '" + pidFile.string() + ".part' '" +
                  pidFile.string() + "'\nexec sleep 60\n",
              true);
    const auto start = std::chrono::steady_clock::now();
    const HINSTANCE result = ShellExecuteA(nullptr, "open", Windows(Root() / "sleeper.sh").c_str(), nullptr,
                                           Windows(Root()).c_str(), SW_HIDE);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GT(Code(result), 32);
    EXPECT_LT(elapsed, std::chrono::seconds(5));

    // Stop the sleeper we started; its pid file proves it was running after we had returned.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(pidFile) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(pidFile));
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 1);
    EXPECT_EQ(::kill(pid, SIGTERM), 0);
}

// ---- The module path --------------------------------------------------------------------------

TEST(ModuleFileName, IsTheRunningExecutableTruncatedAsWindowsDoes) {
    char full[4096];
    const DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 5u);
    EXPECT_EQ(std::strlen(full), length);
    EXPECT_EQ(std::string(full, 3), "Z:\\");
    EXPECT_EQ(FromWindowsPath(full), fs::canonical("/proc/self/exe").string());
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(full), full, sizeof full), 0u);

    struct Case {
        DWORD size, result, copied;
    };
    const Case cases[] = {
        {length + 1, length, length}, // fits with its terminator
        {length, length, length - 1}, // one short: truncated and terminated
        {5, 5, 4},
        {1, 1, 0},
        {0, 0, 0}, // no room at all: nothing written
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.size + 1, '#');
        EXPECT_EQ(GetModuleFileNameA(nullptr, buffer.data(), c.size), c.result) << c.size;
        if (c.size > 0) {
            EXPECT_EQ(std::string(buffer.data()), std::string(full, c.copied)) << c.size;
        }
        EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer, size " << c.size;
    }
}

} // namespace
