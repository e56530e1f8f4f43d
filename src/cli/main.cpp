#include <iostream>
#include <string>
#include <vector>

#include "cli/platform/cli_environment.h"
#include "cli/platform/command_line.h"
#include "cli/run_cli.h"
#include "common/texts.h"
#include "link/socket_layer.h"

int main(int argc, char** argv) {
  korvel::prepareConsole();
  if (!korvel::startSocketLayer()) {
    std::cerr << korvel::text::kSocketsFailed << '\n';
    return korvel::kExitFailure;
  }
  const std::vector<std::string> arguments = korvel::utf8Arguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  korvel::SystemCliEnvironment environment;
  const int exitCode = korvel::runCli(static_cast<int>(pointers.size()), pointers.data(), std::cin,
                                      std::cout, std::cerr, environment);
  korvel::stopSocketLayer();
  return exitCode;
}
