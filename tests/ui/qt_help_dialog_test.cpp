#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include "common/texts.h"
#include "support/temp_file.h"
#include "ui/qt_help_dialog.h"
#include "ui/qt_text.h"

namespace korvel::test {
namespace {

// Clicks the middle of the first occurrence of `text` in the page.
void clickOn(QTextBrowser& browser, const QString& text) {
  const QTextCursor found = browser.document()->find(text);
  ASSERT_FALSE(found.isNull()) << text.toStdString();
  QTextCursor middle(browser.document());
  middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
  const QPoint at = browser.cursorRect(middle).center();
  QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, at);
}

TEST(HelpDialog, IsAModalTopmostResizableWindowTitledHelp) {
  QtHelpDialog help;
  EXPECT_EQ(help.windowTitle(), toQString(text::kHelpTitle));
  EXPECT_TRUE(help.isModal());
  EXPECT_TRUE(help.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(help.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(help.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_NE(help.minimumSize(), help.maximumSize());
}

TEST(HelpDialog, ThePageExplainsBothProceduresInRussian) {
  QtHelpDialog help;
  const QString page = help.browser()->toPlainText();
  EXPECT_TRUE(help.browser()->documentTitle().isEmpty());
  for (const char* mentioned :
       {text::kProgramButton, text::kBrowseButton, text::kInfoButton, text::kViaBootBox}) {
    EXPECT_TRUE(page.contains(toQString(mentioned))) << mentioned;
  }
  for (const char* part :
       {"Подготовка", "Простой способ", "Расширенный способ", "Дополнительные сведения", ".qlxfw",
        "10 секунд", "документации на устройство"}) {
    EXPECT_TRUE(page.contains(QString::fromUtf8(part))) << part;
  }
}

TEST(HelpDialog, ClickingInThePageDoesNotCloseIt) {
  QtHelpDialog help;
  help.show();
  clickOn(*help.browser(), QStringLiteral("Простой способ"));
  EXPECT_TRUE(help.isVisible());
  help.close();
  EXPECT_FALSE(help.isVisible());
  EXPECT_EQ(help.result(), QtHelpDialog::kResultCancel);
}

TEST(HelpDialog, ASmallWindowScrollsThePage) {
  QtHelpDialog help;
  help.resize(300, 200);
  help.show();
  QApplication::processEvents();
  EXPECT_TRUE(help.browser()->verticalScrollBar()->isVisible());
  EXPECT_GT(help.browser()->verticalScrollBar()->maximum(), 0);
}

class HelpPageButtons : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(HelpPageButtons, AnElementWithAButtonIdEndsTheDialogWithItsResult) {
  TempDir folder;
  const std::string html =
      "<html><body><p><a href=\"#ButtonOK\">Принять</a></p>"
      "<p><a href=\"#ButtonCancel\">Отменить</a></p></body></html>";
  const auto page = folder.write("page.html", std::vector<std::uint8_t>(html.begin(), html.end()));
  QtHelpDialog help(nullptr, QUrl::fromLocalFile(QString::fromStdString(page.string())));
  help.show();
  clickOn(*help.browser(), QString::fromUtf8(GetParam().first));
  EXPECT_FALSE(help.isVisible());
  EXPECT_EQ(help.result(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, HelpPageButtons,
                         ::testing::Values(std::make_pair("Принять", QtHelpDialog::kResultOk),
                                           std::make_pair("Отменить",
                                                          QtHelpDialog::kResultCancel)));

}  // namespace
}  // namespace korvel::test
