#include "platform/gui/Controls.h"
#include "platform/gui/Cursors.h"
#include "platform/gui/Menus.h"
#include "platform/gui/ScrollBars.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <unordered_map>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/UnitInit.h"

namespace {

std::unordered_map<QWidget*, TControl*>& WidgetMap() {
  static std::unordered_map<QWidget*, TControl*> map;
  return map;
}

// Widgets that carry a control's input besides its own (viewports).
std::unordered_map<QWidget*, TControl*>& InputWidgetMap() {
  static std::unordered_map<QWidget*, TControl*> map;
  return map;
}

std::unordered_map<HWND, TWinControl*>& HandleMap() {
  static std::unordered_map<HWND, TWinControl*> map;
  return map;
}

// Live controls with the serial number each got when made.
std::unordered_map<const TControl*, uint64_t>& LiveControls() {
  static std::unordered_map<const TControl*, uint64_t> map;
  return map;
}
uint64_t g_control_serial = 0;

int g_event_depth = 0;

const TIdentMapEntry kCursors[] = {
    {crDefault, "crDefault"},   {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},       {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},     {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},   {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},     {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"}, {crNo, "crNo"},
    {crAppStart, "crAppStart"}, {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};

bool IsInputEvent(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Enter:
    case QEvent::Leave:
      return true;
    default:
      return false;
  }
}

// Routes the events of every control's widget to the control: input as
// window messages (Controls_Input.cpp), window-system changes of top-level
// windows to the control's entry points.
class ControlEvents : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (IsNativeDelivery(event)) return !IsNativeTarget(event, widget);
    TControl* control = FindInputControl(widget);
    if (control == nullptr) return false;
    TEventScope scope;
    TControlRef ref(control);
    try {
      if (IsInputEvent(event->type())) return DeliverInputEvent(widget, control, event);
      return widget == control->Widget() && Handle(widget, control, event);
    } catch (...) {
      HandleEventException(ref ? control : nullptr);
      return true;
    }
  }

 private:
  static bool Handle(QWidget* widget, TControl* control, QEvent* event) {
    switch (event->type()) {
      case QEvent::Resize:
        if (widget->isWindow()) {
          QSize s = widget->size();
          control->WidgetResized(s.width(), s.height());
        }
        return false;
      case QEvent::Move:
        if (widget->isWindow()) control->WidgetMoved(widget->x(), widget->y());
        return false;
      case QEvent::WindowActivate:
      case QEvent::WindowDeactivate:
        // A window of its own learns that it became (or stopped being) the
        // active window.
        if (auto* win = dynamic_cast<TWinControl*>(control); win != nullptr && win->Parent() == nullptr)
          win->Perform(WM_ACTIVATE, event->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, 0);
        return false;
      case QEvent::Close:
        if (!control->WidgetCloseRequested()) {
          event->ignore();
          return true;
        }
        return false;
      default:
        return false;
    }
  }
};

ControlEvents* Filter() {
  static ControlEvents* filter = nullptr;
  if (filter == nullptr) {
    filter = new ControlEvents;
    filter->setParent(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { filter = nullptr; });
  }
  return filter;
}

// The widget of custom-drawn controls: paints through the control.
class PaintWidget : public QWidget {
 public:
  PaintWidget(QWidget* parent, std::function<void(HDC)> paint) : QWidget(parent), paint_(std::move(paint)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    TEventScope scope;
    QPainter painter(this);
    HDC dc = CreatePainterDC(&painter);
    try {
      paint_(dc);
    } catch (...) {
      DeletePainterDC(dc);
      HandleEventException(FindControl(this));
      return;
    }
    DeletePainterDC(dc);
  }

 private:
  std::function<void(HDC)> paint_;
};

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QWidget* CreatePaintWidget(QWidget* ParentWidget, std::function<void(HDC)> Paint) {
  return new PaintWidget(ParentWidget, std::move(Paint));
}

std::span<const TIdentMapEntry> CursorIdents() { return kCursors; }

TEventScope::TEventScope() { ++g_event_depth; }
TEventScope::~TEventScope() { --g_event_depth; }
bool TEventScope::Inside() { return g_event_depth > 0; }

void AttachInputWidgets(QWidget* Widget, TControl* Control) {
  auto track = [](QWidget* w) {
    w->installEventFilter(Filter());
    w->setMouseTracking(true);
    w->setAttribute(Qt::WA_NoMousePropagation);  // as windows do: a child's mouse input stays its own
  };
  track(Widget);
  if (auto* area = qobject_cast<QAbstractScrollArea*>(Widget)) {
    track(area->viewport());
    InputWidgetMap()[area->viewport()] = Control;
  }
}

void ForgetInputWidgets(QWidget* Widget) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(Widget)) {
    area->viewport()->removeEventFilter(Filter());
    InputWidgetMap().erase(area->viewport());
  }
}

TControl* FindInputControl(QWidget* Widget) {
  if (TControl* c = FindControl(Widget)) return c;
  auto it = InputWidgetMap().find(Widget);
  return it == InputWidgetMap().end() ? nullptr : it->second;
}

TControlRef::TControlRef(const TControl* Control) : control_(Control), serial_(0) {
  auto it = LiveControls().find(Control);
  if (it != LiveControls().end()) serial_ = it->second;
}

