#pragma once

#include <cstdint>
#include <string_view>

#include "common/bytes.h"
#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/crc16.h"
#include "link/frame_header.h"

namespace korvel::test {

inline constexpr std::uint32_t kToken = 0x5EED1234;

// Writes token, sequence and frame checksum, as the link does before sending.
inline Bytes stamped(Bytes frame, std::uint32_t token, std::uint32_t sequence) {
  FrameHeader header = FrameHeader::read(frame);
  header.token = token;
  header.sequence = sequence;
  header.write(frame);
  header.checksum = Crc16(ByteView(frame).subspan(FrameHeader::kLengthOffset));
  header.write(frame);
  return frame;
}

inline Bytes commandRequest(ByteView command, std::uint32_t areaLength, std::uint32_t sequence = 0,
                            std::uint32_t token = kToken, std::string_view login = "admin",
                            std::string_view password = "admin") {
  const auto credentials = formatCredentials(login, password);
  return stamped(*buildCommandFrame(command, areaLength, credentials.field, token), token,
                 sequence);
}

inline Bytes deviceCommand(std::uint8_t code, std::uint32_t sequence = 0,
                           std::uint32_t token = kToken) {
  const std::uint8_t command[] = {code};
  return commandRequest(command, 1, sequence, token);
}

inline Bytes busRequest(std::uint8_t address, std::uint8_t code, ByteView arguments,
                        std::uint32_t areaLength, std::uint32_t sequence = 0) {
  return commandRequest(busCommand(address, code, arguments), areaLength, sequence);
}

// The restore's commands carry eight bytes whatever their count says.
inline Bytes restoreRequest(std::uint8_t count, std::uint8_t code, std::uint8_t a0, std::uint8_t a1,
                            std::uint8_t a2, std::uint8_t a3, std::uint32_t areaLength,
                            std::uint32_t sequence = 0) {
  const std::uint8_t command[] = {bus::kMarker, count, bus::kProgrammingAddress, code, a0, a1,
                                  a2,           a3};
  return commandRequest(command, areaLength, sequence);
}

inline Bytes busRecord(std::uint8_t type, ByteView data, std::uint32_t sequence = 0) {
  return busRequest(bus::kProgrammingAddress, type, data,
                    static_cast<std::uint32_t>(data.size()) + 64, sequence);
}

inline Bytes rawRecord(ByteView payload, std::uint32_t sequence = 0, std::uint32_t token = kToken) {
  Bytes frame(FrameHeader::kSize + payload.size(), 0);
  putLe16(frame, FrameHeader::kLengthOffset, static_cast<std::uint16_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), frame.begin() + FrameHeader::kSize);
  return stamped(std::move(frame), token, sequence);
}

// The four tests the program makes of a reply to `request`.
inline bool passesLinkTests(ByteView reply, ByteView request) {
  if (reply.size() < FrameHeader::kSize) return false;
  const auto header = FrameHeader::read(reply);
  const auto asked = FrameHeader::read(request);
  return reply.size() == FrameHeader::kSize + header.length && header.length >= 77 &&
         header.length <= asked.length &&
         header.token == static_cast<std::uint32_t>(~asked.token) &&
         header.checksum == Crc16(reply.subspan(FrameHeader::kLengthOffset));
}

}  // namespace korvel::test
