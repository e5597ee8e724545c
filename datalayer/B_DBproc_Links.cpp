// Data links and the lookup binding.
#include <memory>

#include "dataaccess/core/SqlTxtRtns.h"
#include "datalayer/B_DBproc.h"
#include "framework/B_Dlg.h"
#include "framework/B_PF.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char kEmptyTableText[] = "Нельзя присвоить значение пустой таблице. В таблице нет строк.";

bool SourceActive(TDataSource* Source) {
  return Source != nullptr && Source->DataSet() != nullptr && Source->DataSet()->Active();
}

// Every item of the ";"-list is a field of DataSet.
bool AllFieldsExist(TDataSet* DataSet, const String& Names) {
  if (DataSet == nullptr || Names.empty()) return false;
  for (const String& n : GetListItems(Names))
    if (DataSet->FindField(n) == nullptr) return false;
  return true;
}

}  // namespace

std::vector<String> TB_DBDataLink::ValueListItems(const String& Values) {
  std::vector<String> items;
  if (Values.empty()) return items;
  size_t start = 0;
  while (true) {
    size_t p = Values.find(';', start);
    items.push_back(Values.substr(start, p == String::npos ? String::npos : p - start));
    if (items.size() >= 2 && items[items.size() - 1].empty() && items[items.size() - 2].empty()) {
      items.resize(items.size() - 2);
      break;
    }
    if (p == String::npos) break;
    start = p + 1;
  }
  if (!items.empty() && items.back().empty() && Values.back() == ';') items.pop_back();
  return items;
}

// ---------------------------------------------------------------------------
// TB_DataLink

void TB_DataLink::ActiveChanged() {
  if (on_active_changed_) on_active_changed_(this);
  else TDataLink::ActiveChanged();
}
void TB_DataLink::DataSetChanged() {
  if (on_data_set_changed_) on_data_set_changed_(this);
  else TDataLink::DataSetChanged();
}
void TB_DataLink::DataSetScrolled(int Distance) {
  if (on_data_set_scrolled_) on_data_set_scrolled_(this);
  else TDataLink::DataSetScrolled(Distance);
}
void TB_DataLink::EditingChanged() {
  if (on_editing_changed_) on_editing_changed_(this);
  else TDataLink::EditingChanged();
}
void TB_DataLink::RecordChanged(TField* Field) {
  if (on_record_changed_) on_record_changed_(Field);
  else TDataLink::RecordChanged(Field);
}
void TB_DataLink::UpdateData() {
  if (on_update_data_) on_update_data_(this);
  else TDataLink::UpdateData();
}

// ---------------------------------------------------------------------------
// TB_FieldDataLink

std::vector<TField*> TB_FieldDataLink::ListedFields(bool& AllExist) const {
  std::vector<TField*> fields;
  AllExist = true;
  TDataSet* ds = DataSet();
  for (const String& n : GetListItems(field_names_)) {
    TField* f = ds != nullptr ? ds->FindField(n) : nullptr;
    if (f == nullptr) AllExist = false;
    else fields.push_back(f);
  }
  return fields;
}

bool TB_FieldDataLink::ReadOnly() const {
  if (TDataLink::ReadOnly()) return true;
  if (!Active()) return false;
  bool all = true;
  for (TField* f : ListedFields(all))
    if (f->ReadOnly()) return true;
  return !all;
}

void TB_FieldDataLink::SetReadOnly(bool Value) {
  TDataLink::SetReadOnly(Value);
  if (!Active()) return;
  bool all = true;
  for (TField* f : ListedFields(all)) f->SetReadOnly(Value);
}

bool TB_FieldDataLink::CanModifyFields() const {
  if (ReadOnly()) return false;
  if (!Active()) return true;
  bool all = true;
  std::vector<TField*> fields = ListedFields(all);
  if (!all) return false;
  for (TField* f : fields)
    if (!f->CanModify()) return false;
  return true;
}

