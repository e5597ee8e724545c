// The filter row and sorting of the grid: the filter-row editor, the column
// filters, the data service that hands filter and sort order to whoever
// applies them, and the storage interceptors of columns.
#include <algorithm>
#include <cstdint>

#include "grid/datagrid/DBGridEh.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

namespace {

TDBGridEhDataService* g_data_service = nullptr;

// Codes of the filter editor's drop-down items (stored as item objects).
enum TFilterItemCode : intptr_t {
  fiValue = 0,
  fiEmpty = 1,
  fiNotEmpty = 2,
  fiAll = 3,
  fiClearFilter = 4,
  fiSeparator = 5,
  fiOrderAscending = 6,
  fiOrderDescending = 7,
};

TObject* CodeObject(TFilterItemCode Code) { return reinterpret_cast<TObject*>(static_cast<intptr_t>(Code)); }

TSTOperandTypeEh OperandTypeOf(TFieldType Type) {
  switch (Type) {
    case ftString: case ftMemo: case ftFmtMemo: case ftFixedChar: case ftWideString: case ftGuid:
    case ftFixedWideChar: case ftWideMemo:
      return botString;
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
    case ftAutoInc: case ftLargeint:
      return botNumber;
    case ftDate: case ftTime: case ftDateTime: case ftTimeStamp:
      return botDateTime;
    case ftBoolean:
      return botBoolean;
    default:
      return botNon;
  }
}

// A value in single quotes, inner quotes doubled, so that the parser reads
// it back whole.
String QuoteFilterValue(const Variant& Value) { return AnsiQuotedStr(VarToStr(Value), '\''); }

bool NoModifier(TShiftState Shift) { return !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt); }

}  // namespace

// ===========================================================================
// TInplaceFilterEditEh

TRect TInplaceFilterEditEh::GetEditRect() {
  TRect r = TDBComboBoxEh::GetEditRect();
  r.Top += 1;
  return r;
}

void TInplaceFilterEditEh::InternalSetValue(const Variant& AValue) {
  const Variant copy = AValue;
  TDBComboBoxEh::InternalSetValue(copy);
}

void TInplaceFilterEditEh::SetFilterEditValue(const Variant& Value, const String& Text) {
  SetValue(Value);
  SetEditText(Text);
}

// ===========================================================================
// TSTDBGridEhFilter

TPersistent* TSTDBGridEhFilter::GetOwner() { return grid_; }

void TSTDBGridEhFilter::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSTDBGridEhFilter*>(Source)) {
    SetVisible(src->Visible());
    SetLocal(src->Local());
    return;
  }
  TPersistent::Assign(Source);
}

void TSTDBGridEhFilter::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  if (grid_ == nullptr) return;
  if (!Value) grid_->HideFilterEditor();
  grid_->LayoutChanged();
  if (grid_->HandleAllocated()) {
    grid_->InvalidateEditor();
    grid_->PlaceFilterEditor();
  }
}

// ===========================================================================
// TSTColumnFilterEh

TSTColumnFilterEh::TSTColumnFilterEh(TColumnEh* Column)
    : column_(Column),
      key_values_(std::make_unique<TStringList>()),
      list_values_(std::make_unique<TStringList>()),
      list_link_(std::make_unique<TFieldDataLink>()) {
  list_link_->SetOnDataChange({this, &TSTColumnFilterEh::ListLinkDataChange});
  list_link_->SetOnActiveChange({this, &TSTColumnFilterEh::ListLinkDataChange});
}

TSTColumnFilterEh::~TSTColumnFilterEh() {
  list_link_->SetOnDataChange(nullptr);
  list_link_->SetOnActiveChange(nullptr);
  list_link_.reset();
  value_list_.reset();
}

TPersistent* TSTColumnFilterEh::GetOwner() { return column_; }

void TSTColumnFilterEh::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSTColumnFilterEh*>(Source)) {
    data_field_ = src->data_field_;
    SetVisible(src->visible_);
    key_field_ = src->key_field_;
    list_field_ = src->list_field_;
    SetListSource(src->ListSource());
    return;
  }
  TPersistent::Assign(Source);
}

TCustomDBGridEh* TSTColumnFilterEh::Grid() const { return column_ != nullptr ? column_->Grid() : nullptr; }

TDataSource* TSTColumnFilterEh::ListSource() const { return list_link_->DataSource(); }

