// The program icon: a gold "V" on a dusk-coloured heater shield with a gold rim, cut out by the
// icon's mask. Painted at 32 x 32 in full colour, then reduced to a 256-colour table.
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "assets.h"

namespace assetgen {

namespace {

constexpr int kSize = 32;

// Inside the shield shrunk by `inset` pixels: straight sides down to the middle, then curving
// in to a point.
bool InShield(double x, double y, double inset) {
    const double top = 2.0 + inset, middle = 15.0, bottom = 30.5 - 1.6 * inset;
    if (y < top || y > bottom) return false;
    const double halfWidth = 13.0 - inset;
    double w = halfWidth;
    if (y > middle) {
        const double t = (y - middle) / (bottom - middle);
        w = halfWidth * (1 - t * t);
    }
    return std::abs(x - 16.0) <= w;
}

struct Rgba {
    Rgb colour;
    double alpha = 0;
};

std::array<Rgba, kSize * kSize> PaintEmblem(const Fonts& fonts) {
    std::array<Rgba, kSize * kSize> px{};
    const auto layer = [&](int x, int y, Rgb c, double a) {
        Rgba& p = px[std::size_t(y * kSize + x)];
        const double out = a + p.alpha * (1 - a);
        if (out <= 0) return;
        p.colour = Mix(p.colour, c, a / out);
        p.alpha = out;
    };
    static const std::vector<Rgb> field{Hex(0x1C1848), Hex(0x3A2366), Hex(0x8A3A6E)};
    static const std::vector<Rgb> rim{Hex(0xFFE9A8), Hex(0xF2B040), Hex(0xA8581A)};
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double t = (y + 0.5) / kSize;
            layer(x, y, Hex(0x140A18),
                  Supersample([](double px_, double py) { return InShield(px_, py, 0); }, x, y));
            layer(x, y, Ramp(rim, t),
                  Supersample([](double px_, double py) { return InShield(px_, py, 1.0); }, x, y));
            layer(x, y, Ramp(field, t),
                  Supersample([](double px_, double py) { return InShield(px_, py, 2.6); }, x, y));
        }

    const Font font(fonts.title, 21);
    const TextMask v = font.Smooth("V");
    if (v.ink.width > 20 || v.ink.height > 20) throw std::runtime_error("the emblem's letter is too large");
    const Coverage ink = Pad(v.ink, 2);
    const Coverage outline = Dilate(ink, 1.0);
    const int left = (kSize - v.ink.width) / 2 - 2, top = 14 - v.ink.height / 2 - 2;
    static const std::vector<Rgb> gold{Hex(0xFFF6D2), Hex(0xFFD070), Hex(0xD08A2A)};
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x) {
            const int ix = left + x, iy = top + y;
            if (ix < 0 || iy < 0 || ix >= kSize || iy >= kSize) continue;
            layer(ix, iy, Hex(0x1A0C06), outline.At(x, y) * 0.9);
            layer(ix, iy, Ramp(gold, double(y) / ink.height), ink.At(x, y));
        }
    return px;
}

