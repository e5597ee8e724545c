// GDI objects, device contexts, mapping, state, regions and clipping, and
// the system's colours and metrics.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QStyleHints>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtGraphics.h"

// ---------------------------------------------------------------------------
// Live objects

namespace {

std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<const HGDIOBJ__*>& LiveSet() {
  static std::unordered_set<const HGDIOBJ__*> set;
  return set;
}

}  // namespace

HGDIOBJ__::HGDIOBJ__() {
  std::lock_guard guard(LiveLock());
  LiveSet().insert(this);
}

HGDIOBJ__::~HGDIOBJ__() {
  std::lock_guard guard(LiveLock());
  LiveSet().erase(this);
}

bool IsLiveObject(const HGDIOBJ__* Object) {
  if (Object == nullptr) return false;
  std::lock_guard guard(LiveLock());
  return LiveSet().count(Object) != 0;
}

QColor QColorOfRef(COLORREF C) { return QColor(GetRValue(C), GetGValue(C), GetBValue(C)); }
COLORREF RefOfQColor(const QColor& C) { return static_cast<COLORREF>(FromQColor(C)); }

QFont QFontOfLogFont(const LOGFONT& F) {
  TFont font;
  if (!F.lfFaceName.empty()) font.SetName(F.lfFaceName);
  if (F.lfHeight != 0) font.SetHeight(F.lfHeight);
  TFontStyles style;
  if (F.lfWeight >= 600) style.Include(fsBold);
  if (F.lfItalic) style.Include(fsItalic);
  if (F.lfUnderline) style.Include(fsUnderline);
  if (F.lfStrikeOut) style.Include(fsStrikeOut);
  font.SetStyle(style);
  if ((F.lfPitchAndFamily & 0x3) == FIXED_PITCH) font.SetPitch(fpFixed);
  return ToQFont(font);
}

// ---------------------------------------------------------------------------
// Creation

HPEN CreatePen(int Style, int Width, COLORREF Color) {
  auto* pen = new HPEN__;
  pen->pen.style = static_cast<DWORD>(Style) & PS_STYLE_MASK;
  pen->pen.width = std::max(Width, 0);
  pen->pen.color = QColorOfRef(Color);
  return pen;
}

HPEN ExtCreatePen(DWORD Style, DWORD Width, const LOGBRUSH& Brush, DWORD StyleCount, const DWORD* Styles) {
  bool geometric = (Style & PS_TYPE_MASK) == PS_GEOMETRIC;
  if (!geometric && Width != 1) return nullptr;  // a cosmetic pen is one pixel wide
  if ((Style & PS_STYLE_MASK) == PS_USERSTYLE && (StyleCount == 0 || StyleCount > 16 || Styles == nullptr))
    return nullptr;
  auto* pen = new HPEN__;
  pen->pen.style = Style;
  pen->pen.width = static_cast<int>(std::min<DWORD>(Width, 4096));
  pen->pen.color = QColorOfRef(Brush.lbColor);
  if ((Style & PS_STYLE_MASK) == PS_USERSTYLE) pen->pen.dashes.assign(Styles, Styles + StyleCount);
  return pen;
}

HBRUSH CreateSolidBrush(COLORREF Color) {
  auto* brush = new HBRUSH__;
  brush->brush.color = QColorOfRef(Color);
  return brush;
}

HBRUSH CreateHatchBrush(int Hatch, COLORREF Color) {
  if (Hatch < HS_HORIZONTAL || Hatch > HS_DIAGCROSS) return nullptr;
  auto* brush = new HBRUSH__;
  brush->brush.style = BS_HATCHED;
  brush->brush.hatch = Hatch;
  brush->brush.color = QColorOfRef(Color);
  return brush;
}

