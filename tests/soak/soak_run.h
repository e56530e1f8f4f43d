#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "soak/faulty_echo_service.h"

namespace korvel::soak {

enum class DeliveryPath { BootMonitor, Bus };

const char* pathName(DeliveryPath path);

// Everything one run is made of, drawn from its seed: the image, the device, what the operator
// typed, and how faulty the network and the device are.
struct RunPlan {
  DeliveryPath path = DeliveryPath::BootMonitor;
  std::vector<std::uint8_t> types;
  std::vector<Bytes> records;
  Bytes image;
  std::uint8_t imageBusAddress = 255;
  std::uint8_t subordinateHome = 5;
  std::array<std::uint8_t, 4> savedValue{};
  bool viaBootBox = false;
  bool deviceStartsInBootMonitor = false;
  std::string login = "admin";
  std::string password = "admin";
  std::string deviceLogin = "admin";
  std::string devicePassword = "admin";
  FaultRates rates;

  // The data records' payloads end to end: what the target must hold after a successful run.
  Bytes expectedData() const;
};

RunPlan planRun(DeliveryPath path, std::uint64_t seed);

// How a run ended, judged against what the device holds afterwards.
enum class Verdict {
  Success,           // no message, and the target holds exactly the image
  Failure,           // one message of the run, and the target does not hold the image
  FalseAlarm,        // one message of the run, although the target holds the image (the last
                     // acknowledgement was lost: the program cannot know better)
  SilentCorruption,  // no message, but the target does not hold exactly the image
  Unexpected,        // no or several messages, a text that is none of the run's, or the window
                     // not back at rest
};

const char* verdictName(Verdict verdict);

struct RunOutcome {
  Verdict verdict = Verdict::Unexpected;
  std::string message;  // the run's message, if it showed one
  std::size_t records = 0;
  std::uint64_t pausedMs = 0;
  FaultCounts faults;
  std::string detail;  // for a silent corruption or anything unexpected
};

// Runs the plans of one window: one programmer, so that its resend ring lives across the runs.
class SoakSession {
 public:
  SoakSession(const std::filesystem::path& folder, FaultyEchoService::Options options);
  ~SoakSession();

  RunOutcome run(const RunPlan& plan, std::uint64_t faultSeed);
  // The same, with every exchange of the run in the detail of a bad ending.
  RunOutcome runWithFullLog(const RunPlan& plan, std::uint64_t faultSeed);

 private:
  struct Window;
  RunOutcome runLogged(const RunPlan& plan, std::uint64_t faultSeed);
  bool fullLog_ = false;
  std::filesystem::path imagePath_;
  std::unique_ptr<Window> window_;
};

// True when `text` is one of the messages a programming run can show.
bool isRunMessage(const std::string& text);

}  // namespace korvel::soak
