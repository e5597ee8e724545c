#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "app/Unit1.h"
#include "app/wtsapi32.h"
#include "platform/os/Modules.h"
#include "platform/os/ProcessInfo.h"
#include "tests/support/ProcFixture.h"

namespace {

// Name part of a node's line.
String NameOf(const TTreeNode* node) { return node->Text().substr(0, node->Text().find(" SizeFull=")); }

std::vector<String> TopLevelNames(TTreeView* tv) {
  std::vector<String> names;
  for (TTreeNode* n = tv->Items()->GetFirstNode(); n != nullptr; n = n->GetNextSibling()) names.push_back(NameOf(n));
  return names;
}

std::vector<String> ChildNames(const TTreeNode* node) {
  std::vector<String> names;
  for (int i = 0; i < node->Count(); ++i) names.push_back(NameOf(node->Item(i)));
  return names;
}

class Unit1Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Unit1});
    Application->Initialize();
  }

  void SetUp() override {
    ResetWtsApi();
    previous_ = SetTimerService(&clock_);
    proc_.Add({.Pid = 1, .Comm = "init", .Session = 1});
    proc_.Add({.Pid = 2, .Comm = "kthreadd"});
    proc_.Add({.Pid = 10, .Comm = "child", .Ppid = 1, .Threads = 3});
    proc_.Add({.Pid = 11, .Comm = "early", .Ppid = 50});  // listed before its parent
    proc_.Add({.Pid = 50, .Comm = "parent", .Ppid = 1, .Threads = 2});
    proc_.Add({.Pid = 60, .Comm = "orphan", .Ppid = 999});  // parent not running
    uint32_t needed = 0;
    NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed);
    std::vector<uint8_t> buf(needed);
    NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, &needed);
    idle_threads_ = ReadRecordField<uint32_t>(buf.data(), ProcessRecord::NumberOfThreads);
    length_ = needed;
  }

  void TearDown() override {
    form_.reset();
    ProcessQuery = NtQuerySystemInformation;
    SetTimerService(previous_ == &clock_ ? nullptr : previous_);
    ResetWtsApi();
  }

  TForm1* MakeForm() {
    form_.reset(Create<TForm1>(nullptr));
    return form_.get();
  }

  TProcFixture proc_;
  TManualTimerService clock_;
  TTimerService* previous_ = nullptr;
  std::unique_ptr<TForm1> form_;
  uint32_t idle_threads_ = 0;
  uint32_t length_ = 0;
};

}  // namespace

TEST_F(Unit1Test, FormIsLaidOutAsDesigned) {
  TForm1* f = MakeForm();
  EXPECT_EQ(f->Name(), "Form1");
  EXPECT_EQ(f->Caption(), "Form1");
  EXPECT_EQ(f->Left(), 595);
  EXPECT_EQ(f->Top(), 159);
  EXPECT_EQ(f->ClientWidth(), 665);
  EXPECT_EQ(f->ClientHeight(), 346);
  EXPECT_EQ(f->Color(), clBtnFace);
  EXPECT_EQ(f->Font()->Name(), "Tahoma");
  EXPECT_EQ(f->Font()->Height(), -11);
  EXPECT_EQ(f->Font()->Size(), 8);
  EXPECT_EQ(f->Font()->Charset(), DEFAULT_CHARSET);

  struct Expect {
    TControl* control;
    TRect bounds;
    TAnchors anchors;
    int tabOrder;  // -1: not windowed
    const char* caption;
  } controls[] = {
      {f->tvProcess, Bounds(2, 2, 661, 269), {akLeft, akTop, akRight, akBottom}, 0, ""},
      {f->Memo1, Bounds(342, 12, 319, 257), {akLeft, akTop}, 1, ""},
      {f->Button1, Bounds(6, 316, 75, 25), {akLeft, akBottom}, 2, "Refresh"},
      {f->CB_Tree, Bounds(8, 278, 149, 17), {akLeft, akBottom}, 3, "Tree"},
      {f->CB_AvroRefresh, Bounds(8, 296, 161, 17), {akLeft, akBottom}, 4, "Avto refresh 2 sec"},
  };
  for (const Expect& e : controls) {
    ASSERT_NE(e.control, nullptr);
    EXPECT_EQ(e.control->BoundsRect(), e.bounds) << e.control->Name();
    EXPECT_EQ(e.control->Anchors(), e.anchors) << e.control->Name();
    EXPECT_EQ(dynamic_cast<TWinControl*>(e.control)->TabOrder(), e.tabOrder) << e.control->Name();
    EXPECT_EQ(e.control->Caption(), e.caption) << e.control->Name();
    EXPECT_EQ(e.control->Parent(), f);
  }
  EXPECT_EQ(f->tvProcess->Indent(), 19);
  EXPECT_FALSE(f->Memo1->Visible());
  EXPECT_EQ(f->Memo1->ScrollBars(), ssVertical);
  EXPECT_FALSE(f->CB_Tree->Checked());
  EXPECT_FALSE(f->CB_AvroRefresh->Checked());
  EXPECT_FALSE(f->Timer1->Enabled());
  EXPECT_EQ(f->Timer1->Interval(), 2000u);
  // Labels keep their position (their size follows their text).
  EXPECT_EQ(f->LSize->Left(), 196);
  EXPECT_EQ(f->LSize->Top(), 276);
  EXPECT_EQ(f->LInfo->Left(), 366);
  EXPECT_EQ(f->LInfo->Top(), 274);
  EXPECT_EQ(f->LInfo->Anchors(), (TAnchors{akLeft, akBottom}));

  // Growing the window: the tree stretches, the bottom row moves down.
  f->SetClientWidth(765);
  f->SetClientHeight(446);
  EXPECT_EQ(f->tvProcess->BoundsRect(), Bounds(2, 2, 761, 369));
  EXPECT_EQ(f->Button1->BoundsRect(), Bounds(6, 416, 75, 25));
  EXPECT_EQ(f->LInfo->Top(), 374);
}

