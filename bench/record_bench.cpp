// The program's own time per record on each delivery path: whole programming runs of 1,024
// records of 1 KiB from an image file, against a device that answers at once, with the fixed
// pauses counted but not slept. Against the simulated device, for comparison, its work counts too.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "instant_device.h"
#include "programming/device_programmer.h"
#include "quiet_panel.h"

namespace korvel::bench {
namespace {

constexpr int kRecords = 1024;
constexpr std::size_t kRecordSize = 1024;
constexpr std::uint8_t kSubordinate = 5;

class CountingPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override { total += milliseconds; }
  std::uint64_t total = 0;
};

std::filesystem::path writeImage(bool subordinate) {
  ImageBuilder image;
  image.name("BENCH").version(1, 0);
  if (subordinate) image.address(kSubordinate);
  for (int i = 0; i < kRecords; ++i) {
    image.data(subordinate ? 0x21 : 12, samplePayload(kRecordSize, static_cast<std::uint32_t>(i)));
  }
  const auto path =
      std::filesystem::temp_directory_path() /
      ("korvel-bench-" + std::to_string(::getpid()) + (subordinate ? "-bus" : "-boot"));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.bytes().data()),
             static_cast<std::streamsize>(image.bytes().size()));
  return path;
}

// Hands each request to whichever simulated device is current: every run gets a fresh one.
class FreshDevices : public EchoService {
 public:
  void renew() {
    DeviceConfig config;
    config.subordinates.push_back({kSubordinate, {1, 2, 3, 4}});
    device_ = std::make_unique<SimulatedDevice>(config);
    service_ =
        std::make_unique<SimulatedEchoService>(*device_, Ipv4Address::fromHostOrder(0x7F000002));
  }
  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override {
    return service_->open(failure);
  }

 private:
  std::unique_ptr<SimulatedDevice> device_;
  std::unique_ptr<SimulatedEchoService> service_;
};

void report(benchmark::State& state, const QuietPanel& panel, const CountingPauses& pauses) {
  if (!panel.warnings.empty()) state.SkipWithError(panel.warnings.front().c_str());
  state.counters["per_record"] = benchmark::Counter(
      kRecords, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["paused_ms"] =
      static_cast<double>(pauses.total) / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords * kRecordSize);
}

void RunAgainstInstantDevice(benchmark::State& state) {
  const bool subordinate = state.range(0) != 0;
  const auto image = writeImage(subordinate);
  InstantDevice device;
  QuietPanel panel;
  panel.path = image.string();
  CountingPauses pauses;
  DeviceProgrammer programmer(panel, device, pauses);
  for (auto _ : state) programmer.programDevice();
  report(state, panel, pauses);
  std::filesystem::remove(image);
}

void RunAgainstSimulatedDevice(benchmark::State& state) {
  const bool subordinate = state.range(0) != 0;
  const auto image = writeImage(subordinate);
  FreshDevices devices;
  QuietPanel panel;
  panel.path = image.string();
  CountingPauses pauses;
  DeviceProgrammer programmer(panel, devices, pauses);
  for (auto _ : state) {
    state.PauseTiming();
    devices.renew();
    state.ResumeTiming();
    programmer.programDevice();
  }
  report(state, panel, pauses);
  std::filesystem::remove(image);
}

// Argument: 0 the boot-monitor path, 1 the bus path.
BENCHMARK(RunAgainstInstantDevice)->ArgName("bus")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(RunAgainstSimulatedDevice)->ArgName("bus")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvel::bench

BENCHMARK_MAIN();
