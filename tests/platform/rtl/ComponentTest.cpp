#include "platform/rtl/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

class TProbe : public TComponent {
 public:
  using TComponent::TComponent;
  ~TProbe() override { g_log.push_back("~" + Name()); }
  TComponent* Partner = nullptr;
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
      // The removed component is still whole: its dynamic type is intact.
      g_log.push_back(Name() + ":remove " + AComponent->Name() +
                      (dynamic_cast<TProbe*>(AComponent) ? " probe" : " base"));
      if (AComponent == Partner) Partner = nullptr;
    }
  }
};

TProbe* Make(TComponent* owner, const char* name) {
  auto* p = new TProbe(owner);
  p->SetName(name);
  return p;
}

}  // namespace

TEST(Component, OwnerFreesOwnedInReverseOrderAndNotifiesSiblings) {
  g_log.clear();
  TProbe* owner = Make(nullptr, "Owner");
  Make(owner, "A");
  Make(owner, "B");
  ASSERT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1)->Name(), "B");
  EXPECT_EQ(owner->FindComponent("b"), owner->Components(1));
  delete owner;
  // B goes first; its removal reaches the owner and, through it, every owned
  // component (B itself included); the base Notification passes the call on
  // before the override logs.
  std::vector<std::string> expected = {"B:remove B probe", "A:remove B probe", "Owner:remove B probe",
                                       "~B", "A:remove A probe", "Owner:remove A probe", "~A", "~Owner"};
  EXPECT_EQ(g_log, expected);
}

TEST(Component, FreeNotificationClearsReferenceBothWays) {
  g_log.clear();
  TProbe* a = Make(nullptr, "A");
  TProbe* b = Make(nullptr, "B");
  a->Partner = b;
  a->FreeNotification(b);
  delete b;
  EXPECT_EQ(a->Partner, nullptr);
  // The link is gone on both sides: freeing A later notifies nobody.
  g_log.clear();
  delete a;
  EXPECT_EQ(g_log, std::vector<std::string>{"~A"});
}

TEST(Component, RemoveFreeNotificationStopsNotice) {
  g_log.clear();
  TProbe* a = Make(nullptr, "A");
  TProbe* b = Make(nullptr, "B");
  a->FreeNotification(b);
  a->RemoveFreeNotification(b);
  delete b;
  EXPECT_EQ(g_log, std::vector<std::string>{"~B"});
  delete a;
}

TEST(Component, NamesAreValidatedAndUniqueWithinOwner) {
  TProbe* owner = Make(nullptr, "Owner");
  TProbe* a = Make(owner, "Edit1");
  TProbe* b = Make(owner, "Edit2");
  EXPECT_THROW(b->SetName("EDIT1"), EComponentError);
  EXPECT_THROW(a->SetName("1abc"), EComponentError);
  EXPECT_THROW(a->SetName("a b"), EComponentError);
  EXPECT_NO_THROW(a->SetName("edit1"));  // a case change of its own name
  EXPECT_NO_THROW(b->SetName(""));
  EXPECT_EQ(a->Name(), "edit1");
  delete owner;
}

TEST(Component, DestroyingStateIsSetOnOwnedBeforeTheyGo) {
  struct TWatch : TComponent {
    using TComponent::TComponent;
    bool* sawDestroying = nullptr;
    ~TWatch() override { *sawDestroying = IsDestroying() && Owner() == nullptr; }
  };
  bool saw = false;
  auto* owner = new TComponent(nullptr);
  auto* w = new TWatch(owner);
  w->sawDestroying = &saw;
  delete owner;
  EXPECT_TRUE(saw);
}

TEST(Persistent, AssignWithoutSupportRaises) {
  TPersistent a, b;
  EXPECT_THROW(a.Assign(&b), EConvertError);
  try {
    a.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TPersistent");
  }
}
