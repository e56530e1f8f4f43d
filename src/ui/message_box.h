#pragma once

#include <functional>

#include <QMessageBox>

namespace korvel {

// Every message box of the program goes through here. Tests can answer the next box in advance
// (it is then built and inspected but not shown) and look at each box while its window is still
// in the state the box was raised in.
class MessageBox {
 public:
  // Modal, OK only, with the warning icon; returns when the operator has closed it.
  static QMessageBox::StandardButton warning(QWidget* parent, const QString& caption,
                                             const QString& text);

  static void setNextAnswer(QMessageBox::StandardButton answer);
  static void setInspector(std::function<void(const QMessageBox&)> inspector);

 private:
  static QMessageBox::StandardButton nextAnswer_;
  static std::function<void(const QMessageBox&)> inspector_;
};

}  // namespace korvel
