// B_ctrl: the base group, frames, the animation timer and the unit's class
// registrations (texts and bitmaps are in B_ctrl_Text.cpp and
// B_ctrl_Bitmap.cpp).
#include "framework/B_ctrl.h"

#include "platform/rtl/UnitInit.h"

// ---------------------------------------------------------------------------
// TB_Persistent

TB_Persistent::TB_Persistent() = default;
TB_Persistent::~TB_Persistent() = default;

void TB_Persistent::SetBounds(int ALeft, int ATop, int AWidth, int AHeight, bool Notify) {
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  if (Notify) Changed();
}

void TB_Persistent::Changed() {
  if (lock_count_ > 0 || notifying_) return;
  notifying_ = true;
  try {
    on_change_(this);
  } catch (...) {
    notifying_ = false;
    throw;
  }
  notifying_ = false;
}

// ---------------------------------------------------------------------------
// Frames

TB_CustomFramePersistent::TB_CustomFramePersistent() {
  SetWidth(50);
  SetHeight(50);
}

template <class T>
void TB_CustomFramePersistent::Set(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Changed();
}

void TB_CustomFramePersistent::SetRoundX(int Value) { Set(round_x_, std::max(Value, 0)); }
void TB_CustomFramePersistent::SetRoundY(int Value) { Set(round_y_, std::max(Value, 0)); }
void TB_CustomFramePersistent::SetLineWidth(int Value) { Set(line_width_, std::max(Value, 1)); }
void TB_CustomFramePersistent::SetLines(TB_FrameLines Value) { Set(lines_, Value); }
void TB_CustomFramePersistent::SetStyleIn(TB_FrameStyle Value) { Set(style_in_, Value); }
void TB_CustomFramePersistent::SetBorderColor(TColor Value) { Set(border_color_, Value); }
void TB_CustomFramePersistent::SetBorderMode(TPenMode Value) { Set(border_mode_, Value); }
void TB_CustomFramePersistent::SetBorderWidth(Word Value) { Set(border_width_, Value); }
void TB_CustomFramePersistent::SetStyleOu(TB_FrameStyle Value) { Set(style_ou_, Value); }
void TB_CustomFramePersistent::SetMode(TPenMode Value) { Set(mode_, Value); }
void TB_CustomFramePersistent::SetColorHighlight(TColor Value) { Set(color_highlight_, Value); }
void TB_CustomFramePersistent::SetColorShadow(TColor Value) { Set(color_shadow_, Value); }

void TB_CustomFramePersistent::Assign(TPersistent* Source) {
  auto* f = dynamic_cast<TB_CustomFramePersistent*>(Source);
  if (f == nullptr) {
    TB_Persistent::Assign(Source);
    return;
  }
  round_x_ = f->round_x_;
  round_y_ = f->round_y_;
  line_width_ = f->line_width_;
  lines_ = f->lines_;
  style_in_ = f->style_in_;
  border_color_ = f->border_color_;
  border_mode_ = f->border_mode_;
  border_width_ = f->border_width_;
  style_ou_ = f->style_ou_;
  mode_ = f->mode_;
  color_highlight_ = f->color_highlight_;
  color_shadow_ = f->color_shadow_;
  Changed();
}

TRect TB_CustomFramePersistent::ContentRect(const TRect& R) const {
  int d = border_width_ + (style_in_ != b_fsNone ? line_width_ : 0) + (style_ou_ != b_fsNone ? line_width_ : 0);
  TRect r = R;
  if (lines_.Contains(b_flLeft)) r.Left += d;
  if (lines_.Contains(b_flTop)) r.Top += d;
  if (lines_.Contains(b_flRight)) r.Right -= d;
  if (lines_.Contains(b_flBottom)) r.Bottom -= d;
  return r;
}

