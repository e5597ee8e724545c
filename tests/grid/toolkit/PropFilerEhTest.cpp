// Property-storage interceptors: the registry and the form's placement kept
// through a store (offscreen windows).
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "grid/toolkit/PropFilerEh.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Popup.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

class TOtherInterceptor : public TStoragePropertyInterceptor {
 public:
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
};

namespace {

// A store: published property names with their values as text, written and
// read the way a storing component does, through the property registry.
using TStore = std::map<String, String>;

class PropFilerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_PropFilerEh, &unit_StdCtrls});
    Application->Initialize();
  }

  // A form with one edit box named Edit1, at the given bounds.
  static std::unique_ptr<TForm> MakeForm(int Left, int Top, int Width, int Height) {
    std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
    auto* edit = new TEdit(form.get());
    edit->SetName("Edit1");
    edit->SetParent(form.get());
    form->SetBounds(Left, Top, Width, Height);
    return form;
  }

  // The interceptor registered for the target's class.
  static std::unique_ptr<TStoragePropertyInterceptor> InterceptorFor(TPersistent* Target) {
    for (int i = PropertyInterceptorCount(); i-- > 0;)
      if (PropertyInterceptorTargetClass(i)->IsInstance(Target))
        return std::unique_ptr<TStoragePropertyInterceptor>(PropertyInterceptorClass(i)->Create(Target));
    return nullptr;
  }

  static TStore Save(TPersistent* Target) {
    auto interceptor = InterceptorFor(Target);
    TStore store;
    for (const TPropInfo* p : GetPropList(interceptor.get())) {
      if (p->Kind() == tkInteger) {
        store[p->Name()] = IntToStr(static_cast<Integer>(p->GetOrd(interceptor.get())));
      } else if (p->Kind() == tkEnumeration) {
        store[p->Name()] = GetEnumName(p->PropType(), static_cast<int>(p->GetOrd(interceptor.get())));
      } else if (p->Kind() == tkClass) {
        auto* component = dynamic_cast<TComponent*>(p->GetObj(interceptor.get()));
        store[p->Name()] = component != nullptr ? component->Name() : "";
      }
    }
    return store;
  }

  static void Restore(TForm* Target, const TStore& Store) {
    auto interceptor = InterceptorFor(Target);
    for (const auto& [name, value] : Store) {
      const TPropInfo* p = GetPropInfo(interceptor.get(), name);
      ASSERT_NE(p, nullptr) << name;
      if (p->Kind() == tkInteger) p->SetOrd(interceptor.get(), StrToInt(value));
      else if (p->Kind() == tkEnumeration) p->SetOrd(interceptor.get(), GetEnumValue(p->PropType(), value));
      else if (p->Kind() == tkClass) p->SetObj(interceptor.get(), Target->FindComponent(value));
    }
    interceptor->EndRestore();
  }

  static TRect NormalBounds(TForm* Form) {
    WINDOWPLACEMENT placement;
    EXPECT_TRUE(GetWindowPlacement(Form->Handle(), &placement));
    return placement.rcNormalPosition;
  }
};

TEST_F(PropFilerTest, OneInterceptorPerTargetClassTheLastRegistered) {
  const TClassInfo* forms = ClassInfoOf<TCustomForm>();
  auto formInterceptor = StoragePropertyInterceptorClassOf<TFormStoragePropertyInterceptor>();
  auto other = StoragePropertyInterceptorClassOf<TOtherInterceptor>();
  auto pairsOf = [](const TClassInfo* Target) {
    String names;
    for (int i = 0; i < PropertyInterceptorCount(); ++i)
      if (PropertyInterceptorTargetClass(i) == Target) names += PropertyInterceptorClass(i)->ClassName + ";";
    return names;
  };
  EXPECT_EQ(pairsOf(forms), "TFormStoragePropertyInterceptor;");
  const int count = PropertyInterceptorCount();

  RegisterPropertyInterceptor(forms, other);
  EXPECT_EQ(pairsOf(forms), "TOtherInterceptor;");
  EXPECT_EQ(PropertyInterceptorCount(), count);
  EXPECT_EQ(PropertyInterceptorTargetClass(count - 1), forms) << "the new pair is appended";
  auto form = MakeForm(0, 0, 100, 100);
  EXPECT_EQ(InterceptorFor(form.get())->ClassName(), "TOtherInterceptor");

  RegisterPropertyInterceptor(ClassInfoOf<TForm>(), formInterceptor);
  EXPECT_EQ(pairsOf(ClassInfoOf<TForm>()), "TFormStoragePropertyInterceptor;");
  EXPECT_EQ(pairsOf(forms), "TOtherInterceptor;") << "another target class keeps its own";

  UnregisterPropertyInterceptor(forms, formInterceptor);
  EXPECT_EQ(pairsOf(forms), "TOtherInterceptor;") << "only a pair of both classes goes";
  UnregisterPropertyInterceptor(forms, other);
  UnregisterPropertyInterceptor(ClassInfoOf<TForm>(), formInterceptor);
  EXPECT_EQ(PropertyInterceptorCount(), count - 1);
  EXPECT_THROW(PropertyInterceptorClass(count - 1), EListError);

  RegisterPropertyInterceptor(forms, formInterceptor);
  EXPECT_EQ(pairsOf(forms), "TFormStoragePropertyInterceptor;");
}

