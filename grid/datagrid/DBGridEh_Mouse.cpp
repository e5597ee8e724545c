// DBGridEh: mouse input (press, move, release, automatic scroll, frozen
// column sizing, title buttons), the messages and events of the grid, the
// writing of edited text to fields, footer values and cell tooltips.
#include <algorithm>
#include <cstdlib>

#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEh_Internal.h"
#include "platform/gui/Cursors.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Hints.h"
#include "platform/gui/NonClient.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Column-selection band at the bottom of a title cell.
constexpr int kColSelectBand = 7;
// Pixels a pressed title may move before it becomes a column move.
constexpr int kTitleMoveSlack = 3;

struct TGridUpdateGuard {
  explicit TGridUpdateGuard(TCustomDBGridEh* Grid) : grid(Grid) { grid->BeginUpdate(); }
  ~TGridUpdateGuard() { grid->EndUpdate(); }
  TGridUpdateGuard(const TGridUpdateGuard&) = delete;
  TGridUpdateGuard& operator=(const TGridUpdateGuard&) = delete;
  TCustomDBGridEh* grid;
};

bool IsCheckOrImageKind(TColumnEh* Column) {
  const TColumnCellKindEh k = Column->GetColumnType();
  return k == cckCheckBoxes || k == cckKeyImageList;
}

bool IsFloatKind(TFieldType T) { return T == ftFloat || T == ftCurrency || T == ftBCD; }
bool IsNumericKind(TFieldType T) {
  return IsFloatKind(T) || T == ftInteger || T == ftSmallint || T == ftWord || T == ftLargeint || T == ftAutoInc;
}

// A footer's number in the field's way: the footer's format, the field's
// format, else currency or a plain number.
String FormatFooterNumber(double V, const String& FooterFormat, TField* Field) {
  if (!FooterFormat.empty()) return FormatFloat(FooterFormat, V);
  auto* nf = dynamic_cast<TNumericField*>(Field);
  if (nf != nullptr && !nf->DisplayFormat().empty()) return FormatFloat(nf->DisplayFormat(), V);
  if (Field != nullptr && IsFloatKind(Field->DataType())) {
    bool currency = Field->DataType() == ftCurrency;
    if (auto* ff = dynamic_cast<TFloatField*>(Field)) currency = currency || ff->Currency();
    if (auto* bf = dynamic_cast<TBCDField*>(Field)) currency = currency || bf->Currency();
    return currency ? FloatToStrF(V, ffCurrency, 15, FormatSettings.CurrencyDecimals) : FloatToStr(V);
  }
  return FloatToStr(V);
}

}  // namespace

// ---------------------------------------------------------------------------
// Geometry

int TCustomDBGridEh::LastDataRow() const { return GetDataCellsRect().Bottom; }

bool TCustomDBGridEh::PressInDataCells(TGridCoord Cell) const {
  return Cell.X >= indicator_offset_ && Cell.Y >= title_offset_ && Cell.Y <= LastDataRow() && Cell.X < ColCount();
}

TRect TCustomDBGridEh::DataCellsPixels() const {
  const TRect c = GetDataCellsRect();
  if (c.Right < c.Left || c.Bottom < c.Top) return TRect{};
  return BoxRect(c.Left, c.Top, c.Right, c.Bottom);
}

bool TCustomDBGridEh::IsTitleButtonBand(int RawCol, int Y) {
  // With a multi-level title only the column's own lowest band is its button.
  if (!use_multi_title_ || !options_.Contains(dgTitles)) return true;
  const TRect r = CellRect(RawCol, 0);
  const int band = std::max(1, DefaultRowHeight());
  return Y >= r.Bottom - band;
}

THintWindowClass TCustomDBGridEh::ToolTipsWindowClass() {
  return &MakeHintWindow<TToolTipsWindow>;
}

// ---------------------------------------------------------------------------
// Selection kinds, sizing state and cursors

bool TCustomDBGridEh::CalcFrozenSizing(int X, int Y, TGridSizing& Sizing) {
  if (!TCustomGrid::Options().Contains(goColSizing)) return false;
  const int line = layout_.LineWidthH();
  const int vline = layout_.LineWidthV();
  int titles_bottom = 0;
  for (int i = 0; i < title_offset_ && i < RowCount(); ++i) titles_bottom += RowHeights(i) + vline;
  if (Y < 0 || Y >= titles_bottom) return false;
  const int band = line < kColSelectBand ? (kColSelectBand - line) / 2 : -1;
  if (band < 0) return false;
  int x = 0;
  for (int i = 0; i < indicator_offset_ && i < ColCount(); ++i) x += ColWidths(i) + line;
  for (int i = indicator_offset_; i < FixedCols() && i < ColCount(); ++i) {
    x += ColWidths(i) + line;
    const int border = x - line / 2 - (line > 0 ? 1 : 0);
    if (X >= border - band && X <= border + band && (x <= ClientWidth() || border <= ClientWidth())) {
      Sizing.State = gsColSizing;
      Sizing.Index = i;
      Sizing.Pos = border;
      Sizing.Offset = border - X;
      return true;
    }
  }
  return false;
}

TGridSizing TCustomDBGridEh::CalcSizingState(int X, int Y) {
  TGridSizing s = TCustomGrid::CalcSizingState(X, Y);
  if (s.State == gsColSizing) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (s.Index > info.Horz.LastFullVisibleCell) s = TGridSizing{};
  } else if (s.State == gsRowSizing) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int ind_right = 0;
    for (int i = 0; i < indicator_offset_ && i < ColCount(); ++i) ind_right += ColWidths(i) + layout_.LineWidthH();
    if (X >= ind_right) s = TGridSizing{};
  }
  return s;
}

