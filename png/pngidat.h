// The image-data chunk. Reading streams the compressed data of this and every directly following
// IDAT chunk through zlib, unfilters each row and stores it into the header's image memory; the
// chunk keeps no data of its own: a reader object holds the working state of one decode, a writer
// object that of one encode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "png/pngchunk.h"
#include "png/pngformat.h"

// The rows and columns of one pass over the image: the whole image, or one of Adam7's passes.
struct TPass {
    int RowStart, RowStep, ColumnStart, ColumnStep;
    // Pixels of an image row of the given width that fall in the pass.
    constexpr std::int32_t Width(std::int32_t imageWidth) const {
        return imageWidth > ColumnStart ? (imageWidth - ColumnStart + ColumnStep - 1) / ColumnStep : 0;
    }
};
inline constexpr TPass WholeImage{0, 1, 0, 1};
inline constexpr TPass Adam7Passes[PngAdam7Passes] = {{0, 8, 0, 8}, {0, 8, 4, 8}, {4, 8, 0, 4}, {0, 4, 2, 4},
                                                      {2, 4, 0, 2}, {0, 2, 1, 2}, {1, 2, 0, 1}};

// Undoes one row's filter in place. row[0] is the filter type, row[1..length] the data; prior
// is the previous row in the same layout (all zero for the first row). Unknown types leave the row.
// The routines may read (never write) up to kUnfilterReadPast bytes past the end of either row.
inline constexpr std::int32_t kUnfilterReadPast = 8;
using TUnfilterRoutine = void (*)(std::uint8_t* row, const std::uint8_t* prior, std::int32_t length,
                                  std::int32_t distance);
// The routine for a filter distance (bytes per pixel) at the active vector level; chosen once per
// image, it serves every row of that distance.
TUnfilterRoutine SelectUnfilter(std::int32_t distance);
// Undoes the filters of two successive rows: second follows first, which follows prior (the same
// allowance for reading past them). Null when
// the level offers nothing faster than two calls of the single routine.
using TUnfilterPairRoutine = void (*)(std::uint8_t* first, std::uint8_t* second, const std::uint8_t* prior,
                                      std::int32_t length, std::int32_t distance);
TUnfilterPairRoutine SelectUnfilterPair(std::int32_t distance);
// Undoes the filters of four successive rows, each of Average or Paeth, pitch bytes apart, the first
// following prior (the same allowance for reading past them). Null when the level offers no such
// routine for the distance.
using TUnfilterQuadRoutine = void (*)(std::uint8_t* first, std::ptrdiff_t pitch, const std::uint8_t* prior,
                                      std::int32_t length);
TUnfilterQuadRoutine SelectUnfilterQuad(std::int32_t distance);
// Whether a row's filter type makes each pixel wait for its left neighbour (Average, Paeth): the
// rows that gain from being unfiltered in pairs.
inline bool IsChainedFilter(std::uint8_t type) {
    return type == 3 || type == 4;
}

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
    VORLANTH_CHUNK_CLASS(TChunkIDAT, TChunk)
public:
    // Decodes this and the directly following IDAT chunks into the image memory.
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    // Encodes the image memory with the owner's settings (interlacing, allowed filters, compression
    // level, data bytes per chunk) and writes it as IDAT chunks.
    bool WriteChunk(TStream& stream) override;
};
