#include <QWidget>

#include "tests/platform/gui/GuiFixture.h"

namespace {

using WindowTest = GuiTest;

// Answers WM_ERASEBKGND itself when asked to, painting green.
class TErasing : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_ERASEBKGND) {
      ++erases;
      dc = reinterpret_cast<HDC>(Message.WParam);
      if (answer) {
        TCanvas c;
        c.SetHandle(dc);
        c.Brush()->SetColor(clLime);
        c.FillRect(ClientRect());
        c.SetHandle(nullptr);
        Message.Result = 1;
        return;
      }
    }
    TCustomControl::Dispatch(Message);
  }
  void Paint() override { Canvas()->Pixel(0, 0); }
  int erases = 0;
  bool answer = false;
  HDC dc = nullptr;
};

// Owned by another window through its creation parameters.
class TOwned : public TWinControl {
 public:
  using TWinControl::TWinControl;
  TWinControl* owner = nullptr;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    Params.WndParent = owner != nullptr ? owner->Handle() : nullptr;
    Params.Style &= ~WS_MAXIMIZEBOX;
  }
};

}  // namespace

TEST_F(WindowTest, EachPaintErasesFirst) {
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(0, 0, 100, 60);
  auto* c = new TErasing(form.get());
  c->SetParent(form.get());
  c->SetBounds(10, 10, 30, 20);
  c->SetColor(clRed);
  TPaper paper(100, 60, clWhite);
  form->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(c->erases, 1);
  EXPECT_NE(c->dc, nullptr);
  EXPECT_EQ(paper.At(15, 15), clRed);  // not answered: filled with Color
  c->answer = true;
  form->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(paper.At(15, 15), clLime);
  c->SetColor(clNone);  // clNone: nothing filled, the parent shows
  c->answer = false;
  form->SetColor(clBlue);
  form->PaintTo(paper.Canvas(), 0, 0);
  EXPECT_EQ(paper.At(15, 15), clBlue);
}

TEST_F(WindowTest, ConstraintsAndCanResizeLimitTheSize) {
  TCustomControl panel(nullptr);
  panel.Constraints()->SetMinWidth(50);
  panel.Constraints()->SetMaxHeight(40);
  panel.SetBounds(0, 0, 10, 100);
  EXPECT_EQ(panel.Width(), 50);
  EXPECT_EQ(panel.Height(), 40);
  panel.SetOnCanResize([](TObject*, int& w, int&, bool& resize) {
    if (w > 200) resize = false;
    else w += 1;
  });
  panel.SetWidth(300);
  EXPECT_EQ(panel.Width(), 50);  // refused
  panel.SetWidth(60);
  EXPECT_EQ(panel.Width(), 61);
  panel.SetOnCanResize(nullptr);
  panel.SetWidth(20);
  panel.Constraints()->SetMinWidth(0);
  panel.SetWidth(20);
  EXPECT_EQ(panel.Width(), 20);
}

TEST_F(WindowTest, ScrollingControlShowsBarsAndMovesChildren) {
  TScrollingWinControl box(nullptr);
  box.SetBounds(0, 0, 100, 80);
  box.HandleNeeded();
  auto* child = new TCustomControl(&box);
  child->SetParent(&box);
  child->SetBounds(10, 10, 50, 200);
  box.UpdateScrollBars();
  EXPECT_EQ(box.VertScrollBar()->Range(), 210);  // AutoScroll: the children's extent
  EXPECT_TRUE(box.VertScrollBar()->IsScrollBarVisible());
  EXPECT_FALSE(box.HorzScrollBar()->IsScrollBarVisible());
  int bar = box.VertScrollBar()->ScrollBarSize();
  EXPECT_EQ(box.ClientRect(), Rect(0, 0, 100 - bar, 80));
  box.VertScrollBar()->SetPosition(50);
  EXPECT_EQ(child->Top(), -40);
  box.VertScrollBar()->SetPosition(1000);  // limited to Range - client height
  EXPECT_EQ(box.VertScrollBar()->Position(), 210 - 80);
  EXPECT_EQ(child->Top(), 10 - 130);
  box.VertScrollBar()->SetPosition(0);
  EXPECT_EQ(child->Top(), 10);
  box.SetAutoScroll(false);
  box.VertScrollBar()->SetRange(0);
  EXPECT_FALSE(box.VertScrollBar()->IsScrollBarVisible());
  EXPECT_EQ(box.ClientRect(), Rect(0, 0, 100, 80));
  box.ScrollBy(5, -3);
  EXPECT_EQ(child->Left(), 15);
  EXPECT_EQ(child->Top(), 7);
}

TEST_F(WindowTest, CreateParamsCanMakeAnOwnedWindow) {
  std::unique_ptr<TForm> main(TForm::CreateNew(nullptr));
  main->HandleNeeded();
  TOwned owned(nullptr);
  owned.owner = main.get();
  owned.SetBounds(20, 30, 50, 40);
  owned.HandleNeeded();
  ASSERT_NE(owned.Widget(), nullptr);
  EXPECT_TRUE(owned.Widget()->isWindow());
  EXPECT_EQ(owned.Widget()->parentWidget(), main->Widget());
  EXPECT_FALSE(owned.Widget()->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(owned.Widget()->windowFlags() & Qt::WindowMinimizeButtonHint);
  TOwned alone(nullptr);  // no owner: an ordinary top-level window
  alone.HandleNeeded();
  EXPECT_EQ(alone.Widget()->parentWidget(), nullptr);
}
