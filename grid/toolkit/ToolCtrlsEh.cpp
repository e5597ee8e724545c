// Edit buttons, drop-down placement, the shared routines and the unit's
// start-up. The face painter is in ToolCtrlsEh_Paint.cpp, the lists and the
// data helpers in ToolCtrlsEh_Lists.cpp.
#include "grid/toolkit/ToolCtrlsEh.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "grid/toolkit/ToolCtrlsEh_Internal.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/UnitInit.h"

TButtonPaintKindEh ButtonStyleToPaintKind(TEditButtonStyleEh Style) {
  switch (Style) {
    case ebsEllipsisEh: return bpkEllipsisEh;
    case ebsUpDownEh: return bpkUpDownEh;
    case ebsPlusEh: return bpkPlusEh;
    case ebsMinusEh: return bpkMinusEh;
    default: return bpkDropDownEh;
  }
}

// ---------------------------------------------------------------------------
// TEditButtonEh

TEditButtonEh::TEditButtonEh(TWinControl* EditControl) : TCollectionItem(nullptr), edit_control_(EditControl) {
  Init();
}

// The collection announces the new item once it is complete, so nothing is
// reported while the constructors run.
TEditButtonEh::TEditButtonEh(TCollection* Collection) : TCollectionItem(Collection) { Init(); }

TEditButtonEh::~TEditButtonEh() = default;

void TEditButtonEh::Init() {
  glyph_ = std::make_unique<TBitmap>();
  glyph_->SetTransparent(true);
}

void TEditButtonEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TEditButtonEh*>(Source);
  if (src == nullptr) {
    TCollectionItem::Assign(Source);
    return;
  }
  dropdown_menu_ = src->dropdown_menu_;
  glyph_->Assign(src->glyph_.get());
  hint_ = src->hint_;
  num_glyphs_ = src->num_glyphs_;
  short_cut_ = src->short_cut_;
  style_ = src->style_;
  visible_ = src->visible_;
  width_ = src->width_;
  on_click_ = src->on_click_;
  on_down_ = src->on_down_;
  EditButtonChanged();
}

void TEditButtonEh::EditButtonChanged() {
  if (on_changed_) on_changed_(this);
  else if (Collection() != nullptr) Changed(false);
}

void TEditButtonEh::SetGlyph(TBitmap* Value) {
  if (Value == glyph_.get()) return;
  if (Value == nullptr) glyph_->SetSize(0, 0);
  else glyph_->Assign(Value);
  EditButtonChanged();
}

void TEditButtonEh::SetHint(const String& Value) {
  if (Value == hint_) return;
  hint_ = Value;
  EditButtonChanged();
}

void TEditButtonEh::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (Value == num_glyphs_) return;
  num_glyphs_ = Value;
  EditButtonChanged();
}

void TEditButtonEh::SetStyle(TEditButtonStyleEh Value) {
  if (Value == style_) return;
  style_ = Value;
  EditButtonChanged();
}

void TEditButtonEh::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  EditButtonChanged();
}

void TEditButtonEh::SetWidth(int Value) {
  if (Value == width_) return;
  width_ = Value;
  EditButtonChanged();
}

TEditButtonControlEh* TEditButtonEh::CreateEditButtonControl() {
  // An item belongs to the editor that owns its collection.
  TWinControl* edit = edit_control_;
  if (edit == nullptr && Collection() != nullptr) edit = dynamic_cast<TWinControl*>(Collection()->Owner());
  auto* control = new TEditButtonControlEh(edit);
  control->SetControlStyle(control->ControlStyle() + TControlStyle{csReplicatable});
  control->SetWidth(10);
  control->SetHeight(17);
  control->SetVisible(true);
  control->SetTransparent(false);
  control->SetParent(edit);
  return control;
}

TVisibleEditButtonEh::TVisibleEditButtonEh(TWinControl* EditControl) : TEditButtonEh(EditControl) {
  visible_ = true;
  short_cut_ = kDefaultShortCut;
}

TVisibleEditButtonEh::TVisibleEditButtonEh(TCollection* Collection) : TEditButtonEh(Collection) {
  visible_ = true;
  short_cut_ = kDefaultShortCut;
}

