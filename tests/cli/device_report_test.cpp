#include "cli/output/device_report.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

DeviceResult programmed(Ipv4Address address, std::uint32_t boardId, std::uint32_t serial) {
  DeviceResult result;
  result.address = address;
  result.info.emplace();
  result.info->boardId = boardId;
  result.info->serial = serial;
  result.run.succeeded = true;
  result.run.records = 6;
  result.run.dataRecords = 5;
  result.run.dataBytes = 262144;
  result.run.target = 5;
  result.bytesDone = 262144;
  result.seconds = 12.345;
  return result;
}

TEST(DeviceReportTest, TheTableHasARowPerDeviceInColumnsAsWideAsTheirEntries) {
  DeviceResult silent;
  silent.address = Ipv4Address(127, 0, 0, 3);
  silent.outcome = outcomeOf(OutcomeKind::NoAnswer);
  silent.seconds = 61;
  DeviceResult lost = programmed(Ipv4Address(10, 0, 0, 11), 0xCAFE, (1u << 16) | 2);
  lost.outcome = outcomeOf(OutcomeKind::LinkLost);
  lost.bytesDone = 1000;
  lost.seconds = 3.04;

  EXPECT_EQ(
      resultTable({programmed(Ipv4Address(127, 0, 0, 2), 0x12AB, (12u << 16) | 34), silent, lost}),
      "ADDRESS    BOARD ID    SERIAL  OUTCOME     BYTES  SECONDS\n"
      "127.0.0.2  0x000012AB  12.34   ok         262144     12.3\n"
      "127.0.0.3  -           -       no-answer       0     61.0\n"
      "10.0.0.11  0x0000CAFE  1.2     link-lost    1000      3.0\n");
  EXPECT_EQ(resultTable({}), "ADDRESS  BOARD ID  SERIAL  OUTCOME  BYTES  SECONDS\n");
}

TEST(DeviceReportTest, EachDeviceEndsWithOneLineUnderItsAddress) {
  EXPECT_EQ(finishedLine(programmed(Ipv4Address(192, 168, 0, 1), 1, 1)),
            "192.168.0.1: Programmed 262144 bytes in 5 records into the subordinate at bus "
            "address 5 in 12.3 s\n");
  DeviceResult failed;
  failed.address = Ipv4Address(127, 0, 0, 2);
  failed.outcome = {OutcomeKind::NoIcmpAccess,
                    "Нет доступа к ICMP\r\nПричина: x\r\nЧто сделать: y"};
  failed.bytesDone = 512;
  failed.seconds = 0.26;
  EXPECT_EQ(finishedLine(failed),
            "127.0.0.2: failed (no-icmp-access) after 512 bytes in 0.3 s: Нет доступа к ICMP\n"
            "  Причина: x\n"
            "  Что сделать: y\n");
}

TEST(DeviceReportTest, ARunThatLeftItsSubordinateAt254SaysSoOnALineOfItsOwn) {
  DeviceResult result = programmed(Ipv4Address(127, 0, 0, 2), 1, 1);
  result.outcome = outcomeOf(OutcomeKind::Interrupted);
  result.run.subordinateLeftAtProgrammingAddress = true;
  result.bytesDone = 2048;
  const std::string left =
      "The subordinate was left at the programming address 254 without its own address given "
      "back\n";
  EXPECT_EQ(leftBehindLine(result), left);
  EXPECT_EQ(finishedLine(result),
            "127.0.0.2: interrupted after 2048 bytes in 12.3 s\n127.0.0.2: " + left);
  result.outcome = outcomeOf(OutcomeKind::LinkLost);
  EXPECT_EQ(finishedLine(result), "127.0.0.2: failed (link-lost) after 2048 bytes in 12.3 s: " +
                                      std::string(outcomeText(OutcomeKind::LinkLost)) +
                                      "\n127.0.0.2: " + left);
  // Said after a success too, should one ever leave the subordinate moved.
  result.outcome = {};
  EXPECT_EQ(leftBehindLine(result), left);
  EXPECT_TRUE(finishedLine(result).ends_with(" s\n127.0.0.2: " + left));
  result.outcome = outcomeOf(OutcomeKind::LinkLost);
  result.run.subordinateLeftAtProgrammingAddress = false;
  EXPECT_EQ(leftBehindLine(result), "");
}

}  // namespace
}  // namespace korvel
