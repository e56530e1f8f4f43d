#pragma once

#include <QApplication>

namespace korvel {

// The application: starts the socket layer and runs the main window modally; when the window
// closes, the program ends.
class QtKorvelApp {
 public:
  QtKorvelApp(int& argc, char** argv);
  ~QtKorvelApp();
  QtKorvelApp(const QtKorvelApp&) = delete;
  QtKorvelApp& operator=(const QtKorvelApp&) = delete;

  // The exit code: 0 once the window has closed, 1 when the socket layer would not start.
  int run();

  // The executable's file name without folder and extension: the settings' application key and
  // the caption of every message box.
  static QString executableName();

 private:
  void loadQtTranslations();

  QApplication application_;
  bool socketsStarted_ = false;
};

}  // namespace korvel
