#include "window/window_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/device_protocol.h"
#include "recording_view.h"
#include "support/held_pauses.h"
#include "support/temp_file.h"
#include "window/window_settings.h"

namespace korvel::test {
namespace {

constexpr Ipv4Address kDeviceAddress{127, 0, 0, 2};
constexpr std::uint8_t kSubordinate = 5;

// Settings in memory that note every access with what `observe` says at that moment.
class RecordingWindowSettings : public WindowSettings {
 public:
  std::uint32_t readInteger(const char* section, const char* name,
                            std::uint32_t fallback) override {
    const auto found = integers.find(note("read", section, name));
    return found == integers.end() ? fallback : found->second;
  }
  void writeInteger(const char* section, const char* name, std::uint32_t value) override {
    integers[note("write", section, name)] = value;
  }
  std::string readText(const char* section, const char* name,
                       const std::string& fallback) override {
    const auto found = texts.find(note("read", section, name));
    return found == texts.end() ? fallback : found->second;
  }
  void writeText(const char* section, const char* name, const std::string& value) override {
    texts[note("write", section, name)] = value;
  }

  std::map<std::string, std::uint32_t> integers;
  std::map<std::string, std::string> texts;
  std::vector<std::string> accesses;
  std::function<std::string()> observe = [] { return std::string(); };

 private:
  std::string note(const char* verb, const char* section, const char* name) {
    const std::string key = std::string(section) + "/" + name;
    accesses.push_back(std::string(verb) + " " + key + observe());
    return key;
  }
};

// The controller over a recording view, the simulated device in this process (with a subordinate
// at bus address 5) and pauses that never sleep.
class WindowControllerTest : public ::testing::Test {
 protected:
  WindowControllerTest()
      : device(withSubordinate()),
        echo(device, kDeviceAddress),
        controller(view, echo, pauses, settings) {
    settings.integers["Comm/IpAddr"] = kDeviceAddress.hostOrder();
    settings.observe = [this] { return " links=" + std::to_string(echo.opened()); };
  }

  static DeviceConfig withSubordinate() {
    DeviceConfig config;
    config.subordinates.push_back({kSubordinate, {0x11, 0x22, 0x33, 0x44}});
    return config;
  }

  void startWith(const Bytes& image) {
    settings.texts["File/Path"] = files.write("image.qlxfw", image).string();
    controller.start();
    view.loginText = view.passwordText = "admin";
  }

  static Bytes bootImage(int records) {
    ImageBuilder image;
    image.name("MAIN").version(2, 5);
    for (int i = 0; i < records; ++i) {
      image.data(12, samplePayload(256, static_cast<std::uint32_t>(i)));
    }
    return image.bytes();
  }

  static Bytes subordinateImage(int records) {
    ImageBuilder image;
    image.name("SUB").address(kSubordinate);
    for (int i = 0; i < records; ++i) {
      image.data(0x21, samplePayload(100, static_cast<std::uint32_t>(i)));
    }
    return image.bytes();
  }

  std::size_t count(const std::string& event) const {
    return static_cast<std::size_t>(std::count(view.events.begin(), view.events.end(), event));
  }

