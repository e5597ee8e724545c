// Controls: window creation parameters, size limits, scrolling and the
// paint path of self-drawn windowed controls.
#include <QWidget>

#include <algorithm>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/Popup.h"
#include "platform/gui/QtGraphics.h"

// ---------------------------------------------------------------------------
// TSizeConstraints

void TSizeConstraints::Assign(TPersistent* Source) {
  if (auto* c = dynamic_cast<TSizeConstraints*>(Source)) {
    max_height_ = c->max_height_;
    max_width_ = c->max_width_;
    min_height_ = c->min_height_;
    min_width_ = c->min_width_;
    on_change_(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TSizeConstraints::Set(int& Field, int Value) {
  Value = std::max(Value, 0);
  if (Value == Field) return;
  Field = Value;
  on_change_(this);
}

void TSizeConstraints::Apply(int& Width, int& Height) const {
  if (max_width_ > 0 && Width > max_width_) Width = max_width_;
  if (min_width_ > 0 && Width < min_width_) Width = min_width_;
  if (max_height_ > 0 && Height > max_height_) Height = max_height_;
  if (min_height_ > 0 && Height < min_height_) Height = min_height_;
}

bool TControl::CanResize(int& NewWidth, int& NewHeight) {
  bool resize = true;
  on_can_resize_(this, NewWidth, NewHeight, resize);
  return resize;
}

// ---------------------------------------------------------------------------
// TWinControl

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = Text();
  Params.X = Left();
  Params.Y = Top();
  Params.Width = Width();
  Params.Height = Height();
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  if (Parent() != nullptr) {
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    Params.WndParent = Parent()->Handle();
  } else {
    Params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  }
  if (!Visible()) Params.Style &= ~WS_VISIBLE;
  if (!Enabled()) Params.Style |= WS_DISABLED;
}

void TWinControl::ApplyCreateParams() {
  TCreateParams params;
  CreateParams(params);
  TWinControl* owner = params.WndParent != nullptr ? FindControl(params.WndParent) : nullptr;
  if (owner != nullptr && (owner == this || owner->Widget() == nullptr || owner->ContainsControl(this))) owner = nullptr;
  if (dynamic_cast<TCustomForm*>(this) == nullptr) {
    const bool tool_popup = (params.Style & WS_POPUP) && (params.ExStyle & WS_EX_TOOLWINDOW) &&
                            (params.Style & WS_CAPTION) != WS_CAPTION;
    if (tool_popup && (params.Style & WS_THICKFRAME)) {
      // A sizable tool window: floating above its owner, activated when
      // clicked, framed by its own non-client area.
      WindowWidget()->setParent(owner != nullptr ? owner->WindowWidget() : nullptr,
                                Qt::Tool | Qt::FramelessWindowHint);
      ApplyBounds();
      return;
    }
    bool drop_down = tool_popup;
    if (!drop_down) {
      LRESULT answer = Perform(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd_), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
      drop_down = answer == MA_NOACTIVATE || answer == MA_NOACTIVATEANDEAT;
    }
    if (drop_down) {
      MakeDropDownWidget(WindowWidget());
      ApplyBounds();
      return;
    }
  }
  if (owner == nullptr) return;
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (params.Style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (params.Style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  if (params.Style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
  WindowWidget()->setParent(owner->Widget(), flags);
  ApplyBounds();
}

void TWinControl::RecreateWnd() {
  if (HandleAllocated()) Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::RecreateNow() {
  if (!HandleAllocated() || dynamic_cast<TCustomForm*>(this) != nullptr) return;
  TWinControl* focused = FindControl(GetFocus());
  if (focused != nullptr && !ContainsControl(focused)) focused = nullptr;
  TControlRef focus_alive(focused);
  const bool window = Parent() == nullptr;
  const bool shown = WindowWidget()->isVisible();
  TControlState state = ControlState();
  SetControlState(state + TControlState{csDestroyingHandle});
  DestroyWidget();
  SetControlState(state);
  CreateHandle();
  if (widget_ == nullptr) return;
  if (window && shown) WindowWidget()->show();
  // A new child widget lies above its siblings: back to its place.
  if (!window) {
    const auto& siblings = Parent()->controls_;
    for (auto it = std::find(siblings.begin(), siblings.end(), this) + 1; it != siblings.end(); ++it) {
      auto* win = dynamic_cast<TWinControl*>(*it);
      if (QWidget* next = win != nullptr ? win->WindowWidget() : (*it)->Widget()) {
        WindowWidget()->stackUnder(next);
        break;
      }
    }
  }
  if (focused != nullptr && focus_alive && focused->Widget() != nullptr) focused->Widget()->setFocus();
}

void TWinControl::ScrollBy(int DeltaX, int DeltaY) {
  if (DeltaX == 0 && DeltaY == 0) return;
  for (TControl* c : controls_) {
    c->SetBoundsInternal(c->left_ + DeltaX, c->top_ + DeltaY, c->width_, c->height_, true);
    if (c->anchor_base_.valid) {
      c->anchor_base_.left += DeltaX;
      c->anchor_base_.top += DeltaY;
    }
  }
}

void TWinControl::PaintTo(TCanvas* Canvas, int X, int Y) {
  HandleNeeded();
  QPainter* p = Canvas != nullptr && Canvas->Handle() != nullptr ? Painter(Canvas->Handle()) : nullptr;
  if (p == nullptr || widget_ == nullptr) throw EInvalidOperation("Canvas does not allow drawing");
  WindowWidget()->render(p, QPoint(X, Y), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
}

void TWinControl::PaintHandler(HDC DC) {
  if (Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0) == 0) EraseBackground(DC);
  PaintWindow(DC);
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::EraseBackground(HDC DC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr || Color() == clNone) return;
  TRect r = ClientRect();
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p->fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(Color()));
  p->restore();
}
