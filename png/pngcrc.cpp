#include "png/pngcrc.h"

#include <zlib.h>

#include "toolkit/core/stream.h"

// zlib's crc32 computes the same reflected 0xEDB88320 CRC with pre- and post-inversion and a
// multi-byte-per-step method, so the plain register update is its inversion on both sides. The
// checksum of every chunk, image data included, runs through here.
std::uint32_t UpdatePngCrc(std::uint32_t crc, const void* bytes, std::int32_t count) {
    if (count <= 0) return crc;
    return ~static_cast<std::uint32_t>(
        crc32(~crc & 0xFFFFFFFFu, static_cast<const Bytef*>(bytes), static_cast<uInt>(count)));
}

std::uint32_t ChunkCrc(const std::uint8_t* typeCode, const std::uint8_t* data, std::int32_t length) {
    return UpdatePngCrc(UpdatePngCrc(0xFFFFFFFFu, typeCode, 4), data, length) ^ 0xFFFFFFFFu;
}

void WriteChunkFrame(TStream& stream, const std::uint8_t* typeCode, const std::uint8_t* data,
                     std::int32_t length) {
    std::uint8_t frame[8];
    WriteBE32(frame, static_cast<std::uint32_t>(length));
    for (int i = 0; i < 4; ++i)
        frame[4 + i] = typeCode[i];
    stream.Write(frame, 8);
    if (length > 0) stream.Write(data, length);
    std::uint8_t tail[4];
    WriteBE32(tail, ChunkCrc(typeCode, data, length));
    stream.Write(tail, 4);
}
