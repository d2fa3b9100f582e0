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
#include "support/pngsuite.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

using pngtest::SuiteDir;
using pngtest::SuiteMissing;

using u8 = std::uint8_t;
using Bytes = std::vector<u8>;
using Rgb = std::array<u8, 3>;

// ---- the test image folder ----

const char* const NoSuite = "folder_missing";

std::vector<std::string> ValidNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir(), error)) {
        const std::filesystem::path& path = entry.path();
        const std::string stem = path.stem().string();
        if (path.extension() == ".png" && !stem.empty() && stem[0] != 'x') names.push_back(stem);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back(NoSuite);
    return names;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t BE32(const u8* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// ---- the image as it should be drawn ----

std::array<u8, 256> GammaTable(std::uint32_t value) {
    std::array<u8, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = static_cast<u8>(i);
    if (value == 0) return table;
    const long double e = 1.0L / ((static_cast<long double>(value) / 100000.0L) * 2.2L);
    for (int i = 0; i < 256; ++i) {
        const long double power = i == 0 ? 0.0L : expl(e * logl(i / 255.0L));
        table[std::size_t(i)] = static_cast<u8>(nearbyintl(power * 255.0L));
    }
    return table;
}

enum class TKind { Opaque, Key, Alpha };

// Per pixel (row-major): the colour drawn by the opaque and key paths, or the blend source S of
// the alpha path, and the alpha a.
struct TModel {
    int Width = 0, Height = 0, ColorType = 0, BitDepth = 0;
    TKind Kind = TKind::Opaque;
    Rgb Key{};
    std::vector<Rgb> Colour;
    std::vector<u8> Alpha;
    const Rgb& At(int x, int y) const { return Colour[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
    u8 AlphaAt(int x, int y) const { return Alpha[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
};

unsigned Bits(const u8* row, std::size_t x, int bits) {
    const std::size_t bit = x * std::size_t(bits);
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
}

// The gray of entry i of an n-entry ramp from black to white through the gamma table.
u8 RampGray(const std::array<u8, 256>& gamma, int i, int n) {
    return gamma[std::size_t((i * 255 * 2 + (n - 1)) / (2 * (n - 1)))];
}

// Builds the model from libpng's samples and the file's chunks; empty text on success.
std::string BuildModel(const Bytes& file, const TRawImage& raw, TModel& m) {
    // Gamma in force at the palette, at the image data and at the end; the transparency body.
    std::uint32_t gamma = 0, paletteGamma = 0, rowGamma = 0;
    bool seenData = false, hasTrns = false;
    Bytes trns;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t n = BE32(&file[p]);
        if (n > file.size() - p - 12) break;
        const std::string type(file.begin() + std::ptrdiff_t(p + 4), file.begin() + std::ptrdiff_t(p + 8));
        const u8* body = &file[p + 8];
        if (type == "gAMA" && n == 4 && BE32(body) != 0) gamma = BE32(body);
        if (type == "PLTE") paletteGamma = gamma;
        if (type == "IDAT" && !seenData) rowGamma = gamma;
        if (type == "IDAT") seenData = true;
        if (type == "tRNS" && !hasTrns) {
            hasTrns = true;
            trns.assign(body, body + n);
        }
        p += 12 + std::size_t{n};
        if (type == "IEND") break;
    }
    const auto rowTable = GammaTable(rowGamma), paletteTable = GammaTable(paletteGamma),
               decodeTable = GammaTable(gamma);

    m.Width = int(raw.Width);
    m.Height = int(raw.Height);
    m.ColorType = raw.ColorType;
    m.BitDepth = raw.BitDepth;
    const int ct = raw.ColorType, bd = raw.BitDepth;
    static constexpr int channelsOf[7] = {1, 0, 3, 1, 2, 0, 4};
    const std::size_t ch = std::size_t(channelsOf[ct]);
    const int rampBits = bd == 1 ? 1 : bd <= 4 ? 4 : 8; // bits of the gray image's indices

    // Palette colours as the colour table shows them, and the alpha of every entry.
    std::vector<Rgb> palette;
    for (const auto& c : raw.Palette)
        palette.push_back({paletteTable[c[0]], paletteTable[c[1]], paletteTable[c[2]]});
    std::array<u8, 256> entryAlpha;
    entryAlpha.fill(255);
    for (std::size_t i = 0; ct == 3 && i < trns.size() && i < 256; ++i)
        entryAlpha[i] = trns[i];

    // Transparency kind and key colour.
    if (ct == 4 || ct == 6) {
        m.Kind = TKind::Alpha;
    } else if (!hasTrns) {
        m.Kind = TKind::Opaque;
    } else if (ct == 0) {
        if (trns.size() < 2) return "short gray tRNS";
        const u8 g = RampGray(rowTable, trns[1], 1 << rampBits);
        m.Kind = TKind::Key;
        m.Key = {g, g, g};
    } else if (ct == 2) {
        if (trns.size() < 6) return "short colour tRNS";
        m.Kind = TKind::Key;
        m.Key = {decodeTable[trns[1]], decodeTable[trns[3]], decodeTable[trns[5]]};
    } else {
        int notOpaque = 0, firstClear = -1;
        for (std::size_t i = 0; i < trns.size(); ++i) {
            if (trns[i] != 255) ++notOpaque;
            if (trns[i] == 0 && firstClear < 0) firstClear = int(i);
        }
        m.Kind = notOpaque == 1 && firstClear >= 0 ? TKind::Key : TKind::Alpha;
        if (m.Kind == TKind::Key) {
            if (std::size_t(firstClear) >= palette.size()) return "transparent entry outside the palette";
            m.Key = palette[std::size_t(firstClear)];
        }
    }

    for (const Bytes& row : raw.Rows) {
        auto high = [&](std::size_t s) { return bd == 16 ? row[2 * s] : row[s]; };
        for (std::size_t x = 0; x < raw.Width; ++x) {
            const std::size_t s = x * ch;
            Rgb colour{};
            u8 alpha = 255;
            if (ct == 0) {
                const unsigned v = bd < 8 ? Bits(row.data(), x, bd) : high(s);
                const u8 g = RampGray(rowTable, int(bd == 2 ? v * 5 : v), 1 << rampBits);
                colour = {g, g, g};
            } else if (ct == 2 || ct == 6) {
                colour = {rowTable[high(s)], rowTable[high(s + 1)], rowTable[high(s + 2)]};
                if (ct == 6) alpha = high(s + 3);
            } else if (ct == 3) {
                const unsigned v = bd < 8 ? Bits(row.data(), x, bd) : row[x];
                if (v >= palette.size()) return "index outside the palette";
                colour = palette[v];
                alpha = entryAlpha[v];
            } else if (ct == 4) {
                colour = {high(s), high(s), high(s)};
                alpha = high(s + 1);
            } else {
                return "unknown colour type";
            }
            m.Colour.push_back(colour);
            m.Alpha.push_back(alpha);
        }
    }
    return "";
}

// ---- the surface and the expected picture ----

// A 32-bit top-down section selected into its own context, pre-filled with a pattern.
class TSurface {
public:
    TSurface(int width, int height) : FWidth(width), FHeight(height) {
        FDC = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER h{40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        FSection = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
        FBits = static_cast<u8*>(bits);
        FOld = SelectObject(FDC, FSection);
        FCanvas.SetHandle(FDC);
    }
    ~TSurface() {
        FCanvas.SetHandle(nullptr);
        SelectObject(FDC, FOld);
        DeleteObject(FSection);
        DeleteDC(FDC);
    }
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;

    bool Valid() const { return FDC != nullptr && FBits != nullptr && FOld != nullptr; }
    TCanvas& Canvas() { return FCanvas; }
    u8* Pixel(int x, int y) { return FBits + (std::size_t(y) * std::size_t(FWidth) + std::size_t(x)) * 4; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    int FWidth, FHeight;
    HDC FDC = nullptr;
    HBITMAP FSection = nullptr;
    HGDIOBJ FOld = nullptr;
    u8* FBits = nullptr;
    TCanvas FCanvas;
};

// A checkerboard of 2 x 2 cells in two families of varied colours (red, green, blue).
Rgb PatternAt(int x, int y) {
    if (((x >> 1) + (y >> 1)) & 1) return {u8(x * 3 ^ y * 17), u8(y * 31 + 50), u8(x * 29 + y * 7)};
    return {u8(128 + y * 5), u8(x * y + 3), u8(255 - x * 13)};
}

// Nearest-neighbour source index for destination index d when s pixels become n.
int StretchIndex(int d, int s, int n, bool rows) {
    const std::int64_t S = s, N = n, D = d;
    if (n >= s) return int(((2 * D + 1) * S - 1) / (2 * N));
    return int(rows ? (2 * D * S + N) / (2 * N) : (2 * (D + 1) * S - N) / (2 * N));
}

u8 BlendChannel(unsigned s, unsigned d, unsigned a) {
    return u8((s * a + d * (255 - a) + 255) >> 8);
}

// What the surface shows after drawing the model into rect (surface pre-filled with the pattern).
std::vector<Rgb> Expected(const TModel& m, const TRect& rect, int surfaceWidth, int surfaceHeight) {
    std::vector<Rgb> out;
    for (int y = 0; y < surfaceHeight; ++y)
        for (int x = 0; x < surfaceWidth; ++x)
            out.push_back(PatternAt(x, y));
    const bool mirrorX = rect.Right < rect.Left, mirrorY = rect.Bottom < rect.Top;
    const int left = std::min(rect.Left, rect.Right), top = std::min(rect.Top, rect.Bottom);
    const int w = std::abs(rect.Right - rect.Left), h = std::abs(rect.Bottom - rect.Top);
    const bool scaled = w != m.Width || h != m.Height;
    const double ratioX = double(w) / m.Width, ratioY = double(h) / m.Height;
    for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) {
            Rgb& target = out[std::size_t(top + dy) * std::size_t(surfaceWidth) + std::size_t(left + dx)];
            if (m.Kind == TKind::Alpha) {
                const int sx = scaled ? int(dx / ratioX) : dx, sy = scaled ? int(dy / ratioY) : dy;
                const u8 a = m.AlphaAt(sx, sy);
                for (std::size_t c = 0; c < 3; ++c)
                    target[c] = BlendChannel(m.At(sx, sy)[c], target[c], a);
                continue;
            }
            const int sx = StretchIndex(mirrorX ? w - 1 - dx : dx, m.Width, w, false);
            const int sy = StretchIndex(mirrorY ? h - 1 - dy : dy, m.Height, h, true);
            const Rgb& colour = m.At(sx, sy);
            if (m.Kind == TKind::Key && colour == m.Key) continue;
            target = colour;
        }
    return out;
}

std::string RgbText(const Rgb& c) {
    return "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ")";
}

// Draws into rect on a patterned surface with a margin around the rectangle; the differences from
// the expected picture (red, green, blue compared), and a change of the live object count.
std::string DrawAndCompare(TPNGObject& image, const TModel& m, const TRect& rect) {
    const int w = std::abs(rect.Right - rect.Left), h = std::abs(rect.Bottom - rect.Top);
    TSurface surface(std::max(rect.Left, rect.Right) + 4, std::max(rect.Top, rect.Bottom) + 3);
    if (!surface.Valid()) return "could not make the surface";
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x) {
            const Rgb c = PatternAt(x, y);
            u8* p = surface.Pixel(x, y);
            p[0] = c[2], p[1] = c[1], p[2] = c[0], p[3] = 0x5A;
        }
    std::ostringstream report;
    const std::size_t before = GdiObjectCount();
    try {
        image.DrawOn(surface.Canvas(), rect);
    } catch (const Exception& e) {
        report << "DrawOn raised " << e.ClassName() << ": " << e.Message() << "; ";
    }
    const std::size_t after = GdiObjectCount();
    if (after != before)
        report << "live platform objects " << before << " before the draw, " << after << " after; ";

    const std::vector<Rgb> expected = Expected(m, rect, surface.Width(), surface.Height());
    int wrong = 0;
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x) {
            const u8* p = surface.Pixel(x, y);
            const Rgb actual{p[2], p[1], p[0]};
            const Rgb& e = expected[std::size_t(y) * std::size_t(surface.Width()) + std::size_t(x)];
            if (actual == e) continue;
            if (wrong++ < 4)
                report << "pixel (" << x << "," << y << ") expected " << RgbText(e) << " got "
                       << RgbText(actual) << "; ";
        }
    if (wrong > 0)
        report << wrong << " of " << surface.Width() * surface.Height() << " pixels differ (rectangle " << w
               << "x" << h << " at " << std::min(rect.Left, rect.Right) << ","
               << std::min(rect.Top, rect.Bottom) << ")";
    return report.str();
}

// ---- the standard images in five placements ----

enum class TPlacement { Unscaled, Double, Half, OneAndAHalfPlusOne, Reversed };

const TPlacement Placements[] = {TPlacement::Unscaled, TPlacement::Double, TPlacement::Half,
                                 TPlacement::OneAndAHalfPlusOne, TPlacement::Reversed};

const char* PlacementName(TPlacement p) {
    switch (p) {
    case TPlacement::Unscaled: return "Unscaled";
    case TPlacement::Double: return "Double";
    case TPlacement::Half: return "Half";
    case TPlacement::OneAndAHalfPlusOne: return "OneAndAHalfPlusOne";
    case TPlacement::Reversed: return "Reversed";
    }
    return "";
}

// The rectangle at (3, 2); reversed is twice as wide, as high, with both axes reversed.
TRect PlacementRect(TPlacement p, int w, int h) {
    constexpr int x = 3, y = 2;
    switch (p) {
    case TPlacement::Unscaled: return {x, y, x + w, y + h};
    case TPlacement::Double: return {x, y, x + 2 * w, y + 2 * h};
    case TPlacement::Half: return {x, y, x + std::max(1, w / 2), y + std::max(1, h / 2)};
    case TPlacement::OneAndAHalfPlusOne: return {x, y, x + w * 3 / 2 + 1, y + h * 3 / 2 + 1};
    case TPlacement::Reversed: return {x + 2 * w, y + h, x, y};
    }
    return {};
}

void PrintTo(TPlacement p, std::ostream* os) {
    *os << PlacementName(p);
}

const char* KindName(TKind k) {
    return k == TKind::Opaque ? "opaque" : k == TKind::Key ? "key colour" : "alpha";
}

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
    EXPECT_EQ(DrawAndCompare(image, model, rect), "")
        << name << " (" << KindName(model.Kind) << ", colour type " << model.ColorType << ", depth "
        << model.BitDepth << ")";
}

INSTANTIATE_TEST_SUITE_P(PngSuite, DrawConformance,
                         ::testing::Combine(::testing::ValuesIn(ValidNames()),
                                            ::testing::ValuesIn(Placements)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, TPlacement>>& p) {
                             std::string name = std::get<0>(p.param);
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name + "_" + PlacementName(std::get<1>(p.param));
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

    TSurface surface(4, 3);
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
