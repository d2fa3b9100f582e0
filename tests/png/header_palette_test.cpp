// Header validation and image memory layout; palette, transparency and gamma chunks.
#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "support/png_load.h"
#include "toolkit/core/sectionlimit.h"

using namespace pngtest;

namespace {

Bytes ZeroRows(std::int32_t rowLength, std::uint32_t height) {
    return Chunk("IDAT", Compress(Bytes((static_cast<std::size_t>(rowLength) + 1) * height, 0)));
}

TEST(Header, ValidationOrderAndErrors) {
    struct Case {
        const char* name;
        Bytes body;
        const char* error;
    };
    Bytes shortBody = IhdrBody(1, 1, 8, 0);
    shortBody.resize(12);
    Bytes longBody = IhdrBody(1, 1, 8, 0);
    longBody.insert(longBody.end(), {1, 2, 3}); // extra bytes are ignored
    const Case cases[] = {
        {"short", shortBody, "EPngInvalidIHDR"},
        {"long", longBody, ""},
        {"width 65535", IhdrBody(65535, 1, 1, 0), ""},
        {"width 65536", IhdrBody(65536, 1, 8, 0), "EPNGSizeExceeds"},
        {"height top bit", IhdrBody(1, 0x80000000u, 8, 0), "EPNGSizeExceeds"},
        {"size before compression", IhdrBody(70000, 1, 8, 0, 0, 1), "EPNGSizeExceeds"},
        {"compression", IhdrBody(1, 1, 8, 0, 0, 1), "EPNGUnknownCompression"},
        {"interlace before pair", IhdrBody(1, 1, 3, 0, 2), "EPNGUnknownInterlace"},
        {"interlace 2", IhdrBody(1, 1, 8, 0, 2), "EPNGUnknownInterlace"},
        {"filter method 7 taken as it is", IhdrBody(1, 1, 8, 0, 0, 0, 7), ""},
        {"width 0", IhdrBody(0, 1, 8, 0), "EPngInvalidIHDR"},
        {"height 0", IhdrBody(1, 0, 8, 0), "EPngInvalidIHDR"},
        {"colour type 5", IhdrBody(1, 1, 8, 5), "EPngInvalidIHDR"},
        {"rgb 4 bits", IhdrBody(1, 1, 4, 2), "EPngInvalidIHDR"},
        {"palette 16 bits", IhdrBody(1, 1, 16, 3), "EPngInvalidIHDR"},
        {"gray 3 bits", IhdrBody(1, 1, 3, 0), "EPngInvalidIHDR"},
        {"gray alpha 4 bits", IhdrBody(1, 1, 4, 4), "EPngInvalidIHDR"},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        const Bytes stream = Concat({Signature(), Chunk("IHDR", c.body), ZeroRows(16, 1), Chunk("IEND", {})});
        EXPECT_EQ(LoadError(image, stream), c.error) << c.name;
        if (*c.error != 0) {
            // The header that failed stays in the list, without image memory.
            ASSERT_EQ(ChunkTypes(image), "IHDR") << c.name;
            EXPECT_EQ(image.HeaderChunk().PixelRows(), nullptr) << c.name;
        }
    }
}

TEST(Header, ImageMemoryLayoutPerFormat) {
    struct Case {
        std::uint32_t width, height;
        std::uint8_t depth, colorType;
        int rowBits, stride;
        bool alpha, low;
        std::uint32_t colorsUsed;
    };
    const Case cases[] = {
        {216, 12, 8, 6, 24, 648, true, false, 0}, {1, 1, 1, 3, 1, 4, false, false, 2},
        {5, 2, 2, 0, 4, 4, false, false, 16},     {9, 3, 4, 3, 4, 8, false, false, 16},
        {3, 3, 16, 0, 8, 4, false, true, 256},    {3, 2, 16, 2, 24, 12, false, true, 0},
        {7, 1, 8, 4, 8, 8, true, false, 0},       {2, 2, 16, 4, 8, 4, true, true, 0},
        {33, 1, 1, 0, 1, 8, false, false, 2},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        const std::int32_t rowLength = PngRowBytes(static_cast<std::int32_t>(c.width), c.colorType, c.depth);
        Load(image, Png(IhdrBody(c.width, c.height, c.depth, c.colorType), {ZeroRows(rowLength, c.height)}));
        const TChunkIHDR& h = image.HeaderChunk();
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " depth " << int(c.depth) << " type "
                                        << int(c.colorType));
        EXPECT_EQ(h.RowBits(), c.rowBits);
        EXPECT_EQ(h.RowStride(), c.stride);
        EXPECT_EQ(h.AlphaPlane() != nullptr, c.alpha);
        EXPECT_EQ(h.LowBytePlane() != nullptr, c.low);
        EXPECT_EQ(h.ColorsUsed(), c.colorsUsed);
        EXPECT_EQ(h.DibInfo().Header.biHeight, static_cast<LONG>(c.height)); // bottom-up
        EXPECT_EQ(h.PixelRow(0), h.PixelRows() + (c.height - 1) * static_cast<std::uint32_t>(c.stride));
        BITMAP bm{};
        ASSERT_EQ(GetObjectA(h.PixelBitmap(), sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmBits, h.PixelRows());
        EXPECT_EQ(bm.bmBitsPixel, c.rowBits);
        EXPECT_EQ(image.WorkCanvas().Handle(), h.MemoryDC());
    }
}

TEST(Header, WritingUsesInterlaceModeAndWidensTwoBitDepth) {
    TPNGObject image;
    Load(image, Png(IhdrBody(4, 1, 2, 0, 1), {Chunk("IDAT", Compress({0, 0xE4}))}));
    EXPECT_EQ(image.InterlaceMode, 1);
    image.InterlaceMode = 0;
    const Bytes saved = Save(image);
    // Header body starts after the signature and the 8-byte frame.
    EXPECT_EQ(saved[8 + 8 + 8], 4);  // bit depth
    EXPECT_EQ(saved[8 + 8 + 12], 0); // interlace method from InterlaceMode
    EXPECT_EQ(image.HeaderChunk().BitDepth, 4);
}

TEST(Header, CopyKeepsLowBytesAndRefusesOtherClasses) {
    TPNGObject image;
    Load(image, Png(IhdrBody(2, 1, 16, 0), {Chunk("IDAT", Compress({0, 0x12, 0x34, 0x56, 0x78}))}));
    TPNGObject copy;
    copy.AssignFrom(&image);
    const TChunkIHDR& h = copy.HeaderChunk();
    EXPECT_EQ(h.PixelRow(0)[0], 0x12);
    EXPECT_EQ(h.LowByteRow(0)[0], 0x34);
    EXPECT_EQ(h.LowByteRow(0)[1], 0x78);
    EXPECT_THROW(copy.HeaderChunk().AssignFrom(*image.Chunks().ChunkAt(1)), EPngError);
}

TEST(Header, SectionLimitIsReportedAsOutOfResources) {
    const std::size_t saved = BitmapSectionLimit();
    SetBitmapSectionLimit(1 << 20);
    TPNGObject image;
    try {
        Load(image, Png(IhdrBody(1024, 1025, 8, 0), {ZeroRows(1024, 1)}));
        ADD_FAILURE() << "no error";
    } catch (const EPNGOutMemory& e) {
        EXPECT_EQ(e.Message(), pnglang::EPNGOutMemoryText);
    }
    EXPECT_EQ(LoadError(image, Png(IhdrBody(1024, 1024, 8, 0), {ZeroRows(1024, 1)})), "");
    SetBitmapSectionLimit(saved);
}

// ---- gamma ----

TEST(Gamma, TablesFromValues) {
    TGammaTable decode, encode;
    auto reset = [&] {
        for (int i = 0; i < 256; ++i)
            decode[i] = encode[i] = static_cast<std::uint8_t>(i);
    };
    reset();
    BuildGammaTables(45454, decode, encode);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(decode[i], i);
        EXPECT_EQ(encode[i], i);
    }
    reset();
    BuildGammaTables(100000, decode, encode);
    EXPECT_EQ(decode[1], 21);
    EXPECT_EQ(decode[2], 28);
    EXPECT_EQ(decode[128], 186);
    EXPECT_EQ(decode[255], 255);
    EXPECT_EQ(encode[186], 128);
    reset();
    BuildGammaTables(1, decode, encode);
    EXPECT_EQ(decode[254], 0);
    EXPECT_EQ(decode[255], 255);
    EXPECT_EQ(encode[0], 254);
    EXPECT_EQ(encode[255], 255);
    reset();
    BuildGammaTables(0, decode, encode);
    EXPECT_EQ(decode[100], 100);
}

