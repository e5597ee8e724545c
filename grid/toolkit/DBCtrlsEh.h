// DBCtrlsEh: the data-aware editors of the grid library.
//
// A grid hosts an editor in a cell through a pair of interfaces: the grid
// implements IInplaceEditHolderEh, the editor IInplaceEditEh. The grid hands
// itself to the editor with SetInplaceEditHolder (nullptr leaves hosted
// mode); the editor then asks the holder before it edits and passes its
// messages and keys to it first.
//
// TCustomDBEditEh is the library's single-line editor: a masked edit box
// bound to one field (or holding a value of its own while it names neither a
// data source nor a field), with a row of edit buttons at its right, an
// optional image at its left, a most-recently-used list of typed texts, a
// mark under an empty required field of an inserted record and a flat
// border. TFieldDataLinkEh is its link to the dataset, TEditImageEh its
// image settings.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Controls.h"
#include "platform/gui/DBCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Mask.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Interfaces.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Variants.h"

// The hosting grid's side.
class IInplaceEditHolderEh {
 public:
  // {4BE708F1-4EA2-4AC7-BA64-89D7D2B83E09}
  static constexpr TGUID IID{0x4BE708F1, 0x4EA2, 0x4AC7, {0xBA, 0x64, 0x89, 0xD7, 0xD2, 0xB8, 0x3E, 0x09}};
  // Whether the hosted editor may change its value.
  virtual bool InplaceEditCanModify(TControl* Editor) = 0;
  // The screen position and message time of the holder's last mouse press;
  // the holder forgets the time once asked.
  virtual void GetMouseDownInfo(TPoint& Pos, int32_t& Time) = 0;
  // Sees every message of the editor first; a non-zero Result ends it.
  virtual void InplaceEditWndProc(TControl* Editor, TMessage& Message) = 0;
  virtual void InplaceEditKeyDown(TControl* Editor, Word& Key, TShiftState Shift) = 0;
  virtual void InplaceEditKeyPress(TControl* Editor, WideChar& Key) = 0;
  virtual void InplaceEditKeyUp(TControl* Editor, Word& Key, TShiftState Shift) = 0;

 protected:
  ~IInplaceEditHolderEh() = default;
};

// The hosted editor's side.
class IInplaceEditEh {
 public:
  // {81F0C558-B001-4477-BAA6-2DC373FCDF88}
  static constexpr TGUID IID{0x81F0C558, 0xB001, 0x4477, {0xBA, 0xA6, 0x2D, 0xC3, 0x73, 0xFC, 0xDF, 0x88}};
  virtual TFont* GetFont() = 0;
  // Holder must have IInplaceEditHolderEh; nullptr leaves hosted mode.
  virtual void SetInplaceEditHolder(TWinControl* Holder) = 0;
  virtual void SetBorderStyle(TBorderStyle Value) = 0;
  virtual void SetFont(TFont* Value) = 0;
  virtual void SetColor(TColor Value) = 0;
  virtual void SetOnKeyPress(TKeyPressEvent Value) = 0;
  virtual void SetOnExit(TNotifyEvent Value) = 0;

 protected:
  ~IInplaceEditEh() = default;
};

// Private messages of the editors: WM_USER+101 makes an edit box recreate
// its window after its image settings changed; WM_USER+102 (WParam: the
// button control's Tag) swallows the press that closed a button's menu.
inline constexpr Cardinal CM_EDITIMAGECHANGEDEH = WM_USER + 101;
inline constexpr Cardinal CM_IGNOREEDITDOWNEH = WM_USER + 102;

class TCustomDBEditEh;

// The image shown at the left of an edit box.
class TEditImageEh : public TPersistent {
 public:
  explicit TEditImageEh(TWinControl* EditControl);
  // Copies Images, ImageIndex, Visible and Width (not UseImageHeight).
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return edit_control_; }

  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int Value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  bool UseImageHeight() const { return use_image_height_; }
  void SetUseImageHeight(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // 0: the image list's width.
  int Width() const { return width_; }
  void SetWidth(int Value);

 private:
  void Changed();

  TWinControl* edit_control_;
  int image_index_ = -1;
  TCustomImageList* images_ = nullptr;
  bool use_image_height_ = true;
  bool visible_ = false;
  int width_ = 0;
};

// The editors' link to their fields. With neither a data source nor a field
// name the link is data-independent and keeps a value of its own.
class TFieldDataLinkEh : public TDataLink {
 public:
  TFieldDataLinkEh();

