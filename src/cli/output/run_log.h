#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "cli/output/image_facts.h"
#include "cli/output/run_tally.h"
#include "programming/progress_event.h"

namespace korvel {

// The run log: a file that gathers one JSON line per device per run, for tracing a device's
// firmware back to the run and the file. Several threads and several processes may append to it
// at once; each line goes out in one write to a file opened for appending, so lines never mix,
// and a line the disk had no room for is left out whole.
class RunLogFile {
 public:
  explicit RunLogFile(std::filesystem::path path) : path_(std::move(path)) {}

  // Creates the file when there is none and holds room for `lines` lines; false when it cannot be
  // written or the disk has no room.
  bool usable(std::size_t lines = 1);
  // Appends `line` and a line ending; false when that failed.
  bool append(std::string_view line);

  const std::filesystem::path& path() const { return path_; }

 private:
  std::mutex mutex_;
  std::filesystem::path path_;
};

// Appends `bytes` to the file at `path` in one write, creating the file: all of them or none, after
// a line ending when the file does not end in one. Refuses anything but a regular file. One per
// operating system.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes);
// Creates the file when there is none and holds room for `bytes` more; false when there is none.
bool reserveLogRoom(const std::filesystem::path& path, std::uint64_t bytes);

// Room held in the log for each device's line; a line is well under this.
inline constexpr std::uint64_t kLogLineRoom = 1024;

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
  std::string line(const Finished& finished) const;

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
