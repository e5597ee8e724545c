#include "platform/gui/ExtCtrls.h"

#include "platform/gui/Controls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  window_ = AllocateHWnd({this, [this](TMessage& m) { WndProc(m); }});
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  if (running_) KillTimer(window_, 1);
  running_ = false;
  if (interval_ != 0 && enabled_ && on_timer_.Assigned()) {
    if (SetTimer(window_, 1, interval_) == 0) throw EOutOfResources("Not enough timers available");
    running_ = true;
  }
}

void TTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  on_timer_ = std::move(Value);
  UpdateTimer();
}

void TTimer::Timer() { on_timer_(this); }

void TTimer::WndProc(TMessage& Message) {
  if (Message.Msg == WM_TIMER) {
    Timer();
    Message.Result = 0;
  }
}

// ---------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape Value) {
  if (Value == shape_) return;
  shape_ = Value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* canvas = Canvas();
  const TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  const TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const int w = Width(), h = Height();
  canvas->Pen()->SetWidth(1);
  // The top-left and bottom-right edges of a rectangle.
  auto edges = [canvas](int left, int top, int right, int bottom, TColor topLeft, TColor bottomRight) {
    canvas->Pen()->SetColor(topLeft);
    canvas->MoveTo(left, bottom);
    canvas->LineTo(left, top);
    canvas->LineTo(right, top);
    canvas->Pen()->SetColor(bottomRight);
    canvas->LineTo(right, bottom);
    canvas->LineTo(left, bottom);
  };
  auto line = [canvas](int x1, int y1, int x2, int y2, TColor color) {
    canvas->Pen()->SetColor(color);
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  switch (shape_) {
    case bsBox:
      edges(0, 0, w - 1, h - 1, first, second);
      break;
    case bsFrame:
      edges(0, 0, w - 2, h - 2, first, first);
      edges(1, 1, w - 1, h - 1, second, second);
      break;
    case bsTopLine:
      line(0, 0, w, 0, first);
      line(0, 1, w, 1, second);
      break;
    case bsBottomLine:
      line(0, h - 2, w, h - 2, first);
      line(0, h - 1, w, h - 1, second);
      break;
    case bsLeftLine:
      line(0, 0, 0, h, first);
      line(1, 0, 1, h, second);
      break;
    case bsRightLine:
      line(w - 2, 0, w - 2, h, first);
      line(w - 1, 0, w - 1, h, second);
      break;
    case bsSpacer:
      break;
  }
}

namespace {

void InitExtCtrls() {
  RegisterClass<TTimer, TComponent>("TTimer")
      .Prop("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
      .Prop("Interval", &TTimer::Interval, &TTimer::SetInterval, Cardinal{1000})
      .Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
  RegisterClass<TBevel, TGraphicControl>("TBevel")
      .Prop("Shape", &TBevel::Shape, &TBevel::SetShape, bsBox)
      .Prop("Style", &TBevel::Style, &TBevel::SetStyle, bsLowered);
  RegisterClass<TCustomPanel, TCustomControl>("TCustomPanel");
  RegisterClass<TPanel, TCustomPanel>("TPanel")
      .Prop("Alignment", &TPanel::Alignment, &TPanel::SetAlignment, taCenter)
      .Prop("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, bvNone)
      .Prop("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, bvRaised)
      .Prop("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1)
      .Prop("BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle, bsNone)
      .Prop("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0)
      .Prop("Caption", &TPanel::Caption, &TPanel::SetCaption)
      .Prop("FullRepaint", &TPanel::FullRepaint, &TPanel::SetFullRepaint, true);
  RegisterClass<TShape, TGraphicControl>("TShape")
      .Object("Brush", &TShape::Brush)
      .Object("Pen", &TShape::Pen)
      .Prop("Shape", &TShape::Shape, &TShape::SetShape, stRectangle);
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_ExtCtrls("ExtCtrls", kUses, InitExtCtrls, nullptr);
