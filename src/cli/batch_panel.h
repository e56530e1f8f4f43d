#pragma once

#include <string>
#include <vector>

#include "cli/cli_panel.h"
#include "cli/device_panel.h"

namespace korvel {

// The panel of one device among many: it shows nothing while the run goes on, since the
// devices' runs would write over one another; it keeps the information and the messages for the
// line and the table written when the run is over.
class BatchPanel : public DevicePanel {
 public:
  explicit BatchPanel(CliRequest request) : request_(std::move(request)) {}

  Ipv4Address ipAddress() const override { return request_.ipAddress; }
  std::string login() const override { return request_.login; }
  std::string password() const override { return request_.password; }
  bool viaBoot() const override { return request_.viaBoot; }
  std::string imagePath() const override { return request_.imagePath; }

  void setSummaryText(const std::string&) override {}
  void setInfoText(const std::string& text) override { infoText_ = text; }
  void setProgressRange(std::int64_t, std::int64_t) override {}
  void setProgressPosition(std::int64_t) override {}
  void enableInputs(bool) override {}
  void pumpMessages() override {}
  void beginWaitCursor() override {}
  void restoreWaitCursor() override {}
  void endWaitCursor() override {}
  void showWarning(const std::string& text) override { messages_.push_back(text); }

  void onEvent(const ProgressEvent&) override {}

  const std::string& infoText() const { return infoText_; }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  CliRequest request_;
  std::string infoText_;
  std::vector<std::string> messages_;
};

}  // namespace korvel
