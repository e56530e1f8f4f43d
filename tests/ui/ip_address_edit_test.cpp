#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

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

  // Types as the operator does: each key goes to whichever field has the focus by then.
  void type(const QString& keys) {
    for (const QChar key : keys) QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
  }
  void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

  QStringList texts() const {
    QStringList out;
    for (int i = 0; i < 4; ++i) out << edit.field(i)->text();
    return out;
  }

  IpAddressEdit edit;
};

TEST_F(IpAddressEditTest, SetAndReadWithTheFirstOctetInTheTopByte) {
  edit.setAddress(0xC0A8000A);
  EXPECT_EQ(texts(), (QStringList{"192", "168", "0", "10"}));
  EXPECT_EQ(edit.address(), 0xC0A8000Au);
  edit.setAddress(0xFFFFFFFF);
  EXPECT_EQ(edit.address(), 0xFFFFFFFFu);
}

TEST_F(IpAddressEditTest, BlankFieldsReadAsZero) {
  edit.field(0)->setText("192");
  edit.field(1)->setText("168");
  edit.field(3)->setText("5");
  EXPECT_EQ(edit.address(), 0xC0A80005u);
  for (int i = 0; i < 4; ++i) edit.field(i)->clear();
  EXPECT_EQ(edit.address(), 0u);
}

TEST_F(IpAddressEditTest, ADotMovesToTheNextField) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  type("10.0.0.7");
  EXPECT_EQ(texts(), (QStringList{"10", "0", "0", "7"}));
  EXPECT_EQ(edit.address(), 0x0A000007u);
}

TEST_F(IpAddressEditTest, ThreeDigitsMoveOnByThemselves) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  type("192168001");
  EXPECT_EQ(texts(), (QStringList{"192", "168", "001", ""}));
  EXPECT_EQ(QApplication::focusWidget(), edit.field(3));
}

TEST_F(IpAddressEditTest, ADotAfterAnAutomaticMoveDoesNotSkipAField) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  type("192.168.0.10");
  EXPECT_EQ(texts(), (QStringList{"192", "168", "0", "10"}));
}

TEST_F(IpAddressEditTest, RefusesWhatNoOctetCanHold) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  type("3a0-0");
  EXPECT_EQ(edit.field(0)->text(), "30");  // 300 would not fit; letters never do
  edit.field(1)->setFocus();
  type("255");
  EXPECT_EQ(edit.field(1)->text(), "255");
}

TEST_F(IpAddressEditTest, BackspaceAndArrowsCrossIntoNeighbouringFields) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  type("1.2");
  press(Qt::Key_Left);  // before the 2
  press(Qt::Key_Left);  // into the first field, at its end
  EXPECT_EQ(QApplication::focusWidget(), edit.field(0));
  press(Qt::Key_Right);
  EXPECT_EQ(QApplication::focusWidget(), edit.field(1));
  edit.field(1)->setCursorPosition(0);
  press(Qt::Key_Backspace);
  EXPECT_EQ(QApplication::focusWidget(), edit.field(0));
  press(Qt::Key_Backspace);
  EXPECT_EQ(texts(), (QStringList{"", "2", "", ""}));
}

TEST_F(IpAddressEditTest, IsOneTabStop) {
  EXPECT_EQ(edit.focusProxy(), edit.field(0));
  EXPECT_TRUE(edit.field(0)->focusPolicy() & Qt::TabFocus);
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(edit.field(i)->focusPolicy() & Qt::TabFocus);
}

}  // namespace
}  // namespace korvel::test
