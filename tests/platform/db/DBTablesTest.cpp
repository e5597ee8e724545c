// The engine datasets: no engine, engine errors, queries over a fake engine
// with direct and cached updates, databases and transactions, parameters and
// master queries.
#include <gtest/gtest.h>

#include <memory>

#include "platform/db/DBTables.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/FakeDBEngine.h"

namespace {

using Log = std::vector<String>;

TEST(DBTablesTest, WithoutAnEngineOpeningRaisesEngineNotAvailable) {
  IDBEngine* previous = SetDBEngine(nullptr);
  TQuery q(nullptr);
  q.SetDatabaseName("DB");
  q.SQL()->SetText("select * from T");
  try {
    q.Open();
    ADD_FAILURE() << "no error";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.Message(), "database engine not available");
    ASSERT_EQ(e.ErrorCount(), 1);
    EXPECT_EQ(e.Errors(0).ErrorCode(), DBERR_ENGINENOTAVAILABLE);
    EXPECT_EQ(e.Errors(0).Category(), 0x21);
    EXPECT_EQ(e.Errors(0).SubCode(), 0x01);
    EXPECT_EQ(e.Errors(0).NativeError(), 0);
  }
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.Database(), nullptr);
  EXPECT_EQ(TDatabase::Find("DB"), nullptr);  // the temporary database is gone
  EXPECT_THROW(q.Prepare(), EDBEngineError);
  EXPECT_FALSE(q.Prepared());

  TDatabase db(nullptr);
  EXPECT_THROW(db.Open(), EDBEngineError);
  EXPECT_FALSE(db.Connected());
  EXPECT_THROW(db.StartTransaction(), EDatabaseError);
  SetDBEngine(previous);
}

TEST(DBTablesTest, EngineErrorListAndMessage) {
  EDBEngineError e({TDBError(0x2601, 0, "Key violation."), TDBError(0x3303, -803, ""),
                    TDBError(0x2604, 7, "Field value required.")});
  EXPECT_EQ(e.Message(), "Key violation.\nField value required.");
  ASSERT_EQ(e.ErrorCount(), 3);
  EXPECT_EQ(e.Errors(1).Category(), 0x33);
  EXPECT_EQ(e.Errors(1).SubCode(), 0x03);
  EXPECT_EQ(e.Errors(1).NativeError(), -803);
  EXPECT_EQ(e.Errors(2).Message(), "Field value required.");
  EXPECT_THROW(e.Errors(3), EListError);
  EXPECT_THROW(e.Errors(-1), EListError);
  EXPECT_EQ(EDBEngineError(std::vector<TDBError>{}).ErrorCount(), 0);
  // It is a database error: dataset error handlers see it.
  EXPECT_NE(dynamic_cast<const EDatabaseError*>(&e), nullptr);
}

TEST(DBTablesTest, ParameterNamesOfSQL) {
  struct Case {
    const char* sql;
    std::vector<String> names;
  } cases[] = {
      {"select * from T where A = :A and B = :b_2", {"A", "b_2"}},
      {"select * from T where A = :A or :a = 1", {"A"}},                        // once, any case
      {"select ':X', \":Y\" from T -- :Z\nwhere /* :W */ C = :V", {"V"}},      // quotes, comments
      {"select X::integer, :\"two words\" from T", {"two words"}},             // casts; quoted names
      {"select * from T where A = ':unterminated", {}},
      {"update T set A = :Имя", {"Имя"}},
      {"select 1 : 2", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SQLParamNames(c.sql), c.names) << c.sql;
}

class EngineQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& t = engine_.AddTable("DB", "ITEMS",
                               {{"ID", ftInteger, 0, true},
                                {"NAME", ftString, 10},
                                {"PRICE", ftFloat},
                                {"DAY", ftDate},
                                {"OK", ftBoolean},
                                {"NOTE", ftMemo}});
    t.Rows = {{1, "one", 1.5, VarFromDateTime(45000), true, "first"},
              {2, "two", Null(), VarFromDateTime(45001), false, Null()},
              {3, "three", 3.25, Null(), Null(), "third"}};
    q_ = std::make_unique<TQuery>(nullptr);
    q_->SetName("Q");
    q_->SetDatabaseName("DB");
    q_->SQL()->SetText("select * from ITEMS");
  }
  void TearDown() override { q_.reset(); }

  const std::vector<TDBEngineRow>& Rows() { return engine_.Table("DB", "ITEMS").Rows; }
  std::vector<String> TableText() {
    std::vector<String> out;
    for (const auto& r : Rows()) out.push_back(RowText(r));
    return out;
  }
  std::vector<String> Names() {
    std::vector<String> out;
    q_->First();
    while (!q_->Eof()) {
      out.push_back(q_->FieldByName("NAME")->AsString());
      q_->Next();
    }
    return out;
  }
  TField* F(const char* Name) { return q_->FieldByName(Name); }
  // Renames the first row, deletes the second and appends a fourth.
  void MakeChanges() {
    q_->First();
    q_->Edit();
    F("NAME")->SetAsString("uno");
    q_->Post();
    q_->Next();
    q_->Delete();
    q_->Append();
    F("ID")->SetAsInteger(4);
    F("NAME")->SetAsString("four");
    q_->Post();
  }

  TFakeDBEngine engine_;
  std::unique_ptr<TQuery> q_;
};

