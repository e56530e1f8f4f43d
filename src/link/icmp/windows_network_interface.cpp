#include <memory>
#include <optional>
#include <string>

#include "link/echo_service.h"

namespace korvel {
namespace {

constexpr char kNotOnWindows[] =
    "choosing the network interface is not available on Windows yet; leave --interface out and "
    "give each device an address of its own";

// Never reached through korvel-cli, which refuses --interface here before any device is touched;
// a caller that skips that check gets no echo rather than echoes through the wrong port.
class RefusingEchoService final : public EchoService {
 public:
  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override {
    failure = {EchoFailureKind::Unavailable, 0, kNotOnWindows, ""};
    return nullptr;
  }
};

}  // namespace

std::optional<std::string> networkInterfaceProblem(const std::string& name) {
  return "network interface '" + name + "': " + kNotOnWindows;
}

std::unique_ptr<EchoService> makeInterfaceEchoService(const std::string&) {
  return std::make_unique<RefusingEchoService>();
}

}  // namespace korvel
