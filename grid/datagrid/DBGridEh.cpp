// DBGridEh: the grid object: construction, options, locks, the deferred
// layout, the field map and the editing gates.
#include <algorithm>
#include <cmath>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEh_Internal.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GDI.h"
#include "platform/rtl/FormStream.h"

TGridOptions DBGridOptionsToGridOptions(TDBGridOptions Value, bool RowSizingAllowed) {
  Value = NormalizeDBGridOptions(Value);
  TGridOptions g;
  if (RowSizingAllowed) g.Include(goRowSizing);
  if (Value.Contains(dgColLines)) g = g + TGridOptions{goFixedVertLine, goVertLine};
  if (Value.Contains(dgRowLines)) g = g + TGridOptions{goFixedHorzLine, goHorzLine};
  if (Value.Contains(dgColumnResize)) g = g + TGridOptions{goColSizing, goColMoving};
  if (Value.Contains(dgTabs)) g.Include(goTabs);
  if (Value.Contains(dgRowSelect)) g.Include(goRowSelect);
  if (Value.Contains(dgEditing)) g.Include(goEditing);
  if (Value.Contains(dgAlwaysShowEditor)) g.Include(goAlwaysShowEditor);
  return g;
}

TDBGridOptions NormalizeDBGridOptions(TDBGridOptions Value) {
  if (Value.Contains(dgRowSelect)) {
    Value.Exclude(dgEditing);
    Value.Exclude(dgAlwaysShowEditor);
  }
  return Value;
}

// ---------------------------------------------------------------------------
// Data parts of the later units

TColCellParamsEh::TColCellParamsEh() : Font(std::make_unique<TFont>()) {}
TColCellParamsEh::~TColCellParamsEh() = default;

TPersistent* TDBGridEhScrollBar::GetOwner() { return grid_; }
void TDBGridEhScrollBar::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  if (grid_ != nullptr) grid_->LayoutChanged();
}

// ---------------------------------------------------------------------------
// Construction

namespace {
int g_draw_bitmap_refs = 0;
TBitmap* g_draw_bitmap = nullptr;
}  // namespace

int DBGridEhDrawBitmapRefCount() { return g_draw_bitmap_refs; }
TBitmap* DBGridEhDrawBitmap() { return g_draw_bitmap; }

TCustomDBGridEh::TCustomDBGridEh(TComponent* AOwner) : TCustomGrid(AOwner) {
  if (TDBGridEhStyle* s = DBGridEhDefaultStyle()) {
    style_ = s;
    s->AddGrid(this);
  }
  acquire_focus_ = true;
  indicator_offset_ = 1;
  if (g_draw_bitmap_refs++ == 0) g_draw_bitmap = new TBitmap();
  drawing_bitmap_ref_ = true;
  options_ = kDefaultDBGridOptions;
  SetScrollBars(ssHorizontal);
  TCustomGrid::SetOptions(
      {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goColMoving, goEditing, goTabs});
  column_def_values_.reset(CreateColumnDefValues());
  columns_.reset(CreateColumns());
  visible_columns_ = std::make_unique<TColumnsEhList>();
  SetRowCount(2);
  SetColCount(2);
  data_link_ = std::make_unique<TGridDataLinkEh>(this);
  SetColor(clWindow);
  footer_color_ = clWindow;
  SetParentColor(false);
  title_font_ = std::make_unique<TFont>();
  title_font_->Assign(Font());
  title_font_->SetOnChange({this, &TCustomDBGridEh::TitleFontChanged});
  SetDefaultDrawing(true);
  selected_rows_ = std::make_unique<TBookmarkListEh>(this);
  head_tree_ = std::make_unique<THeadTreeNode>("Root", 0, 10);
  v_title_margin_ = 10;
  use_multi_title_ = false;
  row_sizing_allowed_ = false;
  sum_list_ = std::make_unique<TDBGridEhSumList>(this);
  sum_list_->SetSumListChanged({this, &TCustomDBGridEh::SumListChanged});
  sum_list_->SetOnRecalcAll({this, &TCustomDBGridEh::SumListRecalcAll});
  sum_list_->SetOnAfterRecalcAll({this, &TCustomDBGridEh::SumListAfterRecalcAll});
  horz_scroll_bar_.reset(CreateScrollBar(false));
  vert_scroll_bar_.reset(CreateScrollBar(true));
  options_eh_ = kDefaultDBGridEhOptions;
  sort_marked_columns_ = std::make_unique<TColumnsEhList>();
  pressed_title_col_ = -1;
  selection_ = std::make_unique<TDBGridEhSelection>(this);
  allowed_operations_ = {alopInsertEh, alopUpdateEh, alopDeleteEh, alopAppendEh};
  footer_font_ = std::make_unique<TFont>();
  footer_font_->Assign(Font());
  footer_font_->SetOnChange({this, &TCustomDBGridEh::FooterFontChanged});
  title_padding_ = 4;
  allowed_selections_ = {gstRecordBookmarks, gstRectangle, gstColumns, gstAll};
  cell_params_ = std::make_unique<TColCellParamsEh>();
  st_filter_ = std::make_unique<TSTDBGridEhFilter>(this);
  title_offset_ = (TitlesVisible() ? 1 : 0) + (IsFilterRowVisible() ? 1 : 0);
  title_image_link_ = std::make_unique<TChangeLink>();
  title_image_link_->SetOnChange({this, &TCustomDBGridEh::TitleImageListChanged});
}

