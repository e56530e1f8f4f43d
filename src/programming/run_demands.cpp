#include <cstdio>
#include <string>

#include "common/texts.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

std::string boardIdText(std::uint32_t boardId) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", boardId);
  return text;
}

std::string versionText(std::uint16_t word) {
  return std::to_string(word >> 8) + "." + std::to_string(word & 0xFF);
}

}  // namespace

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