void TSTColumnFilterEh::SetListSource(TDataSource* Value) {
  if (Value == ListSource()) return;
  value_list_.reset();
  list_link_->SetDataSource(Value);
}

void TSTColumnFilterEh::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  if (TCustomDBGridEh* g = Grid()) g->LayoutChanged();
}

IMemTableDataFieldValueListEh* TSTColumnFilterEh::ValueList() const { return value_list_.get(); }

void TSTColumnFilterEh::SetValueList(std::unique_ptr<TDatasetFieldValueListEh> Value) { value_list_ = std::move(Value); }

TField* TSTColumnFilterEh::LookupField() const {
  TCustomDBGridEh* g = Grid();
  TDataSet* ds = g != nullptr ? g->DataLink()->DataSet() : nullptr;
  if (ds == nullptr || !ds->Active()) return nullptr;
  TField* f = ds->FindField(column_->FieldName());
  return f != nullptr && f->FieldKind() == fkLookup ? f : nullptr;
}

void TSTColumnFilterEh::GetDataFieldName(String& Name) {
  Name = column_->FieldName();
  if (!data_field_.empty()) Name = data_field_;
  else if (TField* f = LookupField()) Name = f->KeyFields();
}

String TSTColumnFilterEh::GetKeyFieldName() {
  if (!key_field_.empty()) return key_field_;
  if (TField* f = LookupField()) return f->LookupKeyFields();
  return String();
}

String TSTColumnFilterEh::GetListFieldName() {
  if (!list_field_.empty()) return list_field_;
  if (TField* f = LookupField()) return f->LookupResultField();
  return String();
}

TDataSet* TSTColumnFilterEh::GetLookupDataSet() {
  if (TDataSource* src = ListSource()) return src->DataSet();
  if (TField* f = LookupField()) return f->LookupDataSet();
  return nullptr;
}

bool TSTColumnFilterEh::CanDropDown() {
  TCustomDBGridEh* g = Grid();
  return ListSource() != nullptr || (g != nullptr && g->MemTableIntf() != nullptr);
}

void TSTColumnFilterEh::GetFilterValue(Variant& Value) {
  Value = GetKeyFieldName().empty() ? expression_.Operand1 : key_value_;
}

void TSTColumnFilterEh::GetSecondFilterValue(Variant& Value) { Value = expression_.Operand2; }

void TSTColumnFilterEh::GetExpressionAsText(String& Text) {
  Text.clear();
  if (expression_.OperandType == botNon || expression_.Operator1 == foNon) return;
  if (ListSource() == nullptr) {
    Text = STFilterExpressionAsText(expression_);
    return;
  }
  const Variant& v = expression_.Operand1;
  if (!VarIsArray(v)) {
    Text = VarToStr(v);
    return;
  }
  for (Integer i = VarArrayLowBound(v, 1); i <= VarArrayHighBound(v, 1); ++i) {
    if (!Text.empty()) Text += ",";
    Text += QuoteFilterValue(VarArrayGet(v, i));
  }
}

void TSTColumnFilterEh::SetFilterText(const String& Text) {
  const String key_name = GetKeyFieldName();
  if (!key_name.empty()) {
    // Without a dataset to look the text up in, no key stands for it (an
    // earlier key would filter by a text no longer typed).
    TDataSet* lookup = Text.empty() ? nullptr : GetLookupDataSet();
    key_value_ = lookup != nullptr ? lookup->Lookup(GetListFieldName(), Variant(Text), key_name) : Null();
    expression_.OperandType = botString;
    ParseSTFilterExpression(String(), expression_);
    if (VarIsNull(key_value_) || VarIsEmpty(key_value_)) {
      expression_.Operator1 = Text.empty() ? foNon : foNull;
    } else {
      expression_.Operator1 = foIn;
      expression_.Operand1 = Variant(Text);
    }
  } else {
    TField* f = column_->Field();
    expression_.OperandType = f != nullptr ? OperandTypeOf(f->DataType()) : botNon;
    ParseSTFilterExpression(Text, expression_);
  }
  filter_text_ = Text;
}

void TSTColumnFilterEh::RefreshFilterText(const String& Text) {
  SetFilterText(Text);
  if (TCustomDBGridEh* g = Grid()) {
    g->Invalidate();
    g->PlaceFilterEditor();
  }
}

void TSTColumnFilterEh::Clear() {
  key_value_ = Null();
  RefreshFilterText(String());
}

