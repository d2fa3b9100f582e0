// fuzz_inflate_engines: reads arbitrary bytes as a PNG stream once with zlib inflating the image data
// and once with the build's fast inflater, and fails on any difference in the outcome: the
// exception's class and message, or the pixel rows, the low-byte plane and the alpha plane. Every
// chunk's checksum is made right first, so that damage to the compressed data reaches the inflaters
// rather than ending at the checksum.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

#include "png/pngheader.h"
#include "png/pngimage.h"
#include "png/pnginflate.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

namespace {

std::vector<std::uint8_t> WithRightChecksums(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length =
            std::uint32_t(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        if (length > bytes.size() - at - 12) break;
        const std::uint32_t crc = crc32(0, bytes.data() + at + 4, length + 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return bytes;
}

void StopLibrary() {
    PngImageFinalization();
    PictureFinalization();
}

std::string Outcome(const std::uint8_t* data, std::size_t size, TInflateEngine engine) {
    SetImageInflateEngine(engine);
    TCustomMemoryStream input(data, static_cast<std::int64_t>(size));
    TPNGObject image;
    try {
        image.ReadPng(input);
    } catch (const Exception& error) {
        return std::string(error.ClassName()) + ": " + error.what();
    }
    if (!image.HasHeader() || image.HeaderChunk().PixelRows() == nullptr) return "no image memory";
    const TChunkIHDR& h = image.HeaderChunk();
    std::string rows;
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(h.Height); ++y) {
        const auto append = [&](const std::uint8_t* row, std::size_t length) {
            if (row != nullptr) rows.append(reinterpret_cast<const char*>(row), length);
        };
        append(h.PixelRow(y), static_cast<std::size_t>(h.RowStride()));
        append(h.LowByteRow(y), static_cast<std::size_t>(h.RowStride()));
        append(h.AlphaRow(y), h.Width);
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PictureInitialization();
    PngImageInitialization();
    std::atexit(StopLibrary);
    SetBitmapSectionLimit(std::size_t{16} << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes = WithRightChecksums(data, size);
    const std::string zlib = Outcome(bytes.data(), bytes.size(), TInflateEngine::Zlib);
    const std::string fast = Outcome(bytes.data(), bytes.size(), TInflateEngine::Isal);
    if (zlib != fast) {
        std::fprintf(stderr, "the inflaters disagree:\n  zlib: %.200s\n  fast: %.200s\n", zlib.c_str(),
                     fast.c_str());
        std::abort();
    }
    return 0;
}
