// Drawing: the three paths by transparency kind; the colour blend of the alpha path is in pngblend.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "platform/draw.h"
#include "platform/faults.h"
#include "platform/gdi.h"
#include "png/pngblend.h"
#include "png/pngerrors.h"
#include "png/pngformat.h"
#include "png/pngheader.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "toolkit/core/canvas.h"
#include "toolkit/core/sectionlimit.h"

namespace {

using u8 = std::uint8_t;

// The temporary platform objects of a draw: each is a memory context with a bitmap of its own
// selected, released whatever way the draw leaves. One the platform refuses (null) raises
// EPNGOutMemory; the paths make them all before their first write to the target, so a refusal
// leaves the target as it was.
template <class H>
H Granted(H handle) {
    if (handle == nullptr) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    return handle;
}

// A block transfer the platform could not carry out (it ran out of memory) fails the draw as a
// refused object does; a transfer that has nothing to draw succeeds.
void Transferred(int done) {
    if (done == 0) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
}

// Each bitmap a draw makes is a failure point of the sweep as well, since the real platform's
// objects are beyond its reach: a refusal there takes the way out a refusal of the platform takes.
HBITMAP Swept(HBITMAP bitmap) {
    if (bitmap == nullptr || !faults::ShouldFail()) return bitmap;
    DeleteObject(bitmap);
    return nullptr;
}

// The bitmap is held first, so that nothing is left behind when the context is refused; the
// selection is undone before either is deleted. Not copyable (its members are not).
class TWorkDC {
public:
    TWorkDC(HDC compatibleWith, HBITMAP bitmap)
        : FBitmap(Granted<HGDIOBJ>(Swept(bitmap)), DeleteObject),
          FDC(Granted(CreateCompatibleDC(compatibleWith)), DeleteDC),
          FPrevious(Granted(SelectObject(FDC.get(), bitmap))) {}
    ~TWorkDC() { SelectObject(FDC.get(), FPrevious); }
    operator HDC() const { return FDC.get(); }

private:
    std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, decltype(&DeleteObject)> FBitmap;
    std::unique_ptr<std::remove_pointer_t<HDC>, decltype(&DeleteDC)> FDC;
    HGDIOBJ FPrevious;
};

// Source column and row of every target column and row: the identity unscaled, the truncated
// quotient by the stored ratio when scaled.
void FillSourceIndices(std::int32_t* map, std::int32_t count, bool scaled, double ratio) {
    for (std::int32_t i = 0; i < count; ++i)
        map[i] = scaled ? static_cast<std::int32_t>(i / ratio) : i;
}

// The working memory of an alpha draw (its index maps and gathered row), refused as the image
// memory is: EPNGOutMemory, before anything is written.
std::unique_ptr<std::int32_t[]> DrawMemory(std::size_t words) {
    if (faults::ShouldFail()) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    std::unique_ptr<std::int32_t[]> memory(new (std::nothrow) std::int32_t[words]);
    if (!memory) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    return memory;
}

// Gray with alpha: the gray byte is the colour of all three channels.
void BlendGrayRow(u8* target, const u8* pixels, const u8* alpha, const std::int32_t* columns,
                  std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, target += 4) {
        const std::int32_t sx = columns[x];
        const unsigned a = alpha[sx];
        const unsigned g = pixels[sx];
        target[0] = BlendChannel(g, target[0], a);
        target[1] = BlendChannel(g, target[1], a);
        target[2] = BlendChannel(g, target[2], a);
    }
}

// Palette images with an alpha table: the index of the field at column sx of a 1-, 4- or 8-bit row.
template <int Bits>
inline unsigned FieldAt(const u8* row, std::int32_t sx) {
    if constexpr (Bits == 8)
        return row[sx];
    else if constexpr (Bits == 4)
        return (sx & 1) ? row[sx >> 1] & 15u : row[sx >> 1] >> 4;
    else
        return (row[sx >> 3] >> (7 - (sx & 7))) & 1u;
}

