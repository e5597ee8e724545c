#include "dataaccess/core/FIBDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "tests/support/fb/FIBSuiteFixture.h"
#include "tests/support/fb/FIBTestSupport.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

using namespace std::chrono_literals;
using fbtest::ExecSQL;
using fbtest::NewFIBDatabase;
using Clock = std::chrono::steady_clock;

// Records what reaches it: handler calls, link notifications and log texts.
class TRecorder : public TComponent, public ISQLLogger {
 public:
  using TComponent::TComponent;

  void RegisterDatabase(TFIBDatabase* Database) override { log.push_back("register " + Database->Name()); }
  void WriteData(const String& ObjectName, const String& Operation, const String& Value, TLogFlag Kind) override {
    log.push_back(ObjectName + "|" + Operation + "|" + Value + "|" + IntToStr(static_cast<Integer>(Kind)));
  }
  TLogFlags LogFlags() const override { return {lfConnect, lfTransact}; }

  TNotifyEvent Note(const String& Text) {
    return TNotifyEvent(this, [this, Text](TObject*) { log.push_back(Text); });
  }
  TEndTrEvent EndNote(const String& Text) {
    return TEndTrEvent(this, [this, Text](TFIBTransaction*, TTransactionAction Action, bool Force) {
      log.push_back(Text + " " + IntToStr(static_cast<Integer>(Action)) + (Force ? " forced" : ""));
    });
  }
  // A link whose ten notifications are recorded with its name.
  std::unique_ptr<TFIBBase> Link(TObject* Owner, const String& Name) {
    auto link = std::make_unique<TFIBBase>(Owner);
    auto note = [this, Name](const char* what) {
      return TFIBBaseNotifyEvent(this, [this, Name, what](TFIBBase*) { log.push_back(Name + " " + what); });
    };
    link->SetOnDatabaseConnecting(note("connecting"));
    link->SetOnDatabaseConnected(note("connected"));
    link->SetOnDatabaseDisconnecting(note("disconnecting"));
    link->SetOnDatabaseDisconnected(note("disconnected"));
    link->SetOnDatabaseFree(note("database free"));
    link->SetOnTransactionStarting(note("starting"));
    link->SetOnTransactionStarted(note("started"));
    link->SetOnTransactionEnding(note("ending"));
    link->SetOnTransactionEnded(note("ended"));
    link->SetOnTransactionFree(note("transaction free"));
    return link;
  }

  std::vector<String> log;
};

using Log = std::vector<String>;

// One database file for the suite, with a table T (ID) and a commit trigger
// that refuses commits of a transaction that asked for it.
class FIBDatabaseTest : public fbtest::TFIBSuiteTest<FIBDatabaseTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer)", "create exception REFUSED 'commit refused'",
            "create trigger REFUSE_COMMIT on transaction commit as begin "
            "if (rdb$get_context('USER_TRANSACTION', 'REFUSE') = '1') then exception REFUSED; end"};
  }

 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    form_ = new TComponent(nullptr);
    form_->SetName("Form1");
    file_->Exec("delete from T");
  }
  void TearDown() override { delete form_; }

  TFIBDatabase* NewDatabase(const String& Name = "DB1", const std::string& CharSet = "UTF8") {
    TFIBDatabase* db = NewFIBDatabase(form_, file_->Path(), CharSet);
    db->SetName(Name);
    return db;
  }
  TFIBTransaction* NewTransaction(TFIBDatabase* Db, const String& Name = "Tr1") {
    auto* tr = new TFIBTransaction(form_);
    tr->SetName(Name);
    tr->SetDefaultDatabase(Db);
    return tr;
  }
  static std::string Count() { return file_->QueryValue("select count(*) from T"); }

  TComponent* form_ = nullptr;
};


