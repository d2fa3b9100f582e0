// Byte streams: the one way pictures, window descriptions and files are read and written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end or for count <= 0).
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    // Moves the position and returns the new one; a position before the start is refused with
    // EStreamError, one past the end is allowed (reads then return 0).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    virtual std::int64_t Size();

    // Reads or writes exactly count bytes, raising EReadError / EWriteError otherwise.
    void ReadBuffer(void* buffer, std::int32_t count);
    void WriteBuffer(const void* buffer, std::int32_t count);
    // Copies count bytes from source (all of it from its start when count is 0); returns the count.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// Calls move(offset, n) for consecutive pieces of count bytes, each small enough for the 32-bit
// counts of Read and Write.
template <class F>
void ForEachPiece(std::uint64_t count, F move) {
    constexpr std::uint64_t kPiece = std::uint64_t{1} << 30;
    for (std::uint64_t done = 0; done < count;) {
        const auto n = static_cast<std::int32_t>(count - done < kPiece ? count - done : kPiece);
        move(done, n);
        done += static_cast<std::uint64_t>(n);
    }
}

// A read-only view over memory the caller keeps alive; writes return 0.
class TCustomMemoryStream : public TStream {
public:
    TCustomMemoryStream() = default;
    TCustomMemoryStream(const void* data, std::int64_t size) { SetPointer(data, size); }

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return FSize; }
    const std::uint8_t* Memory() const { return FMemory; }
    // Read without a copy: moves past up to count bytes and returns where they lie, with count set
    // to how many there were (0 at the end).
    const std::uint8_t* ReadInPlace(std::int32_t& count);

protected:
    void SetPointer(const void* data, std::int64_t size);
    std::int64_t FPosition = 0;

private:
    const std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
};

// A growable stream in memory that owns its bytes.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;

    std::int32_t Write(const void* buffer, std::int32_t count) override;
    void SetSize(std::int64_t size);
    void Clear() { SetSize(0); }
    std::uint8_t* Memory() { return FData; }
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

private:
    void SetCapacity(std::int64_t capacity);
    std::uint8_t* FData = nullptr;
    std::int64_t FDataSize = 0;
    std::int64_t FCapacity = 0;
};

enum TFileMode { fmOpenRead = 0, fmOpenWrite = 1, fmOpenReadWrite = 2, fmCreate = 0xFF00 };

// A file on disk. Opening failures raise EFOpenError, creation failures EFCreateError.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, int mode);
    ~TFileStream() override;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

private:
    std::FILE* FFile = nullptr;
};
