#pragma once

#include <cstdint>
#include <string_view>

#include "common/bytes.h"
#include "link/echo_service.h"

namespace korvel {

// What became of one echo request.
enum class ExchangeResult : std::uint8_t {
  Accepted,  // a reply that passed every check of the link
  Received,  // a reply to a bare send, which the link does not check
  Rejected,  // a reply that failed the check in `rejectedBy`
  NoReply,   // nothing came back within the timeout
  Refused,   // the operating system would not send it; `refusal` says why
};

// The link's checks of a reply, in the order it makes them.
enum class ReplyCheck : std::uint8_t {
  Truncated,           // fewer bytes than a frame header
  Oversized,           // more bytes than the room the request left for the reply
  LengthAboveRequest,  // the length field is greater than the request's
  Checksum,            // the frame checksum is wrong, or the reply is cut short of its length
  Token,               // the token is not the inverse of the session token
  LengthBelowMinimum,  // the length field is below the least a device answers with
};

// One echo request as it went out, and what came back.
struct EchoExchange {
  std::uint32_t targetAddress = 0;  // network byte order
  std::uint32_t sequence = 0;       // the frame's sequence field
  ByteView sent;                    // exactly the bytes sent; valid during the call only
  int attempt = 1;                  // which attempt of this request, from 1
  int attempts = 1;                 // how many this request may take
  ExchangeResult result = ExchangeResult::NoReply;
  // What came back (Accepted, Received, Rejected), valid during the call only.
  ByteView reply;
  // The reply's length field and the device's status byte (Accepted).
  std::uint16_t replyLength = 0;
  std::uint8_t status = 0;
  ReplyCheck rejectedBy = ReplyCheck::Truncated;    // Rejected
  EchoFailureKind refusal = EchoFailureKind::None;  // Refused
};

// Told about every echo request a link makes, on the thread that makes it, before the link goes
// on. Time stamps are the observer's business.
class ExchangeObserver {
 public:
  virtual ~ExchangeObserver() = default;
  virtual void onExchange(const EchoExchange& exchange) = 0;
};

// Stable names for machine-readable output.
std::string_view exchangeResultName(ExchangeResult result);
std::string_view replyCheckName(ReplyCheck check);
std::string_view echoFailureName(EchoFailureKind kind);

}  // namespace korvel
