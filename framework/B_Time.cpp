#include "framework/B_Time.h"

#include <algorithm>

#include "platform/os/MMSystem.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

namespace {

// Timer thread: hand the tick to the component's window on the main thread.
void TimerCallback(UINT uTimerID, UINT /*uMsg*/, DWORD_PTR dwUser, DWORD_PTR /*dw1*/, DWORD_PTR /*dw2*/) {
  PostMessage(reinterpret_cast<HWND>(dwUser), WM_USER, uTimerID, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// TB_CustomTimer

TB_CustomTimer::TB_CustomTimer(TComponent* AOwner) : TComponent(AOwner) {}

TB_CustomTimer::~TB_CustomTimer() { TB_CustomTimer::Stop(); }

void TB_CustomTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  UpdateTimer();
}

void TB_CustomTimer::SetOneShot(bool Value) {
  if (Value == one_shot_) return;
  one_shot_ = Value;
  UpdateTimer();
}

void TB_CustomTimer::SetInterval(Cardinal Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TB_CustomTimer::SetResolution(Cardinal Value) {
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) caps = TIMECAPS{};
  Value = std::min(Value, interval_);
  if (Value < caps.wPeriodMin) {
    Value = caps.wPeriodMin;
  } else if (Value > caps.wPeriodMax) {
    Value = caps.wPeriodMax;
  }
  resolution_ = Value;
  UpdateTimer();
}

void TB_CustomTimer::SetOnTimer(TNotifyEvent Value) {
  on_timer_ = std::move(Value);
  UpdateTimer();
}

void TB_CustomTimer::Stop() { SetEnabled(false); }

void TB_CustomTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TB_CustomTimer::UpdateTimer() {
  if (timer_id_ != 0) {
    if (one_shot_ && !enabled_) {
      // Fired, or disabled before it fired: ids are never reused, so killing
      // a timer that is gone is harmless, and one still pending must not
      // post to a window that may be freed.
      timeKillEvent(timer_id_);
      timer_id_ = 0;
    } else if (timeKillEvent(timer_id_) == TIMERR_NOERROR) {
      timer_id_ = 0;
    }
  }
  if (period_ != 0 && timeEndPeriod(period_) == TIMERR_NOERROR) period_ = 0;
  if (interval_ == 0 || !enabled_ || !on_timer_.Assigned() || IsLoading() || IsDestroying()) return;
  period_ = timeBeginPeriod(resolution_) == TIMERR_NOERROR ? resolution_ : 0;
  Cardinal id = StartTimer(!one_shot_);
  if (id == 0) throw Exception("Таймер \"" + Name() + "\" не запущен");
  timer_id_ = id;
}

void TB_CustomTimer::Tick(Cardinal Id) {
  if (!enabled_ || Id != timer_id_) return;
  if (one_shot_) SetEnabled(false);
  on_timer_(this);
}

// ---------------------------------------------------------------------------
// TB_HiResTimer

TB_HiResTimer::TB_HiResTimer(TComponent* AOwner) : TB_CustomTimer(AOwner) {
  window_ = AllocateHWnd({this, [this](TMessage& m) { WndProc(m); }});
}

TB_HiResTimer::~TB_HiResTimer() { TB_HiResTimer::Stop(); }

void TB_HiResTimer::Stop() {
  TB_CustomTimer::Stop();
  if (window_ != nullptr) DeallocateHWnd(window_);
  window_ = nullptr;
}

Cardinal TB_HiResTimer::StartTimer(bool Periodic) {
  if (window_ == nullptr) window_ = AllocateHWnd({this, [this](TMessage& m) { WndProc(m); }});
  return timeSetEvent(Interval(), Resolution(), TimerCallback, reinterpret_cast<DWORD_PTR>(window_),
                      Periodic ? TIME_PERIODIC : TIME_ONESHOT);
}

void TB_HiResTimer::WndProc(TMessage& Message) {
  if (Message.Msg == WM_USER) Tick(static_cast<Cardinal>(Message.WParam));
}

// ---------------------------------------------------------------------------

namespace {

void InitB_Time() {
  RegisterClass<TB_CustomTimer, TComponent>("TB_CustomTimer");
  RegisterClass<TB_HiResTimer, TB_CustomTimer>("TB_HiResTimer")
      .Prop("Enabled", &TB_CustomTimer::Enabled, &TB_CustomTimer::SetEnabled, true)
      .Prop("Interval", &TB_CustomTimer::Interval, &TB_CustomTimer::SetInterval, Cardinal{100})
      .Prop("OneShot", &TB_CustomTimer::OneShot, &TB_CustomTimer::SetOneShot, false)
      .Prop("Resolution", &TB_CustomTimer::Resolution, &TB_CustomTimer::SetResolution, Cardinal{100})
      .Event("OnTimer", &TB_CustomTimer::OnTimer, &TB_CustomTimer::SetOnTimer);
}

constexpr const TUnit* kUses[] = {&unit_TypInfo};

}  // namespace

constinit const TUnit unit_B_Time("B_Time", kUses, InitB_Time, nullptr);
