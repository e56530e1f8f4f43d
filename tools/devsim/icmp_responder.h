#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <queue>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "device_model/simulated_device.h"
#include "device_setup.h"
#include "json_log.h"

namespace korvel::devsim {

// The simulated devices answering real ICMP echo requests through one raw socket: each request
// to one of their addresses goes to that device, and its reply frame goes back as the data of an
// echo reply, sent from the address that was asked.
class IcmpResponder {
 public:
  IcmpResponder(std::vector<DeviceSetup> setups, JsonLog* log, std::chrono::milliseconds maxDelay);
  ~IcmpResponder();
  IcmpResponder(const IcmpResponder&) = delete;
  IcmpResponder& operator=(const IcmpResponder&) = delete;

  // False with `error` set when no raw ICMP socket can be had.
  bool open(std::string& error);

  // Answers until `stop` is set by a signal; SIGINT and SIGTERM must be blocked by the caller,
  // they are let in only while waiting. False with `error` set on a failure of the socket.
  bool run(const volatile std::sig_atomic_t& stop, std::string& error);

  // The bytes programmed into each device and each subordinate, one file each.
  bool writeDumps(const std::filesystem::path& folder, std::string& error) const;

 private:
  struct Device {
    DeviceSetup setup;
    std::unique_ptr<SimulatedDevice> model;
    // Where the last reply went, for a late reply.
    bool answeredBefore = false;
    std::uint32_t lastPeer = 0;
    std::uint16_t lastIdentifier = 0;
    std::uint16_t lastSequence = 0;
  };
  struct Outgoing {
    std::chrono::steady_clock::time_point due;
    std::uint64_t order = 0;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    Bytes frame;
    bool operator>(const Outgoing& other) const {
      return due != other.due ? due > other.due : order > other.order;
    }
  };

  void receiveWaiting();
  void handleDatagram(ByteView datagram);
  void sendDue();
  void send(const Outgoing& reply);
  Device* deviceAt(std::uint32_t address);

  std::vector<Device> devices_;
  JsonLog* log_;
  std::chrono::milliseconds maxDelay_;
  int socket_ = -1;
  Bytes buffer_;
  Bytes packet_;
  std::priority_queue<Outgoing, std::vector<Outgoing>, std::greater<>> outgoing_;
  std::uint64_t sent_ = 0;
};

}  // namespace korvel::devsim
