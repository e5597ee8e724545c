// The lookup data grid and the popup data grid.
#include "grid/datagrid/DBLookupGridsEh.h"

#include <algorithm>

#include "platform/db/DBConsts.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

constexpr uintptr_t kAutoScrollTimer = 1;
constexpr Cardinal kSearchPause = 2000;

TDBLookupGridEhOptions GetLookupOptions(TCustomDBGridEh* Grid) {
  auto* g = dynamic_cast<TDBLookupGridEh*>(Grid);
  return g != nullptr ? g->LookupOptions() : TDBLookupGridEhOptions{dlgColLinesEh};
}
void SetLookupOptions(TCustomDBGridEh* Grid, TDBLookupGridEhOptions Value) {
  if (auto* g = dynamic_cast<TDBLookupGridEh*>(Grid)) g->SetLookupOptions(Value);
}
void SelectDropDownKey(TCustomDBGridEh* Grid, TColumnEh* Column, const Variant& Key) {
  auto* g = dynamic_cast<TDBLookupGridEh*>(Grid);
  TField* f = Column != nullptr ? Column->Field() : nullptr;
  if (g == nullptr || f == nullptr) return;
  g->SetKeyFieldName(f->LookupKeyFields());
  g->SetListFieldName(f->LookupResultField());
  if (!VarIsNull(Key) && !VarIsEmpty(Key)) g->SetKeyValue(Key);
}
TCustomDBGridEh* CreateDropDownGrid(TColumnEh* Column) {
  // The column frees its drop-down grid; the editor that drops it down
  // is its parent while it shows.
  (void)Column;
  auto* g = new TPopupDataGridEh(nullptr);
  g->AfterConstruction();
  return g;
}

// The ";"-list items of S (empty items kept).
std::vector<String> SplitFieldNames(const String& S) {
  std::vector<String> result;
  if (S.empty()) return result;
  size_t start = 0;
  while (true) {
    size_t p = S.find(';', start);
    result.push_back(Trim(S.substr(start, p == String::npos ? String::npos : p - start)));
    if (p == String::npos) break;
    start = p + 1;
  }
  return result;
}

// The fields of DataSet named in the ";"-list (missing names are skipped).
std::vector<TField*> FindFields(TDataSet* DataSet, const String& Names) {
  std::vector<TField*> result;
  if (DataSet == nullptr || !DataSet->Active()) return result;
  for (const String& n : SplitFieldNames(Names))
    if (TField* f = DataSet->FindField(n)) result.push_back(f);
  return result;
}

}  // namespace

void RegisterLookupGridFactoryEh(bool Register) {
  if (Register) SetColumnDropDownGridFactoryEh({&CreateDropDownGrid, &GetLookupOptions, &SetLookupOptions, &SelectDropDownKey});
  else SetColumnDropDownGridFactoryEh({});
}

void TCustomDBGridEh::RecreateColumnsEh() {
  columns_.reset();
  column_def_values_.reset(CreateColumnDefValues());
  columns_.reset(CreateColumns());
}

// ---------------------------------------------------------------------------
// TLookupGridDataLinkEh

void TLookupGridDataLinkEh::ActiveChanged() { grid_->UpdateColumnsList(); }
void TLookupGridDataLinkEh::LayoutChanged() { grid_->UpdateColumnsList(); }

void TLookupGridDataLinkEh::RecordChanged(TField* Field) {
  const auto& fields = grid_->DataFields();
  if (Field != nullptr && std::find(fields.begin(), fields.end(), Field) == fields.end()) return;
  if (fields.empty()) grid_->SetKeyValue(Unassigned());
  else grid_->SetKeyValue(DataSet()->FieldValues(grid_->DataField()));
}

void TLookupGridDataLinkEh::FocusControl(TFieldRef Field) {
  if (Field == nullptr || *Field == nullptr) return;
  const auto& fields = grid_->DataFields();
  if (!fields.empty() && *Field == fields.front() && grid_->CanFocus()) {
    *Field = nullptr;
    grid_->SetFocus();
  }
}

// ---------------------------------------------------------------------------
// TGridColumnSpecCellEh

