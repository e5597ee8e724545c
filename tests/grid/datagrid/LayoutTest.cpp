// The grid's layout over a Firebird dataset (columns, row and title heights,
// the header tree, auto-fit, footers at the bottom), the header tree's own
// operations, cell classification, optimal widths, leaving the grid, copying
// from the row above and the tooltip window.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

// ---------------------------------------------------------------------------
// The header tree and the caption words (no window)

TEST(HeadTreeNodeTest, RingsUnionsAndErrors) {
  auto root = std::make_unique<THeadTreeNode>("Root", 0, 10);
  THeadTreeNode* a = root->AddChild(root.get(), "a", 40, 50);
  THeadTreeNode* c = root->AddChild(root.get(), "c", 40, 70);
  THeadTreeNode* b = root->Add(a, "b", 40, 60);
  for (THeadTreeNode* n : {a, b, c}) n->SetWIndent(1);
  EXPECT_EQ(root->Children(), (std::vector<THeadTreeNode*>{a, b, c}));
  EXPECT_EQ(c->Next(), a);  // the ring closes
  EXPECT_EQ(b->Host(), root.get());

  THeadTreeNode* u = root->Union(a, b, 20, "ab");
  EXPECT_EQ(root->Children(), (std::vector<THeadTreeNode*>{u, c}));
  EXPECT_EQ(u->Children(), (std::vector<THeadTreeNode*>{a, b}));
  EXPECT_EQ(u->Width(), 50 + 1 + 60 + 1 - 1);
  EXPECT_EQ(u->WIndent(), 1);
  EXPECT_EQ(a->Height(), 20);
  EXPECT_EQ(a->Host(), u);
  EXPECT_EQ(a->GetLevel(), 2);
  EXPECT_EQ(u->GetLevel(), 1);
  EXPECT_TRUE(root->Find(b));
  EXPECT_FALSE(u->Find(c));

  std::vector<String> walk;
  root->ForEach([](THeadTreeNode* n, void* d) { static_cast<std::vector<String>*>(d)->push_back(n->Text()); }, &walk);
  EXPECT_EQ(walk, (std::vector<String>{"ab", "a", "b", "c"}));

  THeadTreeNode stranger("x", 0, 0);
  EXPECT_EQ(stranger.Next(), &stranger);
  try {
    root->AddChild(&stranger, "y", 0, 0);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Node not in Tree");
  }
  EXPECT_THROW(root->Add(&stranger, "y", 0, 0), Exception);
  try {
    root->Union(a, c, 20, "bad");  // c is in another ring
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "ATo not in level");
  }
  // Union of a whole ring, then the tree freed under a node.
  THeadTreeNode* all = root->Union(u, c, 20, "all");
  EXPECT_EQ(all->Next(), all);
  EXPECT_EQ(root->Child(), all);
  root->FreeAllChild();
  EXPECT_EQ(root->Child(), nullptr);
}

TEST(HeadTreeNodeTest, CaptionWords) {
  struct Case {
    int n;
    String text;
    int pos;
    String word;
  };
  const Case cases[] = {
      {1, "A|B", 1, "A"},        {2, "A|B", 3, "B"},       {3, "A|B", 0, ""},
      {1, "|A||B|", 2, "A"},     {2, "|A||B|", 5, "B"},    {1, "", 0, ""},
      {2, "Итого|Сумма", 12, "Сумма"}, {1, "Итого|Сумма", 1, "Итого"}, {1, "plain", 1, "plain"},
  };
  for (const Case& c : cases) {
    int pos = -1;
    EXPECT_EQ(ExtractWordPos(c.n, c.text, "|", pos), c.word) << c.text << " " << c.n;
    EXPECT_EQ(pos, c.pos) << c.text << " " << c.n;
    EXPECT_EQ(WordPosition(c.n, c.text, "|"), c.pos);
    EXPECT_EQ(ExtractWord(c.n, c.text, "|"), c.word);
  }
}

// ---------------------------------------------------------------------------
// The grid over a Firebird dataset

class TLayoutGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  using TCustomDBGridEh::DoExit;
  bool titles_override = false;
  bool TitlesVisible() const override { return !titles_override && TCustomDBGridEh::TitlesVisible(); }
};

