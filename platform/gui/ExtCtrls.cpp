#include "platform/gui/ExtCtrls.h"

#include "platform/gui/Controls.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/UnitInit.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  window_ = AllocateHWnd({this, [this](TMessage& m) { WndProc(m); }});
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  if (running_) KillTimer(window_, 1);
  running_ = false;
  if (interval_ != 0 && enabled_ && on_timer_.Assigned()) {
    if (SetTimer(window_, 1, interval_) == 0) throw EOutOfResources("Not enough timers available");
    running_ = true;
  }
}

void TTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  on_timer_ = std::move(Value);
  UpdateTimer();
}

void TTimer::Timer() { on_timer_(this); }

void TTimer::WndProc(TMessage& Message) {
  if (Message.Msg == WM_TIMER) {
    Timer();
    Message.Result = 0;
  }
}

namespace {

void InitExtCtrls() {
  RegisterClass<TTimer, TComponent>("TTimer")
      .Prop("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
      .Prop("Interval", &TTimer::Interval, &TTimer::SetInterval, Cardinal{1000})
      .Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
}

constexpr const TUnit* kUses[] = {&unit_Controls};

}  // namespace

constinit const TUnit unit_ExtCtrls("ExtCtrls", kUses, InitExtCtrls, nullptr);
