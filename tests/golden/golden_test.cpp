// The standard PNG images decoded and drawn by the library, held against the golden files that
// the Linux build writes from libpng's reading (golden_writer): the image memory of every valid
// image, the error of every corrupt one, and the drawing in each placement onto a patterned
// surface, through whichever drawing API the program runs on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "golden/golden_format.h"
#include "png/png_checks.h"
#include "png/pngobject.h"
#include "support/pngsuite.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

using namespace pngexpect;
using pngtest::SuiteDir;
using pngtest::SuiteMissing;

const std::string GoldenDir = VORLANTH_GOLDEN_DIR;

// Why the golden file of an image cannot be had, with how to make it; empty when read.
template <class T>
std::string LoadGolden(const std::string& name, const char* extension, T& into) {
    const std::string how =
        "; make the golden files on Linux: cmake --preset default && cmake --build "
        "build/default --target golden_writer && build/default/tests/golden/golden_writer " +
        GoldenDir;
    if (!std::filesystem::is_directory(GoldenDir)) return "no golden folder at " + GoldenDir + how;
    const std::string path = GoldenDir + "/" + name + extension;
    const Bytes bytes = ReadBytes(path);
    if (bytes.empty()) return "no golden file " + path + how;
    if (!golden::Decode(bytes, into)) return "the golden file " + path + " is damaged" + how;
    return "";
}

// Loads a suite image; the exception's class and message when it fails, else empty.
std::string LoadImage(const std::string& name, TPNGObject& image) {
    try {
        TFileStream stream(SuiteDir() + "/" + name + ".png", fmOpenRead);
        image.ReadPng(stream);
    } catch (const Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
}

std::vector<std::string> Names(bool all) {
    std::vector<std::string> names = pngtest::SuiteNames(false);
    if (all) {
        const std::vector<std::string> corrupt = pngtest::SuiteNames(true);
        names.insert(names.end(), corrupt.begin(), corrupt.end());
    }
    if (names.empty()) names.push_back("folder_missing");
    return names;
}

class GoldenMemory : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenMemory, MatchesLibpngReading) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    golden::TMemory g;
    ASSERT_EQ(LoadGolden(GetParam(), ".memory", g), "");
    TPNGObject image;
    const std::string error = LoadImage(GetParam(), image);
    if (!g.Loads) {
        EXPECT_EQ(error, g.ClassName + ": " + g.Message);
        return;
    }
    ASSERT_EQ(error, "");
    const TChunkIHDR& h = image.HeaderChunk();
    EXPECT_EQ(h.Width, g.Width);
    EXPECT_EQ(h.Height, g.Height);
    EXPECT_EQ(image.DecodeGamma, g.Gamma);
    EXPECT_EQ(ChunkTypes(image), g.Chunks);
    ExpectMemoryMatches(h, g.Model);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, GoldenMemory, ::testing::ValuesIn(Names(true)),
                         [](const ::testing::TestParamInfo<std::string>& p) { return TestName(p.param); });

class GoldenDrawing : public ::testing::TestWithParam<std::tuple<std::string, TPlacement>> {};

TEST_P(GoldenDrawing, MatchesLibpngDrawing) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    const auto& [name, placement] = GetParam();
    golden::TDrawing g;
    ASSERT_EQ(LoadGolden(name, ".drawing", g), "");
    const auto picture =
        std::find_if(g.Pictures.begin(), g.Pictures.end(),
                     [&](const golden::TPlacementPicture& p) { return p.Placement == placement; });
    ASSERT_NE(picture, g.Pictures.end())
        << "the golden file has no " << PlacementName(placement) << " picture";
    TPNGObject image;
    ASSERT_EQ(LoadImage(name, image), "");
    ASSERT_EQ(image.PixelWidth(), std::int32_t(g.Width));
    ASSERT_EQ(image.PixelHeight(), std::int32_t(g.Height));
    const TPNGTransparencyKind kinds[] = {ptkOpaque, ptkKeyColor, ptkAlpha};
    EXPECT_EQ(image.TransparencyKind(), kinds[int(g.Kind)]) << "expected " << KindName(g.Kind);
    EXPECT_EQ(DrawAndCompare(image, picture->Pixels, picture->Rect, picture->Size), "")
        << name << " (" << KindName(g.Kind) << ")";
}

INSTANTIATE_TEST_SUITE_P(PngSuite, GoldenDrawing,
                         ::testing::Combine(::testing::ValuesIn(Names(false)),
                                            ::testing::ValuesIn(Placements)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, TPlacement>>& p) {
                             return TestName(std::get<0>(p.param)) + "_" +
                                    PlacementName(std::get<1>(p.param));
                         });

} // namespace