// Median cut: split the colour box with the widest channel at its median until there are
// `count` boxes; each box's mean is a table entry.
std::vector<std::array<int, 3>> Quantise(std::vector<std::array<int, 3>> colours, std::size_t count) {
    struct Box {
        std::size_t begin, end;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    const auto widest = [&](const Box& b, int& channel) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, colours[i][std::size_t(c)]);
                hi = std::max(hi, colours[i][std::size_t(c)]);
            }
            if (hi - lo > best) best = hi - lo, channel = c;
        }
        return best;
    };
    while (boxes.size() < count) {
        std::size_t pick = boxes.size();
        int range = 0, channel = 0;
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            int c = 0;
            const int r = widest(boxes[b], c);
            if (r > range) range = r, pick = b, channel = c;
        }
        if (pick == boxes.size()) break; // every box holds one colour
        Box& box = boxes[pick];
        const auto first = colours.begin() + std::ptrdiff_t(box.begin);
        std::sort(first, colours.begin() + std::ptrdiff_t(box.end), [&](const auto& a, const auto& b) {
            return a[std::size_t(channel)] != b[std::size_t(channel)]
                       ? a[std::size_t(channel)] < b[std::size_t(channel)]
                       : a < b;
        });
        const std::size_t middle = box.begin + (box.end - box.begin) / 2;
        const std::size_t end = box.end;
        box.end = middle; // before push_back, which may move the boxes
        boxes.push_back({middle, end});
    }
    std::vector<std::array<int, 3>> table;
    for (const Box& b : boxes) {
        std::array<long, 3> sum{};
        for (std::size_t i = b.begin; i < b.end; ++i)
            for (std::size_t c = 0; c < 3; ++c)
                sum[c] += colours[i][c];
        const long n = long(b.end - b.begin);
        table.push_back({int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n)});
    }
    std::sort(table.begin(), table.end());
    table.erase(std::unique(table.begin(), table.end()), table.end());
    return table;
}

} // namespace

Bytes MakeIcon(const Fonts& fonts) {
    const auto emblem = PaintEmblem(fonts);
    std::vector<std::array<int, 3>> colours;
    std::array<bool, kSize * kSize> opaque{};
    std::array<std::array<int, 3>, kSize * kSize> rgb{};
    for (std::size_t i = 0; i < emblem.size(); ++i) {
        opaque[i] = emblem[i].alpha >= 0.5;
        const Rgb& c = emblem[i].colour;
        rgb[i] = {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
        if (opaque[i]) colours.push_back(rgb[i]);
    }
    // Entry 0 stays black for the transparent pixels, so the screen shows through unchanged.
    std::vector<std::array<int, 3>> table{{0, 0, 0}};
    for (const auto& c : Quantise(colours, 255))
        table.push_back(c);

    Bytes ico;
    for (std::uint32_t v : {0u, 1u, 1u}) // reserved, icon, one image
        PutLe16(ico, v);
    constexpr std::uint32_t imageBytes = 40 + 256 * 4 + kSize * kSize + kSize * 4;
    ico.insert(ico.end(), {kSize, kSize, 0, 0}); // width, height, colour count (256), reserved
    PutLe16(ico, 1);                             // planes
    PutLe16(ico, 8);                             // bits per pixel
    PutLe32(ico, imageBytes);
    PutLe32(ico, 22);

    PutLe32(ico, 40);
    PutLe32(ico, kSize);
    PutLe32(ico, kSize * 2); // colour image and mask
    PutLe16(ico, 1);
    PutLe16(ico, 8);
    PutLe32(ico, 0);
    PutLe32(ico, kSize * kSize + kSize * 4);
    for (int i = 0; i < 4; ++i)
        PutLe32(ico, 0);
    for (std::size_t i = 0; i < 256; ++i) {
        const std::array<int, 3> c = i < table.size() ? table[i] : std::array<int, 3>{};
        ico.insert(ico.end(), {std::uint8_t(c[2]), std::uint8_t(c[1]), std::uint8_t(c[0]), 0});
    }
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; ++x) {
            const std::size_t i = std::size_t(y * kSize + x);
            std::size_t best = 0;
            if (opaque[i]) {
                int bestDistance = 1 << 30;
                for (std::size_t e = 1; e < table.size(); ++e) {
                    int d = 0;
                    for (std::size_t c = 0; c < 3; ++c)
                        d += (table[e][c] - rgb[i][c]) * (table[e][c] - rgb[i][c]);
                    if (d < bestDistance) bestDistance = d, best = e;
                }
            }
            ico.push_back(std::uint8_t(best));
        }
    for (int y = kSize - 1; y >= 0; --y)
        for (int byte = 0; byte < 4; ++byte) {
            std::uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (!opaque[std::size_t(y * kSize + byte * 8 + bit)]) bits |= std::uint8_t(0x80 >> bit);
            ico.push_back(bits);
        }
    return ico;
}

} // namespace assetgen
