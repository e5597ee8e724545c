// Shared set-up of the toolkit's GUI tests: the GUI units and the toolkit's
// own, and a manual timer clock (GuiTest).
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/gui/Popup.h"
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

// A real click at a point of a shown window (the widget under it takes it).
inline void ClickAt(QWidget* Window, TPoint Screen) {
  QTest::mouseClick(Window->windowHandle(), Qt::LeftButton, {}, Window->mapFromGlobal(QPoint(Screen.X, Screen.Y)));
}

// An edit box that owns a drop-down of class TPopup, as the grid's editor
// does: the popup is made on first use as a window of its own, shown under
// the edit without activation, and hidden again by CloseUp, which keeps the
// accept flags it got (Taken sees the popup before it hides).
template <class TPopup>
class TPopupOwnerEdit : public TEdit, public IPopupOwnerEh {
 public:
  using TEdit::TEdit;
  void CloseUp(bool Accept) override {
    closes.push_back(Accept);
    Taken(Accept);
    SetWindowPos(popup->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    popup->SetVisible(false);
  }
  TPopup* Popup() {
    if (popup == nullptr) {
      popup = Create<TPopup>(this);
      popup->SetVisible(false);
    }
    return popup;
  }
  void ShowPopup() {
    TPoint p = AlignDropDownWindow(this, Popup(), daLeft);
    SetWindowPos(popup->Handle(), HWND_TOP, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    popup->SetVisible(true);
  }

  TPopup* popup = nullptr;
  std::vector<bool> closes;

 protected:
  virtual void Taken(bool) {}
};
