// Docking: dock drags driven by mouse messages into sites with and without a
// dock manager, refusals, floating and the lifetimes of sites and clients.
#include <QApplication>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "tests/platform/gui/GuiFixture.h"

namespace {

// Tells when a component is freed.
class TWatch : public TComponent {
 public:
  explicit TWatch(TComponent* Watched) : TComponent(nullptr), watched_(Watched) { Watched->FreeNotification(this); }
  ~TWatch() override {
    if (watched_ != nullptr) watched_->RemoveFreeNotification(this);
  }
  bool Gone() const { return watched_ == nullptr; }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == watched_) watched_ = nullptr;
  }

 private:
  TComponent* watched_;
};

class DockTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_.reset(TForm::CreateNew(nullptr));
    form_->SetBounds(100, 100, 400, 300);
    site_ = Add(200, 10, 180, 200);
    site_->SetDockSite(true);
    site_->SetUseDockManager(true);
    client_ = Add(10, 10, 80, 60);
    client_->SetDragKind(dkDock);
    client_->SetDragMode(dmAutomatic);
    client_->SetCaption("Client");
    form_->Show();
  }
  void TearDown() override {
    form_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    PumpReleases();
    GuiTest::TearDown();
  }
  TCustomControl* Add(int left, int top, int width, int height) {
    auto* c = new TCustomControl(form_.get());
    c->SetParent(form_.get());
    c->SetBounds(left, top, width, height);
    return c;
  }
  // Presses the left button on C at its point (5, 5) and moves the mouse to
  // the screen point To (past the drag threshold).
  static void PressAndMove(TControl* C, TPoint To) {
    C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Move(C, To);
  }
  static void Move(TControl* C, TPoint To) {
    TPoint p = C->ScreenToClient(To);
    C->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  }
  static void Release(TControl* C, TPoint At) {
    TPoint p = C->ScreenToClient(At);
    C->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  }
  static void DragTo(TControl* C, TPoint To) {
    PressAndMove(C, To);
    Release(C, To);
  }
  // Frees the forms released meanwhile (CM_RELEASE).
  static void PumpReleases() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  TPoint SitePoint(int X, int Y) const { return site_->ClientToScreen({X, Y}); }
  // The outline shown while docking: the bounds of the windows that take
  // no input.
  static TRect DockFrameShown() {
    TRect r{};
    bool any = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || !w->windowFlags().testFlag(Qt::WindowTransparentForInput)) continue;
      QRect g = w->geometry();
      TRect b = Bounds(g.x(), g.y(), g.width(), g.height());
      if (!any) r = b;
      r = Rect(std::min(r.Left, b.Left), std::min(r.Top, b.Top), std::max(r.Right, b.Right),
               std::max(r.Bottom, b.Bottom));
      any = true;
    }
    return r;
  }

  std::unique_ptr<TForm> form_;
  TCustomControl* site_ = nullptr;
  TCustomControl* client_ = nullptr;
};

TEST_F(DockTest, DockDragIntoASiteWithADockManager) {
  std::vector<std::string> log;
  client_->SetOnStartDock([&](TObject*, TDragDockObject*& object) {
    log.push_back("start");
    EXPECT_EQ(object, nullptr);
  });
  const TPoint o = SitePoint(0, 0);
  site_->SetOnGetSiteInfo([&](TObject*, TControl* c, TRect& influence, TPoint, bool&) {
    EXPECT_EQ(c, client_);
    EXPECT_EQ(influence, Rect(o.X - 10, o.Y - 10, o.X + 190, o.Y + 210));  // the window, 10 more each way
  });
  site_->SetOnDockOver([&](TObject*, TDragDockObject* s, int x, int y, TDragState state, bool& accept) {
    EXPECT_TRUE(accept);
    log.push_back("over " + std::to_string(state) + " " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_EQ(s->Control(), client_);
  });
  site_->SetOnDockDrop([&](TObject*, TDragDockObject* s, int x, int y) {
    log.push_back("drop " + std::to_string(x) + "," + std::to_string(y) + " " +
                  std::to_string(s->DropAlign()));
  });
  TObject* ended = form_.get();
  client_->SetOnEndDock([&](TObject*, TObject* target, int, int) { ended = target; });

  // Pressed and moved less than the threshold: no drag yet.
  client_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  Move(client_, client_->ClientToScreen({6, 6}));
  EXPECT_FALSE(client_->Dragging());
  Move(client_, SitePoint(50, 50));
  EXPECT_TRUE(client_->Dragging());
  EXPECT_EQ(DockFrameShown(), Bounds(o.X, o.Y, 180, 200));  // the whole site: its first client
  Move(client_, SitePoint(60, 50));
  Release(client_, SitePoint(60, 50));
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over 0 50,50", "over 2 60,50",
                                           "drop 60,50 " + std::to_string(alClient)}));
  EXPECT_EQ(ended, site_);
  EXPECT_EQ(client_->HostDockSite(), site_);
  EXPECT_EQ(client_->Parent(), site_);
  EXPECT_EQ(client_->Align(), alClient);
  EXPECT_EQ(client_->BoundsRect(), Rect(0, 0, 180, 200));
  ASSERT_EQ(site_->DockClientCount(), 1);
  EXPECT_EQ(site_->DockClients(0), client_);
  EXPECT_FALSE(client_->Dragging());
  EXPECT_FALSE(client_->MouseCapture());
  EXPECT_EQ(DockFrameShown(), TRect{});

  // A second client dropped near the site's left edge takes its left half.
  site_->SetOnGetSiteInfo(nullptr);
  site_->SetOnDockOver(nullptr);
  site_->SetOnDockDrop(nullptr);
  TCustomControl* second = Add(10, 100, 50, 50);
  second->SetDragKind(dkDock);
  second->SetDragMode(dmAutomatic);
  PressAndMove(second, SitePoint(10, 100));
  EXPECT_EQ(DockFrameShown(), Bounds(o.X, o.Y, 90, 200));
  Release(second, SitePoint(10, 100));
  EXPECT_EQ(second->HostDockSite(), site_);
  EXPECT_EQ(second->Align(), alLeft);
  EXPECT_EQ(second->BoundsRect(), Rect(0, 0, 90, 200));
  EXPECT_EQ(client_->BoundsRect(), Rect(90, 0, 180, 200));
  EXPECT_EQ(site_->DockClientCount(), 2);

  // A client freed while docked leaves the site.
  delete second;
  EXPECT_EQ(site_->DockClientCount(), 1);
  EXPECT_EQ(client_->BoundsRect(), Rect(0, 0, 180, 200));
}

