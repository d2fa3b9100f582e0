// Reading whole streams: framing, the error table and what remains after each error, writing back.
#include <gtest/gtest.h>

#include "support/png_load.h"

using namespace pngtest;

namespace {

// A valid 2 x 2 8-bit gray image's data chunk.
Bytes GrayIdat() {
    return Chunk("IDAT", Compress(Scanlines({{10, 20}, {30, 40}})));
}
Bytes GrayHeader() {
    return IhdrBody(2, 2, 8, 0);
}

struct ReaderCase {
    const char* name;
    Bytes stream;
    const char* error;     // expected exception class, "" for success
    const char* remaining; // chunk types left in the list afterwards
};

std::vector<ReaderCase> ReaderCases() {
    const Bytes sig = Signature();
    const Bytes ihdr = Chunk("IHDR", GrayHeader());
    const Bytes iend = Chunk("IEND", {});
    const Bytes idat = GrayIdat();
    Bytes cut = Concat({sig, ihdr, Chunk("tEXt", {'a', 0, 'b', 'c', 'd'})});
    cut.resize(cut.size() - 6); // ends inside the text chunk's data
    Bytes badSig = Concat({sig, ihdr, idat, iend});
    badSig[1] = 'Q';
    Bytes partialLength = Concat({sig, ihdr, idat});
    partialLength.insert(partialLength.end(), {0, 0});
    return {
        {"Valid", Concat({sig, ihdr, idat, iend}), "", "IHDR IDAT IEND"},
        {"SignatureOnly", sig, "EPngUnexpectedEnd", ""},
        {"ShortSignature", Bytes(sig.begin(), sig.begin() + 5), "EPNGInvalidFileHeader", ""},
        {"BadSignature", badSig, "EPNGInvalidFileHeader", ""},
        {"IendFirst", Concat({sig, iend, ihdr, idat}), "EPNGIHDRNotFirst", ""},
        {"LowerCaseHeader", Concat({sig, Chunk("ihdr", GrayHeader()), idat, iend}), "EPNGIHDRNotFirst", ""},
        {"NoEnd", Concat({sig, ihdr, idat}), "EPngUnexpectedEnd", "IHDR IDAT"},
        {"PartialLengthAtEnd", partialLength, "EPngInvalidCRC", "IHDR IDAT ????"},
        {"UnknownCritical", Concat({sig, ihdr, Chunk("ABCD", {1, 2}), idat, iend}),
         "EPNGUnknownCriticalChunk", "IHDR ABCD"},
        {"UnknownAncillary", Concat({sig, ihdr, Chunk("abcD", {1, 2}), idat, iend}), "",
         "IHDR abcD IDAT IEND"},
        {"ZeroFirstByte", Concat({sig, ihdr, Chunk(std::string("\0bcd", 4), {1}), idat, iend}), "",
         "IHDR ?bcd IDAT IEND"},
        {"ChrmDropped", Concat({sig, ihdr, Chunk("cHRM", Bytes(32, 1), 7), idat, iend}), "",
         "IHDR IDAT IEND"},
        {"SecondIdatRunSkipped",
         Concat({sig, ihdr, idat, Chunk("tEXt", {'k', 0, 'v'}), Chunk("IDAT", {1}, 5), iend}), "",
         "IHDR IDAT tEXt IEND"},
        {"BadCrcInText", Concat({sig, ihdr, Chunk("tEXt", {'a', 0, 'b'}, 1), idat, iend}), "EPngInvalidCRC",
         "IHDR tEXt"},
        {"CutInsideText", cut, "EPngInvalidCRC", "IHDR tEXt"},
        {"NoImageData", Concat({sig, ihdr, Chunk("gAMA", {0, 0, 0xB1, 0x8E}), iend}), "EPNGNoImageData",
         "IHDR gAMA IEND"},
        {"BytesAfterEnd", Concat({sig, ihdr, idat, iend, Bytes{1, 2, 3}}), "", "IHDR IDAT IEND"},
        {"BadHeaderCrc", Concat({sig, Chunk("IHDR", GrayHeader(), 1), idat, iend}), "EPngInvalidCRC", "IHDR"},
    };
}

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, ErrorAndRemainingChunks) {
    const ReaderCase& c = GetParam();
    TPNGObject image;
    EXPECT_EQ(LoadError(image, c.stream), c.error);
    std::string types = ChunkTypes(image);
    for (char& ch : types)
        if (ch == '\0') ch = '?';
    EXPECT_EQ(types, c.remaining);
}

