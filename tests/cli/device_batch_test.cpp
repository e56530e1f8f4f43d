// Many devices programmed at once by the command line, against simulated devices in process.
#include "cli/run/device_batch.h"

#include "cli/platform/interrupt_watch.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include "cli_test_environment.h"
#include "common/texts.h"
#include "device_model/image_builder.h"
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

  std::string writeVersioned(bool subordinate, std::uint8_t major, std::uint8_t minor) {
    ImageBuilder builder;
    builder.version(major, minor);
    if (subordinate) builder.address(kHome);
    builder.data(12, samplePayload(100, 1));
    return dir
        .write("v" + std::to_string(major) + "." + std::to_string(minor) + ".qlxfw",
               builder.bytes())
        .string();
  }

  // The device heard the information query and nothing else.
  bool onlyQueried(std::uint32_t address) {
    const ConversationLog& log = bench.device(address).log();
    return !log.empty() && std::all_of(log.begin(), log.end(), [](const ConversationEntry& e) {
      return e.kind == RequestKind::DeviceCommand && e.code == 0x03;
    });
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

std::vector<nlohmann::json> linesOf(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

// The devices report board 0x000012AB and program 2.5.
TEST_F(DeviceBatchTest, ADeviceThatIsNotWhatTheRunDemandsHearsNothingAfterTheQuery) {
  struct Case {
    std::vector<std::string> demands;
    std::string image;
    const char* outcome;
    std::string text;
  };
  const std::string wrongBoard = std::string(text::kWrongBoard) + ": 0x000012AB, expected ";
  const std::string downgrade = std::string(text::kDowngrade) + ": image ";
  const Case cases[] = {
      {{"--expect-board", "0x12ac"},
       writeVersioned(true, 3, 0),
       "wrong-board",
       wrongBoard + "0x000012AC"},
      {{"--expect-board", "4780", "--no-downgrade"},
       writeVersioned(false, 3, 0),
       "wrong-board",
       wrongBoard + "0x000012AC"},
      {{"--no-downgrade", "--expect-board", "4779"},
       writeVersioned(false, 2, 4),
       "downgrade",
       downgrade + "2.4, device 2.5"},
  };
  std::uint32_t address = kFirst;
  for (const Case& c : cases) {
    const std::string log = (dir.path() / "runs.jsonl").string();
    std::filesystem::remove(log);
    std::vector<std::string> args{"program", c.image, "--json", "--log-file", log};
    for (const std::uint32_t device : {address, address + 1}) {
      args.insert(args.end(), {"--ip", Ipv4Address::fromHostOrder(device).dotted()});
    }
    args.insert(args.end(), c.demands.begin(), c.demands.end());
    const CliResult result = run(args);
    EXPECT_EQ(result.exitCode, kExitFailure) << c.outcome;
    for (const std::uint32_t device : {address, address + 1}) {
      EXPECT_TRUE(onlyQueried(device)) << c.outcome << " " << device;
      const std::string ip = Ipv4Address::fromHostOrder(device).dotted();
      EXPECT_NE(result.err.find(ip + "  0x000012AB  3.7     " + c.outcome), std::string::npos)
          << result.err;
    }
    std::size_t results = 0;
    for (const auto& line : linesOf(result.out)) {
      if (line.at("event") != "result") continue;
      ++results;
      EXPECT_EQ(line.at("outcome"), c.outcome);
      EXPECT_EQ(line.at("text"), c.text);
    }
    EXPECT_EQ(results, 2u);
    std::ifstream logged(log);
    const std::string logText((std::istreambuf_iterator<char>(logged)), {});
    const auto entries = linesOf(logText);
    ASSERT_EQ(entries.size(), 2u) << logText;
    for (const auto& entry : entries) EXPECT_EQ(entry.at("outcome"), c.outcome);
    address += 2;
  }
}

TEST_F(DeviceBatchTest, DemandsThatHoldLetTheRunGoOn) {
  // The same version is no downgrade; a subordinate's version is not the device's to compare.
  for (const auto& [image, address] : {std::pair{writeVersioned(false, 2, 5), "127.0.0.2"},
                                       {writeVersioned(true, 1, 0), "127.0.0.3"}}) {
    const CliResult result =
        run({"program", image, "--ip", address, "--expect-board", "0x12AB", "--no-downgrade"});
    EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  }
  EXPECT_EQ(bench.device(kFirst).programmedData(), samplePayload(100, 1));
  EXPECT_EQ(subordinateData(kFirst + 1), samplePayload(100, 1));

  // A device that never says who it is cannot be shown to be the right board.
  bench.device(kFirst + 2).faults().dropReplies({});
  CliResult result = run(
      {"program", writeVersioned(false, 3, 0), "--ip", "127.0.0.4", "--expect-board", "0x12AB"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_TRUE(onlyQueried(kFirst + 2));

  // The information query alone: the information is still shown, the refusal goes to stderr.
  result = run({"info", "--ip", "127.0.0.5", "--expect-board", "1"});
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_NE(result.out.find("Board Id=0x000012AB"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find(std::string(text::kWrongBoard) + ": 0x000012AB, expected 0x00000001"),
            std::string::npos)
      << result.err;
  for (const char* bad : {"0x", "12AB", "0x1FFFFFFFF", "-1", "0x-1", ""}) {
    result = run({"info", "--ip", "127.0.0.5", "--expect-board", bad});
    EXPECT_EQ(result.exitCode, kExitUsage) << bad;
  }
  result =
      run({"program", writeVersioned(false, 3, 0), "--ip", "127.0.0.5", "--max-failures", "0"});
  EXPECT_EQ(result.exitCode, kExitUsage);
}

TEST_F(DeviceBatchTest, AfterTheFailureLimitNoFurtherDeviceIsStarted) {
  const std::string log = (dir.path() / "runs.jsonl").string();
  // Devices 2, 4 and 5 fail; one run at a time, so the second device's failure is the limit.
  test::SimulatedBench eight{kFirst, 8};
  test::BenchCliEnvironment benchEnvironment{eight};
  for (const std::uint32_t failing : {1u, 3u, 4u})
    eight.device(kFirst + failing).faults().dropReplies({});
  std::vector<std::string> args{"program", writeImage(false), "--jobs",     "1", "--max-failures",
                                "1",       "--json",          "--log-file", log, "--login",
                                "admin",   "--password",      "admin"};
  for (std::uint32_t i = 0; i < 8; ++i) {
    args.insert(args.end(), {"--ip", Ipv4Address::fromHostOrder(kFirst + i).dotted()});
  }
  const CliResult result = runCliWith(benchEnvironment, args);
  EXPECT_EQ(result.exitCode, kExitFailure);
  EXPECT_EQ(eight.device(kFirst).programmedData(), data);
  for (std::uint32_t i = 2; i < 8; ++i) {
    EXPECT_TRUE(eight.device(kFirst + i).log().empty()) << i;
    const std::string ip = Ipv4Address::fromHostOrder(kFirst + i).dotted();
    EXPECT_NE(result.err.find(ip + ": " + text::kSkipped + "\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(ip + "  -           -       skipped"), std::string::npos);
  }
  std::vector<std::string> outcomes;
  for (const auto& line : linesOf(result.out)) {
    if (line.at("event") == "result") outcomes.push_back(line.at("outcome"));
  }
  EXPECT_EQ(outcomes, (std::vector<std::string>{"ok", "link-lost", "skipped", "skipped", "skipped",
                                                "skipped", "skipped", "skipped"}));
  std::ifstream logged(log);
  EXPECT_EQ(linesOf(std::string((std::istreambuf_iterator<char>(logged)), {})).size(), 8u);
}

// Four runs at once: the first goes on once all four have started, the others once the first
// device's failure is known. They were under way, so they finish; nothing starts after them.
TEST_F(DeviceBatchTest, RunsUnderWayWhenTheLimitIsReachedFinishAndNoMoreStart) {
  test::SimulatedBench eight{kFirst, 8};
  test::BenchCliEnvironment benchEnvironment{eight};
  for (const std::uint32_t failing : {0u, 5u, 6u})
    eight.device(kFirst + failing).faults().dropReplies({});
  const std::string image = writeImage(false);
  std::vector<CliRequest> requests;
  for (std::uint32_t i = 0; i < 8; ++i) {
    requests.push_back(
        {Ipv4Address::fromHostOrder(kFirst + i), "admin", "admin", image, false, {}});
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool firstFailed = false;
  std::vector<std::size_t> started;
  BatchHooks hooks;
  hooks.starting = [&](DeviceRun&, std::size_t index) {
    std::unique_lock lock(mutex);
    started.push_back(index);
    changed.notify_all();
    // Bounded, so that a batch that starts fewer runs fails instead of hanging.
    changed.wait_for(lock, std::chrono::seconds(20),
                     [&] { return index == 0 ? started.size() == 4 : firstFailed; });
  };
  hooks.finished = [&](const DeviceResult& result, std::size_t index) {
    const std::lock_guard lock(mutex);
    if (index == 0 && !result.outcome.succeeded()) firstFailed = true;
    changed.notify_all();
  };
  const auto results = programDevices(requests, benchEnvironment, 4, hooks, 1);
  std::sort(started.begin(), started.end());
  EXPECT_EQ(started, (std::vector<std::size_t>{0, 1, 2, 3}));
  EXPECT_EQ(results[0].outcome.kind, OutcomeKind::LinkLost);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_TRUE(results[i].outcome.succeeded()) << i;
  for (std::size_t i = 4; i < 8; ++i) {
    EXPECT_EQ(results[i].outcome.kind, OutcomeKind::Skipped) << i;
    EXPECT_EQ(results[i].address, requests[i].ipAddress);
    EXPECT_TRUE(eight.device(kFirst + static_cast<std::uint32_t>(i)).log().empty()) << i;
  }
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
