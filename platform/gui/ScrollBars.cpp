// Scroll info arithmetic, window scroll bars and ScrollWindowEx.
#include "platform/gui/ScrollBars.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <QWidget>
#include <unordered_map>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/ScrollBarsInternal.h"

// ---------------------------------------------------------------------------
// TScrollInfoState

int TScrollInfoState::MaxPos() const { return page_ > 0 ? max_ - (page_ - 1) : max_; }

int TScrollInfoState::Set(const SCROLLINFO& Info) {
  if (Info.fMask & SIF_PAGE) page_ = static_cast<int>(std::min<UINT>(Info.nPage, INT32_MAX));
  if (Info.fMask & SIF_RANGE) {
    bool valid = Info.nMin <= Info.nMax && static_cast<int64_t>(Info.nMax) - Info.nMin < INT32_MAX;
    min_ = valid ? Info.nMin : 0;
    max_ = valid ? Info.nMax : 0;
  }
  int64_t range = static_cast<int64_t>(max_) - min_ + 1;
  if (page_ > range) page_ = static_cast<int>(range);
  if (Info.fMask & SIF_POS) pos_ = Info.nPos;
  pos_ = std::clamp(pos_, min_, std::max(min_, MaxPos()));
  track_pos_ = std::clamp(track_pos_, min_, std::max(min_, MaxPos()));
  return pos_;
}

bool TScrollInfoState::Get(SCROLLINFO& Info) const {
  if ((Info.fMask & SIF_ALL) == 0) return false;
  if (Info.fMask & SIF_RANGE) {
    Info.nMin = min_;
    Info.nMax = max_;
  }
  if (Info.fMask & SIF_PAGE) Info.nPage = static_cast<UINT>(page_);
  if (Info.fMask & SIF_POS) Info.nPos = pos_;
  if (Info.fMask & SIF_TRACKPOS) Info.nTrackPos = TrackPos();
  return true;
}

void TScrollInfoState::BeginTrack() {
  tracking_ = true;
  track_pos_ = pos_;
}

int TScrollInfoState::Track(int Pos) {
  track_pos_ = std::clamp(Pos, min_, std::max(min_, MaxPos()));
  return track_pos_;
}

// ---------------------------------------------------------------------------
// TScrollBarDriver

namespace {

// Line steps towards a disabled arrow are dropped.
bool ArrowDisabled(int Action, UINT Disabled) {
  if (Action == QAbstractSlider::SliderSingleStepSub) return (Disabled & ESB_DISABLE_LTUP) != 0;
  if (Action == QAbstractSlider::SliderSingleStepAdd) return (Disabled & ESB_DISABLE_RTDN) != 0;
  return false;
}

Word ActionCode(int Action) {
  switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: return SB_LINEDOWN;
    case QAbstractSlider::SliderSingleStepSub: return SB_LINEUP;
    case QAbstractSlider::SliderPageStepAdd: return SB_PAGEDOWN;
    case QAbstractSlider::SliderPageStepSub: return SB_PAGEUP;
    case QAbstractSlider::SliderToMinimum: return SB_TOP;
    case QAbstractSlider::SliderToMaximum: return SB_BOTTOM;
    default: return SB_THUMBPOSITION;
  }
}

}  // namespace

struct TScrollBarDriver::Impl : QObject {
  Impl(TScrollBarDriver* Owner, QScrollBar* Bar, TNotify Notify)
      : owner(Owner), bar(Bar), notify(std::move(Notify)) {}

  bool eventFilter(QObject*, QEvent* Event) override {
    switch (Event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        stepped = false;
        return false;
      case QEvent::MouseButtonRelease:
        // Line and page steps end with the button; a thumb drag ends in sliderReleased.
        if (stepped && !bar->isSliderDown()) {
          stepped = false;
          Send(SB_ENDSCROLL, owner->state_.Pos());
        }
        return false;
      default:
        return false;
    }
  }

  void Send(Word Code, int Pos) {
    QPointer<QScrollBar> guard(bar);
    try {
      notify(Code, Pos);
    } catch (...) {
      HandleEventException(nullptr);
    }
    (void)guard;
  }

