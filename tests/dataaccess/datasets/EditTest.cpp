// Editing a dataset through hand-written modifying SQL, cached updates,
// statement parameters from records, the master/detail link and BLOB
// fields, against the rows the server holds.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Streams.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

using dstest::ClientError;

namespace {

// A dataset with its cursor position in view.
class TEditDataSet : public TFIBDataSet {
 public:
  using TFIBDataSet::TFIBDataSet;
  Integer CurrentIndex() const { return current_record_index_; }
  using TFIBDataSet::ActiveBuffer;
  std::vector<TSortFieldInfo>& OrderInfo() { return order_info_; }
  int keep_sorting_calls = 0;

 protected:
  void KeepSortingAfterPost() override {
    ++keep_sorting_calls;
    TFIBDataSet::KeepSortingAfterPost();
  }
};

// The library's timers run on a manual clock while it lives.
class TManualFIBClock : public TManualTimerService {
 public:
  TManualFIBClock() : previous_(SetFIBTimerService(this)) {}
  ~TManualFIBClock() override { SetFIBTimerService(previous_); }
  TManualFIBClock(const TManualFIBClock&) = delete;
  TManualFIBClock& operator=(const TManualFIBClock&) = delete;

 private:
  TTimerService* previous_;
};

class EditTest : public dstest::TDataSetSuite<EditTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table E (ID integer not null primary key, NAME varchar(40), N92 numeric(9,2) check (N92 >= 0), "
            "N152 numeric(15,2))",
            "insert into E values (1, 'one', 1.25, 10)", "insert into E values (2, 'two', 2.5, 20)",
            "insert into E values (3, 'three', 3.75, 30)",
            "create table M (ID integer not null primary key)", "insert into M values (1)",
            "insert into M values (2)", "insert into M values (3)",
            "create table D (ID integer not null primary key, MID integer)", "insert into D values (10, 1)",
            "insert into D values (11, 1)", "insert into D values (20, 2)",
            "create table DD (ID integer not null primary key, DID integer)", "insert into DD values (100, 10)",
            "insert into DD values (200, 20)",
            "create table B (ID integer not null primary key, DATA blob sub_type 0, MEMO blob sub_type text)",
            "insert into B values (1, 'abc', 'first')", "insert into B values (2, null, null)",
            "insert into B values (3, 'x', 'third')",
            "create table R (ID integer not null primary key, NAME varchar(20), UP computed by (upper(NAME)))",
            "insert into R values (1, 'one')", "insert into R values (2, 'two')",
            "create table A (ID integer not null primary key, AR integer[1:3])"};
  }

 protected:
  void SetUp() override {
    dstest::TDataSetSuite<EditTest>::SetUp();
    tr_ = db_->DefaultTransaction();
  }
  void TearDown() override {
    if (tr_->Active()) tr_->Rollback();
    dstest::TDataSetSuite<EditTest>::TearDown();
  }

  TEditDataSet* NewEdit(const String& Select, const String& Update, const String& Insert, const String& Delete) {
    auto* ds = new TEditDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(Select);
    ds->UpdateSQL()->SetText(Update);
    ds->InsertSQL()->SetText(Insert);
    ds->DeleteSQL()->SetText(Delete);
    return ds;
  }

  TEditDataSet* OpenE() {
    TEditDataSet* ds = NewEdit("select ID, NAME, N92, N152 from E order by ID",
                               "update E set ID = ?ID, NAME = ?NAME, N92 = ?N92, N152 = ?N152 where ID = ?OLD_ID",
                               "insert into E (ID, NAME, N92, N152) values (?ID, ?NAME, ?N92, ?N152)",
                               "delete from E where ID = ?OLD_ID");
    ds->Open();
    return ds;
  }
  TEditDataSet* OpenCachedE() {
    TEditDataSet* ds = OpenE();
    ds->Close();
    ds->SetCachedUpdates(true);
    ds->Open();
    return ds;
  }

  // The rows of a query through a statement of its own, one text per row.
  std::vector<String> ServerRows(const String& SQL, TFIBTransaction* Transaction = nullptr) {
    TFIBQuery q(nullptr);
    q.SetDatabase(db_);
    q.SetTransaction(Transaction != nullptr ? Transaction : tr_);
    q.SQL()->SetText(SQL);
    q.ExecQuery();
    std::vector<String> rows;
    for (; !q.Eof(); q.Next()) {
      String row;
      for (Integer i = 0; i < q.Fields()->Count(); ++i) {
        if (i > 0) row += "|";
        row += q.Fields()->Vars(i)->IsNull() ? String("null") : q.Fields()->Vars(i)->AsString();
      }
      rows.push_back(row);
    }
    q.Close();
    return rows;
  }

  static std::vector<String> Rows(TDataSet* ds) {
    std::vector<String> rows;
    for (ds->First(); !ds->Eof(); ds->Next()) {
      String row;
      for (int i = 0; i < ds->FieldCount(); ++i) {
        if (i > 0) row += "|";
        TField* f = ds->Fields()->Fields(i);
        row += f->IsNull() ? String("null") : f->AsString();
      }
      rows.push_back(row);
    }
    return rows;
  }

  TFIBTransaction* tr_ = nullptr;
};

