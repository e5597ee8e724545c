// Grids: the base grid TCustomGrid, its cell editor TInplaceEdit, and the
// plain layout arithmetic behind them (TGridAxis, TGridLayout).
//
// LAYOUT. TGridLayout holds everything that places cells: the two axes
// (count, fixed count, default and per-cell extents), the grid line width,
// the options, the top-left cell, the current cell, the selection anchor and
// the client size. It needs no window, so tests reach every rule directly;
// TCustomGrid owns one and is a thin shell that paints and turns input into
// calls on it.
//  - An axis's cells lie one after the other, each followed by its grid
//    line. The line width counts on the horizontal axis when goFixedVertLine
//    or goVertLine is set, on the vertical axis when goFixedHorzLine or
//    goHorzLine is set (EffectiveLineWidth), else 0. A cell whose extent
//    plus line is 0 or less (a hidden column is -1 wide with lines) takes no
//    room and is skipped by navigation.
//  - Fixed cells always show first; the scrollable cells show from the
//    top-left cell on. TGridDrawInfo (CalcDrawInfo) gives per axis the
//    fixed boundary, the grid boundary (end of the last cell that shows at
//    all), the last fully visible cell and its boundary, as the class library
//    computes it.
//  - CellRect of a cell that is not shown is empty (0,0,0,0); a cell cut by
//    the client edge is clipped to it. BoxRect spans a cell range the same
//    way (fixed cells in the range are included). MouseCoord answers (-1,-1)
//    off the cells.
//  - The top-left cell never goes past MaxTopLeft: the left column (top row)
//    from which the last column (row) is still fully visible. Moving the
//    current cell scrolls it fully into view.
//  - Sizing (CalcSizingState): in the fixed rows with goColSizing, a point
//    within (7 - line width) div 2 pixels of either side of a visible column's
//    line (none for lines of 7 pixels or more) gives gsColSizing with that
//    column, the line's position and the offset of the point from it; in the
//    fixed columns with goRowSizing the same for rows (gsRowSizing). Column
//    sizing wins where both apply.
//  - Navigation (NavigateKey) computes the new current cell and top-left of
//    a key; TCustomGrid applies it through SelectCell.
//
// WIDGET. TCustomGrid paints (Paint: lines, then every shown cell that
// meets the canvas's ClipRect through DrawCell with its TGridDrawState, then
// the area beyond the cells in Color; the window is opaque, so a scroll keeps
// the pixels that stay in view), takes keys (KeyDown: arrows, Tab with goTabs, Home/End, PageUp/
// PageDown, Ctrl combinations; F2 and Enter open the editor with goEditing)
// and the mouse (a press selects the cell, and with goRangeSelect a drag
// extends the selection, scrolling on timer 1 while outside the cells; a
// press on a sizing line sizes the column or row; a press on a fixed-row
// cell with goColMoving and a drag to another column moves the column).
// With DefaultDrawing each cell is first filled (FixedColor for fixed cells,
// clHighlight with clHighlightText for selected ones, except the focused
// cell unless goDrawFocusSelected or goRowSelect, else Color), fixed cells
// get a raised edge and the focused cell a focus rectangle (the selected
// row's box with goRowSelect). The grid clicks (Click) whenever the current
// cell moves; it has no csClickEvents of its own.
// Thin: the sizing line and the column-move mark are drawn in the next
// paint (a window cannot be drawn on outside its paint here), not by XOR
// on the screen at once.
//
// EDITOR. With goEditing the grid shows one TInplaceEdit (made by
// CreateEditor on first use) over the current cell when CanEditShow allows:
// its text comes from GetEditText, its mask from GetEditMask and its length
// limit from GetEditLimit. Every change of the editor's text reaches the grid
// as EN_CHANGE and goes to SetEditText; keys the editor does not use
// (Up, Down, PageUp, PageDown, Tab, Enter, Escape, and Left/Right/Home/End at
// the text's ends or with Ctrl) go to the grid's KeyDown. Escape puts the
// cell's text back and, without goAlwaysShowEditor, hides the editor; Enter
// toggles it. CanEditAcceptKey filters typed characters; CanEditModify is
// asked before every change the user makes.
//
// Scroll bars: the window's own bars (ScrollBars.h) as ScrollBars asks, each
// shown only while there is something to scroll; a bar ScrollBars leaves out
// is the descendant's to drive. UpdateScrollBars is the
// one place that sets them from the layout: positions count scrollable
// cells (0 = the first one at the left or top), the page is the visible
// cells, the range ends where MaxTopLeft is reached. The bars' WM_HSCROLL
// and WM_VSCROLL move the top-left cell: a line by one cell, a page by the
// visible cells, the thumb on release (while dragged too with
// goThumbTracking), SB_TOP and SB_BOTTOM to either end. A bar shown or
// hidden changes the client area, and the layout follows it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Mask.h"

