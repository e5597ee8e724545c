// The sum list producer on an in-memory dataset: aggregates kept through
// edits, inserts, deletes and cancels, the chained handlers, filters,
// virtual records, failures and the lifetimes of the datasets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "grid/toolkit/DBSumLst.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "tests/grid/toolkit/DetailDataSet.h"
#include "tests/support/MemDataSet.h"

namespace {

using Texts = std::vector<String>;

Currency Cur(double V) { return Currency::FromDouble(V); }

// A dataset that cannot number its records.
class TUnsequencedDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  bool IsSequenced() override { return false; }
};

template <class T = TMemDataSet>
std::unique_ptr<T> NewDataSet() {
  auto ds = std::make_unique<T>(nullptr);
  ds->FieldDefs()->Add("ID", ftInteger);
  ds->FieldDefs()->Add("AMOUNT", ftFloat);
  ds->FieldDefs()->Add("QTY", ftInteger);
  ds->FieldDefs()->Add("TXT", ftString, 10);
  ds->Open();
  return ds;
}

class SumListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeUnits({&unit_DBSumLst}); }
  void SetUp() override {
    ds_ = NewDataSet();
    ds_->AppendRows({{1, 1.25, 10, String("a")},
                     {2, 2.5, Null(), String("b")},
                     {3, 0.0001, 30, Null()},
                     {4, Null(), 20, String("d")}});
    ds_->First();
    producer_ = std::make_unique<TDBSumListProducer>(nullptr);
    producer_->SetOnRecalcAll([this](TObject*) { ++walks_; });
    producer_->SetSumListChanged([this](TObject*) { ++changes_; });
    sum_ = Add(goSum, "AMOUNT");
    avg_ = Add(goAvg, "QTY");
    count_ = Add(goCount, "");
    counted_ = Add(goCount, "QTY");
  }
  TDBSum* Add(TGroupOperation Op, const String& Field) {
    TDBSum* s = producer_->SumCollection()->Add();
    s->SetGroupOperation(Op);
    s->SetFieldName(Field);
    return s;
  }
  void Expect(double Sum, double Avg, int Count, int Counted, const char* When) {
    EXPECT_EQ(sum_->SumValue(), Cur(Sum)) << When;
    EXPECT_EQ(avg_->SumValue(), Cur(Avg)) << When;
    EXPECT_EQ(count_->SumValue(), Currency::FromInt(Count)) << When;
    EXPECT_EQ(counted_->SumValue(), Currency::FromInt(Counted)) << When;
  }
  void Locate(int Id) { ASSERT_TRUE(ds_->Locate("ID", Id, {})); }

  std::unique_ptr<TMemDataSet> ds_;
  std::unique_ptr<TDBSumListProducer> producer_;
  TDBSum *sum_ = nullptr, *avg_ = nullptr, *count_ = nullptr, *counted_ = nullptr;
  int walks_ = 0, changes_ = 0;
};

TEST_F(SumListTest, AggregatesFollowEditsInsertsDeletesAndCancelsWithoutAWalk) {
  producer_->SetDataSet(ds_.get());
  EXPECT_TRUE(producer_->EventsHooked());
  ASSERT_EQ(walks_, 1);
  Expect(3.7501, 20, 4, 3, "after the walk");
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 1);  // back on the first record

  Locate(2);
  ds_->Edit();
  ds_->FieldByName("QTY")->SetAsInteger(5);  // null to 5: one more average value
  ds_->FieldByName("AMOUNT")->SetAsFloat(2.4999);
  ds_->Post();
  Expect(3.7500, 16.25, 4, 4, "after an edit from null");
  EXPECT_EQ(avg_->AvgCount(), 4);

  Locate(3);
  ds_->Edit();
  ds_->FieldByName("QTY")->Clear();  // 30 to null
  ds_->Post();
  Expect(3.75, 35.0 / 3, 4, 3, "after an edit to null");
  EXPECT_EQ(avg_->AvgCount(), 3);

  ds_->Edit();
  ds_->FieldByName("AMOUNT")->SetAsFloat(1000);
  ds_->Cancel();
  Expect(3.75, 35.0 / 3, 4, 3, "after a cancelled edit");

  ds_->Append();
  ds_->FieldByName("ID")->SetAsInteger(5);
  ds_->FieldByName("AMOUNT")->SetAsFloat(-0.75);
  ds_->FieldByName("QTY")->SetAsInteger(7);
  ds_->Post();
  Expect(3.0, 42.0 / 4, 5, 4, "after an insert");

  ds_->Append();
  ds_->FieldByName("AMOUNT")->SetAsFloat(99);
  ds_->Cancel();
  Expect(3.0, 10.5, 5, 4, "after a cancelled insert");

  Locate(1);
  ds_->Delete();
  Expect(1.75, 32.0 / 3, 4, 3, "after a delete");
  Locate(4);
  ds_->Delete();  // null amount, quantity 20
  Expect(1.75, 6, 3, 2, "after deleting a record with a null");

  EXPECT_EQ(walks_, 1);
  const Currency kept = sum_->SumValue(), keptAvg = avg_->SumValue();
  producer_->RecalcAll();
  EXPECT_EQ(walks_, 2);
  EXPECT_EQ(sum_->SumValue(), kept);
  EXPECT_EQ(avg_->SumValue(), keptAvg);
}

