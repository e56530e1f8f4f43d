#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "cli/image_facts.h"
#include "cli/run_tally.h"
#include "programming/progress_event.h"

namespace korvel {

// The run log: a file that gathers one JSON line per device per run, for tracing a device's
// firmware back to the run and the file. Several threads and several processes may append to it
// at once; each line goes out in one write to a file opened for appending, so lines never mix.
class RunLogFile {
 public:
  explicit RunLogFile(std::filesystem::path path) : path_(std::move(path)) {}

  // Creates the file when there is none; false when it cannot be written.
  bool usable();
  // Appends `line` and a line ending; false when that failed.
  bool append(std::string_view line);

  const std::filesystem::path& path() const { return path_; }

 private:
  std::mutex mutex_;
  std::filesystem::path path_;
};

// Appends `bytes` to the file at `path` in one write, creating the file; one per operating system.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes);

// "2026-12-08T05:40:12.345Z".
std::string isoUtc(std::chrono::system_clock::time_point time);

// Writes one device's line when its information query or run finishes: when it began (UTC), the
// command, the image (for a run), the device's address and information, the outcome, bytes and
// seconds. The login and password are never among them.
class RunLogWriter : public ProgressObserver {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  RunLogWriter(RunLogFile& file, std::string command, std::string ip, const ImageFacts* image,
               std::chrono::system_clock::time_point began, Clock clock,
               std::string interfaceName = {});

  void onEvent(const ProgressEvent& event) override;

  // Whether the line was written (set once the run finished).
  std::optional<bool> written() const { return written_; }

 private:
  std::string line(const Outcome& outcome) const;

  RunLogFile& file_;
  std::string command_;
  std::string ip_;
  std::string interfaceName_;
  const ImageFacts* image_;
  std::chrono::system_clock::time_point began_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  RunTally tally_;
  std::optional<bool> written_;
};

}  // namespace korvel