RTL_ENUM(TGridOption, goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect,
         goDrawFocusSelected, goRowSizing, goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect,
         goAlwaysShowEditor, goThumbTracking);
using TGridOptions = Set<TGridOption>;
RTL_ENUM(TGridDrawStateItem, gdSelected, gdFocused, gdFixed);
using TGridDrawState = Set<TGridDrawStateItem>;
RTL_ENUM(TGridState, gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving);
RTL_ENUM(TGridScrollDirection, sdLeft, sdRight, sdUp, sdDown);
using TGridScrollDirections = Set<TGridScrollDirection>;

struct TGridCoord {
  int X = 0, Y = 0;
  bool operator==(const TGridCoord&) const = default;
};
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TGridRect&) const = default;
  bool Contains(int ACol, int ARow) const { return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom; }
};

// Grid errors are EInvalidGridOperation (platform/rtl/Exceptions.h).

// One axis of a grid: columns (extents are widths) or rows (heights).
class TGridAxis {
 public:
  int Count() const { return count_; }
  // Extents of new cells are the default; cells past the count are dropped.
  void SetCount(int Value);
  int FixedCount() const { return fixed_; }
  void SetFixedCount(int Value) { fixed_ = Value; }
  int DefaultExtent() const { return default_; }
  // Resets every cell to the new default.
  void SetDefaultExtent(int Value);
  int Extent(int Index) const;
  void SetExtent(int Index, int Value);
  // True when some cell has its own extent.
  bool Customized() const { return !extents_.empty(); }
  // Moves cell FromIndex's extent to ToIndex, the cells between shifting.
  void Move(int FromIndex, int ToIndex);

 private:
  int count_ = 5, fixed_ = 1, default_ = 64;
  std::vector<int> extents_;  // empty: all default
};

struct TGridAxisDrawInfo {
  int EffectiveLineWidth = 0;
  int FixedBoundary = 0;
  int GridBoundary = 0;
  int GridExtent = 0;
  int LastFullVisibleCell = 0;
  int FullVisBoundary = 0;
  int FixedCellCount = 0;
  int FirstGridCell = 0;
  int GridCellCount = 0;
  const TGridAxis* Axis = nullptr;
  int GetExtent(int Index) const { return Axis->Extent(Index); }
};
struct TGridDrawInfo {
  TGridAxisDrawInfo Horz, Vert;
};

// A cell of one axis that shows: its index, client position and extent.
struct TGridSpan {
  int index, start, extent;
};
// The cells of an axis that show, fixed first, with their client positions.
void GridShownCells(const TGridAxisDrawInfo& Info, std::vector<TGridSpan>& Out);

struct TGridSizing {
  TGridState State = gsNormal;
  int Index = -1;  // the column or row being sized
  int Pos = 0;     // position of its line
  int Offset = 0;  // point - line position
};

// Where a key takes the current cell and the top-left cell.
struct TGridMove {
  TGridCoord Current, TopLeft;
};