TEST_F(SumListTest, AveragesOfNullsAndCountsOfEveryRecord) {
  auto nulls = NewDataSet();
  nulls->AppendRows({{1, Null(), Null()}, {2, Null(), Null()}});
  producer_->SetDataSet(nulls.get());
  EXPECT_EQ(avg_->SumValue(), Currency());
  EXPECT_EQ(avg_->AvgCount(), 0);
  EXPECT_EQ(count_->SumValue(), Currency::FromInt(2));
  EXPECT_EQ(counted_->SumValue(), Currency());
  // A new record whose value is set at once is counted when posted.
  nulls->SetOnNewRecord([](TDataSet* D) { D->FieldByName("QTY")->SetAsInteger(1); });
  nulls->Append();
  nulls->Post();
  EXPECT_EQ(count_->SumValue(), Currency::FromInt(3));
  EXPECT_EQ(counted_->SumValue(), Currency::FromInt(1));
  EXPECT_EQ(avg_->SumValue(), Currency::FromInt(1));
  producer_->SetDataSet(nullptr);
  EXPECT_EQ(count_->SumValue(), Currency());  // deactivated with clearing
}

TEST_F(SumListTest, ValuesRoundToTenThousandthsTiesToEven) {
  auto ds = NewDataSet();
  ds->AppendRows({{1, 0.00005}, {2, 0.00015}, {3, 1.0 / 3}});
  producer_->SetDataSet(ds.get());
  // 0.5 -> 0, then 0 + 1.5 -> 2, then 2 + 3333.33 -> 3335 ten-thousandths.
  EXPECT_EQ(sum_->SumValue(), Currency::FromRaw(3335));
}

TEST_F(SumListTest, FieldsAreLookedUpAgainAfterReopeningOrChangingASum) {
  producer_->SetDataSet(ds_.get());
  // Closing frees the dataset's fields; opening makes new ones.
  ds_->Close();
  ds_->Open();
  Locate(1);
  ds_->Edit();
  ds_->FieldByName("AMOUNT")->SetAsFloat(2.25);
  ds_->Post();
  Expect(4.7501, 20, 4, 3, "after reopening");
  sum_->SetFieldName("QTY");
  EXPECT_EQ(sum_->SumValue(), Cur(60));
  Locate(2);
  ds_->Edit();
  ds_->FieldByName("QTY")->SetAsInteger(40);
  ds_->Post();
  EXPECT_EQ(sum_->SumValue(), Cur(100));
  EXPECT_EQ(avg_->SumValue(), Cur(25));
}

