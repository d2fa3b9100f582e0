// TBitmap: BMP reading (every depth, header kind, row order and run-length encoding) and writing,
// refusal of malformed files, sizing, the transparent colour, copying and the clipboard.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "support/objects.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

namespace {

using Bytes = std::vector<BYTE>;

void Put(Bytes& b, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
}

std::size_t Stride(int bpp, int width) {
    return static_cast<std::size_t>((bpp * width + 31) / 32 * 4);
}

RGBQUAD Colour(int i) {
    return RGBQUAD{static_cast<BYTE>(i * 3), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7 + 1), 0};
}

// A BMP file; pixels are bottom-up rows (flipped when topDown) or the compressed data.
struct BmpFile {
    int bpp = 8;
    std::int32_t width = 3;
    std::int32_t height = 2;
    DWORD compression = BI_RGB;
    std::uint32_t infoSize = 40;
    bool topDown = false;
    std::uint32_t colours = 0; // biClrUsed
    Bytes pixels;

    Bytes Build() const {
        const bool core = infoSize == 12;
        const std::uint32_t entries = bpp > 8 ? 0 : colours != 0 ? colours : 1u << bpp;
        const std::uint32_t entrySize = core ? 3 : 4;
        const std::uint32_t masks = compression == BI_BITFIELDS && infoSize < 52 ? 12 : 0;
        const std::uint32_t off = 14 + infoSize + masks + entries * entrySize;
        Bytes b(off);
        b[0] = 'B';
        b[1] = 'M';
        Put(b, 2, off + static_cast<std::uint32_t>(pixels.size()), 4);
        Put(b, 10, off, 4);
        Put(b, 14, infoSize, 4);
        if (core) {
            Put(b, 18, static_cast<std::uint32_t>(width), 2);
            Put(b, 20, static_cast<std::uint32_t>(height), 2);
            Put(b, 22, 1, 2);
            Put(b, 24, static_cast<std::uint32_t>(bpp), 2);
        } else {
            Put(b, 18, static_cast<std::uint32_t>(width), 4);
            Put(b, 22, static_cast<std::uint32_t>(topDown ? -height : height), 4);
            Put(b, 26, 1, 2);
            Put(b, 28, static_cast<std::uint32_t>(bpp), 2);
            Put(b, 30, compression, 4);
            Put(b, 34, static_cast<std::uint32_t>(pixels.size()), 4);
            Put(b, 46, colours, 4);
        }
        if (compression == BI_BITFIELDS) {
            const std::size_t at = infoSize >= 52 ? 54 : 14 + infoSize;
            Put(b, at, 0xFF0000, 4);
            Put(b, at + 4, 0xFF00, 4);
            Put(b, at + 8, 0xFF, 4);
        }
        for (std::uint32_t i = 0; i < entries; ++i) {
            const RGBQUAD c = Colour(static_cast<int>(i));
            const std::size_t at = 14 + infoSize + masks + i * entrySize;
            b[at] = c.rgbBlue;
            b[at + 1] = c.rgbGreen;
            b[at + 2] = c.rgbRed;
        }
        if (!topDown) {
            b.insert(b.end(), pixels.begin(), pixels.end());
        } else {
            const std::size_t stride = Stride(bpp, width);
            for (std::size_t r = static_cast<std::size_t>(height); r-- > 0;)
                b.insert(b.end(), pixels.begin() + static_cast<std::ptrdiff_t>(r * stride),
                         pixels.begin() + static_cast<std::ptrdiff_t>((r + 1) * stride));
        }
        return b;
    }
};

// Bottom-up rows of varied pixels, padding and unused bits zero.
Bytes Rows(int bpp, int width, int height, int indexLimit = 256) {
    const std::size_t stride = Stride(bpp, width);
    Bytes rows(stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        BYTE* row = rows.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            if (bpp >= 24) {
                for (int c = 0; c < bpp / 8; ++c)
                    row[x * bpp / 8 + c] = static_cast<BYTE>(x * 37 + y * 91 + c * 11);
                continue;
            }
            const int v = (x * 5 + y * 3 + 1) % std::min(1 << bpp, indexLimit);
            const int bit = x * bpp;
            row[bit / 8] = static_cast<BYTE>(row[bit / 8] | (v << (8 - bpp - bit % 8)));
        }
    }
    return rows;
}

