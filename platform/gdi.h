// Stand-in for the Windows graphics device interface: memory device contexts, device-independent
// bitmap sections, logical palettes. Pure memory work: no display is involved.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

// Device contexts. A memory device context starts with a 1 x 1 monochrome bitmap and the default
// palette selected, as on Windows.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// Selects a bitmap (or a brush, pen or font: see draw.h, lines.h, text.h) into a memory device
// context and returns the one it replaces (null on failure, for instance a bitmap already selected
// elsewhere). Palettes go through SelectPalette.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
// Fails (FALSE) while the object is selected into a device context, and for unknown handles.
BOOL DeleteObject(HGDIOBJ obj);

// Bitmap sections of 1, 4, 8, 24 or 32 bits per pixel, uncompressed, rows padded to 4 bytes,
// bottom-up for a positive height and top-down for a negative one. Pixel data is zero-filled.
// Returns null for anything else, for width or height 0, or when the pixel data would exceed 1 GiB. *bits
// receives the address of the pixel data (null on failure).
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Copies rows [start, start + lines) of a bitmap into bits in the format info describes (1, 4, 8,
// 24 or 32 bits per pixel, bottom-up or top-down by the sign of biHeight), converting pixels when
// the formats differ: indexed formats take the nearest entry of their table, true colour reaching 8
// bits matched at five bits per channel. For formats of 8 bits or fewer the colour table after
// info's header is filled: the bitmap's own at its own depth, otherwise black and white, the
// sixteen VGA colours, or the twenty static colours around a 3-3-2 cube. With bits null the header
// is filled in (the bitmap's own depth when biBitCount is 0, and then no colour table). Returns the
// number of rows copied, 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

// A bitmap: fills a BITMAP record (size at least sizeof(BITMAP)); a bitmap section given at least
// sizeof(DIBSECTION) fills a DIBSECTION instead, its biHeight positive whatever the row order, as
// Windows does. A palette: fills a WORD with its entry count; a font a LOGFONTA, a pen a LOGPEN.
// With buffer null returns the size needed (sizeof(BITMAP) for any bitmap). Returns the bytes
// written, 0 on failure.
int GetObjectA(HGDIOBJ obj, int size, void* buffer);

// The object of a kind selected into a device context; null for other kinds or unknown contexts.
constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_PAL = 5;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);

// Drawing here is never batched, so there is nothing to flush before touching section memory.
inline BOOL GdiFlush() {
    return TRUE;
}

// Replaces count entries of the colour table of the bitmap section selected into hdc, from start;
// returns how many were set (0 when none is selected or it has no colour table).
UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colours);

// Palettes.
HPALETTE CreatePalette(const LOGPALETTE* palette);
// The 256-entry halftone palette: the twenty static system colours, a 6 x 6 x 6 colour cube and
// a ramp of grays. Its entries are not documented; this layout is kept although Wine hands out
// GetDIBits' 256-colour table here instead.
HPALETTE CreateHalftonePalette(HDC hdc);
BOOL ResizePalette(HPALETTE palette, UINT entries);
// With entries null or count 0 returns the palette's entry count; otherwise copies up to count
// entries from start and returns how many were copied.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries);
// Index of the closest entry (least squared distance; the first on ties); CLR_INVALID on failure.
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF colour);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground);
// A memory device context has no hardware palette: no entry is mapped, so the result is 0 (GDI_ERROR
// for an unknown context).
UINT RealizePalette(HDC hdc);
// The stock object number of the default palette (GetStockObject, draw.h).
constexpr int DEFAULT_PALETTE = 15;
// The default palette that a new device context holds (the twenty static colours); never deleted.
HPALETTE GetStockPalette();

constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

#endif // _WIN32

// Live device contexts, bitmaps, palettes, brushes, pens and fonts (stock objects not counted). Not a Windows
// call: tests use it to show that nothing is left behind.
std::size_t GdiObjectCount();

// Whether the program runs under Wine, whose object count (GetGuiResources) always answers 0, so
// that leak checks know they cannot count there. Not a Windows call.
#ifdef _WIN32
bool RunningUnderWine();
#else
inline bool RunningUnderWine() {
    return false;
}
#endif

#ifndef _WIN32

// Platform-internal views used by other stand-ins (block transfers, text); not Windows calls.
struct DibView {
    int width = 0;
    int height = 0;       // always positive
    int bitsPerPixel = 0; // 1, 4, 8, 24 or 32
    int stride = 0;       // bytes per row
    bool topDown = false; // row 0 at the lowest address when true
    BYTE* bits = nullptr;
    const RGBQUAD* colours = nullptr; // colour table (1 << bitsPerPixel entries) for <= 8 bits
};
// The bitmap currently selected into a device context; false when none or not a known context.
bool GetSelectedDib(HDC hdc, DibView& view);
bool GetDibView(HBITMAP bitmap, DibView& view);

#endif // _WIN32
