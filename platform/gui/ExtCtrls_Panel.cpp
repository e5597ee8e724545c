// TCustomPanel and TPanel.
#include <algorithm>

#include "platform/gui/ExtCtrls.h"

namespace {

// Width lines of a rectangle's edges, Rect shrinking by each.
void Frame(TCanvas* c, TRect& r, TColor topLeft, TColor bottomRight, int width) {
  for (int i = 0; i < width && !r.IsEmpty(); ++i) {
    c->Pen()->SetColor(topLeft);
    c->MoveTo(r.Left, r.Bottom - 1);
    c->LineTo(r.Left, r.Top);
    c->LineTo(r.Right - 1, r.Top);
    c->Pen()->SetColor(bottomRight);
    c->LineTo(r.Right - 1, r.Bottom - 1);
    c->LineTo(r.Left - 1, r.Bottom - 1);
    InflateRect(r, -1, -1);
  }
}

void Bevel(TCanvas* c, TRect& r, TBevelCut cut, int width, TColor color) {
  switch (cut) {
    case bvNone: return;
    case bvLowered: Frame(c, r, clBtnShadow, clBtnHighlight, width); return;
    case bvRaised: Frame(c, r, clBtnHighlight, clBtnShadow, width); return;
    case bvSpace: Frame(c, r, color, color, width); return;
  }
}

}  // namespace

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csSetCaption, csOpaque, csDoubleClicks,
                                                 csReplicatable});
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(false);
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  bevel_inner_ = Value;
  FrameChanged();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  bevel_outer_ = Value;
  FrameChanged();
}

void TCustomPanel::SetBevelWidth(int Value) {
  bevel_width_ = std::max(Value, 1);
  FrameChanged();
}

void TCustomPanel::SetBorderWidth(int Value) {
  border_width_ = std::max(Value, 0);
  FrameChanged();
}

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  border_style_ = Value;
  FrameChanged();
}

void TCustomPanel::FrameChanged() {
  Realign();
  Invalidate();
}

void TCustomPanel::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
}

void TCustomPanel::FontChanged() {
  TCustomControl::FontChanged();
  Invalidate();
}

int TCustomPanel::FrameWidth() const {
  int w = border_width_ + (border_style_ == bsSingle ? 1 : 0);
  if (bevel_outer_ != bvNone) w += bevel_width_;
  if (bevel_inner_ != bvNone) w += bevel_width_;
  return w;
}

void TCustomPanel::AdjustClientRect(TRect& Rect) const {
  TCustomControl::AdjustClientRect(Rect);
  InflateRect(Rect, -FrameWidth(), -FrameWidth());
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Pen()->SetWidth(1);
  if (border_style_ == bsSingle) Frame(c, r, clWindowFrame, clWindowFrame, 1);
  Bevel(c, r, bevel_outer_, bevel_width_, Color());
  Frame(c, r, Color(), Color(), border_width_);
  Bevel(c, r, bevel_inner_, bevel_width_, Color());
  if (Caption().empty() || r.IsEmpty()) return;
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  int w = c->TextWidth(Caption()), h = c->TextHeight(Caption());
  int x = alignment_ == taLeftJustify ? r.Left : alignment_ == taRightJustify ? r.Right - w : r.Left + (r.Width() - w) / 2;
  c->TextRect(r, x, r.Top + (r.Height() - h) / 2, Caption());
}
