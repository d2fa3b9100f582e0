// A build without libdeflate: image data is compressed by zlib's streaming deflate.
#include "png/pngdeflate.h"

bool WholeDeflateBuilt() {
    return false;
}

bool DeflateWhole(const std::uint8_t*, std::size_t, int, TDeflated&) {
    return false;
}
