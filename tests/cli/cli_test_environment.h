#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/platform/cli_environment.h"
#include "cli/run_cli.h"
#include "support/recording_pauses.h"

namespace korvel::test {

// The machine as a test sees it: an echo facility the test chooses, recorded pauses, a clock
// that moves only when told to, and standard error as a terminal or not.
class TestCliEnvironment : public CliEnvironment {
 public:
  explicit TestCliEnvironment(EchoService& echo) : echo_(echo) {}

  EchoService& echoService() override { return echo_; }
  Pauses& pauses() override { return pauses_; }
  bool errorStreamIsTerminal() const override { return terminal; }
  std::chrono::steady_clock::time_point now() const override { return clock; }
  DeviceLocks* deviceLocks() override { return locks; }
  std::unique_ptr<InterruptWatch> watchInterrupts(std::function<void(int)> stop) override {
    interrupt = std::move(stop);
    return std::make_unique<Watch>(interrupt);
  }
  void stopPauses() override { ++pausesStopped; }

  RecordingPauses& recordedPauses() { return pauses_; }

  bool terminal = false;
  DeviceLocks* locks = nullptr;
  std::chrono::steady_clock::time_point clock{};
  // What the operator's Ctrl-C (kExitInterrupted) or SIGTERM (kExitTerminated) calls while a
  // command watches for them; empty otherwise.
  std::function<void(int)> interrupt;
  int pausesStopped = 0;

 private:
  // Ends the watch: an interrupt after it reaches nobody.
  class Watch : public InterruptWatch {
   public:
    explicit Watch(std::function<void(int)>& interrupt) : interrupt_(interrupt) {}
    ~Watch() override { interrupt_ = nullptr; }

   private:
    std::function<void(int)>& interrupt_;
  };

  EchoService& echo_;
  RecordingPauses pauses_;
};

// One run of korvel-cli: its exit code and everything it wrote.
struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline CliResult runCliWith(CliEnvironment& environment, const std::vector<std::string>& args,
                            const std::string& input = {}) {
  std::vector<const char*> argv{"korvel-cli"};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  CliResult result;
  result.exitCode = runCli(static_cast<int>(argv.size()), argv.data(), in, out, err, environment);
  result.out = out.str();
  result.err = err.str();
  return result;
}

}  // namespace korvel::test
