#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "common/texts.h"
#include "programmer_fixture.h"
#include "support/recording_observer.h"

namespace korvel {
namespace {

using test::SentCommand;

class InfoQueryTest : public test::ProgrammerTest {};

TEST_F(InfoQueryTest, FormatsTheDeviceInformation) {
  answerCommands([](const SentCommand&, ByteView request) {
    return test::replyTo(request, 1, 77, test::writeSampleInfo);
  });
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, "'BOOT'\r\nBoard Id=0x000012AB №3.7 Boot v1.2\r\n'MAIN'\r\nv2.5");
  ASSERT_EQ(echo.sent.size(), 1u);
  EXPECT_EQ(sentCommands()[0].area, Bytes{0x03});
  EXPECT_EQ(echo.sent[0].data.size(), 89u);
}

TEST_F(InfoQueryTest, NumbersAtTheirLimits) {
  answerCommands([](const SentCommand&, ByteView request) {
    return test::replyTo(request, 1, 77, [](Bytes& reply) {
      putLe32(reply, 13, 0xABCD);
      putLe32(reply, 17, (1u << 16) | 65535);
      putLe16(reply, 53, 0x0A03);
      std::fill_n(reply.begin() + 55, 32, 'Z');  // no zero byte: the text ends with its field
      putLe16(reply, 87, 0xFFFF);
    });
  });
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, "''\r\nBoard Id=0x0000ABCD №1.65535 Boot v10.3\r\n'" +
                            std::string(32, 'Z') + "'\r\nv255.255");
}

TEST_F(InfoQueryTest, DeviceTextsAreCp1251) {
  answerCommands([](const SentCommand&, ByteView request) {
    return test::replyTo(request, 1, 77, [](Bytes& reply) {
      const std::string text = "\xCF\xF3\xEB\xFC\xF2";
      std::copy(text.begin(), text.end(), reply.begin() + 21);
    });
  });
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info.substr(0, 12), "'Пульт'");
}

TEST_F(InfoQueryTest, AnswerOnTheFourthAttemptMovesTheBar) {
  int echoes = 0;
  answerCommands([&](const SentCommand&, ByteView request) -> std::optional<Bytes> {
    if (++echoes <= 15) return std::nullopt;  // three attempts of five echoes each
    return test::replyTo(request, 1, 77, test::writeSampleInfo);
  });
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.positions, (std::vector<std::int64_t>{0, 1, 2, 3, 0}));
  EXPECT_EQ(panel.rangeLower, 0);
  EXPECT_EQ(panel.rangeUpper, 10);
  EXPECT_EQ(panel.info.substr(0, 6), "'BOOT'");
  EXPECT_EQ(panel.inputSwitches, (std::vector<bool>{false, true}));
  EXPECT_EQ(panel.waitCursorDepth, 0);
  EXPECT_TRUE(pauses.requested.empty());
}

TEST_F(InfoQueryTest, BadStatusIsNotRetried) {
  for (const int status : {0, 2}) {
    echo.sent.clear();
    answerCommands([status](const SentCommand&, ByteView request) {
      return test::replyTo(request, static_cast<std::uint8_t>(status));
    });
    programmer.queryDeviceInfo();
    EXPECT_EQ(panel.info, text::kDeviceError);
    EXPECT_EQ(echo.sent.size(), 1u);
  }
}

TEST_F(InfoQueryTest, SilentDeviceAfterTenAttempts) {
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, text::kNoAnswer);
  EXPECT_EQ(echo.sent.size(), 50u);
  EXPECT_TRUE(panel.inputsEnabled);
  EXPECT_EQ(panel.positions.back(), 0);
}

TEST_F(InfoQueryTest, EachQueryOpensANewLink) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 1); });
  panel.ip = Ipv4Address(127, 0, 0, 2);
  programmer.queryDeviceInfo();
  panel.ip = Ipv4Address(127, 0, 0, 3);
  programmer.queryDeviceInfo();
  const auto commands = sentCommands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_NE(commands[0].token, commands[1].token);
  EXPECT_EQ(commands[0].sequence, 0u);
  EXPECT_EQ(commands[1].sequence, 0u);
  EXPECT_EQ(echo.sent[1].target, Ipv4Address::fromHostOrder(0x7F000003));
  EXPECT_EQ(echo.opened, 2);
}

TEST_F(InfoQueryTest, RefusedCredentialsContactNothing) {
  panel.loginText = std::string(16, 'a');
  panel.passwordText = std::string(15, 'b');
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, text::kCredentialsTooLong);
  panel.loginText = "оператор";
  panel.passwordText = "";
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, text::kCredentialsBadCharacter);
  EXPECT_TRUE(echo.sent.empty());
  EXPECT_TRUE(panel.inputsEnabled);
}

