// Record locking with poProtectedEdit and the server's record count, on an
// embedded database with a second attachment that holds, changes or
// deletes rows. Every transaction is wait-free: a conflict is reported at
// once, never waited for.
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/datasets/DSContainer.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

const char* const kNoWait = "write\nnowait\nread_committed\nrec_version";
const char* const kUpdate = "update PEOPLE set NAME = ?NAME where ID = ?OLD_ID";
const char* const kRefresh = "select ID, NAME, GRP from PEOPLE where ID = ?OLD_ID";

// The message of what Call raises; a failure when nothing is raised.
String ErrorMessage(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const Exception& e) {
    return e.Message();
  }
  ADD_FAILURE() << "nothing raised";
  return String();
}

class LockTest : public dstest::TDataSetSuite<LockTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table PEOPLE (ID integer not null primary key, NAME varchar(20), GRP integer)",
            "create table \"Orders\" (\"Nr\" integer not null primary key, \"Name\" varchar(20))",
            "insert into \"Orders\" values (1, 'one')", "insert into \"Orders\" values (2, 'two')"};
  }

 protected:
  void SetUp() override {
    TDataSetSuite::SetUp();
    InitializeUnits({&unit_pFIBDataSet});
    ResetRows();
    db_->DefaultTransaction()->TRParams()->SetText(kNoWait);
    other_ = Connect("UTF8");
    other_->DefaultTransaction()->TRParams()->SetText(kNoWait);
  }

  // Both attachments' transactions ended, the rows as at the start.
  void ResetRows() {
    for (TFIBDatabase* db : {db_, other_})
      if (db != nullptr && db->DefaultTransaction()->Active()) db->DefaultTransaction()->Rollback();
    file_->Exec({"delete from PEOPLE", "insert into PEOPLE values (1, 'one', 1)",
                 "insert into PEOPLE values (2, 'two', 1)", "insert into PEOPLE values (3, 'three', 2)",
                 "insert into PEOPLE values (4, 'four', 3)", "insert into PEOPLE values (5, 'five', 4)"});
  }

  // People in ID order, editable through UpdateSQL, locked on edit.
  TpFIBDataSet* NewPeople(const String& Select = "select ID, NAME, GRP from PEOPLE order by ID",
                          const String& Update = kUpdate) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetName("People");
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(Select);
    ds->UpdateSQL()->SetText(Update);
    ds->RefreshSQL()->SetText(kRefresh);
    ds->SetOptions(ds->Options() + TpFIBDsOptions{poProtectedEdit});
    return ds;
  }

  // Runs SQL on the second attachment, in its open transaction.
  void OtherExec(const String& SQL) {
    TFIBTransaction* tr = other_->DefaultTransaction();
    if (!tr->Active()) tr->StartTransaction();
    fbtest::ExecSQL(tr, SQL);
  }
  void OtherCommit() { other_->DefaultTransaction()->Commit(); }
  void OtherRollback() { other_->DefaultTransaction()->Rollback(); }
  String StoredName(int ID) {
    return file_->QueryValue("select NAME from PEOPLE where ID = " + std::to_string(ID));
  }

  TFIBDatabase* other_ = nullptr;
};

