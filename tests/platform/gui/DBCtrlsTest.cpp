// The field data link against an in-memory dataset: field lookup, editing,
// the modified mark around posting, record changes, focus requests and
// datasets closed while their controls are disabled.
#include <gtest/gtest.h>

#include <memory>

#include "platform/gui/DBCtrls.h"
#include "platform/gui/Controls.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/MemDataSet.h"

namespace {

// A windowed control that records focus requests without a window.
class TFocusProbe : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool Focusable = true;
  int FocusCalls = 0;
  bool CanFocus() const override { return Focusable; }
  void SetFocus() override { ++FocusCalls; }
};

class FieldDataLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ds_ = std::make_unique<TMemDataSet>(nullptr);
    ds_->SetName("Mem");
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("NAME", ftString, 20);
    ds_->Open();
    ds_->AppendRows({{1, "one"}, {2, "two"}});
    ds_->First();
    src_ = std::make_unique<TDataSource>(nullptr);
    src_->SetDataSet(ds_.get());
    control_ = std::make_unique<TFocusProbe>(nullptr);
    control_->SetName("Edit1");
    link_.SetControl(control_.get());
    link_.SetOnDataChange({this, [this](TObject*) { log_.push_back("data"); }});
    link_.SetOnEditingChange({this, [this](TObject*) { log_.push_back(link_.Editing() ? "editing" : "browsing"); }});
    link_.SetOnActiveChange({this, [this](TObject*) { log_.push_back(link_.Active() ? "active" : "inactive"); }});
    link_.SetOnUpdateData({this, [this](TObject*) {
                             log_.push_back("update");
                             link_.Field()->SetAsString(value_);
                           }});
  }
  void TearDown() override {
    link_.SetDataSource(nullptr);
    src_.reset();
    ds_.reset();
  }
  std::vector<String> TakeLog() { return std::exchange(log_, {}); }

  std::unique_ptr<TMemDataSet> ds_;
  std::unique_ptr<TDataSource> src_;
  std::unique_ptr<TFocusProbe> control_;
  TFieldDataLink link_;
  std::vector<String> log_;
  String value_ = "typed";
};

TEST_F(FieldDataLink, FindsItsFieldWhileActive) {
  link_.SetFieldName("NAME");
  EXPECT_EQ(link_.Field(), nullptr);
  link_.SetDataSource(src_.get());
  EXPECT_EQ(link_.Field(), ds_->FieldByName("NAME"));
  EXPECT_EQ(TakeLog(), (std::vector<String>{"data", "active"}));
  EXPECT_TRUE(link_.CanModify());
  EXPECT_FALSE(link_.Editing());

  link_.SetFieldName("ID");
  EXPECT_EQ(link_.Field(), ds_->FieldByName("ID"));
  EXPECT_EQ(TakeLog(), (std::vector<String>{"data"}));

  ds_->Close();
  EXPECT_EQ(link_.Field(), nullptr);
  EXPECT_EQ(TakeLog(), (std::vector<String>{"data", "inactive"}));
  ds_->Open();
  EXPECT_EQ(link_.Field(), ds_->FieldByName("ID"));

  // A dataset closed and reopened while its controls are disabled: the
  // link lets go of the freed fields and finds the new ones.
  ds_->DisableControls();
  ds_->Close();
  EXPECT_EQ(link_.Field(), nullptr);
  ds_->Open();
  EXPECT_EQ(link_.Field(), ds_->FieldByName("ID"));
  ds_->EnableControls();
  EXPECT_EQ(link_.Field(), ds_->FieldByName("ID"));
}

TEST_F(FieldDataLink, MissingFieldNamesTheControl) {
  link_.SetDataSource(src_.get());
  try {
    link_.SetFieldName("NOPE");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Edit1: Field 'NOPE' not found");
  }
  EXPECT_EQ(GetFieldProperty(ds_.get(), control_.get(), "name"), ds_->FieldByName("NAME"));
  EXPECT_THROW(GetFieldProperty(ds_.get(), nullptr, "X"), EDatabaseError);

  TFieldDataLink plain;  // without a control the dataset's own lookup decides
  plain.SetDataSource(src_.get());
  EXPECT_THROW(plain.SetFieldName("NOPE"), EDatabaseError);
  plain.SetFieldName("");
  EXPECT_EQ(plain.Field(), nullptr);
}

