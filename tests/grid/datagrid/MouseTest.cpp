// The grid's mouse input as window messages over a Firebird dataset of
// 10 000 rows: title presses and column moves, sort clicks, selection drags,
// the automatic scroll on timer 1; edited text written to fields and read
// back on another attachment.
#include <gtest/gtest.h>

#include <string>

#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"

namespace {

class TMouseGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  using TCustomDBGridEh::SetEditText;
  using TCustomDBGridEh::UpdateData;
};

void Mouse(TControl* C, Cardinal Msg, WPARAM Keys, int X, int Y) { C->Perform(Msg, Keys, MAKELPARAM(X, Y)); }

class GridMouseTest : public TGridFirebirdTest<GridMouseTest, TMouseGrid> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table GRID_M (ID integer not null primary key, NAME varchar(20), CODE integer)",
        "execute block as declare i integer = 1; begin while (i <= 10000) do begin "
        "insert into GRID_M values (:i, 'row ' || :i, null); i = i + 1; end end",
    };
  }

 protected:
  void SetUp() override {
    old_timers_ = SetTimerService(&timers_);
    SetUpGrid("select ID, NAME, CODE from GRID_M order by ID");
    ds_->UpdateSQL()->SetText("update GRID_M set NAME = ?NAME, CODE = ?CODE where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
    ds_->Open();
  }
  void TearDown() override {
    TGridFirebirdTest::TearDown();
    SetTimerService(old_timers_);
  }
  int Id() { return ds_->FieldByName("ID")->AsInteger(); }
  TPoint Centre(int ACol, int ARow) {
    const TRect r = grid_->CellRect(ACol, ARow);
    return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  void Press(TPoint P, WPARAM Keys = 0) { Mouse(grid_, WM_LBUTTONDOWN, MK_LBUTTON | Keys, P.X, P.Y); }
  void MoveTo(TPoint P, WPARAM Keys = 0) { Mouse(grid_, WM_MOUSEMOVE, MK_LBUTTON | Keys, P.X, P.Y); }
  void Release(TPoint P, WPARAM Keys = 0) { Mouse(grid_, WM_LBUTTONUP, Keys, P.X, P.Y); }
  void Tick() { grid_->Perform(WM_TIMER, TCustomDBGridEh::kAutoScrollTimerId, 0); }

  TManualTimerService timers_;
  TTimerService* old_timers_ = nullptr;
};

TEST_F(GridMouseTest, TitlePressBecomesAColumnMoveBeyondThreePixels) {
  grid_->Columns()->Items(0)->Title()->SetTitleButton(true);
  int btn_clicks = 0;
  grid_->SetOnTitleBtnClick({[&](TObject*, int, TColumnEh*) { ++btn_clicks; }});
  const TPoint p = Centre(1, 0);
  Press(p);
  ASSERT_EQ(grid_->PressedTitleCol(), 1);
  MoveTo(TPoint{p.X + 3, p.Y});
  EXPECT_EQ(grid_->PressedTitleCol(), 1);
  EXPECT_EQ(grid_->GridState(), gsNormal);
  MoveTo(TPoint{p.X + 4, p.Y});
  EXPECT_EQ(grid_->PressedTitleCol(), -1);
  EXPECT_EQ(grid_->GridState(), gsColMoving);
  // Dragged onto the third column and dropped: the column moved.
  MoveTo(Centre(3, 0));
  Release(Centre(3, 0));
  EXPECT_EQ(btn_clicks, 0);
  EXPECT_EQ(grid_->GridState(), gsNormal);
  EXPECT_EQ(grid_->Columns()->Items(2)->FieldName(), "ID");
}

TEST_F(GridMouseTest, TitleButtonClickOnlyOnReleaseOverThePressedTitle) {
  TColumnEh* name = grid_->Columns()->Items(1);
  name->Title()->SetTitleButton(true);
  std::vector<String> events;
  grid_->SetOnTitleBtnClick({[&](TObject*, int ACol, TColumnEh* C) {
    events.push_back("btn " + IntToStr(ACol) + " " + C->FieldName());
  }});
  grid_->SetOnTitleClick({[&](TColumnEh* C) { events.push_back("title " + C->FieldName()); }});
  bool enabled_seen = false;
  grid_->SetOnCheckButton({[&](TObject*, int, TColumnEh*, bool& Enabled) { enabled_seen = Enabled; }});

  // Released over a data cell: neither button nor title click.
  Press(Centre(2, 0));
  EXPECT_TRUE(enabled_seen);
  Release(Centre(2, 2));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(grid_->PressedTitleCol(), -1);
  EXPECT_FALSE(grid_->MouseCapture());

  Press(Centre(2, 0));
  Release(Centre(2, 0));
  EXPECT_EQ(events, (std::vector<String>{"btn 1 NAME", "title NAME"}));

  // A handler may refuse the button: no pressed title then.
  grid_->SetOnCheckButton({[&](TObject*, int, TColumnEh*, bool& Enabled) { Enabled = false; }});
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgColumnResize});
  Press(Centre(2, 0));
  EXPECT_EQ(grid_->PressedTitleCol(), -1);
  Release(Centre(2, 0));
}

