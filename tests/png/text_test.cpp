// Time, text, compressed text and physical-size chunks: reading, writing back, copying.
#include <gtest/gtest.h>

#include "support/png_load.h"

using namespace pngtest;

namespace {

Bytes Data() {
    return Chunk("IDAT", Compress({0, 0, 0, 0}));
}

template <class T>
T& Only(TPNGObject& image) {
    auto* chunk = image.Chunks().FindByClass(T::Class);
    EXPECT_NE(chunk, nullptr);
    return *static_cast<T*>(chunk);
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(TextChunks, PlainTextBodies) {
    struct Case {
        Bytes body;
        const char* keyword;
        const char* text;
    };
    const Case cases[] = {
        {Text(std::string("Title\0Hello", 11)), "Title", "Hello"},
        {Text("NoSeparator"), "NoSeparator", ""},
        {Text(std::string("\0rest", 5)), "", "rest"},
        {Text(std::string("Key\0", 4)), "Key", ""},
        {Text("ab"), "", ""}, // too short: fields stay empty
    };
    for (const Case& c : cases) {
        TPNGObject image;
        const Bytes chunk = Chunk("tEXt", c.body);
        Load(image, Png(IhdrBody(1, 1, 8, 2), {chunk, Data()}));
        const auto& t = Only<TChunktEXt>(image);
        EXPECT_EQ(t.Keyword, c.keyword);
        EXPECT_EQ(t.Text, c.text);
        if (c.body.size() >= 3 && std::string(c.keyword) != "NoSeparator") {
            const Bytes saved = Save(image);
            EXPECT_NE(std::search(saved.begin(), saved.end(), chunk.begin(), chunk.end()), saved.end());
        }
    }
}

TEST(TextChunks, CompressedText) {
    struct Case {
        const char* name;
        Bytes body;
        const char* text;
    };
    const Bytes packed = Compress(Text("Hello, compressed world"));
    Bytes broken = packed;
    broken[3] ^= 0xFF;
    const Case cases[] = {
        {"method 0", Concat({Text(std::string("Comment\0\0", 9)), packed}), "Hello, compressed world"},
        {"method 1", Concat({Text(std::string("Comment\0\1", 9)), packed}), ""},
        {"broken stream", Concat({Text(std::string("Comment\0\0", 9)), broken}), ""},
        {"no separator", Text("Comment"), ""},
        {"three bytes keep the plain reading", Text(std::string("K\0x", 3)), "x"},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        EXPECT_EQ(LoadError(image, Png(IhdrBody(1, 1, 8, 2), {Chunk("zTXt", c.body), Data()})), "") << c.name;
        EXPECT_EQ(Only<TChunkzTXt>(image).Text, c.text) << c.name;
    }
}

TEST(TextChunks, CompressedTextRoundTripAndEmptyText) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 2), {Data()}));
    auto* z = static_cast<TChunkzTXt*>(image.Chunks().AddByClass(TChunkzTXt::Class));
    z->Keyword = "Empty";
    Save(image);
    EXPECT_EQ(z->Text, " ");
    // The body holds keyword, separator, method 0 and the compressed form of one space.
    const Bytes body(z->Body(), z->Body() + z->BodySize());
    ASSERT_GT(body.size(), 7u);
    EXPECT_EQ(Bytes(body.begin(), body.begin() + 7), Text(std::string("Empty\0\0", 7)));
    std::vector<std::uint8_t> text;
    std::string error;
    ASSERT_TRUE(InflateBuffer(body.data() + 7, body.size() - 7, text, error));
    EXPECT_EQ(text, Text(" "));
}

TEST(TextChunks, CompressedTextOverTheLimitCountsAsUndecodable) {
    const std::size_t saved = CompressedTextLimit();
    SetCompressedTextLimit(1000);
    for (std::size_t size : {1000u, 1001u}) {
        TPNGObject image;
        const Bytes body = Concat({Text(std::string("K\0\0", 3)), Compress(Bytes(size, 'a'))});
        Load(image, Png(IhdrBody(1, 1, 8, 2), {Chunk("zTXt", body), Data()}));
        EXPECT_EQ(Only<TChunkzTXt>(image).Text.size(), size <= 1000 ? size : 0u);
    }
    SetCompressedTextLimit(saved);
}

