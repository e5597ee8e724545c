// The grid's cell painting and paint, checked on the pixels it leaves and on
// the cell parameters and events it fills.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

// A grid whose title nodes and themed-cell answer a test sets.
class TTestPaintGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  bool themed = false;
  bool filter_drop_down = false;
  bool UseThemedFixedCells() const override { return themed; }
  bool ColumnFilterHasDropDown(TColumnEh*) override { return filter_drop_down; }
  String GetColumnFilterText(TColumnEh*) override { return "flt"; }
};

// Writes the paper to PAINT_DUMP/<Name>.png when that folder is given.
inline void Dump(TPaper& Paper, const char* Name) {
  if (const char* dir = std::getenv("PAINT_DUMP")) Paper.bitmap.SaveToFile(String(dir) + "/" + Name + ".png");
}

// Text ink: dark pixels, and mostly blue or red ones (text is smoothed).
inline int Channel(TColor C, int Shift) { return (ColorToRGB(C) >> Shift) & 0xFF; }
inline bool IsDark(TColor C) { return Channel(C, 0) < 110 && Channel(C, 8) < 110 && Channel(C, 16) < 110; }
inline bool IsBlack(TColor C) { return Channel(C, 0) < 40 && Channel(C, 8) < 40 && Channel(C, 16) < 40; }
inline bool IsBluish(TColor C) { return Channel(C, 16) > 150 && Channel(C, 0) < 110 && Channel(C, 8) < 110; }
inline bool IsReddish(TColor C) { return Channel(C, 0) > 150 && Channel(C, 8) < 110 && Channel(C, 16) < 110; }

struct TDrawn {
  int DataCol;
  int Record;
  String Text;
  TGridDrawState State;
};

class PaintTest : public GridTestBase {
 protected:
  TTestPaintGrid* NewPaintGrid() {
    auto* g = new TTestPaintGrid(form_);
    g->SetBounds(0, 0, 400, 200);
    g->SetParent(form_);
    g->SetDataSource(src_);
    g->Handle();
    return g;
  }
  // Paints the whole grid (through its paint) onto a fresh paper.
  static TColor Pixel(TCustomDBGridEh* G, TPaper& Paper, int X, int Y) {
    G->PaintTo(Paper.Canvas(), 0, 0);
    return Paper.At(X, Y);
  }
  // Records what each drawn data cell showed (the filled cell parameters).
  void Record(TCustomDBGridEh* G) {
    G->SetOnDrawColumnCell({this, &PaintTest::OnDraw});
    grid_ = G;
  }
  void OnDraw(TObject*, const TRect&, int DataCol, TColumnEh*, TGridDrawState State) {
    drawn_.push_back({DataCol, grid_->DataLink()->ActiveRecord(), grid_->CellParams()->Text, State});
  }
  const TDrawn* Find(int DataCol, int Record) const {
    for (const TDrawn& d : drawn_)
      if (d.DataCol == DataCol && d.Record == Record) return &d;
    return nullptr;
  }
  // Rightmost column of R holding text ink (-1 when none).
  static int RightmostInk(TPaper& P, const TRect& R) {
    for (int x = R.Right - 1; x >= R.Left; --x)
      for (int y = R.Top; y < R.Bottom; ++y)
        if (IsBlack(P.At(x, y))) return x;
    return -1;
  }

  TCustomDBGridEh* grid_ = nullptr;
  std::vector<TDrawn> drawn_;
};

TEST_F(PaintTest, DataCellsShowTheFieldsDisplayTextAndHideDuplicatesAfterTheFirstBufferedRecord) {
  OpenRows();
  ds_->AppendRows({{4, "three", 1.0, true, "x"}});
  ds_->First();
  TCustomDBGridEh* g = NewPaintGrid();
  g->Columns()->Items(1)->SetHideDuplicates(true);
  Record(g);
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  ASSERT_NE(Find(0, 0), nullptr);
  EXPECT_EQ(Find(0, 0)->Text, "1");
  EXPECT_EQ(Find(1, 0)->Text, "one");
  EXPECT_EQ(Find(1, 2)->Text, "three");
  EXPECT_EQ(Find(1, 3)->Text, "") << "the same text as the record before is hidden";
  EXPECT_EQ(Find(4, 3)->Text, "x") << "a column without HideDuplicates keeps it";
  // The active record is restored after the paint.
  EXPECT_EQ(g->DataLink()->ActiveRecord(), 0);

  // Scrolled to the end of equal texts: the first buffered record keeps its
  // text although the record before it in the dataset shows the same.
  for (int i = 0; i < 20; ++i) ds_->AppendRows({{10 + i, "same", 1.0, true, "x"}});
  ds_->Last();
  drawn_.clear();
  g->PaintTo(paper.Canvas(), 0, 0);
  ASSERT_NE(Find(1, 0), nullptr);
  ASSERT_NE(Find(1, 1), nullptr);
  EXPECT_EQ(Find(1, 0)->Text, "same");
  EXPECT_EQ(Find(1, 1)->Text, "");
}

