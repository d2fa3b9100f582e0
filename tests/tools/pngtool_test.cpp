// pngtool's output is a contract: these tests pin its formats and exit codes.
#include <gtest/gtest.h>

#include "support/command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/png_builder.h"
#include "vorlanth/version.h"
#include <iterator>
#include <zlib.h>

using namespace pngtest;

namespace {

using Result = testsupport::CommandResult;

Result RunTool(const std::string& arguments) {
    return testsupport::RunCommand(std::string(PNGTOOL_PATH) + " " + arguments + " 2>/dev/null");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class PngTool : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const auto path = std::filesystem::temp_directory_path() /
                          (std::string("pngtool_") + std::to_string(::getpid()) + "_" + name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        files.push_back(path);
        return path.string();
    }
    void TearDown() override {
        for (const auto& f : files)
            std::filesystem::remove(f);
    }
    std::vector<std::filesystem::path> files;
};

TEST_F(PngTool, InfoListsChunksThenHeader) {
    const std::string file =
        Write("info.png",
              Png(IhdrBody(3, 2, 8, 6, 1), {Chunk("gAMA", {0, 0, 0xB1, 0x8E}), Chunk("iCCP", {'p', 0, 0}),
                                            Chunk("IDAT", Compress(Bytes(3 * 13, 0)))}));
    const Result r = RunTool("info " + file);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "chunk IHDR 13 TChunkIHDR\n"
                     "chunk gAMA 4 TChunkgAMA\n"
                     "chunk iCCP 3 TChunk\n"
                     "chunk IDAT 0 TChunkIDAT\n"
                     "chunk IEND 0 TChunkIEND\n"
                     "header 3 2 8 6 0 0 1\n"
                     "transparency ptkAlpha\n");
}

TEST_F(PngTool, DumpPrintsTheImageMemoryTopDown) {
    // 2 x 2 gray with alpha 8-bit: rows hold gray indices, a gray ramp colour table, an alpha plane.
    const std::string gray =
        Write("ga.png", Png(IhdrBody(2, 2, 8, 4), {Chunk("IDAT", Compress({0, 1, 2, 3, 4, 0, 5, 6, 7, 8}))}));
    Result r = RunTool("dump " + gray);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "image 2 2 8 4 4 8\ncolors 0\nrow 0 0103\nalpha 0 0204\nrow 1 0507\nalpha 1 0608\n");

    // 3 x 1 palette 2-bit: 4-bit rows, the palette's colours, no planes.
    const std::string palette =
        Write("p2.png", Png(IhdrBody(3, 1, 2, 3), {Chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3}),
                                                   Chunk("IDAT", Compress({0, 0x1B}))}));
    r = RunTool("dump " + palette);
    EXPECT_EQ(r.out, "image 3 1 4 4 3 2\ncolors 4\ncolor 0 ff 00 00\ncolor 1 00 ff 00\ncolor 2 00 00 ff\n"
                     "color 3 01 02 03\nrow 0 0123\n");

    // 16-bit RGB: blue-green-red high bytes, and the low-byte plane.
    const std::string rgb16 =
        Write("rgb16.png", Png(IhdrBody(1, 1, 16, 2), {Chunk("IDAT", Compress({0, 1, 2, 3, 4, 5, 6}))}));
    r = RunTool("dump " + rgb16);
    EXPECT_EQ(r.out, "image 1 1 24 4 2 16\ncolors 0\nrow 0 050301\nlow 0 060402\n");
}

TEST_F(PngTool, LoadFailuresAndUsage) {
    const std::string corrupt =
        Write("bad.png", Concat({Signature(), Chunk("IHDR", IhdrBody(1, 1, 8, 0)),
                                 Chunk("IDAT", Compress({0, 0}), 1), Chunk("IEND", {})}));
    Result r = RunTool("info " + corrupt);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(
        r.out,
        "error EPngInvalidCRC: This \"Portable Network Graphics\" image is not valid because it contains "
        "invalid pieces of data (crc error)\n");
    const std::string notFirst = Write("nf.png", Concat({Signature(), Chunk("IEND", {})}));
    r = RunTool("dump " + notFirst);
    EXPECT_EQ(r.exitCode, 2);
    // The message's CR LF is shown as one space.
    EXPECT_EQ(
        r.out,
        "error EPNGIHDRNotFirst: This \"Portable Network Graphics\" image is not supported or it might be "
        "invalid. (IHDR chunk is not the first)\n");
    r = RunTool("info /nonexistent/file.png");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.starts_with("error EFOpenError: ")) << r.out;
    for (const char* args : {"", "info", "frobnicate x.png", "info a b"})
        EXPECT_EQ(RunTool(args).exitCode, 1) << args;
}