  void Action(int Action) {
    if (bar->isSliderDown() && Action == QAbstractSlider::SliderMove) return;  // sliderMoved reports drags
    QPointer<QScrollBar> guard(bar);
    if (!ArrowDisabled(Action, owner->disabled_arrows_)) {
      Word code = ActionCode(Action);
      if (code == SB_THUMBPOSITION) {
        // A jump of the thumb (a click that places it): one position, then the end.
        int pos = owner->state_.Pos();
        owner->state_.BeginTrack();
        pos = owner->state_.Track(bar->sliderPosition());
        owner->state_.EndTrack();
        Send(SB_THUMBPOSITION, pos);
        if (guard) Send(SB_ENDSCROLL, owner->state_.Pos());
      } else {
        stepped = true;
        Send(code, owner->state_.Pos());
      }
    }
    // The bar shows what its owner set, not what Qt computed.
    if (guard) bar->setSliderPosition(owner->state_.Pos());
  }

  TScrollBarDriver* owner;
  QScrollBar* bar;
  TNotify notify;
  bool stepped = false;
  QPointer<QScrollBar> alive{bar};
};

TScrollBarDriver::TScrollBarDriver(QScrollBar* Bar, TNotify Notify)
    : impl_(std::make_unique<Impl>(this, Bar, std::move(Notify))) {
  Bar->setTracking(false);
  Bar->setSingleStep(1);
  Bar->installEventFilter(impl_.get());
  Impl* impl = impl_.get();
  QObject::connect(Bar, &QAbstractSlider::actionTriggered, impl, [impl](int a) { impl->Action(a); });
  QObject::connect(Bar, &QAbstractSlider::sliderPressed, impl, [this] { state_.BeginTrack(); });
  QObject::connect(Bar, &QAbstractSlider::sliderMoved, impl, [this, impl](int v) {
    impl->Send(SB_THUMBTRACK, state_.Track(v));
  });
  QObject::connect(Bar, &QAbstractSlider::sliderReleased, impl, [this, impl] {
    QPointer<QScrollBar> guard(impl->bar);
    int pos = state_.TrackPos();
    impl->Send(SB_THUMBPOSITION, pos);
    state_.EndTrack();
    if (guard) impl->Send(SB_ENDSCROLL, state_.Pos());
    if (guard) Sync();
  });
  Sync();
}

TScrollBarDriver::~TScrollBarDriver() {
  if (impl_->alive) impl_->bar->removeEventFilter(impl_.get());
}

QScrollBar* TScrollBarDriver::Bar() const { return impl_->alive ? impl_->bar : nullptr; }

int TScrollBarDriver::SetInfo(const SCROLLINFO& Info) {
  int pos = state_.Set(Info);
  Sync();
  return pos;
}

bool TScrollBarDriver::SetDisabledArrows(UINT Arrows) {
  Arrows &= ESB_DISABLE_BOTH;
  if (Arrows == disabled_arrows_) return false;
  disabled_arrows_ = Arrows;
  Sync();
  return true;
}

void TScrollBarDriver::SetSteps(int Small, int Large) {
  if (QScrollBar* bar = Bar()) {
    bar->setSingleStep(std::max(Small, 1));
    bar->setProperty("largeChange", std::max(Large, 1));
  }
}

void TScrollBarDriver::Sync() {
  QScrollBar* bar = Bar();
  if (bar == nullptr) return;
  QSignalBlocker block(bar);
  bar->setRange(state_.Min(), std::max(state_.Min(), state_.MaxPos()));
  QVariant large = bar->property("largeChange");
  bar->setPageStep(state_.Page() > 0 ? state_.Page() : (large.isValid() ? large.toInt() : 0));
  if (!bar->isSliderDown()) bar->setValue(state_.Pos());
  bar->setEnabled(disabled_arrows_ != ESB_DISABLE_BOTH);
}

// ---------------------------------------------------------------------------
// Window scroll bars

