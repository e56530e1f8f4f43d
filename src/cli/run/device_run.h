#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/output/cli_panel.h"
#include "cli/platform/cli_environment.h"
#include "cli/run/device_panel.h"
#include "link/device_replies.h"
#include "programming/device_programmer.h"
#include "programming/outcome.h"
#include "programming/progress_event.h"

namespace korvel {

// What one device's programming run came to.
struct DeviceResult {
  Ipv4Address address;
  // The network interface the device was reached through; empty when the routing table chose.
  std::string interfaceName;
  // The device's answer to the information query, when it gave one.
  std::optional<DeviceInfoReply> info;
  Outcome outcome;
  RunOutcome run;
  // Data bytes the device (or its subordinate) took, also of a run that failed on the way.
  std::uint64_t bytesDone = 0;
  double seconds = 0;
  // Lines for the operator that the run's panel kept back (see DevicePanel::notices).
  std::vector<std::string> notices;
};

// One device's whole `program` run: its panel, its own programmer (and so its own link), and the
// observers of its events. Runs of several devices may go on at once, each on its own thread.
class DeviceRun {
 public:
  // The progress of the run goes to the panel first, then to every observer added.
  DeviceRun(std::unique_ptr<DevicePanel> panel, CliEnvironment& environment);
  ~DeviceRun();

  DeviceRun(const DeviceRun&) = delete;
  DeviceRun& operator=(const DeviceRun&) = delete;

  // Adds an observer of the run's events; it must outlive the run. Before program() only.
  void addObserver(ProgressObserver* observer) { fanOut_.add(observer); }

  DevicePanel& panel() { return *panel_; }
  DeviceProgrammer& programmer() { return programmer_; }

  // The information query and the programming run, as the window's «Прошить» does them.
  DeviceResult program();

 private:
  class ResultRecorder;

  std::unique_ptr<DevicePanel> panel_;
  CliEnvironment& environment_;
  DeviceResult result_;
  std::unique_ptr<ResultRecorder> recorder_;
  ProgressFanOut fanOut_;
  DeviceProgrammer programmer_;
};

// A run on the terminal, as `program` with one device does it: messages and the progress bar on
// `err`, the information text on `infoOut` as soon as the query has it.
std::unique_ptr<DeviceRun> makeTerminalRun(CliRequest request, CliEnvironment& environment,
                                           std::ostream& err, std::ostream* infoOut);
// A run among several at once: it writes nothing itself.
std::unique_ptr<DeviceRun> makeBatchRun(CliRequest request, CliEnvironment& environment);

}  // namespace korvel
