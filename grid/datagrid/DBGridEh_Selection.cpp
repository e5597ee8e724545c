// The grid's selection and the list of selected records.
#include <algorithm>

#include "grid/datagrid/DBGridEh.h"
#include "grid/toolkit/GridLibVCL.h"
#include "platform/gui/ScrollBars.h"

namespace {

TDataSet* ActiveDataSet(TCustomDBGridEh* Grid) {
  TGridDataLinkEh* link = Grid->DataLink();
  if (link == nullptr || !link->Active()) return nullptr;
  return link->DataSet();
}

// Calls F(row, bookmark) for each record in the link's buffer, restoring the
// active record afterwards.
template <class F>
void WalkBuffer(TGridDataLinkEh* Link, F&& Each) {
  const int saved = Link->ActiveRecord();
  struct Restore {
    TGridDataLinkEh* link;
    int rec;
    ~Restore() { link->SetActiveRecord(rec); }
  } restore{Link, saved};
  TDataSet* ds = Link->DataSet();
  for (int i = 0; i < Link->RecordCount(); ++i) {
    Link->SetActiveRecord(i);
    if (!Each(i, ds->GetBookmark())) break;
  }
}

// The first buffered row not before Top and the last not after Bottom
// (-1 when there is none).
void BufferRowsBetween(TGridDataLinkEh* Link, const TBookmark& Top, const TBookmark& Bottom, int& TopRow,
                       int& BottomRow) {
  TDataSet* ds = Link->DataSet();
  TopRow = BottomRow = -1;
  WalkBuffer(Link, [&](int Row, const TBookmark& B) {
    if (TopRow < 0 && DataSetCompareBookmarks(ds, B, Top) >= 0) TopRow = Row;
    if (DataSetCompareBookmarks(ds, B, Bottom) <= 0) BottomRow = Row;
    return true;
  });
}

// Holds the grid's update lock for a scope.
struct TUpdateLockEh {
  TCustomDBGridEh* grid;
  explicit TUpdateLockEh(TCustomDBGridEh* Grid) : grid(Grid) { grid->BeginUpdate(); }
  ~TUpdateLockEh() { grid->EndUpdate(); }
};

const TRect kNoRect{-1, -1, -1, -1};

}  // namespace

// ---------------------------------------------------------------------------
// TBookmarkListEh

TBookmarkListEh::TBookmarkListEh(TCustomDBGridEh* Grid) : grid_(Grid), list_(std::make_unique<TStringList>()) {
  list_->SetOnChange([this](TObject* Sender) { ListChanged(Sender); });
}

TBookmarkListEh::~TBookmarkListEh() {
  list_->SetOnChange(nullptr);
  list_->Clear();
}

void TBookmarkListEh::ListChanged(TObject*) { cache_index_ = -1; }

int TBookmarkListEh::Compare(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  TDataSet* ds = grid_->DataLink() ? grid_->DataLink()->DataSet() : nullptr;
  return DataSetCompareBookmarks(ds, Bookmark1, Bookmark2);
}

bool TBookmarkListEh::Find(const TBookmark& Bookmark, int& Index) {
  if (cache_index_ >= 0 && Bookmark == cache_) {
    Index = cache_index_;
    return cache_find_;
  }
  bool found = false;
  int low = 0, high = Count() - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const int c = Compare(list_->Get(mid), Bookmark);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        low = mid;
      }
    }
  }
  Index = low;
  cache_ = Bookmark;
  cache_find_ = found;
  cache_index_ = low;
  return found;
}

int TBookmarkListEh::IndexOf(const TBookmark& Bookmark) {
  int i = -1;
  return Find(Bookmark, i) ? i : -1;
}

TBookmark TBookmarkListEh::CurrentBookmark() {
  if (!linked_) RaiseGridError("Cannot perform this operation on a closed dataset");
  return grid_->DataLink()->DataSet()->GetBookmark();
}

bool TBookmarkListEh::CurrentRowSelected() {
  const TBookmark b = CurrentBookmark();
  int i = -1;
  return Find(b, i);
}