void TCustomDBGridEh::WMSetCursor(TMessage& Message) {
  const bool designing = IsDesigning();
  if (designing && (DataSource() == nullptr ||
                    (columns_->State() != csCustomized && (data_link_->DataSet() == nullptr || !data_link_->Active())))) {
    ::SetCursor(Screen->Cursors(crArrow));
    Message.Result = 1;
    return;
  }
  if (LOWORD(static_cast<uintptr_t>(Message.LParam)) != HTCLIENT) {
    TCustomGrid::Dispatch(Message);
    return;
  }
  const TPoint p = ScreenToClient(GetCursorPos());
  TGridMouseStateEh state = mouse_state_;
  if (GridState() == gsNormal && !tracking_ && state == msNormal) {
    TGridSizing s;
    if (CalcFrozenSizing(p.X, p.Y, s)) state = msFrozenColSizing;
  }
  if (state == msFrozenColSizing) {
    ::SetCursor(Screen->Cursors(crHSplit));
    Message.Result = 1;
    return;
  }
  const TCursor c = HitCursor(p.X, p.Y);
  if (c != crDefault && Screen->Cursors(c) != nullptr) {
    ::SetCursor(Screen->Cursors(c));
    Message.Result = 1;
    return;
  }
  TCustomGrid::Dispatch(Message);
}

TCursor TCustomDBGridEh::HitCursor(int X, int Y) {
  if (IsDesigning() || !data_link_->Active() || CalcSizingState(X, Y).State != gsNormal ||
      !options_.Contains(dgMultiSelect))
    return crDefault;
  const TGridCoord cell = MouseCoord(X, Y);
  if (cell.X < 0 || cell.Y < 0) return crDefault;
  if (cell.X < indicator_offset_ && cell.Y >= title_offset_ && cell.Y <= LastDataRow()) {
    TDataSet* ds = data_link_->DataSet();
    if (!(ds->Bof() && ds->Eof()) && allowed_selections_.Contains(gstRecordBookmarks))
      return BiDiMode() == bdRightToLeft ? crLeftCurEh : crRightCurEh;
  } else if (cell.Y == 0 && options_.Contains(dgTitles) && cell.X >= indicator_offset_ &&
             !options_.Contains(dgRowSelect) && allowed_selections_.Contains(gstColumns)) {
    const TRect r = CellRect(cell.X, cell.Y);
    if (r.Bottom - r.Top < kColSelectBand || Y >= r.Bottom - kColSelectBand) return crDownCurEh;
  }
  return crDefault;
}

// ---------------------------------------------------------------------------
// Timer 1 and tracking

void TCustomDBGridEh::StartTimer(int Interval) {
  Interval = std::max(Interval, kMinAutoScrollInterval);
  if (!HandleAllocated()) return;
  if (timer1_interval_ == Interval) return;
  if (timer1_interval_ >= 0) KillTimer(Handle(), kAutoScrollTimerId);
  SetTimer(Handle(), kAutoScrollTimerId, static_cast<Cardinal>(Interval));
  timer1_interval_ = Interval;
}

void TCustomDBGridEh::StopTimer() {
  if (timer1_interval_ < 0) return;
  if (HandleAllocated()) KillTimer(Handle(), kAutoScrollTimerId);
  timer1_interval_ = -1;
}

void TCustomDBGridEh::StopTracking() {
  if (pressed_title_col_ >= 0) {
    if (HandleAllocated()) InvalidateCell(pressed_title_col_, 0);
    pressed_title_col_ = -1;
    title_looks_pressed_ = false;
  }
  tracking_ = rect_tracking_ = row_tracking_ = false;
  StopTimer();
  if (MouseCapture()) SetMouseCapture(false);
}

void TCustomDBGridEh::WMTimer(TMessage& Message) {
  if (Message.WParam != kAutoScrollTimerId) return;
  if (row_tracking_ || rect_tracking_ || mouse_state_ == msColSelecting) TimedAutoScroll();
}

void TCustomDBGridEh::TimedAutoScroll() {
  TDataSet* ds = data_link_->Active() ? data_link_->DataSet() : nullptr;
  const TRect dr = DataCellsPixels();
  const TPoint p = last_point_;
  if (mouse_state_ == msColSelecting) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    int interval;
    if (p.X >= dr.Right) {
      if (info.Horz.LastFullVisibleCell < ColCount() - 1) SetLeftCol(LeftCol() + 1);
      CalcDrawInfo(info);
      const int dc = info.Horz.LastFullVisibleCell - indicator_offset_;
      if (dc >= 0 && dc < columns_->Count()) selection_->Columns()->SelectShift(columns_->Items(dc));
      interval = 200 - 10 * (p.X - dr.Right);
    } else if (p.X < dr.Left) {
      if (LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      const int dc = LeftCol() - indicator_offset_;
      if (dc >= 0 && dc < columns_->Count()) selection_->Columns()->SelectShift(columns_->Items(dc));
      interval = 200 - 10 * (dr.Left - p.X);
    } else {
      return;
    }
    StartTimer(interval);
    return;
  }
  int vdir = 0, hdir = 0, vdist = 0, hdist = 0;
  if (p.Y < dr.Top) vdir = -1, vdist = dr.Top - p.Y;
  else if (p.Y >= dr.Bottom) vdir = 1, vdist = p.Y - dr.Bottom + 1;
  if (p.X < dr.Left) hdir = -1, hdist = dr.Left - p.X;
  else if (p.X >= dr.Right) hdir = 1, hdist = p.X - dr.Right;
  const int dist = std::max(vdist, hdist);
  if (vdir == 0 && hdir == 0) {
    StopTimer();
    return;
  }
  const int step = std::min(dist / 6, 8);
  {
    TGridUpdateGuard lock(this);
    if (ds != nullptr && vdir != 0 && mouse_state_ != msRectSelecting && step > 0)
      SelectingMoveBy(last_shift_.Contains(ssLeft), vdir * step, true, false);
    if (hdir != 0 && rect_tracking_) {
      if (hdir < 0 && LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      else if (hdir > 0 && LeftCol() < Layout().MaxTopLeft().X) SetLeftCol(LeftCol() + 1);
    }
    if (hdir != 0 && mouse_state_ != msRowSelecting) MoveCol(Col() + hdir, hdir, false);
    if (mouse_state_ == msRectSelecting && ds != nullptr) {
      if (vdir != 0 && step > 0) ds->MoveBy(vdir * step);
      selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), true);
    }
  }
  if (layout_lock_ == 0) Invalidate();
  StartTimer(200 - 15 * dist);
}

