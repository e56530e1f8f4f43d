#include <cstdio>
#include <string>

#include "common/utf8.h"
#include "link/device_protocol.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

using namespace device_info;

// Up to the first zero byte, and never past the field when it has none.
std::string deviceText(ByteView reply, std::size_t offset) {
  const auto field = reply.subspan(offset, kTextSize);
  std::size_t length = 0;
  while (length < field.size() && field[length] != 0) ++length;
  return cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(field.data()), length));
}

std::string versionText(std::uint16_t word) {
  return std::to_string(word >> 8) + "." + std::to_string(word & 0xFF);
}

}  // namespace

std::string formatDeviceInfo(ByteView reply,
                             const std::function<std::string(std::string)>& textFilter) {
  const auto shown = [&](std::size_t offset) {
    std::string text = deviceText(reply, offset);
    return textFilter ? textFilter(std::move(text)) : text;
  };
  char boardId[11];
  std::snprintf(boardId, sizeof boardId, "0x%08X", getLe32(reply, kBoardId));
  const std::uint32_t serial = getLe32(reply, kSerial);
  return "'" + shown(kText1) + "'\r\n" + "Board Id=" + boardId + " №" +
         std::to_string(serial >> 16) + "." + std::to_string(serial & 0xFFFF) + " Boot v" +
         versionText(getLe16(reply, kBootVersion)) + "\r\n'" + shown(kText2) + "'\r\nv" +
         versionText(getLe16(reply, kProgramVersion));
}

}  // namespace korvel
