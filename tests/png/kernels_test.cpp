// Vector kernels against the plain routines, and compressed text whose compression fails.
#include <gtest/gtest.h>

#include <random>

#include "platform/faults.h"
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
            const Bytes prior = AwkwardBytes(random, std::size_t(length) + 1 + 8);
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

// A compressed text that cannot be compressed fails the save with the library's zlib message
// instead of leaving its chunk out of the file.
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