TEST_F(LockTest, LockStatementTexts) {
  struct TCase {
    const char* Name;
    std::function<void(TpFIBDataSet*)> Setup;
    const char* Text;
  } cases[] = {
      // The first field of the update table assigns itself.
      {"update", [](TpFIBDataSet*) {}, "UPDATE PEOPLE SET ID=ID WHERE ID = ?OLD_ID\r\n"},
      {"select for lock",
       [](TpFIBDataSet* ds) { ds->SetOptions(ds->Options() + TpFIBDsOptions{poUseSelectForLock}); },
       "SELECT 0 FROM PEOPLE WHERE ID = ?OLD_ID FOR UPDATE WITH LOCK\r\n"},
      {"event",
       [](TpFIBDataSet* ds) {
         ds->SetOnLockSQLText([](TFIBDataSet*, String& Text) { Text = "update PEOPLE set GRP = GRP where ID = ?ID"; });
       },
       "update PEOPLE set GRP = GRP where ID = ?ID\r\n"},
      // Written per post: the key fields on the update table.
      {"key fields",
       [](TpFIBDataSet* ds) {
         TAutoUpdateOptions* o = ds->AutoUpdateOptions();
         o->SetAutoReWriteSqls(true);
         o->SetCanChangeSQLs(true);
         o->SetUpdateOnlyModifiedFields(true);
         o->SetUpdateTableName("PEOPLE");
         o->SetKeyFields("ID");
       },
       "UPDATE PEOPLE SET ID=ID WHERE ID=?ID\r\n"},
      // No field comes from the table: the update's first column.
      {"no field of the table",
       [](TpFIBDataSet* ds) { ds->SelectSQL()->SetText("select ID + 0 as ID, NAME || '' as NAME from PEOPLE"); },
       "UPDATE PEOPLE SET NAME=NAME WHERE ID = ?OLD_ID\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TpFIBDataSet* ds = NewPeople();
    c.Setup(ds);
    ds->Open();
    EXPECT_EQ(ds->LockRecord(true), lsSuccess);
    EXPECT_EQ(ds->LockQuery()->SQL()->Text(), c.Text);
    EXPECT_EQ(ds->LockQuery()->Transaction(), ds->UpdateTransaction());
    // The row is held: the other attachment cannot change it.
    EXPECT_THROW(OtherExec("update PEOPLE set NAME = 'x' where ID = 1"), EFIBError);
    OtherRollback();
    db_->DefaultTransaction()->Rollback();
    delete ds;
  }

  // Nothing to lock, or nothing to lock with.
  TpFIBDataSet* bare = NewPeople("select ID, NAME, GRP from PEOPLE", "");
  EXPECT_EQ(dstest::ClientError([&] { bare->LockRecord(true); }), 29);
  bare->Open();
  EXPECT_EQ(ErrorMessage([&] { bare->LockRecord(true); }), "Unable to lock record. Update query is empty");
  bare->AutoUpdateOptions()->SetAutoReWriteSqls(true);
  bare->AutoUpdateOptions()->SetUpdateTableName("PEOPLE");
  EXPECT_EQ(ErrorMessage([&] { bare->LockRecord(false); }), "Unable to lock record. Update query is empty");
}

TEST_F(LockTest, KeyFieldLocksNameTheColumnsOfTheirFields) {
  // Statements written per post: the lock names the key fields' columns
  // and the update table as the generated statements name them.
  struct TCase {
    const char* Name;
    const char* Select;
    const char* Table;
    const char* Keys;
    const char* Hold;  // what the lock keeps the other attachment from
  } cases[] = {
      {"aliased key", "select ID as ORDER_ID, NAME, GRP from PEOPLE order by ID", "PEOPLE", "ORDER_ID",
       "update PEOPLE set NAME = 'x' where ID = 1"},
      {"mixed-case table", "select \"Nr\", \"Name\" from \"Orders\" order by \"Nr\"", "Orders", "Nr",
       "update \"Orders\" set \"Name\" = 'x' where \"Nr\" = 1"},
      {"aliased key of a mixed-case table", "select o.\"Nr\" as NUM, o.\"Name\" from \"Orders\" o order by 1",
       "Orders", "NUM", "update \"Orders\" set \"Name\" = 'x' where \"Nr\" = 1"},
  };
  for (bool select : {false, true}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (select ? ", select for lock" : ""));
      TpFIBDataSet* ds = NewPeople(c.Select, "");
      ds->RefreshSQL()->Clear();
      if (select) ds->SetOptions(ds->Options() + TpFIBDsOptions{poUseSelectForLock});
      TAutoUpdateOptions* o = ds->AutoUpdateOptions();
      o->SetAutoReWriteSqls(true);
      o->SetCanChangeSQLs(true);
      o->SetUpdateOnlyModifiedFields(true);
      o->SetUpdateTableName(c.Table);
      o->SetKeyFields(c.Keys);
      ds->Open();
      EXPECT_NO_THROW(ds->Edit());
      EXPECT_EQ(ds->State(), dsEdit);
      EXPECT_THROW(OtherExec(c.Hold), EFIBError);
      OtherRollback();
      ds->Cancel();
      db_->DefaultTransaction()->Rollback();
      delete ds;
    }
  }
}

