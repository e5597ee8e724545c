#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

// Records the components it watches when they are freed (a new object at
// the address of a freed one is watched afresh).
class TFreeProbe : public TComponent {
 public:
  TFreeProbe() : TComponent(nullptr) {}
  void Watch(TComponent* Component) {
    std::erase(freed_, Component);
    FreeNotification(Component);
  }
  bool Freed(TComponent* Component) const { return std::find(freed_.begin(), freed_.end(), Component) != freed_.end(); }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) freed_.push_back(AComponent);
  }

 private:
  std::vector<TComponent*> freed_;
};

constexpr const char* kSelect = "select ID from T where ID = :ID";

class CacheQueriesTest : public fbtest::TFIBSuiteTest<CacheQueriesTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer)", "insert into T values (1)", "insert into T values (2)"};
  }

 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    form_ = new TComponent(nullptr);
    db_ = NewDatabase();
    tr_ = NewTransaction(db_);
  }
  void TearDown() override {
    delete form_;
    delete probe_;
  }

  // Connected, without the server-time statement of a connect.
  TFIBDatabase* NewDatabase() {
    TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file_->Path());
    db->SetSynchronizeTime(false);
    db->Connect();
    return db;
  }
  TFIBTransaction* NewTransaction(TFIBDatabase* Db) {
    auto* tr = new TFIBTransaction(form_);
    tr->SetDefaultDatabase(Db);
    return tr;
  }
  static TCacheQueries* Cache(TFIBDatabase* Db) {
    TCriticalSectionGuard lock(CacheList()->Lock());
    return CacheList()->FindCache(Db);
  }
  // Gets, runs and hands back a statement of the text; the statement.
  TFIBQuery* RunCached(TFIBTransaction* Tr, const String& SQL, Integer Id = 1) {
    TFIBQuery* q = GetQueryForUse(Tr, SQL);
    if (!Tr->Active()) Tr->StartTransaction();
    q->ParamByName("ID")->SetAsInteger(Id);
    q->ExecQuery();
    EXPECT_EQ(q->Fields(0)->AsInteger(), Id);
    FreeQueryForUse(q);
    return q;
  }

  TComponent* form_ = nullptr;
  TFreeProbe* probe_ = new TFreeProbe;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
};

TEST_F(CacheQueriesTest, HandedBackStatementComesBackPreparedAndClosedForTheSameTrimmedText) {
  TFIBQuery* q = GetQueryForUse(tr_, kSelect);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->Database(), db_);
  EXPECT_EQ(q->Transaction(), tr_);
  EXPECT_EQ(q->Owner(), nullptr);
  tr_->StartTransaction();
  q->ParamByName("ID")->SetAsInteger(2);
  q->ExecQuery();  // left open
  const isc_stmt_handle handle = q->Handle();
  FreeQueryForUse(q);

  for (const char* same : {kSelect, "  select ID from T where ID = :ID\r\n", "\r\n\tselect ID from T where ID = :ID "}) {
    SCOPED_TRACE(same);
    TFIBQuery* again = GetQueryForUse(tr_, same);
    EXPECT_EQ(again, q);
    EXPECT_FALSE(again->Open());
    EXPECT_TRUE(again->Prepared());
    EXPECT_EQ(again->Handle(), handle);
    FreeQueryForUse(again);
  }
  for (const char* other : {"SELECT ID FROM T WHERE ID = :ID", "select ID  from T where ID = :ID"}) {
    SCOPED_TRACE(other);
    TFIBQuery* different = GetQueryForUse(tr_, other);
    EXPECT_NE(different, q);
    FreeQueryForUse(different);
  }
  EXPECT_EQ(Cache(db_)->FreeCount(), 3);
  EXPECT_EQ(Cache(db_)->InUseCount(), 0);
}

TEST_F(CacheQueriesTest, StatementsInUseAreNotSharedAndASurplusOneIsFreedOnRelease) {
  TFIBQuery* first = GetQueryForUse(tr_, kSelect);
  TFIBQuery* second = GetQueryForUse(tr_, kSelect);
  ASSERT_NE(first, second);
  EXPECT_EQ(Cache(db_)->InUseCount(), 2);
  probe_->Watch(first);
  probe_->Watch(second);

  FreeQueryForUse(first);
  FreeQueryForUse(second);  // the text is taken by the first
  EXPECT_FALSE(probe_->Freed(first));
  EXPECT_TRUE(probe_->Freed(second));
  EXPECT_EQ(Cache(db_)->FreeCount(), 1);
  EXPECT_EQ(Cache(db_)->InUseCount(), 0);
  EXPECT_EQ(GetQueryForUse(tr_, kSelect), first);

  FreeQueryForUse(first);
  FreeQueryForUse(first);  // handed back twice: still one free entry
  EXPECT_EQ(Cache(db_)->FreeCount(), 1);
  EXPECT_FALSE(probe_->Freed(first));
}

