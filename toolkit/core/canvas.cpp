#include "toolkit/core/canvas.h"

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/text.h"
#include "toolkit/core/graphic.h"

TPen::TPen() = default;

TPen::~TPen() {
    if (FHandle != nullptr) DeleteObject(FHandle);
}

HPEN TPen::Handle() {
    const std::uint32_t colour = ColorToRGB(Color);
    if (FHandle != nullptr && colour == FMadeColour && Width == FMadeWidth && Style == FMadeStyle)
        return FHandle;
    HPEN made = CreatePen(Style == psClear ? PS_NULL : PS_SOLID, Width, colour);
    if (made == nullptr) return nullptr;
    if (FHandle != nullptr) DeleteObject(FHandle);
    FHandle = made;
    FMadeColour = colour;
    FMadeWidth = Width;
    FMadeStyle = Style;
    return FHandle;
}

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::Draw(std::int32_t x, std::int32_t y, TGraphic& graphic) {
    graphic.DrawOn(*this, Rect(x, y, x + graphic.PixelWidth(), y + graphic.PixelHeight()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
    graphic.DrawOn(*this, rect);
}

namespace {

// Paints rect with a solid brush of the colour through one of the platform's brush calls.
void WithBrush(HDC dc, const TRect& rect, const TBrush& paint, int (*call)(HDC, const RECT*, HBRUSH)) {
    if (dc == nullptr || paint.Style == bsClear) return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(paint.Color));
    if (brush == nullptr) return;
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    call(dc, &r, brush);
    DeleteObject(brush);
}

// Selects an object into a context for one call and puts the previous one back.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : FDC(dc), FPrevious(object ? SelectObject(dc, object) : nullptr) {}
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;
    ~Selected() {
        if (FPrevious != nullptr) SelectObject(FDC, FPrevious);
    }
    bool Ok() const { return FPrevious != nullptr; }

private:
    HDC FDC;
    HGDIOBJ FPrevious;
};

// The text colour, background mode and background colour of a context for one call.
class TextColours {
public:
    TextColours(HDC dc, TColor text, const TBrush& brush)
        : FDC(dc), FText(SetTextColor(dc, ColorToRGB(text))),
          FMode(SetBkMode(dc, brush.Style == bsClear ? TRANSPARENT : OPAQUE)), FBackground(GetBkColor(dc)) {
        if (brush.Style != bsClear) SetBkColor(dc, ColorToRGB(brush.Color));
    }
    TextColours(const TextColours&) = delete;
    TextColours& operator=(const TextColours&) = delete;
    ~TextColours() {
        SetBkColor(FDC, FBackground);
        if (FMode != 0) SetBkMode(FDC, FMode);
        SetTextColor(FDC, FText);
    }

private:
    HDC FDC;
    COLORREF FText;
    int FMode;
    COLORREF FBackground;
};

} // namespace

void TCanvas::FillRect(const TRect& rect) {
    WithBrush(FHandle, rect, FBrush, ::FillRect);
}

void TCanvas::FrameRect(const TRect& rect) {
    WithBrush(FHandle, rect, FBrush, ::FrameRect);
}

TColor TCanvas::Pixel(std::int32_t x, std::int32_t y) const {
    const COLORREF colour = FHandle != nullptr ? ::GetPixel(FHandle, x, y) : CLR_INVALID;
    return static_cast<TColor>(colour);
}

void TCanvas::SetPixel(std::int32_t x, std::int32_t y, TColor colour) {
    if (FHandle != nullptr) ::SetPixel(FHandle, x, y, ColorToRGB(colour));
}

void TCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    if (FHandle != nullptr) ::MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(std::int32_t x, std::int32_t y) {
    if (FHandle == nullptr) return;
    const Selected pen(FHandle, FPen.Handle());
    if (pen.Ok()) ::LineTo(FHandle, x, y);
}

void TCanvas::Text(std::int32_t x, std::int32_t y, const TRect* clip, const std::string& text) {
    if (FHandle == nullptr) return;
    const Selected font(FHandle, FFont.Handle());
    if (!font.Ok()) return;
    const TextColours colours(FHandle, FFont.Color, FBrush);
    const auto count = static_cast<UINT>(text.size());
    if (clip == nullptr) {
        ExtTextOutA(FHandle, x, y, 0, nullptr, text.data(), count, nullptr);
        return;
    }
    const RECT r{clip->Left, clip->Top, clip->Right, clip->Bottom};
    const UINT options = ETO_CLIPPED | (FBrush.Style == bsClear ? 0u : ETO_OPAQUE);
    ExtTextOutA(FHandle, x, y, options, &r, text.data(), count, nullptr);
}

void TCanvas::TextOut(std::int32_t x, std::int32_t y, const std::string& text) {
    Text(x, y, nullptr, text);
}

void TCanvas::TextRect(const TRect& rect, std::int32_t x, std::int32_t y, const std::string& text) {
    Text(x, y, &rect, text);
}

TSize TCanvas::TextExtent(const std::string& text) {
    TSize size{0, 0};
    if (FHandle == nullptr) return size;
    const Selected font(FHandle, FFont.Handle());
    if (font.Ok() && !GetTextExtentPoint32A(FHandle, text.data(), static_cast<int>(text.size()), &size))
        size = {0, 0};
    return size;
}

std::int32_t TCanvas::TextWidth(const std::string& text) {
    return TextExtent(text).cx;
}

std::int32_t TCanvas::TextHeight(const std::string& text) {
    return TextExtent(text).cy;
}