void TB_CustomFramePersistent::Paint(TCanvas* Canvas) {
  TRect r = BoundsRect();
  auto bevel = [this](TB_FrameStyle s, TColor& tl, TColor& br) {
    tl = s == b_fsLowered ? color_shadow_ : color_highlight_;
    br = s == b_fsLowered ? color_highlight_ : color_shadow_;
  };
  TColor tl = clNone, br = clNone;
  if (style_in_ != b_fsNone) {
    bevel(style_in_, tl, br);
    PaintOutlines(Canvas, r, line_width_, tl, br, mode_);
    InflateRect(r, -line_width_, -line_width_);
  }
  if (border_width_ != 0) {
    PaintOutlines(Canvas, r, border_width_, border_color_, border_color_, border_mode_);
    InflateRect(r, -border_width_, -border_width_);
  }
  if (style_ou_ != b_fsNone) {
    bevel(style_ou_, tl, br);
    PaintOutlines(Canvas, r, line_width_, tl, br, mode_);
  }
}

void TB_CustomFramePersistent::PaintOutlines(TCanvas* Canvas, TRect R, int Count, TColor TopLeft,
                                             TColor BottomRight, TPenMode PenMode) {
  TPen saved;
  saved.Assign(Canvas->Pen());
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Pen()->SetMode(PenMode);
  bool rounded = round_x_ > 0 && round_y_ > 0;
  bool tl = rounded && lines_.Contains(b_flTopLeft), trr = rounded && lines_.Contains(b_flTopRight);
  bool bl = rounded && lines_.Contains(b_flBottomLeft), brr = rounded && lines_.Contains(b_flBottomRight);
  int rx = round_x_ / 2, ry = round_y_ / 2;
  for (int i = 0; i < Count && !R.IsEmpty(); ++i, InflateRect(R, -1, -1)) {
    const int L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;
    const int cxl = L + rx, cxr = Rt - rx, cyt = T + ry, cyb = B - ry;
    // Corners: quarter arcs (halves at 45 degrees where the colours meet).
    Canvas->Pen()->SetWidth(i == 0 ? 1 : 2);
    auto arc = [&](TColor c, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
      if (c == clNone) return;
      Canvas->Pen()->SetColor(c);
      Canvas->Arc(x1, y1, x2, y2, x3, y3, x4, y4);
    };
    if (tl) arc(TopLeft, L, T, L + round_x_, T + round_y_, cxl, T, L, cyt);
    if (trr) {
      arc(BottomRight, Rt - round_x_, T, Rt, T + round_y_, Rt, cyt, Rt, T);
      arc(TopLeft, Rt - round_x_, T, Rt, T + round_y_, Rt, T, cxr, T);
    }
    if (bl) {
      arc(TopLeft, L, B - round_y_, L + round_x_, B, L, cyb, L, B);
      arc(BottomRight, L, B - round_y_, L + round_x_, B, L, B, cxl, B);
    }
    if (brr) arc(BottomRight, Rt - round_x_, B - round_y_, Rt, B, cxr, B, Rt, cyb);
    // Straight edges, shortened by the radius at rounded corners.
    Canvas->Pen()->SetWidth(1);
    auto line = [&](TColor c, int x1, int y1, int x2, int y2) {
      if (c == clNone || x2 < x1 || y2 < y1) return;
      Canvas->Pen()->SetColor(c);
      Canvas->MoveTo(x1, y1);
      if (x1 == x2 && y1 == y2) Canvas->LineTo(x1 + 1, y1);
      else if (y1 == y2) Canvas->LineTo(x2 + 1, y1);
      else Canvas->LineTo(x1, y2 + 1);
    };
    if (lines_.Contains(b_flTop)) line(TopLeft, tl ? cxl : L, T, (trr ? cxr : Rt) - 1, T);
    if (lines_.Contains(b_flLeft)) line(TopLeft, L, tl ? cyt : T, L, (bl ? cyb : B) - 1);
    if (lines_.Contains(b_flBottom)) line(BottomRight, bl ? cxl : L, B - 1, (brr ? cxr : Rt) - 1, B - 1);
    if (lines_.Contains(b_flRight)) line(BottomRight, Rt - 1, trr ? cyt : T, Rt - 1, (brr ? cyb : B) - 1);
  }
  Canvas->Pen()->Assign(&saved);
}

