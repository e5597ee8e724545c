#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/Threads.h"

namespace {

constexpr Cardinal kHangGuardMs = 10000;  // only reached when the code under test hangs

// A thread whose body is a callable; exposes the protected helpers to it.
class TTestThread : public TThread {
 public:
  using Body = std::function<void(TTestThread&)>;
  TTestThread(bool CreateSuspended, Body body) : TThread(CreateSuspended), body_(std::move(body)) {}
  ~TTestThread() override {
    if (on_destroy_) on_destroy_();
  }

  using TThread::Queue;
  using TThread::SetReturnValue;
  using TThread::Sleep;
  using TThread::Synchronize;

  std::function<void()> on_destroy_;

 protected:
  void Execute() override { body_(*this); }

 private:
  Body body_;
};

// Runs the main-thread queue until the event is set.
bool PumpUntil(TEvent& event) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangGuardMs);
  while (event.WaitFor(0) != wrSignaled) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CheckSynchronize(5);
  }
  return true;
}

class TOwner : public TObject {};

}  // namespace

TEST(MainThread, Identity) {
  ASSERT_TRUE(IsMainThread());
  EXPECT_EQ(MainThreadID(), static_cast<TThreadID>(getpid()));
  EXPECT_EQ(GetCurrentThreadId(), MainThreadID());
  bool worker_is_main = true;
  TThreadID worker_id = 0;
  std::thread([&] {
    worker_is_main = IsMainThread();
    worker_id = GetCurrentThreadId();
    EXPECT_THROW(CheckSynchronize(), EThread);
  }).join();
  EXPECT_FALSE(worker_is_main);
  EXPECT_NE(worker_id, MainThreadID());
}