TEST_F(LockTest, EveryLockStatus) {
  const char* byGroup = "update PEOPLE set NAME = ?NAME where GRP = ?OLD_GRP";
  auto hold = [this](TpFIBDataSet*) { OtherExec("update PEOPLE set NAME = 'held' where ID = 1"); };
  auto selectForLock = [](TpFIBDataSet* ds) { ds->SetOptions(ds->Options() + TpFIBDsOptions{poUseSelectForLock}); };
  struct TCase {
    const char* Name;
    const char* Update;
    std::function<void(TpFIBDataSet*)> Before;
    TLockStatus Status;
    const char* Message;  // after "Error of record updating:"; nullptr: the server's
  } cases[] = {
      {"success", kUpdate, [](TpFIBDataSet*) {}, lsSuccess, ""},
      {"held by another transaction", kUpdate, hold, lsDeadLock, "Deadlock detected"},
      {"held, select for lock", kUpdate,
       [&](TpFIBDataSet* ds) {
         selectForLock(ds);
         hold(ds);
       },
       lsDeadLock, "Deadlock detected"},
      {"deleted meanwhile", kUpdate,
       [this](TpFIBDataSet*) {
         OtherExec("delete from PEOPLE where ID = 1");
         OtherCommit();
       },
       lsNotExist, "Record does not exist"},
      {"two rows", byGroup, [](TpFIBDataSet*) {}, lsMultiply, "Attempt to edit multiple records"},
      {"two rows, select for lock", byGroup, selectForLock, lsMultiply, "Attempt to edit multiple records"},
      {"server error", "update PEOPLE set NAME = ?NAME where NOPE = ?OLD_ID", [](TpFIBDataSet*) {}, lsUnknownError,
       nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetRows();
    TpFIBDataSet* ds = NewPeople("select ID, NAME, GRP from PEOPLE order by ID", c.Update);
    ds->Open();
    c.Before(ds);
    EXPECT_EQ(ds->LockRecord(false), c.Status);
    if (c.Status != lsSuccess) {
      // The edit is refused and the dataset stays in browse state.
      const String message = ErrorMessage([&] { ds->Edit(); });
      EXPECT_EQ(ds->State(), dsBrowse);
      if (c.Message != nullptr) {
        EXPECT_EQ(message, String("Error of record updating:") + c.Message);
      } else {
        EXPECT_EQ(message.rfind("Error of record updating:", 0), 0u) << message;
        EXPECT_NE(message.find("NOPE"), String::npos) << message;
      }
    }
    delete ds;
  }
}

TEST_F(LockTest, LockErrorActions) {
  TpFIBDataSet* ds = NewPeople();
  ds->Open();
  OtherExec("update PEOPLE set NAME = 'held' where ID = 1");

  // Fail with the handler's own message.
  TLockStatus seen = lsSuccess;
  ds->SetOnLockError([&](TDataSet*, TLockStatus Status, String& Message, TDataAction&) {
    seen = Status;
    Message = "busy: " + Message;
  });
  EXPECT_EQ(ErrorMessage([&] { ds->Edit(); }), "busy: Error of record updating:Deadlock detected");
  EXPECT_EQ(seen, lsDeadLock);

  // Abort: silent, still browsing.
  ds->SetOnLockError([](TDataSet*, TLockStatus, String&, TDataAction& Action) { Action = daAbort; });
  EXPECT_THROW(ds->Edit(), EAbort);
  EXPECT_EQ(ds->State(), dsBrowse);

  // Retry until the other transaction ends: the edit then begins on the
  // row as the other user left it.
  int calls = 0;
  ds->SetOnLockError([&](TDataSet*, TLockStatus, String&, TDataAction& Action) {
    if (++calls == 2) OtherCommit();
    Action = daRetry;
  });
  ds->Edit();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "held");
  ds->Cancel();
}

