// bench_draw: how fast this library draws a large image with an alpha channel, next to pixman.
//
// The program generates one 1920 x 1080 8-bit RGBA picture, deterministically: photo-like colour
// content (bench/photo_field.h, high bytes of its samples) and an alpha channel that is opaque in
// the middle, fades through partial values towards the corners, is fully transparent in the far
// corners and has hard-edged transparent holes. The picture is encoded once with libpng into memory
// and read by TPNGObject::ReadPng, as bench_decode does. Then, per iteration:
//   vorlanth  TPNGObject::DrawOn onto a 32-bit top-down bitmap section selected into a memory
//             context: 1920 x 1080 (unscaled) and 2560 x 1440 (scaled, nearest neighbour)
//   pixman    pixman_image_composite32 with PIXMAN_OP_OVER of the same picture, premultiplied
//             a8r8g8b8, onto an x8r8g8b8 surface of the same size: unscaled, and scaled to
//             2560 x 1440 through a scale transform with PIXMAN_FILTER_NEAREST
// Every iteration draws over what the previous one left. After the runs a table gives the time
// ratios of this library to pixman (median over the repetitions).
//
// Usage: bench_draw [benchmark flags]
//   Unless --benchmark_repetitions is given, every benchmark runs 3 repetitions.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>
#include <pixman.h>
#include <png.h>

#include "bench/bench_report.h"
#include "bench/photo_field.h"
#include "platform/gdi.h"
#include "png/pngimage.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

using bench::TCapturingReporter;

using bench::TPhotoField;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

// ---------------------------------------------------------------------------------------------
// The picture

struct TSourcePicture {
    Bytes Rgba; // rows top to bottom, red, green, blue, alpha
    Bytes Png;
    double Opaque = 0, Transparent = 0, Partial = 0; // shares of the pixels
};

TSourcePicture MakePicture() {
    TSourcePicture p;
    TPhotoField field(kWidth, kHeight, 0xD4A3C0DEull);
    const std::size_t w = std::size_t(kWidth);
    p.Rgba.resize(w * std::size_t(kHeight) * 4);
    std::vector<std::uint16_t> row(w * 4);
    std::size_t opaque = 0, transparent = 0;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        field.Row(y, row.data());
        std::uint8_t* out = p.Rgba.data() + std::size_t(y) * w * 4;
        for (std::size_t x = 0; x < w; ++x) {
            for (std::size_t k = 0; k < 3; ++k)
                out[4 * x + k] = std::uint8_t(row[4 * x + k] >> 8);
            // The field's alpha fades to about 0.2 in the corners; mapping its values up to 100 to zero
            // makes the corners fully transparent and keeps a wide partial ring.
            const int a = row[4 * x + 3] >> 8;
            const auto alpha = std::uint8_t(std::clamp((a - 100) * 255 / (255 - 100), 0, 255));
            out[4 * x + 3] = alpha;
            opaque += alpha == 255;
            transparent += alpha == 0;
        }
    }
    const double n = double(w) * kHeight;
    p.Opaque = double(opaque) / n;
    p.Transparent = double(transparent) / n;
    p.Partial = 1.0 - p.Opaque - p.Transparent;
    return p;
}

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// Encodes the picture with libpng's defaults.
bool EncodeWithLibpng(TSourcePicture& p) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(kHeight));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = p.Rgba.data() + y * std::size_t(kWidth) * 4;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &p.Png, AppendToVector, FlushNothing);
    png_set_IHDR(png, info, png_uint_32(kWidth), png_uint_32(kHeight), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The library's image memory holds the picture: blue, green, red rows and the alpha plane.
bool LibraryHoldsPicture(const TPNGObject& image, const TSourcePicture& p) {
    const TChunkIHDR& h = image.HeaderChunk();
    if (std::int32_t(h.Width) != kWidth || std::int32_t(h.Height) != kHeight || h.AlphaRow(0) == nullptr)
        return false;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        const std::uint8_t* src = p.Rgba.data() + std::size_t(y) * std::size_t(kWidth) * 4;
        const std::uint8_t* pixels = h.PixelRow(y);
        const std::uint8_t* alpha = h.AlphaRow(y);
        for (std::size_t x = 0; x < std::size_t(kWidth); ++x)
            if (pixels[3 * x] != src[4 * x + 2] || pixels[3 * x + 1] != src[4 * x + 1] ||
                pixels[3 * x + 2] != src[4 * x] || alpha[x] != src[4 * x + 3])
                return false;
    }
    return true;
}

