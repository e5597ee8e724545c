// The hint window and the application's hint machinery (Hints.h).
#include <QApplication>
#include <QWidget>

#include <algorithm>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Hints.h"
#include "platform/gui/Popup.h"

namespace {

constexpr uintptr_t kShowTimer = 1, kHideTimer = 2;
constexpr UINT kHintTextFormat = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;

// The effective ShowHint: the control's own, or its parent's while
// ParentShowHint.
bool EffectiveShowHint(const TControl* C) {
  while (C->ParentShowHint() && C->Parent() != nullptr) C = C->Parent();
  return C->ShowHint();
}

// The control's Hint, or its nearest parent's that has one.
String HintOf(const TControl* C) {
  for (; C != nullptr; C = C->Parent()) {
    if (!C->Hint().empty()) return C->Hint();
  }
  return {};
}

THintWindow* MakeDefaultHintWindow(TComponent* AOwner) { return new THintWindow(AOwner); }

}  // namespace

String GetShortHint(const String& Hint) {
  size_t bar = Hint.find('|');
  return bar == String::npos ? Hint : Hint.substr(0, bar);
}

String GetLongHint(const String& Hint) {
  size_t bar = Hint.find('|');
  return bar == String::npos ? Hint : Hint.substr(bar + 1);
}

// ---------------------------------------------------------------------------
// THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clInfoBk);
  Font()->SetColor(clInfoText);
  SetVisible(false);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  Params.WindowClass.style |= CS_SAVEBITS;
}

void THintWindow::InitWidget() {
  TCustomControl::InitWidget();
  // The mouse passes through a hint to the window below.
  QWidget* w = WindowWidget();
  w->setWindowFlag(Qt::WindowTransparentForInput);
  w->setAttribute(Qt::WA_TransparentForMouseEvents);
}

