// Internal: the Qt side of the graphics layer, shared by the .cpp files of
// platform/gui that draw (Qt types are allowed here; no public header
// includes this one).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

#include "platform/gui/GDI.h"
#include "platform/gui/Graphics.h"

// ---------------------------------------------------------------------------
// GDI objects

// Every object registers itself as live while it exists; calls refuse
// handles that are not live (freed ones).
struct HGDIOBJ__ {
  HGDIOBJ__();
  virtual ~HGDIOBJ__();
  HGDIOBJ__(const HGDIOBJ__&) = delete;
  HGDIOBJ__& operator=(const HGDIOBJ__&) = delete;
  bool stock = false;  // never freed
};
bool IsLiveObject(const HGDIOBJ__* Object);
// The object as type T when it is live and of that type.
template <class T>
T* LiveAs(const HGDIOBJ__* Object) {
  return IsLiveObject(Object) ? dynamic_cast<T*>(const_cast<HGDIOBJ__*>(Object)) : nullptr;
}

struct PenSpec {
  DWORD style = PS_SOLID;  // style, end cap, join and type bits
  int width = 1;
  QColor color = Qt::black;
  std::vector<DWORD> dashes;  // PS_USERSTYLE
  bool Null() const { return (style & PS_STYLE_MASK) == PS_NULL; }
  // Drawn pixel by pixel (one pixel wide).
  bool Cosmetic() const { return (style & PS_TYPE_MASK) != PS_GEOMETRIC && width <= 1; }
};

struct BrushSpec {
  UINT style = BS_SOLID;
  QColor color = Qt::white;
  int hatch = 0;
  QImage pattern;  // BS_PATTERN
  bool mono = false;  // pattern black/white take the text/background colour
};

struct HPEN__ : HGDIOBJ__ {
  PenSpec pen;
};
struct HBRUSH__ : HGDIOBJ__ {
  BrushSpec brush;
};
struct HFONT__ : HGDIOBJ__ {
  LOGFONT font;
  std::optional<QFont> qfont;  // made on first selection
};
struct HBITMAP__ : HGDIOBJ__ {
  QImage image;        // ARGB32 premultiplied
  bool mono = false;   // only black and white pixels
  HDC selected_in = nullptr;
};
struct HRGN__ : HGDIOBJ__ {
  QRegion region;
};

QFont QFontOfLogFont(const LOGFONT& Font);
QColor QColorOfRef(COLORREF Color);
COLORREF RefOfQColor(const QColor& Color);

// ---------------------------------------------------------------------------
// Device contexts

// A device context: a painter and the objects selected into it. TCanvas
// selects its font, pen and brush handles and colours into it whenever its
// Handle is taken, so the GDI calls (GDI.h) draw as the canvas would.
struct HDC__ {
  struct Selected {
    QFont font;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    QColor text_color = Qt::black;
    QColor bk_color = Qt::white;
    bool opaque = true;  // background mode OPAQUE (else TRANSPARENT)
    PenSpec pen;
    BrushSpec brush;
    HGDIOBJ font_handle = nullptr, pen_handle = nullptr, brush_handle = nullptr;
    UINT text_align = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    TPoint position;   // current position (MoveToEx)
    int style_pos = 0;  // cosmetic pen style position along the current line
    int map_mode = MM_TEXT;
    TPoint window_org, viewport_org;
    TSize window_ext{1, 1}, viewport_ext{1, 1};
    DWORD layout = 0;
  };
  HDC__();
  ~HDC__();
  HDC__(const HDC__&) = delete;
  HDC__& operator=(const HDC__&) = delete;

  QPainter* painter = nullptr;
  Selected sel;
  std::vector<Selected> saved;  // SaveDC levels (the painter saves in step)
  // The painter's transform before any mapping was applied.
  QTransform base;
  bool base_taken = false;
  // Memory and screen DCs (CreateCompatibleDC, GetDC): their own painter
  // over the selected bitmap.
  bool memory = false;
  bool screen = false;
  std::unique_ptr<QPainter> own_painter;
  HBITMAP bitmap = nullptr;
  std::unique_ptr<HBITMAP__> default_bitmap;
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
// The Qt brush of a brush spec on a DC (mono patterns coloured, hatches).
QBrush QBrushOf(HDC DC, const BrushSpec& Brush);

// The logical-to-device mapping of a DC (mapping mode, origins, extents and
// layout), and the painter's transform made from it.
QTransform MappingOf(HDC DC);
void ApplyMapping(HDC DC);
// True when the DC's painter mirrors the x axis.
bool Mirrored(HDC DC);
// The DC's device size (0 x 0 without a device).
QSize DeviceSize(HDC DC);

// The pixels of a bitmap (ARGB32 premultiplied). Ends a drawing in progress
// on the bitmap's canvas first, so that the image may be read or replaced.
QImage& BitmapImage(TBitmap* Bitmap);
// Replaces a bitmap's pixels (converted to ARGB32 premultiplied).
void SetBitmapImage(TBitmap* Bitmap, const QImage& Image);
// A graphic's pixels as an image (its transparent colour made transparent
// when the graphic is transparent).
QImage GraphicImage(TGraphic* Graphic);
