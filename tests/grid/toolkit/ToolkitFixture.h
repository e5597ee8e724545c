// Shared set-up of the toolkit's GUI tests: the GUI units and the toolkit's
// own, and a manual timer clock (GuiTest).
#pragma once

#include "grid/toolkit/ToolCtrlsEh.h"
#include "tests/platform/gui/GuiFixture.h"

class ToolkitTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_ToolCtrlsEh});
  }
};
