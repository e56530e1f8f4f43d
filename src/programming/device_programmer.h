#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "link/device_replies.h"
#include "link/echo_link.h"
#include "link/echo_service.h"
#include "programming/device_lock.h"
#include "programming/image_check.h"
#include "programming/operator_panel.h"
#include "programming/outcome.h"
#include "programming/pauses.h"
#include "programming/progress_event.h"
#include "programming/record_route.h"
#include "programming/resend_ring.h"

namespace korvel {

// What the last programming run delivered.
struct RunOutcome {
  bool succeeded = false;
  std::uint64_t records = 0;  // every record of the image
  std::uint64_t dataRecords = 0;
  std::uint64_t dataBytes = 0;
  std::optional<std::uint8_t> target;  // bus address at the first data record; 255: the device
  // The subordinate may sit at the programming bus address 254 without its own address given
  // back: set once the preparation sent the command that moves it, cleared when the restore's
  // last step succeeded. Holds after a failed or interrupted run too.
  bool subordinateLeftAtProgrammingAddress = false;
};

// What a run asks of the device before anything but the information query goes to it.
struct RunDemands {
  std::optional<std::uint32_t> boardId;  // the board id the device must report
  // An image for the device itself must not be older than the program the device reports.
  bool noDowngrade = false;

  bool any() const { return boardId || noDowngrade; }
};

// Every conversation with the device: the information query, the boot-monitor path, delivery
// to a subordinate with its resend ring, the subordinate's preparation and address restore, and
// the programming run that drives them from an image. It owns the link to the device and the
// resend ring, and reaches the controls only through the operator panel.
class DeviceProgrammer {
 public:
  static constexpr std::uint32_t kTimeoutMs = 1000;
  static constexpr std::int32_t kEchoAttempts = 5;
  static constexpr int kInfoAttempts = 10;
  // Longest record each path can carry in one echo request.
  static constexpr std::uint32_t kMaxBootRecord = RecordRouter::kMaxBootRecord;
  static constexpr std::uint32_t kMaxBusRecord = RecordRouter::kMaxBusRecord;

  DeviceProgrammer(OperatorPanel& panel, EchoService& echoService, Pauses& pauses);
  ~DeviceProgrammer();

  DeviceProgrammer(const DeviceProgrammer&) = delete;
  DeviceProgrammer& operator=(const DeviceProgrammer&) = delete;

  // "Инфо": asks the device for its identity and writes the answer or the failure into the
  // information box. Leaves a fresh link behind. The outcome's text is the box's.
  Outcome queryDeviceInfo();
  // "Прошить": programs the image named in the path field into the device or its subordinate.
  // The outcome's text is the message the run showed.
  Outcome programDevice();

  // (Re)creates the link to the address in the IP field, or keeps the one there is.
  void openLink(bool keepExisting);
  // Sends command bytes in a command envelope of `areaLength` bytes; the validated reply, valid
  // until the next send, or nothing (also when there is no link or the credentials are refused).
  [[nodiscard]] std::optional<ByteView> sendCommand(ByteView command, std::uint32_t areaLength);

  [[nodiscard]] bool enterBootMonitor();
  [[nodiscard]] bool sendRawRecord(ByteView payload);
  [[nodiscard]] bool deliverRecord(std::uint8_t type, ByteView payload);
  // -1: no acknowledgement; 0: taken; 1 to 3: taken, and that many earlier records are wanted.
  [[nodiscard]] int sendBusRecord(std::uint8_t type, ByteView payload);
  [[nodiscard]] bool prepareSubordinate(std::uint8_t address, SavedValue& savedValue);
  [[nodiscard]] bool restoreSubordinateAddress(std::uint8_t address, const SavedValue& savedValue);

  // Drops the link (the window does so when it is destroyed).
  void closeLink();

  // Each information query and run holds the device's lock from these for its length; without
  // them (the default) nothing is locked.
  void setDeviceLocks(DeviceLocks* locks) { locks_ = locks; }
  // The interface the device is reached by, as far as the lock is concerned: one address behind
  // two interfaces is two devices. Empty (the default): whichever the routing table picks.
  void setInterfaceName(std::string name) { interfaceName_ = std::move(name); }
  // Device texts pass through this before they are shown (the command line escapes controls).
  void setDeviceTextFilter(std::function<std::string(std::string)> filter) {
    deviceTextFilter_ = std::move(filter);
  }

  // Checked after the information query of every run (and the board id after a query alone): a
  // device that does not meet them, or does not say who it is, gets no further request.
  void setRunDemands(const RunDemands& demands) { demands_ = demands; }

  // Events of every information query and run go there too; none (the default) means nobody
  // listens. The observer must outlive the programmer or be reset first.
  void setProgressObserver(ProgressObserver* observer) { observer_ = observer; }
  // Every echo request of every link this programmer makes goes there (see EchoLink); the same
  // lifetime rule.
  void setExchangeObserver(ExchangeObserver* observer);

