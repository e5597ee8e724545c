// GDI drawing checked at chosen pixels: focus rectangles, frame controls,
// clipped and rotated text, lines and brushes, bit-block transfers, clip
// regions, mirroring, text metrics and cursors.
#include <memory>
#include <vector>

#include "platform/gui/Cursors.h"
#include "platform/gui/GDI.h"
#include "platform/os/Resources.h"
#include "tests/platform/gui/GuiFixture.h"

void RegisterGridResources();

namespace {

using GdiDrawTest = GuiTest;

TColor Sys(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }
COLORREF Ref(TColor C) { return static_cast<COLORREF>(ColorToRGB(C)); }

// A memory DC with a bitmap of its own, freed with it.
struct TMemoryDC {
  TMemoryDC(int W, int H, bool Mono = false) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = Mono ? CreateBitmap(W, H, 1, 1, nullptr) : CreateCompatibleBitmap(dc, W, H);
    old = SelectObject(dc, bitmap);
  }
  ~TMemoryDC() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void Fill(const TRect& R, COLORREF Color) {
    HBRUSH b = CreateSolidBrush(Color);
    FillRect(dc, R, b);
    DeleteObject(b);
  }
  HDC dc;
  HBITMAP bitmap;
  HBITMAP old;
};

// Every pixel of R that holds Color.
int CountIn(TPaper& P, const TRect& R, TColor Color) { return R.Width() * R.Height() - P.CountNot(R, Color); }

}  // namespace

TEST_F(GdiDrawTest, FocusRectangleIsADottedInvertingOutline) {
  TPaper paper(20, 20);
  HDC dc = paper.Canvas()->Handle();
  TRect r{2, 3, 12, 9};
  ASSERT_TRUE(DrawFocusRect(dc, r));
  // Pixels whose X + Y is even are inverted: every other pixel of the outline.
  EXPECT_EQ(paper.At(3, 3), clBlack);
  EXPECT_EQ(paper.At(4, 3), clWhite);
  EXPECT_EQ(paper.At(2, 4), clBlack);
  EXPECT_EQ(paper.At(2, 5), clWhite);
  EXPECT_EQ(paper.At(11, 8), clWhite);
  EXPECT_EQ(paper.At(10, 8), clBlack);
  EXPECT_EQ(paper.CountNot(Rect(3, 4, 11, 8), clWhite), 0);  // the inside stays
  EXPECT_EQ(paper.Ink(clWhite), Rect(2, 3, 12, 9));
  // Drawn again, it is gone; the canvas call draws the same.
  DrawFocusRect(dc, r);
  EXPECT_EQ(paper.Count(clWhite), 400);
  paper.Canvas()->DrawFocusRect(r);
  EXPECT_EQ(paper.At(3, 3), clBlack);
}

TEST_F(GdiDrawTest, CheckBoxesInEveryState) {
  ASSERT_NE(Sys(clBtnHighlight), Sys(clBtnFace));
  ASSERT_NE(Sys(clBtnShadow), Sys(clWindowText));
  struct Case {
    const char* name;
    UINT state;
    TColor inside;     // at (4, 3): inside the box, not on the mark
    TColor beside;     // at (5, 3): its neighbour (the grayed checker)
    TColor mark;       // at (3, 7): on the check mark
    TColor ring;       // at (0, 6): the outer ring
    TColor ring2;      // at (1, 6): sunken inner ring, or the inside when flat
  } cases[] = {
      {"unchecked", 0, clWindow, clWindow, clWindow, clBtnShadow, cl3DDkShadow},
      {"checked", DFCS_CHECKED, clWindow, clWindow, clWindowText, clBtnShadow, cl3DDkShadow},
      {"grayed", DFCS_CHECKED | DFCS_BUTTON3STATE, clBtnFace, clBtnHighlight, clBtnShadow, clBtnShadow, cl3DDkShadow},
      {"pushed", DFCS_PUSHED, clBtnFace, clBtnFace, clBtnFace, clBtnShadow, cl3DDkShadow},
      {"inactive", DFCS_CHECKED | DFCS_INACTIVE, clBtnFace, clBtnFace, clBtnShadow, clBtnShadow, cl3DDkShadow},
      {"flat", DFCS_CHECKED | DFCS_FLAT, clWindow, clWindow, clWindowText, clBtnShadow, clWindow},
      {"flat inactive", DFCS_INACTIVE | DFCS_FLAT, clBtnFace, clBtnFace, clBtnFace, clBtnShadow, clBtnFace},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TPaper paper(13, 13, clRed);
    TRect r{0, 0, 13, 13};
    ASSERT_TRUE(DrawFrameControl(paper.Canvas()->Handle(), r, DFC_BUTTON, DFCS_BUTTONCHECK | k.state));
    EXPECT_EQ(paper.At(4, 3), Sys(k.inside));
    EXPECT_EQ(paper.At(5, 3), Sys(k.beside));
    EXPECT_EQ(paper.At(3, 7), Sys(k.mark));
    EXPECT_EQ(paper.At(0, 6), Sys(k.ring));
    EXPECT_EQ(paper.At(1, 6), Sys(k.ring2));
    EXPECT_EQ(paper.Count(clRed), 0);
  }
  // The system's check-box bitmap: 4 x 3 boxes of 13 x 13.
  HBITMAP boxes = LoadBitmap(nullptr, OBM_CHECKBOXES);
  BITMAP info;
  ASSERT_TRUE(GetObject(boxes, &info));
  EXPECT_EQ(info.bmWidth / 4, 13);
  EXPECT_EQ(info.bmHeight / 3, 13);
  DeleteObject(boxes);
  EXPECT_EQ(LoadBitmap(nullptr, static_cast<uint16_t>(1)), nullptr);
  // A wide rectangle gets a square box in its middle.
  TPaper wide(33, 13, clRed);
  TRect r{0, 0, 33, 13};
  DrawFrameControl(wide.Canvas()->Handle(), r, DFC_BUTTON, DFCS_BUTTONCHECK);
  EXPECT_EQ(wide.Ink(clRed), Rect(10, 0, 23, 13));
}

