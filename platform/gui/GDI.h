// GDI calls on a device context (HDC, Graphics.h), with the platform's
// semantics on Qt's painter. What each maps to:
//
// Text
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
//    and turns it about the rectangle's top-left corner. DT_RTLREADING only
//    sets Qt's reading direction (alignment is not flipped, as on the
//    platform).
//  - DrawTextEx: DrawText inside the rectangle less the parameters' left and
//    right margins, tabs every iTabLength average characters (DT_TABSTOP);
//    DT_CALCRECT gives back the margins in the width; uiLengthDrawn is set
//    to the characters of the text.
//  - ExtTextOut: ETO_OPAQUE fills the rectangle with the background colour,
//    ETO_CLIPPED clips the text to it; the text is placed by the text
//    alignment (TA_LEFT/TA_CENTER/TA_RIGHT of the reference point,
//    TA_TOP/TA_BASELINE/TA_BOTTOM; TA_UPDATECP uses and moves the current
//    position) and filled behind with the background colour in OPAQUE mode.
//    An escapement turns the text about the reference point. No character
//    spacing array. TextOut is ExtTextOut without options.
//  - Counts of characters (Count) are bytes of the UTF-8 text; -1 is all.
//  - Under a mirroring mapping (negative x scale, LAYOUT_RTL) text is placed
//    in its mirrored box but its glyphs read left to right, as the platform
//    draws text on a right-to-left layout.
//  - GetTextMetrics: from Qt's font metrics: tmAscent, tmDescent, tmHeight
//    = ascent + descent, tmInternalLeading = tmHeight - the character height
//    (the font's pixel size), tmExternalLeading = Qt's leading (not below 0),
//    tmAveCharWidth and tmMaxCharWidth; tmOverhang is 0 (outline fonts have
//    none). GetTextExtentPoint32: advance width and tmHeight.
//
// Objects (pens, brushes, fonts, bitmaps, regions) are handles made by the
// Create* calls and freed by DeleteObject. A handle that was freed is
// refused by every call (false / nullptr), as the platform refuses stale
// handles. SelectObject copies the object's settings into the DC and returns
// the handle selected before; freeing an object while it is selected leaves
// the DC drawing with its copied settings, except a bitmap, which DeleteObject
// refuses while a memory DC holds it. Stock objects are never freed.
//  - Pens: cosmetic pens (width 0 or 1, and PS_COSMETIC) are drawn pixel by
//    pixel with the end point left out; their styles are PS_DOT 3 on 3 off,
//    PS_DASH 18/6, PS_DASHDOT 9/6/3/6, PS_DASHDOTDOT 9/3/3/3/3/3 and
//    PS_ALTERNATE every other pixel, counted along each polyline from its
//    first point. Geometric pens (ExtCreatePen PS_GEOMETRIC, or a width
//    above 1) are Qt pens of that width with the end cap (PS_ENDCAP_FLAT:
//    Qt::FlatCap, SQUARE: SquareCap, ROUND: RoundCap) and join
//    (PS_JOIN_MITER/BEVEL/ROUND); a horizontal or vertical flat- or
//    square-capped segment is the exact rectangle of pixels it covers.
//  - Brushes: solid (CreateSolidBrush, GetSysColorBrush), hatched (Qt's
//    hatch patterns over the background colour in OPAQUE mode) and pattern
//    brushes (CreatePatternBrush: the bitmap tiled from the device origin; a
//    monochrome bitmap takes the DC's text colour for black and background
//    colour for white).
//  - Fonts: LOGFONT as TFont reads it (lfHeight < 0: character height,
//    > 0: cell height; lfWeight >= 600 bold; lfEscapement in tenths of a
//    degree counter-clockwise turns the text; lfWidth, lfOrientation and the
//    precision and quality fields are kept but not used).
//  - Bitmaps: 32-bit pixels (CreateCompatibleBitmap) or monochrome
//    (CreateBitmap with 1 bit per pixel, black and white pixels). A memory
//    DC (CreateCompatibleDC) draws into the bitmap selected into it (a
//    1 x 1 monochrome bitmap at first).
//
// Drawing
//  - Polyline/PolyPolyline/MoveToEx/LineTo: the selected pen with the ROP2
//    mode (R2_COPYPEN, R2_XORPEN, R2_NOTXORPEN, R2_NOT, R2_MASKPEN,
//    R2_MERGEPEN, R2_NOTCOPYPEN, R2_BLACK, R2_WHITE, R2_NOP as Qt raster
//    operations). Polyline leaves out its last point, as LineTo does.
//  - FillRect/FrameRect (a frame one unit wide) with a brush, InvertRect
//    (Qt's NotDestination), PatBlt with the selected brush.
//  - DrawFocusRect: inverts every other pixel of the rectangle's outline,
//    those whose device X + Y is even, so a second call removes it.
//  - DrawFrameControl: the classic faces drawn in the system colours (see
//    DFC_/DFCS_ below); not the Qt style's.
//  - BitBlt/StretchBlt: the source DC must draw into pixels (a memory DC or
//    a bitmap's canvas; a window's DC is not readable: false). Raster
//    operations: SRCCOPY (Qt Source), SRCPAINT, SRCAND, SRCINVERT, SRCERASE,
//    NOTSRCCOPY, NOTSRCERASE, MERGEPAINT, DSTINVERT (Qt raster operations),
//    BLACKNESS, WHITENESS, PATCOPY, PATINVERT, MERGECOPY and PATPAINT (with
//    the destination's brush). A monochrome source takes the destination's
//    text colour for black and background colour for white; a colour
//    source into a monochrome bitmap gives white for the source's background
//    colour and black for the rest. Negative extents mirror; stretching
//    drops or repeats pixels; the image keeps its orientation under a
//    mirroring mapping (drawn unmirrored into the mapped rectangle).
//
// Coordinates. Logical coordinates map to the DC's device pixels by the
// mapping mode: MM_TEXT moves by the window and viewport origins;
// MM_ANISOTROPIC (and MM_ISOTROPIC, which is not made isotropic) also scales
// by viewport extent / window extent, a negative ratio mirroring. SetLayout
// LAYOUT_RTL mirrors the DC's width on top (LAYOUT_BITMAPORIENTATIONPRESERVED
// is accepted and not used). The painter's world transform is this mapping.
// LPtoDP/DPtoLP convert points.
//
// Clipping: IntersectClipRect and ExcludeClipRect take logical coordinates;
// regions (SelectClipRgn, ExtSelectClipRgn, GetClipRgn) are in device
// coordinates, as on the platform; GetClipBox answers logical coordinates.
// Regions are QRegions: rectangle sets; CreatePolygonRgn fills by Qt's
// odd-even or winding rule.
//
// State: SaveDC/RestoreDC keep the painter's state (clip, transform) and the
// DC's selected objects, colours, modes, alignment, mapping and layout, on
// one stack; RestoreDC(DC, -1) takes the last level, a positive level
// restores that level.
//
// 3-D edges (DrawEdge): the platform's edges in the system colours,
// top-left / bottom-right: raised outer cl3DLight / cl3DDkShadow, raised
// inner clBtnHighlight / clBtnShadow, sunken outer clBtnShadow /
// clBtnHighlight, sunken inner cl3DDkShadow / cl3DLight; BF_SOFT puts the
// stronger light or shadow outside; BF_FLAT draws clBtnShadow outside and
// clBtnFace inside, BF_MONO clWindowFrame and clWindow. The bottom and right
// lines are drawn last (they own the top-right and bottom-left pixels).
// BF_MIDDLE fills the inside with clBtnFace, BF_ADJUST shrinks the rectangle
// by what was drawn. BF_DIAGONAL edges are not drawn.
//
// System values
//  - GetSysColor: the system colour of the index (Graphics.h: the Qt
//    palette, or the classic values without an application).
//  - GetSystemMetrics: SM_CXVSCROLL/SM_CYHSCROLL are the Qt style's scroll
//    bar extent, SM_CYVSCROLL/SM_CXHSCROLL the same (square arrows); border
//    1, edge 2; double-click and drag rectangles twice Qt's distances;
//    screen sizes from the primary screen (1024 x 768 without one).
//    GetDoubleClickTime is Qt's interval.
//  - GetDeviceCaps: NUMCOLORS -1 (more than 256 colours), BITSPIXEL 32,
//    PLANES 1, LOGPIXELSX/Y 96, HORZRES/VERTRES the device's size.
//    GetNearestColor answers the colour itself.
//  - GetDC(nullptr) is a screen context for measuring (the system font
//    selected, nothing can be drawn on it); ReleaseDC frees it.
#pragma once

