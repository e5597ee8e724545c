// Drop-down windows: they take clicks but never the focus, have a non-client
// border of their own, regions that cut their shape, and the window calls
// by handle.
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <string>
#include <vector>

#include "platform/gui/Popup.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

using Log = std::vector<std::string>;

// A drop-down with a 2-pixel raised border in its non-client area.
class TDropDown : public TCustomControl {
 public:
  explicit TDropDown(TComponent* owner, Log* log) : TCustomControl(owner), log_(log) {
    SetColor(clWindow);
    SetBounds(0, 0, 80, 60);
  }
  bool CanFocus() const override { return false; }
  int border = 2;

 protected:
  void CreateParams(TCreateParams& p) override {
    TCustomControl::CreateParams(p);
    p.Style = WS_POPUP | WS_CLIPCHILDREN;
    p.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    p.WindowClass.style |= CS_SAVEBITS;
  }
  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case WM_LBUTTONDOWN:
        log_->push_back("down " + std::to_string(GET_X_LPARAM(m.LParam)) + "," +
                        std::to_string(GET_Y_LPARAM(m.LParam)));
        break;
      case WM_SIZE:
        log_->push_back("size " + std::to_string(LOWORD(m.LParam)) + "x" + std::to_string(HIWORD(m.LParam)));
        break;
      case WM_MOVE:
        log_->push_back("move " + std::to_string(GET_X_LPARAM(m.LParam)) + "," +
                        std::to_string(GET_Y_LPARAM(m.LParam)));
        break;
      case WM_SETFOCUS:
      case WM_KILLFOCUS: log_->push_back("focus message"); break;
      default: break;
    }
    TCustomControl::WndProc(m);
    if (m.Msg == WM_NCCALCSIZE) InflateRect(reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0], -border, -border);
    if (m.Msg == WM_NCPAINT) {
      HDC dc = GetWindowDC(Handle());
      TRect r = Rect(0, 0, Width(), Height());
      DrawEdge(dc, r, BDR_RAISEDOUTER, BF_RECT);
      InflateRect(r, -1, -1);
      DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
    }
  }

 private:
  Log* log_;
};

// A drop-down that records the focus changes it hears of as WM_KILLFOCUS.
class TFocusWatchingDropDown : public TDropDown {
 public:
  using TDropDown::TDropDown;
  std::vector<HWND> gained;

 protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_KILLFOCUS) gained.push_back(reinterpret_cast<HWND>(m.WParam));
    TDropDown::WndProc(m);
  }
};

QImage Grab(QWidget* w) { return w->grab().toImage(); }

QRgb SysRgb(int index) {
  COLORREF c = GetSysColor(index);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

class PopupTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 300, 200);
    edit_ = new TEdit(form_);
    edit_->SetParent(form_);
    edit_->SetBounds(10, 10, 120, 21);
    edit_->SetOnExit([this](TObject*) { log_.push_back("edit exit"); });
    ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  TForm* form_ = nullptr;
  TEdit* edit_ = nullptr;
  Log log_;
};

