// GDI drawing: lines with the selected pen, fills with brushes, the focus
// rectangle and bit-block transfers.
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gui/QtGraphics.h"

namespace {

QPainter* ActivePainter(HDC DC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  return p != nullptr && p->isActive() ? p : nullptr;
}

QRect Normal(int X, int Y, int W, int H) {
  if (W < 0) {
    X += W;
    W = -W;
  }
  if (H < 0) {
    Y += H;
    H = -H;
  }
  return QRect(X, Y, W, H);
}

QPainter::CompositionMode Rop2Composition(int Rop2) {
  switch (Rop2) {
    case R2_XORPEN: return QPainter::RasterOp_SourceXorDestination;
    case R2_NOTXORPEN: return QPainter::RasterOp_NotSourceXorDestination;
    case R2_MASKPEN: return QPainter::RasterOp_SourceAndDestination;
    case R2_MERGEPEN: return QPainter::RasterOp_SourceOrDestination;
    case R2_NOTCOPYPEN: return QPainter::RasterOp_NotSource;
    case R2_NOT: return QPainter::RasterOp_NotDestination;
    case R2_MASKPENNOT: return QPainter::RasterOp_SourceAndNotDestination;
    case R2_MASKNOTPEN: return QPainter::RasterOp_NotSourceAndDestination;
    case R2_MERGEPENNOT: return QPainter::RasterOp_SourceOrNotDestination;
    case R2_MERGENOTPEN: return QPainter::RasterOp_NotSourceOrDestination;
    case R2_NOTMERGEPEN: return QPainter::RasterOp_NotSourceAndNotDestination;
    case R2_NOTMASKPEN: return QPainter::RasterOp_NotSourceOrNotDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// On/off run lengths of a cosmetic pen's style (empty: solid).
std::vector<DWORD> StyleRuns(const PenSpec& Pen) {
  switch (Pen.style & PS_STYLE_MASK) {
    case PS_DOT: return {3, 3};
    case PS_DASH: return {18, 6};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    case PS_ALTERNATE: return {1, 1};
    case PS_USERSTYLE: return Pen.dashes;
    default: return {};
  }
}

bool StyleOn(const std::vector<DWORD>& Runs, int Pos) {
  if (Runs.empty()) return true;
  DWORD total = 0;
  for (DWORD r : Runs) total += r;
  if (total == 0) return true;
  DWORD at = static_cast<DWORD>(Pos) % total;
  for (size_t i = 0; i < Runs.size(); ++i) {
    if (at < Runs[i]) return i % 2 == 0;
    at -= Runs[i];
  }
  return true;
}

// Collects the pixels of cosmetic line segments as rectangles.
class PixelLines {
 public:
  explicit PixelLines(const PenSpec& Pen) : runs_(StyleRuns(Pen)) {}

  // Pixels from A towards B, B left out; Pos counts along the line's style.
  void Segment(QPoint A, QPoint B, int& Pos) {
    int dx = B.x() - A.x(), dy = B.y() - A.y();
    int n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) return;
    if (runs_.empty() && (dx == 0 || dy == 0)) {
      rects_.push_back(dx == 0 ? QRect(A.x(), dy > 0 ? A.y() : B.y() + 1, 1, n)
                               : QRect(dx > 0 ? A.x() : B.x() + 1, A.y(), n, 1));
      Pos += n;
      return;
    }
    // Bresenham along the major axis.
    int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0, sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    int ax = std::abs(dx), ay = std::abs(dy);
    int x = A.x(), y = A.y(), err = (ax >= ay ? ax : ay) / 2;
    for (int i = 0; i < n; ++i, ++Pos) {
      if (StyleOn(runs_, Pos)) Put(x, y);
      if (ax >= ay) {
        x += sx;
        err -= ay;
        if (err < 0) {
          y += sy;
          err += ax;
        }
      } else {
        y += sy;
        err -= ax;
        if (err < 0) {
          x += sx;
          err += ay;
        }
      }
    }
  }

  const std::vector<QRect>& Rects() const { return rects_; }

 private:
  void Put(int x, int y) {
    if (!rects_.empty()) {
      QRect& last = rects_.back();
      if (last.height() == 1 && last.top() == y && last.right() + 1 == x) {
        last.setRight(x);
        return;
      }
    }
    rects_.emplace_back(x, y, 1, 1);
  }

  std::vector<DWORD> runs_;
  std::vector<QRect> rects_;
};

// The colour and composition the pen draws with; false for R2_NOP.
bool PrepareLine(HDC DC, QPainter* p, QColor& Color) {
  const HDC__::Selected& sel = DC->sel;
  if (sel.pen.Null() || sel.rop2 == R2_NOP) return false;
  Color = sel.rop2 == R2_BLACK ? QColor(Qt::black) : sel.rop2 == R2_WHITE ? QColor(Qt::white) : sel.pen.color;
  p->setCompositionMode(Rop2Composition(sel.rop2));
  return true;
}

Qt::PenCapStyle CapOf(DWORD Style) {
  switch (Style & PS_ENDCAP_MASK) {
    case PS_ENDCAP_FLAT: return Qt::FlatCap;
    case PS_ENDCAP_SQUARE: return Qt::SquareCap;
    default: return Qt::RoundCap;
  }
}

Qt::PenJoinStyle JoinOf(DWORD Style) {
  switch (Style & PS_JOIN_MASK) {
    case PS_JOIN_MITER: return Qt::MiterJoin;
    case PS_JOIN_BEVEL: return Qt::BevelJoin;
    default: return Qt::RoundJoin;
  }
}

// A wide pen's axis-aligned, flat- or square-capped segment as the
// rectangle of pixels it covers; false for other segments.
bool WideRect(const PenSpec& Pen, QPoint A, QPoint B, QRect& R) {
  Qt::PenCapStyle cap = CapOf(Pen.style);
  if (cap == Qt::RoundCap || (A.x() != B.x() && A.y() != B.y())) return false;
  int w = std::max(Pen.width, 1), half = w / 2, extend = cap == Qt::SquareCap ? half : 0;
  if (A.y() == B.y()) {
    int l = std::min(A.x(), B.x()) - extend, r = std::max(A.x(), B.x()) + extend;
    R = QRect(l, A.y() - half, r - l, w);
  } else {
    int t = std::min(A.y(), B.y()) - extend, b = std::max(A.y(), B.y()) + extend;
    R = QRect(A.x() - half, t, w, b - t);
  }
  return true;
}

// One polyline with the DC's pen; Pos is the cosmetic style position.
void DrawPolyline(HDC DC, QPainter* p, const TPoint* Points, int Count, int& Pos) {
  if (Count < 2) return;
  const PenSpec& pen = DC->sel.pen;
  QColor color;
  p->save();
  if (!PrepareLine(DC, p, color)) {
    p->restore();
    return;
  }
  p->setPen(Qt::NoPen);
  p->setBrush(color);
  std::vector<QRect> rects;
  bool done = true;
  if (pen.Cosmetic()) {
    PixelLines lines(pen);
    for (int i = 0; i + 1 < Count; ++i)
      lines.Segment(QPoint(Points[i].X, Points[i].Y), QPoint(Points[i + 1].X, Points[i + 1].Y), Pos);
    rects = lines.Rects();
  } else if ((pen.style & PS_STYLE_MASK) == PS_SOLID || (pen.style & PS_STYLE_MASK) == PS_INSIDEFRAME) {
    for (int i = 0; i + 1 < Count && done; ++i) {
      QRect r;
      done = WideRect(pen, QPoint(Points[i].X, Points[i].Y), QPoint(Points[i + 1].X, Points[i + 1].Y), r);
      rects.push_back(r);
    }
  } else {
    done = false;
  }
  if (done) {
    p->drawRects(rects.data(), static_cast<int>(rects.size()));
  } else {
    QPen q(color, std::max(pen.width, 1), Qt::SolidLine, CapOf(pen.style), JoinOf(pen.style));
    switch (pen.style & PS_STYLE_MASK) {
      case PS_DASH: q.setStyle(Qt::DashLine); break;
      case PS_DOT:
      case PS_ALTERNATE: q.setStyle(Qt::DotLine); break;
      case PS_DASHDOT: q.setStyle(Qt::DashDotLine); break;
      case PS_DASHDOTDOT: q.setStyle(Qt::DashDotDotLine); break;
      case PS_USERSTYLE: {
        QList<qreal> dashes;
        for (DWORD d : pen.dashes) dashes << std::max<qreal>(d, 1) / std::max(pen.width, 1);
        if (dashes.size() % 2) dashes << dashes.back();
        q.setDashPattern(dashes);
        break;
      }
      default: break;
    }
    p->setPen(q);
    p->setBrush(Qt::NoBrush);
    double offset = pen.width % 2 ? 0.5 : 0;
    QPolygonF poly;
    for (int i = 0; i < Count; ++i) poly << QPointF(Points[i].X + offset, Points[i].Y + offset);
    p->drawPolyline(poly);
  }
  p->restore();
}

}  // namespace

QBrush QBrushOf(HDC DC, const BrushSpec& B) {
  switch (B.style) {
    case BS_NULL: return QBrush(Qt::NoBrush);
    case BS_HATCHED: {
      static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                               Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
      return QBrush(B.color, hatches[std::clamp(B.hatch, 0, 5)]);
    }
    case BS_PATTERN: {
      if (!B.mono) return QBrush(B.pattern);
      QImage coloured = B.pattern.convertToFormat(QImage::Format_ARGB32);
      QRgb fore = DC->sel.text_color.rgba(), back = DC->sel.bk_color.rgba();
      for (int y = 0; y < coloured.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(coloured.scanLine(y));
        for (int x = 0; x < coloured.width(); ++x) line[x] = qGray(line[x]) >= 128 ? back : fore;
      }
      return QBrush(coloured);
    }
    default: return QBrush(B.color);
  }
}

namespace {

// Fills R (logical) with a brush: hatches over the background colour in
// OPAQUE mode, patterns aligned to the device origin.
void FillWith(HDC DC, QPainter* p, const QRect& R, const BrushSpec& B) {
  if (B.style == BS_NULL || R.isEmpty()) return;
  if (B.style == BS_HATCHED && DC->sel.opaque) p->fillRect(R, DC->sel.bk_color);
  QPointF origin = MappingOf(DC).inverted().map(QPointF(0, 0));
  p->setBrushOrigin(origin);
  p->fillRect(R, QBrushOf(DC, B));
}

const BrushSpec* BrushOf(HBRUSH Brush) {
  auto* b = LiveAs<HBRUSH__>(Brush);
  return b != nullptr ? &b->brush : nullptr;
}

}  // namespace

bool MoveToEx(HDC DC, int X, int Y, TPoint* Previous) {
  if (DC == nullptr) return false;
  if (Previous != nullptr) *Previous = DC->sel.position;
  DC->sel.position = {X, Y};
  DC->sel.style_pos = 0;
  return true;
}

bool LineTo(HDC DC, int X, int Y) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr) return false;
  TPoint pts[2] = {DC->sel.position, {X, Y}};
  DrawPolyline(DC, p, pts, 2, DC->sel.style_pos);
  DC->sel.position = {X, Y};
  return true;
}

