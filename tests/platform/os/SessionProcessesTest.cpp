#include "platform/os/SessionProcesses.h"

#include "platform/os/Modules.h"
#include "tests/support/ProcFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SessionProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_SessionProcesses});
    module_ = LoadLibrary(WtsApiModuleName);
    ASSERT_NE(module_, nullptr);
    enumerate_ = reinterpret_cast<TWTSEnumerateProcessesA>(GetProcAddress(module_, "WTSEnumerateProcessesA"));
    free_ = reinterpret_cast<TWTSFreeMemory>(GetProcAddress(module_, "WTSFreeMemory"));
    ASSERT_NE(enumerate_, nullptr);
    ASSERT_NE(free_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }

  HMODULE module_ = nullptr;
  TWTSEnumerateProcessesA enumerate_ = nullptr;
  TWTSFreeMemory free_ = nullptr;
};

}  // namespace

TEST_F(SessionProcesses, IdleFirstThenProcessesWithSessionAndName) {
  TProcFixture proc;
  proc.Add({.Pid = 77, .Comm = "kworker/0:1 (x)", .Ppid = 2, .Session = 0});
  proc.Add({.Pid = 5, .Comm = "bash", .Ppid = 1, .Session = 5});
  proc.Mkdir("6");  // vanished

  PWTS_PROCESS_INFOA array = nullptr;
  uint32_t count = 0;
  ASSERT_NE(enumerate_(WTS_CURRENT_SERVER_HANDLE, 0, 1, &array, &count), 0);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(array[0].ProcessId, 0u);
  EXPECT_EQ(array[0].SessionId, 0u);
  EXPECT_EQ(array[0].pProcessName, nullptr);
  EXPECT_EQ(array[1].ProcessId, 5u);
  EXPECT_EQ(array[1].SessionId, 5u);
  EXPECT_STREQ(array[1].pProcessName, "bash");
  EXPECT_EQ(array[2].ProcessId, 77u);
  EXPECT_EQ(array[2].SessionId, 0u);
  EXPECT_STREQ(array[2].pProcessName, "kworker/0:1 (x)");
  for (uint32_t i = 0; i < count; ++i) EXPECT_EQ(array[i].pUserSid, nullptr);
  free_(array);
}

TEST_F(SessionProcesses, RefusesOtherServersVersionsAndUnreadableRoot) {
  TProcFixture proc;
  proc.Add({.Pid = 1, .Comm = "init"});
  int server = 0;
  struct {
    void* server;
    uint32_t reserved, version;
  } const cases[] = {{&server, 0, 1}, {nullptr, 1, 1}, {nullptr, 0, 2}};
  for (const auto& c : cases) {
    PWTS_PROCESS_INFOA array = reinterpret_cast<PWTS_PROCESS_INFOA>(&server);
    uint32_t count = 99;
    EXPECT_EQ(enumerate_(c.server, c.reserved, c.version, &array, &count), 0);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(count, 0u);
  }
  EXPECT_EQ(enumerate_(nullptr, 0, 1, nullptr, nullptr), 0);

  TProcRootScope gone("/nonexistent/proc");
  PWTS_PROCESS_INFOA array = nullptr;
  uint32_t count = 0;
  EXPECT_EQ(enumerate_(nullptr, 0, 1, &array, &count), 0);
  EXPECT_EQ(array, nullptr);
}
