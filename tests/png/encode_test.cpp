// The saved stream's structure: filter bytes, filter choice, IDAT sizes, Adam7 layout, samples.
#include <gtest/gtest.h>

#include <random>

#include "support/png_load.h"

using namespace pngtest;

namespace {

struct SavedChunk {
    std::string type;
    Bytes data;
};

std::vector<SavedChunk> ChunksOf(const Bytes& png) {
    std::vector<SavedChunk> out;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = ReadBE32(&png[at]);
        out.push_back(
            {std::string(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8)),
             Bytes(png.begin() + std::ptrdiff_t(at + 8), png.begin() + std::ptrdiff_t(at + 8 + length))});
        at += 12 + length;
    }
    return out;
}

// The inflated image data of a saved stream.
Bytes Scanlines(const Bytes& png) {
    Bytes data;
    for (const SavedChunk& c : ChunksOf(png))
        if (c.type == "IDAT") data.insert(data.end(), c.data.begin(), c.data.end());
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_TRUE(InflateBuffer(data.data(), data.size(), out, error)) << error;
    return out;
}

Bytes Rgb(std::uint32_t width, std::uint32_t height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        for (std::uint32_t i = 0; i < 3 * width; ++i)
            raw.push_back(static_cast<std::uint8_t>(random() >> 20));
    }
    return Png(IhdrBody(width, height, 8, 2), {Chunk("IDAT", Compress(raw))});
}

TEST(Encode, FilterBytesFollowTheFilterSet) {
    struct Case {
        TPNGFilterSet set;
        int only; // the filter every scanline must carry, -1 when any allowed one may win
    };
    for (const Case& c : {Case{FilterBit(pfSub), 1}, Case{0, 0}, Case{FilterBit(pfNone), 0},
                          Case{FilterBit(pfPaeth), 4}, Case{0x1F, -1}}) {
        TPNGObject image;
        Load(image, Rgb(9, 7, 3));
        image.FilterSet = c.set;
        const Bytes rows = Scanlines(Save(image));
        ASSERT_EQ(rows.size(), 7u * 28);
        for (std::size_t y = 0; y < 7; ++y) {
            if (c.only >= 0)
                EXPECT_EQ(rows[y * 28], c.only) << "set " << int(c.set) << " row " << y;
            else
                EXPECT_LE(rows[y * 28], 4);
        }
        TPNGObject back;
        Load(back, Save(image));
        EXPECT_EQ(Bytes(back.PixelRow(6), back.PixelRow(6) + 27),
                  Bytes(image.PixelRow(6), image.PixelRow(6) + 27));
    }
}

TEST(Encode, ChooseFilterScoresAndTies) {
    // One gray row of 6 pixels per case; the previous row is zero, so Up equals None.
    struct Case {
        const char* name;
        TPNGFilterSet set;
        Bytes row;
        int expected;
    };
    const Case cases[] = {
        {"no repeats in Sub or Up: None although not allowed",
         FilterBit(pfSub) | FilterBit(pfUp),
         {1, 3, 7, 15, 31, 63},
         0},
        {"equal scores: the lower filter", FilterBit(pfSub) | FilterBit(pfUp), {5, 5, 5, 5, 5, 5}, 1},
        {"Sub repeats more than None", FilterBit(pfNone) | FilterBit(pfSub), {1, 2, 3, 4, 5, 6}, 1},
        {"None wins when Sub scores less", 0x1F, {9, 9, 9, 9, 1, 200}, 0},
        {"two-byte scanlines are never scored", 0x1F, {7, 7}, 0},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, Png(IhdrBody(std::uint32_t(c.row.size()), 1, 8, 0),
                        {Chunk("IDAT", Compress(Concat({{0}, c.row})))}));
        image.FilterSet = c.set;
        EXPECT_EQ(Scanlines(Save(image))[0], c.expected) << c.name;
    }
}

