#include "platform/gui/GDI.h"

#include "tests/platform/gui/GuiFixture.h"

namespace {

using GdiTest = GuiTest;

TColor Sys(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

// Measures Text with DT_CALCRECT in a rectangle Width wide.
TRect Calc(TCanvas* C, const String& Text, int Width, UINT Format) {
  TRect r{0, 0, Width, 1000};
  DrawText(C->Handle(), Text, -1, &r, Format | DT_CALCRECT);
  return r;
}

}  // namespace

TEST_F(GdiTest, DrawTextMeasuresLinesPrefixesAndWrapping) {
  TPaper paper(10, 10);
  TCanvas* c = paper.Canvas();
  const int line = c->TextHeight("Wg");
  const int word = c->TextWidth("word");
  struct Case {
    const char* text;
    int width;
    UINT format;
    int lines;
    int expected_width;  // -1: not checked
  } cases[] = {
      {"word", 500, DT_SINGLELINE, 1, word},
      {"&File", 500, DT_SINGLELINE, 1, c->TextWidth("File")},          // "&" marks, takes no room
      {"&File", 500, DT_SINGLELINE | DT_NOPREFIX, 1, c->TextWidth("&File")},
      {"a&&b", 500, 0, 1, c->TextWidth("a&b")},                         // "&&" is one "&"
      {"one\r\ntwo\nthree\rfour", 500, 0, 4, c->TextWidth("three")},    // every kind of line break
      {"one\r\ntwo", 500, DT_SINGLELINE, 1, c->TextWidth("onetwo")},
      {"word word word", word + word / 2, DT_WORDBREAK, 3, word},       // one word a line
      {"word word word", 2 * word + c->TextWidth(" "), DT_WORDBREAK, 2, -1},
      {"unbreakable", 5, DT_WORDBREAK, 1, c->TextWidth("unbreakable")},  // a long word stays whole
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    TRect r = Calc(c, k.text, k.width, k.format);
    EXPECT_EQ(r.Height(), k.lines * line);
    if (k.expected_width >= 0) {
      EXPECT_EQ(r.Width(), k.expected_width);
    }
  }
  // An end ellipsis keeps the line inside the rectangle.
  TRect cut = Calc(c, "a rather long line of text", 60, DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_LE(cut.Width(), 60);
  EXPECT_GT(cut.Width(), 0);
  // The result is the text's height; nothing is drawn.
  TRect r{0, 0, 100, 100};
  EXPECT_EQ(DrawText(c->Handle(), "x", -1, &r, DT_CALCRECT), line);
  EXPECT_EQ(paper.CountNot(Rect(0, 0, 10, 10), clWhite), 0);
  EXPECT_EQ(DrawText(nullptr, "x", -1, &r, 0), 0);
}

TEST_F(GdiTest, DrawTextPlacesClipsAndFills) {
  TPaper paper(120, 60);
  TCanvas* c = paper.Canvas();
  c->Font()->SetColor(clBlack);
  c->Brush()->SetStyle(bsClear);
  TRect box{10, 10, 110, 50};
  struct Case {
    UINT format;
    bool right_half, bottom_half, centred;
  } cases[] = {
      {DT_SINGLELINE, false, false, false},
      {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, true, true, false},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, false, false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.format);
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 120, 60));
    c->Brush()->SetStyle(bsClear);
    TRect r = box;
    DrawText(c->Handle(), "Mi", -1, &r, k.format);
    TRect ink = paper.Ink(clWhite);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_TRUE(Within(ink, box));
    int cx = (ink.Left + ink.Right) / 2, cy = (ink.Top + ink.Bottom) / 2;
    if (k.centred) {
      EXPECT_NEAR(cx, 60, 3);
      EXPECT_NEAR(cy, 30, 4);
    } else {
      EXPECT_EQ(cx > 60, k.right_half);
      EXPECT_EQ(cy > 30, k.bottom_half);
    }
  }
  // Clipped to the rectangle unless DT_NOCLIP.
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 120, 60));
  c->Brush()->SetStyle(bsClear);
  TRect small{10, 10, 14, 14};
  DrawText(c->Handle(), "WWWW", -1, &small, DT_SINGLELINE);
  EXPECT_EQ(paper.CountNot(Rect(14, 0, 120, 60), clWhite), 0);
  DrawText(c->Handle(), "WWWW", -1, &small, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(paper.CountNot(Rect(14, 0, 120, 60), clWhite), 0);
  // Opaque mode fills behind the text with the background colour.
  c->Brush()->SetColor(clYellow);
  HDC dc = c->Handle();
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  TRect line{10, 40, 110, 60};
  DrawText(dc, "i", -1, &line, DT_SINGLELINE);
  EXPECT_EQ(paper.At(10, 41), clYellow);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetTextColor(dc, clRed), clBlack);
}

