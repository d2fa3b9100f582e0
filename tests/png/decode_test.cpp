// Image-data decoding: unfiltering, data split over chunks, Adam7, and how decoding ends.
#include <gtest/gtest.h>

#include <random>

#include "support/png_load.h"

using namespace pngtest;

namespace {

// ---- reference filtering (encoder side, written from the format's definition) ----

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

// Filters raw rows (no filter bytes) with the given filter per row; distance = bytes per pixel.
Bytes FilterRows(const std::vector<Bytes>& rows, const std::vector<int>& filters, int distance) {
    Bytes out;
    Bytes prior(rows.empty() ? 0 : rows[0].size(), 0);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const Bytes& r = rows[y];
        const int f = filters[y % filters.size()];
        out.push_back(static_cast<std::uint8_t>(f));
        for (std::size_t i = 0; i < r.size(); ++i) {
            const int a = i >= std::size_t(distance) ? r[i - distance] : 0;
            const int b = prior[i];
            const int c = i >= std::size_t(distance) ? prior[i - distance] : 0;
            const int predictor = f == 1   ? a
                                  : f == 2 ? b
                                  : f == 3 ? (a + b) / 2
                                  : f == 4 ? Paeth(a, b, c)
                                           : 0;
            out.push_back(static_cast<std::uint8_t>(r[i] - predictor));
        }
        prior = r;
    }
    return out;
}

std::vector<Bytes> RandomRows(std::size_t count, std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Bytes> rows(count, Bytes(length));
    for (Bytes& r : rows)
        for (auto& b : r)
            b = static_cast<std::uint8_t>(random() >> 13);
    return rows;
}

struct ImageMemory {
    std::vector<Bytes> rows, alpha, low;
    bool operator==(const ImageMemory&) const = default;
};

ImageMemory Memory(const TPNGObject& image) {
    const TChunkIHDR& h = image.HeaderChunk();
    ImageMemory m;
    const std::size_t bytes = (std::size_t(h.Width) * std::size_t(h.RowBits()) + 7) / 8;
    for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y) {
        m.rows.emplace_back(h.PixelRow(y), h.PixelRow(y) + bytes);
        if (h.AlphaPlane()) m.alpha.emplace_back(h.AlphaRow(y), h.AlphaRow(y) + h.Width);
        if (h.LowBytePlane()) m.low.emplace_back(h.LowByteRow(y), h.LowByteRow(y) + bytes);
    }
    return m;
}

// Bits per pixel of a PNG row.
int PixelBits(std::uint8_t colorType, std::uint8_t depth) {
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    return depth * channels[colorType];
}

// The raw rows of Adam7 pass data for an image given as full raw rows.
Bytes InterlaceRaw(const std::vector<Bytes>& rows, std::uint32_t width, int bits) {
    static const int rs[] = {0, 0, 4, 0, 2, 0, 1}, cs[] = {4 * 0, 4, 0, 2, 0, 1, 0};
    static const int ry[] = {8, 8, 8, 4, 4, 2, 2}, cx[] = {8, 8, 4, 4, 2, 2, 1};
    Bytes out;
    for (int p = 0; p < 7; ++p) {
        for (std::size_t y = std::size_t(rs[p]); y < rows.size(); y += std::size_t(ry[p])) {
            Bytes passRow;
            std::size_t bit = 0;
            for (std::uint32_t x = std::uint32_t(cs[p]); x < width; x += std::uint32_t(cx[p])) {
                for (int k = 0; k < bits; ++k, ++bit) {
                    const std::size_t from = x * std::size_t(bits) + std::size_t(k);
                    const int v = (rows[y][from / 8] >> (7 - from % 8)) & 1;
                    if (bit / 8 >= passRow.size()) passRow.push_back(0);
                    passRow[bit / 8] = static_cast<std::uint8_t>(passRow[bit / 8] | (v << (7 - bit % 8)));
                }
            }
            if (passRow.empty()) continue;
            out.push_back(0);
            out.insert(out.end(), passRow.begin(), passRow.end());
        }
    }
    return out;
}

