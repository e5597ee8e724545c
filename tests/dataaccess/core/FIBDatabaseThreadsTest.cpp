// Threads that each make, use and free database components of their own,
// embedded and through the server. Built with ThreadSanitizer (the "threads"
// label), this shows the process-wide parts (connect lock, statement cache,
// client library, database list) shared safely.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "tests/support/fb/FIBSuiteFixture.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

constexpr int kThreads = 8;
constexpr int kSelects = 300;

// Each thread, twice: a database and a transaction of its own, connect
// (the server time comes through the statement cache), selects (half
// through a statement of its own, half through the cache; 300 in all),
// disconnect, free. Returns the failures seen, as text.
std::vector<std::string> RunThreads(const std::string& Path) {
  static const char* const kNames[] = {"one", "two", "three"};
  std::mutex lock;
  std::vector<std::string> failures;
  auto fail = [&](const std::string& Text) {
    std::lock_guard guard(lock);
    failures.push_back(Text);
  };
  // One round: make, connect, select, disconnect, free.
  auto round = [&](int Thread, int Selects) {
    std::unique_ptr<TFIBDatabase> db(fbtest::NewFIBDatabase(nullptr, Path));
    auto* tr = new TFIBTransaction(db.get());
    tr->SetDefaultDatabase(db.get());
    db->SetDefaultTransaction(tr);
    db->Connect();
    tr->StartTransaction();
    auto* q = new TFIBQuery(db.get());
    q->SetDatabase(db.get());
    q->SetTransaction(tr);
    q->SQL()->SetText("select NAME from T where ID = :ID");
    for (int i = 0; i < Selects; ++i) {
      const int id = 1 + (i + Thread) % 3;
      String name;
      if (i % 2 == 0) {
        q->ParamByName("ID")->SetAsInteger(id);
        q->ExecQuery();
        name = q->Eof() ? String("(none)") : q->Fields(0)->AsString();
        q->Close();
      } else {
        name = VarToStr(db->QueryValue("select NAME from T where ID = " + IntToStr(id), 0, tr));
      }
      if (name != kNames[id - 1]) fail("thread " + std::to_string(Thread) + ": " + name);
    }
    tr->Commit();
    db->Close();
  };
  // The rounds of the threads differ in length, so that databases are
  // made on some threads while others free theirs.
  auto worker = [&](int Thread) {
    try {
      const int first = 20 + 40 * Thread;
      round(Thread, first);
      round(Thread, kSelects - first);
    } catch (const std::exception& e) {
      fail("thread " + std::to_string(Thread) + ": " + e.what());
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (std::thread& t : threads) t.join();
  return failures;
}

class DatabaseThreadsTest : public fbtest::TFIBSuiteTest<DatabaseThreadsTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer, NAME varchar(10))", "insert into T values (1, 'one')",
            "insert into T values (2, 'two')", "insert into T values (3, 'three')"};
  }
};

TEST_F(DatabaseThreadsTest, ThreadsCreateUseAndFreeTheirOwnDatabasesEmbedded) {
  EXPECT_EQ(RunThreads(file_->Path()), std::vector<std::string>{});
}

TEST_F(DatabaseThreadsTest, ThreadsCreateUseAndFreeTheirOwnDatabasesThroughTheServer) {
  if (!fbtest::ServerAvailable()) GTEST_SKIP() << "no server on 127.0.0.1:3050";
  fbtest::TTempDatabase file("UTF8");
  file.Exec(Tables());
  EXPECT_EQ(RunThreads(file.ServerPath()), std::vector<std::string>{});
}

}  // namespace