TEditButtonsEh::TEditButtonsEh(TPersistent* Editor, TCollectionItemClass ItemClass)
    : TCollection(ItemClass), editor_(Editor) {}

void TEditButtonsEh::Update(TCollectionItem* Item) {
  TCollection::Update(Item);
  if (on_changed_) on_changed_(this);
}

// ---------------------------------------------------------------------------
// TEditButtonControlEh

TEditButtonControlEh::TEditButtonControlEh(TComponent* AOwner) : TSpeedButton(AOwner) {}

void TEditButtonControlEh::SetStyle(TEditButtonStyleEh Value) {
  if (Value == style_) return;
  style_ = Value;
  Invalidate();
}

void TEditButtonControlEh::SetActive(bool Value) {
  if (Value == active_) return;
  active_ = Value;
  Invalidate();
}

void TEditButtonControlEh::SetAlwaysDown(bool Value) {
  if (Value == always_down_) return;
  always_down_ = Value;
  if (Value) {
    SetGroupIndex(1);
    SetDown(true);
    SetAllowAllUp(false);
    button_num_ = 1;
  } else {
    SetAllowAllUp(true);
    SetDown(false);
    SetGroupIndex(0);
    button_num_ = 0;
  }
  Invalidate();
}

void TEditButtonControlEh::EditButtonDown(bool TopButton, bool& AutoRepeat) {
  bool handled = false;
  on_down_(this, TopButton, AutoRepeat, handled);
}

// An up/down pair is split at half its height; the middle line of an odd
// height belongs to neither half.
void TEditButtonControlEh::UpdateButtonNum(int Y) {
  const int old = button_num_;
  if (!Pressed()) {
    button_num_ = 0;
  } else if (style_ == ebsUpDownEh) {
    const int half = Height() / 2;
    button_num_ = Y < half ? 1 : (Y >= Height() - half ? 2 : 0);
  } else {
    button_num_ = 1;
  }
  if (button_num_ != old) Invalidate();
}

void TEditButtonControlEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button != mbLeft) {
    TSpeedButton::MouseDown(Button, Shift, X, Y);
    return;
  }
  bool autoRepeat = style_ == ebsUpDownEh;
  TSpeedButton::MouseDown(Button, Shift, X, Y);
  UpdateButtonNum(Y);
  if (button_num_ > 0) {
    EditButtonDown(button_num_ == 1, autoRepeat);
    if (autoRepeat) StartRepeat(400);
  }
}

void TEditButtonControlEh::StartRepeat(Cardinal Interval) {
  if (timer_ == nullptr) {
    timer_ = new TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetOnTimer({this, &TEditButtonControlEh::RepeatTick});
  }
  if (!timer_->Enabled()) {
    timer_->SetInterval(Interval);
    timer_->SetEnabled(true);
  } else if (timer_->Interval() != Interval) {
    timer_->SetEnabled(false);
    timer_->SetInterval(Interval);
    timer_->SetEnabled(true);
  }
}

// The first repeat comes 400 ms after the press, the next ones every 100 ms,
// while the button is held down.
void TEditButtonControlEh::RepeatTick(TObject*) {
  bool autoRepeat = style_ == ebsUpDownEh;
  if (state_ != bsDown) return;
  if (timer_->Interval() == 400) timer_->SetInterval(100);
  EditButtonDown(button_num_ == 1, autoRepeat);
  if (!autoRepeat && timer_ != nullptr) timer_->SetEnabled(false);
}

void TEditButtonControlEh::MouseMove(TShiftState Shift, int X, int Y) {
  TSpeedButton::MouseMove(Shift, X, Y);
  if (!MouseCapture() || style_ != ebsUpDownEh || state_ != bsDown) return;
  // Sliding off the pressed half releases it.
  const int half = Height() / 2;
  if ((button_num_ == 2 && Y < half) || (button_num_ == 1 && Y >= Height() - half)) {
    state_ = bsUp;
    Invalidate();
  }
}

void TEditButtonControlEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (style_ == ebsUpDownEh && state_ != bsDown) {
    // A half released elsewhere does not click.
    no_click_ = true;
    try {
      TSpeedButton::MouseUp(Button, Shift, X, Y);
    } catch (...) {
      no_click_ = false;
      throw;
    }
    no_click_ = false;
  } else {
    TSpeedButton::MouseUp(Button, Shift, X, Y);
  }
  UpdateButtonNum(Y);
  if (timer_ != nullptr) timer_->SetEnabled(false);
}

void TEditButtonControlEh::Click() {
  if (!no_click_) TSpeedButton::Click();
}

void TEditButtonControlEh::Paint() {
  const TColor parentColor = Parent() != nullptr ? Parent()->Color() : clBtnFace;
  HDC dc = Canvas()->Handle();
  if (style_ != ebsGlyphEh) {
    PaintButtonControlEh(dc, Rect(0, 0, Width(), Height()), parentColor, ButtonStyleToPaintKind(style_),
                         Pressed() ? button_num_ : 0, Flat(), active_, Enabled(), cbUnchecked);
    return;
  }
  if (!Flat()) {
    TSpeedButton::Paint();
    return;
  }
  // A flat glyph button: the glyph inside, a one-pixel frame round it.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, 1, 1, Width() - 1, Height() - 1);
  TSpeedButton::Paint();
  RestoreDC(dc, saved);
  TRect r = ClientRect();
  if (active_) {
    DrawEdge(dc, r, Pressed() ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  } else {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(parentColor)));
    FrameRect(dc, r, brush);
    DeleteObject(brush);
  }
}

// ---------------------------------------------------------------------------
// Drop-down placement

TDropDownPlacementEh PlaceDropDownWindowEh(const TRect& HostScreenRect, int Width, int Height, TDropDownAlign Align,
                                           const TRect& WorkArea) {
  TDropDownPlacementEh p;
  p.Width = Width;
  p.Height = Height;
  int x = HostScreenRect.Left;
  int y = HostScreenRect.Bottom;
  // Below when it fits, else above when that fits, else where there is more
  // room (below on a tie), cut to that room.
  bool above;
  if (y + Height <= WorkArea.Bottom) above = false;
  else if (HostScreenRect.Top - Height >= WorkArea.Top) above = true;
  else above = WorkArea.Bottom - y < HostScreenRect.Top - WorkArea.Top;
  if (above) {
    if (HostScreenRect.Top - p.Height < WorkArea.Top) p.Height = HostScreenRect.Top - WorkArea.Top;
    y = HostScreenRect.Top - p.Height;
    p.VerticalSide = 2;
  } else {
    if (y + p.Height > WorkArea.Bottom) p.Height = WorkArea.Bottom - y;
    p.VerticalSide = 3;
  }
  const int hostWidth = HostScreenRect.Width();
  if (Align == daRight) x -= p.Width - hostWidth;
  else if (Align == daCenter) x -= (p.Width - hostWidth) / 2;
  if (WorkArea.Width() < p.Width) p.Width = WorkArea.Width();
  if (x + p.Width > WorkArea.Right) {
    x = WorkArea.Right - p.Width;
    p.HorizontalSide = 0;
  } else if (x < WorkArea.Left) {
    x = WorkArea.Left;
    p.HorizontalSide = 1;
  } else {
    p.HorizontalSide = Align == daRight ? 0 : 1;
  }
  p.Pos = Point(x, y);
  return p;
}

TPoint AlignDropDownWindowRect(const TRect& HostScreenRect, TWinControl* DropDownWin, TDropDownAlign Align) {
  const TRect work = WorkAreaNearest(HostScreenRect);
  const TDropDownPlacementEh p =
      PlaceDropDownWindowEh(HostScreenRect, DropDownWin->Width(), DropDownWin->Height(), Align, work);
  if (p.Height != DropDownWin->Height()) DropDownWin->SetHeight(p.Height);
  DropDownWin->Perform(CM_DROPDOWNSIDEEH, static_cast<WPARAM>(p.VerticalSide), 0);
  if (p.Width != DropDownWin->Width()) DropDownWin->SetWidth(p.Width);
  DropDownWin->Perform(CM_DROPDOWNSIDEEH, static_cast<WPARAM>(p.HorizontalSide), 0);
  return p.Pos;
}

