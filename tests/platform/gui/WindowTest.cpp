#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "platform/gui/Popup.h"
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

namespace {

// Counts its window descriptions; a drop-down (WS_POPUP tool window) while
// popup is set, with a border that CreateParams decides.
class TRecreated : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int described = 0;
  bool popup = false;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    ++described;
    if (popup) {
      Params.Style = WS_POPUP | WS_BORDER;
      Params.ExStyle = WS_EX_TOOLWINDOW;
    }
  }
};

}  // namespace

TEST_F(WindowTest, ARecreatedWindowKeepsItsChildrenTextAndFocus) {
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(0, 0, 300, 200);
  auto* panel = new TRecreated(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 200, 120);
  panel->SetCaption("Панель");
  auto* edit = new TEdit(form.get());
  edit->SetParent(panel);
  edit->SetBounds(5, 5, 100, 24);
  edit->SetText("Жук 😀");
  auto* label = new TLabel(form.get());
  label->SetParent(panel);
  label->SetCaption("метка");
  auto* above = new TEdit(form.get());  // overlaps the panel, above it
  above->SetParent(form.get());
  above->SetBounds(150, 100, 100, 24);
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  ASSERT_TRUE(edit->Focused());
  HWND old_handle = panel->Handle();
  QWidget* old_edit = edit->Widget();
  int described = panel->described;

  panel->RecreateWnd();
  EXPECT_EQ(panel->described, described + 1);  // the description was asked again
  EXPECT_NE(edit->Widget(), old_edit);
  EXPECT_FALSE(IsWindow(old_handle));
  EXPECT_TRUE(IsWindow(panel->Handle()));
  ASSERT_EQ(panel->ControlCount(), 2);
  EXPECT_EQ(edit->Parent(), panel);
  EXPECT_EQ(edit->Widget()->parentWidget(), panel->Widget());
  EXPECT_EQ(label->Widget()->parentWidget(), panel->Widget());
  EXPECT_EQ(panel->Caption(), "Панель");
  EXPECT_EQ(edit->Text(), "Жук 😀");
  EXPECT_EQ(static_cast<QLineEdit*>(edit->Widget())->text(), QString::fromUtf8("Жук 😀"));
  EXPECT_EQ(panel->BoundsRect(), Bounds(10, 10, 200, 120));
  EXPECT_EQ(panel->Widget()->geometry(), QRect(10, 10, 200, 120));
  EXPECT_TRUE(panel->Showing());
  EXPECT_TRUE(panel->Widget()->isVisible());
  EXPECT_TRUE(edit->Focused());
  // Still below the sibling that lay above it.
  QObjectList order = form->Widget()->children();
  EXPECT_LT(order.indexOf(panel->Widget()), order.indexOf(above->Widget()));

  // A window of its own takes its new description: now a drop-down, shown
  // as it was.
  std::unique_ptr<TRecreated> alone(new TRecreated(nullptr));
  alone->SetBounds(40, 40, 80, 60);
  alone->HandleNeeded();
  alone->WindowWidget()->show();
  EXPECT_FALSE(IsDropDownWindow(alone.get()));
  alone->popup = true;
  alone->RecreateWnd();
  EXPECT_TRUE(IsDropDownWindow(alone.get()));
  EXPECT_TRUE(alone->WindowWidget()->isVisible());
  EXPECT_EQ(alone->ClientWidth(), 78);  // WS_BORDER: one pixel on each side

  std::unique_ptr<TRecreated> none(new TRecreated(nullptr));
  none->RecreateWnd();  // no window yet: nothing
  EXPECT_FALSE(none->HandleAllocated());
}

namespace {

// Keeps at least 20 x 15 through WM_WINDOWPOSCHANGING and logs the flags.
class TMinSized : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<UINT> flags;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_WINDOWPOSCHANGING) {
      auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      flags.push_back(pos->flags & (SWP_NOSIZE | SWP_NOMOVE));
      if ((pos->flags & SWP_NOSIZE) == 0) {
        pos->cx = std::max(pos->cx, 20);
        pos->cy = std::max(pos->cy, 15);
      }
    }
    TCustomControl::Dispatch(Message);
  }
};

}  // namespace

