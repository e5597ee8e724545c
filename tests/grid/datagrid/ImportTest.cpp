// Grid import from text and VCLDBIF, the clipboard operations and deleting
// selections, over the in-memory dataset (ID, NAME, AMOUNT, FLAG, CODE).
#include <gtest/gtest.h>

#include <functional>

#include "grid/datagrid/DBGridEhImpExp.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Messages.h"
#include "tests/grid/datagrid/AnswerDialog.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

// Builds VCLDBIF bytes: header, columns, then values.
class VclDbif {
 public:
  explicit VclDbif(int32_t Columns, Byte Version = 1, const char* Signature = "VCLDBIF") {
    bytes_.append(Signature, 7);
    bytes_ += static_cast<char>(Version);
    Int(Columns);
    for (int i = 0; i < Columns; ++i) bytes_.append("\1\0", 2);
  }
  VclDbif& Int(int32_t V) {
    for (int k = 0; k < 4; ++k) bytes_ += static_cast<char>(static_cast<uint32_t>(V) >> (8 * k));
    return *this;
  }
  VclDbif& Tag(Byte T) {
    bytes_ += static_cast<char>(T);
    return *this;
  }
  VclDbif& I(int32_t V) { return Tag(3).Int(V); }
  VclDbif& S(const String& V) {
    Tag(5).Int(static_cast<int32_t>(V.size()));
    bytes_ += V;
    return *this;
  }
  VclDbif& F(double V) {
    Tag(4);
    bytes_.append(reinterpret_cast<const char*>(&V), 8);
    return *this;
  }
  const String& Bytes() const { return bytes_; }

 private:
  String bytes_;
};

class ImportTest : public GridTestBase {
 protected:
  static void SetUpTestSuite() {
    GridTestBase::SetUpTestSuite();
    InitializeUnits({&unit_DBGridEhImpExp});
  }
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
    grid_ = NewGrid();
    grid_->SetOptions(grid_->Options() - TDBGridOptions{dgConfirmDelete});
    grid_->Handle();
  }
  void Import(bool Vcl, const String& Data, bool All = false) {
    TStringStream s(Data);
    if (Vcl)
      DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsVCLDBIF>, grid_, &s, All);
    else
      DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsText>, grid_, &s, All);
  }
  // The rows as "ID|NAME|AMOUNT|CODE" with NULL for nulls.
  std::vector<String> Rows() {
    std::vector<String> out;
    for (int r = 0; r < ds_->RowCount(); ++r) {
      String line;
      for (int f : {0, 1, 2, 4}) {
        const Variant v = ds_->RowValue(r, f);
        line += (f ? "|" : "") + (VarIsNull(v) ? String("NULL") : VarToStr(v));
      }
      out.push_back(line);
    }
    return out;
  }
  // A fresh form, dataset and grid.
  void Reset() {
    TearDown();
    SetUp();
  }
  std::vector<TBookmark> Bookmarks() {
    std::vector<TBookmark> bm;
    for (ds_->First(); !ds_->Eof(); ds_->Next()) bm.push_back(ds_->GetBookmark());
    ds_->First();
    return bm;
  }

  TCustomDBGridEh* grid_ = nullptr;
};

const std::vector<String> kStart{"1|one|10.5|Y", "2|two|20.25|n", "3|three|NULL|x"};