bool TControlRef::Alive() const {
  if (control_ == nullptr || serial_ == 0) return false;
  auto it = LiveControls().find(control_);
  return it != LiveControls().end() && it->second == serial_;
}

void DisposeWidget(QWidget* Widget) {
  if (Widget == nullptr) return;
  ForgetInputWidgets(Widget);
  Widget->removeEventFilter(Filter());
  QObject::disconnect(Widget, nullptr, nullptr, nullptr);
  Widget->hide();
  if (TEventScope::Inside()) {
    Widget->setParent(nullptr);
    Widget->deleteLater();
  } else {
    delete Widget;
  }
}

int CursorShape(TCursor Cursor) {
  switch (Cursor) {
    case crNone: return Qt::BlankCursor;
    case crArrow: return Qt::ArrowCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag: return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return -1;
  }
}

TControl* FindControl(QWidget* Widget) {
  auto& map = WidgetMap();
  auto it = map.find(Widget);
  return it == map.end() ? nullptr : it->second;
}

TWinControl* FindControl(HWND Handle) {
  auto it = HandleMap().find(Handle);
  return it == HandleMap().end() ? nullptr : it->second;
}

TPoint GetCursorPos() {
  if (TPoint event; PointerEventPos(event)) return event;
  QPoint p = QCursor::pos();
  return TPoint{p.x(), p.y()};
}

void SetCursorPos(TPoint P) { QCursor::setPos(P.X, P.Y); }

HWND WindowFromPoint(TPoint P) {
  for (QWidget* w = QApplication::widgetAt(P.X, P.Y); w != nullptr; w = w->parentWidget()) {
    if (auto* win = dynamic_cast<TWinControl*>(FindControl(w))) return win->Handle();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), font_(std::make_unique<TFont>()), constraints_(std::make_unique<TSizeConstraints>()) {
  font_->SetOnChange({this, &TControl::FontChangedHandler});
  constraints_->SetOnChange({this, [this](TObject*) { SetBounds(left_, top_, width_, height_); }});
  LiveControls()[this] = ++g_control_serial;
}

TControl::~TControl() {
  ControlGone(this);
  DockControlGone(this);
  DestroyWidget();
  if (parent_ != nullptr) parent_->RemoveControl(this);
  LiveControls().erase(this);
}

void TControl::BeforeDestruction() {
  ControlGone(this);
  DestroyWidget();
  if (parent_ != nullptr) parent_->RemoveControl(this);
  TComponent::BeforeDestruction();
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (AParent != nullptr) AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* win = dynamic_cast<TWinControl*>(Value)) SetParent(win);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  SetBoundsInternal(ALeft, ATop, AWidth, AHeight, false);
}

void TControl::SetBoundsInternal(int ALeft, int ATop, int AWidth, int AHeight, bool Aligning) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  constraints_->Apply(AWidth, AHeight);
  if (AWidth != width_ || AHeight != height_) {
    int w = AWidth, h = AHeight;
    if (CanResize(w, h)) {
      AWidth = std::max(w, 0);
      AHeight = std::max(h, 0);
    } else {
      AWidth = width_;
      AHeight = height_;
    }
  }
  bool resized = AWidth != width_ || AHeight != height_;
  bool moved = ALeft != left_ || ATop != top_;
  if (auto* win = dynamic_cast<TWinControl*>(this); (resized || moved) && win != nullptr && win->HandleAllocated()) {
    // The window may change its new place and size before it takes them.
    WINDOWPOS pos{win->Handle(), nullptr, ALeft, ATop, AWidth, AHeight,
                  SWP_NOZORDER | SWP_NOACTIVATE | (resized ? 0u : SWP_NOSIZE) | (moved ? 0u : SWP_NOMOVE)};
    Perform(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if ((pos.flags & SWP_NOMOVE) == 0) ALeft = pos.x, ATop = pos.y;
    if ((pos.flags & SWP_NOSIZE) == 0) AWidth = std::max(pos.cx, 0), AHeight = std::max(pos.cy, 0);
    resized = AWidth != width_ || AHeight != height_;
    moved = ALeft != left_ || ATop != top_;
  }
  if (resized || moved) {
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    ApplyBounds();
    if (resized) Resize();
  }
  if (!Aligning) {
    UpdateAnchorRules();
    if ((resized || moved) && align_ != alNone) RequestAlign();
    if ((resized || moved) && parent_ != nullptr) parent_->ControlsChanged();
  }
}

void TControl::ApplyBounds() {
  if (widget_ == nullptr) return;
  if (widget_->isWindow()) {
    widget_->move(left_, top_);
    widget_->resize(width_, height_);
  } else {
    widget_->setGeometry(left_, top_, width_, height_);
  }
}

void TControl::SetClientWidth(int Value) {
  SetWidth(width_ - ClientWidth() + Value);
}

void TControl::SetClientHeight(int Value) {
  SetHeight(height_ - ClientHeight() + Value);
}