TEST(Decode, EveryFilterRoundTripsAtEveryDistance) {
    struct Format {
        std::uint8_t colorType, depth;
    };
    const Format formats[] = {{0, 1}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    for (const Format& f : formats) {
        const std::uint32_t width = 13, height = 11;
        const auto length = static_cast<std::size_t>(PngRowBytes(width, f.colorType, f.depth));
        const int distance = std::max(1, PixelBits(f.colorType, f.depth) / 8);
        const std::vector<Bytes> rows = RandomRows(height, length, f.colorType * 100u + f.depth);
        TPNGObject plain, filtered;
        Load(plain,
             Png(IhdrBody(width, height, f.depth, f.colorType), {Chunk("IDAT", Compress(Scanlines(rows)))}));
        Load(filtered,
             Png(IhdrBody(width, height, f.depth, f.colorType),
                 {Chunk("IDAT", Compress(FilterRows(rows, {4, 1, 2, 3, 0, 4, 4, 3, 1, 2, 4}, distance)))}));
        EXPECT_EQ(Memory(filtered), Memory(plain))
            << "type " << int(f.colorType) << " depth " << int(f.depth);
    }
}

TEST(Decode, PaethTiesFollowTheStandardOrder) {
    // Row pairs whose left, upper and upper-left bytes tie both ways (8 above 11 / 10, and the reverse).
    const std::vector<Bytes> rows = {{0, 10, 11, 10, 8, 200, 0, 255, 1},
                                     {0, 8, 11, 11, 8, 0, 200, 255, 1},
                                     {20, 10, 10, 10, 30, 30, 255, 0, 1}};
    TPNGObject plain, paeth;
    Load(plain, Png(IhdrBody(9, 3, 8, 0), {Chunk("IDAT", Compress(Scanlines(rows)))}));
    Load(paeth, Png(IhdrBody(9, 3, 8, 0), {Chunk("IDAT", Compress(FilterRows(rows, {4}, 1)))}));
    EXPECT_EQ(Memory(paeth), Memory(plain));
    EXPECT_EQ(PaethPredictor(10, 10, 10), 10);
    EXPECT_EQ(PaethPredictor(1, 2, 3), 1);   // pa 1, pb 2, pc 3
    EXPECT_EQ(PaethPredictor(8, 11, 10), 8); // pa = pc = 1 < pb: the left byte wins the tie
    EXPECT_EQ(PaethPredictor(11, 8, 10), 8); // pb = pc = 1 < pa: the byte above wins the tie
    EXPECT_EQ(PaethPredictor(5, 3, 4), 4);   // pc 0
}

TEST(Decode, UnknownFilterTypeLeavesTheRow) {
    TPNGObject image;
    Load(image, Png(IhdrBody(3, 1, 8, 0), {Chunk("IDAT", Compress({7, 1, 2, 3}))}));
    EXPECT_EQ(Memory(image).rows[0], (Bytes{1, 2, 3}));
}

TEST(Decode, DataSplitAnywhereDecodesAsOneChunk) {
    const std::vector<Bytes> rows = RandomRows(9, 21, 7); // 7 x 9 RGB
    const Bytes data = Compress(FilterRows(rows, {1, 4, 2}, 3));
    TPNGObject whole;
    Load(whole, Png(IhdrBody(7, 9, 8, 2), {Chunk("IDAT", data)}));
    for (std::size_t cut = 0; cut <= data.size(); ++cut) {
        TPNGObject split;
        Load(split, Png(IhdrBody(7, 9, 8, 2), {SplitIdat(data, {cut})}));
        ASSERT_EQ(Memory(split), Memory(whole)) << "cut at " << cut;
        EXPECT_EQ(ChunkTypes(split), "IHDR IDAT IEND");
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < data.size(); ++i)
        everyByte.push_back(i);
    TPNGObject bytewise;
    Load(bytewise, Png(IhdrBody(7, 9, 8, 2), {SplitIdat(data, everyByte)}));
    EXPECT_EQ(Memory(bytewise), Memory(whole));
}

TEST(Decode, Adam7MatchesSequentialForEveryFormatAndSize) {
    struct Format {
        std::uint8_t colorType, depth;
    };
    const Format formats[] = {{0, 1}, {0, 2}, {0, 4},  {0, 8}, {0, 16}, {3, 1}, {3, 2}, {3, 4},
                              {3, 8}, {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{1, 1}, {3, 3},  {2, 9},
                                                             {5, 7}, {9, 17}, {33, 2}};
    for (const Format& f : formats) {
        for (auto [width, height] : sizes) {
            const auto length =
                static_cast<std::size_t>(PngRowBytes(std::int32_t(width), f.colorType, f.depth));
            std::vector<Bytes> rows = RandomRows(height, length, width * 31 + height);
            const int bits = PixelBits(f.colorType, f.depth);
            for (Bytes& r : rows) // clear the padding bits so both decodings see the same bytes
                if ((width * std::uint32_t(bits)) % 8 != 0)
                    r.back() &= std::uint8_t(0xFF << (8 - (width * bits) % 8));
            const Bytes plte = f.colorType == 3 ? Chunk("PLTE", Bytes(768, 9)) : Bytes{};
            TPNGObject sequential, interlaced;
            Load(sequential, Png(IhdrBody(width, height, f.depth, f.colorType),
                                 {plte, Chunk("IDAT", Compress(Scanlines(rows)))}));
            Load(interlaced, Png(IhdrBody(width, height, f.depth, f.colorType, 1),
                                 {plte, Chunk("IDAT", Compress(InterlaceRaw(rows, width, bits)))}));
            EXPECT_EQ(Memory(interlaced), Memory(sequential))
                << "type " << int(f.colorType) << " depth " << int(f.depth) << " " << width << "x" << height;
        }
    }
}

TEST(Decode, StoredSamplesPerFormat) {
    struct Case {
        const char* name;
        std::uint8_t colorType, depth;
        Bytes row; // one pixel row, 2 pixels unless said
        Bytes pixels, alpha, low;
    };
    const Case cases[] = {
        {"gray 2 bits", 0, 2, {0x1B}, {0x05, 0xAF}, {}, {}},
        {"palette 2 bits", 3, 2, {0x1B}, {0x01, 0x23}, {}, {}},
        {"gray 16", 0, 16, {0x12, 0x34, 0x56, 0x78}, {0x12, 0x56}, {}, {0x34, 0x78}},
        {"rgb 8", 2, 8, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 6, 5, 4}, {}, {}},
        {"rgb 16",
         2,
         16,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         {5, 3, 1, 11, 9, 7},
         {},
         {6, 4, 2, 12, 10, 8}},
        {"gray alpha 8", 4, 8, {1, 2, 3, 4}, {1, 3}, {2, 4}, {}},
        {"gray alpha 16", 4, 16, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 5}, {3, 7}, {2, 6}},
        {"rgba 8", 6, 8, {1, 2, 3, 4, 5, 6, 7, 8}, {3, 2, 1, 7, 6, 5}, {4, 8}, {}},
        {"rgba 16",
         6,
         16,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         {5, 3, 1, 13, 11, 9},
         {7, 15},
         {6, 4, 2, 14, 12, 10}},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        const std::uint32_t width = c.depth == 2 ? 4 : 2;
        Load(image, Png(IhdrBody(width, 1, c.depth, c.colorType),
                        {c.colorType == 3 ? Chunk("PLTE", Bytes(12, 0)) : Bytes{},
                         Chunk("IDAT", Compress(Scanlines({c.row})))}));
        const ImageMemory m = Memory(image);
        EXPECT_EQ(m.rows[0], c.pixels) << c.name;
        EXPECT_EQ(m.alpha.empty() ? Bytes{} : m.alpha[0], c.alpha) << c.name;
        EXPECT_EQ(m.low.empty() ? Bytes{} : m.low[0], c.low) << c.name;
    }
}

