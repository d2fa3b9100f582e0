#include "png/pngmemory.h"

#include <algorithm>
#include <cstring>

#include "platform/draw.h"
#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pnglang.h"
#include "toolkit/core/sectionlimit.h"

namespace {

[[noreturn]] void RaiseOutMemory() {
    RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
}

// The platform returns null when it refuses an object.
template <class H>
H Checked(H handle) {
    if (handle == nullptr) RaiseOutMemory();
    return handle;
}

// Copies the palette's entries into the colour table (keeping each entry's fourth byte); returns how
// many there were.
UINT ReadEntries(HPALETTE palette, RGBQUAD* table) {
    PALETTEENTRY entries[256] = {};
    const UINT read = GetPaletteEntries(palette, 0, 256, entries);
    for (UINT i = 0; i < read; ++i)
        table[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, table[i].rgbReserved};
    return read;
}

} // namespace

HPALETTE CreatePaletteFrom(const TLogPalette256& record) {
    return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&record));
}

HPALETTE CreateGrayRamp(const std::uint8_t* gamma, int n) {
    TLogPalette256 ramp;
    ramp.Count = static_cast<WORD>(n);
    for (int i = 0; i < n; ++i) {
        const BYTE g = gamma[MulDiv(i, 255, n - 1)];
        ramp.Entries[i] = PALETTEENTRY{g, g, g, 0};
    }
    return Checked(CreatePaletteFrom(ramp));
}

void TImageMemory::TDCDeleter::operator()(HDC dc) const {
    DeleteDC(dc);
}
void TImageMemory::TObjectDeleter::operator()(HGDIOBJ object) const {
    DeleteObject(object);
}

TImageMemory::TPlane TImageMemory::Allocate(std::size_t bytes) {
    if (faults::ShouldFail()) RaiseOutMemory();
    TPlane plane(static_cast<std::uint8_t*>(largemem::Allocate(bytes)));
    if (!plane) RaiseOutMemory();
    return plane;
}

std::uint64_t TImageMemory::SetLayout(std::uint32_t width, std::uint32_t height, std::uint8_t colorType,
                                      std::uint8_t bitDepth) {
    const int rowBits = MemoryBitsPerPixel(colorType, bitDepth);
    if (rowBits != 0) {
        FInfo.Header.biSize = sizeof(BITMAPINFOHEADER);
        FInfo.Header.biWidth = static_cast<LONG>(width);
        FInfo.Header.biHeight = static_cast<LONG>(height);
        FInfo.Header.biPlanes = 1;
        FInfo.Header.biBitCount = static_cast<WORD>(rowBits);
        FInfo.Header.biCompression = BI_RGB;
    }
    FWidth = width;
    FHeight = height;
    FColorType = colorType;
    FBitDepth = bitDepth;
    FStride = static_cast<std::int32_t>(((std::int64_t{rowBits} * width + 31) / 32) * 4);
    // Refuse before anything is allocated: the planes are never larger than the pixel rows.
    if (!FitsBitmapSectionLimit(std::uint64_t(FStride), height)) RaiseOutMemory();
    return std::uint64_t(FStride) * height;
}

void TImageMemory::MakeSection() {
    void* bits = nullptr;
    FBitmap.reset(CreateDIBSection(FDC.get(), reinterpret_cast<const BITMAPINFO*>(&FInfo), DIB_RGB_COLORS,
                                   &bits, nullptr, 0));
    if (FBitmap == nullptr || bits == nullptr) RaiseOutMemory();
    FRows = static_cast<std::uint8_t*>(bits); // zero-filled by the platform
    SelectObject(FDC.get(), FBitmap.get());
}

TImageMemory TImageMemory::Create(std::uint32_t width, std::uint32_t height, std::uint8_t colorType,
                                  std::uint8_t bitDepth, const std::uint8_t* gamma) {
    TImageMemory m;
    const std::uint64_t pixelBytes = m.SetLayout(width, height, colorType, bitDepth);
    if (m.RowBits() == 0 || width == 0 || height == 0) return m; // nothing to hold

    if (HasAlphaChannel(colorType)) m.FAlpha = Allocate(std::size_t(width) * height);
    if (bitDepth == 16) m.FLow = Allocate(pixelBytes);
    m.FDC.reset(Checked(CreateCompatibleDC(nullptr)));
    if (HasPaletteObject(colorType)) {
        HDC dc = m.FDC.get();
        HPALETTE palette =
            Checked(colorType == pctPalette ? CreateHalftonePalette(dc)
                                            : CreateGrayRamp(gamma, 1 << (bitDepth == 16 ? 8 : bitDepth)));
        m.FPalette.reset(palette);
        const UINT entries = 1u << m.RowBits();
        ResizePalette(palette, entries);
        SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
        ReadEntries(palette, m.FInfo.ColorTable);
        m.FInfo.Header.biClrUsed = entries;
    }
    m.MakeSection();
    return m;
}

