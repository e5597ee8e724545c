// The shared routines of the editors: drop-down placement, variant
// equality, metrics, dotted lines, tree elements, centred images, the popup
// owner interface and the unit's start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"
#include "tests/grid/toolkit/ToolkitFixture.h"

namespace {

using ToolRoutinesTest = ToolkitTest;

TEST(DropDownPlacement, BelowAboveOrWhereThereIsMoreRoom) {
  const TRect work = Rect(0, 0, 800, 600);
  struct Case {
    const char* what;
    TRect host;
    int width, height;
    TDropDownAlign align;
    TPoint pos;
    int newWidth, newHeight, vertical, horizontal;
  };
  const Case cases[] = {
      {"below", Rect(100, 100, 200, 120), 150, 100, daLeft, Point(100, 120), 150, 100, 3, 1},
      {"below, touching the bottom", Rect(100, 400, 200, 500), 150, 100, daLeft, Point(100, 500), 150, 100, 3, 1},
      {"above", Rect(100, 550, 200, 570), 150, 100, daLeft, Point(100, 450), 150, 100, 2, 1},
      {"neither: more room below", Rect(100, 250, 200, 270), 150, 400, daLeft, Point(100, 270), 150, 330, 3, 1},
      {"neither: more room above", Rect(100, 400, 200, 420), 150, 500, daLeft, Point(100, 0), 150, 400, 2, 1},
      {"neither: a tie goes below", Rect(100, 290, 200, 310), 150, 400, daLeft, Point(100, 310), 150, 290, 3, 1},
      {"right-aligned", Rect(300, 100, 400, 120), 150, 100, daRight, Point(250, 120), 150, 100, 3, 0},
      {"centred, wider", Rect(300, 100, 400, 120), 151, 100, daCenter, Point(275, 120), 151, 100, 3, 1},
      {"centred, narrower", Rect(300, 100, 400, 120), 49, 100, daCenter, Point(325, 120), 49, 100, 3, 1},
      {"past the right edge", Rect(700, 100, 780, 120), 150, 100, daLeft, Point(650, 120), 150, 100, 3, 0},
      {"past the left edge", Rect(10, 100, 60, 120), 150, 100, daRight, Point(0, 120), 150, 100, 3, 1},
      {"wider than the work area", Rect(100, 100, 200, 120), 1000, 100, daLeft, Point(0, 120), 800, 100, 3, 0},
      {"wider, host at the left edge", Rect(0, 100, 100, 120), 1000, 100, daLeft, Point(0, 120), 800, 100, 3, 1},
  };
  for (const Case& c : cases) {
    const TDropDownPlacementEh p = PlaceDropDownWindowEh(c.host, c.width, c.height, c.align, work);
    EXPECT_EQ(p.Pos, c.pos) << c.what;
    EXPECT_EQ(p.Width, c.newWidth) << c.what;
    EXPECT_EQ(p.Height, c.newHeight) << c.what;
    EXPECT_EQ(p.VerticalSide, c.vertical) << c.what;
    EXPECT_EQ(p.HorizontalSide, c.horizontal) << c.what;
  }
  // A work area that does not start at the origin.
  const TDropDownPlacementEh p =
      PlaceDropDownWindowEh(Rect(1100, 300, 1200, 320), 300, 500, daLeft, Rect(1024, 40, 1424, 740));
  EXPECT_EQ(p.Pos, Point(1100, 320));
  EXPECT_EQ(p.Height, 420);
}

// A drop-down window that records the side codes it is told.
class TSideRecorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == CM_DROPDOWNSIDEEH) {
      sides.push_back(static_cast<int>(Message.WParam));
      heights.push_back(Height());
      return;
    }
    TCustomControl::Dispatch(Message);
  }
  std::vector<int> sides, heights;
};

