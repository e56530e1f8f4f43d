#include "device_model/simulated_echo_service.h"

#include <algorithm>
#include <chrono>

namespace korvel {

class SimulatedEchoService::Channel : public EchoChannel {
 public:
  explicit Channel(SimulatedEchoService& owner) : owner_(owner) {}

  std::optional<std::size_t> echo(Ipv4Address targetAddress, ByteView data,
                                  MutableByteView replyData, std::uint32_t timeoutMs) override {
    lastSendFailure_ = EchoFailureKind::None;
    if (data.size() > owner_.largestSend_) {
      lastSendFailure_ = EchoFailureKind::TooLarge;
      ++owner_.refusedForSize_;
      return std::nullopt;
    }
    ++owner_.exchanges_;
    if (targetAddress != owner_.deviceAddress_) return std::nullopt;
    const DeviceAnswer answer = owner_.device_.respond(data);
    if (!answer.reply || answer.delay >= std::chrono::milliseconds(timeoutMs)) return std::nullopt;
    if (answer.reply->size() > replyData.size()) return std::nullopt;
    std::copy(answer.reply->begin(), answer.reply->end(), replyData.begin());
    return answer.reply->size();
  }

  EchoFailureKind lastSendFailure() const override { return lastSendFailure_; }

 private:
  SimulatedEchoService& owner_;
  EchoFailureKind lastSendFailure_ = EchoFailureKind::None;
};

SimulatedEchoService::SimulatedEchoService(SimulatedDevice& device, Ipv4Address deviceAddress)
    : device_(device), deviceAddress_(deviceAddress) {}

void SimulatedEchoService::refuseOpening(EchoFailure failure) { refusal_ = std::move(failure); }

void SimulatedEchoService::refuseSendsLargerThan(std::size_t dataBytes) {
  largestSend_ = dataBytes;
}

std::unique_ptr<EchoChannel> SimulatedEchoService::open(EchoFailure& failure) {
  if (refusal_.kind != EchoFailureKind::None) {
    failure = refusal_;
    return nullptr;
  }
  ++opened_;
  return std::make_unique<Channel>(*this);
}

}  // namespace korvel
