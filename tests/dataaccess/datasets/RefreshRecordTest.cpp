// Refreshing one record from the server: cached changes and their counters,
// a refresh that fails, a fetch handler that stops fetching, and a locally
// sorted dataset whose record changed its sort key on the server.
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

using dstest::ClientError;

namespace {

constexpr const char* kReadCommitted = "write\nnowait\nread_committed\nrec_version";

class RefreshRecordTest : public dstest::TExtendedDataSetSuite<RefreshRecordTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table R (ID integer not null primary key, NAME varchar(20), N integer)"};
  }

 protected:
  void SetUp() override {
    TExtendedDataSetSuite::SetUp();
    db_->DefaultTransaction()->TRParams()->SetText(kReadCommitted);
    file_->Exec({"delete from R", "insert into R values (1, 'b', 10)", "insert into R values (2, 'd', 20)",
                 "insert into R values (3, 'f', 30)", "insert into R values (4, 'h', 40)"});
  }

  // The rows of R with hand-written modifying and refresh statements.
  TpFIBDataSet* Open(bool Cached) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select ID, NAME, N from R order by ID");
    ds->UpdateSQL()->SetText("update R set NAME = ?NAME, N = ?N where ID = ?OLD_ID");
    ds->InsertSQL()->SetText("insert into R (ID, NAME, N) values (?ID, ?NAME, ?N)");
    ds->DeleteSQL()->SetText("delete from R where ID = ?OLD_ID");
    ds->RefreshSQL()->SetText("select ID, NAME, N from R where ID = ?OLD_ID");
    ds->SetCachedUpdates(Cached);
    ds->Open();
    ds->FetchAll();
    return ds;
  }

  // The records as ID/NAME/N, the hidden ones left out.
  static String Rows(TDataSet* DataSet) {
    String rows;
    for (DataSet->First(); !DataSet->Eof(); DataSet->Next()) {
      rows += (rows.empty() ? "" : " ") + DataSet->FieldByName("ID")->AsString() + "/" +
              DataSet->FieldByName("NAME")->AsString() + "/" + DataSet->FieldByName("N")->AsString();
    }
    return rows;
  }

  // The rows of R on the server, through another attachment.
  String ServerRows() {
    return file_->QueryValue(
        "select list(ID || '/' || coalesce(NAME, '') || '/' || coalesce(N, ''), ' ') "
        "from (select * from R order by ID)");
  }

  // The records whose cached status waits to be applied.
  static Integer PendingRecords(TFIBCustomDataSet* DataSet) {
    Integer pending = 0;
    for (Integer n = 0; n < DataSet->FetchedCount(); ++n) {
      const TCachedUpdateStatus status = DataSet->StatusInCache(n);
      if (status == cusModified || status == cusInserted || status == cusDeleted) ++pending;
    }
    return pending;
  }

  static void Locate(TDataSet* DataSet, Integer ID) {
    ASSERT_TRUE(DataSet->Locate("ID", Variant(ID), {})) << ID;
  }
  static void EditName(TDataSet* DataSet, Integer ID, const String& Name) {
    Locate(DataSet, ID);
    DataSet->Edit();
    DataSet->FieldByName("NAME")->SetAsString(Name);
    DataSet->Post();
  }
};

