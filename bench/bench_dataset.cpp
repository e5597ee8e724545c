// The dataset engine beside the raw client API and Qt's SQL model, on the
// 100 000 rows of bench/RowsTable.h in one embedded database, in the same
// run:
//   OpenFetchAll    prepare and open a TFIBDataSet on the table and fetch
//                   every row (Last); counters: the peak resident memory
//                   above the start (peak_rss_mb; memory the heap kept from
//                   earlier work is not counted again) and the record
//                   cache's own bytes (cache_mb);
//   OpenFetchRead   the same, then First to Eof reading every field of every
//                   row through its TField getter;
//   RawClient       the raw client loop of bench_query (the floor), with its
//                   peak_rss_mb;
//   QtModelFetch    QSqlQueryModel with fetchMore until all rows are in;
//   QtModelRead     the same, then data() of every cell;
//   FetchToCache    prepare and execute the dataset's select, lay out the
//                   record and fetch every row into the record cache
//                   (FetchRecordToCache); counters: the cache's bytes per
//                   row, the rows' value bytes per row and their ratio;
//   MoveRecord/N    1 000 000 moves of a record in the logical order of the
//                   filled cache, each by up to N positions (N = 0: anywhere
//                   in the 100 000 records; fewer calls, same unit);
//   RotateIndex/N   the same moves as std::rotate on a plain vector of
//                   32-bit entries (what a move should cost);
//   LogOldVersions/Descending  one logged old version for each of the
//                   100 000 records of the filled cache (cached updates), in
//                   ascending record order (0, the baseline) or descending
//                   order (1);
//   CachedEditWalk/Backward  Edit, a field value and Post for each of the
//                   100 000 records of a cached-updates dataset, walking
//                   First..Next (0, the baseline) or Last..Prior (1);
//   SortInteger     DoSort of 1 000 000 fetched records (table SORT_T) by one
//                   INTEGER field, from the order they were fetched in;
//   StableSortIntegerKeys  the floor: std::stable_sort of the same keys
//                   already extracted into a vector;
//   SortTextStamp, StableSortTextStampKeys  the same by (VARCHAR, TIMESTAMP);
//   LocateScan      Locate of a NAME near the end of the 100 000 records
//                   (a non-key field: a scan);
//   LocateSorted    Locate of an ID near the end after a local sort by ID
//                   (the binary search).
//   EditPost        Edit, two field values and Post for each of the 10 000
//                   records of EDIT_T through a hand-written UpdateSQL (the
//                   dataset open and all rows fetched beforehand);
//   RawUpdate       the same 10 000 updates as one prepared UPDATE executed
//                   on the client API with its parameter area filled by hand
//                   (the floor).
//   ScrollStandard/N, ScrollLimited/N  First to Eof through N rows in the
//                   standard and the limited cache model (see SCROLL_T).
//   AppendPost/R    Append, three field values and Post for 10 000 new
//                   records of INS_T through a TpFIBDataSet whose InsertSQL
//                   it generated itself (key from the primary key); R = 1
//                   with the default refresh of each record after its post
//                   (a select per record), R = 0 without;
//   RawInsert       the same 10 000 rows as one prepared INSERT executed on
//                   the client API with its parameter area filled by hand
//                   (the floor).
// Items per second are rows, moves or posts per second.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QVariant>

#include "bench/PeakMemory.h"
#include "bench/QtSqlBaseline.h"
#include "bench/RowsTable.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/pFIBDataSet.h"

namespace {

using bench::kRows;
using bench::kRowsSelect;

// A dataset whose cache the benchmark makes itself.
class TBenchDataSet : public TFIBDataSet {
 public:
  using TFIBDataSet::TFIBDataSet;
  using TFIBDataSet::CreateRecordCache;
};

class TDataSetBench {
 public:
  TDataSetBench() {
    ds_ = std::make_unique<TBenchDataSet>(nullptr);
    ds_->SetDatabase(table_.Database());
    ds_->SelectSQL()->SetText(kRowsSelect);
    reader_ = std::make_unique<TFIBDataSet>(nullptr);
    reader_->SetDatabase(table_.Database());
    reader_->SelectSQL()->SetText(kRowsSelect);
  }

  // EDIT_T with kEditRows rows, made on first use.
  void MakeEditTable() {
    if (edit_table_) return;
    table_.MakeEditTable(kEditRows);
    edit_table_ = true;
  }
  static constexpr int kEditRows = 10000;

