#include "window/conversation_panel.h"

#include <utility>

namespace korvel {

PanelInputs PanelInputs::of(const OperatorPanel& panel) {
  return {panel.ipAddress(), panel.login(), panel.password(), panel.imagePath(), panel.viaBoot()};
}

ConversationPanel::ConversationPanel(OperatorPanel& window, Post post)
    : window_(window), post_(std::move(post)) {}

void ConversationPanel::postInOrder(std::function<void()> call) {
  {
    std::lock_guard lock(tailMutex_);
    openTail_.reset();
  }
  post_(std::move(call));
}

void ConversationPanel::joinTail(const std::function<void(RecordTail&)>& change) {
  std::shared_ptr<RecordTail> tail;
  {
    std::lock_guard lock(tailMutex_);
    if (openTail_) {
      change(*openTail_);
      return;
    }
    tail = openTail_ = std::make_shared<RecordTail>();
    change(*tail);
  }
  post_([this, tail] { runTail(tail); });
}

void ConversationPanel::runTail(const std::shared_ptr<RecordTail>& tail) {
  RecordTail taken;
  {
    std::lock_guard lock(tailMutex_);
    if (openTail_ == tail) openTail_.reset();
    taken = *tail;
  }
  if (taken.position) window_.setProgressPosition(*taken.position);
  if (taken.reassertCursor) window_.restoreWaitCursor();
}

void ConversationPanel::abandonWaits() {
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
  }
  answeredChanged_.notify_all();
}

void ConversationPanel::setSummaryText(const std::string& text) {
  postInOrder([this, text] { window_.setSummaryText(text); });
}

void ConversationPanel::setInfoText(const std::string& text) {
  postInOrder([this, text] { window_.setInfoText(text); });
}

void ConversationPanel::showNotice(const std::string& text) {
  postInOrder([this, text] { window_.showNotice(text); });
}

void ConversationPanel::setProgressRange(std::int64_t lower, std::int64_t upper) {
  postInOrder([this, lower, upper] { window_.setProgressRange(lower, upper); });
}

void ConversationPanel::setProgressPosition(std::int64_t position) {
  joinTail([position](RecordTail& tail) { tail.position = position; });
}

void ConversationPanel::enableInputs(bool enable) {
  postInOrder([this, enable] { window_.enableInputs(enable); });
}

void ConversationPanel::beginWaitCursor() {
  postInOrder([this] { window_.beginWaitCursor(); });
}

void ConversationPanel::restoreWaitCursor() {
  joinTail([](RecordTail& tail) { tail.reassertCursor = true; });
}

void ConversationPanel::endWaitCursor() {
  postInOrder([this] { window_.endWaitCursor(); });
}

void ConversationPanel::showWarning(const std::string& text) {
  std::uint64_t ticket = 0;
  {
    std::lock_guard lock(mutex_);
    if (abandoned_) return;
    ticket = ++asked_;
  }
  postInOrder([this, text, ticket] {
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