TEST(TextChunks, TimeAndPhysicalSize) {
    TPNGObject image;
    const Bytes time = Chunk("tIME", {0x07, 0xD7, 0x0C, 0x1F, 0x17, 0x3B, 0x3B});
    const Bytes phys = Chunk("pHYs", {0, 0, 0x1E, 0xC2, 0, 0, 0x1E, 0xC3, 1});
    Load(image, Png(IhdrBody(1, 1, 8, 2), {phys, time, Data()}));
    const auto& t = Only<TChunktIME>(image);
    EXPECT_EQ(t.Year, 2007);
    EXPECT_EQ(t.Month, 12);
    EXPECT_EQ(t.Day, 31);
    EXPECT_EQ(t.Hour, 23);
    EXPECT_EQ(t.Minute, 59);
    EXPECT_EQ(t.Second, 59);
    const auto& p = Only<TChunkpHYs>(image);
    EXPECT_EQ(p.PixelsPerUnitX, 7874u);
    EXPECT_EQ(p.PixelsPerUnitY, 7875u);
    EXPECT_EQ(p.UnitSpecifier, 1);
    const Bytes saved = Save(image);
    for (const Bytes& chunk : {time, phys})
        EXPECT_NE(std::search(saved.begin(), saved.end(), chunk.begin(), chunk.end()), saved.end());
}

TEST(TextChunks, WrongLengthsLoadWithEmptyFields) {
    for (std::size_t n : {8u, 10u}) {
        TPNGObject image;
        Load(image,
             Png(IhdrBody(1, 1, 8, 2), {Chunk("pHYs", Bytes(n, 7)), Chunk("tIME", Bytes(n, 7)), Data()}));
        EXPECT_EQ(Only<TChunkpHYs>(image).PixelsPerUnitX, 0u);
        EXPECT_EQ(Only<TChunktIME>(image).Year, 0);
    }
}

TEST(TextChunks, CopyingCopiesFieldsAndRebuildsTheBody) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 2), {Chunk("tEXt", Text(std::string("Title\0Hello", 11))),
                                           Chunk("tIME", {0x07, 0xD7, 1, 2, 3, 4, 5}),
                                           Chunk("pHYs", {0, 0, 0, 2, 0, 0, 0, 3, 0}), Data()}));
    TPNGObject copy;
    copy.AssignFrom(&image);
    EXPECT_EQ(Only<TChunktEXt>(copy).Text, "Hello");
    EXPECT_EQ(Only<TChunktEXt>(copy).BodySize(), 0); // rebuilt when written
    EXPECT_EQ(Only<TChunktIME>(copy).Second, 5);
    EXPECT_EQ(Only<TChunkpHYs>(copy).PixelsPerUnitY, 3u);
    // Written, the copy carries the same chunks as the source.
    const Bytes a = Save(image), b = Save(copy);
    EXPECT_EQ(Bytes(a.begin() + 33, a.end() - 12 - 27), Bytes(b.begin() + 33, b.end() - 12 - 27));
}

} // namespace

namespace {

TEST(WholeBufferZlib, RoundTripAndFailures) {
    const Bytes text = Text("round trip through the whole-buffer routines");
    std::vector<std::uint8_t> packed, unpacked;
    std::string error;
    ASSERT_TRUE(DeflateBuffer(text.data(), text.size(), 9, packed, error));
    ASSERT_TRUE(InflateBuffer(packed.data(), packed.size(), unpacked, error));
    EXPECT_EQ(unpacked, text);
    ASSERT_TRUE(DeflateBuffer(nullptr, 0, 7, packed, error)); // an empty input is a complete stream
    ASSERT_TRUE(InflateBuffer(packed.data(), packed.size(), unpacked, error));
    EXPECT_TRUE(unpacked.empty());

    const Bytes dictionary = {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0};
    EXPECT_FALSE(InflateBuffer(dictionary.data(), dictionary.size(), unpacked, error));
    EXPECT_EQ(error, "need dictionary (2)");
    const Bytes truncated(packed.begin(), packed.end() - 3);
    EXPECT_FALSE(InflateBuffer(truncated.data(), truncated.size(), unpacked, error));
    const Bytes corrupt = {0x78, 0x9C, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(InflateBuffer(corrupt.data(), corrupt.size(), unpacked, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
