#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "link/frame_header.h"

namespace korvel {

// The replies whose fields the program reads, each with one encode (what the device writes) and
// one parse (what the program reads). Both work on the reply's body: the bytes after the frame
// header, the status byte first. An encoded body leaves the status byte to the one who sends it.

// The body of a reply frame, as long as its length field says (the frame must hold it).
ByteView replyBody(ByteView frame);
std::uint8_t replyStatus(ByteView body);
void putReplyStatus(MutableByteView body, std::uint8_t status);
[[nodiscard]] bool replyStatusOk(ByteView body);

// The answer to the information query.
struct DeviceInfoReply {
  static constexpr std::size_t kTextSize = 32;

  std::uint32_t boardId = 0;
  std::uint32_t serial = 0;  // the serial's two halves: the high and the low 16 bits
  std::string text1;         // Windows-1251, up to the first zero byte; at most kTextSize bytes
  std::uint16_t bootVersion = 0;  // major in the high byte
  std::string text2;
  std::uint16_t programVersion = 0;

  Bytes encode() const;
  // Nothing when the body is too short to hold the fields.
  [[nodiscard]] static std::optional<DeviceInfoReply> parse(ByteView body);
  bool operator==(const DeviceInfoReply&) const = default;
};

using SavedValue = std::array<std::uint8_t, 4>;

// The subordinate's answer to the query at its own address: the value the restore hands back.
struct SubordinateQueryReply {
  SavedValue savedValue{};

  Bytes encode() const;
  // Nothing when the body ends before the value (a short reply does not hold it).
  [[nodiscard]] static std::optional<SubordinateQueryReply> parse(ByteView body);
};

// The device's acknowledgement of a record forwarded on its bus. Its resend byte: bit 0 set when
// the subordinate took the record, bits 1 and 2 how many earlier records it wants again.
struct BusRecordAck {
  static constexpr std::uint8_t kTaken = 0x01;

  // Nothing: the reply ended before the resend byte, which means the record was taken.
  std::optional<std::uint8_t> resendByte;

  bool taken() const { return !resendByte || (*resendByte & 1) != 0; }
  // The earlier records wanted again (0 to 3); only meaningful when taken.
  unsigned resendCount() const { return resendByte ? (*resendByte >> 1) & 3u : 0u; }

  Bytes encode() const;
  [[nodiscard]] static BusRecordAck parse(ByteView body);
};

}  // namespace korvel
