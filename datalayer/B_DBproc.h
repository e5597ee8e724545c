// The data layer's routines over both dataset families: the engine datasets
// (TDBDataSet, TQuery; DBTables.h) and the Firebird datasets (TpFIBDataSet,
// which includes TB_Query).
//
// Dataset factory and SQL-text helpers: a query of a dataset's own family,
// its SQL, parameters and master source, and condition texts built from
// values. Every value written into SQL text is a string literal with its
// quotes doubled; parameter references are replaced only outside string
// literals, quoted names and comments.
//
// Transactional delete and save: host forms delete and save through these
// routines, which run the change in a transaction, catch every failure,
// undo what was done and show a Russian text in the message window (type
// error). A save (PostDataSet, and the full save of a delete) that finds
// the server connection lost shows "Потеряна связь с SQL сервером.\r
// Программа будет занрыта." and ends the program with exit code 4 through
// the application object (Halt: the units' finalizations run).
//
// Save modes: 1 post (a delete or ApplyDataSet does the full save only
// with PostWithCommit = 1), 2 post with apply and commit, 3 cancel.
#pragma once

#include <memory>

#include "grid/datagrid/DBGridEh.h"
#include "platform/db/DB.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

// ---------------------------------------------------------------------------
// Dataset factory

// A query owned by AOwner with SQL.Text := SQLText, not opened: for an
// engine dataset a TQuery on its DatabaseName (EDBEngineError "database
// engine not available" when no engine is installed); for a Firebird dataset
// a TB_Query on its Database (the text passes ConvertSQLText; no database:
// the default one; no transaction assigned). nullptr for any other dataset.
TDataSet* CreateQueryFor(TComponent* AOwner, TDataSet* DataSet, const String& SQLText);
// The master data source of a TQuery or a Firebird dataset (which refuse a
// circular link); other datasets and nullptr are ignored.
void SetDataSetDataSource(TDataSet* DataSet, TDataSource* DataSource);
// Each parameter of Target takes the value of Source's parameter of the
// same name, when Source has one; both of one family (TQuery or Firebird),
// else nothing.
void CopyParamValues(TDataSet* Source, TDataSet* Target);
// TQuery's SQL, TB_Query's own SQL (not the converted select), another
// Firebird dataset's SelectSQL; "" for other datasets.
String GetDataSetSQL(TDataSet* DataSet);

// ---------------------------------------------------------------------------
// SQL text

// "" for an empty FieldName; "(F is Null)" for a blank Value (VarIsBlank);
// otherwise "('text' = F)" with Value's text (ConstArrayToStr), its quotes
// doubled.
String GetFieldCondition(const String& FieldName, const Variant& Value);
// FieldNames is a ";"-list. A variant array: the conditions of its elements
// (from its low bound) for the fields in order, as many as both have, the
// non-empty ones joined by " and "; a single value: the first field's
// condition.
String GetKeyCondition(const String& FieldNames, const Variant& Values);
// The select list between SELECT and FROM replaced by Fields.
String ReplaceSelectFields(const String& SQLText, const String& Fields);
// A Firebird dataset's qualified origin of a select-list column; when there
// is none, FieldName with UseName, else "". The statement's errors pass.
String GetFieldOriginOrName(TDataSet* DataSet, const String& FieldName, bool UseName);
// Every item of the ";"-list is a field of the dataset; false for an empty
// list.
bool DataSetHasFields(TDataSet* DataSet, const String& FieldNames);
// With an active, non-empty dataset behind DataSource: every ":NAME" (a run
// of ASCII letters, digits and "_") outside string literals, quoted names
// and comments becomes the current record's field of that name: " NULL "
// for a null field, else its text as a string literal; a name without a
// field stays. Otherwise Text as it is.
String SubstituteFieldValues(TDataSource* DataSource, const String& Text);

// ---------------------------------------------------------------------------
// Transactional delete and save