const char* const kERows = "select ID, NAME, cast(N92 * 100 as integer), cast(N152 * 100 as bigint) from E order by ID";

TEST_F(EditTest, EditInsertAppendDeleteReachTheServer) {
  TEditDataSet* ds = OpenE();
  // Edit: the key itself changes, the statement finds the row by OLD_ID.
  ds->Next();
  ds->Edit();
  ds->FieldByName("ID")->SetAsInteger(22);
  ds->FieldByName("NAME")->SetAsString("zwei");
  ds->Post();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 22);
  // Insert before the third record, append after the last.
  ds->Next();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(5);
  ds->FieldByName("NAME")->SetAsString("five");
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 3);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(9);
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 5);
  EXPECT_EQ(ds->InsertedCount(), 2);
  // Delete the first (poRefreshAfterDelete without a refresh statement
  // looks for nothing).
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poRefreshAfterDelete});
  ds->First();
  ds->Delete();
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 22);

  EXPECT_EQ(Rows(ds), (std::vector<String>{"22|zwei|2.5|20", "5|five|null|null", "3|three|3.75|30", "9|null|null|null"}));
  EXPECT_EQ(ServerRows(kERows),
            (std::vector<String>{"3|three|375|3000", "5|five|null|null", "9|null|null|null", "22|zwei|250|2000"}));
}

TEST_F(EditTest, ScaledValuesReachTheServerExactly) {
  TEditDataSet* ds = OpenE();
  struct TCase {
    const char* N92;
    const char* N152;
    const char* Server;
  } cases[] = {{"0.29", "1234567.89", "1|one|29|123456789"},
               {"1234567.89", "9999999999999.99", "1|one|123456789|999999999999999"},
               {"0.01", "-0.07", "1|one|1|-7"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.N92);
    ds->Edit();
    ds->FieldByName("N92")->SetAsString(c.N92);
    ds->FieldByName("N152")->SetAsString(c.N152);
    ds->Post();
    EXPECT_EQ(ServerRows(String(kERows).replace(std::string(kERows).find(" order"), 0, " where ID = 1")).at(0),
              c.Server);
  }
}

TEST_F(EditTest, RefusedPostKeepsStateValuesAndCache) {
  TEditDataSet* ds = OpenE();
  // An edit the check constraint refuses.
  ds->Next();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("bad");
  ds->FieldByName("N92")->SetAsFloat(-1);
  EXPECT_THROW(ds->Post(), EFIBInterBaseError);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "bad");
  EXPECT_EQ(ds->FieldByName("N92")->AsFloat(), -1);
  // The cache still holds the record as it was.
  EXPECT_EQ(ds->RecordsCache()->GetFieldString(2, 0), "two");
  EXPECT_EQ(ds->RecordsCache()->GetRecordPtr(2)[0] & 0x07, cusUnmodified);
  // The value mended, the same post goes through.
  ds->FieldByName("N92")->SetAsFloat(4);
  ds->Post();
  EXPECT_EQ(ServerRows("select NAME, cast(N92 * 100 as integer) from E where ID = 2").at(0), "bad|400");
  ds->Edit();
  ds->FieldByName("N92")->SetAsFloat(-2);
  EXPECT_THROW(ds->Post(), EFIBInterBaseError);
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("N92")->AsFloat(), 4);

  // An insert with a key that exists: no slot is left behind.
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(3);
  ds->FieldByName("NAME")->SetAsString("dup");
  EXPECT_THROW(ds->Post(), EFIBInterBaseError);
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "dup");
  EXPECT_EQ(ds->FetchedCount(), 3);
  ds->Cancel();
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|one|1.25|10", "2|bad|4|20", "3|three|3.75|30"}));
  // The next insert takes the place the failed one gave back.
  ds->Last();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->Post();
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|one|1.25|10", "2|bad|4|20", "4|null|null|null", "3|three|3.75|30"}));
  EXPECT_EQ(ds->RecordCount(), 4);
}