HBRUSH CreatePatternBrush(HBITMAP Bitmap) {
  auto* bitmap = LiveAs<HBITMAP__>(Bitmap);
  if (bitmap == nullptr) return nullptr;
  auto* brush = new HBRUSH__;
  brush->brush.style = BS_PATTERN;
  brush->brush.pattern = bitmap->image.copy();
  brush->brush.mono = bitmap->mono;
  return brush;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& Brush) {
  switch (Brush.lbStyle) {
    case BS_SOLID: return CreateSolidBrush(Brush.lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(Brush.lbHatch), Brush.lbColor);
    case BS_NULL: {
      auto* brush = new HBRUSH__;
      brush->brush.style = BS_NULL;
      return brush;
    }
    default: return nullptr;
  }
}

HFONT CreateFontIndirect(const LOGFONT& Font) {
  auto* font = new HFONT__;
  font->font = Font;
  return font;
}

HBITMAP CreateCompatibleBitmap(HDC, int Width, int Height) {
  if (Width <= 0 || Height <= 0 || Width > 32767 || Height > 32767) return nullptr;
  auto* bitmap = new HBITMAP__;
  bitmap->image = QImage(Width, Height, QImage::Format_ARGB32_Premultiplied);
  if (bitmap->image.isNull()) {
    delete bitmap;
    return nullptr;
  }
  bitmap->image.fill(QColor(Qt::black));
  return bitmap;
}

HBITMAP CreateBitmap(int Width, int Height, UINT Planes, UINT BitsPerPixel, const void* Bits) {
  if (Planes != 1 || (BitsPerPixel != 1 && BitsPerPixel != 32)) return nullptr;
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, Width, Height);
  if (bitmap == nullptr) return nullptr;
  bitmap->mono = BitsPerPixel == 1;
  if (Bits == nullptr) return bitmap;
  const auto* bytes = static_cast<const uint8_t*>(Bits);
  for (int y = 0; y < Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(bitmap->image.scanLine(y));
    if (bitmap->mono) {
      int stride = (Width + 15) / 16 * 2;
      for (int x = 0; x < Width; ++x) {
        bool white = (bytes[y * stride + x / 8] >> (7 - x % 8)) & 1;
        line[x] = white ? 0xFFFFFFFFu : 0xFF000000u;
      }
    } else {
      const auto* px = reinterpret_cast<const uint32_t*>(bytes) + static_cast<size_t>(y) * Width;
      for (int x = 0; x < Width; ++x) line[x] = px[x] | 0xFF000000u;
    }
  }
  return bitmap;
}

namespace {

HBITMAP BitmapOf(const QImage& Image) {
  if (Image.isNull()) return nullptr;
  auto* bitmap = new HBITMAP__;
  bitmap->image = Image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return bitmap;
}

HBITMAP LoadResourceBitmap(const std::function<void(TBitmap&)>& Load) {
  TBitmap b;
  try {
    Load(b);
  } catch (const Exception&) {
    return nullptr;
  }
  return BitmapOf(BitmapImage(&b));
}

HBITMAP CheckBoxesBitmap() {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 52, 39);
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(bitmap));
  static const UINT rows[] = {DFCS_BUTTONCHECK, DFCS_BUTTONCHECK, DFCS_BUTTONCHECK | DFCS_BUTTON3STATE};
  static const UINT cols[] = {0, DFCS_CHECKED, DFCS_PUSHED, DFCS_PUSHED | DFCS_CHECKED};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      TRect cell = Bounds(c * 13, r * 13, 13, 13);
      DrawFrameControl(dc, cell, DFC_BUTTON, rows[r] | cols[c]);
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

HBITMAP LoadBitmap(HMODULE Instance, const String& Name) {
  return LoadResourceBitmap([&](TBitmap& b) { b.LoadFromResourceName(Instance, Name); });
}

HBITMAP LoadBitmap(HMODULE Instance, uint16_t Id) {
  if (HBITMAP b = LoadResourceBitmap([&](TBitmap& b) { b.LoadFromResourceID(Instance, Id); })) return b;
  return Instance == nullptr && Id == OBM_CHECKBOXES ? CheckBoxesBitmap() : nullptr;
}

