#include <gtest/gtest.h>

#include "tests/platform/rtl/TypInfoFixture.h"

class TypInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterTiClasses(); }
};

TEST_F(TypInfoTest, KindsFollowTheGetterType) {
  struct Case {
    const char* prop;
    TTypeKind kind;
  } cases[] = {
      {"Width", tkInteger},   {"Big", tkInt64},      {"Flag", tkEnumeration}, {"Mode", tkEnumeration},
      {"Modes", tkSet},       {"Ratio", tkFloat},    {"Price", tkFloat},      {"Caption", tkLString},
      {"Wide", tkWString},    {"Color", tkInteger},  {"Font", tkClass},       {"Buddy", tkClass},
      {"OnPing", tkMethod},   {"Tag", tkInt64},
  };
  TTiGadget g(nullptr);
  for (const Case& c : cases) {
    const TPropInfo* p = GetPropInfo(&g, c.prop);
    ASSERT_NE(p, nullptr) << c.prop;
    EXPECT_EQ(p->Kind(), c.kind) << c.prop;
  }
  EXPECT_EQ(GetPropInfo(&g, "price")->PropType()->FloatType, ftCurr);
  EXPECT_FALSE(GetPropInfo(&g, "Font")->Writable());
  EXPECT_TRUE(GetPropInfo(&g, "Buddy")->Writable());
  // Ancestors' properties first, in registration order.
  auto props = GetPropList(&g);
  ASSERT_GE(props.size(), 2u);
  EXPECT_EQ(props[0]->Name(), "Tag");
  EXPECT_EQ(props[1]->Name(), "Width");
}

TEST_F(TypInfoTest, EnumerationAndSetNames) {
  EXPECT_EQ(GetEnumName(tmDark), "tmDark");
  EXPECT_EQ(GetEnumValue<TTiMode>("TMLIGHT"), 1);
  EXPECT_EQ(GetEnumValue<TTiMode>("tmNope"), -1);
  EXPECT_EQ(GetEnumName(TypeInfoOf(static_cast<TTiMode*>(nullptr)), 7), "");
  EXPECT_EQ(GetEnumName(BooleanTypeInfo(), 1), "True");

  const TTypeInfo* setType = GetPropInfo(ClassInfoOf<TTiGadget>(), "Modes")->PropType();
  uint64_t bits = TTiModes{tmNone, tmDark}.ToBits();
  EXPECT_EQ(SetToString(setType, bits, true), "[tmNone,tmDark]");
  EXPECT_EQ(SetToString(setType, 0, false), "");
  EXPECT_EQ(StringToSet(setType, "[ tmDark , tmnone ]"), bits);
  EXPECT_EQ(StringToSet(setType, "[]"), 0u);
  EXPECT_THROW(StringToSet(setType, "[tmDark, tmBlue]"), EPropertyError);

  int64_t v = 0;
  String ident;
  EXPECT_TRUE(IdentToInt(TypeInfoOf(static_cast<TTiColor*>(nullptr)), "TCWHITE", v));
  EXPECT_EQ(v, 0xFFFFFF);
  EXPECT_TRUE(IntToIdent(TypeInfoOf(static_cast<TTiColor*>(nullptr)), 0, ident));
  EXPECT_EQ(ident, "tcBlack");
  EXPECT_FALSE(IntToIdent(TypeInfoOf(static_cast<TTiColor*>(nullptr)), 5, ident));
}

enum TTiGap { tgA, tgB = 5 };

TEST_F(TypInfoTest, EnumerationNamesMustMatchOrdinals) {
  EXPECT_THROW(MakeEnumTypeInfo("TTiGap", "tgA, tgB", {tgA, tgB}), EPropertyError);
  TTypeInfo ok = MakeEnumTypeInfo("X", " a ,b,  c ", {0, 1, 2});
  EXPECT_EQ(ok.Names, (std::vector<String>{"a", "b", "c"}));
}

TEST_F(TypInfoTest, AccessByName) {
  TTiGadget g(nullptr);
  SetOrdProp(&g, "width", 42);
  EXPECT_EQ(g.Width(), 42);
  SetEnumProp(&g, "Mode", "tmLight");
  EXPECT_EQ(g.Mode(), tmLight);
  EXPECT_EQ(GetEnumProp(&g, "Mode"), "tmLight");
  SetSetProp(&g, "Modes", "[tmLight,tmDark]");
  EXPECT_EQ(GetSetProp(&g, "Modes", true), "[tmLight,tmDark]");
  SetStrProp(&g, "Wide", "Привет");
  EXPECT_EQ(g.Wide(), u"Привет");
  EXPECT_EQ(GetStrProp(&g, "Wide"), "Привет");
  SetFloatProp(&g, "Price", 1.25);
  EXPECT_EQ(g.Price(), Currency::FromRaw(12500));
  SetObjectProp(&g, "Buddy", &g);
  EXPECT_EQ(GetObjectProp(&g, "Buddy"), &g);
  SetOrdProp(&g, "Tag", 7);
  EXPECT_EQ(g.Tag(), 7);

  TTiBox box(nullptr);
  try {
    SetOrdProp(&g, "Nope", 1);
    ADD_FAILURE() << "no exception";
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), "Property Nope does not exist");
  }
  EXPECT_THROW(SetEnumProp(&g, "Mode", "tmBlue"), EPropertyError);
  EXPECT_THROW(SetStrProp(&g, "Width", "x"), EPropertyError);  // wrong kind
  EXPECT_THROW(SetObjectProp(&g, "Buddy", &box), EPropertyError);  // wrong class
  EXPECT_THROW(SetObjectProp(&g, "Font", nullptr), EPropertyError);  // read-only
}

