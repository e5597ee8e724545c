// The grid's in-place editor on a Firebird table: typed values reach the
// server when the record is posted (read back through another attachment),
// Escape, refused values, Cyrillic limits, memo text, the calendar and the
// pick list, and type-ahead over a lookup dataset that is left alone.
#include <gtest/gtest.h>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/Locale.h"
#include "tests/grid/datagrid/EditorInput.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

class InplaceEditFirebirdTest : public fbtest::TFIBSuiteTest<InplaceEditFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table EDIT_T (ID integer not null primary key, NAME varchar(20), QTY integer, BORN date, "
        "NOTE blob sub_type text, KIND varchar(5), REF integer)",
        "insert into EDIT_T values (1, 'first', 10, '2020-01-15', 'line', 'a', 1)",
        "insert into EDIT_T values (2, 'second', 20, '2021-02-20', null, 'b', 2)",
        "create table LOOK_T (LID integer not null primary key, LNAME varchar(20))",
        "insert into LOOK_T values (1, 'Москва')",
        "insert into LOOK_T values (2, 'Минск')",
        "insert into LOOK_T values (3, 'Берлин')",
        "create table TYPES_T (ID integer not null primary key, SI smallint, II integer, BI bigint, "
        "N184 numeric(18,4), N92 numeric(9,2), DP double precision, FL float, DT date, TM time, TS timestamp, "
        "C1 char(1), C5 char(5), C10 char(10), VC varchar(30), BO boolean, BL blob sub_type text)",
        "insert into TYPES_T (ID) values (1)",
    };
  }

 protected:
  void SetUp() override {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList, &unit_ComCtrls});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    file_->Exec({"update EDIT_T set NAME = 'first', QTY = 10, BORN = '2020-01-15', NOTE = 'line', KIND = 'a', "
                 "REF = 1 where ID = 1",
                 "update EDIT_T set NAME = 'second', QTY = 20, BORN = '2021-02-20', NOTE = null, KIND = 'b', "
                 "REF = 2 where ID = 2"});
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(50, 50, 600, 300);
    db_ = fbtest::ConnectFIBDatabase(form_, file_->Path());
    ds_ = NewDataSet("select ID, NAME, QTY, BORN, NOTE, KIND, REF from EDIT_T order by ID");
    ds_->UpdateSQL()->SetText(
        "update EDIT_T set NAME = ?NAME, QTY = ?QTY, BORN = ?BORN, NOTE = ?NOTE, KIND = ?KIND, REF = ?REF "
        "where ID = ?OLD_ID");
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
  }
  void TearDown() override {
    if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    delete form_;
  }
  TpFIBDataSet* NewDataSet(const char* Sql) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(Sql);
    ds->SetAutoCommit(true);
    return ds;
  }
  // A grid that always shows its editor, with the focus in the form.
  TCustomDBGridEh* NewGrid() {
    auto* g = new TCustomDBGridEh(form_);
    g->SetBounds(0, 0, 580, 200);
    g->SetParent(form_);
    g->SetOptions(g->Options() + TDBGridOptions{dgAlwaysShowEditor});
    g->SetDataSource(src_);
    g->HandleNeeded();
    return g;
  }
  TDBGridInplaceEdit* EditCell(TCustomDBGridEh* g, const char* FieldName) {
    g->SetSelectedField(ds_->FieldByName(FieldName));
    g->ShowEditor();
    TDBGridInplaceEdit* e = g->DBInplaceEditor();
    EXPECT_NE(e, nullptr);
    return e;
  }
  std::string Server(const std::string& Column, int Id) const {
    return file_->QueryValue("select " + Column + " from EDIT_T where ID = " + std::to_string(Id));
  }

  TForm* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
};

TEST_F(InplaceEditFirebirdTest, TypedTextReachesServerOnPostAndEscapeRestores) {
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TDBGridInplaceEdit* e = EditCell(g, "NAME");
  EXPECT_EQ(e->Text(), "first");
  e->SelectAll();
  TypeChars(e, "новое");
  EXPECT_EQ(g->EditText(), "новое");
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(Server("NAME", 1), "first") << "nothing is written while typing";
  // Tab to the next column hands the typed text to the field.
  SendKey(e, Qt::Key_Tab, Qt::NoModifier, "\t");
  EXPECT_EQ(g->SelectedField(), ds_->FieldByName("QTY"));
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "новое");
  e->SelectAll();
  TypeChars(e, "42");
  // Moving to the next record posts both.
  ds_->Next();
  EXPECT_EQ(Server("NAME", 1), "новое");
  EXPECT_EQ(Server("QTY", 1), "42");
  // Escape puts the cell's text back; the record posts unchanged.
  e->SelectAll();
  TypeChars(e, "99");
  EXPECT_EQ(e->Text(), "99");
  SendKey(e, Qt::Key_Escape);
  EXPECT_EQ(e->Text(), "20");
  ds_->Prior();
  EXPECT_EQ(Server("QTY", 2), "20");
}

