// What the launcher starts: the game, its setup and the video-codec registry fix, all found beside
// the launcher itself, and the hand-over of such a request to the shell.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/wintypes.h"

// The folder of an executable path: everything up to and including the last '\' or ':', whichever
// comes later; empty when there is neither.
std::string OwnDirectoryOf(const std::string& executablePath);

// The folder the running launcher lives in, asked for afresh on every call.
std::string OwnDirectory();

// One shell open request, the six values ShellExecuteA takes.
struct TLaunchRequest {
    HWND Owner;
    std::string Verb;
    std::string File;
    std::optional<std::string> Parameters; // none: a null pointer, which is not the same as ""
    std::string Directory;
    int ShowCommand;

    bool operator==(const TLaunchRequest&) const = default;
};

// The game itself, data\Vorlanth.exe, started in data\.
TLaunchRequest StartGameRequest(HWND owner, const std::string& ownDirectory);
// The game's own settings dialog: the game started with --setup.
TLaunchRequest SetupRequest(HWND owner, const std::string& ownDirectory);
// The registry fix for the video codec, merged from the launcher's folder.
TLaunchRequest FixFileRequest(HWND owner, const std::string& ownDirectory);

// The shell a request goes to; tests put a recorder in its place.
using TShellOpen = std::function<void(const TLaunchRequest&)>;
// Replaces the shell; an empty function puts the real one back.
void SetShellOpen(TShellOpen shellOpen);
// Hands the request to the shell and returns at once; the outcome is not reported.
void SubmitLaunchRequest(const TLaunchRequest& request);
