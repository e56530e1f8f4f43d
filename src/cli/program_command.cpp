#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/device_options.h"
#include "cli/device_run.h"
#include "cli/run_cli.h"
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
  }
  void completeArguments(std::istream& in) override { device_.readPassword(in); }

  // The information text goes to standard output as soon as the query has it; the run goes on
  // for a long while after that.
  int run(CliContext& context) override {
    const auto run = makeTerminalRun(device_.request(imagePath_, viaBoot_), context.environment,
                                     context.err, &context.out);
    const DeviceResult result = run->program();
    if (!result.outcome.succeeded()) return kExitFailure;
    context.err << programmedLine(result.run, result.seconds) << std::flush;
    return kExitSuccess;
  }

 private:
  DeviceOptions device_;
  std::string imagePath_;
  bool viaBoot_ = false;
};

}  // namespace

std::unique_ptr<CliCommand> makeProgramCommand() { return std::make_unique<ProgramCommand>(); }

}  // namespace korvel