void TCustomDBGridEh::AfterConstruction() { TCustomGrid::AfterConstruction(); }

void TCustomDBGridEh::BeforeDestruction() {
  // Nothing is laid out once the grid is going.
  ++update_lock_;
  TCustomGrid::BeforeDestruction();
}

TCustomDBGridEh::~TCustomDBGridEh() {
  delete filter_edit_;
  if (style_ != nullptr) style_->RemoveGrid(this);
  style_ = nullptr;
  cell_params_.reset();
  selection_->Clear();
  columns_.reset();
  column_def_values_.reset();
  visible_columns_.reset();
  sort_marked_columns_->Clear();
  data_link_.reset();
  horz_scroll_bar_.reset();
  vert_scroll_bar_.reset();
  title_font_.reset();
  selected_rows_.reset();
  if (title_images_ != nullptr) title_images_->UnRegisterChanges(title_image_link_.get());
  title_image_link_.reset();
  if (drawing_bitmap_ref_ && --g_draw_bitmap_refs == 0) {
    delete g_draw_bitmap;
    g_draw_bitmap = nullptr;
  }
  sort_marked_columns_.reset();
  head_tree_.reset();
  sum_list_.reset();
  selection_.reset();
  footer_font_.reset();
  st_filter_.reset();
}

TColumnDefValuesEh* TCustomDBGridEh::CreateColumnDefValues() { return new TDBGridEhColumnDefValuesEh(this); }
TDBGridColumnsEh* TCustomDBGridEh::CreateColumns() {
  return new TDBGridColumnsEh(this, CollectionItemFactory<TDBGridColumnEh>);
}
TDBGridEhScrollBar* TCustomDBGridEh::CreateScrollBar(bool Vertical) {
  if (Vertical) return new TVertDBGridEhScrollBar(this);
  return new TDBGridEhScrollBar(this, false);
}

// ---------------------------------------------------------------------------
// Properties

TDataSource* TCustomDBGridEh::DataSource() const { return data_link_ ? data_link_->DataSource() : nullptr; }

void TCustomDBGridEh::SetDataSource(TDataSource* Value) {
  if (Value == DataSource()) return;
  if (Value != nullptr) Value->FreeNotification(this);
  selection_->Clear();
  const bool was_active = data_link_->Active();
  data_link_->SetDataSource(Value);
  // A change of state reached LinkActive through the link already.
  if (was_active == data_link_->Active()) LinkActive(data_link_->Active());
}

void TCustomDBGridEh::SetStyle(TDBGridEhStyle* Value) {
  if (Value == nullptr) Value = DBGridEhDefaultStyle();
  if (style_ == Value) return;
  if (style_ != nullptr) style_->RemoveGrid(this);
  style_ = Value;
  if (style_ != nullptr) style_->AddGrid(this);
  else LayoutChanged();
  Invalidate();
}