TEST_F(EngineQuery, OpensWithTheColumnsAndRowsOfTheEngine) {
  q_->Open();
  EXPECT_EQ(engine_.Log, (Log{"Connect(DB)", "Open(select * from ITEMS)"}));
  ASSERT_EQ(q_->FieldCount(), 6);
  EXPECT_TRUE(F("ID")->Required());
  EXPECT_EQ(F("NAME")->Size(), 10);
  EXPECT_EQ(q_->RecordCount(), 3);
  EXPECT_EQ(F("ID")->AsInteger(), 1);
  EXPECT_EQ(F("NAME")->AsString(), "one");
  EXPECT_DOUBLE_EQ(F("PRICE")->AsFloat(), 1.5);
  EXPECT_DOUBLE_EQ(F("DAY")->AsDateTime(), 45000);
  EXPECT_TRUE(F("OK")->AsBoolean());
  EXPECT_EQ(F("NOTE")->AsString(), "first");
  q_->Next();
  EXPECT_TRUE(F("PRICE")->IsNull());
  EXPECT_FALSE(F("OK")->AsBoolean());
  EXPECT_TRUE(F("NOTE")->IsNull());
  EXPECT_EQ(q_->RecNo(), 2);
  ASSERT_NE(q_->Database(), nullptr);
  EXPECT_TRUE(q_->Database()->Temporary());
  EXPECT_EQ(q_->Database()->DataSetCount(), 1);
  EXPECT_TRUE(q_->Locate("NAME", "three", {}));
  EXPECT_DOUBLE_EQ(F("PRICE")->AsFloat(), 3.25);
  q_->Close();
  EXPECT_EQ(q_->Database(), nullptr);
  EXPECT_EQ(TDatabase::Find("DB"), nullptr);
}

TEST_F(EngineQuery, PostsAndDeletesGoToTheEngineAtOnce) {
  q_->Open();
  q_->Edit();
  F("NAME")->SetAsString("uno");
  F("PRICE")->Clear();
  F("NOTE")->SetAsString("changed");
  q_->Post();
  q_->Append();
  F("ID")->SetAsInteger(4);
  F("NAME")->SetAsString("four-and-more");  // cut to the size
  q_->Post();
  q_->First();
  q_->Next();
  q_->Delete();
  engine_.Log.erase(engine_.Log.begin(), engine_.Log.begin() + 2);
  EXPECT_EQ(engine_.Log, (Log{"Modify(1,one,1.5," + DateToStr(45000) + ",True,first>1,uno,null," +
                                  DateToStr(45000) + ",True,changed)",
                              "Insert(4,four-and-m,null,null,null,null)",
                              "Delete(2,two,null," + DateToStr(45001) + ",False,null)"}));
  EXPECT_EQ(Names(), (std::vector<String>{"uno", "three", "four-and-m"}));
  EXPECT_EQ(Rows().size(), 3u);
  EXPECT_EQ(q_->UpdateStatus(), usUnmodified);
  EXPECT_FALSE(q_->UpdatesPending());
}

TEST_F(EngineQuery, AFailedPostKeepsTheEditAndTheTable) {
  q_->Open();
  q_->Edit();
  F("NAME")->SetAsString("uno");
  engine_.Fail("Modify", EDBEngineError(0x2601, "Key violation.", -803));
  int handler_calls = 0;
  q_->SetOnPostError({q_.get(), [&](TDataSet*, EDatabaseError* E, TDataAction&) {
                        ++handler_calls;
                        EXPECT_NE(dynamic_cast<EDBEngineError*>(E), nullptr);
                      }});
  EXPECT_THROW(q_->Post(), EDBEngineError);
  EXPECT_EQ(handler_calls, 1);
  EXPECT_EQ(q_->State(), dsEdit);
  EXPECT_EQ(F("NAME")->AsString(), "uno");
  EXPECT_EQ(VarToStr(Rows()[0][1]), "one");
  q_->Post();  // the engine takes it now
  EXPECT_EQ(VarToStr(Rows()[0][1]), "uno");

  engine_.Fail("Delete", EDBEngineError(0x2606, "Detail records exist."));
  EXPECT_THROW(q_->Delete(), EDBEngineError);
  EXPECT_EQ(q_->RecordCount(), 3);
  EXPECT_EQ(Rows().size(), 3u);
}