TEST_F(PaintTest, HostEventsChangeTheCellAndTheColumnEventSeesTheirColours) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  TColor seen = clNone;
  struct Host {
    TColor* seen;
    void GridParams(TObject*, TColumnEh*, TFont*, TColor& Background, TGridDrawState) { Background = clRed; }
    void ColParams(TObject*, bool, TColCellParamsEh* P) {
      *seen = P->Background;
      P->Text = "<" + P->Text + ">";
    }
  } host{&seen};
  g->SetOnGetCellParams({&host, &Host::GridParams});
  g->Columns()->Items(1)->SetOnGetCellParams({&host, &Host::ColParams});
  Record(g);
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(seen, clRed);
  ASSERT_NE(Find(1, 1), nullptr);
  EXPECT_EQ(Find(1, 1)->Text, "<two>");
  const TRect r = g->CellRect(g->IndicatorOffset() + 3, g->TitleOffset() + 1);
  EXPECT_EQ(paper.At(r.Left + 1, r.Bottom - 2), clRed);
}

TEST_F(PaintTest, FlatTextSitsOnePixelHigherWithTheSameHorizontalMargin) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  auto ink = [&](bool flat) {
    g->SetFlat(flat);
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    TRect r = g->CellRect(g->IndicatorOffset() + 1, g->TitleOffset() + 1);
    TRect found{r.Right, r.Bottom, r.Left, r.Top};
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (IsDark(paper.At(x, y))) {
          found.Left = std::min(found.Left, x - r.Left);
          found.Top = std::min(found.Top, y - r.Top);
        }
    return found;
  };
  const TRect raised = ink(false), flat = ink(true);
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  Dump(paper, "flat");
  EXPECT_EQ(flat.Top, raised.Top - 1);
  EXPECT_EQ(flat.Left, raised.Left);
}

TEST_F(PaintTest, SelectedTitleAndFilterRowColours) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetFixedColor(static_cast<TColor>(0x808080));
  g->STFilter()->SetVisible(true);
  ASSERT_EQ(g->TitleOffset(), 2);
  g->SetAllowedSelections({gstColumns});
  g->Selection()->Columns()->Select(g->Columns()->Items(1), false);
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  Dump(paper, "filter");
  const TRect title = g->CellRect(g->IndicatorOffset() + 1, 0);
  EXPECT_EQ(paper.At(title.Left + 3, title.Top + 3), static_cast<TColor>(0x404040));
  const TRect plain = g->CellRect(g->IndicatorOffset(), 0);
  EXPECT_EQ(paper.At(plain.Left + 3, plain.Top + 3), static_cast<TColor>(0x808080));
  // Each of red, green and blue grows by an eighth.
  const TRect filter = g->CellRect(g->IndicatorOffset(), 1);
  EXPECT_EQ(paper.At(filter.Left + 3, filter.Bottom - 2), static_cast<TColor>(0x909090));
  // Its text is the grid font in blue.
  int blue = 0;
  for (int y = filter.Top; y < filter.Bottom; ++y)
    for (int x = filter.Left; x < filter.Right; ++x) blue += IsBluish(paper.At(x, y)) ? 1 : 0;
  EXPECT_GT(blue, 0);
}

TEST_F(PaintTest, LineColoursFollowTheGridColourAndTheFooterOptions) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetFooterRowCount(1);
  auto line_below = [&](int ARow) {
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    const TRect r = g->CellRect(g->IndicatorOffset() + 1, ARow);
    return paper.At(r.Left + 5, r.Bottom);
  };
  const int data = g->TitleOffset();
  const int above_footer = g->RowCount() - 2;
  EXPECT_EQ(line_below(data), clSilver);
  EXPECT_EQ(line_below(above_footer), clSilver);
  g->SetColor(clSilver);
  EXPECT_EQ(line_below(data), clGray);
  g->SetOptionsEh(g->OptionsEh() + TDBGridEhOptions{dghFooter3D});
  EXPECT_EQ(line_below(above_footer), clBlack) << "the footers' top edge";
  EXPECT_EQ(line_below(data), clGray);
  g->SetFlat(true);
  EXPECT_EQ(line_below(above_footer), ColorToRGB(clBtnShadow));
}