void TCustomDBGridEh::ApplyBaseOptions() {
  TCustomGrid::SetOptions(DBGridOptionsToGridOptions(options_, row_sizing_allowed_));
}

void TCustomDBGridEh::SetOptions(TDBGridOptions Value) {
  Value = NormalizeDBGridOptions(Value);
  if (Value == options_) return;
  constexpr TDBGridOptions kLayout{dgEditing,  dgAlwaysShowEditor, dgTitles,    dgIndicator,
                                   dgColLines, dgRowLines,         dgRowSelect, dgAlwaysShowSelection};
  const TDBGridOptions changed = (options_ - Value) + (Value - options_);
  const bool left_multi = options_.Contains(dgMultiSelect) && !Value.Contains(dgMultiSelect);
  options_ = Value;
  ApplyBaseOptions();
  if (left_multi) {
    selected_rows_->Clear();
    selection_->Clear();
  }
  if (!(changed * kLayout).Empty()) {
    LayoutChanged();
    if (EditorMode()) InvalidateEditor();
  }
}

void TCustomDBGridEh::SetOptionsEh(TDBGridEhOptions Value) {
  if (Value == options_eh_) return;
  options_eh_ = Value;
  LayoutChanged();
}

void TCustomDBGridEh::SetRowSizingAllowed(bool Value) {
  if (row_sizing_allowed_ == Value) return;
  row_sizing_allowed_ = Value;
  ApplyBaseOptions();
}

