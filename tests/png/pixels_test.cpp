// Drawing paths, pixel access, resizing, the alpha channel and conversion to plain bitmaps.
#include <gtest/gtest.h>

#include "platform/draw.h"
#include "support/objects.h"
#include "support/png_load.h"
#include "support/surface.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/sectionlimit.h"

using namespace pngtest;

namespace {

Bytes Idat(const std::vector<Bytes>& rows) {
    return Chunk("IDAT", Compress(Scanlines(rows)));
}

// A 2 x 2 RGBA image: opaque red, transparent, half-transparent white, alpha 1 black.
Bytes RgbaImage() {
    return Png(IhdrBody(2, 2, 8, 6),
               {Idat({{255, 0, 0, 255, 9, 9, 9, 0}, {255, 255, 255, 128, 0, 0, 0, 1}})});
}

TEST(Draw, AlphaBlendEdgeValues) {
    TPNGObject image;
    Load(image, RgbaImage());
    for (std::uint32_t background : {0x000000u, 0xFFFFFFu, 0x123456u}) {
        Surface surface(4, 4);
        surface.Fill(background);
        image.DrawOn(surface.canvas, TRect{1, 1, 3, 3});
        EXPECT_EQ(surface.At(1, 1), 0xFF0000u);  // alpha 255: the image colour
        EXPECT_EQ(surface.At(2, 1), background); // alpha 0: untouched
        EXPECT_EQ(surface.At(0, 0), background); // outside the rectangle
        const auto blend = [](unsigned s, unsigned d, unsigned a) {
            return (s * a + d * (255 - a) + 255) >> 8;
        };
        const unsigned d = background & 0xFF;
        EXPECT_EQ(surface.At(1, 2) & 0xFF, blend(255, d, 128));
        EXPECT_EQ(surface.At(2, 2) & 0xFF, blend(0, d, 1));
    }
    Surface black(2, 2), white(2, 2);
    black.Fill(0u);
    white.Fill(0xFFFFFFu);
    image.DrawOn(black.canvas, TRect{0, 0, 2, 2});
    image.DrawOn(white.canvas, TRect{0, 0, 2, 2});
    EXPECT_EQ(black.At(0, 1), 0x808080u); // (255 x 128 + 255) >> 8 = 128
    EXPECT_EQ(white.At(1, 1), 0xFEFEFEu); // (255 x 254 + 255) >> 8 = 254
}

TEST(Draw, AlphaScalingAndReversedRectangles) {
    TPNGObject image;
    Load(image, RgbaImage());
    Surface twice(4, 4), half(1, 1), reversed(2, 2);
    twice.Fill(0x0000FFu);
    image.DrawOn(twice.canvas, TRect{0, 0, 4, 4});
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}})
        EXPECT_EQ(twice.At(x, y), 0xFF0000u);
    EXPECT_EQ(twice.At(2, 1), 0x0000FFu);
    half.Fill(0u);
    image.DrawOn(half.canvas, TRect{0, 0, 1, 1});
    EXPECT_EQ(half.At(0, 0), 0xFF0000u); // even rows and columns
    reversed.Fill(0u);
    image.DrawOn(reversed.canvas, TRect{2, 2, 0, 0}); // normalised, not mirrored
    EXPECT_EQ(reversed.At(0, 0), 0xFF0000u);
    const std::size_t before = GdiObjectCount();
    image.DrawOn(reversed.canvas, TRect{1, 0, 1, 2}); // zero width: nothing
    EXPECT_OBJECT_COUNT(before);
}

