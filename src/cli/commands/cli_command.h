#pragma once

#include <istream>
#include <ostream>
#include <string_view>

#include "cli/platform/cli_environment.h"

namespace CLI {
class App;
}

namespace korvel {

// What a subcommand works with once its arguments are parsed.
struct CliContext {
  std::ostream& out;
  std::ostream& err;
  CliEnvironment& environment;
};

// One subcommand of korvel-cli: its word, its options and what it does. A new subcommand is one
// such class in a file of its own and one row in the table of makeCliCommands().
class CliCommand {
 public:
  virtual ~CliCommand() = default;

  virtual std::string_view name() const = 0;
  virtual std::string_view description() const = 0;
  // Declares the subcommand's arguments on `command`, bound to the object's own fields.
  virtual void addOptions(CLI::App& command) = 0;
  // Called after parsing, before run(); may throw a CLI::ParseError for arguments that are
  // wrong only in combination with the input or with the machine (a network interface missing).
  virtual void completeArguments(std::istream&, CliEnvironment&) {}
  // The process's exit code.
  virtual int run(CliContext& context) = 0;
};

}  // namespace korvel
