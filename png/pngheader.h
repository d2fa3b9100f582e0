// The image header chunk and the image memory it owns: the pixel rows (a bottom-up bitmap section
// selected into a memory device context), the alpha plane, the low-byte plane of 16-bit samples,
// the bitmap description with its colour table, and the logical palette.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/wintypes.h"
#include "png/pngchunk.h"

#pragma pack(push, 1)
// The 13 bytes of the header, in chunk order, numbers in host order.
struct TPNGHeaderRecord {
    std::uint32_t Width;
    std::uint32_t Height;
    std::uint8_t BitDepth;
    std::uint8_t ColorType;
    std::uint8_t CompressionMethod;
    std::uint8_t FilterMethod;
    std::uint8_t InterlaceMethod;
};
#pragma pack(pop)
static_assert(sizeof(TPNGHeaderRecord) == 13);

// A bitmap description: the 40-byte header and a 256-entry colour table (blue, green, red, 0).
struct TDibInfo {
    BITMAPINFOHEADER Header;
    RGBQUAD ColorTable[256];
};
static_assert(sizeof(TDibInfo) == 40 + 256 * 4);

// A zero-filled plane from calloc, so that untouched pages of a large image cost nothing.
struct TFreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using TPlane = std::unique_ptr<std::uint8_t[], TFreeDeleter>;

// A logical palette record with room for 256 entries.
struct TLogPalette256 {
    WORD Version = 0x300;
    WORD Count = 0;
    PALETTEENTRY Entries[256] = {};
};
// Makes a palette from the record's first Count entries.
HPALETTE CreatePaletteFrom(const TLogPalette256& record);
// A gray ramp of n entries from black to white through the gamma table: entry i shows
// gamma[MulDiv(i, 255, n - 1)].
HPALETTE CreateGrayRamp(const std::uint8_t* gamma, int n);

// Bits per pixel of the pixel rows for a colour type and bit depth; 0 for a pair the format does
// not allow. Indexed rows hold colour-table indices (gray, palette and gray with alpha).
int RowBitsFor(std::uint8_t colorType, std::uint8_t bitDepth, bool* indexed = nullptr);

class TChunkIHDR : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkIHDR)
public:
    ~TChunkIHDR() override;

    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;

    void ReleaseImageMemory();
    // Releases the image memory and makes it again, all zero, from the header fields. Raises
    // EPNGOutMemory when the pixel rows would exceed the platform's bitmap section limit.
    void PrepareImageMemory();
    HPALETTE BuildGrayPalette(int bitDepth);
    // Copies up to 256 entries of the palette into the colour table; returns how many.
    UINT CopyPaletteToColorTable(HPALETTE palette);
    // Installs a palette for gray and palette images (colour table, colours used, selection) and
    // takes ownership of it; for other colour types nothing happens and the caller keeps it.
    void InstallPalette(HPALETTE palette);
    // Sets the header from a device bitmap's description and fills the pixel rows with its bits.
    void ReadDeviceBitmap(HBITMAP bitmap, const BITMAP& record);

    int RowBits() const { return DibInfo.Header.biBitCount; }
    std::uint32_t ColorsUsed() const { return DibInfo.Header.biClrUsed; }
    void SetColorsUsed(std::uint32_t n) { DibInfo.Header.biClrUsed = n; }

    // Row y counted from the top of the image.
    std::uint8_t* PixelRow(std::int32_t y) const {
        return PixelRows + (std::ptrdiff_t(Height) - 1 - y) * RowStride;
    }
    std::uint8_t* LowByteRow(std::int32_t y) const {
        return LowBytePlane ? LowBytePlane.get() + (std::ptrdiff_t(Height) - 1 - y) * RowStride : nullptr;
    }
    std::uint8_t* AlphaRow(std::int32_t y) const {
        return AlphaPlane ? AlphaPlane.get() + std::ptrdiff_t(y) * Width : nullptr;
    }

    HBITMAP PixelBitmap = nullptr;
    HDC MemoryDC = nullptr;
    HPALETTE PixelPalette = nullptr;
    std::uint8_t IndexedRows = 0;
    TDibInfo DibInfo{};
    TPlane LowBytePlane;
    std::uint8_t* PixelRows = nullptr;
    TPlane AlphaPlane;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint8_t BitDepth = 0;
    std::uint8_t ColorType = 0;
    std::uint8_t CompressionMethod = 0;
    std::uint8_t FilterMethod = 0;
    std::uint8_t InterlaceMethod = 0;
    std::int32_t RowStride = 0;

    TPNGHeaderRecord Record() const;
    void SetRecord(const TPNGHeaderRecord& record);

protected:
    explicit TChunkIHDR(TPNGObject* owner) : TChunk(owner, Class) {}
};