TEST(Draw, KeyColourShowsTheTargetThroughKeyPixelsOnly) {
    struct Case {
        const char* name;
        Bytes stream;
    };
    // Each image: pixel 0 has the key colour, pixel 1 does not; pixel 2 has the key colour's twin
    // (same colour through another palette entry) in the palette case.
    const Case cases[] = {
        {"gray", Png(IhdrBody(3, 1, 8, 0), {Chunk("tRNS", {0, 7}), Idat({{7, 200, 7}})})},
        {"rgb",
         Png(IhdrBody(3, 1, 8, 2), {Chunk("tRNS", {0, 1, 0, 2, 0, 3}), Idat({{1, 2, 3, 9, 9, 9, 1, 2, 3}})})},
        {"palette", Png(IhdrBody(3, 1, 8, 3),
                        {Chunk("PLTE", {1, 2, 3, 9, 9, 9, 1, 2, 3}), Chunk("tRNS", {0}), Idat({{0, 1, 2}})})},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, c.stream);
        ASSERT_EQ(image.TransparencyKind(), ptkKeyColor) << c.name;
        for (int scale : {1, 2}) {
            Surface surface(6, 2);
            surface.Fill(0xABCDEFu);
            const std::size_t before = GdiObjectCount();
            image.DrawOn(surface.canvas, TRect{0, 0, 3 * scale, scale});
            EXPECT_OBJECT_COUNT(before) << c.name;
            for (int x = 0; x < 3 * scale; ++x) {
                const bool key = x / scale != 1;
                EXPECT_EQ(surface.At(x, 0) == 0xABCDEFu, key) << c.name << " x " << x << " scale " << scale;
            }
        }
    }
}

TEST(Draw, OpaqueImagesAreCopiedScaled) {
    TPNGObject image;
    Load(image, Png(IhdrBody(2, 1, 8, 2), {Idat({{10, 20, 30, 40, 50, 60}})}));
    EXPECT_FALSE(image.HasTransparency());
    Surface surface(4, 2);
    surface.Fill(0u);
    image.DrawOn(surface.canvas, TRect{0, 0, 4, 2});
    EXPECT_EQ(surface.At(0, 0), 0x0A141Eu);
    EXPECT_EQ(surface.At(1, 1), 0x0A141Eu);
    EXPECT_EQ(surface.At(3, 1), 0x28323Cu);
    TPNGObject empty;
    empty.DrawOn(surface.canvas, TRect{0, 0, 4, 2}); // nothing, no error
}

TEST(Draw, PaletteAlphaWithoutPaletteFailsCleanly) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 3), {Chunk("PLTE", {1, 2, 3}), Chunk("tRNS", {128, 0}), Idat({{0}})}));
    // Taken out of the list, the palette chunk is ours to free.
    std::unique_ptr<TChunk> removed =
        image.Chunks().RemoveItem(image.Chunks().FindByClass(TChunkPLTE::Class));
    Surface surface(1, 1);
    const std::size_t before = GdiObjectCount();
    EXPECT_THROW(image.DrawOn(surface.canvas, TRect{0, 0, 1, 1}), EPngError);
    EXPECT_THROW(image.PixelAt(0, 0), EPngError);
    EXPECT_OBJECT_COUNT(before);
}

TEST(Pixels, ReadEveryLayout) {
    struct Case {
        const char* name;
        Bytes stream;
        std::int32_t x;
        COLORREF expected;
    };
    const Case cases[] = {
        {"rgb", Png(IhdrBody(1, 1, 8, 2), {Idat({{51, 34, 17}})}), 0, RGB(51, 34, 17)},
        {"gray 1", Png(IhdrBody(2, 1, 1, 0), {Idat({{0x40}})}), 1, RGB(255, 255, 255)},
        {"gray 2", Png(IhdrBody(2, 1, 2, 0), {Idat({{0x10}})}), 1, RGB(85, 85, 85)},
        {"gray 4", Png(IhdrBody(2, 1, 4, 0), {Idat({{0x0F}})}), 1, RGB(255, 255, 255)},
        {"gray 16", Png(IhdrBody(1, 1, 16, 0), {Idat({{0x80, 0x01}})}), 0, RGB(128, 128, 128)},
        {"gray alpha", Png(IhdrBody(1, 1, 8, 4), {Idat({{77, 0}})}), 0, RGB(77, 77, 77)},
        {"palette 4", Png(IhdrBody(2, 1, 4, 3), {Chunk("PLTE", {1, 2, 3, 4, 5, 6}), Idat({{0x01}})}), 1,
         RGB(4, 5, 6)},
        {"palette after gamma, read once",
         Png(IhdrBody(1, 1, 8, 3),
             {Chunk("gAMA", {0, 1, 0x86, 0xA0}), Chunk("PLTE", {128, 128, 128}), Idat({{0}})}),
         0, RGB(186, 186, 186)},
        {"outside", Png(IhdrBody(1, 1, 8, 2), {Idat({{51, 34, 17}})}), 1, 0},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, c.stream);
        EXPECT_EQ(image.PixelAt(c.x, 0), c.expected) << c.name;
        EXPECT_EQ(image.PixelAt(-1, 0), 0u) << c.name;
        EXPECT_EQ(image.PixelAt(0, 1), 0u) << c.name;
    }
}