TGridColumnSpecCellEh::TGridColumnSpecCellEh(TDBLookupGridColumnEh* Column)
    : column_(Column), font_(std::make_unique<TFont>()) {
  font_->SetOnChange({this, &TGridColumnSpecCellEh::FontChanged});
}
TGridColumnSpecCellEh::~TGridColumnSpecCellEh() = default;
TPersistent* TGridColumnSpecCellEh::GetOwner() { return column_; }

TSpecRowEh* TGridColumnSpecCellEh::SpecRow() const {
  TDBLookupGridEh* g = column_ != nullptr ? column_->LookupGrid() : nullptr;
  return g != nullptr ? g->SpecRow() : nullptr;
}

void TGridColumnSpecCellEh::FontChanged(TObject*) { font_set_ = true; }

TColor TGridColumnSpecCellEh::Color() const {
  if (color_set_) return color_;
  TSpecRowEh* r = SpecRow();
  return r != nullptr ? r->Color() : color_;
}
void TGridColumnSpecCellEh::SetColor(TColor Value) {
  color_ = Value;
  color_set_ = true;
}
TFont* TGridColumnSpecCellEh::Font() const {
  if (font_set_) return font_.get();
  TSpecRowEh* r = SpecRow();
  return r != nullptr ? r->Font() : font_.get();
}
String TGridColumnSpecCellEh::Text() const {
  if (text_set_) return text_;
  TSpecRowEh* r = SpecRow();
  return r != nullptr ? r->GetCellText(column_->Index()) : text_;
}
void TGridColumnSpecCellEh::SetText(const String& Value) {
  text_ = Value;
  text_set_ = true;
}

void TGridColumnSpecCellEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TGridColumnSpecCellEh*>(Source);
  if (src == nullptr) return TPersistent::Assign(Source);
  SetText(src->Text());
  SetColor(src->Color());
  if (src->font_set_) SetFont(src->font_.get());
}

// ---------------------------------------------------------------------------
// TDBLookupGridColumnEh

TDBLookupGridColumnEh::TDBLookupGridColumnEh(TCollection* Collection)
    : TColumnEh(Collection), spec_cell_(std::make_unique<TGridColumnSpecCellEh>(this)) {}
TDBLookupGridColumnEh::~TDBLookupGridColumnEh() = default;

TDBLookupGridEh* TDBLookupGridColumnEh::LookupGrid() const { return dynamic_cast<TDBLookupGridEh*>(Grid()); }

void TDBLookupGridColumnEh::SetIndex(int Value) {
  TDBLookupGridEh* g = LookupGrid();
  if (g == nullptr || !g->ListActive() || Value == Index() || Collection() == nullptr) {
    TColumnEh::SetIndex(Value);
    return;
  }
  // Each column keeps its special-row text: the ";"-list is rebuilt in the
  // new column order.
  TDBGridColumnsEh* cols = g->Columns();
  std::vector<std::pair<TColumnEh*, String>> texts;
  for (int i = 0; i < cols->Count(); ++i) texts.emplace_back(cols->Items(i), g->SpecRow()->GetCellText(i));
  TColumnEh::SetIndex(Value);
  String cells;
  for (int i = 0; i < cols->Count(); ++i) {
    if (i > 0) cells += ";";
    for (const auto& [col, text] : texts)
      if (col == cols->Items(i)) cells += text;
  }
  g->SpecRow()->SetCellsText(cells);
}

// ---------------------------------------------------------------------------
// TDBLookupGridEh

TDBLookupGridEh::TDBLookupGridEh(TComponent* AOwner) : TCustomDBGridEh(AOwner) {
  RecreateColumnsEh();
  {
    TControlStyle cs = ControlStyle();
    cs.Include(csReplicatable);
    SetControlStyle(cs);
  }
  SetParentColor(false);
  shadow_source_ = std::make_unique<TDataSource>(nullptr);
  data_link_ = std::make_unique<TLookupGridDataLinkEh>(this);
  data_link_->SetReadOnly(true);
  spec_row_ = std::make_unique<TSpecRowEh>(this);
  spec_row_->SetOnChanged({this, &TDBLookupGridEh::SpecRowChanged});
  SetOptions({dgColLines, dgRowSelect});
  {
    TDBGridEhOptions oe = OptionsEh();
    oe.Include(dghTraceColSizing);
    SetOptionsEh(oe);
  }
  HorzScrollBar()->SetTracking(true);
  VertScrollBar()->SetTracking(true);
  SetFlat(true);
  SetDrawMemoText(true);
  SetTabStop(false);
  SetVTitleMargin(5);
  data_link_->SetReadOnly(false);
}

