// TSpeedButton.
#include "platform/gui/Buttons.h"

#include <algorithm>

#include "platform/gui/GDI.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  SetControlStyle(TControlStyle{csCaptureMouse, csDoubleClicks});
  SetBounds(0, 0, 23, 22);
  glyph_->SetOnChange({this, &TSpeedButton::GlyphChanged});
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::GlyphChanged(TObject*) { Invalidate(); }

void TSpeedButton::SetGlyph(TBitmap* Value) {
  if (Value == nullptr) {
    glyph_->SetSize(0, 0);
    return;
  }
  glyph_->Assign(Value);
  // A strip of square images tells their number.
  int h = glyph_->Height(), w = glyph_->Width();
  if (h > 0 && w > h && w % h == 0) SetNumGlyphs(w / h);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (Value == num_glyphs_) return;
  num_glyphs_ = Value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool Value) {
  if (Value == flat_) return;
  flat_ = Value;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
  layout_ = Value;
  Invalidate();
}

void TSpeedButton::SetMargin(int Value) {
  margin_ = std::max(Value, -1);
  Invalidate();
}

void TSpeedButton::SetSpacing(int Value) {
  spacing_ = Value;
  Invalidate();
}

void TSpeedButton::SetEnabled(bool Value) {
  TGraphicControl::SetEnabled(Value);
  if (!Value) state_ = bsDisabled;
  else state_ = down_ ? bsExclusive : bsUp;
  Invalidate();
}

void TSpeedButton::SetDown(bool Value) {
  if (group_index_ == 0) Value = false;
  if (Value == down_) return;
  if (down_ && !allow_all_up_) return;
  down_ = Value;
  if (state_ != bsDisabled) state_ = Value ? bsExclusive : bsUp;
  Invalidate();
  if (Value) UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int Value) {
  if (Value == group_index_) return;
  group_index_ = Value;
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  if (Value == allow_all_up_) return;
  allow_all_up_ = Value;
  UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  TWinControl* parent = Parent();
  if (group_index_ == 0 || parent == nullptr) return;
  std::vector<TControl*> siblings;
  for (int i = 0; i < parent->ControlCount(); ++i) siblings.push_back(parent->Controls(i));
  for (TControl* c : siblings) {
    if (c != this) c->Perform(CM_BUTTONPRESSED, static_cast<WPARAM>(group_index_), reinterpret_cast<LPARAM>(this));
  }
}