  const bench::TRowsTable& Table() const { return table_; }
  // A dataset opened by the benchmarks as an application would.
  TFIBDataSet* Reader() const { return reader_.get(); }
  QSqlDatabase QtDatabase() { return qt_.Database(); }

  // The whole table in a fresh cache; the rows fetched.
  int64_t Fill() {
    ds_->UnPrepare();
    ds_->Prepare();
    ds_->SelectQuery()->ExecQuery();
    ds_->ComputeRecordLayout();
    ds_->CreateRecordCache();
    const int64_t rows = ds_->FetchNext(INT32_MAX);
    ds_->SelectQuery()->Close();
    return rows;
  }
  TBenchDataSet* DataSet() const { return ds_.get(); }

 private:
  bench::TRowsTable table_{"datasetbench", unit_FIBDataSet};
  bench::TQtConnection qt_{table_.Path()};
  std::unique_ptr<TBenchDataSet> ds_;
  std::unique_ptr<TFIBDataSet> reader_;
  bool edit_table_ = false;
};

TDataSetBench& Bench() { return bench::State<TDataSetBench>(); }

void BM_FetchToCache(benchmark::State& state) {
  TDataSetBench& bench = Bench();
  int64_t rows = 0;
  for (auto _ : state) rows = bench.Fill();
  bench::FinishRows(state, rows);
  // What the cache holds against what the rows are worth: 4 + 8 + 8 + 8
  // bytes of numbers and the name's characters.
  TRecordsCache* cache = bench.DataSet()->RecordsCache();
  double text = 0;
  for (int i = 0; i < kRows; ++i) text += static_cast<double>(cache->GetStringCell(i, 0).size());
  const double value = 28.0 + text / kRows;
  const double held = static_cast<double>(cache->MemoryUsed()) / kRows;
  state.counters["cache_bytes_per_row"] = held;
  state.counters["value_bytes_per_row"] = value;
  state.counters["cache_to_value"] = held / value;
}

// Prepares (the handles were freed) and opens the reader; all rows fetched.
TFIBDataSet* OpenAll() {
  TFIBDataSet* ds = Bench().Reader();
  ds->UnPrepare();
  ds->Open();
  ds->Last();
  return ds;
}

void BM_OpenFetchAll(benchmark::State& state) {
  Bench();
  bench::TPeakMemory memory;
  int64_t rows = 0;
  double cache = 0;
  for (auto _ : state) {
    TFIBDataSet* ds = OpenAll();
    rows = ds->RecordCount();
    cache = static_cast<double>(ds->RecordsCache()->MemoryUsed());
    ds->Close();
  }
  memory.Report(state);
  state.counters["cache_mb"] = cache / (1024.0 * 1024.0);
  bench::FinishRows(state, rows);
}

void BM_OpenFetchRead(benchmark::State& state) {
  Bench();
  int64_t rows = 0;
  for (auto _ : state) {
    TFIBDataSet* ds = OpenAll();
    TField* id = ds->FieldByName("ID");
    TField* amount = ds->FieldByName("AMOUNT");
    TField* name = ds->FieldByName("NAME");
    TField* stamp = ds->FieldByName("STAMP");
    TField* ratio = ds->FieldByName("RATIO");
    rows = 0;
    for (ds->First(); !ds->Eof(); ds->Next()) {
      benchmark::DoNotOptimize(id->AsInteger());
      benchmark::DoNotOptimize(amount->AsCurrency());
      String text = name->AsString();
      benchmark::DoNotOptimize(text.data());
      benchmark::DoNotOptimize(stamp->AsDateTime());
      benchmark::DoNotOptimize(ratio->AsFloat());
      ++rows;
    }
    ds->Close();
  }
  bench::FinishRows(state, rows);
}

void BM_RawClient(benchmark::State& state) {
  Bench();
  bench::TPeakMemory memory;
  bench::RunRawClient(state, Bench().Table());
  memory.Report(state);
}

// Qt's model with every row fetched; with ReadCells, data() of every cell.
void RunQtModel(benchmark::State& state, bool ReadCells) {
  QSqlDatabase db = Bench().QtDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    QSqlQueryModel model;
    model.setQuery(QSqlQuery(kRowsSelect, db));
    while (model.canFetchMore()) model.fetchMore();
    rows = model.rowCount();
    if (!ReadCells) continue;
    const int columns = model.columnCount();
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c) {
        QVariant value = model.data(model.index(r, c));
        benchmark::DoNotOptimize(value);
      }
  }
  bench::FinishRows(state, rows);
}

