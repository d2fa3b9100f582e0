// The image memory under allocation failures: a refused change leaves the image as it was and
// nothing behind.
#include <gtest/gtest.h>

#include <functional>

#include "platform/faults.h"
#include "platform/gdi.h"
#include "support/png_load.h"

using namespace pngtest;

namespace {

Bytes Idat(const std::vector<Bytes>& rows) {
    return Chunk("IDAT", Compress(Scanlines(rows)));
}

// What a caller can see of the image memory: layout, handles, pixels, planes, live objects.
std::vector<std::uintptr_t> Snapshot(TPNGObject& image) {
    const TChunkIHDR& h = image.HeaderChunk();
    std::vector<std::uintptr_t> out{h.Width,
                                    h.Height,
                                    h.BitDepth,
                                    h.ColorType,
                                    std::uintptr_t(h.RowStride()),
                                    std::uintptr_t(h.PixelRows()),
                                    std::uintptr_t(h.MemoryDC()),
                                    std::uintptr_t(h.PixelPalette()),
                                    std::uintptr_t(image.WorkCanvas().Handle()),
                                    GdiObjectCount()};
    for (std::int32_t y = 0; y < image.PixelHeight(); ++y)
        for (std::int32_t x = 0; x < image.PixelWidth(); ++x) {
            out.push_back(image.PixelAt(x, y));
            if (image.AlphaRow(y) != nullptr) out.push_back(image.AlphaRow(y)[x]);
            if (image.LowByteRow(y) != nullptr) out.push_back(image.LowByteRow(y)[x]);
        }
    return out;
}

TEST(ImageMemory, RefusedChangesLeaveTheImageAsItWas) {
    struct Case {
        const char* name;
        Bytes stream;
        std::function<void(TPNGObject&)> change;
    };
    const Bytes rgba16 = Png(IhdrBody(2, 2, 16, 6), {Idat({Bytes(16, 0x5A), Bytes(16, 0xC3)})});
    const Case cases[] = {
        {"resize rgba 16", rgba16, [](TPNGObject& i) { i.ResizeImage(3, 1); }},
        {"alpha for gray 2", Png(IhdrBody(4, 1, 2, 0), {Idat({{0x1B}})}),
         [](TPNGObject& i) { i.AddAlphaChannel(); }},
        {"alpha for rgb", Png(IhdrBody(1, 2, 8, 2), {Idat({{1, 2, 3}, {4, 5, 6}})}),
         [](TPNGObject& i) { i.AddAlphaChannel(); }},
        {"copy", rgba16,
         [](TPNGObject& i) {
             TPNGObject copy;
             copy.AssignFrom(&i);
         }},
    };
    for (const Case& c : cases) {
        TPNGObject image;
        Load(image, c.stream);
        TPNGObject counted;
        Load(counted, c.stream);
        faults::BeginSweep(0);
        c.change(counted);
        const long points = faults::EndSweep();
        int refused = 0;
        for (long failAt = 1; failAt <= points; ++failAt) {
            Load(image, c.stream);
            const auto before = Snapshot(image);
            faults::BeginSweep(failAt);
            try {
                c.change(image);
            } catch (...) {
                faults::EndSweep();
                ++refused;
                EXPECT_EQ(Snapshot(image), before) << c.name << ", failure " << failAt;
            }
            faults::EndSweep();
        }
        EXPECT_GT(refused, 0) << c.name;
    }
}

} // namespace