TEST_F(LockTest, LockWritesNothing) {
  // NAME is the first field of the table: a lock that wrote the cached
  // value back would undo the other user's committed change.
  TpFIBDataSet* ds = NewPeople("select NAME, ID, GRP from PEOPLE order by ID");
  ds->Open();
  OtherExec("update PEOPLE set NAME = 'changed' where ID = 1");
  OtherCommit();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "one");
  ds->Edit();
  EXPECT_EQ(ds->LockQuery()->SQL()->Text(), "UPDATE PEOPLE SET NAME=NAME WHERE ID = ?OLD_ID\r\n");
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "changed");  // read again after the lock
  ds->Cancel();
  db_->DefaultTransaction()->Commit();
  EXPECT_EQ(StoredName(1), "changed");

  // An edited record is locked once: posting marks it until the
  // transaction ends.
  ds->Open();
  int locks = 0;
  ds->SetOnLockSQLText([&](TFIBDataSet*, String&) { ++locks; });
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("mine");
  ds->Post();
  ds->Edit();
  ds->Cancel();
  EXPECT_EQ(locks, 1);
  db_->DefaultTransaction()->Commit();
  EXPECT_EQ(StoredName(1), "mine");
}

TEST_F(LockTest, CachedUpdatesLockWithTheOldValues) {
  TpFIBDataSet* ds = NewPeople();
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("local");
  ds->Post();
  // The condition names the field: it takes the value the server has.
  ds->SetOnLockSQLText([](TFIBDataSet*, String& Text) {
    Text = "update PEOPLE set NAME = NAME where ID = ?ID and NAME = ?NAME";
  });
  EXPECT_EQ(ds->LockRecord(false), lsSuccess);
  EXPECT_EQ(ds->LockQuery()->ParamByName("NAME")->AsString(), "one");
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "local");
  EXPECT_EQ(StoredName(1), "one");
}

TEST_F(LockTest, ServerRecordCount) {
  TpFIBDataSet* ds = NewPeople("select ID, NAME from PEOPLE where ID >= :MINID order by ID");
  ds->Params()->ByName("MINID")->SetAsInteger(2);
  ds->Open();
  // Without psAskRecordCount only the fetched rows count.
  EXPECT_LT(ds->FetchedCount(), 4);
  EXPECT_EQ(ds->ServerRecordCount(), 0);
  EXPECT_EQ(ds->RecordCount(), ds->FetchedCount());
  EXPECT_FALSE(ds->IsSequenced());
  ds->Close();

  ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psAskRecordCount});
  ds->Open();
  EXPECT_EQ(ds->ServerRecordCount(), 4);
  EXPECT_LT(ds->FetchedCount(), 4);
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_TRUE(ds->IsSequenced());
  EXPECT_EQ(ds->CountQuery()->SQL()->Text().rfind("Select Count(*) from (select ID, NAME from PEOPLE", 0), 0u);
  // Visible record numbers count what was fetched.
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poVisibleRecno});
  EXPECT_EQ(ds->RecordCount(), ds->FetchedCount());
  ds->SetOptions(ds->Options() - TpFIBDsOptions{poVisibleRecno});
  ds->Close();

  // The event's text, with the select's parameters.
  ds->SetOnAskRecordCount([](TFIBDataSet*, String& Text) {
    Text = "select count(*) * 10 from PEOPLE where ID >= :MINID";
  });
  ds->Open();
  EXPECT_EQ(ds->RecordCount(), 40);
  ds->Close();

  // A failing count stops the open.
  ds->SetOnAskRecordCount([](TFIBDataSet*, String& Text) { Text = "select count(*) from NO_SUCH_TABLE"; });
  const String message = ErrorMessage([&] { ds->Open(); });
  EXPECT_EQ(message.rfind("People unable to get number of records\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("NO_SUCH_TABLE"), String::npos) << message;
  EXPECT_FALSE(ds->Active());

  // No active read transaction, no count.
  if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
  EXPECT_EQ(ds->GetServerRecordCount(), 0);
}

}  // namespace
