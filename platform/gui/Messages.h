// Window messages, window handles, the message queue, key state and window
// timers.
//
// A window handle (HWND) names a window procedure: a windowed control's
// (TWinControl::Handle, created with its widget) or one made by
// AllocateHWnd. SendMessage calls the procedure at once and returns the
// result (0 for an unknown handle); unhandled messages answer 0.
//
// The message queue: PostMessage appends to the queue and returns at once.
// It alone may be called from any thread, for a handle allocated while the
// Qt application existed (false otherwise); everything else runs on the main
// thread. The Qt event loop (or Application->ProcessMessages) delivers the
// queue on the main thread, front to back, one message per wake-up so that
// Qt events interleave (messages other threads posted before
// ProcessMessages are delivered by it too);
// a message whose window is gone by then is dropped (DeallocateHWnd drops the
// window's queued messages at once). PeekMessage looks at the queue without
// delivering: the first message for the window (nullptr: any window) whose
// number lies in [FilterMin, FilterMax] (both 0: any); PM_REMOVE takes it out,
// and the caller then owns it (DispatchMessage delivers it, or it is simply
// dropped). Key messages taken from the queue by the loop go through the
// same input path as real keys (dialog keys, then WM_KEYDOWN and the
// characters it produces; Controls.h). Besides posted messages the queue
// holds the WM_CHAR/WM_SYSCHAR of a key press while its WM_KEYDOWN is being
// handled, so a handler can peek at the character to come or remove it. Thin:
// Qt input events still waiting in Qt's own queue are not visible here.
//
// GetMessageTime: the time (ms) of the message being handled: the Qt event's
// time stamp for input from Qt, the posting time (GetTickCount) for queued
// messages. The two clocks differ; compare times of the same kind only.
//
// GetKeyState: the state of a virtual key as of the input message being
// handled: bit 0x8000 (negative) while down, bit 1 toggled by each press.
// Updated from every Qt input event (modifiers, mouse buttons, the key
// itself); posted messages do not change it. GetAsyncKeyState answers the
// modifiers and mouse buttons from Qt's current state and other keys as
// GetKeyState does.
//
// Window timers (SetTimer/KillTimer) deliver WM_TIMER (WParam = timer id) to
// the handle's procedure every interval; the first tick comes one interval
// after SetTimer. Timers run on a timer service: by default Qt timers of the
// event loop; tests install a TManualTimerService and advance its clock.
// Timer ticks do not pass through the queue.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/gui/Types.h"
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
// WParam: the window losing (WM_SETFOCUS) or gaining (WM_KILLFOCUS) the
// focus, nullptr when it is none of this program's.
inline constexpr Cardinal WM_SETFOCUS = 0x0007;
inline constexpr Cardinal WM_KILLFOCUS = 0x0008;
inline constexpr Cardinal WM_PAINT = 0x000F;
inline constexpr Cardinal WM_CLOSE = 0x0010;
inline constexpr Cardinal WM_QUIT = 0x0012;
inline constexpr Cardinal WM_ERASEBKGND = 0x0014;
// Sent by code that changes the system colours (the platform sends none itself).
inline constexpr Cardinal WM_SYSCOLORCHANGE = 0x0015;
inline constexpr Cardinal WM_CANCELMODE = 0x001F;
// Result: DLGC_ flags of the keys the window handles itself.
inline constexpr Cardinal WM_GETDLGCODE = 0x0087;
// Key messages: WParam the virtual key (WM_CHAR: the UTF-16 character),
// LParam the key data: repeat count (bits 0-15, always 1), scan code (16-23),
// extended key (24), Alt down (29), key was down before (30), key released
// (31).
inline constexpr Cardinal WM_KEYFIRST = 0x0100;
inline constexpr Cardinal WM_KEYDOWN = 0x0100;
inline constexpr Cardinal WM_KEYUP = 0x0101;
inline constexpr Cardinal WM_CHAR = 0x0102;
inline constexpr Cardinal WM_DEADCHAR = 0x0103;
inline constexpr Cardinal WM_SYSKEYDOWN = 0x0104;
inline constexpr Cardinal WM_SYSKEYUP = 0x0105;
inline constexpr Cardinal WM_SYSCHAR = 0x0106;
inline constexpr Cardinal WM_KEYLAST = 0x0108;
inline constexpr Cardinal WM_TIMER = 0x0113;
// Mouse messages: WParam the MK_ flags, LParam the client point
// (MAKELPARAM(x, y), signed 16-bit coordinates).
inline constexpr Cardinal WM_MOUSEFIRST = 0x0200;
// LParam: the screen point (x, y) packed as for mouse messages; (-1, -1)
// when asked for by key.
inline constexpr Cardinal WM_CONTEXTMENU = 0x007B;
inline constexpr Cardinal WM_MOUSEMOVE = 0x0200;
inline constexpr Cardinal WM_LBUTTONDOWN = 0x0201;
inline constexpr Cardinal WM_LBUTTONUP = 0x0202;
inline constexpr Cardinal WM_LBUTTONDBLCLK = 0x0203;
inline constexpr Cardinal WM_RBUTTONDOWN = 0x0204;
inline constexpr Cardinal WM_RBUTTONUP = 0x0205;
inline constexpr Cardinal WM_RBUTTONDBLCLK = 0x0206;
inline constexpr Cardinal WM_MBUTTONDOWN = 0x0207;
inline constexpr Cardinal WM_MBUTTONUP = 0x0208;
inline constexpr Cardinal WM_MBUTTONDBLCLK = 0x0209;
// WParam: MK_ flags in the low word, the wheel delta (WHEEL_DELTA a notch,
// negative towards the user) in the high word; LParam: the screen point.
inline constexpr Cardinal WM_MOUSEWHEEL = 0x020A;
inline constexpr Cardinal WM_MOUSELAST = 0x020A;
// Sent to the control losing the mouse capture; LParam: the new capture
// window's handle or 0.
inline constexpr Cardinal WM_CAPTURECHANGED = 0x0215;
inline constexpr Cardinal WM_USER = 0x0400;

