// Named kernel objects shared between processes of one user: shared memory,
// a mutex and manual-reset events.
//
// Every object is a file in /dev/shm (the folder of POSIX shared memory)
// named after the object and the effective user's id, "<Name>.uid<id>"
// (NamedObjectPath): each user has objects of their own under one name, so
// another user's objects never stand in the way. The files are readable and
// writable by their user only; a file under the name that is owned by
// another user or open to other users is refused (EACCES): one who takes
// another user's name first can keep them from it, never read it.
//
// An object lives while a process has it open, as named kernel objects do:
// the first process to open one that nobody has open (it does not exist yet,
// or every process that used it has ended, even by a crash, or it was left
// half made) makes it afresh: memory zero-filled, mutex free, event in its
// initial state. It is never seen half made: a new object is built unnamed
// and then linked under its name, and making an existing one afresh runs
// while the other openers wait. Each open object holds a shared lock on its
// file (an open-file-description lock on byte 0; byte 1 serialises openers),
// which is how an opener tells whether anyone still uses it. Linking a new
// file under its name goes through /proc/self/fd.
//
//   TNamedMutex lock("App.Lock");
//   if (lock.Acquire() != wrError) { ...; lock.Release(); }
//   TNamedEvent ready("App.Ready", false);
//   ready.WaitFor(1000);
//
// The mutex is recursive and robust: when its owner dies holding it while
// others have it open, the next Acquire gets it with wrAbandoned. Events are
// manual-reset broadcasts kept in the shared memory and driven by futexes:
// SetEvent releases every waiter, even one that a ResetEvent right after it
// would otherwise miss, and no lock is held across calls, so a peer that dies
// cannot block the others.
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

  // Opens the object with Size bytes (creating it when there is none) and
  // maps it. When this opener makes the object afresh, Start runs on the
  // zero-filled memory before any other process can map it. Raises
  // ENamedObjectError (EINVAL for an object in use at a smaller size).
  void Open(const String& Name, size_t Size, const std::function<void(void* Memory)>& Start = {});

  void* Memory() const { return memory_; }
  size_t Size() const { return size_; }
  bool Created() const { return created_; }

 private:
  int fd_ = -1;  // open while mapped: it holds the user lock
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
  // True when this object made the memory afresh (false: it was open
  // elsewhere, in another process or through another object here).
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
  // InitialState is the state of an event made afresh; one that is open
  // elsewhere keeps its state.
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

// The file that holds the object Name: "/dev/shm/<Name>.uid<euid>".
String NamedObjectPath(const String& Name);

// Removes a named object's name; processes that have it open keep using it.
// False when there was no such object.
bool DeleteNamedObject(const String& Name);