TEST_F(SumListTest, HandlersChainToTheOnesTheyReplacedAndComeBack) {
  Texts calls;
  const auto note = [&](const char* Name) {
    return TDataSetNotifyEvent([&calls, Name](TDataSet*) { calls.push_back(Name); });
  };
  ds_->SetAfterCancel(note("AfterCancel"));
  ds_->SetAfterClose(note("AfterClose"));
  ds_->SetAfterEdit(note("AfterEdit"));
  ds_->SetAfterInsert(note("AfterInsert"));
  ds_->SetAfterOpen(note("AfterOpen"));
  ds_->SetAfterPost(note("AfterPost"));
  ds_->SetAfterScroll(note("AfterScroll"));
  ds_->SetBeforeDelete(note("BeforeDelete"));
  const TDataSetNotifyEvent ownEdit = ds_->AfterEdit();
  auto form = std::make_unique<TComponent>(nullptr);
  TDBSumListProducer producer(form.get());
  producer.SetDataSet(ds_.get());
  ASSERT_TRUE(producer.EventsHooked());
  EXPECT_FALSE(ds_->AfterEdit() == ownEdit);
  const auto run = [&] {
    calls.clear();
    ds_->Edit();
    ds_->Cancel();
    ds_->Insert();
    ds_->Post();
    ds_->Next();
    ds_->Delete();
    ds_->Close();
    ds_->Open();
    return calls;
  };
  const Texts all{"AfterEdit", "AfterCancel", "AfterInsert", "AfterPost", "AfterScroll",
                  "BeforeDelete", "AfterClose", "AfterOpen"};
  const auto contains = [](const Texts& Calls, const Texts& Names) {
    for (const String& n : Names)
      if (std::find(Calls.begin(), Calls.end(), n) == Calls.end()) return false;
    return true;
  };
  EXPECT_TRUE(contains(run(), all));
  // Switched off while its owner loads, the producer stays hooked and still
  // passes every event on.
  form->SetLoading(true);
  producer.SetActive(false);
  form->SetLoading(false);
  ASSERT_TRUE(producer.EventsHooked());
  EXPECT_TRUE(contains(run(), all));
  // Switched off otherwise, the dataset has its own handlers back.
  producer.SetActive(true);
  producer.SetActive(false);
  EXPECT_FALSE(producer.EventsHooked());
  EXPECT_TRUE(ds_->AfterEdit() == ownEdit);
}

TEST_F(SumListTest, AFilterChangeRecalculatesOnTheNextScroll) {
  producer_->SetDataSet(ds_.get());
  ASSERT_EQ(walks_, 1);
  ds_->Next();
  ds_->Next();
  EXPECT_EQ(walks_, 1);  // scrolling alone does not walk
  ds_->SetFilter("ID > 2");
  ds_->SetFiltered(true);
  ds_->First();
  EXPECT_EQ(walks_, 2);
  Expect(0.0001, 25, 2, 2, "filtered");
  ds_->Next();
  EXPECT_EQ(walks_, 2);
  ds_->SetFilter("ID > 3");
  ds_->First();
  EXPECT_EQ(walks_, 3);
  Expect(0, 20, 1, 1, "filtered again");
  ds_->SetFiltered(false);
  ds_->First();
  EXPECT_EQ(walks_, 4);
  Expect(3.7501, 20, 4, 3, "unfiltered");
}

TEST_F(SumListTest, AFailingWalkLeavesTheControlsEnabled) {
  producer_->SetDataSet(ds_.get());
  const int changes = changes_;
  // Text that is no number fails the walk that the new sum starts.
  EXPECT_THROW(Add(goSum, "TXT"), Exception);
  EXPECT_FALSE(ds_->ControlsDisabled());
  EXPECT_GT(changes_, changes);
  EXPECT_THROW(producer_->RecalcAll(), Exception);
  EXPECT_FALSE(ds_->ControlsDisabled());
  // Not stuck in the recalculation: a filter change walks again.
  producer_->SumCollection()->Delete(producer_->SumCollection()->Count() - 1);
  const int walks = walks_;
  ds_->SetFilter("ID > 3");
  ds_->SetFiltered(true);
  ds_->First();
  EXPECT_GT(walks_, walks);
  Expect(0, 20, 1, 1, "after the failure");
  // A dataset that opens with a bad value reports it and stays usable.
  auto bad = NewDataSet();
  bad->AppendRows({{1, 1.0, 1, String("x")}});
  bad->Close();
  TDBSumListProducer producer(nullptr);
  TDBSum* txt = producer.SumCollection()->Add();
  txt->SetFieldName("TXT");
  producer.SetDataSet(bad.get());
  EXPECT_THROW(bad->Open(), Exception);
  EXPECT_TRUE(bad->Active());
  EXPECT_FALSE(bad->ControlsDisabled());
}

