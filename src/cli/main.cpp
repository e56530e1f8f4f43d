#include <iostream>

#include "cli/cli_environment.h"
#include "cli/run_cli.h"
#include "common/texts.h"
#include "link/socket_layer.h"

int main(int argc, char** argv) {
  if (!korvel::startSocketLayer()) {
    std::cerr << korvel::text::kSocketsFailed << '\n';
    return korvel::kExitFailure;
  }
  korvel::SystemCliEnvironment environment;
  const int exitCode = korvel::runCli(argc, argv, std::cin, std::cout, std::cerr, environment);
  korvel::stopSocketLayer();
  return exitCode;
}
