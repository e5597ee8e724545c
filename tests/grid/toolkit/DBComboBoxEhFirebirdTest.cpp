// The combo box with keys on a CHAR(1) column: a row holding a key shows its
// item, and the key of the chosen item is posted, as another attachment
// reads it back.
#include <QApplication>

#include "tests/grid/toolkit/FIBFormFixture.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/QtInput.h"

namespace {

class DBComboBoxEhFirebirdTest : public TFIBFormTest<DBComboBoxEhFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table COMBO_T (ID integer not null primary key, COLOUR varchar(1))",
            "insert into COMBO_T values (1, 'G')", "insert into COMBO_T values (2, 'R')"};
  }

 protected:
  void SetUp() override {
    OpenForm("select ID, COLOUR from COMBO_T order by ID", "update COMBO_T set COLOUR = ?COLOUR where ID = ?OLD_ID");
    combo_ = new TDBComboBoxEh(form_.get());
    combo_->SetParent(form_.get());
    combo_->SetWidth(200);
    combo_->Items()->SetText("Red\nGreen\nBlue");
    combo_->KeyItems()->SetText("R\nG\nB");
    other_ = new TDBEditEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(50);
  }

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

  ShowAndFocus(form_.get(), combo_);
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
