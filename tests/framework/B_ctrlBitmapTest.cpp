#include "tests/framework/FrameworkFixture.h"
#include "tests/support/TempDir.h"

namespace {

using B_ctrlBitmapTest = FrameworkTest;

// A list of three 4 x 4 images in red, lime and blue, each with a magenta
// top-left pixel (masked away).
std::unique_ptr<TImageList> ColourList() {
  auto list = std::make_unique<TImageList>(nullptr, 4, 4);
  TBitmap strip;
  strip.SetSize(12, 4);
  const TColor colours[] = {clRed, clLime, clBlue};
  for (int i = 0; i < 3; ++i) {
    strip.Canvas()->Brush()->SetColor(colours[i]);
    strip.Canvas()->FillRect(Rect(4 * i, 0, 4 * i + 4, 4));
    strip.Canvas()->SetPixel(4 * i, 0, clFuchsia);
  }
  list->AddMasked(&strip, clFuchsia);
  return list;
}

}  // namespace

TEST_F(B_ctrlBitmapTest, BuiltInBitmapsComeFromTheSharedList) {
  TB_BitmapPersistent b(nullptr);
  b.SetInternal(b_ibCheck);
  EXPECT_EQ(b.ImageList(), GetAppImageList());
  EXPECT_EQ(b.NameBitmap(), IM_CHECK);
  EXPECT_EQ(b.NumberImages(), 4);
  TB_ImageList* shared = GetAppImageList();
  const char* names[] = {"IM_CHECK", "IM_CHECK_1", "IM_CHECK_2", "IM_CHECK_3"};
  for (int n = 1; n <= 4; ++n) {
    b.SetCurrentImage(n);
    EXPECT_EQ(b.CurrentIndex(), shared->GetBitmapIndex(names[n - 1]));
  }
  b.SetCurrentImage(5);  // beyond NumberImages: back to 1
  EXPECT_EQ(b.CurrentImage(), 1);
  b.SetInternal(b_ibMem);
  EXPECT_EQ(b.NameBitmap(), IM_BTN_DOWNMEM);
  EXPECT_EQ(b.NumberImages(), 1);
  EXPECT_FALSE(b.IsNameBitmapStored());
  b.SetInternal(b_ibNone);  // keeps the names
  EXPECT_EQ(b.NameBitmap(), IM_BTN_DOWNMEM);
}

TEST_F(B_ctrlBitmapTest, NamedBitmapsOfTheLibraryInAnOwnList) {
  TB_BitmapPersistent b(nullptr);
  b.LockUpdates();
  b.SetNameFile("B_LIB.DLL");
  b.SetNumber(4);
  b.SetNameBitmap("WINDOW_MSG");
  b.UnlockUpdates();
  b.RefreshImages();
  TCustomImageList* own = b.ImageList();
  ASSERT_NE(dynamic_cast<TB_ImageList*>(own), nullptr);
  EXPECT_EQ(own->Count(), 4);
  EXPECT_EQ(b.ImageWidth(), 32);
  EXPECT_EQ(b.NumberImages(), 4);
  EXPECT_EQ(b.ImageIndexs(), "0;1;2;3");
  b.SetCurrentImage(2);
  EXPECT_EQ(b.CurrentIndex(), 1);
  // Indexes given directly pick the images when no names are set.
  b.SetNameBitmap("");
  b.SetImageIndexs("3;0");
  EXPECT_EQ(b.NumberImages(), 4);  // Number says so
  b.SetCurrentImage(1);
  EXPECT_EQ(b.CurrentIndex(), 3);
  EXPECT_THROW(b.SetNumber(-2), ERangeError);
}