TEST(Gamma, ChunkBodiesThatCarryNoGammaLeaveTheTables) {
    struct Case {
        Bytes body;
        int decoded128;
    };
    const Case cases[] = {
        {{0, 1, 0x86, 0xA0}, 186},             // 1.0
        {{0, 0, 0, 0}, 128},                   // zero
        {{0, 1, 0x86, 0xA0, 0, 0, 0, 0}, 128}, // eight bytes: no gamma rather than gamma 0.00001
        {{0, 1}, 128},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image,
             Png(IhdrBody(1, 1, 8, 2), {Chunk("gAMA", c.body), Chunk("IDAT", Compress({0, 128, 128, 128}))}));
        EXPECT_EQ(image.DecodeGamma[128], c.decoded128);
        EXPECT_EQ(image.HeaderChunk().PixelRow(0)[0], c.decoded128);
    }
}

TEST(Gamma, NewChunkReportsOneAndCopiesTheValue) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 2),
                    {Chunk("gAMA", {0, 0, 0xB1, 0x8E}), Chunk("IDAT", Compress({0, 1, 2, 3}))}));
    std::unique_ptr<TChunk> owner(TChunkgAMA::Class.CreateFor(&image));
    auto* fresh = static_cast<TChunkgAMA*>(owner.get());
    EXPECT_EQ(fresh->GammaValue(), 1u);
    EXPECT_EQ(fresh->BodySize(), 4);
    fresh->AssignFrom(*image.Chunks().ChunkAt(1));
    EXPECT_EQ(fresh->GammaValue(), 45454u);
    EXPECT_THROW(fresh->AssignFrom(*image.Chunks().ChunkAt(0)), EPngError);
}

