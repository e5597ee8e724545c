// Named kernel objects shared between processes of one user: shared memory,
// a mutex and manual-reset events.
//
// Every object is a POSIX shared-memory object "/<Name>" (the names share one
// namespace). Creating is "create or open": the first process creates the
// object (readable and writable by its own user only), later ones open it. An
// object created by another process is opened only once it is complete: the
// memory at its full size, the mutex and events initialised; an object owned
// by another user or open to other users is refused. Objects outlive the
// processes that use them until DeleteNamedObject removes the name.
//
//   TNamedMutex lock("App.Lock");
//   if (lock.Acquire() != wrError) { ...; lock.Release(); }
//   TNamedEvent ready("App.Ready", false);
//   ready.WaitFor(1000);
//
// The mutex is recursive and robust: when its owner dies holding it, the next
// Acquire gets it with wrAbandoned. Events are manual-reset broadcasts kept in
// the shared memory and driven by futexes: SetEvent releases every waiter,
// even one that a ResetEvent right after it would otherwise miss, and no lock
// is held across calls, so a peer that dies cannot block the others.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"

#include <cstddef>
#include <functional>

// Failure to create, open or map a named object. ErrorCode is the system's
// error number (errno).
class ENamedObjectError : public EOSError {
 public:
  ENamedObjectError(const String& Message, int ErrorCode) : EOSError(Message), error_code_(ErrorCode) {}
  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

// A mapping of a named object's memory; internal to the classes below.
class TNamedMapping {
 public:
  TNamedMapping() = default;
  ~TNamedMapping();
  TNamedMapping(const TNamedMapping&) = delete;
  TNamedMapping& operator=(const TNamedMapping&) = delete;

  // Creates or opens the object with Size bytes and maps it. With Initialize,
  // the creator runs it on the zero-filled memory and then marks the object
  // ready in its first four bytes, which openers wait for (the memory after
  // the first eight bytes is the object's own). Raises ENamedObjectError.
  void Open(const String& Name, size_t Size, const std::function<void(void* Memory)>& Initialize = {});

  void* Memory() const { return memory_; }
  size_t Size() const { return size_; }
  bool Created() const { return created_; }

 private:
  void* memory_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
};

// Named shared memory of a fixed size, zero-filled when created.
class TNamedSharedMemory : public TObject {
 public:
  TNamedSharedMemory(const String& Name, size_t Size);

  void* Memory() const { return mapping_.Memory(); }
  size_t Size() const { return mapping_.Size(); }
  // True when this object created the memory (false: it existed already).
  bool Created() const { return mapping_.Created(); }

 private:
  TNamedMapping mapping_;
};

// Named recursive mutex, not owned at creation.
class TNamedMutex : public TObject {
 public:
  explicit TNamedMutex(const String& Name);

  // Waits up to Timeout milliseconds (INFINITE: no limit). wrSignaled or
  // wrAbandoned (the previous owner died holding it; the caller owns it now)
  // mean the mutex is held; wrTimeout and wrError that it is not.
  TWaitResult Acquire(Cardinal Timeout = INFINITE);
  // Ends one Acquire. Raises ESyncObjectException when the calling thread
  // does not hold the mutex.
  void Release();
  bool Created() const { return mapping_.Created(); }

 private:
  TNamedMapping mapping_;
};

// Named manual-reset event.
class TNamedEvent : public TObject {
 public:
  // InitialState is the state of a newly created event; an existing event
  // keeps its state.
  TNamedEvent(const String& Name, bool InitialState);

  void SetEvent();
  void ResetEvent();
  // Waits up to Timeout milliseconds (INFINITE: no limit; 0: only tests).
  // wrSignaled when the event is signalled or was set during the wait.
  TWaitResult WaitFor(Cardinal Timeout = INFINITE);
  bool Created() const { return mapping_.Created(); }

 private:
  TNamedMapping mapping_;
};

// Removes a named object's name; processes that have it open keep using it.
// False when there was no such object.
bool DeleteNamedObject(const String& Name);
