#include "platform/os/NamedObjects.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr const char* kFolder = "/dev/shm";
// Bytes of an object's file locked by its users and by its openers.
constexpr off_t kUserByte = 0;
constexpr off_t kOpenerByte = 1;
// Attempts at opening a name that others create or delete meanwhile.
constexpr int kAttempts = 10;

[[noreturn]] void Fail(const char* What, const String& Name, int Code) {
  throw ENamedObjectError(String(What) + " \"" + Name + "\": " + std::strerror(Code), Code);
}

// Closes a descriptor unless it is handed on.
struct TFd {
  int fd = -1;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
  int Release() { return std::exchange(fd, -1); }
};

// Unmaps unless handed on.
struct TMap {
  void* memory = nullptr;
  size_t size = 0;
  ~TMap() {
    if (memory != nullptr) ::munmap(memory, size);
  }
  void* Release() { return std::exchange(memory, nullptr); }
};

// Takes (F_RDLCK, F_WRLCK) or drops (F_UNLCK) the open-file-description lock
// on one byte; Wait blocks until it is granted. 0 or the error number
// (EAGAIN: held by another).
int LockByte(int Fd, short Type, off_t Byte, bool Wait) {
  struct flock lock {};
  lock.l_type = Type;
  lock.l_whence = SEEK_SET;
  lock.l_start = Byte;
  lock.l_len = 1;
  while (::fcntl(Fd, Wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return errno == EACCES ? EAGAIN : errno;
  }
  return 0;
}

// Another user's object, or one that others may read, is not ours to use.
void CheckPrivate(int fd, const String& Name) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) Fail("Cannot inspect shared object", Name, errno);
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) Fail("Refusing shared object", Name, EACCES);
}

// True while Path names the file open as Fd.
bool StillNamed(int Fd, const String& Path) {
  struct stat named {}, open {};
  return ::stat(Path.c_str(), &named) == 0 && ::fstat(Fd, &open) == 0 && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}

void* MapFile(int Fd, size_t Size, const String& Name) {
  void* memory = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
  if (memory == MAP_FAILED) Fail("Cannot map shared object", Name, errno);
  return memory;
}

std::atomic_ref<uint32_t> SharedWord(void* Address) { return std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(Address)); }

// The mutex and who holds it how often: written only by the holder, so a
// thread can tell whether it holds the mutex before it releases it.
struct TMutexState {
  pthread_mutex_t mutex;
  uint32_t owner;
  uint32_t depth;
};

TMutexState& MutexOf(const TNamedMapping& Mapping) { return *static_cast<TMutexState*>(Mapping.Memory()); }

uint32_t Self() { return static_cast<uint32_t>(::gettid()); }

long Futex(uint32_t* Address, int Op, uint32_t Value, const timespec* Timeout) {
  return ::syscall(SYS_futex, Address, Op, Value, Timeout, nullptr, 0);
}

timespec ToTimespec(std::chrono::nanoseconds Duration) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(Duration.count() / 1000000000);
  ts.tv_nsec = static_cast<long>(Duration.count() % 1000000000);
  return ts;
}

}  // namespace

// ---------------------------------------------------------------------------
// TNamedMapping

TNamedMapping::~TNamedMapping() {
  if (memory_ != nullptr) ::munmap(memory_, size_);
  if (fd_ >= 0) ::close(fd_);  // drops the user lock
}

