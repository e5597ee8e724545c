// The high-resolution timer component: OnTimer every Interval ms (or once,
// with OneShot), from the multimedia timer events of platform/os/MMSystem.h.
//
// The event's callback runs on the timer thread and only posts WM_USER (the
// event id as WParam) to the component's hidden window; the tick, and every
// state change, happen on the main thread. A tick whose id is not the timer
// the component holds now (a message still queued from a timer since killed
// or restarted) is ignored.
//
// UpdateTimer, run by each setter when its value changes (SetResolution and
// SetOnTimer always) and by Loaded: the held timer is killed and forgotten
// (a one-shot one with Enabled false, fired or not, is forgotten even when
// the kill fails), the held period ended; then, with Interval not 0, Enabled
// and OnTimer assigned, the period Resolution is requested and the timer
// started. A timer that cannot be started raises Exception
// "Таймер "<Name>" не запущен" and the component holds no timer. No timer
// starts while the component is being loaded or destroyed.
//
// Resolution is limited to at most Interval, then to the device's period
// range (timeGetDevCaps; 0 each when that fails).
//
// Stop sets Enabled to false; TB_HiResTimer then also frees its hidden
// window, and makes a new one when it is started again.
#pragma once

#include "platform/gui/Messages.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"

class TB_CustomTimer : public TComponent {
 public:
  explicit TB_CustomTimer(TComponent* AOwner);
  ~TB_CustomTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool OneShot() const { return one_shot_; }
  void SetOneShot(bool Value);
  Cardinal Interval() const { return interval_; }
  void SetInterval(Cardinal Value);
  Cardinal Resolution() const { return resolution_; }
  void SetResolution(Cardinal Value);
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent Value);

  // The period held from timeBeginPeriod (0 when none) and the timer's id
  // (0 when none).
  Cardinal Period() const { return period_; }
  Cardinal TimerID() const { return timer_id_; }

  virtual void Stop();
  void Loaded() override;

 protected:
  // Starts the multimedia timer; returns its id, 0 on failure.
  virtual Cardinal StartTimer(bool Periodic) = 0;
  void UpdateTimer();
  // The tick of timer Id (main thread): when enabled and Id is the timer
  // held, a one-shot timer is disabled first, then OnTimer runs.
  void Tick(Cardinal Id);

 private:
  bool enabled_ = true;
  bool one_shot_ = false;
  Cardinal interval_ = 100;
  Cardinal period_ = 0;
  Cardinal resolution_ = 100;
  Cardinal timer_id_ = 0;
  TNotifyEvent on_timer_;
};

class TB_HiResTimer : public TB_CustomTimer {
 public:
  explicit TB_HiResTimer(TComponent* AOwner);
  ~TB_HiResTimer() override;

  // The hidden window the ticks are posted to (nullptr after Stop).
  HWND WindowHandle() const { return window_; }

  void Stop() override;

 protected:
  Cardinal StartTimer(bool Periodic) override;

 private:
  void WndProc(TMessage& Message);

  HWND window_ = nullptr;
};

class TUnit;
extern const TUnit unit_B_Time;
