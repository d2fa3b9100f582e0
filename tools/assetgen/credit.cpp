// The credit line: one line of black text on a transparent strip, as an RGBA PNG whose pixels
// are either opaque or fully clear, so it blends the same on any background.
#include <stdexcept>
#include <string>

#include <zlib.h>

#include "assets.h"

namespace assetgen {

namespace {

constexpr int kWidth = 216;
constexpr int kHeight = 12;
constexpr int kPixelSize = 12; // capitals come out 9 pixels tall
const char* const kText = "Vorlanth (c) 2026 Vorlanth team";

void PutChunk(Bytes& png, const char* type, const Bytes& body) {
    PutBe32(png, std::uint32_t(body.size()));
    const std::size_t start = png.size();
    PutText(png, std::string(type, 4));
    png.insert(png.end(), body.begin(), body.end());
    const uLong crc = crc32(0, png.data() + start, uInt(png.size() - start));
    PutBe32(png, std::uint32_t(crc));
}

Bytes Deflate(const Bytes& data) {
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib cannot compress");
    out.resize(size);
    return out;
}

// The text's one-bit mask placed on the strip: centred across, the ink box centred down.
Coverage CreditMask(const Fonts& fonts) {
    const Font font(fonts.small, kPixelSize);
    const TextMask text = font.Mono(kText);
    if (text.ink.width > kWidth || text.ink.height > kHeight)
        throw std::runtime_error("the credit line does not fit its strip");
    Coverage strip(kWidth, kHeight);
    const int left = (kWidth - text.ink.width) / 2, top = (kHeight - text.ink.height) / 2;
    for (int y = 0; y < text.ink.height; ++y)
        for (int x = 0; x < text.ink.width; ++x)
            strip(left + x, top + y) = text.ink.At(x, y);
    return strip;
}

} // namespace

Bytes MakeCredit(const Fonts& fonts) {
    const Coverage mask = CreditMask(fonts);

    // Every row filtered with Sub: each byte minus the same byte of the pixel to its left.
    Bytes rows;
    Bytes raw(kWidth * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            raw[std::size_t(x) * 4 + 3] = mask.At(x, y) >= 0.5 ? 255 : 0;
        rows.push_back(1);
        for (std::size_t i = 0; i < raw.size(); ++i)
            rows.push_back(static_cast<std::uint8_t>(raw[i] - (i >= 4 ? raw[i - 4] : 0)));
    }

    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBe32(header, kWidth);
    PutBe32(header, kHeight);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, deflate, adaptive filters, not interlaced
    PutChunk(png, "IHDR", header);

    Bytes physical;
    PutBe32(physical, 7874); // 200 pixels per inch
    PutBe32(physical, 7874);
    physical.push_back(1); // per metre
    PutChunk(png, "pHYs", physical);

    Bytes profile;
    PutText(profile, "sRGB IEC61966-2.1");
    profile.insert(profile.end(), {0, 0}); // name terminator, deflate
    const Bytes packed = Deflate(MakeSrgbProfile());
    profile.insert(profile.end(), packed.begin(), packed.end());
    PutChunk(png, "iCCP", profile);

    Bytes gamma;
    PutBe32(gamma, 45454);
    PutChunk(png, "gAMA", gamma);

    PutChunk(png, "IDAT", Deflate(rows));
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace assetgen
