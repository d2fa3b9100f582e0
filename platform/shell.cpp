// Stand-in for the shell's open request: find the file, pick what starts it, start it detached.
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/winpath.h"

extern char** environ;

namespace {

constexpr int kStarted = 42;

HINSTANCE Result(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

bool HasExtension(const std::string& path, const char* extension) {
    const std::size_t length = std::strlen(extension);
    if (path.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (AsciiLower(path[path.size() - length + i]) != extension[i]) return false;
    return true;
}

std::string CurrentDirectory() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// The child changes directory before it execs, so every path handed to it must be absolute.
std::string Absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::string base = CurrentDirectory();
    if (base.empty() || path == ".") return base.empty() ? path : base;
    if (base.back() != '/') base += '/';
    base.append(path);
    return base;
}

bool IsRelativeWindowsPath(const char* path) {
    return !IsSeparator(path[0]) && !(path[0] != '\0' && path[1] == ':');
}

// A program by name along $PATH, as a shell would find it.
std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string folders = path;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folders.find(':', start);
        // An empty entry means the current directory.
        std::string folder(1, '.');
        if (end != start && start < folders.size())
            folder = folders.substr(start, end == std::string::npos ? end : end - start);
        folder += '/';
        folder.append(name);
        const std::string candidate = Absolute(folder);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
}

std::string Header(const std::string& path) {
    char bytes[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    ssize_t count;
    do {
        count = ::read(fd, bytes, sizeof bytes);
    } while (count < 0 && errno == EINTR);
    ::close(fd);
    return count > 0 ? std::string(bytes, static_cast<std::size_t>(count)) : std::string();
}

int ResultOfError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case ETXTBSY: return SE_ERR_ACCESSDENIED;
    case ENOMEM:
    case E2BIG:
    case EAGAIN: return SE_ERR_OOM;
    default: return ERROR_BAD_FORMAT;
    }
}

// What the started side reports back before it is gone: the step that failed and errno.
enum class Step : int { Start, Directory, Exec };
struct Failure {
    Step step;
    int error;
};

[[noreturn]] void Fail(int channel, Step step) {
    const Failure failure{step, errno};
    ssize_t written;
    do {
        written = ::write(channel, &failure, sizeof failure);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

// The started process between fork and exec: async-signal-safe calls only, since the parent
// may have had other threads holding locks at the fork.
[[noreturn]] void BecomeTarget(int channel, const char* program, char* const* argv, const char* directory,
                               int descriptorLimit) {
    // Blocked signals and ignored dispositions survive exec; the program should not inherit ours.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &defaults, nullptr);

    if (::chdir(directory) != 0) Fail(channel, Step::Directory);
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0) Fail(channel, Step::Start);
    if (input != STDIN_FILENO) {
        if (::dup2(input, STDIN_FILENO) < 0) Fail(channel, Step::Start);
        ::close(input);
    }
    // Everything above 2 closes at exec, the report channel included (it already does).
    if (::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < descriptorLimit; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(program, argv, environ);
    Fail(channel, Step::Exec);
}

// Starts program with argv in directory as a grandchild in its own session, so the caller never
// waits for it and no zombie is left behind. Returns kStarted once the exec has happened, or the
// error result when it did not.
int StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& directory) {
    // Everything the child needs is made here; after fork there is no allocation.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    rlimit limit{};
    int descriptorLimit = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < 1u << 20)
        descriptorLimit = static_cast<int>(limit.rlim_cur);

    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) return SE_ERR_OOM;
    // The report end must not be one of the descriptors the target is about to replace.
    if (channel[1] <= STDERR_FILENO) {
        const int moved = ::fcntl(channel[1], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(channel[1]);
        if (moved < 0) {
            ::close(channel[0]);
            return SE_ERR_OOM;
        }
        channel[1] = moved;
    }

    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return SE_ERR_OOM;
    }
    if (middle == 0) {
        ::close(channel[0]);
        ::setsid();
        const pid_t target = ::fork();
        if (target < 0) Fail(channel[1], Step::Start);
        if (target > 0) ::_exit(0);
        BecomeTarget(channel[1], program.c_str(), argv.data(), directory.c_str(), descriptorLimit);
    }

    ::close(channel[1]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {}
    // The channel reaches end of file when the target has exec'd (close-on-exec) or died.
    Failure failure{};
    std::size_t received = 0;
    while (received < sizeof failure) {
        const ssize_t count =
            ::read(channel[0], reinterpret_cast<char*>(&failure) + received, sizeof failure - received);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        received += static_cast<std::size_t>(count);
    }
    ::close(channel[0]);
    if (received < sizeof failure) return kStarted;
    switch (failure.step) {
    case Step::Directory: return ERROR_PATH_NOT_FOUND;
    case Step::Start: return SE_ERR_OOM;
    case Step::Exec: return ResultOfError(failure.error);
    }
    return ERROR_BAD_FORMAT;
}

