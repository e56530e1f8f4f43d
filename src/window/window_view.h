#pragma once

#include <functional>
#include <string>

#include "common/ipv4_address.h"

namespace korvel {

// What the window controller needs of a window's widgets. Every call but postToUi comes on the
// window's own thread. Texts are UTF-8.
class WindowView {
 public:
  virtual ~WindowView() = default;

  virtual Ipv4Address ipAddress() const = 0;
  virtual void setIpAddress(Ipv4Address address) = 0;
  virtual std::string login() const = 0;
  virtual std::string password() const = 0;
  virtual bool viaBoot() const = 0;
  virtual void setViaBoot(bool checked) = 0;
  virtual std::string imagePath() const = 0;
  virtual void setImagePath(const std::string& path) = 0;

  virtual void setSummaryText(const std::string& text) = 0;
  virtual void setInfoText(const std::string& text) = 0;
  // The bar's own range and position: already within an int.
  virtual void setProgressRange(int lower, int upper) = 0;
  virtual void setProgressPosition(int position) = 0;

  // The eight controls of the input set, one after the other in the input set's order.
  virtual void setInputsEnabled(bool enabled) = 0;
  virtual void beginWaitCursor() = 0;
  virtual void reassertWaitCursor() = 0;
  virtual void endWaitCursor() = 0;
  // Modal, OK only, warning icon, "Korvel" as caption; returns when the operator has closed it.
  virtual void showWarning(const std::string& text) = 0;

  // The control with the keyboard focus when a conversation starts gets it back at its end.
  virtual void rememberFocus() = 0;
  virtual void restoreFocus() = 0;
  // Ends the window with `result` (the close deferred during a conversation).
  virtual void endWindow(int result) = 0;

  // Runs `call` on the window's thread, after every call posted before it. Safe from any thread.
  virtual void postToUi(std::function<void()> call) = 0;
};

}  // namespace korvel
