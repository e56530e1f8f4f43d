#include "link/echo_link.h"

#include <algorithm>
#include <cstring>

#include "link/device_replies.h"
#include "link/frame_header.h"
#include "link/frame_seal.h"

namespace korvel {

EchoLink::EchoLink(EchoService& service, std::uint32_t targetAddress, std::uint32_t sessionToken)
    : channel_(service.open(openFailure_)),
      targetAddress_(targetAddress),
      sessionToken_(sessionToken) {}

std::optional<ByteView> EchoLink::send(ByteView bytes, std::uint32_t timeoutMs) {
  if (stopRequested()) return std::nullopt;
  const Transmission transmission = transmit(bytes, timeoutMs);
  if (observer_) observer_->onExchange(exchangeOf(bytes, 1, 1, transmission));
  return transmission.reply;
}

EchoLink::Transmission EchoLink::transmit(ByteView bytes, std::uint32_t timeoutMs) {
  lastRefusal_ = EchoFailureKind::None;
  if (!channel_) {
    lastRefusal_ = openFailure_.kind == EchoFailureKind::None ? EchoFailureKind::Unavailable
                                                              : openFailure_.kind;
    return {};
  }
  if (bytes.size() > 0xFFFF) {
    lastRefusal_ = EchoFailureKind::TooLarge;
    return {};
  }
  const std::size_t room = std::max<std::size_t>(bytes.size(), 8);
  const std::size_t need = room + kReplyRecordSize;
  if (replyBuffer_.size() < need) replyBuffer_.assign(need, 0);
  lastReplyRoom_ = need;
  const MutableByteView replyData(replyBuffer_.data() + kReplyRecordSize, room);
  const auto received = channel_->echo(targetAddress_, bytes, replyData, timeoutMs);
  if (!received) {
    lastRefusal_ = channel_->lastSendFailure();
    dropRefusedChannel();
    return {};
  }
  if (*received > room) return {std::nullopt, true};
  return {ByteView(replyData.data(), *received)};
}

void EchoLink::dropRefusedChannel() {
  if (const EchoFailure* refusal = channel_->refusal()) {
    openFailure_ = *refusal;
    lastRefusal_ = refusal->kind;
    channel_.reset();
  }
}

std::optional<ReplyCheck> EchoLink::replyProblem(ByteView reply,
                                                 std::uint16_t requestLength) const {
  if (reply.size() < FrameHeader::kSize) return ReplyCheck::Truncated;
  const FrameHeader header = FrameHeader::read(reply);
  if (header.length > requestLength) return ReplyCheck::LengthAboveRequest;
  // A reply shorter than its own length field is cut off, and fails its seal.
  if (!frameSealIntact(reply)) return ReplyCheck::Checksum;
  if (header.token != static_cast<std::uint32_t>(~sessionToken_)) return ReplyCheck::Token;
  if (header.length < reply::kMinLength) return ReplyCheck::LengthBelowMinimum;
  return std::nullopt;
}

EchoExchange EchoLink::exchangeOf(ByteView sent, int attempt, int attempts,
                                  const Transmission& transmission) const {
  EchoExchange exchange;
  exchange.targetAddress = targetAddress_;
  if (sent.size() >= FrameHeader::kSize) exchange.sequence = FrameHeader::read(sent).sequence;
  exchange.sent = sent;
  exchange.attempt = attempt;
  exchange.attempts = attempts;
  if (transmission.reply) {
    exchange.result = ExchangeResult::Received;
    exchange.reply = *transmission.reply;
  } else if (transmission.oversized) {
    exchange.result = ExchangeResult::Rejected;
    exchange.rejectedBy = ReplyCheck::Oversized;
  } else if (lastRefusal_ != EchoFailureKind::None) {
    exchange.result = ExchangeResult::Refused;
    exchange.refusal = lastRefusal_;
  }
  return exchange;
}

void EchoLink::tellRequest(ByteView sent, int attempt, int attempts,
                           const Transmission& transmission,
                           std::optional<ReplyCheck> problem) const {
  if (!observer_) return;
  EchoExchange exchange = exchangeOf(sent, attempt, attempts, transmission);
  if (problem) {
    exchange.result = ExchangeResult::Rejected;
    exchange.rejectedBy = *problem;
  } else if (transmission.reply) {
    exchange.result = ExchangeResult::Accepted;
    exchange.replyLength = FrameHeader::read(exchange.reply).length;
    exchange.reply = exchange.reply.first(FrameHeader::kSize + exchange.replyLength);
    exchange.status = replyStatus(replyBody(exchange.reply));
  }
  observer_->onExchange(exchange);
}

std::optional<ByteView> EchoLink::request(MutableByteView frame, std::uint32_t timeoutMs,
                                          std::int32_t attempts) {
  if (frame.size() < FrameHeader::kSize) return std::nullopt;
  FrameHeader header = FrameHeader::read(frame);
  const std::size_t total = (header.length + FrameHeader::kSize) & 0xFFFF;
  if (total < FrameHeader::kSize || total > frame.size()) return std::nullopt;

  header.token = sessionToken_;
  header.sequence = sequence_;
  header.write(frame);
  sealFrame(frame);

  const ByteView finished(frame.data(), total);
  for (std::int32_t attempt = 0; attempt < attempts && !stopRequested(); ++attempt) {
    const Transmission transmission = transmit(finished, timeoutMs);
    const auto& reply = transmission.reply;
    const auto problem = reply ? replyProblem(*reply, header.length) : std::nullopt;
    tellRequest(finished, attempt + 1, attempts, transmission, problem);
    if (lastSendTooLarge()) break;
    if (!reply || problem) continue;
    ++sequence_;
    return reply->first(FrameHeader::kSize + getLe16(*reply, FrameHeader::kLengthOffset));
  }
  return std::nullopt;
}

std::uint32_t hostToNetworkAddress(std::uint32_t hostOrder) {
  std::uint32_t network = 0;
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(hostOrder >> 24), static_cast<std::uint8_t>(hostOrder >> 16),
      static_cast<std::uint8_t>(hostOrder >> 8), static_cast<std::uint8_t>(hostOrder)};
  std::memcpy(&network, bytes, sizeof network);
  return network;
}

std::uint32_t networkToHostAddress(std::uint32_t networkOrder) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
}

}  // namespace korvel
