// Grid export and import on the embedded database, beside the client API in
// the same run:
//   ExportCsv      100 000 rows x 10 columns of an opened dataset exported
//                  as CSV from a grid (display texts, quoting);
//   RawFetchCsv    the floor: the same select prepared on the client API
//                  with every column fetched as text and written as the same
//                  quoted CSV;
//   ImportVclDbif  10 000 rows of VCLDBIF appended through a grid into an
//                  empty table (one transaction, committed);
//   RawInsert      a prepared INSERT executed 10 000 times with the same
//                  values on the client API (one transaction, committed).
// Items per second are rows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench/RowsTable.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEhImpExp.h"
#include "platform/gui/Forms.h"

namespace {

constexpr int kExportRows = 100000;
constexpr int kImportRows = 10000;
constexpr int kCols = 10;
constexpr const char* kWideSelect = "select ID, N1, N2, AMOUNT, BIG, NAME, CODE, STAMP, DT, NOTE from WIDE_T";

class TImpExpBench {
 public:
  TImpExpBench() : file_("bench-impexp", unit_pFIBDataSet) {
    InitializeUnits({&unit_Forms, &unit_DBGridEhImpExp, &unit_DBGridEh});
    Application->Initialize();
    TFIBTransaction* tr = file_.Transaction();
    tr->StartTransaction();
    Exec("create table WIDE_T (ID integer, N1 integer, N2 smallint, AMOUNT numeric(15,2), BIG numeric(18,4), "
         "NAME varchar(60), CODE char(8), STAMP timestamp, DT date, NOTE varchar(30))");
    Exec("create table IMP_T (ID integer, N integer, NAME varchar(60))");
    tr->Commit();
    tr->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(kExportRows) +
         ") do begin insert into WIDE_T values (:i, :i * 3, mod(:i, 1000), :i * 1.25, :i * 10.0001, "
         "'row number ' || :i, 'C' || mod(:i, 97), dateadd(:i second to timestamp '2024-01-01 00:00:00'), "
         "dateadd(mod(:i, 3000) day to date '2000-01-01'), iif(mod(:i, 3) = 0, null, 'note ' || :i)); "
         "i = i + 1; end end");
    tr->Commit();
    tr->StartTransaction();
    form_.reset(TForm::CreateNew(nullptr));
    wide_ = NewGrid(kWideSelect, "");
    imp_ = NewGrid("select ID, N, NAME from IMP_T", "insert into IMP_T values (?ID, ?N, ?NAME)");
    imp_->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh});
    // The VCLDBIF to import: the first rows' ID, N1 and NAME.
    TpFIBDataSet* src = static_cast<TpFIBDataSet*>(NewGrid(
        "select first " + std::to_string(kImportRows) + " ID, N1, NAME from WIDE_T order by ID", "")
                                                       ->DataSource()
                                                       ->DataSet());
    src->Open();
    TCustomDBGridEh* g = static_cast<TCustomDBGridEh*>(form_->Components(form_->ComponentCount() - 1));
    DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsVCLDBIF>, g, &vcldbif_, true);
    src->Close();
  }

  TFIBDatabase* Database() const { return file_.Database(); }
  TFIBTransaction* Transaction() const { return file_.Transaction(); }
  TCustomDBGridEh* Wide() const { return wide_; }
  TCustomDBGridEh* Imp() const { return imp_; }
  TMemoryStream& Data() { return vcldbif_; }
  void Exec(const std::string& SQL) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(file_.Database());
    q->SQL()->SetText(SQL);
    q->ExecQuery();
  }
  void EmptyImport() {
    imp_->DataSource()->DataSet()->Close();
    Exec("delete from IMP_T");
    if (Transaction()->Active()) Transaction()->Commit();
    Transaction()->StartTransaction();
    // A read of the emptied table collects the deleted rows' garbage, so
    // that neither insert loop meets it.
    ImportedRows();
  }
  int ImportedRows() {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(file_.Database());
    q->SQL()->SetText("select count(*) from IMP_T");
    q->ExecQuery();
    return q->Fields(0)->AsInteger();
  }

 private:
  TCustomDBGridEh* NewGrid(const std::string& Select, const std::string& Insert) {
    auto* ds = new TpFIBDataSet(form_.get());
    ds->SetDatabase(file_.Database());
    ds->SelectSQL()->SetText(Select);
    if (!Insert.empty()) ds->InsertSQL()->SetText(Insert);
    auto* src = new TDataSource(form_.get());
    src->SetDataSet(ds);
    auto* grid = new TCustomDBGridEh(form_.get());
    grid->SetParent(form_.get());
    grid->SetDataSource(src);
    return grid;
  }

  bench::TBenchDatabase file_;
  std::unique_ptr<TForm> form_;
  TCustomDBGridEh* wide_ = nullptr;
  TCustomDBGridEh* imp_ = nullptr;
  TMemoryStream vcldbif_;
};

TImpExpBench& Bench() { return bench::State<TImpExpBench>(); }

void BM_ExportCsv(benchmark::State& state) {
  TImpExpBench& b = Bench();
  TDataSet* ds = b.Wide()->DataSource()->DataSet();
  ds->Open();
  ds->Last();  // fetched once: the export's own work is measured
  size_t size = 0;
  for (auto _ : state) {
    TMemoryStream s;
    DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsCSV>, b.Wide(), &s, true);
    size = static_cast<size_t>(s.Size());
  }
  state.counters["bytes"] = static_cast<double>(size);
  ds->Close();
  state.SetItemsProcessed(state.iterations() * kExportRows);
}

