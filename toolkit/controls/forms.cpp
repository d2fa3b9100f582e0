#include "toolkit/controls/forms.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <stdexcept>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "platform/resource.h"
#include "toolkit/controls/reader.h"
#include "toolkit/controls/stdctrls.h"

TApplication* Application = nullptr;

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.Left >= r.Right || r.Top >= r.Bottom) return TRect{};
    return r;
}

bool IsEmptyRect(const TRect& r) {
    return r.Left >= r.Right || r.Top >= r.Bottom;
}

bool Contains(const TRect& r, int x, int y) {
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

std::span<const std::uint8_t> ResourceBytes(const char* name, const char* type) {
    const HRSRC resource = FindResourceA(nullptr, name, type);
    if (resource == nullptr) return {};
    const void* data = LockResource(LoadResource(nullptr, resource));
    if (data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), SizeofResource(nullptr, resource)};
}

// A linked icon is a directory (RT_GROUP_ICON: 6 bytes, then 14 per image, the last two the image's
// number) and its images (RT_ICON, by number). Put back together they make the icon file the
// program was built from: the same directory with 16-byte entries that end in the image's offset,
// then the images. Empty when the resources are missing or do not fit together.
std::vector<std::uint8_t> IconFileResource(const char* name) {
    const std::span<const std::uint8_t> group = ResourceBytes(name, RT_GROUP_ICON);
    if (group.size() < 6) return {};
    const std::size_t count = group[4] | group[5] << 8;
    if (count == 0 || group.size() < 6 + 14 * count) return {};
    std::vector<std::span<const std::uint8_t>> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = group.data() + 6 + 14 * i;
        images.push_back(ResourceBytes(MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON));
        if (images.back().empty()) return {};
    }
    std::vector<std::uint8_t> file(group.begin(), group.begin() + 6);
    std::size_t offset = 6 + 16 * count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = group.data() + 6 + 14 * i;
        file.insert(file.end(), entry, entry + 8);
        for (const std::size_t value : {images[i].size(), offset})
            for (int shift = 0; shift < 32; shift += 8)
                file.push_back(static_cast<std::uint8_t>(value >> shift));
        offset += images[i].size();
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());
    return file;
}

} // namespace

TForm::TForm() {
    SetControlStyle(0);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
    // Controls go before the window that shows them.
    FCapture = nullptr;
    FHover = nullptr;
    FControls.clear();
    FPeer.reset();
    ReleaseBuffer();
}

void TForm::Create() {
    std::string resource = ClassName();
    std::transform(resource.begin(), resource.end(), resource.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (FindResourceA(nullptr, resource.c_str(), RT_RCDATA) != nullptr) ReadDescription(resource.c_str());
    if (OnCreate) OnCreate(this);
}

void TForm::ReadDescription(const char* resourceName) {
    HRSRC resource = FindResourceA(nullptr, resourceName, RT_RCDATA);
    if (resource == nullptr) throw EResNotFound(std::string("Resource ") + resourceName + " not found");
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, resource)));
    TReader reader(*this);
    reader.ReadRoot(std::span<const std::uint8_t>(data, SizeofResource(nullptr, resource)));
}

void TForm::AddControl(std::unique_ptr<TControl> control) {
    TControl* c = control.get();
    c->SetParentForm(this);
    c->ParentFontChanged(Font());
    auto* windowed = dynamic_cast<TWinControl*>(c);
    if (windowed != nullptr && windowed->TabOrder() < 0) {
        const auto count = std::count_if(FControls.begin(), FControls.end(), [](const auto& each) {
            return dynamic_cast<TWinControl*>(each.get()) != nullptr;
        });
        windowed->SetTabOrder(static_cast<int>(count));
    }
    FControls.push_back(std::move(control));
    c->Invalidate();
}

TControl* TForm::FindControl(const std::string& name) const {
    for (const auto& c : FControls)
        if (c->Name() == name) return c.get();
    return nullptr;
}

