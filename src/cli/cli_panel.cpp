#include "cli/cli_panel.h"

#include <utility>

namespace korvel {

CliPanel::CliPanel(CliRequest request, std::ostream& err, CliEnvironment& environment,
                   std::ostream* infoOut)
    : request_(std::move(request)), err_(err), infoOut_(infoOut) {
  if (environment.errorStreamIsTerminal()) {
    bar_.emplace(err_, [&environment] { return environment.now(); });
  }
}

void CliPanel::setInfoText(const std::string& text) {
  endProgress();
  infoText_ = text;
  if (infoOut_) *infoOut_ << infoLines(text) << std::flush;
}

void CliPanel::setProgressRange(std::int64_t lower, std::int64_t upper) {
  if (!bar_) return;
  // The information query comes first and counts its attempts; every range after its text is
  // the programming run's, over the bytes of the image.
  bar_->begin(lower, upper, infoText_ ? ProgressBar::Kind::Transfer : ProgressBar::Kind::Attempts);
}

void CliPanel::setProgressPosition(std::int64_t position) {
  if (!bar_ || !bar_->active()) return;
  // Both the query and the run end by setting the bar back to its start.
  if (position == bar_->lower() && bar_->position() > position) {
    bar_->end();
    return;
  }
  bar_->moveTo(position);
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