  // Once `*stop` is true, an information query or run stops after the exchange in flight (no
  // further echo request, no pause begun, no address restore), leaves the device as any failure
  // leaves it and ends as Interrupted, without a message box. None (the default): never. The
  // flag must outlive the programmer or be reset first.
  void setStopRequest(const std::atomic<bool>* stop);
  bool stopRequested() const { return stop_ && stop_->load(); }

  const RunOutcome& lastRun() const { return lastRun_; }

  // Runs read this image instead of opening the file named in the path field: one command that
  // programs several devices opens and checks its image once for all of them. None (the
  // default): each run opens and checks the file itself.
  // The SHA-256 of the bytes each run reads, for a run log.
  void setImageSha256Wanted(bool wanted) { imageSha256Wanted_ = wanted; }
  void setCheckedImage(std::shared_ptr<const CheckedImage> image) {
    checkedImage_ = std::move(image);
  }

  EchoLink* link() { return link_.get(); }
  const ResendRing& resendRing() const { return ring_; }

 private:
  class Run;
  class DeviceLockScope;

  Outcome askDeviceInfo();
  Outcome runImage(const Outcome& query);
  // What the demands find wrong with the device or the image, or nothing.
  std::optional<Outcome> wrongBoard() const;
  std::optional<Outcome> downgrade(const ImageCheck& check) const;

  // What stops a conversation before it starts, or nothing when it may go ahead: refused
  // credentials, or an echo facility this process may not use.
  std::optional<Outcome> conversationBlocker() const;
  std::optional<Outcome> credentialsProblem() const;
  Outcome noIcmpAccess() const;
  bool isGood(const std::optional<ByteView>& reply) const;
  [[nodiscard]] std::optional<ByteView> sendWithRetries(Request request, ByteView command,
                                                        std::uint32_t areaLength, int attempts,
                                                        std::uint32_t pauseAfterFailureMs);
  [[nodiscard]] bool resendFromRing(unsigned count, std::uint8_t type, ByteView payload,
                                    bool stored);
  void report(const ProgressEvent& event) {
    if (observer_) observer_->onEvent(event);
  }
  // An attempt cut short by a stop has not failed.
  void reportFailedAttempt(Request request, int attempt, int attempts) {
    if (!stopRequested()) report(AttemptFailed{request, attempt + 1, attempt + 1 < attempts});
  }
  // Pauses unless a stop is requested; false when the conversation must end here.
  [[nodiscard]] bool pauseUnlessStopped(std::uint32_t milliseconds);

  OperatorPanel& panel_;
  EchoService& echoService_;
  Pauses& pauses_;
  std::unique_ptr<EchoLink> link_;
  ResendRing ring_;
  DeviceLocks* locks_ = nullptr;
  std::string interfaceName_;
  std::unique_ptr<DeviceLock> heldLock_;
  int lockDepth_ = 0;
  std::function<std::string(std::string)> deviceTextFilter_;
  RunOutcome lastRun_;
  RunDemands demands_;
  // The device's answer to the last information query, when it gave one.
  std::optional<DeviceInfoReply> lastInfo_;
  std::optional<ImageRead> imageRead_;
  std::shared_ptr<const CheckedImage> checkedImage_;
  bool imageSha256Wanted_ = false;
  ProgressObserver* observer_ = nullptr;
  ExchangeObserver* exchangeObserver_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
};

// The information box text for the device's information; its two texts pass through `textFilter`
// when one is given.
std::string formatDeviceInfo(const DeviceInfoReply& info,
                             const std::function<std::string(std::string)>& textFilter = {});

// A board id as the information box shows it ("0x000012AB"), and a version word ("2.5").
std::string boardIdText(std::uint32_t boardId);
std::string versionText(std::uint16_t word);

// Holds the device's lock from the outermost conversation to its end; a conversation inside
// another (the run's information query) holds it through the outer one.
class DeviceProgrammer::DeviceLockScope {
 public:
  explicit DeviceLockScope(DeviceProgrammer& programmer) : programmer_(programmer) {
    if (programmer_.lockDepth_++ == 0 && programmer_.locks_) {
      const DeviceLockKey key{programmer_.panel_.ipAddress(), programmer_.interfaceName_};
      result_ = programmer_.locks_->take(key, programmer_.heldLock_);
    }
  }
  ~DeviceLockScope() {
    if (--programmer_.lockDepth_ == 0) programmer_.heldLock_.reset();
  }
  DeviceLockScope(const DeviceLockScope&) = delete;
  DeviceLockScope& operator=(const DeviceLockScope&) = delete;

  // Another copy of the program works with the device.
  bool busy() const { return result_ == DeviceLocks::Result::Busy; }
  // No lock could be made: the conversation goes ahead unguarded.
  bool unguarded() const { return result_ == DeviceLocks::Result::Unavailable; }

 private:
  DeviceProgrammer& programmer_;
  DeviceLocks::Result result_ = DeviceLocks::Result::Taken;
};

}  // namespace korvel