void BM_QtModelFetch(benchmark::State& state) { RunQtModel(state, false); }
void BM_QtModelRead(benchmark::State& state) { RunQtModel(state, true); }

// Move pairs (from, to) within kRows positions, each by up to Distance
// positions (0: anywhere).
std::vector<std::pair<int, int>> Moves(int Count, int Distance) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> position(0, kRows - 1);
  std::uniform_int_distribution<int> step(-Distance, Distance);
  std::vector<std::pair<int, int>> moves;
  moves.reserve(static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i) {
    const int from = position(random);
    const int to = Distance == 0 ? position(random) : std::clamp(from + step(random), 0, kRows - 1);
    moves.emplace_back(from, to);
  }
  return moves;
}

int MoveCount(int Distance) { return Distance == 0 ? 10000 : 1000000; }

void BM_MoveRecord(benchmark::State& state) {
  TDataSetBench& bench = Bench();
  if (bench.DataSet()->RecordsCache() == nullptr || bench.DataSet()->RecordsCache()->RecordCount() != kRows)
    bench.Fill();
  TRecordsCache* cache = bench.DataSet()->RecordsCache();
  const auto moves = Moves(MoveCount(static_cast<int>(state.range(0))), static_cast<int>(state.range(0)));
  for (auto _ : state)
    for (const auto& [from, to] : moves) cache->MoveRecord(from, to);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(moves.size()));
}

void BM_RotateIndex(benchmark::State& state) {
  std::vector<int32_t> index(kRows);
  for (int i = 0; i < kRows; ++i) index[static_cast<size_t>(i)] = i + 1;
  const auto moves = Moves(MoveCount(static_cast<int>(state.range(0))), static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const auto& [from, to] : moves) {
      auto at = [&](int i) { return index.begin() + i; };
      if (from < to) std::rotate(at(from), at(from + 1), at(to + 1));
      else if (from > to) std::rotate(at(to), at(from), at(from + 1));
    }
    benchmark::DoNotOptimize(index.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(moves.size()));
}

// Logged old versions: the filled cache logs each record once per round,
// the log cleared between rounds (untimed).
void BM_LogOldVersions(benchmark::State& state) {
  TDataSetBench& bench = Bench();
  bench.Fill();  // the records in their fetched order
  TRecordsCache* cache = bench.DataSet()->RecordsCache();
  const bool descending = state.range(0) != 0;
  cache->SetLogOldVersions(true);
  for (auto _ : state) {
    for (int i = 0; i < kRows; ++i) cache->LogOldVersion(descending ? kRows - i : i + 1);
    state.PauseTiming();
    if (cache->LogCount() != kRows) state.SkipWithError("wrong log count");
    cache->ClearLog();
    state.ResumeTiming();
  }
  cache->SetLogOldVersions(false);
  state.SetItemsProcessed(state.iterations() * kRows);
}

// Cached edits of every record of ROWS_T in one walk; the dataset is opened
// and fetched before each round and its updates cancelled after (untimed).
void BM_CachedEditWalk(benchmark::State& state) {
  const bool backward = state.range(0) != 0;
  TFIBDataSet ds(nullptr);
  ds.SetDatabase(Bench().Table().Database());
  ds.SelectSQL()->SetText(kRowsSelect);
  ds.UpdateSQL()->SetText("update ROWS_T set AMOUNT = ?AMOUNT where ID = ?OLD_ID");
  ds.SetCachedUpdates(true);
  int64_t edits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ds.Open();
    ds.FetchAll();
    TField* amount = ds.FieldByName("AMOUNT");
    state.ResumeTiming();
    for (backward ? ds.Last() : ds.First(); !(backward ? ds.Bof() : ds.Eof()); backward ? ds.Prior() : ds.Next()) {
      ds.Edit();
      amount->SetAsFloat(0.5);
      ds.Post();
      ++edits;
    }
    state.PauseTiming();
    if (ds.ChangedCount() != kRows) state.SkipWithError("wrong changed count");
    ds.CancelUpdates();
    ds.Close();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(edits);
}

BENCHMARK(BM_LogOldVersions)->ArgName("Descending")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedEditWalk)->ArgName("Backward")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Local sorting and locating

