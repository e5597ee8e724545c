#include "framework/BButton.h"

#include <algorithm>

#include "framework/Bstdctrl.h"
#include "platform/rtl/UnitInit.h"

TB_ButtonBitmapPersistent::TB_ButtonBitmapPersistent(TControl* Owner) : TB_BitmapPersistent(Owner) {
  LockUpdates();
  SetAlignHorz(b_ahRight);
  UnlockUpdates();
}

// ---------------------------------------------------------------------------
// Construction

TB_CustomBitBtn::TB_CustomBitBtn(TComponent* AOwner)
    : TB_CustomControl(AOwner),
      text_(std::make_unique<TB_TextPersistent>()),
      bitmaps_(std::make_unique<TB_ButtonBitmapPersistent>(this)),
      frame_(std::make_unique<TB_BitBtnFramePersistent>()) {
  SetControlStyle({csCaptureMouse, csClickEvents, csSetCaption, csOpaque});
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  TControl::SetColor(clWindow);
  text_->SetControl(this);
  text_->ParentFontChanged();
  frame_->SetControl(this);
  for (TB_Persistent* g : {static_cast<TB_Persistent*>(text_.get()), static_cast<TB_Persistent*>(bitmaps_.get()),
                           static_cast<TB_Persistent*>(frame_.get())})
    g->SetOnChange({this, &TB_CustomBitBtn::GroupChanged});
  Layout();
}

TB_CustomBitBtn::~TB_CustomBitBtn() {
  destroying_ = true;
  SetFocusControl(nullptr);
}

void TB_CustomBitBtn::BeforeDestruction() {
  destroying_ = true;
  StopRepeat();
  TB_CustomControl::BeforeDestruction();
}

void TB_CustomBitBtn::GroupChanged(TObject*) {
  if (destroying_) return;
  if (ParentFont() != text_->ParentFont()) SetParentFont(text_->ParentFont());
  Layout();
  Invalidate();
}

// ---------------------------------------------------------------------------
// Properties

void TB_CustomBitBtn::SetFlat(bool Value) {
  if (Value == flat_) return;
  flat_ = Value;
  Invalidate();
}

void TB_CustomBitBtn::SetHotTrack(bool Value) {
  if (Value == hot_track_) return;
  hot_track_ = Value;
  Invalidate();
}

void TB_CustomBitBtn::SetDefault(bool Value) {
  default_ = Value;
  if (TCustomForm* form = GetParentForm(this))
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
  else SetActive(Value);
}

void TB_CustomBitBtn::SetActive(bool Value) {
  if (Value == active_) return;
  active_ = Value;
  Invalidate();
}

void TB_CustomBitBtn::SetAutoSize(bool Value) {
  if (Value == auto_size_) return;
  auto_size_ = Value;
  Layout();
}

void TB_CustomBitBtn::SetLayoutBitmap(TB_LayoutBitmap Value) {
  if (Value == layout_) return;
  layout_ = Value;
  Layout();
  Invalidate();
}

void TB_CustomBitBtn::SetFocusControl(TWinControl* Value) {
  if (Value == focus_control_) return;
  if (focus_control_ != nullptr) focus_control_->RemoveFreeNotification(this);
  focus_control_ = Value;
  if (Value != nullptr) Value->FreeNotification(this);
  if (!destroying_) Invalidate();
}

void TB_CustomBitBtn::Notification(TComponent* AComponent, TOperation Operation) {
  TB_CustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == focus_control_) focus_control_ = nullptr;
  if (AComponent == repeat_timer_) repeat_timer_ = nullptr;
}

void TB_CustomBitBtn::SetState(TB_ButtonState Value) {
  if (Value == state_) return;
  state_ = Value;
  Invalidate();
}

void TB_CustomBitBtn::SetEnabled(bool Value) {
  TB_CustomControl::SetEnabled(Value);
  SetState(Value ? b_bsUp : b_bsDisabled);
}

void TB_CustomBitBtn::FontChanged() {
  TB_CustomControl::FontChanged();
  if (text_ != nullptr) text_->ParentFontChanged();
  Layout();
}

// ---------------------------------------------------------------------------
// Layout

void TB_CustomBitBtn::Resize() {
  TB_CustomControl::Resize();
  Layout();
}