  TComponent* Control() const { return control_; }
  void SetControl(TComponent* Value) { control_ = Value; }
  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  // Sets the data source and recomputes the data-independent mode.
  void SetDataSource(TDataSource* Value);
  // FieldName is a ";"-separated list of names.
  bool MultipleFields() const { return multiple_fields_; }
  void SetMultipleFields(bool Value);
  const std::vector<TField*>& Fields() const { return fields_; }
  int FieldsCount() const { return static_cast<int>(fields_.size()); }
  TField* Field() const { return fields_.empty() ? nullptr : fields_.front(); }
  bool DataIndependent() const { return data_independent_; }
  // Data-independent, or linked with a field.
  bool Active() const;
  bool CanModify() const;
  bool Editing() const { return editing_; }
  bool Modified() const { return modified_; }
  // Marks the control's value as changed.
  void SetModified() { modified_ = true; }
  // Starts editing (the dataset's edit state when linked); returns Editing.
  bool Edit();
  // Puts the linked dataset in edit state as a control's value setter
  // does; nothing in own mode or without a dataset.
  void EditDataSet();
  // Shows the value again (record changed, no field).
  void Reset() { RecordChanged(nullptr); }
  void SetText(const String& Text);
  void SetValue(const Variant& Value);
  // The data-independent value (Null at start and after a change of mode).
  const Variant& Value() const { return value_; }

  const TNotifyEvent& OnDataChange() const { return on_data_change_; }
  void SetOnDataChange(TNotifyEvent Value) { on_data_change_ = std::move(Value); }
  const TNotifyEvent& OnEditingChange() const { return on_editing_change_; }
  void SetOnEditingChange(TNotifyEvent Value) { on_editing_change_ = std::move(Value); }
  const TNotifyEvent& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TNotifyEvent Value) { on_update_data_ = std::move(Value); }
  const TNotifyEvent& OnActiveChange() const { return on_active_change_; }
  void SetOnActiveChange(TNotifyEvent Value) { on_active_change_ = std::move(Value); }

  // An action that handles the data source runs on it; false otherwise.
  bool ExecuteAction(TBasicAction* Action);
  bool UpdateAction(TBasicAction* Action);

  void DataEvent(TDataEvent Event, NativeInt Info) override;
  // Runs the update step (the data-independent one too).
  void UpdateData() override;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void FocusControl(TFieldRef Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;

 private:
  void UpdateField();
  void UpdateDataIndependent();
  void SetEditing(bool Value);

  TComponent* control_ = nullptr;
  String field_name_;
  std::vector<TField*> fields_;
  bool multiple_fields_ = false;
  bool data_independent_ = true;
  bool editing_ = false;
  bool modified_ = false;
  Variant value_ = Null();
  TNotifyEvent on_data_change_, on_editing_change_, on_update_data_, on_active_change_;
};

using TUpdateDataEventEh = Event<void(TObject* Sender, bool& Handled)>;
using TGetImageIndexEventEh = Event<void(TObject* Sender, int& ImageIndex)>;
using TOnCheckDrawRequiredStateEventEh = Event<void(TObject* Sender, bool& DrawState)>;

RTL_ENUM(TAssignedValueEh, aveAlignment, aveEditMask);
using TAssignedValuesEh = Set<TAssignedValueEh>;

class TCustomDBEditEh : public TCustomMaskEdit, public IPopupOwnerEh, public IInplaceEditEh {
 public:
  explicit TCustomDBEditEh(TComponent* AOwner);
  ~TCustomDBEditEh() override;

  // Value and text. Setting either edits the linked dataset first; with a
  // field name but no data source it acts on the editor's own value.
  String Text() const override { return TCustomMaskEdit::Text(); }
  void SetText(const String& Value) override;
  Variant Value() { return GetVariantValue(); }
  void SetValue(const Variant& V) { SetVarValue(V); }

