#include "png_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "platform/gdi.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/exception.h"

namespace pngexpect {

namespace {

// The first difference between a plane of the library and the model over the bits that belong
// to pixels (padding bits and bytes are not compared); empty when they agree.
std::string PlaneDifference(const char* plane, const std::vector<Bytes>& expected,
                            const std::function<const u8*(std::int32_t)>& actualRow, std::int64_t bitsUsed) {
    const std::size_t whole = std::size_t(bitsUsed / 8);
    const int rest = int(bitsUsed % 8);
    const u8 lastMask = static_cast<u8>(0xFF00 >> rest);
    std::ostringstream first;
    int rows = 0;
    for (std::size_t y = 0; y < expected.size(); ++y) {
        const u8* actual = actualRow(std::int32_t(y));
        if (actual == nullptr) return std::string(plane) + ": plane missing";
        std::size_t at = whole + 1;
        for (std::size_t i = 0; i < whole && at > whole; ++i)
            if (actual[i] != expected[y][i]) at = i;
        if (at > whole && rest != 0 && ((actual[whole] ^ expected[y][whole]) & lastMask) != 0) at = whole;
        if (at > whole) continue;
        if (rows++ == 0)
            first << " first at row " << y << " byte " << at << ": got " << int(actual[at]) << ", expected "
                  << int(expected[y][at]);
    }
    if (rows == 0) return "";
    return std::string(plane) + ": " + std::to_string(rows) + " of " + std::to_string(expected.size()) +
           " rows differ;" + first.str();
}

} // namespace

void ExpectMemoryMatches(const TChunkIHDR& h, const TMemoryModel& m) {
    ASSERT_EQ(h.RowBits(), m.RowBits);
    ASSERT_EQ(h.RowStride(), m.Stride);
    const std::int64_t bits = std::int64_t{h.RowBits()} * h.Width;
    auto pixels = [&](std::int32_t y) { return h.PixelRow(y); };
    auto low = [&](std::int32_t y) { return h.LowByteRow(y); };
    auto alpha = [&](std::int32_t y) { return h.AlphaRow(y); };
    EXPECT_EQ(PlaneDifference("pixels", m.Pixels, pixels, bits), "");
    EXPECT_EQ(h.LowByteRow(0) != nullptr, !m.Low.empty());
    if (!m.Low.empty()) {
        EXPECT_EQ(PlaneDifference("low bytes", m.Low, low, bits), "");
    }
    EXPECT_EQ(h.AlphaRow(0) != nullptr, !m.Alpha.empty());
    if (!m.Alpha.empty()) {
        EXPECT_EQ(PlaneDifference("alpha", m.Alpha, alpha, 8 * std::int64_t{h.Width}), "");
    }
    EXPECT_EQ(h.ColorsUsed(), m.Colors.size());
    EXPECT_EQ(ColorTableOf(h), m.Colors);
}

std::vector<Rgb> ColorTableOf(const TChunkIHDR& h) {
    std::vector<Rgb> colors;
    for (std::uint32_t i = 0; i < h.ColorsUsed() && i < 256; ++i)
        colors.push_back({h.DibInfo().ColorTable[i].rgbRed, h.DibInfo().ColorTable[i].rgbGreen,
                          h.DibInfo().ColorTable[i].rgbBlue});
    return colors;
}

std::string RgbText(const Rgb& c) {
    return "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ")";
}

void PrintTo(TPlacement p, std::ostream* os) {
    *os << PlacementName(p);
}

void PrintTo(const TCorruptCase& c, std::ostream* os) {
    *os << c.Name;
}

std::vector<std::string> ChunkTypes(TPNGObject& image) {
    std::vector<std::string> chunks;
    for (std::uint32_t i = 0; i < image.Chunks().ItemCount(); ++i)
        chunks.push_back(image.Chunks().ChunkAt(i)->TypeText());
    return chunks;
}

std::string DrawAndCompare(TPNGObject& image, const std::vector<Rgb>& expected, const TRect& rect,
                           TSurfaceSize size) {
    const int w = std::abs(rect.Right - rect.Left), h = std::abs(rect.Bottom - rect.Top);
    if (expected.size() != std::size_t(size.Width) * std::size_t(size.Height))
        return "expected picture mis-sized";
    TSurface surface(size);
    if (!surface.Valid()) return "could not make the surface";
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const Rgb c = PatternAt(x, y);
            u8* p = surface.Pixel(x, y);
            p[0] = c[2], p[1] = c[1], p[2] = c[0], p[3] = 0x5A;
        }
    std::ostringstream report;
    const std::size_t before = GdiObjectCount();
    try {
        image.DrawOn(surface.Canvas(), rect);
    } catch (const Exception& e) {
        report << "DrawOn raised " << e.ClassName() << ": " << e.Message() << "; ";
    }
    const std::size_t after = GdiObjectCount();
    if (after != before)
        report << "live platform objects " << before << " before the draw, " << after << " after; ";

    int wrong = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const u8* p = surface.Pixel(x, y);
            const Rgb actual{p[2], p[1], p[0]};
            const Rgb& e = expected[std::size_t(y) * std::size_t(size.Width) + std::size_t(x)];
            if (actual == e) continue;
            if (wrong++ < 4)
                report << "pixel (" << x << "," << y << ") expected " << RgbText(e) << " got "
                       << RgbText(actual) << "; ";
        }
    if (wrong > 0)
        report << wrong << " of " << size.Width * size.Height << " pixels differ (rectangle " << w << "x" << h
               << " at " << std::min(rect.Left, rect.Right) << "," << std::min(rect.Top, rect.Bottom) << ")";
    return report.str();
}

} // namespace pngexpect
