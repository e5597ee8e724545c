#include "platform/os/ProcessInfo.h"

#include "tests/support/ProcFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace {

struct TRecord {
  uint32_t Offset = 0, Next = 0, Threads = 0, Pid = 0, Ppid = 0, Session = 0;
  uint16_t Length = 0, MaximumLength = 0;
  uint32_t NameAt = 0;
  std::u16string Name;
};

// Walks the table, checking every offset against the returned length.
std::vector<TRecord> Walk(const std::vector<unsigned char>& buf, uint32_t length) {
  std::vector<TRecord> records;
  uint32_t at = 0;
  for (;;) {
    if (uint64_t{at} + ProcessRecord::Size > length) {
      ADD_FAILURE() << "record at " << at << " passes the end " << length;
      break;
    }
    const unsigned char* r = buf.data() + at;
    TRecord rec;
    rec.Offset = at;
    rec.Next = ReadRecordField<uint32_t>(r, ProcessRecord::NextEntryOffset);
    rec.Threads = ReadRecordField<uint32_t>(r, ProcessRecord::NumberOfThreads);
    rec.Pid = ReadRecordField<uint32_t>(r, ProcessRecord::UniqueProcessId);
    rec.Ppid = ReadRecordField<uint32_t>(r, ProcessRecord::InheritedFromUniqueProcessId);
    rec.Session = ReadRecordField<uint32_t>(r, ProcessRecord::SessionId);
    rec.Length = ReadRecordField<uint16_t>(r, ProcessRecord::ImageNameLength);
    rec.MaximumLength = ReadRecordField<uint16_t>(r, ProcessRecord::ImageNameMaximumLength);
    rec.NameAt = ReadRecordField<uint32_t>(r, ProcessRecord::ImageNameBuffer);
    uint64_t end = uint64_t{at} + ProcessRecord::Size + uint64_t{rec.Threads} * ThreadRecord::Size;
    if (rec.NameAt != 0) {
      EXPECT_EQ(rec.NameAt, end) << "name follows the thread records";
      end += rec.MaximumLength;
      if (end > length) {
        ADD_FAILURE() << "name of record at " << at << " passes the end";
        break;
      }
      rec.Name.resize(rec.Length / 2);
      std::memcpy(rec.Name.data(), buf.data() + rec.NameAt, rec.Length);
      EXPECT_EQ(ReadRecordField<char16_t>(buf.data(), rec.NameAt + rec.Length), u'\0');
    }
    records.push_back(rec);
    if (rec.Next == 0) {
      EXPECT_LE(end, length);
      break;
    }
    EXPECT_EQ(rec.Next % 8, 0u);
    EXPECT_GE(uint64_t{at} + rec.Next, end) << "records overlap";
    at += rec.Next;
  }
  return records;
}

// The two-call protocol; fails the test on any other status.
std::vector<unsigned char> Query(uint32_t& length) {
  uint32_t needed = 0;
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed), STATUS_INFO_LENGTH_MISMATCH);
  std::vector<unsigned char> buf(needed);
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, &length), STATUS_SUCCESS);
  EXPECT_EQ(length, needed);
  return buf;
}

uint32_t Cpus() { return static_cast<uint32_t>(sysconf(_SC_NPROCESSORS_ONLN)); }

}  // namespace

TEST(ProcessInfo, IdleFirstThenAscendingIdsWithNamesAsStored) {
  TProcFixture proc;
  proc.Add({.Pid = 300, .Comm = "Web Content", .Ppid = 7, .Session = 7, .Threads = 3});
  proc.Add({.Pid = 7, .Comm = "a) b (c)", .Ppid = 1, .Session = 7, .Threads = 2});
  proc.Add({.Pid = 42, .Comm = "(sd-pam)", .Ppid = 1, .Session = 42});
  proc.Add({.Pid = 1, .Comm = "init", .Ppid = 0, .Session = 1});
  proc.Add({.Pid = 1000, .Comm = "процесс", .Ppid = 1, .Threads = 0});  // a zombie has no threads
  proc.Add({.Pid = 1001, .Comm = "", .Ppid = 1});
  proc.Mkdir("self");
  proc.Write("12x", "not a process\n");

  uint32_t length = 0;
  std::vector<unsigned char> buf = Query(length);
  std::vector<TRecord> recs = Walk(buf, length);
  ASSERT_EQ(recs.size(), 7u);

  const TRecord& idle = recs[0];
  EXPECT_EQ(idle.Offset, 0u);
  EXPECT_EQ(idle.Pid, 0u);
  EXPECT_EQ(idle.Ppid, 0u);
  EXPECT_EQ(idle.Threads, Cpus());
  EXPECT_EQ(idle.Length, 0u);
  EXPECT_EQ(idle.MaximumLength, 0u);
  EXPECT_EQ(idle.NameAt, 0u);

  struct {
    uint32_t pid, ppid, session, threads;
    std::u16string name;
  } const expected[] = {
      {1, 0, 1, 1, u"init"},          {7, 1, 7, 2, u"a) b (c)"}, {42, 1, 42, 1, u"(sd-pam)"},
      {300, 7, 7, 3, u"Web Content"}, {1000, 1, 0, 0, u"процесс"}, {1001, 1, 0, 1, u""},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    const TRecord& r = recs[i + 1];
    SCOPED_TRACE(r.Pid);
    EXPECT_EQ(r.Pid, expected[i].pid);
    EXPECT_EQ(r.Ppid, expected[i].ppid);
    EXPECT_EQ(r.Session, expected[i].session);
    EXPECT_EQ(r.Threads, expected[i].threads);
    EXPECT_EQ(r.Name, expected[i].name);
    EXPECT_EQ(r.Length, expected[i].name.size() * 2);
    EXPECT_EQ(r.MaximumLength, r.Length + 2);
    EXPECT_NE(r.NameAt, 0u);  // an empty name is still a name
  }
  EXPECT_EQ(recs.back().Next, 0u);
}

