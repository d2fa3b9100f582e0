#include "toolkit/controls/stdctrls.h"

#include "toolkit/controls/reader.h"

TButton::TButton() {
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

void TButton::SetCaption(const std::string& caption) {
    FCaption = caption;
    Invalidate();
}

bool TButton::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "Caption")
        SetCaption(reader.String(value));
    else if (name == "Default")
        FDefault = reader.Boolean(value);
    else if (name == "Cancel")
        FCancel = reader.Boolean(value);
    else
        return TWinControl::ReadProperty(name, value, reader);
    return true;
}
