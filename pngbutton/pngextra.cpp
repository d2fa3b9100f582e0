#include "pngbutton/pngextra.h"

#include "toolkit/controls/reader.h"
#include "toolkit/core/stream.h"

TPNGButton::TPNGButton() {
    FImageNormal = std::make_unique<TPNGObject>();
    FImageDown = std::make_unique<TPNGObject>();
    FFadedImage = std::make_unique<TPNGObject>();
    FImageOver = std::make_unique<TPNGObject>();
    SetBounds(Left(), Top(), 23, 23);
    // The button keeps the mouse while the left button is held, so a drag out and back in still
    // ends in its own release.
    SetControlStyle(ControlStyle() | csCaptureMouse);
}

TPNGButton::~TPNGButton() {
    FImageNormal.reset();
    FImageDown.reset();
    FFadedImage.reset();
    FImageOver.reset();
}

void TPNGButton::SetButtonLayout(TPNGButtonLayout value) {
    FButtonLayout = value;
    Invalidate();
}

void TPNGButton::SetCaption(const std::string& value) {
    FCaption = value;
    Invalidate();
}

void TPNGButton::SetImageNormal(const TPNGObject& value) {
    FImageNormal->AssignFrom(&value);
    MakeFadedCopy(*FImageNormal, *FFadedImage);
    Invalidate();
}

void TPNGButton::SetImageDown(const TPNGObject& value) {
    FImageDown->AssignFrom(&value);
    Invalidate();
}

void TPNGButton::SetImageOver(const TPNGObject& value) {
    FImageOver->AssignFrom(&value);
    Invalidate();
}

void TPNGButton::SetButtonStyle(TPNGButtonStyle value) {
    FButtonStyle = value;
    Invalidate();
}

void TPNGButton::SetButtonMode(TPNGButtonMode value) {
    FMode = value;
    Invalidate();
}

void TPNGButton::SetHovered(bool value) {
    FHovered = value;
    Invalidate();
}

// The form tells the button when the pointer crosses its edge, whatever the button's state.
void TPNGButton::MouseEnter() {
    SetHovered(true);
}

void TPNGButton::MouseLeave() {
    SetHovered(false);
}

// A move inside catches a pointer that was already over the button when it was shown or enabled.
// Moves reported while the mouse is captured may lie outside, at x = Width or y = Height too.
void TPNGButton::MouseMove(TShiftState shift, int x, int y) {
    const bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
    if (inside && !FHovered && FMode != pbmPressed) SetHovered(true);
    TGraphicControl::MouseMove(shift, x, y);
}

void TPNGButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (FMode == pbmIdle && button == mbLeft) SetButtonMode(pbmPressed);
    TGraphicControl::MouseDown(button, shift, x, y);
}

// The raised face is back before the click handler runs.
void TPNGButton::Click() {
    if (FMode == pbmPressed) SetButtonMode(pbmIdle);
    TGraphicControl::Click();
}

// Any button's release ends the pressed look, the left one's outside the button too.
void TPNGButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FMode == pbmPressed) SetButtonMode(pbmIdle);
    TGraphicControl::MouseUp(button, shift, x, y);
}

// The faded copy is made again on each disabling, so it follows the normal image however that
// was changed meanwhile.
void TPNGButton::EnabledChanged() {
    if (!Enabled()) {
        MakeFadedCopy(*FImageNormal, *FFadedImage);
        SetButtonMode(pbmDisabled);
    } else {
        SetButtonMode(pbmIdle);
    }
}

namespace {

constexpr const char* kLayouts[] = {"pbsImageAbove", "pbsImageBellow"};
constexpr const char* kStyles[] = {"pbsDefault", "pbsFlat"};

// A stored image is a PNG stream; no bytes stand for an empty image.
void ReadImage(const std::vector<std::uint8_t>& bytes, TPNGObject& into) {
    if (bytes.empty()) return;
    TCustomMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    into.LoadFromStream(stream);
}

} // namespace

bool TPNGButton::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    if (name == "ButtonLayout") {
        SetButtonLayout(static_cast<TPNGButtonLayout>(reader.Enum(value, kLayouts)));
    } else if (name == "Caption") {
        SetCaption(reader.String(value));
    } else if (name == "ButtonStyle") {
        SetButtonStyle(static_cast<TPNGButtonStyle>(reader.Enum(value, kStyles)));
    } else if (name == "ImageNormal.Data" || name == "ImageDown.Data" || name == "ImageOver.Data") {
        TPNGObject image;
        ReadImage(reader.Binary(value), image);
        if (name == "ImageNormal.Data")
            SetImageNormal(image);
        else if (name == "ImageDown.Data")
            SetImageDown(image);
        else
            SetImageOver(image);
    } else {
        return TGraphicControl::ReadProperty(name, value, reader);
    }
    return true;
}

namespace {
const TControlClass PngButtonClass{"TPNGButton", [] { return std::unique_ptr<TControl>(new TPNGButton); }};
}

void PngButtonInitialization() {
    RegisterControlClass(PngButtonClass);
}

void PngButtonFinalization() {
    UnregisterControlClass(PngButtonClass.Name);
}
