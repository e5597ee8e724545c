#include "platform/gui/ScrollBars.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

#include "tests/platform/gui/GuiFixture.h"

namespace {

// ---------------------------------------------------------------------------
// Scroll info arithmetic

SCROLLINFO Info(UINT Mask, int Min, int Max, UINT Page, int Pos) {
  SCROLLINFO si;
  si.fMask = Mask;
  si.nMin = Min;
  si.nMax = Max;
  si.nPage = Page;
  si.nPos = Pos;
  return si;
}

TEST(ScrollInfoState, SetKeepsRangePageAndPositionConsistent) {
  struct Case {
    const char* what;
    SCROLLINFO first, second;
    int min, max, page, pos, maxPos;
    bool canScroll;
  } cases[] = {
      {"plain", Info(SIF_ALL, 0, 100, 10, 50), Info(0, 0, 0, 0, 0), 0, 100, 10, 50, 91, true},
      {"position above the last page", Info(SIF_ALL, 0, 100, 10, 95), Info(0, 0, 0, 0, 0), 0, 100, 10, 91, 91, true},
      {"position below the minimum", Info(SIF_ALL, 5, 20, 0, -3), Info(0, 0, 0, 0, 0), 5, 20, 0, 5, 20, true},
      {"page larger than the range", Info(SIF_ALL, 1, 3, 10, 2), Info(0, 0, 0, 0, 0), 1, 3, 3, 1, 1, false},
      {"inverted range is empty", Info(SIF_ALL, 9, 2, 0, 4), Info(0, 0, 0, 0, 0), 0, 0, 0, 0, 0, false},
      {"page one: every position", Info(SIF_ALL, 0, 4, 1, 4), Info(0, 0, 0, 0, 0), 0, 4, 1, 4, 4, true},
      {"page equal to the range", Info(SIF_ALL, 0, 9, 10, 3), Info(0, 0, 0, 0, 0), 0, 9, 10, 0, 0, false},
      {"shrinking range pulls the position", Info(SIF_ALL, 0, 100, 0, 80), Info(SIF_RANGE, 0, 40, 0, 0), 0, 40, 0,
       40, 40, true},
      {"page alone re-clamps", Info(SIF_ALL, 0, 100, 0, 100), Info(SIF_PAGE, 0, 0, 30, 0), 0, 100, 30, 71, 71,
       true},
      {"position alone", Info(SIF_ALL, 0, 10, 2, 0), Info(SIF_POS, 0, 0, 0, 7), 0, 10, 2, 7, 9, true},
      {"trackpos is not set", Info(SIF_ALL, 0, 10, 2, 3), Info(SIF_TRACKPOS, 0, 0, 0, 8), 0, 10, 2, 3, 9, true},
      {"five-position scale", Info(SIF_ALL, 0, 4, 0, 2), Info(0, 0, 0, 0, 0), 0, 4, 0, 2, 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TScrollInfoState s;
    s.Set(c.first);
    int pos = s.Set(c.second);
    EXPECT_EQ(pos, c.pos);
    EXPECT_EQ(s.Min(), c.min);
    EXPECT_EQ(s.Max(), c.max);
    EXPECT_EQ(s.Page(), c.page);
    EXPECT_EQ(s.Pos(), c.pos);
    EXPECT_EQ(s.MaxPos(), c.maxPos);
    EXPECT_EQ(s.CanScroll(), c.canScroll);
  }
}

TEST(ScrollInfoState, GetFillsOnlyTheMaskAndTracksDrags) {
  TScrollInfoState s;
  s.Set(Info(SIF_ALL, 0, 50, 5, 10));
  SCROLLINFO out = Info(SIF_POS, -1, -1, 99, -1);
  ASSERT_TRUE(s.Get(out));
  EXPECT_EQ(out.nPos, 10);
  EXPECT_EQ(out.nMin, -1);
  EXPECT_EQ(out.nPage, 99u);
  SCROLLINFO none = Info(SIF_DISABLENOSCROLL, 0, 0, 0, 0);
  EXPECT_FALSE(s.Get(none));

  s.BeginTrack();
  EXPECT_EQ(s.Track(30), 30);
  EXPECT_EQ(s.Track(500), 46);  // clamped to the last page
  EXPECT_EQ(s.Pos(), 10);
  SCROLLINFO track = Info(SIF_TRACKPOS, 0, 0, 0, 0);
  s.Get(track);
  EXPECT_EQ(track.nTrackPos, 46);
  s.EndTrack();
  s.Get(track);
  EXPECT_EQ(track.nTrackPos, 10);
}

// ---------------------------------------------------------------------------
// Window scroll bars

// Logs its scroll messages; answers them by moving its bar when asked to.
class TScrolled : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_VSCROLL || Message.Msg == WM_HSCROLL) {
      Word code = LOWORD(Message.WParam);
      log.push_back((Message.Msg == WM_VSCROLL ? "V" : "H") + std::to_string(code) + ":" +
                    std::to_string(HIWORD(Message.WParam)));
      if (follow && Message.Msg == WM_VSCROLL) {
        SCROLLINFO si;
        si.fMask = SIF_POS | SIF_TRACKPOS | SIF_PAGE;
        GetScrollInfo(Handle(), SB_VERT, si);
        if (code == SB_THUMBTRACK) tracks.push_back(si.nTrackPos);
        if (code == SB_LINEDOWN) si.nPos += 1;
        if (code == SB_PAGEDOWN) si.nPos += static_cast<int>(si.nPage);
        if (code == SB_THUMBPOSITION) si.nPos = si.nTrackPos;
        si.fMask = SIF_POS;
        SetScrollInfo(Handle(), SB_VERT, si, true);
      }
      return;
    }
    if (Message.Msg == WM_MOUSEWHEEL) log.push_back("wheel");
    TCustomControl::WndProc(Message);
  }
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style |= style;
  }
  std::vector<std::string> log;
  std::vector<int> tracks;
  bool follow = false;
  uint32_t style = 0;
};

