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

// ---------------------------------------------------------------------------
// Text-box borders

namespace {

bool Has3D(TB_DrawStyles S) { return S.Contains(b_ds3D) || S.Contains(b_ds3DFocus); }
bool HasSingle(TB_DrawStyles S) { return S.Contains(b_dsSingle) || S.Contains(b_dsSingleFocus); }

void FrameOne(HDC DC, const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
  FrameRect(DC, R, brush);
  DeleteObject(brush);
}

}  // namespace

TRect B_BorderClientRect(TB_DrawStyles Styles, const TRect& Window) {
  int d = 0;
  if (Has3D(Styles)) d += 2;
  if (HasSingle(Styles)) d += 1;
  if (Has3D(Styles) && !Styles.Contains(b_dsSingleFocus)) d -= 1;
  TRect r = Window;
  InflateRect(r, -d, -d);
  return r;
}

void B_PaintBorder(HDC DC, const TRect& Window, TB_DrawStyles Styles, bool Focused, bool MouseOver) {
  if (DC == nullptr) return;
  const bool active = Focused || MouseOver;
  TRect r = Window;
  if (Has3D(Styles)) {
    if (Focused || Styles.Contains(b_ds3D) || (MouseOver && Styles.Contains(b_ds3DFocus))) {
      TRect e = r;
      DrawEdge(DC, e, BDR_SUNKENOUTER, BF_RECT | (active ? BF_SOFT : BF_FLAT));
    } else {
      TRect e = r;
      FrameOne(DC, e, clBtnFace);
      InflateRect(e, -1, -1);
      FrameOne(DC, e, clBtnFace);
    }
    InflateRect(r, -1, -1);
  }
  if (HasSingle(Styles)) {
    // The ring just outside the client area.
    r = B_BorderClientRect(Styles, Window);
    InflateRect(r, 1, 1);
    bool frame = (!active && Styles.Contains(b_dsSingle)) || (active && Styles.Contains(b_dsSingleFocus));
    FrameOne(DC, r, frame ? clWindowFrame : clBtnFace);
  }
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitB_Ctrls() {
  RegisterClass<TB_CustomControl, TCustomControl>("TB_CustomControl")
      .Prop("Transparent", &TB_CustomControl::Transparent, &TB_CustomControl::SetTransparent, true);
}

constexpr const TUnit* kUses[] = {&unit_B_PF, &unit_Controls};

}  // namespace

constinit const TUnit unit_B_Ctrls("B_Ctrls", kUses, InitB_Ctrls, nullptr);
