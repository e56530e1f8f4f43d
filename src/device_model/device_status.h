#pragma once

#include <cstdint>

namespace korvel::device_status {

// Status bytes the simulated device answers with. The program only tells 1 from the rest; the
// others are ours, so that a log says why a request failed.
inline constexpr std::uint8_t kOk = 1;
inline constexpr std::uint8_t kFailed = 0;  // unknown command, or nothing to do it with
inline constexpr std::uint8_t kBadCredentials = 2;
inline constexpr std::uint8_t kNoSubordinate = 3;  // nobody answered at that bus address
inline constexpr std::uint8_t kSubordinateNotReady = 4;

}  // namespace korvel::device_status
