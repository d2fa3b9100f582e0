// Drawing: the three paths by transparency kind, and the blend of the alpha path.
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "platform/draw.h"
#include "platform/gdi.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pnglang.h"
#include "png/pngobject.h"
#include "png/pngpalette.h"
#include "toolkit/core/canvas.h"

namespace {

using u8 = std::uint8_t;

// The blend of one channel: exact at both ends (a = 0 keeps D, a = 255 gives S).
inline u8 Blend(unsigned s, unsigned d, unsigned a) {
    return static_cast<u8>((s * a + d * (255 - a) + 255) >> 8);
}

// The compositing section of the alpha path: a 32-bit top-down section in its own context,
// released whatever way the draw leaves.
class TCompositingSection {
public:
    TCompositingSection(std::int32_t width, std::int32_t height) {
        FDC = CreateCompatibleDC(nullptr);
        if (FDC == nullptr) RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
        BITMAPINFOHEADER header{40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        FSection = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
        if (FSection == nullptr || bits == nullptr) {
            if (FSection != nullptr) DeleteObject(FSection);
            DeleteDC(FDC);
            RaisePngError<EPNGOutMemory>(pnglang::EPNGOutMemoryText);
        }
        FBits = static_cast<u8*>(bits);
        FPrevious = SelectObject(FDC, FSection);
    }
    ~TCompositingSection() {
        SelectObject(FDC, FPrevious);
        DeleteObject(FSection);
        DeleteDC(FDC);
    }
    TCompositingSection(const TCompositingSection&) = delete;
    TCompositingSection& operator=(const TCompositingSection&) = delete;

    HDC DC() const { return FDC; }
    u8* Bits() const { return FBits; }

private:
    HDC FDC = nullptr;
    HBITMAP FSection = nullptr;
    HGDIOBJ FPrevious = nullptr;
    u8* FBits = nullptr;
};

// Source column and row of every target column and row: the identity unscaled, the truncated
// quotient by the stored ratio when scaled.
std::vector<std::int32_t> SourceIndices(std::int32_t count, bool scaled, double ratio) {
    std::vector<std::int32_t> map(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i)
        map[std::size_t(i)] = scaled ? static_cast<std::int32_t>(i / ratio) : i;
    return map;
}

// Colour with alpha (24-bit rows and an alpha plane): transparent pixels keep the target, opaque
// ones take the image colour, the rest are blended. Four pixels at a time with SSE2: groups that
// are all transparent are skipped and groups that are all opaque copied; the others blend in 16-bit
// lanes (the rule is exact at both ends, so no pixel needs a branch, and a lane of alpha 0 keeps
// the target's fourth byte). Unscaled rows read the source directly; scaled rows through the
// column map. The scalar loop finishes the row.
template <bool Unscaled>
void BlendColourRow(u8* target, const u8* pixels, const u8* alpha, const std::int32_t* columns,
                    std::int32_t width) {
    std::int32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i fourthBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4, target += 16) {
        std::uint32_t a4;
        std::uint64_t q0, q1; // pixels 0 and 1, 2 and 3 as blue, green, red, 0
        if constexpr (Unscaled) {
            std::memcpy(&a4, alpha + x, 4);
            if (a4 == 0) continue;
            std::uint64_t lo;
            std::uint32_t hi;
            std::memcpy(&lo, pixels + 3 * x, 8);
            std::memcpy(&hi, pixels + 3 * x + 8, 4);
            q0 = (lo & 0xFFFFFF) | (((lo >> 24) & 0xFFFFFF) << 32);
            q1 = (lo >> 48) | (std::uint64_t{hi & 0xFF} << 16) | (std::uint64_t{hi >> 8} << 32);
        } else {
            const std::int32_t c[4] = {columns[x], columns[x + 1], columns[x + 2], columns[x + 3]};
            a4 = alpha[c[0]] | (alpha[c[1]] << 8) | (alpha[c[2]] << 16) | (std::uint32_t{alpha[c[3]]} << 24);
            if (a4 == 0) continue;
            auto bgr = [pixels](std::int32_t column) {
                const u8* p = pixels + 3 * column;
                return std::uint64_t{p[0]} | (std::uint64_t{p[1]} << 8) | (std::uint64_t{p[2]} << 16);
            };
            q0 = bgr(c[0]) | (bgr(c[1]) << 32);
            q1 = bgr(c[2]) | (bgr(c[3]) << 32);
        }
        const __m128i source = _mm_set_epi64x(static_cast<long long>(q1), static_cast<long long>(q0));
        const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
        if (a4 == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target),
                             _mm_or_si128(source, _mm_and_si128(dst, fourthBytes)));
            continue;
        }
        // Each pixel's alpha in its three colour lanes, 0 in the fourth.
        __m128i a = _mm_cvtsi32_si128(static_cast<int>(a4));
        a = _mm_unpacklo_epi8(a, a);
        a = _mm_unpacklo_epi8(a, a);
        auto blend = [&](__m128i s16, __m128i d16, __m128i a16) {
            a16 = _mm_and_si128(a16, colourLanes);
            const __m128i sum =
                _mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, _mm_sub_epi16(full, a16)));
            return _mm_srli_epi16(_mm_add_epi16(sum, full), 8);
        };
        const __m128i low =
            blend(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(dst, zero), _mm_unpacklo_epi8(a, zero));
        const __m128i high =
            blend(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(dst, zero), _mm_unpackhi_epi8(a, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_packus_epi16(low, high));
    }
