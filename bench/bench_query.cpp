// Reading the 100 000 rows of bench/RowsTable.h from one embedded database,
// three ways in the same run:
//   TFIBQuery   prepare, execute and fetch every row, each column read
//               through its typed getter;
//   RawClient   the same loop written on the client API with one XSQLDA
//               allocated once, the columns decoded by hand (the floor);
//   QtSql       Qt's Firebird driver with a forward-only query, each column
//               read from its QVariant.
// Each iteration reads all rows; items per second are rows per second.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <memory>

#include "bench/QtSqlBaseline.h"
#include "bench/RowsTable.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"

namespace {

using bench::kRows;
using bench::kRowsSelect;

class TQueryBench {
 public:
  const bench::TRowsTable& Table() const { return table_; }
  TFIBDatabase* Database() { return table_.Database(); }
  QSqlDatabase QtDatabase() { return qt_.Database(); }

 private:
  bench::TRowsTable table_{"querybench", unit_FIBQuery};
  bench::TQtConnection qt_{table_.Path()};
};

TQueryBench& Bench() { return bench::State<TQueryBench>(); }

void BM_TFIBQuery(benchmark::State& state) {
  TQueryBench& bench = Bench();
  int64_t rows = 0;
  for (auto _ : state) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(bench.Database());
    q->SQL()->SetText(kRowsSelect);
    q->ExecQuery();
    rows = 0;
    TFIBXSQLVAR* id = q->Fields(0);
    TFIBXSQLVAR* amount = q->Fields(1);
    TFIBXSQLVAR* name = q->Fields(2);
    TFIBXSQLVAR* stamp = q->Fields(3);
    TFIBXSQLVAR* ratio = q->Fields(4);
    for (; !q->Eof(); q->Next()) {
      benchmark::DoNotOptimize(id->AsInteger());
      benchmark::DoNotOptimize(amount->AsCurrency());
      String text = name->AsString();
      benchmark::DoNotOptimize(text.data());
      benchmark::DoNotOptimize(stamp->AsDateTime());
      benchmark::DoNotOptimize(ratio->AsDouble());
      ++rows;
    }
    q->Close();
  }
  bench::FinishRows(state, rows);
}

void BM_RawClient(benchmark::State& state) { bench::RunRawClient(state, Bench().Table()); }

void BM_QtSql(benchmark::State& state) {
  TQueryBench& bench = Bench();
  QSqlDatabase qdb = bench.QtDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    QSqlQuery q(qdb);
    q.setForwardOnly(true);
    if (!q.exec(kRowsSelect)) {
      state.SkipWithError("Qt driver: the select failed");
      return;
    }
    rows = 0;
    while (q.next()) {
      benchmark::DoNotOptimize(q.value(0).toInt());
      benchmark::DoNotOptimize(q.value(1).toDouble());
      QString text = q.value(2).toString();
      benchmark::DoNotOptimize(text.data());
      benchmark::DoNotOptimize(q.value(3).toDateTime().toMSecsSinceEpoch());
      benchmark::DoNotOptimize(q.value(4).toDouble());
      ++rows;
    }
  }
  bench::FinishRows(state, rows);
}

}  // namespace

BENCHMARK(BM_TFIBQuery)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawClient)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_QtSql)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::FreeState<TQueryBench>();
  return 0;
}
