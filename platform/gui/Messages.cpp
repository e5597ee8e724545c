#include "platform/gui/Messages.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/gui/GuiInternal.h"
#include "platform/rtl/SysUtils.h"
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

struct Queued {
  uint64_t id;
  TMsg msg;
  uint64_t stroke;  // the key press a character came from (0: posted)
};

// Windows and the queue. Windows are made, used and freed on the main
// thread; the lock lets other threads post.
struct State {
  std::mutex lock;
  std::unordered_map<HWND, std::unique_ptr<Window>> items;
  uintptr_t next = 1;
  std::deque<Queued> queue;
  uint64_t next_id = 1;
  size_t wakes = 0;  // wake-up events on their way to the receiver
  // Other threads make no Qt event: they wake the main thread through this
  // eventfd, which a socket notifier of the receiver watches. One descriptor
  // for the life of the process: a poster may still write to it while the
  // application object goes away.
  int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  bool fd_signalled = false;  // written and not yet read by the main thread
};

State& Table() {
  static State s;
  return s;
}

Window* Find(HWND wnd) {
  State& t = Table();
  std::lock_guard guard(t.lock);
  auto it = t.items.find(wnd);
  return it == t.items.end() ? nullptr : it->second.get();
}

void Deliver(HWND wnd, TMessage& m) {
  Window* w = Find(wnd);
  if (w == nullptr) return;
  TWndMethod proc = w->proc;  // the procedure may free the window
  proc(m);
}

TQueuedInputHandler g_input_handler = nullptr;
void (*g_quit_handler)(int) = nullptr;
int32_t g_message_time = 0;

// The queue wakes the event loop with one event per message; each delivers
// the queue front.
class Receiver : public QObject {
 public:
  static QEvent::Type Kind() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  bool event(QEvent* e) override;
};

std::atomic<Receiver*> g_receiver{nullptr};

void WakeFromOtherThreads();

// Made on the main thread; gone with the application object.
Receiver* TheReceiver() {
  if (Receiver* r = g_receiver.load()) return r;
  EnsureGuiApplication();
  auto* r = new Receiver;
  QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] {
    g_receiver.store(nullptr);
    std::lock_guard guard(Table().lock);
    Table().wakes = 0;  // its wake-up events went with the application
  });
  r->setParent(QCoreApplication::instance());
  if (Table().fd >= 0) {
    auto* notifier = new QSocketNotifier(Table().fd, QSocketNotifier::Read, r);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { WakeFromOtherThreads(); });
  }
  g_receiver.store(r);
  return r;
}

// Wakes the loop for the messages queued without a wake-up (call with the
// lock held). The main thread posts a wake-up event per message: Qt handles
// the events posted before a pass of the loop in that pass, so
// ProcessMessages delivers every message queued before it. Other threads
// signal the eventfd once until the main thread reads it.
void WakeLocked(State& t) {
  if (!IsMainThread()) {
    if (t.fd >= 0 && !std::exchange(t.fd_signalled, true)) {
      uint64_t one = 1;
      ssize_t written = write(t.fd, &one, sizeof one);
      (void)written;
    }
    return;
  }
  Receiver* r = TheReceiver();
  for (; t.wakes < t.queue.size(); ++t.wakes) QCoreApplication::postEvent(r, new QEvent(Receiver::Kind()));
}

// Main thread, when the eventfd is readable: wakes the loop for what other
// threads queued and delivers it now (events posted from here would wait for
// the loop's next pass).
void WakeFromOtherThreads() {
  State& t = Table();
  {
    std::lock_guard guard(t.lock);
    uint64_t count = 0;
    ssize_t got = read(t.fd, &count, sizeof count);
    (void)got;
    t.fd_signalled = false;
    WakeLocked(t);
  }
  QCoreApplication::sendPostedEvents(g_receiver.load(), Receiver::Kind());
}

void DeliverQueued(const Queued& q) {
  g_message_time = static_cast<int32_t>(q.msg.time);
  if (q.msg.message == WM_QUIT && q.msg.hwnd == nullptr) {
    if (g_quit_handler != nullptr) g_quit_handler(static_cast<int>(q.msg.wParam));
    return;
  }
  if (g_input_handler != nullptr && g_input_handler(q.msg, q.stroke)) return;
  TMessage m{q.msg.message, q.msg.wParam, q.msg.lParam, 0};
  Deliver(q.msg.hwnd, m);
}

bool Receiver::event(QEvent* e) {
  if (e->type() != Kind()) return QObject::event(e);
  State& t = Table();
  Queued q;
  {
    std::lock_guard guard(t.lock);
    if (t.wakes > 0) --t.wakes;
    if (t.queue.empty()) return true;
    q = t.queue.front();
    t.queue.pop_front();
    WakeLocked(t);  // characters queued by key presses have no wake-up of their own
  }
  TEventScope scope;
  try {
    DeliverQueued(q);
  } catch (...) {
    HandleEventException(nullptr);
  }
  return true;
}

bool Matches(const Queued& q, HWND wnd, Cardinal first, Cardinal last) {
  if (wnd != nullptr && q.msg.hwnd != wnd) return false;
  if (first == 0 && last == 0) return true;
  return q.msg.message >= first && q.msg.message <= last;
}

