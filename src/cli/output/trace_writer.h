#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "cli/output/shared_lines.h"
#include "link/exchange_observer.h"

namespace korvel {

// The wire trace on standard error, shared by every device of a command: one line per echo
// request, times counted from the command's start, in the order of those times, never mixed with
// another thread's line.
class TraceOutput {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  TraceOutput(SharedLines& err, Clock clock);

  // Writes one line, with the time since the start in front of it.
  void write(const std::string& line);

 private:
  std::mutex mutex_;
  SharedLines& err_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
};

// One line for each of a link's echo requests: when, to which address (through which network
// interface, when one was named), its sequence and attempt, what it carried and what came back.
class TraceWriter : public ExchangeObserver {
 public:
  explicit TraceWriter(TraceOutput& output, std::string interfaceName = {})
      : output_(output), interfaceName_(std::move(interfaceName)) {}

  void onExchange(const EchoExchange& exchange) override;

 private:
  TraceOutput& output_;
  std::string interfaceName_;
};

// "127.0.0.2 seq 7 attempt 1/5 sent command 0x03 (105 bytes): status 1, length 96" without the
// time.
std::string traceLine(const EchoExchange& exchange);

}  // namespace korvel