TEST_F(CacheQueriesTest, RequestWithAnotherTransactionMovesTheStatement) {
  TFIBQuery* q = RunCached(tr_, kSelect);
  tr_->Commit();
  TFIBTransaction* other = NewTransaction(db_);
  TFIBQuery* again = GetQueryForUse(other, kSelect);
  EXPECT_EQ(again, q);
  EXPECT_EQ(again->Transaction(), other);
  other->StartTransaction();
  again->ExecQuery();
  EXPECT_EQ(again->Fields(0)->AsInteger(), 1);
  FreeQueryForUse(again);
}

TEST_F(CacheQueriesTest, RequestsWithoutDatabaseGiveNoneAndForeignStatementsAreLeftAlone) {
  auto* loose = new TFIBTransaction(form_);
  EXPECT_EQ(GetQueryForUse(loose, kSelect), nullptr);
  EXPECT_EQ(GetQueryForUse(nullptr, kSelect), nullptr);
  FreeQueryForUse(nullptr);

  auto* own = new TFIBQuery(form_);
  own->SetDatabase(db_);
  own->SQL()->SetText(kSelect);
  probe_->Watch(own);
  FreeQueryForUse(own);
  EXPECT_FALSE(probe_->Freed(own));
  EXPECT_NE(GetQueryForUse(tr_, kSelect), own);
}

TEST_F(CacheQueriesTest, DatabasesDoNotShareStatements) {
  TFIBDatabase* second = NewDatabase();
  TFIBTransaction* secondTr = NewTransaction(second);
  TFIBQuery* a = RunCached(tr_, kSelect);
  TFIBQuery* b = RunCached(secondTr, kSelect, 2);
  EXPECT_NE(a, b);
  EXPECT_EQ(b->Database(), second);
  EXPECT_NE(Cache(db_), Cache(second));
  EXPECT_EQ(Cache(db_)->FreeCount(), 1);
  EXPECT_EQ(Cache(second)->FreeCount(), 1);
}

TEST_F(CacheQueriesTest, DisconnectFreesTheFreeStatementsAndKeepsThoseInUse) {
  TFIBQuery* free = RunCached(tr_, kSelect);
  TFIBQuery* inUse = GetQueryForUse(tr_, "select ID from T where ID = :ID and 1 = 1");
  probe_->Watch(free);
  probe_->Watch(inUse);
  db_->Close();
  EXPECT_TRUE(probe_->Freed(free));
  EXPECT_FALSE(probe_->Freed(inUse));
  EXPECT_EQ(Cache(db_)->FreeCount(), 0);
  EXPECT_EQ(Cache(db_)->InUseCount(), 1);
  FreeQueryForUse(inUse);
  EXPECT_EQ(Cache(db_)->FreeCount(), 1);

  db_->Connect();
  TFIBQuery* fresh = GetQueryForUse(tr_, kSelect);
  probe_->Watch(fresh);
  FreeQueryForUse(fresh);
  EXPECT_EQ(RunCached(tr_, kSelect, 2), fresh);  // prepared anew
  EXPECT_FALSE(probe_->Freed(fresh));
  EXPECT_EQ(Cache(db_)->FreeCount(), 2);
}

TEST_F(CacheQueriesTest, FreeingTheDatabaseFreesItsCacheWithEveryStatement) {
  TFIBDatabase* other = NewDatabase();
  TFIBTransaction* otherTr = NewTransaction(other);
  TFIBQuery* free = RunCached(otherTr, kSelect);
  TFIBQuery* inUse = GetQueryForUse(otherTr, kSelect);
  RunCached(tr_, kSelect);
  probe_->Watch(free);
  probe_->Watch(inUse);
  const int caches = CacheList()->Count();

  delete other;
  EXPECT_TRUE(probe_->Freed(free));
  EXPECT_TRUE(probe_->Freed(inUse));
  EXPECT_EQ(CacheList()->Count(), caches - 1);
  EXPECT_EQ(Cache(other), nullptr);
  EXPECT_EQ(Cache(db_)->FreeCount(), 1);

  // A new cache for a new database.
  TFIBDatabase* next = NewDatabase();
  RunCached(NewTransaction(next), kSelect);
  EXPECT_EQ(CacheList()->Count(), caches);
}

