// Subordinates on the device's bus: the query, the preparation, records with the resend byte, and
// the address restore.
#include <gtest/gtest.h>

#include "device_model/device_requests.h"
#include "device_model/device_status.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"

namespace korvel {
namespace {

using test::busRecord;
using test::busRequest;
using test::restoreRequest;

constexpr std::uint8_t kHome = 5;

class BusSubordinateTest : public ::testing::Test {
 protected:
  SimulatedDevice device{
      DeviceConfig{.subordinates = {{kHome, {0xDE, 0xAD, 0xBE, 0xEF}}, {9, {}}}}};
  std::uint32_t sequence = 0;

  Bytes ask(const Bytes& request) {
    auto reply = device.answer(request);
    EXPECT_TRUE(reply) << describe(device.log().back());
    if (!reply) return Bytes(89, 0);
    EXPECT_TRUE(test::passesLinkTests(*reply, request));
    return *reply;
  }

  void prepare() {
    ASSERT_EQ(ask(busRequest(kHome, 0x03, {}, 256, sequence++))[12], 1u);
    ASSERT_EQ(ask(busRequest(kHome, 0x07, {}, 128, sequence++))[12], 1u);
    ASSERT_EQ(ask(busRequest(0xFE, 0x08, {}, 128, sequence++))[12], 1u);
  }

  Bytes record(std::uint8_t type, const Bytes& data) {
    return ask(busRecord(type, data, sequence++));
  }

