// The PNG image: a graphic of the toolkit whose content is its ordered list of chunk objects.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "png/pngchunk.h"
#include "png/pnglist.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/graphic.h"

class TChunkIHDR;

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
    std::uint8_t InterlaceMode = 0;
    TGammaTable DecodeGamma;

    TCanvas& WorkCanvas() { return *FWorkCanvas; }
    TPNGList& Chunks() { return *FChunks; }
    const TPNGList& Chunks() const { return *FChunks; }
    std::int32_t IdatLimit() const { return FIdatLimit; }
    // Data bytes per written image-data chunk; never below 65535.
    void SetIdatLimit(std::int32_t n) { FIdatLimit = n >= 65535 ? n : 65535; }

    // TPersistent / TGraphic
    void AssignFrom(const TPersistent* source) override;
    void CopyInto(TPersistent* destination) const override;
    bool IsEmpty() const override { return FChunks->ItemCount() == 0; }
    std::int32_t PixelHeight() const override;
    std::int32_t PixelWidth() const override;
    HPALETTE PaletteHandle() const override;
    void SetPaletteHandle(HPALETTE palette) override;
    void LoadFromStream(TStream& stream) override { ReadPng(stream); }
    void SaveToStream(TStream& stream) override { WritePng(stream); }

    virtual void ReadPng(TStream& stream);
    virtual void WritePng(TStream& stream);

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
    std::unique_ptr<TCanvas> FWorkCanvas;
    std::int32_t FIdatLimit = 65535;
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
