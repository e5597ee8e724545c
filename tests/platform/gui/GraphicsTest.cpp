#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include "tests/platform/gui/GuiFixture.h"

namespace {

// Paints a fixed picture: a red fill, a blue-outlined white rectangle, a
// green line and black text on yellow.
class TPainted : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void Paint() override {
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(0, 0, 20, 20));
    Canvas()->Pen()->SetColor(clBlue);
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->Rectangle(20, 0, 40, 20);
    Canvas()->Pen()->SetColor(clLime);
    Canvas()->MoveTo(0, 30);
    Canvas()->LineTo(10, 30);
    Canvas()->Brush()->SetColor(clYellow);
    Canvas()->Font()->SetColor(clBlack);
    Canvas()->TextOut(0, 40, "Hi");
    text_pen = Canvas()->PenPos();
    painted = true;
  }
  TPoint text_pen;
  bool painted = false;
};

TColor At(const QImage& img, int x, int y) {
  QColor c = img.pixelColor(x, y);
  return RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

}  // namespace

using GraphicsTest = GuiTest;

TEST_F(GraphicsTest, ColoursAndTheirNames) {
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x00123456)), 0x123456);
  QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(static_cast<uint8_t>(face.red()), static_cast<uint8_t>(face.green()),
                                        static_cast<uint8_t>(face.blue())));
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(static_cast<TColor>(0x00123456)), "$00123456");
  EXPECT_EQ(StringToColor("clbtnface"), clBtnFace);
  EXPECT_EQ(StringToColor("$00123456"), 0x123456);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_THROW(StringToColor("clNoSuch"), EConvertError);
}

TEST_F(GraphicsTest, FontHeightSizeAndSubstitutes) {
  TFont f;
  int changes = 0;
  f.SetOnChange([&](TObject*) { ++changes; });
  f.SetHeight(-11);
  EXPECT_EQ(f.Size(), 8);
  EXPECT_EQ(f.PixelHeight(), 11);
  f.SetSize(10);
  EXPECT_EQ(f.Height(), -13);
  EXPECT_EQ(changes, 1);  // setting -11 again changed nothing
  f.SetHeight(13);       // a cell height includes the leading
  EXPECT_LT(f.PixelHeight(), 13);
  EXPECT_EQ(SubstituteFontName("Tahoma"), "DejaVu Sans");
  EXPECT_EQ(SubstituteFontName("MS Sans Serif"), "DejaVu Sans");
  EXPECT_EQ(SubstituteFontName("Courier New"), "DejaVu Sans Mono");
  EXPECT_EQ(SubstituteFontName("DejaVu Serif"), "DejaVu Serif");  // installed: kept
}

TEST_F(GraphicsTest, CanvasPaintsThroughTheControlsWidget) {
  auto c = std::make_unique<TPainted>(nullptr);
  c->SetBounds(0, 0, 60, 60);
  c->HandleNeeded();
  QImage img = c->Widget()->grab().toImage();
  ASSERT_TRUE(c->painted);
  EXPECT_EQ(At(img, 5, 5), clRed);
  EXPECT_EQ(At(img, 20, 0), clBlue);   // outline on the first column and row
  EXPECT_EQ(At(img, 39, 19), clBlue);  // ...and the last ones inside Right/Bottom
  EXPECT_EQ(At(img, 30, 10), clWhite);
  EXPECT_EQ(At(img, 0, 30), clLime);
  EXPECT_EQ(At(img, 9, 30), clLime);
  EXPECT_NE(At(img, 10, 30), clLime);  // the end point is not drawn
  EXPECT_EQ(At(img, 0, 40), clYellow);  // text background
  TCanvas measure;
  EXPECT_EQ(c->text_pen.X, measure.TextWidth("Hi"));
  EXPECT_GT(measure.TextHeight("Hi"), 0);

  TCanvas unbound;
  try {
    unbound.FillRect(Rect(0, 0, 1, 1));
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Canvas does not allow drawing");
  }
}
