#include <string>

#include "common/texts.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"

namespace korvel {

std::optional<Outcome> DeviceProgrammer::wrongBoard() const {
  if (!demands_.boardId || !lastInfo_ || lastInfo_->boardId == *demands_.boardId) {
    return std::nullopt;
  }
  return Outcome{OutcomeKind::WrongBoard, std::string(text::kWrongBoard) + ": " +
                                              boardIdText(lastInfo_->boardId) + ", expected " +
                                              boardIdText(*demands_.boardId)};
}

// Only the device's own program has a version to compare with; a subordinate's is not known.
std::optional<Outcome> DeviceProgrammer::downgrade(const ImageCheck& check) const {
  if (!demands_.noDowngrade || !lastInfo_ || check.target != kNoBusAddress ||
      check.version >= lastInfo_->programVersion) {
    return std::nullopt;
  }
  return Outcome{OutcomeKind::Downgrade, std::string(text::kDowngrade) + ": image " +
                                             versionText(check.version) + ", device " +
                                             versionText(lastInfo_->programVersion)};
}

}  // namespace korvel
