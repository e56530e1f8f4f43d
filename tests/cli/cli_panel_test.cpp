#include "cli/output/cli_panel.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli_test_environment.h"
#include "support/scripted_echo_service.h"

namespace korvel {
namespace {

using namespace std::chrono_literals;

constexpr char kInfo[] = "'BOOT'\r\nBoard Id=0x000012AB №3.7 Boot v1.2\r\n'MAIN'\r\nv2.5";
constexpr char kInfoLines[] = "'BOOT'\nBoard Id=0x000012AB №3.7 Boot v1.2\n'MAIN'\nv2.5\n";

class CliPanelTest : public ::testing::Test {
 protected:
  // What the programming run tells the panel: the query's attempts and text, then the image.
  void queryThenProgram(CliPanel& panel, bool fail) {
    panel.onEvent(PhaseStarted{Phase::InformationQuery, 10});
    environment.clock += 5s;
    panel.onEvent(AttemptFailed{Request::DeviceInfo, 1, true});
    panel.setInfoText(kInfo);
    panel.onEvent(PhaseStarted{Phase::ImageCheck});
    panel.onEvent(PhaseStarted{Phase::EnteringBootMonitor});
    panel.onEvent(PhaseStarted{Phase::Sending, 4000});
    for (std::uint64_t position = 1000; position <= 4000; position += 1000) {
      environment.clock += 1s;
      panel.onEvent(RecordTaken{position / 1000 - 1, position - 100, 3600, position, 4000});
      if (fail && position == 2000) {
        panel.showWarning("Ошибка связи");
        break;
      }
    }
    panel.onEvent(Finished{fail ? outcomeOf(OutcomeKind::LinkLost) : Outcome{}});
    panel.endProgress();
  }

  test::ScriptedEchoService echo;
  test::TestCliEnvironment environment{echo};
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CliPanelTest, WithoutATerminalStandardErrorHoldsOnlyTheMessageBoxes) {
  CliPanel panel({}, err, environment, &out);
  queryThenProgram(panel, true);
  EXPECT_EQ(err.str(), "Ошибка связи\n");
  EXPECT_TRUE(panel.warningShown());
  EXPECT_EQ(out.str(), kInfoLines);
  EXPECT_EQ(panel.infoText(), kInfo);
}

TEST_F(CliPanelTest, OnATerminalTheQueryLineGoesAndTheImageLineStays) {
  environment.terminal = true;
  CliPanel panel({}, err, environment, &out);
  queryThenProgram(panel, false);
  EXPECT_FALSE(panel.warningShown());
  EXPECT_EQ(out.str(), kInfoLines);
  const std::string text = err.str();
  const auto wiped = text.find("1/10 attempts\x1b[K\r\x1b[K");
  EXPECT_NE(wiped, std::string::npos) << text;
  // The run's reset to 0 ends the line at the last position, it does not draw a 0 %.
  EXPECT_TRUE(text.ends_with("4000/4000 bytes  1000 B/s\x1b[K\n")) << text;
  EXPECT_EQ(text.find("%  0/4000 bytes"), std::string::npos);
}

// The window's bar moves with the panel calls; the terminal's follows the events alone.
TEST_F(CliPanelTest, OnATerminalTheBarIgnoresTheWindowsBarCalls) {
  environment.terminal = true;
  CliPanel panel({}, err, environment, &out);
  panel.setProgressRange(0, 10);
  panel.setProgressPosition(3);
  panel.setProgressRange(0, 4000);
  panel.setProgressPosition(4000);
  panel.endProgress();
  EXPECT_EQ(err.str(), "");
  // A failed attempt that is not retried, or of another request, does not move the query's line.
  panel.onEvent(PhaseStarted{Phase::InformationQuery, 10});
  panel.onEvent(AttemptFailed{Request::SubordinateQuery, 2, true});
  panel.onEvent(AttemptFailed{Request::DeviceInfo, 10, false});
  panel.onEvent(Finished{outcomeOf(OutcomeKind::NoAnswer)});
  EXPECT_EQ(err.str(), "");
}

TEST_F(CliPanelTest, AMessageBoxStartsOnALineOfItsOwn) {
  environment.terminal = true;
  CliPanel panel({}, err, environment, &out);
  queryThenProgram(panel, true);
  const std::string text = err.str();
  EXPECT_TRUE(text.ends_with("2000/4000 bytes  1000 B/s\x1b[K\nОшибка связи\n")) << text;
}

TEST(InfoLinesTest, TerminalLinesEndInNewlines) {
  EXPECT_EQ(infoLines(kInfo), kInfoLines);
  EXPECT_EQ(infoLines("Нет ответа от устройства"), "Нет ответа от устройства\n");
  EXPECT_EQ(infoLines("a\rb\n"), "a\rb\n");
  EXPECT_EQ(infoLines(""), "\n");
}

}  // namespace
}  // namespace korvel
