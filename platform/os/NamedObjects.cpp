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
#include <thread>

namespace {

// First word of an object with a header: kReady once the creator has
// initialised it. The object's own data starts at kPayload.
constexpr uint32_t kReady = 0x4E4F424Au;
constexpr size_t kPayload = 8;
// How long an opener waits for an object that another process is creating.
constexpr auto kCompleteWait = std::chrono::milliseconds(2000);
constexpr auto kCompletePoll = std::chrono::milliseconds(1);

String ObjectPath(const String& Name) { return "/" + Name; }

[[noreturn]] void Fail(const char* What, const String& Name, int Code) {
  throw ENamedObjectError(String(What) + " \"" + Name + "\": " + std::strerror(Code), Code);
}

// Closes a descriptor on every path.
struct TFd {
  int fd = -1;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
};

// Another user's object, or one that others may read, is not ours to use.
void CheckPrivate(int fd, const String& Name) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) Fail("Cannot inspect shared object", Name, errno);
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) Fail("Refusing shared object", Name, EACCES);
}

// Waits until the object has reached Size bytes (its creator sets the size
// right after creating it).
void WaitForSize(int fd, size_t Size, const String& Name) {
  const auto deadline = std::chrono::steady_clock::now() + kCompleteWait;
  for (;;) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) Fail("Cannot inspect shared object", Name, errno);
    if (static_cast<size_t>(st.st_size) >= Size) return;
    if (std::chrono::steady_clock::now() >= deadline) Fail("Incomplete shared object", Name, ETIMEDOUT);
    std::this_thread::sleep_for(kCompletePoll);
  }
}

std::atomic_ref<uint32_t> SharedWord(void* Address) { return std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(Address)); }

void* Payload(const TNamedMapping& Mapping) { return static_cast<char*>(Mapping.Memory()) + kPayload; }

// The mutex and who holds it how often: written only by the holder, so a
// thread can tell whether it holds the mutex before it releases it.
struct TMutexState {
  pthread_mutex_t mutex;
  uint32_t owner;
  uint32_t depth;
};

TMutexState& MutexOf(const TNamedMapping& Mapping) { return *static_cast<TMutexState*>(Payload(Mapping)); }

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
}

void TNamedMapping::Open(const String& Name, size_t Size, const std::function<void(void*)>& Initialize) {
  if (memory_ != nullptr) Fail("Shared object already open", Name, EBUSY);
  if (Name.empty()) Fail("Invalid shared object name", Name, EINVAL);
  const String path = ObjectPath(Name);
  const bool header = static_cast<bool>(Initialize);
  TFd file;
  bool created = false;
  // The name may vanish between the two opens; then try again.
  for (int attempt = 0; attempt < 10 && file.fd < 0; ++attempt) {
    file.fd = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (file.fd >= 0) {
      created = true;
      // The mode is exact whatever the umask; the size follows at once, so
      // an opener waits only for this short window.
      if (::fchmod(file.fd, S_IRUSR | S_IWUSR) != 0 || ::ftruncate(file.fd, static_cast<off_t>(Size)) != 0) {
        const int code = errno;
        ::shm_unlink(path.c_str());
        Fail("Cannot create shared object", Name, code);
      }
      break;
    }
    if (errno != EEXIST) Fail("Cannot create shared object", Name, errno);
    file.fd = ::shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (file.fd < 0 && errno != ENOENT) Fail("Cannot open shared object", Name, errno);
  }
  if (file.fd < 0) Fail("Cannot open shared object", Name, ENOENT);
  if (!created) {
    CheckPrivate(file.fd, Name);
    WaitForSize(file.fd, Size, Name);
  }
  void* memory = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd, 0);
  if (memory == MAP_FAILED) {
    const int code = errno;
    if (created) ::shm_unlink(path.c_str());
    Fail("Cannot map shared object", Name, code);
  }
  if (header) {
    if (created) {
      try {
        Initialize(memory);
      } catch (...) {
        ::munmap(memory, Size);
        ::shm_unlink(path.c_str());
        throw;
      }
      SharedWord(memory).store(kReady, std::memory_order_release);
    } else {
      const auto deadline = std::chrono::steady_clock::now() + kCompleteWait;
      while (SharedWord(memory).load(std::memory_order_acquire) != kReady) {
        if (std::chrono::steady_clock::now() >= deadline) {
          ::munmap(memory, Size);
          Fail("Incomplete shared object", Name, ETIMEDOUT);
        }
        std::this_thread::sleep_for(kCompletePoll);
      }
    }
  }
  memory_ = memory;
  size_ = Size;
  created_ = created;
}

bool DeleteNamedObject(const String& Name) { return ::shm_unlink(ObjectPath(Name).c_str()) == 0; }

// ---------------------------------------------------------------------------
// TNamedSharedMemory

TNamedSharedMemory::TNamedSharedMemory(const String& Name, size_t Size) { mapping_.Open(Name, Size); }

// ---------------------------------------------------------------------------
// TNamedMutex

TNamedMutex::TNamedMutex(const String& Name) {
  mapping_.Open(Name, kPayload + sizeof(TMutexState), [&Name](void* memory) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    auto* state = reinterpret_cast<TMutexState*>(static_cast<char*>(memory) + kPayload);
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
  mapping_.Open(Name, kPayload + sizeof(uint32_t), [InitialState](void* memory) {
    SharedWord(static_cast<char*>(memory) + kPayload).store(InitialState ? 1u : 0u, std::memory_order_relaxed);
  });
}

void TNamedEvent::SetEvent() {
  auto* address = static_cast<uint32_t*>(Payload(mapping_));
  auto word = SharedWord(address);
  uint32_t seen = word.load(std::memory_order_relaxed);
  do {
    if (seen & 1u) return;
  } while (!word.compare_exchange_weak(seen, (seen + 2u) | 1u, std::memory_order_acq_rel, std::memory_order_relaxed));
  Futex(address, FUTEX_WAKE, INT_MAX, nullptr);
}

void TNamedEvent::ResetEvent() {
  SharedWord(Payload(mapping_)).fetch_and(~1u, std::memory_order_acq_rel);
}

TWaitResult TNamedEvent::WaitFor(Cardinal Timeout) {
  auto* address = static_cast<uint32_t*>(Payload(mapping_));
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
