// Non-client borders of windowed controls, and the text-box extras that
// controls drawing their own borders need (alignment, memo margins). Like
// the border, the extras apply to the widget as it is: a control calls them
// again from InitWidget.
//
// A control with a non-client area answers WM_NCCALCSIZE: LParam points to
// the window rectangle in the control's own coordinates (0, 0, Width,
// Height), which the control shrinks to its client area. RecalcNonClient
// sends it and applies the result to the widget: a text box's text keeps
// inside the client area (a scroll area's viewport, an edit box's contents)
// and its own frame is switched off. The non-client area is then painted by
// WM_NCPAINT (WParam: a device context over the whole window, clipped to the
// non-client area) on a layer above the widget and its children, which lets
// all input through. The control sends RedrawNonClient when what it paints
// there changes (focus, hot tracking, enabling, styles).
//
// Thin: only the four margins are kept (no non-client hit testing); the
// control's ClientRect and child coordinates stay the whole window's (a
// control that aligns children inside its border does so in
// AdjustClientRect); the layer paints after the widget, so what lies under
// the border is the widget's background until WM_NCPAINT covers it.
#pragma once

#include "platform/gui/Controls.h"
#include "platform/rtl/Alignment.h"

inline constexpr Cardinal WM_NCCALCSIZE = 0x0083, WM_NCPAINT = 0x0085;

// Sends WM_NCCALCSIZE and applies the client area (when the widget exists;
// the control calls it again from InitWidget), then repaints the border.
void RecalcNonClient(TWinControl* Control);
// Repaints the non-client area (nothing before RecalcNonClient).
void RedrawNonClient(TWinControl* Control);
// The client area last applied by RecalcNonClient (the whole window before).
TRect NonClientClientRect(TWinControl* Control);

// The horizontal alignment of a text box's text (an edit box or a memo).
void SetEditAlignment(TWinControl* Edit, TAlignment Value);
// The memo's formatting rectangle: its client area less Left and Top; the
// strip between them is filled with the memo's colour.
void SetMemoFormatMargins(TWinControl* Memo, int Left, int Top);