#include <cstdint>
#include <span>

#include "platform/gui/Graphics.h"
#include "platform/os/Modules.h"

using UINT = uint32_t;
using DWORD = uint32_t;
using COLORREF = uint32_t;  // $00BBGGRR

// DrawText formats.
inline constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
                      DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                      DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
                      DT_NOPREFIX = 0x800, DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000,
                      DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000,
                      DT_RTLREADING = 0x20000, DT_WORD_ELLIPSIS = 0x40000, DT_NOFULLWIDTHCHARBREAK = 0x80000,
                      DT_HIDEPREFIX = 0x100000, DT_PREFIXONLY = 0x200000;

struct DRAWTEXTPARAMS {
  UINT cbSize = sizeof(DRAWTEXTPARAMS);
  int iTabLength = 8;  // in average characters
  int iLeftMargin = 0;
  int iRightMargin = 0;
  UINT uiLengthDrawn = 0;
};

// ExtTextOut options and text alignment.
inline constexpr UINT ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;
inline constexpr UINT TA_NOUPDATECP = 0x0, TA_UPDATECP = 0x1, TA_LEFT = 0x0, TA_RIGHT = 0x2, TA_CENTER = 0x6,
                      TA_TOP = 0x0, TA_BOTTOM = 0x8, TA_BASELINE = 0x18, TA_RTLREADING = 0x100;

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

