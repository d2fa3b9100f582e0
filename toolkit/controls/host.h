// What the toolkit needs from the code that puts forms on a real screen. The toolkit calls these;
// the host (toolkit/host/) implements them with native windows and calls back into the form for
// painting, mouse input and button clicks.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wintypes.h"
#include "toolkit/core/types.h"

class TForm;
class TWinControl;

// One form's native window.
class TFormPeer {
public:
    TFormPeer() = default;
    TFormPeer(const TFormPeer&) = delete;
    TFormPeer& operator=(const TFormPeer&) = delete;
    virtual ~TFormPeer() = default;

    virtual HWND Handle() const = 0;
    // The window's client area on the screen.
    virtual void SetBounds(const TRect& screenRect) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Shows the back buffer's area (client coordinates) on the screen now.
    virtual void Present(const TRect& area) = 0;
    // A windowed control was added or changed (bounds, caption, visibility, enabled state, Tab order).
    virtual void SyncControl(TWinControl& control) = 0;
};

class THost {
public:
    THost() = default;
    THost(const THost&) = delete;
    THost& operator=(const THost&) = delete;
    virtual ~THost() = default;

    virtual std::unique_ptr<TFormPeer> CreateFormPeer(TForm& form) = 0;
    // The primary screen's size in pixels.
    virtual TRect ScreenRect() const = 0;
    // Runs the message loop until Quit.
    virtual void RunLoop() = 0;
    virtual void Quit() = 0;
    virtual void ShowError(const std::string& title, const std::string& message) = 0;
    virtual void SetApplicationTitle(const std::string& title) = 0;
    // The icon as the bytes of an icon file.
    virtual void SetApplicationIcon(const std::vector<std::uint8_t>& iconFile) = 0;
};

// Runs a call that came from the host's event loop into the toolkit; an exception it raises is
// reported through the application object and goes no further, as no native event loop carries
// exceptions.
void GuardedCall(const std::function<void()>& call);

// The host in use; null when forms live only in memory (tests without a screen).
THost* Host();
void SetHost(THost* host);
