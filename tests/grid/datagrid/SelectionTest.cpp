// The grid's selection, its list of selected records and its text routines.
#include <gtest/gtest.h>

#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class TPixelGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  std::vector<TRect> repainted;
  void InvalidateSelectionPixels(const TRect& R) override { repainted.push_back(R); }
};

class SelectionTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    grid_ = new TPixelGrid(form_);
    grid_->SetBounds(0, 0, 400, 200);
    grid_->SetParent(form_);
    grid_->SetDataSource(src_);
    OpenRows();
    grid_->Handle();
    for (int i = 0; i < 3; ++i) {
      bm_.push_back(ds_->GetBookmark());
      ds_->Next();
    }
    ds_->First();
  }
  TPixelGrid* grid_ = nullptr;
  std::vector<TBookmark> bm_;
};

TEST_F(SelectionTest, RectangleCornersTable) {
  struct Case {
    int acol, arow, scol, srow;
    TDBGridEhSelectionType type;
    int left, right, top, bottom;
  } cases[] = {
      {1, 1, 1, 1, gstNon, 1, 1, 1, 1},            // anchor equals shift
      {0, 0, 2, 2, gstRectangle, 0, 2, 0, 2},      // down-right
      {3, 2, 1, 0, gstRectangle, 1, 3, 0, 2},      // dragged upwards and left
  };
  for (const Case& c : cases) {
    TDBGridEhSelectionRect* r = grid_->Selection()->Rect();
    r->Select(c.acol, bm_[c.arow], false);
    r->Select(c.scol, bm_[c.srow], true);
    EXPECT_EQ(grid_->Selection()->SelectionType(), c.type);
    EXPECT_EQ(r->LeftCol(), c.left);
    EXPECT_EQ(r->RightCol(), c.right);
    EXPECT_EQ(r->TopRow(), bm_[c.top]);
    EXPECT_EQ(r->BottomRow(), bm_[c.bottom]);
    if (c.type == gstRectangle) {
      EXPECT_TRUE(grid_->Selection()->DataCellSelected(c.left, bm_[c.top]));
      EXPECT_FALSE(grid_->Selection()->DataCellSelected(c.right + 1, bm_[c.top]));
      const TRect g = grid_->Selection()->SelectionToGridRect();
      EXPECT_EQ(g.Left, c.left + grid_->IndicatorOffset());
      EXPECT_EQ(g.Top, grid_->TitleOffset() + c.top);
      EXPECT_EQ(g.Bottom, grid_->TitleOffset() + c.bottom);
    }
    grid_->Selection()->Clear();
  }
}

TEST_F(SelectionTest, RectangleRepaintsOnlyTheChange) {
  TDBGridEhSelectionRect* r = grid_->Selection()->Rect();
  r->Select(0, bm_[0], false);
  r->Select(1, bm_[1], true);
  grid_->repainted.clear();
  const int t = grid_->TitleOffset();
  const TRect before = grid_->BoxRect(1, t, 2, t + 1);
  r->Select(1, bm_[2], true);  // one row more: only the strip below the old rectangle
  const TRect taller = grid_->BoxRect(1, t, 2, t + 2);
  ASSERT_EQ(grid_->repainted.size(), 1u);
  EXPECT_EQ(grid_->repainted[0], (TRect{before.Left, before.Bottom, before.Right, taller.Bottom}));
  grid_->repainted.clear();
  r->Select(0, bm_[2], true);  // one column fewer on the right
  const TRect narrower = grid_->BoxRect(1, t, 1, t + 2);
  ASSERT_EQ(grid_->repainted.size(), 1u);
  EXPECT_EQ(grid_->repainted[0], (TRect{narrower.Right, taller.Top, taller.Right, taller.Bottom}));
  grid_->repainted.clear();
  r->Select(0, bm_[0], false);  // back to one cell: the whole old rectangle
  ASSERT_EQ(grid_->repainted.size(), 1u);
  EXPECT_EQ(grid_->repainted[0], narrower);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
}

TEST_F(SelectionTest, RectangleBoundsNeedAnActiveDataSet) {
  ds_->Close();
  TDBGridEhSelectionRect* r = grid_->Selection()->Rect();
  try {
    r->BottomRow();
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_STREQ(e.what(), "Error in TDBGridEhSelectionRect.GetBottomRow");
  }
  try {
    r->DataCellSelected(0, "x");
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_STREQ(e.what(), "Error in function TDBGridEhSelectionRect.CellSelected");
  }
  EXPECT_THROW(r->TopRow(), EInvalidGridOperation);
  EXPECT_THROW(r->LeftCol(), EInvalidGridOperation);
}

