#include "programming/record_route.h"

#include <variant>

namespace korvel {

RecordStep RecordRouter::take(const ImageRecord& record) {
  if (const auto* address = std::get_if<AddressRecord>(&record)) {
    // The prepared subordinate sits at the programming address, where it takes every record
    // sent on the bus: records meant for another target would go into it, and its own address
    // would never be given back.
    if (preparedAddress_ && address->address != *preparedAddress_) {
      RecordStep step;
      step.failure = OutcomeKind::FileFormat;
      return step;
    }
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
    step.failure = OutcomeKind::RecordTooLong;
    return step;
  }
  if (!firstTarget_) {
    firstTarget_ = busAddress_;
    if (boot) {
      step.prepare = Preparation::EnterBootMonitor;
    } else if (viaBoot_) {
      step.failure = OutcomeKind::SubordinateViaBoot;
      return step;
    } else {
      step.prepare = Preparation::PrepareSubordinate;
      preparedAddress_ = busAddress_;
    }
  }
  if (boot && data.type != kBootMonitorRecordType) step.failure = OutcomeKind::PacketType;
  return step;
}

}  // namespace korvel
