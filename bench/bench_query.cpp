// Reading 100 000 rows (INTEGER, NUMERIC(15,2), VARCHAR(100), TIMESTAMP,
// DOUBLE) from one embedded database, three ways in the same run:
//   TFIBQuery   prepare, execute and fetch every row, each column read
//               through its typed getter;
//   RawClient   the same loop written on the client API with one XSQLDA
//               allocated once, the columns decoded by hand (the floor);
//   QtSql       Qt's Firebird driver with a forward-only query, each column
//               read from its QVariant.
// Each iteration reads all rows; items per second are rows per second.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/BenchDatabase.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"

namespace {

constexpr int kRows = 100000;
constexpr const char* kSelect = "select ID, AMOUNT, NAME, STAMP, RATIO from ROWS_T";

class TQueryBench {
 public:
  TQueryBench() {
    tr_->StartTransaction();
    Exec("create table ROWS_T (ID integer, AMOUNT numeric(15,2), NAME varchar(100), STAMP timestamp, "
         "RATIO double precision)");
    tr_->Commit();
    tr_->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
         ") do begin insert into ROWS_T values (:i, :i * 1.25, 'row number ' || :i || ' of the benchmark', "
         "dateadd(:i second to timestamp '2020-01-01 00:00:00'), :i / 3.0); i = i + 1; end end");
    tr_->Commit();
    tr_->StartTransaction();
  }
  ~TQueryBench() {
    if (qt_open_) {
      QSqlDatabase::database("bench", false).close();
      QSqlDatabase::removeDatabase("bench");
    }
  }

  TFIBDatabase* Database() { return db_; }
  TFIBTransaction* Transaction() { return tr_; }
  const std::string& Path() const { return file_.Path(); }

  QSqlDatabase QtDatabase() {
    if (!qt_open_) {
      static int argc = 1;
      static char name[] = "bench_query";
      static char* argv[] = {name, nullptr};
      if (QCoreApplication::instance() == nullptr) app_ = std::make_unique<QCoreApplication>(argc, argv);
      QSqlDatabase qdb = QSqlDatabase::addDatabase("QIBASE", "bench");
      qdb.setDatabaseName(QString::fromStdString(file_.Path()));
      qdb.setUserName("SYSDBA");
      qdb.setPassword("masterkey");
      qdb.setConnectOptions("ISC_DPB_LC_CTYPE=UTF8");
      if (!qdb.open()) throw std::runtime_error("Qt driver: cannot open the database");
      qt_open_ = true;
    }
    return QSqlDatabase::database("bench", false);
  }

 private:
  void Exec(const std::string& SQL) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(db_);
    q->SQL()->SetText(SQL);
    q->ExecQuery();
  }

  bench::TBenchDatabase file_{"querybench", unit_FIBQuery};
  TFIBDatabase* db_ = file_.Database();
  TFIBTransaction* tr_ = file_.Transaction();
  std::unique_ptr<QCoreApplication> app_;
  bool qt_open_ = false;
};

// Created on first use and freed in main, before Qt's own globals go.
std::unique_ptr<TQueryBench> gBench;

TQueryBench& Bench() {
  if (!gBench) gBench = std::make_unique<TQueryBench>();
  return *gBench;
}

void Finish(benchmark::State& State, int64_t Rows) {
  if (Rows != kRows) State.SkipWithError("wrong row count");
  State.SetItemsProcessed(State.iterations() * kRows);
}

void BM_TFIBQuery(benchmark::State& state) {
  TQueryBench& bench = Bench();
  int64_t rows = 0;
  for (auto _ : state) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(bench.Database());
    q->SQL()->SetText(kSelect);
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
  Finish(state, rows);
}

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

void BM_RawClient(benchmark::State& state) {
  TQueryBench& bench = Bench();
  IIBClientLibrary* lib = bench.Database()->GetClientLibrary();
  isc_db_handle* db = bench.Database()->HandlePtr();
  isc_tr_handle* tr = bench.Transaction()->HandlePtr();
  TRawArea out(5);
  int64_t rows = 0;
  for (auto _ : state) {
    isc_stmt_handle stmt = 0;
    bench::Check(lib->isc_dsql_alloc_statement2(StatusVector(), db, &stmt));
    bench::Check(lib->isc_dsql_prepare(StatusVector(), tr, &stmt, 0, kSelect, 3, out.area));
    if (out.data.empty()) {
      out.data.resize(5);
      out.nulls.resize(5);
      for (int i = 0; i < 5; ++i) {
        XSQLVAR& v = out.area->sqlvar[i];
        out.data[static_cast<size_t>(i)].resize(static_cast<size_t>(v.sqllen) + 2);
      }
    }
    for (int i = 0; i < 5; ++i) {
      XSQLVAR& v = out.area->sqlvar[i];
      v.sqldata = out.data[static_cast<size_t>(i)].data();
      v.sqlind = &out.nulls[static_cast<size_t>(i)];
    }
    bench::Check(lib->isc_dsql_execute(StatusVector(), tr, &stmt, 3, nullptr));
    rows = 0;
    while (lib->isc_dsql_fetch(StatusVector(), &stmt, 3, out.area) == 0) {
      const XSQLVAR* v = out.area->sqlvar;
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
    bench::Check(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
  }
  Finish(state, rows);
}

void BM_QtSql(benchmark::State& state) {
  TQueryBench& bench = Bench();
  QSqlDatabase qdb = bench.QtDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    QSqlQuery q(qdb);
    q.setForwardOnly(true);
    if (!q.exec(kSelect)) {
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
  Finish(state, rows);
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
  gBench.reset();
  return 0;
}
