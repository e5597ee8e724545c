// Painting a window of 30 rows x 12 columns of the data grid over an open
// TpFIBDataSet into an offscreen pixmap, beside a QTableView over a
// QSqlQueryModel showing the same rows and columns of the same table in the
// same size (Qt's Firebird driver on the same file), and beside the base
// grid of the platform drawing the same texts. Each benchmark runs 1000
// paints; the time is per paint.
#include <benchmark/benchmark.h>

#include <QPixmap>
#include <QSqlQuery>
#include <QSqlQueryModel>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDatabase.h"
#include "bench/GridPaintBench.h"
#include "bench/QtSqlBaseline.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/Forms.h"

namespace {

constexpr int kCols = 12, kRows = 30, kWidth = 70, kHeight = 18, kLine = 1;
constexpr int kClientW = kCols * (kWidth + kLine), kClientH = kRows * (kHeight + kLine);
constexpr const char* kSelect =
    "select ID, QTY, PRICE, TOTAL, SOLD, NAME, CODE, CITY, RATE, STAMP, NOTE, FLAG from GRID_T order by ID";

void EnsureApplication() { bench::EnsureGuiApplication({&unit_Forms, &unit_DBGridEh}); }

// The table of the benchmark: 200 rows of twelve columns of mixed types.
class TGridTable {
 public:
  TGridTable() : file_("datagridbench", unit_pFIBDataSet) {
    TFIBTransaction* tr = file_.Transaction();
    tr->StartTransaction();
    Exec("create table GRID_T (ID integer not null primary key, QTY integer, PRICE numeric(15,2), "
         "TOTAL numeric(18,4), SOLD date, NAME varchar(40), CODE char(6), CITY varchar(30), RATE double precision, "
         "STAMP timestamp, NOTE varchar(60), FLAG smallint)");
    tr->Commit();
    tr->StartTransaction();
    Exec("execute block as declare i integer = 0; begin while (i < 200) do begin insert into GRID_T values "
         "(:i, mod(:i * 37, 500), :i * 1.25, :i * 3.1416, dateadd(:i day to date '2024-01-01'), "
         "'Товар номер ' || :i, 'К' || mod(:i, 100), 'Город ' || mod(:i, 17), :i / 7.0, "
         "dateadd(:i minute to timestamp '2024-01-01 08:00:00'), iif(mod(:i, 3) = 0, null, 'примечание ' || :i), "
         "mod(:i, 2)); i = i + 1; end end");
    tr->Commit();
    tr->StartTransaction();
  }
  TFIBDatabase* Database() const { return file_.Database(); }
  const std::string& Path() const { return file_.Path(); }

 private:
  void Exec(const std::string& SQL) { file_.Exec(SQL); }
  bench::TBenchDatabase file_;
};

TGridTable& Table() {
  EnsureApplication();
  static TGridTable table;
  return table;
}

void BM_DataGridPaint(benchmark::State& state) {
  TGridTable& table = Table();
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  auto* ds = new TpFIBDataSet(form.get());
  ds->SetDatabase(table.Database());
  ds->SelectSQL()->SetText(kSelect);
  auto* src = new TDataSource(form.get());
  src->SetDataSet(ds);
  auto* grid = new TCustomDBGridEh(form.get());
  grid->SetParent(form.get());
  // No indicator, no titles: the window holds exactly 30 x 12 data cells.
  grid->SetOptions(grid->Options() - TDBGridOptions{dgIndicator, dgTitles});
  grid->VertScrollBar()->SetVisible(false);
  grid->HorzScrollBar()->SetVisible(false);
  grid->SetBorderStyle(bsNone);
  grid->SetDataSource(src);
  ds->Open();
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(kWidth);
  grid->SetRowHeight(kHeight);
  grid->SetBounds(0, 0, kClientW, kClientH);
  grid->HandleNeeded();
  grid->SetDefaultRowHeight(kHeight);
  grid->SetBounds(0, 0, kClientW, kClientH);
  if (grid->Columns()->Count() != kCols || grid->VisibleRowCount() < kRows) {
    state.SkipWithError("the data grid does not show 30 x 12 cells");
    return;
  }
  QPixmap target(kClientW, kClientH);
  for (auto _ : state) grid->Widget()->render(&target);
  state.counters["cells"] = grid->VisibleRowCount() * kCols;
  ds->Close();
}

void BM_QTableViewSqlPaint(benchmark::State& state) {
  TGridTable& table = Table();
  bench::TQtConnection qt(table.Path());
  QSqlQueryModel model;
  model.setQuery(QSqlQuery(kSelect, qt.Database()));
  while (model.canFetchMore()) model.fetchMore();
  if (model.columnCount() != kCols || model.rowCount() < kRows) {
    state.SkipWithError("the query model does not hold the table");
    return;
  }
  bench::PaintTableView(state, &model, kWidth, kHeight, kLine, kClientW, kClientH);
}

void BM_BaseGridPaint(benchmark::State& state) {
  TGridTable& table = Table();
  std::vector<String> texts;
  {
    TpFIBDataSet ds(nullptr);
    ds.SetDatabase(table.Database());
    ds.SelectSQL()->SetText(kSelect);
    ds.Open();
    for (int r = 0; r < kRows && !ds.Eof(); ++r, ds.Next())
      for (int c = 0; c < kCols; ++c) texts.push_back(ds.Fields()->Fields(c)->DisplayText());
    ds.Close();
  }
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  auto* grid = new bench::TTextGrid(form.get(), kCols, kRows, kWidth, kHeight, kLine, std::move(texts));
  grid->SetParent(form.get());
  grid->SetScrollBars(ssNone);
  grid->SetBounds(0, 0, kClientW, kClientH);
  grid->HandleNeeded();
  QPixmap target(kClientW, kClientH);
  for (auto _ : state) grid->Widget()->render(&target);
  state.counters["cells"] = kCols * kRows;
}

}  // namespace

BENCHMARK(BM_QTableViewSqlPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaseGridPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataGridPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
