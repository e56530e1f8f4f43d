#include <csignal>

#include "cli/platform/command_line.h"

namespace korvel {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

// A reader that goes away (`| head`, a closed pipe) ends only the output: a run in progress and
// its log go on, where the default action of SIGPIPE would end the process mid-run.
void prepareConsole() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace korvel
