#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "link/echo_link.h"
#include "link/echo_service.h"
#include "programming/operator_panel.h"
#include "programming/pauses.h"
#include "programming/resend_ring.h"

namespace korvel {

using SavedValue = std::array<std::uint8_t, 4>;

// Every conversation with the device: the information query, the boot-monitor path, delivery
// to a subordinate with its resend ring, the subordinate's preparation and address restore, and
// the programming run that drives them from an image. It owns the link to the device and the
// resend ring, and reaches the controls only through the operator panel.
class DeviceProgrammer {
 public:
  static constexpr std::uint32_t kTimeoutMs = 1000;
  static constexpr std::int32_t kEchoAttempts = 5;
  // Longest record each path can carry in the 16-bit length fields of its frames.
  static constexpr std::uint32_t kMaxBootRecord = 65523;
  static constexpr std::uint32_t kMaxBusRecord = 65435;

  DeviceProgrammer(OperatorPanel& panel, EchoService& echoService, Pauses& pauses);
  ~DeviceProgrammer();

  DeviceProgrammer(const DeviceProgrammer&) = delete;
  DeviceProgrammer& operator=(const DeviceProgrammer&) = delete;

  // "Инфо": asks the device for its identity and writes the answer or the failure into the
  // information box. Leaves a fresh link behind.
  void queryDeviceInfo();
  // "Прошить": programs the image named in the path field into the device or its subordinate.
  void programDevice();

  // (Re)creates the link to the address in the IP field; always true.
  bool openLink(bool keepExisting);
  // Sends command bytes in a command envelope of `areaLength` bytes; the validated reply, valid
  // until the next send, or nothing (also when there is no link or the credentials are refused).
  std::optional<ByteView> sendCommand(ByteView command, std::uint32_t areaLength);

  bool enterBootMonitor();
  bool sendRawRecord(ByteView payload);
  bool deliverRecord(std::uint8_t type, ByteView payload);
  // -1: no acknowledgement; 0: taken; 1 to 3: taken, and that many earlier records are wanted.
  int sendBusRecord(std::uint8_t type, ByteView payload);
  bool prepareSubordinate(std::uint8_t address, SavedValue& savedValue);
  bool restoreSubordinateAddress(std::uint8_t address, const SavedValue& savedValue);

  // Drops the link (the window does so when it is destroyed).
  void closeLink();

  EchoLink* link() { return link_.get(); }
  const ResendRing& resendRing() const { return ring_; }

 private:
  class Run;

  // The text that stops a conversation before it starts, or nothing when it may go ahead:
  // refused credentials, or an echo facility this process may not use.
  std::optional<std::string> conversationBlocker() const;
  std::optional<std::string> credentialsProblem() const;
  std::string icmpAccessText() const;
  bool isGood(const std::optional<ByteView>& reply) const;
  std::optional<ByteView> sendWithRetries(ByteView command, std::uint32_t areaLength,
                                          int attempts, std::uint32_t pauseAfterFailureMs);
  bool resendFromRing(unsigned count, std::uint8_t type, ByteView payload, bool stored);

  OperatorPanel& panel_;
  EchoService& echoService_;
  Pauses& pauses_;
  std::unique_ptr<EchoLink> link_;
  ResendRing ring_;
};

// The information box text for a reply with status 1 (a frame of at least 89 bytes).
std::string formatDeviceInfo(ByteView reply);

}  // namespace korvel
