// The drawing differential: a fixed script of drawing cases run through whatever graphics device
// interface the program is linked with (our Linux stand-in or the real one on Windows), printing
// one line "name hash" per case. Two runs agree when their lines are equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/lines.h"
#include "platform/text.h"

namespace gdidiff {

// Collects the cases of one run and prints them.
class TCaseLog {
public:
    // Records a case: its name (unique, without spaces) and the bytes that show its result.
    void Record(const std::string& name, const void* data, std::size_t size);
    // Appends more bytes to the case being built (Begin ... Add ... End), for results in pieces.
    void Begin(const std::string& name);
    void Add(const void* data, std::size_t size);
    void Add(std::uint64_t value);
    void End();
    int Count() const { return FCount; }

private:
    std::string FName;
    std::uint64_t FHash = 0;
    int FCount = 0;
};

// A bitmap section with its own memory context, deleted together.
struct TSurface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    int width = 0, height = 0, bitsPerPixel = 0;
    bool topDown = false;
    std::size_t Bytes() const; // the pixel data's size
    TSurface(int bitsPerPixel, int width, int height, bool topDown);
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;
    ~TSurface();
    // Fills the pixel data with a fixed pattern that depends on seed.
    void Pattern(std::uint32_t seed);
};

// The colour table every section of 8 bits or fewer starts with: a fixed mix of pure, near and
// distinct colours, entry i of 1 << bitsPerPixel.
RGBQUAD TableColour(int bitsPerPixel, int i);

// The sections of the script; each records its cases in a fixed order.
void BlitCases(TCaseLog& log);
void StretchCases(TCaseLog& log);
void FillCases(TCaseLog& log);
void DibCases(TCaseLog& log);
void PaletteCases(TCaseLog& log);
void LineCases(TCaseLog& log);

} // namespace gdidiff