void TCustomDBGridEh::TimedScroll(TGridScrollDirections Direction) {
  if (!data_link_->Active()) {
    TCustomGrid::TimedScroll(Direction);
    return;
  }
  TDataSet* ds = data_link_->DataSet();
  if (Direction.Contains(sdUp)) ds->MoveBy(-data_link_->ActiveRecord() - 1);
  else if (Direction.Contains(sdDown))
    ds->MoveBy(data_link_->RecordCount() - data_link_->ActiveRecord());
  TGridScrollDirections rest = Direction;
  rest.Exclude(sdUp);
  rest.Exclude(sdDown);
  if (!rest.Empty()) TCustomGrid::TimedScroll(rest);
}

// ---------------------------------------------------------------------------
// Columns

void TCustomDBGridEh::MoveCol(int RawCol, int Direction, bool Select) {
  TDataSet* ds = data_link_->Active() ? data_link_->DataSet() : nullptr;
  const bool rect = Select && ds != nullptr && !options_.Contains(dgRowSelect) && CanSelectType(gstRectangle);
  if (rect && selection_->SelectionType() != gstRectangle)
    selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), false);
  if (data_link_->Active()) data_link_->UpdateRecord();
  if (ColCount() <= indicator_offset_) return;
  RawCol = std::clamp(RawCol, indicator_offset_, ColCount() - 1);
  if (Direction == 1) {
    while (RawCol < ColCount() && Layout().IsHiddenCol(RawCol)) ++RawCol;
    if (RawCol >= ColCount()) return;
  } else if (Direction == -1) {
    while (RawCol >= indicator_offset_ && Layout().IsHiddenCol(RawCol)) --RawCol;
    if (RawCol < indicator_offset_) return;
  }
  const int old = Col();
  if (RawCol != old) {
    if (!in_col_exit_) {
      in_col_exit_ = true;
      try {
        ColExit();
      } catch (...) {
        in_col_exit_ = false;
        throw;
      }
      in_col_exit_ = false;
      if (Col() != old) return;
    }
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    if (!options_.Contains(dgRowSelect)) TCustomGrid::SetCol(RawCol);
    TColumnEh* c = SelectedColumn();
    if (options_.Contains(dgAlwaysShowEditor) && c != nullptr && !IsCheckOrImageKind(c) && !filter_editing_)
      ShowEditor();
    ColEnter();
  }
  if (rect) selection_->Rect()->Select(SelectedIndex(), ds->GetBookmark(), true);
  inc_searching_ = false;
}

void TCustomDBGridEh::SetCol(int Value) {
  if (Value >= indicator_offset_ && Value < FixedCols() && Value < ColCount()) {
    // A frozen column becomes current without the base grid's scrolling.
    if (Value == Col()) return;
    layout_.Current.X = Value;
    layout_.Anchor.X = Value;
    InvalidateEditor();
    Invalidate();
    return;
  }
  TCustomGrid::SetCol(Value);
}

// ---------------------------------------------------------------------------
// Sizing line and live column sizing

void TCustomDBGridEh::DrawSizingLine() {
  // The platform paints the line in the next paint; a second call hides it.
  sizing_line_shown_ = !sizing_line_shown_;
  Invalidate();
}

void TCustomDBGridEh::ApplyTraceColSizing(int X) {
  if (sizing_index_ < 0 || sizing_index_ >= ColCount()) return;
  const int start = Layout().ColStart(sizing_index_);
  if (start < 0) return;
  const int width = X + sizing_offset_ - start;
  if (width <= 1 || width == ColWidths(sizing_index_)) return;
  if (auto_fit_col_widths_ && !IsDesigning()) {
    const int grown = GridWidth() - ColWidths(sizing_index_) + width;
    if (grown > ClientWidth()) return;
  }
  SetColWidths(sizing_index_, width);
}

// ---------------------------------------------------------------------------
// Press

void TCustomDBGridEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbRight) SetMouseCapture(true);
  click_cell_ = TGridCoord{-1, -1};
  press_point_ = TPoint{X, Y};
  last_point_ = press_point_;
  last_shift_ = Shift;
  if (!AcquireFocus()) {
    if (MouseCapture()) SetMouseCapture(false);
    return;
  }
  TGridCoord cell = MouseCoord(X, Y);
  if (filter_editing_ && PressInDataCells(cell)) HideFilterEditor();
  TColumnEh* column = cell.X >= indicator_offset_ && cell.X - indicator_offset_ < columns_->Count()
                          ? columns_->Items(cell.X - indicator_offset_)
                          : nullptr;

  // Double click: optimize a column's width or step a check-box value.
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    TGridSizing s;
    if (!CalcFrozenSizing(X, Y, s)) s = CalcSizingState(X, Y);
    bool optimized = false;
    if (s.State == gsColSizing && options_eh_.Contains(dghDblClickOptimizeColWidth)) {
      const int dc = s.Index - indicator_offset_;
      if (dc >= 0 && dc < columns_->Count()) {
        OptimizeColWidth(columns_->Items(dc));
        optimized = true;
      }
    } else if (column != nullptr && PressInDataCells(cell) && IsCheckOrImageKind(column) &&
               column->DblClickNextVal()) {
      column->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
    }
    if (!optimized) DblClick();
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }

  // Frozen-column border in the titles.
  TGridSizing frozen;
  if (Button == mbLeft && CalcFrozenSizing(X, Y, frozen)) {
    mouse_state_ = msFrozenColSizing;
    sizing_index_ = frozen.Index;
    sizing_pos_ = frozen.Pos;
    sizing_offset_ = frozen.Offset;
    sizing_line_shown_ = false;
    if (!options_eh_.Contains(dghTraceColSizing)) DrawSizingLine();
    return;
  }

  // The base grid's sizing borders.
  const TGridSizing base = CalcSizingState(X, Y);
  if (base.State != gsNormal) {
    if (data_link_->Active()) data_link_->UpdateRecord();
    if (!options_eh_.Contains(dghTraceColSizing) || Button == mbRight || base.State == gsRowSizing) {
      TCustomGrid::MouseDown(Button, Shift, X, Y);
    } else {
      HideEditor();
      sizing_index_ = base.Index;
      sizing_pos_ = base.Pos;
      sizing_offset_ = -base.Offset;
      grid_state_ = gsColSizing;
      trace_sizing_ = true;
    }
    return;
  }

  const bool titles = options_.Contains(dgTitles);
  const bool title_row = titles && cell.Y >= 0 && cell.Y < title_offset_ - (IsFilterRowVisible() ? 1 : 0);
  const bool own_band = column == nullptr || IsTitleButtonBand(cell.X, Y);

  // Column selection under the column-selection cursor.
  if (Button == mbLeft && HitCursor(X, Y) == crDownCurEh && column != nullptr) {
    InvalidateCol(cell.X);
    mouse_state_ = msColSelecting;
    StartTimer(60);
    if (Shift.Contains(ssShift)) {
      selection_->Columns()->SelectShift(column);
    } else if (Shift.Contains(ssCtrl)) {
      selection_->Columns()->InvertSelect(column);
    } else {
      Invalidate();
      selection_->Columns()->Select(column, false);
    }
    return;
  }

  // Title buttons; a right press on a title may move the column.
  if (title_row && column != nullptr && !IsDesigning() && own_band) {
    if (options_.Contains(dgColumnResize) && Button == mbRight) {
      right_press_as_left_ = true;
      Button = mbLeft;
    } else if (Button == mbLeft) {
      bool enabled = column->Title()->TitleButton();
      CheckButton(cell.X - indicator_offset_, column, enabled);
      if (enabled) {
        if (MouseCapture()) {
          tracking_ = true;
          pressed_title_col_ = cell.X;
          title_looks_pressed_ = true;
          InvalidateCell(cell.X, 0);
        }
        return;
      }
    }
  }

  // Titles: select all from the corner, else the base grid (moving, sizing).
  if ((IsDesigning() || options_.Contains(dgColumnResize)) && cell.Y >= 0 && cell.Y < title_offset_) {
    if (cell.X >= 0 && cell.X < indicator_offset_ && cell.Y == 0 && options_.Contains(dgMultiSelect) &&
        data_link_->Active() && allowed_selections_.Contains(gstAll)) {
      if (selection_->SelectionType() == gstNon) selection_->SelectAll();
      else selection_->Clear();
      InvalidateEditor();
    }
    if (data_link_->Active()) data_link_->UpdateRecord();
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }

  if (!data_link_->Active() || cell.X < 0 || cell.Y < 0 || cell.Y > LastDataRow()) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  DataAreaPress(Button, Shift, X, Y, cell);
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomDBGridEh::DataAreaPress(TMouseButton Button, TShiftState Shift, int X, int Y, TGridCoord Cell) {
  TDataSet* ds = data_link_->DataSet();
  TGridUpdateGuard lock(this);
  data_link_->UpdateRecord();
  HideEditor();
  const TGridCoord old_cell{Col(), Row()};
  const TBookmark old_bookmark = ds->GetBookmark();
  const bool multi = options_.Contains(dgMultiSelect);
  const bool row_select = options_.Contains(dgRowSelect);
  const bool indicator = Cell.X < indicator_offset_;
  const bool data_col = Cell.X >= indicator_offset_ && Cell.X - indicator_offset_ < columns_->Count();
  const bool ctrl = Shift.Contains(ssCtrl), shift = Shift.Contains(ssShift);
  const bool data_row = Cell.Y >= title_offset_ && Cell.Y <= LastDataRow();
  const bool extend_rows = shift && multi && (row_select || indicator);

  if (data_row && Cell.Y != Row() && !extend_rows) ds->MoveBy(Cell.Y - Row());
  if (data_col) MoveCol(Cell.X, 0, false);
  if (!MouseCapture()) return;

  const int dc = Cell.X - indicator_offset_;
  if (auto_drag_ && Button == mbLeft && !shift && data_col && IsCellSelected(Cell.X, Cell.Y, ds->GetBookmark(), dc)) {
    drag_pending_ = true;
    return;
  }

  bool rect_taken = false;
  if (PressInDataCells(Cell) && !(multi && row_select)) {
    tracking_ = rect_tracking_ = true;
    if (!ctrl && !shift && options_eh_.Contains(dghClearSelection)) {
      if (Button != mbRight || !IsCellSelected(Cell.X, Cell.Y, ds->GetBookmark(), dc)) selection_->Clear();
    }
    if (data_col && CanSelectType(gstRectangle) && Button == mbLeft && !(ds->Bof() && ds->Eof())) {
      if (!shift) {
        selection_->Rect()->Select(dc, ds->GetBookmark(), false);
      } else {
        if (selection_->SelectionType() != gstRectangle)
          selection_->Rect()->Select(old_cell.X - indicator_offset_, old_bookmark, false);
        selection_->Rect()->Select(dc, ds->GetBookmark(), true);
      }
      mouse_state_ = msRectSelecting;
      rect_taken = true;
    }
  }

  if (CanSelectType(gstRecordBookmarks) && !rect_taken) {
    bool extended = false;
    if (!shift || Cell.Y == old_cell.Y) {
      if (Button == mbRight) {
        // A right press keeps the selection for a context menu.
      } else if (!ctrl && options_eh_.Contains(dghClearSelection)) {
        selection_->Clear();
        selected_rows_->SetCurrentRowSelected(true);
      } else {
        selected_rows_->SetCurrentRowSelected(!selected_rows_->CurrentRowSelected());
      }
    } else if (data_row) {
      SelectingMoveBy(true, Cell.Y - Row(), true, false);
      extended = true;
    }
    if (!(data_col && !row_select && CanSelectType(gstRectangle))) {
      tracking_ = row_tracking_ = true;
      if (!extended) {
        // The drag repeats what the press did to the anchor record.
        const bool toggles = ctrl || !options_eh_.Contains(dghClearSelection);
        select_gesture_ = true;
        select_anchor_ = ds->GetBookmark();
        select_anchor_was_selected_ = toggles ? !selected_rows_->CurrentRowSelected() : false;
      }
      mouse_state_ = msRowSelecting;
    }
  }

  if (Button == mbLeft) {
    const bool same_cell = Cell.X == old_cell.X && Cell.Y == old_cell.Y;
    if (CanEditShow() && (same_cell || options_.Contains(dgAlwaysShowEditor))) ShowEditor();
    if (data_col && IsCheckOrImageKind(columns_->Items(dc))) click_cell_ = Cell;
  } else {
    InvalidateEditor();
  }
  (void)X;
  (void)Y;
}

