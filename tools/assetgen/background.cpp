// The title picture: a dusk sky with stars over two mountain ranges, a castle on the right-hand
// crag, a calm lake that mirrors the glow, and the game's name in gold. The buttons cover the
// middle (x 40..216, rows 80..168), so the scenery shows at the sides, and the lake under the
// credit line (rows 190..201) stays light.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "assets.h"

namespace assetgen {

namespace {

constexpr int kWidth = 255;
constexpr int kHeight = 210;
constexpr double kHorizon = 166; // where the mountains meet the lake

double Bump(double x, double centre, double halfWidth, double power) {
    const double t = 1.0 - std::abs(x - centre) / halfWidth;
    return t > 0 ? std::pow(t, power) : 0.0;
}

// Rows of the two ridges at column position x (fractional).
double FarRidge(double x) {
    return 132 - 10 * std::sin(x * 0.045 + 1.3) - 6 * std::sin(x * 0.11 + 0.4) - 2.5 * std::sin(x * 0.31) -
           16 * Bump(x, 60, 45, 1.4) - 12 * Bump(x, 195, 40, 1.3);
}

double NearRidge(double x) {
    return 158 - 4 * std::sin(x * 0.09 + 2.0) - 1.8 * std::sin(x * 0.37 + 1.0) - 1.0 * std::sin(x * 0.83) -
           62 * Bump(x, 14, 40, 1.25) - 40 * Bump(x, 236, 34, 0.9) - 8 * Bump(x, 120, 50, 1.5);
}

const Rgb kSkyTop = Hex(0x0B0E2A);

Rgb SkyAt(double y) {
    static const std::vector<Rgb> stops{kSkyTop,       Hex(0x1C1848), Hex(0x3A2366), Hex(0x6E3275),
                                        Hex(0xB04A6E), Hex(0xE27E5E), Hex(0xF7B878)};
    return Ramp(stops, y / kHorizon);
}

void PaintSky(Image& image) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.At(x, y) = SkyAt(y + 0.5);
    // The glow of the sun just set behind the middle of the range.
    for (int y = 0; y < int(kHorizon) + 2; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double dx = (x + 0.5 - 127.5) / 110.0, dy = (y + 0.5 - kHorizon) / 70.0;
            image.Blend(x, y, Hex(0xFFD89A), 0.55 * std::exp(-(dx * dx + dy * dy) * 2.2));
        }
}

void PaintStars(Image& image) {
    Random random(0x5EED2026u);
    for (int i = 0; i < 70; ++i) {
        const int x = int(random.Unit() * kWidth);
        const double depth = random.Unit();
        const int y = int(depth * depth * 105);
        const double bright = (0.35 + 0.65 * random.Unit()) * std::clamp((115.0 - y) / 90.0, 0.0, 1.0);
        const Rgb colour = Mix(Hex(0xFFFFFF), Hex(0xFFE6B8), random.Unit());
        image.Blend(x, y, colour, bright);
        if (i % 9 == 0) { // a few twinkle
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                image.Blend(x + dx, y + dy, colour, bright * 0.45);
        }
    }
}

template <class Ridge>
void PaintRange(Image& image, Ridge ridge, Rgb top, Rgb bottom) {
    for (int y = 0; y < int(kHorizon); ++y)
        for (int x = 0; x < kWidth; ++x) {
            double cover = 0;
            for (int s = 0; s < 4; ++s)
                cover += std::clamp(y + 1.0 - ridge(x + (s + 0.5) / 4), 0.0, 1.0) / 4;
            const double shade = std::clamp((y - ridge(x + 0.5)) / 40.0, 0.0, 1.0);
            image.Blend(x, y, Mix(top, bottom, shade), cover);
        }
}

bool InCastle(double x, double y) {
    const auto box = [&](double l, double t, double r, double b) {
        return x >= l && x < r && y >= t && y < b;
    };
    const auto roof = [&](double apexX, double apexY, double half, double base) {
        return y >= apexY && y < base && std::abs(x - apexX) <= half * (y - apexY) / (base - apexY);
    };
    // Walls reach down into the rock whatever its slope.
    const double ground = NearRidge(x) + 3;
    // The keep with its battlements.
    if (box(222, 104, 246, ground)) return true;
    if (y >= 101 && y < 104 && x >= 222 && x < 246 && int(std::floor(x - 222)) % 4 < 2) return true;
    // The tall tower and its spire, and a flag on the spire.
    if (box(236, 88, 243, ground) || roof(239.5, 76, 4.6, 88.5)) return true;
    if (box(239.2, 70, 239.9, 77) || (y >= 70 && y < 73 && x >= 239.9 && x < 239.9 + 4.5 * (73 - y) / 3))
        return true;
    // The small tower on the left, with a lower spire.
    if (box(218, 97, 225, ground) || roof(221.5, 89, 4.4, 97.5)) return true;
    return false;
}

void PaintCastle(Image& image) {
    const Rgb stone = Hex(0x1A1226);
    for (int y = 60; y < 132; ++y)
        for (int x = 210; x < kWidth; ++x)
            image.Blend(x, y, stone, Supersample(InCastle, x, y));
    // Lit windows.
    const Rgb lamp = Hex(0xFFC35A);
    for (const auto& [x, y] :
         {std::pair{239, 93}, {239, 99}, {221, 103}, {228, 111}, {233, 111}, {240, 110}}) {
        image.Blend(x, y, lamp, 0.95);
        image.Blend(x, y + 1, lamp, 0.8);
    }
}

void PaintLake(Image& image) {
    for (int y = int(kHorizon); y < kHeight; ++y) {
        const double depth = (y + 0.5 - kHorizon) / (kHeight - kHorizon);
        const Rgb water = Mix(Hex(0xF8C894), Hex(0xEBCDB4), std::pow(depth, 0.8));
        // The scene above, mirrored with a slight sway per row, fading out within 20 rows.
        const int source = int(2 * kHorizon) - y - 1;
        const int sway = int(std::lround(1.5 * std::sin(y * 1.7)));
        const double mirror = 0.55 * std::max(0.0, 1 - (y - kHorizon) / 20.0);
        for (int x = 0; x < kWidth; ++x) {
            const Rgb above = image.At(std::clamp(x + sway, 0, kWidth - 1), std::max(source, 0));
            image.At(x, y) = Mix(water, above, mirror);
            const double dx = (x + 0.5 - 127.5) / 95.0;
            image.Blend(x, y, Hex(0xFFE9C4), 0.5 * std::exp(-dx * dx * 3) * (1 - depth));
        }
    }
    // A faint shore line.
    for (int x = 0; x < kWidth; ++x)
        image.Blend(x, int(kHorizon), Hex(0x3A2340), 0.35);
    // Still ripples.
    Random random(0x1A4Eu);
    for (int i = 0; i < 22; ++i) {
        const int y = int(kHorizon) + 3 + int(random.Unit() * (kHeight - kHorizon - 5));
        const double centre = random.Unit() * kWidth, half = 6 + random.Unit() * 20;
        for (int x = int(centre - half); x <= int(centre + half); ++x)
            image.Blend(x, y, Hex(0xFFF4E0), 0.35 * Bump(x + 0.5, centre, half, 0.7));
    }
}

void PaintTitle(Image& image, const Fonts& fonts) {
    // Size the word to about 206 pixels of ink.
    int size = 48;
    {
        const Font probe(fonts.title, size);
        const int width = probe.Smooth("Vorlanth").ink.width;
        if (width <= 0) throw std::runtime_error("the title font has no glyphs");
        size = int(std::lround(size * 206.0 / width));
    }
    const Font font(fonts.title, size);
    const TextMask text = font.Smooth("Vorlanth");
    constexpr int margin = 10;
    const Coverage ink = Pad(text.ink, margin);
    const int left = (kWidth - text.ink.width) / 2 - margin;
    const int top = 35 - text.ink.height / 2 - margin;
    const int inkTop = top + margin, inkHeight = text.ink.height;

    const Coverage outline = Dilate(ink, 1.6);
    Composite(
        image, Blur(Dilate(ink, 2.0), 6), left, top, [](int, int) { return Hex(0xFF9A3C); }, 0.75);
    Composite(
        image, Blur(outline, 2), left + 2, top + 3, [](int, int) { return Hex(0x05030A); }, 0.7);
    Composite(image, outline, left, top, [](int, int) { return Hex(0x2A1208); });
    static const std::vector<Rgb> gold{Hex(0xFFF6D2), Hex(0xFFD878), Hex(0xF2B040), Hex(0xB8661E)};
    Composite(image, ink, left, top, [&](int, int y) { return Ramp(gold, (y + 0.5 - inkTop) / inkHeight); });
}

// A thin gold rule under the title with a diamond at its middle.
void PaintRule(Image& image) {
    const int row = 66;
    const Rgb gold = Hex(0xF2C060);
    for (int x = 30; x < 226; ++x)
        image.Blend(x, row, gold, 0.9 * Bump(x + 0.5, 127.5, 97, 0.6));
    for (int y = row - 5; y <= row + 5; ++y)
        for (int x = 120; x < 136; ++x) {
            const double outer = Supersample(
                [&](double px, double py) { return std::abs(px - 127.5) + std::abs(py - (row + 0.5)) < 5.0; },
                x, y);
            const double inner = Supersample(
                [&](double px, double py) { return std::abs(px - 127.5) + std::abs(py - (row + 0.5)) < 3.2; },
                x, y);
            image.Blend(x, y, Hex(0x2A1208), outer);
            image.Blend(x, y, gold, inner);
        }
}

Bytes EncodeBmp(const Image& image) {
    const std::uint32_t stride = (std::uint32_t(image.width) * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = stride * std::uint32_t(image.height);
    Bytes bmp;
    PutText(bmp, "BM");
    PutLe32(bmp, 54 + pixelBytes);
    PutLe32(bmp, 0); // two reserved words
    PutLe32(bmp, 54);
    PutLe32(bmp, 40);
    PutLe32(bmp, std::uint32_t(image.width));
    PutLe32(bmp, std::uint32_t(image.height)); // bottom row first
    PutLe16(bmp, 1);
    PutLe16(bmp, 24);
    PutLe32(bmp, 0);
    PutLe32(bmp, pixelBytes);
    PutLe32(bmp, 7872); // about 200 dots per inch
    PutLe32(bmp, 7872);
    PutLe32(bmp, 0);
    PutLe32(bmp, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = bmp.size();
        for (int x = 0; x < image.width; ++x) {
            const Rgb& c = image.At(x, y);
            bmp.push_back(ToByte(c.b, x, y, true));
            bmp.push_back(ToByte(c.g, x, y, true));
            bmp.push_back(ToByte(c.r, x, y, true));
        }
        bmp.resize(rowStart + stride, 0);
    }
    return bmp;
}

} // namespace

Bytes MakeBackground(const Fonts& fonts) {
    Image image(kWidth, kHeight);
    PaintSky(image);
    PaintStars(image);
    PaintRange(image, FarRidge, Hex(0x8A4E7E), Hex(0xA85F78));
    PaintRange(image, NearRidge, Hex(0x2E1C3E), Hex(0x452848));
    PaintCastle(image);
    PaintLake(image);
    PaintTitle(image, fonts);
    PaintRule(image);
    return EncodeBmp(image);
}

} // namespace assetgen
