// Paints the framework's controls on a form: panels (default, lowered with a
// centred caption, transparent on a tiled frame), a splitter, an image, the
// bitmap button in its states, edit boxes with each border style (one with
// its history button) and a memo; checks a few pixels and writes a PNG.
#include <QImage>
#include <QWidget>

#include <cstdio>
#include <memory>

#include "framework/Bstdctrl.h"
#include "platform/gui/Jpeg.h"
#include "tests/framework/render/RenderMain.h"

namespace {

class THistoryEdit : public TB_CustomMaskEdit {
 public:
  using TB_CustomMaskEdit::TB_CustomMaskEdit;
  TB_EditOptions GetOptions() const override { return {b_eoHistory}; }
};

TColor At(const QImage& Image, int X, int Y) {
  QColor c = Image.pixelColor(X, Y);
  return static_cast<TColor>(RGB(c.red(), c.green(), c.blue()));
}

int Render(const String& Out) {
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(0, 0, 520, 330);
  form->SetColor(clBtnFace);

  auto* panel = new TB_Panel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 185, 41);
  panel->TextGroup()->SetText("Панель");

  auto* lowered = new TB_Panel(form.get());
  lowered->SetParent(form.get());
  lowered->SetBounds(10, 60, 185, 41);
  lowered->SetTransparent(false);
  lowered->SetColor(clWindow);
  lowered->Frame()->SetStyleIn(b_fsLowered);
  lowered->Frame()->SetLineWidth(2);
  lowered->TextGroup()->SetText("По центру");
  lowered->TextGroup()->SetAlignHorz(b_ahCenter);

  auto* left = new TB_Panel(form.get());
  left->SetParent(form.get());
  left->SetBounds(10, 110, 90, 80);
  left->SetTransparent(false);
  left->SetColor(RGB(220, 230, 245));
  left->TextGroup()->SetText("Слева");
  auto* split = new TB_Split(form.get());
  split->SetParent(form.get());
  split->SetBounds(100, 110, 6, 80);
  split->Frame()->SetStyleIn(b_fsRaised);
  split->SetTransparent(false);
  split->SetColor(clBtnFace);
  split->SetControlResize(left);
  auto* right = new TB_Panel(form.get());
  right->SetParent(form.get());
  right->SetBounds(106, 110, 89, 80);
  right->TextGroup()->SetText("Справа");

  auto* image = new TB_Image(form.get());
  image->SetParent(form.get());
  image->SetBounds(10, 200, 50, 50);
  image->Bitmaps()->SetImagesName("App_ImageList16");
  image->Bitmaps()->SetNameBitmap("IM_OK;IM_CANCEL;IM_OPEN");
  image->SetAutoSize(true);

  const char* captions[] = {"Обычная", "Нажата", "Недоступна", "По умолч."};
  for (int k = 0; k < 4; ++k) {
    auto* b = new TB_BitBtn(form.get());
    b->SetParent(form.get());
    b->SetBounds(210, 10 + k * 32, 110, 26);
    b->TextGroup()->SetText(captions[k]);
    b->Bitmaps()->SetImagesName("App_ImageList16");
    b->Bitmaps()->SetNameBitmap("IM_OK");
    b->SetFlat(false);
    if (k == 1) b->SetState(b_bsDown);
    if (k == 2) b->SetEnabled(false);
    if (k == 3) b->SetDefault(true);
  }

  const TB_DrawStyles styles[] = {b_DefaultDrawStyles, TB_DrawStyles{b_ds3D}, TB_DrawStyles{b_dsSingle},
                                  TB_DrawStyles{b_ds3DFocus}};
  TB_CustomMaskEdit* edits[4];
  for (int k = 0; k < 4; ++k) {
    auto* e = Create<TB_CustomMaskEdit>(form.get());
    e->SetParent(form.get());
    e->SetBounds(340, 10 + k * 30, 160, 22);
    e->SetDrawStyles(styles[k]);
    e->SetText(k == 1 ? "Только чтение" : "Поле " + std::to_string(k + 1));
    if (k == 1) e->SetReadOnly(true);
    edits[k] = e;
  }

  auto* history = Create<THistoryEdit>(form.get());
  history->SetParent(form.get());
  history->SetBounds(340, 240, 160, 22);
  history->SetText("С историей");

  auto* memo = new TB_Memo(form.get());
  memo->SetParent(form.get());
  memo->SetBounds(340, 140, 160, 80);
  memo->Lines()->Add("Многострочный");
  memo->Lines()->Add("текст");

  form->HandleNeeded();
  form->Widget()->resize(520, 330);
  QImage img = form->Widget()->grab().toImage();
  if (!img.save(QString::fromStdString(Out), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", Out.c_str());
    return 1;
  }
  std::printf("%s\n", Out.c_str());
  int wrong = 0;
  // The default panel: a raised bevel, highlight at the top-left.
  if (At(img, 10, 10) != static_cast<TColor>(ColorToRGB(clBtnHighlight))) ++wrong;
  if (At(img, 194, 50) != static_cast<TColor>(ColorToRGB(clBtnShadow))) ++wrong;
  // The first edit box: an inactive flat 3-D border (shadow outside).
  if (At(img, 340, 20) != static_cast<TColor>(ColorToRGB(clBtnShadow))) ++wrong;
  (void)edits;
  // The history button inside the box's border at its right edge.
  TB_BitBtn* button = history->HistoryButton();
  if (button == nullptr || button->Left() + button->Width() != history->Width() - 1) ++wrong;
  if (wrong > 0) std::fprintf(stderr, "%d checked pixels are wrong\n", wrong);
  return wrong > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) { return RenderMain(argc, argv, RENDER_CONTROLS_OUT, {&unit_Bstdctrl, &unit_Jpeg}, Render); }