TEST_F(PropFilerTest, AMaximisedFormComesBackMaximisedWithItsNormalBounds) {
  auto saved = MakeForm(0, 0, 100, 100);
  saved->Show();
  saved->SetBounds(40, 50, 300, 200);
  saved->SetActiveControl(dynamic_cast<TWinControl*>(saved->FindComponent("Edit1")));
  saved->SetWindowState(wsMaximized);
  Application->ProcessMessages();
  ASSERT_NE(saved->BoundsRect(), Bounds(40, 50, 300, 200)) << "the live bounds are the maximised ones";
  const TStore store = Save(saved.get());
  EXPECT_EQ(store, (TStore{{"ActiveControl", "Edit1"},
                           {"Height", "200"},
                           {"Left", "40"},
                           {"PixelsPerInch", "96"},
                           {"Top", "50"},
                           {"Width", "300"},
                           {"WindowState", "wsMaximized"}}));

  auto restored = MakeForm(0, 0, 100, 100);
  restored->Show();
  Restore(restored.get(), store);
  Application->ProcessMessages();
  EXPECT_EQ(restored->WindowState(), wsMaximized);
  EXPECT_EQ(restored->ActiveControl(), restored->FindComponent("Edit1"));
  EXPECT_EQ(NormalBounds(restored.get()), Bounds(40, 50, 300, 200));
  EXPECT_EQ(Save(restored.get()), store);
  restored->SetWindowState(wsNormal);
  Application->ProcessMessages();
  EXPECT_EQ(restored->BoundsRect(), Bounds(40, 50, 300, 200));

  // A normal form takes the bounds at once.
  TStore normal = store;
  normal["WindowState"] = "wsNormal";
  normal["Left"] = "70";
  Restore(restored.get(), normal);
  Application->ProcessMessages();
  EXPECT_EQ(restored->WindowState(), wsNormal);
  EXPECT_EQ(restored->BoundsRect(), Bounds(70, 50, 300, 200));
}

TEST_F(PropFilerTest, BoundsAreRescaledFromTheStoredResolutionToTheScreens) {
  ASSERT_EQ(Screen->PixelsPerInch(), 96);
  const struct {
    const char* pixelsPerInch;
    const char* state;
    TRect expected;
  } cases[] = {
      {"80", "wsMaximized", Bounds(120, 60, 480, 360)},  // 96/80
      {"80", "wsNormal", Bounds(120, 60, 480, 360)},
      {"120", "wsNormal", Bounds(80, 40, 320, 240)},  // 96/120
      {"96", "wsMaximized", Bounds(100, 50, 400, 300)},
      {"0", "wsNormal", Bounds(100, 50, 400, 300)},  // no resolution: as stored
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(String(c.pixelsPerInch) + " " + c.state);
    auto form = MakeForm(0, 0, 100, 100);
    form->Show();
    Restore(form.get(), {{"Left", "100"},
                         {"Top", "50"},
                         {"Width", "400"},
                         {"Height", "300"},
                         {"PixelsPerInch", c.pixelsPerInch},
                         {"WindowState", c.state}});
    EXPECT_EQ(GetEnumName(form->WindowState()), c.state);
    EXPECT_EQ(NormalBounds(form.get()), c.expected);
  }
}

TEST_F(PropFilerTest, ARestoredPositionEndsCentringAndASizeAloneKeepsIt) {
  const struct {
    TPosition position;
    bool left, top, designing;
    TPosition expected;
  } cases[] = {
      {poScreenCenter, false, false, false, poScreenCenter},
      {poScreenCenter, true, false, false, poDesigned},
      {poScreenCenter, false, true, false, poDesigned},
      {poDesktopCenter, true, true, false, poDesigned},
      {poScreenCenter, true, true, true, poScreenCenter},
      {poMainFormCenter, true, true, false, poMainFormCenter},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(String(GetEnumName(c.position)) + (c.left ? " Left" : "") + (c.top ? " Top" : "") +
                 (c.designing ? " designing" : ""));
    auto form = MakeForm(10, 20, 100, 100);
    form->SetPosition(c.position);
    form->SetDesigning(c.designing);
    TStore store{{"Width", "300"}, {"Height", "200"}};
    if (c.left) store["Left"] = "5";
    if (c.top) store["Top"] = "7";
    Restore(form.get(), store);
    EXPECT_EQ(form->Position(), c.expected);
  }

  // The centred form shows where a centred form of the restored size does.
  auto form = MakeForm(10, 20, 100, 100);
  form->SetPosition(poScreenCenter);
  Restore(form.get(), {{"Width", "300"}, {"Height", "200"}});
  form->Show();
  auto centred = MakeForm(0, 0, 300, 200);
  centred->SetPosition(poScreenCenter);
  centred->Show();
  EXPECT_EQ(form->BoundsRect(), centred->BoundsRect());
  EXPECT_NE(form->Left(), 10);
}

TEST_F(PropFilerTest, ATargetThatIsNotAFormHasNoBounds) {
  TStringList list;
  TFormStoragePropertyInterceptor interceptor(&list);
  EXPECT_EQ(interceptor.Target(), &list);
  EXPECT_TRUE(interceptor.CanStore());
  EXPECT_EQ(interceptor.Left(), 0);
  EXPECT_EQ(interceptor.Width(), 0);
  interceptor.SetWidth(50);
  interceptor.SetPixelsPerInch(96);
  interceptor.EndRestore();
  EXPECT_EQ(interceptor.Width(), 0);
  EXPECT_EQ(interceptor.ActiveControl(), nullptr);
}

}  // namespace
