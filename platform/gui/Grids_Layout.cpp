// The grid's layout and scroll arithmetic (no window).
#include <algorithm>

#include "platform/gui/Grids.h"

void InvalidOp(const String& Message) { throw EInvalidGridOperation(Message); }

// ---------------------------------------------------------------------------
// TGridAxis

void TGridAxis::SetCount(int Value) {
  if (Value < 0) Value = 0;
  count_ = Value;
  if (!extents_.empty()) extents_.resize(static_cast<size_t>(Value), default_);
}

void TGridAxis::SetDefaultExtent(int Value) {
  default_ = Value;
  extents_.clear();
}

int TGridAxis::Extent(int Index) const {
  if (Index < 0 || Index >= count_) return 0;
  return extents_.empty() ? default_ : extents_[static_cast<size_t>(Index)];
}

void TGridAxis::SetExtent(int Index, int Value) {
  if (Index < 0 || Index >= count_) InvalidOp("Grid index out of range");
  if (extents_.empty()) {
    if (Value == default_) return;
    extents_.assign(static_cast<size_t>(count_), default_);
  }
  extents_[static_cast<size_t>(Index)] = Value;
}

void TGridAxis::Move(int FromIndex, int ToIndex) {
  if (extents_.empty() || FromIndex == ToIndex) return;
  auto b = extents_.begin();
  if (FromIndex < ToIndex)
    std::rotate(b + FromIndex, b + FromIndex + 1, b + ToIndex + 1);
  else
    std::rotate(b + ToIndex, b + FromIndex, b + FromIndex + 1);
}

// ---------------------------------------------------------------------------
// TGridLayout

namespace {

// Room a cell takes with its line (a hidden cell takes none).
int Pitch(const TGridAxis& Axis, int Index, int LineWidth) {
  return std::max(0, Axis.Extent(Index) + LineWidth);
}

// Start of a cell in client coordinates, or -1 when it does not show
// (scrolled off before the first scrollable cell); stops counting past Limit.
int CellStart(const TGridAxisDrawInfo& Info, int Index, int Limit) {
  const TGridAxis& a = *Info.Axis;
  int lw = Info.EffectiveLineWidth;
  int pos = 0;
  if (Index < Info.FixedCellCount) {
    for (int i = 0; i < Index; ++i) pos += Pitch(a, i, lw);
    return pos;
  }
  if (Index < Info.FirstGridCell) return -1;
  pos = Info.FixedBoundary;
  for (int i = Info.FirstGridCell; i < Index && pos < Limit; ++i) pos += Pitch(a, i, lw);
  return pos;
}

// Span [Start, End) of cells Lo..Hi on one axis, clipped to the client
// extent; false when none of it shows.
bool AxisSpan(const TGridAxisDrawInfo& Info, int Lo, int Hi, int& Start, int& End) {
  if (Hi < Lo) std::swap(Lo, Hi);
  if (Lo < 0 || Hi >= Info.GridCellCount) return false;
  int limit = Info.GridExtent;
  if (Lo >= Info.FixedCellCount && Lo < Info.FirstGridCell) {
    if (Hi < Info.FirstGridCell) return false;
    Start = Info.FixedBoundary;
  } else {
    Start = CellStart(Info, Lo, limit);
  }
  if (Hi >= Info.FixedCellCount && Hi < Info.FirstGridCell) {
    End = Info.FixedBoundary - Info.EffectiveLineWidth;
  } else {
    int hs = CellStart(Info, Hi, limit);
    End = hs + Info.GetExtent(Hi);
  }
  End = std::min(End, limit);
  return Start < limit && End > Start;
}

// The cell at client position X on one axis, or -1.
int AxisCell(const TGridAxisDrawInfo& Info, int X) {
  if (X < 0 || X >= Info.GridBoundary) return -1;
  const TGridAxis& a = *Info.Axis;
  int lw = Info.EffectiveLineWidth;
  int pos = 0, i = 0;
  if (X >= Info.FixedBoundary) {
    pos = Info.FixedBoundary;
    i = Info.FirstGridCell;
  }
  for (; i < Info.GridCellCount; ++i) {
    if (X >= Info.FixedBoundary && i < Info.FirstGridCell) continue;
    int next = pos + Pitch(a, i, lw);
    if (X < next) return i;
    pos = next;
  }
  return -1;
}

// The sizing line near X on one axis: the cell whose line it is, or -1.
int AxisSizingCell(const TGridAxisDrawInfo& Info, int X, int& LinePos) {
  int lw = Info.EffectiveLineWidth;
  int band = lw < 7 ? (7 - lw) / 2 : 0;
  const TGridAxis& a = *Info.Axis;
  int found = -1;
  auto check = [&](int i, int start) {
    if (a.Extent(i) + lw <= 0) return;
    int line = start + a.Extent(i);
    if (X >= line - band && X < line + lw + band) {
      found = i;
      LinePos = line;
    }
  };
  int pos = 0;
  for (int i = 0; i < Info.FixedCellCount && i < Info.GridCellCount; ++i) {
    check(i, pos);
    pos += Pitch(a, i, lw);
  }
  for (int i = Info.FirstGridCell; i < Info.GridCellCount && pos < Info.GridBoundary; ++i) {
    check(i, pos);
    pos += Pitch(a, i, lw);
  }
  return found;
}

}  // namespace