TEST(FIBServerVersion, ParsesNumbersFromTheFifthCharacter) {
  struct Case {
    const char* text;
    Integer major, minor, release, build;
  };
  const Case cases[] = {
      {"LI-V3.0.11.33637 Firebird 3.0", 3, 0, 11, 33637},
      {"WI-V2.5.9.27139 Firebird 2.5", 2, 5, 9, 27139},
      {"WI-V6.5.0.1", 6, 5, 0, -1},  // the last character is never read
      {"LI-V3..1 x", 3, 0, 1, -1},   // an empty run counts as 0
      {"", -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    Integer numbers[4] = {-1, -1, -1, -1};
    ParseServerVersionText(c.text, numbers);
    EXPECT_EQ(numbers[0], c.major) << c.text;
    EXPECT_EQ(numbers[1], c.minor) << c.text;
    EXPECT_EQ(numbers[2], c.release) << c.text;
    EXPECT_EQ(numbers[3], c.build) << c.text;
  }
}

TEST_F(FIBDatabaseTest, ConnectReadsTheServerAndDisconnects) {
  TFIBDatabase* db = NewDatabase();
  int connects = 0;
  db->SetOnConnect({form_, [&](TObject*) { ++connects; }});
  db->Connect();
  ASSERT_TRUE(db->Connected());
  EXPECT_EQ(connects, 1);
  EXPECT_GT(db->GetAttachmentID(), 0);
  EXPECT_TRUE(db->IsFirebirdConnect());
  EXPECT_EQ(db->GetServerMajorVersion(), 3);
  EXPECT_EQ(db->GetServerMinorVersion(), 0);
  EXPECT_GT(db->GetServerBuild(), 0);
  EXPECT_EQ(db->GetFirebirdVersion().substr(0, 5), "LI-V3");
  EXPECT_EQ(db->GetDatabaseSQLDialect(), 3);
  EXPECT_GE(db->GetODSVersion(), 12);
  EXPECT_LT(std::abs(db->ServerTimeDifference()) * 86400.0, 5.0);
  db->Disconnect(false);
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(db->GetAttachmentID(), -1);
}

TEST_F(FIBDatabaseTest, AttachmentCharacterSetDecidesTheUnicodeFlags) {
  struct Case {
    const char* charset;
    Integer id;
    bool unicode, unicodeOrNone;
  };
  const Case cases[] = {{"UTF8", 4, true, true}, {"WIN1251", 52, false, false}, {"NONE", 0, false, true}};
  for (const Case& c : cases) {
    TFIBDatabase* db = NewDatabase("DB_" + String(c.charset), c.charset);
    db->Connect();
    EXPECT_EQ(db->GetAttachmentCharSetID(), c.id) << c.charset;
    EXPECT_EQ(db->NeedUnicodeConvert(), c.unicode) << c.charset;
    EXPECT_EQ(db->IsUnicodeCharSet(), c.unicodeOrNone) << c.charset;
    EXPECT_EQ(db->IsODS11_1(), c.unicodeOrNone) << c.charset;  // Firebird 3, ODS 12
    EXPECT_EQ(db->BytesPerCharacter(4), 4);
    EXPECT_TRUE(db->UnicodeCharSetIDs().test(4));
    db->Close();
    delete db;
  }
}

TEST_F(FIBDatabaseTest, NotConnectedFlagsComeFromTheCharSetParameter) {
  TFIBDatabase* db = NewDatabase("DB1", "");
  EXPECT_TRUE(db->IsUnicodeCharSet());
  EXPECT_FALSE(db->NeedUnicodeConvert());
  EXPECT_EQ(db->BytesPerCharacter(4), 1);
  EXPECT_EQ(db->BytesPerCharacter(3), 3);
  db->ConnectParams()->SetCharSet("utf8");
  EXPECT_TRUE(db->NeedUnicodeConvert());
  EXPECT_EQ(db->UnicodeCharSetIDs().count(), 1u);
}

TEST_F(FIBDatabaseTest, DatabasesShareOneBindingPerLibraryName) {
  TFIBDatabase* db = NewDatabase();
  IIBClientLibrary* lib = db->GetClientLibrary();
  TFIBDatabase* other = NewDatabase("DB2");
  EXPECT_EQ(other->GetClientLibrary(), lib);
  std::thread([&] {
    std::unique_ptr<TFIBDatabase> elsewhere(NewFIBDatabase(nullptr, file_->Path()));
    EXPECT_EQ(elsewhere->GetClientLibrary(), lib);
  }).join();
  delete db;
  delete other;
  EXPECT_EQ(NewDatabase()->GetClientLibrary(), lib) << "kept after the last database went";
  TFIBDatabase* renamed = NewDatabase("DB3");
  renamed->SetLibraryName("gds32.dll");
  EXPECT_NE(renamed->GetClientLibrary(), lib);
}

TEST_F(FIBDatabaseTest, FailedConnectsRaiseAndLeaveTheDatabaseClosed) {
  TFIBDatabase* db = NewDatabase();
  db->SetDBName("");
  db->SetLibraryName("no-such-client-library.so");
  try {
    db->Connect();
    FAIL() << "connected without a name";
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Database name is missing.");  // before the library is loaded
  }
  db->SetLibraryName(DefaultLibraryName);
  db->SetDBName(file_->Folder() + "/missing.fdb");
  try {
    db->Connect();
    FAIL() << "connected to a missing file";
  } catch (const EFIBInterBaseError& e) {
    EXPECT_EQ(e.IBErrorCode(), isc_io_error);
    EXPECT_NE(e.Message().find("missing.fdb"), String::npos);
    EXPECT_NE(e.Message().find("Form1.DB1:"), String::npos);
  }
  EXPECT_FALSE(db->Connected());
  // The connect lock is free again: another thread connects.
  TFIBDatabase* other = NewDatabase("DB2");
  std::thread([other] { other->Connect(); }).join();
  EXPECT_TRUE(other->Connected());
  db->SetDBName(file_->Path());
  db->Connect();
  EXPECT_TRUE(db->Connected());
}

TEST_F(FIBDatabaseTest, ChangesWhileConnectedAreRefused) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  const String name = db->DBName();
  EXPECT_THROW(db->SetDBName("other.fdb"), EFIBClientError);
  EXPECT_EQ(db->DBName(), name);
  EXPECT_THROW(db->DBParams()->Add("sql_role_name=R"), EFIBClientError);
  EXPECT_THROW(db->SetLibraryName("other.so"), EFIBClientError);
  EXPECT_THROW(db->Connect(), EFIBClientError);
  try {
    db->SetDBName("other.fdb");
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Cannot perform operation -- DB is currently open.");
  }
}