TEST_F(EditTest, CancelAndRefusals) {
  // Cancelling an append on an empty dataset leaves no current record.
  TEditDataSet* empty = NewEdit("select ID, NAME from E where ID < 0", "", "insert into E (ID) values (?ID)", "");
  empty->Open();
  empty->Append();
  empty->FieldByName("ID")->SetAsInteger(7);
  empty->Cancel();
  EXPECT_EQ(empty->CurrentIndex(), -1);
  EXPECT_TRUE(empty->IsEmpty());
  // Without UpdateSQL/DeleteSQL editing and deleting end silently.
  TEditDataSet* ro = NewEdit("select ID, NAME from E order by ID", "", "", "");
  ro->Open();
  EXPECT_THROW(ro->Edit(), EAbort);
  EXPECT_THROW(ro->Delete(), EAbort);
  EXPECT_EQ(Rows(ro).size(), 3u);
  // A data source that leads back to the dataset.
  auto* own = new TDataSource(form_);
  own->SetDataSet(ro);
  TEditDataSet* detail = NewEdit("select ID from D", "", "", "");
  auto* detailSource = new TDataSource(form_);
  detailSource->SetDataSet(detail);
  detail->SetDataSource(own);
  EXPECT_EQ(ClientError([&] { ro->SetDataSource(detailSource); }), fceCircularReference);
  // A modifying statement without a transaction.
  TEditDataSet* noTr = NewEdit("select ID, NAME from E order by ID", "update E set NAME = ?NAME where ID = ?OLD_ID", "",
                               "");
  noTr->Open();
  noTr->SetUpdateTransaction(nullptr);
  noTr->Edit();
  noTr->FieldByName("NAME")->SetAsString("x");
  EXPECT_EQ(ClientError([&] { noTr->Post(); }), fceTransactionNotAssigned);
  EXPECT_EQ(noTr->State(), dsEdit);
  noTr->Cancel();
  // A statement with "No Action" is never run.
  TEditDataSet* noAction = NewEdit("select ID, NAME from E order by ID", "No Action\nupdate E set NAME = 'x'", "", "");
  noAction->Open();
  noAction->Edit();
  noAction->FieldByName("NAME")->SetAsString("local");
  noAction->Post();
  EXPECT_EQ(noAction->FieldByName("NAME")->AsString(), "local");
  EXPECT_EQ(ServerRows("select NAME from E where ID = 1").at(0), "one");
}

TEST_F(EditTest, RefreshAfterPostAndDeleteAndAutoCommit) {
  TEditDataSet* ds = NewEdit("select ID, NAME, UP from R order by ID", "update R set NAME = ?NAME where ID = ?OLD_ID",
                             "insert into R (ID, NAME) values (?ID, ?NAME)", "delete from R where ID = ?OLD_ID");
  ds->RefreshSQL()->SetText("select ID, NAME, UP from R where ID = ?OLD_ID");
  ds->SetAutoCommit(true);
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poRefreshAfterDelete});
  ds->Open();
  // The server's computed value comes back with the posted record.
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("eins");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("UP")->AsString(), "EINS");
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(3);
  ds->FieldByName("NAME")->SetAsString("drei");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("UP")->AsString(), "DREI");
  // Committed (retaining: the dataset stays open): another transaction sees it.
  EXPECT_TRUE(ds->Active());
  auto* other = new TFIBTransaction(form_);
  other->SetDefaultDatabase(db_);
  other->StartTransaction();
  EXPECT_EQ(ServerRows("select ID, UP from R order by ID", other), (std::vector<String>{"1|EINS", "2|TWO", "3|DREI"}));
  other->Commit();
  // A deleted row is gone; a "deleted" row the refresh still finds stays.
  ds->First();
  ds->Delete();
  EXPECT_EQ(Rows(ds), (std::vector<String>{"2|two|TWO", "3|drei|DREI"}));
  ds->DeleteSQL()->SetText("update R set NAME = 'kept' where ID = ?OLD_ID");
  ds->First();
  ds->Delete();
  EXPECT_EQ(ds->RecordCount(), 2);
  EXPECT_EQ(Rows(ds), (std::vector<String>{"2|kept|KEPT", "3|drei|DREI"}));
  // Restore the rows for the other tests: this test committed.
  fbtest::ExecSQL(tr_, "update R set NAME = 'two' where ID = 2");
  fbtest::ExecSQL(tr_, "delete from R where ID = 3");
  fbtest::ExecSQL(tr_, "insert into R values (1, 'one')");
  tr_->Commit();
}

TEST_F(EditTest, APostKeepsOrClearsTheLocalSort) {
  TEditDataSet* ds = OpenE();
  const TSortFieldInfo byName{"NAME", 1, 0, true, false};
  // Without poKeepSorting any post drops the sort description.
  ds->OrderInfo() = {byName};
  ds->Edit();
  ds->FieldByName("N92")->SetAsFloat(7);
  ds->Post();
  EXPECT_TRUE(ds->OrderInfo().empty());
  EXPECT_EQ(ds->keep_sorting_calls, 0);
  // With it, a record goes to the sort when its key changed or it is new.
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poKeepSorting});
  ds->OrderInfo() = {byName};
  ds->Edit();
  ds->FieldByName("N92")->SetAsFloat(8);
  ds->Post();
  EXPECT_EQ(ds->keep_sorting_calls, 0);
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("aaa");
  ds->Post();
  EXPECT_EQ(ds->keep_sorting_calls, 1);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->Post();
  EXPECT_EQ(ds->keep_sorting_calls, 2);
  EXPECT_EQ(ds->OrderInfo().size(), 1u);
}