TEST_F(GdiDrawTest, ScrollArrowsAndComboButtons) {
  auto arrow = [](UINT state) {
    auto paper = std::make_unique<TPaper>(17, 17, clRed);
    TRect r{0, 0, 17, 17};
    EXPECT_TRUE(DrawFrameControl(paper->Canvas()->Handle(), r, DFC_SCROLL, state));
    return paper;
  };
  TColor text = Sys(clBtnText);
  auto down = arrow(DFCS_SCROLLDOWN);
  TRect ink = down->Ink(Sys(clBtnFace));  // the edge and the arrow
  EXPECT_EQ(ink, Rect(0, 0, 17, 17));
  EXPECT_EQ(down->At(0, 0), Sys(cl3DLight));  // raised
  EXPECT_EQ(down->At(16, 16), Sys(cl3DDkShadow));
  // The triangle: 7 pixels wide at its top row, one at its tip.
  int widest = 0, tip_row = -1, top_row = -1;
  for (int y = 0; y < 17; ++y) {
    int n = CountIn(*down, Rect(0, y, 17, y + 1), text);
    if (n > 0 && top_row < 0) top_row = y;
    if (n > 0) tip_row = y;
    widest = std::max(widest, n);
  }
  EXPECT_EQ(widest, 7);
  EXPECT_EQ(CountIn(*down, Rect(0, top_row, 17, top_row + 1), text), 7);
  EXPECT_EQ(CountIn(*down, Rect(0, tip_row, 17, tip_row + 1), text), 1);
  // The combo button is the down arrow; up points the other way.
  auto combo = arrow(DFCS_SCROLLCOMBOBOX);
  auto up = arrow(DFCS_SCROLLUP);
  EXPECT_EQ(CountIn(*up, Rect(0, top_row, 17, top_row + 1), text), 1);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(combo->At(x, y), down->At(x, y));
  // Pushed: flat frame, the arrow one pixel right and down.
  auto pushed = arrow(DFCS_SCROLLDOWN | DFCS_PUSHED);
  EXPECT_EQ(pushed->At(0, 0), Sys(clBtnShadow));
  EXPECT_EQ(CountIn(*pushed, Rect(0, top_row + 1, 17, top_row + 2), text), 7);
  // Inactive: embossed, no button-text pixels.
  auto inactive = arrow(DFCS_SCROLLDOWN | DFCS_INACTIVE);
  EXPECT_EQ(inactive->Count(text), 0);
  EXPECT_EQ(inactive->Count(Sys(clBtnShadow)) > 7, true);
  // Left and right arrows are the same shape turned.
  auto left = arrow(DFCS_SCROLLLEFT);
  auto right = arrow(DFCS_SCROLLRIGHT);
  EXPECT_EQ(left->Count(text), down->Count(text));
  EXPECT_EQ(right->Count(text), down->Count(text));
  TRect r{0, 0, 17, 17};
  TPaper paper(17, 17);
  EXPECT_FALSE(DrawFrameControl(paper.Canvas()->Handle(), r, DFC_SCROLL, 4));
  EXPECT_FALSE(DrawFrameControl(nullptr, r, DFC_SCROLL, DFCS_SCROLLUP));
}

