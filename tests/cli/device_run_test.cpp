// One device's run as the command line drives it, against the simulated device in process.
#include "cli/run/device_run.h"

#include <gtest/gtest.h>

#include "cli/run/batch_panel.h"
#include "cli_test_environment.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "support/recording_observer.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

constexpr Ipv4Address kDevice{127, 0, 0, 2};
constexpr Ipv4Address kSilentDevice{127, 0, 0, 3};
constexpr std::uint8_t kHome = 5;

class DeviceRunTest : public ::testing::Test {
 protected:
  std::string writeImage(bool subordinate) {
    ImageBuilder builder;
    builder.name("SAMPLE").version(1, 0);
    if (subordinate) builder.address(kHome);
    for (std::size_t i = 0; i < 3; ++i) {
      builder.data(12, samplePayload(100 + 37 * i, static_cast<std::uint32_t>(i)));
    }
    return dir.write(subordinate ? "sub.qlxfw" : "device.qlxfw", builder.bytes()).string();
  }

  CliRequest request(Ipv4Address address, std::string image) {
    return {address, "admin", "admin", std::move(image), false, {}};
  }

  SimulatedDevice device{DeviceConfig{.serial = (12u << 16) | 34,
                                      .subordinates = {{kHome, {0x11, 0x22, 0x33, 0x44}}}}};
  SimulatedEchoService echo{device, kDevice};
  test::TestCliEnvironment environment{echo};
  test::TempDir dir;
};

TEST_F(DeviceRunTest, AResultHoldsTheDeviceItsOutcomeAndWhatWasDelivered) {
  const auto run = makeBatchRun(request(kDevice, writeImage(true)), environment);
  test::RecordingObserver observer;
  run->addObserver(&observer);
  environment.recordedPauses().onPause = [this](std::uint32_t ms) {
    environment.clock += std::chrono::milliseconds(ms);
  };

  const DeviceResult result = run->program();

  EXPECT_EQ(result.address, kDevice);
  ASSERT_TRUE(result.info.has_value());
  EXPECT_EQ(result.info->boardId, 0x12ABu);
  EXPECT_EQ(result.info->serial, (12u << 16) | 34);
  EXPECT_TRUE(result.outcome.succeeded());
  EXPECT_TRUE(result.run.succeeded);
  EXPECT_EQ(result.run.dataBytes, 411u);
  EXPECT_EQ(result.bytesDone, 411u);
  EXPECT_EQ(result.run.target, std::optional<std::uint8_t>(kHome));
  EXPECT_DOUBLE_EQ(result.seconds,
                   static_cast<double>(environment.recordedPauses().total()) / 1000);
  // The caller's observer hears the whole run, the end last.
  ASSERT_FALSE(observer.events.empty());
  EXPECT_TRUE(std::holds_alternative<Finished>(observer.events.back()));
  EXPECT_EQ(observer.all<DeviceInfoRead>().size(), 1u);
  EXPECT_EQ(device.subordinate(kHome)->programmedData.size(), 411u);
}

TEST_F(DeviceRunTest, AFailedRunKeepsWhatTheDeviceTookAndItsMessage) {
  // The device takes the first record, then falls silent.
  device.faults().dropReplies({.skip = 1}, {FaultMatch::Target::RawRecord});
  const auto run = makeBatchRun(request(kDevice, writeImage(false)), environment);
  const DeviceResult result = run->program();
  EXPECT_EQ(result.outcome.kind, OutcomeKind::LinkLost);
  EXPECT_FALSE(result.run.succeeded);
  EXPECT_EQ(result.bytesDone, 100u);
  ASSERT_TRUE(result.info.has_value());
  const auto& panel = static_cast<BatchPanel&>(run->panel());
  EXPECT_EQ(panel.messages(), std::vector<std::string>{result.outcome.text});
  EXPECT_EQ(panel.infoText().substr(0, 8), "'BOOT'\r\n");

  // A device that never answers has no information to show.
  const auto silent = makeBatchRun(request(kSilentDevice, writeImage(false)), environment);
  const DeviceResult none = silent->program();
  EXPECT_FALSE(none.outcome.succeeded());
  EXPECT_FALSE(none.info.has_value());
  EXPECT_EQ(none.bytesDone, 0u);
  EXPECT_EQ(none.address, kSilentDevice);
}

TEST_F(DeviceRunTest, ATerminalRunWritesAsTheSingleDeviceCommandDoes) {
  std::ostringstream err;
  std::ostringstream out;
  const auto run = makeTerminalRun(request(kDevice, writeImage(false)), environment, err, &out);
  const DeviceResult result = run->program();
  EXPECT_TRUE(result.outcome.succeeded());
  EXPECT_EQ(out.str(), "'BOOT'\nBoard Id=0x000012AB №12.34 Boot v1.2\n'MAIN'\nv2.5\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(device.programmedData().size(), 411u);
}

}  // namespace
}  // namespace korvel
