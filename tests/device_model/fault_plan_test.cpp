// Injected faults: which requests they hit, and what they do to the reply.
#include <gtest/gtest.h>

#include "device_model/device_requests.h"
#include "device_model/fault_plan.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "link/crc16.h"

namespace korvel {
namespace {

using test::deviceCommand;

// Which of `requests` information queries were answered.
std::vector<bool> answered(SimulatedDevice& device, int requests) {
  std::vector<bool> result;
  for (int i = 0; i < requests; ++i) {
    result.push_back(device.answer(deviceCommand(0x03, static_cast<std::uint32_t>(i))).has_value());
  }
  return result;
}

TEST(FaultTriggerTest, FirstEveryNthAndOnlyOne) {
  SimulatedDevice first;
  first.faults().dropReplies(firstRequests(2));
  EXPECT_EQ(answered(first, 4), (std::vector<bool>{false, false, true, true}));

  SimulatedDevice every;
  every.faults().dropReplies(everyRequest(3));
  EXPECT_EQ(answered(every, 7), (std::vector<bool>{false, true, true, false, true, true, false}));

  SimulatedDevice third;
  third.faults().dropRequests(onlyRequest(3));
  EXPECT_EQ(answered(third, 4), (std::vector<bool>{true, true, false, true}));
}

TEST(FaultTriggerTest, ProbabilityIsRepeatableForASeedAndDiffersBetweenSeeds) {
  auto pattern = [](std::uint64_t seed) {
    SimulatedDevice device;
    device.faults().reseed(seed);
    device.faults().dropReplies(withProbability(0.5));
    return answered(device, 64);
  };
  const auto a = pattern(1);
  EXPECT_EQ(a, pattern(1));
  EXPECT_NE(a, pattern(2));
  const auto dropped = std::count(a.begin(), a.end(), false);
  EXPECT_GT(dropped, 16);
  EXPECT_LT(dropped, 48);
}

TEST(FaultTriggerTest, RulesCountOnlyTheRequestsTheyMatch) {
  SimulatedDevice device(DeviceConfig{.subordinates = {{5, {}}}});
  device.faults().answerStatus(
      0, FaultMatch{.target = FaultMatch::Target::BusCommand, .code = 0x08}, onlyRequest(2));
  const auto status = [&](const Bytes& request) { return (*device.answer(request))[12]; };
  EXPECT_EQ(status(deviceCommand(0x03)), 1);
  EXPECT_EQ(status(test::busRequest(5, 0x07, {}, 128)), 1);
  EXPECT_EQ(status(test::busRequest(0xFE, 0x08, {}, 128, 1)), 1);
  EXPECT_EQ(status(deviceCommand(0x03, 2)), 1);
  EXPECT_EQ(status(test::busRequest(0xFE, 0x08, {}, 128, 3)), 0);
}

TEST(FaultEffectTest, AnErrorStatusMeansTheDeviceDidNotAct) {
  SimulatedDevice device;
  device.faults().answerStatus(0, FaultMatch{.code = 0x07}, firstRequests(1));
  EXPECT_EQ((*device.answer(deviceCommand(0x07, 0)))[12], 0);
  EXPECT_FALSE(device.inBootMonitor());
  EXPECT_EQ((*device.answer(deviceCommand(0x07, 1)))[12], 1);
  EXPECT_TRUE(device.inBootMonitor());
}

TEST(FaultEffectTest, DroppedRequestIsNotActedOnButADroppedReplyIs) {
  SimulatedDevice device(DeviceConfig{.startInBootMonitor = true});
  device.faults().dropRequests(firstRequests(1));
  device.faults().dropReplies(onlyRequest(2));
  const Bytes record = test::rawRecord(samplePayload(80, 1));
  EXPECT_FALSE(device.answer(record));
  EXPECT_EQ(device.programmedRecords(), 0u);
  EXPECT_FALSE(device.answer(record));
  EXPECT_EQ(device.programmedRecords(), 1u);
  EXPECT_TRUE(device.answer(record));
  EXPECT_EQ(device.programmedRecords(), 1u);
}

TEST(FaultEffectTest, EachBrokenReplyFailsExactlyOneOfTheLinksTests) {
  const Bytes request = deviceCommand(0x03, 0);
  const std::uint16_t requestLength = getLe16(request, 2);
  struct Case {
    FaultKind kind;
    std::function<void(const Bytes&)> check;
  };
  const Case cases[] = {
      {FaultKind::BadChecksum,
       [](const Bytes& r) { EXPECT_NE(getLe16(r, 0), Crc16(ByteView(r).subspan(2))); }},
      {FaultKind::SameToken, [](const Bytes& r) { EXPECT_EQ(getLe32(r, 4), test::kToken); }},
      {FaultKind::LengthTooShort,
       [](const Bytes& r) {
         EXPECT_EQ(getLe16(r, 2), 76u);
         EXPECT_EQ(r.size(), 88u);
       }},
      {FaultKind::LengthTooLong,
       [&](const Bytes& r) {
         EXPECT_EQ(getLe16(r, 2), requestLength + 1u);
         EXPECT_EQ(r.size(), requestLength + 13u);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(faultKindName(c.kind));
    SimulatedDevice device;
    device.faults().corrupt(c.kind, firstRequests(1));
    const auto broken = device.answer(request);
    ASSERT_TRUE(broken);
    EXPECT_FALSE(test::passesLinkTests(*broken, request));
    c.check(*broken);
    if (c.kind != FaultKind::BadChecksum) {
      EXPECT_EQ(getLe16(*broken, 0), Crc16(ByteView(*broken).subspan(2)));
    }
    if (c.kind != FaultKind::SameToken) {
      EXPECT_EQ(getLe32(*broken, 4), ~test::kToken);
    }
    const auto next = device.answer(request);
    ASSERT_TRUE(next);
    EXPECT_TRUE(test::passesLinkTests(*next, request));
  }
}

TEST(FaultEffectTest, ALateReplyIsTheReplyToTheRequestBefore) {
  SimulatedDevice device(DeviceConfig{.subordinates = {{5, {1, 2, 3, 4}}}});
  device.faults().corrupt(FaultKind::LateReply, onlyRequest(2));
  const auto info = device.respond(deviceCommand(0x03, 0));
  EXPECT_FALSE(info.lateReply);
  const auto query = device.respond(test::busRequest(5, 0x03, {}, 256, 1));
  ASSERT_TRUE(query.reply && query.lateReply);
  EXPECT_EQ(*query.lateReply, *info.reply);
  EXPECT_EQ(getLe32(*query.reply, 8), 1u);
  EXPECT_TRUE(device.log().back().lateReplyFirst);
}

TEST(FaultEffectTest, DelayAndNoResendByte) {
  SimulatedDevice device(DeviceConfig{.subordinates = {{5, {}}}});
  device.faults().add({FaultKind::Delay, {}, firstRequests(1), 0, std::chrono::milliseconds(1500)});
  const auto delayed = device.respond(deviceCommand(0x03));
  EXPECT_TRUE(delayed.reply);
  EXPECT_EQ(delayed.delay, std::chrono::milliseconds(1500));
  EXPECT_EQ(device.respond(deviceCommand(0x03, 1)).delay, std::chrono::milliseconds(0));

  ASSERT_TRUE(device.answer(test::busRequest(5, 0x08, {}, 128, 2)));
  device.faults().corrupt(FaultKind::OmitResendByte, firstRequests(1),
                          FaultMatch{.target = FaultMatch::Target::BusRecord});
  const auto reply = device.answer(test::busRecord(0x21, samplePayload(20, 1), 3));
  ASSERT_TRUE(reply);
  EXPECT_EQ(getLe16(*reply, 2), 77u);
  EXPECT_EQ((*reply)[12], 1);
  EXPECT_EQ(device.subordinate(5)->records, 1u);
}

TEST(FaultTextTest, ReadsEveryKindAndKey) {
  std::string error;
  const auto rule =
      parseFaultRule("status=0x02,target=bus,code=3,address=254,skip=1,every=2,count=3", error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->kind, FaultKind::Status);
  EXPECT_EQ(rule->value, 2);
  EXPECT_EQ(rule->match.target, FaultMatch::Target::BusCommand);
  EXPECT_EQ(rule->match.code, 3);
  EXPECT_EQ(rule->match.busAddress, 254);
  EXPECT_EQ(rule->when.skip, 1u);
  EXPECT_EQ(rule->when.every, 2u);
  EXPECT_EQ(rule->when.count, 3u);

  const auto delay = parseFaultRule("delay=1500,probability=0.25", error);
  ASSERT_TRUE(delay) << error;
  EXPECT_EQ(delay->delay, std::chrono::milliseconds(1500));
  EXPECT_DOUBLE_EQ(delay->when.probability, 0.25);

  const auto resend = parseFaultRule("resend=5,nth=4", error);
  ASSERT_TRUE(resend) << error;
  EXPECT_EQ(resend->match.target, FaultMatch::Target::BusRecord);
  EXPECT_EQ(resend->when.skip, 3u);
  EXPECT_EQ(resend->when.count, 1u);

  for (const char* name : {"drop-request", "drop-reply", "no-resend-byte", "bad-checksum",
                           "same-token", "short", "long", "late"}) {
    const auto simple = parseFaultRule(std::string(name) + ",first=2", error);
    ASSERT_TRUE(simple) << name << ": " << error;
    EXPECT_EQ(faultKindName(simple->kind), name);
    EXPECT_EQ(simple->when.count, 2u);
  }
}

TEST(FaultTextTest, RefusesWhatItCannotReadWithAReason) {
  const char* bad[] = {"",
                       "explode",
                       "status",
                       "status=300",
                       "delay=soon",
                       "late=1",
                       "drop-reply,every=0",
                       "drop-reply,probability=1.5",
                       "drop-reply,colour=red",
                       "drop-reply,target=moon",
                       "drop-reply,first="};
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(parseFaultRule(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace korvel
