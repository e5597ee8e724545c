// The sum list producer on a Firebird dataset of 100 000 rows: its sums,
// averages and counts against the server's own after opening and through
// edits, inserts, deletes and cancels, read back on another attachment.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/toolkit/DBSumLst.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

constexpr int kRows = 100000;
constexpr int kBadRow = 54321;  // its TXT is no number

class SumListFirebirdTest : public fbtest::TFIBSuiteTest<SumListFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table SUMS_T (ID integer not null primary key, AMOUNT numeric(15,2), QTY integer, "
        "PRICE numeric(18,4), TXT varchar(10))",
        "execute block as declare i integer = 1; begin while (i <= " + std::to_string(kRows) +
            ") do begin insert into SUMS_T values (:i, mod(:i * 37, 100000) / 100.00, "
            "iif(mod(:i, 7) = 0, null, mod(:i, 101)), iif(mod(:i, 11) = 0, null, mod(:i * 13, 1000000) / 10000.0000), "
            "iif(:i = " +
            std::to_string(kBadRow) + ", 'x', cast(:i as varchar(10)))); i = i + 1; end end",
    };
  }

 protected:
  void SetUp() override {
    InitializeUnits({&unit_pFIBDataSet, &unit_DBSumLst});
    form_ = new TComponent(nullptr);
    db_ = fbtest::ConnectFIBDatabase(form_, file_->Path());
    ds_ = new TpFIBDataSet(form_);
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText("select ID, AMOUNT, QTY, PRICE, TXT from SUMS_T order by ID");
    ds_->UpdateSQL()->SetText(
        "update SUMS_T set AMOUNT = ?AMOUNT, QTY = ?QTY, PRICE = ?PRICE where ID = ?OLD_ID");
    ds_->InsertSQL()->SetText("insert into SUMS_T (ID, AMOUNT, QTY, PRICE) values (?ID, ?AMOUNT, ?QTY, ?PRICE)");
    ds_->DeleteSQL()->SetText("delete from SUMS_T where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
    producer_ = std::make_unique<TDBSumListProducer>(form_);
    producer_->SetOnRecalcAll([this](TObject*) { ++walks_; });
    for (auto [op, field] : {std::pair{goSum, "AMOUNT"}, {goSum, "PRICE"}, {goAvg, "QTY"}, {goAvg, "AMOUNT"},
                             {goCount, ""}, {goCount, "QTY"}}) {
      TDBSum* s = producer_->SumCollection()->Add();
      s->SetGroupOperation(op);
      s->SetFieldName(field);
      sums_.push_back(s);
    }
  }
  void TearDown() override {
    producer_.reset();
    if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    delete form_;
  }

  int64_t Server(const std::string& Select) const { return std::stoll(file_->QueryValue(Select)); }
  double ServerDouble(const std::string& Select) const { return std::stod(file_->QueryValue(Select)); }

  // Every aggregate against what the server computes from the committed rows.
  void ExpectServerValues(const char* When) {
    SCOPED_TRACE(When);
    EXPECT_EQ(sums_[0]->SumValue().Value, Server("select cast(sum(AMOUNT) * 10000 as bigint) from SUMS_T"));
    EXPECT_EQ(sums_[1]->SumValue().Value, Server("select cast(sum(PRICE) * 10000 as bigint) from SUMS_T"));
    EXPECT_NEAR(sums_[2]->SumValue().ToDouble(), ServerDouble("select avg(cast(QTY as double precision)) from SUMS_T"),
                0.00006);
    EXPECT_NEAR(sums_[3]->SumValue().ToDouble(),
                ServerDouble("select avg(cast(AMOUNT as double precision)) from SUMS_T"), 0.00006);
    EXPECT_EQ(sums_[4]->SumValue(), Currency::FromInt(Server("select count(*) from SUMS_T")));
    EXPECT_EQ(sums_[5]->SumValue(), Currency::FromInt(Server("select count(QTY) from SUMS_T")));
  }
  void Goto(int Id) { ASSERT_TRUE(ds_->Locate("ID", Id, {})); }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  std::unique_ptr<TDBSumListProducer> producer_;
  std::vector<TDBSum*> sums_;
  int walks_ = 0;
};

TEST_F(SumListFirebirdTest, AggregatesMatchTheServerThroughEditsInsertsDeletesAndCancels) {
  producer_->SetDataSet(ds_);
  ds_->Open();
  ASSERT_EQ(walks_, 1);
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 1);
  ExpectServerValues("after opening");
  EXPECT_EQ(sums_[4]->SumValue(), Currency::FromInt(kRows));

  Goto(500);
  ds_->Edit();
  ds_->FieldByName("AMOUNT")->SetAsString("123.45");
  ds_->FieldByName("QTY")->Clear();
  ds_->FieldByName("PRICE")->SetAsString("0.0001");
  ds_->Post();
  ExpectServerValues("after an edit to null");

  Goto(7);  // its QTY is null
  ds_->Edit();
  ds_->FieldByName("QTY")->SetAsInteger(42);
  ds_->FieldByName("AMOUNT")->Clear();
  ds_->Post();
  ExpectServerValues("after an edit from null");

  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(kRows + 1);
  ds_->FieldByName("AMOUNT")->SetAsString("0.01");
  ds_->FieldByName("QTY")->SetAsInteger(5);
  ds_->FieldByName("PRICE")->SetAsString("1.2345");
  ds_->Post();
  ExpectServerValues("after an insert");

  Goto(1000);
  ds_->Edit();
  ds_->FieldByName("AMOUNT")->SetAsString("99999.99");
  ds_->Cancel();
  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(kRows + 2);
  ds_->FieldByName("QTY")->SetAsInteger(1000);
  ds_->Cancel();
  ExpectServerValues("after cancels");

  Goto(3);
  ds_->Delete();
  Goto(14);  // null QTY
  ds_->Delete();
  ExpectServerValues("after deletes");
  EXPECT_EQ(walks_, 1);  // nothing walked the dataset again

  // A walk finds what the updates kept.
  const Currency sum = sums_[0]->SumValue(), count = sums_[5]->SumValue();
  producer_->RecalcAll();
  EXPECT_EQ(sums_[0]->SumValue(), sum);
  EXPECT_EQ(sums_[5]->SumValue(), count);
}

TEST_F(SumListFirebirdTest, AFailureInOneRowLeavesTheControlsEnabled) {
  TDBSum* txt = producer_->SumCollection()->Add();
  txt->SetFieldName("TXT");
  producer_->SetDataSet(ds_);
  int linkEvents = 0;
  TDataSource source(nullptr);
  source.SetDataSet(ds_);
  source.SetOnDataChange([&](TObject*, TField*) { ++linkEvents; });
  EXPECT_THROW(ds_->Open(), Exception);
  ASSERT_TRUE(ds_->Active());
  EXPECT_FALSE(ds_->ControlsDisabled());
  // The controls hear the dataset again.
  const int before = linkEvents;
  ds_->First();
  ds_->Next();
  EXPECT_GT(linkEvents, before);
  // Without the bad sum the walk runs through.
  producer_->SumCollection()->Delete(txt->Index());
  ExpectServerValues("after dropping the failing sum");
}

}  // namespace
