#include "cli/image_precheck.h"

#include "common/texts.h"
#include "common/utf8.h"
#include "programming/device_programmer.h"

namespace korvel {

std::string checkFailureLine(const ImageCheck& check) {
  return check.failure.value_or("") + " (record " + std::to_string(check.failedRecord) +
         ", byte offset " + std::to_string(check.failedOffset) + ")";
}

std::optional<ImageCheck> checkImageFile(const std::string& path, bool viaBoot) {
  auto image = FirmwareImage::open(pathFromUtf8(path), DeviceProgrammer::kMaxBootRecord);
  if (!image) return std::nullopt;
  return checkImage(*image, viaBoot);
}

std::optional<std::string> imageProblem(const std::string& path, bool viaBoot) {
  const auto check = checkImageFile(path, viaBoot);
  if (!check) return text::kOpenFailed;
  if (check->failure) return checkFailureLine(*check);
  return std::nullopt;
}

}  // namespace korvel
