// Grid export: the four formats byte for byte over a small dataset with
// NULLs, quotes, tabs, Cyrillic text and footers; selections; what an export without a
// selection writes; the record and the controls after an export that fails.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "grid/datagrid/DBGridEhImpExp.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/support/TempDir.h"

namespace {

// A stream whose writes fail after a number of bytes.
class TFailingStream : public TMemoryStream {
 public:
  explicit TFailingStream(Int64 Limit) : limit_(Limit) {}
  Int64 Write(const void* Buffer, Int64 Count) override {
    if (Size() + Count > limit_) return 0;
    return TMemoryStream::Write(Buffer, Count);
  }

 private:
  Int64 limit_;
};

String Content(TMemoryStream& S) { return String(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size())); }

class ExportTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    ds_->Open();
    grid_ = NewGrid();
    for (const char* name : {"ID", "NAME", "AMOUNT"}) {
      TColumnEh* c = grid_->Columns()->Add();
      c->SetFieldName(name);
      c->Title()->SetCaption(name);
      c->SetWidth(96);
    }
  }
  void AddRows() {
    ds_->AppendRows({{1, "a\"b", 10.5, true, "Y"}, {2, "Тест\tx", Null(), false, "n"}, {3, Null(), 2.25, Null(), "x"}});
    ds_->First();
  }
  void AddFooters() {
    grid_->SetFooterRowCount(1);
    grid_->Columns()->Items(0)->Footer()->SetValueType(fvtCount);
    grid_->Columns()->Items(1)->Footer()->SetValueType(fvtStaticText);
    grid_->Columns()->Items(1)->Footer()->SetValue("Итого");
    grid_->Columns()->Items(2)->Footer()->SetValueType(fvtSum);
  }
  template <class T>
  String Export(bool All = true) {
    TMemoryStream s;
    DBGridEhExportToStream(&CreateDBGridEhExport<T>, grid_, &s, All);
    return Content(s);
  }

  TCustomDBGridEh* grid_ = nullptr;
};

TEST_F(ExportTest, TextAndCsvGoldens) {
  AddRows();
  AddFooters();
  EXPECT_EQ(Export<TDBGridEhExportAsText>(),
            "ID\tNAME\tAMOUNT\r\n"
            "1\ta\"b\t10.5\r\n"
            "2\tТест\tx\t\r\n"
            "3\t\t2.25\r\n"
            "3\tИтого\t12.75");
  EXPECT_EQ(Export<TDBGridEhExportAsCSV>(),
            "\"ID\";\"NAME\";\"AMOUNT\"\r\n"
            "\"1\";\"a\"\"b\";\"10.5\"\r\n"
            "\"2\";\"Тест\tx\";\"\"\r\n"
            "\"3\";\"\";\"2.25\"\r\n"
            "\"3\";\"Итого\";\"12.75\"");
}

// The cell and footer events reach the exported texts and colours; a sum is
// formatted by its field.
TEST_F(ExportTest, EventsAndFooterFormats) {
  AddRows();
  AddFooters();
  static_cast<TFloatField*>(ds_->FieldByName("AMOUNT"))->SetDisplayFormat("0.000");
  grid_->SetOnGetFooterParams([](TObject*, int DataCol, int, TColumnEh*, TFont*, TColor& Background, TAlignment&,
                                 TGridDrawState, String& Text) {
    if (DataCol == 0) Text = "n=" + Text;
    Background = static_cast<TColor>(0x000080);
  });
  grid_->SetOnGetCellParams([this](TObject*, TColumnEh*, TFont*, TColor& Background, TGridDrawState) {
    if (ds_->FieldByName("ID")->AsInteger() == 2) Background = static_cast<TColor>(0x008000);
  });
  grid_->Columns()->Items(1)->SetOnGetCellParams([](TObject*, bool, TColCellParamsEh* P) {
    if (P->Text.empty()) P->Text = "-";
  });
  EXPECT_EQ(Export<TDBGridEhExportAsText>(),
            "ID\tNAME\tAMOUNT\r\n1\ta\"b\t10.500\r\n2\tТест\tx\t\r\n3\t-\t2.250\r\nn=3\tИтого\t12.750");
  const String rtf = Export<TDBGridEhExportAsRTF>();
  // Colours 3 and 4: the second row's cells, then the footer's.
  EXPECT_NE(rtf.find("\\red0\\green128\\blue0;\\red128\\green0\\blue0;}"), String::npos) << rtf;
  EXPECT_NE(rtf.find("\\clcfpat3\\cellx1440\r\n"), String::npos);
  EXPECT_NE(rtf.find("\\cb4 n=3\\cell}"), String::npos);
}

