// Stand-in for the Windows drawing calls: device-dependent bitmaps, colours of a device context,
// block transfers with raster operations and nearest-neighbour stretching, brushes and rectangles,
// the viewport origin and clip rectangle. The clipboard and the system colours have headers of their
// own, included here for the callers that reach them through this one.
#pragma once

#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/syscolors.h"
#include "platform/wintypes.h"

#ifndef _WIN32

// Raster operations of block transfers.
constexpr DWORD SRCCOPY = 0x00CC0020;     // source
constexpr DWORD SRCPAINT = 0x00EE0086;    // destination OR source
constexpr DWORD SRCAND = 0x008800C6;      // destination AND source
constexpr DWORD SRCINVERT = 0x00660046;   // destination XOR source
constexpr DWORD SRCERASE = 0x00440328;    // source AND NOT destination
constexpr DWORD NOTSRCCOPY = 0x00330008;  // NOT source
constexpr DWORD NOTSRCERASE = 0x001100A6; // NOT (destination OR source)
constexpr DWORD MERGEPAINT = 0x00BB0226;  // destination OR NOT source
constexpr DWORD DSTINVERT = 0x00550009;   // NOT destination
constexpr DWORD PATCOPY = 0x00F00021;     // the selected brush
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

constexpr DWORD CBM_INIT = 4;
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;

constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int ERROR_REGION = 0;

// Bitmaps. A compatible bitmap has the screen's format: 32 bits per pixel, blue, green, red,
// unused; a new one is black. CreateBitmap makes monochrome bitmaps (1 plane, 1 bit per pixel,
// word-aligned rows when bits are given; colour table black, white; a new one is all 0) and 32-bit
// ones; bits may be null. A zero width or height gives a 1 x 1 monochrome bitmap, as on Windows.
// GetObjectA reports these device-dependent bitmaps with bmBits null and word-aligned bmWidthBytes.
// Pixel memory above 1 GiB is refused (null), as for bitmap sections.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A compatible bitmap of the header's size; with CBM_INIT its pixels are the device-independent
// rows bits described by info (colour table read as RGB values).
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// A new compatible (32-bit) bitmap with the same size and pixels (cx, cy 0: the same size; other
// sizes are stretched as StretchBlt does). Monochrome bitmaps become 32-bit black and white ones.
// Flags are ignored.
HANDLE CopyImage(HANDLE image, UINT type, int cx, int cy, UINT flags);

// Colours of a device context: white background and black text at first. Each setter returns the
// previous value (CLR_INVALID for an unknown context).
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF GetBkColor(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF colour);
COLORREF GetTextColor(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode); // returns the previous mode (BLACKONWHITE at first)
int GetStretchBltMode(HDC hdc);

// Block transfers between the bitmaps selected into two contexts (the source may be null for
// operations that do not read it). Coordinates are logical: the viewport origin of each context is
// added, and the destination is clipped to its bitmap and to its clip rectangle. Monochrome here
// means a monochrome device bitmap (CreateBitmap with 1 bit, or the bitmap a new memory context
// holds); 1-bit bitmap sections are ordinary indexed bitmaps. Onto monochrome: source pixels equal to the
// source context's background colour (for indexed sources: to the index of its nearest entry) become 1,
// others 0. Monochrome onto other bitmaps: 1 becomes the destination context's background colour, 0 its text
// colour; monochrome to monochrome copies bits. Other colours reaching 1, 4 or 8 bits per pixel become the
// nearest colour-table entry; true colour reaching 8 bits is matched at 5 bits per channel (each channel
// taken as (c & ~7) + 4), as Windows does. Raster operations work on the destination's whole pixel
// values (indices for 8 bits or fewer, all 32 bits of 32-bit pixels, whose fourth byte sources of
// other formats bring as 0); BLACKNESS clears every bit and WHITENESS sets every bit, whatever
// the colour table holds. Destination pixels whose source falls outside the source bitmap are left
// unchanged.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
// Scales the source rectangle to the destination rectangle by dropping or repeating whole rows and
// columns (StretchSourceIndex); a negative width or height on one side mirrors that axis. In a
// transfer that mirrors or scales either axis every negative extent covers origin + extent + 1 ..
// origin (the pixels counted from origin backwards); in a plain copy a negative extent covers
// origin + extent .. origin - 1 (the rectangle with its corners swapped), as on Windows (Wine takes
// the first rule for both). When shrinking, the destination context's stretch mode decides:
// COLORONCOLOR and HALFTONE keep one source pixel per destination pixel, BLACKONWHITE ANDs and WHITEONBLACK
// ORs together the group of source pixels each destination pixel stands for (after their conversion to the
// destination's format). Shrinking to a one-pixel-wide destination takes the last source column (Wine takes
// the one before it; what Windows does is not known).
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
// Device-independent rows (1, 4, 8, 24 or 32 bits; bottom-up or top-down) scaled onto the target.
// The source rectangle (sx, sy, sw, sh) has its origin at the lower-left corner of the image, rows
// counting up, whatever the row order (a top-down image too). Colours come from the colour table
// (DIB_RGB_COLORS only), 1-bit images included. Every raster operation of BitBlt works. Returns the
// number of scan lines of the image (|biHeight|, positive for a top-down image too, whatever the
// raster operation), 0 on failure.
int StretchDIBits(HDC dst, int x, int y, int width, int height, int sx, int sy, int sw, int sh,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

// The nearest-neighbour mapping of every stretch, per axis: the source index (0 to s - 1) shown at
// destination index d of a d-long run when s source pixels stretch to dCount destination pixels.
// rows selects the rule for shrinking rows (the first of each group) instead of columns (the last).
// Enlarging or keeping the size, d shows ((2d + 1)s - 1) div 2dCount; shrinking, columns show
// (2(d + 1)s - dCount) div 2dCount and rows (2ds + dCount) div 2dCount. -1 for arguments out of
// range (s or dCount below 1, d outside 0 .. dCount - 1).
int StretchSourceIndex(int d, int s, int dCount, bool rows);

// Brushes and rectangles. SelectObject selects brushes too (the white stock brush at first) and
// returns the previous one; PATCOPY and PatBlt paint with the selected brush. A brush is not
// deletable while selected. FillRect and FrameRect also take a system colour index plus one in
// place of a brush, as on Windows. The null brush paints nothing. Brushes take the nearest
// colour-table entry, except on 1-bit bitmaps: the entry equal to the brush colour, else the entry
// the background colour maps to when the brush colour is the background colour and the other
// entry when not. Monochrome device bitmaps are painted solid the same way, not dithered.
HBRUSH CreateSolidBrush(COLORREF colour);
HGDIOBJ GetStockObject(int object); // brushes here, pens in lines.h, fonts in text.h; never deleted
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
COLORREF GetPixel(HDC hdc, int x, int y);                  // CLR_INVALID outside the bitmap or clip
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour); // the nearest entry; returns what is stored

// Viewport origin and clip rectangle: a control paints through its parent's context at its own
// offset, clipped to its own rectangle.
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom); // logical coordinates
int SelectClipRgn(HDC hdc, void* region);                                 // null removes the clip
int GetClipBox(HDC hdc, RECT* rect);                                      // logical coordinates

#endif // _WIN32