// ---- palette and transparency ----

TEST(Palette, SizesAndEntries) {
    struct Case {
        std::size_t bytes;
        const char* error;
    };
    for (const Case& c : {Case{768, ""}, Case{771, "EPNGInvalidPalette"}, Case{5, "EPNGInvalidPalette"},
                          Case{0, ""}, Case{48, ""}}) {
        TPNGObject image;
        Bytes plte(c.bytes);
        for (std::size_t i = 0; i < plte.size(); ++i)
            plte[i] = static_cast<std::uint8_t>(i);
        EXPECT_EQ(LoadError(image, Png(IhdrBody(1, 1, 8, 3), {Chunk("PLTE", plte), ZeroRows(1, 1)})), c.error)
            << c.bytes;
        if (*c.error == 0) {
            auto* palette = static_cast<TChunkPLTE*>(image.Chunks().FindByClass(TChunkPLTE::Class));
            EXPECT_EQ(palette->EntryCount, static_cast<std::int32_t>(c.bytes / 3));
            EXPECT_EQ(image.HeaderChunk().ColorsUsed(), c.bytes / 3);
            if (c.bytes == 768) {
                EXPECT_EQ(palette->EntryAt(255), 0x00FDFEFFu); // blue FF, green FE, red FD
            }
            if (c.bytes == 48) {
                EXPECT_THROW(palette->EntryAt(16), EPngError);
            }
            if (c.bytes == 0) {
                EXPECT_THROW(palette->EntryAt(0), EPngError);
            }
        }
    }
}