TDBLookupGridEh::~TDBLookupGridEh() {
  StopAutoScroll();
  if (ListSource() == shadow_source_.get()) TCustomDBGridEh::SetDataSource(nullptr);
  shadow_source_.reset();
  data_link_.reset();
  spec_row_.reset();
}

TColumnDefValuesEh* TDBLookupGridEh::CreateColumnDefValues() { return new TDBLookupGridColumnDefValuesEh(this); }
TDBGridColumnsEh* TDBLookupGridEh::CreateColumns() {
  return new TDBGridColumnsEh(this, CollectionItemFactory<TDBLookupGridColumnEh>);
}

void TDBLookupGridEh::SpecRowChanged(TObject*) {
  ApplyHeight();
  SelectSpecRowOrValue();
  Invalidate();
}

TDataSource* TDBLookupGridEh::ListSource() const { return TCustomDBGridEh::DataSource(); }

void TDBLookupGridEh::SetDataSource(TDataSource* Value) {
  if (ComponentState().Contains(csLoading) && data_link_->DataSourceFixed()) {
    if (Value != nullptr) Value->FreeNotification(this);
    return;
  }
  if (Value != nullptr && Value->DataSet() != nullptr && ListSource() != nullptr &&
      ListSource()->DataSet() != nullptr && ListSource()->DataSet()->IsLinkedTo(Value))
    DatabaseError(SCircularDataLink, this);
  data_link_->SetDataSource(Value);
  if (Value != nullptr) Value->FreeNotification(this);
  UpdateColumnsList();
}

void TDBLookupGridEh::SetDataField(const String& Value) {
  if (data_field_name_ == Value) return;
  data_field_name_ = Value;
  UpdateColumnsList();
}

void TDBLookupGridEh::CheckListWritable() {
  if (lookup_mode_) DatabaseError(SPropDefByLookup, this);
  if (data_link_->DataSourceFixed()) DatabaseError(SDataSourceFixed, this);
}

void TDBLookupGridEh::SetListSource(TDataSource* Value) {
  CheckListWritable();
  TCustomDBGridEh::SetDataSource(Value);
  CheckNotCircular();
  UpdateListFields();
}

void TDBLookupGridEh::SetKeyFieldName(const String& Value) {
  CheckListWritable();
  if (key_field_name_ == Value) return;
  key_field_name_ = Value;
  UpdateListFields();
  LayoutChanged();
}

void TDBLookupGridEh::SetListFieldName(const String& Value) {
  if (list_field_name_ == Value) return;
  list_field_name_ = Value;
  UpdateListFields();
  LayoutChanged();
}

void TDBLookupGridEh::SetListFieldIndex(int Value) {
  if (list_field_index_ == Value) return;
  list_field_index_ = Value;
  UpdateListFields();
}

void TDBLookupGridEh::SetKeyValue(const Variant& Value) {
  if (VarEqualsEh(key_value_, Value)) return;
  key_value_ = Value;
  SelectSpecRowOrValue();
}

void TDBLookupGridEh::CheckNotCircular() {
  TDataSource* src = data_link_->DataSource();
  if (src == nullptr || ListSource() == nullptr || ListSource()->DataSet() == nullptr) return;
  if (ListSource()->DataSet()->IsLinkedTo(src)) DatabaseError(SCircularDataLink, this);
}