TEST_F(GdiTest, DrawTextTurnsWithTheFontsEscapement) {
  TPaper paper(80, 80);
  TCanvas* c = paper.Canvas();
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(clBlack);
  c->Font()->SetOrientation(900);  // reads upwards from the rectangle's top-left
  TRect r{30, 70, 130, 90};
  DrawText(c->Handle(), "Turned", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  TRect ink = paper.Ink(clWhite);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_GT(ink.Height(), ink.Width());
  EXPECT_LE(ink.Bottom, 71);
  EXPECT_GE(ink.Left, 29);
}

TEST_F(GdiTest, DrawEdgeUsesThePlatformColours) {
  TPaper paper(12, 12);
  HDC dc = paper.Canvas()->Handle();
  TRect r{0, 0, 10, 10};
  EXPECT_TRUE(DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_MIDDLE));
  EXPECT_EQ(r, Rect(0, 0, 10, 10));  // no BF_ADJUST: unchanged
  EXPECT_EQ(paper.At(0, 0), Sys(cl3DLight));
  EXPECT_EQ(paper.At(1, 1), Sys(clBtnHighlight));
  EXPECT_EQ(paper.At(9, 9), Sys(cl3DDkShadow));
  EXPECT_EQ(paper.At(8, 8), Sys(clBtnShadow));
  EXPECT_EQ(paper.At(9, 0), Sys(cl3DDkShadow));  // the right line owns the top-right pixel
  EXPECT_EQ(paper.At(5, 5), Sys(clBtnFace));
  EXPECT_EQ(paper.At(10, 10), clWhite);

  TPaper sunken(12, 12);
  TRect s{0, 0, 10, 10};
  DrawEdge(sunken.Canvas()->Handle(), s, BDR_SUNKENOUTER, BF_TOP | BF_LEFT | BF_ADJUST);
  EXPECT_EQ(s, Rect(1, 1, 10, 10));
  EXPECT_EQ(sunken.At(5, 0), Sys(clBtnShadow));
  EXPECT_EQ(sunken.At(9, 5), clWhite);  // no right line asked for
  EXPECT_FALSE(DrawEdge(nullptr, s, EDGE_RAISED, BF_RECT));
}

TEST_F(GdiTest, SavedStatesAndClipping) {
  TPaper paper(20, 20);
  TCanvas* c = paper.Canvas();
  HDC dc = c->Handle();
  int level = SaveDC(dc);
  EXPECT_EQ(level, 1);
  EXPECT_EQ(IntersectClipRect(dc, 5, 5, 15, 15), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(dc, 8, 8, 10, 10), COMPLEXREGION);
  TRect box;
  EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, Rect(5, 5, 15, 15));
  SetTextColor(dc, clRed);
  c->Brush()->SetColor(clBlack);
  c->FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(paper.At(4, 4), clWhite);
  EXPECT_EQ(paper.At(5, 5), clBlack);
  EXPECT_EQ(paper.At(9, 9), clWhite);  // the hole
  EXPECT_TRUE(RestoreDC(dc, -1));
  EXPECT_FALSE(RestoreDC(dc, -1));  // nothing saved any more
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box, Rect(0, 0, 20, 20));
  // A region replaces the clip; GetClipRgn copies it.
  HRGN rgn = CreateRectRgn(0, 0, 3, 3);
  EXPECT_EQ(GetClipRgn(dc, rgn), 0);
  SelectClipRgn(dc, rgn);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, copy), 1);
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(paper.At(2, 2), clLime);
  EXPECT_EQ(paper.At(3, 3), clWhite);
  EXPECT_EQ(paper.At(6, 6), clBlack);
  SelectClipRgn(dc, nullptr);
  EXPECT_TRUE(DeleteObject(rgn));
  EXPECT_TRUE(DeleteObject(copy));
}