// Runs each statement in the benchmark database and commits it.
void ExecCommitted(std::initializer_list<std::string> Statements) {
  TDataSetBench& base = Bench();
  TFIBTransaction* tr = base.Table().Transaction();
  for (const std::string& sql : Statements) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(base.Table().Database());
    q->SQL()->SetText(sql);
    q->ExecQuery();
    if (q->Open()) q->Close();
    tr->Commit();
    tr->StartTransaction();
  }
}

// Creates a table and fills it by one statement in the benchmark database,
// each committed.
void MakeTable(const std::string& Create, const std::string& Fill) { ExecCommitted({Create, Fill}); }

constexpr int kSortRows = 1000000;

// SORT_T: 1 000 000 rows of keys in no order (K: integers with repeats,
// NAME: 50 000 texts, STAMP: 100 000 times), made by one EXECUTE BLOCK in the
// benchmark database; a dataset with every row fetched.
class TSortBench {
 public:
  TSortBench() {
    MakeTable("create table SORT_T (ID integer, K integer, NAME varchar(30), STAMP timestamp)",
              "execute block as declare i integer = 0; begin while (i < " + std::to_string(kSortRows) +
                  ") do begin insert into SORT_T values (:i, mod(:i * 7919, 1000003), 'name ' || mod(:i * 31, 50000), "
                  "dateadd(mod(:i * 13, 100000) second to timestamp '2020-01-01 00:00:00')); i = i + 1; end end");
    TDataSetBench& base = Bench();
    ds_ = std::make_unique<TFIBDataSet>(nullptr);
    ds_->SetDatabase(base.Table().Database());
    ds_->SelectSQL()->SetText("select ID, K, NAME, STAMP from SORT_T order by ID");
    ds_->Open();
    ds_->Last();
    TField* k = ds_->FieldByName("K");
    TField* name = ds_->FieldByName("NAME");
    TField* stamp = ds_->FieldByName("STAMP");
    for (ds_->First(); !ds_->Eof(); ds_->Next()) {
      ints_.push_back(k->AsInteger());
      pairs_.emplace_back(name->AsString(), stamp->AsDateTime());
    }
  }
  TFIBDataSet* DataSet() const { return ds_.get(); }
  const std::vector<int32_t>& Ints() const { return ints_; }
  const std::vector<std::pair<std::string, double>>& Pairs() const { return pairs_; }

 private:
  std::unique_ptr<TFIBDataSet> ds_;
  std::vector<int32_t> ints_;
  std::vector<std::pair<std::string, double>> pairs_;
};

TSortBench& SortBench() { return bench::State<TSortBench>(); }

void FinishSort(benchmark::State& state, int64_t Rows) {
  if (Rows != kSortRows) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * kSortRows);
}

void RunDoSort(benchmark::State& state, std::initializer_list<TVarRec> Fields, const std::vector<bool>& Ordering) {
  TFIBDataSet* ds = SortBench().DataSet();
  for (auto _ : state) {
    state.PauseTiming();
    ds->DoSort({"ID"}, {true});  // the fetch order again
    state.ResumeTiming();
    ds->DoSort(Fields, Ordering);
  }
  FinishSort(state, ds->RecordCount());
}

void BM_SortInteger(benchmark::State& state) { RunDoSort(state, {"K"}, {true}); }
void BM_SortTextStamp(benchmark::State& state) { RunDoSort(state, {"NAME", "STAMP"}, {true, true}); }

