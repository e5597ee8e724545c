// The timer component: OnTimer every Interval ms while Enabled, through a
// window timer (Messages.h) of its own hidden window. The first tick comes
// one interval after the timer is enabled (or its interval or handler set);
// with Interval 0 or no OnTimer it does not run.
//
// TBevel: an etched box, frame or line drawn in the button shadow and
// highlight colours (a lowered one has the shadow at the top and left).
#pragma once

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

class TUnit;
extern const TUnit unit_ExtCtrls;
