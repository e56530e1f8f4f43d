#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/bytes.h"
#include "link/echo_service.h"
#include "link/exchange_observer.h"

namespace korvel {

// One conversation partner: the echo channel to the device, its address, the reply buffer, and
// the session token and sequence counter that every request frame carries.
class EchoLink {
 public:
  // Room the platform's fixed reply record takes before the reply data (ICMP_ECHO_REPLY in its
  // 32-bit form); the reply buffer keeps it on every platform so its size follows one rule.
  static constexpr std::size_t kReplyRecordSize = 28;

  // `targetAddress` in network byte order: the first dotted field in the first byte in memory.
  EchoLink(EchoService& service, std::uint32_t targetAddress, std::uint32_t sessionToken);

  EchoLink(const EchoLink&) = delete;
  EchoLink& operator=(const EchoLink&) = delete;

  std::uint32_t sessionToken() const { return sessionToken_; }
  std::uint32_t sequence() const { return sequence_; }
  std::uint32_t targetAddress() const { return targetAddress_; }

  // False when the echo facility could not be opened, or refused a send for good; every send
  // then returns nothing at once, and openFailure() says why.
  bool isOpen() const { return channel_ != nullptr; }
  const EchoFailure& openFailure() const { return openFailure_; }

  // One echo exchange, its reply not checked. The reply stays valid until the next send on this
  // link.
  [[nodiscard]] std::optional<ByteView> send(ByteView bytes, std::uint32_t timeoutMs);

  // Stamps token, sequence and checksum into `frame` (whose length field and payload the caller
  // has filled in) and sends it up to `attempts` times; returns the first reply that passes the
  // length, checksum and token tests. The sequence advances only on such a reply.
  [[nodiscard]] std::optional<ByteView> request(MutableByteView frame, std::uint32_t timeoutMs,
                                                std::int32_t attempts);

  // The last send was refused for its size: sending the same frame again cannot help.
  bool lastSendTooLarge() const { return lastRefusal_ == EchoFailureKind::TooLarge; }

  // Every echo request from now on is told to `observer` (none: nobody listens); it must
  // outlive the link or be reset first.
  void setExchangeObserver(ExchangeObserver* observer) { observer_ = observer; }
  // Once `*stop` is true, no further echo request goes out: sends and the remaining attempts
  // of a request return nothing at once. None (the default): never.
  void setStopRequest(const std::atomic<bool>* stop) { stop_ = stop; }
  bool stopRequested() const { return stop_ && stop_->load(); }

  std::size_t replyBufferSize() const { return replyBuffer_.size(); }
  std::size_t lastReplyRoom() const { return lastReplyRoom_; }

 private:
  // What came back from one echo request, unchecked.
  struct Transmission {
    std::optional<ByteView> reply;
    bool oversized = false;  // more came back than there was room for
  };
  Transmission transmit(ByteView bytes, std::uint32_t timeoutMs);
  // The first check `reply` fails, or nothing when it is good.
  std::optional<ReplyCheck> replyProblem(ByteView reply, std::uint16_t requestLength) const;
  void dropRefusedChannel();
  EchoExchange exchangeOf(ByteView sent, int attempt, int attempts,
                          const Transmission& transmission) const;
  void tellRequest(ByteView sent, int attempt, int attempts, const Transmission& transmission,
                   std::optional<ReplyCheck> problem) const;

  EchoFailure openFailure_;  // before channel_: opening the channel fills it in
  std::unique_ptr<EchoChannel> channel_;
  std::uint32_t targetAddress_;
  Bytes replyBuffer_;
  std::size_t lastReplyRoom_ = 0;
  EchoFailureKind lastRefusal_ = EchoFailureKind::None;
  ExchangeObserver* observer_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
  std::uint32_t sessionToken_;
  std::uint32_t sequence_ = 0;
};

// The lower 32 bits of a high-resolution clock, so that each new link normally gets a new token.
std::uint32_t newSessionToken();

// 32-bit address with the first dotted field in the most significant byte, as the IP field
// gives it, to network byte order, and back.
std::uint32_t hostToNetworkAddress(std::uint32_t hostOrder);
std::uint32_t networkToHostAddress(std::uint32_t networkOrder);

}  // namespace korvel
