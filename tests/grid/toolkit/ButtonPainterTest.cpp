// The button face painter: each face drawn once into the cache and copied
// from there, the same pixels as drawn straight, and the marks, frames and
// gaps of the faces by state.
#include <gtest/gtest.h>

#include <memory>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "tests/grid/toolkit/ToolkitFixture.h"

namespace {

class ButtonPainterTest : public ToolkitTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ClearButtonsBitmapCache();
    UseButtonsBitmapCache = true;
  }
  void TearDown() override {
    UseButtonsBitmapCache = true;
    GuiTest::TearDown();
  }

  struct TFace {
    TButtonPaintKindEh kind;
    int width = 17, height = 17, pressed = 0;
    bool flat = false, active = false, enabled = true;
    TCheckBoxState state = cbUnchecked;
  };
  static std::unique_ptr<TBitmap> Paint(const TFace& F, TColor Parent = clRed) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(F.width, F.height);
    PaintButtonControlEh(b->Canvas()->Handle(), Rect(0, 0, F.width, F.height), Parent, F.kind, F.pressed, F.flat,
                         F.active, F.enabled, F.state);
    return b;
  }
  static bool SamePixels(TBitmap* A, TBitmap* B) {
    for (int y = 0; y < A->Height(); ++y)
      for (int x = 0; x < A->Width(); ++x)
        if (A->Canvas()->Pixel(x, y) != B->Canvas()->Pixel(x, y)) return false;
    return true;
  }
  static bool Is(TBitmap* B, int X, int Y, TColor C) { return B->Canvas()->Pixel(X, Y) == ColorToRGB(C); }
};

TEST_F(ButtonPainterTest, EachFaceIsDrawnOnceIntoTheCacheAndCopiedFromThere) {
  struct Case {
    TButtonPaintKindEh kind;
    int entries;  // an up/down pair keeps its two halves
  };
  const Case cases[] = {{bpkDropDownEh, 1}, {bpkEllipsisEh, 1}, {bpkUpDownEh, 2},
                        {bpkCheckBoxEh, 1}, {bpkPlusEh, 1},     {bpkMinusEh, 1}};
  TButtonsBitmapCache* cache = ButtonsBitmapCache();
  ASSERT_NE(cache, nullptr);
  ASSERT_EQ(cache->Count(), 0);
  for (const Case& c : cases) {
    const int before = cache->Count();
    auto cached = Paint({c.kind});
    ASSERT_EQ(cache->Count(), before + c.entries) << c.kind;
    auto again = Paint({c.kind});
    EXPECT_EQ(cache->Count(), before + c.entries) << c.kind;
    EXPECT_TRUE(SamePixels(cached.get(), again.get())) << c.kind;
    // Drawn straight the face has the same pixels, and it is a face.
    UseButtonsBitmapCache = false;
    auto direct = Paint({c.kind});
    UseButtonsBitmapCache = true;
    EXPECT_TRUE(SamePixels(cached.get(), direct.get())) << c.kind;
    EXPECT_FALSE(Is(direct.get(), 8, 8, clWhite) && Is(direct.get(), 1, 1, clWhite)) << c.kind;
  }
  // The second paint copied the cached bitmap: a mark put there shows.
  TBitmap* entry = cache->Items(0)->Bitmap();
  entry->Canvas()->SetPixel(5, 5, clFuchsia);
  EXPECT_TRUE(Is(Paint({bpkDropDownEh}).get(), 5, 5, clFuchsia));
  // Another state or size is another face.
  const int count = cache->Count();
  Paint({bpkDropDownEh, 17, 17, 1});
  Paint({bpkDropDownEh, 20, 17});
  Paint({bpkCheckBoxEh, 17, 17, 0, false, false, true, cbChecked});
  EXPECT_EQ(cache->Count(), count + 3);
  ClearButtonsBitmapCache();
  EXPECT_EQ(cache->Count(), 0);
  EXPECT_FALSE(Is(Paint({bpkDropDownEh}).get(), 5, 5, clFuchsia));
}

