#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/output/progress_bar.h"
#include "cli/platform/cli_environment.h"
#include "cli/run/device_panel.h"

namespace korvel {

// The operator panel of a terminal: the fields come from the arguments, the message boxes go to
// standard error, and there is nothing to switch off or drain. The progress bar on standard error
// follows the programmer's events, not the window's bar.
class CliPanel : public DevicePanel {
 public:
  // With `infoOut`, the information text is written there as soon as the query has it; the
  // programming run goes on for a long while after that.
  CliPanel(CliRequest request, std::ostream& err, CliEnvironment& environment,
           std::ostream* infoOut = nullptr);

  void setSummaryText(const std::string& text) override { summaryText_ = text; }
  void setInfoText(const std::string& text) override;
  void showWarning(const std::string& text) override;
  void showNotice(const std::string& text) override;

  void onEvent(const ProgressEvent& event) override;

  void endProgress() override;

  const std::optional<std::string>& infoText() const { return infoText_; }
  const std::string& summaryText() const { return summaryText_; }
  bool warningShown() const { return warningShown_; }

 private:
  std::ostream& err_;
  std::ostream* infoOut_;
  std::optional<ProgressBar> bar_;
  std::optional<std::string> infoText_;
  std::string summaryText_;
  bool warningShown_ = false;
};

// The information box's text as terminal lines: "\n" between the lines and after the last.
std::string infoLines(const std::string& text);

}  // namespace korvel
