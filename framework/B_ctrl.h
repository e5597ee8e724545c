// Appearance property groups of the framework's controls: the base
// TB_Persistent, frames (TB_CustomFramePersistent and its published forms),
// the animation timer (TB_TimerPersistent with its worker TTimerThread),
// texts (TB_TextPersistent) and bitmaps (TB_BitmapPersistent).
//
// A group is published as a sub-object of a control (form data writes
// "Frame.StyleIn", "Text.Text", "Bitmaps.NameBitmap"), knows the rectangle
// it occupies in the control (Left, Top, Width, Height), paints itself onto
// a canvas and reports every change through OnChange. Changed() does
// nothing while updates are locked (LockUpdates) or while OnChange runs, so
// a change made from inside OnChange is not reported again.
//
// Frames: a bevel of StyleIn along the outer edge, BorderWidth lines of the
// flat border in BorderColor, a bevel of StyleOu inside it; each bevel or
// border is LineWidth (BorderWidth) concentric one-pixel outlines. Edges and
// rounded corners (RoundX x RoundY ellipse) are drawn where Lines says. A
// lowered bevel has the shadow colour at the top and left (with the top-left
// corner), the highlight colour at the bottom and right; a raised one the
// reverse. The top-right and bottom-left corners are split at 45 degrees;
// the bottom and right lines own the two end pixels they share with the top
// and left lines. clNone draws nothing; pen mode pmNop draws nothing.
//
// Texts are laid out with DrawText (GDI.h) in the group's font. Bitmaps are
// drawn from an image list (B_ComCTR.h) with ImageList_DrawEx.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "framework/B_ComCTR.h"
#include "framework/B_PF.h"
#include "platform/gui/Controls.h"
#include "platform/gui/GDI.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/ThreadPriorityNames.h"
#include "platform/rtl/Threads.h"

RTL_ENUM(TB_AlignHorz, b_ahLeft, b_ahCenter, b_ahRight);
RTL_ENUM(TB_AlignVert, b_avTop, b_avCenter, b_avBottom);
RTL_ENUM(TB_TextStyle, b_tsNone, b_tsLowered, b_tsRaised);
RTL_ENUM(TB_BitmapStyle, b_bsNormal, b_bsTile, b_bsStretch, b_bsStretchPercent);
RTL_ENUM(TB_FrameStyle, b_fsNone, b_fsLowered, b_fsRaised);
RTL_ENUM(TB_FrameLine, b_flTop, b_flBottom, b_flLeft, b_flRight, b_flTopLeft, b_flTopRight, b_flBottomLeft,
         b_flBottomRight);
using TB_FrameLines = Set<TB_FrameLine>;
RTL_ENUM(TB_InternalBitmap, b_ibNone, b_ibBtnDown, b_ibCheck, b_ibRadio, b_ibDate, b_ibOpen, b_ibClear, b_ibCut,
         b_ibTree, b_ibCalc, b_ibNew, b_ibEdit, b_ibMem, b_ibFullEdit, b_ibAuto);

// ---------------------------------------------------------------------------
// Base group

class TB_Persistent : public TPersistent {
 public:
  TB_Persistent();
  ~TB_Persistent() override;

  // The control the group belongs to (its canvas and font).
  TControl* Control() const { return control_; }
  void SetControl(TControl* Value) { control_ = Value; }
  TPersistent* GetOwner() override { return control_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Store a different value, without a change notification.
  void SetLeft(int Value) { left_ = Value; }
  void SetTop(int Value) { top_ = Value; }
  void SetWidth(int Value) { width_ = Value; }
  void SetHeight(int Value) { height_ = Value; }
  // The whole rectangle; Changed() when Notify.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight, bool Notify = false);
  void SetBoundsRect(const TRect& R, bool Notify = false) { SetBounds(R.Left, R.Top, R.Width(), R.Height(), Notify); }
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }

  // False greys the group out when painted (no change notification).
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }
  // Reports a change through OnChange (see above).
  virtual void Changed();
  // Counted: while locked, Changed() reports nothing.
  void LockUpdates() { ++lock_count_; }
  void UnlockUpdates() {
    if (lock_count_ > 0) --lock_count_;
  }
  bool UpdatesLocked() const { return lock_count_ > 0; }
  bool NotificationRunning() const { return notifying_; }

 private:
  TControl* control_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 10, height_ = 10;
  TNotifyEvent on_change_;
  int lock_count_ = 0;
  bool notifying_ = false;
  bool enabled_ = true;
};

// ---------------------------------------------------------------------------
// Frames

class TB_CustomFramePersistent : public TB_Persistent {
 public:
  TB_CustomFramePersistent();
  void Assign(TPersistent* Source) override;

  int RoundX() const { return round_x_; }
  void SetRoundX(int Value);
  int RoundY() const { return round_y_; }
  void SetRoundY(int Value);
  int LineWidth() const { return line_width_; }
  void SetLineWidth(int Value);
  TB_FrameLines Lines() const { return lines_; }
  void SetLines(TB_FrameLines Value);
  TB_FrameStyle StyleIn() const { return style_in_; }
  void SetStyleIn(TB_FrameStyle Value);
  TColor BorderColor() const { return border_color_; }
  void SetBorderColor(TColor Value);
  TPenMode BorderMode() const { return border_mode_; }
  void SetBorderMode(TPenMode Value);
  Word BorderWidth() const { return border_width_; }
  void SetBorderWidth(Word Value);
  TB_FrameStyle StyleOu() const { return style_ou_; }
  void SetStyleOu(TB_FrameStyle Value);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode Value);
  TColor ColorHighlight() const { return color_highlight_; }
  void SetColorHighlight(TColor Value);
  TColor ColorShadow() const { return color_shadow_; }
  void SetColorShadow(TColor Value);

  // Paints the frame over the group's rectangle.
  void Paint(TCanvas* Canvas);
  // R shrunk, on each side whose edge is in Lines, by BorderWidth plus
  // LineWidth for each bevel style that is not none.
  TRect ContentRect(const TRect& R) const;

 private:
  template <class T>
  void Set(T& Field, T Value);
  void PaintOutlines(TCanvas* Canvas, TRect R, int Count, TColor TopLeft, TColor BottomRight, TPenMode PenMode);

  int round_x_ = 0, round_y_ = 0;
  int line_width_ = 1;
  TB_FrameLines lines_{b_flTop, b_flBottom, b_flLeft, b_flRight};
  TB_FrameStyle style_in_ = b_fsNone;
  TColor border_color_ = clNone;
  TPenMode border_mode_ = pmCopy;
  Word border_width_ = 0;
  TB_FrameStyle style_ou_ = b_fsNone;
  TPenMode mode_ = pmCopy;
  TColor color_highlight_ = clBtnHighlight;
  TColor color_shadow_ = clBtnShadow;
};

// Published forms (they only publish and set construction values).
class TB_SplitFramePersistent : public TB_CustomFramePersistent {};

class TB_PanelFramePersistent : public TB_CustomFramePersistent {
 public:
  TB_PanelFramePersistent();
};

class TB_BitBtnFramePersistent : public TB_CustomFramePersistent {
 public:
  TB_BitBtnFramePersistent();
};

// ---------------------------------------------------------------------------
// Animation timer

class TB_TimerPersistent;

// Sleeps Interval ms and hands each tick to the main thread until it is
// terminated; paused, it hands nothing over (checked again on the main
// thread, so no tick of a replaced configuration runs).
class TTimerThread : public TThread {
 public:
  TTimerThread(TB_TimerPersistent* Owner, Cardinal Interval);
  bool Paused() const { return paused_.load(); }
  void SetPaused(bool Value) { paused_.store(Value); }
  // True while the thread's tick runs on the main thread.
  bool InTick() const { return in_tick_; }

 protected:
  void Execute() override;

 private:
  TB_TimerPersistent* owner_;
  const Cardinal interval_;
  std::atomic<bool> paused_{true};
  bool in_tick_ = false;  // main thread only
};