template <class T>
void RunStableSort(benchmark::State& state, const std::vector<T>& Keys) {
  std::vector<T> keys;
  for (auto _ : state) {
    state.PauseTiming();
    keys = Keys;
    state.ResumeTiming();
    std::stable_sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  FinishSort(state, static_cast<int64_t>(keys.size()));
}

void BM_StableSortIntegerKeys(benchmark::State& state) { RunStableSort(state, SortBench().Ints()); }
void BM_StableSortTextStampKeys(benchmark::State& state) { RunStableSort(state, SortBench().Pairs()); }

void BM_LocateScan(benchmark::State& state) {
  TFIBDataSet* ds = OpenAll();
  const String name = "row number " + std::to_string(kRows - 10) + " of the benchmark";
  bool found = true;
  for (auto _ : state) found = found && ds->Locate("NAME", name, {});
  if (!found || ds->FieldByName("ID")->AsInteger() != kRows - 10) state.SkipWithError("not found");
  ds->Close();
}

void BM_LocateSorted(benchmark::State& state) {
  TFIBDataSet* ds = OpenAll();
  ds->DoSort({"ID"}, {true});
  bool found = true;
  for (auto _ : state) found = found && ds->Locate("ID", kRows - 10, {});
  if (!found || ds->FieldByName("ID")->AsInteger() != kRows - 10) state.SkipWithError("not found");
  ds->Close();
}

constexpr int kEditRows = TDataSetBench::kEditRows;

// Between two edit rounds, untimed: the updates are committed hard (so that
// no round works on the back versions of the ones before) and Reopen, when
// given, opens the dataset again in the new transaction.
void CommitRound(benchmark::State& state, TFIBTransaction* Transaction, TFIBDataSet* Reopen = nullptr) {
  state.PauseTiming();
  Transaction->Commit();
  Transaction->StartTransaction();
  if (Reopen != nullptr) {
    Reopen->Open();
    Reopen->FetchAll();
  }
  state.ResumeTiming();
}

void BM_EditPost(benchmark::State& state) {
  TDataSetBench& bench = Bench();
  bench.MakeEditTable();
  TFIBDataSet ds(nullptr);
  ds.SetDatabase(bench.Table().Database());
  ds.SelectSQL()->SetText("select ID, AMOUNT, NAME from EDIT_T order by ID");
  ds.UpdateSQL()->SetText("update EDIT_T set AMOUNT = ?AMOUNT, NAME = ?NAME where ID = ?OLD_ID");
  ds.Open();
  ds.FetchAll();
  TField* amount = ds.FieldByName("AMOUNT");
  TField* name = ds.FieldByName("NAME");
  int64_t round = 0, posts = 0;
  for (auto _ : state) {
    ++round;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      ds.Edit();
      amount->SetAsString(std::to_string(round) + ".25");
      name->SetAsString("round " + std::to_string(round));
      ds.Post();
      ++posts;
    }
    CommitRound(state, bench.Table().Transaction(), &ds);
  }
  if (posts != state.iterations() * kEditRows) state.SkipWithError("wrong post count");
  state.SetItemsProcessed(posts);
}

// A statement prepared on the client API in the benchmark database's
// transaction, its parameters described into In; dropped with the object.
class TRawStatement {
 public:
  TRawStatement(const char* SQL, bench::TRawArea& In)
      : lib_(Bench().Table().Database()->GetClientLibrary()),
        tr_(Bench().Table().Transaction()->HandlePtr()),
        in_(In) {
    bench::Check(lib_->isc_dsql_alloc_statement2(StatusVector(), Bench().Table().Database()->HandlePtr(), &stmt_));
    bench::Check(lib_->isc_dsql_prepare(StatusVector(), tr_, &stmt_, 0, SQL, 3, nullptr));
    bench::Check(lib_->isc_dsql_describe_bind(StatusVector(), &stmt_, 1, in_.area));
  }
  ~TRawStatement() { lib_->isc_dsql_free_statement(StatusVector(), &stmt_, DSQL_drop); }
  TRawStatement(const TRawStatement&) = delete;
  TRawStatement& operator=(const TRawStatement&) = delete;

  // Executes it with the values In's variables point to.
  void Execute() { bench::Check(lib_->isc_dsql_execute(StatusVector(), tr_, &stmt_, 3, in_.area)); }

 private:
  IIBClientLibrary* lib_;
  isc_tr_handle* tr_;
  bench::TRawArea& in_;
  isc_stmt_handle stmt_ = 0;
};

void BM_RawUpdate(benchmark::State& state) {
  TDataSetBench& bench = Bench();
  bench.MakeEditTable();
  bench::TRawArea in(3);
  int64_t round = 0, updates = 0;
  for (auto _ : state) {
    ++round;
    {
      TRawStatement stmt("update EDIT_T set AMOUNT = ?, NAME = ? where ID = ?", in);
      int64_t amount = round * 100 + 25;
      char text[2 + 100];
      const std::string name = "round " + std::to_string(round);
      const auto length = static_cast<uint16_t>(name.size());
      std::memcpy(text, &length, 2);
      std::memcpy(text + 2, name.data(), name.size());
      int32_t id = 0;
      ISC_SHORT notNull = 0;
      XSQLVAR* v = in.area->sqlvar;
      v[0].sqltype = SQL_INT64 + 1;
      v[0].sqlscale = -2;
      v[0].sqldata = reinterpret_cast<char*>(&amount);
      v[1].sqltype = SQL_VARYING + 1;
      v[1].sqldata = text;
      v[2].sqltype = SQL_LONG + 1;
      v[2].sqldata = reinterpret_cast<char*>(&id);
      for (int i = 0; i < 3; ++i) v[i].sqlind = &notNull;
      for (id = 0; id < kEditRows; ++id) {
        stmt.Execute();
        ++updates;
      }
    }
    CommitRound(state, bench.Table().Transaction());
  }
  state.SetItemsProcessed(updates);
}

}  // namespace

