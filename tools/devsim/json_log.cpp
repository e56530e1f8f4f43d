#include "json_log.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace korvel::devsim {

std::string toJsonLine(const ConversationEntry& entry, const EchoContext& context) {
  char token[11];
  std::snprintf(token, sizeof token, "0x%08X", entry.token);
  nlohmann::json line = {
      {"time_ms", static_cast<double>(entry.time.count()) / 1e6},
      {"device", context.device},
      {"peer", context.peer},
      {"icmp_id", context.identifier},
      {"icmp_seq", context.sequence},
      {"kind", std::string(requestKindName(entry.kind))},
      {"token", token},
      {"sequence", entry.sequence},
      {"request_length", entry.requestLength},
      {"boot_monitor", entry.bootMonitor},
      {"repeated", entry.repeated},
  };
  switch (entry.kind) {
    case RequestKind::Malformed:
      line["problem"] = std::string(entry.problem);
      break;
    case RequestKind::DeviceCommand:
      line["code"] = entry.code;
      break;
    case RequestKind::BusCommand:
      line["bus_address"] = entry.busAddress;
      line["code"] = entry.code;
      break;
    case RequestKind::BusRecord:
      line["bus_address"] = entry.busAddress;
      line["code"] = entry.code;
      line["data_length"] = entry.dataLength;
      break;
    case RequestKind::RawRecord:
      line["data_length"] = entry.dataLength;
      break;
  }
  auto faults = nlohmann::json::array();
  for (const FaultKind fault : entry.faults) faults.push_back(std::string(faultKindName(fault)));
  line["faults"] = faults;
  if (entry.status) {
    line["status"] = *entry.status;
    line["reply_length"] = entry.replyLength;
    if (entry.resendByte) line["resend_byte"] = *entry.resendByte;
    if (entry.delay.count() > 0) line["delay_ms"] = entry.delay.count();
  } else {
    line["status"] = nullptr;  // silence
  }
  if (entry.lateReplyFirst) line["late_reply_first"] = true;
  return line.dump();
}

bool JsonLog::open(const std::string& path) {
  out_.open(path, std::ios::out | std::ios::trunc);
  return out_.is_open();
}

void JsonLog::write(const ConversationEntry& entry, const EchoContext& context) {
  out_ << toJsonLine(entry, context) << '\n';
  out_.flush();
}

}  // namespace korvel::devsim