TEST(Encode, IdatChunksOfTheLimit) {
    TPNGObject image;
    Load(image, Rgb(300, 300, 7)); // random samples: about 270,000 compressed bytes
    image.DeflateLevel = 0;
    for (std::int32_t limit : {65535, 100000}) {
        image.SetIdatLimit(limit);
        std::vector<std::size_t> sizes;
        std::size_t total = 0;
        for (const SavedChunk& c : ChunksOf(Save(image)))
            if (c.type == "IDAT") sizes.push_back(c.data.size()), total += c.data.size();
        ASSERT_GE(sizes.size(), 2u);
        for (std::size_t i = 0; i + 1 < sizes.size(); ++i)
            EXPECT_EQ(sizes[i], std::size_t(limit));
        EXPECT_GT(sizes.back(), 0u);
        EXPECT_EQ(sizes.size(), (total + std::size_t(limit) - 1) / std::size_t(limit));
    }
    image.DeflateLevel = 200; // out of range: taken as 9, the save still completes
    TPNGObject back;
    Load(back, Save(image));
    EXPECT_EQ(back.PixelAt(299, 299), image.PixelAt(299, 299));
}

TEST(Encode, Adam7Layout) {
    struct Case {
        std::uint32_t width, height;
        std::size_t scanlineBytes; // filter bytes included, RGB 8-bit
    };
    // 1 x 1: one scanline of pass 1. 3 wide: pass widths 1, 0, 1, 1, 2, 1, 3; one row high, passes 1,
    // 4 and 6 have a scanline each; three rows high, pass 5 has row 2 and pass 6 rows 0 and 2.
    for (const Case& c : {Case{1, 1, 4}, Case{3, 1, 4 + 4 + 4}, Case{3, 3, 4 + 4 + 7 + 4 + 4 + 10}}) {
        TPNGObject image;
        Load(image, Rgb(c.width, c.height, 11));
        image.InterlaceMode = 1;
        const Bytes saved = Save(image);
        EXPECT_EQ(saved[8 + 8 + 12], 1); // the header says Adam7
        EXPECT_EQ(Scanlines(saved).size(), c.scanlineBytes) << c.width << "x" << c.height;
        TPNGObject back;
        Load(back, saved);
        for (std::int32_t y = 0; y < std::int32_t(c.height); ++y)
            for (std::int32_t x = 0; x < std::int32_t(c.width); ++x)
                EXPECT_EQ(back.PixelAt(x, y), image.PixelAt(x, y));
    }
}

TEST(Encode, SamplesKeepTheirLowBytesAndAlpha) {
    // 16-bit RGBA: low bytes return; alpha 65535 stays opaque, 0 transparent, 0x80xx becomes 0x8080.
    TPNGObject image;
    Load(image, Png(IhdrBody(3, 1, 16, 6),
                    {Chunk("IDAT", Compress({0,  1,  2, 3, 4,  5,  6,  255, 255, 7,  8,   9, 10,
                                             11, 12, 0, 0, 13, 14, 15, 16,  17,  18, 128, 5}))}));
    const Bytes rows = Scanlines(Save(image));
    const Bytes unfiltered = [&] {
        Bytes r(rows.begin() + 1, rows.end());
        for (std::size_t i = 8; i < r.size(); ++i)
            r[i] = static_cast<std::uint8_t>(r[i] + r[i - 8]); // Sub
        return r;
    }();
    EXPECT_EQ(unfiltered, (Bytes{1,  2,  3, 4, 5,  6,  255, 255, 7,  8,  9,   10,
                                 11, 12, 0, 0, 13, 14, 15,  16,  17, 18, 128, 128}));

    // 2-bit gray is written as 4-bit gray with the level repeated.
    TPNGObject gray;
    Load(gray, Png(IhdrBody(4, 1, 2, 0), {Chunk("IDAT", Compress({0, 0x1B}))}));
    const Bytes saved = Save(gray);
    EXPECT_EQ(saved[8 + 8 + 8], 4);
    const Bytes grayRow = Scanlines(saved);
    EXPECT_EQ(Bytes(grayRow.begin() + 1, grayRow.end()),
              (Bytes{0x05, static_cast<std::uint8_t>(0xAF - 0x05)}));
}

TEST(Encode, GammaPassesThroughTheTablesBothWays) {
    TPNGObject image;
    Load(image, Png(IhdrBody(2, 1, 8, 2),
                    {Chunk("gAMA", {0, 1, 0x86, 0xA0}), Chunk("IDAT", Compress({0, 128, 0, 255, 2, 0, 0}))}));
    image.FilterSet = 0;
    const Bytes rows = Scanlines(Save(image));
    EXPECT_EQ(Bytes(rows.begin() + 1, rows.end()), (Bytes{128, 0, 255, 2, 0, 0}));
}

} // namespace
