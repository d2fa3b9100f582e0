// The image control: shows a picture at its natural size at the control's top-left corner, never
// stretched or centred.
#pragma once

#include "toolkit/controls/controls.h"
#include "toolkit/core/picture.h"

class TImage : public TGraphicControl {
public:
    TImage();
    const char* ClassName() const noexcept override { return "TImage"; }

    TPicture& Picture() { return FPicture; }
    // Takes the picture's size whenever the picture changes and both its sides are positive.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    // Handed to the picture's graphic each time the picture changes.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    void Paint() override;
    bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) override;

private:
    void PictureChanged();

    TPicture FPicture;
    bool FAutoSize = false;
    bool FTransparent = false;
};