void TGridLayout::CalcAxis(TGridAxisDrawInfo& Info, const TGridAxis& Axis, int LineWidth, int First,
                           int Extent) const {
  Info.Axis = &Axis;
  Info.EffectiveLineWidth = LineWidth;
  Info.FixedCellCount = std::min(Axis.FixedCount(), Axis.Count());
  Info.FirstGridCell = First;
  Info.GridCellCount = Axis.Count();
  Info.GridExtent = Extent;
  int pos = 0;
  for (int i = 0; i < Info.FixedCellCount; ++i) pos += Pitch(Axis, i, LineWidth);
  Info.FixedBoundary = pos;
  Info.FullVisBoundary = pos;
  Info.LastFullVisibleCell = First - 1;
  for (int i = First; i < Axis.Count() && pos < Extent; ++i) {
    pos += Pitch(Axis, i, LineWidth);
    if (pos <= Extent) {
      Info.LastFullVisibleCell = i;
      Info.FullVisBoundary = pos;
    }
  }
  Info.GridBoundary = std::min(pos, Extent);
}

void TGridLayout::CalcDrawInfoXY(TGridDrawInfo& Info, int UseWidth, int UseHeight) const {
  CalcAxis(Info.Horz, Cols, LineWidthH(), TopLeft.X, UseWidth);
  CalcAxis(Info.Vert, Rows, LineWidthV(), TopLeft.Y, UseHeight);
}

void TGridLayout::CalcFixedInfo(TGridDrawInfo& Info) const {
  CalcAxis(Info.Horz, Cols, LineWidthH(), Cols.Count(), ClientWidth);
  CalcAxis(Info.Vert, Rows, LineWidthV(), Rows.Count(), ClientHeight);
}

TRect TGridLayout::BoxRect(int ALeft, int ATop, int ARight, int ABottom) const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  int l, r, t, b;
  if (!AxisSpan(info.Horz, ALeft, ARight, l, r) || !AxisSpan(info.Vert, ATop, ABottom, t, b)) return TRect();
  return Rect(l, t, r, b);
}

TGridCoord TGridLayout::MouseCoord(int X, int Y) const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  TGridCoord c{AxisCell(info.Horz, X), AxisCell(info.Vert, Y)};
  if (c.X < 0 || c.Y < 0) return {-1, -1};
  return c;
}

TGridSizing TGridLayout::CalcSizingState(int X, int Y) const {
  TGridSizing s;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  int pos = 0;
  if (Options.Contains(goColSizing) && Y >= 0 && Y < info.Vert.FixedBoundary) {
    int i = AxisSizingCell(info.Horz, X, pos);
    if (i >= 0) return {gsColSizing, i, pos, X - pos};
  }
  if (Options.Contains(goRowSizing) && X >= 0 && X < info.Horz.FixedBoundary) {
    int i = AxisSizingCell(info.Vert, Y, pos);
    if (i >= 0) return {gsRowSizing, i, pos, Y - pos};
  }
  return s;
}

int TGridLayout::VisibleCount(const TGridAxisDrawInfo& Info) const {
  return std::max(0, Info.LastFullVisibleCell - Info.FirstGridCell + 1);
}

int TGridLayout::VisibleColCount() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return VisibleCount(info.Horz);
}

int TGridLayout::VisibleRowCount() const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return VisibleCount(info.Vert);
}

