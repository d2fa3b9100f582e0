// fuzz_read_formdata: feeds arbitrary bytes to ReadFormData and, when the read succeeds, writes the
// model back out with WriteFormData and reads that again, which must give the same model. Picture
// values are split as the window builder would split them.
//
// The toolkit's own errors (classes derived from Exception) are the expected answer to malformed
// input and are caught. Anything else (another exception, a crash, a leak, undefined behaviour, a
// written description that does not read back the same) escapes and is reported by libFuzzer and the
// sanitizers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

namespace {

void SplitPictures(const TFormObject& object) {
    for (const TFormProperty& property : object.Properties) {
        if (property.Name != "Picture.Data" || property.Value.Kind != TFormValueKind::Binary) continue;
        try {
            (void)PictureFileBytes(SplitPictureData(property.Value.Bytes));
        } catch (const Exception&) {}
    }
    for (const TFormObject& child : object.Children)
        SplitPictures(child);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFormObject form;
    try {
        form = ReadFormData(std::span(data, size));
    } catch (const Exception&) {
        return 0;
    }
    SplitPictures(form);
    // Whatever the reader accepts the writer can express, so no exception is expected here.
    if (ReadFormData(WriteFormData(form)) != form) __builtin_trap();
    return 0;
}
