// Latency of a one-row select by key on an embedded database, in one run:
//   FreshPrepare   a new TFIBQuery each time: prepare, execute, read, free;
//   Cache          GetQueryForUse/FreeQueryForUse: prepared once, executed;
//   QueryValues    the database's helper, on the same cache;
//   RawPrepared    the client API with the statement prepared once (the floor
//                  of the cached statement);
//   RawPrepareEach the client API preparing and dropping it each time (the
//                  floor of the fresh prepare).
// Every iteration asks for another key and reads the NAME of its row.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDatabase.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/pFIBCacheQueries.h"

namespace {

constexpr int kRows = 1000;
constexpr const char* kSelect = "select NAME from ROWS_T where ID = :ID";
constexpr const char* kRawSelect = "select NAME from ROWS_T where ID = ?";

using bench::Check;

// ROWS_T (ID primary key, NAME) of kRows rows, and the database's
// transaction kept open for the reads.
class TCacheBench {
 public:
  TCacheBench() {
    Run("create table ROWS_T (ID integer not null primary key, NAME varchar(40))");
    Run("execute block as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
        ") do begin insert into ROWS_T values (:i, 'row ' || :i); i = i + 1; end end");
    Transaction()->StartTransaction();
  }

  TFIBDatabase* Database() { return file_.Database(); }
  TFIBTransaction* Transaction() { return file_.Transaction(); }

 private:
  void Run(const std::string& SQL) {
    Transaction()->StartTransaction();
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(Database());
    q->SQL()->SetText(SQL);
    q->ExecQuery();
    Transaction()->Commit();
  }

  bench::TBenchDatabase file_{"cachebench", unit_FIBQuery};
};

TCacheBench& Bench() {
  static TCacheBench bench;
  return bench;
}

void ReadRow(TFIBQuery* Query, int Id) {
  Query->Params()->Vars(0)->SetAsInteger(Id);
  Query->ExecQuery();
  String name = Query->Fields(0)->AsString();
  benchmark::DoNotOptimize(name.data());
  Query->Close();
}

void BM_FreshPrepare(benchmark::State& state) {
  TCacheBench& bench = Bench();
  int id = 0;
  for (auto _ : state) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(bench.Database());
    q->SetTransaction(bench.Transaction());
    q->SQL()->SetText(kSelect);
    ReadRow(q.get(), id++ % kRows);
  }
}

void BM_Cache(benchmark::State& state) {
  TCacheBench& bench = Bench();
  int id = 0;
  for (auto _ : state) {
    TFIBQuery* q = GetQueryForUse(bench.Transaction(), kSelect);
    ReadRow(q, id++ % kRows);
    FreeQueryForUse(q);
  }
}

void BM_QueryValues(benchmark::State& state) {
  TCacheBench& bench = Bench();
  int id = 0;
  for (auto _ : state) {
    const Variant key[] = {Variant(id++ % kRows)};
    Variant name = bench.Database()->QueryValues(kSelect, 0, key, bench.Transaction());
    benchmark::DoNotOptimize(name);
  }
}

// One input and one output variable with their buffers.
class TRawStatement {
 public:
  TRawStatement() : in_(XSQLDA_LENGTH(1)), out_(XSQLDA_LENGTH(1)) {
    TCacheBench& bench = Bench();
    lib_ = bench.Database()->GetClientLibrary();
    db_ = bench.Database()->HandlePtr();
    tr_ = bench.Transaction()->HandlePtr();
    for (XSQLDA* area : {In(), Out()}) {
      area->version = SQLDA_VERSION1;
      area->sqln = area->sqld = 1;
    }
    XSQLVAR& key = In()->sqlvar[0];
    key.sqltype = SQL_LONG;
    key.sqllen = sizeof key_;
    key.sqldata = reinterpret_cast<ISC_SCHAR*>(&key_);
    XSQLVAR& name = Out()->sqlvar[0];
    name.sqltype = SQL_VARYING + 1;
    name.sqllen = static_cast<ISC_SHORT>(sizeof name_ - 2);
    name.sqldata = name_;
    name.sqlind = &null_;
  }
  ~TRawStatement() {
    if (stmt_ != 0) lib_->isc_dsql_free_statement(StatusVector(), &stmt_, DSQL_drop);
  }

  void Prepare() {
    Check(lib_->isc_dsql_alloc_statement2(StatusVector(), db_, &stmt_));
    Check(lib_->isc_dsql_prepare(StatusVector(), tr_, &stmt_, 0, kRawSelect, 3, nullptr));
  }
  void Drop() { Check(lib_->isc_dsql_free_statement(StatusVector(), &stmt_, DSQL_drop)); }
  void ReadRow(int Id) {
    key_ = Id;
    Check(lib_->isc_dsql_execute(StatusVector(), tr_, &stmt_, 3, In()));
    Check(lib_->isc_dsql_fetch(StatusVector(), &stmt_, 3, Out()));
    uint16_t length;
    std::memcpy(&length, name_, 2);
    std::string name(name_ + 2, length);
    benchmark::DoNotOptimize(name.data());
    Check(lib_->isc_dsql_free_statement(StatusVector(), &stmt_, DSQL_close));
  }

 private:
  XSQLDA* In() { return reinterpret_cast<XSQLDA*>(in_.data()); }
  XSQLDA* Out() { return reinterpret_cast<XSQLDA*>(out_.data()); }

  IIBClientLibrary* lib_;
  isc_db_handle* db_;
  isc_tr_handle* tr_;
  isc_stmt_handle stmt_ = 0;
  std::vector<char> in_, out_;
  ISC_LONG key_ = 0;
  char name_[4 * 40 + 2] = {};
  ISC_SHORT null_ = 0;
};

void BM_RawPrepared(benchmark::State& state) {
  TRawStatement raw;
  raw.Prepare();
  int id = 0;
  for (auto _ : state) raw.ReadRow(id++ % kRows);
}

void BM_RawPrepareEach(benchmark::State& state) {
  TRawStatement raw;
  int id = 0;
  for (auto _ : state) {
    raw.Prepare();
    raw.ReadRow(id++ % kRows);
    raw.Drop();
  }
}

}  // namespace

BENCHMARK(BM_FreshPrepare)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Cache)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_QueryValues)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RawPrepared)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RawPrepareEach)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
