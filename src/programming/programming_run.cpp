#include <optional>
#include <string>
#include <variant>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"
#include "programming/image_check.h"

namespace korvel {

// The sending walk of one press of "Прошить", over an image that the check walk has passed: it
// reads the image again record by record, makes sure the file is still the one checked, and
// delivers each data record. Nothing of a run outlives it.
class DeviceProgrammer::Run {
 public:
  Run(DeviceProgrammer& programmer, FirmwareImage& image, const ImageCheck& check)
      : programmer_(programmer),
        panel_(programmer.panel_),
        image_(image),
        check_(check),
        router_(programmer.panel_.viaBoot()) {}

  // What stopped the run, or nothing when the whole image went out.
  std::optional<OutcomeKind> deliverImage() {
    for (;;) {
      if (programmer_.stopRequested()) return OutcomeKind::Interrupted;
      panel_.restoreWaitCursor();
      ImageRecord record;
      const ReadOutcome outcome = image_.next(record);
      if (outcome == ReadOutcome::End) {
        programmer_.imageRead_ = ImageRead{image_.position(), image_.sha256()};
        if (!sameStamp() || image_.digest() != check_.digest) return OutcomeKind::FileChanged;
        return std::nullopt;
      }
      if (outcome != ReadOutcome::Record) {
        return sameStamp() ? readFailure(outcome) : OutcomeKind::FileChanged;
      }
      const RecordStep step = router_.take(record);
      if (step.deliver && !readAsChecked(dataRecords_++)) return OutcomeKind::FileChanged;
      if (step.failure) return step.failure;
      if (step.deliver) {
        const DataRecord& data = std::get<DataRecord>(record);
        if (auto failure = deliver(step, data)) {
          return programmer_.stopRequested() ? OutcomeKind::Interrupted : *failure;
        }
        bytesDone_ += data.length;
        programmer_.report(RecordTaken{dataRecords_ - 1, bytesDone_, check_.dataBytes,
                                       image_.position(), image_.size()});
      }
      panel_.setProgressPosition(static_cast<std::int64_t>(image_.position()));
      panel_.pumpMessages();
    }
  }

  // Gives the subordinate back the address it was prepared at; what stopped that, or nothing.
  std::optional<OutcomeKind> restoreAddress() {
    const auto prepared = router_.preparedAddress();
    if (!prepared || !preparedOk_) return std::nullopt;
    programmer_.report(PhaseStarted{Phase::Restoring});
    if (programmer_.restoreSubordinateAddress(*prepared, savedValue_)) return std::nullopt;
    if (programmer_.stopRequested()) return OutcomeKind::Interrupted;
    panel_.showWarning(text::kRestoreFailed);
    return OutcomeKind::RestoreFailed;
  }

 private:
  bool sameStamp() const { return image_.stamp() == check_.stamp; }

  // What was read up to the end of this data record has the checked digest (where the check
  // kept one), and the file still has its checked size and time. Asking the system for the file's
  // time costs a good part of an exchange; where the digest vouches for every byte sent, asking
  // once in a while is enough to stop soon after someone writes the file.
  bool readAsChecked(std::uint64_t dataRecord) const {
    const auto checked = check_.trail.at(dataRecord);
    if (checked && *checked != image_.digest()) return false;
    return (checked && dataRecord % kStampEvery != 0) || sameStamp();
  }

  static constexpr std::uint64_t kStampEvery = 64;

  std::optional<OutcomeKind> deliver(const RecordStep& step, const DataRecord& data) {
    if (auto failure = prepareTarget(step.prepare)) return failure;
    if (programmer_.stopRequested()) return OutcomeKind::Interrupted;
    // The preparation takes seconds: the file may have been written meanwhile.
    if (step.prepare != Preparation::None) {
      if (!sameStamp()) return OutcomeKind::FileChanged;
      programmer_.report(PhaseStarted{Phase::Sending, image_.size()});
    }
    const bool sent = step.path == DeliveryPath::BootMonitor
                          ? programmer_.sendRawRecord(data.payload)
                          : programmer_.deliverRecord(data.type, data.payload);
    if (sent) return std::nullopt;
    const EchoLink* link = programmer_.link();
    return link && link->lastSendTooLarge() ? OutcomeKind::RecordExceedsPacket
                                            : OutcomeKind::LinkLost;
  }