struct TPaletteAlpha {
    const TChunkPLTE* Palette;
    const u8* Alpha;   // 256 entries
    u8 Colour[256][3]; // blue, green, red of the entries below the palette's count
};

template <int Bits>
void BlendPaletteRow(u8* target, const u8* pixels, const TPaletteAlpha& table, const std::int32_t* columns,
                     std::int32_t width) {
    const auto count = static_cast<unsigned>(std::max(table.Palette->EntryCount, 0));
    for (std::int32_t x = 0; x < width; ++x, target += 4) {
        const unsigned i = FieldAt<Bits>(pixels, columns[x]);
        if (i >= count) table.Palette->EntryAt(static_cast<u8>(i)); // raises: no such palette entry
        const unsigned a = table.Alpha[i];
        target[0] = BlendChannel(table.Colour[i][0], target[0], a);
        target[1] = BlendChannel(table.Colour[i][1], target[1], a);
        target[2] = BlendChannel(table.Colour[i][2], target[2], a);
    }
}

// A 32-bit top-down section of w x h pixels (null when refused); *bits receives its pixel data.
HBITMAP NewTopDownSection32(std::int32_t w, std::int32_t h, void** bits) {
    const BITMAPINFOHEADER layout{40, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&layout), DIB_RGB_COLORS, bits,
                            nullptr, 0);
}

// The pixel memory of a 32-bit bitmap section selected into a device context.
struct TTargetRows {
    u8* Bits = nullptr;
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    std::ptrdiff_t Stride = 0;
    bool TopDown = false;
};

bool SelectedSection32(HDC dc, TTargetRows& rows) {
    const auto bitmap = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    DIBSECTION section{};
    // Only a section answers with the whole record; a device-dependent bitmap gives a BITMAP.
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof(section), &section) != int(sizeof(section)) ||
        section.dsBm.bmBits == nullptr || section.dsBmih.biBitCount != 32 || section.dsBm.bmWidthBytes <= 0)
        return false;
    rows.Bits = static_cast<u8*>(section.dsBm.bmBits);
    rows.Width = section.dsBm.bmWidth;
    rows.Height = section.dsBm.bmHeight;
    rows.Stride = section.dsBm.bmWidthBytes;
    return rows.Width > 0 && rows.Height > 0;
}

// The section record tells no row order (its height is positive either way), so it is seen: a bit
// of the first pixel of memory row 0 is flipped, device pixel (0, 0) is read back through a 1 x 1
// transfer (source reads are not clipped), and the bit is restored. The bit is chosen so that the
// flipped pixel differs from the first pixel of the last row, which bottom-up rows would show
// instead. False when the read shows neither; a failed transfer fails the draw, as elsewhere.
bool LearnRowOrder(HDC target, POINT origin, TTargetRows& rows) {
    void* probeBits = nullptr;
    TWorkDC probe(nullptr, NewTopDownSection32(1, 1, &probeBits));
    GdiFlush(); // drawing still queued for the target must land before its memory is read
    std::uint32_t first = 0, last = 0;
    std::memcpy(&first, rows.Bits, 4);
    std::memcpy(&last, rows.Bits + (rows.Height - 1) * rows.Stride, 4);
    const std::uint32_t flip = ((first ^ last) & 0xFFFFFF) == 1 ? 2 : 1;
    const std::uint32_t flipped = first ^ flip;
    std::memcpy(rows.Bits, &flipped, 4);
    const BOOL read = BitBlt(probe, 0, 0, 1, 1, target, -origin.x, -origin.y, SRCCOPY);
    GdiFlush();
    std::memcpy(rows.Bits, &first, 4);
    Transferred(read);
    std::uint32_t seen = 0;
    std::memcpy(&seen, probeBits, 4);
    if (((seen ^ flipped) & 0xFFFFFF) == 0) {
        rows.TopDown = true;
        return true;
    }
    rows.TopDown = false;
    return ((seen ^ last) & 0xFFFFFF) == 0;
}

