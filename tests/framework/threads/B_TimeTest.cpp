#include "framework/B_Time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/os/MMSystem.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class B_Time : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Forms, &unit_B_Time});
    Application->Initialize();
  }
  void SetUp() override { previous_ = SetMMTimerService(&clock_); }
  void TearDown() override { SetMMTimerService(previous_ == &clock_ ? nullptr : previous_); }

  // Moves the clock and lets the main thread handle the posted ticks.
  void Advance(Cardinal ms) {
    clock_.Advance(ms);
    Application->ProcessMessages();
  }
  // A timer counting its ticks.
  std::unique_ptr<TB_HiResTimer> Counting(int& ticks, Cardinal interval = 100) {
    std::unique_ptr<TB_HiResTimer> t(new TB_HiResTimer(nullptr));
    t->SetInterval(interval);
    TB_HiResTimer* raw = t.get();
    t->SetOnTimer([&ticks, raw](TObject* sender) {
      EXPECT_EQ(sender, raw);
      ++ticks;
    });
    return t;
  }

  TManualMMTimerService clock_;
  TMMTimerService* previous_ = nullptr;
};

}  // namespace

TEST_F(B_Time, DefaultsAndPublishedProperties) {
  std::unique_ptr<TB_HiResTimer> t(new TB_HiResTimer(nullptr));
  EXPECT_TRUE(t->Enabled());
  EXPECT_FALSE(t->OneShot());
  EXPECT_EQ(t->Interval(), 100u);
  EXPECT_EQ(t->Resolution(), 100u);
  EXPECT_EQ(t->TimerID(), 0u);  // no OnTimer: not started
  EXPECT_EQ(clock_.ActiveCount(), 0);
  EXPECT_TRUE(IsWindow(t->WindowHandle()));

  std::vector<String> names;
  for (const TPropInfo* p : GetPropList(t.get())) {
    names.push_back(p->Name());
    EXPECT_TRUE(p->IsDefault(t.get())) << p->Name();
  }
  EXPECT_EQ(names, (std::vector<String>{"Tag", "Enabled", "Interval", "OneShot", "Resolution", "OnTimer"}));

  // Form data sets them, and the timer starts once loaded with a handler.
  ReadComponentFromText(t.get(), "object T: TB_HiResTimer\n  Interval = 40\n  OneShot = True\n"
                                 "  Resolution = 5\n  Tag = 3\nend\n");
  EXPECT_EQ(t->Interval(), 40u);
  EXPECT_TRUE(t->OneShot());
  EXPECT_EQ(t->Resolution(), 5u);
  EXPECT_EQ(t->Tag(), 3);
  t->SetLoading(true);
  t->SetOnTimer([](TObject*) {});
  EXPECT_EQ(clock_.ActiveCount(), 0);  // not while loading
  t->Loaded();
  ASSERT_NE(t->TimerID(), 0u);
  EXPECT_EQ(clock_.EventDelay(t->TimerID()), 40u);
  EXPECT_EQ(clock_.EventResolution(t->TimerID()), 5u);
  EXPECT_FALSE(clock_.EventPeriodic(t->TimerID()));
}

TEST_F(B_Time, PeriodicTicksReachTheMainThreadThroughTheWindow) {
  int ticks = 0;
  auto t = Counting(ticks);
  ASSERT_NE(t->TimerID(), 0u);
  EXPECT_TRUE(clock_.EventPeriodic(t->TimerID()));
  EXPECT_EQ(t->Period(), 100u);
  EXPECT_EQ(clock_.PeriodCount(100), 1);

  clock_.Advance(250);
  EXPECT_EQ(ticks, 0);  // the callback only posts
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 2);
  Advance(100);
  EXPECT_EQ(ticks, 3);

  t->SetEnabled(false);
  EXPECT_EQ(t->TimerID(), 0u);
  EXPECT_EQ(t->Period(), 0u);
  EXPECT_EQ(clock_.ActiveCount(), 0);
  EXPECT_EQ(clock_.PeriodCount(100), 0);
  Advance(500);
  EXPECT_EQ(ticks, 3);

  t->SetEnabled(true);
  Advance(100);
  EXPECT_EQ(ticks, 4);
  t->SetOnTimer(nullptr);  // no handler: no timer
  EXPECT_EQ(clock_.ActiveCount(), 0);
  Advance(500);
  EXPECT_EQ(ticks, 4);
}