class LayoutTest : public TGridFirebirdTest<LayoutTest, TLayoutGrid> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table LAY_T (ID integer not null primary key, NAME varchar(40), AMOUNT numeric(15,2))",
        "insert into LAY_T values (1, 'row', 1.5)",
        "insert into LAY_T values (2, 'Съешь же ещё этих мягких булок', 2)",
        "insert into LAY_T values (3, 'The quick brown fox jumps', 3)",
        "insert into LAY_T values (4, 'x', 4)",
        "create table LAY_EMPTY (ID integer not null primary key, NAME varchar(40))",
    };
  }

 protected:
  void SetUp() override {
    SetUpGrid("select ID, NAME, AMOUNT from LAY_T order by ID");
    form_->SetBounds(50, 50, 600, 400);
    ds_->InsertSQL()->SetText("insert into LAY_T (ID, NAME, AMOUNT) values (?ID, ?NAME, ?AMOUNT)");
    ds_->UpdateSQL()->SetText("update LAY_T set NAME = ?NAME, AMOUNT = ?AMOUNT where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
  }
  // Text extent in a font, measured apart from the grid.
  static TSize Extent(TFont* Font, const String& Text) {
    TBitmap b;
    b.Canvas()->SetFont(Font);
    return b.Canvas()->TextExtent(Text);
  }
  int Line() const { return grid_->GridLineWidth(); }
  // Sum of the visible data columns' widths and lines, with the indicator.
  int UsedWidth() const {
    int w = grid_->ColWidths(0) + Line();
    for (int i = 1; i < grid_->ColCount(); ++i) w += std::max(0, grid_->ColWidths(i) + Line());
    return w;
  }
};

TEST_F(LayoutTest, ColumnsFromFieldsAndOneEmptyColumnWithout) {
  // No dataset open: one empty column.
  ASSERT_EQ(grid_->Columns()->Count(), 1);
  EXPECT_EQ(grid_->Columns()->Items(0)->Field(), nullptr);
  EXPECT_EQ(grid_->ColCount(), 2);
  ds_->Open();
  ASSERT_EQ(grid_->Columns()->Count(), 3);
  EXPECT_EQ(grid_->Columns()->Items(1)->Field(), ds_->FieldByName("NAME"));
  // Hidden columns inside and right after the frozen area are fixed too.
  grid_->Columns()->Items(0)->SetVisible(false);
  grid_->SetFrozenCols(1);
  EXPECT_EQ(grid_->FixedCols(), 1 + 1 + 1);
  EXPECT_EQ(grid_->VisibleColumns()->Count(), 2);
  ds_->Close();
  EXPECT_EQ(grid_->Columns()->Count(), 1);
}

TEST_F(LayoutTest, RowHeightsFromFontRowLinesAndFitToText) {
  ds_->Open();
  const TSize wg = Extent(grid_->Font(), "Wg");
  const int t = wg.cy;
  struct Case {
    bool flat;
    bool row_lines;
    int row_height;
    int row_lines_count;
    bool fit;
    int expected;
  };
  const int lw = Line();
  const Case cases[] = {
      {false, true, 0, 0, false, t + 3 + lw},
      {false, false, 0, 0, false, t + 3},
      {true, true, 0, 0, false, t + 1 + lw},
      {false, true, 30, 0, false, 30},
      // 1.4 lines snap to one line, 1.6 lines to two (plus the margin).
      {false, true, 3 + lw + t * 14 / 10, 0, true, t + 3 + lw},
      {false, true, 3 + lw + t * 16 / 10, 0, true, 2 * t + 3 + lw},
  };
  for (const Case& c : cases) {
    grid_->BeginLayout();
    grid_->SetFlat(c.flat);
    TDBGridOptions o = grid_->Options();
    if (c.row_lines) o.Include(dgRowLines);
    else o.Exclude(dgRowLines);
    grid_->SetOptions(o);
    TDBGridEhOptions oe = grid_->OptionsEh();
    if (c.fit) oe.Include(dghFitRowHeightToText);
    else oe.Exclude(dghFitRowHeightToText);
    grid_->SetOptionsEh(oe);
    grid_->SetRowLines(c.row_lines_count);
    grid_->SetRowHeight(c.row_height);
    grid_->EndLayout();
    EXPECT_EQ(grid_->DefaultRowHeight(), c.expected) << c.row_height << " fit " << c.fit;
    EXPECT_EQ(grid_->RowHeights(grid_->TitleOffset()), c.expected);
    if (c.fit) {
      EXPECT_EQ(grid_->RowHeight(), 3 + lw);
      EXPECT_EQ(grid_->RowLines(), (c.expected - 3 - lw) / t);
    }
  }
  // Negative values are stored as 0.
  grid_->SetOptionsEh(grid_->OptionsEh() - TDBGridEhOptions{dghFitRowHeightToText});
  grid_->SetRowHeight(-5);
  grid_->SetRowLines(-2);
  EXPECT_EQ(grid_->RowHeight(), 0);
  EXPECT_EQ(grid_->RowLines(), 0);
  // Title row: the title font's "Wg" plus the padding (2 when flat).
  grid_->SetFlat(false);
  EXPECT_EQ(grid_->RowHeights(0), Extent(grid_->TitleFont(), "Wg").cy + 4);
  grid_->SetFlat(true);
  EXPECT_EQ(grid_->RowHeights(0), Extent(grid_->TitleFont(), "Wg").cy + 2);
}