void TDBLookupGridEh::SetLookupOptions(TDBLookupGridEhOptions Value) {
  lookup_options_ = Value;
  TDBGridOptions o = Options();
  TDBGridEhOptions oe = OptionsEh();
  auto map = [&](TDBLookupGridEhOption lo, TDBGridOption go) {
    if (Value.Contains(lo)) o.Include(go);
    else o.Exclude(go);
  };
  auto map_eh = [&](TDBLookupGridEhOption lo, TDBGridEhOption go) {
    if (Value.Contains(lo)) oe.Include(go);
    else oe.Exclude(go);
  };
  map(dlgColumnResizeEh, dgColumnResize);
  map(dlgColLinesEh, dgColLines);
  map(dlgRowLinesEh, dgRowLines);
  map_eh(dlgAutoSortMarkingEh, dghAutoSortMarking);
  map_eh(dlgMultiSortMarkingEh, dghMultiSortMarking);
  SetOptions(o);
  SetOptionsEh(oe);
  ApplyHeight();
}

// The list: key fields, list fields and the searched list field resolved on
// the list dataset.
void TDBLookupGridEh::UpdateListFields() {
  TDataSet* ds = ListSource() != nullptr ? ListSource()->DataSet() : nullptr;
  key_fields_ = FindFields(ds, key_field_name_);
  list_fields_ = FindFields(ds, list_field_name_);
  list_field_ = nullptr;
  if (!list_fields_.empty()) {
    const size_t i = list_field_index_ >= 0 && static_cast<size_t>(list_field_index_) < list_fields_.size()
                         ? static_cast<size_t>(list_field_index_)
                         : 0;
    list_field_ = list_fields_[i];
  }
  list_active_ = ds != nullptr && ds->Active() && !key_fields_.empty();
  SelectSpecRowOrValue();
}

// The data fields of the key data source; a data field that is itself a
// lookup field puts the grid in lookup mode (its lookup definition gives
// the list).
void TDBLookupGridEh::UpdateColumnsList() {
  TDataSet* ds = data_link_ != nullptr ? data_link_->DataSet() : nullptr;
  data_fields_.clear();
  const bool was_lookup = lookup_mode_;
  lookup_mode_ = false;
  if (ds != nullptr && data_link_->Active() && !data_field_name_.empty()) {
    TField* f = ds->FindField(data_field_name_);
    if (f != nullptr && f->FieldKind() == fkLookup) {
      lookup_mode_ = true;
      shadow_source_->SetDataSet(f->LookupDataSet());
      key_field_name_ = f->LookupKeyFields();
      list_field_name_ = f->LookupResultField();
      TCustomDBGridEh::SetDataSource(shadow_source_.get());
      data_fields_ = FindFields(ds, f->KeyFields());
    } else {
      data_fields_ = FindFields(ds, data_field_name_);
    }
  }
  if (was_lookup && !lookup_mode_ && ListSource() == shadow_source_.get()) TCustomDBGridEh::SetDataSource(nullptr);
  UpdateListFields();
  if (lookup_mode_ && !data_fields_.empty()) {
    String names;
    for (TField* f : data_fields_) names += (names.empty() ? "" : ";") + f->FieldName();
    SetKeyValue(ds->FieldValues(names));
  } else if (!data_fields_.empty()) {
    SetKeyValue(ds->FieldValues(data_field_name_));
  }
}

void TDBLookupGridEh::DataFieldChanged() { UpdateColumnsList(); }

bool TDBLookupGridEh::CanModify() {
  if (!list_active_ || data_link_->ReadOnly()) return false;
  if (data_link_->DataSource() == nullptr) return true;
  if (data_fields_.empty()) return false;
  return FieldsCanModify(data_fields_);
}

bool TDBLookupGridEh::IsKeyValueValid(const Variant& Value) {
  if (key_fields_.size() <= 1) return !VarIsArray(Value);
  return VarIsArray(Value) &&
         VarArrayHighBound(Value, 1) - VarArrayLowBound(Value, 1) + 1 == static_cast<int>(key_fields_.size());
}