TEST_F(Unit1Test, MemoHoldsTheSessionListGatheredAtCreation) {
  TForm1* f = MakeForm();
  TStrings* lines = f->Memo1->Lines();
  ASSERT_EQ(lines->Count(), 7);
  EXPECT_EQ(lines->Strings(0), "Name: <iaecaanoii> PID: 0 Session ID: 0");
  EXPECT_EQ(lines->Strings(1), "Name: init PID: 1 Session ID: 1");
  EXPECT_EQ(lines->Strings(6), "Name: orphan PID: 60 Session ID: 0");
  // Never refreshed afterwards.
  proc_.Add({.Pid = 70, .Comm = "late"});
  f->Button1->Click();
  EXPECT_EQ(lines->Count(), 7);

  // Without the library the memo is empty and the window still comes up.
  form_.reset();
  ResetWtsApi();
  UnregisterBuiltinModule(WtsApiModuleName);
  f = MakeForm();
  EXPECT_EQ(f->Memo1->Lines()->Count(), 0);
  EXPECT_GT(f->tvProcess->Items()->Count(), 0);
  RegisterSessionProcessModule();
}

TEST_F(Unit1Test, FlatListInQueryOrderWithLines) {
  TForm1* f = MakeForm();
  TTreeView* tv = f->tvProcess;
  EXPECT_EQ(TopLevelNames(tv),
            (std::vector<String>{"System Idle Process", "init", "kthreadd", "child", "early", "parent", "orphan"}));
  EXPECT_EQ(tv->Items()->Item(1)->Text(), "init SizeFull=258 ThreadCount=1 ModuleNameMaxLength=10 ModuleNameLength=8");
  EXPECT_EQ(tv->Items()->Item(3)->Text(),
            "child SizeFull=388 ThreadCount=3 ModuleNameMaxLength=12 ModuleNameLength=10");
  EXPECT_EQ(tv->Items()->Item(0)->Text(), "System Idle Process SizeFull=" + std::to_string(idle_threads_ * 64 + 184) +
                                              " ThreadCount=" + std::to_string(idle_threads_) +
                                              " ModuleNameMaxLength=0 ModuleNameLength=0");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(tv->Items()->Item(5)->Data()), 50u);

  int64_t total = idle_threads_ * 64 + 184 + 258 + 266 + 388 + 260 + 326 + 262;
  EXPECT_EQ(f->LInfo->Caption(), "Status calc Length:$C0000004\rStatus get buffer:$00000000\rProcesCount:7\r"
                                 "ThreadCount:" + std::to_string(idle_threads_ + 9));
  EXPECT_EQ(f->LSize->Caption(), "Buffer size:" + std::to_string(length_) + "\rReturn size:" +
                                     std::to_string(length_) + "\rsize ???:0\rmy calc size:" + std::to_string(total));
}