// DrawFrameControl kinds and states.
//  DFC_BUTTON: DFCS_BUTTONCHECK a check box (the largest square centred in
//    the rectangle): a sunken 3-D edge (DFCS_FLAT: one clBtnShadow pixel,
//    DFCS_MONO: one clWindowFrame pixel) round a clWindow inside, clBtnFace
//    when DFCS_PUSHED or DFCS_INACTIVE, a clBtnHighlight/clBtnFace checker
//    when grayed (DFCS_CHECKED with DFCS_BUTTON3STATE); the check mark
//    (DFCS_CHECKED) in clWindowText, or clBtnShadow when grayed or
//    inactive. DFCS_BUTTONPUSH a push button (raised, sunken when pushed or
//    checked; DFCS_ADJUSTRECT shrinks the rectangle to its inside).
//  DFC_SCROLL: DFCS_SCROLLUP/DOWN/LEFT/RIGHT and DFCS_SCROLLCOMBOBOX (down):
//    a raised button face (DFCS_FLAT or pushed: one clBtnShadow pixel round
//    clBtnFace) with a solid triangle in clBtnText, moved one pixel right and
//    down when pushed, embossed (clBtnHighlight one pixel lower right, then
//    clBtnShadow) when inactive; DFCS_SCROLLSIZEGRIP diagonal grip lines.
//  DFCS_TRANSPARENT leaves the inside unfilled. DFCS_HOT is not shown.
inline constexpr UINT DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4, DFC_POPUPMENU = 5;
inline constexpr UINT DFCS_SCROLLUP = 0x0, DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3,
                      DFCS_SCROLLCOMBOBOX = 0x5, DFCS_SCROLLSIZEGRIP = 0x8, DFCS_SCROLLSIZEGRIPRIGHT = 0x10;
