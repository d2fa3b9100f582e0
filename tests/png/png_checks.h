// The library's image memory and drawing held against an expectation (see png_expect.h), for the
// conformance suites on Linux and the golden-file suite on Windows alike.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "png/pngheader.h"
#include "png/pngobject.h"
#include "png_expect.h"
#include "toolkit/core/canvas.h"

namespace pngexpect {

// A 32-bit top-down section selected into its own context.
class TSurface {
public:
    explicit TSurface(TSurfaceSize size) : FWidth(size.Width), FHeight(size.Height) {
        FDC = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER h{40, FWidth, -FHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        FSection = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
        FBits = static_cast<u8*>(bits);
        FOld = SelectObject(FDC, FSection);
        FCanvas.SetHandle(FDC);
    }
    ~TSurface() {
        FCanvas.SetHandle(nullptr);
        SelectObject(FDC, FOld);
        DeleteObject(FSection);
        DeleteDC(FDC);
    }
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;

    bool Valid() const { return FDC != nullptr && FBits != nullptr && FOld != nullptr; }
    TCanvas& Canvas() { return FCanvas; }
    u8* Pixel(int x, int y) { return FBits + (std::size_t(y) * std::size_t(FWidth) + std::size_t(x)) * 4; }

private:
    int FWidth, FHeight;
    HDC FDC = nullptr;
    HBITMAP FSection = nullptr;
    HGDIOBJ FOld = nullptr;
    u8* FBits = nullptr;
    TCanvas FCanvas;
};

std::string RgbText(const Rgb& c);
void PrintTo(TPlacement p, std::ostream* os);
void PrintTo(const TCorruptCase& c, std::ostream* os);

// Every plane, the geometry and the colour table against the model (as test expectations).
void ExpectMemoryMatches(const TChunkIHDR& h, const TMemoryModel& m);

// The colour table of a loaded image (red, green, blue).
std::vector<Rgb> ColorTableOf(const TChunkIHDR& h);

// The chunk objects of a loaded image, by type.
std::vector<std::string> ChunkTypes(TPNGObject& image);

// Draws into rect on a patterned surface of the given size and compares every pixel with the
// expected picture (red, green, blue); also reports a change of the live object count. Empty
// when all agree.
std::string DrawAndCompare(TPNGObject& image, const std::vector<Rgb>& expected, const TRect& rect,
                           TSurfaceSize size);

} // namespace pngexpect
