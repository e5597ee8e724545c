#include <QBuffer>
#include <QImage>

#include "platform/os/Resources.h"
#include "tests/platform/gui/GuiFixture.h"
#include "tests/support/TempDir.h"

namespace {

using PictureTest = GuiTest;

// A 4 x 2 bitmap: red, green, blue, white over black, black, black, magenta.
void FillSample(TBitmap& b) {
  b.SetSize(4, 2);
  TCanvas* c = b.Canvas();
  const TColor top[] = {clRed, clLime, clBlue, clWhite};
  for (int x = 0; x < 4; ++x) {
    c->SetPixel(x, 0, top[x]);
    c->SetPixel(x, 1, clBlack);
  }
  c->SetPixel(3, 1, clFuchsia);
}

std::string SaveBytes(TGraphic& G) {
  TMemoryStream s;
  G.SaveToStream(&s);
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

std::string QtBytes(const QImage& Image, const char* Format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  Image.save(&buffer, Format);
  return bytes.toStdString();
}

template <class G>
void LoadBytes(G& Graphic, const std::string& Bytes) {
  TStringStream s(Bytes);
  Graphic.LoadFromStream(&s);
}

}  // namespace

TEST_F(PictureTest, BitmapSizeCanvasAndBmpRoundTrip) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  FillSample(b);
  EXPECT_EQ(b.Canvas()->Pixel(1, 0), clLime);
  b.SetSize(6, 3);  // the old pixels stay, new ones are white
  EXPECT_EQ(b.Canvas()->Pixel(2, 0), clBlue);
  EXPECT_EQ(b.Canvas()->Pixel(5, 2), clWhite);
  b.SetSize(4, 2);
  EXPECT_EQ(b.TransparentColor(), clBlack);  // the bottom-left pixel
  TBitmap sides;  // one side at a time
  sides.SetWidth(5);
  EXPECT_TRUE(sides.Empty());
  sides.SetHeight(7);
  EXPECT_EQ(sides.Width(), 5);
  EXPECT_EQ(sides.Height(), 7);
  EXPECT_EQ(sides.Canvas()->Pixel(4, 6), clWhite);
  std::string bytes = SaveBytes(b);
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  TBitmap read;
  LoadBytes(read, bytes);
  EXPECT_EQ(read.Width(), 4);
  EXPECT_EQ(read.Height(), 2);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(read.Canvas()->Pixel(x, 0), b.Canvas()->Pixel(x, 0));
    EXPECT_EQ(read.Canvas()->Pixel(x, 1), b.Canvas()->Pixel(x, 1));
  }
  // Assign copies the pixels; the copy is independent.
  TBitmap copy;
  copy.Assign(&b);
  copy.Canvas()->SetPixel(0, 0, clYellow);
  EXPECT_EQ(b.Canvas()->Pixel(0, 0), clRed);
}

TEST_F(PictureTest, TransparentBitmapsLeaveTheirColourOut) {
  TBitmap b;
  FillSample(b);
  b.SetTransparent(true);
  b.SetTransparentColor(clLime);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  TPaper paper(4, 2, clYellow);
  paper.Canvas()->Draw(0, 0, &b);
  EXPECT_EQ(paper.At(0, 0), clRed);
  EXPECT_EQ(paper.At(1, 0), clYellow);  // the transparent colour is not drawn
  b.SetTransparentMode(tmAuto);           // the bottom-left pixel: black
  paper.Canvas()->FillRect(Rect(0, 0, 4, 2));
  paper.Canvas()->Draw(0, 0, &b);
  EXPECT_EQ(paper.At(0, 1), clYellow);
  EXPECT_EQ(paper.At(1, 0), clLime);
  // Stretched to a rectangle.
  TPaper big(8, 4, clWhite);
  b.SetTransparent(false);
  big.Canvas()->StretchDraw(Rect(0, 0, 8, 4), &b);
  EXPECT_EQ(big.At(1, 1), clRed);
  EXPECT_EQ(big.At(7, 3), clFuchsia);
}

