// GDI calls on a device context (HDC, Graphics.h), with the platform's
// semantics on Qt's painter. What each maps to:
//
//  - DrawText: lays out the text in the rectangle with the DC's font (Qt
//    font metrics: a line is ascent + descent high, as the platform's
//    tmHeight) and draws it in the DC's text colour, over the background
//    colour when the background mode is OPAQUE. Lines break at CR, LF and
//    CR LF (not with DT_SINGLELINE); DT_WORDBREAK breaks at blanks (a word
//    wider than the rectangle stays whole); "&" marks the next character
//    (underlined; "&&" is one "&") unless DT_NOPREFIX; DT_HIDEPREFIX drops
//    the underline. DT_VCENTER and DT_BOTTOM place single-line text only.
//    DT_END_ELLIPSIS ends a line that does not fit with "..."; DT_EXPANDTABS
//    expands tabs to 8 average characters. Without DT_NOCLIP the text is
//    clipped to the rectangle. DT_CALCRECT draws nothing and sets the
//    rectangle's right and bottom to the text's extent. The result is the
//    text's height. A font with an escapement lays the text out unrotated
//    and turns it about the rectangle's top-left corner.
//  - DrawEdge: the platform's 3-D edges in the system colours, top-left /
//    bottom-right: raised outer cl3DLight / cl3DDkShadow, raised inner
//    clBtnHighlight / clBtnShadow, sunken outer clBtnShadow /
//    clBtnHighlight, sunken inner cl3DDkShadow / cl3DLight; BF_SOFT puts the
//    stronger light or shadow outside; BF_FLAT draws clBtnShadow outside and
//    clBtnFace inside, BF_MONO clWindowFrame and clWindow. The bottom and
//    right lines are drawn last (they own the top-right and bottom-left
//    pixels). BF_MIDDLE fills the inside with clBtnFace, BF_ADJUST shrinks
//    the rectangle by what was drawn. BF_DIAGONAL edges are not drawn.
//  - SaveDC/RestoreDC: the painter's state (clip, transform, pen, brush)
//    and the selected objects, on one stack; RestoreDC(DC, -1) takes the
//    last level, a positive level restores that level.
//  - Clipping: IntersectClipRect and ExcludeClipRect narrow the painter's
//    clip; SelectClipRgn replaces it (nullptr: no clip); GetClipRgn copies
//    it. Regions (HRGN) are rectangle sets made by CreateRectRgn and freed
//    by DeleteObject.
#pragma once

#include <cstdint>

#include "platform/gui/Graphics.h"

using UINT = uint32_t;

// DrawText formats.
inline constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
                      DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                      DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
                      DT_NOPREFIX = 0x800, DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000,
                      DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000,
                      DT_RTLREADING = 0x20000, DT_WORD_ELLIPSIS = 0x40000, DT_NOFULLWIDTHCHARBREAK = 0x80000,
                      DT_HIDEPREFIX = 0x100000, DT_PREFIXONLY = 0x200000;

// DrawEdge edges and borders.
inline constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
                      BDR_OUTER = 0x3, BDR_INNER = 0xC, BDR_RAISED = 0x5, BDR_SUNKEN = 0xA,
                      EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                      EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = BF_TOP | BF_LEFT,
                      BF_TOPRIGHT = BF_TOP | BF_RIGHT, BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT,
                      BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT, BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM,
                      BF_DIAGONAL = 0x10, BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000,
                      BF_MONO = 0x8000;

// Background modes.
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;

// Results of GetClipBox.
inline constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;

int DrawText(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format);
bool DrawEdge(HDC DC, TRect& Rect, UINT Edge, UINT Flags);

// Selected colours and background mode; each returns the previous value.
TColor SetTextColor(HDC DC, TColor Color);
TColor SetBkColor(HDC DC, TColor Color);
int SetBkMode(HDC DC, int Mode);
TColor GetTextColor(HDC DC);
TColor GetBkColor(HDC DC);
int GetBkMode(HDC DC);

// Returns the new level (0 on failure).
int SaveDC(HDC DC);
bool RestoreDC(HDC DC, int SavedDC);

struct HRGN__;
using HRGN = HRGN__*;
HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom);
bool DeleteObject(HRGN Region);
// Region kinds as GetClipBox.
int IntersectClipRect(HDC DC, int Left, int Top, int Right, int Bottom);
int ExcludeClipRect(HDC DC, int Left, int Top, int Right, int Bottom);
int SelectClipRgn(HDC DC, HRGN Region);
// 1 with the clip copied into Region, 0 when the DC has no clip, -1 on error.
int GetClipRgn(HDC DC, HRGN Region);
int GetClipBox(HDC DC, TRect* Rect);
