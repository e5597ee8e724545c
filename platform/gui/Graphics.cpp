#include "platform/gui/Graphics.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtGraphics.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"

namespace {

const TIdentMapEntry kColors[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
};

const TIdentMapEntry kCharsets[] = {
    {ANSI_CHARSET, "ANSI_CHARSET"},         {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
    {SYMBOL_CHARSET, "SYMBOL_CHARSET"},     {MAC_CHARSET, "MAC_CHARSET"},
    {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"}, {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
    {JOHAB_CHARSET, "JOHAB_CHARSET"},       {GB2312_CHARSET, "GB2312_CHARSET"},
    {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"}, {GREEK_CHARSET, "GREEK_CHARSET"},
    {TURKISH_CHARSET, "TURKISH_CHARSET"},   {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
    {HEBREW_CHARSET, "HEBREW_CHARSET"},     {ARABIC_CHARSET, "ARABIC_CHARSET"},
    {BALTIC_CHARSET, "BALTIC_CHARSET"},     {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
    {THAI_CHARSET, "THAI_CHARSET"},         {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
    {OEM_CHARSET, "OEM_CHARSET"},
};

// Classic values of the system colours, $00BBGGRR, by index.
const int32_t kClassicSystemColors[31] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0,
};

}  // namespace

int32_t FromQColor(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

QColor ToQColor(TColor color) {
  int32_t rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

namespace {

bool PaletteRole(int index, QPalette::ColorGroup& group, QPalette::ColorRole& role) {
  group = QPalette::Active;
  switch (index) {
    case 4: role = QPalette::Window; return true;            // clMenu
    case 5: role = QPalette::Base; return true;              // clWindow
    case 6: role = QPalette::WindowText; return true;        // clWindowFrame
    case 7: role = QPalette::WindowText; return true;        // clMenuText
    case 8: role = QPalette::Text; return true;              // clWindowText
    case 13: role = QPalette::Highlight; return true;        // clHighlight
    case 14: role = QPalette::HighlightedText; return true;  // clHighlightText
    case 15: role = QPalette::Button; return true;           // clBtnFace
    case 16: role = QPalette::Dark; return true;             // clBtnShadow
    case 17:                                                 // clGrayText
      group = QPalette::Disabled;
      role = QPalette::Text;
      return true;
    case 18: role = QPalette::ButtonText; return true;  // clBtnText
    case 20: role = QPalette::Light; return true;       // clBtnHighlight
    case 21: role = QPalette::Shadow; return true;      // cl3DDkShadow
    case 22: role = QPalette::Midlight; return true;    // cl3DLight
    case 23: role = QPalette::ToolTipText; return true; // clInfoText
    case 24: role = QPalette::ToolTipBase; return true; // clInfoBk
    case 26: role = QPalette::Link; return true;        // clHotLight
    case 30: role = QPalette::Window; return true;      // clMenuBar
    default: return false;
  }
}

QApplication* g_ownApp = nullptr;

int g_argc = 1;
char g_arg0[] = "procview";
char* g_argv[] = {g_arg0, nullptr};

bool SameAscii(const String& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

QPainter* Painter(HDC dc) { return dc->painter; }

void ApplyPen(QPainter* p, const TPen& pen) {
  if (pen.Style() == psClear || pen.Mode() == pmNop) {
    p->setPen(Qt::NoPen);
    return;
  }
  QPen q(ToQColor(pen.Color()));
  q.setWidth(pen.Width() <= 1 ? 0 : pen.Width());  // width 0: cosmetic one-pixel lines
  switch (pen.Style()) {
    case psDash: q.setStyle(Qt::DashLine); break;
    case psDot: q.setStyle(Qt::DotLine); break;
    case psDashDot: q.setStyle(Qt::DashDotLine); break;
    case psDashDotDot: q.setStyle(Qt::DashDotDotLine); break;
    default: q.setStyle(Qt::SolidLine); break;
  }
  switch (pen.Mode()) {
    case pmBlack: q.setColor(Qt::black); break;
    case pmWhite: q.setColor(Qt::white); break;
    default: break;
  }
  p->setPen(q);
  switch (pen.Mode()) {
    case pmXor: p->setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case pmNotXor: p->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination); break;
    case pmNot: p->setCompositionMode(QPainter::RasterOp_NotDestination); break;
    case pmMask: p->setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
    case pmMerge: p->setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
    case pmNotCopy: p->setCompositionMode(QPainter::RasterOp_NotSource); break;
    default: p->setCompositionMode(QPainter::CompositionMode_SourceOver); break;
  }
}

void ApplyBrush(QPainter* p, const TBrush& brush) {
  if (brush.Style() == bsClear) {
    p->setBrush(Qt::NoBrush);
    return;
  }
  Qt::BrushStyle style = Qt::SolidPattern;
  switch (brush.Style()) {
    case bsHorizontal: style = Qt::HorPattern; break;
    case bsVertical: style = Qt::VerPattern; break;
    case bsFDiagonal: style = Qt::FDiagPattern; break;
    case bsBDiagonal: style = Qt::BDiagPattern; break;
    case bsCross: style = Qt::CrossPattern; break;
    case bsDiagCross: style = Qt::DiagCrossPattern; break;
    default: break;
  }
  p->setBrush(QBrush(ToQColor(brush.Color()), style));
}

QFont ToQFont(const TFont& font) {
  QFont f(QString::fromStdString(SubstituteFontName(font.Name())));
  f.setPixelSize(std::max(1, font.PixelHeight()));
  f.setBold(font.Style().Contains(fsBold));
  f.setItalic(font.Style().Contains(fsItalic));
  f.setUnderline(font.Style().Contains(fsUnderline));
  f.setStrikeOut(font.Style().Contains(fsStrikeOut));
  if (font.Pitch() == fpFixed) f.setFixedPitch(true);
  return f;
}

QString ToQ(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QPainter::CompositionMode CopyModeComposition(int32_t CopyMode) {
  switch (CopyMode) {
    case cmSrcAnd: return QPainter::RasterOp_SourceAndDestination;
    case cmSrcPaint: return QPainter::RasterOp_SourceOrDestination;
    case cmSrcInvert: return QPainter::RasterOp_SourceXorDestination;
    case cmNotSrcCopy: return QPainter::RasterOp_NotSource;
    case cmSrcErase: return QPainter::RasterOp_SourceAndNotDestination;
    case cmNotSrcErase: return QPainter::RasterOp_NotSourceAndNotDestination;
    case cmMergePaint: return QPainter::RasterOp_NotSourceOrDestination;
    case cmDstInvert: return QPainter::RasterOp_NotDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

std::span<const TIdentMapEntry> ColorIdents() { return kColors; }
std::span<const TIdentMapEntry> CharsetIdents() { return kCharsets; }

int32_t ColorToRGB(TColor Color) {
  auto value = static_cast<uint32_t>(Color);
  if ((value & 0xFF000000u) == 0xFF000000u) {
    int index = static_cast<int>(value & 0xFF);
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    if (GuiApplicationExists() && PaletteRole(index, group, role))
      return FromQColor(QGuiApplication::palette().color(group, role));
    if (index >= 0 && index < 31) return kClassicSystemColors[index];
    return 0;
  }
  return static_cast<int32_t>(value & 0x00FFFFFF);
}

bool ColorToIdent(int32_t Color, String& Ident) {
  return IntToIdent(TypeInfoOf(static_cast<TColor*>(nullptr)), Color, Ident);
}

bool IdentToColor(const String& Ident, int32_t& Color) {
  int64_t v = 0;
  if (!IdentToInt(TypeInfoOf(static_cast<TColor*>(nullptr)), Ident, v)) return false;
  Color = static_cast<int32_t>(v);
  return true;
}

String ColorToString(TColor Color) {
  String ident;
  if (ColorToIdent(Color, ident)) return ident;
  char buf[16];
  std::snprintf(buf, sizeof(buf), "$%.8X", static_cast<uint32_t>(Color));
  return buf;
}

TColor StringToColor(const String& S) {
  int32_t c = 0;
  if (IdentToColor(S, c)) return static_cast<TColor>(c);
  const char* p = S.c_str();
  int base = 10;
  if (*p == '$') {
    ++p;
    base = 16;
  }
  char* end = nullptr;
  long long v = std::strtoll(p, &end, base);
  if (end == p || *end != '\0') throw EConvertError("'%s' is not a valid integer value", {S});
  return static_cast<TColor>(static_cast<int32_t>(v));
}

namespace {

String FindSubstitute(const String& Name);

}  // namespace

String SubstituteFontName(const String& Name) {
  // Asking the font database costs a font-configuration lookup: remember answers.
  static std::mutex lock;
  static std::map<String, String> known;
  bool app = GuiApplicationExists();
  if (app) {
    std::lock_guard guard(lock);
    auto it = known.find(Name);
    if (it != known.end()) return it->second;
  }
  String family = FindSubstitute(Name);
  if (app) {
    std::lock_guard guard(lock);
    known[Name] = family;
  }
  return family;
}

namespace {

String FindSubstitute(const String& Name) {
  if (GuiApplicationExists() && QFontDatabase::hasFamily(ToQ(Name))) return Name;
  static const struct {
    const char* from;
    const char* to;
  } table[] = {
      {"Tahoma", "DejaVu Sans"},          {"MS Sans Serif", "DejaVu Sans"},
      {"Microsoft Sans Serif", "DejaVu Sans"}, {"MS Shell Dlg", "DejaVu Sans"},
      {"MS Shell Dlg 2", "DejaVu Sans"},  {"Arial", "DejaVu Sans"},
      {"Verdana", "DejaVu Sans"},         {"Segoe UI", "DejaVu Sans"},
      {"Courier New", "DejaVu Sans Mono"}, {"Courier", "DejaVu Sans Mono"},
      {"Lucida Console", "DejaVu Sans Mono"}, {"Fixedsys", "DejaVu Sans Mono"},
      {"Times New Roman", "DejaVu Serif"},
  };
  for (const auto& e : table) {
    if (SameAscii(Name, e.from)) return e.to;
  }
  return "DejaVu Sans";
}

}  // namespace

// ---------------------------------------------------------------------------
// Application object and device contexts

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  g_ownApp = new QApplication(g_argc, g_argv);
}

bool GuiApplicationExists() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

void DestroyGuiApplication() {
  if (g_ownApp == nullptr) return;
  // Window-system events still queued (pointer moves of the platform) name
  // devices that go with the application: handle them first, so that an
  // application made later does not meet them.
  QCoreApplication::processEvents();
  delete g_ownApp;
  g_ownApp = nullptr;
}

HDC CreatePainterDC(void* Painter) {
  HDC dc = new HDC__;
  dc->painter = static_cast<QPainter*>(Painter);
  return dc;
}
void DeletePainterDC(HDC DC) { delete DC; }
void* PainterOfDC(HDC DC) { return DC ? DC->painter : nullptr; }

void ApplyWidgetFont(QWidget* Widget, const TFont& Font) {
  Widget->setFont(ToQFont(Font));
  QPalette pal = Widget->palette();
  QColor text = ToQColor(Font.Color());
  pal.setColor(QPalette::WindowText, text);
  pal.setColor(QPalette::Text, text);
  pal.setColor(QPalette::ButtonText, text);
  Widget->setPalette(pal);
}

void ApplyWidgetColor(QWidget* Widget, TColor Color, bool Base, bool Fill) {
  if (Color == clNone || Color == clDefault) return;
  QPalette pal = Widget->palette();
  pal.setColor(Base ? QPalette::Base : QPalette::Window, ToQColor(Color));
  Widget->setPalette(pal);
  Widget->setAutoFillBackground(Fill);
}

// ---------------------------------------------------------------------------
// Graphics objects

TGraphicsObject::~TGraphicsObject() { FreeHandle(); }

void TGraphicsObject::FreeHandle() {
  if (handle_ == nullptr) return;
  DeleteObject(handle_);
  handle_ = nullptr;
}

void TGraphicsObject::Changed() {
  FreeHandle();
  on_change_(this);
}

HFONT TFont::Handle() {
  if (handle_ == nullptr) {
    LOGFONT lf;
    lf.lfHeight = height_;
    lf.lfEscapement = lf.lfOrientation = orientation_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = charset_;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    lf.lfFaceName = name_;
    handle_ = CreateFontIndirect(lf);
  }
  return static_cast<HFONT>(handle_);
}

void TFont::SetHandle(HFONT Value) {
  LOGFONT lf;
  if (Value == handle_ || !GetObject(Value, &lf)) return;
  if (!lf.lfFaceName.empty()) name_ = lf.lfFaceName;
  if (lf.lfHeight != 0) height_ = lf.lfHeight;
  TFontStyles style;
  if (lf.lfWeight >= 600) style.Include(fsBold);
  if (lf.lfItalic) style.Include(fsItalic);
  if (lf.lfUnderline) style.Include(fsUnderline);
  if (lf.lfStrikeOut) style.Include(fsStrikeOut);
  style_ = style;
  charset_ = static_cast<TFontCharset>(lf.lfCharSet);
  int pitch = lf.lfPitchAndFamily & 0x3;
  pitch_ = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
  orientation_ = lf.lfEscapement;
  Changed();
  handle_ = Value;
}

HPEN TPen::Handle() {
  if (handle_ == nullptr) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, static_cast<COLORREF>(ColorToRGB(color_)));
  }
  return static_cast<HPEN>(handle_);
}

HBRUSH TBrush::Handle() {
  if (handle_ == nullptr) {
    COLORREF c = static_cast<COLORREF>(ColorToRGB(color_));
    switch (style_) {
      case bsSolid: handle_ = CreateSolidBrush(c); break;
      case bsClear: {
        LOGBRUSH b;
        b.lbStyle = BS_NULL;
        handle_ = CreateBrushIndirect(b);
        break;
      }
      default: handle_ = CreateHatchBrush(static_cast<int>(style_) - bsHorizontal + HS_HORIZONTAL, c); break;
    }
  }
  return static_cast<HBRUSH>(handle_);
}

TFont::TFont() = default;

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (Equals(*f)) return;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    pixels_per_inch_ = f->pixels_per_inch_;
    orientation_ = f->orientation_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

bool TFont::Equals(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_ && orientation_ == o.orientation_;
}

void TFont::SetOrientation(int Value) {
  if (Value == orientation_) return;
  orientation_ = Value;
  Changed();
}

void TFont::SetName(const String& Value) {
  if (Value.empty() || Value == name_) return;
  name_ = Value;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (Value == height_) return;
  height_ = Value;
  Changed();
}

int TFont::Size() const {
  return static_cast<int>(std::lround(-static_cast<double>(height_) * 72.0 / pixels_per_inch_));
}

void TFont::SetSize(int Value) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(Value) * pixels_per_inch_ / 72.0)));
}

int TFont::PixelHeight() const {
  if (height_ < 0) return -height_;
  // A cell height includes the internal leading (about a fifth of it).
  return std::max(1, static_cast<int>(std::lround(height_ * 0.8)));
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == style_) return;
  style_ = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (Value == color_) return;
  color_ = Value;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == charset_) return;
  charset_ = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == pitch_) return;
  pitch_ = Value;
  Changed();
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TPen::SetColor(TColor Value) {
  if (Value == color_) return;
  color_ = Value;
  Changed();
}
void TPen::SetWidth(int Value) {
  if (Value < 0 || Value == width_) return;
  width_ = Value;
  Changed();
}
void TPen::SetStyle(TPenStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Changed();
}
void TPen::SetMode(TPenMode Value) {
  if (Value == mode_) return;
  mode_ = Value;
  Changed();
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
  if (Value == color_ && style_ != bsClear) return;
  color_ = Value;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Changed();
}

// ---------------------------------------------------------------------------
// TCanvas

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {}

TCanvas::~TCanvas() = default;

HDC TCanvas::RequireHandle() {
  if (handle_ == nullptr || Painter(handle_) == nullptr) CreateHandle();
  if (handle_ == nullptr || Painter(handle_) == nullptr) throw EInvalidOperation("Canvas does not allow drawing");
  return handle_;
}

HDC TCanvas::Handle() {
  if (handle_ == nullptr || Painter(handle_) == nullptr) CreateHandle();
  if (handle_ == nullptr) return nullptr;
  SelectObject(handle_, font_->Handle());
  SelectObject(handle_, pen_->Handle());
  SelectObject(handle_, brush_->Handle());
  static const int rop2[] = {R2_BLACK,       R2_WHITE,       R2_NOP,         R2_NOT,       R2_COPYPEN,   R2_NOTCOPYPEN,
                             R2_MERGEPENNOT, R2_MASKPENNOT,  R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                             R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,      R2_NOTXORPEN};
  SetROP2(handle_, rop2[pen_->Mode()]);
  HDC__::Selected& sel = handle_->sel;
  sel.text_color = ToQColor(font_->Color());
  sel.bk_color = ToQColor(brush_->Color());
  sel.opaque = brush_->Style() != bsClear;
  return handle_;
}

TRect TCanvas::ClipRect() {
  QPainter* p = Painter(RequireHandle());
  // Without a clip of its own a painter still draws only within the region
  // being painted (its system clip): that is the canvas's clip then.
  QRect r(0, 0, p->device()->width(), p->device()->height());
  if (p->hasClipping()) r = p->clipBoundingRect().toAlignedRect();
  else if (p->paintEngine() != nullptr && !p->paintEngine()->systemClip().isEmpty())
    r = p->transform().inverted().mapRect(p->paintEngine()->systemClip().boundingRect());
  return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

void TCanvas::FillRect(const TRect& R) {
  QPainter* p = Painter(RequireHandle());
  if (brush_->Style() == bsClear || R.IsEmpty()) return;
  p->save();
  ApplyBrush(p, *brush_);
  p->setPen(Qt::NoPen);
  p->drawRect(QRect(R.Left, R.Top, R.Width(), R.Height()));
  p->restore();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  ApplyBrush(p, *brush_);
  if (brush_->Style() != bsClear) {
    p->setPen(Qt::NoPen);
    p->drawRect(QRect(X1, Y1, X2 - X1, Y2 - Y1));
  }
  ApplyPen(p, *pen_);
  p->setBrush(Qt::NoBrush);
  if (pen_->Style() != psClear && pen_->Mode() != pmNop && X2 > X1 && Y2 > Y1) {
    int w = std::max(1, pen_->Width());
    // The outline lies inside the rectangle, as the platform draws it.
    p->drawRect(QRectF(X1 + w / 2.0, Y1 + w / 2.0, X2 - X1 - w, Y2 - Y1 - w));
  }
  p->restore();
}

void TCanvas::FrameRect(const TRect& R) {
  QPainter* p = Painter(RequireHandle());
  if (R.IsEmpty()) return;
  p->save();
  p->setPen(Qt::NoPen);
  p->setBrush(ToQColor(brush_->Color()));
  p->drawRect(QRect(R.Left, R.Top, R.Width(), 1));
  p->drawRect(QRect(R.Left, R.Bottom - 1, R.Width(), 1));
  p->drawRect(QRect(R.Left, R.Top, 1, R.Height()));
  p->drawRect(QRect(R.Right - 1, R.Top, 1, R.Height()));
  p->restore();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  ApplyBrush(p, *brush_);
  ApplyPen(p, *pen_);
  p->drawEllipse(QRectF(X1 + 0.5, Y1 + 0.5, X2 - X1 - 1, Y2 - Y1 - 1));
  p->restore();
}

void TCanvas::MoveTo(int X, int Y) { pen_pos_ = {X, Y}; }

void TCanvas::LineTo(int X, int Y) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  ApplyPen(p, *pen_);
  if (pen_pos_.X != X || pen_pos_.Y != Y) {
    // The end point is excluded: stop one pixel short along the major axis.
    double dx = X - pen_pos_.X, dy = Y - pen_pos_.Y;
    double len = std::max(std::abs(dx), std::abs(dy));
    QPointF end(X - dx / len, Y - dy / len);
    QPointF start(pen_pos_.X, pen_pos_.Y);
    if (pen_->Width() <= 1) {
      start += QPointF(0.5, 0.5);
      end += QPointF(0.5, 0.5);
    }
    p->drawLine(start, end);
  }
  p->restore();
  pen_pos_ = {X, Y};
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
  if (Points.empty()) return;
  MoveTo(Points[0].X, Points[0].Y);
  for (size_t i = 1; i < Points.size(); ++i) LineTo(Points[i].X, Points[i].Y);
  // The last point is drawn too.
  QPainter* p = Painter(RequireHandle());
  p->save();
  ApplyPen(p, *pen_);
  p->drawPoint(Points.back().X, Points.back().Y);
  p->restore();
}

void TCanvas::Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
  QPainter* p = Painter(RequireHandle());
  double cx = (X1 + X2) / 2.0, cy = (Y1 + Y2) / 2.0;
  double a1 = std::atan2(cy - Y3, X3 - cx) * 180.0 / M_PI;
  double a2 = std::atan2(cy - Y4, X4 - cx) * 180.0 / M_PI;
  double span = a2 - a1;
  if (span <= 0) span += 360;
  p->save();
  ApplyPen(p, *pen_);
  p->setBrush(Qt::NoBrush);
  p->drawArc(QRectF(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1), static_cast<int>(std::lround(a1 * 16)),
             static_cast<int>(std::lround(span * 16)));
  p->restore();
}

void TCanvas::TextOut(int X, int Y, const String& Text) {
  QPainter* p = Painter(RequireHandle());
  QFont f = ToQFont(*font_);
  QFontMetrics fm(f);
  QString text = ToQ(Text);
  int width = fm.horizontalAdvance(text);
  p->save();
  p->translate(X, Y);
  if (font_->Orientation() != 0) p->rotate(-font_->Orientation() / 10.0);
  if (brush_->Style() != bsClear) p->fillRect(QRect(0, 0, width, fm.height()), ToQColor(brush_->Color()));
  p->setFont(f);
  p->setPen(ToQColor(font_->Color()));
  p->drawText(QPoint(0, fm.ascent()), text);
  p->restore();
  double angle = font_->Orientation() * M_PI / 1800.0;
  pen_pos_ = {X + static_cast<int>(std::lround(width * std::cos(angle))),
              Y - static_cast<int>(std::lround(width * std::sin(angle)))};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const String& Text) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  p->setClipRect(QRect(R.Left, R.Top, R.Width(), R.Height()), Qt::IntersectClip);
  if (brush_->Style() != bsClear) p->fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), ToQColor(brush_->Color()));
  QFont f = ToQFont(*font_);
  QFontMetrics fm(f);
  p->setFont(f);
  p->setPen(ToQColor(font_->Color()));
  p->drawText(QPoint(X, Y + fm.ascent()), ToQ(Text));
  p->restore();
}