int TDBLookupGridEh::GetBorderHeight() { return HandleAllocated() ? Height() - ClientHeight() : 0; }
int TDBLookupGridEh::DataRowHeight() { return DefaultRowHeight(); }
int TDBLookupGridEh::DataRowLineHeight() {
  return DefaultRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TDBLookupGridEh::SpecRowHeight() const {
  if (!spec_row_ || !spec_row_->Visible()) return 0;
  return DefaultRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TDBLookupGridEh::HeightForRows(int Count) {
  int h = 0;
  if (Options().Contains(dgTitles)) h += RowCount() > 0 && TitleOffset() > 0 ? RowHeights(0) : DefaultRowHeight();
  h += Count * DataRowHeight();
  if (Options().Contains(dgRowLines)) h += (Count + 1) * GridLineWidth();
  return h + GetBorderHeight() + SpecRowHeight();
}

void TDBLookupGridEh::ApplyHeight() {
  if (!spec_row_) return;
  in_select_ = true;
  SetHeight(HeightForRows(row_count_));
  in_select_ = false;
}

void TDBLookupGridEh::SetLookupRowCount(int Value) {
  row_count_ = std::clamp(Value, 1, 100);
  ApplyHeight();
}

void TDBLookupGridEh::SetShowTitles(bool Value) {
  TDBGridOptions o = Options();
  if (Value) o.Include(dgTitles);
  else o.Exclude(dgTitles);
  SetOptions(o);
  ApplyHeight();
}

void TDBLookupGridEh::SetUseMultiTitleEh(bool Value) {
  SetUseMultiTitle(Value);
  ApplyHeight();
}

void TDBLookupGridEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (spec_row_ && !in_select_ && AHeight != Height()) {
    const int base = HeightForRows(0);
    const int per_row = DataRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
    const int rows = per_row > 0 ? std::max(1, (AHeight - base) / per_row) : 1;
    row_count_ = std::min(rows, 100);
    AHeight = HeightForRows(row_count_);
  }
  TCustomDBGridEh::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TDBLookupGridEh::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBGridEh::Notification(AComponent, Operation);
  if (Operation != opRemove || !data_link_) return;
  if (AComponent == data_link_->DataSource()) SetDataSource(nullptr);
}

bool TDBLookupGridEh::LocateKey() {
  if (VarIsEmpty(key_value_) || !list_active_) return false;
  TDataSet* ds = ListSource()->DataSet();
  if (!IsKeyValueValid(key_value_)) return false;
  try {
    return ds->Locate(key_field_name_, key_value_, {});
  } catch (const EVariantError&) {
    return false;  // a key of a type the key field does not take
  }
}

void TDBLookupGridEh::SelectSpecRowOrValue() {
  if (in_select_ || !spec_row_) return;
  in_select_ = true;
  spec_row_selected_ = false;
  if (spec_row_->Visible()) {
    spec_row_selected_ = VarEqualsEh(key_value_, spec_row_->Value());
    if (!spec_row_selected_ && !selecting_ && spec_row_->ShowIfNotInKeyList() && !LocateKey())
      spec_row_selected_ = true;
  }
  if (list_active_ && !selecting_) {
    if (!LocateKey() && !spec_row_selected_) ListSource()->DataSet()->First();
    KeyValueChanged();
  }
  if (list_field_ == nullptr) text_.clear();
  else if (spec_row_selected_) {
    // The list field's column; before the columns exist, its place among
    // the dataset's fields (the default columns' order).
    int index = Columns()->Count() > 0 ? -1 : list_field_->Index();
    for (int i = 0; i < Columns()->Count() && index < 0; ++i)
      if (SameText(Columns()->Items(i)->FieldName(), list_field_->FieldName())) index = i;
    text_ = index >= 0 ? spec_row_->GetCellText(index) : String();
  } else if (list_active_ && !ListSource()->DataSet()->IsEmpty()) {
    text_ = list_field_->DisplayText();
  } else {
    text_.clear();
  }
  in_select_ = false;
  UpdateDisplay();
}

void TDBLookupGridEh::SelectKeyValue(const Variant& Value) {
  selecting_ = true;
  try {
    if (data_fields_.empty()) SetKeyValue(Value);
    else if (data_link_->Edit()) {
      String names;
      for (TField* f : data_fields_) names += (names.empty() ? "" : ";") + f->FieldName();
      data_link_->DataSet()->SetFieldValues(names, Value);
    }
  } catch (...) {
    selecting_ = false;
    throw;
  }
  selecting_ = false;
  Invalidate();
  UpdateDisplay();
  if (on_click_) on_click_(this);
  SelectionChanged();
}

void TDBLookupGridEh::UpdateDisplay() {
  if (!ComponentState().Contains(csLoading)) Invalidate();
}

void TDBLookupGridEh::SelectSpecRow() {
  if (!spec_row_->Visible()) return;
  const bool changed = !spec_row_selected_;
  spec_row_selected_ = true;
  SelectKeyValue(spec_row_->Value());
  // The key may equal what was shown: the row is the selection all the same.
  spec_row_selected_ = true;
  if (changed) Invalidate();
}

void TDBLookupGridEh::MoveSelection(int Distance) {
  if (!list_active_) return;
  TDataSet* ds = ListSource()->DataSet();
  if (!spec_row_selected_ && !VarIsEmpty(key_value_)) {
    // The selected key is the current row unless the list moved: re-centre.
    const Variant cur = ds->IsEmpty() ? Unassigned() : ds->FieldValues(key_field_name_);
    if (!VarEqualsEh(cur, key_value_)) LocateKey();
  }
  if (spec_row_selected_) {
    if (Distance <= 0) return;
    ds->First();
    if (Distance > 1) ds->MoveBy(Distance - 1);
  } else {
    const int moved = ds->MoveBy(Distance);
    if (Distance < 0 && moved > Distance && spec_row_->Visible()) {
      ds->First();
      SelectSpecRow();
      return;
    }
  }
  if (!ds->IsEmpty()) SelectKeyValue(ds->FieldValues(key_field_name_));
}

void TDBLookupGridEh::KeyDown(Word& Key, TShiftState Shift) {
  if (CanModify() && !Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl)) {
    TDataSet* ds = ListSource()->DataSet();
    const int rows = std::max(1, DataLink()->RecordCount());
    bool horz = HorzScrollBar()->Visible();
    switch (Key) {
      case VK_PRIOR: MoveSelection(1 - rows); Key = 0; return;
      case VK_NEXT: MoveSelection(rows - 1); Key = 0; return;
      case VK_HOME:
        ds->First();
        if (!ds->IsEmpty()) SelectKeyValue(ds->FieldValues(key_field_name_));
        Key = 0;
        return;
      case VK_END:
        ds->Last();
        if (!ds->IsEmpty()) SelectKeyValue(ds->FieldValues(key_field_name_));
        Key = 0;
        return;
      case VK_UP: MoveSelection(-1); Key = 0; return;
      case VK_DOWN: MoveSelection(1); Key = 0; return;
      case VK_LEFT:
        if (!horz) { MoveSelection(-1); Key = 0; return; }
        break;
      case VK_RIGHT:
        if (!horz) { MoveSelection(1); Key = 0; return; }
        break;
      default: break;
    }
  }
  if (spec_row_->Visible() && ShortCut(Key, Shift) == spec_row_->ShortCut() && CanModify()) {
    SelectSpecRow();
    Key = 0;
    return;
  }
  TCustomDBGridEh::KeyDown(Key, Shift);
}

