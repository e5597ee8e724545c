#include <QWidget>

#include <string>
#include <vector>

#include "platform/os/Resources.h"
#include "tests/framework/FrameworkFixture.h"
#include "tests/support/TempDir.h"

namespace {

using B_FormTest = FrameworkTest;

class TTestFrame : public TB_FrameControl {
 public:
  using TB_FrameControl::TB_FrameControl;
  TGroupsControl* Child = nullptr;

 protected:
  void WMFrameCommand(TMessage& Message) override { Message.Result = static_cast<LRESULT>(Message.LParam) + 1; }
};

class TNoResourceFrame : public TB_FrameControl {
 public:
  using TB_FrameControl::TB_FrameControl;
};

// Reads its ancestor's resource first, then its own.
class TDerivedFrame : public TTestFrame {
 public:
  using TTestFrame::TTestFrame;
};

const char kDerivedText[] =
    "inherited TestFrame: TDerivedFrame\n"
    "  Height = 150\n"
    "  inherited Child: TGroupsControl\n"
    "    Left = 20\n"
    "  end\n"
    "end\n";

const char kFrameText[] =
    "object TestFrame: TTestFrame\n"
    "  Width = 200\n"
    "  Height = 100\n"
    "  object Child: TGroupsControl\n"
    "    Left = 13\n"
    "    Top = 7\n"
    "    Width = 40\n"
    "    Height = 30\n"
    "  end\n"
    "end\n";

void RegisterFrames() {
  TGroupsControl::Register();
  if (FindClassInfo("TTestFrame") != nullptr) return;
  RegisterClass<TTestFrame, TB_FrameControl>("TTestFrame").Field("Child", &TTestFrame::Child);
  RegisterClass<TNoResourceFrame, TB_FrameControl>("TNoResourceFrame");
  RegisterClass<TDerivedFrame, TTestFrame>("TDerivedFrame");
  RegisterResource("TTESTFRAME", RT_RCDATA, reinterpret_cast<const uint8_t*>(kFrameText), sizeof(kFrameText) - 1);
  RegisterResource("TDERIVEDFRAME", RT_RCDATA, reinterpret_cast<const uint8_t*>(kDerivedText),
                   sizeof(kDerivedText) - 1);
}

// An 8 x 8 tile of four 4 x 4 squares: red, lime / blue, yellow.
TColor TileAt(int X, int Y) {
  int qx = ((X % 8) + 8) % 8 / 4, qy = ((Y % 8) + 8) % 8 / 4;
  const TColor quad[2][2] = {{clRed, clLime}, {clBlue, clYellow}};
  return quad[qy][qx];
}

String WriteTile(const TTempDir& Dir) {
  TBitmap tile;
  tile.SetSize(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tile.Canvas()->SetPixel(x, y, TileAt(x, y));
  String path = Dir.File("tile.bmp");
  tile.SaveToFile(path);
  return path;
}

}  // namespace

TEST_F(B_FormTest, FramesLoadTheResourceOfTheirClass) {
  RegisterFrames();
  std::unique_ptr<TTestFrame> frame(Create<TTestFrame>(nullptr));
  EXPECT_EQ(frame->Width(), 200);
  ASSERT_NE(frame->Child, nullptr);
  EXPECT_EQ(frame->Child->Parent(), frame.get());
  EXPECT_EQ(frame->Child->Left(), 13);
  EXPECT_FALSE(frame->Visible());
  EXPECT_EQ(frame->Color(), clBtnFace);
  try {
    std::unique_ptr<TNoResourceFrame> none(Create<TNoResourceFrame>(nullptr));
    ADD_FAILURE() << "no exception";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource TNoResourceFrame not found");
  }
  std::unique_ptr<TDerivedFrame> derived(Create<TDerivedFrame>(nullptr));
  EXPECT_EQ(derived->Width(), 200);  // from the ancestor's resource
  EXPECT_EQ(derived->Height(), 150);
  ASSERT_NE(derived->Child, nullptr);
  EXPECT_EQ(derived->Child->Left(), 20);
  EXPECT_EQ(derived->Child->Top(), 7);
  std::unique_ptr<TNoResourceFrame> made_new(Create<TNoResourceFrame>(nullptr, 0));  // CreateNew: no resource
  EXPECT_EQ(made_new->Width(), 320);
  std::unique_ptr<TB_FrameControl> plain(Create<TB_FrameControl>(nullptr));
  EXPECT_EQ(plain->Height(), 240);
  EXPECT_EQ(SendMessage(plain->Handle(), WM_FRAMECOMMAND, 0, 25), 0);  // not handled: 0
  EXPECT_EQ(SendMessage(frame->Handle(), WM_FRAMECOMMAND, 0, 25), 26);
}

TEST_F(B_FormTest, ShowHideAndDestroyEvents) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  std::vector<std::string> events;
  auto* frame = Create<TB_FrameControl>(nullptr);
  frame->SetOnShow([&](TObject*) { events.push_back("show"); });
  frame->SetOnHide([&](TObject*) { events.push_back("hide"); });
  frame->SetOnDestroy([&](TObject*) { events.push_back("destroy"); });
  frame->SetVisible(true);
  ASSERT_NE(frame->Widget(), nullptr);
  EXPECT_TRUE(frame->Showing());
  EXPECT_EQ(frame->Widget()->parentWidget(), main->Widget());  // owned by the main form
  EXPECT_FALSE(frame->Widget()->windowFlags() & Qt::WindowMaximizeButtonHint);
  frame->SetVisible(true);  // no change: no event
  frame->SetVisible(false);
  frame->SetVisible(true);
  delete frame;  // a visible frame is hidden first
  EXPECT_EQ(events, (std::vector<std::string>{"show", "hide", "show", "hide", "destroy"}));
  delete main;
}

