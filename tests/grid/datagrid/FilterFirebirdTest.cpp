// The filter row and sorting on a Firebird dataset. A host handler (the
// test's own) turns the columns' parsed filters into a local filter and the
// sort markers into a local sort; the rows the grid then shows are checked
// against the server's WHERE and ORDER BY.
#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/TypInfo.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"

namespace {

// Local filter and sort of a dataset from a grid's column filters and
// sort markers.
class TLocalFeatures : public TDatasetFeaturesEh {
 public:
  int filters = 0, sorts = 0;

  void ApplyFilter(TCustomDBGridEh* Grid, TDataSet* DataSet, bool) override {
    ++filters;
    conds_.clear();
    for (int i = 0; i < Grid->Columns()->Count(); ++i) {
      TSTColumnFilterEh* f = Grid->Columns()->Items(i)->STFilter();
      if (f->GetExpression().Operator1 == foNon) continue;
      String name;
      f->GetDataFieldName(name);
      conds_.push_back({name, f->GetExpression()});
    }
    DataSet->SetFiltered(false);
    DataSet->SetOnFilterRecord({this, &TLocalFeatures::FilterRecord});
    DataSet->SetFiltered(!conds_.empty());
  }
  void ApplySorting(TCustomDBGridEh* Grid, TDataSet* DataSet, bool) override {
    ++sorts;
    TStringList names;
    std::vector<bool> ascending;
    for (int i = 0; i < Grid->SortMarkedColumns()->Count(); ++i) {
      TColumnEh* c = Grid->SortMarkedColumns()->Items(i);
      names.Add(c->FieldName());
      ascending.push_back(c->Title()->SortMarker() == smDownEh);
    }
    if (names.Count() > 0) static_cast<TpFIBDataSet*>(DataSet)->SortByFieldNames(&names, ascending);
  }

 private:
  struct Cond {
    String field;
    TSTFilterExpressionEh expr;
  };
  static bool Holds(TField* F, TSTFilterOperatorEh Op, const Variant& Operand, TSTOperandTypeEh Type) {
    if (Op == foNull) return F->IsNull();
    if (Op == foNotNull) return !F->IsNull();
    if (F->IsNull()) return false;
    if (Op == foLike) return F->AsString().find(VarToStr(Operand)) != String::npos;
    int cmp;
    if (Type == botNumber) {
      const double a = F->AsFloat(), b = Operand.AsDouble();
      cmp = a < b ? -1 : a > b ? 1 : 0;
    } else {
      cmp = F->AsString().compare(VarToStr(Operand));
    }
    switch (Op) {
      case foEqual: return cmp == 0;
      case foNotEqual: return cmp != 0;
      case foGreaterThan: return cmp > 0;
      case foLessThan: return cmp < 0;
      case foGreaterOrEqual: return cmp >= 0;
      case foLessOrEqual: return cmp <= 0;
      default: ADD_FAILURE() << "operator " << Op; return false;
    }
  }
  void FilterRecord(TDataSet* DataSet, bool& Accept) {
    for (const Cond& c : conds_) {
      TField* f = DataSet->FieldByName(c.field);
      const TSTFilterExpressionEh& e = c.expr;
      bool ok = Holds(f, e.Operator1, e.Operand1, e.OperandType);
      if (e.Relation == foAND) ok = ok && Holds(f, e.Operator2, e.Operand2, e.OperandType);
      if (e.Relation == foOR) ok = ok || Holds(f, e.Operator2, e.Operand2, e.OperandType);
      if (!ok) {
        Accept = false;
        return;
      }
    }
  }
  std::vector<Cond> conds_;
};

class FilterFirebirdTest : public TGridFirebirdTest<FilterFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table FILT_T (ID integer not null primary key, NAME varchar(30), X integer)",
        "execute block as declare i integer = 1; begin while (i <= 30) do begin "
        "insert into FILT_T values (:i, 'row ' || :i, mod(:i * 37, 211)); i = i + 1; end end",
        "update FILT_T set NAME = 'O''Brien' where ID = 4",
        "update FILT_T set NAME = 'Mary O''Brien' where ID = 9",
        "update FILT_T set NAME = 'Brien' where ID = 11",
        "update FILT_T set NAME = null where ID = 12",
    };
  }

 protected:
  void SetUp() override {
    SetUpGrid("select ID, NAME, X from FILT_T order by ID");
    grid_->STFilter()->SetVisible(true);
    features_ = new TLocalFeatures();
    RegisterDatasetFeaturesEh(features_, GetClassInfo(ds_));
    ds_->Open();
  }
  void TearDown() override {
    UnregisterDatasetFeaturesEh(GetClassInfo(ds_));
    TGridFirebirdTest::TearDown();
  }
  // The IDs the grid's dataset shows, in order.
  std::vector<int> Shown() {
    std::vector<int> ids;
    ds_->DisableControls();
    ds_->First();
    for (; !ds_->Eof(); ds_->Next()) ids.push_back(ds_->FieldByName("ID")->AsInteger());
    ds_->First();
    ds_->EnableControls();
    return ids;
  }
  // The IDs the server selects.
  std::vector<int> Server(const String& Tail) {
    auto* q = new TpFIBDataSet(nullptr);
    q->SetDatabase(db_);
    q->SelectSQL()->SetText("select ID from FILT_T " + Tail);
    q->Open();
    std::vector<int> ids;
    for (; !q->Eof(); q->Next()) ids.push_back(q->FieldByName("ID")->AsInteger());
    delete q;
    return ids;
  }
  void Type(int Column, const String& Text) {
    grid_->ShowFilterEditor(Column);
    ASSERT_NE(grid_->FilterEditor(), nullptr);
    grid_->FilterEditor()->SetText(Text);
    WideChar enter = 13;
    grid_->FilterEditKeyPress(grid_->FilterEditor(), enter);
  }

  TLocalFeatures* features_ = nullptr;
};

