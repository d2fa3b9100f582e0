// The dib cases of the drawing differential: device-independent rows drawn onto sections
// (StretchDIBits, CreateDIBitmap) and read back from bitmaps of every kind (GetDIBits).
#include <cstring>
#include <string>
#include <vector>

#include "gdidiff.h"

namespace gdidiff {

namespace {

// A header with room for the largest colour table behind it.
struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    BITMAPINFO* Get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

Info MakeInfo(int bpp, int width, int height, bool topDown) {
    Info info{};
    info.header = {sizeof(BITMAPINFOHEADER),
                   width,
                   topDown ? -height : height,
                   1,
                   static_cast<WORD>(bpp),
                   BI_RGB,
                   0,
                   0,
                   0,
                   0,
                   0};
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); ++i)
            info.colours[i] = TableColour(bpp, i);
    return info;
}

std::size_t Stride(int bpp, int width) {
    return std::size_t((width * bpp + 31) / 32 * 4);
}

// Pixel rows in a fixed pattern; the unused fourth byte of 32-bit pixels stays 0.
std::vector<BYTE> Rows(int bpp, int width, int height, std::uint32_t seed) {
    std::vector<BYTE> rows(Stride(bpp, width) * std::size_t(height));
    std::uint32_t x = seed * 2654435761u + 7;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        rows[i] = bpp == 32 && i % 4 == 3 ? 0 : static_cast<BYTE>(x);
    }
    return rows;
}

constexpr int kDepths[] = {1, 4, 8, 24, 32};

struct Rop {
    const char* name;
    DWORD code;
};

// One StretchDIBits call: the destination and source rectangles and the operation.
struct Transfer {
    const char* name;
    int x, y, w, h, sx, sy, sw, sh;
    Rop rop;
};

constexpr int kSrcW = 7, kSrcH = 5;

void DibStretchCases(TCaseLog& log) {
    const Transfer transfers[] = {
        {"whole", 2, 3, kSrcW, kSrcH, 0, 0, kSrcW, kSrcH, {"SRCCOPY", SRCCOPY}},
        {"partial", 3, 2, 4, 3, 2, 1, 4, 3, {"SRCCOPY", SRCCOPY}},
        {"partial2", 1, 1, 5, 2, 1, 0, 5, 2, {"SRCCOPY", SRCCOPY}},
        {"enlarge", 1, 1, 2 * kSrcW, 2 * kSrcH, 0, 0, kSrcW, kSrcH, {"SRCCOPY", SRCCOPY}},
        {"whole", 2, 3, kSrcW, kSrcH, 0, 0, kSrcW, kSrcH, {"SRCINVERT", SRCINVERT}},
        {"partial", 3, 2, 4, 3, 2, 1, 4, 3, {"SRCAND", SRCAND}},
        {"whole", 2, 3, kSrcW, kSrcH, 0, 0, kSrcW, kSrcH, {"NOTSRCCOPY", NOTSRCCOPY}},
    };
    for (const bool topDown : {false, true}) {
        for (const int bpp : kDepths) {
            Info info = MakeInfo(bpp, kSrcW, kSrcH, topDown);
            const std::vector<BYTE> rows = Rows(bpp, kSrcW, kSrcH, std::uint32_t(bpp));
            for (const int target : {32, 8}) {
                TSurface dst(target, 16, 12, false);
                for (const Transfer& t : transfers) {
                    dst.Pattern(99);
                    const int ret = StretchDIBits(dst.dc, t.x, t.y, t.w, t.h, t.sx, t.sy, t.sw, t.sh,
                                                  rows.data(), info.Get(), DIB_RGB_COLORS, t.rop.code);
                    log.Begin(std::string("dib/stretch/") + t.name + (topDown ? "/td/" : "/bu/") +
                              std::to_string(bpp) + "to" + std::to_string(target) + "/" + t.rop.name);
                    log.Add(std::uint64_t(ret));
                    log.Add(dst.bits, dst.Bytes());
                    log.End();
                }
            }
        }
    }
}

// CreateDIBitmap with CBM_INIT through a context holding a 32-bit section, read back as 32 bits.
void CreateBitmapCases(TCaseLog& log) {
    TSurface ref(32, 2, 2, false);
    for (const bool topDown : {false, true}) {
        for (const int bpp : kDepths) {
            Info info = MakeInfo(bpp, kSrcW, kSrcH, topDown);
            const std::vector<BYTE> rows = Rows(bpp, kSrcW, kSrcH, std::uint32_t(bpp + 40));
            HBITMAP bitmap =
                CreateDIBitmap(ref.dc, &info.header, CBM_INIT, rows.data(), info.Get(), DIB_RGB_COLORS);
            Info out = MakeInfo(32, kSrcW, kSrcH, false);
            std::vector<BYTE> bits(Stride(32, kSrcW) * kSrcH, 0xCD);
            const int lines =
                bitmap ? GetDIBits(ref.dc, bitmap, 0, kSrcH, bits.data(), out.Get(), DIB_RGB_COLORS) : -1;
            log.Begin(std::string("dib/createdibitmap/") + (topDown ? "td/" : "bu/") + std::to_string(bpp));
            log.Add(std::uint64_t(lines));
            log.Add(bits.data(), bits.size());
            log.End();
            if (bitmap) DeleteObject(bitmap);
        }
    }
}

