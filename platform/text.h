// Stand-in for the Windows font and text calls: logical fonts, text extents and metrics, and text
// output with grey-scale anti-aliasing onto 24- and 32-bit bitmaps selected into memory contexts.
// Glyphs come from outline fonts found on the system; how is the platform's own business.
#pragma once

#include <string>

#include "platform/wintypes.h"

#ifndef _WIN32

constexpr int LF_FACESIZE = 32;

// A logical font. Heights: negative is the character (em) height in pixels, positive the cell
// height (ascent plus descent), 0 a cell height of 16. A width of 0 keeps the font's proportions;
// otherwise it is the average character width wanted. Weights of FW_SEMIBOLD and above are bold.
// Escapement, orientation, charset and the precision and quality fields are kept but change
// nothing: text runs left to right, always anti-aliased, in Windows-1252.
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight; // ascent + descent
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading; // tmHeight minus the em height
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;

constexpr BYTE DEFAULT_QUALITY = 0;

// Background modes: TRANSPARENT leaves the pixels behind the text alone, OPAQUE (the default)
// fills the text cell with the background colour first.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// The stock font beyond the brushes of draw.h and the palette of gdi.h: the default GUI font
// (Tahoma, -11, normal) is selected into every new context; stock objects are never deleted.
constexpr int DEFAULT_GUI_FONT = 17;

// Fails (null) for a null record. SelectObject, DeleteObject and GetObjectA (a LOGFONTA) take the
// font as any other object.
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Returns the previous mode; 0 for an unknown context or mode.
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);

// The width of count characters in the selected font and the cell height; both 0 for no
// characters. FALSE for an unknown context, a negative count or no usable font.
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);

// Draws count characters with the cell's top-left corner at the logical point (x, y), in the text
// colour, through the viewport origin and clip rectangle. ETO_CLIPPED also clips to rect;
// ETO_OPAQUE fills rect with the background colour first. In OPAQUE mode the text cell is filled
// with the background colour too. dx, when given, holds the advance of each character. Works on
// 24- and 32-bit bitmaps; FALSE for other formats, an unknown context or no usable font.
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const INT* dx);

// Not a Windows call: the font file the platform draws a face with (the closest installed match
// when the face itself is missing), so that a host can load the same file into its own font
// database. Empty when no font is installed at all.
std::string FontFileFor(const char* faceName, bool bold, bool italic);

#endif // _WIN32