TEST_F(RefreshRecordTest, CachedChangesAndTheirCountersAgreeAfterARefresh) {
  struct TCase {
    const char* Name;
    std::function<void(TpFIBDataSet*)> Change;  // cached changes, then refreshes
    Integer Changed;                            // ChangedCount afterwards
    const char* Records;
    const char* ServerAfterApply;
  } cases[] = {
      {"a modified record refreshed",
       [](TpFIBDataSet* ds) {
         EditName(ds, 2, "x");
         ds->Refresh();
       },
       0, "1/b/10 2/d/20 3/f/30 4/h/40", "1/b/10 2/d/20 3/f/30 4/h/40"},
      {"one of two modified records refreshed",
       [](TpFIBDataSet* ds) {
         EditName(ds, 2, "x");
         EditName(ds, 3, "y");
         Locate(ds, 2);
         ds->Refresh();
       },
       1, "1/b/10 2/d/20 3/y/30 4/h/40", "1/b/10 2/d/20 3/y/30 4/h/40"},
      {"an unmodified record refreshed beside a modified one",
       [](TpFIBDataSet* ds) {
         EditName(ds, 4, "z");
         Locate(ds, 1);
         ds->Refresh();
       },
       1, "1/b/10 2/d/20 3/f/30 4/z/40", "1/b/10 2/d/20 3/f/30 4/z/40"},
      {"an inserted record cannot be refreshed and stays",
       [](TpFIBDataSet* ds) {
         ds->Append();
         ds->FieldByName("ID")->SetAsInteger(5);
         ds->FieldByName("NAME")->SetAsString("new");
         ds->Post();
         EXPECT_EQ(ClientError([&] { ds->Refresh(); }), fceCannotRefreshRow);
       },
       1, "1/b/10 2/d/20 3/f/30 4/h/40 5/new/", "1/b/10 2/d/20 3/f/30 4/h/40 5/new/"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    file_->Exec({"delete from R where ID > 4", "update R set NAME = ascii_char(96 + 2 * ID)"});
    TpFIBDataSet* ds = Open(true);
    c.Change(ds);
    EXPECT_EQ(ds->ChangedCount(), c.Changed);
    EXPECT_EQ(PendingRecords(ds), c.Changed);
    EXPECT_EQ(ds->UpdatesPending(), c.Changed > 0);
    EXPECT_EQ(Rows(ds), c.Records);
    ds->ApplyUpdates();
    db_->DefaultTransaction()->Commit();
    EXPECT_EQ(ServerRows(), c.ServerAfterApply);
    EXPECT_EQ(ds->ChangedCount(), 0);
    EXPECT_FALSE(ds->UpdatesPending());
    delete ds;
  }
}

TEST_F(RefreshRecordTest, AFailedRefreshLeavesTheRecordAsItWas) {
  for (bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached updates" : "posted");
    file_->Exec("update R set NAME = ascii_char(96 + 2 * ID)");
    TpFIBDataSet* ds = Open(cached);
    if (cached) EditName(ds, 2, "x");
    Locate(ds, 2);
    // NAME comes first and fits; N does not: nothing of the row is taken.
    file_->Exec("update R set NAME = 'server' where ID = 2");
    ds->RefreshSQL()->SetText("select NAME, cast(N as double precision) as N from R where ID = ?OLD_ID");
    EXPECT_EQ(ClientError([&] { ds->Refresh(); }), fceColumnTypesMismatch);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), cached ? "x" : "d");
    EXPECT_EQ(ds->UpdateStatus(), cached ? usModified : usUnmodified);
    EXPECT_EQ(ds->ChangedCount(), cached ? 1 : 0);
    EXPECT_EQ(Rows(ds), cached ? "1/b/10 2/x/20 3/f/30 4/h/40" : "1/b/10 2/d/20 3/f/30 4/h/40");
    // The record reads as it was from the cache, and a working refresh still
    // takes the server's row.
    ds->RefreshSQL()->SetText("select ID, NAME, N from R where ID = ?OLD_ID");
    if (cached) {
      ds->ApplyUpdates();
      db_->DefaultTransaction()->Commit();
      EXPECT_EQ(ServerRows(), "1/b/10 2/x/20 3/f/30 4/h/40");
    } else {
      Locate(ds, 2);
      ds->Refresh();
      EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "server");
    }
    delete ds;
  }
}

TEST_F(RefreshRecordTest, StopFetchingDuringARefreshAddsNoRecord) {
  TpFIBDataSet* ds = Open(false);
  bool stop = false;
  ds->SetAfterFetchRecord({form_, [&](TFIBQuery*, Integer, bool& Stop) { Stop = stop; }});
  file_->Exec("update R set N = 21 where ID = 2");
  stop = true;
  Locate(ds, 2);
  EXPECT_NO_THROW(ds->Refresh());
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 21);
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(Rows(ds), "1/b/10 2/d/21 3/f/30 4/h/40");
}

TEST_F(RefreshRecordTest, ARefreshedRecordKeepsItsSortedPlace) {
  struct TCase {
    Integer ID;
    const char* NewName;
    const char* Names;  // the records' names after the refresh, in order
  } cases[] = {
      {1, "g", "d f g h"},  // forward, between two records
      {4, "a", "a b d f"},  // backward, to the front
      {2, "z", "b f h z"},  // to the end
      {3, "e", "b d e h"},  // changed, same place
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.NewName);
    file_->Exec("update R set NAME = ascii_char(96 + 2 * ID)");
    TpFIBDataSet* ds = Open(false);
    ds->SetOptions(ds->Options() + TpFIBDsOptions{poKeepSorting});
    ds->DoSort({"NAME"}, {true});  // b d f h
    file_->Exec(("update R set NAME = '" + std::string(c.NewName) + "' where ID = " + std::to_string(c.ID)).c_str());
    Locate(ds, c.ID);
    ds->Refresh();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), c.ID);  // still the active record
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), c.NewName);
    String names;
    for (ds->First(); !ds->Eof(); ds->Next()) names += (names.empty() ? "" : " ") + ds->FieldByName("NAME")->AsString();
    EXPECT_EQ(names, c.Names);
    delete ds;
  }
}

}  // namespace
