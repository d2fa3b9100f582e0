// A font for canvases and controls: face name, height, colour and styles. The platform font is
// made on first use and made again after any of its properties changed; the font owns it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/text.h"
#include "toolkit/core/types.h"

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles.
class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
        for (const TFontStyle style : styles)
            FBits = static_cast<std::uint8_t>(FBits | Bit(style));
    }

    constexpr bool Contains(TFontStyle style) const { return (FBits & Bit(style)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TFontStyles& Include(TFontStyle style) {
        FBits = static_cast<std::uint8_t>(FBits | Bit(style));
        return *this;
    }
    constexpr TFontStyles& Exclude(TFontStyle style) {
        FBits = static_cast<std::uint8_t>(FBits & ~Bit(style));
        return *this;
    }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

private:
    static constexpr std::uint8_t Bit(TFontStyle style) { return static_cast<std::uint8_t>(1u << style); }
    std::uint8_t FBits = 0;
};

class TFont {
public:
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    ~TFont();

    std::string Name = "Tahoma";
    // Negative: the character height in pixels; positive: the cell height (see LOGFONTA).
    std::int32_t Height = -11;
    TColor Color = clWindowText;
    TFontStyles Style;
    std::uint8_t Charset = DEFAULT_CHARSET;

    // The height in points at the screen's 96 pixels per inch; setting it sets a negative Height.
    std::int32_t Size() const;
    void SetSize(std::int32_t points);

    // Takes every property of source; the handle follows on next use.
    void Assign(const TFont& source);

    // The platform font for the current properties; null when it cannot be made.
    HFONT Handle();

private:
    LOGFONTA Describe() const;

    HFONT FHandle = nullptr;
    LOGFONTA FMadeFrom{}; // what FHandle was made from
};
