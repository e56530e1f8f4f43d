#include "cli/output/target_text.h"

#include "image/firmware_image.h"

namespace korvel {

std::string targetText(const std::optional<std::uint8_t>& target) {
  if (!target) return "nothing to send";
  if (*target == kNoBusAddress) return "device itself";
  return "subordinate at bus address " + std::to_string(*target);
}

}  // namespace korvel
