// Fonts behind the text stand-in: finding a font file for a face name, opening it with FreeType,
// realising logical fonts at a pixel size with Windows-style cell metrics, and rendering glyphs
// into grey-scale coverage. Everything is cached for the life of the program behind one lock and
// released at exit, so repeated text costs neither file access nor rendering.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>

#include "platform/text.h"
#include "platform/text_internal.h"

namespace text_internal {

class RealizedFont {
public:
    RealizedFont(FT_Face openFace, FT_Size ownSize) : face(openFace), size(ownSize) {}
    RealizedFont(const RealizedFont&) = delete;
    RealizedFont& operator=(const RealizedFont&) = delete;
    // The size goes with its face, which the cache closes after every realised font is gone.
    ~RealizedFont() { FT_Done_Size(size); }

    FT_Face face;
    FT_Size size;
    bool embolden = false; // bold asked of a face that is not bold itself
    bool slant = false;    // italic asked of a face that is not italic itself
    Metrics metrics;
    std::array<std::unique_ptr<Glyph>, 256> glyphs;
};

} // namespace text_internal

namespace {

using text_internal::Glyph;
using text_internal::Metrics;
using text_internal::RealizedFont;

// Where the Tahoma of the Wine font package lives: the Debian path first, then Wine's own.
constexpr std::array<const char*, 2> kTahomaFolders = {"/usr/share/fonts/truetype/wine/",
                                                       "/usr/share/wine/fonts/"};

struct Location {
    std::string file;
    int index = 0;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int Round(double value) {
    return static_cast<int>(std::lround(value));
}

// Windows-1252 characters 0x80-0x9F as Unicode; the five unassigned ones map to themselves.
constexpr std::array<unsigned, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned Unicode(BYTE character) {
    return character >= 0x80 && character <= 0x9F ? kCp1252High[character - 0x80] : character;
}

// The one owner of the font library and everything made with it.
class FontCache {
public:
    FontCache() = default;
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;
    ~FontCache() {
        realized_.clear(); // their sizes before their faces
        for (const auto& face : faces_)
            if (face.second) FT_Done_Face(face.second);
        if (library_) FT_Done_FreeType(library_);
        if (config_) FcConfigDestroy(config_);
    }

    std::mutex mutex;

    // The file for a face name; the result is remembered, misses included.
    const Location& Find(const std::string& faceName, bool bold, bool italic) {
        const auto key = std::make_tuple(Lower(faceName), bold, italic);
        const auto found = locations_.find(key);
        if (found != locations_.end()) return found->second;
        return locations_.emplace(key, Search(std::get<0>(key), faceName, bold, italic)).first->second;
    }

    RealizedFont* Realize(const LOGFONTA& description) {
        const std::string name = FaceName(description);
        const bool bold = description.lfWeight >= FW_SEMIBOLD;
        const bool italic = description.lfItalic != 0;
        const auto key =
            std::make_tuple(Lower(name), bold, italic, description.lfHeight, description.lfWidth);
        const auto found = realized_.find(key);
        if (found != realized_.end()) return found->second.get();
        std::unique_ptr<RealizedFont> font;
        const Location& location = Find(name, bold, italic);
        if (FT_Face face = location.file.empty() ? nullptr : Open(location))
            font = Make(face, description, bold, italic);
        return realized_.emplace(key, std::move(font)).first->second.get();
    }

