#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/ipv4_address.h"
#include "programming/operator_panel.h"
#include "programming/progress_event.h"

namespace korvel {

// What the operator typed on the command line, in the shape of the window's fields. Texts UTF-8.
struct CliRequest {
  Ipv4Address ipAddress;
  std::string login;
  std::string password;
  std::string imagePath;
  bool viaBoot = false;
  // The network interface the device is reached through; empty: the routing table picks.
  std::string interfaceName;
};

// The panel of one device's run on the command line: the operator's fields, the messages, and
// whatever it draws from the run's events. A terminal has no inputs to switch off, no cursor to
// turn and no messages to drain, and its bar follows the events rather than the window's bar.
class DevicePanel : public OperatorPanel, public ProgressObserver {
 public:
  explicit DevicePanel(CliRequest request) : request_(std::move(request)) {}

  Ipv4Address ipAddress() const override { return request_.ipAddress; }
  std::string login() const override { return request_.login; }
  std::string password() const override { return request_.password; }
  bool viaBoot() const override { return request_.viaBoot; }
  std::string imagePath() const override { return request_.imagePath; }
  const std::string& interfaceName() const { return request_.interfaceName; }

  void setProgressRange(std::int64_t, std::int64_t) override {}
  void setProgressPosition(std::int64_t) override {}
  void enableInputs(bool) override {}
  void pumpMessages() override {}
  void beginWaitCursor() override {}
  void restoreWaitCursor() override {}
  void endWaitCursor() override {}

  // Ends whatever line the panel is drawing, so that nothing else lands on it.
  virtual void endProgress() {}
  // The notices it kept for the device's closing line instead of showing them.
  virtual std::vector<std::string> notices() const { return {}; }

 private:
  CliRequest request_;
};

}  // namespace korvel
