// Footers: their sum items in the grid's sum list and the values they show,
// their defaults, the column default values, and the sum list of a grid in
// a designer.
#include <gtest/gtest.h>

#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class FootersTest : public GridTestBase {
 protected:
  void SetUp() override {
    GridTestBase::SetUp();
    OpenRows();
  }
  TDBSumCollection* Sums(TCustomDBGridEh* G) { return G->SumList()->SumCollection(); }
};

TEST_F(FootersTest, AFootersSumItemFollowsItsValueType) {
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* c = g->Columns()->Add();
  c->SetFieldName("AMOUNT");
  TColumnFooterEh* f = c->Footer();
  f->SetValueType(fvtSum);
  ASSERT_EQ(Sums(g)->Count(), 1);
  EXPECT_EQ(f->SumItem()->GroupOperation(), goSum);
  EXPECT_EQ(f->SumItem()->FieldName(), "AMOUNT");  // the column's own field
  EXPECT_TRUE(g->SumList()->Active());
  EXPECT_EQ(f->SumItem()->SumValue().ToDouble(), 30.75);
  EXPECT_EQ(g->GetFooterValue(0, c), "30.75");
  f->SetFieldName("ID");
  EXPECT_EQ(f->SumItem()->FieldName(), "ID");
  EXPECT_EQ(f->SumItem()->SumValue().ToDouble(), 6);
  f->SetValueType(fvtAvg);
  EXPECT_EQ(f->SumItem()->GroupOperation(), goAvg);
  EXPECT_EQ(f->SumItem()->SumValue().ToDouble(), 2);
  f->SetValueType(fvtStaticText);
  EXPECT_EQ(f->SumItem(), nullptr);
  EXPECT_EQ(Sums(g)->Count(), 0);
  f->SetValue("Итого");
  EXPECT_EQ(g->GetFooterValue(0, c), "Итого");
  f->SetValueType(fvtSum);
  EXPECT_EQ(Sums(g)->Count(), 1);
  // Count ignores the field name.
  TColumnFooterEh* counted = c->Footers()->Add();
  counted->SetFieldName("AMOUNT");
  counted->SetValueType(fvtCount);
  EXPECT_EQ(counted->SumItem()->GroupOperation(), goCount);
  EXPECT_EQ(counted->SumItem()->FieldName(), "");
  EXPECT_EQ(counted->SumItem()->SumValue().ToDouble(), 3);
  EXPECT_EQ(g->GetFooterValue(0, c), "3");  // Footers[0] serves footer row 0
  EXPECT_EQ(c->UsedFooter(1), f);
  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(4);
  ds_->Post();
  EXPECT_EQ(counted->SumItem()->SumValue().ToDouble(), 4);
  // Freeing a footer, then its column, frees their sum items.
  delete counted;
  EXPECT_EQ(Sums(g)->Count(), 1);
  delete c;
  EXPECT_EQ(Sums(g)->Count(), 0);
}

TEST_F(FootersTest, FootersFollowTheGridUntilWritten) {
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* c = g->Columns()->Add();
  c->SetFieldName("ID");
  TColumnFooterEh* f = c->Footer();
  EXPECT_EQ(f->Color(), clWindow);
  g->SetFooterColor(clYellow);
  EXPECT_EQ(f->Color(), clYellow);
  f->SetColor(clRed);
  EXPECT_TRUE(f->IsColorStored());
  g->SetFooterColor(clAqua);
  EXPECT_EQ(f->Color(), clRed);
  f->RestoreDefaults();
  EXPECT_EQ(f->Color(), clAqua);
  EXPECT_EQ(f->Alignment(), taRightJustify);  // the integer field's
  g->FooterFont()->SetName("Courier New");
  EXPECT_EQ(f->Font()->Name(), "Courier New");
  EXPECT_FALSE(f->ToolTips());
  g->ColumnDefValues()->Footer()->SetToolTips(true);
  EXPECT_TRUE(f->ToolTips());
  // Without a grid.
  TDBGridColumnsEh loose(nullptr, CollectionItemFactory<TDBGridColumnEh>);
  TColumnFooterEh* lf = loose.Add()->Footer();
  EXPECT_EQ(lf->Color(), clWindow);
  lf->SetValueType(fvtSum);
  EXPECT_EQ(lf->SumItem(), nullptr);
}

TEST_F(FootersTest, TitleDefaultValuesLayOutTheGrid) {
  TCustomDBGridEh* g = NewGrid();
  TColumnEh* a = g->Columns()->Add();
  TColumnEh* b = g->Columns()->Add();
  b->Title()->SetAlignment(taLeftJustify);
  EXPECT_EQ(a->Title()->Alignment(), taLeftJustify);
  g->SetUseMultiTitle(true);
  EXPECT_EQ(a->Title()->Alignment(), taCenter);
  const int layouts = g->LayoutCount();
  g->ColumnDefValues()->Title()->SetAlignment(taRightJustify);
  EXPECT_EQ(g->LayoutCount(), layouts + 1);
  EXPECT_EQ(a->Title()->Alignment(), taRightJustify);
  EXPECT_EQ(b->Title()->Alignment(), taLeftJustify);
  EXPECT_EQ(a->Title()->Color(), g->FixedColor());
  g->ColumnDefValues()->SetDblClickNextVal(true);
  EXPECT_TRUE(a->DblClickNextVal());
  a->SetDblClickNextVal(false);
  EXPECT_FALSE(a->DblClickNextVal());
  // Copying default values.
  TCustomDBGridEh* other = NewGrid(false);
  other->ColumnDefValues()->Assign(g->ColumnDefValues());
  EXPECT_EQ(other->ColumnDefValues()->Title()->Alignment(), taRightJustify);
  EXPECT_TRUE(other->ColumnDefValues()->DblClickNextVal());
}

TEST_F(FootersTest, ADesignedGridLeavesTheDatasetsEventsAlone) {
  for (bool designing : {false, true}) {
    SCOPED_TRACE(designing);
    auto* g = new TCustomDBGridEh(form_);
    g->SetDesigning(designing);
    g->SetDataSource(src_);
    TColumnEh* c = g->Columns()->Add();
    c->SetFieldName("AMOUNT");
    c->Footer()->SetValueType(fvtSum);
    EXPECT_EQ(static_cast<bool>(ds_->AfterPost()), !designing);
    EXPECT_EQ(static_cast<bool>(ds_->AfterOpen()), !designing);
    // The designer's footers are recalculated with the data.
    g->SetParent(form_);
    g->Handle();
    ds_->Edit();
    ds_->FieldByName("AMOUNT")->SetAsFloat(1);
    ds_->Post();
    if (designing) g->DataChanged();
    EXPECT_EQ(c->Footer()->SumItem()->SumValue().ToDouble(), 21.25);
    ds_->Edit();
    ds_->FieldByName("AMOUNT")->SetAsFloat(10.5);
    ds_->Post();
    delete g;
    EXPECT_FALSE(ds_->AfterPost());
  }
}

}  // namespace
