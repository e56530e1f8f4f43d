#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "link/frame_header.h"

namespace korvel {

// What a request frame asks for, as the device reads it.
enum class RequestKind {
  Malformed,      // fails a frame or envelope test; the device stays silent
  DeviceCommand,  // a command envelope for the device itself (0x03, 0x07, ...)
  BusCommand,     // a command envelope with a bus command for a subordinate
  BusRecord,      // a bus command that carries one data record for a subordinate
  RawRecord,      // a frame that is not a command envelope: a bare data record
};

std::string_view requestKindName(RequestKind kind);

struct RequestFrame {
  RequestKind kind = RequestKind::Malformed;
  std::string_view problem;  // why the frame is malformed
  FrameHeader header;
  std::uint16_t areaLength = 0;
  // The credential field unscrambled with the frame's own token, up to its first zero byte.
  std::string credentials;
  std::uint8_t code = 0;  // device command code, bus command code or packet type
  std::uint8_t busAddress = 0;
  std::uint8_t count = 0;  // the bus command's count byte
  ByteView arguments;      // bus command arguments; a record's data; a raw record's payload
};

// Reads `frame` as a command envelope when it is one. When it is not, it is a bare data record if
// `rawRecords` is set (the boot monitor takes anything with a sound frame), else malformed.
// `arguments` views into `frame`.
RequestFrame readRequestFrame(ByteView frame, bool rawRecords);

}  // namespace korvel