TB_PanelFramePersistent::TB_PanelFramePersistent() {
  LockUpdates();
  SetStyleOu(b_fsNone);
  SetStyleIn(b_fsRaised);
  SetBorderMode(pmNop);
  UnlockUpdates();
}

TB_BitBtnFramePersistent::TB_BitBtnFramePersistent() {
  LockUpdates();
  SetStyleIn(b_fsRaised);
  SetStyleOu(b_fsNone);
  UnlockUpdates();
}

// ---------------------------------------------------------------------------
// Animation timer

TTimerThread::TTimerThread(TB_TimerPersistent* Owner, Cardinal Interval)
    : TThread(true), owner_(Owner), interval_(Interval) {}

void TTimerThread::Execute() {
  SetPriority(Priority());
  while (!Terminated()) {
    if (!Sleep(interval_)) break;
    if (Paused()) continue;
    Synchronize([this] {
      if (Paused()) return;
      in_tick_ = true;
      try {
        owner_->Tick();
      } catch (...) {
        in_tick_ = false;
        throw;
      }
      in_tick_ = false;
    });
  }
}

TB_TimerPersistent::TB_TimerPersistent() = default;

TB_TimerPersistent::~TB_TimerPersistent() {
  active_ = false;
  on_timer_ = nullptr;
  on_active_ = nullptr;
  try {
    UpdateTimer();
  } catch (...) {
    // Stopping raises nothing; freeing must not throw.
  }
  FreeThread();
  FreeWindow();
}

void TB_TimerPersistent::SetActive(bool Value) {
  if (Value == active_) return;
  active_ = Value;
  on_active_(this);
  UpdateTimer();
}