void TBookmarkListEh::SetCurrentRowSelected(bool Value) {
  const TBookmark b = CurrentBookmark();
  int i = -1;
  if (Find(b, i) == Value) return;
  if (Value) list_->Insert(i, b);
  else list_->Delete(i);
  InvalidateGridRow(grid_, grid_->Row());
  TDBGridEhSelection* sel = grid_->Selection();
  if (sel == nullptr) return;
  if (sel->SelectionType() != gstRecordBookmarks && Count() > 0) {
    // Another kind gives way to the records, which stay.
    sel->Rect()->Clear();
    sel->Columns()->Clear();
    sel->SetSelectionType(gstRecordBookmarks);
  }
  sel->UpdateState();
}

void TBookmarkListEh::Clear() {
  if (Count() == 0) return;
  list_->Clear();
  if (grid_->Selection() != nullptr) grid_->Selection()->UpdateState();
  grid_->Invalidate();
}

void TBookmarkListEh::Delete() {
  TDataSet* ds = ActiveDataSet(grid_);
  if (ds == nullptr) return;
  ds->DisableControls();
  try {
    for (int i = Count() - 1; i >= 0; --i) {
      ds->GotoBookmark(list_->Get(i));
      ds->Delete();
      list_->Delete(i);
    }
  } catch (...) {
    ds->EnableControls();
    if (grid_->Selection() != nullptr) grid_->Selection()->UpdateState();
    throw;
  }
  ds->EnableControls();
  if (grid_->Selection() != nullptr) grid_->Selection()->UpdateState();
}

void TBookmarkListEh::LinkActive(bool Value) {
  Clear();
  linked_ = Value;
}

TRect TBookmarkListEh::SelectionRect() {
  TGridDataLinkEh* link = grid_->DataLink();
  if (Count() == 0 || ActiveDataSet(grid_) == nullptr) return kNoRect;
  int first = -1, last = -1;
  WalkBuffer(link, [&](int Row, const TBookmark& B) {
    if (IndexOf(B) >= 0) {
      if (first < 0) first = Row;
      last = Row;
    }
    return true;
  });
  if (first < 0) return kNoRect;
  return TRect{0, grid_->TitleOffset() + first, grid_->ColCount() - 1, grid_->TitleOffset() + last};
}

// ---------------------------------------------------------------------------
// TDBGridEhSelectionRect

TDataSet* TDBGridEhSelectionRect::CheckDataSet(const char* Where) {
  TDataSet* ds = ActiveDataSet(grid_);
  if (ds == nullptr) RaiseGridError(Where);
  return ds;
}

TBookmark TDBGridEhSelectionRect::TopRow() {
  TDataSet* ds = CheckDataSet("Error in TDBGridEhSelectionRect.GetTopRow");
  return DataSetCompareBookmarks(ds, anchor_row_, shift_row_) <= 0 ? anchor_row_ : shift_row_;
}

TBookmark TDBGridEhSelectionRect::BottomRow() {
  TDataSet* ds = CheckDataSet("Error in TDBGridEhSelectionRect.GetBottomRow");
  return DataSetCompareBookmarks(ds, anchor_row_, shift_row_) <= 0 ? shift_row_ : anchor_row_;
}

int TDBGridEhSelectionRect::LeftCol() {
  CheckDataSet("Error in TDBGridEhSelectionRect.GetLeftCol");
  return std::min(anchor_col_, shift_col_);
}

int TDBGridEhSelectionRect::RightCol() {
  CheckDataSet("Error in TDBGridEhSelectionRect.GetRightCol");
  return std::max(anchor_col_, shift_col_);
}

bool TDBGridEhSelectionRect::DataCellSelected(int DataCol, const TBookmark& Bookmark) {
  TDataSet* ds = CheckDataSet("Error in function TDBGridEhSelectionRect.CellSelected");
  if (anchor_col_ < 0 || shift_col_ < 0) return false;
  if (DataCol < LeftCol() || DataCol > RightCol()) return false;
  return DataSetCompareBookmarks(ds, TopRow(), Bookmark) <= 0 && DataSetCompareBookmarks(ds, Bookmark, BottomRow()) <= 0;
}

