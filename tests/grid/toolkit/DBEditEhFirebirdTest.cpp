// The data-aware edit box on a VARCHAR(20) column of a UTF8 database:
// typed Cyrillic text is limited by characters and posted whole, as another
// attachment reads it back.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "tests/grid/toolkit/FIBFormFixture.h"
#include "tests/grid/toolkit/ToolkitFixture.h"

namespace {

class DBEditEhFirebirdTest : public TFIBFormTest<DBEditEhFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table EDIT_T (ID integer not null primary key, NAME varchar(20))",
            "insert into EDIT_T values (1, 'first')"};
  }

 protected:
  void SetUp() override {
    OpenForm("select ID, NAME from EDIT_T where ID = 1", "update EDIT_T set NAME = ?NAME where ID = ?OLD_ID");
    edit_ = new TDBEditEh(form_.get());
    edit_->SetParent(form_.get());
    edit_->SetWidth(250);
    other_ = new TDBEditEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(50);
  }

  TDBEditEh* edit_ = nullptr;
  TDBEditEh* other_ = nullptr;
};

TEST_F(DBEditEhFirebirdTest, TwentyCyrillicLettersFitAVarchar20AndArePosted) {
  ds_->Open();
  edit_->SetDataSourceProp(src_);
  edit_->SetDataFieldProp("NAME");
  ASSERT_EQ(edit_->Field()->DataType(), ftWideString);
  EXPECT_EQ(edit_->MaxLength(), 20);
  EXPECT_EQ(edit_->Text(), "first");

  ShowAndFocus(form_.get(), edit_);
  edit_->SelectAll();
  const QString letters = QString::fromUtf8("АБВГДЕЖЗИЙКЛМНОПРСТУФ");  // 21 letters
  // Each on the key of a Latin letter, as a Cyrillic layout gives it.
  for (int i = 0; i < letters.size(); ++i) {
    KeyStroke(edit_, Qt::Key_A + i % 26, Qt::NoModifier, QString(letters[i]));
  }
  const String expected = "АБВГДЕЖЗИЙКЛМНОПРСТУ";  // the 21st does not fit
  EXPECT_EQ(edit_->Text(), expected);
  EXPECT_EQ(ds_->State(), dsEdit);
  other_->SetFocus();  // leaving writes the field
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), expected);
  ds_->Post();
  EXPECT_EQ(file_->QueryValue("select NAME from EDIT_T where ID = 1"), expected);
  EXPECT_EQ(file_->QueryValue("select char_length(NAME) from EDIT_T where ID = 1"), "20");
}

}  // namespace
