#include "cli/run_cli.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands/command_table.h"
#include "cli/output/terminal_text.h"
#include "common/texts.h"

namespace korvel {
namespace {

constexpr char kProgramName[] = "korvel-cli";

using Commands = std::vector<std::unique_ptr<CliCommand>>;

// Shown instead of CLI11's terse default: what was wrong, then how the command is used.
std::string usageMessage(const CLI::App* app, const CLI::Error& error) {
  return std::string(kProgramName) + ": " + error.what() + "\n\n" + app->help();
}

std::string shortUsage(const Commands& commands) {
  std::string words;
  for (const auto& command : commands) {
    if (!words.empty()) words += '|';
    words += command->name();
  }
  return std::string("Usage: ") + kProgramName + " {" + words + "} ... (" + kProgramName +
         " --help tells more)";
}

// A first word that names no command: say which, in one line of usage, rather than the whole help.
bool isUnknownCommand(int argc, const char* const* argv, const Commands& commands) {
  if (argc < 2 || argv[1][0] == '-') return false;
  for (const auto& command : commands) {
    if (command->name() == argv[1]) return false;
  }
  return true;
}

}  // namespace

int runCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, CliEnvironment& environment) {
  const Commands commands = makeCliCommands();
  if (isUnknownCommand(argc, argv, commands)) {
    err << kProgramName << ": unknown command '" << escapeControls(argv[1]) << "'\n"
        << shortUsage(commands) << '\n'
        << std::flush;
    return kExitUsage;
  }
  CLI::App app("Programs firmware images into networked devices over ICMP echo.", kProgramName);
  app.set_version_flag("--version", text::kVersion);
  app.require_subcommand(1);
  // An image path such as /home/op/x.qlxfw is an argument, never a Windows-style /option.
  app.allow_windows_style_options(false);
  app.failure_message(usageMessage);

  std::vector<std::pair<CLI::App*, CliCommand*>> table;
  for (const auto& command : commands) {
    CLI::App* sub =
        app.add_subcommand(std::string(command->name()), std::string(command->description()));
    command->addOptions(*sub);
    table.emplace_back(sub, command.get());
  }

  CliCommand* chosen = nullptr;
  try {
    app.parse(argc, argv);
    for (const auto& [sub, command] : table) {
      if (sub->parsed()) chosen = command;
    }
    if (chosen) chosen->completeArguments(in, environment);
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err) == kExitSuccess ? kExitSuccess : kExitUsage;
  }
  // require_subcommand(1) leaves no way here without one; should it ever, that is a usage error.
  if (!chosen) return kExitUsage;
  CliContext context{out, err, environment};
  return chosen->run(context);
}

}  // namespace korvel
