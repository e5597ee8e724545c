// Shared set-up of the toolkit's GUI tests: the GUI units and the toolkit's
// own, and a manual timer clock (GuiTest).
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "tests/platform/gui/GuiFixture.h"

// Shows Form, waits until it is the active window and focuses Control.
inline void ShowAndFocus(TForm* Form, TWinControl* Control) {
  Form->Show();
  Form->Widget()->activateWindow();
  for (int i = 0; i < 500 && QApplication::activeWindow() != Form->Widget(); ++i) Application->ProcessMessages();
  Control->SetFocus();
  ASSERT_TRUE(Control->Focused());
}

// A key press and release on the control's widget, as Qt delivers them.
inline void KeyStroke(TWinControl* Control, int Key, Qt::KeyboardModifiers Mods = Qt::NoModifier,
                      const QString& Text = {}) {
  QKeyEvent press(QEvent::KeyPress, Key, Mods, Text);
  QApplication::sendEvent(Control->Widget(), &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods, Text);
  QApplication::sendEvent(Control->Widget(), &release);
}

class ToolkitTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_ToolCtrlsEh});
  }
};
