#include <CLI/CLI.hpp>

#include "cli/cli_commands.h"
#include "cli/device_options.h"
#include "cli/run_cli.h"

namespace korvel {
namespace {

class InfoCommand : public CliCommand {
 public:
  std::string_view name() const override { return "info"; }
  std::string_view description() const override {
    return "Ask the device for its board id, serial number, texts and versions.";
  }
  void addOptions(CLI::App& command) override { device_.addTo(command); }
  void completeArguments(std::istream& in) override { device_.readPassword(in); }

  int run(CliContext& context) override {
    CliPanel panel(device_.request(), context.err, context.environment);
    Outcome outcome;
    {
      DeviceProgrammer programmer(panel, context.environment.echoService(),
                                  context.environment.pauses());
      prepareProgrammer(programmer, panel, context.environment);
      outcome = programmer.queryDeviceInfo();
    }
    panel.endProgress();
    context.out << infoLines(outcome.text) << std::flush;
    return outcome.succeeded() ? kExitSuccess : kExitFailure;
  }

 private:
  DeviceOptions device_;
};

}  // namespace

std::unique_ptr<CliCommand> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace korvel