TEST_F(EditTest, APostedRecordMovesToItsPlaceInTheLocalSort) {
  TEditDataSet* ds = OpenE();
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poKeepSorting});
  ds->DoSort({"NAME"}, {true});
  auto names = [&] {
    std::vector<String> n;
    for (ds->First(); !ds->Eof(); ds->Next()) n.push_back(ds->FieldByName("NAME")->AsString());
    return n;
  };
  EXPECT_EQ(names(), (std::vector<String>{"one", "three", "two"}));
  ds->First();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("zero");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "zero");  // it stays current
  EXPECT_EQ(ds->RecNo(), 3);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->FieldByName("NAME")->SetAsString("four");
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(names(), (std::vector<String>{"four", "three", "two", "zero"}));
  EXPECT_EQ(ServerRows("select NAME from E order by ID"), (std::vector<String>{"zero", "two", "three", "four"}));
}

TEST_F(EditTest, InsertsAndDeletesKeepAFilteredViewRight) {
  auto* ds = new TpFIBDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, NAME, N92 from E order by ID");
  ds->InsertSQL()->SetText("insert into E (ID, NAME, N92) values (?ID, ?NAME, ?N92)");
  ds->DeleteSQL()->SetText("delete from E where ID = ?OLD_ID");
  ds->SetFilter("N92 > 2");
  ds->SetFiltered(true);
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poVisibleRecno});
  ds->Open();
  auto ids = [&] {
    std::vector<int> v;
    for (ds->First(); !ds->Eof(); ds->Next()) v.push_back(ds->FieldByName("ID")->AsInteger());
    return v;
  };
  EXPECT_EQ(ids(), (std::vector<int>{2, 3}));
  // A hidden record inserted before the visible ones shifts them; none is
  // lost or shown twice.
  ds->First();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(7);
  ds->FieldByName("N92")->SetAsFloat(1);
  ds->Post();
  EXPECT_EQ(ids(), (std::vector<int>{2, 3}));
  ds->First();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(8);
  ds->FieldByName("N92")->SetAsFloat(9);
  ds->Post();
  EXPECT_EQ(ids(), (std::vector<int>{8, 2, 3}));
  EXPECT_EQ(ds->RecordCount(), 3);
  ds->First();
  ds->Delete();
  EXPECT_EQ(ids(), (std::vector<int>{2, 3}));
}

TEST_F(EditTest, CachedUpdatesKeepChangesAndOldVersions) {
  TEditDataSet* ds = OpenCachedE();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("uno");
  ds->Post();
  EXPECT_EQ(ds->UpdateStatus(), usModified);
  EXPECT_EQ(ds->FieldByName("NAME")->OldValue().AsString(), "one");
  ds->Edit();  // a second edit keeps the first old version
  ds->FieldByName("NAME")->SetAsString("eins");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("NAME")->OldValue().AsString(), "one");
  EXPECT_EQ(ds->ChangedCount(), 1);
  // An insert counts once; deleting it before it is applied takes it back.
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(8);
  ds->Post();
  EXPECT_EQ(ds->ChangedCount(), 2);
  EXPECT_EQ(ds->UpdateStatus(), usInserted);
  ds->Delete();
  EXPECT_EQ(ds->ChangedCount(), 1);
  EXPECT_EQ(ds->RecordCount(), 3);
  ds->First();
  ds->Next();
  ds->Delete();
  EXPECT_EQ(ds->ChangedCount(), 2);
  EXPECT_TRUE(ds->UpdatesPending());
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|eins|1.25|10", "3|three|3.75|30"}));
  // The server saw nothing.
  EXPECT_EQ(ServerRows("select ID, NAME from E order by ID"),
            (std::vector<String>{"1|one", "2|two", "3|three"}));
  ds->CancelUpdates();
  EXPECT_FALSE(ds->UpdatesPending());
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|one|1.25|10", "2|two|2.5|20", "3|three|3.75|30"}));
}