bool Polyline(HDC DC, const TPoint* Points, int Count) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr || Points == nullptr || Count < 2) return false;
  int pos = 0;
  DrawPolyline(DC, p, Points, Count, pos);
  return true;
}

bool PolyPolyline(HDC DC, const TPoint* Points, const DWORD* Counts, DWORD Polylines) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr || Points == nullptr || Counts == nullptr) return false;
  for (DWORD i = 0; i < Polylines; ++i) {
    if (Counts[i] < 2) return false;
  }
  for (DWORD i = 0; i < Polylines; ++i) {
    int pos = 0;
    DrawPolyline(DC, p, Points, static_cast<int>(Counts[i]), pos);
    Points += Counts[i];
  }
  return true;
}

int SetROP2(HDC DC, int Mode) {
  if (DC == nullptr || Mode < R2_BLACK || Mode > R2_WHITE) return 0;
  int old = DC->sel.rop2;
  DC->sel.rop2 = Mode;
  return old;
}

int GetROP2(HDC DC) { return DC == nullptr ? 0 : DC->sel.rop2; }

int FillRect(HDC DC, const TRect& R, HBRUSH Brush) {
  QPainter* p = ActivePainter(DC);
  const BrushSpec* b = BrushOf(Brush);
  if (p == nullptr || b == nullptr) return 0;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  FillWith(DC, p, QRect(R.Left, R.Top, R.Width(), R.Height()), *b);
  p->restore();
  return 1;
}