// ---------------------------------------------------------------------------
// Move

void TCustomDBGridEh::MouseMove(TShiftState Shift, int X, int Y) {
  const TPoint prev = last_point_;
  last_point_ = TPoint{X, Y};
  if (drag_pending_) {
    drag_pending_ = false;
    BeginDrag(true);
    return;
  }
  if (pressed_title_col_ >= 0) {
    const TGridCoord c = MouseCoord(X, Y);
    const bool over = ClientRect().Contains(TPoint{X, Y}) && c.Y == 0 && c.X == pressed_title_col_ &&
                      IsTitleButtonBand(pressed_title_col_, Y);
    if (over != title_looks_pressed_) {
      title_looks_pressed_ = over;
      InvalidateRow(0);
    }
    if (std::abs(X - press_point_.X) > kTitleMoveSlack && options_.Contains(dgColumnResize)) {
      StopTracking();
      // The press made at the press point goes to the base grid: a column move.
      SetMouseCapture(true);
      TCustomGrid::MouseDown(mbLeft, Shift, press_point_.X, press_point_.Y);
      TCustomGrid::MouseMove(Shift, X, Y);
    } else {
      TCustomControl::MouseMove(Shift, X, Y);
    }
    return;
  }
  if (row_tracking_ || rect_tracking_ || mouse_state_ == msRectSelecting) {
    TDataSet* ds = data_link_->Active() ? data_link_->DataSet() : nullptr;
    const int cx = std::clamp(X, 0, std::max(0, ClientWidth() - 1));
    const int cy = std::clamp(Y, 0, std::max(0, ClientHeight() - 1));
    const TGridCoord c = MouseCoord(cx, cy);
    const bool moved = prev.X != X || prev.Y != Y;
    const bool left = Shift.Contains(ssLeft);
    if (ds != nullptr && c.Y >= title_offset_ && c.Y <= LastDataRow() && c.Y != Row()) {
      if (left && moved) SelectingMoveBy(true, c.Y - Row(), row_tracking_, false);
      else ds->MoveBy(c.Y - Row());
    }
    if (rect_tracking_ && c.X >= indicator_offset_ && c.X != Col()) {
      const int dir = c.X > Col() ? 1 : -1;
      MoveCol(Col() + dir, dir, mouse_state_ == msRectSelecting && left);
    }
    last_shift_ = Shift;
    TimedAutoScroll();
    TCustomControl::MouseMove(Shift, X, Y);
    return;
  }
  switch (mouse_state_) {
    case msColSelecting: {
      const TRect dr = DataCellsPixels();
      const TGridCoord c = MouseCoord(X, std::max(0, dr.Top - 1));
      const int dc = c.X - indicator_offset_;
      if (X >= dr.Left && X < dr.Right && dc >= 0 && dc < columns_->Count())
        selection_->Columns()->SelectShift(columns_->Items(dc));
      else
        TimedAutoScroll();
      TCustomControl::MouseMove(Shift, X, Y);
      return;
    }
    case msFrozenColSizing:
      if (!options_eh_.Contains(dghTraceColSizing)) {
        if (sizing_line_shown_) DrawSizingLine();
        sizing_pos_ = X + sizing_offset_;
        DrawSizingLine();
      } else {
        ApplyTraceColSizing(X);
      }
      TCustomControl::MouseMove(Shift, X, Y);
      return;
    default: break;
  }
  if (trace_sizing_ && GridState() == gsColSizing) {
    ApplyTraceColSizing(X);
    TCustomControl::MouseMove(Shift, X, Y);
    return;
  }
  TCustomGrid::MouseMove(Shift, X, Y);
}

// ---------------------------------------------------------------------------
// Release

void TCustomDBGridEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const bool ctrl = Shift.Contains(ssCtrl);
  if (mouse_state_ == msFrozenColSizing && !options_eh_.Contains(dghTraceColSizing)) {
    if (sizing_line_shown_) DrawSizingLine();
    const int start = Layout().ColStart(sizing_index_);
    const int width = sizing_pos_ - start;
    if (start >= 0 && width > 1) SetColWidths(sizing_index_, width);
  }
  if (drag_pending_) {
    drag_pending_ = false;
    if (ctrl && options_.Contains(dgRowSelect)) selected_rows_->SetCurrentRowSelected(!selected_rows_->CurrentRowSelected());
    else if (options_eh_.Contains(dghClearSelection)) selection_->Clear();
  } else if (trace_sizing_ && GridState() == gsColSizing) {
    grid_state_ = gsNormal;
    trace_sizing_ = false;
    mouse_state_ = msNormal;
    TCustomControl::MouseUp(Button, Shift, X, Y);
    return;
  }
  trace_sizing_ = false;
  const TGridMouseStateEh old_state = mouse_state_;
  mouse_state_ = msNormal;

  if (pressed_title_col_ >= 0) {
    const int raw = pressed_title_col_;
    const TGridCoord c = MouseCoord(X, Y);
    const bool click = ClientRect().Contains(TPoint{X, Y}) && c.Y == 0 && c.X == raw && IsTitleButtonBand(raw, Y);
    StopTracking();
    const int dc = raw - indicator_offset_;
    if (click && dc >= 0 && dc < columns_->Count()) {
      TColumnEh* column = columns_->Items(dc);
      TitleBtnClick(dc, column);
      const bool auto_sort = options_eh_.Contains(dghAutoSortMarking);
      sort_marking_pending_ = ctrl && auto_sort;
      if (auto_sort) {
        column->Title()->ToggleSortMarker(ctrl);
        if (!ctrl) SortMarkingChanged();
      }
    }
  } else if (right_press_as_left_) {
    right_press_as_left_ = false;
    SetMouseCapture(false);
    Button = mbLeft;
  }
  if (row_tracking_ || rect_tracking_) StopTracking();
  if (old_state != msNormal) StopTimer();

  const TGridState base_state = GridState();
  TCustomGrid::MouseUp(Button, Shift, X, Y);
  if (base_state == gsRowSizing || base_state == gsColSizing) return;
  if (InplaceEditor() != nullptr && InplaceEditor()->Visible() &&
      InplaceEditor()->BoundsRect().Contains(TPoint{X, Y}))
    return;
  const TGridCoord c = MouseCoord(X, Y);
  const int dc = c.X - indicator_offset_;
  if (Button != mbLeft || c.X < indicator_offset_ || dc >= columns_->Count() || c.Y < 0) return;
  TColumnEh* column = columns_->Items(dc);
  if (c.Y < title_offset_) TitleClick(column);
  else if (c.Y <= LastDataRow()) CellClick(column);
  if (c.X == click_cell_.X && c.Y == click_cell_.Y && IsCheckOrImageKind(column) && !column->DblClickNextVal() &&
      !Shift.Contains(ssDouble) && column->CanModify(true))
    column->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
}

