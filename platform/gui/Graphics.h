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
// EInvalidOperation "Canvas does not allow drawing".
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/gui/Types.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/TypInfo.h"

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

class TGraphicsObject : public TPersistent {
 public:
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

 protected:
  virtual void Changed();

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
  // The pixel height of the characters (what Qt is given).
  int PixelHeight() const;
  bool Equals(const TFont& Other) const;

 private:
  String name_ = "Tahoma";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int pixels_per_inch_ = 96;
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

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// ---------------------------------------------------------------------------
// Canvas

// A device context: an opaque handle over a Qt painter, made by the platform.
struct HDC__;
using HDC = HDC__*;

class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  TFont* Font() const { return font_.get(); }
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }

  // The device context drawn on (nullptr while none is bound).
  HDC Handle() const { return handle_; }
  void SetHandle(HDC Value) { handle_ = Value; }
  bool HandleAllocated() const { return handle_ != nullptr; }

  TPoint PenPos() const { return pen_pos_; }
  void SetPenPos(TPoint Value) { pen_pos_ = Value; }

  // Fills with the brush (no outline).
  void FillRect(const TRect& Rect);
  // Outline with the pen, interior with the brush; Right/Bottom excluded.
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  // A one-pixel frame in the brush colour.
  void FrameRect(const TRect& Rect);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void MoveTo(int X, int Y);
  // Line from the pen position to (X, Y), the end point excluded.
  void LineTo(int X, int Y);
  void Polyline(std::span<const TPoint> Points);
  // Arc of the ellipse in (X1,Y1)-(X2,Y2) counter-clockwise from the ray
  // towards (X3,Y3) to the ray towards (X4,Y4).
  void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
  // Text with its top-left at (X, Y); the background is filled with the brush
  // unless the brush style is bsClear. Moves the pen to the text's end.
  void TextOut(int X, int Y, const String& Text);
  // The same, clipped to Rect.
  void TextRect(const TRect& Rect, int X, int Y, const String& Text);
  int TextWidth(const String& Text) const;
  int TextHeight(const String& Text) const;
  TSize TextExtent(const String& Text) const;
  TColor Pixel(int X, int Y) const;
  void SetPixel(int X, int Y, TColor Color);

 private:
  HDC RequireHandle() const;

  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  HDC handle_ = nullptr;
  TPoint pen_pos_;
};

class TUnit;
extern const TUnit unit_Graphics;
