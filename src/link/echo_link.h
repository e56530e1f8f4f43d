#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/bytes.h"
#include "link/echo_service.h"

namespace korvel {

// One conversation partner: the echo channel to the device, its address, the reply buffer, and
// the session token and sequence counter that every request frame carries.
class EchoLink {
 public:
  // Room the platform's fixed reply record takes before the reply data (ICMP_ECHO_REPLY in its
  // 32-bit form); the reply buffer keeps it on every platform so its size follows one rule.
  static constexpr std::size_t kReplyRecordSize = 28;

  EchoLink(EchoService& service, Ipv4Address targetAddress, std::uint32_t sessionToken);

  EchoLink(const EchoLink&) = delete;
  EchoLink& operator=(const EchoLink&) = delete;

  std::uint32_t sessionToken() const { return sessionToken_; }
  std::uint32_t sequence() const { return sequence_; }
  Ipv4Address targetAddress() const { return targetAddress_; }

  // False when the echo facility could not be opened, or refused a send for good; every send
  // then returns nothing at once, and openFailure() says why.
  bool isOpen() const { return channel_ != nullptr; }
  const EchoFailure& openFailure() const { return openFailure_; }

  // One echo exchange. The reply stays valid until the next send on this link.
  [[nodiscard]] std::optional<ByteView> send(ByteView bytes, std::uint32_t timeoutMs);

  // Stamps token, sequence and checksum into `frame` (whose length field and payload the caller
  // has filled in) and sends it up to `attempts` times; returns the first reply that passes the
  // length, checksum and token tests. The sequence advances only on such a reply.
  [[nodiscard]] std::optional<ByteView> request(MutableByteView frame, std::uint32_t timeoutMs,
                                                std::int32_t attempts);

  // The last send was refused for its size: sending the same frame again cannot help.
  bool lastSendTooLarge() const { return lastSendTooLarge_; }

  std::size_t replyBufferSize() const { return replyBuffer_.size(); }
  std::size_t lastReplyRoom() const { return lastReplyRoom_; }

 private:
  bool isValidReply(ByteView reply, std::uint16_t requestLength) const;
  void dropRefusedChannel();

  EchoFailure openFailure_;  // before channel_: opening the channel fills it in
  std::unique_ptr<EchoChannel> channel_;
  Ipv4Address targetAddress_;
  Bytes replyBuffer_;
  std::size_t lastReplyRoom_ = 0;
  bool lastSendTooLarge_ = false;
  std::uint32_t sessionToken_;
  std::uint32_t sequence_ = 0;
};

// The lower 32 bits of a high-resolution clock, so that each new link normally gets a new token.
std::uint32_t newSessionToken();

}  // namespace korvel