void TB_CustomBitBtn::Layout() {
  if (laying_out_ || destroying_) return;
  laying_out_ = true;
  const int lw = frame_->LineWidth();
  const int t = frame_->BorderWidth() + (frame_->StyleIn() != b_fsNone ? lw : 0) +
                (frame_->StyleOu() != b_fsNone ? lw : 0);
  const int bw = bitmaps_->ImageWidth() > 0 ? bitmaps_->ImageWidth() + 2 * bitmaps_->Border() : 0;
  const int bh = bitmaps_->ImageHeight() > 0 ? bitmaps_->ImageHeight() + 2 * bitmaps_->Border() : 0;
  TRect measured = Rect(0, 0, std::max(Width() - 2 * t, 1), std::max(Height() - 2 * t, 1));
  if (text_->Text().empty()) measured = Rect(0, 0, 0, 0);
  else text_->Measure(measured);
  const int tw = measured.Width(), th = measured.Height();
  int needW = 0, needH = 0;
  switch (layout_) {
    case b_lbLeft:
    case b_lbRight:
      needW = bw + tw;
      needH = std::max(bh, th);
      break;
    case b_lbTop:
    case b_lbBottom:
      needW = std::max(bw, tw);
      needH = bh + th;
      break;
    default:
      needW = std::max(bw, tw);
      needH = std::max(bh, th);
      break;
  }
  needW += 2;
  needH += 2;
  if (auto_size_) {
    int w = Width(), h = Height();
    TAlign a = Align();
    if (a == alNone || a == alLeft || a == alRight) w = std::max(2 * t + needW, 1);
    if (a == alNone || a == alTop || a == alBottom) h = std::max(2 * t + needH, 1);
    if (w != Width() || h != Height()) TB_CustomControl::SetBounds(Left(), Top(), w, h);
  }
  // The block of bitmap and text, centred in the content rectangle.
  TRect c = Rect(t, t, Width() - t, Height() - t);
  const int x0 = c.Left + (c.Width() - (needW - 2)) / 2, y0 = c.Top + (c.Height() - (needH - 2)) / 2;
  TRect b = c, txt = c;
  switch (layout_) {
    case b_lbLeft:
      b = Rect(x0, c.Top, x0 + bw, c.Bottom);
      txt = Rect(x0 + bw, c.Top, std::min(x0 + bw + tw + 1, c.Right), c.Bottom);
      break;
    case b_lbRight:
      txt = Rect(std::max(x0, c.Left), c.Top, x0 + tw + 1, c.Bottom);
      b = Rect(x0 + tw, c.Top, x0 + tw + bw, c.Bottom);
      break;
    case b_lbTop:
      b = Rect(c.Left, y0, c.Right, y0 + bh);
      txt = Rect(c.Left, y0 + bh, c.Right, std::min(y0 + bh + th + 1, c.Bottom));
      break;
    case b_lbBottom:
      txt = Rect(c.Left, std::max(y0, c.Top), c.Right, y0 + th + 1);
      b = Rect(c.Left, y0 + th, c.Right, y0 + th + bh);
      break;
    default:
      break;
  }
  if (layout_ != b_lbCenter && bw == 0) txt = c;
  bitmaps_->SetBoundsRect(b);
  text_rect_ = txt;
  frame_->SetBoundsRect(ClientRect());
  laying_out_ = false;
}

// ---------------------------------------------------------------------------
// Painting

void TB_CustomBitBtn::PlaceAtFocusControl() {
  TWinControl* fc = focus_control_;
  if (fc == nullptr) return;
  if (dynamic_cast<TB_CustomMaskEdit*>(fc) != nullptr) {
    if (Parent() == fc) return;
    SetParent(fc);
    SetAlign(alRight);
    TControl::SetColor(clBtnFace);
    SetAutoSize(true);
    SetTabStop(false);
    bitmaps_->SetBorder(0);
    return;
  }
  int x = fc->Left() + fc->Width() + 2, y = fc->Top() + (fc->Height() - Height()) / 2;
  if (x != Left() || y != Top()) TB_CustomControl::SetBounds(x, y, Width(), Height());
}

