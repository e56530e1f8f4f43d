#include "app/qt_korvel_app.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "common/texts.h"
#include "link/socket_layer.h"
#include "ui/message_box.h"
#include "ui/qt_korvel_window.h"
#include "ui/qt_text.h"
#include "ui/resources.h"
#ifndef _WIN32
#include "ui/termination_watch.h"
#endif

namespace korvel {

QtKorvelApp::QtKorvelApp(int& argc, char** argv) : application_(argc, argv) {}

QtKorvelApp::~QtKorvelApp() {
  if (socketsStarted_) stopSocketLayer();
}

QString QtKorvelApp::executableName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

// The window speaks Russian; Qt's own dialogs (file choice, message box buttons) should too,
// where the Qt translations are installed.
void QtKorvelApp::loadQtTranslations() {
  auto* translator = new QTranslator(&application_);
  if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  }
}

int QtKorvelApp::run() {
  QCoreApplication::setApplicationName(executableName());
  QGuiApplication::setWindowIcon(applicationIcon());
  // Wayland compositors find the window's name and icon through its desktop entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.korvel.Korvel"));
  loadQtTranslations();
  socketsStarted_ = startSocketLayer();
  if (!socketsStarted_) {
    MessageBox::warning(nullptr, QCoreApplication::applicationName(),
                        toQString(text::kSocketsFailed));
    return 1;
  }
  QtKorvelWindow window;
#ifndef _WIN32
  TerminationWatch watch([&window] { window.endBySystem(); });
#endif
  window.exec();
  return 0;
}

}  // namespace korvel
