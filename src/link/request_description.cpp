#include "link/request_description.h"

#include <cstdio>

#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/frame_header.h"

namespace korvel {
namespace {

bool isCommandEnvelope(ByteView body) {
  if (body.size() < envelope::kMinLength) return false;
  const std::uint16_t areaLength = getLe16(body, envelope::kAreaLengthOffset);
  return areaLength != 0 && envelopeLength(areaLength) == body.size() && envelopeSealIntact(body);
}

RequestSummary commandOf(ByteView body) {
  RequestSummary summary;
  summary.length = getLe16(body, envelope::kAreaLengthOffset);
  const ByteView area = body.subspan(envelope::kCommandOffset, summary.length);
  if (area.size() >= bus::kHeaderSize && area[0] == bus::kMarker) {
    summary.kind = RequestSummary::Kind::BusCommand;
    summary.busAddress = area[2];
    summary.code = area[3];
  } else {
    summary.kind = RequestSummary::Kind::Command;
    summary.code = area[0];
  }
  return summary;
}

std::string hexByte(std::uint8_t value) {
  char text[5];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

}  // namespace

RequestSummary summarizeRequest(ByteView frame) {
  RequestSummary summary;
  summary.length = frame.size();
  if (frame.size() < FrameHeader::kSize) return summary;
  const ByteView body = frame.subspan(FrameHeader::kSize);
  if (FrameHeader::read(frame).length != body.size()) return summary;
  if (isCommandEnvelope(body)) return commandOf(body);
  summary.kind = RequestSummary::Kind::DataRecord;
  summary.length = body.size();
  return summary;
}

std::string describeRequest(ByteView frame) {
  const RequestSummary summary = summarizeRequest(frame);
  switch (summary.kind) {
    case RequestSummary::Kind::Command:
      return "command " + hexByte(summary.code);
    case RequestSummary::Kind::BusCommand:
      return "bus command " + hexByte(summary.code) + ", address " +
             std::to_string(summary.busAddress);
    case RequestSummary::Kind::DataRecord:
      return "data record, " + std::to_string(summary.length) + " bytes";
    case RequestSummary::Kind::Unreadable:
      break;
  }
  return "unreadable frame, " + std::to_string(summary.length) + " bytes";
}

}  // namespace korvel
