#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "programming/device_programmer.h"

namespace CLI {
class App;
}

namespace korvel {

// What a run demands of each device before it programs it (--expect-board, --no-downgrade) and
// when a batch stops starting devices (--max-failures).
struct DemandOptions {
  std::optional<std::uint32_t> boardId;
  bool noDowngrade = false;
  std::size_t maxFailures = 0;  // 0: no limit

  // --expect-board alone (an information query), or all three (a run).
  void addTo(CLI::App& command, bool run);
  RunDemands demands() const { return {boardId, noDowngrade}; }
};

// A board id as "0x" and hexadecimal digits or as decimal digits, at most 32 bits.
std::optional<std::uint32_t> parseBoardId(std::string_view text);

}  // namespace korvel
