// The framework's basic visual controls: the image TB_Image, the panel
// TB_CustomPanel/TB_Panel, the splitter TB_Split, the edit box with input
// history TB_CustomMaskEdit and the memo TB_CustomMemo/TB_Memo.
//
// The panel and the splitter paint their property groups over their client
// area; being TB_CustomControl they take their background from the top-level
// window while Transparent. The panel's children align inside its frame. A
// panel is a dock site with a dock manager (Controls.h) once DockSite is set.
//
// Splitter: dragging with the left button resizes ControlResize across the
// splitter (its width for b_oHorizontal, its height for b_oVertical). The
// side of ControlResize is taken from its place: before the splitter
// (left/above) it grows as the splitter moves away from it, after the
// splitter it shrinks. The splitter's own position is limited so that at
// least LimitLeftOrTop pixels of the parent's client area stay before it and
// LimitRightOrBottom after it; ControlResize never gets a negative size. A
// splitter that is not aligned moves itself with the size it applies. With
// LiveResize off (not published) a grey bar shows where the splitter would
// go and the size is applied on release. A double click toggles between the
// current size (remembered) and the smallest size the limits allow.
//
// Text boxes: the edit box and the memo draw their border in the non-client
// area (platform/gui/NonClient.h) after their DrawStyles (B_Ctrls.h) and
// repaint it on focus changes, mouse entering or leaving, enabling and style
// changes. Their own colour (Color) is what the box shows; a disabled or
// read-only edit box shows the button face. Styles holding b_dsDefault after
// loading become b_DefaultDrawStyles.
//
// Edit box history: with the history option (GetOptions, read once after
// construction) the box holds a TB_BitBtn at its right edge; it and Ctrl+M
// pop up the entries of HistoryNode (B_Regist.h) named after the box;
// choosing one puts its first ";"-field into the box. Ctrl+D clears the box
// with the clear option. SaveHistory adds the current text, except in a box
// that shows a PasswordChar: its text is not written to the settings file.
#pragma once

#include <memory>

#include "framework/BButton.h"
#include "framework/B_Ctrls.h"
#include "framework/B_Regist.h"
#include "framework/B_ctrl.h"
#include "platform/gui/Mask.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

RTL_ENUM(TB_Orientation, b_oVertical, b_oHorizontal);
RTL_ENUM(TB_EditOption, b_eoClear, b_eoHistory);
using TB_EditOptions = Set<TB_EditOption>;

// ---------------------------------------------------------------------------
// Image

class TB_Image : public TGraphicControl {
 public:
  explicit TB_Image(TComponent* AOwner);
  ~TB_Image() override;

  TB_BitmapPersistent* Bitmaps() const { return bitmaps_.get(); }
  void SetBitmaps(TB_BitmapPersistent* Value) { bitmaps_->Assign(Value); }
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  // Sizes the control to the group's images (AutoSize; not while reading).
  void AdjustSize();

 protected:
  void Paint() override;

 private:
  void BitmapsChanged(TObject* Sender);

  std::unique_ptr<TB_BitmapPersistent> bitmaps_;
  bool auto_size_ = false;
};

// ---------------------------------------------------------------------------
// Panel

class TB_CustomPanel : public TB_CustomControl {
 public:
  explicit TB_CustomPanel(TComponent* AOwner);
  ~TB_CustomPanel() override;

  // The caption group, published as "Text" (Text() is the control's text).
  TB_TextPersistent* TextGroup() const { return text_.get(); }
  void SetTextGroup(TB_TextPersistent* Value) { text_->Assign(Value); }
  TB_PanelFramePersistent* Frame() const { return frame_.get(); }
  void SetFrame(TB_PanelFramePersistent* Value) { frame_->Assign(Value); }
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool Value) { full_repaint_ = Value; }
  bool Locked() const { return locked_; }
  void SetLocked(bool Value) { locked_ = Value; }
  // Sizes the panel to hold its visible children inside its frame (the
  // width unless aligned top or bottom, the height unless aligned left or
  // right), again whenever they change; not while it is read from form
  // data, nor while a client docks.
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  void Loaded() override;
  // A client docking into a panel with AutoSize: the panel takes the width
  // (aligned left or right) or the height (aligned top or bottom) of the
  // drop's DockRect first; aligned right it moves left by the width gained,
  // aligned bottom up by the height gained.
  void DockDrop(TDragDockObject* Source, int X, int Y) override;

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& Rect) const override;
  void FontChanged() override;
  void Resize() override;
  void ControlsChanged() override;
  void GroupChanged(TObject* Sender);
  void AdjustSize();

 private:
  std::unique_ptr<TB_TextPersistent> text_;
  std::unique_ptr<TB_PanelFramePersistent> frame_;
  bool full_repaint_ = true;
  bool locked_ = false;
  bool auto_size_ = false;
  bool docking_ = false;
};

class TB_Panel : public TB_CustomPanel {
 public:
  using TB_CustomPanel::TB_CustomPanel;
};

// ---------------------------------------------------------------------------
// Splitter

class TB_Split : public TB_CustomControl {
 public:
  explicit TB_Split(TComponent* AOwner);
  ~TB_Split() override;

  TB_SplitFramePersistent* Frame() const { return frame_.get(); }
  void SetFrame(TB_SplitFramePersistent* Value) { frame_->Assign(Value); }
  TWinControl* ControlResize() const { return control_resize_; }
  void SetControlResize(TWinControl* Value);
  Word LimitLeftOrTop() const { return limit_left_; }
  void SetLimitLeftOrTop(Word Value) { limit_left_ = Value; }
  Word LimitRightOrBottom() const { return limit_right_; }
  void SetLimitRightOrBottom(Word Value) { limit_right_ = Value; }
  TB_Orientation Orientation() const { return orientation_; }
  // Sets the cursor: crVSplit for b_oVertical, crHSplit for b_oHorizontal.
  void SetOrientation(TB_Orientation Value);
  bool LiveResize() const { return live_resize_; }
  void SetLiveResize(bool Value) { live_resize_ = Value; }
  bool Dragging() const { return dragging_; }

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;