// Swaps Left and Right when Right is less, then Top and Bottom when Bottom is less.
void NormalizeRect(TRect& rect) {
    if (rect.Right < rect.Left) std::swap(rect.Left, rect.Right);
    if (rect.Bottom < rect.Top) std::swap(rect.Top, rect.Bottom);
}

} // namespace

TPNGTransparencyKind TPNGObject::TransparencyKind() const {
    const TChunkIHDR& header = HeaderChunk();
    const auto* trns = static_cast<const TChunktRNS*>(Chunks().FindByClass(TChunktRNS::Class));
    const TColorTypeInfo& info = ColorTypeInfo(header.ColorType);
    if (info.HasAlpha) return ptkAlpha;
    if (!IsKnownColorType(header.ColorType) || trns == nullptr) return ptkOpaque;
    // A palette's alpha table with a single transparent entry is drawn through that entry's colour.
    if (info.HasPalette) return trns->IsKeyColor ? ptkKeyColor : ptkAlpha;
    return ptkKeyColor;
}

bool TPNGObject::HasTransparency() const {
    return TransparencyKind() != ptkOpaque;
}

COLORREF TPNGObject::KeyColor() const {
    const auto* trns = static_cast<const TChunktRNS*>(Chunks().FindByClass(TChunktRNS::Class));
    return trns != nullptr ? trns->KeyColor() : 0;
}

void TPNGObject::DrawOn(TCanvas& canvas, const TRect& rect) {
    if (IsEmpty()) return;
    TChunkIHDR& header = HeaderChunk();
    if (rect.Right == rect.Left || rect.Bottom == rect.Top) return; // nothing to cover
    HDC target = canvas.Handle();
    const auto* description = reinterpret_cast<const BITMAPINFO*>(&header.DibInfo());
    switch (TransparencyKind()) {
    case ptkKeyColor: DrawWithColorKey(target, header.PixelRows(), description, rect, KeyColor()); break;
    case ptkAlpha: DrawAlphaBlended(target, rect); break;
    case ptkOpaque:
        SetStretchBltMode(target, COLORONCOLOR);
        // A mirrored extent counts back from its origin: a reversed rectangle starts one pixel in.
        Transferred(StretchDIBits(
            target, rect.Left - (rect.Right < rect.Left), rect.Top - (rect.Bottom < rect.Top),
            rect.Right - rect.Left, rect.Bottom - rect.Top, 0, 0, static_cast<int>(header.Width),
            static_cast<int>(header.Height), header.PixelRows(), description, DIB_RGB_COLORS, SRCCOPY));
        break;
    }
}

