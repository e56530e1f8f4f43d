#pragma once

#include <functional>
#include <string>
#include <vector>

#include "programming/operator_panel.h"

namespace korvel::test {

// An operator panel whose fields a test sets and whose every effect it records.
class RecordingPanel : public OperatorPanel {
 public:
  Ipv4Address ipAddress() const override { return ip; }
  std::string login() const override { return loginText; }
  std::string password() const override { return passwordText; }
  bool viaBoot() const override { return viaBootChecked; }
  std::string imagePath() const override { return path; }

  void setSummaryText(const std::string& text) override { summary = text; }
  void setInfoText(const std::string& text) override { info = text; }
  void setProgressRange(std::int64_t lower, std::int64_t upper) override {
    rangeLower = lower;
    rangeUpper = upper;
  }
  void setProgressPosition(std::int64_t position) override { positions.push_back(position); }
  void enableInputs(bool enable) override {
    inputsEnabled = enable;
    inputSwitches.push_back(enable);
  }
  void pumpMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  void beginWaitCursor() override { ++waitCursorDepth; }
  void restoreWaitCursor() override { ++cursorReassertions; }
  void endWaitCursor() override { --waitCursorDepth; }
  void showWarning(const std::string& text) override {
    warnings.push_back(text);
    inputsEnabledAtWarning.push_back(inputsEnabled);
  }
  void showNotice(const std::string& text) override { notices.push_back(text); }

  Ipv4Address ip{127, 0, 0, 2};
  std::string loginText = "admin";
  std::string passwordText = "admin";
  bool viaBootChecked = false;
  std::string path;

  std::string summary;
  std::string info;
  std::int64_t rangeLower = -1;
  std::int64_t rangeUpper = -1;
  std::vector<std::int64_t> positions;
  bool inputsEnabled = true;
  std::vector<bool> inputSwitches;
  int pumps = 0;
  int waitCursorDepth = 0;
  int cursorReassertions = 0;
  std::vector<std::string> warnings;
  std::vector<bool> inputsEnabledAtWarning;
  std::vector<std::string> notices;
  std::function<void()> onPump;
};

}  // namespace korvel::test