TEST_F(Unit1Test, TreeNestsUnderTheIdleProcessAndKeepsOrphansOnTop) {
  TForm1* f = MakeForm();
  f->CB_Tree->SetChecked(true);  // refreshes at once
  TTreeView* tv = f->tvProcess;
  EXPECT_EQ(tv->Items()->Count(), 7);
  EXPECT_EQ(TopLevelNames(tv), (std::vector<String>{"System Idle Process", "early", "orphan"}));
  TTreeNode* idle = tv->Items()->GetFirstNode();
  EXPECT_EQ(ChildNames(idle), (std::vector<String>{"init", "kthreadd"}));
  EXPECT_EQ(ChildNames(idle->Item(0)), (std::vector<String>{"child", "parent"}));
  f->CB_Tree->SetChecked(false);
  EXPECT_EQ(TopLevelNames(tv).size(), 7u);
}

TEST_F(Unit1Test, FirstQueryFailingLeavesOnlyTheStatusLine) {
  TForm1* f = MakeForm();
  ProcessQuery = [](uint32_t, void*, uint32_t, uint32_t* len) {
    *len = 0;
    return STATUS_UNSUCCESSFUL;
  };
  f->Button1->Click();
  EXPECT_EQ(f->tvProcess->Items()->Count(), 0);
  EXPECT_EQ(f->LInfo->Caption(), "Status calc Length:$C0000001");
  EXPECT_EQ(f->LSize->Caption(), "Size ???");

  // A needed length of 0 stops after the buffer size line.
  ProcessQuery = [](uint32_t, void*, uint32_t, uint32_t* len) {
    *len = 0;
    return STATUS_INFO_LENGTH_MISMATCH;
  };
  f->Button1->Click();
  EXPECT_EQ(f->LInfo->Caption(), "Status calc Length:$C0000004");
  EXPECT_EQ(f->LSize->Caption(), "Buffer size:0");
}

TEST_F(Unit1Test, SecondQueryFailsWhenTheTableGrewBetweenTheCalls) {
  TForm1* f = MakeForm();
  int calls = 0;
  ProcessQuery = [&](uint32_t cls, void* buf, uint32_t len, uint32_t* ret) {
    uint32_t status = NtQuerySystemInformation(cls, buf, len, ret);
    if (++calls == 1) proc_.Add({.Pid = 80, .Comm = "newcomer"});
    return status;
  };
  f->Button1->Click();
  uint32_t grown = 0;
  NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &grown);
  ASSERT_GT(grown, length_);
  EXPECT_EQ(f->tvProcess->Items()->Count(), 0);
  EXPECT_EQ(f->LInfo->Caption(),
            "Status calc Length:$C0000004\rStatus get buffer:$C0000004\rProcesCount:0\rThreadCount:0");
  EXPECT_EQ(f->LSize->Caption(), "Buffer size:" + std::to_string(length_) + "\rReturn size:" + std::to_string(grown) +
                                     "\rsize ???:-" + std::to_string(grown - length_) + "\rmy calc size:0");
}

TEST_F(Unit1Test, NameBeginningWithOneBecomesTheCaptionAndStays) {
  TForm1* f = MakeForm();
  EXPECT_EQ(f->Caption(), "Form1");
  proc_.Add({.Pid = 70, .Comm = "1st"});
  proc_.Add({.Pid = 71, .Comm = "x1"});
  f->Button1->Click();
  EXPECT_EQ(f->Caption(), "1st");
  std::filesystem::remove_all(proc_.Root() / "70");
  f->Button1->Click();
  EXPECT_EQ(f->Caption(), "1st");
}