namespace {

template <class T>
T* Stock(T* object) {
  object->stock = true;
  return object;
}

HGDIOBJ MakeStock(int Object) {
  switch (Object) {
    case WHITE_BRUSH: return Stock(CreateSolidBrush(0xFFFFFF));
    case LTGRAY_BRUSH: return Stock(CreateSolidBrush(0xC0C0C0));
    case GRAY_BRUSH: return Stock(CreateSolidBrush(0x808080));
    case DKGRAY_BRUSH: return Stock(CreateSolidBrush(0x404040));
    case BLACK_BRUSH: return Stock(CreateSolidBrush(0));
    case NULL_BRUSH: {
      LOGBRUSH b;
      b.lbStyle = BS_NULL;
      return Stock(CreateBrushIndirect(b));
    }
    case WHITE_PEN: return Stock(CreatePen(PS_SOLID, 0, 0xFFFFFF));
    case BLACK_PEN: return Stock(CreatePen(PS_SOLID, 0, 0));
    case NULL_PEN: return Stock(CreatePen(PS_NULL, 0, 0));
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: {
      LOGFONT f;
      f.lfHeight = -11;
      f.lfFaceName = "Tahoma";
      return Stock(CreateFontIndirect(f));
    }
    default: return nullptr;
  }
}

}  // namespace

HGDIOBJ GetStockObject(int Object) {
  static std::mutex lock;
  static HGDIOBJ made[DEFAULT_GUI_FONT + 1] = {};
  if (Object < 0 || Object > DEFAULT_GUI_FONT) return nullptr;
  std::lock_guard guard(lock);
  if (made[Object] == nullptr) made[Object] = MakeStock(Object);
  return made[Object];
}

HBRUSH GetSysColorBrush(int Index) {
  static std::mutex lock;
  static HBRUSH made[31] = {};
  if (Index < 0 || Index > 30) return nullptr;
  std::lock_guard guard(lock);
  if (made[Index] == nullptr) made[Index] = Stock(CreateSolidBrush(0));
  // The colour follows the palette.
  made[Index]->brush.color = QColorOfRef(GetSysColor(Index));
  return made[Index];
}

bool DeleteObject(HGDIOBJ Object) {
  if (!IsLiveObject(Object)) return false;
  if (Object->stock) return true;
  if (auto* bitmap = dynamic_cast<HBITMAP__*>(Object); bitmap != nullptr && bitmap->selected_in != nullptr)
    return false;
  delete Object;
  return true;
}

bool GetObject(HFONT Font, LOGFONT* Result) {
  auto* f = LiveAs<HFONT__>(Font);
  if (f == nullptr || Result == nullptr) return false;
  *Result = f->font;
  return true;
}

bool GetObject(HPEN Pen, LOGPEN* Result) {
  auto* p = LiveAs<HPEN__>(Pen);
  if (p == nullptr || Result == nullptr) return false;
  Result->lopnStyle = p->pen.style;
  Result->lopnWidth = {p->pen.width, 0};
  Result->lopnColor = RefOfQColor(p->pen.color);
  return true;
}

bool GetObject(HBRUSH Brush, LOGBRUSH* Result) {
  auto* b = LiveAs<HBRUSH__>(Brush);
  if (b == nullptr || Result == nullptr) return false;
  Result->lbStyle = b->brush.style;
  Result->lbColor = RefOfQColor(b->brush.color);
  Result->lbHatch = b->brush.hatch;
  return true;
}

bool GetObject(HBITMAP Bitmap, BITMAP* Result) {
  auto* b = LiveAs<HBITMAP__>(Bitmap);
  if (b == nullptr || Result == nullptr) return false;
  Result->bmWidth = b->image.width();
  Result->bmHeight = b->image.height();
  Result->bmBitsPixel = b->mono ? 1 : 32;
  Result->bmWidthBytes = b->mono ? (b->image.width() + 15) / 16 * 2 : b->image.width() * 4;
  Result->bmPlanes = 1;
  return true;
}

// ---------------------------------------------------------------------------
// Device contexts

HDC__::HDC__() = default;

HDC__::~HDC__() {
  if (own_painter != nullptr && own_painter->isActive()) own_painter->end();
  if (bitmap != nullptr && IsLiveObject(bitmap)) bitmap->selected_in = nullptr;
}

