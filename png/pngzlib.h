// zlib routines of the PNG image library: the image-data state and whole-buffer (de)compression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

class TStream;

// Version text handed to zlib's initialisers; zlib accepts any 1.x text.
inline constexpr const char* PngZlibVersion = "1.1.4";
// Size of the input block used when image data is read.
inline constexpr int ZlibInflateBlock = 65535;

// Routes zlib's working memory through the failure sweeps' allocation points.
void UseSweptAllocator(z_stream& z);

// The working record of one image-data compression.
struct ZlibState {
    z_stream ZStream{};
    std::unique_ptr<std::uint8_t[]> Buffer; // the output block
    std::size_t BufferSize = 0;
    TStream* PngStream = nullptr; // not owned
};

// Clears the state, allocates an output block of bufferSize bytes, points zlib's output at it and
// starts deflation at the given level (clamped to 0..9); returns zlib's result.
int BeginDeflate(TStream* stream, int level, std::size_t bufferSize, ZlibState& state);
void EndDeflate(ZlibState& state);

// Inflates a whole zlib stream into output (replacing its contents). On a zlib error returns false
// with zlib's message in errorText, output holding what was produced before. A stream that asks for
// a preset dictionary fails with "need dictionary (2)". Output beyond limit bytes fails as well
// ("output limit exceeded"), so a small input cannot make it allocate without bound.
bool InflateBuffer(const std::uint8_t* input, std::size_t inputSize, std::vector<std::uint8_t>& output,
                   std::string& errorText, std::size_t limit = SIZE_MAX);
// Deflates the whole input (an empty input gives a complete zlib stream) at the given level. On a
// zlib error returns false with zlib's message in errorText.
bool DeflateBuffer(const std::uint8_t* input, std::size_t inputSize, int level,
                   std::vector<std::uint8_t>& output, std::string& errorText);

// The text of a zlib failure: zlib's own message when it left one, else the text of the result code.
std::string ZlibErrorText(const z_stream& z, int code);
// Raises EPNGZLIBError: the library's zlib message followed by the failure's text.
[[noreturn]] void RaiseZlibError(const std::string& text);
