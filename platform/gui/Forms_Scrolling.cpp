// TScrollingWinControl and its scroll bars.
#include <QScrollBar>
#include <QStyle>
#include <QWidget>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"

// ---------------------------------------------------------------------------
// TControlScrollBar

TControlScrollBar::TControlScrollBar(TScrollingWinControl* Control, TScrollBarKind Kind)
    : control_(Control), kind_(Kind) {}

TPersistent* TControlScrollBar::GetOwner() { return control_; }

void TControlScrollBar::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TControlScrollBar*>(Source)) {
    increment_ = b->increment_;
    margin_ = b->margin_;
    smooth_ = b->smooth_;
    size_ = b->size_;
    tracking_ = b->tracking_;
    visible_ = b->visible_;
    range_ = b->range_;
    control_->UpdateScrollBars();
    SetPosition(b->position_);
    return;
  }
  TPersistent::Assign(Source);
}

int TControlScrollBar::ControlSize() const {
  int other = 0;
  const TControlScrollBar* cross = kind_ == sbHorizontal ? control_->VertScrollBar() : control_->HorzScrollBar();
  if (cross != nullptr && cross->shown_) other = cross->ScrollBarSize();
  return std::max(0, (kind_ == sbHorizontal ? control_->Width() : control_->Height()) - other);
}

int TControlScrollBar::ScrollBarSize() const {
  if (size_ > 0) return size_;
  if (control_->Widget() != nullptr) return control_->Widget()->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  return 16;
}

bool TControlScrollBar::IsScrollBarVisible() const { return visible_ && range_ > ControlSize(); }

void TControlScrollBar::SetPosition(int Value) {
  int limit = std::max(0, range_ - ControlSize());
  Value = std::clamp(Value, 0, limit);
  if (Value == position_) return;
  int delta = position_ - Value;
  position_ = Value;
  if (kind_ == sbHorizontal) control_->ScrollBy(delta, 0);
  else control_->ScrollBy(0, delta);
  control_->PlaceBars();
}

void TControlScrollBar::SetRange(int Value) {
  Value = std::max(Value, 0);
  if (Value == range_) return;
  range_ = Value;
  control_->UpdateScrollBars();
}

void TControlScrollBar::SetMargin(int Value) {
  margin_ = std::max(Value, 0);
  control_->UpdateScrollBars();
}

void TControlScrollBar::SetSize(int Value) {
  size_ = std::max(Value, 0);
  control_->UpdateScrollBars();
}

void TControlScrollBar::SetTracking(bool Value) {
  tracking_ = Value;
  control_->PlaceBars();
}

void TControlScrollBar::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  control_->UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// TScrollingWinControl

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner),
      horz_(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      vert_(std::make_unique<TControlScrollBar>(this, sbVertical)) {}

TScrollingWinControl::~TScrollingWinControl() = default;

QWidget* TScrollingWinControl::CreateWidget(QWidget* ParentWidget) {
  return CreatePaintWidget(ParentWidget, [this](HDC dc) { PaintHandler(dc); });
}

void TScrollingWinControl::InitWidget() {
  TWinControl::InitWidget();
  for (TControlScrollBar* bar : {horz_.get(), vert_.get()}) {
    auto* qbar = new QScrollBar(bar->kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical, Widget());
    qbar->hide();
    QObject::connect(qbar, &QScrollBar::valueChanged, qbar, [bar](int value) {
      try {
        bar->SetPosition(value);
      } catch (...) {
        HandleEventException(bar->control_);
      }
    });
    bars_[bar->kind_] = qbar;
  }
  UpdateScrollBars();
}

void TScrollingWinControl::DestroyWidget() {
  bars_[0] = bars_[1] = nullptr;  // children of the widget, deleted with it
  TWinControl::DestroyWidget();
}

TRect TScrollingWinControl::ClientRect() const {
  // Within the non-client area (a window of its own with a border).
  TRect r = TWinControl::ClientRect();
  int w = r.Width() - (vert_->shown_ ? vert_->ScrollBarSize() : 0);
  int h = r.Height() - (horz_->shown_ ? horz_->ScrollBarSize() : 0);
  return Rect(0, 0, std::max(w, 0), std::max(h, 0));
}

void TScrollingWinControl::SetAutoScroll(bool Value) {
  if (Value == auto_scroll_) return;
  auto_scroll_ = Value;
  UpdateScrollBars();
}

void TScrollingWinControl::CalcAutoRange() {
  int right = 0, bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible() || c->Align() != alNone) continue;
    right = std::max(right, c->Left() + c->Width() + horz_->position_);
    bottom = std::max(bottom, c->Top() + c->Height() + vert_->position_);
  }
  horz_->range_ = right > 0 ? right + horz_->margin_ : 0;
  vert_->range_ = bottom > 0 ? bottom + vert_->margin_ : 0;
}