  RecordingView view;
  SimulatedDevice device;
  SimulatedEchoService echo;
  HeldPauses pauses;
  RecordingWindowSettings settings;
  TempDir files;
  WindowController controller;
};

TEST_F(WindowControllerTest, SettingsAreRestoredAndSavedInTheirOrderAroundTheFirstLink) {
  settings.texts["File/Path"] = "/nowhere/образ.qlxfw";
  settings.integers["Comm/FromBoot"] = 7;  // any number but 0 ticks the box
  controller.start();
  EXPECT_EQ(view.ip, kDeviceAddress);
  EXPECT_EQ(view.path, "/nowhere/образ.qlxfw");
  EXPECT_TRUE(view.viaBootChecked);
  EXPECT_EQ(view.summary, text::kSummaryCannotOpen);
  ASSERT_NE(controller.programmer().link(), nullptr);

  view.viaBootChecked = false;
  controller.finish();
  controller.finish();  // once, however the window ends
  EXPECT_EQ(settings.accesses,
            (std::vector<std::string>{"read Comm/IpAddr links=0", "read File/Path links=1",
                                      "read Comm/FromBoot links=1", "write File/Path links=1",
                                      "write Comm/IpAddr links=1", "write Comm/FromBoot links=1"}));
  EXPECT_EQ(settings.integers["Comm/FromBoot"], 0u);
  EXPECT_EQ(controller.programmer().link(), nullptr);
}

TEST_F(WindowControllerTest, InfoRunsBesideTheWindowAndReturnsToIdle) {
  startWith(bootImage(1));
  controller.queryDeviceInfo();
  EXPECT_TRUE(controller.isRunning());
  view.runUntilIdle(controller);
  EXPECT_EQ(view.info, "'BOOT'\r\nBoard Id=0x000012AB №3.7 Boot v1.2\r\n'MAIN'\r\nv2.5");
  EXPECT_EQ(view.events, (std::vector<std::string>{"focus taken", "inputs off", "wait begin",
                                                   "info", "wait end", "inputs on", "focus back"}));
  EXPECT_EQ(view.progress, 0);
  EXPECT_FALSE(controller.waitCursorShown());
}

TEST_F(WindowControllerTest, ARunProgramsTheWholeImageWithOneWaitCursorAndTheInputsOffThroughout) {
  startWith(bootImage(5));
  controller.programDevice();
  view.runUntilIdle(controller);
  EXPECT_EQ(device.programmedRecords(), 5u);
  EXPECT_TRUE(view.warnings.empty());
  EXPECT_EQ(view.progress, 0);
  EXPECT_TRUE(view.inputsEnabled);
  // Off once for the query and the run together: no press gets in between them.
  EXPECT_EQ(count("inputs off"), 1u);
  EXPECT_EQ(count("inputs on"), 1u);
  EXPECT_EQ(view.events.back(), "focus back");
  EXPECT_FALSE(controller.waitCursorShown());
  EXPECT_FALSE(pauses.requested.empty());  // the boot monitor's start-up waits, recorded only
}

TEST_F(WindowControllerTest, AWarningWaitsForTheOperatorWhileTheInputsAreStillOff) {
  startWith({0x42});
  bool inputsOffWhileShown = false;
  int rangeWhileShown = -1;
  view.onWarning = [&](const std::string&) {
    inputsOffWhileShown = !view.inputsEnabled;
    rangeWhileShown = view.rangeUpper;
  };
  controller.programDevice();
  view.runUntilIdle(controller);
  EXPECT_EQ(view.warnings, std::vector<std::string>{text::kFormatError});
  EXPECT_TRUE(inputsOffWhileShown);
  EXPECT_EQ(rangeWhileShown, 1);  // the one-byte file's range, not yet reset
  EXPECT_TRUE(view.inputsEnabled);
  EXPECT_EQ(device.programmedRecords(), 0u);
}

TEST_F(WindowControllerTest, ClosingDuringARunWaitsForItsEndThenEndsWithTheFirstResult) {
  startWith(bootImage(6));
  pauses.hold();
  controller.programDevice();
  pauses.waitUntilHeld();
  EXPECT_FALSE(controller.requestClose(1));  // Exit
  EXPECT_FALSE(controller.requestClose(2));  // the close box after it: nothing new
  controller.programDevice();                // a second run cannot start
  pauses.release();
  view.runUntilIdle(controller);
  EXPECT_EQ(device.programmedRecords(), 6u);  // the run was not cut short
  EXPECT_EQ(view.ended, std::vector<int>{1});
  EXPECT_TRUE(controller.requestClose(2));
}

TEST_F(WindowControllerTest, TheSystemEndingTheProgramStopsTheRunAfterTheExchangeInFlight) {
  startWith(bootImage(6));
  pauses.hold();
  controller.programDevice();
  pauses.waitUntilHeld();
  controller.endBySystem(2);
  pauses.release();
  view.runUntilIdle(controller);
  EXPECT_LT(device.programmedRecords(), 6u);
  EXPECT_TRUE(view.warnings.empty());  // a stop shows no box
  EXPECT_EQ(view.ended, std::vector<int>{2});
  EXPECT_TRUE(view.inputsEnabled);
}

TEST_F(WindowControllerTest, ARunThatLeavesTheSubordinateMovedSaysSoInTheInformationBox) {
  device.faults().dropReplies(FaultTrigger{.skip = 1}, {FaultMatch::Target::BusRecord});
  startWith(subordinateImage(3));
  controller.programDevice();
  view.runUntilIdle(controller);
  EXPECT_EQ(view.warnings, std::vector<std::string>{text::kCommError});
  const std::string last = view.info.substr(view.info.rfind('\n') + 1);
  EXPECT_EQ(last, text::kSubordinateLeftBehind);
  EXPECT_EQ(view.info.rfind("'BOOT'", 0), 0u);  // after what the device reported

  device.faults().clear();
  controller.programDevice();
  view.runUntilIdle(controller);
  EXPECT_EQ(view.info.find(text::kSubordinateLeftBehind), std::string::npos);
}

struct ProgressCase {
  std::int64_t upper;
  std::int64_t position;
  double shownFraction;
};

class WindowControllerProgress : public WindowControllerTest,
                                 public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(WindowControllerProgress, TheBarShowsTheFractionWithinItsIntAndNeverAnEmptyRange) {
  controller.setProgressRange(0, GetParam().upper);
  controller.setProgressPosition(GetParam().position);
  EXPECT_GT(view.rangeUpper, view.rangeLower);  // an empty range would animate the bar
  EXPECT_NEAR(static_cast<double>(view.progress) / view.rangeUpper, GetParam().shownFraction, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Ranges, WindowControllerProgress,
                         ::testing::Values(ProgressCase{4000, 1000, 0.25},
                                           ProgressCase{6'000'000'000, 1'500'000'000, 0.25},
                                           ProgressCase{0, 0, 0.0}, ProgressCase{10, 50, 1.0}));

}  // namespace
}  // namespace korvel::test