TEST_F(InfoQueryTest, NoIcmpAccessExplainsTheFix) {
  echo.refuseWith = {EchoFailureKind::NotPermitted, 13, "socket: Permission denied",
                     "allow ping sockets"};
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, std::string(text::kNoIcmpAccess) +
                            "\r\nsocket: Permission denied\r\nallow ping sockets");
  EXPECT_TRUE(echo.sent.empty());
}

// The outcome tells what happened; its text is the information box's.
TEST_F(InfoQueryTest, EveryQueryEndsInAnOutcomeThatCarriesTheBoxsText) {
  const auto expectOutcome = [&](const Outcome& outcome, OutcomeKind kind) {
    EXPECT_EQ(outcome.kind, kind) << outcomeName(outcome.kind);
    EXPECT_EQ(outcome.text, panel.info);
  };
  expectOutcome(programmer.queryDeviceInfo(), OutcomeKind::NoAnswer);
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 2); });
  expectOutcome(programmer.queryDeviceInfo(), OutcomeKind::DeviceError);
  answerCommands([](const SentCommand&, ByteView request) {
    return test::replyTo(request, 1, 77, test::writeSampleInfo);
  });
  const Outcome done = programmer.queryDeviceInfo();
  expectOutcome(done, OutcomeKind::Done);
  EXPECT_TRUE(done.succeeded());
  EXPECT_EQ(done.text.substr(0, 6), "'BOOT'");

  panel.loginText = std::string(31, 'a');
  expectOutcome(programmer.queryDeviceInfo(), OutcomeKind::CredentialsTooLong);
  panel.loginText = "оператор";
  expectOutcome(programmer.queryDeviceInfo(), OutcomeKind::CredentialsBadCharacter);
  panel.loginText = "admin";
  echo.refuseWith = {EchoFailureKind::NotPermitted, 13, "denied", ""};
  expectOutcome(programmer.queryDeviceInfo(), OutcomeKind::NoIcmpAccess);
}

TEST(OutcomeTest, NamesAreDistinctAndOnlyDoneSucceeds) {
  std::set<std::string_view> names;
  for (int i = 0; i <= static_cast<int>(OutcomeKind::RestoreFailed); ++i) {
    const auto kind = static_cast<OutcomeKind>(i);
    EXPECT_TRUE(names.insert(outcomeName(kind)).second) << outcomeName(kind);
    EXPECT_EQ(outcomeOf(kind).succeeded(), kind == OutcomeKind::Done);
    EXPECT_EQ(std::string_view(outcomeText(kind)).empty(), kind == OutcomeKind::Done);
  }
  EXPECT_EQ(outcomeName(OutcomeKind::Done), "ok");
}

TEST_F(InfoQueryTest, EachUnansweredAttemptIsAnEventAndTheLastIsNotRetried) {
  test::RecordingObserver observer;
  programmer.setProgressObserver(&observer);
  programmer.queryDeviceInfo();
  ASSERT_EQ(observer.events.size(), 12u);
  EXPECT_EQ(observer.all<PhaseStarted>().front().phase, Phase::InformationQuery);
  EXPECT_EQ(observer.all<PhaseStarted>().front().total, 10u);
  const auto failed = observer.all<AttemptFailed>();
  ASSERT_EQ(failed.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(failed[i].request, Request::DeviceInfo);
    EXPECT_EQ(failed[i].attempt, i + 1);
    EXPECT_EQ(failed[i].retried, i < 9);
  }
  EXPECT_EQ(std::get<Finished>(observer.events.back()).outcome.kind, OutcomeKind::NoAnswer);

  observer.events.clear();
  int echoes = 0;
  answerCommands([&](const SentCommand&, ByteView request) -> std::optional<Bytes> {
    if (++echoes <= 5) return std::nullopt;  // the first attempt's five echoes
    return test::replyTo(request, 1, 77, test::writeSampleInfo);
  });
  programmer.queryDeviceInfo();
  EXPECT_EQ(observer.all<AttemptFailed>().size(), 1u);
  const auto read = observer.all<DeviceInfoRead>();
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].info.boardId, 0x12ABu);
  EXPECT_EQ(read[0].info.serial, (3u << 16) | 7);
  EXPECT_EQ(read[0].info.text1, "BOOT");
  EXPECT_EQ(read[0].info.programVersion, 0x0205);
  EXPECT_TRUE(std::get<Finished>(observer.events.back()).outcome.succeeded());
}

}  // namespace
}  // namespace korvel
