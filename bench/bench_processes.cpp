// The process-information query on the live /proc, beside the two baselines
// of ProcessBaselines.cpp (ps as a whole process, a bare /proc scan).
#include "platform/os/ProcessInfo.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Both calls of the two-call protocol; a table that grew in between is asked for again.
void BM_QueryProcesses(benchmark::State& state) {
  std::vector<unsigned char> buf;
  int64_t retries = 0;
  uint32_t processes = 0;
  for (auto _ : state) {
    for (;;) {
      uint32_t needed = 0;
      if (NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed) != STATUS_INFO_LENGTH_MISMATCH) {
        state.SkipWithError("query failed");
        return;
      }
      buf.resize(needed);
      uint32_t returned = 0;
      if (NtQuerySystemInformation(SystemProcessInformation, buf.data(), needed, &returned) == STATUS_SUCCESS) break;
      ++retries;
    }
    benchmark::DoNotOptimize(buf.data());
  }
  for (uint32_t at = 0;; ++processes) {
    uint32_t next = ReadRecordField<uint32_t>(buf.data() + at, ProcessRecord::NextEntryOffset);
    if (next == 0) break;
    at += next;
  }
  state.counters["processes"] = processes;
  state.counters["retries"] = static_cast<double>(retries);
}
BENCHMARK(BM_QueryProcesses)->Unit(benchmark::kMicrosecond);

}  // namespace
