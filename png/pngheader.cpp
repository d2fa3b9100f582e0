#include "png/pngheader.h"

#include <cstring>

#include "platform/gdi.h"
#include "platform/kernel.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "toolkit/core/stream.h"

constinit const TChunkClass TChunkIHDR::Class{"TChunkIHDR", &TChunk::Class, &TChunkIHDR::Create};
TChunk* TChunkIHDR::Create(TPNGObject* owner) {
    return new TChunkIHDR(owner);
}

int RowBitsFor(std::uint8_t colorType, std::uint8_t bitDepth, bool* indexed) {
    int bits = 0;
    bool isIndexed = false;
    switch (colorType) {
    case 0:
        if (bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16) bits = 1;
        break;
    case 3:
        if (bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8) bits = 1;
        break;
    case 4:
        if (bitDepth == 8 || bitDepth == 16) bits = 1;
        break;
    case 2:
    case 6:
        if (bitDepth == 8 || bitDepth == 16) bits = 24;
        break;
    default: break;
    }
    if (bits == 1) {
        isIndexed = true;
        bits = bitDepth == 1 ? 1 : bitDepth <= 4 ? 4 : 8;
    }
    if (indexed != nullptr && bits != 0) *indexed = isIndexed;
    return bits;
}

TChunkIHDR::~TChunkIHDR() {
    ReleaseImageMemory();
}

TPNGHeaderRecord TChunkIHDR::Record() const {
    return {Width, Height, BitDepth, ColorType, CompressionMethod, FilterMethod, InterlaceMethod};
}

void TChunkIHDR::SetRecord(const TPNGHeaderRecord& r) {
    Width = r.Width;
    Height = r.Height;
    BitDepth = r.BitDepth;
    ColorType = r.ColorType;
    CompressionMethod = r.CompressionMethod;
    FilterMethod = r.FilterMethod;
    InterlaceMethod = r.InterlaceMethod;
}

void TChunkIHDR::ReleaseImageMemory() {
    // The device context goes first: the bitmap and palette selected into it can be deleted only
    // once nothing holds them.
    if (MemoryDC != nullptr) {
        TCanvas& canvas = OwnerImage()->WorkCanvas();
        if (canvas.Handle() == MemoryDC) canvas.SetHandle(nullptr);
        DeleteDC(MemoryDC);
    }
    if (PixelBitmap != nullptr) DeleteObject(PixelBitmap);
    if (PixelPalette != nullptr) DeleteObject(PixelPalette);
    PixelBitmap = nullptr;
    MemoryDC = nullptr;
    PixelPalette = nullptr;
    PixelRows = nullptr;
    AlphaPlane.reset();
    LowBytePlane.reset();
}

void TChunkIHDR::PrepareImageMemory() {
    std::memset(&DibInfo, 0, sizeof DibInfo);
    ReleaseImageMemory();

    bool indexed = IndexedRows != 0;
    const int rowBits = RowBitsFor(ColorType, BitDepth, &indexed);
    IndexedRows = indexed ? 1 : 0;
    if (rowBits != 0) {
        DibInfo.Header.biSize = sizeof(BITMAPINFOHEADER);
        DibInfo.Header.biWidth = static_cast<LONG>(Width);
        DibInfo.Header.biHeight = static_cast<LONG>(Height);
        DibInfo.Header.biPlanes = 1;
        DibInfo.Header.biBitCount = static_cast<WORD>(rowBits);
        DibInfo.Header.biCompression = BI_RGB;
    }
    RowStride = static_cast<std::int32_t>(((std::int64_t{rowBits} * Width + 31) / 32) * 4);
    if (rowBits == 0 || Width == 0 || Height == 0) return; // nothing to hold

    // Refuse before anything is allocated: the planes are never larger than the pixel rows.
    const std::uint64_t pixelBytes = std::uint64_t(RowStride) * Height;
    if (pixelBytes > BitmapSectionLimit()) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);

    auto allocate = [](std::size_t n) {
        auto* p = static_cast<std::uint8_t*>(std::calloc(n, 1));
        if (p == nullptr) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
        return TPlane(p);
    };
    if (ColorType == 4 || ColorType == 6) AlphaPlane = allocate(std::size_t(Width) * Height);
    if (BitDepth == 16) LowBytePlane = allocate(pixelBytes);

    MemoryDC = CreateCompatibleDC(nullptr);
    OwnerImage()->WorkCanvas().SetHandle(MemoryDC);

    if (ColorType == 0 || ColorType == 3) {
        PixelPalette = ColorType == 3 ? CreateHalftonePalette(MemoryDC) : BuildGrayPalette(BitDepth);
        const UINT entries = 1u << rowBits;
        ResizePalette(PixelPalette, entries);
        SetColorsUsed(entries);
        SelectPalette(MemoryDC, PixelPalette, FALSE);
        RealizePalette(MemoryDC);
        CopyPaletteToColorTable(PixelPalette);
    }

    void* bits = nullptr;
    PixelBitmap = CreateDIBSection(MemoryDC, reinterpret_cast<const BITMAPINFO*>(&DibInfo), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
    if (PixelBitmap == nullptr || bits == nullptr) {
        ReleaseImageMemory();
        RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    }
    PixelRows = static_cast<std::uint8_t*>(bits);
    SelectObject(MemoryDC, PixelBitmap);
    // The section arrives zero-filled from the platform.
}

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
    return CreatePaletteFrom(ramp);
}

HPALETTE TChunkIHDR::BuildGrayPalette(int bitDepth) {
    if (bitDepth == 16) bitDepth = 8;
    return CreateGrayRamp(OwnerImage()->DecodeGamma.data(), 1 << bitDepth);
}

