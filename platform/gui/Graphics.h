// Graphics: colours, fonts, pens, brushes and the canvas controls paint with.
//
// TColor is $00BBGGRR for plain colours; system colours (clBtnFace, clWindow,
// clHighlight, ...) are $FF000000 + the system colour index and map to the Qt
// palette of the running application (fixed classic values without one).
// Fonts the designs name but Linux lacks (Tahoma, MS Sans Serif, Arial, ...)
// map to an installed substitute (DejaVu Sans); Height < 0 is the character
// height in pixels (-11 = 11 pixels = 8 points at 96 pixels per inch),
// Height > 0 the cell height including internal leading.
// A canvas draws through a device context (HDC) that exists only while the
// control paints (or while a caller binds one); drawing without one raises
// EInvalidOperation "Canvas does not allow drawing". A bitmap's canvas makes
// its own device context on first use (over the bitmap's pixels); it stays
// valid until the bitmap's size or contents are replaced.
//
// Taking Handle() selects the canvas's font (with its Orientation), the
// font colour as text colour and the brush colour as background colour
// (background mode TRANSPARENT when the brush is bsClear) into the device
// context, so that the GDI calls of GDI.h draw as the canvas would.
//
// Pictures: TGraphic is the abstract picture; TBitmap (pixels with an own
// canvas; .bmp files and bitmap resources), TIcon (.ico files) and the JPEG
// image of Jpeg.h descend from it. TPicture holds one graphic and loads a
// file by its extension from the registered file formats ("bmp", "ico";
// Jpeg.h adds "jpg" and "jpeg"). A file that cannot be read as its format
// raises EInvalidGraphic; an unknown extension raises EInvalidGraphic
// "Unknown picture file extension (.ext)". Metafiles (.emf, .wmf) are not
// supported: no format is registered for them.
//
// Transparency: a graphic with Transparent set is drawn without the pixels
// of its transparent colour. A bitmap's TransparentColor is, in mode tmAuto,
// the colour of its bottom-left pixel, in mode tmFixed the colour set. Icons
// and JPEG images carry their own transparency (icons) or none (JPEG).
// New bitmap pixels are white, or transparent black for an alpha format.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/gui/Types.h"
#include "platform/os/Modules.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TypInfo.h"

class QImage;

// ---------------------------------------------------------------------------
// Colours

enum TColor : int32_t {
  clSystemColor = static_cast<int32_t>(0xFF000000u),
  clScrollBar = clSystemColor | 0,
  clBackground = clSystemColor | 1,
  clActiveCaption = clSystemColor | 2,
  clInactiveCaption = clSystemColor | 3,
  clMenu = clSystemColor | 4,
  clWindow = clSystemColor | 5,
  clWindowFrame = clSystemColor | 6,
  clMenuText = clSystemColor | 7,
  clWindowText = clSystemColor | 8,
  clCaptionText = clSystemColor | 9,
  clActiveBorder = clSystemColor | 10,
  clInactiveBorder = clSystemColor | 11,
  clAppWorkSpace = clSystemColor | 12,
  clHighlight = clSystemColor | 13,
  clHighlightText = clSystemColor | 14,
  clBtnFace = clSystemColor | 15,
  clBtnShadow = clSystemColor | 16,
  clGrayText = clSystemColor | 17,
  clBtnText = clSystemColor | 18,
  clInactiveCaptionText = clSystemColor | 19,
  clBtnHighlight = clSystemColor | 20,
  cl3DDkShadow = clSystemColor | 21,
  cl3DLight = clSystemColor | 22,
  clInfoText = clSystemColor | 23,
  clInfoBk = clSystemColor | 24,
  clHotLight = clSystemColor | 26,
  clGradientActiveCaption = clSystemColor | 27,
  clGradientInactiveCaption = clSystemColor | 28,
  clMenuHighlight = clSystemColor | 29,
  clMenuBar = clSystemColor | 30,