bool TB_FieldDataLink::Edit() {
  if (CanModifyFields()) TDataLink::Edit();
  return editing_;
}

void TB_FieldDataLink::SetEditing(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  modified_ = false;
  if (OnEditingChanged()) OnEditingChanged()(this);
}

void TB_FieldDataLink::EditingChanged() { SetEditing(TDataLink::Editing() && CanModifyFields()); }

void TB_FieldDataLink::RecordChanged(TField* Field) {
  Integer index = -1;
  if (Field != nullptr && !FindListItem(field_names_, Field->FieldName(), false, index)) return;
  TB_DataLink::RecordChanged(Field);
  modified_ = false;
}

void TB_FieldDataLink::UpdateData() {
  if (modified_) {
    bool all = true;
    if (!ListedFields(all).empty()) TB_DataLink::UpdateData();
  }
  modified_ = false;
}

// ---------------------------------------------------------------------------
// TB_DBDataLink

TB_DBDataLink::TB_DBDataLink(TComponent* AOwner, TDBGridColumnsEh* Columns) : owner_(AOwner) {
  if (Columns != nullptr) {
    columns_ = Columns;
  } else {
    own_columns_ = std::make_unique<TDBGridColumnsEh>(nullptr, CollectionItemFactory<TDBGridColumnEh>);
    columns_ = own_columns_.get();
  }
  field_link_ = std::make_unique<TB_FieldDataLink>();
  list_link_ = std::make_unique<TB_DataLink>();
  field_link_->SetOnActiveChanged({this, &TB_DBDataLink::DataChangedLink});
  field_link_->SetOnRecordChanged({this, &TB_DBDataLink::DataChangedRecord});
  BindListLink(true);
}

TB_DBDataLink::~TB_DBDataLink() {
  list_link_.reset();
  field_link_.reset();
  own_columns_.reset();
}

void TB_DBDataLink::BindListLink(bool Bind) {
  if (Bind) {
    list_link_->SetOnActiveChanged({this, &TB_DBDataLink::ListActiveChanged});
    list_link_->SetOnDataSetChanged({this, &TB_DBDataLink::ListDataSetChanged});
  } else {
    list_link_->SetOnActiveChanged({});
    list_link_->SetOnDataSetChanged({});
  }
}

bool TB_DBDataLink::CanModify() { return field_link_->CanModifyFields(); }
void TB_DBDataLink::Changed() {
  if (on_change_) on_change_(owner_);
}

void TB_DBDataLink::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation != opRemove || AComponent == nullptr) return;
  if (field_link_->DataSource() == AComponent) field_link_->SetDataSource(nullptr);
  if (list_link_->DataSource() == AComponent) list_link_->SetDataSource(nullptr);
}

bool TB_DBDataLink::SetSource(TDataLink* Link, TDataSource* Value) {
  if (Link->DataSource() == Value || Link->DataSourceFixed()) return false;
  if (Value != nullptr && Link->Active() && Link->DataSet()->IsLinkedTo(Value)) return false;
  Link->SetDataSource(Value);
  if (Value != nullptr && owner_ != nullptr) Value->FreeNotification(owner_);
  if (on_source_change_) on_source_change_(owner_);
  return true;
}

void TB_DBDataLink::SetDataSource(TDataSource* Value) { SetSource(field_link_.get(), Value); }
void TB_DBDataLink::SetListSource(TDataSource* Value) {
  if (SetSource(list_link_.get(), Value)) RecomputeText();
}

void TB_DBDataLink::SetDataField(const String& Value) {
  if (field_link_->FieldNames() == Value) return;
  field_link_->SetFieldNames(Value);
  DataChanged(nullptr);
}

void TB_DBDataLink::SetListFieldFind(const String& Value) {
  if (field_link_->DataSourceFixed() || list_field_find_ == Value) return;
  list_field_find_ = Value;
  ListActiveChanged();
}

