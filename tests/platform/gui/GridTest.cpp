// The base grid on a shown form: keyboard navigation, scrolling, painting,
// mouse selection, sizing and moving, and the cell editor's show, edit,
// accept and cancel cycle.
#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/gui/GDI.h"
#include "platform/gui/Grids.h"
#include "platform/gui/ScrollBars.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

// A colour as Qt's 0xRRGGBB.
uint32_t Rgb(TColor c) {
  auto v = static_cast<uint32_t>(ColorToRGB(c));
  return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

struct Drawn {
  int col, row;
  TGridDrawState state;
};

// A grid over a table of strings that records what the base grid asks of it.
class TTestGrid : public TCustomGrid {
 public:
  using TCustomGrid::TCustomGrid;
  std::map<std::pair<int, int>, String> cells;
  std::vector<std::string> sets;
  std::vector<std::pair<int, int>> moves;
  std::vector<Drawn> drawn;
  int top_left_changes = 0, col_widths_changes = 0, row_heights_changes = 0;
  String mask;
  int limit = 0;
  bool can_modify = true, digits_only = false, refuse_row_3 = false;

  using TCustomGrid::MouseCoord;

 protected:
  String GetEditText(int c, int r) override { return cells[{c, r}]; }
  void SetEditText(int c, int r, const String& v) override {
    cells[{c, r}] = v;
    sets.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + v);
  }
  String GetEditMask(int, int) override { return mask; }
  int GetEditLimit() override { return limit; }
  bool CanEditModify() override { return can_modify; }
  bool CanEditAcceptKey(WideChar k) override { return !digits_only || (k >= '0' && k <= '9'); }
  bool SelectCell(int, int r) override { return !(refuse_row_3 && r == 3); }
  void TopLeftChanged() override {
    ++top_left_changes;
    TCustomGrid::TopLeftChanged();
  }
  void ColWidthsChanged() override {
    ++col_widths_changes;
    TCustomGrid::ColWidthsChanged();
  }
  void RowHeightsChanged() override {
    ++row_heights_changes;
    TCustomGrid::RowHeightsChanged();
  }
  void ColumnMoved(int f, int t) override { moves.push_back({f, t}); }
  void DrawCell(int c, int r, const TRect& rect, TGridDrawState s) override {
    drawn.push_back({c, r, s});
    Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, cells[{c, r}]);
  }
};

String Cell(TTestGrid* g, int c, int r) { return g->cells[{c, r}]; }

class GridTest : public GuiTest {
 protected:
  // A 10 x 30 grid of 64 x 24 cells (1-pixel lines) in 300 x 200 on a
  // shown, active form, holding the focus; scroll bars only when asked.
  template <class Grid = TTestGrid>
  Grid* Shown(TScrollStyle bars = ssNone) {
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 400, 300);
    auto* g = new Grid(form_.get());
    g->SetParent(form_.get());
    g->SetBounds(0, 0, 300, 200);
    g->SetScrollBars(bars);
    g->SetColCount(10);
    g->SetRowCount(30);
    g->SetDefaultColWidth(64);
    g->SetDefaultRowHeight(24);
    for (int c = 0; c < 10; ++c)
      for (int r = 0; r < 30; ++r) g->cells[{c, r}] = "c" + std::to_string(c) + "r" + std::to_string(r);
    other_ = new TEdit(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(250);
    form_->Show();
    form_->Widget()->activateWindow();
    for (int i = 0; i < 500 && QApplication::activeWindow() != form_->Widget(); ++i) Application->ProcessMessages();
    g->SetFocus();
    EXPECT_TRUE(g->Focused());
    return g;
  }