// With NativeError 0 the engine's ErrorCode (0x2601, 0x2604, 0x2606,
// 0x3303), otherwise NativeError as a server SQL code (-803, -625, -530),
// names one of the fixed Russian texts; any other value gives
// "Native:<NativeError>  Code:<ErrorCode>".
String DBErrorText(Word ErrorCode, Integer NativeError);

// Deletes the current record, after the question "Вы уверены, что хотите
// удалить данные?" with Confirm (any answer but "Да" returns false). The
// transaction (a Firebird dataset's update transaction, an engine dataset's
// SQL database) is started when it is not open and ended only when this call
// started it: committed on success, rolled back on failure (a Firebird update
// transaction of its own for good, the dataset's read transaction
// retaining); one the caller had open stays open with the caller's work. Mode 2 (or 1 with
// PostWithCommit = 1) also saves the dataset: cached updates are applied.
// A delete that reached the server, or stays among the cached updates,
// needs no further save in the light mode and succeeds. On failure the
// deleted record comes back (UndoDelete of the dataset), the dataset's other
// pending changes staying as they are, and the error is shown. False for a
// nil, inactive or empty dataset and every other kind of dataset.
bool DeleteRecordConfirmed(TDataSet* DataSet, bool Confirm, Byte Mode);
// Mode 1: posts an edit (fields that are not read-only are not required
// meanwhile, the server decides; their Required flags come back after),
// applies pending cached updates and commits (a Firebird dataset's update
// transaction CommitRetaining, an engine database's open transaction
// Commit); true on success. A failure shows its message (with ShowErrors),
// cancels the changes and returns false; the row keeps its place in the
// visible window. Mode 3: cancels the edit, or every cached update; true
// (errors of this mode are raised). Other modes and nullptr: false.
bool PostDataSet(TDataSet* DataSet, Byte Mode, bool ShowErrors);
// Mode 2, or 1 with PostWithCommit = 1: PostDataSet(DataSet, 1, true).
// Otherwise an edit takes the controls' values into the record (nothing is
// posted) and true; false in any other state and for nullptr.
bool ApplyDataSet(TDataSet* DataSet, Byte Mode);

// ---------------------------------------------------------------------------
// Data links and the lookup binding

// WM_USER+144: sent by a lookup binding to the application's main form with
// WParam the address of its IDObject text and LParam its column collection;
// the main form fills the columns.
inline constexpr Cardinal WM_FILLCOLUMNS = 0x0400 + 144;

class TB_DataLink;
using TB_DataLinkEvent = Event<void(TB_DataLink* Link)>;
using TB_FieldChangeEvent = Event<void(TField* Field)>;

// A data link that hands each notification to a bound callback instead of
// the inherited handling (never both).
class TB_DataLink : public TDataLink {
 public:
  TB_DataLink() = default;
  const TB_DataLinkEvent& OnActiveChanged() const { return on_active_changed_; }
  void SetOnActiveChanged(TB_DataLinkEvent V) { on_active_changed_ = std::move(V); }
  const TB_DataLinkEvent& OnEditingChanged() const { return on_editing_changed_; }
  void SetOnEditingChanged(TB_DataLinkEvent V) { on_editing_changed_ = std::move(V); }
  const TB_DataLinkEvent& OnDataSetChanged() const { return on_data_set_changed_; }
  void SetOnDataSetChanged(TB_DataLinkEvent V) { on_data_set_changed_ = std::move(V); }
  const TB_DataLinkEvent& OnDataSetScrolled() const { return on_data_set_scrolled_; }
  void SetOnDataSetScrolled(TB_DataLinkEvent V) { on_data_set_scrolled_ = std::move(V); }
  const TB_FieldChangeEvent& OnRecordChanged() const { return on_record_changed_; }
  void SetOnRecordChanged(TB_FieldChangeEvent V) { on_record_changed_ = std::move(V); }
  const TB_DataLinkEvent& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TB_DataLinkEvent V) { on_update_data_ = std::move(V); }

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int Distance) override;
  void EditingChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  TB_DataLinkEvent on_active_changed_, on_editing_changed_, on_data_set_changed_, on_data_set_scrolled_;
  TB_FieldChangeEvent on_record_changed_;
  TB_DataLinkEvent on_update_data_;
};

