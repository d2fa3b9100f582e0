// The case log and the surfaces every section draws on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gdidiff.h"

namespace gdidiff {

namespace {
constexpr std::uint64_t kOffset = 14695981039346656037ull;
constexpr std::uint64_t kPrime = 1099511628211ull;
} // namespace

void TCaseLog::Begin(const std::string& name) {
    FName = name;
    FHash = kOffset;
}

void TCaseLog::Add(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        FHash = (FHash ^ p[i]) * kPrime;
}

void TCaseLog::Add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        const unsigned char byte = static_cast<unsigned char>(value >> (8 * i));
        Add(&byte, 1);
    }
}

void TCaseLog::End() {
    std::printf("%s %016llx\n", FName.c_str(), static_cast<unsigned long long>(FHash));
    ++FCount;
}

void TCaseLog::Record(const std::string& name, const void* data, std::size_t size) {
    Begin(name);
    Add(data, size);
    End();
}

RGBQUAD TableColour(int bitsPerPixel, int i) {
    if (bitsPerPixel == 1) return i == 0 ? RGBQUAD{0, 0, 0, 0} : RGBQUAD{255, 255, 255, 0};
    // A spread of colours, two of them close to each other, so nearest-colour rules show.
    const BYTE b = static_cast<BYTE>((i * 67 + 13) & 0xFF);
    const BYTE g = static_cast<BYTE>((i * 151 + 101) & 0xFF);
    const BYTE r = static_cast<BYTE>((i * 29 + 200) & 0xFF);
    return RGBQUAD{b, g, r, 0};
}

TSurface::TSurface(int bpp, int w, int h, bool topDownRows)
    : width(w), height(h), bitsPerPixel(bpp), topDown(topDownRows) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header = {
        sizeof(BITMAPINFOHEADER), w, topDownRows ? -h : h, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0};
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); ++i)
            info.colours[i] = TableColour(bpp, i);
    dc = CreateCompatibleDC(nullptr);
    bitmap =
        CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc == nullptr || bitmap == nullptr) {
        std::fprintf(stderr, "cannot make a %d-bit %d x %d section\n", bpp, w, h);
        std::exit(2);
    }
    previous = SelectObject(dc, bitmap);
}

TSurface::~TSurface() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

std::size_t TSurface::Bytes() const {
    return std::size_t((width * bitsPerPixel + 31) / 32 * 4) * std::size_t(height);
}

void TSurface::Pattern(std::uint32_t seed) {
    auto* p = static_cast<unsigned char*>(bits);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < Bytes(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        p[i] = static_cast<unsigned char>(x);
    }
}

} // namespace gdidiff
