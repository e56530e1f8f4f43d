#include "cli/output/run_reporting.h"

#include <chrono>

#include "cli/output/terminal_text.h"
#include "common/texts.h"
#include "common/utf8.h"

namespace korvel {

RunReporting::RunReporting(const OutputOptions& options, CliContext& context, std::string command,
                           std::optional<std::string> imagePath)
    : options_(options),
      context_(context),
      command_(std::move(command)),
      imagePath_(std::move(imagePath)),
      errorLines_(context_.err) {
  if (options_.json) json_.emplace(context_.out);
  if (options_.trace) {
    CliEnvironment& environment = context_.environment;
    trace_.emplace(errorLines_, [&environment] { return environment.now(); });
  }
}

bool RunReporting::prepare(std::size_t devices, const CheckedImage* image) {
  if (options_.logFile.empty()) return true;
  log_.emplace(pathFromUtf8(options_.logFile));
  if (!log_->usable(devices)) {
    context_.err << text::kRunLogCannotWrite << escapeControls(options_.logFile) << '\n'
                 << std::flush;
    return false;
  }
  if (imagePath_)
    image_ = image ? readImageFacts(*imagePath_, *image) : readImageFacts(*imagePath_);
  return true;
}

std::unique_ptr<DeviceReporting> RunReporting::forDevice(Ipv4Address address,
                                                         const std::string& interfaceName) {
  return std::make_unique<DeviceReporting>(*this, address.dotted(), interfaceName);
}

DeviceReporting::DeviceReporting(RunReporting& reporting, std::string ip,
                                 const std::string& interfaceName)
    : logPath_(reporting.options_.logFile), ip_(ip) {
  CliEnvironment& environment = reporting.context_.environment;
  auto clock = [&environment] { return environment.now(); };
  if (reporting.json_) {
    json_.emplace(*reporting.json_, ip,
                  reporting.imagePath_ ? JsonEventWriter::Conversation::Run
                                       : JsonEventWriter::Conversation::InformationQuery,
                  clock, interfaceName);
  }
  if (reporting.trace_) trace_.emplace(*reporting.trace_, interfaceName);
  if (reporting.log_) {
    log_.emplace(*reporting.log_, reporting.command_, ip,
                 reporting.image_ ? &*reporting.image_ : nullptr, std::chrono::system_clock::now(),
                 clock, interfaceName);
  }
}

std::vector<ProgressObserver*> DeviceReporting::observers() {
  std::vector<ProgressObserver*> observers;
  if (json_) observers.push_back(&*json_);
  if (log_) observers.push_back(&*log_);
  return observers;
}

void DeviceReporting::attachTo(DeviceRun& run) {
  for (ProgressObserver* observer : observers()) run.addObserver(observer);
  run.programmer().setExchangeObserver(exchangeObserver());
  run.programmer().setImageSha256Wanted(log_.has_value());
}

void DeviceReporting::finish(const Outcome& outcome) {
  for (ProgressObserver* observer : observers()) observer->onEvent(Finished{outcome});
}

bool DeviceReporting::logWritten(std::ostream& err) const {
  if (!log_ || log_->written().value_or(true)) return true;
  err << text::kRunLogCannotWrite << escapeControls(logPath_) << " (the line of " << ip_
      << " is missing)\n"
      << std::flush;
  return false;
}

}  // namespace korvel
