// Stand-in for the Windows font and text calls. Fonts are registry objects like brushes; the
// glyphs behind them come from text_fonts.cpp. Text is laid out on whole-pixel advances from the
// top-left of its cell and blended onto the bitmap by a routine chosen once per pixel format.
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "platform/draw_internal.h"
#include "platform/faults.h"
#include "platform/gdi_internal.h"
#include "platform/text_internal.h"

namespace {

using draw_internal::Area;
using draw_internal::Locked;
using draw_internal::Plane;
using draw_internal::Visible;
using gdi_internal::Font;
using gdi_internal::MemoryDC;
using gdi_internal::Objects;
using gdi_internal::Registry;
using text_internal::Glyph;
using text_internal::Metrics;
using text_internal::RealizedFont;

Area Intersect(const Area& a, const Area& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool Empty(const Area& area) {
    return area.left >= area.right || area.top >= area.bottom;
}

RealizedFont* RealizedOf(Font& font) {
    if (!font.realized) font.realized = text_internal::Realize(font.description);
    return font.realized;
}

// The colour in the byte order of the pixels: blue, green, red.
struct Colour {
    BYTE blue;
    BYTE green;
    BYTE red;
};

Colour Split(COLORREF colour) {
    return {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
}

BYTE* PixelAt(const Plane& plane, std::int64_t x, std::int64_t y, int bytes) {
    return plane.top + static_cast<std::ptrdiff_t>(y) * plane.step + static_cast<std::ptrdiff_t>(x) * bytes;
}

// dst + (colour - dst) * coverage / 255, rounded.
inline BYTE Mix(BYTE dst, BYTE colour, unsigned coverage) {
    return static_cast<BYTE>((dst * (255u - coverage) + colour * coverage + 127u) / 255u);
}

// The pixel routines of one format: Bytes is 3 or 4; the fourth byte of 32-bit pixels is kept.
template <int Bytes>
struct Pixels {
    static void Fill(const Plane& plane, const Area& area, Colour colour) {
        if (Empty(area)) return;
        for (std::int64_t y = area.top; y < area.bottom; ++y) {
            BYTE* p = PixelAt(plane, area.left, y, Bytes);
            for (std::int64_t x = area.left; x < area.right; ++x, p += Bytes) {
                p[0] = colour.blue;
                p[1] = colour.green;
                p[2] = colour.red;
            }
        }
    }

    // The glyph's coverage at device (x, y), its top-left pixel, within clip.
    static void Blend(const Plane& plane, const Area& clip, std::int64_t x, std::int64_t y,
                      const Glyph& glyph, Colour colour) {
        const Area area = Intersect(clip, {x, y, x + glyph.width, y + glyph.rows});
        if (Empty(area)) return;
        for (std::int64_t row = area.top; row < area.bottom; ++row) {
            BYTE* p = PixelAt(plane, area.left, row, Bytes);
            const BYTE* coverage = glyph.coverage.data() + (row - y) * glyph.width + (area.left - x);
            for (std::int64_t column = area.left; column < area.right; ++column, p += Bytes) {
                const unsigned a = *coverage++;
                if (a == 0) continue;
                if (a == 255) {
                    p[0] = colour.blue;
                    p[1] = colour.green;
                    p[2] = colour.red;
                } else {
                    p[0] = Mix(p[0], colour.blue, a);
                    p[1] = Mix(p[1], colour.green, a);
                    p[2] = Mix(p[2], colour.red, a);
                }
            }
        }
    }
};

struct Painter {
    void (*fill)(const Plane&, const Area&, Colour) = nullptr;
    void (*blend)(const Plane&, const Area&, std::int64_t, std::int64_t, const Glyph&, Colour) = nullptr;
};

// The routines for a pixel format; empty for formats text cannot be drawn on.
Painter PainterFor(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 24: return {&Pixels<3>::Fill, &Pixels<3>::Blend};
    case 32: return {&Pixels<4>::Fill, &Pixels<4>::Blend};
    default: return {};
    }
}

// The width of the characters on whole-pixel advances (dx, when given, overrides them).
std::int64_t Advance(RealizedFont& font, const char* text, std::size_t count, const INT* dx) {
    std::int64_t width = 0;
    for (std::size_t i = 0; i < count; ++i)
        width += dx ? dx[i] : text_internal::GlyphFor(font, static_cast<BYTE>(text[i])).advance;
    return width;
}

// The font selected into a context, realised; null for an unknown context or no usable font.
RealizedFont* SelectedFont(Registry& objects, HDC hdc, const MemoryDC** dc) {
    MemoryDC* found = objects.FindDC(hdc);
    if (!found) return nullptr;
    if (dc) *dc = found;
    return RealizedOf(*found->font);
}

} // namespace

HFONT CreateFontIndirectA(const LOGFONTA* description) {
    if (faults::ShouldFail() || !description) return nullptr;
    try {
        auto font = std::make_unique<Font>();
        font->description = *description;
        font->description.lfFaceName[LF_FACESIZE - 1] = '\0';
        return Locked([&](Registry& objects) { return gdi_internal::Adopt(objects.fonts, std::move(font)); });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return Locked([&](Registry& objects) {
        MemoryDC* dc = objects.FindDC(hdc);
        return dc ? std::exchange(dc->backgroundMode, mode) : 0;
    });
}

int GetBkMode(HDC hdc) {
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = objects.FindDC(hdc);
        return dc ? dc->backgroundMode : 0;
    });
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
    if (!size || count < 0 || (count > 0 && !text)) return FALSE;
    return Locked([&](Registry& objects) {
        RealizedFont* font = SelectedFont(objects, hdc, nullptr);
        if (!font) return FALSE;
        if (count == 0) {
            *size = {0, 0};
            return TRUE;
        }
        const std::int64_t width = Advance(*font, text, static_cast<std::size_t>(count), nullptr);
        *size = {static_cast<LONG>(std::min<std::int64_t>(width, INT32_MAX)),
                 text_internal::MetricsOf(*font).height};
        return TRUE;
    });
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics) {
    if (!metrics) return FALSE;
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = nullptr;
        RealizedFont* font = SelectedFont(objects, hdc, &dc);
        if (!font) return FALSE;
        const Metrics& m = text_internal::MetricsOf(*font);
        const LOGFONTA& description = dc->font->description;
        TEXTMETRICA out{};
        out.tmHeight = m.height;
        out.tmAscent = m.ascent;
        out.tmDescent = m.descent;
        out.tmInternalLeading = m.internalLeading;
        out.tmExternalLeading = m.externalLeading;
        out.tmAveCharWidth = m.aveCharWidth;
        out.tmMaxCharWidth = m.maxCharWidth;
        out.tmWeight = description.lfWeight >= FW_SEMIBOLD ? FW_BOLD : FW_NORMAL;
        out.tmDigitizedAspectX = 96;
        out.tmDigitizedAspectY = 96;
        out.tmFirstChar = 0x20;
        out.tmLastChar = 0xFF;
        out.tmDefaultChar = 0x1F;
        out.tmBreakChar = 0x20;
        out.tmItalic = description.lfItalic ? 255 : 0;
        out.tmUnderlined = description.lfUnderline ? 255 : 0;
        out.tmStruckOut = description.lfStrikeOut ? 255 : 0;
        out.tmPitchAndFamily = 0x07; // variable pitch, vector, TrueType
        out.tmCharSet = ANSI_CHARSET;
        *metrics = out;
        return TRUE;
    });
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const INT* dx) {
    if (count > 0 && !text) return FALSE;
    return Locked([&](Registry& objects) {
        const MemoryDC* dc = nullptr;
        RealizedFont* font = SelectedFont(objects, hdc, &dc);
        if (!font) return FALSE;
        const Plane plane = draw_internal::PlaneOf(*dc->bitmap);
        const Painter painter = PainterFor(plane.bitsPerPixel);
        if (!painter.fill) return FALSE;

        const Metrics& metrics = text_internal::MetricsOf(*font);
        const std::int64_t left = std::int64_t{x} + dc->origin.x;
        const std::int64_t top = std::int64_t{y} + dc->origin.y;
        const Area visible = Visible(*dc);
        Area clip = visible;
        if (rect) {
            const Area given{std::int64_t{rect->left} + dc->origin.x, std::int64_t{rect->top} + dc->origin.y,
                             std::int64_t{rect->right} + dc->origin.x,
                             std::int64_t{rect->bottom} + dc->origin.y};
            if (options & ETO_CLIPPED) clip = Intersect(clip, given);
            if (options & ETO_OPAQUE) painter.fill(plane, Intersect(visible, given), Split(dc->background));
        }
        const std::int64_t width = Advance(*font, text, count, dx);
        if (dc->backgroundMode == OPAQUE && count > 0)
            painter.fill(plane, Intersect(clip, {left, top, left + width, top + metrics.height}),
                         Split(dc->background));

        const Colour colour = Split(dc->text);
        const std::int64_t baseline = top + metrics.ascent;
        std::int64_t pen = left;
        for (UINT i = 0; i < count; ++i) {
            const Glyph& glyph = text_internal::GlyphFor(*font, static_cast<BYTE>(text[i]));
            if (!glyph.coverage.empty())
                painter.blend(plane, clip, pen + glyph.left, baseline - glyph.top, glyph, colour);
            pen += dx ? dx[i] : glyph.advance;
        }
        const LOGFONTA& description = dc->font->description;
        // Underline and strike-out: a bar of the font's thickness at its offset from the baseline.
        const auto bar = [&](int offset, int thickness) {
            const std::int64_t line = baseline + offset;
            painter.fill(plane, Intersect(clip, {left, line, left + width, line + thickness}), colour);
        };
        if (description.lfUnderline && count > 0) bar(metrics.underlineOffset, metrics.underlineThickness);
        if (description.lfStrikeOut && count > 0) bar(metrics.strikeOutOffset, metrics.strikeOutThickness);
        return TRUE;
    });
}