std::unique_ptr<TDatasetFieldValueListEh> TSTColumnFilterEh::BuildValueList() {
  TCustomDBGridEh* g = Grid();
  TDataSet* ds = g != nullptr ? g->DataLink()->DataSet() : nullptr;
  TDataSet* list = ListSource() != nullptr ? ListSource()->DataSet() : nullptr;
  if (ds == nullptr || !ds->Active() || list == nullptr || !list->Active()) return nullptr;
  TField* f = list->FindField(list_field_.empty() ? column_->FieldName() : list_field_);
  if (f == nullptr) return nullptr;
  auto values = std::make_unique<TDatasetFieldValueListEh>();
  values->SetFieldName(f->FieldName());
  values->SetDataSet(list);
  return values;
}

// Walks the list dataset for the drop-down lists and leaves it on the record
// it was on: moving it here would move whatever else shows that dataset.
void TSTColumnFilterEh::ListLinkDataChange(TObject*) {
  if (filling_) return;
  TDataSet* ds = ListSource() != nullptr ? ListSource()->DataSet() : nullptr;
  const String key_name = GetKeyFieldName();
  // Not while a record of the list is edited or inserted.
  if (ds == nullptr || ds->State() != dsBrowse || list_field_.empty() || key_name.empty()) return;
  TField* list_f = ds->FieldByName(list_field_);
  TField* key_f = ds->FieldByName(key_name);
  filling_ = true;
  list_values_->Clear();
  key_values_->Clear();
  const TBookmark place = ds->Bookmark();
  ds->DisableControls();
  try {
    ds->First();
    while (!ds->Eof()) {
      list_values_->Add(list_f->AsString());
      key_values_->Add(key_f->AsString());
      ds->Next();
    }
    if (!place.empty() && ds->BookmarkValid(place)) ds->SetBookmark(place);
    else ds->First();
  } catch (...) {
    ds->EnableControls();
    filling_ = false;
    throw;
  }
  ds->EnableControls();
  filling_ = false;
}

// ===========================================================================
// TDBGridEhDataService

TDBGridEhDataService* DBGridEhDataService() { return g_data_service; }

void TDBGridEhDataService::ApplyFilter(TCustomDBGridEh* Grid) {
  if (on_apply_filter_) on_apply_filter_(Grid);
  else DefaultApplyFilter(Grid);
}

void TDBGridEhDataService::ApplySorting(TCustomDBGridEh* Grid) {
  if (on_apply_sorting_) on_apply_sorting_(Grid);
  else DefaultApplySorting(Grid);
}

void TDBGridEhDataService::DefaultApplyFilter(TCustomDBGridEh* Grid) {
  TDataSet* ds = Grid->DataSource() != nullptr ? Grid->DataSource()->DataSet() : nullptr;
  if (ds == nullptr) return;
  if (TDatasetFeaturesEh* features = GetDatasetFeaturesForDataSet(ds)) features->ApplyFilter(Grid, ds, true);
}

void TDBGridEhDataService::DefaultApplySorting(TCustomDBGridEh* Grid) {
  TDataSet* ds = Grid->DataSource() != nullptr ? Grid->DataSource()->DataSet() : nullptr;
  if (ds == nullptr) return;
  if (TDatasetFeaturesEh* features = GetDatasetFeaturesForDataSet(ds)) features->ApplySorting(Grid, ds, true);
}

// ===========================================================================
// Storage interceptors

TColumnEh* TColumnEhPropertyInterceptor::Column() const { return dynamic_cast<TColumnEh*>(Target()); }

int TColumnEhPropertyInterceptor::Width() const {
  TColumnEh* c = Column();
  return c != nullptr ? c->Width() : 0;
}

void TColumnEhPropertyInterceptor::SetWidth(int Value) {
  TColumnEh* c = Column();
  if (c == nullptr) return;
  TCustomDBGridEh* g = c->Grid();
  if (g != nullptr && g->AutoFitColWidths()) c->SetFittedWidth(Value);
  else c->SetWidth(Value);
}

String TColumnsEhPropertyInterceptor::ColumnsIndex() const {
  auto* cols = dynamic_cast<TDBGridColumnsEh*>(Target());
  String text;
  for (int i = 0; cols != nullptr && i < cols->Count(); ++i) {
    if (i > 0) text += ",";
    text += AnsiQuotedStr(cols->Items(i)->FieldName(), '"');
  }
  return text;
}