  static void Key(TWinControl* c, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(c->Widget(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(c->Widget(), &release);
  }
  static void Type(TWinControl* c, const char* chars) {
    for (const char* p = chars; *p != 0; ++p) {
      char ch = *p;
      int key = ch >= 'a' && ch <= 'z' ? Qt::Key_A + (ch - 'a') : ch;
      Key(c, key, Qt::NoModifier, QString(QChar(ch)));
    }
  }
  static void Mouse(TControl* c, Cardinal msg, int x, int y, WPARAM keys = MK_LBUTTON) {
    c->Perform(msg, keys, MAKELPARAM(x, y));
  }
  // The grid painted into an image.
  static QImage Grab(TControl* c) { return c->Widget()->grab().toImage(); }

  std::unique_ptr<TForm> form_;
  TEdit* other_ = nullptr;
};

TEST_F(GridTest, KeysMoveTheCurrentCellAndScrollItIntoView) {
  TTestGrid* g = Shown();
  int clicks = 0;
  g->SetOnClick([&](TObject*) { ++clicks; });
  EXPECT_EQ(g->VisibleColCount(), 3);  // 65 + 3 * 65 = 260 <= 300
  EXPECT_EQ(g->VisibleRowCount(), 7);  // 25 + 7 * 25 = 200

  Key(g, Qt::Key_Down);
  Key(g, Qt::Key_Right);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(clicks, 2) << "the grid clicks when its current cell moves";

  Key(g, Qt::Key_End);
  EXPECT_EQ(g->Col(), 9);
  EXPECT_EQ(g->LeftCol(), 7) << "the last column scrolled fully into view";
  Key(g, Qt::Key_PageDown);
  EXPECT_EQ(g->Row(), 9);
  EXPECT_EQ(g->TopRow(), 8);
  Key(g, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g->Row(), 29);
  EXPECT_EQ(g->TopRow(), 23);
  EXPECT_GE(g->top_left_changes, 3);
  Key(g, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->LeftCol(), 1);
  EXPECT_EQ(g->TopRow(), 1);

  // Tab moves among cells only with goTabs; otherwise the focus leaves.
  TGridOptions o = g->Options();
  o.Include(goTabs);
  g->SetOptions(o);
  g->SetTabStops(2, false);
  Key(g, Qt::Key_Tab);
  EXPECT_EQ(g->Col(), 3);
  EXPECT_TRUE(g->Focused());
  Key(g, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g->Col(), 1);

  // A cell SelectCell refuses is not entered.
  g->refuse_row_3 = true;
  Key(g, Qt::Key_Down);
  Key(g, Qt::Key_Down);
  EXPECT_EQ(g->Row(), 2);

  // Shift extends the selection with goRangeSelect.
  g->refuse_row_3 = false;
  Key(g, Qt::Key_Right, Qt::ShiftModifier);
  Key(g, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(g->Selection(), (TGridRect{1, 2, 2, 3}));
  Key(g, Qt::Key_Up);
  EXPECT_EQ(g->Selection(), (TGridRect{2, 2, 2, 2}));
}

TEST_F(GridTest, ScrollingByPropertiesAndTheWheel) {
  TTestGrid* g = Shown();
  g->SetTopRow(100);
  EXPECT_EQ(g->TopRow(), 23) << "clamped to the last page";
  g->SetLeftCol(-5);
  EXPECT_EQ(g->LeftCol(), 1);
  g->SetRow(5);
  EXPECT_EQ(g->TopRow(), 5) << "a row above the window scrolls to the top";
  g->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(g->Row(), 6);
  g->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(g->Row(), 5);

  // Growing the grid keeps the window; shrinking clamps it.
  g->SetRowCount(6);
  EXPECT_EQ(g->Row(), 5);
  EXPECT_EQ(g->TopRow(), 1);
  g->SetBounds(0, 0, 300, 80);
  EXPECT_EQ(g->VisibleRowCount(), 2);
}

TEST_F(GridTest, PaintDrawsEveryShownCellWithItsStateAndTheLines) {
  TTestGrid* g = Shown();
  g->SetCol(2);
  g->drawn.clear();
  QImage img = Grab(g);
  // 5 columns (4 whole and one cut) by 8 rows.
  EXPECT_EQ(g->drawn.size(), 5u * 8u);
  auto state = [&](int c, int r) {
    for (const Drawn& d : g->drawn)
      if (d.col == c && d.row == r) return d.state;
    ADD_FAILURE() << "cell " << c << "," << r << " not drawn";
    return TGridDrawState{};
  };
  EXPECT_EQ(state(0, 0), (TGridDrawState{gdFixed}));
  EXPECT_EQ(state(2, 0), (TGridDrawState{gdFixed}));
  EXPECT_EQ(state(2, 1), (TGridDrawState{gdSelected, gdFocused}));
  EXPECT_EQ(state(1, 1), TGridDrawState{});
  // Lines: black between fixed cells, silver between scrollable ones; the
  // area beyond the last row is the grid's colour.
  EXPECT_EQ(img.pixelColor(64, 10).rgb() & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(img.pixelColor(129, 60).rgb() & 0xFFFFFF, 0xC0C0C0u);
  // A selected cell that is not focused is highlighted.
  Key(g, Qt::Key_Right, Qt::ShiftModifier);
  img = Grab(g);
  TRect sel = g->CellRect(2, 1);
  EXPECT_EQ(img.pixelColor(sel.Left + sel.Width() - 3, sel.Top + 12).rgb() & 0xFFFFFF, Rgb(clHighlight));

  // Hidden columns are not drawn.
  g->SetColWidths(3, -1);
  g->drawn.clear();
  Grab(g);
  for (const Drawn& d : g->drawn) EXPECT_NE(d.col, 3);
}

TEST_F(GridTest, MouseSelectsDragsAndScrollsOnTheTimer) {
  TTestGrid* g = Shown();
  TGridOptions o = g->Options();
  Mouse(g, WM_LBUTTONDOWN, 140, 60);  // cell (2, 2)
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->GridState(), gsSelecting);
  Mouse(g, WM_MOUSEMOVE, 210, 110);  // cell (3, 4)
  EXPECT_EQ(g->Selection(), (TGridRect{2, 2, 3, 4}));
  // Held below the cells, timer 1 scrolls a row per tick.
  Mouse(g, WM_MOUSEMOVE, 210, 230);
  int top = g->TopRow();
  clock_.Advance(60);
  EXPECT_EQ(g->TopRow(), top + 1);
  clock_.Advance(60);
  EXPECT_EQ(g->TopRow(), top + 2);
  EXPECT_EQ(g->Selection().Top, 2) << "the anchor stays";
  Mouse(g, WM_LBUTTONUP, 210, 230, 0);
  EXPECT_EQ(g->GridState(), gsNormal);
  EXPECT_EQ(clock_.ActiveCount(), 0) << "the release stops the timer";

  // Without goRangeSelect a drag moves the current cell only.
  o.Exclude(goRangeSelect);
  g->SetOptions(o);
  g->SetTopRow(1);
  Mouse(g, WM_LBUTTONDOWN, 80, 35);
  Mouse(g, WM_MOUSEMOVE, 140, 60);
  Mouse(g, WM_LBUTTONUP, 140, 60, 0);
  EXPECT_EQ(g->Selection(), (TGridRect{2, 2, 2, 2}));
  // A press on a fixed cell does not move the current cell.
  Mouse(g, WM_LBUTTONDOWN, 10, 60);
  Mouse(g, WM_LBUTTONUP, 10, 60, 0);
  EXPECT_EQ(g->Col(), 2);
}

TEST_F(GridTest, MouseSizesColumnsAndRowsAndMovesColumns) {
  TTestGrid* g = Shown();
  TGridOptions o = g->Options();
  o.Include(goColSizing);
  o.Include(goRowSizing);
  o.Include(goColMoving);
  g->SetOptions(o);

  g->col_widths_changes = g->row_heights_changes = 0;
  // Column 1's line is at 129: grab it 2 pixels right and drag 30 right.
  EXPECT_TRUE(g->Sizing(131, 10));
  Mouse(g, WM_LBUTTONDOWN, 131, 10);
  EXPECT_EQ(g->GridState(), gsColSizing);
  Mouse(g, WM_MOUSEMOVE, 161, 10);
  EXPECT_EQ(g->ColWidths(1), 64) << "the width changes on release";
  Mouse(g, WM_LBUTTONUP, 161, 10, 0);
  EXPECT_EQ(g->ColWidths(1), 94);
  EXPECT_EQ(g->col_widths_changes, 1);
  EXPECT_EQ(g->GridState(), gsNormal);

  // Row 2's line (at 74) from the fixed column.
  Mouse(g, WM_LBUTTONDOWN, 10, 74);
  EXPECT_EQ(g->GridState(), gsRowSizing);
  Mouse(g, WM_LBUTTONUP, 10, 64, 0);
  EXPECT_EQ(g->RowHeights(2), 14);
  EXPECT_EQ(g->row_heights_changes, 1);
  // Sizing a column down to one pixel or less is refused.
  Mouse(g, WM_LBUTTONDOWN, 64, 10);
  Mouse(g, WM_LBUTTONUP, 1, 10, 0);
  EXPECT_EQ(g->ColWidths(0), 64);

  // Drag the title of column 1 onto column 3.
  g->SetColWidths(1, 64);
  g->SetColWidths(2, 40);
  g->SetCol(2);
  Mouse(g, WM_LBUTTONDOWN, 90, 10);
  EXPECT_EQ(g->GridState(), gsColMoving);
  Mouse(g, WM_MOUSEMOVE, 200, 10);
  Mouse(g, WM_LBUTTONUP, 200, 10, 0);
  ASSERT_EQ(g->moves.size(), 1u);
  EXPECT_EQ(g->moves[0], std::make_pair(1, 3));
  EXPECT_EQ(g->ColWidths(1), 40) << "widths move with their columns";
  EXPECT_EQ(g->ColWidths(3), 64);
  EXPECT_EQ(g->Col(), 1) << "the current column follows its cells";
  // A press and release on the same title moves nothing.
  Mouse(g, WM_LBUTTONDOWN, 90, 10);
  Mouse(g, WM_LBUTTONUP, 92, 10, 0);
  EXPECT_EQ(g->moves.size(), 1u);
}

TEST_F(GridTest, APointerOverASizingLineShowsTheSplitCursor) {
  TTestGrid* g = Shown();
  g->SetOptions(g->Options() + TGridOptions{goColSizing, goRowSizing});
  g->SetCursor(crCross);
  QWidget* w = g->Widget();
  auto move = [&](int x, int y) {
    QPoint p(x, y);
    QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    return w->cursor().shape();
  };
  // Column 1's line is at 129 in the title row, row 2's at 74 in the
  // fixed column; elsewhere the grid's own Cursor.
  EXPECT_EQ(move(131, 10), Qt::SplitHCursor);
  EXPECT_EQ(move(100, 100), Qt::CrossCursor);
  EXPECT_EQ(move(10, 74), Qt::SplitVCursor);
  EXPECT_EQ(move(10, 60), Qt::CrossCursor);
  // While sizing (the grid holds the mouse) the cursor stays.
  EXPECT_EQ(move(131, 10), Qt::SplitHCursor);
  Mouse(g, WM_LBUTTONDOWN, 131, 10);
  EXPECT_EQ(move(200, 100), Qt::SplitHCursor);
  Mouse(g, WM_LBUTTONUP, 200, 100, 0);
  EXPECT_EQ(move(100, 100), Qt::CrossCursor);
}

TEST_F(GridTest, EditorShowsEditsAcceptsAndCancels) {
  TTestGrid* g = Shown();
  TGridOptions o = g->Options();
  o.Include(goEditing);
  g->SetOptions(o);
  g->limit = 6;
  Key(g, Qt::Key_F2);
  TInplaceEdit* e = g->InplaceEditor();
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(g->EditorMode());
  EXPECT_TRUE(e->Visible());
  EXPECT_TRUE(e->Focused());
  EXPECT_EQ(e->BoundsRect(), g->CellRect(1, 1));
  EXPECT_EQ(e->Text(), "c1r1");
  EXPECT_EQ(e->MaxLength(), 6);
  EXPECT_TRUE(g->sets.empty()) << "loading the editor is no edit";

  // Typing reaches the grid's edit text at once.
  Key(e, Qt::Key_End);
  Type(e, "x");
  EXPECT_EQ(Cell(g, 1, 1), "c1r1x");
  // Escape puts the text back and closes the editor.
  Key(e, Qt::Key_Escape);
  EXPECT_EQ(Cell(g, 1, 1), "c1r1");
  EXPECT_FALSE(e->Visible());
  EXPECT_TRUE(g->Focused());

  // Typing on the grid opens the editor with the character in place of the text.
  Type(g, "q");
  EXPECT_TRUE(e->Visible());
  EXPECT_EQ(e->Text(), "q");
  EXPECT_EQ(Cell(g, 1, 1), "q");
  // Down leaves the cell for the next row: the editor follows with its text.
  Key(e, Qt::Key_Down);
  EXPECT_EQ(g->Row(), 2);
  EXPECT_TRUE(e->Visible());
  EXPECT_EQ(e->Text(), "c1r2");
  EXPECT_EQ(e->BoundsRect(), g->CellRect(1, 2));
  // Enter closes it, Enter again opens it.
  Key(e, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_FALSE(g->EditorMode());
  Key(g, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_TRUE(e->Visible());

  // The grid's gates: refused characters and a refused modification.
  g->digits_only = true;
  Key(e, Qt::Key_End);
  Type(e, "a7");
  EXPECT_EQ(Cell(g, 1, 2), "c1r27");
  g->can_modify = false;
  Type(e, "8");
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(Cell(g, 1, 2), "c1r27");

  // The editor takes the grid's mask; scrolling its cell away hides it.
  g->can_modify = true;
  g->mask = "99;0;_";
  g->cells[{1, 3}] = "42";
  g->SetRow(3);
  EXPECT_EQ(e->EditMask(), "99;0;_");
  EXPECT_EQ(e->Text(), "42");
  g->SetTopRow(10);
  EXPECT_FALSE(e->Visible());
  EXPECT_TRUE(g->EditorMode());
  g->SetTopRow(1);
  EXPECT_TRUE(e->Visible());
  // Removing goEditing ends editor mode.
  o.Exclude(goEditing);
  g->SetOptions(o);
  EXPECT_FALSE(g->EditorMode());
  EXPECT_FALSE(e->Visible());
}

TEST_F(GridTest, AlwaysShowEditorAndArrowKeysAtTheTextEnds) {
  TTestGrid* g = Shown();
  TGridOptions o = g->Options();
  o.Include(goEditing);
  o.Include(goAlwaysShowEditor);
  g->SetOptions(o);
  TInplaceEdit* e = g->InplaceEditor();
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->Visible());
  EXPECT_TRUE(e->Focused());
  // With the whole text selected Right moves to the next column; with the
  // caret inside the text it stays in the editor until the caret is at the end.
  Key(e, Qt::Key_Right);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(e->Text(), "c2r1");
  e->SetSelStart(1);
  e->SetSelLength(0);
  Key(e, Qt::Key_Right);
  Key(e, Qt::Key_Home);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(e->SelStart(), 0);
  Key(e, Qt::Key_End);
  EXPECT_EQ(g->Col(), 2);
  Key(e, Qt::Key_Right);
  EXPECT_EQ(g->Col(), 3);
  e->SetSelStart(1);
  e->SetSelLength(0);
  Key(e, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(g->LeftCol(), 2) << "with Ctrl the key always goes to the grid";
  EXPECT_EQ(g->Col(), 3);
  // Escape restores without closing.
  Type(e, "z");
  Key(e, Qt::Key_Escape);
  EXPECT_TRUE(e->Visible());
  EXPECT_EQ(Cell(g, 2, 1), "c2r1");
  // Row select excludes the editor.
  o.Include(goRowSelect);
  g->SetOptions(o);
  EXPECT_FALSE(g->Options().Contains(goAlwaysShowEditor));
  EXPECT_FALSE(e->Visible());
}

TEST_F(GridTest, CountsAndSizesAreCheckedAndScale) {
  std::unique_ptr<TTestGrid> g(new TTestGrid(nullptr));
  EXPECT_THROW(g->SetFixedCols(5), EInvalidGridOperation);
  EXPECT_THROW(g->SetFixedRows(-1), EInvalidGridOperation);
  EXPECT_THROW(g->ColWidths(5), EInvalidGridOperation);
  EXPECT_THROW(g->SetRowHeights(-1, 3), EInvalidGridOperation);
  g->SetFixedCols(2);
  g->SetColCount(2);
  EXPECT_EQ(g->FixedCols(), 1) << "a smaller count keeps one scrollable column";
  g->SetColCount(3);
  g->SetSelection({1, 3, 2, 1});
  EXPECT_EQ(g->Selection(), (TGridRect{1, 1, 2, 3}));
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_THROW(g->SetSelection({1, 1, 3, 1}), EInvalidGridOperation);
  g->SetColWidths(2, 100);
  g->ChangeScale(3, 2);
  EXPECT_EQ(g->ColWidths(0), 96);
  EXPECT_EQ(g->ColWidths(2), 150);
  EXPECT_EQ(g->DefaultRowHeight(), 36);
}

}  // namespace

namespace {

TEST_F(GridTest, WindowScrollBarsFollowAndMoveTheTopLeftCell) {
  TTestGrid* g = Shown(ssBoth);
  HWND h = g->Handle();
  ASSERT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);
  ASSERT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_HSCROLL);
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(g->ClientHeight(), 200 - bar);
  EXPECT_EQ(g->VisibleRowCount(), (200 - bar - 25) / 25);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, si));
  const int page = g->VisibleRowCount();
  EXPECT_EQ(static_cast<int>(si.nPage), page);
  EXPECT_EQ(si.nMax - static_cast<int>(si.nPage) + 1, g->Layout().MaxTopLeft().Y - 1) << "the last position shows the last row";
  EXPECT_EQ(si.nPos, 0);

  struct Step {
    Word code;
    int pos;  // for the thumb
    int topRow;
  };
  const int last = g->Layout().MaxTopLeft().Y;
  const Step steps[] = {
      {SB_LINEDOWN, 0, 2}, {SB_PAGEDOWN, 0, 2 + page}, {SB_LINEUP, 0, 1 + page}, {SB_TOP, 0, 1},
      {SB_BOTTOM, 0, last}, {SB_PAGEDOWN, 0, last}, {SB_PAGEUP, 0, last - page},
      {SB_THUMBPOSITION, 9, 10}, {SB_THUMBTRACK, 3, 10} /* no goThumbTracking */, {SB_THUMBPOSITION, 99, last},
  };
  for (const Step& s : steps) {
    g->Perform(WM_VSCROLL, MAKEWPARAM(s.code, s.pos), 0);
    EXPECT_EQ(g->TopRow(), s.topRow) << "code " << s.code;
    EXPECT_EQ(GetScrollPos(h, SB_VERT), g->TopRow() - 1) << "code " << s.code;
  }
  TGridOptions o = g->Options();
  o.Include(goThumbTracking);
  g->SetOptions(o);
  g->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 3), 0);
  EXPECT_EQ(g->TopRow(), 4);
  // Keys move the bar too.
  Key(g, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
  g->Perform(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  EXPECT_EQ(g->LeftCol(), 2);
  EXPECT_EQ(GetScrollPos(h, SB_HORZ), 1);

  // Everything fits: no bars, and the client area grows back.
  g->SetRowCount(3);
  g->SetColCount(3);
  EXPECT_FALSE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_FALSE(GetWindowLong(h, GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(g->ClientHeight(), 200);
  EXPECT_EQ(g->LeftCol(), 1);
  g->SetRowCount(30);
  g->SetScrollBars(ssHorizontal);
  EXPECT_FALSE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);
}

// A grid that drives its vertical bar itself (ScrollBars ssHorizontal) and
// logs the editor's virtual operations.
class TOwnBarGrid : public TTestGrid {
 public:
  using TTestGrid::TTestGrid;
  std::vector<std::string> log;
  void ShowEditor() override {
    log.push_back("ShowEditor");
    TTestGrid::ShowEditor();
  }
  void HideEditor() override {
    log.push_back("HideEditor");
    TTestGrid::HideEditor();
  }
  void SetOwnBar(int pos) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 4;
    si.nPage = 0;
    si.nPos = pos;
    SetScrollInfo(Handle(), SB_VERT, si, true);
  }

 protected:
  void UpdateScrollBars() override {
    log.push_back("UpdateScrollBars");
    TTestGrid::UpdateScrollBars();
  }
};

TEST_F(GridTest, ADescendantKeepsItsOwnVerticalBarAndHooksTheEditor) {
  auto* g = Shown<TOwnBarGrid>(ssHorizontal);
  g->SetOptions(g->Options() + TGridOptions{goEditing});
  HWND h = g->Handle();
  g->SetOwnBar(2);
  ASSERT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);

  // The base grid updates its bars on every change of size, counts and
  // position: its horizontal bar follows, the descendant's vertical stays.
  g->log.clear();
  g->SetRowCount(40);
  g->SetColCount(12);
  g->Perform(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  g->SetBounds(0, 0, 280, 180);
  Key(g, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_NE(std::find(g->log.begin(), g->log.end(), "UpdateScrollBars"), g->log.end());
  EXPECT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL);
  EXPECT_TRUE(GetWindowLong(h, GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(GetScrollPos(h, SB_HORZ), 1);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, si));
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPos, 2);
  EXPECT_EQ(g->ClientHeight(), 180 - GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_EQ(g->ClientWidth(), 280 - GetSystemMetrics(SM_CXVSCROLL));

  // Every way the base grid opens the editor runs the override.
  g->log.clear();
  Key(g, Qt::Key_F2);
  Key(g, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  Type(g, "x");
  EXPECT_EQ(g->log, (std::vector<std::string>{"ShowEditor", "HideEditor", "ShowEditor"}));
  g->log.clear();
  g->SetOptions(g->Options() + TGridOptions{goAlwaysShowEditor});
  EXPECT_EQ(std::count(g->log.begin(), g->log.end(), "ShowEditor"), 1);
}

}  // namespace

namespace {

// What the window shows (the offscreen screen's copy of its backing store).
QImage OnScreen(TForm* form, TControl* c) {
  QApplication::processEvents();
  QImage all = QGuiApplication::primaryScreen()->grabWindow(form->Widget()->winId()).toImage();
  return all.copy(c->Left(), c->Top(), c->Width(), c->Height());
}

TEST_F(GridTest, ScrollingMovesThePixelsAndPaintsOnlyWhatItUncovers) {
  TTestGrid* g = Shown();
  g->SetCol(2);
  OnScreen(form_.get(), g);
  g->drawn.clear();
  g->Perform(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);  // also keys and the mouse
  QImage scrolled = OnScreen(form_.get(), g);
  ASSERT_FALSE(g->drawn.empty());
  for (const Drawn& d : g->drawn) EXPECT_TRUE(d.row >= 8) << "row " << d.row << " was painted again";
  g->Invalidate();
  QImage whole = OnScreen(form_.get(), g);
  EXPECT_EQ(scrolled, whole) << "the moved pixels are what a full paint shows";

  g->Perform(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  scrolled = OnScreen(form_.get(), g);
  g->Invalidate();
  EXPECT_EQ(scrolled, OnScreen(form_.get(), g));
}

}  // namespace