TEST_F(FieldDataLink, EditFollowsTheFieldAndTheDataSource) {
  link_.SetFieldName("NAME");
  link_.SetDataSource(src_.get());
  TakeLog();
  EXPECT_TRUE(link_.Edit());
  EXPECT_EQ(ds_->State(), dsEdit);
  EXPECT_EQ(TakeLog(), (std::vector<String>{"editing", "data"}));
  ds_->Cancel();
  EXPECT_FALSE(link_.Editing());

  link_.SetReadOnly(true);
  EXPECT_FALSE(link_.CanModify());
  EXPECT_FALSE(link_.Edit());
  EXPECT_EQ(ds_->State(), dsBrowse);
  link_.SetReadOnly(false);

  ds_->FieldByName("NAME")->SetReadOnly(true);
  EXPECT_FALSE(link_.Edit());
  EXPECT_EQ(ds_->State(), dsBrowse);
  ds_->Edit();  // the dataset edits, the read-only field does not
  EXPECT_FALSE(link_.Editing());
  ds_->Cancel();
  ds_->FieldByName("NAME")->SetReadOnly(false);

  src_->SetAutoEdit(false);
  EXPECT_FALSE(link_.Edit());
  EXPECT_EQ(ds_->State(), dsBrowse);
}

TEST_F(FieldDataLink, ModifiedValueIsWrittenOnceBeforePosting) {
  link_.SetFieldName("NAME");
  link_.SetDataSource(src_.get());
  link_.Edit();
  TakeLog();
  // Unmodified: posting asks nothing.
  ds_->Post();
  EXPECT_EQ(TakeLog(), (std::vector<String>{"browsing", "data"}));

  link_.Edit();
  link_.Modified();
  ds_->Post();
  EXPECT_EQ(TakeLog(), (std::vector<String>{"editing", "data", "update", "browsing", "data"}));
  EXPECT_EQ(ds_->RowValue(0, 1), Variant("typed"));

  // Reset shows the field again and forgets the mark.
  link_.Edit();
  link_.Modified();
  link_.Reset();
  ds_->Post();
  EXPECT_EQ(TakeLog(), (std::vector<String>{"editing", "data", "data", "browsing", "data"}));

  // A failing write keeps the mark: the next post tries again.
  link_.Edit();
  link_.Modified();
  link_.SetOnUpdateData({this, [](TObject*) { throw EDatabaseError("rejected"); }});
  EXPECT_THROW(ds_->Post(), EDatabaseError);
  link_.SetOnUpdateData({this, [this](TObject*) { link_.Field()->SetAsString("again"); }});
  ds_->Post();
  EXPECT_EQ(ds_->RowValue(0, 1), Variant("again"));
}

TEST_F(FieldDataLink, DataChangesOfOtherFieldsAreIgnored) {
  link_.SetFieldName("NAME");
  link_.SetDataSource(src_.get());
  ds_->Edit();
  TakeLog();
  ds_->FieldByName("ID")->SetAsInteger(7);
  EXPECT_TRUE(TakeLog().empty());
  link_.Modified();
  ds_->FieldByName("NAME")->SetAsString("x");  // its own field: shown again, mark dropped
  EXPECT_EQ(TakeLog(), (std::vector<String>{"data"}));
  ds_->Post();
  EXPECT_EQ(TakeLog(), (std::vector<String>{"browsing", "data"}));
  ds_->Next();
  EXPECT_EQ(TakeLog(), (std::vector<String>{"data"}));
}

TEST_F(FieldDataLink, FocusRequestForItsFieldFocusesTheControl) {
  link_.SetFieldName("NAME");
  link_.SetDataSource(src_.get());
  ds_->FieldByName("ID")->FocusControl();
  EXPECT_EQ(control_->FocusCalls, 0);
  ds_->FieldByName("NAME")->FocusControl();
  EXPECT_EQ(control_->FocusCalls, 1);

  // The request is consumed: a second control on the field hears nothing.
  TFocusProbe other(nullptr);
  TFieldDataLink second;
  second.SetControl(&other);
  second.SetFieldName("NAME");
  second.SetDataSource(src_.get());  // added last: hears the request first
  ds_->FieldByName("NAME")->FocusControl();
  EXPECT_EQ(other.FocusCalls, 1);
  EXPECT_EQ(control_->FocusCalls, 1);
  other.Focusable = false;
  ds_->FieldByName("NAME")->FocusControl();
  EXPECT_EQ(control_->FocusCalls, 2);
  second.SetDataSource(nullptr);
}

}  // namespace
