#include "toolkit/core/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "toolkit/core/bitmap_internal.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/sectionlimit.h"
#include "toolkit/core/stream.h"

using namespace bitmapdetail;

namespace {

struct TLogPalette {
    WORD version = 0x300;
    WORD count = 0;
    PALETTEENTRY entries[256]{};
};

} // namespace

namespace bitmapdetail {

void InvalidBitmap() {
    throw EInvalidGraphic("Bitmap image is not valid");
}

HBITMAP NewSection(int bitsPerPixel, LONG width, LONG height, const RGBQUAD* colours, DWORD count,
                   BYTE** bits) {
    *bits = nullptr;
    if (!FitsBitmapSectionLimit(RowBytes(bitsPerPixel, width), static_cast<std::uint64_t>(std::abs(height))))
        return nullptr;
    TBitmapInfo info(bitsPerPixel, width, height);
    info.header.biClrUsed = count;
    if (count > 0) std::copy_n(colours, count, info.colours);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

HPALETTE PaletteFromColours(const RGBQUAD* colours, DWORD count) {
    TLogPalette log;
    log.count = static_cast<WORD>(count);
    for (DWORD i = 0; i < count; ++i)
        log.entries[i] = PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
    HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log));
    if (palette == nullptr) throw EOutOfResources();
    return palette;
}

} // namespace bitmapdetail

namespace {

constexpr const char* kUnsupportedFormat = "Unsupported clipboard format";

HPALETTE CopyPalette(HPALETTE source) {
    if (source == nullptr) return nullptr;
    const UINT count = GetPaletteEntries(source, 0, 0, nullptr);
    if (count == 0) return nullptr;
    std::vector<PALETTEENTRY> entries(count);
    GetPaletteEntries(source, 0, count, entries.data());
    TLogPalette log;
    log.count = static_cast<WORD>(std::min<UINT>(count, 256));
    std::copy_n(entries.begin(), log.count, log.entries);
    HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&log));
    if (palette == nullptr) throw EOutOfResources();
    if (count > 256 && ResizePalette(palette, count))
        SetPaletteEntries(palette, 256, count - 256, entries.data() + 256);
    return palette;
}

// A memory device context for the length of a scope (null when refused).
struct TScopedDC {
    HDC dc = CreateCompatibleDC(nullptr);
    TScopedDC() = default;
    TScopedDC(const TScopedDC&) = delete;
    TScopedDC& operator=(const TScopedDC&) = delete;
    ~TScopedDC() {
        if (dc != nullptr) DeleteDC(dc);
    }
};