namespace {

// Points the memory DC's painter at Bitmap.
void BindBitmap(HDC DC, HBITMAP Bitmap) {
  if (DC->own_painter != nullptr && DC->own_painter->isActive()) DC->own_painter->end();
  if (DC->bitmap != nullptr && IsLiveObject(DC->bitmap)) DC->bitmap->selected_in = nullptr;
  DC->bitmap = Bitmap;
  Bitmap->selected_in = DC;
  DC->own_painter = std::make_unique<QPainter>(&Bitmap->image);
  DC->painter = DC->own_painter.get();
  DC->base_taken = false;
  DC->saved.clear();
  ApplyMapping(DC);
}

void SelectFont(HDC DC, HFONT__& F) {
  if (!F.qfont) F.qfont = QFontOfLogFont(F.font);
  DC->sel.font = *F.qfont;
  DC->sel.escapement = F.font.lfEscapement;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  EnsureGuiApplication();
  HDC dc = new HDC__;
  dc->memory = true;
  dc->default_bitmap.reset(CreateBitmap(1, 1, 1, 1, nullptr));
  dc->default_bitmap->stock = true;
  dc->sel.font_handle = GetStockObject(SYSTEM_FONT);
  SelectFont(dc, *static_cast<HFONT__*>(dc->sel.font_handle));
  dc->sel.pen_handle = GetStockObject(BLACK_PEN);
  dc->sel.brush_handle = GetStockObject(WHITE_BRUSH);
  BindBitmap(dc, dc->default_bitmap.get());
  return dc;
}

bool DeleteDC(HDC DC) {
  if (DC == nullptr || !(DC->memory || DC->screen)) return false;
  delete DC;
  return true;
}

HDC GetDC(HWND Window) {
  if (Window != nullptr) return nullptr;  // window DCs exist only while the window paints
  EnsureGuiApplication();
  HDC dc = new HDC__;
  dc->screen = true;
  dc->sel.font_handle = GetStockObject(SYSTEM_FONT);
  SelectFont(dc, *static_cast<HFONT__*>(dc->sel.font_handle));
  return dc;
}

int ReleaseDC(HWND, HDC DC) {
  if (DC == nullptr || !DC->screen) return 0;
  delete DC;
  return 1;
}

QSize DeviceSize(HDC DC) {
  if (DC == nullptr) return {};
  if (DC->screen) {
    QScreen* screen = GuiApplicationExists() ? QGuiApplication::primaryScreen() : nullptr;
    return screen != nullptr ? screen->size() : QSize(1024, 768);
  }
  if (DC->painter == nullptr || DC->painter->device() == nullptr) return {};
  return {DC->painter->device()->width(), DC->painter->device()->height()};
}

int GetDeviceCaps(HDC DC, int Index) {
  switch (Index) {
    case NUMCOLORS: return -1;
    case BITSPIXEL: return DC != nullptr && DC->memory && DC->bitmap != nullptr && DC->bitmap->mono ? 1 : 32;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case HORZRES: return DeviceSize(DC).width();
    case VERTRES: return DeviceSize(DC).height();
    default: return 0;
  }
}

COLORREF GetNearestColor(HDC DC, COLORREF Color) { return DC == nullptr ? 0xFFFFFFFFu : Color & 0xFFFFFF; }

HPEN GetStockPen(int Object) { return dynamic_cast<HPEN>(GetStockObject(Object)); }
HBRUSH GetStockBrush(int Object) { return dynamic_cast<HBRUSH>(GetStockObject(Object)); }
HFONT GetStockFont(int Object) { return dynamic_cast<HFONT>(GetStockObject(Object)); }
bool DeleteObject(HPEN Object) { return DeleteObject(static_cast<HGDIOBJ>(Object)); }
bool DeleteObject(HBRUSH Object) { return DeleteObject(static_cast<HGDIOBJ>(Object)); }
bool DeleteObject(HFONT Object) { return DeleteObject(static_cast<HGDIOBJ>(Object)); }
bool DeleteObject(HBITMAP Object) { return DeleteObject(static_cast<HGDIOBJ>(Object)); }
bool DeleteObject(HRGN Object) { return DeleteObject(static_cast<HGDIOBJ>(Object)); }

HPEN SelectObject(HDC DC, HPEN Object) {
  return dynamic_cast<HPEN>(SelectObject(DC, static_cast<HGDIOBJ>(Object)));
}
HBRUSH SelectObject(HDC DC, HBRUSH Object) {
  return dynamic_cast<HBRUSH>(SelectObject(DC, static_cast<HGDIOBJ>(Object)));
}
HFONT SelectObject(HDC DC, HFONT Object) {
  return dynamic_cast<HFONT>(SelectObject(DC, static_cast<HGDIOBJ>(Object)));
}
HBITMAP SelectObject(HDC DC, HBITMAP Object) {
  return dynamic_cast<HBITMAP>(SelectObject(DC, static_cast<HGDIOBJ>(Object)));
}
int SelectObject(HDC DC, HRGN Object) { return SelectClipRgn(DC, Object); }

HGDIOBJ SelectObject(HDC DC, HGDIOBJ Object) {
  if (DC == nullptr || !IsLiveObject(Object)) return nullptr;
  HDC__::Selected& sel = DC->sel;
  HGDIOBJ old = nullptr;
  if (auto* pen = dynamic_cast<HPEN__*>(Object)) {
    old = sel.pen_handle;
    sel.pen = pen->pen;
    sel.pen_handle = pen;
  } else if (auto* brush = dynamic_cast<HBRUSH__*>(Object)) {
    old = sel.brush_handle;
    sel.brush = brush->brush;
    sel.brush_handle = brush;
  } else if (auto* font = dynamic_cast<HFONT__*>(Object)) {
    old = sel.font_handle;
    SelectFont(DC, *font);
    sel.font_handle = font;
  } else if (auto* bitmap = dynamic_cast<HBITMAP__*>(Object)) {
    if (!DC->memory) return nullptr;
    if (bitmap->selected_in != nullptr && bitmap->selected_in != DC) return nullptr;
    old = DC->bitmap;
    if (bitmap != DC->bitmap) BindBitmap(DC, bitmap);
  } else {
    return nullptr;  // regions: SelectObject(HDC, HRGN)
  }
  // An object freed while selected is not handed back.
  return IsLiveObject(old) ? old : nullptr;
}

// ---------------------------------------------------------------------------
// Mapping

QTransform MappingOf(HDC DC) {
  const HDC__::Selected& s = DC->sel;
  double sx = 1, sy = 1;
  if (s.map_mode != MM_TEXT && s.window_ext.cx != 0 && s.window_ext.cy != 0) {
    sx = static_cast<double>(s.viewport_ext.cx) / s.window_ext.cx;
    sy = static_cast<double>(s.viewport_ext.cy) / s.window_ext.cy;
  }
  double dx = s.viewport_org.X - s.window_org.X * sx;
  double dy = s.viewport_org.Y - s.window_org.Y * sy;
  if (s.layout & LAYOUT_RTL) {
    int w = DeviceSize(DC).width();
    sx = -sx;
    dx = w - dx;
  }
  return QTransform(sx, 0, 0, sy, dx, dy);
}

void ApplyMapping(HDC DC) {
  QPainter* p = DC->painter;
  if (p == nullptr || !p->isActive()) return;
  if (!DC->base_taken) {
    // Until now the painter's transform held no mapping of ours.
    DC->base = p->worldTransform();
    DC->base_taken = true;
  }
  p->setWorldTransform(MappingOf(DC) * DC->base);
}

bool Mirrored(HDC DC) {
  QPainter* p = DC != nullptr ? DC->painter : nullptr;
  return p != nullptr && p->worldTransform().m11() < 0;
}

namespace {

template <class F>
bool ChangeMapping(HDC DC, F change) {
  if (DC == nullptr) return false;
  change(DC->sel);
  ApplyMapping(DC);
  return true;
}

}  // namespace

int SetMapMode(HDC DC, int Mode) {
  if (DC == nullptr || (Mode != MM_TEXT && Mode != MM_ISOTROPIC && Mode != MM_ANISOTROPIC)) return 0;
  int old = DC->sel.map_mode;
  ChangeMapping(DC, [Mode](HDC__::Selected& s) {
    s.map_mode = Mode;
    if (Mode == MM_TEXT) s.window_ext = s.viewport_ext = {1, 1};
  });
  return old;
}

int GetMapMode(HDC DC) { return DC == nullptr ? 0 : DC->sel.map_mode; }

bool SetWindowOrgEx(HDC DC, int X, int Y, TPoint* Previous) {
  if (DC != nullptr && Previous != nullptr) *Previous = DC->sel.window_org;
  return ChangeMapping(DC, [X, Y](HDC__::Selected& s) { s.window_org = {X, Y}; });
}

bool SetViewportOrgEx(HDC DC, int X, int Y, TPoint* Previous) {
  if (DC != nullptr && Previous != nullptr) *Previous = DC->sel.viewport_org;
  return ChangeMapping(DC, [X, Y](HDC__::Selected& s) { s.viewport_org = {X, Y}; });
}

bool SetWindowExtEx(HDC DC, int X, int Y, TSize* Previous) {
  if (DC != nullptr && Previous != nullptr) *Previous = DC->sel.window_ext;
  if (X == 0 || Y == 0) return false;
  return ChangeMapping(DC, [X, Y](HDC__::Selected& s) {
    if (s.map_mode != MM_TEXT) s.window_ext = {X, Y};
  });
}

bool SetViewportExtEx(HDC DC, int X, int Y, TSize* Previous) {
  if (DC != nullptr && Previous != nullptr) *Previous = DC->sel.viewport_ext;
  if (X == 0 || Y == 0) return false;
  return ChangeMapping(DC, [X, Y](HDC__::Selected& s) {
    if (s.map_mode != MM_TEXT) s.viewport_ext = {X, Y};
  });
}

bool GetWindowOrgEx(HDC DC, TPoint* Result) {
  if (DC == nullptr || Result == nullptr) return false;
  *Result = DC->sel.window_org;
  return true;
}

bool GetViewportOrgEx(HDC DC, TPoint* Result) {
  if (DC == nullptr || Result == nullptr) return false;
  *Result = DC->sel.viewport_org;
  return true;
}

DWORD SetLayout(HDC DC, DWORD Layout) {
  if (DC == nullptr) return GDI_ERROR;
  DWORD old = DC->sel.layout;
  ChangeMapping(DC, [Layout](HDC__::Selected& s) { s.layout = Layout & (LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED); });
  return old;
}

DWORD GetLayout(HDC DC) { return DC == nullptr ? GDI_ERROR : DC->sel.layout; }

namespace {

bool MapPoints(HDC DC, TPoint* Points, int Count, bool Inverse) {
  if (DC == nullptr || Points == nullptr || Count < 0) return false;
  QTransform m = MappingOf(DC);
  if (Inverse) m = m.inverted();
  for (int i = 0; i < Count; ++i) {
    QPointF p = m.map(QPointF(Points[i].X, Points[i].Y));
    Points[i] = {static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
  }
  return true;
}

}  // namespace

bool LPtoDP(HDC DC, TPoint* Points, int Count) { return MapPoints(DC, Points, Count, false); }
bool DPtoLP(HDC DC, TPoint* Points, int Count) { return MapPoints(DC, Points, Count, true); }

// ---------------------------------------------------------------------------
// State

int SaveDC(HDC DC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return 0;
  p->save();
  DC->saved.push_back(DC->sel);
  return static_cast<int>(DC->saved.size());
}

bool RestoreDC(HDC DC, int SavedDC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return false;
  int levels = static_cast<int>(DC->saved.size());
  int target = SavedDC < 0 ? levels + SavedDC : SavedDC - 1;
  if (target < 0 || target >= levels) return false;
  while (static_cast<int>(DC->saved.size()) > target) {
    DC->sel = DC->saved.back();
    DC->saved.pop_back();
    p->restore();
  }
  return true;
}

// ---------------------------------------------------------------------------
// Regions

namespace {

QRect RectOf(int Left, int Top, int Right, int Bottom) {
  return QRect(QPoint(std::min(Left, Right), std::min(Top, Bottom)),
               QPoint(std::max(Left, Right) - 1, std::max(Top, Bottom) - 1));
}

int KindOf(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect FromQRect(const QRect& b) { return {b.left(), b.top(), b.left() + b.width(), b.top() + b.height()}; }

}  // namespace

HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom) {
  auto* r = new HRGN__;
  r->region = QRegion(RectOf(Left, Top, Right, Bottom));
  return r;
}

HRGN CreateRectRgnIndirect(const TRect& R) { return CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom); }

HRGN CreatePolygonRgn(const TPoint* Points, int Count, int FillMode) {
  if (Points == nullptr || Count < 0 || (FillMode != ALTERNATE && FillMode != WINDING)) return nullptr;
  QPolygon poly;
  for (int i = 0; i < Count; ++i) poly << QPoint(Points[i].X, Points[i].Y);
  auto* r = new HRGN__;
  r->region = QRegion(poly, FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  return r;
}

int CombineRgn(HRGN Dest, HRGN Source1, HRGN Source2, int Mode) {
  auto* d = LiveAs<HRGN__>(Dest);
  auto* a = LiveAs<HRGN__>(Source1);
  auto* b = LiveAs<HRGN__>(Source2);
  if (d == nullptr || a == nullptr || (Mode != RGN_COPY && b == nullptr)) return ERROR;
  switch (Mode) {
    case RGN_AND: d->region = a->region.intersected(b->region); break;
    case RGN_OR: d->region = a->region.united(b->region); break;
    case RGN_XOR: d->region = a->region.xored(b->region); break;
    case RGN_DIFF: d->region = a->region.subtracted(b->region); break;
    case RGN_COPY: d->region = a->region; break;
    default: return ERROR;
  }
  return KindOf(d->region);
}

int OffsetRgn(HRGN Region, int DX, int DY) {
  auto* r = LiveAs<HRGN__>(Region);
  if (r == nullptr) return ERROR;
  r->region.translate(DX, DY);
  return KindOf(r->region);
}

int GetRgnBox(HRGN Region, TRect* Rect) {
  auto* r = LiveAs<HRGN__>(Region);
  if (r == nullptr || Rect == nullptr) return ERROR;
  *Rect = r->region.isEmpty() ? TRect{} : FromQRect(r->region.boundingRect());
  return KindOf(r->region);
}

bool PtInRegion(HRGN Region, int X, int Y) {
  auto* r = LiveAs<HRGN__>(Region);
  return r != nullptr && r->region.contains(QPoint(X, Y));
}

bool EqualRgn(HRGN A, HRGN B) {
  auto* a = LiveAs<HRGN__>(A);
  auto* b = LiveAs<HRGN__>(B);
  return a != nullptr && b != nullptr && a->region == b->region;
}

bool SetRectRgn(HRGN Region, int Left, int Top, int Right, int Bottom) {
  auto* r = LiveAs<HRGN__>(Region);
  if (r == nullptr) return false;
  r->region = QRegion(RectOf(Left, Top, Right, Bottom));
  return true;
}

// ---------------------------------------------------------------------------
// Clipping: the painter keeps its clip in logical coordinates of the
// transform in force when it was set; regions of the calls are device ones.

namespace {

QPainter* ActivePainter(HDC DC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  return p != nullptr && p->isActive() ? p : nullptr;
}

QRegion DeviceRegion(HDC DC) {
  QSize s = DeviceSize(DC);
  return QRegion(0, 0, s.width(), s.height());
}

// The clip in device coordinates (the whole device without one).
QRegion DeviceClip(HDC DC, QPainter* p) {
  if (!p->hasClipping()) return DeviceRegion(DC);
  return MappingOf(DC).map(p->clipRegion());
}

// Sets a clip given in device coordinates.
int SetDeviceClip(HDC DC, QPainter* p, const QRegion& r) {
  p->setClipRegion(MappingOf(DC).inverted().map(r));
  return KindOf(r);
}

int NarrowClip(HDC DC, int Left, int Top, int Right, int Bottom, bool Exclude) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr) return ERROR;
  QRegion r = MappingOf(DC).map(QRegion(RectOf(Left, Top, Right, Bottom)));
  QRegion clip = DeviceClip(DC, p);
  return SetDeviceClip(DC, p, Exclude ? clip.subtracted(r) : clip.intersected(r));
}

}  // namespace

