#include "programming/device_programmer.h"

#include <new>

#include "common/texts.h"
#include "link/command_envelope.h"
#include "link/device_protocol.h"
#include "link/device_replies.h"
#include "link/frame_header.h"

namespace korvel {

DeviceProgrammer::DeviceProgrammer(OperatorPanel& panel, EchoService& echoService, Pauses& pauses)
    : panel_(panel), echoService_(echoService), pauses_(pauses) {}

DeviceProgrammer::~DeviceProgrammer() = default;

void DeviceProgrammer::openLink(bool keepExisting) {
  if (link_) {
    if (keepExisting) return;
    link_.reset();
  }
  link_.reset(new (std::nothrow) EchoLink(echoService_, panel_.ipAddress(), newSessionToken()));
  if (!link_) return;
  link_->setExchangeObserver(exchangeObserver_);
  link_->setStopRequest(stop_);
}

void DeviceProgrammer::setExchangeObserver(ExchangeObserver* observer) {
  exchangeObserver_ = observer;
  if (link_) link_->setExchangeObserver(observer);
}

void DeviceProgrammer::setStopRequest(const std::atomic<bool>* stop) {
  stop_ = stop;
  if (link_) link_->setStopRequest(stop);
}

bool DeviceProgrammer::pauseUnlessStopped(std::uint32_t milliseconds) {
  if (stopRequested()) return false;
  pauses_.pause(milliseconds);
  return !stopRequested();
}

void DeviceProgrammer::closeLink() { link_.reset(); }

std::optional<ByteView> DeviceProgrammer::sendCommand(ByteView command, std::uint32_t areaLength) {
  if (!link_) return std::nullopt;
  const Credentials credentials = formatCredentials(panel_.login(), panel_.password());
  if (credentials.error != CredentialsError::None) return std::nullopt;
  auto frame = buildCommandFrame(command, areaLength, credentials.field, link_->sessionToken());
  if (!frame) return std::nullopt;
  return link_->request(*frame, kTimeoutMs, kEchoAttempts);
}

bool DeviceProgrammer::isGood(const std::optional<ByteView>& reply) const {
  return reply && replyStatusOk(replyBody(*reply));
}

std::optional<Outcome> DeviceProgrammer::credentialsProblem() const {
  switch (formatCredentials(panel_.login(), panel_.password()).error) {
    case CredentialsError::TooLong:
      return outcomeOf(OutcomeKind::CredentialsTooLong);
    case CredentialsError::BadCharacter:
      return outcomeOf(OutcomeKind::CredentialsBadCharacter);
    case CredentialsError::None:
      break;
  }
  return std::nullopt;
}

Outcome DeviceProgrammer::noIcmpAccess() const {
  const EchoFailure& failure = link_->openFailure();
  Outcome outcome = outcomeOf(OutcomeKind::NoIcmpAccess);
  if (!failure.detail.empty()) outcome.text += "\r\n" + failure.detail;
  if (!failure.remedy.empty()) outcome.text += "\r\n" + failure.remedy;
  return outcome;
}

std::optional<Outcome> DeviceProgrammer::conversationBlocker() const {
  if (auto problem = credentialsProblem()) return problem;
  if (link_ && !link_->isOpen()) return noIcmpAccess();
  return std::nullopt;
}

Outcome DeviceProgrammer::queryDeviceInfo() {
  DeviceLockScope lock(*this);
  Outcome outcome = outcomeOf(OutcomeKind::AnotherCopyRunning);
  if (lock.busy()) {
    panel_.setInfoText(outcome.text);
  } else {
    outcome = askDeviceInfo();
    if (lock.unguarded()) panel_.showNotice(text::kDeviceLockUnavailable);
    if (auto refusal = wrongBoard()) outcome = *refusal;
  }
  report(Finished{outcome});
  return outcome;
}

Outcome DeviceProgrammer::askDeviceInfo() {
  Outcome outcome = outcomeOf(OutcomeKind::LinkLost);
  lastInfo_.reset();
  panel_.beginWaitCursor();
  panel_.enableInputs(false);
  panel_.setProgressRange(0, kInfoAttempts);
  report(PhaseStarted{Phase::InformationQuery, kInfoAttempts});
  openLink(false);
  if (link_) {
    if (auto blocker = conversationBlocker()) {
      outcome = *blocker;
    } else {
      outcome = outcomeOf(OutcomeKind::NoAnswer);
      std::optional<ByteView> reply;
      const std::uint8_t command[] = {command::kDeviceInfo};
      for (int attempt = 0; attempt < kInfoAttempts && !reply && !stopRequested(); ++attempt) {
        panel_.setProgressPosition(attempt);
        reply = sendCommand(command, 1);
        if (!reply) reportFailedAttempt(Request::DeviceInfo, attempt, kInfoAttempts);
      }
      if (reply && isGood(reply)) {
        // The link lets no reply shorter than the information through.
        const DeviceInfoReply info = *DeviceInfoReply::parse(replyBody(*reply));
        lastInfo_ = info;
        report(DeviceInfoRead{info});
        outcome = {OutcomeKind::Done, formatDeviceInfo(info, deviceTextFilter_)};
      } else if (reply) {
        outcome = outcomeOf(OutcomeKind::DeviceError);
      } else if (stopRequested()) {
        outcome = {OutcomeKind::Interrupted, text::kQueryInterrupted};
      } else if (!link_->isOpen()) {
        outcome = noIcmpAccess();  // the facility opened, but refused to send
      }
    }
  }
  panel_.setInfoText(outcome.text);
  panel_.setProgressPosition(0);
  panel_.enableInputs(true);
  panel_.endWaitCursor();
  return outcome;
}

}  // namespace korvel
