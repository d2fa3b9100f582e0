// Pixel access, resizing, the alpha channel, and conversion to and from plain bitmaps.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "toolkit/core/bitmap.h"

namespace {

using u8 = std::uint8_t;

// Field v of width k bits at column x of a packed row (k = 1, 4 or 8).
unsigned FieldAt(const u8* row, std::int32_t x, int k) {
    const int n = 8 / k;
    return (row[x / n] >> (8 - k - (x % n) * k)) & (255u >> (8 - k));
}

} // namespace

std::uint8_t* TPNGObject::PixelRow(std::int32_t y) const {
    return HeaderChunk().PixelRow(y);
}

std::uint8_t* TPNGObject::AlphaRow(std::int32_t y) const {
    const TChunkIHDR& h = HeaderChunk();
    return (h.ColorType == 4 || h.ColorType == 6) ? h.AlphaRow(y) : nullptr;
}

std::uint8_t* TPNGObject::LowByteRow(std::int32_t y) const {
    return HeaderChunk().LowByteRow(y);
}

COLORREF TPNGObject::PixelAt(std::int32_t x, std::int32_t y) {
    if (x < 0 || x > PixelWidth() - 1 || y < 0 || y > PixelHeight() - 1) return 0;
    const TChunkIHDR& h = HeaderChunk();
    const u8* row = h.PixelRow(y);
    switch (h.ColorType) {
    case 0:
    case 3: {
        const int k = h.RowBits();
        const unsigned v = FieldAt(row, x, k);
        if (h.ColorType == 3) {
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
    case 4: return RGB(row[x], row[x], row[x]);
    default: {
        const u8* p = row + 3 * x;
        return RGB(p[2], p[1], p[0]);
    }
    }
}

void TPNGObject::SetPixelAt(std::int32_t x, std::int32_t y, TColor colour) {
    if (x < 0 || x > PixelWidth() - 1 || y < 0 || y > PixelHeight() - 1) return;
    TChunkIHDR& h = HeaderChunk();
    u8* row = h.PixelRow(y);
    switch (h.ColorType) {
    case 0:
    case 3: {
        const COLORREF rgb = ColorToRGB(colour);
        const int k = h.RowBits();
        const int n = 8 / k;
        const unsigned mask = 255u >> (8 - k);
        const UINT i = GetNearestPaletteIndex(PaletteHandle(), rgb);
        const int shift = 8 - k - (x % n) * k;
        u8& byte = row[x / n];
        byte = static_cast<u8>((byte & ~(mask << shift)) | ((i & mask) << shift));
        break;
    }
    case 4: row[x] = static_cast<u8>(colour); break;
    default: {
        u8* p = row + 3 * x;
        p[0] = static_cast<u8>(colour >> 16);
        p[1] = static_cast<u8>(colour >> 8);
        p[2] = static_cast<u8>(colour);
        break;
    }
    }
}

void TPNGObject::ResizeImage(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1) RaisePngError<EPNGInvalidNewSize>(pnglang::EPNGInvalidNewSizeText);
    TChunkIHDR& h = HeaderChunk();
    const std::int32_t stride =
        static_cast<std::int32_t>(((std::int64_t{h.RowBits()} * width + 31) / 32) * 4);
    // Everything new is made first, so a refusal leaves the image as it was.
    TDibInfo info = h.DibInfo;
    info.Header.biWidth = width;
    info.Header.biHeight = height;
    HDC dc = CreateCompatibleDC(h.MemoryDC);
    void* bits = nullptr;
    HBITMAP section = dc != nullptr ? CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info),
                                                       DIB_RGB_COLORS, &bits, nullptr, 0)
                                    : nullptr;
    TPlane alpha, low;
    if (section != nullptr && bits != nullptr) {
        if (h.AlphaPlane)
            alpha.reset(static_cast<u8*>(std::malloc(std::size_t(width) * std::size_t(height))));
        if (h.LowBytePlane)
            low.reset(static_cast<u8*>(std::calloc(std::size_t(stride) * std::size_t(height), 1)));
    }
    if (section == nullptr || bits == nullptr || (h.AlphaPlane && !alpha) || (h.LowBytePlane && !low)) {
        if (section != nullptr) DeleteObject(section);
        if (dc != nullptr) DeleteDC(dc);
        RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    }
    if (h.PixelPalette != nullptr) {
        SelectPalette(dc, h.PixelPalette, FALSE);
        RealizePalette(dc);
    }
    SelectObject(dc, section);

    auto* newRows = static_cast<u8*>(bits);
    const std::int32_t keepRows = std::min<std::int32_t>(height, static_cast<std::int32_t>(h.Height));
    const auto keepBytes = static_cast<std::size_t>(std::min(stride, h.RowStride));
    for (std::int32_t y = 0; y < keepRows; ++y) {
        std::memcpy(newRows + std::size_t(height - 1 - y) * std::size_t(stride), h.PixelRow(y), keepBytes);
        if (low)
            std::memcpy(low.get() + std::size_t(height - 1 - y) * std::size_t(stride), h.LowByteRow(y),
                        keepBytes);
    }
    if (alpha) {
        std::memset(alpha.get(), 255, std::size_t(width) * std::size_t(height));
        const auto keepColumns =
            static_cast<std::size_t>(std::min<std::int32_t>(width, std::int32_t(h.Width)));
        for (std::int32_t y = 0; y < keepRows; ++y)
            std::memcpy(alpha.get() + std::size_t(y) * std::size_t(width), h.AlphaRow(y), keepColumns);
        h.AlphaPlane = std::move(alpha);
    }
    if (low) h.LowBytePlane = std::move(low);

    // The old context goes first so that the old section and the palette are no longer held.
    if (WorkCanvas().Handle() == h.MemoryDC) WorkCanvas().SetHandle(nullptr);
    DeleteDC(h.MemoryDC);
    DeleteObject(h.PixelBitmap);
    h.RowStride = stride;
    h.Width = static_cast<std::uint32_t>(width);
    h.Height = static_cast<std::uint32_t>(height);
    h.DibInfo.Header.biWidth = width;
    h.DibInfo.Header.biHeight = height;
    h.PixelRows = newRows;
    h.PixelBitmap = section;
    h.MemoryDC = dc;
    WorkCanvas().SetHandle(dc);
}

