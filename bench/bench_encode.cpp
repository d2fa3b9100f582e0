// bench_encode: how fast this library encodes large PNG images into memory, and how small the result
// is, next to libpng at equivalent settings.
//
// The test images are those of bench_decode (photo-like content from bench/photo_field.h): RGBA
// 8-bit, RGB 8-bit, RGB 16-bit and RGBA 8-bit interlaced. Each is encoded once with libpng and read
// into a TPNGObject, which is then saved again and again; libpng encodes the same samples from raw
// rows in memory. Both use the same level (libpng through zlib with the default strategy, window and
// memory level; this library through its compression engine, see --deflate) and the same interlace
// method, with four settings:
//   sub    the Sub filter on every row (FilterSet {Sub}; png_set_filter(PNG_FILTER_SUB)), level 7
//   all    any of the five filters, each encoder choosing by its own heuristic (FilterSet {None ..
//          Paeth}; PNG_ALL_FILTERS), level 7
//   sub-1  Sub at level 1
//   sub-9  Sub at level 9
// Every encoder's output is checked once to decode (with libpng) to the source samples. After the
// runs a table gives the time ratios and output size ratios of this library to libpng, from the
// measured times (median over the repetitions).
//
// Usage: bench_encode [--image_size=N] [benchmark flags]
//   --image_size=N  side of the square test images (default 4096)
//   Unless --benchmark_repetitions is given, every benchmark runs 3 repetitions.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include "bench/bench_report.h"
#include "bench/photo_field.h"
#include "png/pngheader.h"
#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

using bench::MakePhotoSamples;
using bench::TCapturingReporter;
using bench::TPhotoSamples;
using Bytes = std::vector<std::uint8_t>;

struct TTestImage {
    std::string Name;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int ColorType = 0; // 2 RGB, 6 RGBA
    int BitDepth = 8;
    bool Interlaced = false;
    std::shared_ptr<const Bytes> Raw; // rows top to bottom in PNG sample layout (16-bit big-endian)
    std::unique_ptr<TPNGObject> Image;

    int Channels() const { return ColorType == 6 ? 4 : 3; }
    std::size_t RowBytes() const {
        return std::size_t(Width) * std::size_t(Channels()) * std::size_t(BitDepth / 8);
    }
    std::size_t RawBytes() const { return RowBytes() * std::size_t(Height); }
};

struct TSetting {
    const char* Name;
    TPNGFilterSet FilterSet;
    int LibpngFilters;
    int Level;
};

constexpr TPNGFilterSet kAllFilters = TPNGFilterSet(FilterBit(pfNone) | FilterBit(pfSub) | FilterBit(pfUp) |
                                                    FilterBit(pfAverage) | FilterBit(pfPaeth));
const TSetting kSettings[] = {
    {"sub", FilterBit(pfSub), PNG_FILTER_SUB, 7},
    {"all", kAllFilters, PNG_ALL_FILTERS, 7},
    {"sub-1", FilterBit(pfSub), PNG_FILTER_SUB, 1},
    {"sub-9", FilterBit(pfSub), PNG_FILTER_SUB, 9},
};

std::vector<TTestImage> MakeImages(std::int32_t side) {
    const TPhotoSamples samples = MakePhotoSamples(side);
    const auto& rgba8 = samples.Rgba8;
    const auto& rgb8 = samples.Rgb8;
    const auto& rgb16 = samples.Rgb16;
    std::vector<TTestImage> images(4);
    images[0] = {"rgba8", side, side, 6, 8, false, rgba8, {}};
    images[1] = {"rgb8", side, side, 2, 8, false, rgb8, {}};
    images[2] = {"rgb16", side, side, 2, 16, false, rgb16, {}};
    images[3] = {"rgba8-adam7", side, side, 6, 8, true, rgba8, {}};
    return images;
}

