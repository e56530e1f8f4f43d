// korvel-cli against the simulated device, in process: whole runs with exit codes and streams.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_test_environment.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "support/recording_locks.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using test::CliResult;
using test::runCliWith;

constexpr char kInfoLines[] = "'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5\n";
constexpr std::uint8_t kHome = 5;
constexpr std::uint8_t kResendTwo = 0x01 | (2 << 1);

class CliDeviceTest : public ::testing::Test {
 protected:
  CliResult run(std::vector<std::string> args) {
    args.insert(args.end(), {"--ip", "127.0.0.2", "--login", "admin", "--password", "admin"});
    return runCliWith(environment, args);
  }

  std::vector<std::uint32_t>& pauses() { return environment.recordedPauses().requested; }

  // Three records of different lengths, for the device itself or for the subordinate at kHome.
  std::string writeImage(const std::string& name, bool subordinate) {
    ImageBuilder builder;
    builder.name("SAMPLE").version(1, 0);
    if (subordinate) builder.address(kHome);
    data.clear();
    for (std::size_t i = 0; i < 3; ++i) {
      const Bytes payload = samplePayload(100 + 37 * i, static_cast<std::uint32_t>(i));
      builder.data(12, payload);
      data.insert(data.end(), payload.begin(), payload.end());
    }
    return dir.write(name, builder.bytes()).string();
  }

  SimulatedDevice device{DeviceConfig{.subordinates = {{kHome, {0x11, 0x22, 0x33, 0x44}}}}};
  SimulatedEchoService echo{device, Ipv4Address(127, 0, 0, 2)};
  test::TestCliEnvironment environment{echo};
  test::TempDir dir;
  Bytes data;
};

TEST_F(CliDeviceTest, InfoShowsTheDeviceAndTellsAWrongPassword) {
  CliResult result = run({"info"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out, kInfoLines);
  EXPECT_EQ(result.err, "");

  result =
      runCliWith(environment, {"info", "--ip", "127.0.0.2", "--login", "admin", "--password-stdin"},
                 "wrong\n");
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kDeviceError) + "\n");

  result = runCliWith(environment, {"info", "--ip", "127.0.0.3"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kNoAnswer) + "\n");
}

TEST_F(CliDeviceTest, ProgramsTheDeviceThroughItsBootMonitor) {
  const CliResult result = run({"program", writeImage("device.qlxfw", false)});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(result.out, kInfoLines);
  EXPECT_EQ(result.err, "Programmed 411 bytes in 3 records into the device itself in 0.0 s\n");
  EXPECT_EQ(device.programmedData(), data);
  EXPECT_EQ(device.programmedRecords(), 3u);
  EXPECT_EQ(pauses(), std::vector<std::uint32_t>{2000});
}

TEST_F(CliDeviceTest, ProgramsASubordinateThatAsksForRecordsAgain) {
  device.faults().answerResendByte(kResendTwo, onlyRequest(3), {FaultMatch::Target::BusRecord});
  const CliResult result = run({"program", writeImage("sub.qlxfw", true)});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  const auto* sub = device.subordinate(kHome);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->programmedData, data);
  EXPECT_TRUE(sub->restored);
  EXPECT_EQ(sub->busAddress, kHome);
  EXPECT_TRUE(device.programmedData().empty());
  // The third record brought the first two back, then itself.
  const auto& entries = device.log().entries();
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                          [](const ConversationEntry& entry) {
                            return entry.kind == RequestKind::BusRecord;
                          }),
            6);
}

TEST_F(CliDeviceTest, EveryMessageBoxIsOneLineOnStandardErrorAndExitsOne) {
  const std::string subordinate = writeImage("sub.qlxfw", true);
  CliResult result = run({"program", subordinate, "--via-boot"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kSubordinateViaBoot) + "\n");
  EXPECT_EQ(result.out, kInfoLines);
  EXPECT_TRUE(device.subordinate(kHome)->programmedData.empty());
  EXPECT_EQ(device.subordinate(kHome)->busAddress, kHome);

  result = run({"program", (dir.path() / "missing.qlxfw").string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kOpenFailed) + "\n");

  const auto unsupported = dir.write("type13.qlxfw", ImageBuilder().data(13, Bytes{1}).bytes());
  result = run({"program", unsupported.string()});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kUnsupportedPacketType) + "\n");
}

