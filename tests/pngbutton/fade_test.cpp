// The faded copy: a third of the opacity for grey and colour images, palette images left as they
// are; when the button makes it, and that the button copies images instead of adopting them.
#include <gtest/gtest.h>

#include "button_support.h"
#include "png/pngheader.h"
#include "support/surface.h"

namespace {

using namespace buttontest;
using pngtest::Chunk;
using pngtest::Compress;
using pngtest::IhdrBody;
using pngtest::Png;
using pngtest::Scanlines;

std::vector<std::uint8_t> AlphaOf(const TPNGObject& image) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < image.PixelHeight(); ++y) {
        const std::uint8_t* row = image.AlphaRow(y);
        if (row == nullptr) return {};
        out.insert(out.end(), row, row + image.PixelWidth());
    }
    return out;
}

// A 4 x 1 palette image of red, green, blue, white, with a transparency table when given.
Bytes PalettePng(const Bytes& trns) {
    const Bytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const Bytes idat = Compress(Scanlines({{0, 1, 2, 3}}));
    if (trns.empty()) return Png(IhdrBody(4, 1, 8, 3), {Chunk("PLTE", plte), Chunk("IDAT", idat)});
    return Png(IhdrBody(4, 1, 8, 3), {Chunk("PLTE", plte), Chunk("tRNS", trns), Chunk("IDAT", idat)});
}

