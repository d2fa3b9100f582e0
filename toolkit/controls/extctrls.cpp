#include "toolkit/controls/extctrls.h"

#include "toolkit/controls/reader.h"
#include "toolkit/core/graphic.h"
#include "toolkit/core/stream.h"

TImage::TImage() {
    SetBounds(0, 0, 105, 105);
    FPicture.OnChange = [this] { PictureChanged(); };
}

void TImage::SetAutoSize(bool value) {
    FAutoSize = value;
    if (value) PictureChanged();
}

void TImage::SetTransparent(bool value) {
    FTransparent = value;
    PictureChanged();
}

void TImage::PictureChanged() {
    TGraphic* graphic = FPicture.Graphic();
    if (graphic != nullptr) graphic->SetTransparent(FTransparent);
    const std::int32_t w = FPicture.Width();
    const std::int32_t h = FPicture.Height();
    if (FAutoSize && w > 0 && h > 0) SetBounds(Left(), Top(), w, h);
    Invalidate();
}

void TImage::Paint() {
    TGraphic* graphic = FPicture.Graphic();
    if (graphic == nullptr || graphic->IsEmpty()) return;
    graphic->DrawOn(Canvas(), Rect(0, 0, graphic->PixelWidth(), graphic->PixelHeight()));
}

bool TImage::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "Picture.Data") {
        const auto& bytes = reader.Binary(value);
        // The picture reads from a stream of its own, so whatever it leaves unread is skipped.
        TCustomMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        FPicture.ReadData(stream);
    } else if (name == "AutoSize") {
        SetAutoSize(reader.Boolean(value));
    } else if (name == "Transparent") {
        SetTransparent(reader.Boolean(value));
    } else {
        return TGraphicControl::ReadProperty(name, value, reader);
    }
    return true;
}
