// 1000 edits of a VARCHAR column of an embedded Firebird table: typed into
// the data grid's in-place editor (eight characters into the selected text,
// then the move to the next record posts it), beside the same 1000 values
// written with FieldByName(...)->SetAsString and Post on the same dataset.
// The time is per run of 1000 edits; the server's rows are checked after.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench/BenchDatabase.h"
#include "bench/RowsTable.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Locale.h"

namespace {

constexpr int kEdits = 1000;

class TEditBench {
 public:
  TEditBench() {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList, &unit_ComCtrls});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    TFIBTransaction* tr = file_.Transaction();
    tr->StartTransaction();
    Exec("create table GEDIT_T (ID integer not null primary key, NAME varchar(20))");
    tr->Commit();
    tr->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < " + std::to_string(kEdits) +
         ") do begin insert into GEDIT_T values (:i, 'row ' || :i); i = i + 1; end end");
    tr->Commit();
    form_.reset(TForm::CreateNew(nullptr));
    form_->SetBounds(0, 0, 500, 300);
    ds_ = new TpFIBDataSet(form_.get());
    ds_->SetDatabase(file_.Database());
    ds_->SelectSQL()->SetText("select ID, NAME from GEDIT_T order by ID");
    ds_->UpdateSQL()->SetText("update GEDIT_T set NAME = ?NAME where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
    auto* src = new TDataSource(form_.get());
    src->SetDataSet(ds_);
    grid_ = new TCustomDBGridEh(form_.get());
    grid_->SetBounds(0, 0, 480, 280);
    grid_->SetParent(form_.get());
    grid_->SetOptions(grid_->Options() + TDBGridOptions{dgAlwaysShowEditor});
    grid_->SetDataSource(src);
    grid_->HandleNeeded();
    ds_->Open();
  }
  ~TEditBench() {
    form_.reset();
    if (file_.Transaction()->Active()) file_.Transaction()->Commit();
  }

  TpFIBDataSet* DataSet() const { return ds_; }
  TCustomDBGridEh* Grid() const { return grid_; }
  // Rows whose NAME on the server ends in Suffix.
  int ServerCount(const String& Suffix) {
    // A transaction of its own: the dataset's stays open.
    auto tr = std::make_unique<TFIBTransaction>(nullptr);
    tr->SetDefaultDatabase(file_.Database());
    tr->StartTransaction();
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(file_.Database());
    q->SetTransaction(tr.get());
    q->SQL()->SetText("select count(*) from GEDIT_T where NAME like '%" + Suffix + "'");
    q->ExecQuery();
    const int n = q->Fields(0)->AsInteger();
    q->Close();
    tr->Commit();
    return n;
  }

 private:
  void Exec(const std::string& SQL) {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(file_.Database());
    q->SQL()->SetText(SQL);
    q->ExecQuery();
  }

  bench::TBenchDatabase file_{"bench-gridedit", unit_FIBDataSet};
  std::unique_ptr<TForm> form_;
  TpFIBDataSet* ds_ = nullptr;
  TCustomDBGridEh* grid_ = nullptr;
};

TEditBench& Bench() { return bench::State<TEditBench>(); }

void BM_TypedInPlaceAndPosted(benchmark::State& state) {
  TEditBench& b = Bench();
  TpFIBDataSet* ds = b.DataSet();
  TCustomDBGridEh* g = b.Grid();
  g->SetSelectedField(ds->FieldByName("NAME"));
  int run = 0;
  String suffix;
  for (auto _ : state) {
    suffix = "t" + std::to_string(run++ % 10);
    ds->First();
    g->ShowEditor();
    TDBGridInplaceEdit* e = g->DBInplaceEditor();
    for (int i = 0; i < kEdits; ++i) {
      e->SelectAll();
      for (char16_t ch : Utf8ToWide("ячейка" + suffix)) e->Perform(WM_CHAR, ch, 0);
      if (i + 1 < kEdits) ds->Next();
      else ds->Post();
    }
  }
  if (b.ServerCount(suffix) != kEdits) state.SkipWithError("the typed values did not all reach the server");
  state.SetItemsProcessed(state.iterations() * kEdits);
}

void BM_FieldAssignAndPost(benchmark::State& state) {
  TEditBench& b = Bench();
  TpFIBDataSet* ds = b.DataSet();
  int run = 0;
  String suffix;
  for (auto _ : state) {
    suffix = "f" + std::to_string(run++ % 10);
    ds->First();
    for (int i = 0; i < kEdits; ++i) {
      ds->Edit();
      ds->FieldByName("NAME")->SetAsString("ячейка" + suffix);
      ds->Post();
      ds->Next();
    }
  }
  if (b.ServerCount(suffix) != kEdits) state.SkipWithError("the assigned values did not all reach the server");
  state.SetItemsProcessed(state.iterations() * kEdits);
  bench::FreeState<TEditBench>();
}

BENCHMARK(BM_TypedInPlaceAndPosted)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FieldAssignAndPost)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
