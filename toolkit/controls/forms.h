// The form (a top-level window holding controls, painted into a back buffer) and the application
// (start, main form, message loop, error reports). The host realises both on screen; without one
// a form still paints into its back buffer, which is what the tests look at.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wintypes.h"
#include "toolkit/controls/controls.h"
#include "toolkit/controls/host.h"
#include "toolkit/core/exception.h"

VORLANTH_DECLARE_EXCEPTION(EResNotFound, Exception);

class TButton;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
using TBorderIcons = std::uint32_t;
constexpr TBorderIcons biSystemMenu = 1;
constexpr TBorderIcons biMinimize = 2;
constexpr TBorderIcons biMaximize = 4;
constexpr TBorderIcons biHelp = 8;

class TForm : public TControl {
public:
    TForm();
    ~TForm() override;
    const char* ClassName() const noexcept override { return "TForm"; }

    // Second step of construction, run once the program's reference to the form is set: reads
    // the window description stored as the resource named after the class in capitals (TFORM4 for
    // TForm4), when there is one, then raises OnCreate.
    virtual void Create();
    // Builds the form from the window description stored as the named resource. The description's
    // root class must be this form's class.
    void ReadDescription(const char* resourceName);

    // Takes ownership of a control; controls paint in the order they were added.
    void AddControl(std::unique_ptr<TControl> control);
    const std::vector<std::unique_ptr<TControl>>& Controls() const { return FControls; }
    TControl* FindControl(const std::string& name) const;
    // The windowed controls that take the keyboard focus, in Tab order.
    std::vector<TWinControl*> TabOrderedControls() const;

    // A stored handler name bound to one of the form's handlers; empty when it has none by that name.
    virtual TNotifyEvent FindMethod(const std::string& name);
    // A control created from the description is handed to the form under its name, so a form
    // class can keep typed references to its controls.
    virtual void BindControl(const std::string& /*name*/, TControl* /*control*/) {}

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);
    TColor Color() const { return FColor; }
    void SetColor(TColor colour);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style) { FBorderStyle = style; }
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }
    std::int32_t ClientWidth() const { return Width(); }
    std::int32_t ClientHeight() const { return Height(); }
    void SetClientWidth(std::int32_t width) { SetWidth(width); }
    void SetClientHeight(std::int32_t height) { SetHeight(height); }
    int PixelsPerInch() const { return FPixelsPerInch; }
    int TextHeight() const { return FTextHeight; }

    TNotifyEvent OnShow;
    TNotifyEvent OnCreate;

    // Raises OnShow, places the form (screen centring when Position asks for it), then shows it.
    void Show();
    void Hide();
    // Closes the form; closing the main form ends the application's message loop.
    void Close();
    // The window handle, once the host has made the window; null before.
    HWND Handle() const;
    TFormPeer* Peer() const { return FPeer.get(); }

    // The back buffer: a 32-bit top-down section of the client size.
    const std::uint32_t* BufferBits() const { return FBufferBits; }
    // Repaints the area (client coordinates) into the back buffer and presents it, now.
    void RepaintArea(const TRect& area);
    // The windowed controls changed (added, moved, renamed, enabled...); the host follows.
    void WindowedControlChanged(TWinControl& control);

    // Mouse input in client coordinates, from the host or a test. Routes to the window-less
    // control under the pointer (or the one holding the capture), tracks which control the pointer
    // is over and sends it enter and leave notifications.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseDoubleClick(TMouseButton button, TShiftState shift, int x, int y);
    // The pointer left the window.
    void MouseExit();
    TControl* CaptureControl() const { return FCapture; }

    bool ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) override;
    void Loaded() override;

protected:
    void BoundsChanged(const TRect& previous) override;

private:
    void RebuildBuffer();
    void ReleaseBuffer();
    void PaintBuffer(const TRect& area);
    TGraphicControl* ControlAt(int x, int y, bool enabledOnly) const;
    void TrackPointer(int x, int y);

    std::vector<std::unique_ptr<TControl>> FControls;
    std::string FCaption;
    TColor FColor = clBtnFace;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition FPosition = poDesigned;
    int FPixelsPerInch = 96;
    int FTextHeight = 13;
    bool FOldCreateOrder = false;
    bool FShowing = false;

    std::unique_ptr<TFormPeer> FPeer;
    HDC FBufferDC = nullptr;
    HBITMAP FBuffer = nullptr;
    HGDIOBJ FBufferOld = nullptr;
    std::uint32_t* FBufferBits = nullptr;

    TControl* FCapture = nullptr;
    TControl* FHover = nullptr;
    TControl* FClickTarget = nullptr;
    bool FLeftClicked = false; // the left button went down on FClickTarget
};

// The program's application object: the forms it created (the first is the main form), the
// message loop, and the report of errors that reach the loop.
class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    void Initialize();
    // Makes a form of class T, sets reference before the form reads its description, and keeps
    // the form. The first form made becomes the main form.
    template <class T>
    void CreateForm(T*& reference) {
        auto form = std::make_unique<T>();
        reference = form.get();
        try {
            form->Create();
        } catch (...) {
            reference = nullptr;
            throw;
        }
        AdoptForm(std::move(form));
    }
    TForm* MainForm() const { return FMainForm; }

    // Shows the main form and runs the message loop until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }

    // Reports an error that reached the message loop to the user; the loop goes on.
    void HandleException(const std::exception& error);
    // Replaces the report (tests, or a program that logs instead).
    std::function<void(const std::exception&)> OnException;

    // The text the system shows for the running program: by default the executable's name without
    // its extension, lower-cased after its first character.
    const std::string& Title() const { return FTitle; }
    // The program's icon, as the bytes of an icon file (the icon resource "MAINICON" at start).
    const std::vector<std::uint8_t>& Icon() const { return FIcon; }

private:
    void AdoptForm(std::unique_ptr<TForm> form);

    std::vector<std::unique_ptr<TForm>> FForms;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::string FTitle;
    std::vector<std::uint8_t> FIcon;
};

// The program-wide application object, made by the program's start-up; null before and after.
extern TApplication* Application;

// The default title for an executable path in either Windows or Unix form.
std::string ApplicationTitleFromPath(const std::string& executablePath);
