#include "programming/outcome.h"

#include "common/texts.h"

namespace korvel {

std::string_view outcomeName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done:
      return "ok";
    case OutcomeKind::CredentialsTooLong:
      return "credentials-too-long";
    case OutcomeKind::CredentialsBadCharacter:
      return "credentials-bad-character";
    case OutcomeKind::NoIcmpAccess:
      return "no-icmp-access";
    case OutcomeKind::NoAnswer:
      return "no-answer";
    case OutcomeKind::DeviceError:
      return "device-error";
    case OutcomeKind::AnotherCopyRunning:
      return "another-copy-running";
    case OutcomeKind::FileCannotOpen:
      return "file-cannot-open";
    case OutcomeKind::FileFormat:
      return "file-format";
    case OutcomeKind::FileRead:
      return "file-read";
    case OutcomeKind::RecordTooLong:
      return "record-too-long";
    case OutcomeKind::PacketType:
      return "packet-type";
    case OutcomeKind::SubordinateViaBoot:
      return "subordinate-via-boot";
    case OutcomeKind::FileChanged:
      return "file-changed";
    case OutcomeKind::RecordExceedsPacket:
      return "record-exceeds-packet";
    case OutcomeKind::LinkLost:
      return "link-lost";
    case OutcomeKind::RestoreFailed:
      return "restore-failed";
    case OutcomeKind::Interrupted:
      return "interrupted";
    case OutcomeKind::WrongBoard:
      return "wrong-board";
    case OutcomeKind::Downgrade:
      return "downgrade";
    case OutcomeKind::Skipped:
      return "skipped";
  }
  return "unknown";
}

const char* outcomeText(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done:
      return "";
    case OutcomeKind::CredentialsTooLong:
      return text::kCredentialsTooLong;
    case OutcomeKind::CredentialsBadCharacter:
      return text::kCredentialsBadCharacter;
    case OutcomeKind::NoIcmpAccess:
      return text::kNoIcmpAccess;
    case OutcomeKind::NoAnswer:
      return text::kNoAnswer;
    case OutcomeKind::DeviceError:
      return text::kDeviceError;
    case OutcomeKind::AnotherCopyRunning:
      return text::kAnotherCopyRunning;
    case OutcomeKind::FileCannotOpen:
      return text::kOpenFailed;
    case OutcomeKind::FileFormat:
      return text::kFormatError;
    case OutcomeKind::FileRead:
      return text::kReadFailed;
    case OutcomeKind::RecordTooLong:
      return text::kRecordTooLong;
    case OutcomeKind::PacketType:
      return text::kUnsupportedPacketType;
    case OutcomeKind::SubordinateViaBoot:
      return text::kSubordinateViaBoot;
    case OutcomeKind::FileChanged:
      return text::kFileChanged;
    case OutcomeKind::RecordExceedsPacket:
      return text::kRecordExceedsPacket;
    case OutcomeKind::LinkLost:
      return text::kCommError;
    case OutcomeKind::RestoreFailed:
      return text::kRestoreFailed;
    case OutcomeKind::Interrupted:
      return text::kRunInterrupted;
    case OutcomeKind::WrongBoard:
      return text::kWrongBoard;
    case OutcomeKind::Downgrade:
      return text::kDowngrade;
    case OutcomeKind::Skipped:
      return text::kSkipped;
  }
  return "";
}

}  // namespace korvel
