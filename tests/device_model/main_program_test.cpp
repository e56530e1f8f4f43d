// The device's main program and its boot monitor.
#include <gtest/gtest.h>

#include "device_model/device_requests.h"
#include "device_model/device_status.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"

namespace korvel {
namespace {

using test::deviceCommand;
using test::rawRecord;

TEST(MainProgramTest, InformationReplyCarriesEveryFieldAtItsOffset) {
  SimulatedDevice device(DeviceConfig{.boardId = 0xA1B2C3D4,
                                      .serial = (1u << 16) | 65535u,
                                      .text1 = "\xC7\xE0\xE3",  // cp1251
                                      .text2 = "MAIN",
                                      .bootVersion = 0x0A03,
                                      .programVersion = 0x0205});
  const auto reply = device.answer(deviceCommand(0x03));
  ASSERT_TRUE(reply);
  const Bytes& r = *reply;
  ASSERT_EQ(r.size(), 89u);
  EXPECT_EQ(getLe16(r, 2), 77u);
  EXPECT_EQ(r[12], 1u);
  EXPECT_EQ(Bytes(r.begin() + 13, r.begin() + 17), (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));
  EXPECT_EQ(Bytes(r.begin() + 17, r.begin() + 21), (Bytes{0xFF, 0xFF, 0x01, 0x00}));
  EXPECT_EQ(Bytes(r.begin() + 21, r.begin() + 25), (Bytes{0xC7, 0xE0, 0xE3, 0x00}));
  EXPECT_EQ(Bytes(r.begin() + 25, r.begin() + 53), Bytes(28, 0));
  EXPECT_EQ(Bytes(r.begin() + 53, r.begin() + 55), (Bytes{0x03, 0x0A}));
  EXPECT_EQ(Bytes(r.begin() + 55, r.begin() + 60), (Bytes{'M', 'A', 'I', 'N', 0}));
  EXPECT_EQ(Bytes(r.begin() + 87, r.begin() + 89), (Bytes{0x05, 0x02}));
}

TEST(MainProgramTest, TextsOfThirtyTwoBytesOrMoreFillTheirFieldsWithoutSpilling) {
  SimulatedDevice device(
      DeviceConfig{.text1 = std::string(40, 'x'), .text2 = std::string(32, 'y')});
  const auto reply = device.answer(deviceCommand(0x03));
  ASSERT_TRUE(reply);
  EXPECT_EQ(Bytes(reply->begin() + 21, reply->begin() + 53), Bytes(32, 'x'));
  EXPECT_EQ(getLe16(*reply, 53), 0x0102u);
  EXPECT_EQ(Bytes(reply->begin() + 55, reply->begin() + 87), Bytes(32, 'y'));
}

TEST(MainProgramTest, UnknownCommandFailsAndBareRecordsAreNotForTheMainProgram) {
  SimulatedDevice device;
  const auto unknown = device.answer(deviceCommand(0x09));
  ASSERT_TRUE(unknown);
  EXPECT_NE((*unknown)[12], device_status::kOk);

  EXPECT_FALSE(device.answer(rawRecord(samplePayload(100, 1))));
  EXPECT_EQ(device.log().back().kind, RequestKind::Malformed);
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST(BootMonitorTest, HandOverThenRecordsAreKeptInOrder) {
  SimulatedDevice device;
  const auto handOver = device.answer(deviceCommand(0x07, 0));
  ASSERT_TRUE(handOver);
  EXPECT_EQ((*handOver)[12], device_status::kOk);
  EXPECT_EQ(getLe16(*handOver, 2), 77u);
  ASSERT_TRUE(device.inBootMonitor());

  const Bytes first = samplePayload(300, 1);
  const Bytes second = samplePayload(77, 2);
  const Bytes third = samplePayload(1024, 3);
  std::uint32_t sequence = 1;
  for (const Bytes* record : {&first, &second, &third}) {
    const Bytes request = rawRecord(*record, sequence++);
    const auto reply = device.answer(request);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(test::passesLinkTests(*reply, request));
    EXPECT_EQ((*reply)[12], device_status::kOk);
  }
  Bytes expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(device.programmedData(), expected);
  EXPECT_EQ(device.programmedRecords(), 3u);
}

TEST(BootMonitorTest, TheVeryFrameSentAgainIsAnsweredAgainButNotApplied) {
  SimulatedDevice device(DeviceConfig{.startInBootMonitor = true});
  const Bytes record = samplePayload(128, 9);
  const Bytes request = rawRecord(record, 5);
  const auto first = device.answer(request);
  const auto again = device.answer(request);
  ASSERT_TRUE(first && again);
  EXPECT_EQ(*first, *again);
  EXPECT_EQ(device.programmedData(), record);
  EXPECT_EQ(device.programmedRecords(), 1u);
  EXPECT_TRUE(device.log().back().repeated);

  // Same token and sequence with other bytes is a request of its own (the one before failed).
  const Bytes other = samplePayload(128, 10);
  ASSERT_TRUE(device.answer(rawRecord(other, 5)));
  EXPECT_EQ(device.programmedRecords(), 2u);
  // And an older frame coming back after another one is applied again: only the one before counts.
  ASSERT_TRUE(device.answer(request));
  EXPECT_EQ(device.programmedRecords(), 3u);
}

TEST(BootMonitorTest, HandOverWhoseReplyWasLostIsAnsweredAgainByTheBootMonitor) {
  SimulatedDevice device;
  device.faults().dropReplies(firstRequests(1));
  const Bytes handOver = deviceCommand(0x07, 3);
  EXPECT_FALSE(device.answer(handOver));
  ASSERT_TRUE(device.inBootMonitor());
  const auto again = device.answer(handOver);
  ASSERT_TRUE(again);
  EXPECT_EQ((*again)[12], device_status::kOk);
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST(BootMonitorTest, StillAnswersTheInformationQueryAndTakesNoBusCommands) {
  SimulatedDevice device(DeviceConfig{.startInBootMonitor = true, .subordinates = {{5, {}}}});
  const auto info = device.answer(deviceCommand(0x03));
  ASSERT_TRUE(info);
  EXPECT_EQ((*info)[12], device_status::kOk);
  EXPECT_EQ(getLe32(*info, 13), 0x000012ABu);
  const auto bus = device.answer(test::busRequest(5, 0x03, {}, 256));
  ASSERT_TRUE(bus);
  EXPECT_NE((*bus)[12], device_status::kOk);
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST(BootMonitorTest, ARecordShorterThanTheMinimumGetsAReplyTheProgramMustRefuse) {
  SimulatedDevice device(DeviceConfig{.startInBootMonitor = true});
  const Bytes request = rawRecord(samplePayload(76, 4));
  const auto reply = device.answer(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(getLe16(*reply, 2), 77u);
  EXPECT_FALSE(test::passesLinkTests(*reply, request));
}

TEST(BootMonitorTest, RestartReturnsToTheMainProgramAndKeepsTheBytes) {
  SimulatedDevice device(DeviceConfig{.startInBootMonitor = true});
  ASSERT_TRUE(device.answer(rawRecord(samplePayload(90, 1))));
  device.restart();
  EXPECT_FALSE(device.inBootMonitor());
  EXPECT_EQ(device.programmedData().size(), 90u);
}

}  // namespace
}  // namespace korvel