TEST_F(TypInfoTest, ClassLookup) {
  EXPECT_EQ(FindClass("ttigadget"), ClassInfoOf<TTiGadget>());
  EXPECT_EQ(FindClass("TTiGadget")->Parent(), ClassInfoOf<TComponent>());
  EXPECT_TRUE(FindClass("TTiGadget")->InheritsFrom(ClassInfoOf<TPersistent>()));
  try {
    FindClass("TNoSuch");
    ADD_FAILURE() << "no exception";
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), "Class TNoSuch not found");
  }
  // An unregistered subclass resolves to its most derived registered base.
  TTiUnregistered u(nullptr);
  EXPECT_EQ(GetClassInfo(&u), ClassInfoOf<TTiGadget>());
  EXPECT_NE(GetPropInfo(&u, "Width"), nullptr);

  TComponent owner(nullptr);
  TComponent* made = FindClass("TTiGadget")->CreateInstance(&owner);
  EXPECT_NE(dynamic_cast<TTiGadget*>(made), nullptr);
  EXPECT_EQ(made->Owner(), &owner);
  EXPECT_FALSE(FindClass("TTiAbstract")->CanCreate());
  EXPECT_THROW(FindClass("TTiAbstract")->CreateInstance(&owner), EInvalidOperation);
  EXPECT_FALSE(FindClass("TTiFont")->CanCreate());
}

TEST_F(TypInfoTest, RegisteringUnderAnUnknownParentFails) {
  struct TOrphan : TPersistent {};
  struct TOrphanChild : TOrphan {};
  EXPECT_THROW((RegisterClass<TOrphanChild, TOrphan>("TOrphanChild")), EClassNotFound);
}

TEST_F(TypInfoTest, DefaultsAndStoredConditions) {
  TTiGadget g(nullptr);
  auto isDefault = [&](const char* name) { return GetPropInfo(&g, name)->IsDefault(&g); };
  // Declared defaults compare; strings, Int64 and floats are default when empty/zero;
  // events and objects when unassigned.
  EXPECT_TRUE(isDefault("Width"));
  EXPECT_TRUE(isDefault("Caption"));
  EXPECT_TRUE(isDefault("Big"));
  EXPECT_TRUE(isDefault("Ratio"));
  EXPECT_TRUE(isDefault("OnPing"));
  EXPECT_TRUE(isDefault("Buddy"));
  g.SetWidth(11);
  g.SetCaption("x");
  g.SetBig(1);
  g.SetRatio(0.5);
  EXPECT_FALSE(isDefault("Width"));
  EXPECT_FALSE(isDefault("Caption"));
  EXPECT_FALSE(isDefault("Big"));
  EXPECT_FALSE(isDefault("Ratio"));
  // Tag without... has a declared default of 0.
  EXPECT_TRUE(isDefault("Tag"));

  EXPECT_TRUE(GetPropInfo(&g, "Caption")->IsStored(&g));
  g.hide_caption = true;
  EXPECT_FALSE(GetPropInfo(&g, "Caption")->IsStored(&g));
}

TEST_F(TypInfoTest, EventsBindPublishedMethodsOfTheirSignature) {
  TTiBox box(nullptr);
  TTiGadget g(nullptr);
  const TClassInfo* info = GetClassInfo(&box);
  const TPropInfo* onPing = GetPropInfo(&g, "OnPing");
  const TPropInfo* onCount = GetPropInfo(&g, "OnCount");
  onPing->SetMethod(&g, *info->FindMethod("PING"), &box);
  g.OnPing()(&g);
  EXPECT_EQ(box.pings, 1);
  EXPECT_TRUE(onPing->MethodIs(&g, *info->FindMethod("Ping"), &box));
  EXPECT_FALSE(onPing->MethodIs(&g, *info->FindMethod("Count"), &box));
  // A handler set in code with the same method is the same event.
  g.SetOnPing({&box, &TTiBox::Ping});
  EXPECT_TRUE(onPing->MethodIs(&g, *info->FindMethod("Ping"), &box));
  EXPECT_THROW(onCount->SetMethod(&g, *info->FindMethod("Ping"), &box), EPropertyError);
  onPing->ClearMethod(&g);
  EXPECT_FALSE(onPing->MethodAssigned(&g));
}