TEST_F(EditTest, UndoDeleteBringsBackTheLastDeletedRecord) {
  TEditDataSet* ds = OpenE();
  EXPECT_FALSE(ds->UndoDelete()) << "nothing deleted";
  // Deleted on the server, then rolled back: back in view, unmodified.
  ds->Next();
  ds->Delete();
  tr_->RollbackRetaining();
  EXPECT_TRUE(ds->UndoDelete());
  EXPECT_FALSE(ds->UndoDelete()) << "once only";
  EXPECT_EQ(ds->DeletedCount(), 0);
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|one|1.25|10", "2|two|2.5|20", "3|three|3.75|30"}));
  ASSERT_TRUE(ds->Locate("ID", 2, {}));
  EXPECT_EQ(ds->UpdateStatus(), usUnmodified);
  // A committed deletion stays.
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(7);
  ds->Post();
  tr_->CommitRetaining();
  ds->Delete();
  tr_->CommitRetaining();
  EXPECT_FALSE(ds->UndoDelete());
  EXPECT_EQ(ds->RecordCount(), 3);

  // Cached: each record back to what it was, the other changes pending.
  ds = OpenCachedE();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("uno");
  ds->Post();
  ds->Delete();
  EXPECT_TRUE(ds->UndoDelete());
  ds->Last();
  ds->Delete();
  EXPECT_TRUE(ds->UndoDelete());
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(8);
  ds->Post();
  ds->Delete();
  EXPECT_TRUE(ds->UndoDelete());
  EXPECT_EQ(ds->ChangedCount(), 2);
  EXPECT_EQ(Rows(ds), (std::vector<String>{"1|uno|1.25|10", "2|two|2.5|20", "3|three|3.75|30", "8|null|null|null"}));
  ds->First();
  EXPECT_EQ(ds->UpdateStatus(), usModified);
  ds->Last();
  EXPECT_EQ(ds->UpdateStatus(), usInserted);
  ds->Delete();
  ds->CancelUpdates();
  EXPECT_FALSE(ds->UndoDelete()) << "cancelled with the rest";
  EXPECT_EQ(ServerRows("select ID, NAME from E order by ID"), (std::vector<String>{"1|one", "2|two", "3|three"}));
}

TEST_F(EditTest, ParametersFromRecordsMasterAndSelect) {
  TEditDataSet* ds = OpenE();
  TFIBQuery* q = ds->DeleteQuery();
  EXPECT_EQ(ClientError([&] { ds->SetQueryParams(q, nullptr); }), fceBufferNotSet);
  // OLD_ from the old version, NEW_ and plain names from the buffer.
  q->SQL()->SetText("select ?OLD_NAME, ?NEW_NAME, ?NAME, ?N92, ?MAS_ID from RDB$DATABASE");
  ds->Next();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("new");
  ds->SetQueryParams(q, ds->ActiveBuffer());
  EXPECT_EQ(q->Params()->ByName("OLD_NAME")->AsString(), "two");
  EXPECT_EQ(q->Params()->ByName("NEW_NAME")->AsString(), "new");
  EXPECT_EQ(q->Params()->ByName("NAME")->AsString(), "new");
  EXPECT_EQ(q->Params()->ByName("N92")->AsDouble(), 2.5);
  ds->Cancel();
  // MAS_ names take the master's field; a parameter without any source is
  // left as it was.
  TEditDataSet* master = NewEdit("select ID from M order by ID", "", "", "");
  master->Open();
  master->Next();
  auto* source = new TDataSource(form_);
  source->SetDataSet(master);
  TEditDataSet* detail = NewEdit("select ID, MID from D where MID = ?MAS_ID order by ID", "",
                                 "insert into D (ID, MID) values (?ID, ?MAS_ID)", "");
  detail->SetDataSource(source);
  detail->Open();
  detail->Insert();
  detail->FieldByName("ID")->SetAsInteger(21);
  detail->Post();
  EXPECT_EQ(ServerRows("select MID from D where ID = 21").at(0), "2");
}

TEST_F(EditTest, DetailFollowsItsMasterAtOnceOrAfterTheDelay) {
  TManualFIBClock clock;

  TEditDataSet* master = NewEdit("select ID from M order by ID", "", "", "");
  auto* source = new TDataSource(form_);
  source->SetDataSet(master);
  TEditDataSet* detail = NewEdit("select ID from D where MID = ?ID order by ID", "", "", "");
  detail->SetDataSource(source);
  int opens = 0;
  detail->SetAfterOpen({form_, [&](TDataSet*) { ++opens; }});
  master->Open();
  EXPECT_FALSE(detail->Active());  // a closed detail stays closed
  detail->Open();
  EXPECT_EQ(Rows(detail), (std::vector<String>{"10", "11"}));
  master->Next();
  EXPECT_EQ(Rows(detail), (std::vector<String>{"20"}));
  EXPECT_EQ(opens, 2);

  // With the delay: nothing until the master stood still for 300 ms.
  detail->SetDetailConditions({dcWaitEndMasterScroll});
  EXPECT_TRUE(detail->DetailConditions().Contains(dcWaitEndMasterScroll));
  master->Next();
  clock.Advance(200);
  master->Prior();
  master->Prior();
  clock.Advance(299);
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(Rows(detail), (std::vector<String>{"20"}));
  clock.Advance(1);
  EXPECT_EQ(opens, 3);
  EXPECT_EQ(Rows(detail), (std::vector<String>{"10", "11"}));
  clock.Advance(5000);
  EXPECT_EQ(opens, 3);
  detail->SetDetailConditions({});
  EXPECT_EQ(detail->MasterScrollTimer(), nullptr);

  // A closing master closes the detail unless it ignores that.
  master->Close();
  EXPECT_FALSE(detail->Active());
  detail->SetDetailConditions({dcIgnoreMasterClose, dcForceOpen});
  master->Open();
  EXPECT_TRUE(detail->Active());
  EXPECT_EQ(Rows(detail), (std::vector<String>{"10", "11"}));
  master->Close();
  EXPECT_TRUE(detail->Active());
}

