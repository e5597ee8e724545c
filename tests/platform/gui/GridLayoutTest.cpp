// The grid's layout arithmetic, without a window: cell rectangles, hit
// tests, sizing zones, visible counts, scrolling limits and key navigation.
#include <gtest/gtest.h>

#include "platform/gui/Grids.h"

namespace {

// 5 x 5 cells, one fixed column and row, 64 x 24 cells, 1-pixel lines, in a
// 200 x 100 client area: columns start at 0, 65, 130, 195 (cut at 200);
// rows at 0, 25, 50, 75 (row 4 below the client).
TGridLayout Layout() {
  TGridLayout g;
  g.Cols.SetCount(5);
  g.Rows.SetCount(5);
  g.Cols.SetDefaultExtent(64);
  g.Rows.SetDefaultExtent(24);
  g.ClientWidth = 200;
  g.ClientHeight = 100;
  return g;
}

TRect R(int l, int t, int r, int b) { return Rect(l, t, r, b); }

TEST(GridLayout, CellAndBoxRectanglesFollowFixedCellsLinesAndScrolling) {
  struct Case {
    const char* what;
    std::function<void(TGridLayout&)> setup;
    int l, t, r, b;
    TRect expected;
  };
  const TRect empty;
  const Case cases[] = {
      {"fixed corner", nullptr, 0, 0, 0, 0, R(0, 0, 64, 24)},
      {"first scrollable cell", nullptr, 1, 1, 1, 1, R(65, 25, 129, 49)},
      {"cut by the client edge", nullptr, 3, 1, 3, 1, R(195, 25, 200, 49)},
      {"right of the client", nullptr, 4, 1, 4, 1, empty},
      {"below the client", nullptr, 1, 4, 1, 4, empty},
      {"out of range", nullptr, 5, 1, 5, 1, empty},
      {"scrolled off", [](TGridLayout& g) { g.TopLeft = {2, 2}; }, 1, 1, 1, 1, empty},
      {"first cell after scrolling", [](TGridLayout& g) { g.TopLeft = {2, 2}; }, 2, 2, 2, 2, R(65, 25, 129, 49)},
      {"fixed column beside a scrolled row", [](TGridLayout& g) { g.TopLeft = {2, 2}; }, 0, 2, 0, 2,
       R(0, 25, 64, 49)},
      {"no lines", [](TGridLayout& g) { g.Options = {}; }, 1, 1, 1, 1, R(64, 24, 128, 48)},
      {"wide lines", [](TGridLayout& g) { g.GridLineWidth = 3; }, 1, 1, 1, 1, R(67, 27, 131, 51)},
      {"a hidden column takes no room", [](TGridLayout& g) { g.Cols.SetExtent(2, -1); }, 3, 1, 3, 1,
       R(130, 25, 194, 49)},
      {"the hidden column itself", [](TGridLayout& g) { g.Cols.SetExtent(2, -1); }, 2, 1, 2, 1, empty},
      {"box from fixed to scrollable", nullptr, 0, 0, 2, 1, R(0, 0, 194, 49)},
      {"box given backwards", nullptr, 2, 1, 0, 0, R(0, 0, 194, 49)},
      {"box starting in scrolled-off cells", [](TGridLayout& g) { g.TopLeft = {3, 1}; }, 1, 1, 3, 1,
       R(65, 25, 129, 49)},
  };
  for (const Case& c : cases) {
    TGridLayout g = Layout();
    if (c.setup) c.setup(g);
    TRect got = g.BoxRect(c.l, c.t, c.r, c.b);
    EXPECT_EQ(got, c.expected) << c.what;
  }
  TGridLayout g = Layout();
  EXPECT_EQ(g.CellRect(1, 1), g.BoxRect(1, 1, 1, 1));
  EXPECT_EQ(g.ColStart(2), 130);
  EXPECT_EQ(g.RowStart(3), 75);
}

TEST(GridLayout, MouseCoordCountsEachLineWithTheCellBeforeIt) {
  struct Case {
    int x, y;
    TGridCoord expected;
  };
  const Case cases[] = {
      {10, 10, {0, 0}},   {64, 24, {0, 0}},  {65, 25, {1, 1}},   {199, 99, {3, 3}},
      {200, 10, {-1, -1}}, {10, 100, {-1, -1}}, {-1, 5, {-1, -1}}, {130, 60, {2, 2}},
  };
  TGridLayout g = Layout();
  for (const Case& c : cases) EXPECT_EQ(g.MouseCoord(c.x, c.y), c.expected) << c.x << "," << c.y;
  g.TopLeft = {3, 3};
  EXPECT_EQ(g.MouseCoord(70, 30), (TGridCoord{3, 3}));
  EXPECT_EQ(g.MouseCoord(10, 30), (TGridCoord{0, 3}));
}

TEST(GridLayout, SizingZonesLieAroundTheLinesOfFixedCells) {
  struct Case {
    const char* what;
    int lineWidth;
    int x, y;
    TGridSizing expected;
  };
  const Case cases[] = {
      {"left edge of the band", 1, 61, 10, {gsColSizing, 0, 64, -3}},
      {"right edge of the band", 1, 67, 10, {gsColSizing, 0, 64, 3}},
      {"just past the band", 1, 68, 10, {}},
      {"just before the band", 1, 60, 10, {}},
      {"not in the fixed rows", 1, 64, 30, {}},
      {"second column's line", 1, 130, 5, {gsColSizing, 1, 129, 1}},
      {"a row line in the fixed column", 1, 10, 24, {gsRowSizing, 0, 24, 0}},
      {"columns win in the corner", 1, 64, 24, {gsColSizing, 0, 64, 0}},
      {"a 7-pixel line has no band", 7, 63, 10, {}},
      {"a 7-pixel line itself", 7, 64, 10, {gsColSizing, 0, 64, 0}},
      {"a 5-pixel line has a 1-pixel band", 5, 63, 10, {gsColSizing, 0, 64, -1}},
  };
  for (const Case& c : cases) {
    TGridLayout g = Layout();
    g.Options.Include(goColSizing);
    g.Options.Include(goRowSizing);
    g.GridLineWidth = c.lineWidth;
    TGridSizing s = g.CalcSizingState(c.x, c.y);
    EXPECT_EQ(s.State, c.expected.State) << c.what;
    if (c.expected.State != gsNormal) {
      EXPECT_EQ(s.Index, c.expected.Index) << c.what;
      EXPECT_EQ(s.Pos, c.expected.Pos) << c.what;
      EXPECT_EQ(s.Offset, c.expected.Offset) << c.what;
    }
  }
  TGridLayout g = Layout();
  EXPECT_EQ(g.CalcSizingState(64, 10).State, gsNormal) << "without goColSizing";
}

TEST(GridLayout, VisibleCountsDrawInfoAndScrollLimits) {
  TGridLayout g = Layout();
  EXPECT_EQ(g.VisibleColCount(), 2);
  EXPECT_EQ(g.VisibleRowCount(), 3);
  TGridDrawInfo info;
  g.CalcDrawInfo(info);
  EXPECT_EQ(info.Horz.FixedBoundary, 65);
  EXPECT_EQ(info.Horz.GridBoundary, 200);
  EXPECT_EQ(info.Horz.LastFullVisibleCell, 2);
  EXPECT_EQ(info.Horz.FullVisBoundary, 195);
  EXPECT_EQ(info.Vert.GridBoundary, 100);
  EXPECT_EQ(info.Vert.LastFullVisibleCell, 3);
  EXPECT_EQ(g.MaxTopLeft(), (TGridCoord{3, 2}));

  g.SetTopLeft(9, 9);
  EXPECT_EQ(g.TopLeft, (TGridCoord{3, 2}));
  g.SetTopLeft(0, -4);
  EXPECT_EQ(g.TopLeft, (TGridCoord{1, 1}));

  // Scrolling a cell into view.
  g.ScrollInView({4, 1});
  EXPECT_EQ(g.TopLeft, (TGridCoord{3, 1}));
  g.ScrollInView({1, 4});
  EXPECT_EQ(g.TopLeft, (TGridCoord{1, 2}));
  g.ScrollInView({2, 2});
  EXPECT_EQ(g.TopLeft, (TGridCoord{1, 2})) << "already visible";

  // A cell wider than the client becomes the first one.
  g.Cols.SetExtent(3, 500);
  g.TopLeft = {1, 1};
  g.ScrollInView({3, 1});
  EXPECT_EQ(g.TopLeft.X, 3);

  // Fewer cells than fit: nothing scrolls; a grid of fixed cells only.
  TGridLayout small = Layout();
  small.ClientWidth = 1000;
  small.ClientHeight = 1000;
  EXPECT_EQ(small.MaxTopLeft(), (TGridCoord{1, 1}));
  small.Cols.SetCount(1);
  small.Cols.SetFixedCount(1);
  EXPECT_EQ(small.MaxTopLeft().X, 1);
  EXPECT_EQ(small.VisibleColCount(), 0);
}

TEST(GridLayout, NavigationKeysMoveTheCurrentCellAndScroll) {
  struct Case {
    const char* what;
    std::function<void(TGridLayout&)> setup;
    Word key;
    TShiftState shift;
    TGridCoord current, topLeft;
  };
  auto at = [](TGridCoord c) { return [c](TGridLayout& g) { g.Current = c; }; };
  const Case cases[] = {
      {"down", nullptr, VK_DOWN, {}, {1, 2}, {1, 1}},
      {"up stops at the first scrollable row", nullptr, VK_UP, {}, {1, 1}, {1, 1}},
      {"right", nullptr, VK_RIGHT, {}, {2, 1}, {1, 1}},
      {"left stops at the fixed column", nullptr, VK_LEFT, {}, {1, 1}, {1, 1}},
      {"end", nullptr, VK_END, {}, {4, 1}, {1, 1}},
      {"home", at({3, 2}), VK_HOME, {}, {1, 2}, {1, 1}},
      {"ctrl+end", nullptr, VK_END, {ssCtrl}, {4, 4}, {1, 1}},
      {"ctrl+home", at({3, 3}), VK_HOME, {ssCtrl}, {1, 1}, {1, 1}},
      {"page down scrolls no further than the last page", nullptr, VK_NEXT, {}, {1, 4}, {1, 2}},
      {"page up", at({1, 4}), VK_PRIOR, {}, {1, 1}, {1, 1}},
      {"ctrl+down scrolls only", nullptr, VK_DOWN, {ssCtrl}, {1, 1}, {1, 2}},
      {"ctrl+right scrolls only", nullptr, VK_RIGHT, {ssCtrl}, {1, 1}, {2, 1}},
      {"ctrl+page down goes to the last visible row", nullptr, VK_NEXT, {ssCtrl}, {1, 3}, {1, 1}},
      {"tab wraps to the next row", [](TGridLayout& g) { g.Options.Include(goTabs); g.Current = {4, 1}; }, VK_TAB,
       {}, {1, 2}, {1, 1}},
      {"shift+tab wraps back", [](TGridLayout& g) { g.Options.Include(goTabs); g.Current = {1, 2}; }, VK_TAB,
       {ssShift}, {4, 1}, {1, 1}},
      {"tab stops at the last cell", [](TGridLayout& g) { g.Options.Include(goTabs); g.Current = {4, 4}; }, VK_TAB,
       {}, {4, 4}, {1, 1}},
      {"tab skips columns that are no tab stops",
       [](TGridLayout& g) {
         g.Options.Include(goTabs);
         g.TabStops = {true, true, false, true, true};
       },
       VK_TAB, {}, {3, 1}, {1, 1}},
      {"tab without goTabs does nothing", nullptr, VK_TAB, {}, {1, 1}, {1, 1}},
      {"right skips a hidden column", [](TGridLayout& g) { g.Cols.SetExtent(2, -1); }, VK_RIGHT, {}, {3, 1}, {1, 1}},
      {"end skips hidden last columns", [](TGridLayout& g) { g.Cols.SetExtent(4, -1); }, VK_END, {}, {3, 1},
       {1, 1}},
      {"row select: right scrolls", [](TGridLayout& g) { g.Options.Include(goRowSelect); }, VK_RIGHT, {}, {1, 1},
       {2, 1}},
      {"row select: home goes to the first row", [](TGridLayout& g) { g.Options.Include(goRowSelect); g.Current = {2, 4}; },
       VK_HOME, {}, {2, 1}, {1, 1}},
  };
  for (const Case& c : cases) {
    TGridLayout g = Layout();
    if (c.setup) c.setup(g);
    TGridMove m = g.NavigateKey(c.key, c.shift);
    EXPECT_EQ(m.Current, c.current) << c.what;
    EXPECT_EQ(m.TopLeft, c.topLeft) << c.what;
  }
}

TEST(GridLayout, SelectionAndMovingColumns) {
  TGridLayout g = Layout();
  g.Anchor = {3, 3};
  g.Current = {1, 2};
  EXPECT_EQ(g.Selection(), (TGridRect{1, 2, 3, 3}));
  g.Options.Include(goRowSelect);
  EXPECT_EQ(g.Selection(), (TGridRect{1, 2, 4, 3}));

  TGridLayout m = Layout();
  const int widths[] = {64, 10, 20, 30, 40};
  for (int i = 0; i < 5; ++i) m.Cols.SetExtent(i, widths[i]);
  m.TabStops = {true, false, true, true, true};
  m.Current = {1, 1};
  m.MoveColumn(1, 3);
  const int moved[] = {64, 20, 30, 10, 40};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(m.Cols.Extent(i), moved[i]) << i;
  EXPECT_FALSE(m.IsTabStop(3));
  EXPECT_TRUE(m.IsTabStop(1));
  EXPECT_EQ(m.Current.X, 3) << "the current column moves with its cells";
  m.MoveColumn(4, 1);
  EXPECT_EQ(m.Cols.Extent(1), 40);
  EXPECT_EQ(m.Current.X, 4) << "cells after the insertion shift right";
  EXPECT_THROW(m.MoveColumn(0, 5), EInvalidGridOperation);

  // Clamping after a smaller count.
  TGridLayout c = Layout();
  c.Current = {4, 4};
  c.Anchor = {4, 4};
  c.Cols.SetCount(3);
  c.Clamp();
  EXPECT_EQ(c.Current, (TGridCoord{2, 4}));
  EXPECT_EQ(c.Anchor, (TGridCoord{2, 4}));
}

}  // namespace
