#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// The window tests need a QApplication; they run headless unless told otherwise, and never see
// the settings of the person running them.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settingsHome;
  qputenv("XDG_CONFIG_HOME", settingsHome.path().toLocal8Bit());
  QApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("korvel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
