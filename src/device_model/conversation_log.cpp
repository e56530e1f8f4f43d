#include "device_model/conversation_log.h"

#include <cstdio>

namespace korvel {
namespace {

std::string hexByte(std::uint8_t value) {
  char text[5];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string hexWord(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string what(const ConversationEntry& entry) {
  switch (entry.kind) {
    case RequestKind::Malformed:
      return "malformed (" + std::string(entry.problem) + ")";
    case RequestKind::DeviceCommand:
      return "command " + hexByte(entry.code);
    case RequestKind::BusCommand:
      return "bus " + std::to_string(entry.busAddress) + " command " + hexByte(entry.code);
    case RequestKind::BusRecord:
      return "bus " + std::to_string(entry.busAddress) + " record type " + hexByte(entry.code) +
             " of " + std::to_string(entry.dataLength) + " bytes";
    case RequestKind::RawRecord:
      return "record of " + std::to_string(entry.dataLength) + " bytes";
  }
  return "?";
}

}  // namespace

std::string describe(const ConversationEntry& entry) {
  std::string text = std::to_string(entry.time.count() / 1000000) + " ms token " +
                     hexWord(entry.token) + " seq " + std::to_string(entry.sequence) + ": " +
                     what(entry);
  if (entry.repeated) text += ", repeated";
  for (const FaultKind fault : entry.faults) text += ", fault " + std::string(faultKindName(fault));
  if (!entry.status) return text + " -> silence";
  text += " -> status " + std::to_string(*entry.status) + ", length " +
          std::to_string(entry.replyLength);
  if (entry.resendByte) text += ", resend byte " + hexByte(*entry.resendByte);
  if (entry.delay.count() > 0) text += ", after " + std::to_string(entry.delay.count()) + " ms";
  return text;
}

void ConversationLog::add(ConversationEntry entry) { entries_.push_back(std::move(entry)); }

}  // namespace korvel
