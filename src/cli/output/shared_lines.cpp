#include "cli/output/shared_lines.h"

namespace korvel {

void SharedLines::write(std::string_view lines) {
  const std::lock_guard lock(mutex_);
  out_ << lines << std::flush;
}

}  // namespace korvel
