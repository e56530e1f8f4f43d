#include "cli/run/device_run.h"

#include <chrono>
#include <utility>
#include <variant>

#include "cli/options/device_options.h"
#include "cli/run/batch_panel.h"

namespace korvel {

class DeviceRun::ResultRecorder : public ProgressObserver {
 public:
  explicit ResultRecorder(DeviceResult& result) : result_(result) {}

  void onEvent(const ProgressEvent& event) override {
    if (const auto* read = std::get_if<DeviceInfoRead>(&event)) result_.info = read->info;
    if (const auto* taken = std::get_if<RecordTaken>(&event)) result_.bytesDone = taken->bytesDone;
  }

 private:
  DeviceResult& result_;
};

DeviceRun::DeviceRun(std::unique_ptr<DevicePanel> panel, CliEnvironment& environment)
    : panel_(std::move(panel)),
      environment_(environment),
      recorder_(std::make_unique<ResultRecorder>(result_)),
      programmer_(*panel_, environment.echoServiceOn(panel_->interfaceName()),
                  environment.pauses()) {
  fanOut_.add(panel_.get());
  fanOut_.add(recorder_.get());
  prepareProgrammer(programmer_, fanOut_, environment_, panel_->interfaceName());
}

DeviceRun::~DeviceRun() = default;

DeviceResult DeviceRun::program() {
  result_ = {};
  result_.address = panel_->ipAddress();
  result_.interfaceName = panel_->interfaceName();
  const auto start = environment_.now();
  result_.outcome = programmer_.programDevice();
  result_.run = programmer_.lastRun();
  result_.notices = panel_->notices();
  // The link's socket goes back now: many runs at once should not hold many idle sockets.
  programmer_.closeLink();
  panel_->endProgress();
  result_.seconds = std::chrono::duration<double>(environment_.now() - start).count();
  return result_;
}

std::unique_ptr<DeviceRun> makeTerminalRun(CliRequest request, CliEnvironment& environment,
                                           std::ostream& err, std::ostream* infoOut) {
  return std::make_unique<DeviceRun>(
      std::make_unique<CliPanel>(std::move(request), err, environment, infoOut), environment);
}

std::unique_ptr<DeviceRun> makeBatchRun(CliRequest request, CliEnvironment& environment) {
  return std::make_unique<DeviceRun>(std::make_unique<BatchPanel>(std::move(request)), environment);
}

}  // namespace korvel
