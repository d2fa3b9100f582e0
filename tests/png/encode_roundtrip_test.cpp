// Saving images: libpng must read every saved stream without complaint and find the samples the
// image memory stands for; this library must read it back into the same image memory; the chunk
// list must be the loaded one with the image data in one run of IDAT chunks. Sources: the standard
// PNG test images, generated images of every format, and plain bitmaps.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "png/pngheader.h"
#include "png/pngobject.h"
#include "png_expect.h"
#include "support/png_builder.h"
#include "support/pngsuite.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"

namespace {

using pngtest::SuiteDir;
using pngtest::SuiteMissing;

using u8 = std::uint8_t;
using Bytes = std::vector<u8>;
using Rows = std::vector<Bytes>;
using Names = std::vector<std::string>;

// ---- libpng as the reader of the saved streams, recording its errors and warnings ----

struct TDecoded {
    std::string Error;
    Names Warnings;
    png_uint_32 Width = 0, Height = 0;
    int BitDepth = 0, ColorType = 0, Interlace = 0;
    Rows Samples; // raw samples, de-interlaced, sub-byte padding bits cleared
    std::vector<std::array<u8, 3>> Palette;
    Bytes TransAlpha;                // tRNS of palette images
    std::optional<png_color_16> Key; // tRNS of gray and RGB images
};

struct TReadState {
    const Bytes* File = nullptr;
    std::size_t Position = 0;
    TDecoded* Out = nullptr;
    char Message[256] = {};
    std::vector<png_bytep> RowPointers;
};

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TReadState*>(png_get_error_ptr(png));
    std::snprintf(state->Message, sizeof state->Message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    static_cast<TReadState*>(png_get_error_ptr(png))->Out->Warnings.emplace_back(message);
}

void OnRead(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<TReadState*>(png_get_io_ptr(png));
    if (length > state->File->size() - state->Position) png_error(png, "unexpected end of file");
    std::copy_n(state->File->data() + state->Position, length, data);
    state->Position += length;
}

// Left only by longjmp: holds no object with a destructor.
void ReadAll(png_structp png, png_infop info, TReadState& s) {
    TDecoded& d = *s.Out;
    png_set_read_fn(png, &s, OnRead);
    png_read_info(png, info);
    png_get_IHDR(png, info, &d.Width, &d.Height, &d.BitDepth, &d.ColorType, &d.Interlace, nullptr, nullptr);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    d.Samples.assign(d.Height, Bytes(png_get_rowbytes(png, info)));
    s.RowPointers.resize(d.Height);
    for (png_uint_32 y = 0; y < d.Height; ++y)
        s.RowPointers[y] = d.Samples[y].data();
    png_read_image(png, s.RowPointers.data());
    png_read_end(png, nullptr);
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0)
        for (int i = 0; i < count; ++i)
            d.Palette.push_back({palette[i].red, palette[i].green, palette[i].blue});
    png_bytep alpha = nullptr;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, &alpha, &count, &key) != 0) {
        if (d.ColorType == 3)
            d.TransAlpha.assign(alpha, alpha + count);
        else
            d.Key = *key;
    }
}

bool Run(png_structp png, png_infop info, TReadState& s) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    ReadAll(png, info, s);
    return true;
}

void ClearPadding(Rows& rows, std::size_t bits) {
    if (bits % 8 == 0) return;
    for (Bytes& row : rows)
        row[bits / 8] = static_cast<u8>(row[bits / 8] & (0xFF00 >> (bits % 8)));
}

int Channels(int colorType) {
    static constexpr int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    return channels[colorType];
}

TDecoded Decode(const Bytes& file) {
    TDecoded d;
    TReadState s;
    s.File = &file;
    s.Out = &d;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    if (!Run(png, info, s)) d.Error = s.Message;
    png_destroy_read_struct(&png, &info, nullptr);
    ClearPadding(d.Samples, std::size_t(d.Width) * std::size_t(d.BitDepth * Channels(d.ColorType)));
    return d;
}

// ---- the saved stream's frame: chunk list, IDAT sizes, filter types ----

