#include <optional>
#include <string>
#include <variant>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/firmware_image.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

constexpr std::uint8_t kBootMonitorRecordType = 12;

}  // namespace

// One press of "Прошить": reads the image record by record and delivers each data record as soon
// as it is read. Nothing of a run outlives it.
class DeviceProgrammer::Run {
 public:
  Run(DeviceProgrammer& programmer, FirmwareImage& image)
      : programmer_(programmer), panel_(programmer.panel_), image_(image) {}

  // The failure text, or nothing when the whole image went out.
  std::optional<std::string> deliverImage() {
    panel_.setProgressRange(0, static_cast<std::int64_t>(image_.size()));
    for (;;) {
      panel_.restoreWaitCursor();
      ImageRecord record;
      switch (image_.next(record)) {
        case ReadOutcome::End:
          return std::nullopt;
        case ReadOutcome::FormatError:
          return text::kFormatError;
        case ReadOutcome::ReadError:
          return text::kReadFailed;
        case ReadOutcome::TooLarge:
          return text::kRecordTooLong;
        case ReadOutcome::Record:
          break;
      }
      if (auto failure = take(record)) return failure;
      panel_.setProgressPosition(static_cast<std::int64_t>(image_.position()));
      panel_.pumpMessages();
    }
  }

  // Gives the subordinate its address back at the end of an image that prepared one.
  void restoreAddress() {
    if (busAddress_ == kNoBusAddress || !prepared_) return;
    if (!programmer_.restoreSubordinateAddress(busAddress_, savedValue_)) {
      panel_.showWarning(text::kRestoreFailed);
    }
  }

 private:
  std::optional<std::string> take(const ImageRecord& record) {
    if (const auto* address = std::get_if<AddressRecord>(&record)) {
      busAddress_ = address->address;
    } else if (const auto* data = std::get_if<DataRecord>(&record)) {
      return deliver(*data);
    }
    return std::nullopt;
  }

  bool forDeviceItself() const { return busAddress_ == kNoBusAddress; }

  std::optional<std::string> deliver(const DataRecord& data) {
    const std::uint32_t limit = forDeviceItself() ? kMaxBootRecord : kMaxBusRecord;
    if (data.payload.size() > limit) return text::kRecordTooLong;
    if (firstRecord_) {
      firstRecord_ = false;
      if (auto failure = prepareTarget()) return failure;
    }
    if (forDeviceItself()) {
      if (data.type != kBootMonitorRecordType) return text::kUnsupportedPacketType;
      if (!programmer_.sendRawRecord(data.payload)) return text::kCommError;
    } else if (!programmer_.deliverRecord(data.type, data.payload)) {
      return text::kCommError;
    }
    return std::nullopt;
  }

  std::optional<std::string> prepareTarget() {
    if (forDeviceItself()) {
      programmer_.enterBootMonitor();  // a device that did not switch fails at its first record
      return std::nullopt;
    }
    if (panel_.viaBoot()) return text::kSubordinateViaBoot;
    if (!programmer_.prepareSubordinate(busAddress_, savedValue_)) return text::kCommError;
    prepared_ = true;
    return std::nullopt;
  }

  DeviceProgrammer& programmer_;
  OperatorPanel& panel_;
  FirmwareImage& image_;
  std::uint8_t busAddress_ = kNoBusAddress;
  bool firstRecord_ = true;
  bool prepared_ = false;
  SavedValue savedValue_{};
};

void DeviceProgrammer::programDevice() {
  queryDeviceInfo();
  panel_.beginWaitCursor();
  panel_.enableInputs(false);

  auto stop = [this](const std::string& message) {
    panel_.showWarning(message);
    panel_.setProgressPosition(0);
    panel_.enableInputs(true);
    panel_.endWaitCursor();
  };

  if (auto blocker = conversationBlocker()) return stop(*blocker);
  auto image = FirmwareImage::open(pathFromUtf8(panel_.imagePath()), kMaxBootRecord);
  if (!image) {
    panel_.showWarning(text::kOpenFailed);
    panel_.enableInputs(true);
    panel_.endWaitCursor();
    return;
  }
  Run run(*this, *image);
  if (auto failure = run.deliverImage()) {
    image.reset();
    return stop(*failure);
  }
  run.restoreAddress();
  image.reset();
  panel_.setProgressPosition(0);
  panel_.enableInputs(true);
  panel_.endWaitCursor();
}

}  // namespace korvel
