// Mouse cursors as handles: loaded from resources (cursor files, .cur: the
// image closest to 32 x 32 and its hot spot) or the system's shapes.
//
//  - LoadCursor(Instance, Name): the RT_CURSOR resource Name of the module
//    (HInstance: the program's registered resources, Resources.h); nullptr
//    when it is missing or not a cursor. LoadCursor(nullptr, IDC_...) gives
//    the shared system cursor of that shape (Qt's cursor shapes), as does
//    ScreenCursor for a TCursor value (what the platform keeps in the
//    screen's cursor list). Shared cursors are never destroyed.
//  - SetCursor shows the cursor over the window under the pointer (Qt's
//    cursor of that widget; nothing without one) and returns the handle set
//    before; GetCursor answers the last handle set.
//
// The cursor per position (WM_SETCURSOR). Each pointer move and button
// press over a control, while no control holds the mouse capture, first
// sends WM_SETCURSOR to the windowed control under the pointer (a graphic
// control's parent): WParam that control's handle, LParam
// MAKELPARAM(HTCLIENT, the mouse message). GetCursorPos answers the event's
// position meanwhile. A handler that calls SetCursor decides the cursor over
// the widget under the pointer until the next move; the default handling
// (TWinControl::Dispatch) takes Screen->Cursor, else the Cursor of the
// control at the point (a graphic child or the control itself), and when it
// is not crDefault sets Screen->Cursors of it and answers 1; otherwise it
// asks the parent (the same message, WParam unchanged) and answers what the
// parent answers. When nobody set a cursor the widget shows its control's
// Cursor as the property put it. While a control holds the capture the
// cursor stays as it was at the press.
//
// Screen->Cursors(Index) (Forms.h) is the registry of cursors by TCursor
// value: the system shapes for the built-in negative values, crDefault the
// arrow, and whatever SetCursors registered for other values (a custom
// cursor as a positive number); an unknown value answers the crDefault
// cursor. SetCursors(Index, Handle) takes over Handle (registering another
// one, or nullptr, for the value destroys the one it replaces; the screen
// destroys what is left when it goes) and refreshes the controls whose
// Cursor is that value.
#pragma once

#include <cstdint>
#include <span>

#include "platform/gui/Controls.h"
#include "platform/gui/Popup.h"
#include "platform/gui/Types.h"
#include "platform/os/Modules.h"
#include "platform/rtl/System.h"

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

inline constexpr uint16_t IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515,
                          IDC_UPARROW = 32516, IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643, IDC_SIZEWE = 32644,
                          IDC_SIZENS = 32645, IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649,
                          IDC_APPSTARTING = 32650, IDC_HELP = 32651;

HCURSOR LoadCursor(HMODULE Instance, const String& Name);
// A numeric resource of the module, or with Instance nullptr and an IDC_
// value the system cursor.
HCURSOR LoadCursor(HMODULE Instance, uint16_t Id);
// A cursor from the bytes of a cursor file; nullptr when they are not one.
HCURSOR CreateCursorFromData(std::span<const uint8_t> Data);
// Frees a loaded cursor (shared ones stay); false for a shared or null one.
bool DestroyCursor(HCURSOR Cursor);
HCURSOR ScreenCursor(TCursor Cursor);

struct ICONINFO {
  bool fIcon = false;
  uint32_t xHotspot = 0;
  uint32_t yHotspot = 0;
  TSize Size;  // the image's size (0 x 0 for a system shape)
};
bool GetIconInfo(HCURSOR Cursor, ICONINFO* Info);
// The colour of the cursor image's pixel as $AARRGGBB (alpha 0: clear).
uint32_t CursorPixel(HCURSOR Cursor, int X, int Y);

// WParam: the window under the pointer; LParam: the hit-test code (low word,
// HTCLIENT) and the mouse message that caused it (high word). Result 1:
// the cursor is set, nothing else looks further.
inline constexpr Cardinal WM_SETCURSOR = 0x0020;

HCURSOR SetCursor(HCURSOR Cursor);
HCURSOR GetCursor();
