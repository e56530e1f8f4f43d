#include "cli/output/cli_panel.h"

#include <type_traits>
#include <utility>
#include <variant>

namespace korvel {

CliPanel::CliPanel(CliRequest request, std::ostream& err, CliEnvironment& environment,
                   std::ostream* infoOut)
    : DevicePanel(std::move(request)), err_(err), infoOut_(infoOut) {
  if (environment.errorStreamIsTerminal()) {
    bar_.emplace(err_, [&environment] { return environment.now(); });
  }
}

void CliPanel::setInfoText(const std::string& text) {
  endProgress();
  infoText_ = text;
  if (infoOut_) *infoOut_ << infoLines(text) << std::flush;
}

// The information query counts its attempts, the run the bytes of the image file.
void CliPanel::onEvent(const ProgressEvent& event) {
  if (!bar_) return;
  std::visit(
      [this](const auto& e) {
        using Event = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<Event, PhaseStarted>) {
          const auto total = static_cast<std::int64_t>(e.total);
          if (e.phase == Phase::InformationQuery)
            bar_->begin(0, total, ProgressBar::Kind::Attempts);
          if (e.phase == Phase::Sending) bar_->begin(0, total, ProgressBar::Kind::Transfer);
        } else if constexpr (std::is_same_v<Event, AttemptFailed>) {
          if (e.request == Request::DeviceInfo && e.retried) bar_->moveTo(e.attempt);
        } else if constexpr (std::is_same_v<Event, RecordTaken>) {
          bar_->moveTo(static_cast<std::int64_t>(e.filePosition));
        } else if constexpr (std::is_same_v<Event, Finished>) {
          bar_->end();
        }
      },
      event);
}

void CliPanel::showNotice(const std::string& text) {
  endProgress();
  err_ << text << '\n' << std::flush;
}

void CliPanel::showWarning(const std::string& text) {
  endProgress();
  warningShown_ = true;
  // A run that cannot begin (no ICMP) repeats the information box's text as its message; the
  // box is on standard output already, so the message keeps to its first line, as every
  // message on standard error does.
  const bool repeatsInfo = infoOut_ && infoText_ == text;
  err_ << (repeatsInfo ? text.substr(0, text.find_first_of("\r\n")) : text) << '\n' << std::flush;
}

void CliPanel::endProgress() {
  if (bar_) bar_->end();
}

std::string infoLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  return lines;
}

}  // namespace korvel
