#include "png/pngchunk.h"

#include <cstring>
#include <memory>

#include "png/pngcrc.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pnglist.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "png/pngtext.h"
#include "toolkit/core/stream.h"

// ---- class references ----

std::string_view TChunkClass::TypeName() const {
    std::string_view name(Name);
    constexpr std::string_view prefix = "TChunk";
    return name.starts_with(prefix) ? name.substr(prefix.size()) : std::string_view{};
}

std::unique_ptr<TChunk> TChunkClass::CreateFor(TPNGObject* owner) const {
    return std::unique_ptr<TChunk>(Make(owner));
}

bool TChunkClass::InheritsFrom(const TChunkClass& other) const {
    for (const TChunkClass* c = this; c != nullptr; c = c->Parent)
        if (c == &other) return true;
    return false;
}

constinit const TChunkClass TChunk::Class{"TChunk", nullptr, &TChunk::Create};
VORLANTH_DEFINE_CHUNK_CLASS(TChunkIEND, TChunk)

TChunk* TChunk::Create(TPNGObject* owner) {
    return new TChunk(owner, Class);
}

// ---- base chunk ----

TChunk::TChunk(TPNGObject* owner, const TChunkClass& cls) : FBody(1, 0), FOwnerImage(owner) {
    const std::string_view type = cls.TypeName();
    if (type.size() == 4) std::memcpy(FTypeCode.data(), type.data(), 4);
}

void TChunk::ResizeBody(std::int32_t n) {
    if (n < 0) n = 0;
    FBody.resize(static_cast<std::size_t>(n) + 1);
    FBody[static_cast<std::size_t>(n)] = 0;
    FBodySize = n;
}

void TChunk::AssignFrom(const TChunk& source) {
    FTypeCode = source.FTypeCode;
    ResizeBody(source.FBodySize);
    if (source.FBodySize > 0)
        std::memcpy(FBody.data(), source.FBody.data(), static_cast<std::size_t>(source.FBodySize));
}

bool TChunk::ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length) {
    // The body grows only as data arrives, so a stream that announces a huge chunk and ends early
    // never makes a huge allocation; the short body then fails the CRC comparison.
    constexpr std::int32_t Block = 1 << 16;
    ResizeBody(0);
    std::int32_t got = 0;
    while (got < length) {
        const std::int32_t want = length - got < Block ? length - got : Block;
        ResizeBody(got + want);
        const std::int32_t n = stream.Read(FBody.data() + got, want);
        got += n > 0 ? n : 0;
        if (n < want) {
            ResizeBody(got);
            break;
        }
    }
    std::uint8_t stored[4] = {};
    stream.Read(stored, 4);
    std::uint32_t crc = UpdatePngCrc(0xFFFFFFFFu, typeCode.data(), 4);
    crc = UpdatePngCrc(crc, FBody.data(), FBodySize) ^ 0xFFFFFFFFu;
    if (crc != ReadBE32(stored)) RaisePngError<EPngInvalidCRC>(pnglang::EPngInvalidCRCText);
    return true;
}

bool TChunk::WriteChunk(TStream& stream) {
    return WriteFramed(stream);
}

bool TChunk::WriteFramed(TStream& stream) {
    std::uint8_t frame[8];
    WriteBE32(frame, static_cast<std::uint32_t>(FBodySize));
    std::memcpy(frame + 4, FTypeCode.data(), 4);
    stream.Write(frame, 8);
    if (FBodySize > 0) stream.Write(FBody.data(), FBodySize);
    std::uint32_t crc = UpdatePngCrc(0xFFFFFFFFu, FTypeCode.data(), 4);
    crc = UpdatePngCrc(crc, FBody.data(), FBodySize) ^ 0xFFFFFFFFu;
    std::uint8_t tail[4];
    WriteBE32(tail, crc);
    stream.Write(tail, 4);
    return true;
}

std::int32_t TChunk::IndexInList() const {
    const TPNGList& list = FOwnerImage->Chunks();
    for (std::uint32_t i = 0; i < list.ItemCount(); ++i)
        if (list.ChunkAt(i) == this) return static_cast<std::int32_t>(i);
    return -1;
}

TChunkIHDR& TChunk::HeaderChunk() const {
    return FOwnerImage->HeaderChunk();
}

// ---- registry ----

namespace {
std::vector<const TChunkClass*> ChunkClassRegistry;
} // namespace

void RegisterChunkClass(const TChunkClass& chunkClass) {
    ChunkClassRegistry.push_back(&chunkClass);
}

void RegisterStandardChunks() {
    for (const TChunkClass* c :
         {&TChunkIEND::Class, &TChunkIHDR::Class, &TChunkIDAT::Class, &TChunkPLTE::Class, &TChunkgAMA::Class,
          &TChunktRNS::Class, &TChunkpHYs::Class, &TChunktIME::Class, &TChunktEXt::Class, &TChunkzTXt::Class})
        RegisterChunkClass(*c);
}

void ReleaseChunkClasses() {
    ChunkClassRegistry.clear();
    ChunkClassRegistry.shrink_to_fit();
}

std::uint32_t RegisteredChunkClassCount() {
    return static_cast<std::uint32_t>(ChunkClassRegistry.size());
}

const TChunkClass* RegisteredChunkClass(std::uint32_t index) {
    return index < ChunkClassRegistry.size() ? ChunkClassRegistry[index] : nullptr;
}

std::unique_ptr<TChunk> CreateChunkForType(TPNGObject* owner, const TChunkTypeCode& typeCode) {
    std::size_t length = 0;
    while (length < 4 && typeCode[length] != 0)
        ++length;
    const std::string_view type(reinterpret_cast<const char*>(typeCode.data()), length);
    const TChunkClass* cls = &TChunk::Class;
    for (const TChunkClass* candidate : ChunkClassRegistry) {
        if (candidate->TypeName() == type) {
            cls = candidate;
            break;
        }
    }
    std::unique_ptr<TChunk> chunk = cls->CreateFor(owner);
    chunk->SetTypeCode(typeCode);
    return chunk;
}