TEST_F(PaintTest, IndicatorImageFollowsTheDatasetState) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetOptions(g->Options() + TDBGridOptions{dgMultiSelect});
  const TRect cell = g->CellRect(0, g->TitleOffset());
  TCustomImageList* list = DBGridEhIndicators();
  auto shows = [&](int Image, TColor Background) {
    TPaper painted(400, 200);
    g->PaintTo(painted.Canvas(), 0, 0);
    TPaper expected(cell.Width(), cell.Height(), Background);
    if (Image >= 0)
      list->Draw(expected.Canvas(), cell.Width() - 1 - list->Width() - 1,
                 (cell.Height() - 2 - list->Height()) / 2 + 1, Image);
    // Inside the frame, pixel by pixel.
    for (int y = 2; y < cell.Height() - 2; ++y)
      for (int x = 2; x < cell.Width() - 2; ++x)
        if (painted.At(cell.Left + x, cell.Top + y) != expected.At(x, y)) return false;
    return true;
  };
  const TColor face = g->FixedColor(), selected = static_cast<TColor>(0x404040);
  EXPECT_TRUE(shows(0, face));
  g->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_TRUE(shows(5, selected));
  ds_->Next();
  EXPECT_TRUE(shows(-1, selected)) << "a selected row that is not the current one has no image";
  ds_->Prior();
  ds_->Insert();
  EXPECT_TRUE(shows(2, face)) << "inserting shows its image whatever the selection";
  ds_->Cancel();
  g->SelectedRows()->Clear();
  ds_->Edit();
  EXPECT_TRUE(shows(1, face));
  ds_->Cancel();
  g->SetIncSearchStateEh(true, "o");
  EXPECT_TRUE(shows(6, face));
  EXPECT_EQ(g->IndicatorRow(), g->TitleOffset());
}

TEST_F(PaintTest, EditButtonsAreCutFromTheTextAndClippedToTheCell) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  TColumnEh* c = g->Columns()->Items(1);
  c->SetColor(static_cast<TColor>(0x00FF00));
  c->SetAlignment(taRightJustify);
  c->SetAlwaysShowEditButton(true);
  c->SetButtonStyle(cbsNone);
  TEditButtonEh* b = c->EditButtons()->Add();
  b->SetStyle(ebsGlyphEh);  // a face without black ink
  b->SetWidth(10);
  const int col = g->IndicatorOffset() + 1, row = g->TitleOffset();
  auto text_right = [&](bool flat, bool visible) {
    g->SetFlat(flat);
    b->SetVisible(visible);
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    Dump(paper, flat ? (visible ? "btn_fv" : "btn_f") : (visible ? "btn_v" : "btn"));
    const TRect r = g->CellRect(col, row);
    return r.Right - 1 - RightmostInk(paper, r);
  };
  // Without buttons the text ends DX from the right; a 10-wide button takes
  // 10 pixels, and 11 with Flat.
  const int bare = text_right(false, false);
  EXPECT_EQ(text_right(false, true), bare + 10);
  EXPECT_EQ(text_right(true, false), bare);
  EXPECT_EQ(text_right(true, true), bare + 11);

  // A cell narrower than its buttons: nothing lands left of the cell.
  g->SetFlat(false);
  c->SetWidth(6);
  g->Columns()->Items(0)->SetColor(static_cast<TColor>(0x0000FF));
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  const TRect left = g->CellRect(col - 1, row);
  EXPECT_EQ(paper.At(left.Right - 2, (left.Top + left.Bottom) / 2), static_cast<TColor>(0x0000FF));
}

TEST_F(PaintTest, RequiredMarkOnlyWhileInserting) {
  OpenRows();
  ds_->FieldByName("NAME")->SetRequired(true);
  TCustomDBGridEh* g = NewPaintGrid();
  g->Columns()->Items(1)->SetHighlightRequired(true);
  auto red = [&] {
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    return paper.CountNot(TRect{0, 0, 400, 200}, static_cast<TColor>(0x0000FF)) != 400 * 200;
  };
  EXPECT_FALSE(red());
  ds_->Edit();
  ds_->FieldByName("NAME")->Clear();
  EXPECT_FALSE(red()) << "edit state shows no mark";
  ds_->Cancel();
  ds_->Insert();
  EXPECT_TRUE(red());
  // The column's event may refuse it.
  struct Veto {
    void Check(TObject*, const String&, bool& Draw) { Draw = false; }
  } veto;
  g->Columns()->Items(1)->SetOnCheckDrawRequiredState({&veto, &Veto::Check});
  EXPECT_FALSE(red());
  ds_->Cancel();
}

