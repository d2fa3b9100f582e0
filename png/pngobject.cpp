#include "png/pngobject.h"

#include <cstring>
#include <numeric>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

std::unique_ptr<TGraphic> CreatePngObject() {
    return std::make_unique<TPNGObject>();
}

constexpr TChunkTypeCode TypeOf(const char (&text)[5]) {
    return {static_cast<std::uint8_t>(text[0]), static_cast<std::uint8_t>(text[1]),
            static_cast<std::uint8_t>(text[2]), static_cast<std::uint8_t>(text[3])};
}

} // namespace

constinit const TGraphicClass TPNGObject::GraphicClass{"TPNGObject", &CreatePngObject};

std::int32_t PngRowBytes(std::int32_t pixels, std::uint8_t colorType, std::uint8_t bitDepth) {
    return (pixels * PngBitsPerPixel(colorType, bitDepth) + 7) / 8;
}

TPNGObject::TPNGObject()
    : FWorkCanvas(std::make_unique<TCanvas>()), FChunks(std::make_unique<TPNGList>(this)) {
    ClearChunks(); // identity gamma tables
}

TPNGObject::~TPNGObject() {
    ClearChunks();
}

void TPNGObject::ClearChunks() {
    std::iota(EncodeGamma.begin(), EncodeGamma.end(), std::uint8_t{0});
    std::iota(DecodeGamma.begin(), DecodeGamma.end(), std::uint8_t{0});
    FChunks->Clear();
}

bool TPNGObject::HasHeader() const {
    return FChunks->ItemCount() > 0 && &FChunks->ChunkAt(0)->ClassType() == &TChunkIHDR::Class;
}

TChunkIHDR& TPNGObject::HeaderChunk() const {
    if (!HasHeader()) RaisePngError<EPNGHeaderNotPresent>(pnglang::EPNGHeaderNotPresentText);
    return static_cast<TChunkIHDR&>(*FChunks->ChunkAt(0));
}

std::int32_t TPNGObject::PixelWidth() const {
    return HasHeader() ? std::int32_t(HeaderChunk().Width) : 0;
}
std::int32_t TPNGObject::PixelHeight() const {
    return HasHeader() ? std::int32_t(HeaderChunk().Height) : 0;
}

TPNGObject::TRowGeometry TPNGObject::RowGeometry() const {
    if (!HasHeader()) return {0, 0};
    const TChunkIHDR& h = HeaderChunk();
    const auto width = static_cast<std::int32_t>(h.Width);
    // Filters look back one whole pixel, or one byte when pixels are smaller.
    const int bits = PngBitsPerPixel(h.ColorType, h.BitDepth);
    return {PngRowBytes(width, h.ColorType, h.BitDepth), bits == 0 ? 0 : bits < 8 ? 1 : bits / 8};
}

HPALETTE TPNGObject::PaletteHandle() const {
    return HeaderChunk().PixelPalette();
}

void TPNGObject::SetPaletteHandle(HPALETTE palette) {
    HeaderChunk().InstallPalette(palette);
}

void TPNGObject::AssignFrom(const TPersistent* source) {
    if (source == nullptr) {
        ClearChunks();
        return;
    }
    if (const auto* png = dynamic_cast<const TPNGObject*>(source)) {
        AssignFromPng(*png);
        return;
    }
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        AssignFromBitmapHandle(bitmap->Handle(), bitmap->Transparent(),
                               ColorToRGB(bitmap->TransparentColor()));
        return;
    }
    TGraphic::AssignFrom(source);
}