int FrameRect(HDC DC, const TRect& R, HBRUSH Brush) {
  QPainter* p = ActivePainter(DC);
  const BrushSpec* b = BrushOf(Brush);
  if (p == nullptr || b == nullptr) return 0;
  if (R.IsEmpty()) return 1;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  FillWith(DC, p, QRect(R.Left, R.Top, R.Width(), 1), *b);
  if (R.Height() > 1) FillWith(DC, p, QRect(R.Left, R.Bottom - 1, R.Width(), 1), *b);
  if (R.Height() > 2) {
    FillWith(DC, p, QRect(R.Left, R.Top + 1, 1, R.Height() - 2), *b);
    if (R.Width() > 1) FillWith(DC, p, QRect(R.Right - 1, R.Top + 1, 1, R.Height() - 2), *b);
  }
  p->restore();
  return 1;
}

bool InvertRect(HDC DC, const TRect& R) { return PatBlt(DC, R.Left, R.Top, R.Width(), R.Height(), DSTINVERT); }

bool PatBlt(HDC DC, int X, int Y, int Width, int Height, DWORD Rop) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr) return false;
  QRect r = Normal(X, Y, Width, Height);
  p->save();
  switch (Rop) {
    case PATCOPY:
      p->setCompositionMode(QPainter::CompositionMode_Source);
      FillWith(DC, p, r, DC->sel.brush);
      break;
    case PATINVERT:
      p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      FillWith(DC, p, r, DC->sel.brush);
      break;
    case DSTINVERT:
      p->setCompositionMode(QPainter::RasterOp_NotDestination);
      p->fillRect(r, Qt::black);
      break;
    case BLACKNESS:
    case WHITENESS:
      p->setCompositionMode(QPainter::CompositionMode_Source);
      p->fillRect(r, Rop == BLACKNESS ? Qt::black : Qt::white);
      break;
    default:
      p->restore();
      return false;
  }
  p->restore();
  return true;
}

