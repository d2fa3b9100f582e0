// fuzz_read_bmp: feeds arbitrary bytes to TBitmap::LoadFromStream through a read-only memory stream
// and, when the read succeeds, writes the bitmap out with SaveToStream and reads that back, which must
// give a bitmap of the same size.
//
// The toolkit's own errors (classes derived from Exception) are the expected answer to malformed
// input and are caught. Anything else (another exception, a crash, a leak, undefined behaviour, a
// written bitmap that does not read back) escapes and is reported by libFuzzer and the sanitizers.
#include <cstddef>
#include <cstdint>

#include "toolkit/core/bitmap.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

namespace {

// Pixel data of at most 16 MiB per bitmap keeps every run quick and well inside the fuzzer's memory
// limit, while run-length encoded files may still ask for bitmaps far larger than their data.
constexpr std::size_t kBitmapSectionLimit = std::size_t{16} << 20;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetBitmapSectionLimit(kBitmapSectionLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TCustomMemoryStream input(data, static_cast<std::int64_t>(size));
    TBitmap bitmap;
    try {
        bitmap.LoadFromStream(input);
        (void)bitmap.TransparentColor();
    } catch (const Exception&) {
        return 0;
    }
    TMemoryStream output;
    bitmap.SaveToStream(output);
    output.SetPosition(0);
    TBitmap again;
    again.LoadFromStream(output);
    if (again.PixelWidth() != bitmap.PixelWidth() || again.PixelHeight() != bitmap.PixelHeight())
        __builtin_trap();
    return 0;
}