void TColumnsEhPropertyInterceptor::SetColumnsIndex(const String& Value) {
  columns_index_ = Value;
  auto* cols = dynamic_cast<TDBGridColumnsEh*>(Target());
  if (cols == nullptr) return;
  TStringList names;
  names.SetCommaText(Value);
  cols->BeginUpdate();
  try {
    for (int pos = 0; pos < names.Count(); ++pos) {
      for (int i = 0; i < cols->Count(); ++i) {
        if (!AnsiSameText(cols->Items(i)->FieldName(), names.Strings(pos))) continue;
        if (pos < cols->Count()) cols->Items(i)->SetIndex(pos);
        break;
      }
    }
  } catch (...) {
    cols->EndUpdate();
    throw;
  }
  cols->EndUpdate();
}

void InitDBGridEhFilters() {
  g_data_service = new TDBGridEhDataService();
  RegisterClass<TColumnEhPropertyInterceptor, TStoragePropertyInterceptor>("TColumnEhPropertyInterceptor")
      .Prop("Width", &TColumnEhPropertyInterceptor::Width, &TColumnEhPropertyInterceptor::SetWidth);
  RegisterClass<TColumnsEhPropertyInterceptor, TStoragePropertyInterceptor>("TColumnsEhPropertyInterceptor")
      .Prop("ColumnsIndex", &TColumnsEhPropertyInterceptor::ColumnsIndex,
            &TColumnsEhPropertyInterceptor::SetColumnsIndex);
  RegisterPropertyInterceptor(ClassInfoOf<TColumnEh>(), StoragePropertyInterceptorClassOf<TColumnEhPropertyInterceptor>());
  RegisterPropertyInterceptor(ClassInfoOf<TDBGridColumnsEh>(),
                              StoragePropertyInterceptorClassOf<TColumnsEhPropertyInterceptor>());
}

void FinalDBGridEhFilters() {
  UnregisterPropertyInterceptor(ClassInfoOf<TColumnEh>(),
                                StoragePropertyInterceptorClassOf<TColumnEhPropertyInterceptor>());
  UnregisterPropertyInterceptor(ClassInfoOf<TDBGridColumnsEh>(),
                                StoragePropertyInterceptorClassOf<TColumnsEhPropertyInterceptor>());
  delete g_data_service;
  g_data_service = nullptr;
}

// ===========================================================================
// The grid: the filter-row editor

TInplaceFilterEditEh* TCustomDBGridEh::CreateFilterEditor() { return new TInplaceFilterEditEh(this); }

bool TCustomDBGridEh::IsColumnFilterable(int ColumnIndex) const {
  if (ColumnIndex < 0 || ColumnIndex >= columns_->Count()) return false;
  TColumnEh* c = columns_->Items(ColumnIndex);
  return c->Visible() && c->STFilter()->Visible();
}

void TCustomDBGridEh::InvalidateFilterCell(int ColumnIndex) {
  if (ColumnIndex >= 0 && IsFilterRowVisible()) InvalidateCell(DataToRawColumn(ColumnIndex), title_offset_ - 1);
}

void TCustomDBGridEh::ShowFilterEditor(int ColumnIndex) {
  if (!st_filter_->Visible() || !IsColumnFilterable(ColumnIndex)) return;
  TDataSet* ds = data_link_->DataSet();
  if (ds != nullptr && ds->Active()) ds->CheckBrowseMode();
  if (filter_edit_ == nullptr) {
    filter_edit_ = CreateFilterEditor();
    filter_edit_->SetVisible(false);
    filter_edit_->SetParent(this);
    IInplaceEditEh* intf = filter_edit_;
    intf->SetInplaceEditHolder(this);
    intf->SetBorderStyle(bsNone);
    intf->SetFont(Font());
    intf->GetFont()->SetColor(static_cast<TColor>(0xFF0000));
    // The filter cells' colour: each channel of FixedColor raised by an eighth.
    const int32_t rgb = ColorToRGB(FixedColor());
    int32_t bk = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int channel = (rgb >> shift) & 0xFF;
      bk |= std::min(255, channel + channel / 8) << shift;
    }
    intf->SetColor(static_cast<TColor>(bk));
    intf->SetOnKeyPress({this, &TCustomDBGridEh::FilterEditKeyPress});
    intf->SetOnExit({this, &TCustomDBGridEh::FilterEditExit});
    filter_edit_->SetFlat(Flat());
  }
  int old_col = -1;
  if (filter_edit_col_ >= 0 && filter_edit_->Visible()) {
    old_col = filter_edit_col_;
    HideFilterEditor();
  }
  filter_edit_col_ = ColumnIndex;
  filter_editing_ = true;
  HideEditor();
  BeginUpdate();
  filter_scroll_guard_ = true;
  try {
    const int raw = DataToRawColumn(ColumnIndex);
    if (!options_.Contains(dgRowSelect)) {
      SetSelectedIndex(ColumnIndex);
    } else if (raw < LeftCol() || raw >= LeftCol() + VisibleColCount()) {
      SetLeftCol(std::max(raw, FixedCols()));
    }
  } catch (...) {
    filter_scroll_guard_ = false;
    EndUpdate();
    throw;
  }
  filter_scroll_guard_ = false;
  EndUpdate();
  InvalidateFilterCell(ColumnIndex);
  if (old_col >= 0) InvalidateFilterCell(old_col);
  ShowFilterEditorAt(true);
}

