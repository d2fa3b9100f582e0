#include "png/pngtext.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "png/pngcrc.h"
#include "png/pngobject.h"
#include "png/pngzlib.h"

VORLANTH_DEFINE_CHUNK_CLASS(TChunktIME, TChunk)
VORLANTH_DEFINE_CHUNK_CLASS(TChunktEXt, TChunk)
VORLANTH_DEFINE_CHUNK_CLASS(TChunkzTXt, TChunktEXt)
VORLANTH_DEFINE_CHUNK_CLASS(TChunkpHYs, TChunk)

namespace {

std::size_t TextLimit = std::size_t{16} << 20;

// The keyword's length: the body bytes before the first zero byte (all of them without one).
std::int32_t KeywordLength(const std::uint8_t* body, std::int32_t size) {
    const void* zero = std::memchr(body, 0, static_cast<std::size_t>(size));
    return zero != nullptr ? static_cast<std::int32_t>(static_cast<const std::uint8_t*>(zero) - body) : size;
}

} // namespace

void SetCompressedTextLimit(std::size_t bytes) {
    TextLimit = bytes;
}
std::size_t CompressedTextLimit() {
    return TextLimit;
}

// ---- time ----

bool TChunktIME::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    const bool result = TChunk::ReadBody(stream, typeCode, length);
    if (result && length == 7) {
        const std::uint8_t* b = Body();
        Year = ReadBE16(b);
        Month = b[2];
        Day = b[3];
        Hour = b[4];
        Minute = b[5];
        Second = b[6];
    }
    return result;
}

bool TChunktIME::WriteChunk(TStream& stream) {
    ResizeBody(7);
    std::uint8_t* b = Body();
    WriteBE16(b, Year);
    b[2] = Month;
    b[3] = Day;
    b[4] = Hour;
    b[5] = Minute;
    b[6] = Second;
    return WriteFramed(stream);
}

void TChunktIME::AssignFrom(const TChunk& source) {
    const auto& from = static_cast<const TChunktIME&>(source);
    Year = from.Year;
    Month = from.Month;
    Day = from.Day;
    Hour = from.Hour;
    Minute = from.Minute;
    Second = from.Second;
}

// ---- physical pixel size ----

bool TChunkpHYs::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    const bool result = TChunk::ReadBody(stream, typeCode, length);
    if (result && length == 9) {
        PixelsPerUnitX = ReadBE32(Body());
        PixelsPerUnitY = ReadBE32(Body() + 4);
        UnitSpecifier = Body()[8];
    }
    return result;
}

bool TChunkpHYs::WriteChunk(TStream& stream) {
    ResizeBody(9);
    WriteBE32(Body(), PixelsPerUnitX);
    WriteBE32(Body() + 4, PixelsPerUnitY);
    Body()[8] = UnitSpecifier;
    return WriteFramed(stream);
}

void TChunkpHYs::AssignFrom(const TChunk& source) {
    const auto& from = static_cast<const TChunkpHYs&>(source);
    PixelsPerUnitX = from.PixelsPerUnitX;
    PixelsPerUnitY = from.PixelsPerUnitY;
    UnitSpecifier = from.UnitSpecifier;
}

// ---- text ----

bool TChunktEXt::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    const bool result = TChunk::ReadBody(stream, typeCode, length);
    if (result && length >= 3) {
        const std::int32_t keyword = KeywordLength(Body(), length);
        Keyword.assign(reinterpret_cast<const char*>(Body()), static_cast<std::size_t>(keyword));
        const auto textLength = static_cast<std::size_t>(std::max(length - keyword - 1, 0));
        Text.assign(reinterpret_cast<const char*>(Body()) + keyword + 1, textLength);
    }
    return result;
}

bool TChunktEXt::WriteChunk(TStream& stream) {
    ResizeBody(static_cast<std::int32_t>(Keyword.size() + 1 + Text.size()));
    std::memset(Body(), 0, static_cast<std::size_t>(BodySize()));
    std::memcpy(Body(), Keyword.data(), Keyword.size());
    std::memcpy(Body() + Keyword.size() + 1, Text.data(), Text.size());
    return WriteFramed(stream);
}

void TChunktEXt::AssignFrom(const TChunk& source) {
    const auto& from = static_cast<const TChunktEXt&>(source);
    Keyword = from.Keyword;
    Text = from.Text;
}

// ---- compressed text ----

bool TChunkzTXt::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    const bool result = TChunktEXt::ReadBody(stream, typeCode, length);
    if (result && length >= 4) { // the keyword is read as text's
        const std::int32_t keyword = KeywordLength(Body(), length);
        Text.clear();
        const std::int32_t compressed = length - keyword - 2;
        if (keyword + 1 < length && Body()[keyword + 1] == 0 && compressed >= 0) {
            std::vector<std::uint8_t> text;
            std::string error;
            // A text that would inflate past the limit counts as undecodable.
            if (InflateBuffer(Body() + keyword + 2, static_cast<std::size_t>(compressed), text, error,
                              CompressedTextLimit()))
                Text.assign(text.begin(), text.end());
        }
    }
    return result;
}

bool TChunkzTXt::WriteChunk(TStream& stream) {
    if (Text.empty()) Text.assign(1, ' ');
    std::vector<std::uint8_t> compressed;
    std::string error;
    // A text that cannot be compressed fails the save rather than leaving the chunk out.
    if (!DeflateBuffer(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size(),
                       OwnerImage()->DeflateLevel, compressed, error))
        RaiseZlibError(error);
    ResizeBody(static_cast<std::int32_t>(Keyword.size() + 2 + compressed.size()));
    std::memset(Body(), 0, static_cast<std::size_t>(BodySize()));
    std::memcpy(Body(), Keyword.data(), Keyword.size());
    std::memcpy(Body() + Keyword.size() + 2, compressed.data(), compressed.size());
    return WriteFramed(stream);
}
