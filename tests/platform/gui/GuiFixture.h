// Shared set-up of the GUI tests: the GUI units, and a manual timer clock.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <QtWidgets/qtestsupport_widgets.h>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Jpeg.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/Paper.h"

// Shows Form as the active window with the keyboard focus in Control; false
// when the form does not become active or the control does not get the focus.
inline bool ShowWithFocusIn(TForm* Form, TWinControl* Control) {
  Form->Show();
  Form->Widget()->activateWindow();
  if (!QTest::qWaitForWindowActive(Form->Widget())) return false;
  Control->SetFocus();
  QCoreApplication::processEvents();
  return Control->Focused();
}

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ComCtrls, &unit_ExtCtrls, &unit_ImgList, &unit_Jpeg});
    Application->Initialize();
  }
  void SetUp() override { previous_ = SetTimerService(&clock_); }
  void TearDown() override {
    SetTimerService(previous_ == &clock_ ? nullptr : previous_);
    Application->SetOnException(nullptr);
  }

  TManualTimerService clock_;
  TTimerService* previous_ = nullptr;
};
