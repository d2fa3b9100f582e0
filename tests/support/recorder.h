// Real processes in tests: temporary folders, scripts that record how they were started, and
// environment changes undone at the end of a test.
#pragma once

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// A folder under the temp directory, with a space in its name, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("vorlanth test " + std::to_string(::getpid()) + " " + std::to_string(counter++));
        fs::create_directories(path_);
        path_ = fs::canonical(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& content, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, executable ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                     : fs::perms::owner_read | fs::perms::owner_write);
}

// A script that writes its argument count, its arguments one a line, its working directory, what
// its stdin is, and whether descriptor 57 came along, then renames the file into place so a
// reader never sees half of it.
inline std::string RecorderScript(const fs::path& record) {
    const std::string out = "'" + record.string() + "'";
    return "#!/bin/sh\n"
           "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P;\n"
           "  readlink /proc/$$/fd/0; if [ -e /proc/$$/fd/57 ]; then echo leaked; else echo clean; fi; } > " +
           out + ".part && mv " + out + ".part " + out + "\n";
}

struct Record {
    std::vector<std::string> arguments;
    std::string directory;
    std::string input;
    std::string descriptor57;
};

// Waits for a recorder's file, polling, for at most ten seconds.
inline std::optional<Record> AwaitRecord(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(file);
    Record record;
    std::string line;
    std::getline(in, line);
    const int count = std::stoi(line);
    for (int i = 0; i < count && std::getline(in, line); ++i)
        record.arguments.push_back(line);
    std::getline(in, record.directory);
    std::getline(in, record.input);
    std::getline(in, record.descriptor57);
    return record;
}

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace testsupport
