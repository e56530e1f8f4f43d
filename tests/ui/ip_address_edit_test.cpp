#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "typing.h"
#include "ui/ip_address_edit.h"

namespace korvel::test {
namespace {

class IpAddressEditTest : public ::testing::Test {
 protected:
  IpAddressEditTest() {
    edit.show();
    QApplication::setActiveWindow(&edit);
    edit.setFocus();
  }

  QStringList texts() const {
    QStringList out;
    for (int i = 0; i < 4; ++i) out << edit.field(i)->text();
    return out;
  }
  QWidget* focused() const { return QApplication::focusWidget(); }

  IpAddressEdit edit;
};

TEST_F(IpAddressEditTest, SetAndReadWithTheFirstOctetInTheTopByte) {
  edit.setAddress(Ipv4Address::fromHostOrder(0xC0A8000A));
  EXPECT_EQ(texts(), (QStringList{"192", "168", "0", "10"}));
  EXPECT_EQ(edit.address().hostOrder(), 0xC0A8000Au);
  edit.setAddress(Ipv4Address::fromHostOrder(0xFFFFFFFF));
  EXPECT_EQ(edit.address().hostOrder(), 0xFFFFFFFFu);
}

TEST_F(IpAddressEditTest, BlankFieldsReadAsZero) {
  edit.field(0)->setText("192");
  edit.field(1)->setText("168");
  edit.field(3)->setText("5");
  EXPECT_EQ(edit.address().hostOrder(), 0xC0A80005u);
  for (int i = 0; i < 4; ++i) edit.field(i)->clear();
  EXPECT_EQ(edit.address().hostOrder(), 0u);
}

TEST_F(IpAddressEditTest, ThreeDigitsMoveOnByThemselvesAndSelectTheNextField) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  edit.setAddress(Ipv4Address::fromHostOrder(0x01020304));
  edit.field(0)->clear();
  edit.field(0)->setFocus();
  typeKeys("192");
  EXPECT_EQ(focused(), edit.field(1));
  EXPECT_EQ(edit.field(1)->selectedText(), "2");
  typeKeys("7");  // replaces what was there
  EXPECT_EQ(texts(), (QStringList{"192", "7", "3", "4"}));
}

TEST_F(IpAddressEditTest, AClickIntoAFieldSelectsItALaterClickPlacesTheCaret) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  edit.setAddress(Ipv4Address::fromHostOrder(0xC0A8000A));
  QLineEdit* second = edit.field(1);
  const QPoint left(2, second->height() / 2);
  edit.field(0)->setFocus();
  QTest::mouseClick(second, Qt::LeftButton, {}, left);
  EXPECT_EQ(focused(), second);
  EXPECT_EQ(second->selectedText(), "168");
  QTest::mouseClick(second, Qt::LeftButton, {}, left);
  EXPECT_FALSE(second->hasSelectedText());
  EXPECT_EQ(second->cursorPosition(), 0);
}

TEST_F(IpAddressEditTest, ADotMovesOnOnlyFromAFinishedField) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  typeKeys(".");  // nothing typed yet
  EXPECT_EQ(focused(), edit.field(0));
  typeKeys("12");
  pressKey(Qt::Key_Left);  // caret between the digits
  typeKeys(".");
  EXPECT_EQ(focused(), edit.field(0));
  edit.field(0)->selectAll();
  typeKeys(".");
  EXPECT_EQ(focused(), edit.field(0));
  edit.field(0)->end(false);
  typeKeys(".");
  EXPECT_EQ(focused(), edit.field(1));
  EXPECT_EQ(texts(), (QStringList{"12", "", "", ""}));
}

