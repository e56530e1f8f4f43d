#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "image/sha256.h"
#include "link/device_replies.h"
#include "programming/outcome.h"

namespace korvel {

// What a conversation with the device goes through, in this order (a run skips what its image
// does not need).
enum class Phase : std::uint8_t {
  InformationQuery,
  ImageCheck,
  EnteringBootMonitor,
  PreparingSubordinate,
  Sending,
  Restoring,
};

// The requests that are tried more than once.
enum class Request : std::uint8_t {
  DeviceInfo,
  EnterBootMonitor,
  SubordinateQuery,
  BusRecord,
  RestoreStart,
  RestoreQuery,
  HandBack,
  SetAddress,
};

struct PhaseStarted {
  Phase phase;
  // What the phase counts: the most attempts of the information query, the image file's bytes
  // for sending; 0 for the others.
  std::uint64_t total = 0;
};

// An attempt at `request` went unanswered or was refused; `attempt` counts from 1.
struct AttemptFailed {
  Request request;
  int attempt = 0;
  bool retried = false;  // another attempt follows
};

// The device answered the information query; its fields as it sent them (texts in
// Windows-1251).
struct DeviceInfoRead {
  DeviceInfoReply info;
};

// The device (or its subordinate) took data record `index` (from 0).
struct RecordTaken {
  std::uint64_t index = 0;
  std::uint64_t bytesDone = 0;   // data bytes taken so far
  std::uint64_t bytesTotal = 0;  // data bytes of the whole image
  std::uint64_t filePosition = 0;
  std::uint64_t fileSize = 0;
};

// The subordinate asked for `count` earlier records again.
struct ResendRequested {
  unsigned count = 0;
};

// The bytes of an image file a run read.
struct ImageRead {
  std::uint64_t size = 0;
  std::optional<Sha256::Digest> sha256;  // when the run was asked to take it
};

// The information query or the run is over.
struct Finished {
  explicit Finished(Outcome outcome_, std::optional<ImageRead> image_ = std::nullopt)
      : outcome(std::move(outcome_)), image(image_) {}

  Outcome outcome;
  // A run's image: what it read to the end, or, when it stopped before, what the check read.
  // Nothing when no image passed the check.
  std::optional<ImageRead> image;
};

using ProgressEvent = std::variant<PhaseStarted, AttemptFailed, DeviceInfoRead, RecordTaken,
                                   ResendRequested, Finished>;

// Receives the events of every information query and run as they happen, on the thread that
// runs them.
class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  virtual void onEvent(const ProgressEvent& event) = 0;
};

// Passes each event on to several observers, in the order they were added: a programmer holds
// one observer, and a front end may want its events in several places (a progress bar, JSON
// lines, a log).
class ProgressFanOut : public ProgressObserver {
 public:
  void add(ProgressObserver* observer) {
    if (observer) observers_.push_back(observer);
  }
  void onEvent(const ProgressEvent& event) override {
    for (ProgressObserver* observer : observers_) observer->onEvent(event);
  }

 private:
  std::vector<ProgressObserver*> observers_;
};

// Stable names for machine-readable output.
std::string_view phaseName(Phase phase);
std::string_view requestName(Request request);

}  // namespace korvel