TEST_F(DockTest, SiteWithoutADockManagerKeepsTheClientWhereItFell) {
  site_->SetUseDockManager(false);
  DragTo(client_, SitePoint(40, 30));
  EXPECT_EQ(client_->HostDockSite(), site_);
  EXPECT_EQ(client_->Align(), alNone);
  // Its size, with the point it was held by under the mouse.
  EXPECT_EQ(client_->BoundsRect(), Bounds(35, 25, 80, 60));
}

TEST_F(DockTest, RefusalsLeaveTheControlWhereItWas) {
  // The site does not take this control: the drop floats it.
  site_->SetOnDockOver([](TObject*, TDragDockObject*, int, int, TDragState, bool& accept) { accept = false; });
  DragTo(client_, SitePoint(50, 50));
  EXPECT_TRUE(client_->Floating());
  TWinControl* host = client_->HostDockSite();
  ASSERT_NE(host, nullptr);
  site_->SetOnDockOver(nullptr);

  // Only the right half of the site takes clients.
  site_->SetOnGetSiteInfo([](TObject*, TControl*, TRect& influence, TPoint, bool&) {
    influence.Left = influence.Left + influence.Width() / 2;
  });
  DragTo(client_, SitePoint(20, 50));
  EXPECT_TRUE(client_->Floating());
  site_->SetOnGetSiteInfo(nullptr);

  // The floating window refuses to let it go.
  std::vector<TWinControl*> asked;
  host = client_->HostDockSite();
  host->SetOnUnDock([&](TObject*, TControl*, TWinControl* target, bool& allow) {
    asked.push_back(target);
    allow = false;
  });
  DragTo(client_, SitePoint(150, 150));  // away from the floating window
  EXPECT_EQ(client_->HostDockSite(), host);
  EXPECT_FALSE(client_->ManualDock(site_));
  EXPECT_EQ(asked, (std::vector<TWinControl*>{site_, site_}));
  host->SetOnUnDock(nullptr);

  // A right press cancels the drag: the control stays, no target.
  TObject* ended = form_.get();
  client_->SetOnEndDock([&](TObject*, TObject* target, int, int) { ended = target; });
  PressAndMove(client_, SitePoint(150, 150));
  client_->Perform(WM_RBUTTONDOWN, MK_RBUTTON, 0);
  EXPECT_EQ(ended, nullptr);
  EXPECT_EQ(client_->HostDockSite(), host);
  EXPECT_FALSE(client_->Dragging());
}

TEST_F(DockTest, DroppedOverNoSiteTheControlFloats) {
  const TPoint outside = form_->ClientToScreen({150, 250});
  DragTo(client_, outside);
  ASSERT_TRUE(client_->Floating());
  auto* host = dynamic_cast<TCustomForm*>(client_->HostDockSite());
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->Showing());
  EXPECT_EQ(host->BorderStyle(), bsSizeToolWin);
  EXPECT_EQ(host->Caption(), "Client");
  // The window's client area is where the control was dropped, at its size.
  EXPECT_EQ(host->ClientToScreen({0, 0}), (TPoint{outside.X - 5, outside.Y - 5}));
  EXPECT_EQ(host->ClientWidth(), 80);
  EXPECT_EQ(host->ClientHeight(), 60);
  EXPECT_EQ(client_->Parent(), host);
  EXPECT_EQ(client_->Align(), alClient);

  // Docked again, the floating window goes; floated again, the control
  // has its own size back.
  TWatch host_watch(host);
  EXPECT_TRUE(client_->ManualDock(site_, nullptr, alTop));
  EXPECT_FALSE(client_->Floating());
  EXPECT_EQ(client_->Align(), alClient);  // the site's first client fills it
  PumpReleases();
  EXPECT_TRUE(host_watch.Gone());
  EXPECT_TRUE(client_->ManualDock(nullptr));
  ASSERT_TRUE(client_->Floating());
  EXPECT_EQ(client_->HostDockSite()->ClientWidth(), 80);
  EXPECT_EQ(site_->DockClientCount(), 0);

  // A floating control freed by its owner takes its window with it.
  TWatch again(client_->HostDockSite());
  delete client_;
  PumpReleases();
  EXPECT_TRUE(again.Gone());
}

TEST_F(DockTest, ASiteFreedTakesItsClientsAndIsNoTargetAnyMore) {
  ASSERT_TRUE(client_->ManualDock(site_));
  TWatch client(client_);
  delete site_;
  EXPECT_TRUE(client.Gone());  // children go with their parent
  TCustomControl* other = Add(10, 100, 50, 50);
  other->SetDragKind(dkDock);
  other->SetDragMode(dmAutomatic);
  DragTo(other, form_->ClientToScreen({300, 100}));
  EXPECT_TRUE(other->Floating());
}

}  // namespace
