#pragma once

#include <string>
#include <vector>

#include "cli/run/device_panel.h"

namespace korvel {

// The panel of one device among many: it shows nothing while the run goes on, since the
// devices' runs would write over one another; it keeps the information and the messages for the
// line and the table written when the run is over.
class BatchPanel : public DevicePanel {
 public:
  using DevicePanel::DevicePanel;

  void setSummaryText(const std::string&) override {}
  void setInfoText(const std::string& text) override { infoText_ = text; }
  void showWarning(const std::string& text) override { messages_.push_back(text); }
  void showNotice(const std::string& text) override { notices_.push_back(text); }

  void onEvent(const ProgressEvent&) override {}

  const std::string& infoText() const { return infoText_; }
  const std::vector<std::string>& messages() const { return messages_; }
  std::vector<std::string> notices() const override { return notices_; }

 private:
  std::string infoText_;
  std::vector<std::string> messages_;
  std::vector<std::string> notices_;
};

}  // namespace korvel