void TDBLookupGridEh::KeyPress(WideChar& Key) {
  ProcessSearchKey(Key);
  TCustomDBGridEh::KeyPress(Key);
}

bool TDBLookupGridEh::IsListSearchable() const {
  if (list_field_ == nullptr) return false;
  const TFieldKind k = list_field_->FieldKind();
  return (k == fkData || k == fkInternalCalc) && ftStringTypes.Contains(list_field_->DataType());
}

void TDBLookupGridEh::ProcessSearchKey(WideChar Key) {
  if (!IsListSearchable() || Key == VK_BACK || Key == VK_ESCAPE || !IsTextChar(Key) || !CanModify()) return;
  const Cardinal now = GetTickCount();
  if (now - search_time_ > kSearchPause) {
    search_text_.clear();
    search_pending_ = 0;
  }
  search_time_ = now;
  if (Utf8Length(search_text_) >= 32) return;
  String s = search_text_;
  Utf8AppendWideChar(s, Key, search_pending_);
  if (search_pending_ != 0) return;  // the first half of a pair: wait for the second
  TDataSet* ds = ListSource()->DataSet();
  if (ds->Locate(list_field_->FieldName(), s, {loCaseInsensitive, loPartialKey})) {
    SelectKeyValue(ds->FieldValues(key_field_name_));
    search_text_ = s;
  }
}

