#include <cstdio>
#include <string>

#include "common/utf8.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

std::string versionText(std::uint16_t word) {
  return std::to_string(word >> 8) + "." + std::to_string(word & 0xFF);
}

}  // namespace

std::string formatDeviceInfo(const DeviceInfoReply& info,
                             const std::function<std::string(std::string)>& textFilter) {
  const auto shown = [&](const std::string& deviceText) {
    std::string text = cp1251ToUtf8(deviceText);
    return textFilter ? textFilter(std::move(text)) : text;
  };
  char boardId[11];
  std::snprintf(boardId, sizeof boardId, "0x%08X", info.boardId);
  const std::uint32_t serial = info.serial;
  return "'" + shown(info.text1) + "'\r\n" + "Board Id=" + boardId + " №" +
         std::to_string(serial >> 16) + "." + std::to_string(serial & 0xFFFF) + " Boot v" +
         versionText(info.bootVersion) + "\r\n'" + shown(info.text2) + "'\r\nv" +
         versionText(info.programVersion);
}

}  // namespace korvel
