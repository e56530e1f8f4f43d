#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "programming_run_fixture.h"

#include "support/recording_exchanges.h"
#include "support/recording_locks.h"
#include "support/recording_observer.h"

namespace korvel {
namespace {

using test::kDeviceIp;
using test::kSubordinate;
using test::ProgrammingRunTest;

TEST_F(ProgrammingRunTest, BootImageEndsUpInTheDevice) {
  makeRecords(5, 300);
  const Bytes image = bootImage();
  runImage(image);
  EXPECT_TRUE(panel.warnings.empty()) << panel.warnings.front();
  EXPECT_EQ(device.programmedData(), expected);
  EXPECT_EQ(count(RequestKind::DeviceCommand, 0x07), 1u);
  EXPECT_EQ(count(RequestKind::RawRecord), 5u);
  EXPECT_EQ(panel.rangeUpper, static_cast<std::int64_t>(image.size()));
  EXPECT_EQ(panel.pumps, 2 + 5);  // name, version, five records
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{2000});
  EXPECT_EQ(panel.info.substr(0, 6), "'BOOT'");
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, ProgressFollowsTheFilePosition) {
  makeRecords(4, 994);  // each record 1000 bytes in the file
  runImage(ImageBuilder()
               .data(12, records[0])
               .data(12, records[1])
               .data(12, records[2])
               .data(12, records[3])
               .bytes());
  EXPECT_EQ(panel.rangeLower, 0);
  EXPECT_EQ(panel.rangeUpper, 4000);
  // After the query's own positions: 1000, 2000, 3000, 4000, then 0.
  const std::vector<std::int64_t> tail(panel.positions.end() - 5, panel.positions.end());
  EXPECT_EQ(tail, (std::vector<std::int64_t>{1000, 2000, 3000, 4000, 0}));
}

TEST_F(ProgrammingRunTest, ViaBootSendsNoHandOver) {
  device = SimulatedDevice([] {
    DeviceConfig config;
    config.startInBootMonitor = true;
    return config;
  }());
  panel.viaBootChecked = true;
  makeRecords(2, 100);
  runImage(bootImage());
  EXPECT_TRUE(panel.warnings.empty());
  EXPECT_EQ(count(RequestKind::DeviceCommand, 0x07), 0u);
  EXPECT_EQ(device.programmedData(), expected);
}

TEST_F(ProgrammingRunTest, WrongPacketTypeIsFoundBeforeTheHandOver) {
  makeRecords(2, 100);
  runImage(bootImage(13));
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kUnsupportedPacketType});
  expectOnlyTheInformationQuery();
  EXPECT_EQ(panel.inputsEnabledAtWarning, std::vector<bool>{false});
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, SubordinateImageIsDeliveredAndTheAddressRestored) {
  makeRecords(6, 200);
  device.faults().answerResendByte(0x05, onlyRequest(4), {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  EXPECT_TRUE(panel.warnings.empty()) << panel.warnings.front();
  const auto* sub = device.subordinate(kSubordinate);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->programmedData, expected);
  EXPECT_TRUE(sub->restored);
  EXPECT_EQ(sub->busAddress, kSubordinate);
  EXPECT_EQ(sub->handedBack, (std::array<std::uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(count(RequestKind::BusRecord), 6u + 3u);
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, SubordinateViaBootIsRefusedBeforeContact) {
  panel.viaBootChecked = true;
  makeRecords(2, 100);
  runImage(subordinateImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kSubordinateViaBoot});
  EXPECT_EQ(count(RequestKind::BusCommand) + count(RequestKind::BusRecord), 0u);
}

TEST_F(ProgrammingRunTest, FailedPreparationSendsNoRecord) {
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, 0x08});
  makeRecords(2, 100);
  runImage(subordinateImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kCommError});
  EXPECT_EQ(count(RequestKind::BusRecord), 0u);
  EXPECT_EQ(count(RequestKind::BusCommand, 0x0B), 0u);
}

