#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace korvel {

// One line on a terminal that follows the progress bar of the window: percent, count and, for
// an image, the transfer rate. Redrawn in place at most ten times a second, so that a fast run
// does not spend its time writing to the terminal.
class ProgressBar {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;

  // An information query counts attempts and its line goes away when it is done; an image counts
  // bytes and its line stays.
  enum class Kind { Attempts, Transfer };

  static constexpr std::chrono::milliseconds kRedrawInterval{100};
  static constexpr std::chrono::seconds kRateAfter{1};
  static constexpr int kWidth = 30;

  ProgressBar(std::ostream& out, Clock clock);
  ~ProgressBar() { end(); }

  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Starts a new line for the range, ending the previous one.
  void begin(std::int64_t lower, std::int64_t upper, Kind kind);
  void moveTo(std::int64_t position);
  // Leaves the line as the last position left it (or wipes it, for attempts) so that the next
  // output starts on a fresh line.
  void end();

  bool active() const { return active_; }
  std::int64_t lower() const { return lower_; }
  std::int64_t position() const { return position_; }

  // The text of the line at `position`, `elapsed` after begin().
  std::string text(std::int64_t position, std::chrono::steady_clock::duration elapsed) const;

 private:
  void draw(TimePoint now);

  std::ostream& out_;
  Clock clock_;
  Kind kind_ = Kind::Transfer;
  bool active_ = false;
  bool drawn_ = false;
  std::int64_t lower_ = 0;
  std::int64_t upper_ = 0;
  std::int64_t position_ = 0;
  std::int64_t drawnPosition_ = 0;
  TimePoint started_{};
  TimePoint lastDraw_{};
};

}  // namespace korvel