inline constexpr WPARAM MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008,
                        MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

inline constexpr LRESULT DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004,
                         DLGC_HASSETSEL = 0x0008, DLGC_DEFPUSHBUTTON = 0x0010, DLGC_UNDEFPUSHBUTTON = 0x0020,
                         DLGC_RADIOBUTTON = 0x0040, DLGC_WANTCHARS = 0x0080, DLGC_STATIC = 0x0100,
                         DLGC_BUTTON = 0x2000;

// Component messages of the class library.
inline constexpr Cardinal CM_BASE = 0xB000;
// LParam: the control pressed (a mouse press on it cancels other modes).
inline constexpr Cardinal CM_CANCELMODE = CM_BASE + 4;
// WParam: the virtual key (CM_DIALOGKEY) or the character (CM_DIALOGCHAR),
// LParam: the key data. Result 1: handled.
inline constexpr Cardinal CM_DIALOGKEY = CM_BASE + 5;
inline constexpr Cardinal CM_DIALOGCHAR = CM_BASE + 6;
// LParam: the control that now has the focus.
inline constexpr Cardinal CM_FOCUSCHANGED = CM_BASE + 7;
inline constexpr Cardinal CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr Cardinal CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr Cardinal CM_VISIBLECHANGED = CM_BASE + 11;
inline constexpr Cardinal CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr Cardinal CM_COLORCHANGED = CM_BASE + 13;
inline constexpr Cardinal CM_FONTCHANGED = CM_BASE + 14;
// Sent to a control after its Ctl3D changed.
inline constexpr Cardinal CM_CTL3DCHANGED = CM_BASE + 16;
inline constexpr Cardinal CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr Cardinal CM_MOUSEENTER = CM_BASE + 19;
inline constexpr Cardinal CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr Cardinal CM_ENTER = CM_BASE + 26;
inline constexpr Cardinal CM_EXIT = CM_BASE + 27;
// WParam: Tab, an arrow, Enter or Escape; Result not 0: the control takes
// the key instead of dialog navigation.
inline constexpr Cardinal CM_WANTSPECIALKEY = CM_BASE + 30;
inline constexpr Cardinal CM_RELEASE = CM_BASE + 33;
// A data-aware control answers with its data link (TDataLink*) in Result; 0
// when it has none.
inline constexpr Cardinal CM_GETDATALINK = CM_BASE + 45;
// Makes the control's window anew (TWinControl::RecreateWnd).
inline constexpr Cardinal CM_RECREATEWND = CM_BASE + 51;
// Sent to a control after its content changed (a list box: its entries or
// their count); LParam: the control.
inline constexpr Cardinal CM_CHANGED = CM_BASE + 55;
// WParam: the virtual key, LParam: the control it was pressed in; Result not
// 0: handled (nothing else sees the key).
inline constexpr Cardinal CM_CHILDKEY = CM_BASE + 46;
// WParam: the TShiftState bits in the low word, the wheel delta in the high
// word; LParam: the screen point. Result 1: handled.
inline constexpr Cardinal CM_MOUSEWHEEL = CM_BASE + 67;

// Notifications a control receives before its key messages (CN_BASE + the
// key message); Result not 0 ends the key there.
inline constexpr Cardinal CN_BASE = 0xBC00;
inline constexpr Cardinal CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
inline constexpr Cardinal CN_KEYUP = CN_BASE + WM_KEYUP;
inline constexpr Cardinal CN_CHAR = CN_BASE + WM_CHAR;
inline constexpr Cardinal CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
inline constexpr Cardinal CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

