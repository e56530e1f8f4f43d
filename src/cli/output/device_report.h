#pragma once

#include <string>
#include <vector>

#include "cli/run/device_run.h"

namespace korvel {

// The closing line of a run that went through: "Programmed 810 bytes in 5 records into the device
// itself in 2.0 s\n".
std::string programmedLine(const RunOutcome& run, double seconds);

// "eth1 192.168.0.10", or the address alone when no interface was named.
std::string deviceLabel(const DeviceResult& result);

// The line (or lines: a message of several lines is indented after its first) that says how one
// device among many came out, its label first, after the run's notices; then the line of
// leftBehindLine(), if any.
std::string finishedLine(const DeviceResult& result);

// For a run that ended in any way with its subordinate possibly still at the programming bus
// address: the line that tells the operator so. Empty otherwise.
std::string leftBehindLine(const DeviceResult& result);

// One row per device under a heading: interface (when any device has one), address, board id,
// serial, outcome, bytes, seconds; each column as wide as its widest entry.
std::string resultTable(const std::vector<DeviceResult>& results);

}  // namespace korvel