TPoint TControl::ClientToScreen(TPoint P) const {
  if (widget_ != nullptr) {
    QPoint g = widget_->mapToGlobal(QPoint(P.X, P.Y));
    return {g.x(), g.y()};
  }
  TPoint origin = parent_ != nullptr ? parent_->ClientToScreen({0, 0}) : TPoint{};
  return {origin.X + left_ + P.X, origin.Y + top_ + P.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const {
  TPoint origin = ClientToScreen({0, 0});
  return {P.X - origin.X, P.Y - origin.Y};
}

void TControl::SetAlign(TAlign Value) {
  if (Value == align_) return;
  align_ = Value;
  UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (Value == anchors_) return;
  anchors_ = Value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (parent_ == nullptr || (parent_ != nullptr && parent_->aligning_)) {
    if (parent_ == nullptr) anchor_base_.valid = false;
    return;
  }
  anchor_base_ = {true, left_, top_, width_, height_, parent_->ClientWidth(), parent_->ClientHeight()};
}

void TControl::AnchorTo(int ParentWidth, int ParentHeight) {
  const AnchorBase& b = anchor_base_;
  if (!b.valid) return;
  int l = b.left, t = b.top, w = b.width, h = b.height;
  int dx = ParentWidth - b.parentWidth, dy = ParentHeight - b.parentHeight;
  bool left = anchors_.Contains(akLeft), right = anchors_.Contains(akRight);
  bool top = anchors_.Contains(akTop), bottom = anchors_.Contains(akBottom);
  if (left && right) w = b.width + dx;
  else if (right) l = b.left + dx;
  else if (!left) l = b.left + dx / 2;
  if (top && bottom) h = b.height + dy;
  else if (bottom) t = b.top + dy;
  else if (!top) t = b.top + dy / 2;
  SetBoundsInternal(l, t, w, h, true);
}

void TControl::RequestAlign() {
  if (parent_ != nullptr) parent_->Realign();
}

void TControl::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  VisibleChanged();
  if (align_ != alNone) RequestAlign();
  if (parent_ != nullptr) parent_->ControlsChanged();
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
}

void TControl::VisibleChanged() {
  if (widget_ != nullptr) widget_->setVisible(visible_);
}

bool TControl::Showing() const {
  if (parent_ == nullptr) return visible_ && widget_ != nullptr && widget_->isVisible();
  return visible_ && parent_->Showing();
}

void TControl::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  if (widget_ != nullptr) widget_->setEnabled(Value);
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
  parent_color_ = false;
  if (Value == color_) return;
  color_ = Value;
  ColorChanged();
}

void TControl::SetParentColor(bool Value) {
  if (Value == parent_color_) return;
  parent_color_ = Value;
  if (Value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parent_color_ || parent_ == nullptr || parent_->color_ == color_) return;
  color_ = parent_->color_;
  ColorChanged();
}

void TControl::ColorChanged() {
  if (widget_ != nullptr && (FillsBackground() || ColorIsBase()))
    ApplyWidgetColor(widget_, color_, ColorIsBase(), FillsBackground());
  Invalidate();
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool Value) {
  if (Value == parent_font_) return;
  parent_font_ = Value;
  if (Value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parent_font_ || parent_ == nullptr) return;
  font_from_parent_ = true;
  try {
    font_->Assign(parent_->Font());
  } catch (...) {
    font_from_parent_ = false;
    throw;
  }
  font_from_parent_ = false;
}

void TControl::FontChangedHandler(TObject*) {
  if (!font_from_parent_) parent_font_ = false;
  FontChanged();
}

