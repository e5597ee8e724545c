// Bstdctrl: the image, the panel, the splitter and the unit's class
// registrations (the edit box and the memo are in Bstdctrl_Edit.cpp).
#include "framework/Bstdctrl.h"

#include <algorithm>

#include "platform/rtl/UnitInit.h"

// ---------------------------------------------------------------------------
// TB_Image

TB_Image::TB_Image(TComponent* AOwner)
    : TGraphicControl(AOwner), bitmaps_(std::make_unique<TB_BitmapPersistent>(this)) {
  TControlStyle style = ControlStyle();
  style.Exclude(csOpaque);
  SetControlStyle(style);
  SetBounds(Left(), Top(), 50, 50);
  bitmaps_->SetOnChange({this, &TB_Image::BitmapsChanged});
}

TB_Image::~TB_Image() = default;

void TB_Image::BitmapsChanged(TObject*) {
  AdjustSize();
  Invalidate();
}

void TB_Image::SetAutoSize(bool Value) {
  if (Value == auto_size_) return;
  auto_size_ = Value;
  AdjustSize();
  Invalidate();
}

void TB_Image::AdjustSize() {
  if (!auto_size_ || ComponentState().Contains(csReading) || bitmaps_ == nullptr) return;
  int w = bitmaps_->ImageWidth() * bitmaps_->NumberImages() + 2 * bitmaps_->Border();
  int h = bitmaps_->ImageHeight() + 2 * bitmaps_->Border();
  if (w <= 0) w = 25;
  if (h <= 0) h = 25;
  TAlign a = Align();
  int nw = (a == alNone || a == alLeft || a == alRight) ? w : Width();
  int nh = (a == alNone || a == alTop || a == alBottom) ? h : Height();
  if (nw != Width() || nh != Height()) SetBounds(Left(), Top(), nw, nh);
}

void TB_Image::Paint() {
  TCanvas* c = Canvas();
  if (IsDesigning()) {
    c->Pen()->SetStyle(psDash);
    c->Pen()->SetColor(clBlack);
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(0, 0, Width(), Height());
  }
  AdjustSize();
  bitmaps_->LockUpdates();
  bitmaps_->SetBounds(0, 0, Width(), Height());
  bitmaps_->SetEnabled(Enabled());
  bitmaps_->Paint(c);
  bitmaps_->UnlockUpdates();
}

// ---------------------------------------------------------------------------
// TB_CustomPanel

TB_CustomPanel::TB_CustomPanel(TComponent* AOwner)
    : TB_CustomControl(AOwner),
      text_(std::make_unique<TB_TextPersistent>()),
      frame_(std::make_unique<TB_PanelFramePersistent>()) {
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks});
  SetBounds(0, 0, 185, 41);
  SetParentColor(true);
  SetUseDockManager(true);
  text_->SetControl(this);
  text_->ParentFontChanged();
  frame_->SetControl(this);
  text_->SetOnChange({this, &TB_CustomPanel::GroupChanged});
  frame_->SetOnChange({this, &TB_CustomPanel::GroupChanged});
}

TB_CustomPanel::~TB_CustomPanel() {
  text_->SetOnChange({});
  frame_->SetOnChange({});
}

void TB_CustomPanel::GroupChanged(TObject* Sender) {
  if (Sender == frame_.get()) {
    Realign();
    AdjustSize();
  }
  Invalidate();
}

void TB_CustomPanel::SetAutoSize(bool Value) {
  if (Value == auto_size_) return;
  auto_size_ = Value;
  AdjustSize();
}

void TB_CustomPanel::Loaded() {
  TB_CustomControl::Loaded();
  AdjustSize();
}

void TB_CustomPanel::ControlsChanged() {
  TB_CustomControl::ControlsChanged();
  AdjustSize();
}

void TB_CustomPanel::AdjustSize() {
  if (auto_size_ && !docking_ && !IsLoading() && !ComponentState().Contains(csDestroying)) SizeToChildren();
}

void TB_CustomPanel::DockDrop(TDragDockObject* Source, int X, int Y) {
  if (!auto_size_) {
    TB_CustomControl::DockDrop(Source, X, Y);
    return;
  }
  docking_ = true;
  try {
    const TRect r = Source->DockRect();
    switch (Align()) {
      case alLeft: SetWidth(r.Width()); break;
      case alRight: SetBounds(Left() - (r.Width() - Width()), Top(), r.Width(), Height()); break;
      case alTop: SetHeight(r.Height()); break;
      case alBottom: SetBounds(Left(), Top() - (r.Height() - Height()), Width(), r.Height()); break;
      default: break;
    }
    TB_CustomControl::DockDrop(Source, X, Y);
  } catch (...) {
    docking_ = false;
    throw;
  }
  docking_ = false;
}

void TB_CustomPanel::FontChanged() {
  TB_CustomControl::FontChanged();
  if (text_ != nullptr) text_->ParentFontChanged();
}

