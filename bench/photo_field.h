// A deterministic photo-like picture for benchmarks and the memory probe: smooth gradients,
// hard-edged shapes, low-amplitude noise and a soft alpha fade, generated row by row.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace bench {

inline constexpr double kTau = 6.283185307179586;

inline std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A picture that is generated row by row, the same for any order of rows. Samples are 16-bit
// (red, green, blue, alpha); an 8-bit image takes the high byte of each.
class TPhotoField {
public:
    TPhotoField(std::int32_t width, std::int32_t height, std::uint64_t seed)
        : FWidth(width), FHeight(height), FSeed(seed), FOffsets(std::size_t(width) * 3) {
        const double w = width;
        const double h = height;
        std::uint64_t state = seed;
        auto uniform = [&state](double lo, double hi) {
            return lo + (hi - lo) * double(SplitMix(state) >> 11) * (1.0 / 9007199254740992.0);
        };
        // Separable smooth fields: value = ColA[c][x] + RowB[c][y] + ColC[x] * RowD[y] + ColE[x] * RowF[y].
        // A shared luminance part keeps the channels correlated, as in photographs.
        for (int c = 0; c < 3; ++c) {
            FColA[c].resize(std::size_t(width));
            FRowB[c].resize(std::size_t(height));
            const double fx = uniform(0.6, 1.8), px = uniform(0, 1), fy = uniform(0.5, 1.5),
                         py = uniform(0, 1);
            for (std::int32_t x = 0; x < width; ++x)
                FColA[c][std::size_t(x)] = 0.45 + 0.20 * std::sin(kTau * (1.3 * x / w + 0.1)) +
                                           0.06 * std::sin(kTau * (fx * x / w + px));
            for (std::int32_t y = 0; y < height; ++y)
                FRowB[c][std::size_t(y)] =
                    0.15 * std::cos(kTau * (0.9 * y / h + 0.3)) + 0.06 * std::cos(kTau * (fy * y / h + py));
        }
        FColC.resize(std::size_t(width));
        FColE.resize(std::size_t(width));
        for (std::int32_t x = 0; x < width; ++x) {
            FColC[std::size_t(x)] = 0.10 * std::sin(kTau * (3.1 * x / w + 0.7));
            FColE[std::size_t(x)] = 0.03 * std::sin(kTau * x / 37.0);
        }
        FRowD.resize(std::size_t(height));
        FRowF.resize(std::size_t(height));
        for (std::int32_t y = 0; y < height; ++y) {
            FRowD[std::size_t(y)] = std::cos(kTau * (2.3 * y / h + 0.2));
            FRowF[std::size_t(y)] = std::sin(kTau * y / 53.0);
        }
        // Hard-edged shapes of many sizes: rectangles and ellipses that shift the tone, a few of
        // them cut holes into the alpha channel.
        const double side = std::min(w, h);
        for (int i = 0; i < 64; ++i) {
            TShape s;
            s.Ellipse = SplitMix(state) & 1;
            s.Cx = uniform(0, w);
            s.Cy = uniform(0, h);
            s.Rx = side * std::exp(uniform(std::log(0.002), std::log(0.12)));
            s.Ry = side * std::exp(uniform(std::log(0.002), std::log(0.12)));
            for (double& o : s.Offset)
                o = uniform(-0.18, 0.18);
            s.Hole = i % 16 == 5;
            FShapes.push_back(s);
        }
    }

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }

    // Row y: 4 samples per pixel.
    void Row(std::int32_t y, std::uint16_t* out) {
        std::fill(FOffsets.begin(), FOffsets.end(), 0.0f);
        FHoles.assign(std::size_t(FWidth), 0);
        for (const TShape& s : FShapes) {
            const double dy = (y + 0.5 - s.Cy) / s.Ry;
            if (dy <= -1 || dy >= 1) continue;
            const double half = s.Ellipse ? s.Rx * std::sqrt(1 - dy * dy) : s.Rx;
            const auto x0 = std::int32_t(std::max(0.0, std::ceil(s.Cx - half - 0.5)));
            const auto x1 = std::int32_t(std::min(double(FWidth), std::floor(s.Cx + half + 0.5)));
            for (std::int32_t x = x0; x < x1; ++x) {
                if (s.Hole) FHoles[std::size_t(x)] = 1;
                for (int c = 0; c < 3; ++c)
                    FOffsets[std::size_t(x) * 3 + std::size_t(c)] += float(s.Offset[c]);
            }
        }
        std::uint64_t state = FSeed ^ (0xD1B54A32D192ED03ull * std::uint64_t(y + 1));
        const double d = FRowD[std::size_t(y)];
        const double f = FRowF[std::size_t(y)];
        const double vy = (y + 0.5 - FHeight / 2.0) / (FHeight / 2.0);
        for (std::int32_t x = 0; x < FWidth; ++x) {
            const auto ux = std::size_t(x);
            const double shared = FColC[ux] * d + FColE[ux] * f;
            std::uint64_t r = SplitMix(state);
            for (int c = 0; c < 3; ++c) {
                double v =
                    FColA[c][ux] + FRowB[c][std::size_t(y)] + shared + FOffsets[ux * 3 + std::size_t(c)];
                v = std::clamp(v, 0.0, 1.0) * 65535.0;
                // Triangular noise of about +-3 levels of an 8-bit sample.
                const int noise = (int(r & 0x3FF) + int((r >> 10) & 0x3FF) - 1023) * 3 / 4;
                r >>= 20;
                out[4 * ux + std::size_t(c)] = std::uint16_t(std::clamp(int(v + 0.5) + noise, 0, 65535));
            }
            // Alpha: opaque in the middle, a smooth vignette to the corners, holes with hard edges.
            const double vx = (x + 0.5 - FWidth / 2.0) / (FWidth / 2.0);
            const double dist = std::sqrt(vx * vx + vy * vy);
            double a = 1.0;
            if (dist > 0.8) {
                const double t = std::min(1.0, (dist - 0.8) / 0.55);
                a = 1.0 - 0.8 * t * t * (3 - 2 * t);
            }
            if (FHoles[ux]) a = 0;
            out[4 * ux + 3] = std::uint16_t(a * 65535.0 + 0.5);
        }
    }