inline constexpr UINT DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIOIMAGE = 0x1, DFCS_BUTTONRADIOMASK = 0x2,
                      DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8, DFCS_BUTTONPUSH = 0x10;
inline constexpr UINT DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400, DFCS_TRANSPARENT = 0x800,
                      DFCS_HOT = 0x1000, DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000;

// Background modes.
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;

// Region kinds (GetClipBox, CombineRgn ...) and combinations.
inline constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
inline constexpr int ALTERNATE = 1, WINDING = 2;

// Raster operations of BitBlt, StretchBlt and PatBlt (the copy modes of
// Graphics.h under their platform names).
inline constexpr DWORD SRCCOPY = cmSrcCopy, SRCPAINT = cmSrcPaint, SRCAND = cmSrcAnd, SRCINVERT = cmSrcInvert,
                       SRCERASE = cmSrcErase, NOTSRCCOPY = cmNotSrcCopy, NOTSRCERASE = cmNotSrcErase,
                       MERGECOPY = cmMergeCopy, MERGEPAINT = cmMergePaint, PATCOPY = cmPatCopy,
                       PATPAINT = cmPatPaint, PATINVERT = cmPatInvert, DSTINVERT = cmDstInvert,
                       BLACKNESS = cmBlackness, WHITENESS = cmWhiteness;

// Line raster modes (SetROP2).
inline constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5,
                     R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11,
                     R2_MERGENOTPEN = 12, R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;

// Pen styles.
inline constexpr DWORD PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
                       PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF,
                       PS_ENDCAP_ROUND = 0x0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200,
                       PS_ENDCAP_MASK = 0xF00, PS_JOIN_ROUND = 0x0, PS_JOIN_BEVEL = 0x1000,
                       PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000, PS_COSMETIC = 0x0,
                       PS_GEOMETRIC = 0x10000, PS_TYPE_MASK = 0xF0000;

// Brush styles and hatches.
inline constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = BS_NULL, BS_HATCHED = 2, BS_PATTERN = 3;
inline constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
                     HS_DIAGCROSS = 5;

// Stock objects.
inline constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
                     NULL_BRUSH = 5, HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8,
                     SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17;

// Mapping modes and layouts.
inline constexpr int MM_TEXT = 1, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;
inline constexpr DWORD LAYOUT_RTL = 0x1, LAYOUT_BITMAPORIENTATIONPRESERVED = 0x8;

// Font weights and the LOGFONT record.
inline constexpr int FW_DONTCARE = 0, FW_NORMAL = 400, FW_BOLD = 700;
inline constexpr uint8_t OUT_DEFAULT_PRECIS = 0, OUT_TT_ONLY_PRECIS = 7, CLIP_DEFAULT_PRECIS = 0,
                         DEFAULT_QUALITY = 0, DRAFT_QUALITY = 1, PROOF_QUALITY = 2, DEFAULT_PITCH = 0,
                         FIXED_PITCH = 1, VARIABLE_PITCH = 2;

struct LOGFONT {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = FW_NORMAL;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = DEFAULT_CHARSET;
  uint8_t lfOutPrecision = OUT_DEFAULT_PRECIS;
  uint8_t lfClipPrecision = CLIP_DEFAULT_PRECIS;
  uint8_t lfQuality = DEFAULT_QUALITY;
  uint8_t lfPitchAndFamily = DEFAULT_PITCH;
  String lfFaceName;
};

// tmPitchAndFamily bit: set for a variable-pitch font (as on the platform).
inline constexpr uint8_t TMPF_FIXED_PITCH = 0x1;

