// The image header chunk. It owns the image memory (see pngmemory.h) and remakes it whenever the
// header changes; the memory's parts are reachable, read-only, through it.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"
#include "png/pngchunk.h"
#include "png/pngmemory.h"

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

class TChunkIHDR : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkIHDR, TChunk)
public:
    ~TChunkIHDR() override;

    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;

    // Installs a palette for gray and palette images (colour table, colours used, selection) and
    // takes ownership of it; for other colour types nothing happens and the caller keeps it.
    void InstallPalette(HPALETTE palette);
    // Sets the header from a device bitmap's description and fills the pixel rows with its bits.
    void ReadDeviceBitmap(HBITMAP bitmap, const BITMAP& record);
    // New size, keeping the top-left corner (see TImageMemory::Resized).
    void Resize(std::int32_t width, std::int32_t height);
    // Makes gray and RGB images gray or RGB with alpha, all opaque; packed gray becomes 8-bit.
    void AddAlphaPlane();

    std::uint8_t* PixelRows() const { return FMemory.Rows(); }
    std::uint8_t* AlphaPlane() const { return FMemory.AlphaPlane(); }
    std::uint8_t* LowBytePlane() const { return FMemory.LowBytePlane(); }
    std::int32_t RowStride() const { return FMemory.Stride(); }
    const TDibInfo& DibInfo() const { return FMemory.Info(); }
    HBITMAP PixelBitmap() const { return FMemory.Bitmap(); }
    HDC MemoryDC() const { return FMemory.DC(); }
    HPALETTE PixelPalette() const { return FMemory.Palette(); }
    int RowBits() const { return FMemory.RowBits(); }
    std::uint32_t ColorsUsed() const { return FMemory.ColorsUsed(); }
    // Row y counted from the top of the image; the planes' rows are null without the plane.
    std::uint8_t* PixelRow(std::int32_t y) const { return FMemory.Row(y); }
    std::uint8_t* LowByteRow(std::int32_t y) const { return FMemory.LowByteRow(y); }
    std::uint8_t* AlphaRow(std::int32_t y) const { return FMemory.AlphaRow(y); }

    std::uint8_t IndexedRows = 0; // the rows hold colour-table indices
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint8_t BitDepth = 0;
    std::uint8_t ColorType = 0;
    std::uint8_t CompressionMethod = 0;
    std::uint8_t FilterMethod = 0;
    std::uint8_t InterlaceMethod = 0;

    TPNGHeaderRecord Record() const;
    void SetRecord(const TPNGHeaderRecord& record);

private:
    // Zero-filled memory for a header record, gray ramps through the owner's decode gamma.
    TImageMemory MemoryFor(const TPNGHeaderRecord& record) const;
    // Puts the memory in place of the current one and points the owner's work canvas at it.
    void Replace(TImageMemory&& memory) noexcept;

    TImageMemory FMemory;
};