// The Unix path of the file to open, or the error result.
std::optional<std::string> LocateFile(const char* file, const char* directory, int& error) {
    std::optional<std::string> path;
    // Like the shell, a relative name is looked for in the working directory given first.
    if (directory != nullptr && *directory != '\0' && IsRelativeWindowsPath(file)) {
        std::string inDirectory = directory;
        if (!IsSeparator(inDirectory.back())) inDirectory += '\\';
        path = FromWindowsPath(inDirectory + file);
        if (path && ::access(path->c_str(), F_OK) != 0) path.reset();
    }
    if (!path) path = FromWindowsPath(file);
    if (!path) {
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0) {
        error = errno == EACCES    ? SE_ERR_ACCESSDENIED
                : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                   : ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    return Absolute(*path);
}

} // namespace

HINSTANCE ShellExecuteA(HWND /*owner*/, const char* verb, const char* file, const char* parameters,
                        const char* directory, int /*showCommand*/) {
    if (verb != nullptr && *verb != '\0') {
        const std::string lowered = [&] {
            std::string text = verb;
            for (char& c : text)
                c = AsciiLower(c);
            return text;
        }();
        if (lowered != "open") return Result(SE_ERR_NOASSOC);
    }
    if (file == nullptr || *file == '\0') return Result(ERROR_FILE_NOT_FOUND);

    std::string workingDirectory;
    if (directory == nullptr || *directory == '\0') {
        workingDirectory = CurrentDirectory();
    } else {
        const auto mapped = FromWindowsPath(directory);
        struct stat info {};
        if (!mapped || ::stat(mapped->c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return Result(ERROR_PATH_NOT_FOUND);
        workingDirectory = Absolute(*mapped);
    }

    int error = 0;
    const auto path = LocateFile(file, directory, error);
    if (!path) return Result(error);

    struct stat info {};
    ::stat(path->c_str(), &info);
    const std::string header = S_ISREG(info.st_mode) ? Header(*path) : std::string();
    const bool elf = header.rfind("\x7f"
                                  "ELF",
                                  0) == 0;
    const bool script = header.rfind("#!", 0) == 0;
    const bool executable = ::access(path->c_str(), X_OK) == 0;

    std::string program;
    std::vector<std::string> arguments;
    if ((elf || script) && executable) {
        program = *path;
        arguments.push_back(*path);
        for (std::string& argument : SplitCommandLine(parameters))
            arguments.push_back(std::move(argument));
    } else if (elf) {
        return Result(SE_ERR_ACCESSDENIED);
    } else if (S_ISREG(info.st_mode) &&
               (HasExtension(*path, ".exe") || HasExtension(*path, ".com") || header.rfind("MZ", 0) == 0)) {
        const auto wine = FindOnPath("wine");
        if (!wine) return Result(SE_ERR_NOASSOC);
        program = *wine;
        arguments = {*wine, *path};
        for (std::string& argument : SplitCommandLine(parameters))
            arguments.push_back(std::move(argument));
    } else if (S_ISREG(info.st_mode) && HasExtension(*path, ".reg")) {
        // Merging into the registry is what opening a .reg file means; parameters have no place.
        const auto wine = FindOnPath("wine");
        if (!wine) return Result(SE_ERR_NOASSOC);
        program = *wine;
        arguments = {*wine, "regedit", *path};
    } else {
        // Documents and folders go to the desktop's handler for their type.
        const auto opener = FindOnPath("xdg-open");
        if (!opener) return Result(SE_ERR_NOASSOC);
        program = *opener;
        arguments = {*opener, *path};
    }
    return Result(StartDetached(program, arguments, workingDirectory));
}

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> arguments;
    if (commandLine == nullptr) return arguments;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0') return arguments;
        std::string argument;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                std::size_t count = 0;
                for (; *p == '\\'; ++p)
                    ++count;
                if (*p == '"') {
                    // Pairs of backslashes halve; an odd one out escapes the quote.
                    argument.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        argument += '"';
                        ++p;
                    }
                } else {
                    argument.append(count, '\\');
                }
            } else if (*p == '"') {
                if (quoted && p[1] == '"') {
                    argument += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                argument += *p++;
            }
        }
        arguments.push_back(std::move(argument));
    }
}
