#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "programming/device_lock.h"
#include "programming/device_programmer.h"
#include "programming/operator_panel.h"
#include "ui_win32/dialog_window.h"

namespace korvel {

class EchoService;
class Pauses;
class RegistrySettings;

// The main window on Windows: the operator panel as a native dialog built from the window's
// description, and the one DeviceProgrammer behind its buttons. It restores its settings when it
// starts and saves them when it is destroyed, however it is ended.
class CKorvelDlg : public DialogWindow, public OperatorPanel {
 public:
  // A null service means the system's own: the ICMP echo service, pauses that really sleep, and
  // the registry under the executable's name.
  explicit CKorvelDlg(EchoService* echoService = nullptr, Pauses* pauses = nullptr,
                      RegistrySettings* settings = nullptr);
  ~CKorvelDlg() override;

  // The handlers of the buttons and of the About item.
  void programDevice();
  void queryDeviceInfo();
  void browseImage();
  void showHelp();
  void showImageSummary();
  void showAbout();

  // OperatorPanel
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
  void pumpMessages() override;
  void beginWaitCursor() override;
  void restoreWaitCursor() override;
  void endWaitCursor() override;
  void showWarning(const std::string& text) override;
  void showNotice(const std::string& text) override;

  bool isRunning() const { return conversations_ > 0; }
  DeviceProgrammer& programmer() { return *programmer_; }

  // The common controls the dialog uses (the IP field, the progress bar); once per process.
  static void registerControlClasses();

 protected:
  std::vector<DWORD> dialogTemplate() const override;
  std::optional<INT_PTR> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  INT_PTR onInitDialog();
  void onCommand(int id, int code);
  bool onSysCommand(WPARAM command);
  bool paintMinimised();
  void onDestroy();
  // Exit, Enter, Esc and the close box; during a conversation the window waits for its end.
  void requestEnd(int result);
  template <typename Conversation>
  void converse(Conversation&& conversation);
  void restoreSettings();
  void saveSettings();
  std::wstring itemText(int id) const;

  std::unique_ptr<EchoService> ownEchoService_;
  std::unique_ptr<Pauses> ownPauses_;
  std::unique_ptr<DeviceLocks> ownDeviceLocks_;
  std::unique_ptr<RegistrySettings> ownSettings_;
  EchoService& echoService_;
  Pauses& pauses_;
  RegistrySettings& settings_;

  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::unique_ptr<DeviceProgrammer> programmer_;
  int conversations_ = 0;
  std::optional<int> pendingResult_;
  int waitCursors_ = 0;
  HCURSOR cursorBeforeWait_ = nullptr;
  // The progress bar holds an int; longer ranges are scaled down by this divisor.
  std::int64_t progressDivisor_ = 1;
  std::int64_t progressLower_ = 0;
  std::int64_t progressUpper_ = 0;
};

}  // namespace korvel