#endif
    for (; x < width; ++x, target += 4) {
        const std::int32_t sx = columns[x];
        const unsigned a = alpha[sx];
        if (a == 0) continue;
        const u8* s = pixels + 3 * sx;
        if (a == 255) {
            target[0] = s[0];
            target[1] = s[1];
            target[2] = s[2];
        } else {
            target[0] = Blend(s[0], target[0], a);
            target[1] = Blend(s[1], target[1], a);
            target[2] = Blend(s[2], target[2], a);
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The blend of sixteen 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i BlendLanesAvx2(__m256i s16, __m256i d16, __m256i a16,
                                                              __m256i full) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_mullo_epi16(s16, a16), _mm256_mullo_epi16(d16, _mm256_sub_epi16(full, a16)));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, full), 8);
}

// The unscaled colour blend, eight pixels at a time, for processors with AVX2 (chosen once per
// draw). The same steps as the four-pixel loop above, in 256-bit registers.
__attribute__((target("avx2"))) void BlendColourRowAvx2(u8* target, const u8* pixels, const u8* alpha,
                                                        const std::int32_t* columns, std::int32_t width) {
    std::int32_t x = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i colourLanes = _mm256_set_epi16(0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1);
    const __m256i fourthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    auto expand = [](const u8* p, std::uint64_t& q0, std::uint64_t& q1) {
        std::uint64_t lo;
        std::uint32_t hi;
        std::memcpy(&lo, p, 8);
        std::memcpy(&hi, p + 8, 4);
        q0 = (lo & 0xFFFFFF) | (((lo >> 24) & 0xFFFFFF) << 32);
        q1 = (lo >> 48) | (std::uint64_t{hi & 0xFF} << 16) | (std::uint64_t{hi >> 8} << 32);
    };
    for (; x + 8 <= width; x += 8, target += 32) {
        std::uint64_t a8;
        std::memcpy(&a8, alpha + x, 8);
        if (a8 == 0) continue;
        std::uint64_t q0, q1, q2, q3;
        expand(pixels + 3 * x, q0, q1);
        expand(pixels + 3 * x + 12, q2, q3);
        const __m256i source = _mm256_set_epi64x(static_cast<long long>(q3), static_cast<long long>(q2),
                                                 static_cast<long long>(q1), static_cast<long long>(q0));
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target));
        if (a8 == ~std::uint64_t{0}) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target),
                                _mm256_or_si256(source, _mm256_and_si256(dst, fourthBytes)));
            continue;
        }
        const __m128i twice = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(a8)),
                                                _mm_cvtsi64_si128(static_cast<long long>(a8)));
        const __m256i a = _mm256_set_m128i(_mm_unpackhi_epi8(twice, twice), _mm_unpacklo_epi8(twice, twice));
        const __m256i low =
            BlendLanesAvx2(_mm256_unpacklo_epi8(source, zero), _mm256_unpacklo_epi8(dst, zero),
                           _mm256_and_si256(_mm256_unpacklo_epi8(a, zero), colourLanes), full);
        const __m256i high =
            BlendLanesAvx2(_mm256_unpackhi_epi8(source, zero), _mm256_unpackhi_epi8(dst, zero),
                           _mm256_and_si256(_mm256_unpackhi_epi8(a, zero), colourLanes), full);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), _mm256_packus_epi16(low, high));
    }
    BlendColourRow<true>(target, pixels + 3 * x, alpha + x, columns, width - x);
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Gray with alpha: the gray byte is the colour of all three channels.
void BlendGrayRow(u8* target, const u8* pixels, const u8* alpha, const std::int32_t* columns,
                  std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, target += 4) {
        const std::int32_t sx = columns[x];
        const unsigned a = alpha[sx];
        const unsigned g = pixels[sx];
        target[0] = Blend(g, target[0], a);
        target[1] = Blend(g, target[1], a);
        target[2] = Blend(g, target[2], a);
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
        target[0] = Blend(table.Colour[i][0], target[0], a);
        target[1] = Blend(table.Colour[i][1], target[1], a);
        target[2] = Blend(table.Colour[i][2], target[2], a);
    }
}

} // namespace

