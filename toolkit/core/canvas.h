// A drawing surface over a device context, with a brush for fills, a pen for lines and a font for
// text. The canvas does not own its handle: whoever made the device context deletes it, and
// detaches it first. Pens and fonts are selected into the context only for the call that uses
// them, and the context's colours and modes are put back afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/lines.h"
#include "platform/wintypes.h"
#include "toolkit/core/font.h"
#include "toolkit/core/types.h"

class TGraphic;

using TSize = SIZE;

// bsClear: fills paint nothing and text keeps the background behind it.
enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

class TBrush {
public:
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

// psClear: lines draw nothing.
enum TPenStyle : std::uint8_t { psSolid, psClear };

// Makes its platform pen on first use and again after a change; owns it.
class TPen {
public:
    TPen();
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;
    ~TPen();

    TColor Color = clBlack;
    std::int32_t Width = 1;
    TPenStyle Style = psSolid;

    // The platform pen for the current properties; null when it cannot be made.
    HPEN Handle();

private:
    HPEN FHandle = nullptr;
    std::uint32_t FMadeColour = 0;
    std::int32_t FMadeWidth = 0;
    TPenStyle FMadeStyle = psSolid;
};

class TCanvas {
public:
    TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    HDC Handle() const { return FHandle; }
    void SetHandle(HDC handle) { FHandle = handle; }

    TBrush& Brush() { return FBrush; }
    TPen& Pen() { return FPen; }
    TFont& Font() { return FFont; }

    // The graphic at its own size with its top-left corner at (x, y), or stretched into rect.
    void Draw(std::int32_t x, std::int32_t y, TGraphic& graphic);
    void StretchDraw(const TRect& rect, TGraphic& graphic);
    // Fills with the brush colour; frames with a one-pixel border in the brush colour. Neither
    // paints with a clear brush.
    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    TColor Pixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, TColor colour);

    // Lines with the pen, from the current position to (x, y) without the end point, which then
    // becomes the current position.
    void MoveTo(std::int32_t x, std::int32_t y);
    void LineTo(std::int32_t x, std::int32_t y);

    // Text in the font's colour with the top-left of its cell at (x, y), on the brush colour (or
    // on what is there with a clear brush). TextRect clips to rect and, with a solid brush, fills
    // rect first.
    void TextOut(std::int32_t x, std::int32_t y, const std::string& text);
    void TextRect(const TRect& rect, std::int32_t x, std::int32_t y, const std::string& text);
    // The size the text takes in the font: its width and the cell height (0 x 0 for no text).
    TSize TextExtent(const std::string& text);
    std::int32_t TextWidth(const std::string& text);
    std::int32_t TextHeight(const std::string& text);

private:
    void Text(std::int32_t x, std::int32_t y, const TRect* clip, const std::string& text);

    HDC FHandle = nullptr;
    TBrush FBrush;
    TPen FPen;
    TFont FFont;
};
