#include "cli/output/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace korvel {
namespace {

// Back to the start of the line, and clear what an earlier, longer line left behind.
constexpr char kReturn[] = "\r";
constexpr char kClearToEnd[] = "\x1b[K";

std::string formatRate(double bytesPerSecond) {
  char buffer[32];
  if (bytesPerSecond < 1024.0) {
    std::snprintf(buffer, sizeof buffer, "%.0f B/s", bytesPerSecond);
  } else if (bytesPerSecond < 1024.0 * 1024.0) {
    std::snprintf(buffer, sizeof buffer, "%.1f KiB/s", bytesPerSecond / 1024.0);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1f MiB/s", bytesPerSecond / (1024.0 * 1024.0));
  }
  return buffer;
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& out, Clock clock) : out_(out), clock_(std::move(clock)) {}

void ProgressBar::begin(std::int64_t lower, std::int64_t upper, Kind kind) {
  end();
  kind_ = kind;
  active_ = true;
  drawn_ = false;
  lower_ = lower;
  upper_ = upper;
  position_ = lower;
  started_ = clock_();
}

void ProgressBar::moveTo(std::int64_t position) {
  if (!active_) return;
  position_ = position;
  // A device that answers the first attempt leaves no line behind.
  if (kind_ == Kind::Attempts && !drawn_ && position == lower_) return;
  const TimePoint now = clock_();
  if (!drawn_ || position == upper_ || now - lastDraw_ >= kRedrawInterval) draw(now);
}

void ProgressBar::end() {
  if (!active_) return;
  active_ = false;
  if (!drawn_) return;
  if (kind_ == Kind::Attempts) {
    out_ << kReturn << kClearToEnd << std::flush;
    return;
  }
  if (drawnPosition_ != position_) draw(clock_());
  out_ << '\n' << std::flush;
}

void ProgressBar::draw(TimePoint now) {
  out_ << kReturn << text(position_, now - started_) << kClearToEnd << std::flush;
  drawn_ = true;
  drawnPosition_ = position_;
  lastDraw_ = now;
}

std::string ProgressBar::text(std::int64_t position,
                              std::chrono::steady_clock::duration elapsed) const {
  const std::int64_t span = std::max<std::int64_t>(upper_ - lower_, 0);
  const std::int64_t done = std::clamp<std::int64_t>(position - lower_, 0, span);
  const std::int64_t percent = span == 0 ? 100 : done * 100 / span;
  const std::int64_t filled = span == 0 ? kWidth : done * kWidth / span;

  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  char numbers[80];  // room for two 20-digit numbers
  std::snprintf(numbers, sizeof numbers, "] %3lld%%  %lld/%lld %s", static_cast<long long>(percent),
                static_cast<long long>(done), static_cast<long long>(span),
                kind_ == Kind::Transfer ? "bytes" : "attempts");
  line += numbers;
  // Over the first second the rate says more about the clock than about the link.
  const double seconds = std::chrono::duration<double>(elapsed).count();
  if (kind_ == Kind::Transfer && elapsed >= kRateAfter) {
    line += "  " + formatRate(static_cast<double>(done) / seconds);
  }
  return line;
}

}  // namespace korvel
