// Row stores: move one unfiltered PNG row into the image memory (pixel rows, low-byte plane, alpha
// plane) in the layout the image memory prescribes. One routine per image format, chosen once per
// decode; sequential rows fill every column, interlaced pass rows every step-th column from start.
#pragma once

#include <cstdint>

struct TRowStoreArgs {
    const std::uint8_t* Gamma; // DecodeGamma
    std::int32_t RowLength;    // bytes of the source row (sequential packed rows are copied whole)
};

// Stores count pixels of src at columns start, start + step, ... of the three destination rows
// (each given at column 0; low and alpha may be null when the format has no such plane).
using TRowStoreRoutine = void (*)(const TRowStoreArgs& args, const std::uint8_t* src, std::uint8_t* pixels,
                                  std::uint8_t* low, std::uint8_t* alpha, std::int32_t start,
                                  std::int32_t step, std::int32_t count);

struct TRowStore {
    TRowStoreRoutine Sequential = nullptr; // called with start 0 and step 1
    TRowStoreRoutine Interlaced = nullptr;
};

// The routines for a colour type and bit depth; both null for a pair the format does not allow.
// An identity gamma table (256 entries) picks routines that skip the lookup, with the same results.
TRowStore SelectRowStore(std::uint8_t colorType, std::uint8_t bitDepth, const std::uint8_t* gamma);
