// pngtool: looks into PNG files from the command line. Its output formats are a contract that
// scripts rely on; change them only by adding new commands or lines.
//
//   pngtool info FILE   one line per chunk object, then the header
//   pngtool dump FILE   the image memory: geometry, colour table, rows, alpha and low-byte planes
//
// Exit codes: 0 done, 1 usage error, 2 the file could not be loaded ("error CLASS: MESSAGE").
#include <cstdio>
#include <cstring>
#include <string>

#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

int Usage() {
    std::fputs("usage: pngtool info FILE\n"
               "       pngtool dump FILE\n"
               "  info  lists the chunks of FILE and its header\n"
               "  dump  prints the image memory of FILE (rows top to bottom, in hexadecimal)\n",
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
}

void Dump(TPNGObject& image) {
    const TChunkIHDR& h = image.HeaderChunk();
    std::printf("image %u %u %d %d %u %u\n", h.Width, h.Height, h.RowBits(), h.RowStride, h.ColorType,
                h.BitDepth);
    std::printf("colors %u\n", h.ColorsUsed());
    for (std::uint32_t i = 0; i < h.ColorsUsed() && i < 256; ++i) {
        const RGBQUAD& c = h.DibInfo.ColorTable[i];
        std::printf("color %u %02x %02x %02x\n", i, c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    if (h.PixelRows == nullptr) return;
    const std::size_t rowBytes = (std::size_t(h.Width) * std::size_t(h.RowBits()) + 7) / 8;
    for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y) {
        PrintHex("row", y, h.PixelRow(y), rowBytes);
        if (h.AlphaPlane) PrintHex("alpha", y, h.AlphaRow(y), h.Width);
        if (h.LowBytePlane) PrintHex("low", y, h.LowByteRow(y), rowBytes);
    }
}

int Run(int argc, char** argv) {
    if (argc != 3) return Usage();
    const std::string command = argv[1];
    if (command != "info" && command != "dump") return Usage();
    TPNGObject image;
    try {
        TFileStream stream(argv[2], fmOpenRead);
        image.ReadPng(stream);
    } catch (const Exception& e) {
        std::printf("error %s: %s\n", e.ClassName(), OneLine(e.Message()).c_str());
        return 2;
    }
    if (command == "info")
        Info(image);
    else
        Dump(image);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PictureInitialization();
    PngImageInitialization();
    const int result = Run(argc, argv);
    PngImageFinalization();
    PictureFinalization();
    std::fflush(stdout);
    return result;
}