void TScrollingWinControl::UpdateScrollBars() {
  if (updating_) return;
  updating_ = true;
  if (auto_scroll_ && !IsLoading()) CalcAutoRange();
  // One bar's thickness can make the other one necessary: settle in two passes.
  horz_->shown_ = vert_->shown_ = false;
  for (int pass = 0; pass < 2; ++pass) {
    horz_->shown_ = horz_->IsScrollBarVisible();
    vert_->shown_ = vert_->IsScrollBarVisible();
  }
  for (TControlScrollBar* bar : {horz_.get(), vert_.get()}) {
    int limit = std::max(0, bar->range_ - bar->ControlSize());
    if (bar->position_ > limit) {
      int delta = bar->position_ - limit;
      bar->position_ = limit;
      if (bar->kind_ == sbHorizontal) ScrollBy(delta, 0);
      else ScrollBy(0, delta);
    }
  }
  updating_ = false;
  PlaceBars();
}

void TScrollingWinControl::PlaceBars() {
  for (TControlScrollBar* bar : {horz_.get(), vert_.get()}) {
    auto* qbar = static_cast<QScrollBar*>(bars_[bar->kind_]);
    if (qbar == nullptr) continue;
    QSignalBlocker block(qbar);
    int size = bar->ScrollBarSize();
    TRect client = ClientRect();
    if (bar->kind_ == sbHorizontal) qbar->setGeometry(0, client.Bottom, client.Right, size);
    else qbar->setGeometry(client.Right, 0, size, client.Bottom);
    qbar->setRange(0, std::max(0, bar->range_ - bar->ControlSize()));
    qbar->setPageStep(std::max(1, bar->ControlSize()));
    qbar->setSingleStep(bar->increment_);
    qbar->setTracking(bar->tracking_);
    qbar->setValue(bar->position_);
    qbar->setVisible(bar->shown_);
    if (bar->shown_) qbar->raise();
  }
}

void TScrollingWinControl::Resize() {
  UpdateScrollBars();
  TWinControl::Resize();
}

void TScrollingWinControl::Loaded() {
  TWinControl::Loaded();
  UpdateScrollBars();
}

void RegisterLayoutClasses() {
  RegisterClass<TSizeConstraints, TPersistent>("TSizeConstraints")
      .Prop("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight, 0)
      .Prop("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth, 0)
      .Prop("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight, 0)
      .Prop("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth, 0);
  RegisterClass<TControlScrollBar, TPersistent>("TControlScrollBar")
      .Prop("Increment", &TControlScrollBar::Increment, &TControlScrollBar::SetIncrement, 8)
      .Prop("Margin", &TControlScrollBar::Margin, &TControlScrollBar::SetMargin, 0)
      .Prop("Range", &TControlScrollBar::Range, &TControlScrollBar::SetRange, 0)
      .Prop("Position", &TControlScrollBar::Position, &TControlScrollBar::SetPosition, 0)
      .Prop("Smooth", &TControlScrollBar::Smooth, &TControlScrollBar::SetSmooth, false)
      .Prop("Size", &TControlScrollBar::Size, &TControlScrollBar::SetSize, 0)
      .Prop("Tracking", &TControlScrollBar::Tracking, &TControlScrollBar::SetTracking, false)
      .Prop("Visible", &TControlScrollBar::Visible, &TControlScrollBar::SetVisible, true);
  RegisterClass<TScrollingWinControl, TWinControl>("TScrollingWinControl");
}