// A copy of a bitmap at its own depth, with its colour table; null when the bitmap is unknown.
HBITMAP Duplicate(HBITMAP source) {
    BITMAP record{};
    if (GetObjectA(source, sizeof(record), &record) == 0)
        return static_cast<HBITMAP>(CopyImage(source, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    // GetDIBits needs a device context; the bitmap need not be selected into it.
    const TScopedDC scratch;
    if (scratch.dc == nullptr) return nullptr;
    TBitmapInfo info(record.bmBitsPixel, record.bmWidth, record.bmHeight);
    // One row first, for the colour table the copy is made with.
    std::vector<BYTE> row(RowBytes(record.bmBitsPixel, record.bmWidth));
    if (GetDIBits(scratch.dc, source, 0, 1, row.data(), info.Info(), DIB_RGB_COLORS) != 1) return nullptr;
    BYTE* bits = nullptr;
    const DWORD colours = record.bmBitsPixel <= 8 ? DWORD{1} << record.bmBitsPixel : 0;
    HBITMAP copy =
        NewSection(record.bmBitsPixel, record.bmWidth, record.bmHeight, info.colours, colours, &bits);
    if (copy == nullptr) return nullptr;
    if (GetDIBits(scratch.dc, source, 0, static_cast<UINT>(record.bmHeight), bits, info.Info(),
                  DIB_RGB_COLORS) != record.bmHeight) {
        DeleteObject(copy);
        return nullptr;
    }
    return copy;
}

// The clipboard's copies of a bitmap and its palette.
void RenderClipboard(HBITMAP bitmap, HPALETTE palette, HANDLE& data, HPALETTE& paletteCopy) {
    data = nullptr;
    paletteCopy = nullptr;
    if (bitmap != nullptr) {
        HBITMAP copy = Duplicate(bitmap);
        if (copy == nullptr) throw EOutOfResources();
        TObjectGuard guard(copy);
        paletteCopy = CopyPalette(palette);
        guard.Release();
        data = copy;
    } else {
        paletteCopy = CopyPalette(palette);
    }
}

// Closes the clipboard on scope exit.
struct TClipboardLock {
    TClipboardLock() {
        if (!OpenClipboard(nullptr)) throw EClipboardException();
    }
    TClipboardLock(const TClipboardLock&) = delete;
    TClipboardLock& operator=(const TClipboardLock&) = delete;
    ~TClipboardLock() { CloseClipboard(); }
};

} // namespace

struct TBitmap::TState {
    HBITMAP handle = nullptr;
    HDC dc = nullptr;
    HGDIOBJ defaultBitmap = nullptr; // what the context held before our bitmap
    HPALETTE palette = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    TColor transparentColor = clDefault;
    TCanvas canvas;

    void EnsureDC() {
        if (dc != nullptr) return;
        dc = CreateCompatibleDC(nullptr);
        if (dc == nullptr) throw EOutOfResources();
        canvas.SetHandle(dc);
    }
    void UpdateSize() {
        BITMAP record{};
        if (handle != nullptr && GetObjectA(handle, sizeof(record), &record) != 0) {
            width = record.bmWidth;
            height = record.bmHeight;
        } else {
            width = height = 0;
        }
    }
    // Takes the handle out of the context; the caller owns it.
    HBITMAP Detach() {
        HBITMAP old = handle;
        if (old != nullptr) SelectObject(dc, defaultBitmap);
        handle = nullptr;
        width = height = 0;
        return old;
    }
};

const TGraphicClass TBitmap::GraphicClass{"TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap); }};

TBitmap::TBitmap() : FState(std::make_unique<TState>()) {}

TBitmap::~TBitmap() {
    if (HBITMAP old = FState->Detach()) DeleteObject(old);
    FState->canvas.SetHandle(nullptr);
    if (FState->dc != nullptr) DeleteDC(FState->dc);
    if (FState->palette != nullptr) DeleteObject(FState->palette);
}

bool TBitmap::IsEmpty() const {
    return FState->handle == nullptr;
}

std::int32_t TBitmap::PixelWidth() const {
    return FState->width;
}

std::int32_t TBitmap::PixelHeight() const {
    return FState->height;
}

void TBitmap::SetPixelWidth(std::int32_t width) {
    SetSize(width, FState->height);
}

void TBitmap::SetPixelHeight(std::int32_t height) {
    SetSize(FState->width, height);
}

void TBitmap::SetSize(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FState->width && height == FState->height) return;
    if (width == 0 || height == 0) {
        if (HBITMAP old = FState->Detach()) DeleteObject(old);
        FState->width = width;
        FState->height = height;
        return;
    }
    BYTE* bits = nullptr;
    HBITMAP fresh = NewSection(32, width, height, nullptr, 0, &bits);
    if (fresh == nullptr) throw EOutOfResources();
    TObjectGuard guard(fresh);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    for (std::size_t i = 0; i < stride * static_cast<std::size_t>(height); i += 4)
        bits[i] = bits[i + 1] = bits[i + 2] = 0xFF; // white
    // The old pixels keep their place from the top-left corner.
    const std::int32_t keepWidth = std::min(width, FState->width);
    const std::int32_t keepRows = std::min(height, FState->height);
    if (FState->handle != nullptr && keepWidth > 0 && keepRows > 0) {
        // Bottom-up, where scan line 0 is the bottom row whatever the order asked for: the top rows
        // kept are the last keepRows scan lines, the topmost of them last in the buffer.
        TBitmapInfo info(32, FState->width, FState->height);
        const std::size_t oldStride = static_cast<std::size_t>(FState->width) * 4;
        std::vector<BYTE> old(oldStride * static_cast<std::size_t>(keepRows));
        const int got = GetDIBits(FState->dc, FState->handle, static_cast<UINT>(FState->height - keepRows),
                                  static_cast<UINT>(keepRows), old.data(), info.Info(), DIB_RGB_COLORS);
        for (std::int32_t r = 0; got == keepRows && r < keepRows; ++r) // r counts from the top
            std::memcpy(bits + static_cast<std::size_t>(height - 1 - r) * stride,
                        old.data() + static_cast<std::size_t>(keepRows - 1 - r) * oldStride,
                        static_cast<std::size_t>(keepWidth) * 4);
    }
    SetHandle(fresh);
    guard.Release();
}

HBITMAP TBitmap::Handle() const {
    return FState->handle;
}

void TBitmap::SetHandle(HBITMAP handle) {
    if (handle == FState->handle) return;
    if (handle == nullptr) {
        if (HBITMAP old = FState->Detach()) DeleteObject(old);
        return;
    }
    FState->EnsureDC();
    HGDIOBJ previous = SelectObject(FState->dc, handle);
    if (previous == nullptr) InvalidBitmap(); // unknown, or selected elsewhere: not taken
    HBITMAP old = FState->handle;
    if (old == nullptr) FState->defaultBitmap = previous;
    FState->handle = handle;
    if (old != nullptr) DeleteObject(old);
    FState->UpdateSize();
}

TCanvas& TBitmap::Canvas() {
    FState->EnsureDC();
    return FState->canvas;
}

HPALETTE TBitmap::PaletteHandle() const {
    return FState->palette;
}

void TBitmap::SetPaletteHandle(HPALETTE palette) {
    if (palette == FState->palette) return;
    if (FState->palette != nullptr) DeleteObject(FState->palette);
    FState->palette = palette;
}

TColor TBitmap::TransparentColor() const {
    if (FState->transparentColor != clDefault || FState->handle == nullptr) return FState->transparentColor;
    TBitmapInfo info(32, FState->width, FState->height); // bottom-up: scan line 0 is the bottom row
    std::vector<BYTE> row(static_cast<std::size_t>(FState->width) * 4);
    if (GetDIBits(FState->dc, FState->handle, 0, 1, row.data(), info.Info(), DIB_RGB_COLORS) != 1)
        return FState->transparentColor;
    return static_cast<TColor>(RGB(row[2], row[1], row[0]));
}

void TBitmap::SetTransparentColor(TColor colour) {
    FState->transparentColor = colour;
}

void TBitmap::CopyInto(TPersistent* destination) const {
    if (auto* bitmap = dynamic_cast<TBitmap*>(destination)) {
        bitmap->AssignFrom(this);
        return;
    }
    TGraphic::CopyInto(destination);
}

void TBitmap::AssignFrom(const TPersistent* source) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(source);
    if (bitmap == nullptr) {
        TGraphic::AssignFrom(source); // the source may know how to copy itself into a bitmap
        return;
    }
    if (bitmap == this) return;
    const TState& from = *bitmap->FState;
    HBITMAP copy = nullptr;
    if (from.handle != nullptr) {
        copy = Duplicate(from.handle);
        if (copy == nullptr) throw EOutOfResources();
    }
    TObjectGuard guard(copy);
    HPALETTE palette = CopyPalette(from.palette);
    if (copy != nullptr) {
        SetHandle(copy);
    } else {
        SetHandle(nullptr);
        FState->width = from.width;
        FState->height = from.height;
    }
    guard.Release();
    SetPaletteHandle(palette);
    SetTransparent(bitmap->Transparent());
    FState->transparentColor = from.transparentColor;
}

