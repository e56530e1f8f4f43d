#pragma once

#include <istream>
#include <ostream>

#include "cli/platform/cli_environment.h"

namespace korvel {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the device or the image said no
inline constexpr int kExitUsage = 2;    // the command line was wrong

// korvel-cli as a function of its arguments and streams: one of the subcommands of
// makeCliCommands().
// Returns the process's exit code.
int runCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, CliEnvironment& environment);

}  // namespace korvel