TEST_F(EngineQuery, CachedUpdatesStayUntilAppliedAndCommitted) {
  q_->SetCachedUpdates(true);
  q_->Open();
  MakeChanges();
  EXPECT_EQ(q_->UpdateStatus(), usInserted);
  q_->First();
  EXPECT_EQ(q_->UpdateStatus(), usModified);
  EXPECT_TRUE(q_->UpdatesPending());
  EXPECT_EQ(Names(), (std::vector<String>{"uno", "three", "four"}));
  EXPECT_EQ(engine_.Log.size(), 2u);  // nothing sent yet
  EXPECT_EQ(TableText()[0], "1,one,1.5," + DateToStr(45000) + ",True,first");
  EXPECT_THROW(q_->SetCachedUpdates(false), EDatabaseError);

  // A failing apply leaves the cache as it was.
  engine_.Fail("Delete", EDBEngineError(0x2606, "Detail records exist."));
  EXPECT_THROW(q_->ApplyUpdates(), EDBEngineError);
  EXPECT_TRUE(q_->UpdatesPending());
  engine_.Log.clear();
  engine_.Table("DB", "ITEMS").Rows[0][1] = "one";  // as a rollback would leave it
  q_->ApplyUpdates();
  EXPECT_EQ(engine_.Log.size(), 3u);
  EXPECT_EQ(engine_.Log[0].substr(0, 7), "Modify(");
  EXPECT_EQ(engine_.Log[1].substr(0, 7), "Delete(");
  EXPECT_EQ(engine_.Log[2], "Insert(4,four,null,null,null,null)");
  EXPECT_TRUE(q_->UpdatesPending());
  q_->CommitUpdates();
  EXPECT_FALSE(q_->UpdatesPending());
  EXPECT_EQ(Names(), (std::vector<String>{"uno", "three", "four"}));
  q_->SetCachedUpdates(false);
}

TEST_F(EngineQuery, CancelUpdatesRestoresTheRowsOfTheEngine) {
  q_->SetCachedUpdates(true);
  q_->Open();
  MakeChanges();
  q_->First();
  q_->Edit();
  F("NAME")->SetAsString("open edit");
  q_->CancelUpdates();
  EXPECT_EQ(q_->State(), dsBrowse);
  EXPECT_FALSE(q_->UpdatesPending());
  EXPECT_EQ(Names(), (std::vector<String>{"one", "two", "three"}));
  EXPECT_EQ(engine_.Log.size(), 2u);
  TQuery plain(nullptr);
  plain.SetDatabaseName("DB");
  plain.SQL()->SetText("select * from ITEMS");
  plain.Open();
  EXPECT_THROW(plain.ApplyUpdates(), EDatabaseError);
}

TEST_F(EngineQuery, UndoDeleteBringsBackTheLastDeletedRow) {
  q_->Open();
  EXPECT_FALSE(q_->UndoDelete()) << "nothing deleted";
  // Sent to the engine, then rolled back: the row returns where it was.
  q_->Database()->StartTransaction();
  q_->Next();
  q_->Delete();
  q_->Database()->Rollback();
  EXPECT_TRUE(q_->UndoDelete());
  EXPECT_FALSE(q_->UndoDelete()) << "once only";
  EXPECT_EQ(Names(), (std::vector<String>{"one", "two", "three"}));
  EXPECT_EQ(Rows().size(), 3u);
  // A committed deletion stays.
  q_->Database()->StartTransaction();
  q_->Last();
  q_->Delete();
  q_->Database()->Commit();
  EXPECT_FALSE(q_->UndoDelete());
  EXPECT_EQ(Names(), (std::vector<String>{"one", "two"}));
  q_->Close();

  // Cached: the row as it was, the other changes pending.
  q_->SetCachedUpdates(true);
  q_->Open();
  q_->Edit();
  F("NAME")->SetAsString("uno");
  q_->Post();
  q_->Delete();
  EXPECT_TRUE(q_->UndoDelete());
  q_->Append();
  F("ID")->SetAsInteger(4);
  F("NAME")->SetAsString("four");
  q_->Post();
  q_->Delete();
  EXPECT_TRUE(q_->UndoDelete());
  EXPECT_EQ(Names(), (std::vector<String>{"uno", "two", "four"}));
  q_->First();
  EXPECT_EQ(q_->UpdateStatus(), usModified);
  q_->Last();
  EXPECT_EQ(q_->UpdateStatus(), usInserted);
  q_->Delete();
  q_->CancelUpdates();
  EXPECT_FALSE(q_->UndoDelete()) << "cancelled with the rest";
  EXPECT_EQ(Names(), (std::vector<String>{"one", "two"}));
}

