#include "cli/options/output_options.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <system_error>

#include "cli/output/terminal_text.h"
#include "common/utf8.h"

namespace korvel {
namespace {

// A FIFO or a device as the log would block the command or swallow its lines.
const CLI::Validator& appendableFile() {
  static const CLI::Validator validator(
      [](std::string& text) -> std::string {
        std::error_code error;
        const auto path = pathFromUtf8(text);
        if (!std::filesystem::exists(path, error) ||
            std::filesystem::is_regular_file(path, error)) {
          return {};
        }
        return escapeControls(text) + ": not a regular file";
      },
      "");
  return validator;
}

}  // namespace

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
      ->type_name("FILE")
      ->check(appendableFile());
}

}  // namespace korvel