TEST_F(ExportTest, EmptyDatasetAndNoSelection) {
  AddFooters();
  // Everything of an empty dataset: titles and footers over no rows.
  EXPECT_EQ(Export<TDBGridEhExportAsText>(), "ID\tNAME\tAMOUNT\r\n0\tИтого\t0");
  grid_->SetFooterRowCount(0);
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgTitles});
  EXPECT_EQ(Export<TDBGridEhExportAsText>(), "");
  AddRows();
  // Without a selection nothing at all is written; RTF keeps its tables.
  EXPECT_EQ(Export<TDBGridEhExportAsText>(false), "");
  EXPECT_EQ(Export<TDBGridEhExportAsVCLDBIF>(false), "");
  const String rtf = Export<TDBGridEhExportAsRTF>(false);
  EXPECT_EQ(rtf.rfind("{\\rtf0\\ansi\r\n{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;", 0), 0u) << rtf;
  EXPECT_EQ(rtf.substr(rtf.size() - 15), "}\r\n{\\fonttbl}\r\n");
}

TEST_F(ExportTest, VclDbIfGolden) {
  AddRows();
  AddFooters();  // footers and titles write nothing in this format
  String expected("VCLDBIF\x01\x03\0\0\0\x01\0\x01\0\x01\0", 18);
  auto i32 = [&](int32_t v) { expected.append(reinterpret_cast<const char*>(&v), 4); };
  auto dbl = [&](double v) { expected.append(reinterpret_cast<const char*>(&v), 8); };
  auto str = [&](const String& v) {
    expected += '\x05';
    i32(static_cast<int32_t>(v.size()));
    expected += v;
  };
  expected += '\x03'; i32(1); str("a\"b"); expected += '\x04'; dbl(10.5);
  expected += '\x03'; i32(2); str("Тест\tx"); expected += '\x02';
  expected += '\x03'; i32(3); expected += '\x02'; expected += '\x04'; dbl(2.25);
  expected += '\0';
  EXPECT_EQ(Export<TDBGridEhExportAsVCLDBIF>(), expected);

  // One column, one null value: header, descriptor 1 0, tag 2, end mark.
  grid_->Columns()->Items(0)->SetVisible(false);
  grid_->Columns()->Items(2)->SetVisible(false);
  ds_->First();
  while (!ds_->IsEmpty()) ds_->Delete();
  ds_->AppendRows({{4, Null(), Null(), Null(), Null()}});
  EXPECT_EQ(Export<TDBGridEhExportAsVCLDBIF>(), String("VCLDBIF\x01\x01\0\0\0\x01\0\x02\0", 16));
}

