// The commands that write an image: resave, convert and optimize.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "png/pngimage.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/stream.h"
#include "tools/pngtool/pngtool.h"

namespace pngtool {

void Resave(TPNGObject& image, const std::string& outName, const TSaveOptions& options) {
    if (options.FilterSet >= 0) image.FilterSet = static_cast<TPNGFilterSet>(options.FilterSet);
    if (options.Level >= 0) image.DeflateLevel = static_cast<std::uint8_t>(options.Level);
    if (options.Interlace >= 0) image.InterlaceMode = static_cast<std::uint8_t>(options.Interlace);
    if (options.IdatLimit >= 0) image.SetIdatLimit(static_cast<std::int32_t>(options.IdatLimit));
    TFileStream out(outName, fmCreate);
    image.WritePng(out);
}

TFileKind KindOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find_first_of("/\\", dot) != std::string::npos)
        return TFileKind::Unknown;
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (extension == "png") return TFileKind::Png;
    if (extension == "bmp") return TFileKind::Bmp;
    return TFileKind::Unknown;
}

// Through the library's own conversions: a PNG image assigned to a plain bitmap (its pixel rows,
// no alpha) and a plain bitmap assigned to a PNG image. OUT is written only once the result is whole.
void Convert(const std::string& inName, TFileKind inKind, const std::string& outName) {
    TMemoryStream result;
    TFileStream in(inName, fmOpenRead);
    TBitmap bitmap;
    TPNGObject png;
    if (inKind == TFileKind::Png) {
        png.ReadPng(in);
        bitmap.AssignFrom(&png);
        bitmap.SaveToStream(result);
    } else {
        bitmap.LoadFromStream(in);
        png.AssignFrom(&bitmap);
        png.WritePng(result);
    }
    result.SaveToFile(outName);
}

namespace {

// "0,1,2,3,4": the filters of a set, as resave's --filters takes them.
std::string FilterList(TPNGFilterSet set) {
    std::string text;
    for (int n = 0; n <= 4; ++n)
        if (set & (1u << n)) {
            if (!text.empty()) text += ',';
            text += std::to_string(n);
        }
    return text;
}

struct TTry {
    TPNGFilterSet Filters = 0;
    int Level = 0;
};

std::string Describe(const TTry& t, int interlace) {
    std::string text = "filters ";
    text += FilterList(t.Filters);
    text += ", level ";
    text += std::to_string(t.Level);
    text += ", interlace ";
    text += std::to_string(interlace);
    return text;
}

} // namespace

// Every try is saved into memory and, when it is the smallest so far, loaded again and compared
// with the input's image memory: only a result that decodes to the same image can win. OUT is
// written once, at the end.
void Optimize(const std::string& inName, const std::string& outName, const TOptimizeOptions& options) {
    TMemoryStream input;
    input.LoadFromFile(inName);
    const std::int64_t inSize = input.Size();
    TPNGObject image;
    image.ReadPng(input);
    // Saving may change the image's header (2-bit rows are written as 4-bit ones), so the tries are
    // compared with a copy loaded apart that is never saved.
    TPNGObject reference;
    input.SetPosition(0);
    reference.ReadPng(input);
    if (options.Interlace >= 0) image.InterlaceMode = static_cast<std::uint8_t>(options.Interlace);
    // All image data in one chunk when the result is smaller than the input.
    image.SetIdatLimit(
        static_cast<std::int32_t>(std::min<std::int64_t>(inSize, std::numeric_limits<std::int32_t>::max())));

    std::vector<int> levels;
    if (options.AllLevels)
        for (int level = 1; level <= 9; ++level)
            levels.push_back(level);
    else
        levels.push_back(options.Level >= 0 ? options.Level : 9);
    static const TPNGFilterSet sets[] = {FilterBit(pfNone),    FilterBit(pfSub),   FilterBit(pfUp),
                                         FilterBit(pfAverage), FilterBit(pfPaeth), 0x1F};

    auto best = std::make_unique<TMemoryStream>();
    auto candidate = std::make_unique<TMemoryStream>();
    TTry bestTry;
    bool found = false;
    for (const int level : levels)
        for (const TPNGFilterSet set : sets) {
            image.FilterSet = set;
            image.DeflateLevel = static_cast<std::uint8_t>(level);
            candidate->Clear();
            image.WritePng(*candidate);
            if (found && candidate->Size() >= best->Size()) continue;
            candidate->SetPosition(0);
            TPNGObject again;
            again.ReadPng(*candidate);
            if (!SameImageMemory(reference, again)) continue;
            std::swap(best, candidate);
            bestTry = TTry{set, level};
            found = true;
        }

    const int interlace = image.InterlaceMode;
    const bool useBest = found && (best->Size() < inSize || options.Force);
    TMemoryStream& written = useBest ? *best : input;
    written.SaveToFile(outName);
    const std::int64_t outSize = written.Size();
    std::string how;
    if (useBest) {
        how = Describe(bestTry, interlace);
    } else if (found) {
        how = "unchanged: no smaller result (smallest ";
        how += std::to_string(best->Size());
        how += " bytes, ";
        how += Describe(bestTry, interlace);
        how += ')';
    } else {
        how = "unchanged: no result decoded to the same image";
    }
    std::printf("%s %lld -> %s %lld bytes (%.1f%%), %s\n", inName.c_str(), static_cast<long long>(inSize),
                outName.c_str(), static_cast<long long>(outSize),
                100.0 * static_cast<double>(outSize) / static_cast<double>(inSize), how.c_str());
}

} // namespace pngtool
