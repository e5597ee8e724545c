// B_ctrl: the text group.
#include <algorithm>
#include <cmath>

#include "framework/B_ctrl.h"

namespace {

// Saves a canvas's font and brush style and puts them back.
class CanvasState {
 public:
  explicit CanvasState(TCanvas* Canvas) : canvas_(Canvas), style_(Canvas->Brush()->Style()) {
    font_.Assign(Canvas->Font());
    color_ = Canvas->Brush()->Color();
  }
  ~CanvasState() {
    canvas_->SetFont(&font_);
    canvas_->Brush()->SetColor(color_);
    canvas_->Brush()->SetStyle(style_);
  }
  CanvasState(const CanvasState&) = delete;
  CanvasState& operator=(const CanvasState&) = delete;

 private:
  TCanvas* canvas_;
  TFont font_;
  TColor color_;
  TBrushStyle style_;
};

// A canvas to measure with when the caller has none.
TCanvas* ScratchCanvas() {
  static TBitmap* scratch = [] {
    auto* b = new TBitmap;
    b->SetSize(1, 1);
    return b;
  }();
  return scratch->Canvas();
}

// The block's top-left inside Inner after the alignment.
TPoint Place(const TRect& Inner, int Width, int Height, TB_AlignHorz H, TB_AlignVert V) {
  int x = Inner.Left, y = Inner.Top;
  if (H == b_ahCenter) x = Inner.Left + (Inner.Width() - Width) / 2;
  else if (H == b_ahRight) x = Inner.Right - Width;
  if (V == b_avCenter) y = Inner.Top + (Inner.Height() - Height) / 2;
  else if (V == b_avBottom) y = Inner.Bottom - Height;
  return {x, y};
}

}  // namespace

TB_CustomTextPersistent::TB_CustomTextPersistent() : font_(std::make_unique<TFont>()) {
  font_->SetOnChange({this, &TB_CustomTextPersistent::FontChanged});
}

TB_CustomTextPersistent::~TB_CustomTextPersistent() = default;

template <class T>
void TB_CustomTextPersistent::Set(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Changed();
}

void TB_CustomTextPersistent::SetAlignHorz(TB_AlignHorz Value) { Set(align_horz_, Value); }
void TB_CustomTextPersistent::SetAlignVert(TB_AlignVert Value) { Set(align_vert_, Value); }
void TB_CustomTextPersistent::SetBorder(Word Value) { Set(border_, Value); }
void TB_CustomTextPersistent::SetColorShadow(TColor Value) { Set(color_shadow_, Value); }
void TB_CustomTextPersistent::SetColorLowered(TColor Value) { Set(color_lowered_, Value); }
void TB_CustomTextPersistent::SetShadowWidthX(Word Value) { Set(shadow_x_, Value); }
void TB_CustomTextPersistent::SetShadowWidthY(Word Value) { Set(shadow_y_, Value); }
void TB_CustomTextPersistent::SetShowAccelChar(bool Value) { Set(show_accel_char_, Value); }
void TB_CustomTextPersistent::SetStyle(TB_TextStyle Value) { Set(style_, Value); }
void TB_CustomTextPersistent::SetText(const String& Value) { Set(text_, Value); }
void TB_CustomTextPersistent::SetEllipsis(bool Value) { Set(ellipsis_, Value); }
void TB_CustomTextPersistent::SetWordWrap(bool Value) { Set(word_wrap_, Value); }
void TB_CustomTextPersistent::SetFormat(const String& Value) { Set(format_, Value); }
void TB_CustomTextPersistent::SetFormated(bool Value) { Set(formated_, Value); }
void TB_CustomTextPersistent::SetEscapement(int Value) { Set(escapement_, Value); }
void TB_CustomTextPersistent::SetVisible(bool Value) { Set(visible_, Value); }

void TB_CustomTextPersistent::SetParentFont(bool Value) {
  parent_font_ = Value;
  if (Value) TakeControlFont();
  Changed();
}

void TB_CustomTextPersistent::ParentFontChanged() {
  if (!parent_font_) return;
  TakeControlFont();
  Changed();
}

void TB_CustomTextPersistent::TakeControlFont() {
  if (Control() == nullptr) return;
  taking_font_ = true;
  font_->Assign(Control()->Font());
  taking_font_ = false;
}

void TB_CustomTextPersistent::FontChanged(TObject*) {
  if (taking_font_) return;
  parent_font_ = false;  // a font of its own
  Changed();
}

