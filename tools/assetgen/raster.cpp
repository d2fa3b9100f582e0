#include "raster.h"

#include <cmath>

namespace assetgen {

Rgb Ramp(const std::vector<Rgb>& stops, double t) {
    t = std::clamp(t, 0.0, 1.0) * double(stops.size() - 1);
    const auto i = std::min(static_cast<std::size_t>(t), stops.size() - 2);
    return Mix(stops[i], stops[i + 1], t - double(i));
}

Coverage Pad(const Coverage& mask, int margin) {
    Coverage out(mask.width + 2 * margin, mask.height + 2 * margin);
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            out(x + margin, y + margin) = mask.At(x, y);
    return out;
}

namespace {

// One horizontal then one vertical box pass.
Coverage BoxPass(const Coverage& in, int radius) {
    Coverage h(in.width, in.height), out(in.width, in.height);
    const double scale = 1.0 / double(2 * radius + 1);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            double sum = 0;
            for (int d = -radius; d <= radius; ++d)
                sum += in.At(x + d, y);
            h(x, y) = sum * scale;
        }
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            double sum = 0;
            for (int d = -radius; d <= radius; ++d)
                sum += h.At(x, y + d);
            out(x, y) = sum * scale;
        }
    return out;
}

} // namespace

Coverage Blur(const Coverage& mask, int radius) {
    const int step = std::max(1, radius / 2);
    return BoxPass(BoxPass(BoxPass(mask, step), step), step);
}

Coverage Dilate(const Coverage& mask, double radius) {
    Coverage out(mask.width, mask.height);
    const int reach = static_cast<int>(std::ceil(radius + 0.5));
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            double best = 0;
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dx = -reach; dx <= reach; ++dx) {
                    const double weight = std::clamp(radius + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
                    best = std::max(best, mask.At(x + dx, y + dy) * weight);
                }
            out(x, y) = best;
        }
    return out;
}

std::uint8_t ToByte(double v, int x, int y, bool dither) {
    static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    double scaled = std::clamp(v, 0.0, 1.0) * 255.0;
    if (dither) scaled += (kBayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
    return static_cast<std::uint8_t>(std::clamp(std::lround(scaled), 0L, 255L));
}

} // namespace assetgen
