// TCustomGrid and TInplaceEdit: the window over the layout arithmetic.
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "platform/gui/Cursors.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Grids.h"
#include "platform/gui/ScrollBars.h"

namespace {

constexpr uintptr_t kScrollTimer = 1;
constexpr Cardinal kScrollInterval = 60;

bool IsEmptyRect(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

}  // namespace

// ---------------------------------------------------------------------------
// TInplaceEdit

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  SetParentCtl3D(false);
  SetCtl3D(false);
  SetTabStop(false);
  SetBorderStyle(bsNone);
  TControl::SetVisible(false);
}

void TInplaceEdit::Move(const TRect& Loc) {
  if (IsEmptyRect(Loc)) {
    TControl::SetVisible(false);
    return;
  }
  SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
  TControl::SetVisible(true);
  BoundsChanged();
  if (grid_ != nullptr && grid_->Focused()) SetFocus();
}

void TInplaceEdit::Hide() {
  if (!TControl::Visible()) return;
  bool hadFocus = Focused();
  TControl::SetVisible(false);
  if (hadFocus && grid_ != nullptr && grid_->CanFocus()) grid_->SetFocus();
}

void TInplaceEdit::Invalidate() {
  if (TControl::Visible()) TControl::Invalidate();
}

void TInplaceEdit::SetFocus() {
  if (CanFocus()) TWinControl::SetFocus();
}

void TInplaceEdit::Deselect() { SetSelStart(static_cast<int>(Text().size())); }

void TInplaceEdit::UpdateContents() {
  if (grid_ == nullptr) return;
  SetText(String());
  SetEditMask(grid_->GetEditMask(grid_->Col(), grid_->Row()));
  SetText(grid_->GetEditText(grid_->Col(), grid_->Row()));
  SetMaxLength(grid_->GetEditLimit());
}

void TInplaceEdit::BoundsChanged() {
  TRect r = Rect(2, 2, Width() - 2, Height());
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  Perform(EM_SCROLLCARET);
}

bool TInplaceEdit::EditCanModify() { return grid_ == nullptr || grid_->CanEditModify(); }

void TInplaceEdit::KeyDown(Word& Key, TShiftState Shift) {
  if (grid_ == nullptr) {
    TCustomMaskEdit::KeyDown(Key, Shift);
    return;
  }
  auto sendToParent = [&] {
    grid_->KeyDown(Key, Shift);
    Key = 0;
  };
  const bool forward = grid_->Options().Contains(goAlwaysShowEditor);
  const bool ctrl = Shift.Contains(ssCtrl);
  const int len = static_cast<int>(Text().size());
  const int start = SelStart(), end = start + SelLength();
  const bool rightSide = (start == 0 || end == start) && end == len;
  const bool leftSide = start == 0 && (end == 0 || end == len);
  switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE: sendToParent(); break;
    case VK_INSERT:
      if (Shift.Empty()) sendToParent();
      else if (Shift == TShiftState{ssShift} && !grid_->CanEditModify()) Key = 0;
      break;
    case VK_LEFT:
    case VK_HOME:
      if (forward && (ctrl || leftSide)) sendToParent();
      break;
    case VK_RIGHT:
    case VK_END:
      if (forward && (ctrl || rightSide)) sendToParent();
      break;
    case VK_F2:
      grid_->OnKeyDown()(grid_, Key, Shift);
      if (Key == VK_F2) {
        Deselect();
        return;
      }
      break;
    case VK_TAB:
      if (!Shift.Contains(ssAlt)) sendToParent();
      break;
    case VK_DELETE:
      if (ctrl) sendToParent();
      else if (!grid_->CanEditModify()) Key = 0;
      break;
    default: break;
  }
  if (Key != 0) {
    grid_->OnKeyDown()(grid_, Key, Shift);
    if (Key != 0) TCustomMaskEdit::KeyDown(Key, Shift);
  }
}

void TInplaceEdit::KeyPress(WideChar& Key) {
  if (grid_ == nullptr) {
    TCustomMaskEdit::KeyPress(Key);
    return;
  }
  grid_->KeyPress(Key);
  if (Key >= 32 && !grid_->CanEditAcceptKey(Key)) Key = 0;
  switch (Key) {
    case 9:
    case 27: Key = 0; break;
    case 13:
      if (SelStart() == 0 && SelLength() == static_cast<int>(Text().size())) Deselect();
      else SelectAll();
      Key = 0;
      break;
    default:
      if ((Key == 8 || Key == 22 || Key == 24 || Key >= 32) && !grid_->CanEditModify()) Key = 0;
      break;
  }
  if (Key != 0) TCustomMaskEdit::KeyPress(Key);
}

void TInplaceEdit::KeyUp(Word& Key, TShiftState Shift) {
  if (grid_ != nullptr) grid_->KeyUp(Key, Shift);
  if (Key != 0) TCustomMaskEdit::KeyUp(Key, Shift);
}

void TInplaceEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_GETDLGCODE && grid_ != nullptr) {
    Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (grid_->Options().Contains(goTabs)) Message.Result |= DLGC_WANTTAB;
    return;
  }
  TCustomMaskEdit::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TCustomGrid

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csCaptureMouse, csOpaque, csDoubleClicks});
  SetBounds(Left(), Top(), 320, 120);
  SetColor(clWindow);
  SetParentColor(false);
  SetTabStop(true);
  SyncClient();
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::SyncClient() {
  layout_.ClientWidth = ClientWidth();
  layout_.ClientHeight = ClientHeight();
}

