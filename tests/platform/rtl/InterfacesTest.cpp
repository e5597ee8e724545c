#include "platform/rtl/Interfaces.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/rtl/Component.h"

namespace {

class IOwner {
 public:
  static constexpr TGUID IID{0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
  virtual void CloseUp(bool Accept) = 0;

 protected:
  ~IOwner() = default;
};

class IHolder {
 public:
  virtual int Cell() = 0;

 protected:
  ~IHolder() = default;
};

class TBoth : public TComponent, public IOwner, public IHolder {
 public:
  using TComponent::TComponent;
  void CloseUp(bool Accept) override { accepted = Accept; }
  int Cell() override { return 7; }
  bool accepted = false;
};

}  // namespace

TEST(InterfacesTest, SupportsFindsWhatTheObjectImplements) {
  std::unique_ptr<TComponent> plain(new TComponent(nullptr));
  std::unique_ptr<TBoth> both(new TBoth(nullptr));
  TComponent* as_component = both.get();

  IOwner* owner = nullptr;
  ASSERT_TRUE(Supports(as_component, owner));
  owner->CloseUp(true);
  EXPECT_TRUE(both->accepted);
  // From one interface to another of the same object, and back to the object.
  ASSERT_NE(Supports<IHolder>(owner), nullptr);
  EXPECT_EQ(Supports<IHolder>(owner)->Cell(), 7);
  EXPECT_EQ(Supports<TComponent>(Supports<IHolder>(owner)), as_component);

  EXPECT_FALSE(Supports(plain.get(), owner));
  EXPECT_EQ(owner, nullptr);
  EXPECT_EQ(Supports<IOwner>(static_cast<TComponent*>(nullptr)), nullptr);
  EXPECT_TRUE(InterfaceID<IOwner>() == IOwner::IID);
}
