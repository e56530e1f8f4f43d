// Many devices programmed at once by the command line, against simulated devices in process.
#include "cli/device_batch.h"

#include "cli/interrupt_watch.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>

#include "cli_test_environment.h"
#include "common/texts.h"
#include "devsim/image_builder.h"
#include "simulated_bench.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using test::CliResult;
using test::runCliWith;

constexpr std::uint32_t kFirst = 0x7F000002;
constexpr std::uint8_t kHome = 5;

class DeviceBatchTest : public ::testing::Test {
 protected:
  std::string writeImage(bool subordinate, const std::string& name = "image.qlxfw") {
    ImageBuilder builder;
    builder.name("SAMPLE").version(1, 0);
    if (subordinate) builder.address(kHome);
    data.clear();
    for (std::size_t i = 0; i < 4; ++i) {
      const Bytes payload = samplePayload(200 + 50 * i, static_cast<std::uint32_t>(i));
      builder.data(12, payload);
      data.insert(data.end(), payload.begin(), payload.end());
    }
    return dir.write(name, builder.bytes()).string();
  }

  std::string writeTargets(const std::string& text) {
    const auto file = dir.path() / "bench.txt";
    std::ofstream(file) << text;
    return file.string();
  }

  CliResult run(std::vector<std::string> args) {
    args.insert(args.end(), {"--login", "admin", "--password", "admin"});
    return runCliWith(environment, args);
  }

  const Bytes& subordinateData(std::uint32_t address) {
    return bench.device(address).subordinate(kHome)->programmedData;
  }

  test::SimulatedBench bench{kFirst, 6, DeviceConfig{.subordinates = {{kHome, {1, 2, 3, 4}}}}};
  test::BenchCliEnvironment environment{bench};
  test::TempDir dir;
  Bytes data;
};

