// Painting a 30 x 50-cell window of the base grid (64 x 24 cells, 1-pixel
// lines, a short text in every cell) into an offscreen pixmap, beside a
// QTableView of the same cells, texts and size painted the same way. Each
// benchmark runs 1000 paints; the time is per paint.
#include <benchmark/benchmark.h>

#include <QHeaderView>
#include <QPixmap>
#include <QStandardItemModel>
#include <QTableView>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr int kCols = 30, kRows = 50, kWidth = 64, kHeight = 24, kLine = 1;
constexpr int kClientW = kCols * (kWidth + kLine), kClientH = kRows * (kHeight + kLine);

String CellText(int c, int r) { return "R" + std::to_string(r) + "C" + std::to_string(c); }

void EnsureApplication() {
  static bool done = false;
  if (done) return;
  done = true;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  InitializeUnits({&unit_Forms});
  Application->Initialize();
}

class TTextGrid : public TCustomGrid {
 public:
  explicit TTextGrid(TComponent* AOwner) : TCustomGrid(AOwner) {
    SetFixedCols(0);
    SetFixedRows(0);
    SetColCount(kCols);
    SetRowCount(kRows);
    SetDefaultColWidth(kWidth);
    SetDefaultRowHeight(kHeight);
    SetGridLineWidth(kLine);
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) texts_.push_back(CellText(c, r));
  }

 protected:
  void DrawCell(int c, int r, const TRect& rect, TGridDrawState) override {
    Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, texts_[static_cast<size_t>(r * kCols + c)]);
  }

 private:
  std::vector<String> texts_;
};

void BM_BaseGridPaint(benchmark::State& state) {
  EnsureApplication();
  std::unique_ptr<TForm> form(Create<TForm>(nullptr));
  form->SetBounds(0, 0, kClientW, kClientH);
  auto* grid = new TTextGrid(form.get());
  grid->SetParent(form.get());
  grid->SetBounds(0, 0, kClientW, kClientH);
  grid->HandleNeeded();
  if (grid->VisibleColCount() != kCols || grid->VisibleRowCount() != kRows) {
    state.SkipWithError("the grid does not show 30 x 50 cells");
    return;
  }
  QPixmap target(kClientW, kClientH);
  for (auto _ : state) grid->Widget()->render(&target);
  state.counters["cells"] = kCols * kRows;
}

void BM_QTableViewPaint(benchmark::State& state) {
  EnsureApplication();
  QStandardItemModel model(kRows, kCols);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c)
      model.setItem(r, c, new QStandardItem(QString::fromStdString(CellText(c, r))));
  QTableView view;
  view.setModel(&model);
  view.horizontalHeader()->hide();
  view.verticalHeader()->hide();
  view.horizontalHeader()->setMinimumSectionSize(1);
  view.verticalHeader()->setMinimumSectionSize(1);
  view.horizontalHeader()->setDefaultSectionSize(kWidth + kLine);
  view.verticalHeader()->setDefaultSectionSize(kHeight + kLine);
  view.setFrameShape(QFrame::NoFrame);
  view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.resize(kClientW, kClientH);
  view.ensurePolished();
  QPixmap target(kClientW, kClientH);
  for (auto _ : state) view.render(&target);
  state.counters["cells"] = kCols * kRows;
}

}  // namespace

BENCHMARK(BM_QTableViewPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaseGridPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