int TGridLayout::MaxFirst(const TGridAxis& Axis, int LineWidth, int ClientExtent) const {
  int fixed = std::min(Axis.FixedCount(), Axis.Count());
  if (Axis.Count() <= fixed) return fixed;
  int avail = ClientExtent;
  for (int i = 0; i < fixed; ++i) avail -= Pitch(Axis, i, LineWidth);
  int i = Axis.Count() - 1;
  int sum = Pitch(Axis, i, LineWidth);
  while (i > fixed && sum + Pitch(Axis, i - 1, LineWidth) <= avail) {
    --i;
    sum += Pitch(Axis, i, LineWidth);
  }
  // Hidden cells before the first shown one would only add empty scrolling.
  while (i > fixed && Pitch(Axis, i - 1, LineWidth) == 0 && sum <= avail) --i;
  return i;
}

TGridCoord TGridLayout::MaxTopLeft() const {
  return {MaxFirst(Cols, LineWidthH(), ClientWidth), MaxFirst(Rows, LineWidthV(), ClientHeight)};
}

void TGridLayout::SetTopLeft(int ALeft, int ATop) {
  TGridCoord m = MaxTopLeft();
  TopLeft.X = std::max(std::min(ALeft, m.X), Cols.FixedCount());
  TopLeft.Y = std::max(std::min(ATop, m.Y), Rows.FixedCount());
}

void TGridLayout::Clamp() {
  auto clampCell = [](int v, const TGridAxis& a) {
    int lo = a.FixedCount(), hi = a.Count() - 1;
    if (hi < lo) return lo;
    return std::clamp(v, lo, hi);
  };
  Current = {clampCell(Current.X, Cols), clampCell(Current.Y, Rows)};
  Anchor = {clampCell(Anchor.X, Cols), clampCell(Anchor.Y, Rows)};
  SetTopLeft(TopLeft.X, TopLeft.Y);
}

void TGridLayout::ScrollInView(TGridCoord Coord) {
  auto axis = [](int cell, int first, const TGridAxis& a, int lw, int client) {
    if (cell < a.FixedCount() || cell >= a.Count()) return first;
    if (cell < first) return cell;
    int avail = client;
    for (int i = 0; i < a.FixedCount() && i < a.Count(); ++i) avail -= Pitch(a, i, lw);
    int sum = 0;
    for (int i = first; i <= cell; ++i) sum += Pitch(a, i, lw);
    if (sum <= avail) return first;
    // Smallest first cell from which Coord fits.
    int f = cell;
    sum = Pitch(a, cell, lw);
    while (f > a.FixedCount() && sum + Pitch(a, f - 1, lw) <= avail) {
      --f;
      sum += Pitch(a, f, lw);
    }
    return std::max(f, first);
  };
  SetTopLeft(axis(Coord.X, TopLeft.X, Cols, LineWidthH(), ClientWidth),
             axis(Coord.Y, TopLeft.Y, Rows, LineWidthV(), ClientHeight));
}

TGridRect TGridLayout::Selection() const {
  TGridRect r{std::min(Anchor.X, Current.X), std::min(Anchor.Y, Current.Y), std::max(Anchor.X, Current.X),
              std::max(Anchor.Y, Current.Y)};
  if (Options.Contains(goRowSelect)) {
    r.Left = Cols.FixedCount();
    r.Right = Cols.Count() - 1;
  }
  return r;
}

