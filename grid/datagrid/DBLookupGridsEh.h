// DBLookupGridsEh: grids that stand for one key value of a list.
//
//  - TDBLookupGridEh shows the rows of its list data source (the grid's own
//    DataSource, ListSource) and stands for KeyValue: the row whose key
//    field equals it is the current row. Moving through the list, typing
//    (incremental search over the list field, restarting after a pause of
//    more than 2000 ms of the tick count) or clicking selects a row's key;
//    with a data source the key is written into the data field(s). A special
//    row above the data rows (SpecRow) stands for a value outside the list.
//    Its height is a whole number of rows (RowCount, 1..100).
//  - TPopupDataGridEh is the same grid as a drop-down window: it never takes
//    the focus, follows the mouse, and hands its result to its Owner through
//    IPopupOwnerEh::CloseUp (accept on a release over a row, refuse on a
//    release outside).
//
// Initialization (part of the grid unit's start) registers the column
// drop-down grid factory: a column's drop-down box gets a TPopupDataGridEh.
#pragma once

#include <memory>
#include <vector>

#include "grid/datagrid/DBGridEh.h"

class TDBLookupGridEh;

// The link to the data source whose data field(s) hold the key.
class TLookupGridDataLinkEh : public TDataLink {
 public:
  explicit TLookupGridDataLinkEh(TDBLookupGridEh* Grid) : grid_(Grid) { SetVisualControl(true); }
  TDBLookupGridEh* Grid() const { return grid_; }

 protected:
  void ActiveChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void FocusControl(TFieldRef Field) override;

 private:
  TDBLookupGridEh* grid_;
};

class TDBLookupGridColumnEh;

// One cell of the special row for a column: its own text, colour and font
// once set, else the special row's.
class TGridColumnSpecCellEh : public TPersistent {
 public:
  explicit TGridColumnSpecCellEh(TDBLookupGridColumnEh* Column);
  ~TGridColumnSpecCellEh() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;

  TColor Color() const;
  void SetColor(TColor Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  String Text() const;
  void SetText(const String& Value);
  bool IsColorStored() const { return color_set_; }
  bool IsFontStored() const { return font_set_; }
  bool IsTextStored() const { return text_set_; }

 private:
  void FontChanged(TObject* Sender);
  TSpecRowEh* SpecRow() const;

  TDBLookupGridColumnEh* column_;
  std::unique_ptr<TFont> font_;
  TColor color_ = clWindow;
  String text_;
  bool color_set_ = false, font_set_ = false, text_set_ = false;
};

class TDBLookupGridColumnEh : public TColumnEh {
 public:
  explicit TDBLookupGridColumnEh(TCollection* Collection);
  ~TDBLookupGridColumnEh() override;
  TGridColumnSpecCellEh* SpecCell() const { return spec_cell_.get(); }
  void SetSpecCell(TGridColumnSpecCellEh* Value) { spec_cell_->Assign(Value); }
  // The grid (nullptr outside a lookup grid).
  TDBLookupGridEh* LookupGrid() const;
  // While the list is active the special-row cell texts follow the columns.
  void SetIndex(int Value) override;

 private:
  std::unique_ptr<TGridColumnSpecCellEh> spec_cell_;
};

class TDBLookupGridColumnDefValuesEh : public TColumnDefValuesEh {
 public:
  using TColumnDefValuesEh::TColumnDefValuesEh;
};

class TDBLookupGridEh : public TCustomDBGridEh {
 public:
  explicit TDBLookupGridEh(TComponent* AOwner);
  ~TDBLookupGridEh() override;

  TLookupGridDataLinkEh* LookupDataLink() const { return data_link_.get(); }
  TDataSource* DataSource() const { return data_link_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const String& DataField() const { return data_field_name_; }
  void SetDataField(const String& Value);
  TDataSource* ListSource() const;
  void SetListSource(TDataSource* Value);
  const String& KeyFieldName() const { return key_field_name_; }
  void SetKeyFieldName(const String& Value);
  const String& ListFieldName() const { return list_field_name_; }
  void SetListFieldName(const String& Value);
  int ListFieldIndex() const { return list_field_index_; }
  void SetListFieldIndex(int Value);
  TField* ListField() const { return list_field_; }
  const std::vector<TField*>& ListFields() const { return list_fields_; }
  const std::vector<TField*>& KeyFields() const { return key_fields_; }
  const std::vector<TField*>& DataFields() const { return data_fields_; }
  bool LookupMode() const { return lookup_mode_; }
  bool ListActive() const { return list_active_; }

  const Variant& KeyValue() const { return key_value_; }
  void SetKeyValue(const Variant& Value);
  // The display text of the selected row.
  String Text() const override { return text_; }
  TSpecRowEh* SpecRow() const { return spec_row_.get(); }
  void SetSpecRow(TSpecRowEh* Value) { spec_row_->Assign(Value); }
  bool SpecRowSelected() const { return spec_row_selected_; }
  // Height of the special row (0 while it is hidden).
  int SpecRowHeight() const;
  int LookupRowCount() const { return row_count_; }
  void SetLookupRowCount(int Value);
  bool ShowTitles() const { return Options().Contains(dgTitles); }
  void SetShowTitles(bool Value);
  void SetUseMultiTitleEh(bool Value);
  const String& SearchText() const { return search_text_; }
  bool HideVertScrollBar() const { return hide_vert_scroll_bar_; }
  void SetHideVertScrollBar(bool Value) { hide_vert_scroll_bar_ = Value; }
  TDBLookupGridEhOptions LookupOptions() const { return lookup_options_; }
  void SetLookupOptions(TDBLookupGridEhOptions Value);
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent V) { on_click_ = std::move(V); }

