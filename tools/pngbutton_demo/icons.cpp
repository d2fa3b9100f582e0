#include "icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>

#include <zlib.h>

namespace {

constexpr int kSize = 32;
constexpr int kSamples = 4; // per axis, for smooth edges

struct TColour {
    float r, g, b, a;
};

TColour Rgb(std::uint32_t rgb, float a = 1) {
    return {float((rgb >> 16) & 0xFF) / 255, float((rgb >> 8) & 0xFF) / 255, float(rgb & 0xFF) / 255, a};
}

TColour Mix(const TColour& a, const TColour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

TColour Tinted(TColour c, TTint tint) {
    if (tint == TTint::Light) return Mix(c, TColour{1, 1, 1, c.a}, 0.28f);
    if (tint == TTint::Deep) return TColour{c.r * 0.78f, c.g * 0.78f, c.b * 0.78f, c.a};
    return c;
}

// Paints a source colour over a destination (straight alpha).
TColour Over(const TColour& src, const TColour& dst) {
    const float a = src.a + dst.a * (1 - src.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto ch = [&](float s, float d) { return (s * src.a + d * dst.a * (1 - src.a)) / a; };
    return {ch(src.r, dst.r), ch(src.g, dst.g), ch(src.b, dst.b), a};
}

// Shapes as inside tests on a point.
using TShape = std::function<bool(float x, float y)>;

TShape Disc(float cx, float cy, float r) {
    return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

float SegmentDistance(float x, float y, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float ex = x - (ax + t * dx), ey = y - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

TShape Triangle(float ax, float ay, float bx, float by, float cx, float cy) {
    return [=](float x, float y) {
        auto side = [&](float px, float py, float qx, float qy) {
            return (qx - px) * (y - py) - (qy - py) * (x - px);
        };
        const float s1 = side(ax, ay, bx, by), s2 = side(bx, by, cx, cy), s3 = side(cx, cy, ax, ay);
        return (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
    };
}

TShape Star(float cx, float cy, float outer, float inner) {
    return [=](float x, float y) {
        // Inside when inside one of the five triangles of the star's outline around its centre.
        const float pi = 3.14159265f;
        for (int i = 0; i < 10; ++i) {
            const float a0 = -pi / 2 + float(i) * pi / 5, a1 = a0 + pi / 5;
            const float r0 = i % 2 == 0 ? outer : inner, r1 = i % 2 == 0 ? inner : outer;
            if (Triangle(cx, cy, cx + r0 * std::cos(a0), cy + r0 * std::sin(a0), cx + r1 * std::cos(a1),
                         cy + r1 * std::sin(a1))(x, y))
                return true;
        }
        return false;
    };
}

TShape Heart(float cx, float cy, float scale) {
    return [=](float x, float y) {
        const float u = (x - cx) / scale, v = -(y - cy) / scale;
        const float q = u * u + v * v - 1;
        return q * q * q - u * u * v * v * v <= 0;
    };
}

TShape Stroke(std::vector<std::array<float, 2>> points, float halfWidth) {
    return [=](float x, float y) {
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            if (SegmentDistance(x, y, points[i][0], points[i][1], points[i + 1][0], points[i + 1][1]) <=
                halfWidth)
                return true;
        return false;
    };
}

TShape Shifted(const TShape& shape, float dx, float dy) {
    return [=](float x, float y) { return shape(x - dx, y - dy); };
}

// One layer: a shape and its colour at a point (for gradients).
struct TLayer {
    TShape shape;
    std::function<TColour(float x, float y)> colour;
};

// A body with a vertical gradient, a darker rim, a soft shadow below it and a gloss on top.
std::vector<TLayer> Body(const TShape& outline, const TShape& inside, std::uint32_t top, std::uint32_t bottom,
                         std::uint32_t rim, TTint tint) {
    const TColour t = Tinted(Rgb(top), tint), b = Tinted(Rgb(bottom), tint), r = Tinted(Rgb(rim), tint);
    return {
        {Shifted(outline, 0.6f, 1.4f),
         [](float, float) {
             return TColour{0, 0, 0, 0.22f};
         }},
        {outline, [r](float, float) { return r; }},
        {inside, [t, b](float, float y) { return Mix(t, b, std::clamp((y - 3) / 26, 0.0f, 1.0f)); }},
    };
}

std::vector<TLayer> Layers(TIcon icon, TTint tint) {
    const TColour white{1, 1, 1, 1};
    std::vector<TLayer> layers;
    auto add = [&](std::vector<TLayer> more) { layers.insert(layers.end(), more.begin(), more.end()); };
    auto gloss = [&](float cx, float cy, float rx, float ry) {
        layers.push_back({[=](float x, float y) {
                              return (x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry) <= 1;
                          },
                          [](float, float y) {
                              return TColour{1, 1, 1, std::clamp(0.45f - (y - 3) * 0.05f, 0.0f, 1.0f)};
                          }});
    };
    switch (icon) {
    case TIcon::Play:
        add(Body(Disc(16, 15.5f, 14), Disc(16, 15.5f, 13), 0x7BE38A, 0x1E9A45, 0x167A35, tint));
        gloss(16, 8.5f, 10, 5.5f);
        layers.push_back(
            {Triangle(12.5f, 9, 12.5f, 22, 23.5f, 15.5f), [white](float, float) { return white; }});
        break;
    case TIcon::Star:
        add(Body(Star(16, 16.5f, 15.5f, 6.8f), Star(16, 16.5f, 13.8f, 5.9f), 0xFFE27A, 0xF29B0C, 0xB86E00,
                 tint));
        gloss(16, 9, 7, 4);
        break;
    case TIcon::Heart:
        add(Body(Heart(16, 15, 13.5f), Heart(16, 15, 12.3f), 0xFF8A8A, 0xD3203A, 0x9E1429, tint));
        gloss(11, 9, 5, 3.2f);
        break;
    case TIcon::Check:
        add(Body(Disc(16, 15.5f, 14), Disc(16, 15.5f, 13), 0x73B7FF, 0x1D62CF, 0x174EA6, tint));
        gloss(16, 8.5f, 10, 5.5f);
        layers.push_back(
            {Stroke({{9, 16}, {14, 21}, {23.5f, 10.5f}}, 1.9f), [white](float, float) { return white; }});
        break;
    }
    return layers;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& body) {
    Put32(out, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    Put32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::vector<std::uint8_t> IconPng(TIcon icon, TTint tint) {
    const std::vector<TLayer> layers = Layers(icon, tint);
    // Rows with their filter byte (none), colour with alpha, 8 bits.
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < kSize; ++y) {
        raw.push_back(0);
        for (int x = 0; x < kSize; ++x) {
            float r = 0, g = 0, b = 0, a = 0; // premultiplied sums over the samples
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const float px = float(x) + (float(sx) + 0.5f) / kSamples;
                    const float py = float(y) + (float(sy) + 0.5f) / kSamples;
                    TColour c{0, 0, 0, 0};
                    for (const TLayer& layer : layers)
                        if (layer.shape(px, py)) c = Over(layer.colour(px, py), c);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            const float n = kSamples * kSamples;
            auto byte = [](float v) {
                return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255), 0L, 255L));
            };
            const float alpha = a / n;
            raw.push_back(byte(alpha > 0 ? r / a : 0));
            raw.push_back(byte(alpha > 0 ? g / a : 0));
            raw.push_back(byte(alpha > 0 ? b / a : 0));
            raw.push_back(byte(alpha));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);

    std::vector<std::uint8_t> png = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<std::uint8_t> header;
    Put32(header, kSize);
    Put32(header, kSize);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}
