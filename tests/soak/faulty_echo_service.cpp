#include "soak/faulty_echo_service.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "device_model/request_frame.h"
#include "link/device_replies.h"
#include "link/frame_header.h"
#include "link/frame_seal.h"

namespace korvel::soak {
namespace {

constexpr std::uint8_t kErrorStatuses[] = {0, 2, 3, 4, 0x7F, 0xFF};

// What the program will make of `reply` to a forwarded record: nothing when the link refuses it
// or it does not say "taken", else the number of earlier records it asks for again.
std::optional<unsigned> takenWithResends(ByteView reply, ByteView request) {
  if (reply.size() < FrameHeader::kSize || request.size() < FrameHeader::kSize) return std::nullopt;
  const FrameHeader header = FrameHeader::read(reply);
  const FrameHeader asked = FrameHeader::read(request);
  const bool linkTakesIt = reply.size() == FrameHeader::kSize + header.length &&
                           header.length >= reply::kMinLength && header.length <= asked.length &&
                           header.token == static_cast<std::uint32_t>(~asked.token) &&
                           frameSealIntact(reply);
  if (!linkTakesIt || !replyStatusOk(replyBody(reply))) return std::nullopt;
  const BusRecordAck ack = BusRecordAck::parse(replyBody(reply));
  if (!ack.taken()) return std::nullopt;
  return ack.resendCount();
}

}  // namespace

FaultCounts& FaultCounts::operator+=(const FaultCounts& other) {
  exchanges += other.exchanges;
  droppedRequests += other.droppedRequests;
  droppedReplies += other.droppedReplies;
  badChecksums += other.badChecksums;
  sameTokens += other.sameTokens;
  wrongLengths += other.wrongLengths;
  lateReplies += other.lateReplies;
  staleAccepted += other.staleAccepted;
  statusErrors += other.statusErrors;
  resendRequests += other.resendRequests;
  nestedResendRequests += other.nestedResendRequests;
  notTaken += other.notTaken;
  omittedResendBytes += other.omittedResendBytes;
  return *this;
}

class FaultyEchoService::Channel : public EchoChannel {
 public:
  explicit Channel(FaultyEchoService& owner) : owner_(owner) {}

  std::optional<std::size_t> echo(Ipv4Address targetAddress, ByteView data,
                                  MutableByteView replyData, std::uint32_t timeoutMs) override {
    FaultCounts& counts = owner_.counts_;
    ++counts.exchanges;
    // Whatever was still on its way arrives during this exchange.
    std::optional<Bytes> late = std::exchange(onTheWay_, std::nullopt);
    if (targetAddress != owner_.deviceAddress_ || !owner_.device_) return std::nullopt;

    owner_.chooseFaults(data);
    DeviceAnswer answer = owner_.device_->respond(data);
    if (answer.lateReply) late = std::move(answer.lateReply);

    std::optional<Bytes> handedOn;
    if (late) {
      ++counts.lateReplies;
      if (owner_.options_.handOnLateReplies) {
        handedOn = std::move(late);
        ++counts.staleAccepted;
      }
    }
    if (answer.reply) {
      const bool inTime = answer.delay < std::chrono::milliseconds(timeoutMs);
      if (inTime && !handedOn) {
        handedOn = std::move(answer.reply);
      } else {
        onTheWay_ = std::move(answer.reply);
      }
    }
    if (!handedOn || handedOn->size() > replyData.size()) return std::nullopt;
    owner_.followResends(data, *handedOn);
    std::copy(handedOn->begin(), handedOn->end(), replyData.begin());
    return handedOn->size();
  }

