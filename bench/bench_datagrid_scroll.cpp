// The data grid walking the 100 000 rows of bench/RowsTable.h from the first
// to the last record through its keys, painting itself offscreen after each
// step (the widget rendered into a pixmap), on a TpFIBDataSet in the
// standard cache model (every fetched row kept) and the limited one (a ring
// of 1 000 records):
//   Pages/Limited  PageDown until the last record;
//   Rows/Limited   Down until the last record.
// Counters: the steps taken, the time per step (step_us) and the peak
// resident memory above the start (peak_rss_mb).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include <QPixmap>
#include <QWidget>

#include "bench/PeakMemory.h"
#include "bench/RowsTable.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Forms.h"

namespace {

struct TScrollBase {
  TScrollBase() : table("bench-grid-scroll", unit_pFIBDataSet) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitializeUnits({&unit_Forms});
    Application->Initialize();
    InitializeUnits({&unit_DBGridEh});
  }
  bench::TRowsTable table;
};

TScrollBase& Base() {
  static TScrollBase base;
  return base;
}

void RunWalk(benchmark::State& state, Word Key) {
  TScrollBase& base = Base();
  const bool limited = state.range(0) != 0;
  bench::TPeakMemory memory;
  int64_t steps = 0;
  double seconds = 0;
  for (auto _ : state) {
    std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
    form->SetBounds(0, 0, 640, 480);
    auto* ds = new TpFIBDataSet(form.get());
    ds->SetDatabase(base.table.Database());
    ds->SelectSQL()->SetText("select ID, AMOUNT, NAME, STAMP, RATIO from ROWS_T order by ID");
    if (limited) {
      ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
      ds->CacheModelOptions()->SetBufferChunks(1000);
    }
    auto* src = new TDataSource(form.get());
    src->SetDataSet(ds);
    auto* grid = new TCustomDBGridEh(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 640, 480);
    grid->SetReadOnly(true);
    grid->SetDataSource(src);
    grid->HandleNeeded();
    ds->Open();
    QPixmap target(640, 480);
    steps = 0;
    const auto start = std::chrono::steady_clock::now();
    while (!ds->Eof()) {
      grid->Perform(WM_KEYDOWN, Key, 0);
      grid->Widget()->render(&target);
      ++steps;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (ds->FieldByName("ID")->AsInteger() != bench::kRows - 1) state.SkipWithError("the walk missed the last row");
  }
  memory.Report(state);
  state.counters["steps"] = static_cast<double>(steps);
  state.counters["step_us"] = seconds * 1e6 / static_cast<double>(state.iterations() * std::max<int64_t>(steps, 1));
  state.SetItemsProcessed(state.iterations() * steps);
}

void BM_Pages(benchmark::State& state) { RunWalk(state, VK_NEXT); }
void BM_Rows(benchmark::State& state) { RunWalk(state, VK_DOWN); }

}  // namespace

BENCHMARK(BM_Pages)->ArgName("Limited")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Rows)->ArgName("Limited")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
