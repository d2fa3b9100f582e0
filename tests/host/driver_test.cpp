// The whole launcher in a process of its own, one button pressed: the program ends with exit code
// 0 after Start Game and Exit, and each button's request carries the launcher's own folder.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "launcher/launch.h"
#include "platform/winpath.h"

namespace {

struct TRun {
    int ExitCode = -1;
    std::string Output;
};

TRun RunDriver(const std::string& button) {
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + LAUNCHER_DRIVER_PATH + "' " +
                                button + " --record 2>/dev/null";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        run.Output += buffer.data();
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(LauncherProcess, EachButtonEndsOrRequestsAsItShould) {
    const std::string own = OwnDirectoryOf(ToWindowsPath(LAUNCHER_DRIVER_PATH));
    const struct {
        const char* button;
        std::string output;
    } cases[] = {
        {"start", "request open|" + own + "data\\Vorlanth.exe|(none)|" + own + "data\\|1\n"},
        {"setup", "request open|" + own + "data\\Vorlanth.exe|--setup|" + own + "data\\|1\n"},
        {"fix", "request open|" + own + "DivX Fix.reg|(none)|" + own + "|1\n"},
        {"exit", ""},
    };
    for (const auto& c : cases) {
        const TRun run = RunDriver(c.button);
        EXPECT_EQ(run.ExitCode, 0) << c.button;
        EXPECT_EQ(run.Output, c.output) << c.button;
    }
}

} // namespace