 private:
  FaultyEchoService& owner_;
  std::optional<Bytes> onTheWay_;
};

FaultyEchoService::FaultyEchoService(Ipv4Address deviceAddress, FaultRates rates,
                                     std::uint64_t seed, Options options)
    : deviceAddress_(deviceAddress), rates_(rates), options_(options), random_(seed) {}

FaultyEchoService::~FaultyEchoService() = default;

void FaultyEchoService::attach(SimulatedDevice& device) {
  device_ = &device;
  resendsOutstanding_ = 0;
}

std::unique_ptr<EchoChannel> FaultyEchoService::open(EchoFailure&) {
  resendsOutstanding_ = 0;
  return std::make_unique<Channel>(*this);
}

bool FaultyEchoService::chance(double probability) {
  return probability > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < probability;
}

void FaultyEchoService::chooseFaults(ByteView request) {
  FaultPlan& plan = device_->faults();
  plan.clear();
  const auto strike = [&plan](FaultKind kind, std::uint8_t value = 0,
                              std::chrono::milliseconds delay = {}) {
    plan.add({kind, {}, {}, value, delay});
  };
  if (chance(rates_.dropRequest)) {
    ++counts_.droppedRequests;
    strike(FaultKind::DropRequest);
    return;
  }
  if (chance(rates_.dropReply)) {
    ++counts_.droppedReplies;
    strike(FaultKind::DropReply);
  }
  // The device answers a frame it has acted on with what it answered the first time; saying
  // "failed" then, having done it, would make any program do it twice.
  const bool repeated =
      std::equal(request.begin(), request.end(), lastActedOn_.begin(), lastActedOn_.end());
  if (!repeated) lastActedOn_.assign(request.begin(), request.end());
  if (!repeated && chance(rates_.statusError)) {
    ++counts_.statusErrors;
    auto pick = std::uniform_int_distribution<std::size_t>(0, std::size(kErrorStatuses) - 1);
    strike(FaultKind::Status, kErrorStatuses[pick(random_)]);
  }
  if (chance(rates_.badChecksum)) {
    ++counts_.badChecksums;
    strike(FaultKind::BadChecksum);
  }
  if (chance(rates_.sameToken)) {
    ++counts_.sameTokens;
    strike(FaultKind::SameToken);
  }
  if (chance(rates_.lengthTooShort)) {
    ++counts_.wrongLengths;
    strike(FaultKind::LengthTooShort);
  } else if (chance(rates_.lengthTooLong)) {
    ++counts_.wrongLengths;
    strike(FaultKind::LengthTooLong);
  }
  if (chance(rates_.lateReply)) strike(FaultKind::LateReply);
  if (chance(rates_.pastTimeout)) strike(FaultKind::Delay, 0, std::chrono::milliseconds(1500));

  const RequestFrame frame = readRequestFrame(request, device_->inBootMonitor());
  if (frame.kind == RequestKind::BusRecord) chooseRecordFaults(frame.busAddress);
}

// A subordinate asks again only for records it holds from this run, at most three.
void FaultyEchoService::chooseRecordFaults(std::uint8_t busAddress) {
  FaultPlan& plan = device_->faults();
  std::size_t held = 0;
  for (const auto& sub : device_->subordinates()) {
    if (sub.busAddress == busAddress) held = sub.recordSizes.size();
  }
  const auto highBits = static_cast<std::uint8_t>(random_() & 0xF8);
  if (chance(rates_.notTaken)) {
    ++counts_.notTaken;
    plan.add(
        {FaultKind::ResendByte, {}, {}, static_cast<std::uint8_t>(highBits | (random_() & 6))});
    return;
  }
  const bool duringResends = resendsOutstanding_ > 0;
  if (held > 0 && chance(rates_.resendRequest)) {
    const auto most = static_cast<unsigned>(std::min<std::size_t>(held, 3));
    const unsigned k = std::uniform_int_distribution<unsigned>(1, most)(random_);
    ++(duringResends ? counts_.nestedResendRequests : counts_.resendRequests);
    plan.add({FaultKind::ResendByte, {}, {}, static_cast<std::uint8_t>(highBits | (k << 1) | 1)});
    return;
  }
  if (chance(rates_.omitResendByte)) {
    ++counts_.omittedResendBytes;
    plan.add({FaultKind::OmitResendByte, {}, {}});
  }
}

// Keeps count of the single-record sends the program owes after a resend request, so that the
// next request counts as a fresh record only once they are done.
void FaultyEchoService::followResends(ByteView request, ByteView reply) {
  if (readRequestFrame(request, false).kind != RequestKind::BusRecord) return;
  const auto wanted = takenWithResends(reply, request);
  if (!wanted) return;
  if (resendsOutstanding_ > 0) {
    --resendsOutstanding_;
  } else if (*wanted > 0) {
    resendsOutstanding_ = *wanted + 1;
  }
}

}  // namespace korvel::soak
