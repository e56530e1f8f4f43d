#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/commands/command_table.h"
#include "cli/options/demand_options.h"
#include "cli/options/device_options.h"
#include "cli/options/output_options.h"
#include "cli/options/target_list.h"
#include "cli/output/device_report.h"
#include "cli/output/run_reporting.h"
#include "cli/output/shared_lines.h"
#include "cli/output/terminal_text.h"
#include "cli/platform/interrupt_watch.h"
#include "cli/platform/quiet_environment.h"
#include "cli/run/device_batch.h"
#include "cli/run/device_run.h"
#include "cli/run/image_precheck.h"
#include "cli/run_cli.h"
#include "common/texts.h"
#include "common/utf8.h"

namespace korvel {
namespace {

class ProgramCommand : public CliCommand {
 public:
  std::string_view name() const override { return "program"; }
  std::string_view description() const override {
    return "Program an image into the device or into a subordinate on its bus.";
  }

  void addOptions(CLI::App& command) override {
    command.add_option("IMAGE", imagePath_, "firmware image file (*.qlxfw)")
        ->required()
        ->type_name("FILE");
    device_.addTo(command, true);
    command
        .add_option("--targets", targetsPath_,
                    "file of devices: ADDRESS or INTERFACE ADDRESS a line, # starts a comment")
        ->type_name("FILE");
    command.add_option("--jobs", jobs_, "devices programmed at once (default: all, at most 64)")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxJobs).description(""));
    command.add_flag("--via-boot", viaBoot_,
                     "the device already waits in its boot monitor (started by hand)");
    demands_.addTo(command, true);
    output_.addJson(command);
    output_.addTrace(command);
    output_.addLogFile(command);
  }

  void completeArguments(std::istream& in, CliEnvironment& environment) override {
    device_.readPassword(in);
    for (const std::string& address : device_.addresses) {
      if (auto error = targets_.add(address, "--ip", device_.interfaceName)) {
        throw CLI::ValidationError(*error);
      }
    }
    if (!targetsPath_.empty()) readTargetFile();
    if (targets_.addresses().empty()) {
      throw CLI::ValidationError("--ip A.B.C.D or --targets FILE is required");
    }
    checkInterfaces(targets_.interfaces(), environment);
  }

  // Ctrl-C or SIGTERM stops every run after the exchange in flight; the results are still
  // written, and the exit status is the interrupt's.
  int run(CliContext& context) override {
    StopRequest stop;
    int status = kExitFailure;
    {
      const auto watch = context.environment.watchInterrupts([&](int exitStatus) {
        stop.raise(exitStatus);
        context.environment.stopPauses();
      });
      status = targets_.addresses().size() == 1 && targetsPath_.empty()
                   ? programOne(context, stop.flag())
                   : programMany(context, stop.flag());
    }
    return stop.exitStatus() != 0 ? stop.exitStatus() : status;
  }

 private:
  // Looked at before it is opened: opening a FIFO would wait for a writer.
  void readTargetFile() {
    const auto path = pathFromUtf8(targetsPath_);
    std::error_code statusError;
    if (std::filesystem::exists(path, statusError) &&
        !std::filesystem::is_regular_file(path, statusError)) {
      throw CLI::ValidationError(escapeControls(targetsPath_) + ": not a regular file");
    }
    std::ifstream file(path);
    if (!file) throw CLI::ValidationError(escapeControls(targetsPath_) + ": cannot be opened");
    if (auto error = targets_.read(file, targetsPath_, device_.interfaceName))
      throw CLI::ValidationError(*error);
  }

  // The image opened and found good; nothing, with the reason on `err`, otherwise.
  std::shared_ptr<const CheckedImage> openImage(std::ostream& err) const {
    auto image = openCheckedImage(pathFromUtf8(imagePath_), viaBoot_,
                                  DeviceProgrammer::kMaxBootRecord, !output_.logFile.empty());
    if (!image || image->check.failure) {
      err << (image ? checkFailureLine(image->check) : std::string(text::kOpenFailed)) << '\n'
          << std::flush;
      return nullptr;
    }
    return std::make_shared<const CheckedImage>(std::move(*image));
  }

