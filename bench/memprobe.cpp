// pngmemprobe: how much the process's peak resident memory grows while this library loads a large
// PNG file, next to the image memory the loaded image owns.
//
// Usage: pngmemprobe [FILE]
//   FILE  the PNG file to load. When it does not exist, or is not given, a 4096 x 4096 8-bit RGBA
//         image with photo-like content (the same picture bench_decode uses) is first written to it
//         (default /tmp/pngmemprobe-4096x4096-rgba.png), row by row, with libpng.
//
// The peak (VmHWM in /proc/self/status) is reset just before the load by writing "5" to
// /proc/self/clear_refs; growth = VmHWM after the load - VmRSS before it. When the reset is refused,
// the peak before the load is shown and the growth is exact only if the load raised the peak.
// Exit codes: 0 growth within image memory + 2 MiB, 3 growth above it, 2 the file could not be
// written or loaded, 1 usage error.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <png.h>

#include "bench/photo_field.h"
#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

using bench::TPhotoField;

constexpr std::int32_t kSide = 4096;
constexpr std::uint64_t kSeed = 0x5EED2024ull;

// Writes the picture as an 8-bit RGBA PNG, one row at a time (libpng defaults: adaptive filters,
// zlib level 6).
bool WriteProbeImage(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    TPhotoField field(kSide, kSide, kSeed);
    std::vector<std::uint16_t> samples(std::size_t(kSide) * 4);
    std::vector<png_byte> row(std::size_t(kSide) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < kSide; ++y) {
        field.Row(y, samples.data());
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = png_byte(samples[i] >> 8);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

struct TMemoryStatus {
    std::int64_t PeakBytes = -1;     // VmHWM
    std::int64_t ResidentBytes = -1; // VmRSS
};

TMemoryStatus ReadMemoryStatus() {
    TMemoryStatus status;
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (file == nullptr) return status;
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        long long kib = 0;
        if (std::sscanf(line, "VmHWM: %lld kB", &kib) == 1) status.PeakBytes = kib * 1024;
        if (std::sscanf(line, "VmRSS: %lld kB", &kib) == 1) status.ResidentBytes = kib * 1024;
    }
    std::fclose(file);
    return status;
}

// Resets VmHWM to the current VmRSS (Linux: "5" to clear_refs).
bool ResetPeak() {
    std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (file == nullptr) return false;
    const bool written = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && written;
}

double MiB(std::int64_t bytes) {
    return double(bytes) / 1048576.0;
}

int Run(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fputs("usage: pngmemprobe [FILE]\n", stderr);
        return 1;
    }
    const std::string path = argc == 2 ? argv[1] : "/tmp/pngmemprobe-4096x4096-rgba.png";
    struct stat info {};
    if (argc < 2 || stat(path.c_str(), &info) != 0) {
        std::printf("writing %s (%d x %d, 8-bit RGBA)\n", path.c_str(), kSide, kSide);
        if (!WriteProbeImage(path)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 2;
        }
        stat(path.c_str(), &info);
    }
    std::printf("file %s: %lld bytes\n", path.c_str(), static_cast<long long>(info.st_size));

    const bool reset = ResetPeak();
    const TMemoryStatus before = ReadMemoryStatus();
    if (before.PeakBytes < 0 || before.ResidentBytes < 0) {
        std::fprintf(stderr, "/proc/self/status has no VmHWM / VmRSS\n");
        return 2;
    }
    TPNGObject image;
    try {
        TFileStream stream(path, fmOpenRead);
        image.ReadPng(stream);
    } catch (const Exception& e) {
        std::fprintf(stderr, "error %s: %s\n", e.ClassName(), e.what());
        return 2;
    }
    const TMemoryStatus after = ReadMemoryStatus();

    const TChunkIHDR& h = image.HeaderChunk();
    const std::int64_t rows = std::int64_t(h.RowStride()) * h.Height;
    const std::int64_t alpha = h.AlphaPlane() ? std::int64_t(h.Width) * h.Height : 0;
    const std::int64_t low = h.LowBytePlane() ? rows : 0;
    const std::int64_t imageMemory = rows + alpha + low;
    const std::int64_t growth = after.PeakBytes - before.ResidentBytes;
    const std::int64_t bound = imageMemory + 2 * 1048576;

    std::printf("image %u x %u, bit depth %u, colour type %u, row stride %d\n", h.Width, h.Height, h.BitDepth,
                h.ColorType, h.RowStride());
    std::printf("peak reset via /proc/self/clear_refs: %s\n", reset ? "yes" : "no (refused)");
    std::printf("before load: VmRSS %lld bytes, VmHWM %lld bytes\n",
                static_cast<long long>(before.ResidentBytes), static_cast<long long>(before.PeakBytes));
    std::printf("after load:  VmRSS %lld bytes, VmHWM %lld bytes\n",
                static_cast<long long>(after.ResidentBytes), static_cast<long long>(after.PeakBytes));
    if (!reset && after.PeakBytes <= before.PeakBytes)
        std::printf(
            "note: the peak was not reset and the load did not raise it; the growth below is an upper "
            "bound\n");
    std::printf(
        "image memory: %lld bytes (%.2f MiB) = pixel rows %lld + alpha plane %lld + low-byte plane %lld\n",
        static_cast<long long>(imageMemory), MiB(imageMemory), static_cast<long long>(rows),
        static_cast<long long>(alpha), static_cast<long long>(low));
    std::printf("peak growth:  %lld bytes (%.2f MiB)\n", static_cast<long long>(growth), MiB(growth));
    std::printf("overhead:     %lld bytes (%.2f MiB) beyond the image memory\n",
                static_cast<long long>(growth - imageMemory), MiB(growth - imageMemory));
    const bool within = growth <= bound;
    std::printf("verdict: growth %s image memory + 2 MiB (%lld bytes)\n", within ? "<=" : ">",
                static_cast<long long>(bound));
    return within ? 0 : 3;
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
