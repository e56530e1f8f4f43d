#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "programming/operator_panel.h"

namespace korvel {

// The operator's inputs as they stood when a button was pressed.
struct PanelInputs {
  Ipv4Address ipAddress;
  std::string login;
  std::string password;
  std::string imagePath;
  bool viaBoot = false;

  static PanelInputs of(const OperatorPanel& panel);
};

// The operator panel a conversation sees on its worker thread: it reads the inputs taken when the
// button was pressed and hands every write to the window's thread, in order. Only the warning box
// makes the conversation wait, for the operator's answer; draining the window's events is the
// window thread's own business, so pumpMessages has nothing to do.
class ConversationPanel : public OperatorPanel {
 public:
  using Post = std::function<void(std::function<void()>)>;

  // `window`: the panel on the window's thread that the writes reach through `post`.
  ConversationPanel(OperatorPanel& window, Post post);

  // On the window's thread, while no conversation runs.
  void setInputs(PanelInputs inputs) { inputs_ = std::move(inputs); }
  // A conversation waiting for the operator goes on as if the box had been closed, and no later
  // box waits: the window is ending.
  void abandonWaits();

  Ipv4Address ipAddress() const override { return inputs_.ipAddress; }
  std::string login() const override { return inputs_.login; }
  std::string password() const override { return inputs_.password; }
  bool viaBoot() const override { return inputs_.viaBoot; }
  std::string imagePath() const override { return inputs_.imagePath; }

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
  // The writes that come after every record: the progress position and the wait cursor's
  // reassertion. While the last call posted is such a tail and the window's thread has not run it,
  // a newer one joins it instead of taking a message of its own: a run of small records would
  // otherwise queue thousands of messages a second ahead of everything the window must answer.
  struct RecordTail {
    std::optional<std::int64_t> position;
    bool reassertCursor = false;
  };

  // Any other write: it ends the open tail, so that what comes after it is posted after it.
  void postInOrder(std::function<void()> call);
  void joinTail(const std::function<void(RecordTail&)>& change);
  void runTail(const std::shared_ptr<RecordTail>& tail);

  OperatorPanel& window_;
  Post post_;
  PanelInputs inputs_;

  std::mutex tailMutex_;
  std::shared_ptr<RecordTail> openTail_;

  std::mutex mutex_;
  std::condition_variable answeredChanged_;
  std::uint64_t asked_ = 0;
  std::uint64_t answered_ = 0;
  bool abandoned_ = false;
};

}  // namespace korvel
