// Stand-in for the Windows shell's open request.
#pragma once

#include <string>
#include <vector>

#include "platform/wintypes.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

#ifndef _WIN32

// Show commands. There is no window system below the platform to honour them; they are accepted
// and passed over.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// ShellExecuteA's results: a value of 32 or less is one of these errors, anything above success.
constexpr int SE_ERR_OOM = 8;
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_PATH_NOT_FOUND = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int ERROR_BAD_FORMAT = 11;
constexpr int SE_ERR_NOASSOC = 31;

// Opens file as the shell would and returns at once, never waiting for what it started.
// verb: "open" or null; other verbs have no association here. file and directory are in Windows
// form (see winpath.h); a relative file is looked for in directory first, then in the current
// directory; null directory means the current one. parameters is a Windows command line, split
// with the usual Windows rules; null or empty means no arguments.
// What starts: a native executable (ELF or #! script, with execute permission) directly; a Windows
// executable (.exe, .com, or an MZ header) as "wine FILE PARAMETERS..."; a .reg file as
// "wine regedit FILE"; anything else as "xdg-open FILE". Wine's and xdg-open's absence is
// SE_ERR_NOASSOC. The target runs detached (its own session, not our child), in directory, with
// stdin from /dev/null and no descriptors of ours beyond 0-2.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int showCommand);

// Not a Windows call: the argument split of a Windows command line (whitespace separates, double
// quotes group, "" inside quotes is a quote, 2n backslashes before a quote are n backslashes and
// the quote counts, 2n+1 are n backslashes and a literal quote, other backslashes are literal).
std::vector<std::string> SplitCommandLine(const char* commandLine);

#endif // _WIN32
