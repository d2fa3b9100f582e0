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
    FBytes.clear();
}

void TCaseLog::Add(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        FHash = (FHash ^ p[i]) * kPrime;
    if (FDump) FBytes.append(static_cast<const char*>(data), size);
}

void TCaseLog::Add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        const unsigned char byte = static_cast<unsigned char>(value >> (8 * i));
        Add(&byte, 1);
    }
}

void TCaseLog::End() {
    std::printf("%s %016llx", FName.c_str(), static_cast<unsigned long long>(FHash));
    for (std::size_t i = 0; i < FBytes.size(); ++i)
        std::printf("%s%02x", i % 4 == 0 ? " " : "", static_cast<unsigned char>(FBytes[i]));
    std::printf("\n");
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

namespace {

[[noreturn]] void Fail(const char* what, int bpp, int w, int h) {
    std::fprintf(stderr, "cannot make a %s (%d bits) of %d x %d\n", what, bpp, w, h);
    std::exit(2);
}

// A bitmap section with the table of TableColour.
HBITMAP MakeSection(HDC dc, int bpp, int w, int h, bool topDown, void** bits) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header = {
        sizeof(BITMAPINFOHEADER), w, topDown ? -h : h, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0};
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); ++i)
            info.colours[i] = TableColour(bpp, i);
    HBITMAP made =
        CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr, 0);
    if (dc == nullptr || made == nullptr) Fail("section", bpp, w, h);
    return made;
}

// A bitmap compatible with a colour context. A new memory context holds a monochrome bitmap, so
// it first gets a colour device bitmap of its own, as the screen's would be.
HBITMAP ScreenBitmap(int w, int h) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP colour = CreateBitmap(1, 1, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, colour);
    HBITMAP made = CreateCompatibleBitmap(dc, w, h);
    SelectObject(dc, old);
    DeleteObject(colour);
    DeleteDC(dc);
    return made;
}

} // namespace

const std::array<TFormat, 7> kFormats = {{{"1", 1, false},
                                          {"4", 4, false},
                                          {"8", 8, false},
                                          {"24", 24, false},
                                          {"32", 32, false},
                                          {"mono", 1, true},
                                          {"screen", 0, true}}};

const std::array<TRop, 12> kRops = {{{"SRCCOPY", SRCCOPY},
                                     {"SRCPAINT", SRCPAINT},
                                     {"SRCAND", SRCAND},
                                     {"SRCINVERT", SRCINVERT},
                                     {"SRCERASE", SRCERASE},
                                     {"NOTSRCCOPY", NOTSRCCOPY},
                                     {"NOTSRCERASE", NOTSRCERASE},
                                     {"MERGEPAINT", MERGEPAINT},
                                     {"DSTINVERT", DSTINVERT},
                                     {"PATCOPY", PATCOPY},
                                     {"BLACKNESS", BLACKNESS},
                                     {"WHITENESS", WHITENESS}}};

std::string Hex(COLORREF colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

TBitmap::TBitmap(const TFormat& f, int w, int h) : format(f), width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    if (!f.device) {
        bitmap = MakeSection(dc, f.bitsPerPixel, w, h, true, &bits);
        bytes = std::size_t((w * f.bitsPerPixel + 31) / 32 * 4) * std::size_t(h);
    } else {
        bitmap = f.bitsPerPixel == 1 ? CreateBitmap(w, h, 1, 1, nullptr) : ScreenBitmap(w, h);
        if (dc == nullptr || bitmap == nullptr) Fail(f.name, f.bitsPerPixel, w, h);
    }
    previous = SelectObject(dc, bitmap);
}

TBitmap::~TBitmap() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void TBitmap::Pattern(std::uint32_t seed) {
    if (!format.device) {
        auto* p = static_cast<unsigned char*>(bits);
        std::uint32_t x = seed * 2654435761u + 1;
        for (std::size_t i = 0; i < bytes; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            p[i] = static_cast<unsigned char>(x);
        }
        return;
    }
    // Black and white bits onto the monochrome bitmap, colours onto the screen's.
    TBitmap source(kFormats[format.bitsPerPixel == 1 ? 0 : 4], width, height);
    source.Pattern(seed);
    BitBlt(dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY);
}

std::string TBitmap::Read32() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string out(std::size_t(width) * std::size_t(height) * 4, '\0');
    // A bitmap is read while selected into no context.
    SelectObject(dc, previous);
    const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), out.data(), &info, DIB_RGB_COLORS);
    SelectObject(dc, bitmap);
    if (rows != height) out = "unreadable";
    return out;
}

void TBitmap::Add(TCaseLog& log) {
    if (!format.device) {
        log.Add(bits, bytes);
    } else {
        const std::string pixels = Read32();
        log.Add(pixels.data(), pixels.size());
    }
}

TSurface::TSurface(int bpp, int w, int h, bool topDownRows)
    : width(w), height(h), bitsPerPixel(bpp), topDown(topDownRows) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = MakeSection(dc, bpp, w, h, topDownRows, &bits);
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