TRect TDBGridEhSelectionRect::VisiblePixels(int Col1, const TBookmark& Row1, int Col2, const TBookmark& Row2) {
  TDataSet* ds = ActiveDataSet(grid_);
  if (ds == nullptr || Col1 < 0 || Col2 < 0) return TRect{};
  TGridDataLinkEh* link = grid_->DataLink();
  if (link->RecordCount() == 0) return TRect{};
  if (Col1 > Col2) SwapInts(Col1, Col2);
  TBookmark top = Row1, bottom = Row2;
  if (DataSetCompareBookmarks(ds, top, bottom) > 0) std::swap(top, bottom);
  int top_row = -1, bottom_row = -1;
  BufferRowsBetween(link, top, bottom, top_row, bottom_row);
  // The part before or beyond the buffer is cut at its edges; a rectangle
  // wholly outside the buffer shows nothing.
  if (top_row < 0 || bottom_row < 0 || top_row > bottom_row) return TRect{};
  return grid_->BoxRect(grid_->DataToRawColumn(Col1), grid_->TitleOffset() + top_row, grid_->DataToRawColumn(Col2),
                        grid_->TitleOffset() + bottom_row);
}

namespace {

bool RectEmpty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

// Up to four strips covering what differs between Old and New.
std::vector<TRect> RectDifference(const TRect& Old, const TRect& New) {
  std::vector<TRect> out;
  if (RectEmpty(Old) && RectEmpty(New)) return out;
  const bool overlap = !RectEmpty(Old) && !RectEmpty(New) && Old.Left < New.Right && New.Left < Old.Right &&
                       Old.Top < New.Bottom && New.Top < Old.Bottom;
  if (!overlap) {
    if (!RectEmpty(Old)) out.push_back(Old);
    if (!RectEmpty(New)) out.push_back(New);
    return out;
  }
  const int l = std::min(Old.Left, New.Left), r = std::max(Old.Right, New.Right);
  const int t = std::min(Old.Top, New.Top), b = std::max(Old.Bottom, New.Bottom);
  const int il = std::max(Old.Left, New.Left), ir = std::min(Old.Right, New.Right);
  const int it = std::max(Old.Top, New.Top), ib = std::min(Old.Bottom, New.Bottom);
  auto add = [&](TRect R) {
    if (!RectEmpty(R)) out.push_back(R);
  };
  if (Old.Top != New.Top) add(TRect{l, t, r, it});
  if (Old.Bottom != New.Bottom) add(TRect{l, ib, r, b});
  if (Old.Left != New.Left) add(TRect{l, it, il, ib});
  if (Old.Right != New.Right) add(TRect{ir, it, r, ib});
  return out;
}

}  // namespace

void TDBGridEhSelectionRect::Select(int DataCol, const TBookmark& Bookmark, bool AddSel) {
  TDBGridEhSelection* sel = grid_->Selection();
  if (sel->SelectionType() != gstRectangle) sel->Clear();
  const int old_anchor_col = anchor_col_, old_shift_col = shift_col_;
  const TBookmark old_anchor_row = anchor_row_, old_shift_row = shift_row_;
  if (anchor_col_ < 0 || anchor_row_.empty() || !AddSel) {
    anchor_col_ = DataCol;
    anchor_row_ = Bookmark;
  }
  shift_col_ = DataCol;
  shift_row_ = Bookmark;
  TDataSet* ds = ActiveDataSet(grid_);
  const bool one_cell =
      anchor_col_ == shift_col_ && (ds == nullptr || DataSetCompareBookmarks(ds, anchor_row_, shift_row_) == 0);
  const bool was_rect = sel->SelectionType() == gstRectangle;
  if (one_cell) {
    if (was_rect) sel->SetSelectionType(gstNon);
  } else {
    sel->SetSelectionType(gstRectangle);
  }
  if (!grid_->HandleAllocated()) return;
  const TRect old_px = was_rect ? VisiblePixels(old_anchor_col, old_anchor_row, old_shift_col, old_shift_row) : TRect{};
  const TRect new_px = one_cell ? TRect{} : VisiblePixels(anchor_col_, anchor_row_, shift_col_, shift_row_);
  for (const TRect& r : RectDifference(old_px, new_px)) grid_->InvalidateSelectionPixels(r);
}

