#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

#include "device_model/conversation_log.h"

namespace korvel::devsim {

// Where a request came from on the wire, for the log.
struct EchoContext {
  std::string device;  // the address that was asked
  std::string peer;
  std::uint16_t identifier = 0;
  std::uint16_t sequence = 0;
};

// The conversation as JSON lines, one object per request, flushed as it goes so that a test or
// a person can follow it while the simulator runs.
class JsonLog {
 public:
  bool open(const std::string& path);
  bool isOpen() const { return out_.is_open(); }
  void write(const ConversationEntry& entry, const EchoContext& context);
  void flush() { out_.flush(); }

 private:
  std::ofstream out_;
};

std::string toJsonLine(const ConversationEntry& entry, const EchoContext& context);

}  // namespace korvel::devsim
