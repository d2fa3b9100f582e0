// The whole launcher in a process of its own, one button pressed: the program ends with exit code
// 0 after Start Game and Exit, and each button's request carries the launcher's own folder.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "launcher/launch.h"
#include "platform/winpath.h"
#include "support/command.h"

namespace {

testsupport::CommandResult RunDriver(const std::string& button) {
    return testsupport::RunCommand(std::string("QT_QPA_PLATFORM=offscreen '") + LAUNCHER_DRIVER_PATH + "' " +
                                   button + " --record 2>/dev/null");
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
        const auto run = RunDriver(c.button);
        EXPECT_EQ(run.exitCode, 0) << c.button;
        EXPECT_EQ(run.out, c.output) << c.button;
    }
}

} // namespace