TEST_F(LayoutTest, UserSizedRowGivesTheRowHeight) {
  ds_->Open();
  grid_->SetRowSizingAllowed(true);
  grid_->SetRowHeights(grid_->TitleOffset() + 1, 40);
  EXPECT_EQ(grid_->RowHeight(), 40);
  EXPECT_EQ(grid_->RowLines(), 0);
  EXPECT_EQ(grid_->DefaultRowHeight(), 40);
}

TEST_F(LayoutTest, HeaderTreeJoinsAdjacentEqualCaptionsOnly) {
  for (const char* f : {"ID", "NAME", "AMOUNT", "ID"}) grid_->Columns()->Add()->SetFieldName(f);
  struct Case {
    std::vector<String> captions;
    // Texts under the root, with the children of each in brackets.
    String shape;
  };
  const Case cases[] = {
      {{"A|B", "A|C", "D", "E"}, "A[B C] D E"},
      {{"A|B", "X", "A|C", "E"}, "A[B] X A[C] E"},
      {{"A|B|1", "A|B|2", "A|C", "Z"}, "A[B[1 2] C] Z"},
      {{"Итого|Сумма", "Итого|Число", "Итог", "Итого|Сумма"}, "Итого[Сумма Число] Итог Итого[Сумма]"},
  };
  auto shape = [](THeadTreeNode* n, auto& self) -> String {
    String s;
    for (THeadTreeNode* c : n->Children()) {
      if (!s.empty()) s += " ";
      s += c->Text();
      if (c->Child() != nullptr) s += "[" + self(c, self) + "]";
    }
    return s;
  };
  grid_->SetUseMultiTitle(true);
  for (const Case& c : cases) {
    grid_->BeginLayout();
    for (int i = 0; i < 4; ++i) grid_->Columns()->Items(i)->Title()->SetCaption(c.captions[static_cast<size_t>(i)]);
    grid_->EndLayout();
    EXPECT_EQ(shape(grid_->HeadTree(), shape), c.shape);
    ASSERT_EQ(grid_->LeafFieldArr().size(), 4u);
    EXPECT_EQ(grid_->LeafFieldArr()[3].Column, grid_->Columns()->Items(3));
  }
  // The first case again: a caption without "|" is a leaf of the full
  // height; a parent's band and its leaves' add up to it.
  grid_->BeginLayout();
  for (int i = 0; i < 4; ++i) grid_->Columns()->Items(i)->Title()->SetCaption(cases[0].captions[static_cast<size_t>(i)]);
  grid_->EndLayout();
  THeadTreeNode* root = grid_->HeadTree();
  THeadTreeNode* a = root->Child();
  THeadTreeNode* d = a->Next();
  EXPECT_EQ(d->Height(), root->Height());
  EXPECT_EQ(a->Height() + a->Child()->Height(), root->Height());
  EXPECT_EQ(a->Width(), grid_->Columns()->Items(0)->Width() + 1 + grid_->Columns()->Items(1)->Width());
  EXPECT_EQ(grid_->RowHeights(0), root->Height() - 1);  // dghFixed3D
}