TPoint CursorNow() {
  if (!GuiApplicationExists() || !IsMainThread()) return {};
  QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

// Key state: 0x80 down, 0x01 toggled.
std::array<uint8_t, 256>& Keys() {
  static std::array<uint8_t, 256> keys{};
  return keys;
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
  if (GuiApplicationExists()) TheReceiver();  // ready for posts from other threads
  State& t = Table();
  auto w = std::make_unique<Window>();
  w->proc = std::move(Method);
  std::lock_guard guard(t.lock);
  auto* wnd = reinterpret_cast<HWND>(t.next++);
  t.items[wnd] = std::move(w);
  return wnd;
}

void DeallocateHWnd(HWND Wnd) {
  State& t = Table();
  std::unique_ptr<Window> w;
  {
    std::lock_guard guard(t.lock);
    auto it = t.items.find(Wnd);
    if (it == t.items.end()) return;
    w = std::move(it->second);
    t.items.erase(it);
    std::erase_if(t.queue, [Wnd](const Queued& q) { return q.msg.hwnd == Wnd; });
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
  TMsg msg{Wnd, Msg, WParam, LParam, GetTickCount(), CursorNow()};
  State& t = Table();
  std::lock_guard guard(t.lock);
  if (!t.items.contains(Wnd)) return false;
  // Another thread needs the receiver's notifier to wake the main thread.
  if (!IsMainThread() && (g_receiver.load() == nullptr || t.fd < 0)) return false;
  t.queue.push_back({t.next_id++, msg, 0});
  WakeLocked(t);
  return true;
}

void PostQuitMessage(int ExitCode) {
  TMsg msg{nullptr, WM_QUIT, static_cast<WPARAM>(ExitCode), 0, GetTickCount(), CursorNow()};
  State& t = Table();
  std::lock_guard guard(t.lock);
  t.queue.push_back({t.next_id++, msg, 0});
  WakeLocked(t);
}

bool PeekMessage(TMsg& Msg, HWND Wnd, Cardinal FilterMin, Cardinal FilterMax, Cardinal RemoveMsg) {
  State& t = Table();
  std::lock_guard guard(t.lock);
  auto it = std::find_if(t.queue.begin(), t.queue.end(),
                         [&](const Queued& q) { return Matches(q, Wnd, FilterMin, FilterMax); });
  if (it == t.queue.end()) return false;
  Msg = it->msg;
  if (RemoveMsg & PM_REMOVE) t.queue.erase(it);
  return true;
}

LRESULT DispatchMessage(const TMsg& Msg) {
  TMessage m{Msg.message, Msg.wParam, Msg.lParam, 0};
  Deliver(Msg.hwnd, m);
  return m.Result;
}

int32_t GetMessageTime() { return g_message_time; }

int16_t GetKeyState(int VirtKey) {
  if (VirtKey < 0 || VirtKey > 255) return 0;
  uint8_t k = Keys()[static_cast<size_t>(VirtKey)];
  return static_cast<int16_t>(((k & 0x80) != 0 ? 0x8000 : 0) | (k & 0x01));
}

int16_t GetAsyncKeyState(int VirtKey) {
  if (!GuiApplicationExists()) return GetKeyState(VirtKey);
  bool down;
  switch (VirtKey) {
    case VK_SHIFT: down = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier; break;
    case VK_CONTROL: down = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier; break;
    case VK_MENU: down = QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier; break;
    case VK_LBUTTON: down = QGuiApplication::mouseButtons() & Qt::LeftButton; break;
    case VK_RBUTTON: down = QGuiApplication::mouseButtons() & Qt::RightButton; break;
    case VK_MBUTTON: down = QGuiApplication::mouseButtons() & Qt::MiddleButton; break;
    default: return GetKeyState(VirtKey);
  }
  return static_cast<int16_t>(down ? 0x8000 : 0);
}

// ---------------------------------------------------------------------------
// Internals of the GUI layer

void SetQueuedInputHandler(TQueuedInputHandler Handler) { g_input_handler = Handler; }
void SetQuitHandler(void (*Handler)(int ExitCode)) { g_quit_handler = Handler; }

uint64_t QueueMessage(const TMsg& Msg, uint64_t Stroke) {
  State& t = Table();
  std::lock_guard guard(t.lock);
  uint64_t id = t.next_id++;
  t.queue.push_back({id, Msg, Stroke});
  return id;
}

bool TakeQueuedMessage(uint64_t Id, TMsg& Msg) {
  State& t = Table();
  std::lock_guard guard(t.lock);
  auto it = std::find_if(t.queue.begin(), t.queue.end(), [Id](const Queued& q) { return q.id == Id; });
  if (it == t.queue.end()) return false;
  Msg = it->msg;
  t.queue.erase(it);
  return true;
}

void SetMessageTime(int32_t Time) { g_message_time = Time; }

void SetKeyDown(Word VirtKey, bool Down) {
  uint8_t& k = Keys()[VirtKey & 0xFF];
  if (Down && (k & 0x80) == 0) k ^= 0x01;
  k = static_cast<uint8_t>(Down ? (k | 0x80) : (k & ~0x80));
}

// ---------------------------------------------------------------------------
// Timers

uintptr_t SetTimer(HWND Wnd, uintptr_t IDEvent, Cardinal Elapse) {
  Window* w = Find(Wnd);
  if (w == nullptr || IDEvent == 0) return 0;
  KillTimer(Wnd, IDEvent);
  if (w->timers.empty()) w->service = CurrentTimerService();
  uintptr_t sid = w->service->Start(std::max<Cardinal>(Elapse, USER_TIMER_MINIMUM), [Wnd, IDEvent] {
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