TEST_F(ProgrammingRunTest, FailedRestoreIsReportedAfterAllRecords) {
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, 0x0B});
  makeRecords(3, 100);
  runImage(subordinateImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kRestoreFailed});
  EXPECT_EQ(device.subordinate(kSubordinate)->programmedData, expected);
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, FormatErrorsStopBeforeTheDeviceIsContacted) {
  const std::vector<Bytes> broken = {
      ImageBuilder().raw({0xAA, 0x0C, 0, 0, 0, 0}).bytes(),                   // length 0
      ImageBuilder().dataWithLength(12, 500, samplePayload(100, 1)).bytes(),  // cut short
      ImageBuilder().name("X").raw({0x42}).bytes(),
  };
  for (const auto& image : broken) {
    device.log().clear();
    panel.warnings.clear();
    runImage(image);
    EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kFormatError});
    EXPECT_EQ(count(RequestKind::DeviceCommand, 0x03), device.log().size());
  }
}

TEST_F(ProgrammingRunTest, RecordsTooLongForOneEchoRequestAreNeverSent) {
  // 12 + 65,496 and 112 + 65,396 bytes: one more than an IPv4 echo request carries.
  runImage(ImageBuilder().data(12, samplePayload(65496, 1)).bytes());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kRecordTooLong});
  panel.warnings.clear();
  runImage(ImageBuilder().address(kSubordinate).data(1, samplePayload(65396, 1)).bytes());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kRecordTooLong});
  EXPECT_EQ(count(RequestKind::RawRecord) + count(RequestKind::BusRecord), 0u);
  EXPECT_EQ(count(RequestKind::BusCommand), 0u);  // the subordinate was not prepared either
}

TEST_F(ProgrammingRunTest, AFindingAnywhereInTheImageStopsTheRunBeforeAnySend) {
  makeRecords(3, 100);
  const auto late = [this](std::initializer_list<std::uint8_t> tail) {
    ImageBuilder image;
    image.data(12, records[0]).data(12, records[1]).raw(tail);
    return image.bytes();
  };
  const Bytes truncated = [&] {
    Bytes image = bootImage();
    image.resize(image.size() - 30);
    return image;
  }();
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {truncated, text::kFormatError},
      {late({0x42}), text::kFormatError},
      {ImageBuilder().data(12, records[0]).data(13, records[1]).bytes(),
       text::kUnsupportedPacketType},
      {ImageBuilder().data(12, records[0]).data(12, samplePayload(65496, 2)).bytes(),
       text::kRecordTooLong},
      {ImageBuilder()
           .address(kSubordinate)
           .data(0x21, records[0])
           .data(0x21, records[1])
           .raw({0xBB, 0xCD, 0x05})
           .bytes(),
       text::kFormatError},
      {ImageBuilder()
           .address(kSubordinate)
           .data(0x21, records[0])
           .data(0x21, samplePayload(65396, 3))
           .bytes(),
       text::kRecordTooLong},
      // Records for another target would go into the subordinate waiting at 254.
      {ImageBuilder()
           .address(kSubordinate)
           .data(0x21, records[0])
           .address(kSubordinate + 1)
           .data(0x21, records[1])
           .bytes(),
       text::kFormatError},
      {ImageBuilder().address(kSubordinate).data(0x21, records[0]).address(255).bytes(),
       text::kFormatError},
  };
  for (const auto& [image, failure] : cases) {
    device.log().clear();
    panel.warnings.clear();
    runImage(image);
    EXPECT_EQ(panel.warnings, std::vector<std::string>{failure});
    expectOnlyTheInformationQuery();
  }
  EXPECT_TRUE(device.subordinate(kSubordinate)->programmedData.empty());
}