Bytes Save(TBitmap& bitmap) {
    TMemoryStream out;
    bitmap.SaveToStream(out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

void Load(TBitmap& bitmap, const Bytes& bytes) {
    TCustomMemoryStream in(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    bitmap.LoadFromStream(in);
}

// Every pixel as 0xRRGGBB, top row first.
std::vector<std::uint32_t> Pixels(const TBitmap& bitmap) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{
        {sizeof(BITMAPINFOHEADER), bitmap.PixelWidth(), -bitmap.PixelHeight(), 1, 32, BI_RGB, 0, 0, 0, 0, 0},
        {}};
    std::vector<std::uint32_t> bits(static_cast<std::size_t>(bitmap.PixelWidth() * bitmap.PixelHeight()));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bitmap.Handle(), 0, static_cast<UINT>(bitmap.PixelHeight()), bits.data(),
                        reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
              bitmap.PixelHeight());
    DeleteDC(dc);
    for (auto& p : bits)
        p &= 0xFFFFFF;
    return bits;
}

std::uint32_t Rgb(const RGBQUAD& c) {
    return static_cast<std::uint32_t>(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue);
}

// Every test leaves the platform with as many objects as it found.
class BitmapTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_OBJECT_COUNT(FStart); }

private:
    std::size_t FStart = GdiObjectCount();
};

TEST_F(BitmapTest, EachDepthRoundTripsThroughBmp) {
    for (int bpp : {1, 4, 8, 24, 32}) {
        for (int width : {1, 5, 9}) {
            SCOPED_TRACE("bpp " + std::to_string(bpp) + " width " + std::to_string(width));
            const Bytes file = BmpFile{bpp, width, 3, BI_RGB, 40, false, 0, Rows(bpp, width, 3)}.Build();
            TBitmap bitmap;
            Load(bitmap, file);
            EXPECT_EQ(bitmap.PixelWidth(), width);
            EXPECT_EQ(bitmap.PixelHeight(), 3);
            EXPECT_EQ(bitmap.PaletteHandle() != nullptr, bpp <= 8);
            EXPECT_EQ(Save(bitmap), file); // same depth, colour table, pixels, sizes and offsets
        }
    }
}