TEST_F(EditTest, APendingDetailRefreshRunsBeforeEditDeleteAndInsert) {
  InitializeUnits({&unit_pFIBDataSet});
  TManualFIBClock clock;
  auto linked = [&](const String& Table, const String& Key, TDataSet* Master) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select ID, " + Key + " from " + Table + " where " + Key + " = ?MAS_ID order by ID");
    ds->UpdateSQL()->SetText("update " + Table + " set " + Key + " = ?" + Key + " where ID = ?OLD_ID");
    ds->InsertSQL()->SetText("insert into " + Table + " (ID, " + Key + ") values (?ID, ?MAS_ID)");
    ds->DeleteSQL()->SetText("delete from " + Table + " where ID = ?OLD_ID");
    auto* source = new TDataSource(form_);
    source->SetDataSet(Master);
    ds->SetDataSource(source);
    ds->SetDetailConditions({dcWaitEndMasterScroll});
    return ds;
  };
  // M -> D -> DD, each detail waiting for its master to stand still. The
  // master moves to 2; the operation on DD runs the waiting refreshes,
  // masters first, and so works on DD's row of D's row 20.
  for (const char* op : {"edit", "delete", "insert"}) {
    SCOPED_TRACE(op);
    TEditDataSet* master = NewEdit("select ID from M order by ID", "", "", "");
    TpFIBDataSet* detail = linked("D", "MID", master);
    TpFIBDataSet* sub = linked("DD", "DID", detail);
    master->Open();
    detail->Open();
    sub->Open();
    ASSERT_EQ(sub->FieldByName("ID")->AsInteger(), 100);
    master->Next();
    const std::string what = op;
    if (what == "edit") {
      sub->Edit();
      EXPECT_EQ(sub->FieldByName("ID")->AsInteger(), 200);
      sub->Cancel();
    } else if (what == "delete") {
      sub->Delete();
      EXPECT_EQ(ServerRows("select ID from DD order by ID"), (std::vector<String>{"100"}));
    } else {
      sub->Insert();
      sub->FieldByName("ID")->SetAsInteger(300);
      sub->Post();
      EXPECT_EQ(ServerRows("select DID from DD where ID = 300"), (std::vector<String>{"20"}));
    }
    EXPECT_EQ(detail->FieldByName("ID")->AsInteger(), 20);
    tr_->Rollback();
    delete sub;
    delete detail;
    delete master;
  }
}

TEST_F(EditTest, FullRefreshFindsTheRowAsTheServerHasItNow) {
  tr_->TRParams()->SetText("read\nread_committed\nrec_version");
  for (bool refreshable : {true, false}) {
    SCOPED_TRACE(refreshable ? "refresh statement" : "no refresh statement");
    TEditDataSet* ds = OpenE();
    if (refreshable) ds->RefreshSQL()->SetText("select ID, NAME, N92, N152 from E where ID = ?OLD_ID");
    ds->Next();
    ds->Next();
    // Another attachment changes the row; the key stays.
    file_->Exec("update E set NAME = 'drei' where ID = 3");
    ds->FullRefresh(true);
    // Located by the row's values as the refresh statement reads them; without
    // one, by the values held, which no row has any more.
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), refreshable ? 3 : 1);
    file_->Exec("update E set NAME = 'three' where ID = 3");
    tr_->Rollback();
    delete ds;
  }
}

TEST_F(EditTest, ArrayValuesAreWrittenAndReadBack) {
  TEditDataSet* ds = NewEdit("select ID, AR from A order by ID", "update A set AR = ?AR where ID = ?OLD_ID",
                             "insert into A (ID, AR) values (?ID, ?AR)", "");
  ds->Open();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(1);
  ds->FieldByName("AR")->SetAsVariant(VarArrayOf({Variant(7), Variant(8), Variant(9)}));
  ds->Post();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(2);
  ds->Post();
  TEditDataSet* check = NewEdit("select ID, AR from A order by ID", "", "", "");
  check->Open();
  const Variant values = check->FieldByName("AR")->AsVariant();
  ASSERT_TRUE(VarIsArray(values));
  EXPECT_EQ(VarArrayLowBound(values, 1), 1);
  EXPECT_EQ(VarArrayHighBound(values, 1), 3);
  EXPECT_EQ(VarArrayGet(values, {3}).AsInteger(), 9);
  check->Next();
  EXPECT_TRUE(check->FieldByName("AR")->IsNull());
  EXPECT_EQ(ClientError([&] { check->FieldByName("AR")->SetAsVariant(VarArrayOf({Variant(1)})); }),
            fceNotEditOrInsert);
}

