#include "toolkit/host/win32/win32host.h"

#include <stdexcept>

#include "toolkit/controls/forms.h"
#include "toolkit/host/win32/win32form.h"

namespace {

bool IsPushButton(HWND window) {
    char name[16] = {};
    return window != nullptr && GetClassNameA(window, name, sizeof name) > 0 &&
           lstrcmpiA(name, "Button") == 0;
}

// The keys a form's buttons answer to: Enter presses the focused button, Escape nothing, Tab and the
// arrows walk the buttons as in a dialog. True when the message was used up.
bool DialogKey(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
    if (msg.wParam == VK_ESCAPE || (msg.message == WM_CHAR && msg.wParam == 27)) return true;
    if (msg.wParam == VK_RETURN || (msg.message == WM_CHAR && msg.wParam == '\r')) {
        if (msg.message == WM_KEYDOWN && IsPushButton(GetFocus()) && IsWindowEnabled(GetFocus()))
            SendMessageA(GetFocus(), BM_CLICK, 0, 0);
        return true;
    }
    const HWND top = GetAncestor(msg.hwnd, GA_ROOT);
    return top != nullptr && IsDialogMessageA(top, &msg);
}

} // namespace

TWin32Host::TWin32Host() = default;
TWin32Host::~TWin32Host() = default;

std::unique_ptr<TFormPeer> TWin32Host::CreateFormPeer(TForm& form) {
    return std::make_unique<TWin32FormPeer>(form);
}

TRect TWin32Host::ScreenRect() const {
    return Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void TWin32Host::RunLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (DialogKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void TWin32Host::Quit() {
    PostQuitMessage(0);
}

void TWin32Host::ShowError(const std::string& title, const std::string& message) {
    MessageBoxA(GetActiveWindow(), message.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

void TWin32Host::SetApplicationTitle(const std::string& title) {
    FTitle = title;
}

void TWin32Host::SetApplicationIcon(const std::vector<std::uint8_t>&) {
    FormWindowClass(); // the window class carries the MAINICON resource
}