TEST_F(Unit1Test, WalkStopsAtARecordOutsideTheReturnedLength) {
  // Two records: the idle one, then one whose layout is damaged in one way.
  struct Case {
    const char* what;
    uint32_t secondOffset;  // NextEntryOffset of the first record
    uint32_t nameOffset;    // name pointer of the second record
    uint16_t nameLength;
    uint32_t returned;      // length the query reports
    int nodes;
  } cases[] = {
      {"sound", 184, 368, 4, 400, 2},
      {"next record past the end", 300, 0, 0, 400, 1},
      {"name past the end", 184, 396, 8, 400, 1},
      {"odd name length", 184, 368, 3, 400, 1},
      {"reported length beyond the buffer", 184, 368, 4, 100000, 2},
      {"reported length cuts the second record", 184, 368, 4, 300, 1},
  };
  TForm1* f = MakeForm();
  for (const Case& c : cases) {
    ProcessQuery = [&c](uint32_t, void* buf, uint32_t len, uint32_t* ret) {
      const uint32_t size = 400;
      if (buf == nullptr || len < size) {
        *ret = size;
        return STATUS_INFO_LENGTH_MISMATCH;
      }
      auto* b = static_cast<uint8_t*>(buf);
      std::memset(b, 0, size);
      auto put32 = [b](uint32_t at, uint32_t v) { std::memcpy(b + at, &v, 4); };
      auto put16 = [b](uint32_t at, uint16_t v) { std::memcpy(b + at, &v, 2); };
      put32(ProcessRecord::NextEntryOffset, c.secondOffset);
      uint32_t r = c.secondOffset;
      if (r + 184 <= size) {
        put32(r + ProcessRecord::NextEntryOffset, 0);
        put16(r + ProcessRecord::ImageNameLength, c.nameLength);
        put16(r + ProcessRecord::ImageNameMaximumLength, static_cast<uint16_t>(c.nameLength + 2));
        put32(r + ProcessRecord::ImageNameBuffer, c.nameOffset);
        put32(r + ProcessRecord::UniqueProcessId, 5);
        if (c.nameOffset + 4 <= size) std::memcpy(b + c.nameOffset, u"ab", 4);
      }
      *ret = c.returned;
      return STATUS_SUCCESS;
    };
    f->Button1->Click();
    EXPECT_EQ(f->tvProcess->Items()->Count(), c.nodes) << c.what;
    EXPECT_NE(f->LInfo->Caption().find("\rProcesCount:" + std::to_string(c.nodes)), String::npos) << c.what;
    if (c.nodes == 2) {
      EXPECT_EQ(NameOf(f->tvProcess->Items()->Item(1)), "ab") << c.what;
    }
  }
}

TEST_F(Unit1Test, RefreshRules) {
  TForm1* f = MakeForm();
  auto count = [&] { return f->tvProcess->Items()->Count(); };
  EXPECT_EQ(count(), 7);
  proc_.Add({.Pid = 70, .Comm = "a"});
  EXPECT_EQ(count(), 7);  // nothing refreshes by itself
  f->Button1->Click();
  EXPECT_EQ(count(), 8);

  // Checking auto refresh starts the timer without refreshing.
  proc_.Add({.Pid = 71, .Comm = "b"});
  f->CB_AvroRefresh->SetChecked(true);
  EXPECT_TRUE(f->Timer1->Enabled());
  EXPECT_EQ(count(), 8);
  clock_.Advance(1999);
  EXPECT_EQ(count(), 8);
  clock_.Advance(1);  // first refresh 2000 ms after checking
  EXPECT_EQ(count(), 9);
  proc_.Add({.Pid = 72, .Comm = "c"});
  clock_.Advance(2000);
  EXPECT_EQ(count(), 10);

  // Unchecking stops the refreshes.
  f->CB_AvroRefresh->SetChecked(false);
  EXPECT_FALSE(f->Timer1->Enabled());
  proc_.Add({.Pid = 73, .Comm = "d"});
  clock_.Advance(10000);
  EXPECT_EQ(count(), 10);
  // Switching the tree mode refreshes at once, both ways.
  f->CB_Tree->SetChecked(true);
  EXPECT_EQ(count(), 11);
  proc_.Add({.Pid = 74, .Comm = "e"});
  f->CB_Tree->SetChecked(false);
  EXPECT_EQ(count(), 12);
}

TEST_F(Unit1Test, CreateFormMakesTheMainFormAndClosingItEndsTheLoop) {
  TForm1* made = nullptr;
  Application->CreateForm(made);
  ASSERT_NE(made, nullptr);
  std::unique_ptr<TForm1> owned(made);
  EXPECT_EQ(Application->MainForm(), made);
  EXPECT_GT(made->tvProcess->Items()->Count(), 0);
  made->Show();
  made->Close();
  EXPECT_TRUE(Application->Terminated());
  Application->Run();  // returns at once once terminated
  owned.reset();
  EXPECT_EQ(Application->MainForm(), nullptr);
}
