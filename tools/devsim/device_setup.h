#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device_model/device_config.h"
#include "device_model/fault_plan.h"

namespace korvel::devsim {

// One simulated device of the tool: where it answers, what it is, and its faults.
struct DeviceSetup {
  std::uint32_t address = 0;  // network byte order
  std::string addressText;
  DeviceConfig config;
  std::vector<FaultRule> faults;
  std::uint64_t seed = 1;
};

// A device's settings as the command line or one object of the configuration file gives them;
// what is not given stays as it was.
struct DeviceSettings {
  std::optional<std::string> login, password, text1, text2;
  std::optional<std::uint32_t> boardId, serial;
  std::optional<std::uint16_t> bootVersion, programVersion;
  std::optional<bool> startInBootMonitor;
  std::optional<std::vector<SubordinateConfig>> subordinates;
  std::vector<std::string> faults;  // added to those given before
  std::optional<std::uint64_t> seed;
};

// Applies `settings` to `setup`; false with `error` set when a value cannot be taken.
bool applySettings(const DeviceSettings& settings, DeviceSetup& setup, std::string& error);

// Readings of the values the command line and the file share. Each gives nothing on bad input.
// A unicast address (network order): not 0.0.0.0, multicast or the broadcast address.
std::optional<std::uint32_t> parseDeviceAddress(const std::string& text);
std::optional<std::uint32_t> parseUnsigned(const std::string& text);         // decimal or 0x-hex
std::optional<std::uint32_t> parseSerial(const std::string& text);           // "3.7" or a number
std::optional<std::uint16_t> parseVersion(const std::string& text);          // "1.2"
std::optional<SubordinateConfig> parseSubordinate(const std::string& text);  // "5" or "5:11223344"

// Reads the configuration file: the settings of every device, and one object per address in
// "devices". Nothing, with `error` set, when the file cannot be read or is not valid.
struct FileConfig {
  DeviceSettings common;
  std::vector<std::pair<std::string, DeviceSettings>> devices;  // address text, settings
};
std::optional<FileConfig> readConfigFile(const std::string& path, std::string& error);

// Whether this network namespace holds `address` (network order): every loopback address does,
// any other one only when an interface carries it.
bool isAddressOfThisNamespace(std::uint32_t address);

// Texts typed as UTF-8 become the 8-bit bytes the device keeps: cp1251 for its texts, Latin-1
// for its credentials.
std::optional<std::string> utf8ToCp1251(const std::string& text);

}  // namespace korvel::devsim