TEST_F(InplaceEditFirebirdTest, RefusedValueRaisesTheFieldErrorAndKeepsTheEdit) {
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TDBGridInplaceEdit* e = EditCell(g, "QTY");
  e->SelectAll();
  TypeChars(e, "1x");
  EXPECT_EQ(e->Text(), "1") << "a letter is no integer character";
  // Pasted text is not filtered: the field refuses it when it is written.
  Clipboard()->SetAsText("7b");
  e->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(e->Text(), "17b");
  EXPECT_THROW(ds_->Post(), Exception);
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(e->Text(), "17b");
  EXPECT_EQ(Server("QTY", 1), "10");
  e->SelectAll();
  TypeChars(e, "5");
  ds_->Post();
  EXPECT_EQ(Server("QTY", 1), "5");
}

TEST_F(InplaceEditFirebirdTest, TwentyCyrillicLettersFitVarchar20AndMemoEditsCrLf) {
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TDBGridInplaceEdit* e = EditCell(g, "NAME");
  EXPECT_EQ(g->GetEditLimit(), 20);
  EXPECT_EQ(e->MaxLength(), 20);
  e->SelectAll();
  const String twenty = "абвгдеёжзийклмнопрст";
  TypeChars(e, twenty + "уф");
  EXPECT_EQ(e->Text(), twenty);
  ds_->Post();
  EXPECT_EQ(Server("NAME", 1), twenty);

  // A memo cell edits CR LF text, and the lines reach the server.
  g->SetDrawMemoText(true);
  g->SetRowLines(3);
  g->Columns()->Items(4)->SetWordWrap(true);
  e = EditCell(g, "NOTE");
  EXPECT_TRUE(e->WordWrap());
  EXPECT_TRUE(e->MultiLine());
  EXPECT_EQ(e->Text(), "line");
  e->SetSelStart(static_cast<int>(e->Text().size()));
  TypeChars(e, "\nnext");  // Ctrl+Enter's line feed types a line break
  EXPECT_EQ(g->EditText(), "line\r\nnext");
  ds_->Post();
  EXPECT_EQ(Server("NOTE", 1), "line\r\nnext");
  EXPECT_EQ(g->GetEditText(g->Col(), g->Row()), "line\r\nnext");
}

TEST_F(InplaceEditFirebirdTest, CalendarWritesTheFieldAtOnceAndCancelRestores) {
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TDBGridInplaceEdit* e = EditCell(g, "BORN");
  ASSERT_EQ(e->EditKind(), ekCalendar);
  e->DropDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(e->Calendar()->Date(), EncodeDate(2020, 1, 15));
  e->Calendar()->SetDate(EncodeDate(2024, 3, 9));
  e->CloseUp(true);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(ds_->FieldByName("BORN")->AsDateTime(), EncodeDate(2024, 3, 9)) << "written at once";
  ds_->Cancel();
  EXPECT_EQ(ds_->FieldByName("BORN")->AsDateTime(), EncodeDate(2020, 1, 15));
  // Accepted and posted, the date is on the server.
  e->DropDown();
  e->Calendar()->SetDate(EncodeDate(2019, 12, 31));
  e->CloseUp(true);
  ds_->Post();
  EXPECT_EQ(Server("BORN", 1), "2019-12-31");
  // A text that is no date opens the calendar on the field's date.
  e->SetText("nonsense");
  e->DropDown();
  EXPECT_EQ(e->Calendar()->Date(), EncodeDate(2019, 12, 31));
  e->CloseUp(false);
  ds_->Cancel();
}

