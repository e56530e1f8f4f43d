#include "cli/commands/command_table.h"

namespace korvel {

std::vector<std::unique_ptr<CliCommand>> makeCliCommands() {
  std::vector<std::unique_ptr<CliCommand>> commands;
  commands.push_back(makeInfoCommand());
  commands.push_back(makeProgramCommand());
  commands.push_back(makeCheckCommand());
  commands.push_back(makeSummaryCommand());
  return commands;
}

}  // namespace korvel
