// pngtool: looks into PNG files from the command line. Its output formats are a contract that
// scripts rely on; change them only by adding new commands or lines.
//
//   pngtool info FILE   one line per chunk object, then the header and the transparency kind
//   pngtool dump FILE   the image memory: geometry, colour table, rows, alpha and low-byte planes
//   pngtool resave IN OUT [--filters LIST] [--level N] [--interlace 0|1] [--idat-limit N]
//                       loads IN and saves it to OUT with the given settings (LIST: filter
//                       numbers separated by commas, or none)
//   pngtool draw FILE OUT.bmp [WIDTH HEIGHT]
//                       draws the image over a checkerboard and writes the result as a 24-bit BMP
//
// Exit codes: 0 done, 1 usage error, 2 the file could not be loaded ("error CLASS: MESSAGE").
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/stdstreams.h"
#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

int Usage() {
    std::fputs(
        "usage: pngtool info FILE\n"
        "       pngtool dump FILE\n"
        "       pngtool draw FILE OUT.bmp [WIDTH HEIGHT]\n"
        "       pngtool resave IN OUT [--filters LIST] [--level N] [--interlace 0|1] [--idat-limit N]\n"
        "  info  lists the chunks of FILE, its header and its transparency kind\n"
        "  dump  prints the image memory of FILE (rows top to bottom, in hexadecimal)\n"
        "  draw  draws FILE over an 8 x 8 checkerboard of WIDTH x HEIGHT (default: its own size)\n"
        "        and writes the result to OUT.bmp as a 24-bit bitmap\n"
        "  resave  saves IN to OUT with the allowed filters (LIST: numbers 0 to 4 separated by commas,\n"
        "          or none), compression level, interlacing and data bytes per IDAT chunk given\n",
        stderr);
    return 1;
}

// The message on one line: every CR LF becomes one space.
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
    const std::size_t rowBytes = (std::size_t(h.Width) * std::size_t(h.RowBits()) + 7) / 8;
    for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y) {
        PrintHex("row", y, h.PixelRow(y), rowBytes);
        if (h.AlphaPlane()) PrintHex("alpha", y, h.AlphaRow(y), h.Width);
        if (h.LowBytePlane()) PrintHex("low", y, h.LowByteRow(y), rowBytes);
    }
}

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

// The saving settings of the resave command, each applied only when given.
struct TSaveOptions {
    int FilterSet = -1;
    int Level = -1;
    int Interlace = -1;
    long long IdatLimit = -1;
};

bool ParseNumber(const char* text, long long low, long long high, long long& value) {
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != 0 || v < low || v > high) return false;
    value = v;
    return true;
}

bool ParseFilters(const std::string& text, int& set) {
    set = 0;
    if (text == "none") return true;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        long long n = 0;
        if (!ParseNumber(text.substr(from, comma - from).c_str(), 0, 4, n)) return false;
        set |= 1 << n;
        from = comma + 1;
    }
    return true;
}

bool ParseSaveOptions(int argc, char** argv, int first, TSaveOptions& options) {
    for (int i = first; i < argc; i += 2) {
        if (i + 1 >= argc) return false;
        const std::string name = argv[i];
        long long v = 0;
        if (name == "--filters") {
            if (!ParseFilters(argv[i + 1], options.FilterSet)) return false;
        } else if (name == "--level" && ParseNumber(argv[i + 1], 0, 9, v)) {
            options.Level = static_cast<int>(v);
        } else if (name == "--interlace" && ParseNumber(argv[i + 1], 0, 1, v)) {
            options.Interlace = static_cast<int>(v);
        } else if (name == "--idat-limit" && ParseNumber(argv[i + 1], 1, 0x7FFFFFFF, v)) {
            options.IdatLimit = v;
        } else {
            return false;
        }
    }
    return true;
}

void Resave(TPNGObject& image, const std::string& outName, const TSaveOptions& options) {
    if (options.FilterSet >= 0) image.FilterSet = static_cast<TPNGFilterSet>(options.FilterSet);
    if (options.Level >= 0) image.DeflateLevel = static_cast<std::uint8_t>(options.Level);
    if (options.Interlace >= 0) image.InterlaceMode = static_cast<std::uint8_t>(options.Interlace);
    if (options.IdatLimit >= 0) image.SetIdatLimit(static_cast<std::int32_t>(options.IdatLimit));
    TFileStream out(outName, fmCreate);
    image.WritePng(out);
}

bool ParseSize(const char* text, std::int32_t& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || v < 1 || v > 65535) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

int Run(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    std::int32_t width = 0, height = 0;
    TSaveOptions options;
    if (command == "info" || command == "dump") {
        if (argc != 3) return Usage();
    } else if (command == "resave") {
        if (argc < 4 || !ParseSaveOptions(argc, argv, 4, options)) return Usage();
    } else if (command == "draw") {
        if (argc != 4 && argc != 6) return Usage();
        if (argc == 6 && (!ParseSize(argv[4], width) || !ParseSize(argv[5], height))) return Usage();
    } else {
        return Usage();
    }
    TPNGObject image;
    try {
        TFileStream stream(argv[2], fmOpenRead);
        image.ReadPng(stream);
        if (command == "info")
            Info(image);
        else if (command == "dump")
            Dump(image);
        else if (command == "resave")
            Resave(image, argv[3], options);
        else
            Draw(image, argv[3], width != 0 ? width : image.PixelWidth(),
                 height != 0 ? height : image.PixelHeight());
    } catch (const Exception& e) {
        std::fflush(stdout);
        std::printf("error %s: %s\n", e.ClassName(), OneLine(e.Message()).c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    SetStandardStreamsBinary(); // the same bytes on every system
    PictureInitialization();
    PngImageInitialization();
    const int result = Run(argc, argv);
    PngImageFinalization();
    PictureFinalization();
    std::fflush(stdout);
    return result;
}