TEST_F(EngineQuery, DatabaseComponentTransactionsAndClosing) {
  TDatabase* db = new TDatabase(nullptr);
  db->SetDatabaseName("db");  // names match without case
  engine_.Database("DB").SQLBased = false;
  q_->Open();
  EXPECT_EQ(q_->Database(), db);
  EXPECT_FALSE(db->Temporary());
  EXPECT_FALSE(db->IsSQLBased());
  EXPECT_THROW(db->SetDatabaseName("other"), EDatabaseError);
  EXPECT_EQ(engine_.Log[0], "Connect(db)");

  db->StartTransaction();
  EXPECT_TRUE(db->InTransaction());
  q_->Delete();
  db->Rollback();
  EXPECT_FALSE(db->InTransaction());
  EXPECT_EQ(Rows().size(), 3u);
  db->StartTransaction();
  q_->Delete();
  db->Commit();
  EXPECT_EQ(Rows().size(), 2u);

  engine_.Fail("Commit", EDBEngineError(0x3303, "General SQL error.", -901));
  db->StartTransaction();
  EXPECT_THROW(db->Commit(), EDBEngineError);
  EXPECT_TRUE(db->InTransaction());

  // Closing the database closes its datasets and rolls back.
  engine_.Log.clear();
  db->Close();
  EXPECT_FALSE(q_->Active());
  EXPECT_EQ(q_->Database(), nullptr);
  EXPECT_FALSE(db->InTransaction());
  EXPECT_EQ(engine_.Log, (Log{"Rollback"}));
  EXPECT_THROW(db->Commit(), EDatabaseError);

  // Freeing it too; the datasets then make their own.
  q_->Open();
  delete db;
  EXPECT_FALSE(q_->Active());
  q_->Open();
  EXPECT_TRUE(q_->Database()->Temporary());
}

TEST_F(EngineQuery, ParametersFollowTheSQLAndTheMaster) {
  engine_.AddTable("DB", "PARTS", {{"OWNER", ftInteger}, {"PART", ftString, 10}}).Rows = {
      {1, "a"}, {1, "b"}, {3, "c"}};
  q_->Open();
  TDataSource master(nullptr);
  master.SetDataSet(q_.get());

  TQuery detail(nullptr);
  detail.SetDatabaseName("DB");
  detail.SQL()->SetText("select * from PARTS where OWNER = :ID");
  ASSERT_EQ(detail.ParamCount(), 1);
  detail.ParamByName("ID")->SetAsInteger(3);
  detail.SQL()->SetText("select * from PARTS where OWNER = :id");  // the value stays
  EXPECT_EQ(detail.ParamByName("ID")->AsInteger(), 3);
  detail.Open();
  EXPECT_EQ(detail.RecordCount(), 1);
  detail.SQL()->Add("");  // any change closes it
  EXPECT_FALSE(detail.Active());

  detail.Params()->Items(0)->Clear();
  detail.Params()->Items(0)->SetBound(false);
  detail.SetDataSource(&master);
  detail.Open();
  EXPECT_EQ(detail.RecordCount(), 2);  // the master's ID 1
  q_->Next();
  EXPECT_TRUE(detail.Active());
  EXPECT_EQ(detail.RecordCount(), 0);  // ID 2
  q_->Next();
  EXPECT_EQ(detail.FieldByName("PART")->AsString(), "c");

  TDataSource own(nullptr);
  own.SetDataSet(&detail);
  EXPECT_THROW(detail.SetDataSource(&own), EDatabaseError);
  detail.Close();

  detail.SQL()->SetText("delete from PARTS where OWNER = :ID");
  detail.ExecSQL();
  EXPECT_EQ(detail.RowsAffected(), 1);
  EXPECT_EQ(engine_.Log.back(), "Exec(delete from PARTS where OWNER = :ID)");
  detail.Prepare();
  EXPECT_TRUE(detail.Prepared());
  EXPECT_NE(detail.Database(), nullptr);
  detail.UnPrepare();
  EXPECT_EQ(detail.Database(), nullptr);
}

}  // namespace
