#include "link/echo_link.h"

#include <algorithm>
#include <cstring>

#include "link/frame_header.h"
#include "link/frame_seal.h"

namespace korvel {

EchoLink::EchoLink(EchoService& service, Ipv4Address targetAddress, std::uint32_t sessionToken)
    : channel_(service.open(openFailure_)),
      targetAddress_(targetAddress),
      sessionToken_(sessionToken) {}

std::optional<ByteView> EchoLink::send(ByteView bytes, std::uint32_t timeoutMs) {
  lastSendTooLarge_ = false;
  if (!channel_ || bytes.size() > 0xFFFF) return std::nullopt;
  const std::size_t room = std::max<std::size_t>(bytes.size(), 8);
  const std::size_t need = room + kReplyRecordSize;
  if (replyBuffer_.size() < need) replyBuffer_.assign(need, 0);
  lastReplyRoom_ = need;
  const MutableByteView replyData(replyBuffer_.data() + kReplyRecordSize, room);
  const auto received = channel_->echo(targetAddress_, bytes, replyData, timeoutMs);
  if (!received) {
    lastSendTooLarge_ = channel_->lastSendFailure() == EchoFailureKind::TooLarge;
    dropRefusedChannel();
  }
  if (!received || *received > room) return std::nullopt;
  return ByteView(replyData.data(), *received);
}

void EchoLink::dropRefusedChannel() {
  if (const EchoFailure* refusal = channel_->refusal()) {
    openFailure_ = *refusal;
    channel_.reset();
  }
}

bool EchoLink::isValidReply(ByteView reply, std::uint16_t requestLength) const {
  if (reply.size() < FrameHeader::kSize) return false;
  const FrameHeader header = FrameHeader::read(reply);
  if (header.length > requestLength) return false;
  // A reply shorter than its own length field is cut off, and fails its seal.
  if (!frameSealIntact(reply)) return false;
  if (header.token != static_cast<std::uint32_t>(~sessionToken_)) return false;
  return header.length >= reply::kMinLength;
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
  for (std::int32_t attempt = 0; attempt < attempts; ++attempt) {
    const auto reply = send(finished, timeoutMs);
    if (lastSendTooLarge_) break;
    if (!reply || !isValidReply(*reply, header.length)) continue;
    ++sequence_;
    return reply->first(FrameHeader::kSize + getLe16(*reply, FrameHeader::kLengthOffset));
  }
  return std::nullopt;
}

}  // namespace korvel
