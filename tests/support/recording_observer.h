#pragma once

#include <vector>

#include "programming/progress_event.h"

namespace korvel::test {

// Keeps every progress event in order.
class RecordingObserver : public ProgressObserver {
 public:
  void onEvent(const ProgressEvent& event) override { events.push_back(event); }

  template <typename Event>
  std::vector<Event> all() const {
    std::vector<Event> found;
    for (const auto& event : events) {
      if (const auto* e = std::get_if<Event>(&event)) found.push_back(*e);
    }
    return found;
  }

  std::vector<Phase> phases() const {
    std::vector<Phase> found;
    for (const auto& started : all<PhaseStarted>()) found.push_back(started.phase);
    return found;
  }

  std::vector<ProgressEvent> events;
};

}  // namespace korvel::test
