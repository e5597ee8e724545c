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

}  // namespace