TGridMove TGridLayout::NavigateKey(Word Key, TShiftState Shift) const {
  TGridMove m{Current, TopLeft};
  const int firstCol = Cols.FixedCount(), lastCol = Cols.Count() - 1;
  const int firstRow = Rows.FixedCount(), lastRow = Rows.Count() - 1;
  if (lastCol < firstCol || lastRow < firstRow) return m;
  const bool rowSelect = Options.Contains(goRowSelect);
  const int page = std::max(1, VisibleRowCount());
  // The next shown column from c in direction d (c itself when none).
  auto stepCol = [&](int c, int d) {
    for (int i = c + d; i >= firstCol && i <= lastCol; i += d)
      if (!IsHiddenCol(i)) return i;
    return c;
  };
  auto firstShown = [&](int from, int d) {
    for (int i = from; i >= firstCol && i <= lastCol; i += d)
      if (!IsHiddenCol(i)) return i;
    return Current.X;
  };
  if (Shift.Contains(ssCtrl)) {
    switch (Key) {
      case VK_UP: --m.TopLeft.Y; break;
      case VK_DOWN: ++m.TopLeft.Y; break;
      case VK_LEFT: --m.TopLeft.X; break;
      case VK_RIGHT: ++m.TopLeft.X; break;
      case VK_PRIOR: m.Current.Y = TopLeft.Y; break;
      case VK_NEXT: m.Current.Y = std::max(TopLeft.Y, TopLeft.Y + VisibleRowCount() - 1); break;
      case VK_HOME:
        m.Current = {rowSelect ? Current.X : firstShown(firstCol, 1), firstRow};
        break;
      case VK_END:
        m.Current = {rowSelect ? Current.X : firstShown(lastCol, -1), lastRow};
        break;
      default: break;
    }
  } else {
    switch (Key) {
      case VK_UP: --m.Current.Y; break;
      case VK_DOWN: ++m.Current.Y; break;
      case VK_LEFT:
        if (rowSelect) --m.TopLeft.X;
        else m.Current.X = stepCol(Current.X, -1);
        break;
      case VK_RIGHT:
        if (rowSelect) ++m.TopLeft.X;
        else m.Current.X = stepCol(Current.X, 1);
        break;
      case VK_NEXT:
        m.Current.Y += page;
        m.TopLeft.Y += page;
        break;
      case VK_PRIOR:
        m.Current.Y -= page;
        m.TopLeft.Y -= page;
        break;
      case VK_HOME:
        if (rowSelect) m.Current.Y = firstRow;
        else m.Current.X = firstShown(firstCol, 1);
        break;
      case VK_END:
        if (rowSelect) m.Current.Y = lastRow;
        else m.Current.X = firstShown(lastCol, -1);
        break;
      case VK_TAB: {
        if (!Options.Contains(goTabs) || Shift.Contains(ssAlt)) break;
        int d = Shift.Contains(ssShift) ? -1 : 1;
        int c = Current.X, r = Current.Y;
        // Walk the cells in reading order until a shown tab-stop column.
        for (int steps = 0; steps < (lastCol - firstCol + 1) * 2 + 1; ++steps) {
          c += d;
          if (c > lastCol) {
            if (r >= lastRow) break;
            c = firstCol;
            ++r;
          } else if (c < firstCol) {
            if (r <= firstRow) break;
            c = lastCol;
            --r;
          }
          if (IsTabStop(c) && !IsHiddenCol(c)) {
            m.Current = {c, r};
            break;
          }
        }
        break;
      }
      default: break;
    }
  }
  m.Current.X = std::clamp(m.Current.X, firstCol, lastCol);
  m.Current.Y = std::clamp(m.Current.Y, firstRow, lastRow);
  TGridCoord mx = MaxTopLeft();
  m.TopLeft.X = std::clamp(m.TopLeft.X, firstCol, std::max(firstCol, mx.X));
  m.TopLeft.Y = std::clamp(m.TopLeft.Y, firstRow, std::max(firstRow, mx.Y));
  return m;
}

namespace {
int Follow(int Index, int From, int To) {
  if (Index == From) return To;
  if (From < To && Index > From && Index <= To) return Index - 1;
  if (To < From && Index >= To && Index < From) return Index + 1;
  return Index;
}
}  // namespace

void TGridLayout::MoveColumn(int FromIndex, int ToIndex) {
  if (FromIndex < 0 || FromIndex >= Cols.Count() || ToIndex < 0 || ToIndex >= Cols.Count())
    InvalidOp("Grid index out of range");
  Cols.Move(FromIndex, ToIndex);
  if (!TabStops.empty()) {
    TabStops.resize(static_cast<size_t>(Cols.Count()), true);
    bool moved = TabStops[static_cast<size_t>(FromIndex)];
    TabStops.erase(TabStops.begin() + FromIndex);
    TabStops.insert(TabStops.begin() + ToIndex, moved);
  }
  Current.X = Follow(Current.X, FromIndex, ToIndex);
  Anchor.X = Follow(Anchor.X, FromIndex, ToIndex);
}

void TGridLayout::MoveRow(int FromIndex, int ToIndex) {
  if (FromIndex < 0 || FromIndex >= Rows.Count() || ToIndex < 0 || ToIndex >= Rows.Count())
    InvalidOp("Grid index out of range");
  Rows.Move(FromIndex, ToIndex);
  Current.Y = Follow(Current.Y, FromIndex, ToIndex);
  Anchor.Y = Follow(Anchor.Y, FromIndex, ToIndex);
}

int TGridLayout::ColStart(int ACol) const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (ACol < 0 || ACol >= Cols.Count()) return -1;
  return CellStart(info.Horz, ACol, ClientWidth);
}

int TGridLayout::RowStart(int ARow) const {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  if (ARow < 0 || ARow >= Rows.Count()) return -1;
  return CellStart(info.Vert, ARow, ClientHeight);
}