TEST(Decode, GrayRampsAndGammaOnColourOnly) {
    TPNGObject gray2;
    Load(gray2,
         Png(IhdrBody(4, 1, 2, 0), {Chunk("gAMA", {0, 1, 0x86, 0xA0}), Chunk("IDAT", Compress({0, 0x1B}))}));
    const TChunkIHDR& h = gray2.HeaderChunk();
    ASSERT_EQ(h.ColorsUsed(), 16u);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(h.DibInfo().ColorTable[k].rgbGreen, gray2.DecodeGamma[17 * k]) << k;
    EXPECT_EQ(h.PixelRow(0)[1], 0xAF); // levels 2 and 3 at indices 10 and 15: no gamma on indices

    TPNGObject rgba;
    Load(rgba, Png(IhdrBody(1, 1, 8, 6),
                   {Chunk("gAMA", {0, 1, 0x86, 0xA0}), Chunk("IDAT", Compress({0, 128, 1, 2, 128}))}));
    const TChunkIHDR& c = rgba.HeaderChunk();
    EXPECT_EQ(c.PixelRow(0)[2], 186);
    EXPECT_EQ(c.PixelRow(0)[1], 21);
    EXPECT_EQ(c.AlphaRow(0)[0], 128); // alpha never through gamma
}

// ---- how decoding ends ----

Bytes RgbRows(std::size_t height) {
    return Scanlines(RandomRows(height, 12, 3));
} // 4 pixels wide