void TB_CustomTextPersistent::Assign(TPersistent* Source) {
  auto* t = dynamic_cast<TB_CustomTextPersistent*>(Source);
  if (t == nullptr) {
    TB_Persistent::Assign(Source);
    return;
  }
  LockUpdates();
  align_horz_ = t->align_horz_;
  align_vert_ = t->align_vert_;
  border_ = t->border_;
  taking_font_ = true;
  font_->Assign(t->font_.get());
  taking_font_ = false;
  color_shadow_ = t->color_shadow_;
  color_lowered_ = t->color_lowered_;
  shadow_x_ = t->shadow_x_;
  shadow_y_ = t->shadow_y_;
  show_accel_char_ = t->show_accel_char_;
  parent_font_ = t->parent_font_;
  style_ = t->style_;
  text_ = t->text_;
  ellipsis_ = t->ellipsis_;
  word_wrap_ = t->word_wrap_;
  format_ = t->format_;
  formated_ = t->formated_;
  escapement_ = t->escapement_;
  visible_ = t->visible_;
  UnlockUpdates();
  Changed();
}

void TB_CustomTextPersistent::GetText(String& Result) {
  if (on_get_text_.Assigned()) {
    on_get_text_(this, Result);
    return;
  }
  if (formated_ && !format_.empty()) Result = FormatValue(format_, Variant(text_));
  else Result = text_;
}

UINT TB_CustomTextPersistent::DrawFlags() const {
  UINT flags = DT_TOP;
  if (align_horz_ == b_ahCenter) flags |= DT_CENTER;
  else if (align_horz_ == b_ahRight) flags |= DT_RIGHT;
  if (word_wrap_) flags |= DT_WORDBREAK;
  if (!show_accel_char_) flags |= DT_NOPREFIX;
  if (ellipsis_) flags |= DT_END_ELLIPSIS;
  return flags;
}

void TB_CustomTextPersistent::Measure(TRect& Rect, TCanvas* Canvas) {
  if (!visible_) {
    Rect.Right = Rect.Left;
    Rect.Bottom = Rect.Top;
    measured_width_ = measured_height_ = 0;
    return;
  }
  bool vertical = escapement_ == 900 || escapement_ == 2700;
  int avail_w = vertical ? Rect.Height() : Rect.Width();
  int avail_h = vertical ? Rect.Width() : Rect.Height();
  String text;
  GetText(text);
  String shown = text.empty() || (text == "&" && show_accel_char_) ? String(" ") : text;
  int sx = ShadowX(), sy = ShadowY();
  TRect calc{0, 0, avail_w - 2 * border_ - sx, avail_h - 2 * border_ - sy};
  TCanvas* c = Canvas != nullptr ? Canvas : ScratchCanvas();
  {
    CanvasState state(c);
    c->SetFont(font_.get());
    c->Font()->SetOrientation(0);
    DrawText(c->Handle(), shown, -1, &calc, DrawFlags() | DT_CALCRECT);
  }
  int w = calc.Width() + 2 * border_ + sx + (text.empty() ? 0 : 1);
  int h = calc.Height() + 2 * border_ + sy;
  measured_width_ = w;
  measured_height_ = h;
  if (vertical) std::swap(w, h);
  Rect.Right = Rect.Left + w;
  Rect.Bottom = Rect.Top + h;
}

void TB_CustomTextPersistent::DrawLayers(TCanvas* Canvas, const String& Text, const TRect& Box, UINT Flags) {
  auto copy = [&](TColor color, int dx, int dy) {
    TRect r = Box;
    OffsetRect(r, dx, dy);
    Canvas->Font()->SetColor(color);
    DrawText(Canvas->Handle(), Text, -1, &r, Flags | DT_NOCLIP);
  };
  int sx = ShadowX(), sy = ShadowY();
  if (style_ == b_tsRaised) {
    copy(color_shadow_, sx, sy);
    copy(color_lowered_, -1, -1);
  } else if (style_ == b_tsLowered) {
    copy(color_shadow_, 0, 0);
    copy(color_lowered_, sx + 1, sy + 1);
  }
  TColor color = font_->Color();
  if (!Enabled()) color = clGrayText;
  else if (selected_) color = clHighlightText;
  else if (highlighted_) color = clHighlight;
  copy(color, 0, 0);
}

