#pragma once
// Synthesized mouse events on a control's surfaces.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace zarin_test {

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                  Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, mods);
  QCoreApplication::sendEvent(w, &e);
}
inline void Press(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier) {
  Mouse(w, QEvent::MouseButtonPress, at, b, m);
}
inline void Release(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton,
                    Qt::KeyboardModifiers m = Qt::NoModifier) {
  Mouse(w, QEvent::MouseButtonRelease, at, b, m);
}
inline void DoubleClick(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton); }
inline void Drag(QWidget* w, QPoint at) {
  QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, Qt::LeftButton,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}
inline void Hover(QWidget* w, QPoint at) {
  QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

}  // namespace zarin_test
