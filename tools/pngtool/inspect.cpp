// The commands that look at an image: info, dump, draw and check, and the image-memory comparison
// that optimize relies on (the same parts dump prints).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/stream.h"
#include "tools/pngtool/pngtool.h"

namespace pngtool {

std::string OneLine(const std::string& message) {
    std::string out;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else {
            out += message[i];
        }
    }
    return out;
}

namespace {

void PrintHex(const char* label, std::int32_t y, const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string line(label);
    line += ' ';
    line += std::to_string(y);
    line += ' ';
    line.reserve(line.size() + 2 * count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        line += digits[bytes[i] >> 4];
        line += digits[bytes[i] & 15];
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// Bytes of one pixel row that belong to the image (the rest of the stride is padding).
std::size_t RowBytes(const TChunkIHDR& h) {
    return (std::size_t(h.Width) * std::size_t(h.RowBits()) + 7) / 8;
}

} // namespace

void Info(TPNGObject& image) {
    for (std::uint32_t i = 0; i < image.Chunks().ItemCount(); ++i) {
        const TChunk* chunk = image.Chunks().ChunkAt(i);
        std::printf("chunk %s %d %s\n", chunk->TypeText().c_str(), chunk->BodySize(),
                    chunk->ClassType().Name);
    }
    const TChunkIHDR& h = image.HeaderChunk();
    std::printf("header %u %u %u %u %u %u %u\n", h.Width, h.Height, h.BitDepth, h.ColorType,
                h.CompressionMethod, h.FilterMethod, h.InterlaceMethod);
    static const char* const kinds[] = {"ptkOpaque", "ptkKeyColor", "ptkAlpha"};
    std::printf("transparency %s\n", kinds[image.TransparencyKind()]);
}

void Dump(TPNGObject& image) {
    const TChunkIHDR& h = image.HeaderChunk();
    std::printf("image %u %u %d %d %u %u\n", h.Width, h.Height, h.RowBits(), h.RowStride(), h.ColorType,
                h.BitDepth);
    std::printf("colors %u\n", h.ColorsUsed());
    for (std::uint32_t i = 0; i < h.ColorsUsed() && i < 256; ++i) {
        const RGBQUAD& c = h.DibInfo().ColorTable[i];
        std::printf("color %u %02x %02x %02x\n", i, c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    if (h.PixelRows() == nullptr) return;
    const std::size_t rowBytes = RowBytes(h);
    for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y) {
        PrintHex("row", y, h.PixelRow(y), rowBytes);
        if (h.AlphaPlane()) PrintHex("alpha", y, h.AlphaRow(y), h.Width);
        if (h.LowBytePlane()) PrintHex("low", y, h.LowByteRow(y), rowBytes);
    }
}

bool SameImageMemory(const TPNGObject& a, const TPNGObject& b) {
    const TChunkIHDR& x = a.HeaderChunk();
    const TChunkIHDR& y = b.HeaderChunk();
    if (x.Width != y.Width || x.Height != y.Height || x.RowBits() != y.RowBits() ||
        x.RowStride() != y.RowStride() || x.ColorType != y.ColorType || x.BitDepth != y.BitDepth ||
        x.ColorsUsed() != y.ColorsUsed())
        return false;
    for (std::uint32_t i = 0; i < x.ColorsUsed() && i < 256; ++i) {
        const RGBQUAD& c = x.DibInfo().ColorTable[i];
        const RGBQUAD& d = y.DibInfo().ColorTable[i];
        if (c.rgbRed != d.rgbRed || c.rgbGreen != d.rgbGreen || c.rgbBlue != d.rgbBlue) return false;
    }
    if ((x.PixelRows() == nullptr) != (y.PixelRows() == nullptr)) return false;
    if ((x.AlphaPlane() == nullptr) != (y.AlphaPlane() == nullptr)) return false;
    if ((x.LowBytePlane() == nullptr) != (y.LowBytePlane() == nullptr)) return false;
    if (x.PixelRows() == nullptr) return true;
    const std::size_t rowBytes = RowBytes(x);
    for (std::int32_t row = 0; row < std::int32_t(x.Height); ++row) {
        if (std::memcmp(x.PixelRow(row), y.PixelRow(row), rowBytes) != 0) return false;
        if (x.AlphaPlane() && std::memcmp(x.AlphaRow(row), y.AlphaRow(row), x.Width) != 0) return false;
        if (x.LowBytePlane() && std::memcmp(x.LowByteRow(row), y.LowByteRow(row), rowBytes) != 0)
            return false;
    }
    return true;
}

int Check(const std::vector<std::string>& fileNames) {
    int result = 0;
    std::string line;
    TMemoryStream data;
    for (const std::string& name : fileNames) {
        line = name;
        try {
            // The whole file in memory first: one read instead of one per chunk.
            data.LoadFromFile(name);
            TPNGObject image;
            image.ReadPng(data);
            line += ": ok\n";
        } catch (const Exception& e) {
            line += ": error ";
            line += e.ClassName();
            line += ": ";
            line += OneLine(e.Message());
            line += '\n';
            result = 2;
        }
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return result;
}

namespace {

// Writes a 32-bit top-down surface as a 24-bit bottom-up BMP file.
void WriteBmp24(const std::string& fileName, const std::uint8_t* pixels, std::int32_t width,
                std::int32_t height) {
    const std::uint32_t stride = ((24u * std::uint32_t(width) + 31) / 32) * 4;
    const std::uint32_t imageSize = stride * std::uint32_t(height);
    BITMAPFILEHEADER file{0x4D42, 14 + 40 + imageSize, 0, 0, 14 + 40};
    BITMAPINFOHEADER info{40, width, height, 1, 24, BI_RGB, imageSize, 2835, 2835, 0, 0};
    TFileStream out(fileName, fmCreate);
    out.WriteBuffer(&file, sizeof file);
    out.WriteBuffer(&info, sizeof info);
    std::vector<std::uint8_t> row(stride, 0);
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const std::uint8_t* p = pixels + std::size_t(y) * std::size_t(width) * 4;
        for (std::int32_t x = 0; x < width; ++x)
            std::memcpy(&row[std::size_t(x) * 3], p + 4 * x, 3);
        out.WriteBuffer(row.data(), static_cast<std::int32_t>(stride));
    }
}

// The drawing surface of the draw command: a 32-bit top-down section in its own context.
class TSurface {
public:
    TSurface(std::int32_t width, std::int32_t height) {
        FDC = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER header{40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        FSection = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
        FBits = static_cast<std::uint8_t*>(bits);
        if (FSection != nullptr) FPrevious = SelectObject(FDC, FSection);
    }
    ~TSurface() {
        if (FSection != nullptr) {
            SelectObject(FDC, FPrevious);
            DeleteObject(FSection);
        }
        DeleteDC(FDC);
    }
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;
    HDC DC() const { return FDC; }
    std::uint8_t* Bits() const { return FBits; }

private:
    HDC FDC = nullptr;
    HBITMAP FSection = nullptr;
    HGDIOBJ FPrevious = nullptr;
    std::uint8_t* FBits = nullptr;
};

} // namespace

// Draws the image over a checkerboard of 8 x 8 cells and writes the surface.
void Draw(TPNGObject& image, const std::string& outName, std::int32_t width, std::int32_t height) {
    TSurface surface(width, height);
    if (surface.Bits() == nullptr) throw EOutOfResources();
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = surface.Bits() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            const bool even = (x / 8 + y / 8) % 2 == 0;
            p[0] = even ? 0x60 : 0xc0; // blue
            p[1] = even ? 0x40 : 0xd0; // green
            p[2] = even ? 0x20 : 0xe0; // red
        }
    TCanvas canvas;
    canvas.SetHandle(surface.DC());
    image.DrawOn(canvas, TRect{0, 0, width, height});
    WriteBmp24(outName, surface.Bits(), width, height);
}

} // namespace pngtool
