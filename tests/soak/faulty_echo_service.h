#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>

#include "device_model/simulated_device.h"
#include "link/echo_service.h"

namespace korvel::soak {

// How often each fault strikes, per request that reaches the echo facility.
struct FaultRates {
  double dropRequest = 0;
  double dropReply = 0;
  double badChecksum = 0;
  double sameToken = 0;
  double lengthTooShort = 0;
  double lengthTooLong = 0;
  double lateReply = 0;    // the reply to the request before arrives first, again
  double pastTimeout = 0;  // the reply comes after the timeout, during the next exchange
  double statusError = 0;  // any status but 1
  // Forwarded records only.
  double resendRequest = 0;   // taken, and k = 1 to 3 earlier records wanted again
  double notTaken = 0;        // resend byte with bit 0 clear
  double omitResendByte = 0;  // a 77-byte acknowledgement
};

struct FaultCounts {
  std::size_t exchanges = 0;
  std::size_t droppedRequests = 0;
  std::size_t droppedReplies = 0;
  std::size_t badChecksums = 0;
  std::size_t sameTokens = 0;
  std::size_t wrongLengths = 0;
  std::size_t lateReplies = 0;    // replies that arrived while another request was waiting
  std::size_t staleAccepted = 0;  // of those, handed on as the answer (control mode only)
  std::size_t statusErrors = 0;
  std::size_t resendRequests = 0;
  std::size_t nestedResendRequests = 0;
  std::size_t notTaken = 0;
  std::size_t omittedResendBytes = 0;

  FaultCounts& operator+=(const FaultCounts& other);
};

// The operating system's echo facility in front of a simulated device, with the faults of a lossy
// network and a misbehaving device decided here, request by request, from a seeded generator.
//
// Like the real facility it only ever hands on the reply to the very request it sent: a reply that
// comes late is seen during a later exchange and thrown away. `handOnLateReplies` turns that off,
// as a facility that does not match replies to requests would behave; a soak in that mode must
// find the corruption that follows.
//
// Resend requests name only records the subordinate holds from this run; they come for resent
// records too, which the program must not take for a clean acknowledgement.
class FaultyEchoService : public EchoService {
 public:
  struct Options {
    bool handOnLateReplies = false;
  };

  FaultyEchoService(Ipv4Address deviceAddress, FaultRates rates, std::uint64_t seed,
                    Options options);
  ~FaultyEchoService() override;

  // The device that answers from now on; a new run brings a new device.
  void attach(SimulatedDevice& device);
  void setRates(const FaultRates& rates) { rates_ = rates; }
  void reseed(std::uint64_t seed) { random_.seed(seed); }

  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override;

  const FaultCounts& counts() const { return counts_; }
  void resetCounts() { counts_ = {}; }

 private:
  class Channel;

  bool chance(double probability);
  void chooseFaults(ByteView request);
  void chooseRecordFaults(std::uint8_t subordinateAddress);
  void followResends(ByteView request, ByteView reply);

  SimulatedDevice* device_ = nullptr;
  Ipv4Address deviceAddress_;
  FaultRates rates_;
  Options options_;
  std::mt19937_64 random_;
  FaultCounts counts_;
  // The last request the device acted on, as the device itself remembers it.
  Bytes lastActedOn_;
  // Calls of the program's single-record send still to come for the resend request in hand.
  unsigned resendsOutstanding_ = 0;
};

}  // namespace korvel::soak
