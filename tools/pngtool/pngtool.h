// The pieces of pngtool shared between its files: the usage error, and the commands once their
// arguments are parsed (main.cpp parses them and turns errors into messages and exit codes).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TPNGObject;

namespace pngtool {

// A command line that cannot be run; the text names the argument at fault and the reason.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message on one line: every CR LF becomes one space.
std::string OneLine(const std::string& message);

// info, dump and draw print from or draw a loaded image.
void Info(TPNGObject& image);
void Dump(TPNGObject& image);
void Draw(TPNGObject& image, const std::string& outName, std::int32_t width, std::int32_t height);

// True when both images hold the same image memory: everything dump prints.
bool SameImageMemory(const TPNGObject& a, const TPNGObject& b);

// The saving settings of the resave command, each applied only when given.
struct TSaveOptions {
    int FilterSet = -1;
    int Level = -1;
    int Interlace = -1;
    long long IdatLimit = -1;
};
void Resave(TPNGObject& image, const std::string& outName, const TSaveOptions& options);

// convert: the kind of a file by its extension.
enum class TFileKind { Unknown, Png, Bmp };
TFileKind KindOf(const std::string& fileName);
void Convert(const std::string& inName, TFileKind inKind, const std::string& outName);

// optimize: Level -1 is the default level, AllLevels tries levels 1 to 9 as well; Interlace -1
// keeps the input's.
struct TOptimizeOptions {
    int Level = -1;
    bool AllLevels = false;
    int Interlace = -1;
    bool Force = false;
};
void Optimize(const std::string& inName, const std::string& outName, const TOptimizeOptions& options);

// check: one line per file; returns the exit code (0 when every file loads, 2 otherwise).
int Check(const std::vector<std::string>& fileNames);

} // namespace pngtool
