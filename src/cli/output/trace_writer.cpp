#include "cli/output/trace_writer.h"

#include <cstdio>
#include <utility>

#include "link/request_description.h"

namespace korvel {
namespace {

std::string whatCameBack(const EchoExchange& exchange) {
  const std::string bytes = std::to_string(exchange.reply.size()) + " bytes";
  switch (exchange.result) {
    case ExchangeResult::Accepted:
      return "status " + std::to_string(exchange.status) + ", length " +
             std::to_string(exchange.replyLength);
    case ExchangeResult::Received:
      return "reply of " + bytes + ", not checked";
    case ExchangeResult::Rejected:
      return "rejected (" + std::string(replyCheckName(exchange.rejectedBy)) + "), " + bytes;
    case ExchangeResult::NoReply:
      return "timeout";
    case ExchangeResult::Refused:
      return "refused (" + std::string(echoFailureName(exchange.refusal)) + ")";
  }
  return "?";
}

}  // namespace

TraceOutput::TraceOutput(SharedLines& err, Clock clock)
    : err_(err), clock_(std::move(clock)), start_(clock_()) {}

void TraceOutput::write(const std::string& line) {
  const std::lock_guard lock(mutex_);
  const auto elapsed = std::chrono::duration<double, std::milli>(clock_() - start_).count();
  char time[32];
  std::snprintf(time, sizeof time, "%10.3f ms ", elapsed);
  err_.write(time + line + '\n');
}

std::string traceLine(const EchoExchange& exchange) {
  return exchange.targetAddress.dotted() + " seq " + std::to_string(exchange.sequence) +
         " attempt " + std::to_string(exchange.attempt) + "/" + std::to_string(exchange.attempts) +
         " sent " + describeRequest(exchange.sent) + " (" + std::to_string(exchange.sent.size()) +
         " bytes): " + whatCameBack(exchange);
}

void TraceWriter::onExchange(const EchoExchange& exchange) {
  output_.write((interfaceName_.empty() ? "" : interfaceName_ + " ") + traceLine(exchange));
}

}  // namespace korvel