class BlobEditTest : public EditTest {
 protected:
  TEditDataSet* OpenB(const String& Where = " order by ID") {
    TEditDataSet* ds = NewEdit("select ID, DATA, MEMO from B" + Where,
                               "update B set DATA = ?DATA, MEMO = ?MEMO where ID = ?OLD_ID",
                               "insert into B (ID, DATA, MEMO) values (?ID, ?DATA, ?MEMO)", "delete from B where ID = ?OLD_ID");
    ds->Open();
    return ds;
  }
};

TEST_F(BlobEditTest, ValuesOfEverySizeAreWrittenCancelledAndReadBack) {
  std::string mega(1 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : mega) c = static_cast<char>(random());
  const String text = "Привет, мир ✓ — текст";
  TEditDataSet* ds = OpenB();
  // Reading: a NULL BLOB is empty.
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("DATA")->IsNull());
  EXPECT_EQ(ds->FieldByName("DATA")->AsString(), "");
  ds->First();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "first");

  // 1 MB and UTF-8 text into record 1; the old values stay readable.
  ds->Edit();
  ds->FieldByName("DATA")->SetAsString(mega);
  ds->FieldByName("MEMO")->SetAsString(text);
  EXPECT_EQ(ds->FieldByName("DATA")->OldValue().AsString(), "abc");
  EXPECT_TRUE(ds->IsBlobFieldModified(ds->FieldByName("DATA")));
  EXPECT_FALSE(ds->IsBlobFieldModified(ds->FieldByName("ID")));
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), text);
  ds->Post();
  // 0 bytes into record 3.
  ds->Last();
  ds->Edit();
  ds->FieldByName("DATA")->SetAsString("");
  ds->Post();
  EXPECT_TRUE(ds->FieldByName("DATA")->IsNull());
  // A cancelled change leaves value, record and server as they were.
  ds->Edit();
  ds->FieldByName("MEMO")->SetAsString("never");
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "third");
  // An insert with BLOBs, and a cancelled insert.
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->FieldByName("MEMO")->SetAsString(text);
  ds->Post();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(5);
  ds->FieldByName("MEMO")->SetAsString("gone");
  ds->Cancel();

  TEditDataSet* check = NewEdit("select ID, DATA, MEMO from B order by ID", "", "", "");
  check->Open();
  EXPECT_EQ(check->FieldByName("DATA")->AsString(), mega);
  EXPECT_EQ(check->FieldByName("MEMO")->AsString(), text);
  check->Last();
  EXPECT_EQ(check->FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(check->FieldByName("MEMO")->AsString(), text);
  EXPECT_TRUE(check->FieldByName("DATA")->IsNull());
  check->Prior();
  EXPECT_TRUE(check->FieldByName("DATA")->IsNull());
  EXPECT_EQ(check->FieldByName("MEMO")->AsString(), "third");
  EXPECT_EQ(check->RecordCount(), 4);
}

TEST_F(BlobEditTest, StreamsAreSharedLimitedAndRefusedOutsideEditing) {
  TEditDataSet* ds = OpenB();
  TField* memo = ds->FieldByName("MEMO");
  // Two streams of one record and field share their data.
  ds->Edit();
  std::unique_ptr<TStream> first(ds->CreateBlobStream(memo, bmRead));
  {
    std::unique_ptr<TStream> second(ds->CreateBlobStream(memo, bmWrite));
    second->WriteBuffer("shared", 6);
  }
  first->SetPosition(0);
  std::string read(static_cast<size_t>(first->Size()), '\0');
  first->ReadBuffer(read.data(), static_cast<Int64>(read.size()));
  EXPECT_EQ(read, "shared");
  first.reset();
  ds->Cancel();
  EXPECT_EQ(memo->AsString(), "first");
  // Writing in browse state.
  std::unique_ptr<TStream> browse(ds->CreateBlobStream(memo, bmRead));
  EXPECT_EQ(ClientError([&] { browse->Write("x", 1); }), fceNotEditing);
  browse.reset();

  // At most two streams keep their data: the first is dropped and reloads.
  ds->Close();
  ds->CacheModelOptions()->SetBlobCacheLimit(2);
  ds->Open();
  std::vector<TFIBBlobStream*> inner;
  for (ds->First(); !ds->Eof(); ds->Next()) {
    if (ds->FieldByName("MEMO")->IsNull()) continue;
    std::unique_ptr<TStream> s(ds->CreateBlobStream(ds->FieldByName("MEMO"), bmRead));
    auto* dsStream = dynamic_cast<TFIBDSBlobStream*>(s.get());
    ASSERT_NE(dsStream, nullptr);
    ASSERT_NE(dsStream->Inner(), nullptr);
    dsStream->Size();
    inner.push_back(dsStream->Inner());
  }
  ASSERT_EQ(inner.size(), 2u);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(6);
  ds->FieldByName("MEMO")->SetAsString("sixth");
  ds->Post();
  EXPECT_FALSE(inner[0]->Loaded());
  EXPECT_TRUE(inner[1]->Loaded());
  ds->First();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "first");
  // A change waiting for its post is never dropped.
  ds->CacheModelOptions()->SetBlobCacheLimit(1);
  ds->Edit();
  ds->FieldByName("MEMO")->SetAsString("changed");
  EXPECT_EQ(ds->FieldByName("MEMO")->OldValue().AsString(), "first");
  EXPECT_EQ(ds->FieldByName("DATA")->AsString(), "abc");  // the MEMO stream leaves the list
  ds->Post();
  EXPECT_EQ(ServerRows("select MEMO from B where ID = 1").at(0), "changed");
}

