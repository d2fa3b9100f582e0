// Drawing of the standard PNG test images onto a 32-bit surface, compared pixel by pixel with a
// computation of its own: the image's colours from libpng's raw samples and the gamma rule, the
// nearest-neighbour stretch, the key-colour mask and the alpha blend. Plus the blend's edge values
// on hand-made images of the three alpha layouts.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "libpng_oracle.h"
#include "platform/gdi.h"
#include "png/pngobject.h"
#include "png_checks.h"
#include "support/pngsuite.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

using pngtest::SuiteDir;
using pngtest::SuiteMissing;

using namespace pngexpect;

const char* const NoSuite = "folder_missing";

std::vector<std::string> ValidNames() {
    std::vector<std::string> names = pngtest::SuiteNames(false);
    if (names.empty()) names.push_back(NoSuite);
    return names;
}

// ---- the standard images in five placements ----

class DrawConformance : public ::testing::TestWithParam<std::tuple<std::string, TPlacement>> {};

TEST_P(DrawConformance, MatchesIndependentComputation) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    const auto& [name, placement] = GetParam();
    const std::string path = SuiteDir() + "/" + name + ".png";
    const Bytes file = ReadBytes(path);
    TRawImage raw;
    ASSERT_EQ(DecodeWithLibpng(file, raw), "");
    TModel model;
    ASSERT_EQ(BuildModel(file, raw, model), "");

    TPNGObject image;
    try {
        TFileStream stream(path, fmOpenRead);
        image.ReadPng(stream);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    ASSERT_EQ(image.PixelWidth(), model.Width);
    ASSERT_EQ(image.PixelHeight(), model.Height);
    const TPNGTransparencyKind kinds[] = {ptkOpaque, ptkKeyColor, ptkAlpha};
    EXPECT_EQ(image.TransparencyKind(), kinds[int(model.Kind)]) << "expected " << KindName(model.Kind);

    const TRect rect = PlacementRect(placement, model.Width, model.Height);
    const TSurfaceSize size = SurfaceFor(rect);
    EXPECT_EQ(DrawAndCompare(image, Expected(model, rect, size), rect, size), "")
        << name << " (" << KindName(model.Kind) << ", colour type " << model.ColorType << ", depth "
        << model.BitDepth << ")";
}

INSTANTIATE_TEST_SUITE_P(PngSuite, DrawConformance,
                         ::testing::Combine(::testing::ValuesIn(ValidNames()),
                                            ::testing::ValuesIn(Placements)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, TPlacement>>& p) {
                             return TestName(std::get<0>(p.param)) + "_" +
                                    PlacementName(std::get<1>(p.param));
                         });

// ---- the blend's edge values on hand-made images ----

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// An 8-bit image encoded by libpng, with optional palette (red, green, blue) and alpha table.
// May be left by longjmp: holds no object with a destructor.
bool EncodeInto(Bytes& out, png_uint_32 width, const std::vector<png_bytep>& rows, int colorType,
                const png_color* palette, int paletteCount, const png_byte* alpha, int alphaCount) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendToVector, FlushNothing);
    png_set_IHDR(png, info, width, png_uint_32(rows.size()), 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (paletteCount > 0) png_set_PLTE(png, info, palette, paletteCount);
    if (alphaCount > 0) png_set_tRNS(png, info, alpha, alphaCount, nullptr);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct TBlendCase {
    const char* Name;
    u8 Alpha, Source;
    Rgb Target, Result; // red, green, blue
};

// Alpha 0 and 255 are exact for any colours; 128 of white over black and 1 of black over white
// are the rounding of (S*a + D*(255-a) + 255) >> 8.
const TBlendCase BlendCases[] = {
    {"TransparentKeepsTarget", 0, 200, {37, 0, 255}, {37, 0, 255}},
    {"OpaqueGivesImageColour", 255, 200, {0, 255, 77}, {200, 200, 200}},
    {"HalfWhiteOverBlack", 128, 255, {0, 0, 0}, {128, 128, 128}},
    {"FaintBlackOverWhite", 1, 0, {255, 255, 255}, {254, 254, 254}},
};

void PrintTo(const TBlendCase& c, std::ostream* os) {
    *os << c.Name;
}

enum class TLayout { Rgba, GrayAlpha, PaletteAlpha };
const TLayout Layouts[] = {TLayout::Rgba, TLayout::GrayAlpha, TLayout::PaletteAlpha};
const char* LayoutName(TLayout l) {
    return l == TLayout::Rgba ? "Rgba" : l == TLayout::GrayAlpha ? "GrayAlpha" : "PaletteAlpha";
}

class BlendEdges : public ::testing::TestWithParam<std::tuple<TBlendCase, TLayout>> {};

// A 2 x 1 image: pixel 0 is the case's colour and alpha, pixel 1 a faint filler (alpha 7) that
// keeps a palette image on the alpha path. The target pixel under pixel 0 is checked.
TEST_P(BlendEdges, BlendRuleAtItsEdges) {
    const auto& [c, layout] = GetParam();
    const u8 s = c.Source, a = c.Alpha;
    Bytes row;
    std::vector<png_color> palette;
    std::vector<png_byte> alpha;
    int colorType = 0;
    switch (layout) {
    case TLayout::Rgba:
        colorType = PNG_COLOR_TYPE_RGBA;
        row = {s, s, s, a, 9, 99, 199, 7};
        break;
    case TLayout::GrayAlpha:
        colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        row = {s, a, 99, 7};
        break;
    case TLayout::PaletteAlpha:
        colorType = PNG_COLOR_TYPE_PALETTE;
        row = {0, 1};
        palette = {{s, s, s}, {9, 99, 199}};
        alpha = {a, 7};
        break;
    }
    Bytes file;
    std::vector<png_bytep> rows = {row.data()};
    ASSERT_TRUE(EncodeInto(file, 2, rows, colorType, palette.data(), int(palette.size()), alpha.data(),
                           int(alpha.size())));
    TPNGObject image;
    try {
        TCustomMemoryStream stream(file.data(), std::int64_t(file.size()));
        image.ReadPng(stream);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    ASSERT_EQ(image.TransparencyKind(), ptkAlpha);

    TSurface surface({4, 3});
    ASSERT_TRUE(surface.Valid());
    u8* p = surface.Pixel(1, 1);
    p[0] = c.Target[2], p[1] = c.Target[1], p[2] = c.Target[0];
    const std::size_t before = GdiObjectCount();
    try {
        image.DrawOn(surface.Canvas(), TRect{1, 1, 3, 2});
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    EXPECT_EQ(GdiObjectCount(), before);
    const Rgb actual{p[2], p[1], p[0]};
    EXPECT_EQ(actual, c.Result) << "alpha " << int(a) << ", image " << int(s) << ", target "
                                << RgbText(c.Target) << ": got " << RgbText(actual);
}

INSTANTIATE_TEST_SUITE_P(All, BlendEdges,
                         ::testing::Combine(::testing::ValuesIn(BlendCases), ::testing::ValuesIn(Layouts)),
                         [](const ::testing::TestParamInfo<std::tuple<TBlendCase, TLayout>>& p) {
                             return std::string(std::get<0>(p.param).Name) + "_" +
                                    LayoutName(std::get<1>(p.param));
                         });

} // namespace