TEST_F(ProgrammingRunTest, ASendRefusedForItsSizeStopsAtOnce) {
  makeRecords(3, 1500);
  echo.refuseSendsLargerThan(1400);
  runImage(bootImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kRecordExceedsPacket});
  EXPECT_EQ(echo.refusedForSize(), 1u);  // not sent four times more
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{2000});

  panel.warnings.clear();
  pauses.requested.clear();
  device.restart();  // out of the boot monitor it was left in
  runImage(subordinateImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kRecordExceedsPacket});
  EXPECT_EQ(echo.refusedForSize(), 2u);
  EXPECT_EQ(std::count(pauses.requested.begin(), pauses.requested.end(), 100u), 0);
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, TheRestoreGivesBackThePreparedAddress) {
  makeRecords(2, 100);
  runImage(ImageBuilder()
               .address(kSubordinate)
               .data(0x21, records[0])
               .address(kSubordinate)  // the same subordinate again changes nothing
               .data(0x21, records[1])
               .bytes());
  EXPECT_TRUE(panel.warnings.empty()) << panel.warnings.front();
  const auto* sub = device.subordinate(kSubordinate);
  EXPECT_TRUE(sub->restored);
  EXPECT_EQ(sub->busAddress, kSubordinate);
  EXPECT_EQ(sub->programmedData, expected);
}

TEST_F(ProgrammingRunTest, AnEarlyResendRequestInASecondRunSendsOnlyThisRunsRecords) {
  makeRecords(4, 100);
  runImage(subordinateImage());
  ASSERT_TRUE(panel.warnings.empty());
  device.log().clear();
  // The first record of the next run comes back with "send the three before again".
  device.faults().answerResendByte(0x07, onlyRequest(1), {FaultMatch::Target::BusRecord});
  runImage(ImageBuilder().address(kSubordinate).data(0x21, samplePayload(200, 9)).bytes());
  EXPECT_TRUE(panel.warnings.empty()) << panel.warnings.front();
  EXPECT_EQ(busRecordBytes(), 2u * 200u);       // the record, and the same record again
  EXPECT_EQ(programmer.resendRing().index, 1);  // kept its place: four records, then one
}

// On Windows nobody else may write the image while a run has it open.
#ifndef _WIN32
TEST_F(ProgrammingRunTest, AFileRewrittenDuringTheRunStopsIt) {
  makeRecords(6, 20000);  // more than the reader takes from the file at once
  const Bytes original = bootImage();
  Bytes rewritten = original;
  for (std::size_t i = rewritten.size() - 600; i < rewritten.size(); ++i) rewritten[i] ^= 0x5A;
  panel.onPump = [&] {
    if (panel.pumps != 3) return;  // after the first record
    std::fstream file(panel.path, std::ios::in | std::ios::out | std::ios::binary);
    file.write(reinterpret_cast<const char*>(rewritten.data()),
               static_cast<std::streamsize>(rewritten.size()));
  };
  runImage(original);
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kFileChanged});
  // Only records of the checked image went out, and not all of them.
  const Bytes& got = device.programmedData();
  EXPECT_LT(got.size(), expected.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
  expectIdleAfterRun();
}

// Someone appends to the image while the run sends its first record.
void appendToTheFileAfterTheFirstRecord(test::RecordingPanel& panel) {
  panel.onPump = [&panel] {
    if (panel.pumps != 3) return;
    std::ofstream file(panel.path, std::ios::app | std::ios::binary);
    file << "more";
  };
}

TEST_F(ProgrammingRunTest, AFileThatGrowsDuringTheRunStopsIt) {
  makeRecords(3, 200);
  appendToTheFileAfterTheFirstRecord(panel);
  runImage(bootImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kFileChanged});
  EXPECT_EQ(device.programmedData(), expected);  // what was checked, and nothing of the rest
}

// The bytes sent are still the checked ones, so the run looks at the file's time only now and
// then; it stops well before the end all the same.
TEST_F(ProgrammingRunTest, AFileThatGrowsDuringALongRunStopsItSoonAfter) {
  makeRecords(200, 100);
  appendToTheFileAfterTheFirstRecord(panel);
  runImage(bootImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kFileChanged});
  EXPECT_LE(device.programmedRecords(), 64u);
  const Bytes& got = device.programmedData();
  EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
}
#endif

