#include "soak/soak_run.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "link/echo_link.h"
#include "programming/device_programmer.h"
#include "support/recording_panel.h"

namespace korvel::soak {
namespace {

constexpr Ipv4Address kDeviceIp{127, 0, 0, 2};
constexpr std::uint8_t kBootRecordType = 12;

class Draw {
 public:
  explicit Draw(std::uint64_t seed) : random_(seed) {}

  bool chance(double probability) {
    return std::uniform_real_distribution<double>(0, 1)(random_) < probability;
  }
  std::size_t between(std::size_t lowest, std::size_t highest) {
    return std::uniform_int_distribution<std::size_t>(lowest, highest)(random_);
  }
  template <typename T, std::size_t N>
  T oneOf(const T (&choices)[N]) {
    return choices[between(0, N - 1)];
  }
  std::uint32_t word() { return static_cast<std::uint32_t>(random_()); }

 private:
  std::mt19937_64 random_;
};

FaultRates drawRates(Draw& draw, DeliveryPath path) {
  const double losses[] = {0.0, 0.05, 0.05, 0.05, 0.05, 0.10};
  const double statusErrors[] = {0.0, 0.0, 0.001, 0.005};
  FaultRates rates;
  rates.dropRequest = draw.oneOf(losses);
  rates.dropReply = draw.oneOf(losses);
  rates.badChecksum = 0.01;
  rates.sameToken = 0.01;
  rates.lengthTooShort = 0.003;
  rates.lengthTooLong = 0.003;
  rates.lateReply = 0.02;
  rates.pastTimeout = 0.01;
  rates.statusError = draw.oneOf(statusErrors);
  if (path == DeliveryPath::Bus) {
    rates.resendRequest = 0.05;
    rates.notTaken = 0.01;
    rates.omitResendByte = 0.03;
  }
  return rates;
}

// Records that each path carries well; on the bus, in some runs, records too long for the
// resend ring among them.
std::size_t drawRecordSize(Draw& draw, DeliveryPath path, bool longRecords) {
  if (path == DeliveryPath::BootMonitor) {
    if (draw.chance(0.03)) return draw.between(1025, 8192);
    return draw.between(77, 1100);
  }
  if (longRecords && draw.chance(0.15)) return draw.between(1025, 3000);
  return draw.between(1, 1024);
}

// Now and then one record that its path cannot carry: too long for a frame, or on the boot
// monitor's path shorter than any reply it could be acknowledged with.
void placeAnUnfitRecord(Draw& draw, RunPlan& plan) {
  if (plan.records.empty()) return;
  const bool boot = plan.path == DeliveryPath::BootMonitor;
  Bytes& record = plan.records[draw.between(0, plan.records.size() - 1)];
  if (boot && draw.chance(0.5)) {
    record.resize(draw.between(1, 76));
  } else {
    record = samplePayload(
        (boot ? DeviceProgrammer::kMaxBootRecord : DeviceProgrammer::kMaxBusRecord) + 1,
        draw.word());
  }
}

std::size_t drawRecordCount(Draw& draw) {
  if (draw.chance(0.01)) return 0;
  if (draw.chance(0.1)) return draw.between(65, 200);
  return draw.between(1, 64);
}

void drawOperator(Draw& draw, RunPlan& plan) {
  if (draw.chance(0.02)) plan.devicePassword = "secret";
  if (draw.chance(0.005)) plan.login = std::string(31, 'a');
  if (draw.chance(0.005)) plan.login = "оператор";
  if (plan.path == DeliveryPath::BootMonitor) {
    if (draw.chance(0.1)) plan.viaBootBox = plan.deviceStartsInBootMonitor = true;
    if (draw.chance(0.02)) plan.viaBootBox = true;  // ticked, but the device never got there
  } else if (draw.chance(0.02)) {
    plan.viaBootBox = true;
  }
}

// Cuts the image inside the payload of one of its records.
void truncateInsideARecord(Draw& draw, RunPlan& plan,
                           const std::vector<std::size_t>& payloadStarts) {
  const std::size_t record = draw.between(0, plan.records.size() - 1);
  const std::size_t start = payloadStarts[record];
  plan.image.resize(start + draw.between(0, plan.records[record].size() - 1));
}

void buildImage(Draw& draw, RunPlan& plan) {
  ImageBuilder image;
  if (draw.chance(0.7)) image.name("SOAK " + std::to_string(draw.word() % 1000));
  if (draw.chance(0.7)) image.version(static_cast<std::uint8_t>(draw.between(0, 255)), 7);
  if (plan.path == DeliveryPath::Bus) image.address(plan.imageBusAddress);
  std::vector<std::size_t> payloadStarts;
  for (std::size_t i = 0; i < plan.records.size(); ++i) {
    image.data(plan.types[i], plan.records[i]);
    payloadStarts.push_back(image.bytes().size() - plan.records[i].size());
  }
  plan.image = image.bytes();
  if (!plan.records.empty() && draw.chance(0.02)) truncateInsideARecord(draw, plan, payloadStarts);
}

}  // namespace

const char* pathName(DeliveryPath path) {
  return path == DeliveryPath::BootMonitor ? "boot-monitor" : "bus";
}

const char* verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Success:
      return "success";
    case Verdict::Failure:
      return "failure";
    case Verdict::FalseAlarm:
      return "false alarm";
    case Verdict::SilentCorruption:
      return "SILENT CORRUPTION";
    case Verdict::Unexpected:
      return "UNEXPECTED";
  }
  return "?";
}