TEST_F(GridMouseTest, CtrlTitleClicksKeepBothMarkersAndDeferTheSortEvent) {
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking, dghMultiSortMarking});
  for (int i = 0; i < 3; ++i) grid_->Columns()->Items(i)->Title()->SetTitleButton(true);
  int sorts = 0;
  grid_->SetOnSortMarkingChanged({[&](TObject*) { ++sorts; }});
  for (int col : {1, 2}) {
    Press(Centre(col, 0), MK_CONTROL);
    Release(Centre(col, 0), MK_CONTROL);
  }
  EXPECT_EQ(grid_->Columns()->Items(0)->Title()->SortMarker(), smDownEh);
  EXPECT_EQ(grid_->Columns()->Items(1)->Title()->SortMarker(), smDownEh);
  EXPECT_EQ(sorts, 0);
  EXPECT_TRUE(grid_->SortMarkingPending());
  // Losing the focus applies the pending marking once.
  grid_->Perform(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(sorts, 1);
  EXPECT_FALSE(grid_->SortMarkingPending());
  grid_->Perform(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(sorts, 1);

  // Without Ctrl: the other markers go and the event fires at once.
  Press(Centre(3, 0));
  Release(Centre(3, 0));
  EXPECT_EQ(sorts, 2);
  EXPECT_EQ(grid_->Columns()->Items(0)->Title()->SortMarker(), smNoneEh);
  EXPECT_EQ(grid_->Columns()->Items(2)->Title()->SortMarker(), smDownEh);
}

TEST_F(GridMouseTest, DragBelowTheDataScrollsPerTickByDistance) {
  const TRect data = grid_->DataCellsPixels();
  ASSERT_GT(data.Bottom, data.Top);
  Press(Centre(2, 2));
  ASSERT_EQ(Id(), 2);
  ASSERT_TRUE(grid_->Tracking());
  // Pixels below the data cells -> records per tick and the tick interval
  // (200 - 15 ms per pixel, never below the floor).
  struct Case {
    int below, records, interval;
  } cases[] = {{5, 1, 110}, {11, 2, 20}, {12, 2, TCustomDBGridEh::kMinAutoScrollInterval},
               {47, 8, TCustomDBGridEh::kMinAutoScrollInterval}, {200, 8, TCustomDBGridEh::kMinAutoScrollInterval}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.below);
    MoveTo(TPoint{data.Left + 20, data.Bottom + c.below});
    EXPECT_EQ(grid_->AutoScrollInterval(), c.interval);
    const int before = Id();
    Tick();
    EXPECT_EQ(Id(), before + c.records);
  }
  // Back inside: the timer stops and ticks do nothing.
  MoveTo(Centre(2, 2));
  EXPECT_EQ(grid_->AutoScrollInterval(), -1);
  const int before = Id();
  Release(Centre(2, 2));
  Tick();
  EXPECT_EQ(Id(), before);
  EXPECT_FALSE(grid_->Tracking());
  EXPECT_EQ(timers_.ActiveCount(), 0);
}