namespace {

// The two bars of one window, a child object of its widget (gone with it).
class WindowBars : public QObject {
 public:
  WindowBars(TWinControl* Control, QWidget* Widget) : QObject(Widget), control_(Control), widget_(Widget) {
    Registry()[Widget] = this;
    for (int k : {SB_HORZ, SB_VERT}) {
      auto* bar = new QScrollBar(k == SB_HORZ ? Qt::Horizontal : Qt::Vertical, Widget);
      bar->setFocusPolicy(Qt::NoFocus);
      bar->hide();
      bar->installEventFilter(this);
      Cardinal msg = k == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
      drivers_[k] = std::make_unique<TScrollBarDriver>(bar, [Control, msg, ref = TControlRef(Control)](Word code,
                                                                                                        int pos) {
        // The widget may outlive its control for a moment (deleted after the event).
        if (ref && Control->HandleAllocated()) SendMessage(Control->Handle(), msg, MAKEWPARAM(code, pos), 0);
      });
    }
    Widget->installEventFilter(this);
  }
  ~WindowBars() override { Registry().erase(widget_); }

  static WindowBars* Find(const QWidget* Widget) {
    if (Widget == nullptr) return nullptr;
    auto it = Registry().find(Widget);
    return it == Registry().end() ? nullptr : it->second;
  }
  static WindowBars* Get(TWinControl* Control) {
    Control->HandleNeeded();
    QWidget* w = Control->Widget();
    if (WindowBars* bars = Find(w)) return bars;
    return new WindowBars(Control, w);
  }

  TScrollBarDriver& Driver(int Bar) { return *drivers_[Bar]; }
  bool Shown(int Bar) const { return shown_[Bar]; }
  bool Known(int Bar) const { return known_[Bar]; }
  void MakeKnown(int Bar) { known_[Bar] = true; }

  void Show(int Bar, bool Value) {
    known_[Bar] = true;
    if (shown_[Bar] == Value) return;
    shown_[Bar] = Value;
    Place();
    TWindowScrollBars::ClientChanged(control_);
  }

  void Place() {
    int ext = GetSystemMetrics(SM_CXVSCROLL);
    int w = widget_->width(), h = widget_->height();
    QScrollBar* horz = drivers_[SB_HORZ]->Bar();
    QScrollBar* vert = drivers_[SB_VERT]->Bar();
    if (vert != nullptr) {
      vert->setGeometry(w - ext, 0, ext, std::max(0, h - (shown_[SB_HORZ] ? ext : 0)));
      vert->setVisible(shown_[SB_VERT]);
      vert->raise();
    }
    if (horz != nullptr) {
      horz->setGeometry(0, h - ext, std::max(0, w - (shown_[SB_VERT] ? ext : 0)), ext);
      horz->setVisible(shown_[SB_HORZ]);
      horz->raise();
    }
  }

  void Inset(TRect& Client) const {
    int ext = GetSystemMetrics(SM_CXVSCROLL);
    if (shown_[SB_VERT]) Client.Right = std::max(Client.Left, Client.Right - ext);
    if (shown_[SB_HORZ]) Client.Bottom = std::max(Client.Top, Client.Bottom - ext);
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == widget_) {
      if (Event->type() == QEvent::Resize) Place();
      else if (Event->type() == QEvent::ChildAdded) {
        for (auto& d : drivers_) {
          if (QScrollBar* b = d->Bar()) b->raise();
        }
      }
      return false;
    }
    if (Event->type() == QEvent::Wheel) {
      // A wheel over a window's bar goes to the window.
      auto* wheel = static_cast<QWheelEvent*>(Event);
      QPointF local = widget_->mapFromGlobal(wheel->globalPosition());
      QWheelEvent copy(local, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                       wheel->modifiers(), wheel->phase(), wheel->inverted());
      QCoreApplication::sendEvent(widget_, &copy);
      return true;
    }
    return false;
  }

 private:
  static std::unordered_map<const QWidget*, WindowBars*>& Registry() {
    static std::unordered_map<const QWidget*, WindowBars*> map;
    return map;
  }

