#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "device_model/conversation_log.h"
#include "device_model/device_config.h"
#include "device_model/fault_plan.h"
#include "device_model/request_frame.h"

namespace korvel {

// What the device does with one request: the reply that goes out (nothing is silence), and what
// the faults make of its delivery.
struct DeviceAnswer {
  std::optional<Bytes> reply;
  // The last reply that went out before this one, sent once more just before `reply`.
  std::optional<Bytes> lateReply;
  std::chrono::milliseconds delay{0};
};

// A model of one device: its main program, its boot monitor and the subordinates on its bus. It
// turns one request frame into one reply frame or silence, checks what it receives as the device
// does, and keeps what was programmed so that tests can compare it with the image.
class SimulatedDevice {
 public:
  struct SubordinateState {
    std::uint8_t homeAddress = 0;
    std::uint8_t busAddress = 0;
    bool ready = false;  // takes records at bus address 254
    Bytes programmedData;
    std::size_t records = 0;
    std::vector<std::size_t> recordSizes;  // of the records in programmedData, in order
    std::array<std::uint8_t, 4> handedBack{};
    bool restored = false;  // put back at an address by the last step of the restore
  };

  explicit SimulatedDevice(DeviceConfig config = {});

  // The reply frame, or nothing; delays and late replies are left out (an in-process exchange
  // that waits as long as it takes).
  std::optional<Bytes> answer(ByteView request);
  DeviceAnswer respond(ByteView request);

  FaultPlan& faults() { return faults_; }
  const DeviceConfig& config() const { return config_; }

  bool inBootMonitor() const { return inBootMonitor_; }
  // Power cycle: the main program runs again; programmed bytes stay.
  void restart();

  // Everything the boot monitor took since the device was made, in order (likewise each
  // subordinate's programmedData), so that a test compares it with the image it sent.
  const Bytes& programmedData() const { return programmedData_; }
  std::size_t programmedRecords() const { return programmedRecords_; }

  const SubordinateState* subordinate(std::uint8_t homeAddress) const;
  const std::vector<SubordinateState>& subordinates() const { return subordinates_; }

  const ConversationLog& log() const { return log_; }
  ConversationLog& log() { return log_; }

  // Time stamps of the log; a steady clock unless a test gives its own.
  void setClock(std::function<std::chrono::nanoseconds()> clock);

 private:
  struct Reply {
    std::uint8_t status = 0;
    Bytes payload;  // the reply's bytes after the header; the status byte goes in first
    std::optional<std::uint8_t> resendByte;
  };

  std::optional<Reply> act(const RequestFrame& request, const FaultSet& faults);
  Reply actOnDeviceCommand(const RequestFrame& request);
  Reply actOnBusCommand(const RequestFrame& request);
  Reply actOnBusRecord(const RequestFrame& request, const FaultSet& faults);
  Reply actOnRawRecord(const RequestFrame& request);
  Reply deviceInfo() const;
  SubordinateState* subordinateAt(std::uint8_t busAddress);
  bool credentialsMatch(const RequestFrame& request) const;

  Bytes buildReply(const RequestFrame& request, const Reply& reply, const FaultSet& faults) const;
  void logExchange(const RequestFrame& request, const FaultSet& faults, bool bootMonitor,
                   bool repeated, const std::optional<Reply>& reply, const DeviceAnswer& answer);

  DeviceConfig config_;
  FaultPlan faults_;
  ConversationLog log_;
  std::function<std::chrono::nanoseconds()> clock_;
  bool inBootMonitor_;
  Bytes programmedData_;
  std::size_t programmedRecords_ = 0;
  std::vector<SubordinateState> subordinates_;
  // The last request acted on and its answer, for the very same frame sent again.
  Bytes lastRequest_;
  std::optional<Reply> lastReply_;
  // The last reply frame that went out, to go out once more as a late reply.
  std::optional<Bytes> lastReplyFrame_;
};

}  // namespace korvel
