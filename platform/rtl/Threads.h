// Threads and the main-thread call queue.
//
// Main thread: the process's first thread (its kernel thread id equals the
// process id); the GUI event loop runs there. Other threads hand work to it
// through the call queue: TThread::Synchronize waits for the call,
// TThread::Queue does not. The main thread runs queued calls in CheckSynchronize,
// oldest first. Whenever a call is queued the WakeMainThread hook is called
// (on the queueing thread); the GUI layer sets it to post a wake-up event into
// its event loop, whose handler calls CheckSynchronize. Without a GUI (tests)
// the main thread calls CheckSynchronize itself.
//
// On the main thread itself Synchronize and Queue run the call at once. A
// thread in Synchronize waits until the main thread runs its call, so the main
// thread must not block on that thread without running the queue (WaitFor
// and deleting a thread do run it).
//
// Calls may be queued with an owner object; RemoveQueuedEvents(owner) drops the
// owner's calls that have not run yet (an object being freed calls it). A
// TThread owns the calls it queues with its member Queue and drops them when
// it is freed.
//
// Per-thread storage is C++ `thread_local` (see SyncObjs.h).
#pragma once

#include "platform/rtl/Events.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

using TThreadID = Cardinal;  // kernel thread id

// Scheduling priority of a thread, applied as a nice value (tpIdle 19,
// tpLowest 10, tpLower 5, tpNormal 0, tpHigher -5, tpHighest -10,
// tpTimeCritical -15). Raising a priority above normal needs the right to
// do so; without it the thread keeps running at normal priority. Its names
// for form data are in ThreadPriorityNames.h.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
using TThreadMethod = std::function<void()>;

TThreadID GetCurrentThreadId();
TThreadID MainThreadID();
bool IsMainThread();

// Runs, on the main thread, the calls queued before this call began (calls
// they queue run next time). With an empty queue it first waits up to Timeout
// milliseconds for a call to arrive. Returns whether it ran any call.
// An exception from a Queue'd call propagates; the calls after it stay queued.
// Raises EThread when called on another thread.
bool CheckSynchronize(Cardinal Timeout = 0);

// Called on the queueing thread whenever a call is queued; empty by default.
using TWakeMainThread = std::function<void()>;
void SetWakeMainThread(TWakeMainThread Hook);
TWakeMainThread WakeMainThread();

// ---------------------------------------------------------------------------
// TThread: override Execute. Construction rule: the thread body never starts
// inside the constructor (the derived object is not complete there).
//  - TThread(true): created suspended; Start (or Resume) runs it.
//  - TThread(false): starts in AfterConstruction, so create such threads with
//    Create<TMyThread>(false, ...). A thread made with plain `new` stays
//    suspended until Start. Classes that override AfterConstruction call
//    TThread::AfterConstruction last.
//
// The thread body: unless Terminate was called before it began, Execute runs;
// an exception escaping Execute is kept in FatalException. Then Finished()
// becomes true, OnTerminate runs on the main thread (through Synchronize) and,
// with FreeOnTerminate, the object deletes itself. After Start a thread that
// frees itself must not be touched by others (not even waited for).
//
// Deleting a thread object that still runs terminates it and waits for it
// (running the main-thread queue meanwhile when done on the main thread), so
// a thread never outlives its object. An exception from a Queue'd call run
// during that wait is raised by the next CheckSynchronize instead of leaving
// the object half freed. Threads are created with new/Create<T>
// and freed with delete: the wait happens in BeforeDestruction, while the
// derived part still exists; classes that override BeforeDestruction call
// TThread::BeforeDestruction first.
class TThread : public TObject {
 public:
  explicit TThread(bool CreateSuspended);
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void AfterConstruction() override;
  void BeforeDestruction() override;

  // Starts a suspended thread; raises EThread when it was already started.
  void Start();
  // Starts the thread when it has not been started; otherwise does nothing.
  void Resume();
  // Asks the thread to stop: sets Terminated and wakes its Sleep. Safe as the
  // last touch of a running thread that frees itself.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  // True until the thread is started.
  bool Suspended() const { return !started_.load(); }
  // True once Execute has returned (before OnTerminate runs).
  bool Finished() const { return finished_.load(); }

