#include <chrono>

#include "link/echo_link.h"

namespace korvel {

std::uint32_t newSessionToken() {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return static_cast<std::uint32_t>(ticks);
}

}  // namespace korvel