TEST_F(B_FormTest, TilesContinueUnderTransparentChildren) {
  TTempDir dir;
  String tile = WriteTile(dir);
  std::unique_ptr<TB_FrameControl> frame(Create<TB_FrameControl>(nullptr, 0));
  frame->SetBounds(0, 0, 64, 48);
  frame->Bitmaps()->SetNameFile(tile);
  EXPECT_EQ(frame->Bitmaps()->Style(), b_bsTile);
  EXPECT_FALSE(frame->Bitmaps()->Transparent());
  EXPECT_EQ(frame->Bitmaps()->Width(), 8);
  auto* glass = new TB_CustomControl(frame.get());  // transparent by default
  glass->SetParent(frame.get());
  glass->SetBounds(13, 7, 30, 21);
  auto* solid = new TB_CustomControl(frame.get());
  solid->SetParent(frame.get());
  solid->SetTransparent(false);
  solid->SetColor(clWhite);
  solid->SetBounds(48, 30, 10, 10);
  TPaper paper(64, 48, clBlack);
  frame->PaintTo(paper.Canvas(), 0, 0);
  int wrong = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      TColor expected = x >= 48 && x < 58 && y >= 30 && y < 40 ? clWhite : TileAt(x, y);
      if (paper.At(x, y) != expected && ++wrong < 5) ADD_FAILURE() << "at " << x << "," << y;
    }
  EXPECT_EQ(wrong, 0);
  // The far corner of the transparent child, where a rectangle shifted to
  // the frame's origin would no longer reach, is painted too.
  EXPECT_EQ(paper.At(42, 27), TileAt(42, 27));
}

TEST_F(B_FormTest, WithoutAnAnswerTransparentControlsFillThemselves) {
  TTempDir dir;
  String tile = WriteTile(dir);
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(0, 0, 80, 60);
  form->SetColor(clAqua);
  auto* frame = new TB_FrameControl(form.get(), 0);
  frame->SetParent(form.get());
  frame->SetBounds(5, 5, 60, 40);
  frame->SetVisible(true);
  frame->Bitmaps()->SetNameFile(tile);
  auto* glass = new TB_CustomControl(form.get());
  glass->SetParent(frame);
  glass->SetBounds(10, 10, 20, 10);
  TPaper paper(80, 60, clBlack);
  form->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(paper.At(2, 2), clAqua);    // the form
  EXPECT_EQ(paper.At(8, 8), clAqua);    // the frame: the form paints no tiles
  EXPECT_EQ(paper.At(20, 20), clAqua);  // the transparent child, in its own colour
  // Without a background group the frame answers with its colour.
  std::unique_ptr<TB_FrameControl> top(Create<TB_FrameControl>(nullptr, 0));
  top->SetBounds(0, 0, 30, 30);
  top->SetColor(clLime);
  auto* child = new TB_CustomControl(top.get());
  child->SetParent(top.get());
  child->SetBounds(5, 5, 10, 10);
  TPaper p(30, 30, clBlack);
  top->PaintTo(p.Canvas(), 0, 0);
  EXPECT_EQ(p.At(1, 1), clLime);
  EXPECT_EQ(p.At(10, 10), clLime);
  EXPECT_FALSE(top->HasBitmaps());
}

TEST_F(B_FormTest, FormSettingsFreeTheirFormOnce) {
  auto* form = TForm::CreateNew(nullptr);
  {
    TB_CustomFormPersistent settings;
    EXPECT_TRUE(settings.IsDestroy());
    EXPECT_TRUE(settings.Show());
    settings.SetForm(form);
    EXPECT_EQ(settings.Form(), form);
  }  // freed with the settings
  auto* kept = TForm::CreateNew(nullptr);
  {
    TB_CustomFormPersistent settings;
    settings.SetForm(kept);
    settings.SetIsDestroy(false);
  }
  EXPECT_EQ(kept->Width(), 320);  // still there
  {
    TB_CustomFormPersistent settings;
    settings.SetForm(kept);
    delete kept;  // freed elsewhere first: forgotten, not freed twice
    EXPECT_EQ(settings.Form(), nullptr);
  }
}
