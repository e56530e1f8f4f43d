#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_model/fault_plan.h"
#include "device_model/request_frame.h"

namespace korvel {

// One request and what became of it.
struct ConversationEntry {
  std::chrono::nanoseconds time{0};  // monotonic, from the device's clock
  RequestKind kind = RequestKind::Malformed;
  std::string_view problem;  // why a malformed request was not answered
  std::uint32_t token = 0;
  std::uint32_t sequence = 0;
  std::uint16_t requestLength = 0;  // the request's length field
  std::uint8_t code = 0;            // device command, bus command or packet type
  std::uint8_t busAddress = 0;
  std::size_t dataLength = 0;  // a record's bytes
  bool bootMonitor = false;    // the boot monitor, not the main program, took it
  bool repeated = false;       // the very frame before once more: answered, not applied
  std::vector<FaultKind> faults;
  std::chrono::milliseconds delay{0};
  bool lateReplyFirst = false;  // the reply to the request before went out first
  // The reply that went out; nothing is silence.
  std::optional<std::uint8_t> status;
  std::optional<std::uint8_t> resendByte;
  std::uint16_t replyLength = 0;
};

// One line of text for a test's failure message or a person reading along.
std::string describe(const ConversationEntry& entry);

class ConversationLog {
 public:
  void add(ConversationEntry entry);
  void clear() { entries_.clear(); }

  const std::vector<ConversationEntry>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const ConversationEntry& operator[](std::size_t index) const { return entries_[index]; }
  const ConversationEntry& back() const { return entries_.back(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<ConversationEntry> entries_;
};

}  // namespace korvel
