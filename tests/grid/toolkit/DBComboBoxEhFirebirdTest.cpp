// The combo box with keys on a CHAR(1) column: a row holding a key shows its
// item, and the key of the chosen item is posted, as another attachment
// reads it back.
#include <QApplication>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "tests/support/QtInput.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

class DBComboBoxEhFirebirdTest : public fbtest::TFIBSuiteTest<DBComboBoxEhFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table COMBO_T (ID integer not null primary key, COLOUR varchar(1))",
            "insert into COMBO_T values (1, 'G')", "insert into COMBO_T values (2, 'R')"};
  }

 protected:
  static void SetUpTestSuite() {
    TFIBSuiteTest::SetUpTestSuite();
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_pFIBDataSet, &unit_DBCtrlsEh});
    Application->Initialize();
  }
  void SetUp() override {
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 120);
    db_ = fbtest::NewFIBDatabase(form_.get(), file_->Path());
    auto* tr = new TFIBTransaction(form_.get());
    tr->SetDefaultDatabase(db_);
    db_->SetDefaultTransaction(tr);
    db_->Connect();
    ds_ = new TpFIBDataSet(form_.get());
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText("select ID, COLOUR from COMBO_T order by ID");
    ds_->UpdateSQL()->SetText("update COMBO_T set COLOUR = ?COLOUR where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
    src_ = new TDataSource(form_.get());
    src_->SetDataSet(ds_);
    combo_ = new TDBComboBoxEh(form_.get());
    combo_->SetParent(form_.get());
    combo_->SetWidth(200);
    combo_->Items()->SetText("Red\nGreen\nBlue");
    combo_->KeyItems()->SetText("R\nG\nB");
    other_ = new TDBEditEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(50);
  }
  void TearDown() override {
    if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    form_.reset();
  }

  std::unique_ptr<TForm> form_;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
  TDBComboBoxEh* combo_ = nullptr;
  TDBEditEh* other_ = nullptr;
};

TEST_F(DBComboBoxEhFirebirdTest, ShowsTheItemOfTheStoredKeyAndPostsTheChosenKey) {
  ds_->Open();
  combo_->SetDataSourceProp(src_);
  combo_->SetDataFieldProp("COLOUR");
  EXPECT_EQ(combo_->Text(), "Green");
  ds_->Next();
  EXPECT_EQ(combo_->Text(), "Red");

  form_->Show();
  form_->Widget()->activateWindow();
  for (int i = 0; i < 500 && QApplication::activeWindow() != form_->Widget(); ++i) Application->ProcessMessages();
  combo_->SetFocus();
  ASSERT_TRUE(combo_->Focused());
  // Chosen from the drop-down list: Down to Green, Enter.
  combo_->DropDown();
  SendKey(combo_->Widget(), Qt::Key_Down);
  SendKey(combo_->Widget(), Qt::Key_Return, {}, QString(QChar(13)));
  EXPECT_EQ(combo_->Text(), "Green");
  EXPECT_EQ(ds_->State(), dsEdit);
  other_->SetFocus();
  ds_->Post();
  EXPECT_EQ(file_->QueryValue("select COLOUR from COMBO_T where ID = 2"), "G");
  // Typed: "b" chooses Blue.
  combo_->SetFocus();
  SendKey(combo_->Widget(), Qt::Key_B, {}, "b");
  EXPECT_EQ(combo_->Text(), "Blue");
  other_->SetFocus();
  ds_->Post();
  EXPECT_EQ(file_->QueryValue("select COLOUR from COMBO_T where ID = 2"), "B");
}

}  // namespace