// The background both sides draw over at first: a smooth two-colour gradient.
std::uint32_t BackgroundAt(std::int32_t x, std::int32_t y) {
    return std::uint32_t((x * 255 / 2560) << 16 | (y * 255 / 1440) << 8 | 0x60);
}

// ---------------------------------------------------------------------------------------------
// The two drawing sides

// A 32-bit top-down section in its own context, with a canvas over it.
class TLibraryTarget {
public:
    TLibraryTarget(std::int32_t width, std::int32_t height) : FWidth(width), FHeight(height) {
        FDC = CreateCompatibleDC(nullptr);
        BITMAPINFOHEADER h{40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        FSection = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
        FBits = static_cast<std::uint32_t*>(bits);
        if (FDC != nullptr && FSection != nullptr) FOld = SelectObject(FDC, FSection);
        FCanvas.SetHandle(FDC);
        Reset();
    }
    ~TLibraryTarget() {
        FCanvas.SetHandle(nullptr);
        if (FOld != nullptr) SelectObject(FDC, FOld);
        if (FSection != nullptr) DeleteObject(FSection);
        if (FDC != nullptr) DeleteDC(FDC);
    }
    TLibraryTarget(const TLibraryTarget&) = delete;
    TLibraryTarget& operator=(const TLibraryTarget&) = delete;

    bool Valid() const { return FBits != nullptr && FOld != nullptr; }
    void Reset() {
        for (std::int32_t y = 0; FBits != nullptr && y < FHeight; ++y)
            for (std::int32_t x = 0; x < FWidth; ++x)
                FBits[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] = BackgroundAt(x, y);
    }
    bool Draw(TPNGObject& image) {
        try {
            image.DrawOn(FCanvas, TRect{0, 0, FWidth, FHeight});
        } catch (const Exception& e) {
            std::fprintf(stderr, "this library failed to draw: %s: %s\n", e.ClassName(), e.what());
            return false;
        }
        return true;
    }
    const std::uint32_t* Bits() const { return FBits; }

private:
    std::int32_t FWidth, FHeight;
    HDC FDC = nullptr;
    HBITMAP FSection = nullptr;
    HGDIOBJ FOld = nullptr;
    std::uint32_t* FBits = nullptr;
    TCanvas FCanvas;
};

// The picture premultiplied as a8r8g8b8, and an x8r8g8b8 destination of the target size.
class TPixmanSide {
public:
    TPixmanSide(const TSourcePicture& p, std::int32_t width, std::int32_t height)
        : FWidth(width), FHeight(height), FSource(std::size_t(kWidth) * std::size_t(kHeight)),
          FTarget(std::size_t(width) * std::size_t(height)) {
        for (std::size_t i = 0; i < FSource.size(); ++i) {
            const std::uint8_t* s = p.Rgba.data() + 4 * i;
            const unsigned a = s[3];
            auto pre = [a](unsigned c) { return (c * a + 127) / 255; };
            FSource[i] = std::uint32_t(a << 24 | pre(s[0]) << 16 | pre(s[1]) << 8 | pre(s[2]));
        }
        FSourceImage = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, FSource.data(), kWidth * 4);
        FTargetImage = pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, FTarget.data(), width * 4);
        if (FSourceImage != nullptr && (width != kWidth || height != kHeight)) {
            // The transform maps destination pixel centres to source coordinates (16.16 fixed
            // point); the shift of half a scaled pixel (less one unit, as nearest filtering rounds
            // down from just below) makes it sample where this library does, at pixel corners.
            const double scaleX = double(kWidth) / width, scaleY = double(kHeight) / height;
            pixman_transform_t t;
            pixman_transform_init_scale(&t, pixman_fixed_t(std::lround(65536.0 * scaleX)),
                                        pixman_fixed_t(std::lround(65536.0 * scaleY)));
            t.matrix[0][2] = -pixman_fixed_t(std::lround(65536.0 * scaleX / 2)) + 1;
            t.matrix[1][2] = -pixman_fixed_t(std::lround(65536.0 * scaleY / 2)) + 1;
            pixman_image_set_transform(FSourceImage, &t);
        }
        if (FSourceImage != nullptr) pixman_image_set_filter(FSourceImage, PIXMAN_FILTER_NEAREST, nullptr, 0);
        Reset();
    }
    ~TPixmanSide() {
        if (FSourceImage != nullptr) pixman_image_unref(FSourceImage);
        if (FTargetImage != nullptr) pixman_image_unref(FTargetImage);
    }
    TPixmanSide(const TPixmanSide&) = delete;
    TPixmanSide& operator=(const TPixmanSide&) = delete;

    bool Valid() const { return FSourceImage != nullptr && FTargetImage != nullptr; }
    void Reset() {
        for (std::int32_t y = 0; y < FHeight; ++y)
            for (std::int32_t x = 0; x < FWidth; ++x)
                FTarget[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] = BackgroundAt(x, y);
    }
    void Draw() {
        pixman_image_composite32(PIXMAN_OP_OVER, FSourceImage, nullptr, FTargetImage, 0, 0, 0, 0, 0, 0,
                                 FWidth, FHeight);
    }
    const std::uint32_t* Bits() const { return FTarget.data(); }