// The PNG test images; false (a failure under CI) when they are missing.
bool SuitePresent(const std::filesystem::path& suite) {
    if (std::filesystem::exists(suite)) return true;
    if (std::getenv("CI") != nullptr && *std::getenv("CI") != 0) ADD_FAILURE() << "missing " << suite;
    return false;
}

TEST_F(PngTool, SuiteImagesFollowTheFormats) {
    const std::filesystem::path suite = std::filesystem::path(VORLANTH_SHARED_DIR) / "pngsuite";
    if (!SuitePresent(suite)) GTEST_SKIP() << "the PNG test images are not at " << suite;
    const std::regex chunk("chunk [A-Za-z]{4} [0-9]+ TChunk[A-Za-z]*");
    const std::regex header("header( [0-9]+){7}");
    const std::regex hexLine("(row|alpha|low) [0-9]+ ([0-9a-f]{2})*");
    for (const char* name :
         {"basi0g01.png", "basn3p02.png", "basn6a16.png", "ctzn0g04.png", "tbbn3p08.png"}) {
        const std::vector<std::string> info = Lines(RunTool("info " + (suite / name).string()).out);
        ASSERT_GE(info.size(), 4u) << name;
        for (std::size_t i = 0; i + 2 < info.size(); ++i)
            EXPECT_TRUE(std::regex_match(info[i], chunk)) << info[i];
        EXPECT_TRUE(std::regex_match(info[info.size() - 2], header)) << info[info.size() - 2];
        EXPECT_TRUE(std::regex_match(info.back(), std::regex("transparency ptk(Opaque|KeyColor|Alpha)")))
            << info.back();

        const Result dump = RunTool("dump " + (suite / name).string());
        EXPECT_EQ(dump.exitCode, 0);
        const std::vector<std::string> lines = Lines(dump.out);
        unsigned width = 0, height = 0, rowBits = 0, colors = 0;
        ASSERT_EQ(std::sscanf(lines.at(0).c_str(), "image %u %u %u", &width, &height, &rowBits), 3);
        ASSERT_EQ(std::sscanf(lines.at(1).c_str(), "colors %u", &colors), 1);
        std::size_t rows = 0;
        for (std::size_t i = 2 + colors; i < lines.size(); ++i) {
            ASSERT_TRUE(std::regex_match(lines[i], hexLine)) << name << ": " << lines[i];
            if (lines[i].starts_with("row ")) {
                EXPECT_TRUE(lines[i].starts_with("row " + std::to_string(rows) + " "));
                const std::size_t hex = lines[i].size() - lines[i].rfind(' ') - 1;
                EXPECT_EQ(hex, 2 * ((width * rowBits + 7) / 8)) << name;
                ++rows;
            }
        }
        EXPECT_EQ(rows, height) << name;
    }
}

// Pixel (x, y) of an uncompressed bottom-up BMP file as 0xRRGGBB (through the colour table up to
// 8 bits per pixel).
std::uint32_t BmpPixel(const Bytes& bmp, int x, int y) {
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t(bmp[at]) | (std::uint32_t(bmp[at + 1]) << 8) |
               (std::uint32_t(bmp[at + 2]) << 16) | (std::uint32_t(bmp[at + 3]) << 24);
    };
    const std::uint32_t offset = le32(10);
    const auto width = static_cast<int>(le32(18));
    const auto height = static_cast<int>(le32(22));
    const int bpp = bmp[28];
    const std::size_t stride = (std::size_t(width) * std::size_t(bpp) + 31) / 32 * 4;
    const std::size_t row = offset + std::size_t(height - 1 - y) * stride;
    std::size_t at = row + std::size_t(x) * std::size_t(bpp) / 8;
    if (bpp <= 8) {
        const int shift = 8 - bpp - (x * bpp) % 8;
        at = 14 + le32(14) + 4 * std::size_t((bmp[at] >> shift) & ((1 << bpp) - 1));
    }
    return (std::uint32_t(bmp[at + 2]) << 16) | (std::uint32_t(bmp[at + 1]) << 8) | bmp[at];
}