void TPNGObject::CopyInto(TPersistent* destination) const {
    if (auto* png = dynamic_cast<TPNGObject*>(destination)) {
        png->AssignFromPng(*this);
        return;
    }
    // A plain bitmap gets a device-dependent copy of the pixel rows (no alpha) and the key colour.
    auto* bitmap = dynamic_cast<TBitmap*>(destination);
    if (bitmap != nullptr && HasHeader()) {
        bitmap->SetHandle(
            static_cast<HBITMAP>(CopyImage(HeaderChunk().PixelBitmap(), IMAGE_BITMAP, 0, 0, 0)));
        if (TransparencyKind() == ptkKeyColor) {
            bitmap->SetTransparentColor(static_cast<TColor>(KeyColor()));
            bitmap->SetTransparent(true);
        }
        return;
    }
    TGraphic::CopyInto(destination);
}

void TPNGObject::AssignFromPng(const TPNGObject& source) {
    if (&source == this) return;
    InterlaceMode = source.InterlaceMode;
    SetIdatLimit(source.IdatLimit());
    DeflateLevel = source.DeflateLevel;
    FilterSet = source.FilterSet;
    ClearChunks();
    for (std::uint32_t i = 0; i < source.Chunks().ItemCount(); ++i) {
        const TChunk* from = source.Chunks().ChunkAt(i);
        FChunks->AppendItem(from->ClassType().CreateFor(this))->AssignFrom(*from);
    }
}

// ---- reading and writing a stream ----

void TPNGObject::ReadPng(TStream& stream) {
    ClearChunks();
    std::uint8_t signature[8] = {};
    if (stream.Read(signature, 8) != 8 || std::memcmp(signature, PngSignature.data(), 8) != 0)
        RaisePngError<EPNGInvalidFileHeader>(pnglang::EPNGInvalidFileHeaderText);

    bool seenImageData = false;
    for (;;) {
        std::uint8_t frame[4] = {};
        if (stream.Read(frame, 4) <= 0) RaisePngError<EPngUnexpectedEnd>(pnglang::EPngUnexpectedEndText);
        const std::uint32_t length = ReadBE32(frame);
        TChunkTypeCode type{};
        stream.Read(type.data(), 4);
        if (FChunks->ItemCount() == 0 && type != TypeOf("IHDR"))
            RaisePngError<EPNGIHDRNotFirst>(pnglang::EPNGIHDRNotFirstText);
        // Lengths of 2^31 and above are outside the format; taken as signed they would seek
        // backwards or reserve absurd bodies. The frame is broken as surely as a bad checksum.
        if (length > PngMaxChunkLength) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);

        const bool isData = type == TypeOf("IDAT");
        // The first image-data chunk reads its whole run; later runs are skipped. cHRM is skipped
        // unread and unchecked, so an image never holds one.
        if ((isData && seenImageData) || type == TypeOf("cHRM")) {
            stream.Seek(std::int64_t{length} + 4, TSeekOrigin::soCurrent);
            continue;
        }
        if (isData) seenImageData = true;
        // A chunk stays in the list even when reading it fails.
        TChunk* chunk = FChunks->AppendItem(CreateChunkForType(this, type));
        if (&chunk->ClassType() == &TChunk::Class && type[0] != 0 && (type[0] & 0x20) == 0)
            RaisePngError<EPNGUnknownCriticalChunk>(pnglang::EPNGUnknownCriticalChunkText);
        if (!chunk->ReadBody(stream, type, static_cast<std::int32_t>(length))) break;
        if (type == TypeOf("IEND")) break;
    }
    if (!seenImageData) RaisePngError<EPNGNoImageData>(pnglang::EPNGNoImageDataText);
}

void TPNGObject::WritePng(TStream& stream) {
    stream.Write(PngSignature.data(), 8);
    for (std::uint32_t i = 0; i < FChunks->ItemCount(); ++i)
        FChunks->ChunkAt(i)->WriteChunk(stream);
}

// ---- unit start-up and shut-down ----

void PngImageInitialization() {
    ReleaseChunkClasses();
    RegisterStandardChunks();
    TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", &TPNGObject::GraphicClass);
}

void PngImageFinalization() {
    TPicture::UnregisterGraphicClass(&TPNGObject::GraphicClass);
    ReleaseChunkClasses();
}
