#include "cli/output/run_tally.h"

#include <type_traits>
#include <variant>

namespace korvel {

void RunTally::take(const ProgressEvent& event) {
  std::visit(
      [this](const auto& e) {
        using Event = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<Event, DeviceInfoRead>) {
          info = e.info;
        } else if constexpr (std::is_same_v<Event, RecordTaken>) {
          records = e.index + 1;
          bytes = e.bytesDone;
        } else if constexpr (std::is_same_v<Event, Finished>) {
          outcome = e.outcome;
        }
      },
      event);
}

}  // namespace korvel