TEST_F(LayoutTest, AutoFitFillsTheClientWidthAndStopsAtTheMinimum) {
  ds_->Open();
  const std::vector<int> before{grid_->Columns()->Items(0)->Width(), grid_->Columns()->Items(1)->Width(),
                                grid_->Columns()->Items(2)->Width()};
  grid_->SetAutoFitColWidths(true);
  EXPECT_EQ(grid_->ScrollBars(), ssNone);
  for (int width : {300, 457, 800, 211}) {
    grid_->SetBounds(0, 0, width, 200);
    EXPECT_EQ(UsedWidth(), grid_->ClientWidth()) << width;
  }
  // Proportions of the widths before auto-fit are kept.
  EXPECT_NEAR(static_cast<double>(grid_->Columns()->Items(1)->Width()) / grid_->Columns()->Items(0)->Width(),
              static_cast<double>(before[1]) / before[0], 0.1);
  grid_->SetMinAutoFitWidth(500);
  grid_->SetBounds(0, 0, 250, 200);
  EXPECT_EQ(UsedWidth(), 500);
  // A column held by its MaxWidth leaves the rest to the others.
  grid_->SetMinAutoFitWidth(0);
  grid_->Columns()->Items(0)->SetMaxWidth(30);
  grid_->SetBounds(0, 0, 600, 200);
  EXPECT_EQ(grid_->Columns()->Items(0)->Width(), 30);
  EXPECT_EQ(UsedWidth(), grid_->ClientWidth());
  grid_->Columns()->Items(0)->SetMaxWidth(0);
  // Switched off: the widths before auto-fit come back with the scroll bar.
  grid_->SetAutoFitColWidths(false);
  EXPECT_EQ(grid_->ScrollBars(), ssHorizontal);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(grid_->Columns()->Items(i)->Width(), before[static_cast<size_t>(i)]);
}

TEST_F(LayoutTest, FootersStayAtTheBottom) {
  grid_->SetFooterRowCount(2);
  for (bool open : {false, true}) {
    if (open) ds_->Open();
    for (int height : {200, 260, 333}) {
      grid_->SetBounds(0, 0, 400, height);
      const int last = grid_->RowCount() - 1;
      int used = 0;
      for (int r = 0; r < grid_->RowCount(); ++r) used += grid_->RowHeights(r) + Line();
      EXPECT_EQ(used, grid_->ClientHeight()) << open << " " << height;
      EXPECT_EQ(grid_->CellRect(1, last).Bottom + Line(), grid_->ClientHeight());
      // Titles, the data rows, the filler, two footers.
      const int data = open ? grid_->DataLink()->RecordCount() : 1;
      EXPECT_EQ(grid_->RowCount(), 1 + data + 1 + 2);
    }
  }
}