void TControl::FontChanged() {
  if (widget_ != nullptr) ApplyWidgetFont(widget_, *font_);
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetText(const String& Value) {
  if (Value == text_) return;
  text_ = Value;
  TextChanged();
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::TextChanged() {
  if (widget_ != nullptr && widget_->isWindow()) widget_->setWindowTitle(ToQ(text_));
}

// Hints are shown by the application's hint machinery (Hints.h).
void TControl::SetHint(const String& Value) { hint_ = Value; }

void TControl::SetShowHint(bool Value) {
  show_hint_ = Value;
  parent_show_hint_ = false;
}

void TControl::SetCursor(TCursor Value) {
  cursor_ = Value;
  if (widget_ != nullptr) ApplyControlCursor(widget_, Value);
}

void TControl::Click() {
  if (action_ != nullptr && (!on_click_ || on_click_ == action_->OnExecute())) {
    TBasicAction* action = action_;
    action->SetActionComponent(this);
    action->Execute();
    action->SetActionComponent(nullptr);
    return;
  }
  on_click_(this);
}

void TControl::Invalidate() {
  if (widget_ != nullptr) widget_->update();
}

void TControl::Repaint() {
  if (widget_ != nullptr) widget_->repaint();
}

void TControl::Update() {
  if (widget_ != nullptr) widget_->repaint();
}

void TControl::BringToFront() {
  if (widget_ != nullptr) widget_->raise();
}

LRESULT TControl::Perform(Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  Perform(m);
  return m.Result;
}

void TControl::Perform(TMessage& Message) {
  if (!window_proc_.Assigned()) {
    WndProc(Message);
    return;
  }
  TWndMethod proc = window_proc_;  // the procedure may replace itself
  proc(Message);
}

TWndMethod TControl::WindowProc() const {
  if (window_proc_.Assigned()) return window_proc_;
  auto* self = const_cast<TControl*>(this);
  return {self, [self](TMessage& m) { self->WndProc(m); }};
}

void TControl::WndProc(TMessage& Message) {
  if (Application != nullptr &&
      ((Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) || Message.Msg == CM_MOUSELEAVE))
    Application->HintMouseMessage(this, Message);
  if (DragMessage(Message)) return;
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) {
    if (!control_style_.Contains(csDoubleClicks)) {
      switch (Message.Msg) {
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
          Message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
          break;
        default:
          break;
      }
    }
    if (Message.Msg == WM_LBUTTONDOWN && drag_mode_ == dmAutomatic && !IsDesigning()) {
      BeginAutoDrag(ClientToScreen({GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)}));
      return;
    }
    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) control_state_.Include(csLButtonDown);
    else if (Message.Msg == WM_LBUTTONUP) control_state_.Exclude(csLButtonDown);
  }
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN: WMButtonDown(Message, mbLeft, {}); return;
    case WM_LBUTTONDBLCLK: WMButtonDown(Message, mbLeft, {ssDouble}); return;
    case WM_RBUTTONDOWN: WMButtonDown(Message, mbRight, {}); return;
    case WM_RBUTTONDBLCLK: WMButtonDown(Message, mbRight, {ssDouble}); return;
    case WM_MBUTTONDOWN: WMButtonDown(Message, mbMiddle, {}); return;
    case WM_MBUTTONDBLCLK: WMButtonDown(Message, mbMiddle, {ssDouble}); return;
    case WM_LBUTTONUP: WMButtonUp(Message, mbLeft); return;
    case WM_RBUTTONUP: WMButtonUp(Message, mbRight); return;
    case WM_MBUTTONUP: WMButtonUp(Message, mbMiddle); return;
    case WM_MOUSEMOVE: WMMouseMove(Message); return;
    case WM_MOUSEWHEEL: WMMouseWheel(Message); return;
    case CM_MOUSEWHEEL: CMMouseWheel(Message); return;
    case WM_CANCELMODE: WMCancelMode(Message); return;
    case WM_CONTEXTMENU: WMContextMenu(Message); return;
    default: DefaultHandler(Message); return;
  }
}

void TControl::DefaultHandler(TMessage& Message) {
  Message.Result = 0;
  if ((Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) || Message.Msg == WM_CANCELMODE)
    DefaultInputHandler(this, Message);
}

void TControl::WMButtonDown(TMessage& Message, TMouseButton Button, TShiftState Shift) {
  TControlRef self(this);
  CancelModes(this);
  if (!self) return;
  DefaultHandler(Message);
  if (!self) return;
  if (control_style_.Contains(csCaptureMouse)) SetMouseCapture(true);
  bool clicks = control_style_.Contains(csClickEvents);
  bool dbl = Shift.Contains(ssDouble);
  if (Button == mbLeft && !dbl && clicks) control_state_.Include(csClicked);
  MouseDown(Button, KeysToShiftState(LOWORD(Message.WParam)) + Shift, GET_X_LPARAM(Message.LParam),
            GET_Y_LPARAM(Message.LParam));
  if (Button == mbLeft && dbl && clicks && self) DblClick();
}

void TControl::WMButtonUp(TMessage& Message, TMouseButton Button) {
  TControlRef self(this);
  DefaultHandler(Message);
  if (!self) return;
  if (control_style_.Contains(csCaptureMouse)) SetMouseCapture(false);
  TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  if (Button == mbLeft && control_state_.Contains(csClicked)) {
    control_state_.Exclude(csClicked);
    if (ClientRect().Contains(p)) Click();
    if (!self) return;
  }
  MouseUp(Button, KeysToShiftState(LOWORD(Message.WParam)), p.X, p.Y);
  if (Button == mbRight && self) {
    const TPoint s = ClientToScreen(p);
    Perform(WM_CONTEXTMENU, 0, MAKELPARAM(s.X, s.Y));
  }
}

void TControl::WMMouseMove(TMessage& Message) {
  TControlRef self(this);
  DefaultHandler(Message);
  if (!self || control_style_.Contains(csNoStdEvents)) return;
  MouseMove(KeysToShiftState(LOWORD(Message.WParam)), GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
}

void TControl::WMMouseWheel(TMessage& Message) {
  // CM_MOUSEWHEEL carries the shift state in place of the MK_ flags.
  TShiftState shift = KeysToShiftState(GET_KEYSTATE_WPARAM(Message.WParam));
  Message.WParam = MAKEWPARAM(static_cast<int>(shift.ToBits()), HIWORD(Message.WParam));
  TControlRef self(this);
  MouseWheelHandler(Message);
  if (Message.Result == 0 && self) DefaultHandler(Message);
}

void TControl::MouseWheelHandler(TMessage& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this) form->MouseWheelHandler(Message);
  else Message.Result = Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
}

