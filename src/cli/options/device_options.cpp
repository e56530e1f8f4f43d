#include "cli/options/device_options.h"

#include <CLI/CLI.hpp>

#include <optional>

#include "cli/output/terminal_text.h"

namespace korvel {
namespace {

const CLI::Validator& dottedAddress() {
  static const CLI::Validator validator(
      [](std::string& text) -> std::string {
        if (Ipv4Address::parse(text)) return {};
        return "'" + escapeControls(text) + "' is not four dotted decimal numbers 0 to 255";
      },
      "");
  return validator;
}

// The first line of standard input without its line ending, "\n" or "\r\n".
std::optional<std::string> readPasswordLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line) && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void DeviceOptions::addTo(CLI::App& command, bool manyDevices) {
  if (manyDevices) {
    command.add_option("--ip", addresses, "IPv4 address of a device; once per device")
        ->type_name("A.B.C.D")
        ->check(dottedAddress());
  } else {
    command.add_option("--ip", address, "IPv4 address of the device")
        ->required()
        ->type_name("A.B.C.D")
        ->check(dottedAddress());
  }
  command
      .add_option("--interface", interfaceName,
                  manyDevices ? "network interface of every device that names none in --targets"
                              : "network interface the device is reached through")
      ->type_name("NAME");
  command.add_option("--login", login, "login of the device's web interface")->type_name("LOGIN");
  auto* passwordOption =
      command.add_option("--password", password, "password of the web interface")
          ->type_name("PASSWORD");
  auto* passwordStdin = command.add_flag(
      "--password-stdin", passwordFromStdin,
      "read the password from the first line of standard input (it stays out of the process list)");
  passwordOption->excludes(passwordStdin);
  passwordStdin->excludes(passwordOption);
}

void DeviceOptions::readPassword(std::istream& in) {
  if (!passwordFromStdin) return;
  const auto line = readPasswordLine(in);
  if (!line) throw CLI::ValidationError("--password-stdin", "standard input holds no line");
  password = *line;
}

CliRequest DeviceOptions::request(std::string imagePath, bool viaBoot) const {
  CliRequest request;
  request.ipAddress = Ipv4Address::parse(address).value_or(Ipv4Address());
  request.login = login;
  request.password = password;
  request.imagePath = std::move(imagePath);
  request.viaBoot = viaBoot;
  request.interfaceName = interfaceName;
  return request;
}

void prepareProgrammer(DeviceProgrammer& programmer, ProgressObserver& observer,
                       CliEnvironment& environment, const std::string& interfaceName) {
  programmer.setDeviceTextFilter([](std::string text) { return escapeControls(text); });
  programmer.setDeviceLocks(environment.deviceLocks());
  programmer.setProgressObserver(&observer);
  // Two ports may hold devices at the same address: the lock tells them apart by the port.
  programmer.setInterfaceName(interfaceName);
}

void checkInterfaces(const std::vector<std::string>& interfaceNames, CliEnvironment& environment) {
  for (const std::string& name : interfaceNames) {
    if (name.empty()) continue;
    if (auto problem = environment.interfaceProblem(name)) {
      throw CLI::ValidationError("--interface", escapeControls(*problem));
    }
  }
}

}  // namespace korvel
