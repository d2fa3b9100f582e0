// The launcher's requests and their hand-over to the shell.
#include "launcher/launch.h"

#include <cctype>
#include <cstdint>
#include <utility>

#include "platform/kernel.h"
#include "platform/shell.h"

namespace {

// A path buffer as the launcher has always used: MAX_PATH characters and a terminator.
constexpr DWORD kPathBuffer = 261;

TShellOpen& InjectedShell() {
    static TShellOpen shell;
    return shell;
}

bool IsRegistryFile(const std::string& file) {
    if (file.size() < 4) return false;
    std::string extension = file.substr(file.size() - 4);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".reg";
}

void RealShellOpen(const TLaunchRequest& request) {
    const auto result = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(request.Owner, request.Verb.c_str(), request.File.c_str(),
                      request.Parameters ? request.Parameters->c_str() : nullptr, request.Directory.c_str(),
                      request.ShowCommand));
    // Wine knows no program for registry files: the fix then goes to the registry editor itself, where
    // Windows' own association would send it.
    if (result == SE_ERR_NOASSOC && IsRegistryFile(request.File)) {
        const std::string quoted = "\"" + request.File + "\"";
        ShellExecuteA(request.Owner, "open", "regedit.exe", quoted.c_str(), request.Directory.c_str(),
                      request.ShowCommand);
    }
}

TLaunchRequest GameRequest(HWND owner, const std::string& ownDirectory,
                           std::optional<std::string> parameters) {
    return {owner,
            "open",
            ownDirectory + "data\\Vorlanth.exe",
            std::move(parameters),
            ownDirectory + "data\\",
            SW_SHOWNORMAL};
}

} // namespace

std::string OwnDirectoryOf(const std::string& executablePath) {
    const std::size_t separator = executablePath.find_last_of("\\:");
    if (separator == std::string::npos) return {};
    return executablePath.substr(0, separator + 1);
}

std::string OwnDirectory() {
    char buffer[kPathBuffer] = {};
    GetModuleFileNameA(nullptr, buffer, kPathBuffer);
    return OwnDirectoryOf(buffer);
}

TLaunchRequest StartGameRequest(HWND owner, const std::string& ownDirectory) {
    return GameRequest(owner, ownDirectory, std::nullopt);
}

TLaunchRequest SetupRequest(HWND owner, const std::string& ownDirectory) {
    return GameRequest(owner, ownDirectory, "--setup");
}

TLaunchRequest FixFileRequest(HWND owner, const std::string& ownDirectory) {
    return {owner, "open", ownDirectory + "DivX Fix.reg", std::nullopt, ownDirectory, SW_SHOWNORMAL};
}

void SetShellOpen(TShellOpen shellOpen) {
    InjectedShell() = std::move(shellOpen);
}

void SubmitLaunchRequest(const TLaunchRequest& request) {
    if (const TShellOpen& shell = InjectedShell()) {
        shell(request);
    } else {
        RealShellOpen(request);
    }
}
