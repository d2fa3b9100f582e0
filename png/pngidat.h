// The image-data chunk. Reading streams the compressed data of this and every directly following
// IDAT chunk through zlib, unfilters each row and stores it into the header's image memory; the
// chunk keeps no data of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "png/pngchunk.h"
#include "png/pngzlib.h"

class TChunkIHDR;

// Adam7 pass tables (passes 0 to 6).
inline constexpr int PassRowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr int PassColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr int PassRowStep[7] = {8, 8, 8, 4, 4, 2, 2};
inline constexpr int PassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

// Undoes one row's filter in place. row[0] is the filter type, row[1..length] the data; prior
// is the previous row in the same layout (all zero for the first row). Unknown types leave the row.
void UnfilterRow(std::uint8_t* row, const std::uint8_t* prior, std::int32_t length, std::int32_t distance);

// The Paeth predictor with the PNG tie order.
inline std::uint8_t PaethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
    if (pb <= pc) return static_cast<std::uint8_t>(b);
    return static_cast<std::uint8_t>(c);
}

class TChunkIDAT : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkIDAT)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    // Encodes the image memory with the owner's settings (interlacing, allowed filters, compression
    // level, data bytes per chunk) and writes it as IDAT chunks.
    bool WriteChunk(TStream& stream) override;
    // The filter for the scanline in RawRow: fills the buffers of the allowed filters, keeps the
    // scanline as the previous one, and scores the candidates.
    std::uint8_t ChooseFilter();

protected:
    explicit TChunkIDAT(TPNGObject* owner) : TChunk(owner, Class) {}

private:
    void BuildDecodeGrayRamp();
    std::int32_t ReadCompressed(ZlibState& state, std::uint8_t* destination, std::uint32_t& crc,
                                std::int32_t count);
    bool NextChunk(ZlibState& state, std::uint32_t& crc);
    void DecodeSequential(ZlibState& state, std::uint32_t& crc);
    void DecodeAdam7(ZlibState& state, std::uint32_t& crc);
    void Unfilter();
    void EncodeSequential(TStream& stream, ZlibState& state);
    void EncodeAdam7(TStream& stream, ZlibState& state);
    void FeedCompressor(ZlibState& state, const std::uint8_t* bytes, std::int32_t count);
    void FlushCompressor(ZlibState& state);
    void WriteIdatChunk(TStream& stream, const std::uint8_t* bytes, std::int32_t count);
    void EmitScanline(ZlibState& state);

    TChunkIHDR* DecodeHeader = nullptr;
    std::int32_t DecodeWidth = 0;
    std::int32_t DecodeHeight = 0;
    std::int32_t RowLength = 0;
    std::int32_t FilterDistance = 0;
    std::unique_ptr<std::uint8_t[]>
        FilteredRows[5];                    // writing: the scanline per filter; 0 also the previous one
    std::unique_ptr<std::uint8_t[]> RawRow; // writing: the packed scanline
    std::uint8_t WriteFilterSet = 0;
    std::int32_t WriteLimit = 0;
    std::unique_ptr<std::uint8_t[]> RowBuffers[2];
    std::uint8_t CurrentBuffer = 0;
    std::int64_t ChunkEnd = 0;
    std::int64_t StreamPosition = 0; // our own count of the stream's position while decoding
    bool StreamFinished = false;     // zlib has nothing more to give
};