void TControl::CMMouseWheel(TMessage& Message) {
  TShiftState shift = TShiftState::FromBits(LOWORD(Message.WParam));
  TPoint pos{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  Message.Result = 0;
  TControlRef self(this);
  if (DoMouseWheel(shift, GET_WHEEL_DELTA_WPARAM(Message.WParam), pos)) Message.Result = 1;
  else if (self && parent_ != nullptr) Message.Result = parent_->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  on_mouse_wheel_(this, Shift, WheelDelta, MousePos, handled);
  if (handled) return true;
  wheel_accumulator_ += WheelDelta;
  while (std::abs(wheel_accumulator_) >= WHEEL_DELTA) {
    bool down = wheel_accumulator_ < 0;
    wheel_accumulator_ += down ? WHEEL_DELTA : -WHEEL_DELTA;
    handled = down ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
  }
  return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  on_mouse_wheel_down_(this, Shift, MousePos, handled);
  return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  on_mouse_wheel_up_(this, Shift, MousePos, handled);
  return handled;
}

void TControl::WMCancelMode(TMessage& Message) {
  TControlRef self(this);
  DefaultHandler(Message);
  if (!self) return;
  if (MouseCapture()) {
    SetMouseCapture(false);
    if (control_state_.Contains(csLButtonDown)) Perform(WM_LBUTTONUP, 0, -1);
  } else {
    control_state_.Exclude(csLButtonDown);
  }
}

void TControl::CancelModes(TControl* Sender) {
  for (TControl* c = this; c != nullptr; c = c->parent_) {
    if (auto* form = dynamic_cast<TCustomForm*>(c)) form->SendCancelMode(Sender);
  }
}

void TControl::SetCtl3D(bool Value) {
  if (Value == ctl3d_) return;
  ctl3d_ = Value;
  Perform(CM_CTL3DCHANGED, 0, 0);
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
  if (Value == MouseCapture()) return;
  SetCaptureControl(Value ? this : nullptr);
}

void TControl::HandleNeeded() {
  if (widget_ != nullptr) return;
  if (parent_ != nullptr) parent_->HandleNeeded();
  if (widget_ == nullptr) CreateHandle();
}

void TControl::CreateHandle() {
  if (widget_ != nullptr) return;
  if (parent_ != nullptr && parent_->widget_ == nullptr) return;
  EnsureGuiApplication();
  widget_ = CreateWidget(parent_ != nullptr ? parent_->widget_ : nullptr);
  WidgetMap()[widget_] = this;
  AttachInputWidgets(widget_, this);
  InitWidget();
}

QWidget* TControl::CreateWidget(QWidget* ParentWidget) { return new QWidget(ParentWidget); }

void TControl::InitWidget() {
  ApplyBounds();
  ApplyWidgetFont(widget_, *font_);
  if (FillsBackground() || ColorIsBase()) ApplyWidgetColor(widget_, color_, ColorIsBase(), FillsBackground());
  widget_->setEnabled(enabled_);
  SetCursor(cursor_);
  if (widget_->isWindow()) widget_->setWindowTitle(ToQ(text_));
  else widget_->setVisible(visible_);
}

void TControl::DestroyWidget() {
  if (widget_ == nullptr) return;
  QWidget* w = widget_;
  widget_ = nullptr;
  WidgetMap().erase(w);
  DisposeWidget(w);
}

void TControl::Resize() { on_resize_(this); }

void TControl::Loaded() {
  TComponent::Loaded();
  UpdateAnchorRules();
}

TShiftState KeysToShiftState(Word Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(LPARAM KeyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (KeyData & 0x20000000) s.Include(ssAlt);
  return s;
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  on_mouse_down_(this, Button, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  on_mouse_up_(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) { on_mouse_move_(this, Shift, X, Y); }
void TControl::DblClick() { on_dbl_click_(this); }

void TControl::WidgetResized(int AWidth, int AHeight) {
  if (AWidth == width_ && AHeight == height_) return;
  width_ = AWidth;
  height_ = AHeight;
  Resize();
}

void TControl::WidgetMoved(int ALeft, int ATop) {
  left_ = ALeft;
  top_ = ATop;
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  while (!controls_.empty()) delete controls_.back();
  DestroyWidget();
}

void TWinControl::BeforeDestruction() {
  Destroying();
  // Child controls go with their parent, whoever owns them.
  while (!controls_.empty()) delete controls_.back();
  TControl::BeforeDestruction();
}

TControl* TWinControl::Controls(int Index) const {
  if (Index < 0 || Index >= ControlCount()) throw EListError("List index out of bounds (%d)", {Index});
  return controls_[static_cast<size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
  for (const TControl* c = AControl; c != nullptr; c = c->parent_) {
    if (c == this) return true;
  }
  return false;
}

void TWinControl::InsertControl(TControl* AControl) {
  if (AControl->parent_ == this) return;
  if (auto* win = dynamic_cast<TWinControl*>(AControl); win != nullptr && win->ContainsControl(this))
    throw EInvalidOperation("A control cannot have itself as its parent");
  controls_.push_back(AControl);
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) tab_list_.push_back(win);
  AControl->parent_ = this;
  AControl->ParentFontChanged();
  AControl->ParentColorChanged();
  if (widget_ != nullptr) {
    AControl->CreateHandle();
    ApplyTabOrder();
  }
  AControl->UpdateAnchorRules();
  if (AControl->align_ != alNone) Realign();
  ControlsChanged();
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto it = std::find(controls_.begin(), controls_.end(), AControl);
  if (it == controls_.end()) return;
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    if (TCustomForm* form = GetParentForm(win)) form->DefocusControl(win, true);
  }
  AControl->DestroyWidget();
  controls_.erase(it);
  tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), AControl), tab_list_.end());
  AControl->parent_ = nullptr;
  AControl->anchor_base_.valid = false;
  DockClientRemoved(this, AControl);
  if (AControl->align_ != alNone) Realign();
  ControlsChanged();
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return hwnd_;
}