void TCustomDBGridEh::CancelMouseMode() {
  StopTracking();
  if (mouse_state_ == msFrozenColSizing) {
    if (sizing_line_shown_) DrawSizingLine();
  } else if (mouse_state_ != msNormal) {
    StopTimer();
  }
  mouse_state_ = msNormal;
  trace_sizing_ = false;
  drag_pending_ = false;
  right_press_as_left_ = false;
}

// ---------------------------------------------------------------------------
// Event raisers

void TCustomDBGridEh::CheckButton(int ACol, TColumnEh* Column, bool& Enabled) {
  if (on_check_button_) on_check_button_(this, ACol, Column, Enabled);
}

void TCustomDBGridEh::TitleBtnClick(int ACol, TColumnEh* Column) {
  if (on_title_btn_click_) on_title_btn_click_(this, ACol, Column);
}

// ---------------------------------------------------------------------------
// Wheel, top-left, edit text

bool TCustomDBGridEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelDown(Shift, MousePos)) return true;
  if (data_link_->Active()) data_link_->DataSet()->Next();
  return true;
}

bool TCustomDBGridEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelUp(Shift, MousePos)) return true;
  if (data_link_->Active()) data_link_->DataSet()->Prior();
  return true;
}

void TCustomDBGridEh::TopLeftChanged() {
  const int first = FixedCols();
  const bool at_first = LeftCol() == first;
  if (at_first != left_at_first_) {
    left_at_first_ = at_first;
    for (int r = 0; r < title_offset_ && r < RowCount(); ++r) InvalidateRow(r);
  }
  TCustomGrid::TopLeftChanged();
  UpdateHorzScrollBar();
  PlaceFilterEditor();
}

// ---------------------------------------------------------------------------
// Writing the edited text

void TCustomDBGridEh::UpdateData() {
  TColumnEh* c = SelectedColumn();
  if (c == nullptr) return;
  TField* f = c->Field();
  const String text = edit_text_;
  if (f == nullptr) {
    c->UpdateData(text, Variant(text), true);
    return;
  }
  auto not_in_list = [&]() {
    bool recheck = false;
    c->OnNotInList()(c, text, recheck);
    return recheck;
  };
  switch (c->GetColumnType()) {
    case cckPickList:
      if (c->PickList()->IndexOf(text) < 0 && c->OnNotInList()) not_in_list();
      c->UpdateData(text, Variant(text), true);
      return;
    case cckKeyPickList: {
      Variant value = Null();
      if (!text.empty()) {
        int i = c->PickList()->IndexOf(text);
        if (i < 0 && c->OnNotInList()) {
          if (not_in_list()) i = c->PickList()->IndexOf(text);
        } else if (i < 0) {
          value = f->Value();  // no handler: the value stays
        }
        if (i >= 0 && i < c->KeyList()->Count()) value = Variant(c->KeyList()->Strings(i));
      }
      c->UpdateData(text, value, false);
      return;
    }
    default: break;
  }
  if (f->FieldKind() == fkLookup && !f->KeyFields().empty()) {
    TDataSet* lds = f->LookupDataSet();
    if (lds == nullptr || !lds->Active()) return;
    Variant keys = Null();
    if (!text.empty()) {
      // The lookup dataset is searched without moving its cursor or posting
      // an edit pending there.
      const TLocateOptions opts{loCaseInsensitive};
      auto find = [&]() {
        return LookupQuietlyEh(lds, f->LookupResultField(), Variant(text), opts, f->LookupKeyFields(), &keys);
      };
      bool found = find();
      if (!found && c->OnNotInList() && not_in_list()) found = find();
      if (!found) return;  // an unknown text leaves the keys as they were
    }
    std::vector<TField*> key_fields;
    f->DataSet()->GetFieldList(key_fields, f->KeyFields());
    if (!FieldsCanModify(key_fields)) return;
    data_link_->Edit();
    c->UpdateData(text, keys, false);
    return;
  }
  c->UpdateData(text, Variant(text), true);
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
  TColumnEh* c = SelectedColumn();
  TField* f = c != nullptr ? c->Field() : nullptr;
  if (f == nullptr) return;
  String text;
  if (c->GetColumnType() == cckKeyPickList) text = c->GetDisplayText();
  else if (f->DataType() == ftMemo && draw_memo_text_) text = AdjustLineBreaks(f->AsString());
  else text = f->Text();
  if (text != edit_text_) {
    edit_text_ = text;
    InvalidateEditor();
  }
}

// ---------------------------------------------------------------------------
// Footer values

