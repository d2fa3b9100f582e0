// Mapping between the program's Windows-form paths and Unix paths.
#include "platform/winpath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The entry of folder whose name equals name ignoring ASCII case; the first in byte order when
// several do, so the choice does not depend on the directory's order.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (SameIgnoringCase(candidate, name) && (!found || candidate < *found)) found = candidate;
    }
    ::closedir(dir);
    return found;
}

// The folder a drive letter stands for, or empty when the drive does not exist.
std::optional<std::string> DriveRoot(char letter) {
    letter = AsciiLower(letter);
    if (letter == 'z') return std::string("/");
    std::string prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0') {
        prefix = wine;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        prefix = std::string(home) + "/.wine";
    } else {
        return std::nullopt;
    }
    std::string root = prefix + "/dosdevices/" + letter + ":";
    if (!IsDirectory(root)) return std::nullopt;
    return root;
}

} // namespace

std::string ToWindowsPath(const std::string& unixPath) {
    std::string result = !unixPath.empty() && unixPath.front() == '/' ? "Z:" + unixPath : unixPath;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

std::optional<std::string> FromWindowsPath(const std::string& windowsPath) {
    std::string root;
    std::size_t position = 0;
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                          ((windowsPath[0] >= 'A' && windowsPath[0] <= 'Z') ||
                           (windowsPath[0] >= 'a' && windowsPath[0] <= 'z'));
    if (hasDrive) {
        // "C:name" means the drive's current directory, which this system does not keep.
        if (windowsPath.size() > 2 && !IsSeparator(windowsPath[2])) return std::nullopt;
        auto driveRoot = DriveRoot(windowsPath[0]);
        if (!driveRoot) return std::nullopt;
        root = *driveRoot;
        position = 2;
    } else if (!windowsPath.empty() && IsSeparator(windowsPath[0])) {
        if (windowsPath.size() > 1 && IsSeparator(windowsPath[1])) return std::nullopt; // UNC share
        root = "/"; // the root of the current drive, which is Z:
    } else if (windowsPath.empty()) {
        return std::nullopt;
    }
    const bool absolute = !root.empty();

    std::vector<std::string> components;
    while (position < windowsPath.size()) {
        while (position < windowsPath.size() && IsSeparator(windowsPath[position]))
            ++position;
        const std::size_t end = std::find_if(windowsPath.begin() + static_cast<std::ptrdiff_t>(position),
                                             windowsPath.end(), IsSeparator) -
                                windowsPath.begin();
        std::string component = windowsPath.substr(position, end - position);
        position = end;
        if (component.empty() || component == ".") continue;
        if (component == ".." && (absolute || (!components.empty() && components.back() != ".."))) {
            if (!components.empty()) components.pop_back();
            continue;
        }
        components.push_back(std::move(component));
    }

    std::string result = root;
    for (const std::string& component : components) {
        std::string exact = Join(result, component);
        if (component != ".." && !Exists(exact)) {
            if (auto match = FindIgnoringCase(result, component)) exact = Join(result, *match);
        }
        result = std::move(exact);
    }
    if (result.empty()) return std::string(1, '.');
    return result;
}