TEST_F(GdiDrawTest, ExtTextOutClipsFillsAndAligns) {
  TPaper paper(120, 40);
  TCanvas* c = paper.Canvas();
  c->Font()->SetColor(clBlack);
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  TRect box{10, 5, 30, 25};
  const String text = "WWWWWWWWWW";
  ASSERT_TRUE(ExtTextOut(dc, 10, 5, ETO_CLIPPED, &box, text, -1));
  EXPECT_GT(paper.Count(clBlack), 0);
  EXPECT_TRUE(Within(paper.Ink(clWhite), box));
  // Without clipping the text runs past the rectangle.
  TPaper free(120, 40);
  free.Canvas()->Font()->SetColor(clBlack);
  HDC fdc = free.Canvas()->Handle();
  SetBkMode(fdc, TRANSPARENT);
  ExtTextOut(fdc, 10, 5, 0, &box, text, -1);
  EXPECT_GT(free.Ink(clWhite).Right, 30);
  // Opaque: the rectangle takes the background colour even in TRANSPARENT mode.
  SetBkColor(dc, clRed);
  ExtTextOut(dc, 50, 5, ETO_OPAQUE | ETO_CLIPPED, &box, "", 0);
  EXPECT_EQ(CountIn(paper, box, clRed), box.Width() * box.Height());
  // Right and baseline alignment put the text left of and above the point.
  TPaper aligned(120, 40);
  HDC adc = aligned.Canvas()->Handle();
  SetBkMode(adc, TRANSPARENT);
  SetTextColor(adc, clBlack);
  SetTextAlign(adc, TA_RIGHT | TA_BASELINE);
  TEXTMETRIC tm;
  GetTextMetrics(adc, &tm);
  ExtTextOut(adc, 100, 30, 0, nullptr, "Hx", -1);
  TRect ink = aligned.Ink(clWhite);
  EXPECT_LE(ink.Right, 100);
  EXPECT_LE(ink.Bottom, 31);
  EXPECT_GE(ink.Top, 30 - tm.tmAscent);
  // TA_UPDATECP: texts follow one another from the current position.
  SetTextAlign(adc, TA_UPDATECP);
  MoveToEx(adc, 5, 2, nullptr);
  TSize size;
  GetTextExtentPoint32(adc, "ab", -1, &size);
  TextOut(adc, 0, 0, "ab", -1);
  TPoint pos;
  MoveToEx(adc, 0, 0, &pos);
  EXPECT_EQ(pos, Point(5 + size.cx, 2));
}

TEST_F(GdiDrawTest, RotatedFontsTurnTheTextUpwards) {
  LOGFONT lf;
  lf.lfHeight = -14;
  lf.lfFaceName = "Tahoma";
  lf.lfEscapement = lf.lfOrientation = 900;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  HFONT font = CreateFontIndirect(lf);
  TPaper paper(60, 120);
  HDC dc = paper.Canvas()->Handle();
  HFONT old = SelectObject(dc, font);
  ASSERT_NE(old, nullptr);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, clBlack);
  TSize extent;
  GetTextExtentPoint32(dc, "Rotated", -1, &extent);
  TextOut(dc, 20, 100, "Rotated", -1);
  // Turned counter-clockwise about (20, 100): it rises from there.
  TRect ink = paper.Ink(clWhite);
  EXPECT_GE(ink.Left, 19);
  EXPECT_LE(ink.Right, 20 + extent.cy + 1);
  EXPECT_LE(ink.Bottom, 101);
  EXPECT_GE(ink.Top, 100 - extent.cx - 1);
  EXPECT_GT(ink.Height(), 2 * ink.Width());
  // The handle given to a font sets its orientation; selecting the old font
  // back draws level text again.
  TFont f;
  f.SetHandle(CreateFontIndirect(lf));
  EXPECT_EQ(f.Orientation(), 900);
  EXPECT_EQ(f.Height(), -14);
  LOGFONT back;
  ASSERT_TRUE(GetObject(f.Handle(), &back));
  EXPECT_EQ(back.lfEscapement, 900);
  EXPECT_EQ(SelectObject(dc, old), font);
  DeleteObject(font);
  TPaper level(120, 40);
  HDC ldc = level.Canvas()->Handle();
  SetBkMode(ldc, TRANSPARENT);
  SetTextColor(ldc, clBlack);
  TextOut(ldc, 10, 10, "Rotated", -1);
  EXPECT_GT(level.Ink(clWhite).Width(), level.Ink(clWhite).Height());
}

