// Stand-in for the Windows pen and line calls and the three-dimensional edges that controls are
// drawn with.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

// Pen styles. Only solid and null pens exist; the patterned styles draw solid.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// What GetObjectA reports for a pen.
struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth; // x holds the width
    COLORREF lopnColor;
};

// Stock pens; a new context holds the black one.
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;

// A width below 1 gives a one-pixel pen. Null for an unknown style.
HPEN CreatePen(int style, int width, COLORREF colour);

// The current position of a context (logical coordinates, (0, 0) at first). previous may be null.
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
// Draws from the current position to (x, y) with the selected pen, leaving out the end point, and
// makes (x, y) the current position. Lines go through the viewport origin and clip rectangle.
// A one-pixel line takes, at each step along its longer axis, the pixel nearest to the true line;
// when two are equally near, the one with the smaller coordinate (above or to the left). Pens
// wider than one pixel draw a square of their width centred on every point of the line (Windows
// draws them with round ends and joins, which these squares only approximate).
BOOL LineTo(HDC hdc, int x, int y);

// Edges: an outer and an inner border, each raised or sunken.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;

// Which sides to draw, and what else to do.
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_ADJUST = 0x2000;

// Draws one-pixel borders in the system colours: raised outer COLOR_3DLIGHT top-left and
// COLOR_3DDKSHADOW bottom-right; raised inner COLOR_BTNHIGHLIGHT and COLOR_BTNSHADOW; sunken outer
// COLOR_BTNSHADOW and COLOR_BTNHIGHLIGHT; sunken inner COLOR_3DDKSHADOW and COLOR_3DLIGHT. The outer
// border lies on the rectangle's edge, the inner one just inside it. Top and left run the full
// length; bottom and right are drawn after them, also full length, so the bottom-left and top-right
// corners take the bottom-right colour. BF_MIDDLE fills what lies inside the borders with
// COLOR_BTNFACE; BF_ADJUST shrinks rect by the borders drawn. When a border has both its raised and
// sunken bit, it is raised.
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);

#endif // _WIN32