BENCHMARK(BM_EditPost)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawUpdate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenFetchAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenFetchRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawClient)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_QtModelFetch)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_QtModelRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FetchToCache)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MoveRecord)->Arg(1)->Arg(100)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateIndex)->Arg(1)->Arg(100)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortInteger)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StableSortIntegerKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTextStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StableSortTextStampKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateSorted)->Unit(benchmark::kMicrosecond);

// SCROLL_T: 1 000 000 rows by ID. ScrollStandard/N and ScrollLimited/N
// open "where ID < N order by ID" and go First to Eof reading ID, in the
// standard model (every row kept) and the limited one (BufferChunks 1 000);
// counter peak_rss_mb as in OpenFetchAll.
constexpr int kScrollRows = 1000000;

class TScrollBench {
 public:
  TScrollBench() {
    MakeTable("create table SCROLL_T (ID integer not null primary key, NAME varchar(30), AMOUNT numeric(15,2))",
              "execute block as declare i integer = 0; begin while (i < " + std::to_string(kScrollRows) +
                  ") do begin insert into SCROLL_T values (:i, 'name ' || mod(:i * 31, 50000), :i * 0.25); "
                  "i = i + 1; end end");
  }
};

void RunScroll(benchmark::State& state, bool Limited) {
  bench::State<TScrollBench>();
  TDataSetBench& base = Bench();
  const auto rowsWanted = static_cast<int>(state.range(0));
  bench::TPeakMemory memory;
  int64_t rows = 0;
  for (auto _ : state) {
    auto ds = std::make_unique<TFIBDataSet>(nullptr);
    ds->SetDatabase(base.Table().Database());
    ds->SelectSQL()->SetText("select ID, NAME, AMOUNT from SCROLL_T where ID < " + IntToStr(rowsWanted) +
                             " order by ID");
    if (Limited) {
      ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
      ds->CacheModelOptions()->SetBufferChunks(1000);
    }
    ds->Open();
    TField* id = ds->FieldByName("ID");
    rows = 0;
    for (ds->First(); !ds->Eof(); ds->Next()) {
      benchmark::DoNotOptimize(id->AsInteger());
      ++rows;
    }
    ds->Close();
  }
  memory.Report(state);
  if (rows != rowsWanted) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * rows);
}

void BM_ScrollStandard(benchmark::State& state) { RunScroll(state, false); }
void BM_ScrollLimited(benchmark::State& state) { RunScroll(state, true); }

BENCHMARK(BM_ScrollStandard)->Arg(100000)->Arg(kScrollRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollLimited)->Arg(100000)->Arg(kScrollRows)->Unit(benchmark::kMillisecond);

// INS_T, empty at the start of every insert round.
constexpr int kInsertRows = 10000;

class TInsertBench {
 public:
  TInsertBench() {
    InitializeUnits({&unit_pFIBDataSet});
    ExecCommitted({"create table INS_T (ID integer not null primary key, AMOUNT numeric(15,2), NAME varchar(100))"});
  }
  // After an insert round, untimed: the rows the round left (committed), then
  // deleted and their versions collected (a count reads them), so that every
  // round inserts into the same empty table.
  static int64_t Clear(benchmark::State& state) {
    state.PauseTiming();
    TDataSetBench& base = Bench();
    const int64_t rows =
        base.Table().Database()->QueryValue("select count(*) from INS_T", 0, base.Table().Transaction()).AsInt64();
    ExecCommitted({"delete from INS_T", "select count(*) from INS_T"});
    state.ResumeTiming();
    return rows;
  }
};

// The name of inserted row I.
std::string InsertedName(int I) { return "inserted row " + std::to_string(I); }

