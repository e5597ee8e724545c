// Grid columns and titles: assigned values and their defaults, widths,
// display texts, key and pick lists, check boxes, sort markers, the
// next-value gesture and the column streams.
#include <gtest/gtest.h>

#include "grid/datagrid/DBGridEh.h"
#include "platform/rtl/Streams.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class ColumnsTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
    grid_ = NewGrid();
  }
  TColumnEh* AddColumn(const char* FieldName) {
    TColumnEh* c = grid_->Columns()->Add();
    c->SetFieldName(FieldName);
    return c;
  }
  TCustomDBGridEh* grid_ = nullptr;
};

String ColumnsText(TDBGridColumnsEh* Columns) {
  TMemoryStream stream;
  Columns->SaveToStream(&stream);
  return String(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST_F(ColumnsTest, LookSettingsFollowTheGridAndTheFieldUntilWritten) {
  TColumnEh* c = AddColumn("NAME");
  grid_->Font()->SetName("Courier New");
  EXPECT_EQ(c->Font()->Name(), "Courier New");
  EXPECT_EQ(c->Title()->Font()->Name(), grid_->TitleFont()->Name());
  c->Font()->SetName("Arial");
  EXPECT_TRUE(c->AssignedValues() & TColumnEh::cvFont);
  grid_->Font()->SetName("Verdana");
  EXPECT_EQ(c->Font()->Name(), "Arial");

  EXPECT_EQ(c->Color(), grid_->Color());
  grid_->SetColor(clYellow);
  EXPECT_EQ(c->Color(), clYellow);
  c->SetColor(clRed);
  grid_->SetColor(clWindow);
  EXPECT_EQ(c->Color(), clRed);

  ds_->FieldByName("NAME")->SetDisplayLabel("Имя");
  EXPECT_EQ(c->Title()->Caption(), "Имя");
  c->Title()->SetCaption("Название");
  ds_->FieldByName("NAME")->SetDisplayLabel("Other");
  EXPECT_EQ(c->Title()->Caption(), "Название");

  // Field-bound defaults and RestoreDefaults.
  EXPECT_TRUE(c->WordWrap());                 // a string field
  EXPECT_FALSE(AddColumn("ID")->WordWrap());  // a number field
  EXPECT_TRUE(AddColumn("FLAG")->Checkboxes());
  c->SetReadOnly(true);
  c->RestoreDefaults();
  EXPECT_EQ(c->AssignedValues(), 0u);
  EXPECT_FALSE(c->ReadOnly());
  EXPECT_EQ(c->Title()->Caption(), "Other");
  grid_->SetReadOnly(true);
  EXPECT_TRUE(c->ReadOnly());
}

TEST_F(ColumnsTest, WidthsKeepTheirDefaultAndTheirLimits) {
  TColumnEh* c = AddColumn("NAME");
  c->SetWidth(c->DefaultWidth());
  EXPECT_FALSE(c->AssignedValues() & TColumnEh::cvWidth);
  EXPECT_FALSE(c->IsWidthStored());
  c->SetMaxWidth(50);
  c->SetWidth(80);
  EXPECT_EQ(c->Width(), 50);
  c->SetMaxWidth(0);
  c->SetMinWidth(30);
  c->SetWidth(10);
  EXPECT_EQ(c->Width(), 30);
  // A limit set later clips the width at once.
  c->SetMinWidth(0);
  c->SetWidth(90);
  c->SetMaxWidth(60);
  EXPECT_EQ(c->Width(), 60);
  // The base grid shows the column's width.
  EXPECT_EQ(grid_->ColWidths(grid_->IndicatorOffset() + c->Index()), 60);
  // Without a grid a column is 64 wide.
  TDBGridColumnsEh loose(nullptr, CollectionItemFactory<TDBGridColumnEh>);
  EXPECT_EQ(loose.Add()->Width(), 64);
}

TEST_F(ColumnsTest, CellKindsInTheirOrder) {
  TImageList images(nullptr);
  struct Case {
    const char* field;
    bool picks, keys, image, image_and_text;
    TColumnCellKindEh kind;
  } cases[] = {
      {"FLAG", true, true, true, false, cckCheckBoxes},  {"NAME", true, false, true, false, cckPickList},
      {"NAME", false, false, true, false, cckKeyImageList}, {"NAME", true, true, true, true, cckKeyPickList},
      {"NAME", true, true, false, false, cckKeyPickList}, {"NAME", false, true, false, false, cckPlain},
      {"ID", false, false, true, true, cckPlain},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.field << k.picks << k.keys << k.image << k.image_and_text);
    TColumnEh* c = AddColumn(k.field);
    if (k.picks) c->PickList()->Add("a");
    if (k.keys) c->KeyList()->Add("1");
    if (k.image) c->SetImageList(&images);
    c->SetShowImageAndText(k.image_and_text);
    EXPECT_EQ(c->GetColumnType(), k.kind);
    c->SetImageList(nullptr);
  }
}

TEST_F(ColumnsTest, KeyPickListShowsThePickOfTheKey) {
  TColumnEh* c = AddColumn("ID");
  c->KeyList()->SetText("1\n2");
  c->PickList()->SetText("one\ntwo");
  ds_->RecNo();
  struct Case {
    int id, not_in_list;
    const char* text;
  } cases[] = {{2, -1, "two"}, {3, 0, "one"}, {3, 1, "two"}, {3, -1, ""}, {3, 2, ""}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.id << "/" << k.not_in_list);
    ASSERT_TRUE(ds_->Locate("ID", Variant(k.id), TLocateOptions()));
    c->SetNotInKeyListIndex(k.not_in_list);
    EXPECT_EQ(c->GetDisplayText(), k.text);
  }
  // Display formats of numbers and nulls.
  TColumnEh* amount = AddColumn("AMOUNT");
  amount->SetDisplayFormat("0.000");
  ds_->First();
  EXPECT_EQ(amount->GetDisplayText(), "10.500");
  ds_->Last();
  EXPECT_EQ(amount->GetDisplayText(), "");
}