TEST_F(GdiDrawTest, TextMetricsAreConsistent) {
  struct Case {
    int height;
    TFontStyles style;
  } cases[] = {{-11, {}}, {-16, {fsBold}}, {-13, {fsItalic}}, {20, {}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.height);
    TPaper paper(10, 10);
    TCanvas* c = paper.Canvas();
    c->Font()->SetHeight(k.height);
    c->Font()->SetStyle(k.style);
    HDC dc = c->Handle();
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    if (k.height < 0) {
      EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -k.height);
    }
    EXPECT_GE(tm.tmInternalLeading, 0);
    EXPECT_GE(tm.tmExternalLeading, 0);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_LE(tm.tmAveCharWidth, tm.tmMaxCharWidth);
    EXPECT_EQ(tm.tmOverhang, 0);
    EXPECT_EQ(tm.tmWeight, k.style.Contains(fsBold) ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ(tm.tmItalic != 0, k.style.Contains(fsItalic));
    TSize size;
    ASSERT_TRUE(GetTextExtentPoint32(dc, "Wg0", -1, &size));
    EXPECT_EQ(size.cy, tm.tmHeight);
    EXPECT_EQ(size.cx, c->TextWidth("Wg0"));
    EXPECT_EQ(c->TextHeight("Wg0"), tm.tmHeight);
    TRect r{0, 0, 500, 500};
    EXPECT_EQ(DrawText(dc, "Wg0", -1, &r, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
    OUTLINETEXTMETRIC otm;
    ASSERT_EQ(GetOutlineTextMetrics(dc, sizeof(otm), &otm), sizeof(otm));
    EXPECT_EQ(otm.otmTextMetrics.tmHeight, tm.tmHeight);
    EXPECT_EQ(otm.otmsCharSlopeRun != 0, k.style.Contains(fsItalic));
  }
  // The screen context measures the system font.
  HDC screen = GetDC(nullptr);
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(screen, &tm));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 11);
  EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
  EXPECT_EQ(GetNearestColor(screen, 0x123456), 0x123456u);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_FALSE(GetTextMetrics(nullptr, &tm));
}

TEST_F(GdiDrawTest, DrawTextExKeepsMargins) {
  TPaper paper(10, 10);
  HDC dc = paper.Canvas()->Handle();
  TSize size;
  GetTextExtentPoint32(dc, "word", -1, &size);
  DRAWTEXTPARAMS params;
  params.iLeftMargin = 5;
  params.iRightMargin = 7;
  TRect r{10, 0, 500, 100};
  EXPECT_EQ(DrawTextEx(dc, "word", -1, &r, DT_CALCRECT | DT_SINGLELINE, &params), size.cy);
  EXPECT_EQ(r.Width(), size.cx + 12);
  EXPECT_EQ(params.uiLengthDrawn, 4u);
  // Tabs every iTabLength average characters.
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  params = {};
  params.iTabLength = 4;
  TRect t{0, 0, 500, 100};
  DrawTextEx(dc, "\tx", -1, &t, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_TABSTOP, &params);
  EXPECT_GE(t.Width(), 4 * tm.tmAveCharWidth);
  EXPECT_LT(t.Width(), 8 * tm.tmAveCharWidth);
}

TEST_F(GdiDrawTest, LinesLeaveOutTheirEndAndFollowThePen) {
  TPaper paper(40, 20);
  HDC dc = paper.Canvas()->Handle();
  HPEN black = CreatePen(PS_SOLID, 1, 0);
  HPEN old = SelectObject(dc, black);
  // Dots as two-point polylines one pixel long: one pixel each.
  std::vector<TPoint> pts;
  std::vector<DWORD> counts;
  for (int x = 0; x < 10; x += 2) {
    pts.push_back({x, 1});
    pts.push_back({x + 1, 1});
    counts.push_back(2);
  }
  ASSERT_TRUE(PolyPolyline(dc, pts.data(), counts.data(), static_cast<DWORD>(counts.size())));
  EXPECT_EQ(CountIn(paper, Rect(0, 1, 40, 2), clBlack), 5);
  EXPECT_EQ(paper.At(2, 1), clBlack);
  EXPECT_EQ(paper.At(3, 1), clWhite);
  DWORD one = 1;
  EXPECT_FALSE(PolyPolyline(dc, pts.data(), &one, 1));
  // A polyline leaves out its last point.
  TPoint corner[] = {{0, 4}, {5, 4}, {5, 8}};
  Polyline(dc, corner, 3);
  EXPECT_EQ(CountIn(paper, Rect(0, 4, 40, 9), clBlack), 9);
  EXPECT_EQ(paper.At(5, 8), clWhite);
  // Styles of cosmetic pens.
  struct Case {
    DWORD style;
    const char* on;  // the first 12 pixels
  } cases[] = {{PS_DOT, "XXX...XXX..."}, {PS_ALTERNATE, "X.X.X.X.X.X."}, {PS_DASH, "XXXXXXXXXXXX"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.on);
    TPaper line(20, 3);
    HDC ldc = line.Canvas()->Handle();
    LOGBRUSH lb;
    HPEN pen = k.style == PS_ALTERNATE ? ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, lb, 0, nullptr)
                                       : CreatePen(static_cast<int>(k.style), 1, 0);
    ASSERT_NE(pen, nullptr);
    SelectObject(ldc, pen);
    MoveToEx(ldc, 0, 1, nullptr);
    LineTo(ldc, 20, 1);
    String got;
    for (int x = 0; x < 12; ++x) got += line.At(x, 1) == clBlack ? 'X' : '.';
    EXPECT_EQ(got, k.on);
    SelectObject(ldc, GetStockPen(BLACK_PEN));
    DeleteObject(pen);
  }
  // A geometric pen 3 wide with flat ends covers exactly its rectangle.
  TPaper wide(40, 20);
  HDC wdc = wide.Canvas()->Handle();
  LOGBRUSH lb;
  lb.lbColor = 0;
  HPEN thick = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER, 3, lb, 0, nullptr);
  SelectObject(wdc, thick);
  TPoint hline[] = {{5, 10}, {25, 10}};
  Polyline(wdc, hline, 2);
  EXPECT_EQ(wide.Ink(clWhite), Rect(5, 9, 25, 12));
  EXPECT_EQ(wide.Count(clBlack), 60);
  // XOR lines drawn twice are gone.
  SelectObject(wdc, black);
  SetROP2(wdc, R2_XORPEN);
  HPEN white = CreatePen(PS_SOLID, 1, 0xFFFFFF);
  SelectObject(wdc, white);
  TPoint diag[] = {{0, 0}, {30, 15}};
  Polyline(wdc, diag, 2);
  EXPECT_GT(wide.Count(clBlack), 60);
  Polyline(wdc, diag, 2);
  EXPECT_EQ(wide.Count(clBlack), 60);
  SelectObject(wdc, GetStockPen(BLACK_PEN));
  DeleteObject(thick);
  DeleteObject(white);
  SelectObject(dc, old);
  DeleteObject(black);
}

