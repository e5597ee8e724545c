#include "platform/gui/Messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gui/GuiInternal.h"
#include "platform/rtl/Threads.h"

struct HWND__ {
  uintptr_t id;
};

namespace {

struct Window {
  TWndMethod proc;
  std::map<uintptr_t, uintptr_t> timers;  // timer id -> service id
  TTimerService* service = nullptr;       // the service the timers run on
};

// Changed on the main thread only, under the lock, which other threads take
// to look a handle up.
struct Windows {
  std::unordered_map<HWND, std::unique_ptr<Window>> items;
  uintptr_t next = 1;
  std::mutex lock;
};

Windows& Table() {
  static Windows w;
  return w;
}

Window* Find(HWND wnd) {
  auto& items = Table().items;
  auto it = items.find(wnd);
  return it == items.end() ? nullptr : it->second.get();
}

void Deliver(HWND wnd, TMessage& m) {
  Window* w = Find(wnd);
  if (w == nullptr) return;
  TWndMethod proc = w->proc;  // the procedure may free the window
  proc(m);
}

// Posted messages travel as events to one receiver on the main thread.
class PostedMessage : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  PostedMessage(HWND w, const TMessage& m) : QEvent(Kind()), wnd(w), msg(m) {}
  HWND wnd;
  TMessage msg;
};

// Messages posted by other threads wait here. The posting thread wakes the
// main thread through an eventfd that a socket notifier of the receiver
// watches (no Qt object crosses threads; the lock orders every access).
struct CrossThreadQueue {
  std::mutex lock;
  std::vector<std::pair<HWND, TMessage>> items;
  bool wake_posted = false;
  // One descriptor for the life of the process: a poster may still write to
  // it while the application object goes away.
  int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

CrossThreadQueue& Posted() {
  static CrossThreadQueue q;
  return q;
}

void DeliverPosted(HWND wnd, TMessage& m) {
  try {
    Deliver(wnd, m);
  } catch (...) {
    HandleEventException(nullptr);
  }
}

// Main thread: runs the messages other threads posted.
void DeliverCrossThread() {
  CrossThreadQueue& q = Posted();
  uint64_t count = 0;
  ssize_t got = read(q.fd, &count, sizeof count);
  (void)got;
  std::vector<std::pair<HWND, TMessage>> items;
  {
    std::lock_guard lock(q.lock);
    items.swap(q.items);
    q.wake_posted = false;
  }
  for (auto& [wnd, msg] : items) DeliverPosted(wnd, msg);
}

class Receiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != PostedMessage::Kind()) return QObject::event(e);
    auto* pm = static_cast<PostedMessage*>(e);
    DeliverPosted(pm->wnd, pm->msg);
    return true;
  }
};

std::atomic<Receiver*> g_receiver{nullptr};

// Made on the main thread; gone with the application object.
Receiver* TheReceiver() {
  if (g_receiver.load() == nullptr) {
    EnsureGuiApplication();
    auto* r = new Receiver;
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { g_receiver.store(nullptr); });
    r->setParent(QCoreApplication::instance());
    if (Posted().fd >= 0) {
      auto* notifier = new QSocketNotifier(Posted().fd, QSocketNotifier::Read, r);
      QObject::connect(notifier, &QSocketNotifier::activated, [] { DeliverCrossThread(); });
    }
    g_receiver.store(r);
  }
  return g_receiver.load();
}

class QtTimerService : public TTimerService {
 public:
  uintptr_t Start(Cardinal Interval, std::function<void()> Tick) override {
    EnsureGuiApplication();
    auto* timer = new QTimer(TheReceiver());
    timer->setInterval(static_cast<int>(Interval));
    uintptr_t id = next_++;
    QObject::connect(timer, &QTimer::timeout, [tick = std::move(Tick)] {
      try {
        tick();
      } catch (...) {
        HandleEventException(nullptr);
      }
    });
    timers_[id] = timer;
    timer->start();
    return id;
  }
  void Stop(uintptr_t Id) override {
    auto it = timers_.find(Id);
    if (it == timers_.end()) return;
    QTimer* t = it->second;
    timers_.erase(it);
    t->stop();
    t->deleteLater();
  }

 private:
  std::map<uintptr_t, QTimer*> timers_;
  uintptr_t next_ = 1;
};