// A timer published as a group: ticks run OnTimer every Interval ms while
// Active, from a worker thread (Threaded) or from a window timer of a hidden
// window. Interval 0 or no OnTimer: no ticks. Every setter reconfigures
// (UpdateTimer): the old worker is paused and freed (or the window timer
// stopped) before the new one starts. A window timer that cannot be started
// raises EOutOfResources "Not enough timers available".
class TB_TimerPersistent : public TPersistent {
 public:
  TB_TimerPersistent();
  ~TB_TimerPersistent() override;

  bool Active() const { return active_; }
  void SetActive(bool Value);
  bool Cycled() const { return cycled_; }
  void SetCycled(bool Value) { cycled_ = Value; }
  Cardinal CycledCount() const { return cycled_count_; }
  void SetCycledCount(Cardinal Value) { cycled_count_ = Value; }
  Cardinal Interval() const { return interval_; }
  void SetInterval(Cardinal Value);
  bool Threaded() const { return threaded_; }
  void SetThreaded(bool Value);
  TThreadPriority ThreadPriority() const { return priority_; }
  void SetThreadPriority(TThreadPriority Value);
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent Value);
  const TNotifyEvent& OnActive() const { return on_active_; }
  void SetOnActive(TNotifyEvent Value) { on_active_ = std::move(Value); }

  // What runs the ticks now (for callers that check the configuration).
  bool HasThread() const { return thread_ != nullptr; }
  bool HasWindowTimer() const { return timer_running_; }

 protected:
  // One tick: OnTimer when Active.
  virtual void Tick();

 private:
  friend class TTimerThread;
  void UpdateTimer();
  void FreeThread();
  void FreeWindow();
  void WndProc(TMessage& Message);

  bool active_ = false;
  bool cycled_ = true;
  Cardinal cycled_count_ = 1;
  Cardinal interval_ = 400;
  bool threaded_ = true;
  TThreadPriority priority_ = tpNormal;
  TNotifyEvent on_timer_;
  TNotifyEvent on_active_;
  HWND window_ = nullptr;
  bool timer_running_ = false;
  TTimerThread* thread_ = nullptr;
};

// ---------------------------------------------------------------------------
// Texts

using TB_GetTextEvent = Event<void(TObject* Sender, String& Text)>;

class TB_CustomTextPersistent : public TB_Persistent {
 public:
  TB_CustomTextPersistent();
  ~TB_CustomTextPersistent() override;
  void Assign(TPersistent* Source) override;