int TDBLookupGridEh::RowAtY(int Y) const {
  int top = Options().Contains(dgTitles) && RowCount() > 0 ? RowHeights(0) + GridLineWidth() : 0;
  if (Y < top) return -2;
  const int spec = SpecRowHeight();
  if (Y < top + spec) return -1;
  const int per_row = DefaultRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
  const int row = per_row > 0 ? (Y - top - spec) / per_row : -2;
  return row < DataLink()->RecordCount() ? row : -2;
}

int TDBLookupGridEh::AutoScrollInterval(int Distance) { return std::max(10, 200 - 15 * Distance); }

void TDBLookupGridEh::StartAutoScroll(int Distance, int Direction) {
  scroll_direction_ = Direction;
  if (HandleAllocated()) SetTimer(Handle(), kAutoScrollTimer, static_cast<Cardinal>(AutoScrollInterval(Distance)));
}

void TDBLookupGridEh::StopAutoScroll() {
  if (scroll_direction_ != 0 && HandleAllocated()) KillTimer(Handle(), kAutoScrollTimer);
  scroll_direction_ = 0;
}

void TDBLookupGridEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && CanModify()) {
    tracking_ = true;
    const int row = RowAtY(Y);
    if (row == -1) SelectSpecRow();
    else if (row >= 0) {
      TDataSet* ds = ListSource()->DataSet();
      if (spec_row_selected_ && row == 0 && DataLink()->ActiveRecord() == 0) {
        SelectKeyValue(ds->FieldValues(key_field_name_));
      } else {
        ds->MoveBy(row - DataLink()->ActiveRecord());
        SelectKeyValue(ds->FieldValues(key_field_name_));
      }
    }
  }
  TCustomDBGridEh::MouseDown(Button, Shift, X, Y);
}

void TDBLookupGridEh::MouseMove(TShiftState Shift, int X, int Y) {
  if (tracking_ && Shift.Contains(ssLeft) && CanModify()) {
    const int row = RowAtY(Y);
    const int bottom = ClientHeight();
    if (Y < 0) StartAutoScroll(-Y, -1);
    else if (Y >= bottom) StartAutoScroll(Y - bottom + 1, 1);
    else {
      StopAutoScroll();
      if (row == -1 && !spec_row_selected_) SelectSpecRow();
      else if (row >= 0 && row != DataLink()->ActiveRecord()) {
        TDataSet* ds = ListSource()->DataSet();
        ds->MoveBy(row - DataLink()->ActiveRecord());
        SelectKeyValue(ds->FieldValues(key_field_name_));
      } else if (row >= 0 && spec_row_selected_) {
        SelectKeyValue(ListSource()->DataSet()->FieldValues(key_field_name_));
      }
    }
  }
  TCustomDBGridEh::MouseMove(Shift, X, Y);
}

void TDBLookupGridEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  StopAutoScroll();
  tracking_ = false;
  TCustomDBGridEh::MouseUp(Button, Shift, X, Y);
}

void TDBLookupGridEh::LinkActive(bool Value) {
  TCustomDBGridEh::LinkActive(Value);
  UpdateListFields();
}

void TDBLookupGridEh::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_TIMER:
      if (Message.WParam == kAutoScrollTimer && scroll_direction_ != 0) {
        MoveSelection(scroll_direction_);
        return;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomDBGridEh::Dispatch(Message);
      Invalidate();
      return;
    default: break;
  }
  TCustomDBGridEh::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TPopupDataGridEh

