// The drawing differential: a fixed script of drawing cases run through whatever graphics device
// interface the program is linked with (our Linux stand-in or the real one on Windows), printing
// one line "name hash" per case. Two runs agree when their lines are equal.
#pragma once

#include <array>
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
    // Prints the bytes of each case in hexadecimal after its hash, to see where two runs differ.
    void Dump(bool on) { FDump = on; }

private:
    std::string FName;
    std::string FBytes;
    bool FDump = false;
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

// The bitmap formats the drawing cases cover: bitmap sections of every depth, a monochrome
// device bitmap (CreateBitmap) and a colour one (CreateCompatibleBitmap of a 32-bit context).
struct TFormat {
    const char* name;
    int bitsPerPixel; // of a section; 1 for the monochrome device bitmap, 0 for the screen's
    bool device;
};
extern const std::array<TFormat, 7> kFormats;

// A bitmap of any of kFormats with its own memory context; bits is null for device bitmaps.
struct TBitmap {
    TBitmap(const TFormat& format, int width, int height);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();
    // A fixed pattern that depends on seed: the section's bytes, or a pattern section of the
    // nearest kind copied onto a device bitmap.
    void Pattern(std::uint32_t seed);
    // Adds the pixels to the case being built: a section's bytes as they are, a device bitmap's
    // as a plain GetDIBits to 32 bits, top-down.
    void Add(TCaseLog& log);
    // The pixels as a plain GetDIBits to 32 bits, top-down, any format.
    std::string Read32();

    const TFormat& format;
    int width, height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    std::size_t bytes = 0; // the section's pixel data, 0 for device bitmaps
};

// A raster operation and its name.
struct TRop {
    const char* name;
    DWORD code;
};
// Every raster operation of block transfers, those that read a source first.
extern const std::array<TRop, 12> kRops;
constexpr std::size_t kSourceRops = 8;

// "rrggbb" of a colour, for case names.
std::string Hex(COLORREF colour);

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
