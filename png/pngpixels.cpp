// Pixel access, resizing, the alpha channel, and conversion to and from plain bitmaps.
#include <algorithm>
#include <cstring>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "toolkit/core/bitmap.h"

using u8 = std::uint8_t;

std::uint8_t* TPNGObject::PixelRow(std::int32_t y) const {
    return HeaderChunk().PixelRow(y);
}

std::uint8_t* TPNGObject::AlphaRow(std::int32_t y) const {
    const TChunkIHDR& h = HeaderChunk();
    return HasAlphaChannel(h.ColorType) ? h.AlphaRow(y) : nullptr;
}

std::uint8_t* TPNGObject::LowByteRow(std::int32_t y) const {
    return HeaderChunk().LowByteRow(y);
}

// The rows hold blue-green-red triples, 8-bit gray samples (gray with alpha), or packed indices
// of palette entries or of levels of the gray ramp.
COLORREF TPNGObject::PixelAt(std::int32_t x, std::int32_t y) {
    if (x < 0 || x > PixelWidth() - 1 || y < 0 || y > PixelHeight() - 1) return 0;
    const TChunkIHDR& h = HeaderChunk();
    const TColorTypeInfo& info = ColorTypeInfo(h.ColorType);
    if (h.PixelRows() == nullptr) return 0;
    const u8* row = h.PixelRow(y);
    if (!info.IndexedRows) return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    if (info.HasAlpha) return RGB(row[x], row[x], row[x]);
    const int k = h.RowBits();
    const unsigned v = PackedField(row, x, k);
    if (info.HasPalette) {
        // The colour the pixel is drawn with: palette entries already passed through the gamma
        // table when the palette was read.
        const auto* palette = static_cast<const TChunkPLTE*>(Chunks().FindByClass(TChunkPLTE::Class));
        if (palette == nullptr) RaisePngError<EPngError>(pnglang::EPngErrorNoPaletteEntryText);
        const std::uint32_t bgr = palette->EntryAt(static_cast<u8>(v));
        return RGB(static_cast<BYTE>(bgr >> 16), static_cast<BYTE>(bgr >> 8), static_cast<BYTE>(bgr));
    }
    const u8 g = DecodeGamma[k == 1 ? v * 255 : (v * ((1u << k) + 1)) % 256];
    return RGB(g, g, g);
}

void TPNGObject::SetPixelAt(std::int32_t x, std::int32_t y, TColor colour) {
    if (x < 0 || x > PixelWidth() - 1 || y < 0 || y > PixelHeight() - 1) return;
    TChunkIHDR& h = HeaderChunk();
    const TColorTypeInfo& info = ColorTypeInfo(h.ColorType);
    if (h.PixelRows() == nullptr) return;
    u8* row = h.PixelRow(y);
    if (!info.IndexedRows) {
        row[3 * x] = static_cast<u8>(colour >> 16);
        row[3 * x + 1] = static_cast<u8>(colour >> 8);
        row[3 * x + 2] = static_cast<u8>(colour);
    } else if (info.HasAlpha) {
        row[x] = static_cast<u8>(colour);
    } else {
        const int k = h.RowBits();
        const int n = 8 / k;
        const unsigned mask = 255u >> (8 - k);
        const UINT i = GetNearestPaletteIndex(PaletteHandle(), ColorToRGB(colour));
        const int shift = 8 - k - (x % n) * k;
        u8& byte = row[x / n];
        byte = static_cast<u8>((byte & ~(mask << shift)) | ((i & mask) << shift));
    }
}

void TPNGObject::ResizeImage(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1) RaisePngError<EPNGInvalidNewSize>(pnglang::EPNGInvalidNewSizeText);
    HeaderChunk().Resize(width, height);
}

void TPNGObject::AddAlphaChannel() {
    TChunkIHDR& h = HeaderChunk();
    if (h.ColorType == pctGray || h.ColorType == pctRGB) h.AddAlphaPlane();
    if (h.ColorType != pctPalette) return;
    auto* trns = static_cast<TChunktRNS*>(Chunks().FindByClass(TChunktRNS::Class));
    if (trns == nullptr) {
        trns = static_cast<TChunktRNS*>(Chunks().AddByClass(TChunktRNS::Class));
        std::memset(trns->TransparencyData, 255, sizeof trns->TransparencyData);
    } else {
        // An existing table keeps its alpha values; entries past its body are opaque.
        for (std::int32_t i = std::max(trns->BodySize(), 0); i < 256; ++i)
            trns->TransparencyData[i] = 255;
    }
    trns->ResizeBody(1 << h.BitDepth);
    trns->IsKeyColor = 0;
}

// ---- conversion to and from plain bitmaps ----

void TPNGObject::AssignFromBitmapHandle(HBITMAP bitmap, bool transparent, COLORREF keyColor) {
    BITMAP record{};
    GetObjectA(bitmap, sizeof record, &record);
    const bool indexed = record.bmBitsPixel < 16;
    ClearChunks();
    auto append = [this](const TChunkClass& cls) { return Chunks().AppendItem(cls.CreateFor(this)); };
    auto* header = static_cast<TChunkIHDR*>(append(TChunkIHDR::Class));
    auto* palette = indexed ? static_cast<TChunkPLTE*>(append(TChunkPLTE::Class)) : nullptr;
    auto* trns = transparent ? static_cast<TChunktRNS*>(append(TChunktRNS::Class)) : nullptr;
    append(TChunkIDAT::Class);
    append(TChunkIEND::Class);
    header->ReadDeviceBitmap(bitmap, record); // indexed bitmaps bring their palette
    if (palette != nullptr) palette->EntryCount = 1 << record.bmBitsPixel;
    if (trns != nullptr) trns->SetKeyColor(keyColor);
}

void TPNGObject::ReadClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(format, data, palette);
    AssignFromBitmapHandle(bitmap.Handle(), false, 0);
}

void TPNGObject::WriteClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    TBitmap bitmap;
    bitmap.SetSize(PixelWidth(), PixelHeight());
    DrawOn(bitmap.Canvas(), TRect{0, 0, bitmap.PixelWidth(), bitmap.PixelHeight()});
    bitmap.SaveToClipboardFormat(format, data, palette);
}
