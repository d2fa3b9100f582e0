// Vector kernels and saves against the plain routines, and compressed text whose compression fails.
#include <gtest/gtest.h>

#include <random>

#include "platform/faults.h"
#include "png/pngrowstore.h"
#include "png/pngsimd.h"
#include "support/png_load.h"

using namespace pngtest;

namespace {

// Random bytes, a quarter of them from the values where sums wrap and predictors tie.
Bytes AwkwardBytes(std::mt19937& random, std::size_t n) {
    static const std::uint8_t edges[] = {0, 1, 127, 128, 254, 255};
    Bytes out(n);
    for (auto& b : out)
        b = random() % 4 == 0 ? edges[random() % 6] : static_cast<std::uint8_t>(random());
    return out;
}

// The unfiltered row straight from the filters' definitions (the plain routine's oracle).
Bytes Unfiltered(Bytes row, const std::uint8_t* prior, std::int32_t length, std::int32_t d) {
    for (std::int32_t i = 1; i <= length && row[0] >= 1 && row[0] <= 4; ++i) {
        const int a = i > d ? row[std::size_t(i - d)] : 0, b = prior[i], c = i > d ? prior[i - d] : 0;
        const int add = row[0] == 1   ? a
                        : row[0] == 2 ? b
                        : row[0] == 3 ? (a + b) / 2
                                      : PaethPredictor(a, b, c);
        row[std::size_t(i)] = static_cast<std::uint8_t>(row[std::size_t(i)] + add);
    }
    return row;
}

// Each level the machine offers runs the unfilter routines on the same rows as the plain routine:
// every filter type (and an unknown one), every pixel distance, 1 to 67 pixels, rows and previous
// rows at unaligned addresses, with bytes past the row that must stay untouched.
TEST(Kernels, UnfilterAtEveryLevelMatchesThePlainRoutine) {
    const TSimdLevel levels[] = {TSimdLevel::SSE2, TSimdLevel::AVX2};
    struct TLevelReset {
        ~TLevelReset() { ResetSimdLevel(); }
    } reset;
    std::mt19937 random(2026);
    for (std::int32_t distance = 1; distance <= 8; ++distance) {
        for (std::int32_t pixels = 1; pixels <= 67; ++pixels) {
            const std::int32_t length = pixels * distance;
            const auto at = std::size_t(pixels % 7);
            const Bytes prior = AwkwardBytes(random, std::size_t(length) + 1 + 16);
            for (std::uint8_t filter = 0; filter <= 5; ++filter) {
                Bytes input = AwkwardBytes(random, std::size_t(length) + 1 + 16);
                input[at] = filter;
                ForceSimdLevel(TSimdLevel::Plain);
                Bytes plain = input;
                SelectUnfilter(distance)(plain.data() + at, prior.data() + at + 1, length, distance);
                const Bytes row(input.begin() + std::ptrdiff_t(at), input.end());
                ASSERT_EQ(Bytes(plain.begin() + std::ptrdiff_t(at), plain.end()),
                          Unfiltered(row, prior.data() + at + 1, length, distance))
                    << "plain, distance " << distance << ", " << pixels << " pixels, filter " << int(filter);
                for (const TSimdLevel level : levels) {
                    if (level > SupportedSimdLevel()) continue;
                    ForceSimdLevel(level);
                    Bytes vector = input;
                    SelectUnfilter(distance)(vector.data() + at, prior.data() + at + 1, length, distance);
                    ASSERT_EQ(vector, plain) << "level " << int(level) << ", distance " << distance << ", "
                                             << pixels << " pixels, filter " << int(filter);
                }
            }
        }
    }
}

// Two rows unfiltered together give what the plain routine gives for one row after the other: every
// pair of filter types (unknown ones too), the vector distances, 1 to 40 pixels.
TEST(Kernels, PairedUnfilterMatchesThePlainRoutineRowByRow) {
    const TUnfilterPairRoutine pair = SelectUnfilterPair(4);
    if (pair == nullptr) GTEST_SKIP() << "no paired routine at this level";
    std::mt19937 random(99);
    for (const std::int32_t distance : {3, 4, 6, 8}) {
        for (std::int32_t pixels = 1; pixels <= 40; ++pixels) {
            const std::int32_t length = pixels * distance;
            const auto size = std::size_t(length) + 1;
            const Bytes prior = AwkwardBytes(random, size + kUnfilterReadPast);
            for (std::uint8_t first = 0; first <= 5; ++first) {
                for (std::uint8_t second = 0; second <= 5; ++second) {
                    Bytes rows = AwkwardBytes(random, 2 * size + kUnfilterReadPast);
                    rows[0] = first;
                    rows[size] = second;
                    Bytes expected = rows;
                    expected.resize(size);
                    expected = Unfiltered(expected, prior.data(), length, distance);
                    Bytes next(rows.begin() + std::ptrdiff_t(size), rows.end());
                    next = Unfiltered(next, expected.data(), length, distance);
                    expected.insert(expected.end(), next.begin(), next.end()); // the bytes past unchanged
                    SelectUnfilterPair(distance)(rows.data(), rows.data() + size, prior.data(), length,
                                                 distance);
                    ASSERT_EQ(rows, expected) << "distance " << distance << ", " << pixels
                                              << " pixels, filters " << int(first) << " and " << int(second);
                }
            }
        }
    }
}

// Four rows of Average and Paeth unfiltered together give what the definition gives row after row:
// every mix of the two, the vector distances, 1 to 40 pixels, rows further apart than their length.
TEST(Kernels, FourRowUnfilterMatchesTheDefinitionRowByRow) {
    std::mt19937 random(7);
    for (const std::int32_t distance : {3, 4}) {
        const TUnfilterQuadRoutine quad = SelectUnfilterQuad(distance);
        if (quad == nullptr) GTEST_SKIP() << "no four-row routine at this level";
        for (int mix = 0; mix < 16; ++mix) {
            for (std::int32_t pixels = 1; pixels <= 40; ++pixels) {
                const std::int32_t length = distance * pixels;
                const auto pitch = std::size_t(length) + 1 + std::size_t(pixels % 5);
                const Bytes prior = AwkwardBytes(random, pitch + kUnfilterReadPast);
                Bytes rows = AwkwardBytes(random, 4 * pitch + kUnfilterReadPast);
                Bytes expected = rows;
                const std::uint8_t* above = prior.data();
                for (std::size_t k = 0; k < 4; ++k) {
                    rows[k * pitch] = expected[k * pitch] = mix >> k & 1 ? 4 : 3;
                    const auto row = expected.begin() + std::ptrdiff_t(k * pitch);
                    const Bytes done = Unfiltered(Bytes(row, row + length + 1), above, length, distance);
                    std::copy(done.begin(), done.end(), row);
                    above = expected.data() + k * pitch;
                }
                quad(rows.data(), std::ptrdiff_t(pitch), prior.data(), length);
                ASSERT_EQ(rows, expected)
                    << "distance " << distance << ", filters " << mix << ", " << pixels << " pixels";
            }
        }
    }
}

// The vector row stores of colour against the plain ones: 8-bit RGB and RGBA and 16-bit RGB, 1 to
// 40 pixels, sequential rows and interlaced ones with and without gaps, into rows whose bytes around
// the written columns must stay as they were.
TEST(Kernels, ColourRowStoresAtEveryLevelMatchThePlainRoutine) {
    struct TLevelReset {
        ~TLevelReset() { ResetSimdLevel(); }
    } reset;
    std::uint8_t identity[256];
    for (int i = 0; i < 256; ++i)
        identity[i] = static_cast<std::uint8_t>(i);
    const struct {
        std::int32_t Start, Step;
        bool Sequential;
    } layouts[] = {{0, 1, true}, {0, 1, false}, {3, 1, false}, {1, 2, false}, {0, 2, false}, {2, 4, false}};
    const struct {
        std::uint8_t ColorType, BitDepth;
        std::int32_t PixelBytes;
    } formats[] = {{2, 8, 3}, {6, 8, 4}, {2, 16, 6}};
    std::mt19937 random(7);
    for (const auto& format : formats) {
        for (std::int32_t count = 1; count <= 40; ++count) {
            const Bytes src = AwkwardBytes(random, std::size_t(format.PixelBytes * count));
            const std::size_t plane = std::size_t(3 * (3 + 4 * count) + 32); // pixel row, low bytes, alpha
            const Bytes canvas = AwkwardBytes(random, 3 * plane);
            for (const auto& layout : layouts) {
                Bytes results[2];
                for (int level = 0; level < 2; ++level) {
                    ForceSimdLevel(level == 0 ? TSimdLevel::SSE2 : TSimdLevel::AVX2);
                    const TRowStore store = SelectRowStore(format.ColorType, format.BitDepth, identity);
                    results[level] = canvas;
                    std::uint8_t* pixels = results[level].data();
                    const TRowStoreArgs args{identity, format.PixelBytes * count};
                    (layout.Sequential ? store.Sequential : store.Interlaced)(
                        args, src.data(), pixels, pixels + plane, pixels + 2 * plane, layout.Start,
                        layout.Step, count);
                }
                ASSERT_EQ(results[1], results[0])
                    << "colour type " << int(format.ColorType) << ", depth " << int(format.BitDepth) << ", "
                    << count << " pixels, start " << layout.Start << ", step " << layout.Step;
            }
        }
    }
}

// A compressed text that cannot be compressed fails the save with the library's zlib message
// instead of leaving its chunk out of the file.
// Saves of 8-bit colour images, sequential and interlaced, with Sub alone and with every filter,
// come out byte for byte the same at every level as at the plain one: the packing, the fused
// packing with Sub and the filters must agree wherever the save routes a row.
TEST(Kernels, ColourSavesAtEveryLevelMatchThePlainOne) {
    std::mt19937 random(20261209);
    constexpr std::uint32_t width = 37, height = 9; // odd widths reach every routine's tail
    for (const std::uint8_t colorType : {std::uint8_t(2), std::uint8_t(6)}) {
        const std::size_t row = 1 + width * (colorType == 6 ? 4 : 3);
        Bytes raw = AwkwardBytes(random, row * height);
        for (std::size_t y = 0; y < height; ++y)
            raw[y * row] = 0; // filter None
        TPNGObject image;
        Load(image, Png(IhdrBody(width, height, 8, colorType), {Chunk("IDAT", Compress(raw))}));
        for (const std::uint8_t interlace : {0, 1})
            for (const TPNGFilterSet filters : {TPNGFilterSet(FilterBit(pfSub)), TPNGFilterSet(0x1F)}) {
                image.InterlaceMode = interlace;
                image.FilterSet = filters;
                ForceSimdLevel(TSimdLevel::Plain);
                const Bytes plain = Save(image);
                for (const TSimdLevel level : {TSimdLevel::SSE2, TSimdLevel::AVX2}) {
                    if (level > SupportedSimdLevel()) continue;
                    ForceSimdLevel(level);
                    EXPECT_EQ(Save(image), plain)
                        << "colour type " << int(colorType) << ", interlace " << int(interlace)
                        << ", filters " << int(filters) << ", level " << int(level);
                }
                ResetSimdLevel();
            }
    }
}

TEST(Kernels, CompressedTextThatFailsToCompressFailsTheSave) {
    TPNGObject image;
    Load(image, Png(IhdrBody(1, 1, 8, 2), {Chunk("IDAT", Compress({0, 0, 0, 0}))}));
    auto* text = static_cast<TChunkzTXt*>(image.Chunks().AddByClass(TChunkzTXt::Class));
    text->Keyword = "Comment";
    text->Text = "lost if the save goes on";
    std::string message;
    faults::BeginSweep(1); // the first allocation point fails: the text's compression
    try {
        Save(image);
    } catch (const EPNGZLIBError& e) {
        message = e.Message();
    }
    faults::EndSweep();
    EXPECT_EQ(message, std::string(pnglang::EPNGZLIBErrorText) + pnglang::ZlibMessage(Z_MEM_ERROR));
    EXPECT_NO_THROW(Save(image));
}

} // namespace
