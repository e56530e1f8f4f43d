// The device procedures against a device whose every reply comes from the fuzzer's input: the
// information query, the boot-monitor path, delivery to a subordinate with its resend ring, the
// preparation and restore, and whole programming runs. Nothing may crash or touch memory outside
// a buffer, and every run ends with the window at rest.
#include <cstdlib>

#include "device_model/image_builder.h"
#include "fuzzed_echo_service.h"
#include "programming/device_programmer.h"
#include "scratch_file.h"
#include "support/recording_panel.h"

namespace korvel::fuzz {
namespace {

class CountingPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override { total += milliseconds; }
  std::uint64_t total = 0;
};

void check(bool condition) {
  if (!condition) std::abort();
}

Bytes record(FuzzInput& input) {
  // Mostly short records; now and then one longer than a resend slot.
  const std::size_t length =
      (input.byte() & 0x80) != 0 ? 1000 + input.le16() % 1200 : input.byte() % 160;
  return samplePayload(length, input.byte());
}

// The procedures' results do not matter here, only that no reply makes them misbehave.
void bootMonitorPath(DeviceProgrammer& programmer, FuzzInput& input) {
  (void)programmer.enterBootMonitor();
  for (int records = 1 + input.byte() % 4; records > 0; --records) {
    (void)programmer.sendRawRecord(record(input));
  }
}

void subordinatePath(DeviceProgrammer& programmer, FuzzInput& input) {
  SavedValue saved{};
  const std::uint8_t address = input.byte();
  (void)programmer.prepareSubordinate(address, saved);
  for (int records = 1 + input.byte() % 6; records > 0; --records) {
    (void)programmer.deliverRecord(input.byte(), record(input));
  }
  (void)programmer.restoreSubordinateAddress(address, saved);
}

// A small image of either kind; its replies still come from the input.
void wholeRun(DeviceProgrammer& programmer, test::RecordingPanel& panel, FuzzInput& input) {
  ImageBuilder image;
  const bool subordinate = (input.byte() & 1) != 0;
  if (subordinate) image.address(input.byte());
  for (int records = 1 + input.byte() % 4; records > 0; --records) {
    image.data(subordinate ? input.byte() : 12, record(input));
  }
  const ScratchFile file(image.bytes());
  panel.path = file.path();
  panel.viaBootChecked = (input.byte() & 1) != 0;
  programmer.programDevice();
  check(panel.inputsEnabled && panel.waitCursorDepth == 0);
  check(panel.warnings.size() <= 1);
}

}  // namespace
}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel;
  fuzz::FuzzInput input(data, size);
  fuzz::FuzzedEchoService service(input);
  test::RecordingPanel panel;
  fuzz::CountingPauses pauses;
  DeviceProgrammer programmer(panel, service, pauses);
  switch (input.byte() % 4) {
    case 0:
      programmer.queryDeviceInfo();
      fuzz::check(!panel.info.empty());
      break;
    case 1:
      programmer.openLink(false);
      fuzz::bootMonitorPath(programmer, input);
      break;
    case 2:
      programmer.openLink(false);
      fuzz::subordinatePath(programmer, input);
      break;
    default:
      fuzz::wholeRun(programmer, panel, input);
      break;
  }
  return 0;
}