// A name is opened, or, when there is none, an unnamed file is built and
// linked under it (another process may link its own first: then that one is
// opened). An existing file is made afresh by an opener that finds no user
// lock on it; openers take turns on the opener byte, so none of them sees it
// half made, and a file that lost its name meanwhile is left alone.
void TNamedMapping::Open(const String& Name, size_t Size, const std::function<void(void*)>& Start) {
  if (memory_ != nullptr) Fail("Shared object already open", Name, EBUSY);
  if (Name.empty() || Name.find('/') != String::npos || Size == 0) Fail("Invalid shared object", Name, EINVAL);
  const String path = NamedObjectPath(Name);
  auto afresh = [&](int fd, TMap& map) {
    map.memory = MapFile(fd, Size, Name);
    map.size = Size;
    if (Start) Start(map.memory);
  };
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    TFd file{::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW)};
    TMap map;
    bool created = false;
    if (file.fd < 0) {
      if (errno != ENOENT) Fail("Cannot open shared object", Name, errno);
      file.fd = ::open(kFolder, O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
      // The mode is exact whatever the umask.
      if (file.fd < 0 || ::fchmod(file.fd, S_IRUSR | S_IWUSR) != 0 ||
          ::ftruncate(file.fd, static_cast<off_t>(Size)) != 0)
        Fail("Cannot create shared object", Name, errno);
      afresh(file.fd, map);
      if (const int rc = LockByte(file.fd, F_RDLCK, kUserByte, false)) Fail("Cannot lock shared object", Name, rc);
      const String self = "/proc/self/fd/" + std::to_string(file.fd);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno == EEXIST) continue;  // another opener was first
        Fail("Cannot create shared object", Name, errno);
      }
      created = true;
    } else {
      CheckPrivate(file.fd, Name);
      if (const int rc = LockByte(file.fd, F_WRLCK, kOpenerByte, true)) Fail("Cannot lock shared object", Name, rc);
      if (!StillNamed(file.fd, path)) continue;  // deleted or replaced meanwhile
      const int in_use = LockByte(file.fd, F_WRLCK, kUserByte, false);
      if (in_use != 0 && in_use != EAGAIN) Fail("Cannot lock shared object", Name, in_use);
      if (in_use == 0) {
        // Nobody uses it: start afresh at the full size.
        if (::ftruncate(file.fd, 0) != 0 || ::ftruncate(file.fd, static_cast<off_t>(Size)) != 0)
          Fail("Cannot create shared object", Name, errno);
        afresh(file.fd, map);
        created = true;
      } else {
        struct stat st {};
        if (::fstat(file.fd, &st) != 0) Fail("Cannot inspect shared object", Name, errno);
        if (static_cast<size_t>(st.st_size) < Size) Fail("Shared object in use at another size", Name, EINVAL);
        map.memory = MapFile(file.fd, Size, Name);
        map.size = Size;
      }
      // No other opener holds the user byte for writing now (they wait for
      // the opener byte), so this neither waits nor fails.
      if (const int rc = LockByte(file.fd, F_RDLCK, kUserByte, true)) Fail("Cannot lock shared object", Name, rc);
      LockByte(file.fd, F_UNLCK, kOpenerByte, false);
    }
    memory_ = map.Release();
    size_ = Size;
    fd_ = file.Release();
    created_ = created;
    return;
  }
  Fail("Cannot open shared object", Name, EAGAIN);
}

String NamedObjectPath(const String& Name) {
  return String(kFolder) + "/" + Name + ".uid" + std::to_string(::geteuid());
}

bool DeleteNamedObject(const String& Name) { return ::unlink(NamedObjectPath(Name).c_str()) == 0; }

// ---------------------------------------------------------------------------
// TNamedSharedMemory

TNamedSharedMemory::TNamedSharedMemory(const String& Name, size_t Size) { mapping_.Open(Name, Size); }

// ---------------------------------------------------------------------------
// TNamedMutex

TNamedMutex::TNamedMutex(const String& Name) {
  mapping_.Open(Name, sizeof(TMutexState), [&Name](void* memory) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    auto* state = static_cast<TMutexState*>(memory);
    const int rc = pthread_mutex_init(&state->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) Fail("Cannot initialise shared mutex", Name, rc);
  });
}