void TCustomDBGridEh::ShowFilterEditorAt(bool ResetText) {
  if (st_filter_->UpdateCount() > 0) return;
  if (filter_edit_ != nullptr && IsFilterRowVisible() && IsColumnFilterable(filter_edit_col_) && filter_editing_) {
    TRect r = CellRect(DataToRawColumn(filter_edit_col_), title_offset_ - 1);
    r.Top += 1;
    if (!CanEditFilter()) {
      HideFilterEditor();
      return;
    }
    if (ResetText) filter_edit_->SetEditorBounds(TRect{});
    filter_edit_->SetFocus();
    if (ResetText) {
      UpdateFilterEdit(filter_edit_col_);
      filter_edit_->SelectAll();
    }
    filter_edit_->SetEditorBounds(r);
    if (filter_edit_->HandleAllocated()) filter_edit_->Perform(EM_SCROLLCARET, 0, 0);
  } else {
    SetFilterEditorVisible(false);
  }
}

void TCustomDBGridEh::PlaceFilterEditor() {
  if (filter_edit_ != nullptr && filter_edit_->Visible() && filter_editing_) ShowFilterEditorAt(false);
}

void TCustomDBGridEh::HideFilterEditor() {
  if (filter_edit_ == nullptr || !filter_edit_->Visible()) return;
  if (filter_edit_->Focused() && CanFocus()) SetFocus();
  filter_edit_->SetVisible(false);
  if (filter_edit_col_ >= 0) {
    StoreFilterText(filter_edit_col_);
    InvalidateFilterCell(filter_edit_col_);
  }
}

void TCustomDBGridEh::SetFilterEditorVisible(bool Show) {
  if (Show) {
    ShowFilterEditor(SelectedIndex());
    return;
  }
  if (st_filter_->UpdateCount() > 0) return;
  HideFilterEditor();
  filter_editing_ = false;
  if (options_.Contains(dgAlwaysShowEditor)) ShowEditor();
  else HideEditor();
}

void TCustomDBGridEh::StoreFilterText(int ColumnIndex) {
  if (filter_edit_ == nullptr || ColumnIndex < 0 || ColumnIndex >= columns_->Count()) return;
  TColumnEh* c = columns_->Items(ColumnIndex);
  if (!c->FieldName().empty()) c->STFilter()->SetFilterText(filter_edit_->Text());
}

void TCustomDBGridEh::UpdateFilterEdit(int ColumnIndex) {
  if (filter_edit_ == nullptr || ColumnIndex < 0 || ColumnIndex >= columns_->Count()) return;
  TSTColumnFilterEh* f = columns_->Items(ColumnIndex)->STFilter();
  TInplaceFilterEditEh* ed = filter_edit_;
  if (f->ListSource() == nullptr && MemTableIntf() == nullptr) {
    ed->Items()->Clear();
    ed->SetOnFillItems(nullptr);
    ed->SetOnBeforeCloseUp(nullptr);
    ed->SetOnCloseUp(nullptr);
    ed->EditButton()->SetVisible(false);
    ed->SetText(f->FilterText());
    return;
  }
  ed->SetOnCloseUp({this, &TCustomDBGridEh::FilterEditCloseUp});
  ed->SetOnBeforeCloseUp({this, &TCustomDBGridEh::FilterEditSelectItem});
  ed->SetOnFillItems({this, &TCustomDBGridEh::FilterEditGetItemsList});
  ed->Items()->Clear();
  ed->SetValue(Null());
  ed->EditButton()->SetVisible(true);
  ed->DropDownBox()->SetSizable(true);
  if (!f->GetKeyFieldName().empty()) ed->SetFilterEditValue(f->KeyValue(), f->FilterText());
  else ed->SetText(f->FilterText());
  ed->DropDownBox()->SetWidth(f->DropDownWidth() < 1 ? 100 : f->DropDownWidth());
  ed->DropDownBox()->SetRows(f->DropDownRows() < 1 ? 17 : f->DropDownRows());
}

