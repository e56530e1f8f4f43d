#include <QApplication>
#include <QTest>
#include <QTimer>

#include "common/texts.h"
#include "modal.h"
#include "ui/help_dialog.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

using WindowRun = WindowTest;

TEST_F(WindowRun, InfoShowsWhatTheDeviceReports) {
  openWindowFor(writeBootImage(1));
  QTest::mouseClick(button(control::kInfo), Qt::LeftButton);
  EXPECT_EQ(infoBox()->toPlainText(),
            QStringLiteral("'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5"));
  EXPECT_EQ(progressBar()->value(), 0);
  EXPECT_FALSE(window->isRunning());
  for (QWidget* input : inputSet()) EXPECT_TRUE(input->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowRun, ThePressedButtonHasTheFocusAgainAfterItsConversation) {
  openWindowFor(writeBootImage(1));
  window->show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  button(control::kInfo)->setFocus();
  QTest::keyClick(button(control::kInfo), Qt::Key_Space);
  EXPECT_FALSE(infoBox()->toPlainText().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), button(control::kInfo));
}

TEST_F(WindowRun, ProgramsTheWholeImageAndReturnsToIdle) {
  openWindowFor(writeBootImage(5));
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);
  EXPECT_EQ(warnings, std::vector<QString>{});
  EXPECT_EQ(device.programmedRecords(), 5u);
  EXPECT_EQ(progressBar()->value(), 0);
  for (QWidget* input : inputSet()) EXPECT_TRUE(input->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(pauses.requested.empty());  // the boot monitor's start-up waits, recorded only
}

TEST_F(WindowRun, DuringARunTheInputsAreOffWhileExitAndHelpStayLive) {
  openWindowFor(writeBootImage(4));
  window->show();
  bool inputsWereOff = false;
  bool exitAndHelpWereOn = false;
  bool helpOpened = false;
  std::size_t recordsWhenHelpClosed = 0;
  // Runs inside the run's first drain of the event queue, after the first record.
  QTimer::singleShot(0, [&] {
    inputsWereOff = !anyInputEnabled();
    exitAndHelpWereOn = button(control::kExit)->isEnabled() && button(control::kHelp)->isEnabled();
    whenModalOpens<CHelpDialog>([&](CHelpDialog& help) {
      helpOpened = true;
      recordsWhenHelpClosed = device.programmedRecords();
      help.reject();
    });
    QTest::mouseClick(button(control::kHelp), Qt::LeftButton);
  });
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);

  EXPECT_TRUE(inputsWereOff);
  EXPECT_TRUE(exitAndHelpWereOn);
  EXPECT_TRUE(helpOpened);
  EXPECT_LT(recordsWhenHelpClosed, 4u);  // the help page held the run
  EXPECT_EQ(device.programmedRecords(), 4u);
  EXPECT_TRUE(window->isVisible());
  for (QWidget* input : inputSet()) EXPECT_TRUE(input->isEnabled());
}

TEST_F(WindowRun, AWarningIsShownWhileTheInputsAreStillOff) {
  openWindowFor(files.write("broken.qlxfw", {0x42}));
  std::vector<QString> texts;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool inputsWereOff = false;
  int barWhileShown = -1;
  MessageBox::setInspector([&](const QMessageBox& box) {
    texts.push_back(box.text());
    caption = box.windowTitle();
    icon = box.icon();
    buttons = box.standardButtons();
    inputsWereOff = !anyInputEnabled();
    barWhileShown = progressBar()->maximum();
  });
  MessageBox::setNextAnswer(QMessageBox::Ok);
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);

  EXPECT_EQ(texts, std::vector<QString>{toQString(text::kFormatError)});
  EXPECT_EQ(caption, QCoreApplication::applicationName());
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_TRUE(inputsWereOff);
  EXPECT_EQ(barWhileShown, 1);  // the one-byte file's range, not yet reset
  for (QWidget* input : inputSet()) EXPECT_TRUE(input->isEnabled());
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST_F(WindowRun, TheRealMessageBoxWaitsForTheOperatorWithAnArrowCursor) {
  openWindowFor(files.path() / "missing.qlxfw");
  QString shownText;
  bool arrowWhileShown = false;
  whenModalOpens<QMessageBox>([&](QMessageBox& box) {
    shownText = box.text();
    arrowWhileShown = QGuiApplication::overrideCursor() != nullptr &&
                      QGuiApplication::overrideCursor()->shape() == Qt::ArrowCursor;
    box.button(QMessageBox::Ok)->click();
  });
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);
  EXPECT_EQ(shownText, toQString(text::kOpenFailed));
  EXPECT_TRUE(arrowWhileShown);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowRun, ClosingDuringARunWaitsForTheRunThenClosesAndSaves) {
  openWindowFor(writeBootImage(6));
  window->show();
  bool visibleAfterExit = false;
  bool savedBeforeRunEnded = true;
  QTimer::singleShot(0, [&] {
    QTest::mouseClick(button(control::kExit), Qt::LeftButton);
    window->close();  // the close box as well
    visibleAfterExit = window->isVisible();
    savedBeforeRunEnded =
        !settings.accesses.empty() && settings.accesses.back().what.rfind("write", 0) == 0;
  });
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);

  EXPECT_TRUE(visibleAfterExit);
  EXPECT_FALSE(savedBeforeRunEnded);
  EXPECT_EQ(device.programmedRecords(), 6u);  // the run was not cut short
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(settings.accessNames().back(), "write Comm/FromBoot");
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], kDeviceAddress.hostOrder());
  EXPECT_EQ(window->programmer().link(), nullptr);
}

TEST_F(WindowRun, AProgressRangeBeyondTheBarsIntIsScaledDown) {
  openWindow();
  window->setProgressRange(0, 6'000'000'000);
  window->setProgressPosition(1'500'000'000);
  EXPECT_NEAR(static_cast<double>(progressBar()->value()) / progressBar()->maximum(), 0.25, 1e-6);
  window->setProgressRange(0, 0);
  window->setProgressPosition(0);
  EXPECT_EQ(progressBar()->value(), 0);
  EXPECT_GT(progressBar()->maximum(), progressBar()->minimum());  // no busy animation
}

}  // namespace
}  // namespace korvel::test
