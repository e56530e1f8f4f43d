#pragma once

#include <QDialog>
#include <QUrl>

class QTextBrowser;

namespace korvel {

// The help page: how to reprogram a device, shown from the program's resources in a modal,
// topmost, resizable window that scrolls and closes with its close box.
class QtHelpDialog : public QDialog {
  Q_OBJECT

 public:
  // Results of the page's own buttons, should a page have them.
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;

  explicit QtHelpDialog(QWidget* parent = nullptr, const QUrl& page = defaultPage());

  static QUrl defaultPage();
  QTextBrowser* browser() const { return browser_; }

  // The close box and Esc end the page the way its cancel button would.
  void reject() override;

 private:
  void followAnchor(const QUrl& target);

  QTextBrowser* browser_;
};

}  // namespace korvel