TEST_F(ProgrammingRunTest, RunsAndQueriesHoldTheDeviceLock) {
  test::RecordingLocks locks;
  programmer.setDeviceLocks(&locks);
  makeRecords(1, 100);
  runImage(bootImage());
  EXPECT_EQ(locks.taken, std::vector<Ipv4Address>{kDeviceIp});  // once, for the whole run
  EXPECT_EQ(locks.held, 0);

  locks.busy = true;
  device.log().clear();
  runImage(bootImage());
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kAnotherCopyRunning});
  EXPECT_TRUE(device.log().empty());
  EXPECT_TRUE(panel.inputsEnabled);
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.info, text::kAnotherCopyRunning);
  EXPECT_TRUE(device.log().empty());

  locks.busy = false;
  locks.unavailable = true;  // no lock to be had: the run goes ahead as without locks
  panel.warnings.clear();
  runImage(bootImage());
  EXPECT_TRUE(panel.warnings.empty());
  EXPECT_EQ(device.programmedRecords(), 2u);
}

TEST_F(ProgrammingRunTest, UnopenableOrEmptyImages) {
  panel.path = "";
  programmer.programDevice();
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kOpenFailed});
  EXPECT_TRUE(panel.inputsEnabled);
  panel.warnings.clear();
  runImage({});
  runImage(ImageBuilder().name("ONLY").version(1, 0).bytes());
  EXPECT_TRUE(panel.warnings.empty());
  EXPECT_EQ(count(RequestKind::DeviceCommand), 3u);  // the three information queries
}

TEST_F(ProgrammingRunTest, NoRestoreWithoutPreparation) {
  makeRecords(2, 100);
  // The address comes only after the first record: that record goes by the boot-monitor path.
  ImageBuilder image;
  image.data(12, records[0]).address(kSubordinate).data(0x21, records[1]);
  runImage(image.bytes());
  EXPECT_EQ(count(RequestKind::BusCommand), 0u);
  runImage(ImageBuilder().address(kSubordinate).bytes());
  EXPECT_EQ(count(RequestKind::BusCommand), 0u);
}

TEST_F(ProgrammingRunTest, AddressClearedAfterSubordinateRecords) {
  makeRecords(3, 100);
  ImageBuilder image;
  image.address(kSubordinate)
      .data(0x21, records[0])
      .address(255)
      .data(12, records[1])
      .data(12, records[2]);
  runImage(image.bytes());
  EXPECT_EQ(count(RequestKind::DeviceCommand, 0x07), 0u);
  EXPECT_EQ(count(RequestKind::BusCommand, 0x0B), 0u);
}

TEST_F(ProgrammingRunTest, RefusedCredentialsStopTheRunBeforeAnyRequest) {
  panel.loginText = "оператор";
  makeRecords(1, 100);
  runImage(bootImage());
  EXPECT_EQ(panel.info, text::kCredentialsBadCharacter);
  EXPECT_EQ(panel.warnings, std::vector<std::string>{text::kCredentialsBadCharacter});
  EXPECT_TRUE(device.log().empty());
  expectIdleAfterRun();
}

TEST_F(ProgrammingRunTest, NoIcmpAccessStopsTheRun) {
  echo.refuseOpening({EchoFailureKind::NotPermitted, 1, "Operation not permitted", ""});
  makeRecords(1, 100);
  runImage(bootImage());
  ASSERT_EQ(panel.warnings.size(), 1u);
  EXPECT_EQ(panel.warnings[0].rfind(text::kNoIcmpAccess, 0), 0u);
  EXPECT_EQ(panel.info, panel.warnings[0]);
  EXPECT_EQ(echo.exchanges(), 0u);
}

TEST_F(ProgrammingRunTest, LostRepliesDoNotDoubleRecords) {
  makeRecords(8, 150);
  device.faults().dropReplies(everyRequest(3), {FaultMatch::Target::RawRecord});
  runImage(bootImage());
  EXPECT_TRUE(panel.warnings.empty());
  EXPECT_EQ(device.programmedData(), expected);
}