int TCanvas::TextWidth(const String& Text) const { return TextExtent(Text).cx; }
int TCanvas::TextHeight(const String& Text) const { return TextExtent(Text).cy; }

TSize TCanvas::TextExtent(const String& Text) const {
  EnsureGuiApplication();
  QFontMetrics fm(ToQFont(*font_));
  return {fm.horizontalAdvance(ToQ(Text)), fm.height()};
}

TColor TCanvas::Pixel(int X, int Y) {
  QPainter* p = Painter(RequireHandle());
  auto* image = dynamic_cast<QImage*>(p->device());
  if (image == nullptr || !image->valid(X, Y)) return clNone;
  return static_cast<TColor>(FromQColor(image->pixelColor(X, Y)));
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  QPainter* p = Painter(RequireHandle());
  p->save();
  p->setPen(ToQColor(Color));
  p->drawPoint(X, Y);
  p->restore();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitGraphics() {
  RegisterClass<TGraphicsObject, TPersistent>("TGraphicsObject");
  RegisterClass<TFont, TGraphicsObject>("TFont")
      .Prop("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET)
      .Prop("Color", &TFont::Color, &TFont::SetColor, clWindowText)
      .Prop("Height", &TFont::Height, &TFont::SetHeight)
      .Prop("Name", &TFont::Name, &TFont::SetName)
      .Prop("Orientation", &TFont::Orientation, &TFont::SetOrientation, 0)
      .Prop("Pitch", &TFont::Pitch, &TFont::SetPitch, fpDefault)
      .Prop("Size", &TFont::Size, &TFont::SetSize)
      .Stored(false)
      .Prop("Style", &TFont::Style, &TFont::SetStyle);
  RegisterClass<TPen, TGraphicsObject>("TPen")
      .Prop("Color", &TPen::Color, &TPen::SetColor, clBlack)
      .Prop("Mode", &TPen::Mode, &TPen::SetMode, pmCopy)
      .Prop("Style", &TPen::Style, &TPen::SetStyle, psSolid)
      .Prop("Width", &TPen::Width, &TPen::SetWidth, 1);
  RegisterClass<TBrush, TGraphicsObject>("TBrush")
      .Prop("Color", &TBrush::Color, &TBrush::SetColor, clWhite)
      .Prop("Style", &TBrush::Style, &TBrush::SetStyle, bsSolid);
}

constexpr const TUnit* kUses[] = {&unit_TypInfo};

}  // namespace

constinit const TUnit unit_Graphics("Graphics", kUses, InitGraphics, nullptr);