void TB_DBDataLink::SetListFieldLink(const String& Value) {
  if (list_field_link_ == Value) return;
  list_field_link_ = Value;
  ListActiveChanged();
}

void TB_DBDataLink::SetListType(TB_ListType Value) {
  if (list_type_ == Value) return;
  list_type_ = Value;
  RecomputeText();
  Changed();
}

void TB_DBDataLink::SetValues(const String& Value) {
  if (values_ == Value) return;
  values_ = Value;
  RecomputeText();
  Changed();
}

void TB_DBDataLink::SetIDObject(const String& Value) {
  if (id_object_ == Value) return;
  id_object_ = Value;
  const bool design = owner_ != nullptr && owner_->ComponentState().Contains(csDesigning);
  if (!design) {
    if (GetObjectDataSource != nullptr && ListSource() == nullptr) SetListSource(GetObjectDataSource(id_object_));
    if (!OwnsColumns() && columns_->State() != csCustomized && Application != nullptr &&
        Application->MainForm() != nullptr)
      SendMessage(Application->MainForm()->Handle(), WM_FILLCOLUMNS, reinterpret_cast<WPARAM>(&id_object_),
                  reinterpret_cast<LPARAM>(columns_));
  }
  Changed();
}

bool TB_DBDataLink::CanAssign() const { return !list_filter_.empty() || SourceActive(DataSource()); }

bool TB_DBDataLink::ListUsable() const {
  if (list_type_ == b_ltDB) return list_link_->Active();
  return !values_.empty();
}

Variant TB_DBDataLink::GetValue() {
  if (!CanAssign() && list_link_->Active() && !list_field_link_.empty()) {
    Variant v = ListDataSet()->FieldValues(list_field_link_);
    if (!VarEquals(v, value_)) return v;
  }
  return value_;
}

void TB_DBDataLink::AssignValue(const Variant& V) {
  if (CanAssign() && !DataField().empty()) {
    TDataSet* ds = DataSource() != nullptr ? DataSource()->DataSet() : nullptr;
    if (SourceActive(DataSource()) && ds->IsEmpty()) throw Exception(kEmptyTableText);
    if (field_link_->Edit()) ds->SetFieldValues(DataField(), V);
    if (AllFieldsExist(ds, DataField())) StoreValue(ds->FieldValues(DataField()));
    return;
  }
  StoreValue(V);
}

void TB_DBDataLink::StoreValue(const Variant& V) {
  if (VarEquals(V, value_)) return;
  value_ = V;
  RecomputeText();
  Changed();
}

void TB_DBDataLink::SetDataFieldsValue(const Variant& V) {
  if (SourceActive(DataSource()) && field_link_->Edit() && !data_fields_.empty())
    DataSource()->DataSet()->SetFieldValues(data_fields_, V);
}

void TB_DBDataLink::CopyFromList(TDataSet* DataSet) {
  if (list_type_ != b_ltDB) {
    AssignValue(GetValue());
    return;
  }
  TDataSet* ds = DataSet != nullptr ? DataSet : ListDataSet();
  if (ds == nullptr || !ds->Active()) return;
  if (!list_field_link_.empty()) AssignValue(ds->FieldValues(list_field_link_));
  if (!list_fields_.empty()) SetDataFieldsValue(ds->FieldValues(list_fields_));
}

void TB_DBDataLink::DataChanged(TField* Field) {
  if (Field == nullptr && SourceActive(DataSource()) && !DataSource()->DataSet()->IsEmpty() && !DataField().empty()) {
    TDataSet* ds = DataSource()->DataSet();
    if (AllFieldsExist(ds, DataField())) StoreValue(ds->FieldValues(DataField()));
    else AssignValue(Unassigned());
  }
  Changed();
}

void TB_DBDataLink::ListActiveChanged(TB_DataLink*) { DataChanged(nullptr); }

