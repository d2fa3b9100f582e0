// Finding the fonts by family name through fontconfig, and turning text into coverage masks
// with FreeType.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "raster.h"

namespace assetgen {

struct FontChoice {
    std::string path;
    int index = 0;
    std::string family;
    // False when fontconfig had to fall back from the first family asked for: the assets then
    // differ from the committed ones.
    bool preferred = false;
};

// The best match for the first of `families` that is installed with `style`; otherwise
// fontconfig's own substitute for the first. Empty path when nothing at all matches.
FontChoice FindFont(const std::vector<std::string>& families, const std::string& style);

// Rendered text: its ink box, and where the pen started on the baseline within it.
struct TextMask {
    Coverage ink;
    int originX = 0;
    int baseline = 0;
};

class Font {
public:
    Font(const FontChoice& choice, int pixelSize);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Anti-aliased and unhinted, for large display text.
    TextMask Smooth(const std::string& text) const;
    // Hinted one-bit glyphs: every pixel is 0 or 1.
    TextMask Mono(const std::string& text) const;

private:
    TextMask Render(const std::string& text, bool mono) const;

    struct Handles;
    std::unique_ptr<Handles> handles_;
};

// The fonts the assets are drawn with.
struct Fonts {
    FontChoice title; // large serif for the title and the emblem's letter
    FontChoice small; // the credit line
    bool AllPreferred() const { return title.preferred && small.preferred; }
};

Fonts FindAssetFonts();

} // namespace assetgen