  TWinControl* control_;
  QWidget* widget_;
  std::unique_ptr<TScrollBarDriver> drivers_[2];
  bool shown_[2] = {false, false};
  bool known_[2] = {false, false};
};

TWinControl* WindowOf(HWND Wnd) { return Wnd != nullptr ? FindControl(Wnd) : nullptr; }

}  // namespace

void TWindowScrollBars::ClientChanged(TWinControl* Control) {
  Control->Realign();
  Control->Resize();
}

void TWindowScrollBars::WindowCreated(TWinControl* Control) {
  TCreateParams params;
  Control->CreateParams(params);
  if ((params.Style & (WS_HSCROLL | WS_VSCROLL)) == 0) return;
  WindowBars* bars = WindowBars::Get(Control);
  if (params.Style & WS_HSCROLL) bars->Show(SB_HORZ, true);
  if (params.Style & WS_VSCROLL) bars->Show(SB_VERT, true);
}

void TWindowScrollBars::Inset(const TWinControl* Control, TRect& Client) {
  if (const WindowBars* bars = WindowBars::Find(Control->Widget())) bars->Inset(Client);
}

int32_t TWindowScrollBars::Style(TWinControl* Control, int Index) {
  TCreateParams params;
  Control->CreateParams(params);
  if (Index == GWL_EXSTYLE) return static_cast<int32_t>(params.ExStyle);
  if (Index != GWL_STYLE) return 0;
  uint32_t style = params.Style & ~(WS_HSCROLL | WS_VSCROLL | WS_VISIBLE | WS_DISABLED);
  if (const WindowBars* bars = WindowBars::Find(Control->Widget())) {
    if (bars->Shown(SB_HORZ)) style |= WS_HSCROLL;
    if (bars->Shown(SB_VERT)) style |= WS_VSCROLL;
  }
  if (Control->Visible()) style |= WS_VISIBLE;
  if (!Control->Enabled()) style |= WS_DISABLED;
  return static_cast<int32_t>(style);
}


// ---------------------------------------------------------------------------
// The calls

int SetScrollInfo(HWND Wnd, int Bar, const SCROLLINFO& Info, bool Redraw) {
  if (Bar == SB_CTL) {
    return static_cast<int>(
        SendMessage(Wnd, SBM_SETSCROLLINFO, Redraw ? 1 : 0, reinterpret_cast<LPARAM>(&Info)));
  }
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr || (Bar != SB_HORZ && Bar != SB_VERT)) return 0;
  WindowBars* bars = WindowBars::Get(control);
  TScrollBarDriver& driver = bars->Driver(Bar);
  int pos = driver.SetInfo(Info);
  bars->MakeKnown(Bar);
  if (Info.fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) {
    if (!driver.State().CanScroll()) {
      if (Info.fMask & SIF_DISABLENOSCROLL) {
        driver.SetDisabledArrows(ESB_DISABLE_BOTH);
        bars->Show(Bar, true);
      } else {
        bars->Show(Bar, false);
      }
    } else if ((Info.fMask & SIF_ALL) != SIF_PAGE) {
      driver.SetDisabledArrows(ESB_ENABLE_BOTH);
      bars->Show(Bar, true);
    }
  }
  return pos;
}

bool GetScrollInfo(HWND Wnd, int Bar, SCROLLINFO& Info) {
  if (Bar == SB_CTL) return SendMessage(Wnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&Info)) != 0;
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr || (Bar != SB_HORZ && Bar != SB_VERT)) return false;
  WindowBars* bars = WindowBars::Find(control->Widget());
  if (bars == nullptr || !bars->Known(Bar)) return false;
  return bars->Driver(Bar).State().Get(Info);
}

int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw) {
  SCROLLINFO info;
  info.fMask = SIF_POS;
  int old = GetScrollInfo(Wnd, Bar, info) ? info.nPos : 0;
  info.nPos = Pos;
  SetScrollInfo(Wnd, Bar, info, Redraw);
  return old;
}