String TCustomDBGridEh::GetFooterValue(int Row, TColumnEh* Column) {
  if (Column == nullptr) return String();
  TColumnFooterEh* footer = Column->UsedFooter(Row);
  if (footer == nullptr) return String();
  TDataSet* ds = data_link_->DataSet();
  auto find = [&](const String& Name) -> TField* {
    return ds != nullptr && !Name.empty() ? ds->FindField(Name) : nullptr;
  };
  switch (footer->ValueType()) {
    case fvtSum:
    case fvtAvg: {
      TField* f = find(footer->FieldName().empty() ? Column->FieldName() : footer->FieldName());
      if (f == nullptr || footer->SumItem() == nullptr) return "0";
      const double v = footer->SumItem()->SumValue().ToDouble();
      if (IsNumericKind(f->DataType())) return FormatFooterNumber(v, footer->DisplayFormat(), f);
      return footer->DisplayFormat().empty() ? FloatToStr(v) : FormatFloat(footer->DisplayFormat(), v);
    }
    case fvtCount: {
      if (footer->SumItem() == nullptr) return "0";
      const double v = footer->SumItem()->SumValue().ToDouble();
      if (!footer->DisplayFormat().empty()) return FormatFloat(footer->DisplayFormat(), v);
      return FloatToStr(v);
    }
    case fvtFieldValue: {
      TField* f = find(footer->FieldName());
      if (f == nullptr) return String();
      if (!footer->DisplayFormat().empty() && IsNumericKind(f->DataType()) && !f->IsNull())
        return FormatFloat(footer->DisplayFormat(), f->AsFloat());
      return f->DisplayText();
    }
    case fvtStaticText: return footer->Value();
    default: return String();
  }
}

// ---------------------------------------------------------------------------
// Window parameters and messages

void TCustomDBGridEh::CreateParams(TCreateParams& Params) {
  TCustomGrid::CreateParams(Params);
  flat_border_width_ = 0;
  if (flat_ && Ctl3D()) {
    Params.Style &= ~WS_BORDER;
    Params.ExStyle &= ~WS_EX_CLIENTEDGE;
    if (BorderStyle() == bsSingle) flat_border_width_ = 1;
  }
  Params.Style |= WS_CLIPCHILDREN;
}

void TCustomDBGridEh::WndProc(TMessage& Message) {
  if (DragMode() == dmAutomatic && options_.Contains(dgMultiSelect) && !IsDesigning() &&
      (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK)) {
    SetDragMode(dmManual);
    auto_drag_ = true;
    try {
      TCustomGrid::WndProc(Message);
    } catch (...) {
      auto_drag_ = false;
      SetDragMode(dmAutomatic);
      throw;
    }
    auto_drag_ = false;
    SetDragMode(dmAutomatic);
    return;
  }
  TCustomGrid::WndProc(Message);
}

void TCustomDBGridEh::HintShowPause(TMessage& Message) {
  auto* pause = reinterpret_cast<int*>(Message.LParam);
  if (pause == nullptr) return;
  const TPoint p = ScreenToClient(GetCursorPos());
  const TGridCoord c = MouseCoord(p.X, p.Y);
  const int dc = c.X - indicator_offset_;
  if (c.X < indicator_offset_ || dc >= columns_->Count() || c.Y < 0) {
    *pause = Application->HintPause();
    return;
  }
  TColumnEh* col = columns_->Items(dc);
  bool zero = false;
  if (c.Y >= RowCount() - footer_row_count_) zero = col->UsedFooter(c.Y - (RowCount() - footer_row_count_))->ToolTips();
  else if (c.Y >= title_offset_ && c.Y <= LastDataRow()) zero = col->ToolTips() && data_link_->Active();
  else zero = col->Title()->ToolTips() && col->Title()->Hint().empty();
  *pause = zero ? 0 : Application->HintPause();
}

bool TCustomDBGridEh::CellTextTruncated(int ACol, int ARow, String& Text, TFont* Font, TAlignment& Alignment) {
  const int dc = ACol - indicator_offset_;
  if (dc < 0 || dc >= columns_->Count()) return false;
  TColumnEh* col = columns_->Items(dc);
  const TRect r = CellRect(ACol, ARow);
  if (r.Right <= r.Left) return false;
  int extra = 4;
  if (ARow < title_offset_) {
    Text = col->Title()->Caption();
    Font->Assign(col->Title()->Font());
    Alignment = col->Title()->Alignment();
    const int marker = col->Title()->GetSortMarkerWidth();
    if (marker > 2) extra += marker - 2;
  } else if (ARow >= RowCount() - footer_row_count_) {
    TColumnFooterEh* footer = col->UsedFooter(ARow - (RowCount() - footer_row_count_));
    Text = GetFooterValue(ARow - (RowCount() - footer_row_count_), col);
    Font->Assign(footer->Font());
    Alignment = footer->Alignment();
  } else {
    Text = col->GetDisplayText();
    Font->Assign(col->Font());
    Alignment = IsCheckOrImageKind(col) ? taLeftJustify : col->Alignment();
    TColor background = col->Color();
    if (on_get_cell_params_) on_get_cell_params_(this, col, Font, background, TGridDrawState{});
    if (col->ImageList() != nullptr) extra += col->ImageList()->Width();
    if (col->AlwaysShowEditButton()) extra += edit_button_width_;
  }
  if (Text.empty()) return false;
  TSize extent;
  TEXTMETRIC metrics;
  MeasureFontTextEh(Font, Text, extent, metrics);
  if (col->WordWrap() && ARow >= title_offset_ && ARow <= LastDataRow())
    return extent.cx + extra > (r.Right - r.Left) * std::max(1, (r.Bottom - r.Top) / std::max(1, metrics.tmHeight));
  return extent.cx + extra > r.Right - r.Left;
}

void TCustomDBGridEh::HintShow(TMessage& Message) {
  auto* info = reinterpret_cast<THintInfo*>(Message.LParam);
  if (info == nullptr) return;
  const TGridCoord c = MouseCoord(info->CursorPos.X, info->CursorPos.Y);
  const int dc = c.X - indicator_offset_;
  if (c.X < indicator_offset_ || dc >= columns_->Count() || c.Y < 0) return;
  TColumnEh* col = columns_->Items(dc);
  const TRect r = CellRect(c.X, c.Y);
  const bool title = c.Y < title_offset_, footer = c.Y >= RowCount() - footer_row_count_;
  if (!title && !footer && c.Y > LastDataRow()) return;
  if (title && !col->Title()->Hint().empty()) {
    info->HintStr = GetShortHint(col->Title()->Hint());
    info->CursorRect = r;
    info->HintPos = ClientToScreen(TPoint{r.Left, r.Bottom});
    return;
  }
  const bool wanted = title    ? col->Title()->ToolTips()
                      : footer ? col->UsedFooter(c.Y - (RowCount() - footer_row_count_))->ToolTips()
                               : col->ToolTips() && data_link_->Active();
  if (!wanted || GetCaptureControl() != nullptr || GetKeyState(VK_CONTROL) < 0) return;
  TFont font;
  String text;
  TAlignment alignment = taLeftJustify;
  if (!CellTextTruncated(c.X, c.Y, text, &font, alignment)) {
    Message.Result = 1;
    return;
  }
  info->HintStr = text;
  info->HintWindowClass = ToolTipsWindowClass();
  info->CursorRect = r;
  info->HintPos = ClientToScreen(TPoint{r.Left, r.Top});
  info->HintColor = col->Color();
}