// A source bitmap for GetDIBits, not selected anywhere.
struct Source {
    std::string name;
    HBITMAP bitmap;
};

constexpr int kGetW = 9, kGetH = 4;

std::vector<Source> MakeSources(HDC dc) {
    std::vector<Source> sources;
    for (const int bpp : kDepths) {
        Info info = MakeInfo(bpp, kGetW, kGetH, false);
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(dc, info.Get(), DIB_RGB_COLORS, &bits, nullptr, 0);
        const std::vector<BYTE> rows = Rows(bpp, kGetW, kGetH, std::uint32_t(bpp + 80));
        if (section && bits) std::memcpy(bits, rows.data(), rows.size());
        sources.push_back({"section" + std::to_string(bpp), section});
    }
    // A monochrome device bitmap from word-aligned rows.
    std::vector<BYTE> mono = Rows(8, 4, kGetH, 5);
    sources.push_back({"mono", CreateBitmap(kGetW, kGetH, 1, 1, mono.data())});
    // A bitmap compatible with a 32-bit context, filled from a 24-bit section.
    TSurface screen(32, 2, 2, false);
    TSurface fill(24, kGetW, kGetH, false);
    fill.Pattern(17);
    HBITMAP compatible = CreateCompatibleBitmap(screen.dc, kGetW, kGetH);
    HDC work = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(work, compatible);
    BitBlt(work, 0, 0, kGetW, kGetH, fill.dc, 0, 0, SRCCOPY);
    SelectObject(work, old);
    DeleteDC(work);
    sources.push_back({"compatible", compatible});
    return sources;
}

void GetBitsCases(TCaseLog& log) {
    HDC dc = CreateCompatibleDC(nullptr);
    const std::vector<Source> sources = MakeSources(dc);
    for (const Source& source : sources) {
        for (const int bpp : kDepths) {
            for (const bool topDown : {false, true}) {
                if (topDown && bpp != 8 && bpp != 32) continue;
                Info info = MakeInfo(bpp, kGetW, kGetH, topDown);
                std::memset(info.colours, 0xCD, sizeof(info.colours));
                std::vector<BYTE> bits(Stride(bpp, kGetW) * kGetH, 0xCD);
                const int lines =
                    GetDIBits(dc, source.bitmap, 0, kGetH, bits.data(), info.Get(), DIB_RGB_COLORS);
                log.Begin("dib/getdibits/" + source.name + "/to" + std::to_string(bpp) +
                          (topDown ? "/td" : "/bu"));
                log.Add(std::uint64_t(lines));
                log.Add(bits.data(), bits.size());
                if (bpp <= 8) log.Add(info.colours, sizeof(RGBQUAD) << bpp);
                log.End();
            }
        }
        // Some of the rows only: scan lines 1 and 2.
        {
            Info info = MakeInfo(24, kGetW, kGetH, false);
            std::vector<BYTE> bits(Stride(24, kGetW) * kGetH, 0xCD);
            const int lines = GetDIBits(dc, source.bitmap, 1, 2, bits.data(), info.Get(), DIB_RGB_COLORS);
            log.Begin("dib/getdibits/" + source.name + "/to24/lines1-2");
            log.Add(std::uint64_t(lines));
            log.Add(bits.data(), bits.size());
            log.End();
        }
        // Header only: the bitmap's own format (depth 0), and the size and colours of a depth asked for.
        for (const int bpp : {0, 1, 8, 24}) {
            Info info = bpp == 0 ? Info{} : MakeInfo(bpp, kGetW, kGetH, false);
            info.header.biSize = sizeof(BITMAPINFOHEADER);
            std::memset(info.colours, 0xCD, sizeof(info.colours));
            const int lines = GetDIBits(dc, source.bitmap, 0, kGetH, nullptr, info.Get(), DIB_RGB_COLORS);
            log.Begin("dib/getdibits/" + source.name + "/header" + std::to_string(bpp));
            log.Add(std::uint64_t(lines != 0));
            log.Add(std::uint64_t(info.header.biWidth));
            log.Add(std::uint64_t(info.header.biHeight));
            log.Add(std::uint64_t(info.header.biPlanes));
            log.Add(std::uint64_t(info.header.biSizeImage));
            log.Add(std::uint64_t(info.header.biBitCount));
            if (bpp != 0 && bpp <= 8) log.Add(info.colours, sizeof(RGBQUAD) << bpp);
            log.End();
        }
    }
    for (const Source& source : sources)
        DeleteObject(source.bitmap);
    DeleteDC(dc);
}

} // namespace

void DibCases(TCaseLog& log) {
    DibStretchCases(log);
    CreateBitmapCases(log);
    GetBitsCases(log);
}

} // namespace gdidiff
