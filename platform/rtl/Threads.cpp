#include "platform/rtl/Threads.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <system_error>
#include <vector>

namespace {

// A Synchronize call waiting for the main thread.
struct SyncRequest {
  const TThreadMethod* call = nullptr;
  std::condition_variable cv;
  std::exception_ptr error;
  bool done = false;
};

struct QueuedCall {
  uint64_t seq;
  const void* owner;
  TThreadMethod call;      // Queue
  SyncRequest* request;    // Synchronize (call is empty)
};

struct CallQueue {
  std::mutex mutex;
  std::condition_variable main_cv;  // the main thread waits here for calls or finished threads
  std::deque<QueuedCall> calls;
  uint64_t next_seq = 0;
  TWakeMainThread wake;
  std::exception_ptr deferred;  // raised by the next CheckSynchronize
};

// Never destroyed: threads that free themselves may still queue during exit.
CallQueue& Calls() {
  static CallQueue* queue = new CallQueue;
  return *queue;
}

const void* OwnerKey(const TObject* owner) { return owner ? dynamic_cast<const void*>(owner) : nullptr; }

void Push(QueuedCall call) {
  auto& q = Calls();
  TWakeMainThread wake;
  {
    std::lock_guard lock(q.mutex);
    call.seq = q.next_seq++;
    q.calls.push_back(std::move(call));
    wake = q.wake;
    q.main_cv.notify_all();
  }
  if (wake) wake();
}

// Drops the Queue'd calls of an owner; Synchronize calls always run.
void DropQueuedCalls(const void* key) {
  if (key == nullptr) return;
  std::vector<QueuedCall> dropped;  // their callables are destroyed outside the lock
  auto& q = Calls();
  std::lock_guard lock(q.mutex);
  for (auto it = q.calls.begin(); it != q.calls.end();) {
    if (it->request == nullptr && it->owner == key) {
      dropped.push_back(std::move(*it));
      it = q.calls.erase(it);
    } else {
      ++it;
    }
  }
}

// Runs the calls queued so far, one at a time, so that RemoveQueuedEvents from
// inside a call still drops the later calls of a freed object.
bool RunQueuedCalls() {
  auto& q = Calls();
  std::unique_lock lock(q.mutex);
  const uint64_t limit = q.next_seq;
  bool ran = false;
  while (!q.calls.empty() && q.calls.front().seq < limit) {
    QueuedCall call = std::move(q.calls.front());
    q.calls.pop_front();
    lock.unlock();
    ran = true;
    if (call.request != nullptr) {
      std::exception_ptr error;
      try {
        (*call.request->call)();
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      call.request->error = error;
      call.request->done = true;
      call.request->cv.notify_one();  // under the lock: the waiter owns the request
    } else {
      call.call();
      lock.lock();
    }
  }
  return ran;
}

}  // namespace

TThreadID GetCurrentThreadId() { return static_cast<TThreadID>(::gettid()); }

TThreadID MainThreadID() { return static_cast<TThreadID>(::getpid()); }

bool IsMainThread() { return ::gettid() == ::getpid(); }

bool CheckSynchronize(Cardinal Timeout) {
  if (!IsMainThread())
    throw EThread("CheckSynchronize called from thread %u, which is NOT the main thread", {GetCurrentThreadId()});
  auto& q = Calls();
  {
    std::unique_lock lock(q.mutex);
    if (q.deferred) {
      std::exception_ptr error = std::exchange(q.deferred, nullptr);
      lock.unlock();
      std::rethrow_exception(error);
    }
    if (q.calls.empty() && Timeout > 0)
      q.main_cv.wait_for(lock, std::chrono::milliseconds(Timeout), [&] { return !q.calls.empty(); });
  }
  return RunQueuedCalls();
}

void SetWakeMainThread(TWakeMainThread Hook) {
  auto& q = Calls();
  std::lock_guard lock(q.mutex);
  q.wake = std::move(Hook);
}

TWakeMainThread WakeMainThread() {
  auto& q = Calls();
  std::lock_guard lock(q.mutex);
  return q.wake;
}

// ---------------------------------------------------------------------------
// TThread

TThread::TThread(bool CreateSuspended) : create_suspended_(CreateSuspended) {}

TThread::~TThread() {
  if (thread_.joinable()) {
    if (IsCurrentThread()) {
      thread_.detach();  // freeing itself at the end of its body
    } else {
      // Reached without BeforeDestruction (not freed by delete).
      Terminate();
      WaitUntilDone(true);
      thread_.join();
    }
  }
  DropQueuedCalls(queue_key_);
}

void TThread::AfterConstruction() {
  TObject::AfterConstruction();
  if (!create_suspended_) Start();
}

void TThread::BeforeDestruction() {
  TObject::BeforeDestruction();
  if (started_.load() && !IsCurrentThread()) {
    Terminate();
    WaitUntilDone(true);
  }
  DropQueuedCalls(OwnerKey(this));
}

bool TThread::IsCurrentThread() const { return std_id_.load() == std::this_thread::get_id(); }

bool TThread::StartThread() {
  if (started_.exchange(true)) return false;
  queue_key_ = OwnerKey(this);
  std::unique_lock lock(mutex_);
  try {
    thread_ = std::thread([this] { ThreadProc(); });
  } catch (const std::system_error& e) {
    started_.store(false);
    throw EThread("Thread creation error: %s", {String(e.what())});
  }
  // The body waits for go_, so it cannot finish (and free itself) before
  // thread_ is set and this function is done with the object.
  wake_.wait(lock, [this] { return thread_id_.load() != 0; });
  go_ = true;
  wake_.notify_all();
  return true;
}

void TThread::Start() {
  if (!StartThread()) throw EThread("Cannot call Start on a running or finished thread");
}

void TThread::Resume() { StartThread(); }

void TThread::Terminate() {
  std::lock_guard lock(mutex_);
  terminated_.store(true);
  wake_.notify_all();  // under the lock: a thread that frees itself cannot be gone yet
}

bool TThread::Sleep(Cardinal Milliseconds) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(Milliseconds), [this] { return terminated_.load(); });
  return !terminated_.load();
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(mutex_);
  return fatal_exception_;
}