UINT TChunkIHDR::CopyPaletteToColorTable(HPALETTE palette) {
    PALETTEENTRY entries[256] = {};
    const UINT read = GetPaletteEntries(palette, 0, 256, entries);
    for (UINT i = 0; i < read; ++i) {
        DibInfo.ColorTable[i].rgbBlue = entries[i].peBlue;
        DibInfo.ColorTable[i].rgbGreen = entries[i].peGreen;
        DibInfo.ColorTable[i].rgbRed = entries[i].peRed;
    }
    return read;
}

bool TChunkIHDR::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    if (!TChunk::ReadBody(stream, typeCode, length)) return false;
    if (BodySize() < 13) RaisePngError<EPngInvalidIHDR>(pnglang::EPngInvalidIHDRText);
    TPNGHeaderRecord r;
    std::memcpy(&r, Body(), 13);
    r.Width = ReadBE32(Body());
    r.Height = ReadBE32(Body() + 4);
    SetRecord(r);
    if (Width > 65535 || Height > 65535) RaisePngError<EPNGSizeExceeds>(pnglang::EPNGSizeExceedsText);
    if (CompressionMethod != 0) RaisePngError<EPNGUnknownCompression>(pnglang::EPNGUnknownCompressionText);
    if (InterlaceMethod > 1) RaisePngError<EPNGUnknownInterlace>(pnglang::EPNGUnknownInterlaceText);
    // An empty image, or a colour type and bit depth the format does not allow, has no row layout
    // and no decoder: refuse it here rather than carry an image without rows.
    if (Width == 0 || Height == 0 || RowBitsFor(ColorType, BitDepth) == 0)
        RaisePngError<EPngInvalidIHDR>(pnglang::EPngInvalidIHDRText);
    OwnerImage()->InterlaceMode = InterlaceMethod;
    PrepareImageMemory();
    return true;
}

bool TChunkIHDR::WriteChunk(TStream& stream) {
    if (BitDepth == 2) BitDepth = 4; // the rows already hold 4 bits per pixel
    ResizeBody(13);
    TPNGHeaderRecord r = Record();
    std::memcpy(Body(), &r, 13);
    WriteBE32(Body(), Width);
    WriteBE32(Body() + 4, Height);
    Body()[12] = OwnerImage()->InterlaceMode;
    return WriteFramed(stream);
}

void TChunkIHDR::AssignFrom(const TChunk& source) {
    if (&source.ClassType() != &TChunkIHDR::Class)
        RaisePngError<EPngError>(pnglang::EPngErrorIncompatibleChunksText);
    const auto& from = static_cast<const TChunkIHDR&>(source);
    SetRecord(from.Record());
    PrepareImageMemory();
    const std::size_t rowBytes = std::size_t(RowStride) * Height;
    if (PixelRows != nullptr && from.PixelRows != nullptr) std::memcpy(PixelRows, from.PixelRows, rowBytes);
    if (AlphaPlane && from.AlphaPlane)
        std::memcpy(AlphaPlane.get(), from.AlphaPlane.get(), std::size_t(Width) * Height);
    if (LowBytePlane && from.LowBytePlane) std::memcpy(LowBytePlane.get(), from.LowBytePlane.get(), rowBytes);
    std::memcpy(DibInfo.ColorTable, from.DibInfo.ColorTable, sizeof DibInfo.ColorTable);
    // The copy's palette object is rebuilt from the copied colours, so that the copy draws and
    // saves with the source's palette rather than the provisional one made above.
    if ((ColorType == 0 || ColorType == 3) && PixelRows != nullptr && from.ColorsUsed() > 0) {
        const std::uint32_t n = from.ColorsUsed() < 256 ? from.ColorsUsed() : 256;
        TLogPalette256 palette;
        palette.Count = static_cast<WORD>(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const RGBQUAD& c = from.DibInfo.ColorTable[i];
            palette.Entries[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
        }
        if (HPALETTE copy = CreatePaletteFrom(palette)) InstallPalette(copy);
    }
}

void TChunkIHDR::ReadDeviceBitmap(HBITMAP bitmap, const BITMAP& record) {
    Width = static_cast<std::uint32_t>(record.bmWidth);
    Height = static_cast<std::uint32_t>(record.bmHeight < 0 ? -record.bmHeight : record.bmHeight);
    if (record.bmBitsPixel >= 16) {
        BitDepth = 8;
        ColorType = 2;
    } else {
        BitDepth = static_cast<std::uint8_t>(record.bmBitsPixel);
        ColorType = 3;
    }
    CompressionMethod = 0;
    InterlaceMethod = 0;
    PrepareImageMemory();
    if (PixelRows == nullptr) return;
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, bitmap, 0, Height, PixelRows, reinterpret_cast<BITMAPINFO*>(&DibInfo), DIB_RGB_COLORS);
    DeleteDC(dc);
}

void TChunkIHDR::InstallPalette(HPALETTE palette) {
    if (ColorType != 0 && ColorType != 3) return;
    const UINT read = CopyPaletteToColorTable(palette);
    SetColorsUsed(read);
    if (MemoryDC != nullptr) {
        // The section's own colour table follows, so that copies of the bitmap show these colours.
        if (read > 0) SetDIBColorTable(MemoryDC, 0, read, DibInfo.ColorTable);
        // Without a palette the device context falls back to the stock one, so the previous
        // palette is no longer held and can be deleted.
        SelectPalette(MemoryDC, palette != nullptr ? palette : GetStockPalette(), FALSE);
        RealizePalette(MemoryDC);
    }
    if (PixelPalette != nullptr && PixelPalette != palette) DeleteObject(PixelPalette);
    PixelPalette = palette;
}