void TB_CustomBitBtn::Paint() {
  PlaceAtFocusControl();
  TB_BitBtnFramePersistent* f = frame_.get();
  f->LockUpdates();
  const TB_FrameStyle in = f->StyleIn(), ou = f->StyleOu();
  const Word border = f->BorderWidth();
  const TColor shadow = f->ColorShadow();
  TB_ButtonState state = Enabled() ? state_ : b_bsDisabled;
  bool down = state == b_bsDown || state == b_bsExclusive;
  f->SetColorShadow(flat_ ? clBtnShadow : clWindowFrame);
  if (down) f->SetStyleIn(b_fsLowered);
  else if (in == b_fsNone || (flat_ && Enabled() && !IsDesigning() && !mouse_over_ && !pressed_))
    f->SetStyleIn(b_fsNone);
  else f->SetStyleIn(b_fsRaised);
  if (active_ && border == 0) f->SetBorderWidth(1);
  f->SetBoundsRect(ClientRect());

  int image = 1;
  switch (state) {
    case b_bsDisabled: image = 2; break;
    case b_bsExclusive: image = 3; break;
    case b_bsDown: image = 4; break;
    default: break;
  }
  if (image > bitmaps_->NumberImages()) image = 1;
  bitmaps_->LockUpdates();
  if (state != b_bsUp || !bitmaps_->Play()->Active()) bitmaps_->SetCurrentImage(image);
  bitmaps_->SetEnabled(Enabled());
  TRect br = bitmaps_->BoundsRect(), tr = text_rect_;
  if (down) {
    OffsetRect(tr, 1, 1);
    bitmaps_->SetBounds(br.Left + 1, br.Top + 1, br.Width(), br.Height());
  }
  bitmaps_->Paint(Canvas());
  bitmaps_->SetBoundsRect(br);
  bitmaps_->UnlockUpdates();

  text_->LockUpdates();
  text_->SetEnabled(Enabled());
  text_->SetHighlighted(hot_track_ && mouse_over_ && Enabled());
  if (!text_->Text().empty()) text_->Draw(Canvas(), tr);
  text_->UnlockUpdates();

  f->Paint(Canvas());
  if (Focused() && TabStop()) {
    TRect fr = f->ContentRect(ClientRect());
    InflateRect(fr, -1, -1);
    if (!fr.IsEmpty()) Canvas()->DrawFocusRect(fr);
  }
  f->SetStyleIn(in);
  f->SetStyleOu(ou);
  f->SetBorderWidth(border);
  f->SetColorShadow(shadow);
  f->UnlockUpdates();
}

// ---------------------------------------------------------------------------
// Clicks

bool TB_CustomBitBtn::CanClick() {
  if (!on_before_click_.Assigned()) return true;
  bool allow = true;
  on_before_click_(this, allow);
  return allow;
}

void TB_CustomBitBtn::Click() {
  if (!CanClick()) return;
  TB_CustomControl::Click();
  if (kind_ == b_bkClose) close_form_ = true;
  bool closing = false;
  if (modal_result_ != mrNone || close_form_) {
    if (TCustomForm* form = GetParentForm(this)) {
      if (modal_result_ != mrNone) form->SetModalResult(modal_result_);
      else if (close_form_ && form->ModalResult() == mrNone) form->SetModalResult(mrCancel);
      closing = form->Modal() && form->ModalResult() != mrNone;
      if (close_form_ && !form->Modal()) {
        form->Close();
        closing = true;
      }
    }
  }
  if (!closing && on_after_click_.Assigned()) on_after_click_(this);
  if (!destroying_) {
    SetState(Enabled() ? b_bsUp : b_bsDisabled);
    if (Screen != nullptr) Screen->SetCursor(crDefault);
  }
}

void TB_CustomBitBtn::Press() {
  SetState(b_bsDown);
  Click();
  if (!destroying_) SetState(Enabled() ? b_bsUp : b_bsDisabled);
}

// ---------------------------------------------------------------------------
// Mouse and keys

void TB_CustomBitBtn::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && Enabled()) {
    SetState(b_bsDown);
    pressed_ = true;
    if (repeat_enabled_) {
      if (repeat_timer_ == nullptr) {
        repeat_timer_ = new TTimer(this);
        repeat_timer_->SetOnTimer({this, &TB_CustomBitBtn::RepeatTick});
      }
      repeat_timer_->SetEnabled(false);
      repeat_timer_->SetInterval(repeat_initial_);
      repeat_timer_->SetEnabled(true);
    }
  }
  TB_CustomControl::MouseDown(Button, Shift, X, Y);
}

void TB_CustomBitBtn::MouseMove(TShiftState Shift, int X, int Y) {
  if (pressed_) {
    bool inside = X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
    SetState(inside ? b_bsDown : b_bsUp);
  }
  TB_CustomControl::MouseMove(Shift, X, Y);
}

void TB_CustomBitBtn::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (pressed_) {
    StopRepeat();
    pressed_ = false;
    SetState(Enabled() ? b_bsUp : b_bsDisabled);
  }
  TB_CustomControl::MouseUp(Button, Shift, X, Y);
}

void TB_CustomBitBtn::StopRepeat() {
  if (repeat_timer_ != nullptr) repeat_timer_->SetEnabled(false);
}