TEST_F(FIBDatabaseTest, DesignerConnectsOnDemandAndClosesForChanges) {
  TFIBDatabase* db = NewDatabase();
  db->SetDesigning(true);
  db->CheckActive();  // connects instead of raising
  EXPECT_TRUE(db->Connected());
  EXPECT_FALSE(db->UseLoginPrompt());
  db->DBParams()->Add("sql_role_name=R");  // no refusal in a designer
  db->SetDBName(file_->Folder() + "/other.fdb");
  EXPECT_FALSE(db->Connected());
  // A failing connect is tried once more with the prompt; failures are swallowed.
  const TDBLoginDialogProc saved = DBLoginDialogProc;
  static int prompts = 0;
  DBLoginDialogProc = [](const String&, String&, String&, String&) { return ++prompts, false; };
  db->CheckActive();
  DBLoginDialogProc = saved;
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(prompts, 1);
  EXPECT_FALSE(db->UseLoginPrompt());
}

TEST_F(FIBDatabaseTest, ChangedParametersRebuildTheBlockAtTheNextConnect) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  EXPECT_EQ(db->GetAttachmentCharSetID(), 4);
  db->Close();
  db->ConnectParams()->SetCharSet("win1251");
  db->Connect();
  EXPECT_EQ(db->GetAttachmentCharSetID(), 52);
}

TEST_F(FIBDatabaseTest, ARefusedParameterBlockIsNotReplacedByTheOldOne) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  db->Close();
  db->DBParams()->Add("no_such_item=1");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      db->Connect();
      FAIL() << "connected with the block of the earlier parameters";
    } catch (const EFIBClientError& e) {
      EXPECT_EQ(e.Message(), "DPB Constant (no_such_item) is unknown.");
    }
  }
  EXPECT_FALSE(db->Connected());
}

TEST_F(FIBDatabaseTest, UnitFinalizationClosesOpenDatabases) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  FinalizeUnits();
  EXPECT_FALSE(db->Connected());
  fbtest::InitFIBUnits();
}

TEST_F(FIBDatabaseTest, DialectIsLoweredToTheDatabasesOwn) {
  fbtest::TTempDatabase dialect1("NONE", 1);
  TFIBDatabase* db = NewFIBDatabase(form_, dialect1.Path(), "NONE");
  ASSERT_EQ(db->SQLDialect(), 3);
  db->Connect();
  EXPECT_EQ(db->GetDatabaseSQLDialect(), 1);
  EXPECT_EQ(db->SQLDialect(), 1);
  try {
    db->SetSQLDialect(3);
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "SQL Dialect invalid");
  }
  EXPECT_THROW(db->SetSQLDialect(0), EFIBClientError);
  EXPECT_GT(db->QueryServerTime(), 40000.0);  // the dialect-1 form of the query
  db->Close();
}

// --- Transactions ---------------------------------------------------------------

TEST_F(FIBDatabaseTest, TransactionsCommitAndRollBackWithAndWithoutRetaining) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  TFIBTransaction* tr = NewTransaction(db);
  tr->StartTransaction();
  ASSERT_TRUE(tr->Active());
  EXPECT_GT(tr->TransactionID(), 0);
  ExecSQL(tr, "insert into T values (1)");
  tr->CommitRetaining();
  EXPECT_TRUE(tr->Active());
  EXPECT_EQ(Count(), "1");
  ExecSQL(tr, "insert into T values (2)");
  tr->RollbackRetaining();
  EXPECT_TRUE(tr->Active());
  ExecSQL(tr, "insert into T values (3)");
  tr->Commit();
  EXPECT_FALSE(tr->Active());
  EXPECT_EQ(tr->TransactionID(), 0);
  EXPECT_EQ(Count(), "2");
  tr->SetActive(true);
  ExecSQL(tr, "insert into T values (4)");
  tr->SetActive(false);  // rolls back
  EXPECT_FALSE(tr->Active());
  EXPECT_EQ(Count(), "2");
}

TEST_F(FIBDatabaseTest, TransactionStateErrorsNameTheComponent) {
  TFIBDatabase* db = NewDatabase();
  auto* tr = new TFIBTransaction(form_);
  tr->SetName("Tr1");
  try {
    tr->StartTransaction();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Form1.Tr1 :No databases are listed in transaction component.");
  }
  tr->SetDefaultDatabase(db);
  try {
    tr->Commit();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Form1.Tr1 :Transaction is not active.");
  }
  try {
    tr->StartTransaction();  // the database is not open
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Form1.DB1: Cannot perform operation -- DB is not open.");
  }
  db->Connect();
  tr->StartTransaction();
  try {
    tr->StartTransaction();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Form1.Tr1 :Transaction is active.");
  }
  EXPECT_THROW(tr->TRParams()->Add("read"), EFIBClientError);
  EXPECT_THROW(tr->SetDefaultDatabase(nullptr), EFIBClientError);
}