void TWinControl::HandleNeeded() { TControl::HandleNeeded(); }

void TWinControl::InitWidget() {
  TControl::InitWidget();
  hwnd_ = AllocateHWnd({this, [this](TMessage& m) { Perform(m); }});
  HandleMap()[hwnd_] = this;
  ApplyBounds();  // with its handle the window learns its non-client area
  if (ime_mode_ == imDisable) widget_->setAttribute(Qt::WA_InputMethodEnabled, false);
  widget_->setProperty("defaultFocusPolicy", static_cast<int>(widget_->focusPolicy()));
  SetTabStop(tab_stop_);
  if (Parent() == nullptr) ApplyCreateParams();
  TWindowScrollBars::WindowCreated(this);
  for (TControl* c : controls_) c->CreateHandle();
  ApplyTabOrder();
}

void TWinControl::DestroyWidget() {
  if (widget_ == nullptr) return;
  for (TControl* c : controls_) c->DestroyWidget();
  if (hwnd_ != nullptr) {
    HandleMap().erase(hwnd_);
    DeallocateHWnd(hwnd_);
    hwnd_ = nullptr;
  }
  QWidget* frame = frame_;
  frame_ = nullptr;
  non_client_ = {};
  TControl::DestroyWidget();
  DisposeWidget(frame);
}

void TWinControl::SetTabStop(bool Value) {
  tab_stop_ = Value;
  if (widget_ == nullptr) return;
  auto fallback = static_cast<Qt::FocusPolicy>(widget_->property("defaultFocusPolicy").toInt());
  if (Value) widget_->setFocusPolicy(Qt::StrongFocus);
  else widget_->setFocusPolicy(fallback == Qt::NoFocus ? Qt::NoFocus : Qt::ClickFocus);
}

int TWinControl::TabOrder() const {
  if (parent_ == nullptr) return -1;
  const auto& list = parent_->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (IsLoading() || parent_ == nullptr || parent_->IsLoading()) {
    stored_tab_order_ = Value;  // applied when the parent (or this control) is loaded
    return;
  }
  auto& list = parent_->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  int pos = std::clamp(Value, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + pos, this);
  parent_->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder() {
  if (widget_ == nullptr) return;
  QWidget* prev = nullptr;
  for (TWinControl* c : tab_list_) {
    if (c->widget_ == nullptr) continue;
    if (prev != nullptr) QWidget::setTabOrder(prev, c->widget_);
    prev = c->widget_;
  }
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_ || !c->enabled_) return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  HandleNeeded();
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this) form->FocusControl(this);
  else widget_->setFocus(Qt::OtherFocusReason);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
  for (TWinControl* c : tab_list_) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int count = static_cast<int>(list.size());
  auto found = std::find(list.begin(), list.end(), CurControl);
  int start = found != list.end() ? static_cast<int>(found - list.begin()) : (GoForward ? count - 1 : 0);
  int i = start;
  do {
    i = GoForward ? (i + 1) % count : (i + count - 1) % count;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c->CanFocus() && (!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this)) return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) next->SetFocus();
}

bool TWinControl::Focused() const { return widget_ != nullptr && widget_->hasFocus(); }

void TWinControl::EnableAlign() {
  if (align_lock_ > 0 && --align_lock_ == 0) Realign();
}

void TWinControl::AdjustClientRect(TRect&) const {}

void TWinControl::Realign() {
  if (align_lock_ > 0 || aligning_ || IsLoading()) return;
  aligning_ = true;
  try {
    TRect r = ClientRect();
    AdjustClientRect(r);
    for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
      for (TControl* c : controls_) {
        if (c->align_ != kind || !c->visible_) continue;
        switch (kind) {
          case alTop:
            c->SetBoundsInternal(r.Left, r.Top, r.Width(), c->height_, true);
            r.Top += c->height_;
            break;
          case alBottom:
            c->SetBoundsInternal(r.Left, r.Bottom - c->height_, r.Width(), c->height_, true);
            r.Bottom -= c->height_;
            break;
          case alLeft:
            c->SetBoundsInternal(r.Left, r.Top, c->width_, r.Height(), true);
            r.Left += c->width_;
            break;
          case alRight:
            c->SetBoundsInternal(r.Right - c->width_, r.Top, c->width_, r.Height(), true);
            r.Right -= c->width_;
            break;
          default:
            c->SetBoundsInternal(r.Left, r.Top, r.Width(), r.Height(), true);
            break;
        }
      }
    }
    int cw = ClientWidth(), ch = ClientHeight();
    for (TControl* c : controls_) {
      if (c->align_ == alNone) c->AnchorTo(cw, ch);
    }
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::Resize() {
  Realign();
  TControl::Resize();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  // Windowed children take the tab orders read for them.
  std::stable_sort(tab_list_.begin(), tab_list_.end(), [](TWinControl* a, TWinControl* b) {
    auto key = [](TWinControl* c) { return c->stored_tab_order_ < 0 ? INT32_MAX : c->stored_tab_order_; };
    return key(a) < key(b);
  });
  for (TWinControl* c : tab_list_) c->stored_tab_order_ = -1;
  ApplyTabOrder();
  Realign();
  // Read into a parent that was not itself being read.
  if (stored_tab_order_ >= 0 && parent_ != nullptr && !parent_->IsLoading()) {
    int order = stored_tab_order_;
    stored_tab_order_ = -1;
    SetTabOrder(order);
  }
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETFOCUS:
      // The form's focus chain (CM_EXIT, CM_ENTER) runs first.
      if (TCustomForm* form = GetParentForm(this); form != nullptr && !form->SetFocusedControl(this)) return;
      break;
    case WM_KILLFOCUS:
      if (ControlState().Contains(csFocusing)) return;
      break;
    default:
      break;
  }
  TControl::WndProc(Message);
}

void TWinControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(Message)) DefaultHandler(Message);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(Message)) DefaultHandler(Message);
      return;
    case WM_CHAR:
      if (!DoKeyPress(Message)) DefaultHandler(Message);
      return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
      CNKeyDown(Message);
      return;
    case CN_KEYUP:
      Message.Result = 0;
      return;
    case CN_CHAR:
    case CN_SYSCHAR:
      CNChar(Message);
      return;
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_FOCUSCHANGED:
      Broadcast(Message);
      return;
    case CM_CHILDKEY:
      if (parent_ != nullptr) parent_->Perform(Message);
      return;
    case WM_SETCURSOR:
      DefaultSetCursorHandler(this, Message);
      return;
    case CM_RECREATEWND:
      RecreateNow();
      return;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
      // A child's notification goes back to the child (CN_COMMAND, CN_HSCROLL, CN_VSCROLL).
      if (TWinControl* child = Message.LParam != 0 ? FindControl(reinterpret_cast<HWND>(Message.LParam)) : nullptr;
          child != nullptr && child != this) {
        Message.Result = child->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      TControl::Dispatch(Message);
      return;
    default:
      TControl::Dispatch(Message);
      return;
  }
}

void TWinControl::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      DefaultNonClientHandler(this, Message);
      return;
    case WM_GETDLGCODE:
      Message.Result = widget_ != nullptr ? NativeDlgCode(widget_) : 0;
      return;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Message.Result = 0;
      DefaultInputHandler(this, Message);
      return;
    default:
      TControl::DefaultHandler(Message);
      return;
  }
}

void TWinControl::Broadcast(TMessage& Message) {
  std::vector<TControl*> children = controls_;  // a handler may change the list
  TControlRef self(this);
  for (TControl* c : children) {
    if (!self) return;
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    c->Perform(Message);
    if (Message.Result != 0) return;
  }
}

void TWinControl::CNKeyDown(TMessage& Message) {
  Message.Result = 1;
  TControlRef self(this);
  // Menu shortcuts of this control's and its parents' popup menus first.
  for (TControl* c = this; c != nullptr; c = c->Parent()) {
    if (TPopupMenu* menu = c->PopupMenu(); menu != nullptr && menu->IsShortCut(Message)) return;
    if (!self) return;
  }
  if (Perform(CM_CHILDKEY, Message.WParam, reinterpret_cast<LPARAM>(this)) != 0 || !self) return;
  LRESULT mask = 0;
  switch (Message.WParam) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: break;
  }
  if (mask != 0 && Perform(CM_WANTSPECIALKEY, Message.WParam, 0) == 0 && self &&
      (Perform(WM_GETDLGCODE) & mask) == 0 && self) {
    TCustomForm* form = GetParentForm(this);
    if (form != nullptr && form->Perform(CM_DIALOGKEY, Message.WParam, Message.LParam) != 0) return;
  }
  Message.Result = 0;
}

void TWinControl::CNChar(TMessage& Message) {
  Message.Result = 0;
  if (Message.Msg == CN_SYSCHAR) {
    if (Message.WParam == VK_SPACE) return;
    if (TCustomForm* form = GetParentForm(this))
      Message.Result = form->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam);
    return;
  }
  TControlRef self(this);
  if ((Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) != 0 || !self) return;
  if (TCustomForm* form = GetParentForm(this)) {
    if (form->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0) Message.Result = 1;
  }
}

bool TWinControl::FormPreview(TMessage& Message, bool (TWinControl::*Handler)(TMessage&)) {
  TControlRef self(this);
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form != this && form->KeyPreview() && (form->*Handler)(Message)) return true;
  return !self;
}

