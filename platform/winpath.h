// Paths in the form the program sees them. The Unix root is drive Z: and separators are
// backslashes, so /home/ann/game reads as Z:\home\ann\game; other drive letters are Wine's
// (under $WINEPREFIX/dosdevices). Not a Windows call: the glue between the program's view of the
// file system and the real one.
#pragma once

#include <optional>
#include <string>

// Either separator, and ASCII lower case (other characters as they are), for code that reads paths.
inline bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The Windows form of a Unix path: absolute paths get drive Z:, every '/' becomes '\'.
std::string ToWindowsPath(const std::string& unixPath);

// The Unix path behind a Windows path. Accepts either separator; "." and ".." are applied as
// Windows does, without looking at the disk. Drive Z: is the Unix root, other drives go through
// $WINEPREFIX (default ~/.wine) /dosdevices/<letter>: when that exists. Each component that does
// not exist under its exact name is matched case-insensitively, as the Windows file system would;
// components found neither way are kept as given, so the caller can tell what is missing.
// Empty when the path is relative to a drive's current directory, a UNC path, or on a drive that
// does not exist. A path without a drive stays relative.
std::optional<std::string> FromWindowsPath(const std::string& windowsPath);