void TB_CustomPanel::Resize() {
  // Qt repaints a resized widget whole, so the frame strips need no
  // invalidation of their own without FullRepaint.
  if (full_repaint_) Invalidate();
  TB_CustomControl::Resize();
}

void TB_CustomPanel::AdjustClientRect(TRect& Rect) const {
  TB_CustomControl::AdjustClientRect(Rect);
  Rect = frame_->ContentRect(Rect);
}

void TB_CustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (!Transparent()) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(r);
  }
  frame_->LockUpdates();
  text_->LockUpdates();
  frame_->SetBoundsRect(r);
  TRect content = frame_->ContentRect(r);
  text_->SetBoundsRect(content);
  text_->SetEnabled(Enabled());
  text_->Draw(c, content);
  frame_->Paint(c);
  text_->UnlockUpdates();
  frame_->UnlockUpdates();
  if (IsDesigning() && frame_->StyleIn() == b_fsNone && frame_->StyleOu() == b_fsNone) {
    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetColor(static_cast<TColor>(0x808080));
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(r);
  }
}

// ---------------------------------------------------------------------------
// TB_Split

TB_Split::TB_Split(TComponent* AOwner)
    : TB_CustomControl(AOwner), frame_(std::make_unique<TB_SplitFramePersistent>()) {
  frame_->SetControl(this);
  frame_->SetOnChange({this, [this](TObject*) { Invalidate(); }});
  SetBounds(0, 0, 4, 24);
  TControl::SetColor(clWindow);
  SetCursor(crHSplit);
}

TB_Split::~TB_Split() {
  FreeGhost();
  SetControlResize(nullptr);
  frame_->SetOnChange({});
}

void TB_Split::SetControlResize(TWinControl* Value) {
  if (Value == control_resize_) return;
  if (control_resize_ != nullptr) control_resize_->RemoveFreeNotification(this);
  control_resize_ = Value;
  restore_size_ = -1;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TB_Split::Notification(TComponent* AComponent, TOperation Operation) {
  TB_CustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == control_resize_) {
    control_resize_ = nullptr;
    dragging_ = false;
  }
  if (AComponent == ghost_) ghost_ = nullptr;
}

void TB_Split::SetOrientation(TB_Orientation Value) {
  orientation_ = Value;
  SetCursor(Value == b_oVertical ? crVSplit : crHSplit);
}

int TB_Split::ResizeSize() const {
  if (control_resize_ == nullptr) return 0;
  return Vertical() ? control_resize_->Height() : control_resize_->Width();
}

bool TB_Split::ResizeBefore() const {
  if (control_resize_ == nullptr) return true;
  return Vertical() ? control_resize_->Top() < Top() : control_resize_->Left() < Left();
}

int TB_Split::LimitDelta(int Delta) const {
  if (Parent() == nullptr || control_resize_ == nullptr) return 0;
  TRect pr = Parent()->ClientRect();
  const int lo = (Vertical() ? pr.Top : pr.Left) + limit_left_;
  const int hi = (Vertical() ? pr.Bottom : pr.Right) - limit_right_ - Extent();
  // The splitter's new position start_pos_ + Delta stays in [lo, hi]
  // (a parent too small for both limits keeps the left/top one).
  int d = std::min(Delta, hi - start_pos_);
  d = std::max(d, lo - start_pos_);
  // ControlResize's size stays >= 0.
  if (ResizeBefore()) d = std::max(d, -start_size_);
  else d = std::min(d, start_size_);
  return d;
}

void TB_Split::ApplyDelta(int Delta) {
  if (control_resize_ == nullptr) return;
  int size = ResizeBefore() ? start_size_ + Delta : start_size_ - Delta;
  int before = Pos();
  if (Vertical()) {
    if (!ResizeBefore()) control_resize_->SetBounds(control_resize_->Left(), control_resize_->Top() + (ResizeSize() - size),
                                                    control_resize_->Width(), size);
    else control_resize_->SetHeight(size);
  } else {
    if (!ResizeBefore()) control_resize_->SetBounds(control_resize_->Left() + (ResizeSize() - size), control_resize_->Top(),
                                                    size, control_resize_->Height());
    else control_resize_->SetWidth(size);
  }
  // An aligned splitter has been moved by its parent's realignment.
  if (Align() == alNone && Pos() == before) {
    int p = start_pos_ + Delta;
    if (Vertical()) SetTop(p);
    else SetLeft(p);
  }
}

void TB_Split::MoveGhost(int Delta) {
  if (Parent() == nullptr) return;
  if (ghost_ == nullptr) {
    ghost_ = new TCustomControl(nullptr);
    ghost_->FreeNotification(this);
    ghost_->SetControlStyle({});
    ghost_->SetColor(clGray);
    ghost_->SetParent(Parent());
  }
  TRect r = BoundsRect();
  if (Vertical()) OffsetRect(r, 0, start_pos_ + Delta - Top());
  else OffsetRect(r, start_pos_ + Delta - Left(), 0);
  ghost_->SetBoundsRect(r);
  ghost_->BringToFront();
}