TEST(DecodeEnd, StreamCutInsideTheDataKeepsDecodedRowsAndFailsTheCrc) {
    Bytes stream = Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", Compress(RgbRows(8), 0))});
    stream.resize(8 + 25 + 8 + 2 + 5 + 13 * 3 + 4); // three stored rows and a bit of the fourth
    TPNGObject image;
    EXPECT_EQ(LoadError(image, stream), "EPngInvalidCRC");
    const TChunkIHDR& h = image.HeaderChunk();
    EXPECT_EQ(ChunkTypes(image), "IHDR IDAT");
    EXPECT_NE(Bytes(h.PixelRow(0), h.PixelRow(0) + 12), Bytes(12, 0));
    EXPECT_EQ(Bytes(h.PixelRow(7), h.PixelRow(7) + 12), Bytes(12, 0));
}

TEST(DecodeEnd, ShortCompressedStreamEndsQuietly) {
    TPNGObject image;
    Load(image, Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", Compress(RgbRows(3)))}));
    const TChunkIHDR& h = image.HeaderChunk();
    EXPECT_NE(Bytes(h.PixelRow(2), h.PixelRow(2) + 12), Bytes(12, 0));
    EXPECT_EQ(Bytes(h.PixelRow(3), h.PixelRow(3) + 12), Bytes(12, 0));
}

TEST(DecodeEnd, CorruptDataRaisesTheZlibError) {
    Bytes data = Compress(RgbRows(8));
    data[0] = 0x79; // wrong header checksum
    TPNGObject image;
    try {
        Load(image, Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", data)}));
        ADD_FAILURE();
    } catch (const EPNGZLIBError& e) {
        EXPECT_EQ(e.Message(), std::string(pnglang::EPNGZLIBErrorText) + "data error (-3)");
    }
}

TEST(DecodeEnd, ChunkBoundaries) {
    const Bytes data = Compress(RgbRows(8));
    const std::size_t half = data.size() / 2;
    const Bytes head(data.begin(), data.begin() + std::ptrdiff_t(half));
    const Bytes tail(data.begin() + std::ptrdiff_t(half), data.end());
    const Bytes body(data.begin(), data.end() - 4);
    const Bytes adler(data.end() - 4, data.end());
    struct Case {
        const char* name;
        Bytes middle;
        const char* error;
        const char* chunks;
    };
    const Case cases[] = {
        {"missing second part",
         Concat({Chunk("IDAT", head), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", tail)}),
         "EPNGMissingMultipleIDAT", "IHDR IDAT"},
        {"bad crc in the first part", Concat({Chunk("IDAT", head, 1), Chunk("IDAT", tail)}), "EPngInvalidCRC",
         "IHDR IDAT"},
        {"bad crc in the last part", Concat({Chunk("IDAT", head), Chunk("IDAT", tail, 1)}), "EPngInvalidCRC",
         "IHDR IDAT"},
        {"checksum alone in a trailing chunk", Concat({Chunk("IDAT", body), Chunk("IDAT", adler)}), "",
         "IHDR IDAT IEND"},
        {"empty chunks between",
         Concat({Chunk("IDAT", {}), Chunk("IDAT", head), Chunk("IDAT", {}), Chunk("IDAT", tail)}), "",
         "IHDR IDAT IEND"},
    };
    TPNGObject whole;
    Load(whole, Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", data)}));
    for (const Case& c : cases) {
        TPNGObject image;
        EXPECT_EQ(LoadError(image, Png(IhdrBody(4, 8, 8, 2), {c.middle})), c.error) << c.name;
        EXPECT_EQ(ChunkTypes(image), c.chunks) << c.name;
        if (*c.error == 0) {
            EXPECT_EQ(Memory(image), Memory(whole)) << c.name;
        }
    }
}

TEST(DecodeEnd, LargeChunkWithDataPastTheRowsStillChecksItsCrc) {
    // The rows end well inside a chunk of more than one input block: the rest is read for the CRC.
    Bytes data = Compress(RgbRows(8));
    data.resize(data.size() + 200000, 0xAB);
    TPNGObject image;
    EXPECT_EQ(LoadError(image, Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", data)})), "");
    EXPECT_EQ(LoadError(image, Png(IhdrBody(4, 8, 8, 2), {Chunk("IDAT", data, 1)})), "EPngInvalidCRC");
}

TEST(DecodeEnd, PresetDictionaryEndsQuietly) {
    Bytes data = {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}; // asks for dictionary 1
    TPNGObject image;
    EXPECT_EQ(LoadError(image, Png(IhdrBody(4, 2, 8, 2), {Chunk("IDAT", data)})), "");
    EXPECT_EQ(image.HeaderChunk().PixelRow(0)[0], 0);
}

} // namespace
