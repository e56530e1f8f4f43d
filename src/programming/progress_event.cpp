#include "programming/progress_event.h"

namespace korvel {

std::string_view phaseName(Phase phase) {
  switch (phase) {
    case Phase::InformationQuery:
      return "information-query";
    case Phase::ImageCheck:
      return "image-check";
    case Phase::EnteringBootMonitor:
      return "entering-boot-monitor";
    case Phase::PreparingSubordinate:
      return "preparing-subordinate";
    case Phase::Sending:
      return "sending";
    case Phase::Restoring:
      return "restoring";
  }
  return "unknown";
}

std::string_view requestName(Request request) {
  switch (request) {
    case Request::DeviceInfo:
      return "device-info";
    case Request::EnterBootMonitor:
      return "enter-boot-monitor";
    case Request::SubordinateQuery:
      return "subordinate-query";
    case Request::BusRecord:
      return "bus-record";
    case Request::RestoreStart:
      return "restore-start";
    case Request::RestoreQuery:
      return "restore-query";
    case Request::HandBack:
      return "hand-back";
    case Request::SetAddress:
      return "set-address";
  }
  return "unknown";
}

}  // namespace korvel
