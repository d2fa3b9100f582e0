// Every platform call that creates a GDI object is a failure point: armed, it fails as the real
// call does (null) and leaves nothing behind; unarmed, the same call succeeds.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/draw.h"
#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/lines.h"
#include "platform/text.h"

namespace {

struct Creator {
    const char* name;
    std::function<void*()> make;
    bool isDC = false;
};

TEST(PlatformFaults, EveryCreatorFailsAtItsPoint) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info{{sizeof(BITMAPINFOHEADER), 4, 4, 1, 1, BI_RGB, 0, 0, 0, 0, 0}, {{0, 0, 0, 0}, {255, 255, 255, 0}}};
    const BYTE bits[16] = {};
    const LOGPALETTE palette{0x300, 1, {{1, 2, 3, 0}}};
    const LOGFONTA font{};
    HBITMAP source = CreateBitmap(2, 2, 1, 32, nullptr);
    ASSERT_NE(source, nullptr);
    void* sectionBits = nullptr;
    const auto* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(&info);
    const std::vector<Creator> creators = {
        {"CreateDIBSection",
         [&]() -> void* {
             HBITMAP made = CreateDIBSection(nullptr, bitmapInfo, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
             EXPECT_EQ(made == nullptr, sectionBits == nullptr); // no bits without a section
             return made;
         }},
        {"CreateBitmap", [] { return CreateBitmap(4, 4, 1, 1, nullptr); }},
        {"CreateCompatibleBitmap", [] { return CreateCompatibleBitmap(nullptr, 4, 4); }},
        {"CreateDIBitmap",
         [&] { return CreateDIBitmap(nullptr, &info.header, CBM_INIT, bits, bitmapInfo, DIB_RGB_COLORS); }},
        {"CopyImage", [&] { return CopyImage(source, IMAGE_BITMAP, 0, 0, 0); }},
        {"CreateCompatibleDC", [] { return CreateCompatibleDC(nullptr); }, true},
        {"CreatePalette", [&] { return CreatePalette(&palette); }},
        {"CreateHalftonePalette", [] { return CreateHalftonePalette(nullptr); }},
        {"CreateSolidBrush", [] { return CreateSolidBrush(RGB(1, 2, 3)); }},
        {"CreatePen", [] { return CreatePen(PS_SOLID, 1, RGB(1, 2, 3)); }},
        {"CreateFontIndirectA", [&] { return CreateFontIndirectA(&font); }},
    };
    const std::size_t live = GdiObjectCount();
    for (const Creator& creator : creators) {
        SCOPED_TRACE(creator.name);
        faults::BeginSweep(1);
        EXPECT_EQ(creator.make(), nullptr);
        EXPECT_EQ(faults::EndSweep(), 1); // one point per call
        EXPECT_EQ(GdiObjectCount(), live);
        void* made = creator.make(); // unarmed: nothing is counted and the call succeeds
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(creator.isDC ? DeleteDC(static_cast<HDC>(made))
                                 : DeleteObject(static_cast<HGDIOBJ>(made)));
    }
    EXPECT_TRUE(DeleteObject(source));
}

} // namespace
