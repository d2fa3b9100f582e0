// The launcher's committed pictures: the exact file layouts the launcher and other readers rely
// on, content that suits the window laid over them, and that assetgen remakes them byte for byte.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <zlib.h>

#include "support/png_load.h"
#include "toolkit/core/picture.h"

namespace {

using pngtest::Bytes;
namespace fs = std::filesystem;

Bytes ReadAsset(const std::string& name) {
    std::ifstream in(fs::path(VORLANTH_ASSETS_DIR) / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | b.at(at + std::size_t(i));
    return v;
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t(b.at(at)) << 24) | (std::uint32_t(b.at(at + 1)) << 16) |
           (std::uint32_t(b.at(at + 2)) << 8) | b.at(at + 3);
}

double S15Fixed16(const Bytes& b, std::size_t at) {
    return double(static_cast<std::int32_t>(Be32(b, at))) / 65536.0;
}

std::string Text(const Bytes& b, std::size_t at, std::size_t n) {
    return std::string(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
}

Bytes Inflate(const Bytes& data) {
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    Bytes out;
    int status = Z_OK;
    while (status == Z_OK) {
        std::uint8_t buffer[4096];
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    }
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the compressed stream";
    inflateEnd(&z);
    return out;
}

struct Field {
    std::size_t offset;
    int size;
    std::uint32_t value;
    const char* name;
};

void ExpectFields(const Bytes& file, const std::vector<Field>& fields) {
    for (const Field& f : fields)
        EXPECT_EQ(Le(file, f.offset, f.size), f.value) << f.name << " at " << f.offset;
}

// --- background.bmp ---

constexpr int kBmpWidth = 255, kBmpHeight = 210, kBmpStride = 768;

// WCAG relative luminance of a pixel (x, y from the top).
double Luminance(const Bytes& bmp, int x, int y) {
    const std::size_t at = 54 + std::size_t(kBmpHeight - 1 - y) * kBmpStride + std::size_t(x) * 3;
    const auto linear = [](std::uint8_t c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(bmp.at(at + 2)) + 0.7152 * linear(bmp.at(at + 1)) + 0.0722 * linear(bmp.at(at));
}

TEST(Background, HeaderAndPadding) {
    const Bytes bmp = ReadAsset("background.bmp");
    ASSERT_EQ(bmp.size(), 161334u);
    EXPECT_EQ(Text(bmp, 0, 2), "BM");
    ExpectFields(bmp, {{2, 4, 161334, "file size"},
                       {6, 2, 0, "reserved 1"},
                       {8, 2, 0, "reserved 2"},
                       {10, 4, 54, "pixel offset"},
                       {14, 4, 40, "info size"},
                       {18, 4, kBmpWidth, "width"},
                       {22, 4, kBmpHeight, "height (bottom-up)"},
                       {26, 2, 1, "planes"},
                       {28, 2, 24, "bits per pixel"},
                       {30, 4, 0, "compression"},
                       {34, 4, 161280, "image size"},
                       {38, 4, 7872, "horizontal resolution"},
                       {42, 4, 7872, "vertical resolution"},
                       {46, 4, 0, "colours used"},
                       {50, 4, 0, "colours important"}});
    for (int row = 0; row < kBmpHeight; ++row)
        for (int pad = 765; pad < kBmpStride; ++pad)
            ASSERT_EQ(bmp[54 + std::size_t(row) * kBmpStride + std::size_t(pad)], 0) << "row " << row;
}

TEST(Background, SuitsTheWindowLaidOverIt) {
    const Bytes bmp = ReadAsset("background.bmp");
    ASSERT_EQ(bmp.size(), 161334u);
    // Black credit text at rows 190..201, x 19..234 keeps a contrast of at least 7:1 everywhere.
    double darkest = 1;
    for (int y = 190; y < 202; ++y)
        for (int x = 19; x < 235; ++x)
            darkest = std::min(darkest, Luminance(bmp, x, y));
    EXPECT_GE((darkest + 0.05) / 0.05, 7.0);
    // The title band holds artwork: both near-black sky and bright lettering.
    double low = 1, high = 0;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < kBmpWidth; ++x) {
            low = std::min(low, Luminance(bmp, x, y));
            high = std::max(high, Luminance(bmp, x, y));
        }
    EXPECT_LT(low, 0.02);
    EXPECT_GT(high, 0.6);
}

// --- credit.png ---

struct PngChunk {
    std::string type;
    Bytes body;
};

// Every chunk of the stream, checking framing and CRCs on the way.
std::vector<PngChunk> ReadChunks(const Bytes& png) {
    std::vector<PngChunk> chunks;
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), Bytes(PngSignature.begin(), PngSignature.end()));
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = Be32(png, at);
        if (at + 12 + length > png.size()) break;
        PngChunk chunk{Text(png, at + 4, 4), Bytes(png.begin() + std::ptrdiff_t(at + 8),
                                                   png.begin() + std::ptrdiff_t(at + 8 + length))};
        const uLong crc = crc32(0, png.data() + at + 4, uInt(4 + length));
        EXPECT_EQ(Be32(png, at + 8 + length), crc) << chunk.type << " CRC";
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size()) << "stray bytes after the last whole chunk";
    return chunks;
}

