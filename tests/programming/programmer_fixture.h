#pragma once

#include <gtest/gtest.h>

#include "programming/device_programmer.h"
#include "support/device_replies.h"
#include "support/recording_panel.h"
#include "support/recording_pauses.h"
#include "support/scripted_echo_service.h"

namespace korvel::test {

// A programmer wired to a recording panel, recording pauses and an echo facility whose answers
// each test scripts from the requests it sees.
class ProgrammerTest : public ::testing::Test {
 protected:
  // Answers every request with `decide(command, request)`: a reply, or nothing for silence.
  void answerCommands(std::function<std::optional<Bytes>(const SentCommand&, ByteView)> decide) {
    echo.responder = [decide](ByteView request) { return decide(commandOf(request), request); };
  }

  std::vector<SentCommand> sentCommands() const {
    std::vector<SentCommand> commands;
    for (const auto& sent : echo.sent) commands.push_back(commandOf(sent.data));
    return commands;
  }

  RecordingPanel panel;
  RecordingPauses pauses;
  ScriptedEchoService echo;
  DeviceProgrammer programmer{panel, echo, pauses};
};

}  // namespace korvel::test
