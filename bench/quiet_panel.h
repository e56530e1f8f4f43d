#pragma once

#include <string>
#include <vector>

#include "programming/operator_panel.h"

namespace korvel::bench {

// An operator panel that keeps only what a benchmark reads afterwards: the messages.
class QuietPanel : public OperatorPanel {
 public:
  Ipv4Address ipAddress() const override { return ip; }
  std::string login() const override { return "admin"; }
  std::string password() const override { return "admin"; }
  bool viaBoot() const override { return false; }
  std::string imagePath() const override { return path; }
  void setSummaryText(const std::string&) override {}
  void setInfoText(const std::string& text) override { info = text; }
  void setProgressRange(std::int64_t, std::int64_t) override {}
  void setProgressPosition(std::int64_t) override {}
  void enableInputs(bool) override {}
  void pumpMessages() override {}
  void beginWaitCursor() override {}
  void restoreWaitCursor() override {}
  void endWaitCursor() override {}
  void showWarning(const std::string& text) override { warnings.push_back(text); }
  void showNotice(const std::string&) override {}  // the bench locks nothing

  Ipv4Address ip{127, 0, 0, 2};
  std::string path;
  std::string info;
  std::vector<std::string> warnings;
};

}  // namespace korvel::bench
