#include "cli/options/target_list.h"

#include <gtest/gtest.h>

#include <sstream>

namespace korvel {
namespace {

TEST(TargetListTest, ReadsAddressesBetweenCommentsAndBlankLines) {
  TargetList targets;
  ASSERT_EQ(targets.add("10.0.0.1", "--ip"), std::nullopt);
  std::istringstream file(
      "# bench 3\n"
      "\n"
      "  10.0.0.2\t# left\r\n"
      "10.0.0.3#right\n"
      "   \t\n"
      "192.168.1.200");
  EXPECT_EQ(targets.read(file, "bench.txt"), std::nullopt);
  EXPECT_EQ(
      targets.addresses(),
      (std::vector<Ipv4Address>{{10, 0, 0, 1}, {10, 0, 0, 2}, {10, 0, 0, 3}, {192, 168, 1, 200}}));
}

TEST(TargetListTest, ABadLineOrASecondMentionNamesWhereItIs) {
  TargetList targets;
  std::istringstream bad("10.0.0.1\n\n10.0.0.256\n10.0.0.4\n");
  EXPECT_EQ(targets.read(bad, "bench.txt"),
            "bench.txt:3: '10.0.0.256' is not four dotted decimal numbers 0 to 255");
  EXPECT_EQ(targets.addresses(), (std::vector<Ipv4Address>{{10, 0, 0, 1}}));

  // Two words are an interface and an address; an address is no interface's name.
  std::istringstream words("10.0.0.2 10.0.0.3\n");
  EXPECT_EQ(targets.read(words, "b"),
            "b:1: '10.0.0.2 10.0.0.3' is not ADDRESS or INTERFACE ADDRESS");
  std::istringstream badAddress("eth1 10.0.0.256\n");
  EXPECT_EQ(targets.read(badAddress, "b"),
            "b:1: '10.0.0.256' is not four dotted decimal numbers 0 to 255");
  std::istringstream controls("\x1b[2J\n");
  EXPECT_EQ(targets.read(controls, "b"),
            "b:1: '\\x1B[2J' is not four dotted decimal numbers 0 to 255");

  std::istringstream twice("10.0.0.5\n# again\n10.0.0.1\n");
  EXPECT_EQ(targets.read(twice, "more.txt"),
            "more.txt:3: 10.0.0.1 is given twice (first at bench.txt:1)");
  EXPECT_EQ(targets.add("10.0.0.5", "--ip"), "--ip: 10.0.0.5 is given twice (first at more.txt:1)");
}

TEST(TargetListTest, OneAddressMayRecurOnlyWhenEveryMentionNamesAnotherInterface) {
  const struct {
    const char* file;
    std::optional<std::string> error;
  } cases[] = {
      {"eth1 10.0.0.9\neth2\t 10.0.0.9\neth3 10.0.0.9 # third port\n", std::nullopt},
      {"eth1 10.0.0.9\neth1 10.0.0.9\n", "f:2: eth1 10.0.0.9 is given twice (first at f:1)"},
      {"eth1 10.0.0.9\n10.0.0.9\n", "f:2: 10.0.0.9 is given twice (first at f:1)"},
      {"10.0.0.9\neth1 10.0.0.9\n", "f:2: eth1 10.0.0.9 is given twice (first at f:1)"},
  };
  for (const auto& c : cases) {
    TargetList targets;
    std::istringstream file(c.file);
    EXPECT_EQ(targets.read(file, "f"), c.error) << c.file;
  }

  TargetList targets;
  std::istringstream file("eth1 10.0.0.9\n10.0.0.9\n10.0.0.8\n");
  ASSERT_EQ(targets.read(file, "f", "eth2"), std::nullopt);
  EXPECT_EQ(targets.interfaces(), (std::vector<std::string>{"eth1", "eth2", "eth2"}));
  EXPECT_EQ(targets.add("10.0.0.9", "--ip", "eth3"), std::nullopt);
  EXPECT_EQ(targets.add("10.0.0.8", "--ip", "eth2"),
            "--ip: eth2 10.0.0.8 is given twice (first at f:3)");
}

TEST(TargetListTest, HostileFilesAreRefusedWithoutEchoingThem) {
  struct Case {
    std::string file;
    std::string error;
  };
  const std::string longLine = "10.0.0.1" + std::string(kMaxTargetLine, ' ') + "\x1b]0;x\x07";
  const std::vector<Case> cases = {
      {"10.0.0.1\n" + longLine + "\n", "f\\x1B:2: the line is longer than 512 bytes"},
      // No line ending at all, as /dev/zero gives.
      {std::string(1 << 20, '\0'), "f\\x1B:1: the line is longer than 512 bytes"},
      {"# the bench\n10.0.0.1" + std::string(kMaxTargetLine - 8, ' ') + "\n", ""},
  };
  for (const Case& c : cases) {
    TargetList targets;
    std::istringstream file(c.file);
    EXPECT_EQ(targets.read(file, "f\x1b").value_or(""), c.error);
  }
}

TEST(TargetListTest, AtMostFourThousandNinetySixDevicesAndNoDuplicateAmongThem) {
  TargetList targets;
  std::string file;
  for (std::uint32_t i = 0; i < kMaxTargets; ++i) {
    file += Ipv4Address::fromHostOrder(0x0A000000 + i).dotted() + "\n";
  }
  std::istringstream all(file + "10.0.0.1\n");
  EXPECT_EQ(targets.read(all, "t"), "t:4097: 10.0.0.1 is given twice (first at t:2)");
  std::istringstream more("10.1.0.0\n");
  EXPECT_EQ(targets.read(more, "u"), "u:1: more than 4096 devices");
  EXPECT_EQ(targets.addresses().size(), kMaxTargets);
}

TEST(TargetListTest, AllDevicesGoAtOnceUpToSixtyFour) {
  EXPECT_EQ(jobsFor(3, 0), 3);
  EXPECT_EQ(jobsFor(64, 0), 64);
  EXPECT_EQ(jobsFor(100, 0), kMaxJobs);
  EXPECT_EQ(jobsFor(100, 8), 8);
  // No more threads than devices.
  EXPECT_EQ(jobsFor(3, 10), 3);
  EXPECT_EQ(jobsFor(1, 1), 1);
}

}  // namespace
}  // namespace korvel