TEST_F(ImportTest, TextAndVclDbifEdgeCases) {
  struct Case {
    const char* name;
    bool vcl;
    String data;
    int start_col;  // the current column
    bool last_record, append;
    std::vector<String> rows;
  };
  const Case cases[] = {
      {"three cells into the last of three columns", false, "a\tb\tc\r\n", 4, false, false,
       {"1|one|10.5|a", "2|two|20.25|n", "3|three|NULL|x"}},
      {"empty cells and LF-only line ends", false, "\tA\n7\tB\t3\n", 0, false, false,
       {"NULL|A|10.5|Y", "7|B|3|n", "3|three|NULL|x"}},
      {"Cyrillic text, no line end at the end", false, "9\tТест\t1.5", 0, true, false,
       {"1|one|10.5|Y", "2|two|20.25|n", "9|Тест|1.5|x"}},
      {"three rows on the last record with append", false, "x\r\ny\r\nz\r\n", 1, true, true,
       {"1|one|10.5|Y", "2|two|20.25|n", "3|x|NULL|x", "NULL|y|NULL|NULL", "NULL|z|NULL|NULL"}},
      {"three rows on the last record without append", false, "x\r\ny\r\nz\r\n", 1, true, false,
       {"1|one|10.5|Y", "2|two|20.25|n", "3|x|NULL|x"}},
      {"tag 1 keeps, tag 2 nulls, extra columns dropped", true,
       VclDbif(6).Tag(1).Tag(2).F(7.25).Tag(1).S("Z").I(99).Tag(0).Bytes(), 0, false, false,
       {"1|NULL|7.25|Z", "2|two|20.25|n", "3|three|NULL|x"}},
      {"version 2 reads like version 1; data ends before the rows", true,
       VclDbif(2, 2).I(5).S("пять").Tag(0).Bytes(), 0, false, false,
       {"5|пять|10.5|Y", "2|two|20.25|n", "3|three|NULL|x"}},
      {"an empty text changes nothing", false, "", 0, false, true, kStart},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    grid_->SetSelectedIndex(c.start_col);
    if (c.last_record) ds_->Last();
    grid_->SetAllowedOperations(c.append ? TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh}
                                         : TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh});
    const TBookmark here = ds_->GetBookmark();
    Import(c.vcl, c.data);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(ds_->State(), dsBrowse);
    if (!c.append) {
      EXPECT_EQ(ds_->GetBookmark(), here);  // back on the record it started on
    }
  }
}

TEST_F(ImportTest, MalformedInputFailsFastWithTheFormatError) {
  const String text_error = "TDBGridEhImportAsText.CheckState: Invalid text format";
  const String vcl_error = "TDBGridEhImportAsVCLDBIF.ReadPrefix: Invalid VCLDBIF format";
  String bad_signature = VclDbif(1).I(1).Tag(0).Bytes();
  bad_signature[6] = 'G';
  String huge_string = VclDbif(1).Bytes() + String("\5\xff\xff\xff\x7f", 5) + "abc";
  const struct {
    const char* name;
    bool vcl;
    String data;
    String error;
  } cases[] = {
      {"lone CR", false, "a\rb", text_error},
      {"CR at the end", false, "a\r", text_error},
      {"seventh byte", true, bad_signature, vcl_error},
      {"short header", true, "VCLDBIF\1\0\0", vcl_error},
      {"negative column count", true, VclDbif(0).Bytes().substr(0, 8) + String("\xff\xff\xff\xff", 4), vcl_error},
      {"huge column count", true, VclDbif(0).Bytes().substr(0, 8) + String("\xff\xff\xff\x7f", 4) + "\1", vcl_error},
      {"name without its terminator", true, VclDbif(0).Bytes().substr(0, 8) + String("\1\0\0\0\1ab", 7), vcl_error},
      {"negative string length", true, VclDbif(1).Bytes() + String("\5\xfe\xff\xff\xff", 5), vcl_error},
      {"huge string length", true, huge_string, vcl_error},
      {"truncated integer", true, VclDbif(1).Bytes() + String("\3\1\0", 3), vcl_error},
      {"truncated double", true, VclDbif(1).Bytes() + String("\4\1\2\3", 4), vcl_error},
      {"no end tag", true, VclDbif(1).I(4).Bytes(), vcl_error},
      {"values without columns", true, VclDbif(0).Tag(1).Tag(0).Bytes(), vcl_error},
  };
  grid_->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      Import(c.vcl, c.data);
      ADD_FAILURE() << "no error";
    } catch (EAbort&) {
      ADD_FAILURE() << "aborted";
    } catch (Exception& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
    if (ds_->State() != dsBrowse) ds_->Cancel();
  }
  EXPECT_EQ(Rows(), kStart);  // nothing posted by a failed read
}

