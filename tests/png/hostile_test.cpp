// Hostile input: announced sizes the data does not back, lengths outside the format, objects that
// must not leak, and limits that keep small files from demanding large memory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/gdi.h"
#include "support/objects.h"
#include "support/png_load.h"

using namespace pngtest;

// The largest single allocation made through operator new while tracking is on. The replacements
// are kept out of line, so the compiler never pairs an inlined free with its own idea of new.
namespace {
std::atomic<bool> Tracking{false};
std::atomic<std::size_t> Largest{0};
} // namespace

__attribute__((noinline)) void* operator new(std::size_t n) {
    if (Tracking.load(std::memory_order_relaxed) && n > Largest.load(std::memory_order_relaxed)) Largest = n;
    if (void* p = std::malloc(n != 0 ? n : 1)) return p;
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

std::size_t LargestAllocationWhile(const std::function<void()>& action) {
    Largest = 0;
    Tracking = true;
    action();
    Tracking = false;
    return Largest;
}

Bytes Frame(std::uint32_t length, const std::string& type, const Bytes& data) {
    Bytes out;
    Append32(out, length);
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST(Hostile, AnnouncedLengthsBeyondTheData) {
    const Bytes head = Concat({Signature(), Chunk("IHDR", IhdrBody(1, 1, 8, 0))});
    struct Case {
        const char* name;
        Bytes stream;
        const char* error;
    };
    const Case cases[] = {
        {"huge text chunk, ten bytes", Concat({head, Frame(0x7FFFFFF0u, "tEXt", Bytes(10, 'a'))}),
         "EPngInvalidCRC"},
        {"huge unknown chunk, no bytes", Concat({head, Frame(0x7FFFFFFFu, "abcd", {})}), "EPngInvalidCRC"},
        {"length 2^31 in a dropped chunk", Concat({head, Frame(0x80000000u, "cHRM", Bytes(40, 0))}),
         "EPngInvalidCRC"},
        {"negative-looking length", Concat({head, Frame(0xFFFFFFF4u, "cHRM", Bytes(40, 0))}),
         "EPngInvalidCRC"},
        {"huge header", Concat({Signature(), Frame(0xFFFFFFFFu, "IHDR", Bytes(13, 0))}), "EPngInvalidCRC"},
        {"huge continuation of the image data",
         Concat({head, Chunk("IDAT", {0x78}), Frame(0x90000000u, "IDAT", Bytes(16, 0))}), "EPngInvalidCRC"},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        std::string error;
        const std::size_t largest = LargestAllocationWhile([&] { error = LoadError(image, c.stream); });
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_LT(largest, std::size_t{1} << 20) << c.name;
    }
}

TEST(Hostile, ShortBodyKeepsOnlyTheBytesPresent) {
    TPNGObject image;
    const Bytes stream = Concat(
        {Signature(), Chunk("IHDR", IhdrBody(1, 1, 8, 0)), Frame(0x10000000u, "tEXt", Bytes(300000, 'a'))});
    EXPECT_EQ(LoadError(image, stream), "EPngInvalidCRC");
    EXPECT_EQ(image.Chunks().ChunkAt(1)->BodySize(), 300000);
}

TEST(Hostile, HugeDimensionsAreRefusedBeforeAllocating) {
    TPNGObject image;
    std::string error;
    const std::size_t largest = LargestAllocationWhile([&] {
        error = LoadError(image, Png(IhdrBody(65535, 65535, 16, 6), {Chunk("IDAT", Compress({0}))}));
    });
    EXPECT_EQ(error, "EPNGOutMemory");
    EXPECT_LT(largest, std::size_t{1} << 20);
}

TEST(Hostile, DecompressionBombInTextIsCut) {
    EXPECT_EQ(CompressedTextLimit(), std::size_t{16} << 20);
    const Bytes bomb = Compress(Bytes((std::size_t{16} << 20) + 1, 0));
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 0),
                    {Chunk("zTXt", Concat({Bytes{'k', 0, 0}, bomb})), Chunk("IDAT", Compress({0, 0}))}));
    const auto* text = static_cast<const TChunkzTXt*>(image.Chunks().FindByClass(TChunkzTXt::Class));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->Text.empty());
}

TEST(Hostile, PalettesThatAreNotKeptAreReleased) {
    struct Case {
        const char* name;
        Bytes stream;
    };
    const Case cases[] = {
        {"suggested palette of a colour image",
         Png(IhdrBody(1, 1, 8, 2),
             {Chunk("PLTE", {1, 2, 3, 4, 5, 6}), Chunk("IDAT", Compress({0, 1, 2, 3}))})},
        {"gray ramp of a gray image with alpha",
         Png(IhdrBody(1, 1, 8, 4), {Chunk("IDAT", Compress({0, 1, 2}))})},
        {"empty palette", Png(IhdrBody(1, 1, 8, 3), {Chunk("PLTE", {}), Chunk("IDAT", Compress({0, 0}))})},
        {"two palettes", Png(IhdrBody(1, 1, 8, 3), {Chunk("PLTE", {1, 2, 3}), Chunk("PLTE", {4, 5, 6}),
                                                    Chunk("IDAT", Compress({0, 0}))})},
    };
    for (const Case& c : cases) {
        const std::size_t before = GdiObjectCount();
        {
            TPNGObject image;
            Load(image, c.stream);
            TPNGObject copy;
            copy.AssignFrom(&image);
        }
        EXPECT_OBJECT_COUNT(before) << c.name;
    }
}

} // namespace
