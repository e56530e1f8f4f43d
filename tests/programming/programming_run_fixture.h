#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"
#include "support/recording_panel.h"
#include "support/recording_pauses.h"
#include "support/temp_file.h"

namespace korvel::test {

inline constexpr Ipv4Address kDeviceIp{127, 0, 0, 2};
inline constexpr std::uint8_t kSubordinate = 5;

inline DeviceConfig deviceWithSubordinate() {
  DeviceConfig config;
  config.subordinates.push_back({kSubordinate, {0x11, 0x22, 0x33, 0x44}});
  return config;
}

// A programmer wired to the simulated device (with a subordinate at bus address 5), a recording
// panel and recording pauses; images are written to a folder of the test's own.
class ProgrammingRunTest : public ::testing::Test {
 protected:
  void runImage(const Bytes& bytes) {
    panel.path = dir.write("image.qlxfw", bytes).string();
    outcome = programmer.programDevice();
  }

  // The run's outcome is `kind`, and its text is the one message the run showed (none when done).
  void expectOutcome(OutcomeKind kind) {
    EXPECT_EQ(outcome.kind, kind) << outcomeName(outcome.kind);
    if (kind == OutcomeKind::Done) {
      EXPECT_TRUE(panel.warnings.empty());
      EXPECT_EQ(outcome.text, "");
    } else {
      EXPECT_EQ(panel.warnings, std::vector<std::string>{outcome.text});
    }
  }

  // Payloads of `count` records of `size` bytes, and their bytes end to end.
  void makeRecords(int count, std::size_t size) {
    for (int i = 0; i < count; ++i) {
      records.push_back(samplePayload(size, static_cast<std::uint32_t>(i)));
      expected.insert(expected.end(), records.back().begin(), records.back().end());
    }
  }

  Bytes bootImage(std::uint8_t type = 12) {
    ImageBuilder image;
    image.name("MAIN").version(2, 5);
    for (const auto& record : records) image.data(type, record);
    return image.bytes();
  }

  Bytes subordinateImage() {
    ImageBuilder image;
    image.name("SUB").address(kSubordinate);
    for (const auto& record : records) image.data(0x21, record);
    return image.bytes();
  }

  std::size_t count(RequestKind kind, std::optional<std::uint8_t> code = {}) const {
    std::size_t n = 0;
    for (const auto& entry : device.log().entries()) {
      if (entry.kind == kind && (!code || entry.code == *code)) ++n;
    }
    return n;
  }

  // The run stopped before anything but the information query went to the device.
  void expectOnlyTheInformationQuery() {
    EXPECT_GE(device.log().size(), 1u);
    EXPECT_EQ(count(RequestKind::DeviceCommand, 0x03), device.log().size());
    EXPECT_TRUE(device.programmedData().empty());
  }

  std::size_t busRecordBytes() const {
    std::size_t bytes = 0;
    for (const auto& entry : device.log().entries()) {
      if (entry.kind == RequestKind::BusRecord) bytes += entry.dataLength;
    }
    return bytes;
  }

  void expectIdleAfterRun() {
    EXPECT_TRUE(panel.inputsEnabled);
    EXPECT_EQ(panel.waitCursorDepth, 0);
    EXPECT_EQ(panel.positions.back(), 0);
  }

  SimulatedDevice device{deviceWithSubordinate()};
  SimulatedEchoService echo{device, kDeviceIp};
  test::RecordingPanel panel;
  test::RecordingPauses pauses;
  DeviceProgrammer programmer{panel, echo, pauses};
  test::TempDir dir;
  std::vector<Bytes> records;
  Bytes expected;
  Outcome outcome;
};

}  // namespace korvel::test
