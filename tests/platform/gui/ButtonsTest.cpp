#include "platform/gui/Buttons.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "platform/gui/GDI.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

TColor PixelAt(TControl* c, int x, int y) {
  QImage img = c->Widget()->grab().toImage();
  QColor q = img.pixelColor(x, y);
  return static_cast<TColor>(RGB(q.red(), q.green(), q.blue()));
}

void Mouse(TControl* c, QEvent::Type type, QPoint p) {
  QWidget* w = c->Widget();
  Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, p, w->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void ClickAt(TControl* c, QPoint p = QPoint(5, 5)) {
  Mouse(c, QEvent::MouseButtonPress, p);
  Mouse(c, QEvent::MouseButtonRelease, p);
}

class ButtonsTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_Buttons});
  }
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 300, 200);
    form_->Show();
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  TSpeedButton* Add(int left, int group) {
    auto* b = new TSpeedButton(form_);
    b->SetBounds(left, 10, 30, 30);
    b->SetGroupIndex(group);
    b->SetParent(form_);
    b->SetOnClick([this, b](TObject*) { clicks.push_back(b); });
    return b;
  }
  TForm* form_ = nullptr;
  std::vector<TObject*> clicks;
};

TEST_F(ButtonsTest, GroupedButtonsStayDownAndReleaseEachOther) {
  TSpeedButton* a = Add(0, 1);
  TSpeedButton* b = Add(40, 1);
  TSpeedButton* other = Add(80, 2);
  other->SetDown(true);
  ClickAt(a);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), bsExclusive);
  ClickAt(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->State(), bsUp);
  EXPECT_TRUE(other->Down());  // another group
  ClickAt(b);
  EXPECT_TRUE(b->Down());  // no all-up
  a->SetAllowAllUp(true);  // shared across the group
  EXPECT_TRUE(b->AllowAllUp());
  ClickAt(b);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks, (std::vector<TObject*>{a, b, b, b}));
}