private:
    struct TShape {
        bool Ellipse = false;
        bool Hole = false;
        double Cx = 0, Cy = 0, Rx = 1, Ry = 1;
        double Offset[3] = {};
    };
    std::int32_t FWidth;
    std::int32_t FHeight;
    std::uint64_t FSeed;
    std::vector<double> FColA[3], FRowB[3], FColC, FRowD, FColE, FRowF;
    std::vector<TShape> FShapes;
    std::vector<float> FOffsets;
    std::vector<std::uint8_t> FHoles;
};

// One photo-like field as the PNG sample layouts the benchmarks encode: 8-bit RGBA, 8-bit RGB and
// 16-bit RGB (big-endian), rows top to bottom.
struct TPhotoSamples {
    std::shared_ptr<const std::vector<std::uint8_t>> Rgba8, Rgb8, Rgb16;
};

inline TPhotoSamples MakePhotoSamples(std::int32_t side) {
    TPhotoField field(side, side, 0x5EED2024ull);
    const std::size_t w = std::size_t(side);
    auto rgba8 = std::make_shared<std::vector<std::uint8_t>>(w * w * 4);
    auto rgb8 = std::make_shared<std::vector<std::uint8_t>>(w * w * 3);
    auto rgb16 = std::make_shared<std::vector<std::uint8_t>>(w * w * 6);
    std::vector<std::uint16_t> row(w * 4);
    for (std::int32_t y = 0; y < side; ++y) {
        field.Row(y, row.data());
        std::uint8_t* a = rgba8->data() + std::size_t(y) * w * 4;
        std::uint8_t* b = rgb8->data() + std::size_t(y) * w * 3;
        std::uint8_t* c = rgb16->data() + std::size_t(y) * w * 6;
        for (std::size_t x = 0; x < w; ++x) {
            for (std::size_t k = 0; k < 4; ++k)
                a[4 * x + k] = std::uint8_t(row[4 * x + k] >> 8);
            for (std::size_t k = 0; k < 3; ++k) {
                b[3 * x + k] = std::uint8_t(row[4 * x + k] >> 8);
                c[6 * x + 2 * k] = std::uint8_t(row[4 * x + k] >> 8);
                c[6 * x + 2 * k + 1] = std::uint8_t(row[4 * x + k] & 0xFF);
            }
        }
    }
    return {rgba8, rgb8, rgb16};
}

} // namespace bench
