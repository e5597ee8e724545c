// A lookup column over a Firebird table of 10 000 Cyrillic names: the cell
// editor drops the popup data grid, typing finds the row, Enter writes the
// key (read back through another attachment after Post), Escape leaves the
// field alone, and the focus stays with the editor throughout.
#include <gtest/gtest.h>

#include <QApplication>

#include "grid/datagrid/DBLookupGridsEh.h"
#include "tests/grid/datagrid/EditorInput.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"
#include "tests/support/QtInput.h"

namespace {

class LookupColumnFirebirdTest : public TGridFirebirdTest<LookupColumnFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table CITY (CID integer not null primary key, CNAME varchar(30))",
        "execute block as declare i integer = 1; begin while (i <= 10000) do begin "
        "insert into CITY values (:i, 'Город ' || lpad(:i, 5, '0')); i = i + 1; end end",
        "update CITY set CNAME = 'Щукино' where CID = 7777",
        "update CITY set CNAME = 'Щёлково' where CID = 8888",
        "create table PERSON (PID integer not null primary key, PNAME varchar(20), CITY_ID integer)",
        "insert into PERSON values (1, 'Анна', 1)",
        "insert into PERSON values (2, 'Борис', 2)",
    };
  }

 protected:
  void SetUp() override {
    file_->Exec({"update PERSON set CITY_ID = 1 where PID = 1", "update PERSON set CITY_ID = 2 where PID = 2"});
    SetUpGridLater();
  }
  // The grid, its lookup field and an editor on the lookup cell, the form
  // shown and the editor focused.
  void SetUpGridLater() {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(50, 50, 500, 300);
    db_ = fbtest::ConnectFIBDatabase(form_, file_->Path());
    look_ = new TpFIBDataSet(form_);
    look_->SetDatabase(db_);
    look_->SelectSQL()->SetText("select CID, CNAME from CITY order by CID");
    look_->Open();
    ds_ = new TpFIBDataSet(form_);
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText("select PID, PNAME, CITY_ID from PERSON order by PID");
    ds_->UpdateSQL()->SetText("update PERSON set PNAME = ?PNAME, CITY_ID = ?CITY_ID where PID = ?OLD_PID");
    ds_->SetAutoCommit(true);
    ds_->Prepare();
    for (int i = 0; i < ds_->FieldDefs()->Count(); ++i) ds_->FieldDefs()->Items(i)->CreateField(ds_);
    auto* f = new TStringField(ds_);
    f->SetFieldName("CITY_NAME");
    f->SetSize(30);
    f->SetFieldKind(fkLookup);
    f->SetLookupDataSet(look_);
    f->SetKeyFields("CITY_ID");
    f->SetLookupKeyFields("CID");
    f->SetLookupResultField("CNAME");
    f->SetDataSet(ds_);
    ds_->Open();
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
    grid_ = new TCustomDBGridEh(form_);
    grid_->SetBounds(0, 0, 480, 200);
    grid_->SetParent(form_);
    grid_->SetOptions(grid_->Options() + TDBGridOptions{dgAlwaysShowEditor});
    grid_->SetDataSource(src_);
    grid_->HandleNeeded();
    form_->Show();
    form_->Widget()->activateWindow();
    for (int i = 0; i < 500 && QApplication::activeWindow() != form_->Widget(); ++i) Application->ProcessMessages();
    grid_->SetFocus();
    grid_->SetSelectedField(ds_->FieldByName("CITY_NAME"));
    grid_->ShowEditor();
    edit_ = grid_->DBInplaceEditor();
    ASSERT_NE(edit_, nullptr);
    ASSERT_EQ(edit_->EditKind(), ekLookupList);
    ASSERT_TRUE(edit_->Focused());
  }
  TPopupDataGridEh* Popup() const { return dynamic_cast<TPopupDataGridEh*>(edit_->DataList()); }
  void ExpectFocusInGrid() const {
    TControl* focus = FindControl(GetFocus());
    EXPECT_TRUE(focus == edit_ || focus == grid_) << "the popup never takes the focus";
    EXPECT_TRUE(edit_->Focused());
  }
  std::string ServerCity(int Pid) const {
    return file_->QueryValue("select CITY_ID from PERSON where PID = " + std::to_string(Pid));
  }
  String CellText() const { return grid_->GetEditText(grid_->Col(), grid_->Row()); }

  TpFIBDataSet* look_ = nullptr;
  TDBGridInplaceEdit* edit_ = nullptr;
};