TEST_F(GdiDrawTest, BrushesFillFrameAndInvert) {
  TPaper paper(16, 16);
  HDC dc = paper.Canvas()->Handle();
  // A monochrome 8 x 8 checker: black takes the text colour, white the background.
  uint8_t bits[16];
  for (int y = 0; y < 8; ++y) {
    bits[y * 2] = y % 2 ? 0x55 : 0xAA;
    bits[y * 2 + 1] = 0;
  }
  HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH checker = CreatePatternBrush(pattern);
  DeleteObject(pattern);  // the brush keeps its own copy
  SetTextColor(dc, clRed);
  SetBkColor(dc, clBlue);
  FillRect(dc, Rect(1, 1, 15, 15), checker);
  EXPECT_EQ(paper.At(0, 0), clWhite);
  EXPECT_EQ(paper.At(1, 1), clBlue);  // bit set at (1, 1): white -> background colour
  EXPECT_EQ(paper.At(2, 1), clRed);   // bit clear: black -> text colour
  EXPECT_EQ(paper.At(9, 1), clBlue);  // tiled from the device origin
  EXPECT_EQ(paper.At(1, 2), clRed);
  DeleteObject(checker);
  // A frame one pixel wide; inverting twice restores.
  HBRUSH green = CreateSolidBrush(Ref(clGreen));
  TPaper frame(10, 10);
  HDC fdc = frame.Canvas()->Handle();
  FrameRect(fdc, Rect(2, 2, 8, 8), green);
  EXPECT_EQ(frame.Count(clGreen), 20);
  EXPECT_EQ(frame.At(4, 4), clWhite);
  InvertRect(fdc, Rect(0, 0, 10, 10));
  EXPECT_EQ(frame.At(0, 0), clBlack);
  InvertRect(fdc, Rect(0, 0, 10, 10));
  EXPECT_EQ(frame.Count(clGreen), 20);
  // A hatch over the background colour in OPAQUE mode.
  HBRUSH hatch = CreateHatchBrush(HS_HORIZONTAL, 0);
  SetBkColor(fdc, clYellow);
  FillRect(fdc, Rect(0, 0, 10, 10), hatch);
  EXPECT_GT(frame.Count(clYellow), 0);
  EXPECT_GT(frame.Count(clBlack), 0);
  EXPECT_EQ(frame.Count(clYellow) + frame.Count(clBlack), 100);
  // System colour brushes.
  FillRect(fdc, Rect(0, 0, 10, 10), GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(frame.At(5, 5), Sys(clBtnFace));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), Ref(clBtnFace));
  DeleteObject(green);
  DeleteObject(hatch);
}

