#include <QApplication>
#include <QLabel>
#include <QTest>

#include "common/texts.h"
#include "modal.h"
#include "ui/about_item.h"
#include "ui/dialog_units.h"
#include "window/dialog_template.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

// The Qt class that shows each kind of control of the window's description.
const char* qtClassOf(window::ControlKind kind) {
  switch (kind) {
    case window::ControlKind::PushButton:
      return "QPushButton";
    case window::ControlKind::CheckBox:
      return "QCheckBox";
    case window::ControlKind::Edit:
      return "QLineEdit";
    case window::ControlKind::Label:
      return "QLabel";
    case window::ControlKind::IpAddress:
      return "korvel::IpAddressEdit";
    case window::ControlKind::ProgressBar:
      return "QProgressBar";
    case window::ControlKind::Icon:
      return "QLabel";
  }
  return "";
}

using WindowLayout = WindowTest;

TEST_F(WindowLayout, EveryControlOfTheDescriptionIsThereWithItsNumberTextAndPlace) {
  QtKorvelWindow& dialog = openWindow();
  const window::DialogTemplate& layout = window::mainWindowTemplate();
  const DialogUnits units = DialogUnits::forFont(dialog.font());
  EXPECT_EQ(dialog.font().pointSize(), layout.pointSize);
  EXPECT_EQ(dialog.size(), units.size(layout.width, layout.height));
  int direct = 0;
  for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    direct += child->property(control::kIdProperty).isValid() ? 1 : 0;
  }
  EXPECT_EQ(direct, static_cast<int>(layout.controls.size()));
  for (const window::ControlTemplate& expected : layout.controls) {
    SCOPED_TRACE(expected.name);
    auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(expected.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &dialog);
    // The information box is the one edit of several lines.
    const char* className = (expected.styles & window::style::kMultiLine) != 0
                                ? "QPlainTextEdit"
                                : qtClassOf(expected.kind);
    EXPECT_STREQ(widget->metaObject()->className(), className);
    EXPECT_EQ(widget->property(control::kIdProperty).toInt(), expected.id);
    EXPECT_FALSE(widget->accessibleName().isEmpty());
    const window::UnitRect& r = expected.rect;
    EXPECT_EQ(widget->geometry(), units.rect(r.x, r.y, r.width, r.height));
    if (expected.text != nullptr && expected.id != control::kSummary) {
      EXPECT_EQ(widget->property("text").toString(), toQString(expected.text));
    }
    if (expected.id != control::kLabel) {
      EXPECT_EQ(dialog.control(expected.id), widget);
    }
    // Only what the description lets take the focus does; the IP field's parts count as it.
    if ((expected.styles & window::style::kTabStop) == 0 && expected.id != control::kLabel) {
      EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus);
    }
  }
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Korvel в") + toQString(text::kVersion));
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
  QtKorvelWindow& dialog = openWindow();
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  std::vector<int> visited{focusedControl()};
  for (int i = 0; i < 11; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(focusedControl());
  }
  std::vector<int> expected;
  for (const window::ControlTemplate& control : window::mainWindowTemplate().controls) {
    if (control.styles & window::style::kTabStop) expected.push_back(control.id);
  }
  expected.push_back(expected.front());  // and round again
  ASSERT_EQ(expected.size(), visited.size());
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
  QtKorvelWindow& dialog = openWindow();
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