void TBitmap::ReadData(TStream& stream) {
    std::uint8_t countBytes[4]{};
    if (stream.Read(countBytes, 4) != 4) InvalidBitmap();
    const std::uint32_t count = ReadU32(countBytes);
    if (count > 0x7FFFFFFFu || count > stream.Size() - stream.Position()) InvalidBitmap();
    // The count bounds the file: a view of exactly those bytes keeps the reader inside them.
    TMemoryStream file;
    file.SetSize(count);
    stream.ReadBuffer(file.Memory(), static_cast<std::int32_t>(count));
    LoadFromStream(file);
}
void TBitmap::LoadFromStream(TStream& stream) {
    TBmpFile file = ReadBmpFile(stream);
    SetHandle(static_cast<HBITMAP>(file.Section.Get()));
    file.Section.Release();
    SetPaletteHandle(static_cast<HPALETTE>(file.Palette.Release()));
}

void TBitmap::SaveToStream(TStream& stream) {
    if (IsEmpty()) return;
    WriteBmpFile(stream, FState->dc, FState->handle);
}

namespace {

// A memory context holding a bitmap of its own for the masked drawing; everything goes with it.
class TScratch {
public:
    explicit TScratch(HBITMAP bitmap) : FBitmap(bitmap), FDC(CreateCompatibleDC(nullptr)) {
        if (FBitmap != nullptr && FDC != nullptr) FOld = SelectObject(FDC, FBitmap);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    ~TScratch() {
        if (FOld != nullptr) SelectObject(FDC, FOld);
        if (FDC != nullptr) DeleteDC(FDC);
        if (FBitmap != nullptr) DeleteObject(FBitmap);
    }
    bool Ok() const { return FOld != nullptr; }
    HDC DC() const { return FDC; }

private:
    HBITMAP FBitmap;
    HDC FDC;
    HGDIOBJ FOld = nullptr;
};

} // namespace

void TBitmap::DrawOn(TCanvas& canvas, const TRect& rect) {
    HDC target = canvas.Handle();
    if (target == nullptr || IsEmpty()) return;
    HDC source = FState->dc;
    const int w = FState->width;
    const int h = FState->height;
    const int oldMode = SetStretchBltMode(target, COLORONCOLOR);
    if (!Transparent()) {
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, w, h, SRCCOPY);
    } else {
        // The mask is 1 where the transparent colour is; the image is a copy with those pixels black.
        TScratch mask(CreateBitmap(w, h, 1, 1, nullptr));
        TScratch image(CreateCompatibleBitmap(source, w, h));
        if (!mask.Ok() || !image.Ok()) {
            SetStretchBltMode(target, oldMode);
            throw EOutOfResources();
        }
        const COLORREF oldSourceBk = SetBkColor(source, ColorToRGB(TransparentColor()));
        BitBlt(mask.DC(), 0, 0, w, h, source, 0, 0, SRCCOPY);
        SetBkColor(source, oldSourceBk);
        BitBlt(image.DC(), 0, 0, w, h, source, 0, 0, SRCCOPY);
        SetBkColor(image.DC(), RGB(0, 0, 0));
        SetTextColor(image.DC(), RGB(255, 255, 255));
        BitBlt(image.DC(), 0, 0, w, h, mask.DC(), 0, 0, SRCAND);
        // The target keeps its pixels under the mask's 1s and is cleared under its 0s; then the image.
        const COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
        const COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), mask.DC(), 0, 0, w, h, SRCAND);
        SetBkColor(target, oldBk);
        SetTextColor(target, oldText);
        StretchBlt(target, rect.Left, rect.Top, rect.Width(), rect.Height(), image.DC(), 0, 0, w, h,
                   SRCPAINT);
    }
    SetStretchBltMode(target, oldMode);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    format = CF_BITMAP;
    RenderClipboard(FState->handle, FState->palette, data, palette);
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    if (format != CF_BITMAP || data == nullptr) throw EInvalidGraphic(kUnsupportedFormat);
    HBITMAP copy = Duplicate(static_cast<HBITMAP>(data)); // the clipboard keeps its own
    if (copy == nullptr) InvalidBitmap();
    TObjectGuard guard(copy);
    HPALETTE paletteCopy = CopyPalette(palette);
    SetHandle(copy);
    guard.Release();
    SetPaletteHandle(paletteCopy);
}

void TBitmap::CopyToClipboard() const {
    const TClipboardLock lock;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    RenderClipboard(FState->handle, FState->palette, data, palette);
    EmptyClipboard();
    if (data != nullptr && SetClipboardData(CF_BITMAP, data) == nullptr)
        DeleteObject(static_cast<HBITMAP>(data));
    if (palette != nullptr && SetClipboardData(CF_PALETTE, palette) == nullptr) DeleteObject(palette);
}

void TBitmap::PasteFromClipboard() {
    const TClipboardLock lock;
    HANDLE data = GetClipboardData(CF_BITMAP);
    auto* palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    LoadFromClipboardFormat(CF_BITMAP, data, palette);
}