struct TEXTMETRIC {
  int32_t tmHeight = 0;
  int32_t tmAscent = 0;
  int32_t tmDescent = 0;
  int32_t tmInternalLeading = 0;
  int32_t tmExternalLeading = 0;
  int32_t tmAveCharWidth = 0;
  int32_t tmMaxCharWidth = 0;
  int32_t tmWeight = 0;
  int32_t tmOverhang = 0;
  int32_t tmDigitizedAspectX = 96;
  int32_t tmDigitizedAspectY = 96;
  char16_t tmFirstChar = 0x20;
  char16_t tmLastChar = 0xFFFC;
  char16_t tmDefaultChar = 0x20;
  char16_t tmBreakChar = 0x20;
  uint8_t tmItalic = 0;
  uint8_t tmUnderlined = 0;
  uint8_t tmStruckOut = 0;
  uint8_t tmPitchAndFamily = 0;
  uint8_t tmCharSet = DEFAULT_CHARSET;
};

struct LOGPEN {
  UINT lopnStyle = PS_SOLID;
  TPoint lopnWidth;  // X is the width
  COLORREF lopnColor = 0;
};

struct LOGBRUSH {
  UINT lbStyle = BS_SOLID;
  COLORREF lbColor = 0;
  intptr_t lbHatch = 0;
};

struct BITMAP {
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 1;
  uint16_t bmBitsPixel = 0;
};

// Handles. HFONT, HPEN and HBRUSH are declared in Graphics.h.
struct HGDIOBJ__;
struct HRGN__;
struct HBITMAP__;
using HGDIOBJ = HGDIOBJ__*;
using HRGN = HRGN__*;
using HBITMAP = HBITMAP__*;
struct HWND__;
using HWND = HWND__*;

inline COLORREF GetRValue(COLORREF C) { return C & 0xFF; }
inline COLORREF GetGValue(COLORREF C) { return (C >> 8) & 0xFF; }
inline COLORREF GetBValue(COLORREF C) { return (C >> 16) & 0xFF; }

// ---------------------------------------------------------------------------
// Text

int DrawText(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format);
int DrawTextEx(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format, DRAWTEXTPARAMS* Params);
bool ExtTextOut(HDC DC, int X, int Y, UINT Options, const TRect* Rect, const String& Text, int Count);
bool TextOut(HDC DC, int X, int Y, const String& Text, int Count);
bool GetTextMetrics(HDC DC, TEXTMETRIC* Metrics);
bool GetTextExtentPoint32(HDC DC, const String& Text, int Count, TSize* Size);
// The outline metrics this platform knows: the text metrics and the slant
// (upright: rise 1, run 0; italic: Qt's oblique slant, rise 5, run 1, and
// an italic angle of -113 tenths of a degree). Returns the record's size,
// or 0 without a DC.
struct OUTLINETEXTMETRIC {
  UINT otmSize = sizeof(OUTLINETEXTMETRIC);
  TEXTMETRIC otmTextMetrics;
  int32_t otmsCharSlopeRise = 1;
  int32_t otmsCharSlopeRun = 0;
  int32_t otmItalicAngle = 0;
  UINT otmEMSquare = 0;
  int32_t otmAscent = 0;
  int32_t otmDescent = 0;
};
UINT GetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRIC* Metrics);
// Each returns the previous value.
UINT SetTextAlign(HDC DC, UINT Align);
UINT GetTextAlign(HDC DC);
TColor SetTextColor(HDC DC, TColor Color);
TColor SetBkColor(HDC DC, TColor Color);
int SetBkMode(HDC DC, int Mode);
TColor GetTextColor(HDC DC);
TColor GetBkColor(HDC DC);
int GetBkMode(HDC DC);

// ---------------------------------------------------------------------------
// Objects

