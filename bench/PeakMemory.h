// The resident memory a benchmark body reaches: the process's peak resident
// set (VmHWM) is reset before the body and read after it (Linux).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace bench {

// VmRSS or VmHWM of this process in KiB (0 when unreadable).
inline long StatusKb(const char* Key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kb = 0;
  const size_t n = std::strlen(Key);
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::strncmp(line, Key, n) == 0 && line[n] == ':') kb = std::atol(line + n + 1);
  std::fclose(f);
  return kb;
}

// Measures how far above the resident set before it the body's peak goes.
class TPeakMemory {
 public:
  TPeakMemory() {
    // "5" resets the peak to the current resident set.
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", f);
      std::fclose(f);
    }
    start_kb_ = StatusKb("VmRSS");
  }
  // Counter "peak_rss_mb": the peak above the start, in MiB.
  void Report(benchmark::State& State) const {
    State.counters["peak_rss_mb"] = static_cast<double>(StatusKb("VmHWM") - start_kb_) / 1024.0;
  }

 private:
  long start_kb_ = 0;
};

}  // namespace bench