TPoint AlignDropDownWindow(TWinControl* Host, TWinControl* DropDownWin, TDropDownAlign Align) {
  TPoint origin = Point(Host->Left(), Host->Top());
  if (Host->Parent() != nullptr) origin = Host->Parent()->ClientToScreen(origin);
  return AlignDropDownWindowRect(Bounds(origin.X, origin.Y, Host->Width(), Host->Height()), DropDownWin, Align);
}

// ---------------------------------------------------------------------------
// Shared routines

namespace {

int default_button_width = 0;
int check_box_width = 13;
int check_box_height = 13;

int ComputeDefaultEditButtonWidth() {
  HDC dc = GetDC(nullptr);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  ReleaseDC(nullptr, dc);
  int width = static_cast<int>(std::lround(tm.tmHeight * 2.0 / 3.0));
  if (width % 2 == 0) ++width;
  return std::min(width, GetSystemMetrics(SM_CXVSCROLL));
}

void ReadCheckBoxMetrics() {
  HBITMAP bitmap = LoadBitmap(nullptr, OBM_CHECKBOXES);
  BITMAP info;
  if (bitmap == nullptr || !GetObject(bitmap, &info)) return;
  check_box_width = info.bmWidth / 4;
  check_box_height = info.bmHeight / 3;
  DeleteObject(bitmap);
}

}  // namespace

int DefaultEditButtonWidth() {
  if (default_button_width == 0) default_button_width = ComputeDefaultEditButtonWidth();
  return default_button_width;
}

int ScaleWidthByHalf(int Width, bool Flag) {
  return Flag ? static_cast<int>(std::lround(Width * 3.0 / 2.0)) : Width;
}