  String DataField() { return GetDataField(); }
  void SetDataFieldProp(const String& Value) { SetDataField(Value); }
  TDataSource* DataSource() { return GetDataSource(); }
  void SetDataSourceProp(TDataSource* Value) { SetDataSource(Value); }
  TField* Field() const { return data_link_->Field(); }
  TFieldDataLinkEh* DataLink() const { return data_link_.get(); }

  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  TEditButtonEh* EditButton() const { return edit_button_.get(); }
  void SetEditButton(TEditButtonEh* Value) { edit_button_->Assign(Value); }
  TEditButtonsEh* EditButtons() const { return edit_buttons_.get(); }
  void SetEditButtons(TEditButtonsEh* Value) { edit_buttons_->Assign(Value); }
  TEditImageEh* EditImage() const { return edit_image_.get(); }
  void SetEditImage(TEditImageEh* Value) { edit_image_->Assign(Value); }
  TMRUListEh* MRUList() const { return mru_list_.get(); }
  void SetMRUList(TMRUListEh* Value) { mru_list_->Assign(Value); }
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool AlwaysShowBorder() const { return always_show_border_; }
  void SetAlwaysShowBorder(bool Value);
  bool HighlightRequired() const { return highlight_required_; }
  void SetHighlightRequired(bool Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  bool WantTabs() const { return want_tabs_; }
  void SetWantTabs(bool Value) { want_tabs_ = Value; }
  bool WantReturns() const { return want_returns_; }
  void SetWantReturns(bool Value) { want_returns_ = Value; }
  // The assigned value, else the field's.
  TAlignment Alignment() { return assigned_.Contains(aveAlignment) ? alignment_ : DefaultAlignment(); }
  void SetAlignment(TAlignment Value);
  const String& EditMask() const { return TCustomMaskEdit::EditMask(); }
  void SetEditMask(const String& Value);
  TAssignedValuesEh AssignedValues() const { return assigned_; }
  // Forgets the assigned alignment and mask.
  void RestoreDefaults();
  bool IsAlignmentStored() const { return assigned_.Contains(aveAlignment); }
  bool IsEditMaskStored() const { return assigned_.Contains(aveEditMask); }
  // Text is stored only for a data-independent editor with a text.
  bool IsTextStored() const { return data_link_->DataIndependent() && !Text().empty(); }

  const TButtonClickEventEh& OnButtonClick() const { return on_button_click_; }
  void SetOnButtonClick(TButtonClickEventEh Value) { on_button_click_ = std::move(Value); }
  const TButtonDownEventEh& OnButtonDown() const { return on_button_down_; }
  void SetOnButtonDown(TButtonDownEventEh Value) { on_button_down_ = std::move(Value); }
  const TUpdateDataEventEh& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TUpdateDataEventEh Value);
  const TGetImageIndexEventEh& OnGetImageIndex() const { return on_get_image_index_; }
  void SetOnGetImageIndex(TGetImageIndexEventEh Value);
  const TOnCheckDrawRequiredStateEventEh& OnCheckDrawRequiredState() const { return on_check_draw_required_; }
  void SetOnCheckDrawRequiredState(TOnCheckDrawRequiredStateEventEh Value) {
    on_check_draw_required_ = std::move(Value);
  }

  // Run-time state.
  bool EditFocused() const { return focused_; }
  bool DroppedDown() const { return dropped_down_; }
  bool BorderActive() const { return border_active_; }
  // The button control of pair Index (0: the main button) and its divider.
  int ButtonControlCount() const { return static_cast<int>(pairs_.size()); }
  TEditButtonControlEh* ButtonControl(int Index) const { return pairs_.at(static_cast<size_t>(Index)).Button; }
  TShape* ButtonDivider(int Index) const { return pairs_.at(static_cast<size_t>(Index)).Divider; }
  int ButtonsWidth() const { return buttons_width_; }
  int ImageWidth() const { return image_width_; }
  // Whether the edit box paints its text itself (else the editor draws it).
  bool EditPaints() override;
  // Whether the mark under an empty required field shows.
  bool DrawRequiredState();
  // The most-recently-used drop-down (nullptr until first needed).
  TMRUListboxEh* MRUListBox() const { return mru_list_box_; }
  TMRUListboxEh* GetMRUListBox();

  // IPopupOwnerEh, and the editor's close-up (base: releases the main
  // button).
  void CloseUp(bool Accept) override;
  // IInplaceEditEh
  TFont* GetFont() override { return Font(); }
  void SetInplaceEditHolder(TWinControl* Holder) override;
  void SetBorderStyle(TBorderStyle Value) override { TCustomMaskEdit::SetBorderStyle(Value); }
  void SetFont(TFont* Value) override { TControl::SetFont(Value); }
  void SetColor(TColor Value) override { TControl::SetColor(Value); }
  void SetOnKeyPress(TKeyPressEvent Value) override { TWinControl::SetOnKeyPress(std::move(Value)); }
  void SetOnExit(TNotifyEvent Value) override { TWinControl::SetOnExit(std::move(Value)); }
  TWinControl* InplaceEditHolder() const { return holder_; }
  // Places a hosted editor (an empty rectangle hides it).
  void SetEditorBounds(const TRect& R);