// ---------------------------------------------------------------------------------------------
// The encoders

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// libpng from the raw rows into out; a null setting means libpng's defaults (used to make the file
// the library loads).
bool EncodeWithLibpng(const TTestImage& t, const TSetting* setting, Bytes& out) {
    out.clear();
    std::vector<png_bytep> rows(std::size_t(t.Height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = const_cast<png_bytep>(t.Raw->data() + y * t.RowBytes());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendToVector, FlushNothing);
    if (setting != nullptr) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, setting->LibpngFilters);
        png_set_compression_level(png, setting->Level);
        png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
        png_set_compression_mem_level(png, 8);
        png_set_compression_window_bits(png, 15);
    }
    png_set_IHDR(png, info, png_uint_32(t.Width), png_uint_32(t.Height), t.BitDepth, t.ColorType,
                 t.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data()); // handles the interlace passes itself
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// This library: the loaded image saved into a fresh memory stream; returns the stream's size, 0 on
// failure.
std::int64_t EncodeWithLibrary(TTestImage& t, const TSetting& setting, Bytes* copy = nullptr) {
    TPNGObject& image = *t.Image;
    image.FilterSet = setting.FilterSet;
    image.DeflateLevel = static_cast<std::uint8_t>(setting.Level);
    image.InterlaceMode = t.Interlaced ? 1 : 0;
    try {
        TMemoryStream out;
        image.WritePng(out);
        benchmark::DoNotOptimize(out.Memory());
        if (copy != nullptr) copy->assign(out.Memory(), out.Memory() + out.Size());
        return out.Size();
    } catch (const Exception& e) {
        std::fprintf(stderr, "this library failed: %s: %s\n", e.ClassName(), e.what());
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Checking

struct TMemorySource {
    const Bytes* Data;
    std::size_t Position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<TMemorySource*>(png_get_io_ptr(png));
    if (length > source->Data->size() - source->Position) png_error(png, "read past the end of the data");
    std::copy_n(source->Data->data() + source->Position, length, out);
    source->Position += length;
}

// libpng decodes the file into the rows; false on an error or when the header differs from the image's.
bool DecodeInto(const Bytes& file, const TTestImage& t, png_bytepp rows) {
    TMemorySource source{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    const bool same = png_get_image_width(png, info) == png_uint_32(t.Width) &&
                      png_get_image_height(png, info) == png_uint_32(t.Height) &&
                      png_get_bit_depth(png, info) == t.BitDepth &&
                      png_get_color_type(png, info) == t.ColorType &&
                      (png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7) == t.Interlaced;
    if (!same) png_error(png, "another format");
    png_set_interlace_handling(png);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// True when libpng decodes the file to the image's source samples, in the image's format.
bool DecodesToSource(const Bytes& file, const TTestImage& t) {
    Bytes image(t.RawBytes());
    std::vector<png_bytep> rows(std::size_t(t.Height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = image.data() + y * t.RowBytes();
    return DecodeInto(file, t, rows.data()) && image == *t.Raw;
}

// ---------------------------------------------------------------------------------------------
// Benchmarks and the ratio table

std::string BenchmarkName(const TTestImage& t, const TSetting& s, const char* encoder) {
    return "encode/" + t.Name + "/" + s.Name + "/" + encoder;
}

std::map<std::string, std::size_t> gSizes; // output bytes by benchmark name

void RegisterBenchmarks(std::vector<TTestImage>& images) {
    for (TTestImage& t : images)
        for (const TSetting& s : kSettings) {
            const auto rawBytes = std::int64_t(t.RawBytes());
            benchmark::RegisterBenchmark(BenchmarkName(t, s, "vorlanth").c_str(),
                                         [&t, &s, rawBytes](benchmark::State& state) {
                                             for (auto _ : state)
                                                 if (EncodeWithLibrary(t, s) == 0)
                                                     state.SkipWithError("failed");
                                             state.SetBytesProcessed(state.iterations() * rawBytes);
                                         })
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(BenchmarkName(t, s, "libpng").c_str(), [&t, &s, rawBytes](
                                                                                    benchmark::State& state) {
                for (auto _ : state) {
                    Bytes out;
                    if (!EncodeWithLibpng(t, &s, out)) state.SkipWithError("failed");
                    benchmark::DoNotOptimize(out.data());
                }
                state.SetBytesProcessed(state.iterations() * rawBytes);
            })->Unit(benchmark::kMillisecond);
        }
}

void PrintRatioTable(const std::vector<TTestImage>& images, const TCapturingReporter& reporter) {
    std::printf(
        "\nEncode times, median of the repetitions, in ms (wall / CPU), and output sizes; ratio = this "
        "library / libpng, below 1 means this library is faster or smaller\n");
    std::printf("%-12s %-5s %9s | %17s %17s | %8s %8s | %10s %10s | %8s\n", "image", "set", "raw MiB",
                "vorlanth", "libpng", "time", "", "vorlanth", "libpng", "size");
    std::printf("%-12s %-5s %9s | %17s %17s | %8s %8s | %10s %10s | %8s\n", "", "", "", "wall / cpu",
                "wall / cpu", "wall", "cpu", "MiB", "MiB", "ratio");
    for (const TTestImage& t : images)
        for (const TSetting& s : kSettings) {
            double wall[2] = {}, cpu[2] = {};
            const bool ran = reporter.Median(BenchmarkName(t, s, "vorlanth"), wall[0], cpu[0]) &&
                             reporter.Median(BenchmarkName(t, s, "libpng"), wall[1], cpu[1]);
            const double mine = double(gSizes[BenchmarkName(t, s, "vorlanth")]);
            const double peer = double(gSizes[BenchmarkName(t, s, "libpng")]);
            if (!ran) {
                std::printf("%-12s %-5s %9.1f | %17s %17s | %8s %8s | %10.2f %10.2f | %8.3f\n",
                            t.Name.c_str(), s.Name, double(t.RawBytes()) / 1048576.0, "n/a", "n/a", "n/a",
                            "n/a", mine / 1048576.0, peer / 1048576.0, mine / peer);
                continue;
            }
            std::printf(
                "%-12s %-5s %9.1f | %7.1f / %7.1f %7.1f / %7.1f | %8.2f %8.2f | %10.2f %10.2f | %8.3f\n",
                t.Name.c_str(), s.Name, double(t.RawBytes()) / 1048576.0, wall[0] * 1e3, cpu[0] * 1e3,
                wall[1] * 1e3, cpu[1] * 1e3, wall[0] / wall[1], cpu[0] / cpu[1], mine / 1048576.0,
                peer / 1048576.0, mine / peer);
        }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::int32_t side = 0;
    if (!bench::InitializeBenchmarks(argc, argv, side)) return 1;

    PictureInitialization();
    PngImageInitialization();

    std::printf("Generating %d x %d test images, loading them, checking both encoders (libpng %s) ...\n",
                side, side, png_get_libpng_ver(nullptr));
    std::fflush(stdout);
    std::vector<TTestImage> images = MakeImages(side);
    bool ok = true;
    for (TTestImage& t : images) {
        Bytes file;
        if (!EncodeWithLibpng(t, nullptr, file)) {
            std::fprintf(stderr, "%s: libpng could not encode the image\n", t.Name.c_str());
            return 1;
        }
        t.Image = std::make_unique<TPNGObject>();
        try {
            TCustomMemoryStream in(file.data(), std::int64_t(file.size()));
            t.Image->ReadPng(in);
        } catch (const Exception& e) {
            std::fprintf(stderr, "%s: this library could not load it: %s\n", t.Name.c_str(), e.what());
            return 1;
        }
        for (const TSetting& s : kSettings) {
            Bytes mine, peer;
            const bool mineOk = EncodeWithLibrary(t, s, &mine) > 0 && DecodesToSource(mine, t);
            const bool peerOk = EncodeWithLibpng(t, &s, peer) && DecodesToSource(peer, t);
            gSizes[BenchmarkName(t, s, "vorlanth")] = mine.size();
            gSizes[BenchmarkName(t, s, "libpng")] = peer.size();
            std::printf("  %-12s %-3s this library %.2f MiB (%s), libpng %.2f MiB (%s)\n", t.Name.c_str(),
                        s.Name, double(mine.size()) / 1048576.0, mineOk ? "decodes to the source" : "WRONG",
                        double(peer.size()) / 1048576.0, peerOk ? "decodes to the source" : "WRONG");
            ok = ok && mineOk && peerOk;
        }
    }
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "an encoder gave a wrong stream; no timing is reported\n");
        return 1;
    }

    RegisterBenchmarks(images);
    TCapturingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatioTable(images, reporter);

    images.clear();
    PngImageFinalization();
    PictureFinalization();
    return 0;
}