bool VarEqualsEh(const Variant& V1, const Variant& V2) {
  try {
    const bool array1 = VarIsArray(V1);
    if (array1 != VarIsArray(V2)) return false;
    if (!array1) {
      if (VarIsEmpty(V1) != VarIsEmpty(V2)) return false;
      return V1 == V2;
    }
    if (VarArrayDimCount(V1) != VarArrayDimCount(V2)) return false;
    const Integer low = VarArrayLowBound(V1, 1), high = VarArrayHighBound(V1, 1);
    if (low != VarArrayLowBound(V2, 1) || high != VarArrayHighBound(V2, 1) || high < low) return false;
    for (Integer i = low; i <= high; ++i) {
      if (!(VarArrayGet(V1, i) == VarArrayGet(V2, i))) return false;
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool IsDoubleClickCandidate(TPoint P1, TPoint P2, int Interval) {
  return Interval <= static_cast<int>(GetDoubleClickTime()) &&
         std::abs(P1.X - P2.X) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(P1.Y - P2.Y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

int DefaultCheckBoxWidth() { return check_box_width; }
int DefaultCheckBoxHeight() { return check_box_height; }

TRect AdjustCheckBoxRect(const TRect& ClientRect, TAlignment Alignment, TTextLayout Layout) {
  const int w = std::min(ClientRect.Width(), check_box_width);
  const int h = std::min(ClientRect.Height(), check_box_height);
  int x = ClientRect.Left, y = ClientRect.Top;
  if (ClientRect.Width() > check_box_width) {
    if (Alignment == taRightJustify) x = ClientRect.Right - w;
    else if (Alignment == taCenter) x = ClientRect.Left + ClientRect.Width() / 2 - w / 2;
  }
  if (ClientRect.Height() > check_box_height) {
    if (Layout == tlCenter) y = ClientRect.Top + ClientRect.Height() / 2 - h / 2;
    else if (Layout == tlBottom) y = ClientRect.Bottom - h;
  }
  return Bounds(x, y, w, h);
}

// ---------------------------------------------------------------------------
// The unit

namespace {

void InitToolCtrlsEh() {
  RegisterClass<TEditButtonEh, TCollectionItem>("TEditButtonEh")
      .Prop("DropdownMenu", &TEditButtonEh::DropdownMenu, &TEditButtonEh::SetDropdownMenu)
      .Object("Glyph", &TEditButtonEh::Glyph)
      .Prop("Hint", &TEditButtonEh::Hint, &TEditButtonEh::SetHint)
      .Prop("NumGlyphs", &TEditButtonEh::NumGlyphs, &TEditButtonEh::SetNumGlyphs, 1)
      .Prop("ShortCut", &TEditButtonEh::ShortCut, &TEditButtonEh::SetShortCut, 0)
      .Prop("Style", &TEditButtonEh::Style, &TEditButtonEh::SetStyle, ebsDropDownEh)
      .Prop("Visible", &TEditButtonEh::Visible, &TEditButtonEh::SetVisible, false)
      .Prop("Width", &TEditButtonEh::Width, &TEditButtonEh::SetWidth, 0)
      .Event("OnClick", &TEditButtonEh::OnClick, &TEditButtonEh::SetOnClick)
      .Event("OnDown", &TEditButtonEh::OnDown, &TEditButtonEh::SetOnDown);
  RegisterClass<TVisibleEditButtonEh, TEditButtonEh>("TVisibleEditButtonEh")
      .Prop("ShortCut", &TEditButtonEh::ShortCut, &TEditButtonEh::SetShortCut, TVisibleEditButtonEh::kDefaultShortCut)
      .Prop("Visible", &TEditButtonEh::Visible, &TEditButtonEh::SetVisible, true);
  RegisterClass<TEditButtonsEh, TCollection>("TEditButtonsEh");
  RegisterClass<TEditButtonControlEh, TSpeedButton>("TEditButtonControlEh");
  RegisterClass<TSpeedButtonEh, TEditButtonControlEh>("TSpeedButtonEh")
      .Prop("Active", &TEditButtonControlEh::Active, &TEditButtonControlEh::SetActive, false)
      .Prop("Style", &TEditButtonControlEh::Style, &TEditButtonControlEh::SetStyle, ebsDropDownEh);
  RegisterClass<TMRUListEh, TPersistent>("TMRUListEh")
      .Prop("AutoAdd", &TMRUListEh::AutoAdd, &TMRUListEh::SetAutoAdd, true)
      .Prop("Active", &TMRUListEh::Active, &TMRUListEh::SetActive, false)
      .Prop("CaseSensitive", &TMRUListEh::CaseSensitive, &TMRUListEh::SetCaseSensitive, false)
      .Object("Items", &TMRUListEh::Items)
      .Prop("Limit", &TMRUListEh::Limit, &TMRUListEh::SetLimit, 100)
      .Prop("Rows", &TMRUListEh::Rows, &TMRUListEh::SetRows, 7);
  RegisterClass<TSpecRowEh, TPersistent>("TSpecRowEh")
      .Prop("CellsText", &TSpecRowEh::CellsText, &TSpecRowEh::SetCellsText)
      .Prop("Color", &TSpecRowEh::Color, &TSpecRowEh::SetColor)
      .Stored(&TSpecRowEh::IsColorStored)
      .Object("Font", &TSpecRowEh::Font)
      .Stored(&TSpecRowEh::IsFontStored)
      .Prop("ShortCut", &TSpecRowEh::ShortCut, &TSpecRowEh::SetShortCut, TSpecRowEh::kDefaultShortCut)
      .Prop("ShowIfNotInKeyList", &TSpecRowEh::ShowIfNotInKeyList, &TSpecRowEh::SetShowIfNotInKeyList, true)
      .Prop("Value", &TSpecRowEh::Value, &TSpecRowEh::SetValue)
      .Default(Null())
      .Prop("Visible", &TSpecRowEh::Visible, &TSpecRowEh::SetVisible, false);

  default_button_width = ComputeDefaultEditButtonWidth();
  ReadCheckBoxMetrics();
  InitButtonsBitmapCache();
}

void FinalToolCtrlsEh() { FreeButtonsBitmapCache(); }

constexpr const TUnit* kUses[] = {&unit_Buttons, &unit_ExtCtrls, &unit_ImgList, &unit_Menus, &unit_StdCtrls,
                                  &unit_DB};

}  // namespace

constinit const TUnit unit_ToolCtrlsEh("ToolCtrlsEh", kUses, InitToolCtrlsEh, FinalToolCtrlsEh);
