// Non-client borders of the text boxes that draw their own borders, and
// their text extras (alignment, memo margins). The non-client area itself is
// the window's (Popup.h): the control answers WM_NCCALCSIZE (rgrc[0] of the
// NCCALCSIZE_PARAMS, the first member, shrunk to the client area) and paints
// its border on WM_NCPAINT through GetWindowDC(Handle). These calls switch
// the text box's own frame off, ask the window to take the answer again and
// repaint the border; the extras apply to the widget as it is, so a control
// calls them again from InitWidget.
//
// Thin: only the four margins are kept (no non-client hit testing).
#pragma once

#include "platform/gui/Controls.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Alignment.h"

// Switches the widget's own frame off and has the window take its
// WM_NCCALCSIZE answer again (SWP_FRAMECHANGED), then repaints the border.
void RecalcNonClient(TWinControl* Control);
// Repaints the non-client area (nothing before RecalcNonClient).
void RedrawNonClient(TWinControl* Control);
// The client area in the window's coordinates.
TRect NonClientClientRect(TWinControl* Control);

// The horizontal alignment of a text box's text (an edit box or a memo).
void SetEditAlignment(TWinControl* Edit, TAlignment Value);
// The memo's formatting rectangle: its client area less Left and Top; the
// strip between them is filled with the memo's colour.
void SetMemoFormatMargins(TWinControl* Memo, int Left, int Top);
