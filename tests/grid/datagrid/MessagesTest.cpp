// The grid's property setters, window messages, check-box clicks, footer
// defaults and tooltips, over the in-memory dataset.
#include <gtest/gtest.h>

#include <functional>

#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Hints.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class GridMessagesTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
    grid_ = NewGrid();
    grid_->Handle();
  }
  TPoint Centre(int ACol, int ARow) {
    const TRect r = grid_->CellRect(ACol, ARow);
    return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  void Click(TPoint P, Cardinal Down = WM_LBUTTONDOWN) {
    grid_->Perform(Down, MK_LBUTTON, MAKELPARAM(P.X, P.Y));
    grid_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(P.X, P.Y));
  }
  TCustomDBGridEh* grid_ = nullptr;
};

TEST_F(GridMessagesTest, PropertySettersAndTheirEffects) {
  struct Case {
    const char* name;
    std::function<void(TCustomDBGridEh*)> act;
    std::function<void(TCustomDBGridEh*)> check;
  };
  int exits = 0, enters = 0;
  const Case cases[] = {
      {"FooterRowCount -1 is ignored",
       [](TCustomDBGridEh* g) {
         g->SetFooterRowCount(1);
         g->SetFooterRowCount(-1);
       },
       [](TCustomDBGridEh* g) { EXPECT_EQ(g->FooterRowCount(), 1); }},
      {"dgRowSelect drops the editor options",
       [](TCustomDBGridEh* g) { g->SetOptions(g->Options() + TDBGridOptions{dgRowSelect, dgAlwaysShowEditor}); },
       [](TCustomDBGridEh* g) {
         EXPECT_FALSE(g->Options().Contains(dgEditing));
         EXPECT_FALSE(g->Options().Contains(dgAlwaysShowEditor));
         EXPECT_TRUE(g->TCustomGrid::Options().Contains(goRowSelect));
         EXPECT_FALSE(g->TCustomGrid::Options().Contains(goEditing));
       }},
      {"no dgColumnResize: no base sizing or moving",
       [](TCustomDBGridEh* g) { g->SetOptions(g->Options() - TDBGridOptions{dgColumnResize}); },
       [](TCustomDBGridEh* g) {
         EXPECT_FALSE(g->TCustomGrid::Options().Contains(goColSizing));
         EXPECT_FALSE(g->TCustomGrid::Options().Contains(goColMoving));
       }},
      {"leaving dgMultiSelect clears the selection",
       [](TCustomDBGridEh* g) {
         g->SetOptions(g->Options() + TDBGridOptions{dgMultiSelect});
         g->Selection()->SelectAll();
         g->SetOptions(g->Options() - TDBGridOptions{dgMultiSelect});
       },
       [](TCustomDBGridEh* g) { EXPECT_EQ(g->Selection()->SelectionType(), gstNon); }},
      {"a kind no longer allowed is cleared",
       [](TCustomDBGridEh* g) {
         g->SetOptions(g->Options() + TDBGridOptions{dgMultiSelect});
         g->Selection()->SelectAll();
         g->SetAllowedSelections({gstRecordBookmarks, gstRectangle});
       },
       [](TCustomDBGridEh* g) { EXPECT_EQ(g->Selection()->SelectionType(), gstNon); }},
      {"leaving multi-sort keeps the first marker only",
       [](TCustomDBGridEh* g) {
         g->SetOptionsEh(g->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
         g->Columns()->Items(2)->Title()->SetSortMarker(smDownEh);
         g->Columns()->Items(0)->Title()->SetSortMarker(smUpEh);
         g->SetOptionsEh(g->OptionsEh() - TDBGridEhOptions{dghMultiSortMarking});
       },
       [](TCustomDBGridEh* g) {
         EXPECT_EQ(g->Columns()->Items(2)->Title()->SortMarker(), smDownEh);
         EXPECT_EQ(g->Columns()->Items(0)->Title()->SortMarker(), smNoneEh);
       }},
      {"Flat sets the title padding",
       [](TCustomDBGridEh* g) { g->SetFlat(true); },
       [](TCustomDBGridEh* g) {
         EXPECT_EQ(g->TitlePadding(), 2);
         g->SetFlat(false);
         EXPECT_EQ(g->TitlePadding(), 4);
       }},
      {"SelectedIndex moves the column with exit and enter",
       [&](TCustomDBGridEh* g) {
         g->SetOnColExit({[&](TObject*) { ++exits; }});
         g->SetOnColEnter({[&](TObject*) { ++enters; }});
         g->SetSelectedIndex(2);
         g->SetSelectedIndex(2);
       },
       [&](TCustomDBGridEh* g) {
         EXPECT_EQ(g->SelectedIndex(), 2);
         EXPECT_EQ(exits, 1);
         EXPECT_EQ(enters, 1);
       }},
      {"SelectedField moves to the field's column",
       [&](TCustomDBGridEh* g) { g->SetSelectedField(ds_->FieldByName("FLAG")); },
       [](TCustomDBGridEh* g) { EXPECT_EQ(g->SelectedIndex(), 3); }},
      {"a frozen column becomes current directly",
       [](TCustomDBGridEh* g) {
         g->SetFrozenCols(2);
         g->SetSelectedIndex(3);
         g->SetCol(1);
       },
       [](TCustomDBGridEh* g) {
         ASSERT_EQ(g->FixedCols(), 3);
         EXPECT_EQ(g->Col(), 1);
       }},
      {"a title font change turns ParentFont off",
       [](TCustomDBGridEh* g) {
         g->SetParentFont(true);
         g->TitleFont()->SetSize(g->TitleFont()->Size() + 4);
       },
       [](TCustomDBGridEh* g) { EXPECT_FALSE(g->ParentFont()); }},
      {"no data source: the sum list forgets the dataset",
       [](TCustomDBGridEh* g) { g->SetDataSource(nullptr); },
       [](TCustomDBGridEh* g) { EXPECT_EQ(g->SumList()->DataSet(), nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TCustomDBGridEh* g = NewGrid();
    g->Handle();
    ASSERT_EQ(g->SumList()->DataSet(), ds_);
    c.act(g);
    c.check(g);
    delete g;
  }
}

TEST_F(GridMessagesTest, TabStopsFollowTheField) {
  ds_->FieldByName("NAME")->SetReadOnly(true);
  grid_->Columns()->Items(4)->SetReadOnly(true);
  grid_->LayoutChanged();
  const bool expected[] = {true, false, true, true, false};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(grid_->TabStops(i + 1), expected[i]) << i;
  ds_->Close();
  EXPECT_FALSE(grid_->TabStops(1));
}

TEST_F(GridMessagesTest, CheckBoxCellStepsOnClickOrOnlyOnDoubleClick) {
  TColumnEh* flag = grid_->Columns()->Items(3);
  flag->SetCheckboxes(true);
  ASSERT_EQ(flag->GetColumnType(), cckCheckBoxes);
  TField* f = ds_->FieldByName("FLAG");
  ASSERT_TRUE(f->AsBoolean());
  Click(Centre(4, 1));
  EXPECT_FALSE(f->AsBoolean());
  Click(Centre(4, 1));
  EXPECT_TRUE(f->AsBoolean());
  // A press on the cell and a release elsewhere steps nothing.
  grid_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Centre(4, 1).X, Centre(4, 1).Y));
  grid_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(Centre(2, 1).X, Centre(2, 1).Y));
  EXPECT_TRUE(f->AsBoolean());

  flag->SetDblClickNextVal(true);
  Click(Centre(4, 1));
  EXPECT_TRUE(f->AsBoolean());
  grid_->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(Centre(4, 1).X, Centre(4, 1).Y));
  grid_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(Centre(4, 1).X, Centre(4, 1).Y));
  EXPECT_FALSE(f->AsBoolean());
}