QScrollBar* BarOf(TWinControl* c, Qt::Orientation o) {
  for (QScrollBar* b : c->Widget()->findChildren<QScrollBar*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (b->orientation() == o) return b;
  }
  return nullptr;
}

QRect Part(QScrollBar* bar, QStyle::SubControl sc) {
  QStyleOptionSlider opt;
  opt.initFrom(bar);
  opt.orientation = bar->orientation();
  if (opt.orientation == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
  opt.minimum = bar->minimum();
  opt.maximum = bar->maximum();
  opt.sliderPosition = bar->sliderPosition();
  opt.sliderValue = bar->value();
  opt.singleStep = bar->singleStep();
  opt.pageStep = bar->pageStep();
  opt.subControls = QStyle::SC_All;
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, bar);
}

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
  QMouseEvent e(type, p, w->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

class WindowScrollBarsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 400, 300);
    ctl_ = new TScrolled(form_);
    ctl_->SetBounds(10, 10, 200, 150);
    child_ = new TCustomControl(ctl_);
    child_->SetAlign(alClient);
    child_->SetParent(ctl_);
    ctl_->SetParent(form_);
    form_->Show();
    ext_ = GetSystemMetrics(SM_CXVSCROLL);
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  TForm* form_ = nullptr;
  TScrolled* ctl_ = nullptr;
  TCustomControl* child_ = nullptr;
  int ext_ = 0;
};