TEST_F(GridMouseTest, RectangleDragSelectsTheCellsDraggedOver) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  Press(Centre(1, 1));
  EXPECT_EQ(grid_->MouseState(), TCustomDBGridEh::msRectSelecting);
  MoveTo(Centre(2, 2));
  MoveTo(Centre(2, 3));
  Release(Centre(2, 3));
  EXPECT_EQ(grid_->MouseState(), TCustomDBGridEh::msNormal);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  TDBGridEhSelectionRect* r = grid_->Selection()->Rect();
  EXPECT_EQ(r->LeftCol(), 0);
  EXPECT_EQ(r->RightCol(), 1);
  ds_->First();
  const TBookmark first = ds_->GetBookmark();
  ds_->MoveBy(2);
  const TBookmark third = ds_->GetBookmark();
  ds_->Next();
  const TBookmark fourth = ds_->GetBookmark();
  EXPECT_TRUE(grid_->Selection()->DataCellSelected(0, first));
  EXPECT_TRUE(grid_->Selection()->DataCellSelected(1, third));
  EXPECT_FALSE(grid_->Selection()->DataCellSelected(2, third));
  EXPECT_FALSE(grid_->Selection()->DataCellSelected(0, fourth));

  // A drag that runs below the data extends the rectangle on each tick.
  const TRect data = grid_->DataCellsPixels();
  Press(Centre(1, 1));
  MoveTo(TPoint{Centre(1, 1).X, data.Bottom + 47});
  const int before = Id();
  Tick();
  EXPECT_EQ(Id(), before + 8);
  Release(TPoint{Centre(1, 1).X, data.Bottom + 47});
  EXPECT_TRUE(grid_->Selection()->DataCellSelected(0, ds_->GetBookmark()));
}

TEST_F(GridMouseTest, RowSelectAllowsOnlyRecordSelection) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect, dgRowSelect});
  // Over a title's lower band no column-selection cursor with dgRowSelect.
  const TRect title = grid_->CellRect(1, 0);
  EXPECT_EQ(grid_->HitCursor(title.Left + 10, title.Bottom - 2), crDefault);
  Press(Centre(1, 1));
  EXPECT_EQ(grid_->MouseState(), TCustomDBGridEh::msRowSelecting);
  MoveTo(Centre(1, 4));
  Release(Centre(1, 4));
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_EQ(grid_->SelectedRows()->Count(), 4);

  // The indicator selects records too; Ctrl adds without clearing.
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgRowSelect});
  EXPECT_EQ(grid_->HitCursor(Centre(0, 6).X, Centre(0, 6).Y), crRightCurEh);
  Press(Centre(0, 6), MK_CONTROL);
  Release(Centre(0, 6), MK_CONTROL);
  EXPECT_EQ(grid_->SelectedRows()->Count(), 5);
  EXPECT_EQ(Id(), 6);
}