std::uint32_t BE32(const u8* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Chunk types in order, a run of IDAT chunks as one; the IDAT bodies joined; their sizes.
struct TFrame {
    Names Types;
    Bytes Data;
    std::vector<std::uint32_t> IdatSizes;
};

TFrame WalkChunks(const Bytes& file, bool dropChrm) {
    TFrame f;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t n = BE32(&file[p]);
        if (n > file.size() - p - 12) break;
        const std::string type(file.begin() + std::ptrdiff_t(p + 4), file.begin() + std::ptrdiff_t(p + 8));
        const auto body = file.begin() + std::ptrdiff_t(p + 8);
        p += 12 + std::size_t{n};
        if (type == "IDAT") {
            f.Data.insert(f.Data.end(), body, body + n);
            f.IdatSizes.push_back(n);
        }
        if ((type == "IDAT" && !f.Types.empty() && f.Types.back() == "IDAT") || (dropChrm && type == "cHRM"))
            continue;
        f.Types.push_back(type);
        if (type == "IEND") break;
    }
    return f;
}

// Inflates the image data and checks that it holds exactly the filtered rows of the image, each
// with an allowed filter type (an empty set allowing type 0 only). Empty when all is well.
std::string FilterTypeFault(const TFrame& frame, const TDecoded& d, unsigned allowed) {
    static constexpr int y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    static constexpr int x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    const std::size_t bpp = std::size_t(d.BitDepth * Channels(d.ColorType));
    std::vector<std::size_t> lines; // byte length of each filtered line, filter byte included
    for (int pass = d.Interlace ? 0 : 6; pass < 7; ++pass) {
        const long w = d.Interlace ? (long(d.Width) - x0[pass] + dx[pass] - 1) / dx[pass] : long(d.Width);
        const long h = d.Interlace ? (long(d.Height) - y0[pass] + dy[pass] - 1) / dy[pass] : long(d.Height);
        for (long y = 0; w > 0 && y < h; ++y)
            lines.push_back(1 + (std::size_t(w) * bpp + 7) / 8);
    }
    std::size_t total = 0;
    for (std::size_t n : lines)
        total += n;
    Bytes raw(total + 64);
    uLongf size = uLongf(raw.size());
    if (uncompress(raw.data(), &size, frame.Data.data(), uLong(frame.Data.size())) != Z_OK)
        return "the image data does not inflate";
    if (size != total)
        return "inflated " + std::to_string(size) + " bytes, expected " + std::to_string(total);
    if (allowed == 0) allowed = 1;
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); at += lines[i++])
        if (raw[at] > 4 || ((allowed >> raw[at]) & 1) == 0)
            return "line " + std::to_string(i) + " has filter type " + std::to_string(raw[at]);
    return "";
}

// ---- what the image memory stands for ----

using pngexpect::GetBits;
using pngexpect::PutBits;

int WrittenDepth(const TChunkIHDR& h) {
    return h.BitDepth == 2 ? 4 : h.BitDepth;
}

// The raw samples the rules give for the image memory.
Rows SamplesOfMemory(const TPNGObject& image) {
    const TChunkIHDR& h = image.HeaderChunk();
    const TGammaTable& e = image.EncodeGamma;
    const int bd = WrittenDepth(h), ch = Channels(h.ColorType);
    const std::size_t bits = std::size_t(h.Width) * std::size_t(bd * ch);
    Rows rows(h.Height, Bytes((bits + 7) / 8));
    for (std::uint32_t y = 0; y < h.Height; ++y) {
        const u8 *px = h.PixelRow(int(y)), *lo = h.LowByteRow(int(y)), *al = h.AlphaRow(int(y));
        u8* out = rows[y].data();
        if (bd < 8) {
            std::copy_n(px, rows[y].size(), out);
            continue;
        }
        const std::size_t n = std::size_t(bd / 8);
        for (std::size_t x = 0; x < h.Width; ++x, out += n * std::size_t(ch)) {
            const bool colour = h.ColorType == 2 || h.ColorType == 6;
            for (std::size_t c = 0; c < (colour ? 3u : 1u); ++c) {
                const std::size_t i = colour ? 3 * x + 2 - c : x; // blue, green, red in memory
                out[c * n] = colour ? e[px[i]] : px[i];
                if (n == 2) out[c * n + 1] = colour ? e[lo[i]] : lo[i];
            }
            if (al != nullptr) std::fill_n(out + std::size_t(ch - 1) * n, n, al[x]);
        }
    }
    ClearPadding(rows, bits);
    return rows;
}