TEST_F(CacheQueriesTest, StatementFreedElsewhereLeavesOnlyItsOwnEntry) {
  TFIBQuery* a = GetQueryForUse(tr_, kSelect);
  TFIBQuery* b = GetQueryForUse(tr_, kSelect);
  FreeQueryForUse(b);
  delete a;  // in use, same text as the free b
  EXPECT_EQ(Cache(db_)->InUseCount(), 0);
  ASSERT_EQ(Cache(db_)->FreeCount(), 1);
  EXPECT_EQ(GetQueryForUse(tr_, kSelect), b);

  FreeQueryForUse(b);
  delete b;  // free
  EXPECT_EQ(Cache(db_)->FreeCount(), 0);
  TFIBQuery* c = GetQueryForUse(tr_, kSelect);
  EXPECT_EQ(Cache(db_)->InUseCount(), 1);
  FreeQueryForUse(c);
}

TEST_F(CacheQueriesTest, FreeCachedQueryHandleUnpreparesTheFreeStatementOnly) {
  TFIBQuery* q = RunCached(tr_, kSelect);
  ASSERT_TRUE(q->Prepared());
  FreeCachedQueryHandle(db_, "select ID from T");  // another text: nothing
  EXPECT_TRUE(q->Prepared());
  FreeCachedQueryHandle(db_, String(" ") + kSelect);
  EXPECT_FALSE(q->Prepared());
  EXPECT_EQ(q->Handle(), isc_stmt_handle{0});
  EXPECT_EQ(RunCached(tr_, kSelect, 2), q);  // still cached, prepared again

  TFIBQuery* inUse = GetQueryForUse(tr_, kSelect);
  FreeCachedQueryHandle(db_, kSelect);  // not free: kept as it is
  EXPECT_TRUE(inUse->Prepared());
  FreeQueryForUse(inUse);
  FreeCachedQueryHandle(nullptr, kSelect);
}

TEST_F(CacheQueriesTest, UnitFinalizationFreesTheCachedStatements) {
  TFIBQuery* free = RunCached(tr_, kSelect);
  TFIBQuery* inUse = GetQueryForUse(tr_, "select ID from T where ID = :ID and 1 = 1");
  probe_->Watch(free);
  probe_->Watch(inUse);
  FinalizeUnits();
  EXPECT_EQ(CacheList(), nullptr);
  EXPECT_TRUE(probe_->Freed(free));
  EXPECT_TRUE(probe_->Freed(inUse));
  EXPECT_EQ(GetQueryForUse(tr_, kSelect), nullptr);
  fbtest::InitFIBUnits();
  ASSERT_NE(CacheList(), nullptr);
  db_->Connect();
  RunCached(tr_, kSelect);
}

// Two threads get and hand back statements at once: each on a database of
// its own, executing them, and both on one shared database, where no
// statement may be handed to both at the same time.
TEST_F(CacheQueriesTest, ConcurrentGetAndReleaseFromTwoThreads) {
  const String texts[] = {kSelect, "select ID from T where ID = :ID and 1 = 1", "select ID from T where ID = :ID and 2 = 2"};
  TFIBTransaction* own[2] = {NewTransaction(NewDatabase()), NewTransaction(NewDatabase())};
  for (TFIBTransaction* tr : own) tr->StartTransaction();
  TFIBTransaction* shared = tr_;

  std::mutex heldLock;
  std::set<TFIBQuery*> held;
  std::atomic<int> failures{0};
  auto worker = [&](TFIBTransaction* tr) {
    for (int i = 0; i < 300; ++i) {
      const String& text = texts[i % 3];
      TFIBQuery* q = GetQueryForUse(tr, text);
      q->ParamByName("ID")->SetAsInteger(1 + i % 2);
      q->ExecQuery();
      if (q->Fields(0)->AsInteger() != 1 + i % 2) ++failures;
      FreeQueryForUse(q);

      TFIBQuery* s = GetQueryForUse(shared, text);
      {
        std::lock_guard guard(heldLock);
        if (!held.insert(s).second) ++failures;
      }
      std::this_thread::yield();
      {
        std::lock_guard guard(heldLock);
        held.erase(s);
      }
      FreeQueryForUse(s);
    }
  };
  std::thread t1(worker, own[0]);
  std::thread t2(worker, own[1]);
  t1.join();
  t2.join();

  EXPECT_EQ(failures.load(), 0);
  for (TFIBDatabase* db : {own[0]->DefaultDatabase(), own[1]->DefaultDatabase(), db_}) {
    EXPECT_EQ(Cache(db)->FreeCount(), 3);
    EXPECT_EQ(Cache(db)->InUseCount(), 0);
  }
}

}  // namespace
