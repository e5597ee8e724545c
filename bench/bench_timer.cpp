// Tick jitter of the high-resolution timer (TB_HiResTimer: timer thread ->
// posted message -> main-thread tick) at 1 ms and 10 ms periods, beside a
// plain Qt timer (QTimer, Qt::PreciseTimer) on the same event loop. Each
// tick's delay is its arrival on the main thread minus its due time (start
// + k periods, so a timer that drifts or drops ticks shows it as delay); the
// counters are the median, 99th percentile and maximum of those delays in
// microseconds. The main thread blocks in the event loop between ticks, as a
// program's does.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "framework/B_Time.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

namespace {

using Clock = std::chrono::steady_clock;

// Delays of `count` ticks of a timer with period `ms` started at `start`.
struct Delays {
  Clock::time_point start;
  int ms = 0;
  std::vector<Clock::time_point> ticks;
  std::vector<double> us;

  void Collect() {
    for (size_t k = 0; k < ticks.size(); ++k) {
      Clock::time_point due = start + std::chrono::milliseconds(ms) * static_cast<int>(k + 1);
      us.push_back(std::chrono::duration<double, std::micro>(ticks[k] - due).count());
    }
    ticks.clear();
  }
};

void Report(benchmark::State& state, std::vector<double> us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * static_cast<double>(us.size())))]; };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = us.back();
  state.counters["ticks"] = static_cast<double>(us.size());
}

void RunUntil(const Delays& d, size_t count) {
  while (d.ticks.size() < count) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

size_t TickCount(int ms) { return ms == 1 ? 1000 : 200; }

void BM_HiResTimerJitter(benchmark::State& state) {
  const int ms = static_cast<int>(state.range(0));
  Delays d;
  d.ms = ms;
  for (auto _ : state) {
    std::unique_ptr<TB_HiResTimer> timer(new TB_HiResTimer(nullptr));
    timer->SetInterval(static_cast<Cardinal>(ms));
    timer->SetResolution(1);
    d.start = Clock::now();
    timer->SetOnTimer([&d](TObject*) { d.ticks.push_back(Clock::now()); });
    RunUntil(d, TickCount(ms));
    timer.reset();
    d.Collect();
  }
  Report(state, d.us);
}
BENCHMARK(BM_HiResTimerJitter)->Arg(1)->Arg(10)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_QtPreciseTimerJitter(benchmark::State& state) {
  const int ms = static_cast<int>(state.range(0));
  Delays d;
  d.ms = ms;
  for (auto _ : state) {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(ms);
    QObject::connect(&timer, &QTimer::timeout, [&d] { d.ticks.push_back(Clock::now()); });
    d.start = Clock::now();
    timer.start();
    RunUntil(d, TickCount(ms));
    timer.stop();
    d.Collect();
  }
  Report(state, d.us);
}
BENCHMARK(BM_QtPreciseTimerJitter)->Arg(1)->Arg(10)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitializeUnits({&unit_Forms, &unit_B_Time});
  Application->Initialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeUnits();
  return 0;
}