// ---------------------------------------------------------------------------
// The drop-down list

void TCustomDBGridEh::FilterEditGetItemsList(TObject*) {
  if (filter_edit_ == nullptr || filter_edit_col_ < 0 || filter_edit_col_ >= columns_->Count()) return;
  TColumnEh* c = columns_->Items(filter_edit_col_);
  TSTColumnFilterEh* f = c->STFilter();
  if (f->ValueList() == nullptr && f->ListSource() != nullptr) f->SetValueList(f->BuildValueList());
  TStrings* items = filter_edit_->Items();
  items->BeginUpdate();
  try {
    items->Clear();
    if (IMemTableDataFieldValueListEh* values = f->ValueList()) {
      TStrings* v = values->GetValues();
      for (int i = 0; i < v->Count(); ++i) items->AddObject(v->Strings(i), CodeObject(fiValue));
    }
    items->InsertObject(0, "(Empty)", CodeObject(fiEmpty));
    items->InsertObject(0, "(Not empty)", CodeObject(fiNotEmpty));
    items->InsertObject(0, "(All)", CodeObject(fiAll));
    items->InsertObject(0, "(Clear filter)", CodeObject(fiClearFilter));
    if (options_eh_.Contains(dghAutoSortMarking) && c->Title()->TitleButton()) {
      items->InsertObject(0, "-", CodeObject(fiSeparator));
      items->InsertObject(0, "(Order by ascending)", CodeObject(fiOrderAscending));
      items->InsertObject(0, "(Order by descending)", CodeObject(fiOrderDescending));
    }
  } catch (...) {
    items->EndUpdate();
    throw;
  }
  items->EndUpdate();
}

void TCustomDBGridEh::FilterEditSelectItem(TObject*, bool& Accept) {
  if (!Accept || filter_edit_ == nullptr) return;
  const int col = filter_edit_col_;
  if (filter_edit_->Visible() && col >= 0 && col < columns_->Count()) {
    TSTColumnFilterEh* f = columns_->Items(col)->STFilter();
    f->SetDropDownWidth(filter_edit_->DropDownBox()->Width());
    f->SetDropDownRows(filter_edit_->DropDownBox()->Rows());
  }
  TPopupListboxEh* list = filter_edit_->PopupListbox();
  const int index = list != nullptr ? list->ItemIndex() : -1;
  if (index < 0 || index >= filter_edit_->Items()->Count()) return;
  const auto code = static_cast<TFilterItemCode>(reinterpret_cast<intptr_t>(filter_edit_->Items()->Objects(index)));
  if (code < fiEmpty) return;
  Accept = false;
  switch (code) {
    case fiEmpty: filter_edit_->SetText("=Null"); break;
    case fiNotEmpty: filter_edit_->SetText("<>Null"); break;
    case fiAll: filter_edit_->SetText(String()); break;
    case fiClearFilter:
      ClearFilter();
      ApplyFilter();
      return;
    case fiOrderAscending:
    case fiOrderDescending: {
      if (col < 0 || col >= columns_->Count()) return;
      for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->Title()->SetSortMarker(smNoneEh);
      sort_marked_columns_->Clear();
      columns_->Items(col)->Title()->SetSortMarker(code == fiOrderAscending ? smDownEh : smUpEh);
      SortMarkingChanged();
      return;
    }
    default: return;
  }
  if (style_ != nullptr && style_->ApplyFilterOnCloseUp()) ApplyFilter();
}

void TCustomDBGridEh::FilterEditCloseUp(TObject*, bool Accept) {
  if (Accept && style_ != nullptr && style_->ApplyFilterOnCloseUp()) ApplyFilter();
}

