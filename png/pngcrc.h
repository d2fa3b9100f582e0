// CRC-32 of the PNG stream and the big-endian conversions.
#pragma once

#include <cstddef>
#include <cstdint>

class TStream;

// Runs the PNG CRC register over count bytes, with no inversion of its own: a chunk's CRC is
// UpdatePngCrc(UpdatePngCrc(0xFFFFFFFF, type, 4), data, length) ^ 0xFFFFFFFF. A count of 0 or
// less leaves crc unchanged.
std::uint32_t UpdatePngCrc(std::uint32_t crc, const void* bytes, std::int32_t count);

// The same CRC in zlib's convention (inverted on entry and exit, 0 to start), computed by the
// fastest routine the build holds: ISA-L's carry-less multiply where it was found, zlib's otherwise
// (png/backends/).
std::uint32_t EngineCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count);

// The CRC of a chunk: over its four type bytes, then its length data bytes.
std::uint32_t ChunkCrc(const std::uint8_t* typeCode, const std::uint8_t* data, std::int32_t length);
// Writes one chunk frame: length, type, data and CRC.
void WriteChunkFrame(TStream& stream, const std::uint8_t* typeCode, const std::uint8_t* data,
                     std::int32_t length);

// Reverses the four bytes of a 32-bit value.
constexpr std::uint32_t SwapBytes32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
// The low 16 bits with their bytes exchanged; the upper 16 bits of the result are zero.
constexpr std::uint32_t SwapBytes16(std::uint32_t v) {
    return ((v >> 8) & 0xFFu) | ((v & 0xFFu) << 8);
}

// Reads and writes big-endian numbers in byte buffers.
inline std::uint32_t ReadBE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint16_t ReadBE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline void WriteBE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
inline void WriteBE16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