TRect THintWindow::CalcHintRect(int MaxWidth, const String& AHint, void*) {
  TBitmap measure;
  measure.Canvas()->SetFont(Font());
  TRect r = Rect(0, 0, MaxWidth, 0);
  DrawText(measure.Canvas()->Handle(), AHint, -1, &r, DT_CALCRECT | kHintTextFormat);
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(TRect Rect, const String& AHint) {
  SetCaption(AHint);
  TRect work;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
  int w = Rect.Width(), h = Rect.Height();
  Rect.Left = std::max(std::min(Rect.Left, work.Right - w), work.Left);
  Rect.Top = std::max(std::min(Rect.Top, work.Bottom - h), work.Top);
  SetBounds(Rect.Left, Rect.Top, w, h);
  SetWindowPos(Handle(), HWND_TOPMOST, Rect.Left, Rect.Top, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::ActivateHintData(TRect Rect, const String& AHint, void*) { ActivateHint(Rect, AHint); }

void THintWindow::ReleaseHandle() {
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

bool THintWindow::Active() const { return Widget() != nullptr && WindowWidget()->isVisible(); }

void THintWindow::Paint() {
  TRect r = ClientRect();
  r.Left += 2;
  r.Top += 2;
  Canvas()->SetFont(Font());
  Canvas()->Brush()->SetStyle(bsClear);
  DrawText(Canvas()->Handle(), Caption(), -1, &r, kHintTextFormat);
}

// ---------------------------------------------------------------------------
// TApplication: the hint machinery

struct TApplication::THintState {
  HWND timer_window = nullptr;
  THintWindow* window = nullptr;
  THintWindowClass window_class = nullptr;
  TControl* control = nullptr;  // the control the mouse rests on (check with TControlRef)
  TControlRef control_ref{nullptr};
  TRect cursor_rect;  // control's client coordinates: where the mouse may rest
  TPoint cursor;      // screen
  bool active = false;
};

TApplication::THintState* TApplication::Hints() {
  if (hint_ == nullptr) {
    hint_ = new THintState;
    hint_->timer_window = AllocateHWnd({this, &TApplication::HintTimer});
  }
  return hint_;
}

void TApplication::DestroyHints() {
  if (hint_ == nullptr) return;
  KillTimer(hint_->timer_window, kShowTimer);
  KillTimer(hint_->timer_window, kHideTimer);
  DeallocateHWnd(hint_->timer_window);
  delete hint_;
  hint_ = nullptr;
}

void TApplication::SetShowHint(bool Value) {
  show_hint_ = Value;
  if (!Value) CancelHint();
}

void TApplication::HideHint() {
  if (hint_ == nullptr) return;
  KillTimer(hint_->timer_window, kHideTimer);
  if (hint_->window != nullptr && TControlRef(hint_->window)) hint_->window->ReleaseHandle();
  hint_->active = false;
}

void TApplication::CancelHint() {
  if (hint_ == nullptr) return;
  HideHint();
  KillTimer(hint_->timer_window, kShowTimer);
  hint_->control = nullptr;
  hint_->control_ref = TControlRef(nullptr);
}

void TApplication::HintMouseMessage(TControl* Control, TMessage& Message) {
  if (dynamic_cast<THintWindow*>(Control) != nullptr) return;
  THintState* h = hint_;
  if (Message.Msg == CM_MOUSELEAVE) {
    if (h != nullptr && Control == h->control) CancelHint();
    return;
  }
  if (Message.Msg != WM_MOUSEMOVE) {
    // A press or the wheel ends the hint; the next move starts over.
    if (h != nullptr && h->control != nullptr) CancelHint();
    return;
  }
  if (!show_hint_ || !EffectiveShowHint(Control)) {
    CancelHint();
    return;
  }
  h = Hints();
  TPoint client{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  TPoint screen = Control->ClientToScreen(client);
  const bool same = Control == h->control && h->control_ref.Alive();
  if (same && screen.X == h->cursor.X && screen.Y == h->cursor.Y) return;
  h->cursor = screen;
  // Within the rectangle of the hint (shown, pending or timed out) nothing changes.
  if (same && h->cursor_rect.Contains(client)) return;
  const bool was_active = h->active;
  HideHint();
  h->control = Control;
  h->control_ref = TControlRef(Control);
  h->cursor_rect = Control->ClientRect();
  int pause = was_active ? hint_short_pause_ : hint_pause_;
  Control->Perform(CM_HINTSHOWPAUSE, was_active ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
  KillTimer(h->timer_window, kShowTimer);
  if (pause <= 0) ActivateHint(screen);
  else SetTimer(h->timer_window, kShowTimer, static_cast<Cardinal>(pause));
}

void TApplication::HintTimer(TMessage& Message) {
  if (Message.Msg != WM_TIMER || hint_ == nullptr) return;
  KillTimer(hint_->timer_window, Message.WParam);
  if (Message.WParam == kShowTimer) ActivateHint(hint_->cursor);
  else if (Message.WParam == kHideTimer) HideHint();
}

void TApplication::ActivateHint(TPoint CursorPos) {
  THintState* h = Hints();
  KillTimer(h->timer_window, kShowTimer);
  TControl* control = h->control;
  if (control == nullptr || !h->control_ref.Alive() || !show_hint_) return;
  THintInfo info;
  info.HintControl = control;
  info.HintWindowClass = hint_window_class_ != nullptr ? hint_window_class_ : &MakeDefaultHintWindow;
  info.HintPos = {CursorPos.X, CursorPos.Y + GetSystemMetrics(SM_CYCURSOR) * 3 / 4};
  info.HintMaxWidth = Screen != nullptr ? Screen->Width() : 1024;
  info.HintColor = hint_color_;
  info.CursorRect = control->ClientRect();
  info.CursorPos = control->ScreenToClient(CursorPos);
  info.HideTimeout = hint_hide_pause_;
  info.HintStr = GetShortHint(HintOf(control));
  bool can_show = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  if (!h->control_ref.Alive()) return;
  if (can_show) on_show_hint_(info.HintStr, can_show, info);
  h->cursor_rect = info.CursorRect;
  if (!can_show || info.HintStr.empty()) {
    HideHint();
    return;
  }
  if (h->window == nullptr || !TControlRef(h->window) || h->window_class != info.HintWindowClass) {
    if (h->window != nullptr && TControlRef(h->window)) delete h->window;
    h->window = info.HintWindowClass(this);
    h->window_class = info.HintWindowClass;
  }
  h->window->SetColor(info.HintColor);
  TRect r = h->window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
  OffsetRect(r, info.HintPos.X, info.HintPos.Y);
  h->window->ActivateHintData(r, info.HintStr, info.HintData);
  h->active = true;
  KillTimer(h->timer_window, kHideTimer);
  if (info.HideTimeout > 0) SetTimer(h->timer_window, kHideTimer, static_cast<Cardinal>(info.HideTimeout));
  if (info.ReshowTimeout > 0) SetTimer(h->timer_window, kShowTimer, static_cast<Cardinal>(info.ReshowTimeout));
}
