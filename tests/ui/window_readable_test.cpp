// What the operator reads and where the window leaves the focus: the information box shows
// every line within its width, the file dialog starts beside the current image, and a run leaves
// no caret in the read-only box.
#include <QApplication>
#include <QFileDialog>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "common/texts.h"
#include "modal.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

using WindowReadable = WindowTest;

// The widest line the box lays out, against the width it has for text.
struct Widths {
  qreal widestLine = 0;
  int available = 0;
};

Widths layoutWidths(QPlainTextEdit& box) {
  Widths widths;
  widths.available = box.viewport()->width();
  for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
    box.document()->documentLayout()->blockBoundingRect(block);  // lays the block out
    const QTextLayout* layout = block.layout();
    for (int i = 0; i < layout->lineCount(); ++i) {
      widths.widestLine = std::max(widths.widestLine, layout->lineAt(i).naturalTextWidth());
    }
  }
  return widths;
}

TEST_F(WindowReadable, TheIcmpRefusalIsReadableWithinTheInformationBox) {
  echo.refuseOpening({EchoFailureKind::NotPermitted, 1,
                      std::string(text::kIcmpReasonPrefix) + text::kIcmpPingGroupsOutside + "1 0" +
                          text::kIcmpPingGroupsOutsideEnd + "; " + text::kIcmpNoNetRaw +
                          text::kIcmpSystemSays + "Permission denied; Operation not permitted",
                      text::kIcmpRemedySysctl});
  openWindowFor(writeBootImage(1)).show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTest::mouseClick(button(control::kInfo), Qt::LeftButton);
  settle();
  ASSERT_TRUE(infoBox()->toPlainText().startsWith(toQString(text::kNoIcmpAccess)));

  const Widths widths = layoutWidths(*infoBox());
  EXPECT_GT(widths.widestLine, 0);
  EXPECT_LE(widths.widestLine, widths.available);
  EXPECT_EQ(infoBox()->horizontalScrollBar()->maximum(), 0);
  // More lines than the box is tall: a scroll bar says so, once the window is back in its
  // event loop.
  QCoreApplication::processEvents();
  EXPECT_TRUE(infoBox()->verticalScrollBar()->isVisibleTo(infoBox()));
}

TEST_F(WindowReadable, ALineWithoutSpacesWrapsToo) {
  openWindow().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  window->setInfoText("/" + std::string(300, 'x') + ".qlxfw");
  const Widths widths = layoutWidths(*infoBox());
  EXPECT_LE(widths.widestLine, widths.available);
}

TEST_F(WindowReadable, TheDeviceInformationFillsTheBoxWithoutScrollBars) {
  openWindowFor(writeBootImage(1)).show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTest::mouseClick(button(control::kInfo), Qt::LeftButton);
  settle();
  ASSERT_EQ(infoBox()->document()->blockCount(), 4);
  QCoreApplication::processEvents();
  EXPECT_FALSE(infoBox()->verticalScrollBar()->isVisibleTo(infoBox()));
  EXPECT_FALSE(infoBox()->horizontalScrollBar()->isVisibleTo(infoBox()));
}

TEST_F(WindowReadable, TheFileDialogOpensInTheFolderOfTheCurrentImage) {
  const auto image = writeBootImage(1, "в папке.qlxfw");
  openWindowFor(image);
  QString shownFolder;
  whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
    shownFolder = dialog.directory().absolutePath();
    dialog.reject();
  });
  QTest::mouseClick(button(control::kBrowse), Qt::LeftButton);
  EXPECT_EQ(shownFolder, QDir(QString::fromStdString(image.parent_path().string())).absolutePath());

  // A file that has gone still names its folder.
  field(control::kPath)->setText(QString::fromStdString((image.parent_path() / "gone").string()));
  shownFolder.clear();
  whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
    shownFolder = dialog.directory().absolutePath();
    dialog.reject();
  });
  QTest::mouseClick(button(control::kBrowse), Qt::LeftButton);
  EXPECT_EQ(shownFolder, QDir(QString::fromStdString(image.parent_path().string())).absolutePath());
}

TEST_F(WindowReadable, DuringARunTheFocusIsNeitherOnAnInputNorInTheInformationBox) {
  openWindowFor(writeBootImage(3)).show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  button(control::kProgram)->setFocus();
  pauses.hold();
  QTest::keyClick(button(control::kProgram), Qt::Key_Space);
  pauses.waitUntilHeld();
  QCoreApplication::processEvents();
  QWidget* focusDuringRun = QApplication::focusWidget();
  pauses.release();
  settle();
  EXPECT_EQ(device.programmedRecords(), 3u);
  EXPECT_EQ(focusDuringRun, window.get());
  EXPECT_EQ(QApplication::focusWidget(), button(control::kProgram));
}

TEST_F(WindowReadable, EnterDuringARunStillEndsTheWindowAfterIt) {
  openWindowFor(writeBootImage(3)).show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  clickAndHold(control::kProgram);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(window->isVisible());
  pauses.release();
  settle();
  EXPECT_EQ(device.programmedRecords(), 3u);
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace korvel::test
