// Scroll bars: the scroll info arithmetic, a window's own scroll bars, the
// messages of scroll-bar controls, and scrolling a window's pixels.
//
// Scroll info (TScrollInfoState, plain arithmetic shared by every bar):
//  - SIF_RANGE sets Min and Max; a range whose Max lies below its Min
//    becomes 0 to 0. SIF_PAGE sets Page; a page larger than the range
//    (Max - Min + 1) is the range. SIF_POS sets Pos. Whatever is set, Pos is
//    then kept within Min .. MaxPos, MaxPos being Max - (Page - 1) for a page
//    of at least 1, else Max. SIF_TRACKPOS is ignored when setting.
//  - There is something to scroll when MaxPos > Min.
//  - TrackPos is the thumb's position while the user drags it, otherwise Pos.
//
// Window scroll bars (SB_HORZ, SB_VERT) belong to a windowed control: the
// vertical bar lies along its right edge, the horizontal one along its
// bottom, each GetSystemMetrics(SM_CXVSCROLL) thick, and a shown bar takes
// its room from the control's ClientRect (the children realign and the
// control gets Resize). A window whose CreateParams style holds WS_HSCROLL
// or WS_VSCROLL is created with that bar shown; GetWindowLong(GWL_STYLE)
// answers those bits as the bars are shown now.
//  - SetScrollInfo revises the bar's visibility when fMask holds SIF_RANGE,
//    SIF_PAGE or SIF_DISABLENOSCROLL: with nothing to scroll the bar is shown
//    disabled (both arrows) under SIF_DISABLENOSCROLL and hidden otherwise;
//    with something to scroll it is shown and enabled, unless only SIF_PAGE
//    was given. The result is the new position. SB_CTL sends
//    SBM_SETSCROLLINFO to the handle (a TScrollBar) instead.
//  - GetScrollInfo fills the fields fMask asks for; false for an unknown
//    handle, for a mask asking for nothing, and for a window bar that the
//    window never had (not in its style, never set).
//  - ShowScrollBar shows or hides SB_HORZ, SB_VERT or SB_BOTH (SB_CTL: the
//    scroll-bar control itself) without changing the scroll info.
//  - EnableScrollBar (ESB_ flags: which arrows are disabled) answers false
//    when the arrows already were in that state. A bar with both arrows
//    disabled is a disabled widget; with one, the line steps towards that end
//    do nothing (thin: the arrow is drawn enabled).
//  - User input on a bar is sent to the window as WM_HSCROLL / WM_VSCROLL:
//    WParam MAKEWPARAM(code, position), LParam 0 (a TScrollBar's parent gets
//    the bar's handle in LParam and reflects it to the bar as CN_HSCROLL /
//    CN_VSCROLL). Arrows give SB_LINEUP/SB_LINEDOWN, the trough
//    SB_PAGEUP/SB_PAGEDOWN (repeated while held), each press ending with
//    SB_ENDSCROLL; dragging the thumb gives SB_THUMBTRACK at each move and
//    SB_THUMBPOSITION then SB_ENDSCROLL on release (position = track
//    position). The window bar itself does not move: its owner answers with
//    SetScrollInfo. A wheel turned over a window bar goes to the window.
//    Window bars never take the focus.
//
// ScrollWindowEx moves the pixels of the client area (within the scroll
// rectangle, when given) by DX, DY, keeping what it moves inside the clip
// rectangle (when given): the area moved is the intersection of the client
// area, the scroll and the clip rectangles. The area left uncovered there is
// given back in UpdateRgn and UpdateRect and is repainted (thin: always, as
// Qt repaints what a scroll uncovers; SW_INVALIDATE and SW_ERASE change
// nothing). SW_SCROLLCHILDREN moves the child controls that meet the scroll
// rectangle (all without one). Result: NULLREGION, SIMPLEREGION or
// COMPLEXREGION for what was uncovered, ERROR for an unknown handle.
#pragma once

#include <memory>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GDI.h"

inline constexpr Cardinal WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115;
inline constexpr Cardinal CN_HSCROLL = CN_BASE + WM_HSCROLL, CN_VSCROLL = CN_BASE + WM_VSCROLL;
// Scroll-bar control messages. SBM_SETSCROLLINFO: WParam redraw, LParam
// const SCROLLINFO*; Result the position. SBM_GETSCROLLINFO: LParam
// SCROLLINFO*; Result 1 when filled. SBM_ENABLE_ARROWS: WParam the ESB_
// flags; Result 1 when they changed.
inline constexpr Cardinal SBM_ENABLE_ARROWS = 0x00E4, SBM_SETSCROLLINFO = 0x00E9, SBM_GETSCROLLINFO = 0x00EA;

inline constexpr int GWL_STYLE = -16, GWL_EXSTYLE = -20;

inline constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
inline constexpr UINT SIF_RANGE = 0x0001, SIF_PAGE = 0x0002, SIF_POS = 0x0004, SIF_DISABLENOSCROLL = 0x0008,
                      SIF_TRACKPOS = 0x0010, SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
inline constexpr UINT ESB_ENABLE_BOTH = 0, ESB_DISABLE_LEFT = 1, ESB_DISABLE_RIGHT = 2, ESB_DISABLE_UP = 1,
                      ESB_DISABLE_DOWN = 2, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2, ESB_DISABLE_BOTH = 3;
inline constexpr Word SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
                      SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
                      SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
inline constexpr UINT SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004;

struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};