TEST_F(BlobEditTest, CachedUpdatesKeepBlobChangesUntilCancelled) {
  TEditDataSet* ds = NewEdit("select ID, DATA, MEMO from B order by ID", "update B set MEMO = ?MEMO where ID = ?OLD_ID",
                             "", "");
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->Edit();
  ds->FieldByName("MEMO")->SetAsString("cached");
  ds->Post();
  EXPECT_TRUE(ds->IsBlobFieldModified(ds->FieldByName("MEMO")));
  ds->Next();
  ds->Prior();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "cached");
  EXPECT_EQ(ServerRows("select MEMO from B where ID = 1").at(0), "first");
  ds->CancelUpdates();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "first");
}

TEST_F(BlobEditTest, TheDiskCacheKeysBlobsByTheRecordsPrimaryKey) {
  std::string dir = (std::filesystem::temp_directory_path() / "blobcache-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  struct TRemove {
    std::string Dir;
    ~TRemove() { std::filesystem::remove_all(Dir); }
  } remove{dir};
  db_->BlobSwapSupport()->SetSwapDir(dir);
  db_->BlobSwapSupport()->SetActive(true);
  TEditDataSet* ds = OpenB();
  EXPECT_EQ(ds->FieldByName("MEMO")->AsString(), "first");
  EXPECT_TRUE(std::filesystem::exists(dir + "/B/MEMO/1.blb"));
  // Another dataset reads the value from the file.
  TEditDataSet* again = OpenB(" where ID = 1");
  std::unique_ptr<TStream> s(again->CreateBlobStream(again->FieldByName("MEMO"), bmRead));
  auto* stream = dynamic_cast<TFIBDSBlobStream*>(s.get());
  ASSERT_NE(stream, nullptr);
  ASSERT_NE(stream->Inner(), nullptr);
  EXPECT_EQ(stream->Inner()->GetAsString(), "first");
  EXPECT_TRUE(stream->Inner()->FromCache());
  EXPECT_EQ(stream->Inner()->KeyText(), "1");
  s.reset();
  db_->BlobSwapSupport()->SetActive(false);
}

TEST_F(BlobEditTest, ClientOnlyFieldsAreFilledByTheApplication) {
  TEditDataSet* ds = NewEdit("select ID, cast(null as blob sub_type 0) as PIC from B order by ID", "", "", "");
  int fills = 0;
  ds->SetOnFillClientBlob({form_, [&](TFIBCustomDataSet* DataSet, TFIBBlobField*, TFIBBlobStream* Stream) {
                             ++fills;
                             const String value = "pic " + DataSet->FieldByName("ID")->AsString();
                             Stream->Write(value.data(), static_cast<Int64>(value.size()));
                           }});
  ds->Open();
  auto* pic = dynamic_cast<TFIBBlobField*>(ds->FieldByName("PIC"));
  ASSERT_NE(pic, nullptr);
  pic->SetIsClientField(true);
  ds->Next();
  EXPECT_EQ(pic->AsString(), "pic 2");
  EXPECT_EQ(pic->AsString(), "pic 2");
  EXPECT_EQ(fills, 1);
  EXPECT_TRUE(pic->ReadOnly());
  // Written in browse state, through the same stream.
  std::unique_ptr<TStream> w(ds->CreateBlobStream(pic, bmWrite));
  w->WriteBuffer("mine", 4);
  w.reset();
  EXPECT_EQ(pic->AsString(), "mine");
}

}  // namespace
