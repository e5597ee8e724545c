// Synchronisation objects of one process: critical sections, the multi-reader
// exclusive-writer lock and events. Named objects shared between processes
// (mutexes, events, shared memory) live in platform/os.
//
// Per-thread storage ("threadvar") is C++ `thread_local`: each thread gets
// its own zero- or constant-initialised copy; there is no separate API.
//
// Misuse that would corrupt a lock (leaving a section the thread does not
// hold, ending a read or write the thread did not begin) raises
// ESyncObjectException and leaves the lock as it was.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>

RTL_DECLARE_EXCEPTION(ESyncObjectException, Exception);

// Wait without time limit.
inline constexpr Cardinal INFINITE = 0xFFFFFFFFu;

// Outcome of a wait. In-process objects answer wrSignaled or wrTimeout; the
// other two are reported by the named objects of platform/os (an owner that
// died holding a mutex; a failed system call).
enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// ---------------------------------------------------------------------------
// TCriticalSection: a recursive lock. The owning thread may enter it again;
// it is free once every Enter has its Leave. Also usable with std::lock_guard
// and std::unique_lock (lock/unlock/try_lock).
class TCriticalSection : public TObject {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter();
  void Acquire() { Enter(); }
  // Leaving a section that the calling thread does not hold raises
  // ESyncObjectException.
  void Leave();
  void Release() { Leave(); }
  // Enters when the section is free or already held by this thread; never waits.
  bool TryEnter();

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  unsigned depth_ = 0;  // written only by the owner
};

// Holds a critical section for the lifetime of the guard.
class TCriticalSectionGuard {
 public:
  explicit TCriticalSectionGuard(TCriticalSection& Section) : section_(Section) { section_.Enter(); }
  ~TCriticalSectionGuard() { section_.Leave(); }
  TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
  TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

 private:
  TCriticalSection& section_;
};

// ---------------------------------------------------------------------------
// TMultiReadExclusiveWriteSynchronizer: any number of readers or one writer.
//
//  - Reads nest: a thread that reads may BeginRead again at any time, even
//    while a writer is waiting.
//  - The writer may re-enter BeginWrite, and may BeginRead inside its write;
//    reads it still holds after its last EndWrite keep it a reader.
//  - A reader may BeginWrite (promotion): it gives up its reads for the wait,
//    so two promoting readers cannot deadlock, and holds them again (inside
//    the write) once it writes.
//  - BeginWrite returns true when no other thread wrote between the start of
//    the call (for a reader: the release of its reads) and the moment the
//    caller got the write; false tells the caller to re-read what it read.
//    A nested BeginWrite returns true.
//  - Fairness: once a writer waits, new readers wait behind it; readers that
//    were already waiting when a write ends go before the next writer.
//    Writers are served in the order they arrived.
class TMultiReadExclusiveWriteSynchronizer : public TObject {
 public:
  TMultiReadExclusiveWriteSynchronizer() = default;
  TMultiReadExclusiveWriteSynchronizer(const TMultiReadExclusiveWriteSynchronizer&) = delete;
  TMultiReadExclusiveWriteSynchronizer& operator=(const TMultiReadExclusiveWriteSynchronizer&) = delete;

  void BeginRead();
  // Raises ESyncObjectException when the thread holds no read.
  void EndRead();
  bool BeginWrite();
  // Raises ESyncObjectException when the thread is not the writer.
  void EndWrite();

 private:
  std::mutex mutex_;
  std::condition_variable readers_cv_;
  std::condition_variable writers_cv_;
  std::unordered_map<std::thread::id, unsigned> reads_;  // thread -> nested reads
  std::thread::id writer_{};
  unsigned write_depth_ = 0;
  uint64_t revision_ = 0;      // number of writes granted so far
  uint64_t next_ticket_ = 0;   // writers' arrival order
  uint64_t serving_ = 0;       // ticket whose turn it is
  uint64_t write_ends_ = 0;    // completed writes
  unsigned waiting_readers_ = 0;
  unsigned readers_pass_ = 0;  // readers waiting when the last write ended, still to enter
};

// ---------------------------------------------------------------------------
// TEvent: an in-process event, manual or automatic reset.
//
// A manual-reset event stays signalled until ResetEvent and releases every
// waiter. An automatic-reset event is cleared by the one wait it satisfies:
// SetEvent releases exactly one waiter (or the next wait, when none waits).
class TEvent : public TObject {
 public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : manual_(ManualReset), signaled_(InitialState) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // Waits up to Timeout milliseconds (INFINITE: no limit; 0: only tests).
  TWaitResult WaitFor(Cardinal Timeout = INFINITE);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  const bool manual_;
  bool signaled_;
};

// A manual-reset event, not signalled at creation.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};