std::vector<TWinControl*> TForm::TabOrderedControls() const {
    std::vector<TWinControl*> result;
    for (const auto& c : FControls) {
        auto* w = dynamic_cast<TWinControl*>(c.get());
        if (w != nullptr && w->TabStop() && w->Visible() && w->Enabled()) result.push_back(w);
    }
    std::stable_sort(result.begin(), result.end(), [](const TWinControl* a, const TWinControl* b) {
        return a->TabOrder() < b->TabOrder();
    });
    return result;
}

TNotifyEvent TForm::FindMethod(const std::string&) {
    return {};
}

void TForm::SetCaption(const std::string& caption) {
    FCaption = caption;
    if (FPeer) FPeer->SetCaption(caption);
}

void TForm::SetColor(TColor colour) {
    FColor = colour;
    RepaintArea(ClientRect());
}

void TForm::Show() {
    if (OnShow) OnShow(this);
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter || FPosition == poMainFormCenter) {
        if (THost* host = Host()) {
            const TRect screen = host->ScreenRect();
            // Signed halving that rounds toward zero, as C++ division does.
            SetBounds(screen.Left + (screen.Width() - Width()) / 2,
                      screen.Top + (screen.Height() - Height()) / 2, Width(), Height());
        }
    }
    if (!FPeer && Host() != nullptr) {
        FPeer = Host()->CreateFormPeer(*this);
        FPeer->SetCaption(FCaption);
        for (const auto& c : FControls)
            if (auto* w = dynamic_cast<TWinControl*>(c.get())) FPeer->SyncControl(*w);
    }
    if (FBufferDC == nullptr) RebuildBuffer();
    PaintBuffer(ClientRect());
    FShowing = true;
    if (FPeer) {
        FPeer->SetBounds(BoundsRect());
        FPeer->Show();
    }
}

void TForm::Hide() {
    FShowing = false;
    if (FPeer) FPeer->Hide();
}

void TForm::Close() {
    Hide();
    if (Application != nullptr && Application->MainForm() == this) Application->Terminate();
}

HWND TForm::Handle() const {
    return FPeer ? FPeer->Handle() : nullptr;
}

void TForm::BoundsChanged(const TRect& previous) {
    if (previous.Width() != Width() || previous.Height() != Height()) {
        RebuildBuffer();
        PaintBuffer(ClientRect());
    }
    if (FPeer) FPeer->SetBounds(BoundsRect());
}

void TForm::ReleaseBuffer() {
    if (FBufferDC != nullptr) {
        SelectObject(FBufferDC, FBufferOld);
        DeleteDC(FBufferDC);
    }
    if (FBuffer != nullptr) DeleteObject(FBuffer);
    FBufferDC = nullptr;
    FBuffer = nullptr;
    FBufferBits = nullptr;
}

