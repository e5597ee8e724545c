// TTabSet.
#include "platform/gui/Tabs.h"

#include <algorithm>

#include "platform/gui/GDI.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

namespace {
constexpr int kTabPad = 6;
}

TTabSet::TTabSet(TComponent* AOwner) : TCustomControl(AOwner), tabs_(std::make_unique<TStringList>()) {
  tabs_->SetOnChange({this, &TTabSet::TabsChanged});
  SetControlStyle({csCaptureMouse, csDoubleClicks, csOpaque});
  SetBounds(Left(), Top(), 185, 21);
}

TTabSet::~TTabSet() = default;

int TTabSet::TabWidth(int Index) const {
  Canvas()->SetFont(Font());
  return Canvas()->TextWidth(tabs_->Strings(Index)) + 2 * kTabPad;
}

TRect TTabSet::TabRect(int Index) const {
  if (Index < first_index_ || Index >= tabs_->Count()) return TRect();
  int x = start_margin_;
  const int right = ClientWidth() - end_margin_;
  for (int i = first_index_; i < tabs_->Count(); ++i) {
    int w = TabWidth(i);
    if (x + w > right && i > first_index_) return TRect();
    if (i == Index) return Rect(x, 0, std::min(x + w, right), ClientHeight());
    x += w;
  }
  return TRect();
}

int TTabSet::VisibleTabs() const {
  int n = 0;
  for (int i = first_index_; i < tabs_->Count() && TabRect(i).Right > 0; ++i) ++n;
  return n;
}

int TTabSet::ItemAtPos(TPoint Pos) const {
  for (int i = first_index_; i < tabs_->Count(); ++i) {
    TRect r = TabRect(i);
    if (r.Right <= r.Left) break;
    if (Pos.X >= r.Left && Pos.X < r.Right && Pos.Y >= r.Top && Pos.Y < r.Bottom) return i;
  }
  return -1;
}

bool TTabSet::CanChange(int NewTab) {
  bool allow = true;
  on_change_(this, NewTab, allow);
  return allow;
}

void TTabSet::SetTabIndex(int Value) {
  if (Value == tab_index_) return;
  if (Value < -1 || Value >= tabs_->Count()) throw EInvalidOperation("Tab index out of bounds");
  if (!CanChange(Value)) return;
  tab_index_ = Value;
  ScrollInView(Value);
  Invalidate();
  Click();
}

void TTabSet::ScrollInView(int Index) {
  if (Index < 0) return;
  if (Index < first_index_) first_index_ = Index;
  while (first_index_ < Index && TabRect(Index).Right <= 0) ++first_index_;
}

void TTabSet::SetFirstIndex(int Value) {
  Value = std::clamp(Value, 0, std::max(0, tabs_->Count() - 1));
  if (Value == first_index_) return;
  first_index_ = Value;
  Invalidate();
}

void TTabSet::SelectNext(bool Direction) {
  int n = tabs_->Count();
  if (n == 0) return;
  int next = tab_index_ < 0 ? (Direction ? 0 : n - 1) : (tab_index_ + (Direction ? 1 : n - 1)) % n;
  SetTabIndex(next);
}

void TTabSet::TabsChanged(TObject*) {
  if (tab_index_ >= tabs_->Count()) tab_index_ = tabs_->Count() - 1;
  if (first_index_ >= tabs_->Count()) first_index_ = std::max(0, tabs_->Count() - 1);
  Invalidate();
}

void TTabSet::SetStartMargin(int Value) {
  start_margin_ = Value;
  Invalidate();
}

void TTabSet::SetEndMargin(int Value) {
  end_margin_ = Value;
  Invalidate();
}

void TTabSet::SetSelectedColor(TColor Value) {
  selected_color_ = Value;
  Invalidate();
}

void TTabSet::SetUnselectedColor(TColor Value) {
  unselected_color_ = Value;
  Invalidate();
}

void TTabSet::SetBackgroundColor(TColor Value) {
  background_color_ = Value;
  Invalidate();
}

void TTabSet::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    int i = ItemAtPos({X, Y});
    if (i >= 0 && i != tab_index_) SetTabIndex(i);
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TTabSet::Paint() {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  c->Brush()->SetColor(background_color_);
  c->FillRect(ClientRect());
  // The edge the tabs hang from.
  c->Pen()->SetColor(clBtnShadow);
  c->MoveTo(0, 0);
  c->LineTo(ClientWidth(), 0);
  for (int i = first_index_; i < tabs_->Count(); ++i) {
    TRect r = TabRect(i);
    if (r.Right <= r.Left) break;
    bool selected = i == tab_index_;
    TRect face = Rect(r.Left, selected ? 0 : 1, r.Right, r.Bottom - 2);
    c->Brush()->SetColor(selected ? selected_color_ : unselected_color_);
    c->FillRect(face);
    TRect edge = face;
    DrawEdge(c->Handle(), edge, selected ? EDGE_RAISED : BDR_RAISEDINNER, BF_LEFT | BF_RIGHT | BF_BOTTOM);
    TRect text = face;
    c->Brush()->SetStyle(bsClear);
    DrawText(c->Handle(), tabs_->Strings(i), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    c->Brush()->SetStyle(bsSolid);
  }
}

namespace {

void InitTabs() {
  RegisterClass<TTabSet, TCustomControl>("TTabSet")
      .Object("Tabs", &TTabSet::Tabs)
      .Prop("TabIndex", &TTabSet::TabIndex, &TTabSet::SetTabIndex, -1)
      .Prop("StartMargin", &TTabSet::StartMargin, &TTabSet::SetStartMargin, 5)
      .Prop("EndMargin", &TTabSet::EndMargin, &TTabSet::SetEndMargin, 5)
      .Prop("SelectedColor", &TTabSet::SelectedColor, &TTabSet::SetSelectedColor, clBtnFace)
      .Prop("UnselectedColor", &TTabSet::UnselectedColor, &TTabSet::SetUnselectedColor, clWindow)
      .Prop("BackgroundColor", &TTabSet::BackgroundColor, &TTabSet::SetBackgroundColor, clBtnFace)
      .Prop("DitherBackground", &TTabSet::DitherBackground, &TTabSet::SetDitherBackground, true)
      .Event("OnChange", &TTabSet::OnChange, &TTabSet::SetOnChange);
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_Tabs("Tabs", kUses, InitTabs, nullptr);