// The raw samples a source with identity gamma should give when saved: 2-bit samples become 4-bit
// (gray level times 5, palette index kept), 16-bit alpha has its low byte equal to its high byte.
Rows SamplesOfSource(const TDecoded& d) {
    const int ch = Channels(d.ColorType);
    Rows rows = d.Samples;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        if (d.BitDepth == 2) {
            rows[y].assign((std::size_t(d.Width) * 4 + 7) / 8, 0);
            for (std::size_t x = 0; x < d.Width; ++x) {
                const unsigned v = GetBits(d.Samples[y].data(), x, 2);
                PutBits(rows[y].data(), x, 4, d.ColorType == 0 ? 5 * v : v);
            }
        } else if (d.BitDepth == 16 && (d.ColorType == 4 || d.ColorType == 6)) {
            for (std::size_t x = 0; x < d.Width; ++x)
                rows[y][2 * (x * std::size_t(ch) + std::size_t(ch) - 1) + 1] =
                    rows[y][2 * (x * std::size_t(ch) + std::size_t(ch) - 1)];
        }
    }
    return rows;
}

unsigned SampleAt(const Bytes& row, std::size_t s, int bitDepth) {
    return bitDepth == 16  ? unsigned(row[2 * s] << 8 | row[2 * s + 1])
           : bitDepth == 8 ? row[s]
                           : GetBits(row.data(), s, bitDepth);
}

// Which pixels a gray or RGB key marks transparent, in the given raw samples.
std::vector<bool> KeyMask(const TDecoded& d, const Rows& samples) {
    std::vector<bool> mask;
    if (!d.Key) return mask;
    const int ch = Channels(d.ColorType);
    const unsigned key[3] = {d.ColorType == 0 ? d.Key->gray : d.Key->red, d.Key->green, d.Key->blue};
    for (const Bytes& row : samples)
        for (std::size_t x = 0; x < d.Width; ++x) {
            bool match = true;
            for (std::size_t c = 0; c < std::size_t(ch); ++c) {
                match = match && SampleAt(row, x * std::size_t(ch) + c, d.BitDepth) == key[c];
            }
            mask.push_back(match);
        }
    return mask;
}

// The alpha of every palette entry, 255 for those the tRNS chunk leaves out.
Bytes EntryAlpha(const TDecoded& d) {
    Bytes alpha(d.Palette.size(), 255);
    std::copy_n(d.TransAlpha.begin(), std::min(alpha.size(), d.TransAlpha.size()), alpha.begin());
    return alpha;
}

std::string FirstDifference(const Rows& got, const Rows& expected) {
    if (got.size() != expected.size()) return "row count " + std::to_string(got.size());
    for (std::size_t y = 0; y < got.size(); ++y) {
        if (got[y].size() != expected[y].size()) return "row " + std::to_string(y) + " length differs";
        for (std::size_t i = 0; i < got[y].size(); ++i)
            if (got[y][i] != expected[y][i])
                return "row " + std::to_string(y) + " byte " + std::to_string(i) + ": got " +
                       std::to_string(got[y][i]) + ", expected " + std::to_string(expected[y][i]);
    }
    return "";
}

// The image memory within the image: pixel bits, alpha and low-byte planes, colour table.
struct TMemory {
    std::uint32_t Width, Height;
    int RowBits, ColorType;
    Rows Pixels, Low, Alpha;
    std::vector<std::array<u8, 3>> Colors;
};

