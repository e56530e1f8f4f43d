#include "programming/pauses.h"

#include <chrono>
#include <thread>

namespace korvel {

void RealPauses::pause(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace korvel
