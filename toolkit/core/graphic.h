// The graphic base class: a picture that can be loaded from and saved to streams and files, and
// the class references through which the picture-format registry creates graphics.
#pragma once

#include <memory>
#include <string>

#include "platform/wintypes.h"
#include "toolkit/core/persistent.h"
#include "toolkit/core/types.h"

class TStream;
class TGraphic;
class TCanvas;

// A graphic class as a value: its name and how to make an empty instance of it.
struct TGraphicClass {
    const char* Name;
    std::unique_ptr<TGraphic> (*Create)();
};

class TGraphic : public TPersistent {
public:
    const char* ClassName() const noexcept override { return "TGraphic"; }

    virtual bool IsEmpty() const = 0;
    virtual std::int32_t PixelWidth() const = 0;
    virtual std::int32_t PixelHeight() const = 0;
    virtual void SetPixelWidth(std::int32_t width) = 0;
    virtual void SetPixelHeight(std::int32_t height) = 0;
    // Draws the graphic into the rectangle of the canvas (scaled to it).
    virtual void DrawOn(TCanvas& canvas, const TRect& rect) = 0;
    // Whether parts of the graphic let what lies beneath show through.
    virtual bool HasTransparency() const { return Transparent(); }
    // The graphic's logical palette (null when it has none); the graphic keeps owning it.
    virtual HPALETTE PaletteHandle() const { return nullptr; }
    // Hands the graphic a palette; the base ignores it.
    virtual void SetPaletteHandle(HPALETTE) {}

    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    // Reads the graphic as a window description stores it, after the class name. Most graphics
    // store their plain stream; a class whose stored form differs overrides this.
    virtual void ReadData(TStream& stream) { LoadFromStream(stream); }
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    // The clipboard exchange: the format, data handle and palette the graphic is rendered as, and
    // the reverse. The base refuses with EInvalidGraphic "Unsupported clipboard format".
    virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);
    virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value) { FTransparent = value; }

private:
    bool FTransparent = false;
};
