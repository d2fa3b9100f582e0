// The PNG push button: a window-less button painted on its form, showing one of its PNG images
// (normal, under the pointer, pressed, and a faded copy of the normal one while disabled) with an
// optional one-line caption, on a three-dimensional or a flat face. Also the fading routine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "png/pngobject.h"
#include "toolkit/controls/controls.h"

enum TPNGButtonStyle : std::uint8_t { pbsDefault = 0, pbsFlat = 1 };
enum TPNGButtonLayout : std::uint8_t { pbsImageAbove = 0, pbsImageBellow = 1 };
enum TPNGButtonMode : std::uint8_t { pbmIdle = 0, pbmPressed = 1, pbmDisabled = 2 };

class TPNGButton : public TGraphicControl {
public:
    TPNGButton();
    ~TPNGButton() override;
    TPNGButton(const TPNGButton&) = delete;
    TPNGButton& operator=(const TPNGButton&) = delete;
    const char* ClassName() const noexcept override { return "TPNGButton"; }

    // Stored in descriptions. Every setter repaints at once, changed or not. The image setters
    // copy the caller's image into the button's own; the caller keeps its object.
    TPNGButtonLayout ButtonLayout() const { return FButtonLayout; }
    void SetButtonLayout(TPNGButtonLayout value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    const TPNGObject& ImageNormal() const { return *FImageNormal; }
    // Also remakes the faded copy shown while disabled.
    void SetImageNormal(const TPNGObject& value);
    const TPNGObject& ImageDown() const { return *FImageDown; }
    void SetImageDown(const TPNGObject& value);
    const TPNGObject& ImageOver() const { return *FImageOver; }
    void SetImageOver(const TPNGObject& value);
    TPNGButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TPNGButtonStyle value);

    // The state the mouse and the enabled flag put the button in.
    TPNGButtonMode Mode() const { return FMode; }
    void SetButtonMode(TPNGButtonMode value);
    bool Hovered() const { return FHovered; }

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Click() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void EnabledChanged() override;

    bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) override;

private:
    void SetHovered(bool value);
    // The image the current state shows; falls back to the normal one (which may be empty).
    TPNGObject& ChosenImage() const;
    // Draws the face over the client rectangle; the caption's clip rectangle is returned.
    TRect PaintFace(bool pressedLook);

    TPNGButtonStyle FButtonStyle = pbsDefault;
    bool FHovered = false;
    std::string FCaption;
    TPNGButtonLayout FButtonLayout = pbsImageAbove;
    TPNGButtonMode FMode = pbmIdle;
    std::unique_ptr<TPNGObject> FImageDown;
    std::unique_ptr<TPNGObject> FImageNormal;
    std::unique_ptr<TPNGObject> FFadedImage; // the normal image at a third of its opacity
    std::unique_ptr<TPNGObject> FImageOver;
};

// Makes dest a copy of source drawn at a third of its opacity: grey and colour images gain an
// alpha plane if they lack one and every alpha value is divided by three (rounding down). Palette
// images keep their own transparency table (entries without one become opaque) and are not faded.
// An image without a header is copied as it is.
void MakeFadedCopy(const TPNGObject& source, TPNGObject& dest);

// Unit start-up and shut-down: makes TPNGButton known to the window-description reader, and
// forgets it again.
void PngButtonInitialization();
void PngButtonFinalization();
