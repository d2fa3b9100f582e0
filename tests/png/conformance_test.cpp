// Conformance of the decoded image memory with libpng's reading of the standard PNG test images,
// the errors raised for the corrupt ones, and a few hand-made images aimed at single faults.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "libpng_oracle.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png_checks.h"
#include "support/pngsuite.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

using namespace pngexpect;
using pngtest::SuiteDir;
using pngtest::SuiteMissing;
using pngtest::SuiteNames;

// ---- the valid images against libpng ----

const char* const NoSuite = "folder_missing";

std::vector<std::string> ValidNames() {
    std::vector<std::string> names = SuiteNames(false);
    if (!std::filesystem::is_directory(SuiteDir())) names.push_back(NoSuite);
    return names;
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, MatchesLibpng) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    const std::string path = SuiteDir() + "/" + GetParam() + ".png";
    const Bytes file = ReadBytes(path);
    TRawImage raw;
    ASSERT_EQ(DecodeWithLibpng(file, raw), "");

    TPNGObject image;
    try {
        TFileStream stream(path, fmOpenRead);
        image.ReadPng(stream);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    const TChunkIHDR& h = image.HeaderChunk();
    EXPECT_EQ(h.Width, raw.Width);
    EXPECT_EQ(h.Height, raw.Height);

    // Gamma in force when the palette, the rows and the end of the file are reached; chunk list.
    const TFileFacts facts = ReadFileFacts(file);
    if (raw.HasGamma) {
        EXPECT_EQ(facts.Gamma, raw.Gamma) << "libpng reads another gamma than the file walk";
    }
    EXPECT_EQ(image.DecodeGamma, GammaTable(facts.Gamma));
    EXPECT_EQ(ChunkTypes(image), facts.Chunks);

    ExpectMemoryMatches(h, ModelOf(raw, GammaTable(facts.RowGamma), GammaTable(facts.PaletteGamma)));
}

INSTANTIATE_TEST_SUITE_P(PngSuite, Conformance, ::testing::ValuesIn(ValidNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return TestName(p.param); });

// ---- the corrupt images ----

class CorruptFile : public ::testing::TestWithParam<TCorruptCase> {};

TEST_P(CorruptFile, RaisesTheErrorOfItsFault) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    const TCorruptCase& c = GetParam();
    SCOPED_TRACE(c.Fault);
    TPNGObject image;
    try {
        TFileStream stream(SuiteDir() + "/" + c.Name + ".png", fmOpenRead);
        image.ReadPng(stream);
        ADD_FAILURE() << "loaded without an error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), c.ClassName);
        EXPECT_EQ(e.Message(), c.Message);
    }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, CorruptFile, ::testing::ValuesIn(CorruptCases()),
                         [](const ::testing::TestParamInfo<TCorruptCase>& p) { return p.param.Name; });

TEST(CorruptTable, CoversEveryCorruptFileOfTheFolder) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    std::set<std::string> table;
    for (const TCorruptCase& c : CorruptCases())
        table.insert(c.Name);
    const std::vector<std::string> names = SuiteNames(true);
    const std::set<std::string> folder(names.begin(), names.end());
    for (const std::string& name : table)
        EXPECT_TRUE(folder.count(name)) << name << ".png is not in the folder";
    for (const std::string& name : folder)
        EXPECT_TRUE(table.count(name)) << name << ".png is not in the table";
}

// ---- hand-made images aimed at single faults ----

void AppendChunk(Bytes& out, const char* type, const Bytes& body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<u8>(n >> shift));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    const auto crc = static_cast<std::uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start)));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<u8>(crc >> shift));
}

Bytes BE32Bytes(std::uint32_t v) {
    return {static_cast<u8>(v >> 24), static_cast<u8>(v >> 16), static_cast<u8>(v >> 8), static_cast<u8>(v)};
}

