// Shared set-up of the tests of the framework's controls: their units, a
// manual timer clock, a temporary $XDG_CONFIG_HOME and a form to put
// controls on; pixels of a control as it paints.
#pragma once

#include <QTest>
#include <QWidget>

#include "framework/B_Form.h"
#include "framework/Bstdctrl.h"
#include "platform/gui/Jpeg.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/ConfigHomeFixture.h"
#include "tests/support/Paper.h"
#include "tests/support/QtInput.h"

class ControlsTest : public ConfigHomeTest {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Bstdctrl, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override {
    ConfigHomeTest::SetUp();
    previous_ = SetTimerService(&clock_);
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(300, 300, 400, 300);  // away from the cursor
  }
  void TearDown() override {
    delete form_;
    SetTimerService(previous_ == &clock_ ? nullptr : previous_);
    Application->SetOnException(nullptr);
    ConfigHomeTest::TearDown();
  }
  template <class T>
  T* Add(int Left, int Top, int Width, int Height, TWinControl* Parent = nullptr) {
    T* c = Create<T>(form_);
    c->SetParent(Parent != nullptr ? Parent : form_);
    c->SetBounds(Left, Top, Width, Height);
    return c;
  }
  void ShowActive() {
    form_->Show();
    form_->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_->Widget()));
  }
  void Focus(TWinControl* C) {
    C->SetFocus();
    QCoreApplication::processEvents();
    if (!C->Focused()) {  // a popup menu that closed took the activation
      form_->Widget()->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(form_->Widget()));
      C->SetFocus();
      QCoreApplication::processEvents();
    }
    ASSERT_TRUE(C->Focused()) << C->Name();
  }
  // The control as it paints (with its children and border).
  static std::unique_ptr<TPaper> Paint(TWinControl* C) {
    auto paper = std::make_unique<TPaper>(C->Width(), C->Height(), clFuchsia);
    C->PaintTo(paper->Canvas(), 0, 0);
    return paper;
  }
  static TColor Sys(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

  TManualTimerService clock_;
  TTimerService* previous_ = nullptr;
  TForm* form_ = nullptr;
};
