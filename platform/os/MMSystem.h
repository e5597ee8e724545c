// High-resolution timer events: timeGetDevCaps, timeBeginPeriod,
// timeEndPeriod, timeSetEvent and timeKillEvent, on a timer service.
//
// The system service runs every event on one timer thread of the process,
// woken by a timerfd on CLOCK_MONOTONIC armed at the earliest due time
// (absolute, so a periodic event does not drift). The callback runs on that
// thread, one event at a time: keep it short (post a message and return).
// A periodic event that falls behind fires its late ticks one after another
// (so it keeps its count and phase), unless it is more than a second behind
// (a stalled process): then it drops them and restarts its period from now.
// Event ids count up and are not reused, so a stale id never names another
// event.
//
// timeGetDevCaps: wPeriodMin is the clock's resolution (clock_getres)
// rounded up to whole milliseconds, at least 1; wPeriodMax is 1000000.
// timeSetEvent refuses (returns 0) a delay outside that range, a missing
// callback, flags other than TIME_PERIODIC/TIME_ONESHOT and
// TIME_KILL_SYNCHRONOUS, and any failure to make the thread or the timerfd.
// timeKillEvent is always synchronous: when it returns, the event's callback
// is not running (unless it is called from that callback) and will not run
// again. A one-shot event is gone once it has fired (killing it then gives
// MMSYSERR_INVALPARAM).
//
// Thin: the timerfd is exact to the clock, so the resolution argument of
// timeSetEvent and the periods of timeBeginPeriod/timeEndPeriod change
// nothing; periods are only checked against the caps and counted (an end
// without a matching begin gives TIMERR_NOCANDO). The thread runs at normal
// priority.
//
// Tests install a TManualMMTimerService, whose clock moves only when told.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/rtl/System.h"

using UINT = Cardinal;
using DWORD_PTR = uintptr_t;
using MMRESULT = Cardinal;

inline constexpr MMRESULT TIMERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT TIMERR_NOCANDO = 97;
inline constexpr MMRESULT TIMERR_STRUCT = 129;

inline constexpr UINT TIME_ONESHOT = 0x0000;
inline constexpr UINT TIME_PERIODIC = 0x0001;
inline constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
inline constexpr UINT TIME_KILL_SYNCHRONOUS = 0x0100;

struct TIMECAPS {
  UINT wPeriodMin = 0;
  UINT wPeriodMax = 0;
};

// Called with the event's id, 0, the user data given to timeSetEvent, 0, 0.
using LPTIMECALLBACK = void (*)(UINT uTimerID, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1, DWORD_PTR dw2);

// Size must be sizeof(TIMECAPS) (else TIMERR_STRUCT).
MMRESULT timeGetDevCaps(TIMECAPS* ptc, UINT cbtc);
MMRESULT timeBeginPeriod(UINT uPeriod);
MMRESULT timeEndPeriod(UINT uPeriod);
// Returns the event's id, 0 on failure.
UINT timeSetEvent(UINT uDelay, UINT uResolution, LPTIMECALLBACK lpTimeProc, DWORD_PTR dwUser, UINT fuEvent);
MMRESULT timeKillEvent(UINT uTimerID);

// The service behind the routines above. Period requests are checked and
// counted here; the events are the subclass's.
class TMMTimerService {
 public:
  virtual ~TMMTimerService() = default;
  virtual TIMECAPS DevCaps() = 0;
  virtual UINT SetEvent(UINT Delay, UINT Resolution, LPTIMECALLBACK Callback, DWORD_PTR User, UINT Flags) = 0;
  virtual MMRESULT KillEvent(UINT TimerID) = 0;

  // TIMERR_NOCANDO for a period outside the caps, or an end without a begin.
  MMRESULT BeginPeriod(UINT Period);
  MMRESULT EndPeriod(UINT Period);
  // Begins of Period not yet ended.
  int PeriodCount(UINT Period) const;

 protected:
  // True when timeSetEvent may take these arguments.
  bool AcceptsEvent(UINT Delay, LPTIMECALLBACK Callback, UINT Flags);

 private:
  mutable std::mutex lock_;
  std::map<UINT, int> periods_;
};

// Installs a service (nullptr: the system service); returns the previous one.
// Events set before keep running on their service, and the routines above
// reach only the current one: install a service before the timers under test
// start, and uninstall it once their events are killed.
TMMTimerService* SetMMTimerService(TMMTimerService* Service);
TMMTimerService* CurrentMMTimerService();

// A clock that moves only when told: Advance(ms) fires, on the calling
// thread and in time order, every event that falls due.
class TManualMMTimerService : public TMMTimerService {
 public:
  TIMECAPS DevCaps() override { return caps_; }
  UINT SetEvent(UINT Delay, UINT Resolution, LPTIMECALLBACK Callback, DWORD_PTR User, UINT Flags) override;
  MMRESULT KillEvent(UINT TimerID) override;

  void SetDevCaps(TIMECAPS Caps) { caps_ = Caps; }
  // While set, SetEvent refuses every event.
  void SetRefuseEvents(bool Value) { refuse_ = Value; }
  void Advance(Cardinal Ms);
  uint64_t Now() const { return now_; }
  int ActiveCount() const { return static_cast<int>(events_.size()); }
  // The delay and resolution the event was set with (0 when it is gone).
  UINT EventDelay(UINT TimerID) const;
  UINT EventResolution(UINT TimerID) const;
  bool EventPeriodic(UINT TimerID) const;

 private:
  struct Event {
    UINT delay, resolution;
    bool periodic;
    uint64_t due;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
  };
  TIMECAPS caps_{1, 1000000};
  bool refuse_ = false;
  std::map<UINT, Event> events_;
  UINT next_id_ = 1;
  uint64_t now_ = 0;
};