std::uint32_t Checker(int x, int y) {
    return (x / 8 + y / 8) % 2 == 0 ? 0x204060u : 0xE0D0C0u;
}

TEST_F(PngTool, DrawComposesOverTheCheckerboard) {
    // 16 x 1 key-colour image: columns below 8 have the key colour.
    Bytes keyRow;
    for (int x = 0; x < 16; ++x)
        keyRow.push_back(x < 8 ? 5 : 200);
    const std::string key =
        Write("key.png", Png(IhdrBody(16, 1, 8, 0),
                             {Chunk("tRNS", {0, 5}), Chunk("IDAT", Compress(Scanlines({keyRow})))}));
    // 2 x 1 alpha image: opaque red, then half-transparent white.
    const std::string alpha =
        Write("alpha.png",
              Png(IhdrBody(2, 1, 8, 6), {Chunk("IDAT", Compress({0, 255, 0, 0, 255, 255, 255, 255, 128}))}));
    const std::string out = Write("out.bmp", {});
    auto readOut = [&] {
        std::ifstream in(out, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    };

    ASSERT_EQ(RunTool("draw " + key + " " + out).exitCode, 0);
    Bytes bmp = readOut();
    EXPECT_EQ(bmp[28], 24); // bits per pixel
    EXPECT_EQ(BmpPixel(bmp, 3, 0), Checker(3, 0));
    EXPECT_EQ(BmpPixel(bmp, 9, 0), 0xC8C8C8u);

    ASSERT_EQ(RunTool("draw " + key + " " + out + " 32 20").exitCode, 0);
    bmp = readOut();
    EXPECT_EQ(BmpPixel(bmp, 15, 19), Checker(15, 19)); // key pixels, doubled
    EXPECT_EQ(BmpPixel(bmp, 16, 10), 0xC8C8C8u);

    ASSERT_EQ(RunTool("draw " + alpha + " " + out + " 4 2").exitCode, 0);
    bmp = readOut();
    EXPECT_EQ(BmpPixel(bmp, 1, 1), 0xFF0000u);
    const auto blend = [](std::uint32_t d) { return (255u * 128 + d * 127 + 255) >> 8; };
    EXPECT_EQ(BmpPixel(bmp, 3, 0), (blend(0x20) << 16) | (blend(0x40) << 8) | blend(0x60));

    EXPECT_EQ(RunTool("draw " + alpha + " " + out + " 0 5").exitCode, 1);
    EXPECT_EQ(RunTool("draw /nonexistent.png " + out).exitCode, 2);
}

// The IDAT chunk sizes and the inflated image data of a PNG file.
struct SavedData {
    std::vector<std::size_t> idatSizes;
    Bytes rows;
    int interlace = -1;
};

SavedData ReadSaved(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const Bytes png{std::istreambuf_iterator<char>(in), {}};
    SavedData out;
    Bytes data;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = (std::size_t(png[at]) << 24) | (std::size_t(png[at + 1]) << 16) |
                                   (std::size_t(png[at + 2]) << 8) | png[at + 3];
        const std::string type(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8));
        if (type == "IHDR") out.interlace = png[at + 8 + 12];
        if (type == "IDAT") {
            out.idatSizes.push_back(length);
            data.insert(data.end(), png.begin() + std::ptrdiff_t(at + 8),
                        png.begin() + std::ptrdiff_t(at + 8 + length));
        }
        at += 12 + length;
    }
    uLongf size = 1 << 22;
    out.rows.resize(size);
    if (uncompress(out.rows.data(), &size, data.data(), uLong(data.size())) != Z_OK) out.rows.clear();
    out.rows.resize(size);
    return out;
}

