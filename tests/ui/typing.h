#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

namespace korvel::test {

// Types as the operator does: each key goes to whichever widget has the focus by then.
inline void typeKeys(const QString& keys) {
  for (const QChar key : keys) QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
}

inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

}  // namespace korvel::test
