// The control base: position, size, visibility, enabled state, font and parent, mouse hooks and
// events; window-less controls painted on their form's surface; windowed controls that the host
// realises with native widgets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "toolkit/core/canvas.h"
#include "toolkit/core/font.h"
#include "toolkit/core/persistent.h"
#include "toolkit/core/types.h"

class TForm;
class TReader;
struct TFormValue;

// Something with a name that events can name as their sender.
class TComponent : public TPersistent {
public:
    const char* ClassName() const noexcept override { return "TComponent"; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }

private:
    std::string FName;
};

using TShiftState = std::uint32_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TMouseEvent = std::function<void(TComponent* sender, TMouseButton, TShiftState, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState, int x, int y)>;

// How a control takes part in mouse handling.
using TControlStyle = std::uint32_t;
constexpr TControlStyle csCaptureMouse = 1; // keeps the mouse while the left button is held on it
constexpr TControlStyle csClickEvents = 2;  // a left press and release over it make a click
constexpr TControlStyle csDoubleClicks = 4; // a double press makes a double click

class TControl : public TComponent {
public:
    TControl();
    ~TControl() override;
    const char* ClassName() const noexcept override { return "TControl"; }

    TForm* Parent() const { return FParent; }
    // Only the form sets this, when it takes the control.
    void SetParentForm(TForm* parent);

    std::int32_t Left() const { return FLeft; }
    std::int32_t Top() const { return FTop; }
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    TRect BoundsRect() const { return Rect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
    TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
    void SetLeft(std::int32_t v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(std::int32_t v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(std::int32_t v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(std::int32_t v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);

    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    // Whether the control follows its form's font (true until its own font is set).
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value) { FParentFont = value; }

    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle style) { FControlStyle = style; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Mouse input in the control's own coordinates, as the form routes it. Each raises its event.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    // Notifications: the pointer entered or left the control, its enabled state changed.
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void EnabledChanged() {}

    // Repaints the control's area of its form now (nothing while it has no form).
    virtual void Invalidate() {}

    // Applies one stored property by name; false when the control has no such property.
    virtual bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader);
    // Called once every stored property of the control has been applied.
    virtual void Loaded() {}
    // Takes the form's font when ParentFont is set.
    void ParentFontChanged(const TFont& font);

protected:
    // Hook for subclasses after the position or size changed.
    virtual void BoundsChanged(const TRect& /*previous*/) {}
    bool ReadFontProperty(const std::string& name, const TFormValue& value, TReader& reader);

private:
    TForm* FParent = nullptr;
    std::int32_t FLeft = 0;
    std::int32_t FTop = 0;
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    bool FParentFont = true;
    TFont FFont;
    TControlStyle FControlStyle = csClickEvents | csDoubleClicks;
};

// A control without a window of its own: painted on its form's back buffer through a canvas whose
// origin is the control's top-left corner and whose clip is the control's rectangle.
class TGraphicControl : public TControl {
public:
    const char* ClassName() const noexcept override { return "TGraphicControl"; }

    // Valid while the control paints.
    TCanvas& Canvas() { return FCanvas; }
    // Paints the control; the canvas is set up by the form.
    virtual void Paint() {}
    // Repaints the control's rectangle now: the form's background, the controls beneath, then
    // this control (and those above it), before returning.
    void Invalidate() override;

protected:
    void BoundsChanged(const TRect& previous) override;

private:
    TCanvas FCanvas;
};

// A control that is a window of its own; the host realises it with a native widget above the
// form's painted surface.
class TWinControl : public TControl {
public:
    const char* ClassName() const noexcept override { return "TWinControl"; }

    // Position in the keyboard's Tab cycle; -1 until the form assigns the next free one.
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);

    void Invalidate() override;
    bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) override;

protected:
    void BoundsChanged(const TRect& previous) override;

private:
    int FTabOrder = -1;
    bool FTabStop = false;
};
