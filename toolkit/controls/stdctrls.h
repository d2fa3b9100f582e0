// The push button: a windowed control with a caption and a click event. The host shows it as a
// native push button; pressing it (mouse, Enter or Return while it has the focus) calls Click.
#pragma once

#include <string>

#include "toolkit/controls/controls.h"

class TButton : public TWinControl {
public:
    TButton();
    const char* ClassName() const noexcept override { return "TButton"; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);
    // Whether Enter or Escape press the button wherever the focus is; the form keeps to neither.
    bool Default() const { return FDefault; }
    bool Cancel() const { return FCancel; }

    bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) override;

private:
    std::string FCaption;
    bool FDefault = false;
    bool FCancel = false;
};
