#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/device_options.h"
#include "cli/quiet_environment.h"
#include "cli/run_cli.h"
#include "cli/run_reporting.h"
#include "cli/target_text.h"

namespace korvel {
namespace {

std::string programmedLine(const RunOutcome& run, double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", seconds);
  return "Programmed " + std::to_string(run.dataBytes) + " bytes in " +
         std::to_string(run.dataRecords) + (run.dataRecords == 1 ? " record" : " records") +
         " into the " + targetText(run.target) + " in " + time + " s\n";
}

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
    device_.addTo(command);
    command.add_flag("--via-boot", viaBoot_,
                     "the device already waits in its boot monitor (started by hand)");
    output_.addJson(command);
    output_.addTrace(command);
    output_.addLogFile(command);
  }
  void completeArguments(std::istream& in) override { device_.readPassword(in); }

  // The information text goes to standard output as soon as the query has it; the run goes on
  // for a long while after that.
  int run(CliContext& context) override {
    RunReporting reporting(output_, context, "program", imagePath_);
    if (!reporting.prepare()) return kExitFailure;
    QuietEnvironment quiet(context.environment);
    CliEnvironment& environment = reporting.quiet() ? quiet : context.environment;
    const CliRequest request = device_.request(imagePath_, viaBoot_);
    CliPanel panel(request, context.err, environment, reporting.json() ? nullptr : &context.out);
    ProgressFanOut events;
    events.add(&panel);
    const auto device = reporting.forDevice(request.ipAddress);
    for (ProgressObserver* observer : device->observers()) events.add(observer);
    Outcome outcome;
    RunOutcome delivered;
    const auto start = context.environment.now();
    {
      DeviceProgrammer programmer(panel, environment.echoService(), environment.pauses());
      prepareProgrammer(programmer, panel, environment);
      programmer.setProgressObserver(&events);
      programmer.setExchangeObserver(device->exchangeObserver());
      outcome = programmer.programDevice();
      delivered = programmer.lastRun();
    }
    panel.endProgress();
    if (!device->logWritten(context.err) || !outcome.succeeded()) return kExitFailure;
    const std::chrono::duration<double> seconds = context.environment.now() - start;
    context.err << programmedLine(delivered, seconds.count()) << std::flush;
    return kExitSuccess;
  }

 private:
  DeviceOptions device_;
  OutputOptions output_;
  std::string imagePath_;
  bool viaBoot_ = false;
};

}  // namespace

std::unique_ptr<CliCommand> makeProgramCommand() { return std::make_unique<ProgramCommand>(); }

}  // namespace korvel
