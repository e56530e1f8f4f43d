#include "window/window_controller.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/image_summary.h"
#include "window/window_settings.h"
#include "window/window_view.h"

namespace korvel {

WindowController::WindowController(WindowView& view, EchoService& echoService, Pauses& pauses,
                                   WindowSettings& settings)
    : view_(view),
      settings_(settings),
      conversationPanel_(*this,
                         [&view](std::function<void()> call) { view.postToUi(std::move(call)); }),
      programmer_(std::make_unique<DeviceProgrammer>(conversationPanel_, echoService, pauses)) {
  programmer_->setStopRequest(&stop_);
}

WindowController::~WindowController() {
  if (!worker_.joinable()) return;
  requestStop();
  waitForConversation();
}

// Settings are read once, in this order: the address first, so that the first link goes to the
// restored address.
void WindowController::start() {
  view_.setIpAddress(Ipv4Address::fromHostOrder(
      settings_.readInteger(setting::kCommSection, setting::kIpAddr, 0)));
  conversationPanel_.setInputs(PanelInputs::of(*this));
  programmer_->openLink(false);
  view_.setImagePath(settings_.readText(setting::kFileSection, setting::kPath, std::string()));
  // The box has two states; any stored number but 0 ticks it.
  view_.setViaBoot(settings_.readInteger(setting::kCommSection, setting::kFromBoot, 0) != 0);
  showImageSummary();
}

void WindowController::finish() {
  if (finished_) return;
  finished_ = true;
  settings_.writeText(setting::kFileSection, setting::kPath, view_.imagePath());
  settings_.writeInteger(setting::kCommSection, setting::kIpAddr, view_.ipAddress().hostOrder());
  settings_.writeInteger(setting::kCommSection, setting::kFromBoot, view_.viaBoot() ? 1 : 0);
  // A conversation the system cut short still holds the link until it has returned.
  if (!worker_.joinable()) programmer_->closeLink();
}

void WindowController::programDevice() {
  converse(true, [](DeviceProgrammer& programmer) { (void)programmer.programDevice(); });
}

void WindowController::queryDeviceInfo() {
  converse(false, [](DeviceProgrammer& programmer) { (void)programmer.queryDeviceInfo(); });
}

void WindowController::converse(bool programming,
                                std::function<void(DeviceProgrammer&)> conversation) {
  if (isRunning() || finished_) return;
  programming_ = programming;
  running_ = true;
  conversationPanel_.setInputs(PanelInputs::of(*this));
  // Switching the inputs off takes the focus from the button that was pressed; it gets it back.
  view_.rememberFocus();
  // Off from the press to the window's handling of the return, in one piece: a run's own
  // information query switches them on and off again in between, when the window is free to
  // take a press.
  view_.setInputsEnabled(false);
  worker_ = std::thread([this, conversation = std::move(conversation)] {
    conversation(*programmer_);
    view_.postToUi([this] { conversationReturned(); });
  });
}

void WindowController::conversationReturned() {
  // waitForConversation may have joined it already.
  if (worker_.joinable()) worker_.join();
  running_ = false;
  view_.setInputsEnabled(true);
  const RunOutcome& run = programmer_->lastRun();
  if (programming_ && !run.succeeded && run.subordinateLeftAtProgrammingAddress) {
    setInfoText(leftAtProgrammingAddressNote());
  }
  view_.restoreFocus();
  if (finished_) programmer_->closeLink();
  if (pendingResult_) view_.endWindow(*std::exchange(pendingResult_, std::nullopt));
}

std::string WindowController::leftAtProgrammingAddressNote() const {
  return (infoText_.empty() ? std::string() : infoText_ + "\r\n") + text::kSubordinateLeftBehind;
}

bool WindowController::requestClose(int result) {
  if (!isRunning()) return true;
  // Pressed again, the close changes nothing: the first one stands.
  if (!pendingResult_) pendingResult_ = result;
  return false;
}

void WindowController::endBySystem(int result) {
  if (!isRunning()) {
    view_.endWindow(result);
    return;
  }
  if (!pendingResult_) pendingResult_ = result;
  requestStop();
}

void WindowController::requestStop() {
  stop_ = true;
  if (stopListener_) stopListener_();
}

void WindowController::waitForConversation() {
  if (!worker_.joinable()) return;
  conversationPanel_.abandonWaits();
  worker_.join();
}

void WindowController::showImageSummary() {
  view_.setSummaryText(text::kSummaryPending);
  view_.setSummaryText(imageSummary(pathFromUtf8(view_.imagePath())));
}

Ipv4Address WindowController::ipAddress() const { return view_.ipAddress(); }
std::string WindowController::login() const { return view_.login(); }
std::string WindowController::password() const { return view_.password(); }
bool WindowController::viaBoot() const { return view_.viaBoot(); }
std::string WindowController::imagePath() const { return view_.imagePath(); }

void WindowController::setSummaryText(const std::string& text) { view_.setSummaryText(text); }

void WindowController::setInfoText(const std::string& text) {
  infoText_ = text;
  view_.setInfoText(text);
}

// A notice joins what the information box already says, on a line of its own.
void WindowController::showNotice(const std::string& text) {
  setInfoText(infoText_.empty() ? text : infoText_ + "\r\n" + text);
}

void WindowController::setProgressRange(std::int64_t lower, std::int64_t upper) {
  const std::int64_t widest = std::max(std::llabs(lower), std::llabs(upper));
  progressDivisor_ = 1 + widest / std::numeric_limits<int>::max();
  progressLower_ = lower / progressDivisor_;
  progressUpper_ = upper / progressDivisor_;
  // An empty range would make a bar run its busy animation; a range of one shows it empty.
  const std::int64_t shownUpper = std::max(progressUpper_, progressLower_ + 1);
  view_.setProgressRange(static_cast<int>(progressLower_), static_cast<int>(shownUpper));
}

void WindowController::setProgressPosition(std::int64_t position) {
  const std::int64_t scaled = position / progressDivisor_;
  const std::int64_t shown =
      std::clamp(scaled, progressLower_, std::max(progressLower_, progressUpper_));
  view_.setProgressPosition(static_cast<int>(shown));
}

// The conversation's own switching comes while the controller holds the inputs off already.
void WindowController::enableInputs(bool enable) {
  if (!running_) view_.setInputsEnabled(enable);
}

void WindowController::beginWaitCursor() {
  if (waitCursors_++ == 0) view_.beginWaitCursor();
}

void WindowController::restoreWaitCursor() {
  if (waitCursors_ > 0) view_.reassertWaitCursor();
}

void WindowController::endWaitCursor() {
  if (waitCursors_ == 0) return;
  if (--waitCursors_ == 0) view_.endWaitCursor();
}

void WindowController::showWarning(const std::string& text) { view_.showWarning(text); }

}  // namespace korvel
