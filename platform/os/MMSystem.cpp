#include "platform/os/MMSystem.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <system_error>
#include <thread>

namespace {

constexpr UINT kPeriodMax = 1000000;
constexpr uint64_t kNsPerMs = 1000000;
constexpr uint64_t kCatchUpLimitNs = 1000 * kNsPerMs;

// The event falling due first, at Limit at the latest (end() when none).
template <class Events>
auto EarliestDue(Events& events, uint64_t limit) {
  auto next = events.end();
  for (auto it = events.begin(); it != events.end(); ++it) {
    if (it->second.due <= limit && (next == events.end() || it->second.due < next->second.due)) next = it;
  }
  return next;
}

uint64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

// Every event on one thread woken by a timerfd armed at the earliest due time.
class SystemService final : public TMMTimerService {
 public:
  ~SystemService() override { StopThread(); }

  TIMECAPS DevCaps() override {
    static const TIMECAPS caps = [] {
      timespec res{};
      uint64_t ns = clock_getres(CLOCK_MONOTONIC, &res) == 0
                        ? static_cast<uint64_t>(res.tv_sec) * 1000000000u + static_cast<uint64_t>(res.tv_nsec)
                        : kNsPerMs;
      auto ms = static_cast<UINT>((ns + kNsPerMs - 1) / kNsPerMs);
      return TIMECAPS{ms < 1 ? 1 : ms, kPeriodMax};
    }();
    return caps;
  }

  UINT SetEvent(UINT Delay, UINT /*Resolution*/, LPTIMECALLBACK Callback, DWORD_PTR User, UINT Flags) override {
    if (!AcceptsEvent(Delay, Callback, Flags)) return 0;
    std::lock_guard lock(lock_);
    if (!StartThread()) return 0;
    UINT id = next_id_++;
    if (next_id_ == 0) next_id_ = 1;
    uint64_t period = Delay * kNsPerMs;
    events_[id] = Event{period, MonotonicNs() + period, (Flags & TIME_PERIODIC) != 0, Callback, User};
    Arm();
    return id;
  }

  MMRESULT KillEvent(UINT TimerID) override {
    std::unique_lock lock(lock_);
    if (events_.erase(TimerID) == 0) return MMSYSERR_INVALPARAM;
    Arm();
    if (std::this_thread::get_id() != thread_.get_id()) {
      idle_.wait(lock, [&] { return running_ != TimerID; });
    }
    return TIMERR_NOERROR;
  }

 private:
  struct Event {
    uint64_t period;  // ns
    uint64_t due;     // CLOCK_MONOTONIC ns
    bool periodic;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
  };

  // Under lock_.
  bool StartThread() {
    if (thread_.joinable()) return true;
    timer_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    stop_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (timer_fd_ >= 0 && stop_fd_ >= 0) {
      try {
        thread_ = std::thread([this] { Run(); });
        return true;
      } catch (const std::system_error&) {
      }
    }
    CloseFds();
    return false;
  }

  void StopThread() {
    {
      std::lock_guard lock(lock_);
      if (!thread_.joinable()) return;
      uint64_t one = 1;
      ssize_t written = write(stop_fd_, &one, sizeof one);
      (void)written;
    }
    thread_.join();
    CloseFds();
  }

  void CloseFds() {
    if (timer_fd_ >= 0) close(timer_fd_);
    if (stop_fd_ >= 0) close(stop_fd_);
    timer_fd_ = stop_fd_ = -1;
  }

  // Arms the timerfd at the earliest due time, or disarms it. Under lock_.
  void Arm() {
    auto first = EarliestDue(events_, UINT64_MAX);
    itimerspec spec{};
    if (first != events_.end()) {
      spec.it_value.tv_sec = static_cast<time_t>(first->second.due / 1000000000u);
      spec.it_value.tv_nsec = static_cast<long>(first->second.due % 1000000000u);
    }
    timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
  }

  void Run() {
    pthread_setname_np(pthread_self(), "mmtimer");
    pollfd fds[2] = {{timer_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    for (;;) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[1].revents != 0) break;
      uint64_t expirations = 0;
      ssize_t got = read(timer_fd_, &expirations, sizeof expirations);
      (void)got;
      std::unique_lock lock(lock_);
      FireDue(lock);
      Arm();
    }
  }