TEST_F(InplaceEditFirebirdTest, PickListChoiceIsWritten) {
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* kind = g->Columns()->Items(5);
  kind->PickList()->SetText("a\nb\nc");
  TDBGridInplaceEdit* e = EditCell(g, "KIND");
  ASSERT_EQ(e->EditKind(), ekPickList);
  SendKey(e, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(e->ListVisible());
  SendKey(e, Qt::Key_Down);
  SendKey(e, Qt::Key_Down);
  SendKey(e, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(e->Text(), "c");
  ds_->Next();
  EXPECT_EQ(Server("KIND", 1), "c");
}

TEST_F(InplaceEditFirebirdTest, LookupTypeAheadLeavesTheLookupDataSetAlone) {
  TpFIBDataSet* look = NewDataSet("select LID, LNAME from LOOK_T order by LID");
  look->UpdateSQL()->SetText("update LOOK_T set LNAME = ?LNAME where LID = ?OLD_LID");
  look->Open();
  ds_->Prepare();
  for (int i = 0; i < ds_->FieldDefs()->Count(); ++i) ds_->FieldDefs()->Items(i)->CreateField(ds_);
  auto* f = new TStringField(ds_);
  f->SetFieldName("REF_NAME");
  f->SetSize(20);
  f->SetFieldKind(fkLookup);
  f->SetLookupDataSet(look);
  f->SetKeyFields("REF");
  f->SetLookupKeyFields("LID");
  f->SetLookupResultField("LNAME");
  f->SetDataSet(ds_);
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* c = g->Columns()->Items(g->Columns()->Count() - 1);
  ASSERT_EQ(c->FieldName(), "REF_NAME");
  c->DropDownSpecRow()->SetCellsText("(нет)");
  c->DropDownSpecRow()->SetVisible(true);
  // Someone edits the lookup dataset: the edit text leaves it pending.
  look->Last();
  look->Edit();
  look->FieldByName("LNAME")->SetAsString("правка");
  EXPECT_EQ(g->GetEditText(g->DataToRawColumn(c->Index()), g->Row()), "Москва");
  EXPECT_EQ(look->State(), dsEdit);
  EXPECT_EQ(look->FieldByName("LID")->AsInteger(), 3);
  look->Cancel();
  look->First();

  TDBGridInplaceEdit* e = EditCell(g, "REF_NAME");
  ASSERT_EQ(e->EditKind(), ekLookupList);
  e->SelectAll();
  TypeChars(e, "бе");
  EXPECT_EQ(e->Text(), "Берлин");
  EXPECT_EQ(e->SelText(), "рлин");
  EXPECT_EQ(look->FieldByName("LID")->AsInteger(), 1) << "the lookup's cursor stays";
  e->SelectAll();
  TypeChars(e, "ми");
  EXPECT_EQ(e->Text(), "Минск");
  ds_->Next();
  EXPECT_EQ(Server("REF", 1), "2");
}

// An editor holding typed text, its calendar or pick list dropped, when the
// dataset closes, the data source goes or the dataset goes: the grid and the
// editor let go of them, and the grid works on with a new dataset.
TEST_F(InplaceEditFirebirdTest, EditorWithTypedTextOutlivesItsDataSetAndSource) {
  enum Gone { kClosed, kSourceFreed, kDataSetFreed };
  for (Gone gone : {kClosed, kSourceFreed, kDataSetFreed}) {
    for (const char* field : {"NAME", "BORN", "KIND"}) {
      SCOPED_TRACE(std::string(field) + " " + std::to_string(gone));
      if (src_ == nullptr) {
        src_ = new TDataSource(form_);
        src_->SetDataSet(ds_);
      }
      if (ds_ == nullptr) {
        ds_ = NewDataSet("select ID, NAME, QTY, BORN, NOTE, KIND, REF from EDIT_T order by ID");
        src_->SetDataSet(ds_);
      }
      ds_->Open();
      TCustomDBGridEh* g = NewGrid();
      if (std::string(field) == "KIND") {
        g->Columns()->Items(5)->PickList()->SetText("a\nb\nc");
      }
      TDBGridInplaceEdit* e = EditCell(g, field);
      ASSERT_NE(e, nullptr);
      if (std::string(field) == "NAME") {
        e->SelectAll();
        TypeChars(e, "тест");
      } else {
        e->DropDown();
        EXPECT_TRUE(e->ListVisible());
      }
      switch (gone) {
        case kClosed: ds_->Close(); break;
        case kSourceFreed: delete src_; src_ = nullptr; break;
        case kDataSetFreed: delete ds_; ds_ = nullptr; break;
      }
      Application->ProcessMessages();
      g->Repaint();
      if (g->DBInplaceEditor() != nullptr && g->DBInplaceEditor()->Visible()) {
        SendKey(g->DBInplaceEditor(), Qt::Key_Escape);
        TypeChars(g->DBInplaceEditor(), "x");
        SendKey(g->DBInplaceEditor(), Qt::Key_Tab, Qt::NoModifier, "\t");
      }
      SendKey(g, Qt::Key_Down);
      EXPECT_EQ(Server("NAME", 1), "first") << "the typed text reaches no record";
      delete g;
    }
  }
}

// Each column type edited through the cell editor: the typed text reaches the
// server unchanged in value (read on another attachment), the cell shows it
// again after a reopen, and an emptied number cell writes NULL.
TEST_F(InplaceEditFirebirdTest, EveryColumnTypeTypedInTheCellReachesTheServer) {
  const char d = FormatSettings.DecimalSeparator;
  auto dec = [d](std::string t) {
    for (char& c : t)
      if (c == '.') c = d;
    return t;
  };
  const String date = DateToStr(EncodeDate(2031, 7, 4));
  const String stamp = DateToStr(EncodeDate(1999, 12, 31)) + " 23:59:58";
  struct Case {
    const char* column;
    String typed;
    const char* check;  // a server condition on the column
    String shown;       // the cell's text after a reopen ("" = as typed)
  } cases[] = {
      {"SI", "-32768", "SI = -32768", ""},
      {"II", "2147483647", "II = 2147483647", ""},
      {"BI", "-9223372036854775807", "BI = -9223372036854775807", ""},
      {"N184", dec("12345678901234.5678"), "N184 = 12345678901234.5678", ""},
      {"N184", dec("-0.0001"), "N184 = -0.0001", ""},
      {"N92", dec("-1234567.89"), "N92 = -1234567.89", ""},
      {"DP", dec("0.1"), "DP = 0.1", ""},
      {"FL", dec("2.5"), "FL = 2.5", ""},
      {"DT", date, "DT = date '2031-07-04'", ""},
      {"TM", TimeToStr(EncodeTime(13, 45, 10, 0)), "TM = time '13:45:10'", ""},
      {"TS", stamp, "TS = timestamp '1999-12-31 23:59:58'", ""},
      {"C1", "Ж", "C1 = 'Ж'", ""},
      {"C5", "абвгд", "C5 = 'абвгд'", ""},
      {"C10", "ёж ", "C10 = 'ёж'", "ёж"},
      {"C10", "Щукино-123", "C10 = 'Щукино-123'", ""},
      {"VC", "O'Brien «Ёлка»", "VC = 'O''Brien «Ёлка»'", ""},
      {"BL", "строка", "BL = 'строка'", ""},
      {"II", "", "II is null", ""},
      {"VC", "", "coalesce(VC, '') = ''", ""},  // a Unicode text field stores the empty text
      {"N184", "", "N184 is null", ""},
  };
  ds_ = NewDataSet("select ID, SI, II, BI, N184, N92, DP, FL, DT, TM, TS, C1, C5, C10, VC, BO, BL from TYPES_T");
  ds_->UpdateSQL()->SetText(
      "update TYPES_T set SI = ?SI, II = ?II, BI = ?BI, N184 = ?N184, N92 = ?N92, DP = ?DP, FL = ?FL, DT = ?DT, "
      "TM = ?TM, TS = ?TS, C1 = ?C1, C5 = ?C5, C10 = ?C10, VC = ?VC, BO = ?BO, BL = ?BL where ID = ?OLD_ID");
  src_->SetDataSet(ds_);
  ds_->Open();
  TCustomDBGridEh* g = NewGrid();
  g->SetDrawMemoText(true);  // the text blob edits as text
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.column) + " <" + c.typed + ">");
    TDBGridInplaceEdit* e = EditCell(g, c.column);
    ASSERT_NE(e, nullptr);
    e->SelectAll();
    if (c.typed.empty()) {
      SendKey(e, Qt::Key_Delete);
    } else {
      TypeChars(e, c.typed);
    }
    EXPECT_EQ(e->Text(), c.typed);
    ds_->Post();
    EXPECT_EQ(file_->QueryValue(std::string("select iif(") + c.check + ", 'ok', coalesce(cast(" + c.column +
                                " as varchar(60)), '<null>')) from TYPES_T where ID = 1"),
              "ok");
    ds_->Close();
    ds_->Open();
    g->SetSelectedField(ds_->FieldByName(c.column));
    EXPECT_EQ(g->GetEditText(g->Col(), g->Row()), c.shown.empty() ? c.typed : c.shown);
  }
}

}  // namespace
