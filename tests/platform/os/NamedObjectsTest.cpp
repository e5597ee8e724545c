#include "platform/os/NamedObjects.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A name of its own for each object of a test; removed at the end.
class NamedObjects : public ::testing::Test {
 protected:
  String Name(const char* what) {
    String name = "NamedObjectsTest." + std::to_string(::getpid()) + "." + std::to_string(++counter_) + "." + what;
    names_.push_back(name);
    return name;
  }
  void TearDown() override {
    for (const String& name : names_) DeleteNamedObject(name);
  }

  // Runs Body in a child process and returns its exit code.
  static int InChild(const std::function<int()>& Body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(Body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // A raw object as another program might have left it.
  static int RawObject(const String& Name, mode_t Mode, off_t Size) {
    const int fd = ::shm_open(("/" + Name).c_str(), O_RDWR | O_CREAT | O_EXCL, Mode);
    EXPECT_GE(fd, 0);
    ::fchmod(fd, Mode);
    if (Size > 0) ::ftruncate(fd, Size);
    return fd;
  }

  // The error code of the ENamedObjectError that Open raises; 0 for none.
  static int OpenError(const std::function<void()>& Open) {
    try {
      Open();
    } catch (const ENamedObjectError& e) {
      return e.ErrorCode();
    }
    return 0;
  }

  // Waits until the thread sleeps (in the wait it was about to begin).
  static void WaitUntilAsleep(pid_t Tid) {
    const String path = "/proc/self/task/" + std::to_string(Tid) + "/stat";
    for (int i = 0; i < 2000; ++i) {
      std::ifstream stat(path);
      String line;
      std::getline(stat, line);
      const size_t close = line.rfind(')');
      if (close != String::npos && close + 2 < line.size() && line[close + 2] == 'S') return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FAIL() << "thread never slept";
  }

 private:
  int counter_ = 0;
  std::vector<String> names_;
};

TEST_F(NamedObjects, SharedMemoryIsCreatedPrivateZeroFilledAndSharedByName) {
  const String name = Name("Mem");
  TNamedSharedMemory first(name, 4096);
  EXPECT_TRUE(first.Created());
  const auto* bytes = static_cast<const unsigned char*>(first.Memory());
  EXPECT_TRUE(std::all_of(bytes, bytes + 4096, [](unsigned char b) { return b == 0; }));

  const int fd = ::shm_open(("/" + name).c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  struct stat st {};
  ::fstat(fd, &st);
  ::close(fd);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 4096);

  TNamedSharedMemory second(name, 4096);
  EXPECT_FALSE(second.Created());
  std::memcpy(first.Memory(), "shared", 6);
  EXPECT_EQ(std::memcmp(second.Memory(), "shared", 6), 0);
  EXPECT_EQ(InChild([&] {
              TNamedSharedMemory other(name, 4096);
              return !other.Created() && std::memcmp(other.Memory(), "shared", 6) == 0 ? 0 : 1;
            }),
            0);
}

TEST_F(NamedObjects, ObjectsOthersMayReadAreRefused) {
  const String name = Name("Open");
  ::close(RawObject(name, 0644, 4096));
  EXPECT_EQ(OpenError([&] { TNamedSharedMemory memory(name, 4096); }), EACCES);
  EXPECT_EQ(OpenError([&] { TNamedMutex mutex(name); }), EACCES);
}

TEST_F(NamedObjects, ObjectCreatedElsewhereIsOpenedOnlyAtFullSize) {
  const String growing = Name("Growing");
  const int fd = RawObject(growing, 0600, 0);
  const auto start = Clock::now();
  std::thread creator([fd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::ftruncate(fd, 4096);
  });
  TNamedSharedMemory memory(growing, 4096);
  creator.join();
  ::close(fd);
  EXPECT_FALSE(memory.Created());
  EXPECT_GE(MillisecondsSince(start), 90);
  static_cast<volatile char*>(memory.Memory())[4095] = 1;  // the whole size is there

  const String stuck = Name("Stuck");
  ::close(RawObject(stuck, 0600, 0));
  EXPECT_EQ(OpenError([&] { TNamedSharedMemory never(stuck, 4096); }), ETIMEDOUT);
}

TEST_F(NamedObjects, MutexIsRecursiveAndExcludesOtherProcesses) {
  const String name = Name("Mutex");
  TNamedMutex mutex(name);
  ASSERT_EQ(mutex.Acquire(), wrSignaled);
  ASSERT_EQ(mutex.Acquire(0), wrSignaled);
  auto otherGets = [&](TWaitResult expected) {
    return InChild([&] {
      TNamedMutex other(name);
      const TWaitResult result = other.Acquire(100);
      if (result == wrSignaled) other.Release();
      return result == expected ? 0 : 1;
    });
  };
  EXPECT_EQ(otherGets(wrTimeout), 0);
  mutex.Release();
  EXPECT_EQ(otherGets(wrTimeout), 0);  // still held once
  mutex.Release();
  EXPECT_EQ(otherGets(wrSignaled), 0);
  EXPECT_THROW(mutex.Release(), ESyncObjectException);
}

TEST_F(NamedObjects, MutexOfADeadOwnerIsAbandonedNotLost) {
  const String name = Name("Mutex");
  TNamedMutex mutex(name);
  EXPECT_EQ(InChild([&] {
              auto* other = new TNamedMutex(name);  // still mapped when the process dies
              ::_exit(other->Acquire() == wrSignaled ? 0 : 1);
              return 1;
            }),
            0);
  EXPECT_EQ(mutex.Acquire(0), wrAbandoned);
  mutex.Release();
  EXPECT_EQ(mutex.Acquire(0), wrSignaled);
  mutex.Release();
}

TEST_F(NamedObjects, EventIsAManualResetBroadcast) {
  const String name = Name("Event");
  TNamedEvent event(name, false);
  EXPECT_TRUE(event.Created());
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] {
      TNamedEvent mine(name, false);
      if (mine.WaitFor(5000) == wrSignaled) ++released;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  event.SetEvent();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 2);
  EXPECT_EQ(event.WaitFor(0), wrSignaled);  // stays set

  event.ResetEvent();
  const auto start = Clock::now();
  EXPECT_EQ(event.WaitFor(60), wrTimeout);
  EXPECT_GE(MillisecondsSince(start), 55);

  TNamedEvent again(name, true);  // an existing event keeps its state
  EXPECT_FALSE(again.Created());
  EXPECT_EQ(again.WaitFor(0), wrTimeout);
  TNamedEvent fresh(Name("Set"), true);
  EXPECT_EQ(fresh.WaitFor(0), wrSignaled);
}

TEST_F(NamedObjects, SetThenResetStillReleasesTheWaiters) {
  const String name = Name("Pulse");
  TNamedEvent event(name, false);
  std::atomic<pid_t> tid{0};
  TWaitResult result = wrError;
  std::thread waiter([&] {
    tid = ::gettid();
    result = event.WaitFor(5000);
  });
  while (tid.load() == 0) std::this_thread::yield();
  WaitUntilAsleep(tid.load());
  event.SetEvent();
  event.ResetEvent();
  waiter.join();
  EXPECT_EQ(result, wrSignaled);
}

TEST_F(NamedObjects, EventCrossesProcesses) {
  const String name = Name("Event");
  TNamedEvent event(name, false);
  const pid_t pid = ::fork();
  if (pid == 0) {
    TNamedEvent other(name, false);
    ::_exit(other.WaitFor(5000) == wrSignaled ? 0 : 1);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  event.SetEvent();
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(NamedObjects, DeletedNameStartsAfresh) {
  const String name = Name("Mem");
  {
    TNamedSharedMemory memory(name, 64);
    std::memset(memory.Memory(), 7, 64);
    EXPECT_TRUE(DeleteNamedObject(name));
    EXPECT_FALSE(DeleteNamedObject(name));
    EXPECT_EQ(static_cast<char*>(memory.Memory())[0], 7);  // still mapped
  }
  TNamedSharedMemory fresh(name, 64);
  EXPECT_TRUE(fresh.Created());
  EXPECT_EQ(static_cast<char*>(fresh.Memory())[0], 0);
}

}  // namespace
