// A build without ISA-L: image data is inflated by zlib.
#include <zlib.h>

#include "png/pngcrc.h"
#include "png/pnginflate.h"

bool IsalInflaterBuilt() {
    return false;
}

std::unique_ptr<TImageInflater> MakeIsalInflater(int& result) {
    return MakeZlibInflater(result);
}

std::uint32_t EngineCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) {
    return static_cast<std::uint32_t>(crc32_z(crc, bytes, count));
}