  clBlack = 0x000000,
  clMaroon = 0x000080,
  clGreen = 0x008000,
  clOlive = 0x008080,
  clNavy = 0x800000,
  clPurple = 0x800080,
  clTeal = 0x808000,
  clGray = 0x808080,
  clSilver = 0xC0C0C0,
  clRed = 0x0000FF,
  clLime = 0x00FF00,
  clYellow = 0x00FFFF,
  clBlue = 0xFF0000,
  clFuchsia = 0xFF00FF,
  clAqua = 0xFFFF00,
  clWhite = 0xFFFFFF,
  clLtGray = 0xC0C0C0,
  clDkGray = 0x808080,
  clMoneyGreen = 0xC0DCC0,
  clSkyBlue = 0xF0CAA6,
  clCream = 0xF0FBFF,
  clMedGray = 0xA4A0A0,
  clNone = 0x1FFFFFFF,
  clDefault = 0x20000000,
};
std::span<const TIdentMapEntry> ColorIdents();
RTL_INT_CONSTS(TColor, ColorIdents)

// The $00BBGGRR value of a colour (system colours through the palette).
int32_t ColorToRGB(TColor Color);
inline TColor RGB(uint8_t R, uint8_t G, uint8_t B) {
  return static_cast<TColor>(R | (G << 8) | (B << 16));
}
bool ColorToIdent(int32_t Color, String& Ident);
bool IdentToColor(const String& Ident, int32_t& Color);
String ColorToString(TColor Color);  // name or "$00BBGGRR"
TColor StringToColor(const String& S);

enum TFontCharset : uint8_t {
  ANSI_CHARSET = 0,
  DEFAULT_CHARSET = 1,
  SYMBOL_CHARSET = 2,
  MAC_CHARSET = 77,
  SHIFTJIS_CHARSET = 128,
  HANGEUL_CHARSET = 129,
  JOHAB_CHARSET = 130,
  GB2312_CHARSET = 134,
  CHINESEBIG5_CHARSET = 136,
  GREEK_CHARSET = 161,
  TURKISH_CHARSET = 162,
  VIETNAMESE_CHARSET = 163,
  HEBREW_CHARSET = 177,
  ARABIC_CHARSET = 178,
  BALTIC_CHARSET = 186,
  RUSSIAN_CHARSET = 204,
  THAI_CHARSET = 222,
  EASTEUROPE_CHARSET = 238,
  OEM_CHARSET = 255,
};
std::span<const TIdentMapEntry> CharsetIdents();
RTL_INT_CONSTS(TFontCharset, CharsetIdents)

RTL_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut);
using TFontStyles = Set<TFontStyle>;
RTL_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed);
RTL_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame);
RTL_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
         pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor);
RTL_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross);

// The family a font name is drawn with on this machine.
String SubstituteFontName(const String& Name);

// ---------------------------------------------------------------------------
// Graphics objects

// GDI object handles (GDI.h). A font, pen or brush makes its handle on first
// use of Handle() and frees it when it changes or is freed.
struct HFONT__;
struct HPEN__;
struct HBRUSH__;
using HFONT = HFONT__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;

class TGraphicsObject : public TPersistent {
 public:
  ~TGraphicsObject() override;
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

 protected:
  // Frees the handle, then fires OnChange.
  virtual void Changed();
  // The handle made for the current settings (freed by Changed).
  struct HGDIOBJ__* handle_ = nullptr;
  void FreeHandle();

 private:
  TNotifyEvent on_change_;
};

class TFont : public TGraphicsObject {
 public:
  TFont();
  void Assign(TPersistent* Source) override;

  const String& Name() const { return name_; }
  void SetName(const String& Value);
  int Height() const { return height_; }
  void SetHeight(int Value);
  // Points at PixelsPerInch: -Height * 72 / PixelsPerInch, rounded.
  int Size() const;
  void SetSize(int Value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch Value);
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int Value) { pixels_per_inch_ = Value; }
  // Angle of the text's baseline in tenths of a degree, counter-clockwise
  // (the escapement of the font made for it).
  int Orientation() const { return orientation_; }
  void SetOrientation(int Value);
  // The pixel height of the characters (what Qt is given).
  int PixelHeight() const;
  // A font handle with these settings (lfEscapement and lfOrientation are
  // the Orientation). SetHandle takes over a handle (CreateFontIndirect) and
  // reads its name, height, style, charset, pitch and escapement (as
  // Orientation) into the font.
  HFONT Handle();
  void SetHandle(HFONT Value);
  bool Equals(const TFont& Other) const;

 private:
  String name_ = "Tahoma";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int pixels_per_inch_ = 96;
  int orientation_ = 0;
};

class TPen : public TGraphicsObject {
 public:
  void Assign(TPersistent* Source) override;
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode Value);
  // A cosmetic pen handle of the colour, width and style (the mode is the
  // DC's ROP2, not part of the pen).
  HPEN Handle();

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  void Assign(TPersistent* Source) override;
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle Value);
  // A solid, hatched or null brush handle.
  HBRUSH Handle();

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// ---------------------------------------------------------------------------
// Canvas

