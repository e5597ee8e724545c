#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/Events.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

namespace {

enum TColorKind { ckRed, ckGreen, ckBlue };

class THandler : public TObject {
 public:
  int calls = 0;
  void OnEvent(TObject*) { ++calls; }
  void Other(TObject*) {}
};

}  // namespace

TEST(Set, Operations) {
  Set<TColorKind> s{ckRed};
  s.Include(ckBlue);
  EXPECT_TRUE(s.Contains(ckBlue));
  EXPECT_FALSE(s.Contains(ckGreen));
  EXPECT_EQ(s + Set<TColorKind>{ckGreen}, (Set<TColorKind>{ckRed, ckGreen, ckBlue}));
  EXPECT_EQ((s * Set<TColorKind>{ckBlue, ckGreen}), Set<TColorKind>{ckBlue});
  EXPECT_EQ(s - Set<TColorKind>{ckRed}, Set<TColorKind>{ckBlue});
  EXPECT_TRUE(Set<TColorKind>{}.Empty());
  CharSet digits = CharSet::Range('0', '9');
  EXPECT_TRUE(digits.Contains('5'));
  EXPECT_FALSE(digits.Contains('a'));
  EXPECT_TRUE((digits + CharSet{'\xE0'}).Contains('\xE0'));
}

TEST(Event, EqualityByObjectAndMethod) {
  THandler h1, h2;
  TNotifyEvent a{&h1, &THandler::OnEvent};
  TNotifyEvent b{&h1, &THandler::OnEvent};
  TNotifyEvent c{&h2, &THandler::OnEvent};
  TNotifyEvent d{&h1, &THandler::Other};
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(a, d);
  EXPECT_TRUE(a.IsBoundTo(&h1));
  a(nullptr);
  EXPECT_EQ(h1.calls, 1);
  TNotifyEvent empty;
  EXPECT_FALSE(empty.Assigned());
  EXPECT_EQ(empty, TNotifyEvent{});
  empty(nullptr);  // no-op
  int n = 0;
  TNotifyEvent l1{&h1, [&n](TObject*) { ++n; }};
  TNotifyEvent l2 = l1;
  EXPECT_EQ(l1, l2);
  EXPECT_NE(l1, (TNotifyEvent{&h1, [&n](TObject*) { ++n; }}));
  l2(nullptr);
  EXPECT_EQ(n, 1);
  Event<int(int)> twice([](int x) { return 2 * x; });
  EXPECT_EQ(twice(4), 8);
  EXPECT_EQ(Event<int(int)>{}(4), 0);
}

TEST(Currency, ScaledArithmetic) {
  EXPECT_EQ(Currency::FromDouble(1.23456).Value, 12346);
  EXPECT_EQ(Currency::FromDouble(-1.23456).Value, -12346);
  EXPECT_EQ((Currency::FromInt(3) * Currency::FromDouble(0.5)).Value, 15000);
  EXPECT_EQ((Currency::FromInt(1) / Currency::FromInt(3)).Value, 3333);
  EXPECT_EQ((Currency::FromInt(-2) / Currency::FromInt(3)).Value, -6667);
  EXPECT_LT(Currency::FromInt(1), Currency::FromInt(2));
}

TEST(Exception, MessageAndClassName) {
  try {
    throw EConvertError("bad %s", {String("x")});
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "bad x");
    EXPECT_STREQ(e.what(), "bad x");
    EXPECT_EQ(e.ClassName(), "EConvertError");
  }
  EXPECT_THROW(Abort(), EAbort);
}

namespace {
std::vector<std::string> g_order;
void InitA() { g_order.push_back("+A"); }
void FinalA() { g_order.push_back("-A"); }
void InitB() { g_order.push_back("+B"); }
void FinalB() { g_order.push_back("-B"); }
void InitC() { g_order.push_back("+C"); }
void FinalC() { g_order.push_back("-C"); }
constinit const TUnit unitA("A", InitA, FinalA);
constexpr const TUnit* kUsesB[] = {&unitA};
constinit const TUnit unitB("B", kUsesB, InitB, FinalB);
constexpr const TUnit* kUsesC[] = {&unitB, &unitA};
constinit const TUnit unitC("C", kUsesC, InitC, FinalC);
}  // namespace

TEST(UnitInit, DependencyOrderOnceAndReverseFinalization) {
  g_order.clear();
  InitializeUnits({&unitC, &unitB});
  InitializeUnits({&unitA});  // already done: nothing runs
  EXPECT_TRUE(IsUnitInitialized(unitB));
  FinalizeUnits();
  std::vector<std::string> expected = {"+A", "+B", "+C", "-C", "-B", "-A"};
  EXPECT_EQ(g_order, expected);
  EXPECT_FALSE(IsUnitInitialized(unitA));
}
