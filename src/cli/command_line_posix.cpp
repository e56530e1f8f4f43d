#include "cli/command_line.h"

namespace korvel {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void prepareConsole() {}

}  // namespace korvel
