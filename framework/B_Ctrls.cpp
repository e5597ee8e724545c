#include "framework/B_Ctrls.h"

#include "platform/rtl/UnitInit.h"

bool PaintBackgroundFromTop(TWinControl* Control, HDC DC) {
  if (Control == nullptr || DC == nullptr) return false;
  TWinControl* top = Control;
  while (top->Parent() != nullptr) top = top->Parent();
  TRect r = Control->ClientRect();
  TPoint top_origin = top->ClientToScreen({0, 0});
  TPoint origin = Control->ClientToScreen({0, 0});
  int dx = top_origin.X - origin.X, dy = top_origin.Y - origin.Y;
  if (dx > 0) dx = -dx;
  if (dy > 0) dy = -dy;
  OffsetRect(r, dx, dy);
  return top->Perform(WM_PAINTBACKGROUND, reinterpret_cast<WPARAM>(DC), reinterpret_cast<LPARAM>(&r)) != 0;
}

TB_CustomControl::TB_CustomControl(TComponent* AOwner) : TCustomControl(AOwner) {}

void TB_CustomControl::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Invalidate();
}

void TB_CustomControl::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
  Params.Style |= WS_CLIPCHILDREN;
}

void TB_CustomControl::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND && transparent_ && Parent() != nullptr &&
      PaintBackgroundFromTop(this, reinterpret_cast<HDC>(Message.WParam))) {
    Message.Result = 1;
    return;
  }
  TCustomControl::Dispatch(Message);
}

namespace {

void InitB_Ctrls() {
  RegisterClass<TB_CustomControl, TCustomControl>("TB_CustomControl")
      .Prop("Transparent", &TB_CustomControl::Transparent, &TB_CustomControl::SetTransparent, true);
}

constexpr const TUnit* kUses[] = {&unit_B_PF, &unit_Controls};

}  // namespace

constinit const TUnit unit_B_Ctrls("B_Ctrls", kUses, InitB_Ctrls, nullptr);
