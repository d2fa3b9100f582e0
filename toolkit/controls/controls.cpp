#include "toolkit/controls/controls.h"

#include "toolkit/controls/forms.h"
#include "toolkit/controls/reader.h"

TControl::TControl() = default;
TControl::~TControl() = default;

void TControl::SetParentForm(TForm* parent) {
    FParent = parent;
}

void TControl::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    const TRect previous = BoundsRect();
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (previous != BoundsRect()) BoundsChanged(previous);
}

void TControl::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    Invalidate();
}

void TControl::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    EnabledChanged();
    Invalidate();
}

void TControl::ParentFontChanged(const TFont& font) {
    if (FParentFont) FFont.Assign(font);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

bool TControl::ReadFontProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "Font.Name") {
        FFont.Name = reader.String(value);
    } else if (name == "Font.Height") {
        FFont.Height = reader.Integer(value);
    } else if (name == "Font.Color") {
        FFont.Color = reader.Color(value);
    } else if (name == "Font.Charset") {
        FFont.Charset = static_cast<std::uint8_t>(reader.Charset(value));
    } else if (name == "Font.Style") {
        TFontStyles styles;
        for (const auto& member : reader.Set(value)) {
            if (member == "fsBold")
                styles.Include(fsBold);
            else if (member == "fsItalic")
                styles.Include(fsItalic);
            else if (member == "fsUnderline")
                styles.Include(fsUnderline);
            else if (member == "fsStrikeOut")
                styles.Include(fsStrikeOut);
            else
                reader.InvalidValue();
        }
        FFont.Style = styles;
    } else {
        return false;
    }
    FParentFont = false;
    return true;
}

bool TControl::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "Left")
        SetLeft(reader.Integer(value));
    else if (name == "Top")
        SetTop(reader.Integer(value));
    else if (name == "Width")
        SetWidth(reader.Integer(value));
    else if (name == "Height")
        SetHeight(reader.Integer(value));
    else if (name == "Visible")
        SetVisible(reader.Boolean(value));
    else if (name == "Enabled")
        SetEnabled(reader.Boolean(value));
    else if (name == "ParentFont")
        SetParentFont(reader.Boolean(value));
    else if (name == "OnClick")
        OnClick = reader.Method(value);
    else if (name == "OnDblClick")
        OnDblClick = reader.Method(value);
    else
        return ReadFontProperty(name, value, reader);
    return true;
}

void TGraphicControl::Invalidate() {
    if (Parent() != nullptr) Parent()->RepaintArea(BoundsRect());
}

void TGraphicControl::BoundsChanged(const TRect& previous) {
    if (Parent() == nullptr) return;
    Parent()->RepaintArea(previous);
    Parent()->RepaintArea(BoundsRect());
}

void TWinControl::SetTabOrder(int value) {
    FTabOrder = value;
    Invalidate();
}

void TWinControl::SetTabStop(bool value) {
    FTabStop = value;
    Invalidate();
}

void TWinControl::Invalidate() {
    if (Parent() != nullptr) Parent()->WindowedControlChanged(*this);
}

void TWinControl::BoundsChanged(const TRect&) {
    Invalidate();
}

bool TWinControl::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "TabOrder")
        SetTabOrder(reader.Integer(value));
    else if (name == "TabStop")
        SetTabStop(reader.Boolean(value));
    else
        return TControl::ReadProperty(name, value, reader);
    return true;
}
