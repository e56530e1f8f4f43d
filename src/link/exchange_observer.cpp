#include "link/exchange_observer.h"

namespace korvel {

std::string_view exchangeResultName(ExchangeResult result) {
  switch (result) {
    case ExchangeResult::Accepted:
      return "accepted";
    case ExchangeResult::Received:
      return "received";
    case ExchangeResult::Rejected:
      return "rejected";
    case ExchangeResult::NoReply:
      return "timeout";
    case ExchangeResult::Refused:
      return "refused";
  }
  return "unknown";
}

std::string_view replyCheckName(ReplyCheck check) {
  switch (check) {
    case ReplyCheck::Truncated:
      return "truncated";
    case ReplyCheck::Oversized:
      return "oversized";
    case ReplyCheck::LengthAboveRequest:
      return "length-above-request";
    case ReplyCheck::Checksum:
      return "checksum";
    case ReplyCheck::Token:
      return "token";
    case ReplyCheck::LengthBelowMinimum:
      return "length-below-minimum";
  }
  return "unknown";
}

std::string_view echoFailureName(EchoFailureKind kind) {
  switch (kind) {
    case EchoFailureKind::None:
      return "none";
    case EchoFailureKind::NotPermitted:
      return "not-permitted";
    case EchoFailureKind::Unavailable:
      return "unavailable";
    case EchoFailureKind::TooLarge:
      return "too-large";
  }
  return "unknown";
}

}  // namespace korvel
