// Painting a 30 x 50-cell window of the base grid (64 x 24 cells, 1-pixel
// lines, a short text in every cell) into an offscreen pixmap, beside a
// QTableView of the same cells, texts and size painted the same way. Each
// benchmark runs 1000 paints; the time is per paint.
#include <benchmark/benchmark.h>

#include <QPixmap>
#include <QStandardItemModel>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/GridPaintBench.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr int kCols = 30, kRows = 50, kWidth = 64, kHeight = 24, kLine = 1;
constexpr int kClientW = kCols * (kWidth + kLine), kClientH = kRows * (kHeight + kLine);

String CellText(int c, int r) { return "R" + std::to_string(r) + "C" + std::to_string(c); }

void EnsureApplication() { bench::EnsureGuiApplication({&unit_Forms}); }

std::vector<String> Texts() {
  std::vector<String> texts;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) texts.push_back(CellText(c, r));
  return texts;
}

void BM_BaseGridPaint(benchmark::State& state) {
  EnsureApplication();
  std::unique_ptr<TForm> form(Create<TForm>(nullptr));
  form->SetBounds(0, 0, kClientW, kClientH);
  auto* grid = new bench::TTextGrid(form.get(), kCols, kRows, kWidth, kHeight, kLine, Texts());
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
  bench::PaintTableView(state, &model, kWidth, kHeight, kLine, kClientW, kClientH);
}

}  // namespace

BENCHMARK(BM_QTableViewPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaseGridPaint)->Iterations(1000)->Unit(benchmark::kMicrosecond);