void TImageMemory::CopyFrom(const TImageMemory& source) {
    if (FRows == nullptr || source.FRows == nullptr || FStride != source.FStride || FHeight != source.FHeight)
        return;
    const std::size_t rowBytes = std::size_t(FStride) * FHeight;
    std::memcpy(FRows, source.FRows, rowBytes);
    if (FAlpha && source.FAlpha)
        std::memcpy(FAlpha.get(), source.FAlpha.get(), std::size_t(FWidth) * FHeight);
    if (FLow && source.FLow) std::memcpy(FLow.get(), source.FLow.get(), rowBytes);
    std::memcpy(FInfo.ColorTable, source.FInfo.ColorTable, sizeof FInfo.ColorTable);
    // The palette object is rebuilt from the copied colours, so that the copy draws and saves with
    // the source's palette rather than the provisional one.
    if (HasPaletteObject(FColorType) && source.ColorsUsed() > 0)
        PaletteFromColorTable(std::min<std::uint32_t>(source.ColorsUsed(), 256));
}

TImageMemory TImageMemory::Resized(std::int32_t width, std::int32_t height) {
    if (FRows == nullptr) RaiseOutMemory();
    TImageMemory m;
    m.FInfo = FInfo;
    m.SetLayout(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), FColorType, FBitDepth);
    m.FDC.reset(Checked(CreateCompatibleDC(FDC.get())));
    m.MakeSection();
    if (FAlpha) {
        m.FAlpha = Allocate(std::size_t(width) * std::size_t(height));
        std::memset(m.FAlpha.get(), 255, std::size_t(width) * std::size_t(height));
    }
    if (FLow) m.FLow = Allocate(std::size_t(m.FStride) * std::size_t(height));

    const std::int32_t keepRows = std::min<std::int32_t>(height, static_cast<std::int32_t>(FHeight));
    const auto keepBytes = static_cast<std::size_t>(std::min(m.FStride, FStride));
    const auto keepColumns = static_cast<std::size_t>(std::min<std::int32_t>(width, std::int32_t(FWidth)));
    for (std::int32_t y = 0; y < keepRows; ++y) {
        std::memcpy(m.Row(y), Row(y), keepBytes);
        if (FLow) std::memcpy(m.LowByteRow(y), LowByteRow(y), keepBytes);
        if (FAlpha) std::memcpy(m.AlphaRow(y), AlphaRow(y), keepColumns);
    }
    if (FPalette != nullptr) {
        SelectPalette(m.FDC.get(), FPalette.get(), FALSE);
        RealizePalette(m.FDC.get());
        m.FPalette = std::move(FPalette);
    }
    return m;
}

TImageMemory TImageMemory::WidenedToGrayAlpha(const std::uint8_t* gamma) const {
    TImageMemory m = Create(FWidth, FHeight, pctGrayAlpha, 8, gamma);
    if (m.FRows == nullptr || FRows == nullptr) return m;
    const int k = RowBits();
    const unsigned scale = 255u / ((1u << k) - 1u);
    for (std::int32_t y = 0; y < std::int32_t(FHeight); ++y) {
        const std::uint8_t* from = Row(y);
        std::uint8_t* to = m.Row(y);
        for (std::int32_t x = 0; x < std::int32_t(FWidth); ++x)
            to[x] = static_cast<std::uint8_t>(PackedField(from, x, k) * scale);
    }
    std::memset(m.FAlpha.get(), 255, std::size_t(FWidth) * FHeight);
    return m;
}

void TImageMemory::AddAlphaPlane() {
    TPlane alpha = Allocate(std::size_t(FWidth) * FHeight);
    std::memset(alpha.get(), 255, std::size_t(FWidth) * FHeight);
    FAlpha = std::move(alpha);
    FColorType = FColorType == pctGray ? pctGrayAlpha : pctRGBAlpha;
}

void TImageMemory::ReadBitmap(HBITMAP bitmap) {
    if (FRows == nullptr) return;
    HDC dc = Checked(CreateCompatibleDC(nullptr));
    GetDIBits(dc, bitmap, 0, FHeight, FRows, reinterpret_cast<BITMAPINFO*>(&FInfo), DIB_RGB_COLORS);
    DeleteDC(dc);
    if (ColorTypeInfo(FColorType).HasPalette) PaletteFromColorTable(1u << FBitDepth);
}

void TImageMemory::PaletteFromColorTable(std::uint32_t n) {
    TLogPalette256 record;
    record.Count = static_cast<WORD>(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const RGBQUAD& c = FInfo.ColorTable[i];
        record.Entries[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
    }
    InstallPalette(Checked(CreatePaletteFrom(record)));
}

void TImageMemory::InstallPalette(HPALETTE palette) {
    const UINT read = ReadEntries(palette, FInfo.ColorTable);
    FInfo.Header.biClrUsed = read;
    if (FDC != nullptr) {
        // The section's own colour table follows, so that copies of the bitmap show these colours.
        if (read > 0) SetDIBColorTable(FDC.get(), 0, read, FInfo.ColorTable);
        // Without a palette the device context falls back to the stock one, so the previous
        // palette is no longer held and can be deleted.
        SelectPalette(FDC.get(),
                      palette != nullptr ? palette : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)),
                      FALSE);
        RealizePalette(FDC.get());
    }
    if (FPalette.get() != palette) FPalette.reset(palette);
}
