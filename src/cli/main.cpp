#include <iostream>

#include "cli/cli_environment.h"
#include "cli/run_cli.h"

int main(int argc, char** argv) {
  korvel::SystemCliEnvironment environment;
  return korvel::runCli(argc, argv, std::cin, std::cout, std::cerr, environment);
}
