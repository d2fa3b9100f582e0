#include "png_expect.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "png/pnglang.h"

namespace pngexpect {

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t BE32(const u8* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

int Channels(int colorType) {
    static constexpr int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    return channels[colorType];
}

unsigned GetBits(const u8* row, std::size_t x, int bits) {
    const std::size_t bit = x * std::size_t(bits);
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
}

void PutBits(u8* row, std::size_t x, int bits, unsigned v) {
    const std::size_t bit = x * std::size_t(bits);
    row[bit / 8] = static_cast<u8>(row[bit / 8] | v << (8 - bits - int(bit % 8)));
}

Table GammaTable(std::uint32_t value) {
    Table table;
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = static_cast<u8>(i);
    if (value == 0) return table;
    const long double e = 1.0L / ((static_cast<long double>(value) / 100000.0L) * 2.2L);
    for (int i = 0; i < 256; ++i) {
        const long double power = i == 0 ? 0.0L : expl(e * logl(i / 255.0L));
        table[std::size_t(i)] = static_cast<u8>(nearbyintl(power * 255.0L)); // half to even
    }
    return table;
}

TFileFacts ReadFileFacts(const Bytes& file) {
    TFileFacts f;
    bool seenData = false;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t n = BE32(&file[p]);
        if (n > file.size() - p - 12) break;
        const std::string type(file.begin() + std::ptrdiff_t(p + 4), file.begin() + std::ptrdiff_t(p + 8));
        const u8* body = &file[p + 8];
        p += 12 + std::size_t{n};
        if (type == "gAMA" && n == 4 && BE32(body) != 0) f.Gamma = BE32(body);
        if (type == "PLTE") f.PaletteGamma = f.Gamma;
        if (type == "tRNS" && !f.HasTrns) {
            f.HasTrns = true;
            f.Trns.assign(body, body + n);
        }
        if (type != "cHRM" && !(type == "IDAT" && seenData)) f.Chunks.push_back(type);
        if (type == "IDAT" && !seenData) f.RowGamma = f.Gamma;
        seenData = seenData || type == "IDAT";
        if (type == "IEND") break;
    }
    return f;
}

namespace {

// Rounds half away from zero, for non-negative operands.
int MulDivRounded(int a, int b, int c) {
    return (a * b * 2 + c) / (2 * c);
}

// The gray of entry i of an n-entry ramp from black to white through the gamma table.
u8 RampGray(const Table& gamma, int i, int n) {
    return gamma[std::size_t(MulDivRounded(i, 255, n - 1))];
}

// Nearest-neighbour source index for destination index d when s pixels become n.
int StretchIndex(int d, int s, int n, bool rows) {
    const std::int64_t S = s, N = n, D = d;
    if (n >= s) return int(((2 * D + 1) * S - 1) / (2 * N));
    return int(rows ? (2 * D * S + N) / (2 * N) : (2 * (D + 1) * S - N) / (2 * N));
}

u8 BlendChannel(unsigned s, unsigned d, unsigned a) {
    return u8((s * a + d * (255 - a) + 255) >> 8);
}

} // namespace

TMemoryModel ModelOf(const TRawImage& raw, const Table& rowGamma, const Table& paletteGamma) {
    TMemoryModel m;
    const int bd = raw.BitDepth, ct = raw.ColorType, ch = Channels(ct);
    m.RowBits = ct == 2 || ct == 6 ? 24 : bd == 1 ? 1 : bd <= 4 ? 4 : 8;
    m.Stride = static_cast<std::int32_t>((std::int64_t{m.RowBits} * raw.Width + 31) / 32 * 4);
    const bool hasAlpha = ct == 4 || ct == 6, hasLow = bd == 16;
    for (const Bytes& row : raw.Rows) {
        Bytes px(std::size_t(m.Stride)), lo(hasLow ? px.size() : 0), al(hasAlpha ? raw.Width : 0);
        auto high = [&](std::size_t sample) { return bd == 16 ? row[2 * sample] : row[sample]; };
        auto low = [&](std::size_t sample) { return row[2 * sample + 1]; };
        for (std::size_t x = 0; x < raw.Width; ++x) {
            const std::size_t s = x * std::size_t(ch);
            if (bd < 8) {
                const unsigned v = GetBits(row.data(), x, bd);
                PutBits(px.data(), x, m.RowBits, ct == 0 && bd == 2 ? (v << 2) | v : v);
            } else if (ct == 2 || ct == 6) {
                for (std::size_t c = 0; c < 3; ++c) { // blue, green, red from red, green, blue
                    px[3 * x + c] = rowGamma[high(s + 2 - c)];
                    if (hasLow) lo[3 * x + c] = rowGamma[low(s + 2 - c)];
                }
            } else {
                px[x] = high(s);
                if (hasLow) lo[x] = low(s);
            }
            if (hasAlpha) al[x] = high(s + std::size_t(ch) - 1);
        }
        m.Pixels.push_back(std::move(px));
        if (hasLow) m.Low.push_back(std::move(lo));
        if (hasAlpha) m.Alpha.push_back(std::move(al));
    }
    if (ct == 3) {
        for (const Rgb& c : raw.Palette)
            m.Colors.push_back({paletteGamma[c[0]], paletteGamma[c[1]], paletteGamma[c[2]]});
    } else if (ct == 0) {
        const int n = 1 << m.RowBits;
        for (int i = 0; i < n; ++i) {
            const u8 g = RampGray(rowGamma, i, n);
            m.Colors.push_back({g, g, g});
        }
    }
    return m;
}

const char* KindName(TKind k) {
    return k == TKind::Opaque ? "opaque" : k == TKind::Key ? "key colour" : "alpha";
}

std::string BuildModel(const Bytes& file, const TRawImage& raw, TModel& m) {
    const TFileFacts facts = ReadFileFacts(file);
    const Bytes& trns = facts.Trns;
    const Table rowTable = GammaTable(facts.RowGamma), paletteTable = GammaTable(facts.PaletteGamma),
                decodeTable = GammaTable(facts.Gamma);

    m.Width = int(raw.Width);
    m.Height = int(raw.Height);
    m.ColorType = raw.ColorType;
    m.BitDepth = raw.BitDepth;
    const int ct = raw.ColorType, bd = raw.BitDepth;
    const std::size_t ch = std::size_t(Channels(ct));
    const int rampBits = bd == 1 ? 1 : bd <= 4 ? 4 : 8; // bits of the gray image's indices

    // Palette colours as the colour table shows them, and the alpha of every entry.
    std::vector<Rgb> palette;
    for (const auto& c : raw.Palette)
        palette.push_back({paletteTable[c[0]], paletteTable[c[1]], paletteTable[c[2]]});
    std::array<u8, 256> entryAlpha;
    entryAlpha.fill(255);
    for (std::size_t i = 0; ct == 3 && i < trns.size() && i < 256; ++i)
        entryAlpha[i] = trns[i];

    // Transparency kind and key colour.
    if (ct == 4 || ct == 6) {
        m.Kind = TKind::Alpha;
    } else if (!facts.HasTrns) {
        m.Kind = TKind::Opaque;
    } else if (ct == 0) {
        if (trns.size() < 2) return "short gray tRNS";
        const u8 g = RampGray(rowTable, trns[1], 1 << rampBits);
        m.Kind = TKind::Key;
        m.Key = {g, g, g};
    } else if (ct == 2) {
        if (trns.size() < 6) return "short colour tRNS";
        m.Kind = TKind::Key;
        m.Key = {decodeTable[trns[1]], decodeTable[trns[3]], decodeTable[trns[5]]};
    } else {
        int notOpaque = 0, firstClear = -1;
        for (std::size_t i = 0; i < trns.size(); ++i) {
            if (trns[i] != 255) ++notOpaque;
            if (trns[i] == 0 && firstClear < 0) firstClear = int(i);
        }
        m.Kind = notOpaque == 1 && firstClear >= 0 ? TKind::Key : TKind::Alpha;
        if (m.Kind == TKind::Key) {
            if (std::size_t(firstClear) >= palette.size()) return "transparent entry outside the palette";
            m.Key = palette[std::size_t(firstClear)];
        }
    }

    for (const Bytes& row : raw.Rows) {
        auto high = [&](std::size_t s) { return bd == 16 ? row[2 * s] : row[s]; };
        for (std::size_t x = 0; x < raw.Width; ++x) {
            const std::size_t s = x * ch;
            Rgb colour{};
            u8 alpha = 255;
            if (ct == 0) {
                const unsigned v = bd < 8 ? GetBits(row.data(), x, bd) : high(s);
                const u8 g = RampGray(rowTable, int(bd == 2 ? v * 5 : v), 1 << rampBits);
                colour = {g, g, g};
            } else if (ct == 2 || ct == 6) {
                colour = {rowTable[high(s)], rowTable[high(s + 1)], rowTable[high(s + 2)]};
                if (ct == 6) alpha = high(s + 3);
            } else if (ct == 3) {
                const unsigned v = bd < 8 ? GetBits(row.data(), x, bd) : row[x];
                if (v >= palette.size()) return "index outside the palette";
                colour = palette[v];
                alpha = entryAlpha[v];
            } else if (ct == 4) {
                colour = {high(s), high(s), high(s)};
                alpha = high(s + 1);
            } else {
                return "unknown colour type";
            }
            m.Colour.push_back(colour);
            m.Alpha.push_back(alpha);
        }
    }
    return "";
}

// A checkerboard of 2 x 2 cells in two families of varied colours (red, green, blue).
Rgb PatternAt(int x, int y) {
    if (((x >> 1) + (y >> 1)) & 1) return {u8(x * 3 ^ y * 17), u8(y * 31 + 50), u8(x * 29 + y * 7)};
    return {u8(128 + y * 5), u8(x * y + 3), u8(255 - x * 13)};
}

TSurfaceSize SurfaceFor(const TRect& rect) {
    return {std::max(rect.Left, rect.Right) + 4, std::max(rect.Top, rect.Bottom) + 3};
}

std::vector<Rgb> Expected(const TModel& m, const TRect& rect, TSurfaceSize surface) {
    std::vector<Rgb> out;
    for (int y = 0; y < surface.Height; ++y)
        for (int x = 0; x < surface.Width; ++x)
            out.push_back(PatternAt(x, y));
    const bool mirrorX = rect.Right < rect.Left, mirrorY = rect.Bottom < rect.Top;
    const int left = std::min(rect.Left, rect.Right), top = std::min(rect.Top, rect.Bottom);
    const int w = std::abs(rect.Right - rect.Left), h = std::abs(rect.Bottom - rect.Top);
    const bool scaled = w != m.Width || h != m.Height;
    const double ratioX = double(w) / m.Width, ratioY = double(h) / m.Height;
    for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) {
            Rgb& target = out[std::size_t(top + dy) * std::size_t(surface.Width) + std::size_t(left + dx)];
            if (m.Kind == TKind::Alpha) {
                const int sx = scaled ? int(dx / ratioX) : dx, sy = scaled ? int(dy / ratioY) : dy;
                const u8 a = m.AlphaAt(sx, sy);
                for (std::size_t c = 0; c < 3; ++c)
                    target[c] = BlendChannel(m.At(sx, sy)[c], target[c], a);
                continue;
            }
            const int sx = StretchIndex(mirrorX ? w - 1 - dx : dx, m.Width, w, false);
            const int sy = StretchIndex(mirrorY ? h - 1 - dy : dy, m.Height, h, true);
            const Rgb& colour = m.At(sx, sy);
            if (m.Kind == TKind::Key && colour == m.Key) continue;
            target = colour;
        }
    return out;
}