Bytes RunPlan::expectedData() const {
  Bytes data;
  for (const auto& record : records) data.insert(data.end(), record.begin(), record.end());
  return data;
}

RunPlan planRun(DeliveryPath path, std::uint64_t seed) {
  Draw draw(seed);
  RunPlan plan;
  plan.path = path;
  plan.rates = drawRates(draw, path);
  drawOperator(draw, plan);
  if (path == DeliveryPath::Bus) {
    plan.subordinateHome = static_cast<std::uint8_t>(draw.between(1, 253));
    plan.imageBusAddress = draw.chance(0.02)
                               ? static_cast<std::uint8_t>(plan.subordinateHome ^ 0x40)
                               : plan.subordinateHome;
    const std::uint32_t value = draw.word();
    for (std::size_t i = 0; i < 4; ++i)
      plan.savedValue[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  const std::size_t count = drawRecordCount(draw);
  const bool oneWrongType = path == DeliveryPath::BootMonitor && draw.chance(0.005);
  const bool longRecords = draw.chance(0.25);
  for (std::size_t i = 0; i < count; ++i) {
    plan.records.push_back(samplePayload(drawRecordSize(draw, path, longRecords), draw.word()));
    plan.types.push_back(path == DeliveryPath::Bus ? static_cast<std::uint8_t>(draw.word())
                                                   : kBootRecordType);
  }
  if (oneWrongType && count > 0) plan.types[draw.between(0, count - 1)] = 13;
  if (draw.chance(0.02)) placeAnUnfitRecord(draw, plan);
  buildImage(draw, plan);
  return plan;
}

bool isRunMessage(const std::string& text) {
  for (const char* message :
       {text::kOpenFailed, text::kFormatError, text::kReadFailed, text::kSubordinateViaBoot,
        text::kUnsupportedPacketType, text::kCommError, text::kRestoreFailed, text::kRecordTooLong,
        text::kCredentialsTooLong, text::kCredentialsBadCharacter}) {
    if (text == message) return true;
  }
  return text.starts_with(text::kNoIcmpAccess);
}

namespace {

class SummingPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override { total += milliseconds; }
  std::uint64_t total = 0;
};

std::string firstDifference(const Bytes& held, const Bytes& expected) {
  const auto mismatch = std::mismatch(held.begin(), held.end(), expected.begin(), expected.end());
  std::ostringstream out;
  out << "target holds " << held.size() << " bytes, the image " << expected.size()
      << ", first difference at byte " << (mismatch.first - held.begin());
  return out.str();
}

std::string lastExchanges(const SimulatedDevice& device, std::size_t count) {
  std::string out;
  const auto& entries = device.log().entries();
  for (std::size_t i = entries.size() > count ? entries.size() - count : 0; i < entries.size();
       ++i) {
    out += "\n    " + describe(entries[i]);
  }
  return out;
}

}  // namespace

struct SoakSession::Window {
  explicit Window(FaultyEchoService::Options options)
      : echo(kDeviceIp, {}, 0, options), programmer(panel, echo, pauses) {}

  test::RecordingPanel panel;
  SummingPauses pauses;
  FaultyEchoService echo;
  DeviceProgrammer programmer;
};

SoakSession::SoakSession(const std::filesystem::path& folder, FaultyEchoService::Options options)
    : imagePath_(folder / "soak.qlxfw"), window_(std::make_unique<Window>(options)) {}

SoakSession::~SoakSession() = default;

RunOutcome SoakSession::run(const RunPlan& plan, std::uint64_t faultSeed) {
  fullLog_ = false;
  return runLogged(plan, faultSeed);
}

RunOutcome SoakSession::runWithFullLog(const RunPlan& plan, std::uint64_t faultSeed) {
  fullLog_ = true;
  return runLogged(plan, faultSeed);
}

RunOutcome SoakSession::runLogged(const RunPlan& plan, std::uint64_t faultSeed) {
  {
    std::ofstream file(imagePath_, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(plan.image.data()),
               static_cast<std::streamsize>(plan.image.size()));
  }
  DeviceConfig config;
  config.login = plan.deviceLogin;
  config.password = plan.devicePassword;
  config.startInBootMonitor = plan.deviceStartsInBootMonitor;
  if (plan.path == DeliveryPath::Bus)
    config.subordinates.push_back({plan.subordinateHome, plan.savedValue});
  SimulatedDevice device(config);

  Window& w = *window_;
  w.echo.attach(device);
  w.echo.setRates(plan.rates);
  w.echo.reseed(faultSeed);
  w.echo.resetCounts();
  w.pauses.total = 0;
  test::RecordingPanel& panel = w.panel;
  panel.warnings.clear();
  panel.positions.clear();
  panel.loginText = plan.login;
  panel.passwordText = plan.password;
  panel.viaBootChecked = plan.viaBootBox;
  panel.path = imagePath_.string();
  panel.ip = kDeviceIp;

  w.programmer.programDevice();

  RunOutcome outcome;
  outcome.records = plan.records.size();
  outcome.pausedMs = w.pauses.total;
  outcome.faults = w.echo.counts();
  if (!panel.warnings.empty()) outcome.message = panel.warnings.front();

  const Bytes expected = plan.expectedData();
  bool holdsImage = false;
  Bytes held;
  if (plan.path == DeliveryPath::BootMonitor) {
    held = device.programmedData();
    holdsImage = held == expected;
  } else {
    const auto* sub = device.subordinate(plan.subordinateHome);
    held = sub->programmedData;
    const bool backHome = sub->busAddress == plan.subordinateHome;
    holdsImage = held == expected && backHome &&
                 (plan.records.empty() || (sub->restored && sub->handedBack == plan.savedValue));
  }
  const bool atRest = panel.inputsEnabled && panel.waitCursorDepth == 0 &&
                      (panel.positions.empty() || panel.positions.back() == 0);

  if (!atRest || panel.warnings.size() > 1 ||
      (panel.warnings.size() == 1 && !isRunMessage(panel.warnings[0]))) {
    outcome.verdict = Verdict::Unexpected;
    outcome.detail = "messages: " + std::to_string(panel.warnings.size()) +
                     (atRest ? "" : ", window not at rest");
  } else if (panel.warnings.empty()) {
    outcome.verdict = holdsImage ? Verdict::Success : Verdict::SilentCorruption;
  } else {
    outcome.verdict = holdsImage ? Verdict::FalseAlarm : Verdict::Failure;
  }
  if (outcome.verdict == Verdict::SilentCorruption || outcome.verdict == Verdict::Unexpected) {
    outcome.detail += firstDifference(held, expected) + "; last exchanges:" +
                      lastExchanges(device, fullLog_ ? device.log().size() : 16);
  }
  return outcome;
}

}  // namespace korvel::soak
