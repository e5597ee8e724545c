#include <QWidget>

#include "tests/platform/gui/GuiFixture.h"

namespace {

class TProbe : public TWinControl {
 public:
  using TWinControl::TWinControl;
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_USER + 1) {
      received.push_back(static_cast<int>(m.WParam));
      m.Result = static_cast<LRESULT>(m.WParam + m.LParam);
      return;
    }
    if (m.Msg == WM_TIMER) {
      ticks.push_back(clock ? clock->Now() : 0);
      return;
    }
    TWinControl::Dispatch(m);
  }
  std::vector<int> received;
  std::vector<uint64_t> ticks;
  TManualTimerService* clock = nullptr;
};

}  // namespace

using ControlsTest = GuiTest;

TEST_F(ControlsTest, MessagesDispatchByNumber) {
  auto p = std::make_unique<TProbe>(nullptr);
  EXPECT_EQ(p->Perform(WM_USER + 1, 2, 3), 5);
  EXPECT_EQ(p->Perform(WM_USER + 2, 2, 3), 0);  // unhandled answers 0
  HWND h = p->Handle();
  ASSERT_TRUE(IsWindow(h));
  EXPECT_EQ(FindControl(h), p.get());
  EXPECT_EQ(SendMessage(h, WM_USER + 1, 4, 1), 5);

  // Posted messages wait for the event loop.
  EXPECT_TRUE(PostMessage(h, WM_USER + 1, 7, 0));
  EXPECT_EQ(p->received, (std::vector<int>{2, 4}));
  Application->ProcessMessages();
  EXPECT_EQ(p->received, (std::vector<int>{2, 4, 7}));

  // A message posted to a window freed before delivery is dropped.
  EXPECT_TRUE(PostMessage(h, WM_USER + 1, 8, 0));
  p.reset();
  Application->ProcessMessages();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(SendMessage(h, WM_USER + 1, 1, 1), 0);
  EXPECT_FALSE(PostMessage(h, WM_USER + 1, 1, 1));
}

TEST_F(ControlsTest, WindowTimersTickEveryInterval) {
  auto p = std::make_unique<TProbe>(nullptr);
  p->clock = &clock_;
  HWND h = p->Handle();
  EXPECT_EQ(SetTimer(h, 3, 100), 3u);
  clock_.Advance(99);
  EXPECT_TRUE(p->ticks.empty());
  clock_.Advance(201);
  EXPECT_EQ(p->ticks, (std::vector<uint64_t>{100, 200, 300}));
  SetTimer(h, 3, 50);  // restarts with the new interval
  clock_.Advance(100);
  EXPECT_EQ(p->ticks.size(), 5u);
  EXPECT_TRUE(KillTimer(h, 3));
  EXPECT_FALSE(KillTimer(h, 3));
  clock_.Advance(1000);
  EXPECT_EQ(p->ticks.size(), 5u);
  // Intervals below 10 ms (a computed 0 too) tick every 10 ms.
  for (Cardinal elapse : {0u, 1u, 9u}) {
    p->ticks.clear();
    SetTimer(h, 5, elapse);
    clock_.Advance(30);
    EXPECT_EQ(p->ticks.size(), 3u) << elapse;
  }
  EXPECT_EQ(SetTimer(nullptr, 1, 10), 0u);
  SetTimer(h, 4, 10);
  p.reset();  // freeing the window stops its timers
  EXPECT_EQ(clock_.ActiveCount(), 0);
}

