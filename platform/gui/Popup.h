// Window management: drop-down windows that never take the focus, the
// non-client area, window regions, placement, z-order and showing by handle.
//
// Activation. A windowed control without a parent (a form too) gets
// WM_ACTIVATE when its window becomes the active window (WParam WA_ACTIVE)
// and when it stops being it (WA_INACTIVE); LParam 0.
//
// Tool windows. A windowed control without a parent (not a form) whose
// CreateParams have WS_POPUP, WS_EX_TOOLWINDOW and WS_THICKFRAME without
// WS_CAPTION is a floating tool window: frameless (its non-client area draws
// its border), above its owner (WndParent), and activated like any window.
//
// Drop-down windows. A windowed control without a parent (not a form) is a
// drop-down when its CreateParams have WS_POPUP and WS_EX_TOOLWINDOW without
// WS_CAPTION (and without WS_THICKFRAME), or when it answers WM_MOUSEACTIVATE (asked once, when its
// window is made; WParam its own handle, LParam HTCLIENT | WM_LBUTTONDOWN
// << 16) with MA_NOACTIVATE or MA_NOACTIVATEANDEAT. A drop-down is a
// frameless window above all others that is never activated: showing it or
// clicking it leaves the active window and the keyboard focus where they
// were, while its controls get the mouse as usual. (Under X11 it bypasses
// the window manager, as menus and tool tips do; on the offscreen platform it
// is a window the platform never activates. WS_EX_TOPMOST changes nothing:
// every drop-down is above the other windows. CS_SAVEBITS and CS_DROPSHADOW
// have no effect.)
//
// Non-client area. When a windowed control's window is made and whenever its
// size changes, it gets WM_NCCALCSIZE with WParam 1 and LParam a
// NCCALCSIZE_PARAMS whose rgrc[0] holds the window rectangle (in parent
// coordinates, screen coordinates for a window without a parent); what is
// left in rgrc[0] is the client area. The default handling takes off the
// border of the window's styles for a WS_POPUP window without a caption,
// without a parent, that is not a form (WS_BORDER one pixel, WS_THICKFRAME
// SM_CXFRAME, WS_EX_CLIENTEDGE two more) and nothing for other windows
// (their widgets draw their own frames, the window manager frames windows
// with a caption). A window with a non-client
// area gets a frame widget around its widget (WindowWidget): ClientRect,
// children, painting, mouse coordinates and ClientToScreen are those of the
// client area. The frame paints by WM_NCPAINT (WParam 1); GetWindowDC(Handle)
// inside it gives a device context over the whole window, origin at the
// window's top-left corner. The default WM_NCPAINT draws those borders (a
// clWindowFrame line, a sunken edge; a thick frame is left in clBtnFace).
//
// Bounds: before a windowed control whose window exists takes a new place
// or size (SetBounds and everything that goes through it), it gets
// WM_WINDOWPOSCHANGING with LParam a WINDOWPOS holding the new values
// (SWP_NOMOVE or SWP_NOSIZE for what stays); the handler may change x, y,
// cx and cy (a drop-down keeping a minimum size), and the control takes
// what it leaves. WM_SIZE (SIZE_RESTORED, LParam: client width and height) and
// WM_MOVE (LParam: the client area's origin in parent coordinates) follow
// every change of a windowed control's bounds while its window exists.
//
// By handle (HWND of a windowed control, Controls.h):
//  - SetWindowPos and MoveWindow move and size the control (SetBounds);
//    SetWindowPos's SWP_SHOWWINDOW/SWP_HIDEWINDOW and ShowWindow show or hide
//    the window without changing the control's Visible, as the platform does;
//    HWND_TOP and HWND_TOPMOST raise it, HWND_BOTTOM lowers it, SWP_NOZORDER
//    keeps it. Activation flags change nothing (no window here activates
//    when shown by handle).
//  - SetWindowRgn: the window shows and takes the mouse only inside the
//    region (window coordinates); the region belongs to the window from then
//    on (the caller must not free it); nullptr removes it.
//  - SetParent(Child, nullptr) detaches a child window into a drop-down
//    window of its own at the same place on screen (the control keeps its
//    Parent); SetParent(Child, Window) puts it back into a window.
//  - AdjustWindowRectEx adds the border of the styles as above (WS_BORDER,
//    WS_EX_CLIENTEDGE, WS_THICKFRAME) and, with WS_CAPTION, the caption's
//    height. SystemParametersInfo knows SPI_GETWORKAREA (the primary
//    screen's available area).
//  - Monitors: MonitorFromRect and MonitorFromPoint find the screen that a
//    rectangle overlaps most (a point lies on); with MONITOR_DEFAULTTONEAREST
//    a rectangle or point on no screen takes the nearest one,
//    MONITOR_DEFAULTTOPRIMARY the primary one, MONITOR_DEFAULTTONULL none.
//    GetMonitorInfo gives its rectangle and its work area (the available
//    area, without panels and docks).
#pragma once

#include "platform/gui/Controls.h"
#include "platform/gui/GDI.h"

