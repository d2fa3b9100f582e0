// GetObjectA and GetCurrentObject on the bitmap of a memory context: a section answers with a
// DIBSECTION whose height is positive for either row order, as on Windows; other bitmaps with a BITMAP.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/draw.h"
#include "platform/gdi.h"

namespace {

TEST(SectionRecord, SectionsAndOtherBitmapsAnswerAsOnWindows) {
    for (const LONG height : {-3, 3, 0}) { // top-down, bottom-up, 0: a compatible bitmap
        const BITMAPINFOHEADER header{40, 5, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = height == 0 ? CreateCompatibleBitmap(nullptr, 5, 3)
                                     : CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                                        DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        DIBSECTION record{};
        const HGDIOBJ initial = SelectObject(dc, bitmap);
        EXPECT_EQ(GetObjectA(initial, sizeof(record), &record), int(sizeof(BITMAP))) << "the 1 x 1 default";
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), int(sizeof(BITMAP)));
        EXPECT_EQ(GetObjectA(bitmap, sizeof(record), &record), int(height ? sizeof(record) : sizeof(BITMAP)));
        EXPECT_EQ(std::make_tuple(record.dsBm.bmHeight, record.dsBm.bmBits, record.dsBmih.biHeight),
                  std::make_tuple(3L, bits, height ? 3L : 0L))
            << height;
        SelectObject(dc, initial);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

} // namespace