  std::optional<OutcomeKind> prepareTarget(Preparation preparation) {
    switch (preparation) {
      case Preparation::EnterBootMonitor:
        programmer_.report(PhaseStarted{Phase::EnteringBootMonitor});
        // Deliberately not looked at: a device that did not switch fails at its first record,
        // and one that switched without a good answer takes the records all the same.
        (void)programmer_.enterBootMonitor();
        break;
      case Preparation::PrepareSubordinate:
        programmer_.report(PhaseStarted{Phase::PreparingSubordinate});
        if (!programmer_.prepareSubordinate(*router_.preparedAddress(), savedValue_)) {
          return OutcomeKind::LinkLost;
        }
        preparedOk_ = true;
        break;
      case Preparation::None:
        break;
    }
    return std::nullopt;
  }

  DeviceProgrammer& programmer_;
  OperatorPanel& panel_;
  FirmwareImage& image_;
  const ImageCheck& check_;
  RecordRouter router_;
  std::uint64_t dataRecords_ = 0;
  std::uint64_t bytesDone_ = 0;
  bool preparedOk_ = false;
  SavedValue savedValue_{};
};

Outcome DeviceProgrammer::programDevice() {
  lastRun_ = {};
  imageRead_.reset();
  DeviceLockScope lock(*this);
  if (lock.busy()) {
    const Outcome busy = outcomeOf(OutcomeKind::AnotherCopyRunning);
    panel_.showWarning(busy.text);
    report(Finished{busy});
    return busy;
  }
  // Without demands the run goes on whatever the query found: the run has its own checks, and
  // the query's text is all the operator needs from it.
  const Outcome query = askDeviceInfo();
  if (lock.unguarded()) panel_.showNotice(text::kDeviceLockUnavailable);
  panel_.beginWaitCursor();
  panel_.enableInputs(false);
  const Outcome outcome = runImage(query);
  // A failed restore has shown its message already; a run stopped from outside shows none.
  if (!outcome.succeeded() && outcome.kind != OutcomeKind::RestoreFailed &&
      outcome.kind != OutcomeKind::Interrupted) {
    panel_.showWarning(outcome.text);
  }
  // An image that could not be opened leaves the bar where the information query left it.
  if (outcome.kind != OutcomeKind::FileCannotOpen) panel_.setProgressPosition(0);
  panel_.enableInputs(true);
  panel_.endWaitCursor();
  report(Finished{outcome, imageRead_});
  return outcome;
}

// Everything between disabling and enabling the inputs. The image is closed by the time it
// returns.
Outcome DeviceProgrammer::runImage(const Outcome& query) {
  if (stopRequested()) return outcomeOf(OutcomeKind::Interrupted);
  if (auto blocker = conversationBlocker()) return *blocker;
  // A device that did not say who it is cannot be shown to meet the demands.
  if (demands_.any() && !lastInfo_) return query;
  if (auto refusal = wrongBoard()) return *refusal;
  // A check made for the other path does not hold for this one.
  const bool shared = checkedImage_ && checkedImage_->viaBoot == panel_.viaBoot();
  const auto file =
      shared ? checkedImage_->file : ImageFile::open(pathFromUtf8(panel_.imagePath()));
  if (!file) return outcomeOf(OutcomeKind::FileCannotOpen);
  FirmwareImage image(file, kMaxBootRecord);
  if (imageSha256Wanted_) image.takeSha256();
  panel_.setProgressRange(0, static_cast<std::int64_t>(image.size()));
  // Nothing goes to the device before the whole image has been found good.
  report(PhaseStarted{Phase::ImageCheck});
  std::optional<ImageCheck> ownCheck;
  if (!shared) {
    ownCheck = checkImage(image, panel_.viaBoot());
    if (!image.rewind()) return outcomeOf(OutcomeKind::FileRead);
  }
  const ImageCheck& check = shared ? checkedImage_->check : *ownCheck;
  if (check.failure) return {check.failureKind, *check.failure};
  if (auto refusal = downgrade(check)) return *refusal;
  imageRead_ = ImageRead{check.size, check.sha256};
  ring_.forgetEarlierRecords();
  Run run(*this, image, check);
  if (auto failure = run.deliverImage()) return outcomeOf(*failure);
  auto restoreFailure = run.restoreAddress();
  // Nothing is done while the subordinate waits at the programming address.
  if (!restoreFailure && lastRun_.subordinateLeftAtProgrammingAddress) {
    panel_.showWarning(text::kRestoreFailed);
    restoreFailure = OutcomeKind::RestoreFailed;
  }
  lastRun_.succeeded = !restoreFailure;
  lastRun_.records = check.records;
  lastRun_.dataRecords = check.dataRecords;
  lastRun_.dataBytes = check.dataBytes;
  lastRun_.target = check.target;
  return restoreFailure ? outcomeOf(*restoreFailure) : Outcome{};
}

}  // namespace korvel