TEST_F(SelectionTest, ColumnsKeptSortedAndShiftExtension) {
  TDBGridEhSelectionCols* cols = grid_->Selection()->Columns();
  TDBGridColumnsEh* c = grid_->Columns();
  ASSERT_EQ(c->Count(), 5);
  cols->Select(c->Items(3), false);
  cols->Select(c->Items(0), true);
  cols->Select(c->Items(4), true);
  ASSERT_EQ(cols->Count(), 3);
  EXPECT_EQ(cols->Items(0), c->Items(0));
  EXPECT_EQ(cols->Items(1), c->Items(3));
  EXPECT_EQ(cols->Items(2), c->Items(4));
  const TRect g = cols->SelectionToGridRect();
  EXPECT_EQ(g.Left, grid_->DataToRawColumn(0));
  EXPECT_EQ(g.Right, grid_->DataToRawColumn(4));
  EXPECT_TRUE(grid_->Selection()->DataCellSelected(3, bm_[0]));
  EXPECT_FALSE(grid_->Selection()->DataCellSelected(1, bm_[0]));

  // Column 3 selected before; anchor 1, extend to 4, back to 2.
  cols->Select(c->Items(3), false);
  cols->Select(c->Items(1), true);
  cols->SelectShift(c->Items(4));
  EXPECT_EQ(cols->Count(), 4);
  cols->SelectShift(c->Items(2));
  ASSERT_EQ(cols->Count(), 3);
  EXPECT_EQ(cols->Items(0), c->Items(1));
  EXPECT_EQ(cols->Items(1), c->Items(2));
  EXPECT_EQ(cols->Items(2), c->Items(3));  // selected before the extension
  // Past the anchor to the left: the right side shrinks back.
  cols->SelectShift(c->Items(0));
  ASSERT_EQ(cols->Count(), 3);
  EXPECT_EQ(cols->Items(0), c->Items(0));
  EXPECT_EQ(cols->Items(2), c->Items(3));

  // Anchor not selected: the extension takes columns away; emptied is none.
  cols->Select(c->Items(2), false);
  cols->InvertSelect(c->Items(2));
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
}

TEST_F(SelectionTest, BookmarksSortedCachedAndStateUpdate) {
  TBookmarkListEh* rows = grid_->SelectedRows();
  for (int i : {2, 0, 1}) {
    ds_->GotoBookmark(bm_[static_cast<size_t>(i)]);
    rows->SetCurrentRowSelected(true);
  }
  ASSERT_EQ(rows->Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows->Items(i), bm_[static_cast<size_t>(i)]);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_EQ(rows->IndexOf(bm_[1]), 1);
  EXPECT_TRUE(rows->CacheValid());
  EXPECT_EQ(rows->IndexOf(bm_[1]), 1);
  ds_->GotoBookmark(bm_[1]);
  rows->SetCurrentRowSelected(false);
  EXPECT_FALSE(rows->CacheValid());
  EXPECT_EQ(rows->IndexOf(bm_[1]), -1);
  const TRect g = rows->SelectionRect();
  EXPECT_EQ(g.Top, grid_->TitleOffset());
  EXPECT_EQ(g.Bottom, grid_->TitleOffset() + 2);
  rows->Clear();
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
}

TEST_F(SelectionTest, RecordSelectedDuringRectangleBecomesRecordSelection) {
  grid_->Selection()->Rect()->Select(0, bm_[0], false);
  grid_->Selection()->Rect()->Select(2, bm_[2], true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  grid_->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_EQ(grid_->Selection()->Rect()->AnchorCol(), -1);
  grid_->Selection()->SelectAll();
  EXPECT_EQ(grid_->SelectedRows()->Count(), 0);
  EXPECT_TRUE(grid_->Selection()->DataCellSelected(4, bm_[2]));
}

TEST_F(SelectionTest, ClosedListRefusesCurrentRow) {
  ds_->Close();
  EXPECT_THROW(grid_->SelectedRows()->SetCurrentRowSelected(true), EInvalidGridOperation);
  EXPECT_THROW(grid_->SelectedRows()->CurrentRowSelected(), EInvalidGridOperation);
}

TEST_F(SelectionTest, EllipsisNeverWiderThanGiven) {
  TBitmap bmp;
  bmp.SetWidth(300);
  bmp.SetHeight(50);
  TCanvas* cv = bmp.Canvas();
  EXPECT_EQ(EllipsisText("abc", cv, 1000), "abc");
  for (const String& text : {String("A fairly long line of text"), String("Длинная строка кириллицей")}) {
    for (int w = 20; w <= 120; w += 7) {
      const String s = EllipsisText(text, cv, w);
      EXPECT_LE(cv->TextWidth(s), w) << s;
      ASSERT_GE(s.size(), 3u);
      EXPECT_EQ(s.substr(s.size() - 3), "...");
      const String prefix = s.substr(0, s.size() - 3);
      EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0);
      // Never a split character: the prefix ends on a character start.
      EXPECT_TRUE(prefix.size() == text.size() || (static_cast<unsigned char>(text[prefix.size()]) & 0xC0) != 0x80);
    }
  }
}