TEST_F(B_ctrlBitmapTest, AnimationRunsFromPlayStartToPlayEnd) {
  auto list = ColourList();
  TB_BitmapPersistent b(nullptr);
  b.SetImages(list.get());
  b.SetNumber(6);
  b.SetPlayStart(2);
  b.SetPlayEnd(4);
  std::vector<int> shown;
  for (int i = 0; i < 8; ++i) {
    b.NextFrame(nullptr);
    shown.push_back(b.CurrentImage());
  }
  EXPECT_EQ(shown, (std::vector<int>{2, 3, 4, 5, 3, 4, 5, 3}));
  // Without a range the frames run round.
  b.SetPlayStart(0);
  b.SetPlayEnd(0);
  b.SetCurrentImage(6);
  b.NextFrame(nullptr);
  EXPECT_EQ(b.CurrentImage(), 1);
  // The Play timer drives it; each step reports a change.
  int changes = 0;
  b.SetOnChange([&](TObject*) { ++changes; });
  b.Play()->SetThreaded(false);
  b.Play()->SetInterval(100);
  b.Play()->SetActive(true);
  clock_.Advance(300);
  EXPECT_EQ(b.CurrentImage(), 4);
  EXPECT_EQ(changes, 3);
  b.Play()->SetActive(false);
}

TEST_F(B_ctrlBitmapTest, PaintingPlacesTilesAndLeavesTheMaskOut) {
  auto list = ColourList();
  TB_BitmapPersistent b(nullptr);
  b.SetImages(list.get());
  b.SetBounds(2, 2, 10, 9);
  b.SetNumber(3);  // the images of the list, one after the other
  b.SetCurrentImage(1);
  struct Case {
    TB_AlignHorz h;
    TB_AlignVert v;
    int x, y;  // where the image's top-left lands
  } cases[] = {{b_ahLeft, b_avTop, 3, 3}, {b_ahRight, b_avBottom, 7, 6}, {b_ahCenter, b_avCenter, 5, 4}};
  b.SetBorder(1);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.h << "," << k.v);
    b.SetAlignHorz(k.h);
    b.SetAlignVert(k.v);
    TPaper paper(16, 16, clYellow);
    b.Paint(paper.Canvas());
    EXPECT_EQ(paper.At(k.x, k.y), clYellow);  // the masked corner
    EXPECT_EQ(paper.At(k.x + 1, k.y), clRed);
    EXPECT_EQ(paper.At(k.x + 3, k.y + 3), clRed);
    EXPECT_EQ(paper.CountNot(Rect(0, 0, 16, 16), clYellow), 15);  // one image, no more
  }
  // Tiles fill the rectangle from its top-left, cut at its edges.
  b.SetStyle(b_bsTile);
  b.SetCurrentImage(2);
  TPaper paper(16, 16, clYellow);
  b.Paint(paper.Canvas());
  EXPECT_EQ(paper.At(3, 2), clLime);
  EXPECT_EQ(paper.At(6, 6), clYellow);   // the second row's masked corner
  EXPECT_EQ(paper.At(11, 10), clLime);   // the last, cut tile
  EXPECT_EQ(paper.At(12, 10), clYellow);  // outside the rectangle
  // A disabled group is drawn greyed.
  b.SetEnabled(false);
  b.SetStyle(b_bsStretch);
  TPaper grey(16, 16, clWhite);
  b.Paint(grey.Canvas());
  EXPECT_GT(grey.CountNot(Rect(0, 0, 16, 16), clWhite), 0);
}

TEST_F(B_ctrlBitmapTest, ListsByReferenceAndByName) {
  TB_BitmapPersistent b(nullptr);
  {
    auto list = ColourList();
    b.SetImages(list.get());
    EXPECT_EQ(b.Images(), list.get());
    EXPECT_EQ(b.NumberImages(), 1);  // a list of another kind gives one image
  }
  EXPECT_EQ(b.Images(), nullptr);  // freed: forgotten
  b.SetImagesName("Named");
  EXPECT_EQ(b.ImageList(), nullptr);
  TB_ImageList named(nullptr);
  named.SetName("Named");
  named.DisableReload();
  named.SetNameFile("B_Lib.DLL");
  named.SetNameBitmap("IM_OK;IM_DATE");
  named.EnableReload();
  EXPECT_EQ(b.ImageList(), &named);  // found once the registry changed
  b.SetNameBitmap("IM_DATE");
  EXPECT_EQ(b.NumberImages(), 1);
  EXPECT_EQ(b.CurrentIndex(), named.GetBitmapIndex("IM_DATE"));
}