TEST_F(LayoutTest, CellTypeOverEveryArea) {
  grid_->SetFooterRowCount(2);
  grid_->STFilter()->SetVisible(true);
  ds_->Open();
  ASSERT_EQ(grid_->DataLink()->RecordCount(), 4);
  // Rows: title 0, filter 1, data 2..5, filler 6, footers 7..8.
  ASSERT_EQ(grid_->RowCount(), 9);
  using G = TCustomDBGridEh;
  struct Case {
    int col, row;
    G::THorzCellKindEh horz;
    G::TVertCellKindEh vert;
    int data_col, data_row;
  };
  const Case cases[] = {
      {0, 0, G::hckIndicatorEh, G::vckTitleEh, 0, 0},  {1, 0, G::hckDataEh, G::vckTitleEh, 0, 0},
      {2, 1, G::hckDataEh, G::vckFilterEh, 1, 0},      {0, 2, G::hckIndicatorEh, G::vckDataEh, 0, 0},
      {3, 5, G::hckDataEh, G::vckDataEh, 2, 3},        {1, 6, G::hckDataEh, G::vckAboveFooterEh, 0, 0},
      {1, 7, G::hckDataEh, G::vckFooterEh, 0, 1},      {0, 8, G::hckIndicatorEh, G::vckFooterEh, 0, 2},
  };
  for (const Case& c : cases) {
    int dc = -1, dr = -1;
    const G::TCellTypeEh t = grid_->GetCellType(c.col, c.row, dc, dr);
    EXPECT_EQ(t.Horz, c.horz) << c.col << "," << c.row;
    EXPECT_EQ(t.Vert, c.vert) << c.col << "," << c.row;
    EXPECT_EQ(dc, c.data_col) << c.col << "," << c.row;
    EXPECT_EQ(dr, c.data_row) << c.col << "," << c.row;
  }
  // Without footers the last row is a data row.
  grid_->SetFooterRowCount(0);
  grid_->STFilter()->SetVisible(false);
  ASSERT_EQ(grid_->RowCount(), 5);
  EXPECT_EQ(grid_->GetDataCellsRect().Bottom, 4);
  int dc = 0, dr = 0;
  EXPECT_EQ(grid_->GetCellType(1, 4, dc, dr).Vert, G::vckDataEh);
  EXPECT_EQ(dr, 3);
  // A row between the titles and the data belongs to no kind.
  grid_->titles_override = true;
  try {
    grid_->GetCellType(1, 0, dc, dr);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Algorithm error in TCustomDBGridEh.GetCellType");
  }
}

TEST_F(LayoutTest, CellSelectionByArea) {
  grid_->SetFooterRowCount(1);
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  ds_->Open();
  const TBookmark first = ds_->Bookmark();
  const int data = grid_->TitleOffset();
  const int footer = grid_->RowCount() - 1;
  EXPECT_FALSE(grid_->IsCellSelected(1, data, first, 0));
  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(1), false);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstColumns);
  EXPECT_TRUE(grid_->IsCellSelected(2, 0, first, 1));        // its title
  EXPECT_TRUE(grid_->IsCellSelected(2, footer, first, 1));   // its footer
  EXPECT_FALSE(grid_->IsCellSelected(1, 0, first, 0));
  EXPECT_TRUE(grid_->IsCellSelected(2, data, first, 1));
  EXPECT_FALSE(grid_->IsCellSelected(0, data, first, -1));   // the indicator
  grid_->SelectedRows()->SetCurrentRowSelected(true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_TRUE(grid_->IsCellSelected(0, data, first, -1));
  EXPECT_FALSE(grid_->IsCellSelected(0, 0, first, -1));
  grid_->Selection()->SelectAll();
  EXPECT_TRUE(grid_->IsCellSelected(0, 0, first, -1));
}

TEST_F(LayoutTest, OptimalWidthsMeasureTitlesValuesAndFooters) {
  TColumnEh* name = grid_->Columns()->Add();
  name->SetFieldName("NAME");
  name->Title()->SetCaption("Наименование");
  TColumnEh* amount = grid_->Columns()->Add();
  amount->SetFieldName("AMOUNT");
  amount->Title()->SetCaption("A");
  amount->Footer()->SetValueType(fvtStaticText);
  amount->Footer()->SetValue("Всего по всем строкам");
  grid_->SetFooterRowCount(1);

  // An empty dataset: titles (and footers) only.
  ds_->SelectSQL()->SetText("select ID, NAME, cast(0 as numeric(15,2)) AMOUNT from LAY_EMPTY");
  ds_->Open();
  grid_->OptimizeColsWidth(grid_->VisibleColumns());
  EXPECT_EQ(name->Width(), Extent(name->Title()->Font(), "Наименование").cx + 4);
  EXPECT_EQ(amount->Width(), Extent(amount->Footer()->Font(), "Всего по всем строкам").cx + 5);
  ds_->Close();

  ds_->SelectSQL()->SetText("select ID, NAME, AMOUNT from LAY_T order by ID");
  ds_->Open();
  ds_->Next();
  const int id = ds_->FieldByName("ID")->AsInteger();
  int widest = 0;
  for (const char* s : {"row", "Съешь же ещё этих мягких булок", "The quick brown fox jumps", "x"})
    widest = std::max(widest, Extent(name->Font(), s).cx);
  amount->Footer()->SetValue("");
  TColumnsEhList both;
  both.Add(name);
  both.Add(amount);
  grid_->OptimizeColsWidth(&both);
  EXPECT_EQ(name->Width(), widest + 4);
  EXPECT_EQ(amount->Width(), std::max(Extent(amount->Font(), ds_->FieldByName("AMOUNT")->DisplayText()).cx + 4,
                                      Extent(amount->Title()->Font(), "A").cx + 4));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), id);  // back on its record
  EXPECT_EQ(grid_->ColWidths(1), name->Width());
}