void TCustomGrid::InitWidget() {
  TCustomControl::InitWidget();
  // Every pixel is painted (cells, then the rest in Color): scrolled pixels
  // can be kept.
  widget_->setAttribute(Qt::WA_OpaquePaintEvent);
  UpdateScrollBars();
}

void TCustomGrid::Resize() {
  SyncClient();
  TGridCoord old = layout_.TopLeft;
  layout_.SetTopLeft(old.X, old.Y);
  if (!(old == layout_.TopLeft)) TopLeftChanged();
  UpdateScrollBars();
  UpdateEdit();
  TCustomControl::Resize();
}

void TCustomGrid::SetAxisCount(TGridAxis& Axis, int Value) {
  if (Value < 1) Value = 1;
  if (Value == Axis.Count()) return;
  int oldCols = ColCount(), oldRows = RowCount();
  if (Axis.FixedCount() >= Value) Axis.SetFixedCount(Value - 1);
  Axis.SetCount(Value);
  if (&Axis == &layout_.Cols && !layout_.TabStops.empty()) layout_.TabStops.resize(static_cast<size_t>(Value), true);
  layout_.Clamp();
  SizeChanged(oldCols, oldRows);
  Invalidate();
  UpdateScrollBars();
  UpdateEdit();
}

void TCustomGrid::SetAxisFixed(TGridAxis& Axis, int Value) {
  bool cols = &Axis == &layout_.Cols;
  if (Value < 0) InvalidOp("Grid index out of range");
  if (Value >= Axis.Count())
    InvalidOp(cols ? "Fixed column count must be less than column count" : "Fixed row count must be less than row count");
  Axis.SetFixedCount(Value);
  int& current = cols ? layout_.Current.X : layout_.Current.Y;
  current = std::max(current, Value);
  layout_.Anchor = layout_.Current;
  (cols ? layout_.TopLeft.X : layout_.TopLeft.Y) = Value;
  layout_.Clamp();
  Invalidate();
  UpdateScrollBars();
  UpdateEdit();
}

void TCustomGrid::SetColCount(int Value) { SetAxisCount(layout_.Cols, Value); }
void TCustomGrid::SetRowCount(int Value) { SetAxisCount(layout_.Rows, Value); }
void TCustomGrid::SetFixedCols(int Value) { SetAxisFixed(layout_.Cols, Value); }
void TCustomGrid::SetFixedRows(int Value) { SetAxisFixed(layout_.Rows, Value); }

void TCustomGrid::SetDefaultColWidth(int Value) {
  layout_.Cols.SetDefaultExtent(Value);
  ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int Value) {
  layout_.Rows.SetDefaultExtent(Value);
  RowHeightsChanged();
}

int TCustomGrid::ColWidths(int Index) const {
  if (Index < 0 || Index >= ColCount()) InvalidOp("Grid index out of range");
  return layout_.Cols.Extent(Index);
}

void TCustomGrid::SetColWidths(int Index, int Value) {
  if (ColWidths(Index) == Value) return;
  layout_.Cols.SetExtent(Index, Value);
  ColWidthsChanged();
}

int TCustomGrid::RowHeights(int Index) const {
  if (Index < 0 || Index >= RowCount()) InvalidOp("Grid index out of range");
  return layout_.Rows.Extent(Index);
}

void TCustomGrid::SetRowHeights(int Index, int Value) {
  if (RowHeights(Index) == Value) return;
  layout_.Rows.SetExtent(Index, Value);
  RowHeightsChanged();
}

bool TCustomGrid::TabStops(int Index) const {
  if (Index < 0 || Index >= ColCount()) InvalidOp("Grid index out of range");
  return layout_.IsTabStop(Index);
}

void TCustomGrid::SetTabStops(int Index, bool Value) {
  if (Index < 0 || Index >= ColCount()) InvalidOp("Grid index out of range");
  if (layout_.TabStops.empty()) {
    if (Value) return;
    layout_.TabStops.assign(static_cast<size_t>(ColCount()), true);
  }
  layout_.TabStops[static_cast<size_t>(Index)] = Value;
}

void TCustomGrid::SetGridLineWidth(int Value) {
  if (Value < 0) Value = 0;
  if (Value == layout_.GridLineWidth) return;
  layout_.GridLineWidth = Value;
  ColWidthsChanged();
  RowHeightsChanged();
}

int TCustomGrid::GridWidth() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Horz.GridBoundary;
}

int TCustomGrid::GridHeight() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return info.Vert.GridBoundary;
}

void TCustomGrid::SetOptions(TGridOptions Value) {
  if (Value.Contains(goRowSelect)) Value.Exclude(goAlwaysShowEditor);
  if (Value == layout_.Options) return;
  layout_.Options = Value;
  if (!Value.Contains(goEditing)) HideEditor();
  if (Value.Contains(goRowSelect)) layout_.Anchor.X = layout_.Current.X;
  layout_.Clamp();
  Invalidate();
  UpdateScrollBars();
  if (Value.Contains(goEditing) && Value.Contains(goAlwaysShowEditor)) ShowEditor();
  else UpdateEdit();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
  if (Value == scroll_bars_) return;
  scroll_bars_ = Value;
  UpdateScrollBars();
}

void TCustomGrid::SetBorderStyle(TBorderStyle Value) {
  if (Value == border_style_) return;
  border_style_ = Value;
  Invalidate();
}

void TCustomGrid::SetFixedColor(TColor Value) {
  if (Value == fixed_color_) return;
  fixed_color_ = Value;
  Invalidate();
}

void TCustomGrid::SetDefaultDrawing(bool Value) {
  if (Value == default_drawing_) return;
  default_drawing_ = Value;
  Invalidate();
}

