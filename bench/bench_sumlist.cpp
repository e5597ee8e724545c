// Keeping the sums of the 100 000 rows of bench/RowsTable.h with the grid
// toolkit's sum list producer, beside baselines in the same run:
//   FirstWalk     prepare and open a dataset on the AMOUNT column with a
//                 producer summing it: the open walks every row once,
//                 fetching it from the server, to fill the sum;
//   RawFetch      the floor: the same column prepared, executed and fetched
//                 on the client API, each value decoded and summed;
//   OpenFetchAll  the dataset opened and every row fetched (Last) without a
//                 producer: the dataset's own share of the walk;
//   EditPost      Edit, a new AMOUNT and Post of one record through a
//                 hand-written UpdateSQL, moving on one record each time, on
//                 two datasets over the two halves of EDIT_T (10 000 rows)
//                 in turn: one with a producer keeping a sum, an average and
//                 a count of the column, one without. Counters: the thread
//                 CPU time of a post without (post_us) and with the sum list
//                 (post_summed_us), and what the sum list adds
//                 (added_percent).
// Items per second are rows (walks and fetches) or posts.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench/RowsTable.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "grid/toolkit/DBSumLst.h"

namespace {

using bench::kRows;

constexpr const char* kAmountSelect = "select AMOUNT from ROWS_T";
constexpr int kEditRows = 10000;

class TSumListBench {
 public:
  TSumListBench() {
    InitializeUnits({&unit_DBSumLst});
    walker_ = std::make_unique<TFIBDataSet>(nullptr);
    walker_->SetDatabase(table_.Database());
    walker_->SelectSQL()->SetText(kAmountSelect);
    producer_ = std::make_unique<TDBSumListProducer>(nullptr);
    sum_ = producer_->SumCollection()->Add();
    sum_->SetFieldName("AMOUNT");
    producer_->SetDataSet(walker_.get());
    table_.MakeEditTable(kEditRows);
  }
  ~TSumListBench() {
    producer_.reset();
    walker_.reset();
  }

  const bench::TRowsTable& Table() const { return table_; }
  TFIBDataSet* Walker() const { return walker_.get(); }
  TDBSum* Sum() const { return sum_; }

