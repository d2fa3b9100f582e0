#include "toolkit/host/win32/win32form.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"

namespace {

TShiftState ShiftOf(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= ssShift;
    if (keys & MK_CONTROL) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (keys & MK_LBUTTON) shift |= ssLeft;
    if (keys & MK_RBUTTON) shift |= ssRight;
    if (keys & MK_MBUTTON) shift |= ssMiddle;
    return shift;
}

// BUTTON windows read a single '&' as a mnemonic; Windows buttons of ours show it as it is.
std::string PlainCaption(const std::string& caption) {
    std::string text;
    for (const char c : caption) {
        text += c;
        if (c == '&') text += '&';
    }
    return text;
}

HFONT WindowFont(const TFont& font) {
    return CreateFontA(font.Height, 0, 0, 0, font.Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL,
                       font.Style.Contains(fsItalic), font.Style.Contains(fsUnderline),
                       font.Style.Contains(fsStrikeOut), DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, font.Name.c_str());
}

LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<TWin32FormPeer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (peer != nullptr && peer->Handle(message, wParam, lParam, result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD StyleOf(const TForm& form) {
    if (form.BorderStyle() == bsNone) return WS_POPUP | WS_CLIPCHILDREN;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    if (form.BorderIcons() & biSystemMenu) style |= WS_SYSMENU;
    if (form.BorderIcons() & biMinimize) style |= WS_MINIMIZEBOX;
    if (form.BorderStyle() == bsSizeable)
        style |= WS_THICKFRAME | ((form.BorderIcons() & biMaximize) ? WS_MAXIMIZEBOX : 0);
    return style;
}

} // namespace

const char* FormWindowClass() {
    static const char* name = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = FormProcedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconA(wc.hInstance, "MAINICON");
        wc.lpszClassName = "VorlanthForm";
        RegisterClassExA(&wc);
        return "VorlanthForm";
    }();
    return name;
}

TWin32FormPeer::TWin32FormPeer(TForm& form) : FForm(form) {
    // Tab and Enter reach the buttons through the dialog keys of the message loop.
    FWindow = CreateWindowExA(WS_EX_CONTROLPARENT, FormWindowClass(), "", StyleOf(form), CW_USEDEFAULT,
                              CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    FFont = WindowFont(form.Font());
}

TWin32FormPeer::~TWin32FormPeer() {
    SetWindowLongPtrA(FWindow, GWLP_USERDATA, 0);
    DestroyWindow(FWindow);
    DeleteObject(FFont);
}

void TWin32FormPeer::SetBounds(const TRect& screenRect) {
    RECT r{screenRect.Left, screenRect.Top, screenRect.Right, screenRect.Bottom};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(FWindow, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(FWindow, GWL_EXSTYLE)));
    // The client area stands where the form asked; the frame, if any, around it.
    SetWindowPos(FWindow, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32FormPeer::SetCaption(const std::string& caption) {
    SetWindowTextA(FWindow, caption.c_str());
}

void TWin32FormPeer::Show() {
    ShowWindow(FWindow, SW_SHOW);
    SetForegroundWindow(FWindow);
    FocusFirst();
    UpdateWindow(FWindow);
}

void TWin32FormPeer::Hide() {
    ShowWindow(FWindow, SW_HIDE);
}

void TWin32FormPeer::Present(const TRect& area) {
    if (!IsWindowVisible(FWindow)) return;
    const RECT r{area.Left, area.Top, area.Right, area.Bottom};
    InvalidateRect(FWindow, &r, FALSE);
    UpdateWindow(FWindow);
}

void TWin32FormPeer::SyncControl(TWinControl& control) {
    auto* button = dynamic_cast<TButton*>(&control);
    if (button == nullptr) return;
    HWND& child = FButtons[&control];
    if (child == nullptr) {
        child = CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_PUSHBUTTON, 0, 0, 0, 0, FWindow, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    }
    SetWindowTextA(child, PlainCaption(button->Caption()).c_str());
    MoveWindow(child, button->Left(), button->Top(), button->Width(), button->Height(), TRUE);
    EnableWindow(child, button->Enabled());
    LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    style = button->TabStop() ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP});
    SetWindowLongPtrA(child, GWL_STYLE, style);
    ShowWindow(child, button->Visible() ? SW_SHOWNA : SW_HIDE);
    UpdateTabChain();
}

void TWin32FormPeer::UpdateTabChain() {
    // The dialog keys walk child windows in their z-order: lay them out in Tab order.
    HWND previous = HWND_TOP;
    for (TWinControl* control : FForm.TabOrderedControls()) {
        const auto it = FButtons.find(control);
        if (it == FButtons.end()) continue;
        SetWindowPos(it->second, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = it->second;
    }
}

TButton* TWin32FormPeer::ButtonOf(HWND child) const {
    for (const auto& [control, window] : FButtons)
        if (window == child) return dynamic_cast<TButton*>(control);
    return nullptr;
}

void TWin32FormPeer::FocusFirst() {
    const HWND focus = GetFocus();
    if (focus != nullptr && ButtonOf(focus) != nullptr) return;
    for (TWinControl* control : FForm.TabOrderedControls()) {
        const auto it = FButtons.find(control);
        if (it != FButtons.end() && IsWindowVisible(it->second) && IsWindowEnabled(it->second)) {
            SetFocus(it->second);
            return;
        }
    }
}

void TWin32FormPeer::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FWindow, &ps);
    if (const std::uint32_t* bits = FForm.BufferBits()) {
        // The back buffer is a 32-bit top-down section: one transfer shows the damaged area.
        const int w = FForm.ClientWidth(), h = FForm.ClientHeight();
        BITMAPINFOHEADER header{sizeof header, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const RECT& r = ps.rcPaint;
        StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, r.left, h - r.bottom,
                      r.right - r.left, r.bottom - r.top, bits, reinterpret_cast<const BITMAPINFO*>(&header),
                      DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(FWindow, &ps);
}

bool TWin32FormPeer::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_PAINT: Paint(); return true;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_MOUSEMOVE:
        if (!FTrackingLeave) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, FWindow, 0};
            FTrackingLeave = TrackMouseEvent(&track) != FALSE;
        }
        GuardedCall([&] { FForm.MouseMove(ShiftOf(wParam), x, y); });
        return true;
    case WM_MOUSELEAVE:
        FTrackingLeave = false;
        GuardedCall([&] { FForm.MouseExit(); });
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // The form keeps the mouse while a button is held, so the release reaches it.
        SetCapture(FWindow);
        const TMouseButton button = message == WM_LBUTTONDOWN   ? mbLeft
                                    : message == WM_RBUTTONDOWN ? mbRight
                                                                : mbMiddle;
        GuardedCall([&] { FForm.MouseDown(button, ShiftOf(wParam), x, y); });
        return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) ReleaseCapture();
        const TMouseButton button = message == WM_LBUTTONUP   ? mbLeft
                                    : message == WM_RBUTTONUP ? mbRight
                                                              : mbMiddle;
        GuardedCall([&] { FForm.MouseUp(button, ShiftOf(wParam), x, y); });
        return true;
    }
    case WM_LBUTTONDBLCLK:
        GuardedCall([&] { FForm.MouseDoubleClick(mbLeft, ShiftOf(wParam), x, y); });
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (TButton* button = ButtonOf(reinterpret_cast<HWND>(lParam))) {
                GuardedCall([button] { button->Click(); });
                return true;
            }
        }
        return false;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FocusFirst();
        return false;
    case WM_CLOSE:
        // A close request from the system ends the program as the form's own Close does.
        GuardedCall([&] { FForm.Close(); });
        return true;
    default: return false;
    }
}