TEST(Pixels, WriteEveryLayout) {
    TPNGObject rgb;
    Load(rgb, Png(IhdrBody(2, 1, 8, 2), {Idat({{0, 0, 0, 0, 0, 0}})}));
    rgb.SetPixelAt(1, 0, static_cast<TColor>(RGB(51, 34, 17)));
    EXPECT_EQ(Bytes(rgb.PixelRow(0) + 3, rgb.PixelRow(0) + 6), (Bytes{17, 34, 51}));
    rgb.SetPixelAt(2, 0, 0xFFFFFF); // outside: ignored
    TPNGObject grayAlpha;
    Load(grayAlpha, Png(IhdrBody(1, 1, 8, 4), {Idat({{0, 9}})}));
    grayAlpha.SetPixelAt(0, 0, static_cast<TColor>(RGB(200, 100, 50)));
    EXPECT_EQ(grayAlpha.PixelRow(0)[0], 200);
    EXPECT_EQ(grayAlpha.AlphaRow(0)[0], 9);
    TPNGObject palette;
    Load(palette,
         Png(IhdrBody(4, 1, 2, 3), {Chunk("PLTE", {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}), Idat({{0}})}));
    palette.SetPixelAt(2, 0, static_cast<TColor>(RGB(250, 10, 10))); // nearest: entry 1
    EXPECT_EQ(palette.PixelAt(2, 0), RGB(255, 0, 0));
    EXPECT_EQ(palette.PixelAt(1, 0), RGB(0, 0, 0));
    palette.SetPixelAt(3, 0, clWindowText); // a system colour: black
    EXPECT_EQ(palette.PixelAt(3, 0), RGB(0, 0, 0));
}

TEST(Pixels, ResizeKeepsTheTopLeftCorner) {
    TPNGObject rgba;
    std::vector<Bytes> rgbaRows;
    for (std::uint8_t y = 0; y < 4; ++y) {
        Bytes row;
        for (std::uint8_t x = 0; x < 4; ++x)
            row.insert(row.end(), {std::uint8_t(10 * y + x), 0, 0, std::uint8_t(100 + x)});
        rgbaRows.push_back(row);
    }
    Load(rgba, Png(IhdrBody(4, 4, 8, 6), {Idat(rgbaRows)}));
    const std::size_t before = GdiObjectCount();
    rgba.ResizeImage(8, 2);
    EXPECT_OBJECT_COUNT(before);
    EXPECT_EQ(rgba.PixelWidth(), 8);
    EXPECT_EQ(rgba.PixelHeight(), 2);
    EXPECT_EQ(rgba.PixelAt(3, 1), RGB(13, 0, 0));
    EXPECT_EQ(rgba.PixelAt(5, 1), 0u);
    EXPECT_EQ(rgba.AlphaRow(1)[3], 103);
    EXPECT_EQ(rgba.AlphaRow(1)[6], 255);
    EXPECT_EQ(rgba.WorkCanvas().Handle(), rgba.HeaderChunk().MemoryDC());

    TPNGObject deep;
    Load(deep, Png(IhdrBody(2, 2, 16, 0), {Idat({{1, 2, 3, 4}, {5, 6, 7, 8}})}));
    deep.SetPixelHeight(3);
    EXPECT_EQ(deep.LowByteRow(1)[1], 8);
    EXPECT_EQ(deep.LowByteRow(2)[1], 0);

    for (auto [w, h] : {std::pair{0, 2}, {2, -1}}) {
        try {
            rgba.ResizeImage(w, h);
            ADD_FAILURE();
        } catch (const EPNGInvalidNewSize& e) {
            EXPECT_EQ(e.Message(), pnglang::EPNGInvalidNewSizeText);
        }
    }
    const std::size_t limit = BitmapSectionLimit();
    SetBitmapSectionLimit(64);
    EXPECT_THROW(rgba.ResizeImage(100, 100), EPNGOutMemory);
    SetBitmapSectionLimit(limit);
    EXPECT_EQ(rgba.PixelWidth(), 8); // unchanged after the refusal
    EXPECT_EQ(rgba.PixelAt(3, 1), RGB(13, 0, 0));
}

