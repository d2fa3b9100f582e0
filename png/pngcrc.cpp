#include "png/pngcrc.h"

#include "toolkit/core/stream.h"

// The engines compute the same reflected 0xEDB88320 CRC with pre- and post-inversion, so the plain
// register update is their result inverted on both sides. The checksum of every chunk, image data
// included, runs through here.
std::uint32_t UpdatePngCrc(std::uint32_t crc, const void* bytes, std::int32_t count) {
    if (count <= 0) return crc;
    return ~EngineCrc32(~crc, static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(count));
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