TEST_F(GdiDrawTest, HandlesFreedAreRefused) {
  TPaper paper(4, 4);
  HDC dc = paper.Canvas()->Handle();
  HBRUSH b = CreateSolidBrush(0);
  HPEN p = CreatePen(PS_SOLID, 1, 0xFF);
  EXPECT_NE(SelectObject(dc, p), nullptr);
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(b));
  EXPECT_EQ(SelectObject(dc, b), nullptr);
  EXPECT_EQ(FillRect(dc, Rect(0, 0, 2, 2), b), 0);
  // Freed while selected: the DC keeps drawing with what it copied.
  EXPECT_TRUE(DeleteObject(p));
  MoveToEx(dc, 0, 3, nullptr);
  LineTo(dc, 4, 3);
  EXPECT_EQ(paper.At(1, 3), clRed);
  // Stock objects are never freed; a bitmap in a memory DC cannot be.
  HBRUSH stock = GetStockBrush(WHITE_BRUSH);
  EXPECT_TRUE(DeleteObject(stock));
  EXPECT_EQ(FillRect(dc, Rect(0, 0, 1, 1), stock), 1);
  EXPECT_EQ(GetStockPen(WHITE_BRUSH), nullptr);
  TMemoryDC mem(2, 2);
  EXPECT_FALSE(DeleteObject(mem.bitmap));
  EXPECT_EQ(GetStockObject(99), nullptr);
  BITMAP info;
  ASSERT_TRUE(GetObject(mem.bitmap, &info));
  EXPECT_EQ(info.bmWidth, 2);
  EXPECT_EQ(info.bmBitsPixel, 32);
}