INSTANTIATE_TEST_SUITE_P(Streams, ReaderTest, ::testing::ValuesIn(ReaderCases()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Reader, ErrorMessagesAreTheFixedTexts) {
    struct Case {
        Bytes stream;
        const char* message;
    };
    const Bytes sig = Signature();
    const Case cases[] = {
        {sig, pnglang::EPngUnexpectedEndText},
        {Bytes{1, 2}, pnglang::EPNGInvalidFileHeaderText},
        {Concat({sig, Chunk("IEND", {})}), pnglang::EPNGIHDRNotFirstText},
        {Concat({sig, Chunk("IHDR", GrayHeader()), Chunk("IEND", {})}), pnglang::EPNGNoImageDataText},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        try {
            Load(image, c.stream);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(Reader, WritingBackKeepsUnknownChunksByteForByte) {
    const Bytes iccp = Chunk("iCCP", {'s', 'R', 'G', 'B', 0, 0, 0x78, 0x9C, 1, 2, 3});
    const Bytes phys = Chunk("pHYs", {0, 0, 0x1E, 0xC2, 0, 0, 0x1E, 0xC2, 1});
    TPNGObject image;
    Load(image, Png(GrayHeader(), {phys, iccp, Chunk("gAMA", {0, 0, 0xB1, 0x8E}), GrayIdat()}));
    EXPECT_EQ(ChunkTypes(image), "IHDR pHYs iCCP gAMA IDAT IEND");
    const char* classes[] = {"TChunkIHDR", "TChunkpHYs", "TChunk", "TChunkgAMA", "TChunkIDAT", "TChunkIEND"};
    for (std::uint32_t i = 0; i < 6; ++i)
        EXPECT_STREQ(image.Chunks().ChunkAt(i)->ClassType().Name, classes[i]);
    const Bytes saved = Save(image);
    EXPECT_NE(std::search(saved.begin(), saved.end(), iccp.begin(), iccp.end()), saved.end());
    EXPECT_NE(std::search(saved.begin(), saved.end(), phys.begin(), phys.end()), saved.end());
}

TEST(Reader, EmptyImageWritesTheSignatureAlone) {
    TPNGObject image;
    EXPECT_EQ(Save(image), Signature());
    EXPECT_TRUE(image.IsEmpty());
}

TEST(Reader, EndChunkCrcIsTheKnownValue) {
    TPNGObject image;
    Load(image, Png(GrayHeader(), {GrayIdat()}));
    const Bytes saved = Save(image);
    const Bytes tail(saved.end() - 4, saved.end());
    EXPECT_EQ(tail, (Bytes{0xAE, 0x42, 0x60, 0x82}));
}

TEST(Reader, OneBitChangeInAnyReadChunkFailsTheCrc) {
    const Bytes stream = Png(GrayHeader(), {Chunk("gAMA", {0, 0, 0xB1, 0x8E}), Chunk("tEXt", {'k', 0, 'v'}),
                                            Chunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 0}), GrayIdat()});
    // Flip one bit in every data byte of the three ancillary chunks (they start after the header).
    const std::size_t first = 8 + 25;
    for (std::size_t chunk = first, n = 0; n < 3; ++n) {
        const std::uint32_t length = (std::uint32_t{stream[chunk + 2]} << 8) | stream[chunk + 3];
        for (std::uint32_t i = 0; i < length; ++i) {
            Bytes broken = stream;
            broken[chunk + 8 + i] ^= 0x10;
            TPNGObject image;
            EXPECT_EQ(LoadError(image, broken), "EPngInvalidCRC") << "chunk " << n << " byte " << i;
        }
        chunk += 12 + length;
    }
}

TEST(Reader, ReloadingReplacesEverything) {
    TPNGObject image;
    Load(image, Png(GrayHeader(), {Chunk("gAMA", {0, 1, 0x86, 0xA0}), GrayIdat()}));
    EXPECT_NE(image.DecodeGamma[128], 128);
    Load(image, Png(IhdrBody(1, 1, 8, 2), {Chunk("IDAT", Compress({0, 1, 2, 3}))}));
    EXPECT_EQ(ChunkTypes(image), "IHDR IDAT IEND");
    EXPECT_EQ(image.DecodeGamma[128], 128);
    EXPECT_EQ(image.PixelWidth(), 1);
}

} // namespace