  TB_AlignHorz AlignHorz() const { return align_horz_; }
  void SetAlignHorz(TB_AlignHorz Value);
  TB_AlignVert AlignVert() const { return align_vert_; }
  void SetAlignVert(TB_AlignVert Value);
  Word Border() const { return border_; }
  void SetBorder(Word Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TColor ColorShadow() const { return color_shadow_; }
  void SetColorShadow(TColor Value);
  TColor ColorLowered() const { return color_lowered_; }
  void SetColorLowered(TColor Value);
  Word ShadowWidthX() const { return shadow_x_; }
  void SetShadowWidthX(Word Value);
  Word ShadowWidthY() const { return shadow_y_; }
  void SetShadowWidthY(Word Value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool Value);
  // True: the font is the control's (taken again by ParentFontChanged).
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool Value);
  TB_TextStyle Style() const { return style_; }
  void SetStyle(TB_TextStyle Value);
  const String& Text() const { return text_; }
  void SetText(const String& Value);
  bool Ellipsis() const { return ellipsis_; }
  void SetEllipsis(bool Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  const String& Format() const { return format_; }
  void SetFormat(const String& Value);
  bool Formated() const { return formated_; }
  void SetFormated(bool Value);
  // Rotation in tenths of a degree, counter-clockwise.
  int Escapement() const { return escapement_; }
  void SetEscapement(int Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);

  // States the owning control sets (no change notification).
  bool Highlighted() const { return highlighted_; }
  void SetHighlighted(bool Value) { highlighted_ = Value; }
  bool Selected() const { return selected_; }
  void SetSelected(bool Value) { selected_ = Value; }
  const TB_GetTextEvent& OnGetText() const { return on_get_text_; }
  void SetOnGetText(TB_GetTextEvent Value) { on_get_text_ = std::move(Value); }

  // The text shown: OnGetText's, else Text through FormatValue when
  // Formated and Format is set, else Text.
  virtual void GetText(String& Result);
  // The shadow copies' offset (0, 0 without a shadow style).
  int ShadowX() const { return style_ == b_tsNone ? 0 : shadow_x_; }
  int ShadowY() const { return style_ == b_tsNone ? 0 : shadow_y_; }
  // DrawText formats of the group (alignment, word wrap, no prefix, ellipsis).
  UINT DrawFlags() const;
  // The size the text needs within Rect (its width bounds word wrapping):
  // Rect keeps its top-left and gets that size; 0 x 0 when not visible.
  // Canvas may be nullptr (a scratch canvas measures then).
  void Measure(TRect& Rect, TCanvas* Canvas = nullptr);
  int MeasuredWidth() const { return measured_width_; }
  int MeasuredHeight() const { return measured_height_; }
  // Paints the text inside Rect of the canvas (never outside it).
  void Draw(TCanvas* Canvas, const TRect& Rect);
  // Takes the control's font again while ParentFont is set.
  void ParentFontChanged();

  bool IsFontStored() const { return !parent_font_; }

 private:
  template <class T>
  void Set(T& Field, T Value);
  void FontChanged(TObject* Sender);
  void TakeControlFont();
  // The shadow copies and the text, the text's top-left at (X, Y).
  void DrawLayers(TCanvas* Canvas, const String& Text, const TRect& Box, UINT Flags);
  // The text with a font turned by Escapement (not a quarter turn).
  void DrawTurned(TCanvas* Canvas, const String& Text, const TRect& Rect, UINT Flags);
  void DrawQuarterTurn(TCanvas* Canvas, const String& Text, const TRect& Rect, UINT Flags);

  TB_AlignHorz align_horz_ = b_ahLeft;
  TB_AlignVert align_vert_ = b_avCenter;
  Word border_ = 1;
  std::unique_ptr<TFont> font_;
  TColor color_shadow_ = clBtnShadow;
  TColor color_lowered_ = clBtnHighlight;
  Word shadow_x_ = 0;
  Word shadow_y_ = 1;
  bool show_accel_char_ = true;
  bool parent_font_ = true;
  bool taking_font_ = false;
  TB_TextStyle style_ = b_tsNone;
  String text_ = "Text";
  bool ellipsis_ = false;
  bool word_wrap_ = false;
  String format_;
  bool formated_ = true;
  int escapement_ = 0;
  bool visible_ = true;
  bool highlighted_ = false;
  bool selected_ = false;
  TB_GetTextEvent on_get_text_;
  int measured_width_ = 0;
  int measured_height_ = 0;
};

class TB_TextPersistent : public TB_CustomTextPersistent {};

// ---------------------------------------------------------------------------
// Bitmaps

class TB_CustomBitmapPersistent : public TB_Persistent {
 public:
  // Owner: the control the group belongs to (may be nullptr).
  explicit TB_CustomBitmapPersistent(TControl* Owner);
  ~TB_CustomBitmapPersistent() override;
  void Assign(TPersistent* Source) override;

