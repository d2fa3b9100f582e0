// What the library should hold and draw for a PNG file, computed from libpng's raw reading of it
// and the file's own chunks, never from the library's output. Shared by the conformance suites
// and the writer of the golden files that the Windows build checks against.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "libpng_oracle.h"
#include "toolkit/core/types.h"

namespace pngexpect {

using u8 = std::uint8_t;
using Bytes = std::vector<u8>;
using Rgb = std::array<u8, 3>; // red, green, blue
using Table = std::array<u8, 256>;

Bytes ReadBytes(const std::string& path);
std::uint32_t BE32(const u8* p);
int Channels(int colorType);
unsigned GetBits(const u8* row, std::size_t x, int bits);
void PutBits(u8* row, std::size_t x, int bits, unsigned v);

// The decode table of a gamma value (x 100000; 0 for none, the identity).
Table GammaTable(std::uint32_t value);

// What the file's chunks tell: the gamma in force at the palette, at the image data and at the
// end, the chunk objects the library keeps (one IDAT for the run, no cHRM), the first tRNS body.
struct TFileFacts {
    std::uint32_t Gamma = 0, PaletteGamma = 0, RowGamma = 0;
    std::vector<std::string> Chunks;
    bool HasTrns = false;
    Bytes Trns;
};
TFileFacts ReadFileFacts(const Bytes& file);

// The image memory the library should hold for libpng's raw rows.
struct TMemoryModel {
    int RowBits = 0;
    std::int32_t Stride = 0;
    std::vector<Bytes> Pixels, Low, Alpha; // Low and Alpha empty without that plane
    std::vector<Rgb> Colors;
};
TMemoryModel ModelOf(const TRawImage& raw, const Table& rowGamma, const Table& paletteGamma);

// ---- drawing ----

enum class TKind { Opaque, Key, Alpha };
const char* KindName(TKind k);

// Per pixel (row-major): the colour drawn by the opaque and key paths, or the blend source S of
// the alpha path, and the alpha a.
struct TModel {
    int Width = 0, Height = 0, ColorType = 0, BitDepth = 0;
    TKind Kind = TKind::Opaque;
    Rgb Key{};
    std::vector<Rgb> Colour;
    std::vector<u8> Alpha;
    const Rgb& At(int x, int y) const { return Colour[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
    u8 AlphaAt(int x, int y) const { return Alpha[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
};

// Builds the model from libpng's samples and the file's chunks; empty text on success.
std::string BuildModel(const Bytes& file, const TRawImage& raw, TModel& m);

// The background the drawing surface is filled with before the image is drawn.
Rgb PatternAt(int x, int y);

// The surface for a rectangle: a margin of 4 columns and 3 rows beyond its far corner.
struct TSurfaceSize {
    int Width, Height;
};
TSurfaceSize SurfaceFor(const TRect& rect);

// What the surface shows after drawing the model into rect over the pattern (row-major).
std::vector<Rgb> Expected(const TModel& m, const TRect& rect, TSurfaceSize surface);

enum class TPlacement { Unscaled, Double, Half, OneAndAHalfPlusOne, Reversed };
inline constexpr TPlacement Placements[] = {TPlacement::Unscaled, TPlacement::Double, TPlacement::Half,
                                            TPlacement::OneAndAHalfPlusOne, TPlacement::Reversed};
const char* PlacementName(TPlacement p);
TRect PlacementRect(TPlacement p, int w, int h);

// ---- the corrupt images of the standard set ----

struct TCorruptCase {
    const char* Name;
    const char* Fault; // what the file's bytes show
    const char* ClassName;
    const char* Message;
};
const std::vector<TCorruptCase>& CorruptCases();

// A name fit for a test: every character but letters and digits becomes '_'.
std::string TestName(std::string name);

} // namespace pngexpect
