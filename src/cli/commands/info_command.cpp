#include <CLI/CLI.hpp>

#include "cli/commands/command_table.h"
#include "cli/options/demand_options.h"
#include "cli/options/device_options.h"
#include "cli/options/output_options.h"
#include "cli/output/run_reporting.h"
#include "cli/platform/quiet_environment.h"
#include "cli/run_cli.h"

namespace korvel {
namespace {

class InfoCommand : public CliCommand {
 public:
  std::string_view name() const override { return "info"; }
  std::string_view description() const override {
    return "Ask the device for its board id, serial number, texts and versions.";
  }
  void addOptions(CLI::App& command) override {
    device_.addTo(command);
    demands_.addTo(command, false);
    output_.addJson(command);
    output_.addTrace(command);
    output_.addLogFile(command);
  }
  void completeArguments(std::istream& in, CliEnvironment& environment) override {
    device_.readPassword(in);
    checkInterfaces({device_.interfaceName}, environment);
  }

  // With --json the information, or the failure, is in the result line: standard output holds
  // nothing but JSON. With --json or --trace no progress bar is drawn.
  int run(CliContext& context) override {
    RunReporting reporting(output_, context, "info");
    if (!reporting.prepare()) return kExitFailure;
    QuietEnvironment quiet(context.environment);
    CliEnvironment& environment = reporting.quiet() ? quiet : context.environment;
    const CliRequest request = device_.request();
    CliPanel panel(request, context.err, environment);
    ProgressFanOut events;
    events.add(&panel);
    const auto device = reporting.forDevice(request.ipAddress, request.interfaceName);
    for (ProgressObserver* observer : device->observers()) events.add(observer);
    Outcome outcome;
    {
      DeviceProgrammer programmer(panel, environment.echoServiceOn(request.interfaceName),
                                  environment.pauses());
      prepareProgrammer(programmer, panel, environment, request.interfaceName);
      programmer.setProgressObserver(&events);
      programmer.setExchangeObserver(device->exchangeObserver());
      programmer.setRunDemands(demands_.demands());
      outcome = programmer.queryDeviceInfo();
    }
    panel.endProgress();
    if (!reporting.json()) {
      // Another board's information is still shown; the refusal goes where failures go.
      const bool refused = outcome.kind == OutcomeKind::WrongBoard;
      context.out << infoLines(refused ? panel.infoText().value_or("") : outcome.text)
                  << std::flush;
      if (refused) context.err << outcome.text << '\n' << std::flush;
    }
    if (!device->logWritten(context.err)) return kExitFailure;
    return outcome.succeeded() ? kExitSuccess : kExitFailure;
  }

 private:
  DeviceOptions device_;
  OutputOptions output_;
  DemandOptions demands_;
};

}  // namespace

std::unique_ptr<CliCommand> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace korvel
