// The image-data chunk. Reading streams the compressed data of this and every directly following
// IDAT chunk through zlib, unfilters each row and stores it into the header's image memory; the
// chunk keeps no data of its own: a reader object holds the working state of one decode, a writer
// object (pngwriter.h) that of one encode.
#pragma once

#include <cstdint>

#include "png/pngchunk.h"

// Adam7 pass tables (passes 0 to 6).
inline constexpr int PassRowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr int PassColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr int PassRowStep[7] = {8, 8, 8, 4, 4, 2, 2};
inline constexpr int PassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

// Pixels of an image row of the given width that fall in a pass.
constexpr std::int32_t PassWidth(std::int32_t width, int pass) {
    return width > PassColumnStart[pass]
               ? (width - PassColumnStart[pass] + PassColumnStep[pass] - 1) / PassColumnStep[pass]
               : 0;
}

// Undoes one row's filter in place. row[0] is the filter type, row[1..length] the data; prior
// is the previous row in the same layout (all zero for the first row). Unknown types leave the row.
using TUnfilterRoutine = void (*)(std::uint8_t* row, const std::uint8_t* prior, std::int32_t length,
                                  std::int32_t distance);
// The routine for a filter distance (bytes per pixel) at the active vector level; chosen once per
// image, it serves every row of that distance.
TUnfilterRoutine SelectUnfilter(std::int32_t distance);

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
    // Decodes this and the directly following IDAT chunks into the image memory.
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    // Encodes the image memory with the owner's settings (interlacing, allowed filters, compression
    // level, data bytes per chunk) and writes it as IDAT chunks.
    bool WriteChunk(TStream& stream) override;

protected:
    explicit TChunkIDAT(TPNGObject* owner) : TChunk(owner, Class) {}
};