// A link bound to the fields named in a ";"-list.
class TB_FieldDataLink : public TB_DataLink {
 public:
  TB_FieldDataLink() { SetVisualControl(true); }
  const String& FieldNames() const { return field_names_; }
  void SetFieldNames(const String& Value) { field_names_ = Value; }
  bool Editing() const { return editing_; }
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  // The own flag; while active, also a listed field that is missing or
  // read-only.
  bool ReadOnly() const;
  void SetReadOnly(bool Value);
  bool CanModifyFields() const;
  bool Edit();
  // Test reach to the notifications.
  void RecordChangedNow(TField* Field) { RecordChanged(Field); }
  void UpdateDataNow() { UpdateData(); }

 protected:
  void EditingChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void SetEditing(bool Value);
  // The listed fields that exist (all of them when AllExist).
  std::vector<TField*> ListedFields(bool& AllExist) const;

  String field_names_;
  bool editing_ = false;
  bool modified_ = false;
};

RTL_ENUM(TB_ListType, b_ltDB, b_ltValue, b_ltLinkValue);
RTL_ENUM(TB_FuncType, b_ftUpper, b_ftStrCat);
using TB_FuncTypes = Set<TB_FuncType>;

// The lookup binding: a data field (or several) of DataSource tied to the
// key field ListFieldLink of ListSource (or to a value list), the current
// key value and its display text, and the settings the lookup list builds
// its search query from.
class TB_DBDataLink : public TPersistent {
 public:
  // Columns: the owner grid's collection (not owned), or nullptr for one of
  // its own.
  TB_DBDataLink(TComponent* AOwner, TDBGridColumnsEh* Columns);
  ~TB_DBDataLink() override;
  TPersistent* GetOwner() override { return owner_; }
  TComponent* Owner() const { return owner_; }

  const String& IDObject() const { return id_object_; }
  void SetIDObject(const String& Value);
  TDBGridColumnsEh* Columns() const { return columns_; }
  bool OwnsColumns() const { return own_columns_ != nullptr; }
  const String& ListFieldCode() const { return list_field_code_; }
  void SetListFieldCode(const String& Value) { list_field_code_ = Value; }
  const String& ListFieldEdit() const { return list_field_edit_; }
  void SetListFieldEdit(const String& Value) { list_field_edit_ = Value; }
  const String& ListFieldIndex() const { return list_field_index_; }
  void SetListFieldIndex(const String& Value) { list_field_index_ = Value; }
  const String& ListFields() const { return list_fields_; }
  void SetListFields(const String& Value) { list_fields_ = Value; }
  const String& ListFilter() const { return list_filter_; }
  void SetListFilter(const String& Value) { list_filter_ = Value; }
  const String& DataFields() const { return data_fields_; }
  void SetDataFields(const String& Value) { data_fields_ = Value; }
  const String& DataField() const { return field_link_->FieldNames(); }
  void SetDataField(const String& Value);
  const String& MasterFields() const { return master_fields_; }
  void SetMasterFields(const String& Value) { master_fields_ = Value; }
  const String& OwnerFields() const { return owner_fields_; }
  void SetOwnerFields(const String& Value) { owner_fields_ = Value; }
  TB_ListType ListType() const { return list_type_; }
  void SetListType(TB_ListType Value);
  const String& ListFieldLink() const { return list_field_link_; }
  void SetListFieldLink(const String& Value);
  bool ReadOnly() const { return field_link_->ReadOnly(); }
  void SetReadOnly(bool Value) { field_link_->SetReadOnly(Value); }
  const String& ListFieldFind() const { return list_field_find_; }
  void SetListFieldFind(const String& Value);
  TDataSource* ListSource() const { return list_link_->DataSource(); }
  void SetListSource(TDataSource* Value);
  TDataSource* DataSource() const { return field_link_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent V) { on_change_ = std::move(V); }
  const TNotifyEvent& OnSourceChange() const { return on_source_change_; }
  void SetOnSourceChange(TNotifyEvent V) { on_source_change_ = std::move(V); }
  const TDataSetNotifyEvent& OnNewRecord() const { return on_new_record_; }
  void SetOnNewRecord(TDataSetNotifyEvent V) { on_new_record_ = std::move(V); }
  bool ListGroup() const { return list_group_; }
  void SetListGroup(bool Value) { list_group_ = Value; }
  const String& ValueDefault() const { return value_default_; }
  void SetValueDefault(const String& Value) { value_default_ = Value; }
  const String& Values() const { return values_; }
  void SetValues(const String& Value);
  TB_FuncTypes UsesFunc() const { return uses_func_; }
  void SetUsesFunc(TB_FuncTypes Value) { uses_func_ = Value; }