 protected:
  void Paint() override;

 private:
  bool Vertical() const { return orientation_ == b_oVertical; }
  // The splitter's position and extent along the drag axis.
  int Pos() const { return Vertical() ? Top() : Left(); }
  int Extent() const { return Vertical() ? Height() : Width(); }
  int ResizeSize() const;
  // True when ControlResize lies before the splitter (it grows with +delta).
  bool ResizeBefore() const;
  // The drag delta from the start, limited by the limits and by sizes >= 0.
  int LimitDelta(int Delta) const;
  void ApplyDelta(int Delta);
  void MoveGhost(int Delta);
  void FreeGhost();

  std::unique_ptr<TB_SplitFramePersistent> frame_;
  TWinControl* control_resize_ = nullptr;
  Word limit_left_ = 33, limit_right_ = 33;
  TB_Orientation orientation_ = b_oHorizontal;
  bool live_resize_ = true;
  bool dragging_ = false;
  int start_mouse_ = 0;   // screen coordinate along the axis at the press
  int start_pos_ = 0;     // the splitter's position at the press
  int start_size_ = 0;    // ControlResize's size at the press
  int last_delta_ = 0;
  int restore_size_ = -1;  // the size a second double click restores
  TCustomControl* ghost_ = nullptr;
};

// ---------------------------------------------------------------------------
// Edit box with input history

class TB_CustomMaskEdit : public TCustomMaskEdit {
 public:
  explicit TB_CustomMaskEdit(TComponent* AOwner);
  ~TB_CustomMaskEdit() override;
  void AfterConstruction() override;
  void Loaded() override;

  TControlCanvas* Canvas() const { return canvas_.get(); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  // The box's own colour (the widget shows the button face while disabled
  // or read-only).
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TB_DrawStyles DrawStyles() const { return draw_styles_; }
  void SetDrawStyles(TB_DrawStyles Value);
  TB_EditOptions Options() const { return options_; }
  // nullptr once the node is freed.
  IB_StorageNode* HistoryNode() const { return history_node_.Get(); }
  void SetHistoryNode(IB_StorageNode* Value) { history_node_.Set(Value); }
  TB_BitBtn* HistoryButton() const { return history_button_; }
  // The last history popup (owned by the box), nullptr when none.
  TPopupMenu* HistoryPopup() const { return history_popup_; }

  virtual bool GetReadOnly() const { return TCustomEdit::ReadOnly(); }
  // Outside design mode the tab stop becomes the opposite of Value.
  virtual void SetReadOnly(bool Value);
  virtual TB_EditOptions GetOptions() const { return {}; }
  virtual void UpdateHistoryButton();
  virtual void AlignHistoryButton();
  virtual void SaveHistory();
  void Clear() override;
  virtual void ShowHistory();
  virtual String DisplayText() const { return EditText(); }
  virtual int LeftMargin() const { return 0; }
  // 3 plus the widths of the visible children aligned right.
  virtual int RightMargin() const;
  // Puts a chosen value into the box; Notify marks it as the user's change.
  virtual void SetValue(const String& Value, bool Notify);

  void SetEnabled(bool Value) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool MouseOver() const { return mouse_over_; }

 protected:
  void InitWidget() override;
  void AdjustClientRect(TRect& Rect) const override;
  void OnHistoryClick(TObject* Sender);
  void UpdateColor();
  void UpdateMargins();

 private:
  std::unique_ptr<TControlCanvas> canvas_;
  TAlignment alignment_ = taLeftJustify;
  TB_EditOptions options_;
  TColor color_ = clWindow;
  TB_DrawStyles draw_styles_ = b_DefaultDrawStyles;
  TB_StorageNodeLink history_node_;
  TB_BitBtn* history_button_ = nullptr;
  TPopupMenu* history_popup_ = nullptr;
  bool mouse_over_ = false;
  bool swallow_char_ = false;
};

// ---------------------------------------------------------------------------
// Memo

class TB_CustomMemo : public TMemo {
 public:
  explicit TB_CustomMemo(TComponent* AOwner);
  void Loaded() override;

  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TB_DrawStyles DrawStyles() const { return draw_styles_; }
  void SetDrawStyles(TB_DrawStyles Value);
  // Outside design mode the tab stop becomes the opposite of Value.
  void SetReadOnly(bool Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  bool HideSelection() const { return hide_selection_; }
  void SetHideSelection(bool Value) { hide_selection_ = Value; }
  bool OEMConvert() const { return oem_convert_; }
  void SetOEMConvert(bool Value) { oem_convert_ = Value; }
  bool MouseOver() const { return mouse_over_; }

  void Dispatch(TMessage& Message) override;

 protected:
  void InitWidget() override;

 private:
  TColor color_ = clWindow;
  TB_DrawStyles draw_styles_ = b_DefaultDrawStyles;
  TAlignment alignment_ = taLeftJustify;
  bool hide_selection_ = true;
  bool oem_convert_ = false;
  bool mouse_over_ = false;
};

class TB_Memo : public TB_CustomMemo {
 public:
  using TB_CustomMemo::TB_CustomMemo;
};

// Handles the non-client messages of a text box drawing its border after
// Styles: true when Message was one of them.
bool B_BorderMessage(TWinControl* Control, TMessage& Message, TB_DrawStyles Styles, bool& MouseOver);

extern const TUnit unit_Bstdctrl;
