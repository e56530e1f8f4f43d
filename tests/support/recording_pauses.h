#pragma once

#include <cstdint>
#include <functional>
#include <numeric>
#include <vector>

#include "programming/pauses.h"

namespace korvel::test {

// Records the pauses the procedures ask for instead of sleeping; `onPause` lets a test advance a
// simulated clock or act in the middle of a run.
class RecordingPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override {
    requested.push_back(milliseconds);
    if (onPause) onPause(milliseconds);
  }

  std::uint64_t total() const { return std::accumulate(requested.begin(), requested.end(), 0ull); }

  std::vector<std::uint32_t> requested;
  std::function<void(std::uint32_t)> onPause;
};

}  // namespace korvel::test
