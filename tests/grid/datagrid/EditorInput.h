// Input for the grid's editor tests: keys as Qt key events on a control's
// widget, text as the window's characters.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/gui/Controls.h"
#include "platform/rtl/Locale.h"

inline void SendKey(TWinControl* c, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(c->Widget(), &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(c->Widget(), &release);
}

// Types UTF-8 text one character (UTF-16 unit) at a time as WM_CHAR.
inline void TypeChars(TWinControl* c, const String& Utf8) {
  for (char16_t ch : Utf8ToWide(Utf8)) c->Perform(WM_CHAR, ch, 0);
}