TEST_F(GdiDrawTest, BitBltRasterOperations) {
  const COLORREF s = 0x00F0CC, d = 0x0F0FF0, pat = 0x3C3C3C;
  struct Case {
    DWORD rop;
    COLORREF expected;
  } cases[] = {
      {SRCCOPY, s},
      {SRCPAINT, s | d},
      {SRCAND, s & d},
      {SRCINVERT, s ^ d},
      {SRCERASE, s & ~d & 0xFFFFFF},
      {NOTSRCCOPY, ~s & 0xFFFFFF},
      {NOTSRCERASE, ~(s | d) & 0xFFFFFF},
      {MERGEPAINT, (~s | d) & 0xFFFFFF},
      {MERGECOPY, s & pat},
      {PATPAINT, (pat | ~s | d) & 0xFFFFFF},
      {PATCOPY, pat},
      {PATINVERT, pat ^ d},
      {DSTINVERT, ~d & 0xFFFFFF},
      {BLACKNESS, 0},
      {WHITENESS, 0xFFFFFF},
  };
  TMemoryDC src(4, 4);
  src.Fill(Rect(0, 0, 4, 4), s);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.rop);
    TMemoryDC dst(6, 6);
    dst.Fill(Rect(0, 0, 6, 6), d);
    HBRUSH brush = CreateSolidBrush(pat);
    HBRUSH old = SelectObject(dst.dc, brush);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 3, 3, src.dc, 0, 0, k.rop));
    // Read back through a bitmap copy.
    TPaper out(6, 6);
    ASSERT_TRUE(BitBlt(out.Canvas()->Handle(), 0, 0, 6, 6, dst.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(static_cast<COLORREF>(out.At(2, 2)), k.expected);
    EXPECT_EQ(static_cast<COLORREF>(out.At(0, 0)), d);
    EXPECT_EQ(static_cast<COLORREF>(out.At(4, 4)), d);
    SelectObject(dst.dc, old);
    DeleteObject(brush);
  }
  // Stretching repeats pixels; negative extents mirror.
  TMemoryDC two(2, 1);
  two.Fill(Rect(0, 0, 1, 1), 0x0000FF);
  two.Fill(Rect(1, 0, 2, 1), 0xFF0000);
  TPaper wide(8, 2);
  HDC wdc = wide.Canvas()->Handle();
  ASSERT_TRUE(StretchBlt(wdc, 0, 0, 4, 1, two.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(wide.At(1, 0), clRed);
  EXPECT_EQ(wide.At(2, 0), clBlue);
  ASSERT_TRUE(StretchBlt(wdc, 4, 1, 4, 1, two.dc, 2, 0, -2, 1, SRCCOPY));
  EXPECT_EQ(wide.At(4, 1), clBlue);
  EXPECT_EQ(wide.At(7, 1), clRed);
  // A monochrome source takes the destination's text and background colours.
  TMemoryDC mono(2, 1, true);
  mono.Fill(Rect(1, 0, 2, 1), 0xFFFFFF);
  SetTextColor(wdc, clGreen);
  SetBkColor(wdc, clYellow);
  BitBlt(wdc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(wide.At(0, 0), clGreen);
  EXPECT_EQ(wide.At(1, 0), clYellow);
  // A canvas of a window-less bitmap is a source too; nothing without one.
  EXPECT_FALSE(BitBlt(wdc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST_F(GdiDrawTest, ClipRegionsCombine) {
  TPaper paper(40, 40);
  HDC dc = paper.Canvas()->Handle();
  HBRUSH black = GetStockBrush(BLACK_BRUSH);
  int level = SaveDC(dc);
  EXPECT_EQ(IntersectClipRect(dc, 5, 5, 35, 35), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(dc, 10, 10, 20, 20), COMPLEXREGION);
  TPoint tri[] = {{0, 0}, {4, 0}, {0, 4}};
  HRGN corner = CreatePolygonRgn(tri, 3, WINDING);
  EXPECT_EQ(ExtSelectClipRgn(dc, corner, RGN_OR), COMPLEXREGION);
  FillRect(dc, Rect(0, 0, 40, 40), black);
  EXPECT_EQ(paper.At(5, 5), clBlack);
  EXPECT_EQ(paper.At(34, 34), clBlack);
  EXPECT_EQ(paper.At(35, 35), clWhite);
  EXPECT_EQ(paper.At(15, 15), clWhite);  // excluded
  EXPECT_EQ(paper.At(0, 0), clBlack);    // the triangle
  EXPECT_EQ(paper.At(4, 4), clWhite);
  // The clip as a region, in device coordinates.
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, got), 1);
  EXPECT_TRUE(PtInRegion(got, 6, 6));
  EXPECT_FALSE(PtInRegion(got, 15, 15));
  TRect box;
  EXPECT_EQ(GetRgnBox(got, &box), COMPLEXREGION);
  EXPECT_EQ(box, Rect(0, 0, 35, 35));
  // Restoring the saved level takes the clip away.
  EXPECT_TRUE(RestoreDC(dc, level));
  EXPECT_EQ(GetClipRgn(dc, got), 0);
  // Region arithmetic.
  HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15);
  EXPECT_EQ(CombineRgn(got, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_EQ(GetRgnBox(got, &box), SIMPLEREGION);
  EXPECT_EQ(box, Rect(5, 5, 10, 10));
  EXPECT_EQ(CombineRgn(got, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(got, 7, 7));
  EXPECT_EQ(CombineRgn(got, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(got, 2, 2));
  OffsetRgn(a, 5, 5);
  EXPECT_TRUE(EqualRgn(a, b));
  // Selecting a region clips to it; with a window origin it stays in device units.
  SetWindowOrgEx(dc, 10, 0, nullptr);
  SelectClipRgn(dc, b);
  TRect logical;
  EXPECT_EQ(GetClipBox(dc, &logical), SIMPLEREGION);
  EXPECT_EQ(logical, Rect(15, 5, 25, 15));
  FillRect(dc, Rect(0, 0, 100, 100), GetStockBrush(WHITE_BRUSH));
  HBRUSH red = CreateSolidBrush(Ref(clRed));
  FillRect(dc, Rect(0, 0, 100, 100), red);
  EXPECT_EQ(paper.Count(clRed), 100);
  EXPECT_EQ(paper.Ink(clWhite), Rect(0, 0, 35, 35));
  EXPECT_EQ(paper.At(5, 5), clRed);
  SelectClipRgn(dc, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  EXPECT_EQ(GetClipRgn(dc, got), 0);
  for (HRGN r : {corner, got, a, b}) DeleteObject(r);
  DeleteObject(red);
}

TEST_F(GdiDrawTest, MirroringMapsRightToLeftWithReadableText) {
  const int w = 100, h = 30;
  auto mirror = [&](HDC dc) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, w, 0, nullptr);
    SetViewportExtEx(dc, w, h, nullptr);
    SetWindowExtEx(dc, -w, h, nullptr);
  };
  TPaper paper(w, h);
  HDC dc = paper.Canvas()->Handle();
  mirror(dc);
  HBRUSH black = GetStockBrush(BLACK_BRUSH);
  FillRect(dc, Rect(0, 0, 10, 5), black);
  EXPECT_EQ(paper.Ink(clWhite), Rect(w - 10, 0, w, 5));
  TPoint pts[] = {{0, 0}, {w - 1, 0}};
  LPtoDP(dc, pts, 2);
  EXPECT_EQ(pts[0], Point(w, 0));
  EXPECT_EQ(pts[1], Point(1, 0));
  DPtoLP(dc, pts, 2);
  EXPECT_EQ(pts[1], Point(w - 1, 0));
  // Text sits in its mirrored box and reads as it does unmirrored.
  TSize size;
  GetTextExtentPoint32(dc, "Ab", -1, &size);
  TPaper text(w, h), plain(w, h);
  HDC tdc = text.Canvas()->Handle();
  mirror(tdc);
  HDC pdc = plain.Canvas()->Handle();
  for (HDC d : {tdc, pdc}) {
    SetBkMode(d, TRANSPARENT);
    SetTextColor(d, clBlack);
  }
  TextOut(tdc, w - 10 - size.cx, 5, "Ab", -1);
  TextOut(pdc, 10, 5, "Ab", -1);
  EXPECT_FALSE(plain.Ink(clWhite).IsEmpty());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(text.At(x, y), plain.At(x, y)) << x << "," << y;
  // Back to plain mapping.
  SetMapMode(dc, MM_TEXT);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  FillRect(dc, Rect(0, 20, 3, 21), black);
  EXPECT_EQ(paper.At(0, 20), clBlack);
  // The layout mirror does the same from the DC's width.
  TPaper rtl(w, h);
  HDC rdc = rtl.Canvas()->Handle();
  EXPECT_EQ(SetLayout(rdc, LAYOUT_RTL), 0u);
  FillRect(rdc, Rect(0, 0, 10, 5), black);
  EXPECT_EQ(rtl.Ink(clWhite), Rect(w - 10, 0, w, 5));
  EXPECT_EQ(GetLayout(rdc), LAYOUT_RTL);
  // Saved states keep the mapping.
  int level = SaveDC(rdc);
  SetLayout(rdc, 0);
  RestoreDC(rdc, level);
  EXPECT_EQ(GetLayout(rdc), LAYOUT_RTL);
}

TEST_F(GdiDrawTest, SystemMetricsAndColours) {
  EXPECT_GT(GetSystemMetrics(SM_CXVSCROLL), 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_GT(GetSystemMetrics(SM_CXDOUBLECLK), 0);
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_EQ(GetSystemMetrics(-5), 0);
  EXPECT_GT(GetDoubleClickTime(), 0u);
  for (int i : {COLOR_WINDOW, COLOR_BTNFACE, COLOR_HIGHLIGHT, COLOR_BTNSHADOW})
    EXPECT_EQ(GetSysColor(i), Ref(static_cast<TColor>(clSystemColor | i)));
}

TEST_F(GdiDrawTest, CursorsFromResourcesKeepTheirHotSpots) {
  RegisterGridResources();
  struct Case {
    const char* name;
    TPoint hot;
  } cases[] = {{"DOWNCUREH", {15, 19}}, {"RIGHTCUREH", {19, 16}}, {"LEFTCUREH", {0, 4}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    HCURSOR c = LoadCursor(HInstance, k.name);
    ASSERT_NE(c, nullptr);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(c, &info));
    EXPECT_EQ((TPoint{static_cast<int>(info.xHotspot), static_cast<int>(info.yHotspot)}), k.hot);
    EXPECT_EQ(info.Size, (TSize{32, 32}));
    EXPECT_EQ(CursorPixel(c, k.hot.X, k.hot.Y), 0xFF000000u);  // the tip is black
    EXPECT_EQ(CursorPixel(c, 0, 0) >> 24, 0u);                // the corner is clear
    EXPECT_TRUE(DestroyCursor(c));
  }
  EXPECT_EQ(LoadCursor(HInstance, "NOSUCHCURSOR"), nullptr);
  // The grid's bitmaps: their sizes, and the mask colour in the corner
  // (white, $808000 for the white arrow, magenta for the sort markers).
  struct Bitmap {
    const char* name;
    TSize size;
    TColor mask;
    TPixelFormat format;
  } bitmaps[] = {
      {"DBGARROWEH", {6, 11}, clWhite, pf1bit},      {"DBEDITEH", {6, 11}, clWhite, pf1bit},
      {"DBINSERTEH", {6, 11}, clWhite, pf1bit},      {"DBMULTIDOTEH", {6, 11}, clWhite, pf1bit},
      {"DBMULTIARROWEH", {6, 11}, clWhite, pf1bit},  {"DBGARROWEHW", {6, 11}, static_cast<TColor>(0x808000), pf4bit},
      {"DBSMDOWNEH", {10, 9}, static_cast<TColor>(0xFF00FF), pf4bit},
      {"DBSMUPEH", {10, 9}, static_cast<TColor>(0xFF00FF), pf4bit},
  };
  for (const Bitmap& b : bitmaps) {
    SCOPED_TRACE(b.name);
    TBitmap bmp;
    bmp.LoadFromResourceName(HInstance, b.name);
    EXPECT_EQ((TSize{bmp.Width(), bmp.Height()}), b.size);
    EXPECT_EQ(bmp.PixelFormat(), b.format);
    EXPECT_EQ(bmp.Canvas()->Pixel(b.size.cx - 1, 0), b.mask);
    TPaper paper(b.size.cx, b.size.cy, b.mask);
    paper.Canvas()->Draw(0, 0, &bmp);
    EXPECT_GT(paper.CountNot(Rect(0, 0, b.size.cx, b.size.cy), b.mask), 4);  // something is drawn
  }
  // Damaged data is no cursor.
  std::span<const uint8_t> bytes = LoadResource("DOWNCUREH", RT_CURSOR);
  EXPECT_EQ(CreateCursorFromData(bytes.first(40)), nullptr);
  std::vector<uint8_t> bad(bytes.begin(), bytes.end());
  bad[18] = 0xFF;  // image offset past the end
  EXPECT_EQ(CreateCursorFromData(bad), nullptr);
  // System cursors are shared and stay.
  HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), arrow);
  EXPECT_FALSE(DestroyCursor(arrow));
  EXPECT_NE(ScreenCursor(crHSplit), ScreenCursor(crArrow));
  HCURSOR before = SetCursor(arrow);
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_EQ(SetCursor(before), arrow);
}