TEST_F(B_Time, OneShotFiresOnceAndRestartsWhenEnabled) {
  int ticks = 0;
  auto t = Counting(ticks);
  t->SetOneShot(true);
  EXPECT_FALSE(clock_.EventPeriodic(t->TimerID()));
  Advance(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(t->Enabled());
  EXPECT_EQ(t->TimerID(), 0u);
  EXPECT_EQ(clock_.PeriodCount(100), 0);
  Advance(1000);
  EXPECT_EQ(ticks, 1);

  t->SetEnabled(true);
  Advance(99);
  EXPECT_EQ(ticks, 1);
  Advance(1);
  EXPECT_EQ(ticks, 2);

  // Disabled before it fires: the pending event goes too.
  t->SetEnabled(true);
  t->SetEnabled(false);
  EXPECT_EQ(clock_.ActiveCount(), 0);
}

TEST_F(B_Time, ResolutionIsLimitedByIntervalAndDevice) {
  struct Case {
    TIMECAPS caps;
    Cardinal interval, resolution, expected;
  };
  const Case cases[] = {
      {{1, 1000000}, 100, 0, 1},     // raised to the minimum
      {{1, 1000000}, 100, 500, 100},  // at most the interval
      {{1, 50}, 50, 500, 50},         // then at most the maximum
      {{1, 50}, 100, 500, 50},        // (an interval past it cannot start)
      {{5, 1000}, 100, 2, 5},
      {{1, 1000000}, 100, 30, 30},
  };
  for (const Case& c : cases) {
    clock_.SetDevCaps(c.caps);
    std::unique_ptr<TB_HiResTimer> t(new TB_HiResTimer(nullptr));
    t->SetInterval(c.interval);
    t->SetResolution(c.resolution);
    EXPECT_EQ(t->Resolution(), c.expected) << c.resolution;
    if (c.interval > c.caps.wPeriodMax) {
      EXPECT_THROW(t->SetOnTimer([](TObject*) {}), Exception);
      continue;
    }
    t->SetOnTimer([](TObject*) {});
    EXPECT_EQ(clock_.EventResolution(t->TimerID()), c.expected);
    EXPECT_EQ(t->Period(), c.expected);
  }
}

TEST_F(B_Time, RefusedStartRaisesWithTheName) {
  std::unique_ptr<TB_HiResTimer> t(new TB_HiResTimer(nullptr));
  t->SetName("B_HiResTimer1");
  clock_.SetRefuseEvents(true);
  try {
    t->SetOnTimer([](TObject*) {});
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Таймер \"B_HiResTimer1\" не запущен");
  }
  EXPECT_EQ(t->TimerID(), 0u);
  clock_.SetRefuseEvents(false);
  t->SetInterval(50);  // starts now
  EXPECT_NE(t->TimerID(), 0u);
  t.reset();  // the destructor kills it and ends the period
  EXPECT_EQ(clock_.ActiveCount(), 0);
  EXPECT_EQ(clock_.PeriodCount(100), 0);
  EXPECT_EQ(clock_.PeriodCount(50), 0);
}

TEST_F(B_Time, TicksOfARestartedTimerAreDropped) {
  int ticks = 0;
  auto t = Counting(ticks, 10);
  clock_.Advance(30);  // three ticks posted
  t->SetInterval(20);  // a new timer before they are handled
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 0);
  Advance(20);
  EXPECT_EQ(ticks, 1);
}

TEST_F(B_Time, StopFreesTheWindowAndAStartMakesANewOne) {
  int ticks = 0;
  auto t = Counting(ticks);
  HWND first = t->WindowHandle();
  t->Stop();
  EXPECT_FALSE(t->Enabled());
  EXPECT_EQ(t->WindowHandle(), nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(clock_.ActiveCount(), 0);
  t->SetEnabled(true);
  EXPECT_TRUE(IsWindow(t->WindowHandle()));
  Advance(100);
  EXPECT_EQ(ticks, 1);
}

// Real time: the system service's thread posts across threads.
TEST_F(B_Time, RealTimerKeepsItsPeriod) {
  SetMMTimerService(nullptr);
  std::vector<Clock::time_point> stamps;
  std::unique_ptr<TB_HiResTimer> t(new TB_HiResTimer(nullptr));
  t->SetInterval(10);
  t->SetResolution(1);
  t->SetOnTimer([&](TObject*) { stamps.push_back(Clock::now()); });
  auto end = Clock::now() + 500ms;
  while (Clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(500us);
  }
  t.reset();
  // 50 periods; generous bounds for loaded and sanitized runs.
  EXPECT_GE(stamps.size(), 30u);
  EXPECT_LE(stamps.size(), 52u);
  ASSERT_GE(stamps.size(), 2u);
  double mean = std::chrono::duration<double, std::milli>(stamps.back() - stamps.front()).count() /
                static_cast<double>(stamps.size() - 1);
  EXPECT_NEAR(mean, 10.0, 3.0);
}

TEST_F(B_Time, OtherThreadsPostToTheMainThreadInOrder) {
  std::vector<WPARAM> got;
  std::thread::id where;
  HWND wnd = AllocateHWnd([&](TMessage& m) {
    if (m.Msg != WM_USER) return;
    got.push_back(m.WParam);
    where = std::this_thread::get_id();
  });
  std::thread poster([wnd] {
    for (WPARAM i = 0; i < 200; ++i) EXPECT_TRUE(PostMessage(wnd, WM_USER, i, 0));
  });
  poster.join();
  EXPECT_TRUE(got.empty());
  Application->ProcessMessages();
  ASSERT_EQ(got.size(), 200u);
  for (WPARAM i = 0; i < 200; ++i) EXPECT_EQ(got[i], i);
  EXPECT_EQ(where, std::this_thread::get_id());

  DeallocateHWnd(wnd);
  std::thread late([wnd] { EXPECT_FALSE(PostMessage(wnd, WM_USER, 1, 0)); });
  late.join();
}