TEST_F(FIBDatabaseTest, OneTransactionOverTwoDatabases) {
  fbtest::TTempDatabase second("UTF8");
  second.Exec("create table T (ID integer)");
  TFIBDatabase* db1 = NewDatabase("DB1");
  TFIBDatabase* db2 = NewFIBDatabase(form_, second.Path());
  db1->Connect();
  db2->Connect();
  TFIBTransaction* tr = NewTransaction(db1);
  EXPECT_EQ(tr->AddDatabase(db2), 1);
  EXPECT_EQ(tr->AddDatabase(db2), 1);
  EXPECT_EQ(tr->MainDatabase(), db1);
  tr->StartTransaction();
  EXPECT_EQ(db1->FirstActiveTransaction(), tr);
  EXPECT_EQ(db2->ActiveTransactionCount(), 1);
  ExecSQL(tr, "insert into T values (1)", db1);
  ExecSQL(tr, "insert into T values (2)", db2);
  tr->Rollback();
  EXPECT_EQ(Count(), "0");
  tr->StartTransaction();
  ExecSQL(tr, "insert into T values (1)", db1);
  ExecSQL(tr, "insert into T values (2)", db2);
  tr->Commit();
  db2->Close();
  EXPECT_EQ(Count(), "1");
  EXPECT_EQ(second.QueryValue("select ID from T"), "2");
}

TEST_F(FIBDatabaseTest, ParameterLinesBuildTheTransactionBlock) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  TFIBTransaction* tr = NewTransaction(db);
  tr->TRParams()->SetText("read\nconcurrency\nnowait");
  tr->StartTransaction();
  EXPECT_THROW(ExecSQL(tr, "insert into T values (1)"), EFIBInterBaseError);  // read-only
  tr->Rollback();
  tr->TRParams()->SetText("write\nno_such_item");
  try {
    tr->StartTransaction();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "TPB Constant (no_such_item) is unknown.");
  }
  EXPECT_FALSE(tr->Active());
}

TEST_F(FIBDatabaseTest, DisconnectEndsActiveTransactionsByTheirTimeoutAction) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  TFIBTransaction* committing = NewTransaction(db, "Tr1");
  committing->SetTimeoutAction(TACommitRetaining);  // ends as a hard commit
  TFIBTransaction* rolling = NewTransaction(db, "Tr2");
  committing->StartTransaction();
  rolling->StartTransaction();
  ExecSQL(committing, "insert into T values (1)");
  ExecSQL(rolling, "insert into T values (2)");
  db->Close();
  EXPECT_FALSE(committing->Active());
  EXPECT_FALSE(rolling->Active());
  EXPECT_EQ(file_->QueryValue("select list(ID) from T"), "1");
}

TEST_F(FIBDatabaseTest, FreeingAConnectedDatabaseDisconnectsIt) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  TFIBTransaction* tr = NewTransaction(db);
  tr->SetTimeoutAction(TACommit);
  tr->StartTransaction();
  ExecSQL(tr, "insert into T values (1)");
  db->SetBeforeDisconnect({form_, [](TObject*) { throw Exception("refused"); }});
  delete db;  // the handler's refusal does not keep the attachment
  EXPECT_FALSE(tr->Active());
  EXPECT_EQ(tr->DatabaseCount(), 0);
  EXPECT_EQ(tr->DefaultDatabase(), nullptr);
  EXPECT_EQ(Count(), "1");
}

// --- Handlers, links and logger ---------------------------------------------------