namespace {

void ApplyPriority(TThreadID Thread, TThreadPriority Priority) {
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  if (Thread == 0) return;
  // Refused without the right to raise a priority: the thread keeps its own.
  setpriority(PRIO_PROCESS, static_cast<id_t>(Thread), kNice[Priority]);
}

}  // namespace

void TThread::SetPriority(TThreadPriority Value) {
  priority_.store(Value);
  if (started_.load() && !finished_.load()) ApplyPriority(thread_id_.load(), Value);
}

void TThread::ThreadProc() {
  {
    std::unique_lock lock(mutex_);
    std_id_.store(std::this_thread::get_id());
    thread_id_.store(GetCurrentThreadId());
    wake_.notify_all();
    wake_.wait(lock, [this] { return go_; });
  }
  if (priority_.load() != tpNormal) ApplyPriority(thread_id_.load(), priority_.load());
  if (!Terminated()) {
    try {
      Execute();
    } catch (...) {
      std::lock_guard lock(mutex_);
      fatal_exception_ = std::current_exception();
    }
  }
  finished_.store(true);
  if (on_terminate_) {
    try {
      Synchronize(this, [this] { on_terminate_(this); });
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!fatal_exception_) fatal_exception_ = std::current_exception();
    }
  }
  const bool free_self = FreeOnTerminate();
  MarkDone();  // from here on the object may be gone unless it frees itself
  if (free_self) delete this;
}

void TThread::MarkDone() {
  auto& q = Calls();
  std::lock_guard lock(q.mutex);
  done_ = true;
  q.main_cv.notify_all();
  done_cv_.notify_all();
}

void TThread::WaitUntilDone(bool deferQueueErrors) {
  auto& q = Calls();
  std::unique_lock lock(q.mutex);
  if (!IsMainThread()) {
    done_cv_.wait(lock, [this] { return done_; });
    return;
  }
  while (!done_) {
    if (q.calls.empty()) {
      q.main_cv.wait(lock);
      continue;
    }
    lock.unlock();
    try {
      RunQueuedCalls();
    } catch (...) {
      if (!deferQueueErrors) throw;
      std::lock_guard relock(q.mutex);
      if (!q.deferred) q.deferred = std::current_exception();
    }
    lock.lock();
  }
}

Integer TThread::WaitFor() {
  if (!started_.load()) throw EThread("Cannot wait for a thread that was not started");
  if (FreeOnTerminate()) throw EThread("Cannot wait for a thread that frees itself");
  if (IsCurrentThread()) throw EThread("A thread cannot wait for itself");
  WaitUntilDone(false);
  return ReturnValue();
}

void TThread::SynchronizeCall(const TObject* Owner, const TThreadMethod& Call) {
  if (IsMainThread()) {
    Call();
    return;
  }
  SyncRequest request;
  request.call = &Call;
  Push(QueuedCall{0, OwnerKey(Owner), {}, &request});
  auto& q = Calls();
  std::unique_lock lock(q.mutex);
  request.cv.wait(lock, [&] { return request.done; });
  if (request.error) std::rethrow_exception(request.error);
}

void TThread::Queue(const TObject* Owner, TThreadMethod Call) {
  if (IsMainThread()) {
    Call();
    return;
  }
  Push(QueuedCall{0, OwnerKey(Owner), std::move(Call), nullptr});
}

void TThread::RemoveQueuedEvents(const TObject* Owner) { DropQueuedCalls(OwnerKey(Owner)); }
