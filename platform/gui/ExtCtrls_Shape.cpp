// TShape.
#include <algorithm>

#include "platform/gui/ExtCtrls.h"

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetBounds(0, 0, 65, 65);
  pen_->SetOnChange({this, &TShape::StyleChanged});
  brush_->SetOnChange({this, &TShape::StyleChanged});
}

TShape::~TShape() = default;

void TShape::SetShape(TShapeType Value) {
  if (Value == shape_) return;
  shape_ = Value;
  Invalidate();
}

void TShape::StyleChanged(TObject*) { Invalidate(); }

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->Assign(pen_.get());
  c->Brush()->Assign(brush_.get());
  int pw = pen_->Width();
  int x = pw / 2, y = x;
  int w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  int s = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare: c->Rectangle(x, y, x + w, y + h); break;
    case stRoundRect:
    case stRoundSquare: c->RoundRect(x, y, x + w, y + h, s / 4, s / 4); break;
    case stEllipse:
    case stCircle: c->Ellipse(x, y, x + w, y + h); break;
  }
}