TEST_F(FIBDatabaseTest, StartAndEndRunHandlersAndLinksInTheirOrder) {
  TFIBDatabase* db = NewDatabase();
  db->SetSynchronizeTime(false);
  db->Connect();
  TFIBTransaction* tr = NewTransaction(db);
  auto* rec = new TRecorder(form_);
  auto l1 = rec->Link(nullptr, "L1");
  auto l2 = rec->Link(nullptr, "L2");
  l1->SetTransaction(tr);
  l2->SetTransaction(tr);
  EXPECT_EQ(l1->Database(), db);  // the transaction's main database
  const TNotifyEvent bs1 = rec->Note("before start 1");
  tr->AddTransactionEvent(tekBeforeStart, bs1);
  tr->AddTransactionEvent(tekBeforeStart, bs1);  // once only
  tr->AddTransactionEvent(tekBeforeStart, rec->Note("before start 2"));
  tr->AddTransactionEvent(tekAfterStart, rec->Note("after start 1"));
  tr->AddTransactionEvent(tekAfterStart, rec->Note("after start 2"));
  tr->AddEndTransactionEvent(tekBeforeEnd, rec->EndNote("before end 1"));
  tr->AddEndTransactionEvent(tekBeforeEnd, rec->EndNote("before end 2"));
  tr->AddEndTransactionEvent(tekAfterEnd, rec->EndNote("after end 1"));
  tr->AddEndTransactionEvent(tekAfterEnd, rec->EndNote("after end 2"));
  tr->StartTransaction();
  tr->Commit();
  const Log expected = {"L1 starting",    "L2 starting",    "before start 2", "before start 1",
                        "after start 2",  "after start 1",  "L1 started",     "L2 started",
                        "L2 ending",      "L1 ending",      "before end 1 2", "before end 2 2",
                        "L2 ended",       "L1 ended",       "after end 1 2",  "after end 2 2"};
  EXPECT_EQ(rec->log, expected);

  rec->log.clear();
  tr->RemoveTransactionEvent(tekBeforeStart, bs1);
  tr->StartTransaction();
  tr->RollbackRetaining();
  EXPECT_EQ(rec->log[2], "before start 2");
  EXPECT_EQ(rec->log[3], "after start 2");
  EXPECT_EQ(rec->log.back(), "after end 2 1");
  tr->Rollback();

  EXPECT_THROW(tr->AddTransactionEvent(tekBeforeEnd, bs1), EAssertionFailed);
  EXPECT_THROW(tr->AddEndTransactionEvent(tekAfterStart, rec->EndNote("x")), EAssertionFailed);
  EXPECT_THROW(tr->AddTransactionEvent(7, bs1), EAssertionFailed);

  // Freeing the transaction: before-destroy handlers, then the links drop it.
  rec->log.clear();
  tr->AddTransactionEvent(tekBeforeDestroy, rec->Note("before destroy"));
  delete tr;
  EXPECT_EQ(rec->log, (Log{"before destroy", "L2 transaction free", "L1 transaction free"}));
  EXPECT_EQ(l1->Transaction(), nullptr);
  EXPECT_EQ(l1->Database(), db);
}

TEST_F(FIBDatabaseTest, LinksFollowTheDatabaseAndTransaction) {
  TFIBDatabase* db = NewDatabase();
  db->SetSynchronizeTime(false);
  TFIBTransaction* tr = NewTransaction(db);
  db->SetDefaultTransaction(tr);
  auto* query = new TComponent(form_);
  query->SetName("Query1");
  auto* rec = new TRecorder(form_);
  auto l1 = rec->Link(query, "L1");
  try {
    l1->CheckDatabase();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Database not assigned for Form1.Query1.");
  }
  try {
    l1->CheckTransaction();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Transaction not assigned for Form1.Query1.");
  }
  l1->SetDatabase(db);
  EXPECT_EQ(l1->Transaction(), tr);  // the database's default transaction
  EXPECT_THROW(l1->GetDBHandle(), EFIBClientError);

  auto l2 = rec->Link(nullptr, "L2");  // no owner: no default transaction
  l2->SetDatabase(db);
  EXPECT_EQ(l2->Transaction(), nullptr);
  auto l3 = rec->Link(nullptr, "L3");
  l3->SetDatabase(db);
  ASSERT_EQ(db->ClientCount(), 3);
  l2->SetDatabase(nullptr);  // its slot takes the last link
  EXPECT_EQ(db->Clients(1), l3.get());
  l2->SetDatabase(db);

  db->Connect();
  EXPECT_EQ(*l1->GetDBHandle(), db->Handle());
  db->Close();
  EXPECT_EQ(rec->log, (Log{"L1 connecting", "L3 connecting", "L2 connecting", "L1 connected", "L3 connected",
                           "L2 connected", "L1 disconnecting", "L3 disconnecting", "L2 disconnecting",
                           "L1 disconnected", "L3 disconnected", "L2 disconnected"}));

  // A transaction that does not list the link's database brings its own.
  TFIBDatabase* other = NewDatabase("DB2");
  TFIBTransaction* tr2 = NewTransaction(other, "Tr2");
  l3->SetTransaction(tr2);
  EXPECT_EQ(l3->Database(), other);

  rec->log.clear();
  delete db;
  EXPECT_EQ(rec->log, (Log{"L2 database free", "L1 database free"}));
  EXPECT_EQ(l1->Database(), nullptr);
  EXPECT_EQ(l1->Transaction(), nullptr);
  EXPECT_EQ(tr->DatabaseCount(), 0);
}

TEST_F(FIBDatabaseTest, LinkOfAnOwnerBeingReadTakesNoDefaultTransaction) {
  TFIBDatabase* db = NewDatabase();
  db->SetDefaultTransaction(NewTransaction(db));
  auto* query = new TComponent(form_);
  form_->SetLoading(true);
  TFIBBase link(query);
  link.SetDatabase(db);
  EXPECT_EQ(link.Transaction(), nullptr);
  form_->SetLoading(false);
}