void TDBGridEhSelectionRect::Clear() {
  anchor_col_ = shift_col_ = -1;
  anchor_row_.clear();
  shift_row_.clear();
  grid_->Invalidate();
}

TRect TDBGridEhSelectionRect::SelectionToGridRect() {
  TDataSet* ds = ActiveDataSet(grid_);
  if (ds == nullptr || anchor_col_ < 0) return kNoRect;
  const TBookmark top = TopRow(), bottom = BottomRow();
  int top_row = -1, bottom_row = -1;
  BufferRowsBetween(grid_->DataLink(), top, bottom, top_row, bottom_row);
  if (top_row < 0 || bottom_row < 0) return kNoRect;
  return TRect{grid_->DataToRawColumn(LeftCol()), grid_->TitleOffset() + top_row, grid_->DataToRawColumn(RightCol()),
               grid_->TitleOffset() + bottom_row};
}

// ---------------------------------------------------------------------------
// TDBGridEhSelectionCols

TDBGridEhSelectionCols::TDBGridEhSelectionCols(TCustomDBGridEh* Grid)
    : grid_(Grid), shift_changed_(std::make_unique<TColumnsEhList>()) {}

TDBGridEhSelectionCols::~TDBGridEhSelectionCols() = default;

void TDBGridEhSelectionCols::Clear() {
  for (int i = 0; i < Count(); ++i) grid_->InvalidateColumn(Items(i)->Index());
  TColumnsEhList::Clear();
  shift_changed_->Clear();
  anchor_ = shift_col_ = nullptr;
}

void TDBGridEhSelectionCols::Add(TColumnEh* Column) {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Index() > Column->Index()) {
      Insert(i, Column);
      return;
    }
  TColumnsEhList::Add(Column);
}

void TDBGridEhSelectionCols::Select(TColumnEh* Column, bool AddSel) {
  TDBGridEhSelection* sel = grid_->Selection();
  if (sel->SelectionType() != gstColumns) sel->Clear();
  if (!AddSel) Clear();
  if (IndexOf(Column) < 0) Add(Column);
  anchor_ = shift_col_ = Column;
  shift_changed_->Clear();
  sel->SetSelectionType(gstColumns);
  grid_->InvalidateColumn(Column->Index());
}

void TDBGridEhSelectionCols::InvertSelect(TColumnEh* Column) {
  TDBGridEhSelection* sel = grid_->Selection();
  if (sel->SelectionType() != gstColumns) sel->Clear();
  if (IndexOf(Column) >= 0) Remove(Column);
  else Add(Column);
  anchor_ = shift_col_ = Column;
  shift_changed_->Clear();
  grid_->InvalidateColumn(Column->Index());
  sel->SetSelectionType(Count() > 0 ? gstColumns : gstNon);
}

void TDBGridEhSelectionCols::SelectShift(TColumnEh* Column) {
  TDBGridEhSelection* sel = grid_->Selection();
  if (sel->SelectionType() != gstColumns) sel->Clear();
  if (anchor_ == nullptr) {
    Select(Column, false);
    return;
  }
  TDBGridColumnsEh* cols = grid_->Columns();
  const bool anchor_selected = IndexOf(anchor_) >= 0;
  const int a = anchor_->Index();
  int from = shift_col_ != nullptr ? shift_col_->Index() : a;
  const int to = Column->Index();
  // Grow: the column reached joins the extension; shrink: the column left
  // returns to its state before the extension.
  auto grow = [&](TColumnEh* c) {
    if (c == anchor_) return;
    if (anchor_selected) {
      if (c->Visible() && IndexOf(c) < 0) {
        Add(c);
        shift_changed_->Add(c);
        grid_->InvalidateColumn(c->Index());
      }
    } else if (IndexOf(c) >= 0) {
      Remove(c);
      shift_changed_->Add(c);
      grid_->InvalidateColumn(c->Index());
    }
  };
  auto shrink = [&](TColumnEh* c) {
    if (c == anchor_ || shift_changed_->IndexOf(c) < 0) return;
    if (anchor_selected) Remove(c);
    else Add(c);
    shift_changed_->Remove(c);
    grid_->InvalidateColumn(c->Index());
  };
  while (from != to) {
    const int step = to > from ? 1 : -1;
    const bool away = (from - a) * step >= 0;  // moving away from the anchor
    if (away) grow(cols->Items(from + step));
    else shrink(cols->Items(from));
    from += step;
  }
  shift_col_ = Column;
  sel->SetSelectionType(Count() > 0 ? gstColumns : gstNon);
}