TEST_F(ToolRoutinesTest, DropDownWindowIsCutToTheWorkAreaAndToldItsSides) {
  const TRect work = WorkAreaNearest(Bounds(10, 10, 10, 10));
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(work.Left + 200, work.Top, 300, 200);
  auto* host = new TEdit(form.get());
  host->SetParent(form.get());
  host->SetBounds(20, 30, 100, 20);
  form->Show();
  TSideRecorder drop(nullptr);
  drop.SetBounds(0, 0, 150, work.Height() * 2);  // taller than the screen
  const TPoint origin = form->ClientToScreen(Point(20, 30));
  const TPoint pos = AlignDropDownWindow(host, &drop, daRight);
  // More room below an editor near the top of the screen: below, cut to
  // the room there, right edges lined up.
  EXPECT_EQ(pos, Point(origin.X - 50, origin.Y + 20));
  EXPECT_EQ(drop.Height(), work.Bottom - (origin.Y + 20));
  ASSERT_EQ(drop.sides.size(), 2u);
  EXPECT_EQ(drop.sides[0], 3);
  EXPECT_EQ(drop.heights[0], drop.Height());  // cut before it is told
  EXPECT_EQ(drop.sides[1], 0);
}

TEST(VarEqualsEh, ComparesScalarsNullsAndArrays) {
  const Variant a12 = VarArrayOf({1, String("x")});
  const Variant b12 = VarArrayOf({1, String("x")});
  const Variant other = VarArrayOf({1, String("y")});
  const Variant longer = VarArrayOf({1, String("x"), 3});
  Variant shifted = VarArrayCreate({1, 2}, varVariant);
  VarArrayPut(shifted, 1, 1);
  VarArrayPut(shifted, String("x"), 2);
  const Variant empty = VarArrayCreate({0, -1}, varVariant);
  const Variant grid = VarArrayCreate({0, 1, 0, 1}, varInteger);
  struct Case {
    const char* what;
    Variant v1, v2;
    bool equal;
  };
  const Case cases[] = {
      {"Null, Null", Null(), Null(), true},
      {"Null, Unassigned", Null(), Unassigned(), false},
      {"Unassigned, Unassigned", Unassigned(), Unassigned(), true},
      {"Unassigned, 0", Unassigned(), 0, false},
      {"Null, 0", Null(), 0, false},
      {"1, 1.0", 1, 1.0, true},
      {"text, same text", String("абв"), String("абв"), true},
      {"text, other case", String("абв"), String("АБВ"), false},
      {"number as text", String("5"), 5, true},
      {"text that is no number", String("abc"), 5, false},
      {"arrays alike", a12, b12, true},
      {"arrays, one element differs", a12, other, false},
      {"arrays of other lengths", a12, longer, false},
      {"arrays of other bounds", a12, shifted, false},
      {"empty arrays", empty, empty, false},
      {"an array and a text", a12, String("x"), false},
      {"an array and Null", a12, Null(), false},
      {"two-dimensional arrays", grid, grid, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VarEqualsEh(c.v1, c.v2), c.equal) << c.what;
    EXPECT_EQ(VarEqualsEh(c.v2, c.v1), c.equal) << c.what << " (swapped)";
  }
}