TEST_F(DeviceBatchTest, ASilentDeviceFailsAloneAndTheTableTellsEach) {
  // The third device takes the query and nothing after it.
  bench.device(kFirst + 2).faults().dropReplies({.skip = 1});
  const std::string image = writeImage(true);
  const CliResult result =
      run({"program", image, "--ip", "127.0.0.2", "--ip", "127.0.0.3", "--ip", "127.0.0.4"});

  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(subordinateData(kFirst), data);
  EXPECT_EQ(subordinateData(kFirst + 1), data);
  EXPECT_TRUE(subordinateData(kFirst + 2).empty());
  EXPECT_EQ(bench.device(kFirst + 3).log().entries().size(), 0u);
  // Nothing on standard output: the information of many devices would only run together there.
  EXPECT_EQ(result.out, "");
  const std::string programmed =
      ": Programmed 1100 bytes in 4 records into the subordinate at bus address 5 in 0.0 s\n";
  EXPECT_NE(result.err.find("127.0.0.2" + programmed), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("127.0.0.3" + programmed), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("127.0.0.4: failed (link-lost) after 0 bytes in 0.0 s: " +
                            std::string(text::kCommError) + "\n"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(
      result.err.ends_with("ADDRESS    BOARD ID    SERIAL  OUTCOME    BYTES  SECONDS\n"
                           "127.0.0.2  0x000012AB  3.7     ok          1100      0.0\n"
                           "127.0.0.3  0x000012AB  3.7     ok          1100      0.0\n"
                           "127.0.0.4  0x000012AB  3.7     link-lost      0      0.0\n"))
      << result.err;
}

TEST_F(DeviceBatchTest, AllSucceededExitsZeroAndTargetsComeFromFileAndOptions) {
  const std::string targets = writeTargets("# the bench\n127.0.0.4\n\n127.0.0.3 # second\n");
  const CliResult result =
      run({"program", writeImage(false), "--ip", "127.0.0.7", "--targets", targets});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  for (std::uint32_t address : {kFirst + 1, kFirst + 2, kFirst + 5}) {
    EXPECT_EQ(bench.device(address).programmedData(), data) << address;
  }
  EXPECT_TRUE(bench.device(kFirst).programmedData().empty());
  // The rows follow the order the devices were given in.
  const auto row = [&](const char* address) {
    return result.err.find(std::string("\n") + address);
  };
  EXPECT_LT(row("127.0.0.7  "), row("127.0.0.4  "));
  EXPECT_LT(row("127.0.0.4  "), row("127.0.0.3  "));
  // Each device's boot monitor is waited for once.
  EXPECT_EQ(environment.countedPauses().totalMs(), 3u * 2000);
}

TEST_F(DeviceBatchTest, ABadImageStopsEverythingBeforeAnyDeviceIsTouched) {
  const auto broken = dir.write("broken.qlxfw", ImageBuilder().data(13, Bytes{1}).bytes());
  CliResult result = run({"program", broken.string(), "--ip", "127.0.0.2", "--ip", "127.0.0.3"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kUnsupportedPacketType) + " (record 1, byte offset 0)\n");

  result = run({"program", (dir.path() / "missing.qlxfw").string(), "--ip", "127.0.0.2", "--ip",
                "127.0.0.3"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(result.err, std::string(text::kOpenFailed) + "\n");

  // A subordinate's image cannot go through a boot monitor started by hand.
  result =
      run({"program", writeImage(true), "--via-boot", "--ip", "127.0.0.2", "--ip", "127.0.0.3"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_TRUE(result.err.starts_with(text::kSubordinateViaBoot)) << result.err;
  for (std::uint32_t address = kFirst; address < kFirst + 6; ++address) {
    EXPECT_TRUE(bench.device(address).log().entries().empty()) << address;
  }
}

TEST_F(DeviceBatchTest, WrongTargetsAndJobsAreUsageErrors) {
  const std::string image = writeImage(false);
  const auto expectUsage = [&](std::vector<std::string> args, const std::string& message) {
    const CliResult result = run(std::move(args));
    EXPECT_EQ(result.exitCode, kExitUsage) << message;
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Usage: korvel-cli program"), std::string::npos);
  };
  const std::string bad = writeTargets("127.0.0.2\n# fine\nbench-7\n");
  expectUsage({"program", image, "--targets", bad},
              bad + ":3: 'bench-7' is not four dotted decimal numbers 0 to 255");
  const std::string twice = writeTargets("127.0.0.3\n127.0.0.2\n");
  expectUsage({"program", image, "--ip", "127.0.0.2", "--targets", twice},
              twice + ":2: 127.0.0.2 is given twice (first at --ip)");
  expectUsage({"program", image, "--ip", "127.0.0.2", "--ip", "127.0.0.2"},
              "127.0.0.2 is given twice");
  expectUsage({"program", image, "--targets", (dir.path() / "none.txt").string()},
              "none.txt: cannot be opened");
  expectUsage({"program", image, "--targets", writeTargets("# nobody\n")},
              "--ip A.B.C.D or --targets FILE is required");
  expectUsage({"program", image, "--ip", "127.0.0.2", "--jobs", "0"}, "--jobs");
  expectUsage({"program", image, "--ip", "127.0.0.2", "--jobs", "65"}, "--jobs");
  for (std::uint32_t address = kFirst; address < kFirst + 6; ++address) {
    EXPECT_TRUE(bench.device(address).log().entries().empty()) << address;
  }
}

TEST_F(DeviceBatchTest, AnInterruptStopsEveryRunAndTheTableIsStillWritten) {
  // Ctrl-C in the pause before the first device's second record; the second device's run has not
  // begun and never does.
  environment.countedPauses().onPause = [this](std::uint64_t count) {
    if (count == 3) environment.interrupt(kExitInterrupted);
  };
  const CliResult result =
      run({"program", writeImage(true), "--ip", "127.0.0.2", "--ip", "127.0.0.3", "--jobs", "1"});
  EXPECT_EQ(result.exitCode, kExitInterrupted);
  EXPECT_EQ(subordinateData(kFirst), Bytes(data.begin(), data.begin() + 200));
  EXPECT_EQ(bench.device(kFirst).subordinate(kHome)->busAddress, 254);
  EXPECT_TRUE(bench.device(kFirst + 1).log().entries().empty());
  EXPECT_EQ(result.err,
            "127.0.0.2: interrupted after 200 bytes in 0.0 s\n"
            "127.0.0.2: The subordinate was left at the programming address 254 without its own "
            "address given back\n"
            "127.0.0.3: interrupted after 0 bytes in 0.0 s\n"
            "ADDRESS    BOARD ID    SERIAL  OUTCOME      BYTES  SECONDS\n"
            "127.0.0.2  0x000012AB  3.7     interrupted    200      0.0\n"
            "127.0.0.3  -           -       interrupted      0      0.0\n");
}

// Holds each run at its start until `expected` runs have started, so that runs which could go at
// once do; counts how many were under way together.
class StartGate {
 public:
  explicit StartGate(std::size_t expected) : expected_(expected) {}

  void starting() {
    std::unique_lock lock(mutex_);
    ++started_;
    peak_ = std::max(peak_, ++running_);
    changed_.notify_all();
    // Bounded so that a runner that starts fewer runs at once fails instead of hanging.
    changed_.wait_for(lock, std::chrono::seconds(20), [this] { return started_ >= expected_; });
  }
  void finished() {
    const std::lock_guard lock(mutex_);
    --running_;
  }
  std::size_t peak() const { return peak_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t expected_;
  std::size_t started_ = 0;
  std::size_t running_ = 0;
  std::size_t peak_ = 0;
};

TEST_F(DeviceBatchTest, NoMoreRunsGoAtOnceThanTheJobsAllow) {
  const std::string image = writeImage(false);
  std::vector<CliRequest> requests;
  for (std::uint32_t address = kFirst; address < kFirst + 6; ++address) {
    requests.push_back({Ipv4Address::fromHostOrder(address), "admin", "admin", image, false, {}});
  }
  for (const int jobs : {2, 6}) {
    StartGate gate(static_cast<std::size_t>(jobs));
    BatchHooks hooks;
    std::vector<std::size_t> order;
    std::mutex orderMutex;
    hooks.starting = [&](DeviceRun&, std::size_t) { gate.starting(); };
    hooks.finished = [&](const DeviceResult& result, std::size_t index) {
      gate.finished();
      const std::lock_guard lock(orderMutex);
      EXPECT_EQ(result.address, requests[index].ipAddress);
      order.push_back(index);
    };
    const std::vector<DeviceResult> results = programDevices(requests, environment, jobs, hooks);
    EXPECT_EQ(gate.peak(), static_cast<std::size_t>(jobs));
    ASSERT_EQ(results.size(), requests.size());
    EXPECT_EQ(order.size(), requests.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(results[i].address, requests[i].ipAddress);
      EXPECT_TRUE(results[i].outcome.succeeded()) << results[i].outcome.text;
    }
  }
}

}  // namespace
}  // namespace korvel
