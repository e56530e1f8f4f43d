#include <QApplication>
#include <QTest>

#include "common/texts.h"
#include "modal.h"
#include "ui/qt_help_dialog.h"
#include "ui/termination_watch.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

// The Qt window as the controller's view: what the controller's calls do to the widgets, and
// that the window's thread stays free while a conversation runs. What the conversations
// themselves do is tested once, against the controller (tests/window).
using WindowRun = WindowTest;

TEST_F(WindowRun, InfoShowsWhatTheDeviceReports) {
  openWindowFor(writeBootImage(1));
  QTest::mouseClick(button(control::kInfo), Qt::LeftButton);
  settle();
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
  settle();
  EXPECT_FALSE(infoBox()->toPlainText().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), button(control::kInfo));
}

TEST_F(WindowRun, ProgramsTheWholeImageAndReturnsToIdle) {
  openWindowFor(writeBootImage(5));
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);
  settle();
  EXPECT_EQ(warnings, std::vector<QString>{});
  EXPECT_EQ(device.programmedRecords(), 5u);
  EXPECT_EQ(progressBar()->value(), 0);
  for (QWidget* input : inputSet()) EXPECT_TRUE(input->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(pauses.requested.empty());  // the boot monitor's start-up waits, recorded only
}

// While the run stands in a pause, the window's thread opens help, repaints and takes Esc; the
// run then finishes and the window closes and saves.
TEST_F(WindowRun, DuringAHeldRunTheWindowAnswersThenClosesAndSavesWhenTheRunHasReturned) {
  openWindowFor(writeBootImage(4));
  window->show();
  clickAndHold(control::kProgram);
  EXPECT_FALSE(anyInputEnabled());
  EXPECT_TRUE(button(control::kExit)->isEnabled());
  EXPECT_TRUE(button(control::kHelp)->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

  bool helpOpened = false;
  whenModalOpens<QtHelpDialog>([&](QtHelpDialog& help) {
    helpOpened = true;
    help.reject();
  });
  QTest::mouseClick(button(control::kHelp), Qt::LeftButton);
  EXPECT_TRUE(helpOpened);
  window->repaint();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  window->close();  // the close box as well: nothing new
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(settings.accesses.empty() || settings.accesses.back().what.rfind("read", 0) == 0);

  pauses.release();
  settle();
  EXPECT_EQ(device.programmedRecords(), 4u);  // the run was not cut short
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(settings.accessNames().back(), "write Comm/FromBoot");
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], kDeviceAddress.hostOrder());
  EXPECT_EQ(window->programmer().link(), nullptr);
}

TEST_F(WindowRun, ASignalToEndStopsTheRunAfterTheExchangeInFlightThenSaves) {
  openWindowFor(writeBootImage(6));
  window->show();
  TerminationWatch watch([this] { window->endBySystem(); });
  clickAndHold(control::kProgram);
  TerminationWatch::simulateSignal();
  QCoreApplication::processEvents();  // the watch hears it on the window's thread
  pauses.release();
  settle();
  EXPECT_LT(device.programmedRecords(), 6u);
  EXPECT_EQ(warnings, std::vector<QString>{});
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(settings.accessNames().back(), "write Comm/FromBoot");
}

TEST_F(WindowRun, AnOpenHelpPageDoesNotHoldTheRun) {
  openWindowFor(writeBootImage(4));
  window->show();
  clickAndHold(control::kProgram);
  std::size_t recordsWhileHelpOpen = 0;
  whenModalOpens<QtHelpDialog>([&](QtHelpDialog& help) {
    pauses.release();
    window->controller().waitForConversation();
    recordsWhileHelpOpen = device.programmedRecords();
    help.reject();
  });
  QTest::mouseClick(button(control::kHelp), Qt::LeftButton);
  settle();
  EXPECT_EQ(recordsWhileHelpOpen, 4u);
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
  settle();

  EXPECT_EQ(texts, std::vector<QString>{toQString(text::kFormatError)});
  EXPECT_EQ(caption, QStringLiteral("Korvel"));
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
  MessageBox::setInspector([&](const QMessageBox&) {
    whenModalOpens<QMessageBox>([&](QMessageBox& box) {
      shownText = box.text();
      arrowWhileShown = QGuiApplication::overrideCursor() != nullptr &&
                        QGuiApplication::overrideCursor()->shape() == Qt::ArrowCursor;
      box.button(QMessageBox::Ok)->click();
    });
  });
  QTest::mouseClick(button(control::kProgram), Qt::LeftButton);
  settle();
  EXPECT_EQ(shownText, toQString(text::kOpenFailed));
  EXPECT_TRUE(arrowWhileShown);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowRun, TheControllersScaledRangeReachesTheBar) {
  openWindow();
  window->controller().setProgressRange(0, 6'000'000'000);
  window->controller().setProgressPosition(1'500'000'000);
  EXPECT_NEAR(static_cast<double>(progressBar()->value()) / progressBar()->maximum(), 0.25, 1e-6);
  window->controller().setProgressRange(0, 0);
  EXPECT_GT(progressBar()->maximum(), progressBar()->minimum());  // no busy animation
}

}  // namespace
}  // namespace korvel::test
