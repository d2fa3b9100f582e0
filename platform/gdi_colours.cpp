// Colour tables of the GDI stand-in: the standard ones (static colours, GetDIBits' tables, the
// halftone palette) and SetDIBColorTable.
#include <algorithm>
#include <cstring>

#include "platform/gdi.h"
#include "platform/gdi_internal.h"

namespace gdi_internal {

const std::array<PALETTEENTRY, 20> kStaticColours = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

// Halftone palette layout:
//   0-9      the first ten static colours
//   10-225   the 6 x 6 x 6 colour cube, levels 0, 51, 102, 153, 204, 255 per channel;
//            index 10 + 36 * red level + 6 * green level + blue level
//   226-245  a ramp of 20 grays, 255 * (k + 1) / 21 rounded for k = 0..19 (12, 24, ..., 243),
//            filling the steps between the cube's own grays
//   246-255  the last ten static colours
const std::array<PALETTEENTRY, 256>& HalftoneColours() {
    static const std::array<PALETTEENTRY, 256> colours = [] {
        std::array<PALETTEENTRY, 256> table{};
        std::copy_n(kStaticColours.begin(), 10, table.begin());
        std::size_t next = 10;
        for (int r = 0; r < 6; ++r) {
            for (int g = 0; g < 6; ++g) {
                for (int b = 0; b < 6; ++b) {
                    table[next++] = {static_cast<BYTE>(51 * r), static_cast<BYTE>(51 * g),
                                     static_cast<BYTE>(51 * b), 0};
                }
            }
        }
        for (int k = 0; k < 20; ++k) {
            const auto level = static_cast<BYTE>((255 * (k + 1) + 10) / 21);
            table[next++] = {level, level, level, 0};
        }
        std::copy_n(kStaticColours.begin() + 10, 10, table.begin() + 246);
        return table;
    }();
    return colours;
}

// Black and white are the first and last static colours. The sixteen VGA colours are the first seven
// static colours, gray, silver and the last seven. The 256-entry table holds the first and last ten
// static colours around a 3-3-2 cube: entry i has red (i & 7) * 32, green ((i >> 3) & 7) * 32 and
// blue (i >> 6) * 64.
void StandardColours(int bitsPerPixel, RGBQUAD* colours) {
    const auto quad = [](const PALETTEENTRY& e) { return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0}; };
    if (bitsPerPixel == 1) {
        colours[0] = quad(kStaticColours[0]);
        colours[1] = quad(kStaticColours[19]);
    } else if (bitsPerPixel == 4) {
        for (std::size_t i = 0; i < 16; ++i)
            colours[i] = quad(kStaticColours[i < 7 ? i : i == 7 ? 12 : i == 8 ? 7 : i + 4]);
    } else {
        for (std::size_t i = 0; i < 256; ++i) {
            colours[i] = RGBQUAD{static_cast<BYTE>((i >> 6) * 64), static_cast<BYTE>(((i >> 3) & 7) * 32),
                                 static_cast<BYTE>((i & 7) * 32), 0};
        }
        for (std::size_t i = 0; i < 10; ++i) {
            colours[i] = quad(kStaticColours[i]);
            colours[246 + i] = quad(kStaticColours[10 + i]);
        }
    }
}

} // namespace gdi_internal

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colours) {
    DibView view;
    if (colours == nullptr || !GetSelectedDib(hdc, view) || view.bitsPerPixel > 8 || view.colours == nullptr)
        return 0;
    const UINT size = 1u << view.bitsPerPixel;
    if (start >= size) return 0;
    const UINT n = std::min(count, size - start);
    // The view is read-only for its other users; the table belongs to the section, which is
    // writable, and this call is the one that writes it.
    std::memcpy(const_cast<RGBQUAD*>(view.colours) + start, colours, n * sizeof(RGBQUAD));
    return n;
}