    const Glyph& Render(RealizedFont& font, BYTE character) {
        std::unique_ptr<Glyph>& slot = font.glyphs[character];
        if (slot) return *slot;
        auto glyph = std::make_unique<Glyph>();
        FT_Activate_Size(font.size);
        const FT_UInt index = FT_Get_Char_Index(font.face, Unicode(character));
        // Outlines only (embedded bitmaps would be monochrome). Hinted in both directions as for
        // monochrome output, so stems sit on whole pixels, then rendered in grey: crisp small text
        // with smooth curves, as Windows draws grey-scale text.
        if (FT_Load_Glyph(font.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot loaded = font.face->glyph;
            glyph->advance = static_cast<int>((loaded->advance.x + 32) >> 6);
            if (loaded->format == FT_GLYPH_FORMAT_OUTLINE) {
                if (font.slant) {
                    const FT_Matrix shear{0x10000, 0x366A, 0, 0x10000}; // about 12 degrees
                    FT_Outline_Transform(&loaded->outline, &shear);
                }
                if (font.embolden) {
                    FT_Outline_EmboldenXY(&loaded->outline, 64, 0);
                    glyph->advance += 1;
                }
            }
            if (FT_Render_Glyph(loaded, FT_RENDER_MODE_NORMAL) == 0) Copy(loaded, *glyph);
        }
        slot = std::move(glyph);
        return *slot;
    }

private:
    using RealizedKey = std::tuple<std::string, bool, bool, LONG, LONG>;

    static std::string FaceName(const LOGFONTA& description) {
        const std::size_t length = static_cast<std::size_t>(
            std::find(description.lfFaceName, description.lfFaceName + LF_FACESIZE, '\0') -
            description.lfFaceName);
        std::string name(description.lfFaceName, length);
        return name.empty() ? std::string("Tahoma") : name; // no name: the default GUI face
    }

    Location Search(const std::string& lowerName, const std::string& name, bool bold, bool italic) {
        if (lowerName == "tahoma") {
            for (const char* folder : kTahomaFolders) {
                std::string file = std::string(folder) + (bold ? "tahomabd.ttf" : "tahoma.ttf");
                std::error_code error;
                if (std::filesystem::is_regular_file(file, error)) return {std::move(file), 0};
            }
        }
        if (!config_) config_ = FcInitLoadConfigAndFonts();
        if (!config_) return {};
        Location location;
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return {};
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config_, pattern, &result)) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                location.file = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) location.index = index;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        return location;
    }

    // The face of a file, opened once; null (remembered) when it cannot be read or has no outlines.
    FT_Face Open(const Location& location) {
        const auto key = std::make_pair(location.file, location.index);
        const auto found = faces_.find(key);
        if (found != faces_.end()) return found->second;
        FT_Face face = nullptr;
        if (!library_ && FT_Init_FreeType(&library_) != 0) library_ = nullptr;
        if (library_ && FT_New_Face(library_, location.file.c_str(), location.index, &face) != 0)
            face = nullptr;
        if (face && (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)) {
            FT_Done_Face(face);
            face = nullptr;
        }
        faces_.emplace(key, face);
        return face;
    }

