// What GetObjectA and GetCurrentObject tell about the bitmap of a memory device context: a section
// answers with a DIBSECTION whose height is positive for either row order, as on Windows; other
// bitmaps with a BITMAP only.
#include <gtest/gtest.h>

#include "platform/draw.h"
#include "platform/gdi.h"

namespace {

TEST(SectionRecord, SectionsAndOtherBitmapsAnswerAsOnWindows) {
    struct Case {
        int bpp;
        LONG height; // negative: top-down
        bool section;
    };
    for (const Case c : {Case{32, -3, true}, Case{8, 3, true}, Case{32, 3, false}}) {
        const BITMAPINFOHEADER header{40, 5, c.height, 1, static_cast<WORD>(c.bpp), BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = c.section ? CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                                      DIB_RGB_COLORS, &bits, nullptr, 0)
                                   : CreateCompatibleBitmap(nullptr, 5, 3);
        HDC dc = CreateCompatibleDC(nullptr);
        const HGDIOBJ initial = GetCurrentObject(dc, OBJ_BITMAP);
        DIBSECTION record{};
        EXPECT_EQ(GetObjectA(initial, sizeof(record), &record), int(sizeof(BITMAP))) << "the 1 x 1 default";
        SelectObject(dc, bitmap);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
        EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), int(sizeof(BITMAP)));
        ASSERT_EQ(GetObjectA(bitmap, sizeof(record), &record),
                  int(c.section ? sizeof(record) : sizeof(BITMAP)));
        EXPECT_EQ(record.dsBm.bmHeight, 3);
        if (c.section) {
            EXPECT_EQ(record.dsBm.bmBits, bits);
            EXPECT_EQ(record.dsBm.bmWidthBytes, c.bpp == 32 ? 20 : 8);
            EXPECT_EQ(record.dsBmih.biHeight, 3) << c.height;
            EXPECT_EQ(record.dsBmih.biBitCount, c.bpp);
        }
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
        EXPECT_EQ(GetCurrentObject(dc, 3), nullptr);
        SelectObject(dc, initial);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

} // namespace
