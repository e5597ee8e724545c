// Window messages, window handles and window timers.
//
// A window handle (HWND) names a window procedure: a windowed control's
// (TWinControl::Handle, created with its widget) or one made by
// AllocateHWnd. SendMessage calls the procedure at once and returns the
// result (0 for an unknown handle); PostMessage queues the message through
// the Qt event loop (delivered by the loop or Application->ProcessMessages;
// dropped when the handle is gone by then). Unhandled messages answer 0.
// PostMessage alone may be called from any thread, for a handle allocated
// while the Qt application existed (false otherwise); the message is
// delivered on the main thread. Everything else runs on the main thread.
//
// Window timers (SetTimer/KillTimer) deliver WM_TIMER (WParam = timer id) to
// the handle's procedure every interval; the first tick comes one interval
// after SetTimer. Timers run on a timer service: by default Qt timers of the
// event loop; tests install a TManualTimerService and advance its clock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
struct HWND__;
using HWND = HWND__*;

struct TMessage {
  Cardinal Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

inline constexpr Cardinal WM_NULL = 0x0000;
inline constexpr Cardinal WM_DESTROY = 0x0002;
inline constexpr Cardinal WM_SIZE = 0x0005;
inline constexpr Cardinal WM_SETFOCUS = 0x0007;
inline constexpr Cardinal WM_KILLFOCUS = 0x0008;
inline constexpr Cardinal WM_PAINT = 0x000F;
inline constexpr Cardinal WM_CLOSE = 0x0010;
inline constexpr Cardinal WM_ERASEBKGND = 0x0014;
inline constexpr Cardinal WM_KEYDOWN = 0x0100;
inline constexpr Cardinal WM_KEYUP = 0x0101;
inline constexpr Cardinal WM_CHAR = 0x0102;
inline constexpr Cardinal WM_TIMER = 0x0113;
inline constexpr Cardinal WM_MOUSEMOVE = 0x0200;
inline constexpr Cardinal WM_LBUTTONDOWN = 0x0201;
inline constexpr Cardinal WM_LBUTTONUP = 0x0202;
inline constexpr Cardinal WM_LBUTTONDBLCLK = 0x0203;
inline constexpr Cardinal WM_USER = 0x0400;

// Component messages of the class library.
inline constexpr Cardinal CM_BASE = 0xB000;
inline constexpr Cardinal CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr Cardinal CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr Cardinal CM_VISIBLECHANGED = CM_BASE + 11;
inline constexpr Cardinal CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr Cardinal CM_COLORCHANGED = CM_BASE + 13;
inline constexpr Cardinal CM_FONTCHANGED = CM_BASE + 14;
inline constexpr Cardinal CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr Cardinal CM_MOUSEENTER = CM_BASE + 19;
inline constexpr Cardinal CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr Cardinal CM_RELEASE = CM_BASE + 33;

using TWndMethod = Event<void(TMessage& Message)>;

// Registers a window procedure and returns its new handle.
HWND AllocateHWnd(TWndMethod Method);
// Removes the handle: its timers stop and queued messages are dropped.
void DeallocateHWnd(HWND Wnd);
bool IsWindow(HWND Wnd);

LRESULT SendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
// False when the handle is unknown.
bool PostMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);

// Starts (or restarts with a new interval) timer IDEvent of the window;
// returns IDEvent, or 0 for an unknown handle or IDEvent 0.
uintptr_t SetTimer(HWND Wnd, uintptr_t IDEvent, Cardinal Elapse);
bool KillTimer(HWND Wnd, uintptr_t IDEvent);

// The clock behind window timers.
class TTimerService {
 public:
  virtual ~TTimerService() = default;
  // Calls Tick every Interval ms (the first call one interval from now)
  // until Stop; returns a non-zero id.
  virtual uintptr_t Start(Cardinal Interval, std::function<void()> Tick) = 0;
  virtual void Stop(uintptr_t Id) = 0;
};