  // Runs the callbacks of the events that are due, earliest first, with the
  // lock released around each call.
  void FireDue(std::unique_lock<std::mutex>& lock) {
    for (;;) {
      uint64_t now = MonotonicNs();
      auto next = EarliestDue(events_, now);
      if (next == events_.end()) return;
      UINT id = next->first;
      Event e = next->second;
      if (e.periodic) {
        // Late ticks are caught up one after another, unless the event is
        // so far behind (a stalled process) that it restarts from now.
        next->second.due = now - e.due > kCatchUpLimitNs ? now + e.period : e.due + e.period;
      } else {
        events_.erase(next);
      }
      running_ = id;
      lock.unlock();
      e.callback(id, 0, e.user, 0, 0);
      lock.lock();
      running_ = 0;
      idle_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable idle_;
  std::map<UINT, Event> events_;
  UINT next_id_ = 1;
  UINT running_ = 0;
  int timer_fd_ = -1, stop_fd_ = -1;
  std::thread thread_;
};

SystemService& System() {
  static SystemService service;
  return service;
}

std::atomic<TMMTimerService*> g_service{nullptr};

}  // namespace

MMRESULT TMMTimerService::BeginPeriod(UINT Period) {
  TIMECAPS caps = DevCaps();
  if (Period < caps.wPeriodMin || Period > caps.wPeriodMax) return TIMERR_NOCANDO;
  std::lock_guard lock(lock_);
  ++periods_[Period];
  return TIMERR_NOERROR;
}

MMRESULT TMMTimerService::EndPeriod(UINT Period) {
  std::lock_guard lock(lock_);
  auto it = periods_.find(Period);
  if (it == periods_.end()) return TIMERR_NOCANDO;
  if (--it->second == 0) periods_.erase(it);
  return TIMERR_NOERROR;
}

int TMMTimerService::PeriodCount(UINT Period) const {
  std::lock_guard lock(lock_);
  auto it = periods_.find(Period);
  return it == periods_.end() ? 0 : it->second;
}

bool TMMTimerService::AcceptsEvent(UINT Delay, LPTIMECALLBACK Callback, UINT Flags) {
  TIMECAPS caps = DevCaps();
  return Callback != nullptr && Delay >= caps.wPeriodMin && Delay <= caps.wPeriodMax &&
         (Flags & ~(TIME_PERIODIC | TIME_KILL_SYNCHRONOUS)) == 0;
}

TMMTimerService* SetMMTimerService(TMMTimerService* Service) {
  TMMTimerService* old = CurrentMMTimerService();
  g_service.store(Service);
  return old;
}

TMMTimerService* CurrentMMTimerService() {
  TMMTimerService* s = g_service.load();
  return s != nullptr ? s : &System();
}

MMRESULT timeGetDevCaps(TIMECAPS* ptc, UINT cbtc) {
  if (ptc == nullptr || cbtc != sizeof(TIMECAPS)) return TIMERR_STRUCT;
  *ptc = CurrentMMTimerService()->DevCaps();
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT uPeriod) { return CurrentMMTimerService()->BeginPeriod(uPeriod); }
MMRESULT timeEndPeriod(UINT uPeriod) { return CurrentMMTimerService()->EndPeriod(uPeriod); }

UINT timeSetEvent(UINT uDelay, UINT uResolution, LPTIMECALLBACK lpTimeProc, DWORD_PTR dwUser, UINT fuEvent) {
  return CurrentMMTimerService()->SetEvent(uDelay, uResolution, lpTimeProc, dwUser, fuEvent);
}

MMRESULT timeKillEvent(UINT uTimerID) { return CurrentMMTimerService()->KillEvent(uTimerID); }

// ---------------------------------------------------------------------------
// TManualMMTimerService

UINT TManualMMTimerService::SetEvent(UINT Delay, UINT Resolution, LPTIMECALLBACK Callback, DWORD_PTR User,
                                     UINT Flags) {
  if (refuse_ || !AcceptsEvent(Delay, Callback, Flags)) return 0;
  UINT id = next_id_++;
  events_[id] = Event{Delay, Resolution, (Flags & TIME_PERIODIC) != 0, now_ + Delay, Callback, User};
  return id;
}

MMRESULT TManualMMTimerService::KillEvent(UINT TimerID) {
  return events_.erase(TimerID) != 0 ? TIMERR_NOERROR : MMSYSERR_INVALPARAM;
}

void TManualMMTimerService::Advance(Cardinal Ms) {
  uint64_t target = now_ + Ms;
  for (;;) {
    auto next = EarliestDue(events_, target);
    if (next == events_.end()) break;
    UINT id = next->first;
    Event e = next->second;
    now_ = e.due;
    if (e.periodic) {
      next->second.due += e.delay;
    } else {
      events_.erase(next);
    }
    e.callback(id, 0, e.user, 0, 0);
  }
  now_ = target;
}

UINT TManualMMTimerService::EventDelay(UINT TimerID) const {
  auto it = events_.find(TimerID);
  return it == events_.end() ? 0 : it->second.delay;
}

UINT TManualMMTimerService::EventResolution(UINT TimerID) const {
  auto it = events_.find(TimerID);
  return it == events_.end() ? 0 : it->second.resolution;
}

bool TManualMMTimerService::EventPeriodic(UINT TimerID) const {
  auto it = events_.find(TimerID);
  return it != events_.end() && it->second.periodic;
}
