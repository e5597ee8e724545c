#include "platform/os/ProcessInfo.h"

#include "platform/rtl/Locale.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct TRootState {
  std::mutex lock;
  std::string root = "/proc";
};

TRootState& RootState() {
  static TRootState state;
  return state;
}

// Parses a decimal directory name into a process id; false for anything else.
bool ParsePid(const char* name, uint32_t& pid) {
  const char* end = name + std::strlen(name);
  if (name == end || *name < '0' || *name > '9') return false;
  auto [ptr, ec] = std::from_chars(name, end, pid);
  return ec == std::errc() && ptr == end;
}

// Reads PID/stat below the open root into buf; false when the process is gone.
// /proc hands out the whole line in one read, so a read that ends the line
// saves the read that would return 0.
bool ReadStat(int rootFd, uint32_t pid, std::vector<char>& buf, size_t& len) {
  char path[32];
  std::snprintf(path, sizeof path, "%u/stat", pid);
  int fd = openat(rootFd, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  len = 0;
  for (;;) {
    if (len == buf.size()) buf.resize(buf.size() * 2);
    ssize_t n = read(fd, buf.data() + len, buf.size() - len);
    if (n < 0) {
      if (errno == EINTR) continue;
      len = 0;
      break;
    }
    if (n == 0) break;
    len += static_cast<size_t>(n);
    if (len < buf.size() && buf[len - 1] == '\n') break;
  }
  close(fd);
  return len > 0;
}

// Splits the fields after the ")" that ends the name.
class TFieldReader {
 public:
  explicit TFieldReader(std::string_view rest) : rest_(rest) {}

  // Next blank-separated field; false at the end of the line.
  bool Next(std::string_view& field) {
    size_t start = rest_.find_first_not_of(" \n");
    if (start == std::string_view::npos) return false;
    size_t stop = rest_.find_first_of(" \n", start);
    if (stop == std::string_view::npos) stop = rest_.size();
    field = rest_.substr(start, stop - start);
    rest_.remove_prefix(stop);
    return true;
  }

  bool Number(int64_t& value) {
    std::string_view field;
    if (!Next(field)) return false;
    auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    return ec == std::errc() && ptr == field.data() + field.size();
  }

 private:
  std::string_view rest_;
};

uint32_t ToU32(int64_t v) {
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<uint32_t>::max()));
}

uint64_t ToU64(int64_t v) { return v < 0 ? 0 : static_cast<uint64_t>(v); }

uint32_t Cap32(uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX)); }

// Parses one stat line: "pid (comm) state ppid ..." where comm may hold
// blanks and ")" itself. Fields up to 20 (the thread count) must be present;
// the later ones read as 0 when missing.
bool ParseStat(std::string_view line, uint32_t pid, TProcStat& p) {
  size_t open = line.find('(');
  size_t close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
  p = TProcStat{};
  p.ProcessId = pid;
  p.Name = line.substr(open + 1, close - open - 1);

  TFieldReader fields(line.substr(close + 1));
  std::string_view state;
  if (!fields.Next(state)) return false;  // 3
  int64_t f[25] = {};                     // f[n] = field n
  for (int n = 4; n <= 24; ++n) {
    if (!fields.Number(f[n])) {
      if (n <= 20) return false;
      break;
    }
  }
  p.ParentProcessId = ToU32(f[4]);
  p.SessionId = ToU32(f[6]);
  p.MinorFaults = ToU64(f[10]);
  p.MajorFaults = ToU64(f[12]);
  p.UserTicks = ToU64(f[14]);
  p.SystemTicks = ToU64(f[15]);
  p.Priority = f[18];
  p.Nice = f[19];
  p.NumberOfThreads = ToU32(f[20]);
  p.StartTicks = ToU64(f[22]);
  p.VirtualBytes = ToU64(f[23]);
  p.ResidentPages = ToU64(f[24]);
  return true;
}

// ---------------------------------------------------------------------------
// Record writing

constexpr uint64_t kMaxNameUnits = 0x7FFE;  // Length + 2 must fit 16 bits

