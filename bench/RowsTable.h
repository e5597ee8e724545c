// The benchmark table of 100 000 rows (INTEGER, NUMERIC(15,2), VARCHAR(100),
// TIMESTAMP, DOUBLE) in a temporary embedded database, and the raw client
// loop that reads it: the floor the library's readers are measured against.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchDatabase.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"

namespace bench {

inline constexpr int kRows = 100000;
inline constexpr const char* kRowsSelect = "select ID, AMOUNT, NAME, STAMP, RATIO from ROWS_T";

// A database with ROWS_T filled; the transaction is left started.
class TRowsTable {
 public:
  TRowsTable(const char* FolderPrefix, const TUnit& Unit) : file_(FolderPrefix, Unit) {
    TFIBTransaction* tr = file_.Transaction();
    tr->StartTransaction();
    Exec("create table ROWS_T (ID integer, AMOUNT numeric(15,2), NAME varchar(100), STAMP timestamp, "
         "RATIO double precision)");
    tr->Commit();
    tr->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
         ") do begin insert into ROWS_T values (:i, :i * 1.25, 'row number ' || :i || ' of the benchmark', "
         "dateadd(:i second to timestamp '2020-01-01 00:00:00'), :i / 3.0); i = i + 1; end end");
    tr->Commit();
    tr->StartTransaction();
  }

  TFIBDatabase* Database() const { return file_.Database(); }
  TFIBTransaction* Transaction() const { return file_.Transaction(); }
  const std::string& Path() const { return file_.Path(); }

  // Makes EDIT_T (ID, AMOUNT numeric(15,2), NAME) with Rows rows, IDs from
  // 0; the transaction is left started.
  void MakeEditTable(int Rows) {
    TFIBTransaction* tr = file_.Transaction();
    Exec("create table EDIT_T (ID integer not null primary key, AMOUNT numeric(15,2), NAME varchar(100))");
    tr->Commit();
    tr->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(Rows) +
         ") do begin insert into EDIT_T values (:i, :i * 1.25, 'edited row ' || :i); i = i + 1; end end");
    tr->Commit();
    tr->StartTransaction();
  }

 private:
  void Exec(const std::string& SQL) { file_.Exec(SQL); }

  TBenchDatabase file_;
};

// One descriptor area for the five columns, with their buffers.
struct TRawArea {
  explicit TRawArea(int N) : memory(XSQLDA_LENGTH(N)) {
    area = reinterpret_cast<XSQLDA*>(memory.data());
    area->version = SQLDA_VERSION1;
    area->sqln = static_cast<ISC_SHORT>(N);
  }
  std::vector<char> memory;
  XSQLDA* area;
  std::vector<std::vector<char>> data;
  std::vector<ISC_SHORT> nulls;
};

// Prepares, executes and fetches kRowsSelect on the client API with one
// area allocated once, each column decoded by hand; the rows read.
inline int64_t RawClientRead(const TRowsTable& Table, TRawArea& Out) {
  IIBClientLibrary* lib = Table.Database()->GetClientLibrary();
  isc_db_handle* db = Table.Database()->HandlePtr();
  isc_tr_handle* tr = Table.Transaction()->HandlePtr();
  isc_stmt_handle stmt = 0;
  Check(lib->isc_dsql_alloc_statement2(StatusVector(), db, &stmt));
  Check(lib->isc_dsql_prepare(StatusVector(), tr, &stmt, 0, kRowsSelect, 3, Out.area));
  if (Out.data.empty()) {
    Out.data.resize(5);
    Out.nulls.resize(5);
    for (int i = 0; i < 5; ++i)
      Out.data[static_cast<size_t>(i)].resize(static_cast<size_t>(Out.area->sqlvar[i].sqllen) + 2);
  }
  for (int i = 0; i < 5; ++i) {
    XSQLVAR& v = Out.area->sqlvar[i];
    v.sqldata = Out.data[static_cast<size_t>(i)].data();
    v.sqlind = &Out.nulls[static_cast<size_t>(i)];
  }
  Check(lib->isc_dsql_execute(StatusVector(), tr, &stmt, 3, nullptr));
  int64_t rows = 0;
  while (lib->isc_dsql_fetch(StatusVector(), &stmt, 3, Out.area) == 0) {
    const XSQLVAR* v = Out.area->sqlvar;
    int32_t id;
    std::memcpy(&id, v[0].sqldata, 4);
    benchmark::DoNotOptimize(id);
    int64_t amount;
    std::memcpy(&amount, v[1].sqldata, 8);
    benchmark::DoNotOptimize(amount * 100);  // scale -2 to ten-thousandths
    uint16_t length;
    std::memcpy(&length, v[2].sqldata, 2);
    std::string text(v[2].sqldata + 2, length);
    benchmark::DoNotOptimize(text.data());
    ISC_TIMESTAMP ts;
    std::memcpy(&ts, v[3].sqldata, sizeof ts);
    benchmark::DoNotOptimize(static_cast<double>(ts.timestamp_date) - 15018.0 +
                             static_cast<double>(ts.timestamp_time) / 864000000.0);
    double ratio;
    std::memcpy(&ratio, v[4].sqldata, 8);
    benchmark::DoNotOptimize(ratio);
    ++rows;
  }
  Check(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
  return rows;
}

// The state of one benchmark program, made on first use; main frees it
// (FreeState) before the libraries' own globals go.
template <class T>
std::unique_ptr<T>& StateHolder() {
  static std::unique_ptr<T> state;
  return state;
}
template <class T>
T& State() {
  std::unique_ptr<T>& state = StateHolder<T>();
  if (!state) state = std::make_unique<T>();
  return *state;
}
template <class T>
void FreeState() {
  StateHolder<T>().reset();
}

// Items processed are rows; a wrong count fails the benchmark.
inline void FinishRows(benchmark::State& State, int64_t Rows) {
  if (Rows != kRows) State.SkipWithError("wrong row count");
  State.SetItemsProcessed(State.iterations() * kRows);
}

// The raw client loop as a benchmark body.
inline void RunRawClient(benchmark::State& State, const TRowsTable& Table) {
  TRawArea out(5);
  int64_t rows = 0;
  for (auto _ : State) rows = RawClientRead(Table, out);
  FinishRows(State, rows);
}

}  // namespace bench
