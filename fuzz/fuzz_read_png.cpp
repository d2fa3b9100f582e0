// fuzz_read_png: feeds arbitrary bytes to TPNGObject::ReadPng through a read-only memory stream and,
// when the read succeeds, writes the image back out with WritePng into a memory stream.
//
// The library's own errors (classes derived from the toolkit's Exception) are the expected answer to
// malformed input and are caught. Anything else (another exception, a crash, a leak, undefined
// behaviour) escapes and is reported by libFuzzer and the sanitizers as a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "png/pngimage.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

namespace {

// Pixel rows of at most 64 MiB per image keep every run quick and well inside the fuzzer's memory
// limit (the alpha and low-byte planes are never larger than the pixel rows).
constexpr std::size_t kBitmapSectionLimit = std::size_t{64} << 20;

// Stopped when libFuzzer exits, before the leak check, so that the registries are not reported.
void StopLibrary() {
    PngImageFinalization();
    PictureFinalization();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Started once for the whole session.
    PictureInitialization();
    PngImageInitialization();
    std::atexit(StopLibrary);
    SetBitmapSectionLimit(kBitmapSectionLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TCustomMemoryStream input(data, static_cast<std::int64_t>(size));
    TPNGObject image;
    try {
        image.ReadPng(input);
    } catch (const Exception&) {
        return 0;
    }
    try {
        TMemoryStream output;
        image.WritePng(output);
    } catch (const Exception&) {}
    return 0;
}
