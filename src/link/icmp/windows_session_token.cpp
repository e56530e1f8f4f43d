#include <windows.h>

#include "link/echo_link.h"

namespace korvel {

std::uint32_t newSessionToken() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  return static_cast<std::uint32_t>(counter.QuadPart);
}

}  // namespace korvel