int IntersectClipRect(HDC DC, int Left, int Top, int Right, int Bottom) {
  return NarrowClip(DC, Left, Top, Right, Bottom, false);
}

int ExcludeClipRect(HDC DC, int Left, int Top, int Right, int Bottom) {
  return NarrowClip(DC, Left, Top, Right, Bottom, true);
}

int SelectClipRgn(HDC DC, HRGN Region) { return ExtSelectClipRgn(DC, Region, RGN_COPY); }

int ExtSelectClipRgn(HDC DC, HRGN Region, int Mode) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr) return ERROR;
  auto* r = LiveAs<HRGN__>(Region);
  if (r == nullptr) {
    if (Region != nullptr || Mode != RGN_COPY) return ERROR;
    p->setClipping(false);
    return SIMPLEREGION;
  }
  QRegion clip = DeviceClip(DC, p);
  switch (Mode) {
    case RGN_AND: return SetDeviceClip(DC, p, clip.intersected(r->region));
    case RGN_OR: return SetDeviceClip(DC, p, clip.united(r->region));
    case RGN_XOR: return SetDeviceClip(DC, p, clip.xored(r->region));
    case RGN_DIFF: return SetDeviceClip(DC, p, clip.subtracted(r->region));
    case RGN_COPY: return SetDeviceClip(DC, p, r->region);
    default: return ERROR;
  }
}