TEST(Palette, GammaAppliesOnlyWhenReadBeforeThePalette) {
    for (bool gammaFirst : {true, false}) {
        TPNGObject image;
        const Bytes gama = Chunk("gAMA", {0, 1, 0x86, 0xA0});
        const Bytes plte = Chunk("PLTE", {128, 128, 128});
        Load(image,
             Png(IhdrBody(1, 1, 8, 3), {gammaFirst ? gama : plte, gammaFirst ? plte : gama, ZeroRows(1, 1)}));
        EXPECT_EQ(image.HeaderChunk().DibInfo().ColorTable[0].rgbRed, gammaFirst ? 186 : 128);
    }
}

TEST(Palette, WritingAppliesEncodeGamma) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 3),
                    {Chunk("gAMA", {0, 1, 0x86, 0xA0}), Chunk("PLTE", {128, 2, 255}), ZeroRows(1, 1)}));
    const Bytes saved = Save(image);
    const Bytes expected = Chunk("PLTE", {128, 2, 255});
    EXPECT_NE(std::search(saved.begin(), saved.end(), expected.begin(), expected.end()), saved.end());
}

TEST(Transparency, KeyColourRules) {
    struct Case {
        const char* name;
        std::uint8_t colorType;
        Bytes trns;
        std::uint8_t isKey;
        COLORREF key;
    };
    const Bytes plte = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    const Case cases[] = {
        {"palette one zero", 3, {255, 0, 255}, 1, RGB(40, 50, 60)},
        {"palette one partial", 3, {255, 128, 255}, 0, 0},
        {"palette two zeros", 3, {0, 0}, 0, RGB(10, 20, 30)},
        {"palette all opaque", 3, {255, 255}, 0, 0},
        {"palette empty", 3, {}, 0, 0},
        {"gray", 0, {0, 7}, 1, RGB(7, 7, 7)},
        {"rgb", 2, {0, 1, 0, 2, 0, 3}, 1, RGB(1, 2, 3)},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, Png(IhdrBody(1, 1, 8, c.colorType),
                        {c.colorType == 3 ? Chunk("PLTE", plte) : Bytes{}, Chunk("tRNS", c.trns),
                         ZeroRows(PngRowBytes(1, c.colorType, 8), 1)}));
        const auto* t = static_cast<const TChunktRNS*>(image.Chunks().FindByClass(TChunktRNS::Class));
        ASSERT_NE(t, nullptr) << c.name;
        EXPECT_EQ(t->IsKeyColor, c.isKey) << c.name;
        EXPECT_EQ(t->KeyColor(), c.key) << c.name;
        for (std::size_t i = c.trns.size(); i < 256; ++i)
            ASSERT_EQ(t->TransparencyData[i], 255) << c.name;
    }
}

TEST(Transparency, TooLongAndZeroPastThePalette) {
    TPNGObject image;
    EXPECT_EQ(LoadError(image, Png(IhdrBody(1, 1, 8, 3),
                                   {Chunk("PLTE", {1, 2, 3}), Chunk("tRNS", Bytes(257, 0)), ZeroRows(1, 1)})),
              "EPNGInvalidPalette");
    Load(image,
         Png(IhdrBody(1, 1, 8, 3), {Chunk("PLTE", {1, 2, 3}), Chunk("tRNS", {255, 0}), ZeroRows(1, 1)}));
    const auto* t = static_cast<const TChunktRNS*>(image.Chunks().FindByClass(TChunktRNS::Class));
    EXPECT_THROW(t->KeyColor(), EPngError);
}

