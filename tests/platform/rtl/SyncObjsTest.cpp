#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/rtl/SyncObjs.h"

namespace {

constexpr Cardinal kHangGuardMs = 10000;  // only reached when the code under test hangs
constexpr Cardinal kBlockedMs = 50;       // how long a blocked step is given to (wrongly) proceed

bool TryEnterElsewhere(TCriticalSection& cs) {
  bool entered = false;
  std::thread([&] {
    entered = cs.TryEnter();
    if (entered) cs.Leave();
  }).join();
  return entered;
}

}  // namespace

TEST(CriticalSection, RecursiveOwnedAndGuarded) {
  TCriticalSection cs;
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());  // the owner re-enters
  cs.Leave();
  EXPECT_FALSE(TryEnterElsewhere(cs));  // still held once
  bool foreign_leave_refused = false;
  std::thread([&] {
    try {
      cs.Leave();
    } catch (const ESyncObjectException&) {
      foreign_leave_refused = true;
    }
  }).join();
  EXPECT_TRUE(foreign_leave_refused);
  cs.Release();
  EXPECT_TRUE(TryEnterElsewhere(cs));
  EXPECT_THROW(cs.Leave(), ESyncObjectException);
  {
    TCriticalSectionGuard guard(cs);
    EXPECT_FALSE(TryEnterElsewhere(cs));
  }
  EXPECT_TRUE(TryEnterElsewhere(cs));
}

TEST(CriticalSection, ExclusiveUnderContention) {
  TCriticalSection cs;
  long counter = 0;  // plain: the sanitizer sees any unguarded access
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        std::lock_guard outer(cs);
        TCriticalSectionGuard inner(cs);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

TEST(MREW, WriterReentersReadsInsideAndKeepsReadsAfterWrite) {
  TMultiReadExclusiveWriteSynchronizer sync;
  EXPECT_TRUE(sync.BeginWrite());
  EXPECT_TRUE(sync.BeginWrite());
  sync.BeginRead();
  sync.EndWrite();
  sync.EndWrite();  // still reading: a reader now

  TSimpleEvent writer_in;
  std::thread writer([&] {
    EXPECT_TRUE(sync.BeginWrite());
    writer_in.SetEvent();
    sync.EndWrite();
  });
  EXPECT_EQ(writer_in.WaitFor(kBlockedMs), wrTimeout);
  sync.EndRead();
  EXPECT_EQ(writer_in.WaitFor(kHangGuardMs), wrSignaled);
  writer.join();

  EXPECT_THROW(sync.EndWrite(), ESyncObjectException);
  EXPECT_THROW(sync.EndRead(), ESyncObjectException);
}

TEST(MREW, ReadersShareAndNestPastAWaitingWriter) {
  TMultiReadExclusiveWriteSynchronizer sync;
  TSimpleEvent first_in, second_in, release, writer_in;
  std::thread first([&] {
    sync.BeginRead();
    first_in.SetEvent();
    release.WaitFor();
    sync.BeginRead();  // nested read while a writer waits: must not block
    sync.EndRead();
    sync.EndRead();
  });
  ASSERT_EQ(first_in.WaitFor(kHangGuardMs), wrSignaled);
  std::thread second([&] {
    sync.BeginRead();
    second_in.SetEvent();
    release.WaitFor();
    sync.EndRead();
  });
  EXPECT_EQ(second_in.WaitFor(kHangGuardMs), wrSignaled);  // two readers at once
  std::thread writer([&] {
    sync.BeginWrite();
    writer_in.SetEvent();
    sync.EndWrite();
  });
  EXPECT_EQ(writer_in.WaitFor(kBlockedMs), wrTimeout);
  release.SetEvent();
  EXPECT_EQ(writer_in.WaitFor(kHangGuardMs), wrSignaled);
  first.join();
  second.join();
  writer.join();
}

TEST(MREW, PromotionOfTwoReadersAndWriteResult) {
  TMultiReadExclusiveWriteSynchronizer sync;
  sync.BeginRead();
  EXPECT_TRUE(sync.BeginWrite());  // alone: nobody wrote meanwhile
  sync.EndWrite();
  sync.EndRead();

  // Both readers ask to write; the second to get in must learn that the
  // other one wrote after it let go of its read.
  TSimpleEvent a_in, b_in;
  std::mutex order_lock;
  std::vector<bool> results;  // in the order the writes happened
  auto promote = [&](TSimpleEvent& mine, TSimpleEvent& other) {
    sync.BeginRead();
    mine.SetEvent();
    other.WaitFor();
    bool fresh = sync.BeginWrite();
    {
      std::lock_guard lock(order_lock);
      results.push_back(fresh);
    }
    sync.BeginRead();  // read inside the write
    sync.EndRead();
    sync.EndWrite();
    sync.EndRead();
  };
  std::thread a([&] { promote(a_in, b_in); });
  std::thread b([&] { promote(b_in, a_in); });
  a.join();
  b.join();
  EXPECT_EQ(results, (std::vector<bool>{true, false}));
}

TEST(MREW, WritersExclusiveUnderContention) {
  TMultiReadExclusiveWriteSynchronizer sync;
  long a = 0, b = 0;  // plain, written only together under the write lock
  std::atomic<bool> writers_done{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r)
    readers.emplace_back([&] {
      while (!writers_done) {
        sync.BeginRead();
        if (a != b) ++torn;
        sync.EndRead();
      }
    });
  std::vector<std::thread> writers;
  for (int w = 0; w < 3; ++w)
    writers.emplace_back([&] {
      for (int i = 0; i < 300; ++i) {
        sync.BeginWrite();
        ++a;
        std::this_thread::yield();
        ++b;
        sync.EndWrite();
      }
    });
  for (auto& w : writers) w.join();
  writers_done = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(a, 900);
  EXPECT_EQ(b, 900);
  EXPECT_EQ(torn, 0);
}

TEST(MREW, WriterNotStarvedByOverlappingReaders) {
  // Two readers relay: each ends its read only once the other has begun a
  // newer one (or after a short patience), so some read is always held. Only
  // a waiting writer that holds back new readers ever gets in.
  TMultiReadExclusiveWriteSynchronizer sync;
  std::mutex m;
  std::condition_variable cv;
  uint64_t entries = 0;
  std::atomic<bool> writer_done{false}, hit_deadline{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
  auto reader = [&] {
    while (!writer_done) {
      sync.BeginRead();
      uint64_t mine;
      {
        std::unique_lock lock(m);
        mine = ++entries;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::milliseconds(kBlockedMs), [&] { return entries > mine; });
      }
      sync.EndRead();
      if (std::chrono::steady_clock::now() > deadline) {
        hit_deadline = true;
        break;
      }
    }
  };
  std::thread r1(reader), r2(reader);
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return entries >= 2; });  // the relay runs
  }
  for (int i = 0; i < 3; ++i) {
    sync.BeginWrite();
    sync.EndWrite();
  }
  writer_done = true;
  r1.join();
  r2.join();
  EXPECT_FALSE(hit_deadline);
}

