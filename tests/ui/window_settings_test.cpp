#include <QApplication>
#include <QCloseEvent>
#include <QTest>

#include "window_fixture.h"

namespace korvel::test {
namespace {

using WindowSettings = WindowTest;

TEST_F(WindowSettings, RestoresInOrderWithTheFirstLinkOpenedForTheRestoredAddress) {
  settings.integers[QStringLiteral("Comm/IpAddr")] = 0xC0A8000A;
  settings.integers[QStringLiteral("Comm/FromBoot")] = 1;
  settings.texts[QStringLiteral("File/Path")] =
      QStringLiteral("/тест/папка с пробелами/образ 1.qlxfw");
  openWindow();

  EXPECT_EQ(settings.accessNames(),
            (std::vector<std::string>{"read Comm/IpAddr", "read File/Path", "read Comm/FromBoot"}));
  // No link before the address was read; the link exists before the path is read.
  EXPECT_EQ(settings.accesses[0].observed, 0);
  EXPECT_EQ(settings.accesses[1].observed, 1);
  ASSERT_NE(window->programmer().link(), nullptr);
  EXPECT_EQ(window->programmer().link()->targetAddress(), Ipv4Address(192, 168, 0, 10));

  EXPECT_EQ(ipField()->field(0)->text(), QStringLiteral("192"));
  EXPECT_EQ(ipField()->field(1)->text(), QStringLiteral("168"));
  EXPECT_EQ(ipField()->field(2)->text(), QStringLiteral("0"));
  EXPECT_EQ(ipField()->field(3)->text(), QStringLiteral("10"));
  EXPECT_EQ(field(control::kPath)->text(), QStringLiteral("/тест/папка с пробелами/образ 1.qlxfw"));
  EXPECT_TRUE(viaBootBox()->isChecked());
}

TEST_F(WindowSettings, FirstStartShowsTheDefaults) {
  openWindow();
  EXPECT_EQ(window->ipAddress(), Ipv4Address());
  EXPECT_EQ(ipField()->field(0)->text(), QStringLiteral("0"));
  EXPECT_TRUE(field(control::kPath)->text().isEmpty());
  EXPECT_FALSE(viaBootBox()->isChecked());
  ASSERT_NE(window->programmer().link(), nullptr);
  EXPECT_EQ(window->programmer().link()->targetAddress(), Ipv4Address());
  EXPECT_TRUE(settings.integers.empty());  // nothing is written before the window ends
}

enum class Ending { ExitButton, EnterInPathField, EnterInPasswordField, Escape, CloseBox };

std::string endingName(const ::testing::TestParamInfo<Ending>& ending) {
  constexpr const char* kNames[] = {"ExitButton", "EnterInPathField", "EnterInPasswordField",
                                    "Escape", "CloseBox"};
  return kNames[static_cast<int>(ending.param)];
}

class WindowEnding : public WindowTest, public ::testing::WithParamInterface<Ending> {
 protected:
  void end(QtKorvelWindow& dialog) {
    switch (GetParam()) {
      case Ending::ExitButton:
        QTest::mouseClick(button(control::kExit), Qt::LeftButton);
        break;
      case Ending::EnterInPathField:
        field(control::kPath)->setFocus();
        QTest::keyClick(field(control::kPath), Qt::Key_Return);
        break;
      case Ending::EnterInPasswordField:
        field(control::kPassword)->setFocus();
        QTest::keyClick(field(control::kPassword), Qt::Key_Enter);
        break;
      case Ending::Escape:
        QTest::keyClick(field(control::kLogin), Qt::Key_Escape);
        break;
      case Ending::CloseBox:
        dialog.close();
        break;
    }
  }
};

TEST_P(WindowEnding, EndsTheWindowAndSavesTheSettingsInOrder) {
  QtKorvelWindow& dialog = openWindow();
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  ipField()->setAddress(Ipv4Address(192, 168, 0, 10));
  field(control::kPath)->setText(QStringLiteral("C:\\Прошивки\\новая версия.qlxfw"));
  viaBootBox()->setChecked(true);
  settings.accesses.clear();

  end(dialog);

  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(
      settings.accessNames(),
      (std::vector<std::string>{"write File/Path", "write Comm/IpAddr", "write Comm/FromBoot"}));
  EXPECT_EQ(settings.texts[QStringLiteral("File/Path")],
            QStringLiteral("C:\\Прошивки\\новая версия.qlxfw"));
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], 0xC0A8000Au);
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/FromBoot")], 1u);
  EXPECT_EQ(window->programmer().link(), nullptr);

  // Destroying the ended window writes nothing more.
  window.reset();
  EXPECT_EQ(settings.accesses.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, WindowEnding,
                         ::testing::Values(Ending::ExitButton, Ending::EnterInPathField,
                                           Ending::EnterInPasswordField, Ending::Escape,
                                           Ending::CloseBox),
                         endingName);

TEST_F(WindowSettings, BlankPartsOfTheAddressAreSavedAsZero) {
  openWindow();
  ipField()->field(0)->setText(QStringLiteral("192"));
  ipField()->field(1)->setText(QStringLiteral("168"));
  ipField()->field(2)->clear();
  ipField()->field(3)->setText(QStringLiteral("5"));
  window->done(QDialog::Accepted);
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], 0xC0A80005u);
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/FromBoot")], 0u);
}

TEST_F(WindowSettings, AWindowDestroyedWithoutEndingStillSaves) {
  openWindow();
  ipField()->setAddress(Ipv4Address(10, 0, 0, 1));
  window.reset();
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], 0x0A000001u);
}

TEST_F(WindowSettings, LoginAndPasswordAreNeverStored) {
  openWindow();
  field(control::kLogin)->setText(QStringLiteral("admin"));
  field(control::kPassword)->setText(QStringLiteral("secret"));
  window->done(QDialog::Accepted);
  for (const auto& access : settings.accesses) {
    EXPECT_EQ(access.what.find("ogin"), std::string::npos);
    EXPECT_EQ(access.what.find("assword"), std::string::npos);
  }
  for (const auto& [key, text] : settings.texts) EXPECT_NE(text, QStringLiteral("secret"));
}

}  // namespace
}  // namespace korvel::test
