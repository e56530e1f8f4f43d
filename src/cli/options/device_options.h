#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/output/cli_panel.h"
#include "cli/platform/cli_environment.h"
#include "programming/device_programmer.h"

namespace CLI {
class App;
}

namespace korvel {

// The options of the subcommands that talk to a device: its address and the credentials of its
// web interface.
struct DeviceOptions {
  std::string address;
  // With several devices: every --ip, in order.
  std::vector<std::string> addresses;
  std::string login;
  std::string password;
  bool passwordFromStdin = false;
  // --interface: the network interface of every device that names none of its own.
  std::string interfaceName;

  // One --ip, required; or, `manyDevices`, --ip as often as there are devices, none required.
  void addTo(CLI::App& command, bool manyDevices = false);
  // Takes the password from the first line of `in` when asked to; throws a CLI::ParseError when
  // there is none.
  void readPassword(std::istream& in);
  CliRequest request(std::string imagePath = {}, bool viaBoot = false) const;
};

// The device's texts reach the terminal with their controls shown, never obeyed; the lock keeps
// a second copy of the program away from the device meanwhile; `observer` gets the events.
// `interfaceName` is the port the device is reached through (empty: the routing table's).
void prepareProgrammer(DeviceProgrammer& programmer, ProgressObserver& observer,
                       CliEnvironment& environment, const std::string& interfaceName);

// The usage error for the first interface of `interfaceNames` that cannot carry echo requests
// (missing or down), as CLI11 reports it; checked before any device is touched.
void checkInterfaces(const std::vector<std::string>& interfaceNames, CliEnvironment& environment);

}  // namespace korvel