void TCustomGrid::SetCol(int Value) {
  if (Value != Col()) FocusCell(Value, Row(), true);
}

void TCustomGrid::SetRow(int Value) {
  if (Value != Row()) FocusCell(Col(), Value, true);
}

void TCustomGrid::SetLeftCol(int Value) { MoveTopLeft(Value, TopRow()); }
void TCustomGrid::SetTopRow(int Value) { MoveTopLeft(LeftCol(), Value); }

void TCustomGrid::SetSelection(TGridRect Value) {
  auto inside = [&](int c, int r) { return c >= 0 && r >= 0 && c < ColCount() && r < RowCount(); };
  if (!inside(Value.Left, Value.Top) || !inside(Value.Right, Value.Bottom)) InvalidOp("Grid index out of range");
  TGridRect old = Selection();
  layout_.Anchor = {Value.Left, Value.Top};
  layout_.Current = {Value.Right, Value.Bottom};
  InvalidateGridRect(old);
  InvalidateGridRect(Selection());
  UpdateEdit();
}

bool TCustomGrid::Sizing(int X, int Y) const {
  if (grid_state_ == gsColSizing || grid_state_ == gsRowSizing) return true;
  return layout_.CalcSizingState(X, Y).State != gsNormal;
}

TGridSizing TCustomGrid::CalcSizingState(int X, int Y) { return layout_.CalcSizingState(X, Y); }

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::DrawCell(int, int, const TRect&, TGridDrawState) {}

void TCustomGrid::TopLeftChanged() { UpdateEdit(); }

void TCustomGrid::ColWidthsChanged() {
  layout_.Clamp();
  UpdateScrollBars();
  Invalidate();
  UpdateEdit();
}

void TCustomGrid::RowHeightsChanged() {
  layout_.Clamp();
  UpdateScrollBars();
  Invalidate();
  UpdateEdit();
}

void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::RowMoved(int, int) {}

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
  if (FromIndex == ToIndex) return;
  HideEdit();
  layout_.MoveColumn(FromIndex, ToIndex);
  ColumnMoved(FromIndex, ToIndex);
  Invalidate();
  UpdateEdit();
}

void TCustomGrid::MoveRow(int FromIndex, int ToIndex) {
  if (FromIndex == ToIndex) return;
  HideEdit();
  layout_.MoveRow(FromIndex, ToIndex);
  RowMoved(FromIndex, ToIndex);
  Invalidate();
  UpdateEdit();
}

void TCustomGrid::ChangeScale(int M, int D) {
  if (M == D || D == 0) return;
  auto scale = [&](int v) { return static_cast<int>((static_cast<int64_t>(v) * M) / D); };
  auto scaleAxis = [&](TGridAxis& a) {
    std::vector<int> own;
    if (a.Customized())
      for (int i = 0; i < a.Count(); ++i) own.push_back(a.Extent(i));
    a.SetDefaultExtent(scale(a.DefaultExtent()));
    for (size_t i = 0; i < own.size(); ++i) a.SetExtent(static_cast<int>(i), scale(own[i]));
  };
  scaleAxis(layout_.Cols);
  scaleAxis(layout_.Rows);
  ColWidthsChanged();
  RowHeightsChanged();
}

// ---------------------------------------------------------------------------
// Current cell and scrolling

void TCustomGrid::MoveTopLeft(int ALeft, int ATop) {
  TGridCoord old = layout_.TopLeft;
  layout_.SetTopLeft(ALeft, ATop);
  if (old == layout_.TopLeft) return;
  ScrollData(old);
  UpdateScrollBars();
  TopLeftChanged();
}

void TCustomGrid::ScrollData(TGridCoord OldTopLeft) {
  if (!HandleAllocated()) return;
  const TGridCoord now = layout_.TopLeft;
  const bool horz = now.X != OldTopLeft.X, vert = now.Y != OldTopLeft.Y;
  if (!horz && !vert) return;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  // Only the scrollable cells move, and only along one axis at a time;
  // what moves further than the area shows is painted anew.
  TRect area = horz ? Rect(info.Horz.FixedBoundary, 0, ClientWidth(), ClientHeight())
                    : Rect(0, info.Vert.FixedBoundary, ClientWidth(), ClientHeight());
  int room = horz ? area.Width() : area.Height();
  int distance = room;
  if (!(horz && vert) && room > 0) {
    const TGridAxis& axis = horz ? layout_.Cols : layout_.Rows;
    const int lw = horz ? info.Horz.EffectiveLineWidth : info.Vert.EffectiveLineWidth;
    const int from = horz ? OldTopLeft.X : OldTopLeft.Y, to = horz ? now.X : now.Y;
    distance = 0;
    for (int i = std::min(from, to); i < std::max(from, to) && distance < room; ++i)
      distance += std::max(0, axis.Extent(i) + lw);
    if (to > from) distance = -distance;
  }
  if (std::abs(distance) >= room) {
    Invalidate();
    return;
  }
  ScrollWindowEx(Handle(), horz ? distance : 0, vert ? distance : 0, &area, &area, nullptr, nullptr, 0);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show) {
  if (ACol < 0 || ARow < 0 || ACol >= ColCount() || ARow >= RowCount()) InvalidOp("Grid index out of range");
  if (!SelectCell(ACol, ARow)) return;
  TGridRect oldSel = Selection();
  TGridCoord oldCur = layout_.Current;
  layout_.Current = {ACol, ARow};
  if (MoveAnchor || !layout_.Options.Contains(goRangeSelect)) layout_.Anchor = layout_.Current;
  if (Show) {
    TGridCoord oldTL = layout_.TopLeft;
    layout_.ScrollInView(layout_.Current);
    if (!(oldTL == layout_.TopLeft)) {
      ScrollData(oldTL);
      UpdateScrollBars();
      TopLeftChanged();
    }
  }
  InvalidateGridRect(oldSel);
  InvalidateGridRect(Selection());
  InvalidateCell(oldCur.X, oldCur.Y);
  InvalidateCell(ACol, ARow);
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor) {
  MoveCurrent(ACol, ARow, MoveAnchor, true);
  UpdateEdit();
  Click();
}

