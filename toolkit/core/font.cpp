#include "toolkit/core/font.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi.h"
#include "platform/kernel.h"

namespace {

constexpr int kPixelsPerInch = 96;

} // namespace

TFont::TFont() = default;

TFont::~TFont() {
    if (FHandle != nullptr) DeleteObject(FHandle);
}

std::int32_t TFont::Size() const {
    return -MulDiv(Height, 72, kPixelsPerInch);
}

void TFont::SetSize(std::int32_t points) {
    Height = -MulDiv(points, kPixelsPerInch, 72);
}

void TFont::Assign(const TFont& source) {
    if (&source == this) return;
    Name = source.Name;
    Height = source.Height;
    Color = source.Color;
    Style = source.Style;
    Charset = source.Charset;
}

LOGFONTA TFont::Describe() const {
    LOGFONTA description{};
    description.lfHeight = Height;
    description.lfWeight = Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    description.lfItalic = Style.Contains(fsItalic) ? 1 : 0;
    description.lfUnderline = Style.Contains(fsUnderline) ? 1 : 0;
    description.lfStrikeOut = Style.Contains(fsStrikeOut) ? 1 : 0;
    description.lfCharSet = Charset;
    description.lfQuality = DEFAULT_QUALITY;
    const std::size_t length = std::min<std::size_t>(Name.size(), LF_FACESIZE - 1);
    std::memcpy(description.lfFaceName, Name.data(), length);
    return description;
}

HFONT TFont::Handle() {
    const LOGFONTA description = Describe();
    // Both records are fully zeroed before filling, so comparing bytes compares fields.
    if (FHandle != nullptr && std::memcmp(&description, &FMadeFrom, sizeof(LOGFONTA)) == 0) return FHandle;
    HFONT made = CreateFontIndirectA(&description);
    if (made == nullptr) return nullptr;
    if (FHandle != nullptr) DeleteObject(FHandle);
    FHandle = made;
    FMadeFrom = description;
    return FHandle;
}
