#include "window/conversation_panel.h"

#include <utility>

namespace korvel {

PanelInputs PanelInputs::of(const OperatorPanel& panel) {
  return {panel.ipAddress(), panel.login(), panel.password(), panel.imagePath(), panel.viaBoot()};
}

ConversationPanel::ConversationPanel(OperatorPanel& window, Post post)
    : window_(window), post_(std::move(post)) {}

void ConversationPanel::abandonWaits() {
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
  }
  answeredChanged_.notify_all();
}

void ConversationPanel::setSummaryText(const std::string& text) {
  post_([this, text] { window_.setSummaryText(text); });
}

void ConversationPanel::setInfoText(const std::string& text) {
  post_([this, text] { window_.setInfoText(text); });
}

void ConversationPanel::showNotice(const std::string& text) {
  post_([this, text] { window_.showNotice(text); });
}

void ConversationPanel::setProgressRange(std::int64_t lower, std::int64_t upper) {
  post_([this, lower, upper] { window_.setProgressRange(lower, upper); });
}

void ConversationPanel::setProgressPosition(std::int64_t position) {
  post_([this, position] { window_.setProgressPosition(position); });
}

void ConversationPanel::enableInputs(bool enable) {
  post_([this, enable] { window_.enableInputs(enable); });
}

void ConversationPanel::beginWaitCursor() {
  post_([this] { window_.beginWaitCursor(); });
}

void ConversationPanel::restoreWaitCursor() {
  post_([this] { window_.restoreWaitCursor(); });
}

void ConversationPanel::endWaitCursor() {
  post_([this] { window_.endWaitCursor(); });
}

void ConversationPanel::showWarning(const std::string& text) {
  std::uint64_t ticket = 0;
  {
    std::lock_guard lock(mutex_);
    if (abandoned_) return;
    ticket = ++asked_;
  }
  post_([this, text, ticket] {
    window_.showWarning(text);
    {
      std::lock_guard lock(mutex_);
      answered_ = ticket;
    }
    answeredChanged_.notify_all();
  });
  std::unique_lock lock(mutex_);
  answeredChanged_.wait(lock, [&] { return answered_ >= ticket || abandoned_; });
}

}  // namespace korvel
