#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "programming/device_programmer.h"
#include "programming/operator_panel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace korvel {

class DeviceLocks;
class EchoService;
class IpAddressEdit;
class Pauses;
class SettingsStore;

// The main window: the operator panel with real widgets, laid out as the dialog template has it,
// and the one DeviceProgrammer behind its buttons. It restores its settings when it starts and
// saves them when it ends, however it is ended.
class CKorvelDlg : public QDialog, public OperatorPanel {
  Q_OBJECT

 public:
  // A null service means the system's own: the operating system's echo facility, pauses that
  // really sleep, and the per-user settings store. With the system's echo facility the window
  // also holds the system's per-device lock during each conversation.
  explicit CKorvelDlg(QWidget* parent = nullptr, EchoService* echoService = nullptr,
                      Pauses* pauses = nullptr, SettingsStore* settings = nullptr);
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

  // A control by its number (control::kExit, ...), or null.
  QWidget* control(int id) const;
  bool isRunning() const { return conversations_ > 0; }
  DeviceProgrammer& programmer() { return *programmer_; }

 public Q_SLOTS:
  // Ending the window during a conversation waits until the conversation has returned.
  void done(int result) override;

 protected:
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  template <typename Widget>
  Widget* addControl(Widget* widget, const char* name);
  void createControls();
  void restoreSettings();
  void saveSettings();
  void finish();
  template <typename Conversation>
  void converse(Conversation&& conversation);

  std::unique_ptr<EchoService> ownEchoService_;
  std::unique_ptr<Pauses> ownPauses_;
  std::unique_ptr<SettingsStore> ownSettings_;
  std::unique_ptr<DeviceLocks> ownDeviceLocks_;
  EchoService& echoService_;
  Pauses& pauses_;
  SettingsStore& settings_;

  QPushButton* exitButton_ = nullptr;
  IpAddressEdit* ipField_ = nullptr;
  QPushButton* programButton_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLineEdit* pathField_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* infoButton_ = nullptr;
  QPlainTextEdit* infoBox_ = nullptr;
  QLabel* ipLabel_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QLabel* summaryField_ = nullptr;
  QLineEdit* loginField_ = nullptr;
  QLabel* credentialsLabel_ = nullptr;
  QLineEdit* passwordField_ = nullptr;
  QCheckBox* viaBootBox_ = nullptr;

  std::unique_ptr<DeviceProgrammer> programmer_;
  int conversations_ = 0;
  std::optional<int> pendingResult_;
  bool finished_ = false;
  int waitCursors_ = 0;
  // The progress bar holds an int; longer ranges are scaled down by this divisor.
  std::int64_t progressDivisor_ = 1;
  std::int64_t progressLower_ = 0;
  std::int64_t progressUpper_ = 0;
};

}  // namespace korvel