TEST_F(GridMessagesTest, CellClickAndMouseDownEvents) {
  std::vector<String> clicks;
  grid_->SetOnCellClick({[&](TColumnEh* C) { clicks.push_back(C->FieldName()); }});
  int downs = 0;
  grid_->SetOnMouseDown({[&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; }});
  Click(Centre(2, 2));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(grid_->SelectedIndex(), 1);
  Click(Centre(0, 1));  // the indicator: no column
  EXPECT_EQ(clicks, std::vector<String>{"NAME"});
  EXPECT_EQ(downs, 2);
  TPoint p;
  int32_t time = -1;
  grid_->GetMouseDownInfo(p, time);
  EXPECT_EQ(p, Centre(0, 1));
}

TEST_F(GridMessagesTest, MessageAnswers) {
  EXPECT_EQ(grid_->Perform(WM_ERASEBKGND, 0, 0), 1);
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgEditing});
  EXPECT_EQ(grid_->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS, 0);
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghPreferIncSearch});
  EXPECT_NE(grid_->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS, 0);
  // The wheel moves the record pointer.
  grid_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
  grid_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 1);
  // A parent colour reaches the footer with ParentColor.
  form_->SetColor(clYellow);
  grid_->SetParentColor(true);
  ASSERT_EQ(grid_->Color(), clYellow);
  grid_->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  EXPECT_EQ(grid_->FooterColor(), clYellow);
}

