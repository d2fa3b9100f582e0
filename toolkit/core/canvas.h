// A drawing surface over a device context, with a brush for fills and a pen for lines. The canvas
// does not own its handle: whoever made the device context deletes it, and detaches it first.
#pragma once

#include <memory>

#include "platform/wintypes.h"
#include "toolkit/core/types.h"

class TGraphic;

class TBrush {
public:
    TColor Color = clWhite;
};

class TPen {
public:
    TColor Color = clBlack;
    std::int32_t Width = 1;
};

class TCanvas {
public:
    TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    HDC Handle() const { return FHandle; }
    void SetHandle(HDC handle) { FHandle = handle; }
    bool HandleAllocated() const { return FHandle != nullptr; }

    TBrush& Brush() { return FBrush; }
    TPen& Pen() { return FPen; }

    // The graphic at its own size with its top-left corner at (x, y), or stretched into rect.
    void Draw(std::int32_t x, std::int32_t y, TGraphic& graphic);
    void StretchDraw(const TRect& rect, TGraphic& graphic);
    // Fills with the brush colour; frames with a one-pixel border in the brush colour.
    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    TColor Pixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, TColor colour);

private:
    HDC FHandle = nullptr;
    TBrush FBrush;
    TPen FPen;
};
