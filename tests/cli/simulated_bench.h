#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/platform/cli_environment.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "programming/pauses.h"

namespace korvel::test {

// Several simulated devices at consecutive addresses behind one echo facility, as a production
// bench has them, for runs on several threads at once: each channel hands a request to the
// device at its target address, through a channel of that device's own.
class SimulatedBench : public EchoService {
 public:
  SimulatedBench(std::uint32_t firstAddress, std::size_t count, const DeviceConfig& config = {}) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto address = firstAddress + static_cast<std::uint32_t>(i);
      auto& slot = devices_[address];
      slot.device = std::make_unique<SimulatedDevice>(config);
      slot.echo =
          std::make_unique<SimulatedEchoService>(*slot.device, Ipv4Address::fromHostOrder(address));
    }
  }

  SimulatedDevice& device(std::uint32_t address) { return *devices_.at(address).device; }

  std::unique_ptr<EchoChannel> open(EchoFailure&) override {
    return std::make_unique<Channel>(*this);
  }

 private:
  struct Slot {
    std::unique_ptr<SimulatedDevice> device;
    std::unique_ptr<SimulatedEchoService> echo;
  };

  // Only one run talks to each address, so each device is reached from one thread at a time.
  class Channel : public EchoChannel {
   public:
    explicit Channel(SimulatedBench& bench) : bench_(bench) {}
    std::optional<std::size_t> echo(Ipv4Address target, ByteView data, MutableByteView reply,
                                    std::uint32_t timeoutMs) override {
      const auto found = bench_.devices_.find(target.hostOrder());
      if (found == bench_.devices_.end()) return std::nullopt;
      auto& channel = channels_[target.hostOrder()];
      if (!channel) {
        EchoFailure ignored;
        channel = found->second.echo->open(ignored);
      }
      return channel->echo(target, data, reply, timeoutMs);
    }

   private:
    SimulatedBench& bench_;
    std::map<std::uint32_t, std::unique_ptr<EchoChannel>> channels_;
  };

  std::map<std::uint32_t, Slot> devices_;
};

// Counts the pauses asked for from any thread, sleeping none.
class CountingPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override {
    const std::lock_guard lock(mutex_);
    ++count_;
    totalMs_ += milliseconds;
    if (onPause) onPause(count_);
  }
  std::uint64_t totalMs() {
    const std::lock_guard lock(mutex_);
    return totalMs_;
  }

  // Called with the number of pauses so far, from the thread that pauses; set it before the runs.
  std::function<void(std::uint64_t)> onPause;

 private:
  std::mutex mutex_;
  std::uint64_t count_ = 0;
  std::uint64_t totalMs_ = 0;
};

// The machine of a test with a bench of devices: no terminal, a clock that stands still.
class BenchCliEnvironment : public CliEnvironment {
 public:
  explicit BenchCliEnvironment(EchoService& echo) : echo_(echo) {}
  EchoService& echoService() override { return echo_; }
  // A bench's ports, each with devices of its own behind it; any other name is looked up on
  // this machine.
  EchoService& echoServiceOn(const std::string& interfaceName) override {
    return interfaceName.empty() ? echo_ : *ports.at(interfaceName);
  }
  std::optional<std::string> interfaceProblem(const std::string& name) override {
    return ports.contains(name) ? std::nullopt : networkInterfaceProblem(name);
  }
  Pauses& pauses() override { return pauses_; }
  bool errorStreamIsTerminal() const override { return false; }
  std::chrono::steady_clock::time_point now() const override { return {}; }
  std::unique_ptr<InterruptWatch> watchInterrupts(std::function<void(int)> stop) override {
    interrupt = std::move(stop);
    return std::make_unique<InterruptWatch>();
  }

  // The operator's interrupt while a command watches for it.
  std::function<void(int)> interrupt;
  std::map<std::string, EchoService*> ports;

  CountingPauses& countedPauses() { return pauses_; }

 private:
  EchoService& echo_;
  CountingPauses pauses_;
};

}  // namespace korvel::test