TEST_F(PopupTest, DropDownTakesClicksWhileTheFocusStaysInTheEdit) {
  auto* popup = new TDropDown(edit_, &log_);
  TPoint below = edit_->ClientToScreen({0, edit_->Height()});
  ASSERT_TRUE(SetWindowPos(popup->Handle(), HWND_TOP, below.X, below.Y, 0, 0,
                           SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW));
  QCoreApplication::processEvents();
  EXPECT_TRUE(IsDropDownWindow(popup));
  EXPECT_TRUE(IsWindowVisible(popup->Handle()));
  EXPECT_EQ(GetFocus(), edit_->Handle());
  EXPECT_EQ(GetActiveWindow(), form_->Handle());

  // A real click in the client area: client coordinates, no focus change.
  log_.clear();
  QTest::mouseClick(popup->WindowWidget()->windowHandle(), Qt::LeftButton, {}, QPoint(2 + 5, 2 + 7));
  QCoreApplication::processEvents();
  EXPECT_EQ(GetFocus(), edit_->Handle());
  EXPECT_TRUE(edit_->Focused());
  EXPECT_EQ(QApplication::focusWidget(), edit_->Widget());
  EXPECT_EQ(log_, (Log{"down 5,7"}));

  // Hidden by handle the same way; the edit never noticed any of it.
  SetWindowPos(popup->Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
  EXPECT_FALSE(IsWindowVisible(popup->Handle()));
  EXPECT_EQ(GetFocus(), edit_->Handle());
}

TEST_F(PopupTest, NonClientBorderShrinksTheClientAreaAndPaintsAroundIt) {
  auto* popup = new TDropDown(form_, &log_);
  popup->SetBounds(400, 300, 80, 60);
  popup->HandleNeeded();
  EXPECT_EQ(popup->ClientRect(), Rect(0, 0, 76, 56));
  TRect window;
  ASSERT_TRUE(GetWindowRect(popup->Handle(), &window));
  EXPECT_EQ(window, Rect(400, 300, 480, 360));
  EXPECT_EQ(popup->ClientToScreen({0, 0}), (TPoint{402, 302}));
  TRect client;
  GetClientRect(popup->Handle(), &client);
  EXPECT_EQ(client, Rect(0, 0, 76, 56));

  // A size change reaches the window as its client size, a move as the client origin.
  log_.clear();
  MoveWindow(popup->Handle(), 410, 300, 100, 60, true);
  EXPECT_EQ(log_, (Log{"size 96x56", "move 412,302"}));
  EXPECT_EQ(popup->ClientWidth(), 96);

  // Border pixels come from WM_NCPAINT, the inside from the client's paint.
  ShowWindow(popup->Handle(), SW_SHOWNA);
  QImage img = Grab(popup->WindowWidget());
  ASSERT_EQ(img.width(), 100);
  EXPECT_EQ(img.pixel(0, 0), SysRgb(COLOR_3DLIGHT)) << "outer raised edge";
  EXPECT_EQ(img.pixel(99, 59), SysRgb(COLOR_3DDKSHADOW));
  EXPECT_EQ(img.pixel(1, 1), SysRgb(COLOR_BTNHIGHLIGHT)) << "inner raised edge";
  EXPECT_EQ(img.pixel(98, 58), SysRgb(COLOR_BTNSHADOW));
  EXPECT_EQ(img.pixel(2, 2), SysRgb(COLOR_WINDOW)) << "client: clWindow from its first pixel";
  EXPECT_EQ(img.pixel(50, 30), SysRgb(COLOR_WINDOW));

  // Without a non-client area there is no frame: the widget is the window.
  auto* plain = new TDropDown(form_, &log_);
  plain->border = 0;
  plain->HandleNeeded();
  EXPECT_EQ(plain->WindowWidget(), plain->Widget());
  EXPECT_EQ(plain->ClientRect(), Rect(0, 0, 80, 60));
}

// The size grip's shape: a triangle cut by the window region.
class TGrip : public TCustomControl {
 public:
  TGrip(TWinControl* parent, Log* log) : TCustomControl(parent), log_(log) {
    SetParent(parent);
    SetBounds(parent->ClientWidth() - 16, parent->ClientHeight() - 16, 16, 16);
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_LBUTTONDOWN) log_->push_back("grip down");
    TCustomControl::WndProc(m);
  }

 private:
  Log* log_;
};

TEST_F(PopupTest, WindowRegionCutsTheShapeThatTakesTheMouse) {
  auto* popup = new TDropDown(form_, &log_);
  popup->SetBounds(400, 300, 80, 60);
  popup->HandleNeeded();
  auto* grip = new TGrip(popup, &log_);
  const TPoint tri[] = {{0, 16}, {16, 16}, {16, 0}};
  ASSERT_EQ(SetWindowRgn(grip->Handle(), CreatePolygonRgn(tri, 3, WINDING), true), 1);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(grip->Handle(), copy), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(copy, 14, 14));
  EXPECT_FALSE(PtInRegion(copy, 1, 1));
  ShowWindow(popup->Handle(), SW_SHOWNOACTIVATE);
  QCoreApplication::processEvents();
  log_.clear();

  // The grip's top-left corner is outside its region: the popup gets that press.
  QWindow* window = popup->WindowWidget()->windowHandle();
  auto at = [&](int x, int y) {
    TPoint s = grip->ClientToScreen({x, y});
    TRect w;
    GetWindowRect(popup->Handle(), &w);
    return QPoint(s.X - w.Left, s.Y - w.Top);
  };
  QTest::mouseClick(window, Qt::LeftButton, {}, at(14, 14));
  QTest::mouseClick(window, Qt::LeftButton, {}, at(1, 1));
  EXPECT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], "grip down");
  EXPECT_EQ(log_[1].substr(0, 5), "down ") << "the popup itself";

  ASSERT_EQ(SetWindowRgn(grip->Handle(), nullptr, true), 1);
  EXPECT_EQ(GetWindowRgn(grip->Handle(), copy), ERROR);
  DeleteObject(copy);
  EXPECT_EQ(SetWindowRgn(nullptr, nullptr, false), 0);
}

