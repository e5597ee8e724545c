#include "platform/os/MMSystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the callbacks saw, shared with the timer thread.
struct Probe {
  std::mutex lock;
  std::vector<UINT> ids;
  std::vector<std::thread::id> threads;
  std::atomic<int> count{0};
  std::atomic<bool> kill_self{false};  // the callback kills its own event

  static void Callback(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2) {
    auto* p = reinterpret_cast<Probe*>(user);
    EXPECT_EQ(msg + dw1 + dw2, 0u);
    {
      std::lock_guard l(p->lock);
      p->ids.push_back(id);
      p->threads.push_back(std::this_thread::get_id());
    }
    if (p->kill_self) {
      EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    }
    ++p->count;
  }

  bool WaitFor(int n, std::chrono::milliseconds limit = 2s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (count < n) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }
};

DWORD_PTR User(Probe& p) { return reinterpret_cast<DWORD_PTR>(&p); }

}  // namespace

TEST(MMSystem, DevCapsAndPeriods) {
  TIMECAPS caps;
  ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_GE(caps.wPeriodMin, 1u);
  EXPECT_LE(caps.wPeriodMin, 10u);
  EXPECT_EQ(caps.wPeriodMax, 1000000u);
  EXPECT_EQ(timeGetDevCaps(&caps, 4), TIMERR_STRUCT);
  EXPECT_EQ(timeGetDevCaps(nullptr, sizeof caps), TIMERR_STRUCT);

  TMMTimerService* s = CurrentMMTimerService();
  EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
  EXPECT_EQ(timeBeginPeriod(caps.wPeriodMax + 1), TIMERR_NOCANDO);
  EXPECT_EQ(timeEndPeriod(7), TIMERR_NOCANDO);  // never begun
  EXPECT_EQ(timeBeginPeriod(7), TIMERR_NOERROR);
  EXPECT_EQ(timeBeginPeriod(7), TIMERR_NOERROR);
  EXPECT_EQ(s->PeriodCount(7), 2);
  EXPECT_EQ(timeEndPeriod(7), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(7), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(7), TIMERR_NOCANDO);
  EXPECT_EQ(s->PeriodCount(7), 0);
}

TEST(MMSystem, SetEventRefusesBadArguments) {
  Probe p;
  TIMECAPS caps;
  timeGetDevCaps(&caps, sizeof caps);
  EXPECT_EQ(timeSetEvent(0, 1, Probe::Callback, User(p), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(caps.wPeriodMax + 1, 1, Probe::Callback, User(p), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(10, 1, nullptr, User(p), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(10, 1, Probe::Callback, User(p), 0x10), 0u);  // event-set callbacks
  EXPECT_EQ(timeKillEvent(123456), MMSYSERR_INVALPARAM);
}

TEST(MMSystem, PeriodicEventRunsOnTheTimerThreadUntilKilled) {
  Probe p;
  UINT id = timeSetEvent(2, 1, Probe::Callback, User(p), TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(p.WaitFor(5));
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  int after_kill = p.count;
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.count, after_kill);  // the kill waited for a running callback
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
  std::lock_guard l(p.lock);
  for (size_t i = 0; i < p.ids.size(); ++i) {
    EXPECT_EQ(p.ids[i], id);
    EXPECT_NE(p.threads[i], std::this_thread::get_id());
    EXPECT_EQ(p.threads[i], p.threads[0]);
  }
}

TEST(MMSystem, OneShotFiresOnceAndIdsAreNotReused) {
  Probe p;
  UINT first = timeSetEvent(1, 1, Probe::Callback, User(p), TIME_ONESHOT);
  ASSERT_NE(first, 0u);
  ASSERT_TRUE(p.WaitFor(1));
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(p.count, 1);
  EXPECT_EQ(timeKillEvent(first), MMSYSERR_INVALPARAM);  // gone once fired
  UINT second = timeSetEvent(1, 1, Probe::Callback, User(p), TIME_ONESHOT);
  EXPECT_GT(second, first);
  ASSERT_TRUE(p.WaitFor(2));
}

TEST(MMSystem, CallbackMayKillItsOwnEvent) {
  Probe p;
  p.kill_self = true;
  UINT id = timeSetEvent(1, 1, Probe::Callback, User(p), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  // The kill from inside must not wait for itself; the event then stops.
  ASSERT_TRUE(p.WaitFor(1));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.count, 1);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
}

TEST(MMSystem, ManualServiceFiresInTimeOrderOnTheCallingThread) {
  TManualMMTimerService manual;
  TMMTimerService* previous = SetMMTimerService(&manual);
  Probe p;
  UINT every3 = timeSetEvent(3, 2, Probe::Callback, User(p), TIME_PERIODIC);
  UINT once5 = timeSetEvent(5, 1, Probe::Callback, User(p), TIME_ONESHOT);
  EXPECT_EQ(manual.EventDelay(every3), 3u);
  EXPECT_EQ(manual.EventResolution(every3), 2u);
  EXPECT_TRUE(manual.EventPeriodic(every3));
  EXPECT_FALSE(manual.EventPeriodic(once5));
  manual.Advance(2);
  EXPECT_EQ(p.count, 0);
  manual.Advance(8);  // due: 3, 5, 6, 9
  EXPECT_EQ(p.ids, (std::vector<UINT>{every3, once5, every3, every3}));
  EXPECT_EQ(p.threads.front(), std::this_thread::get_id());
  EXPECT_EQ(manual.ActiveCount(), 1);
  EXPECT_EQ(timeKillEvent(once5), MMSYSERR_INVALPARAM);
  manual.SetRefuseEvents(true);
  EXPECT_EQ(timeSetEvent(3, 1, Probe::Callback, User(p), TIME_PERIODIC), 0u);
  EXPECT_EQ(timeKillEvent(every3), TIMERR_NOERROR);
  SetMMTimerService(previous == &manual ? nullptr : previous);
}
