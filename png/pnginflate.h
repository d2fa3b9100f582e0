// Image-data inflation behind one small seam: zlib's streaming contract (input and output
// pointers with their counts, zlib's result codes) over the fastest inflater the build found. Every
// engine gives the same bytes and the same result codes for every stream, so the reader above it
// raises the same exceptions whichever engine runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct TInflateBuffers {
    const std::uint8_t* NextIn = nullptr;
    std::size_t AvailIn = 0;
    std::uint8_t* NextOut = nullptr;
    std::size_t AvailOut = 0;
};

class TImageInflater {
public:
    virtual ~TImageInflater() = default;
    // Inflates from the input into the output as far as either allows, advancing both. Returns
    // zlib's code: Z_OK (progress), Z_STREAM_END (the stream and its checksum are complete),
    // Z_NEED_DICT, Z_BUF_ERROR (no progress possible) or an error (Z_DATA_ERROR, Z_MEM_ERROR).
    virtual int Inflate(TInflateBuffers& buffers) = 0;
};

enum class TInflateEngine { Zlib, Isal };

// Whether the build holds the engine (zlib always).
bool InflateEngineBuilt(TInflateEngine engine);
// The engine the reader uses: ISA-L where built, else zlib, unless set otherwise (tests, benchmarks and the
// differential fuzz target set each in turn). Setting an engine the build lacks is ignored.
TInflateEngine ImageInflateEngine();
void SetImageInflateEngine(TInflateEngine engine);

// A new inflater of the engine for one zlib stream, or null with zlib's code for why (Z_MEM_ERROR).
std::unique_ptr<TImageInflater> MakeImageInflater(TInflateEngine engine, int& result);

// zlib's own inflater behind the seam; the reference the others are held against.
std::unique_ptr<TImageInflater> MakeZlibInflater(int& result);
// The engines that may be missing from a build (png/backends/): null when absent.
bool IsalInflaterBuilt();
std::unique_ptr<TImageInflater> MakeIsalInflater(int& result);
