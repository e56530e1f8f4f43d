#include <gtest/gtest.h>

#include "programmer_fixture.h"

namespace korvel {
namespace {

using test::SentCommand;

// Replies to forwarded records with status 1 and the given resend byte.
std::optional<Bytes> acknowledge(ByteView request, std::uint8_t resendByte) {
  return test::replyTo(request, 1, 78, [resendByte](Bytes& reply) { reply[89] = resendByte; });
}

class SubordinateDeliveryTest : public test::ProgrammerTest {
 protected:
  void SetUp() override { programmer.openLink(false); }

  // The payload of each record forwarded so far, by its first byte.
  std::vector<std::uint8_t> forwardedMarks() const {
    std::vector<std::uint8_t> marks;
    for (const auto& command : sentCommands()) marks.push_back(command.area[4]);
    return marks;
  }
};

TEST_F(SubordinateDeliveryTest, ResendByteDecoding) {
  const std::vector<std::pair<std::uint8_t, int>> cases = {
      {0x01, 0}, {0x03, 1}, {0x05, 2}, {0x07, 3}, {0xFF, 3}};
  for (const auto& [resendByte, expected] : cases) {
    echo.responder = [resendByte = resendByte](ByteView request) {
      return acknowledge(request, resendByte);
    };
    EXPECT_EQ(programmer.sendBusRecord(9, Bytes(10, 1)), expected) << int(resendByte);
  }
  EXPECT_TRUE(pauses.requested.empty());
}

TEST_F(SubordinateDeliveryTest, LengthSeventySevenMeansTaken) {
  echo.responder = [](ByteView request) {
    return test::replyTo(request, 1, 77, [](Bytes& reply) { reply[80] = 0xFF; });
  };
  EXPECT_EQ(programmer.sendBusRecord(9, Bytes(10, 1)), 0);
}

TEST_F(SubordinateDeliveryTest, NotTakenIsSentAgainAfterAPause) {
  int replies = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++replies == 1 ? 0x06 : 0x01);
  });
  EXPECT_EQ(programmer.sendBusRecord(9, Bytes(10, 1)), 0);
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{100});
  const auto commands = sentCommands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].area, commands[1].area);
}

TEST_F(SubordinateDeliveryTest, BadStatusTwentyTimesFails) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 0, 78); });
  EXPECT_EQ(programmer.sendBusRecord(9, Bytes(10, 1)), -1);
  EXPECT_EQ(echo.sent.size(), 20u);
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>(20, 100));
}

TEST_F(SubordinateDeliveryTest, BusCommandLayout) {
  echo.responder = [](ByteView request) { return acknowledge(request, 1); };
  const Bytes payload(1024, 0x5A);
  ASSERT_EQ(programmer.sendBusRecord(0x21, payload), 0);
  const auto command = sentCommands()[0];
  EXPECT_EQ(command.area.size(), 1088u);
  EXPECT_EQ(Bytes(command.area.begin(), command.area.begin() + 4), (Bytes{0x06, 0x02, 0xFE, 0x21}));
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), command.area.begin() + 4));
  EXPECT_EQ(echo.sent[0].data.size(), 1024u + 100u + 12u);

  // An empty record is a bare four-byte command in a 64-byte area.
  ASSERT_EQ(programmer.sendBusRecord(0x21, Bytes{}), 0);
  Bytes expected(64, 0);
  std::copy_n(Bytes{0x06, 0x02, 0xFE, 0x21}.begin(), 4, expected.begin());
  EXPECT_EQ(sentCommands()[1].area, expected);
}

TEST_F(SubordinateDeliveryTest, ResendsTheRecordsBeforeItOldestFirst) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++records == 4 ? 0x05 : 0x01);  // k = 2 for the fourth
  });
  for (std::uint8_t mark = 1; mark <= 4; ++mark) {
    EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, mark)));
  }
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3, 4, 2, 3, 4}));
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>(4, 10));
  EXPECT_EQ(programmer.resendRing().index, 0);
}

