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
#include "platform/gui/Forms.h"
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

RTL_ENUM(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace);

// A container that paints a frame and a caption. From the edge inwards:
// BevelOuter (BevelWidth pixels; raised: highlight at the top and left,
// shadow at the bottom and right; lowered the other way; bvSpace in Color),
// BorderWidth pixels in Color, BevelInner; BorderStyle bsSingle adds a
// one-pixel window-frame line outside all of them. Children align within
// what is left (AdjustClientRect), where the caption is drawn on one line
// by Alignment, centred vertically, in Font. csAcceptsControls; Color
// clBtnFace, ParentColor off.
class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut Value);
  int BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int Value);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int Value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);
  // Kept for form data (the whole panel repaints on every change here).
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool Value) { full_repaint_ = Value; }

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& Rect) const override;
  void TextChanged() override;
  void FontChanged() override;

 private:
  // The frame's total width on each side.
  int FrameWidth() const;
  void FrameChanged();

  TAlignment alignment_ = taCenter;
  TBevelCut bevel_inner_ = bvNone, bevel_outer_ = bvRaised;
  int bevel_width_ = 1, border_width_ = 0;
  TBorderStyle border_style_ = bsNone;
  bool full_repaint_ = true;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

class TUnit;
extern const TUnit unit_ExtCtrls;