TEST_F(FIBDatabaseTest, LoggerReceivesConnectsAndTransactionEnds) {
  TFIBDatabase* db = NewDatabase();
  db->SetSynchronizeTime(false);
  auto* rec = new TRecorder(form_);
  db->SetSQLLogger(rec);
  TFIBTransaction* tr = NewTransaction(db);
  tr->TRParams()->SetText("write\nconcurrency");
  db->Connect();
  tr->StartTransaction();
  const String id = IntToStr(tr->TransactionID());
  tr->Commit();
  db->Close();
  const String params = "TransactionParams:\r\nwrite\r\nconcurrency\r\n";
  EXPECT_EQ(rec->log, (Log{"register DB1", "Form1.DB1|Connect||3",
                           "Form1.Tr1|StartTransaction(TransactionID=" + id + ")|" + params + "|4",
                           "Form1.Tr1|Commit(TransactionID=" + id + ") |" + params + "|4",
                           "Form1.DB1|Disconnect||3"}));
  delete rec;
  EXPECT_EQ(db->SQLLogger(), nullptr);
}

TEST_F(FIBDatabaseTest, ForcedCommitThatTheServerRefusesRollsBackAndIsReported) {
  TFIBDatabase* db = NewDatabase();
  db->SetSynchronizeTime(false);
  auto* rec = new TRecorder(form_);
  TFIBTransaction* tr = NewTransaction(db);
  tr->SetTimeoutAction(TACommit);
  db->Connect();
  tr->StartTransaction();
  ExecSQL(tr, "insert into T values (1)");
  ExecSQL(tr, "execute block as declare x integer; begin "
              "x = rdb$set_context('USER_TRANSACTION', 'REFUSE', '1'); end");
  try {
    tr->Commit();
    FAIL() << "the commit trigger let it pass";
  } catch (const EFIBInterBaseError& e) {
    EXPECT_NE(e.Message().find("Commit refused."), String::npos);
  }
  EXPECT_TRUE(tr->Active());  // an unforced failure keeps it
  db->SetSQLLogger(rec);
  rec->log.clear();
  db->Close();  // ends the transaction with a forced commit
  EXPECT_FALSE(tr->Active());
  EXPECT_EQ(Count(), "0");
  ASSERT_GE(rec->log.size(), 2u);
  EXPECT_EQ(rec->log[0].substr(0, 20), "Form1.Tr1|Commit(Tra");
  EXPECT_NE(rec->log[1].find("|RollBack(TransactionID="), String::npos) << rec->log[1];
  EXPECT_NE(rec->log[1].find("Commit failed, transaction rolled back:"), String::npos) << rec->log[1];
  EXPECT_NE(rec->log[1].find("Commit refused."), String::npos) << rec->log[1];
}

TEST_F(FIBDatabaseTest, DatabaseClosesTwoIntervalsAfterTheLastCall) {
  TFIBDatabase* db = NewDatabase();
  bool closedBeforeTimeout = false;
  int timeouts = 0;
  db->SetOnTimeout({form_, [&](TObject*) {
                      ++timeouts;
                      closedBeforeTimeout = !db->Connected();
                    }});
  db->SetTimeout(300);
  db->Connect();
  const auto lastCall = Clock::now();
  fbtest::PumpMainThread(3s, [&] { return !db->Connected(); });
  const auto elapsed = Clock::now() - lastCall;
  EXPECT_FALSE(db->Connected());
  EXPECT_GE(elapsed, 500ms);
  EXPECT_LT(elapsed, 1500ms);
  EXPECT_EQ(timeouts, 1);
  EXPECT_TRUE(closedBeforeTimeout);
}

TEST_F(FIBDatabaseTest, IdleTransactionEndsWithItsTimeoutAction) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  TFIBTransaction* tr = NewTransaction(db);
  bool endedBeforeTimeout = false;
  tr->SetOnTimeout({form_, [&](TObject*) { endedBeforeTimeout = !tr->Active(); }});
  tr->SetTimeoutAction(TACommit);
  tr->SetTimeout(300);
  EXPECT_EQ(tr->Timeout(), 300u);
  tr->StartTransaction();
  ExecSQL(tr, "insert into T values (1)");
  const auto lastCall = Clock::now();
  fbtest::PumpMainThread(3s, [&] { return !tr->Active(); });
  const auto elapsed = Clock::now() - lastCall;
  EXPECT_FALSE(tr->Active());
  EXPECT_GE(elapsed, 250ms);
  EXPECT_LT(elapsed, 1200ms);
  EXPECT_TRUE(endedBeforeTimeout);
  EXPECT_EQ(Count(), "1");
  EXPECT_TRUE(db->Connected());
  tr->SetTimeout(0);
  EXPECT_EQ(tr->Timeout(), 0u);
}