void TCustomGrid::ApplyMove(const TGridMove& Move, bool MoveAnchor, bool ScrollOnly) {
  if (!(Move.TopLeft == layout_.TopLeft)) MoveTopLeft(Move.TopLeft.X, Move.TopLeft.Y);
  if (!(Move.Current == layout_.Current) || (MoveAnchor && !(layout_.Anchor == layout_.Current))) {
    FocusCell(Move.Current.X, Move.Current.Y, MoveAnchor);
  } else if (!ScrollOnly) {
    // The key found no other cell: the current one still comes into view.
    TGridLayout view = layout_;
    view.ScrollInView(view.Current);
    MoveTopLeft(view.TopLeft.X, view.TopLeft.Y);
  }
}

void TCustomGrid::TimedScroll(TGridScrollDirections Direction) {
  TGridCoord tl = layout_.TopLeft, cur = layout_.Current;
  if (Direction.Contains(sdLeft)) --tl.X;
  if (Direction.Contains(sdRight)) ++tl.X;
  if (Direction.Contains(sdUp)) --tl.Y;
  if (Direction.Contains(sdDown)) ++tl.Y;
  MoveTopLeft(tl.X, tl.Y);
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (Direction.Contains(sdLeft)) cur.X = LeftCol();
  if (Direction.Contains(sdRight)) cur.X = std::max(LeftCol(), info.Horz.LastFullVisibleCell);
  if (Direction.Contains(sdUp)) cur.Y = TopRow();
  if (Direction.Contains(sdDown)) cur.Y = std::max(TopRow(), info.Vert.LastFullVisibleCell);
  cur.X = std::clamp(cur.X, FixedCols(), ColCount() - 1);
  cur.Y = std::clamp(cur.Y, FixedRows(), RowCount() - 1);
  if (!(cur == layout_.Current)) MoveCurrent(cur.X, cur.Y, false, false);
}

void TCustomGrid::UpdateScrollBars() {
  if (!HandleAllocated() || updating_scroll_bars_) return;
  updating_scroll_bars_ = true;
  HWND h = Handle();
  // A bar shown or hidden changes the client area, and with it the page and
  // the range: settle in a few rounds.
  for (int round = 0; round < 3; ++round) {
    SyncClient();
    TGridCoord max = layout_.MaxTopLeft();
    auto bar = [&](int which, bool wanted, int fixed, int maxFirst, int first, int visible) {
      if (!wanted) {
        if (drives_bar_[which]) ShowScrollBar(h, which, false);
        drives_bar_[which] = false;
        return;
      }
      drives_bar_[which] = true;
      SCROLLINFO si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      int page = std::max(1, visible);
      si.nMin = 0;
      si.nMax = std::max(0, maxFirst - fixed) + page - 1;
      si.nPage = static_cast<UINT>(page);
      si.nPos = first - fixed;
      SetScrollInfo(h, which, si, true);
    };
    TRect before = ClientRect();
    bar(SB_HORZ, scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth, FixedCols(), max.X, LeftCol(),
        VisibleColCount());
    bar(SB_VERT, scroll_bars_ == ssVertical || scroll_bars_ == ssBoth, FixedRows(), max.Y, TopRow(),
        VisibleRowCount());
    if (ClientRect() == before) break;
  }
  SyncClient();
  TGridCoord tl = layout_.TopLeft;
  layout_.SetTopLeft(tl.X, tl.Y);
  updating_scroll_bars_ = false;
  if (!(tl == layout_.TopLeft)) {
    Invalidate();
    UpdateScrollBars();
    TopLeftChanged();
  }
}

void TCustomGrid::WMScroll(bool Horz, Word Code, Word Pos) {
  int which = Horz ? SB_HORZ : SB_VERT;
  int fixed = Horz ? FixedCols() : FixedRows();
  int first = Horz ? LeftCol() : TopRow();
  int page = std::max(1, Horz ? VisibleColCount() : VisibleRowCount());
  TGridCoord max = layout_.MaxTopLeft();
  int target = first;
  switch (Code) {
    case SB_LINEUP: target = first - 1; break;
    case SB_LINEDOWN: target = first + 1; break;
    case SB_PAGEUP: target = first - page; break;
    case SB_PAGEDOWN: target = first + page; break;
    case SB_THUMBTRACK:
      if (!layout_.Options.Contains(goThumbTracking)) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      // The message's 16-bit position, or the bar's own beyond that range.
      SCROLLINFO si;
      si.fMask = SIF_RANGE | SIF_TRACKPOS;
      if (!GetScrollInfo(Handle(), which, si)) return;
      target = fixed + (si.nMax <= 0xFFFF ? Pos : si.nTrackPos);
      break;
    }
    case SB_TOP: target = fixed; break;
    case SB_BOTTOM: target = Horz ? max.X : max.Y; break;
    default: return;
  }
  if (Horz) MoveTopLeft(target, TopRow());
  else MoveTopLeft(LeftCol(), target);
  // The bar keeps the position it had when the top-left cell did not move.
  UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// Repainting

