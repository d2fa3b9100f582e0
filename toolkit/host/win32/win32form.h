// A form's native window on Windows: a top-level window that presents the form's back buffer with
// one block transfer, routes mouse input to the form, and holds a BUTTON child window for each of
// the form's push buttons.
#pragma once

#include <map>

#include "toolkit/controls/host.h"

class TForm;
class TButton;

class TWin32FormPeer : public TFormPeer {
public:
    explicit TWin32FormPeer(TForm& form);
    ~TWin32FormPeer() override;

    HWND Handle() const override { return FWindow; }
    void SetBounds(const TRect& screenRect) override;
    void SetCaption(const std::string& caption) override;
    void Show() override;
    void Hide() override;
    void Present(const TRect& area) override;
    void SyncControl(TWinControl& control) override;

    // The window procedure's work for this form; false when the message is not ours.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The push button behind a BUTTON child window, or null.
    TButton* ButtonOf(HWND child) const;
    // Puts the focus on the first control in Tab order when none of ours has it.
    void FocusFirst();

private:
    void Paint();
    void UpdateTabChain();

    TForm& FForm;
    HWND FWindow = nullptr; // owned: destroyed by the destructor
    HFONT FFont = nullptr;  // owned
    std::map<TWinControl*, HWND> FButtons;
    bool FTrackingLeave = false;
};

// Registers the form window class once; the name CreateWindowExA is given.
const char* FormWindowClass();