// The scroll info of one bar (see above).
class TScrollInfoState {
 public:
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Page() const { return page_; }
  int Pos() const { return pos_; }
  int TrackPos() const { return tracking_ ? track_pos_ : pos_; }
  int MaxPos() const;
  bool CanScroll() const { return MaxPos() > min_; }
  // Applies the fields fMask names; returns the position.
  int Set(const SCROLLINFO& Info);
  // Fills the fields fMask names; false when it names none.
  bool Get(SCROLLINFO& Info) const;
  // A thumb drag: starts, moves (clamped to Min .. MaxPos), ends.
  void BeginTrack();
  int Track(int Pos);
  void EndTrack() { tracking_ = false; }
  bool Tracking() const { return tracking_; }
  friend bool operator==(const TScrollInfoState&, const TScrollInfoState&) = default;

 private:
  int min_ = 0, max_ = 0, page_ = 0, pos_ = 0, track_pos_ = 0;
  bool tracking_ = false;
};

int SetScrollInfo(HWND Wnd, int Bar, const SCROLLINFO& Info, bool Redraw);
bool GetScrollInfo(HWND Wnd, int Bar, SCROLLINFO& Info);
// Position, range (SIF_POS / SIF_RANGE through the calls above).
int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw);
int GetScrollPos(HWND Wnd, int Bar);
bool ShowScrollBar(HWND Wnd, int Bar, bool Show);
bool EnableScrollBar(HWND Wnd, UINT Bar, UINT Arrows);
int ScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* Scroll, const TRect* Clip, HRGN UpdateRgn,
                   TRect* UpdateRect, UINT Flags);
// The window's style bits (GWL_STYLE) or extended style (GWL_EXSTYLE) from
// its CreateParams, with WS_HSCROLL/WS_VSCROLL as its bars are shown,
// WS_VISIBLE and WS_DISABLED as the control is; 0 for anything else.
int32_t GetWindowLong(HWND Wnd, int Index);
// The client rectangle (0, 0, ClientWidth, ClientHeight); false for an
// unknown handle.
bool GetClientRect(HWND Wnd, TRect& Rect);
// Schedules a repaint of the rectangle (nullptr: the whole client area);
// Erase is implied (self-drawn controls erase before each paint).
bool InvalidateRect(HWND Wnd, const TRect* Rect, bool Erase);
// Takes the rectangle (nullptr: the whole client area) out of what waits to
// be painted. Thin: Qt keeps its own pending updates, so what was already
// scheduled is still painted (callers that validate and then invalidate the
// whole window get the repaint they ask for); false for an unknown handle.
bool ValidateRect(HWND Wnd, const TRect* Rect);
// Paints what is waiting to be painted now.
bool UpdateWindow(HWND Wnd);

// A window's own scroll bars (the platform's side of the calls above).
class TWindowScrollBars {
 public:
  // Shows the bars the new window's style asks for.
  static void WindowCreated(TWinControl* Control);
  // The room the shown bars take at the right and at the bottom.
  static void Inset(const TWinControl* Control, TRect& Client);
  static int32_t Style(TWinControl* Control, int Index);
  // A bar was shown or hidden: the children realign and the control resizes.
  static void ClientChanged(TWinControl* Control);
};

// A scroll-bar control (its window is a scroll bar of the SB_CTL kind,
// ScrollBars.h). Position lies within Min .. Max - (PageSize - 1) (Max
// without a page). User input reaches the parent as WM_HSCROLL / WM_VSCROLL
// with the bar's handle, which the parent reflects to the bar as
// CN_HSCROLL / CN_VSCROLL; the bar then computes the new position (a line
// is SmallChange, a page LargeChange, SB_THUMBTRACK and SB_THUMBPOSITION
// take the track position, SB_TOP Min, SB_BOTTOM Max, SB_ENDSCROLL keeps
// it), lets OnScroll change it and sets Position (OnChange when it
// changed). SBM_SETSCROLLINFO, SBM_GETSCROLLINFO and SBM_ENABLE_ARROWS work
// on the same state as the properties. SetParams and SetPageSize raise
// EInvalidOperation "Scroll bar property out of range" when Max lies below
// Min or the page exceeds the range. The bar wants the arrow keys
// (WM_GETDLGCODE), which step it as its arrows do.
RTL_ENUM(TScrollCode, scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom,
         scEndScroll);
using TScrollEvent = Event<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBarDriver;

class TScrollBar : public TWinControl {
 public:
  explicit TScrollBar(TComponent* AOwner);
  ~TScrollBar() override;

  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind Value);
  int Min() const { return min_; }
  void SetMin(int Value) { SetParams(position_, Value, max_); }
  int Max() const { return max_; }
  void SetMax(int Value) { SetParams(position_, min_, Value); }
  int Position() const { return position_; }
  void SetPosition(int Value) { SetParams(Value, min_, max_); }
  int PageSize() const { return page_; }
  void SetPageSize(int Value);
  int SmallChange() const { return small_change_; }
  void SetSmallChange(int Value);
  int LargeChange() const { return large_change_; }
  void SetLargeChange(int Value);
  void SetParams(int APosition, int AMin, int AMax);
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }
  const TScrollEvent& OnScroll() const { return on_scroll_; }
  void SetOnScroll(TScrollEvent Value) { on_scroll_ = std::move(Value); }

  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void DestroyWidget() override;
  void CreateParams(TCreateParams& Params) override;
  virtual void Change();
  virtual void Scroll(TScrollCode ScrollCode, int& ScrollPos);

 private:
  void Apply(const SCROLLINFO& Info, bool Notify);
  void Push();
  SCROLLINFO CurrentInfo() const;
  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0, max_ = 100, position_ = 0, page_ = 0, small_change_ = 1, large_change_ = 1;
  UINT disabled_arrows_ = 0;
  std::unique_ptr<TScrollBarDriver> driver_;
  TNotifyEvent on_change_;
  TScrollEvent on_scroll_;
};