TEST(ProcessInfo, TwoCallProtocol) {
  TProcFixture proc;
  proc.Add({.Pid = 1, .Comm = "init"});
  proc.Add({.Pid = 5, .Comm = "worker", .Ppid = 1, .Threads = 4});

  uint32_t needed = 0;
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed), STATUS_INFO_LENGTH_MISMATCH);
  EXPECT_EQ(needed, (ProcessRecord::Size + Cpus() * ThreadRecord::Size) +           // idle
                        (ProcessRecord::Size + ThreadRecord::Size + 16) +           // "init" + 0, padded
                        (ProcessRecord::Size + 4 * ThreadRecord::Size + 16));       // "worker" + 0, padded

  std::vector<unsigned char> buf(needed);
  uint32_t returned = 0;
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed - 1, &returned),
            STATUS_INFO_LENGTH_MISMATCH);
  EXPECT_EQ(returned, needed);
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, nullptr, needed, &returned),
            STATUS_INFO_LENGTH_MISMATCH);
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, &returned), STATUS_SUCCESS);
  EXPECT_EQ(returned, needed);
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, nullptr), STATUS_SUCCESS);

  // A process started between the calls: the buffer sized by the first call is too small.
  proc.Add({.Pid = 9, .Comm = "late", .Ppid = 1});
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, &returned),
            STATUS_INFO_LENGTH_MISMATCH);
  EXPECT_GT(returned, needed);

  EXPECT_EQ(NtQuerySystemInformation(4, buf.data(), needed, &returned), STATUS_INVALID_INFO_CLASS);
  EXPECT_EQ(returned, 0u);
}

TEST(ProcessInfo, SkipsVanishedAndDamagedProcesses) {
  TProcFixture proc;
  proc.Add({.Pid = 1, .Comm = "init"});
  proc.Mkdir("20");                              // gone before its stat was read
  proc.Write("21", "");                          // gone while being read
  proc.Write("22", "22 (cut) S 1 22 22 0\n");   // ends before the thread count
  proc.Write("23", "23 no parentheses S 1\n");
  proc.Add({.Pid = 30, .Comm = "last", .Ppid = 1});

  uint32_t length = 0;
  std::vector<unsigned char> buf = Query(length);
  std::vector<TRecord> recs = Walk(buf, length);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[1].Pid, 1u);
  EXPECT_EQ(recs[2].Pid, 30u);
}

TEST(ProcessInfo, LongStatLineIsReadWholeAndItsNameCapped) {
  TProcFixture proc;
  proc.Add({.Pid = 8, .Comm = std::string(40000, 'x'), .Ppid = 1, .Session = 8, .Threads = 2});

  uint32_t length = 0;
  std::vector<unsigned char> buf = Query(length);
  std::vector<TRecord> recs = Walk(buf, length);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[1].Threads, 2u);  // fields after the name were read
  EXPECT_EQ(recs[1].Session, 8u);
  EXPECT_EQ(recs[1].Length, 65532u);
  EXPECT_EQ(recs[1].MaximumLength, 65534u);
  EXPECT_EQ(recs[1].Name, std::u16string(32766, u'x'));
}

