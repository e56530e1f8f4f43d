#pragma once

#include <QDialog>

namespace korvel {

// The About box: the program's name, version and what it does.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace korvel