TEST_F(ButtonsTest, PlainButtonSpringsBackAndClicksOnlyWhenReleasedOverIt) {
  TSpeedButton* a = Add(0, 0);
  a->SetDown(true);
  EXPECT_FALSE(a->Down());  // no group: never down
  Mouse(a, QEvent::MouseButtonPress, QPoint(5, 5));
  EXPECT_EQ(a->State(), bsDown);
  Mouse(a, QEvent::MouseMove, QPoint(60, 5));
  EXPECT_EQ(a->State(), bsUp);
  Mouse(a, QEvent::MouseMove, QPoint(6, 6));
  EXPECT_EQ(a->State(), bsDown);
  Mouse(a, QEvent::MouseMove, QPoint(60, 5));
  Mouse(a, QEvent::MouseButtonRelease, QPoint(60, 5));
  EXPECT_TRUE(clicks.empty());
  ClickAt(a);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(a->State(), bsUp);
  a->SetEnabled(false);
  EXPECT_EQ(a->State(), bsDisabled);
  ClickAt(a);
  EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(ButtonsTest, GlyphImagesFollowTheStateAndTheTransparentColourShowsTheFace) {
  TSpeedButton* a = Add(0, 1);
  a->SetAllowAllUp(true);
  TBitmap strip;
  strip.SetSize(32, 16);
  strip.Canvas()->Brush()->SetColor(clRed);
  strip.Canvas()->FillRect(Rect(0, 0, 16, 16));
  strip.Canvas()->Brush()->SetColor(clBlue);
  strip.Canvas()->FillRect(Rect(16, 0, 32, 16));
  strip.Canvas()->SetPixel(0, 15, clFuchsia);  // the transparent colour
  a->SetGlyph(&strip);
  EXPECT_EQ(a->NumGlyphs(), 2);
  // The 16 x 16 glyph is centred at (7, 7); pressed or down it moves by one pixel.
  EXPECT_EQ(PixelAt(a, 15, 15), clRed);
  EXPECT_EQ(PixelAt(a, 7, 7), clRed);
  EXPECT_EQ(PixelAt(a, 7, 22), ColorToRGB(clBtnFace));
  a->SetDown(true);
  EXPECT_EQ(PixelAt(a, 8, 8), clRed);
  EXPECT_NE(PixelAt(a, 7, 7), clRed);
  a->SetDown(false);
  a->SetEnabled(false);
  EXPECT_EQ(PixelAt(a, 15, 15), clBlue);
  // One image only: the disabled one is embossed from it.
  a->SetNumGlyphs(1);
  TBitmap single;
  single.SetSize(16, 16);
  single.Canvas()->Brush()->SetColor(clWhite);
  single.Canvas()->FillRect(Rect(0, 0, 16, 16));
  single.Canvas()->Brush()->SetColor(clRed);
  single.Canvas()->FillRect(Rect(4, 4, 12, 12));
  a->SetGlyph(&single);
  EXPECT_EQ(PixelAt(a, 14, 14), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(a, 19, 19), ColorToRGB(clBtnHighlight));
  a->SetNumGlyphs(9);
  EXPECT_EQ(a->NumGlyphs(), 4);
  a->SetNumGlyphs(0);
  EXPECT_EQ(a->NumGlyphs(), 1);
}

TEST_F(ButtonsTest, FlatButtonsDrawAFrameOnlyWhenHotOrDown) {
  TSpeedButton* a = Add(0, 1);
  a->SetAllowAllUp(true);
  TColor face = PixelAt(a, 0, 0);
  EXPECT_EQ(face, ColorToRGB(cl3DLight));  // raised 3-D face
  a->SetFlat(true);
  EXPECT_NE(PixelAt(a, 0, 0), ColorToRGB(clBtnHighlight));
  a->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(a->MouseInControl());
  EXPECT_EQ(PixelAt(a, 0, 0), ColorToRGB(clBtnHighlight));
  a->Perform(CM_MOUSELEAVE);
  a->SetDown(true);
  EXPECT_EQ(PixelAt(a, 0, 0), ColorToRGB(clBtnShadow));
  // A flat button that is not transparent fills its face with its colour.
  a->SetDown(false);
  form_->SetColor(clWhite);
  EXPECT_EQ(PixelAt(a, 5, 5), ColorToRGB(clWhite));
  a->SetParentColor(false);
  a->SetColor(clRed);
  a->SetTransparent(false);
  EXPECT_EQ(PixelAt(a, 5, 5), ColorToRGB(clRed));
}

using ShapeTest = ButtonsTest;

TEST_F(ShapeTest, ShapesAreOutlinedWithThePenAndFilledWithTheBrush) {
  auto* s = new TShape(form_);
  s->SetBounds(0, 0, 40, 20);
  s->SetParent(form_);
  s->Pen()->SetColor(clRed);
  s->Brush()->SetColor(clBlue);
  struct Case {
    TShapeType shape;
    int x, y;
    TColor expected;
  } cases[] = {
      {stRectangle, 0, 0, clRed},    {stRectangle, 39, 19, clRed}, {stRectangle, 5, 10, clBlue},
      {stSquare, 10, 10, clRed},     {stSquare, 5, 10, clNone},    {stSquare, 20, 10, clBlue},
      {stCircle, 11, 1, clNone},     {stCircle, 20, 10, clBlue},   {stEllipse, 1, 1, clNone},
      {stEllipse, 20, 0, clRed},     {stRoundRect, 0, 0, clNone},  {stRoundRect, 20, 0, clRed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.shape) + " at " + std::to_string(c.x) + "," + std::to_string(c.y));
    s->SetShape(c.shape);
    TColor got = PixelAt(s, c.x, c.y);
    if (c.expected == clNone) {
      EXPECT_NE(got, clRed);
      EXPECT_NE(got, clBlue);
    } else {
      EXPECT_EQ(got, c.expected);
    }
  }
  s->Pen()->SetWidth(3);
  s->SetShape(stRectangle);
  EXPECT_EQ(PixelAt(s, 2, 10), clRed);
  EXPECT_EQ(PixelAt(s, 4, 10), clBlue);
}

}  // namespace

namespace {

// A button control that paints itself and toggles on its own click.
class TOwnCheck : public TButtonControl {
 public:
  explicit TOwnCheck(TComponent* owner) : TButtonControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyle{csClickEvents});
  }
  int clicks = 0;
  void Click() override {
    ++clicks;
    Perform(BM_SETCHECK, Perform(BM_GETCHECK) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  }
};

}  // namespace

TEST_F(ButtonsTest, APlainButtonWindowKeepsItsCheckAndLeavesTheClickToTheControl) {
  auto* box = new TOwnCheck(form_);
  box->SetBounds(10, 50, 97, 17);
  box->SetParent(form_);
  int commands = 0;
  form_->SetWindowProc({form_, [&](TMessage& m) {
                          if (m.Msg == WM_COMMAND) ++commands;
                          form_->WndProc(m);
                        }});
  EXPECT_EQ(box->Perform(BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
  box->Perform(BM_SETCHECK, BST_INDETERMINATE);
  EXPECT_EQ(box->Perform(BM_GETCHECK), static_cast<LRESULT>(BST_INDETERMINATE));
  ClickAt(box);
  EXPECT_EQ(box->clicks, 1);
  EXPECT_EQ(box->Perform(BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
  // A press that ends outside is no click; nothing goes to the parent.
  Mouse(box, QEvent::MouseButtonPress, QPoint(5, 5));
  Mouse(box, QEvent::MouseButtonRelease, QPoint(200, 5));
  EXPECT_EQ(box->clicks, 1);
  EXPECT_EQ(commands, 0);
  form_->SetWindowProc({});
}