TEST_F(GridMouseTest, ColumnSelectionFromTheTitleBand) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  const TRect t1 = grid_->CellRect(1, 0), t2 = grid_->CellRect(2, 0);
  ASSERT_GT(t1.Bottom - t1.Top, 7);
  // Only the lowest 7 pixels of the title announce column selection.
  EXPECT_EQ(grid_->HitCursor(t1.Left + 5, t1.Bottom - 7), crDownCurEh);
  EXPECT_EQ(grid_->HitCursor(t1.Left + 5, t1.Bottom - 8), crDefault);
  Press(TPoint{t1.Left + 5, t1.Bottom - 2});
  EXPECT_EQ(grid_->MouseState(), TCustomDBGridEh::msColSelecting);
  EXPECT_GT(grid_->AutoScrollInterval(), 0);
  MoveTo(TPoint{t2.Left + 5, t2.Bottom - 2});
  Release(TPoint{t2.Left + 5, t2.Bottom - 2});
  EXPECT_EQ(grid_->AutoScrollInterval(), -1);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstColumns);
  EXPECT_EQ(grid_->Selection()->Columns()->Count(), 2);
  // A title lower than the band shows the cursor over its whole height.
  grid_->SetRowHeights(0, 5);
  const TRect low = grid_->CellRect(1, 0);
  EXPECT_EQ(grid_->HitCursor(low.Left + 5, low.Top), crDownCurEh);
}

TEST_F(GridMouseTest, CancelModeAndFreeingTheGridStopTheTimer) {
  const TRect data = grid_->DataCellsPixels();
  Press(Centre(2, 2));
  MoveTo(TPoint{data.Left + 20, data.Bottom + 30});
  ASSERT_EQ(timers_.ActiveCount(), 1);
  grid_->Perform(WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(grid_->Tracking());
  EXPECT_EQ(grid_->AutoScrollInterval(), -1);
  EXPECT_EQ(timers_.ActiveCount(), 0);

  Press(Centre(2, 2));
  MoveTo(TPoint{data.Left + 20, data.Bottom + 30});
  ASSERT_EQ(timers_.ActiveCount(), 1);
  delete grid_;
  grid_ = nullptr;
  EXPECT_EQ(timers_.ActiveCount(), 0);
  timers_.Advance(500);
  ds_->Next();  // the dataset carries on without the grid
}

TEST_F(GridMouseTest, UpdateDataWritesTextThroughPickAndKeyLists) {
  TColumnEh* name = grid_->Columns()->Items(1);
  TColumnEh* code = grid_->Columns()->Items(2);
  name->PickList()->SetText("альфа\nбета");
  code->PickList()->SetText("один\nдва");
  code->KeyList()->SetText("1\n2");
  std::vector<String> not_in_list;
  name->SetOnNotInList({[&](TObject*, const String& T, bool&) { not_in_list.push_back(T); }});
  auto write = [&](int Id, TColumnEh* Col, const String& Text) {
    ds_->Locate("ID", Variant(Id), TLocateOptions());
    grid_->SetSelectedIndex(Col->Index());
    ds_->Edit();
    grid_->SetEditText(grid_->Col(), grid_->Row(), Text);
    grid_->DataLink()->Modified();
    ds_->Post();
  };
  write(1, name, "Ёлка");   // plain text, not in the pick list
  write(2, name, "бета");
  write(3, code, "два");    // key list: the key of the text
  write(4, code, "один");
  write(4, code, "");       // empty: Null
  write(5, code, "три");    // unknown without a handler: unchanged
  EXPECT_EQ(not_in_list, std::vector<String>{"Ёлка"});
  EXPECT_EQ(file_->QueryValue("select NAME from GRID_M where ID = 1"), "Ёлка");
  EXPECT_EQ(file_->QueryValue("select NAME from GRID_M where ID = 2"), "бета");
  EXPECT_EQ(file_->QueryValue("select CODE from GRID_M where ID = 3"), "2");
  EXPECT_EQ(file_->QueryValue("select coalesce(CODE, -1) from GRID_M where ID = 4"), "-1");
  EXPECT_EQ(file_->QueryValue("select coalesce(CODE, -1) from GRID_M where ID = 5"), "-1");

  // A key-list handler that adds the text and asks for a recheck.
  code->SetOnNotInList({[&](TObject*, const String& T, bool& Recheck) {
    code->PickList()->Add(T);
    code->KeyList()->Add("3");
    Recheck = true;
  }});
  write(5, code, "три");
  EXPECT_EQ(file_->QueryValue("select CODE from GRID_M where ID = 5"), "3");
}

}  // namespace