TEST(PngButtonFading, OpacityIsDividedByThreeRoundingDown) {
    const Bytes alphas = {255, 3, 2, 0, 1, 4, 254, 128};
    const struct {
        const char* name;
        Bytes png;
        std::uint8_t colorType; // after fading
        Bytes alpha;
    } cases[] = {
        {"colour with alpha",
         RgbPng(
             8, 1, [&](int x, int) { return (std::uint32_t{alphas[std::size_t(x)]} << 24) | 0x336699; },
             true),
         6,
         {85, 1, 0, 0, 0, 1, 84, 42}},
        {"grey with alpha",
         Png(IhdrBody(4, 1, 8, 4), {Chunk("IDAT", Compress(Scanlines({{9, 255, 9, 3, 9, 2, 9, 90}})))}),
         4,
         {85, 1, 0, 30}},
        {"colour without alpha", RgbPng(3, 2, [](int x, int y) { return 0x102030u + x + 16 * y; }), 6,
         Bytes(6, 85)},
        {"grey without alpha",
         Png(IhdrBody(2, 2, 8, 0), {Chunk("IDAT", Compress(Scanlines({{1, 2}, {3, 4}})))}), 4, Bytes(4, 85)},
        {"2-bit grey", Png(IhdrBody(4, 1, 2, 0), {Chunk("IDAT", Compress(Scanlines({{0x1B}})))}), 4,
         Bytes(4, 85)},
        // The key colour no longer cuts out: every pixel, the key-coloured one too, is a third opaque.
        {"colour with a key colour",
         Png(IhdrBody(2, 1, 8, 2),
             {Chunk("tRNS", {0, 1, 0, 2, 0, 3}), Chunk("IDAT", Compress(Scanlines({{1, 2, 3, 4, 5, 6}})))}),
         6, Bytes(2, 85)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto source = Image(c.png);
        const Bytes before = AlphaOf(*source);
        TPNGObject faded;
        MakeFadedCopy(*source, faded);
        EXPECT_EQ(faded.HeaderChunk().ColorType, c.colorType);
        EXPECT_EQ(AlphaOf(faded), c.alpha);
        EXPECT_EQ(faded.TransparencyKind(), ptkAlpha);
        EXPECT_EQ(AlphaOf(*source), before) << "the source is left alone";
        for (int x = 0; x < source->PixelWidth(); ++x)
            EXPECT_EQ(faded.PixelAt(x, 0), source->PixelAt(x, 0)) << "colours are kept, column " << x;
    }
}

// Palette images are not faded; their own transparency table stays, entries without one are opaque.
TEST(PngButtonFading, PaletteImagesKeepTheirOpacity) {
    const struct {
        const char* name;
        Bytes trns;
        TPNGTransparencyKind kind;
        std::vector<COLORREF> shown; // on the 4 x 1 button image, over a white surface
    } cases[] = {
        {"no table", {}, ptkAlpha, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
        {"first entry transparent", {0}, ptkAlpha, {0, RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto source = Image(PalettePng(c.trns));
        TPNGObject faded;
        MakeFadedCopy(*source, faded);
        EXPECT_EQ(faded.HeaderChunk().ColorType, 3);
        EXPECT_EQ(faded.TransparencyKind(), c.kind);
        // Drawn on black, the transparent entry leaves black and the others show at full strength.
        pngtest::Surface surface(4, 1);
        surface.Fill(0x000000u);
        faded.DrawOn(surface.canvas, Rect(0, 0, 4, 1));
        for (int x = 0; x < 4; ++x) {
            const COLORREF want = c.shown[std::size_t(x)];
            EXPECT_EQ(surface.At(x, 0), ((want & 0xFF) << 16) | (want & 0xFF00) | ((want >> 16) & 0xFF)) << x;
        }
    }
}

TEST(PngButtonFading, EmptyImageGivesAnEmptyCopy) {
    TPNGObject empty;
    const auto faded = Solid(2, 2, 0x123456);
    EXPECT_NO_THROW(MakeFadedCopy(empty, *faded));
    EXPECT_TRUE(faded->IsEmpty());
}

// A red image over the grey face at a third of its opacity.
std::uint32_t FadedOverFace(std::uint32_t rgb) {
    const std::uint32_t face = Sys(COLOR_BTNFACE);
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t s = (rgb >> shift) & 0xFF, d = (face >> shift) & 0xFF;
        out |= ((s * 85 + d * 170 + 127) / 255) << shift;
    }
    return out;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 1) return false;
    return true;
}

TEST(PngButtonFading, DisabledButtonShowsTheFadedNormalImage) {
    TButtonForm f;
    f.button->SetImageNormal(*Solid(7, 7, 0xFF0000));
    EXPECT_EQ(f.At(11, 11), 0xFF0000u);
    f.button->SetEnabled(false);
    EXPECT_TRUE(Near(f.At(11, 11), FadedOverFace(0xFF0000))) << std::hex << f.At(11, 11);
    // Set while disabled: the faded copy follows at once.
    f.button->SetImageNormal(*Solid(7, 7, 0x0000FF));
    EXPECT_TRUE(Near(f.At(11, 11), FadedOverFace(0x0000FF))) << std::hex << f.At(11, 11);
    f.button->SetEnabled(true);
    EXPECT_EQ(f.At(11, 11), 0x0000FFu);
    // Set while enabled, then disabled: the new image is the one faded.
    f.button->SetImageNormal(*Solid(7, 7, 0x00FFFF));
    f.button->SetEnabled(false);
    EXPECT_TRUE(Near(f.At(11, 11), FadedOverFace(0x00FFFF))) << std::hex << f.At(11, 11);
    // Hovering a disabled button changes nothing, not even with an image for the hover.
    f.button->SetImageOver(*Solid(7, 7, 0xFF00FF));
    f.button->MouseEnter();
    EXPECT_TRUE(Near(f.At(11, 11), FadedOverFace(0x00FFFF))) << std::hex << f.At(11, 11);
}

// A button with only a caption can be disabled, and be given an empty image, without an error.
TEST(PngButtonFading, ButtonWithoutImageCanBeDisabled) {
    TButtonForm f(60, 23);
    f.button->SetCaption("Text");
    EXPECT_NO_THROW(f.button->SetEnabled(false));
    EXPECT_EQ(f.button->Mode(), pbmDisabled);
    f.button->SetImageNormal(*Solid(5, 5, 0xFF0000));
    EXPECT_NO_THROW(f.button->SetImageNormal(TPNGObject()));
    EXPECT_TRUE(f.button->ImageNormal().IsEmpty());
    // No image, nothing faded left over: the raised face and the grey caption only.
    for (int y = 2; y < 21; ++y)
        for (int x = 2; x < 58; ++x)
            EXPECT_TRUE(f.At(x, y) == Sys(COLOR_BTNFACE) ||
                        (f.At(x, y) & 0xFF) >= (Sys(COLOR_GRAYTEXT) & 0xFF))
                << x << "," << y;
}

// The button copies what it is given: the caller's image may change or go away afterwards.
TEST(PngButtonFading, SettersCopyAndNeverAdopt) {
    using Setter = void (TPNGButton::*)(const TPNGObject&);
    using Getter = const TPNGObject& (TPNGButton::*)() const;
    const struct {
        const char* name;
        Setter set;
        Getter get;
    } cases[] = {
        {"normal", &TPNGButton::SetImageNormal, &TPNGButton::ImageNormal},
        {"down", &TPNGButton::SetImageDown, &TPNGButton::ImageDown},
        {"over", &TPNGButton::SetImageOver, &TPNGButton::ImageOver},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TButtonForm f;
        auto mine = Solid(5, 5, 0xFF8000);
        (f.button->*c.set)(*mine);
        EXPECT_NE(&(f.button->*c.get)(), mine.get());
        mine->SetPixelAt(0, 0, clBlack);
        mine.reset();
        f.button->MouseEnter();
        f.button->SetButtonMode(pbmPressed);
        f.button->SetButtonMode(pbmIdle);
        f.button->SetEnabled(false);
        EXPECT_EQ((f.button->*c.get)().PixelWidth(), 5);
        EXPECT_EQ(PixelOf((f.button->*c.get)(), 0, 0), RGB(0xFF, 0x80, 0x00));
    }
}

} // namespace