private:
    std::int32_t FWidth, FHeight;
    std::vector<std::uint32_t> FSource, FTarget;
    pixman_image_t* FSourceImage = nullptr;
    pixman_image_t* FTargetImage = nullptr;
};

struct TCase {
    std::string Name;
    std::int32_t Width, Height;
};

const TCase kCases[] = {{"unscaled-1920x1080", 1920, 1080}, {"scaled-2560x1440", 2560, 1440}};
const char* const kSides[] = {"vorlanth", "pixman"};

std::string BenchmarkName(const TCase& c, const char* side) {
    return "draw/" + c.Name + "/" + side;
}

// One draw of each side over the same background; the largest channel difference and the share of
// pixels that differ at all (premultiplication and the blend's rounding differ slightly).
bool CompareOnce(TPNGObject& image, const TSourcePicture& p, const TCase& c, int& maxDifference,
                 double& differing) {
    TLibraryTarget library(c.Width, c.Height);
    TPixmanSide pixman(p, c.Width, c.Height);
    if (!library.Valid() || !pixman.Valid() || !library.Draw(image)) return false;
    pixman.Draw();
    maxDifference = 0;
    std::size_t count = 0;
    const std::size_t n = std::size_t(c.Width) * std::size_t(c.Height);
    for (std::size_t i = 0; i < n; ++i) {
        int worst = 0;
        for (int shift = 0; shift < 24; shift += 8)
            worst = std::max(worst, std::abs(int((library.Bits()[i] >> shift) & 0xFF) -
                                             int((pixman.Bits()[i] >> shift) & 0xFF)));
        maxDifference = std::max(maxDifference, worst);
        count += worst != 0;
    }
    differing = double(count) / double(n);
    return true;
}

