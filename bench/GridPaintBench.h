// What the grid paint benchmarks share: the application, a table view laid
// out as a grid of equal cells, and the platform's base grid drawing given
// texts.
#pragma once

#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPixmap>
#include <QTableView>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/rtl/UnitInit.h"

namespace bench {

// The application object and the units (offscreen unless a platform is set).
inline void EnsureGuiApplication(std::initializer_list<const TUnit*> Units) {
  static bool done = false;
  if (done) return;
  done = true;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  InitializeUnits(Units);
  Application->Initialize();
}

// Cells of Width x Height plus a Line, no headers, frame or scroll bars.
inline void LayOutTableView(QTableView& View, int Width, int Height, int Line, int ClientW, int ClientH) {
  View.horizontalHeader()->hide();
  View.verticalHeader()->hide();
  View.horizontalHeader()->setMinimumSectionSize(1);
  View.verticalHeader()->setMinimumSectionSize(1);
  View.horizontalHeader()->setDefaultSectionSize(Width + Line);
  View.verticalHeader()->setDefaultSectionSize(Height + Line);
  View.setFrameShape(QFrame::NoFrame);
  View.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  View.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  View.resize(ClientW, ClientH);
  View.ensurePolished();
}

// Paints a table view over Model, laid out as above, into a pixmap once per
// iteration.
inline void PaintTableView(benchmark::State& State, QAbstractItemModel* Model, int Width, int Height, int Line,
                           int ClientW, int ClientH) {
  QTableView view;
  view.setModel(Model);
  LayOutTableView(view, Width, Height, Line, ClientW, ClientH);
  QPixmap target(ClientW, ClientH);
  for (auto _ : State) view.render(&target);
  State.counters["cells"] = (ClientW / (Width + Line)) * (ClientH / (Height + Line));
}

// The base grid with Cols x Rows cells, no fixed ones, drawing Texts (row
// by row) 2 pixels inside each cell.
class TTextGrid : public TCustomGrid {
 public:
  TTextGrid(TComponent* AOwner, int Cols, int Rows, int Width, int Height, int Line, std::vector<String> Texts)
      : TCustomGrid(AOwner), cols_(Cols), texts_(std::move(Texts)) {
    SetFixedCols(0);
    SetFixedRows(0);
    SetColCount(Cols);
    SetRowCount(Rows);
    SetDefaultColWidth(Width);
    SetDefaultRowHeight(Height);
    SetGridLineWidth(Line);
  }

 protected:
  void DrawCell(int c, int r, const TRect& rect, TGridDrawState) override {
    Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, texts_[static_cast<size_t>(r * cols_ + c)]);
  }

 private:
  int cols_;
  std::vector<String> texts_;
};

}  // namespace bench