TEST_F(FIBDatabaseTest, DefaultDatabaseRoleGoesToTheLaterOne) {
  TFIBDatabase* db1 = NewDatabase("DB1");
  TFIBDatabase* db2 = NewDatabase("DB2");
  db1->SetDesignDBOptions({ddoIsDefaultDatabase, ddoStoreConnected});
  EXPECT_EQ(GlobalDefaultDatabase(), db1);
  db2->SetDesignDBOptions({ddoIsDefaultDatabase});
  EXPECT_EQ(GlobalDefaultDatabase(), db2);
  EXPECT_EQ(db1->DesignDBOptions(), TDesignDBOptions{ddoStoreConnected});
  // A transaction placed in a designer takes the default database.
  auto* designer = new TComponent(form_);
  designer->SetDesigning(true);
  auto* tr = new TFIBTransaction(designer);
  EXPECT_EQ(tr->DefaultDatabase(), db2);
  delete db2;
  EXPECT_EQ(GlobalDefaultDatabase(), nullptr);
  EXPECT_EQ(tr->DefaultDatabase(), nullptr);
  db1->SetDesignDBOptions({ddoIsDefaultDatabase});
  db1->SetDesignDBOptions({});
  EXPECT_EQ(GlobalDefaultDatabase(), nullptr);
}

TEST_F(FIBDatabaseTest, TransactionRefusesADatabaseOfAnotherClientLibrary) {
  TFIBDatabase* db1 = NewDatabase("DB1");
  TFIBDatabase* db2 = NewDatabase("DB2");
  db2->SetLibraryName("gds32.dll");
  TFIBTransaction* tr = NewTransaction(db1);
  try {
    tr->AddDatabase(db2);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Form1.Tr1.\r\nTransaction can't work with different client library.");
  }
  EXPECT_EQ(tr->DatabaseCount(), 1);
  EXPECT_EQ(db2->FindTransaction(tr), -1);
  // Replacing the default database keeps one slot.
  tr->SetDefaultDatabase(NewDatabase("DB3"));
  EXPECT_EQ(tr->DatabaseCount(), 1);
  EXPECT_EQ(tr->Databases(0)->Name(), "DB3");
  EXPECT_EQ(db1->FindTransaction(tr), -1);
}

