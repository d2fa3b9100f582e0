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

namespace {

// The colours GetDIBits writes for 1 and 4 bits per pixel: black/white and the 16 VGA colours.
// RGBQUAD order is blue, green, red.
const std::array<RGBQUAD, 2> kMonochromeColours = {{{0, 0, 0, 0}, {255, 255, 255, 0}}};
const std::array<RGBQUAD, 16> kVgaColours = {{
    {0, 0, 0, 0},
    {0, 0, 128, 0},
    {0, 128, 0, 0},
    {0, 128, 128, 0},
    {128, 0, 0, 0},
    {128, 0, 128, 0},
    {128, 128, 0, 0},
    {192, 192, 192, 0},
    {128, 128, 128, 0},
    {0, 0, 255, 0},
    {0, 255, 0, 0},
    {0, 255, 255, 0},
    {255, 0, 0, 0},
    {255, 0, 255, 0},
    {255, 255, 0, 0},
    {255, 255, 255, 0},
}};

} // namespace

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

void StandardColours(int bitsPerPixel, RGBQUAD* colours) {
    if (bitsPerPixel == 1) {
        std::copy(kMonochromeColours.begin(), kMonochromeColours.end(), colours);
    } else if (bitsPerPixel == 4) {
        std::copy(kVgaColours.begin(), kVgaColours.end(), colours);
    } else {
        for (const PALETTEENTRY& entry : HalftoneColours())
            *colours++ = {entry.peBlue, entry.peGreen, entry.peRed, 0};
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
