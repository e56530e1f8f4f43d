#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/cli_environment.h"
#include "cli/cli_panel.h"
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

  // One --ip, required; or, `manyDevices`, --ip as often as there are devices, none required.
  void addTo(CLI::App& command, bool manyDevices = false);
  // Takes the password from the first line of `in` when asked to; throws a CLI::ParseError when
  // there is none.
  void readPassword(std::istream& in);
  CliRequest request(std::string imagePath = {}, bool viaBoot = false) const;
};

// The device's texts reach the terminal with their controls shown, never obeyed; the lock keeps
// a second copy of the program away from the device meanwhile; `observer` gets the events.
void prepareProgrammer(DeviceProgrammer& programmer, ProgressObserver& observer,
                       CliEnvironment& environment);

}  // namespace korvel