TEST_F(SubordinateDeliveryTest, KThreeSendsTheWholeRing) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++records == 5 ? 0x07 : 0x01);
  });
  for (std::uint8_t mark = 1; mark <= 5; ++mark) {
    EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, mark)));
  }
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 2, 3, 4, 5}));
}

// The subordinate has let go of the records it asked for: one that does not come back whole
// leaves a gap, and the delivery must not pass for a success.
TEST_F(SubordinateDeliveryTest, AResendThatIsNotTakenFailsTheRecord) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) -> std::optional<Bytes> {
    ++records;
    if (records == 3) return acknowledge(request, 0x05);              // k = 2
    if (records > 3 && records <= 23) return test::replyTo(request, 0, 78);  // record 1 again
    return acknowledge(request, 0x01);
  });
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 1)));
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 2)));
  EXPECT_FALSE(programmer.deliverRecord(9, Bytes(20, 3)));
  // Record 1 went twenty times more; 2 and 3 were not sent after it.
  EXPECT_EQ(forwardedMarks().size(), 3u + 20u);
  EXPECT_EQ(programmer.resendRing().index, 3);
}

TEST_F(SubordinateDeliveryTest, AResendAnsweredWithAnotherResendRequestFails) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    ++records;
    return acknowledge(request, records == 3 || records == 4 ? 0x03 : 0x01);  // k = 1, twice
  });
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 1)));
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 2)));
  EXPECT_FALSE(programmer.deliverRecord(9, Bytes(20, 3)));
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3, 2}));
}

TEST_F(SubordinateDeliveryTest, SlotsThatNeverHeldARecordAreSkipped) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++records == 1 ? 0x07 : 0x01);
  });
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 1)));
  // k = 3 asked for after the very first record: only the record itself goes again.
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 1}));
}

TEST_F(SubordinateDeliveryTest, LongRecordIsSentButNotStored) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++records == 3 ? 0x03 : 0x01);  // k = 1 for the long record
  });
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(1024, 1)));
  EXPECT_EQ(programmer.resendRing().index, 1);
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(30, 2)));
  EXPECT_TRUE(programmer.deliverRecord(7, Bytes(1025, 3)));
  EXPECT_EQ(programmer.resendRing().index, 2);
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3, 2, 3}));
  EXPECT_EQ(sentCommands().back().area.size(), 1025u + 64u);
  EXPECT_EQ(sentCommands().back().area[3], 7);
}

TEST_F(SubordinateDeliveryTest, ResendOfARecordTheRingCouldNotKeepFails) {
  int records = 0;
  answerCommands([&](const SentCommand&, ByteView request) {
    return acknowledge(request, ++records == 3 ? 0x05 : 0x01);  // k = 2 for the third record
  });
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 1)));
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(1025, 2)));
  // Record 2 cannot be sent again; sending 1 and 3 alone would leave a gap the subordinate
  // acknowledges as whole.
  EXPECT_FALSE(programmer.deliverRecord(9, Bytes(20, 3)));
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3}));

  // Once enough records have gone through the ring since, resends work again.
  records = 0;
  for (std::uint8_t mark = 4; mark <= 5; ++mark) {
    EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, mark)));
  }
  EXPECT_TRUE(programmer.deliverRecord(9, Bytes(20, 6)));
  EXPECT_EQ(forwardedMarks(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 4, 5, 6}));
}

TEST_F(SubordinateDeliveryTest, NoLinkNothingStored) {
  programmer.closeLink();
  EXPECT_FALSE(programmer.deliverRecord(9, Bytes(20, 1)));
  EXPECT_EQ(programmer.resendRing().index, 0);
  EXPECT_TRUE(echo.sent.empty());
}

TEST_F(SubordinateDeliveryTest, FailedRecordStaysStored) {
  EXPECT_FALSE(programmer.deliverRecord(9, Bytes(20, 1)));
  EXPECT_EQ(programmer.resendRing().index, 1);
  EXPECT_EQ(echo.sent.size(), 20u * 5u);
  EXPECT_EQ(pauses.requested.front(), 10u);
  EXPECT_EQ(pauses.requested.size(), 21u);
}

}  // namespace
}  // namespace korvel
