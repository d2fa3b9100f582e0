#include "png/pngpalette.h"

#include <cmath>
#include <cstring>

#include "platform/gdi.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pnglang.h"
#include "png/pngobject.h"

VORLANTH_DEFINE_CHUNK_CLASS(TChunkPLTE, TChunk)
VORLANTH_DEFINE_CHUNK_CLASS(TChunktRNS, TChunk)
constinit const TChunkClass TChunkgAMA::Class{"TChunkgAMA", &TChunk::Class, &TChunkgAMA::Create};
// A new gamma chunk holds the value 1.
TChunk* TChunkgAMA::Create(TPNGObject* owner) {
    std::unique_ptr<TChunkgAMA> chunk(new TChunkgAMA(owner));
    chunk->SetGammaValue(1);
    return chunk.release();
}

// ---- gamma ----

void BuildGammaTables(std::uint32_t gammaValue, TGammaTable& decode, TGammaTable& encode) {
    if (gammaValue == 0) return;
    // Extended precision, rounding half to even, as the tables have always been built.
    const long double e = 1.0L / ((static_cast<long double>(gammaValue) / 100000.0L) * 2.2L);
    for (int i = 0; i < 256; ++i) {
        const long double b = static_cast<long double>(i) / 255.0L;
        long double p;
        if (e == 0.0L)
            p = 1.0L;
        else if (b == 0.0L)
            p = 0.0L;
        else
            p = std::exp(e * std::log(b));
        const long double t = std::nearbyint(p * 255.0L);
        const auto v = static_cast<std::uint8_t>(t < 0 ? 0 : t > 255 ? 255 : static_cast<int>(t));
        decode[static_cast<std::size_t>(i)] = v;
        encode[v] = static_cast<std::uint8_t>(i);
    }
}

std::uint32_t TChunkgAMA::GammaValue() {
    if (BodySize() == 4) return ReadBE32(Body());
    ResizeBody(4);
    return 1;
}

void TChunkgAMA::SetGammaValue(std::uint32_t value) {
    if (BodySize() != 4) ResizeBody(4);
    WriteBE32(Body(), value);
}

bool TChunkgAMA::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    if (!TChunk::ReadBody(stream, typeCode, length)) return false;
    // A body of another size carries no gamma: the tables stay as they are, as for a value of 0.
    if (BodySize() != 4) return true;
    TPNGObject& owner = *OwnerImage();
    BuildGammaTables(GammaValue(), owner.DecodeGamma, owner.EncodeGamma);
    return true;
}

void TChunkgAMA::AssignFrom(const TChunk& source) {
    if (!source.IsA(TChunkgAMA::Class)) RaisePngError<EPngError>(pnglang::EPngErrorIncompatibleChunksText);
    // The source's value as GammaValue reads it, without resizing the source's body.
    SetGammaValue(source.BodySize() == 4 ? ReadBE32(source.Body()) : 1);
}

// ---- palette ----

bool TChunkPLTE::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    if (!TChunk::ReadBody(stream, typeCode, length)) return false;
    if (length % 3 != 0 || length / 3 > 256)
        RaisePngError<EPNGInvalidPalette>(pnglang::EPNGInvalidPaletteText);
    EntryCount = length / 3;
    TLogPalette256 palette;
    palette.Count = static_cast<WORD>(EntryCount);
    const TGammaTable& gamma = OwnerImage()->DecodeGamma;
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const std::uint8_t* rgb = Body() + 3 * i;
        palette.Entries[i] = PALETTEENTRY{gamma[rgb[0]], gamma[rgb[1]], gamma[rgb[2]], 0};
    }
    HPALETTE handle = CreatePaletteFrom(palette);
    if (handle == nullptr && EntryCount > 0) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    TChunkIHDR& header = HeaderChunk();
    header.InstallPalette(handle);
    // A suggested palette of a colour image is not kept by the header: release it at once.
    if (handle != nullptr && header.PixelPalette() != handle) DeleteObject(handle);
    return true;
}

bool TChunkPLTE::WriteChunk(TStream& stream) {
    TChunkIHDR& header = HeaderChunk();
    if (EntryCount == 0) EntryCount = static_cast<std::int32_t>(header.ColorsUsed());
    ResizeBody(3 * EntryCount);
    PALETTEENTRY entries[256] = {};
    GetPaletteEntries(header.PixelPalette(), 0, 256, entries);
    const TGammaTable& gamma = OwnerImage()->EncodeGamma;
    for (std::int32_t i = 0; i < EntryCount && i < 256; ++i) {
        std::uint8_t* rgb = Body() + 3 * i;
        rgb[0] = gamma[entries[i].peRed];
        rgb[1] = gamma[entries[i].peGreen];
        rgb[2] = gamma[entries[i].peBlue];
    }
    return WriteFramed(stream);
}

void TChunkPLTE::AssignFrom(const TChunk& source) {
    if (!source.IsA(TChunkPLTE::Class)) RaisePngError<EPngError>(pnglang::EPngErrorIncompatibleChunksText);
    EntryCount = static_cast<const TChunkPLTE&>(source).EntryCount;
}