void TB_CustomTextPersistent::Draw(TCanvas* Canvas, const TRect& Rect) {
  if (!visible_ || Canvas == nullptr) return;
  String text;
  GetText(text);
  if (text.empty()) return;
  CanvasState state(Canvas);
  Canvas->SetFont(font_.get());
  Canvas->Font()->SetOrientation(0);
  Canvas->Brush()->SetStyle(bsClear);
  HDC dc = Canvas->Handle();
  int saved = SaveDC(dc);
  IntersectClipRect(dc, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  try {
    UINT flags = DrawFlags();
    if (escapement_ == 900 || escapement_ == 1800 || escapement_ == 2700) DrawQuarterTurn(Canvas, text, Rect, flags);
    else if (escapement_ != 0) DrawTurned(Canvas, text, Rect, flags);
    else {
      TRect inner = Rect;
      InflateRect(inner, -border_, -border_);
      int sx = ShadowX(), sy = ShadowY();
      TRect block = Bounds(0, 0, inner.Width() - sx, inner.Height() - sy);
      DrawText(Canvas->Handle(), text, -1, &block, flags | DT_CALCRECT);
      TPoint at = Place(inner, block.Width() + sx, block.Height() + sy, align_horz_, align_vert_);
      DrawLayers(Canvas, text, Bounds(at.X, at.Y, block.Width(), block.Height()), flags);
    }
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

void TB_CustomTextPersistent::DrawQuarterTurn(TCanvas* Canvas, const String& Text, const TRect& Rect, UINT Flags) {
  int turns = escapement_ / 900;
  bool sideways = turns % 2 == 1;
  TRect inner = Rect;
  InflateRect(inner, -border_, -border_);
  int sx = ShadowX(), sy = ShadowY();
  int avail_w = sideways ? inner.Height() : inner.Width();
  int avail_h = sideways ? inner.Width() : inner.Height();
  TRect block = Bounds(0, 0, avail_w - sx, avail_h - sy);
  DrawText(Canvas->Handle(), Text, -1, &block, Flags | DT_CALCRECT);
  // The text drawn unturned into a transparent bitmap of its size ...
  TBitmap off;
  off.SetAlphaFormat(afDefined);
  off.SetSize(block.Width() + sx + 1, block.Height() + sy + 1);
  TCanvas* oc = off.Canvas();
  oc->SetFont(Canvas->Font());
  oc->Brush()->SetStyle(bsClear);
  // (the copy at (-1, -1) of a raised text needs the extra pixel)
  DrawLayers(oc, Text, Bounds(style_ == b_tsRaised ? 1 : 0, style_ == b_tsRaised ? 1 : 0, block.Width(),
                                block.Height()), Flags);
  // ... then turned and placed in the rectangle.
  RotateBitmap(&off, turns);
  TPoint at = Place(inner, off.Width(), off.Height(), align_horz_, align_vert_);
  Canvas->Draw(at.X, at.Y, &off);
}

void TB_CustomTextPersistent::DrawTurned(TCanvas* Canvas, const String& Text, const TRect& Rect, UINT Flags) {
  TRect inner = Rect;
  InflateRect(inner, -border_, -border_);
  int sx = ShadowX(), sy = ShadowY();
  TRect block = Bounds(0, 0, inner.Width() - sx, inner.Height() - sy);
  DrawText(Canvas->Handle(), Text, -1, &block, Flags | DT_CALCRECT);
  int bw = block.Width() + sx, bh = block.Height() + sy;
  // The bounds of the block turned about its top-left corner.
  double a = escapement_ * M_PI / 1800.0, c = std::cos(a), s = std::sin(a);
  double xs[4] = {0, bw * c, bh * s, bw * c + bh * s};
  double ys[4] = {0, -bw * s, bh * c, -bw * s + bh * c};
  double min_x = *std::min_element(xs, xs + 4), max_x = *std::max_element(xs, xs + 4);
  double min_y = *std::min_element(ys, ys + 4), max_y = *std::max_element(ys, ys + 4);
  TPoint at = Place(inner, static_cast<int>(std::lround(max_x - min_x)), static_cast<int>(std::lround(max_y - min_y)),
                    align_horz_, align_vert_);
  int ox = at.X - static_cast<int>(std::lround(min_x)), oy = at.Y - static_cast<int>(std::lround(min_y));
  Canvas->Font()->SetOrientation(escapement_);
  DrawLayers(Canvas, Text, Bounds(ox, oy, block.Width(), block.Height()), Flags);
}