TEST_F(ImportTest, SelectionsChooseRecordsAndColumns) {
  const std::vector<TBookmark> bm = Bookmarks();
  // Record bookmarks: rows 0 and 2, every visible column.
  ds_->GotoBookmark(bm[2]);
  grid_->SelectedRows()->SetCurrentRowSelected(true);
  ds_->GotoBookmark(bm[0]);
  grid_->SelectedRows()->SetCurrentRowSelected(true);
  ds_->GotoBookmark(bm[1]);
  Import(false, "10\ta\r\n30\tc\r\n");
  EXPECT_EQ(Rows(), (std::vector<String>{"10|a|10.5|Y", "2|two|20.25|n", "30|c|NULL|x"}));
  EXPECT_EQ(ds_->GetBookmark(), bm[1]);

  // A rectangle of NAME..AMOUNT over rows 1..2: data rows beyond it dropped.
  grid_->Selection()->Rect()->Select(1, bm[1], false);
  grid_->Selection()->Rect()->Select(2, bm[2], true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  Import(false, "p\t1\tdropped\r\nq\t2\r\nr\t3\r\n");
  EXPECT_EQ(Rows(), (std::vector<String>{"10|a|10.5|Y", "2|p|1|n", "30|q|2|x"}));

  // Columns: CODE and ID in every record; records after the data unchanged.
  grid_->Selection()->Clear();
  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(4), false);
  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(0), true);
  Import(true, VclDbif(2).I(100).S("K").I(200).S("L").Tag(0).Bytes());
  EXPECT_EQ(Rows(), (std::vector<String>{"100|a|10.5|K", "200|p|1|L", "30|q|2|x"}));

  // Import all: selection cleared, from the first record and column.
  ds_->Last();
  grid_->SetSelectedIndex(3);
  Import(false, "1\r\n2\r\n3\r\n", true);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  EXPECT_EQ(Rows(), (std::vector<String>{"1|a|10.5|K", "2|p|1|L", "3|q|2|x"}));
}

TEST_F(ImportTest, ValueErrorsAskYesAllOrNo) {
  const String data = "x\r\ny\r\n5\r\n";  // two values an integer field refuses
  String text;
  {
    AnswerDialog all(mrAll, &text);
    Import(false, data);
    EXPECT_EQ(all.Answered(), 1);  // All: no further question
  }
  EXPECT_EQ(text.rfind("Error during insert value:\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 15), "\n\nIgnore error?");
  EXPECT_EQ(Rows(), (std::vector<String>{"1|one|10.5|Y", "2|two|20.25|n", "5|three|NULL|x"}));

  {
    AnswerDialog yes(mrYes);
    AnswerDialog yes_again(mrYes);
    Import(false, "x\r\ny\r\n6\r\n");
    EXPECT_EQ(yes.Answered() + yes_again.Answered(), 2);
  }
  EXPECT_EQ(Rows()[2], "6|three|NULL|x");

  {
    AnswerDialog no(mrNo);
    EXPECT_THROW(Import(false, "7\r\nx\r\n8\r\n"), EAbort);
  }
  if (ds_->State() != dsBrowse) ds_->Cancel();
  EXPECT_EQ(Rows()[0], "7|one|10.5|Y");
  EXPECT_EQ(Rows()[2], "6|three|NULL|x");
}

TEST_F(ImportTest, CopyPlacesFourFormatsAndPasteTakesVclDbifFirst) {
  Clipboard()->SetAsText("old");
  DBGridEhCopyToClipboard(grid_, false);  // no selection: the empty forms
  EXPECT_EQ(Clipboard()->GetData(CF_UNICODETEXT), (TBytes{0, 0}));
  EXPECT_EQ(Clipboard()->GetData(CF_CSV), (TBytes{0}));
  const TBytes rtf = Clipboard()->GetData(CF_RICH_TEXT_FORMAT);
  const String rtf_text(rtf.begin(), rtf.end());
  EXPECT_EQ(rtf_text.rfind("{\\rtf0\\ansi\r\n{\\colortbl", 0), 0u);
  EXPECT_EQ(rtf_text.find("\\trowd"), String::npos);
  EXPECT_EQ(rtf.back(), 0);
  EXPECT_TRUE(Clipboard()->GetData(CF_VCLDBIF).empty());

  DBGridEhCopyToClipboard(grid_, true);
  EXPECT_EQ(Clipboard()->AsText().substr(0, 26), "ID\tNAME\tAMOUNT\tFLAG\tCODE\r\n");
  const TBytes csv = Clipboard()->GetData(CF_CSV);
  EXPECT_EQ(String(csv.begin(), csv.begin() + 7), "\"ID\";\"N");
  EXPECT_EQ(Clipboard()->GetData(CF_VCLDBIF).size() > 12, true);

  // Paste all into an emptied dataset: VCLDBIF, not the text with its titles.
  grid_->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh});
  DBGridEhDeleteSelection(grid_, true);
  ASSERT_EQ(ds_->RowCount(), 0);
  DBGridEhPasteFromClipboard(grid_, true);
  EXPECT_EQ(Rows(), kStart);

  // Plain text only: read up to its first zero byte.
  const char text[] = "77\0junk";
  Clipboard()->SetData(CF_TEXT, text, sizeof text);
  ds_->First();
  grid_->SetSelectedIndex(0);
  DBGridEhPasteFromClipboard(grid_, false);
  EXPECT_EQ(Rows()[0], "77|one|10.5|Y");
  EXPECT_EQ(ds_->RowCount(), 3);

  // Nothing usable: nothing happens.
  Clipboard()->Clear();
  DBGridEhPasteFromClipboard(grid_, false);
  EXPECT_EQ(ds_->RowCount(), 3);
}