class TGridLayout {
 public:
  TGridAxis Cols, Rows;
  int GridLineWidth = 1;
  TGridOptions Options{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TGridCoord TopLeft{1, 1}, Current{1, 1}, Anchor{1, 1};
  int ClientWidth = 0, ClientHeight = 0;
  // Per column: Tab stops there (empty: every column).
  std::vector<bool> TabStops;

  TGridLayout() { Cols.SetCount(5); Rows.SetCount(5); Rows.SetDefaultExtent(24); }

  void CalcDrawInfo(TGridDrawInfo& Info) const { CalcDrawInfoXY(Info, ClientWidth, ClientHeight); }
  void CalcDrawInfoXY(TGridDrawInfo& Info, int UseWidth, int UseHeight) const;
  // The fixed cells only (as if no scrollable cell showed).
  void CalcFixedInfo(TGridDrawInfo& Info) const;

  TRect CellRect(int ACol, int ARow) const { return BoxRect(ACol, ARow, ACol, ARow); }
  TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom) const;
  TGridCoord MouseCoord(int X, int Y) const;
  TGridSizing CalcSizingState(int X, int Y) const;
  // Client position where a column (row) starts, or -1 when it does not show.
  int ColStart(int ACol) const;
  int RowStart(int ARow) const;

  // Scrollable cells fully visible from the top-left cell.
  int VisibleColCount() const;
  int VisibleRowCount() const;
  TGridCoord MaxTopLeft() const;
  // Keeps TopLeft and Current inside the grid after a change of counts.
  void Clamp();
  // Scrolls so that Coord is fully visible (as far as it can be).
  void ScrollInView(TGridCoord Coord);
  // Sets the top-left cell within [fixed, MaxTopLeft].
  void SetTopLeft(int ALeft, int ATop);

  // The selection: Anchor to Current, across every scrollable column with
  // goRowSelect.
  TGridRect Selection() const;
  bool IsHiddenCol(int ACol) const { return Cols.Extent(ACol) + LineWidthH() <= 0; }
  bool IsHiddenRow(int ARow) const { return Rows.Extent(ARow) + LineWidthV() <= 0; }
  bool IsTabStop(int ACol) const { return ACol >= 0 && (ACol >= static_cast<int>(TabStops.size()) || TabStops[ACol]); }

  // The cells a key moves to (Shift: ssCtrl changes the key's meaning).
  TGridMove NavigateKey(Word Key, TShiftState Shift) const;
  // Moves column FromIndex to ToIndex: widths, tab stops and the cells
  // that follow the moved one.
  void MoveColumn(int FromIndex, int ToIndex);
  void MoveRow(int FromIndex, int ToIndex);

  int LineWidthH() const {
    return Options.Contains(goFixedVertLine) || Options.Contains(goVertLine) ? GridLineWidth : 0;
  }
  int LineWidthV() const {
    return Options.Contains(goFixedHorzLine) || Options.Contains(goHorzLine) ? GridLineWidth : 0;
  }

 private:
  void CalcAxis(TGridAxisDrawInfo& Info, const TGridAxis& Axis, int LineWidth, int First, int Extent) const;
  int MaxFirst(const TGridAxis& Axis, int LineWidth, int ClientExtent) const;
  int VisibleCount(const TGridAxisDrawInfo& Info) const;
};

class TCustomGrid;

// The cell editor: a borderless masked edit box that lies on the grid over
// the current cell (see above).
class TInplaceEdit : public TCustomMaskEdit {
 public:
  explicit TInplaceEdit(TComponent* AOwner);
  TCustomGrid* Grid() const { return grid_; }
  // Places the editor over Loc and shows it.
  void Move(const TRect& Loc);
  // Hides it (the focus goes back to the grid when the editor had it).
  void Hide();
  bool Visible() const { return TControl::Visible(); }
  // Takes text, mask and limit from the grid for its current cell.
  virtual void UpdateContents();
  // Repaints it when it shows.
  void Invalidate();
  // Puts the keyboard focus on it.
  void SetFocus() override;
  void Deselect();

 protected:
  friend class TCustomGrid;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  bool EditCanModify() override;
  void Dispatch(TMessage& Message) override;
  // After every move or resize.
  virtual void BoundsChanged();
  void SetGrid(TCustomGrid* Value) { grid_ = Value; }

