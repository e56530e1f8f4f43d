#include <cstdio>
#include <string>

#include "common/utf8.h"
#include "programming/device_programmer.h"

namespace korvel {

std::string boardIdText(std::uint32_t boardId) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", boardId);
  return text;
}

std::string versionText(std::uint16_t word) {
  return std::to_string(word >> 8) + "." + std::to_string(word & 0xFF);
}

std::string formatDeviceInfo(const DeviceInfoReply& info,
                             const std::function<std::string(std::string)>& textFilter) {
  const auto shown = [&](const std::string& deviceText) {
    std::string text = cp1251ToUtf8(deviceText);
    return textFilter ? textFilter(std::move(text)) : text;
  };
  const std::uint32_t serial = info.serial;
  return "'" + shown(info.text1) + "'\r\n" + "Board Id=" + boardIdText(info.boardId) + " №" +
         std::to_string(serial >> 16) + "." + std::to_string(serial & 0xFFFF) + " Boot v" +
         versionText(info.bootVersion) + "\r\n'" + shown(info.text2) + "'\r\nv" +
         versionText(info.programVersion);
}

}  // namespace korvel