bool TWinControl::DoKey(TMessage& Message, bool (TWinControl::*Handler)(TMessage&),
                        void (TWinControl::*Virtual)(Word&, TShiftState)) {
  if (FormPreview(Message, Handler)) return true;
  if (ControlStyle().Contains(csNoStdEvents)) return false;
  Word key = LOWORD(Message.WParam);
  (this->*Virtual)(key, KeyDataToShiftState(Message.LParam));
  Message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyDown(TMessage& Message) {
  return DoKey(Message, &TWinControl::DoKeyDown, &TWinControl::KeyDown);
}
bool TWinControl::DoKeyUp(TMessage& Message) { return DoKey(Message, &TWinControl::DoKeyUp, &TWinControl::KeyUp); }

bool TWinControl::DoKeyPress(TMessage& Message) {
  if (FormPreview(Message, &TWinControl::DoKeyPress)) return true;
  if (ControlStyle().Contains(csNoStdEvents)) return false;
  auto ch = static_cast<WideChar>(Message.WParam);
  KeyPress(ch);
  Message.WParam = ch;
  return ch == 0;
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) { on_key_down_(this, Key, Shift); }
void TWinControl::KeyUp(Word& Key, TShiftState Shift) { on_key_up_(this, Key, Shift); }
void TWinControl::KeyPress(WideChar& Key) { on_key_press_(this, Key); }
void TWinControl::DoEnter() { on_enter_(this); }
void TWinControl::DoExit() { on_exit_(this); }

// ---------------------------------------------------------------------------
// Painted controls

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(std::make_unique<TCanvas>()) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {}

QWidget* TCustomControl::CreateWidget(QWidget* ParentWidget) {
  return CreatePaintWidget(ParentWidget, [this](HDC dc) { PaintHandler(dc); });
}

namespace {
// Binds a canvas to a device context for one paint.
class CanvasBinding {
 public:
  CanvasBinding(TCanvas* canvas, HDC dc, TControl* control) : canvas_(canvas) {
    canvas->SetHandle(dc);
    canvas->Font()->Assign(control->Font());
    canvas->Brush()->SetColor(control->Color());
  }
  ~CanvasBinding() { canvas_->SetHandle(nullptr); }
  CanvasBinding(const CanvasBinding&) = delete;
  CanvasBinding& operator=(const CanvasBinding&) = delete;

 private:
  TCanvas* canvas_;
};
}  // namespace

void TCustomControl::PaintWindow(HDC DC) {
  CanvasBinding bind(canvas_.get(), DC, this);
  Paint();
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(std::make_unique<TCanvas>()) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Paint() {}

QWidget* TGraphicControl::CreateWidget(QWidget* ParentWidget) {
  auto* w = new PaintWidget(ParentWidget, [this](HDC dc) { PaintWindow(dc); });
  w->setFocusPolicy(Qt::NoFocus);
  return w;
}

void TGraphicControl::PaintWindow(HDC DC) {
  CanvasBinding bind(canvas_.get(), DC, this);
  Paint();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitControls() {
  InitInput();
  RegisterClass<TControl, TComponent>("TControl")
      .Prop("Left", &TControl::Left, &TControl::SetLeft)
      .Prop("Top", &TControl::Top, &TControl::SetTop)
      .Prop("Width", &TControl::Width, &TControl::SetWidth)
      .Prop("Height", &TControl::Height, &TControl::SetHeight)
      .Prop("Align", &TControl::Align, &TControl::SetAlign, alNone)
      .Prop("Anchors", &TControl::Anchors, &TControl::SetAnchors, TAnchors{akLeft, akTop})
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault)
      .Prop("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
      .Prop("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu)
      .Object("Font", &TControl::Font)
      .Stored(&TControl::IsFontStored)
      .Prop("Hint", &TControl::Hint, &TControl::SetHint)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true)
      .Prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .Prop("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
      .Prop("Visible", &TControl::Visible, &TControl::SetVisible, true)
      .Event("OnClick", &TControl::OnClick, &TControl::SetOnClick)
      .Event("OnDblClick", &TControl::OnDblClick, &TControl::SetOnDblClick)
      .Event("OnMouseDown", &TControl::OnMouseDown, &TControl::SetOnMouseDown)
      .Event("OnMouseMove", &TControl::OnMouseMove, &TControl::SetOnMouseMove)
      .Event("OnMouseUp", &TControl::OnMouseUp, &TControl::SetOnMouseUp)
      .Event("OnMouseWheel", &TControl::OnMouseWheel, &TControl::SetOnMouseWheel)
      .Event("OnMouseWheelDown", &TControl::OnMouseWheelDown, &TControl::SetOnMouseWheelDown)
      .Event("OnMouseWheelUp", &TControl::OnMouseWheelUp, &TControl::SetOnMouseWheelUp)
      .Event("OnResize", &TControl::OnResize, &TControl::SetOnResize);
  RegisterClass<TWinControl, TControl>("TWinControl")
      .Prop("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
      .Event("OnEnter", &TWinControl::OnEnter, &TWinControl::SetOnEnter)
      .Event("OnExit", &TWinControl::OnExit, &TWinControl::SetOnExit)
      .Event("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::SetOnKeyDown)
      .Event("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::SetOnKeyPress)
      .Event("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::SetOnKeyUp);
  RegisterClass<TCustomControl, TWinControl>("TCustomControl");
  RegisterClass<TGraphicControl, TControl>("TGraphicControl");
}

constexpr const TUnit* kUses[] = {&unit_Graphics};

}  // namespace

constinit const TUnit unit_Controls("Controls", kUses, InitControls, nullptr);
