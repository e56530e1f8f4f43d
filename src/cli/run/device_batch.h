#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "cli/output/cli_panel.h"
#include "cli/platform/cli_environment.h"
#include "cli/run/device_run.h"

namespace korvel {

// What the caller does around each device's run, on that device's thread.
struct BatchHooks {
  // Before the run begins: add observers, hand over a stop request.
  std::function<void(DeviceRun& run, std::size_t index)> starting;
  // When it is over, before the next device's run on this thread begins; also for a device never
  // started (outcome Skipped), without `starting` before it.
  std::function<void(const DeviceResult& result, std::size_t index)> finished;
};

// Programs the devices of `requests` with up to `jobs` runs at once, each on a thread of its own
// with its own link; one device's failure never stops the others running. Once `maxFailures`
// devices have failed (0: no limit), no further device is started: those get the outcome Skipped.
// The results come back in the order of the requests.
std::vector<DeviceResult> programDevices(const std::vector<CliRequest>& requests,
                                         CliEnvironment& environment, int jobs,
                                         const BatchHooks& hooks = {}, std::size_t maxFailures = 0);

}  // namespace korvel
