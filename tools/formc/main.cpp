// formc: compiles the readable text form of a window description into the binary form that is
// embedded in the program, and prints a binary description back as text.
//
//   formc INPUT.txt OUTPUT.bin [--depfile FILE]
//                         compiles INPUT; with --depfile also writes a make-style dependency line
//                         naming INPUT and every picture file it read, so the build reruns formc
//                         when any of them changes
//   formc --dump INPUT.bin
//                         prints INPUT in the text form (pictures as "{ N bytes, class NAME }")
//
// Exit codes: 0 done, 1 usage error, 2 any other error ("formc: FILE:LINE: message" on stderr).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "formtext.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

namespace {

int Usage() {
    std::fputs("usage: formc INPUT.txt OUTPUT.bin [--depfile FILE]\n"
               "       formc --dump INPUT.bin\n",
               stderr);
    return 1;
}

int Error(const std::string& where, const std::string& message) {
    std::cerr << "formc: " << where << ": " << message << '\n';
    return 2;
}

bool ReadFile(const std::string& name, std::string& contents) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes beside the target and renames, so that a failed run never leaves half a file that the
// build would take as up to date.
bool WriteFile(const std::string& name, const void* data, std::size_t size) {
    const std::string temporary = name + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, name, error);
    return !error;
}

// A path in a make rule: blanks, '#' and '$' escaped.
std::string MakePath(const std::string& path) {
    std::string out;
    for (const char c : std::filesystem::absolute(path).lexically_normal().string()) {
        if (c == ' ' || c == '#') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

int Dump(const std::string& input) {
    std::string bytes;
    if (!ReadFile(input, bytes)) return Error(input, "cannot read the file");
    try {
        const TFormObject root =
            ReadFormData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        std::cout << FormToText(root);
    } catch (const Exception& e) {
        return Error(input, e.Message());
    }
    return 0;
}

int Compile(const std::string& input, const std::string& output, const std::string& depfile) {
    std::string text;
    if (!ReadFile(input, text)) return Error(input, "cannot read the file");
    TFormText form;
    std::vector<std::uint8_t> bytes;
    try {
        form = ParseFormText(text, std::filesystem::path(input).parent_path().string());
        bytes = WriteFormData(form.Root);
    } catch (const EFormTextError& e) {
        return Error(input + ":" + std::to_string(e.Line()), e.Message());
    } catch (const Exception& e) {
        return Error(input, e.Message());
    }
    if (!WriteFile(output, bytes.data(), bytes.size())) return Error(output, "cannot write the file");
    if (!depfile.empty()) {
        std::string rule = MakePath(output) + ":";
        rule += " " + MakePath(input);
        for (const std::string& picture : form.PictureFiles)
            rule += " " + MakePath(picture);
        rule += "\n";
        if (!WriteFile(depfile, rule.data(), rule.size())) return Error(depfile, "cannot write the file");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--dump") return Dump(args[1]);
    if (args.size() == 2 && args[0].rfind("--", 0) != 0 && args[1].rfind("--", 0) != 0)
        return Compile(args[0], args[1], {});
    if (args.size() == 4 && args[2] == "--depfile" && args[0].rfind("--", 0) != 0)
        return Compile(args[0], args[1], args[3]);
    return Usage();
}