TEST(Credit, ChunksInOrderWithTheirValues) {
    const std::vector<PngChunk> chunks = ReadChunks(ReadAsset("credit.png"));
    std::vector<std::string> types;
    for (const PngChunk& c : chunks)
        types.push_back(c.type);
    ASSERT_EQ(types, (std::vector<std::string>{"IHDR", "pHYs", "iCCP", "gAMA", "IDAT", "IEND"}));

    const Bytes& header = chunks[0].body;
    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(Be32(header, 0), 216u);
    EXPECT_EQ(Be32(header, 4), 12u);
    EXPECT_EQ(Bytes(header.begin() + 8, header.end()), (Bytes{8, 6, 0, 0, 0}));

    ASSERT_EQ(chunks[1].body.size(), 9u);
    EXPECT_EQ(Be32(chunks[1].body, 0), 7874u);
    EXPECT_EQ(Be32(chunks[1].body, 4), 7874u);
    EXPECT_EQ(chunks[1].body[8], 1);

    ASSERT_EQ(chunks[3].body.size(), 4u);
    EXPECT_EQ(Be32(chunks[3].body, 0), 45454u);
    EXPECT_TRUE(chunks[5].body.empty());
}

TEST(Credit, ProfileIsAnSrgbDisplayProfile) {
    const std::vector<PngChunk> chunks = ReadChunks(ReadAsset("credit.png"));
    ASSERT_GE(chunks.size(), 3u);
    const Bytes& iccp = chunks[2].body;
    const auto nul = std::find(iccp.begin(), iccp.end(), 0);
    ASSERT_NE(nul, iccp.end());
    const std::string name(iccp.begin(), nul);
    EXPECT_TRUE(name.starts_with("sRGB")) << name;
    EXPECT_LE(name.size(), 79u);
    ASSERT_LT(nul + 1, iccp.end());
    EXPECT_EQ(*(nul + 1), 0) << "compression method";
    const Bytes icc = Inflate(Bytes(nul + 2, iccp.end()));

    ASSERT_GE(icc.size(), 132u);
    EXPECT_EQ(Be32(icc, 0), icc.size());
    EXPECT_EQ(icc[8], 2) << "major version";
    EXPECT_EQ(Text(icc, 12, 12), "mntrRGB XYZ ");
    EXPECT_EQ(Text(icc, 36, 4), "acsp");
    EXPECT_NEAR(S15Fixed16(icc, 68), 0.9642, 1e-4);
    EXPECT_NEAR(S15Fixed16(icc, 72), 1.0, 1e-4);
    EXPECT_NEAR(S15Fixed16(icc, 76), 0.8249, 1e-4);

    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> tags;
    const std::uint32_t count = Be32(icc, 128);
    ASSERT_LE(132 + 12 * std::size_t(count), icc.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 132 + 12 * std::size_t(i);
        const std::uint32_t offset = Be32(icc, entry + 4), size = Be32(icc, entry + 8);
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_GE(offset, 132 + 12 * count);
        ASSERT_LE(std::size_t(offset) + size, icc.size());
        tags[Text(icc, entry, 4)] = {offset, size};
    }
    const std::vector<std::pair<std::string, std::string>> expectedTypes{
        {"desc", "desc"}, {"cprt", "text"}, {"wtpt", "XYZ "}, {"rXYZ", "XYZ "}, {"gXYZ", "XYZ "},
        {"bXYZ", "XYZ "}, {"rTRC", "curv"}, {"gTRC", "curv"}, {"bTRC", "curv"}};
    for (const auto& [tag, type] : expectedTypes) {
        ASSERT_TRUE(tags.contains(tag)) << tag;
        EXPECT_EQ(Text(icc, tags[tag].first, 4), type) << tag;
    }

    // Primaries: sRGB's, Bradford-adapted to D50 (published values), and adding up to the white.
    const std::vector<std::pair<std::string, std::array<double, 3>>> primaries{
        {"rXYZ", {0.4361, 0.2225, 0.0139}},
        {"gXYZ", {0.3851, 0.7169, 0.0971}},
        {"bXYZ", {0.1431, 0.0606, 0.7141}}};
    std::array<double, 3> sum{};
    for (const auto& [tag, xyz] : primaries) {
        ASSERT_EQ(tags[tag].second, 20u) << tag;
        for (std::size_t c = 0; c < 3; ++c) {
            const double v = S15Fixed16(icc, tags[tag].first + 8 + 4 * c);
            EXPECT_NEAR(v, xyz[c], 6e-4) << tag << " component " << c;
            sum[c] += v;
        }
    }
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(sum[c], S15Fixed16(icc, tags["wtpt"].first + 8 + 4 * c), 1e-4) << "white " << c;

    // The curves: the sRGB transfer function, rising from 0 to 1.
    for (const char* tag : {"rTRC", "gTRC", "bTRC"}) {
        const std::size_t at = tags[tag].first;
        const std::uint32_t n = Be32(icc, at + 8);
        ASSERT_GE(n, 256u) << tag;
        ASSERT_EQ(tags[tag].second, 12 + 2 * n) << tag;
        const auto entry = [&](std::uint32_t i) {
            return (std::uint32_t(icc[at + 12 + 2 * i]) << 8) | icc[at + 13 + 2 * i];
        };
        EXPECT_EQ(entry(0), 0u);
        EXPECT_EQ(entry(n - 1), 65535u);
        for (std::uint32_t i = 1; i < n; ++i)
            ASSERT_GE(entry(i), entry(i - 1)) << tag << " entry " << i;
        const std::uint32_t half = (n - 1) / 2;
        const double v = double(half) / double(n - 1);
        EXPECT_NEAR(entry(half) / 65535.0, std::pow((v + 0.055) / 1.055, 2.4), 2e-4) << tag;
    }
}

