// The sRGB display profile embedded in the credit PNG, built from the colour space's definition:
// its primaries and white point, adapted to the profile connection space's D50 white with the
// Bradford transform, and its transfer function sampled into curves.
#include <array>
#include <cmath>
#include <string>

#include "assets.h"

namespace assetgen {

namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

Mat3 Multiply(const Mat3& a, const Mat3& b) {
    Mat3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

Vec3 Apply(const Mat3& m, const Vec3& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

Mat3 Inverse(const Mat3& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat3 r{};
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

Vec3 XyzOf(double x, double y) {
    return {x / y, 1.0, (1.0 - x - y) / y};
}

// The PCS white the header and the white-point tag name.
const Vec3 kD50{0.9642, 1.0, 0.8249};

// Columns: the red, green and blue primaries' XYZ under D50.
Mat3 AdaptedPrimaries() {
    const Vec3 red = XyzOf(0.64, 0.33), green = XyzOf(0.30, 0.60), blue = XyzOf(0.15, 0.06);
    const Vec3 d65 = XyzOf(0.3127, 0.3290);
    const Mat3 chroma{
        {{red[0], green[0], blue[0]}, {red[1], green[1], blue[1]}, {red[2], green[2], blue[2]}}};
    const Vec3 scale = Apply(Inverse(chroma), d65);
    Mat3 rgbToXyz{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rgbToXyz[i][j] = chroma[i][j] * scale[j];

    const Mat3 bradford{{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
    const Vec3 from = Apply(bradford, d65), to = Apply(bradford, kD50);
    const Mat3 gain{{{to[0] / from[0], 0, 0}, {0, to[1] / from[1], 0}, {0, 0, to[2] / from[2]}}};
    return Multiply(Multiply(Inverse(bradford), Multiply(gain, bradford)), rgbToXyz);
}

void PutS15Fixed16(Bytes& out, double v) {
    PutBe32(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 65536.0))));
}

Bytes XyzTag(const Vec3& xyz) {
    Bytes tag;
    PutText(tag, "XYZ ");
    PutBe32(tag, 0);
    for (double v : xyz)
        PutS15Fixed16(tag, v);
    return tag;
}

// The sRGB transfer function, encoded value to linear light.
Bytes CurveTag(int entries) {
    Bytes tag;
    PutText(tag, "curv");
    PutBe32(tag, 0);
    PutBe32(tag, std::uint32_t(entries));
    for (int i = 0; i < entries; ++i) {
        const double v = double(i) / double(entries - 1);
        const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        PutBe16(tag, static_cast<std::uint32_t>(std::lround(linear * 65535.0)));
    }
    return tag;
}

// Version 2 text description: ASCII with its terminator, then empty Unicode and ScriptCode parts.
Bytes DescriptionTag(const std::string& text) {
    Bytes tag;
    PutText(tag, "desc");
    PutBe32(tag, 0);
    PutBe32(tag, std::uint32_t(text.size() + 1));
    PutText(tag, text);
    tag.push_back(0);
    PutBe32(tag, 0); // Unicode language
    PutBe32(tag, 0); // Unicode count
    PutBe16(tag, 0); // ScriptCode code
    tag.push_back(0);
    tag.insert(tag.end(), 67, 0);
    return tag;
}

Bytes TextTag(const std::string& text) {
    Bytes tag;
    PutText(tag, "text");
    PutBe32(tag, 0);
    PutText(tag, text);
    tag.push_back(0);
    return tag;
}

} // namespace

Bytes MakeSrgbProfile() {
    const Mat3 primaries = AdaptedPrimaries();
    const Bytes curve = CurveTag(1024);
    struct Tag {
        const char* signature;
        Bytes data;
        int sharesWith = -1; // index of an earlier tag whose data this one points at
    };
    const std::vector<Tag> tags{
        {"desc", DescriptionTag("sRGB IEC61966-2.1")},
        {"cprt", TextTag("No copyright, use freely")},
        {"wtpt", XyzTag(kD50)},
        {"rXYZ", XyzTag({primaries[0][0], primaries[1][0], primaries[2][0]})},
        {"gXYZ", XyzTag({primaries[0][1], primaries[1][1], primaries[2][1]})},
        {"bXYZ", XyzTag({primaries[0][2], primaries[1][2], primaries[2][2]})},
        {"rTRC", curve},
        {"gTRC", {}, 6},
        {"bTRC", {}, 6},
    };

    Bytes profile;
    PutBe32(profile, 0);           // size, set at the end
    PutBe32(profile, 0);           // preferred colour management module: none
    PutBe32(profile, 0x02100000u); // version 2.1
    PutText(profile, "mntrRGB XYZ ");
    for (std::uint32_t v : {2026u, 1u, 1u, 0u, 0u, 0u}) // creation time, fixed for repeatable output
        PutBe16(profile, v);
    PutText(profile, "acsp");
    profile.resize(64, 0); // platform, flags, manufacturer, model, attributes
    PutBe32(profile, 0);   // perceptual rendering intent
    for (double v : kD50)
        PutS15Fixed16(profile, v);
    profile.resize(128, 0); // creator and reserved bytes

    PutBe32(profile, std::uint32_t(tags.size()));
    const std::size_t table = profile.size();
    profile.resize(table + 12 * tags.size(), 0);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> placed;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Tag& tag = tags[i];
        if (tag.sharesWith >= 0) {
            placed.push_back(placed[std::size_t(tag.sharesWith)]);
        } else {
            placed.emplace_back(std::uint32_t(profile.size()), std::uint32_t(tag.data.size()));
            profile.insert(profile.end(), tag.data.begin(), tag.data.end());
            profile.resize((profile.size() + 3) / 4 * 4, 0);
        }
        const std::size_t entry = table + 12 * i;
        for (int c = 0; c < 4; ++c)
            profile[entry + std::size_t(c)] = static_cast<std::uint8_t>(tag.signature[c]);
        SetBe32(profile, entry + 4, placed.back().first);
        SetBe32(profile, entry + 8, placed.back().second);
    }
    SetBe32(profile, 0, std::uint32_t(profile.size()));
    return profile;
}

} // namespace assetgen