void RegisterBenchmarks(TPNGObject& image, const TSourcePicture& p) {
    for (const TCase& c : kCases) {
        const auto targetBytes = std::int64_t(c.Width) * c.Height * 4;
        benchmark::RegisterBenchmark(BenchmarkName(c, "vorlanth").c_str(), [&image, c, targetBytes](
                                                                               benchmark::State& state) {
            TLibraryTarget target(c.Width, c.Height);
            if (!target.Valid()) state.SkipWithError("no target section");
            for (auto _ : state) {
                if (!target.Draw(image)) state.SkipWithError("draw failed");
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(state.iterations() * targetBytes);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(BenchmarkName(c, "pixman").c_str(), [&p, c, targetBytes](
                                                                             benchmark::State& state) {
            TPixmanSide side(p, c.Width, c.Height);
            if (!side.Valid()) state.SkipWithError("no pixman images");
            for (auto _ : state) {
                side.Draw();
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(state.iterations() * targetBytes);
        })->Unit(benchmark::kMillisecond);
    }
}

// ---------------------------------------------------------------------------------------------
// The ratio table

void PrintRatioTable(const TCapturingReporter& reporter) {
    std::printf("\nDraw times, median of the repetitions, in ms (wall / CPU); ratio = this library / pixman, "
                "below 1 means this library is faster\n");
    std::printf("%-20s | %17s %17s | %17s\n", "target", "vorlanth", "pixman", "vorlanth/pixman");
    std::printf("%-20s | %17s %17s | %8s %8s\n", "", "wall / cpu", "wall / cpu", "wall", "cpu");
    for (const TCase& c : kCases) {
        double wall[2] = {}, cpu[2] = {};
        bool ran[2] = {};
        char cells[2][32];
        for (int s = 0; s < 2; ++s) {
            ran[s] = reporter.Median(BenchmarkName(c, kSides[s]), wall[s], cpu[s]);
            if (ran[s])
                std::snprintf(cells[s], sizeof cells[s], "%7.2f / %7.2f", wall[s] * 1e3, cpu[s] * 1e3);
            else
                std::snprintf(cells[s], sizeof cells[s], "%17s", "n/a");
        }
        char ratios[2][16];
        for (int k = 0; k < 2; ++k) {
            if (ran[0] && ran[1])
                std::snprintf(ratios[k], sizeof ratios[k], "%8.2f",
                              k == 0 ? wall[0] / wall[1] : cpu[0] / cpu[1]);
            else
                std::snprintf(ratios[k], sizeof ratios[k], "%8s", "n/a");
        }
        std::printf("%-20s | %17s %17s | %8s %8s\n", c.Name.c_str(), cells[0], cells[1], ratios[0],
                    ratios[1]);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    bool repetitionsGiven = false;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0) repetitionsGiven = true;
        args.push_back(argv[i]);
    }
    static char defaultRepetitions[] = "--benchmark_repetitions=3";
    if (!repetitionsGiven) args.insert(args.begin() + 1, defaultRepetitions);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    PictureInitialization();
    PngImageInitialization();

    std::printf("Generating a %d x %d RGBA picture, encoding it with libpng %s, pixman %s ...\n", kWidth,
                kHeight, png_get_libpng_ver(nullptr), pixman_version_string());
    TSourcePicture picture = MakePicture();
    if (!EncodeWithLibpng(picture)) {
        std::fprintf(stderr, "libpng could not encode the picture\n");
        return 1;
    }
    auto image = std::make_unique<TPNGObject>();
    try {
        TCustomMemoryStream stream(picture.Png.data(), std::int64_t(picture.Png.size()));
        image->ReadPng(stream);
    } catch (const Exception& e) {
        std::fprintf(stderr, "this library could not read the picture: %s: %s\n", e.ClassName(), e.what());
        return 1;
    }
    if (!LibraryHoldsPicture(*image, picture)) {
        std::fprintf(stderr, "this library's image differs from the picture; no timing is reported\n");
        return 1;
    }
    std::printf("  png %.1f MiB; alpha: %.1f%% opaque, %.1f%% transparent, %.1f%% partial\n",
                double(picture.Png.size()) / 1048576.0, 100 * picture.Opaque, 100 * picture.Transparent,
                100 * picture.Partial);
    for (const TCase& c : kCases) {
        int maxDifference = 0;
        double differing = 0;
        if (!CompareOnce(*image, picture, c, maxDifference, differing)) {
            std::fprintf(stderr, "%s: a side could not draw\n", c.Name.c_str());
            return 1;
        }
        std::printf(
            "  %-20s one draw each over the same background: %.2f%% of the pixels differ, by at most %d\n",
            c.Name.c_str(), 100 * differing, maxDifference);
    }
    std::fflush(stdout);

    RegisterBenchmarks(*image, picture);
    TCapturingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatioTable(reporter);

    image.reset();
    PngImageFinalization();
    PictureFinalization();
    return 0;
}