// Applies filter type f (0 to 4) to a line, given the previous line of its pass (zero at a start).
Bytes FilterLine(int f, const Bytes& line, const Bytes& prior, std::size_t distance) {
    Bytes out(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const int a = i >= distance ? line[i - distance] : 0, b = prior[i],
                  c = i >= distance ? prior[i - distance] : 0;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        const int predictor[5] = {0, a, b, (a + b) / 2, paeth};
        out[i] = static_cast<u8>(line[i] - predictor[f]);
    }
    return out;
}

// A file of the rows (raw samples, whole image; the filter type cycles from row to row) with the
// given chunks between IHDR and IDAT; a new IDAT starts at each cut into the compressed data (a
// repeated cut makes an empty one).
Bytes EncodePng(std::uint32_t w, u8 bd, u8 ct, bool interlaced, const std::vector<Bytes>& rows,
                const std::vector<std::pair<const char*, Bytes>>& extra = {},
                const std::vector<std::size_t>& cuts = {}) {
    static constexpr int rowStart[7] = {0, 0, 4, 0, 2, 0, 1}, rowStep[7] = {8, 8, 8, 4, 4, 2, 2};
    static constexpr int colStart[7] = {0, 4, 0, 2, 0, 1, 0}, colStep[7] = {8, 8, 4, 4, 2, 2, 1};
    const int bpp = bd * Channels(ct);
    Bytes data;
    for (int pass = interlaced ? 0 : 6; pass < 7; ++pass) {
        const int y0 = interlaced ? rowStart[pass] : 0, dy = interlaced ? rowStep[pass] : 1;
        const int x0 = interlaced ? colStart[pass] : 0, dx = interlaced ? colStep[pass] : 1;
        if (int(w) <= x0) continue;
        const std::size_t count = std::size_t((int(w) - x0 + dx - 1) / dx);
        Bytes prior((count * std::size_t(bpp) + 7) / 8);
        for (std::size_t y = std::size_t(y0); y < rows.size(); y += std::size_t(dy)) {
            Bytes line((count * std::size_t(bpp) + 7) / 8);
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t x = std::size_t(x0) + k * std::size_t(dx);
                if (bpp < 8) {
                    PutBits(line.data(), k, bpp, GetBits(rows[y].data(), x, bpp));
                } else {
                    const std::size_t n = std::size_t(bpp / 8);
                    std::copy_n(rows[y].begin() + std::ptrdiff_t(x * n), n,
                                line.begin() + std::ptrdiff_t(k * n));
                }
            }
            const int f = int(data.size() % 5);
            const Bytes filtered = FilterLine(f, line, prior, std::size_t(std::max(1, bpp / 8)));
            data.push_back(static_cast<u8>(f));
            data.insert(data.end(), filtered.begin(), filtered.end());
            prior = line;
        }
    }
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes compressed(size);
    EXPECT_EQ(compress(compressed.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    compressed.resize(size);

    Bytes file(PngSignature.begin(), PngSignature.end());
    Bytes header = BE32Bytes(w);
    const Bytes height = BE32Bytes(static_cast<std::uint32_t>(rows.size()));
    header.insert(header.end(), height.begin(), height.end());
    header.insert(header.end(), {bd, ct, 0, 0, static_cast<u8>(interlaced ? 1 : 0)});
    AppendChunk(file, "IHDR", header);
    for (const auto& [type, body] : extra)
        AppendChunk(file, type, body);
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        const std::size_t to = std::min(cut, compressed.size());
        AppendChunk(
            file, "IDAT",
            Bytes(compressed.begin() + std::ptrdiff_t(from), compressed.begin() + std::ptrdiff_t(to)));
        from = to;
    }
    AppendChunk(file, "IDAT", Bytes(compressed.begin() + std::ptrdiff_t(from), compressed.end()));
    AppendChunk(file, "IEND", {});
    return file;
}

