// TCanvas: shapes, pictures and copies between canvases.
#include <QPolygon>

#include <algorithm>

#include "platform/gui/QtGraphics.h"

namespace {

QRect ToQRect(const TRect& R) { return QRect(R.Left, R.Top, R.Width(), R.Height()); }

// The image a canvas draws into (a bitmap's canvas, or a painter on an image).
const QImage* DeviceImage(TCanvas* Canvas) {
  HDC dc = Canvas->Handle();
  QPainter* p = dc != nullptr ? Painter(dc) : nullptr;
  return p != nullptr ? dynamic_cast<const QImage*>(p->device()) : nullptr;
}

// The source rectangle of an image, mirrored where its extent is negative.
QImage SourcePart(const QImage& Image, const TRect& Source) {
  QRect r(std::min(Source.Left, Source.Right), std::min(Source.Top, Source.Bottom), std::abs(Source.Width()),
          std::abs(Source.Height()));
  QImage part = Image.copy(r);
  return part.mirrored(Source.Width() < 0, Source.Height() < 0);
}

}  // namespace

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  ApplyBrush(p, *brush_);
  ApplyPen(p, *pen_);
  p->drawRoundedRect(QRectF(X1 + 0.5, Y1 + 0.5, X2 - X1 - 1, Y2 - Y1 - 1), X3 / 2.0, Y3 / 2.0);
  p->restore();
}

void TCanvas::DrawFocusRect(const TRect& R) { ::DrawFocusRect(RequireHandle(), R); }

void TCanvas::Polygon(std::span<const TPoint> Points) {
  QPainter* p = Painter(RequireHandle());
  if (Points.empty()) return;
  QPolygon poly;
  for (const TPoint& pt : Points) poly << QPoint(pt.X, pt.Y);
  p->save();
  ApplyBrush(p, *brush_);
  ApplyPen(p, *pen_);
  p->drawPolygon(poly);
  p->restore();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (Graphic == nullptr || Graphic->Empty()) return;
  RequireHandle();
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (Graphic == nullptr || Graphic->Empty()) return;
  RequireHandle();
  Graphic->Draw(this, Rect);
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  QPainter* p = Painter(RequireHandle());
  const QImage* src = Canvas != nullptr ? DeviceImage(Canvas) : nullptr;
  if (src == nullptr) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  QImage part = SourcePart(*src, Source);
  p->save();
  p->setCompositionMode(CopyModeComposition(copy_mode_));
  p->drawImage(ToQRect(Dest), part);
  p->restore();
}

void TCanvas::BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color) {
  QPainter* p = Painter(RequireHandle());
  if (Bitmap == nullptr || Bitmap->Empty()) return;
  QImage part = SourcePart(BitmapImage(Bitmap), Source).convertToFormat(QImage::Format_ARGB32);
  int32_t key = ColorToRGB(Color);
  QRgb fill = brush_->Style() == bsClear ? 0 : ToQColor(brush_->Color()).rgba();
  for (int y = 0; y < part.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
    for (int x = 0; x < part.width(); ++x) {
      if (static_cast<int32_t>(FromQColor(QColor::fromRgb(line[x]))) == key) line[x] = fill;
    }
  }
  p->save();
  p->drawImage(ToQRect(Dest), part);
  p->restore();
}