void TSpeedButton::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_BUTTONPRESSED: {
      auto* sender = reinterpret_cast<TSpeedButton*>(Message.LParam);
      if (static_cast<int>(Message.WParam) != group_index_ || sender == this || sender == nullptr) return;
      if (sender->down_ && down_) {
        down_ = false;
        if (state_ != bsDisabled) state_ = bsUp;
        Invalidate();
      }
      allow_all_up_ = sender->allow_all_up_;
      return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      mouse_in_control_ = Message.Msg == CM_MOUSEENTER && Enabled();
      if (flat_) Invalidate();
      TGraphicControl::Dispatch(Message);
      return;
    default:
      TGraphicControl::Dispatch(Message);
  }
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (!down_) {
    state_ = bsDown;
    Invalidate();
  }
  dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
  TButtonState s = down_ ? bsExclusive : (inside ? bsDown : bsUp);
  if (s != state_) {
    state_ = s;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (!dragging_) return;
  dragging_ = false;
  bool click = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
  TControlRef self(this);
  if (group_index_ == 0) {
    state_ = bsUp;
    mouse_in_control_ = mouse_in_control_ && click;
  } else if (click) {
    SetDown(!down_);
    state_ = down_ ? bsExclusive : bsUp;
  } else {
    state_ = down_ ? bsExclusive : bsUp;
  }
  Invalidate();
  if (click && self) Click();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

TRect TSpeedButton::GlyphSize() const {
  if (glyph_->Width() == 0 || glyph_->Height() == 0) return {};
  return Rect(0, 0, glyph_->Width() / num_glyphs_, glyph_->Height());
}

void TSpeedButton::DrawGlyph(int X, int Y, TButtonState State) {
  TRect size = GlyphSize();
  if (size.IsEmpty()) return;
  int index = 0;
  switch (State) {
    case bsDisabled: index = num_glyphs_ > 1 ? 1 : -1; break;
    case bsDown: index = num_glyphs_ > 2 ? 2 : 0; break;
    case bsExclusive: index = num_glyphs_ > 3 ? 3 : 0; break;
    default: break;
  }
  TCanvas* c = Canvas();
  TColor transparent = glyph_->TransparentColor();
  c->Brush()->SetStyle(bsClear);
  TRect dest = Bounds(X, Y, size.Width(), size.Height());
  if (index >= 0) {
    c->BrushCopy(dest, glyph_.get(), Bounds(index * size.Width(), 0, size.Width(), size.Height()), transparent);
    return;
  }
  // Embossed from the up image: every pixel that is not transparent.
  TCanvas* src = glyph_->Canvas();
  for (int y = 0; y < size.Height(); ++y) {
    for (int x = 0; x < size.Width(); ++x) {
      if (src->Pixel(x, y) == transparent) continue;
      c->SetPixel(X + x + 1, Y + y + 1, clBtnHighlight);
    }
  }
  for (int y = 0; y < size.Height(); ++y) {
    for (int x = 0; x < size.Width(); ++x) {
      if (src->Pixel(x, y) != transparent) c->SetPixel(X + x, Y + y, clBtnShadow);
    }
  }
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  bool pressed = state_ == bsDown || state_ == bsExclusive;
  HDC dc = c->Handle();
  if (flat_ && !transparent_) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(r);
  }
  if (!flat_) {
    DrawEdge(dc, r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  } else if (pressed) {
    DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT);
  } else if (mouse_in_control_ && state_ != bsDisabled) {
    DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
  }
  // Glyph and caption, laid out together.
  c->Font()->Assign(Font());
  TRect g = GlyphSize();
  String caption = Caption();
  TSize text{caption.empty() ? 0 : c->TextWidth(caption), caption.empty() ? 0 : c->TextHeight(caption)};
  int space = (g.IsEmpty() || caption.empty()) ? 0 : spacing_;
  bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  int total = horizontal ? g.Width() + space + text.cx : g.Height() + space + text.cy;
  int extent = horizontal ? Width() : Height();
  int start = margin_ < 0 ? (extent - total) / 2 : margin_;
  int gx, gy, tx, ty;
  if (horizontal) {
    gy = (Height() - g.Height()) / 2;
    ty = (Height() - text.cy) / 2;
    if (layout_ == blGlyphLeft) {
      gx = start;
      tx = start + g.Width() + space;
    } else {
      tx = start;
      gx = start + text.cx + space;
    }
  } else {
    gx = (Width() - g.Width()) / 2;
    tx = (Width() - text.cx) / 2;
    if (layout_ == blGlyphTop) {
      gy = start;
      ty = start + g.Height() + space;
    } else {
      ty = start;
      gy = start + text.cy + space;
    }
  }
  int shift = pressed ? 1 : 0;
  DrawGlyph(gx + shift, gy + shift, state_);
  if (!caption.empty()) {
    c->Brush()->SetStyle(bsClear);
    if (state_ == bsDisabled) {
      c->Font()->SetColor(clBtnHighlight);
      c->TextOut(tx + 1, ty + 1, caption);
      c->Font()->SetColor(clBtnShadow);
    }
    c->TextOut(tx + shift, ty + shift, caption);
  }
}

namespace {

void InitButtons() {
  RegisterClass<TSpeedButton, TGraphicControl>("TSpeedButton")
      .Prop("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false)
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0)
      .Prop("Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false)
      .Prop("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false)
      .Prop("Transparent", &TSpeedButton::Transparent, &TSpeedButton::SetTransparent, true)
      .Object("Glyph", &TSpeedButton::Glyph)
      .Prop("Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout, blGlyphLeft)
      .Prop("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin, -1)
      .Prop("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs, 1)
      .Prop("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing, 4);
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_Buttons("Buttons", kUses, InitButtons, nullptr);
