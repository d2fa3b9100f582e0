// pngtool: looks into PNG files from the command line, converts them to and from BMP files, makes
// them smaller and checks them. Its output formats are a contract that scripts rely on; change them
// only by adding new commands or lines.
//
//   pngtool info FILE   one line per chunk object, then the header and the transparency kind
//   pngtool dump FILE   the image memory: geometry, colour table, rows, alpha and low-byte planes
//   pngtool resave IN OUT [--filters LIST] [--level N] [--interlace 0|1] [--idat-limit N]
//                       loads IN and saves it to OUT with the given settings (LIST: filter
//                       numbers separated by commas, or none)
//   pngtool draw FILE OUT.bmp [WIDTH HEIGHT]
//                       draws the image over a checkerboard and writes the result as a 24-bit BMP
//   pngtool convert IN OUT
//                       PNG to BMP or BMP to PNG, by the extensions; two of one kind are refused
//   pngtool optimize IN OUT [--level N|all] [--interlace 0|1] [--force]
//                       the smallest of the filter and level tries that decodes to the same image;
//                       never larger than IN unless forced; one line with both sizes
//   pngtool check FILE...
//                       "FILE: ok" or "FILE: error CLASS: MESSAGE" per file
//   pngtool --help | -h | help, pngtool --version
//
// Exit codes: 0 done, 1 usage error (a message naming the argument on standard error), 2 a file
// could not be loaded or written ("error CLASS: MESSAGE"; check: any file did not load).
//
// This file parses the command line; inspect.cpp and save.cpp hold the commands.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/stdstreams.h"
#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"
#include "tools/pngtool/pngtool.h"
#include "vorlanth/version.h"

namespace pngtool {
namespace {

const char kUsage[] =
    "usage: pngtool info FILE\n"
    "       pngtool dump FILE\n"
    "       pngtool draw FILE OUT.bmp [WIDTH HEIGHT]\n"
    "       pngtool resave IN OUT [--filters LIST] [--level N] [--interlace 0|1] [--idat-limit N]\n"
    "       pngtool convert IN OUT\n"
    "       pngtool optimize IN OUT [--level N|all] [--interlace 0|1] [--force]\n"
    "       pngtool check FILE...\n"
    "       pngtool --help | --version\n"
    "  info      lists the chunks of FILE, its header and its transparency kind\n"
    "  dump      prints the image memory of FILE (rows top to bottom, in hexadecimal)\n"
    "  draw      draws FILE over an 8 x 8 checkerboard of WIDTH x HEIGHT (default: its own size)\n"
    "            and writes the result to OUT.bmp as a 24-bit bitmap\n"
    "  resave    saves IN to OUT with the allowed filters (LIST: numbers 0 to 4 separated by\n"
    "            commas, or none), compression level (0 to 9), interlacing and data bytes per IDAT\n"
    "            chunk given\n"
    "  convert   converts a PNG file to a BMP file, or a BMP file to a PNG file, as the extensions\n"
    "            say (.png, .bmp, in any case); two files of one kind are refused (resave rewrites a\n"
    "            PNG file). A BMP file gets the pixels without alpha; a PNG file is saved with the\n"
    "            Sub filter at level 7\n"
    "  optimize  saves IN with each single filter 0 to 4 and with all five (the best per row), at\n"
    "            level N (default 9; all: at each level 1 to 9), keeps the smallest result that\n"
    "            decodes to the same image and writes it to OUT, interlaced as IN unless\n"
    "            --interlace says otherwise. When no result is smaller than IN, OUT gets IN's bytes\n"
    "            unchanged (--force: the smallest result all the same). Prints\n"
    "            \"IN SIZE -> OUT SIZE bytes (PERCENT), filters LIST, level N, interlace 0|1\"\n"
    "  check     loads each FILE and prints \"FILE: ok\" or \"FILE: error CLASS: MESSAGE\"\n"
    "exit codes: 0 done, 1 usage error, 2 a file could not be loaded or written (check: any FILE\n"
    "            did not load)\n";

const char kHint[] = "run \"pngtool --help\" for usage\n";

[[noreturn]] void Fail(const std::string& command, const std::string& what) {
    throw TUsageError(command.empty() ? what : command + ": " + what);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The arguments after the command, taken from the front: positional ones first, then options.
class TArguments {
public:
    TArguments(std::string command, int argc, char** argv)
        : FCommand(std::move(command)), FArgs(argv + 2, argv + argc) {}
    const std::string& Command() const { return FCommand; }
    bool Empty() const { return FNext == FArgs.size(); }
    // The next argument, the one named NAME in the usage.
    std::string Take(const char* name) {
        if (Empty()) Fail(FCommand, std::string("missing ") + name);
        return FArgs[FNext++];
    }
    // The value of an option just taken.
    std::string ValueOf(const std::string& option) {
        if (Empty()) Fail(FCommand, option + " needs a value");
        return FArgs[FNext++];
    }
    // Nothing may be left.
    void End() const {
        if (!Empty()) Unexpected(FArgs[FNext]);
    }
    [[noreturn]] void Unexpected(const std::string& argument) const {
        if (argument.starts_with("-")) Fail(FCommand, "unknown option " + Quoted(argument));
        Fail(FCommand, "unexpected argument " + Quoted(argument));
    }

private:
    std::string FCommand;
    std::vector<std::string> FArgs;
    std::size_t FNext = 0;
};

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != 0 || v < low || v > high) return false;
    value = v;
    return true;
}

// A number of an option, or a usage error naming the option and the range.
int NumberOf(const TArguments& args, const std::string& option, const std::string& text, long long low,
             long long high) {
    long long v = 0;
    if (!ParseNumber(text, low, high, v))
        Fail(args.Command(), option + " must be a whole number from " + std::to_string(low) + " to " +
                                 std::to_string(high) + ", not " + Quoted(text));
    return static_cast<int>(v);
}

bool ParseFilters(const std::string& text, int& set) {
    set = 0;
    if (text == "none") return true;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        long long n = 0;
        if (!ParseNumber(text.substr(from, comma - from), 0, 4, n)) return false;
        set |= 1 << n;
        from = comma + 1;
    }
    return true;
}

