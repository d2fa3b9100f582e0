// Writes the golden files (see golden_format.h) for every image of the standard set: what libpng
// reads from it, turned into the image memory and the drawings the library should produce.
//
//   golden_writer [OUTDIR [SUITEDIR]]
//
// Exit codes: 0 written, 1 a file could not be read or written, or libpng disagrees with the
// set's naming (a valid image it cannot read, a corrupt one it reads, a corrupt one not known).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "golden/golden_format.h"
#include "png/libpng_oracle.h"
#include "png/png_expect.h"

namespace {

using namespace pngexpect;

// Empty on success, else why the image has no golden files.
std::string WriteValid(const std::string& name, const Bytes& file, const TRawImage& raw,
                       const std::string& out, int& drawings) {
    const TFileFacts facts = ReadFileFacts(file);
    if (raw.HasGamma && facts.Gamma != raw.Gamma) return "libpng reads another gamma than the file walk";
    golden::TMemory memory;
    memory.Width = raw.Width;
    memory.Height = raw.Height;
    memory.Gamma = GammaTable(facts.Gamma);
    memory.Chunks = facts.Chunks;
    memory.Model = ModelOf(raw, GammaTable(facts.RowGamma), GammaTable(facts.PaletteGamma));

    TModel model;
    const std::string problem = BuildModel(file, raw, model);
    if (!problem.empty()) return problem;
    golden::TDrawing drawing;
    drawing.Width = raw.Width;
    drawing.Height = raw.Height;
    drawing.Kind = model.Kind;
    for (const TPlacement placement : Placements) {
        const TRect rect = PlacementRect(placement, model.Width, model.Height);
        const TSurfaceSize size = SurfaceFor(rect);
        drawing.Pictures.push_back({placement, rect, size, Expected(model, rect, size)});
    }
    if (!golden::WriteFile(out + "/" + name + ".memory", golden::Encode(memory)) ||
        !golden::WriteFile(out + "/" + name + ".drawing", golden::Encode(drawing)))
        return "cannot write into " + out;
    drawings += int(drawing.Pictures.size());
    return "";
}

std::string WriteCorrupt(const std::string& name, const std::string& out) {
    for (const TCorruptCase& c : CorruptCases()) {
        if (name != c.Name) continue;
        golden::TMemory memory;
        memory.Loads = false;
        memory.ClassName = c.ClassName;
        memory.Message = c.Message;
        return golden::WriteFile(out + "/" + name + ".memory", golden::Encode(memory))
                   ? ""
                   : "cannot write into " + out;
    }
    return "a corrupt image without an expected error";
}

} // namespace

int main(int argc, char** argv) {
    const std::string out = argc > 1 ? argv[1] : VORLANTH_GOLDEN_DIR;
    const std::string suite = argc > 2 ? argv[2] : std::string(VORLANTH_SHARED_DIR) + "/pngsuite";
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(suite, error))
        if (entry.path().extension() == ".png") names.push_back(entry.path().stem().string());
    if (names.empty()) {
        std::fprintf(stderr, "golden_writer: no PNG images in %s\n", suite.c_str());
        return 1;
    }
    std::filesystem::create_directories(out, error);
    int valid = 0, corrupt = 0, drawings = 0, failed = 0;
    for (const std::string& name : names) {
        const Bytes file = ReadBytes(suite + "/" + name + ".png");
        TRawImage raw;
        const std::string libpng = DecodeWithLibpng(file, raw);
        const bool isCorrupt = name[0] == 'x';
        std::string problem;
        if (isCorrupt && libpng.empty())
            problem = "libpng reads this corrupt image";
        else if (!isCorrupt && !libpng.empty())
            problem = libpng;
        else
            problem = isCorrupt ? WriteCorrupt(name, out) : WriteValid(name, file, raw, out, drawings);
        if (!problem.empty()) {
            std::fprintf(stderr, "golden_writer: %s: %s\n", name.c_str(), problem.c_str());
            ++failed;
        } else {
            ++(isCorrupt ? corrupt : valid);
        }
    }
    std::printf("golden_writer: %d valid images (%d drawings) and %d corrupt ones written to %s\n", valid,
                drawings, corrupt, out.c_str());
    return failed == 0 ? 0 : 1;
}
