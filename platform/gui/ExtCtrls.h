// The timer component: OnTimer every Interval ms while Enabled, through a
// window timer (Messages.h) of its own hidden window. The first tick comes
// one interval after the timer is enabled (or its interval or handler set);
// with Interval 0 or no OnTimer it does not run.
//
// TBevel: an etched box, frame or line drawn in the button shadow and
// highlight colours (a lowered one has the shadow at the top and left).
//
// TShape: a rectangle, square, rounded rectangle or square, ellipse or
// circle outlined with Pen and filled with Brush (a change of either
// repaints). The figure lies within the bounds less half the pen width; a
// square or circle is centred on the shorter side; rounded corners have a
// radius of a quarter of that side.
#pragma once

#include <memory>


#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  Cardinal Interval() const { return interval_; }
  void SetInterval(Cardinal Value);
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent Value);
  // True while the window timer runs.
  bool Running() const { return running_; }

 protected:
  // Runs OnTimer.
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& Message);

  bool enabled_ = true;
  Cardinal interval_ = 1000;
  TNotifyEvent on_timer_;
  HWND window_ = nullptr;
  bool running_ = false;
};

RTL_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer);
RTL_ENUM(TBevelStyle, bsLowered, bsRaised);

class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* AOwner);

  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape Value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle Value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

RTL_ENUM(TShapeType, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle);

class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;

  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType Value);
  TPen* Pen() const { return pen_.get(); }
  void SetPen(TPen* Value) { pen_->Assign(Value); }
  TBrush* Brush() const { return brush_.get(); }
  void SetBrush(TBrush* Value) { brush_->Assign(Value); }
  // Repaints (Pen and Brush call it on change).
  void StyleChanged(TObject* Sender);

 protected:
  void Paint() override;

 private:
  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};

class TUnit;
extern const TUnit unit_ExtCtrls;