TSaveOptions ParseSaveOptions(TArguments& args) {
    TSaveOptions options;
    while (!args.Empty()) {
        const std::string name = args.Take("option");
        if (name == "--filters") {
            const std::string value = args.ValueOf(name);
            if (!ParseFilters(value, options.FilterSet))
                Fail(args.Command(),
                     "--filters must be filter numbers 0 to 4 separated by commas, or none, not " +
                         Quoted(value));
        } else if (name == "--level") {
            options.Level = NumberOf(args, name, args.ValueOf(name), 0, 9);
        } else if (name == "--interlace") {
            options.Interlace = NumberOf(args, name, args.ValueOf(name), 0, 1);
        } else if (name == "--idat-limit") {
            options.IdatLimit = NumberOf(args, name, args.ValueOf(name), 1, 0x7FFFFFFF);
        } else {
            args.Unexpected(name);
        }
    }
    return options;
}

TOptimizeOptions ParseOptimizeOptions(TArguments& args) {
    TOptimizeOptions options;
    while (!args.Empty()) {
        const std::string name = args.Take("option");
        if (name == "--level") {
            const std::string value = args.ValueOf(name);
            long long v = 0;
            options.AllLevels = value == "all";
            if (options.AllLevels) continue;
            if (!ParseNumber(value, 0, 9, v))
                Fail(args.Command(),
                     "--level must be a whole number from 0 to 9, or all, not " + Quoted(value));
            options.Level = static_cast<int>(v);
        } else if (name == "--interlace") {
            options.Interlace = NumberOf(args, name, args.ValueOf(name), 0, 1);
        } else if (name == "--force") {
            options.Force = true;
        } else {
            args.Unexpected(name);
        }
    }
    return options;
}

std::int32_t ParseSize(const TArguments& args, const char* name, const std::string& text) {
    long long v = 0;
    if (!ParseNumber(text, 1, std::numeric_limits<long long>::max(), v))
        Fail(args.Command(), std::string(name) + " must be a positive whole number, not " + Quoted(text));
    if (v > 65535) Fail(args.Command(), std::string(name) + " must be at most 65535, not " + Quoted(text));
    return static_cast<std::int32_t>(v);
}