TEST_F(SumListTest, VirtualRecordsNumberTheRecordsOfAnUnsequencedDataSet) {
  auto ds = NewDataSet<TUnsequencedDataSet>();
  ds->AppendRows({{1, 1.0}, {2, 2.0}, {3, 3.0}});
  producer_->SetDataSet(ds.get());
  EXPECT_FALSE(producer_->VirtualMode());
  producer_->SetVirtualRecords(true);
  ASSERT_TRUE(producer_->VirtualMode());
  EXPECT_TRUE(producer_->IsSequenced());
  EXPECT_EQ(producer_->GetRecordCount(), 3);
  producer_->SetRecNo(2);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(producer_->GetRecNo(), 2);
  EXPECT_THROW(producer_->SetRecNo(4), EListError);

  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->Post();
  EXPECT_EQ(producer_->GetRecordCount(), 4);
  EXPECT_EQ(producer_->GetRecNo(), 4);
  producer_->SetRecNo(2);
  const TBookmark second = ds->GetBookmark();
  ds->Delete();
  EXPECT_EQ(producer_->GetRecordCount(), 3);
  // A bookmark that lies between two entries is not found (and the search
  // ends).
  EXPECT_EQ(producer_->FindBookmarkIndex(second), -1);
  producer_->SetRecNo(3);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(producer_->FindBookmarkIndex(second), -1);
  EXPECT_EQ(producer_->GetRecNo(), 3);
  ds->Close();
  EXPECT_EQ(producer_->GetRecordCount(), 0);
}

TEST_F(SumListTest, TheProducerLetsGoOfDataSetsThatAreFreed) {
  TDataSource masterSource(nullptr);
  auto master = NewDataSet();
  masterSource.SetDataSet(master.get());
  master->AppendRows({{1}, {2}});
  TDetailMemDataSetClass registered;
  auto detail = NewDataSet<TDetailMemDataSet>();
  detail->AppendRows({{1, 5.0}});
  detail->SetMasterSource(&masterSource);
  bool masterScrolled = false;
  master->SetAfterScroll([&](TDataSet*) { masterScrolled = true; });
  producer_->SetDataSet(detail.get());
  EXPECT_EQ(producer_->MasterDataSet(), master.get());
  const int walks = walks_;
  master->Next();
  EXPECT_TRUE(masterScrolled);
  EXPECT_EQ(walks_, walks + 1);  // a new master record: walked again
  // The master goes first, then the dataset: the aggregates stay.
  master.reset();
  EXPECT_EQ(producer_->MasterDataSet(), nullptr);
  detail.reset();
  EXPECT_EQ(producer_->DataSet(), nullptr);
  EXPECT_EQ(sum_->SumValue(), Cur(5));
  producer_->RecalcAll();
  producer_.reset();

  // The producer goes first: the dataset has its own handlers back.
  auto ds = NewDataSet();
  TDataSetNotifyEvent own([](TDataSet*) {});
  ds->SetAfterPost(own);
  {
    TDBSumListProducer producer(nullptr);
    producer.SetDataSet(ds.get());
    EXPECT_FALSE(ds->AfterPost() == own);
  }
  EXPECT_TRUE(ds->AfterPost() == own);
}

TEST_F(SumListTest, ChangesOfTheSumsRecalculateAndSumsAreFoundByName) {
  auto ds = std::make_unique<TMemDataSet>(nullptr);
  ds->FieldDefs()->Add("Сумма", ftFloat);
  ds->Open();
  ds->AppendRows({{2.0}, {3.0}});
  producer_->SumCollection()->Clear();
  producer_->SetDataSet(ds.get());
  const int walks = walks_;
  TDBSum* s = Add(goSum, "сумма");
  EXPECT_GT(walks_, walks);
  EXPECT_EQ(s->SumValue(), Cur(5));
  EXPECT_EQ(producer_->SumCollection()->GetSumByOpAndFName(goSum, "СУММА"), s);
  EXPECT_EQ(producer_->SumCollection()->GetSumByOpAndFName(goAvg, "СУММА"), nullptr);
  s->SetGroupOperation(goAvg);
  EXPECT_EQ(s->SumValue(), Cur(2.5));

  TDBSumListProducer copy(nullptr);
  copy.Assign(producer_.get());
  EXPECT_EQ(copy.DataSet(), ds.get());
  ASSERT_EQ(copy.SumCollection()->Count(), 1);
  EXPECT_EQ(copy.SumCollection()->Items(0)->SumValue(), Cur(2.5));
  copy.SetDataSet(nullptr);
}

}  // namespace
