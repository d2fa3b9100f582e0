// Painting the button: the face, then the image at its natural size, then the caption. All the
// pixel work is the platform's edges and lines and the image's own drawing.
#include "platform/draw.h"
#include "platform/lines.h"
#include "pngbutton/pngextra.h"

namespace {

constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index));
}

// A one-pixel frame on the outermost rows and columns: top and left in the first colour, bottom
// and right (with the top-right and bottom-left corners) in the second.
void Frame(TCanvas& canvas, int width, int height, TColor topLeft, TColor bottomRight) {
    TPen& pen = canvas.Pen();
    pen.Width = 1;
    pen.Style = psSolid;
    pen.Color = topLeft;
    canvas.MoveTo(0, height - 1);
    canvas.LineTo(0, 0);
    canvas.LineTo(width - 1, 0);
    pen.Color = bottomRight;
    canvas.LineTo(width - 1, height - 1);
    canvas.LineTo(-1, height - 1);
}

} // namespace

TPNGObject& TPNGButton::ChosenImage() const {
    const bool pressedLook = FMode == pbmPressed && FHovered;
    if (pressedLook && !FImageDown->IsEmpty()) return *FImageDown;
    if (FHovered && !FImageOver->IsEmpty() && Enabled()) return *FImageOver;
    if (FMode == pbmDisabled && !FFadedImage->IsEmpty()) return *FFadedImage;
    return *FImageNormal;
}

TRect TPNGButton::PaintFace(bool pressedLook) {
    TCanvas& canvas = Canvas();
    TRect clip = ClientRect();
    if (FButtonStyle == pbsDefault) {
        HDC dc = canvas.Handle();
        RECT r{0, 0, Width(), Height()};
        if (!pressedLook) {
            DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_BOTTOMRIGHT);
            --r.right;
            --r.bottom;
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_TOPLEFT);
            ++r.left;
            ++r.top;
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_BOTTOMRIGHT | BF_MIDDLE);
        } else {
            DrawEdge(dc, &r, BDR_SUNKENINNER, BF_TOPLEFT);
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_BOTTOMRIGHT);
            r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_TOPLEFT | BF_MIDDLE);
        }
        return clip;
    }
    // Flat: nothing beneath is covered; a frame only shows the pointer or a press.
    if (FMode == pbmDisabled) return clip;
    if (pressedLook)
        Frame(canvas, Width(), Height(), SystemColor(COLOR_BTNSHADOW), SystemColor(COLOR_BTNHIGHLIGHT));
    else if (FHovered || FMode == pbmPressed)
        Frame(canvas, Width(), Height(), SystemColor(COLOR_BTNHIGHLIGHT), SystemColor(COLOR_BTNSHADOW));
    else
        return clip;
    return Rect(clip.Left + 1, clip.Top + 1, clip.Right - 1, clip.Bottom - 1);
}

void TPNGButton::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(Font());
    const bool pressedLook = FMode == pbmPressed && FHovered;
    TPNGObject& image = ChosenImage();

    const std::int32_t imageWidth = image.IsEmpty() ? 0 : image.PixelWidth();
    const std::int32_t imageHeight = image.IsEmpty() ? 0 : image.PixelHeight();
    const TSize text = FCaption.empty() ? TSize{0, 0} : canvas.TextExtent(FCaption);
    // The block is the image, a 4-pixel gap and the caption; without a caption there is no gap.
    const std::int32_t h = imageHeight + (FCaption.empty() ? 0 : 4);
    const std::int32_t shift = pressedLook ? 2 : 0;
    // Halving rounds toward zero, as C++ division does: an image wider than the button by 3
    // starts 1 pixel to the left, not 2.
    const std::int32_t top = (Height() - h - text.cy) / 2 + shift;
    const std::int32_t imageLeft = (Width() - imageWidth) / 2 + shift;
    const std::int32_t textLeft = (Width() - text.cx) / 2 + shift;
    const std::int32_t imageTop = FButtonLayout == pbsImageAbove ? top : top + text.cy;
    const std::int32_t textTop = FButtonLayout == pbsImageAbove ? top + h : top;

    const TRect textClip = PaintFace(pressedLook);

    canvas.Brush().Style = bsClear;
    if (imageWidth > 0 && imageHeight > 0)
        image.DrawOn(canvas, Rect(imageLeft, imageTop, imageLeft + imageWidth, imageTop + imageHeight));

    if (FCaption.empty()) return;
    if (FMode == pbmDisabled) canvas.Font().Color = SystemColor(COLOR_GRAYTEXT);
    canvas.TextRect(textClip, textLeft, textTop, FCaption);
}