 private:
  TCustomGrid* grid_ = nullptr;
  bool click_time_ = false;
};



class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  // Counts and sizes.
  int ColCount() const { return layout_.Cols.Count(); }
  void SetColCount(int Value);
  int RowCount() const { return layout_.Rows.Count(); }
  void SetRowCount(int Value);
  int FixedCols() const { return layout_.Cols.FixedCount(); }
  void SetFixedCols(int Value);
  int FixedRows() const { return layout_.Rows.FixedCount(); }
  void SetFixedRows(int Value);
  int DefaultColWidth() const { return layout_.Cols.DefaultExtent(); }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return layout_.Rows.DefaultExtent(); }
  // Resets every row height (and repaints).
  void SetDefaultRowHeight(int Value);
  int ColWidths(int Index) const;
  void SetColWidths(int Index, int Value);
  int RowHeights(int Index) const;
  void SetRowHeights(int Index, int Value);
  bool TabStops(int Index) const;
  void SetTabStops(int Index, bool Value);
  int GridLineWidth() const { return layout_.GridLineWidth; }
  void SetGridLineWidth(int Value);
  int GridWidth() const;
  int GridHeight() const;

  TGridOptions Options() const { return layout_.Options; }
  virtual void SetOptions(TGridOptions Value);
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle Value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);
  TColor FixedColor() const { return fixed_color_; }
  void SetFixedColor(TColor Value);
  bool DefaultDrawing() const { return default_drawing_; }
  void SetDefaultDrawing(bool Value);

  // Current cell, top-left cell and selection.
  int Col() const { return layout_.Current.X; }
  void SetCol(int Value);
  int Row() const { return layout_.Current.Y; }
  void SetRow(int Value);
  int LeftCol() const { return layout_.TopLeft.X; }
  void SetLeftCol(int Value);
  int TopRow() const { return layout_.TopLeft.Y; }
  void SetTopRow(int Value);
  int VisibleColCount() const { return layout_.VisibleColCount(); }
  int VisibleRowCount() const { return layout_.VisibleRowCount(); }
  TGridRect Selection() const { return layout_.Selection(); }
  void SetSelection(TGridRect Value);

  // Geometry (client coordinates).
  TRect CellRect(int ACol, int ARow) const { return layout_.CellRect(ACol, ARow); }
  TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom) const {
    return layout_.BoxRect(ALeft, ATop, ARight, ABottom);
  }
  TGridCoord MouseCoord(int X, int Y) const { return layout_.MouseCoord(X, Y); }
  void CalcDrawInfo(TGridDrawInfo& Info) const { layout_.CalcDrawInfo(Info); }
  TGridState GridState() const { return grid_state_; }
  // True while the mouse sizes a column or row.
  bool Sizing(int X, int Y) const;
  const TGridLayout& Layout() const { return layout_; }

  // The editor.
  bool EditorMode() const { return editor_mode_; }
  void SetEditorMode(bool Value);
  TInplaceEdit* InplaceEditor() const { return inplace_edit_; }
  // Enter and leave editor mode. The grid itself opens the editor through
  // ShowEditor (F2, Enter, a typed character, a press on the current cell,
  // the focus with goAlwaysShowEditor), so a descendant's override runs then.
  virtual void ShowEditor();
  virtual void HideEditor();
  // Moves the editor over the current cell (or hides it) after a change.
  void InvalidateEditor();
  // The editor's text to the grid (SetEditText).
  void UpdateText();

  // Repaint helpers.
  void InvalidateCell(int ACol, int ARow);
  void InvalidateCol(int ACol);
  void InvalidateRow(int ARow);
  void InvalidateGrid() { Invalidate(); }
  void InvalidateGridRect(const TGridRect& Rect);

  // Moves a column or row with its extent; fires ColumnMoved/RowMoved.
  void MoveColumn(int FromIndex, int ToIndex);
  void MoveRow(int FromIndex, int ToIndex);
  // Scales the extents by M/D (a form's PixelsPerInch change).
  void ChangeScale(int M, int D) override;

  void Dispatch(TMessage& Message) override;

 protected:
  void Paint() override;
  // Draws one cell (default: nothing).
  virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
  // Whether the cell may become current (default: true).
  virtual bool SelectCell(int ACol, int ARow);
  virtual void TopLeftChanged();
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  virtual void ColumnMoved(int FromIndex, int ToIndex);
  virtual void RowMoved(int FromIndex, int ToIndex);
  // Counts changed from (OldColCount, OldRowCount).
  virtual void SizeChanged(int /*OldColCount*/, int /*OldRowCount*/) {}
  virtual TGridSizing CalcSizingState(int X, int Y);
  // One step of the drag scrolling while selecting outside the cells.
  virtual void TimedScroll(TGridScrollDirections Direction);

  // Editor protocol.
  virtual TInplaceEdit* CreateEditor();
  virtual bool CanEditShow();
  virtual bool CanEditAcceptKey(WideChar /*Key*/) { return true; }
  virtual bool CanEditModify() { return true; }
  virtual bool CanGridAcceptKey(Word /*Key*/, TShiftState /*Shift*/) { return true; }
  virtual String GetEditText(int /*ACol*/, int /*ARow*/) { return String(); }
  virtual void SetEditText(int /*ACol*/, int /*ARow*/, const String& /*Value*/) {}
  virtual String GetEditMask(int /*ACol*/, int /*ARow*/) { return String(); }
  virtual int GetEditLimit() { return 0; }

  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void Resize() override;
  void InitWidget() override;

  // Moves the current cell (through SelectCell); MoveAnchor also moves the
  // selection's anchor; Show scrolls it into view.
  void FocusCell(int ACol, int ARow, bool MoveAnchor);
  void MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show);
  void MoveTopLeft(int ALeft, int ATop);
  // Repaints after the top-left cell moved from OldTopLeft: the pixels of
  // the scrollable cells move (ScrollWindowEx) when they move along one axis
  // by less than the area shows, else the window is painted anew.
  void ScrollData(TGridCoord OldTopLeft);
  // Sets the window's scroll bars that ScrollBars names from the layout. A
  // bar ScrollBars leaves out is hidden only when this grid had shown it, so
  // a descendant may drive that bar itself (a vertical bar of its own with
  // ScrollBars ssHorizontal, shown through WS_VSCROLL or SetScrollInfo).
  virtual void UpdateScrollBars();
  void CancelMode();

  TGridLayout layout_;
  TGridState grid_state_ = gsNormal;

 private:
  void SyncClient();
  void SetAxisCount(TGridAxis& Axis, int Value);
  void SetAxisFixed(TGridAxis& Axis, int Value);
  void ApplyMove(const TGridMove& Move, bool MoveAnchor, bool ScrollOnly);
  void UpdateEdit();
  void HideEdit();
  void DrawLines(const TGridDrawInfo& Info);
  void StopTimer();
  void WMTimer();
  void WMCommand(TMessage& Message);
  void WMScroll(bool Horz, Word Code, Word Pos);

  friend class TInplaceEdit;
  TInplaceEdit* inplace_edit_ = nullptr;
  bool editor_mode_ = false;
  int edit_col_ = -1, edit_row_ = -1;  // the cell the editor holds
  String edit_text_;                   // its text when it was loaded
  bool in_update_edit_ = false;
  TScrollStyle scroll_bars_ = ssBoth;
  TBorderStyle border_style_ = bsSingle;
  TColor fixed_color_ = clBtnFace;
  bool default_drawing_ = true;
  TGridSizing sizing_;
  int move_index_ = -1, move_pos_ = -1;  // column/row being moved, where it would go
  TPoint move_start_;
  bool timer_running_ = false;
  bool updating_scroll_bars_ = false;
  bool drives_bar_[2] = {false, false};  // SB_HORZ, SB_VERT shown by this grid
  TPoint last_mouse_;
};

// The grid unit's error helper: raises EInvalidGridOperation.
[[noreturn]] void InvalidOp(const String& Message);