void TCustomGrid::InvalidateGridRect(const TGridRect& R) {
  if (widget_ == nullptr) return;
  TRect box = BoxRect(R.Left, R.Top, R.Right, R.Bottom);
  if (IsEmptyRect(box)) return;
  // The focus frame and the lines around the cells go with them.
  int lw = layout_.GridLineWidth + 1;
  widget_->update(QRect(box.Left - lw, box.Top - lw, box.Width() + 2 * lw, box.Height() + 2 * lw));
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) { InvalidateGridRect({ACol, ARow, ACol, ARow}); }
void TCustomGrid::InvalidateCol(int ACol) { InvalidateGridRect({ACol, 0, ACol, RowCount() - 1}); }
void TCustomGrid::InvalidateRow(int ARow) { InvalidateGridRect({0, ARow, ColCount() - 1, ARow}); }

// ---------------------------------------------------------------------------
// Editor

bool TCustomGrid::CanEditShow() {
  TGridOptions o = layout_.Options;
  if (!o.Contains(goEditing) || o.Contains(goRowSelect) || !editor_mode_) return false;
  if (ComponentState().Contains(csDesigning) || !HandleAllocated()) return false;
  if (o.Contains(goAlwaysShowEditor)) return true;
  HWND focus = GetFocus();
  return focus != nullptr && (FindControl(focus) == this ||
                              (inplace_edit_ != nullptr && FindControl(focus) == inplace_edit_));
}

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

void TCustomGrid::SetEditorMode(bool Value) {
  if (Value) ShowEditor();
  else HideEditor();
}

void TCustomGrid::ShowEditor() {
  editor_mode_ = true;
  UpdateEdit();
}

void TCustomGrid::HideEditor() {
  editor_mode_ = false;
  HideEdit();
}

void TCustomGrid::InvalidateEditor() { UpdateEdit(); }

void TCustomGrid::UpdateText() {
  if (inplace_edit_ == nullptr || in_update_edit_ || edit_col_ < 0 || edit_row_ < 0) return;
  SetEditText(edit_col_, edit_row_, inplace_edit_->Text());
}

void TCustomGrid::HideEdit() {
  if (inplace_edit_ == nullptr) return;
  UpdateText();
  edit_col_ = edit_row_ = -1;
  inplace_edit_->Hide();
}

void TCustomGrid::UpdateEdit() {
  if (!CanEditShow()) {
    if (inplace_edit_ != nullptr && inplace_edit_->Visible()) HideEdit();
    return;
  }
  auto loadEditor = [&] {
    edit_col_ = Col();
    edit_row_ = Row();
    in_update_edit_ = true;
    try {
      inplace_edit_->UpdateContents();
    } catch (...) {
      in_update_edit_ = false;
      throw;
    }
    in_update_edit_ = false;
    edit_text_ = inplace_edit_->Text();
    inplace_edit_->SelectAll();
  };
  if (inplace_edit_ == nullptr) {
    inplace_edit_ = CreateEditor();
    inplace_edit_->SetGrid(this);
    inplace_edit_->SetParent(this);
    loadEditor();
  } else if (Col() != edit_col_ || Row() != edit_row_) {
    HideEdit();
    loadEditor();
  }
  if (CanEditShow()) inplace_edit_->Move(CellRect(Col(), Row()));
}

void TCustomGrid::WMCommand(TMessage& Message) {
  if (inplace_edit_ != nullptr && inplace_edit_->HandleAllocated() &&
      reinterpret_cast<HWND>(Message.LParam) == inplace_edit_->Handle() && HIWORD(Message.WParam) == EN_CHANGE)
    UpdateText();
}

// ---------------------------------------------------------------------------
// Keyboard

void TCustomGrid::KeyDown(Word& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0) return;
  if (!CanGridAcceptKey(Key, Shift)) {
    Key = 0;
    return;
  }
  switch (Key) {
    case VK_F2:
      if (layout_.Options.Contains(goEditing) && !Shift.Contains(ssCtrl)) {
        ShowEditor();
        if (inplace_edit_ != nullptr && inplace_edit_->Visible()) inplace_edit_->Deselect();
      }
      return;
    case VK_ESCAPE:
      if (inplace_edit_ != nullptr && edit_col_ >= 0) {
        // Puts the cell's text back (the editor reports it as a change).
        if (inplace_edit_->Text() != edit_text_) inplace_edit_->SetText(edit_text_);
        if (!layout_.Options.Contains(goAlwaysShowEditor)) HideEditor();
        else inplace_edit_->SelectAll();
      }
      return;
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_TAB: {
      if (Key == VK_TAB && (!layout_.Options.Contains(goTabs) || Shift.Contains(ssAlt))) return;
      TGridMove m = layout_.NavigateKey(Key, Shift);
      bool extend = Shift.Contains(ssShift) && Key != VK_TAB && layout_.Options.Contains(goRangeSelect);
      bool scrollOnly = Shift.Contains(ssCtrl) && (Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT || Key == VK_RIGHT);
      ApplyMove(m, !extend, scrollOnly);
      if (Key == VK_TAB) Key = 0;
      return;
    }
    default: return;
  }
}

void TCustomGrid::KeyPress(WideChar& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == 13 && layout_.Options.Contains(goEditing) && !layout_.Options.Contains(goAlwaysShowEditor)) {
    if (editor_mode_) HideEditor();
    else ShowEditor();
    Key = 0;
  }
}

