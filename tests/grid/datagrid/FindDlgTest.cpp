// The find dialog offscreen: where a search starts and continues, what a
// failed search leaves, the matching kinds, Esc, and the grid going away
// while the dialog lives.
#include <gtest/gtest.h>

#include "grid/datagrid/DBGridEhFindDlgs.h"
#include "tests/grid/datagrid/AnswerDialog.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class FindDlgTest : public GridTestBase {
 protected:
  static void SetUpTestSuite() {
    GridTestBase::SetUpTestSuite();
    InitializeUnits({&unit_DBGridEhFindDlgs});
  }
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
    grid_ = NewGrid();
    grid_->Handle();
    ASSERT_EQ(ExecuteDBGridEhFindDialogProc, &ExecuteDBGridEhFindDialog);
  }
  void TearDown() override {
    if (DBGridEhFindDlg() != nullptr) DBGridEhFindDlg()->Hide();
    GridTestBase::TearDown();
  }
  // The one dialog keeps its choices between grids: back to the defaults.
  TDBGridEhFindDlg* Open(const String& Text) {
    ExecuteDBGridEhFindDialogProc(grid_, Text, "", {}, false);
    TDBGridEhFindDlg* d = DBGridEhFindDlg();
    d->cbFindDirection->SetText("All");
    d->cbMatchinType->SetText("From any part of field");
    d->cbCharCase->SetChecked(false);
    d->cbUseFormat->SetChecked(true);
    return d;
  }
  int Id() { return ds_->FieldByName("ID")->AsInteger(); }

  TCustomDBGridEh* grid_ = nullptr;
};

TEST_F(FindDlgTest, FormResourceAndColumnChoice) {
  grid_->SetSelectedIndex(1);
  TDBGridEhFindDlg* d = Open("abc");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Caption(), "Find text");
  EXPECT_EQ(d->ClientWidth(), 505);
  EXPECT_TRUE(d->Visible());
  EXPECT_EQ(d->FormStyle(), fsStayOnTop);
  EXPECT_EQ(d->cbText->Text(), "abc");
  EXPECT_EQ(d->ActiveControl(), d->cbText);
  EXPECT_EQ(d->cbFindDirection->Text(), "All");
  EXPECT_FALSE(d->cbCharCase->Checked());
  EXPECT_TRUE(d->cbUseFormat->Checked());
  ASSERT_EQ(d->cbFindIn->Items()->Count(), 6);
  EXPECT_EQ(d->cbFindIn->Items()->Strings(5), "<All>");
  EXPECT_EQ(d->cbFindIn->Text(), "NAME");  // the grid's current column
  ASSERT_EQ(d->FindColumns()->Count(), 1);
  EXPECT_EQ(d->FindColumns()->Items(0), grid_->Columns()->Items(1));
  d->cbFindIn->SetItemIndex(5);
  d->cbFindInChange(d->cbFindIn);
  EXPECT_EQ(d->FindColumns()->Count(), 5);

  // A columns array replaces the grid's columns.
  ExecuteDBGridEhFindDialog(grid_, "", "", {{"Код", grid_->Columns()->Items(4)}}, false);
  ASSERT_EQ(d->cbFindIn->Items()->Count(), 2);
  EXPECT_EQ(d->cbFindIn->Items()->Strings(0), "Код");
  EXPECT_EQ(d->cbFindIn->Text(), "<All>");  // no item for the current column
  EXPECT_EQ(d->FindColumns()->Count(), 1);
}

TEST_F(FindDlgTest, AllStartsAtTheFirstRecordAndNotFoundStaysWhereItBegan) {
  grid_->SetSelectedIndex(1);
  ds_->Last();
  TDBGridEhFindDlg* d = Open("T");
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 2);  // "two", from the first record
  EXPECT_FALSE(d->FirstSearch());
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 3);  // continues after the match
  String shown;
  {
    AnswerDialog ok(mrOk, &shown);
    d->bFindClick(d->bFind);
  }
  EXPECT_EQ(shown, "String \"T\" not found.");
  EXPECT_EQ(Id(), 3);

  // A new text starts again from the first record.
  d->cbText->SetText("one");
  EXPECT_TRUE(d->FirstSearch());
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 1);
  EXPECT_EQ(d->cbText->Items()->IndexOf("T"), 0);  // the history of texts

  // Down from the current record; nothing found returns to it.
  ds_->First();
  d->cbFindDirection->SetText("Down");
  d->cbText->SetText("zzz");
  {
    AnswerDialog ok(mrOk, &shown);
    d->bFindClick(d->bFind);
  }
  EXPECT_EQ(shown, "String \"zzz\" not found.");
  EXPECT_EQ(Id(), 1);
}

TEST_F(FindDlgTest, MatchKindsCaseAndFormat) {
  static_cast<TFloatField*>(ds_->FieldByName("AMOUNT"))->SetDisplayFormat("0.000");
  TDBGridEhFindDlg* d = Open("");
  d->cbFindIn->SetItemIndex(5);  // <All>
  d->cbFindInChange(d->cbFindIn);
  const struct {
    const char* text;
    const char* match;
    bool char_case, use_format;
    int id;  // 0: not found
  } cases[] = {
      {"HRE", "From any part of field", false, true, 3},
      {"HRE", "Whole field", false, true, 0},
      {"HRE", "From any part of field", true, true, 0},
      {"THREE", "Whole field", false, true, 3},
      {"tw", "From beging of field", false, true, 2},
      {"wo", "From beging of field", false, true, 0},
      {"20.25", "Whole field", false, false, 2},
      {"20.25", "Whole field", false, true, 0},
      {"20.250", "Whole field", false, true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(String(c.text) + " / " + c.match);
    ds_->First();
    d->cbText->SetText(c.text);
    d->cbMatchinType->SetText(c.match);
    d->cbCharCase->SetChecked(c.char_case);
    d->cbUseFormat->SetChecked(c.use_format);
    d->cbTextChange(d->cbText);
    String shown;
    {
      AnswerDialog ok(mrOk, &shown);
      d->bFindClick(d->bFind);
      if (c.id != 0) {
        EXPECT_EQ(ok.Answered(), 0);
      }
    }
    EXPECT_EQ(Id(), c.id == 0 ? 1 : c.id);
    EXPECT_EQ(shown.empty(), c.id != 0);
  }
  // Up from the last record.
  ds_->Last();
  d->cbFindDirection->SetText("Up");
  d->cbText->SetText("o");
  d->cbMatchinType->SetText("From any part of field");
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 2);
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 1);
}

TEST_F(FindDlgTest, EscClosesTheModelessDialogAndTheGridMayGoFirst) {
  grid_->SetSelectedIndex(1);
  TDBGridEhFindDlg* d = Open("one");
  Word key = VK_ESCAPE;
  d->FormKeyDown(d, key, TShiftState());
  EXPECT_FALSE(d->Visible());
  Open("two");
  key = VK_RETURN;
  d->FormKeyDown(d, key, TShiftState());
  EXPECT_EQ(Id(), 2);
  EXPECT_FALSE(d->cbText->Modified());

  delete grid_;  // the dialog outlives the grid
  EXPECT_EQ(d->Grid(), nullptr);
  EXPECT_EQ(d->FindColumns()->Count(), 0);
  d->bFindClick(d->bFind);  // nothing to search
  EXPECT_EQ(Id(), 2);
  grid_ = NewGrid();
  grid_->SetSelectedIndex(1);
  Open("three");
  EXPECT_EQ(d->Grid(), grid_);
  d->bFindClick(d->bFind);
  EXPECT_EQ(Id(), 3);
}

}  // namespace