TEST_F(LayoutTest, LeavingCancelsAnUntouchedInsertAndKeepsATouchedOne) {
  ds_->Open();
  ds_->Append();
  grid_->DoExit();
  EXPECT_EQ(ds_->State(), dsBrowse);
  EXPECT_EQ(file_->QueryValue("select count(*) from LAY_T"), "4");

  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(10);
  ds_->FieldByName("NAME")->SetAsString("новая");
  grid_->DoExit();
  EXPECT_EQ(ds_->State(), dsInsert);
  ds_->Post();
  EXPECT_EQ(file_->QueryValue("select NAME from LAY_T where ID = 10"), "новая");
  // Without dgCancelOnExit an untouched insert stays.
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgCancelOnExit});
  ds_->Append();
  grid_->DoExit();
  EXPECT_EQ(ds_->State(), dsInsert);
  ds_->Cancel();
  file_->Exec("delete from LAY_T where ID = 10");
}

TEST_F(LayoutTest, CopyValueFromThePriorRow) {
  ds_->Open();
  grid_->SetSelectedIndex(1);  // NAME
  ds_->First();
  grid_->CopyValueFromPriorRow();  // the first row of the window: nothing
  EXPECT_EQ(ds_->State(), dsBrowse);
  ds_->Next();
  ASSERT_EQ(grid_->DataLink()->ActiveRecord(), 1);
  grid_->CopyValueFromPriorRow();
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "row");
  ds_->Post();
  EXPECT_EQ(file_->QueryValue("select NAME from LAY_T where ID = 2"), "row");
  file_->Exec("update LAY_T set NAME = 'Съешь же ещё этих мягких булок' where ID = 2");
}

TEST_F(LayoutTest, ScalingKeepsTheWidthSumAndScalesFonts) {
  for (const char* f : {"ID", "NAME", "AMOUNT"}) grid_->Columns()->Add()->SetFieldName(f);
  ds_->Open();
  for (int i = 0; i < 3; ++i) grid_->Columns()->Items(i)->SetWidth(11);
  grid_->Columns()->Items(1)->Title()->Font()->SetSize(10);
  grid_->SetParentFont(false);
  grid_->Font()->SetSize(12);
  grid_->ChangeScale(1, 2);
  EXPECT_EQ(grid_->Columns()->Items(0)->Width() + grid_->Columns()->Items(1)->Width() +
                grid_->Columns()->Items(2)->Width(),
            MulDiv(33, 1, 2));
  EXPECT_EQ(grid_->Columns()->Items(1)->Width(), MulDiv(22, 1, 2) - MulDiv(11, 1, 2));
  EXPECT_EQ(grid_->Columns()->Items(1)->Title()->Font()->Size(), 5);
  EXPECT_EQ(grid_->TitleFont()->Size(), 6);  // from the grid font, before it scales
  EXPECT_EQ(grid_->Font()->Size(), 6);
}

TEST_F(LayoutTest, ToolTipsWindowLivesWithTheGrid) {
  TToolTipsWindow* w = grid_->ToolTipsWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(grid_->ToolTipsWindow(), w);
  EXPECT_EQ(w->Owner(), grid_);
  const TRect r = w->CalcHintRect(300, "подсказка", nullptr);
  EXPECT_GT(r.Width(), 0);
  EXPECT_EQ(w->Font()->Color(), clWindowText);
  // Freed first: the grid makes a new one.
  delete w;
  TToolTipsWindow* again = grid_->ToolTipsWindow();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Owner(), grid_);
  delete grid_;  // and with the grid it goes
}

}  // namespace
