#include "cli/output/json_event_writer.h"

#include <cmath>
#include <type_traits>
#include <utility>
#include <variant>

#include "cli/output/device_info_json.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

// The information box's lines, "\n" between them.
std::string plainLines(const std::string& text) {
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  return lines;
}

}  // namespace

double roundedSeconds(std::chrono::steady_clock::duration elapsed) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  return static_cast<double>(ms) / 1000.0;
}

JsonEventWriter::JsonEventWriter(JsonLines& lines, std::string ip, Conversation conversation,
                                 Clock clock, std::string interfaceName)
    : lines_(lines),
      ip_(std::move(ip)),
      interfaceName_(std::move(interfaceName)),
      conversation_(conversation),
      clock_(std::move(clock)),
      start_(clock_()) {}

JsonObject JsonEventWriter::line(const char* event) const {
  JsonObject object = jsonHead(event);
  object["ip"] = ip_;
  if (!interfaceName_.empty()) object["interface"] = interfaceName_;
  return object;
}

void JsonEventWriter::onEvent(const ProgressEvent& event) {
  tally_.take(event);
  std::visit(
      [this](const auto& e) {
        using Event = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<Event, PhaseStarted>) {
          JsonObject object = line("phase");
          object["phase"] = phaseName(e.phase);
          object["total"] = e.total;
          lines_.write(object);
        } else if constexpr (std::is_same_v<Event, AttemptFailed>) {
          JsonObject object = line("retry");
          object["request"] = requestName(e.request);
          object["attempt"] = e.attempt;
          object["retried"] = e.retried;
          lines_.write(object);
        } else if constexpr (std::is_same_v<Event, DeviceInfoRead>) {
          JsonObject object = line("info");
          addDeviceInfo(object, e.info);
          object["text"] = plainLines(formatDeviceInfo(e.info));
          lines_.write(object);
        } else if constexpr (std::is_same_v<Event, RecordTaken>) {
          JsonObject object = line("progress");
          object["records"] = e.index + 1;
          object["bytes_done"] = e.bytesDone;
          object["bytes_total"] = e.bytesTotal;
          lines_.write(object);
        } else if constexpr (std::is_same_v<Event, ResendRequested>) {
          JsonObject object = line("resend");
          object["count"] = e.count;
          lines_.write(object);
        } else if constexpr (std::is_same_v<Event, Finished>) {
          writeEnd(e.outcome);
        }
      },
      event);
}

// A run's failure is the message the window would show in its box; a query's is its box's text,
// which the result carries.
void JsonEventWriter::writeEnd(const Outcome& outcome) {
  if (conversation_ == Conversation::Run && !outcome.succeeded()) {
    JsonObject message = line("message");
    message["text"] = outcome.text;
    lines_.write(message);
  }
  JsonObject result = line("result");
  result["outcome"] = outcomeName(outcome.kind);
  result["text"] = plainLines(outcome.text);
  result["records"] = tally_.records;
  result["bytes"] = tally_.bytes;
  result["seconds"] = roundedSeconds(clock_() - start_);
  lines_.write(result);
}

}  // namespace korvel