TEST_F(ImportTest, DeleteAsksUnderConfirmDeleteAndCancelKeepsEverything) {
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgConfirmDelete});
  std::vector<TBookmark> bm;
  struct Case {
    const char* name;
    std::function<void()> select;
    bool all;
    String question;
    std::vector<String> after;
  };
  const Case cases[] = {
      {"one record", [&] { grid_->SelectedRows()->SetCurrentRowSelected(true); }, false, "Delete record?",
       {"2|two|20.25|n", "3|three|NULL|x"}},
      {"records",
       [&] {
         grid_->SelectedRows()->SetCurrentRowSelected(true);
         ds_->Last();
         grid_->SelectedRows()->SetCurrentRowSelected(true);
       },
       false, "Delete all selected records?", {"2|two|20.25|n"}},
      {"rectangle",
       [&] {
         grid_->Selection()->Rect()->Select(0, bm[0], false);
         grid_->Selection()->Rect()->Select(1, bm[1], true);
       },
       false, "Clear selected cells?", {"NULL|NULL|10.5|Y", "NULL|NULL|20.25|n", "3|three|NULL|x"}},
      {"columns", [&] { grid_->Selection()->Columns()->Select(grid_->Columns()->Items(4), false); }, false,
       "Clear selected columns?", {"1|one|10.5|NULL", "2|two|20.25|NULL", "3|three|NULL|NULL"}},
      {"all", [] {}, true, "Delete all records?", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (TModalResult answer : {mrCancel, mrOk}) {
      Reset();
      grid_->SetOptions(grid_->Options() + TDBGridOptions{dgConfirmDelete});
      bm = Bookmarks();
      c.select();
      String asked;
      {
        AnswerDialog reply(answer, &asked);
        DBGridEhDeleteSelection(grid_, c.all);
      }
      EXPECT_EQ(asked, c.question);
      EXPECT_EQ(Rows(), answer == mrOk ? c.after : kStart);
      EXPECT_EQ(ds_->State(), dsBrowse);
    }
  }
  Reset();
  // Without dgConfirmDelete no question; without a selection nothing.
  DBGridEhDeleteSelection(grid_, false);
  EXPECT_EQ(ds_->RowCount(), 3);
  DBGridEhCutToClipboard(grid_, true);
  EXPECT_EQ(ds_->RowCount(), 0);
  EXPECT_FALSE(Clipboard()->GetData(CF_VCLDBIF).empty());
}

}  // namespace
