// End to end: the launcher copied into a game folder whose path has spaces, started from
// elsewhere, starts the game and its setup from data\ and hands Windows programs and the registry
// fix to wine. The copy is the launcher driver: the real window, handlers and shell with one
// button pressed.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <optional>
#include <string>
#include <vector>

#include "support/recorder.h"

extern char** environ;

namespace {

using namespace testsupport;

class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = Temp.Path() / "My Games" / "Vorlanth Test";
        fs::create_directories(Folder / "data");
        WriteFile(Folder / "DivX Fix.reg", "REGEDIT4\n", false);
        fs::copy_file(LAUNCHER_DRIVER_PATH, Folder / "Vorlanth Launcher");
        fs::permissions(Folder / "Vorlanth Launcher", fs::perms::owner_all);
        WriteFile(Temp.Path() / "fake bin" / "wine", RecorderScript(WineRecord()), true);
    }
    fs::path GameRecord() const { return Temp.Path() / "game.record"; }
    fs::path WineRecord() const { return Temp.Path() / "wine.record"; }

    // Runs the copied launcher from the root folder, so only its own location leads it home.
    int Run(const char* button) {
        const std::string program = (Folder / "Vorlanth Launcher").string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(button), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, "/");
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return -1;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempFolder Temp;
    fs::path Folder;
    ScopedEnvironment Offscreen{"QT_QPA_PLATFORM", "offscreen"};
};

TEST_F(GameFolder, NativeGameStartsInItsDataFolder) {
    WriteFile(Folder / "data" / "Vorlanth.exe", RecorderScript(GameRecord()), true);
    const std::pair<const char*, std::vector<std::string>> cases[] = {{"start", {}}, {"setup", {"--setup"}}};
    for (const auto& [button, arguments] : cases) {
        fs::remove(GameRecord());
        ASSERT_EQ(Run(button), 0) << button;
        const auto got = AwaitRecord(GameRecord());
        ASSERT_TRUE(got.has_value()) << button;
        EXPECT_EQ(got->arguments, arguments) << button;
        EXPECT_EQ(got->directory, (Folder / "data").string()) << button;
    }
}

TEST_F(GameFolder, StartGameEndsTheLauncherEvenWhenTheGameIsMissing) {
    // No data/Vorlanth.exe: the shell's request fails, and the launcher still closes normally.
    ASSERT_FALSE(fs::exists(Folder / "data" / "Vorlanth.exe"));
    EXPECT_EQ(Run("start"), 0);
}

TEST_F(GameFolder, WindowsGameAndFixGoThroughWine) {
    WriteFile(Folder / "data" / "Vorlanth.exe", std::string("MZ\x90\0\x03\0", 6), false);
    const char* path = std::getenv("PATH");
    ScopedEnvironment wineFirst("PATH",
                                (Temp.Path() / "fake bin").string() + ":" + (path ? path : "/usr/bin:/bin"));
    const std::string game = (Folder / "data" / "Vorlanth.exe").string();
    const std::string fix = (Folder / "DivX Fix.reg").string();
    struct Case {
        const char* button;
        std::vector<std::string> arguments;
        fs::path directory;
    };
    const Case cases[] = {
        {"start", {game}, Folder / "data"},
        {"setup", {game, "--setup"}, Folder / "data"},
        {"fix", {"regedit", fix}, Folder},
    };
    for (const Case& c : cases) {
        fs::remove(WineRecord());
        ASSERT_EQ(Run(c.button), 0) << c.button;
        const auto got = AwaitRecord(WineRecord());
        ASSERT_TRUE(got.has_value()) << c.button;
        EXPECT_EQ(got->arguments, c.arguments) << c.button;
        EXPECT_EQ(got->directory, c.directory.string()) << c.button;
    }
}

} // namespace