std::uint32_t TChunkPLTE::EntryAt(std::uint8_t index) const {
    if (!(static_cast<std::int32_t>(index) <= EntryCount - 1))
        RaisePngError<EPngError>(pnglang::EPngErrorNoPaletteEntryText);
    const RGBQUAD& c = HeaderChunk().DibInfo().ColorTable[index];
    return std::uint32_t{c.rgbBlue} | (std::uint32_t{c.rgbGreen} << 8) | (std::uint32_t{c.rgbRed} << 16) |
           (std::uint32_t{c.rgbReserved} << 24);
}

// ---- transparency ----

bool TChunktRNS::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    if (!TChunk::ReadBody(stream, typeCode, length)) return false;
    if (length > 256) RaisePngError<EPNGInvalidPalette>(pnglang::EPNGInvalidPaletteText);
    std::memset(TransparencyData, 255, sizeof TransparencyData);
    std::memcpy(TransparencyData, Body(), static_cast<std::size_t>(length));
    const TChunkIHDR& header = HeaderChunk();
    switch (header.ColorType) {
    case pctGray:
        IsKeyColor = 1;
        // 2-bit gray is held (and saved) as 4-bit indices 5v: the key follows, so that it names the
        // same pixels in the image memory and in a saved copy.
        if (header.BitDepth == 2 && length >= 2 && ReadBE16(TransparencyData) <= 3)
            WriteBE16(TransparencyData, 5u * ReadBE16(TransparencyData));
        break;
    case pctRGB: IsKeyColor = 1; break;
    case pctPalette: {
        // A key colour expresses one fully transparent entry and nothing else; a single partly
        // transparent entry needs the alpha path.
        int differing = 0;
        int zeros = 0;
        for (std::int32_t i = 0; i < length; ++i) {
            if (TransparencyData[i] != 255) ++differing;
            if (TransparencyData[i] == 0) ++zeros;
        }
        IsKeyColor = differing == 1 && zeros == 1 ? 1 : 0;
        break;
    }
    default: break;
    }
    return true;
}

bool TChunktRNS::WriteChunk(TStream& stream) {
    if (BodySize() <= 256) std::memcpy(Body(), TransparencyData, static_cast<std::size_t>(BodySize()));
    return WriteFramed(stream);
}

void TChunktRNS::AssignFrom(const TChunk& source) {
    const auto& from = static_cast<const TChunktRNS&>(source);
    std::memcpy(TransparencyData, from.TransparencyData, sizeof TransparencyData);
    IsKeyColor = from.IsKeyColor;
    TChunk::AssignFrom(source);
}

COLORREF TChunktRNS::KeyColor() const {
    const TChunkIHDR& header = HeaderChunk();
    switch (header.ColorType) {
    case pctGray: {
        const BYTE g = header.DibInfo().ColorTable[TransparencyData[1]].rgbRed;
        return RGB(g, g, g);
    }
    case pctRGB: {
        const TGammaTable& gamma = OwnerImage()->DecodeGamma;
        return RGB(gamma[TransparencyData[1]], gamma[TransparencyData[3]], gamma[TransparencyData[5]]);
    }
    case pctPalette: {
        for (std::int32_t i = 0; i < BodySize() && i < 256; ++i) {
            if (TransparencyData[i] != 0) continue;
            const auto* palette =
                static_cast<const TChunkPLTE*>(OwnerImage()->Chunks().FindByClass(TChunkPLTE::Class));
            if (palette == nullptr) return 0;
            const std::uint32_t bgr = palette->EntryAt(static_cast<std::uint8_t>(i));
            return RGB(static_cast<BYTE>(bgr >> 16), static_cast<BYTE>(bgr >> 8), static_cast<BYTE>(bgr));
        }
        return 0;
    }
    default: return 0;
    }
}

void TChunktRNS::SetKeyColor(COLORREF colour) {
    std::memset(TransparencyData, 0, sizeof TransparencyData);
    IsKeyColor = 1;
    TChunkIHDR& header = HeaderChunk();
    switch (header.ColorType) {
    case pctGray:
        ResizeBody(2);
        WriteBE16(TransparencyData, GetRValue(colour));
        break;
    case pctRGB:
        ResizeBody(6);
        WriteBE16(TransparencyData, GetRValue(colour));
        WriteBE16(TransparencyData + 2, GetGValue(colour));
        WriteBE16(TransparencyData + 4, GetBValue(colour));
        break;
    case pctPalette: {
        const std::uint32_t used = header.ColorsUsed() < 256 ? header.ColorsUsed() : 256;
        std::uint32_t i = 0;
        while (i < used) {
            const RGBQUAD& c = header.DibInfo().ColorTable[i];
            if (c.rgbBlue == GetBValue(colour) && c.rgbGreen == GetGValue(colour) &&
                c.rgbRed == GetRValue(colour))
                break;
            ++i;
        }
        if (i >= 256) {
            std::memset(TransparencyData, 255, sizeof TransparencyData);
            ResizeBody(256);
        } else {
            std::memset(TransparencyData, 255, i);
            ResizeBody(static_cast<std::int32_t>(i) + 1);
        }
        break;
    }
    default: break;
    }
}
