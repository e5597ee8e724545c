#include "platform/gui/GDI.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

using ImgListTest = GuiTest;

// A Width x 4 strip of 4 x 4 squares: the square k in Colors[k], with a
// magenta pixel at each square's top-left corner.
std::unique_ptr<TBitmap> Strip(std::initializer_list<TColor> Colors) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(4 * static_cast<int>(Colors.size()), 4);
  int x = 0;
  for (TColor c : Colors) {
    b->Canvas()->Brush()->SetColor(c);
    b->Canvas()->FillRect(Rect(x, 0, x + 4, 4));
    b->Canvas()->SetPixel(x, 0, clFuchsia);
    x += 4;
  }
  return b;
}

}  // namespace

TEST_F(ImgListTest, AddCutsWideBitmapsIntoImages) {
  TImageList list(nullptr, 4, 4);
  auto strip = Strip({clRed, clLime, clBlue});
  EXPECT_EQ(list.Add(strip.get(), nullptr), 0);
  EXPECT_EQ(list.Count(), 3);
  auto narrow = std::make_unique<TBitmap>();
  narrow->SetSize(3, 4);
  EXPECT_EQ(list.Add(narrow.get(), nullptr), 3);  // not wider than an image: one image
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Add(nullptr, nullptr), -1);
  TPaper paper(4, 4);
  list.Draw(paper.Canvas(), 0, 0, 1, dsNormal, itImage);
  EXPECT_EQ(paper.At(2, 2), clLime);
  list.Move(1, 0);
  list.Draw(paper.Canvas(), 0, 0, 0, dsNormal, itImage);
  EXPECT_EQ(paper.At(2, 2), clLime);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_THROW(list.Delete(7), EInvalidOperation);
  list.SetWidth(8);  // a new size clears the list
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.SetSize(-1, 4), EInvalidOperation);
}

TEST_F(ImgListTest, MasksBackgroundsAndDrawingStyles) {
  TImageList list(nullptr, 4, 4);
  auto strip = Strip({clRed});
  list.AddMasked(strip.get(), clFuchsia);
  HDC dc;
  // Transparent: the masked pixel keeps what lies beneath.
  TPaper under(4, 4, clYellow);
  dc = under.Canvas()->Handle();
  EXPECT_TRUE(ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT));
  EXPECT_EQ(under.At(0, 0), clYellow);
  EXPECT_EQ(under.At(1, 1), clRed);
  // Normal with a background colour: the masked pixel takes it.
  ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, static_cast<uint32_t>(clBlue), CLR_NONE, ILD_NORMAL);
  EXPECT_EQ(under.At(0, 0), clBlue);
  // CLR_DEFAULT is the list's BkColor; clNone leaves the pixel alone.
  list.SetBkColor(clLime);
  ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, CLR_DEFAULT, CLR_NONE, ILD_NORMAL);
  EXPECT_EQ(under.At(0, 0), clLime);
  // The mask alone: black where the image is.
  ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_MASK);
  EXPECT_EQ(under.At(0, 0), clWhite);
  EXPECT_EQ(under.At(1, 1), clBlack);
  // Blending mixes half of the foreground colour in.
  ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, CLR_NONE, static_cast<uint32_t>(clBlue), ILD_BLEND50);
  int32_t mixed = under.At(2, 2);
  EXPECT_NEAR(mixed & 0xFF, 127, 2);
  EXPECT_NEAR((mixed >> 16) & 0xFF, 127, 2);
  // Without a blend colour the image is mixed half with what lies beneath;
  // ILD_SELECTED is the 50 % blend, with clHighlight for CLR_DEFAULT.
  TPaper beneath(4, 4, clYellow);
  HDC bdc = beneath.Canvas()->Handle();
  ImageList_DrawEx(&list, 0, bdc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT | ILD_BLEND50);
  int32_t half = beneath.At(2, 2);  // red over yellow
  EXPECT_NEAR(half & 0xFF, 255, 2);
  EXPECT_NEAR((half >> 8) & 0xFF, 127, 2);
  EXPECT_EQ(beneath.At(0, 0), clYellow);  // the mask still holds
  ImageList_DrawEx(&list, 0, bdc, 0, 0, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT | ILD_SELECTED);
  int32_t sel = beneath.At(2, 2), hl = ColorToRGB(clHighlight);
  EXPECT_NEAR(sel & 0xFF, (255 + (hl & 0xFF)) / 2, 2);
  EXPECT_NEAR((sel >> 16) & 0xFF, ((hl >> 16) & 0xFF) / 2, 2);
  // A list without masks draws every pixel.
  list.SetMasked(false);
  ImageList_DrawEx(&list, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  EXPECT_EQ(under.At(0, 0), clFuchsia);
  EXPECT_FALSE(ImageList_DrawEx(&list, 5, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, 0));
  EXPECT_FALSE(ImageList_DrawEx(nullptr, 0, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, 0));
  // Disabled images come out embossed in the 3-D colours.
  list.SetMasked(true);
  TPaper grey(6, 6, clWhite);
  auto dark = Strip({clBlack});
  TImageList shapes(nullptr, 4, 4);
  shapes.AddMasked(dark.get(), clFuchsia);
  shapes.Draw(grey.Canvas(), 0, 0, 0, false);
  EXPECT_EQ(grey.At(2, 2), static_cast<TColor>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(grey.At(4, 4), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
  // GetBitmap paints the masked pixels in the background colour.
  TBitmap one;
  EXPECT_TRUE(list.GetBitmap(0, &one));
  EXPECT_EQ(one.Canvas()->Pixel(0, 0), clLime);
  EXPECT_EQ(one.Canvas()->Pixel(3, 3), clRed);
  EXPECT_FALSE(list.GetBitmap(9, &one));
}

TEST_F(ImgListTest, ChangeLinksAndUpdates) {
  int changes = 0, events = 0;
  TChangeLink link;
  link.SetOnChange([&](TObject*) { ++changes; });
  auto list = std::make_unique<TImageList>(nullptr);
  list->SetOnChange([&](TObject*) { ++events; });
  list->RegisterChanges(&link);
  EXPECT_EQ(link.Sender(), list.get());
  auto strip = Strip({clRed, clLime});
  list->SetSize(4, 4);
  list->Add(strip.get(), nullptr);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(events, 2);
  list->BeginUpdate();
  list->Delete(0);
  list->Clear();
  EXPECT_EQ(changes, 2);
  list->EndUpdate();
  EXPECT_EQ(changes, 3);  // one change for the whole update
  list.reset();
  EXPECT_EQ(link.Sender(), nullptr);  // the list is gone, the link forgets it
  {
    TImageList other(nullptr);
    TChangeLink scoped;
    other.RegisterChanges(&scoped);
  }  // a link freed first unregisters itself
}