TEST_F(ExportTest, RtfGolden) {
  grid_->Columns()->Items(0)->SetVisible(false);
  grid_->Columns()->Items(2)->SetVisible(false);
  ds_->AppendRows({{1, "Ёж {x}\\", 1.0, true, "Y"}});
  TColumnEh* c = grid_->Columns()->Items(1);
  c->SetAlignment(taRightJustify);
  c->SetColor(static_cast<TColor>(0x0080FF));
  TFont f;
  f.Assign(c->Font());
  f.SetStyle(TFontStyles{fsBold, fsItalic});
  f.SetName("Mono");
  f.SetSize(10);
  c->SetFont(&f);
  const String font = c->Title()->Font()->Name();
  const String title_size = IntToStr(c->Title()->Font()->Size() * 2);
  EXPECT_EQ(Export<TDBGridEhExportAsRTF>(),
            "{\\rtf0\\ansi\r\n"
            "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red239\\green239\\blue239;"
            "\\red255\\green128\\blue0;}\r\n"
            "{\\fonttbl\\f0\\fnil " + font + ";\\f1\\fnil Mono;}\r\n"
            "\\trowd\\trgaph40\r\n"
            "\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n"
            "\\clbrdrb\\brdrs\\brdrcf0\r\n\\clbrdrr\\brdrs\\brdrcf0\r\n"
            "\\clshdng10000\\clcfpat2\\cellx1440\r\n"
            "{\\trrh0\r\n"
            "\\pard\\intbl{\\ql\\sb24\\sa24\\fs" + title_size + "\\f0\\cf0\\cb2 NAME\\cell}\r\n"
            "\\pard\\intbl\\row}\r\n"
            "\\trowd\\trgaph40\r\n"
            "\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n"
            "\\clbrdrb\\brdrs\\brdrcf0\r\n\\clbrdrr\\brdrs\\brdrcf0\r\n"
            "\\clshdng10000\\clcfpat3\\cellx1440\r\n"
            "{\\trrh0\r\n"
            "\\pard\\intbl{\\qr\\sb24\\sa24\\fs20\\b\\i\\f1\\cf0\\cb3 \\u1025?\\u1078? \\{x\\}\\\\\\cell}\r\n"
            "\\pard\\intbl\\row}\r\n"
            "}");
}

TEST(TitleExpArr, NodesCoverTheirColumnsAndLevels) {
  const TTitleExpArr a = BuildTitleExpArr({"Sum|Qty", "Sum|Price", "Name", "Other|Qty"});
  ASSERT_EQ(a.size(), 2u);
  auto area = [](const TTitleExpCell& c) {
    return c.Text + " " + IntToStr(c.Left) + IntToStr(c.Right) + IntToStr(c.Top) + IntToStr(c.Bottom);
  };
  const char* expected[2][4] = {{"Sum 0100", "Sum 0100", "Name 2201", "Other 3300"},
                                {"Qty 0011", "Price 1111", "Name 2201", "Qty 3311"}};
  for (int l = 0; l < 2; ++l)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(area(a[l][i]), expected[l][i]) << l << "," << i;
  EXPECT_EQ(a[0][0].Node, a[0][1].Node);
  EXPECT_EQ(a[0][2].Node, a[1][2].Node);
  EXPECT_NE(a[1][0].Node, a[1][3].Node);  // same text, different parents
}

TEST_F(ExportTest, RtfMultiLevelTitles) {
  grid_->Columns()->Items(0)->Title()->SetCaption("Sum|Qty");
  grid_->Columns()->Items(1)->Title()->SetCaption("Sum|Price");
  grid_->Columns()->Items(2)->Title()->SetCaption("Name");
  grid_->SetUseMultiTitle(true);
  grid_->SetFixedColor(static_cast<TColor>(0x0000FF));
  for (int i = 0; i < 3; ++i) grid_->Columns()->Items(i)->Title()->SetColor(static_cast<TColor>(0x00FF00));
  const String rtf = Export<TDBGridEhExportAsRTF>();
  const String b = "\\brdrs\\brdrcf0\r\n";
  // Upper row: "Sum" spans two columns with no border between them; the
  // leaf "Name" reaches down, so its cell has no bottom border.
  const String upper = "\\trowd\\trgaph40\r\n"
                       "\\clbrdrl" + b + "\\clbrdrt" + b + "\\clbrdrb" + b + "\\clshdng10000\\clcfpat3\\cellx1440\r\n"
                       "\\clbrdrt" + b + "\\clbrdrb" + b + "\\clbrdrr" + b + "\\clshdng10000\\clcfpat3\\cellx2880\r\n"
                       "\\clbrdrl" + b + "\\clbrdrt" + b + "\\clbrdrr" + b + "\\clshdng10000\\clcfpat3\\cellx4320\r\n"
                       "{\\trrh0\r\n";
  const size_t at = rtf.find(upper);
  ASSERT_NE(at, String::npos) << rtf;
  const size_t cells = at + upper.size();
  EXPECT_EQ(rtf.find("\\qc", cells), cells + 12);
  EXPECT_NE(rtf.find("\\cb3 Sum\\cell}\r\n\\pard\\intbl{\\qc", cells), String::npos);
  const String leaf = "\\clbrdrl" + b + "\\clbrdrb" + b + "\\clbrdrr" + b + "\\clshdng10000\\clcfpat4\\cellx4320";
  EXPECT_NE(rtf.find(leaf, cells), String::npos);
  EXPECT_NE(rtf.find("\\cb4 Qty\\cell}"), String::npos);
  EXPECT_NE(rtf.find("\\cb4 Name\\cell}"), String::npos);
}

