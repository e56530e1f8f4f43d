#include "link/icmp/icmp_access_advice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "common/texts.h"

namespace korvel {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

// An ordinary user of a fresh Debian: ping sockets closed to every group, no capability anywhere.
IcmpAccessFacts debianUser() {
  IcmpAccessFacts facts;
  facts.programPath = "/usr/libexec/korvel/korvel-icmp-socket";
  facts.fileNetRaw = FileNetRaw::Absent;
  facts.pingGroups = GroupRange{1, 0};
  facts.groups = {1000, 24, 27};
  facts.pingSocketError = "Permission denied";
  facts.rawSocketError = "Operation not permitted";
  return facts;
}

std::string setcapFor(const std::string& word) { return text::kIcmpRemedySetcap + word; }

TEST(IcmpAccessAdviceTest, AProgramWithoutCapabilityIsToldTheSetcapForItsOwnFile) {
  const auto advice = adviseIcmpAccess(debianUser());
  EXPECT_EQ(advice.reason, std::string(text::kIcmpReasonPrefix) + text::kIcmpPingGroupsOutside +
                               "1 0" + text::kIcmpPingGroupsOutsideEnd + "; " +
                               text::kIcmpNoNetRaw + text::kIcmpSystemSays +
                               "Permission denied; Operation not permitted");
  EXPECT_EQ(advice.remedy, setcapFor("/usr/libexec/korvel/korvel-icmp-socket"));
}

TEST(IcmpAccessAdviceTest, ThePathInTheCommandSurvivesTheShell) {
  IcmpAccessFacts facts = debianUser();
  facts.programPath = "/home/оператор/Korvel build/korvel";
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, setcapFor("'/home/оператор/Korvel build/korvel'"));
  facts.programPath = "/opt/it's/korvel";
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, setcapFor("'/opt/it'\\''s/korvel'"));
  EXPECT_EQ(shellWord("/usr/local/bin/korvel-cli_1.0+x"), "/usr/local/bin/korvel-cli_1.0+x");
  EXPECT_EQ(shellWord("$(rm -rf ~)"), "'$(rm -rf ~)'");
  EXPECT_EQ(shellWord(""), "''");
}

TEST(IcmpAccessAdviceTest, WhereSetcapCannotHelpThePingSocketsAreOpened) {
  const std::string sysctl = text::kIcmpRemedySysctl;
  ASSERT_THAT(sysctl, HasSubstr("/etc/sysctl.d/"));

  IcmpAccessFacts facts = debianUser();
  facts.fileNetRaw = FileNetRaw::NotSupported;
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, sysctl) << "file system without capabilities";

  facts = debianUser();
  facts.programPath.clear();
  facts.fileNetRaw = FileNetRaw::Unknown;
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, sysctl) << "no helper installed";

  facts = debianUser();
  facts.boundingSetHasNetRaw = false;
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, sysctl) << "container without CAP_NET_RAW";
  EXPECT_THAT(adviseIcmpAccess(facts).reason, HasSubstr(text::kIcmpNoNetRaw));
}

// The file has the capability and the process still lacks it: setcap again would change nothing.
TEST(IcmpAccessAdviceTest, AFileCapabilityTheExecIgnoredIsExplained) {
  struct Case {
    const char* name;
    void (*apply)(IcmpAccessFacts&);
    const char* because;
  };
  const Case cases[] = {
      {"nosuid", [](IcmpAccessFacts& f) { f.fileOnNoSuidMount = true; }, text::kIcmpBecauseNoSuid},
      {"no_new_privs", [](IcmpAccessFacts& f) { f.noNewPrivileges = true; },
       text::kIcmpBecauseNoNewPrivileges},
      {"bounding set", [](IcmpAccessFacts& f) { f.boundingSetHasNetRaw = false; },
       text::kIcmpBecauseBoundingSet},
      {"unknown cause", [](IcmpAccessFacts&) {}, ""},
  };
  for (const Case& c : cases) {
    IcmpAccessFacts facts = debianUser();
    facts.fileNetRaw = FileNetRaw::Granted;
    c.apply(facts);
    const auto advice = adviseIcmpAccess(facts);
    EXPECT_THAT(advice.reason, HasSubstr(std::string(text::kIcmpFileNetRawIgnored) + c.because +
                                         text::kIcmpSystemSays))
        << c.name;
    EXPECT_EQ(advice.remedy, text::kIcmpRemedySysctl) << c.name;
  }
}

