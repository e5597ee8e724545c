// Internal: the Qt side of the graphics layer, shared by the .cpp files of
// platform/gui that draw (Qt types are allowed here; no public header
// includes this one).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <vector>

#include "platform/gui/Graphics.h"

// A device context: a painter and the objects selected into it. TCanvas
// selects its font and brush colours into it whenever its Handle is taken,
// so the GDI calls (GDI.h) draw with the canvas's font and colours.
struct HDC__ {
  struct Selected {
    QFont font;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    QColor text_color = Qt::black;
    QColor bk_color = Qt::white;
    bool opaque = true;  // background mode OPAQUE (else TRANSPARENT)
  };
  QPainter* painter = nullptr;
  Selected sel;
  std::vector<Selected> saved;  // SaveDC levels (the painter saves in step)
};

QColor ToQColor(TColor Color);
int32_t FromQColor(const QColor& Color);
QFont ToQFont(const TFont& Font);
QString ToQ(const String& S);
QPainter* Painter(HDC DC);
void ApplyPen(QPainter* Painter, const TPen& Pen);
void ApplyBrush(QPainter* Painter, const TBrush& Brush);
// The composition mode of a copy mode (cmSrcCopy, ...).
QPainter::CompositionMode CopyModeComposition(int32_t CopyMode);

// The pixels of a bitmap (ARGB32 premultiplied). Ends a drawing in progress
// on the bitmap's canvas first, so that the image may be read or replaced.
QImage& BitmapImage(TBitmap* Bitmap);
// Replaces a bitmap's pixels (converted to ARGB32 premultiplied).
void SetBitmapImage(TBitmap* Bitmap, const QImage& Image);
// A graphic's pixels as an image (its transparent colour made transparent
// when the graphic is transparent).
QImage GraphicImage(TGraphic* Graphic);
