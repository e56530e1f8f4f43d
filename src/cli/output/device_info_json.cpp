#include "cli/output/device_info_json.h"

#include "common/utf8.h"

namespace korvel {

std::string versionWordText(std::uint16_t word) {
  return std::to_string(word >> 8) + "." + std::to_string(word & 0xFF);
}

void addDeviceInfo(JsonObject& object, const DeviceInfoReply& info) {
  object["board_id"] = info.boardId;
  object["serial"] = std::to_string(info.serial >> 16) + "." + std::to_string(info.serial & 0xFFFF);
  object["boot_version"] = versionWordText(info.bootVersion);
  object["program_version"] = versionWordText(info.programVersion);
  object["text1"] = cp1251ToUtf8(info.text1);
  object["text2"] = cp1251ToUtf8(info.text2);
}

}  // namespace korvel