void TForm::RebuildBuffer() {
    ReleaseBuffer();
    if (Width() <= 0 || Height() <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width();
    info.bmiHeader.biHeight = -Height(); // top-down, as the screen presents it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    FBuffer = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (FBuffer == nullptr) throw EOutOfResources();
    FBufferBits = static_cast<std::uint32_t*>(bits);
    FBufferDC = CreateCompatibleDC(nullptr);
    if (FBufferDC == nullptr) {
        ReleaseBuffer();
        throw EOutOfResources();
    }
    FBufferOld = SelectObject(FBufferDC, FBuffer);
}

void TForm::PaintBuffer(const TRect& area) {
    if (FBufferDC == nullptr) return;
    const TRect clip = Intersect(area, ClientRect());
    if (IsEmptyRect(clip)) return;
    HDC dc = FBufferDC;
    SelectClipRgn(dc, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(FColor));
    const RECT fill{clip.Left, clip.Top, clip.Right, clip.Bottom};
    FillRect(dc, &fill, brush);
    DeleteObject(brush);
    for (const auto& c : FControls) {
        auto* control = dynamic_cast<TGraphicControl*>(c.get());
        if (control == nullptr || !control->Visible()) continue;
        const TRect bounds = control->BoundsRect();
        const TRect part = Intersect(clip, bounds);
        if (IsEmptyRect(part)) continue;
        SelectClipRgn(dc, nullptr);
        SetViewportOrgEx(dc, bounds.Left, bounds.Top, nullptr);
        IntersectClipRect(dc, part.Left - bounds.Left, part.Top - bounds.Top, part.Right - bounds.Left,
                          part.Bottom - bounds.Top);
        TCanvas& canvas = control->Canvas();
        canvas.SetHandle(dc);
        try {
            control->Paint();
        } catch (...) {
            canvas.SetHandle(nullptr);
            SelectClipRgn(dc, nullptr);
            SetViewportOrgEx(dc, 0, 0, nullptr);
            throw;
        }
        canvas.SetHandle(nullptr);
    }
    SelectClipRgn(dc, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

void TForm::RepaintArea(const TRect& area) {
    const TRect clip = Intersect(area, ClientRect());
    if (IsEmptyRect(clip)) return;
    PaintBuffer(clip);
    if (FPeer && FShowing) FPeer->Present(clip);
}

void TForm::WindowedControlChanged(TWinControl& control) {
    if (FPeer) FPeer->SyncControl(control);
}

TGraphicControl* TForm::ControlAt(int x, int y, bool enabledOnly) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        auto* c = dynamic_cast<TGraphicControl*>(it->get());
        if (c == nullptr || !c->Visible() || (enabledOnly && !c->Enabled())) continue;
        if (Contains(c->BoundsRect(), x, y)) return c;
    }
    return nullptr;
}

void TForm::TrackPointer(int x, int y) {
    TControl* now = ControlAt(x, y, false);
    if (now == FHover) return;
    TControl* before = FHover;
    FHover = now;
    if (before != nullptr) before->MouseLeave();
    if (now != nullptr) now->MouseEnter();
}

void TForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TrackPointer(x, y);
    TControl* target = FCapture != nullptr ? FCapture : ControlAt(x, y, true);
    if (target == nullptr) return TControl::MouseDown(button, shift, x, y);
    if (button == mbLeft) {
        if ((target->ControlStyle() & csCaptureMouse) != 0) FCapture = target;
        FLeftClicked = (target->ControlStyle() & csClickEvents) != 0;
        FClickTarget = target;
    }
    target->MouseDown(button, shift, x - target->Left(), y - target->Top());
}

void TForm::MouseDoubleClick(TMouseButton button, TShiftState shift, int x, int y) {
    TrackPointer(x, y);
    TControl* target = FCapture != nullptr ? FCapture : ControlAt(x, y, true);
    if (target == nullptr) return;
    if (button == mbLeft) {
        if ((target->ControlStyle() & csCaptureMouse) != 0) FCapture = target;
        // A double click replaces the second click; its release makes no click of its own.
        FLeftClicked = false;
        if ((target->ControlStyle() & csDoubleClicks) != 0) target->DblClick();
    }
    target->MouseDown(button, shift | ssDouble, x - target->Left(), y - target->Top());
}

void TForm::MouseMove(TShiftState shift, int x, int y) {
    TrackPointer(x, y);
    TControl* target = FCapture != nullptr ? FCapture : ControlAt(x, y, true);
    if (target == nullptr) return TControl::MouseMove(shift, x, y);
    target->MouseMove(shift, x - target->Left(), y - target->Top());
}

void TForm::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TControl* target = FCapture != nullptr ? FCapture : ControlAt(x, y, true);
    if (target == nullptr) {
        TrackPointer(x, y);
        return TControl::MouseUp(button, shift, x, y);
    }
    const int cx = x - target->Left();
    const int cy = y - target->Top();
    if (button == mbLeft) {
        const bool clicked = FLeftClicked && FClickTarget == target;
        FLeftClicked = false;
        FClickTarget = nullptr;
        FCapture = nullptr;
        if (clicked && Contains(target->ClientRect(), cx, cy)) target->Click();
    }
    target->MouseUp(button, shift, cx, cy);
    TrackPointer(x, y);
}

void TForm::MouseExit() {
    if (FCapture != nullptr) return; // the captured control still follows the pointer
    if (FHover != nullptr) {
        TControl* before = FHover;
        FHover = nullptr;
        before->MouseLeave();
    }
}