void BM_RawFetchCsv(benchmark::State& state) {
  TImpExpBench& b = Bench();
  IIBClientLibrary* lib = b.Database()->GetClientLibrary();
  isc_db_handle* db = b.Database()->HandlePtr();
  isc_tr_handle* tr = b.Transaction()->HandlePtr();
  bench::TRawArea out(kCols);
  struct Text {
    ISC_SHORT len;
    char text[80];
  };
  std::vector<Text> cells(kCols);
  std::vector<ISC_SHORT> nulls(kCols);
  size_t size = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    isc_stmt_handle stmt = 0;
    bench::Check(lib->isc_dsql_alloc_statement2(StatusVector(), db, &stmt));
    bench::Check(lib->isc_dsql_prepare(StatusVector(), tr, &stmt, 0, kWideSelect, 3, out.area));
    for (int i = 0; i < kCols; ++i) {
      XSQLVAR& v = out.area->sqlvar[i];
      v.sqltype = SQL_VARYING + 1;
      v.sqllen = sizeof(Text::text);
      v.sqlscale = 0;
      v.sqldata = reinterpret_cast<char*>(&cells[static_cast<size_t>(i)]);
      v.sqlind = &nulls[static_cast<size_t>(i)];
    }
    bench::Check(lib->isc_dsql_execute(StatusVector(), tr, &stmt, 3, nullptr));
    std::string csv;
    rows = 0;
    while (lib->isc_dsql_fetch(StatusVector(), &stmt, 3, out.area) == 0) {
      if (rows++ > 0) csv += "\r\n";
      for (int i = 0; i < kCols; ++i) {
        if (i > 0) csv += ';';
        csv += '"';
        if (nulls[static_cast<size_t>(i)] == 0) {
          const Text& t = cells[static_cast<size_t>(i)];
          for (int k = 0; k < t.len; ++k) {
            if (t.text[k] == '"') csv += '"';
            csv += t.text[k];
          }
        }
        csv += '"';
      }
    }
    bench::Check(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
    size = csv.size();
    benchmark::DoNotOptimize(csv.data());
  }
  if (rows != kExportRows) state.SkipWithError("wrong row count");
  state.counters["bytes"] = static_cast<double>(size);
  state.SetItemsProcessed(state.iterations() * kExportRows);
}

void BM_ImportVclDbif(benchmark::State& state) {
  TImpExpBench& b = Bench();
  TDataSet* ds = b.Imp()->DataSource()->DataSet();
  for (auto _ : state) {
    state.PauseTiming();
    b.EmptyImport();
    ds->Open();
    b.Data().SetPosition(0);
    state.ResumeTiming();
    DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsVCLDBIF>, b.Imp(), &b.Data(), true);
    b.Transaction()->CommitRetaining();
  }
  ds->Close();
  if (b.ImportedRows() != kImportRows) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * kImportRows);
}

void BM_RawInsert(benchmark::State& state) {
  TImpExpBench& b = Bench();
  IIBClientLibrary* lib = b.Database()->GetClientLibrary();
  isc_db_handle* db = b.Database()->HandlePtr();
  isc_tr_handle* tr = b.Transaction()->HandlePtr();
  for (auto _ : state) {
    state.PauseTiming();
    b.EmptyImport();
    state.ResumeTiming();
    bench::TRawArea in(3);
    isc_stmt_handle stmt = 0;
    bench::Check(lib->isc_dsql_alloc_statement2(StatusVector(), db, &stmt));
    bench::Check(lib->isc_dsql_prepare(StatusVector(), tr, &stmt, 0, "insert into IMP_T values (?, ?, ?)", 3,
                                       nullptr));
    bench::Check(lib->isc_dsql_describe_bind(StatusVector(), &stmt, 1, in.area));
    int32_t id = 0, n = 0;
    ISC_SHORT no_null = 0;
    struct {
      ISC_SHORT len;
      char text[60];
    } name{};
    in.area->sqlvar[0].sqltype = SQL_LONG + 1;
    in.area->sqlvar[0].sqldata = reinterpret_cast<char*>(&id);
    in.area->sqlvar[1].sqltype = SQL_LONG + 1;
    in.area->sqlvar[1].sqldata = reinterpret_cast<char*>(&n);
    in.area->sqlvar[2].sqltype = SQL_VARYING + 1;
    in.area->sqlvar[2].sqllen = sizeof name.text;
    in.area->sqlvar[2].sqldata = reinterpret_cast<char*>(&name);
    for (int i = 0; i < 3; ++i) in.area->sqlvar[i].sqlind = &no_null;
    for (int i = 0; i < kImportRows; ++i) {
      id = i;
      n = i * 3;
      const std::string text = "row number " + std::to_string(i);
      name.len = static_cast<ISC_SHORT>(text.size());
      std::memcpy(name.text, text.data(), text.size());
      bench::Check(lib->isc_dsql_execute(StatusVector(), tr, &stmt, 3, in.area));
    }
    bench::Check(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
    b.Transaction()->CommitRetaining();
  }
  if (b.ImportedRows() != kImportRows) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * kImportRows);
}

}  // namespace

BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawFetchCsv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ImportVclDbif)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawInsert)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::FreeState<TImpExpBench>();
  return 0;
}