void TB_TimerPersistent::SetInterval(Cardinal Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TB_TimerPersistent::SetThreaded(bool Value) {
  if (Value == threaded_) return;
  threaded_ = Value;
  UpdateTimer();
}

void TB_TimerPersistent::SetThreadPriority(TThreadPriority Value) {
  if (Value == priority_) return;
  priority_ = Value;
  if (threaded_) UpdateTimer();
}

void TB_TimerPersistent::SetOnTimer(TNotifyEvent Value) {
  on_timer_ = std::move(Value);
  UpdateTimer();
}

void TB_TimerPersistent::FreeThread() {
  if (thread_ == nullptr) return;
  TTimerThread* t = thread_;
  thread_ = nullptr;
  t->SetPaused(true);
  if (t->InTick()) {
    // Freed from inside its own tick: it ends itself once the tick returns.
    t->SetFreeOnTerminate(true);
    t->Terminate();
    return;
  }
  delete t;
}

void TB_TimerPersistent::FreeWindow() {
  if (window_ == nullptr) return;
  DeallocateHWnd(window_);
  window_ = nullptr;
  timer_running_ = false;
}

void TB_TimerPersistent::UpdateTimer() {
  if (thread_ != nullptr) thread_->SetPaused(true);
  if (window_ != nullptr && timer_running_) {
    KillTimer(window_, 1);
    timer_running_ = false;
  }
  FreeWindow();
  FreeThread();
  if (threaded_) {
    if (active_) thread_ = new TTimerThread(this, interval_);
  } else if (active_) {
    window_ = AllocateHWnd({this, &TB_TimerPersistent::WndProc});
  }
  if (interval_ == 0 || !active_ || !on_timer_.Assigned()) return;
  if (threaded_) {
    thread_->SetPriority(priority_);
    thread_->SetPaused(false);
    thread_->Start();
  } else {
    if (SetTimer(window_, 1, interval_) == 0) throw EOutOfResources("Not enough timers available");
    timer_running_ = true;
  }
}

void TB_TimerPersistent::WndProc(TMessage& Message) {
  if (Message.Msg == WM_TIMER) Tick();
}

void TB_TimerPersistent::Tick() {
  if (active_ && on_timer_.Assigned()) on_timer_(this);
}

// ---------------------------------------------------------------------------
// Unit

namespace {

constexpr TB_FrameLines kEdges{b_flTop, b_flBottom, b_flLeft, b_flRight};

void RegisterFrames() {
  using F = TB_CustomFramePersistent;
  RegisterClass<TB_Persistent, TPersistent>("TB_Persistent");
  RegisterClass<F, TB_Persistent>("TB_CustomFramePersistent");
  RegisterClass<TB_SplitFramePersistent, F>("TB_SplitFramePersistent")
      .Prop("LineWidth", &F::LineWidth, &F::SetLineWidth, 1)
      .Prop("Lines", &F::Lines, &F::SetLines, kEdges)
      .Prop("StyleIn", &F::StyleIn, &F::SetStyleIn, b_fsNone)
      .Prop("StyleOu", &F::StyleOu, &F::SetStyleOu, b_fsNone)
      .Prop("BorderWidth", &F::BorderWidth, &F::SetBorderWidth, 0)
      .Prop("BorderColor", &F::BorderColor, &F::SetBorderColor, clNone)
      .Event("OnChange", &F::OnChange, &F::SetOnChange);
  RegisterClass<TB_PanelFramePersistent, F>("TB_PanelFramePersistent")
      .Prop("LineWidth", &F::LineWidth, &F::SetLineWidth, 1)
      .Prop("Lines", &F::Lines, &F::SetLines, kEdges)
      .Prop("StyleOu", &F::StyleOu, &F::SetStyleOu, b_fsNone)
      .Prop("StyleIn", &F::StyleIn, &F::SetStyleIn, b_fsRaised)
      .Prop("Mode", &F::Mode, &F::SetMode, pmCopy)
      .Prop("RoundX", &F::RoundX, &F::SetRoundX, 0)
      .Prop("RoundY", &F::RoundY, &F::SetRoundY, 0)
      .Prop("BorderMode", &F::BorderMode, &F::SetBorderMode, pmNop)
      .Prop("BorderWidth", &F::BorderWidth, &F::SetBorderWidth, 0)
      .Prop("BorderColor", &F::BorderColor, &F::SetBorderColor, clNone)
      .Event("OnChange", &F::OnChange, &F::SetOnChange);
  RegisterClass<TB_BitBtnFramePersistent, F>("TB_BitBtnFramePersistent")
      .Prop("LineWidth", &F::LineWidth, &F::SetLineWidth, 1)
      .Prop("Lines", &F::Lines, &F::SetLines, kEdges)
      .Prop("RoundX", &F::RoundX, &F::SetRoundX, 0)
      .Prop("RoundY", &F::RoundY, &F::SetRoundY, 0)
      .Prop("BorderWidth", &F::BorderWidth, &F::SetBorderWidth, 0)
      .Prop("BorderColor", &F::BorderColor, &F::SetBorderColor, clNone)
      .Prop("StyleIn", &F::StyleIn, &F::SetStyleIn, b_fsRaised)
      .Prop("StyleOu", &F::StyleOu, &F::SetStyleOu, b_fsNone)
      .Event("OnChange", &F::OnChange, &F::SetOnChange);
  using P = TB_TimerPersistent;
  RegisterClass<P, TPersistent>("TB_TimerPersistent")
      .Prop("Active", &P::Active, &P::SetActive, false)
      .Prop("Cycled", &P::Cycled, &P::SetCycled, true)
      .Prop("CycledCount", &P::CycledCount, &P::SetCycledCount, 1)
      .Prop("Interval", &P::Interval, &P::SetInterval, 400)
      .Prop("Threaded", &P::Threaded, &P::SetThreaded, true)
      .Prop("ThreadPriority", &P::ThreadPriority, &P::SetThreadPriority, tpNormal)
      .Event("OnTimer", &P::OnTimer, &P::SetOnTimer)
      .Event("OnActive", &P::OnActive, &P::SetOnActive);
}

void RegisterTexts() {
  using T = TB_CustomTextPersistent;
  RegisterClass<T, TB_Persistent>("TB_CustomTextPersistent");
  RegisterClass<TB_TextPersistent, T>("TB_TextPersistent")
      .Prop("AlignHorz", &T::AlignHorz, &T::SetAlignHorz, b_ahLeft)
      .Prop("AlignVert", &T::AlignVert, &T::SetAlignVert, b_avCenter)
      .Prop("Border", &T::Border, &T::SetBorder, 1)
      .Object("Font", &T::Font)
      .Stored(&T::IsFontStored)
      .Prop("ColorShadow", &T::ColorShadow, &T::SetColorShadow, clBtnShadow)
      .Prop("ColorLowered", &T::ColorLowered, &T::SetColorLowered, clBtnHighlight)
      .Prop("ShadowWidthX", &T::ShadowWidthX, &T::SetShadowWidthX, 0)
      .Prop("ShadowWidthY", &T::ShadowWidthY, &T::SetShadowWidthY, 1)
      .Prop("ShowAccelChar", &T::ShowAccelChar, &T::SetShowAccelChar, true)
      .Prop("ParentFont", &T::ParentFont, &T::SetParentFont, true)
      .Prop("Style", &T::Style, &T::SetStyle, b_tsNone)
      .Prop("Text", &T::Text, &T::SetText, String("Text"))
      .Prop("Ellipsis", &T::Ellipsis, &T::SetEllipsis, false)
      .Prop("WordWrap", &T::WordWrap, &T::SetWordWrap, false)
      .Prop("Format", &T::Format, &T::SetFormat)
      .Prop("Formated", &T::Formated, &T::SetFormated, true)
      .Prop("Escapement", &T::Escapement, &T::SetEscapement, 0)
      .Prop("Visible", &T::Visible, &T::SetVisible, true)
      .Event("OnChange", &T::OnChange, &T::SetOnChange);
}

void RegisterBitmaps() {
  using B = TB_CustomBitmapPersistent;
  RegisterClass<B, TB_Persistent>("TB_CustomBitmapPersistent");
  RegisterClass<TB_BitmapPersistent, B>("TB_BitmapPersistent")
      .Prop("AlignHorz", &B::AlignHorz, &B::SetAlignHorz, b_ahLeft)
      .Prop("AlignVert", &B::AlignVert, &B::SetAlignVert, b_avCenter)
      .Prop("Border", &B::Border, &B::SetBorder, 0)
      .Prop("Images", &B::Images, &B::SetImages)
      .Prop("ImagesName", &B::ImagesName, &B::SetImagesName)
      .Prop("ImageIndexs", &B::ImageIndexs, &B::SetImageIndexs)
      .Stored(&B::IsImageIndexsStored)
      .Prop("Internal", &B::Internal, &B::SetInternal, b_ibNone)
      .Prop("NameBitmap", &B::NameBitmap, &B::SetNameBitmap)
      .Stored(&B::IsNameBitmapStored)
      .Prop("NameFile", &B::NameFile, &B::SetNameFile)
      .Prop("Number", &B::Number, &B::SetNumber, 0)
      .Prop("NumberImages", &B::NumberImages, &B::SetNumberImages)
      .Stored(false)
      .Prop("Style", &B::Style, &B::SetStyle, b_bsNormal)
      .Prop("StretchX", &B::StretchX, &B::SetStretchX, 100.0)
      .Stored(&B::IsStretchStored)
      .Prop("StretchY", &B::StretchY, &B::SetStretchY, 100.0)
      .Stored(&B::IsStretchStored)
      .Prop("Transparent", &B::Transparent, &B::SetTransparent, true)
      .Object("Play", &B::Play)
      .Prop("PlayStart", &B::PlayStart, &B::SetPlayStart, 0)
      .Prop("PlayEnd", &B::PlayEnd, &B::SetPlayEnd, 0);
}

void InitB_ctrl() {
  RegisterFrames();
  RegisterTexts();
  RegisterBitmaps();
}

constexpr const TUnit* kUses[] = {&unit_B_PF, &unit_B_ComCTR, &unit_Controls};

}  // namespace

constinit const TUnit unit_B_ctrl("B_ctrl", kUses, InitB_ctrl, nullptr);
