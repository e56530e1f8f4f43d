#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands/cli_command.h"
#include "cli/options/output_options.h"
#include "cli/output/image_facts.h"
#include "cli/output/json_event_writer.h"
#include "cli/output/json_lines.h"
#include "cli/output/run_log.h"
#include "cli/output/shared_lines.h"
#include "cli/output/trace_writer.h"
#include "cli/run/device_run.h"
#include "common/ipv4_address.h"
#include "programming/progress_event.h"

namespace korvel {

class DeviceReporting;

// What every device of one command reports to: the JSON lines on standard output, the trace on
// standard error and the run log, with the image's facts read once for all of them.
class RunReporting {
 public:
  // `imagePath` for a run; nothing for an information query.
  RunReporting(const OutputOptions& options, CliContext& context, std::string command,
               std::optional<std::string> imagePath = std::nullopt);

  // Reads the image's facts when a run log wants them (from `image` when the command opened it
  // once for all its devices) and makes sure the log can be written; false, with the reason on
  // standard error, when it cannot. Call before any device is touched.
  bool prepare(std::size_t devices = 1, const CheckedImage* image = nullptr);

  bool json() const { return json_.has_value(); }
  // Standard error holds lines of its own (JSON mode, a trace): no progress bar there.
  bool quiet() const { return json_ || trace_; }
  // Standard error for whole lines from several threads; the trace writes there too.
  SharedLines& errorLines() { return errorLines_; }

  // One device's writers, naming `interfaceName` when the device is reached through one; they
  // must not outlive this object.
  std::unique_ptr<DeviceReporting> forDevice(Ipv4Address address,
                                             const std::string& interfaceName = {});

 private:
  friend class DeviceReporting;

  const OutputOptions& options_;
  CliContext& context_;
  std::string command_;
  std::optional<std::string> imagePath_;
  SharedLines errorLines_;
  std::optional<JsonLines> json_;
  std::optional<TraceOutput> trace_;
  std::optional<RunLogFile> log_;
  std::optional<ImageFacts> image_;
};

// One device's JSON writer and run log writer, as observers of its programmer's events.
class DeviceReporting {
 public:
  DeviceReporting(RunReporting& reporting, std::string ip, const std::string& interfaceName);
  DeviceReporting(const DeviceReporting&) = delete;
  DeviceReporting& operator=(const DeviceReporting&) = delete;

  // This device's writers, for its programmer's events; they write their last lines on the
  // Finished event.
  std::vector<ProgressObserver*> observers();
  // Adds them to `run`, and the trace to its programmer's links.
  void attachTo(DeviceRun& run);
  // For a device that never ran: its writers end as a run with `outcome` would.
  void finish(const Outcome& outcome);
  // The device's trace writer, for its programmer's links; none without --trace.
  ExchangeObserver* exchangeObserver() { return trace_ ? &*trace_ : nullptr; }

  // False, with the reason and the device's address on `err`, when the run log was asked for and
  // this device's line is not in it.
  bool logWritten(std::ostream& err) const;

 private:
  const std::string logPath_;
  const std::string ip_;
  std::optional<JsonEventWriter> json_;
  std::optional<RunLogWriter> log_;
  std::optional<TraceWriter> trace_;
};

}  // namespace korvel
