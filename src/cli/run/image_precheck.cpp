#include "cli/run/image_precheck.h"

#include "common/utf8.h"
#include "programming/device_programmer.h"

namespace korvel {

std::string checkFailureLine(const ImageCheck& check) {
  return check.failure.value_or("") + " (record " + std::to_string(check.failedRecord) +
         ", byte offset " + std::to_string(check.failedOffset) + ")";
}

std::optional<ImageCheck> checkImageFile(const std::string& path, bool viaBoot) {
  auto checked = openCheckedImage(pathFromUtf8(path), viaBoot, DeviceProgrammer::kMaxBootRecord);
  if (!checked) return std::nullopt;
  return std::move(checked->check);
}

}  // namespace korvel
