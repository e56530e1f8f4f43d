#pragma once

#include <cstdint>
#include <string>

#include "common/ipv4_address.h"

namespace korvel {

// The controls of the main window as the device procedures see them. The window implements it
// with real widgets, the command line over its arguments and streams, the tests by recording.
// Texts are UTF-8.
class OperatorPanel {
 public:
  virtual ~OperatorPanel() = default;

  // The IP field: first dotted field in the most significant byte, blank parts read as 0.
  virtual Ipv4Address ipAddress() const = 0;
  virtual std::string login() const = 0;
  virtual std::string password() const = 0;
  virtual bool viaBoot() const = 0;
  virtual std::string imagePath() const = 0;

  virtual void setSummaryText(const std::string& text) = 0;
  virtual void setInfoText(const std::string& text) = 0;
  virtual void setProgressRange(std::int64_t lower, std::int64_t upper) = 0;
  virtual void setProgressPosition(std::int64_t position) = 0;

  // Switches the program button, IP field, browse button, path field, Info button, login and
  // password fields and the via-boot box, in that order. Exit and help stay live.
  virtual void enableInputs(bool enable) = 0;
  // Handles whatever the operator did meanwhile; called by the run after every record.
  virtual void pumpMessages() = 0;

  virtual void beginWaitCursor() = 0;
  virtual void restoreWaitCursor() = 0;
  virtual void endWaitCursor() = 0;

  // Modal, OK only, warning icon, the application's name as caption.
  virtual void showWarning(const std::string& text) = 0;
  // One line the operator should read but need not answer, shown after the information (the
  // window adds it to the information box).
  virtual void showNotice(const std::string& text) = 0;
};

}  // namespace korvel