TEST_F(WindowScrollBarsTest, SetScrollInfoShowsHidesOrDisablesTheBarAndShrinksTheClientArea) {
  HWND h = ctl_->Handle();
  SCROLLINFO probe;
  probe.fMask = SIF_ALL;
  EXPECT_FALSE(GetScrollInfo(h, SB_VERT, probe));  // never had one
  EXPECT_EQ(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL, 0);

  EXPECT_EQ(SetScrollInfo(h, SB_VERT, Info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 200), true), 90);
  EXPECT_NE(GetWindowLong(h, GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_EQ(ctl_->ClientRect(), Rect(0, 0, 200 - ext_, 150));
  EXPECT_EQ(child_->Width(), 200 - ext_);  // children realign
  QScrollBar* bar = BarOf(ctl_, Qt::Vertical);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_EQ(bar->geometry(), QRect(200 - ext_, 0, ext_, 150));
  EXPECT_EQ(bar->value(), 90);
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, probe));
  EXPECT_EQ(probe.nMax, 99);
  EXPECT_EQ(probe.nTrackPos, 90);

  // Nothing to scroll: disabled under SIF_DISABLENOSCROLL, else hidden.
  SetScrollInfo(h, SB_VERT, Info(SIF_RANGE | SIF_DISABLENOSCROLL, 0, 5, 0, 0), true);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_FALSE(EnableScrollBar(h, SB_VERT, ESB_DISABLE_BOTH));  // already so
  SetScrollInfo(h, SB_VERT, Info(SIF_RANGE, 0, 5, 0, 0), true);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(ctl_->ClientWidth(), 200);
  EXPECT_EQ(child_->Width(), 200);

  // A page-only change never shows the bar.
  SetScrollInfo(h, SB_VERT, Info(SIF_PAGE, 0, 0, 2, 0), true);
  EXPECT_FALSE(bar->isVisible());

  // Both bars: the corner is left to neither.
  ShowScrollBar(h, SB_BOTH, true);
  EXPECT_EQ(ctl_->ClientRect(), Rect(0, 0, 200 - ext_, 150 - ext_));
  EXPECT_EQ(BarOf(ctl_, Qt::Horizontal)->geometry(), QRect(0, 150 - ext_, 200 - ext_, ext_));
  EXPECT_EQ(GetWindowLong(h, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), static_cast<int32_t>(WS_HSCROLL | WS_VSCROLL));
  ctl_->SetBounds(10, 10, 300, 100);
  EXPECT_EQ(bar->geometry(), QRect(300 - ext_, 0, ext_, 100 - ext_));
  ShowScrollBar(h, SB_HORZ, false);
  EXPECT_EQ(ctl_->ClientRect(), Rect(0, 0, 300 - ext_, 100));

  // Hiding kept the disabled arrows.
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_TRUE(EnableScrollBar(h, SB_VERT, ESB_ENABLE_BOTH));
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_TRUE(EnableScrollBar(h, SB_VERT, ESB_DISABLE_BOTH));
  EXPECT_FALSE(bar->isEnabled());
}

TEST_F(WindowScrollBarsTest, UnknownHandlesAndBarsAreRefused) {
  SCROLLINFO si = Info(SIF_ALL, 0, 10, 0, 0);
  auto* bogus = reinterpret_cast<HWND>(uintptr_t{0x10});
  EXPECT_EQ(SetScrollInfo(bogus, SB_VERT, si, true), 0);
  EXPECT_FALSE(GetScrollInfo(bogus, SB_VERT, si));
  EXPECT_FALSE(ShowScrollBar(bogus, SB_VERT, true));
  EXPECT_FALSE(EnableScrollBar(bogus, SB_VERT, ESB_DISABLE_BOTH));
  EXPECT_EQ(ScrollWindowEx(bogus, 0, 1, nullptr, nullptr, nullptr, nullptr, 0), ERROR);
  EXPECT_EQ(SetScrollInfo(ctl_->Handle(), 7, si, true), 0);
  EXPECT_FALSE(ShowScrollBar(ctl_->Handle(), 7, true));
}

using WindowScrollBarsCreation = GuiTest;

TEST_F(WindowScrollBarsCreation, StyleBitsGiveBarsFromTheStart) {
  TForm* form = TForm::CreateNew(nullptr);
  auto* c = new TScrolled(form);
  c->style = WS_VSCROLL | WS_HSCROLL;
  c->SetBounds(0, 0, 120, 80);
  c->SetParent(form);
  HWND h = c->Handle();
  int ext = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(c->ClientRect(), Rect(0, 0, 120 - ext, 80 - ext));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_POS;
  EXPECT_TRUE(GetScrollInfo(h, SB_HORZ, si));
  EXPECT_EQ(si.nMax, 0);
  delete form;
}

