// The PNG image: a graphic of the toolkit whose content is its ordered list of chunk objects.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "png/pngchunk.h"
#include "png/pngformat.h"
#include "png/pnglist.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/graphic.h"

class TChunkIHDR;

enum TPNGTransparencyKind : std::uint8_t { ptkOpaque = 0, ptkKeyColor = 1, ptkAlpha = 2 };

using TGammaTable = std::array<std::uint8_t, 256>;

// The PNG row filter types; FilterSet holds one bit per allowed filter (bit n = filter n).
enum TPNGFilter : std::uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };
using TPNGFilterSet = std::uint8_t;
constexpr TPNGFilterSet FilterBit(TPNGFilter f) {
    return static_cast<TPNGFilterSet>(1u << f);
}

class TPNGObject : public TGraphic {
public:
    static const TGraphicClass GraphicClass;

    TPNGObject();
    ~TPNGObject() override;

    const char* ClassName() const noexcept override { return "TPNGObject"; }

    // Saving settings and gamma tables.
    TGammaTable EncodeGamma;
    TPNGFilterSet FilterSet = FilterBit(pfSub);
    std::uint8_t DeflateLevel = 7; // values above 9 are taken as 9 when compressing
    // Filtered images up to this many bytes are compressed whole, by the faster compressor where the
    // build has one (it then holds the filtered image and its compressed form at once); larger ones
    // stream through zlib row by row.
    std::size_t DeflateBudget = std::size_t{256} << 20;
    std::uint8_t InterlaceMode = 0;
    TGammaTable DecodeGamma;

    TCanvas& WorkCanvas() { return *FWorkCanvas; }
    TPNGList& Chunks() { return *FChunks; }
    const TPNGList& Chunks() const { return *FChunks; }
    std::int32_t IdatLimit() const { return FIdatLimit; }
    // Data bytes per written image-data chunk; never below PngMinIdatLimit.
    void SetIdatLimit(std::int32_t n) { FIdatLimit = n >= PngMinIdatLimit ? n : PngMinIdatLimit; }

    // TPersistent / TGraphic
    void AssignFrom(const TPersistent* source) override;
    void CopyInto(TPersistent* destination) const override;
    bool IsEmpty() const override { return FChunks->ItemCount() == 0; }
    std::int32_t PixelHeight() const override;
    std::int32_t PixelWidth() const override;
    HPALETTE PaletteHandle() const override;
    void SetPaletteHandle(HPALETTE palette) override;
    void SetPixelWidth(std::int32_t width) override { ResizeImage(width, PixelHeight()); }
    void SetPixelHeight(std::int32_t height) override { ResizeImage(PixelWidth(), height); }
    void LoadFromStream(TStream& stream) override { ReadPng(stream); }
    void SaveToStream(TStream& stream) override { WritePng(stream); }
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override {
        WriteClipboardFormat(format, data, palette);
    }
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override {
        ReadClipboardFormat(format, data, palette);
    }

    // Drawing: opaque images are copied scaled, key-colour images through a mask, images with
    // alpha blended over what the target shows.
    void DrawOn(TCanvas& canvas, const TRect& rect) override;
    bool HasTransparency() const override;
    TPNGTransparencyKind TransparencyKind() const;
    // The key colour of the first transparency chunk (red in the low byte); 0 without one.
    COLORREF KeyColor() const;

    virtual void ReadPng(TStream& stream);
    virtual void WritePng(TStream& stream);
    // Replaces the image by a clipboard bitmap, and renders the image (over white) for the clipboard.
    virtual void ReadClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
    virtual void WriteClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);
    // One pixel as a colour value (red in the low byte): the colour the pixel is drawn with for
    // indexed images; 0 outside the image. Setting ignores coordinates outside the image.
    virtual COLORREF PixelAt(std::int32_t x, std::int32_t y);
    virtual void SetPixelAt(std::int32_t x, std::int32_t y, TColor colour);

    // Row y (from the top) of the pixel rows, the alpha plane (null without one) and the low-byte
    // plane (null without one). Valid until the image memory is remade; y is not checked.
    std::uint8_t* PixelRow(std::int32_t y) const;
    std::uint8_t* AlphaRow(std::int32_t y) const;
    std::uint8_t* LowByteRow(std::int32_t y) const;
    // New size, keeping the top-left corner: rows and columns are cut or added (black, opaque).
    void ResizeImage(std::int32_t width, std::int32_t height);
    // Gives gray and RGB images an alpha plane (all opaque) and palette images an alpha table.
    void AddAlphaChannel();
    // Replaces the image by a device bitmap, with a key colour when transparent is set.
    void AssignFromBitmapHandle(HBITMAP bitmap, bool transparent, COLORREF keyColor);

    // Frees every chunk and sets both gamma tables to the identity.
    void ClearChunks();
    bool HasHeader() const;
    TChunkIHDR& HeaderChunk() const;
    struct TRowGeometry {
        std::int32_t RowLength;
        std::int32_t FilterDistance;
    };
    TRowGeometry RowGeometry() const;
    // Makes this image a copy of source: settings, then a chunk of the same class for every chunk.
    void AssignFromPng(const TPNGObject& source);

private:
    void DrawWithColorKey(HDC target, const std::uint8_t* rows, const BITMAPINFO* description,
                          const TRect& rect, COLORREF keyColor);
    void DrawAlphaBlended(HDC target, const TRect& rect);

    std::unique_ptr<TCanvas> FWorkCanvas;
    std::int32_t FIdatLimit = PngMinIdatLimit;
    std::unique_ptr<TPNGList> FChunks;
};

// Bytes that pixels take in a PNG row of the colour type and bit depth (no filter byte); 0 for
// an unknown colour type.
std::int32_t PngRowBytes(std::int32_t pixels, std::uint8_t colorType, std::uint8_t bitDepth);

// The eight bytes that start every PNG stream.
inline constexpr std::array<std::uint8_t, 8> PngSignature = {137, 80, 78, 71, 13, 10, 26, 10};

// Unit start-up and shut-down: registers the chunk classes and the PNG graphic format, and undoes it.
void PngImageInitialization();
void PngImageFinalization();