TEST(Credit, PixelsAreOpaqueBlackOrClearInSubFilteredRows) {
    const std::vector<PngChunk> chunks = ReadChunks(ReadAsset("credit.png"));
    ASSERT_EQ(chunks.size(), 6u);
    const Bytes rows = Inflate(chunks[4].body);
    ASSERT_EQ(rows.size(), 12u * 865u);
    int opaque = 0, clear = 0, inkTop = 12, inkBottom = -1;
    for (int y = 0; y < 12; ++y) {
        const std::size_t start = std::size_t(y) * 865;
        ASSERT_EQ(rows[start], 1) << "filter of row " << y;
        Bytes raw(rows.begin() + std::ptrdiff_t(start + 1), rows.begin() + std::ptrdiff_t(start + 865));
        for (std::size_t i = 4; i < raw.size(); ++i)
            raw[i] = static_cast<std::uint8_t>(raw[i] + raw[i - 4]);
        for (std::size_t x = 0; x < 216; ++x) {
            const Bytes pixel(raw.begin() + std::ptrdiff_t(4 * x), raw.begin() + std::ptrdiff_t(4 * x + 4));
            if (pixel == Bytes{0, 0, 0, 255}) {
                ++opaque;
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            } else {
                ASSERT_EQ(pixel, (Bytes{0, 0, 0, 0})) << "pixel " << x << ", " << y;
                ++clear;
            }
        }
    }
    EXPECT_GT(opaque, 100);
    EXPECT_GT(clear, 216 * 6);
    const int inkHeight = inkBottom - inkTop + 1;
    EXPECT_GE(inkHeight, 9);
    EXPECT_LE(inkHeight, 12);
}

class CreditInLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PictureInitialization();
        PngImageInitialization();
    }
    static void TearDownTestSuite() {
        PngImageFinalization();
        PictureFinalization();
    }
};

