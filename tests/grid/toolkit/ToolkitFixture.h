// Shared set-up of the toolkit's GUI tests: the GUI units and the toolkit's
// own, and a manual timer clock (GuiTest); a form of each test's own.
#pragma once

#include <QApplication>
#include <QWidget>
#include <memory>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Forms.h"
#include "tests/platform/gui/GuiFixture.h"

class ToolkitTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_ToolCtrlsEh});
  }
};

// Shows Form, waits until it is the active window and focuses Control.
inline void ShowAndFocusIn(TForm* Form, TWinControl* Control) {
  Form->Show();
  Form->Widget()->activateWindow();
  for (int i = 0; i < 500 && QApplication::activeWindow() != Form->Widget(); ++i) Application->ProcessMessages();
  Control->SetFocus();
  ASSERT_TRUE(Control->Focused());
}

// A 300 x 200 form made before and freed after each test.
class ToolkitFormTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 200);
  }
  void TearDown() override {
    form_.reset();
    ToolkitTest::TearDown();
  }
  void ShowAndFocus(TWinControl* Control) { ShowAndFocusIn(form_.get(), Control); }

  std::unique_ptr<TForm> form_;
};
