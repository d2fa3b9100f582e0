// Private to the text stand-in: fonts realised at a pixel size, with their metrics and a cache of
// rendered glyphs. The font library behind them stays inside text_fonts.cpp.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/wintypes.h"

namespace text_internal {

// One character's coverage (0 transparent .. 255 full), width bytes per row, placed relative to
// the pen position on the baseline: left columns to the right, top rows up.
struct Glyph {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<BYTE> coverage;
};

// Cell metrics in whole pixels, as TEXTMETRICA reports them, plus the lines drawn for underline
// and strike-out (offsets from the baseline, positive downwards).
struct Metrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int underlineOffset = 0;
    int underlineThickness = 1;
    int strikeOutOffset = 0;
    int strikeOutThickness = 1;
};

// A logical font bound to a font file at a pixel size. Made once per distinct description and
// kept until the program ends, so pointers to it and to its glyphs stay valid.
class RealizedFont;

const Metrics& MetricsOf(const RealizedFont& font);
// The glyph of a Windows-1252 character, rendered on first use.
const Glyph& GlyphFor(RealizedFont& font, BYTE character);

// The realised form of a description; null when no font file can be found or read.
RealizedFont* Realize(const LOGFONTA& description);

} // namespace text_internal
