// The image memory of a PNG image: the pixel rows (a bottom-up bitmap section selected into a
// memory device context), the alpha plane, the low-byte plane of 16-bit samples, the bitmap
// description with its colour table, and the logical palette. Every change is built completely
// beside the memory in use and swapped in only when nothing more can fail, so a refusal leaves the
// memory as it was.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>

#include "platform/largemem.h"
#include "platform/wintypes.h"

// A bitmap description: the 40-byte header and a 256-entry colour table (blue, green, red, 0).
struct TDibInfo {
    BITMAPINFOHEADER Header;
    RGBQUAD ColorTable[256];
};
static_assert(sizeof(TDibInfo) == 40 + 256 * 4);

// A logical palette record with room for 256 entries.
struct TLogPalette256 {
    WORD Version = 0x300;
    WORD Count = 0;
    PALETTEENTRY Entries[256] = {};
};
// Makes a palette from the record's first Count entries; null for none, or when the platform refuses.
HPALETTE CreatePaletteFrom(const TLogPalette256& record);
// A gray ramp of n entries from black to white through the gamma table: entry i shows
// gamma[MulDiv(i, 255, n - 1)]; EPNGOutMemory when the platform refuses.
HPALETTE CreateGrayRamp(const std::uint8_t* gamma, int n);

// Field of width k bits (1, 4 or 8) at column x of a packed row.
inline unsigned PackedField(const std::uint8_t* row, std::int32_t x, int k) {
    const int n = 8 / k;
    return (row[x / n] >> (8 - k - (x % n) * k)) & (255u >> (8 - k));
}

class TImageMemory {
public:
    TImageMemory() = default;
    TImageMemory(TImageMemory&&) noexcept = default;
    // Member by member in declaration order: the old device context goes before what it holds.
    TImageMemory& operator=(TImageMemory&&) noexcept = default;
    ~TImageMemory() { FDC.reset(); } // likewise

    // Zero-filled memory for an image of the colour type and bit depth. Gray images get a ramp
    // through gamma, palette images the halftone palette until their own arrives. Holds no rows for
    // an empty image or a pair the format does not allow. Raises EPNGOutMemory when refused.
    static TImageMemory Create(std::uint32_t width, std::uint32_t height, std::uint8_t colorType,
                               std::uint8_t bitDepth, const std::uint8_t* gamma);
    // Copies the rows, planes and colours of memory of the same layout; gray and palette images get
    // a palette object of their own from the copied colours.
    void CopyFrom(const TImageMemory& source);
    // Memory of a new size holding the top-left corner of this one: new pixels black, new alpha
    // opaque. The palette moves over to it.
    TImageMemory Resized(std::int32_t width, std::int32_t height);
    // Packed gray as 8-bit gray with alpha: levels scaled to 0..255, alpha opaque.
    TImageMemory WidenedToGrayAlpha(const std::uint8_t* gamma) const;
    // Gives gray and RGB memory an opaque alpha plane, making it gray or RGB with alpha.
    void AddAlphaPlane();
    // Fills the rows and the colour table from a device bitmap; indexed memory then gets a palette
    // object of the bitmap's colours.
    void ReadBitmap(HBITMAP bitmap);
    // Makes the palette the memory's (colour table, colours used, selection) and takes it over.
    void InstallPalette(HPALETTE palette);

    std::uint8_t* Rows() const { return FRows; }
    std::uint8_t* AlphaPlane() const { return FAlpha.get(); }
    std::uint8_t* LowBytePlane() const { return FLow.get(); }
    std::int32_t Stride() const { return FStride; }
    const TDibInfo& Info() const { return FInfo; }
    HBITMAP Bitmap() const { return FBitmap.get(); }
    HDC DC() const { return FDC.get(); }
    HPALETTE Palette() const { return FPalette.get(); }
    std::uint8_t ColorType() const { return FColorType; }
    int RowBits() const { return FInfo.Header.biBitCount; }
    std::uint32_t ColorsUsed() const { return FInfo.Header.biClrUsed; }

    // Row y counted from the top of the image.
    std::uint8_t* Row(std::int32_t y) const { return FRows + (std::ptrdiff_t(FHeight) - 1 - y) * FStride; }
    std::uint8_t* LowByteRow(std::int32_t y) const {
        return FLow ? FLow.get() + (std::ptrdiff_t(FHeight) - 1 - y) * FStride : nullptr;
    }
    std::uint8_t* AlphaRow(std::int32_t y) const {
        return FAlpha ? FAlpha.get() + std::ptrdiff_t(y) * FWidth : nullptr;
    }

private:
    // A zero-filled plane: untouched pages of a large image cost nothing, and large planes fill
    // with few page faults.
    using TPlane = std::unique_ptr<std::uint8_t[], largemem::TDeleter>;
    struct TDCDeleter {
        void operator()(HDC dc) const;
    };
    struct TObjectDeleter {
        void operator()(HGDIOBJ object) const;
    };
    // Every plane comes from here.
    static TPlane Allocate(std::size_t bytes);

    // Sets the layout and the description; returns the bytes of the pixel rows.
    std::uint64_t SetLayout(std::uint32_t width, std::uint32_t height, std::uint8_t colorType,
                            std::uint8_t bitDepth);
    // Creates the section from the description and selects it into the device context.
    void MakeSection();
    void PaletteFromColorTable(std::uint32_t n);

    // The section and the palette are selected into the device context, so it comes first.
    std::unique_ptr<std::remove_pointer_t<HDC>, TDCDeleter> FDC;
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, TObjectDeleter> FBitmap;
    std::unique_ptr<std::remove_pointer_t<HPALETTE>, TObjectDeleter> FPalette;
    std::uint8_t* FRows = nullptr; // the section's pixel data
    TPlane FAlpha;
    TPlane FLow;
    TDibInfo FInfo{};
    std::uint32_t FWidth = 0;
    std::uint32_t FHeight = 0;
    std::int32_t FStride = 0;
    std::uint8_t FColorType = 0;
    std::uint8_t FBitDepth = 0;
};
