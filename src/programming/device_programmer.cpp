#include "programming/device_programmer.h"

#include <new>

#include "common/texts.h"
#include "link/command_envelope.h"
#include "link/device_protocol.h"
#include "link/frame_header.h"

namespace korvel {
namespace {

constexpr int kInfoAttempts = 10;

}  // namespace

DeviceProgrammer::DeviceProgrammer(OperatorPanel& panel, EchoService& echoService, Pauses& pauses)
    : panel_(panel), echoService_(echoService), pauses_(pauses) {}

DeviceProgrammer::~DeviceProgrammer() = default;

bool DeviceProgrammer::openLink(bool keepExisting) {
  if (link_) {
    if (keepExisting) return true;
    link_.reset();
  }
  link_.reset(new (std::nothrow) EchoLink(echoService_, hostToNetworkAddress(panel_.ipAddress()),
                                          newSessionToken()));
  return true;
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
  return reply && (*reply)[reply::kStatusOffset] == reply::kStatusOk;
}

std::optional<std::string> DeviceProgrammer::credentialsProblem() const {
  switch (formatCredentials(panel_.login(), panel_.password()).error) {
    case CredentialsError::TooLong:
      return text::kCredentialsTooLong;
    case CredentialsError::BadCharacter:
      return text::kCredentialsBadCharacter;
    case CredentialsError::None:
      break;
  }
  return std::nullopt;
}

std::string DeviceProgrammer::icmpAccessText() const {
  const EchoFailure& failure = link_->openFailure();
  std::string out = text::kNoIcmpAccess;
  if (!failure.detail.empty()) out += "\r\n" + failure.detail;
  if (!failure.remedy.empty()) out += "\r\n" + failure.remedy;
  return out;
}

std::optional<std::string> DeviceProgrammer::conversationBlocker() const {
  if (auto problem = credentialsProblem()) return problem;
  if (link_ && !link_->isOpen()) return icmpAccessText();
  return std::nullopt;
}

void DeviceProgrammer::queryDeviceInfo() {
  DeviceLockScope lock(*this);
  if (lock.busy()) return panel_.setInfoText(text::kAnotherCopyRunning);
  askDeviceInfo();
}

void DeviceProgrammer::askDeviceInfo() {
  std::string info = text::kCommError;
  panel_.beginWaitCursor();
  panel_.enableInputs(false);
  panel_.setProgressRange(0, kInfoAttempts);
  openLink(false);
  if (link_) {
    if (auto blocker = conversationBlocker()) {
      info = *blocker;
    } else {
      info = text::kNoAnswer;
      std::optional<ByteView> reply;
      const std::uint8_t command[] = {command::kDeviceInfo};
      for (int attempt = 0; attempt < kInfoAttempts && !reply; ++attempt) {
        panel_.setProgressPosition(attempt);
        reply = sendCommand(command, 1);
      }
      if (reply) {
        info = isGood(reply) ? formatDeviceInfo(*reply, deviceTextFilter_) : text::kDeviceError;
      } else if (!link_->isOpen()) {
        info = icmpAccessText();  // the facility opened, but refused to send
      }
    }
  }
  panel_.setInfoText(info);
  panel_.setProgressPosition(0);
  panel_.enableInputs(true);
  panel_.endWaitCursor();
}

}  // namespace korvel