TEST_F(PictureTest, DamagedPicturesAreLoadFailures) {
  TBitmap good;
  FillSample(good);
  std::string bmp = SaveBytes(good);
  std::string huge = bmp;
  huge[18] = '\xFF';  // width 0x7FFF...: far beyond what can be allocated
  huge[19] = '\xFF';
  huge[20] = '\xFF';
  huge[21] = '\x7F';
  TJPEGImage jpeg_good;
  jpeg_good.Assign(&good);
  std::string jpg = SaveBytes(jpeg_good);
  struct Case {
    const char* what;
    std::string bytes;
  } bitmaps[] = {{"empty", ""}, {"header only", "BM"}, {"truncated", bmp.substr(0, 40)},
                 {"not a bitmap", std::string(200, 'x')}, {"absurd size", huge}},
    jpegs[] = {{"empty", ""}, {"truncated", jpg.substr(0, 20)}, {"not a JPEG", std::string(300, 'y')}},
    icons[] = {{"empty", ""}, {"bitmap data", bmp}, {"header only", std::string("\0\0\1\0\1\0", 6)}};
  for (const Case& k : bitmaps) {
    SCOPED_TRACE(k.what);
    TBitmap b;
    FillSample(b);
    EXPECT_THROW(LoadBytes(b, k.bytes), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 4);  // unchanged
  }
  for (const Case& k : jpegs) {
    SCOPED_TRACE(k.what);
    TJPEGImage j;
    EXPECT_THROW(LoadBytes(j, k.bytes), EInvalidGraphic);
    EXPECT_TRUE(j.Empty());
  }
  for (const Case& k : icons) {
    SCOPED_TRACE(k.what);
    TIcon i;
    EXPECT_THROW(LoadBytes(i, k.bytes), EInvalidGraphic);
  }
  try {
    TJPEGImage j;
    LoadBytes(j, jpg.substr(0, 20));
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message().rfind("JPEG error #", 0), 0u) << e.Message();
  }
}

TEST_F(PictureTest, JpegAndIconsThroughPictures) {
  TTempDir dir;
  TBitmap b;
  b.SetSize(16, 16);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 16, 16));
  TJPEGImage jpeg;
  jpeg.Assign(&b);
  jpeg.SaveToFile(dir.File("red.jpg"));
  // An icon with a transparent half.
  QImage icon(32, 32, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 16; ++x) icon.setPixel(x, y, qRgba(0, 0, 255, 255));
  dir.Write("half.ico", QtBytes(icon, "ICO"));
  b.SaveToFile(dir.File("red.BMP"));
  dir.Write("shape.emf", "not supported");

  TPicture p;
  p.LoadFromFile(dir.File("red.jpg"));
  ASSERT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 16);
  TPaper paper(16, 16);
  paper.Canvas()->Draw(0, 0, p.Graphic());
  int32_t rgb = paper.At(8, 8);
  EXPECT_GT(rgb & 0xFF, 200);              // red stays red through the compression
  EXPECT_LT((rgb >> 16) & 0xFF, 60);

  p.LoadFromFile(dir.File("half.ico"));
  ASSERT_NE(dynamic_cast<TIcon*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 32);
  TPaper under(32, 32, clYellow);
  under.Canvas()->Draw(0, 0, p.Graphic());
  EXPECT_EQ(under.At(4, 4), clBlue);
  EXPECT_EQ(under.At(28, 4), clYellow);  // the icon's transparent half
  EXPECT_THROW(p.Graphic()->SetWidth(3), EInvalidGraphicOperation);

  p.LoadFromFile(dir.File("red.BMP"));  // the extension in any case
  EXPECT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
  try {
    p.LoadFromFile(dir.File("shape.emf"));
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.emf)");
  }
  EXPECT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);  // kept
  EXPECT_THROW(p.LoadFromFile(dir.File("missing.bmp")), EFOpenError);
}

TEST_F(PictureTest, BitmapResourcesAndTurning) {
  TBitmap b;
  FillSample(b);
  static std::string bytes = SaveBytes(b);
  RegisterResource("SAMPLE", RT_BITMAP, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  RegisterResource("7", RT_BITMAP, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  TBitmap r;
  r.LoadFromResourceName(HInstance, "sample");
  EXPECT_EQ(r.Canvas()->Pixel(2, 0), clBlue);
  TBitmap byId;
  byId.LoadFromResourceID(HInstance, 7);
  EXPECT_EQ(byId.Width(), 4);
  EXPECT_THROW(r.LoadFromResourceName(HInstance, "NOSUCH"), EResNotFound);
  EXPECT_THROW(r.LoadFromResourceID(HInstance, 8), EResNotFound);
  UnregisterResource("SAMPLE", RT_BITMAP);
  UnregisterResource("7", RT_BITMAP);

  RotateBitmap(&r, 1);  // a quarter turn counter-clockwise
  ASSERT_EQ(r.Width(), 2);
  ASSERT_EQ(r.Height(), 4);
  EXPECT_EQ(r.Canvas()->Pixel(0, 0), clWhite);  // the top-right corner comes to the top-left
  EXPECT_EQ(r.Canvas()->Pixel(0, 3), clRed);
  RotateBitmap(&r, 3);
  EXPECT_EQ(r.Canvas()->Pixel(0, 0), clRed);
}
