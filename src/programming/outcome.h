#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace korvel {

// What became of an information query or a programming run, for front ends that must act on it
// rather than show it.
enum class OutcomeKind : std::uint8_t {
  Done,
  CredentialsTooLong,  // the login and password are refused before anything is sent
  CredentialsBadCharacter,
  NoIcmpAccess,        // this process may not use the echo facility
  NoAnswer,            // the device never answered the information query
  DeviceError,         // the device answered with an error status
  AnotherCopyRunning,  // the device's lock is held elsewhere
  FileCannotOpen,
  FileFormat,
  FileRead,
  RecordTooLong,        // a record longer than the file format or the path allows
  PacketType,           // a record type the boot monitor does not take
  SubordinateViaBoot,   // a subordinate's image with the boot monitor started by hand
  FileChanged,          // the file is no longer the one checked before the run
  RecordExceedsPacket,  // the network refused a record for its size
  LinkLost,             // the device stopped answering while the image went out
  RestoreFailed,        // the image went out, the subordinate did not get its address back
  Interrupted,          // stopped from outside (DeviceProgrammer::setStopRequest)
  WrongBoard,           // the device's board id is not the one the run was meant for
  Downgrade,            // the image's version is lower than the program the device runs
  Skipped,              // never started: enough devices of the batch had failed already
};

// Every kind, in the order of the enumeration: what front ends and their documentation list.
inline constexpr OutcomeKind kOutcomeKinds[] = {
    OutcomeKind::Done,
    OutcomeKind::CredentialsTooLong,
    OutcomeKind::CredentialsBadCharacter,
    OutcomeKind::NoIcmpAccess,
    OutcomeKind::NoAnswer,
    OutcomeKind::DeviceError,
    OutcomeKind::AnotherCopyRunning,
    OutcomeKind::FileCannotOpen,
    OutcomeKind::FileFormat,
    OutcomeKind::FileRead,
    OutcomeKind::RecordTooLong,
    OutcomeKind::PacketType,
    OutcomeKind::SubordinateViaBoot,
    OutcomeKind::FileChanged,
    OutcomeKind::RecordExceedsPacket,
    OutcomeKind::LinkLost,
    OutcomeKind::RestoreFailed,
    OutcomeKind::Interrupted,
    OutcomeKind::WrongBoard,
    OutcomeKind::Downgrade,
    OutcomeKind::Skipped,
};
static_assert(static_cast<std::size_t>(OutcomeKind::Skipped) + 1 == std::size(kOutcomeKinds));

struct Outcome {
  OutcomeKind kind = OutcomeKind::Done;
  // What the panel showed for it: the information box's text for a query, the message for a
  // run (empty for a run that went through).
  std::string text;

  bool succeeded() const { return kind == OutcomeKind::Done; }
  bool operator==(const Outcome&) const = default;
};

// A stable name for machine-readable output: "ok", "no-answer", "link-lost", ...
std::string_view outcomeName(OutcomeKind kind);

// The text the program shows for `kind`: empty for Done (a query shows the device's information
// instead), the first line only for NoIcmpAccess (the reason and the remedy follow it).
const char* outcomeText(OutcomeKind kind);

inline Outcome outcomeOf(OutcomeKind kind) { return {kind, outcomeText(kind)}; }

}  // namespace korvel
