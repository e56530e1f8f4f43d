#include "programming/record_route.h"

#include <variant>

#include "common/texts.h"

namespace korvel {

RecordStep RecordRouter::take(const ImageRecord& record) {
  if (const auto* address = std::get_if<AddressRecord>(&record)) {
    busAddress_ = address->address;
    return {};
  }
  if (const auto* data = std::get_if<DataRecord>(&record)) return takeData(*data);
  return {};
}

RecordStep RecordRouter::takeData(const DataRecord& data) {
  RecordStep step;
  step.deliver = true;
  step.path = busAddress_ == kNoBusAddress ? DeliveryPath::BootMonitor : DeliveryPath::Subordinate;
  const bool boot = step.path == DeliveryPath::BootMonitor;
  if (data.length > (boot ? kMaxBootRecord : kMaxBusRecord)) {
    step.failure = text::kRecordTooLong;
    return step;
  }
  if (!firstTarget_) {
    firstTarget_ = busAddress_;
    if (boot) {
      step.prepare = Preparation::EnterBootMonitor;
    } else if (viaBoot_) {
      step.failure = text::kSubordinateViaBoot;
      return step;
    } else {
      step.prepare = Preparation::PrepareSubordinate;
      preparedAddress_ = busAddress_;
    }
  }
  if (boot && data.type != kBootMonitorRecordType) step.failure = text::kUnsupportedPacketType;
  return step;
}

}  // namespace korvel