// Items processed are inserts; a round that left another count fails.
void FinishInserts(benchmark::State& state, int64_t Inserts, int64_t LastRows) {
  if (Inserts != state.iterations() * kInsertRows || LastRows != kInsertRows) state.SkipWithError("wrong insert count");
  state.SetItemsProcessed(Inserts);
}

void BM_AppendPost(benchmark::State& state) {
  bench::State<TInsertBench>();
  TDataSetBench& bench = Bench();
  TpFIBDataSet ds(nullptr);
  ds.SetDatabase(bench.Table().Database());
  ds.SelectSQL()->SetText("select ID, AMOUNT, NAME from INS_T");
  TAutoUpdateOptions* options = ds.AutoUpdateOptions();
  options->SetUpdateTableName("INS_T");
  options->SetAutoReWriteSqls(true);
  options->SetCanChangeSQLs(true);
  if (state.range(0) == 0) ds.SetOptions(ds.Options() - TpFIBDsOptions{poRefreshAfterPost});
  int64_t posts = 0, rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ds.Open();  // in the round's transaction; the statements were written at the first open
    TField* id = ds.FieldByName("ID");
    TField* amount = ds.FieldByName("AMOUNT");
    TField* name = ds.FieldByName("NAME");
    state.ResumeTiming();
    for (int i = 0; i < kInsertRows; ++i) {
      ds.Append();
      id->SetAsInteger(i);
      amount->SetAsFloat(i * 1.25);
      name->SetAsString(InsertedName(i));
      ds.Post();
      ++posts;
    }
    state.PauseTiming();
    ds.Close();
    state.ResumeTiming();
    rows = TInsertBench::Clear(state);
  }
  FinishInserts(state, posts, rows);
}

void BM_RawInsert(benchmark::State& state) {
  bench::State<TInsertBench>();
  bench::TRawArea in(3);
  int64_t inserts = 0, rows = 0;
  for (auto _ : state) {
    {
      TRawStatement stmt("insert into INS_T (ID, AMOUNT, NAME) values (?, ?, ?)", in);
      int32_t id = 0;
      int64_t amount = 0;
      char text[2 + 100];
      ISC_SHORT notNull = 0;
      XSQLVAR* v = in.area->sqlvar;
      v[0].sqltype = SQL_LONG + 1;
      v[0].sqldata = reinterpret_cast<char*>(&id);
      v[1].sqltype = SQL_INT64 + 1;
      v[1].sqlscale = -2;
      v[1].sqldata = reinterpret_cast<char*>(&amount);
      v[2].sqltype = SQL_VARYING + 1;
      v[2].sqldata = text;
      for (int i = 0; i < 3; ++i) v[i].sqlind = &notNull;
      for (id = 0; id < kInsertRows; ++id) {
        amount = static_cast<int64_t>(id) * 125;
        const std::string name = InsertedName(id);
        const auto length = static_cast<uint16_t>(name.size());
        std::memcpy(text, &length, 2);
        std::memcpy(text + 2, name.data(), name.size());
        stmt.Execute();
        ++inserts;
      }
    }
    rows = TInsertBench::Clear(state);
  }
  FinishInserts(state, inserts, rows);
}

BENCHMARK(BM_AppendPost)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawInsert)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Applying cached inserts. ApplyInserts/Batch/Server applies 10 000
// records appended to APPLY_T with CachedUpdates (untimed) through the
// generated InsertSQL, one execution per record (Batch 0), or with
// UseExecuteBlock in EXECUTE BLOCK batches of literal statements (Batch 1),
// in the embedded benchmark database (Server 0) or in a database of its own
// attached through the server on 127.0.0.1:3050 (Server 1, skipped without
// one); the rows are deleted and committed between rounds (untimed). Items
// per second are records applied.
constexpr int kApplyRows = 10000;
constexpr const char* kApplyTable =
    "create table APPLY_T (ID integer not null primary key, AMOUNT numeric(15,2), NAME varchar(100))";