// Each way a run ends is told apart by its outcome, whatever the message says.
TEST_F(ProgrammingRunTest, EveryRunEndsInAnOutcomeThatCarriesItsMessage) {
  makeRecords(3, 100);
  const auto fresh = [&] {
    panel.warnings.clear();
    device.faults().clear();
    device.restart();  // out of the boot monitor a boot run left it in
  };
  runImage(bootImage());
  expectOutcome(OutcomeKind::Done);
  fresh();
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::Done);
  fresh();
  runImage(bootImage(13));
  expectOutcome(OutcomeKind::PacketType);
  fresh();
  runImage(ImageBuilder().name("X").raw({0x42}).bytes());
  expectOutcome(OutcomeKind::FileFormat);
  fresh();
  runImage(ImageBuilder().data(12, samplePayload(65496, 1)).bytes());
  expectOutcome(OutcomeKind::RecordTooLong);
  fresh();
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, 0x0B});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::RestoreFailed);
  EXPECT_EQ(outcome.text, text::kRestoreFailed);
  fresh();
  device.faults().dropRequests(everyRequest(1), {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::LinkLost);
  fresh();
  panel.viaBootChecked = true;
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::SubordinateViaBoot);
  fresh();
  panel.viaBootChecked = false;
  panel.path = "";
  outcome = programmer.programDevice();
  expectOutcome(OutcomeKind::FileCannotOpen);
  fresh();
  panel.loginText = std::string(31, 'a');
  runImage(bootImage());
  expectOutcome(OutcomeKind::CredentialsTooLong);
  fresh();
  panel.loginText = "оператор";
  runImage(bootImage());
  expectOutcome(OutcomeKind::CredentialsBadCharacter);
}

// Where no lock can be made at all the work goes on, and the operator is told once per
// conversation, after the information.
TEST_F(ProgrammingRunTest, WithoutAnyLockRunsGoAheadAndSaySo) {
  test::RecordingLocks locks;
  programmer.setDeviceLocks(&locks);
  programmer.setInterfaceName("veth0");
  makeRecords(1, 100);
  runImage(bootImage());
  EXPECT_EQ(locks.takenInterfaces, std::vector<std::string>{"veth0"});
  EXPECT_TRUE(panel.notices.empty());

  locks.unavailable = true;
  device.restart();
  runImage(bootImage());
  expectOutcome(OutcomeKind::Done);
  programmer.queryDeviceInfo();
  EXPECT_EQ(panel.notices, std::vector<std::string>(2, text::kDeviceLockUnavailable));
}

TEST_F(ProgrammingRunTest, ABlockedRunHasItsOwnOutcome) {
  makeRecords(1, 100);
  test::RecordingLocks locks;
  locks.busy = true;
  programmer.setDeviceLocks(&locks);
  runImage(bootImage());
  expectOutcome(OutcomeKind::AnotherCopyRunning);
  panel.warnings.clear();
  programmer.setDeviceLocks(nullptr);
  echo.refuseOpening({EchoFailureKind::NotPermitted, 1, "Operation not permitted", "fix"});
  runImage(bootImage());
  expectOutcome(OutcomeKind::NoIcmpAccess);
  EXPECT_TRUE(outcome.text.ends_with("\r\nOperation not permitted\r\nfix")) << outcome.text;
}

TEST_F(ProgrammingRunTest, ABootRunTellsItsPhasesAndEveryRecordInOrder) {
  test::RecordingObserver observer;
  programmer.setProgressObserver(&observer);
  makeRecords(3, 100);
  runImage(bootImage());
  EXPECT_EQ(observer.phases(), (std::vector<Phase>{Phase::InformationQuery, Phase::ImageCheck,
                                                   Phase::EnteringBootMonitor, Phase::Sending}));
  const auto sending = observer.all<PhaseStarted>().back();
  const auto fileSize = std::filesystem::file_size(panel.path);
  EXPECT_EQ(sending.total, fileSize);
  const auto taken = observer.all<RecordTaken>();
  ASSERT_EQ(taken.size(), 3u);
  for (std::size_t i = 0; i < taken.size(); ++i) {
    EXPECT_EQ(taken[i].index, i);
    EXPECT_EQ(taken[i].bytesDone, 100 * (i + 1));
    EXPECT_EQ(taken[i].bytesTotal, 300u);
    EXPECT_EQ(taken[i].fileSize, fileSize);
  }
  EXPECT_LT(taken[0].filePosition, taken[1].filePosition);
  EXPECT_EQ(taken[2].filePosition, fileSize);
  ASSERT_TRUE(std::holds_alternative<Finished>(observer.events.back()));
  EXPECT_EQ(std::get<Finished>(observer.events.back()).outcome, Outcome{});
  EXPECT_TRUE(observer.all<AttemptFailed>().empty());
}