void TDBGridEhSelectionCols::Refresh() {
  TDBGridColumnsEh* cols = grid_->Columns();
  for (int i = Count() - 1; i >= 0; --i) {
    bool present = false;
    for (int j = 0; j < cols->Count() && !present; ++j) present = cols->Items(j) == Items(i);
    if (!present) {
      if (shift_changed_->IndexOf(Items(i)) >= 0) shift_changed_->Remove(Items(i));
      if (Items(i) == anchor_) anchor_ = nullptr;
      if (Items(i) == shift_col_) shift_col_ = nullptr;
      Remove(Items(i));
    }
  }
  std::vector<TColumnEh*> v;
  for (int i = 0; i < Count(); ++i) v.push_back(Items(i));
  std::stable_sort(v.begin(), v.end(), [](TColumnEh* x, TColumnEh* y) { return x->Index() < y->Index(); });
  for (int i = 0; i < Count(); ++i) SetItems(i, v[static_cast<size_t>(i)]);
}

TRect TDBGridEhSelectionCols::SelectionToGridRect() {
  if (Count() == 0) return kNoRect;
  return TRect{grid_->DataToRawColumn(Items(0)->Index()), 0, grid_->DataToRawColumn(Items(Count() - 1)->Index()),
               grid_->RowCount()};
}

// ---------------------------------------------------------------------------
// TDBGridEhSelection

TDBGridEhSelection::TDBGridEhSelection(TCustomDBGridEh* Grid)
    : grid_(Grid),
      columns_(std::make_unique<TDBGridEhSelectionCols>(Grid)),
      rect_(std::make_unique<TDBGridEhSelectionRect>(Grid)) {}

TDBGridEhSelection::~TDBGridEhSelection() = default;

TBookmarkListEh* TDBGridEhSelection::Rows() const { return grid_->SelectedRows(); }

void TDBGridEhSelection::SetSelectionType(TDBGridEhSelectionType Value) {
  if (type_ == Value) return;
  type_ = Value;
  grid_->UpdateEditors();
}

void TDBGridEhSelection::Clear() {
  switch (type_) {
    case gstRecordBookmarks:
      if (Rows() != nullptr) Rows()->Clear();
      break;
    case gstRectangle: rect_->Clear(); break;
    case gstColumns: columns_->Clear(); break;
    case gstAll: grid_->Invalidate(); break;
    default: break;
  }
  SetSelectionType(gstNon);
  if (grid_->Options().Contains(dgAlwaysShowEditor) && grid_->HandleAllocated() && grid_->CanEditShow())
    grid_->ShowEditor();
}

void TDBGridEhSelection::SelectAll() {
  if (type_ == gstAll) return;
  Clear();
  SetSelectionType(gstAll);
  grid_->Invalidate();
}

void TDBGridEhSelection::LinkActive(bool Active) {
  if (Rows() != nullptr) Rows()->LinkActive(Active);
  Clear();
}

void TDBGridEhSelection::UpdateState() {
  if ((type_ == gstRecordBookmarks && (Rows() == nullptr || Rows()->Count() == 0)) ||
      (type_ == gstColumns && columns_->Count() == 0)) {
    SetSelectionType(gstNon);
    grid_->Invalidate();
  }
}

bool TDBGridEhSelection::DataCellSelected(int DataCol, const TBookmark& Bookmark) {
  switch (type_) {
    case gstRecordBookmarks: return Rows() != nullptr && Rows()->IndexOf(Bookmark) >= 0;
    case gstRectangle: return DataCol >= 0 && rect_->DataCellSelected(DataCol, Bookmark);
    case gstColumns:
      if (DataCol < 0) return false;
      for (int i = 0; i < columns_->Count(); ++i)
        if (columns_->Items(i)->Index() == DataCol) return true;
      return false;
    case gstAll: return true;
    default: return false;
  }
}

