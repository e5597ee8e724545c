#include "platform/gui/Messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/gui/GuiInternal.h"

struct HWND__ {
  uintptr_t id;
};

namespace {

struct Window {
  TWndMethod proc;
  std::map<uintptr_t, uintptr_t> timers;  // timer id -> service id
  TTimerService* service = nullptr;       // the service the timers run on
};

struct Windows {
  std::unordered_map<HWND, std::unique_ptr<Window>> items;
  uintptr_t next = 1;
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

class Receiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != PostedMessage::Kind()) return QObject::event(e);
    auto* pm = static_cast<PostedMessage*>(e);
    try {
      Deliver(pm->wnd, pm->msg);
    } catch (...) {
      HandleEventException(nullptr);
    }
    return true;
  }
};

Receiver* TheReceiver() {
  static Receiver* r = nullptr;
  if (r == nullptr) {
    EnsureGuiApplication();
    r = new Receiver;
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { r = nullptr; });
    r->setParent(QCoreApplication::instance());
  }
  return r;
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
  t.items[wnd] = std::move(w);
  return wnd;
}

void DeallocateHWnd(HWND Wnd) {
  auto& items = Table().items;
  auto it = items.find(Wnd);
  if (it == items.end()) return;
  std::unique_ptr<Window> w = std::move(it->second);
  items.erase(it);
  if (w->service != nullptr) StopTimers(w.get());
}

bool IsWindow(HWND Wnd) { return Find(Wnd) != nullptr; }

LRESULT SendMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  Deliver(Wnd, m);
  return m.Result;
}

bool PostMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
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