TEST_F(GridMessagesTest, FlatSingleBorderTakesAPixelOnEachSide) {
  TCustomDBGridEh* g = NewGrid();
  g->SetCtl3D(true);
  g->SetBorderStyle(bsSingle);
  g->SetFlat(true);
  g->SetScrollBars(ssNone);
  g->Handle();
  EXPECT_EQ(g->FlatBorderWidth(), 1);
  EXPECT_EQ(g->ClientWidth(), g->Width() - 2);
  EXPECT_EQ(g->ClientHeight(), g->Height() - 2);
  g->SetFlat(false);
  EXPECT_EQ(g->FlatBorderWidth(), 0);
}

TEST_F(GridMessagesTest, FooterOfAMissingFieldShowsZero) {
  grid_->SetFooterRowCount(1);
  TColumnEh* c = grid_->Columns()->Items(2);
  c->Footer()->SetValueType(fvtSum);
  grid_->SumList()->SetActive(false);
  c->Footer()->SetFieldName("NO_SUCH");
  EXPECT_EQ(grid_->GetFooterValue(0, c), "0");
  c->Footer()->SetFieldName("");
  grid_->SumList()->SetActive(true);
  c->Footer()->SetDisplayFormat("0.00");
  EXPECT_EQ(grid_->GetFooterValue(0, c), "30.75");
  c->Footer()->SetValueType(fvtFieldValue);
  c->Footer()->SetFieldName("AMOUNT");
  c->Footer()->SetDisplayFormat("0.0");
  EXPECT_EQ(grid_->GetFooterValue(0, c), "10.5");
}

TEST_F(GridMessagesTest, TooltipShowsTheWholeTextOfATruncatedCell) {
  TColumnEh* name = grid_->Columns()->Items(1);
  name->SetToolTips(true);
  name->SetWidth(12);
  const TPoint p = Centre(2, 1);
  THintInfo info;
  info.CursorPos = p;
  EXPECT_EQ(grid_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.HintStr, "one");
  EXPECT_EQ(info.CursorRect, grid_->CellRect(2, 1));
  EXPECT_NE(info.HintWindowClass, nullptr);
  // A text that fits shows nothing.
  name->SetWidth(200);
  THintInfo fits;
  fits.CursorPos = Centre(2, 1);
  EXPECT_NE(grid_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&fits)), 0);
  // A title's hint: its short part.
  name->Title()->SetHint("Имя|Полное имя");
  THintInfo title;
  title.CursorPos = Centre(2, 0);
  grid_->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&title));
  EXPECT_EQ(title.HintStr, "Имя");
}

TEST_F(GridMessagesTest, FreedDataSetLeavesTheSumListAndGrid) {
  grid_->Columns()->Items(2)->Footer()->SetValueType(fvtSum);
  ASSERT_EQ(grid_->SumList()->DataSet(), ds_);
  delete ds_;
  ds_ = nullptr;
  EXPECT_EQ(grid_->SumList()->DataSet(), nullptr);
  grid_->Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(10, 10));
  Click(Centre(1, 1));
}

