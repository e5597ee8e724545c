#include "app/wtsapi32.h"

#include "platform/os/Modules.h"
#include "tests/support/ProcFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A stand-in provider whose answer each test sets.
struct TFakeProvider {
  int Result = 1;
  std::vector<WTS_PROCESS_INFOA> Records;
  int EnumerateCalls = 0;
  std::vector<void*> Freed;
};
TFakeProvider g_fake;

int FakeEnumerate(void*, uint32_t, uint32_t, PWTS_PROCESS_INFOA* array, uint32_t* count) {
  ++g_fake.EnumerateCalls;
  *array = g_fake.Records.data();
  *count = static_cast<uint32_t>(g_fake.Records.size());
  return g_fake.Result;
}

void FakeFree(void* memory) { g_fake.Freed.push_back(memory); }

void RegisterFake(bool withEnumerate, bool withFree) {
  TBuiltinModule module{WtsApiModuleName, {}};
  if (withEnumerate) module.Exports["WTSEnumerateProcessesA"] = reinterpret_cast<void*>(&FakeEnumerate);
  if (withFree) module.Exports["WTSFreeMemory"] = reinterpret_cast<void*>(&FakeFree);
  RegisterBuiltinModule(module);
}

class Wtsapi32 : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_wtsapi32});
    ResetWtsApi();
    g_fake = {};
  }
  void TearDown() override {
    ResetWtsApi();
    RegisterSessionProcessModule();
  }
};

}  // namespace

TEST_F(Wtsapi32, ListsTheBuiltInProviderAfterExistingLines) {
  TProcFixture proc;
  proc.Add({.Pid = 1, .Comm = "init", .Session = 1});
  proc.Add({.Pid = 5, .Comm = "", .Ppid = 1, .Session = 1});
  proc.Add({.Pid = 300, .Comm = "my app", .Ppid = 1, .Session = 7});

  std::vector<String> lines{"Memo1"};
  ASSERT_TRUE(GetTerminalProcessList(lines));
  EXPECT_EQ(lines, (std::vector<String>{
                       "Memo1",
                       "Name: <iaecaanoii> PID: 0 Session ID: 0",
                       "Name: init PID: 1 Session ID: 1",
                       "Name: <iaecaanoii> PID: 5 Session ID: 1",
                       "Name: my app PID: 300 Session ID: 7",
                   }));

  // The string-list form appends the same lines.
  TStringList list;
  list.Add("Memo1");
  ASSERT_TRUE(GetTerminalProcessList(&list));
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Strings(0), "Memo1");
  EXPECT_EQ(list.Strings(4), "Name: my app PID: 300 Session ID: 7");
}

TEST_F(Wtsapi32, NumbersAreUnsignedAndTheArrayIsFreed) {
  char name[] = "x";
  g_fake.Records = {{4294967295u, 2147483648u, name, nullptr}};
  RegisterFake(true, true);
  std::vector<String> lines;
  ASSERT_TRUE(GetTerminalProcessList(lines));
  EXPECT_EQ(lines, std::vector<String>{"Name: x PID: 2147483648 Session ID: 4294967295"});
  EXPECT_EQ(g_fake.Freed, std::vector<void*>{g_fake.Records.data()});
}

TEST_F(Wtsapi32, CountZeroIsSuccessWithoutLines) {
  RegisterFake(true, true);
  std::vector<String> lines;
  EXPECT_TRUE(GetTerminalProcessList(lines));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(g_fake.Freed.size(), 1u);
}

TEST_F(Wtsapi32, FailingEnumerationGivesFalseAndNoLines) {
  g_fake.Result = 0;
  RegisterFake(true, true);
  std::vector<String> lines{"keep"};
  EXPECT_FALSE(GetTerminalProcessList(lines));
  EXPECT_EQ(lines, std::vector<String>{"keep"});
  EXPECT_TRUE(g_fake.Freed.empty());
}

TEST_F(Wtsapi32, AbsentLibraryFailsQuietlyAndIsTriedAgain) {
  TProcFixture proc;
  ASSERT_TRUE(UnregisterBuiltinModule(WtsApiModuleName));
  std::vector<String> lines{"keep"};
  EXPECT_FALSE(LoadWtsApi());
  EXPECT_FALSE(GetTerminalProcessList(lines));
  PWTS_PROCESS_INFOA array = nullptr;
  uint32_t count = 0;
  EXPECT_EQ(WtsEnumerateProcesses(nullptr, 0, 1, array, count), 0);
  WtsFreeMemory(nullptr);
  EXPECT_EQ(lines, std::vector<String>{"keep"});

  RegisterSessionProcessModule();
  EXPECT_TRUE(GetTerminalProcessList(lines));
  EXPECT_EQ(lines, (std::vector<String>{"keep", "Name: <iaecaanoii> PID: 0 Session ID: 0"}));
}

TEST_F(Wtsapi32, LibraryMissingAnEntryPointIsNotBound) {
  for (bool withEnumerate : {false, true}) {
    SCOPED_TRACE(withEnumerate ? "lacks WTSFreeMemory" : "lacks WTSEnumerateProcessesA");
    RegisterFake(withEnumerate, !withEnumerate);
    std::vector<String> lines;
    EXPECT_FALSE(LoadWtsApi());
    EXPECT_FALSE(GetTerminalProcessList(lines));
    EXPECT_TRUE(lines.empty());
    WtsFreeMemory(nullptr);
    EXPECT_EQ(g_fake.EnumerateCalls, 0);
    EXPECT_TRUE(g_fake.Freed.empty());
  }
  RegisterFake(true, true);  // completed later: bound on the next call
  EXPECT_TRUE(LoadWtsApi());
}
