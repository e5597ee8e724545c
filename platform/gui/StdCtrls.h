// Standard controls: button, check box, label, memo, edit box.
//
// Buttons and check boxes click by their widget's own signals (mouse and
// Space), not by the control's mouse messages. A TButton also clicks on
// CM_DIALOGKEY: Enter when it is active (it has the focus, or it is the
// Default button and no other button has the focus; CM_FOCUSCHANGED keeps
// that up to date) and Escape when it is Cancel, both only with no Shift,
// Ctrl or Alt; and on CM_DIALOGCHAR of its caption's accelerator ("&x"). A
// memo wants Tab only with WantTabs and Enter and Escape only with
// WantReturns (WM_GETDLGCODE); without WantReturns it types no line break.
//
// TCheckBox fires OnClick whenever its state changes, by the user or by code
// (not while it is being read from a form resource). TLabel shows CR, LF and
// CR LF as line breaks and "&x" as an accelerator ("&&" is "&"); with
// AutoSize it sizes itself to its text, keeping its left edge. TMemo keeps
// its text as Lines (a string list; Text joins them, each ended by CR LF).
#pragma once

#include <memory>

#include "platform/gui/Controls.h"
#include "platform/rtl/StringList.h"

// Button messages of a button window: BM_SETCHECK (WParam the state, BST_),
// BM_GETCHECK (Result the state). BN_CLICKED is the code a button window's
// click sends its parent in WM_COMMAND.
inline constexpr Cardinal BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1;
inline constexpr WPARAM BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2;
inline constexpr Word BN_CLICKED = 0;

// True when Ch is the accelerator of Caption: the character after a single
// "&", compared without case.
bool IsAccel(WPARAM Ch, const String& Caption);

// The base of buttons and check boxes. A descendant that keeps the plain
// window (one that paints itself) gets a window that keeps the check state
// of BM_SETCHECK for BM_GETCHECK and does nothing else: it never clicks by
// itself and sends no BN_CLICKED. Such a control handles its own click: it
// takes csClickEvents (a press and release of the left button on it runs
// Click) and handles Space in its key handlers.
class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* AOwner);
  void DefaultHandler(TMessage& Message) override;

 private:
  WPARAM check_ = BST_UNCHECKED;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* AOwner);

  bool Default() const { return default_; }
  void SetDefault(bool Value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int Value) { modal_result_ = Value; }
  // Gives the parent form ModalResult (when not 0), then runs OnClick.
  void Click() override;
  // True when Enter presses this button now.
  bool Active() const { return active_; }
  void Dispatch(TMessage& Message) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void TextChanged() override;

 private:
  void SetActive(bool Value);

  bool default_ = false;
  bool active_ = false;
  bool cancel_ = false;
  int modal_result_ = 0;
};

RTL_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed);

class TCheckBox : public TButtonControl {
 public:
  explicit TCheckBox(TComponent* AOwner);

  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState Value);
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool Value);
  // Cycles the state as a click does.
  void Toggle();

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void TextChanged() override;

 private:
  void StateFromWidget(int QtState);

  TCheckBoxState state_ = cbUnchecked;
  bool allow_grayed_ = false;
  bool updating_ = false;
};

RTL_ENUM(TTextLayout, tlTop, tlCenter, tlBottom);

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* AOwner);

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool Value);
  // The caption as shown: line breaks for CR/LF, accelerators resolved.
  String DisplayText() const;
  void Loaded() override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void TextChanged() override;
  void FontChanged() override;
  bool FillsBackground() const override { return !transparent_; }
  void AdjustBounds();

 private:
  void ApplyText();

  bool auto_size_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool word_wrap_ = false;
  bool transparent_ = false;
  bool show_accel_char_ = true;
};

// The common part of edit boxes and memos: text-entry background, limits and
// the change event (run when the text changes, by the user or by code, but
// not while the control is being read).
class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);

  int MaxLength() const { return max_length_; }
  void SetMaxLength(int Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

 protected:
  bool ColorIsBase() const override { return true; }
  // Pushes MaxLength and ReadOnly into the widget.
  virtual void ApplyOptions() {}
  virtual void Change();

  bool updating_ = false;  // the widget is being updated from the control

 private:
  int max_length_ = 0;
  bool read_only_ = false;
  TNotifyEvent on_change_;
};

class TMemo : public TCustomEdit {
 public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;

  TStrings* Lines() const { return lines_.get(); }
  void SetLines(TStrings* Value) { lines_->Assign(Value); }
  String Text() const override { return lines_->Text(); }
  void SetText(const String& Value) override { lines_->SetText(Value); }
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  bool WantReturns() const { return want_returns_; }
  void SetWantReturns(bool Value) { want_returns_ = Value; }
  bool WantTabs() const { return want_tabs_; }
  void SetWantTabs(bool Value);
  // Also answers EM_GETSEL, EM_SETSEL, EM_SCROLLCARET and WM_COPY (byte
  // offsets into Text(), whose lines end in CR LF).
  void Dispatch(TMessage& Message) override;
  void KeyPress(WideChar& Key) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void ApplyOptions() override;

 private:
  bool SelectionMessage(TMessage& Message);
  void LinesChanged(TObject* Sender);
  void TextFromWidget();
  void ApplyLines();

