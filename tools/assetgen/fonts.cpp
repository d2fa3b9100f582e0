#include "fonts.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <strings.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace assetgen {

namespace {

std::string PatternString(FcPattern* pattern, const char* object, int n = 0) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, n, &value) != FcResultMatch || value == nullptr) return {};
    return reinterpret_cast<const char*>(value);
}

// Whether any of the matched font's family names is `family`.
bool HasFamily(FcPattern* pattern, const std::string& family) {
    for (int n = 0;; ++n) {
        const std::string name = PatternString(pattern, FC_FAMILY, n);
        if (name.empty()) return false;
        if (strcasecmp(name.c_str(), family.c_str()) == 0) return true;
    }
}

FontChoice Match(const std::string& family, const std::string& style) {
    FontChoice choice;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match != nullptr) {
        choice.path = PatternString(match, FC_FILE);
        FcPatternGetInteger(match, FC_INDEX, 0, &choice.index);
        choice.family = PatternString(match, FC_FAMILY);
        choice.preferred = HasFamily(match, family);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return choice;
}

} // namespace

FontChoice FindFont(const std::vector<std::string>& families, const std::string& style) {
    if (FcInit() == FcFalse) return {};
    for (const std::string& family : families) {
        FontChoice choice = Match(family, style);
        if (choice.preferred && !choice.path.empty()) {
            choice.preferred = family == families.front();
            return choice;
        }
    }
    FontChoice fallback = Match(families.front(), style);
    fallback.preferred = false;
    return fallback;
}

Fonts FindAssetFonts() {
    Fonts fonts{FindFont({"DejaVu Serif", "Liberation Serif", "Noto Serif", "serif"}, "Bold"),
                FindFont({"DejaVu Sans", "Tahoma", "Liberation Sans", "Roboto", "sans-serif"}, "Book")};
    // The choices hold copies of what they need; fontconfig's own state can go.
    FcFini();
    return fonts;
}

struct Font::Handles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Font::Font(const FontChoice& choice, int pixelSize) : handles_(std::make_unique<Handles>()) {
    if (FT_Init_FreeType(&handles_->library) != 0) throw std::runtime_error("FreeType does not start");
    if (FT_New_Face(handles_->library, choice.path.c_str(), choice.index, &handles_->face) != 0) {
        FT_Done_FreeType(handles_->library);
        throw std::runtime_error("cannot open the font " + choice.path);
    }
    FT_Set_Pixel_Sizes(handles_->face, 0, static_cast<FT_UInt>(pixelSize));
}

Font::~Font() {
    FT_Done_Face(handles_->face);
    FT_Done_FreeType(handles_->library);
}

TextMask Font::Smooth(const std::string& text) const {
    return Render(text, false);
}
TextMask Font::Mono(const std::string& text) const {
    return Render(text, true);
}

TextMask Font::Render(const std::string& text, bool mono) const {
    struct Placed {
        int left, top;
        Coverage glyph;
    };
    FT_Face face = handles_->face;
    const FT_Int32 flags = mono ? FT_LOAD_RENDER | FT_LOAD_TARGET_MONO : FT_LOAD_RENDER | FT_LOAD_NO_HINTING;
    std::vector<Placed> placed;
    long pen = 0; // 26.6 pixels
    FT_UInt previous = 0;
    for (const char c : text) {
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
        if (previous != 0 && index != 0 && FT_HAS_KERNING(face)) {
            FT_Vector kern{};
            FT_Get_Kerning(face, previous, index, mono ? FT_KERNING_DEFAULT : FT_KERNING_UNFITTED, &kern);
            pen += kern.x;
        }
        if (FT_Load_Glyph(face, index, flags) != 0) throw std::runtime_error("cannot render a glyph");
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Coverage glyph(static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows));
        for (int y = 0; y < glyph.height; ++y) {
            const unsigned char* row = bitmap.buffer + y * bitmap.pitch;
            for (int x = 0; x < glyph.width; ++x)
                glyph(x, y) = mono ? double((row[x / 8] >> (7 - x % 8)) & 1) : double(row[x]) / 255.0;
        }
        const int penPixels = static_cast<int>((pen + 32) >> 6);
        placed.push_back({penPixels + slot->bitmap_left, -slot->bitmap_top, std::move(glyph)});
        pen += mono ? slot->advance.x : (slot->linearHoriAdvance >> 10);
        previous = index;
    }

    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const Placed& p : placed) {
        if (p.glyph.width == 0 || p.glyph.height == 0) continue;
        left = std::min(left, p.left);
        top = std::min(top, p.top);
        right = std::max(right, p.left + p.glyph.width);
        bottom = std::max(bottom, p.top + p.glyph.height);
    }
    TextMask out;
    if (left > right) return out;
    out.ink = Coverage(right - left, bottom - top);
    out.originX = -left;
    out.baseline = -top;
    for (const Placed& p : placed)
        for (int y = 0; y < p.glyph.height; ++y)
            for (int x = 0; x < p.glyph.width; ++x) {
                double& a = out.ink(p.left - left + x, p.top - top + y);
                a = std::min(1.0, a + p.glyph.At(x, y));
            }
    return out;
}

} // namespace assetgen