uint64_t Align8(uint64_t n) { return (n + 7) & ~uint64_t{7}; }

template <class T>
void Put(unsigned char* record, uint32_t offset, T value) {
  std::memcpy(record + offset, &value, sizeof value);
}

// Priority 18 is -1 - rt_priority for real-time tasks, else 20 + nice.
int32_t BasePriorityOf(int64_t priority, int64_t nice) {
  if (priority < 0) {
    int64_t rt = std::clamp<int64_t>(-1 - priority, 1, 99);
    return static_cast<int32_t>(16 + (rt - 1) * 15 / 98);
  }
  return static_cast<int32_t>(8 - std::clamp<int64_t>(nice, -20, 19) * 7 / 20);
}

class TClock {
 public:
  TClock() : ticksPerSecond_(std::max<long>(1, sysconf(_SC_CLK_TCK))) {
    timespec real{}, boot{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_BOOTTIME, &boot);
    constexpr int64_t kUnixEpochFrom1601 = 11644473600;  // seconds
    bootTime_ = (real.tv_sec - boot.tv_sec + kUnixEpochFrom1601) * 10000000 +
                (real.tv_nsec - boot.tv_nsec) / 100;
  }
  // Clock ticks to 100 ns units.
  int64_t Duration(uint64_t ticks) const {
    uint64_t hz = static_cast<uint64_t>(ticksPerSecond_);
    return static_cast<int64_t>(ticks / hz * 10000000 + ticks % hz * 10000000 / hz);
  }
  int64_t SinceBoot(uint64_t ticks) const { return bootTime_ + Duration(ticks); }

 private:
  long ticksPerSecond_;
  int64_t bootTime_;
};

// Lays records out one after the other, writing only while they fit; the
// running size is the length the whole table needs.
class TRecordWriter {
 public:
  TRecordWriter(void* buffer, uint32_t length)
      : buffer_(static_cast<unsigned char*>(buffer)), length_(buffer ? length : 0) {}

  uint64_t Size() const { return size_; }
  bool Complete() const { return buffer_ != nullptr && size_ <= length_; }

  void AddIdle(uint32_t cpus) {
    unsigned char* r = Begin(Align8(ProcessRecord::Size + uint64_t{cpus} * ThreadRecord::Size));
    if (r != nullptr) Put(r, ProcessRecord::NumberOfThreads, cpus);
  }

  void AddProcess(const TProcStat& p, const TClock& clock, uint64_t pageSize) {
    std::string_view name = p.Name;
    std::u16string wide;  // only for names that are not plain ASCII
    bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii) wide = Utf8ToWide(std::string(name));
    uint64_t units = std::min<uint64_t>(ascii ? name.size() : wide.size(), kMaxNameUnits);
    uint64_t threadBytes = uint64_t{p.NumberOfThreads} * ThreadRecord::Size;
    uint64_t nameAt = ProcessRecord::Size + threadBytes;
    unsigned char* r = Begin(Align8(nameAt + (units + 1) * 2));
    if (r == nullptr) return;

    Put(r, ProcessRecord::NumberOfThreads, p.NumberOfThreads);
    Put(r, ProcessRecord::CreateTime, clock.SinceBoot(p.StartTicks));
    Put(r, ProcessRecord::UserTime, clock.Duration(p.UserTicks));
    Put(r, ProcessRecord::KernelTime, clock.Duration(p.SystemTicks));
    Put(r, ProcessRecord::ImageNameLength, static_cast<uint16_t>(units * 2));
    Put(r, ProcessRecord::ImageNameMaximumLength, static_cast<uint16_t>(units * 2 + 2));
    Put(r, ProcessRecord::ImageNameBuffer, static_cast<uint32_t>(r - buffer_ + nameAt));
    Put(r, ProcessRecord::BasePriority, BasePriorityOf(p.Priority, p.Nice));
    Put(r, ProcessRecord::UniqueProcessId, p.ProcessId);
    Put(r, ProcessRecord::InheritedFromUniqueProcessId, p.ParentProcessId);
    Put(r, ProcessRecord::SessionId, p.SessionId);
    Put(r, ProcessRecord::VirtualSize, Cap32(p.VirtualBytes));
    Put(r, ProcessRecord::PageFaultCount, Cap32(p.MinorFaults + p.MajorFaults));
    Put(r, ProcessRecord::WorkingSetSize, Cap32(std::min<uint64_t>(p.ResidentPages, UINT32_MAX) * pageSize));

