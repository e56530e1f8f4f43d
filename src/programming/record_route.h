#pragma once

#include <cstdint>
#include <optional>

#include "image/firmware_image.h"
#include "programming/outcome.h"

namespace korvel {

enum class DeliveryPath { BootMonitor, Subordinate };
enum class Preparation { None, EnterBootMonitor, PrepareSubordinate };

// What one record of an image means for the run, given the records before it.
struct RecordStep {
  bool deliver = false;  // a data record that goes to the target
  DeliveryPath path = DeliveryPath::BootMonitor;
  Preparation prepare = Preparation::None;  // what the target needs first, at the first data record
  std::optional<OutcomeKind> failure;       // the run must stop here, for this
};

// Decides, record by record, the delivery path, the preparation and what stops a run. The check
// before a run and the run itself both follow it, so the check finds exactly what would stop the
// run halfway.
class RecordRouter {
 public:
  // Longest payload each path can carry in one IPv4 echo request (65,507 data bytes): behind a
  // 12-byte frame header on the boot-monitor path, behind header, envelope and bus command with
  // the room for the answer (112 bytes) on the bus path.
  static constexpr std::uint32_t kMaxBootRecord = 65495;
  static constexpr std::uint32_t kMaxBusRecord = 65395;
  static constexpr std::uint8_t kBootMonitorRecordType = 12;

  explicit RecordRouter(bool viaBoot) : viaBoot_(viaBoot) {}

  // `record` may be a data record whose payload was too large to read (its length tells).
  RecordStep take(const ImageRecord& record);

  std::uint8_t busAddress() const { return busAddress_; }
  // The bus address the subordinate was prepared at, once the first data record asked for it.
  std::optional<std::uint8_t> preparedAddress() const { return preparedAddress_; }
  // The bus address in force at the first data record; nothing before it.
  std::optional<std::uint8_t> firstTarget() const { return firstTarget_; }

 private:
  RecordStep takeData(const DataRecord& data);

  bool viaBoot_;
  std::uint8_t busAddress_ = kNoBusAddress;
  std::optional<std::uint8_t> firstTarget_;
  std::optional<std::uint8_t> preparedAddress_;
};

}  // namespace korvel
