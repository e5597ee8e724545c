// One TForm1::RefreshProcesses on this machine's live process table (both
// queries, the walk, the nodes and the labels; the tree view's widget exists,
// hidden), flat and as a tree, beside the baselines of ProcessBaselines.cpp.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "app/Unit1.h"
#include "platform/rtl/UnitInit.h"

namespace {

void RefreshOnce(benchmark::State& state, bool tree) {
  std::unique_ptr<TForm1> form(Create<TForm1>(nullptr));
  form->HandleNeeded();
  form->CB_Tree->SetChecked(tree);
  for (auto _ : state) form->RefreshProcesses();
  state.counters["processes"] = form->tvProcess->Items()->Count();
}

void BM_RefreshProcessesFlat(benchmark::State& state) { RefreshOnce(state, false); }
BENCHMARK(BM_RefreshProcessesFlat)->Unit(benchmark::kMicrosecond);

void BM_RefreshProcessesTree(benchmark::State& state) { RefreshOnce(state, true); }
BENCHMARK(BM_RefreshProcessesTree)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  InitializeUnits({&unit_Unit1});
  Application->Initialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeUnits();
  return 0;
}
