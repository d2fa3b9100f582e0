// The plain bitmap: BMP files of 1, 4, 8, 24 and 32 bits per pixel (uncompressed, and run-length
// encoded for 4 and 8 bits), a handle the program can draw with through its canvas, a transparent
// colour, and the clipboard format (a bitmap and its palette).
#pragma once

#include <memory>

#include "platform/wintypes.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/graphic.h"
#include "toolkit/core/types.h"

class TBitmap : public TGraphic {
public:
    static const TGraphicClass GraphicClass;

    TBitmap();
    ~TBitmap() override;

    const char* ClassName() const noexcept override { return "TBitmap"; }

    // A new bitmap is empty (0 x 0); growing it fills the new area white.
    bool IsEmpty() const override;
    std::int32_t PixelWidth() const override;
    std::int32_t PixelHeight() const override;
    void SetPixelWidth(std::int32_t width) override;
    void SetPixelHeight(std::int32_t height) override;
    void SetSize(std::int32_t width, std::int32_t height);

    // The bitmap's handle, owned by the bitmap; setting one hands ownership to the bitmap (the old
    // one is deleted). The canvas draws on it.
    HBITMAP Handle() const;
    void SetHandle(HBITMAP handle);
    TCanvas& Canvas();
    HPALETTE PaletteHandle() const override;
    void SetPaletteHandle(HPALETTE palette) override; // the bitmap takes ownership

    // The colour drawn transparent when Transparent is set; clDefault means the bottom-left pixel.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor colour);

    void CopyInto(TPersistent* destination) const override;
    void AssignFrom(const TPersistent* source) override;

    // BMP streams. Data that does not begin with "BM", or is malformed in any other way, raises
    // EInvalidGraphic "Bitmap image is not valid".
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // The stored form: a 32-bit little-endian byte count, then exactly that many bytes of a BMP
    // file. A count beyond the stream's end raises EInvalidGraphic "Bitmap image is not valid".
    void ReadData(TStream& stream) override;

    // Draws the bitmap stretched into the rectangle (honouring Transparent and TransparentColor).
    void DrawOn(TCanvas& canvas, const TRect& rect) override;

    // The clipboard format: CF_BITMAP with a copy of the handle, and a palette (or null).
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    // Copies the bitmap and its palette into the platform's clipboard store, and back.
    void CopyToClipboard() const;
    void PasteFromClipboard();

private:
    struct TState;
    std::unique_ptr<TState> FState;
};