TEST_F(ControlsTest, AnchorsFollowTheParentsSize) {
  struct Case {
    TAnchors anchors;
    TRect expected;  // after the parent grows by 100 x 50
  } cases[] = {
      {{akLeft, akTop}, Bounds(10, 20, 30, 40)},
      {{akLeft, akTop, akRight, akBottom}, Bounds(10, 20, 130, 90)},
      {{akRight, akBottom}, Bounds(110, 70, 30, 40)},
      {{akLeft, akBottom}, Bounds(10, 70, 30, 40)},
      {{}, Bounds(60, 45, 30, 40)},
  };
  for (const Case& c : cases) {
    auto parent = std::make_unique<TWinControl>(nullptr);
    parent->SetBounds(0, 0, 200, 100);
    auto* child = new TWinControl(parent.get());
    child->SetParent(parent.get());
    child->SetAnchors(c.anchors);
    child->SetBounds(10, 20, 30, 40);
    parent->SetBounds(0, 0, 300, 150);
    EXPECT_EQ(child->BoundsRect(), c.expected) << "anchors " << c.anchors.ToBits();
    parent->SetBounds(0, 0, 200, 100);  // and back
    EXPECT_EQ(child->BoundsRect(), Bounds(10, 20, 30, 40));
  }
}

TEST_F(ControlsTest, AlignFillsTheClientAreaInOrder) {
  auto parent = std::make_unique<TWinControl>(nullptr);
  parent->SetBounds(0, 0, 200, 100);
  auto make = [&](TAlign a, int w, int h) {
    auto* c = new TWinControl(parent.get());
    c->SetBounds(0, 0, w, h);
    c->SetParent(parent.get());
    c->SetAlign(a);
    return c;
  };
  TControl* client = make(alClient, 5, 5);
  TControl* top = make(alTop, 5, 10);
  TControl* bottom = make(alBottom, 5, 20);
  TControl* left = make(alLeft, 30, 5);
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 200, 10));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 80, 200, 20));
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 10, 30, 70));
  EXPECT_EQ(client->BoundsRect(), Bounds(30, 10, 170, 70));
  top->SetVisible(false);
  EXPECT_EQ(client->BoundsRect(), Bounds(30, 0, 170, 80));
  parent->SetBounds(0, 0, 300, 100);
  EXPECT_EQ(client->BoundsRect(), Bounds(30, 0, 270, 80));
}

TEST_F(ControlsTest, ParentFontAndColorPropagate) {
  auto parent = std::make_unique<TWinControl>(nullptr);
  auto* child = new TWinControl(parent.get());
  child->SetParent(parent.get());
  parent->Font()->SetName("Courier New");
  parent->SetColor(clYellow);
  EXPECT_EQ(child->Font()->Name(), "Courier New");
  EXPECT_EQ(child->Color(), clYellow);
  EXPECT_TRUE(child->ParentFont());
  child->Font()->SetHeight(-20);  // own font from now on
  EXPECT_FALSE(child->ParentFont());
  parent->Font()->SetName("Tahoma");
  EXPECT_EQ(child->Font()->Name(), "Courier New");
  child->SetParentFont(true);
  EXPECT_EQ(child->Font()->Name(), "Tahoma");
  EXPECT_EQ(child->Font()->Height(), parent->Font()->Height());
  EXPECT_FALSE(child->IsFontStored());
}

TEST_F(ControlsTest, ChildrenGoWithTheirParentAndWidgetsFollowParents) {
  TComponent owner(nullptr);
  auto* parent = new TWinControl(&owner);
  auto* a = new TWinControl(&owner);
  auto* b = new TButton(&owner);
  a->SetParent(parent);
  b->SetParent(parent);
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 1);
  b->SetTabOrder(0);
  EXPECT_EQ(parent->TabList(), (std::vector<TWinControl*>{b, a}));
  EXPECT_THROW(parent->SetParent(a), EInvalidOperation);

  EXPECT_EQ(a->Widget(), nullptr);  // made only when needed
  parent->HandleNeeded();
  ASSERT_NE(a->Widget(), nullptr);
  EXPECT_EQ(a->Widget()->parentWidget(), parent->Widget());
  EXPECT_EQ(FindControl(b->Widget()), b);
  a->SetParent(nullptr);
  EXPECT_EQ(a->Widget(), nullptr);
  EXPECT_EQ(parent->ControlCount(), 1);
  delete parent;  // frees its child b as well
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), a);
}
