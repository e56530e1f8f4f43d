#include <QApplication>
#include <QLabel>
#include <QTest>

#include "common/texts.h"
#include "modal.h"
#include "ui/about_item.h"
#include "ui/dialog_units.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

struct TemplateControl {
  int id;
  const char* objectName;
  const char* className;
  const char* text;  // null: the control shows no text of its own
  int x, y, width, height;
};

// Template 102, in template order.
const TemplateControl kTemplate[] = {
    {control::kExit, "exitButton", "QPushButton", text::kExitButton, 240, 114, 36, 12},
    {control::kIpField, "ipField", "korvel::IpAddressEdit", nullptr, 60, 96, 126, 12},
    {control::kProgram, "programButton", "QPushButton", text::kProgramButton, 192, 114, 42, 12},
    {control::kProgress, "progressBar", "QProgressBar", nullptr, 6, 84, 270, 6},
    {control::kPath, "pathField", "QLineEdit", nullptr, 6, 48, 222, 12},
    {control::kBrowse, "browseButton", "QPushButton", text::kBrowseButton, 240, 48, 36, 12},
    {control::kInfo, "infoButton", "QPushButton", text::kInfoButton, 240, 24, 37, 12},
    {control::kInfoBox, "infoBox", "QPlainTextEdit", nullptr, 6, 6, 222, 36},
    {control::kLabel, "ipLabel", "QLabel", text::kIpLabel, 6, 96, 48, 12},
    {control::kHelp, "helpButton", "QPushButton", text::kHelpButton, 240, 6, 37, 12},
    {control::kSummary, "summaryField", "QLabel", nullptr, 6, 66, 270, 12},
    {control::kLogin, "loginField", "QLineEdit", nullptr, 60, 114, 60, 12},
    {control::kLabel, "credentialsLabel", "QLabel", text::kCredentialsLabel, 6, 114, 48, 12},
    {control::kPassword, "passwordField", "QLineEdit", nullptr, 126, 114, 60, 12},
    {control::kViaBoot, "viaBootBox", "QCheckBox", text::kViaBootBox, 192, 96, 84, 12},
};

using WindowLayout = WindowTest;

TEST_F(WindowLayout, EveryTemplateControlIsThereWithItsNumberTextAndPlace) {
  CKorvelDlg& dialog = openWindow();
  const DialogUnits units = DialogUnits::forFont(dialog.font());
  EXPECT_EQ(dialog.size(), units.size(280, 132));
  for (const TemplateControl& expected : kTemplate) {
    SCOPED_TRACE(expected.objectName);
    auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(expected.objectName));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &dialog);
    EXPECT_STREQ(widget->metaObject()->className(), expected.className);
    EXPECT_EQ(widget->property(control::kIdProperty).toInt(), expected.id);
    EXPECT_FALSE(widget->accessibleName().isEmpty());
    EXPECT_EQ(widget->geometry(),
              units.rect(expected.x, expected.y, expected.width, expected.height));
    if (expected.text != nullptr) {
      EXPECT_EQ(widget->property("text").toString(), toQString(expected.text));
    }
    if (expected.id != control::kLabel) {
      EXPECT_EQ(dialog.control(expected.id), widget);
    }
  }
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Korvel в1.0.0.12"));
}

TEST_F(WindowLayout, FieldsBehaveAsTheirTemplateStylesSay) {
  openWindow();
  EXPECT_TRUE(button(control::kExit)->isDefault());
  EXPECT_EQ(field(control::kPassword)->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(infoBox()->isReadOnly());
  EXPECT_FALSE(progressBar()->isTextVisible());
  EXPECT_EQ(progressBar()->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(field(control::kPath)->maxLength(), 32767);  // Qt's default: no limit of our own

  // The typed password is read as typed, but only mask characters are drawn.
  field(control::kPassword)->setText(QStringLiteral("секрет"));
  EXPECT_EQ(window->password(), "секрет");
  EXPECT_EQ(field(control::kPassword)->displayText().size(), 6);
  EXPECT_FALSE(field(control::kPassword)->displayText().contains(QStringLiteral("секрет")));

  // Device texts come with Windows line ends; the box shows them as lines.
  window->setInfoText("'BOOT'\r\nv1.2");
  EXPECT_EQ(infoBox()->toPlainText(), QStringLiteral("'BOOT'\nv1.2"));
}

// The control that has the focus, counting the IP control's fields as the IP control.
int focusedControl() {
  for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
       widget = widget->parentWidget()) {
    const QVariant id = widget->property(control::kIdProperty);
    if (id.isValid()) return id.toInt();
  }
  return 0;
}

TEST_F(WindowLayout, TabWalksTheControlsInTemplateOrderStartingAtExit) {
  CKorvelDlg& dialog = openWindow();
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  std::vector<int> visited{focusedControl()};
  for (int i = 0; i < 11; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(focusedControl());
  }
  const std::vector<int> expected{control::kExit,     control::kIpField, control::kProgram,
                                  control::kPath,     control::kBrowse,  control::kInfo,
                                  control::kInfoBox,  control::kHelp,    control::kLogin,
                                  control::kPassword, control::kViaBoot, control::kExit};
  EXPECT_EQ(visited, expected);
}

TEST_F(WindowLayout, SummaryShowsWhyAMissingImageCannotBeReadRightAfterStart) {
  settings.texts[QStringLiteral("File/Path")] = QStringLiteral("/нет/такого файла.qlxfw");
  openWindow();
  EXPECT_EQ(summaryText(), toQString(text::kSummaryCannotOpen));
}

TEST_F(WindowLayout, SummaryShowsTheRestoredImage) {
  const auto image =
      files.write("образ прошивки.qlxfw", ImageBuilder()
                                              .name("MAIN")
                                              .version(2, 5)
                                              .address(3)
                                              .data(kBootRecordType, samplePayload(8, 1))
                                              .bytes());
  settings.texts[QStringLiteral("File/Path")] = QString::fromStdString(image.string());
  openWindow();
  EXPECT_EQ(summaryText(), QStringLiteral("'MAIN' v2.5 addr 3"));
}

TEST_F(WindowLayout, AboutItemSitsInTheContextMenuAndOpensTheAboutBox) {
  CKorvelDlg& dialog = openWindow();
  EXPECT_EQ(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_EQ(dialog.actions().size(), 1);
  QAction* about = dialog.actions().constFirst();
  EXPECT_EQ(about->text(), toQString(text::kAboutItem));

  QString aboutTitle;
  bool mentionsVersion = false;
  whenModalOpens<QDialog>([&](QDialog& box) {
    aboutTitle = box.windowTitle();
    for (const QLabel* label : box.findChildren<QLabel*>()) {
      mentionsVersion = mentionsVersion || label->text().contains(toQString(text::kVersion));
    }
    box.accept();
  });
  about->trigger();
  EXPECT_EQ(aboutTitle, toQString(text::kAboutTitle));
  EXPECT_TRUE(mentionsVersion);
}

TEST(AboutItem, AnEmptyTextAddsNoItem) {
  QWidget window;
  bool opened = false;
  addAboutItem(window, QString(), [&] { opened = true; });
  EXPECT_TRUE(window.actions().isEmpty());
  EXPECT_EQ(window.contextMenuPolicy(), Qt::DefaultContextMenu);
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace korvel::test
