#pragma once

#include <algorithm>
#include <functional>
#include <optional>

#include "common/bytes.h"
#include "link/command_envelope.h"
#include "link/crc16.h"
#include "link/frame_header.h"

namespace korvel::test {

// What a request frame asks for, read the way the device reads it.
struct SentCommand {
  Bytes area;  // the command area as sent, L bytes
  std::uint32_t token = 0;
  std::uint32_t sequence = 0;
};

inline SentCommand commandOf(ByteView frame) {
  const FrameHeader header = FrameHeader::read(frame);
  const auto body = frame.subspan(FrameHeader::kSize);
  const std::uint16_t area = getLe16(body, envelope::kAreaLengthOffset);
  const auto start = body.begin() + envelope::kCommandOffset;
  return {Bytes(start, start + area), header.token, header.sequence};
}

// A reply frame to `request` with `length` payload bytes and the given status; `fill` may write
// further bytes before the checksum is taken.
inline Bytes replyTo(ByteView request, std::uint8_t status, std::uint16_t length = 77,
                     const std::function<void(Bytes&)>& fill = {}) {
  Bytes reply(FrameHeader::kSize + length, 0);
  FrameHeader header{0, length, ~FrameHeader::read(request).token, 0};
  header.write(reply);
  reply[12] = status;
  if (fill) fill(reply);
  header.checksum = Crc16(ByteView(reply).subspan(2));
  header.write(reply);
  return reply;
}

// The information of the sample device: board 0x12AB, serial 3.7, BOOT v1.2, MAIN v2.5. The
// offsets are written out here rather than taken from the program, so that a wrong offset there
// shows.
inline void writeSampleInfo(Bytes& reply) {
  putLe32(reply, 13, 0x12AB);
  putLe32(reply, 17, (3u << 16) | 7);
  std::copy_n("BOOT", 4, reply.begin() + 21);
  putLe16(reply, 53, 0x0102);
  std::copy_n("MAIN", 4, reply.begin() + 55);
  putLe16(reply, 87, 0x0205);
}

}  // namespace korvel::test
