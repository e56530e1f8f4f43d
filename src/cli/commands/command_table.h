#pragma once

#include <memory>
#include <vector>

#include "cli/commands/cli_command.h"

namespace korvel {

std::unique_ptr<CliCommand> makeInfoCommand();
std::unique_ptr<CliCommand> makeProgramCommand();
std::unique_ptr<CliCommand> makeCheckCommand();
std::unique_ptr<CliCommand> makeSummaryCommand();

// Every subcommand, in the order the help lists them.
std::vector<std::unique_ptr<CliCommand>> makeCliCommands();

}  // namespace korvel