// Installs a service (nullptr: the Qt event-loop service); returns the
// previous one. Timers started before keep running on the old service, so
// install it before creating the timers under test.
TTimerService* SetTimerService(TTimerService* Service);
TTimerService* CurrentTimerService();

// A clock that moves only when told: Advance(ms) fires every tick that falls
// due, in time order.
class TManualTimerService : public TTimerService {
 public:
  uintptr_t Start(Cardinal Interval, std::function<void()> Tick) override;
  void Stop(uintptr_t Id) override;
  void Advance(Cardinal Ms);
  uint64_t Now() const { return now_; }
  int ActiveCount() const { return static_cast<int>(timers_.size()); }

 private:
  struct Timer {
    Cardinal interval;
    uint64_t due;
    std::function<void()> tick;
  };
  std::map<uintptr_t, Timer> timers_;
  uintptr_t next_id_ = 1;
  uint64_t now_ = 0;
};

// Text, clipboard and edit-box messages. Text is UTF-8; the positions of the
// edit messages are byte offsets into it (never inside a character).
//   WM_SETTEXT        LParam: const char* (0-terminated; 0: empty). Result 1.
//   WM_GETTEXT        WParam: the buffer's size in bytes, LParam: char*;
//                     copies whole characters and a 0; Result: bytes copied.
//   WM_GETTEXTLENGTH  Result: the text's length in bytes.
//   WM_COMMAND        a child's notification to its parent: WParam the
//                     control id (low word, 0 here) and the notification code
//                     (high word, EN_CHANGE), LParam the child's HWND. The
//                     parent reflects it to the child as CN_COMMAND.
//   WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, WM_UNDO  the clipboard operations on
//                     the selection; WM_UNDO: Result 1 when something was undone.
//   EM_GETSEL         WParam, LParam: Cardinal* receiving the start and the end
//                     (or 0); Result: start | end << 16 (-1 past 65535).
//   EM_SETSEL         WParam the anchor, LParam the end the caret goes to;
//                     a negative or too large end is the end of the text; a
//                     negative anchor removes the selection (the caret stays).
//   EM_REPLACESEL     LParam: const char*: replaces the selection (read-only
//                     state aside, as typing would).
//   EM_GETRECT        LParam: TRect* receiving the formatting rectangle (where
//                     the text is drawn, in client coordinates).
//   EM_SETRECT, EM_SETRECTNP  LParam: const TRect* (0: the default, the client
//                     area within the margins); kept until the next resize.
//   EM_SETMARGINS     WParam: EC_LEFTMARGIN | EC_RIGHTMARGIN (EC_USEFONTINFO:
//                     margins from the font), LParam: left | right << 16.
//   EM_GETMARGINS     Result: left | right << 16.
//   EM_SCROLLCARET    scrolls the caret into view. Result 1.
//   EM_GETMODIFY, EM_SETMODIFY (WParam), EM_CANUNDO, EM_EMPTYUNDOBUFFER.
inline constexpr Cardinal WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E;
inline constexpr Cardinal WM_COMMAND = 0x0111;
inline constexpr Cardinal CN_COMMAND = 0xBC00 + WM_COMMAND;  // CN_BASE + WM_COMMAND
inline constexpr Cardinal WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303,
                          WM_UNDO = 0x0304;
inline constexpr Cardinal EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SETRECT = 0x00B3,
                          EM_SETRECTNP = 0x00B4, EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8,
                          EM_SETMODIFY = 0x00B9, EM_REPLACESEL = 0x00C2, EM_CANUNDO = 0x00C6,
                          EM_EMPTYUNDOBUFFER = 0x00CD, EM_SETMARGINS = 0x00D3, EM_GETMARGINS = 0x00D4;
inline constexpr WPARAM EC_LEFTMARGIN = 0x0001, EC_RIGHTMARGIN = 0x0002, EC_USEFONTINFO = 0xFFFF;
// Edit-box notification: the text changed (by the user or by code).
inline constexpr Word EN_CHANGE = 0x0300;