bool TCustomDBGridEh::MouseDispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETCURSOR: WMSetCursor(Message); return true;
    case WM_TIMER:
      if (Message.WParam != kAutoScrollTimerId) return false;
      WMTimer(Message);
      return true;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      TCustomGrid::Dispatch(Message);
      CancelMouseMode();
      if (Message.Msg == CM_CANCELMODE && InplaceEditor() != nullptr &&
          reinterpret_cast<TControl*>(Message.LParam) != InplaceEditor())
        InplaceEditor()->Perform(Message.Msg, Message.WParam, Message.LParam);
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      down_time_ = GetMessageTime();
      down_point_ = TPoint{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
      {
        // A press on a filterable filter-row cell opens its editor.
        const TGridCoord c = MouseCoord(down_point_.X, down_point_.Y);
        const int dc = c.X - indicator_offset_;
        if (IsDesigning() || !IsFilterRow(c.Y) || c.X < indicator_offset_ || !IsColumnFilterable(dc)) return false;
        selection_->Clear();
        ShowFilterEditor(dc);
        if (Message.Msg == WM_LBUTTONDOWN && filter_edit_ != nullptr && filter_edit_->Visible()) {
          const TPoint p = filter_edit_->ScreenToClient(ClientToScreen(down_point_));
          filter_edit_->Perform(WM_LBUTTONDOWN, Message.WParam, MAKELPARAM(p.X, p.Y));
        }
        return true;
      }
    case WM_GETDLGCODE:
      TCustomGrid::Dispatch(Message);
      if (options_eh_.Contains(dghPreferIncSearch)) Message.Result |= DLGC_WANTCHARS;
      return true;
    case WM_ERASEBKGND: Message.Result = 1; return true;
    case WM_NCCALCSIZE:
      TCustomGrid::Dispatch(Message);
      if (flat_border_width_ > 0 && Message.LParam != 0) {
        TRect& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        r = TRect{r.Left + flat_border_width_, r.Top + flat_border_width_, r.Right - flat_border_width_,
                  r.Bottom - flat_border_width_};
      }
      return true;
    case WM_NCPAINT:
      TCustomGrid::Dispatch(Message);
      PaintFlatBorder();
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const bool to_editor = InplaceEditor() != nullptr && InplaceEditor()->WidgetAllocated() &&
                             reinterpret_cast<HWND>(Message.WParam) == InplaceEditor()->Handle();
      if (Message.Msg == WM_KILLFOCUS && sort_marking_pending_ && !to_editor) {
        sort_marking_pending_ = false;
        SortMarkingChanged();
      }
      if (options_.Contains(dgRowSelect) && HandleAllocated()) InvalidateRow(Row());
      TCustomGrid::Dispatch(Message);
      const bool focused = IsGridOrEditorFocused();
      if (focused != focus_state_) {
        focus_state_ = focused;
        InvalidateSelection();
      }
      return true;
    }
    case CM_FONTCHANGED:
      TCustomGrid::Dispatch(Message);
      BeginLayout();
      try {
        for (int i = 0; i < columns_->Count(); ++i) columns_->Items(i)->RefreshDefaultFont();
      } catch (...) {
        EndLayout();
        throw;
      }
      EndLayout();
      return true;
    case CM_PARENTFONTCHANGED:
      TCustomGrid::Dispatch(Message);
      if (ParentFont()) {
        in_parent_font_ = footer_font_internal_ = true;
        title_font_->Assign(Font());
        footer_font_->Assign(Font());
        in_parent_font_ = footer_font_internal_ = false;
        LayoutChanged();
      }
      return true;
    case CM_PARENTCOLORCHANGED:
      TCustomGrid::Dispatch(Message);
      if (ParentColor()) {
        footer_color_ = Color();
        Invalidate();
      }
      return true;
    case WM_SYSCOLORCHANGE:
      TCustomGrid::Dispatch(Message);
      ClearButtonsBitmapCache();
      return true;
    case CM_HINTSHOW:
      HintShow(Message);
      return true;
    case CM_HINTSHOWPAUSE:
      HintShowPause(Message);
      return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// Sort-marked columns and the row editing test

void TCustomDBGridEh::RebuildSortMarkedColumns() {
  if (!sort_marked_columns_ || !columns_) return;
  // Ordered by SortIndex and without gaps: a freed or unmarked column leaves
  // no empty entry for the sorting to trip over.
  std::vector<TColumnEh*> marked;
  for (int i = 0; i < columns_->Count(); ++i)
    if (columns_->Items(i)->Title()->SortIndex() > 0) marked.push_back(columns_->Items(i));
  std::stable_sort(marked.begin(), marked.end(), [](TColumnEh* A, TColumnEh* B) {
    return A->Title()->SortIndex() < B->Title()->SortIndex();
  });
  sort_marked_columns_->Clear();
  for (TColumnEh* c : marked) sort_marked_columns_->Add(c);
}

bool TCustomDBGridEh::IsRowEditable() {
  if (!data_link_->Active()) return false;
  TDataSet* ds = data_link_->DataSet();
  const bool may_change = allowed_operations_.Contains(alopUpdateEh) || ds->State() == dsInsert;
  const bool has_rows = !(ds->Bof() && ds->Eof());
  return may_change &&
         (has_rows || allowed_operations_.Contains(alopInsertEh) || allowed_operations_.Contains(alopAppendEh));
}