TEST(ProcessInfo, UnreadableRootFails) {
  TProcRootScope scope("/nonexistent/proc");
  uint32_t needed = 123;
  EXPECT_EQ(NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(needed, 0u);
}

TEST(ProcessInfo, CountersAndThreadRecords) {
  TProcFixture proc;
  long hz = sysconf(_SC_CLK_TCK);
  long page = sysconf(_SC_PAGESIZE);
  proc.Add({.Pid = 10, .Comm = "a", .Ppid = 1, .Threads = 3, .MinFlt = 70, .MajFlt = 5,
            .UTime = uint64_t(hz) * 3, .STime = uint64_t(hz) / 2, .Priority = 39, .Nice = 19,
            .Start = uint64_t(hz) * 10, .VSize = 123456789, .Rss = 100});
  proc.Add({.Pid = 11, .Comm = "b", .Ppid = 1, .Priority = 0, .Nice = -20, .Start = uint64_t(hz) * 12,
            .VSize = uint64_t(1) << 40, .Rss = uint64_t(1) << 40});
  proc.Add({.Pid = 12, .Comm = "rt", .Ppid = 1, .Priority = -100, .Nice = 0});

  uint32_t length = 0;
  std::vector<unsigned char> buf = Query(length);
  std::vector<TRecord> recs = Walk(buf, length);
  ASSERT_EQ(recs.size(), 4u);
  const unsigned char* a = buf.data() + recs[1].Offset;
  const unsigned char* b = buf.data() + recs[2].Offset;
  const unsigned char* rt = buf.data() + recs[3].Offset;

  EXPECT_EQ(ReadRecordField<int64_t>(a, ProcessRecord::UserTime), 30000000);
  EXPECT_EQ(ReadRecordField<int64_t>(a, ProcessRecord::KernelTime), 5000000);
  EXPECT_EQ(ReadRecordField<int64_t>(b, ProcessRecord::CreateTime) - ReadRecordField<int64_t>(a, ProcessRecord::CreateTime),
            20000000);
  // Created after 1601 + 400 years, i.e. a plausible wall-clock time.
  EXPECT_GT(ReadRecordField<int64_t>(a, ProcessRecord::CreateTime), int64_t{400} * 365 * 86400 * 10000000);
  EXPECT_EQ(ReadRecordField<int32_t>(a, ProcessRecord::BasePriority), 2);
  EXPECT_EQ(ReadRecordField<int32_t>(b, ProcessRecord::BasePriority), 15);
  EXPECT_EQ(ReadRecordField<int32_t>(rt, ProcessRecord::BasePriority), 31);
  EXPECT_EQ(ReadRecordField<uint32_t>(a, ProcessRecord::VirtualSize), 123456789u);
  EXPECT_EQ(ReadRecordField<uint32_t>(a, ProcessRecord::WorkingSetSize), uint32_t(100 * page));
  EXPECT_EQ(ReadRecordField<uint32_t>(a, ProcessRecord::PageFaultCount), 75u);
  EXPECT_EQ(ReadRecordField<uint32_t>(b, ProcessRecord::VirtualSize), 0xFFFFFFFFu);
  EXPECT_EQ(ReadRecordField<uint32_t>(b, ProcessRecord::WorkingSetSize), 0xFFFFFFFFu);

  for (uint32_t i = 0; i < 3; ++i) {
    const unsigned char* t = a + ProcessRecord::Size + i * ThreadRecord::Size;
    EXPECT_EQ(ReadRecordField<uint32_t>(t, ThreadRecord::UniqueProcess), 10u);
    EXPECT_EQ(ReadRecordField<uint32_t>(t, ThreadRecord::UniqueThread), i == 0 ? 10u : 0u);
  }
}

TEST(ProcessInfo, LiveProcListsThisProcess) {
  ASSERT_EQ(ProcRoot(), "/proc");
  uint32_t length = 0;
  std::vector<unsigned char> buf;
  // Processes come and go on a live system: retry a few times.
  for (int attempt = 0; attempt < 5; ++attempt) {
    uint32_t needed = 0;
    ASSERT_EQ(NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed), STATUS_INFO_LENGTH_MISMATCH);
    buf.assign(needed + 4096, 0);
    if (NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed + 4096, &length) == STATUS_SUCCESS) break;
    length = 0;
  }
  ASSERT_GT(length, 0u);
  std::string comm;
  std::getline(std::ifstream("/proc/self/comm"), comm);
  uint32_t self = static_cast<uint32_t>(getpid());
  bool found = false;
  uint32_t previous = 0;
  for (const TRecord& r : Walk(buf, length)) {
    if (r.Offset > 0) {
      EXPECT_GT(r.Pid, previous);
    }
    previous = r.Pid;
    if (r.Pid != self) continue;
    found = true;
    EXPECT_EQ(r.Ppid, static_cast<uint32_t>(getppid()));
    EXPECT_EQ(r.Session, static_cast<uint32_t>(getsid(0)));
    EXPECT_GE(r.Threads, 1u);
    EXPECT_EQ(std::u16string(comm.begin(), comm.end()), r.Name);
  }
  EXPECT_TRUE(found);
}
