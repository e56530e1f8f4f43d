#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/bytes.h"

namespace korvel {

// What a request frame carries, as far as a trace needs to say.
struct RequestSummary {
  enum class Kind : std::uint8_t {
    Command,     // a command envelope for the device itself
    BusCommand,  // a command envelope that the device forwards on its bus
    DataRecord,  // a bare data record for the boot monitor
    Unreadable,  // shorter than its header, or its length field disagrees with its size
  };
  Kind kind = Kind::Unreadable;
  std::uint8_t code = 0;        // the command's code, or the bus command's (a record's type)
  std::uint8_t busAddress = 0;  // BusCommand
  std::size_t length = 0;       // the command area's length; a data record's bytes
};

// Reads a whole request frame as the device would: a frame whose payload is a sound command
// envelope carries a command, any other sound frame a bare data record.
[[nodiscard]] RequestSummary summarizeRequest(ByteView frame);

// The same in words, for a trace: "command 0x03", "bus command 0x07, address 5", "data record,
// 1024 bytes", "unreadable frame, 7 bytes".
std::string describeRequest(ByteView frame);

}  // namespace korvel