TEST_F(IpAddressEditTest, ADotRightAfterAnAutomaticMoveIsSwallowed) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  edit.field(1)->setText("5");
  typeKeys("192.");
  EXPECT_EQ(focused(), edit.field(1));
  // The next field still holds its old 5, selected; typing it again and a dot moves on.
  typeKeys("5.");
  EXPECT_EQ(focused(), edit.field(2));
  typeKeys("123");
  edit.field(3)->setFocus();
  typeKeys("4.");  // a dot in the last field goes nowhere
  EXPECT_EQ(texts(), (QStringList{"192", "5", "123", "4"}));
}

TEST_F(IpAddressEditTest, AValueAbove255Becomes255) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  typeKeys("3a0-0");  // letters and signs never enter a field
  EXPECT_EQ(texts().constFirst(), "255");
  EXPECT_EQ(focused(), edit.field(1));
  typeKeys("26");
  pressKey(Qt::Key_Home);
  typeKeys("9");  // 926
  EXPECT_EQ(texts(), (QStringList{"255", "255", "", ""}));
}

TEST_F(IpAddressEditTest, BackspaceAtTheStartOfAFieldDeletesTheLastDigitBeforeIt) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  typeKeys("12.34");
  pressKey(Qt::Key_Backspace);
  pressKey(Qt::Key_Backspace);
  EXPECT_EQ(focused(), edit.field(1));
  pressKey(Qt::Key_Backspace);  // the empty second field hands over to the first
  EXPECT_EQ(focused(), edit.field(0));
  EXPECT_EQ(texts(), (QStringList{"1", "", "", ""}));
  typeKeys("0.7");
  EXPECT_EQ(texts(), (QStringList{"10", "7", "", ""}));
}

TEST_F(IpAddressEditTest, ArrowsCrossIntoNeighbouringFields) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  typeKeys("1.2");
  pressKey(Qt::Key_Left);  // before the 2
  pressKey(Qt::Key_Left);  // into the first field, at its end
  EXPECT_EQ(focused(), edit.field(0));
  EXPECT_FALSE(edit.field(0)->hasSelectedText());
  pressKey(Qt::Key_Right);
  EXPECT_EQ(focused(), edit.field(1));
}

TEST_F(IpAddressEditTest, ADottedAddressPastedIntoAnyFieldFillsAllFour) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  edit.field(2)->setFocus();
  QGuiApplication::clipboard()->setText(" 10.20.300.4\n");
  pressKey(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(texts(), (QStringList{"10", "20", "255", "4"}));

  // Digits alone go into the field as typed ones would; anything else changes nothing.
  edit.field(1)->setFocus();
  edit.field(1)->selectAll();
  QGuiApplication::clipboard()->setText("77");
  pressKey(Qt::Key_V, Qt::ControlModifier);
  for (const char* junk : {"1.2.3", "1.2.3.4.5", "1..3.4", "1.2.3.x", "1234.1.1.1"}) {
    QGuiApplication::clipboard()->setText(junk);
    pressKey(Qt::Key_V, Qt::ControlModifier);
  }
  EXPECT_EQ(texts(), (QStringList{"10", "77", "255", "4"}));
}

TEST_F(IpAddressEditTest, TheContextMenuPastesADottedAddressToo) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  QGuiApplication::clipboard()->setText("192.168.1.10");
  bool pasteOffered = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (action->text().section(QLatin1Char('\t'), 0, 0) != QLineEdit::tr("&Paste")) continue;
      pasteOffered = action->isEnabled();
      action->trigger();
    }
    menu->close();
  });
  Q_EMIT edit.field(3)->customContextMenuRequested(QPoint(1, 1));
  EXPECT_TRUE(pasteOffered);
  EXPECT_EQ(edit.address().hostOrder(), 0xC0A8010Au);
}

TEST_F(IpAddressEditTest, IsOneTabStop) {
  EXPECT_EQ(edit.focusProxy(), edit.field(0));
  EXPECT_TRUE(edit.field(0)->focusPolicy() & Qt::TabFocus);
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(edit.field(i)->focusPolicy() & Qt::TabFocus);
}

}  // namespace
}  // namespace korvel::test
