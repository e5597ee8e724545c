// The native process-information query (information class 5), built from /proc.
//
// NtQuerySystemInformation(SystemProcessInformation, Buffer, Length, &Needed)
// fills Buffer with one variable-length record per process, in the 32-bit
// layout the process viewer walks. Every call reads /proc afresh, so the usual
// two-call protocol (ask for the length, allocate, ask again) can fail on the
// second call when processes were started in between.
//
// Statuses: STATUS_SUCCESS; STATUS_INFO_LENGTH_MISMATCH when Buffer is null or
// Length is too small (*ReturnLength = the length needed, nothing is
// guaranteed about the buffer's contents); STATUS_INVALID_INFO_CLASS for any
// other class; STATUS_UNSUCCESSFUL when the /proc root cannot be read.
//
// Buffer layout (little-endian, read the fields with ReadRecordField):
//  - records back to back, each starting at a multiple of 8 bytes from the
//    start of the buffer; NextEntryOffset is the distance from this record to
//    the next, 0 on the last one;
//  - a record is the 184-byte fixed part (ProcessRecord), NumberOfThreads
//    64-byte thread records (ThreadRecord), then the image name: UTF-16
//    characters and a terminating zero, then padding to the next multiple of 8;
//  - the name is a counted string at ProcessRecord::ImageName: Length and
//    MaximumLength in bytes (MaximumLength = Length + 2), and in place of the
//    32-bit pointer the byte offset of the characters from the start of the
//    buffer (0: no name);
//  - the first record is the idle process: id 0, parent 0, no name, one
//    thread per online CPU; then one record per process in ascending id order.
//
// What a process record holds, from /proc/PID/stat:
//  - UniqueProcessId (field 1), InheritedFromUniqueProcessId (4), SessionId (6),
//    NumberOfThreads (20), image name = comm (2, parsed up to the last ")");
//  - CreateTime: boot time + starttime (22), as 100 ns units since 1601-01-01
//    UTC; UserTime = utime (14), KernelTime = stime (15), in 100 ns units;
//  - BasePriority from the scheduling priority (18) and nice value (19): nice
//    -20..19 maps to 15..2 (nice 0 is 8); real-time priorities 1..99 map to
//    16..31;
//  - VirtualSize = vsize (23), WorkingSetSize = rss (24) x page size, both in
//    bytes and capped at 0xFFFFFFFF; PageFaultCount = minflt (10) + majflt (12).
// Other counters (handles, peaks, pool and I/O counts) stay 0: they would cost
// further files per process. Thread records hold only their ClientId: the
// process id, and as thread id the process id for the first record (the main
// thread, whose id equals the process id) and 0 for the others (their ids
// would cost a directory scan per process). The idle record's threads are
// all zero.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

inline constexpr uint32_t SystemProcessInformation = 5;

inline constexpr uint32_t STATUS_SUCCESS = 0x00000000;
inline constexpr uint32_t STATUS_UNSUCCESSFUL = 0xC0000001;
inline constexpr uint32_t STATUS_INVALID_INFO_CLASS = 0xC0000003;
inline constexpr uint32_t STATUS_INFO_LENGTH_MISMATCH = 0xC0000004;

// Byte offsets of the fixed part of a process record (32-bit layout).
namespace ProcessRecord {
inline constexpr uint32_t NextEntryOffset = 0;               // uint32
inline constexpr uint32_t NumberOfThreads = 4;               // uint32
inline constexpr uint32_t CreateTime = 32;                   // int64, 100 ns since 1601
inline constexpr uint32_t UserTime = 40;                     // int64, 100 ns
inline constexpr uint32_t KernelTime = 48;                   // int64, 100 ns
inline constexpr uint32_t ImageName = 56;                    // counted UTF-16 string:
inline constexpr uint32_t ImageNameLength = 56;              //   uint16, bytes
inline constexpr uint32_t ImageNameMaximumLength = 58;       //   uint16, bytes
inline constexpr uint32_t ImageNameBuffer = 60;              //   uint32, offset in buffer
inline constexpr uint32_t BasePriority = 64;                 // int32
inline constexpr uint32_t UniqueProcessId = 68;              // uint32
inline constexpr uint32_t InheritedFromUniqueProcessId = 72; // uint32
inline constexpr uint32_t HandleCount = 76;                  // uint32
inline constexpr uint32_t SessionId = 80;                    // uint32
inline constexpr uint32_t PeakVirtualSize = 88;              // uint32
inline constexpr uint32_t VirtualSize = 92;                  // uint32
inline constexpr uint32_t PageFaultCount = 96;               // uint32
inline constexpr uint32_t PeakWorkingSetSize = 100;          // uint32
inline constexpr uint32_t WorkingSetSize = 104;              // uint32
inline constexpr uint32_t Size = 184;                        // thread records follow
}  // namespace ProcessRecord

// Byte offsets of a thread record.
namespace ThreadRecord {
inline constexpr uint32_t KernelTime = 0;      // int64
inline constexpr uint32_t UserTime = 8;        // int64
inline constexpr uint32_t CreateTime = 16;     // int64
inline constexpr uint32_t UniqueProcess = 32;  // uint32 (ClientId)
inline constexpr uint32_t UniqueThread = 36;   // uint32 (ClientId)
inline constexpr uint32_t Size = 64;
}  // namespace ThreadRecord

// Reads a field of type T at Offset bytes from Record (no alignment needed).
template <class T>
T ReadRecordField(const void* Record, uint32_t Offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(Record) + Offset, sizeof value);
  return value;
}

uint32_t NtQuerySystemInformation(uint32_t InformationClass, void* Buffer, uint32_t Length,
                                  uint32_t* ReturnLength);

// The folder read as /proc (default "/proc"). Tests point it at a fixture tree
// of PID/stat files.
void SetProcRoot(const std::string& Path);
std::string ProcRoot();

// Sets the /proc root for its lifetime and restores the previous one.
class TProcRootScope {
 public:
  explicit TProcRootScope(const std::string& Path);
  ~TProcRootScope();
  TProcRootScope(const TProcRootScope&) = delete;
  TProcRootScope& operator=(const TProcRootScope&) = delete;

 private:
  std::string saved_;
};

// One process as /proc/PID/stat shows it (field numbers as in proc(5)).
struct TProcStat {
  uint32_t ProcessId = 0;        // 1
  std::string_view Name;         // 2, comm; valid during the callback only
  uint32_t ParentProcessId = 0;  // 4
  uint32_t SessionId = 0;        // 6
  uint64_t MinorFaults = 0;      // 10
  uint64_t MajorFaults = 0;      // 12
  uint64_t UserTicks = 0;        // 14, clock ticks
  uint64_t SystemTicks = 0;      // 15, clock ticks
  int64_t Priority = 0;          // 18
  int64_t Nice = 0;              // 19
  uint32_t NumberOfThreads = 0;  // 20
  uint64_t StartTicks = 0;       // 22, clock ticks after boot
  uint64_t VirtualBytes = 0;     // 23
  uint64_t ResidentPages = 0;    // 24
};

// Reads every process under the /proc root in ascending id order and hands
// each to Visit; processes that vanish (or whose stat cannot be parsed) are
// skipped. False when the root itself cannot be read.
bool ScanProcesses(const std::function<void(const TProcStat&)>& Visit);