const char* PlacementName(TPlacement p) {
    switch (p) {
    case TPlacement::Unscaled: return "Unscaled";
    case TPlacement::Double: return "Double";
    case TPlacement::Half: return "Half";
    case TPlacement::OneAndAHalfPlusOne: return "OneAndAHalfPlusOne";
    case TPlacement::Reversed: return "Reversed";
    }
    return "";
}

// The rectangle at (3, 2); reversed is twice as wide, as high, with both axes reversed.
TRect PlacementRect(TPlacement p, int w, int h) {
    constexpr int x = 3, y = 2;
    switch (p) {
    case TPlacement::Unscaled: return {x, y, x + w, y + h};
    case TPlacement::Double: return {x, y, x + 2 * w, y + 2 * h};
    case TPlacement::Half: return {x, y, x + std::max(1, w / 2), y + std::max(1, h / 2)};
    case TPlacement::OneAndAHalfPlusOne: return {x, y, x + w * 3 / 2 + 1, y + h * 3 / 2 + 1};
    case TPlacement::Reversed: return {x + 2 * w, y + h, x, y};
    }
    return {};
}

const std::vector<TCorruptCase>& CorruptCases() {
    using namespace pnglang;
    static const std::vector<TCorruptCase> cases = {
        {"xc1n0g08", "IHDR colour type 1", "EPngInvalidIHDR", EPngInvalidIHDRText},
        {"xc9n2c08", "IHDR colour type 9", "EPngInvalidIHDR", EPngInvalidIHDRText},
        {"xcrn0g04", "signature LF bytes turned into CR", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
        {"xcsn0g01", "IDAT checksum wrong", "EPngInvalidCRC", EPngInvalidCRCText},
        {"xd0n2c08", "IHDR bit depth 0", "EPngInvalidIHDR", EPngInvalidIHDRText},
        {"xd3n2c08", "IHDR bit depth 3", "EPngInvalidIHDR", EPngInvalidIHDRText},
        {"xd9n2c08", "IHDR bit depth 99", "EPngInvalidIHDR", EPngInvalidIHDRText},
        {"xdtn0g01", "no IDAT chunk", "EPNGNoImageData", EPNGNoImageDataText},
        {"xhdn0g08", "IHDR checksum wrong", "EPngInvalidCRC", EPngInvalidCRCText},
        {"xlfn0g04", "signature CR bytes turned into LF", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
        {"xs1n0g01", "signature byte 1 wrong", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
        {"xs2n0g01", "signature byte 2 wrong", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
        {"xs4n0g01", "signature byte 4 wrong", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
        {"xs7n0g01", "signature byte 7 wrong", "EPNGInvalidFileHeader", EPNGInvalidFileHeaderText},
    };
    return cases;
}

std::string TestName(std::string name) {
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

} // namespace pngexpect