TEST_F(FIBDatabaseTest, MonitorReaderSeesConnectsAndTransactions) {
  // The reader program of the channel, attached before the work starts.
  const String command = String(FIBMONITOR_PATH) + " --prefix " + fbtest::TestMonitorPrefix() +
                         " --kinds connect,transaction --records --limit 5 --time 20000";
  TFIBDatabase* db = NewDatabase();
  db->SetSynchronizeTime(false);
  TFIBTransaction* tr = NewTransaction(db);
  db->Connect();  // opens the channel (no reader yet: no text)
  db->Close();
  FILE* reader = ::popen(command.c_str(), "r");
  ASSERT_NE(reader, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
  ASSERT_STREQ(line, "attached\n");
  db->Connect();
  tr->StartTransaction();
  const String id = IntToStr(tr->TransactionID());
  tr->CommitRetaining();
  tr->Rollback();
  db->Close();
  String output;
  size_t n;
  while ((n = std::fread(line, 1, sizeof line, reader)) > 0) output.append(line, n);
  ::pclose(reader);
  const String expected[] = {
      file_->Path() + ": [Connect]",
      "Tr1: [Start transaction](" + id + ")",
      "Tr1: [Commit retaining (Soft commit)](" + id + ")",
      "Tr1: [Rollback](" + id + ")",
      file_->Path() + ": [Disconnect]",
  };
  size_t at = 0;
  for (const String& text : expected) {
    at = output.find(text, at);
    EXPECT_NE(at, String::npos) << text << " in\n" << output;
    if (at == String::npos) break;
  }
}

// --- Login prompt ----------------------------------------------------------------------

struct TLoginStub {
  static inline int calls = 0;
  static inline bool accept = true;
  static inline String seen;
  static inline std::function<void()> during;
  static bool Run(const String& DBName, String& UserName, String& Password, String& RoleName) {
    ++calls;
    seen = DBName + "|" + UserName + "|" + Password + "|" + RoleName;
    if (during) during();
    if (!accept) return false;
    UserName = "SYSDBA";
    Password = "masterkey";
    RoleName = "";
    return true;
  }
};

TEST_F(FIBDatabaseTest, LoginPromptFillsTheParametersOrCancels) {
  TDBLoginDialogProc saved = DBLoginDialogProc;
  DBLoginDialogProc = nullptr;
  TFIBDatabase* db = NewDatabase();
  db->DBParams()->SetText("isc_dpb_user_name=someone\nlc_ctype=UTF8");
  db->SetUseLoginPrompt(true);
  try {
    db->Connect();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Unable to find Database login dialog. Please, add FIBDBLoginDlg into USES statement of your project.");
  }
  DBLoginDialogProc = &TLoginStub::Run;
  TLoginStub::calls = 0;
  TLoginStub::accept = false;
  try {
    db->Connect();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.Message(), "Operation cancelled at user's request.");
  }
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(TLoginStub::seen, file_->Path() + "|someone||");
  EXPECT_EQ(db->DBParams()->Text(), "isc_dpb_user_name=someone\r\nlc_ctype=UTF8\r\n");

  // The connect lock is held while the prompt is open.
  TFIBDatabase* other = NewDatabase("DB2");
  std::atomic<bool> otherConnected{false};
  std::thread otherThread;
  TLoginStub::accept = true;
  TLoginStub::during = [&] {
    otherThread = std::thread([&] {
      other->Connect();
      otherConnected = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(otherConnected.load());
  };
  db->Connect();
  otherThread.join();
  TLoginStub::during = nullptr;
  EXPECT_TRUE(otherConnected.load());
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(TLoginStub::calls, 2);
  EXPECT_EQ(db->DBParams()->Text(),
            "user_name=SYSDBA\r\nlc_ctype=UTF8\r\npassword=masterkey\r\nsql_role_name=\r\n");
  DBLoginDialogProc = saved;
}

TEST_F(FIBDatabaseTest, ConnectionTestsAnswerForALiveAttachment) {
  TFIBDatabase* db = NewDatabase();
  EXPECT_FALSE(db->IsConnectionAlive());
  EXPECT_FALSE(db->TestConnected());
  db->Connect();
  EXPECT_TRUE(db->IsConnectionAlive());
  EXPECT_TRUE(db->TestConnected());
  EXPECT_FALSE(db->IsDBIdItem4());  // a local attachment
}

// An attachment that the engine has shut down is closed by TestConnected
// even when BeforeDisconnect refuses: the database does not stay
// "connected" to nothing.
TEST_F(FIBDatabaseTest, LostAttachmentIsClosedWhateverBeforeDisconnectDoes) {
  TFIBDatabase* db = NewDatabase();
  TFIBDatabase* killer = NewDatabase("DB2");
  db->Connect();
  killer->Connect();
  TFIBTransaction* lost = NewTransaction(db);
  lost->StartTransaction();
  TFIBTransaction* tr = NewTransaction(killer, "Tr2");
  tr->StartTransaction();
  ExecSQL(tr, "delete from mon$attachments where mon$attachment_id = " + IntToStr(db->GetAttachmentID()));
  tr->Commit();
  int refusals = 0;
  db->SetBeforeDisconnect({form_, [&refusals](TObject*) {
                             ++refusals;
                             throw Exception("refused");
                           }});
  EXPECT_FALSE(db->TestConnected());
  EXPECT_EQ(refusals, 1);
  EXPECT_FALSE(db->Connected());
  EXPECT_FALSE(lost->Active());
  EXPECT_TRUE(killer->TestConnected());
}

// --- Server ---------------------------------------------------------------------------

class FIBServerTest : public FIBDatabaseTest {
 protected:
  void SetUp() override {
    if (!fbtest::ServerAvailable()) GTEST_SKIP() << "no server on 127.0.0.1:3050";
    FIBDatabaseTest::SetUp();
  }
};

TEST_F(FIBServerTest, ConnectsThroughTheServerWithUserAndPassword) {
  fbtest::TTempDatabase file("UTF8");
  file.Exec("create table T (ID integer)");
  TFIBDatabase* db = NewFIBDatabase(form_, file.ServerPath());
  db->Connect();
  EXPECT_TRUE(db->IsFirebirdConnect());
  EXPECT_EQ(db->GetServerMajorVersion(), 3);  // from the Firebird version, not the "6.3" of item 12
  EXPECT_TRUE(db->IsDBIdItem4());
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  tr->StartTransaction();
  ExecSQL(tr, "insert into T values (7)");
  tr->Commit();
  db->Close();
  EXPECT_EQ(file.QueryValue("select ID from T"), "7");

  db->ConnectParams()->SetPassword("wrong");
  try {
    db->Connect();
    FAIL() << "the server took a wrong password";
  } catch (const EFIBInterBaseError& e) {
    EXPECT_EQ(e.IBErrorCode(), isc_login);
    EXPECT_EQ(e.SQLCode(), -902);
    EXPECT_NE(e.Message().find("Your user name and password are not defined"), String::npos);
  }
  EXPECT_FALSE(db->Connected());
}

TEST_F(FIBServerTest, LostAttachmentIsToldAndClosed) {
  fbtest::TTempDatabase file("UTF8");
  TFIBDatabase* db = NewFIBDatabase(form_, file.ServerPath());
  TFIBDatabase* killer = NewFIBDatabase(form_, file.ServerPath());
  db->Connect();
  killer->Connect();
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(killer);
  tr->StartTransaction();
  ExecSQL(tr, "delete from mon$attachments where mon$attachment_id = " + IntToStr(db->GetAttachmentID()));
  tr->Commit();
  EXPECT_FALSE(db->IsConnectionAlive());
  EXPECT_TRUE(db->Connected());
  EXPECT_FALSE(db->TestConnected());
  EXPECT_FALSE(db->Connected());
}

}  // namespace
