#pragma once

#include <QDialog>

namespace korvel {

// The About box: the program's name, version and what it does.
class QtAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit QtAboutDialog(QWidget* parent = nullptr);
};

}  // namespace korvel