// Runs a command on a loaded image: info, dump, draw and resave.
struct TImageCommand {
    std::string Command;
    std::string File;
    std::string Out;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    TSaveOptions Options;
};

void RunImageCommand(const TImageCommand& c) {
    TPNGObject image;
    TFileStream stream(c.File, fmOpenRead);
    image.ReadPng(stream);
    if (c.Command == "info")
        Info(image);
    else if (c.Command == "dump")
        Dump(image);
    else if (c.Command == "resave")
        Resave(image, c.Out, c.Options);
    else
        Draw(image, c.Out, c.Width != 0 ? c.Width : image.PixelWidth(),
             c.Height != 0 ? c.Height : image.PixelHeight());
}

const char* KindName(TFileKind kind) {
    return kind == TFileKind::Png ? "PNG" : "BMP";
}

// Parses the command line and runs the command; usage errors are thrown as TUsageError, load and
// write failures as the library's exceptions.
int Run(int argc, char** argv) {
    if (argc < 2) Fail("", "missing command");
    TArguments args(argv[1], argc, argv);
    const std::string& command = args.Command();
    if (command == "--help" || command == "-h" || command == "help") {
        args.End();
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        args.End();
        std::printf("pngtool %s\n", VORLANTH_VERSION);
        return 0;
    }
    if (command == "info" || command == "dump" || command == "draw" || command == "resave") {
        TImageCommand c;
        c.Command = command;
        c.File = args.Take(command == "resave" ? "IN" : "FILE");
        if (command == "draw") {
            c.Out = args.Take("OUT.bmp");
            if (!args.Empty()) {
                c.Width = ParseSize(args, "WIDTH", args.Take("WIDTH"));
                c.Height = ParseSize(args, "HEIGHT", args.Take("HEIGHT"));
            }
        } else if (command == "resave") {
            c.Out = args.Take("OUT");
            c.Options = ParseSaveOptions(args);
        }
        args.End();
        RunImageCommand(c);
        return 0;
    }
    if (command == "convert") {
        const std::string in = args.Take("IN");
        const std::string out = args.Take("OUT");
        args.End();
        const TFileKind inKind = KindOf(in);
        const TFileKind outKind = KindOf(out);
        for (const auto& [name, kind] : {std::pair{in, inKind}, std::pair{out, outKind}})
            if (kind == TFileKind::Unknown)
                Fail(command,
                     "cannot tell the kind of " + Quoted(name) + " (the extension must be .png or .bmp)");
        if (inKind == outKind)
            Fail(command, Quoted(in) + " and " + Quoted(out) + " are both " + KindName(inKind) +
                              " files; convert changes the kind (resave rewrites a PNG file)");
        Convert(in, inKind, out);
        return 0;
    }
    if (command == "optimize") {
        const std::string in = args.Take("IN");
        const std::string out = args.Take("OUT");
        const TOptimizeOptions options = ParseOptimizeOptions(args);
        Optimize(in, out, options);
        return 0;
    }
    if (command == "check") {
        std::vector<std::string> files{args.Take("FILE")};
        while (!args.Empty())
            files.push_back(args.Take("FILE"));
        return Check(files);
    }
    Fail("", "unknown command " + Quoted(command));
}

} // namespace
} // namespace pngtool

int main(int argc, char** argv) {
    SetStandardStreamsBinary(); // the same bytes on every system
    PictureInitialization();
    PngImageInitialization();
    int result = 0;
    try {
        result = pngtool::Run(argc, argv);
    } catch (const pngtool::TUsageError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pngtool: %s\n%s", e.what(), pngtool::kHint);
        result = 1;
    } catch (const Exception& e) {
        std::fflush(stdout);
        std::printf("error %s: %s\n", e.ClassName(), pngtool::OneLine(e.Message()).c_str());
        result = 2;
    }
    PngImageFinalization();
    PictureFinalization();
    std::fflush(stdout);
    return result;
}
