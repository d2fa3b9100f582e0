#include "toolkit/core/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "toolkit/core/exception.h"

std::int64_t TStream::Size() {
    const std::int64_t here = Seek(0, TSeekOrigin::soCurrent);
    const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
    if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr std::int32_t BlockSize = 65536;
    auto block = std::make_unique<std::uint8_t[]>(BlockSize);
    std::int64_t left = count;
    while (left > 0) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(left, BlockSize));
        source.ReadBuffer(block.get(), n);
        WriteBuffer(block.get(), n);
        left -= n;
    }
    return count;
}

// ---- memory view ----

void TCustomMemoryStream::SetPointer(const void* data, std::int64_t size) {
    FMemory = static_cast<const std::uint8_t*>(data);
    FSize = size;
}

std::int32_t TCustomMemoryStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0 || FPosition >= FSize) return 0;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, FSize - FPosition));
    std::memcpy(buffer, FMemory + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

const std::uint8_t* TCustomMemoryStream::ReadInPlace(std::int32_t& count) {
    const std::uint8_t* at = FMemory + std::min(FPosition, FSize);
    count = count <= 0 || FPosition >= FSize
                ? 0
                : static_cast<std::int32_t>(std::min<std::int64_t>(count, FSize - FPosition));
    FPosition += count;
    return at;
}

std::int32_t TCustomMemoryStream::Write(const void*, std::int32_t) {
    return 0;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning: base = 0; break;
    case TSeekOrigin::soCurrent: base = FPosition; break;
    case TSeekOrigin::soEnd: base = FSize; break;
    }
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
        throw EStreamError("Invalid stream position");
    FPosition = base + offset;
    return FPosition;
}

// ---- owning memory stream ----

TMemoryStream::~TMemoryStream() {
    std::free(FData);
}

void TMemoryStream::SetCapacity(std::int64_t capacity) {
    if (capacity == FCapacity) return;
    if (capacity == 0) {
        std::free(FData);
        FData = nullptr;
    } else {
        void* p = std::realloc(FData, static_cast<std::size_t>(capacity));
        if (p == nullptr) throw std::bad_alloc();
        FData = static_cast<std::uint8_t*>(p);
    }
    FCapacity = capacity;
    SetPointer(FData, FDataSize);
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    if (size > FCapacity || size == 0) SetCapacity(size);
    if (size > FDataSize) std::memset(FData + FDataSize, 0, static_cast<std::size_t>(size - FDataSize));
    FDataSize = size;
    SetPointer(FData, FDataSize);
    if (FPosition > size) FPosition = size;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    const std::int64_t end = FPosition + count;
    if (end > FCapacity) SetCapacity(std::max<std::int64_t>(end, FCapacity + FCapacity / 2 + 256));
    if (FPosition > FDataSize)
        std::memset(FData + FDataSize, 0, static_cast<std::size_t>(FPosition - FDataSize));
    std::memcpy(FData + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    if (end > FDataSize) FDataSize = end;
    SetPointer(FData, FDataSize);
    return count;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    const std::int64_t size = file.Size();
    SetSize(0);
    SetSize(size);
    ForEachPiece(static_cast<std::uint64_t>(size),
                 [&](std::uint64_t at, std::int32_t n) { file.ReadBuffer(FData + at, n); });
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, fmCreate);
    ForEachPiece(static_cast<std::uint64_t>(FDataSize),
                 [&](std::uint64_t at, std::int32_t n) { file.WriteBuffer(FData + at, n); });
}

// ---- file stream ----

TFileStream::TFileStream(const std::string& fileName, int mode) {
    if (mode == fmCreate) {
        FFile = std::fopen(fileName.c_str(), "w+b");
        if (FFile == nullptr)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        return;
    }
    const char* how = (mode & 3) == fmOpenRead ? "rb" : "r+b";
    FFile = std::fopen(fileName.c_str(), how);
    if (FFile == nullptr) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
}

TFileStream::~TFileStream() {
    if (FFile != nullptr) std::fclose(FFile);
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    return static_cast<std::int32_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), FFile));
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    return static_cast<std::int32_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), FFile));
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    if (!(offset == 0 && whence == SEEK_CUR) && fseeko(FFile, offset, whence) != 0)
        throw EStreamError("Invalid stream position");
    return ftello(FFile);
}
