// Pictures in memory while the assets are painted: coverage masks and colour images in
// floating point, composited by our own code so the output depends on nothing but the fonts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace assetgen {

// How much of each pixel a shape covers, 0..1; reads outside give 0.
struct Coverage {
    int width = 0;
    int height = 0;
    std::vector<double> a;

    Coverage() = default;
    Coverage(int w, int h) : width(w), height(h), a(std::size_t(w) * std::size_t(h), 0.0) {}
    double At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0.0;
        return a[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    double& operator()(int x, int y) { return a[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

struct Rgb {
    double r = 0, g = 0, b = 0;
};

inline Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Colours given as 0..255 components.
inline Rgb Hex(std::uint32_t rgb) {
    return {double((rgb >> 16) & 0xFF) / 255.0, double((rgb >> 8) & 0xFF) / 255.0,
            double(rgb & 0xFF) / 255.0};
}

// A colour ramp through evenly spaced stops, t in 0..1.
Rgb Ramp(const std::vector<Rgb>& stops, double t);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> px;

    Image(int w, int h) : width(w), height(h), px(std::size_t(w) * std::size_t(h)) {}
    Rgb& At(int x, int y) { return px[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const Rgb& At(int x, int y) const { return px[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    void Blend(int x, int y, Rgb c, double alpha) {
        if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
        At(x, y) = Mix(At(x, y), c, std::min(alpha, 1.0));
    }
};

// Paints colour(x, y) through a mask placed with its top-left corner at (left, top).
template <class ColourAt>
void Composite(Image& image, const Coverage& mask, int left, int top, ColourAt colour, double opacity = 1.0) {
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            const double a = mask.At(x, y) * opacity;
            if (a > 0) image.Blend(left + x, top + y, colour(left + x, top + y), a);
        }
}

// The mask grown by `margin` empty pixels on every side.
Coverage Pad(const Coverage& mask, int margin);
// Box blur repeated three times, close to a Gaussian of the given radius.
Coverage Blur(const Coverage& mask, int radius);
// The mask thickened by `radius` pixels, with soft edges.
Coverage Dilate(const Coverage& mask, double radius);

// Coverage of the pixel (x, y) by a shape, from n x n samples inside it.
template <class Inside>
double Supersample(Inside inside, int x, int y, int n = 4) {
    int hits = 0;
    for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx)
            if (inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n)) ++hits;
    return double(hits) / double(n * n);
}

// 0..255 with rounding and, when `dither` is set, a 4 x 4 ordered offset of under one step
// that keeps long gradients free of bands.
std::uint8_t ToByte(double v, int x = 0, int y = 0, bool dither = false);

// A small fixed pseudo-random sequence, the same on every machine.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    double Unit() { return double(Next()) / double(1u << 24); }

private:
    std::uint32_t state_;
};

} // namespace assetgen