void TPNGObject::AddAlphaChannel() {
    TChunkIHDR& h = HeaderChunk();
    switch (h.ColorType) {
    case 0:
    case 2: {
        if (h.ColorType == 0 && h.BitDepth < 8) {
            // Packed gray rows become 8-bit gray samples (level scaled to 0..255, as the gray ramp
            // does before gamma), so the image is a consistent 8-bit gray image with alpha.
            const int k = h.RowBits();
            const unsigned scale = 255u / ((1u << k) - 1u);
            std::vector<u8> samples(std::size_t(h.Width) * h.Height);
            for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y)
                for (std::int32_t x = 0; x < std::int32_t(h.Width); ++x)
                    samples[std::size_t(y) * h.Width + std::size_t(x)] =
                        static_cast<u8>(FieldAt(h.PixelRow(y), x, k) * scale);
            h.BitDepth = 8;
            h.ColorType = 4;
            h.PrepareImageMemory();
            for (std::int32_t y = 0; y < std::int32_t(h.Height); ++y)
                std::memcpy(h.PixelRow(y), samples.data() + std::size_t(y) * h.Width, h.Width);
        } else {
            h.ColorType = h.ColorType == 0 ? 4 : 6;
            h.AlphaPlane.reset(static_cast<u8*>(std::malloc(std::size_t(h.Width) * h.Height)));
            if (!h.AlphaPlane) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
        }
        std::memset(h.AlphaPlane.get(), 255, std::size_t(h.Width) * h.Height);
        break;
    }
    case 3: {
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
        break;
    }
    default: break;
    }
}

// ---- conversion to and from plain bitmaps ----

void TPNGObject::AssignFromBitmapHandle(HBITMAP bitmap, bool transparent, COLORREF keyColor) {
    BITMAP record{};
    GetObjectA(bitmap, sizeof record, &record);
    const bool indexed = record.bmBitsPixel < 16;
    ClearChunks();
    auto append = [this](const TChunkClass& cls) {
        TChunk* chunk = cls.CreateFor(this);
        Chunks().AppendItem(chunk);
        return chunk;
    };
    auto* header = static_cast<TChunkIHDR*>(append(TChunkIHDR::Class));
    auto* palette = indexed ? static_cast<TChunkPLTE*>(append(TChunkPLTE::Class)) : nullptr;
    auto* trns = transparent ? static_cast<TChunktRNS*>(append(TChunktRNS::Class)) : nullptr;
    append(TChunkIDAT::Class);
    append(TChunkIEND::Class);
    header->ReadDeviceBitmap(bitmap, record);
    if (palette != nullptr) {
        palette->EntryCount = 1 << record.bmBitsPixel;
        // The palette object follows the bitmap's colours, which the header's colour table now holds.
        TLogPalette256 entries;
        entries.Count = static_cast<WORD>(palette->EntryCount);
        for (std::int32_t i = 0; i < palette->EntryCount && i < 256; ++i) {
            const RGBQUAD& c = header->DibInfo.ColorTable[i];
            entries.Entries[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
        }
        if (HPALETTE handle = CreatePaletteFrom(entries)) header->InstallPalette(handle);
    }
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
