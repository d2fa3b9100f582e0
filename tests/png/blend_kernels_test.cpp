// The colour blend of every vector level against the plain routine.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "png/pngblend.h"
#include "png/pngrowpack.h"
#include "support/png_builder.h"

using namespace pngtest;

namespace {

using u8 = std::uint8_t;

// Random rows of every width from 1 to 67 pixels at unaligned starts, alpha in runs of 0, of 255
// and of mixed values (so that skipped, copied and blended groups all occur): the plain routine
// follows the blend rule, and every level the machine offers writes the same bytes.
TEST(BlendKernels, EveryLevelMatchesPlain) {
    std::mt19937 random(20261208);
    for (const bool scaled : {false, true})
        for (std::int32_t width = 1; width <= 67; ++width) {
            const std::size_t n = std::size_t(width), sourceWidth = scaled ? 1 + random() % 80 : n;
            const std::size_t at = random() % 4, from = random() % 4; // target and source offsets
            Bytes target(at + 4 * n), pixels(from + 3 * sourceWidth), alpha(from + sourceWidth);
            for (u8& b : target)
                b = u8(random());
            for (u8& b : pixels)
                b = u8(random());
            for (std::size_t i = from; i < alpha.size();)
                for (unsigned kind = random() % 3, run = 1 + random() % 12; run > 0 && i < alpha.size();
                     --run)
                    alpha[i++] = kind == 0 ? 0 : kind == 1 ? 255 : u8(random());
            std::vector<std::int32_t> columns(n);
            for (std::size_t x = 0; x < n; ++x)
                columns[x] = std::int32_t(scaled ? random() % sourceWidth : x);
            // Scaled rows are expanded into 32-bit pixels and gathered through the column map first.
            auto blend = [&](TSimdLevel level) {
                Bytes out = target;
                if (scaled) {
                    Bytes expanded(4 * sourceWidth), quads(4 * n);
                    QuadExpandFor(level)(expanded.data(), pixels.data() + from, alpha.data() + from,
                                         std::int32_t(sourceWidth));
                    QuadGatherFor(level)(quads.data(), expanded.data(), columns.data(), width);
                    QuadBlendFor(level)(out.data() + at, quads.data(), width);
                } else {
                    ColourBlendFor(level)(out.data() + at, pixels.data() + from, alpha.data() + from, width);
                }
                return out;
            };
            const Bytes plain = blend(TSimdLevel::Plain);
            for (std::size_t x = 0; x < n; ++x)
                for (std::size_t k = 0; k < 4; ++k) {
                    const std::size_t sx = std::size_t(columns[x]), t = at + 4 * x + k;
                    const u8 rule =
                        k == 3 ? target[t]
                               : BlendChannel(pixels[from + 3 * sx + k], target[t], alpha[from + sx]);
                    ASSERT_EQ(plain[t], rule) << "width " << width << ", pixel " << x << ", byte " << k;
                }
            for (const TSimdLevel level : {TSimdLevel::SSE2, TSimdLevel::AVX2}) {
                if (level > SupportedSimdLevel()) continue;
                ForceSimdLevel(level);
                const Bytes vector = blend(ActiveSimdLevel());
                ResetSimdLevel();
                EXPECT_EQ(vector, plain)
                    << "level " << int(level) << (scaled ? " scaled" : "") << ", width " << width;
            }
        }
}

// Sequential 8-bit colour rows packed at every level, plain and through the Sub filter: red, green,
// blue (and alpha) from the stored blue, green, red, for every width from 1 to 67 pixels, and no
// byte past the scanline written.
TEST(BlendKernels, ColourRowPackingAtEveryLevel) {
    std::mt19937 random(20261209);
    std::vector<u8> identity(256);
    for (int i = 0; i < 256; ++i)
        identity[std::size_t(i)] = u8(i);
    for (const int channels : {3, 4})
        for (std::int32_t width = 1; width <= 67; ++width) {
            const std::size_t n = std::size_t(width), length = n * std::size_t(channels);
            Bytes pixels(3 * n), alpha(n), want(length + 16, 0xA5);
            for (u8& b : pixels)
                b = u8(random());
            for (u8& b : alpha)
                b = u8(random());
            for (std::size_t x = 0; x < n; ++x)
                for (std::size_t k = 0; k < std::size_t(channels); ++k)
                    want[std::size_t(channels) * x + k] = k == 3 ? alpha[x] : pixels[3 * x + 2 - k];
            for (const TSimdLevel level : {TSimdLevel::Plain, TSimdLevel::SSE2, TSimdLevel::AVX2}) {
                if (level > SupportedSimdLevel()) continue;
                ForceSimdLevel(level);
                const TRowPack pack = SelectRowPack(channels == 4 ? 6 : 2, 8, identity.data());
                ResetSimdLevel();
                Bytes out(length + 16, 0xA5);
                pack.Sequential({identity.data(), std::int32_t(length)}, pixels.data(), nullptr, alpha.data(),
                                out.data(), 0, 1, width);
                EXPECT_EQ(out, want) << "level " << int(level) << ", " << channels << " channels, width "
                                     << width;
                if (pack.SequentialSub == nullptr) continue;
                // Fused with the Sub filter: each byte less the one a pixel before it.
                Bytes filtered(length + 16, 0xA5), wantSub = want;
                for (std::size_t i = std::size_t(channels); i < length; ++i)
                    wantSub[i] = u8(want[i] - want[i - std::size_t(channels)]);
                pack.SequentialSub({identity.data(), std::int32_t(length)}, pixels.data(), nullptr,
                                   alpha.data(), filtered.data(), 0, 1, width);
                EXPECT_EQ(filtered, wantSub)
                    << "Sub, level " << int(level) << ", " << channels << " channels, width " << width;
            }
        }
}

} // namespace
