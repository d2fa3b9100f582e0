// A build without ISA-L: image data is inflated by zlib.
#include "png/pnginflate.h"

bool IsalInflaterBuilt() {
    return false;
}

std::unique_ptr<TImageInflater> MakeIsalInflater(int& result) {
    return MakeZlibInflater(result);
}