TEST_F(GridMessagesTest, FrozenColumnSizingFromItsTitleBorder) {
  for (bool trace : {false, true}) {
    SCOPED_TRACE(trace);
    TCustomDBGridEh* g = NewGrid();
    g->Handle();
    g->SetFrozenCols(1);
    if (trace) g->SetOptionsEh(g->OptionsEh() + TDBGridEhOptions{dghTraceColSizing});
    ASSERT_EQ(g->FixedCols(), 2);
    const int w = g->ColWidths(1);
    const int border = g->Layout().ColStart(1) + w;
    const int y = g->CellRect(1, 0).Top + 3;
    g->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border, y));
    EXPECT_EQ(g->MouseState(), TCustomDBGridEh::msFrozenColSizing);
    g->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(border + 20, y));
    EXPECT_EQ(g->ColWidths(1), trace ? w + 20 : w);  // live only when traced
    g->Perform(WM_LBUTTONUP, 0, MAKELPARAM(border + 20, y));
    EXPECT_EQ(g->ColWidths(1), w + 20);
    EXPECT_EQ(g->Columns()->Items(0)->Width(), w + 20);
    EXPECT_EQ(g->MouseState(), TCustomDBGridEh::msNormal);
    delete g;
  }
}

TEST_F(GridMessagesTest, PressOnASelectedRecordStartsADragOnTheFirstMove) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  grid_->SetDragMode(dmAutomatic);
  grid_->SelectedRows()->SetCurrentRowSelected(true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  const TPoint p = Centre(2, 1);
  // Released without moving: the selection is cleared.
  grid_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(grid_->SelectedRows()->Count(), 1);
  grid_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(grid_->SelectedRows()->Count(), 0);
  EXPECT_FALSE(grid_->Dragging());

  grid_->SelectedRows()->SetCurrentRowSelected(true);
  grid_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(grid_->DragMode(), dmAutomatic);
  grid_->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X + 1, p.Y));
  EXPECT_TRUE(grid_->Dragging());
  EXPECT_EQ(grid_->SelectedRows()->Count(), 1);
  grid_->EndDrag(false);
}

TEST_F(GridMessagesTest, SortMarkedListFollowsTheSortIndexAfterColumnChanges) {
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
  TColumnEh* a = grid_->Columns()->Items(0);
  TColumnEh* b = grid_->Columns()->Items(2);
  grid_->Columns()->BeginUpdate();
  a->Title()->SetSortMarker(smDownEh);
  a->Title()->SetSortIndex(2);
  b->Title()->SetSortMarker(smUpEh);
  b->Title()->SetSortIndex(1);
  grid_->Columns()->EndUpdate();
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 2);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(0), b);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(1), a);
  delete b;  // no empty entry is left behind
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 1);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(0), a);
}

TEST_F(GridMessagesTest, RowEditableByTheAllowedOperations) {
  struct Case {
    TDBGridEhAllowedOperations ops;
    bool empty, editable;
  } cases[] = {
      {{alopUpdateEh}, false, true},
      {{alopInsertEh, alopAppendEh, alopDeleteEh}, false, false},
      {{alopUpdateEh}, true, false},
      {{alopUpdateEh, alopAppendEh}, true, true},
  };
  for (const Case& c : cases) {
    if (c.empty) {
      ds_->First();
      while (!(ds_->Bof() && ds_->Eof())) ds_->Delete();
    } else if (ds_->Bof() && ds_->Eof()) {
      ds_->AppendRows({{1, "one", 1.0, true, "Y"}});
    }
    grid_->SetAllowedOperations(c.ops);
    EXPECT_EQ(grid_->IsRowEditable(), c.editable);
  }
  ds_->Close();
  EXPECT_FALSE(grid_->IsRowEditable());
}

TEST_F(GridMessagesTest, PressOnAFilterCellOpensItsEditor) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  grid_->STFilter()->SetVisible(true);
  grid_->Selection()->SelectAll();
  const int filter_row = grid_->TitleOffset() - 1;
  ASSERT_TRUE(grid_->IsFilterRow(filter_row));
  const TPoint p = Centre(2, filter_row);
  grid_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  grid_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_TRUE(grid_->FilterEditing());
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  ASSERT_NE(grid_->FilterEditor(), nullptr);
  EXPECT_TRUE(grid_->FilterEditor()->Visible());
  // A press in the data hides it again.
  Click(Centre(2, grid_->TitleOffset() + 1));
  EXPECT_FALSE(grid_->FilterEditor()->Visible());
}

}  // namespace