TEST_F(PngTool, ResaveAppliesEachOption) {
    // 300 x 300 gray of random bytes: large enough for several IDAT chunks when stored.
    Bytes raw;
    std::uint32_t seed = 1;
    for (int y = 0; y < 300; ++y) {
        raw.push_back(0);
        for (int x = 0; x < 300; ++x)
            raw.push_back(static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24));
    }
    const std::string in = Write("in.png", Png(IhdrBody(300, 300, 8, 0), {Chunk("IDAT", Compress(raw))}));
    const std::string out = Write("resaved.png", {});

    ASSERT_EQ(RunTool("resave " + in + " " + out).exitCode, 0);
    SavedData saved = ReadSaved(out);
    ASSERT_EQ(saved.rows.size(), raw.size());
    EXPECT_EQ(saved.rows[0], 1); // the default: Sub
    EXPECT_EQ(saved.interlace, 0);

    ASSERT_EQ(RunTool("resave " + in + " " + out + " --filters none --level 0 --idat-limit 70000").exitCode,
              0);
    saved = ReadSaved(out);
    EXPECT_EQ(saved.rows, raw); // no filters: the scanlines as they were
    ASSERT_GE(saved.idatSizes.size(), 2u);
    EXPECT_EQ(saved.idatSizes[0], 70000u);

    ASSERT_EQ(RunTool("resave " + in + " " + out + " --filters 2 --interlace 1").exitCode, 0);
    saved = ReadSaved(out);
    EXPECT_EQ(saved.interlace, 1);
    EXPECT_EQ(saved.rows[0], 2);

    for (const char* bad :
         {" --level 10", " --filters 5", " --filters 1,", " --interlace 2", " --idat-limit", " --bogus 1"})
        EXPECT_EQ(RunTool("resave " + in + " " + out + bad).exitCode, 1) << bad;
}

Bytes ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST_F(PngTool, HelpVersionAndUsageErrorsNameTheArgument) {
    const std::string png = Write("u.png", Png(IhdrBody(1, 1, 8, 0), {Chunk("IDAT", Compress({0, 0}))}));
    const std::string err = Write("stderr.txt", {});
    // The arguments, and what standard output shows (exit 0) or standard error begins with (exit 1).
    const std::pair<std::string, std::string> cases[] = {
        {"--help", "usage: pngtool info FILE"},
        {"-h", "pngtool optimize IN OUT [--level N|all]"},
        {"help", "pngtool check FILE..."},
        {"--version", "pngtool " VORLANTH_VERSION "\n"},
        {"", "pngtool: missing command"},
        {"frob", "pngtool: unknown command \"frob\""},
        {"info", "pngtool: info: missing FILE"},
        {"info " + png + " extra", "pngtool: info: unexpected argument \"extra\""},
        {"draw " + png + " o.bmp 0 0", "pngtool: draw: WIDTH must be a positive whole number, not \"0\""},
        {"draw " + png + " o.bmp 4 70000", "pngtool: draw: HEIGHT must be at most 65535, not \"70000\""},
        {"resave " + png + " o.png --fitlers 1", "pngtool: resave: unknown option \"--fitlers\""},
        {"resave " + png + " o.png --level", "pngtool: resave: --level needs a value"},
        {"convert " + png + " o.png", "pngtool: convert: \"" + png + "\" and \"o.png\" are both PNG files"},
        {"convert " + png + " o.gif", "pngtool: convert: cannot tell the kind of \"o.gif\""},
        {"optimize " + png + " o.png --level 10",
         "pngtool: optimize: --level must be a whole number from 0 to 9, or all, not \"10\""},
        {"check", "pngtool: check: missing FILE"},
    };
    for (const auto& [args, says] : cases) {
        const Result r = testsupport::RunCommand(std::string(PNGTOOL_PATH) + " " + args + " 2>" + err);
        const Bytes e = ReadFile(err);
        const std::string errText(e.begin(), e.end());
        const bool usageError = says.starts_with("pngtool: ");
        EXPECT_EQ(r.exitCode, usageError ? 1 : 0) << args;
        EXPECT_EQ(usageError ? r.out : errText, "") << args;
        if (usageError) {
            EXPECT_TRUE(errText.starts_with(says)) << errText;
            EXPECT_TRUE(errText.ends_with("\nrun \"pngtool --help\" for usage\n")) << errText;
        } else {
            EXPECT_NE(r.out.find(says), std::string::npos) << args;
        }
    }
}