TEST_F(CliDeviceTest, AFailedRestoreIsAMessageBoxAfterAWholeImage) {
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, 0x04});
  const CliResult result = run({"program", writeImage("sub.qlxfw", true)});
  EXPECT_EQ(result.exitCode, kExitFailure);
  // The subordinate took the image and stays at the programming address.
  EXPECT_EQ(result.err, std::string(text::kRestoreFailed) +
                            "\nThe subordinate was left at the programming address 254 without "
                            "its own address given back\n");
  EXPECT_EQ(device.subordinate(kHome)->programmedData, data);
}

TEST_F(CliDeviceTest, OnATerminalTheRunEndsWithAFullBarOnItsOwnLine) {
  environment.terminal = true;
  const std::string image = writeImage("device.qlxfw", false);
  const CliResult result = run({"program", image});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  const std::string size = std::to_string(std::filesystem::file_size(image));
  EXPECT_TRUE(result.err.ends_with("] 100%  " + size + "/" + size + " bytes\x1b[K\n" +
                                   "Programmed 411 bytes in 3 records into the device itself in "
                                   "0.0 s\n"))
      << result.err;
}

TEST_F(CliDeviceTest, DeviceTextsReachTheTerminalWithTheirControlsEscaped) {
  device = SimulatedDevice(DeviceConfig{.text1 = "Re\x1b[2Jlay\r\nX", .text2 = "\x98\x7f\x07"});
  const CliResult result = run({"info"});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.out,
            "'Re\\x1B[2Jlay\\x0D\\x0AX'\nBoard Id=0x000012AB №3.7 Boot v1.2\n"
            "'\\x98\\x7F\\x07'\nv2.5\n");
}

TEST_F(CliDeviceTest, ASecondCopyAtTheSameDeviceIsRefused) {
  test::RecordingLocks locks;
  locks.busy = true;
  environment.locks = &locks;
  CliResult result = run({"info"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.out, std::string(text::kAnotherCopyRunning) + "\n");
  result = run({"program", writeImage("device.qlxfw", false)});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kAnotherCopyRunning) + "\n");
  EXPECT_EQ(echo.exchanges(), 0u);

  locks.busy = false;
  result = run({"program", writeImage("sub.qlxfw", true)});
  EXPECT_EQ(result.exitCode, kExitSuccess);
  EXPECT_EQ(result.err,
            "Programmed 411 bytes in 3 records into the subordinate at bus address 5 in 0.0 s\n");
  EXPECT_EQ(locks.taken, std::vector<Ipv4Address>{Ipv4Address(127, 0, 0, 2)});
}

TEST_F(CliDeviceTest, AnInterruptStopsTheRunWhereItIsAndExitsWithItsStatus) {
  // Ctrl-C in the pause before the second record.
  int pausesSeen = 0;
  environment.recordedPauses().onPause = [&](std::uint32_t) {
    if (++pausesSeen == 3) environment.interrupt(kExitInterrupted);
  };
  CliResult result = run({"program", writeImage("sub.qlxfw", true)});
  EXPECT_EQ(result.exitCode, kExitInterrupted);
  EXPECT_EQ(result.out, kInfoLines);
  EXPECT_EQ(result.err, std::string(text::kRunInterrupted) +
                            "\nThe subordinate was left at the programming address 254 without "
                            "its own address given back\n");
  EXPECT_EQ(environment.pausesStopped, 1);
  EXPECT_EQ(pauses().size(), 3u);
  const auto* sub = device.subordinate(kHome);
  EXPECT_EQ(sub->programmedData, Bytes(data.begin(), data.begin() + 100));
  EXPECT_EQ(sub->busAddress, 254);
  EXPECT_FALSE(sub->restored);

  // SIGTERM while the boot monitor starts: nothing of the image went out.
  environment.recordedPauses().onPause = [&](std::uint32_t) {
    environment.interrupt(kExitTerminated);
  };
  result = run({"program", writeImage("device.qlxfw", false)});
  EXPECT_EQ(result.exitCode, kExitTerminated);
  EXPECT_EQ(result.err, std::string(text::kRunInterrupted) + "\n");
  EXPECT_TRUE(device.programmedData().empty());
  // The watch ends with the command.
  EXPECT_FALSE(environment.interrupt);
}

}  // namespace
}  // namespace korvel
