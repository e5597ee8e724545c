#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "dataaccess/core/StdFuncs.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/FormStream.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

using namespace std::chrono_literals;

int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
    ++n;
  return n;
}

// Runs the main-thread queue for the given time, or until done() holds.
void Pump(
    std::chrono::milliseconds time, const std::function<bool()>& done = [] { return false; }) {
  auto end = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < end && !done()) CheckSynchronize(5);
}

class TTickCounter : public TComponent {
 public:
  using TComponent::TComponent;
  void Tick(TObject* Sender) {
    ++ticks;
    if (!IsMainThread()) ++off_main;
    sender = Sender;
  }
  int ticks = 0, off_main = 0;
  TObject* sender = nullptr;
};

class FIBTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Pump(20ms);  // nothing queued by an earlier test
    counter_ = new TTickCounter(nullptr);
  }
  void TearDown() override { delete counter_; }
  TFIBTimer* NewTimer(Cardinal interval) {
    auto* timer = new TFIBTimer(counter_);
    timer->SetInterval(interval);
    timer->SetOnTimer({counter_, &TTickCounter::Tick});
    return timer;
  }
  TTickCounter* counter_ = nullptr;
};

}  // namespace

TEST_F(FIBTimerTest, TicksArriveOnTheMainThread) {
  TFIBTimer* timer = NewTimer(10);
  EXPECT_EQ(timer->Interval(), 10u);
  timer->SetEnabled(true);
  Pump(3s, [&] { return counter_->ticks >= 3; });
  EXPECT_GE(counter_->ticks, 3);
  EXPECT_EQ(counter_->off_main, 0);
  EXPECT_EQ(counter_->sender, timer);

  timer->SetEnabled(false);
  int ticks = counter_->ticks;
  Pump(100ms);
  EXPECT_EQ(counter_->ticks, ticks);  // none after the stop
}

TEST_F(FIBTimerTest, RunsOnlyWithHandlerIntervalAndAfterLoading) {
  int base = ThreadCount();
  TFIBTimer* no_interval = NewTimer(0);
  no_interval->SetEnabled(true);
  auto* no_handler = new TFIBTimer(counter_);
  no_handler->SetInterval(5);
  no_handler->SetEnabled(true);
  auto* loading = NewTimer(5);
  loading->SetLoading(true);
  loading->SetEnabled(true);
  EXPECT_FALSE(loading->Enabled());
  Pump(60ms);
  EXPECT_EQ(counter_->ticks, 0);
  EXPECT_LE(ThreadCount(), base);

  loading->SetLoading(false);
  loading->Loaded();
  EXPECT_TRUE(loading->Enabled());
  Pump(3s, [&] { return counter_->ticks > 0; });
  EXPECT_GT(counter_->ticks, 0);
}

TEST_F(FIBTimerTest, RestartsMoveTheDueTimeWithoutNewThreads) {
  TFIBTimer* timer = NewTimer(500);
  timer->SetEnabled(true);
  int base = ThreadCount();
  // Restarted more often than its interval (as after every client call):
  // no tick, and still one thread.
  auto until = std::chrono::steady_clock::now() + 300ms;
  int restarts = 0;
  while (std::chrono::steady_clock::now() < until) {
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    ++restarts;
    CheckSynchronize(0);
    std::this_thread::sleep_for(restarts % 100 == 0 ? 5ms : 0ms);
  }
  EXPECT_GT(restarts, 100);
  EXPECT_EQ(counter_->ticks, 0);
  EXPECT_LE(ThreadCount(), base);
  // Left alone, it ticks.
  Pump(3s, [&] { return counter_->ticks > 0; });
  EXPECT_EQ(counter_->ticks, 1);
}

TEST_F(FIBTimerTest, FreeingWaitsForTheThreadAndDropsAQueuedTick) {
  int base = ThreadCount();
  TFIBTimer* timer = NewTimer(5);
  timer->SetEnabled(true);
  std::this_thread::sleep_for(50ms);  // a tick is queued, nobody runs it
  delete timer;
  EXPECT_LE(ThreadCount(), base);
  Pump(30ms);
  EXPECT_EQ(counter_->ticks, 0);
}

