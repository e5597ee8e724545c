// TB_DBLookupList: the searchable pick list. A data grid over the rows of a
// list dataset that takes the chosen row into a data field through its
// lookup binding (TB_DBDataLink). Each change of the search text builds a
// select from the list dataset's SQL, the binding's field lists, filters
// and master fields and a LIKE condition through the server function
// B_UPPER, opens it as a separate query of the list dataset's family and
// shows its rows. Failures go to the message window with the SQL text.
//
// Every text put into the SQL is a string literal with its quotes doubled;
// a condition put before an existing WHERE text keeps that text bracketed.
#pragma once

#include <memory>

#include "datalayer/B_DBproc.h"
#include "framework/B_Form.h"
#include "framework/Bstdctrl.h"
#include "grid/datagrid/DBGridEh.h"

RTL_ENUM(TB_ShowForm, b_sfShow, b_sfShowModal);

class TB_LookupListFormPersistent : public TB_CustomFormPersistent {
 public:
  TB_ShowForm ShowForm() const { return show_form_; }
  void SetShowForm(TB_ShowForm Value) { show_form_ = Value; }

 private:
  TB_ShowForm show_form_ = b_sfShow;
};

class TB_DBLookupList;
using TB_DBLookupListEvent = Event<void(TObject* Sender, TComponent*& AForm)>;
using TB_StringEvent = Event<String(TObject* Sender)>;

class TB_DBLookupList : public TCustomDBGridEh {
 public:
  explicit TB_DBLookupList(TComponent* AOwner);
  ~TB_DBLookupList() override;

  TB_LookupListFormPersistent* Form() const { return form_.get(); }
  // The external binding when one is set, else the list's own.
  TB_DBDataLink* DBDataLink() const { return external_link_ != nullptr ? external_link_ : own_link_.get(); }
  void SetExternalDataLink(TB_DBDataLink* Link);
  TDataSet* ListQuery() const { return list_query_.get(); }
  TDataSource* ListDataSource() const { return list_data_source_.get(); }
  const String& SearchText() const { return search_text_; }
  void SetSearchText(const String& Text);
  const String& SearchFields() const { return search_fields_; }
  void SetSearchFields(const String& Value) { search_fields_ = Value; }
  TB_CustomMaskEdit* FindControl() const { return find_control_; }
  void SetFindControl(TB_CustomMaskEdit* Value);
  const Variant& CurrentText() const { return current_text_; }
  bool AutoFitSet() const { return auto_fit_set_; }
  bool FreeListOnSelect() const { return free_list_on_select_; }
  void SetFreeListOnSelect(bool Value) { free_list_on_select_ = Value; }
  bool ReadOnly() const { return DBDataLink()->ReadOnly(); }
  void SetReadOnly(bool Value);
  // The tag names a data object: without a list source the main form is
  // asked (WM_FRAMECOMMAND code 25) for its data source.
  void SetTag(NativeInt Value);
  // The SQL of the last refresh (also when it failed).
  const String& LastSQL() const { return last_sql_; }

  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent V) { on_click_ = std::move(V); }
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent V) { on_change_ = std::move(V); }
  const TNotifyEvent& OnChangeData() const { return on_change_data_; }
  void SetOnChangeData(TNotifyEvent V) { on_change_data_ = std::move(V); }
  const TB_DBLookupListEvent& OnInsert() const { return on_insert_; }
  void SetOnInsert(TB_DBLookupListEvent V) { on_insert_ = std::move(V); }
  const TB_StringEvent& OnDBFilter() const { return on_db_filter_; }
  void SetOnDBFilter(TB_StringEvent V) { on_db_filter_ = std::move(V); }
  const TNotifyEvent& OnDblClick() const { return on_dbl_click_; }
  void SetOnDblClick(TNotifyEvent V) { on_dbl_click_ = std::move(V); }

  virtual void DoChangeData();
  virtual bool CanEditData();
  // Takes the current row into the data field.
  virtual void SelectCurrent();

  void RefreshList(const String& Text);
  void TypeChar(WideChar Key);
  void ShowListSource(TObject* Sender = nullptr);
  void FreeList();
  void RunDefaultMenuItem();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void Click() override;
  void DblClick() override;
  void DoExit() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void SetColumnAttributes() override;

 private:
  void DataLinkChanged(TObject* Sender);
  void FindControlChange(TObject* Sender);

  std::unique_ptr<TB_LookupListFormPersistent> form_;
  std::unique_ptr<TB_DBDataLink> own_link_;
  TB_DBDataLink* external_link_ = nullptr;
  std::unique_ptr<TDataSet> list_query_;
  std::unique_ptr<TDataSource> list_data_source_;
  String search_text_, search_fields_;
  WideChar search_pending_ = 0;
  TB_CustomMaskEdit* find_control_ = nullptr;
  Variant current_text_;
  bool auto_fit_set_ = false;
  bool free_list_on_select_ = false;
  bool title_pressed_ = false;
  String last_sql_;
  TNotifyEvent on_click_, on_change_, on_change_data_;
  TB_DBLookupListEvent on_insert_;
  TB_StringEvent on_db_filter_;
  TNotifyEvent on_dbl_click_;
};
