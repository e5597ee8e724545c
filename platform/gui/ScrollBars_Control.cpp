// TScrollBar: a scroll-bar control.
#include <QScrollBar>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/ScrollBars.h"
#include "platform/gui/ScrollBarsInternal.h"
#include "platform/rtl/TypInfo.h"

namespace {

const char* const kOutOfRange = "Scroll bar property out of range";

TScrollCode CodeOf(Word Code) {
  switch (Code) {
    case SB_LINEUP: return scLineUp;
    case SB_LINEDOWN: return scLineDown;
    case SB_PAGEUP: return scPageUp;
    case SB_PAGEDOWN: return scPageDown;
    case SB_THUMBPOSITION: return scPosition;
    case SB_THUMBTRACK: return scTrack;
    case SB_TOP: return scTop;
    case SB_BOTTOM: return scBottom;
    default: return scEndScroll;
  }
}

}  // namespace

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(TControlStyle{csFramed, csDoubleClicks});
  SetTabStop(true);
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

TScrollBar::~TScrollBar() { DestroyWidget(); }

QWidget* TScrollBar::CreateWidget(QWidget* ParentWidget) {
  return new QScrollBar(kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical, ParentWidget);
}

void TScrollBar::InitWidget() {
  TWinControl::InitWidget();
  driver_ = std::make_unique<TScrollBarDriver>(static_cast<QScrollBar*>(widget_), [this](Word code, int pos) {
    TWinControl* parent = Parent();
    HWND self = Handle();
    Cardinal msg = kind_ == sbHorizontal ? WM_HSCROLL : WM_VSCROLL;
    if (parent != nullptr && parent->HandleAllocated())
      SendMessage(parent->Handle(), msg, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(self));
    else
      Perform(CN_BASE + msg, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(self));
  });
  Push();
}

void TScrollBar::DestroyWidget() {
  driver_.reset();
  TWinControl::DestroyWidget();
}

void TScrollBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style |= kind_ == sbVertical ? 1u : 0u;  // SBS_VERT
}

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (Value == kind_) return;
  kind_ = Value;
  if (!IsLoading()) SetBounds(Left(), Top(), Height(), Width());
  if (widget_ != nullptr) static_cast<QScrollBar*>(widget_)->setOrientation(Value == sbHorizontal ? Qt::Horizontal
                                                                                                  : Qt::Vertical);
}

SCROLLINFO TScrollBar::CurrentInfo() const {
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = min_;
  info.nMax = max_;
  info.nPage = static_cast<UINT>(page_);
  info.nPos = position_;
  return info;
}

void TScrollBar::Push() {
  if (driver_ == nullptr) return;
  driver_->SetInfo(CurrentInfo());
  driver_->SetDisabledArrows(disabled_arrows_);
  driver_->SetSteps(small_change_, large_change_);
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
  if (AMax < AMin || static_cast<int64_t>(AMax) - AMin + 1 < page_) throw EInvalidOperation(kOutOfRange);
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_POS;
  info.nMin = AMin;
  info.nMax = AMax;
  info.nPos = APosition;
  Apply(info, true);
}

void TScrollBar::SetPageSize(int Value) {
  if (Value == page_) return;
  if (Value < 0 || Value > static_cast<int64_t>(max_) - min_ + 1) throw EInvalidOperation(kOutOfRange);
  SCROLLINFO info;
  info.fMask = SIF_PAGE;
  info.nPage = static_cast<UINT>(Value);
  Apply(info, true);
}

void TScrollBar::SetSmallChange(int Value) {
  small_change_ = std::max(Value, 1);
  Push();
}

void TScrollBar::SetLargeChange(int Value) {
  large_change_ = std::max(Value, 1);
  Push();
}

void TScrollBar::Apply(const SCROLLINFO& Info, bool Notify) {
  TScrollInfoState state;
  state.Set(CurrentInfo());
  state.Set(Info);
  bool moved = state.Pos() != position_;
  min_ = state.Min();
  max_ = state.Max();
  page_ = state.Page();
  position_ = state.Pos();
  Push();
  if (moved && Notify) Change();
}

void TScrollBar::Change() { on_change_(this); }

void TScrollBar::Scroll(TScrollCode ScrollCode, int& ScrollPos) { on_scroll_(this, ScrollCode, ScrollPos); }

void TScrollBar::Dispatch(TMessage& Message) {
  if (Message.Msg != CN_HSCROLL && Message.Msg != CN_VSCROLL) return TWinControl::Dispatch(Message);
  Word code = LOWORD(Message.WParam);
  int64_t pos = position_;
  switch (code) {
    case SB_LINEUP: pos -= small_change_; break;
    case SB_LINEDOWN: pos += small_change_; break;
    case SB_PAGEUP: pos -= large_change_; break;
    case SB_PAGEDOWN: pos += large_change_; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = driver_ != nullptr ? driver_->State().TrackPos() : HIWORD(Message.WParam); break;
    case SB_TOP: pos = min_; break;
    case SB_BOTTOM: pos = max_; break;
    default: break;
  }
  int last = page_ > 0 ? max_ - (page_ - 1) : max_;
  int scroll_pos = static_cast<int>(std::clamp<int64_t>(pos, min_, std::max(min_, last)));
  Scroll(CodeOf(code), scroll_pos);
  SetPosition(scroll_pos);
  Message.Result = 0;
}

void TScrollBar::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case SBM_SETSCROLLINFO:
      if (Message.LParam != 0) Apply(*reinterpret_cast<const SCROLLINFO*>(Message.LParam), false);
      Message.Result = position_;
      return;
    case SBM_GETSCROLLINFO: {
      auto* info = reinterpret_cast<SCROLLINFO*>(Message.LParam);
      if (info == nullptr) {
        Message.Result = 0;
        return;
      }
      TScrollInfoState state;
      state.Set(CurrentInfo());
      Message.Result = (driver_ != nullptr ? driver_->State() : state).Get(*info) ? 1 : 0;
      return;
    }
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      return;
    case SBM_ENABLE_ARROWS: {
      UINT arrows = static_cast<UINT>(Message.WParam) & ESB_DISABLE_BOTH;
      Message.Result = arrows != disabled_arrows_ ? 1 : 0;
      disabled_arrows_ = arrows;
      Push();
      return;
    }
    default:
      TWinControl::DefaultHandler(Message);
  }
}

void RegisterScrollBarClasses() {
  RegisterClass<TScrollBar, TWinControl>("TScrollBar")
      .Prop("Kind", &TScrollBar::Kind, &TScrollBar::SetKind, sbHorizontal)
      .Prop("LargeChange", &TScrollBar::LargeChange, &TScrollBar::SetLargeChange, 1)
      .Prop("Max", &TScrollBar::Max, &TScrollBar::SetMax, 100)
      .Prop("Min", &TScrollBar::Min, &TScrollBar::SetMin, 0)
      .Prop("PageSize", &TScrollBar::PageSize, &TScrollBar::SetPageSize, 0)
      .Prop("Position", &TScrollBar::Position, &TScrollBar::SetPosition, 0)
      .Prop("SmallChange", &TScrollBar::SmallChange, &TScrollBar::SetSmallChange, 1);
}