// ---------------------------------------------------------------------------
// Keys

void TCustomDBGridEh::FilterEditKeyPress(TObject*, WideChar& Key) {
  if (Key != 13) return;
  Key = 0;
  ApplyFilter();
}

void TCustomDBGridEh::FilterEditExit(TObject*) {}

void TCustomDBGridEh::InplaceEditKeyDown(TControl* Editor, Word& Key, TShiftState Shift) {
  FilterEditKeyDown(Editor, Key, Shift);
}

void TCustomDBGridEh::FilterEditKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  if (auto* combo = dynamic_cast<TCustomDBComboBoxEh*>(Sender); combo != nullptr && combo->ListVisible()) return;
  auto* edit = dynamic_cast<TCustomMaskEdit*>(Sender);
  if (edit == nullptr) return;
  const int len = static_cast<int>(edit->Text().size());
  const int sel_start = edit->SelStart(), sel_len = edit->SelLength();
  const bool whole = sel_start == 0 && sel_len == len;
  const bool at_start = (sel_start == 0 && sel_len == 0) || whole;
  const bool at_end = (sel_start == len && sel_len == 0) || whole;
  const bool ctrl = Shift.Contains(ssCtrl);
  auto move = [&](int Direction, bool FromEdge) {
    Key = 0;
    MoveFilterEditor(Direction, FromEdge);
  };
  switch (Key) {
    case VK_LEFT:
      if (ctrl || at_start) move(-1, ctrl);
      break;
    case VK_RIGHT:
      if (ctrl || at_end) move(1, ctrl);
      break;
    case VK_HOME:
      if (ctrl || at_start) move(-1, true);
      break;
    case VK_END:
      if (ctrl || at_end) move(1, true);
      break;
    case VK_TAB:
      if (options_.Contains(dgTabs)) move(Shift.Contains(ssShift) ? -1 : 1, false);
      break;
    case VK_UP:
      if (NoModifier(Shift)) Key = 0;
      break;
    case VK_DOWN:
      if (NoModifier(Shift) || Shift == TShiftState{ssCtrl}) {
        TDataSet* ds = data_link_->DataSet();
        if (ds != nullptr && ds->Active()) {
          SetSelectedIndex(filter_edit_col_);
          if (NoModifier(Shift)) ds->MoveBy(-data_link_->ActiveRecord());
        }
        SetFilterEditorVisible(false);
        Key = 0;
      }
      break;
    case VK_F2:
      edit->SetSelStart(len);
      edit->SetSelLength(0);
      break;
    default: break;
  }
}

void TCustomDBGridEh::MoveFilterEditor(int Direction, bool FromEdge) {
  const int count = columns_->Count();
  int i;
  int step = Direction;
  if (FromEdge) {
    // From beyond the far end towards the edge asked for.
    step = -Direction;
    i = Direction < 0 ? 0 : count - 1;
  } else {
    i = filter_edit_col_ + Direction;
    if (i >= count) i = 0;
    else if (i < 0) i = count - 1;
    if (i == filter_edit_col_) return;
  }
  while (i >= 0 && i < count && !IsColumnFilterable(i)) i += step;
  if (i < 0 || i >= count) return;
  ShowFilterEditor(i);
}

// ---------------------------------------------------------------------------
// Applying

void TCustomDBGridEh::ApplyFilter() {
  if (filter_edit_ != nullptr && filter_edit_->Visible() && filter_edit_col_ >= 0) StoreFilterText(filter_edit_col_);
  const int top = TopRow();
  if (on_apply_filter_) on_apply_filter_(this);
  else DefaultApplyFilter();
  if (RowCount() > top && TopRow() != top) SetTopRow(top);
  ShowFilterEditorAt(true);
  if (sum_list_->Active()) sum_list_->RecalcAll();
  Invalidate();
}

void TCustomDBGridEh::DefaultApplyFilter() {
  if (g_data_service == nullptr) return;
  applying_filter_ = true;
  try {
    g_data_service->ApplyFilter(this);
  } catch (...) {
    applying_filter_ = false;
    throw;
  }
  applying_filter_ = false;
}

void TCustomDBGridEh::DefaultApplySorting() {
  if (g_data_service != nullptr) g_data_service->ApplySorting(this);
}

void TCustomDBGridEh::ClearFilter() {
  SetFilterEditorVisible(false);
  for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->STFilter()->Clear();
  Invalidate();
}