// The image through a mask of its key-coloured pixels: the target shows through exactly where the
// scaled image, in the target's format, has the key colour. A reversed rectangle mirrors the image
// into the normalised rectangle, as the opaque path does: the work bitmaps take the rectangle's
// size, and only the stretches from and to the image run with the signed extents.
void TPNGObject::DrawWithColorKey(HDC target, const std::uint8_t* rows, const BITMAPINFO* description,
                                  const TRect& rect, COLORREF keyColor) {
    const int sw = std::abs(description->bmiHeader.biWidth);
    const int sh = std::abs(description->bmiHeader.biHeight);
    const int w = rect.Right - rect.Left;
    const int h = rect.Bottom - rect.Top;
    const int aw = std::abs(w);
    const int ah = std::abs(h);
    const int left = std::min(rect.Left, rect.Right);
    const int top = std::min(rect.Top, rect.Bottom);
    const int mx = w < 0 ? aw - 1 : 0; // a mirrored extent covers [origin + extent + 1, origin]
    const int my = h < 0 ? ah - 1 : 0;

    TWorkDC source(
        target, CreateDIBitmap(target, &description->bmiHeader, CBM_INIT, rows, description, DIB_RGB_COLORS));
    TWorkDC back(target, CreateBitmap(aw, ah, 1, 1, nullptr));
    TWorkDC mask(target, CreateBitmap(aw, ah, 1, 1, nullptr));
    TWorkDC work(target, CreateCompatibleBitmap(target, aw, ah));

    // Shrinking keeps one pixel per destination pixel, as the opaque path does, rather than the
    // AND of BLACKONWHITE, a new context's mode.
    for (HDC dc : {static_cast<HDC>(mask), static_cast<HDC>(source), static_cast<HDC>(work)})
        SetStretchBltMode(dc, COLORONCOLOR);
    const COLORREF previousBack = SetBkColor(source, keyColor);
    Transferred(
        StretchBlt(mask, mx, my, w, h, source, 0, 0, sw, sh, SRCCOPY)); // 1 where the scaled image is the key
    SetBkColor(source, previousBack);
    Transferred(BitBlt(back, 0, 0, aw, ah, mask, 0, 0, NOTSRCCOPY));     // 1 where the image is opaque
    Transferred(BitBlt(work, 0, 0, aw, ah, target, left, top, SRCCOPY)); // what the target shows
    Transferred(BitBlt(work, 0, 0, aw, ah, mask, 0, 0, SRCAND));         // black where the image is opaque
    Transferred(
        StretchBlt(source, 0, 0, sw, sh, back, mx, my, w, h, SRCAND)); // key pixels of the image black
    Transferred(
        StretchBlt(work, mx, my, w, h, source, 0, 0, sw, sh, SRCPAINT)); // opaque pixels fill the holes
    Transferred(BitBlt(target, left, top, aw, ah, work, 0, 0, SRCCOPY));
}