// A 13 x 5 BMP file of the given depth and compression (0 plain, 1 RLE8 and 2 RLE4 as runs of one
// pixel, 3 bit fields), and its colours in expected (0xRRGGBB, top-down).
Bytes MakeBmp(int bpp, std::uint32_t compression, std::vector<std::uint32_t>& expected) {
    const auto put32 = [](Bytes& out, std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(std::uint8_t(v >> shift));
    };
    const auto colour = [](int seed) { return std::uint32_t(seed) * 0x9E3779B1u >> 8; };
    const int colours = bpp <= 8 ? 1 << bpp : 0;
    const bool rle = compression == 1 || compression == 2;
    Bytes data, extra; // extra: the bit-field masks or the colour table
    if (compression == 3)
        for (const std::uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu})
            put32(extra, mask);
    for (int i = 0; i < colours; ++i)
        put32(extra, colour(i));
    expected.assign(13 * 5, 0);
    for (int y = 4; y >= 0; --y) { // bottom-up
        Bytes row((13 * std::size_t(bpp) + 31) / 32 * 4, 0);
        for (int x = 0; x < 13; ++x) {
            const int seed = x * 5 + y * 3 + x * y;
            const int index = colours != 0 ? seed % colours : 0;
            const std::uint32_t c = expected[std::size_t(y * 13 + x)] =
                colour(colours != 0 ? index : 100 + seed);
            if (rle)
                data.insert(data.end(), {1, std::uint8_t(compression == 1 ? index : index << 4)});
            else if (colours != 0)
                row[std::size_t(x * bpp / 8)] |= std::uint8_t(index << (8 - bpp - x * bpp % 8));
            else
                for (int k = 0; k < 3; ++k)
                    row[std::size_t(x * bpp / 8 + k)] = std::uint8_t(c >> 8 * k);
        }
        data.insert(data.end(), rle ? row.end() : row.begin(), row.end());
        if (rle) data.insert(data.end(), {0, 0});
    }
    if (rle) data.insert(data.end(), {0, 1});
    Bytes bmp{'B', 'M'};
    const auto offBits = std::uint32_t(54 + extra.size());
    for (const std::uint32_t v :
         {offBits + std::uint32_t(data.size()), 0u, offBits, 40u, 13u, 5u, 1u | std::uint32_t(bpp) << 16,
          compression, std::uint32_t(data.size()), 0u, 0u, 0u, 0u})
        put32(bmp, v);
    return Concat({bmp, extra, data});
}

TEST_F(PngTool, ConvertRoundTripsEveryBmpKindTheLibraryReads) {
    const std::pair<int, std::uint32_t> kinds[] = {{1, 0}, {4, 0},  {8, 0},  {4, 2},
                                                   {8, 1}, {24, 0}, {32, 0}, {32, 3}};
    for (const auto& [bpp, compression] : kinds) {
        SCOPED_TRACE(std::to_string(bpp) + " bits, compression " + std::to_string(compression));
        std::vector<std::uint32_t> expected;
        const std::string in = Write("in.bmp", MakeBmp(bpp, compression, expected));
        const std::string png = Write("mid.PNG", {}), out = Write("out.Bmp", {});
        ASSERT_EQ(RunTool("convert " + in + " " + png).exitCode, 0);
        EXPECT_EQ(RunTool("check " + png).out, png + ": ok\n");
        ASSERT_EQ(RunTool("convert " + png + " " + out).exitCode, 0);
        const Bytes bmp = ReadFile(out);
        ASSERT_GT(bmp.size(), 54u);
        for (int i = 0; i < 13 * 5; ++i)
            ASSERT_EQ(BmpPixel(bmp, i % 13, i / 13), expected[std::size_t(i)]) << i;
    }
    EXPECT_EQ(RunTool("convert " + Write("bad.bmp", {'B', 'M', 0}) + " " + Write("o.png", {})).out,
              "error EInvalidGraphic: Bitmap image is not valid\n");
}