void TB_CustomBitBtn::RepeatTick(TObject*) {
  repeat_timer_->SetInterval(repeat_pause_);
  if (!pressed_ || !MouseCapture()) return;
  TB_ButtonState shown = state_;
  Click();
  if (pressed_ && !destroying_) SetState(shown);
}

void TB_CustomBitBtn::KeyDown(Word& Key, TShiftState Shift) {
  TB_CustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE && Enabled()) {
    SetState(b_bsDown);
    pressed_ = true;
  } else if (Key == VK_RIGHT || Key == VK_DOWN) {
    if (TCustomForm* form = GetParentForm(this)) form->SelectNext(this, true, true);
    Key = 0;
  }
}

void TB_CustomBitBtn::KeyUp(Word& Key, TShiftState Shift) {
  TB_CustomControl::KeyUp(Key, Shift);
  if (Key == VK_SPACE && pressed_) {
    pressed_ = false;
    Press();
  }
}

void TB_CustomBitBtn::DoExit() {
  if (pressed_) {
    pressed_ = false;
    StopRepeat();
    SetState(Enabled() ? b_bsUp : b_bsDisabled);
  }
  TB_CustomControl::DoExit();
}

void TB_CustomBitBtn::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_DIALOGKEY:
      if (((Message.WParam == VK_RETURN && active_) || (Message.WParam == VK_ESCAPE && cancel_)) &&
          KeyDataToShiftState(Message.LParam).Empty() && CanFocus()) {
        Press();
        Message.Result = 1;
        return;
      }
      break;
    case CM_DIALOGCHAR:
      if (text_->ShowAccelChar() && CanFocus() &&
          IsAccelKey(static_cast<WideChar>(Message.WParam), text_->Text())) {
        Press();
        Message.Result = 1;
        return;
      }
      break;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(Message.LParam);
      SetActive(dynamic_cast<TB_CustomBitBtn*>(focused) != nullptr ? focused == this : default_);
      Invalidate();
      break;
    }
    case CM_WANTSPECIALKEY:
      if (Message.WParam == VK_RIGHT || Message.WParam == VK_DOWN) {
        Message.Result = 1;
        return;
      }
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      mouse_over_ = Message.Msg == CM_MOUSEENTER;
      if (Enabled() && (flat_ || hot_track_)) Invalidate();
      break;
    default:
      break;
  }
  TB_CustomControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitBButton() {
  using B = TB_BitmapPersistent;
  RegisterClass<TB_ButtonBitmapPersistent, B>("TB_ButtonBitmapPersistent")
      .Prop("AlignHorz", &B::AlignHorz, &B::SetAlignHorz, b_ahRight);
  using C = TB_CustomBitBtn;
  RegisterClass<C, TB_CustomControl>("TB_CustomBitBtn");
  RegisterClass<TB_BitBtn, C>("TB_BitBtn")
      .Prop("Flat", &C::Flat, &C::SetFlat, true)
      .Prop("HotTrack", &C::HotTrack, &C::SetHotTrack, true)
      .Prop("Cancel", &C::Cancel, &C::SetCancel, false)
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("CloseForm", &C::CloseForm, &C::SetCloseForm, false)
      .Prop("ModalResult", &C::ModalResult, &C::SetModalResult, mrNone)
      .Prop("Default", &C::Default, &C::SetDefault, false)
      .Prop("AutoSize", &C::AutoSize, &C::SetAutoSize, false)
      .Prop("LayoutBitmap", &C::LayoutBitmap, &C::SetLayoutBitmap, b_lbLeft)
      .Prop("FocusControl", &C::FocusControl, &C::SetFocusControl)
      .Object("Text", &C::TextGroup)
      .Object("Bitmaps", &C::Bitmaps)
      .Object("Frame", &C::Frame)
      .Prop("State", &C::State, &C::SetState, b_bsUp)
      .Prop("Kind", &C::Kind, &C::SetKind, b_bkCustom)
      .Prop("RepeatInitialPause", &C::RepeatInitialPause, &C::SetRepeatInitialPause, Word{400})
      .Prop("RepeatPause", &C::RepeatPause, &C::SetRepeatPause, Word{100})
      .Prop("RepeatEnabled", &C::RepeatEnabled, &C::SetRepeatEnabled, false)
      .Event("OnBeforeClick", &C::OnBeforeClick, &C::SetOnBeforeClick)
      .Prop("Top", &TControl::Top, &TControl::SetTop, 0)
      .Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
}

constexpr const TUnit* kUses[] = {&unit_B_ctrl, &unit_B_Ctrls, &unit_Forms, &unit_ExtCtrls};

}  // namespace

constinit const TUnit unit_BButton("BButton", kUses, InitBButton, nullptr);
