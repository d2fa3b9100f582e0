// Image data compressed whole by libdeflate, as one zlib stream.
#include <libdeflate.h>

#include <algorithm>
#include <memory>

#include "platform/faults.h"
#include "png/pngdeflate.h"

bool WholeDeflateBuilt() {
    return true;
}

bool DeflateWhole(const std::uint8_t* input, std::size_t size, int level, TDeflated& output) {
    // The compressor's tables are an allocation point of the failure sweeps, as zlib's are.
    if (faults::ShouldFail()) return false;
    const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(std::clamp(level, 0, 9)), libdeflate_free_compressor);
    if (!compressor) return false;
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
    output.Bytes.reset(static_cast<std::uint8_t*>(largemem::Allocate(bound)));
    if (!output.Bytes) return false;
    output.Size = libdeflate_zlib_compress(compressor.get(), input, size, output.Bytes.get(), bound);
    return output.Size != 0;
}
