// The most-recently-used list, field lists, the special row, the data link
// and the field value list.
#include <algorithm>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// TMRUListEh

TMRUListEh::TMRUListEh(TPersistent* AOwner) : owner_(AOwner), items_(std::make_unique<TStringList>()) {}

TMRUListEh::~TMRUListEh() = default;

void TMRUListEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TMRUListEh*>(Source);
  if (src == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  SetActive(src->active_);
  items_->Assign(src->items_.get());
  SetLimit(src->limit_);
  rows_ = src->rows_;
  case_sensitive_ = src->case_sensitive_;
}

void TMRUListEh::SetActive(bool Value) {
  if (Value == active_) return;
  active_ = Value;
  on_active_changed_(this);
}

void TMRUListEh::SetLimit(int Value) {
  if (Value == limit_) return;
  limit_ = Value;
  DeleteOverLimit();
}

// The oldest entries go until at most Limit remain (none for 0 or less).
void TMRUListEh::DeleteOverLimit() {
  const int keep = std::max(limit_, 0);
  while (items_->Count() > keep) items_->Delete(0);
}

void TMRUListEh::Add(const String& Value) {
  if (Trim(Value).empty()) return;
  for (int i = 0; i < items_->Count(); ++i) {
    const String& item = items_->Strings(i);
    const bool same = case_sensitive_ ? item == Value : AnsiSameText(item, Value);
    if (same) {
      items_->Move(i, items_->Count() - 1);
      return;
    }
  }
  items_->Add(Value);
  DeleteOverLimit();
}

bool TMRUListEh::FilterItemsTo(TStrings* List, const String& MaskText) {
  bool result = true;
  const size_t maskLength = Utf8Length(MaskText);
  List->BeginUpdate();
  try {
    List->Clear();
    for (int i = 0; i < items_->Count(); ++i) {
      const String& item = items_->Strings(i);
      const String head = item.substr(0, Utf8Prefix(item, maskLength));
      bool accept = (case_sensitive_ ? AnsiCompareStr(head, MaskText) : AnsiCompareText(head, MaskText)) == 0;
      on_filter_item_(this, accept);
      if (accept) List->Add(item);
      // Typing goes on: the list need not be shown now.
      TMsg msg;
      if (i % 100 == 0 && cancel_if_key_in_queue_ && PeekMessage(msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) {
        result = false;
        break;
      }
    }
  } catch (...) {
    List->EndUpdate();
    throw;
  }
  List->EndUpdate();
  return result;
}

void TMRUListEh::CloseUp(bool Accept) { on_set_close_up_(this, Accept); }

void TMRUListEh::DropDown() { on_set_drop_down_(this); }

// ---------------------------------------------------------------------------
// Field lists

void CollectFieldsByNames(std::vector<TField*>* List, TDataSet* DataSet, TComponent* Component,
                          const String& FieldNames) {
  size_t pos = 0;
  while (pos < FieldNames.size()) {
    const String name = ExtractFieldName(FieldNames, pos);
    TField* field = DataSet->FindField(name);
    if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, {name}, Component);
    if (List != nullptr) List->push_back(field);
  }
}

void GetFieldsArrayByNames(TDataSet* DataSet, TComponent* Component, const String& FieldNames,
                           TFieldsArrEh& Fields) {
  Fields.clear();
  CollectFieldsByNames(&Fields, DataSet, Component, FieldNames);
}

void DataSetSetFieldValues(TDataSet* DataSet, const String& FieldNames, const Variant& Value) {
  if (!VarEqualsEh(Value, Null())) {
    DataSet->SetFieldValues(FieldNames, Value);
    return;
  }
  std::vector<TField*> fields;
  DataSet->GetFieldList(fields, FieldNames);
  for (TField* field : fields) field->Clear();
}

// ---------------------------------------------------------------------------
// TSpecRowEh

TSpecRowEh::TSpecRowEh(TPersistent* AOwner)
    : owner_(AOwner), cells_(std::make_unique<TStringList>()), font_(std::make_unique<TFont>()), value_(Null()) {
  if (auto* control = dynamic_cast<TControl*>(owner_)) font_->Assign(control->Font());
  font_->SetOnChange({this, &TSpecRowEh::FontChanged});
}

TSpecRowEh::~TSpecRowEh() = default;

void TSpecRowEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TSpecRowEh*>(Source);
  if (src == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  BeginUpdate();
  try {
    SetCellsText(src->cells_text_);
    SetColor(src->Color());
    if (src->font_assigned_) SetFont(src->font_.get());
    short_cut_ = src->short_cut_;
    SetShowIfNotInKeyList(src->show_if_not_in_key_list_);
    SetValue(src->value_);
    SetVisible(src->visible_);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TSpecRowEh::Changed() {
  if (update_count_ == 0) on_changed_(this);
}

void TSpecRowEh::EndUpdate() {
  if (update_count_ > 0) --update_count_;
  Changed();
}

void TSpecRowEh::FontChanged(TObject*) {
  font_assigned_ = true;
  Changed();
}

void TSpecRowEh::SetCellsText(const String& Value) {
  if (Value == cells_text_) return;
  cells_text_ = Value;
  // Items are separated by ";" or control characters; an item in double
  // quotes may hold ";" (doubled quotes inside stand for one).
  const auto control = [](char C) { return C >= 1 && C <= 31; };
  cells_->BeginUpdate();
  cells_->Clear();
  const char* p = cells_text_.c_str();
  while (control(*p)) ++p;
  while (*p != 0) {
    String item;
    if (*p == '"') {
      item = AnsiExtractQuotedStr(p, '"');
    } else {
      const char* start = p;
      while (*p != 0 && *p != ';' && !control(*p)) ++p;
      item.assign(start, static_cast<size_t>(p - start));
    }
    cells_->Add(item);
    while (control(*p)) ++p;
    if (*p == ';') {
      ++p;
      while (control(*p)) ++p;
    }
  }
  cells_->EndUpdate();
  Changed();
}

String TSpecRowEh::GetCellText(int Index) const {
  if (Index < 0 || Index >= cells_->Count()) return String();
  return cells_->Strings(Index);
}

TColor TSpecRowEh::Color() const {
  if (color_assigned_) return color_;
  if (auto* control = dynamic_cast<TCustomControl*>(owner_)) return control->Color();
  return color_;
}

void TSpecRowEh::SetColor(TColor Value) {
  color_assigned_ = true;
  if (Value == color_) return;
  color_ = Value;
  Changed();
}

TFont* TSpecRowEh::Font() {
  auto* control = dynamic_cast<TControl*>(owner_);
  if (!font_assigned_ && control != nullptr && !font_->Equals(*control->Font())) {
    // Following the owner is no assignment of a font of its own.
    TNotifyEvent change = font_->OnChange();
    font_->SetOnChange(nullptr);
    font_->Assign(control->Font());
    font_->SetOnChange(change);
  }
  return font_.get();
}

void TSpecRowEh::SetShowIfNotInKeyList(bool Value) {
  if (Value == show_if_not_in_key_list_) return;
  show_if_not_in_key_list_ = Value;
  Changed();
}

void TSpecRowEh::SetValue(const Variant& Value) {
  if (VarEqualsEh(Value, value_) && VarType(Value) == VarType(value_)) return;
  value_ = Value;
  Changed();
}

void TSpecRowEh::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  Changed();
}

// ---------------------------------------------------------------------------
// TDataLinkEh

void TDataLinkEh::DataEvent(TDataEvent Event, NativeInt Info) {
  TDataLink::DataEvent(Event, Info);
  on_data_event_(Event, Info);
}

// ---------------------------------------------------------------------------
// TDatasetFieldValueListEh

TDatasetFieldValueListEh::TDatasetFieldValueListEh()
    : values_(std::make_unique<TStringList>()),
      data_source_(std::make_unique<TDataSource>(nullptr)),
      data_link_(std::make_unique<TDataLinkEh>()) {
  values_->SetSorted(true);
  values_->SetDuplicates(dupIgnore);
  data_link_->SetDataSource(data_source_.get());
  data_link_->SetOnDataEvent({this, &TDatasetFieldValueListEh::DataEvent});
}

TDatasetFieldValueListEh::~TDatasetFieldValueListEh() {
  data_link_->SetDataSource(nullptr);
}

void TDatasetFieldValueListEh::SetFieldName(const String& Value) {
  if (Value == field_name_) return;
  field_name_ = Value;
  needs_refresh_ = true;
}

void TDatasetFieldValueListEh::SetDataSet(TDataSet* Value) {
  if (Value == data_source_->DataSet()) return;
  data_source_->SetDataSet(Value);
  dataset_active_ = Value != nullptr && Value->Active();
  needs_refresh_ = true;
}

// A dataset that was opened or closed holds other records too.
void TDatasetFieldValueListEh::DataEvent(TDataEvent Event, NativeInt) {
  if (Event == deDataSetChange || Event == dePropertyChange || Event == deFieldListChange) needs_refresh_ = true;
  if (Event == deUpdateState) {
    const bool active = DataSet() != nullptr && DataSet()->Active();
    if (active != dataset_active_) needs_refresh_ = true;
    dataset_active_ = active;
  }
}

TStrings* TDatasetFieldValueListEh::GetValues() {
  if (needs_refresh_) RefreshValues();
  return values_.get();
}

// Walks every record with the controls disabled and puts the dataset back
// on the record it stood on, whatever happens; the list counts as read only
// when the walk ended.
void TDatasetFieldValueListEh::RefreshValues() {
  values_->Clear();
  TDataSet* ds = DataSet();
  if (ds == nullptr || !ds->Active()) return;
  TField* field = ds->FindField(field_name_);
  if (field == nullptr) return;
  const TBookmark position = ds->GetBookmark();
  ds->DisableControls();
  const auto restore = [&] {
    try {
      if (!position.empty() && ds->BookmarkValid(position)) ds->GotoBookmark(position);
    } catch (...) {
      ds->EnableControls();
      throw;
    }
    ds->EnableControls();
  };
  try {
    values_->BeginUpdate();
    for (ds->First(); !ds->Eof(); ds->Next()) values_->Add(field->AsString());
    values_->EndUpdate();
  } catch (...) {
    values_->EndUpdate();
    restore();
    throw;
  }
  restore();
  needs_refresh_ = false;
}