// A device context: an opaque handle over a Qt painter, made by the platform.
struct HDC__;
using HDC = HDC__*;

// Raster operations of CopyRect and Draw (source, destination).
using TCopyMode = int32_t;
inline constexpr TCopyMode cmBlackness = 0x00000042, cmDstInvert = 0x00550009, cmMergeCopy = 0x00C000CA,
                           cmMergePaint = 0x00BB0226, cmNotSrcCopy = 0x00330008, cmNotSrcErase = 0x001100A6,
                           cmPatCopy = 0x00F00021, cmPatInvert = 0x005A0049, cmPatPaint = 0x00FB0A09,
                           cmSrcAnd = 0x008800C6, cmSrcCopy = 0x00CC0020, cmSrcErase = 0x00440328,
                           cmSrcInvert = 0x00660046, cmSrcPaint = 0x00EE0086, cmWhiteness = 0x00FF0062;

class TGraphic;
class TBitmap;

class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  TFont* Font() const { return font_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  void SetPen(TPen* Value) { pen_->Assign(Value); }
  void SetBrush(TBrush* Value) { brush_->Assign(Value); }

  // The device context drawn on, with the canvas's font and colours
  // selected into it (nullptr while none is bound and none can be made).
  HDC Handle();
  void SetHandle(HDC Value) { handle_ = Value; }
  bool HandleAllocated() const { return handle_ != nullptr; }

  TPoint PenPos() const { return pen_pos_; }
  void SetPenPos(TPoint Value) { pen_pos_ = Value; }
  TCopyMode CopyMode() const { return copy_mode_; }
  void SetCopyMode(TCopyMode Value) { copy_mode_ = Value; }
  // The bounds of the clipping region (the whole device without one).
  TRect ClipRect();

  // Fills with the brush (no outline).
  void FillRect(const TRect& Rect);
  // Outline with the pen, interior with the brush; Right/Bottom excluded.
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  // The same with corners rounded by an ellipse of X3 x Y3.
  void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
  // A one-pixel frame in the brush colour.
  void FrameRect(const TRect& Rect);
  // The dotted frame of a focused item (inverting: drawn twice, it is gone).
  void DrawFocusRect(const TRect& Rect);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void MoveTo(int X, int Y);
  // Line from the pen position to (X, Y), the end point excluded.
  void LineTo(int X, int Y);
  void Polyline(std::span<const TPoint> Points);
  // A closed outline with the pen, filled with the brush.
  void Polygon(std::span<const TPoint> Points);
  // Arc of the ellipse in (X1,Y1)-(X2,Y2) counter-clockwise from the ray
  // towards (X3,Y3) to the ray towards (X4,Y4).
  void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
  // Text with its top-left at (X, Y); the background is filled with the brush
  // unless the brush style is bsClear. Moves the pen to the text's end. A
  // font with an Orientation turns the text about (X, Y).
  void TextOut(int X, int Y, const String& Text);
  // The same, clipped to Rect.
  void TextRect(const TRect& Rect, int X, int Y, const String& Text);
  int TextWidth(const String& Text) const;
  int TextHeight(const String& Text) const;
  TSize TextExtent(const String& Text) const;
  TColor Pixel(int X, int Y);
  void SetPixel(int X, int Y, TColor Color);

  // A graphic at (X, Y) in its own size, or stretched to Rect.
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  // Source of Canvas (a bitmap's canvas, or one painting into an image)
  // stretched to Dest with CopyMode.
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  // Source of Bitmap stretched to Dest, its pixels of Color replaced by the
  // brush (left out with a bsClear brush).
  void BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color);

 protected:
  // Makes a device context when none is bound (a bitmap's canvas does).
  virtual void CreateHandle() {}
  // The bound device context with a painter, made when needed; raises
  // EInvalidOperation "Canvas does not allow drawing" without one.
  HDC RequireHandle();

 private:
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  HDC handle_ = nullptr;
  TPoint pen_pos_;
  TCopyMode copy_mode_ = cmSrcCopy;
};

// ---------------------------------------------------------------------------
// Pictures