bool DrawFocusRect(HDC DC, const TRect& R) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr) return false;
  if (R.IsEmpty()) return true;
  QRect d = MappingOf(DC).mapRect(QRect(R.Left, R.Top, R.Width(), R.Height()));
  std::vector<QRect> dots;
  auto dot = [&dots](int x, int y) {
    if ((x + y) % 2 == 0) dots.emplace_back(x, y, 1, 1);
  };
  for (int x = d.left(); x <= d.right(); ++x) {
    dot(x, d.top());
    if (d.bottom() > d.top()) dot(x, d.bottom());
  }
  for (int y = d.top() + 1; y < d.bottom(); ++y) {
    dot(d.left(), y);
    if (d.right() > d.left()) dot(d.right(), y);
  }
  p->save();
  // Device pixels: the painter's transform without the DC's mapping.
  p->setWorldTransform(DC->base_taken ? DC->base : p->worldTransform());
  p->setCompositionMode(QPainter::RasterOp_NotDestination);
  p->setPen(Qt::NoPen);
  p->setBrush(Qt::black);
  p->drawRects(dots.data(), static_cast<int>(dots.size()));
  p->restore();
  return true;
}

// ---------------------------------------------------------------------------
// Bit-block transfers

namespace {

const QImage* SourceImage(HDC Source) {
  QPainter* p = ActivePainter(Source);
  return p != nullptr ? dynamic_cast<const QImage*>(p->device()) : nullptr;
}

bool DestMono(HDC DC) { return DC->memory && DC->bitmap != nullptr && DC->bitmap->mono; }
bool SourceMono(HDC DC) { return DC->memory && DC->bitmap != nullptr && DC->bitmap->mono; }

// The destination's brush over a device rectangle, as pixels.
QImage PatternImage(HDC DC, const QRect& Device) {
  QImage img(Device.size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setBrushOrigin(-Device.topLeft());
  if (DC->sel.brush.style != BS_NULL) p.fillRect(img.rect(), QBrushOf(DC, DC->sel.brush));
  return img;
}

// Per-pixel combination of two images of one size into the first.
template <class F>
void Combine(QImage& A, const QImage& B, F f) {
  for (int y = 0; y < A.height(); ++y) {
    auto* a = reinterpret_cast<QRgb*>(A.scanLine(y));
    const auto* b = reinterpret_cast<const QRgb*>(B.constScanLine(y));
    for (int x = 0; x < A.width(); ++x) a[x] = (f(a[x], b[x]) & 0x00FFFFFFu) | 0xFF000000u;
  }
}

bool Blit(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SX, int SY, int SWidth, int SHeight,
          DWORD Rop) {
  QPainter* p = ActivePainter(Dest);
  if (p == nullptr) return false;
  switch (Rop) {
    case PATCOPY:
    case PATINVERT:
    case DSTINVERT:
    case BLACKNESS:
    case WHITENESS: return PatBlt(Dest, X, Y, Width, Height, Rop);
    default: break;
  }
  const QImage* src = SourceImage(Source);
  if (src == nullptr || Width == 0 || Height == 0 || SWidth == 0 || SHeight == 0) return false;
  QRect s = MappingOf(Source).mapRect(Normal(SX, SY, SWidth, SHeight));
  QImage part = src->copy(s).convertToFormat(QImage::Format_ARGB32);  // outside the source: transparent black
  if (SourceMono(Source) && !DestMono(Dest)) {
    QRgb fore = Dest->sel.text_color.rgb(), back = Dest->sel.bk_color.rgb();
    for (int y = 0; y < part.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
      for (int x = 0; x < part.width(); ++x) line[x] = qGray(line[x]) >= 128 ? back : fore;
    }
  } else if (DestMono(Dest) && !SourceMono(Source)) {
    QRgb back = Source->sel.bk_color.rgb() & 0xFFFFFF;
    for (int y = 0; y < part.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
      for (int x = 0; x < part.width(); ++x) line[x] = (line[x] & 0xFFFFFF) == back ? 0xFFFFFFFFu : 0xFF000000u;
    }
  }
  bool flip_x = (Width < 0) != (SWidth < 0), flip_y = (Height < 0) != (SHeight < 0);
  part = part.mirrored(flip_x, flip_y);
  QRect d = Normal(X, Y, Width, Height);
  QRect device = MappingOf(Dest).mapRect(d);
  if (part.size() != device.size())
    part = part.scaled(device.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  QPainter::CompositionMode mode = QPainter::CompositionMode_Source;
  switch (Rop) {
    case SRCCOPY: break;
    case MERGECOPY:
      Combine(part, PatternImage(Dest, device), [](QRgb s, QRgb pat) { return s & pat; });
      break;
    case PATPAINT:
      Combine(part, PatternImage(Dest, device), [](QRgb s, QRgb pat) { return pat | ~s; });
      mode = QPainter::RasterOp_SourceOrDestination;
      break;
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case SRCERASE:
    case NOTSRCCOPY:
    case NOTSRCERASE:
    case MERGEPAINT: mode = CopyModeComposition(static_cast<int32_t>(Rop)); break;
    default: return false;
  }
  p->save();
  p->setWorldTransform(Dest->base_taken ? Dest->base : p->worldTransform());
  p->setCompositionMode(mode);
  p->drawImage(device.topLeft(), part.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  p->restore();
  return true;
}

}  // namespace

bool BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SX, int SY, DWORD Rop) {
  return Blit(Dest, X, Y, Width, Height, Source, SX, SY, Width, Height, Rop);
}

bool StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Source, int SX, int SY, int SWidth, int SHeight,
                DWORD Rop) {
  return Blit(Dest, X, Y, Width, Height, Source, SX, SY, SWidth, SHeight, Rop);
}
