// Controls: TControl, TWinControl, TCustomControl, TGraphicControl.
//
// Every control owns one QWidget (forward-declared here; Qt stays in the
// .cpp files). The widget is made lazily: when the control's parent has a
// widget, when the handle is asked for (HandleNeeded / Handle) or when a form
// is shown; until then the properties live only in the control, and they are
// pushed to the widget when it is made (InitWidget). Properties are always
// read from the control, never from Qt.
//
// Geometry: Left/Top/Width/Height are relative to the parent's client area.
// A form's Width/Height are its client size (the window manager draws the
// frame outside). When a windowed control's client size changes, its
// children realign: Align (alTop, alBottom, alLeft, alRight, alClient, in
// that order, each in child order) and Anchors: a control keeps its distance
// to each anchored side of the parent as recorded when its bounds were last
// set outside aligning (or when it was loaded); anchored on both sides it
// stretches, on neither it keeps its relative centre.
//
// Messages: Perform(Msg, W, L) builds a TMessage and runs WndProc, which by
// default calls Dispatch; Dispatch handles the messages the class knows and
// passes the rest to DefaultHandler, which answers 0. A windowed control's
// Handle is a window handle (Messages.h) whose procedure is WndProc.
//
// Events that the event loop delivers (clicks, keys, paints, timers) catch
// every exception and hand it to Application->HandleException.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Types.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/TypInfo.h"

class QWidget;
class TWinControl;

RTL_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom);
RTL_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom);
using TAnchors = Set<TAnchorKind>;
RTL_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle);
RTL_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble);
using TShiftState = Set<TShiftStateItem>;
RTL_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter);
RTL_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth);

enum TCursor : int16_t {
  crDefault = 0,
  crNone = -1,
  crArrow = -2,
  crCross = -3,
  crIBeam = -4,
  crSizeNESW = -6,
  crSizeNS = -7,
  crSizeNWSE = -8,
  crSizeWE = -9,
  crUpArrow = -10,
  crHourGlass = -11,
  crDrag = -12,
  crNoDrop = -13,
  crHSplit = -14,
  crVSplit = -15,
  crMultiDrag = -16,
  crSQLWait = -17,
  crNo = -18,
  crAppStart = -19,
  crHelp = -20,
  crHandPoint = -21,
  crSizeAll = -22,
};
std::span<const TIdentMapEntry> CursorIdents();
RTL_INT_CONSTS(TCursor, CursorIdents)