TEST(Synchronize, RunsOnMainThreadReturnsResultWhileMainWaits) {
  // The main thread only calls WaitFor: it must run the worker's calls meanwhile.
  std::vector<int> ran_on_main;
  auto* t = Create<TTestThread>(false, [&](TTestThread& self) {
    int sum = 0;
    for (int i = 1; i <= 3; ++i)
      sum += self.Synchronize([&, i] {
        ran_on_main.push_back(IsMainThread() ? i : -i);
        return i * 10;
      });
    self.SetReturnValue(sum);
  });
  EXPECT_EQ(t->WaitFor(), 60);
  EXPECT_EQ(ran_on_main, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(t->Finished());
  delete t;

  // Without a thread object; and directly when already on the main thread.
  std::string text;
  TSimpleEvent done;
  std::thread worker([&] {
    text = TThread::Synchronize(nullptr, [] { return std::string(IsMainThread() ? "main" : "other"); });
    done.SetEvent();
  });
  ASSERT_TRUE(PumpUntil(done));
  worker.join();
  EXPECT_EQ(text, "main");
  EXPECT_EQ(TThread::Synchronize(nullptr, [] { return 5; }), 5);
}

TEST(Synchronize, ExceptionsCrossBackAndEscapeToFatalException) {
  std::string caught;
  auto* t = Create<TTestThread>(false, [&](TTestThread& self) {
    try {
      self.Synchronize([] { throw EConvertError("first"); });
    } catch (const EConvertError& e) {
      caught = e.Message();
    }
    self.Synchronize([] { throw EListError("escapes Execute"); });
  });
  t->WaitFor();
  EXPECT_EQ(caught, "first");
  ASSERT_TRUE(t->FatalException());
  EXPECT_THROW(std::rethrow_exception(t->FatalException()), EListError);
  delete t;
}

TEST(TThread, SuspendedStartAndWaitRules) {
  std::atomic<int> runs{0};
  TThreadID seen_id = 0;
  bool sleep_result = false;
  std::string self_wait;
  auto* t = new TTestThread(true, [&](TTestThread& self) {
    ++runs;
    seen_id = GetCurrentThreadId();
    sleep_result = self.Sleep(1);
    try {
      self.WaitFor();
    } catch (const EThread& e) {
      self_wait = e.Message();
    }
    self.SetReturnValue(7);
  });
  EXPECT_TRUE(t->Suspended());
  EXPECT_EQ(t->ThreadID(), 0u);
  EXPECT_THROW(t->WaitFor(), EThread);
  EXPECT_EQ(runs, 0);
  t->Start();
  EXPECT_THROW(t->Start(), EThread);
  t->Resume();  // already running: nothing
  EXPECT_EQ(t->WaitFor(), 7);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(t->ThreadID(), seen_id);
  EXPECT_NE(seen_id, MainThreadID());
  EXPECT_TRUE(sleep_result);
  EXPECT_FALSE(self_wait.empty());
  EXPECT_FALSE(t->FatalException());
  delete t;

  // `new` with CreateSuspended false does not start (AfterConstruction did not run).
  auto* idle = new TTestThread(false, [&](TTestThread&) { ++runs; });
  EXPECT_TRUE(idle->Suspended());
  delete idle;

  // Terminated before it started: Execute is skipped, OnTerminate still runs.
  bool terminate_ran = false;
  auto* early = new TTestThread(true, [&](TTestThread&) { ++runs; });
  early->SetOnTerminate([&](TObject*) { terminate_ran = true; });
  early->Terminate();
  early->Resume();
  early->WaitFor();
  EXPECT_TRUE(terminate_ran);
  EXPECT_EQ(runs, 1);
  delete early;
}

TEST(TThread, FreeOnTerminateFreesItselfAfterOnTerminate) {
  TSimpleEvent gate, destroyed;
  TObject* sender = nullptr;
  bool on_main = false;
  std::vector<std::string> order;
  auto* t = new TTestThread(true, [&](TTestThread&) {
    gate.WaitFor();
    order.push_back("execute");
  });
  t->SetFreeOnTerminate(true);
  t->SetOnTerminate([&](TObject* s) {
    sender = s;
    on_main = IsMainThread();
    order.push_back("terminate");
  });
  t->on_destroy_ = [&] {
    order.push_back("destroy");
    destroyed.SetEvent();
  };
  TObject* expected_sender = t;
  t->Start();
  EXPECT_THROW(t->WaitFor(), EThread);  // it may free itself at any time once released
  gate.SetEvent();
  ASSERT_TRUE(PumpUntil(destroyed));
  EXPECT_EQ(order, (std::vector<std::string>{"execute", "terminate", "destroy"}));
  EXPECT_EQ(sender, expected_sender);
  EXPECT_TRUE(on_main);
}

TEST(TThread, DeletingRunningThreadTerminatesAndWaits) {
  TSimpleEvent started;
  std::atomic<bool> body_done{false};
  bool body_done_at_destructor = false;
  bool synced_during_shutdown = false;
  auto* t = Create<TTestThread>(false, [&](TTestThread& self) {
    started.SetEvent();
    while (self.Sleep(60000)) {
    }
    // Needs the main thread while it is inside `delete`.
    self.Synchronize([&] { synced_during_shutdown = true; });
    body_done = true;
  });
  t->on_destroy_ = [&] { body_done_at_destructor = body_done.load(); };
  ASSERT_EQ(started.WaitFor(kHangGuardMs), wrSignaled);
  delete t;
  EXPECT_TRUE(body_done_at_destructor);
  EXPECT_TRUE(synced_during_shutdown);
}

TEST(Queue, OrderOwnersAndRemoval) {
  TOwner a, b;
  std::vector<int> ran;
  std::thread([&] {
    TThread::Queue(&a, [&] { ran.push_back(1); });
    TThread::Queue(&b, [&] { ran.push_back(2); });
    TThread::Queue(&a, [&] { ran.push_back(3); });
    TThread::Queue(nullptr, [&] { ran.push_back(4); });
    // A call that frees b drops b's later calls before they run.
    TThread::Queue(nullptr, [&] { TThread::RemoveQueuedEvents(&b); });
    TThread::Queue(&b, [&] { ran.push_back(5); });
  }).join();
  TThread::RemoveQueuedEvents(nullptr);  // drops nothing
  TThread::RemoveQueuedEvents(&a);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(ran, (std::vector<int>{2, 4}));
  EXPECT_FALSE(CheckSynchronize());

  std::thread([&] {
    TThread::Queue(nullptr, [&] { ran.push_back(6); });
    TThread::Queue(&b, [&] { TThread::RemoveQueuedEvents(&a); });
    TThread::Queue(&a, [&] { ran.push_back(7); });
    TThread::Queue(nullptr, [&] { ran.push_back(8); });
  }).join();
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(ran, (std::vector<int>{2, 4, 6, 8}));

  // On the main thread Queue runs at once.
  TThread::Queue(&a, [&] { ran.push_back(9); });
  EXPECT_EQ(ran.back(), 9);
}

TEST(Queue, CallsOfAFreedThreadAreDropped) {
  TSimpleEvent queued;
  bool ran = false;
  auto* t = Create<TTestThread>(false, [&](TTestThread& self) {
    self.Queue([&] { ran = true; });
    TThread::Queue(nullptr, [] {});  // not bound to the thread: survives it
    queued.SetEvent();
  });
  ASSERT_EQ(queued.WaitFor(kHangGuardMs), wrSignaled);
  std::thread([t] { delete t; }).join();  // off the main thread: nothing runs the queue meanwhile
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_FALSE(ran);
}

TEST(Queue, ExceptionPropagatesAndLaterCallsStay) {
  int later = 0;
  std::thread([&] {
    TThread::Queue(nullptr, [] { throw EConvertError("queued"); });
    TThread::Queue(nullptr, [&] { ++later; });
  }).join();
  EXPECT_THROW(CheckSynchronize(), EConvertError);
  EXPECT_EQ(later, 0);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(later, 1);
}

TEST(Queue, ExceptionDuringDeletionWaitIsRaisedByNextCheckSynchronize) {
  TSimpleEvent queued;
  auto* t = Create<TTestThread>(false, [&](TTestThread& self) {
    TThread::Queue(nullptr, [] { throw EConvertError("deferred"); });
    queued.SetEvent();
    self.Synchronize([] {});  // keeps the deletion waiting until the throwing call ran
  });
  ASSERT_EQ(queued.WaitFor(kHangGuardMs), wrSignaled);
  delete t;  // must not throw: the thread is gone and the object freed
  EXPECT_THROW(CheckSynchronize(), EConvertError);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(CheckSynchronize, WaitsForACallUpToTimeout) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(CheckSynchronize(30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

  bool ran = false;
  std::thread worker([&] { TThread::Queue(nullptr, [&] { ran = true; }); });
  EXPECT_TRUE(CheckSynchronize(kHangGuardMs));  // returns as soon as the call arrives
  worker.join();
  EXPECT_TRUE(ran);
}

TEST(CheckSynchronize, WakeMainThreadHookPerQueuedCall) {
  std::atomic<int> wakes{0};
  TEvent woke(false, false);
  SetWakeMainThread([&] {
    ++wakes;
    woke.SetEvent();
  });
  int ran = 0;
  std::thread worker([&] {
    TThread::Queue(nullptr, [&] { ++ran; });
    TThread::Synchronize(nullptr, [&] { ++ran; });
  });
  // Act only on the hook, as the GUI's event loop does.
  while (ran < 2) {
    ASSERT_EQ(woke.WaitFor(kHangGuardMs), wrSignaled);
    CheckSynchronize();
  }
  worker.join();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes, 2);
  EXPECT_FALSE(WakeMainThread());
}

TEST(TThread, PriorityIsAppliedAsANiceValue) {
  std::atomic<int> seen{-100};
  std::atomic<bool> lowered{false};
  TTestThread t(true, [&](TTestThread& self) {
    seen = getpriority(PRIO_PROCESS, static_cast<id_t>(GetCurrentThreadId()));
    while (!lowered) self.Sleep(1);
  });
  t.SetPriority(tpLower);
  t.Start();
  while (seen == -100) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(seen.load(), 5);  // applied when the thread starts
  t.SetPriority(tpIdle);      // and at once while it runs
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(t.ThreadID())), 19);
  EXPECT_EQ(t.Priority(), tpIdle);
  lowered = true;
  t.WaitFor();
}
