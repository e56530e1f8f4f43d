#include "device_model/request_frame.h"

#include <algorithm>

#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/frame_seal.h"
#include "link/scramble_credentials.h"

namespace korvel {
namespace {

constexpr std::uint8_t kBusCommandMarker = bus::kMarker;
// A forwarded record travels in a command area 64 bytes longer than its data.
constexpr std::uint16_t kRecordAreaSurplus = 64;

RequestFrame malformed(RequestFrame frame, std::string_view problem) {
  frame.kind = RequestKind::Malformed;
  frame.problem = problem;
  frame.arguments = {};
  return frame;
}

std::string unscrambledCredentials(ByteView body, std::uint32_t token) {
  CredentialField field{};
  std::copy_n(body.begin() + envelope::kCredentialsOffset, field.size(), field.begin());
  const auto key = tokenKey(token);
  ScrambleCredentials(field.data(), static_cast<std::int32_t>(field.size()), key.data(), 4);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

// The device tells a record from a command by its shape: the data fills the area but for the
// 64-byte surplus, and the count byte says the same length modulo 256.
bool isRecordShape(std::uint16_t areaLength, std::uint8_t count) {
  if (areaLength < kRecordAreaSurplus) return false;
  const std::uint32_t dataLength = areaLength - kRecordAreaSurplus;
  return static_cast<std::uint8_t>(dataLength + 2) == count;
}

RequestFrame readBusCommand(RequestFrame frame, ByteView area) {
  if (area.size() < bus::kHeaderSize) return malformed(frame, "bus command shorter than 4 bytes");
  frame.count = area[1];
  frame.busAddress = area[2];
  frame.code = area[3];
  if (isRecordShape(frame.areaLength, frame.count)) {
    frame.kind = RequestKind::BusRecord;
    frame.arguments = area.subspan(bus::kHeaderSize, frame.areaLength - kRecordAreaSurplus);
    return frame;
  }
  frame.kind = RequestKind::BusCommand;
  const std::size_t counted = frame.count < 2 ? 0 : frame.count - 2u;
  frame.arguments =
      area.subspan(bus::kHeaderSize, std::min(counted, area.size() - bus::kHeaderSize));
  return frame;
}

// Nothing when the payload is not a sound command envelope.
std::optional<RequestFrame> readEnvelope(RequestFrame frame, ByteView body) {
  if (body.size() < envelope::kMinLength) return std::nullopt;
  frame.areaLength = getLe16(body, envelope::kAreaLengthOffset);
  if (frame.areaLength == 0 || envelopeLength(frame.areaLength) != body.size()) return std::nullopt;
  if (!envelopeSealIntact(body)) return std::nullopt;
  frame.credentials = unscrambledCredentials(body, frame.header.token);
  const ByteView area = body.subspan(envelope::kCommandOffset, frame.areaLength);
  if (area[0] == kBusCommandMarker) return readBusCommand(std::move(frame), area);
  frame.kind = RequestKind::DeviceCommand;
  frame.code = area[0];
  frame.arguments = area.subspan(1);
  return frame;
}

}  // namespace

std::string_view requestKindName(RequestKind kind) {
  switch (kind) {
    case RequestKind::Malformed:
      return "malformed";
    case RequestKind::DeviceCommand:
      return "device-command";
    case RequestKind::BusCommand:
      return "bus-command";
    case RequestKind::BusRecord:
      return "bus-record";
    case RequestKind::RawRecord:
      return "raw-record";
  }
  return "unknown";
}

RequestFrame readRequestFrame(ByteView frame, bool rawRecords) {
  RequestFrame request;
  if (frame.size() < FrameHeader::kSize) return malformed(request, "shorter than a frame header");
  request.header = FrameHeader::read(frame);
  const std::size_t frameSize = FrameHeader::kSize + request.header.length;
  if (frame.size() != frameSize) return malformed(request, "length field disagrees with the frame");
  if (!frameSealIntact(frame)) return malformed(request, "frame checksum wrong");
  const ByteView body = frame.subspan(FrameHeader::kSize);
  if (auto command = readEnvelope(request, body)) return std::move(*command);
  if (!rawRecords) return malformed(request, "not a command envelope");
  request.kind = RequestKind::RawRecord;
  request.arguments = body;
  return request;
}

}  // namespace korvel