TEST_F(LookupColumnFirebirdTest, EditButtonDropsThePopupTypingFindsTheRowEnterWritesTheKey) {
  EXPECT_EQ(edit_->Text(), "Город 00001");
  ASSERT_GT(edit_->ButtonControlCount(), 0);
  TEditButtonControlEh* b = edit_->ButtonControl(0);
  const QPoint bp(b->Width() / 2, b->Height() / 2);
  Press(b->Widget(), bp);
  Release(b->Widget(), bp);
  ASSERT_TRUE(edit_->ListVisible());
  TPopupDataGridEh* p = Popup();
  ASSERT_NE(p, nullptr) << "the column's drop-down grid comes from the factory";
  EXPECT_TRUE(p->Visible());
  ASSERT_NE(p->ListSource(), nullptr);
  EXPECT_EQ(p->ListSource()->DataSet(), look_);
  EXPECT_EQ(look_->FieldByName("CID")->AsInteger(), 1) << "the popup opens on the field's key";
  ExpectFocusInGrid();

  // A Cyrillic prefix, case-insensitive, finds the row in the popup.
  TypeChars(edit_, "щу");
  EXPECT_EQ(edit_->Text(), "Щукино");
  EXPECT_EQ(edit_->SelText(), "кино");
  EXPECT_EQ(look_->FieldByName("CID")->AsInteger(), 7777);
  EXPECT_TRUE(edit_->ListVisible());
  ExpectFocusInGrid();
  // Down in the open popup moves its row and the editor's text follows.
  SendKey(edit_, Qt::Key_Down);
  EXPECT_EQ(look_->FieldByName("CID")->AsInteger(), 7778);
  EXPECT_EQ(edit_->Text(), "Город 07778");
  SendKey(edit_, Qt::Key_Up);
  EXPECT_EQ(edit_->Text(), "Щукино");

  SendKey(edit_, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_FALSE(edit_->ListVisible());
  EXPECT_FALSE(p->Visible());
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_TRUE(src_->DataSet()->Modified() || grid_->DataLink()->Editing());
  EXPECT_EQ(grid_->LookupKeyValue().AsInteger(), 7777);
  EXPECT_EQ(grid_->EditText(), "Щукино");
  EXPECT_EQ(edit_->Text(), "Щукино");
  ExpectFocusInGrid();
  EXPECT_EQ(ServerCity(1), "1") << "nothing is written before Post";
  ds_->Post();
  EXPECT_EQ(ServerCity(1), "7777");
  EXPECT_EQ(ds_->FieldByName("CITY_NAME")->AsString(), "Щукино");
  EXPECT_EQ(CellText(), "Щукино");

  // A click on a popup row takes it: the popup closes through the editor.
  SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(edit_->ListVisible());
  const int y = p->RowAtY(2) >= 0 ? 2 : p->DefaultRowHeight() + 2;
  const int row = p->RowAtY(y + p->DefaultRowHeight());
  ASSERT_GE(row, 0);
  p->MouseDown(mbLeft, {ssLeft}, 10, y + p->DefaultRowHeight());
  p->MouseUp(mbLeft, {}, 10, y + p->DefaultRowHeight());
  EXPECT_FALSE(edit_->ListVisible());
  const int picked = look_->FieldByName("CID")->AsInteger();
  EXPECT_NE(picked, 7777);
  EXPECT_EQ(grid_->EditText(), look_->FieldByName("CNAME")->AsString());
  ExpectFocusInGrid();
  ds_->Post();
  EXPECT_EQ(ServerCity(1), std::to_string(picked));
}

TEST_F(LookupColumnFirebirdTest, AltDownAndAltUpDropThePopupEscapeLeavesTheFieldUnchanged) {
  struct {
    int key;
    Qt::KeyboardModifiers mods;
  } drops[] = {{Qt::Key_Down, Qt::AltModifier}, {Qt::Key_Up, Qt::AltModifier}};
  for (const auto& d : drops) {
    SCOPED_TRACE(d.key);
    SendKey(edit_, d.key, d.mods);
    ASSERT_TRUE(edit_->ListVisible());
    ASSERT_NE(Popup(), nullptr);
    EXPECT_TRUE(Popup()->Visible());
    ExpectFocusInGrid();
    // Browsing the popup shows its rows in the editor, not in the field.
    TypeChars(edit_, "щё");
    EXPECT_EQ(look_->FieldByName("CID")->AsInteger(), 8888);
    SendKey(edit_, Qt::Key_Down);
    EXPECT_EQ(look_->FieldByName("CID")->AsInteger(), 8889);
    SendKey(edit_, Qt::Key_Escape, Qt::NoModifier, "\x1b");
    EXPECT_FALSE(edit_->ListVisible());
    EXPECT_FALSE(Popup()->Visible());
    ExpectFocusInGrid();
    // Escape puts back the cell's typed-ahead choice, not the browsed row.
    EXPECT_EQ(grid_->LookupKeyValue().AsInteger(), 8888);
    EXPECT_EQ(grid_->EditText(), "Щёлково");
    EXPECT_EQ(edit_->Text(), "Щёлково");
    ds_->Cancel();
    EXPECT_EQ(ds_->FieldByName("CITY_ID")->AsInteger(), 1);
    EXPECT_EQ(CellText(), "Город 00001");
  }
  // Dropped and escaped without typing: nothing changes at all.
  SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(edit_->ListVisible());
  SendKey(edit_, Qt::Key_Down);
  SendKey(edit_, Qt::Key_Down);
  EXPECT_EQ(edit_->Text(), "Город 00003");
  SendKey(edit_, Qt::Key_Escape, Qt::NoModifier, "\x1b");
  EXPECT_FALSE(edit_->ListVisible());
  EXPECT_EQ(edit_->Text(), "Город 00001");
  EXPECT_EQ(ds_->FieldByName("CITY_ID")->AsInteger(), 1);
  EXPECT_NE(ds_->State(), dsEdit);
  ExpectFocusInGrid();
  // Alt+Down on the open popup accepts, like Enter; on the second record.
  ds_->Next();
  SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(edit_->ListVisible());
  SendKey(edit_, Qt::Key_Down);
  SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
  EXPECT_FALSE(edit_->ListVisible());
  EXPECT_EQ(grid_->EditText(), "Город 00003");
  ds_->Post();
  EXPECT_EQ(ds_->FieldByName("CITY_ID")->AsInteger(), 3);
  EXPECT_EQ(ServerCity(2), "3");
  EXPECT_EQ(ServerCity(1), "1");
}

// The popup is open when its list dataset closes or goes, or when the grid
// itself goes: nothing it holds is used after that.
TEST_F(LookupColumnFirebirdTest, OpenPopupOutlivesNothingItPointsTo) {
  enum Gone { kListClosed, kListFreed, kGridFreed };
  for (Gone gone : {kListClosed, kListFreed, kGridFreed}) {
    SCOPED_TRACE(gone);
    if (gone != kListClosed) {
      // A fresh form for each case: the last one frees part of it.
      delete form_;
      form_ = nullptr;
      SetUpGridLater();
    }
    SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(edit_->ListVisible());
    TPopupDataGridEh* p = Popup();
    ASSERT_NE(p, nullptr);
    switch (gone) {
      case kListClosed:
        look_->Close();
        Application->ProcessMessages();
        TypeChars(edit_, "щ");
        SendKey(edit_, Qt::Key_Escape, Qt::NoModifier, "\x1b");
        EXPECT_FALSE(edit_->ListVisible());
        EXPECT_EQ(ds_->FieldByName("CITY_ID")->AsInteger(), 1);
        look_->Open();
        SendKey(edit_, Qt::Key_Down, Qt::AltModifier);
        EXPECT_TRUE(edit_->ListVisible()) << "the popup drops again on the reopened list";
        SendKey(edit_, Qt::Key_Escape, Qt::NoModifier, "\x1b");
        break;
      case kListFreed:
        delete look_;
        look_ = nullptr;
        Application->ProcessMessages();
        EXPECT_TRUE(p->ListSource() == nullptr || p->ListSource()->DataSet() == nullptr);
        TypeChars(edit_, "щ");
        SendKey(edit_, Qt::Key_Escape, Qt::NoModifier, "\x1b");
        EXPECT_FALSE(edit_->ListVisible());
        EXPECT_EQ(ds_->FieldByName("CITY_ID")->AsInteger(), 1);
        break;
      case kGridFreed:
        delete grid_;
        grid_ = nullptr;
        edit_ = nullptr;
        Application->ProcessMessages();
        look_->Next();
        look_->Close();
        ds_->Next();
        Application->ProcessMessages();
        break;
    }
  }
}

}  // namespace