  // Virtual operations (in their design order).
  virtual bool CanModify();
  virtual bool IsKeyValueValid(const Variant& Value);
  virtual int GetBorderHeight();
  virtual int DataRowHeight();
  virtual int DataRowLineHeight();
  virtual void SelectSpecRowOrValue();
  virtual void KeyValueChanged() {}
  virtual void ProcessSearchKey(WideChar Key);
  virtual void SelectKeyValue(const Variant& Value);
  virtual void UpdateDisplay();
  virtual void FirstShowAutoFit() {}
  virtual void UpdateColumnsList();
  virtual void UpdateListFields();
  virtual bool LocateKey();
  // DatabaseError when the list dataset is linked to the data source.
  void CheckNotCircular();

  // The row's height rule: a new height becomes a whole number of rows.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void LinkActive(bool Value) override;

  // Timer interval of the automatic scroll while the pointer is Distance
  // pixels above or below the rows (never below 10 ms).
  static int AutoScrollInterval(int Distance);
  // The list row (0-based in the record window) under client point Y; -1
  // on the special row, -2 outside the rows.
  int RowAtY(int Y) const;
  // Moves the list by Distance rows (relative to the current record) and
  // selects the new row's key; the special row takes part as row -1.
  void MoveSelection(int Distance);
  void SelectSpecRow();

 protected:
  TColumnDefValuesEh* CreateColumnDefValues() override;
  TDBGridColumnsEh* CreateColumns() override;
  // The height of Count rows with the titles, lines, border and special row.
  int HeightForRows(int Count);
  // Called after every selection change (the popup reports it).
  virtual void SelectionChanged() {}
  void DataFieldChanged();

 private:
  friend class TLookupGridDataLinkEh;
  void SpecRowChanged(TObject* Sender);
  void CheckListWritable();
  bool IsListSearchable() const;
  void ApplyHeight();
  void StartAutoScroll(int Distance, int Direction);
  void StopAutoScroll();

  std::unique_ptr<TLookupGridDataLinkEh> data_link_;
  std::unique_ptr<TDataSource> shadow_source_;
  std::unique_ptr<TSpecRowEh> spec_row_;
  String data_field_name_, key_field_name_, list_field_name_;
  std::vector<TField*> data_fields_, key_fields_, list_fields_;
  TField* list_field_ = nullptr;
  int list_field_index_ = 0;
  bool lookup_mode_ = false;
  bool list_active_ = false;
  Variant key_value_;
  String text_;
  bool spec_row_selected_ = false;
  int row_count_ = 7;
  String search_text_;
  WideChar search_pending_ = 0;
  Cardinal search_time_ = 0;
  bool hide_vert_scroll_bar_ = false;
  bool selecting_ = false;
  bool in_select_ = false;
  bool tracking_ = false;
  int scroll_direction_ = 0;
  TDBLookupGridEhOptions lookup_options_{dlgColLinesEh};
  TNotifyEvent on_click_;
};

class TPopupDataGridEh : public TDBLookupGridEh {
 public:
  explicit TPopupDataGridEh(TComponent* AOwner);
  ~TPopupDataGridEh() override;

  TSizeGripEh* SizeGrip() const { return size_grip_; }
  bool KeyUsed() const { return key_used_; }
  bool MouseInside() const { return mouse_inside_; }
  bool Resized() const { return resized_; }
  // Fires after each selection change once the user has used the popup.
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent V) { on_change_ = std::move(V); }
  // Asks the owner's IPopupOwnerEh to close the popup.
  void CloseUp(bool Accept);

  bool CanFocus() const override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void InitWidget() override;
  void Resize() override;
  void SelectionChanged() override;

 private:
  TSizeGripEh* size_grip_ = nullptr;
  bool key_used_ = false;
  bool mouse_inside_ = false;
  bool resized_ = false;
  TNotifyEvent on_change_;
};