  CliRequest requestFor(std::size_t target) const {
    CliRequest request = device_.request(imagePath_, viaBoot_);
    request.ipAddress = targets_.addresses()[target];
    request.interfaceName = targets_.interfaces()[target];
    return request;
  }

  // The information text goes to standard output as soon as the query has it; the run goes on
  // for a long while after that.
  int programOne(CliContext& context, const std::atomic<bool>& stop) {
    RunReporting reporting(output_, context, "program", imagePath_);
    if (!reporting.prepare()) return kExitFailure;
    // With JSON or a trace, no progress bar; with JSON, standard output holds nothing else.
    QuietEnvironment quiet(context.environment);
    const CliRequest request = requestFor(0);
    const auto run = makeTerminalRun(request, reporting.quiet() ? quiet : context.environment,
                                     context.err, reporting.json() ? nullptr : &context.out);
    const auto device = reporting.forDevice(request.ipAddress, request.interfaceName);
    device->attachTo(*run);
    run->programmer().setStopRequest(&stop);
    run->programmer().setRunDemands(demands_.demands());
    const DeviceResult result = run->program();
    // An interrupted run shows no message box of its own.
    if (result.outcome.kind == OutcomeKind::Interrupted) {
      context.err << result.outcome.text << '\n';
    }
    context.err << leftBehindLine(result) << std::flush;
    if (!device->logWritten(context.err) || !result.outcome.succeeded()) return kExitFailure;
    context.err << programmedLine(result.run, result.seconds) << std::flush;
    return kExitSuccess;
  }

  // The image is opened and checked once, before any device hears of it, and every device's run
  // reads that one open file; a line per device as it ends, the table when all have.
  int programMany(CliContext& context, const std::atomic<bool>& stop) {
    const auto image = openImage(context.err);
    if (!image) return kExitFailure;
    RunReporting reporting(output_, context, "program", imagePath_);
    if (!reporting.prepare(targets_.addresses().size(), image.get())) return kExitFailure;
    std::vector<CliRequest> requests;
    for (std::size_t target = 0; target < targets_.addresses().size(); ++target) {
      requests.push_back(requestFor(target));
    }
    SharedLines& lines = reporting.errorLines();
    std::vector<std::unique_ptr<DeviceReporting>> devices(requests.size());
    BatchHooks hooks;
    hooks.starting = [&](DeviceRun& run, std::size_t index) {
      devices[index] =
          reporting.forDevice(requests[index].ipAddress, requests[index].interfaceName);
      devices[index]->attachTo(run);
      run.programmer().setStopRequest(&stop);
      run.programmer().setRunDemands(demands_.demands());
      run.programmer().setCheckedImage(image);
    };
    hooks.finished = [&](const DeviceResult& result, std::size_t index) {
      // A device never started still gets its result line and its line in the run log.
      if (!devices[index]) {
        devices[index] = reporting.forDevice(result.address);
        devices[index]->finish(result.outcome);
      }
      lines.write(finishedLine(result));
    };
    const std::vector<DeviceResult> results =
        programDevices(requests, context.environment, jobsFor(requests.size(), jobs_), hooks,
                       demands_.maxFailures);
    context.err << resultTable(results) << std::flush;
    bool allLogged = true;
    for (const auto& device : devices) {
      if (device && !device->logWritten(context.err)) allLogged = false;
    }
    const bool allSucceeded = std::all_of(results.begin(), results.end(), [](const auto& result) {
      return result.outcome.succeeded();
    });
    return allLogged && allSucceeded ? kExitSuccess : kExitFailure;
  }

  DeviceOptions device_;
  OutputOptions output_;
  DemandOptions demands_;
  TargetList targets_;
  std::string imagePath_;
  std::string targetsPath_;
  int jobs_ = 0;
  bool viaBoot_ = false;
};

}  // namespace

std::unique_ptr<CliCommand> makeProgramCommand() { return std::make_unique<ProgramCommand>(); }

}  // namespace korvel
