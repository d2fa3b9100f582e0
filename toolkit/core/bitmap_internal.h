// Pieces shared by the plain bitmap class and its file format: the bitmap description record, row
// sizes, the invalid-bitmap error, an owner for one platform object, new sections and palettes, and
// the BMP file reader and writer.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/gdi.h"

class TStream;

namespace bitmapdetail {

// Raises EInvalidGraphic "Bitmap image is not valid".
[[noreturn]] void InvalidBitmap();

// A header and a whole colour table: the record the platform's bitmap calls read and fill.
struct TBitmapInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};

    TBitmapInfo(int bitsPerPixel, LONG width, LONG height) {
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bitsPerPixel);
        header.biCompression = BI_RGB;
    }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// Bytes per row of a bitmap: rounded up to whole 32-bit words.
inline std::uint64_t RowBytes(int bitsPerPixel, std::int64_t width) {
    return (static_cast<std::uint64_t>(bitsPerPixel) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
}

// Little-endian numbers of the file format.
inline std::uint32_t ReadU32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Deletes a platform object on scope exit unless released.
class TObjectGuard {
public:
    explicit TObjectGuard(HGDIOBJ object) : FObject(object) {}
    TObjectGuard(TObjectGuard&& other) noexcept : FObject(std::exchange(other.FObject, nullptr)) {}
    TObjectGuard(const TObjectGuard&) = delete;
    TObjectGuard& operator=(const TObjectGuard&) = delete;
    ~TObjectGuard() {
        if (FObject != nullptr) DeleteObject(FObject);
    }
    HGDIOBJ Get() const { return FObject; }
    HGDIOBJ Release() { return std::exchange(FObject, nullptr); }

private:
    HGDIOBJ FObject;
};

// A bottom-up bitmap section; colours (count entries) for 8 bits per pixel or fewer. Null when
// the platform refuses it or its pixel data would exceed BitmapSectionLimit().
HBITMAP NewSection(int bitsPerPixel, LONG width, LONG height, const RGBQUAD* colours, DWORD count,
                   BYTE** bits);
// A palette of the colours; EOutOfResources when the platform refuses it.
HPALETTE PaletteFromColours(const RGBQUAD* colours, DWORD count);

// A BMP file read: its rows in a bottom-up section, and its colours as a palette (none above 8 bits
// per pixel).
struct TBmpFile {
    TObjectGuard Section;
    TObjectGuard Palette;
};
// Reads a BMP file from the stream's position. The input is untrusted: anything that is not a
// complete, valid bitmap raises EInvalidGraphic, and nothing is allocated beyond what the bytes
// present (or, for compressed rows, BitmapSectionLimit()) justify.
TBmpFile ReadBmpFile(TStream& stream);
// Writes the bitmap (selected into dc) as an uncompressed BMP file of its own depth.
void WriteBmpFile(TStream& stream, HDC dc, HBITMAP bitmap);

} // namespace bitmapdetail
