#include <gtest/gtest.h>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "programmer_fixture.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

// An echo facility that opens but refuses every send (Windows' ICMP helper under Wine without
// ICMP for the process): no procedure may take that for an answer, and the operator learns why.
class IcmpRefusalTest : public test::ProgrammerTest {
 protected:
  IcmpRefusalTest() {
    echo.refuseSendsWith = EchoFailure{EchoFailureKind::NotPermitted, 5, "IcmpSendEcho: denied", ""};
  }
};

TEST_F(IcmpRefusalTest, TheInformationQueryNamesTheRefusalAfterOneSend) {
  programmer.queryDeviceInfo();
  // No remedy known on this platform: the reason is the last line.
  EXPECT_EQ(panel.info, std::string(text::kNoIcmpAccess) + "\r\nIcmpSendEcho: denied");
  EXPECT_EQ(echo.sent.size(), 1u);
  ASSERT_NE(programmer.link(), nullptr);
  EXPECT_FALSE(programmer.link()->isOpen());
}

TEST_F(IcmpRefusalTest, TheProgrammingRunStopsOnItWithoutTouchingTheImage) {
  test::TempDir dir;
  panel.path = dir.write("image.qlxfw", ImageBuilder().data(12, Bytes(40, 0x5A)).bytes()).string();
  programmer.programDevice();
  ASSERT_EQ(panel.warnings.size(), 1u);
  EXPECT_EQ(panel.warnings[0].rfind(text::kNoIcmpAccess, 0), 0u) << panel.warnings[0];
  EXPECT_EQ(echo.sent.size(), 1u);
}

TEST_F(IcmpRefusalTest, ASendThatMerelyGoesUnansweredKeepsTheLink) {
  echo.refuseSendsWith.reset();
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, text::kNoAnswer);
  EXPECT_TRUE(programmer.link()->isOpen());
}

}  // namespace
}  // namespace korvel