int GetScrollPos(HWND Wnd, int Bar) {
  SCROLLINFO info;
  info.fMask = SIF_POS;
  return GetScrollInfo(Wnd, Bar, info) ? info.nPos : 0;
}

bool ShowScrollBar(HWND Wnd, int Bar, bool Show) {
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr) return false;
  if (Bar == SB_CTL) {
    control->SetVisible(Show);
    return true;
  }
  if (Bar != SB_HORZ && Bar != SB_VERT && Bar != SB_BOTH) return false;
  WindowBars* bars = WindowBars::Get(control);
  if (Bar != SB_VERT) bars->Show(SB_HORZ, Show);
  if (Bar != SB_HORZ) bars->Show(SB_VERT, Show);
  return true;
}

bool EnableScrollBar(HWND Wnd, UINT Bar, UINT Arrows) {
  if (Bar == SB_CTL) return SendMessage(Wnd, SBM_ENABLE_ARROWS, Arrows, 0) != 0;
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr || Bar > SB_BOTH) return false;
  WindowBars* bars = WindowBars::Get(control);
  bool changed = false;
  if (Bar != SB_VERT) changed |= bars->Driver(SB_HORZ).SetDisabledArrows(Arrows);
  if (Bar != SB_HORZ) changed |= bars->Driver(SB_VERT).SetDisabledArrows(Arrows);
  return changed;
}

int ScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* Scroll, const TRect* Clip, HRGN UpdateRgn,
                   TRect* UpdateRect, UINT Flags) {
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr) return ERROR;
  TRect area = control->ClientRect();
  if (Scroll != nullptr && !IntersectRect(area, area, *Scroll)) area = {};
  if (Clip != nullptr && !IntersectRect(area, area, *Clip)) area = {};
  TRect moved = area;
  OffsetRect(moved, DX, DY);
  if (!IntersectRect(moved, moved, area)) moved = {};
  HRGN uncovered = CreateRectRgnIndirect(area);
  HRGN kept = CreateRectRgnIndirect(moved);
  int kind = CombineRgn(uncovered, uncovered, kept, RGN_DIFF);
  DeleteObject(kept);
  if (UpdateRgn != nullptr) CombineRgn(UpdateRgn, uncovered, nullptr, RGN_COPY);
  TRect box;
  GetRgnBox(uncovered, &box);
  DeleteObject(uncovered);
  if (UpdateRect != nullptr) *UpdateRect = box;
  if (!area.IsEmpty() && (DX != 0 || DY != 0)) {
    control->HandleNeeded();
    control->Widget()->scroll(DX, DY, QRect(area.Left, area.Top, area.Width(), area.Height()));
  }
  if (Flags & SW_SCROLLCHILDREN) {
    std::vector<TControl*> children;
    for (int i = 0; i < control->ControlCount(); ++i) children.push_back(control->Controls(i));
    for (TControl* c : children) {
      TRect meet;
      if (Scroll != nullptr && !IntersectRect(meet, c->BoundsRect(), *Scroll)) continue;
      c->SetBounds(c->Left() + DX, c->Top() + DY, c->Width(), c->Height());
    }
  }
  return kind;
}

int32_t GetWindowLong(HWND Wnd, int Index) {
  TWinControl* control = WindowOf(Wnd);
  return control != nullptr ? TWindowScrollBars::Style(control, Index) : 0;
}

bool GetClientRect(HWND Wnd, TRect& Rect) {
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr) return false;
  Rect = control->ClientRect();
  return true;
}

bool InvalidateRect(HWND Wnd, const TRect* Rect, bool) {
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr) return false;
  if (control->Widget() == nullptr) return true;
  if (Rect == nullptr) control->Widget()->update();
  else control->Widget()->update(QRect(Rect->Left, Rect->Top, Rect->Width(), Rect->Height()));
  return true;
}

bool ValidateRect(HWND Wnd, const TRect*) { return WindowOf(Wnd) != nullptr; }

bool UpdateWindow(HWND Wnd) {
  TWinControl* control = WindowOf(Wnd);
  if (control == nullptr) return false;
  control->Update();
  return true;
}