  const SimulatedDevice::SubordinateState& sub() const { return *device.subordinate(kHome); }
};

TEST_F(BusSubordinateTest, QueryAnswersTheSavedValueAtFrameBytes121To124) {
  const Bytes reply = ask(busRequest(kHome, 0x03, {}, 256));
  EXPECT_EQ(reply[12], 1u);
  EXPECT_GE(getLe16(reply, 2), 113u);
  EXPECT_EQ(Bytes(reply.begin() + 121, reply.begin() + 125), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST_F(BusSubordinateTest, NobodyAtTheAddressFails) {
  EXPECT_NE(ask(busRequest(7, 0x03, {}, 256))[12], 1u);
  EXPECT_NE(ask(busRequest(0xFE, 0x08, {}, 128))[12], 1u);
}

TEST_F(BusSubordinateTest, PreparationMovesTheSubordinateToAddress254AndMakesItReady) {
  prepare();
  EXPECT_EQ(sub().busAddress, 0xFE);
  EXPECT_TRUE(sub().ready);
  EXPECT_EQ(device.subordinate(9)->busAddress, 9);
  EXPECT_NE(ask(busRequest(kHome, 0x03, {}, 256, sequence++))[12], 1u);
}

TEST_F(BusSubordinateTest, ASubordinateLeftAt254IsReachedThereByThePreparationsFallback) {
  ASSERT_EQ(ask(busRequest(kHome, 0x07, {}, 128, sequence++))[12], 1u);
  // A later run: the query at the home address finds nobody, 0x07 goes to 254.
  EXPECT_NE(ask(busRequest(kHome, 0x03, {}, 256, sequence++))[12], 1u);
  EXPECT_EQ(ask(busRequest(0xFE, 0x07, {}, 128, sequence++))[12], 1u);
  EXPECT_EQ(ask(busRequest(0xFE, 0x08, {}, 128, sequence++))[12], 1u);
  EXPECT_TRUE(sub().ready);
}

TEST_F(BusSubordinateTest, RecordsBeforeTheSubordinateIsReadyAreRefused) {
  EXPECT_NE(record(0x21, samplePayload(16, 1))[12], 1u);
  ASSERT_EQ(ask(busRequest(kHome, 0x07, {}, 128, sequence++))[12], 1u);
  EXPECT_NE(record(0x21, samplePayload(16, 1))[12], 1u);
  EXPECT_TRUE(sub().programmedData.empty());
}

// The simulator's reserve for measurements: the stores are ready before the first record and
// take record after record in place, in the device and on its bus.
TEST(StoreReserveTest, RecordsLandInMemorySetAsideBeforehand) {
  constexpr std::size_t kReserve = 64u << 10;
  SimulatedDevice device(DeviceConfig{.subordinates = {{kHome, {}}}, .storeReserve = kReserve});
  const std::uint8_t* deviceStore = device.programmedData().data();
  const std::uint8_t* subordinateStore = device.subordinate(kHome)->programmedData.data();
  ASSERT_NE(deviceStore, nullptr);
  ASSERT_NE(subordinateStore, nullptr);

  std::uint32_t sequence = 0;
  for (const auto& [address, code] : {std::pair{kHome, 0x03}, {kHome, 0x07}, {0xFE, 0x08}}) {
    ASSERT_TRUE(
        device.answer(busRequest(address, static_cast<std::uint8_t>(code), {}, 256, sequence++)));
  }
  Bytes expected;
  for (std::uint32_t i = 0; i < 60; ++i) {
    const Bytes data = samplePayload(1024, i);
    ASSERT_TRUE(device.answer(busRecord(0x21, data, sequence++)));
    expected.insert(expected.end(), data.begin(), data.end());
  }
  ASSERT_TRUE(device.answer(test::deviceCommand(0x07, sequence++)));  // to the boot monitor
  for (std::uint32_t i = 0; i < 60; ++i) {
    ASSERT_TRUE(device.answer(test::rawRecord(samplePayload(1024, 100 + i), sequence++)));
  }
  EXPECT_EQ(device.subordinate(kHome)->programmedData, expected);
  EXPECT_EQ(device.subordinate(kHome)->programmedData.data(), subordinateStore);
  EXPECT_EQ(device.programmedData().size(), 60u * 1024u);
  EXPECT_EQ(device.programmedData().data(), deviceStore);
}

TEST_F(BusSubordinateTest, RecordsAreAcknowledgedWithTheResendByteAtFrameByte89) {
  prepare();
  const Bytes data = samplePayload(40, 1);
  const Bytes reply = record(0x21, data);
  EXPECT_EQ(reply[12], 1u);
  EXPECT_EQ(getLe16(reply, 2), 78u);
  EXPECT_EQ(reply[89], 0x01);
  EXPECT_EQ(sub().programmedData, data);
  EXPECT_EQ(sub().records, 1u);
  EXPECT_EQ(device.log().back().kind, RequestKind::BusRecord);
  EXPECT_EQ(device.log().back().code, 0x21);
  EXPECT_EQ(device.log().back().dataLength, 40u);
}

TEST_F(BusSubordinateTest, RecordsOfAnyTypeAndLengthAreToldFromCommandsByTheirShape) {
  prepare();
  Bytes expected;
  // Types that are also command codes, lengths whose count byte wraps, and an empty record.
  const std::pair<std::uint8_t, std::size_t> records[] = {{0x0B, 0},    {0x03, 253}, {0x04, 254},
                                                          {0x05, 1024}, {0x07, 1},   {0x08, 700}};
  std::uint32_t seed = 1;
  for (const auto& [type, length] : records) {
    const Bytes data = samplePayload(length, seed++);
    EXPECT_EQ(record(type, data)[89], 0x01) << "type " << int(type) << " length " << length;
    expected.insert(expected.end(), data.begin(), data.end());
  }
  EXPECT_EQ(sub().programmedData, expected);
  EXPECT_EQ(sub().records, 6u);
  EXPECT_TRUE(sub().ready);
}

TEST_F(BusSubordinateTest, AResendRequestDropsTheRecordsItNamesUntilTheyComeAgain) {
  prepare();
  std::vector<Bytes> data;
  for (std::uint32_t i = 0; i < 4; ++i) data.push_back(samplePayload(30, i));
  // Record 4 is answered 0x05: taken, the two before it to be sent again.
  device.faults().answerResendByte(0x05, onlyRequest(4));
  for (const auto& d : data) record(0x21, d);
  EXPECT_EQ(device.log().back().resendByte, 0x05);
  EXPECT_EQ(sub().records, 1u);
  // The program sends records 2, 3 and 4 again.
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(record(0x21, data[i])[89], 0x01);
  Bytes expected;
  for (const auto& d : data) expected.insert(expected.end(), d.begin(), d.end());
  EXPECT_EQ(sub().programmedData, expected);
  EXPECT_EQ(sub().recordSizes, (std::vector<std::size_t>{30, 30, 30, 30}));
}

TEST_F(BusSubordinateTest, ARecordNotTakenIsNotKept) {
  prepare();
  device.faults().answerResendByte(0x06, firstRequests(1));  // bit 0 clear: not taken
  const Bytes data = samplePayload(50, 3);
  EXPECT_EQ(record(0x21, data)[89], 0x06);
  EXPECT_TRUE(sub().programmedData.empty());
  EXPECT_EQ(record(0x21, data)[89], 0x01);
  EXPECT_EQ(sub().programmedData, data);
}

TEST_F(BusSubordinateTest, ARecordFrameSentAgainIsNotKeptTwice) {
  prepare();
  const Bytes data = samplePayload(64, 3);
  const Bytes request = busRecord(0x21, data, sequence);
  ask(request);
  ask(request);
  EXPECT_EQ(sub().programmedData, data);
}

// A status fault on the answer to a repeat would say "not done" about a record the subordinate
// already keeps, and the program would rightly send it once more: the device, not the program,
// would then hold it twice. The repeat gets the first answer; a refused first answer stays one.
TEST_F(BusSubordinateTest, ARepeatIsAnsweredAsTheFirstTimeWhateverTheStatusFault) {
  prepare();
  const Bytes data = samplePayload(64, 3);
  const Bytes request = busRecord(0x21, data, sequence++);
  ask(request);
  device.faults().answerStatus(0, {FaultMatch::Target::BusRecord});
  EXPECT_EQ(ask(request)[12], 1u);
  EXPECT_TRUE(device.log().back().repeated);

  const Bytes refused = busRecord(0x21, samplePayload(64, 4), sequence++);
  EXPECT_EQ(ask(refused)[12], 0u);
  device.faults().clear();
  EXPECT_EQ(ask(refused)[12], 0u);
  EXPECT_EQ(sub().programmedData, data);
}

TEST_F(BusSubordinateTest, TheRestorePutsTheSubordinateBackWithTheValueHandedBack) {
  prepare();
  record(0x21, samplePayload(10, 1));
  EXPECT_EQ(ask(restoreRequest(0x02, 0x0B, 0, 0, 0, 0, 128, sequence++))[12], 1u);
  EXPECT_FALSE(sub().ready);
  const Bytes query = ask(restoreRequest(0x02, 0x03, 0, 0, 0, 0, 256, sequence++));
  EXPECT_EQ(query[12], 1u);
  EXPECT_EQ(ask(restoreRequest(0x06, 0x05, 0xDE, 0xAD, 0xBE, 0xEF, 128, sequence++))[12], 1u);
  EXPECT_EQ(ask(restoreRequest(0x03, 0x04, kHome, 0xAD, 0xBE, 0xEF, 128, sequence++))[12], 1u);
  EXPECT_EQ(sub().busAddress, kHome);
  EXPECT_TRUE(sub().restored);
  EXPECT_EQ(sub().handedBack, (std::array<std::uint8_t, 4>{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(ask(busRequest(kHome, 0x03, {}, 256, sequence++))[12], 1u);
}

}  // namespace
}  // namespace korvel