    // Sizes the face the way Windows sizes a logical font: ascent and descent from the OS/2 table's
    // Windows values, the em height from lfHeight (or the cell height from a positive one).
    static std::unique_ptr<RealizedFont> Make(FT_Face face, const LOGFONTA& description, bool bold,
                                              bool italic) {
        FT_Size size = nullptr;
        if (FT_New_Size(face, &size) != 0) return nullptr;
        auto font = std::make_unique<RealizedFont>(face, size);
        FT_Activate_Size(size);
        const double unitsPerEm = face->units_per_EM;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
        double winAscent = face->ascender;
        double winDescent = -face->descender;
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
        if (winAscent + winDescent <= 0) winAscent = unitsPerEm; // a broken font: em-high cells

        Metrics& m = font->metrics;
        int ppem = 0;
        if (description.lfHeight < 0) {
            ppem = -description.lfHeight;
            m.ascent = Round(winAscent * ppem / unitsPerEm);
            m.descent = Round(winDescent * ppem / unitsPerEm);
        } else {
            const int cell = description.lfHeight == 0 ? 16 : description.lfHeight;
            const double scale = cell / (winAscent + winDescent);
            m.ascent = Round(winAscent * scale);
            m.descent = cell - m.ascent;
            ppem = std::max(1, Round(unitsPerEm * scale));
        }
        m.height = m.ascent + m.descent;
        m.internalLeading = m.height - ppem;
        const double yScale = ppem / unitsPerEm;
        if (hhea) {
            const double gap =
                hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
            m.externalLeading = std::max(0, Round(gap * yScale));
        }

        const double average =
            os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : unitsPerEm / 2;
        int xppem = ppem;
        if (description.lfWidth != 0)
            xppem = std::max(1, Round(std::abs(description.lfWidth) * unitsPerEm / average));
        if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xppem), static_cast<FT_UInt>(ppem)) != 0)
            return nullptr;
        const double xScale = xppem / unitsPerEm;
        font->embolden = bold && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
        font->slant = italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
        const int extra = font->embolden ? 1 : 0;
        m.aveCharWidth = Round(average * xScale) + extra;
        m.maxCharWidth = Round(face->max_advance_width * xScale) + extra;

        // Underline just below the baseline, kept inside the descent; strike-out across the middle
        // of the lower-case letters.
        m.underlineThickness = std::max(1, Round(face->underline_thickness * yScale));
        m.underlineOffset = std::max(1, Round(-face->underline_position * yScale));
        if (m.underlineOffset + m.underlineThickness > m.descent)
            m.underlineOffset = std::max(1, m.descent - m.underlineThickness);
        if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
            m.strikeOutThickness = std::max(1, Round(os2->yStrikeoutSize * yScale));
            m.strikeOutOffset = -Round(os2->yStrikeoutPosition * yScale);
        } else {
            m.strikeOutThickness = m.underlineThickness;
            m.strikeOutOffset = -Round(ppem * 0.3);
        }
        return font;
    }

    // Rows of the rendered bitmap as one byte of coverage per pixel.
    static void Copy(FT_GlyphSlot slot, Glyph& glyph) {
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.width == 0 || bitmap.rows == 0) return;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.rows));
        const bool grey = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
        const int levels = grey ? bitmap.num_grays - 1 : 1;
        for (int y = 0; y < glyph.rows; ++y) {
            // A negative pitch means the rows run upwards from the end of the buffer.
            const unsigned char* row =
                bitmap.pitch >= 0
                    ? bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch
                    : bitmap.buffer + static_cast<std::ptrdiff_t>(glyph.rows - 1 - y) * -bitmap.pitch;
            BYTE* out =
                glyph.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph.width);
            for (int x = 0; x < glyph.width; ++x) {
                const int value = grey ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1;
                out[x] = static_cast<BYTE>(levels == 255 ? value : value * 255 / std::max(1, levels));
            }
        }
    }

    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
    std::map<std::tuple<std::string, bool, bool>, Location> locations_;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
    std::map<RealizedKey, std::unique_ptr<RealizedFont>> realized_;
};

FontCache& Cache() {
    static FontCache cache;
    return cache;
}

} // namespace

namespace text_internal {

RealizedFont* Realize(const LOGFONTA& description) {
    FontCache& cache = Cache();
    const std::lock_guard lock(cache.mutex);
    try {
        return cache.Realize(description);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const Metrics& MetricsOf(const RealizedFont& font) {
    return font.metrics; // fixed once made: no lock needed
}

const Glyph& GlyphFor(RealizedFont& font, BYTE character) {
    FontCache& cache = Cache();
    const std::lock_guard lock(cache.mutex);
    try {
        return cache.Render(font, character);
    } catch (const std::bad_alloc&) {
        static const Glyph nothing; // out of memory: the character draws nothing and takes no room
        return nothing;
    }
}

} // namespace text_internal

std::string FontFileFor(const char* faceName, bool bold, bool italic) {
    FontCache& cache = Cache();
    const std::lock_guard lock(cache.mutex);
    const std::string name = faceName && *faceName ? faceName : "Tahoma";
    return cache.Find(name, bold, italic).file;
}
