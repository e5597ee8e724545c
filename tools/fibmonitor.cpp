// fibmonitor: a reader of the SQL monitor channel. It attaches as a monitor
// program does and prints every chunk it receives.
//
//   fibmonitor [--prefix P] [--kinds LIST] [--records] [--limit N] [--time MS]
//
//   --prefix P     object-name prefix (default "FIB.SQL.MONITOR."; the
//                  objects are the user's own, see FIBSQLMonitor.h)
//   --kinds LIST   comma-separated kinds wanted: prepare, execute, fetch,
//                  connect, transaction, or all (default) or none; service
//                  texts come to every reader
//   --records      one record per chunk: a line "chunk KIND LENGTH STAMP",
//                  the chunk's bytes and a line feed; "attached" first
//   --limit N      detach after N chunks
//   --time MS      detach after MS milliseconds
// Without --records the chunks are written as they are, so the texts read
// as the writers framed them. SIGINT and SIGTERM detach and end the program.
//
// The reader's side of the handshake:
//   attach    under the mutex (no text in flight): reader count and the
//             wanted kinds' counters up by one;
//   ready     readers pending up by one; once every attached reader is
//             ready, ReadEvent is signalled;
//   chunk     on WriteEvent: ReadEvent reset, the chunk copied, readers
//             pending down by one; the last reader signals ReadFinishedEvent;
//             then it waits for WriteFinishedEvent and is ready again;
//   detach    under the mutex, undoing attach and ready.
// While waiting the reader looks again every 100 ms: once the writer has
// counted a silent reader off, the remaining ones may all be ready; and a
// writer that died leaves the mutex free (abandoned), which ends the wait.
#include "dataaccess/core/FIBSQLMonitor.h"
#include "platform/os/NamedObjects.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

constexpr Cardinal kPoll = 100;  // ms

struct TOptions {
  String prefix = kDefaultMonitorNamePrefix;
  std::vector<TMonitorDataKind> kinds = {mdkPrepare, mdkExecute, mdkFetch, mdkConnect, mdkTransaction};
  bool records = false;
  long limit = -1;
  long time_ms = -1;
};

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr,
               "fibmonitor: %s\nusage: fibmonitor [--prefix P] [--kinds LIST] [--records] [--limit N] [--time MS]\n",
               problem);
  std::exit(2);
}

std::vector<TMonitorDataKind> ParseKinds(const String& list) {
  static const std::pair<const char*, TMonitorDataKind> kNames[] = {
      {"prepare", mdkPrepare}, {"execute", mdkExecute},         {"fetch", mdkFetch},
      {"connect", mdkConnect}, {"transaction", mdkTransaction},
  };
  std::vector<TMonitorDataKind> kinds;
  if (list == "none") return kinds;
  if (list == "all") return TOptions().kinds;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    const String name = list.substr(start, end - start);
    bool known = false;
    for (const auto& [text, kind] : kNames)
      if (name == text) {
        kinds.push_back(kind);
        known = true;
      }
    if (!known) Usage(("unknown kind: " + name).c_str());
    start = end + 1;
  }
  return kinds;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const String arg = argv[i];
    auto value = [&]() -> String {
      if (i + 1 >= argc) Usage(("missing value of " + arg).c_str());
      return argv[++i];
    };
    if (arg == "--prefix")
      options.prefix = value();
    else if (arg == "--kinds")
      options.kinds = ParseKinds(value());
    else if (arg == "--records")
      options.records = true;
    else if (arg == "--limit")
      options.limit = std::strtol(value().c_str(), nullptr, 10);
    else if (arg == "--time")
      options.time_ms = std::strtol(value().c_str(), nullptr, 10);
    else
      Usage(("unknown option: " + arg).c_str());
  }
  return options;
}

bool Held(TWaitResult result) { return result == wrSignaled || result == wrAbandoned; }

class TReader {
 public:
  TReader(const TOptions& options) : options_(options), channel_(options.prefix), block_(channel_.Block()) {}

  int Run() {
    Attach();
    if (options_.records) std::fputs("attached\n", stdout);
    else
      std::fprintf(stderr, "fibmonitor: attached to %s\n", NamedObjectPath(options_.prefix + "SharedMem").c_str());
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.time_ms);
    long chunks = 0;
    Ready();
    for (;;) {
      const bool done = g_stop || (options_.limit >= 0 && chunks >= options_.limit) ||
                        (options_.time_ms >= 0 && std::chrono::steady_clock::now() >= deadline);
      if (done && TryDetach()) return 0;
      if (channel_.WriteEvent().WaitFor(kPoll) != wrSignaled) {
        SignalIfAllReady();
        continue;
      }
      ReadChunk();
      ++chunks;
      WaitWriteFinished();
      Ready();
    }
  }

 private:
  void Attach() {
    const TWaitResult locked = channel_.Mutex().Acquire();
    block_.Counter(TMonitorBlock::ReaderCount).fetch_add(1);
    for (TMonitorDataKind kind : options_.kinds) block_.Counter(TMonitorBlock::KindCounter(kind)).fetch_add(1);
    // The readers already waiting are no longer all the readers.
    channel_.ReadEvent().ResetEvent();
    if (Held(locked)) channel_.Mutex().Release();
  }

  // Detaches only while no writer is inside a text; false: try again later.
  bool TryDetach() {
    if (!Held(channel_.Mutex().Acquire(0))) return false;
    block_.CountDown(TMonitorBlock::ReaderCount);
    for (TMonitorDataKind kind : options_.kinds) block_.CountDown(TMonitorBlock::KindCounter(kind));
    if (ready_) block_.CountDown(TMonitorBlock::ReadersPending);
    ready_ = false;
    channel_.ReadEvent().ResetEvent();
    SignalIfAllReady();
    channel_.Mutex().Release();
    return true;
  }

  void Ready() {
    block_.Counter(TMonitorBlock::ReadersPending).fetch_add(1);
    ready_ = true;
    SignalIfAllReady();
  }

  void SignalIfAllReady() {
    const Integer count = block_.Get(TMonitorBlock::ReaderCount);
    if (count > 0 && block_.Get(TMonitorBlock::ReadersPending) >= count) channel_.ReadEvent().SetEvent();
  }

  void ReadChunk() {
    channel_.ReadEvent().ResetEvent();
    const Integer length = std::clamp<Integer>(block_.ChunkLength(), 0, TMonitorBlock::kTextSize);
    const String text(block_.Text(), static_cast<size_t>(length));
    const Integer kind = block_.Kind();
    const TDateTime stamp = block_.TimeStamp();
    ready_ = false;
    if (block_.CountDown(TMonitorBlock::ReadersPending) <= 0) channel_.ReadFinishedEvent().SetEvent();
    if (options_.records) std::fprintf(stdout, "chunk %d %d %.9f\n", kind, length, stamp);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (options_.records) std::fputc('\n', stdout);
    std::fflush(stdout);
  }

  void WaitWriteFinished() {
    while (channel_.WriteFinishedEvent().WaitFor(kPoll) != wrSignaled) {
      // A free mutex means no writer is inside a text any more.
      if (Held(channel_.Mutex().Acquire(0))) {
        channel_.Mutex().Release();
        return;
      }
    }
  }

  const TOptions& options_;
  TMonitorChannel channel_;
  TMonitorBlock& block_;
  bool ready_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  try {
    TReader reader(options);
    return reader.Run();
  } catch (const ENamedObjectError& e) {
    std::fprintf(stderr, "fibmonitor: %s\n", e.Message().c_str());
    return 1;
  }
}
