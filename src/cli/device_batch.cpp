#include "cli/device_batch.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace korvel {
namespace {

void programOne(const CliRequest& request, CliEnvironment& environment, std::size_t index,
                const BatchHooks& hooks, DeviceResult& result) {
  const auto run = makeBatchRun(request, environment);
  if (hooks.starting) hooks.starting(*run, index);
  result = run->program();
  if (hooks.finished) hooks.finished(result, index);
}

}  // namespace

std::vector<DeviceResult> programDevices(const std::vector<CliRequest>& requests,
                                         CliEnvironment& environment, int jobs,
                                         const BatchHooks& hooks) {
  std::vector<DeviceResult> results(requests.size());
  // The environment makes its echo facility and locks on first use; that happens here, before
  // the threads share them.
  (void)environment.echoService();
  (void)environment.deviceLocks();
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t index = next++; index < requests.size(); index = next++) {
      programOne(requests[index], environment, index, hooks, results[index]);
    }
  };
  const auto threads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1,
                                               std::max<std::size_t>(requests.size(), 1));
  std::vector<std::thread> workers;
  workers.reserve(threads);
  try {
    for (std::size_t i = 0; i < threads; ++i) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // The system gives no more threads: the ones there are take every device.
    if (workers.empty()) work();
  }
  for (std::thread& worker : workers) worker.join();
  return results;
}

}  // namespace korvel