TEST_F(PaintTest, SortMarkersShowDigitsOnlyWithTwoMarkedColumnsAndGiveWayInNarrowTitles) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetOptionsEh(g->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
  for (int i = 0; i < 2; ++i) g->Columns()->Items(i)->Title()->SetCaption(" ");
  DBGridEhSortIndexFont()->SetColor(static_cast<TColor>(0x0000FF));
  const TColor face = g->FixedColor();
  // (marked columns, width of column 0) -> digits shown, marker bitmap shown
  const std::vector<std::tuple<int, int, bool, bool>> cases = {
      {1, 80, false, true}, {2, 80, true, true}, {2, 18, true, false}, {2, 6, false, false}};
  for (const auto& [marked, width, digits, bitmap] : cases) {
    g->Columns()->Items(0)->SetWidth(width);
    g->Columns()->Items(1)->Title()->SetSortMarker(smNoneEh);
    g->Columns()->Items(0)->Title()->SetSortMarker(smDownEh);
    g->Columns()->Items(1)->Title()->SetSortMarker(marked >= 2 ? smUpEh : smNoneEh);
    ASSERT_EQ(g->SortMarkedColumns()->Count(), marked);
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    Dump(paper, ("sort" + std::to_string(width)).c_str());
    const TRect r = g->CellRect(g->IndicatorOffset(), 0);
    int red = 0, other = 0;
    for (int y = r.Top + 2; y < r.Bottom - 2; ++y)
      for (int x = r.Left + 2; x < r.Right - 2; ++x) {
        const TColor p = paper.At(x, y);
        if (IsReddish(p)) ++red;
        else if (std::abs(Channel(p, 0) - Channel(p, 8)) < 10 && Channel(face, 8) - Channel(p, 8) > 30)
          ++other;  // grey ink of the marker, not a smoothed red digit
      }
    EXPECT_EQ(red > 0, digits) << marked << " marked, width " << width;
    EXPECT_EQ(other > 0, bitmap) << marked << " marked, width " << width;
  }
  DBGridEhSortIndexFont()->SetColor(clBlack);
}

TEST_F(PaintTest, IncrementalSearchMarkShowsTheTypedLetters) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowSelection});
  form_->SetActiveControl(g);
  g->SetCol(g->IndicatorOffset() + 1);
  auto yellow = [&] {
    TPaper paper(400, 200);
    g->PaintTo(paper.Canvas(), 0, 0);
    const TRect r = g->CellRect(g->Col(), g->Row());
    return paper.Count(DBGridEhInplaceSearchColor) > 0 && paper.At(r.Left + 2, r.Top + 3) == DBGridEhInplaceSearchColor;
  };
  EXPECT_FALSE(yellow());
  g->SetIncSearchStateEh(true, "ON");
  EXPECT_TRUE(yellow());
  g->SetIncSearchStateEh(false, "");
}

TEST_F(PaintTest, ABandOverThreeColumnsCentresItsTextOnce) {
  OpenRows();
  TTestPaintGrid* g = NewPaintGrid();
  g->SetUseMultiTitle(true);
  for (int i = 0; i < 3; ++i) {
    g->Columns()->Items(i)->SetWidth(40);
    g->Columns()->Items(i)->Title()->SetCaption("WWW|" + String(1, static_cast<char>('a' + i)));
  }
  ASSERT_NE(g->LeafFieldArr().at(0).Leaf->Host(), g->HeadTree());
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  Dump(paper, "band");
  const TRect first = g->CellRect(g->IndicatorOffset(), 0), last = g->CellRect(g->IndicatorOffset() + 2, 0);
  // The band's inside, above its frame's bottom and the row line.
  const int leaf_height = g->LeafFieldArr().at(0).Leaf->Height();
  const TRect band_area{first.Left + 3, first.Top + 3, last.Right - 3, first.Bottom - leaf_height};
  int left = band_area.Right, right = band_area.Left;
  for (int y = band_area.Top; y < band_area.Bottom; ++y)
    for (int x = band_area.Left; x < band_area.Right; ++x)
      if (IsBlack(paper.At(x, y))) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_LT(left, right) << "the band's text shows";
  const int centre = (first.Left + last.Right) / 2;
  EXPECT_NEAR((left + right) / 2, centre, 3);
  EXPECT_LT(right - left, 80) << "drawn once, not per column";
}