class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  ~TGraphic() override = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int Value) = 0;
  virtual void SetHeight(int Value) = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }

  // Reads a whole file (EFOpenError when it cannot be opened).
  virtual void LoadFromFile(const String& FileName);
  virtual void SaveToFile(const String& FileName);
  // Reads from the stream's position (EInvalidGraphic for data that is not
  // a picture of the class's format).
  virtual void LoadFromStream(TStream* Stream) = 0;
  virtual void SaveToStream(TStream* Stream) = 0;

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

 protected:
  friend class TCanvas;
  // Paints the graphic stretched to Rect of the canvas.
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  virtual void Changed();

 private:
  bool transparent_ = false;
  bool modified_ = false;
  TNotifyEvent on_change_;
};

RTL_ENUM(TPixelFormat, pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom);
RTL_ENUM(TAlphaFormat, afIgnored, afDefined, afPremultiplied);
RTL_ENUM(TTransparentMode, tmAuto, tmFixed);

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  void Assign(TPersistent* Source) override;

  int Width() const override;
  int Height() const override;
  void SetWidth(int Value) override { SetSize(Value, Height()); }
  void SetHeight(int Value) override { SetSize(Width(), Value); }
  // Keeps the pixels that still fit; new pixels are white (transparent with
  // an alpha format).
  void SetSize(int AWidth, int AHeight);
  // The canvas drawing on the pixels.
  TCanvas* Canvas();
  TPixelFormat PixelFormat() const { return pixel_format_; }
  void SetPixelFormat(TPixelFormat Value) { pixel_format_ = Value; }
  // afIgnored: opaque pixels; otherwise the alpha channel counts when drawn.
  TAlphaFormat AlphaFormat() const { return alpha_format_; }
  void SetAlphaFormat(TAlphaFormat Value);
  TColor TransparentColor() const;
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return transparent_mode_; }
  void SetTransparentMode(TTransparentMode Value);

  // .bmp data (any bit depth the platform reads, with its palette).
  void LoadFromStream(TStream* Stream) override;
  // .bmp data, 24 bits per pixel (32 with an alpha format).
  void SaveToStream(TStream* Stream) override;
  // A bitmap resource of a module (HInstance: the program's own); raises
  // EResNotFound "Resource %s not found" when it is missing.
  void LoadFromResourceName(HMODULE Instance, const String& ResName);
  void LoadFromResourceID(HMODULE Instance, int ResID);

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  friend QImage& BitmapImage(TBitmap*);
  friend void SetBitmapImage(TBitmap*, const QImage&);
  struct Impl;
  void ReleaseCanvasDC();
  // .bmp data; raises EInvalidGraphic "Bitmap image is not valid".
  void LoadFromBytes(std::span<const uint8_t> Data);

  std::unique_ptr<Impl> impl_;
  TPixelFormat pixel_format_ = pfDevice;
  TAlphaFormat alpha_format_ = afIgnored;
  TTransparentMode transparent_mode_ = tmAuto;
  TColor transparent_color_ = clDefault;
};

// Turns a bitmap counter-clockwise by Turns quarter turns (a helper of our
// own; width and height swap for an odd number of turns).
void RotateBitmap(TBitmap* Bitmap, int Turns);

// An icon: one image of an .ico file (the one closest to 32 x 32), drawn
// with its own transparency.
class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  void Assign(TPersistent* Source) override;

  int Width() const override;
  int Height() const override;
  // An icon's size is that of its image: setting it raises
  // EInvalidGraphicOperation "Cannot change the size of an icon".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  friend QImage GraphicImage(TGraphic*);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

using TGraphicFactory = std::function<TGraphic*()>;

// A picture: one graphic of any registered format.
class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;
  void Assign(TPersistent* Source) override;

  // The graphic (nullptr when empty); the picture owns it.
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(TGraphic* Value);  // copies Value (Assign)
  // The graphic as a bitmap; a picture holding another kind (or nothing) is
  // replaced by an empty bitmap first.
  TBitmap* Bitmap();
  int Width() const;
  int Height() const;

  // By the file's extension among the registered formats.
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);

  // Registers a graphic class for an extension (without the dot, any case).
  static void RegisterFileFormat(const String& Extension, const String& Description, TGraphicFactory Factory);
  static void UnregisterFileFormat(const String& Extension);

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

 private:
  void Changed(TObject* Sender);
  void Take(std::unique_ptr<TGraphic> Graphic);

  std::unique_ptr<TGraphic> graphic_;
  TNotifyEvent on_change_;
};

class TUnit;
extern const TUnit unit_Graphics;