  TB_AlignHorz AlignHorz() const { return align_horz_; }
  void SetAlignHorz(TB_AlignHorz Value);
  TB_AlignVert AlignVert() const { return align_vert_; }
  void SetAlignVert(TB_AlignVert Value);
  Word Border() const { return border_; }
  void SetBorder(Word Value);
  // An image list given directly (forgotten when it is freed).
  TCustomImageList* Images() const { return direct_link_->Sender(); }
  void SetImages(TCustomImageList* Value);
  const String& ImagesName() const { return images_name_; }
  void SetImagesName(const String& Value);
  const String& ImageIndexs() const { return image_indexs_; }
  void SetImageIndexs(const String& Value);
  TB_InternalBitmap Internal() const { return internal_; }
  void SetInternal(TB_InternalBitmap Value);
  const String& NameBitmap() const { return name_bitmap_; }
  void SetNameBitmap(const String& Value);
  const String& NameFile() const { return name_file_; }
  void SetNameFile(const String& Value);
  TB_MaxImageList Number() const { return number_; }
  void SetNumber(TB_MaxImageList Value);
  TB_MaxImageList NumberImages() const { return number_images_; }
  void SetNumberImages(TB_MaxImageList Value);
  TB_BitmapStyle Style() const { return style_; }
  void SetStyle(TB_BitmapStyle Value);
  double StretchX() const { return stretch_x_; }
  void SetStretchX(double Value);
  double StretchY() const { return stretch_y_; }
  void SetStretchY(double Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  TB_TimerPersistent* Play() const { return play_.get(); }
  Word PlayStart() const { return play_start_; }
  void SetPlayStart(Word Value) { play_start_ = Value; }
  Word PlayEnd() const { return play_end_; }
  void SetPlayEnd(Word Value) { play_end_ = Value; }

  // The current image, 1-based: kept when it lies in 1..NumberImages,
  // else 1.
  int CurrentImage() const { return current_; }
  void SetCurrentImage(int Value);
  // The image list drawn from (see the rules in the .cpp), or nullptr.
  TCustomImageList* ImageList();
  // The image indexes found for NameBitmap (or ImageIndexs).
  const std::vector<int>& IndexArray() const { return indexes_; }
  int ImageWidth() const { return image_width_; }
  int ImageHeight() const { return image_height_; }
  // The list index of the current image.
  int CurrentIndex() const;

  // Draws image Index of the list in use at Pos (ImageList_DrawEx with
  // background none and the default foreground when Enabled; embossed
  // otherwise).
  virtual void Draw(TCanvas* Canvas, int Index, TPoint Pos, bool Enabled, TDrawingStyle Style);
  // Paints the current image into the group's rectangle.
  void Paint(TCanvas* Canvas);
  // Takes the images again (built-in names, own list, index array).
  void RefreshImages();
  // One animation step (the Play timer's tick).
  void NextFrame(TObject* Sender);

  bool IsImageIndexsStored() const { return internal_ == b_ibNone && Images() == nullptr; }
  bool IsNameBitmapStored() const { return internal_ == b_ibNone || internal_ == b_ibAuto; }
  bool IsStretchStored() const { return style_ == b_bsStretchPercent; }

 protected:
  void ImagesChanged(TObject* Sender);

 private:
  template <class T>
  void SetRefreshing(T& Field, T Value);
  void FreeOwnList();
  bool UsesSharedList() const { return internal_ != b_ibNone && internal_ != b_ibAuto; }

  TB_AlignHorz align_horz_ = b_ahLeft;
  TB_AlignVert align_vert_ = b_avCenter;
  Word border_ = 0;
  std::unique_ptr<TChangeLink> direct_link_;  // registered with Images
  std::unique_ptr<TChangeLink> use_link_;     // registered with the list in use
  String images_name_;
  TB_ImageList* named_list_ = nullptr;
  uint64_t named_generation_ = 0;
  String image_indexs_;
  TB_InternalBitmap internal_ = b_ibNone;
  String name_bitmap_;
  String name_file_;
  TB_MaxImageList number_ = 0;
  TB_MaxImageList number_images_ = 0;
  TB_BitmapStyle style_ = b_bsNormal;
  double stretch_x_ = 100;
  double stretch_y_ = 100;
  bool transparent_ = true;
  std::unique_ptr<TB_TimerPersistent> play_;
  Word play_start_ = 0;
  Word play_end_ = 0;
  int current_ = 1;
  std::vector<int> indexes_;
  std::unique_ptr<TB_ImageList> own_list_;
  int image_width_ = 0;
  int image_height_ = 0;
  bool refreshing_ = false;
  bool painting_ = false;
};

class TB_BitmapPersistent : public TB_CustomBitmapPersistent {
 public:
  using TB_CustomBitmapPersistent::TB_CustomBitmapPersistent;
};

extern const TUnit unit_B_ctrl;