// Draws the image over a pattern and returns the surface's pixels.
std::vector<std::uint32_t> Drawn(TPNGObject& image) {
    Surface surface(image.PixelWidth(), image.PixelHeight());
    surface.Fill([](std::int32_t x, std::int32_t y) { return std::uint32_t(x * 40 + y * 7000); });
    image.DrawOn(surface.canvas, TRect{0, 0, image.PixelWidth(), image.PixelHeight()});
    std::vector<std::uint32_t> out;
    for (std::int32_t y = 0; y < surface.Height; ++y)
        for (std::int32_t x = 0; x < surface.Width; ++x)
            out.push_back(surface.At(x, y));
    return out;
}

TEST(Pixels, AddAlphaChannelDrawsTheSamePixels) {
    struct Case {
        const char* name;
        Bytes stream;
        TPNGTransparencyKind after;
    };
    const Bytes plte = Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90, 1, 2, 3});
    const Case cases[] = {
        {"rgb", Png(IhdrBody(3, 1, 8, 2), {Idat({{1, 2, 3, 4, 5, 6, 7, 8, 9}})}), ptkAlpha},
        {"gray 8", Png(IhdrBody(3, 1, 8, 0), {Idat({{0, 128, 255}})}), ptkAlpha},
        {"gray 2", Png(IhdrBody(4, 1, 2, 0), {Idat({{0x1B}})}), ptkAlpha},
        {"gray 1", Png(IhdrBody(3, 1, 1, 0), {Idat({{0xA0}})}), ptkAlpha},
        {"gray 4", Png(IhdrBody(3, 1, 4, 0), {Idat({{0x7F, 0x30}})}), ptkAlpha},
        {"palette", Png(IhdrBody(4, 1, 2, 3), {plte, Idat({{0x1B}})}), ptkAlpha},
        {"palette with key", Png(IhdrBody(4, 1, 2, 3), {plte, Chunk("tRNS", {255, 0}), Idat({{0x1B}})}),
         ptkAlpha},
        {"palette with alpha",
         Png(IhdrBody(4, 1, 2, 3), {plte, Chunk("tRNS", {255, 128, 0}), Idat({{0x1B}})}), ptkAlpha},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, c.stream);
        const std::vector<std::uint32_t> before = Drawn(image);
        image.AddAlphaChannel();
        EXPECT_EQ(image.TransparencyKind(), c.after) << c.name;
        EXPECT_EQ(Drawn(image), before) << c.name;
    }
    TPNGObject gray2;
    Load(gray2, Png(IhdrBody(4, 1, 2, 0), {Idat({{0x1B}})}));
    gray2.AddAlphaChannel();
    EXPECT_EQ(gray2.HeaderChunk().BitDepth, 8);
    EXPECT_EQ(Bytes(gray2.PixelRow(0), gray2.PixelRow(0) + 4), (Bytes{0, 85, 170, 255}));
    TPNGObject palette;
    Load(palette, Png(IhdrBody(4, 1, 2, 3), {plte, Idat({{0x1B}})}));
    palette.AddAlphaChannel();
    EXPECT_EQ(palette.Chunks().FindByClass(TChunktRNS::Class)->BodySize(), 4);
}

TEST(Conversion, PlainBitmapsBothWays) {
    TPNGObject image;
    Load(image, Png(IhdrBody(3, 1, 8, 2),
                    {Chunk("tRNS", {0, 1, 0, 2, 0, 3}), Idat({{1, 2, 3, 40, 50, 60, 7, 8, 9}})}));
    TBitmap bitmap;
    image.CopyInto(&bitmap);
    EXPECT_EQ(bitmap.PixelWidth(), 3);
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_EQ(ColorToRGB(bitmap.TransparentColor()), RGB(1, 2, 3));
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), static_cast<TColor>(RGB(40, 50, 60)));

    TPNGObject back;
    back.AssignFrom(&bitmap);
    EXPECT_EQ(ChunkTypes(back), "IHDR tRNS IDAT IEND");
    EXPECT_EQ(back.PixelAt(1, 0), RGB(40, 50, 60));
    EXPECT_EQ(back.TransparencyKind(), ptkKeyColor);
    EXPECT_EQ(back.KeyColor(), RGB(1, 2, 3));

    TPNGObject empty;
    EXPECT_THROW(empty.CopyInto(&bitmap), EConvertError);
}

