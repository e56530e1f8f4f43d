#include "cli/output/device_info_json.h"

#include "common/utf8.h"
#include "programming/device_programmer.h"

namespace korvel {

void addDeviceInfo(JsonObject& object, const DeviceInfoReply& info) {
  object["board_id"] = info.boardId;
  object["serial"] = std::to_string(info.serial >> 16) + "." + std::to_string(info.serial & 0xFFFF);
  object["boot_version"] = versionText(info.bootVersion);
  object["program_version"] = versionText(info.programVersion);
  object["text1"] = cp1251ToUtf8(info.text1);
  object["text2"] = cp1251ToUtf8(info.text2);
}

}  // namespace korvel
