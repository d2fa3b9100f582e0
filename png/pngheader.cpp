#include "png/pngheader.h"

#include <cstring>

#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "toolkit/core/stream.h"

VORLANTH_DEFINE_CHUNK_CLASS(TChunkIHDR, TChunk)

TChunkIHDR::~TChunkIHDR() {
    Replace(TImageMemory{});
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

TImageMemory TChunkIHDR::MemoryFor(const TPNGHeaderRecord& r) const {
    return TImageMemory::Create(r.Width, r.Height, r.ColorType, r.BitDepth, OwnerImage()->DecodeGamma.data());
}

void TChunkIHDR::Replace(TImageMemory&& memory) noexcept {
    const HDC old = FMemory.DC();
    FMemory = std::move(memory);
    if (FMemory.RowBits() != 0) IndexedRows = ColorTypeInfo(FMemory.ColorType()).IndexedRows ? 1 : 0;
    if (old == nullptr && FMemory.DC() == nullptr) return;
    TCanvas& canvas = OwnerImage()->WorkCanvas();
    if (canvas.Handle() == old) canvas.SetHandle(nullptr);
    if (FMemory.DC() != nullptr) canvas.SetHandle(FMemory.DC());
}

bool TChunkIHDR::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    if (!TChunk::ReadBody(stream, typeCode, length)) return false;
    if (BodySize() < 13) RaisePngError<EPngInvalidIHDR>(pnglang::EPngInvalidIHDRText);
    TPNGHeaderRecord r;
    std::memcpy(&r, Body(), 13);
    r.Width = ReadBE32(Body());
    r.Height = ReadBE32(Body() + 4);
    SetRecord(r);
    if (Width > PngMaxDimension || Height > PngMaxDimension)
        RaisePngError<EPNGSizeExceeds>(pnglang::EPNGSizeExceedsText);
    if (CompressionMethod != 0) RaisePngError<EPNGUnknownCompression>(pnglang::EPNGUnknownCompressionText);
    if (InterlaceMethod > PngInterlaceAdam7)
        RaisePngError<EPNGUnknownInterlace>(pnglang::EPNGUnknownInterlaceText);
    // An empty image, or a colour type and bit depth the format does not allow, has no row layout
    // and no decoder: refuse it here rather than carry an image without rows.
    if (Width == 0 || Height == 0 || !IsAllowedDepth(ColorType, BitDepth))
        RaisePngError<EPngInvalidIHDR>(pnglang::EPngInvalidIHDRText);
    OwnerImage()->InterlaceMode = InterlaceMethod;
    Replace(MemoryFor(r));
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
    TImageMemory copy = MemoryFor(from.Record());
    copy.CopyFrom(from.FMemory);
    SetRecord(from.Record());
    Replace(std::move(copy));
}

void TChunkIHDR::ReadDeviceBitmap(HBITMAP bitmap, const BITMAP& record) {
    TPNGHeaderRecord r = Record();
    r.Width = static_cast<std::uint32_t>(record.bmWidth);
    r.Height = static_cast<std::uint32_t>(record.bmHeight < 0 ? -record.bmHeight : record.bmHeight);
    const bool indexed = record.bmBitsPixel < 16;
    r.BitDepth = indexed ? static_cast<std::uint8_t>(record.bmBitsPixel) : 8;
    r.ColorType = indexed ? pctPalette : pctRGB;
    r.CompressionMethod = 0;
    r.InterlaceMethod = PngInterlaceNone;
    TImageMemory memory = MemoryFor(r);
    memory.ReadBitmap(bitmap);
    SetRecord(r);
    Replace(std::move(memory));
}

void TChunkIHDR::Resize(std::int32_t width, std::int32_t height) {
    Replace(FMemory.Resized(width, height));
    Width = static_cast<std::uint32_t>(width);
    Height = static_cast<std::uint32_t>(height);
}

void TChunkIHDR::AddAlphaPlane() {
    if (ColorType == pctGray && BitDepth < 8) {
        Replace(FMemory.WidenedToGrayAlpha(OwnerImage()->DecodeGamma.data()));
        BitDepth = 8;
    } else {
        FMemory.AddAlphaPlane();
    }
    ColorType = ColorType == pctGray ? pctGrayAlpha : pctRGBAlpha;
}

void TChunkIHDR::InstallPalette(HPALETTE palette) {
    if (HasPaletteObject(ColorType)) FMemory.InstallPalette(palette);
}