TPopupDataGridEh::TPopupDataGridEh(TComponent* AOwner) : TDBLookupGridEh(AOwner) {
  {
    TControlStyle cs = ControlStyle();
    cs.Include(csReplicatable);
    cs.Include(csNoStdEvents);
    SetControlStyle(cs);
  }
  size_grip_ = new TSizeGripEh(this);
  size_grip_->SetParent(this);
  size_grip_->SetVisible(true);
  SetShowHint(true);
}

TPopupDataGridEh::~TPopupDataGridEh() = default;

void TPopupDataGridEh::CreateParams(TCreateParams& Params) {
  TDBLookupGridEh::CreateParams(Params);
  Params.Style = WS_POPUP | WS_CLIPCHILDREN;
  if (!Ctl3D()) Params.Style |= WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW;
  Params.WindowClass.style = CS_SAVEBITS | CS_HREDRAW;
}

void TPopupDataGridEh::InitWidget() {
  TDBLookupGridEh::InitWidget();
  if (Parent() != nullptr) ::SetParent(Handle(), nullptr);
}

bool TPopupDataGridEh::CanFocus() const { return false; }

void TPopupDataGridEh::CloseUp(bool Accept) {
  // A column's drop-down grid has no owner: the editor it shows under is
  // its parent.
  auto* owner = dynamic_cast<IPopupOwnerEh*>(Owner());
  if (owner == nullptr) owner = dynamic_cast<IPopupOwnerEh*>(Parent());
  if (owner != nullptr) owner->CloseUp(Accept);
}

void TPopupDataGridEh::SelectionChanged() {
  if (key_used_ && on_change_) on_change_(this);
}

void TPopupDataGridEh::KeyDown(Word& Key, TShiftState Shift) {
  key_used_ = true;
  TDBLookupGridEh::KeyDown(Key, Shift);
}

void TPopupDataGridEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  key_used_ = true;
  mouse_inside_ = true;
  TDBLookupGridEh::MouseDown(Button, Shift, X, Y);
}

void TPopupDataGridEh::MouseMove(TShiftState Shift, int X, int Y) {
  key_used_ = true;
  if (!Shift.Contains(ssLeft) && !Shift.Contains(ssRight) && !Shift.Contains(ssMiddle) && CanModify()) {
    const int row = RowAtY(Y);
    if (row == -1 && !SpecRowSelected()) SelectSpecRow();
    else if (row >= 0 && (row != DataLink()->ActiveRecord() || SpecRowSelected())) {
      TDataSet* ds = ListSource()->DataSet();
      ds->MoveBy(row - DataLink()->ActiveRecord());
      SelectKeyValue(ds->FieldValues(KeyFieldName()));
    }
  }
  TDBLookupGridEh::MouseMove(Shift, X, Y);
}

void TPopupDataGridEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool inside = mouse_inside_;
  mouse_inside_ = false;
  TDBLookupGridEh::MouseUp(Button, Shift, X, Y);
  if (!inside) return;
  const TRect client = ClientRect();
  if (X < client.Left || X >= client.Right || Y < client.Top || Y >= client.Bottom) {
    CloseUp(false);
    return;
  }
  const int row = RowAtY(Y);
  if (row >= 0 || (row == -1 && SpecRow()->Visible())) CloseUp(true);
}

void TPopupDataGridEh::Resize() {
  TDBLookupGridEh::Resize();
  if (size_grip_ != nullptr) size_grip_->UpdatePosition();
  resized_ = true;
}

void TPopupDataGridEh::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_KEYDOWN: {
      // The popup never has the focus: its owner passes the list's keys on,
      // and the standard key events are off for it.
      Word key = static_cast<Word>(Message.WParam);
      KeyDown(key, KeyDataToShiftState(Message.LParam));
      Message.WParam = key;
      return;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      if (wp != nullptr && !(wp->flags & SWP_NOSIZE)) {
        wp->cx = std::max(wp->cx, GetSystemMetrics(SM_CXVSCROLL));
        wp->cy = std::max(wp->cy, GetSystemMetrics(SM_CYVSCROLL));
      }
      break;
    }
    default: break;
  }
  TDBLookupGridEh::Dispatch(Message);
}
