// Ancillary chunks carried beside the image: time, text, compressed text and physical pixel size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "png/pngchunk.h"

// Compressed text that inflates beyond this many bytes counts as undecodable (empty text), so a
// small file cannot make the library allocate without bound. Settable; 16 MiB by default.
void SetCompressedTextLimit(std::size_t bytes);
std::size_t CompressedTextLimit();

class TChunktIME : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunktIME, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;

    std::uint16_t Year = 0;
    std::uint8_t Month = 0;
    std::uint8_t Day = 0;
    std::uint8_t Hour = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
};

class TChunktEXt : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunktEXt, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;

    std::string Keyword;
    std::string Text;

protected:
    TChunktEXt(TPNGObject* owner, const TChunkClass& cls) : TChunk(owner, cls) {}
};

class TChunkzTXt : public TChunktEXt {
    VORLANTH_CHUNK_CLASS(TChunkzTXt, TChunktEXt)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
};

class TChunkpHYs : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkpHYs, TChunk)
public:
    bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) override;
    bool WriteChunk(TStream& stream) override;
    void AssignFrom(const TChunk& source) override;

    std::uint32_t PixelsPerUnitX = 0;
    std::uint32_t PixelsPerUnitY = 0;
    std::uint8_t UnitSpecifier = 0;
};