TEST_F(BitmapTest, HeaderKindsRowOrdersAndShortTablesReadAlike) {
    struct Case {
        const char* name;
        BmpFile file;
    };
    const Case cases[] = {
        {"core header", {8, 3, 2, BI_RGB, 12, false, 0, Rows(8, 3, 2)}},
        {"top-down", {8, 3, 2, BI_RGB, 40, true, 0, Rows(8, 3, 2)}},
        {"V4 header", {8, 3, 2, BI_RGB, 108, false, 0, Rows(8, 3, 2)}},
        {"V5 header", {8, 3, 2, BI_RGB, 124, false, 0, Rows(8, 3, 2)}},
        {"short colour table", {8, 3, 2, BI_RGB, 40, false, 7, Rows(8, 3, 2, 7)}},
        {"core 4 bpp", {4, 5, 2, BI_RGB, 12, false, 0, Rows(4, 5, 2)}},
        {"top-down 24 bpp", {24, 3, 2, BI_RGB, 40, true, 0, Rows(24, 3, 2)}},
        {"bit fields after the header", {32, 3, 2, BI_BITFIELDS, 40, false, 0, Rows(32, 3, 2)}},
        {"bit fields in a V5 header", {32, 3, 2, BI_BITFIELDS, 124, false, 0, Rows(32, 3, 2)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile plain = c.file;
        plain.infoSize = 40;
        plain.topDown = false;
        plain.compression = BI_RGB;
        plain.colours = 0;
        TBitmap expected, actual;
        Load(expected, plain.Build());
        Load(actual, c.file.Build());
        EXPECT_EQ(Pixels(actual), Pixels(expected));
    }
}

TEST_F(BitmapTest, RunLengthEncodingDecodesEachEscape) {
    struct Case {
        const char* name;
        int bpp;
        int width;
        int height;
        Bytes data;
        std::vector<int> indices; // top row first
    };
    const Case cases[] = {
        {"RLE8 runs, end of line",
         8,
         6,
         2,
         {3, 1, 3, 2, 0, 0, 6, 5, 0, 1},
         {5, 5, 5, 5, 5, 5, 1, 1, 1, 2, 2, 2}},
        {"RLE8 odd absolute run", 8, 6, 1, {0, 3, 7, 8, 9, 0, 3, 4, 0, 1}, {7, 8, 9, 4, 4, 4}},
        {"RLE8 delta", 8, 6, 2, {2, 1, 0, 2, 2, 1, 2, 3, 0, 1}, {0, 0, 0, 0, 3, 3, 1, 1, 0, 0, 0, 0}},
        {"RLE8 end of line after the last row", 8, 2, 1, {2, 9, 0, 0, 0, 1}, {9, 9}},
        {"RLE4 runs, end of line", 4, 5, 2, {5, 0x12, 0, 0, 3, 0x34, 0, 1}, {3, 4, 3, 0, 0, 1, 2, 1, 2, 1}},
        {"RLE4 absolute run with padding", 4, 5, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, {1, 2, 3, 4, 5}},
        {"RLE4 even absolute run", 4, 5, 1, {0, 4, 0x9A, 0xBC, 1, 0xF0, 0, 1}, {9, 10, 11, 12, 15}},
        {"RLE4 delta", 4, 5, 2, {0, 2, 3, 1, 2, 0x77, 0, 1}, {0, 0, 0, 7, 7, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap;
        Load(bitmap, BmpFile{c.bpp, c.width, c.height, static_cast<DWORD>(c.bpp == 8 ? BI_RLE8 : BI_RLE4), 40,
                             false, 0, c.data}
                         .Build());
        std::vector<std::uint32_t> expected;
        for (int i : c.indices)
            expected.push_back(Rgb(Colour(i)));
        EXPECT_EQ(Pixels(bitmap), expected);
    }
}

TEST_F(BitmapTest, MalformedFilesAreRefused) {
    const BmpFile base{8, 3, 2, BI_RGB, 40, false, 0, Rows(8, 3, 2)};
    const auto patched = [](BmpFile f, std::function<void(Bytes&)> patch) {
        Bytes b = f.Build();
        patch(b);
        return b;
    };
    const auto with = [&](std::function<void(BmpFile&)> change) {
        BmpFile f = base;
        change(f);
        return f.Build();
    };
    const auto rle8 = [](const Bytes& data, std::int32_t width = 4, std::int32_t height = 2) {
        return BmpFile{8, width, height, BI_RLE8, 40, false, 0, data}.Build();
    };
    const auto rle4 = [](const Bytes& data) { return BmpFile{4, 4, 2, BI_RLE4, 40, false, 0, data}.Build(); };
    const Bytes good = base.Build();
    const BmpFile bitfields{32, 1, 1, BI_BITFIELDS, 40, false, 0, Bytes(4)};
    const Bytes bitfieldBytes = bitfields.Build();
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"wrong magic", patched(base, [](Bytes& b) { b[1] = 'A'; })},
        {"truncated file header", Bytes(good.begin(), good.begin() + 12)},
        {"truncated info header", Bytes(good.begin(), good.begin() + 40)},
        {"header size between core and info", patched(base, [](Bytes& b) { Put(b, 14, 20, 4); })},
        {"header size past the file", patched(base, [](Bytes& b) { Put(b, 14, 0x7FFFFFF0, 4); })},
        {"zero width", with([](BmpFile& f) { f.width = 0; })},
        {"negative width", patched(base, [](Bytes& b) { Put(b, 18, 0xFFFFFFFD, 4); })},
        {"zero height", patched(base, [](Bytes& b) { Put(b, 22, 0, 4); })},
        {"most negative height", patched(base, [](Bytes& b) { Put(b, 22, 0x80000000, 4); })},
        {"two planes", patched(base, [](Bytes& b) { Put(b, 26, 2, 2); })},
        {"16 bits per pixel", with([](BmpFile& f) { f.bpp = 16; })},
        {"unknown compression", with([](BmpFile& f) { f.compression = 7; })},
        {"RLE8 at 4 bpp", patched(base, [](Bytes& b) { Put(b, 30, BI_RLE8, 4); })},
        {"RLE4 at 8 bpp", patched(base, [](Bytes& b) { Put(b, 30, BI_RLE4, 4); })},
        {"top-down RLE",
         patched({8, 4, 2, BI_RLE8, 40, false, 0, {0, 1}}, [](Bytes& b) { Put(b, 22, 0xFFFFFFFE, 4); })},
        {"bit fields at 24 bpp", with([](BmpFile& f) { f.bpp = 24, f.compression = BI_BITFIELDS; })},
        {"odd bit field masks", patched(bitfields, [](Bytes& b) { Put(b, 54, 0xFF, 4); })},
        {"bit fields cut off", Bytes(bitfieldBytes.begin(), bitfieldBytes.begin() + 60)},
        {"more colours than the depth has", patched(base, [](Bytes& b) { Put(b, 46, 257, 4); })},
        {"colour table past the file", patched(base,
                                               [](Bytes& b) {
                                                   Put(b, 46, 256, 4);
                                                   b.resize(54 + 100);
                                               })},
        {"pixel offset past the file", patched(base, [](Bytes& b) { Put(b, 10, 0x7FFFFFFF, 4); })},
        {"pixel offset inside the colour table", patched(base, [](Bytes& b) { Put(b, 10, 60, 4); })},
        {"pixels one byte short", Bytes(good.begin(), good.end() - 1)},
        {"absurd size, little data", patched(base, [](Bytes& b) { Put(b, 18, 0x7FFFFFFF, 4); })},
        {"absurd height, little data", patched(base, [](Bytes& b) { Put(b, 22, 0x7FFFFFFF, 4); })},
        {"RLE beyond the section limit", rle8({0, 1}, 0x7FFFFFFF, 0x7FFFFFFF)},
        {"RLE8 run past the row", rle8({5, 1, 0, 1})},
        {"RLE8 run after runs fill the row", rle8({4, 1, 1, 1, 0, 1})},
        {"RLE8 absolute run past the row", rle8({0, 5, 1, 2, 3, 4, 5, 0, 0, 1})},
        {"RLE8 delta past the row", rle8({0, 2, 5, 0, 0, 1})},
        {"RLE8 delta past the image", rle8({0, 2, 0, 3, 0, 1})},
        {"RLE8 run past the last row", rle8({0, 0, 0, 0, 1, 1, 0, 1})},
        {"RLE8 end of line past the image", rle8({0, 0, 0, 0, 0, 0, 0, 1})},
        {"RLE8 without end of bitmap", rle8({2, 1})},
        {"RLE8 cut inside a pair", rle8({2})},
        {"RLE8 absolute run cut short", rle8({0, 4, 1, 2})},
        {"RLE8 absolute run without its padding", rle8({0, 3, 1, 2, 3})},
        {"RLE8 delta cut short", rle8({0, 2, 1})},
        {"RLE4 run past the row", rle4({5, 0x11, 0, 1})},
        {"RLE4 absolute run past the row", rle4({0, 5, 0x11, 0x11, 0x10, 0, 0, 1})},
        {"RLE4 absolute run cut short", rle4({0, 4, 0x12})},
    };
    const std::size_t limit = BitmapSectionLimit();
    SetBitmapSectionLimit(1 << 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap bitmap;
        try {
            Load(bitmap, c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Bitmap image is not valid");
        }
        EXPECT_TRUE(bitmap.IsEmpty());
    }
    SetBitmapSectionLimit(limit);
}

TEST_F(BitmapTest, SectionLimitRefusesLargerSizes) {
    const std::size_t limit = BitmapSectionLimit();
    SetBitmapSectionLimit(64); // 4 x 4 pixels of 4 bytes fit exactly
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    EXPECT_THROW(bitmap.SetSize(4, 5), EOutOfResources);
    SetBitmapSectionLimit(limit);
    EXPECT_EQ(bitmap.PixelHeight(), 4);
}

TEST_F(BitmapTest, ResizingKeepsTheTopLeftAndFillsWhite) {
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.PixelWidth(), 0);
    bitmap.SetPixelWidth(3); // no pixels until both sides are set
    EXPECT_TRUE(bitmap.IsEmpty());
    bitmap.SetPixelHeight(2);
    EXPECT_EQ(Pixels(bitmap), std::vector<std::uint32_t>(6, 0xFFFFFF));

    TBitmap source;
    Load(source, BmpFile{24, 3, 2, BI_RGB, 40, false, 0, Rows(24, 3, 2)}.Build());
    const auto old = Pixels(source);
    source.SetSize(4, 3);
    const std::uint32_t w = 0xFFFFFF;
    EXPECT_EQ(Pixels(source),
              (std::vector<std::uint32_t>{old[0], old[1], old[2], w, old[3], old[4], old[5], w, w, w, w, w}));
    source.SetSize(2, 1);
    EXPECT_EQ(Pixels(source), (std::vector<std::uint32_t>{old[0], old[1]}));
    source.SetSize(0, 1);
    EXPECT_TRUE(source.IsEmpty());
}

TEST_F(BitmapTest, TransparentColourDefaultsToTheBottomLeftPixel) {
    TBitmap bitmap;
    Load(bitmap, BmpFile{8, 3, 2, BI_RGB, 40, false, 0, Rows(8, 3, 2)}.Build());
    const auto pixels = Pixels(bitmap);
    const std::uint32_t bottomLeft = pixels[3];
    ASSERT_NE(bottomLeft, pixels[0]);
    const auto rgb = static_cast<std::uint32_t>(bitmap.TransparentColor());
    EXPECT_EQ((rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16, bottomLeft); // TColor is red-low
    bitmap.SetTransparentColor(clRed);
    EXPECT_EQ(bitmap.TransparentColor(), clRed);
    bitmap.SetTransparentColor(clDefault);
    EXPECT_EQ(bitmap.TransparentColor(), static_cast<TColor>(rgb));
}

std::vector<std::uint32_t> PaletteColours(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(GetPaletteEntries(palette, 0, 0, nullptr));
    GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data());
    std::vector<std::uint32_t> colours;
    for (const auto& e : entries)
        colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    return colours;
}

TEST_F(BitmapTest, AssignCopiesPixelsPaletteAndTransparency) {
    const Bytes file = BmpFile{4, 5, 2, BI_RGB, 40, false, 12, Rows(4, 5, 2, 12)}.Build();
    TBitmap source, copy;
    Load(source, file);
    source.SetTransparent(true);
    source.SetTransparentColor(clRed);
    copy.AssignFrom(&source);
    EXPECT_NE(copy.Handle(), source.Handle());
    EXPECT_NE(copy.PaletteHandle(), source.PaletteHandle());
    EXPECT_EQ(PaletteColours(copy.PaletteHandle()), PaletteColours(source.PaletteHandle()));
    EXPECT_EQ(PaletteColours(copy.PaletteHandle()).size(), 12u);
    EXPECT_EQ(Pixels(copy), Pixels(source));
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.TransparentColor(), clRed);
    TBitmap third;
    source.CopyInto(&third);
    EXPECT_EQ(Save(third), Save(source));
    TBitmap empty;
    third.AssignFrom(&empty);
    EXPECT_TRUE(third.IsEmpty());
    EXPECT_EQ(third.PaletteHandle(), nullptr);
}

TEST_F(BitmapTest, ClipboardHoldsItsOwnCopies) {
    TBitmap none;
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    for (UINT f : {UINT{CF_PALETTE}, 0u}) {
        try {
            none.LoadFromClipboardFormat(f, nullptr, nullptr);
            ADD_FAILURE();
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Unsupported clipboard format");
        }
    }
    TBitmap pasted;
    {
        TBitmap original;
        Load(original, BmpFile{8, 3, 2, BI_RGB, 40, false, 0, Rows(8, 3, 2)}.Build());
        original.SaveToClipboardFormat(format, data, palette);
        EXPECT_EQ(format, CF_BITMAP);
        EXPECT_NE(data, static_cast<HANDLE>(original.Handle()));
        EXPECT_EQ(PaletteColours(palette), PaletteColours(original.PaletteHandle()));
        TBitmap fromFormat;
        fromFormat.LoadFromClipboardFormat(format, data, palette);
        EXPECT_EQ(Save(fromFormat), Save(original));
        DeleteObject(static_cast<HBITMAP>(data));
        DeleteObject(palette);
        original.CopyToClipboard();
        pasted.PasteFromClipboard();
        EXPECT_EQ(Pixels(pasted), Pixels(original));
        EXPECT_EQ(PaletteColours(pasted.PaletteHandle()), PaletteColours(original.PaletteHandle()));
    }
    TBitmap again; // the clipboard outlives the bitmap it was copied from
    again.PasteFromClipboard();
    EXPECT_EQ(Pixels(again), Pixels(pasted));
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
}

} // namespace