TRect TDBGridEhSelection::SelectionToGridRect() {
  switch (type_) {
    case gstRecordBookmarks: return Rows() != nullptr ? Rows()->SelectionRect() : kNoRect;
    case gstRectangle: return rect_->SelectionToGridRect();
    case gstColumns: return columns_->SelectionToGridRect();
    case gstAll: return TRect{0, 0, grid_->ColCount(), grid_->RowCount()};
    default: return kNoRect;
  }
}

// ---------------------------------------------------------------------------
// The grid's selection services

void TCustomDBGridEh::InvalidateSelectionPixels(const TRect& R) {
  if (HandleAllocated()) InvalidateRect(Handle(), &R, false);
}

void TCustomDBGridEh::SetAllowedSelections(TDBGridEhAllowedSelections Value) {
  allowed_selections_ = Value;
  if (selection_ && selection_->SelectionType() != gstNon && !Value.Contains(selection_->SelectionType()))
    selection_->Clear();
}

bool TCustomDBGridEh::CanSelectType(TDBGridEhSelectionType Value) {
  if (!options_.Contains(dgMultiSelect) || !allowed_selections_.Contains(Value)) return false;
  if ((Value == gstRectangle || Value == gstColumns) && options_.Contains(dgRowSelect)) return false;
  return true;
}

void TCustomDBGridEh::UpdateEditors() {
  if (!HandleAllocated()) return;
  if (selection_ && selection_->SelectionType() != gstNon && options_eh_.Contains(dghClearSelection)) HideEditor();
}

void TCustomDBGridEh::SelectingMoveBy(bool Select, int Distance, bool BookmarkMode, bool ToEnd) {
  TDataSet* ds = ActiveDataSet(this);
  if (ds == nullptr) return;
  if (!BookmarkMode && !options_.Contains(dgRowSelect)) {
    select_gesture_ = false;
    {
      TUpdateLockEh lock(this);
      const bool selecting = Select && CanSelectType(gstRectangle);
      if (selecting && selection_->SelectionType() != gstRectangle)
        selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), false);
      if (ToEnd) {
        if (Distance < 0) ds->First();
        else ds->Last();
      } else {
        ds->MoveBy(Distance);
      }
      if (selecting) selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), true);
    }
    if (layout_lock_ == 0) Update();
    return;
  }
  const bool selecting = Select && CanSelectType(gstRecordBookmarks);
  const bool toggle = GetKeyState(VK_CONTROL) < 0 || !options_eh_.Contains(dghClearSelection);
  const bool multi = options_.Contains(dgMultiSelect);
  const int step = Distance < 0 ? -1 : 1;
  {
    TUpdateLockEh lock(this);
    for (int n = 0; ToEnd || n < (Distance < 0 ? -Distance : Distance); ++n) {
      bool select_reached = false;
      if (multi) {
        if (!selecting) {
          selection_->Clear();
          select_gesture_ = false;
        } else {
          if (!select_gesture_) {
            select_anchor_ = ds->GetBookmark();
            select_anchor_was_selected_ = selected_rows_->CurrentRowSelected();
            selected_rows_->SetCurrentRowSelected(toggle ? !select_anchor_was_selected_ : true);
            select_gesture_ = true;
          }
          const int c = DataSetCompareBookmarks(ds, ds->GetBookmark(), select_anchor_);
          if ((step > 0 && c < 0) || (step < 0 && c > 0)) {
            // Back towards the anchor: the record left returns.
            selected_rows_->SetCurrentRowSelected(toggle ? select_anchor_was_selected_ : false);
          } else {
            select_reached = true;
          }
        }
      }
      if (ds->MoveBy(step) == 0) break;
      if (select_reached) selected_rows_->SetCurrentRowSelected(toggle ? !select_anchor_was_selected_ : true);
    }
  }
  if (layout_lock_ == 0) Update();
}
