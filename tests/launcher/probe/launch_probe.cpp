// A launcher without a window for the end-to-end tests: submits one request the way the buttons
// do, from the folder it was copied into. Usage: launch_probe start|setup|fix
#include <cstring>

#include "launcher/launch.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* which = argv[1];
    if (std::strcmp(which, "start") == 0) {
        SubmitLaunchRequest(StartGameRequest(nullptr, OwnDirectory()));
    } else if (std::strcmp(which, "setup") == 0) {
        SubmitLaunchRequest(SetupRequest(nullptr, OwnDirectory()));
    } else if (std::strcmp(which, "fix") == 0) {
        SubmitLaunchRequest(FixFileRequest(nullptr, OwnDirectory()));
    } else {
        return 2;
    }
    return 0;
}
