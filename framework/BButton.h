// The bitmap button TB_CustomBitBtn and its published form TB_BitBtn: a
// self-drawn push button of a frame, a bitmap and a text group.
//
// States: b_bsUp, b_bsDown (pressed; the frame lowered, image 4),
// b_bsExclusive (image 3, lowered), b_bsDisabled (image 2); an image the
// group lacks falls back to image 1. Flat shows the raised frame only while
// the mouse is over the button or it is pressed; HotTrack highlights the
// text while the mouse is over it. The active button (the one Enter presses
// now: the focused bitmap button, else the Default one) gets a one-pixel
// border in the frame's BorderColor when the frame has none. Painting never
// changes the published frame values.
//
// Input: the left button presses (State b_bsDown while the pointer stays
// inside), the release inside clicks. With RepeatEnabled a held button
// clicks after RepeatInitialPause ms and then every RepeatPause ms while the
// mouse is captured. Space presses and clicks on release; Enter clicks the
// active button, Escape a Cancel button, the caption's accelerator (either
// keyboard layout) the button; Right and Down move the focus on as Tab does.
//
// Click: OnBeforeClick may refuse it; then OnClick, ModalResult to the
// parent form (a CloseForm button gives mrCancel to a form whose result is
// still 0, and closes a form that is not modal), and the button returns to
// b_bsUp with the default screen cursor. b_bkClose sets CloseForm; b_bkHelp
// clicks as the others (the platform has no help system).
//
// Thin: no themed faces (the platform's visual styles are not in use here).
#pragma once

#include <memory>

#include "framework/B_Ctrls.h"
#include "framework/B_ctrl.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"

RTL_ENUM(TB_LayoutBitmap, b_lbCenter, b_lbLeft, b_lbRight, b_lbTop, b_lbBottom);
RTL_ENUM(TB_ButtonState, b_bsUp, b_bsDisabled, b_bsDown, b_bsExclusive);
RTL_ENUM(TB_BitBtnKind, b_bkCustom, b_bkOK, b_bkCancel, b_bkHelp, b_bkYes, b_bkNo, b_bkClose, b_bkAbort,
         b_bkRetry, b_bkIgnore, b_bkAll, b_bkRun);

using TB_BooleanEvent = Event<void(TObject* Sender, bool& Value)>;

// The button's bitmap group: its images lie right of centre by default.
class TB_ButtonBitmapPersistent : public TB_BitmapPersistent {
 public:
  explicit TB_ButtonBitmapPersistent(TControl* Owner);
};

class TB_CustomBitBtn : public TB_CustomControl {
 public:
  explicit TB_CustomBitBtn(TComponent* AOwner);
  ~TB_CustomBitBtn() override;
  void BeforeDestruction() override;

  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool HotTrack() const { return hot_track_; }
  void SetHotTrack(bool Value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  bool CloseForm() const { return close_form_; }
  void SetCloseForm(bool Value) { close_form_ = Value; }
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TB_LayoutBitmap LayoutBitmap() const { return layout_; }
  void SetLayoutBitmap(TB_LayoutBitmap Value);
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* Value);
  // The caption group, published as "Text" (Text() is the control's text).
  TB_TextPersistent* TextGroup() const { return text_.get(); }
  void SetTextGroup(TB_TextPersistent* Value) { text_->Assign(Value); }
  TB_ButtonBitmapPersistent* Bitmaps() const { return bitmaps_.get(); }
  void SetBitmaps(TB_ButtonBitmapPersistent* Value) { bitmaps_->Assign(Value); }
  TB_BitBtnFramePersistent* Frame() const { return frame_.get(); }
  void SetFrame(TB_BitBtnFramePersistent* Value) { frame_->Assign(Value); }
  TB_ButtonState State() const { return state_; }
  void SetState(TB_ButtonState Value);
  TB_BitBtnKind Kind() const { return kind_; }
  void SetKind(TB_BitBtnKind Value) { kind_ = Value; }
  Word RepeatInitialPause() const { return repeat_initial_; }
  void SetRepeatInitialPause(Word Value) { repeat_initial_ = Value; }
  Word RepeatPause() const { return repeat_pause_; }
  void SetRepeatPause(Word Value) { repeat_pause_ = Value; }
  bool RepeatEnabled() const { return repeat_enabled_; }
  void SetRepeatEnabled(bool Value) { repeat_enabled_ = Value; }
  const TB_BooleanEvent& OnBeforeClick() const { return on_before_click_; }
  void SetOnBeforeClick(TB_BooleanEvent Value) { on_before_click_ = std::move(Value); }
  // Runs after every click (not published).
  const TNotifyEvent& OnAfterClick() const { return on_after_click_; }
  void SetOnAfterClick(TNotifyEvent Value) { on_after_click_ = std::move(Value); }

  // True when Enter presses this button now.
  bool Active() const { return active_; }
  bool Pressed() const { return pressed_; }
  bool MouseOver() const { return mouse_over_; }
  // True when OnBeforeClick is empty or allows the click.
  bool CanClick();
  void Click() override;
  // A press by keyboard: State down, click, State up.
  void Press();
  // Lays out the groups (bitmap and text rectangles, automatic size).
  void Layout();
  // The rectangles the last layout gave the bitmap and the text.
  TRect BitmapRect() const { return bitmaps_->BoundsRect(); }
  TRect TextRect() const { return text_rect_; }

  void SetEnabled(bool Value) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void Dispatch(TMessage& Message) override;

 protected:
  void Paint() override;
  void FontChanged() override;
  void Resize() override;
  void DoExit() override;
  void GroupChanged(TObject* Sender);
  // Moves the button into (or beside) FocusControl.
  void PlaceAtFocusControl();

 private:
  void SetActive(bool Value);
  void StopRepeat();
  void RepeatTick(TObject* Sender);

  std::unique_ptr<TB_TextPersistent> text_;
  std::unique_ptr<TB_ButtonBitmapPersistent> bitmaps_;
  std::unique_ptr<TB_BitBtnFramePersistent> frame_;
  bool flat_ = true;
  bool hot_track_ = true;
  bool cancel_ = false;
  bool close_form_ = false;
  TModalResult modal_result_ = mrNone;
  bool default_ = false;
  bool auto_size_ = false;
  TB_LayoutBitmap layout_ = b_lbLeft;
  TWinControl* focus_control_ = nullptr;
  TB_ButtonState state_ = b_bsUp;
  TB_BitBtnKind kind_ = b_bkCustom;
  Word repeat_initial_ = 400;
  Word repeat_pause_ = 100;
  bool repeat_enabled_ = false;
  TB_BooleanEvent on_before_click_;
  TNotifyEvent on_after_click_;
  bool active_ = false;
  bool pressed_ = false;
  bool mouse_over_ = false;
  bool laying_out_ = false;
  bool destroying_ = false;
  TRect text_rect_{};
  TTimer* repeat_timer_ = nullptr;
};

class TB_BitBtn : public TB_CustomBitBtn {
 public:
  using TB_CustomBitBtn::TB_CustomBitBtn;
};

extern const TUnit unit_BButton;
