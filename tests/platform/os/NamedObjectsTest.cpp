#include "platform/os/NamedObjects.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

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
    const int fd = ::open(NamedObjectPath(Name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
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

  static std::atomic_ref<int> SharedCounter(TNamedSharedMemory& Memory) {
    return std::atomic_ref<int>(*static_cast<int*>(Memory.Memory()));
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

  EXPECT_EQ(NamedObjectPath(name), "/dev/shm/" + name + ".uid" + std::to_string(::geteuid()));
  const int fd = ::open(NamedObjectPath(name).c_str(), O_RDONLY | O_CLOEXEC);
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

TEST_F(NamedObjects, AnObjectNobodyHasOpenIsMadeAfresh) {
  // Left unsized by a creator that died, or full of stale bytes: nobody uses
  // either, so the next opener starts it afresh at once.
  const String unsized = Name("Unsized");
  ::close(RawObject(unsized, 0600, 0));
  const String stale = Name("Stale");
  const int fd = RawObject(stale, 0600, 4096);
  const std::vector<unsigned char> garbage(4096, 0xFF);
  ASSERT_EQ(::write(fd, garbage.data(), garbage.size()), 4096);
  ::close(fd);

  const auto start = Clock::now();
  TNamedMutex mutex(unsized);
  EXPECT_TRUE(mutex.Created());
  EXPECT_EQ(mutex.Acquire(0), wrSignaled);
  mutex.Release();
  TNamedEvent event(stale, false);
  EXPECT_TRUE(event.Created());
  EXPECT_EQ(event.WaitFor(0), wrTimeout);  // its initial state, not the stale word
  EXPECT_LT(MillisecondsSince(start), 500);

  // Memory whose users have all gone starts zero-filled; while one stays,
  // it is shared as it is.
  const String memory = Name("Mem");
  {
    TNamedSharedMemory first(memory, 64);
    std::memset(first.Memory(), 7, 64);
    TNamedSharedMemory second(memory, 64);
    EXPECT_FALSE(second.Created());
    EXPECT_EQ(static_cast<char*>(second.Memory())[63], 7);
  }
  TNamedSharedMemory again(memory, 64);
  EXPECT_TRUE(again.Created());
  EXPECT_EQ(static_cast<char*>(again.Memory())[63], 0);
  EXPECT_EQ(OpenError([&] { TNamedSharedMemory larger(memory, 65); }), EINVAL);  // in use at 64 bytes
}

// A process killed while it makes an object (anew, or afresh from one that
// nobody used) leaves nothing that stops the next opener; an opener that
// came meanwhile waits for it and then makes the object itself.
TEST_F(NamedObjects, CreatorKilledMidwayLeavesNothingBroken) {
  for (const bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "made afresh" : "made anew");
    const String name = Name("Killed");
    if (exists) ::close(RawObject(name, 0600, 4096));
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      TNamedMapping mapping;
      mapping.Open(name, 4096, [&](void* memory) {
        std::memset(memory, 0xAB, 2048);
        (void)::write(ready[1], "x", 1);
        for (;;) ::pause();
      });
      ::_exit(1);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);  // the child is inside the making
    ::close(ready[0]);

    std::atomic<pid_t> tid{0};
    bool created = false;
    unsigned char first = 0xFF;
    std::thread opener([&] {
      tid = ::gettid();
      TNamedSharedMemory memory(name, 4096);
      created = memory.Created();
      first = static_cast<unsigned char*>(memory.Memory())[0];
    });
    while (tid.load() == 0) std::this_thread::yield();
    if (exists) WaitUntilAsleep(tid.load());  // waits for the child's turn to end
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    opener.join();
    EXPECT_TRUE(created);
    EXPECT_EQ(first, 0);
  }
}

// Processes that open one name at the same moment share one object, made
// by exactly one of them, whether the name is new or left by a dead user.
TEST_F(NamedObjects, SimultaneousOpenersShareOneObject) {
  constexpr int kOpeners = 8;
  for (const bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "left behind" : "new");
    const String name = Name("Race");
    if (exists) ::close(RawObject(name, 0600, 0));
    // Closing the write end of a pipe wakes every child reading it.
    int start[2], release[2], done[2];
    ASSERT_EQ(::pipe2(start, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(done, O_CLOEXEC), 0);
    std::vector<pid_t> pids;
    for (int i = 0; i < kOpeners; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::close(start[1]);
        ::close(release[1]);
        char byte;
        (void)::read(start[0], &byte, 1);  // all start together
        TNamedSharedMemory memory(name, 64);
        SharedCounter(memory).fetch_add(1);
        const char report = memory.Created() ? 'C' : 'O';
        (void)::write(done[1], &report, 1);
        (void)::read(release[0], &byte, 1);  // stays a user until the parent has looked
        ::_exit(0);
      }
      pids.push_back(pid);
    }
    ::close(done[1]);
    ::close(start[1]);
    String reports;
    char report;
    while (reports.size() < kOpeners && ::read(done[0], &report, 1) == 1) reports += report;
    if (reports.size() == kOpeners) {
      TNamedSharedMemory memory(name, 64);
      EXPECT_FALSE(memory.Created());
      EXPECT_EQ(SharedCounter(memory).load(), kOpeners);
    }
    ::close(release[1]);
    for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    for (int fd : {start[0], release[0], done[0]}) ::close(fd);
    EXPECT_EQ(std::count(reports.begin(), reports.end(), 'C'), 1) << reports;
    EXPECT_EQ(reports.size(), size_t{kOpeners});
  }
}

// Another user opening the same name gets an object of their own.
TEST_F(NamedObjects, AnotherUsersObjectsAreApart) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const String name = Name("Users");
  TNamedSharedMemory mine(name, 64);
  std::memcpy(mine.Memory(), "root", 4);
  EXPECT_EQ(InChild([&] {
              if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) return 2;
              ::prctl(PR_SET_DUMPABLE, 1);  // as an ordinary program of that user
              TNamedSharedMemory theirs(name, 64);
              const bool apart = theirs.Created() && static_cast<char*>(theirs.Memory())[0] == 0;
              DeleteNamedObject(name);
              return apart ? 0 : 1;
            }),
            0);
  EXPECT_EQ(std::memcmp(mine.Memory(), "root", 4), 0);
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
