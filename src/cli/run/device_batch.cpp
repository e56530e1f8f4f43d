#include "cli/run/device_batch.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace korvel {
namespace {

// Counts the failed devices; a failure counts before its device's `finished` hook is called, so
// that no device starts once the hook has told of the failure that reached the limit.
class FailureLimit {
 public:
  explicit FailureLimit(std::size_t limit) : limit_(limit) {}

  void note(const DeviceResult& result) {
    if (!result.outcome.succeeded()) ++failures_;
  }
  bool reached() const { return limit_ != 0 && failures_.load() >= limit_; }

 private:
  std::size_t limit_;
  std::atomic<std::size_t> failures_{0};
};

void programOne(const CliRequest& request, CliEnvironment& environment, std::size_t index,
                const BatchHooks& hooks, FailureLimit& limit, DeviceResult& result) {
  if (limit.reached()) {
    result.address = request.ipAddress;
    result.outcome = outcomeOf(OutcomeKind::Skipped);
  } else {
    const auto run = makeBatchRun(request, environment);
    if (hooks.starting) hooks.starting(*run, index);
    result = run->program();
    limit.note(result);
  }
  if (hooks.finished) hooks.finished(result, index);
}

}  // namespace

std::vector<DeviceResult> programDevices(const std::vector<CliRequest>& requests,
                                         CliEnvironment& environment, int jobs,
                                         const BatchHooks& hooks, std::size_t maxFailures) {
  std::vector<DeviceResult> results(requests.size());
  // The environment makes its echo facility and locks on first use; that happens here, before
  // the threads share them.
  (void)environment.echoService();
  (void)environment.deviceLocks();
  std::atomic<std::size_t> next{0};
  FailureLimit limit(maxFailures);
  const auto work = [&] {
    for (std::size_t index = next++; index < requests.size(); index = next++) {
      programOne(requests[index], environment, index, hooks, limit, results[index]);
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