HPEN CreatePen(int Style, int Width, COLORREF Color);
// Style: PS_COSMETIC or PS_GEOMETRIC with a style, end cap and join;
// Brush: its colour (BS_SOLID). PS_USERSTYLE takes StyleCount dash lengths.
HPEN ExtCreatePen(DWORD Style, DWORD Width, const LOGBRUSH& Brush, DWORD StyleCount, const DWORD* Styles);
HBRUSH CreateSolidBrush(COLORREF Color);
HBRUSH CreateHatchBrush(int Hatch, COLORREF Color);
HBRUSH CreatePatternBrush(HBITMAP Bitmap);  // copies the bitmap's pixels
HBRUSH CreateBrushIndirect(const LOGBRUSH& Brush);
// A shared brush of a system colour (never freed).
HBRUSH GetSysColorBrush(int Index);
HFONT CreateFontIndirect(const LOGFONT& Font);
// Pixels initially black.
HBITMAP CreateCompatibleBitmap(HDC DC, int Width, int Height);
// BitsPerPixel 1: monochrome from Bits (rows of bits padded to 16 bits,
// 1 = white; nullptr: black); 32: $00RRGGBB pixels (nullptr: black).
HBITMAP CreateBitmap(int Width, int Height, UINT Planes, UINT BitsPerPixel, const void* Bits);
HGDIOBJ GetStockObject(int Object);
// The stock objects by kind (nullptr for an index of another kind).
HPEN GetStockPen(int Object);
HBRUSH GetStockBrush(int Object);
HFONT GetStockFont(int Object);
// The handle kinds are distinct types (HPEN, HBRUSH ...); each call that
// takes any object has an overload per kind.
bool DeleteObject(HGDIOBJ Object);
bool DeleteObject(HPEN Object);
bool DeleteObject(HBRUSH Object);
bool DeleteObject(HFONT Object);
bool DeleteObject(HBITMAP Object);
bool DeleteObject(HRGN Object);
// Selects a pen, brush, font or bitmap (memory DCs only) and returns the
// previous one of its kind; nullptr on failure. A region is a clip
// (SelectClipRgn): the result is its kind.
HGDIOBJ SelectObject(HDC DC, HGDIOBJ Object);
HPEN SelectObject(HDC DC, HPEN Object);
HBRUSH SelectObject(HDC DC, HBRUSH Object);
HFONT SelectObject(HDC DC, HFONT Object);
HBITMAP SelectObject(HDC DC, HBITMAP Object);
int SelectObject(HDC DC, HRGN Object);
bool GetObject(HFONT Font, LOGFONT* Result);
bool GetObject(HPEN Pen, LOGPEN* Result);
bool GetObject(HBRUSH Brush, LOGBRUSH* Result);
bool GetObject(HBITMAP Bitmap, BITMAP* Result);

// A bitmap resource of the module (HInstance: the program's), or with
// Instance nullptr the system bitmap OBM_CHECKBOXES: 4 x 3 check boxes of
// 13 x 13 pixels drawn by DrawFrameControl (rows: check boxes, the same
// again for radio buttons, three-state boxes; columns: unchecked, checked,
// pushed unchecked, pushed checked). nullptr when there is no such bitmap.
inline constexpr uint16_t OBM_CHECKBOXES = 32759;
HBITMAP LoadBitmap(HMODULE Instance, const String& Name);
HBITMAP LoadBitmap(HMODULE Instance, uint16_t Id);

// Device contexts.
HDC CreateCompatibleDC(HDC DC);
bool DeleteDC(HDC DC);
HDC GetDC(HWND Window);  // nullptr: the screen (measuring only)
int ReleaseDC(HWND Window, HDC DC);
int GetDeviceCaps(HDC DC, int Index);
inline constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, LOGPIXELSX = 88,
                     LOGPIXELSY = 90;
COLORREF GetNearestColor(HDC DC, COLORREF Color);

// ---------------------------------------------------------------------------
// Drawing