    unsigned char* thread = r + ProcessRecord::Size;
    for (uint32_t i = 0; i < p.NumberOfThreads; ++i, thread += ThreadRecord::Size) {
      Put(thread, ThreadRecord::UniqueProcess, p.ProcessId);
      if (i == 0) Put(thread, ThreadRecord::UniqueThread, p.ProcessId);
    }
    unsigned char* chars = r + nameAt;
    for (uint64_t i = 0; i < units; ++i) {
      char16_t c = ascii ? static_cast<char16_t>(name[i]) : wide[i];
      std::memcpy(chars + i * 2, &c, 2);
    }  // the terminating zero is already there
  }

 private:
  // Claims the next record; returns where to write it, or null when it does
  // not fit (then no later record fits either). The record starts zeroed and
  // becomes the previous record's successor.
  unsigned char* Begin(uint64_t size) {
    uint64_t at = size_;
    size_ += size;
    if (buffer_ == nullptr || size_ > length_) return nullptr;
    if (at > 0) Put(buffer_ + last_, ProcessRecord::NextEntryOffset, static_cast<uint32_t>(at - last_));
    last_ = at;
    std::memset(buffer_ + at, 0, size);
    return buffer_ + at;
  }

  unsigned char* buffer_;
  uint64_t length_;
  uint64_t size_ = 0;
  uint64_t last_ = 0;
};

}  // namespace

void SetProcRoot(const std::string& Path) {
  TRootState& s = RootState();
  std::lock_guard guard(s.lock);
  s.root = Path;
}

std::string ProcRoot() {
  TRootState& s = RootState();
  std::lock_guard guard(s.lock);
  return s.root;
}

TProcRootScope::TProcRootScope(const std::string& Path) : saved_(ProcRoot()) { SetProcRoot(Path); }

TProcRootScope::~TProcRootScope() { SetProcRoot(saved_); }

bool ScanProcesses(const std::function<void(const TProcStat&)>& Visit) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(ProcRoot().c_str()), closedir);
  if (dir == nullptr) return false;
  std::vector<uint32_t> pids;
  pids.reserve(1024);
  while (dirent* entry = readdir(dir.get())) {
    uint32_t pid;
    if (ParsePid(entry->d_name, pid)) pids.push_back(pid);
  }
  if (!std::is_sorted(pids.begin(), pids.end())) std::sort(pids.begin(), pids.end());

  std::vector<char> buf(1024);
  TProcStat proc;
  for (uint32_t pid : pids) {
    size_t len = 0;
    if (ReadStat(dirfd(dir.get()), pid, buf, len) && ParseStat(std::string_view(buf.data(), len), pid, proc)) {
      Visit(proc);
    }
  }
  return true;
}

uint32_t NtQuerySystemInformation(uint32_t InformationClass, void* Buffer, uint32_t Length,
                                  uint32_t* ReturnLength) {
  if (ReturnLength != nullptr) *ReturnLength = 0;
  if (InformationClass != SystemProcessInformation) return STATUS_INVALID_INFO_CLASS;

  TRecordWriter writer(Buffer, Length);
  long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  writer.AddIdle(static_cast<uint32_t>(std::max<long>(1, cpus)));
  TClock clock;
  uint64_t pageSize = static_cast<uint64_t>(std::max<long>(1, sysconf(_SC_PAGESIZE)));
  if (!ScanProcesses([&](const TProcStat& p) { writer.AddProcess(p, clock, pageSize); })) {
    return STATUS_UNSUCCESSFUL;
  }
  if (ReturnLength != nullptr) *ReturnLength = Cap32(writer.Size());
  return writer.Complete() ? STATUS_SUCCESS : STATUS_INFO_LENGTH_MISMATCH;
}
