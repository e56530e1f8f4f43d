#pragma once

#include <functional>

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace korvel::test {

// Acts on the next modal window of type T once it is open: from inside its own event loop, so
// a test can look at it and close it. Gives up after `attempts` turns of the event loop.
template <typename T>
void whenModalOpens(std::function<void(T&)> act, int attempts = 100) {
  QTimer::singleShot(0, [act, attempts] {
    if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(*window);
    } else if (attempts > 0) {
      whenModalOpens<T>(act, attempts - 1);
    }
  });
}

}  // namespace korvel::test