TEST(IcmpAccessAdviceTest, AnyOfTheUsersGroupsInTheRangeCounts) {
  IcmpAccessFacts facts = debianUser();
  facts.processHasNetRaw = true;
  facts.pingGroups = GroupRange{27, 27};  // a supplementary group only
  const auto advice = adviseIcmpAccess(facts);
  EXPECT_THAT(advice.reason, HasSubstr(text::kIcmpPingRefusedInRange));
  EXPECT_THAT(advice.reason, HasSubstr(text::kIcmpRawRefusedWithNetRaw));
  // Neither setcap nor the range would change anything: something else forbids ICMP.
  EXPECT_EQ(advice.remedy, text::kIcmpRemedyAdministrator);

  facts.pingGroups = GroupRange{28, 999};
  EXPECT_THAT(adviseIcmpAccess(facts).reason, HasSubstr(text::kIcmpPingGroupsOutside));
  EXPECT_EQ(adviseIcmpAccess(facts).remedy, text::kIcmpRemedySysctl);
}

TEST(IcmpAccessAdviceTest, AnUnreadableRangeStillLeavesTheSetcap) {
  IcmpAccessFacts facts = debianUser();
  facts.pingGroups.reset();
  const auto advice = adviseIcmpAccess(facts);
  EXPECT_THAT(advice.reason,
              StartsWith(std::string(text::kIcmpReasonPrefix) + text::kIcmpPingRefused + "; "));
  EXPECT_EQ(advice.remedy, setcapFor("/usr/libexec/korvel/korvel-icmp-socket"));
}

TEST(IcmpAccessAdviceTest, TheSystemsTextsAreGivenOnce) {
  IcmpAccessFacts facts = debianUser();
  facts.pingSocketError = facts.rawSocketError = "Operation not permitted";
  EXPECT_THAT(adviseIcmpAccess(facts).reason,
              HasSubstr(std::string(text::kIcmpSystemSays) + "Operation not permitted"));
  EXPECT_THAT(adviseIcmpAccess(facts).reason, Not(HasSubstr("permitted;")));
  facts.pingSocketError.clear();
  facts.rawSocketError.clear();
  EXPECT_THAT(adviseIcmpAccess(facts).reason, Not(HasSubstr(text::kIcmpSystemSays)));
}

TEST(PingGroupRangeTest, ReadsTheKernelsTwoNumbers) {
  const auto closed = parsePingGroupRange("1\t0\n");
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->first, 1u);
  EXPECT_EQ(closed->last, 0u);
  EXPECT_FALSE(closed->contains(0));
  EXPECT_FALSE(closed->contains(1));
  const auto all = parsePingGroupRange("0 2147483647");
  ASSERT_TRUE(all);
  EXPECT_TRUE(all->contains(0));
  EXPECT_TRUE(all->contains(2147483647));
  EXPECT_FALSE(all->contains(4294967295u));
  for (const char* bad : {"", "1", "1\t", "a b", "1 2 3", "-1 0", "1 99999999999"}) {
    EXPECT_FALSE(parsePingGroupRange(bad)) << '"' << bad << '"';
  }
}

Bytes capabilityAttribute(std::uint32_t magic, std::uint32_t permitted, std::size_t size) {
  Bytes bytes(size, 0);
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(magic >> (8 * i));
    bytes[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(permitted >> (8 * i));
  }
  return bytes;
}

TEST(FileCapabilityTest, CapNetRawCountsOnlyWhenPermittedAndEffective) {
  constexpr std::uint32_t netRaw = 1U << 13;
  constexpr std::uint32_t netAdmin = 1U << 12;
  // setcap cap_net_raw+ep writes revision 2 (20 bytes); in a user namespace revision 3 (24).
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x02000001, netRaw, 20)), FileNetRaw::Granted);
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x03000001, netRaw, 24)), FileNetRaw::Granted);
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x01000001, netRaw, 12)), FileNetRaw::Granted);
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x02000000, netRaw, 20)), FileNetRaw::Absent)
      << "cap_net_raw+p: permitted, never raised by the program";
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x02000001, netAdmin, 20)), FileNetRaw::Absent);
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x02000001, netRaw, 19)), FileNetRaw::Unknown);
  EXPECT_EQ(fileNetRawFrom(capabilityAttribute(0x07000001, netRaw, 24)), FileNetRaw::Unknown);
  EXPECT_EQ(fileNetRawFrom(Bytes{0x01, 0x00}), FileNetRaw::Unknown);
}

}  // namespace
}  // namespace korvel