TEST_F(FIBTimerTest, HandlerMayFreeItsTimer) {
  auto* timer = new TFIBTimer(nullptr);
  int ticks = 0;
  timer->SetInterval(5);
  timer->SetOnTimer(TNotifyEvent(counter_, [&](TObject* sender) {
    ++ticks;
    delete sender;
  }));
  timer->SetEnabled(true);
  Pump(3s, [&] { return ticks > 0; });
  EXPECT_EQ(ticks, 1);
  Pump(50ms);
  EXPECT_EQ(ticks, 1);
}

TEST_F(FIBTimerTest, KeepAliveParksTheThread) {
  int base = ThreadCount();
  TFIBTimer* timer = NewTimer(10);
  timer->SetKeepAlive(true);
  timer->SetEnabled(true);
  Pump(3s, [&] { return counter_->ticks > 0; });
  timer->SetEnabled(false);
  int ticks = counter_->ticks;
  Pump(80ms);
  EXPECT_EQ(counter_->ticks, ticks);
  EXPECT_GE(ThreadCount(), base + 1);  // parked, not ended

  timer->SetEnabled(true);
  Pump(3s, [&] { return counter_->ticks > ticks; });
  EXPECT_GT(counter_->ticks, ticks);

  timer->SetKeepAlive(false);  // ends the parked thread and starts a new one
  timer->SetEnabled(false);
  Pump(100ms);  // the stopped thread ends at its due time
  EXPECT_LE(ThreadCount(), base);
}

// A form resource creates the timer by its class name and sets its
// published properties; Enabled takes effect once the form is loaded.
TEST_F(FIBTimerTest, FormResourceCreatesTheTimerWithItsProperties) {
  InitializeUnits({&unit_StdFuncs});
  RegisterClass<TTickCounter, TComponent>("TTickCounter").Method("Tick", &TTickCounter::Tick);
  counter_->SetName("Counter1");
  ReadComponentFromText(counter_,
                        "object Counter1: TTickCounter\n"
                        "  object Timer1: TFIBTimer\n"
                        "    Enabled = True\n"
                        "    Interval = 10\n"
                        "    KeepAlive = True\n"
                        "    OnTimer = Tick\n"
                        "  end\n"
                        "end\n");
  auto* timer = dynamic_cast<TFIBTimer*>(counter_->FindComponent("Timer1"));
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 10u);
  EXPECT_TRUE(timer->KeepAlive());
  Pump(3s, [&] { return counter_->ticks > 0; });
  EXPECT_GT(counter_->ticks, 0);
  EXPECT_EQ(counter_->sender, timer);

  timer->SetEnabled(false);
  timer->SetInterval(1000);
  timer->SetKeepAlive(false);
  const String text = WriteComponentToText(counter_);
  EXPECT_NE(text.find("object Timer1: TFIBTimer"), String::npos) << text;
  EXPECT_EQ(text.find("Interval"), String::npos) << "defaults are not written: " << text;
  EXPECT_EQ(text.find("Enabled"), String::npos) << text;
  EXPECT_NE(text.find("OnTimer = Tick"), String::npos) << text;
}

TEST_F(FIBTimerTest, ATestClockDrivesTheTimersWithoutThreads) {
  TManualTimerService first, second;
  TTimerService* previous = SetFIBTimerService(&first);
  const int threads = ThreadCount();
  TFIBTimer* timer = NewTimer(300);
  timer->SetEnabled(true);
  EXPECT_EQ(ThreadCount(), threads);
  first.Advance(299);
  EXPECT_EQ(counter_->ticks, 0);
  first.Advance(1);
  EXPECT_EQ(counter_->ticks, 1);
  EXPECT_EQ(counter_->sender, timer);
  // A restart moves the next tick a full interval on.
  first.Advance(200);
  timer->SetEnabled(false);
  timer->SetEnabled(true);
  first.Advance(299);
  EXPECT_EQ(counter_->ticks, 1);
  // A running timer follows the service that replaces its own.
  SetFIBTimerService(&second);
  EXPECT_EQ(first.ActiveCount(), 0);
  EXPECT_EQ(second.ActiveCount(), 1);
  second.Advance(300);
  EXPECT_EQ(counter_->ticks, 2);
  delete timer;
  EXPECT_EQ(second.ActiveCount(), 0);
  SetFIBTimerService(previous);
}