TEST_F(ProgrammingRunTest, ASubordinateRunTellsResendsRetriesAndTheRestore) {
  test::RecordingObserver observer;
  programmer.setProgressObserver(&observer);
  makeRecords(6, 200);
  // The first record's first attempt goes unanswered (all five echoes); the fourth record is
  // answered with a request for two records again.
  device.faults().dropRequests(firstRequests(5), {FaultMatch::Target::BusRecord});
  device.faults().answerResendByte(0x05, onlyRequest(9), {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::Done);
  EXPECT_EQ(observer.phases(),
            (std::vector<Phase>{Phase::InformationQuery, Phase::ImageCheck,
                                Phase::PreparingSubordinate, Phase::Sending, Phase::Restoring}));
  const auto resends = observer.all<ResendRequested>();
  ASSERT_EQ(resends.size(), 1u);
  EXPECT_EQ(resends[0].count, 2u);
  const auto failed = observer.all<AttemptFailed>();
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].request, Request::BusRecord);
  EXPECT_EQ(failed[0].attempt, 1);
  EXPECT_TRUE(failed[0].retried);
  EXPECT_EQ(observer.all<RecordTaken>().size(), 6u);
  EXPECT_EQ(observer.all<RecordTaken>().back().bytesDone, 1200u);
}

TEST_F(ProgrammingRunTest, AFailedRunEndsItsEventsWithItsOutcome) {
  test::RecordingObserver observer;
  programmer.setProgressObserver(&observer);
  makeRecords(2, 100);
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, 0x0B});
  runImage(subordinateImage());
  const auto failed = observer.all<AttemptFailed>();
  ASSERT_EQ(failed.size(), 10u);  // the restore's first step, ten times
  EXPECT_EQ(failed.front().request, Request::RestoreStart);
  EXPECT_EQ(failed.back().attempt, 10);
  EXPECT_FALSE(failed.back().retried);
  ASSERT_TRUE(std::holds_alternative<Finished>(observer.events.back()));
  EXPECT_EQ(std::get<Finished>(observer.events.back()).outcome,
            outcomeOf(OutcomeKind::RestoreFailed));

  observer.events.clear();
  runImage(bootImage(13));
  EXPECT_EQ(observer.phases(), (std::vector<Phase>{Phase::InformationQuery, Phase::ImageCheck}));
  EXPECT_EQ(std::get<Finished>(observer.events.back()).outcome.kind, OutcomeKind::PacketType);
}

TEST_F(ProgrammingRunTest, EveryEchoOfEveryLinkReachesTheExchangeObserver) {
  test::RecordingExchanges exchanges;
  programmer.setExchangeObserver(&exchanges);
  makeRecords(3, 100);
  device.faults().dropReplies(onlyRequest(2), {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::Done);

  // The information query's link, then the one the preparation opens: each starts at sequence 0.
  ASSERT_EQ(exchanges.seen.size(), echo.exchanges());
  ASSERT_EQ(device.log().size(), echo.exchanges());
  std::vector<std::size_t> firstSequences;
  for (std::size_t i = 0; i < exchanges.seen.size(); ++i) {
    const auto& exchange = exchanges.seen[i].exchange;
    EXPECT_EQ(exchange.sequence, device.log()[i].sequence) << i;
    if (exchange.sequence == 0 && exchange.attempt == 1) firstSequences.push_back(i);
  }
  EXPECT_EQ(firstSequences, (std::vector<std::size_t>{0, 1}));
  const auto timeouts = std::count_if(exchanges.seen.begin(), exchanges.seen.end(), [](auto& s) {
    return s.exchange.result == ExchangeResult::NoReply;
  });
  EXPECT_EQ(timeouts, 1);
}

}  // namespace
}  // namespace korvel
