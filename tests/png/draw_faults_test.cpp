// Drawing under refused platform objects, and the colour blend of every vector level against the
// plain routine.
#include <gtest/gtest.h>

#include <new>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/faults.h"
#include "png/pngblend.h"
#include "support/png_load.h"
#include "support/pngsuite.h"
#include "support/surface.h"

using namespace pngtest;

namespace {

using u8 = std::uint8_t;

// A suite image for each path; the alpha image also placed over the target's left edge, which
// sends it through the compositing section instead of blending in place.
struct TSweepCase {
    const char* Name;
    const char* File;
    int Left;
};
const TSweepCase SweepCases[] = {{"Opaque", "basn2c08", 2},
                                 {"KeyColour", "tbrn2c08", 2},
                                 {"AlphaInPlace", "basn6a08", 2},
                                 {"AlphaCopied", "basn6a08", -3},
                                 {"PaletteAlpha", "tm3n3p02", 2}};

std::uint32_t Pattern(std::int32_t x, std::int32_t y) {
    return std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u;
}

class DrawFaults : public ::testing::TestWithParam<std::tuple<TSweepCase, bool>> {};

// Refuses the first, second, ... platform object until a draw completes: every refusal raises
// EPNGOutMemory and leaves the target and the live object count as they were.
TEST_P(DrawFaults, RefusalLeavesTargetAsItWas) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test image folder at " << SuiteDir();
    const auto& [c, scaled] = GetParam();
    TPNGObject image;
    TFileStream stream(SuiteDir() + "/" + c.File + ".png", fmOpenRead);
    image.ReadPng(stream);
    const int w = image.PixelWidth() * (scaled ? 3 : 2) / 2, h = image.PixelHeight() * (scaled ? 3 : 2) / 2;
    const TRect rect{c.Left, 1, c.Left + w, 1 + h};
    Surface target(w + 5, h + 3);
    auto pixels = [&] { return Bytes(target.Bits, target.Bits + 4 * target.Width * target.Height); };
    target.Fill(Pattern);
    const Bytes untouched = pixels();
    image.DrawOn(target.canvas, rect);
    const Bytes drawn = pixels();
    ASSERT_NE(drawn, untouched);

    for (long n = 1;; ++n) {
        ASSERT_LE(n, 100) << "the draw never completed";
        target.Fill(Pattern);
        const std::size_t objects = GdiObjectCount();
        std::string raised;
        faults::BeginSweep(n);
        try {
            image.DrawOn(target.canvas, rect);
        } catch (const Exception& e) {
            raised = e.ClassName();
        } catch (const std::bad_alloc&) { // heap refusals pass through as they are
            raised = "EPNGOutMemory";
        } catch (...) {
            raised = "an exception of another kind";
        }
        const long passed = faults::EndSweep();
        EXPECT_EQ(GdiObjectCount(), objects) << "refusal " << n;
        if (raised.empty()) {
            EXPECT_LT(passed, n) << "refusal " << n << " went unreported";
            EXPECT_EQ(pixels(), drawn);
            break;
        }
        EXPECT_EQ(raised, "EPNGOutMemory") << "refusal " << n;
        EXPECT_EQ(pixels(), untouched) << "refusal " << n << " changed the target";
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, DrawFaults,
                         ::testing::Combine(::testing::ValuesIn(SweepCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<TSweepCase, bool>>& p) {
                             return std::string(std::get<0>(p.param).Name) +
                                    (std::get<1>(p.param) ? "_Scaled" : "_Unscaled");
                         });

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
            auto blend = [&](TSimdLevel level) {
                Bytes out = target;
                ColourBlendFor(level, scaled)(out.data() + at, pixels.data() + from, alpha.data() + from,
                                              columns.data(), width);
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

} // namespace
