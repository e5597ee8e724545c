// ToolCtrlsEh: the drop-down month calendar.
#include "grid/toolkit/ToolCtrlsEh.h"

#include "platform/gui/Popup.h"

namespace {

constexpr int kCalendarBorder = 2;

// Releases over these close the calendar accepting its date: the hit codes
// with a bit of kAcceptBits, less the day names and the title's arrows.
constexpr Cardinal kAcceptBits = 0x20001;

bool AcceptsRelease(Cardinal Hit) {
  return (Hit & kAcceptBits) != 0 && Hit != MCHT_CALENDARDAY && Hit != MCHT_TITLEBTNNEXT &&
         Hit != MCHT_TITLEBTNPREV;
}

}  // namespace

bool CloseUpPopupOwnerEh(TComponent* Popup, bool Accept) {
  IPopupOwnerEh* owner = Supports<IPopupOwnerEh>(Popup->Owner());
  if (owner == nullptr) return false;
  owner->CloseUp(Accept);
  return true;
}

void PopupCreateParamsEh(TCreateParams& Params, bool Ctl3D) {
  Params.Style &= ~(WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  Params.Style |= WS_POPUP;
  if (!Ctl3D) Params.Style |= WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW;
  Params.WindowClass.style |= CS_SAVEBITS;
}

void PopupFrameMessageEh(TMessage& Message, int BorderWidth) {
  if (Message.Msg == WM_GETDLGCODE) Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
  if (Message.Msg == WM_NCCALCSIZE && Message.LParam != 0)
    InflateRect(reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0], -BorderWidth, -BorderWidth);
}

bool PopupCloseMessageEh(TWinControl* Popup, TMessage& Message) {
  switch (Message.Msg) {
    case CM_WANTSPECIALKEY:
      if ((Message.WParam != VK_RETURN && Message.WParam != VK_ESCAPE) || !Supports<IPopupOwnerEh>(Popup->Owner()))
        return false;
      Message.Result = 1;
      return true;
    case CM_CLOSEUPCANCELEH:
      if (Popup->HandleAllocated() && IsWindowVisible(Popup->Handle())) CloseUpPopupOwnerEh(Popup, false);
      return true;
    default:
      return false;
  }
}

TPopupMonthCalendarEh::TPopupMonthCalendarEh(TComponent* AOwner) : TMonthCalendar(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetCtl3D(true);
  SetParentCtl3D(false);
  border_width_ = Ctl3D() ? kCalendarBorder : 0;
  SetAutoSize(true);
  AdjustSize();
  WatchFocusForDropDown(this, true);
}

TPopupMonthCalendarEh::~TPopupMonthCalendarEh() { WatchFocusForDropDown(this, false); }

void TPopupMonthCalendarEh::CreateParams(TCreateParams& Params) {
  TMonthCalendar::CreateParams(Params);
  PopupCreateParamsEh(Params, Ctl3D());
}

bool TPopupMonthCalendarEh::CanAutoSize(int& NewWidth, int& NewHeight) {
  if (!TMonthCalendar::CanAutoSize(NewWidth, NewHeight)) return false;
  // Also the frame of the window's style (WS_BORDER without Ctl3D), which
  // would otherwise cut off the calendar's edges.
  TCreateParams params;
  CreateParams(params);
  TRect frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, params.Style, false, params.ExStyle);
  NewWidth += 2 * border_width_ + frame.Width();
  NewHeight += 2 * border_width_ + frame.Height();
  return true;
}

void TPopupMonthCalendarEh::KeyDown(Word& Key, TShiftState Shift) {
  TMonthCalendar::KeyDown(Key, Shift);
  if ((Key == VK_RETURN || Key == VK_ESCAPE) && CloseUpPopupOwnerEh(this, Key == VK_RETURN)) Key = 0;
}

void TPopupMonthCalendarEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TMonthCalendar::MouseDown(Button, Shift, X, Y);
  if (!Rect(0, 0, Width(), Height()).Contains(Point(X, Y))) CloseUpPopupOwnerEh(this, false);
}

void TPopupMonthCalendarEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TMonthCalendar::MouseUp(Button, Shift, X, Y);
  if (!Rect(0, 0, Width(), Height()).Contains(Point(X, Y))) return;
  MCHITTESTINFO info;
  info.pt = Point(X, Y);
  Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
  if (AcceptsRelease(info.uHit)) CloseUpPopupOwnerEh(this, true);
}

bool TPopupMonthCalendarEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (!TMonthCalendar::DoMouseWheelDown(Shift, MousePos)) SetDate(Date() + 1);
  return true;
}

bool TPopupMonthCalendarEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (!TMonthCalendar::DoMouseWheelUp(Shift, MousePos)) SetDate(Date() - 1);
  return true;
}

void TPopupMonthCalendarEh::WndProc(TMessage& Message) {
  if (PopupCloseMessageEh(this, Message)) return;
  TMonthCalendar::WndProc(Message);
  PopupFrameMessageEh(Message, border_width_);
  switch (Message.Msg) {
    case WM_NCPAINT:
      PaintBorder();
      break;
    case WM_KILLFOCUS: {
      // Posted, so that the click that moved the focus ends first.
      HWND gaining = reinterpret_cast<HWND>(Message.WParam);
      if (HandleAllocated() && !IsChild(Handle(), gaining)) PostMessage(Handle(), CM_CLOSEUPCANCELEH, 0, 0);
      break;
    }
    case CM_CTL3DCHANGED:
      border_width_ = Ctl3D() ? kCalendarBorder : 0;
      RecreateWnd();
      AdjustSize();
      break;
    default:
      break;
  }
}

void TPopupMonthCalendarEh::PaintBorder() {
  if (!Ctl3D()) return;
  HDC dc = GetWindowDC(Handle());
  if (dc == nullptr) return;
  TRect r = Rect(0, 0, Width(), Height());
  DrawEdge(dc, r, BDR_RAISEDOUTER, BF_RECT);
  InflateRect(r, -1, -1);
  DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
}
