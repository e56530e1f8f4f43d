#include <QComboBox>
#include <QFileDialog>
#include <QTest>

#include "common/texts.h"
#include "modal.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

using WindowBrowse = WindowTest;

TEST_F(WindowBrowse, OpensAnOpenDialogWithTheTwoFiltersImagesFirst) {
  openWindow();
  QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
  QString suffix = QStringLiteral("unset");
  QStringList shownFilters;
  int activeFilter = -1;
  whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
    mode = dialog.acceptMode();
    suffix = dialog.defaultSuffix();
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
      for (int i = 0; i < types->count(); ++i) shownFilters << types->itemText(i);
      activeFilter = types->currentIndex();
    }
    dialog.reject();
  });
  QTest::mouseClick(button(control::kBrowse), Qt::LeftButton);
  EXPECT_EQ(mode, QFileDialog::AcceptOpen);
  EXPECT_TRUE(suffix.isEmpty());
  EXPECT_EQ(shownFilters,
            (QStringList{toQString(text::kFilterImages), toQString(text::kFilterAll)}));
  EXPECT_EQ(activeFilter, 0);
}

TEST_F(WindowBrowse, CancelRescansThePathAlreadyInTheField) {
  const auto image = writeBootImage(1, "выбранный образ.qlxfw");
  openWindow();
  // Typed by hand: not scanned until the next use of the file dialog.
  field(control::kPath)->setText(QString::fromStdString(image.string()));
  EXPECT_EQ(summaryText(), toQString(text::kSummaryCannotOpen));
  whenModalOpens<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  QTest::mouseClick(button(control::kBrowse), Qt::LeftButton);
  EXPECT_EQ(field(control::kPath)->text(), QString::fromStdString(image.string()));
  EXPECT_EQ(summaryText(), QStringLiteral("'MAIN' v2.5"));
}

TEST_F(WindowBrowse, AChosenFileReplacesThePathAndIsScanned) {
  const auto image = files.write(
      "sub.qlxfw",
      ImageBuilder().name("SUB").version(1, 0).address(0).data(3, samplePayload(4, 1)).bytes());
  openWindow();
  field(control::kPath)->setText(QStringLiteral("old path"));
  whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
    dialog.selectFile(QString::fromStdString(image.string()));
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  QTest::mouseClick(button(control::kBrowse), Qt::LeftButton);
  EXPECT_EQ(field(control::kPath)->text(), QString::fromStdString(image.string()));
  EXPECT_EQ(summaryText(), QStringLiteral("'SUB' v1.0 addr 0"));
}

}  // namespace
}  // namespace korvel::test