TEST_F(PaintTest, PaintDrawsOnlyTheCellsOfItsUpdateRegion) {
  OpenRows();
  form_->Show();
  TCustomDBGridEh* g = NewPaintGrid();
  Record(g);
  QCoreApplication::processEvents();
  drawn_.clear();
  g->InvalidateCell(g->IndicatorOffset() + 2, g->TitleOffset() + 1);
  QCoreApplication::processEvents();
  ASSERT_FALSE(drawn_.empty());
  for (const TDrawn& d : drawn_) {
    EXPECT_LE(std::abs(d.DataCol - 2), 1);
    EXPECT_LE(std::abs(d.Record - 1), 1);
  }
  EXPECT_LE(drawn_.size(), 9u);
}

TEST_F(PaintTest, ThemedCellsSwitchOnTheBufferedPaintForGood) {
  OpenRows();
  TTestPaintGrid* g = NewPaintGrid();
  TPaper plain(400, 200);
  g->PaintTo(plain.Canvas(), 0, 0);
  EXPECT_FALSE(g->PaintBuffered());
  g->themed = true;
  TPaper buffered(400, 200);
  g->PaintTo(buffered.Canvas(), 0, 0);
  EXPECT_TRUE(g->PaintBuffered());
  g->themed = false;
  g->PaintTo(buffered.Canvas(), 0, 0);
  EXPECT_TRUE(g->PaintBuffered());
  // The buffered paint reaches the window: the data cells are the same.
  const TRect r = g->CellRect(g->IndicatorOffset() + 1, g->TitleOffset() + 1);
  EXPECT_EQ(buffered.CountNot(r, clWhite), plain.CountNot(r, clWhite));
  EXPECT_GT(plain.CountNot(r, clWhite), 0);
}

TEST_F(PaintTest, ThreeDFramesByOptions) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetFooterRowCount(1);
  const int data = g->TitleOffset(), filler = g->RowCount() - 2, footer = g->RowCount() - 1;
  const int ind = 0, col = g->IndicatorOffset();
  // options -> (indicator/title, data, footer, indicator at the filler row)
  struct Case {
    TDBGridEhOptions Options;
    bool Title, Data, Footer, IndicatorFiller;
  };
  const std::vector<Case> cases = {
      {{dghFixed3D}, true, false, false, false},
      {{dghData3D}, false, true, false, false},
      {{dghFooter3D}, false, false, true, false},
      {{dghFixed3D, dghData3D}, true, true, false, true},
  };
  for (const Case& k : cases) {
    g->SetOptionsEh(k.Options);
    EXPECT_EQ(g->CellHas3DFrame(col, 0), k.Title);
    EXPECT_EQ(g->CellHas3DFrame(col, data), k.Data);
    EXPECT_EQ(g->CellHas3DFrame(col, footer), k.Footer);
    EXPECT_EQ(g->CellHas3DFrame(ind, filler), k.IndicatorFiller);
  }
}

TEST_F(PaintTest, FooterCellsShowTheFooterValueThroughTheFooterEvents) {
  OpenRows();
  TCustomDBGridEh* g = NewPaintGrid();
  g->SetFooterRowCount(1);
  g->Columns()->Items(1)->Footer()->SetValueType(fvtStaticText);
  g->Columns()->Items(1)->Footer()->SetValue("Σ");
  std::vector<std::tuple<int, int, String>> seen;
  struct Host {
    std::vector<std::tuple<int, int, String>>* seen;
    void Params(TObject*, int DataCol, int Row, TColumnEh*, TFont*, TColor&, TAlignment&, TGridDrawState,
                String& Text) {
      seen->emplace_back(DataCol, Row, Text);
      if (DataCol == 1) Text += "!";
    }
  } host{&seen};
  g->SetOnGetFooterParams({&host, &Host::Params});
  TPaper paper(400, 200);
  g->PaintTo(paper.Canvas(), 0, 0);
  ASSERT_FALSE(seen.empty());
  bool found = false;
  for (const auto& [dc, row, text] : seen)
    if (dc == 1) {
      found = true;
      EXPECT_EQ(row, 0);
      EXPECT_EQ(text, "Σ");
    }
  EXPECT_TRUE(found);
}

}  // namespace