TEST_F(ToolRoutinesTest, MetricsOfButtonsCheckBoxesAndDoubleClicks) {
  const int w = DefaultEditButtonWidth();
  EXPECT_EQ(w % 2, 1);
  EXPECT_GT(w, 1);
  EXPECT_LE(w, GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(ScaleWidthByHalf(15, false), 15);
  EXPECT_EQ(ScaleWidthByHalf(15, true), 23);  // 22.5 rounds up
  EXPECT_EQ(ScaleWidthByHalf(14, true), 21);

  EXPECT_EQ(DefaultCheckBoxWidth(), 13);
  EXPECT_EQ(DefaultCheckBoxHeight(), 13);
  struct BoxCase {
    TRect cell;
    TAlignment align;
    TTextLayout layout;
    TRect box;
  };
  const BoxCase boxes[] = {
      {Rect(0, 0, 40, 20), taLeftJustify, tlTop, Rect(0, 0, 13, 13)},
      {Rect(0, 0, 40, 20), taRightJustify, tlBottom, Rect(27, 7, 40, 20)},
      {Rect(10, 10, 50, 30), taCenter, tlCenter, Rect(24, 14, 37, 27)},
      {Rect(0, 0, 8, 6), taCenter, tlCenter, Rect(0, 0, 8, 6)},  // cut to a small cell
  };
  for (const BoxCase& c : boxes)
    EXPECT_EQ(AdjustCheckBoxRect(c.cell, c.align, c.layout), c.box) << c.align << " " << c.layout;

  const int dx = GetSystemMetrics(SM_CXDOUBLECLK), dy = GetSystemMetrics(SM_CYDOUBLECLK);
  const int t = static_cast<int>(GetDoubleClickTime());
  EXPECT_TRUE(IsDoubleClickCandidate(Point(10, 10), Point(10 + dx, 10 - dy), t));
  EXPECT_FALSE(IsDoubleClickCandidate(Point(10, 10), Point(11 + dx, 10), t));
  EXPECT_FALSE(IsDoubleClickCandidate(Point(10, 10), Point(10, 11 + dy), 0));
  EXPECT_FALSE(IsDoubleClickCandidate(Point(10, 10), Point(10, 10), t + 1));
}

TEST_F(ToolRoutinesTest, DottedLinesKeepToOneParityOfThePixels) {
  struct Case {
    TPoint from;
    int length;
    bool phase, horizontal;
    std::vector<int> dots;  // offsets along the line from From
  };
  const Case cases[] = {
      {Point(2, 2), 5, false, true, {0, 2, 4}},
      {Point(2, 2), 4, false, true, {0, 2}},
      {Point(3, 2), 5, false, true, {1, 3}},  // moved one pixel on
      {Point(2, 2), 5, true, false, {1, 3}},
      {Point(2, 3), 6, true, false, {0, 2, 4}},
  };
  for (const Case& c : cases) {
    TBitmap b;
    b.SetSize(12, 12);
    b.Canvas()->Pen()->SetColor(clBlack);
    DrawDotLine(b.Canvas(), c.from, c.length, c.phase, c.horizontal);
    std::vector<int> dots;
    for (int i = -1; i <= c.length + 1; ++i) {
      const TPoint p = c.horizontal ? Point(c.from.X + i, c.from.Y) : Point(c.from.X, c.from.Y + i);
      if (b.Canvas()->Pixel(p.X, p.Y) == clBlack) dots.push_back(i);
    }
    EXPECT_EQ(dots, c.dots) << c.from.X << "," << c.from.Y << " " << c.length;
  }
}

TEST_F(ToolRoutinesTest, TreeElementsDrawBoxesAndTheirJoins) {
  const TColor shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
  const TColor text = static_cast<TColor>(ColorToRGB(clWindowText));
  const TColor window = static_cast<TColor>(ColorToRGB(clWindow));
  auto draw = [](int Kind) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(21, 21);
    b->Canvas()->Brush()->SetColor(clFuchsia);
    b->Canvas()->FillRect(Rect(0, 0, 21, 21));
    DrawTreeElement(b->Canvas(), Rect(0, 0, 21, 21), Kind, 1.0, 1.0, false);
    return b;
  };
  // Centre (10, 10), box (6, 6)-(14, 14).
  auto any = [](TBitmap* B, int X, int Y1, int Y2, TColor C) {
    for (int y = Y1; y < Y2; ++y)
      if (B->Canvas()->Pixel(X, y) == C) return true;
    return false;
  };
  auto minus = draw(0);
  EXPECT_EQ(minus->Canvas()->Pixel(6, 6), shadow);
  EXPECT_EQ(minus->Canvas()->Pixel(10, 10), text);
  EXPECT_EQ(minus->Canvas()->Pixel(10, 8), window);
  EXPECT_TRUE(any(minus.get(), 10, 0, 6, shadow));    // joined upwards
  EXPECT_TRUE(any(minus.get(), 10, 15, 21, shadow));  // and downwards
  auto plus = draw(4);
  EXPECT_EQ(plus->Canvas()->Pixel(10, 8), text);
  EXPECT_TRUE(any(plus.get(), 10, 0, 6, shadow));
  EXPECT_FALSE(any(plus.get(), 10, 15, 21, shadow));  // kind 4: no line down
  auto line = draw(9);
  EXPECT_TRUE(any(line.get(), 10, 0, 21, shadow));
  EXPECT_EQ(line->Canvas()->Pixel(16, 10), clFuchsia);  // no branch
  auto branch = draw(8);
  EXPECT_FALSE(any(branch.get(), 10, 0, 10, shadow));
  EXPECT_TRUE(any(branch.get(), 10, 11, 21, shadow));
}