  // The sum of AMOUNT in ten-thousandths on the client API.
  int64_t RawSum() const {
    IIBClientLibrary* lib = table_.Database()->GetClientLibrary();
    isc_db_handle* db = table_.Database()->HandlePtr();
    isc_tr_handle* tr = table_.Transaction()->HandlePtr();
    bench::TRawArea out(1);
    isc_stmt_handle stmt = 0;
    bench::Check(lib->isc_dsql_alloc_statement2(StatusVector(), db, &stmt));
    bench::Check(lib->isc_dsql_prepare(StatusVector(), tr, &stmt, 0, kAmountSelect, 3, out.area));
    int64_t value = 0;
    ISC_SHORT null = 0;
    XSQLVAR& v = out.area->sqlvar[0];
    v.sqldata = reinterpret_cast<char*>(&value);
    v.sqlind = &null;
    bench::Check(lib->isc_dsql_execute(StatusVector(), tr, &stmt, 3, nullptr));
    int64_t sum = 0;
    int64_t rows = 0;
    while (lib->isc_dsql_fetch(StatusVector(), &stmt, 3, out.area) == 0) {
      if (null == 0) sum += value * 100;  // scale -2 to ten-thousandths
      ++rows;
    }
    bench::Check(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
    return rows == kRows ? sum : -1;
  }

 private:
  bench::TRowsTable table_{"bench-sumlist", unit_FIBDataSet};
  std::unique_ptr<TFIBDataSet> walker_;
  std::unique_ptr<TDBSumListProducer> producer_;
  TDBSum* sum_ = nullptr;
};

TSumListBench& Bench() { return bench::State<TSumListBench>(); }

void BM_FirstWalk(benchmark::State& state) {
  TSumListBench& bench = Bench();
  const int64_t expected = bench.RawSum();
  TFIBDataSet* ds = bench.Walker();
  for (auto _ : state) {
    ds->UnPrepare();
    ds->Open();  // the producer walks every row
    benchmark::DoNotOptimize(bench.Sum()->SumValue());
    ds->Close();
  }
  ds->Open();
  if (bench.Sum()->SumValue().Value != expected) state.SkipWithError("wrong sum");
  ds->Close();
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_RawFetch(benchmark::State& state) {
  TSumListBench& bench = Bench();
  int64_t sum = 0;
  for (auto _ : state) {
    sum = bench.RawSum();
    benchmark::DoNotOptimize(sum);
  }
  if (sum < 0) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_OpenFetchAll(benchmark::State& state) {
  TSumListBench& bench = Bench();
  TFIBDataSet ds(nullptr);
  ds.SetDatabase(bench.Table().Database());
  ds.SelectSQL()->SetText(kAmountSelect);
  int64_t rows = 0;
  for (auto _ : state) {
    ds.UnPrepare();
    ds.Open();
    ds.Last();
    rows = ds.RecordCount();
    ds.Close();
  }
  bench::FinishRows(state, rows);
}

// The thread's CPU time in nanoseconds (the embedded engine works on the
// calling thread; other programs' load does not count).
int64_t ThreadCpuNs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A dataset on half of EDIT_T, all rows fetched, standing on its first.
std::unique_ptr<TFIBDataSet> EditHalf(const char* Where) {
  auto ds = std::make_unique<TFIBDataSet>(nullptr);
  ds->SetDatabase(Bench().Table().Database());
  ds->SelectSQL()->SetText(std::string("select ID, AMOUNT from EDIT_T where ") + Where + " order by ID");
  ds->UpdateSQL()->SetText("update EDIT_T set AMOUNT = ?AMOUNT where ID = ?OLD_ID");
  return ds;
}

// Edit, a new AMOUNT and Post of the current record, then on to the next;
// the CPU time it took.
int64_t TimedPost(TFIBDataSet* Ds, int64_t N) {
  const int64_t start = ThreadCpuNs();
  Ds->Edit();
  Ds->FieldByName("AMOUNT")->SetAsString(std::to_string(N % 1000) + ".25");
  Ds->Post();
  Ds->Next();
  if (Ds->Eof()) Ds->First();
  return ThreadCpuNs() - start;
}

void BM_EditPost(benchmark::State& state) {
  Bench();
  std::unique_ptr<TFIBDataSet> plain = EditHalf("ID < 5000"), summed = EditHalf("ID >= 5000");
  TDBSumListProducer producer(nullptr);
  for (TGroupOperation op : {goSum, goAvg, goCount}) {
    TDBSum* s = producer.SumCollection()->Add();
    s->SetGroupOperation(op);
    s->SetFieldName("AMOUNT");
  }
  int walks = 0;
  producer.SetOnRecalcAll([&](TObject*) { ++walks; });
  producer.SetDataSet(summed.get());
  for (TFIBDataSet* ds : {plain.get(), summed.get()}) {
    ds->Open();
    ds->FetchAll();
    ds->First();
  }
  int64_t n = 0, plainNs = 0, summedNs = 0;
  for (auto _ : state) {
    // Turn about, so that neither always goes first.
    if (n % 2 == 0) {
      plainNs += TimedPost(plain.get(), n);
      summedNs += TimedPost(summed.get(), n);
    } else {
      summedNs += TimedPost(summed.get(), n);
      plainNs += TimedPost(plain.get(), n);
    }
    ++n;
  }
  producer.SetDataSet(nullptr);
  plain->Close();
  summed->Close();
  Bench().Table().Transaction()->Commit();
  Bench().Table().Transaction()->StartTransaction();
  state.SetItemsProcessed(2 * n);
  if (n == 0) return;
  state.counters["post_us"] = static_cast<double>(plainNs) / static_cast<double>(n) / 1000.0;
  state.counters["post_summed_us"] = static_cast<double>(summedNs) / static_cast<double>(n) / 1000.0;
  if (walks != 1) state.SkipWithError("the sum list walked the dataset again");
  state.counters["added_percent"] = 100.0 * static_cast<double>(summedNs - plainNs) / static_cast<double>(plainNs);
}

BENCHMARK(BM_FirstWalk)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawFetch)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenFetchAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EditPost)->Unit(benchmark::kMicrosecond)->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::FreeState<TSumListBench>();
  return 0;
}
