#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "device_model/simulated_device.h"
#include "link/echo_service.h"

namespace korvel {

// The echo facility of a test: a request to the device's address reaches the simulated device at
// once, and its reply comes back at once. Silence, a dropped exchange, a reply delayed past the
// timeout and a request to any other address give nothing, without waiting. A late reply to an
// earlier request is what the operating system's facility filters out, so it never arrives here.
class SimulatedEchoService : public EchoService {
 public:
  SimulatedEchoService(SimulatedDevice& device, Ipv4Address deviceAddress);

  // Later opens fail with `failure`, as on a machine that allows this process no ICMP.
  void refuseOpening(EchoFailure failure);

  // Later sends of more data than this are refused at once for their size, as on a route whose
  // MTU is smaller, with don't-fragment set.
  void refuseSendsLargerThan(std::size_t dataBytes);

  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override;

  // Echo requests sent through any channel of this service, to any address.
  std::size_t exchanges() const { return exchanges_; }
  std::size_t opened() const { return opened_; }
  std::size_t refusedForSize() const { return refusedForSize_; }

 private:
  class Channel;

  SimulatedDevice& device_;
  Ipv4Address deviceAddress_;
  EchoFailure refusal_;
  std::size_t exchanges_ = 0;
  std::size_t opened_ = 0;
  std::size_t largestSend_ = SIZE_MAX;
  std::size_t refusedForSize_ = 0;
};

}  // namespace korvel
