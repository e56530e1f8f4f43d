#include "cli/output/run_log.h"

#include <cstdio>
#include <ctime>
#include <utility>
#include <variant>

#include "cli/output/device_info_json.h"
#include "cli/output/json_event_writer.h"

namespace korvel {

bool RunLogFile::usable(std::size_t lines) {
  const std::lock_guard lock(mutex_);
  return reserveLogRoom(path_, lines * kLogLineRoom);
}

bool RunLogFile::append(std::string_view line) {
  std::string bytes(line);
  if (!line.empty()) bytes += '\n';
  const std::lock_guard lock(mutex_);
  return appendToFile(path_, bytes);
}

std::string isoUtc(std::chrono::system_clock::time_point time) {
  const auto ms = std::chrono::floor<std::chrono::milliseconds>(time);
  const auto days = std::chrono::floor<std::chrono::days>(ms);
  const std::chrono::year_month_day date(days);
  const std::chrono::hh_mm_ss clock(ms - days);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                int(clock.minutes().count()), int(clock.seconds().count()),
                int(clock.subseconds().count()));
  return text;
}

RunLogWriter::RunLogWriter(RunLogFile& file, std::string command, std::string ip,
                           const ImageFacts* image, std::chrono::system_clock::time_point began,
                           Clock clock, std::string interfaceName)
    : file_(file),
      command_(std::move(command)),
      ip_(std::move(ip)),
      interfaceName_(std::move(interfaceName)),
      image_(image),
      began_(began),
      clock_(std::move(clock)),
      start_(clock_()) {}

void RunLogWriter::onEvent(const ProgressEvent& event) {
  tally_.take(event);
  if (const auto* finished = std::get_if<Finished>(&event)) {
    written_ = file_.append(line(*finished));
  }
}

std::string RunLogWriter::line(const Finished& finished) const {
  const Outcome& outcome = finished.outcome;
  JsonObject object = jsonHead();
  object["time"] = isoUtc(began_);
  object["command"] = command_;
  if (image_) {
    // The bytes this device's run read, which need not be those of the file at the path now.
    ImageFacts facts = *image_;
    if (finished.image) {
      facts.size = finished.image->size;
      if (finished.image->sha256) facts.sha256 = toHex(*finished.image->sha256);
    }
    addImageFacts(object, facts);
  }
  object["ip"] = ip_;
  if (!interfaceName_.empty()) object["interface"] = interfaceName_;
  if (tally_.info) {
    addDeviceInfo(object, *tally_.info);
  } else {
    for (const char* field :
         {"board_id", "serial", "boot_version", "program_version", "text1", "text2"}) {
      object[field] = nullptr;
    }
  }
  object["outcome"] = outcomeName(outcome.kind);
  object["text"] = outcome.text;
  object["records"] = tally_.records;
  object["bytes"] = tally_.bytes;
  object["seconds"] = roundedSeconds(clock_() - start_);
  return jsonLine(object);
}

}  // namespace korvel
