// SetDIBColorTable: the colour table of the bitmap section selected into a device context.
#include <algorithm>
#include <cstring>

#include "platform/gdi.h"

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
