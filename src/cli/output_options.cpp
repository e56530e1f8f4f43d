#include "cli/output_options.h"

#include <CLI/CLI.hpp>

namespace korvel {

void OutputOptions::addJson(CLI::App& command) {
  command.add_flag("--json", json,
                   "write JSON lines on standard output, one object per event, and nothing else");
}

void OutputOptions::addTrace(CLI::App& command) {
  command.add_flag("--trace", trace, "write every echo exchange with the device on standard error");
}

void OutputOptions::addLogFile(CLI::App& command) {
  command
      .add_option("--log-file", logFile,
                  "append one JSON line per device to FILE when the run ends, failed or not")
      ->type_name("FILE");
}

}  // namespace korvel