TEST_F(ToolRoutinesTest, ImagesAreCentredAndClippedToTheirRectangle) {
  TImageList images(nullptr, 8, 8);
  TBitmap red;
  red.SetSize(8, 8);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 8, 8));
  images.Add(&red, nullptr);
  images.SetMasked(false);
  TBitmap b;
  b.SetSize(30, 30);
  DrawImageCentered(b.Canvas()->Handle(), Rect(0, 0, 20, 10), &images, 0, false);
  EXPECT_EQ(b.Canvas()->Pixel(6, 1), clRed);
  EXPECT_EQ(b.Canvas()->Pixel(13, 8), clRed);
  EXPECT_EQ(b.Canvas()->Pixel(5, 1), clWhite);
  // Too small a rectangle: what lies outside it stays untouched.
  DrawImageCentered(b.Canvas()->Handle(), Rect(20, 20, 24, 30), &images, 0, false);
  EXPECT_EQ(b.Canvas()->Pixel(20, 22), clRed);
  EXPECT_EQ(b.Canvas()->Pixel(23, 28), clRed);
  EXPECT_EQ(b.Canvas()->Pixel(24, 22), clWhite);
  EXPECT_EQ(b.Canvas()->Pixel(19, 22), clWhite);
  TImageList none(nullptr, 8, 8);
  DrawImageCentered(b.Canvas()->Handle(), Rect(0, 20, 10, 30), &none, 0, false);
  EXPECT_EQ(b.Canvas()->Pixel(5, 25), clWhite);
}

// A popup hands its result to its owner through the interface, when the
// owner has it.
class TOwnerEdit : public TEdit, public IPopupOwnerEh {
 public:
  using TEdit::TEdit;
  void CloseUp(bool Accept) override { results.push_back(Accept); }
  std::vector<bool> results;
};

void PopupCloses(TComponent* Popup, bool Accept) {
  if (auto* owner = Supports<IPopupOwnerEh>(Popup->Owner())) owner->CloseUp(Accept);
}

TEST_F(ToolRoutinesTest, PopupsFindTheirOwnerThroughTheInterface) {
  auto edit = std::make_unique<TOwnerEdit>(nullptr);
  auto* popup = new TComponent(edit.get());
  PopupCloses(popup, true);
  PopupCloses(popup, false);
  EXPECT_EQ(edit->results, (std::vector<bool>{true, false}));
  auto plain = std::make_unique<TEdit>(nullptr);
  PopupCloses(new TComponent(plain.get()), true);  // nothing happens
  EXPECT_EQ(InterfaceID<IPopupOwnerEh>().D1, 0xB64255B5u);
  EXPECT_EQ(InterfaceID<IInplaceEditHolderEh>().D1, 0x4BE708F1u);
  EXPECT_EQ(InterfaceID<IInplaceEditEh>().D4[7], 0x88);
}

TEST_F(ToolRoutinesTest, TheUnitStartsAfterWhatItUsesAndMakesTheCache) {
  const std::vector<std::string> names = InitializedUnitNames();
  auto at = [&](const char* Name) { return std::find(names.begin(), names.end(), Name) - names.begin(); };
  ASSERT_LT(at("ToolCtrlsEh"), static_cast<ptrdiff_t>(names.size()));
  EXPECT_LT(at("Buttons"), at("ToolCtrlsEh"));
  EXPECT_NE(ButtonsBitmapCache(), nullptr);
  EXPECT_NE(FindClassInfo("TVisibleEditButtonEh"), nullptr);
}

}  // namespace
