// The base chunk class, chunk-class references and the process-wide chunk-class registry.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TPNGObject;
class TChunk;
class TChunkIHDR;
class TStream;

using TChunkTypeCode = std::array<std::uint8_t, 4>;

// A chunk class as a value: its name, its base class, and its virtual constructor. The chunk type
// a class handles is its name less the prefix "TChunk" ("IHDR" for TChunkIHDR; empty for TChunk).
struct TChunkClass {
    const char* Name;
    const TChunkClass* Parent;
    TChunk* (*Make)(TPNGObject* owner); // the class's Create, the one place its chunks are allocated

    std::unique_ptr<TChunk> CreateFor(TPNGObject* owner) const;
    std::string_view TypeName() const;
    bool InheritsFrom(const TChunkClass& other) const;
};

// One chunk of a PNG stream, made only through a class's CreateFor and owned by the list holding it.
class TChunk {
public:
    static const TChunkClass Class;

    TChunk(const TChunk&) = delete;
    TChunk& operator=(const TChunk&) = delete;
    virtual ~TChunk() = default;

    virtual const TChunkClass& ClassType() const { return Class; }
    bool IsA(const TChunkClass& cls) const { return ClassType().InheritsFrom(cls); }

    // Copies the type code and the body.
    virtual void AssignFrom(const TChunk& source);
    // Reads length data bytes and the CRC; raises EPngInvalidCRC when the stored CRC differs.
    virtual bool ReadBody(TStream& stream, const TChunkTypeCode& typeCode, std::int32_t length);
    // The base writes the chunk as it stands (WriteFramed).
    virtual bool WriteChunk(TStream& stream);

    // The body always has one spare byte beyond BodySize.
    std::uint8_t* Body() { return FBody.data(); }
    const std::uint8_t* Body() const { return FBody.data(); }
    std::int32_t BodySize() const { return FBodySize; }
    void ResizeBody(std::int32_t n);
    TPNGObject* OwnerImage() const { return FOwnerImage; }
    const TChunkTypeCode& TypeCode() const { return FTypeCode; }
    void SetTypeCode(const TChunkTypeCode& code) { FTypeCode = code; }
    std::string TypeText() const { return std::string(FTypeCode.begin(), FTypeCode.end()); }

    // This chunk's index in its owner's chunk list, -1 when absent.
    std::int32_t IndexInList() const;
    // The owner's header chunk; raises EPNGHeaderNotPresent without one.
    TChunkIHDR& HeaderChunk() const;
    // Writes length, type code, body and CRC; always true.
    bool WriteFramed(TStream& stream);

protected:
    TChunk(TPNGObject* owner, const TChunkClass& cls);
    static TChunk* Create(TPNGObject* owner);

private:
    std::vector<std::uint8_t> FBody;
    std::int32_t FBodySize = 0;
    TPNGObject* FOwnerImage;
    TChunkTypeCode FTypeCode{};
};

// Registry of the chunk classes made by type when a stream is read.
void RegisterChunkClass(const TChunkClass& chunkClass);
// Registers the ten standard classes in their fixed order.
void RegisterStandardChunks();
// Empties the registry.
void ReleaseChunkClasses();
// Number of registered classes and the class at an index (for inspection).
std::uint32_t RegisteredChunkClassCount();
const TChunkClass* RegisteredChunkClass(std::uint32_t index);
// Makes a chunk of the first registered class whose type name equals the type (taken up to its
// first zero byte), or a plain TChunk; its TypeCode is the four bytes given.
std::unique_ptr<TChunk> CreateChunkForType(TPNGObject* owner, const TChunkTypeCode& typeCode);

// Declares the class value, the class query, the virtual constructor and the constructor of a chunk
// class deriving from Base.
#define VORLANTH_CHUNK_CLASS(Name, Base)                                                                     \
public:                                                                                                      \
    static const TChunkClass Class;                                                                          \
    const TChunkClass& ClassType() const override {                                                          \
        return Class;                                                                                        \
    }                                                                                                        \
                                                                                                             \
protected:                                                                                                   \
    static TChunk* Create(TPNGObject* owner);                                                                \
    explicit Name(TPNGObject* owner) : Base(owner, Class) {}                                                 \
                                                                                                             \
private:

// Defines the class value and the virtual constructor of a class declared with VORLANTH_CHUNK_CLASS.
#define VORLANTH_DEFINE_CHUNK_CLASS(Name, Base)                                                              \
    constinit const TChunkClass Name::Class{#Name, &Base::Class, &Name::Create};                             \
    TChunk* Name::Create(TPNGObject* owner) {                                                                \
        return new Name(owner);                                                                              \
    }

// The end chunk adds nothing.
class TChunkIEND : public TChunk {
    VORLANTH_CHUNK_CLASS(TChunkIEND, TChunk)
};