TEST_F(FilterFirebirdTest, TypedFilterShowsTheServersRows) {
  Type(2, "> 100");
  EXPECT_EQ(features_->filters, 1);
  const std::vector<int> expect = Server("where X > 100 order by ID");
  ASSERT_FALSE(expect.empty());
  ASSERT_LT(expect.size(), 30u);
  EXPECT_EQ(Shown(), expect);
  // The grid's rows follow the filtered dataset.
  EXPECT_EQ(grid_->DataLink()->RecordCount(), std::min<int>(static_cast<int>(expect.size()), grid_->DataLink()->BufferCount()));

  Type(2, ">50 & <=150");
  EXPECT_EQ(Shown(), Server("where X > 50 and X <= 150 order by ID"));
  Type(1, "=Null");
  EXPECT_EQ(Shown(), Server("where X > 50 and X <= 150 and NAME is null order by ID"));

  // Clearing shows everything again.
  grid_->ClearFilter();
  grid_->ApplyFilter();
  EXPECT_EQ(Shown(), Server("order by ID"));
}

TEST_F(FilterFirebirdTest, QuotedNameRoundTripsAndApplies) {
  Type(1, "O'Brien");
  const std::vector<int> expect = Server("where NAME like '%O''Brien%' order by ID");
  ASSERT_EQ(expect, (std::vector<int>{4, 9}));
  EXPECT_EQ(Shown(), expect);

  // The written form reads back to the same filter.
  TSTColumnFilterEh* f = grid_->Columns()->Items(1)->STFilter();
  String written;
  f->GetExpressionAsText(written);
  EXPECT_EQ(written, "~ 'O''Brien'");
  Type(1, written);
  EXPECT_EQ(VarToStr(f->GetExpression().Operand1), "O'Brien");
  EXPECT_EQ(Shown(), expect);
  Type(1, "='O''Brien'");
  EXPECT_EQ(Shown(), Server("where NAME = 'O''Brien' order by ID"));
}

TEST_F(FilterFirebirdTest, OrderByDescendingFromTheDropDown) {
  auto* list_src = new TDataSource(form_);
  list_src->SetDataSet(ds_);
  grid_->Columns()->Items(2)->STFilter()->SetListSource(list_src);
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking});
  for (int i = 0; i < grid_->Columns()->Count(); ++i) grid_->Columns()->Items(i)->Title()->SetTitleButton(true);
  grid_->Columns()->Items(0)->Title()->SetSortMarker(smDownEh);

  grid_->ShowFilterEditor(2);
  TInplaceFilterEditEh* ed = grid_->FilterEditor();
  ed->DropDown();
  const int item = ed->Items()->IndexOf("(Order by descending)");
  ASSERT_EQ(item, 0);
  ed->PopupListbox()->SetItemIndex(item);
  ed->CloseUp(true);
  EXPECT_EQ(features_->sorts, 1);
  EXPECT_EQ(grid_->Columns()->Items(0)->Title()->SortMarker(), smNoneEh);
  EXPECT_EQ(grid_->Columns()->Items(2)->Title()->SortMarker(), smUpEh);
  EXPECT_EQ(Shown(), Server("order by X desc"));

  // A filter on top keeps the order.
  Type(2, "< 100");
  EXPECT_EQ(Shown(), Server("where X < 100 order by X desc"));
}

TEST_F(FilterFirebirdTest, TabWrapsToTheFirstFilterableColumn) {
  grid_->Columns()->Items(0)->STFilter()->SetVisible(false);
  grid_->ShowFilterEditor(2);
  Word tab = VK_TAB;
  grid_->FilterEditKeyDown(grid_->FilterEditor(), tab, {});
  EXPECT_EQ(grid_->FilterEditorColumn(), 1);
}

TEST_F(FilterFirebirdTest, DataSetClosesAndReopensWithAFilterSet) {
  grid_->Columns()->SetState(csCustomized);
  Type(2, ">= 120");
  const std::vector<int> expect = Server("where X >= 120 order by ID");
  EXPECT_EQ(Shown(), expect);
  ds_->Close();
  EXPECT_EQ(grid_->Columns()->Items(2)->STFilter()->FilterText(), ">= 120");
  ds_->Open();
  EXPECT_EQ(Shown(), expect);
  Type(2, "<> Null");
  EXPECT_EQ(Shown(), Server("where X is not null order by ID"));
}

}  // namespace