  void SetAutoSize(bool Value) override;
  void SetFocus() override;
  void Reset() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void PaintWindow(HDC DC) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;
  void DoEnter() override;
  void DoExit() override;

  // The virtual operations of the editor.
  virtual bool ButtonEnabled();
  virtual std::unique_ptr<TFieldDataLinkEh> CreateDataLink();
  virtual std::unique_ptr<TEditButtonEh> CreateEditButton();
  virtual TEditButtonControlEh* CreateEditButtonControl();
  virtual std::unique_ptr<TEditButtonsEh> CreateEditButtons();
  virtual std::unique_ptr<TEditImageEh> CreateEditImage();
  virtual TMRUListboxEh* CreateMRUListBox();
  virtual bool DataIndependent() { return data_link_->DataIndependent(); }
  virtual TAlignment DefaultAlignment();
  virtual String DefaultEditMask();
  virtual int DefaultImageIndex() { return -1; }
  virtual String GetDataField() { return data_link_->FieldName(); }
  virtual TDataSource* GetDataSource() { return data_link_->DataSource(); }
  virtual String GetDisplayTextForPaint();
  virtual Variant GetVariantValue() { return Variant(Text()); }
  virtual bool IsValidChar(WideChar InputChar);
  virtual void ActiveChange(TObject* Sender);
  virtual void UpdateHeight();
  virtual void ButtonDown(bool LowerHalf);
  virtual TRect GetEditRect();
  virtual void DataChanged();
  virtual void DropDown();
  virtual void EditButtonClick(TObject* Sender);
  virtual void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled);
  virtual void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  virtual void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void EditingChange(TObject* Sender);
  virtual void FilterMRUItem(const String& Item, bool& Accept);
  virtual void InternalSetText(const String& AText);
  virtual void InternalSetValue(const Variant& AValue);
  virtual void UpdateDataLinkValue();
  virtual void MRUListControlResized(TObject* Sender);
  virtual void PaintRequiredState(TCanvas* ACanvas);
  virtual void ResetMaxLength();
  virtual void SetDataField(const String& Value);
  virtual void SetDataSource(TDataSource* Value);
  virtual void SetFocused(bool Value);
  virtual void SetVarValue(const Variant& Value);
  virtual void UpdateControlReadOnly();
  virtual void AdjustHeight();
  virtual void UpdateImageIndex();
  virtual void MRUTextChanged();
  virtual void UpdateData(TObject* Sender);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void InitWidget() override;
  void Resize() override;
  void FontChanged() override;
  bool EditCanModify() override;
  void Change() override;

  // Runs Apply as a change by code: a linked editor edits its dataset first
  // (at design time it changes nothing), and the value is written back.
  void SetByCode(const std::function<void()>& Apply);
  // Whether a press or a cancel-mode sender is this editor, List or a
  // child of either.
  bool IsOwnControl(TControl* Sender, TWinControl* List);
  // The text of a stored value (arrays and values that do not convert: "").
  static String ValueToText(const Variant& V);
  // Lays out the button row, refreshes the buttons and the text area.
  void UpdateEditButtonControlList();
  void UpdateEditButtonControlsState();
  void UpdateFormatRect();
  void UpdateBorderActive();
  // Whether a press at the client point lies on the image or the buttons.
  bool InButtonOrImageArea(TPoint P);
  int TextMargin(bool Left);
  void MRUListDropDown(TObject* Sender);
  void MRUListCloseUp(TObject* Sender, bool Accept);
  void MRUListBoxMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // A message goes to the dropped MRU list: true when it took it.
  bool MRUListMessage(TMessage& Message);
  String EmptyText();
  TCanvas* PaintCanvas();

  std::unique_ptr<TFieldDataLinkEh> data_link_;
  std::unique_ptr<TEditButtonEh> edit_button_;
  std::unique_ptr<TEditButtonsEh> edit_buttons_;
  std::unique_ptr<TEditImageEh> edit_image_;
  std::unique_ptr<TMRUListEh> mru_list_;
  std::unique_ptr<TControlCanvas> canvas_;
  TMRUListboxEh* mru_list_box_ = nullptr;
  // Text set by the MRU list itself opens no drop-down.
  bool mru_setting_text_ = false;
  struct ButtonPair {
    TShape* Divider = nullptr;
    TEditButtonControlEh* Button = nullptr;
  };
  std::vector<ButtonPair> pairs_;

  TAlignment alignment_ = taLeftJustify;
  TAssignedValuesEh assigned_;
  bool always_show_border_ = false;
  bool flat_ = false;
  bool highlight_required_ = false;
  bool read_only_ = false;
  bool want_tabs_ = false;
  bool want_returns_ = false;
  bool word_wrap_ = false;

  TButtonClickEventEh on_button_click_;
  TButtonDownEventEh on_button_down_;
  TUpdateDataEventEh on_update_data_;
  TGetImageIndexEventEh on_get_image_index_;
  TOnCheckDrawRequiredStateEventEh on_check_draw_required_;

  bool focused_ = false;
  bool border_active_ = false;
  bool mouse_over_ = false;
  bool dropped_down_ = false;
  bool dropped_by_this_press_ = false;
  bool in_update_data_ = false;
  bool text_changed_ = false;
  int buttons_width_ = 0;
  int buttons_height_ = 0;
  int image_width_ = 0;
  TWinControl* holder_ = nullptr;
  IInplaceEditHolderEh* holder_intf_ = nullptr;
  bool hosted_ = false;
  bool max_length_from_field_ = false;
};