TEST(Event, ResetModesAndInitialState) {
  struct Case {
    bool manual, initial;
    TWaitResult first, second;
  };
  for (const Case& c : {Case{true, true, wrSignaled, wrSignaled}, Case{false, true, wrSignaled, wrTimeout},
                        Case{true, false, wrTimeout, wrTimeout}, Case{false, false, wrTimeout, wrTimeout}}) {
    TEvent e(c.manual, c.initial);
    EXPECT_EQ(e.WaitFor(0), c.first) << c.manual << c.initial;
    EXPECT_EQ(e.WaitFor(0), c.second) << c.manual << c.initial;
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), wrSignaled);
    EXPECT_EQ(e.WaitFor(0), c.manual ? wrSignaled : wrTimeout);
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
  }
  TSimpleEvent simple;
  EXPECT_EQ(simple.WaitFor(0), wrTimeout);
  simple.SetEvent();
  EXPECT_EQ(simple.WaitFor(0), wrSignaled);
  EXPECT_EQ(simple.WaitFor(0), wrSignaled);
}

TEST(Event, TimeoutElapses) {
  TEvent e;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(e.WaitFor(30), wrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  TEvent gate(false, false);
  TEvent progress(false, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] {
      EXPECT_EQ(gate.WaitFor(), wrSignaled);
      ++released;
      progress.SetEvent();
    });
  gate.SetEvent();
  ASSERT_EQ(progress.WaitFor(kHangGuardMs), wrSignaled);
  EXPECT_EQ(progress.WaitFor(kBlockedMs), wrTimeout);  // the other waiter stays blocked
  EXPECT_EQ(released, 1);
  gate.SetEvent();
  ASSERT_EQ(progress.WaitFor(kHangGuardMs), wrSignaled);
  EXPECT_EQ(released, 2);
  for (auto& w : waiters) w.join();

  // A manual-reset event releases every waiter.
  TSimpleEvent open;
  std::vector<std::thread> all;
  for (int i = 0; i < 3; ++i) all.emplace_back([&] { EXPECT_EQ(open.WaitFor(kHangGuardMs), wrSignaled); });
  open.SetEvent();
  for (auto& t : all) t.join();
}
