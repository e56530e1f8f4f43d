// The device's address typed into the window's IP field key by key, from the states the window
// starts in. A wrong address here programs the wrong device.
#include <QApplication>
#include <QTest>

#include "typing.h"
#include "window_fixture.h"

namespace korvel::test {
namespace {

enum class Start {
  FreshByTab,           // first start (0.0.0.0), Tab from Exit
  FreshClickBefore,     // first start, a click in front of the first part's 0
  FreshClickAfter,      // first start, a click behind it
  RestoredByTab,        // 192.168.0.10 from the settings, Tab from Exit
  RestoredClickInside,  // the same, a click between the first part's digits
};

struct Typed {
  const char* keys;
  std::uint32_t address;
};

// Each address as operators type it: with a dot after every part, and without the dots the
// control makes unnecessary after three digits.
const Typed kTyped[] = {
    {"192.168.1.10", 0xC0A8010A}, {"1921681.10", 0xC0A8010A}, {"10.0.0.1", 0x0A000001},
    {"127.0.0.2", 0x7F000002},    {"1270.0.2", 0x7F000002},   {"255.255.255.255", 0xFFFFFFFF},
    {"255255255255", 0xFFFFFFFF}, {"1.2.3.4", 0x01020304},
};

class WindowIpEntry : public WindowTest,
                      public ::testing::WithParamInterface<std::tuple<Start, Typed>> {
 protected:
  void openAt(Start start) {
    const bool restored = start == Start::RestoredByTab || start == Start::RestoredClickInside;
    if (restored) settings.integers[QStringLiteral("Comm/IpAddr")] = 0xC0A8000A;
    openWindow().show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_EQ(QApplication::focusWidget(), button(control::kExit));
    QLineEdit* first = ipField()->field(0);
    const QFontMetrics metrics(first->font());
    const int middle = first->width() / 2;
    const int digits = metrics.horizontalAdvance(first->text());
    const int y = first->height() / 2;
    switch (start) {
      case Start::FreshByTab:
      case Start::RestoredByTab:
        pressKey(Qt::Key_Tab);
        break;
      case Start::FreshClickBefore:
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(middle - digits / 2 - 1, y));
        break;
      case Start::FreshClickAfter:
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(middle + digits / 2 + 1, y));
        break;
      case Start::RestoredClickInside:
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(middle, y));
        break;
    }
    ASSERT_EQ(QApplication::focusWidget(), first);
  }
};

TEST_P(WindowIpEntry, TheAddressTypedIsTheAddressUsed) {
  const auto& [start, typed] = GetParam();
  openAt(start);
  typeKeys(QString::fromLatin1(typed.keys));
  EXPECT_EQ(window->ipAddress().hostOrder(), typed.address)
      << "typed " << typed.keys << ", got " << window->ipAddress().dotted();
}

std::string caseName(const ::testing::TestParamInfo<WindowIpEntry::ParamType>& info) {
  static const char* const kStarts[] = {"FreshByTab", "FreshClickBefore", "FreshClickAfter",
                                        "RestoredByTab", "RestoredClickInside"};
  std::string name = kStarts[static_cast<int>(std::get<0>(info.param))];
  name += '_';
  for (const char* key = std::get<1>(info.param).keys; *key != 0; ++key) {
    name += *key == '.' ? 'd' : *key;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryStart, WindowIpEntry,
    ::testing::Combine(::testing::Values(Start::FreshByTab, Start::FreshClickBefore,
                                         Start::FreshClickAfter, Start::RestoredByTab,
                                         Start::RestoredClickInside),
                       ::testing::ValuesIn(kTyped)),
    caseName);

TEST_F(WindowTest, TheTypedAddressIsSavedAndReachesTheNextStart) {
  openWindow().show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  pressKey(Qt::Key_Tab);
  typeKeys(QStringLiteral("192.168.1.10"));
  window->accept();
  EXPECT_EQ(settings.integers[QStringLiteral("Comm/IpAddr")], 0xC0A8010Au);
}

}  // namespace
}  // namespace korvel::test