TMemory MemoryOf(const TChunkIHDR& h) {
    TMemory m{h.Width, h.Height, h.RowBits(), h.ColorType, {}, {}, {}, {}};
    if (h.PixelRows() == nullptr) return m;
    const std::size_t bits = std::size_t(h.RowBits()) * h.Width, bytes = (bits + 7) / 8;
    for (std::uint32_t y = 0; y < h.Height; ++y) {
        m.Pixels.emplace_back(h.PixelRow(int(y)), h.PixelRow(int(y)) + bytes);
        if (h.LowByteRow(0) != nullptr)
            m.Low.emplace_back(h.LowByteRow(int(y)), h.LowByteRow(int(y)) + bytes);
        if (h.AlphaRow(0) != nullptr) m.Alpha.emplace_back(h.AlphaRow(int(y)), h.AlphaRow(int(y)) + h.Width);
    }
    ClearPadding(m.Pixels, bits);
    ClearPadding(m.Low, bits);
    for (std::uint32_t i = 0; i < h.ColorsUsed() && i < 256; ++i)
        m.Colors.push_back({h.DibInfo().ColorTable[i].rgbRed, h.DibInfo().ColorTable[i].rgbGreen,
                            h.DibInfo().ColorTable[i].rgbBlue});
    return m;
}

bool IsIdentity(const TGammaTable& t) {
    for (std::size_t i = 0; i < t.size(); ++i)
        if (t[i] != i) return false;
    return true;
}

void Load(TPNGObject& image, const Bytes& file) {
    TCustomMemoryStream in(file.data(), std::int64_t(file.size()));
    image.ReadPng(in);
}

// Saves the image with its current settings and checks the stream. source is what libpng read from
// the file the image came from, when that holds the samples the saved stream must give.
void CheckSave(TPNGObject& image, const Names& chunks, const TDecoded* source = nullptr) {
    Bytes file;
    TPNGObject back;
    try {
        TMemoryStream out;
        image.WritePng(out);
        file.assign(out.Memory(), out.Memory() + out.Size());
        Load(back, file);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    const TChunkIHDR& h = image.HeaderChunk();
    const TFrame frame = WalkChunks(file, false);
    EXPECT_EQ(frame.Types, chunks);
    for (const std::uint32_t n : frame.IdatSizes)
        EXPECT_LE(n, std::uint32_t(image.IdatLimit()));

    const TDecoded d = Decode(file);
    ASSERT_EQ(d.Error, "");
    EXPECT_EQ(d.Warnings, Names{});
    ASSERT_EQ(std::tie(d.Width, d.Height, d.ColorType), std::tie(h.Width, h.Height, h.ColorType));
    ASSERT_EQ(d.BitDepth, WrittenDepth(h));
    EXPECT_EQ(d.Interlace, image.InterlaceMode);
    EXPECT_EQ(FilterTypeFault(frame, d, image.FilterSet), "");
    EXPECT_EQ(FirstDifference(d.Samples, SamplesOfMemory(image)), "");
    if (h.ColorType == 3) {
        std::vector<std::array<u8, 3>> palette;
        for (const auto& c : MemoryOf(h).Colors)
            palette.push_back({image.EncodeGamma[c[0]], image.EncodeGamma[c[1]], image.EncodeGamma[c[2]]});
        EXPECT_EQ(d.Palette, palette);
    }
    if (source != nullptr) {
        EXPECT_EQ(FirstDifference(d.Samples, SamplesOfSource(*source)), "") << "against the source";
        EXPECT_EQ(d.Palette, source->Palette);
        EXPECT_EQ(EntryAlpha(d), EntryAlpha(*source)) << "palette transparency";
        EXPECT_EQ(KeyMask(d, d.Samples), KeyMask(*source, source->Samples)) << "transparent pixels";
    }
    const TMemory a = MemoryOf(back.HeaderChunk()), b = MemoryOf(h);
    EXPECT_EQ(std::tie(a.Width, a.Height, a.RowBits, a.ColorType),
              std::tie(b.Width, b.Height, b.RowBits, b.ColorType));
    EXPECT_EQ(FirstDifference(a.Pixels, b.Pixels), "") << "pixel rows read back";
    EXPECT_EQ(FirstDifference(a.Low, b.Low), "") << "low bytes read back";
    EXPECT_EQ(FirstDifference(a.Alpha, b.Alpha), "") << "alpha read back";
    EXPECT_EQ(a.Colors, b.Colors) << "colour table read back";
}

enum TInterlace { Sequential, Adam7, AsLoaded, Toggled };
struct TSettings {
    TPNGFilterSet Filters;
    TInterlace Interlace;
};

void SaveWith(TPNGObject& image, const TSettings& s, const Names& chunks, const TDecoded* source) {
    image.FilterSet = s.Filters;
    const std::uint8_t loaded = image.InterlaceMode;
    image.InterlaceMode = s.Interlace == AsLoaded  ? loaded
                          : s.Interlace == Toggled ? std::uint8_t(1 - loaded)
                                                   : std::uint8_t(s.Interlace);
    SCOPED_TRACE("filters " + std::to_string(s.Filters) + ", interlace " +
                 std::to_string(image.InterlaceMode));
    CheckSave(image, chunks, source);
    image.InterlaceMode = loaded;
}

constexpr TPNGFilterSet AllFilters = 0x1F;

// ---- the standard test images ----

Names ValidNames() {
    Names names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir(), error)) {
        const std::string stem = entry.path().stem().string();
        if (entry.path().extension() == ".png" && !stem.empty() && stem[0] != 'x') names.push_back(stem);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back("folder_missing");
    return names;
}

class SuiteRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(SuiteRoundTrip, SavedStreamMatches) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    std::ifstream in(SuiteDir() + "/" + GetParam() + ".png", std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const TDecoded source = Decode(file);
    ASSERT_EQ(source.Error, "");
    TPNGObject image;
    try {
        Load(image, file);
    } catch (const Exception& e) {
        FAIL() << e.ClassName() << ": " << e.Message();
    }
    const bool identity = IsIdentity(image.DecodeGamma);
    for (const TSettings& s :
         {TSettings{FilterBit(pfSub), AsLoaded}, {AllFilters, AsLoaded}, {AllFilters, Toggled}})
        SaveWith(image, s, WalkChunks(file, true).Types, identity ? &source : nullptr);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, SuiteRoundTrip, ::testing::ValuesIn(ValidNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

// ---- generated images of every format ----

struct TFormat {
    u8 ColorType, BitDepth;
};
const TFormat Formats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

struct TShape {
    std::uint32_t Width, Height;
    bool Transparency; // a tRNS chunk for gray, RGB and palette images
    std::uint32_t Gamma;
};
const TShape Shapes[] = {{1, 1, false, 0}, {3, 7, true, 0}, {13, 5, true, 70000}, {67, 33, false, 45455}};

const TPNGFilterSet FilterSets[] = {
    0,         FilterBit(pfNone), FilterBit(pfSub), FilterBit(pfUp), FilterBit(pfAverage), FilterBit(pfPaeth),
    AllFilters};

// Rows of smooth gradients with noise, so that every filter has something to predict.
Rows MakeRows(const TFormat& f, std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    const std::size_t bits = std::size_t(w) * std::size_t(f.BitDepth * Channels(f.ColorType));
    Rows rows(h, Bytes((bits + 7) / 8));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::size_t i = 0; i < rows[y].size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            rows[y][i] = static_cast<u8>(i * 3 + y * 5 + ((seed >> 16) & 7));
        }
    ClearPadding(rows, bits);
    return rows;
}

Bytes MakeFile(const TFormat& f, const TShape& s, const Rows& rows) {
    using namespace pngtest;
    Bytes middle;
    auto add = [&middle](const Bytes& chunk) { middle.insert(middle.end(), chunk.begin(), chunk.end()); };
    if (s.Gamma != 0) {
        Bytes g;
        Append32(g, s.Gamma);
        add(Chunk("gAMA", g));
    }
    if (f.ColorType == 3) {
        Bytes palette(3 * std::size_t(std::min(256, 1 << f.BitDepth)));
        for (std::size_t i = 0; i < palette.size(); ++i)
            palette[i] = static_cast<u8>(i * 37 + 11);
        add(Chunk("PLTE", palette));
        const Bytes alpha = {0, 128, 255, 7};
        if (s.Transparency)
            add(Chunk("tRNS", Bytes(alpha.begin(), alpha.begin() + (f.BitDepth == 1 ? 2 : 4))));
    } else if (s.Transparency && (f.ColorType == 0 || f.ColorType == 2)) {
        // The key is the last pixel's value, so that some pixels are transparent.
        const std::size_t n = f.ColorType == 0 ? 1 : 3;
        Bytes key;
        for (std::size_t c = 0; c < n; ++c) {
            const unsigned v = SampleAt(rows.back(), (s.Width - 1) * n + c, f.BitDepth);
            key.insert(key.end(), {u8(v >> 8), u8(v)});
        }
        add(Chunk("tRNS", key));
    }
    return Concat({Signature(), Chunk("IHDR", IhdrBody(s.Width, s.Height, f.BitDepth, f.ColorType)), middle,
                   Chunk("IDAT", Compress(Scanlines(rows))), Chunk("IEND", {})});
}

void PrintTo(const TFormat& f, std::ostream* os) {
    *os << "type " << int(f.ColorType) << " depth " << int(f.BitDepth);
}

class GeneratedRoundTrip : public ::testing::TestWithParam<std::tuple<TFormat, TPNGFilterSet>> {};

TEST_P(GeneratedRoundTrip, EveryShapeBothInterlaceModes) {
    const auto [format, filters] = GetParam();
    std::uint32_t seed = 1;
    for (const TShape& s : Shapes) {
        const Bytes file = MakeFile(format, s, MakeRows(format, s.Width, s.Height, seed++));
        const TDecoded source = Decode(file);
        ASSERT_EQ(source.Error, "") << "the generated file is broken";
        ASSERT_EQ(source.Warnings, Names{}) << "the generated file is broken";
        TPNGObject image;
        try {
            Load(image, file);
        } catch (const Exception& e) {
            FAIL() << e.ClassName() << ": " << e.Message();
        }
        SCOPED_TRACE(std::to_string(s.Width) + " x " + std::to_string(s.Height));
        for (const TInterlace interlace : {Sequential, Adam7})
            SaveWith(image, {filters, interlace}, WalkChunks(file, true).Types,
                     IsIdentity(image.DecodeGamma) ? &source : nullptr);
    }
}

std::string GeneratedName(const ::testing::TestParamInfo<std::tuple<TFormat, TPNGFilterSet>>& p) {
    const TFormat f = std::get<0>(p.param);
    return "Type" + std::to_string(f.ColorType) + "Depth" + std::to_string(f.BitDepth) + "Filters" +
           std::to_string(std::get<1>(p.param));
}

INSTANTIATE_TEST_SUITE_P(All, GeneratedRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(Formats), ::testing::ValuesIn(FilterSets)),
                         GeneratedName);

