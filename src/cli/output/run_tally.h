#pragma once

#include <cstdint>
#include <optional>

#include "link/device_replies.h"
#include "programming/outcome.h"
#include "programming/progress_event.h"

namespace korvel {

// What one device's information query or run came to, gathered from its events: the JSON result
// and the run log are written from this, whether the run went through or not.
struct RunTally {
  std::optional<DeviceInfoReply> info;
  std::uint64_t records = 0;  // data records the target took
  std::uint64_t bytes = 0;    // their data bytes
  std::optional<Outcome> outcome;

  void take(const ProgressEvent& event);
};

}  // namespace korvel
