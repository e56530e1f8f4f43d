#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "programming/device_programmer.h"
#include "programming/operator_panel.h"
#include "window/conversation_panel.h"

namespace korvel {

class DeviceLocks;
class EchoService;
class Pauses;
class WindowSettings;
class WindowView;

// What both windows do behind their widgets: the programmer and the device lock, the settings
// restored at the start and saved at the end, the device conversations on a worker thread, the
// input set and the wait cursor around them, the progress bar's scale, and the close deferred
// until a conversation has returned. It is the operator panel on the window's thread; the
// conversation sees a ConversationPanel that hands its writes here. Everything but the
// conversation itself runs on the window's thread.
class WindowController : public OperatorPanel {
 public:
  WindowController(WindowView& view, EchoService& echoService, Pauses& pauses,
                   WindowSettings& settings);
  // Stops a conversation still running after the exchange in flight and waits for it.
  ~WindowController() override;

  WindowController(const WindowController&) = delete;
  WindowController& operator=(const WindowController&) = delete;

  // Each conversation holds the device's lock from these; none (the default) locks nothing.
  void setDeviceLocks(DeviceLocks* locks) { programmer_->setDeviceLocks(locks); }
  // Called, on any thread, when a stop is requested: the window's pauses end at once.
  void setStopListener(std::function<void()> listener) { stopListener_ = std::move(listener); }

  // The window's start: settings restored, the first link, the summary of the restored image.
  void start();
  // The window's end, once however it ends: settings saved, the link dropped.
  void finish();

  // «Прошить» and «Инфо»: the inputs are taken now, the conversation runs on the worker thread.
  // Nothing happens while another one runs.
  void programDevice();
  void queryDeviceInfo();
  void showImageSummary();

  // Exit, Enter, Esc, the close box: true when the window may end now. During a conversation
  // the window ends with the first result asked for once the conversation has returned.
  bool requestClose(int result);
  // The system ends the program: a conversation stops after the exchange in flight, and the
  // window then ends (at once when none runs).
  void endBySystem(int result);
  // Waits for a conversation to return without the window's thread (the session is ending and
  // its messages will not be handled any more); what it posted is still handled in order.
  void waitForConversation();

  // From the button's press until the window has handled the conversation's return.
  bool isRunning() const { return running_; }
  bool waitCursorShown() const { return waitCursors_ > 0; }
  DeviceProgrammer& programmer() { return *programmer_; }

  // OperatorPanel, on the window's thread.
  Ipv4Address ipAddress() const override;
  std::string login() const override;
  std::string password() const override;
  bool viaBoot() const override;
  std::string imagePath() const override;
  void setSummaryText(const std::string& text) override;
  void setInfoText(const std::string& text) override;
  void setProgressRange(std::int64_t lower, std::int64_t upper) override;
  void setProgressPosition(std::int64_t position) override;
  void enableInputs(bool enable) override;
  void pumpMessages() override {}
  void beginWaitCursor() override;
  void restoreWaitCursor() override;
  void endWaitCursor() override;
  void showWarning(const std::string& text) override;
  void showNotice(const std::string& text) override;

 private:
  void converse(bool programming, std::function<void(DeviceProgrammer&)> conversation);
  void conversationReturned();
  void requestStop();
  std::string leftAtProgrammingAddressNote() const;

  WindowView& view_;
  WindowSettings& settings_;
  ConversationPanel conversationPanel_;
  std::unique_ptr<DeviceProgrammer> programmer_;
  std::atomic<bool> stop_{false};
  std::function<void()> stopListener_;
  std::thread worker_;
  bool running_ = false;
  bool programming_ = false;
  std::optional<int> pendingResult_;
  bool finished_ = false;
  std::string infoText_;
  int waitCursors_ = 0;
  // The progress bar holds an int; longer ranges are scaled down by this divisor.
  std::int64_t progressDivisor_ = 1;
  std::int64_t progressLower_ = 0;
  std::int64_t progressUpper_ = 0;
};

}  // namespace korvel
