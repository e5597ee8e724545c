// Paints a frame container with a tiled background and transparent children
// (one with a raised, shadowed caption, one with a text turned upwards, one
// with images of the bitmap library), checks that the tiles run on under the
// transparent children, and writes the picture as a PNG.
#include <QImage>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "framework/B_Form.h"
#include "platform/gui/Jpeg.h"
#include "tests/framework/render/RenderMain.h"

namespace {

// A transparent control with a frame, a caption and optionally an image.
class TDemoLabel : public TB_CustomControl {
 public:
  explicit TDemoLabel(TComponent* AOwner)
      : TB_CustomControl(AOwner), bitmaps_(std::make_unique<TB_BitmapPersistent>(this)) {
    frame_.SetControl(this);
    text_.SetControl(this);
  }
  TB_PanelFramePersistent& Frame() { return frame_; }
  TB_TextPersistent& Caption() { return text_; }
  TB_BitmapPersistent& Bitmaps() { return *bitmaps_; }

 protected:
  void Paint() override {
    TRect r = ClientRect();
    frame_.SetBoundsRect(r);
    TRect inner = frame_.ContentRect(r);
    bitmaps_->SetBoundsRect(inner);
    bitmaps_->Paint(Canvas());
    text_.Draw(Canvas(), inner);
    frame_.Paint(Canvas());
  }

 private:
  TB_PanelFramePersistent frame_;
  TB_TextPersistent text_;
  std::unique_ptr<TB_BitmapPersistent> bitmaps_;
};

TColor TileAt(int X, int Y) {
  bool dark = ((X / 12) + (Y / 12)) % 2 == 0;
  bool line = (X + Y) % 24 == 0;
  if (line) return RGB(250, 250, 255);
  return dark ? RGB(70, 110, 170) : RGB(110, 150, 205);
}

String WriteTile(const std::filesystem::path& Folder) {
  TBitmap tile;
  tile.SetSize(24, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) tile.Canvas()->SetPixel(x, y, TileAt(x, y));
  String path = (Folder / "frame_tile.bmp").string();
  tile.SaveToFile(path);
  return path;
}

int Render(const String& Out) {
  std::unique_ptr<TB_FrameControl> frame(Create<TB_FrameControl>(nullptr, 0));
  frame->SetBounds(0, 0, 420, 260);
  frame->Bitmaps()->SetNameFile(WriteTile(std::filesystem::path(Out).parent_path()));

  auto* caption = new TDemoLabel(frame.get());
  caption->SetParent(frame.get());
  caption->SetBounds(30, 26, 300, 64);
  caption->Frame().SetStyleOu(b_fsLowered);
  caption->Frame().SetLineWidth(2);
  TB_TextPersistent& t = caption->Caption();
  t.SetParentFont(false);
  t.Font()->SetName("DejaVu Sans");
  t.Font()->SetHeight(-26);
  t.Font()->SetStyle(TFontStyles{fsBold});
  t.Font()->SetColor(clWhite);
  t.SetText("Рамка с фоном");
  t.SetAlignHorz(b_ahCenter);
  t.SetStyle(b_tsRaised);
  t.SetColorShadow(clBlack);
  t.SetColorLowered(RGB(30, 50, 90));
  t.SetShadowWidthX(3);
  t.SetShadowWidthY(3);

  auto* turned = new TDemoLabel(frame.get());
  turned->SetParent(frame.get());
  turned->SetBounds(350, 20, 50, 220);
  turned->Frame().SetStyleIn(b_fsLowered);
  TB_TextPersistent& v = turned->Caption();
  v.SetParentFont(false);
  v.Font()->SetHeight(-20);
  v.Font()->SetColor(RGB(255, 220, 80));
  v.SetText("Text turned 90°");
  v.SetEscapement(900);
  v.SetAlignHorz(b_ahCenter);
  v.SetStyle(b_tsLowered);
  v.SetColorShadow(clBlack);
  v.SetShadowWidthX(2);
  v.SetShadowWidthY(2);

  // The message images of the bitmap library and some of the shared list's.
  for (int k = 1; k <= 4; ++k) {
    auto* icon = new TDemoLabel(frame.get());
    icon->SetParent(frame.get());
    icon->SetBounds(30 + (k - 1) * 52, 112, 44, 44);
    icon->Frame().SetRoundX(12);
    icon->Frame().SetRoundY(12);
    icon->Frame().SetLines(TB_FrameLines{b_flTop, b_flBottom, b_flLeft, b_flRight, b_flTopLeft, b_flTopRight,
                                         b_flBottomLeft, b_flBottomRight});
    icon->Bitmaps().LockUpdates();
    icon->Bitmaps().SetNameFile("B_LIB.DLL");
    icon->Bitmaps().SetNumber(4);
    icon->Bitmaps().SetNameBitmap("WINDOW_MSG");
    icon->Bitmaps().SetAlignHorz(b_ahCenter);
    icon->Bitmaps().UnlockUpdates();
    icon->Bitmaps().RefreshImages();
    icon->Bitmaps().SetCurrentImage(k);
    icon->Caption().SetVisible(false);
  }
  const char* names[] = {"IM_OK", "IM_CLOSEW", "IM_UPDATE", "IM_COPY", "IM_CANCEL", "IM_CHECK_1", "IM_RADIO_1",
                         "IM_DATE", "IM_OPEN", "IM_Calc"};
  for (int k = 0; k < 10; ++k) {
    auto* icon = new TDemoLabel(frame.get());
    icon->SetParent(frame.get());
    icon->SetBounds(30 + k * 30, 176, 26, 26);
    icon->Frame().SetStyleIn(k % 2 == 0 ? b_fsRaised : b_fsLowered);
    icon->Bitmaps().SetImagesName("App_ImageList16");
    icon->Bitmaps().SetNameBitmap(names[k]);
    icon->Bitmaps().SetAlignHorz(b_ahCenter);
    icon->Caption().SetVisible(false);
  }

  frame->HandleNeeded();
  QImage image = frame->Widget()->grab().toImage();
  // The background must run on under the transparent caption, aligned with
  // the frame, up to the caption's far corner: the rows above and below its
  // text, inside its frame lines, are the frame's tiles.
  int wrong = 0;
  for (int y : {30, 33, 36, 80, 83, 85})
    for (int x = 34; x < 326; ++x) {
      QColor c = image.pixelColor(x, y);
      TColor expected = TileAt(x, y);
      if (c.red() != (expected & 0xFF) || c.green() != ((expected >> 8) & 0xFF) ||
          c.blue() != ((expected >> 16) & 0xFF))
        ++wrong;
    }
  if (!image.save(QString::fromStdString(Out), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", Out.c_str());
    return 1;
  }
  std::printf("%s\n", Out.c_str());
  if (wrong > 0) std::fprintf(stderr, "%d pixels do not continue the background\n", wrong);
  return wrong > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) { return RenderMain(argc, argv, RENDER_FRAME_OUT, {&unit_B_Form, &unit_Jpeg}, Render); }
