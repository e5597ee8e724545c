// Synthetic Qt input for GUI tests: key strokes and mouse events sent to a
// widget as the window system would deliver them.
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

// A key press and release (the modifiers released afterwards).
inline void SendKey(QWidget* W, int Key, Qt::KeyboardModifiers Mods = {}, const QString& Text = {},
                    quint32 Scan = 0) {
  QKeyEvent press(QEvent::KeyPress, Key, Mods, Scan, 0, 0, Text);
  QCoreApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods, Scan, 0, 0, Text);
  QCoreApplication::sendEvent(W, &release);
  if (Mods & ~Qt::KeypadModifier) {
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier);
    QCoreApplication::sendEvent(W, &up);
  }
}

inline void SendKeyEvent(QWidget* W, QEvent::Type Type, int Key, Qt::KeyboardModifiers Mods = {},
                         const QString& Text = {}) {
  QKeyEvent e(Type, Key, Mods, 0, 0, 0, Text);
  QCoreApplication::sendEvent(W, &e);
}

inline void SendMouse(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button = Qt::LeftButton,
                      Qt::MouseButtons Buttons = Qt::LeftButton) {
  QMouseEvent e(Type, P, W->mapToGlobal(P), Button, Buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(W, &e);
}

inline void Press(QWidget* W, QPoint P) { SendMouse(W, QEvent::MouseButtonPress, P); }
inline void MoveHeld(QWidget* W, QPoint P) { SendMouse(W, QEvent::MouseMove, P, Qt::NoButton, Qt::LeftButton); }
inline void Release(QWidget* W, QPoint P) { SendMouse(W, QEvent::MouseButtonRelease, P, Qt::LeftButton, Qt::NoButton); }
inline void DoubleClick(QWidget* W, QPoint P) {
  Press(W, P);
  Release(W, P);
  SendMouse(W, QEvent::MouseButtonDblClick, P);
  Release(W, P);
}