TWaitResult TNamedMutex::Acquire(Cardinal Timeout) {
  TMutexState& state = MutexOf(mapping_);
  int rc;
  if (Timeout == INFINITE) {
    rc = pthread_mutex_lock(&state.mutex);
  } else if (Timeout == 0) {
    rc = pthread_mutex_trylock(&state.mutex);
    if (rc == EBUSY) rc = ETIMEDOUT;
  } else {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto deadline = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) +
                          std::chrono::milliseconds(Timeout);
    const timespec abs = ToTimespec(deadline);
    rc = pthread_mutex_timedlock(&state.mutex, &abs);
  }
  std::atomic_ref<uint32_t> owner(state.owner);
  std::atomic_ref<uint32_t> depth(state.depth);
  if (rc == EOWNERDEAD) {
    // The owner died holding it: the state it guarded may be half written,
    // but the mutex stays usable.
    pthread_mutex_consistent(&state.mutex);
    owner.store(0, std::memory_order_relaxed);
  }
  if (rc != 0 && rc != EOWNERDEAD) return rc == ETIMEDOUT ? wrTimeout : wrError;
  if (owner.load(std::memory_order_relaxed) == Self()) {
    depth.fetch_add(1, std::memory_order_relaxed);
  } else {
    owner.store(Self(), std::memory_order_relaxed);
    depth.store(1, std::memory_order_relaxed);
  }
  return rc == 0 ? wrSignaled : wrAbandoned;
}

void TNamedMutex::Release() {
  TMutexState& state = MutexOf(mapping_);
  std::atomic_ref<uint32_t> owner(state.owner);
  std::atomic_ref<uint32_t> depth(state.depth);
  if (owner.load(std::memory_order_relaxed) != Self())
    throw ESyncObjectException("Named mutex is not held by the calling thread");
  if (depth.fetch_sub(1, std::memory_order_relaxed) == 1) owner.store(0, std::memory_order_relaxed);
  pthread_mutex_unlock(&state.mutex);
}

// ---------------------------------------------------------------------------
// TNamedEvent
//
// One word: bit 0 is the state, the other bits count SetEvent calls. A waiter
// that sees the count move was released by a SetEvent, even when a ResetEvent
// followed before it woke.

TNamedEvent::TNamedEvent(const String& Name, bool InitialState) {
  mapping_.Open(Name, sizeof(uint32_t), [InitialState](void* memory) {
    SharedWord(memory).store(InitialState ? 1u : 0u, std::memory_order_relaxed);
  });
}

void TNamedEvent::SetEvent() {
  auto* address = static_cast<uint32_t*>(mapping_.Memory());
  auto word = SharedWord(address);
  uint32_t seen = word.load(std::memory_order_relaxed);
  do {
    if (seen & 1u) return;
  } while (!word.compare_exchange_weak(seen, (seen + 2u) | 1u, std::memory_order_acq_rel, std::memory_order_relaxed));
  Futex(address, FUTEX_WAKE, INT_MAX, nullptr);
}

void TNamedEvent::ResetEvent() {
  SharedWord(mapping_.Memory()).fetch_and(~1u, std::memory_order_acq_rel);
}

TWaitResult TNamedEvent::WaitFor(Cardinal Timeout) {
  auto* address = static_cast<uint32_t*>(mapping_.Memory());
  auto word = SharedWord(address);
  uint32_t seen = word.load(std::memory_order_acquire);
  if (seen & 1u) return wrSignaled;
  const uint32_t sets = seen >> 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Timeout);
  for (;;) {
    timespec remaining{};
    const timespec* limit = nullptr;
    if (Timeout != INFINITE) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) return wrTimeout;
      remaining = ToTimespec(left);
      limit = &remaining;
    }
    if (Futex(address, FUTEX_WAIT, seen, limit) != 0 && errno != EAGAIN && errno != EINTR && errno != ETIMEDOUT)
      return wrError;
    seen = word.load(std::memory_order_acquire);
    if ((seen & 1u) || (seen >> 1) != sets) return wrSignaled;
  }
}