TEST_F(WindowScrollBarsTest, ArrowAndTroughClicksSendCodesAndTheBarWaitsForItsOwner) {
  HWND h = ctl_->Handle();
  SetScrollInfo(h, SB_VERT, Info(SIF_ALL, 0, 100, 10, 0), true);
  QScrollBar* bar = BarOf(ctl_, Qt::Vertical);
  QPoint down = Part(bar, QStyle::SC_ScrollBarAddLine).center();
  QPoint trough = Part(bar, QStyle::SC_ScrollBarAddPage).center();

  Mouse(bar, QEvent::MouseButtonPress, down, Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, down, Qt::NoButton);
  EXPECT_EQ(ctl_->log, (std::vector<std::string>{"V1:0", "V8:0"}));
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);  // nobody moved it
  EXPECT_EQ(bar->value(), 0);

  ctl_->log.clear();
  ctl_->follow = true;
  Mouse(bar, QEvent::MouseButtonPress, trough, Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, trough, Qt::NoButton);
  EXPECT_EQ(ctl_->log, (std::vector<std::string>{"V3:0", "V8:10"}));
  EXPECT_EQ(bar->value(), 10);

  // A disabled down arrow sends nothing; the trough still pages.
  ctl_->log.clear();
  EnableScrollBar(h, SB_VERT, ESB_DISABLE_DOWN);
  Mouse(bar, QEvent::MouseButtonPress, down, Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, down, Qt::NoButton);
  EXPECT_TRUE(ctl_->log.empty());
  EXPECT_EQ(bar->value(), 10);
}

TEST_F(WindowScrollBarsTest, ThumbDragTracksThenSetsThePositionOnRelease) {
  HWND h = ctl_->Handle();
  SetScrollInfo(h, SB_VERT, Info(SIF_ALL, 0, 100, 10, 0), true);
  ctl_->follow = true;
  QScrollBar* bar = BarOf(ctl_, Qt::Vertical);
  QRect thumb = Part(bar, QStyle::SC_ScrollBarSlider);
  QRect groove = Part(bar, QStyle::SC_ScrollBarGroove);
  QPoint start = thumb.center();
  Mouse(bar, QEvent::MouseButtonPress, start, Qt::LeftButton);
  Mouse(bar, QEvent::MouseMove, start + QPoint(0, groove.height() / 4), Qt::LeftButton);
  Mouse(bar, QEvent::MouseMove, start + QPoint(0, groove.height() * 2), Qt::LeftButton);
  ASSERT_EQ(ctl_->tracks.size(), 2u);
  EXPECT_GT(ctl_->tracks[0], 10);
  EXPECT_LT(ctl_->tracks[0], 40);
  EXPECT_EQ(ctl_->tracks[1], 91);  // dragged past the end: the last position
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
  Mouse(bar, QEvent::MouseButtonRelease, start + QPoint(0, groove.height() * 2), Qt::NoButton);
  ASSERT_GE(ctl_->log.size(), 4u);
  EXPECT_EQ(ctl_->log[ctl_->log.size() - 2], "V4:91");
  EXPECT_EQ(ctl_->log.back(), "V8:91");
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 91);
  EXPECT_EQ(bar->value(), 91);
  SCROLLINFO si;
  si.fMask = SIF_TRACKPOS;
  GetScrollInfo(h, SB_VERT, si);
  EXPECT_EQ(si.nTrackPos, 91);
}