class TApplyBench {
 public:
  TApplyBench() {
    InitializeUnits({&unit_pFIBDataSet});
    MakeTable(kApplyTable, "delete from APPLY_T");
    std::string folder = (std::filesystem::temp_directory_path() / "applybench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return;
    folder_ = folder;
    const std::string path = "localhost:" + folder_ + "/apply.fdb";
    TFIBDatabase* embedded = Bench().Table().Database();
    isc_db_handle createDb = 0;
    isc_tr_handle createTr = 0;
    const std::string create = "CREATE DATABASE '" + path +
                               "' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8";
    IIBClientLibrary* lib = embedded->GetClientLibrary();
    if (lib->isc_dsql_execute_immediate(StatusVector(), &createDb, &createTr, 0, create.c_str(), 3, nullptr) != 0)
      return;
    bench::Check(lib->isc_detach_database(StatusVector(), &createDb));
    server_ = std::make_unique<TFIBDatabase>(nullptr);
    server_->SetDBName(path);
    for (const char* line : {"user_name=SYSDBA", "password=masterkey", "lc_ctype=UTF8"})
      server_->DBParams()->Add(line);
    server_->SetSQLDialect(3);
    server_tr_ = std::make_unique<TFIBTransaction>(nullptr);
    server_tr_->SetDefaultDatabase(server_.get());
    server_->SetDefaultTransaction(server_tr_.get());
    server_->Connect();
    server_tr_->StartTransaction();
    Exec(server_.get(), kApplyTable);
    server_tr_->Commit();
    server_tr_->StartTransaction();
  }
  ~TApplyBench() {
    if (server_) {
      if (server_tr_->Active()) server_tr_->Commit();
      server_tr_.reset();
      server_->Close();
      server_.reset();
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  TApplyBench(const TApplyBench&) = delete;
  TApplyBench& operator=(const TApplyBench&) = delete;

  // The server's database (nullptr without a server), else the embedded one.
  TFIBDatabase* Database(bool Server) const { return Server ? server_.get() : Bench().Table().Database(); }
  static void Exec(TFIBDatabase* Database, const std::string& SQL) {
    TFIBQuery q(nullptr);
    q.SetDatabase(Database);
    q.SQL()->SetText(SQL);
    q.ExecQuery();
  }

 private:
  std::string folder_;
  std::unique_ptr<TFIBDatabase> server_;
  std::unique_ptr<TFIBTransaction> server_tr_;
};

void BM_ApplyInserts(benchmark::State& state) {
  const bool batch = state.range(0) != 0;
  TFIBDatabase* db = bench::State<TApplyBench>().Database(state.range(1) != 0);
  if (db == nullptr) {
    state.SkipWithError("no server on 127.0.0.1:3050");
    return;
  }
  TFIBTransaction* tr = db->DefaultTransaction();
  int64_t applied = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto ds = std::make_unique<TpFIBDataSet>(nullptr);
    ds->SetDatabase(db);
    ds->SelectSQL()->SetText("select ID, AMOUNT, NAME from APPLY_T");
    ds->SetCachedUpdates(true);
    // A batch reads nothing back: neither does the record-by-record apply.
    ds->SetOptions(ds->Options() - TpFIBDsOptions{poRefreshAfterPost});
    TAutoUpdateOptions* options = ds->AutoUpdateOptions();
    options->SetUpdateTableName("APPLY_T");
    options->SetKeyFields("ID");
    options->SetAutoReWriteSqls(true);
    options->SetUseExecuteBlock(batch);
    ds->Open();
    TField* id = ds->FieldByName("ID");
    TField* amount = ds->FieldByName("AMOUNT");
    TField* name = ds->FieldByName("NAME");
    for (int i = 0; i < kApplyRows; ++i) {
      ds->Append();
      id->SetAsInteger(i);
      amount->SetAsFloat(i * 1.25);
      name->SetAsString("applied row " + std::to_string(i));
      ds->Post();
    }
    state.ResumeTiming();
    ds->ApplyUpdates();
    state.PauseTiming();
    if (ds->UpdatesPending() || db->QueryValue("select count(*) from APPLY_T", 0, tr).AsInteger() != kApplyRows)
      state.SkipWithError("not applied");
    applied += kApplyRows;
    ds.reset();
    TApplyBench::Exec(db, "delete from APPLY_T");
    tr->Commit();
    tr->StartTransaction();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(applied);
  state.SetLabel(std::string(batch ? "UseExecuteBlock" : "per record") + (state.range(1) != 0 ? ", server" : ""));
}

BENCHMARK(BM_ApplyInserts)
    ->ArgNames({"Batch", "Server"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::FreeState<TInsertBench>();
  bench::FreeState<TApplyBench>();
  bench::FreeState<TScrollBench>();
  bench::FreeState<TSortBench>();
  bench::FreeState<TDataSetBench>();
  return 0;
}