using TMouseEvent = Event<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = Event<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = Event<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = Event<void(TObject* Sender, WideChar& Key)>;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  void BeforeDestruction() override;

  // Parent (the windowed control this one lies in).
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }

  // Bounds.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int Value) { SetBounds(left_, top_, width_, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  virtual void SetClientWidth(int Value);
  virtual void SetClientHeight(int Value);
  TPoint ClientToScreen(TPoint P) const;
  TPoint ScreenToClient(TPoint P) const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors Value);

  // State and appearance.
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible (a form: shown).
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool Value);
  // Caption and Text are the same text.
  const String& Caption() const { return text_; }
  void SetCaption(const String& Value) { SetText(Value); }
  virtual String Text() const { return text_; }
  virtual void SetText(const String& Value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& Value);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  // Color and Font are stored unless taken from the parent.
  bool IsColorStored() const { return !parent_color_; }
  bool IsFontStored() const { return !parent_font_; }

  // Events.
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent Value) { on_click_ = std::move(Value); }
  const TNotifyEvent& OnDblClick() const { return on_dbl_click_; }
  void SetOnDblClick(TNotifyEvent Value) { on_dbl_click_ = std::move(Value); }
  const TMouseEvent& OnMouseDown() const { return on_mouse_down_; }
  void SetOnMouseDown(TMouseEvent Value) { on_mouse_down_ = std::move(Value); }
  const TMouseEvent& OnMouseUp() const { return on_mouse_up_; }
  void SetOnMouseUp(TMouseEvent Value) { on_mouse_up_ = std::move(Value); }
  const TMouseMoveEvent& OnMouseMove() const { return on_mouse_move_; }
  void SetOnMouseMove(TMouseMoveEvent Value) { on_mouse_move_ = std::move(Value); }
  const TNotifyEvent& OnResize() const { return on_resize_; }
  void SetOnResize(TNotifyEvent Value) { on_resize_ = std::move(Value); }

  // Runs OnClick.
  virtual void Click();

  // Painting.
  void Invalidate();
  void Repaint();
  void Update();
  void Refresh() { Repaint(); }
  void BringToFront();

  // Messages.
  LRESULT Perform(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  virtual void WndProc(TMessage& Message);
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);

  // The widget (nullptr until made).
  QWidget* Widget() const { return widget_; }
  bool WidgetAllocated() const { return widget_ != nullptr; }
  // Makes the widget (and the parents' widgets first).
  virtual void HandleNeeded();

  void Loaded() override;

  // Entry points of the widget's events (called by the GUI layer).
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void DblClick();
  // Bounds changed by the window system (top-level windows).
  void WidgetResized(int AWidth, int AHeight);
  void WidgetMoved(int ALeft, int ATop);
  // The window system asks to close a top-level window: true lets it close.
  virtual bool WidgetCloseRequested() { return true; }
  // True when a press and release of the left button inside is a click
  // (false for widgets that report clicks themselves).
  virtual bool ClicksFromMouse() const { return true; }

 protected:
  // Makes the widget inside ParentWidget (nullptr for a top-level window).
  virtual QWidget* CreateWidget(QWidget* ParentWidget);
  // Pushes the control's state into a fresh widget.
  virtual void InitWidget();
  virtual void DestroyWidget();
  void CreateHandle();
  // The bounds of the widget changed: position it.
  virtual void ApplyBounds();
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void VisibleChanged();
  virtual void Resize();
  // True for text-entry widgets whose Color is the base colour.
  virtual bool ColorIsBase() const { return false; }
  // True when the widget paints its own background in Color.
  virtual bool FillsBackground() const { return false; }
  void ParentFontChanged();
  void ParentColorChanged();
  // Anchors: the reference bounds and parent size.
  void UpdateAnchorRules();
  void AnchorTo(int ParentWidth, int ParentHeight);
  void RequestAlign();
  void SetBoundsInternal(int ALeft, int ATop, int AWidth, int AHeight, bool Aligning);

  QWidget* widget_ = nullptr;

 private:
  friend class TWinControl;
  void FontChangedHandler(TObject* Sender);

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  struct AnchorBase {
    bool valid = false;
    int left = 0, top = 0, width = 0, height = 0, parentWidth = 0, parentHeight = 0;
  } anchor_base_;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
  std::unique_ptr<TFont> font_;
  bool parent_font_ = true;
  bool font_from_parent_ = false;
  String text_;
  String hint_;
  bool show_hint_ = false;
  TCursor cursor_ = crDefault;
  TNotifyEvent on_click_, on_dbl_click_, on_resize_;
  TMouseEvent on_mouse_down_, on_mouse_up_;
  TMouseMoveEvent on_mouse_move_;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;
  void BeforeDestruction() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int Index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(const TControl* AControl) const;

  // The window handle (makes the widget).
  HWND Handle();
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  void HandleNeeded() override;

  // Focus and tab order.
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool Value);
  // Position among the parent's windowed children in tab order (-1 without parent).
  int TabOrder() const;
  void SetTabOrder(int Value);
  // Windowed children in tab order.
  std::vector<TWinControl*> TabList() const { return tab_list_; }
  virtual bool CanFocus() const;
  virtual void SetFocus();
  bool Focused() const;
  const TNotifyEvent& OnEnter() const { return on_enter_; }
  void SetOnEnter(TNotifyEvent Value) { on_enter_ = std::move(Value); }
  const TNotifyEvent& OnExit() const { return on_exit_; }
  void SetOnExit(TNotifyEvent Value) { on_exit_ = std::move(Value); }
  const TKeyEvent& OnKeyDown() const { return on_key_down_; }
  void SetOnKeyDown(TKeyEvent Value) { on_key_down_ = std::move(Value); }
  const TKeyEvent& OnKeyUp() const { return on_key_up_; }
  void SetOnKeyUp(TKeyEvent Value) { on_key_up_ = std::move(Value); }
  const TKeyPressEvent& OnKeyPress() const { return on_key_press_; }
  void SetOnKeyPress(TKeyPressEvent Value) { on_key_press_ = std::move(Value); }

  // Realigns the children (Align and Anchors) to the client area.
  void Realign();
  void DisableAlign() { ++align_lock_; }
  void EnableAlign();

  void Loaded() override;

  // Entry points of the widget's events.
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(WideChar& Key);
  virtual void DoEnter();
  virtual void DoExit();

 protected:
  void InitWidget() override;
  void DestroyWidget() override;
  void FontChanged() override;
  void ColorChanged() override;
  void Resize() override;
  // The client area children are aligned in (default: ClientRect).
  virtual void AdjustClientRect(TRect& Rect) const;
  void ApplyTabOrder();

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tab_list_;
  int stored_tab_order_ = -1;
  bool tab_stop_ = false;
  HWND hwnd_ = nullptr;
  int align_lock_ = 0;
  bool aligning_ = false;
  TNotifyEvent on_enter_, on_exit_;
  TKeyEvent on_key_down_, on_key_up_;
  TKeyPressEvent on_key_press_;
};

// A windowed control that paints itself on its Canvas in Paint.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  // Paints with Canvas bound to the widget (called by the paint event).
  void PaintWindow(HDC DC);

 protected:
  virtual void Paint();
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  bool FillsBackground() const override { return true; }

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// A control without focus or children that paints itself in Paint.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  void PaintWindow(HDC DC);

 protected:
  virtual void Paint();
  QWidget* CreateWidget(QWidget* ParentWidget) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// The control that owns a widget (nullptr for others).
TControl* FindControl(QWidget* Widget);
// Windowed control of a handle (nullptr for other handles).
TWinControl* FindControl(HWND Handle);

// The mouse cursor's position on the screen.
TPoint GetCursorPos();
void SetCursorPos(TPoint P);
// The handle of the innermost windowed control under a screen point, or
// nullptr when the point is over no window of this program.
HWND WindowFromPoint(TPoint P);

class TUnit;
extern const TUnit unit_Controls;