  // Waits until the thread body (OnTerminate included) is over and returns
  // ReturnValue. On the main thread it keeps running CheckSynchronize, so a
  // thread blocked in Synchronize cannot deadlock it (an exception from a
  // Queue'd call propagates; WaitFor may be called again). Raises EThread for
  // a thread that was never started, that frees itself, or for the calling
  // thread itself.
  Integer WaitFor();

  bool FreeOnTerminate() const { return free_on_terminate_.load(); }
  void SetFreeOnTerminate(bool Value) { free_on_terminate_.store(Value); }
  // Set before Start; runs on the main thread with the thread as Sender.
  const TNotifyEvent& OnTerminate() const { return on_terminate_; }
  void SetOnTerminate(TNotifyEvent Value) { on_terminate_ = std::move(Value); }

  // Kernel id of the running thread; 0 before Start.
  TThreadID ThreadID() const { return thread_id_.load(); }
  // Applied when the thread starts, and at once when it runs.
  TThreadPriority Priority() const { return priority_.load(); }
  void SetPriority(TThreadPriority Value);
  Integer ReturnValue() const { return return_value_.load(); }
  // The exception that escaped Execute (or OnTerminate), or null; read it
  // once Finished. std::rethrow_exception gives it back.
  std::exception_ptr FatalException() const;

  // Runs Call on the main thread and waits for it; returns its result. On the
  // main thread it runs directly. An exception thrown by Call is re-thrown
  // here. Owner: the object the call belongs to (may be null).
  template <class F>
  static auto Synchronize(const TObject* Owner, F&& Call) -> std::remove_cvref_t<std::invoke_result_t<F&>>;
  // Queues Call for the main thread and returns at once (on the main thread
  // it runs directly).
  static void Queue(const TObject* Owner, TThreadMethod Call);
  // Drops the queued (not waited-for) calls of Owner that have not run yet.
  // Null drops nothing.
  static void RemoveQueuedEvents(const TObject* Owner);

 protected:
  virtual void Execute() = 0;
  // The forms used inside Execute; Queue binds the call to this thread, so it
  // is dropped if the thread is freed before the call ran.
  template <class F>
  auto Synchronize(F&& Call) {
    return Synchronize(this, std::forward<F>(Call));
  }
  void Queue(TThreadMethod Call) { Queue(this, std::move(Call)); }
  void SetReturnValue(Integer Value) { return_value_.store(Value); }
  // Sleeps Milliseconds, waking early when the thread is terminated. Returns
  // false when the thread was terminated (before or during the sleep).
  bool Sleep(Cardinal Milliseconds);

 private:
  static void SynchronizeCall(const TObject* Owner, const TThreadMethod& Call);
  bool StartThread();
  bool IsCurrentThread() const;
  void ThreadProc();
  void WaitUntilDone(bool deferQueueErrors);
  void MarkDone();

  const bool create_suspended_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool done_ = false;  // the body is over; guarded by the call-queue lock
  std::atomic<bool> free_on_terminate_{false};
  std::atomic<TThreadID> thread_id_{0};
  std::atomic<std::thread::id> std_id_{};
  std::atomic<Integer> return_value_{0};
  std::atomic<TThreadPriority> priority_{tpNormal};
  const void* queue_key_ = nullptr;  // this object as owner of its queued calls
  TNotifyEvent on_terminate_;
  std::exception_ptr fatal_exception_;

  mutable std::mutex mutex_;         // start handshake, sleep, fatal exception
  std::condition_variable wake_;     // Sleep, start handshake
  std::condition_variable done_cv_;  // waiters off the main thread
  bool go_ = false;
  std::thread thread_;
};

template <class F>
auto TThread::Synchronize(const TObject* Owner, F&& Call) -> std::remove_cvref_t<std::invoke_result_t<F&>> {
  using R = std::remove_cvref_t<std::invoke_result_t<F&>>;
  if constexpr (std::is_void_v<R>) {
    SynchronizeCall(Owner, [&Call] { Call(); });
  } else {
    std::optional<R> result;
    SynchronizeCall(Owner, [&Call, &result] { result.emplace(Call()); });
    return std::move(*result);
  }
}