bool MoveToEx(HDC DC, int X, int Y, TPoint* Previous);
bool LineTo(HDC DC, int X, int Y);
bool Polyline(HDC DC, const TPoint* Points, int Count);
// Counts[i] points for the i-th polyline, each at least 2.
bool PolyPolyline(HDC DC, const TPoint* Points, const DWORD* Counts, DWORD Polylines);
int SetROP2(HDC DC, int Mode);
int GetROP2(HDC DC);
int FillRect(HDC DC, const TRect& Rect, HBRUSH Brush);
int FrameRect(HDC DC, const TRect& Rect, HBRUSH Brush);
bool InvertRect(HDC DC, const TRect& Rect);
bool PatBlt(HDC DC, int X, int Y, int Width, int Height, DWORD Rop);
bool DrawFocusRect(HDC DC, const TRect& Rect);
bool DrawEdge(HDC DC, TRect& Rect, UINT Edge, UINT Flags);
bool DrawFrameControl(HDC DC, TRect& Rect, UINT Kind, UINT State);
bool BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SX, int SY, DWORD Rop);
bool StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SX, int SY, int SWidth, int SHeight,
                DWORD Rop);

// ---------------------------------------------------------------------------
// Coordinates

int SetMapMode(HDC DC, int Mode);
int GetMapMode(HDC DC);
bool SetWindowOrgEx(HDC DC, int X, int Y, TPoint* Previous);
bool SetViewportOrgEx(HDC DC, int X, int Y, TPoint* Previous);
bool SetWindowExtEx(HDC DC, int X, int Y, TSize* Previous);
bool SetViewportExtEx(HDC DC, int X, int Y, TSize* Previous);
bool GetWindowOrgEx(HDC DC, TPoint* Result);
bool GetViewportOrgEx(HDC DC, TPoint* Result);
DWORD SetLayout(HDC DC, DWORD Layout);  // the previous layout; GDI_ERROR on failure
DWORD GetLayout(HDC DC);
inline constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;
bool LPtoDP(HDC DC, TPoint* Points, int Count);
bool DPtoLP(HDC DC, TPoint* Points, int Count);

// ---------------------------------------------------------------------------
// State and clipping

// Returns the new level (0 on failure).
int SaveDC(HDC DC);
bool RestoreDC(HDC DC, int SavedDC);

HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom);
HRGN CreateRectRgnIndirect(const TRect& Rect);
HRGN CreatePolygonRgn(const TPoint* Points, int Count, int FillMode);
// Dest = Source1 op Source2 (Source2 unused with RGN_COPY); the result's kind.
int CombineRgn(HRGN Dest, HRGN Source1, HRGN Source2, int Mode);
int OffsetRgn(HRGN Region, int DX, int DY);
int GetRgnBox(HRGN Region, TRect* Rect);
bool PtInRegion(HRGN Region, int X, int Y);
bool EqualRgn(HRGN A, HRGN B);
bool SetRectRgn(HRGN Region, int Left, int Top, int Right, int Bottom);
// Region kinds as GetClipBox.
int IntersectClipRect(HDC DC, int Left, int Top, int Right, int Bottom);
int ExcludeClipRect(HDC DC, int Left, int Top, int Right, int Bottom);
int SelectClipRgn(HDC DC, HRGN Region);
// Combines the clip with Region by Mode (RGN_COPY with nullptr: no clip).
int ExtSelectClipRgn(HDC DC, HRGN Region, int Mode);
// 1 with the clip copied into Region, 0 when the DC has no clip, -1 on error.
int GetClipRgn(HDC DC, HRGN Region);
int GetClipBox(HDC DC, TRect* Rect);

// ---------------------------------------------------------------------------
// System colours and metrics

inline constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2,
                     COLOR_INACTIVECAPTION = 3, COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6,
                     COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10,
                     COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13,
                     COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17,
                     COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
                     COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24,
                     COLOR_HOTLIGHT = 26;
COLORREF GetSysColor(int Index);

inline constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
                     SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9,
                     SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
                     SM_CYMENU = 15, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21, SM_CXDOUBLECLK = 36,
                     SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50,
                     SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXFRAME = 32, SM_CYFRAME = 33;
// 0 for an index it does not know.
int GetSystemMetrics(int Index);
UINT GetDoubleClickTime();
