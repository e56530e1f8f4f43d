#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "window/window_controller.h"
#include "window/window_view.h"

namespace korvel::test {

// A window without widgets: it keeps the inputs in fields, notes every output call in order, and
// runs the calls posted from a conversation when the test turns its event loop.
class RecordingView : public WindowView {
 public:
  Ipv4Address ipAddress() const override { return ip; }
  void setIpAddress(Ipv4Address address) override { ip = address; }
  std::string login() const override { return loginText; }
  std::string password() const override { return passwordText; }
  bool viaBoot() const override { return viaBootChecked; }
  void setViaBoot(bool checked) override { viaBootChecked = checked; }
  std::string imagePath() const override { return path; }
  void setImagePath(const std::string& text) override { path = text; }

  void setSummaryText(const std::string& text) override { summary = text; }
  void setInfoText(const std::string& text) override {
    info = text;
    note("info");
  }
  void setProgressRange(int lower, int upper) override {
    rangeLower = lower;
    rangeUpper = upper;
  }
  void setProgressPosition(int position) override { progress = position; }
  void setInputsEnabled(bool enabled) override {
    inputsEnabled = enabled;
    note(enabled ? "inputs on" : "inputs off");
  }
  void beginWaitCursor() override { note("wait begin"); }
  void reassertWaitCursor() override {}
  void endWaitCursor() override { note("wait end"); }
  void showWarning(const std::string& text) override {
    warnings.push_back(text);
    note("warning");
    if (onWarning) onWarning(text);
  }
  void rememberFocus() override { note("focus taken"); }
  void restoreFocus() override { note("focus back"); }
  void endWindow(int result) override {
    ended.push_back(result);
    note("end " + std::to_string(result));
  }

  void postToUi(std::function<void()> call) override {
    {
      std::lock_guard lock(mutex_);
      posted_.push_back(std::move(call));
    }
    postedChanged_.notify_all();
  }

  // The window's event loop while a conversation runs: each posted call in turn, until the
  // conversation has returned.
  void runUntilIdle(const WindowController& controller) {
    while (controller.isRunning()) runNextPosted();
  }
  void runNextPosted() {
    std::function<void()> call;
    {
      std::unique_lock lock(mutex_);
      postedChanged_.wait(lock, [this] { return !posted_.empty(); });
      call = std::move(posted_.front());
      posted_.pop_front();
    }
    call();
  }

  std::vector<std::string> events;
  std::vector<std::string> warnings;
  std::vector<int> ended;
  std::function<void(const std::string&)> onWarning;
  Ipv4Address ip;
  std::string loginText, passwordText, path, summary, info;
  bool viaBootChecked = false;
  bool inputsEnabled = true;
  int rangeLower = 0, rangeUpper = 0, progress = 0;

 private:
  void note(std::string event) { events.push_back(std::move(event)); }

  std::mutex mutex_;
  std::condition_variable postedChanged_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace korvel::test
