#include "link/bus_command.h"

namespace korvel {

Bytes busCommand(std::uint8_t address, std::uint8_t code, ByteView arguments) {
  Bytes command;
  command.reserve(bus::kHeaderSize + arguments.size());
  command.push_back(bus::kMarker);
  command.push_back(static_cast<std::uint8_t>(arguments.size() + 2));
  command.push_back(address);
  command.push_back(code);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

}  // namespace korvel