TEST_F(WindowTest, AWindowMayChangeItsNewBoundsBeforeTakingThem) {
  TMinSized c(nullptr);
  c.SetBounds(0, 0, 5, 5);  // no window yet: nothing asked
  EXPECT_EQ(c.Width(), 5);
  EXPECT_TRUE(c.flags.empty());
  c.HandleNeeded();
  c.SetBounds(0, 0, 8, 30);
  EXPECT_EQ(c.BoundsRect(), Bounds(0, 0, 20, 30));
  c.SetBounds(4, 6, 20, 30);  // a move only
  EXPECT_EQ(c.BoundsRect(), Bounds(4, 6, 20, 30));
  c.SetWidth(100);
  EXPECT_EQ(c.flags, (std::vector<UINT>{SWP_NOMOVE, SWP_NOSIZE, SWP_NOMOVE}));
  c.SetBounds(4, 6, 100, 30);  // unchanged bounds ask nothing
  EXPECT_EQ(c.flags.size(), 3u);
}

TEST_F(WindowTest, MonitorsAndTheWorkAreaNearARectangle) {
  TRect work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  HMONITOR on = MonitorFromRect(Bounds(10, 10, 50, 50), MONITOR_DEFAULTTONULL);
  ASSERT_NE(on, nullptr);
  MONITORINFO info;
  ASSERT_TRUE(GetMonitorInfo(on, &info));
  EXPECT_EQ(info.rcWork, work);
  EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
  EXPECT_EQ(MonitorFromPoint(Point(10, 10), MONITOR_DEFAULTTONULL), on);
  // Far off every screen: none, or the nearest.
  TRect far = Bounds(100000, -100000, 10, 10);
  EXPECT_EQ(MonitorFromRect(far, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(MonitorFromRect(far, MONITOR_DEFAULTTONEAREST), on);
  EXPECT_EQ(MonitorFromRect(far, MONITOR_DEFAULTTOPRIMARY), on);
  EXPECT_EQ(WorkAreaNearest(far), work);
  MONITORINFO bad;
  bad.cbSize = 4;
  EXPECT_FALSE(GetMonitorInfo(on, &bad));
  EXPECT_FALSE(GetMonitorInfo(nullptr, &info));
}

namespace {

// A sizable tool window (a search frame's style) that logs WM_ACTIVATE.
class TToolFrame : public TScrollingWinControl {
 public:
  using TScrollingWinControl::TScrollingWinControl;
  std::vector<WPARAM> activations;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_ACTIVATE) activations.push_back(LOWORD(Message.WParam));
    TScrollingWinControl::Dispatch(Message);
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TScrollingWinControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER | WS_THICKFRAME | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW;
  }
};

bool WaitActive(QWidget* w) {
  w->activateWindow();
  for (int i = 0; i < 500 && QApplication::activeWindow() != w; ++i) Application->ProcessMessages();
  return QApplication::activeWindow() == w;
}

}  // namespace

TEST_F(WindowTest, AParentlessWindowLearnsItsActivation) {
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  form->SetBounds(0, 0, 200, 100);
  form->Show();
  std::unique_ptr<TToolFrame> frame(new TToolFrame(nullptr));
  frame->SetBounds(50, 50, 120, 90);
  ShowWindow(frame->Handle(), SW_SHOW);
  EXPECT_FALSE(IsDropDownWindow(frame.get()));
  EXPECT_TRUE(frame->WindowWidget()->windowFlags() & Qt::Tool);
  EXPECT_EQ(frame->ClientWidth(), 120 - 2 * GetSystemMetrics(SM_CXFRAME));
  ASSERT_TRUE(WaitActive(frame->WindowWidget()));
  ASSERT_TRUE(WaitActive(form->Widget()));
  EXPECT_EQ(frame->activations, (std::vector<WPARAM>{WA_ACTIVE, WA_INACTIVE}));
}