// The edit box with its properties published.
class TDBEditEh : public TCustomDBEditEh {
 public:
  explicit TDBEditEh(TComponent* AOwner) : TCustomDBEditEh(AOwner) {}
};

// A data-aware check box that draws itself. ValueChecked and ValueUnchecked
// are ";"-separated lists of the field texts that mean checked and
// unchecked (compared without case); the first entry is what it writes. A
// null field, or a text in neither list, shows grayed.
class TCustomDBCheckBoxEh : public TButtonControl {
 public:
  explicit TCustomDBCheckBoxEh(TComponent* AOwner);
  ~TCustomDBCheckBoxEh() override;

  TCheckBoxState State() const { return state_; }
  // A linked box edits its dataset first; one that names a field but has
  // no data source only takes the state.
  void SetState(TCheckBoxState Value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  const String& ValueChecked() const { return value_checked_; }
  void SetValueChecked(const String& Value);
  const String& ValueUnchecked() const { return value_unchecked_; }
  void SetValueUnchecked(const String& Value);
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool Value) { allow_grayed_ = Value; }
  // taRightJustify: the box at the left, the caption to its right.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  bool AlwaysShowBorder() const { return always_show_border_; }
  void SetAlwaysShowBorder(bool Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool ReadOnly() const { return data_link_->ReadOnly(); }
  void SetReadOnly(bool Value) { data_link_->SetReadOnly(Value); }
  String DataField() const { return data_link_->FieldName(); }
  void SetDataField(const String& Value) { data_link_->SetFieldName(Value); }
  TDataSource* DataSource() const { return data_link_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  TField* Field() const { return data_link_->Field(); }
  TFieldDataLinkEh* DataLink() const { return data_link_.get(); }
  const TUpdateDataEventEh& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TUpdateDataEventEh Value) { on_update_data_ = std::move(Value); }
  // State is stored only for a data-independent box that is not unchecked.
  bool IsStateStored() const { return data_link_->DataIndependent() && state_ != cbUnchecked; }
  bool Modified() const { return modified_; }

  // Toggles (through Toggle) and notifies CM_CHANGED; OnClick fires from the
  // change of State.
  void Click() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Dispatch(TMessage& Message) override;
  void PaintWindow(HDC DC) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DoExit() override;
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;

  virtual void Paint();
  virtual bool DataIndependent() { return data_link_->DataIndependent(); }
  virtual void DrawCaption(TRect Rect, bool AFocused);
  virtual void DrawCheck(TRect Rect, TCheckBoxState AState, bool APressed, bool AHot);
  virtual void PaintBoxAndCaption(TCheckBoxState AState, bool AFocused, bool APressed, bool AHot);
  virtual void InternalSetState(TCheckBoxState Value);
  virtual void UpdateDataValue();
  virtual void Toggle();
  virtual void UpdateData(TObject* Sender);
  // The state the field's (or the own) value means.
  TCheckBoxState GetFieldState();

 protected:
  QWidget* CreateWidget(QWidget* ParentWidget) override;
  void InitWidget() override;

 private:
  void DataChange(TObject* Sender);

  std::unique_ptr<TFieldDataLinkEh> data_link_;
  std::unique_ptr<TControlCanvas> canvas_;
  TCheckBoxState state_ = cbUnchecked;
  String value_checked_ = "True";
  String value_unchecked_ = "False";
  bool allow_grayed_ = false;
  TAlignment alignment_ = taRightJustify;
  bool always_show_border_ = false;
  bool flat_ = false;
  TUpdateDataEventEh on_update_data_;
  bool in_update_data_ = false;
  bool modified_ = false;
  bool mouse_in_control_ = false;
  bool mouse_down_ = false;
  bool space_pressed_ = false;
  bool clicks_disabled_ = false;
};

class TDBCheckBoxEh : public TCustomDBCheckBoxEh {
 public:
  explicit TDBCheckBoxEh(TComponent* AOwner) : TCustomDBCheckBoxEh(AOwner) {}
};

// ---------------------------------------------------------------------------
// The combo box
//
// TCustomDBComboBoxEh is the edit box with a list of Items in a popup list
// box. With KeyItems (key mode) the value is the key of the chosen item
// while the text shows the item; the text then changes only by choosing.
// Typing searches the items by their beginning (whole characters, without
// case, under the user's locale) and completes the text.

// The drop-down settings of a combo box. Width -1: as wide as the widest
// item; 0: as wide as the editor.
class TDropDownBoxEh : public TPersistent {
 public:
  void Assign(TPersistent* Source) override;