inline constexpr Cardinal WM_MOVE = 0x0003, WM_ACTIVATE = 0x0006, WM_MOUSEACTIVATE = 0x0021,
                          WM_WINDOWPOSCHANGING = 0x0046, WM_WINDOWPOSCHANGED = 0x0047, WM_NCCALCSIZE = 0x0083,
                          WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085;
inline constexpr int SIZE_RESTORED = 0;
inline constexpr WPARAM WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
inline constexpr LRESULT MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4;
inline constexpr LRESULT HTNOWHERE = 0, HTCLIENT = 1;
inline constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001, WS_EX_WINDOWEDGE = 0x00000100,
                          WS_EX_CLIENTEDGE = 0x00000200, WS_EX_NOACTIVATE = 0x08000000;
inline constexpr uint32_t CS_SAVEBITS = 0x0800, CS_DROPSHADOW = 0x00020000;

inline constexpr UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004, SWP_NOREDRAW = 0x0008,
                      SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020, SWP_SHOWWINDOW = 0x0040,
                      SWP_HIDEWINDOW = 0x0080, SWP_NOOWNERZORDER = 0x0200;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

inline constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
                     SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWNA = 8, SW_RESTORE = 9;

inline constexpr UINT SPI_GETWORKAREA = 0x0030;

struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};

struct NCCALCSIZE_PARAMS {
  TRect rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

bool SetWindowPos(HWND Wnd, HWND InsertAfter, int X, int Y, int Width, int Height, UINT Flags);
bool MoveWindow(HWND Wnd, int X, int Y, int Width, int Height, bool Repaint);
// Returns whether the window was visible before.
bool ShowWindow(HWND Wnd, int CmdShow);
bool IsWindowVisible(HWND Wnd);
// The window rectangle on screen (with the non-client area).
bool GetWindowRect(HWND Wnd, TRect* Rect);
// The client area: (0, 0, client width, client height).
bool GetClientRect(HWND Wnd, TRect* Rect);
// 1 on success, 0 for a handle that is no window.
int SetWindowRgn(HWND Wnd, HRGN Region, bool Redraw);
// Copies the window's region into Region: SIMPLEREGION/COMPLEXREGION, or
// ERROR when the window has none.
int GetWindowRgn(HWND Wnd, HRGN Region);
// The previous parent window (nullptr when it had none).
HWND SetParent(HWND Child, HWND NewParent);
HWND GetParent(HWND Wnd);
// True when Child lies (at any depth) inside Parent.
bool IsChild(HWND Parent, HWND Child);
// The whole window's device context while the window handles WM_NCPAINT,
// else nullptr. It is not to be released (ReleaseDC leaves it alone).
HDC GetWindowDC(HWND Wnd);
bool AdjustWindowRectEx(TRect* Rect, uint32_t Style, bool Menu, uint32_t ExStyle);
bool SystemParametersInfo(UINT Action, UINT Param, void* Value, UINT WinIni);

struct HMONITOR__;
using HMONITOR = HMONITOR__*;
inline constexpr Cardinal MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2;
inline constexpr Cardinal MONITORINFOF_PRIMARY = 1;
struct MONITORINFO {
  Cardinal cbSize = sizeof(MONITORINFO);
  TRect rcMonitor;
  TRect rcWork;
  Cardinal dwFlags = 0;
};
HMONITOR MonitorFromRect(const TRect& Rect, Cardinal Flags);
HMONITOR MonitorFromPoint(TPoint Point, Cardinal Flags);
// False for an unknown monitor or a wrong cbSize.
bool GetMonitorInfo(HMONITOR Monitor, MONITORINFO* Info);
// The work area of the monitor nearest to Rect (screen coordinates).
TRect WorkAreaNearest(const TRect& Rect);
// The active top-level window of this program (nullptr when none is active).
HWND GetActiveWindow();

// Window placement of a form: showCmd SW_SHOWNORMAL, SW_SHOWMINIMIZED or
// SW_SHOWMAXIMIZED by its WindowState, and the bounds it has in the normal
// state (rcNormalPosition, in the form's Left/Top/Width/Height terms).
// SetWindowPlacement on a form that is not normal keeps the rectangle for its
// return to the normal state; on a normal one it sets the bounds. The minimum
// and maximum positions are not kept. length must be sizeof(WINDOWPLACEMENT).
struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  TPoint ptMinPosition, ptMaxPosition;
  TRect rcNormalPosition;
};
bool GetWindowPlacement(HWND Wnd, WINDOWPLACEMENT* Placement);
bool SetWindowPlacement(HWND Wnd, const WINDOWPLACEMENT* Placement);

// True when the control's window is a drop-down (see above).
bool IsDropDownWindow(TWinControl* Control);

// A drop-down never holds the keyboard focus: the window it dropped from
// keeps it. One that closes when the focus goes elsewhere asks to stand in
// for that window: while its window shows, it gets WM_KILLFOCUS (WParam: the
// window gaining the focus, nullptr when the focus leaves the program's
// windows) whenever the focus moves out of a window of the program that does
// not lie in it, to a window that does not lie in it either. Watching ends
// with Watch false or when the control is freed.
void WatchFocusForDropDown(TWinControl* Control, bool Watch);