// ---------------------------------------------------------------------------
// Mouse

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!ComponentState().Contains(csDesigning) && CanFocus()) {
    SetFocus();
    HWND focus = GetFocus();
    if (focus == nullptr || (FindControl(focus) != this &&
                             (inplace_edit_ == nullptr || FindControl(focus) != inplace_edit_))) {
      SetMouseCapture(false);
      return;
    }
  }
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    DblClick();
  } else if (Button == mbLeft) {
    last_mouse_ = {X, Y};
    TGridSizing s = CalcSizingState(X, Y);
    if (s.State != gsNormal) {
      HideEdit();
      sizing_ = s;
      grid_state_ = s.State;
      Invalidate();
    } else {
      TGridCoord c = MouseCoord(X, Y);
      if (c.X >= 0 && c.Y >= 0) {
        TGridOptions o = layout_.Options;
        if (c.Y < FixedRows() && c.X >= FixedCols() && o.Contains(goColMoving)) {
          grid_state_ = gsColMoving;
          move_index_ = move_pos_ = c.X;
          move_start_ = {X, Y};
        } else if (c.X < FixedCols() && c.Y >= FixedRows() && o.Contains(goRowMoving)) {
          grid_state_ = gsRowMoving;
          move_index_ = move_pos_ = c.Y;
          move_start_ = {X, Y};
        } else if (c.X >= FixedCols() && c.Y >= FixedRows()) {
          if (o.Contains(goEditing) && c.X == Col() && c.Y == Row() && !o.Contains(goRowSelect)) {
            ShowEditor();
          } else {
            bool extend = Shift.Contains(ssShift) && o.Contains(goRangeSelect);
            if (extend) MoveCurrent(c.X, c.Y, false, true);
            else FocusCell(c.X, c.Y, true);
            grid_state_ = gsSelecting;
            if (HandleAllocated()) {
              SetTimer(Handle(), kScrollTimer, kScrollInterval);
              timer_running_ = true;
            }
          }
        }
      }
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  last_mouse_ = {X, Y};
  switch (grid_state_) {
    case gsSelecting: {
      TGridDrawInfo info;
      CalcDrawInfo(info);
      int cx = std::clamp(X, info.Horz.FixedBoundary, std::max(info.Horz.FixedBoundary, info.Horz.GridBoundary - 1));
      int cy = std::clamp(Y, info.Vert.FixedBoundary, std::max(info.Vert.FixedBoundary, info.Vert.GridBoundary - 1));
      TGridCoord c = MouseCoord(cx, cy);
      if (c.X >= FixedCols() && c.Y >= FixedRows() && !(c == layout_.Current))
        MoveCurrent(c.X, c.Y, !layout_.Options.Contains(goRangeSelect), false);
      break;
    }
    case gsColSizing:
    case gsRowSizing: {
      int pos = (grid_state_ == gsColSizing ? X : Y) - sizing_.Offset;
      if (pos != sizing_.Pos) {
        sizing_.Pos = pos;
        Invalidate();
      }
      break;
    }
    case gsColMoving:
    case gsRowMoving: {
      bool cols = grid_state_ == gsColMoving;
      TGridDrawInfo info;
      CalcDrawInfo(info);
      const TGridAxisDrawInfo& a = cols ? info.Horz : info.Vert;
      int p = std::clamp(cols ? X : Y, a.FixedBoundary, std::max(a.FixedBoundary, a.GridBoundary - 1));
      TGridCoord c = cols ? MouseCoord(p, layout_.CellRect(0, 0).Top) : MouseCoord(layout_.CellRect(0, 0).Left, p);
      int target = cols ? c.X : c.Y;
      if (target < 0) target = cols ? (X < a.FixedBoundary ? FixedCols() : ColCount() - 1)
                                    : (Y < a.FixedBoundary ? FixedRows() : RowCount() - 1);
      if (target != move_pos_) {
        move_pos_ = target;
        Invalidate();
      }
      break;
    }
    default: break;
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridState state = grid_state_;
  grid_state_ = gsNormal;
  StopTimer();
  switch (state) {
    case gsSelecting: UpdateEdit(); break;
    case gsColSizing:
    case gsRowSizing: {
      bool cols = state == gsColSizing;
      sizing_.Pos = (cols ? X : Y) - sizing_.Offset;
      int start = cols ? layout_.ColStart(sizing_.Index) : layout_.RowStart(sizing_.Index);
      int size = sizing_.Pos - start;
      Invalidate();
      if (start >= 0 && size > 1) {
        if (cols) SetColWidths(sizing_.Index, size);
        else SetRowHeights(sizing_.Index, size);
      }
      UpdateEdit();
      break;
    }
    case gsColMoving:
    case gsRowMoving:
      Invalidate();
      if (move_pos_ >= 0 && move_pos_ != move_index_) {
        if (state == gsColMoving) MoveColumn(move_index_, move_pos_);
        else MoveRow(move_index_, move_pos_);
      }
      move_index_ = move_pos_ = -1;
      break;
    default: break;
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TCustomGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelDown(Shift, MousePos)) return true;
  if (Row() < RowCount() - 1) SetRow(Row() + 1);
  return true;
}

bool TCustomGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (TCustomControl::DoMouseWheelUp(Shift, MousePos)) return true;
  if (Row() > FixedRows()) SetRow(Row() - 1);
  return true;
}

void TCustomGrid::StopTimer() {
  if (timer_running_ && HandleAllocated()) KillTimer(Handle(), kScrollTimer);
  timer_running_ = false;
}

void TCustomGrid::WMTimer() {
  if (grid_state_ != gsSelecting) {
    StopTimer();
    return;
  }
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridScrollDirections d;
  if (last_mouse_.X < info.Horz.FixedBoundary) d.Include(sdLeft);
  else if (last_mouse_.X >= info.Horz.FullVisBoundary && last_mouse_.X >= ClientWidth() - 1) d.Include(sdRight);
  if (last_mouse_.Y < info.Vert.FixedBoundary) d.Include(sdUp);
  else if (last_mouse_.Y >= info.Vert.FullVisBoundary && last_mouse_.Y >= ClientHeight() - 1) d.Include(sdDown);
  if (!d.Empty()) TimedScroll(d);
}

void TCustomGrid::CancelMode() {
  StopTimer();
  if (grid_state_ != gsNormal) Invalidate();
  grid_state_ = gsNormal;
  move_index_ = move_pos_ = -1;
}

void TCustomGrid::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS;
      if (!layout_.Options.Contains(goRowSelect)) {
        if (layout_.Options.Contains(goTabs)) Message.Result |= DLGC_WANTTAB;
        if (layout_.Options.Contains(goEditing)) Message.Result |= DLGC_WANTCHARS;
      }
      return;
    case WM_TIMER:
      if (Message.WParam == kScrollTimer) WMTimer();
      return;
    case WM_COMMAND:
      WMCommand(Message);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (Message.LParam == 0) {
        WMScroll(Message.Msg == WM_HSCROLL, LOWORD(Message.WParam), HIWORD(Message.WParam));
        return;
      }
      break;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      CancelMode();
      break;
    case WM_SETCURSOR:
      // Over a sizing line (or while sizing) the split cursors.
      if (LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT) {
        TGridState state = grid_state_;
        if (state == gsNormal) {
          TPoint p = ScreenToClient(GetCursorPos());
          state = CalcSizingState(p.X, p.Y).State;
        }
        if (state == gsColSizing || state == gsRowSizing) {
          ::SetCursor(Screen->Cursors(state == gsColSizing ? crHSplit : crVSplit));
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_CHAR: {
      WideChar ch = static_cast<WideChar>(Message.WParam);
      if (layout_.Options.Contains(goEditing) && (ch == 8 || ch >= 32) &&
          (inplace_edit_ == nullptr || !inplace_edit_->Visible())) {
        ShowEditor();
        if (inplace_edit_ != nullptr && inplace_edit_->Visible()) {
          inplace_edit_->Perform(WM_CHAR, Message.WParam, Message.LParam);
          return;
        }
      }
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(Message);
      InvalidateGridRect(Selection());
      if (Message.Msg == WM_SETFOCUS && layout_.Options.Contains(goAlwaysShowEditor)) ShowEditor();
      return;
    default: break;
  }
  TCustomControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// Painting

void GridShownCells(const TGridAxisDrawInfo& Info, std::vector<TGridSpan>& Out) {
  Out.clear();
  int lw = Info.EffectiveLineWidth;
  int pos = 0;
  for (int i = 0; i < Info.FixedCellCount; ++i) {
    int e = Info.GetExtent(i);
    if (e + lw > 0 && pos < Info.GridExtent) Out.push_back({i, pos, e});
    pos += std::max(0, e + lw);
  }
  for (int i = Info.FirstGridCell; i < Info.GridCellCount && pos < Info.GridExtent; ++i) {
    int e = Info.GetExtent(i);
    if (e + lw > 0) Out.push_back({i, pos, e});
    pos += std::max(0, e + lw);
  }
}

void TCustomGrid::DrawLines(const TGridDrawInfo& Info) {
  HDC dc = Canvas()->Handle();
  if (dc == nullptr) return;
  std::vector<TGridSpan> cols, rows;
  GridShownCells(Info.Horz, cols);
  GridShownCells(Info.Vert, rows);
  const int lwH = Info.Horz.EffectiveLineWidth, lwV = Info.Vert.EffectiveLineWidth;
  const int fixedCols = Info.Horz.FixedCellCount, fixedRows = Info.Vert.FixedCellCount;
  const TGridOptions o = layout_.Options;
  // Two families: lines of fixed cells and lines of scrollable cells.
  std::vector<TPoint> pts[2];
  for (const TGridSpan& c : cols) {
    bool fixedCol = c.index < fixedCols;
    for (int part = 0; part < 2; ++part) {
      // part 0: beside fixed rows, part 1: beside scrollable rows.
      bool fixedFamily = fixedCol || part == 0;
      if (lwH == 0 || !o.Contains(fixedFamily ? goFixedVertLine : goVertLine)) continue;
      int y0 = part == 0 ? 0 : Info.Vert.FixedBoundary;
      int y1 = part == 0 ? Info.Vert.FixedBoundary : Info.Vert.GridBoundary;
      if (y1 <= y0) continue;
      int x = c.start + c.extent + lwH / 2;
      pts[fixedFamily ? 0 : 1].push_back({x, y0});
      pts[fixedFamily ? 0 : 1].push_back({x, y1});
    }
  }
  for (const TGridSpan& r : rows) {
    bool fixedRow = r.index < fixedRows;
    for (int part = 0; part < 2; ++part) {
      bool fixedFamily = fixedRow || part == 0;
      if (lwV == 0 || !o.Contains(fixedFamily ? goFixedHorzLine : goHorzLine)) continue;
      int x0 = part == 0 ? 0 : Info.Horz.FixedBoundary;
      int x1 = part == 0 ? Info.Horz.FixedBoundary : Info.Horz.GridBoundary;
      if (x1 <= x0) continue;
      int y = r.start + r.extent + lwV / 2;
      pts[fixedFamily ? 0 : 1].push_back({x0, y});
      pts[fixedFamily ? 0 : 1].push_back({x1, y});
    }
  }
  const TColor colors[2] = {clBlack, clSilver};
  for (int f = 0; f < 2; ++f) {
    if (pts[f].empty()) continue;
    int width = std::max(lwH, lwV);
    LOGBRUSH lb{BS_SOLID, static_cast<COLORREF>(ColorToRGB(colors[f])), 0};
    HPEN pen = width > 1 ? ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                                        static_cast<DWORD>(width), lb, 0, nullptr)
                         : CreatePen(PS_SOLID, 1, static_cast<COLORREF>(ColorToRGB(colors[f])));
    HPEN old = SelectObject(dc, pen);
    std::vector<DWORD> counts(pts[f].size() / 2, 2);
    PolyPolyline(dc, pts[f].data(), counts.data(), static_cast<DWORD>(counts.size()));
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void TCustomGrid::Paint() {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TCanvas* canvas = Canvas();
  DrawLines(info);

  std::vector<TGridSpan> cols, rows;
  GridShownCells(info.Horz, cols);
  GridShownCells(info.Vert, rows);
  const TGridOptions o = layout_.Options;
  const TGridRect sel = Selection();
  HWND focusWnd = GetFocus();
  const bool focused = focusWnd != nullptr && (FindControl(focusWnd) == this ||
                                               (inplace_edit_ != nullptr && FindControl(focusWnd) == inplace_edit_));
  const bool highlightFocused = o.Contains(goDrawFocusSelected) || o.Contains(goRowSelect);
  const int fixedCols = FixedCols(), fixedRows = FixedRows();
  canvas->SetFont(Font());
  const TColor fontColor = Font()->Color();
  TColor currentFont = fontColor;
  TRect clip = canvas->ClipRect();
  for (const TGridSpan& r : rows) {
    if (r.start >= clip.Bottom || r.start + r.extent <= clip.Top) continue;
    for (const TGridSpan& c : cols) {
      if (c.start >= clip.Right || c.start + c.extent <= clip.Left) continue;
      TRect where = Rect(c.start, r.start, c.start + c.extent, r.start + r.extent);
      TGridDrawState state;
      TColor brush = Color(), font = fontColor;
      if (c.index < fixedCols || r.index < fixedRows) {
        state.Include(gdFixed);
        brush = fixed_color_;
      } else {
        if (sel.Contains(c.index, r.index)) state.Include(gdSelected);
        if (focused && c.index == Col() && r.index == Row()) state.Include(gdFocused);
        if (state.Contains(gdSelected) && (!state.Contains(gdFocused) || highlightFocused)) {
          brush = clHighlight;
          font = clHighlightText;
        }
      }
      canvas->Brush()->SetColor(brush);
      if (font != currentFont) {
        canvas->Font()->SetColor(font);
        currentFont = font;
      }
      if (default_drawing_) canvas->FillRect(where);
      DrawCell(c.index, r.index, where, state);
      if (default_drawing_ && state.Contains(gdFixed) && Ctl3D() &&
          (o.Contains(goFixedVertLine) || o.Contains(goFixedHorzLine))) {
        TRect edge = where;
        DrawEdge(canvas->Handle(), edge, BDR_RAISEDINNER, BF_RECT);
      }
      if (default_drawing_ && state.Contains(gdFocused) && !o.Contains(goRowSelect) &&
          !ComponentState().Contains(csDesigning))
        canvas->DrawFocusRect(where);
    }
  }
  if (focused && o.Contains(goRowSelect) && !ComponentState().Contains(csDesigning)) {
    TRect box = BoxRect(sel.Left, sel.Top, sel.Right, sel.Bottom);
    if (!IsEmptyRect(box)) canvas->DrawFocusRect(box);
  }
  // Beyond the cells.
  canvas->Brush()->SetColor(Color());
  if (info.Horz.GridBoundary < ClientWidth())
    canvas->FillRect(Rect(info.Horz.GridBoundary, 0, ClientWidth(), ClientHeight()));
  if (info.Vert.GridBoundary < ClientHeight())
    canvas->FillRect(Rect(0, info.Vert.GridBoundary, info.Horz.GridBoundary, ClientHeight()));
  // The sizing line and the move mark.
  if (grid_state_ == gsColSizing || grid_state_ == gsRowSizing) {
    canvas->Pen()->SetStyle(psDot);
    canvas->Pen()->SetColor(clBlack);
    canvas->Pen()->SetWidth(1);
    if (grid_state_ == gsColSizing) {
      canvas->MoveTo(sizing_.Pos, 0);
      canvas->LineTo(sizing_.Pos, ClientHeight());
    } else {
      canvas->MoveTo(0, sizing_.Pos);
      canvas->LineTo(ClientWidth(), sizing_.Pos);
    }
    canvas->Pen()->SetStyle(psSolid);
  } else if ((grid_state_ == gsColMoving || grid_state_ == gsRowMoving) && move_pos_ != move_index_) {
    bool cols = grid_state_ == gsColMoving;
    int start = cols ? layout_.ColStart(move_pos_) : layout_.RowStart(move_pos_);
    if (start >= 0) {
      if (move_pos_ > move_index_) start += cols ? layout_.Cols.Extent(move_pos_) : layout_.Rows.Extent(move_pos_);
      canvas->Brush()->SetColor(clBlack);
      canvas->FillRect(cols ? Rect(start - 1, 0, start + 1, info.Vert.GridBoundary)
                            : Rect(0, start - 1, info.Horz.GridBoundary, start + 1));
    }
  }
}