  TDropDownAlign Align() const { return align_; }
  void SetAlign(TDropDownAlign Value) { align_ = Value; }
  bool AutoDrop() const { return auto_drop_; }
  void SetAutoDrop(bool Value) { auto_drop_ = Value; }
  int Rows() const { return rows_; }
  void SetRows(int Value) { rows_ = Value; }
  bool Sizable() const { return sizable_; }
  void SetSizable(bool Value) { sizable_ = Value; }
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }

 private:
  TDropDownAlign align_ = daLeft;
  bool auto_drop_ = false;
  int rows_ = 7;
  bool sizable_ = false;
  int width_ = 0;
};

using TCloseUpEventEh = Event<void(TObject* Sender, bool Accept)>;
using TAcceptEventEh = Event<void(TObject* Sender, bool& Accept)>;
using TNotInListEventEh = Event<void(TObject* Sender, const String& NewText, bool& RecheckInList)>;

class TCustomDBComboBoxEh : public TCustomDBEditEh {
 public:
  explicit TCustomDBComboBoxEh(TComponent* AOwner);
  ~TCustomDBComboBoxEh() override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* Value) { items_->Assign(Value); }
  TStrings* KeyItems() const { return key_items_.get(); }
  void SetKeyItems(TStrings* Value) { key_items_->Assign(Value); }
  TDropDownBoxEh* DropDownBox() const { return drop_down_box_.get(); }
  void SetDropDownBox(TDropDownBoxEh* Value) { drop_down_box_->Assign(Value); }
  TCustomImageList* Images() const { return EditImage()->Images(); }
  void SetImages(TCustomImageList* Value);
  int ItemIndex() const { return item_index_; }
  // A linked combo edits its dataset first, then writes the item back.
  void SetItemIndex(int Value);
  // Items in use: with keys, only those that have one.
  int ItemCount() const { return item_count_; }
  bool KeyMode() const { return key_mode_; }
  // The class of the drop-down list (a TPopupListboxEh descendant);
  // nullptr: TPopupListboxEh.
  const TClassInfo* PopupListboxClass() const { return popup_listbox_class_; }
  void SetPopupListboxClass(const TClassInfo* Value) { popup_listbox_class_ = Value; }
  // The drop-down list (nullptr until first dropped).
  TPopupListboxEh* PopupListbox() const { return popup_listbox_; }
  bool ListVisible() const { return list_visible_; }
  int ItemImageIndex() const { return item_image_index_; }

  const TCloseUpEventEh& OnCloseUp() const { return on_close_up_; }
  void SetOnCloseUp(TCloseUpEventEh Value) { on_close_up_ = std::move(Value); }
  const TNotifyEvent& OnDropDown() const { return on_drop_down_; }
  void SetOnDropDown(TNotifyEvent Value) { on_drop_down_ = std::move(Value); }
  const TListGetImageIndexEventEh& OnGetItemImageIndex() const { return on_get_item_image_index_; }
  void SetOnGetItemImageIndex(TListGetImageIndexEventEh Value);
  const TNotInListEventEh& OnNotInList() const { return on_not_in_list_; }
  void SetOnNotInList(TNotInListEventEh Value) { on_not_in_list_ = std::move(Value); }
  // Hooks of a hosting grid.
  const TAcceptEventEh& OnBeforeCloseUp() const { return on_before_close_up_; }
  void SetOnBeforeCloseUp(TAcceptEventEh Value) { on_before_close_up_ = std::move(Value); }
  const TNotifyEvent& OnFillItems() const { return on_fill_items_; }
  void SetOnFillItems(TNotifyEvent Value) { on_fill_items_ = std::move(Value); }

  // Key mode: the value becomes Null.
  void Clear() override;
  void CloseUp(bool Accept) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void Click() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

  TAlignment DefaultAlignment() override;
  int DefaultImageIndex() override { return item_image_index_; }
  String GetDisplayTextForPaint() override;
  Variant GetVariantValue() override;
  bool IsValidChar(WideChar InputChar) override;
  void ButtonDown(bool LowerHalf) override;
  void DataChanged() override;
  void DropDown() override;
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;
  void InternalSetText(const String& AText) override;
  void InternalSetValue(const Variant& AValue) override;
  void UpdateDataLinkValue() override;
  void ResetMaxLength() override;
  void UpdateControlReadOnly() override;
  void UpdateImageIndex() override;
  void UpdateData(TObject* Sender) override;

  // The combo's own virtual operations.
  // The first item equal to Str (or beginning with it when Partial) becomes
  // current with its completed tail selected; true when ItemIndex changed.
  virtual bool LocateItem(const String& Str, bool Partial);
  // Incremental search of one typed piece (a Backspace grows the backward
  // selection by one character).
  virtual bool SearchTyped(const String& Str);
  virtual void FillItemsIfEmpty();

 protected:
  void Change() override;
  virtual TPopupListboxEh* CreatePopupListbox();
  // Makes item Index current (out of range: none).
  void SetItemIndexInternal(int Index);
  // ItemIndex from the edit text.
  void SyncItemIndexFromText();
  void ItemsChanged(TObject* Sender);
  void KeyItemsChanged(TObject* Sender);
  void Step(bool Up);
  // The wheel steps when nothing else took it (no shift keys).
  bool WheelStep(bool Up, TShiftState Shift);
  void ListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ListGetImageIndex(TObject* Sender, int Index, int& ImageIndex);
  // A message goes to the open list: true when it took it.
  bool ListMessage(TMessage& Message);
  // A press dragged from the text or the main button onto the open list
  // goes to the list.
  void HandPressToList(TControl* From, TShiftState Shift, int X, int Y);
  // Shows Text without re-synchronising ItemIndex from it.
  void SetItemText(const String& Text);
  // Shows item Index raw (no mask).
  void ShowItem(int Index);
  void SelectCompletion(size_t TypedChars);

  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TStringList> key_items_;
  std::unique_ptr<TDropDownBoxEh> drop_down_box_;
  TPopupListboxEh* popup_listbox_ = nullptr;
  const TClassInfo* popup_listbox_class_ = nullptr;
  Variant key_value_ = Null();
  int item_index_ = -1;
  int item_count_ = 0;
  int item_image_index_ = -1;
  bool key_mode_ = false;
  bool list_visible_ = false;
  bool opened_by_press_ = false;
  // A typed character the editor took: the search runs after it is typed.
  bool search_after_char_ = false;
  WideChar pending_char_ = 0;
  // The text is being set to an item's: ItemIndex already follows.
  bool setting_item_ = false;
  TCloseUpEventEh on_close_up_;
  TNotifyEvent on_drop_down_;
  TListGetImageIndexEventEh on_get_item_image_index_;
  TNotInListEventEh on_not_in_list_;
  TAcceptEventEh on_before_close_up_;
  TNotifyEvent on_fill_items_;
};

// The combo box with its properties published.
class TDBComboBoxEh : public TCustomDBComboBoxEh {
 public:
  explicit TDBComboBoxEh(TComponent* AOwner) : TCustomDBComboBoxEh(AOwner) {}
};

class TUnit;
extern const TUnit unit_DBCtrlsEh;