  const Variant& Text() const { return text_; }
  const Variant& Value() const { return value_; }
  const String& Separator() const { return separator_; }
  bool CalcText() const { return calc_text_; }
  void SetCalcText(bool Value) { calc_text_ = Value; }
  const String& CurrentTextField() const { return current_text_field_; }
  void SetCurrentTextField(const String& Value) { current_text_field_ = Value; }
  const Variant& CurrentText() const { return current_text_; }
  void SetCurrentText(const Variant& Value) { current_text_ = Value; }
  TB_FieldDataLink* FieldLink() const { return field_link_.get(); }
  TB_DataLink* ListLink() const { return list_link_.get(); }
  TDataSet* ListDataSet() const { return list_link_->DataSet(); }

  virtual bool CanModify();
  virtual void Changed();
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  Variant GetValue();
  // Raises "Нельзя присвоить значение пустой таблице. В таблице нет строк."
  // for an active, empty data source.
  void AssignValue(const Variant& V);
  void StoreValue(const Variant& V);
  void SetDataFieldsValue(const Variant& V);
  void CopyFromList(TDataSet* DataSet);
  void DataChanged(TField* Field);
  void RecomputeText();
  // The display text of Key (never raises).
  Variant LookupText(const Variant& Key);
  // Whether the list can be read: b_ltDB an active list link, else Values.
  bool ListUsable() const;
  static String FilterValueList(const String& Values, const String& SearchText, int Stride);
  // The ";"-items of a value list as they stand (texts keep their blanks),
  // ended by two empty items in a row.
  static std::vector<String> ValueListItems(const String& Values);

 private:
  bool CanAssign() const;
  void DataChangedRecord(TField* Field) { DataChanged(Field); }
  void DataChangedLink(TB_DataLink*) { DataChanged(nullptr); }
  void ListActiveChanged(TB_DataLink* = nullptr);
  void ListDataSetChanged(TB_DataLink*);
  void BindListLink(bool Bind);
  bool SetSource(TDataLink* Link, TDataSource* Value);

  TComponent* owner_;
  String list_field_link_, list_field_find_, list_field_index_, list_field_edit_, list_field_code_;
  TNotifyEvent on_change_, on_source_change_;
  String data_fields_, list_fields_, list_filter_;
  Variant text_, value_;
  bool list_group_ = false;
  TDBGridColumnsEh* columns_ = nullptr;
  std::unique_ptr<TDBGridColumnsEh> own_columns_;
  TB_ListType list_type_ = b_ltDB;
  String values_;
  TB_FuncTypes uses_func_{b_ftUpper};
  TDataSetNotifyEvent on_new_record_;
  String id_object_, master_fields_, owner_fields_;
  std::unique_ptr<TB_FieldDataLink> field_link_;
  std::unique_ptr<TB_DataLink> list_link_;
  String separator_ = ";";
  String value_default_;
  bool calc_text_ = true;
  String current_text_field_;
  Variant current_text_;
};