void NormalizeRect(TRect& rect) {
    if (rect.Right < rect.Left) std::swap(rect.Left, rect.Right);
    if (rect.Bottom < rect.Top) std::swap(rect.Top, rect.Bottom);
}

TPNGTransparencyKind TPNGObject::TransparencyKind() const {
    const TChunkIHDR& header = HeaderChunk();
    const auto* trns = static_cast<const TChunktRNS*>(Chunks().FindByClass(TChunktRNS::Class));
    switch (header.ColorType) {
    case 0:
    case 2: return trns != nullptr ? ptkKeyColor : ptkOpaque;
    case 3:
        if (trns == nullptr) return ptkOpaque;
        return trns->IsKeyColor ? ptkKeyColor : ptkAlpha;
    case 4:
    case 6: return ptkAlpha;
    default: return ptkOpaque;
    }
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
    HDC target = canvas.Handle();
    const auto* description = reinterpret_cast<const BITMAPINFO*>(&header.DibInfo());
    switch (TransparencyKind()) {
    case ptkKeyColor: DrawWithColorKey(target, header.PixelRows(), description, rect, KeyColor()); break;
    case ptkAlpha: DrawAlphaBlended(target, rect); break;
    case ptkOpaque:
        SetStretchBltMode(target, COLORONCOLOR);
        StretchDIBits(target, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, 0, 0,
                      static_cast<int>(header.Width), static_cast<int>(header.Height), header.PixelRows(),
                      description, DIB_RGB_COLORS, SRCCOPY);
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
    const int mx = w < 0 ? aw : 0; // a negative extent covers [origin + extent, origin)
    const int my = h < 0 ? ah : 0;

    HDC source = CreateCompatibleDC(target);
    HBITMAP sourceBitmap =
        CreateDIBitmap(target, &description->bmiHeader, CBM_INIT, rows, description, DIB_RGB_COLORS);
    HGDIOBJ oldSource = SelectObject(source, sourceBitmap);
    HDC back = CreateCompatibleDC(target);
    HDC mask = CreateCompatibleDC(target);
    HDC work = CreateCompatibleDC(target);
    HGDIOBJ oldBack = SelectObject(back, CreateBitmap(aw, ah, 1, 1, nullptr));
    HGDIOBJ oldMask = SelectObject(mask, CreateBitmap(aw, ah, 1, 1, nullptr));
    HGDIOBJ oldWork = SelectObject(work, CreateCompatibleBitmap(target, aw, ah));

    const COLORREF previousBack = SetBkColor(source, keyColor);
    StretchBlt(mask, mx, my, w, h, source, 0, 0, sw, sh, SRCCOPY); // 1 where the scaled image is the key
    SetBkColor(source, previousBack);
    BitBlt(back, 0, 0, aw, ah, mask, 0, 0, NOTSRCCOPY);             // 1 where the image is opaque
    BitBlt(work, 0, 0, aw, ah, target, left, top, SRCCOPY);         // what the target shows
    BitBlt(work, 0, 0, aw, ah, mask, 0, 0, SRCAND);                 // black where the image is opaque
    StretchBlt(source, 0, 0, sw, sh, back, mx, my, w, h, SRCAND);   // key pixels of the image black
    StretchBlt(work, mx, my, w, h, source, 0, 0, sw, sh, SRCPAINT); // opaque pixels fill the holes
    BitBlt(target, left, top, aw, ah, work, 0, 0, SRCCOPY);

    DeleteObject(SelectObject(back, oldBack));
    DeleteObject(SelectObject(mask, oldMask));
    DeleteObject(SelectObject(work, oldWork));
    DeleteObject(SelectObject(source, oldSource));
    DeleteDC(work);
    DeleteDC(back);
    DeleteDC(mask);
    DeleteDC(source);
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
    const bool gray = !colour && header.ColorType == 4;
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

    const std::vector<std::int32_t> columns = SourceIndices(w, scaled, ratioX);
    const std::vector<std::int32_t> rows = SourceIndices(h, scaled, ratioY);
    auto blendColour = scaled ? &BlendColourRow<false> : &BlendColourRow<true>;
#if defined(__x86_64__) && defined(__GNUC__)
    if (!scaled && HasAvx2()) blendColour = &BlendColourRowAvx2;
#endif
    // Blends rows 0 to h - 1 of the rectangle, row y of the target at base + y x step.
    auto blendInto = [&](u8* base, std::ptrdiff_t step) {
        for (std::int32_t y = 0; y < h; ++y) {
            u8* out = base + y * step;
            const std::int32_t sy = rows[std::size_t(y)];
            const u8* pixels = header.PixelRow(sy);
            if (colour)
                blendColour(out, pixels, header.AlphaRow(sy), columns.data(), w);
            else if (gray)
                BlendGrayRow(out, pixels, header.AlphaRow(sy), columns.data(), w);
            else if (palette && header.RowBits() == 8)
                BlendPaletteRow<8>(out, pixels, table, columns.data(), w);
            else if (palette && header.RowBits() == 4)
                BlendPaletteRow<4>(out, pixels, table, columns.data(), w);
            else if (palette)
                BlendPaletteRow<1>(out, pixels, table, columns.data(), w);
        }
    };

    // A 32-bit target that holds the whole rectangle inside its bitmap and clip is blended where it
    // stands: the same pixels as reading it back and writing it again, without the two copies.
    // Palette images keep the copy, so that a missing palette entry leaves the target untouched.
    DibView view;
    POINT origin{};
    RECT clip{};
    if (!palette && GetSelectedDib(target, view) && view.bitsPerPixel == 32 &&
        GetViewportOrgEx(target, &origin) && GetClipBox(target, &clip) == SIMPLEREGION &&
        r.Left >= clip.left && r.Top >= clip.top && r.Right <= clip.right && r.Bottom <= clip.bottom) {
        const std::int64_t left = std::int64_t{r.Left} + origin.x, top = std::int64_t{r.Top} + origin.y;
        if (left >= 0 && top >= 0 && left + w <= view.width && top + h <= view.height) {
            const std::int64_t row = view.topDown ? top : view.height - 1 - top;
            u8* base = view.bits + row * view.stride + left * 4;
            blendInto(base, view.topDown ? view.stride : -std::ptrdiff_t(view.stride));
            return;
        }
    }

    TCompositingSection section(w, h);
    BitBlt(section.DC(), 0, 0, w, h, target, r.Left, r.Top, SRCCOPY);
    blendInto(section.Bits(), std::ptrdiff_t(w) * 4);
    BitBlt(target, r.Left, r.Top, w, h, section.DC(), 0, 0, SRCCOPY);
}
