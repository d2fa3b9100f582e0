#include "toolkit/core/canvas.h"

#include "platform/draw.h"
#include "toolkit/core/graphic.h"

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
void WithBrush(HDC dc, const TRect& rect, TColor colour, int (*paint)(HDC, const RECT*, HBRUSH)) {
    if (dc == nullptr) return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(colour));
    if (brush == nullptr) return;
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    paint(dc, &r, brush);
    DeleteObject(brush);
}

} // namespace

void TCanvas::FillRect(const TRect& rect) {
    WithBrush(FHandle, rect, FBrush.Color, ::FillRect);
}

void TCanvas::FrameRect(const TRect& rect) {
    WithBrush(FHandle, rect, FBrush.Color, ::FrameRect);
}

TColor TCanvas::Pixel(std::int32_t x, std::int32_t y) const {
    const COLORREF colour = FHandle != nullptr ? ::GetPixel(FHandle, x, y) : CLR_INVALID;
    return static_cast<TColor>(colour);
}

void TCanvas::SetPixel(std::int32_t x, std::int32_t y, TColor colour) {
    if (FHandle != nullptr) ::SetPixel(FHandle, x, y, ColorToRGB(colour));
}