int GetClipRgn(HDC DC, HRGN Region) {
  QPainter* p = ActivePainter(DC);
  auto* r = LiveAs<HRGN__>(Region);
  if (p == nullptr || r == nullptr) return -1;
  if (!p->hasClipping()) return 0;
  r->region = DeviceClip(DC, p);
  return 1;
}

int GetClipBox(HDC DC, TRect* Rect) {
  QPainter* p = ActivePainter(DC);
  if (p == nullptr || Rect == nullptr) return ERROR;
  QRegion device = DeviceClip(DC, p);
  QRect b = MappingOf(DC).inverted().mapRect(device.boundingRect());
  *Rect = device.isEmpty() ? TRect{} : FromQRect(b);
  return KindOf(device);
}

// ---------------------------------------------------------------------------
// System colours and metrics

COLORREF GetSysColor(int Index) {
  if (Index < 0 || Index > 30) return 0;
  return static_cast<COLORREF>(ColorToRGB(static_cast<TColor>(clSystemColor | Index)));
}

int GetSystemMetrics(int Index) {
  bool app = GuiApplicationExists();
  auto* widgets = qobject_cast<QApplication*>(QCoreApplication::instance());
  auto scroll = [&] {
    return widgets != nullptr && widgets->style() != nullptr ? widgets->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                                                             : 17;
  };
  QStyleHints* hints = app ? QGuiApplication::styleHints() : nullptr;
  QScreen* screen = app ? QGuiApplication::primaryScreen() : nullptr;
  switch (Index) {
    case SM_CXSCREEN: return screen != nullptr ? screen->size().width() : 1024;
    case SM_CYSCREEN: return screen != nullptr ? screen->size().height() : 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return scroll();
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CYCAPTION: return 22;
    case SM_CYMENU: return 20;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 2 * (hints != nullptr ? hints->mouseDoubleClickDistance() : 2);
    case SM_CXDRAG:
    case SM_CYDRAG: return 2 * (hints != nullptr ? hints->startDragDistance() : 2);
    default: return 0;
  }
}

UINT GetDoubleClickTime() {
  QStyleHints* hints = GuiApplicationExists() ? QGuiApplication::styleHints() : nullptr;
  return hints != nullptr ? static_cast<UINT>(hints->mouseDoubleClickInterval()) : 500;
}