TEST_F(PngTool, OptimizeIsNeverLargerAndDecodesToTheSameImage) {
    const std::filesystem::path suite = std::filesystem::path(VORLANTH_SHARED_DIR) / "pngsuite";
    if (!SuitePresent(suite)) GTEST_SKIP() << "the PNG test images are not at " << suite;
    enum Outcome { Smaller, Kept, Forced };
    const struct {
        const char* file;
        const char* options;
        Outcome outcome;
        char interlace; // of the result
    } cases[] = {
        {"basn0g04.png", "", Smaller, '0'},
        {"basi0g08.png", "", Smaller, '1'},             // interlaced, and stays so
        {"basn6a16.png", " --level all", Smaller, '0'}, // 16 bits and alpha
        {"basn2c08.png", "", Kept, '0'},                // its mixed filters beat every try
        {"s06i3p02.png", "", Kept, '1'},                // 2-bit rows are saved as 4-bit ones
        {"basn2c08.png", " --force", Forced, '0'},      // larger, as asked
        {"basn0g08.png", " --interlace 1 --force", Forced, '1'},
    };
    const std::regex line("\\S+ ([0-9]+) -> \\S+ ([0-9]+) bytes \\([0-9]+\\.[0-9]%\\), "
                          "(filters [0-4](,[0-4])*, level [1-9], interlace [01]|unchanged: .+)\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + c.options);
        const std::string in = (suite / c.file).string(), out = Write("optimized.png", {});
        const Result r = RunTool("optimize " + in + " " + out + c.options);
        ASSERT_EQ(r.exitCode, 0);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.out, m, line)) << r.out;
        const Bytes before = ReadFile(in), after = ReadFile(out);
        EXPECT_EQ(m[1], std::to_string(before.size()));
        EXPECT_EQ(m[2], std::to_string(after.size()));
        EXPECT_EQ(c.outcome == Kept, m[3].str().starts_with("unchanged"));
        EXPECT_TRUE(c.outcome != Smaller || after.size() < before.size());
        EXPECT_TRUE(c.outcome != Kept || after == before);
        EXPECT_EQ(RunTool("dump " + out).out, RunTool("dump " + in).out);
        const std::vector<std::string> info = Lines(RunTool("info " + out).out);
        EXPECT_EQ(info.at(info.size() - 2).back(), c.interlace);
    }
}

TEST_F(PngTool, CheckGivesTheLoadVerdictOfEveryFile) {
    const std::filesystem::path suite = std::filesystem::path(VORLANTH_SHARED_DIR) / "pngsuite";
    if (!SuitePresent(suite)) GTEST_SKIP() << "the PNG test images are not at " << suite;
    std::vector<std::string> images;
    for (const auto& entry : std::filesystem::directory_iterator(suite))
        if (entry.path().extension() == ".png") images.push_back(entry.path().string());
    std::sort(images.begin(), images.end());
    std::string args;
    for (const std::string& f : images)
        args += " " + f;
    const Result r = RunTool("check" + args);
    EXPECT_EQ(r.exitCode, 2);
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), images.size());
    int corrupt = 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
        // The suite's corrupt files are the x*.png ones; their verdict is what loading them says.
        if (!std::filesystem::path(images[i]).filename().string().starts_with("x")) {
            EXPECT_EQ(lines[i], images[i] + ": ok");
            continue;
        }
        ++corrupt;
        const Result info = RunTool("info " + images[i]);
        EXPECT_EQ(info.exitCode, 2);
        EXPECT_EQ(lines[i] + "\n", images[i] + ": " + info.out);
    }
    EXPECT_GE(corrupt, 10);
    EXPECT_EQ(RunTool("check " + images[0] + " " + images[1]).exitCode, 0);
}

} // namespace
