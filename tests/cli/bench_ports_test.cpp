// A bench whose devices share one address, each behind a network interface of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>

#include "cli/run/device_batch.h"
#include "cli_test_environment.h"
#include "device_model/image_builder.h"
#include "simulated_bench.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

using test::CliResult;
using test::runCliWith;

constexpr std::uint32_t kDeviceAddress = 0xC0A8000A;  // 192.168.0.10 on every port

class BenchPortsTest : public ::testing::Test {
 protected:
  BenchPortsTest() {
    environment.ports = {{"port1", &port1}, {"port2", &port2}, {"port3", &port3}};
    ImageBuilder builder;
    for (std::uint32_t i = 0; i < 3; ++i) {
      const Bytes payload = samplePayload(300, i);
      builder.data(12, payload);
      data.insert(data.end(), payload.begin(), payload.end());
    }
    image = dir.write("image.qlxfw", builder.bytes()).string();
  }

  CliResult run(std::vector<std::string> args) {
    args.insert(args.end(), {"--login", "admin", "--password", "admin"});
    return runCliWith(environment, args);
  }

  std::string writeTargets(const std::string& text) {
    const auto file = dir.path() / "bench.txt";
    std::ofstream(file) << text;
    return file.string();
  }

  bool untouched() {
    for (auto* port : {&routed, &port1, &port2, &port3}) {
      if (!port->device(kDeviceAddress).log().entries().empty()) return false;
    }
    return true;
  }

  test::SimulatedBench routed{kDeviceAddress, 1};
  test::SimulatedBench port1{kDeviceAddress, 1};
  test::SimulatedBench port2{kDeviceAddress, 1};
  test::SimulatedBench port3{kDeviceAddress, 1};
  test::BenchCliEnvironment environment{routed};
  test::TempDir dir;
  std::string image;
  Bytes data;
};

TEST_F(BenchPortsTest, OneAddressOnThreePortsIsThreeDevicesEachProgrammed) {
  const std::string targets =
      writeTargets("port1 192.168.0.10\n  port3\t192.168.0.10  # last port\nport2 192.168.0.10\n");
  const CliResult result = run({"program", image, "--targets", targets, "--json"});

  ASSERT_EQ(result.exitCode, kExitSuccess) << result.err;
  for (auto* port : {&port1, &port2, &port3}) {
    EXPECT_EQ(port->device(kDeviceAddress).programmedData(), data);
  }
  EXPECT_TRUE(routed.device(kDeviceAddress).log().entries().empty());
  EXPECT_NE(result.err.find("port3 192.168.0.10: Programmed 900 bytes"), std::string::npos)
      << result.err;
  EXPECT_TRUE(result.err.ends_with(
      "INTERFACE  ADDRESS       BOARD ID    SERIAL  OUTCOME  BYTES  SECONDS\n"
      "port1      192.168.0.10  0x000012AB  3.7     ok         900      0.0\n"
      "port3      192.168.0.10  0x000012AB  3.7     ok         900      0.0\n"
      "port2      192.168.0.10  0x000012AB  3.7     ok         900      0.0\n"))
      << result.err;
  EXPECT_NE(
      result.out.find(R"({"event":"result","schema":1,"ip":"192.168.0.10","interface":"port2",)"),
      std::string::npos)
      << result.out;
}

TEST_F(BenchPortsTest, InterfaceOptionReachesTheDeviceBehindThatPortOnly) {
  CliResult result = run({"info", "--ip", "192.168.0.10", "--interface", "port2", "--trace"});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_FALSE(port2.device(kDeviceAddress).log().entries().empty());
  EXPECT_NE(result.err.find(" ms port2 192.168.0.10 seq 0 attempt 1/5 sent command 0x03"),
            std::string::npos)
      << result.err;

  // --interface is the port of every device that names none of its own.
  const std::string targets = writeTargets("192.168.0.10\nport1 192.168.0.10\n");
  result = run({"program", image, "--targets", targets, "--interface", "port3", "--log-file",
                (dir.path() / "runs.jsonl").string()});
  EXPECT_EQ(result.exitCode, kExitSuccess) << result.err;
  EXPECT_EQ(port3.device(kDeviceAddress).programmedData(), data);
  EXPECT_EQ(port1.device(kDeviceAddress).programmedData(), data);
  EXPECT_TRUE(routed.device(kDeviceAddress).log().entries().empty());
  std::ifstream log(dir.path() / "runs.jsonl");
  const std::string lines((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(lines.find(R"("ip":"192.168.0.10","interface":"port3")"), std::string::npos) << lines;
}

// Windows has no way yet to choose the interface, so every name is refused there.
#ifdef _WIN32
constexpr std::string_view kNoSuchInterface =
    "': choosing the network interface is not available on Windows";
#else
constexpr std::string_view kNoSuchInterface = "' does not exist";
#endif

TEST_F(BenchPortsTest, AMissingInterfaceOrOneAddressTwiceOnAPortIsAUsageErrorBeforeAnyDevice) {
  const struct {
    std::vector<std::string> args;
    std::string targets;
    std::string message;
  } cases[] = {
      {{"info", "--ip", "192.168.0.10", "--interface", "korvel-none0"},
       "",
       "--interface: network interface 'korvel-none0" + std::string(kNoSuchInterface)},
      {{"program", image},
       "port1 192.168.0.10\nkorvel-none1 192.168.0.10\n",
       "network interface 'korvel-none1" + std::string(kNoSuchInterface)},
      {{"program", image},
       "port1 192.168.0.10\n192.168.0.10\n",
       ":2: 192.168.0.10 is given twice (first at "},
      {{"program", image, "--ip", "192.168.0.10", "--interface", "port1"},
       "port1 192.168.0.10\n",
       ":1: port1 192.168.0.10 is given twice (first at --ip)"},
      {{"program", image},
       "port1 192.168.0.10 port2\n",
       ":1: 'port1 192.168.0.10 port2' is not ADDRESS or INTERFACE ADDRESS"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    if (!c.targets.empty()) args.insert(args.end(), {"--targets", writeTargets(c.targets)});
    const CliResult result = run(args);
    EXPECT_EQ(result.exitCode, kExitUsage) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  EXPECT_TRUE(untouched());
}

}  // namespace
}  // namespace korvel