TEST_F(CreditInLibrary, LoadsWithAlphaAndBlackPixels) {
    TPNGObject image;
    ASSERT_EQ(pngtest::LoadError(image, ReadAsset("credit.png")), "");
    EXPECT_EQ(image.PixelWidth(), 216);
    EXPECT_EQ(image.PixelHeight(), 12);
    EXPECT_EQ(image.TransparencyKind(), ptkAlpha);
    EXPECT_EQ(pngtest::ChunkTypes(image), "IHDR pHYs iCCP gAMA IDAT IEND");
    int opaque = 0;
    for (int y = 0; y < 12; ++y) {
        const std::uint8_t* alpha = image.AlphaRow(y);
        ASSERT_NE(alpha, nullptr);
        for (int x = 0; x < 216; ++x) {
            ASSERT_TRUE(alpha[x] == 0 || alpha[x] == 255) << x << ", " << y;
            if (alpha[x] == 255) {
                ++opaque;
                EXPECT_EQ(image.PixelAt(x, y), 0u) << x << ", " << y;
            }
        }
    }
    EXPECT_GT(opaque, 0);
}

// --- vorlanth.ico ---

TEST(Icon, LayoutAndMask) {
    const Bytes ico = ReadAsset("vorlanth.ico");
    ASSERT_EQ(ico.size(), 22u + 2216u);
    ExpectFields(ico, {{0, 2, 0, "reserved"},
                       {2, 2, 1, "type"},
                       {4, 2, 1, "count"},
                       {6, 1, 32, "entry width"},
                       {7, 1, 32, "entry height"},
                       {8, 1, 0, "colour count"},
                       {9, 1, 0, "entry reserved"},
                       {10, 2, 1, "planes"},
                       {12, 2, 8, "bit count"},
                       {14, 4, 2216, "bytes in resource"},
                       {18, 4, 22, "image offset"},
                       {22, 4, 40, "info size"},
                       {26, 4, 32, "width"},
                       {30, 4, 64, "height with mask"},
                       {34, 2, 1, "image planes"},
                       {36, 2, 8, "bits per pixel"},
                       {38, 4, 0, "compression"}});
    const std::uint32_t imageSize = Le(ico, 42, 4);
    EXPECT_TRUE(imageSize == 0 || imageSize == 1024 + 128) << imageSize;

    constexpr std::size_t table = 22 + 40, pixels = table + 1024, mask = pixels + 1024;
    const auto transparent = [&](int x, int y) { // y from the top
        return (ico[mask + std::size_t(31 - y) * 4 + std::size_t(x / 8)] >> (7 - x % 8)) & 1;
    };
    int clear = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (!transparent(x, y)) continue;
            ++clear;
            // Clear pixels draw black, which leaves the screen unchanged under the mask.
            const std::size_t entry =
                table + 4 * std::size_t(ico[pixels + std::size_t(31 - y) * 32 + std::size_t(x)]);
            EXPECT_EQ(Bytes(ico.begin() + std::ptrdiff_t(entry), ico.begin() + std::ptrdiff_t(entry + 3)),
                      (Bytes{0, 0, 0}))
                << x << ", " << y;
        }
    // A surround that shows through, corners included, around an opaque emblem.
    EXPECT_GT(clear, 64);
    EXPECT_LT(clear, 32 * 32 / 2);
    for (const auto& [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}})
        EXPECT_TRUE(transparent(x, y)) << x << ", " << y;
    EXPECT_FALSE(transparent(16, 16));
    for (std::size_t i = 0; i < 256; ++i)
        EXPECT_EQ(ico[table + 4 * i + 3], 0) << "reserved byte of colour " << i;
}

// --- remaking the pictures ---

int ExitCode(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Assetgen, RemakesTheCommittedFilesByteForByte) {
    EXPECT_EQ(ExitCode(ASSETGEN_PATH), 1) << "usage";
    const int fonts = ExitCode(std::string(ASSETGEN_PATH) + " --check-fonts");
    if (fonts == 3) GTEST_SKIP() << "the fonts the pictures were made with are not installed";
    ASSERT_EQ(fonts, 0);
    const fs::path folder = fs::temp_directory_path() / ("assetgen_" + std::to_string(::getpid()));
    ASSERT_EQ(ExitCode(std::string(ASSETGEN_PATH) + " " + folder.string()), 0);
    for (const char* name : {"background.bmp", "credit.png", "vorlanth.ico"}) {
        std::ifstream in(folder / name, std::ios::binary);
        const Bytes made((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(made == ReadAsset(name)) << name << " differs from the committed file";
    }
    fs::remove_all(folder);
}

} // namespace
