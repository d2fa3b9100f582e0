// bench_decode: how fast this library decodes large PNG images from memory, next to libpng and spng.
//
// The program generates its test images once per run, deterministically: photo-like content made of
// smooth gradients, hard-edged shapes and low-amplitude noise, so that the compressed data behaves
// like that of real pictures. Each image is encoded once with libpng (default filter heuristic,
// default zlib level) into memory, checked to decode to the same samples with all three decoders, and
// then each decoder is timed on it:
//   vorlanth  TPNGObject::ReadPng from a TCustomMemoryStream over the bytes (a fresh image object per
//             decode, so its image memory is allocated and filled every time)
//   libpng    the row API (png_read_row) into a reusable full-image buffer, no transforms except
//             interlace handling for the interlaced image
//   spng      spng_decode_image with SPNG_FMT_PNG (no conversion) into a reusable buffer
//   inflate   the inflater alone: the image's IDAT data (concatenated once at setup) inflated whole,
//             in one call, by the engine this run uses (MakeImageInflater(ImageInflateEngine())) into a
//             reusable buffer of the raw size; the floor that unfiltering and storing add to
// After the runs a table gives the time ratios of this library to each peer and to the inflater
// alone, from the measured times (median over the repetitions).
//
// Usage: bench_decode [--image_size=N] [benchmark flags]
//   --image_size=N  side of the square test images (default 4096)
//   Unless --benchmark_repetitions is given, every benchmark runs 3 repetitions.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>

#include "bench/bench_report.h"
#include "bench/photo_field.h"
#include "png/pngimage.h"
#include "png/pnginflate.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

using bench::MakePhotoSamples;
using bench::TCapturingReporter;
using bench::TPhotoSamples;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------------------------
// Test images

struct TTestImage {
    std::string Name;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int ColorType = 0; // 2 RGB, 6 RGBA
    int BitDepth = 8;
    bool Interlaced = false;
    std::shared_ptr<const Bytes> Raw; // rows top to bottom in PNG sample layout (16-bit big-endian)
    Bytes Png;
    Bytes Idat; // the image data chunks' contents, concatenated: one zlib stream