TTimerService* g_service = nullptr;

TTimerService* DefaultService() {
  static QtTimerService service;
  return &service;
}

void StopTimers(Window* w) {
  for (auto& [id, sid] : w->timers) w->service->Stop(sid);
  w->timers.clear();
}

}  // namespace

HWND AllocateHWnd(TWndMethod Method) {
  Windows& t = Table();
  auto* wnd = reinterpret_cast<HWND>(t.next++);
  auto w = std::make_unique<Window>();
  w->proc = std::move(Method);
  {
    std::lock_guard lock(t.lock);
    t.items[wnd] = std::move(w);
  }
  if (GuiApplicationExists()) TheReceiver();  // ready for posts from other threads
  return wnd;
}

void DeallocateHWnd(HWND Wnd) {
  std::unique_ptr<Window> w;
  {
    Windows& t = Table();
    std::lock_guard lock(t.lock);
    auto it = t.items.find(Wnd);
    if (it == t.items.end()) return;
    w = std::move(it->second);
    t.items.erase(it);
  }
  if (w->service != nullptr) StopTimers(w.get());
}

bool IsWindow(HWND Wnd) { return Find(Wnd) != nullptr; }

LRESULT SendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  Deliver(Wnd, m);
  return m.Result;
}

bool PostMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  if (!IsMainThread()) {
    {
      Windows& t = Table();
      std::lock_guard lock(t.lock);
      if (g_receiver.load() == nullptr || Posted().fd < 0 || !t.items.contains(Wnd)) return false;
    }
    CrossThreadQueue& q = Posted();
    bool wake = false;
    {
      std::lock_guard lock(q.lock);
      q.items.emplace_back(Wnd, TMessage{Msg, WParam, LParam, 0});
      wake = !std::exchange(q.wake_posted, true);
    }
    if (wake) {
      uint64_t one = 1;
      ssize_t written = write(q.fd, &one, sizeof one);
      (void)written;
    }
    return true;
  }
  if (Find(Wnd) == nullptr) return false;
  QCoreApplication::postEvent(TheReceiver(), new PostedMessage(Wnd, TMessage{Msg, WParam, LParam, 0}));
  return true;
}

uintptr_t SetTimer(HWND Wnd, uintptr_t IDEvent, Cardinal Elapse) {
  Window* w = Find(Wnd);
  if (w == nullptr || IDEvent == 0) return 0;
  KillTimer(Wnd, IDEvent);
  if (w->timers.empty()) w->service = CurrentTimerService();
  uintptr_t sid = w->service->Start(std::max<Cardinal>(Elapse, 1), [Wnd, IDEvent] {
    Window* target = Find(Wnd);
    if (target == nullptr || !target->timers.contains(IDEvent)) return;
    TMessage m{WM_TIMER, IDEvent, 0, 0};
    Deliver(Wnd, m);
  });
  w->timers[IDEvent] = sid;
  return IDEvent;
}

bool KillTimer(HWND Wnd, uintptr_t IDEvent) {
  Window* w = Find(Wnd);
  if (w == nullptr) return false;
  auto it = w->timers.find(IDEvent);
  if (it == w->timers.end()) return false;
  w->service->Stop(it->second);
  w->timers.erase(it);
  return true;
}

TTimerService* SetTimerService(TTimerService* Service) {
  TTimerService* old = CurrentTimerService();
  g_service = Service;
  return old;
}

TTimerService* CurrentTimerService() { return g_service != nullptr ? g_service : DefaultService(); }

uintptr_t TManualTimerService::Start(Cardinal Interval, std::function<void()> Tick) {
  uintptr_t id = next_id_++;
  timers_[id] = Timer{std::max<Cardinal>(Interval, 1), now_ + std::max<Cardinal>(Interval, 1), std::move(Tick)};
  return id;
}

void TManualTimerService::Stop(uintptr_t Id) { timers_.erase(Id); }

void TManualTimerService::Advance(Cardinal Ms) {
  uint64_t target = now_ + Ms;
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due)) next = it;
    }
    if (next == timers_.end()) break;
    now_ = next->second.due;
    next->second.due += next->second.interval;
    std::function<void()> tick = next->second.tick;  // the tick may stop its timer
    tick();
  }
  now_ = target;
}