void TPNGObject::DrawAlphaBlended(HDC target, const TRect& rect) {
    if (rect.Right == rect.Left || rect.Bottom == rect.Top) return;
    TRect r = rect;
    NormalizeRect(r);
    const std::int32_t w = r.Right - r.Left;
    const std::int32_t h = r.Bottom - r.Top;
    const TChunkIHDR& header = HeaderChunk();
    const auto width = static_cast<std::int32_t>(header.Width);
    const auto height = static_cast<std::int32_t>(header.Height);
    const bool scaled = width != w || height != h;
    const double ratioX = scaled ? double(w) / double(width) : 1.0;
    const double ratioY = scaled ? double(h) / double(height) : 1.0;

    // A palette image needs its palette for every pixel; without one the draw fails before any
    // object is made.
    const bool colour = header.RowBits() == 24;
    const bool gray = !colour && header.ColorType == pctGrayAlpha;
    const bool palette =
        !colour && !gray && (header.RowBits() == 1 || header.RowBits() == 4 || header.RowBits() == 8);
    TPaletteAlpha table{};
    if (palette) {
        const auto* trns = static_cast<const TChunktRNS*>(Chunks().FindByClass(TChunktRNS::Class));
        table.Palette = static_cast<const TChunkPLTE*>(Chunks().FindByClass(TChunkPLTE::Class));
        if (table.Palette == nullptr || trns == nullptr)
            RaisePngError<EPngError>(pnglang::EPngErrorNoPaletteEntryText);
        table.Alpha = trns->TransparencyData;
        for (std::int32_t i = 0; i < std::min(table.Palette->EntryCount, 256); ++i) {
            const std::uint32_t bgr = table.Palette->EntryAt(static_cast<u8>(i));
            table.Colour[i][0] = static_cast<u8>(bgr);
            table.Colour[i][1] = static_cast<u8>(bgr >> 8);
            table.Colour[i][2] = static_cast<u8>(bgr >> 16);
        }
    }

    // One allocation: the column map, the row map and, for scaled colour rows, a target row and a
    // source row of 32-bit pixels: once per distinct source row (an enlarged image repeats rows) the
    // source row is expanded and gathered through the column map, and each target row is blended
    // from the gathered row by the routine for unscaled 32-bit rows.
    const bool gather = colour && scaled;
    const std::unique_ptr<std::int32_t[]> memory =
        DrawMemory(std::size_t(w) + std::size_t(h) + (gather ? std::size_t(w) + std::size_t(width) : 0));
    std::int32_t* const columns = memory.get();
    std::int32_t* const rows = columns + w;
    u8* const quads = reinterpret_cast<u8*>(rows + h);
    u8* const expanded = quads + 4 * std::size_t(w);
    FillSourceIndices(columns, w, scaled, ratioX);
    FillSourceIndices(rows, h, scaled, ratioY);
    const TColourBlend blendColour = ColourBlendFor(ActiveSimdLevel());
    const TQuadExpand expandQuads = QuadExpandFor(ActiveSimdLevel());
    const TQuadGather gatherQuads = QuadGatherFor(ActiveSimdLevel());
    const TQuadBlend blendQuads = QuadBlendFor(ActiveSimdLevel());
    // Blends rows 0 to h - 1 of the rectangle, row y of the target at base + y x step.
    auto blendInto = [&](u8* base, std::ptrdiff_t step) {
        std::int32_t gathered = -1; // the source row now in quads
        for (std::int32_t y = 0; y < h; ++y) {
            u8* out = base + y * step;
            const std::int32_t sy = rows[y];
            const u8* pixels = header.PixelRow(sy);
            if (gather) {
                if (sy != gathered) {
                    expandQuads(expanded, pixels, header.AlphaRow(sy), width);
                    gatherQuads(quads, expanded, columns, w);
                }
                gathered = sy;
                blendQuads(out, quads, w);
            } else if (colour)
                blendColour(out, pixels, header.AlphaRow(sy), w);
            else if (gray)
                BlendGrayRow(out, pixels, header.AlphaRow(sy), columns, w);
            else if (palette && header.RowBits() == 8)
                BlendPaletteRow<8>(out, pixels, table, columns, w);
            else if (palette && header.RowBits() == 4)
                BlendPaletteRow<4>(out, pixels, table, columns, w);
            else if (palette)
                BlendPaletteRow<1>(out, pixels, table, columns, w);
        }
    };

    // A 32-bit section target that holds the whole rectangle inside its bitmap and clip is blended
    // where it stands: the same pixels as reading it back and writing it again, without the two
    // copies. Palette images keep the copy, so that a missing palette entry leaves the target untouched.
    TTargetRows rows32;
    POINT origin{};
    RECT clip{};
    if (!palette && SelectedSection32(target, rows32) && GetViewportOrgEx(target, &origin) &&
        GetClipBox(target, &clip) == SIMPLEREGION && r.Left >= clip.left && r.Top >= clip.top &&
        r.Right <= clip.right && r.Bottom <= clip.bottom) {
        const std::int64_t left = std::int64_t{r.Left} + origin.x, top = std::int64_t{r.Top} + origin.y;
        if (left >= 0 && top >= 0 && left + w <= rows32.Width && top + h <= rows32.Height &&
            LearnRowOrder(target, origin, rows32)) {
            const std::int64_t row = rows32.TopDown ? top : rows32.Height - 1 - top;
            u8* base = rows32.Bits + row * rows32.Stride + left * 4;
            blendInto(base, rows32.TopDown ? rows32.Stride : -rows32.Stride);
            return;
        }
    }

    // Otherwise through a 32-bit top-down section: the rectangle read back, blended, written again.
    if (!FitsBitmapSectionLimit(std::uint64_t(w) * 4, std::uint64_t(h)))
        RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
    void* bits = nullptr;
    TWorkDC section(nullptr, NewTopDownSection32(w, h, &bits));
    Transferred(BitBlt(section, 0, 0, w, h, target, r.Left, r.Top, SRCCOPY));
    blendInto(static_cast<u8*>(bits), std::ptrdiff_t(w) * 4);
    Transferred(BitBlt(target, r.Left, r.Top, w, h, section, 0, 0, SRCCOPY));
}
