// Palette, transparency and gamma chunks, and the gamma tables they shape.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"
#include "png/pngchunk.h"
#include "png/pngobject.h"

// Fills both tables from a gAMA value (gamma x 100000); a value of 0 leaves them as they are.
void BuildGammaTables(std::uint32_t gammaValue, TGammaTable& decode, TGammaTable& encode);

class TChunkPLTE : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkPLTE, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;
    // Colour-table entry index of the header as blue (lowest byte), green, red, 0; raises EPngError
    // "There is no such palette entry." when index is not below EntryCount.
    std::uint32_t EntryAt(std::uint8_t index) const;

    std::int32_t EntryCount = 0;
};

class TChunktRNS : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunktRNS, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;
    // The transparent colour as an RGB value (red in the lowest byte).
    COLORREF KeyColor() const;
    // Rewrites the chunk so that it describes one transparent colour.
    void SetKeyColor(COLORREF colour);

    std::uint8_t IsKeyColor = 0;
    std::uint8_t TransparencyData[256] = {};
};

class TChunkgAMA : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkgAMA, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    void AssignFrom(const TChunk& source) override;

    // The body as a big-endian number when it is 4 bytes long; otherwise the body becomes 4 bytes
    // and the value reads as 1.
    std::uint32_t GammaValue();
    void SetGammaValue(std::uint32_t value);
};