// Loads a hand-made file, after making sure libpng reads the intended rows from it.
void Load(TPNGObject& image, const Bytes& file, const std::vector<Bytes>& rows) {
    TRawImage raw;
    ASSERT_EQ(DecodeWithLibpng(file, raw), "");
    ASSERT_EQ(raw.Rows, rows) << "the hand-made file is not what the test meant";
    TCustomMemoryStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    try {
        image.ReadPng(stream);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
}

// Every format, sequential and interlaced, with an odd size that leaves partial passes and bytes,
// all five filter types, a gamma and (for palette images) a full palette, against libpng's rows.
struct TFormat {
    u8 ColorType, BitDepth;
};
const TFormat Formats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

void PrintTo(const TFormat& f, std::ostream* os) {
    *os << "type " << int(f.ColorType) << " depth " << int(f.BitDepth);
}

class ConformanceFormats : public ::testing::TestWithParam<std::tuple<TFormat, bool>> {};

TEST_P(ConformanceFormats, HandMadeImageMatchesLibpng) {
    const auto [format, interlaced] = GetParam();
    const std::uint32_t w = 13, hgt = 11, gamma = 70000;
    const std::size_t bits = std::size_t(w) * std::size_t(format.BitDepth * Channels(format.ColorType));
    std::vector<Bytes> rows(hgt, Bytes((bits + 7) / 8));
    std::uint32_t seed = 12345;
    for (Bytes& row : rows) {
        for (u8& b : row)
            b = static_cast<u8>((seed = seed * 1103515245u + 12345u) >> 16);
        if (bits % 8 != 0) row.back() = static_cast<u8>(row.back() & (0xFF00 >> (bits % 8)));
    }
    std::vector<std::pair<const char*, Bytes>> extra = {{"gAMA", BE32Bytes(gamma)}};
    if (format.ColorType == 3) {
        Bytes palette(3 * std::size_t(std::min(256, 1 << format.BitDepth)));
        for (std::size_t i = 0; i < palette.size(); ++i)
            palette[i] = static_cast<u8>(i * 37);
        extra.emplace_back("PLTE", palette);
    }
    const Bytes file = EncodePng(w, format.BitDepth, format.ColorType, interlaced, rows, extra);
    TPNGObject image;
    ASSERT_NO_FATAL_FAILURE(Load(image, file, rows));
    TRawImage raw;
    ASSERT_EQ(DecodeWithLibpng(file, raw), "");
    EXPECT_EQ(image.DecodeGamma, GammaTable(gamma));
    ExpectMemoryMatches(image.HeaderChunk(), ModelOf(raw, GammaTable(gamma), GammaTable(gamma)));
}

std::string FormatName(const ::testing::TestParamInfo<std::tuple<TFormat, bool>>& p) {
    const TFormat format = std::get<0>(p.param);
    return "Type" + std::to_string(format.ColorType) + "Depth" + std::to_string(format.BitDepth) +
           (std::get<1>(p.param) ? "Interlaced" : "Sequential");
}

INSTANTIATE_TEST_SUITE_P(All, ConformanceFormats,
                         ::testing::Combine(::testing::ValuesIn(Formats), ::testing::Bool()), FormatName);

class ConformanceTargeted : public ::testing::TestWithParam<bool> {}; // interlaced or not

// Each sample's low byte is distinct, so a low byte stored at a pass-relative column, or taken
// from the wrong channel, shows.
TEST_P(ConformanceTargeted, Rgb16LowBytesSitAtEachPixelsOwnColumn) {
    const std::uint32_t w = 11, hgt = 9;
    std::vector<Bytes> rows(hgt, Bytes(6 * w));
    for (std::uint32_t y = 0; y < hgt; ++y)
        for (std::uint32_t i = 0; i < 3 * w; ++i) {
            rows[y][2 * i] = static_cast<u8>(255 - y * 3 - i);
            rows[y][2 * i + 1] = static_cast<u8>(y * 33 + i);
        }
    TPNGObject image;
    ASSERT_NO_FATAL_FAILURE(Load(image, EncodePng(w, 16, 2, GetParam(), rows), rows));
    const TChunkIHDR& h = image.HeaderChunk();
    ASSERT_NE(h.LowByteRow(0), nullptr);
    for (std::uint32_t y = 0; y < hgt; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            for (std::uint32_t c = 0; c < 3; ++c) { // blue, green, red
                const std::uint32_t sample = 3 * x + 2 - c;
                EXPECT_EQ(h.PixelRow(int(y))[3 * x + c], rows[y][2 * sample]) << "x " << x << " y " << y;
                EXPECT_EQ(h.LowByteRow(int(y))[3 * x + c], rows[y][2 * sample + 1])
                    << "x " << x << " y " << y;
            }
}

// An IDAT chunk may be empty; one inside the run must not end the image data early.
TEST_P(ConformanceTargeted, EmptyIdatInsideTheRunIsPassedOver) {
    const std::uint32_t w = 16;
    std::vector<Bytes> rows(16, Bytes(3 * w));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t i = 0; i < rows[y].size(); ++i)
            rows[y][i] = static_cast<u8>((y * 7919 + i * 104729) >> 3);
    TPNGObject image;
    ASSERT_NO_FATAL_FAILURE(Load(image, EncodePng(w, 8, 2, GetParam(), rows, {}, {40, 40}), rows));
    const TChunkIHDR& h = image.HeaderChunk();
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < w; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                ASSERT_EQ(h.PixelRow(int(y))[3 * x + c], rows[y][3 * x + 2 - c]) << "x " << x << " y " << y;
}

// Levels 0..3 become 4-bit indices 0, 5, 10, 15 into a 16-entry gray ramp.
TEST_P(ConformanceTargeted, TwoBitGrayLevelsBecomeIndicesOfASixteenStepRamp) {
    const std::vector<Bytes> rows = {{0x1B, 0xC0}, {0xE4, 0x40}, {0xFF, 0xC0}}; // 5 pixels a row
    TPNGObject image;
    ASSERT_NO_FATAL_FAILURE(Load(image, EncodePng(5, 2, 0, GetParam(), rows), rows));
    const TChunkIHDR& h = image.HeaderChunk();
    ASSERT_EQ(h.RowBits(), 4);
    for (int y = 0; y < 3; ++y)
        for (std::size_t x = 0; x < 5; ++x)
            EXPECT_EQ(GetBits(h.PixelRow(y), x, 4), GetBits(rows[std::size_t(y)].data(), x, 2) * 5)
                << "x " << x << " y " << y;
    ASSERT_EQ(h.ColorsUsed(), 16u);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(h.DibInfo().ColorTable[k].rgbRed, 17 * k) << "entry " << k;
}

INSTANTIATE_TEST_SUITE_P(Both, ConformanceTargeted, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Interlaced" : "Sequential";
                         });

// A gAMA after PLTE shapes the decode table but not the palette already read; before it, both.
TEST(ConformanceGammaOrder, ReachesThePaletteOnlyWhenItComesFirst) {
    const TGammaTable table = GammaTable(100000), identity = GammaTable(0);
    for (const bool gammaFirst : {true, false}) {
        SCOPED_TRACE(gammaFirst ? "gAMA before PLTE" : "gAMA after PLTE");
        std::vector<std::pair<const char*, Bytes>> extra = {{"PLTE", {10, 100, 200, 255, 128, 1}}};
        extra.insert(gammaFirst ? extra.begin() : extra.end(), {"gAMA", BE32Bytes(100000)});
        TPNGObject image;
        ASSERT_NO_FATAL_FAILURE(Load(image, EncodePng(2, 8, 3, false, {{0, 1}}, extra), {{0, 1}}));
        const TGammaTable& used = gammaFirst ? table : identity;
        EXPECT_EQ(image.DecodeGamma, table);
        const std::vector<Rgb> expected = {{used[10], used[100], used[200]}, {used[255], used[128], used[1]}};
        EXPECT_EQ(ColorTableOf(image.HeaderChunk()), expected);
    }
}

} // namespace
