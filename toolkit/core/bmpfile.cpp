// The BMP file format of the plain bitmap: reading (uncompressed, run-length coded and bit-field
// files of 1 to 32 bits per pixel, with core or info headers) and writing.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/draw.h"
#include "toolkit/core/bitmap_internal.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

namespace bitmapdetail {

namespace {

std::uint16_t ReadU16(const BYTE* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void PutU16(BYTE* p, std::uint32_t v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
void PutU32(BYTE* p, std::uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

// Reads exactly count bytes; a short stream means a truncated image.
void ReadExact(TStream& stream, void* buffer, std::uint64_t count) {
    ForEachPiece(count, [&](std::uint64_t at, std::int32_t n) {
        if (stream.Read(static_cast<BYTE*>(buffer) + at, n) != n) InvalidBitmap();
    });
}

void WriteAll(TStream& stream, const BYTE* data, std::uint64_t count) {
    ForEachPiece(count, [&](std::uint64_t at, std::int32_t n) { stream.WriteBuffer(data + at, n); });
}

// Run-length decoding into a zero-filled bottom-up section of 4 or 8 bits per pixel. Runs and deltas
// may not leave the row or the image; the data must end with the end-of-bitmap escape.
void DecodeRle(const BYTE* data, std::size_t size, int bitsPerPixel, std::int64_t width, std::int64_t rows,
               BYTE* bits, std::size_t stride) {
    std::size_t at = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    const auto need = [&](std::size_t count) {
        if (size - at < count) InvalidBitmap();
    };
    const auto run = [&](std::int64_t count) {
        if (y >= rows || count > width - x) InvalidBitmap();
        return bits + static_cast<std::size_t>(y) * stride;
    };
    const auto put = [&](BYTE* row, std::int64_t px, BYTE value) {
        const auto i = static_cast<std::size_t>(px);
        if (bitsPerPixel == 8) {
            row[i] = value;
        } else if ((px & 1) == 0) {
            row[i / 2] = static_cast<BYTE>((row[i / 2] & 0x0F) | (value << 4));
        } else {
            row[i / 2] = static_cast<BYTE>((row[i / 2] & 0xF0) | (value & 0x0F));
        }
    };
    for (;;) {
        need(2);
        const BYTE count = data[at];
        const BYTE value = data[at + 1];
        at += 2;
        if (count > 0) { // encoded run: one index, or two alternating nibbles
            BYTE* row = run(count);
            for (int k = 0; k < count; ++k)
                put(row, x + k, bitsPerPixel == 8 ? value : (k & 1) ? value & 0x0F : value >> 4);
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            if (++y > rows) InvalidBitmap();
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            need(2);
            x += data[at];
            y += data[at + 1];
            at += 2;
            if (x > width || y > rows) InvalidBitmap();
        } else { // absolute run of value pixels, padded to a 16-bit boundary
            const std::size_t bytes = bitsPerPixel == 8 ? value : (value + 1u) / 2;
            need(bytes + (bytes & 1));
            BYTE* row = run(value);
            for (int k = 0; k < value; ++k) {
                const BYTE b = data[at + (bitsPerPixel == 8 ? k : k / 2)];
                put(row, x + k, bitsPerPixel == 8 ? b : (k & 1) ? b & 0x0F : b >> 4);
            }
            x += value;
            at += bytes + (bytes & 1);
        }
    }
}

// What the headers of a BMP file say.
struct TBmpLayout {
    std::int64_t width = 0;
    std::int64_t rows = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    DWORD compression = BI_RGB;
    DWORD imageSize = 0;
    DWORD colourCount = 0;
    RGBQUAD colours[256]{};
};

} // namespace

TBmpFile ReadBmpFile(TStream& stream) {
    const std::int64_t start = stream.Position();
    const std::int64_t available = stream.Size() - start;
    if (available < 18) InvalidBitmap();
    BYTE head[14 + 52]{};
    ReadExact(stream, head, 18);
    if (head[0] != 'B' || head[1] != 'M') InvalidBitmap();
    const std::uint32_t offBits = ReadU32(head + 10);
    const std::uint32_t infoSize = ReadU32(head + 14);
    const bool core = infoSize == 12;
    if ((!core && infoSize < 40) || infoSize > available - 14) InvalidBitmap();
    const BYTE* info = head + 14;
    ReadExact(stream, head + 18, std::min<std::uint32_t>(infoSize, 52) - 4);
    std::int64_t pos = 14 + std::int64_t{infoSize}; // from the start of the file

    TBmpLayout bmp;
    int planes = 0;
    if (core) {
        bmp.width = ReadU16(info + 4);
        bmp.rows = ReadU16(info + 6);
        planes = ReadU16(info + 8);
        bmp.bitsPerPixel = ReadU16(info + 10);
    } else {
        bmp.width = static_cast<std::int32_t>(ReadU32(info + 4));
        const auto height = static_cast<std::int32_t>(ReadU32(info + 8));
        bmp.topDown = height < 0;
        bmp.rows = height < 0 ? -std::int64_t{height} : height;
        planes = ReadU16(info + 12);
        bmp.bitsPerPixel = ReadU16(info + 14);
        bmp.compression = ReadU32(info + 16);
        bmp.imageSize = ReadU32(info + 20);
        bmp.colourCount = ReadU32(info + 32);
    }
    const int bpp = bmp.bitsPerPixel;
    if (planes != 1 || bmp.width <= 0 || bmp.rows <= 0 || bmp.rows > std::numeric_limits<LONG>::max() ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
        InvalidBitmap();
    }
    const bool rle = bmp.compression == BI_RLE8 || bmp.compression == BI_RLE4;
    if (rle && (bmp.topDown || bpp != (bmp.compression == BI_RLE8 ? 8 : 4))) InvalidBitmap();
    if (bmp.compression == BI_BITFIELDS) {
        if (bpp != 32) InvalidBitmap();
        BYTE masks[12];
        if (infoSize >= 52) {
            std::memcpy(masks, info + 40, sizeof(masks));
        } else {
            if (pos + 12 > available) InvalidBitmap();
            stream.SetPosition(start + pos);
            ReadExact(stream, masks, sizeof(masks));
            pos += 12;
        }
        if (ReadU32(masks) != 0x00FF0000 || ReadU32(masks + 4) != 0x0000FF00 ||
            ReadU32(masks + 8) != 0x000000FF)
            InvalidBitmap();
    } else if (bmp.compression != BI_RGB && !rle) {
        InvalidBitmap();
    }

    // The colour table: biClrUsed entries, or all of them for the depth.
    if (bpp <= 8) {
        const DWORD full = DWORD{1} << bpp;
        if (bmp.colourCount == 0) bmp.colourCount = full;
        if (bmp.colourCount > full) InvalidBitmap();
        const std::int64_t entrySize = core ? 3 : 4;
        if (pos + bmp.colourCount * entrySize > available) InvalidBitmap();
        BYTE table[256 * 4];
        stream.SetPosition(start + pos);
        ReadExact(stream, table, bmp.colourCount * static_cast<std::uint64_t>(entrySize));
        for (DWORD i = 0; i < bmp.colourCount; ++i) {
            const BYTE* e = table + i * static_cast<std::size_t>(entrySize);
            bmp.colours[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
        pos += bmp.colourCount * entrySize;
    } else {
        bmp.colourCount = 0;
    }
    if (offBits < pos || offBits > available) InvalidBitmap();
    const auto dataBytes = static_cast<std::uint64_t>(available - offBits);

    const std::uint64_t stride = RowBytes(bpp, bmp.width);
    const auto rows = static_cast<std::uint64_t>(bmp.rows);
    // Refused before anything is allocated: uncompressed rows must all be present, decoded ones must fit
    // within our limit for a bitmap section.
    if (stride > (rle ? BitmapSectionLimit() : dataBytes) / rows) InvalidBitmap();
    BYTE* bits = nullptr;
    HBITMAP section = NewSection(bpp, static_cast<LONG>(bmp.width), static_cast<LONG>(bmp.rows), bmp.colours,
                                 bmp.colourCount, &bits);
    if (section == nullptr) InvalidBitmap();
    TObjectGuard sectionGuard(section);
    stream.SetPosition(start + offBits);
    if (rle) {
        std::uint64_t size = dataBytes;
        if (bmp.imageSize != 0) size = std::min<std::uint64_t>(size, bmp.imageSize);
        std::vector<BYTE> data(static_cast<std::size_t>(size));
        ReadExact(stream, data.data(), size);
        DecodeRle(data.data(), data.size(), bpp, bmp.width, bmp.rows, bits, static_cast<std::size_t>(stride));
    } else if (!bmp.topDown) {
        ReadExact(stream, bits, stride * rows);
    } else {
        for (std::uint64_t r = 0; r < rows; ++r)
            ReadExact(stream, bits + (rows - 1 - r) * stride, stride);
    }
    TObjectGuard palette(bpp <= 8 ? PaletteFromColours(bmp.colours, bmp.colourCount) : nullptr);
    return TBmpFile{std::move(sectionGuard), std::move(palette)};
}

void WriteBmpFile(TStream& stream, HDC dc, HBITMAP bitmap) {
    BITMAP record{};
    if (GetObjectA(bitmap, sizeof(record), &record) == 0) InvalidBitmap();
    const int bpp = record.bmBitsPixel;
    const std::uint64_t imageSize =
        RowBytes(bpp, record.bmWidth) * static_cast<std::uint64_t>(record.bmHeight);
    const std::uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    const std::uint64_t offBits = 14 + sizeof(BITMAPINFOHEADER) + 4 * std::uint64_t{colours};
    if (offBits + imageSize > std::numeric_limits<std::uint32_t>::max()) InvalidBitmap();
    TBitmapInfo info(bpp, record.bmWidth, record.bmHeight);
    std::vector<BYTE> pixels(static_cast<std::size_t>(imageSize));
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(record.bmHeight), pixels.data(), info.Info(),
                  DIB_RGB_COLORS) != record.bmHeight) {
        InvalidBitmap();
    }
    std::vector<BYTE> head(static_cast<std::size_t>(offBits));
    BYTE* p = head.data();
    p[0] = 'B';
    p[1] = 'M';
    PutU32(p + 2, static_cast<std::uint32_t>(offBits + imageSize));
    PutU32(p + 10, static_cast<std::uint32_t>(offBits));
    p += 14;
    PutU32(p, sizeof(BITMAPINFOHEADER));
    PutU32(p + 4, static_cast<std::uint32_t>(record.bmWidth));
    PutU32(p + 8, static_cast<std::uint32_t>(record.bmHeight));
    PutU16(p + 12, 1);
    PutU16(p + 14, static_cast<std::uint32_t>(bpp));
    PutU32(p + 16, BI_RGB);
    PutU32(p + 20, static_cast<std::uint32_t>(imageSize));
    p += sizeof(BITMAPINFOHEADER);
    for (std::uint32_t i = 0; i < colours; ++i, p += 4) {
        p[0] = info.colours[i].rgbBlue;
        p[1] = info.colours[i].rgbGreen;
        p[2] = info.colours[i].rgbRed;
    }
    WriteAll(stream, head.data(), head.size());
    WriteAll(stream, pixels.data(), pixels.size());
}

} // namespace bitmapdetail
