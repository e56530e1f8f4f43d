#include "ui/message_box.h"

#include <utility>

#include <QGuiApplication>

namespace korvel {

QMessageBox::StandardButton MessageBox::nextAnswer_ = QMessageBox::NoButton;
std::function<void(const QMessageBox&)> MessageBox::inspector_;

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& caption,
                                                const QString& text) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  if (inspector_) inspector_(box);
  if (nextAnswer_ != QMessageBox::NoButton) {
    return std::exchange(nextAnswer_, QMessageBox::NoButton);
  }
  // A run shows the hourglass; the operator still needs a pointer to press OK with.
  const bool waiting = QGuiApplication::overrideCursor() != nullptr;
  if (waiting) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (waiting) QGuiApplication::restoreOverrideCursor();
  return QMessageBox::Ok;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) { nextAnswer_ = answer; }

void MessageBox::setInspector(std::function<void(const QMessageBox&)> inspector) {
  inspector_ = std::move(inspector);
}

}  // namespace korvel