// More than 4 MB of image data: many IDAT chunks at a raised limit, both interlace modes.
TEST(LargeRoundTrip, Rgba8OfOver4MB) {
    const TFormat format{6, 8};
    const TShape shape{1100, 1100, false, 0};
    const Bytes file = MakeFile(format, shape, MakeRows(format, shape.Width, shape.Height, 99));
    const TDecoded source = Decode(file);
    ASSERT_EQ(source.Error, "");
    TPNGObject image;
    Load(image, file);
    image.SetIdatLimit(100000);
    SaveWith(image, {AllFilters, Sequential}, WalkChunks(file, true).Types, &source);
    SaveWith(image, {FilterBit(pfSub), Adam7}, WalkChunks(file, true).Types, &source);
}

// ---- plain bitmaps ----

// A bottom-up BMP whose indexed depths use a full table: blue 7i, green 11i, red 15i.
Bytes Bmp(int bits, int width, int height, unsigned (*value)(int, int)) {
    const int colours = 1 << bits, stride = (bits * width + 31) / 32 * 4, offset = 14 + 40 + 4 * colours;
    Bytes out = {'B', 'M'};
    auto le = [&out](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<u8>(v >> (8 * i)));
    };
    le(std::uint32_t(offset + stride * height), 4), le(0, 4), le(std::uint32_t(offset), 4);
    le(40, 4), le(std::uint32_t(width), 4), le(std::uint32_t(height), 4), le(1, 2),
        le(std::uint32_t(bits), 2);
    le(0, 4), le(std::uint32_t(stride * height), 4), le(0, 4), le(0, 4), le(0, 4), le(0, 4);
    for (int i = 0; i < colours; ++i)
        out.insert(out.end(), {u8(7 * i), u8(11 * i), u8(15 * i), 0});
    for (int y = height - 1; y >= 0; --y) {
        Bytes row(std::size_t(stride), 0);
        for (int x = 0; x < width; ++x)
            PutBits(row.data(), std::size_t(x), bits, value(x, y) % unsigned(colours));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct TBitmapCase {
    const char* Name;
    int Bits; // 0 for a device bitmap drawn pixel by pixel
    bool Transparent;
    Names Chunks;
};

const TBitmapCase BitmapCases[] = {
    {"Drawn", 0, false, {"IHDR", "IDAT", "IEND"}},
    {"DrawnKeyed", 0, true, {"IHDR", "tRNS", "IDAT", "IEND"}},
    {"Indexed1", 1, false, {"IHDR", "PLTE", "IDAT", "IEND"}},
    {"Indexed4", 4, true, {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}},
    {"Indexed8", 8, false, {"IHDR", "PLTE", "IDAT", "IEND"}},
    {"Indexed8Keyed", 8, true, {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}},
};

void PrintTo(const TBitmapCase& c, std::ostream* os) {
    *os << c.Name;
}

class BitmapRoundTrip : public ::testing::TestWithParam<std::tuple<TBitmapCase, TPNGFilterSet>> {};

unsigned Pattern(int x, int y) {
    return unsigned(x * 7 + y * 13 + (x * y) % 5);
}

TEST_P(BitmapRoundTrip, HeaderPaletteTransparencyData) {
    const auto& [c, filters] = GetParam();
    const int w = 37, h = 9;
    TBitmap bitmap;
    if (c.Bits == 0) {
        bitmap.SetSize(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                bitmap.Canvas().SetPixel(x, y, TColor(RGB(u8(Pattern(x, y)), u8(3 * x), u8(200 - y))));
    } else {
        const Bytes bmp = Bmp(c.Bits, w, h, Pattern);
        TCustomMemoryStream stream(bmp.data(), std::int64_t(bmp.size()));
        bitmap.LoadFromStream(stream);
    }
    const unsigned keyIndex = Pattern(1, 1) % (1u << c.Bits);
    bitmap.SetTransparent(c.Transparent);
    bitmap.SetTransparentColor(TColor(c.Bits == 0
                                          ? RGB(u8(Pattern(1, 1)), 3, 199)
                                          : RGB(u8(15 * keyIndex), u8(11 * keyIndex), u8(7 * keyIndex))));
    TPNGObject image;
    image.AssignFrom(&bitmap);
    // The samples the bitmap was made of, in PNG layout, and its palette.
    TDecoded source;
    source.Width = w, source.Height = h, source.BitDepth = c.Bits == 0 ? 8 : c.Bits;
    source.ColorType = c.Bits == 0 ? 2 : 3;
    source.Samples.assign(h, Bytes((std::size_t(w) * std::size_t(c.Bits == 0 ? 24 : c.Bits) + 7) / 8));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (c.Bits == 0) {
                const u8 rgb[3] = {u8(Pattern(x, y)), u8(3 * x), u8(200 - y)};
                std::copy_n(rgb, 3, &source.Samples[std::size_t(y)][3 * std::size_t(x)]);
            } else {
                PutBits(source.Samples[std::size_t(y)].data(), std::size_t(x), c.Bits,
                        Pattern(x, y) % (1u << c.Bits));
            }
    for (unsigned i = 0; c.Bits != 0 && i < (1u << c.Bits); ++i)
        source.Palette.push_back({u8(15 * i), u8(11 * i), u8(7 * i)});
    if (c.Transparent && c.Bits == 0)
        source.Key = png_color_16{0, png_uint_16(Pattern(1, 1) & 0xFF), 3, 199, 0};
    if (c.Transparent && c.Bits != 0) { // the entry of the key colour, and no other, transparent
        source.TransAlpha.assign(source.Palette.size(), 255);
        source.TransAlpha[keyIndex] = 0;
    }
    for (const TInterlace interlace : {Sequential, Adam7})
        SaveWith(image, {filters, interlace}, c.Chunks, &source);
}

INSTANTIATE_TEST_SUITE_P(Plain, BitmapRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(BitmapCases),
                                            ::testing::Values(FilterBit(pfSub), AllFilters)),
                         [](const ::testing::TestParamInfo<std::tuple<TBitmapCase, TPNGFilterSet>>& p) {
                             return std::string(std::get<0>(p.param).Name) + "Filters" +
                                    std::to_string(std::get<1>(p.param));
                         });

} // namespace
