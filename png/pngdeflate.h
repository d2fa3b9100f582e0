// Image-data compression engines. zlib streams the filtered rows through its deflate; a build with
// a faster whole-buffer compressor compresses the whole filtered image in one call where it fits the
// image's budget. Levels: 0 stores, 1 to 9 are the compressor's own levels of the same number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/largemem.h"

enum class TDeflateEngine { Zlib, Libdeflate };

// Whether the build holds the engine (zlib always).
bool DeflateEngineBuilt(TDeflateEngine engine);
// The engine saving uses: the fastest built, unless set otherwise (tests and benchmarks set each
// in turn). Setting an engine the build lacks is ignored.
TDeflateEngine ImageDeflateEngine();
void SetImageDeflateEngine(TDeflateEngine engine);

// The whole-buffer compressor (png/backends/): whether the build has one, and one zlib stream of
// the input at the level (clamped to 0..9) into output. False when it has none or its memory is
// refused; output is then unspecified. The output block is sized for the worst case and only its
// written pages are touched.
struct TDeflated {
    std::unique_ptr<std::uint8_t[], largemem::TDeleter> Bytes;
    std::size_t Size = 0;
};
bool WholeDeflateBuilt();
bool DeflateWhole(const std::uint8_t* input, std::size_t size, int level, TDeflated& output);