  std::unique_ptr<TStringList> lines_;
  TScrollStyle scroll_bars_ = ssNone;
  bool word_wrap_ = true;
  bool want_returns_ = true;
  bool want_tabs_ = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* AOwner);

  void SetText(const String& Value) override;
  // Not 0: the text is shown masked (streamed as the character's code).
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char Value);

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void ApplyOptions() override;

 private:
  char password_char_ = 0;
};

class TUnit;
extern const TUnit unit_StdCtrls;

// A list box drawn by the platform (StdCtrls_ListBox.cpp).
//
// Items hold the entries, except in the virtual styles, where Count says
// how many there are and OnData gives the text of each. Rows are ItemHeight
// high from TopIndex down (ItemHeight 0: the font's text height). The
// window's vertical scroll bar (ScrollBars.h) shows the rows when they do
// not all fit (range 0 .. Count - 1, a page of the whole rows that fit,
// position TopIndex) and WM_VSCROLL moves TopIndex; a control whose
// CreateParams drop WS_VSCROLL has no bar.
//
// Painting: each visible row is drawn through CN_DRAWITEM (LParam a
// DRAWITEMSTRUCT: itemID, itemState ODS_SELECTED / ODS_FOCUS, hDC, rcItem;
// the platform sends it straight to the list box, not by way of the
// parent). Its default binds Canvas with the list's font and colour (the
// highlight colours for the selected row), runs DrawItem (OnDrawItem in the
// owner-draw styles when bound, else the text at 2 pixels in) and draws the
// focus rectangle round the focused row. The rows below the last are filled
// with Color.
//
// A change of the entries or of their count sends the list box CM_CHANGED.
//
// Input: a left press selects the row under it (OnClick); the arrows,
// Page Up/Down, Home and End move ItemIndex and scroll it into view.
// WM_GETDLGCODE: arrows and characters.
//
// Messages: LB_GETCOUNT, LB_GETCURSEL, LB_SETCURSEL (-1: none),
// LB_GETTOPINDEX, LB_SETTOPINDEX, LB_GETITEMHEIGHT, LB_SETITEMHEIGHT,
// LB_FINDSTRING and LB_SELECTSTRING (WParam the index to search after, -1:
// from the first; LParam const char*: the first item from there, wrapping
// round, whose text starts with it, compared case-insensitively with the
// user's locale; LB_SELECTSTRING also selects it; Result its index or
// LB_ERR).
RTL_ENUM(TListBoxStyle, lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw);
RTL_ENUM(TOwnerDrawStateItem, odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight,
         odInactive, odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit);
using TOwnerDrawState = Set<TOwnerDrawStateItem>;
using TDrawItemEvent = Event<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TLBGetDataEvent = Event<void(TWinControl* Control, int Index, String& Data)>;

inline constexpr Cardinal LB_FINDSTRING = 0x018F, LB_SELECTSTRING = 0x018C, LB_GETCOUNT = 0x018B,
                          LB_GETCURSEL = 0x0188, LB_SETCURSEL = 0x0186, LB_GETTOPINDEX = 0x018E,
                          LB_SETTOPINDEX = 0x0197, LB_SETITEMHEIGHT = 0x01A0, LB_GETITEMHEIGHT = 0x01A1;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr Cardinal CN_DRAWITEM = CN_BASE + 0x002B;
inline constexpr Cardinal ODS_SELECTED = 0x0001, ODS_GRAYED = 0x0002, ODS_DISABLED = 0x0004, ODS_FOCUS = 0x0010;
inline constexpr Cardinal ODA_DRAWENTIRE = 0x0001, ODT_LISTBOX = 2;

struct DRAWITEMSTRUCT {
  Cardinal CtlType = ODT_LISTBOX;
  Cardinal CtlID = 0;
  int itemID = -1;
  Cardinal itemAction = ODA_DRAWENTIRE;
  Cardinal itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  TRect rcItem;
  uintptr_t itemData = 0;
};

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* Value) { items_->Assign(Value); }
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle Value);
  // Items->Count(), or the virtual count.
  int Count() const;
  void SetCount(int Value);
  int ItemHeight() const;
  void SetItemHeight(int Value);
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int Value);
  int TopIndex() const { return top_index_; }
  void SetTopIndex(int Value);
  // The row under a client point; past the last row Count, or -1 when
  // Existing.
  int ItemAtPos(TPoint Pos, bool Existing) const;
  TRect ItemRect(int Index) const;
  // The text of an item (OnData in the virtual styles).
  String ItemText(int Index);
  TCanvas* Canvas() const { return canvas_.get(); }
  const TDrawItemEvent& OnDrawItem() const { return on_draw_item_; }
  void SetOnDrawItem(TDrawItemEvent Value) { on_draw_item_ = std::move(Value); }
  const TLBGetDataEvent& OnData() const { return on_data_; }
  void SetOnData(TLBGetDataEvent Value) { on_data_ = std::move(Value); }

  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void PaintWindow(HDC DC) override;

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;
  void CreateParams(TCreateParams& Params) override;
  void Resize() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
  // The whole rows that fit the client height (at least 1).
  int VisibleRows() const;
  void UpdateScrollBar();

 private:
  void ItemsChanged(TObject* Sender);
  void CNDrawItem(TMessage& Message);
  LRESULT FindString(WPARAM Start, LPARAM Text);
  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TCanvas> canvas_;
  TListBoxStyle style_ = lbStandard;
  int count_ = 0, item_height_ = 16, item_index_ = -1, top_index_ = 0;
  TDrawItemEvent on_draw_item_;
  TLBGetDataEvent on_data_;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};