// Every non-ASCII character as its UTF-16 code units, signed.
TEST(RtfEscapeText, UnicodeEscapes) {
  const struct {
    String in, out;
  } cases[] = {
      {"Тест", "\\u1058?\\u1077?\\u1089?\\u1090?"},
      {"a{b}\\", "a\\{b\\}\\\\"},
      {"\xF0\x9F\x98\x80", "\\u-10179?\\u-8704?"},  // U+1F600, a surrogate pair
      {"\xEF\xBF\xBF", "\\u-1?"},
      {"\xFF", "\\u-3?"},  // a stray byte: the replacement character
  };
  for (const auto& c : cases) EXPECT_EQ(RtfEscapeText(c.in), c.out) << c.in;
}

TEST_F(ExportTest, FailedWriteRestoresRecordAndControls) {
  AddRows();
  ds_->Next();
  TFailingStream s(20);
  EXPECT_THROW(DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsText>, grid_, &s, true), EWriteError);
  EXPECT_FALSE(ds_->ControlsDisabled());
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
  // A full export also returns to the record it started on.
  EXPECT_FALSE(Export<TDBGridEhExportAsCSV>().empty());
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
}

TEST_F(ExportTest, ExportToFile) {
  AddRows();
  TTempDir dir;
  const String name = dir.File("out.txt");
  dir.Write("out.txt", "old content that is longer than the export");
  TDBGridEhExportAsText e;
  e.SetDBGridEh(grid_);
  e.ExportToFile(name, true);
  std::ifstream in(name, std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), "ID\tNAME\tAMOUNT\r\n1\ta\"b\t10.5\r\n2\tТест\tx\t\r\n3\t\t2.25");
  EXPECT_THROW(e.ExportToFile(dir.File("no/such/dir.txt"), true), EFCreateError);
}

}  // namespace

// A selection exports its rows and columns: selected records in dataset
// order, a rectangle's span of rows and columns, selected columns over every
// record; the footers sum what was written and the current record stays.
TEST_F(ExportTest, SelectionsExportTheirRowsAndColumns) {
  AddRows();
  AddFooters();
  std::vector<TBookmark> bm;
  for (ds_->First(); !ds_->Eof(); ds_->Next()) bm.push_back(ds_->GetBookmark());

  TBookmarkListEh* rows = grid_->SelectedRows();
  ds_->GotoBookmark(bm[2]);
  rows->SetCurrentRowSelected(true);
  ds_->GotoBookmark(bm[0]);
  rows->SetCurrentRowSelected(true);
  ds_->GotoBookmark(bm[1]);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_EQ(Export<TDBGridEhExportAsText>(false),
            "ID\tNAME\tAMOUNT\r\n"
            "1\ta\"b\t10.5\r\n"
            "3\t\t2.25\r\n"
            "2\tИтого\t12.75");
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);

  grid_->Selection()->Rect()->Select(2, bm[1], false);
  grid_->Selection()->Rect()->Select(1, bm[2], true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstRectangle);
  EXPECT_EQ(Export<TDBGridEhExportAsText>(false),
            "NAME\tAMOUNT\r\n"
            "Тест\tx\t\r\n"
            "\t2.25\r\n"
            "Итого\t2.25");

  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(2), false);
  grid_->Selection()->Columns()->Select(grid_->Columns()->Items(0), true);
  ASSERT_EQ(grid_->Selection()->SelectionType(), gstColumns);
  EXPECT_EQ(Export<TDBGridEhExportAsText>(false),
            "ID\tAMOUNT\r\n"
            "1\t10.5\r\n"
            "2\t\r\n"
            "3\t2.25\r\n"
            "3\t12.75");
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 2);
}