TEST_F(PopupTest, ChildWindowDetachesIntoADropDownAtTheSamePlace) {
  auto* list = new TDropDown(form_, &log_);
  list->SetParent(form_);
  list->SetBounds(20, 40, 50, 30);
  TPoint at = list->ClientToScreen({0, 0});
  list->Show();
  EXPECT_EQ(GetParent(list->Handle()), form_->Handle());
  EXPECT_TRUE(IsChild(form_->Handle(), list->Handle()));

  EXPECT_EQ(SetParent(list->Handle(), nullptr), form_->Handle());
  EXPECT_TRUE(IsDropDownWindow(list));
  EXPECT_EQ(GetParent(list->Handle()), nullptr);
  EXPECT_FALSE(IsChild(form_->Handle(), list->Handle()));
  TRect r;
  GetWindowRect(list->Handle(), &r);
  EXPECT_EQ((TPoint{r.Left, r.Top}), (TPoint{at.X - 2, at.Y - 2})) << "the window, border included";
  EXPECT_EQ(list->Parent(), form_) << "the control keeps its parent";
  EXPECT_EQ(GetFocus(), edit_->Handle());

  EXPECT_EQ(SetParent(list->Handle(), form_->Handle()), nullptr);
  EXPECT_TRUE(IsChild(form_->Handle(), list->Handle()));
}

TEST(WindowMetrics, AdjustWindowRectAddsTheBordersOfTheStyles) {
  struct Case {
    uint32_t style, ex;
    bool menu;
    TRect expected;
  };
  const int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION),
            menu = GetSystemMetrics(SM_CYMENU);
  const Case cases[] = {
      {WS_POPUP, 0, false, Rect(0, 0, 10, 10)},
      {WS_POPUP | WS_BORDER, 0, false, Rect(-1, -1, 11, 11)},
      {WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE, false, Rect(-3, -3, 13, 13)},
      {WS_POPUP | WS_THICKFRAME, 0, false, Rect(-frame, -frame, 10 + frame, 10 + frame)},
      {WS_CAPTION, 0, true, Rect(-1, -1 - caption - menu, 11, 11)},
  };
  for (const Case& c : cases) {
    TRect r = Rect(0, 0, 10, 10);
    ASSERT_TRUE(AdjustWindowRectEx(&r, c.style, c.menu, c.ex));
    EXPECT_EQ(r, c.expected) << std::hex << c.style << " " << c.ex;
  }
  TRect work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_GT(work.Width(), 0);
  EXPECT_GT(work.Height(), 0);
  EXPECT_FALSE(SystemParametersInfo(0, 0, &work, 0));
}

TEST(WindowMetrics, MonitorOfARectangleGivesItsScreenAndWorkArea) {
  TRect work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  MONITORINFO info;
  // Inside the screen, partly off it, and far away from it: the one screen
  // of the offscreen platform, with the primary screen's work area.
  const TRect inside = Bounds(work.Left + 10, work.Top + 10, 50, 20);
  const TRect across = Bounds(work.Right - 10, work.Top, 100, 20);
  const TRect far = Bounds(work.Right + 5000, work.Bottom + 5000, 10, 10);
  for (const TRect& r : {inside, across, far}) {
    HMONITOR m = MonitorFromRect(r, MONITOR_DEFAULTTONEAREST);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(GetMonitorInfo(m, &info));
    EXPECT_EQ(info.rcWork, work);
    EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
  }
  EXPECT_EQ(MonitorFromRect(far, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(MonitorFromPoint(Point(work.Left + 1, work.Top + 1), MONITOR_DEFAULTTONULL),
            MonitorFromRect(inside, MONITOR_DEFAULTTONULL));
  EXPECT_FALSE(GetMonitorInfo(reinterpret_cast<HMONITOR>(intptr_t{99}), &info));
  info.cbSize = 0;
  EXPECT_FALSE(GetMonitorInfo(MonitorFromRect(inside, MONITOR_DEFAULTTONEAREST), &info));
}

}  // namespace

TEST_F(PopupTest, WatchingDropDownHearsTheFocusLeaveWhileItShows) {
  auto* other = new TEdit(form_);
  other->SetParent(form_);
  other->SetBounds(10, 100, 120, 21);
  auto* popup = new TFocusWatchingDropDown(edit_, &log_);
  WatchFocusForDropDown(popup, true);
  auto show = [&](bool Show) {
    SetWindowPos(popup->Handle(), HWND_TOP, 200, 200, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | (Show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  };
  show(true);
  other->SetFocus();
  edit_->SetFocus();
  EXPECT_EQ(popup->gained, (std::vector<HWND>{other->Handle(), edit_->Handle()}));
  EXPECT_TRUE(edit_->Focused());

  // Hidden, or no longer watching: nothing.
  show(false);
  other->SetFocus();
  show(true);
  WatchFocusForDropDown(popup, false);
  edit_->SetFocus();
  EXPECT_EQ(popup->gained.size(), 2u);

  // Freed while watching: the next focus change goes on without it.
  WatchFocusForDropDown(popup, true);
  delete popup;
  other->SetFocus();
  EXPECT_TRUE(other->Focused());
}