void TB_Split::FreeGhost() {
  if (ghost_ == nullptr) return;
  TCustomControl* g = ghost_;
  ghost_ = nullptr;
  g->RemoveFreeNotification(this);
  delete g;
}

void TB_Split::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TB_CustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || control_resize_ == nullptr || Parent() == nullptr) return;
  TPoint p = ClientToScreen({X, Y});
  start_mouse_ = Vertical() ? p.Y : p.X;
  start_pos_ = Pos();
  start_size_ = ResizeSize();
  last_delta_ = 0;
  dragging_ = true;
  SetMouseCapture(true);
  if (!live_resize_) MoveGhost(0);
}

void TB_Split::MouseMove(TShiftState Shift, int X, int Y) {
  TB_CustomControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  TPoint p = ClientToScreen({X, Y});
  int delta = LimitDelta((Vertical() ? p.Y : p.X) - start_mouse_);
  if (delta == last_delta_) return;
  last_delta_ = delta;
  if (live_resize_) ApplyDelta(delta);
  else MoveGhost(delta);
}

void TB_Split::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (dragging_ && Button == mbLeft) {
    dragging_ = false;
    SetMouseCapture(false);
    FreeGhost();
    ApplyDelta(last_delta_);
  }
  TB_CustomControl::MouseUp(Button, Shift, X, Y);
}

void TB_Split::DblClick() {
  TB_CustomControl::DblClick();
  if (control_resize_ == nullptr || Parent() == nullptr) return;
  dragging_ = false;
  SetMouseCapture(false);
  start_pos_ = Pos();
  start_size_ = ResizeSize();
  if (restore_size_ >= 0) {
    int target = restore_size_;
    restore_size_ = -1;
    ApplyDelta(ResizeBefore() ? target - start_size_ : start_size_ - target);
    return;
  }
  // The smallest size the limits allow.
  int delta = LimitDelta(ResizeBefore() ? -start_size_ : start_size_);
  restore_size_ = start_size_;
  ApplyDelta(delta);
}

void TB_Split::Paint() {
  frame_->LockUpdates();
  frame_->SetBoundsRect(ClientRect());
  frame_->Paint(Canvas());
  frame_->UnlockUpdates();
}

// ---------------------------------------------------------------------------
// Unit

void RegisterBstdctrlEdits();

namespace {

void InitBstdctrl() {
  auto image = RegisterClass<TB_Image, TGraphicControl>("TB_Image");
  image.Prop("AutoSize", &TB_Image::AutoSize, &TB_Image::SetAutoSize, false).Object("Bitmaps", &TB_Image::Bitmaps);
  PublishDrag(image, false);
  using P = TB_CustomPanel;
  RegisterClass<P, TB_CustomControl>("TB_CustomPanel");
  auto panel = RegisterClass<TB_Panel, P>("TB_Panel");
  PublishDrag(panel, true);
  PublishDockSite(panel);
  panel.Prop("AutoSize", &P::AutoSize, &P::SetAutoSize, false)
      .Object("Frame", &P::Frame)
      .Object("Text", &P::TextGroup)
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("UseDockManager", &TWinControl::UseDockManager, &TWinControl::SetUseDockManager, true)
      .Prop("FullRepaint", &P::FullRepaint, &P::SetFullRepaint, true)
      .Prop("Locked", &P::Locked, &P::SetLocked, false)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true)
      .Prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .Prop("Transparent", &TB_CustomControl::Transparent, &TB_CustomControl::SetTransparent, true);
  using S = TB_Split;
  RegisterClass<S, TB_CustomControl>("TB_Split")
      .Object("Frame", &S::Frame)
      .Prop("ControlResize", &S::ControlResize, &S::SetControlResize)
      .Prop("LimitLeftOrTop", &S::LimitLeftOrTop, &S::SetLimitLeftOrTop, Word{33})
      .Prop("LimitRightOrBottom", &S::LimitRightOrBottom, &S::SetLimitRightOrBottom, Word{33})
      .Prop("Orientation", &S::Orientation, &S::SetOrientation, b_oHorizontal)
      .Prop("Color", &TControl::Color, &TControl::SetColor, clWindow)
      .Stored(&TControl::IsColorStored)
      .Prop("Cursor", &TControl::Cursor, &TControl::SetCursor, crHSplit)
      .Prop("Height", &TControl::Height, &TControl::SetHeight, 24)
      .Prop("Width", &TControl::Width, &TControl::SetWidth, 4);
  RegisterBstdctrlEdits();
}

constexpr const TUnit* kUses[] = {&unit_B_ctrl, &unit_B_Ctrls, &unit_BButton, &unit_Mask, &unit_StdCtrls,
                                  &unit_Menus};

}  // namespace

constinit const TUnit unit_Bstdctrl("Bstdctrl", kUses, InitBstdctrl, nullptr);
