// assetgen OUTDIR: remakes the launcher's pictures (background.bmp, credit.png, vorlanth.ico)
// in OUTDIR. The same fonts give the same bytes on every run.
// assetgen --check-fonts: names the fonts it would use; exits 3 when one of them is a
// substitute, as the output would then differ from the committed pictures.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "assets.h"

namespace {

void Report(const char* use, const assetgen::FontChoice& font) {
    std::printf("%s %s (%s)%s\n", use, font.path.empty() ? "-" : font.path.c_str(), font.family.c_str(),
                font.preferred ? "" : " substitute");
}

void WriteFile(const std::filesystem::path& path, const assetgen::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assetgen OUTDIR | assetgen --check-fonts\n");
        return 1;
    }
    try {
        const assetgen::Fonts fonts = assetgen::FindAssetFonts();
        if (std::strcmp(argv[1], "--check-fonts") == 0) {
            Report("title", fonts.title);
            Report("credit", fonts.small);
            return fonts.AllPreferred() ? 0 : 3;
        }
        if (fonts.title.path.empty() || fonts.small.path.empty()) {
            std::fprintf(stderr, "assetgen: no usable fonts installed\n");
            return 3;
        }
        if (!fonts.AllPreferred())
            std::fprintf(stderr,
                         "assetgen: warning: substitute fonts in use; output differs from the committed "
                         "pictures\n");
        const std::filesystem::path folder(argv[1]);
        std::filesystem::create_directories(folder);
        WriteFile(folder / "background.bmp", assetgen::MakeBackground(fonts));
        WriteFile(folder / "credit.png", assetgen::MakeCredit(fonts));
        WriteFile(folder / "vorlanth.ico", assetgen::MakeIcon(fonts));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 2;
    }
    return 0;
}
