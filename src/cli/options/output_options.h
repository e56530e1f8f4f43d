#pragma once

#include <string>

namespace CLI {
class App;
}

namespace korvel {

// How a command reports besides its human text: JSON lines on standard output, every echo
// exchange on standard error, a line per device in a run log.
struct OutputOptions {
  bool json = false;
  bool trace = false;
  std::string logFile;  // UTF-8; empty: no run log

  void addJson(CLI::App& command);
  void addTrace(CLI::App& command);
  void addLogFile(CLI::App& command);
};

}  // namespace korvel