TEST_F(SelectionTest, MultiLineLayoutAndVerticalExtent) {
  TBitmap bmp;
  bmp.SetWidth(200);
  bmp.SetHeight(200);
  TCanvas* cv = bmp.Canvas();
  cv->Brush()->SetColor(clWhite);
  cv->FillRect(TRect{0, 0, 200, 200});
  cv->Font()->SetColor(clBlack);
  TDrawMultiLineTextParamsEh p;
  p.Rect = TRect{0, 0, 200, 200};
  p.Text = "XXXX";
  p.Layout = tlCenter;
  DrawMultiLineText(cv, p);
  int first = -1, last = -1;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 60; ++x)
      if (cv->Pixel(x, y) != clWhite) {
        if (first < 0) first = y;
        last = y;
      }
  ASSERT_GE(first, 0);
  EXPECT_NEAR((first + last) / 2, 100, cv->TextHeight("X"));

  const int upright = WriteVerticalText(cv, TRect{0, 0, 40, 200}, false, 0, 0, "Title", taLeftJustify, tlTop, false, true);
  EXPECT_EQ(upright, cv->TextWidth("Title"));
  cv->Font()->SetStyle(TFontStyles{fsItalic});
  const int italic = WriteVerticalText(cv, TRect{0, 0, 40, 200}, false, 0, 0, "Title", taLeftJustify, tlTop, false, true);
  EXPECT_GT(italic, cv->TextWidth("Title"));
  EXPECT_EQ(cv->Font()->Orientation(), 0);  // the canvas font is given back
  TFont f;
  f.SetStyle(TFontStyles{fsBold, fsItalic});
  LOGFONT lf;
  HFONT h = CreateVerticalFont(&f);
  ASSERT_TRUE(GetObject(h, &lf));
  EXPECT_EQ(lf.lfEscapement, 900);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 1);
  DeleteObject(h);
}

TEST_F(SelectionTest, SelectingMoveExtendsAndShrinks) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  grid_->SetAllowedSelections(TDBGridEhAllowedSelections{gstRecordBookmarks, gstRectangle});
  TBookmarkListEh* rows = grid_->SelectedRows();
  struct Step {
    bool select;
    int distance;
    bool to_end;
    std::vector<int> selected;
  } steps[] = {
      {true, 1, false, {0, 1}},     // first step: anchor and the record reached
      {true, 1, false, {0, 1, 2}},  // growing
      {true, -1, false, {0, 1}},    // back towards the anchor
      {true, -1, false, {0}},
      {true, 5, true, {0, 1, 2}},   // to the end, stopping at EOF
      {false, -1, false, {}},       // a plain move clears
  };
  for (const Step& st : steps) {
    grid_->SelectingMoveBy(st.select, st.distance, true, st.to_end);
    std::vector<int> got;
    for (int i = 0; i < 3; ++i)
      if (rows->IndexOf(bm_[static_cast<size_t>(i)]) >= 0) got.push_back(i);
    EXPECT_EQ(got, st.selected);
  }
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);

  // Rectangle mode: anchored at the current cell, the shift cell follows.
  ds_->First();
  grid_->SelectingMoveBy(true, 2, false, false);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  EXPECT_EQ(grid_->Selection()->Rect()->TopRow(), bm_[0]);
  EXPECT_EQ(grid_->Selection()->Rect()->BottomRow(), bm_[2]);
  grid_->SelectingMoveBy(true, -2, false, false);  // back onto the anchor: no rectangle
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  grid_->SelectingMoveBy(true, 1, false, false);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  // A kind no longer allowed is cleared; one still allowed stays.
  grid_->SetAllowedSelections(TDBGridEhAllowedSelections{gstRectangle});
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  // Not allowed: the dataset only moves.
  grid_->SetAllowedSelections(TDBGridEhAllowedSelections{});
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  grid_->SelectingMoveBy(true, 1, false, false);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  EXPECT_EQ(ds_->GetBookmark(), bm_[2]);
}

TEST_F(SelectionTest, DataSetFreedUnderASelectionThenGrid) {
  grid_->Selection()->Rect()->Select(0, bm_[0], false);
  grid_->Selection()->Rect()->Select(2, bm_[2], true);
  TBookmarkListEh* rows = grid_->SelectedRows();
  delete ds_;
  ds_ = nullptr;
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  EXPECT_FALSE(rows->Linked());
  EXPECT_EQ(grid_->Selection()->SelectionToGridRect(), (TRect{-1, -1, -1, -1}));
  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(0), false);
  delete grid_;  // with a column selection alive
  grid_ = nullptr;
}

}  // namespace