TEST_F(ColumnsTest, CheckBoxesOnAStringFieldReadAndWriteTheKeyListValues) {
  TColumnEh* c = AddColumn("CODE");
  c->SetCheckboxes(true);
  c->KeyList()->SetText("Y;y\nN;n");
  struct Case {
    const char* value;
    TCheckBoxState state;
  } cases[] = {{"y", cbChecked}, {"Y", cbChecked}, {"N", cbUnchecked}, {"n", cbUnchecked}, {"x", cbGrayed}};
  ds_->Edit();
  for (const Case& k : cases) {
    ds_->FieldByName("CODE")->SetAsString(k.value);
    EXPECT_EQ(c->GetCheckboxState(), k.state) << k.value;
  }
  c->SetCheckboxState(cbChecked);
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "Y");
  c->SetCheckboxState(cbUnchecked);
  EXPECT_EQ(ds_->FieldByName("CODE")->AsString(), "N");
  c->SetCheckboxState(cbGrayed);
  EXPECT_TRUE(ds_->FieldByName("CODE")->IsNull());
  ds_->Cancel();
  // A Boolean field.
  TColumnEh* flag = AddColumn("FLAG");
  ds_->First();
  EXPECT_EQ(flag->GetCheckboxState(), cbChecked);
  ds_->Last();
  EXPECT_EQ(flag->GetCheckboxState(), cbGrayed);
}

TEST_F(ColumnsTest, SortMarkersSingleAndMulti) {
  TColumnEh* a = AddColumn("ID");
  TColumnEh* b = AddColumn("NAME");
  TColumnEh* c = AddColumn("AMOUNT");
  a->Title()->SetSortMarker(smDownEh);
  b->Title()->SetSortMarker(smUpEh);
  EXPECT_EQ(a->Title()->SortMarker(), smNoneEh);
  EXPECT_EQ(b->Title()->SortIndex(), 1);
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 1);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(0), b);
  b->Title()->SetSortMarker(smNoneEh);
  EXPECT_EQ(grid_->SortMarkedColumns()->Count(), 0);

  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
  a->Title()->SetSortMarker(smDownEh);
  b->Title()->SetSortMarker(smDownEh);
  c->Title()->SetSortMarker(smUpEh);
  EXPECT_EQ(a->Title()->SortIndex(), 1);
  EXPECT_EQ(b->Title()->SortIndex(), 2);
  EXPECT_EQ(c->Title()->SortIndex(), 3);
  b->Title()->SetSortMarker(smNoneEh);
  EXPECT_EQ(b->Title()->SortIndex(), 0);
  EXPECT_EQ(c->Title()->SortIndex(), 2);
  ASSERT_EQ(grid_->SortMarkedColumns()->Count(), 2);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(1), c);
  // Exchanging places; a freed column leaves the list.
  c->Title()->SetSortIndex(1);
  EXPECT_EQ(a->Title()->SortIndex(), 2);
  EXPECT_EQ(grid_->SortMarkedColumns()->Items(0), c);
  delete c;
  EXPECT_EQ(grid_->SortMarkedColumns()->Count(), 1);
  // Toggling cycles down, up, none with Multi.
  b->Title()->ToggleSortMarker(true);
  EXPECT_EQ(b->Title()->SortMarker(), smDownEh);
  b->Title()->ToggleSortMarker(true);
  EXPECT_EQ(b->Title()->SortMarker(), smUpEh);
  b->Title()->ToggleSortMarker(true);
  EXPECT_EQ(b->Title()->SortMarker(), smNoneEh);
  a->Title()->ToggleSortMarker(false);  // up -> down without Multi
  EXPECT_EQ(a->Title()->SortMarker(), smUpEh);
  a->Title()->SetSortIndex(-5);
  EXPECT_GE(a->Title()->SortIndex(), 0);
}

