#include "png/pngcrc.h"

#include <zlib.h>

// zlib's crc32 computes the same reflected 0xEDB88320 CRC with pre- and post-inversion and a
// multi-byte-per-step method, so the plain register update is its inversion on both sides. The
// checksum of every chunk, image data included, runs through here.
std::uint32_t UpdatePngCrc(std::uint32_t crc, const void* bytes, std::int32_t count) {
    if (count <= 0) return crc;
    return ~static_cast<std::uint32_t>(
        crc32(~crc & 0xFFFFFFFFu, static_cast<const Bytef*>(bytes), static_cast<uInt>(count)));
}