// Virtual key codes.
inline constexpr Word VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04, VK_BACK = 0x08,
                      VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
                      VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                      VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
                      VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29, VK_PRINT = 0x2A,
                      VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F,
                      VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_NUMPAD9 = 0x69,
                      VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D,
                      VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72, VK_F4 = 0x73,
                      VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78, VK_F10 = 0x79,
                      VK_F11 = 0x7A, VK_F12 = 0x7B, VK_F24 = 0x87, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
                      VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
                      VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC,
                      VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE;
// Letters and digits are their upper-case ASCII codes ('A', '0').

// Packing and unpacking of message parameters.
constexpr Word LOWORD(uintptr_t V) { return static_cast<Word>(V & 0xFFFF); }
constexpr Word HIWORD(uintptr_t V) { return static_cast<Word>((V >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int Low, int High) {
  return static_cast<LPARAM>(static_cast<uint32_t>(static_cast<Word>(Low)) |
                             (static_cast<uint32_t>(static_cast<Word>(High)) << 16));
}
constexpr WPARAM MAKEWPARAM(int Low, int High) { return static_cast<WPARAM>(MAKELPARAM(Low, High)); }
constexpr int GET_X_LPARAM(LPARAM V) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(V))); }
constexpr int GET_Y_LPARAM(LPARAM V) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(V))); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM V) { return static_cast<int16_t>(HIWORD(V)); }
constexpr Word GET_KEYSTATE_WPARAM(WPARAM V) { return LOWORD(V); }

// A queued message.
struct TMsg {
  HWND hwnd = nullptr;
  Cardinal message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  Cardinal time = 0;  // GetTickCount when posted
  TPoint pt;          // the cursor's screen position when posted
};

inline constexpr Cardinal PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001;

using TWndMethod = Event<void(TMessage& Message)>;

// Registers a window procedure and returns its new handle.
HWND AllocateHWnd(TWndMethod Method);
// Removes the handle: its timers stop and queued messages are dropped.
void DeallocateHWnd(HWND Wnd);
bool IsWindow(HWND Wnd);

LRESULT SendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
// False when the handle is unknown.
bool PostMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
// Queues WM_QUIT (WParam ExitCode); the loop that delivers it terminates the
// application.
void PostQuitMessage(int ExitCode);
// True when a message matched (see the queue above); with PM_REMOVE it is
// taken out of the queue.
bool PeekMessage(TMsg& Msg, HWND Wnd, Cardinal FilterMin, Cardinal FilterMax, Cardinal RemoveMsg);
// Delivers a message taken from the queue to its window's procedure.
LRESULT DispatchMessage(const TMsg& Msg);
// Time of the message being handled (see above).
int32_t GetMessageTime();

// Key state of a virtual key (see above).
int16_t GetKeyState(int VirtKey);
int16_t GetAsyncKeyState(int VirtKey);

// Starts (or restarts with a new interval) timer IDEvent of the window;
// returns IDEvent, or 0 for an unknown handle or IDEvent 0. An interval
// below USER_TIMER_MINIMUM (0 included) is USER_TIMER_MINIMUM: a computed
// interval never makes a timer spin.
inline constexpr Cardinal USER_TIMER_MINIMUM = 10;
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
//   EM_GETLINECOUNT   Result: the number of lines as shown (a word-wrapped
//                     line counts once per screen line; at least 1).
//   EM_LINEFROMCHAR   WParam: a byte offset (-1: the caret's); Result: the
//                     0-based line that holds it.
//   EM_LINEINDEX      WParam: a line (-1: the caret's); Result: the byte
//                     offset of its first character, -1 past the last line.
//   EM_GETMODIFY, EM_SETMODIFY (WParam), EM_CANUNDO, EM_EMPTYUNDOBUFFER.
inline constexpr Cardinal WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E;
inline constexpr Cardinal WM_COMMAND = 0x0111;
inline constexpr Cardinal CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr Cardinal WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303,
                          WM_UNDO = 0x0304;
inline constexpr Cardinal EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SETRECT = 0x00B3,
                          EM_SETRECTNP = 0x00B4, EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8,
                          EM_SETMODIFY = 0x00B9, EM_REPLACESEL = 0x00C2, EM_CANUNDO = 0x00C6,
                          EM_EMPTYUNDOBUFFER = 0x00CD, EM_SETMARGINS = 0x00D3, EM_GETMARGINS = 0x00D4,
                          EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB, EM_LINEFROMCHAR = 0x00C9;
inline constexpr WPARAM EC_LEFTMARGIN = 0x0001, EC_RIGHTMARGIN = 0x0002, EC_USEFONTINFO = 0xFFFF;
// Edit-box notification: the text changed (by the user or by code).
inline constexpr Word EN_CHANGE = 0x0300;
