#include <gtest/gtest.h>

#include <memory>

#include "framework/B_PF.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

namespace {

class B_PFControls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_B_PF, &unit_Forms, &unit_StdCtrls});
    Application->Initialize();
  }
};

TEdit* AddEdit(TForm* form, int left, int tabOrder) {
  auto* e = new TEdit(form);
  e->SetParent(form);
  e->SetBounds(left, 10, 60, 21);
  e->SetTabOrder(tabOrder);
  return e;
}

}  // namespace

TEST_F(B_PFControls, SelectFirstControlFocusesFirstInTabOrder) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBounds(100, 100, 300, 200);
  TEdit* second = AddEdit(form.get(), 10, 0);
  TEdit* first = AddEdit(form.get(), 100, 0);  // takes tab position 0
  form->Show();
  Application->ProcessMessages();
  EXPECT_TRUE(SelectFirstControl(form.get()));
  Application->ProcessMessages();
  EXPECT_TRUE(first->Focused());
  EXPECT_FALSE(second->Focused());

  // A child that cannot take the focus is passed over.
  first->SetEnabled(false);
  EXPECT_TRUE(SelectFirstControl(form.get()));
  Application->ProcessMessages();
  EXPECT_TRUE(second->Focused());

  EXPECT_FALSE(SelectFirstControl(nullptr));
  TStringList notAControl;
  EXPECT_FALSE(SelectFirstControl(&notAControl));
  InvalidateControlTree(nullptr);       // nothing happens
  InvalidateControlTree(&notAControl);  // nor here
  InvalidateControlTree(form.get());
}

TEST_F(B_PFControls, IsCursorOverWindowFollowsTheMouse) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBounds(100, 100, 300, 200);
  TEdit* edit = AddEdit(form.get(), 10, 0);
  form->Show();
  Application->ProcessMessages();
  TPoint inside = edit->ClientToScreen(TPoint{5, 5});
  SetCursorPos(inside);
  if (GetCursorPos() != inside) GTEST_SKIP() << "this platform cannot move the cursor";
  EXPECT_TRUE(IsCursorOverWindow(edit->Handle()));
  EXPECT_FALSE(IsCursorOverWindow(form->Handle()));
  SetCursorPos(form->ClientToScreen(TPoint{250, 150}));
  EXPECT_TRUE(IsCursorOverWindow(form->Handle()));
  EXPECT_FALSE(IsCursorOverWindow(edit->Handle()));
  EXPECT_FALSE(IsCursorOverWindow(nullptr));
}