TEST(Transparency, SetKeyColour) {
    Bytes plte;
    for (int i = 0; i < 16; ++i)
        plte.insert(plte.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i)});
    struct Case {
        COLORREF colour;
        std::int32_t bodySize;
        std::uint8_t firstOpaque;
    };
    for (const Case& c : {Case{RGB(5, 10, 15), 6, 5}, Case{RGB(1, 1, 1), 17, 16}, Case{RGB(0, 0, 0), 1, 0}}) {
        TPNGObject image;
        Load(image, Png(IhdrBody(1, 1, 4, 3), {Chunk("PLTE", plte), ZeroRows(1, 1)}));
        auto* t = static_cast<TChunktRNS*>(image.Chunks().AddByClass(TChunktRNS::Class));
        t->SetKeyColor(c.colour);
        EXPECT_EQ(t->BodySize(), c.bodySize);
        EXPECT_EQ(t->IsKeyColor, 1);
        for (std::uint8_t i = 0; i < c.firstOpaque; ++i)
            EXPECT_EQ(t->TransparencyData[i], 255);
        EXPECT_EQ(t->TransparencyData[c.firstOpaque], 0);
        const Bytes saved = Save(image);
        Bytes body(static_cast<std::size_t>(c.bodySize), 255);
        body.back() = 0;
        const Bytes expected = Chunk("tRNS", body);
        EXPECT_NE(std::search(saved.begin(), saved.end(), expected.begin(), expected.end()), saved.end());
    }
    TPNGObject rgb;
    Load(rgb, Png(IhdrBody(1, 1, 8, 2), {ZeroRows(3, 1)}));
    auto* t = static_cast<TChunktRNS*>(rgb.Chunks().AddByClass(TChunktRNS::Class));
    t->SetKeyColor(RGB(1, 2, 3));
    EXPECT_EQ(t->BodySize(), 6);
    EXPECT_EQ(t->KeyColor(), RGB(1, 2, 3));
}

} // namespace

namespace {

TEST(Header, DeviceBitmapsBecomeHeaders) {
    struct Case {
        WORD bits;
        std::uint8_t colorType, depth;
    };
    for (const Case& c : {Case{32, 2, 8}, Case{24, 2, 8}, Case{8, 3, 8}, Case{4, 3, 4}, Case{1, 3, 1}}) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info{{40, 3, -2, 1, c.bits, BI_RGB, 0, 0, 0, 0, 0}, {}};
        for (int i = 0; i < 256; ++i)
            info.colours[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                          &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        static_cast<BYTE*>(bits)[0] = 0xC1; // top row (top-down), first byte
        BITMAP record{};
        GetObjectA(bitmap, sizeof record, &record);

        TPNGObject image;
        Load(image, Png(IhdrBody(1, 1, 8, 0), {ZeroRows(1, 1)}));
        TChunkIHDR& h = image.HeaderChunk();
        h.ReadDeviceBitmap(bitmap, record);
        EXPECT_EQ(h.Width, 3u);
        EXPECT_EQ(h.Height, 2u);
        EXPECT_EQ(h.ColorType, c.colorType) << c.bits;
        EXPECT_EQ(h.BitDepth, c.depth) << c.bits;
        ASSERT_NE(h.PixelRows(), nullptr);
        if (c.bits <= 8) {
            // A monochrome row of three pixels keeps no bits past them.
            EXPECT_EQ(h.PixelRow(0)[0], c.bits == 1 ? 0xC0 : 0xC1) << c.bits;
            EXPECT_EQ(h.DibInfo().ColorTable[1].rgbGreen, 254) << c.bits; // the bitmap's own colours
        } else {
            EXPECT_EQ(h.PixelRow(0)[0], 0xC1) << c.bits; // blue of the top-left pixel
        }
        DeleteObject(bitmap);
    }
}

} // namespace

namespace {

TEST(Transparency, TwoBitGrayKeyNamesTheStoredIndex) {
    TPNGObject image;
    // Levels 0, 1, 2, 3; level 3 is the key.
    Load(image, Png(IhdrBody(4, 1, 2, 0), {Chunk("tRNS", {0, 3}), Chunk("IDAT", Compress({0, 0x1B}))}));
    EXPECT_EQ(image.KeyColor(), RGB(255, 255, 255)); // the gray of level 3, index 15
    const Bytes saved = Save(image);
    const Bytes expected = Chunk("tRNS", {0, 15}); // written with the 4-bit image as 5 x 3
    EXPECT_NE(std::search(saved.begin(), saved.end(), expected.begin(), expected.end()), saved.end());
}

} // namespace