TEST_F(ColumnsTest, NextValueStepsForwardOnAPositiveStep) {
  TColumnEh* amount = AddColumn("AMOUNT");
  amount->SetIncrement(2);
  ds_->First();
  amount->SetNextFieldValue(amount->Increment());  // Up
  EXPECT_DOUBLE_EQ(ds_->FieldByName("AMOUNT")->AsFloat(), 12.5);
  amount->SetNextFieldValue(-amount->Increment());  // Down
  amount->SetNextFieldValue(-amount->Increment());
  EXPECT_DOUBLE_EQ(ds_->FieldByName("AMOUNT")->AsFloat(), 8.5);
  ds_->Post();
  ds_->Last();  // null counts as 0
  amount->SetNextFieldValue(1.0);
  EXPECT_DOUBLE_EQ(ds_->FieldByName("AMOUNT")->AsFloat(), 1.0);
  ds_->Cancel();

  TColumnEh* name = AddColumn("NAME");
  name->PickList()->SetText("one\ntwo\nthree");
  ds_->First();
  name->SetNextFieldValue(1);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "two");
  name->SetNextFieldValue(-1);
  name->SetNextFieldValue(-1);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "three");  // wraps to the last
  ds_->FieldByName("NAME")->SetAsString("none");
  name->SetNextFieldValue(1);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "one");

  TColumnEh* flag = AddColumn("FLAG");
  flag->SetNextFieldValue(1);
  EXPECT_FALSE(ds_->FieldByName("FLAG")->AsBoolean());
  ds_->Cancel();

  // Nothing changes a read-only column, grid or dataset.
  amount->SetReadOnly(true);
  amount->SetNextFieldValue(1);
  EXPECT_EQ(ds_->State(), dsBrowse);
  amount->SetReadOnly(false);
  ds_->SetReadOnly(true);
  amount->SetNextFieldValue(1);
  EXPECT_EQ(ds_->State(), dsBrowse);
}

TEST_F(ColumnsTest, StreamsRoundTripTheAssignedValuesOnly) {
  TColumnEh* a = AddColumn("NAME");
  a->SetWidth(77);
  a->SetColor(clYellow);
  a->Title()->SetCaption("Имя");
  a->Title()->Font()->SetName("Arial");
  a->PickList()->SetText("x\ny");
  a->SetIncrement(2.5);
  a->Footer()->SetValueType(fvtStaticText);
  a->Footer()->SetValue("Итого");
  a->Footers()->Add()->SetValueType(fvtCount);
  TColumnEh* b = AddColumn("ID");
  b->SetVisible(false);
  b->SetAlignment(taCenter);

  TMemoryStream stream;
  grid_->Columns()->SaveToStream(&stream);
  stream.SetPosition(0);
  String text(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  EXPECT_EQ(text.find("WordWrap"), String::npos) << text;  // never written
  EXPECT_NE(text.find("Footers"), String::npos) << text;

  TCustomDBGridEh* other = NewGrid();
  other->Columns()->LoadFromStream(&stream);
  ASSERT_EQ(other->Columns()->Count(), 2);
  TColumnEh* a2 = other->Columns()->Items(0);
  TColumnEh* b2 = other->Columns()->Items(1);
  EXPECT_EQ(a2->FieldName(), "NAME");
  EXPECT_EQ(a2->Field(), ds_->FieldByName("NAME"));
  EXPECT_EQ(a2->Width(), 77);
  EXPECT_EQ(a2->Color(), clYellow);
  EXPECT_EQ(a2->Title()->Caption(), "Имя");
  EXPECT_EQ(a2->Title()->Font()->Name(), "Arial");
  EXPECT_EQ(a2->PickList()->Count(), 2);
  EXPECT_DOUBLE_EQ(a2->Increment(), 2.5);
  EXPECT_EQ(a2->Footer()->Value(), "Итого");
  ASSERT_EQ(a2->Footers()->Count(), 1);
  EXPECT_EQ(a2->Footers()->Items(0)->ValueType(), fvtCount);
  EXPECT_FALSE(b2->Visible());
  EXPECT_EQ(b2->Alignment(), taCenter);
  EXPECT_EQ(a2->AssignedValues(), a->AssignedValues());
  EXPECT_EQ(b2->AssignedValues(), b->AssignedValues());
  EXPECT_FALSE(a2->AssignedValues() & TColumnEh::cvFont);
  EXPECT_EQ(ColumnsText(other->Columns()), ColumnsText(grid_->Columns()));
  EXPECT_TRUE(other->Columns()->Equals(grid_->Columns()));
  a2->SetTag(5);
  EXPECT_FALSE(other->Columns()->Equals(grid_->Columns()));
}

}  // namespace
