#include "platform/gui/Controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <unordered_map>

#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

namespace {

std::unordered_map<QWidget*, TControl*>& WidgetMap() {
  static std::unordered_map<QWidget*, TControl*> map;
  return map;
}

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

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s;
  if (mods & Qt::ShiftModifier) s.Include(ssShift);
  if (mods & Qt::AltModifier) s.Include(ssAlt);
  if (mods & Qt::ControlModifier) s.Include(ssCtrl);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

Word VirtualKey(const QKeyEvent* e) {
  int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<Word>('A' + (k - Qt::Key_A));
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<Word>('0' + (k - Qt::Key_0));
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<Word>(VK_F1 + (k - Qt::Key_F1));
  switch (k) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return static_cast<Word>(e->nativeVirtualKey() & 0xFFFF);
  }
}

// Routes the events of every control's widget to the control.
class ControlEvents : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    TControl* control = widget ? FindControl(widget) : nullptr;
    if (control == nullptr) return false;
    TEventScope scope;
    try {
      return Handle(widget, control, event);
    } catch (...) {
      HandleEventException(control);
      return true;
    }
  }

 private:
  bool Handle(QWidget* widget, TControl* control, QEvent* event) {
    auto* win = dynamic_cast<TWinControl*>(control);
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        TMouseButton b;
        if (!ButtonOf(e->button(), b)) return false;
        QPoint p = e->position().toPoint();
        if (b == mbLeft) pressed_ = widget;
        control->MouseDown(b, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
        return false;
      }
      case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        TMouseButton b;
        if (!ButtonOf(e->button(), b)) return false;
        QPoint p = e->position().toPoint();
        bool click = b == mbLeft && pressed_ == widget && widget->rect().contains(p);
        if (b == mbLeft) pressed_ = nullptr;
        control->MouseUp(b, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
        if (click && FindControl(widget) == control && control->ClicksFromMouse()) control->Click();
        return false;
      }
      case QEvent::MouseButtonDblClick:
        control->DblClick();
        return false;
      case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = e->position().toPoint();
        control->MouseMove(ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
        return false;
      }
      case QEvent::Enter:
        control->Perform(CM_MOUSEENTER, 0, 0);
        return false;
      case QEvent::Leave:
        control->Perform(CM_MOUSELEAVE, 0, 0);
        return false;
      case QEvent::KeyPress: {
        if (win == nullptr) return false;
        auto* e = static_cast<QKeyEvent*>(event);
        Word key = VirtualKey(e);
        win->KeyDown(key, ShiftOf(e->modifiers(), Qt::NoButton));
        if (key == 0) return true;
        QString text = e->text();
        if (!text.isEmpty() && (text.at(0).unicode() >= 32 || text.at(0) == QChar('\r') ||
                                text.at(0) == QChar('\b') || text.at(0) == QChar(27))) {
          WideChar ch = text.at(0).unicode();
          win->KeyPress(ch);
          if (ch == 0) return true;
        }
        return false;
      }
      case QEvent::KeyRelease: {
        if (win == nullptr) return false;
        auto* e = static_cast<QKeyEvent*>(event);
        Word key = VirtualKey(e);
        win->KeyUp(key, ShiftOf(e->modifiers(), Qt::NoButton));
        return key == 0;
      }
      case QEvent::FocusIn:
        if (win) win->DoEnter();
        return false;
      case QEvent::FocusOut:
        if (win) win->DoExit();
        return false;
      case QEvent::Resize:
        if (widget->isWindow()) {
          QSize s = widget->size();
          control->WidgetResized(s.width(), s.height());
        }
        return false;
      case QEvent::Move:
        if (widget->isWindow()) control->WidgetMoved(widget->x(), widget->y());
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

  QWidget* pressed_ = nullptr;
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

void DisposeWidget(QWidget* Widget) {
  if (Widget == nullptr) return;
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
  for (auto& [w, c] : WidgetMap()) {
    auto* win = dynamic_cast<TWinControl*>(c);
    if (win != nullptr && win->HandleAllocated() && win->Handle() == Handle) return win;
  }
  return nullptr;
}

TPoint GetCursorPos() {
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
}

TControl::~TControl() {
  DestroyWidget();
  if (parent_ != nullptr) parent_->RemoveControl(this);
}

void TControl::BeforeDestruction() {
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

void TControl::SetHint(const String& Value) {
  hint_ = Value;
  if (widget_ != nullptr) widget_->setToolTip(show_hint_ ? ToQ(hint_) : QString());
}

void TControl::SetShowHint(bool Value) {
  show_hint_ = Value;
  SetHint(hint_);
}

void TControl::SetCursor(TCursor Value) {
  cursor_ = Value;
  if (widget_ == nullptr) return;
  int shape = CursorShape(Value);
  if (shape < 0) widget_->unsetCursor();
  else widget_->setCursor(static_cast<Qt::CursorShape>(shape));
}

void TControl::Click() { on_click_(this); }

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
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }
void TControl::Dispatch(TMessage& Message) { DefaultHandler(Message); }
void TControl::DefaultHandler(TMessage& Message) { Message.Result = 0; }

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
  widget_->installEventFilter(Filter());
  InitWidget();
}

QWidget* TControl::CreateWidget(QWidget* ParentWidget) { return new QWidget(ParentWidget); }

void TControl::InitWidget() {
  ApplyBounds();
  ApplyWidgetFont(widget_, *font_);
  if (FillsBackground() || ColorIsBase()) ApplyWidgetColor(widget_, color_, ColorIsBase(), FillsBackground());
  widget_->setEnabled(enabled_);
  SetHint(hint_);
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
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto it = std::find(controls_.begin(), controls_.end(), AControl);
  if (it == controls_.end()) return;
  AControl->DestroyWidget();
  controls_.erase(it);
  tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), AControl), tab_list_.end());
  AControl->parent_ = nullptr;
  AControl->anchor_base_.valid = false;
  if (AControl->align_ != alNone) Realign();
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return hwnd_;
}

void TWinControl::HandleNeeded() { TControl::HandleNeeded(); }

void TWinControl::InitWidget() {
  TControl::InitWidget();
  hwnd_ = AllocateHWnd({this, [this](TMessage& m) { WndProc(m); }});
  widget_->setProperty("defaultFocusPolicy", static_cast<int>(widget_->focusPolicy()));
  SetTabStop(tab_stop_);
  if (Parent() == nullptr) ApplyCreateParams();
  for (TControl* c : controls_) c->CreateHandle();
  ApplyTabOrder();
}

void TWinControl::DestroyWidget() {
  if (widget_ == nullptr) return;
  for (TControl* c : controls_) c->DestroyWidget();
  if (hwnd_ != nullptr) {
    DeallocateHWnd(hwnd_);
    hwnd_ = nullptr;
  }
  TControl::DestroyWidget();
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
  widget_->setFocus(Qt::OtherFocusReason);
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
