#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "cli/output/json_lines.h"
#include "cli/output/run_tally.h"
#include "programming/progress_event.h"

namespace korvel {

// Turns the events of one device's conversation into JSON lines, each with "event" and "ip" (and
// "interface" when the device is reached through one named):
// info, phase, retry, progress, resend, and at the end message (a run's failure) and result.
class JsonEventWriter : public ProgressObserver {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  enum class Conversation { InformationQuery, Run };

  // The seconds of the result count from here.
  JsonEventWriter(JsonLines& lines, std::string ip, Conversation conversation, Clock clock,
                  std::string interfaceName = {});

  void onEvent(const ProgressEvent& event) override;

 private:
  JsonObject line(const char* event) const;
  void writeEnd(const Outcome& outcome);

  JsonLines& lines_;
  std::string ip_;
  std::string interfaceName_;
  Conversation conversation_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  RunTally tally_;
};

// Seconds rounded to milliseconds, as every JSON line gives them.
double roundedSeconds(std::chrono::steady_clock::duration elapsed);

}  // namespace korvel