    int Channels() const { return ColorType == 6 ? 4 : 3; }
    std::size_t RowBytes() const {
        return std::size_t(Width) * std::size_t(Channels()) * std::size_t(BitDepth / 8);
    }
    std::size_t RawBytes() const { return RowBytes() * std::size_t(Height); }
};

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// Encodes the image's raw rows with libpng's defaults (adaptive filters, zlib level 6).
bool EncodeWithLibpng(TTestImage& image) {
    image.Png.clear();
    image.Png.reserve(image.RawBytes() / 2);
    std::vector<png_bytep> rows(std::size_t(image.Height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = const_cast<png_bytep>(image.Raw->data() + y * image.RowBytes());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &image.Png, AppendToVector, FlushNothing);
    png_set_IHDR(png, info, png_uint_32(image.Width), png_uint_32(image.Height), image.BitDepth,
                 image.ColorType, image.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data()); // handles the interlace passes itself
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::vector<TTestImage> MakeImages(std::int32_t side) {
    const TPhotoSamples samples = MakePhotoSamples(side);
    const auto& rgba8 = samples.Rgba8;
    const auto& rgb8 = samples.Rgb8;
    const auto& rgb16 = samples.Rgb16;
    std::vector<TTestImage> images(4);
    images[0] = {"rgba8", side, side, 6, 8, false, rgba8, {}, {}};
    images[1] = {"rgb8", side, side, 2, 8, false, rgb8, {}, {}};
    images[2] = {"rgb16", side, side, 2, 16, false, rgb16, {}, {}};
    images[3] = {"rgba8-adam7", side, side, 6, 8, true, rgba8, {}, {}};
    return images;
}

// ---------------------------------------------------------------------------------------------
// The decoders

// This library: a fresh image object per decode, read from a read-only view over the bytes.
bool DecodeWithLibrary(const Bytes& png, std::unique_ptr<TPNGObject>* keep = nullptr) {
    auto image = std::make_unique<TPNGObject>();
    try {
        TCustomMemoryStream stream(png.data(), std::int64_t(png.size()));
        image->ReadPng(stream);
    } catch (const Exception& e) {
        std::fprintf(stderr, "this library failed: %s: %s\n", e.ClassName(), e.what());
        return false;
    }
    benchmark::DoNotOptimize(image->HeaderChunk().PixelRows());
    if (keep != nullptr) *keep = std::move(image);
    return true;
}

struct TMemorySource {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<TMemorySource*>(png_get_io_ptr(png));
    if (length > source->Size - source->Position) png_error(png, "read past the end of the data");
    std::memcpy(out, source->Data + source->Position, length);
    source->Position += length;
}

// libpng's row API into the rows given (a full image, reused across decodes).
bool DecodeWithLibpng(const Bytes& data, png_bytep const* rows, std::int32_t height) {
    TMemorySource source{data.data(), data.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    if (png_get_image_height(png, info) != png_uint_32(height)) png_error(png, "unexpected height");
    // A no-op for sequential images; for Adam7 it makes png_read_row merge each pass into the rows.
    const int passes = png_set_interlace_handling(png);
    png_start_read_image(png);
    for (int pass = 0; pass < passes; ++pass)
        for (std::int32_t y = 0; y < height; ++y)
            png_read_row(png, rows[y], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// spng, no conversion, into out (reused across decodes).
bool DecodeWithSpng(const Bytes& data, std::uint8_t* out, std::size_t outSize) {
    spng_ctx* ctx = spng_ctx_new(0);
    if (ctx == nullptr) return false;
    int rc = spng_set_png_buffer(ctx, data.data(), data.size());
    std::size_t needed = 0;
    if (rc == 0) rc = spng_decoded_image_size(ctx, SPNG_FMT_PNG, &needed);
    if (rc == 0 && needed != outSize) rc = -1;
    if (rc == 0) rc = spng_decode_image(ctx, out, outSize, SPNG_FMT_PNG, 0);
    spng_ctx_free(ctx);
    return rc == 0;
}

// The zlib stream of a PNG file: the data of its IDAT chunks in order.
Bytes ConcatenateIdat(const Bytes& png) {
    Bytes out;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | std::size_t(png[at + 1]) << 16 |
                                   std::size_t(png[at + 2]) << 8 | png[at + 3];
        if (at + 12 + length > png.size()) break;
        if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0)
            out.insert(out.end(), png.begin() + std::ptrdiff_t(at + 8),
                       png.begin() + std::ptrdiff_t(at + 8 + length));
        at += 12 + length;
    }
    return out;
}

// Bytes of the inflated stream: every row (of every Adam7 pass) with its filter type byte.
std::size_t InflatedSize(const TTestImage& t) {
    const std::size_t pixel = std::size_t(t.Channels()) * std::size_t(t.BitDepth / 8);
    if (!t.Interlaced) return (1 + pixel * std::size_t(t.Width)) * std::size_t(t.Height);
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}; // column, row, steps
    std::size_t total = 0;
    for (const auto& p : passes) {
        const std::size_t w = std::size_t(std::max(0, (t.Width - p[0] + p[2] - 1) / p[2]));
        const std::size_t h = std::size_t(std::max(0, (t.Height - p[1] + p[3] - 1) / p[3]));
        if (w > 0) total += h * (1 + pixel * w);
    }
    return total;
}

// The inflater alone: the whole stream in one call into out (reused), which must come out full.
bool InflateAlone(const Bytes& idat, Bytes& out) {
    int result = Z_OK;
    const std::unique_ptr<TImageInflater> inflater = MakeImageInflater(ImageInflateEngine(), result);
    if (!inflater) return false;
    TInflateBuffers io{idat.data(), idat.size(), out.data(), out.size()};
    while (io.AvailOut > 0) {
        const int r = inflater->Inflate(io);
        if (r == Z_STREAM_END) break;
        if (r != Z_OK) return false;
    }
    return io.AvailOut == 0;
}

// ---------------------------------------------------------------------------------------------
// Checking that every decoder gives the source samples

bool LibraryMatches(const TPNGObject& image, const TTestImage& t) {
    const TChunkIHDR& h = image.HeaderChunk();
    if (std::int64_t(h.Width) != t.Width || std::int64_t(h.Height) != t.Height || h.BitDepth != t.BitDepth ||
        h.ColorType != t.ColorType || h.PixelRows() == nullptr)
        return false;
    const bool wide = t.BitDepth == 16;
    if (wide != (h.LowBytePlane() != nullptr) || (t.ColorType == 6) != (h.AlphaPlane() != nullptr))
        return false;
    const std::size_t channels = std::size_t(t.Channels());
    const std::size_t sample = wide ? 2 : 1;
    for (std::int32_t y = 0; y < t.Height; ++y) {
        const std::uint8_t* src = t.Raw->data() + std::size_t(y) * t.RowBytes();
        const std::uint8_t* pixels = h.PixelRow(y);
        const std::uint8_t* low = h.LowByteRow(y);
        const std::uint8_t* alpha = h.AlphaRow(y);
        for (std::size_t x = 0; x < std::size_t(t.Width); ++x) {
            const std::uint8_t* s = src + x * channels * sample;
            // The pixel rows hold blue, green, red.
            for (std::size_t c = 0; c < 3; ++c) {
                if (pixels[3 * x + 2 - c] != s[c * sample]) return false;
                if (wide && low[3 * x + 2 - c] != s[c * sample + 1]) return false;
            }
            if (alpha != nullptr && alpha[x] != s[3 * sample]) return false;
        }
    }
    return true;
}

bool SpngMatches(const Bytes& out, const TTestImage& t) {
    if (out.size() != t.RawBytes()) return false;
    if (t.BitDepth == 8) return out == *t.Raw;
    // SPNG_FMT_PNG gives 16-bit samples in host order; the source is big-endian.
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
        const std::uint16_t v = std::uint16_t((*t.Raw)[i] << 8 | (*t.Raw)[i + 1]);
        std::uint16_t got = 0;
        std::memcpy(&got, out.data() + i, 2);
        if (got != v) return false;
    }
    return true;
}

struct TReusable {
    Bytes Image;
    std::vector<png_bytep> Rows;
};

TReusable MakeReusable(const TTestImage& t) {
    TReusable r;
    r.Image.assign(t.RawBytes(), 0);
    r.Rows.resize(std::size_t(t.Height));
    for (std::size_t y = 0; y < r.Rows.size(); ++y)
        r.Rows[y] = r.Image.data() + y * t.RowBytes();
    return r;
}

bool VerifyDecoders(const TTestImage& t) {
    bool ok = true;
    std::unique_ptr<TPNGObject> image;
    if (!DecodeWithLibrary(t.Png, &image) || !LibraryMatches(*image, t)) {
        std::fprintf(stderr, "%s: this library's image differs from the source\n", t.Name.c_str());
        ok = false;
    }
    image.reset();
    TReusable r = MakeReusable(t);
    if (!DecodeWithLibpng(t.Png, r.Rows.data(), t.Height) || r.Image != *t.Raw) {
        std::fprintf(stderr, "%s: libpng's image differs from the source\n", t.Name.c_str());
        ok = false;
    }
    std::fill(r.Image.begin(), r.Image.end(), std::uint8_t(0));
    if (!DecodeWithSpng(t.Png, r.Image.data(), r.Image.size()) || !SpngMatches(r.Image, t)) {
        std::fprintf(stderr, "%s: spng's image differs from the source\n", t.Name.c_str());
        ok = false;
    }
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Benchmarks and the ratio table

const char* const kDecoders[] = {"vorlanth", "libpng", "spng", "inflate"};

std::string BenchmarkName(const TTestImage& t, const char* decoder) {
    return "decode/" + t.Name + "/" + decoder;
}

void RegisterBenchmarks(const std::vector<TTestImage>& images) {
    for (const TTestImage& t : images) {
        const auto rawBytes = std::int64_t(t.RawBytes());
        benchmark::RegisterBenchmark(BenchmarkName(t, "vorlanth").c_str(), [&t, rawBytes](
                                                                               benchmark::State& state) {
            for (auto _ : state)
                if (!DecodeWithLibrary(t.Png)) state.SkipWithError("decode failed");
            state.SetBytesProcessed(state.iterations() * rawBytes);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(BenchmarkName(t, "libpng").c_str(), [&t,
                                                                          rawBytes](benchmark::State& state) {
            TReusable r = MakeReusable(t);
            for (auto _ : state) {
                if (!DecodeWithLibpng(t.Png, r.Rows.data(), t.Height)) state.SkipWithError("decode failed");
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(state.iterations() * rawBytes);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(BenchmarkName(t, "spng").c_str(), [&t,
                                                                        rawBytes](benchmark::State& state) {
            TReusable r = MakeReusable(t);
            for (auto _ : state) {
                if (!DecodeWithSpng(t.Png, r.Image.data(), r.Image.size()))
                    state.SkipWithError("decode failed");
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(state.iterations() * rawBytes);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(BenchmarkName(t, "inflate").c_str(), [&t, rawBytes](
                                                                              benchmark::State& state) {
            Bytes out(InflatedSize(t));
            for (auto _ : state) {
                if (!InflateAlone(t.Idat, out)) state.SkipWithError("inflate failed");
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(state.iterations() * rawBytes);
        })->Unit(benchmark::kMillisecond);
    }
}

void PrintRatioTable(const std::vector<TTestImage>& images, const TCapturingReporter& reporter) {
    std::printf("\nDecode times, median of the repetitions, in ms (wall / CPU); ratio = this library / peer "
                "(below 1: this library is faster) and / the inflater alone on the same data\n");
    std::printf("%-12s %7s %7s | %15s %15s %15s %15s | %17s %17s %17s\n", "image", "raw MiB", "png MiB",
                "vorlanth", "libpng", "spng", "inflate alone", "vorlanth/libpng", "vorlanth/spng",
                "vorlanth/inflate");
    std::printf("%-12s %7s %7s | %15s %15s %15s %15s | %8s %8s %8s %8s %8s %8s\n", "", "", "", "wall / cpu",
                "wall / cpu", "wall / cpu", "wall / cpu", "wall", "cpu", "wall", "cpu", "wall", "cpu");
    constexpr int kCount = int(std::size(kDecoders));
    for (const TTestImage& t : images) {
        double wall[kCount] = {}, cpu[kCount] = {};
        bool ran[kCount] = {};
        char cells[kCount][32];
        for (int d = 0; d < kCount; ++d) {
            ran[d] = reporter.Median(BenchmarkName(t, kDecoders[d]), wall[d], cpu[d]);
            if (ran[d])
                std::snprintf(cells[d], sizeof cells[d], "%6.1f / %6.1f", wall[d] * 1e3, cpu[d] * 1e3);
            else
                std::snprintf(cells[d], sizeof cells[d], "%15s", "n/a");
        }
        char ratios[2 * (kCount - 1)][16];
        for (int d = 1; d < kCount; ++d) {
            char* w = ratios[2 * (d - 1)];
            char* c = ratios[2 * (d - 1) + 1];
            if (ran[0] && ran[d]) {
                std::snprintf(w, sizeof ratios[0], "%8.2f", wall[0] / wall[d]);
                std::snprintf(c, sizeof ratios[0], "%8.2f", cpu[0] / cpu[d]);
            } else {
                std::snprintf(w, sizeof ratios[0], "%8s", "n/a");
                std::snprintf(c, sizeof ratios[0], "%8s", "n/a");
            }
        }
        std::printf("%-12s %7.1f %7.1f | %15s %15s %15s %15s | %8s %8s %8s %8s %8s %8s\n", t.Name.c_str(),
                    double(t.RawBytes()) / 1048576.0, double(t.Png.size()) / 1048576.0, cells[0], cells[1],
                    cells[2], cells[3], ratios[0], ratios[1], ratios[2], ratios[3], ratios[4], ratios[5]);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::int32_t side = 0;
    if (!bench::InitializeBenchmarks(argc, argv, side)) return 1;

    PictureInitialization();
    PngImageInitialization();

    std::printf("Generating and encoding %d x %d test images with libpng %s ...\n", side, side,
                png_get_libpng_ver(nullptr));
    std::fflush(stdout);
    std::vector<TTestImage> images = MakeImages(side);
    bool ok = true;
    for (TTestImage& t : images) {
        if (!EncodeWithLibpng(t)) {
            std::fprintf(stderr, "%s: libpng could not encode the image\n", t.Name.c_str());
            return 1;
        }
        t.Idat = ConcatenateIdat(t.Png);
        Bytes inflated(InflatedSize(t));
        if (!InflateAlone(t.Idat, inflated)) {
            std::fprintf(stderr, "%s: the inflater alone could not inflate the image data\n", t.Name.c_str());
            return 1;
        }
        const bool same = VerifyDecoders(t);
        ok = ok && same;
        std::printf("  %-12s %s, %2d-bit, %s: raw %.1f MiB, png %.1f MiB (%.1f%% of raw), decoders %s\n",
                    t.Name.c_str(), t.ColorType == 6 ? "RGBA" : "RGB", t.BitDepth,
                    t.Interlaced ? "Adam7" : "sequential", double(t.RawBytes()) / 1048576.0,
                    double(t.Png.size()) / 1048576.0, 100.0 * double(t.Png.size()) / double(t.RawBytes()),
                    same ? "agree" : "DISAGREE");
    }
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "a decoder gave wrong samples; no timing is reported\n");
        return 1;
    }

    RegisterBenchmarks(images);
    TCapturingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatioTable(images, reporter);

    PngImageFinalization();
    PictureFinalization();
    return 0;
}