void TB_DBDataLink::ListDataSetChanged(TB_DataLink*) {
  if (!ListUsable()) return;
  if (VarIsBlank(value_)) {
    Changed();
    return;
  }
  if (list_type_ == b_ltDB && !list_field_link_.empty() && !ListDataSet()->IsEmpty() &&
      VarEquals(value_, ListDataSet()->FieldValues(list_field_link_)))
    Changed();
}

void TB_DBDataLink::RecomputeText() { text_ = calc_text_ ? LookupText(value_) : Variant(String()); }

Variant TB_DBDataLink::LookupText(const Variant& Key) {
  Variant text = String();
  if (list_type_ == b_ltValue) return Key;
  if (list_type_ == b_ltLinkValue) {
    const String key = VarIsBlank(Key) ? String() : VarToStr(Key);
    const std::vector<String> items = ValueListItems(values_);
    for (size_t i = 0; i + 1 < items.size(); i += 3)
      if (Trim(items[i]) == key) return items[i + 1];
    return text;
  }
  TDataSet* base = ListDataSet();
  String sql;
  if (base != nullptr) {
    if (!VarIsBlank(Key)) sql = GetDataSetSQL(base);
  } else if (SourceActive(DataSource()) && !DataSource()->DataSet()->IsEmpty()) {
    base = DataSource()->DataSet();
    try {
      text = base->FieldValues(data_fields_.empty() ? DataField() : data_fields_);
    } catch (const Exception&) {
      text = String();
    }
    if (!list_filter_.empty() && list_filter_[0] == '=') sql = " " + list_filter_.substr(1);
  }
  if (!sql.empty()) {
    const String fields = !list_field_edit_.empty() ? list_field_edit_ : list_field_find_;
    String select = RemoveDuplicateItems(fields);
    ReplaceChar(select, ';', ',', 0);
    const String cond = GetKeyCondition(list_field_link_, Key);
    if (!select.empty()) sql = ReplaceSelectFields(sql, select);
    const String old = GetWhereClause(sql);
    if (!cond.empty()) {
      // An existing condition is bracketed so that its "or" keeps its reach.
      const String where = old.empty() ? cond : cond + " and\r\n(" + old + ")";
      TSQLParser parser(sql);
      sql = parser.SetMainWhere(where);
    }
    std::unique_ptr<TDataSet> query;
    try {
      query.reset(CreateQueryFor(owner_, base, sql));
      if (query != nullptr) {
        SetDataSetDataSource(query.get(), DataSource());
        query->Open();
        const String first = GetListItem(fields, 0);
        text = query->IsEmpty() ? Variant(String())
                                : (first.empty() ? query->Fields()->Fields(0)->Value() : query->FieldValues(first));
      }
    } catch (const std::exception&) {
      text = String();  // the display text of a key never raises
    }
    return text;
  }
  if (base != nullptr && base == ListDataSet() && !VarIsBlank(Key)) {
    BindListLink(false);
    try {
      if (!base->Active()) base->Open();
      if (!base->IsEmpty() && base->Locate(list_field_link_, Key, {})) text = base->FieldValues(list_field_find_);
    } catch (const std::exception&) {
      text = String();
    }
    BindListLink(true);
  }
  return text;
}

String TB_DBDataLink::FilterValueList(const String& Values, const String& SearchText, int Stride) {
  if (SearchText.empty()) return Values;
  if (Stride < 1) Stride = 1;
  const std::vector<String> items = ValueListItems(Values);
  const String needle = AnsiUpperCase(SearchText);
  const size_t text_item = Stride > 1 ? 1 : 0;
  String result;
  for (size_t i = 0; i < items.size(); i += static_cast<size_t>(Stride)) {
    if (i + text_item >= items.size()) break;
    if (AnsiUpperCase(items[i + text_item]).find(needle) == String::npos) continue;
    for (size_t j = i; j < i + static_cast<size_t>(Stride) && j < items.size(); ++j) {
      if (!result.empty()) result += ";";
      result += items[j];
    }
  }
  return result;
}