void TCustomDBGridEh::SetAutoFitColWidths(bool Value) {
  if (auto_fit_col_widths_ == Value) return;
  // Widths before auto-fit are saved when it starts and given back when it ends.
  if (!IsLoading() && !IsDesigning()) {
    BeginLayout();
    for (int i = 0; i < columns_->Count(); ++i) {
      TColumnEh* c = columns_->Items(i);
      if (Value) c->SetFittedWidth(c->Width());
      else c->SetWidth(c->FittedWidth());
    }
    auto_fit_col_widths_ = Value;
    EndLayout();
  } else {
    auto_fit_col_widths_ = Value;
  }
  LayoutChanged();
}
void TCustomDBGridEh::SetDrawMemoText(bool Value) {
  if (draw_memo_text_ == Value) return;
  draw_memo_text_ = Value;
  Invalidate();
}
void TCustomDBGridEh::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  title_padding_ = Value ? 2 : 4;
  LayoutChanged();
}
void TCustomDBGridEh::SetFooterColor(TColor Value) {
  if (!IsLoading()) SetParentColor(false);
  if (footer_color_ == Value) return;
  footer_color_ = Value;
  InvalidateFooter();
}
void TCustomDBGridEh::SetFooterRowCount(int Value) {
  Value = std::max(0, Value);
  if (footer_row_count_ == Value) return;
  footer_row_count_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetFrozenCols(int Value) {
  if (Value < 0 && frozen_cols_ == 0) return;
  Value = std::max(0, Value);
  if (frozen_cols_ == Value) return;
  frozen_cols_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetMinAutoFitWidth(int Value) {
  if (min_auto_fit_width_ == Value) return;
  min_auto_fit_width_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetRowHeight(int Value) {
  Value = std::max(0, Value);
  if (row_height_ == Value) return;
  row_height_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetRowLines(int Value) {
  Value = std::max(0, Value);
  if (row_lines_ == Value) return;
  row_lines_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetTitleHeight(int Value) {
  if (title_height_ == Value) return;
  title_height_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetTitleLines(int Value) {
  if (title_lines_ == Value) return;
  title_lines_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetUseMultiTitle(bool Value) {
  if (use_multi_title_ == Value) return;
  use_multi_title_ = Value;
  LayoutChanged();
}
void TCustomDBGridEh::SetVTitleMargin(int Value) {
  if (v_title_margin_ == Value) return;
  v_title_margin_ = Value;
  LayoutChanged();
}

void MeasureFontTextEh(TFont* Font, const String& Text, TSize& Extent, TEXTMETRIC& Metrics) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font->Handle()));
  GetTextExtentPoint32(dc, Text, static_cast<int>(Text.size()), &Extent);
  GetTextMetrics(dc, &Metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

bool RelinkImageListEh(TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link, TComponent* Notified) {
  if (Field == Value) return false;
  if (Field != nullptr) Field->UnRegisterChanges(Link);
  Field = Value;
  if (Value != nullptr) {
    Value->RegisterChanges(Link);
    if (Notified != nullptr) Value->FreeNotification(Notified);
  }
  return true;
}

void TCustomDBGridEh::SetTitleImages(TCustomImageList* Value) {
  if (RelinkImageListEh(title_images_, Value, title_image_link_.get(), this)) LayoutChanged();
}

void TCustomDBGridEh::TitleFontChanged(TObject*) { LayoutChanged(); }
void TCustomDBGridEh::FooterFontChanged(TObject*) {
  if (!footer_font_internal_ && !IsLoading()) SetParentFont(false);
  if (footer_row_count_ > 0) LayoutChanged();
  else InvalidateFooter();
}
void TCustomDBGridEh::TitleImageListChanged(TObject*) { LayoutChanged(); }
void TCustomDBGridEh::SumListChanged(TObject*) { InvalidateFooter(); }
void TCustomDBGridEh::SumListRecalcAll(TObject*) {
  if (on_sum_list_recalc_all_) on_sum_list_recalc_all_(this);
}
void TCustomDBGridEh::SumListAfterRecalcAll(TObject*) {
  if (on_sum_list_after_recalc_all_) on_sum_list_after_recalc_all_(this);
}

void TCustomDBGridEh::InvalidateFooter() {
  if (!HandleAllocated()) return;
  for (int i = 0; i < footer_row_count_ && RowCount() - 1 - i >= 0; ++i) InvalidateRow(RowCount() - 1 - i);
}

int TCustomDBGridEh::SelectedIndex() const { return Col() - indicator_offset_; }

void TCustomDBGridEh::SetSelectedIndex(int Value) {
  const int raw = Value + indicator_offset_;
  if (raw >= FixedCols() && raw < ColCount()) SetCol(raw);
}

TColumnEh* TCustomDBGridEh::SelectedColumn() const {
  const int i = SelectedIndex();
  return i >= 0 && i < columns_->Count() ? columns_->Items(i) : nullptr;
}

TField* TCustomDBGridEh::SelectedField() const {
  TColumnEh* c = SelectedColumn();
  return c != nullptr ? c->Field() : nullptr;
}

void TCustomDBGridEh::SetSelectedField(TField* Value) {
  if (Value == nullptr) return;
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->Field() == Value && columns_->Items(i)->Visible()) {
      SetSelectedIndex(i);
      return;
    }
}

int TCustomDBGridEh::FieldCount() const { return data_link_->FieldCount(); }

// ---------------------------------------------------------------------------
// Locks and the deferred layout

void TCustomDBGridEh::BeginUpdate() { ++update_lock_; }

void TCustomDBGridEh::EndUpdate() {
  if (update_lock_ == 0) return;
  if (--update_lock_ == 0 && !IsDestroying()) {
    if (layout_pending_) LayoutChanged();
    if (pending_size_) UpdateAfterResize();
  }
}

bool TCustomDBGridEh::AcquireLayoutLock() {
  if (update_lock_ != 0 || layout_lock_ != 0) return false;
  BeginLayout();
  return true;
}

void TCustomDBGridEh::BeginLayout() {
  BeginUpdate();
  if (layout_lock_ == 0) columns_->BeginUpdate();
  ++layout_lock_;
}

void TCustomDBGridEh::EndLayout() {
  if (layout_lock_ == 0) return;
  if (layout_lock_ == 1) {
    // Changes the layout itself makes (the columns' closing update among
    // them) ask for no further layout.
    try {
      InternalLayout();
    } catch (...) {
      columns_->EndUpdate();
      in_layout_ = false;
      --layout_lock_;
      EndUpdate();
      throw;
    }
    columns_->EndUpdate();
    in_layout_ = false;
    layout_pending_ = false;
  }
  --layout_lock_;
  EndUpdate();
}

void TCustomDBGridEh::CancelLayout() {
  if (layout_lock_ == 0) return;
  if (layout_lock_ == 1) columns_->EndUpdate();
  --layout_lock_;
  EndUpdate();
}

void TCustomDBGridEh::LayoutChanged() {
  if (in_layout_) return;  // the running layout covers it
  if (AcquireLayoutLock()) {
    EndLayout();
  } else if (!IsDestroying()) {
    // The outermost EndUpdate lays out.
    layout_pending_ = true;
  }
}

void TCustomDBGridEh::DeferLayout() {
  if (!HandleAllocated()) return;
  TMsg msg;
  if (!PeekMessage(msg, Handle(), WM_DEFERLAYOUTEH, WM_DEFERLAYOUTEH, PM_NOREMOVE))
    PostMessage(Handle(), WM_DEFERLAYOUTEH, 0, 0);
}

void TCustomDBGridEh::WMDeferLayout(TMessage&) {
  if (AcquireLayoutLock()) EndLayout();
  else layout_pending_ = true;  // a held lock leaves it to the outermost EndUpdate
}

void TCustomDBGridEh::RemoveDeferLayoutMessage() {
  if (HandleAllocated()) KillMessage(Handle(), WM_DEFERLAYOUTEH);
}

void TCustomDBGridEh::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_DEFERLAYOUTEH) {
    WMDeferLayout(Message);
    return;
  }
  TCustomGrid::Dispatch(Message);
}

void TCustomDBGridEh::DefaultHandler(TMessage& Message) {
  TCustomGrid::DefaultHandler(Message);
  if (Message.Msg != WM_RBUTTONUP) return;
  const int x = GET_X_LPARAM(Message.LParam), y = GET_Y_LPARAM(Message.LParam);
  const TGridCoord cell = MouseCoord(x, y);
  if (cell.X < indicator_offset_ || cell.Y < 0) return;
  const int dc = cell.X - indicator_offset_;
  if (dc >= columns_->Count()) return;
  TPopupMenu* menu = columns_->Items(dc)->PopupMenu();
  if (menu == nullptr || !menu->AutoPopup()) return;
  CancelMode();
  menu->SetPopupComponent(this);
  const TPoint p = ClientToScreen(TPoint{x, y});
  menu->Popup(p.X, p.Y);
  Message.Result = 1;
}

void TCustomDBGridEh::UpdateActive() {
  if (!data_link_->Active() || !HandleAllocated()) return;
  const int row = title_offset_ + data_link_->ActiveRecord();
  if (row >= FixedRows() && row < RowCount() && row != Row()) SetRow(row);
}

void TCustomDBGridEh::Resize() {
  TCustomGrid::Resize();
  if (update_lock_ > 0) pending_size_ = true;
  else UpdateAfterResize();
}

void TCustomDBGridEh::UpdateAfterResize() {
  pending_size_ = false;
  if (auto_fit_col_widths_ && !IsDesigning()) {
    LayoutChanged();
    InvalidateEditor();
  } else {
    UpdateRowCount();
    UpdateScrollBar();
  }
}

void TCustomDBGridEh::InitWidget() {
  BeginUpdate();
  TCustomGrid::InitWidget();
  EndUpdate();
  edit_button_width_ = flat_ ? DefaultEditButtonWidth() : GetSystemMetrics(SM_CXVSCROLL);
  if (DefaultRowHeight() > std::lround(edit_button_width_ * 1.5))
    edit_button_height_ = ScaleWidthByHalf(edit_button_width_, flat_);
  else
    edit_button_height_ = DefaultRowHeight();
  if (!auto_fit_col_widths_) {
    UpdateRowCount();
    UpdateActive();
  } else {
    LayoutChanged();
  }
  UpdateScrollBar();
}

void TCustomDBGridEh::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGrid::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (data_link_ && AComponent == DataSource()) {
    const bool was_active = data_link_->Active();
    data_link_->SetDataSource(nullptr);
    if (!was_active && !IsDestroying()) LinkActive(false);
    return;
  }
  if (AComponent == filter_edit_) filter_edit_ = nullptr;
  if (AComponent == tool_tips_window_) tool_tips_window_ = nullptr;
  if (AComponent == title_images_) {
    title_images_ = nullptr;
    LayoutChanged();
  }
  if (!columns_) return;
  bool fields_gone = false;
  for (int i = 0; i < columns_->Count(); ++i) {
    TColumnEh* c = columns_->Items(i);
    if (c->field_ == AComponent) {
      c->field_ = nullptr;
      fields_gone = true;
    }
    if (c->popup_menu_ == AComponent) c->popup_menu_ = nullptr;
    if (c->image_list_ == AComponent) c->image_list_ = nullptr;
    if (c->drop_down_box_->ListSource() == AComponent) c->drop_down_box_->SetListSource(nullptr);
  }
  if (fields_gone && data_link_ && data_link_->Active() && !IsDestroying()) LayoutChanged();
}

// ---------------------------------------------------------------------------
// The data link's calls

void TCustomDBGridEh::DataChanged() {
  if (!HandleAllocated() || in_data_changed_) return;
  in_data_changed_ = true;
  try {
    if (IsDesigning() && sum_list_->Active()) sum_list_->RecalcAll();
    UpdateRowCount();
    const bool was_visible = vert_scroll_bar_->Visible();
    UpdateScrollBar();
    if (was_visible != vert_scroll_bar_->Visible() && auto_fit_col_widths_ && !IsDesigning()) DeferLayout();
    UpdateActive();
    InvalidateEditor();
    Invalidate();
  } catch (...) {
    in_data_changed_ = false;
    throw;
  }
  in_data_changed_ = false;
}

void TCustomDBGridEh::Scroll(int Distance) {
  if (!HandleAllocated()) return;
  UpdateRowCount();
  UpdateActive();
  if (Distance != 0) Invalidate();
  UpdateScrollBar();
}

void TCustomDBGridEh::EditingChanged() {
  if (options_.Contains(dgIndicator) && HandleAllocated()) InvalidateCell(0, Row());
}

void TCustomDBGridEh::RecordChanged(TField* Field) {
  if (!HandleAllocated()) return;
  if (Field == nullptr) {
    Invalidate();
  } else {
    for (int i = 0; i < columns_->Count(); ++i)
      if (columns_->Items(i)->Field() == Field) {
        InvalidateRow(Row());
        break;
      }
  }
  InvalidateEditor();
}

void TCustomDBGridEh::DefineFieldMap() {
  TDataSet* ds = data_link_->DataSet();
  if (ds == nullptr) return;
  if (columns_->State() == csCustomized) {
    data_link_->SetSparseMap(true);
    for (int i = 0; i < columns_->Count(); ++i) data_link_->AddMapping(columns_->Items(i)->FieldName());
  } else {
    data_link_->SetSparseMap(false);
    for (int i = 0; i < ds->Fields()->Count(); ++i) {
      TField* f = ds->Fields()->Fields(i);
      if (f->Visible()) data_link_->AddMapping(f->FieldName());
    }
  }
}

void TCustomDBGridEh::GetDatasetFieldList(TList* List) {
  TDataSet* ds = data_link_->DataSet();
  if (ds == nullptr) return;
  for (int i = 0; i < ds->Fields()->Count(); ++i) List->Add(ds->Fields()->Fields(i));
}

// ---------------------------------------------------------------------------
// Focus, highlight and cells

bool TCustomDBGridEh::AcquireFocus() {
  bool result = true;
  auto focused = [this] { return Focused() || (InplaceEditor() != nullptr && InplaceEditor()->Focused()); };
  if (acquire_focus_ && CanFocus() && !IsDesigning()) {
    SetFocus();
    result = focused();
  }
  if (!result && Screen != nullptr && Screen->ActiveForm() != nullptr &&
      Screen->ActiveForm()->FormStyle() == fsMDIForm) {
    SetFocus();
    result = focused();
  }
  return result;
}

bool TCustomDBGridEh::IsRowSelectFocused() {
  return !IsDesigning() && options_.Contains(dgRowSelect) && DefaultDrawing() && Focused();
}

bool TCustomDBGridEh::IsAlwaysShowEditor() { return options_.Contains(dgAlwaysShowEditor) && !filter_editing_; }

bool TCustomDBGridEh::IsGridOrEditorFocused() {
  return Focused() || (InplaceEditor() != nullptr && InplaceEditor()->Focused());
}

void TCustomDBGridEh::ShowEditor() {
  if (filter_editing_) filter_editing_ = false;
  TCustomGrid::ShowEditor();
}

String TCustomDBGridEh::GetFooterValue(int Row, TColumnEh* Column) {
  if (Column == nullptr) return String();
  TColumnFooterEh* f = Column->UsedFooter(Row);
  switch (f->ValueType()) {
    case fvtStaticText: return f->Value();
    case fvtFieldValue: {
      TDataSet* ds = data_link_->DataSet();
      TField* field = ds != nullptr ? ds->FindField(f->FieldName().empty() ? Column->FieldName() : f->FieldName())
                                    : nullptr;
      return field != nullptr ? field->DisplayText() : String();
    }
    case fvtSum: case fvtAvg: case fvtCount: {
      if (f->SumItem() == nullptr) return String();
      const double v = f->SumItem()->SumValue().ToDouble();
      if (!f->DisplayFormat().empty()) return FormatFloat(f->DisplayFormat(), v);
      return f->ValueType() == fvtCount ? IntToStr(static_cast<int>(std::lround(v))) : FloatToStr(v);
    }
    default: return String();
  }
}

// ---------------------------------------------------------------------------
// Editing gates

bool TCustomDBGridEh::CanEditShow() {
  bool result = false;
  if (layout_lock_ == 0 && TCustomGrid::CanEditShow()) {
    TColumnEh* c = SelectedColumn();
    if (c != nullptr) {
      const TColumnCellKindEh kind = c->GetColumnType();
      result = kind != cckKeyImageList && kind != cckCheckBoxes &&
               (selection_->SelectionType() == gstNon || !options_eh_.Contains(dghClearSelection) ||
                !allowed_selections_.Contains(gstColumns)) &&
               !inc_searching_;
    }
  }
  if (!result && EditorMode()) HideEditor();
  return result;
}

bool TCustomDBGridEh::CanEditAcceptKey(WideChar Key) {
  TColumnEh* c = SelectedColumn();
  const bool editor_ok = InplaceEditor() == nullptr || !InplaceEditor()->ReadOnly();
  if (c != nullptr && data_link_->Active() && c->Field() != nullptr) {
    if (!editor_ok) return false;
    if (c->KeyList()->Count() > 0) return true;
    return c->Field()->IsValidChar(Key);
  }
  return InplaceEditor() != nullptr && !InplaceEditor()->ReadOnly();
}

bool TCustomDBGridEh::CanEditModify() {
  TColumnEh* c = SelectedColumn();
  if (c != nullptr && c->GetColumnType() == cckCheckBoxes) return false;
  if (inc_searching_) return false;
  if (InplaceEditor() != nullptr && InplaceEditor()->ReadOnly()) return false;
  if (read_only_ || !data_link_->Active() || data_link_->ReadOnly() || c == nullptr || c->ReadOnly()) return false;
  TField* f = c->Field();
  if (f == nullptr || !c->FieldCanModify()) return false;
  if (ftBlobTypes.Contains(f->DataType()) && !(f->DataType() == ftMemo && draw_memo_text_)) return false;
  data_link_->Edit();
  return data_link_->Editing();
}

// ---------------------------------------------------------------------------
// Column widths and moves

void TCustomDBGridEh::ColWidthsChanged() {
  st_filter_->BeginUpdate();
  if ((data_link_->Active() || columns_->State() == csCustomized) && AcquireLayoutLock()) {
    try {
      TCustomGrid::ColWidthsChanged();
      for (int i = 0; i < columns_->Count(); ++i) {
        TColumnEh* c = columns_->Items(i);
        const int raw = i + indicator_offset_;
        if (raw >= ColCount()) break;
        const int w = ColWidths(raw);
        if (c->MinWidth() > 0 && w >= 0 && c->MinWidth() > w) SetColWidths(raw, c->MinWidth());
        if (c->MaxWidth() > 0 && c->MaxWidth() < w) SetColWidths(raw, c->MaxWidth());
      }
      for (int i = 0; i < columns_->Count(); ++i) {
        TColumnEh* c = columns_->Items(i);
        const int raw = i + indicator_offset_;
        if (!c->Visible() || raw >= ColCount()) continue;
        const int gw = ColWidths(raw);
        if (!auto_fit_col_widths_ || IsDesigning()) {
          c->SetWidth(gw);
        } else if (c->Width() != gw) {
          if (!options_eh_.Contains(dghResizeWholeRightPart)) {
            const int vi = visible_columns_->IndexOf(c);
            if (!c->AutoFitColWidth()) {
              c->SetWidth(gw);
            } else {
              const int change = gw - c->Width();
              c->SetWidth(gw);
              if (vi >= 0 && vi + 1 < visible_columns_->Count()) {
                TColumnEh* next = visible_columns_->Items(vi + 1);
                next->SetWidth(std::max(0, next->Width() - change));
              }
            }
          } else {
            const int change = gw - c->Width();
            c->SetWidth(gw);
            int sum = 0;
            const int vi = visible_columns_->IndexOf(c);
            for (int k = vi + 1; vi >= 0 && k < visible_columns_->Count(); ++k)
              if (visible_columns_->Items(k)->AutoFitColWidth()) sum += visible_columns_->Items(k)->Width();
            for (int k = vi + 1; vi >= 0 && sum > 0 && k < visible_columns_->Count(); ++k) {
              TColumnEh* r = visible_columns_->Items(k);
              if (r->AutoFitColWidth()) r->SetWidth(std::max(1, MulDiv(sum - change, r->Width(), sum)));
            }
          }
          break;
        }
      }
    } catch (...) {
      EndLayout();
      st_filter_->EndUpdate();
      throw;
    }
    EndLayout();
  } else {
    TCustomGrid::ColWidthsChanged();
  }
  InvalidateEditor();
  if (on_col_widths_changed_) on_col_widths_changed_(this);
  UpdateHorzScrollBar();
  st_filter_->EndUpdate();
  PlaceFilterEditor();
}

void TCustomDBGridEh::ColumnMoved(int FromIndex, int ToIndex) {
  const int from = FromIndex - indicator_offset_, to = ToIndex - indicator_offset_;
  if (from >= 0 && from < columns_->Count() && to >= 0 && to < columns_->Count()) {
    BeginLayout();
    columns_->Items(from)->SetIndex(to);
    EndLayout();
  }
  TCustomGrid::ColumnMoved(FromIndex, ToIndex);
  PlaceFilterEditor();
  if (on_column_moved_) on_column_moved_(this, FromIndex, ToIndex);
}

// ---------------------------------------------------------------------------
// Event raisers

void TCustomDBGridEh::CellClick(TColumnEh* Column) {
  if (on_cell_click_) on_cell_click_(Column);
}
void TCustomDBGridEh::ColEnter() {
  if (on_col_enter_) on_col_enter_(this);
}
void TCustomDBGridEh::ColExit() {
  if (on_col_exit_) on_col_exit_(this);
}
void TCustomDBGridEh::SortMarkingChanged() {
  if (on_sort_marking_changed_) on_sort_marking_changed_(this);
  else DefaultApplySorting();
}
void TCustomDBGridEh::TitleClick(TColumnEh* Column) {
  if (on_title_click_) on_title_click_(Column);
}
void TCustomDBGridEh::EditButtonClick() {
  if (on_edit_button_click_) on_edit_button_click_(this);
}

// ---------------------------------------------------------------------------
// IInplaceEditHolderEh (the filter-row editor is a later unit)

bool TCustomDBGridEh::InplaceEditCanModify(TControl*) { return true; }
void TCustomDBGridEh::GetMouseDownInfo(TPoint& Pos, int32_t& Time) {
  Pos = TPoint();
  Time = 0;
}
void TCustomDBGridEh::InplaceEditWndProc(TControl*, TMessage&) {}
void TCustomDBGridEh::InplaceEditKeyPress(TControl*, WideChar&) {}
void TCustomDBGridEh::InplaceEditKeyUp(TControl*, Word&, TShiftState) {}

// ---------------------------------------------------------------------------
// The "Columns" defined property

void TCustomDBGridEh::ReadColumns(TReader& Reader) {
  columns_->Clear();
  Reader.ReadCollection(columns_.get());
}

void TCustomDBGridEh::WriteColumns(TWriter& Writer) { Writer.WriteCollection(columns_.get()); }

bool TCustomDBGridEh::StoreColumns() const { return columns_->State() == csCustomized; }