bool TForm::ReadProperty(const std::string& name, const TFormValue& value, TReader& reader) {
    static constexpr const char* kBorderStyles[] = {"bsNone",   "bsSingle",     "bsSizeable",
                                                    "bsDialog", "bsToolWindow", "bsSizeToolWin"};
    static constexpr const char* kPositions[] = {"poDesigned",        "poDefault",        "poDefaultPosOnly",
                                                 "poDefaultSizeOnly", "poScreenCenter",   "poDesktopCenter",
                                                 "poMainFormCenter",  "poOwnerFormCenter"};
    if (name == "Caption") {
        SetCaption(reader.String(value));
    } else if (name == "ClientWidth") {
        SetClientWidth(reader.Integer(value));
    } else if (name == "ClientHeight") {
        SetClientHeight(reader.Integer(value));
    } else if (name == "Color") {
        SetColor(reader.Color(value));
    } else if (name == "BorderStyle") {
        FBorderStyle = static_cast<TFormBorderStyle>(reader.Enum(value, kBorderStyles));
    } else if (name == "Position") {
        FPosition = static_cast<TPosition>(reader.Enum(value, kPositions));
    } else if (name == "BorderIcons") {
        TBorderIcons icons = 0;
        for (const auto& member : reader.Set(value)) {
            if (member == "biSystemMenu")
                icons |= biSystemMenu;
            else if (member == "biMinimize")
                icons |= biMinimize;
            else if (member == "biMaximize")
                icons |= biMaximize;
            else if (member == "biHelp")
                icons |= biHelp;
            else
                reader.InvalidValue();
        }
        FBorderIcons = icons;
    } else if (name == "OldCreateOrder") {
        FOldCreateOrder = reader.Boolean(value);
    } else if (name == "PixelsPerInch") {
        FPixelsPerInch = reader.Integer(value);
    } else if (name == "TextHeight") {
        FTextHeight = reader.Integer(value);
    } else if (name == "OnShow") {
        OnShow = reader.Method(value);
    } else if (name == "OnCreate") {
        OnCreate = reader.Method(value);
    } else {
        return TControl::ReadProperty(name, value, reader);
    }
    return true;
}

void TForm::Loaded() {
    for (const auto& c : FControls)
        c->ParentFontChanged(Font());
}

// The application.

TApplication::TApplication() {
    char path[261]{};
    GetModuleFileNameA(nullptr, path, sizeof path);
    FTitle = ApplicationTitleFromPath(path);
}

TApplication::~TApplication() {
    FMainForm = nullptr;
    // Forms go in reverse order of creation.
    while (!FForms.empty())
        FForms.pop_back();
}

void TApplication::Initialize() {
    FIcon = IconFileResource("MAINICON");
    if (THost* host = Host()) {
        host->SetApplicationTitle(FTitle);
        if (!FIcon.empty()) host->SetApplicationIcon(FIcon);
    }
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
    if (FMainForm == nullptr) FMainForm = form.get();
    FForms.push_back(std::move(form));
}

void TApplication::Run() {
    if (FMainForm == nullptr) return;
    try {
        FMainForm->Show();
    } catch (const std::exception& error) {
        HandleException(error);
    }
    if (FTerminated) return;
    if (THost* host = Host()) host->RunLoop();
}

void TApplication::Terminate() {
    FTerminated = true;
    if (THost* host = Host()) host->Quit();
}

void TApplication::HandleException(const std::exception& error) {
    if (OnException) return OnException(error);
    if (THost* host = Host()) host->ShowError(FTitle, error.what());
}

std::string ApplicationTitleFromPath(const std::string& executablePath) {
    const auto cut = executablePath.find_last_of("\\:/");
    std::string name = cut == std::string::npos ? executablePath : executablePath.substr(cut + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    for (std::size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
}

// The host in use.

namespace {
THost* CurrentHost = nullptr;
}

void GuardedCall(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& error) {
        if (Application != nullptr) Application->HandleException(error);
    } catch (...) {
        if (Application != nullptr) Application->HandleException(std::runtime_error("Unknown error"));
    }
}

THost* Host() {
    return CurrentHost;
}

void SetHost(THost* host) {
    CurrentHost = host;
}