TEST(Conversion, ClipboardGivesTheImageOverWhite) {
    TPNGObject image;
    Load(image, RgbaImage());
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    image.WriteClipboardFormat(format, data, palette);
    EXPECT_EQ(format, CF_BITMAP);
    TPNGObject pasted;
    pasted.ReadClipboardFormat(format, data, palette);
    DeleteObject(static_cast<HBITMAP>(data));
    if (palette != nullptr) DeleteObject(palette);
    EXPECT_EQ(pasted.PixelAt(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(pasted.PixelAt(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(pasted.PixelAt(1, 1), RGB(254, 254, 254));
}

} // namespace

namespace {

// Targets the blend cannot write in place (partly outside, clipped, or at a viewport offset) get
// the same pixels through the compositing copy.
TEST(Draw, AlphaThroughTheCopyMatchesInPlace) {
    TPNGObject image;
    Load(image, RgbaImage());
    Surface reference(6, 6);
    reference.Fill(0x336699u);
    image.DrawOn(reference.canvas, TRect{2, 2, 4, 4});

    Surface clipped(6, 6);
    clipped.Fill(0x336699u);
    IntersectClipRect(clipped.canvas.Handle(), 0, 0, 3, 6);
    image.DrawOn(clipped.canvas, TRect{2, 2, 4, 4});
    EXPECT_EQ(clipped.At(2, 3), reference.At(2, 3));
    EXPECT_EQ(clipped.At(3, 3), 0x336699u); // outside the clip
    const std::size_t limit = BitmapSectionLimit();
    SetBitmapSectionLimit(15); // the copy is a section of ours too: 2 x 2 x 4 bytes do not fit
    EXPECT_THROW(image.DrawOn(clipped.canvas, TRect{2, 2, 4, 4}), EPNGOutMemory);
    SetBitmapSectionLimit(limit);

    Surface shifted(6, 6);
    shifted.Fill(0x336699u);
    SetViewportOrgEx(shifted.canvas.Handle(), 3, 3, nullptr);
    image.DrawOn(shifted.canvas, TRect{-1, -1, 1, 1});
    for (int y = 2; y < 4; ++y)
        for (int x = 2; x < 4; ++x)
            EXPECT_EQ(shifted.At(x, y), reference.At(x, y)) << x << "," << y;

    Surface edge(2, 2);
    edge.Fill(0x336699u);
    image.DrawOn(edge.canvas, TRect{-1, -1, 1, 1}); // only the image's bottom-right pixel lands
    EXPECT_EQ(edge.At(0, 0), reference.At(3, 3));
    EXPECT_EQ(edge.At(1, 1), 0x336699u);
}

// The blend in place learns the target's row order by looking, whatever the first and last rows
// hold (the second background differs from its last row in the bit the look flips first).
TEST(Draw, AlphaInPlaceFollowsEitherRowOrder) {
    TPNGObject image;
    Load(image, RgbaImage());
    using Pattern = std::uint32_t (*)(std::int32_t, std::int32_t);
    const Pattern backgrounds[] = {
        [](std::int32_t x, std::int32_t y) { return 0x336699u + 0x10u * x + 0x1000u * y; },
        [](std::int32_t, std::int32_t y) { return 0x336698u + (y == 5 ? 1u : 0u); }};
    for (const Pattern background : backgrounds)
        for (const POINT origin : {POINT{0, 0}, POINT{1, 2}}) {
            Surface reference(6, 6), bottomUp(6, 6, true);
            reference.Fill(background);
            bottomUp.Fill(background);
            image.DrawOn(reference.canvas, TRect{1 + origin.x, 1 + origin.y, 5, 5});
            SetViewportOrgEx(bottomUp.canvas.Handle(), origin.x, origin.y, nullptr);
            image.DrawOn(bottomUp.canvas, TRect{1, 1, 5 - origin.x, 5 - origin.y});
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 6; ++x)
                    ASSERT_EQ(bottomUp.At(x, y), reference.At(x, y)) << x << "," << y << " at " << origin.x;
        }
}

} // namespace

namespace {

// An uncompressed bottom-up BMP of 3 x 2 pixels; indexed depths use a 16-entry table.
Bytes Bmp(int bits, const std::vector<std::vector<std::uint32_t>>& rows) {
    const int width = 3, height = 2, colours = bits <= 8 ? (1 << bits) : 0;
    const int stride = (bits * width + 31) / 32 * 4;
    const int offset = 14 + 40 + 4 * colours;
    Bytes out = {'B', 'M'};
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le(std::uint32_t(offset + stride * height), 4);
    le(0, 4);
    le(std::uint32_t(offset), 4);
    le(40, 4), le(width, 4), le(height, 4), le(1, 2), le(std::uint32_t(bits), 2), le(0, 4);
    le(std::uint32_t(stride * height), 4), le(0, 4), le(0, 4), le(0, 4), le(0, 4);
    for (int i = 0; i < colours; ++i)
        le(std::uint32_t(i * 0x0F0B07), 4); // blue 7i, green 11i, red 15i
    for (int y = height - 1; y >= 0; --y) {
        Bytes row(std::size_t(stride), 0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = rows[std::size_t(y)][std::size_t(x)];
            if (bits >= 24) {
                for (int b = 0; b < bits / 8; ++b)
                    row[std::size_t(x * bits / 8 + b)] = std::uint8_t(b < 3 ? v >> (8 * b) : 0);
            } else {
                const int bit = x * bits;
                row[std::size_t(bit / 8)] |= std::uint8_t(v << (8 - bits - bit % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

TEST(Conversion, BitmapsOfEveryDepthBothWays) {
    for (int bits : {1, 4, 8, 24, 32}) {
        const std::vector<std::vector<std::uint32_t>> values =
            bits <= 8 ? std::vector<std::vector<std::uint32_t>>{{0, 1, 1}, {1, 0, 1}}
                      : std::vector<std::vector<std::uint32_t>>{{0x102030, 0x405060, 0xFF0000},
                                                                {0, 0xFFFFFF, 0x0A0B0C}};
        const Bytes bmp = Bmp(bits, values);
        TBitmap bitmap;
        TCustomMemoryStream stream(bmp.data(), std::int64_t(bmp.size()));
        bitmap.LoadFromStream(stream);
        TPNGObject image;
        image.AssignFrom(&bitmap);
        ASSERT_EQ(image.PixelWidth(), 3) << bits;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const std::uint32_t v = values[std::size_t(y)][std::size_t(x)];
                const COLORREF expected = bits <= 8 ? RGB(BYTE(15 * v), BYTE(11 * v), BYTE(7 * v))
                                                    : RGB(BYTE(v >> 16), BYTE(v >> 8), BYTE(v));
                EXPECT_EQ(image.PixelAt(x, y), expected) << bits << " bits at " << x << "," << y;
                TBitmap back;
                image.CopyInto(&back);
                EXPECT_EQ(ColorToRGB(back.Canvas().Pixel(x, y)), expected)
                    << bits << " bits at " << x << "," << y;
            }
        EXPECT_EQ(image.HeaderChunk().ColorType, bits <= 8 ? 3 : 2);
    }
}

TEST(Draw, MissingPaletteEntryLeavesTargetAndObjects) {
    TPNGObject image;
    // Two palette entries, alpha for both, but a pixel of index 3.
    Load(image, Png(IhdrBody(2, 1, 8, 3),
                    {Chunk("PLTE", {1, 2, 3, 4, 5, 6}), Chunk("tRNS", {128, 64}), Idat({{0, 3}})}));
    Surface surface(2, 1);
    surface.Fill(0x445566u);
    const std::size_t before = GdiObjectCount();
    EXPECT_THROW(image.DrawOn(surface.canvas, TRect{0, 0, 2, 1}), EPngError);
    EXPECT_OBJECT_COUNT(before);
    EXPECT_EQ(surface.At(0, 0), 0x445566u);
}

} // namespace
