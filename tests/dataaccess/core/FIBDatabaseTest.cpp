#include "dataaccess/core/FIBDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "tests/support/fb/FIBTestSupport.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

using namespace std::chrono_literals;
using fbtest::ExecSQL;
using fbtest::NewFIBDatabase;

// One database file for the suite, with a table T (ID) and a commit trigger
// that refuses commits of a transaction that asked for it.
class FIBDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fbtest::InitFIBUnits();
    file_ = new fbtest::TTempDatabase("UTF8");
    file_->Exec({"create table T (ID integer)", "create exception REFUSED 'commit refused'",
                 "create trigger REFUSE_COMMIT on transaction commit as begin "
                 "if (rdb$get_context('USER_TRANSACTION', 'REFUSE') = '1') then exception REFUSED; end"});
  }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
    fbtest::FinishFIBUnits();
  }
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

  static fbtest::TTempDatabase* file_;
  TComponent* form_ = nullptr;
};

fbtest::TTempDatabase* FIBDatabaseTest::file_ = nullptr;

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

TEST_F(FIBDatabaseTest, ChangedParametersRebuildTheBlockAtTheNextConnect) {
  TFIBDatabase* db = NewDatabase();
  db->Connect();
  EXPECT_EQ(db->GetAttachmentCharSetID(), 4);
  db->Close();
  db->ConnectParams()->SetCharSet("win1251");
  db->Connect();
  EXPECT_EQ(db->GetAttachmentCharSetID(), 52);
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

}  // namespace