TEST_F(ButtonPainterTest, MarksMoveWhenPressedAndAreEmbossedWhenDisabled) {
  // A 17-pixel raised face: the inside is (2, 2)-(15, 15); ellipsis dots of
  // 2 pixels with gaps of 2 start at (3, 7); plus and minus bars are 9 by 3
  // pixels, centred at (8, 8).
  struct Case {
    TButtonPaintKindEh kind;
    int pressed;
    bool enabled;
    int x, y;
    TColor color;
  };
  const Case cases[] = {
      {bpkEllipsisEh, 0, true, 3, 7, clBtnText},     {bpkEllipsisEh, 0, true, 7, 8, clBtnText},
      {bpkEllipsisEh, 0, true, 5, 7, clBtnFace},     {bpkEllipsisEh, 1, true, 4, 8, clBtnText},
      {bpkEllipsisEh, 1, true, 3, 7, clBtnFace},     {bpkEllipsisEh, 0, false, 3, 7, clBtnShadow},
      {bpkEllipsisEh, 0, false, 5, 9, clBtnHighlight}, {bpkPlusEh, 0, true, 8, 8, clBtnText},
      {bpkPlusEh, 0, true, 4, 8, clBtnText},         {bpkPlusEh, 0, true, 8, 4, clBtnText},
      {bpkMinusEh, 0, true, 12, 8, clBtnText},       {bpkMinusEh, 0, true, 8, 5, clBtnFace},
      {bpkMinusEh, 1, true, 13, 9, clBtnText},
  };
  for (const Case& c : cases) {
    TFace f{c.kind};
    f.pressed = c.pressed;
    f.enabled = c.enabled;
    auto b = Paint(f);
    EXPECT_TRUE(Is(b.get(), c.x, c.y, c.color)) << c.kind << " pressed " << c.pressed << " enabled " << c.enabled
                                                 << " at " << c.x << "," << c.y;
  }
}

TEST_F(ButtonPainterTest, FlatFramesAndTheGapOfAnUpDownPairTakeTheParentColour) {
  // A flat face that is not hot sits in a frame of the parent's colour.
  TFace flat{bpkDropDownEh, 15, 17};
  flat.flat = true;
  auto b = Paint(flat);
  for (TPoint p : {Point(0, 0), Point(14, 0), Point(0, 16), Point(14, 16), Point(7, 0)})
    EXPECT_TRUE(Is(b.get(), p.X, p.Y, clRed)) << p.X << "," << p.Y;
  EXPECT_FALSE(Is(b.get(), 7, 8, clRed));
  // Hot, it draws its own edge instead.
  flat.active = true;
  EXPECT_FALSE(Is(Paint(flat).get(), 7, 0, clRed));

  // An odd up/down pair has a middle line of its own; an even one none;
  // under a flat frame the line is three pixels high.
  struct Case {
    int height;
    bool flat;
    int firstRed, lastRed;  // rows of the gap (firstRed > lastRed: none)
  };
  const Case cases[] = {{17, false, 8, 8}, {16, false, 1, 0}, {17, true, 7, 9}};
  for (const Case& c : cases) {
    TFace f{bpkUpDownEh, 15, c.height};
    f.flat = c.flat;
    auto pair = Paint(f);
    for (int y = 2; y < c.height - 2; ++y) {
      EXPECT_EQ(Is(pair.get(), 7, y, clRed), y >= c.firstRed && y <= c.lastRed)
          << "height " << c.height << " flat " << c.flat << " row " << y;
    }
  }
  // Pressing one half sinks only that half.
  TFace upper{bpkUpDownEh, 15, 17, 1};
  TFace lower{bpkUpDownEh, 15, 17, 2};
  auto up = Paint(upper), down = Paint(lower), none = Paint({bpkUpDownEh, 15, 17});
  auto rowsDiffer = [](TBitmap* A, TBitmap* B, int From, int To) {
    for (int y = From; y < To; ++y)
      for (int x = 0; x < A->Width(); ++x)
        if (A->Canvas()->Pixel(x, y) != B->Canvas()->Pixel(x, y)) return true;
    return false;
  };
  EXPECT_TRUE(rowsDiffer(up.get(), none.get(), 0, 8));
  EXPECT_FALSE(rowsDiffer(up.get(), none.get(), 9, 17));
  EXPECT_FALSE(rowsDiffer(down.get(), none.get(), 0, 8));
  EXPECT_TRUE(rowsDiffer(down.get(), none.get(), 9, 17));
}

TEST_F(ButtonPainterTest, CheckBoxFacesShowTheirStateInASquare) {
  // A wide cell: the box is the centred square; checked shows a mark.
  TFace box{bpkCheckBoxEh, 31, 13};
  auto unchecked = Paint(box, clRed);
  box.state = cbChecked;
  auto checked = Paint(box, clRed);
  EXPECT_TRUE(Is(unchecked.get(), 2, 6, clWhite));  // outside the square: untouched
  EXPECT_TRUE(Is(unchecked.get(), 15, 6, clWindow));
  EXPECT_FALSE(SamePixels(unchecked.get(), checked.get()));
  // Flat and not hot: framed in the parent's colour.
  box.flat = true;
  auto flat = Paint(box, clRed);
  EXPECT_TRUE(Is(flat.get(), 9, 0, clRed));
  EXPECT_TRUE(Is(flat.get(), 21, 12, clRed));
}

}  // namespace