TEST_F(WindowScrollBarsTest, WheelOverTheBarGoesToTheWindow) {
  SetScrollInfo(ctl_->Handle(), SB_VERT, Info(SIF_ALL, 0, 100, 10, 0), true);
  QScrollBar* bar = BarOf(ctl_, Qt::Vertical);
  QPoint p(2, 40);
  QWheelEvent e(p, bar->mapToGlobal(p), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                false);
  QCoreApplication::sendEvent(bar, &e);
  EXPECT_EQ(ctl_->log, (std::vector<std::string>{"wheel"}));
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(WindowScrollBarsTest, ScrollWindowExReportsTheUncoveredAreaWithinTheClip) {
  struct Case {
    const char* what;
    int dx, dy;
    const TRect* scroll;
    const TRect* clip;
    int kind;
    TRect update;
  };
  const TRect rows = Rect(0, 20, 200, 120), header = Rect(0, 0, 200, 20);
  const Case cases[] = {
      {"down by 10", 0, 10, nullptr, nullptr, SIMPLEREGION, Rect(0, 0, 200, 10)},
      {"up by 10 inside the clip", 0, -10, nullptr, &rows, SIMPLEREGION, Rect(0, 110, 200, 120)},
      {"left by 30 in a scroll rectangle", -30, 0, &rows, nullptr, SIMPLEREGION, Rect(170, 20, 200, 120)},
      {"both ways: an L shape", 5, 5, nullptr, nullptr, COMPLEXREGION, Rect(0, 0, 200, 150)},
      {"no move", 0, 0, nullptr, nullptr, NULLREGION, Rect(0, 0, 0, 0)},
      {"more than the area", 0, 500, &rows, nullptr, SIMPLEREGION, rows},
      {"clip misses the scroll rectangle", 0, 5, &rows, &header, NULLREGION, Rect(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRect update = Rect(-1, -1, -1, -1);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(ScrollWindowEx(ctl_->Handle(), c.dx, c.dy, c.scroll, c.clip, rgn, &update, SW_INVALIDATE), c.kind);
    EXPECT_EQ(update, c.update);
    TRect box;
    GetRgnBox(rgn, &box);
    EXPECT_EQ(box, c.update);
    if (c.kind == COMPLEXREGION) {
      EXPECT_TRUE(PtInRegion(rgn, 2, 100));
      EXPECT_TRUE(PtInRegion(rgn, 100, 2));
      EXPECT_FALSE(PtInRegion(rgn, 100, 100));
    }
    DeleteObject(rgn);
  }
}

TEST_F(WindowScrollBarsTest, ScrollChildrenMovesOnlyTheChildrenInTheScrollRectangle) {
  child_->SetAlign(alNone);
  child_->SetBounds(0, 0, 50, 10);
  auto* lower = new TCustomControl(ctl_);
  lower->SetBounds(0, 100, 50, 10);
  lower->SetParent(ctl_);
  TRect below = Rect(0, 50, 200, 150);
  ScrollWindowEx(ctl_->Handle(), 0, -20, &below, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
  EXPECT_EQ(child_->Top(), 0);
  EXPECT_EQ(lower->Top(), 80);
  ScrollWindowEx(ctl_->Handle(), 7, 0, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
  EXPECT_EQ(child_->Left(), 7);
  EXPECT_EQ(lower->Left(), 7);
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// Reflection and TScrollBar

// Logs the reflected notifications it receives.
class TNotified : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg >= CN_BASE) {
      got.push_back(Message.Msg);
      Message.Result = 42;
      return;
    }
    TCustomControl::Dispatch(Message);
  }
  std::vector<Cardinal> got;
};

TEST_F(WindowScrollBarsTest, ParentsReflectChildNotificationsToTheChild) {
  auto* child = new TNotified(ctl_);
  child->SetParent(ctl_);
  auto* plain = new TWinControl(form_);
  plain->SetParent(form_);
  auto* other = new TNotified(plain);
  other->SetParent(plain);
  for (Cardinal msg : {WM_COMMAND, WM_HSCROLL, WM_VSCROLL}) {
    child->got.clear();
    other->got.clear();
    // ctl_ swallows scroll messages itself (no reflection); a plain parent reflects all.
    LRESULT r = SendMessage(plain->Handle(), msg, 0, reinterpret_cast<LPARAM>(other->Handle()));
    EXPECT_EQ(r, 42);
    EXPECT_EQ(other->got, std::vector<Cardinal>{CN_BASE + msg});
    SendMessage(ctl_->Handle(), msg, 0, reinterpret_cast<LPARAM>(child->Handle()));
    EXPECT_EQ(child->got.size(), msg == WM_COMMAND ? 1u : 0u);
  }
  // Without a child handle nothing is reflected.
  other->got.clear();
  SendMessage(plain->Handle(), WM_COMMAND, 0, 0);
  EXPECT_TRUE(other->got.empty());
}

class ScrollBarControlTest : public WindowScrollBarsTest {
 protected:
  void SetUp() override {
    WindowScrollBarsTest::SetUp();
    bar_ = new TScrollBar(form_);
    bar_->SetKind(sbVertical);
    bar_->SetBounds(250, 10, GetSystemMetrics(SM_CXVSCROLL), 200);
    bar_->SetParent(form_);
    bar_->SetOnScroll([this](TObject*, TScrollCode code, int& pos) {
      scrolls.push_back(std::to_string(code) + ":" + std::to_string(pos));
      if (code == scPageDown && clamp_pages) pos = std::min(pos, 25);
    });
    bar_->SetOnChange([this](TObject*) { ++changes; });
  }
  QScrollBar* Qbar() { return static_cast<QScrollBar*>(bar_->Widget()); }
  void Click(QStyle::SubControl part) {
    QPoint p = Part(Qbar(), part).center();
    Mouse(Qbar(), QEvent::MouseButtonPress, p, Qt::LeftButton);
    Mouse(Qbar(), QEvent::MouseButtonRelease, p, Qt::NoButton);
  }
  TScrollBar* bar_ = nullptr;
  std::vector<std::string> scrolls;
  int changes = 0;
  bool clamp_pages = false;
};

TEST_F(ScrollBarControlTest, ParamsAreCheckedAndThePositionStaysOnTheLastPage) {
  EXPECT_THROW(bar_->SetParams(0, 10, 5), EInvalidOperation);
  bar_->SetParams(0, 0, 50);
  bar_->SetPageSize(11);
  EXPECT_THROW(bar_->SetPageSize(52), EInvalidOperation);
  EXPECT_THROW(bar_->SetParams(0, 0, 5), EInvalidOperation);  // smaller than the page
  EXPECT_EQ(bar_->Max(), 50);
  bar_->SetPosition(99);
  EXPECT_EQ(bar_->Position(), 40);
  EXPECT_EQ(changes, 1);
  bar_->SetPosition(40);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Qbar()->value(), 40);

  // SB_CTL calls reach the same state.
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(bar_->Handle(), SB_CTL, si));
  EXPECT_EQ(si.nMax, 50);
  EXPECT_EQ(si.nPage, 11u);
  EXPECT_EQ(si.nPos, 40);
  EXPECT_EQ(SetScrollInfo(bar_->Handle(), SB_CTL, Info(SIF_POS, 0, 0, 0, 3), true), 3);
  EXPECT_EQ(bar_->Position(), 3);
  EXPECT_TRUE(EnableScrollBar(bar_->Handle(), SB_CTL, ESB_DISABLE_BOTH));
  EXPECT_FALSE(Qbar()->isEnabled());
}

TEST_F(ScrollBarControlTest, UserInputMovesThePositionThroughTheParentAndOnScroll) {
  bar_->SetParams(0, 0, 100);
  bar_->SetSmallChange(2);
  bar_->SetLargeChange(20);
  Click(QStyle::SC_ScrollBarAddLine);
  EXPECT_EQ(bar_->Position(), 2);
  Click(QStyle::SC_ScrollBarAddPage);
  EXPECT_EQ(bar_->Position(), 22);
  clamp_pages = true;
  Click(QStyle::SC_ScrollBarAddPage);
  EXPECT_EQ(bar_->Position(), 25);  // OnScroll changed it
  EXPECT_EQ(scrolls, (std::vector<std::string>{"1:2", "8:2", "3:22", "8:22", "3:42", "8:25"}));
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(Qbar()->value(), 25);

  // Keys move it as the arrows do.
  scrolls.clear();
  bar_->SetFocus();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QCoreApplication::sendEvent(Qbar(), &down);
  EXPECT_EQ(bar_->Position(), 27);
}

}  // namespace
