// The data-aware check box: field texts through the value lists, Boolean
// fields, its own value, the toggle cycle, one toggle per click or Space,
// painting and lifetimes.
#include <QApplication>
#include <QKeyEvent>

#include "tests/grid/toolkit/DBCtrlsFixture.h"
#include "tests/support/QtInput.h"

namespace {

class DBCheckBoxEhTest : public DBCtrlsTest {
 protected:
  void SetUp() override {
    DBCtrlsTest::SetUp();
    ds_->FieldDefs()->Add("FLAG", ftString, 5);
    ds_->FieldDefs()->Add("OK", ftBoolean);
    ds_->Open();
    ds_->AppendRows({{"yes", true}, {"maybe", false}, {Null(), Null()}, {"n", true}});
    ds_->First();
    box_ = new TDBCheckBoxEh(form_.get());
    box_->SetParent(form_.get());
    box_->SetCaption("&Flag");
    box_->SetBounds(10, 10, 120, 20);
    other_ = new TDBCheckBoxEh(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(60);
  }
  void Bind(const String& Field) {
    box_->SetValueChecked("Y;Yes");
    box_->SetValueUnchecked("N;No");
    box_->SetDataSource(src_);
    box_->SetDataField(Field);
  }
  TDBCheckBoxEh* box_ = nullptr;
  TDBCheckBoxEh* other_ = nullptr;
};

TEST_F(DBCheckBoxEhTest, FieldTextsMapThroughTheListsAndTheFirstEntryIsWritten) {
  Bind("FLAG");
  const TCheckBoxState rows[] = {cbChecked, cbGrayed, cbGrayed, cbUnchecked};  // yes, maybe, NULL, n
  for (TCheckBoxState expected : rows) {
    EXPECT_EQ(box_->State(), expected) << ds_->RecNo();
    ds_->Next();
  }
  ds_->First();
  box_->SetChecked(false);
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(ds_->FieldByName("FLAG")->AsString(), "N");
  box_->SetChecked(true);
  EXPECT_EQ(ds_->FieldByName("FLAG")->AsString(), "Y");
  box_->SetState(cbGrayed);
  EXPECT_TRUE(ds_->FieldByName("FLAG")->IsNull());
  ds_->Post();
  EXPECT_TRUE(ds_->RowValue(0, 0).VarType() == varNull);
  // New lists read the field again.
  ds_->Next();
  box_->SetValueChecked("maybe");
  EXPECT_EQ(box_->State(), cbChecked);
}

TEST_F(DBCheckBoxEhTest, BooleanFieldsReadAndWriteTheirValue) {
  Bind("OK");
  EXPECT_EQ(box_->State(), cbChecked);
  ds_->Next();
  EXPECT_EQ(box_->State(), cbUnchecked);
  ds_->Next();
  EXPECT_EQ(box_->State(), cbGrayed);
  box_->SetChecked(true);
  EXPECT_TRUE(ds_->FieldByName("OK")->AsBoolean());
}

TEST_F(DBCheckBoxEhTest, ClicksCycleTheStatesAndGrayedOnlyWhenAllowed) {
  struct Case {
    bool allowGrayed;
    TCheckBoxState from, to;
  };
  const Case cases[] = {{false, cbUnchecked, cbChecked}, {false, cbChecked, cbUnchecked},
                        {false, cbGrayed, cbChecked},    {true, cbUnchecked, cbGrayed},
                        {true, cbGrayed, cbChecked},     {true, cbChecked, cbUnchecked}};
  for (const Case& c : cases) {
    box_->SetAllowGrayed(c.allowGrayed);
    box_->SetState(c.from);
    box_->Click();
    EXPECT_EQ(box_->State(), c.to) << c.allowGrayed << " " << c.from;
  }
  // A read-only link refuses.
  box_->SetReadOnly(true);
  box_->DataLink()->UpdateData();  // ends the link's own editing
  const TCheckBoxState before = box_->State();
  box_->Click();
  EXPECT_EQ(box_->State(), before);
}

TEST_F(DBCheckBoxEhTest, OwnValueStartsFalseAndGrayedStoresNull) {
  EXPECT_TRUE(box_->DataIndependent());
  EXPECT_EQ(box_->State(), cbUnchecked);
  EXPECT_EQ(box_->DataLink()->Value().VarType(), varBoolean);
  EXPECT_FALSE(box_->DataLink()->Value().AsBoolean());
  EXPECT_FALSE(box_->IsStateStored());
  box_->SetState(cbGrayed);
  EXPECT_TRUE(VarIsNull(box_->DataLink()->Value()));
  EXPECT_TRUE(box_->IsStateStored());
  box_->SetChecked(true);
  EXPECT_TRUE(box_->DataLink()->Value().AsBoolean());
  // A field name without a data source: the state only, no dataset.
  box_->SetDataField("FLAG");
  EXPECT_FALSE(box_->DataIndependent());
  box_->SetState(cbChecked);
  EXPECT_EQ(box_->State(), cbChecked);
  EXPECT_EQ(ds_->State(), dsBrowse);
}

TEST_F(DBCheckBoxEhTest, OneClickOneSpaceOneNotificationEachToggleOnce) {
  int clicks = 0;
  box_->SetOnClick([&](TObject*) { ++clicks; });
  ShowAndFocus(box_);
  const QPoint p(5, box_->Height() / 2);
  Press(box_->Widget(), p);
  Release(box_->Widget(), p);
  EXPECT_EQ(box_->State(), cbChecked);
  EXPECT_EQ(clicks, 1);
  SendKeyEvent(box_->Widget(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  EXPECT_EQ(box_->State(), cbChecked);  // the press only shows it pressed
  SendKeyEvent(box_->Widget(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
  EXPECT_EQ(box_->State(), cbUnchecked);
  EXPECT_EQ(clicks, 2);
  box_->Perform(CN_COMMAND, static_cast<WPARAM>(BN_CLICKED) << 16, 0);
  EXPECT_EQ(box_->State(), cbChecked);
  EXPECT_EQ(clicks, 3);
  // The caption's accelerator.
  EXPECT_EQ(box_->Perform(CM_DIALOGCHAR, 'f'), 1);
  EXPECT_EQ(box_->State(), cbUnchecked);
  EXPECT_EQ(box_->Perform(CM_DIALOGCHAR, 'x'), 0);
}

TEST_F(DBCheckBoxEhTest, EscapeRestoresTheFieldAndLeavingWritesIt) {
  Bind("FLAG");
  ShowAndFocus(box_);
  box_->Click();
  EXPECT_EQ(box_->State(), cbUnchecked);
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(box_->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 1);
  WideChar esc = 27;
  box_->KeyPress(esc);
  EXPECT_EQ(box_->State(), cbChecked);
  box_->Click();
  other_->SetFocus();
  EXPECT_EQ(ds_->FieldByName("FLAG")->AsString(), "N");
}

TEST_F(DBCheckBoxEhTest, StateShowsInThePaintedBox) {
  form_->Show();
  const TRect box = AdjustCheckBoxRect(box_->ClientRect(), taLeftJustify, tlCenter);
  TPaper unchecked(box_->Width(), box_->Height()), checked(box_->Width(), box_->Height());
  box_->PaintTo(unchecked.Canvas(), 0, 0);
  box_->SetChecked(true);
  box_->PaintTo(checked.Canvas(), 0, 0);
  int changed = 0, outside = 0;
  for (int y = 0; y < box_->Height(); ++y)
    for (int x = 0; x < box_->Width(); ++x) {
      if (unchecked.At(x, y) == checked.At(x, y)) continue;
      if (box.Contains(TPoint{x, y})) ++changed;
      else ++outside;
    }
  EXPECT_GT(changed, 5);  // the check mark
  EXPECT_EQ(outside, 0);  // the caption stays
}

TEST_F(DBCheckBoxEhTest, FreedDataSourceAndFreedBoxLeaveNothingBehind) {
  Bind("FLAG");
  delete src_;
  EXPECT_EQ(box_->DataSource(), nullptr);
  box_->SetChecked(true);
  auto* src = new TDataSource(form_.get());
  src->SetDataSet(ds_);
  box_->SetDataSource(src);
  delete box_;
  box_ = nullptr;
  ds_->Next();
  EXPECT_EQ(ds_->FieldByName("FLAG")->AsString(), "maybe");
}

}  // namespace
